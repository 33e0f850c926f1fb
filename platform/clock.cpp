#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

namespace zq {

namespace {

using TickSource = std::function<uint32_t()>;

// The injected source is held by shared_ptr so that a call already running
// on another thread keeps its function alive while it is being replaced.
struct InjectedSource {
    std::mutex mutex;
    std::shared_ptr<const TickSource> source;
    std::atomic<bool> active{false};
};

InjectedSource& injected() {
    static InjectedSource instance;
    return instance;
}

uint32_t monotonicTick() {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    return static_cast<uint32_t>(ms);
}

}  // namespace

uint32_t tickCount() {
    InjectedSource& inj = injected();
    if (!inj.active.load(std::memory_order_acquire)) return monotonicTick();
    std::shared_ptr<const TickSource> source;
    {
        std::lock_guard<std::mutex> lock(inj.mutex);
        source = inj.source;
    }
    return source ? (*source)() : monotonicTick();
}

void sleepMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void setTickSource(std::function<uint32_t()> source) {
    InjectedSource& inj = injected();
    std::shared_ptr<const TickSource> next;
    if (source) next = std::make_shared<const TickSource>(std::move(source));
    {
        std::lock_guard<std::mutex> lock(inj.mutex);
        inj.active.store(next != nullptr, std::memory_order_release);
        inj.source.swap(next);
    }
    // The old source (now in `next`) is released outside the lock.
}

}  // namespace zq
