#include "ui/item_ticker.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace zq {

TickerThread::~TickerThread() {
    if (inRound_) {
        std::fputs("TickerThread: destroyed from inside onTimer\n", stderr);
        std::abort();
    }
    stop();
}

void TickerThread::addItem(TickTarget* target) {
    if (target) items_.push_back(target);
}

void TickerThread::removeItem(TickTarget* target) {
    if (!target) return;
    if (inRound_) {
        // The round walks the list by index; erasing would skip the next entry.
        std::replace(items_.begin(), items_.end(), target, static_cast<TickTarget*>(nullptr));
    } else {
        items_.erase(std::remove(items_.begin(), items_.end(), target), items_.end());
    }
}

void TickerThread::start() {
    if (timerId_ != 0 || itemCount() == 0) return;
    timerId_ = startUiTimer(kPeriodMs, [this] { runRound(); });
}

void TickerThread::stop() {
    if (timerId_ == 0) return;
    stopUiTimer(timerId_);
    timerId_ = 0;
}

void TickerThread::stopAndFree() {
    stop();
    // A round in progress sees the empty list and ends.
    std::vector<TickTarget*> forgotten = std::move(items_);
    items_.clear();
    for (TickTarget* target : forgotten) {
        if (target) target->tickerGone(*this);
    }
}

int TickerThread::itemCount() const {
    return static_cast<int>(items_.size() - std::count(items_.begin(), items_.end(), nullptr));
}

void TickerThread::runRound() {
    // A modal loop inside onTimer would run the timer again; that round is skipped.
    if (inRound_) return;
    struct RoundScope {
        bool& flag;
        explicit RoundScope(bool& f) : flag(f) { flag = true; }
        ~RoundScope() { flag = false; }
    };
    const UiTimerId round = timerId_;
    {
        RoundScope scope(inRound_);
        // Targets added by onTimer extend this round; stop() ends it.
        for (size_t i = 0; i < items_.size() && timerId_ == round; ++i) {
            if (TickTarget* target = items_[i]) target->onTimer();
        }
    }
    items_.erase(std::remove(items_.begin(), items_.end(), nullptr), items_.end());
    if (items_.empty() && timerId_ == round) stop();
}

}  // namespace zq
