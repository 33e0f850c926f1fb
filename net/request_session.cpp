#include "net/request_session.h"

#include <algorithm>
#include <utility>

#include "net/framed_socket.h"
#include "platform/clock.h"
#include "platform/device_services.h"
#include "platform/socket.h"

namespace zq {

namespace {

constexpr uint32_t kReceiveIdleMs = 100;
// The longest a waiting caller's pump is asked to run before the reply is
// looked at again.
constexpr uint32_t kPumpSliceMs = 20;

// The worker whose body runs on this thread, so that it never joins itself.
thread_local const void* tCurrentWorker = nullptr;

bool isWapPage(const std::string& contentType) {
    return contentType.find("vnd.wap.wml") != std::string::npos;
}

// The host of `url` taken as the "gateway": the exchange goes straight to it.
HttpGateway hostOf(const CString& url) {
    CString host, port, path;
    splitHttpTarget(url, host, port, path);
    HttpGateway gateway;
    gateway.address = host.toUtf8();
    gateway.port = port.isEmpty() ? kDefaultHttpPort : port.toInt();
    return gateway;
}

}  // namespace

struct HttpSession::Worker {
    WorkerThread thread;
    std::atomic<bool> done{false};
};

HttpSession::HttpSession(SessionListener* listener, PendingRequestTable& table,
                         DeviceServices* device)
    : table_(table), device_(device), listener_(listener) {}

HttpSession::~HttpSession() {
    stopping_.store(true);
    httpRunner_.cancelAll();
    pictureRunner_.cancelAll();
    closeConnection();
    stopWorker();
    // The runners, the last members, are destroyed first: they join the
    // exchanges while everything they settle with is still there.
}

void HttpSession::setGateway(const HttpGatewayConfig& config, const CString& carrierName) {
    std::lock_guard<std::mutex> lock(gatewayMutex_);
    gatewayConfig_ = config;
    carrierName_ = carrierName;
}

HttpGateway HttpSession::gateway() const {
    std::lock_guard<std::mutex> lock(gatewayMutex_);
    return gatewayForCarrier(carrierName_, gatewayConfig_);
}

bool HttpSession::sendRequest(RequestRecord request) {
    return send(request) != SendOutcome::Failed;
}

HttpSession::SendOutcome HttpSession::send(RequestRecord& request) {
    if (request.cancelled() || stopping_.load()) return SendOutcome::Skipped;
    const int type = connectionType_.load();
    if (!isFramedConnection(type) && !isHttpConnection(type)) return SendOutcome::Skipped;
    if (device_ && !device_->dataConnectionUp()) {
        closeConnection();
        if (!device_->dialDataConnection()) {
            errors_.setError(kSessionErrorNoConnection, kNetworkFailureText);
            return SendOutcome::Failed;
        }
    }
    return isHttpConnection(type) || request.directHttp ? sendHttp(request) : sendFramed(request);
}

// --- framed transport ------------------------------------------------------------

HttpSession::SendOutcome HttpSession::sendFramed(RequestRecord& request) {
    std::lock_guard<std::mutex> sending(sendMutex_);
    std::shared_ptr<FramedSocket> connection = openUrl(request.url);
    if (!connection) {
        errors_.setError(kSessionErrorOpen, kNetworkFailureText);
        return SendOutcome::Failed;
    }
    ensureReceiver();
    const std::string narrow = request.url.toCodePage(kCodePageDefault);
    // Recorded first: the reply may arrive before sendAll returns.
    request.route = RequestRoute::Framed;
    request.tick = tickCount();
    table_.insert(request);
    syncReplies_.markSent(request.requestId);
    bytesSent_.fetch_add(narrow.size());
    // A lost send surfaces as a time-out of the recorded request.
    connection->sendAll(narrow);
    return SendOutcome::Recorded;
}

std::shared_ptr<FramedSocket> HttpSession::openUrl(const CString& url) {
    CString host, port, path;
    splitHttpUrl(url, host, port, path);
    {
        std::lock_guard<std::mutex> lock(connectionMutex_);
        const bool changed = !host.equalsNoCase(lastHost_) || !port.equalsNoCase(lastPort_);
        lastHost_ = host;
        lastPort_ = port;
        if (!closed_ && !changed && connection_ && connection_->isConnected()) return connection_;
    }
    // A fresh object for every connection: the receive worker may still be
    // reading the old one, which close() ends safely from here.
    auto fresh = std::make_shared<FramedSocket>();
    const bool ok = fresh->create() && fresh->connect(host.toUtf8(), port.toInt());
    std::shared_ptr<FramedSocket> old;
    {
        std::lock_guard<std::mutex> lock(connectionMutex_);
        old = std::exchange(connection_, ok ? fresh : nullptr);
        closed_ = !ok;
    }
    if (old) old->close();
    if (!ok) fresh->close();
    return ok ? fresh : nullptr;
}

std::shared_ptr<FramedSocket> HttpSession::currentConnection() const {
    std::lock_guard<std::mutex> lock(connectionMutex_);
    return connection_;
}

void HttpSession::closeConnection() {
    std::shared_ptr<FramedSocket> old;
    {
        std::lock_guard<std::mutex> lock(connectionMutex_);
        old = std::exchange(connection_, nullptr);
        closed_ = true;
    }
    if (old) old->close();
    failureCount_.store(0);
}

void HttpSession::ensureReceiver() {
    std::lock_guard<std::mutex> lock(receiverMutex_);
    if (receiver_ && !receiver_->done.load()) return;
    receiver_.reset();  // an ended worker joins at once
    auto worker = std::make_unique<Worker>();
    Worker* self = worker.get();
    self->thread.start([this, self](const StopSignal& stop) {
        tCurrentWorker = self;
        receiveLoop(stop);
        self->done.store(true);
    });
    receiver_ = std::move(worker);
}

void HttpSession::stopWorker() {
    std::unique_ptr<Worker> worker;
    {
        std::lock_guard<std::mutex> lock(receiverMutex_);
        if (!receiver_) return;
        if (tCurrentWorker == receiver_.get()) {
            // Asked from a listener on the worker itself: it ends after the call.
            receiver_->thread.requestStop();
            return;
        }
        worker = std::move(receiver_);
    }
    worker->thread.join();
}

void HttpSession::receiveLoop(const StopSignal& stop) {
    std::vector<uint8_t> body;
    while (!stop.requested()) {
        bool gotFrame = false;
        std::shared_ptr<FramedSocket> connection = currentConnection();
        if (connection && connection->isConnected() &&
            connection->receiveFrame(body, &stop.flag()) == FrameRead::Frame) {
            deliver(body);
            gotFrame = true;
        }
        checkTimeouts();
        if (!gotFrame && stop.waitFor(kReceiveIdleMs)) break;
    }
}

bool HttpSession::deliver(std::span<const uint8_t> data) {
    const PendingRequestTable::InHand inHand(table_);
    bytesReceived_.fetch_add(data.size());
    SessionListener* listener = listener_.load();
    if (!listener) return false;
    failureCount_.store(0);
    timedOut_.store(false);
    const bool used = listener->onData(data, kNoCarrier);
    if (!used) errors_.setError(kSessionErrorNoConnection, kNetworkFailureText);
    return used;
}

void HttpSession::checkTimeouts() {
    const PendingRequestTable::InHand inHand(table_);
    std::optional<RequestRecord> expired =
        table_.takeExpired(RequestRoute::Framed, tickCount(), replyWaitMs_.load());
    if (!expired) return;
    // A picture's time-out is that picture's failure alone: the connection
    // and the pages waiting on it stay.
    if (expired->picture) {
        settlePicture(*expired);
        return;
    }
    if (expired->cancelled() || (!expired->retried && listener_.load())) {
        settle(*expired, true);
        return;
    }
    settle(*expired, false);
    // The connection is taken for lost: every other framed request fails too.
    for (const RequestRecord& other : table_.takeAll(RequestRoute::Framed)) settle(other, false);
}

// Hands a record already taken from the table to the listener; a cancelled
// one is dropped quietly.
void HttpSession::settle(const RequestRecord& request, bool mayRetry) {
    SessionListener* listener = listener_.load();
    if (request.cancelled()) {
        syncReplies_.fail(request.requestId);
        return;
    }
    if (mayRetry && listener) {
        listener->onRetry(request);
        return;
    }
    syncReplies_.fail(request.requestId);
    failureCount_.fetch_add(1);
    timedOut_.store(true);
    if (listener) listener->onFailure(request);
}

void HttpSession::settlePicture(const RequestRecord& request) {
    syncReplies_.fail(request.requestId);
    SessionListener* listener = listener_.load();
    if (listener && !request.cancelled()) listener->onFailure(request);
}

// --- HTTP transport ---------------------------------------------------------------

HttpSession::SendOutcome HttpSession::sendHttp(RequestRecord& request) {
    request.route = RequestRoute::Http;
    request.tick = tickCount();
    table_.insert(request);
    const int id = request.requestId;
    // The token is in the map before the job can end and take it out.
    std::lock_guard<std::mutex> lock(httpTokensMutex_);
    HttpRequestRunner& runner = request.picture ? pictureRunner_ : httpRunner_;
    httpTokens_[id] = runner.submit([this, request, id](HttpCancel& cancel) {
        syncReplies_.markSent(id);
        runHttpRequest(request, cancel);
        std::lock_guard<std::mutex> done(httpTokensMutex_);
        // Ids wrap: only this exchange's own token leaves.
        if (auto it = httpTokens_.find(id);
            it != httpTokens_.end() && it->second.get() == &cancel) {
            httpTokens_.erase(it);
        }
    });
    return SendOutcome::Recorded;
}

void HttpSession::cancelExchange(int requestId) {
    std::shared_ptr<HttpCancel> token;
    {
        std::lock_guard<std::mutex> lock(httpTokensMutex_);
        if (auto it = httpTokens_.find(requestId); it != httpTokens_.end()) token = it->second;
    }
    if (token) token->cancel();
}

void HttpSession::runHttpRequest(const RequestRecord& request, HttpCancel& cancel) {
    const PendingRequestTable::InHand inHand(table_);
    // Cancelled while it waited for a thread: dropped without a connection.
    if (request.cancelled()) {
        if (std::optional<RequestRecord> taken = table_.take(request.requestId)) {
            settle(*taken, false);
        }
        return;
    }
    const HttpGateway gateway = request.directHttp ? hostOf(request.url) : this->gateway();
    bool sent = false;
    auto exchange = [&](HttpExchangeResult& result) {
        const bool ok =
            httpExchange(request.url, gateway, replyWaitMs_.load(), result, cancel) != 0;
        sent = sent || result.bytesSent > 0;
        bytesSent_.fetch_add(result.bytesSent);
        bytesReceived_.fetch_add(result.bytesReceived);
        if (result.errorCode != 0) errors_.setError(result.errorCode, kNetworkFailureText);
        return ok;
    };
    HttpExchangeResult result;
    bool ok = exchange(result);
    // The gateway answered with a page of its own: ask once more, but never
    // for a submission, which the server may have had.
    if (ok && isWapPage(result.contentType) && request.submission) {
        if (std::optional<RequestRecord> taken = table_.take(request.requestId)) {
            settle(*taken, false);
        }
        return;
    }
    if (ok && isWapPage(result.contentType)) {
        result = HttpExchangeResult();
        ok = exchange(result);
        if (!ok && !request.retried) {
            if (std::optional<RequestRecord> taken = table_.take(request.requestId)) {
                settle(*taken, true);
            }
            return;
        }
    }
    if (ok) {
        if (std::optional<RequestRecord> live = table_.find(request.requestId);
            live && live->cancelled()) {
            if (std::optional<RequestRecord> taken = table_.take(request.requestId)) {
                settle(*taken, false);
            }
            return;
        }
        if (SessionListener* listener = listener_.load()) {
            failureCount_.store(0);
            timedOut_.store(false);
            if (listener->onData(result.body, request.requestId)) {
                // The reply answered another request: this one got none.
                if (std::optional<RequestRecord> left = table_.take(request.requestId)) {
                    settle(*left, false);
                }
                return;
            }
        }
    }
    // Unless the listener settled it, the request failed. One that never
    // left cannot have been acted on.
    if (std::optional<RequestRecord> taken = table_.take(request.requestId)) {
        if (!sent) taken->submission = false;
        settle(*taken, false);
    }
}

// --- synchronous fetch and counters ------------------------------------------------

std::optional<std::vector<uint8_t>> HttpSession::fetchAndWait(RequestRecord request,
                                                              uint32_t waitMs,
                                                              const WaitPump& pump) {
    const int id = request.requestId;
    {
        // The receive worker cannot wait for a frame only it would read.
        std::lock_guard<std::mutex> lock(receiverMutex_);
        if (receiver_ && tCurrentWorker == receiver_.get()) return std::nullopt;
    }
    request.synchronous = true;
    request.retried = true;  // no resend: the caller waits only so long
    syncReplies_.arm(id);
    if (send(request) != SendOutcome::Recorded) {
        syncReplies_.disarm(id);
        return std::nullopt;
    }
    std::optional<std::vector<uint8_t>> reply;
    if (pump) {
        Deadline deadline = Deadline::in(waitMs);
        bool going = true;
        while (going && !syncReplies_.isSettled(id)) {
            // Still queued behind other pictures: its wait has not begun.
            if (request.picture && !syncReplies_.isSent(id)) deadline = Deadline::in(waitMs);
            const uint32_t left = deadline.remainingMs();
            if (left == 0) break;
            going = pump(std::min(left, kPumpSliceMs));
        }
        reply = syncReplies_.wait(id, 0);
    } else {
        reply = syncReplies_.wait(id, waitMs);
    }
    table_.remove(id);  // after a time-out no late failure is reported
    // A wait that ended without the reply frees its exchange's thread now.
    if (!reply) cancelExchange(id);
    return reply;
}

TrafficBytes HttpSession::trafficBytes() const {
    return {static_cast<float>(bytesSent_.load()), static_cast<float>(bytesReceived_.load())};
}

void HttpSession::resetTrafficBytes() {
    bytesSent_.store(0);
    bytesReceived_.store(0);
}

}  // namespace zq
