#include "net/framed_socket.h"

#include <algorithm>
#include <cstring>

namespace zq {

namespace {

enum FramedErrorCode : int {
    kReadError = 1,
    kSocketFailed = 6,
    kResolveFailed = 7,
    kSendFailed = 8,
};

constexpr size_t kReceiveChunk = 4096;

}  // namespace

std::array<uint8_t, 4> makeLengthHeader(uint32_t length) {
    return {static_cast<uint8_t>(length >> 24), static_cast<uint8_t>(length >> 16),
            static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
}

std::vector<uint8_t> encodeFrame(std::string_view body) {
    const auto head = makeLengthHeader(static_cast<uint32_t>(body.size()));
    std::vector<uint8_t> frame(head.size() + body.size());
    std::memcpy(frame.data(), head.data(), head.size());
    if (!body.empty()) std::memcpy(frame.data() + head.size(), body.data(), body.size());
    return frame;
}

// --- FrameDecoder ------------------------------------------------------------

size_t FrameDecoder::feed(const uint8_t* data, size_t size) {
    size_t used = 0;
    if (state_ == State::Head) {
        const size_t take = std::min(size, head_.size() - headFill_);
        std::memcpy(head_.data() + headFill_, data, take);
        headFill_ += take;
        used += take;
        if (headFill_ < head_.size()) return used;
        length_ = (uint32_t{head_[0]} << 24) | (uint32_t{head_[1]} << 16) |
                  (uint32_t{head_[2]} << 8) | uint32_t{head_[3]};
        // Checked before anything is allocated for the body.
        if (length_ < 1 || length_ > kMaxFrameBody) {
            state_ = State::Refused;
            return used;
        }
        body_.clear();
        body_.reserve(length_);
        state_ = State::Body;
    }
    if (state_ == State::Body) {
        const size_t take = std::min(size - used, static_cast<size_t>(length_) - body_.size());
        body_.insert(body_.end(), data + used, data + used + take);
        used += take;
        if (body_.size() == length_) state_ = State::Frame;
    }
    return used;
}

size_t FrameDecoder::wanted() const {
    switch (state_) {
        case State::Head:
            return head_.size() - headFill_;
        case State::Body:
            return length_ - body_.size();
        case State::Frame:
        case State::Refused:
            break;
    }
    return 0;
}

std::vector<uint8_t> FrameDecoder::takeFrame() {
    if (state_ != State::Frame) return {};
    std::vector<uint8_t> body = std::move(body_);
    reset();
    return body;
}

void FrameDecoder::reset() {
    state_ = State::Head;
    headFill_ = 0;
    length_ = 0;
    body_ = {};
}

// --- reading and sending on any socket -----------------------------------------

FrameRead readFrameFrom(TcpSocket& socket, std::vector<uint8_t>& body, uint32_t headWaitMs,
                        const std::atomic<bool>* stop) {
    FrameDecoder decoder;
    std::array<uint8_t, kReceiveChunk> chunk;
    Deadline deadline = Deadline::in(headWaitMs);
    for (;;) {
        // Only what the current frame still lacks, so the next one stays queued.
        const size_t want = std::min(decoder.wanted(), chunk.size());
        const IoResult r = socket.recvSome(chunk.data(), want, deadline, stop);
        if (r.status == IoStatus::Stopped) return FrameRead::Stopped;
        if (r.status == IoStatus::TimedOut && !decoder.started()) return FrameRead::Idle;
        if (r.status != IoStatus::Ok) {
            // Peer gone, error, or a frame left half-way: the stream is lost.
            socket.shutdown();
            return r.status == IoStatus::Failed ? FrameRead::Failed : FrameRead::Dropped;
        }
        // The rest of a frame has its own, longer bound from its first byte.
        if (!decoder.started()) deadline = Deadline::in(kFrameBodyWaitMs);
        decoder.feed(chunk.data(), r.bytes);
        if (decoder.state() == FrameDecoder::State::Refused) {
            socket.shutdown();
            return FrameRead::Dropped;
        }
        if (decoder.state() == FrameDecoder::State::Frame) {
            std::vector<uint8_t> frame = decoder.takeFrame();
            if (frame.size() == kDiscardedFrameLength) return FrameRead::Discarded;
            body = std::move(frame);
            return FrameRead::Frame;
        }
    }
}

IoResult sendFrameTo(TcpSocket& socket, std::string_view text, uint32_t waitMs) {
    const std::vector<uint8_t> frame = encodeFrame(text);
    return socket.sendAll(frame.data(), frame.size(), Deadline::in(waitMs));
}

// --- FramedSocket ----------------------------------------------------------------

FramedSocket::FramedSocket() = default;

FramedSocket::~FramedSocket() { close(); }

std::shared_ptr<TcpSocket> FramedSocket::currentSocket() const {
    std::lock_guard lock(mutex_);
    return socket_;
}

int FramedSocket::create() {
    readError_ = false;
    stop_ = false;
    connected_ = false;
    errors_.clearMessages();
    if (currentSocket()) close();
    stop_ = false;
    auto socket = std::make_shared<TcpSocket>();
    if (socket->open() != 0) {
        errors_.setError(kSocketFailed, kNetworkFailureText);
        return 0;
    }
    std::lock_guard lock(mutex_);
    socket_ = std::move(socket);
    host_.clear();
    dotted_.clear();
    return 1;
}

int FramedSocket::connect(const std::string& host, int port) {
    {
        std::lock_guard lock(mutex_);
        host_ = host;
        port_ = port;
    }
    if (connected_) return 1;
    const std::shared_ptr<TcpSocket> socket = currentSocket();
    if (!socket || port < 1 || port > 0xffff) return 0;
    const std::optional<Ipv4Address> address = resolveIpv4(host, kFramedConnectWaitMs, &stop_);
    if (!address) {
        errors_.setError(kResolveFailed, kNetworkFailureText);
        close();
        return 0;
    }
    {
        std::lock_guard lock(mutex_);
        dotted_ = address->dotted();
    }
    const IoResult r = socket->connect(*address, static_cast<uint16_t>(port),
                                       Deadline::in(kFramedConnectWaitMs), &stop_);
    if (r.status != IoStatus::Ok) return 0;
    connected_ = true;
    stop_ = false;
    return 1;
}

int FramedSocket::sendAll(std::string_view text) {
    const std::shared_ptr<TcpSocket> socket = currentSocket();
    if (!socket) return 0;
    const IoResult r = sendFrameTo(*socket, text, kFrameSendWaitMs);
    if (r.status == IoStatus::Failed) {
        errors_.setError(kSendFailed, kNetworkFailureText);
        return 0;
    }
    return r.status == IoStatus::Ok ? 1 : 0;
}

int FramedSocket::readFrame(std::vector<uint8_t>& body) {
    return receiveFrame(body) == FrameRead::Frame ? 1 : 0;
}

FrameRead FramedSocket::receiveFrame(std::vector<uint8_t>& body, const std::atomic<bool>* stop) {
    if (stop_ || (stop && stop->load())) return FrameRead::Stopped;
    const std::shared_ptr<TcpSocket> socket = currentSocket();
    if (!socket) return FrameRead::Dropped;
    // close() shuts the socket down, which ends this wait as well.
    const FrameRead result = readFrameFrom(*socket, body, kFrameHeadWaitMs, stop ? stop : &stop_);
    if (result == FrameRead::Failed) {
        readError_ = true;
        errors_.setError(kReadError, kNetworkFailureText);
    }
    if (result == FrameRead::Dropped || result == FrameRead::Failed) connected_ = false;
    return result;
}

int FramedSocket::requestStop() {
    stop_ = true;
    return 1;
}

int FramedSocket::close() {
    stop_ = true;
    std::shared_ptr<TcpSocket> socket;
    {
        std::lock_guard lock(mutex_);
        socket = std::move(socket_);
    }
    if (!socket) return 1;
    connected_ = false;
    // One order: shut down (every wait on it returns), then the last holder,
    // here or a call still in flight on another thread, releases the
    // descriptor once that call has returned.
    socket->shutdown();
    return 1;
}

std::string FramedSocket::host() const {
    std::lock_guard lock(mutex_);
    return host_;
}

int FramedSocket::port() const {
    std::lock_guard lock(mutex_);
    return port_;
}

std::string FramedSocket::dottedAddress() const {
    std::lock_guard lock(mutex_);
    return dotted_;
}

}  // namespace zq
