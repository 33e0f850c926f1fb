#include "platform/clock.h"

#include <gtest/gtest.h>
#include <sched.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/threading.h"

namespace zq {
namespace {

TEST(Clock, TickArithmeticAcrossTheWrap) {
    EXPECT_EQ(tickDiff(5u, 0xFFFFFFFBu), 10);
    EXPECT_EQ(tickDiff(0xFFFFFFFBu, 5u), -10);
    EXPECT_EQ(tickDiff(0x7FFFFFFFu, 0u), INT32_MAX);
    EXPECT_EQ(tickDiff(100u, 100u), 0);

    std::atomic<uint32_t> now{0xFFFFFF00u};
    ScopedTickSource source([&] { return now.load(); });
    uint32_t start = tickCount();
    EXPECT_EQ(start, 0xFFFFFF00u);
    now += 0x200;  // wraps to 0x100
    EXPECT_EQ(tickCount(), 0x100u);
    EXPECT_EQ(ticksSince(start), 0x200);
}

TEST(Clock, RealClockReturnsAfterInjection) {
    {
        ScopedTickSource source([] { return 7u; });
        EXPECT_EQ(tickCount(), 7u);
    }
    uint32_t start = tickCount();
    sleepMs(20);
    int32_t elapsed = ticksSince(start);
    EXPECT_GE(elapsed, 20);
    EXPECT_LT(elapsed, 5000);
}

// Pins: a source replaced while another thread is inside it must not be freed under it.
TEST(Clock, SourceCanBeReplacedWhileInUse) {
    std::atomic<bool> done{false};
    std::vector<std::thread> readers;
    for (int i = 0; i < 2; ++i) {
        readers.emplace_back([&] {
            while (!done.load()) {
                uint32_t t = tickCount();
                (void)t;
            }
        });
    }
    for (uint32_t i = 0; i < 2000; ++i) {
        std::vector<int> payload(8, static_cast<int>(i));
        setTickSource([payload] { return static_cast<uint32_t>(payload[3]); });
    }
    setTickSource(nullptr);
    done = true;
    for (auto& t : readers) t.join();
}

TEST(WorkerThread, DestructorStopsAndJoins) {
    std::atomic<bool> finished{false};
    {
        WorkerThread worker([&](const StopSignal& stop) {
            while (!stop.requested()) std::this_thread::yield();
            finished = true;
        });
        EXPECT_TRUE(worker.running());
    }
    EXPECT_TRUE(finished.load());
}

TEST(WorkerThread, StopWakesAWaitingBody) {
    std::atomic<int> result{-1};
    WorkerThread worker([&](const StopSignal& stop) { result = stop.waitFor(60000) ? 1 : 0; });
    auto begin = std::chrono::steady_clock::now();
    sleepMs(10);
    worker.join();
    EXPECT_EQ(result.load(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10));
    EXPECT_FALSE(worker.running());

    // A restarted worker starts unstopped, and a wait that times out says so.
    worker.start([&](const StopSignal& stop) { result = stop.waitFor(1) ? 1 : 0; });
    while (result.load() == 1) std::this_thread::yield();
    EXPECT_EQ(result.load(), 0);
    worker.join();
    worker.join();  // idempotent
}

// A helper thread once started with its creator's core taken out of its
// mask, for its whole life: on two cores a worker could use only one.
TEST(HelperThread, KeepsItsCreatorsCoresAndIsJoinedAtTheEnd) {
    cpu_set_t creator;
    ASSERT_EQ(sched_getaffinity(0, sizeof creator, &creator), 0);
    cpu_set_t seen;
    CPU_ZERO(&seen);
    bool ran = false;
    {
        HelperThread helper([&] { ran = sched_getaffinity(0, sizeof seen, &seen) == 0; });
        EXPECT_TRUE(helper.started());
    }
    ASSERT_TRUE(ran);  // joined
    EXPECT_TRUE(CPU_EQUAL(&seen, &creator));
}

TEST(AsideTask, TheJobRunsOnceWhereverItRunsAndItsErrorComesOutOfFinish) {
    for (int i = 0; i < 50; ++i) {
        std::atomic<int> runs{0};
        {
            AsideTask task([&] { ++runs; });
            if (i % 2 == 0) {
                task.finish();
                EXPECT_EQ(runs.load(), 1);  // done when finish returns
                task.finish();
            }
        }
        EXPECT_EQ(runs.load(), 1);
    }
    // A job that has begun on its thread is waited for, not run again.
    std::atomic<bool> begun{false};
    std::atomic<int> runs{0};
    AsideTask slow([&] {
        begun = true;
        sleepMs(20);
        ++runs;
    });
    while (!begun) std::this_thread::yield();
    slow.finish();
    EXPECT_EQ(runs.load(), 1);

    AsideTask failing([] { throw std::runtime_error("no"); });
    EXPECT_THROW(failing.finish(), std::runtime_error);
}

}  // namespace
}  // namespace zq
