// The request session: the one road from the page controller to the page
// servers and back.
//
// HttpSession makes sure the data connection is up, sends each request over
// the transport of the connection type (framed TCP, or one HTTP exchange
// through the carrier's WAP gateway per request), records it in the
// PendingRequestTable before a byte leaves, and reports to its
// SessionListener.
//
// Settling rule: a request is settled by whoever takes its record out of the
// table, and only by them, so each request is settled exactly once:
// - the reply handler takes it when a reply names its id (reply head bytes
//   1-2); a reply with id 0 ends the request whose HTTP exchange carried it,
//   and a page with id 0 on the framed connection the oldest one there;
// - an HTTP exchange whose reply settled another request ends its own
//   request as failed;
// - the session takes it when the request failed or timed out, then calls
//   onRetry (first attempt) or onFailure; a cancelled record is taken and
//   dropped without a call; a picture's time-out is only its onFailure;
// - a canceller takes it to drop a late reply.
// Every reply body reaches onData exactly once.
//
// Synchronous fetches (a page build that needs a style sheet, a command
// document or an image) wait on a slot of SyncReplySlots armed before the
// request goes out; the reply handler fills it on the receiving thread when
// the record it took is marked synchronous. A slot whose wait has ended is
// gone, so a late reply finds no slot and is freed.
//
// Threads: sendRequest and fetchAndWait may be called from any thread,
// listener calls included. Listener calls come on the session's receive
// worker (framed) or on one of the HTTP request threads (a few at most), never
// with a lock of the session or the table held; listeners must not wait on
// the UI thread (post to it instead).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/zq_exception.h"
#include "net/connection_type.h"
#include "net/http_socket.h"
#include "platform/cstring.h"
#include "platform/threading.h"

namespace zq {

class DeviceServices;
class FramedSocket;
struct PictureTarget;

// A request's cancel flag, shared by the requester's flag map and the record:
// 0 live, 1 cancelled. Any thread.
using CancelFlag = std::shared_ptr<std::atomic<int>>;
inline CancelFlag makeCancelFlag() { return std::make_shared<std::atomic<int>>(0); }
// A null flag counts as live.
inline bool isCancelled(const CancelFlag& flag) { return flag && flag->load() == 1; }

// Request ids: the reply head carries them in 16 bits, so they run 1..32767
// and then start again at 1. Any thread.
class RequestIdCounter {
public:
    static constexpr int kMaxRequestId = 32767;

    // The next id; the first is 1.
    int next();
    // The next id for which `taken` is false: one a live request holds
    // would settle the wrong request. When every id is taken, the next.
    int next(const std::function<bool(int)>& taken);
    // The id handed out last, 0 before the first.
    int current() const { return value_.load(); }

private:
    std::atomic<int> value_{0};
};

enum class RequestRoute { None, Framed, Http };

// One request, copied by value into the table.
struct RequestRecord {
    CString url;              // "http://host:port/path?query"
    int targetScreenId = -1;  // -1: any screen
    bool replace = false;     // the page replaces the shown one
    CancelFlag cancelFlag;    // null: never cancelled
    CString link;             // the address as the page asked for it, without
                              // request parameters; empty: url
    int requestId = -1;
    uint32_t tick = 0;     // tickCount() when recorded
    bool retried = false;  // a resend: no second retry
    // Carries what the user sent (a form's values, a confirmed action): the
    // server may act on it, so it is never sent a second time.
    bool submission = false;
    bool synchronous = false;                 // a fetchAndWait request
    RequestRoute route = RequestRoute::None;  // set by the session
    // A picture: only picture data answers it, and it never waits behind
    // the pages or holds up one. Its picture goes to `pictureTarget` (null
    // for a synchronous fetch).
    bool picture = false;
    std::shared_ptr<PictureTarget> pictureTarget;
    // Fetched with a GET straight from its own host, also on a framed
    // session (a picture of another server).
    bool directHttp = false;

    bool cancelled() const { return isCancelled(cancelFlag); }
};

// Pending requests by id, in ascending id order, behind one mutex. Any
// thread; never call it from inside a function passed to it (there is none).
class PendingRequestTable {
public:
    // Keeps an existing record of the same id. True when inserted.
    bool insert(const RequestRecord& record);
    // Copies the record out and removes it.
    std::optional<RequestRecord> take(int requestId);
    std::optional<RequestRecord> find(int requestId) const;
    bool contains(int requestId) const;
    bool remove(int requestId);
    void clear();
    size_t size() const;
    // Whether a picture request for `target` waits for its reply; one probe
    // of an index, however many records wait.
    bool holdsPictureFor(const PictureTarget* target) const;
    // Records looked at by holdsPictureFor, all calls together: what tests
    // bound a page's picture requests by.
    uint64_t pictureLookupSteps() const { return pictureLookupSteps_.load(); }
    // No record waits and none is in hand: what an idle probe asks.
    bool idle() const { return size() == 0 && inHand_.load() == 0; }

    // While one lives, a record taken out is still being handed on (its
    // outcome not yet posted): a probe must not see the gap as idle.
    class InHand {
    public:
        explicit InHand(PendingRequestTable& table) : table_(table) { table_.inHand_.fetch_add(1); }
        ~InHand() { table_.inHand_.fetch_sub(1); }
        InHand(const InHand&) = delete;
        InHand& operator=(const InHand&) = delete;

    private:
        PendingRequestTable& table_;
    };
    // Takes the record of lowest id on `route` that is older than `waitMs`
    // at `now`, if any. Asked after every reply: until the oldest record it
    // found can expire, it answers without a walk.
    std::optional<RequestRecord> takeExpired(RequestRoute route, uint32_t now, uint32_t waitMs);
    // Takes every record on `route`, in id order.
    std::vector<RequestRecord> takeAll(RequestRoute route);
    // Cancels every record; they stay, so that their replies are still
    // known when they come, and dropped.
    void cancelAll();
    // Takes the longest-waiting record on `route` that is not a synchronous
    // fetch, if any.
    std::optional<RequestRecord> takeOldest(RequestRoute route);

private:
    // Under mutex_: keep the picture index in step with records_.
    void indexed(const RequestRecord& record);
    void unindexed(const RequestRecord& record);

    mutable std::mutex mutex_;
    std::map<int, RequestRecord> records_;
    // Picture target -> its records waiting.
    std::unordered_map<const PictureTarget*, int> pictureTargets_;
    mutable std::atomic<uint64_t> pictureLookupSteps_{0};
    // No record on `route` expires with `waitMs` before `tick`, as the last
    // walk found; an insert of an older record ends it.
    struct Quiet {
        RequestRoute route;
        uint32_t waitMs;
        uint32_t tick;
    };
    std::optional<Quiet> quiet_;
    std::atomic<int> inHand_{0};
};

// Reply slots of synchronous fetches, keyed by request id. Any thread.
class SyncReplySlots {
public:
    // Arms the slot before the request is sent.
    void arm(int requestId);
    bool isArmed(int requestId) const;
    // The request of an armed slot has left the queue it waited in.
    void markSent(int requestId);
    // False only while an armed slot's request still waits to be sent.
    bool isSent(int requestId) const;
    // True once the slot is filled or failed, or when none is armed.
    bool isSettled(int requestId) const;
    // Hands `data` to the waiting fetch. False (data dropped) when no slot
    // is armed for the id or it is filled already.
    bool fill(int requestId, std::vector<uint8_t> data);
    // Ends the wait without data.
    bool fail(int requestId);
    // Waits until the slot is filled or failed, at most `waitMs`, then
    // disarms it. The data, or nullopt after a failure, a time-out or for an
    // id that was never armed.
    std::optional<std::vector<uint8_t>> wait(int requestId, uint32_t waitMs);
    // Waits until the slot is settled, at most `waitMs`, leaving it armed;
    // returns isSettled.
    bool waitSettled(int requestId, uint32_t waitMs) const;
    void disarm(int requestId);

private:
    struct Slot {
        bool sent = false;
        bool done = false;
        bool hasData = false;
        std::vector<uint8_t> data;
    };
    mutable std::mutex mutex_;
    mutable std::condition_variable filled_;
    std::map<int, Slot> slots_;
};

// The carrier of a framed reply: the stream does not say which request it
// answers.
constexpr int kNoCarrier = -1;

class SessionListener {
public:
    virtual ~SessionListener() = default;
    // One reply body, valid only during the call. `carrierId` is the request
    // whose HTTP exchange brought it, kNoCarrier on the framed connection.
    // False when the listener could not use it.
    virtual bool onData(std::span<const uint8_t> data, int carrierId) = 0;
    // The request failed or timed out. Its record has left the table.
    virtual void onFailure(const RequestRecord& request) = 0;
    // The first attempt got no reply in time; the listener may send it again
    // under a new id with `retried` set. Its record has left the table.
    virtual void onRetry(const RequestRecord& request) = 0;
};

constexpr uint32_t kDefaultReplyWaitMs = 6000;
// HTTP exchanges of pictures running at once, beside those of the pages.
constexpr size_t kPictureHttpThreads = 2;
// Error codes of the session's holder (text kNetworkFailureText).
constexpr int kSessionErrorNoConnection = 1;  // dialling failed, or a reply was refused
constexpr int kSessionErrorOpen = 10;         // no framed connection to the host

struct TrafficBytes {
    float sent = 0;
    float received = 0;
};

class HttpSession {
public:
    // `listener` and `device` are borrowed and may be null (no device:
    // the data connection counts as up). Requests are recorded in `table`,
    // where the listener settles them; it must outlive the session.
    HttpSession(SessionListener* listener, PendingRequestTable& table,
                DeviceServices* device = nullptr);
    // Closes the connection and joins every worker.
    ~HttpSession();
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    void setListener(SessionListener* listener) { listener_.store(listener); }
    SessionListener* listener() const { return listener_.load(); }

    void setConnectionType(int type) { connectionType_.store(type); }
    void setConnectionType(ConnectionMode mode) { setConnectionType(connectionTypeNumber(mode)); }
    int connectionType() const { return connectionType_.load(); }
    // The time a request may wait for its reply; 0 keeps the default.
    void setReplyWaitMs(uint32_t ms) { replyWaitMs_.store(ms > 0 ? ms : kDefaultReplyWaitMs); }
    uint32_t replyWaitMs() const { return replyWaitMs_.load(); }
    // The gateway addresses and the carrier that picks one of them.
    void setGateway(const HttpGatewayConfig& config, const CString& carrierName);
    // The gateway the session's HTTP requests go through.
    HttpGateway gateway() const;

    // Records `request` and sends it. False (nothing recorded, the reason in
    // errors()) when there is no data connection or no framed connection to
    // the request's host. A `directHttp` request is one HTTP exchange with
    // its own host, whatever the connection type. A cancelled request, or
    // an unknown connection type, sends and records nothing and gives true.
    // A send that is lost after the request was recorded surfaces as a
    // time-out.
    bool sendRequest(RequestRecord request);

    // Sends `request` as a synchronous fetch and waits up to `waitMs` for
    // the reply handler to fill its slot. The reply text, or nullopt when
    // it failed, timed out or could not be sent; the record is gone from the
    // table either way.
    // Not on a listener call of the framed receive worker: it would wait
    // for itself (nullopt at once).
    // A picture's wait starts when it is sent, not while its exchange
    // waits for a thread behind other pictures.
    // With `pump`, the caller's thread does not sleep: pump(ms) is called
    // until the reply is in or the wait is over, and should return within
    // about `ms` milliseconds; it returns false to give up the wait (a
    // cancel). The UI thread passes its nested loop here.
    using WaitPump = std::function<bool(uint32_t ms)>;
    std::optional<std::vector<uint8_t>> fetchAndWait(RequestRecord request, uint32_t waitMs,
                                                     const WaitPump& pump = {});
    SyncReplySlots& syncReplies() { return syncReplies_; }

    // Closes the HTTP connection of request `requestId` at once, so that its
    // exchange ends and frees its thread; nothing when it has none.
    void cancelExchange(int requestId);

    // Drops the framed connection; the next request opens a new one.
    void closeConnection();
    // Stops the receive worker (joins it unless called on it); the next
    // framed request starts it again.
    void stopWorker();

    TrafficBytes trafficBytes() const;
    void resetTrafficBytes();
    // Set after a request failed or timed out, cleared by a delivery.
    bool timedOut() const { return timedOut_.load(); }
    ZQException& errors() { return errors_; }

private:
    struct Worker;
    enum class SendOutcome { Failed, Recorded, Skipped };

    SendOutcome send(RequestRecord& request);
    SendOutcome sendFramed(RequestRecord& request);
    SendOutcome sendHttp(RequestRecord& request);
    std::shared_ptr<FramedSocket> openUrl(const CString& url);
    std::shared_ptr<FramedSocket> currentConnection() const;
    void ensureReceiver();
    void receiveLoop(const StopSignal& stop);
    void checkTimeouts();
    void runHttpRequest(const RequestRecord& request, HttpCancel& cancel);
    bool deliver(std::span<const uint8_t> data);
    void settle(const RequestRecord& request, bool mayRetry);
    // A picture that failed: onFailure, never a resend and never a lost
    // connection.
    void settlePicture(const RequestRecord& request);

    ZQException errors_;
    PendingRequestTable& table_;
    DeviceServices* device_;
    SyncReplySlots syncReplies_;
    std::atomic<SessionListener*> listener_;
    std::atomic<int> connectionType_{connectionTypeNumber(ConnectionMode::Direct)};
    std::atomic<uint32_t> replyWaitMs_{kDefaultReplyWaitMs};
    std::atomic<uint64_t> bytesSent_{0};
    std::atomic<uint64_t> bytesReceived_{0};
    std::atomic<bool> timedOut_{false};
    std::atomic<int> failureCount_{0};

    mutable std::mutex gatewayMutex_;
    HttpGatewayConfig gatewayConfig_;
    CString carrierName_;

    // Framed sends (and the connection they open) one at a time.
    std::mutex sendMutex_;
    mutable std::mutex connectionMutex_;  // guards the four below
    std::shared_ptr<FramedSocket> connection_;
    CString lastHost_;
    CString lastPort_;
    bool closed_ = true;

    std::mutex receiverMutex_;
    std::unique_ptr<Worker> receiver_;  // the framed receive worker

    std::atomic<bool> stopping_{false};  // the destructor runs: send nothing more
    std::mutex httpTokensMutex_;         // taken before the runner's own lock, never after
    std::map<int, std::shared_ptr<HttpCancel>> httpTokens_;  // by request id, while running
    // Last: destroyed (cancelled and joined) before every member their jobs
    // use. Pictures have threads of their own, so that a page is never
    // queued behind them.
    HttpRequestRunner pictureRunner_{kPictureHttpThreads};
    HttpRequestRunner httpRunner_;
};

}  // namespace zq
