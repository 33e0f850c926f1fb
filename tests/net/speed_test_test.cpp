// The speed test against the in-process test server: hosts that answer,
// refuse, answer garbage, close at once or never answer, and a cancel in
// the middle of a long wait.
#include "net/speed_test.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "platform/socket.h"
#include "tests/support/test_server.h"

namespace zq {
namespace {

using testserver::Fault;
using Clock = std::chrono::steady_clock;

HostRecord host(uint16_t port) {
    HostRecord record;
    record.parse(CString::fromUtf8("127.0.0.1:80:" + std::to_string(port) + ":h:x"));
    return record;
}

// A port on which nothing listens: bound once, then closed.
uint16_t closedPort() {
    test::TestServer server;
    const uint16_t port = server.framedPort();
    server.stop();
    return port;
}

// The reports of one run, as the worker delivers them.
struct Reports {
    void add(int index, int result) {
        std::lock_guard<std::mutex> lock(mutex);
        log.push_back({index, result});
    }
    void finish(bool wasCancelled) {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
        cancelled = wasCancelled;
        changed.notify_all();
    }
    bool waitDone(std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, limit, [&] { return done; });
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::pair<int, int>> log;
    bool done = false;
    bool cancelled = false;
};

class SpeedTestTest : public ::testing::Test {
protected:
    SpeedTestTest() { server_.writePage("kolm_k1/CheckNetServlet", "ok"); }
    bool start(SpeedTestRun& run, std::vector<HostRecord> hosts) {
        return run.start(
            std::move(hosts), config_, [this](int i, int r) { reports_.add(i, r); },
            [this](bool cancelled) { reports_.finish(cancelled); });
    }
    test::TestServer server_;
    SpeedTestConfig config_{1, 1500, {}};
    Reports reports_;
};

TEST_F(SpeedTestTest, AnAnsweringHostGetsMillisecondsAndAClosedPortTheTimeOut) {
    SpeedTestRun run;
    ASSERT_TRUE(start(run, {host(server_.framedPort()), host(closedPort())}));
    ASSERT_TRUE(reports_.waitDone(std::chrono::seconds(10)));
    EXPECT_FALSE(reports_.cancelled);
    ASSERT_EQ(reports_.log.size(), 4u);
    EXPECT_EQ(reports_.log[0], std::make_pair(0, -2));
    EXPECT_EQ(reports_.log[1].first, 0);
    EXPECT_GE(reports_.log[1].second, 0);
    EXPECT_LT(reports_.log[1].second, 1500);
    EXPECT_EQ(reports_.log[2], std::make_pair(1, -2));
    EXPECT_EQ(reports_.log[3], std::make_pair(1, HostRecord::kSpeedFailed));
    ASSERT_EQ(server_.requests().size(), 1u);
    EXPECT_EQ(
        server_.requests()[0].url,
        "http://127.0.0.1:" + std::to_string(server_.framedPort()) + "/kolm_k1/CheckNetServlet");
}

TEST_F(SpeedTestTest, BadRepliesFailWithinTheWait) {
    struct Case {
        Fault fault;
        bool ok;
    };
    const Case cases[] = {
        // Random bytes in a well-formed frame are still an answer.
        {Fault::None, true},     {Fault::Garbage, true},   {Fault::CloseMidFrame, false},
        {Fault::Missing, false}, {Fault::Oversize, false},
    };
    config_.waitMs = 500;
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        server_.setFault(c.fault);
        const auto begin = Clock::now();
        const int result = timeHost(host(server_.framedPort()), config_, nullptr);
        EXPECT_EQ(result != HostRecord::kSpeedFailed, c.ok);
        EXPECT_LT(Clock::now() - begin, std::chrono::milliseconds(2500));
    }
    // Types outside 1-6 test nothing; the gateway types take the HTTP port.
    config_.connectionType = 0;
    EXPECT_EQ(timeHost(host(server_.framedPort()), config_, nullptr), HostRecord::kSpeedFailed);
    EXPECT_EQ(speedTestUrl(host(9), 2).toUtf8(), "http://127.0.0.1:80/kolm_k1/CheckNetServlet");
    EXPECT_EQ(speedTestUrl(host(9), 5).toUtf8(), "http://127.0.0.1:9/kolm_k1/CheckNetServlet");
}

TEST_F(SpeedTestTest, CancelDuringALongWaitEndsTheWorkerAtOnce) {
    server_.setLateDelayMs(10000);
    server_.setFault(Fault::Late);
    config_.waitMs = 20000;
    SpeedTestRun run;
    ASSERT_TRUE(start(run, {host(server_.framedPort()), host(server_.framedPort())}));
    ASSERT_TRUE(server_.waitForRequests(1, 5000));
    EXPECT_FALSE(start(run, {}));  // one test at a time
    EXPECT_TRUE(SpeedTestRun::anyRunning());

    const auto begin = Clock::now();
    EXPECT_TRUE(run.cancel(3000));
    EXPECT_LT(Clock::now() - begin, std::chrono::milliseconds(3200));
    EXPECT_FALSE(run.running());
    EXPECT_FALSE(SpeedTestRun::anyRunning());
    EXPECT_TRUE(reports_.done);
    EXPECT_TRUE(reports_.cancelled);
    // The second host was never tried; the first got no result.
    ASSERT_EQ(reports_.log.size(), 1u);
    EXPECT_EQ(reports_.log[0], std::make_pair(0, -2));
    server_.setFault(Fault::None);
}

}  // namespace
}  // namespace zq
