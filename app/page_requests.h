// PageRequests: the life of the page controller's requests. It owns the
// session and the bookkeeping between the screens and the session (request
// ids, cancel flags, the ids in flight, the synchronous fetches a page build
// waits on), fetches remote pictures, and takes the session's replies:
// decoded and settled on the session's threads, then posted to the
// controller on the UI thread.
//
// Threads: the session, the synchronous fetches and the picture fetches are
// started on the UI thread. The request counter, the cancel flags and the
// ids in flight are any thread; network threads touch only those and the
// session's reply slots, and post the rest.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "net/request_session.h"
#include "platform/cstring.h"
#include "platform/image.h"

namespace zq {

class DeviceServices;
class PageController;
struct PageEntry;
struct PictureTarget;

// Request id -> cancel flag of every request the controller started. Any
// thread.
class CancelFlagTable {
public:
    // A new live flag stored under `requestId` (replacing an older one).
    CancelFlag add(int requestId);
    CancelFlag find(int requestId) const;
    // Sets the flag under `requestId` to 1; false without one.
    bool cancel(int requestId);
    void remove(int requestId);
    size_t size() const;

private:
    mutable std::mutex mutex_;
    std::map<int, CancelFlag> flags_;
};

// A set of request ids behind its own lock (the ids in flight, which a
// screen empties when it is hidden). Any thread.
class RequestIdSet {
public:
    void add(int requestId);
    // True when the id was there.
    bool remove(int requestId);
    bool contains(int requestId) const;
    void clear();
    size_t size() const;
    std::set<int> ids() const;

private:
    mutable std::mutex mutex_;
    std::set<int> ids_;
};

// The pixels of the decoded remote pictures the client holds: a picture
// counts while any copy of it lives (on an item, or on its way to one), and
// past kMaxPixels a new one is refused as a bad one would be. A page that
// leaves the screen lets go of its pictures, so the bound holds for every
// screen the client keeps. Any thread.
class PictureBudget {
public:
    static constexpr int64_t kMaxPixels = 32 * 1024 * 1024;
    // `image`, counted until its last copy goes; null when the budget has
    // not its pixels left (or for a null image).
    ImageRef charge(ImageRef image);
    // The pixels counted now.
    int64_t used() const { return used_->load(); }

private:
    // Shared with the pictures charged, which may outlive the budget.
    std::shared_ptr<std::atomic<int64_t>> used_ = std::make_shared<std::atomic<int64_t>>(0);
};

// Whether the picture asked for `target` goes to an item of the shown
// screen: else it goes nowhere. UI thread.
bool pictureTargetShown(const PageController& controller, const PictureTarget* target);

// Whether a request's target carries the request parameters (the "system."
// values, "pageid" and "screenid"), or is sent as given.
enum class RequestParams { Added, None };

class PageRequests {
public:
    // Said when a request that carries what the user sent got no reply in
    // time: it reached the server or not, so sending it again could act twice.
    static constexpr const char16_t* kOutcomeUnknownText =
        u"网络超时，提交结果未知。请先查询确认结果，切勿重复提交！";
    // Submissions kept for a late reply at most.
    static constexpr size_t kMaxLateSubmissions = 8;

    explicit PageRequests(PageController& controller);
    // Cancels the picture fetches and ends the session; the controller
    // calls shutDown first, while its screens are gone but its state stands.
    ~PageRequests();
    PageRequests(const PageRequests&) = delete;
    PageRequests& operator=(const PageRequests&) = delete;

    // --- the session ---------------------------------------------------------
    // A session that records its requests in pendingTable() and reports
    // to this reply path; `device` as for HttpSession.
    std::unique_ptr<HttpSession> makeSession(DeviceServices* device = nullptr);
    HttpSession* session() const { return session_.get(); }
    // Ends the old session (its threads joined) before the new one starts.
    void setSession(std::unique_ptr<HttpSession> session);
    // Cancels and joins the picture fetches, then ends the session.
    void shutDown();
    // Ends the session; replies still on their way are dropped.
    void dropSession();
    // The requests sent and not yet settled. Any thread.
    PendingRequestTable& pendingTable() { return pending_; }
    // Milliseconds a request waits for its reply, passed on to the session.
    uint32_t replyWaitMs() const { return replyWaitMs_; }
    void setReplyWaitMs(uint32_t ms);
    // Seconds a synchronous fetch waits ("cli-timeout"); 0 means the
    // session's default reply wait.
    void setWaitSeconds(int seconds) { waitSeconds_.store(seconds); }

    // --- request bookkeeping, any thread ---------------------------------------
    RequestIdCounter& requestCounter() { return requestCounter_; }
    const RequestIdCounter& requestCounter() const { return requestCounter_; }
    CancelFlagTable& cancelFlags() { return cancelFlags_; }
    RequestIdSet& pendingRequestIds() { return pendingIds_; }
    // Every request record starts here: the next id, its cancel flag listed
    // under it, `url` (resolved) kept as the link and sent with the
    // parameters of that very id. UI thread.
    RequestRecord newRequest(const CString& url, RequestParams params = RequestParams::Added);

    // --- fetches -----------------------------------------------------------------
    // Sends `record` (from newRequest) and waits for its reply text: nullopt
    // when none came within the wait; its cancel flag is gone after. On the
    // UI thread the wait runs a nested UI loop, so that the screen keeps
    // painting and the cancel key works; on another thread (the first page
    // of start-up) it sleeps in short slices. A cancel (cancelRequest,
    // cancelFetch), a quit or a new session ends it. Any thread.
    // A file fetch (FetchFor::File) takes only what can be a file's bytes:
    // a page reply of the text kinds, or data no listener took; a page to
    // be shown at once or a kind the client ignores is its failure.
    enum class FetchFor { Anything, File };
    std::optional<std::string> fetchAndWait(RequestRecord record,
                                            FetchFor fetchFor = FetchFor::Anything);
    // Ends the wait of the fetch for `requestId` soon. Any thread.
    void cancelFetch(int requestId);
    // Whether a page build may still fetch: a session is there and the
    // build was not cancelled.
    bool mayFetch() const;
    // The page being built was cancelled. UI thread.
    bool buildCancelled() const { return isCancelled(buildFlag_); }
    // The build of a page for a request whose cancel flag ends the build's
    // synchronous fetches; returns the flag of the build it interrupts,
    // which the caller puts back when its build ends. UI thread.
    CancelFlag swapBuildFlag(CancelFlag flag);
    // Fetched and decoded on a picture thread (a few at most) for the page
    // being built, else the shown one, and charged to the picture budget;
    // `done` runs on the UI thread (null: no picture), and never once the
    // session is replaced or the controller goes. Leaving that page ends
    // the fetch, queued or running, and lets go of the picture that came
    // (done(null)); it is fetched again when the page is shown again.
    void fetchPicture(const CString& url, std::function<void(ImageRef)> done);
    // Picture fetches queued or running. Any thread.
    int picturesInFlight() const { return picturesInFlight_.load(); }
    // Sends the request for a shown item's picture, for the shown screen;
    // only picture data answers it, and only `target` gets it, while that
    // screen is shown. A failure stays silent. Over the framed connection
    // (it serves one server) a picture of another host or port is fetched
    // over HTTP from that host; the same holds for fetchPicture. A target
    // whose request is still open is not asked for again. UI thread.
    void requestPicture(const CString& address, const std::shared_ptr<PictureTarget>& target);
    // The shown screen changed: the pictures asked for another are
    // cancelled, their exchanges closed and their replies dropped; those a
    // reload handed over to the shown page's items go on. UI thread.
    void leavePictures();
    // The page of `reloadedScreenId` reloads the one of `leftScreenId`: its
    // image links show the pictures the left one's showed until their new
    // copies come, and a fetch of the left one still on its way brings its
    // picture to them instead of a fetch of their own. UI thread.
    void keepLinkPictures(int leftScreenId, int reloadedScreenId);
    // `left` left the screen: its items let go of their remote pictures,
    // which are asked for again when it is shown again. UI thread.
    void releasePictures(PageEntry& left);
    // The pixels of the remote pictures held now.
    int64_t picturePixels() const { return pictureBudget_.used(); }

    // --- the reply path ----------------------------------------------------------
    // Session thread: decodes, settles the request and posts pages to the UI
    // thread. False for a bad payload or an unknown request id. A reply with
    // id 0 settles `carrierId` (the HTTP exchange that brought it); a page
    // with id 0 on the framed connection settles the oldest request there.
    bool onData(std::span<const uint8_t> message, int carrierId = kNoCarrier);
    // The user hears of it when the shown screen waited for it. A framed
    // submission stays known, so that a late reply on the connection is still
    // shown while the screen that sent it is and no other page was asked for.
    void onFailure(const RequestRecord& request);
    // Sends the request again under a new id; a submission is never sent
    // again and fails instead.
    void onRetry(const RequestRecord& request);
    // The user asked for a page: a late submission reply that comes after
    // it is dropped, so that the page asked for is the one shown.
    void dropLateSubmissions() { lateSubmissions_.cancelAll(); }
    // The load in progress is cancelled: the newest request, the one the
    // shown screen loads for and every synchronous fetch its page build waits
    // on. Their late replies are dropped. True when a submission that had
    // left was among them: the server may act on it. UI thread.
    bool cancelRequest();
    // Hands the reply of a synchronous fetch (nullopt: it failed) to the
    // fetch waiting for `requestId`; false when none waits.
    bool storeSyncReply(int requestId, std::optional<std::vector<uint8_t>> bytes);

private:
    struct ReplyListener : SessionListener {
        explicit ReplyListener(PageRequests& owner) : requests(owner) {}
        bool onData(std::span<const uint8_t> data, int carrierId) override {
            return requests.onData(data, carrierId);
        }
        void onFailure(const RequestRecord& r) override { requests.onFailure(r); }
        void onRetry(const RequestRecord& r) override { requests.onRetry(r); }
        PageRequests& requests;
    };
    uint32_t fetchWaitMs() const;
    // The next request id no request still open holds. Any thread.
    int freeRequestId();
    // False for a picture the framed connection cannot fetch without leaving
    // the shown page's server.
    bool reachesPageServer(const CString& url) const;
    RequestRecord newPictureRequest(const CString& url, const CancelFlag& screenFlag);
    // Image-link fetches by the screen of the page that asked for them (UI
    // thread): the flag they share, which leaving the screen raises, and
    // those not answered yet by request id.
    struct LinkPicture {
        CString url;
        std::function<void(ImageRef)> done;
        // The fetch while it is open; the picture once it came, or the one
        // a reload keeps shown until then.
        std::shared_ptr<HttpCancel> fetch;
        ImageRef image;
    };
    // Those that came are kept to be let go of when the screen is left;
    // those let go of are fetched again when it is shown again.
    struct ScreenLinkPictures {
        CancelFlag flag;
        // The flags of the fetches taken over from the pages it reloaded.
        std::vector<CancelFlag> adopted;
        std::map<int, LinkPicture> open;
        std::vector<LinkPicture> arrived;
        std::vector<LinkPicture> released;
    };
    void startLinkPicture(int screenId, LinkPicture picture);
    void linkPictureDone(uint64_t generation, int screenId, int requestId, const CancelFlag& flag,
                         ImageRef image);
    // Ends the fetches of the screens not shown; those of a page that went
    // are forgotten, the shown one's stopped ones start again.
    void leaveLinkPictures();
    bool screenKept(int screenId) const;

    PageController& controller_;
    RequestIdCounter requestCounter_;
    CancelFlagTable cancelFlags_;
    RequestIdSet pendingIds_;
    std::atomic<int> waitSeconds_{0};
    uint32_t replyWaitMs_ = kDefaultReplyWaitMs;
    // The session as network threads see it; null while it is replaced.
    std::atomic<HttpSession*> liveSession_{nullptr};
    // The cancel flag of the page being built (UI thread), and the ids of
    // the synchronous fetches waiting now (any thread).
    CancelFlag buildFlag_;
    RequestIdSet syncFetches_;
    // Declared before the session, so that they outlive the session's threads.
    PendingRequestTable pending_;
    // Framed submissions past their reply wait, whose reply may still come.
    PendingRequestTable lateSubmissions_;
    ReplyListener replyListener_{*this};
    // Shared only with a synchronous fetch that waits, in which the session
    // may be replaced. Written on the UI thread under sessionMutex_, which a
    // fetch off the UI thread takes to read it.
    mutable std::mutex sessionMutex_;
    std::shared_ptr<HttpSession> session_;
    // Picture fetches: cancelled when the session goes, joined before it.
    // The generation counts sessions (UI thread).
    std::unique_ptr<HttpRequestRunner> pictureFetches_;
    std::atomic<int> picturesInFlight_{0};
    uint64_t sessionGeneration_ = 0;
    std::map<int, ScreenLinkPictures> linkPictures_;
    // The shown screen's picture requests: their screen, the flag they
    // share (UI thread) and their ids while in flight (any thread).
    int pictureScreenId_ = -1;
    CancelFlag pictureFlag_;
    RequestIdSet pictureIds_;
    // File fetches in flight (any thread).
    RequestIdSet fileFetchIds_;
    PictureBudget pictureBudget_;
};

}  // namespace zq
