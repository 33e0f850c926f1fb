#include "net/framed_socket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket.h"

namespace zq {
namespace {

using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A peer on 127.0.0.1 that accepts `connections` clients in turn and runs
// `script` on each.
class LoopbackPeer {
public:
    explicit LoopbackPeer(std::function<void(TcpSocket&)> script, int connections = 1) {
        EXPECT_EQ(listener_.listenLoopback(0), 0);
        thread_ = std::thread([this, script, connections] {
            for (int i = 0; i < connections; ++i) {
                TcpSocket client;
                if (listener_.accept(client, Deadline::in(5000)).status != IoStatus::Ok) return;
                script(client);
            }
        });
    }
    ~LoopbackPeer() { thread_.join(); }
    int port() const { return listener_.localPort(); }

private:
    TcpSocket listener_;
    std::thread thread_;
};

void sendBytes(TcpSocket& socket, const std::vector<uint8_t>& bytes) {
    EXPECT_EQ(socket.sendAll(bytes.data(), bytes.size(), Deadline::in(2000)).status, IoStatus::Ok);
}

std::vector<uint8_t> lengthOnly(uint32_t length) {
    const auto head = makeLengthHeader(length);
    return {head.begin(), head.end()};
}

// Holds the peer's side open until the client closes its end.
void waitForClientClose(TcpSocket& socket) {
    uint8_t bytes[64];
    while (socket.recvSome(bytes, sizeof bytes, Deadline::in(6000)).status == IoStatus::Ok) {
    }
}

void waitForByte(TcpSocket& socket) {
    uint8_t byte = 0;
    socket.recvSome(&byte, 1, Deadline::in(6000));
}

std::vector<std::vector<uint8_t>> decodeAll(FrameDecoder& decoder, const std::vector<uint8_t>& in,
                                            size_t from, size_t to) {
    std::vector<std::vector<uint8_t>> frames;
    while (from < to) {
        from += decoder.feed(in.data() + from, to - from);
        if (decoder.state() == FrameDecoder::State::Frame) frames.push_back(decoder.takeFrame());
        if (decoder.state() == FrameDecoder::State::Refused) break;
    }
    return frames;
}

TEST(FrameDecoder, SameFramesWhereverTheStreamIsSplit) {
    const std::vector<std::string> bodies = {"a", std::string(300, 'x'), "sixsix", "reply"};
    std::vector<uint8_t> stream;
    for (const auto& body : bodies) {
        const auto frame = encodeFrame(body);
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    for (size_t cut = 0; cut <= stream.size(); ++cut) {
        FrameDecoder decoder;
        auto frames = decodeAll(decoder, stream, 0, cut);
        const auto rest = decodeAll(decoder, stream, cut, stream.size());
        frames.insert(frames.end(), rest.begin(), rest.end());
        ASSERT_EQ(frames.size(), bodies.size()) << "cut at " << cut;
        for (size_t i = 0; i < bodies.size(); ++i) {
            ASSERT_EQ(std::string(frames[i].begin(), frames[i].end()), bodies[i]) << "cut " << cut;
        }
        EXPECT_FALSE(decoder.started());
    }
    FrameDecoder bytewise;
    size_t count = 0;
    for (size_t i = 0; i < stream.size(); ++i)
        count += decodeAll(bytewise, stream, i, i + 1).size();
    EXPECT_EQ(count, bodies.size());
}

TEST(FrameDecoder, RefusesEmptyAndOversizeLengthsBeforeTheBody) {
    FrameDecoder largest;
    const auto frame = encodeFrame(std::string(kMaxFrameBody, 'm'));
    EXPECT_EQ(largest.feed(frame.data(), frame.size()), frame.size());
    EXPECT_EQ(largest.state(), FrameDecoder::State::Frame);

    for (const uint32_t length : {0u, kMaxFrameBody + 1, 0xffffffffu}) {
        FrameDecoder decoder;
        std::vector<uint8_t> bytes = lengthOnly(length);
        bytes.resize(bytes.size() + 8, 'b');
        EXPECT_EQ(decoder.feed(bytes.data(), bytes.size()), 4u) << length;
        EXPECT_EQ(decoder.state(), FrameDecoder::State::Refused);
        EXPECT_EQ(decoder.feed(bytes.data(), bytes.size()), 0u);
    }
}

TEST(FramedSocket, RequestOutReplyInAndSixByteRepliesDropped) {
    std::string request;
    {
        LoopbackPeer peer([&](TcpSocket& s) {
            std::vector<uint8_t> body;
            if (readFrameFrom(s, body, 2000) == FrameRead::Frame) {
                request.assign(body.begin(), body.end());
            }
            sendBytes(s, encodeFrame("sixsix"));
            sendBytes(s, encodeFrame("page text"));
            waitForClientClose(s);
        });
        FramedSocket link;
        ASSERT_EQ(link.create(), 1);
        ASSERT_EQ(link.connect("127.0.0.1", peer.port()), 1);
        EXPECT_EQ(link.dottedAddress(), "127.0.0.1");
        // Already connected: no new connection, whatever the host.
        EXPECT_EQ(link.connect("10.1.2.3", 1), 1);
        ASSERT_EQ(link.sendAll("http://h/p?pageid=7"), 1);

        std::vector<uint8_t> body;
        EXPECT_EQ(link.receiveFrame(body), FrameRead::Discarded);
        ASSERT_EQ(link.readFrame(body), 1);
        EXPECT_EQ(std::string(body.begin(), body.end()), "page text");
        EXPECT_EQ(link.close(), 1);
    }
    EXPECT_EQ(request, "http://h/p?pageid=7");
}

TEST(FramedSocket, FrameArrivingInPiecesIsOneReply) {
    LoopbackPeer peer([](TcpSocket& s) {
        const auto frame = encodeFrame(std::string(3000, 'z'));
        for (const auto& [from, to] : {std::pair{0, 1}, {1, 4}, {4, 5}, {5, 2000}, {2000, 3004}}) {
            sendBytes(s, std::vector<uint8_t>(frame.begin() + from, frame.begin() + to));
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        waitForClientClose(s);
    });
    FramedSocket link;
    ASSERT_EQ(link.create(), 1);
    ASSERT_EQ(link.connect("127.0.0.1", peer.port()), 1);
    std::vector<uint8_t> body;
    ASSERT_EQ(link.readFrame(body), 1);
    EXPECT_EQ(body, std::vector<uint8_t>(3000, 'z'));
}

TEST(FramedSocket, OversizeReplyDropsTheLinkAndAReopenWorks) {
    int round = 0;
    LoopbackPeer peer(
        [&round](TcpSocket& s) {
            sendBytes(s, round++ == 0 ? lengthOnly(kMaxFrameBody + 1) : encodeFrame("fresh"));
            waitForClientClose(s);
        },
        2);
    FramedSocket link;
    ASSERT_EQ(link.create(), 1);
    ASSERT_EQ(link.connect("127.0.0.1", peer.port()), 1);
    std::vector<uint8_t> body;
    EXPECT_EQ(link.receiveFrame(body), FrameRead::Dropped);
    EXPECT_FALSE(link.isConnected());
    EXPECT_TRUE(link.errors().messages().empty());

    ASSERT_EQ(link.create(), 1);
    ASSERT_EQ(link.connect("127.0.0.1", peer.port()), 1);
    ASSERT_EQ(link.readFrame(body), 1);
    EXPECT_EQ(std::string(body.begin(), body.end()), "fresh");
}

TEST(FramedSocket, PeerClosingEndsTheReadAtOnce) {
    // Regression: a close in the middle of a body kept the reader looping.
    for (const bool midFrame : {false, true}) {
        LoopbackPeer peer([&](TcpSocket& s) {
            if (midFrame) {
                auto frame = encodeFrame(std::string(500, 'q'));
                frame.resize(100);
                sendBytes(s, frame);
            }
            s.close();
        });
        FramedSocket link;
        ASSERT_EQ(link.create(), 1);
        ASSERT_EQ(link.connect("127.0.0.1", peer.port()), 1);
        std::vector<uint8_t> body;
        const auto start = Clock::now();
        EXPECT_EQ(link.receiveFrame(body), FrameRead::Dropped) << midFrame;
        EXPECT_LT(msSince(start), 900) << midFrame;
        EXPECT_FALSE(link.isConnected());
    }
}

TEST(FramedSocket, WaitsEndAtTheirDeadlines) {
    LoopbackPeer peer([](TcpSocket& s) {
        auto frame = encodeFrame(std::string(50, 'h'));
        frame.resize(10);
        waitForByte(s);       // first read: nothing at all
        sendBytes(s, frame);  // second: half a frame, then silence
        waitForClientClose(s);
    });
    FramedSocket link;
    ASSERT_EQ(link.create(), 1);
    ASSERT_EQ(link.connect("127.0.0.1", peer.port()), 1);
    std::vector<uint8_t> body;

    auto start = Clock::now();
    EXPECT_EQ(link.receiveFrame(body), FrameRead::Idle);
    EXPECT_GE(msSince(start), kFrameHeadWaitMs - 50);
    EXPECT_LT(msSince(start), kFrameHeadWaitMs + 500);
    EXPECT_TRUE(link.isConnected());
    EXPECT_TRUE(link.errors().messages().empty());

    // Wake the peer with a byte it reads as "go on".
    ASSERT_EQ(link.sendAll(""), 1);
    start = Clock::now();
    EXPECT_EQ(link.receiveFrame(body), FrameRead::Dropped);
    EXPECT_GE(msSince(start), kFrameBodyWaitMs - 50);
    EXPECT_LT(msSince(start), kFrameBodyWaitMs + 1500);
}

TEST(FramedSocket, StopFromAnotherThreadEndsAnIdleRead) {
    LoopbackPeer peer([](TcpSocket& s) { waitForClientClose(s); });
    FramedSocket link;
    ASSERT_EQ(link.create(), 1);
    ASSERT_EQ(link.connect("127.0.0.1", peer.port()), 1);
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        link.close();
    });
    std::vector<uint8_t> body;
    const auto start = Clock::now();
    const FrameRead result = link.receiveFrame(body);
    EXPECT_TRUE(result == FrameRead::Stopped || result == FrameRead::Dropped);
    EXPECT_LT(msSince(start), 600);
    stopper.join();
    EXPECT_EQ(link.receiveFrame(body), FrameRead::Stopped);
}

// Pins: the name lookup of a host had no deadline, so a connect could hang
// in it for good.
TEST(FramedSocket, ConnectLeavesAHangingNameLookupWhenClosed) {
    setHostLookup([](const std::string&) -> std::optional<Ipv4Address> {
        std::this_thread::sleep_for(std::chrono::milliseconds(3000));
        return std::nullopt;
    });
    FramedSocket link;
    ASSERT_EQ(link.create(), 1);
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        link.close();
    });
    const auto start = Clock::now();
    EXPECT_EQ(link.connect("slow.example", 80), 0);
    EXPECT_LT(msSince(start), 1000);
    closer.join();
    setHostLookup({});
    EXPECT_EQ(link.errors().errorText(7), CString(kNetworkFailureText));
}

TEST(FramedSocket, RefusedConnectAndBadAddressFail) {
    uint16_t closedPort = 0;
    {
        TcpSocket listener;
        ASSERT_EQ(listener.listenLoopback(0), 0);
        closedPort = listener.localPort();
    }
    FramedSocket link;
    ASSERT_EQ(link.create(), 1);
    const auto start = Clock::now();
    EXPECT_EQ(link.connect("127.0.0.1", closedPort), 0);
    EXPECT_LT(msSince(start), 1000);
    EXPECT_FALSE(link.isConnected());
    EXPECT_EQ(link.sendAll("x"), 0);

    // A digit first means a dotted address, never a name to look up.
    ASSERT_EQ(link.create(), 1);
    EXPECT_EQ(link.connect("999.1.2.3", 80), 0);
    EXPECT_EQ(link.errors().errorText(7), CString(kNetworkFailureText));
}

}  // namespace
}  // namespace zq
