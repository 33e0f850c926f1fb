#include "platform/threading.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace zq {

void StopSignal::request() {
    {
        // Taking the lock orders the store with a waiter's predicate check,
        // so the notify cannot fall between its check and its sleep.
        std::lock_guard<std::mutex> lock(mutex_);
        stop_.store(true, std::memory_order_release);
    }
    wake_.notify_all();
}

bool StopSignal::waitFor(uint32_t ms) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return requested(); });
}

void WorkerThread::start(Body body) {
    if (thread_.joinable()) {
        std::fputs("WorkerThread::start: a body is already running\n", stderr);
        std::abort();
    }
    // A worker may be restarted after join(); the new body starts unstopped.
    stop_.reset();
    thread_ = std::thread([this, body = std::move(body)] { body(stop_); });
}

void WorkerThread::join() {
    if (!thread_.joinable()) return;
    if (thread_.get_id() == std::this_thread::get_id()) {
        std::fputs("WorkerThread::join called from the worker itself\n", stderr);
        std::abort();
    }
    stop_.request();
    thread_.join();
}

}  // namespace zq
