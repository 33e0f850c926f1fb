// The UI executor: work that other threads hand to the UI thread, and
// timers that fire on it.
//
// The UI thread is the thread that created the live UiExecutor; there is at
// most one at a time. The UI loop (ui_loop.h) drains it between input
// events. Guarantees:
// - Posted tasks run on the UI thread in the order they were posted. A task
//   posted while tasks run (also by one of them) runs in a later round, never
//   inside the task that posted it.
// - runOnUiAndWait called on the UI thread runs the function at once, inline.
//   From any other thread it posts the function and blocks until it has run,
//   then returns its value or rethrows its exception. A worker may wait only
//   when the UI thread can never be waiting for that worker.
// - shutdown() drops the tasks not yet run and every timer; a thread waiting
//   in runOnUiAndWait then gets UiClosedError. Later posts are dropped.
// - Timers fire on the UI thread, measured with tickCount() (clock.h).
//   After stopUiTimer returns on the UI thread its callback never runs again.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace zq {

// No UI executor is running (none was created, or it has shut down).
class UiClosedError : public std::runtime_error {
public:
    UiClosedError() : std::runtime_error("the UI thread is not running") {}
};

using UiTimerId = int;

// Any thread. False, and the task is dropped, when no executor is running.
bool postToUi(std::function<void()> task);

// True on the thread that created the running executor.
bool isUiThread();

// Any thread. The callback runs on the UI thread every `intervalMs`
// (at least 1) milliseconds until stopped. 0 when no executor is running.
// Rounds keep to the interval's grid; rounds missed while the UI thread was
// busy are skipped, not run in a burst.
UiTimerId startUiTimer(uint32_t intervalMs, std::function<void()> callback);
// Any thread; unknown or stopped ids are ignored.
void stopUiTimer(UiTimerId id);

namespace detail {

// What a worker waiting in runOnUiAndWait shares with the task it posted.
// A task dropped unrun says so from its destructor; no broken promise (an
// exception object shared across threads) is involved.
template <class R>
struct UiWait {
    using Stored = std::conditional_t<std::is_void_v<R>, bool, R>;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool ran = false;
    std::optional<Stored> value;
    std::exception_ptr error;

    void finish(bool hasRun) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (done) return;
            done = true;
            ran = hasRun;
        }
        finished.notify_all();
    }
};

template <class R, class Fn>
struct UiWaitTask {
    UiWaitTask(std::shared_ptr<UiWait<R>> w, Fn f) : wait(std::move(w)), fn(std::move(f)) {}
    ~UiWaitTask() { wait->finish(false); }
    UiWaitTask(const UiWaitTask&) = delete;
    UiWaitTask& operator=(const UiWaitTask&) = delete;

    void run() {
        try {
            if constexpr (std::is_void_v<R>) {
                fn();
                wait->value.emplace(true);
            } else {
                wait->value.emplace(fn());
            }
        } catch (...) {
            wait->error = std::current_exception();
        }
        wait->finish(true);
    }

    std::shared_ptr<UiWait<R>> wait;
    Fn fn;
};
}  // namespace detail

// Any thread; see the guarantees above. Throws UiClosedError when the task
// cannot run because no executor is running or it shuts down first.
template <class F>
auto runOnUiAndWait(F&& fn) -> std::invoke_result_t<std::decay_t<F>&> {
    using R = std::invoke_result_t<std::decay_t<F>&>;
    using Fn = std::decay_t<F>;
    if (isUiThread()) return fn();
    auto wait = std::make_shared<detail::UiWait<R>>();
    {
        // Only the queued task may own it: dropping the task ends the wait.
        auto task = std::make_shared<detail::UiWaitTask<R, Fn>>(wait, Fn(std::forward<F>(fn)));
        if (!postToUi([task = std::move(task)] { task->run(); })) throw UiClosedError();
    }
    std::unique_lock<std::mutex> lock(wait->mutex);
    wait->finished.wait(lock, [&] { return wait->done; });
    if (!wait->ran) throw UiClosedError();
    if (wait->error) std::rethrow_exception(wait->error);
    if constexpr (!std::is_void_v<R>) return std::move(*wait->value);
}

// The owner of the executor's lifetime. Create it on the thread that is to be
// the UI thread and destroy it there; a second live executor is a bug and
// aborts. Its members are for the UI thread, except setWakeup.
class UiExecutor {
public:
    UiExecutor();
    ~UiExecutor();
    UiExecutor(const UiExecutor&) = delete;
    UiExecutor& operator=(const UiExecutor&) = delete;

    // Idempotent; see the guarantees above.
    void shutdown();

    // Runs the tasks queued before the call, then the timers that are due.
    // Returns how many callbacks ran. An exception from a task propagates;
    // the tasks after it stay queued.
    int runPending();
    bool hasPendingTasks() const;
    // Milliseconds until the earliest timer is due (0 when overdue), or -1
    // when no timer runs.
    int msUntilNextTimer() const;

    // Called after every post and timer start, from the thread that made it,
    // so that the window's wait returns early. Any thread may be inside it
    // until setWakeup (with another function or nullptr) has returned.
    void setWakeup(std::function<void()> wake);
};

}  // namespace zq
