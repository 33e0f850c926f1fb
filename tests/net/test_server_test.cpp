// The test peer itself: its LZSS stream, reply messages, framed and gateway
// exchanges, faults and the confinement of the pages it serves.
#include "tests/support/test_server.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/lzss.h"
#include "net/reply_unpack.h"
#include "platform/files.h"
#include "platform/socket.h"
#include "tests/support/lzss_pack.h"
#include "tools/zq-testserver/lzss_encoder.h"

namespace zq {
namespace {

using testserver::Fault;
using testserver::Packing;
using testserver::Transport;

constexpr uint32_t kWaitMs = 3000;

std::string pageLikeText(size_t approxSize) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<zqml><body>\n";
    for (int row = 0; text.size() < approxSize; ++row) {
        text += "<text class=\"up\">600" + std::to_string(100 + row % 37) + " 现价 " +
                std::to_string(row * 7 % 1000) +
                ".48</text>\n<a href=\"k.zqml?code=" + std::to_string(row) + "\">K线</a>\n";
    }
    return text + "</body></zqml>\n";
}

// What a client makes of a reply message; nullopt where it would drop it.
struct PeerReply {
    uint8_t kind = 0, secondKind = 0, packing = 0, factor = 0, listener = 0;
    int16_t requestId = 0;
    std::string text;
    std::optional<std::string> second;
};

std::optional<PeerReply> decodeReply(std::string_view message) {
    const DecodedReply d =
        zq::decodeReply({reinterpret_cast<const uint8_t*>(message.data()), message.size()});
    if (d.status != ReplyStatus::Ok) return std::nullopt;
    return PeerReply{d.head.kind,          d.head.secondKind, d.head.method, d.head.factor,
                     d.head.listenerIndex, d.head.requestId,  d.text,        d.secondDocument};
}

// A bare client, so that every byte the server sends can be seen.
struct RawClient {
    TcpSocket socket;

    IoResult connect(uint16_t port) {
        socket.open();
        return socket.connect(*resolveIpv4("127.0.0.1"), port, Deadline::in(kWaitMs));
    }
    bool send(std::string_view bytes) {
        return socket.sendAll(bytes.data(), bytes.size(), Deadline::in(kWaitMs)).status ==
               IoStatus::Ok;
    }
    bool sendFrame(std::string_view body) {
        std::string frame;
        for (int shift = 24; shift >= 0; shift -= 8) {
            frame.push_back(static_cast<char>((body.size() >> shift) & 0xFF));
        }
        return send(frame + std::string(body));
    }
    // The declared length, and the body when it is at most 1 MiB and came whole.
    std::optional<std::pair<uint32_t, std::string>> readFrame(uint32_t waitMs = kWaitMs) {
        uint8_t head[4];
        if (socket.recvExact(head, 4, Deadline::in(waitMs)).status != IoStatus::Ok) return {};
        const uint32_t length = (uint32_t{head[0]} << 24) | (uint32_t{head[1]} << 16) |
                                (uint32_t{head[2]} << 8) | head[3];
        std::string body(std::min<uint32_t>(length, 1u << 20), '\0');
        const IoResult r = socket.recvExact(body.data(), body.size(), Deadline::in(waitMs));
        body.resize(r.bytes);
        return std::make_pair(length, body);
    }
    // The next frame's body, or a marker that no frame came.
    std::string nextBody(uint32_t waitMs = kWaitMs) {
        const auto frame = readFrame(waitMs);
        return frame ? frame->second : std::string("<no frame>");
    }
    // Everything until the peer closes or `waitMs` passes; `reads` counts the pieces.
    std::string readAll(uint32_t waitMs, int* reads = nullptr) {
        std::string all;
        char chunk[4096];
        const Deadline deadline = Deadline::in(waitMs);
        for (IoResult r;
             (r = socket.recvSome(chunk, sizeof chunk, deadline)).status == IoStatus::Ok;) {
            all.append(chunk, r.bytes);
            if (reads) ++*reads;
        }
        return all;
    }
};

std::string gatewayHead(const std::string& target, uint16_t port, const char* version = "1.0") {
    const std::string host = "127.0.0.1:" + std::to_string(port);
    return "GET " + target + " HTTP/" + version + "\r\nHost: " + host +
           "\r\nX-Online-Host: " + host + "\r\nAccept: */*\r\nConnection: Keep-Alive\r\n\r\n";
}

TEST(LzssEncoder, DecoderRestoresRandomAndPageLikeData) {
    std::mt19937 rng(7);
    std::vector<std::string> inputs = {
        "", "a", "abc", std::string(5000, '\0'), std::string(300, 'x'), pageLikeText(30000)};
    // A small alphabet gives many matches, the full byte range almost none.
    for (unsigned alphabet : {4u, 256u}) {
        for (size_t size : {17u, 4095u, 4096u, 4097u, 20000u}) {
            std::string random(size, '\0');
            for (char& c : random) c = static_cast<char>(rng() % alphabet);
            inputs.push_back(random);
        }
    }
    for (const std::string& input : inputs) {
        const std::string packed = testserver::lzssEncode(input);
        EXPECT_EQ(test::lzssUnpack(packed, input.size() + 64), input) << "size " << input.size();
    }
    // Matching must actually happen, against earlier text and the zeroed window.
    const std::string page = pageLikeText(30000);
    EXPECT_LT(testserver::lzssEncode(page).size(), page.size() / 3);
    EXPECT_LT(testserver::lzssEncode(std::string(5000, '\0')).size(), 700u);
}

TEST(TestServerFramed, EachPackingCarriesThePageAndEchoesPageId) {
    test::TestServer server;
    ASSERT_TRUE(server.started());
    const std::string page = pageLikeText(6000);
    server.writePage("kolm/a.zqml", page);
    for (Packing packing : {Packing::Stored, Packing::Lzss, Packing::Zlib}) {
        server.setPacking(packing);
        RawClient client;
        ASSERT_EQ(client.connect(server.framedPort()).status, IoStatus::Ok);
        // Two requests on one connection; the second pageid overflows 16 bits.
        for (int pageId : {300, 70000}) {
            ASSERT_TRUE(client.sendFrame(server.urlFor(
                "/kolm/a.zqml;jsid=9?x=1&pageid=" + std::to_string(pageId) + "&screenid=2")));
            const auto frame = client.readFrame();
            ASSERT_TRUE(frame);
            const auto reply = decodeReply(frame->second);
            ASSERT_TRUE(reply) << "packing " << int(packing);
            EXPECT_EQ(reply->kind, 1);
            EXPECT_EQ(reply->packing, static_cast<uint8_t>(packing));
            EXPECT_EQ(reply->requestId, static_cast<int16_t>(pageId & 0xFFFF));
            EXPECT_EQ(reply->text, page);
        }
    }
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 6u);
    EXPECT_EQ(requests[0].target.path, "/kolm/a.zqml");
    EXPECT_EQ(requests[0].target.param("screenid"), "2");
    EXPECT_EQ(requests[0].url, server.urlFor("/kolm/a.zqml;jsid=9?x=1&pageid=300&screenid=2"));
}

// Regression: with stored packing a page over the frame cap could not be
// served framed at all (the client waited and fell back to HTTP).
TEST(TestServerFramed, PagesTooLongForAFrameArePackedOrNamedAtStartUp) {
    test::TestServer server(Packing::Stored);
    const std::string page = pageLikeText(30000);
    server.writePage("big.zqml", page);
    std::mt19937 rng(11);
    std::string noise(30000, '\0');
    for (char& c : noise) c = static_cast<char>(rng());
    server.writePage("pics/noise.zqml", noise);
    server.writePage("small.zqml", "small");

    RawClient client;
    ASSERT_EQ(client.connect(server.framedPort()).status, IoStatus::Ok);
    ASSERT_TRUE(client.sendFrame(server.urlFor("/big.zqml?pageid=5")));
    const auto frame = client.readFrame();
    ASSERT_TRUE(frame);
    EXPECT_LE(frame->second.size(), testserver::kMaxFramedMessage);
    const auto reply = decodeReply(frame->second);
    ASSERT_TRUE(reply);
    EXPECT_NE(reply->packing, static_cast<uint8_t>(Packing::Stored));
    EXPECT_EQ(reply->text, page);

    const auto unframed = server.unframedFiles();
    ASSERT_EQ(unframed.size(), 1u);
    EXPECT_EQ(unframed[0].first, "/pics/noise.zqml");
    EXPECT_GT(unframed[0].second, testserver::kMaxFramedMessage);
}

// A page's own picture (it names its "controlid") comes as a kind-3 data
// reply for the listener at that position; any other picture (a
// verification picture, an image link) as a kind-25 data reply.
TEST(TestServerFramed, PicturesForTheListenerTheirControlIdNames) {
    test::TestServer server;
    server.writePage("p.png", "png-bytes");
    RawClient client;
    ASSERT_EQ(client.connect(server.framedPort()).status, IoStatus::Ok);
    const struct {
        const char* query;
        uint8_t kind, listener;
    } cases[] = {
        {"?controlid=4&listener=2&pageid=3", 3, 4},  // the page's own word is no listener
        {"?controlid=0&pageid=3", 3, 0},
        {"?controlid=-1&pageid=3", 3, 255},  // an item on no list: no listener has it
        {"?controlid=999&pageid=3", 3, 255},
        {"?pageid=3", 25, 0},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(client.sendFrame(server.urlFor(std::string("/p.png") + c.query)));
        const auto reply = decodeReply(client.nextBody());
        ASSERT_TRUE(reply) << c.query;
        EXPECT_EQ(reply->kind, c.kind) << c.query;
        EXPECT_EQ(reply->listener, c.listener) << c.query;
        EXPECT_EQ(reply->requestId, 3);
        EXPECT_EQ(reply->text, "png-bytes");
    }
    // A missing picture is an empty one, never a "not found" page that would
    // take the place of the page that asked.
    ASSERT_TRUE(client.sendFrame(server.urlFor("/gone.png?pageid=4")));
    const auto missing = decodeReply(client.nextBody());
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->kind, 25);
    EXPECT_EQ(missing->text, "");
}

TEST(TestServerFramed, PathsStayInsideTheRoot) {
    test::TempDir outside;
    ASSERT_TRUE(writeFileAtomic(outside.path() / "secret.txt", "secret"));
    test::TestServer server;
    server.writePage("Pages/Index.zqml", "index");
    const std::string escape = "/../" + outside.path().filename().string() + "/secret.txt";
    RawClient client;
    ASSERT_EQ(client.connect(server.framedPort()).status, IoStatus::Ok);
    for (const std::string& path :
         {escape, std::string("/%2e%2e/x/secret.txt"), std::string("/Pages/../../secret.txt"),
          std::string("/").append(outside.path().string()).append("/secret.txt")}) {
        ASSERT_TRUE(client.sendFrame(server.urlFor(path)));
        const auto reply = decodeReply(client.nextBody());
        ASSERT_TRUE(reply);
        EXPECT_NE(reply->text, "secret") << path;
        EXPECT_NE(reply->text.find("not found"), std::string::npos) << path;
    }
    // Names are found without regard to case, as on the handset.
    ASSERT_TRUE(client.sendFrame(server.urlFor("/pages/INDEX.zqml")));
    EXPECT_EQ(decodeReply(client.nextBody()).value_or(PeerReply{}).text, "index");
}

TEST(TestServerGateway, AnswersAGoodHeadAndRefusesABadOne) {
    test::TestServer server(Packing::Zlib);
    server.writePage("p.zqml", "gateway page");
    {
        RawClient client;
        ASSERT_EQ(client.connect(server.gatewayPort()).status, IoStatus::Ok);
        ASSERT_TRUE(client.send(gatewayHead("/p.zqml?pageid=12", server.framedPort())));
        const std::string response = client.readAll(kWaitMs);
        const size_t headEnd = response.find("\r\n\r\n");
        ASSERT_NE(headEnd, std::string::npos);
        const std::string body = response.substr(headEnd + 4);
        EXPECT_EQ(response.rfind("HTTP/1.0 200 ", 0), 0u);
        EXPECT_NE(response.find("Content-Length: " + std::to_string(body.size()) + "\r\n"),
                  std::string::npos);
        const auto reply = decodeReply(body);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->requestId, 12);
        EXPECT_EQ(reply->text, "gateway page");
    }
    const std::string mismatch = "GET /p.zqml HTTP/1.0\r\nHost: a:1\r\nX-Online-Host: b:1\r\n\r\n";
    const std::string noHost = "GET /p.zqml HTTP/1.0\r\nAccept: */*\r\n\r\n";
    for (const std::string& bad : {gatewayHead("/p.zqml", 1, "2.0"), mismatch, noHost}) {
        RawClient client;
        ASSERT_EQ(client.connect(server.gatewayPort()).status, IoStatus::Ok);
        ASSERT_TRUE(client.send(bad));
        EXPECT_EQ(client.readAll(kWaitMs).rfind("HTTP/1.0 400", 0), 0u) << bad;
    }
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].transport, Transport::Gateway);
    EXPECT_EQ(requests[0].url, server.urlFor("/p.zqml?pageid=12"));
    EXPECT_TRUE(requests[0].headOk);
    EXPECT_FALSE(requests[1].headOk);
}

// Regression: what a standard proxy sends in front of the gateway (HTTP/1.1,
// an absolute URL, Host without a port, no X-Online-Host) was refused.
TEST(TestServerGateway, AcceptsWhatAProxySends) {
    test::TestServer server;
    server.writePage("p.zqml", "proxied page");
    const std::string port = std::to_string(server.gatewayPort());
    const std::string heads[] = {
        "GET /p.zqml HTTP/1.1\r\nHost: 127.0.0.1:" + port + "\r\nConnection: close\r\n\r\n",
        "GET http://srv.example/p.zqml HTTP/1.1\r\nHost: srv.example\r\n\r\n",
        "GET http://srv.example:80/p.zqml HTTP/1.0\r\nX-Online-Host: SRV.example\r\n\r\n",
        "GET /p.zqml HTTP/1.0\r\nHost: srv.example\r\n\r\n",
    };
    for (const std::string& head : heads) {
        RawClient client;
        ASSERT_EQ(client.connect(server.gatewayPort()).status, IoStatus::Ok);
        ASSERT_TRUE(client.send(head));
        const std::string response = client.readAll(kWaitMs);
        EXPECT_EQ(response.rfind("HTTP/1.0 200 ", 0), 0u) << head;
        const size_t headEnd = response.find("\r\n\r\n");
        ASSERT_NE(headEnd, std::string::npos) << head;
        const auto reply = decodeReply(response.substr(headEnd + 4));
        ASSERT_TRUE(reply) << head;
        EXPECT_EQ(reply->text, "proxied page");
    }
    EXPECT_EQ(server.requests().at(1).url, "http://srv.example/p.zqml");
}

// A reply held back is the next one to its path only; it goes out when
// released, and the server says so.
TEST(TestServerFaults, AHeldReplyGoesOutWhenReleasedAndIsReported) {
    test::TestServer server;
    server.writePage("h.zqml", "held");
    server.writePage("o.zqml", "other");
    server.delayNextReply("/h.zqml", 60000);
    RawClient held;
    RawClient other;
    ASSERT_EQ(held.connect(server.framedPort()).status, IoStatus::Ok);
    ASSERT_EQ(other.connect(server.framedPort()).status, IoStatus::Ok);
    ASSERT_TRUE(held.sendFrame(server.urlFor("/h.zqml?pageid=1")));
    ASSERT_TRUE(server.waitForRequests(1, kWaitMs));
    // Another path, and the same path again, are not held.
    ASSERT_TRUE(other.sendFrame(server.urlFor("/o.zqml?pageid=2")));
    EXPECT_EQ(decodeReply(other.nextBody()).value_or(PeerReply{}).text, "other");
    ASSERT_TRUE(other.sendFrame(server.urlFor("/h.zqml?pageid=3")));
    EXPECT_EQ(decodeReply(other.nextBody()).value_or(PeerReply{}).text, "held");
    ASSERT_TRUE(server.waitForRepliesSent("/h.zqml", 1, kWaitMs));
    EXPECT_EQ(server.repliesSent(), (std::vector<std::string>{"/o.zqml", "/h.zqml"}));

    server.releaseDelayedReplies();
    ASSERT_TRUE(server.waitForRepliesSent("/h.zqml", 2, kWaitMs));
    const auto late = decodeReply(held.nextBody());
    ASSERT_TRUE(late);
    EXPECT_EQ(late->requestId, 1);
    EXPECT_EQ(late->text, "held");
}

TEST(TestServerFaults, FramedRepliesMisbehaveAsTold) {
    test::TestServer server;
    server.writePage("f.zqml", pageLikeText(2000));
    server.setLateDelayMs(400);
    server.setSplitPauseMs(30);
    const std::string url = server.urlFor("/f.zqml?pageid=3");
    std::string normal;
    {
        RawClient client;
        ASSERT_EQ(client.connect(server.framedPort()).status, IoStatus::Ok);
        ASSERT_TRUE(client.sendFrame(url));
        normal = client.nextBody();
    }
    struct Case {
        Fault fault;
        void (*check)(RawClient&, const std::string& normal);
    };
    const Case cases[] = {
        {Fault::Late,
         [](RawClient& c, const std::string& n) {
             EXPECT_FALSE(c.readFrame(200)) << "arrived early";
             EXPECT_EQ(c.nextBody(), n);
         }},
        {Fault::Missing, [](RawClient& c, const std::string&) { EXPECT_FALSE(c.readFrame(500)); }},
        {Fault::Split,
         [](RawClient& c, const std::string& n) {
             int reads = 0;
             EXPECT_EQ(c.readAll(800, &reads).substr(4), n);
             EXPECT_GE(reads, 4);
         }},
        {Fault::Oversize,
         [](RawClient& c, const std::string&) {
             const auto frame = c.readFrame();
             ASSERT_TRUE(frame);
             EXPECT_GT(frame->first, 10000u);
         }},
        {Fault::Garbage,
         [](RawClient& c, const std::string& n) {
             const auto frame = c.readFrame();
             ASSERT_TRUE(frame);
             EXPECT_EQ(frame->first, n.size());
             EXPECT_NE(frame->second, n);
         }},
        {Fault::Duplicate,
         [](RawClient& c, const std::string& n) {
             EXPECT_EQ(c.nextBody(), n);
             EXPECT_EQ(c.nextBody(), n);
         }},
        {Fault::CloseMidFrame,
         [](RawClient& c, const std::string& n) {
             const auto frame = c.readFrame();
             ASSERT_TRUE(frame);
             EXPECT_EQ(frame->first, n.size());
             EXPECT_LT(frame->second.size(), n.size());
             EXPECT_EQ(c.readAll(kWaitMs), "") << "connection left open";
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        server.setFault(c.fault, 1);
        RawClient client;
        ASSERT_EQ(client.connect(server.framedPort()).status, IoStatus::Ok);
        ASSERT_TRUE(client.sendFrame(url));
        c.check(client, normal);
        EXPECT_EQ(server.requests().back().fault, c.fault);
    }
    // A fault set for one reply is spent: the next one is normal again.
    RawClient client;
    ASSERT_EQ(client.connect(server.framedPort()).status, IoStatus::Ok);
    ASSERT_TRUE(client.sendFrame(url));
    EXPECT_EQ(client.nextBody(), normal);
}

TEST(TestServerFaults, GatewayMisbehavesAsTold) {
    test::TestServer server;
    server.writePage("g.zqml", "gateway text");
    const auto exchange = [&](Fault fault) {
        server.setFault(fault, 1);
        RawClient client;
        EXPECT_EQ(client.connect(server.gatewayPort()).status, IoStatus::Ok);
        EXPECT_TRUE(client.send(gatewayHead("/g.zqml", server.framedPort())));
        return client.readAll(kWaitMs);
    };
    EXPECT_NE(exchange(Fault::GatewayPage).find("Content-Type: text/vnd.wap.wml"),
              std::string::npos);
    EXPECT_NE(exchange(Fault::Oversize).find("Content-Length: 1048577"), std::string::npos);
    EXPECT_EQ(exchange(Fault::Garbage).find("HTTP/"), std::string::npos);
    const std::string whole = exchange(Fault::None);
    const std::string cut = exchange(Fault::CloseMidFrame);
    EXPECT_LT(cut.size(), whole.size());
    EXPECT_EQ(whole.substr(0, cut.size()), cut);
}

TEST(TestServerFaults, RefusedConnectionsAndPromptStop) {
    auto server = std::make_unique<test::TestServer>();
    const uint16_t port = server->framedPort();
    ASSERT_TRUE(server->setRefusing(true));
    RawClient refused;
    const IoResult r = refused.connect(port);
    EXPECT_EQ(r.status, IoStatus::Failed);
    EXPECT_EQ(r.error, ECONNREFUSED);
    ASSERT_TRUE(server->setRefusing(false));
    RawClient again;
    ASSERT_EQ(again.connect(port).status, IoStatus::Ok);

    // A reply held back for a minute must not hold up the server's end.
    server->setLateDelayMs(60000);
    server->setFault(Fault::Late);
    ASSERT_TRUE(again.sendFrame(server->urlFor("/x")));
    ASSERT_TRUE(server->waitForRequests(1, kWaitMs));
    const auto before = std::chrono::steady_clock::now();
    server.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
}

}  // namespace
}  // namespace zq
