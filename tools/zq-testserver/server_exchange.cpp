#include "tools/zq-testserver/server_exchange.h"

#include <algorithm>
#include <chrono>
#include <random>

#include "platform/socket.h"

namespace zq::testserver {

namespace {

constexpr uint32_t kBodyWaitMs = 5000;
constexpr uint32_t kHeadWaitMs = 10000;
constexpr uint32_t kSendWaitMs = 5000;

inline constexpr char kBadRequest[] = "HTTP/1.0 400 Bad Request\r\nContent-Length: 0\r\n\r\n";
inline constexpr char kGatewayWml[] =
    "<?xml version=\"1.0\"?><wml><card><p>Gateway notice</p></card></wml>";

std::string responseHead(size_t contentLength, std::string_view contentType,
                         std::string_view status = "200 OK") {
    return "HTTP/1.0 " + std::string(status) + "\r\nContent-Type: " + std::string(contentType) +
           "\r\nContent-Length: " + std::to_string(contentLength) + "\r\n\r\n";
}

std::string frameOf(std::string_view body, uint32_t declaredLength) {
    std::string frame;
    frame.reserve(4 + body.size());
    for (int shift = 24; shift >= 0; shift -= 8) {
        frame.push_back(static_cast<char>((declaredLength >> shift) & 0xFF));
    }
    frame.append(body);
    return frame;
}

// Whether a reply that went out under `fault` went out whole.
bool deliversWhole(Fault fault) {
    return fault == Fault::None || fault == Fault::Late || fault == Fault::Split ||
           fault == Fault::Duplicate;
}

}  // namespace

class ExchangeRunner {
public:
    ExchangeRunner(PageServer& server, TcpSocket& socket) : server_(server), socket_(socket) {}

    void runFramed();
    void runGateway();

private:
    bool replyFramed(const std::string& message, Fault fault);
    bool replyGateway(const std::string& message, Fault fault, bool notFound);
    std::optional<std::string> readGatewayHead();

    bool stopping() const { return server_.stopping_.load(); }
    // Sleeps up to `ms`; false when the server stops first.
    bool pause(uint32_t ms) {
        std::unique_lock<std::mutex> lock(server_.mutex_);
        return !server_.changed_.wait_for(lock, std::chrono::milliseconds(ms),
                                          [&] { return server_.stopping_.load(); });
    }
    // Holds a reply back for its delay, or until the held replies are
    // released; false when the server stops first.
    bool holdReply(const PageServer::ReplyDelay& delay) {
        if (delay.ms == 0) return true;
        std::unique_lock<std::mutex> lock(server_.mutex_);
        server_.changed_.wait_for(lock, std::chrono::milliseconds(delay.ms), [&] {
            return server_.stopping_.load() || server_.releases_ != delay.releases;
        });
        return !server_.stopping_.load();
    }
    bool send(std::string_view bytes) {
        return socket_
                   .sendAll(bytes.data(), bytes.size(), Deadline::in(kSendWaitMs),
                            &server_.stopping_)
                   .status == IoStatus::Ok;
    }
    // The bytes cut at `cuts`, each piece after a pause.
    bool sendInPieces(std::string_view bytes, std::vector<size_t> cuts);
    // Waits, reading and dropping, until the peer closes or stays silent.
    void drainUntilClosed();
    std::string garbage(size_t size) {
        std::string bytes(size, '\0');
        for (char& c : bytes) c = static_cast<char>(random_() & 0xFF);
        return bytes;
    }

    PageServer& server_;
    TcpSocket& socket_;
    std::minstd_rand random_{20240611};
};

void serveConnection(PageServer& server, TcpSocket& socket, Transport transport) {
    ExchangeRunner runner(server, socket);
    if (transport == Transport::Framed) {
        runner.runFramed();
    } else {
        runner.runGateway();
    }
    socket.shutdown();
}

void ExchangeRunner::runFramed() {
    while (!stopping()) {
        // 1. One request frame: the length, then the URL.
        uint8_t head[4];
        if (socket_.recvExact(head, 4, Deadline::in(server_.options_.idleMs), &server_.stopping_)
                .status != IoStatus::Ok) {
            return;
        }
        const uint32_t length = (uint32_t{head[0]} << 24) | (uint32_t{head[1]} << 16) |
                                (uint32_t{head[2]} << 8) | head[3];
        if (length > kMaxRequestBody) return;
        std::string url(length, '\0');
        if (length > 0 &&
            socket_.recvExact(url.data(), length, Deadline::in(kBodyWaitMs), &server_.stopping_)
                    .status != IoStatus::Ok) {
            return;
        }
        // 2. Logged before the reply, so whoever sees the reply finds the request.
        ReceivedRequest request;
        request.transport = Transport::Framed;
        request.target = parseRequestUrl(url);
        request.url = std::move(url);
        request.fault = server_.takeFault();
        const std::string message = server_.messageFor(request.target, request.transport);
        const Fault fault = request.fault;
        const std::string path = request.target.path;
        const PageServer::ReplyDelay delay = server_.replyDelayFor(path);
        server_.record(std::move(request));
        // 3. The reply, as the fault has it.
        if (!holdReply(delay)) return;
        if (!replyFramed(message, fault)) return;
        if (deliversWhole(fault)) server_.noteReplySent(path);
    }
}

bool ExchangeRunner::replyFramed(const std::string& message, Fault fault) {
    const auto size = static_cast<uint32_t>(message.size());
    switch (fault) {
        case Fault::Missing:
            return true;
        case Fault::Late:
            return pause(server_.lateDelayMs()) && send(frameOf(message, size));
        case Fault::Split:
            return sendInPieces(frameOf(message, size), {1, 3, 4, 4 + message.size() / 2});
        case Fault::Oversize: {
            const uint32_t declared = std::max(kOversizeFrameLength, size);
            std::string body = message;
            body.resize(declared, '\0');
            send(frameOf(body, declared));
            return true;
        }
        case Fault::Garbage:
            return send(frameOf(garbage(message.size()), size));
        case Fault::Duplicate:
            return send(frameOf(message, size)) && send(frameOf(message, size));
        case Fault::CloseMidFrame:
            send(frameOf(std::string_view(message).substr(0, message.size() / 2), size));
            return false;
        case Fault::None:
        case Fault::GatewayPage:
            break;
    }
    return send(frameOf(message, size));
}

std::optional<std::string> ExchangeRunner::readGatewayHead() {
    std::string head;
    const Deadline deadline = Deadline::in(std::min(server_.options_.idleMs, kHeadWaitMs));
    char chunk[512];
    for (;;) {
        const IoResult r = socket_.recvSome(chunk, sizeof chunk, deadline, &server_.stopping_);
        if (r.status != IoStatus::Ok) return std::nullopt;
        head.append(chunk, r.bytes);
        if (const size_t end = head.find("\r\n\r\n"); end != std::string::npos) {
            head.resize(end + 2);
            return head;
        }
        if (head.size() > kMaxRequestHead) {
            head.resize(kMaxRequestHead);
            return head;
        }
    }
}

void ExchangeRunner::runGateway() {
    // 1. The head, and the gateway's checks on it.
    auto head = readGatewayHead();
    if (!head) return;
    GatewayRequest checked = checkGatewayHead(*head);
    ReceivedRequest request;
    request.transport = Transport::Gateway;
    request.head = std::move(*head);
    request.headOk = checked.ok;
    request.url = std::move(checked.url);
    request.target = std::move(checked.target);
    if (!checked.ok) {
        server_.record(std::move(request));
        send(kBadRequest);
        return;
    }
    // 2. One answer per connection, as HTTP/1.0 has it.
    request.fault = server_.takeFault();
    bool notFound = false;
    const std::string message = server_.messageFor(request.target, request.transport, &notFound);
    const Fault fault = request.fault;
    const std::string path = request.target.path;
    const PageServer::ReplyDelay delay = server_.replyDelayFor(path);
    server_.record(std::move(request));
    if (!holdReply(delay)) return;
    if (replyGateway(message, fault, notFound) && deliversWhole(fault)) server_.noteReplySent(path);
    // The connection closes after the answer; with none it stays open until
    // the client gives up.
    if (fault == Fault::Missing) drainUntilClosed();
}

bool ExchangeRunner::replyGateway(const std::string& message, Fault fault, bool notFound) {
    constexpr std::string_view kType = "application/octet-stream";
    const std::string response =
        responseHead(message.size(), kType, notFound ? "404 Not Found" : "200 OK") + message;
    const size_t headLength = response.size() - message.size();
    switch (fault) {
        case Fault::Missing:
            return false;
        case Fault::Late:
            return pause(server_.lateDelayMs()) && send(response);
        case Fault::Split:
            return sendInPieces(response, {5, 10, headLength / 2, headLength - 2, headLength,
                                           headLength + message.size() / 2});
        case Fault::Oversize:
            return send(responseHead(kOversizeContentLength, kType) + message);
        case Fault::Garbage:
            return send(garbage(response.size()));
        case Fault::Duplicate:
            return send(response) && send(response);
        case Fault::CloseMidFrame:
            return send(std::string_view(response).substr(0, headLength + message.size() / 2));
        case Fault::GatewayPage: {
            const std::string_view page = kGatewayWml;
            return send(responseHead(page.size(), "text/vnd.wap.wml") + std::string(page));
        }
        case Fault::None:
            break;
    }
    return send(response);
}

bool ExchangeRunner::sendInPieces(std::string_view bytes, std::vector<size_t> cuts) {
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    size_t from = 0;
    for (size_t cut : cuts) {
        if (cut <= from || cut >= bytes.size()) continue;
        if (!send(bytes.substr(from, cut - from)) || !pause(server_.splitPauseMs())) return false;
        from = cut;
    }
    return send(bytes.substr(from));
}

void ExchangeRunner::drainUntilClosed() {
    char sink[256];
    const Deadline deadline = Deadline::in(server_.options_.idleMs);
    while (socket_.recvSome(sink, sizeof sink, deadline, &server_.stopping_).status ==
           IoStatus::Ok) {
    }
}

}  // namespace zq::testserver
