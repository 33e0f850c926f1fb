// The loopback peer that the client talks to in tests and on a first run.
//
// Two listeners on 127.0.0.1: the framed port (4-byte big-endian length,
// then the body; one request URL per frame, one reply message per frame,
// many requests per connection) and the gateway port, which plays the
// carrier's HTTP/1.0 WAP gateway (one GET per connection, answered with a
// status line, Content-Length and the same reply message as body).
//
// What a request gets, by its path: a reply set with setReply/setRawReply;
// else the speed-test answer for kSpeedTestPath; else the file under the
// root folder (confined: "..", absolute paths and ':' are refused), a
// "*.raw" file sent as the whole message, a picture requested with a
// "controlid" as a data reply of kPictureReplyKind whose listener index is
// that "controlid", any other picture (verification pictures, image links)
// as a data reply of kVerifyPictureReplyKind (empty when the file is
// missing), and any other file as the text of a page reply; else a "not
// found" page reply (through the gateway with the status 404, as web servers
// answer). Replies echo the request's "pageid" as their request
// id. Over the framed port a reply that a frame cannot carry is packed.
//
// Faults make the next replies misbehave on purpose (see Fault). Every
// read, write and pause is bounded and ends early when the server stops.
//
// Threads: one acceptor per listener and one thread per connection, all
// joined by stop() and the destructor. Every public call is thread-safe.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tools/zq-testserver/reply_message.h"
#include "tools/zq-testserver/request_target.h"

namespace zq {
class TcpSocket;
}

namespace zq::testserver {

enum class Fault {
    None,
    Late,           // the reply after lateDelayMs
    Missing,        // no reply; the connection stays open
    Split,          // the reply in small pieces with pauses between them
    Oversize,       // framed: a length above 10,000; gateway: Content-Length above 1 MiB
    Garbage,        // framed: a frame of random bytes; gateway: random bytes, no head
    Duplicate,      // the reply sent twice
    CloseMidFrame,  // half the reply, then the connection is closed
    GatewayPage,    // gateway only: a WML page of its own (text/vnd.wap.wml)
};

enum class Transport { Framed, Gateway };

struct ReceivedRequest {
    Transport transport = Transport::Framed;
    std::string url;   // the frame body, or "http://" + Host + target
    std::string head;  // the HTTP request head (gateway only)
    bool headOk = true;
    RequestTarget target;
    Fault fault = Fault::None;  // what the reply did
};

struct ServerOptions {
    std::filesystem::path root;  // the folder of pages; empty serves none
    uint16_t framedPort = 0;     // 0 picks a free port
    uint16_t gatewayPort = 0;
    Packing packing = Packing::Stored;
    uint32_t idleMs = 30000;  // a connection silent this long is closed
    size_t maxConnections = 32;
};

constexpr int kEveryRequest = -1;
constexpr uint8_t kPictureReplyKind = 3;
constexpr uint8_t kVerifyPictureReplyKind = 25;
// An error page for the user, to be shown at once whatever asked for it.
constexpr uint8_t kShowNowReplyKind = 6;
constexpr uint32_t kMaxRequestBody = 64 * 1024;
constexpr size_t kMaxRequestHead = 8 * 1024;
constexpr size_t kMaxServedFile = 1u << 20;
constexpr size_t kMaxLoggedRequests = 10000;
constexpr uint32_t kOversizeFrameLength = 10001;
constexpr size_t kOversizeContentLength = (1u << 20) + 1;

class PageServer {
public:
    explicit PageServer(ServerOptions options);
    ~PageServer();
    PageServer(const PageServer&) = delete;
    PageServer& operator=(const PageServer&) = delete;

    // Binds both ports and starts serving. False with a reason when a port
    // cannot be bound; nothing runs then.
    bool start(std::string* error = nullptr);
    // Closes the listeners and every connection and joins all threads.
    // Idempotent.
    void stop();

    uint16_t framedPort() const { return framedPort_; }
    uint16_t gatewayPort() const { return gatewayPort_; }
    // "http://127.0.0.1:<framed port>" + path: what a framed client requests.
    std::string urlFor(const std::string& path) const;

    // --- what is served ---
    void setPacking(Packing packing);
    // `path` as requested, from its '/' and without parameters.
    void setReply(const std::string& path, CannedReply reply);
    void setRawReply(const std::string& path, std::string message);
    void clearReplies();

    // --- misbehaviour ---
    // The next `times` replies misbehave (kEveryRequest: all, until changed).
    void setFault(Fault fault, int times = kEveryRequest);
    void setLateDelayMs(uint32_t ms);
    void setSplitPauseMs(uint32_t ms);
    // Replies to paths that start with `prefix` come `ms` later (0: at
    // once), as from a slow back end; the other replies are not held up
    // unless they share a framed connection with them.
    void setSlowPath(const std::string& prefix, uint32_t ms);
    // The next reply to exactly `path` (that one only) comes `ms` later, or
    // when the delayed replies are released, whichever is first.
    void delayNextReply(const std::string& path, uint32_t ms);
    // The replies held back now (delayNextReply, setSlowPath) go out.
    void releaseDelayedReplies();
    // Refusing closes both listeners and every open connection, so a
    // connect is refused; ending it listens on the same ports again. Takes
    // effect before the call returns (false when it could not).
    bool setRefusing(bool refusing);

    // The files under the root (paths from their '/') whose reply a frame
    // cannot carry even packed, with the packed size; the first 10,000
    // files are looked at.
    std::vector<std::pair<std::string, size_t>> unframedFiles();

    // --- what came in ---
    std::vector<ReceivedRequest> requests() const;
    // Waits until at least `count` requests have come in (false at the timeout).
    bool waitForRequests(size_t count, uint32_t timeoutMs) const;
    void clearRequests();
    // The paths of the replies sent whole (faults that mangle or hold back
    // a reply do not count), in the order they went out; cleared with the
    // requests.
    std::vector<std::string> repliesSent() const;
    // Waits until at least `count` replies to `path` have gone out (false at
    // the timeout).
    bool waitForRepliesSent(const std::string& path, size_t count, uint32_t timeoutMs) const;
    // Connections still being served (a client that closes ends its own).
    size_t openConnections() const;

private:
    struct Connection;
    struct Listener;
    friend class ExchangeRunner;

    void acceptLoop(Listener& listener);
    void reapConnections(bool all);
    void startConnection(std::unique_ptr<TcpSocket> socket, Transport transport);
    void closeAllConnections();

    // Called by the connection threads.
    Fault takeFault();
    void record(ReceivedRequest request);
    // `notFound`, when given, is set when the path names nothing to serve.
    std::string messageFor(const RequestTarget& target, Transport transport,
                           bool* notFound = nullptr);
    uint32_t lateDelayMs() const;
    uint32_t splitPauseMs() const;
    // The pause before the reply to `path`: its slow prefix, or a delay
    // set for its next reply (used up here); a release after this call ends it.
    struct ReplyDelay {
        uint32_t ms = 0;
        uint64_t releases = 0;
    };
    ReplyDelay replyDelayFor(const std::string& path);
    void noteReplySent(const std::string& path);

    ServerOptions options_;
    uint16_t framedPort_ = 0;
    uint16_t gatewayPort_ = 0;
    std::atomic<bool> stopping_{false};

    mutable std::mutex mutex_;  // everything below
    mutable std::condition_variable changed_;
    Packing packing_;
    std::map<std::string, CannedReply> replies_;
    std::map<std::string, std::string> rawReplies_;
    Fault fault_ = Fault::None;
    int faultTimes_ = 0;
    uint32_t lateDelayMs_ = 2000;
    uint32_t splitPauseMs_ = 20;
    std::map<std::string, uint32_t> slowPaths_;
    std::map<std::string, uint32_t> delayedReplies_;
    uint64_t releases_ = 0;  // releaseDelayedReplies calls
    std::vector<std::string> repliesSent_;
    bool refusing_ = false;
    std::vector<ReceivedRequest> requests_;
    std::vector<std::unique_ptr<Listener>> listeners_;
    std::vector<std::unique_ptr<Connection>> connections_;
};

}  // namespace zq::testserver
