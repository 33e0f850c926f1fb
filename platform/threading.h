// Locks and worker threads.
//
// The system's re-entrant critical sections are RecursiveMutex; plain
// mutexes guard data that is never locked twice on one thread. Every thread
// is a HelperThread, joined by its owner's destructor, so none outlives its
// owner. A WorkerThread adds a stop flag: its destructor asks the body to
// stop and joins. Owners stop their workers in the reverse order of
// starting them.
#pragma once

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace zq {

using Mutex = std::mutex;
using RecursiveMutex = std::recursive_mutex;
using Lock = std::lock_guard<std::mutex>;
using RecursiveLock = std::lock_guard<std::recursive_mutex>;

// The stop flag a worker's body polls. Safe to use from any thread.
class StopSignal {
public:
    bool requested() const { return stop_.load(std::memory_order_acquire); }
    void request();
    // Sleeps up to `ms` milliseconds, waking early when stop is requested.
    // Returns true when stop has been requested.
    bool waitFor(uint32_t ms) const;
    // The flag itself, for waits that poll an atomic (socket waits).
    const std::atomic<bool>& flag() const { return stop_; }

private:
    friend class WorkerThread;
    void reset() { stop_.store(false, std::memory_order_release); }

    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    mutable std::condition_variable wake_;
};

// A thread with its creator's scheduling: which core runs it is the
// system's choice. The destructor joins.
class HelperThread {
public:
    explicit HelperThread(std::function<void()> body);
    ~HelperThread();
    HelperThread(const HelperThread&) = delete;
    HelperThread& operator=(const HelperThread&) = delete;

    // False when no thread could be made; the body then never runs.
    bool started() const { return started_; }
    // True on the thread itself.
    bool isCurrent() const { return started_ && pthread_equal(thread_, pthread_self()); }

private:
    static void* run(void* self);

    std::function<void()> body_;
    pthread_t thread_{};
    bool started_ = false;
};

class WorkerThread {
public:
    using Body = std::function<void(const StopSignal&)>;

    WorkerThread() = default;
    // Starts `body` on a new thread at once.
    explicit WorkerThread(Body body) { start(std::move(body)); }
    ~WorkerThread() { join(); }
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts `body`. A worker runs one body at a time: starting a second
    // one before join() is a bug and aborts.
    void start(Body body);
    void requestStop() { stop_.request(); }
    bool stopRequested() const { return stop_.requested(); }
    bool running() const { return thread_ != nullptr; }
    // Requests stop and waits for the body to return. Idempotent. Calling it
    // from the worker's own thread is a bug and aborts.
    void join();

private:
    StopSignal stop_;
    std::unique_ptr<HelperThread> thread_;
};

// Runs a job on a thread of its own while the caller goes on. finish() returns once the job has
// run: it waits for a job under way, and runs the job itself when the thread has not begun it yet,
// so a thread that a busy machine starts late costs no wait. The job runs
// exactly once; an exception it throws comes out of finish(). The
// destructor finishes and joins.
class AsideTask {
public:
    explicit AsideTask(std::function<void()> job);
    ~AsideTask();
    AsideTask(const AsideTask&) = delete;
    AsideTask& operator=(const AsideTask&) = delete;

    void finish();

private:
    enum State : int { kWaiting, kRunning, kDone };
    void run();

    std::function<void()> job_;
    std::exception_ptr error_;
    std::atomic<int> state_{kWaiting};
    HelperThread thread_;
};

}  // namespace zq
