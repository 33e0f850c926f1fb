#include "tools/zq-testserver/page_server.h"

#include <algorithm>
#include <chrono>

#include "platform/files.h"
#include "platform/socket.h"
#include "tools/zq-testserver/server_exchange.h"

namespace zq::testserver {

namespace {

constexpr uint32_t kAcceptSliceMs = 100;
constexpr auto kRefuseApplyWait = std::chrono::seconds(2);

inline constexpr char kNotFoundPage[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<zqml><body><text>404 page not found</text></body></zqml>\n";

bool endsWith(const std::string& text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool isPicturePath(const std::string& path) {
    for (std::string_view suffix : {".png", ".gif", ".jpg", ".jpeg", ".bmp"}) {
        if (endsWith(path, suffix)) return true;
    }
    return false;
}

// The listener index of a picture reply: the request's "controlid", the
// position of the asking item in its screen's list. An index the client
// cannot have (no or a negative "controlid") reaches no item.
uint8_t pictureListenerIndex(const RequestTarget& target) {
    constexpr uint8_t kNoListener = 255;
    const std::optional<std::string> text = target.param("controlid");
    if (!text || text->empty() || text->size() > 3) return kNoListener;
    int value = 0;
    for (char c : *text) {
        if (c < '0' || c > '9') return kNoListener;
        value = value * 10 + (c - '0');
    }
    return value >= kNoListener ? kNoListener : static_cast<uint8_t>(value);
}

}  // namespace

struct PageServer::Connection {
    std::unique_ptr<TcpSocket> socket;
    std::thread thread;
    std::atomic<bool> done{false};
};

// The acceptor thread alone uses `socket` once serving has started;
// `listening` is guarded by the server's mutex.
struct PageServer::Listener {
    Transport transport = Transport::Framed;
    uint16_t port = 0;
    TcpSocket socket;
    std::thread thread;
    bool listening = false;
};

PageServer::PageServer(ServerOptions options)
    : options_(std::move(options)), packing_(options_.packing) {}

PageServer::~PageServer() { stop(); }

bool PageServer::start(std::string* error) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!listeners_.empty() || stopping_) {
        if (error) *error = "already started";
        return false;
    }
    const std::pair<Transport, uint16_t> wanted[] = {{Transport::Framed, options_.framedPort},
                                                     {Transport::Gateway, options_.gatewayPort}};
    std::vector<std::unique_ptr<Listener>> made;
    for (const auto& [transport, port] : wanted) {
        auto listener = std::make_unique<Listener>();
        listener->transport = transport;
        if (const int err = listener->socket.listenLoopback(port); err != 0) {
            if (error)
                *error = "cannot listen on port " + std::to_string(port) + ": errno " +
                         std::to_string(err);
            return false;
        }
        listener->port = listener->socket.localPort();
        listener->listening = true;
        made.push_back(std::move(listener));
    }
    framedPort_ = made[0]->port;
    gatewayPort_ = made[1]->port;
    listeners_ = std::move(made);
    for (auto& listener : listeners_) {
        Listener* raw = listener.get();
        raw->thread = std::thread([this, raw] { acceptLoop(*raw); });
    }
    return true;
}

void PageServer::stop() {
    if (stopping_.exchange(true)) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        changed_.notify_all();
    }
    // The listeners are no longer touched by anyone once their threads end.
    for (auto& listener : listeners_) {
        if (listener->thread.joinable()) listener->thread.join();
        listener->socket.close();
    }
    closeAllConnections();
    reapConnections(true);
}

std::string PageServer::urlFor(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(framedPort_) + path;
}

void PageServer::acceptLoop(Listener& listener) {
    while (!stopping_) {
        reapConnections(false);
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (refusing_) {
                if (listener.socket.isOpen()) {
                    listener.socket.close();
                    listener.listening = false;
                    changed_.notify_all();
                }
                changed_.wait_for(lock, std::chrono::milliseconds(kAcceptSliceMs));
                continue;
            }
        }
        if (!listener.socket.isOpen()) {
            const int err = listener.socket.listenLoopback(listener.port);
            std::unique_lock<std::mutex> lock(mutex_);
            if (err != 0) {
                changed_.wait_for(lock, std::chrono::milliseconds(kAcceptSliceMs));
                continue;
            }
            listener.listening = true;
            changed_.notify_all();
        }
        auto client = std::make_unique<TcpSocket>();
        const IoResult r =
            listener.socket.accept(*client, Deadline::in(kAcceptSliceMs), &stopping_);
        if (r.status == IoStatus::Ok) {
            startConnection(std::move(client), listener.transport);
        } else if (r.status == IoStatus::Failed) {
            // Out of descriptors and the like: do not spin.
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait_for(lock, std::chrono::milliseconds(kAcceptSliceMs));
        }
    }
}

void PageServer::startConnection(std::unique_ptr<TcpSocket> socket, Transport transport) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (refusing_ || stopping_ || connections_.size() >= options_.maxConnections) return;
    auto connection = std::make_unique<Connection>();
    connection->socket = std::move(socket);
    Connection* raw = connection.get();
    connections_.push_back(std::move(connection));
    raw->thread = std::thread([this, raw, transport] {
        serveConnection(*this, *raw->socket, transport);
        raw->done = true;
    });
}

void PageServer::reapConnections(bool all) {
    std::vector<std::unique_ptr<Connection>> finished;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto firstFinished = std::stable_partition(
            connections_.begin(), connections_.end(),
            [all](const std::unique_ptr<Connection>& c) { return !all && !c->done; });
        std::move(firstFinished, connections_.end(), std::back_inserter(finished));
        connections_.erase(firstFinished, connections_.end());
    }
    for (auto& connection : finished) connection->thread.join();
}

void PageServer::closeAllConnections() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& connection : connections_) connection->socket->shutdown();
}

void PageServer::setPacking(Packing packing) {
    std::lock_guard<std::mutex> lock(mutex_);
    packing_ = packing;
}

void PageServer::setReply(const std::string& path, CannedReply reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    replies_[path] = std::move(reply);
}

void PageServer::setRawReply(const std::string& path, std::string message) {
    std::lock_guard<std::mutex> lock(mutex_);
    rawReplies_[path] = std::move(message);
}

void PageServer::clearReplies() {
    std::lock_guard<std::mutex> lock(mutex_);
    replies_.clear();
    rawReplies_.clear();
}

void PageServer::setFault(Fault fault, int times) {
    std::lock_guard<std::mutex> lock(mutex_);
    fault_ = times == 0 ? Fault::None : fault;
    faultTimes_ = times;
}

void PageServer::setLateDelayMs(uint32_t ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    lateDelayMs_ = ms;
}

void PageServer::setSplitPauseMs(uint32_t ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    splitPauseMs_ = ms;
}

void PageServer::setSlowPath(const std::string& prefix, uint32_t ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ms == 0) {
        slowPaths_.erase(prefix);
    } else {
        slowPaths_[prefix] = ms;
    }
}

void PageServer::delayNextReply(const std::string& path, uint32_t ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    delayedReplies_[path] = ms;
}

PageServer::ReplyDelay PageServer::replyDelayFor(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    uint32_t delay = 0;
    for (const auto& [prefix, ms] : slowPaths_) {
        if (path.compare(0, prefix.size(), prefix) == 0) delay = std::max(delay, ms);
    }
    if (auto once = delayedReplies_.find(path); once != delayedReplies_.end()) {
        delay = std::max(delay, once->second);
        delayedReplies_.erase(once);
    }
    return {delay, releases_};
}

void PageServer::releaseDelayedReplies() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++releases_;
    changed_.notify_all();
}

void PageServer::noteReplySent(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (repliesSent_.size() >= kMaxLoggedRequests) repliesSent_.erase(repliesSent_.begin());
    repliesSent_.push_back(path);
    changed_.notify_all();
}

std::vector<std::string> PageServer::repliesSent() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return repliesSent_;
}

bool PageServer::waitForRepliesSent(const std::string& path, size_t count,
                                    uint32_t timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return static_cast<size_t>(std::count(repliesSent_.begin(), repliesSent_.end(), path)) >=
               count;
    });
}

bool PageServer::setRefusing(bool refusing) {
    std::unique_lock<std::mutex> lock(mutex_);
    refusing_ = refusing;
    changed_.notify_all();
    if (refusing) {
        for (auto& connection : connections_) connection->socket->shutdown();
    }
    return changed_.wait_for(lock, kRefuseApplyWait, [&] {
        return std::all_of(listeners_.begin(), listeners_.end(),
                           [&](const auto& l) { return l->listening != refusing; });
    });
}

std::vector<ReceivedRequest> PageServer::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

bool PageServer::waitForRequests(size_t count, uint32_t timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return requests_.size() >= count; });
}

void PageServer::clearRequests() {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
    repliesSent_.clear();
}

size_t PageServer::openConnections() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<size_t>(std::count_if(connections_.begin(), connections_.end(),
                                             [](const auto& c) { return !c->done; }));
}

Fault PageServer::takeFault() {
    std::lock_guard<std::mutex> lock(mutex_);
    const Fault fault = fault_;
    if (fault != Fault::None && faultTimes_ > 0 && --faultTimes_ == 0) fault_ = Fault::None;
    return fault;
}

void PageServer::record(ReceivedRequest request) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (requests_.size() >= kMaxLoggedRequests) requests_.erase(requests_.begin());
    requests_.push_back(std::move(request));
    changed_.notify_all();
}

uint32_t PageServer::lateDelayMs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lateDelayMs_;
}

uint32_t PageServer::splitPauseMs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return splitPauseMs_;
}

std::vector<std::pair<std::string, size_t>> PageServer::unframedFiles() {
    constexpr size_t kMaxFilesLooked = 10000;
    std::vector<std::pair<std::string, size_t>> found;
    std::error_code error;
    if (options_.root.empty() || !std::filesystem::is_directory(options_.root, error)) return found;
    size_t looked = 0;
    for (auto it = std::filesystem::recursive_directory_iterator(options_.root, error);
         !error && it != std::filesystem::recursive_directory_iterator() &&
         looked < kMaxFilesLooked;
         it.increment(error), ++looked) {
        if (!it->is_regular_file(error) || it->file_size(error) <= kMaxFramedMessage) continue;
        std::string path(1, '/');
        path += std::filesystem::relative(it->path(), options_.root, error).generic_string();
        if (error || endsWith(path, ".raw")) continue;
        const size_t size = messageFor(parseRequestUrl(path), Transport::Framed).size();
        if (size > kMaxFramedMessage) found.emplace_back(path, size);
    }
    return found;
}

std::string PageServer::messageFor(const RequestTarget& target, Transport transport,
                                   bool* notFound) {
    const int16_t requestId = target.pageId();
    Packing packing;
    auto build = [&](const CannedReply& reply) {
        return transport == Transport::Framed ? buildFramedReplyMessage(reply, requestId, packing)
                                              : buildReplyMessage(reply, requestId, packing);
    };
    {
        std::lock_guard<std::mutex> lock(mutex_);
        packing = packing_;
        if (auto raw = rawReplies_.find(target.path); raw != rawReplies_.end()) return raw->second;
        if (auto set = replies_.find(target.path); set != replies_.end()) {
            return build(set->second);
        }
    }
    CannedReply reply;
    if (target.path == kSpeedTestPath) {
        // Any reply counts for the speed test; kind 0 is one the client ignores.
        reply.kind = 0;
        reply.text = "OK";
        return build(reply);
    }
    std::optional<std::string> content;
    // Paths are taken as written: "/a/../b" names no file.
    const bool climbs = ("/" + target.path + "/").find("/../") != std::string::npos;
    if (!options_.root.empty() && target.path.size() > 1 && !climbs) {
        const auto file = resolveConfined(options_.root, target.path.substr(1));
        if (file) content = readFile(*file, kMaxServedFile);
    }
    if (content && endsWith(target.path, ".raw")) return *content;
    // Pictures come as data replies: a page's own picture (it names its
    // "controlid") of kind 3 for the listener at that position, any other
    // (a verification picture) of kind 25. A missing picture is an empty
    // one, so that it never takes the place of the page that asked.
    if (isPicturePath(target.path)) {
        if (target.param("controlid")) {
            reply.kind = kPictureReplyKind;
            reply.listenerIndex = pictureListenerIndex(target);
        } else {
            reply.kind = kVerifyPictureReplyKind;
        }
        reply.text = content ? std::move(*content) : std::string();
        return build(reply);
    }
    if (notFound) *notFound = !content;
    // A file it has not (or one over its size cap) gets an error page to be
    // shown; over the gateway the HTTP status says so instead.
    if (!content && transport == Transport::Framed) reply.kind = kShowNowReplyKind;
    reply.text = content ? std::move(*content) : std::string(kNotFoundPage);
    return build(reply);
}

}  // namespace zq::testserver
