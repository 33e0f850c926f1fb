// Page loading by scheme: openUrl resolves a link and acts on it (server
// pages through the session, local pages and templates from the resource
// folder, "tel://" and "sms://" through the device), parsePage builds a
// history entry from page text, showPage and makeCurrent put it on the
// display. Everything here runs on the UI thread.
#include <memory>
#include <utility>

#include "app/auto_refresh.h"
#include "app/link_resolver.h"
#include "app/page_controller.h"
#include "markup/side_effect_builders.h"
#include "net/device_actions.h"
#include "platform/clock.h"
#include "platform/device_services.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/ui_executor.h"
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
constexpr int kParseErrorCode = 3;
constexpr int kTemplateErrorCode = 23;
// How often a replace looks again at a screen that is busy (menu open).
constexpr uint32_t kBusyRetryMs = 100;
constexpr const char16_t* kParseErrorText = u"接收数据内容异常，请稍后重试。";
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
    const CString lower = link.lower();
    if (lower.find(CString(u"tempfile://")) >= 0) return link.mid(11);
    if (lower.find(CString(u"file://")) >= 0) return link.mid(7);
    return std::nullopt;
}

}  // namespace

void PageController::SmsSenderDeleter::operator()(SmsSender* sender) const {
    std::unique_ptr<SmsSender> owned(sender);
}

void PageController::postToController(std::function<void(PageController&)> task) {
    std::weak_ptr<const int> alive = uiAnchor_;
    postToUi([this, alive = std::move(alive), task = std::move(task)] {
        if (alive.lock()) task(*this);
    });
}

void PageController::navigate(const CString& address, NavigationLoading loading,
                              NavigationInput input) {
    openUrl(address, currentScreenId(), false, loading == NavigationLoading::Shown,
            input == NavigationInput::Blocked, 0);
}

void PageController::openUrl(const CString& link, int screenId, bool replace, bool showLoading,
                             bool blockInput, int) {
    // Resolve; an empty or blank link does nothing.
    CString url;
    try {
        url = resolveUrl(link);
    } catch (const ZQException&) {
        return;
    }
    if (CString(url).trim().isEmpty()) return;

    // Templates are read and shown at once.
    const LinkScheme scheme = linkScheme(url);
    if (scheme == LinkScheme::TempFile) {
        openTemplate(link, screenId, replace);
        return;
    }

    // A page asked for now wins over a reload still on its way.
    if (scheme == LinkScheme::Http || scheme == LinkScheme::File) autoRefresh_->pageRequested();

    // A new request id with its cancel flag.
    const int requestId = requests_.requestCounter().next();
    if (showLoading) beginLoading(blockInput, requestId);
    CancelFlag cancelFlag = requests_.cancelFlags().add(requestId);
    const bool askerShown = screenId == -1 || screenId == currentScreenId();

    // By scheme. Only a request that went out keeps its flag listed; the
    // reply handler settles it.
    switch (scheme) {
        case LinkScheme::Http:
            if (isCancelled(cancelFlag) || !askerShown) {
                requests_.cancelFlags().remove(requestId);
                return;
            }
            addLoadingProgress(kProgressRequestSent, requestId);
            if (!sendRequest(buildRequestParams(url), screenId, replace, cancelFlag, url)) {
                requests_.cancelFlags().remove(requestId);
            }
            break;
        case LinkScheme::File: {
            requests_.cancelFlags().remove(requestId);
            if (!askerShown) return;
            addLoadingProgress(kProgressFileOpened, LoadingState::kAnyRequest);
            std::optional<std::string> content = loadContent(url, false);
            if (isCancelled(cancelFlag)) return;
            // Too large to read is said as such; the page shown stays.
            if (!content && localFileTooLarge(url)) {
                if (Screen* screen = currentScreen()) screen->stopLoading();
                messageBox(MarkupPage::kPageTooLargeText, kInfoCaption, MessageBoxType::Ok);
                break;
            }
            addLoadingProgress(kProgressFileRead, LoadingState::kAnyRequest);
            std::unique_ptr<PageEntry> entry =
                parsePageFor(content.value_or(std::string()), url, cancelFlag);
            addLoadingProgress(kProgressParsed, LoadingState::kAnyRequest);
            if (entry) {
                showPage(std::move(entry), screenId, replace, cancelFlag);
            } else {
                latchError(false, true, 0, CString());
            }
            break;
        }
        case LinkScheme::Tel:
            requests_.cancelFlags().remove(requestId);
            dialTelLink(url);
            break;
        case LinkScheme::Sms:
            requests_.cancelFlags().remove(requestId);
            sendSmsUrl(url);
            break;
        default:
            requests_.cancelFlags().remove(requestId);
            break;
    }

    // The retry soft key opens it again.
    lastUrl_ = url;
}

bool PageController::sendRequest(const CString& url, int screenId, bool replace,
                                 const CancelFlag& cancelFlag, const CString& link) {
    RequestRecord record;
    record.url = url;
    record.link = link;
    record.targetScreenId = screenId;
    record.replace = replace;
    record.cancelFlag = cancelFlag;
    record.requestId = requests_.requestCounter().current();
    record.tick = tickCount();
    if (record.cancelled()) return true;
    if (screenId != -1 && screenId != currentScreenId()) return true;
    addLoadingProgress(kProgressSending, record.requestId);
    HttpSession* session = requests_.session();
    if (session && session->sendRequest(record)) return true;
    Screen* screen = currentScreen();
    if (screen && screen->stopLoading(record.requestId)) latchError(false, true, 0, CString());
    return false;
}

std::optional<std::string> PageController::loadContent(CString link, bool wait) {
    // Variables out; nothing for a blank link.
    extractLinkVariables(link);
    if (CString(link).trim().isEmpty()) return std::nullopt;

    // "/x" lies on the server of the page being built; otherwise it
    // resolves as any other link does.
    if (link.at(0) == u'/') {
        std::optional<CString> onServer = serverRootLink(link, buildingUrl_);
        link = onServer ? *onServer : resolveUrl(link);
    }

    // Local files.
    if (std::optional<CString> local = localPart(link)) {
        return readResourceFile(folders_.resource, *local);
    }

    // Server content.
    const CString lower = link.lower();
    if (lower.find(CString(u"http://")) < 0) return std::nullopt;
    if (wait) return fetchUrlAndWait(link);
    sendRequest(link, -1, false, nullptr);
    return std::nullopt;
}

bool PageController::localFileTooLarge(const CString& link) const {
    const std::optional<CString> local = localPart(link);
    if (!local) return false;
    const std::optional<std::filesystem::path> path = resolveConfined(folders_.resource, *local);
    std::error_code ec;
    return path && std::filesystem::is_regular_file(*path, ec) &&
           std::filesystem::file_size(*path, ec) > MarkupPage::kMaxPageFileBytes && !ec;
}

std::string PageController::loadContent(const CString& path) {
    return loadContent(path, true).value_or(std::string());
}

std::optional<std::string> PageController::fetchUrlAndWait(CString& link) {
    // The request URL under a new id.
    CString url;
    try {
        url = resolveUrl(link);
    } catch (const ZQException&) {
        return std::nullopt;
    }
    const int requestId = requests_.requestCounter().next();
    link = buildRequestParams(url);
    // A cancelled page build fetches nothing more.
    if (!requests_.mayFetch()) return std::nullopt;
    return requests_.fetchAndWait(link, requestId);
}

std::unique_ptr<PageEntry> PageController::parsePageFor(std::string_view text, const CString& url,
                                                        const CancelFlag& cancelFlag) {
    // Builds nest when a nested wait shows another page: each restores the
    // flag of the one it interrupted.
    CancelFlag outer = requests_.swapBuildFlag(cancelFlag);
    std::unique_ptr<PageEntry> entry = parsePage(text, url);
    requests_.swapBuildFlag(std::move(outer));
    return entry;
}

std::unique_ptr<PageEntry> PageController::parsePage(std::string_view text, const CString& url) {
    // A page object with the page font.
    auto entry = std::make_unique<PageEntry>();
    auto page = std::make_unique<MarkupPage>();
    parseFailed_ = false;
    parseRedirected_ = false;
    page->setPageFont(pageFont_);

    // Build it; its key is the server's "host:port".
    CString host;
    CString port;
    CString path;
    splitHttpHostPort(url, host, port, path);
    pageTiming_.parseStart = tickCount();
    const CString outerUrl = std::exchange(buildingUrl_, url);
    bool loaded = false;
    {
        PageBuildScope building(*this);
        loaded = page->loadPage(text, this, host + u':' + port);
    }
    buildingUrl_ = outerUrl;
    pageTiming_.parseEnd = tickCount();

    // Text that does not parse.
    if (!loaded) {
        parseFailed_ = true;
        errors_.setError(kParseErrorCode, kParseErrorText);
        if (Screen* screen = currentScreen()) screen->stopLoading(LoadingState::kAnyRequest);
        return nullptr;
    }

    // A page that lists follow-up links is not shown: its first link opens,
    // on a later round so that a page naming itself cannot recurse.
    if (!redirectFiles(*page).empty()) {
        parseRedirected_ = true;
        const CString link = redirectFiles(*page).front();
        if (Screen* shown = currentScreen()) shown->stopLoading(LoadingState::kAnyRequest);
        postToController([link](PageController& c) { c.openUrl(link, -1, false, true, true, 0); });
        return nullptr;
    }

    // A page without a screen changes nothing.
    std::unique_ptr<Form> screen = page->releaseScreen();
    if (!screen) {
        if (Screen* shown = currentScreen()) shown->stopLoading(LoadingState::kAnyRequest);
        return nullptr;
    }
    entry->url = page->redirect().isEmpty() ? url : page->redirect();
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

void PageController::showPage(std::unique_ptr<PageEntry> entry, int screenId, bool replace,
                              const CancelFlag& cancelFlag) {
    // Nothing to show.
    if (!entry || !entry->screen || isCancelled(cancelFlag)) return;

    // A replace waits until the shown screen is no longer busy.
    Screen* shown = currentScreen();
    if (replace && shown && shown->getBusyFlags() != 0) {
        auto held = std::make_shared<std::unique_ptr<PageEntry>>(std::move(entry));
        auto timer = std::make_shared<UiTimerId>(0);
        std::weak_ptr<const int> alive = uiAnchor_;
        *timer = startUiTimer(kBusyRetryMs, [this, alive, held, timer, screenId, cancelFlag] {
            if (!alive.lock()) return stopUiTimer(*timer);
            Screen* now = currentScreen();
            if (now && now->getBusyFlags() != 0) return;
            stopUiTimer(*timer);
            showPage(std::move(*held), screenId, true, cancelFlag);
        });
        return;
    }

    // The page that asked is gone.
    if (screenId != -1 && screenId != currentScreenId()) return;

    // Into the history.
    PageEntry* raw = entry.get();
    const bool keep = raw->cache || raw->update;
    const int position = replace ? history_.replaceCurrent(std::move(entry), keep)
                                 : history_.push(std::move(entry), keep);

    // Exit on the first page, back on the others; then show it.
    raw->screen->insertCommand(position < 1 ? exitCommand_ : backCommand_, nullptr, false);
    addLoadingProgress(kProgressShown, LoadingState::kAnyRequest);
    makeCurrent(raw);
}

void PageController::makeCurrent(PageEntry* entry) {
    if (!entry || !entry->screen) return;
    if (!entry->url.isEmpty()) basePath_ = urlDirectory(entry->url);

    // The page left runs its leave action while it is still the current one.
    if (currentEntry_ && !currentEntry_->unonload.isEmpty()) onAction(currentEntry_->unonload);
    currentEntry_ = entry;

    Screen* screen = entry->screen.get();
    if (Display* display = Display::getDisplay()) {
        PageBuildScope showing(*this);
        display->setCurrent(screen, true);
        setRecordedCurrentScreen(screen);
        display->repaint();
    } else {
        setRecordedCurrentScreen(screen);
    }
    if (!entry->onloadDone && !entry->onload.isEmpty()) onAction(entry->onload);
}

void PageController::openTemplate(const CString& link, int screenId, bool replace) {
    // The path: after "tempfile://", before '?', '#' and '$'.
    CString path = link.mid(11);
    for (char16_t stop : {u'?', u'#', u'$'}) {
        const int at = path.find(stop);
        if (at >= 0) path = path.left(at);
    }

    // Read and build it.
    std::optional<std::string> content = readResourceFile(folders_.resource, path);
    if (!content) {
        errors_.setError(kTemplateErrorCode, kTemplateErrorText);
        return;
    }
    std::unique_ptr<PageEntry> entry = parsePage(*content, link);
    if (!entry) return;

    // Shown under a request id of its own.
    // Nothing can cancel it before it is shown, so its flag stays unlisted.
    requests_.requestCounter().next();
    showPage(std::move(entry), screenId, replace, makeCancelFlag());
}

void PageController::sendSmsUrl(const CString& link) {
    if (Screen* screen = currentScreen()) screen->stopLoading(LoadingState::kAnyRequest);
    if (!smsSender_) smsSender_.reset(std::make_unique<SmsSender>(deviceServices()).release());
    smsSender_->start(SmsJob::fromLink(link), [](const SmsReport& report) {
        const CString summary = report.summary();
        postToUi([summary] { messageBox(summary, kInfoCaption, MessageBoxType::Ok); });
    });
    messageBox(kSmsNotice, kInfoCaption, MessageBoxType::Ok);
}

// --- remote pictures ------------------------------------------------------------

CString PageController::baseUrl() const {
    if (!buildingUrl_.isEmpty()) return buildingUrl_;
    return currentEntry_ ? currentEntry_->url : CString();
}

}  // namespace zq
