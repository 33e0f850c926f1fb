// IPv4 TCP sockets: the only place that includes the system's socket headers.
//
// A TcpSocket owns one descriptor, always non-blocking. Nothing here blocks
// without a bound: every call that waits takes a Deadline and, where a
// worker may be asked to stop, an optional stop flag that is polled at
// least every kStopPollMs while waiting. A connect counts as made only
// when the socket reports no pending error (SO_ERROR), so a refused or
// failed connect is a failure, never a socket that "connected" silently.
//
// Threads: one thread may send while another receives on the same socket.
// shutdown() may be called from any thread and wakes the others' waits;
// close() and open() must not run while another thread uses the socket (a
// shared owner shuts it down and lets the last holder release it).
// Errors are errno values (0 = none). Writes never raise SIGPIPE.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace zq {

// A point on the monotonic clock (not the injectable tick) by which an
// operation must end.
class Deadline {
public:
    static Deadline in(uint32_t ms) {
        return Deadline(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms));
    }
    // Milliseconds left, 0 once passed.
    uint32_t remainingMs() const;
    bool passed() const { return remainingMs() == 0; }
    Deadline earliest(Deadline other) const { return other.at_ < at_ ? other : *this; }

private:
    explicit Deadline(std::chrono::steady_clock::time_point at) : at_(at) {}
    std::chrono::steady_clock::time_point at_;
};

constexpr uint32_t kStopPollMs = 50;

enum class IoStatus {
    Ok,        // done (for a receive: at least one byte arrived)
    TimedOut,  // the deadline passed first
    Closed,    // the peer closed (receive) or the socket is shut down
    Stopped,   // the stop flag was raised
    Failed,    // the system reported an error (see IoResult::error)
};

struct IoResult {
    IoStatus status = IoStatus::Failed;
    size_t bytes = 0;  // bytes moved, also when the call ended early
    int error = 0;     // errno when status is Failed
};

// An IPv4 address in network byte order.
struct Ipv4Address {
    uint32_t networkOrder = 0;
    std::string dotted() const;
};

constexpr uint32_t kResolveWaitMs = 6000;

// A text whose first character is a digit is parsed as a dotted address and
// never given to the resolver; any other text is resolved (IPv4 only).
// nullopt when neither works. The lookup runs on a worker thread that a
// process-wide pool owns and joins once the lookup ends; the caller waits
// at most `waitMs` (or until `stop` rises) and then leaves it there, so a
// resolver that hangs never holds the caller. While the pool already holds
// its few hanging lookups, a caller waits for room within the same bound.
std::optional<Ipv4Address> resolveIpv4(const std::string& host, uint32_t waitMs = kResolveWaitMs,
                                       const std::atomic<bool>* stop = nullptr);

// The name lookup resolveIpv4 uses (getaddrinfo by default); tests replace
// it with a slow one. An empty function restores the default. Not to be
// called while lookups run.
using HostLookup = std::function<std::optional<Ipv4Address>(const std::string& host)>;
void setHostLookup(HostLookup lookup);
// Lookup threads not yet joined (those still running, after joining every
// one that has ended).
size_t hostLookupThreads();

enum class WaitFor { Read, Write };

class TcpSocket {
public:
    TcpSocket() = default;
    ~TcpSocket();
    TcpSocket(TcpSocket&& other) noexcept;
    TcpSocket& operator=(TcpSocket&& other) noexcept;
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // Closes any open descriptor, then opens a non-blocking stream socket.
    // Returns 0 or the errno of socket()/fcntl().
    int open();
    bool isOpen() const { return fd_ >= 0; }

    // Starts a non-blocking connect and waits for it until `deadline`.
    // Ok only when SO_ERROR reads 0; a refusal is Failed with ECONNREFUSED.
    IoResult connect(const Ipv4Address& address, uint16_t port, Deadline deadline,
                     const std::atomic<bool>* stop = nullptr);

    // Waits until the socket is readable (data or end of stream) or
    // writable. Ok, TimedOut, Stopped or Failed.
    IoStatus waitReady(WaitFor what, Deadline deadline,
                       const std::atomic<bool>* stop = nullptr) const;

    // Sends all `size` bytes, waiting for room as needed. Anything short of
    // that is not Ok; `bytes` says how much went out.
    IoResult sendAll(const void* data, size_t size, Deadline deadline,
                     const std::atomic<bool>* stop = nullptr);

    // Receives 1 to `size` bytes: waits for the first byte, then takes what
    // is there. Closed when the peer ended the stream (bytes = 0).
    IoResult recvSome(void* data, size_t size, Deadline deadline,
                      const std::atomic<bool>* stop = nullptr);

    // Receives exactly `size` bytes unless the peer closes, the deadline
    // passes, the stop flag rises or an error occurs; `bytes` tells how many
    // arrived either way.
    IoResult recvExact(void* data, size_t size, Deadline deadline,
                       const std::atomic<bool>* stop = nullptr);

    // Ends both directions; other threads' waits on this socket return.
    // The descriptor itself stays until close(). Safe from any thread.
    void shutdown();
    // shutdown() and releases the descriptor. Returns 0 or close()'s errno.
    int close();

    // Listening (test peers): binds 127.0.0.1:`port` (0 picks a free port)
    // and listens. Returns 0 or an errno. The socket is opened here.
    int listenLoopback(uint16_t port, int backlog = 16);
    // The bound local port, 0 when unknown.
    uint16_t localPort() const;
    // Waits for one connection and hands it out, non-blocking, in `client`.
    IoResult accept(TcpSocket& client, Deadline deadline, const std::atomic<bool>* stop = nullptr);

private:
    explicit TcpSocket(int fd) : fd_(fd) {}

    int fd_ = -1;
};

}  // namespace zq
