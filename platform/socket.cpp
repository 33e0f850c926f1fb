#include "platform/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <list>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/threading.h"

namespace zq {

namespace {

bool stopRaised(const std::atomic<bool>* stop) {
    return stop != nullptr && stop->load(std::memory_order_acquire);
}

bool isTransient(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

int setNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL, 0);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return errno;
    return 0;
}

// One poll slice at a time so that a stop flag is seen within kStopPollMs.
IoStatus waitFd(int fd, short events, Deadline deadline, const std::atomic<bool>* stop) {
    if (fd < 0) return IoStatus::Closed;
    for (;;) {
        if (stopRaised(stop)) return IoStatus::Stopped;
        const uint32_t left = deadline.remainingMs();
        if (left == 0) {
            // A last look without waiting: data already there still counts.
            pollfd p{fd, events, 0};
            const int n = ::poll(&p, 1, 0);
            return n > 0 ? IoStatus::Ok : IoStatus::TimedOut;
        }
        const uint32_t slice = stop != nullptr ? std::min(left, kStopPollMs) : left;
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, static_cast<int>(slice));
        if (n > 0) return IoStatus::Ok;
        if (n < 0 && errno != EINTR) return IoStatus::Failed;
    }
}

sockaddr_in makeAddress(uint32_t networkOrder, uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = networkOrder;
    return a;
}

}  // namespace

uint32_t Deadline::remainingMs() const {
    const auto now = std::chrono::steady_clock::now();
    if (now >= at_) return 0;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(at_ - now).count();
    return static_cast<uint32_t>(std::min<long long>(left, 0x7fffffff));
}

std::string Ipv4Address::dotted() const {
    const auto* b = reinterpret_cast<const uint8_t*>(&networkOrder);
    return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
           std::to_string(b[3]);
}

namespace {

std::optional<Ipv4Address> systemLookup(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || list == nullptr) {
        return std::nullopt;
    }
    std::optional<Ipv4Address> result;
    if (list->ai_addr != nullptr && list->ai_addrlen >= sizeof(sockaddr_in)) {
        sockaddr_in a{};
        std::memcpy(&a, list->ai_addr, sizeof a);
        result = Ipv4Address{a.sin_addr.s_addr};
    }
    ::freeaddrinfo(list);
    return result;
}

HostLookup& hostLookup() {
    static HostLookup lookup;
    return lookup;
}

// Name lookups run on threads of their own, owned here. A lookup that has
// ended is joined by its caller or, when it ended late, by the next one; at
// most kMaxLookups run at once, so a resolver that hangs ties up a few
// threads rather than one per attempt. The pool goes at the process's exit
// and joins the lookups its callers left: no thread outlives its owner.
class LookupPool {
public:
    LookupPool() = default;
    ~LookupPool();
    LookupPool(const LookupPool&) = delete;
    LookupPool& operator=(const LookupPool&) = delete;

    std::optional<Ipv4Address> resolve(const std::string& host, HostLookup lookup,
                                       Deadline deadline, const std::atomic<bool>* stop);
    size_t threads();

private:
    struct Result {
        bool finished = false;
        std::optional<Ipv4Address> address;
    };
    struct Lookup {
        std::unique_ptr<HelperThread> thread;
        std::shared_ptr<Result> result;
    };
    static constexpr size_t kMaxLookups = 4;

    // Waits until `ready` holds, the stop flag rises or the deadline passes.
    template <typename Ready>
    bool waitFor(std::unique_lock<std::mutex>& lock, Deadline deadline,
                 const std::atomic<bool>* stop, Ready ready);
    void reapLocked();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::list<Lookup> lookups_;
};

template <typename Ready>
bool LookupPool::waitFor(std::unique_lock<std::mutex>& lock, Deadline deadline,
                         const std::atomic<bool>* stop, Ready ready) {
    while (!ready()) {
        const uint32_t left = deadline.remainingMs();
        if (left == 0 || stopRaised(stop)) return false;
        changed_.wait_for(lock, std::chrono::milliseconds(std::min(left, kStopPollMs)));
    }
    return true;
}

LookupPool::~LookupPool() {
    std::list<Lookup> left;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        left.swap(lookups_);
    }
    // Joined without the lock, which a lookup takes to say it has ended.
    left.clear();
}

void LookupPool::reapLocked() {
    for (auto it = lookups_.begin(); it != lookups_.end();) {
        if (!it->result->finished) {
            ++it;
            continue;
        }
        it = lookups_.erase(it);  // joins
    }
}

std::optional<Ipv4Address> LookupPool::resolve(const std::string& host, HostLookup lookup,
                                               Deadline deadline, const std::atomic<bool>* stop) {
    std::unique_lock<std::mutex> lock(mutex_);
    const bool room = waitFor(lock, deadline, stop, [this] {
        reapLocked();
        return lookups_.size() < kMaxLookups;
    });
    if (!room) return std::nullopt;
    auto result = std::make_shared<Result>();
    auto thread = std::make_unique<HelperThread>([this, result, lookup = std::move(lookup), host] {
        std::optional<Ipv4Address> address = lookup(host);
        {
            std::lock_guard<std::mutex> done(mutex_);
            result->address = address;
            result->finished = true;
        }
        changed_.notify_all();
    });
    if (!thread->started()) return std::nullopt;
    lookups_.push_back(Lookup{std::move(thread), result});
    waitFor(lock, deadline, stop, [&result] { return result->finished; });
    // A lookup that answered in time is joined now, not by a later caller
    // that may never come.
    reapLocked();
    return result->finished ? result->address : std::nullopt;
}

size_t LookupPool::threads() {
    std::lock_guard<std::mutex> lock(mutex_);
    reapLocked();
    return lookups_.size();
}

LookupPool& lookupPool() {
    static LookupPool pool;
    return pool;
}

}  // namespace

void setHostLookup(HostLookup lookup) { hostLookup() = std::move(lookup); }

size_t hostLookupThreads() { return lookupPool().threads(); }

std::optional<Ipv4Address> resolveIpv4(const std::string& host, uint32_t waitMs,
                                       const std::atomic<bool>* stop) {
    if (host.empty()) return std::nullopt;
    if (host[0] >= '0' && host[0] <= '9') {
        in_addr a{};
        if (::inet_pton(AF_INET, host.c_str(), &a) != 1) return std::nullopt;
        return Ipv4Address{a.s_addr};
    }
    // getaddrinfo has no time-out of its own: the caller leaves it running
    // in the pool at its deadline.
    HostLookup lookup = hostLookup() ? hostLookup() : HostLookup(systemLookup);
    return lookupPool().resolve(host, std::move(lookup), Deadline::in(waitMs), stop);
}

TcpSocket::~TcpSocket() { close(); }

TcpSocket::TcpSocket(TcpSocket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

int TcpSocket::open() {
    close();
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) return errno;
    if (const int error = setNonBlocking(fd); error != 0) {
        ::close(fd);
        return error;
    }
    fd_ = fd;
    return 0;
}

IoResult TcpSocket::connect(const Ipv4Address& address, uint16_t port, Deadline deadline,
                            const std::atomic<bool>* stop) {
    if (fd_ < 0) return {IoStatus::Closed, 0, 0};
    const sockaddr_in a = makeAddress(address.networkOrder, port);
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        if (errno != EINPROGRESS && errno != EINTR) return {IoStatus::Failed, 0, errno};
        const IoStatus ready = waitFd(fd_, POLLOUT, deadline, stop);
        if (ready != IoStatus::Ok) return {ready, 0, 0};
    }
    // Writable only says the attempt ended; SO_ERROR says how.
    int pending = 0;
    socklen_t length = sizeof pending;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &pending, &length) != 0) {
        return {IoStatus::Failed, 0, errno};
    }
    if (pending != 0) return {IoStatus::Failed, 0, pending};
    const int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return {IoStatus::Ok, 0, 0};
}

IoStatus TcpSocket::waitReady(WaitFor what, Deadline deadline,
                              const std::atomic<bool>* stop) const {
    return waitFd(fd_, what == WaitFor::Read ? POLLIN : POLLOUT, deadline, stop);
}

IoResult TcpSocket::sendAll(const void* data, size_t size, Deadline deadline,
                            const std::atomic<bool>* stop) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t sent = 0;
    while (sent < size) {
        const IoStatus ready = waitFd(fd_, POLLOUT, deadline, stop);
        if (ready != IoStatus::Ok) return {ready, sent, 0};
        const ssize_t n = ::send(fd_, bytes + sent, size - sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (isTransient(errno)) continue;
            return {IoStatus::Failed, sent, errno};
        }
        sent += static_cast<size_t>(n);
    }
    return {IoStatus::Ok, sent, 0};
}

IoResult TcpSocket::recvSome(void* data, size_t size, Deadline deadline,
                             const std::atomic<bool>* stop) {
    if (size == 0) return {IoStatus::Ok, 0, 0};
    for (;;) {
        const IoStatus ready = waitFd(fd_, POLLIN, deadline, stop);
        if (ready != IoStatus::Ok) return {ready, 0, 0};
        const ssize_t n = ::recv(fd_, data, size, 0);
        if (n > 0) return {IoStatus::Ok, static_cast<size_t>(n), 0};
        if (n == 0) return {IoStatus::Closed, 0, 0};
        if (isTransient(errno)) continue;
        return {IoStatus::Failed, 0, errno};
    }
}

IoResult TcpSocket::recvExact(void* data, size_t size, Deadline deadline,
                              const std::atomic<bool>* stop) {
    auto* bytes = static_cast<uint8_t*>(data);
    size_t got = 0;
    while (got < size) {
        IoResult r = recvSome(bytes + got, size - got, deadline, stop);
        got += r.bytes;
        if (r.status != IoStatus::Ok) {
            r.bytes = got;
            return r;
        }
    }
    return {IoStatus::Ok, got, 0};
}

void TcpSocket::shutdown() {
    if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
}

int TcpSocket::close() {
    if (fd_ < 0) return 0;
    ::shutdown(fd_, SHUT_RDWR);
    const int result = ::close(fd_) == 0 ? 0 : errno;
    fd_ = -1;
    return result;
}

int TcpSocket::listenLoopback(uint16_t port, int backlog) {
    if (const int error = open(); error != 0) return error;
    const int one = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    const sockaddr_in a = makeAddress(htonl(INADDR_LOOPBACK), port);
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(fd_, backlog) != 0) {
        const int error = errno;
        close();
        return error;
    }
    return 0;
}

uint16_t TcpSocket::localPort() const {
    if (fd_ < 0) return 0;
    sockaddr_in a{};
    socklen_t length = sizeof a;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &length) != 0) return 0;
    return ntohs(a.sin_port);
}

IoResult TcpSocket::accept(TcpSocket& client, Deadline deadline, const std::atomic<bool>* stop) {
    for (;;) {
        const IoStatus ready = waitFd(fd_, POLLIN, deadline, stop);
        if (ready != IoStatus::Ok) return {ready, 0, 0};
        const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            const int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            client = TcpSocket(fd);
            return {IoStatus::Ok, 0, 0};
        }
        if (isTransient(errno) || errno == ECONNABORTED) continue;
        return {IoStatus::Failed, 0, errno};
    }
}

}  // namespace zq
