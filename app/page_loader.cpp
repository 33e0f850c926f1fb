#include "app/page_loader.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "app/auto_refresh.h"
#include "app/form_actions.h"
#include "app/link_resolver.h"
#include "app/navigation_actions.h"
#include "app/page_history.h"
#include "app/page_requests.h"
#include "app/speed_test_item.h"
#include "markup/markup_page.h"
#include "markup/side_effect_builders.h"
#include "net/device_actions.h"
#include "platform/clock.h"
#include "platform/device_services.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/ui_executor.h"
#include "platform/ui_loop.h"
#include "ui/alert_screen.h"
#include "ui/display.h"
#include "ui/form.h"
#include "ui/screen.h"

namespace zq {

namespace {

constexpr int kProgressRequestSent = 3;
constexpr int kProgressFileOpened = 10;
constexpr int kProgressFileRead = 30;
constexpr int kProgressParsed = 30;
constexpr int kProgressShown = 10;
constexpr int kProgressSending = 5;
constexpr int kProgressPageParsing = 15;
constexpr int kProgressPageParsed = 30;
constexpr int kParseErrorCode = 3;
constexpr int kTemplateErrorCode = 23;
// How often a replace looks again at a screen that is busy (menu open).
constexpr uint32_t kBusyRetryMs = 100;
constexpr const char16_t* kTemplateErrorText = u"打开模板文件失败";
constexpr const char16_t* kInfoCaption = u"信息提示";
constexpr const char16_t* kSmsNotice = u"短信发送中...在此过程中您可以继续其他操作";

// "tempfile://" and "file://" links name a file below the resource folder.
std::optional<std::string> readResourceFile(const std::filesystem::path& folder,
                                            const CString& relative) {
    std::optional<std::filesystem::path> path = resolveConfined(folder, relative);
    if (!path) return std::nullopt;
    return readFile(*path, MarkupPage::kMaxPageFileBytes);
}

// The part of a local link after its scheme; nullopt for other links.
std::optional<CString> localPart(const CString& link) {
    const LinkScheme scheme = linkScheme(link);
    if (scheme != LinkScheme::File && scheme != LinkScheme::TempFile) return std::nullopt;
    return link.mid(schemeLength(scheme));
}

}  // namespace

OpeningChain::Verdict OpeningChain::admit(bool unprompted) {
    if (!unprompted) {
        inARow_ = 0;
        stopped_ = false;
        return Verdict::Admitted;
    }
    if (stopped_) return Verdict::Stopped;
    if (++inARow_ <= kMaxInARow) return Verdict::Admitted;
    inARow_ = 0;
    stopped_ = true;
    return Verdict::Stop;
}

void OpeningChain::end() {
    inARow_ = 0;
    stopped_ = true;
}

PageLoader::PageLoader(LoaderHost& host) : host_(host) {}

PageLoader::~PageLoader() = default;

int PageLoader::openUrl(const PageRequest& request) {
    // Resolve; an empty or blank link does nothing.
    CString url;
    try {
        url = host_.resolveUrl(request.url);
    } catch (const ZQException&) {
        return 0;
    }
    if (CString(url).trim().isEmpty()) return 0;
    const bool unprompted = followingRedirect_ || unprompted_ > 0;
    // A local page opens within the opening that asked for it. Load actions
    // that open local pages deeper than kMaxNestedOpenings wait for the next
    // round, as a server's reply would: a local page that opens itself is
    // then stopped below, not by the depth of the actions without a word.
    const LinkScheme scheme = linkScheme(url);
    if (unprompted && opening_ >= kMaxNestedOpenings &&
        (scheme == LinkScheme::File || scheme == LinkScheme::TempFile)) {
        host_.postToHost([this, request, alive = std::weak_ptr<const int>(alive_)] {
            if (alive.expired()) return;
            followingRedirect_ = true;
            openUrl(request);
            followingRedirect_ = false;
        });
        return 0;
    }
    // A page that opens itself again and again by redirects, load or
    // unload actions or refreshes is stopped, and the user told once.
    const OpeningChain::Verdict verdict = chain_.admit(unprompted);
    if (!unprompted) userStepped();
    if (verdict != OpeningChain::Verdict::Admitted) {
        if (verdict == OpeningChain::Verdict::Stop) stopLoop();
        return 0;
    }

    ++opening_;
    const int requestId = openScheme(request, url, scheme);
    --opening_;
    if (unprompted) chainRequests_.push_back(requestId);
    return requestId;
}

void PageLoader::userStepped() {
    chainRequests_.clear();
    // However many pages the chain pushes, the history the user has now
    // stays, to be cut back to.
    host_.history().keepInList();
}

bool PageLoader::cancelChainRequests() {
    bool underWay = false;
    for (int id : std::exchange(chainRequests_, {})) {
        underWay = host_.requests().cancelFlags().cancel(id) || underWay;
    }
    return underWay;
}

void PageLoader::userLeavesChain() {
    if (followingRedirect_ || unprompted_ > 0 || chainRequests_.empty()) return;
    // A chain still under way ends here: a step back must not start it again.
    if (cancelChainRequests()) {
        chain_.end();
        if (Screen* screen = host_.currentScreen()) screen->stopLoading(LoadingState::kAnyRequest);
    }
    host_.history().cutBack();
}

void PageLoader::stopLoop() {
    cancelChainRequests();
    if (Screen* screen = host_.currentScreen()) screen->stopLoading(LoadingState::kAnyRequest);
    // After the openings under way have ended: their pages may still be
    // running their actions.
    host_.postToHost([this, alive = std::weak_ptr<const int>(alive_)] {
        if (alive.expired()) return;
        host_.history().cutBack();
        messageBox(kTooManyRedirectsText, kInfoCaption, MessageBoxType::Ok);
    });
}

int PageLoader::openScheme(const PageRequest& request, const CString& url, LinkScheme scheme) {
    // Templates are read and shown at once.
    if (scheme == LinkScheme::TempFile) {
        openTemplate(request.url, request.screenId, request.replace);
        return 0;
    }

    // A page asked for now wins over a reload still on its way, and over
    // the late reply of a submission.
    if (scheme == LinkScheme::Http || scheme == LinkScheme::File) {
        host_.autoRefresh().pageRequested();
        host_.requests().dropLateSubmissions();
    }

    // A new request. Only one that went out keeps its cancel flag listed:
    // the reply handler settles it.
    RequestRecord record = host_.requests().newRequest(
        url, scheme == LinkScheme::Http ? RequestParams::Added : RequestParams::None);
    record.targetScreenId = request.screenId;
    record.replace = request.replace;
    record.submission = request.submission;
    if (loadActionOf_ != -1 && !request.replace) noteLoadOpening(record.cancelFlag);
    if (request.showLoading) host_.beginLoading(request.blockInput, record.requestId);
    const Opened opened = openByScheme(scheme, record);
    if (opened != Opened::Sent) host_.requests().cancelFlags().remove(record.requestId);

    // Nothing went out and nothing will answer: the load ends now.
    if (opened == Opened::Dropped || opened == Opened::Unopenable) {
        if (Screen* screen = host_.currentScreen()) screen->stopLoading(record.requestId);
    }
    if (opened == Opened::Unopenable) {
        messageBox(kUnopenableLinkText, kInfoCaption, MessageBoxType::Ok);
        return record.requestId;
    }

    // The retry soft key opens it again.
    if (opened != Opened::Dropped) {
        lastUrl_ = url;
        lastSubmission_ = record.submission;
    }
    return record.requestId;
}

std::optional<RequestRecord> PageLoader::firstPageRequest(const CString& link) {
    CString url;
    try {
        url = host_.resolveUrl(link);
    } catch (const ZQException&) {
        return std::nullopt;
    }
    if (linkScheme(url) != LinkScheme::Http || !host_.requests().session()) return std::nullopt;
    lastUrl_ = url;
    lastSubmission_ = false;
    return host_.requests().newRequest(url);
}

void PageLoader::startRedirectChain() {
    heldRedirect_ = {};
    redirects_ = 0;
}

PageLoader::HeldRedirect PageLoader::takeHeldRedirect() { return std::exchange(heldRedirect_, {}); }

PageLoader::Opened PageLoader::openByScheme(LinkScheme scheme, const RequestRecord& record) {
    const bool askerShown =
        record.targetScreenId == -1 || record.targetScreenId == host_.currentScreenId();
    switch (scheme) {
        case LinkScheme::Http:
            if (record.cancelled() || !askerShown) return Opened::Dropped;
            host_.addLoadingProgress(kProgressRequestSent, record.requestId);
            return sendRequest(record) ? Opened::Sent : Opened::Done;
        case LinkScheme::File:
            return askerShown ? openFile(record) : Opened::Dropped;
        case LinkScheme::Tel:
            return host_.navigationActions().dialTelLink(record.link) ? Opened::Done
                                                                      : Opened::Unopenable;
        case LinkScheme::Sms:
            sendSmsUrl(record.link);
            return Opened::Done;
        default:
            // A server name that did not resolve, or a name relative to
            // nothing.
            return Opened::Unopenable;
    }
}

PageLoader::Opened PageLoader::openFile(const RequestRecord& record) {
    const CString& url = record.link;
    host_.addLoadingProgress(kProgressFileOpened, LoadingState::kAnyRequest);
    std::optional<std::string> content = loadContent(url, false);
    if (record.cancelled()) return Opened::Dropped;
    // A file too large to read or not there is said as such; the page
    // shown stays.
    if (!content) {
        if (Screen* screen = host_.currentScreen()) screen->stopLoading();
        messageBox(unreadableFileText(url), kInfoCaption, MessageBoxType::Ok);
        return Opened::Done;
    }
    host_.addLoadingProgress(kProgressFileRead, LoadingState::kAnyRequest);
    std::unique_ptr<PageEntry> entry = parsePageFor(*content, url, record.cancelFlag);
    host_.addLoadingProgress(kProgressParsed, LoadingState::kAnyRequest);
    // A page that sends on to another is no error.
    if (entry) {
        entry->submitted = record.submission;
        showPage(std::move(entry), record.targetScreenId, record.replace, record.cancelFlag);
    } else if (!parseRedirected_) {
        latchError(false, true, 0, CString());
    }
    return Opened::Done;
}

bool PageLoader::sendRequest(const RequestRecord& record) {
    host_.addLoadingProgress(kProgressSending, record.requestId);
    HttpSession* session = host_.requests().session();
    if (session && session->sendRequest(record)) return true;
    Screen* screen = host_.currentScreen();
    if (screen && screen->stopLoading(record.requestId)) latchError(false, true, 0, CString());
    return false;
}

std::optional<std::string> PageLoader::loadContent(CString link, bool wait,
                                                   PageRequests::FetchFor fetchFor) {
    // Variables out; nothing for a blank link.
    host_.extractLinkVariables(link);
    if (CString(link).trim().isEmpty()) return std::nullopt;

    // A relative name is the page's own, as every link on it.
    if (linkScheme(link) == LinkScheme::Relative) {
        try {
            link = resolveName(link);
        } catch (const ZQException&) {
            return std::nullopt;
        }
    }

    // Local files.
    if (std::optional<CString> local = localPart(link)) {
        return readResourceFile(host_.folders().resource, *local);
    }

    // Server content.
    const CString lower = link.lower();
    if (lower.find(CString(u"http://")) < 0) return std::nullopt;
    if (wait) {
        try {
            return fetchAndWait(resolveName(link), fetchFor);
        } catch (const ZQException&) {
            return std::nullopt;
        }
    }
    const RequestRecord record = host_.requests().newRequest(link, RequestParams::None);
    if (!sendRequest(record)) host_.requests().cancelFlags().remove(record.requestId);
    return std::nullopt;
}

const char16_t* PageLoader::unreadableFileText(const CString& link) const {
    const std::optional<CString> local = localPart(link);
    if (!local) return kMissingFileText;
    const std::optional<std::filesystem::path> path =
        resolveConfined(host_.folders().resource, *local);
    std::error_code ec;
    const bool tooLarge = path && std::filesystem::is_regular_file(*path, ec) &&
                          std::filesystem::file_size(*path, ec) > MarkupPage::kMaxPageFileBytes &&
                          !ec;
    return tooLarge ? MarkupPage::kPageTooLargeText : kMissingFileText;
}

std::optional<std::string> PageLoader::fetchAndWait(const CString& url,
                                                    PageRequests::FetchFor fetchFor) {
    RequestRecord record = host_.requests().newRequest(url);
    // A cancelled page build fetches nothing more.
    if (!host_.requests().mayFetch()) {
        host_.requests().cancelFlags().remove(record.requestId);
        return std::nullopt;
    }
    return host_.requests().fetchAndWait(std::move(record), fetchFor);
}

std::unique_ptr<PageEntry> PageLoader::parsePageFor(std::string_view text, const CString& url,
                                                    const CancelFlag& cancelFlag) {
    // Builds nest when a nested wait shows another page: each restores the
    // flag of the one it interrupted.
    CancelFlag outer = host_.requests().swapBuildFlag(cancelFlag);
    std::unique_ptr<PageEntry> entry = parsePage(text, url);
    host_.requests().swapBuildFlag(std::move(outer));
    return entry;
}

std::unique_ptr<PageEntry> PageLoader::parsePage(std::string_view text, const CString& url) {
    // A page object with the page font.
    auto entry = std::make_unique<PageEntry>();
    auto page = std::make_unique<MarkupPage>();
    parseRedirected_ = false;
    page->setPageFont(host_.pageFont());

    // Build it; its key is the server's "host:port".
    CString host;
    CString port;
    CString path;
    zq::splitHttpHostPort(url, host, port, path);
    const CString outerUrl = std::exchange(buildingUrl_, url);
    const MarkupPage* outerPage = std::exchange(buildingPage_, page.get());
    const int outerScreenId = std::exchange(buildingScreenId_, entry->screenId);
    bool loaded = false;
    {
        FormActions::PageBuildScope building(host_.formActions());
        loaded = page->loadPage(text, &host_.pageHost(), host + u':' + port);
    }
    // A follow-up link is the page's own too.
    CString redirect;
    if (loaded && !redirectFiles(*page).empty()) {
        try {
            redirect = resolveName(redirectFiles(*page).front());
        } catch (const ZQException&) {
        }
    }
    buildingUrl_ = outerUrl;
    buildingPage_ = outerPage;
    buildingScreenId_ = outerScreenId;
    // The page's own address, which a reload asks for again: a relative one
    // is taken from the address it was asked by.
    CString pageUrl = loaded ? page->redirect() : CString();
    if (pageUrl.isEmpty()) {
        pageUrl = url;
    } else if (!url.isEmpty() && linkScheme(pageUrl) == LinkScheme::Relative &&
               pageUrl.at(0) != u'/') {
        try {
            pageUrl = host_.resolvePageLink(pageUrl, url, CString());
        } catch (const ZQException&) {
        }
    }

    // Text that does not parse.
    if (!loaded) {
        host_.errors().setError(kParseErrorCode, kParseErrorText);
        if (Screen* screen = host_.currentScreen()) screen->stopLoading(LoadingState::kAnyRequest);
        return nullptr;
    }

    // A page that lists follow-up links is not shown: its first link opens,
    // on a later round so that a page naming itself cannot recurse, and
    // only so many times in a row (start-up counts the ones it holds).
    if (!redirectFiles(*page).empty()) {
        parseRedirected_ = true;
        if (Screen* shown = host_.currentScreen()) shown->stopLoading(LoadingState::kAnyRequest);
        if (redirect.isEmpty()) return nullptr;
        if (holdRedirects_) {
            if (++redirects_ > OpeningChain::kMaxInARow) {
                redirects_ = 0;
                heldRedirect_.tooMany = true;
            } else {
                heldRedirect_.link = redirect;
            }
            return nullptr;
        }
        host_.postToHost([this, redirect] {
            followingRedirect_ = true;
            openUrl({.url = redirect});
            followingRedirect_ = false;
        });
        return nullptr;
    }

    // A page without a screen changes nothing.
    std::unique_ptr<Form> screen = page->releaseScreen();
    if (!screen) {
        if (Screen* shown = host_.currentScreen()) shown->stopLoading(LoadingState::kAnyRequest);
        return nullptr;
    }
    entry->url = pageUrl;
    entry->screen = std::move(screen);
    entry->cache = page->cacheFlag();
    entry->update = page->updateFlag();
    entry->onload = page->onLoad();
    entry->unonload = page->onUnload();
    entry->pageBase = page->pageBase();
    entry->cacheId = page->cacheId();
    entry->host = host;
    entry->port = port;
    entry->path = path;
    entry->commandActions = page->commandMap();
    entry->page = std::move(page);
    return entry;
}

void PageLoader::showPage(std::unique_ptr<PageEntry> entry, int screenId, bool replace,
                          const CancelFlag& cancelFlag) {
    // Nothing to show.
    if (!entry || !entry->screen || isCancelled(cancelFlag)) return;

    // A replace waits until the shown screen is no longer busy, and any page
    // until the box over the shown one is answered.
    if (mustWaitToShow(replace, cancelFlag, *entry)) {
        auto held = std::make_shared<std::unique_ptr<PageEntry>>(std::move(entry));
        auto timer = std::make_shared<UiTimerId>(0);
        std::weak_ptr<const int> alive = alive_;
        *timer =
            startUiTimer(kBusyRetryMs, [this, alive, held, timer, screenId, replace, cancelFlag] {
                if (!alive.lock()) return stopUiTimer(*timer);
                if (!isCancelled(cancelFlag) && mustWaitToShow(replace, cancelFlag, **held)) return;
                stopUiTimer(*timer);
                showPage(std::move(*held), screenId, replace, cancelFlag);
            });
        return;
    }

    // The page that asked is gone.
    if (screenId != -1 && screenId != host_.currentScreenId()) return;

    // A reload takes over what the user did on the page it replaces.
    const std::optional<KeptPage> kept =
        replace ? host_.autoRefresh().keepForReload(cancelFlag) : std::nullopt;
    if (kept) {
        AutoRefresh::RestoreScope restoring(host_.autoRefresh());
        entry->shownValues = formFieldValues(*entry);
        kept->restoreValues(*entry);
        if (PageEntry* reloaded = host_.currentEntry())
            keepPictures(*reloaded, *entry, host_.requests());
    }

    if (!replace) markLoadOpener(cancelFlag);

    // Into the history.
    Screen* left = kept ? host_.currentScreen() : nullptr;
    PageEntry* raw = entry.get();
    const bool keep = raw->cache || raw->update;
    const int position = replace ? host_.history().replaceCurrent(std::move(entry), keep)
                                 : host_.history().push(std::move(entry), keep);

    // Exit on the first page the user sees, back on the others; then show it.
    const bool first = position <= host_.history().firstShownPage();
    raw->screen->insertCommand(first ? host_.exitCommand() : host_.backCommand(), nullptr, false);
    host_.addLoadingProgress(kProgressShown, LoadingState::kAnyRequest);
    makeCurrent(raw);
    if (kept && host_.currentEntry() == raw) {
        AutoRefresh::RestoreScope restoring(host_.autoRefresh());
        kept->restoreView(*raw);
        // The next tap on the keyboard types what the user switched it to.
        if (left) raw->screen->keepKeyboardPad(*left);
    }
}

bool PageLoader::mustWaitToShow(bool replace, const CancelFlag& cancelFlag,
                                PageEntry& entry) const {
    Screen* shown = host_.currentScreen();
    if (!shown) return false;
    if (replace && shown->getBusyFlags() != 0) return true;
    // A reload that came in while a key or the pen is down, or while the
    // user types, waits until they let go or pause.
    if (replace && host_.autoRefresh().waitsForUser(cancelFlag, entry)) return true;
    // A message box, an alert or the speed test over the page: a reply
    // never takes the screen from a question the user has open.
    UiLoop* loop = UiLoop::current();
    if (loop && loop->overlayOpen()) return true;
    Display* display = Display::getDisplay();
    Displayable* over = display ? display->getCurrent() : nullptr;
    return dynamic_cast<AlertScreen*>(over) || dynamic_cast<SpeedTestScreen*>(over);
}

void PageLoader::makeCurrent(PageEntry* entry, Step step) {
    if (!entry || !entry->screen) return;

    // The page left runs its leave action while it is still the current
    // one; what that opens, no input started, as with the load action.
    PageEntry* left = host_.currentEntry();
    if (left && !left->unonload.isEmpty()) {
        const CString unonload = left->unonload;
        UnpromptedScope byThePage(*this);
        host_.onAction(unonload);
    }
    // A step the user took: a new chain for the page stepped to.
    if (step == Step::History && !followingRedirect_ && unprompted_ == 0) {
        chain_.admit(false);
        userStepped();
    }
    // The leave action may have shown another page already.
    left = host_.currentEntry();
    host_.setCurrentEntry(entry);
    if (!entry->shownValues) entry->shownValues = formFieldValues(*entry);

    Screen* screen = entry->screen.get();
    if (Display* display = Display::getDisplay()) {
        FormActions::PageBuildScope showing(host_.formActions());
        display->setCurrent(screen, true);
        ClientContext::current().setRecordedCurrentScreen(screen);
        display->repaint();
    } else {
        ClientContext::current().setRecordedCurrentScreen(screen);
    }
    // Only the shown page holds its pictures: the client's stay within one budget.
    if (left && left != entry) host_.requests().releasePictures(*left);
    if (!entry->onloadDone && !entry->onload.isEmpty()) {
        UnpromptedScope byThePage(*this);
        const int outer = std::exchange(loadActionOf_, entry->screenId);
        host_.onAction(entry->onload);
        loadActionOf_ = outer;
    }
}

void PageLoader::noteLoadOpening(const CancelFlag& cancelFlag) {
    std::erase_if(loadOpenings_, [](const auto& opening) { return opening.first.expired(); });
    loadOpenings_.emplace_back(cancelFlag, loadActionOf_);
}

void PageLoader::markLoadOpener(const CancelFlag& cancelFlag) {
    if (!cancelFlag) return;
    auto found = std::find_if(loadOpenings_.begin(), loadOpenings_.end(), [&](const auto& opening) {
        return opening.first.lock() == cancelFlag;
    });
    if (found == loadOpenings_.end()) return;
    const int opener = found->second;
    loadOpenings_.erase(found);
    // Only while the page whose action opened it is still the one shown.
    PageEntry* shown = host_.currentEntry();
    if (shown && shown->screenId == opener) shown->onloadDone = true;
}

void PageLoader::openTemplate(const CString& link, int screenId, bool replace) {
    // The path: after "tempfile://", before '?', '#' and '$'.
    CString path = link.mid(11);
    for (char16_t stop : {u'?', u'#', u'$'}) {
        const int at = path.find(stop);
        if (at >= 0) path = path.left(at);
    }

    // Read and build it.
    std::optional<std::string> content = readResourceFile(host_.folders().resource, path);
    if (!content) {
        host_.errors().setError(kTemplateErrorCode, kTemplateErrorText);
        return;
    }
    std::unique_ptr<PageEntry> entry = parsePage(*content, link);
    if (!entry) return;

    // Shown under a request id of its own.
    // Nothing can cancel it before it is shown, so its flag stays unlisted.
    host_.requests().requestCounter().next();
    const CancelFlag flag = makeCancelFlag();
    if (loadActionOf_ != -1 && !replace) noteLoadOpening(flag);
    showPage(std::move(entry), screenId, replace, flag);
}

void PageLoader::sendSmsUrl(const CString& link) {
    if (Screen* screen = host_.currentScreen()) screen->stopLoading(LoadingState::kAnyRequest);
    if (!smsSender_) smsSender_ = std::make_unique<SmsSender>(deviceServices());
    // The report comes after the notice: one that is in while the notice
    // is up waits for it to close (UI thread only).
    struct Notice {
        bool open = true;
        std::vector<CString> heldReports;
    };
    auto notice = std::make_shared<Notice>();
    smsSender_->start(SmsJob::fromLink(link), [notice](const SmsReport& report) {
        postToUi([notice, summary = report.summary()] {
            if (notice->open) {
                notice->heldReports.push_back(summary);
            } else {
                messageBox(summary, kInfoCaption, MessageBoxType::Ok);
            }
        });
    });
    messageBox(kSmsNotice, kInfoCaption, MessageBoxType::Ok);
    notice->open = false;
    for (const CString& summary : std::exchange(notice->heldReports, {})) {
        messageBox(summary, kInfoCaption, MessageBoxType::Ok);
    }
}

void PageLoader::loadSecondDocument(const std::string& document, int secondKind, int serial,
                                    const RequestRecord& record) {
    if (secondKind == 2) {
        // The markup acts through its side effects and the page object goes,
        // so it gets no screen: nothing on the shown one may point into it.
        MarkupPage page;
        page.loadPage(document, &host_.pageHost(), CString(), serial, nullptr);
        return;
    }
    if (isCancelled(record.cancelFlag)) return;
    std::unique_ptr<PageEntry> entry = parsePage(document, CString());
    if (entry) {
        showPage(std::move(entry), record.targetScreenId, record.replace, record.cancelFlag);
    }
}

void PageLoader::onPageData(const CString& url, std::string text, const RequestRecord& record) {
    const int screenId = record.targetScreenId;
    const CancelFlag& cancelFlag = record.cancelFlag;
    auto pageGone = [&] {
        return isCancelled(cancelFlag) || (screenId != -1 && screenId != host_.currentScreenId());
    };
    if (pageGone()) {
        if (Screen* screen = host_.currentScreen()) screen->stopLoading(LoadingState::kAnyRequest);
    } else {
        host_.addLoadingProgress(kProgressPageParsing, LoadingState::kAnyRequest);
        std::unique_ptr<PageEntry> entry = parsePageFor(text, url, cancelFlag);
        if (!pageGone()) {
            host_.addLoadingProgress(kProgressPageParsed, LoadingState::kAnyRequest);
            if (entry) {
                entry->submitted = record.submission;
                showPage(std::move(entry), screenId, record.replace, cancelFlag);
            } else if (!parseRedirected_) {
                latchError(false, true, 0, CString());
            }
        }
    }
    host_.requests().cancelFlags().remove(record.requestId);
}

CString PageLoader::resolveName(const CString& link) {
    if (buildingUrl_.isEmpty()) return host_.resolveUrl(link);
    return host_.resolvePageLink(link, buildingUrl_,
                                 buildingPage_ ? buildingPage_->pageBase() : CString());
}

CString PageLoader::baseUrl() const {
    if (!buildingUrl_.isEmpty()) return buildingUrl_;
    return host_.currentEntry() ? host_.currentEntry()->url : CString();
}

}  // namespace zq
