#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

#include "net/framed_socket.h"
#include "net/request_session.h"
#include "platform/clock.h"

namespace zq {
namespace {

// Polls `done` every 10 ms for at most `ms`.
template <class Fn>
bool waitUntil(Fn done, uint32_t ms = 5000) {
    uint32_t start = tickCount();
    while (!done()) {
        if (ticksSince(start) > static_cast<int32_t>(ms)) return false;
        sleepMs(10);
    }
    return true;
}

int pageIdOf(std::string_view text) {
    size_t at = text.find("pageid=");
    return at == std::string_view::npos ? 0 : std::atoi(std::string(text.substr(at + 7)).c_str());
}

// A page server on 127.0.0.1: framed (echoes each request URL as the reply,
// or stays silent) or an HTTP gateway (answers 200 with the request path as
// the body, or 500). `onRequest` sees each request text before the answer.
class LoopbackPeer {
public:
    enum class Mode { Echo, Silent, Http, HttpError, HttpSilent };

    explicit LoopbackPeer(Mode mode, std::function<void(const std::string&)> onRequest = {})
        : mode_(mode), onRequest_(std::move(onRequest)) {
        EXPECT_EQ(listener_.listenLoopback(0), 0);
        acceptor_ = std::thread([this] { acceptLoop(); });
    }
    ~LoopbackPeer() {
        stop_.store(true);
        acceptor_.join();
        for (std::thread& t : clients_) t.join();
    }
    int port() const { return listener_.localPort(); }
    int requests() const { return requests_.load(); }
    // HttpSilent: connections the client has closed, and the most open at once.
    int closes() const { return closes_.load(); }
    int mostOpen() const { return mostOpen_.load(); }

private:
    void acceptLoop() {
        while (!stop_.load()) {
            TcpSocket client;
            if (listener_.accept(client, Deadline::in(50), &stop_).status != IoStatus::Ok) continue;
            clients_.emplace_back([this, c = std::move(client)]() mutable { serve(c); });
        }
    }
    void serve(TcpSocket& client) {
        if (mode_ == Mode::HttpSilent) return holdOpen(client);
        bool http = mode_ == Mode::Http || mode_ == Mode::HttpError;
        while (!stop_.load()) {
            std::string request;
            if (http) {
                if (!readHttpHead(client, request)) return;
            } else {
                std::vector<uint8_t> body;
                FrameRead r = readFrameFrom(client, body, 100, &stop_);
                if (r == FrameRead::Idle) continue;
                if (r != FrameRead::Frame) return;
                request.assign(body.begin(), body.end());
            }
            ++requests_;
            if (onRequest_) onRequest_(request);
            answer(client, request);
            if (http) return;
        }
    }
    // Reads the request, answers nothing and waits for the client to close.
    void holdOpen(TcpSocket& client) {
        std::string head;
        const int open = ++open_;
        for (int most = mostOpen_.load();
             open > most && !mostOpen_.compare_exchange_weak(most, open);) {
        }
        if (readHttpHead(client, head)) ++requests_;
        char byte;
        while (!stop_.load()) {
            IoResult r = client.recvSome(&byte, 1, Deadline::in(50), &stop_);
            if (r.status == IoStatus::TimedOut) continue;
            if (r.status != IoStatus::Stopped) ++closes_;
            break;
        }
        --open_;
    }
    bool readHttpHead(TcpSocket& client, std::string& head) {
        char buffer[512];
        while (head.find("\r\n\r\n") == std::string::npos && head.size() < 4096) {
            IoResult r = client.recvSome(buffer, sizeof buffer, Deadline::in(3000), &stop_);
            if (r.status != IoStatus::Ok) return false;
            head.append(buffer, r.bytes);
        }
        return true;
    }
    void answer(TcpSocket& client, const std::string& request) {
        std::string reply;
        if (mode_ == Mode::Echo) {
            std::vector<uint8_t> frame = encodeFrame(request);
            reply.assign(frame.begin(), frame.end());
        } else if (mode_ == Mode::Http) {
            std::string body = request.substr(0, request.find("\r\n"));
            reply = "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                    "\r\n\r\n" + body;
        } else if (mode_ == Mode::HttpError) {
            reply = "HTTP/1.0 500 Oops\r\nContent-Length: 1\r\n\r\nx";
        }
        if (!reply.empty()) client.sendAll(reply.data(), reply.size(), Deadline::in(2000));
    }

    Mode mode_;
    std::function<void(const std::string&)> onRequest_;
    TcpSocket listener_;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
    std::atomic<int> open_{0}, mostOpen_{0}, closes_{0};
    std::thread acceptor_;
    std::vector<std::thread> clients_;  // touched by the acceptor only
};

// Settles requests the way the page controller does: a reply takes its
// record (the id is in the echoed URL) and fills a synchronous slot; a retry
// is sent again under a new id.
class TestListener : public SessionListener {
public:
    TestListener(PendingRequestTable& table, RequestIdCounter& ids) : table_(table), ids_(ids) {}

    bool onData(std::span<const uint8_t> data, int /*carrierId*/) override {
        std::string text(data.begin(), data.end());
        int id = pageIdOf(text);
        std::optional<RequestRecord> record = table_.take(id);
        std::lock_guard<std::mutex> lock(mutex_);
        ++dataCalls;
        if (!record) return true;
        if (record->synchronous) {
            session->syncReplies().fill(id, std::vector<uint8_t>(data.begin(), data.end()));
        }
        ++settled[id];
        replies.push_back(id);
        return true;
    }
    void onFailure(const RequestRecord& request) override {
        std::lock_guard<std::mutex> lock(mutex_);
        ++settled[request.requestId];
        failures.push_back(request.requestId);
    }
    void onRetry(const RequestRecord& request) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++settled[request.requestId];
            retries.push_back(request.requestId);
        }
        RequestRecord again = request;
        again.requestId = ids_.next();
        again.url = CString::format(u"http://127.0.0.1:%d/p?pageid=%d", port, again.requestId);
        again.retried = true;
        session->closeConnection();
        session->sendRequest(again);
    }
    template <class Fn>
    auto locked(Fn fn) {
        std::lock_guard<std::mutex> lock(mutex_);
        return fn();
    }

    HttpSession* session = nullptr;
    int port = 0;
    int dataCalls = 0;
    std::map<int, int> settled;
    std::vector<int> replies, failures, retries;

private:
    PendingRequestTable& table_;
    RequestIdCounter& ids_;
    std::mutex mutex_;
};

struct SessionFixture : ::testing::Test {
    PendingRequestTable table;
    RequestIdCounter ids;
    TestListener listener{table, ids};

    std::unique_ptr<HttpSession> makeSession(int type, int port) {
        auto session = std::make_unique<HttpSession>(&listener, table);
        session->setConnectionType(type);
        session->setReplyWaitMs(300);
        session->setGateway(HttpGatewayConfig{"127.0.0.1", "127.0.0.1", port}, u"中国移动(CM)");
        listener.session = session.get();
        listener.port = port;
        return session;
    }
    RequestRecord request(int port) {
        RequestRecord r;
        r.requestId = ids.next();
        r.url = CString::format(u"http://127.0.0.1:%d/p?pageid=%d", port, r.requestId);
        return r;
    }
};

TEST(RequestIdCounterTest, WrapsFrom32767ToOne) {
    RequestIdCounter ids;
    EXPECT_EQ(ids.current(), 0);
    EXPECT_EQ(ids.next(), 1);
    for (int i = 2; i < RequestIdCounter::kMaxRequestId; ++i) ids.next();
    EXPECT_EQ(ids.next(), 32767);
    EXPECT_EQ(ids.next(), 1);  // the reply head holds a signed 16-bit id
    // Ids still held by open requests are passed over.
    EXPECT_EQ(ids.next([](int id) { return id == 2 || id == 3; }), 4);
    EXPECT_EQ(ids.next([](int) { return true; }), 5) << "none free";
}

TEST(RequestIdCounterTest, ConcurrentCallersNeverShareAnId) {
    RequestIdCounter ids;
    std::vector<std::vector<int>> got(4);
    std::vector<std::thread> threads;
    for (auto& out : got) {
        threads.emplace_back([&ids, &out] {
            for (int i = 0; i < 2000; ++i) out.push_back(ids.next());
        });
    }
    for (auto& t : threads) t.join();
    std::set<int> all;
    for (auto& out : got) all.insert(out.begin(), out.end());
    EXPECT_EQ(all.size(), 8000u);
}

// The record must be pending before the peer can answer, framed and over the gateway.
TEST_F(SessionFixture, RequestIsPendingBeforeThePeerSeesIt) {
    const std::pair<LoopbackPeer::Mode, int> cases[] = {{LoopbackPeer::Mode::Echo, 1},
                                                        {LoopbackPeer::Mode::Http, 2}};
    size_t replies = 0;
    for (const auto& [mode, type] : cases) {
        SCOPED_TRACE(type);
        std::atomic<int> seenPending{0};
        LoopbackPeer peer(mode, [&](const std::string& text) {
            if (table.contains(pageIdOf(text))) ++seenPending;
        });
        auto session = makeSession(type, peer.port());
        ASSERT_TRUE(session->sendRequest(request(peer.port())));
        ++replies;
        ASSERT_TRUE(waitUntil(
            [&] { return listener.locked([&] { return listener.replies.size(); }) == replies; }));
        EXPECT_EQ(seenPending.load(), 1);
        EXPECT_EQ(table.size(), 0u);
        EXPECT_GT(session->trafficBytes().sent, 0.f);
        EXPECT_GT(session->trafficBytes().received, 0.f);
    }
}

TEST_F(SessionFixture, SilentServerGivesOneRetryThenOneFailureAndNothingMore) {
    LoopbackPeer peer(LoopbackPeer::Mode::Silent);
    auto session = makeSession(1, peer.port());
    RequestRecord first = request(peer.port());
    ASSERT_TRUE(session->sendRequest(first));
    ASSERT_TRUE(
        waitUntil([&] { return listener.locked([&] { return listener.failures.size(); }) == 1; }));
    sleepMs(600);  // a second settlement would come within two passes
    listener.locked([&] {
        EXPECT_EQ(listener.retries, std::vector<int>{first.requestId});
        EXPECT_EQ(listener.failures, std::vector<int>{first.requestId + 1});
        for (auto& [id, count] : listener.settled) EXPECT_EQ(count, 1) << "request " << id;
        return 0;
    });
    EXPECT_TRUE(session->timedOut());
    EXPECT_EQ(table.size(), 0u);
}

TEST_F(SessionFixture, EveryPendingRequestOfALostConnectionFailsOnce) {
    LoopbackPeer peer(LoopbackPeer::Mode::Silent);
    auto session = makeSession(1, peer.port());
    for (int i = 0; i < 3; ++i) {
        RequestRecord r = request(peer.port());
        r.retried = true;
        ASSERT_TRUE(session->sendRequest(r));
    }
    ASSERT_TRUE(
        waitUntil([&] { return listener.locked([&] { return listener.failures.size(); }) == 3; }));
    sleepMs(400);
    listener.locked([&] {
        EXPECT_EQ(listener.failures, (std::vector<int>{1, 2, 3}));
        EXPECT_TRUE(listener.retries.empty());
        return 0;
    });
}

TEST_F(SessionFixture, RefusedFramedConnectionFailsTheSendAndRecordsNothing) {
    int port = 0;
    {
        TcpSocket probe;
        ASSERT_EQ(probe.listenLoopback(0), 0);
        port = probe.localPort();
    }
    auto session = makeSession(1, port);
    EXPECT_FALSE(session->sendRequest(request(port)));
    EXPECT_EQ(table.size(), 0u);
    EXPECT_FALSE(session->errors().errorText(kSessionErrorOpen).isEmpty());
    sleepMs(200);
    EXPECT_TRUE(listener.locked([&] { return listener.settled.empty(); }));
}

TEST_F(SessionFixture, FailingGatewaySettlesEachHttpRequestOnce) {
    LoopbackPeer peer(LoopbackPeer::Mode::HttpError);
    auto session = makeSession(2, peer.port());
    ASSERT_TRUE(session->sendRequest(request(peer.port())));
    ASSERT_TRUE(session->sendRequest(request(peer.port())));
    ASSERT_TRUE(
        waitUntil([&] { return listener.locked([&] { return listener.failures.size(); }) == 2; }));
    sleepMs(200);
    listener.locked([&] {
        EXPECT_EQ(listener.dataCalls, 0);
        for (auto& [id, count] : listener.settled) EXPECT_EQ(count, 1) << "request " << id;
        return 0;
    });
    EXPECT_EQ(table.size(), 0u);

    session->setGateway(HttpGatewayConfig{}, u"unknown carrier");  // no gateway at all
    ASSERT_TRUE(session->sendRequest(request(peer.port())));
    EXPECT_TRUE(
        waitUntil([&] { return listener.locked([&] { return listener.failures.size(); }) == 3; }));
}

TEST_F(SessionFixture, CancelledRequestsAreNeitherSentNorSettled) {
    LoopbackPeer peer(LoopbackPeer::Mode::Silent);
    auto session = makeSession(1, peer.port());
    RequestRecord early = request(peer.port());
    early.cancelFlag = makeCancelFlag();
    early.cancelFlag->store(1);
    EXPECT_TRUE(session->sendRequest(early));
    EXPECT_EQ(table.size(), 0u);

    RequestRecord late = request(peer.port());
    late.cancelFlag = makeCancelFlag();
    ASSERT_TRUE(session->sendRequest(late));
    ASSERT_TRUE(waitUntil([&] { return peer.requests() == 1; }));
    late.cancelFlag->store(1);  // shared with the recorded copy
    ASSERT_TRUE(waitUntil([&] { return table.size() == 0; }));
    sleepMs(300);
    EXPECT_TRUE(listener.locked([&] { return listener.settled.empty(); }));
}

TEST_F(SessionFixture, UnknownConnectionTypeSendsNothing) {
    LoopbackPeer peer(LoopbackPeer::Mode::Echo);
    auto session = makeSession(0, peer.port());
    EXPECT_TRUE(session->sendRequest(request(peer.port())));
    EXPECT_EQ(table.size(), 0u);
    EXPECT_EQ(peer.requests(), 0);
}

TEST(ConnectionTypes, OddOnesAreFramedEvenOnesGoThroughTheGateway) {
    const char* kinds = "-FHFHFH-";  // types 0 to 7
    for (int type = 0; type < 8; ++type) {
        EXPECT_EQ(isFramedConnection(type), kinds[type] == 'F') << type;
        EXPECT_EQ(isHttpConnection(type), kinds[type] == 'H') << type;
    }
}

TEST(SyncReplySlotsTest, AnotherThreadFillsTheArmedSlot) {
    SyncReplySlots slots;
    slots.arm(7);
    std::thread filler([&] {
        sleepMs(50);
        EXPECT_TRUE(slots.fill(7, {1, 2, 3}));
    });
    std::optional<std::vector<uint8_t>> got = slots.wait(7, 3000);
    filler.join();
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_FALSE(slots.isArmed(7));
}

// A worker's first-page fetch waits in slices: the reply ends a slice.
TEST(SyncReplySlotsTest, WaitSettledEndsWithTheReplyAndLeavesItToTake) {
    SyncReplySlots slots;
    slots.arm(7);
    EXPECT_FALSE(slots.waitSettled(7, 1));
    std::thread filler([&] {
        sleepMs(20);
        slots.fill(7, {4});
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(slots.waitSettled(7, 5000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    filler.join();
    EXPECT_EQ(slots.wait(7, 0), (std::vector<uint8_t>{4}));
}

TEST(SyncReplySlotsTest, ReplyBeforeTheWaitIsKeptAndLateRepliesAreDropped) {
    SyncReplySlots slots;
    slots.arm(3);
    EXPECT_TRUE(slots.fill(3, {9}));  // the reply beat the waiter: armed before sending
    EXPECT_FALSE(slots.fill(3, {8}));
    EXPECT_EQ(slots.wait(3, 10), std::optional<std::vector<uint8_t>>(std::vector<uint8_t>{9}));

    slots.arm(4);
    EXPECT_FALSE(slots.wait(4, 20));  // time-out
    EXPECT_FALSE(slots.fill(4, {1}));
    EXPECT_FALSE(slots.fill(5, {1}));  // never armed

    slots.arm(6);
    EXPECT_TRUE(slots.fail(6));
    EXPECT_FALSE(slots.wait(6, 3000));
}

TEST_F(SessionFixture, FetchAndWaitReturnsTheReplyTheReceiveThreadFiled) {
    LoopbackPeer peer(LoopbackPeer::Mode::Echo);
    auto session = makeSession(1, peer.port());
    RequestRecord r = request(peer.port());
    std::optional<std::vector<uint8_t>> reply = session->fetchAndWait(r, 3000);
    ASSERT_TRUE(reply);
    EXPECT_EQ(std::string(reply->begin(), reply->end()), r.url.toUtf8());
    EXPECT_EQ(table.size(), 0u);
}

TEST_F(SessionFixture, FetchAndWaitFromASilentServerEndsEmptyWithoutALateFailure) {
    LoopbackPeer peer(LoopbackPeer::Mode::Silent);
    auto session = makeSession(1, peer.port());
    session->setReplyWaitMs(5000);
    EXPECT_FALSE(session->fetchAndWait(request(peer.port()), 200));
    EXPECT_EQ(table.size(), 0u);
}

// A listener whose reply handler settles some other request: it takes no
// record, as for a reply naming another id.
class SwallowingListener : public SessionListener {
public:
    bool onData(std::span<const uint8_t>, int carrierId) override {
        carriers.push_back(carrierId);
        return true;
    }
    void onFailure(const RequestRecord& request) override {
        failures.push_back(request.requestId);
        // Taken out of the table but still being handed on: not idle.
        if (table && table->idle()) idleWhileSettling = true;
    }
    void onRetry(const RequestRecord& request) override { retries.push_back(request.requestId); }
    std::vector<int> carriers, failures, retries;  // written by the one request worker
    const PendingRequestTable* table = nullptr;
    bool idleWhileSettling = false;
};

// Pins: over HTTP a reply that named another request left the exchange's own
// record pending for good.
TEST(HttpSessionCarrier, ReplyThatAnswersAnotherRequestEndsItsOwnAsFailed) {
    PendingRequestTable table;
    SwallowingListener listener;
    listener.table = &table;
    LoopbackPeer peer(LoopbackPeer::Mode::Http);
    auto session = std::make_unique<HttpSession>(&listener, table);
    session->setConnectionType(2);
    session->setGateway(HttpGatewayConfig{"127.0.0.1", "127.0.0.1", peer.port()}, u"中国移动(CM)");
    RequestRecord r;
    r.requestId = 21;
    r.url = CString::format(u"http://127.0.0.1:%d/p?pageid=21", peer.port());
    ASSERT_TRUE(session->sendRequest(r));
    ASSERT_TRUE(waitUntil([&] { return table.size() == 0; }));
    session.reset();  // joins the request worker
    EXPECT_EQ(listener.carriers, std::vector<int>{21});
    EXPECT_EQ(listener.failures, std::vector<int>{21});
    EXPECT_TRUE(listener.retries.empty());
    EXPECT_FALSE(listener.idleWhileSettling);
}

// Pins: the receive worker was joined while it sat in a frame-head wait, so
// stopping it (and the exit) took up to a second.
TEST_F(SessionFixture, StopWorkerEndsAnIdleReceiveAtOnce) {
    LoopbackPeer peer(LoopbackPeer::Mode::Echo);
    auto session = makeSession(1, peer.port());
    ASSERT_TRUE(session->sendRequest(request(peer.port())));
    ASSERT_TRUE(
        waitUntil([&] { return listener.locked([&] { return listener.replies.size(); }) == 1; }));
    sleepMs(50);  // back in the head wait
    const uint32_t start = tickCount();
    session->stopWorker();
    EXPECT_LT(ticksSince(start), 400);
}

TEST_F(SessionFixture, FetchAndWaitPumpsTheCallerUntilTheReplyOrItsRefusal) {
    LoopbackPeer echo(LoopbackPeer::Mode::Echo);
    auto session = makeSession(1, echo.port());
    int pumps = 0;
    RequestRecord r = request(echo.port());
    std::optional<std::vector<uint8_t>> reply = session->fetchAndWait(r, 3000, [&](uint32_t ms) {
        ++pumps;
        EXPECT_LE(ms, 3000u);
        sleepMs(ms);
        return true;
    });
    ASSERT_TRUE(reply);
    EXPECT_EQ(std::string(reply->begin(), reply->end()), r.url.toUtf8());
    // A loopback echo may answer before the first pump: no count is pinned here.

    // A pump that gives up ends the wait long before its end.
    LoopbackPeer silent(LoopbackPeer::Mode::Silent);
    session = makeSession(1, silent.port());
    pumps = 0;
    const uint32_t start = tickCount();
    EXPECT_FALSE(session->fetchAndWait(request(silent.port()), 5000, [&](uint32_t ms) {
        sleepMs(ms);
        return ++pumps < 3;
    }));
    EXPECT_EQ(pumps, 3);
    EXPECT_LT(ticksSince(start), 1000);
    EXPECT_EQ(table.size(), 0u);
}

// Pins: a cancelled or abandoned HTTP request kept its connection (and its
// thread) until the whole reply wait was over, and each request had a thread
// of its own.
TEST_F(SessionFixture, CancelledHttpExchangesCloseAtOnceAndAFewRunAtATime) {
    LoopbackPeer peer(LoopbackPeer::Mode::HttpSilent);
    auto session = makeSession(2, peer.port());
    session->setReplyWaitMs(5000);

    // The controller's cancel.
    RequestRecord r = request(peer.port());
    ASSERT_TRUE(session->sendRequest(r));
    ASSERT_TRUE(waitUntil([&] { return peer.requests() == 1; }));
    uint32_t start = tickCount();
    session->cancelExchange(r.requestId);
    ASSERT_TRUE(waitUntil([&] { return peer.closes() == 1; }, 2000));
    EXPECT_LT(ticksSince(start), 1000);

    // A synchronous fetch whose wait is given up.
    start = tickCount();
    EXPECT_FALSE(session->fetchAndWait(request(peer.port()), 5000, [&](uint32_t ms) {
        sleepMs(ms);
        return peer.requests() < 2;
    }));
    ASSERT_TRUE(waitUntil([&] { return peer.closes() == 2; }, 2000));
    EXPECT_LT(ticksSince(start), 2000);

    // Five at once: three talk to the peer, two wait for a free thread.
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(session->sendRequest(request(peer.port())));
    ASSERT_TRUE(waitUntil([&] { return peer.requests() == 5; }));
    sleepMs(100);
    EXPECT_EQ(peer.requests(), 5);
    start = tickCount();
    session.reset();  // cancels the rest
    EXPECT_LT(ticksSince(start), 1000);
    EXPECT_LE(peer.mostOpen(), static_cast<int>(kMaxHttpThreads));
}

}  // namespace
}  // namespace zq
