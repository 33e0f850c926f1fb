// The handset's millisecond tick and sleeping.
//
// tickCount() counts milliseconds on a monotonic clock and wraps at 2^32
// (about 49.7 days), like the handset's tick. Never compare two ticks with
// '<': take their difference with tickDiff/ticksSince, which stays right
// across the wrap for intervals up to about 24.8 days.
//
// Tests may replace the tick source (setTickSource) to replay input against
// a clock they drive. Every function here may be called from any thread.
#pragma once

#include <cstdint>
#include <functional>

namespace zq {

// Milliseconds of the monotonic clock, or of the injected source.
uint32_t tickCount();

// Signed distance from `earlier` to `later` in milliseconds, correct across
// the 32-bit wrap. Negative when `later` is in fact before `earlier`.
constexpr int32_t tickDiff(uint32_t later, uint32_t earlier) {
    return static_cast<int32_t>(later - earlier);
}

// Milliseconds elapsed since `start` (a value of tickCount()).
inline int32_t ticksSince(uint32_t start) { return tickDiff(tickCount(), start); }

// Blocks the calling thread; sleeps on the real clock even when a tick
// source is injected.
void sleepMs(uint32_t ms);

// Replaces the source of tickCount() for the whole process; an empty
// function restores the monotonic clock. The source may be called from any
// thread, concurrently, until it has been replaced.
void setTickSource(std::function<uint32_t()> source);

// Installs a tick source for a scope and restores the monotonic clock when
// it ends. Not nestable.
class ScopedTickSource {
public:
    explicit ScopedTickSource(std::function<uint32_t()> source) {
        setTickSource(std::move(source));
    }
    ~ScopedTickSource() { setTickSource(nullptr); }
    ScopedTickSource(const ScopedTickSource&) = delete;
    ScopedTickSource& operator=(const ScopedTickSource&) = delete;
};

}  // namespace zq
