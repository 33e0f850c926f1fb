#include "platform/ui_executor.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/clock.h"

namespace zq {

namespace {

struct Timer {
    uint32_t interval = 1;
    uint32_t due = 0;
    std::shared_ptr<const std::function<void()>> callback;
};

// The process has one UI executor at a time; its state lives here so that
// postToUi needs no handle.
struct ExecutorState {
    std::mutex mutex;
    bool exists = false;
    std::deque<std::function<void()>> tasks;
    std::map<UiTimerId, Timer> timers;
    UiTimerId nextTimerId = 1;

    // Read without the lock by isUiThread().
    std::atomic<bool> open{false};
    std::atomic<std::thread::id> uiThread{};

    // Held while the wake-up runs so that setWakeup can wait out a caller.
    std::mutex wakeMutex;
    std::function<void()> wake;
};

ExecutorState& state() {
    static ExecutorState instance;
    return instance;
}

void wakeUiThread() {
    ExecutorState& s = state();
    std::lock_guard<std::mutex> lock(s.wakeMutex);
    if (s.wake) s.wake();
}

}  // namespace

bool postToUi(std::function<void()> task) {
    ExecutorState& s = state();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!s.open.load(std::memory_order_relaxed)) return false;
        s.tasks.push_back(std::move(task));
    }
    wakeUiThread();
    return true;
}

bool isUiThread() {
    ExecutorState& s = state();
    return s.open.load(std::memory_order_acquire) &&
           s.uiThread.load(std::memory_order_acquire) == std::this_thread::get_id();
}

UiTimerId startUiTimer(uint32_t intervalMs, std::function<void()> callback) {
    ExecutorState& s = state();
    UiTimerId id = 0;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!s.open.load(std::memory_order_relaxed)) return 0;
        Timer timer;
        timer.interval = intervalMs < 1 ? 1 : intervalMs;
        timer.due = tickCount() + timer.interval;
        timer.callback = std::make_shared<const std::function<void()>>(std::move(callback));
        id = s.nextTimerId++;
        if (s.nextTimerId <= 0) s.nextTimerId = 1;
        s.timers.emplace(id, std::move(timer));
    }
    wakeUiThread();
    return id;
}

void stopUiTimer(UiTimerId id) {
    ExecutorState& s = state();
    std::shared_ptr<const std::function<void()>> dropped;
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.timers.find(id);
    if (it == s.timers.end()) return;
    // The callback may be stopping its own timer; it is released after the lock.
    dropped = std::move(it->second.callback);
    s.timers.erase(it);
}

UiExecutor::UiExecutor() {
    ExecutorState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.exists) {
        std::fputs("UiExecutor: a second UI executor was created\n", stderr);
        std::abort();
    }
    s.exists = true;
    s.tasks.clear();
    s.timers.clear();
    s.uiThread.store(std::this_thread::get_id(), std::memory_order_release);
    s.open.store(true, std::memory_order_release);
}

UiExecutor::~UiExecutor() {
    shutdown();
    setWakeup(nullptr);
    ExecutorState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.exists = false;
}

void UiExecutor::shutdown() {
    ExecutorState& s = state();
    std::deque<std::function<void()>> dropped;
    std::map<UiTimerId, Timer> droppedTimers;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.open.store(false, std::memory_order_release);
        s.uiThread.store(std::thread::id(), std::memory_order_release);
        dropped.swap(s.tasks);
        droppedTimers.swap(s.timers);
    }
    // Destroying a dropped runOnUiAndWait task breaks its promise, which
    // wakes the waiting thread with UiClosedError.
}

int UiExecutor::runPending() {
    ExecutorState& s = state();
    int ran = 0;
    size_t batch = 0;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        batch = s.tasks.size();
    }
    for (size_t i = 0; i < batch; ++i) {
        std::function<void()> task;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            if (!s.open.load(std::memory_order_relaxed) || s.tasks.empty()) break;
            task = std::move(s.tasks.front());
            s.tasks.pop_front();
        }
        task();
        ++ran;
    }

    const uint32_t now = tickCount();
    std::vector<UiTimerId> due;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        for (const auto& [id, timer] : s.timers) {
            if (tickDiff(now, timer.due) >= 0) due.push_back(id);
        }
    }
    for (UiTimerId id : due) {
        std::shared_ptr<const std::function<void()>> callback;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            auto it = s.timers.find(id);
            // An earlier callback of this round may have stopped it.
            if (it == s.timers.end()) continue;
            Timer& timer = it->second;
            timer.due += timer.interval;
            if (tickDiff(now, timer.due) >= 0) timer.due = now + timer.interval;
            callback = timer.callback;
        }
        (*callback)();
        ++ran;
    }
    return ran;
}

bool UiExecutor::hasPendingTasks() const {
    ExecutorState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return !s.tasks.empty();
}

int UiExecutor::msUntilNextTimer() const {
    ExecutorState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.timers.empty()) return -1;
    const uint32_t now = tickCount();
    int32_t best = INT32_MAX;
    for (const auto& entry : s.timers) best = std::min(best, tickDiff(entry.second.due, now));
    return best < 0 ? 0 : static_cast<int>(best);
}

void UiExecutor::setWakeup(std::function<void()> wake) {
    ExecutorState& s = state();
    std::lock_guard<std::mutex> lock(s.wakeMutex);
    s.wake = std::move(wake);
}

}  // namespace zq
