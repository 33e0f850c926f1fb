// The session's life, the synchronous fetches a page build waits on and the
// remote pictures. The reply path is in reply_handler.cpp.
#include "app/page_requests.h"

#include <algorithm>
#include <utility>

#include "app/link_resolver.h"
#include "app/page_controller.h"
#include "core/zq_exception.h"
#include "items/image_item.h"
#include "net/http_socket.h"
#include "platform/clock.h"
#include "platform/ui_executor.h"
#include "platform/ui_loop.h"
#include "ui/page_services.h"
#include "ui/screen.h"

namespace zq {

namespace {

// Threads of the picture fetches of image links; the others wait in turn.
constexpr size_t kPictureThreads = 2;
// Picture requests waiting at once at most: beyond, a picture keeps its
// alternative text until it is shown again.
constexpr size_t kMaxPictureRequests = RequestIdCounter::kMaxRequestId - 1024;

}  // namespace

// --- request bookkeeping -------------------------------------------------------

CancelFlag CancelFlagTable::add(int requestId) {
    CancelFlag flag = makeCancelFlag();
    std::lock_guard lock(mutex_);
    flags_[requestId] = flag;
    return flag;
}

CancelFlag CancelFlagTable::find(int requestId) const {
    std::lock_guard lock(mutex_);
    auto it = flags_.find(requestId);
    return it == flags_.end() ? CancelFlag() : it->second;
}

bool CancelFlagTable::cancel(int requestId) {
    std::lock_guard lock(mutex_);
    auto it = flags_.find(requestId);
    if (it == flags_.end()) return false;
    it->second->store(1);
    return true;
}

void CancelFlagTable::remove(int requestId) {
    std::lock_guard lock(mutex_);
    flags_.erase(requestId);
}

size_t CancelFlagTable::size() const {
    std::lock_guard lock(mutex_);
    return flags_.size();
}

void RequestIdSet::add(int requestId) {
    std::lock_guard lock(mutex_);
    ids_.insert(requestId);
}

bool RequestIdSet::remove(int requestId) {
    std::lock_guard lock(mutex_);
    return ids_.erase(requestId) > 0;
}

bool RequestIdSet::contains(int requestId) const {
    std::lock_guard lock(mutex_);
    return ids_.count(requestId) > 0;
}

namespace {

// A charged picture: its pixels go back to the budget when the last copy of
// it goes.
struct ChargedImage {
    ChargedImage(ImageRef picture, std::shared_ptr<std::atomic<int64_t>> budget, int64_t count)
        : image(std::move(picture)), used(std::move(budget)), pixels(count) {}
    ~ChargedImage() { used->fetch_sub(pixels); }
    ChargedImage(const ChargedImage&) = delete;
    ChargedImage& operator=(const ChargedImage&) = delete;

    ImageRef image;
    std::shared_ptr<std::atomic<int64_t>> used;
    int64_t pixels;
};

}  // namespace

ImageRef PictureBudget::charge(ImageRef image) {
    if (!image) return image;
    const int64_t pixels = int64_t{image->width()} * image->height();
    int64_t used = used_->load();
    do {
        if (pixels > kMaxPixels - used) return nullptr;
    } while (!used_->compare_exchange_weak(used, used + pixels));
    auto held = std::make_shared<ChargedImage>(std::move(image), used_, pixels);
    return ImageRef(held, held->image.get());
}

void RequestIdSet::clear() {
    std::lock_guard lock(mutex_);
    ids_.clear();
}

size_t RequestIdSet::size() const {
    std::lock_guard lock(mutex_);
    return ids_.size();
}

std::set<int> RequestIdSet::ids() const {
    std::lock_guard lock(mutex_);
    return ids_;
}

// --- the session -----------------------------------------------------------------

PageRequests::PageRequests(PageController& controller) : controller_(controller) {}

PageRequests::~PageRequests() { shutDown(); }

void PageRequests::shutDown() {
    pictureFetches_.reset();  // cancels and joins the picture fetches
    dropSession();
}

// Network threads reach the session only through liveSession_, and only
// from the session's own callbacks, which its destructor ends (it closes
// the connection first, so the receive thread wakes at once, then joins).
void PageRequests::dropSession() {
    liveSession_.store(nullptr);
    ++sessionGeneration_;
    if (pictureFetches_) pictureFetches_->cancelAll();
    linkPictures_.clear();
    std::shared_ptr<HttpSession> old;
    {
        std::lock_guard lock(sessionMutex_);
        old = std::move(session_);
    }
}

void PageRequests::setSession(std::unique_ptr<HttpSession> session) {
    dropSession();
    if (session) session->setReplyWaitMs(replyWaitMs_);
    liveSession_.store(session.get());
    std::lock_guard lock(sessionMutex_);
    session_ = std::move(session);
}

std::unique_ptr<HttpSession> PageRequests::makeSession(DeviceServices* device) {
    return std::make_unique<HttpSession>(&replyListener_, pending_, device);
}

void PageRequests::setReplyWaitMs(uint32_t ms) {
    replyWaitMs_ = ms;
    if (session_) session_->setReplyWaitMs(replyWaitMs_);
}

uint32_t PageRequests::fetchWaitMs() const {
    const int seconds = waitSeconds_.load();
    return seconds > 0 ? static_cast<uint32_t>(seconds) * 1000u : kDefaultReplyWaitMs;
}

// --- synchronous fetches -------------------------------------------------------------

bool PageRequests::mayFetch() const { return session_ && !isCancelled(buildFlag_); }

CancelFlag PageRequests::swapBuildFlag(CancelFlag flag) {
    return std::exchange(buildFlag_, std::move(flag));
}

int PageRequests::freeRequestId() {
    // Thousands of pictures queued outlast a round of the ids.
    return requestCounter_.next([this](int id) {
        return pending_.contains(id) || lateSubmissions_.contains(id) ||
               syncFetches_.contains(id) || cancelFlags_.find(id) != nullptr;
    });
}

RequestRecord PageRequests::newRequest(const CString& url, RequestParams params) {
    RequestRecord record;
    record.requestId = freeRequestId();
    record.cancelFlag = cancelFlags_.add(record.requestId);
    record.link = url;
    record.url = params == RequestParams::Added
                     ? controller_.buildRequestParams(url, record.requestId)
                     : url;
    record.tick = tickCount();
    return record;
}

std::optional<std::string> PageRequests::fetchAndWait(RequestRecord record, FetchFor fetchFor) {
    // Recorded and armed by the session before it is sent.
    const int requestId = record.requestId;
    const CancelFlag own = record.cancelFlag;
    std::shared_ptr<HttpSession> session;
    {
        std::lock_guard lock(sessionMutex_);
        session = session_;
    }
    if (!session) {
        cancelFlags_.remove(requestId);
        return std::nullopt;
    }
    HttpSession::WaitPump pump;
    if (UiLoop* loop = isUiThread() ? UiLoop::current() : nullptr) {
        const CancelFlag build = buildFlag_;
        pump = [this, loop, build, own, session](uint32_t ms) {
            loop->runOnce(static_cast<int>(ms));
            return !loop->quitRequested() && !isCancelled(build) && !isCancelled(own) &&
                   liveSession_.load() == session.get();
        };
    } else if (!isUiThread()) {
        // Never waits on a session that is gone (the client quits); the
        // reply ends a slice's wait at once.
        pump = [this, own, session, requestId](uint32_t ms) {
            session->syncReplies().waitSettled(requestId, ms);
            return !isCancelled(own) && liveSession_.load() == session.get();
        };
    }
    syncFetches_.add(requestId);
    if (fetchFor == FetchFor::File) fileFetchIds_.add(requestId);
    std::optional<std::vector<uint8_t>> reply =
        session->fetchAndWait(std::move(record), fetchWaitMs(), pump);
    syncFetches_.remove(requestId);
    fileFetchIds_.remove(requestId);
    cancelFlags_.remove(requestId);
    if (!reply) return std::nullopt;
    return std::string(reply->begin(), reply->end());
}

void PageRequests::cancelFetch(int requestId) { cancelFlags_.cancel(requestId); }

bool PageRequests::storeSyncReply(int requestId, std::optional<std::vector<uint8_t>> bytes) {
    HttpSession* session = liveSession_.load();
    if (!session) return false;
    SyncReplySlots& slots = session->syncReplies();
    return bytes ? slots.fill(requestId, std::move(*bytes)) : slots.fail(requestId);
}

// --- remote pictures ------------------------------------------------------------

// One framed connection serves one server: a picture from another would
// close it under the replies the shown page still waits for, so that one
// is fetched over HTTP from its own host.
bool PageRequests::reachesPageServer(const CString& url) const {
    if (!session_ || !isFramedConnection(session_->connectionType())) return true;
    CString host, port, path, pageHost, pagePort;
    splitHttpUrl(url, host, port, path);
    splitHttpUrl(controller_.baseUrl(), pageHost, pagePort, path);
    return host.equalsNoCase(pageHost) && port.equalsNoCase(pagePort);
}

RequestRecord PageRequests::newPictureRequest(const CString& url, const CancelFlag& screenFlag) {
    RequestRecord record = newRequest(url);
    // Not listed on its own: the screen's flag, which leaving it raises,
    // cancels it.
    cancelFlags_.remove(record.requestId);
    record.cancelFlag = screenFlag;
    record.picture = true;
    record.directHttp = !reachesPageServer(url);
    return record;
}

void PageRequests::fetchPicture(const CString& url, std::function<void(ImageRef)> done) {
    if (!session_ || !done) return;
    // Image links are fetched while their page is built, before its screen
    // is shown: they belong to that page.
    int screenId = controller_.pageLoader().buildingScreenId();
    if (screenId == -1) screenId = controller_.currentScreenId();
    startLinkPicture(screenId, {url, std::move(done), nullptr, nullptr});
}

void PageRequests::startLinkPicture(int screenId, LinkPicture picture) {
    ScreenLinkPictures& screen = linkPictures_[screenId];
    if (!screen.flag) screen.flag = makeCancelFlag();
    RequestRecord record = newPictureRequest(picture.url, screen.flag);
    LinkPicture& open = screen.open.emplace(record.requestId, std::move(picture)).first->second;
    const uint32_t waitMs = fetchWaitMs();

    if (!pictureFetches_) pictureFetches_ = std::make_unique<HttpRequestRunner>(kPictureThreads);
    ++picturesInFlight_;
    open.fetch = pictureFetches_->submit([this, session = session_, record, waitMs, screenId,
                                          generation = sessionGeneration_](HttpCancel& cancel) {
        // The wait sleeps on this thread in slices, so a cancel (the page is
        // left, the session goes, the controller shuts down) ends it at once
        // and closes its exchange.
        auto going = [&cancel, &record] { return !cancel.cancelled() && !record.cancelled(); };
        std::optional<std::vector<uint8_t>> bytes;
        if (going()) {
            bytes = session->fetchAndWait(record, waitMs, [&going](uint32_t ms) {
                sleepMs(ms);
                return going();
            });
        }
        ImageRef image;
        if (bytes && going())
            image = pictureBudget_.charge(decodeImage(bytes->data(), bytes->size()));
        --picturesInFlight_;
        if (!going()) return;
        controller_.postToController([generation, screenId, id = record.requestId,
                                      flag = record.cancelFlag,
                                      image = std::move(image)](PageController& c) mutable {
            c.requests().linkPictureDone(generation, screenId, id, flag, std::move(image));
        });
    });
}

void PageRequests::linkPictureDone(uint64_t generation, int screenId, int requestId,
                                   const CancelFlag& flag, ImageRef image) {
    // Left meanwhile: the fetch starts again when its page is shown again.
    if (generation != sessionGeneration_ || isCancelled(flag)) return;
    // A reload may have handed it to the page that replaced its own.
    auto screen = linkPictures_.find(screenId);
    if (screen == linkPictures_.end() || !screen->second.open.contains(requestId)) {
        screen =
            std::find_if(linkPictures_.begin(), linkPictures_.end(),
                         [requestId](const auto& s) { return s.second.open.contains(requestId); });
    }
    if (screen == linkPictures_.end()) return;
    ScreenLinkPictures& pictures = screen->second;
    auto open = pictures.open.find(requestId);
    LinkPicture picture = std::move(open->second);
    pictures.open.erase(open);
    picture.fetch.reset();
    // A failed one is not fetched again.
    if (image) {
        pictures.arrived.push_back(picture);
        pictures.arrived.back().image = image;
    }
    if (pictures.open.empty() && pictures.arrived.empty()) linkPictures_.erase(screen);
    picture.done(std::move(image));
}

void PageRequests::leaveLinkPictures() {
    const int shown = controller_.currentScreenId();
    const int building = controller_.pageLoader().buildingScreenId();
    std::vector<LinkPicture> again;
    for (auto it = linkPictures_.begin(); it != linkPictures_.end();) {
        ScreenLinkPictures& screen = it->second;
        if (it->first == building || (it->first == shown && !isCancelled(screen.flag))) {
            ++it;
            continue;
        }
        screen.flag->store(1);
        for (const CancelFlag& flag : screen.adopted) flag->store(1);
        screen.adopted.clear();
        if (it->first == shown) {
            for (auto& [id, picture] : screen.open) again.push_back(std::move(picture));
            for (LinkPicture& picture : screen.released) again.push_back(std::move(picture));
            // Starts afresh under a new flag; those still shown stay listed.
            screen.flag.reset();
            screen.open.clear();
            screen.released.clear();
        }
        if (it->first != shown && !screenKept(it->first)) {
            it = linkPictures_.erase(it);
        } else if (it->first == shown && screen.arrived.empty()) {
            it = linkPictures_.erase(it);
        } else {
            ++it;
        }
    }
    for (LinkPicture& picture : again) startLinkPicture(shown, std::move(picture));
}

void PageRequests::keepLinkPictures(int leftScreenId, int reloadedScreenId) {
    auto left = linkPictures_.find(leftScreenId);
    auto mine = linkPictures_.find(reloadedScreenId);
    if (left == linkPictures_.end() || mine == linkPictures_.end() || left == mine) return;
    ScreenLinkPictures& from = left->second;
    ScreenLinkPictures& to = mine->second;
    std::map<CString, int> asked;
    for (const auto& [id, picture] : to.open) asked.emplace(picture.url, id);
    // Kept on the open fetch too, so that the reload after passes it on
    // while the fetch is still on its way.
    for (const LinkPicture& shown : from.arrived) {
        auto same = asked.find(shown.url);
        if (same == asked.end() || !shown.image) continue;
        LinkPicture& fresh = to.open[same->second];
        fresh.image = shown.image;
        fresh.done(shown.image);
    }
    bool took = false;
    for (auto it = from.open.begin(); it != from.open.end();) {
        auto same = asked.find(it->second.url);
        if (same == asked.end()) {
            ++it;
            continue;
        }
        // The fetch that left first brings the picture first.
        auto fresh = to.open.find(same->second);
        if (fresh->second.fetch) fresh->second.fetch->cancel();
        it->second.done = std::move(fresh->second.done);
        if (!it->second.image) it->second.image = fresh->second.image;
        if (it->second.image) it->second.done(it->second.image);
        to.open.erase(fresh);
        asked.erase(same);
        to.open.emplace(it->first, std::move(it->second));
        it = from.open.erase(it);
        took = true;
    }
    if (!took) return;
    // Those taken over run under the left page's flag, which is the new
    // page's to raise now; the others end.
    for (auto& [id, picture] : from.open) {
        if (picture.fetch) picture.fetch->cancel();
    }
    from.open.clear();
    to.adopted.push_back(std::exchange(from.flag, makeCancelFlag()));
    to.adopted.insert(to.adopted.end(), from.adopted.begin(), from.adopted.end());
    from.adopted.clear();
}

// A screen the history can show again.
bool PageRequests::screenKept(int screenId) const {
    const PageHistory& history = controller_.history();
    auto same = [screenId](const PageEntry* entry) { return entry && entry->screenId == screenId; };
    if (same(history.pending())) return true;
    for (int i = 0; i < history.count(); ++i) {
        if (same(history.at(i))) return true;
    }
    for (int i = 0; i < history.recycledCount(); ++i) {
        if (same(history.recycledAt(i))) return true;
    }
    return false;
}

void PageRequests::requestPicture(const CString& address, const PictureTargetRef& target) {
    HttpSession* session = session_.get();
    if (!session || !target) return;
    CString url;
    try {
        url = controller_.resolveUrl(address);
    } catch (const ZQException&) {
        return;
    }
    if (linkScheme(url) != LinkScheme::Http) return;

    // No loading state, so neither the reply nor a failure touches the
    // screen: the page stays usable and the picture keeps its alternative
    // text. The screen's pictures share one flag, which leaving it raises.
    const int screenId = controller_.currentScreenId();
    if (screenId != pictureScreenId_) leavePictures();
    pictureScreenId_ = screenId;
    // Shown again before its picture came (a tab page left and chosen
    // again, a node closed and opened): the open request brings it.
    if (pending_.holdsPictureFor(target.get())) return;
    // Some ids are always left for the pages.
    if (pending_.size() >= kMaxPictureRequests) return;
    if (!pictureFlag_) pictureFlag_ = makeCancelFlag();
    RequestRecord record = newPictureRequest(url, pictureFlag_);
    record.targetScreenId = screenId;
    record.pictureTarget = target;
    pictureIds_.add(record.requestId);
    if (!session->sendRequest(record)) pictureIds_.remove(record.requestId);
}

void PageRequests::releasePictures(PageEntry& left) {
    if (left.screen) {
        for (Item* control : left.screen->controlList()) {
            if (auto* picture = dynamic_cast<ImageItem*>(control)) picture->releasePicture();
        }
    }
    auto screen = linkPictures_.find(left.screenId);
    if (screen == linkPictures_.end()) return;
    // The pictures kept from a page it reloaded go too.
    for (auto& [id, picture] : screen->second.open) {
        if (!picture.image) continue;
        picture.image.reset();
        picture.done(nullptr);
    }
    std::vector<LinkPicture> arrived = std::move(screen->second.arrived);
    screen->second.arrived.clear();
    for (LinkPicture& picture : arrived) {
        picture.image.reset();
        picture.done(nullptr);
        screen->second.released.push_back(std::move(picture));
    }
}

void PageRequests::leavePictures() {
    leaveLinkPictures();
    const int shown = controller_.currentScreenId();
    if (shown == pictureScreenId_ && pictureScreenId_ != -1) return;
    // A request that a reload handed over to an item of the shown page
    // brings the picture there. The others' replies are dropped; their
    // exchanges, running or queued, end now. The shared flag goes up before
    // any exchange ends, or a thread freed by one would send a queued one.
    const std::set<int> ids = pictureIds_.ids();
    std::vector<int> dropped;
    for (int id : ids) {
        const std::optional<RequestRecord> record = pending_.find(id);
        if (!record || !pictureTargetShown(controller_, record->pictureTarget.get())) {
            dropped.push_back(id);
        }
    }
    const bool handedOver = dropped.size() < ids.size();
    if (!handedOver) {
        if (pictureFlag_) pictureFlag_->store(1);
        pictureFlag_.reset();
        pictureScreenId_ = -1;
    } else {
        pictureScreenId_ = shown;
    }
    HttpSession* session = liveSession_.load();
    for (int id : dropped) {
        pending_.remove(id);
        pictureIds_.remove(id);
        if (session) session->cancelExchange(id);
    }
}

bool pictureTargetShown(const PageController& controller, const PictureTarget* target) {
    const Item* item = target ? target->item : nullptr;
    const Screen* shown = controller.currentScreen();
    return item && shown && item->getScreen() == static_cast<const ItemScreen*>(shown);
}

}  // namespace zq
