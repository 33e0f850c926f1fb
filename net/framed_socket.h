// The direct TCP link to a page server: length-prefixed frames.
//
// Wire format, both directions: a 4-byte big-endian body length, then the
// body. A request body is the request URL in the narrow system code page,
// without a NUL. A reply is accepted with a length of 1 to kMaxFrameBody
// bytes; a 6-byte reply is read and dropped. A refused length leaves the
// stream out of step, so the connection is shut down and must be reopened
// (create + connect).
//
// Waits: a frame's head may take kFrameHeadWaitMs to start (an idle poll
// costs that long); once its first byte is in, the rest must follow within
// kFrameBodyWaitMs. Sends and connects have their own bounds. Nothing
// blocks longer, and no call throws.
//
// Failures are recorded in the connection's ZQException with
// kNetworkFailureText and these codes: 1 a socket error while reading,
// 6 no socket could be opened, 7 the host could not be resolved (also when
// the lookup outlasts the connect wait), 8 send failed. Time-outs record
// nothing.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/zq_exception.h"
#include "platform/socket.h"

namespace zq {

inline constexpr char16_t kNetworkFailureText[] = u"由于网络原因，暂时无法完成连接";

constexpr uint32_t kMaxFrameBody = 10000;
constexpr uint32_t kDiscardedFrameLength = 6;
constexpr uint32_t kFrameHeadWaitMs = 1000;
constexpr uint32_t kFrameBodyWaitMs = 4000;
constexpr uint32_t kFrameSendWaitMs = 4000;
constexpr uint32_t kFramedConnectWaitMs = 6000;

// The 4 length bytes, big-endian.
std::array<uint8_t, 4> makeLengthHeader(uint32_t length);
// Length header and body in one buffer.
std::vector<uint8_t> encodeFrame(std::string_view body);

// Splits a byte stream into reply frames, whatever the pieces it arrives in.
class FrameDecoder {
public:
    enum class State {
        Head,     // reading the 4 length bytes
        Body,     // reading the body
        Frame,    // a whole frame is ready: takeFrame()
        Refused,  // the length was 0 or above kMaxFrameBody; the stream is lost
    };

    // Takes bytes up to the end of the current frame and returns how many it
    // took; takes none while a frame waits or after a refusal.
    size_t feed(const uint8_t* data, size_t size);
    // Bytes still missing from the current head or body.
    size_t wanted() const;
    State state() const { return state_; }
    // True once any byte of the current frame has been taken.
    bool started() const { return headFill_ > 0; }
    // The body length read from the head (valid from Body on).
    uint32_t declaredLength() const { return length_; }
    // In state Frame: hands out the body and gets ready for the next frame.
    std::vector<uint8_t> takeFrame();
    void reset();

private:
    State state_ = State::Head;
    std::array<uint8_t, 4> head_{};
    size_t headFill_ = 0;
    uint32_t length_ = 0;
    std::vector<uint8_t> body_;
};

enum class FrameRead {
    Frame,      // `body` holds a reply
    Idle,       // no byte arrived within the head wait; the link is fine
    Discarded,  // a 6-byte reply was read and dropped
    Dropped,    // refused length, peer closed or a frame left half-way at its
                // deadline: the socket was shut down
    Failed,     // a socket error: the socket was shut down
    Stopped,    // the stop flag rose
};

// Reads one frame from any socket (the speed test drives sockets of its own).
FrameRead readFrameFrom(TcpSocket& socket, std::vector<uint8_t>& body, uint32_t headWaitMs,
                        const std::atomic<bool>* stop = nullptr);
// Sends one frame whose body is `text`, within `waitMs`.
IoResult sendFrameTo(TcpSocket& socket, std::string_view text, uint32_t waitMs);

// One connection. Threads: one thread sends while another reads;
// close() and requestStop() may be called from any thread and end a read
// within kStopPollMs. create() and connect() must not overlap a read or a
// send on another thread.
class FramedSocket {
public:
    FramedSocket();
    ~FramedSocket();
    FramedSocket(const FramedSocket&) = delete;
    FramedSocket& operator=(const FramedSocket&) = delete;

    // A fresh non-blocking socket (any previous one is closed); clears the
    // flags and the error holder's list. 1 / 0.
    int create();
    // Connects the socket made by create(). Already connected: 1 at once,
    // whatever the host. A refused or timed-out connect gives 0.
    int connect(const std::string& host, int port);
    // One frame whose body is `text` (narrow bytes). 1 / 0.
    int sendAll(std::string_view text);
    // One reply frame into `body`. 1 / 0.
    int readFrame(std::vector<uint8_t>& body);
    // The same with the reason when no frame came. After Dropped or Failed
    // the connection is no longer connected. `stop` (a worker's own flag)
    // replaces the connection's stop flag for the wait; close() ends the
    // wait either way.
    FrameRead receiveFrame(std::vector<uint8_t>& body, const std::atomic<bool>* stop = nullptr);
    // Leaves every wait; refuses new reads until create()/connect(). 1.
    int requestStop();
    // Stops and shuts the socket down; its descriptor is released by the
    // last call still using it, never under one. 1.
    int close();

    bool isConnected() const { return connected_.load(); }
    // Set when a receive failed with a socket error.
    bool hasReadError() const { return readError_.load(); }
    std::string host() const;
    int port() const;
    // "%d.%d.%d.%d" of the connected peer.
    std::string dottedAddress() const;
    ZQException& errors() { return errors_; }

private:
    std::shared_ptr<TcpSocket> currentSocket() const;

    ZQException errors_;
    mutable std::mutex mutex_;  // guards socket_, host_, port_, dotted_
    // Shared with calls in flight so a close on another thread never frees
    // the descriptor under them.
    std::shared_ptr<TcpSocket> socket_;
    std::string host_;
    int port_ = 0;
    std::string dotted_;
    std::atomic<bool> connected_{false};
    std::atomic<bool> readError_{false};
    std::atomic<bool> stop_{false};
};

}  // namespace zq
