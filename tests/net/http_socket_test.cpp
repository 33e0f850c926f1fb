#include "net/http_socket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
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

// A gateway on 127.0.0.1 for one client: reads the request head, keeps it,
// then runs `answer`.
class LoopbackGateway {
public:
    explicit LoopbackGateway(std::function<void(TcpSocket&)> answer) {
        EXPECT_EQ(listener_.listenLoopback(0), 0);
        thread_ = std::thread([this, answer] {
            TcpSocket client;
            if (listener_.accept(client, Deadline::in(5000)).status != IoStatus::Ok) return;
            char chunk[256];
            while (request_.find("\r\n\r\n") == std::string::npos) {
                const IoResult r = client.recvSome(chunk, sizeof chunk, Deadline::in(3000));
                if (r.status != IoStatus::Ok) return;
                request_.append(chunk, r.bytes);
            }
            answer(client);
        });
    }
    ~LoopbackGateway() { join(); }
    void join() {
        if (thread_.joinable()) thread_.join();
    }
    HttpGateway gateway() const { return {"127.0.0.1", listener_.localPort()}; }
    // Read only after join().
    const std::string& request() const { return request_; }

private:
    TcpSocket listener_;
    std::thread thread_;
    std::string request_;
};

void say(TcpSocket& socket, const std::string& text) {
    socket.sendAll(text.data(), text.size(), Deadline::in(2000));
}

void drain(TcpSocket& socket) {
    char bytes[64];
    while (socket.recvSome(bytes, sizeof bytes, Deadline::in(4000)).status == IoStatus::Ok) {
    }
}

TEST(HttpUrl, SplitsHostPortAndPath) {
    struct Case {
        const char* url;
        const char* host;
        const char* port;
        const char* path;
    };
    const Case cases[] = {
        {"http://quote.example.cn:8080/zq/index.zqml?a=1&b=2", "quote.example.cn", "8080",
         "/zq/index.zqml?a=1&b=2"},
        {"http://10.1.2.3:80", "10.1.2.3", "80", ""},
        {"host:81/x:y", "host", "81", "/x:y"},
        {"http://nohost/page", "", "", "/page"},
        {"http://http://h:1/a", "http", "", "//h:1/a"},
        {"HTTP://h:1/p?u=http://x/y", "h", "1", "/p?u=http://x/y"},
        {"", "", "", ""},
    };
    for (const Case& c : cases) {
        CString host, port, path;
        splitHttpUrl(CString(c.url), host, port, path);
        EXPECT_EQ(host.toUtf8(), c.host) << c.url;
        EXPECT_EQ(port.toUtf8(), c.port) << c.url;
        EXPECT_EQ(path.toUtf8(), c.path) << c.url;
    }
}

// A link without a port still names the host a request to it connects to.
TEST(HttpUrl, ATargetWithoutAPortKeepsItsHost) {
    struct Case {
        const char* url;
        const char* host;
        const char* port;
        const char* path;
    };
    const Case cases[] = {
        {"http://img.example.cn/a/b.png", "img.example.cn", "", "/a/b.png"},
        {"http://img.example.cn", "img.example.cn", "", ""},
        {"http://h:81/x:y", "h", "81", "/x:y"},
        {"http://h/p?u=http://x/y", "h", "", "/p?u=http://x/y"},
    };
    for (const Case& c : cases) {
        CString host, port, path;
        splitHttpTarget(CString(c.url), host, port, path);
        EXPECT_EQ(host.toUtf8(), c.host) << c.url;
        EXPECT_EQ(port.toUtf8(), c.port) << c.url;
        EXPECT_EQ(path.toUtf8(), c.path) << c.url;
    }
}

TEST(HttpRequestHead, LinesInOrderAndNoInjectedLines) {
    EXPECT_EQ(buildRequestHead("GET", "h.cn", 8080, "/p?x=1"),
              std::string("GET /p?x=1 HTTP/1.0\r\n"
                          "Host: h.cn:8080\r\n"
                          "X-Online-Host: h.cn:8080\r\n"
                          "Accept: */*\r\n"
                          "User-Agent: ") +
                  kHttpUserAgent +
                  "\r\n"
                  "UA-OS: Windows CE (Pocket PC) - Version 5.1\r\n"
                  "Connection: Keep-Alive\r\n"
                  "\r\n");
    EXPECT_NE(
        buildRequestHead("GET", "h", 1, "/", "X-A: 1\r\n").find("Keep-Alive\r\nX-A: 1\r\n\r\n"),
        std::string::npos);
    EXPECT_EQ(buildRequestHead("GET", "h", 80, "/a\r\nEvil: 1"), "");
    EXPECT_EQ(buildRequestHead("GET", "h\n", 80, "/"), "");
}

TEST(HttpResponseHead, EndFoundInAnyPrefixAndWithinTheLimit) {
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n";
    const std::string stream = head + "abc";
    for (size_t n = 0; n <= stream.size(); ++n) {
        const HeadScanResult r = scanResponseHead(std::string_view(stream).substr(0, n));
        if (n < head.size()) {
            EXPECT_EQ(r.kind, HeadScan::NeedMore) << n;
        } else {
            EXPECT_EQ(r.kind, HeadScan::Complete) << n;
            EXPECT_EQ(r.headLength, head.size());
        }
    }
    const std::string filler(kMaxResponseHead - 4, 'x');
    EXPECT_EQ(scanResponseHead(filler + "\r\n\r\n").kind, HeadScan::Complete);
    EXPECT_EQ(scanResponseHead(filler + "x\r\n\r\n").kind, HeadScan::TooLong);
    EXPECT_EQ(scanResponseHead(std::string(kMaxResponseHead, 'x')).kind, HeadScan::TooLong);

    EXPECT_TRUE(isStatusOk("HTTP/1.1 200 OK\r\n\r\n"));
    EXPECT_TRUE(isStatusOk("HTTP/1.0 200"));
    EXPECT_FALSE(isStatusOk("HTTP/1.0 302 Found\r\n\r\n"));
    EXPECT_FALSE(isStatusOk("HTTP/1.0 20"));
}

TEST(HttpResponseHead, HeaderValuesAndContentLength) {
    const std::string head =
        "HTTP/1.0 200 OK\r\n"
        "X-Content-Length: 99\r\n"
        "content-TYPE:\t  Text/ZQML; charset=UTF-8\r\n"
        "Content-Length:42\r\n"
        "Empty:\r\n"
        "\r\n";
    std::string value;
    EXPECT_EQ(headerValue(head, "Content-Type", value), 24);
    EXPECT_EQ(value, "text/zqml; charset=utf-8");
    // Regression: the first value character was lost without a blank after the colon.
    EXPECT_EQ(headerValue(head, "CONTENT-LENGTH", value), 2);
    EXPECT_EQ(value, "42");
    EXPECT_EQ(contentLength(head), 42);
    EXPECT_EQ(headerValue(head, "Empty", value), -1);
    EXPECT_EQ(headerValue(head, "Server", value), -1);

    const auto lengthOf = [](const std::string& text) {
        return contentLength("HTTP/1.0 200 OK\r\nContent-Length: " + text + "\r\n\r\n");
    };
    EXPECT_EQ(lengthOf("1048576"), 1048576);
    EXPECT_EQ(lengthOf("1048577"), -1);
    EXPECT_EQ(lengthOf("99999999999999999999999"), -1);
    EXPECT_EQ(lengthOf("12abc"), -1);
    EXPECT_EQ(lengthOf("-5"), -1);
    EXPECT_EQ(contentLength("HTTP/1.0 200 OK\r\n\r\n"), -1);
}

TEST(HttpGateways, ChosenByCarrierName) {
    HttpGatewayConfig config;
    config.mobileAddress = "10.9.9.1";
    config.telecomAddress = "10.9.9.2";
    config.port = 8080;
    EXPECT_EQ(gatewayForCarrier(u"中国移动(CM)", config).address, "10.9.9.1");
    EXPECT_EQ(gatewayForCarrier(u"中国联通(uni)", config).address, "10.9.9.1");
    EXPECT_EQ(gatewayForCarrier(u"中国电信(CT)", config).address, "10.9.9.2");
    EXPECT_EQ(gatewayForCarrier(u"中国电信(CT)", config).port, 8080);
    EXPECT_EQ(gatewayForCarrier(u"Other", config).address, "");

    HttpExchangeResult result;
    EXPECT_EQ(httpExchange(u"http://h:1/", gatewayForCarrier(u"Other", config), 500, result), 0);
}

TEST(HttpExchange, GetThroughTheGateway) {
    const std::string head =
        "HTTP/1.1 200 OK\r\nContent-Type:  Text/Plain\r\nContent-Length: 5\r\n\r\n";
    LoopbackGateway gateway([&head](TcpSocket& s) {
        say(s, head + "hel");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        say(s, "lo");
        drain(s);
    });
    HttpExchangeResult result;
    ASSERT_EQ(httpExchange(u"http://srv.example:7001/zq/a.zqml?pageid=3", gateway.gateway(), 3000,
                           result),
              1);
    gateway.join();
    EXPECT_EQ(std::string(result.body.begin(), result.body.end()), "hello");
    EXPECT_EQ(result.contentType, "text/plain");
    EXPECT_EQ(gateway.request(),
              buildRequestHead("GET", "srv.example", 7001, "/zq/a.zqml?pageid=3"));
    EXPECT_EQ(result.bytesSent, gateway.request().size());
    EXPECT_EQ(result.bytesReceived, head.size() + 5);
}

// Regression: replies as real gateways send them failed: nginx leaves out
// Content-Length when its upstream streams, tinyproxy passes chunked bodies
// on, and a few cookies made the head longer than 1,023 bytes.
TEST(HttpExchange, BodiesAsGatewaysSendThem) {
    const std::string cookies = "Set-Cookie: s=" + std::string(3000, 'c') + "\r\n";
    const std::vector<std::string> pieces[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 11\r\n\r\n", "hello world"},
        {"HTTP/1.0 200 OK\r\nContent-Type: text/zqml\r\n\r\nhello", " world"},  // then closed
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n",
         "6;ext=1\r\n world\r\n0\r\nX-Trailer: 1\r\n\r\n"},
        {"HTTP/1.1 200 OK\r\nTRANSFER-ENCODING: Chunked\r\nContent-Length: 99\r\n\r\nb\r",
         "\nhello", " world\r\n0\r\n\r\n"},
        {"HTTP/1.1 200 OK\r\n" + cookies + cookies + "Content-Length: 11\r\n\r\nhello world"},
    };
    for (const auto& reply : pieces) {
        LoopbackGateway gateway([&reply](TcpSocket& s) {
            for (const std::string& piece : reply) {
                say(s, piece);
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
        HttpExchangeResult result;
        EXPECT_EQ(httpExchange(u"http://h:1/p", gateway.gateway(), 3000, result), 1)
            << reply[0].substr(0, 60);
        EXPECT_EQ(std::string(result.body.begin(), result.body.end()), "hello world");
        size_t wire = 0;
        for (const std::string& piece : reply) wire += piece.size();
        EXPECT_EQ(result.bytesReceived, wire);
    }
}

// Regression: a link without a port sent "Host: h:0".
TEST(HttpExchange, LinkWithoutAPortNamesPort80) {
    LoopbackGateway gateway([](TcpSocket& s) { say(s, "HTTP/1.0 200 OK\r\n\r\nx"); });
    HttpExchangeResult result;
    EXPECT_EQ(httpExchange(u"http://srv.example/zq/a.zqml", gateway.gateway(), 3000, result), 1);
    gateway.join();
    EXPECT_EQ(gateway.request(), buildRequestHead("GET", "srv.example", 80, "/zq/a.zqml"));
}

TEST(HttpExchange, BadRepliesFail) {
    const std::string replies[] = {
        "HTTP/1.0 302 Found\r\nContent-Length: 2\r\n\r\nok",
        "HTTP/1.0 404 Not Found\r\n\r\nmissing",
        "HTTP/1.1 502 Bad Gateway\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nno\r\n0\r\n\r\n",
        "HTTP/1.0 200 OK\r\nContent-Length: 1048577\r\n\r\nbody",
        "HTTP/1.0 200 OK\r\nContent-Length: 12abc\r\n\r\nbody",
        "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n",
        "HTTP/1.0 200 OK\r\n\r\n",                             // closed: nothing until the close
        "HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nshort",  // then closed
        "HTTP/1.0 200 OK\r\nTransfer-Encoding: gzip\r\n\r\nbody",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhel",  // closed mid-chunk
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhelloXX0\r\n\r\n",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n100001\r\n",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n",
        "HTTP/1.0 200 OK\r\nX: " + std::string(kMaxResponseHead, 'x') + "\r\n\r\n",
    };
    for (const std::string& reply : replies) {
        LoopbackGateway gateway([&](TcpSocket& s) { say(s, reply); });
        HttpExchangeResult result;
        const auto start = Clock::now();
        EXPECT_EQ(httpExchange(u"http://h:1/p", gateway.gateway(), 3000, result), 0)
            << reply.substr(0, 40);
        EXPECT_LT(msSince(start), 1500) << reply.substr(0, 40);
        EXPECT_TRUE(result.body.empty());
    }
    // A body without a length is capped as any other.
    for (const char* head :
         {"HTTP/1.0 200 OK\r\n\r\n", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"}) {
        const bool chunked = std::string(head).find("chunked") != std::string::npos;
        LoopbackGateway gateway([&](TcpSocket& s) {
            say(s, head);
            const std::string block(64 * 1024, 'b');
            for (int i = 0; i < 17; ++i) {
                say(s, chunked ? "10000\r\n" + block + "\r\n" : block);
            }
        });
        HttpExchangeResult result;
        EXPECT_EQ(httpExchange(u"http://h:1/p", gateway.gateway(), 3000, result), 0) << head;
        EXPECT_TRUE(result.body.empty());
    }
}

TEST(ChunkedDecoder, SameBodyHoweverTheStreamIsCut) {
    const std::string stream =
        "4\r\nWiki\r\n5;x=y\r\npedia\r\nE\n in\r\n\r\nchunks.\n0\r\nT: 1\r\n\r\nafter";
    for (size_t step = 1; step <= stream.size(); ++step) {
        ChunkedDecoder decoder;
        std::vector<uint8_t> body;
        for (size_t at = 0; at < stream.size(); at += step) {
            decoder.feed(std::string_view(stream).substr(at, step), body);
        }
        EXPECT_EQ(decoder.state(), ChunkedDecoder::State::Done) << step;
        EXPECT_EQ(std::string(body.begin(), body.end()), "Wikipedia in\r\n\r\nchunks.") << step;
    }
    const std::pair<const char*, ChunkedDecoder::State> ends[] = {
        {"5\r\nhel", ChunkedDecoder::State::NeedMore},
        {"-1\r\n", ChunkedDecoder::State::Bad},
        {"5x\r\n", ChunkedDecoder::State::Bad},
        {"2\r\nab!\r\n", ChunkedDecoder::State::Bad},
        {"fffffffffffffffffffff\r\n", ChunkedDecoder::State::TooLong},
    };
    for (const auto& [text, state] : ends) {
        ChunkedDecoder decoder;
        std::vector<uint8_t> body;
        EXPECT_EQ(decoder.feed(text, body), state) << text;
    }
    ChunkedDecoder longLine;
    std::vector<uint8_t> body;
    EXPECT_EQ(longLine.feed("1;" + std::string(ChunkedDecoder::kMaxLine, 'e'), body),
              ChunkedDecoder::State::Bad);
}

TEST(HttpExchange, OneDeadlineForTheWholeExchange) {
    // The gateway trickles a byte at a time, each well within any single wait.
    LoopbackGateway gateway([](TcpSocket& s) {
        const std::string reply = "HTTP/1.0 200 OK\r\nContent-Length: 400\r\n\r\n";
        for (char c : reply + std::string(400, 'b')) {
            if (s.sendAll(&c, 1, Deadline::in(500)).status != IoStatus::Ok) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    HttpExchangeResult result;
    const auto start = Clock::now();
    EXPECT_EQ(httpExchange(u"http://h:1/p", gateway.gateway(), 700, result), 0);
    EXPECT_GE(msSince(start), 650);
    EXPECT_LT(msSince(start), 1200);
}

TEST(HttpExchange, RefusedGatewayAndStopEndAtOnce) {
    HttpGateway closed{"127.0.0.1", 0};
    {
        TcpSocket listener;
        ASSERT_EQ(listener.listenLoopback(0), 0);
        closed.port = listener.localPort();
    }
    HttpExchangeResult result;
    auto start = Clock::now();
    EXPECT_EQ(httpExchange(u"http://h:1/p", closed, 3000, result), 0);
    EXPECT_LT(msSince(start), 1000);

    LoopbackGateway silent([](TcpSocket& s) { drain(s); });
    std::atomic<bool> stop{false};
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop = true;
    });
    start = Clock::now();
    EXPECT_EQ(httpExchange(u"http://h:1/p", silent.gateway(), 3000, result, &stop), 0);
    EXPECT_LT(msSince(start), 1000);
    stopper.join();
}

// Regression: cancelling a load left its exchange waiting for the whole
// reply time on its thread.
TEST(HttpCancel, ClosesTheConnectionAtOnce) {
    std::atomic<long long> peerSawCloseAfter{-1};
    const auto start = Clock::now();
    LoopbackGateway silent([&](TcpSocket& s) {
        drain(s);
        peerSawCloseAfter = msSince(start);
    });
    HttpCancel cancel;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        cancel.cancel();
    });
    HttpExchangeResult result;
    EXPECT_EQ(httpExchange(u"http://h:1/p", silent.gateway(), 5000, result, cancel), 0);
    EXPECT_LT(msSince(start), 600);
    canceller.join();
    silent.join();
    EXPECT_GE(peerSawCloseAfter.load(), 100);
    EXPECT_LT(peerSawCloseAfter.load(), 800);

    // Cancelled before it starts: it never connects.
    TcpSocket listener;
    ASSERT_EQ(listener.listenLoopback(0), 0);
    const HttpGateway unused{"127.0.0.1", listener.localPort()};
    EXPECT_EQ(httpExchange(u"http://h:1/p", unused, 5000, result, cancel), 0);
    TcpSocket client;
    EXPECT_NE(listener.accept(client, Deadline::in(100)).status, IoStatus::Ok);
}

TEST(HttpRequestRunner, FewThreadsEveryJobOnceAndCancelledJobsEndAtOnce) {
    std::atomic<int> ran{0};
    std::atomic<int> failedFast{0};
    std::vector<std::unique_ptr<LoopbackGateway>> silent;
    for (int i = 0; i < 3; ++i) {
        silent.push_back(std::make_unique<LoopbackGateway>([](TcpSocket& s) { drain(s); }));
    }
    const auto start = Clock::now();
    {
        HttpRequestRunner runner;
        std::vector<std::shared_ptr<HttpCancel>> tokens;
        for (int i = 0; i < 8; ++i) {
            const HttpGateway gateway = silent[static_cast<size_t>(i % 3)]->gateway();
            tokens.push_back(runner.submit([&, gateway, i](HttpCancel& cancel) {
                HttpExchangeResult result;
                const auto begun = Clock::now();
                // Only the first three reach a gateway; the rest are cancelled while queued.
                if (i < 3) {
                    EXPECT_EQ(httpExchange(u"http://h:1/p", gateway, 10000, result, cancel), 0);
                } else {
                    EXPECT_TRUE(cancel.cancelled());
                    EXPECT_EQ(httpExchange(u"http://h:1/p", gateway, 10000, result, cancel), 0);
                }
                if (msSince(begun) < 1000) ++failedFast;
                ++ran;
            }));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_LE(runner.threadCount(), kMaxHttpThreads);
        for (size_t i = 3; i < tokens.size(); ++i) tokens[i]->cancel();
        EXPECT_EQ(ran.load(), 0);  // three wait on silent gateways and hold every thread
        tokens[0]->cancel();
        const auto cancelled = Clock::now();
        while (ran.load() < 6 && msSince(cancelled) < 1000) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_EQ(ran.load(), 6);  // the cancelled one and the five queued behind it
    }                              // the runner cancels the two still running
    EXPECT_EQ(ran.load(), 8);
    EXPECT_EQ(failedFast.load(), 8);
    EXPECT_LT(msSince(start), 3000);
}

}  // namespace
}  // namespace zq
