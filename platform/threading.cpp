#include "platform/threading.h"

#include <pthread.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <utility>

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
    if (thread_) {
        std::fputs("WorkerThread::start: a body is already running\n", stderr);
        std::abort();
    }
    // A worker may be restarted after join(); the new body starts unstopped.
    stop_.reset();
    thread_ = std::make_unique<HelperThread>([this, body = std::move(body)] { body(stop_); });
    if (!thread_->started()) {
        std::fputs("WorkerThread::start: no thread could be made\n", stderr);
        std::abort();
    }
}

void WorkerThread::join() {
    if (!thread_) return;
    if (thread_->isCurrent()) {
        std::fputs("WorkerThread::join called from the worker itself\n", stderr);
        std::abort();
    }
    stop_.request();
    thread_.reset();
}

HelperThread::HelperThread(std::function<void()> body) : body_(std::move(body)) {
    started_ = pthread_create(&thread_, nullptr, &HelperThread::run, this) == 0;
}

HelperThread::~HelperThread() {
    if (started_) pthread_join(thread_, nullptr);
}

void* HelperThread::run(void* self) {
    static_cast<HelperThread*>(self)->body_();
    return nullptr;
}

AsideTask::AsideTask(std::function<void()> job)
    : job_(std::move(job)), thread_([this] {
          int expected = kWaiting;
          if (state_.compare_exchange_strong(expected, kRunning)) run();
      }) {}

AsideTask::~AsideTask() {
    try {
        finish();
    } catch (...) {
    }
}

void AsideTask::run() {
    try {
        job_();
    } catch (...) {
        error_ = std::current_exception();
    }
    state_.store(kDone, std::memory_order_release);
    state_.notify_all();
}

void AsideTask::finish() {
    int expected = kWaiting;
    if (state_.compare_exchange_strong(expected, kRunning)) run();
    for (int seen = state_.load(std::memory_order_acquire); seen != kDone;
         seen = state_.load(std::memory_order_acquire)) {
        state_.wait(seen);
    }
    if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
}

}  // namespace zq
