// The item ticker: calls onTimer() of its registered targets every 100 ms
// on the UI thread, for items that animate or refresh on their own (the
// marquee, charts, index tables). Each screen owns one; it starts it when it
// is shown and stops it when it is hidden.
//
// Rules:
// - A target may be registered more than once and is then called once per
//   entry in a round; removeItem removes every entry of it.
// - start() does nothing while no target is registered; a round that ends
//   with no target left stops the ticker, and it runs again only after the
//   next start().
// - Once removeItem (or stop) has returned, the removed targets are not
//   called again, also when it is called from inside onTimer(). Targets
//   added during a round are called in that same round.
// - All members are for the UI thread (another thread goes through
//   runOnUiAndWait). Without a running UI executor the ticker never runs.
// - A target must be removed before it is destroyed, and the ticker must not
//   be destroyed from inside onTimer(). stopAndFree tells each target it
//   forgets (tickerGone), so a target that outlives the ticker never
//   reaches it: an owner that may be outlived by its targets (a screen)
//   calls it before the ticker goes.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/ui_executor.h"

namespace zq {

class TickerThread;

class TickTarget {
public:
    virtual ~TickTarget() = default;
    // Non-zero when the target repainted itself; the ticker ignores it.
    virtual int onTimer() = 0;
    // The ticker forgets this target (stopAndFree); a target that keeps the
    // ticker must drop it here.
    virtual void tickerGone(TickerThread& /*ticker*/) {}
};

// Named after the worker thread the handset used; here it is a UI timer.
class TickerThread {
public:
    static constexpr uint32_t kPeriodMs = 100;

    TickerThread() = default;
    ~TickerThread();
    TickerThread(const TickerThread&) = delete;
    TickerThread& operator=(const TickerThread&) = delete;

    void addItem(TickTarget* target);
    void removeItem(TickTarget* target);
    void start();
    void stop();
    // stop(), then forgets every registered target and tells it so.
    void stopAndFree();

    bool isRunning() const { return timerId_ != 0; }
    // Registered entries, duplicates counted.
    int itemCount() const;

private:
    void runRound();

    // Entries removed during a round become null until the round ends.
    std::vector<TickTarget*> items_;
    UiTimerId timerId_ = 0;
    bool inRound_ = false;
};

}  // namespace zq
