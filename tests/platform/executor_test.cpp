#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/clock.h"
#include "platform/ui_executor.h"

namespace zq {
namespace {

// Runs the executor on this (the UI) thread until `done` holds or 5 s pass.
template <class Pred>
bool pumpUntil(UiExecutor& ui, Pred done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        ui.runPending();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TEST(UiExecutor, PostedTasksRunInOrderAndNestedPostsRunInTheNextRound) {
    UiExecutor ui;
    std::string order;
    postToUi([&] { order += 'A'; });
    postToUi([&] {
        order += 'B';
        postToUi([&] { order += 'D'; });
    });
    postToUi([&] { order += 'C'; });
    EXPECT_EQ(ui.runPending(), 3);
    EXPECT_EQ(order, "ABC");
    EXPECT_TRUE(ui.hasPendingTasks());
    EXPECT_EQ(ui.runPending(), 1);
    EXPECT_EQ(order, "ABCD");
}

TEST(UiExecutor, TasksPostedFromWorkersKeepEachWorkersOrder) {
    UiExecutor ui;
    std::vector<int> seen[2];
    std::thread workers[2];
    for (int w = 0; w < 2; ++w) {
        workers[w] = std::thread([w, &seen] {
            for (int i = 0; i < 200; ++i) postToUi([w, i, &seen] { seen[w].push_back(i); });
        });
    }
    for (auto& t : workers) t.join();
    ui.runPending();
    for (const auto& list : seen) {
        ASSERT_EQ(list.size(), 200u);
        for (int i = 0; i < 200; ++i) EXPECT_EQ(list[static_cast<size_t>(i)], i);
    }
}

TEST(UiExecutor, RunOnUiAndWaitOnTheUiThreadRunsInline) {
    UiExecutor ui;
    EXPECT_TRUE(isUiThread());
    EXPECT_EQ(runOnUiAndWait([] { return 7; }), 7);
    // Inside a task as well: waiting for a later round would deadlock.
    int inner = 0;
    postToUi([&] { inner = runOnUiAndWait([] { return 9; }); });
    ui.runPending();
    EXPECT_EQ(inner, 9);
}

TEST(UiExecutor, RunOnUiAndWaitFromAWorkerRunsOnTheUiThreadAndReturnsTheValue) {
    UiExecutor ui;
    auto worker = std::async(std::launch::async, [] {
        EXPECT_FALSE(isUiThread());
        return runOnUiAndWait([] { return isUiThread() ? std::string("ui") : std::string("?"); });
    });
    ASSERT_TRUE(pumpUntil(
        ui, [&] { return worker.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    EXPECT_EQ(worker.get(), "ui");
}

TEST(UiExecutor, RunOnUiAndWaitPassesTheExceptionToTheWorker) {
    UiExecutor ui;
    auto worker = std::async(std::launch::async, [] {
        runOnUiAndWait([]() -> void { throw std::runtime_error("boom"); });
    });
    ASSERT_TRUE(pumpUntil(
        ui, [&] { return worker.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    try {
        worker.get();
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "boom");
    }
}

TEST(UiExecutor, ShutdownDropsQueuedWorkAndWakesWaiters) {
    UiExecutor ui;
    std::atomic<bool> ran{false};
    auto worker = std::async(std::launch::async, [&] {
        try {
            runOnUiAndWait([&] { ran = true; });
            return std::string("returned");
        } catch (const UiClosedError&) {
            return std::string("closed");
        }
    });
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!ui.hasPendingTasks() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    ASSERT_TRUE(ui.hasPendingTasks());
    postToUi([&] { ran = true; });
    ui.shutdown();
    EXPECT_EQ(worker.get(), "closed");
    EXPECT_EQ(ui.runPending(), 0);
    EXPECT_FALSE(ran);
    EXPECT_FALSE(postToUi([&] { ran = true; }));
    EXPECT_FALSE(isUiThread());
    EXPECT_THROW(runOnUiAndWait([] { return 1; }), UiClosedError);
}

TEST(UiExecutor, AShutdownFromATaskStopsTheRestOfTheRound) {
    UiExecutor ui;
    int after = 0;
    postToUi([&] { ui.shutdown(); });
    postToUi([&] { ++after; });
    ui.runPending();
    EXPECT_EQ(after, 0);
}

TEST(UiExecutor, NoExecutorMeansNothingIsAccepted) {
    EXPECT_FALSE(isUiThread());
    EXPECT_FALSE(postToUi([] {}));
    EXPECT_EQ(startUiTimer(10, [] {}), 0);
    EXPECT_THROW(runOnUiAndWait([] { return 1; }), UiClosedError);
}

TEST(UiExecutor, PostsAndTimerStartsCallTheWakeup) {
    UiExecutor ui;
    std::atomic<int> wakes{0};
    ui.setWakeup([&] { ++wakes; });
    std::thread([] { postToUi([] {}); }).join();
    EXPECT_EQ(wakes, 1);
    UiTimerId id = startUiTimer(50, [] {});
    EXPECT_EQ(wakes, 2);
    stopUiTimer(id);
    ui.setWakeup(nullptr);
}

class UiTimerTest : public ::testing::Test {
protected:
    uint32_t now = 1000;
    ScopedTickSource clock{[this] { return now; }};
    UiExecutor ui;
};

TEST_F(UiTimerTest, FiresOnTheGridAndSkipsMissedRounds) {
    int fired = 0;
    UiTimerId id = startUiTimer(100, [&] { ++fired; });
    ASSERT_NE(id, 0);
    EXPECT_EQ(ui.msUntilNextTimer(), 100);
    now = 1099;
    ui.runPending();
    EXPECT_EQ(fired, 0);
    now = 1100;
    ui.runPending();
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(ui.msUntilNextTimer(), 100);
    // Three rounds late: one call, and the next is one interval on.
    now = 1450;
    ui.runPending();
    EXPECT_EQ(fired, 2);
    EXPECT_EQ(ui.msUntilNextTimer(), 100);
    stopUiTimer(id);
    now = 5000;
    ui.runPending();
    EXPECT_EQ(fired, 2);
    EXPECT_EQ(ui.msUntilNextTimer(), -1);
}

TEST_F(UiTimerTest, ATimerCanStopItselfAndAnother) {
    int first = 0;
    int second = 0;
    UiTimerId secondId = 0;
    UiTimerId firstId = 0;
    firstId = startUiTimer(10, [&] {
        ++first;
        stopUiTimer(firstId);
        stopUiTimer(secondId);
    });
    secondId = startUiTimer(10, [&] { ++second; });
    now += 10;
    ui.runPending();
    now += 10;
    ui.runPending();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
}

TEST_F(UiTimerTest, TheTickWrapDoesNotStallATimer) {
    now = 0xFFFFFFF0u;
    int fired = 0;
    startUiTimer(32, [&] { ++fired; });
    now = 0x10;  // 32 ms later, across the wrap
    ui.runPending();
    EXPECT_EQ(fired, 1);
}

TEST(UiTimer, StartedFromAWorkerFiresOnTheUiThread) {
    UiExecutor ui;
    std::atomic<int> onUi{0};
    std::atomic<int> offUi{0};
    UiTimerId id = 0;
    std::thread([&] { id = startUiTimer(5, [&] { (isUiThread() ? onUi : offUi)++; }); }).join();
    ASSERT_TRUE(pumpUntil(ui, [&] { return onUi >= 3; }));
    stopUiTimer(id);
    int seen = onUi;
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(30);
    while (std::chrono::steady_clock::now() < until) ui.runPending();
    EXPECT_EQ(onUi, seen);
    EXPECT_EQ(offUi, 0);
}

}  // namespace
}  // namespace zq
