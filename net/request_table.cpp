// The bookkeeping beside the session: request ids, the pending table and the
// reply slots of synchronous fetches.
#include <chrono>

#include "net/request_session.h"
#include "platform/clock.h"

namespace zq {

int RequestIdCounter::next() {
    int value = value_.load();
    int following;
    do {
        following = value >= kMaxRequestId || value < 0 ? 1 : value + 1;
    } while (!value_.compare_exchange_weak(value, following));
    return following;
}

int RequestIdCounter::next(const std::function<bool(int)>& taken) {
    for (int tries = 0; tries < kMaxRequestId; ++tries) {
        const int id = next();
        if (!taken(id)) return id;
    }
    return next();
}

// --- PendingRequestTable -------------------------------------------------------

void PendingRequestTable::indexed(const RequestRecord& record) {
    if (record.picture && record.pictureTarget) ++pictureTargets_[record.pictureTarget.get()];
}

void PendingRequestTable::unindexed(const RequestRecord& record) {
    if (!record.picture || !record.pictureTarget) return;
    auto target = pictureTargets_.find(record.pictureTarget.get());
    if (target != pictureTargets_.end() && --target->second <= 0) pictureTargets_.erase(target);
}

bool PendingRequestTable::insert(const RequestRecord& record) {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool inserted = records_.emplace(record.requestId, record).second;
    if (inserted) indexed(record);
    if (inserted && quiet_ && quiet_->route == record.route &&
        tickDiff(quiet_->tick, record.tick + quiet_->waitMs) > 0) {
        quiet_.reset();
    }
    return inserted;
}

std::optional<RequestRecord> PendingRequestTable::take(int requestId) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = records_.find(requestId);
    if (it == records_.end()) return std::nullopt;
    unindexed(it->second);
    RequestRecord record = std::move(it->second);
    records_.erase(it);
    return record;
}

std::optional<RequestRecord> PendingRequestTable::find(int requestId) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = records_.find(requestId);
    if (it == records_.end()) return std::nullopt;
    return it->second;
}

bool PendingRequestTable::contains(int requestId) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return records_.count(requestId) > 0;
}

bool PendingRequestTable::holdsPictureFor(const PictureTarget* target) const {
    std::lock_guard<std::mutex> lock(mutex_);
    pictureLookupSteps_.fetch_add(1, std::memory_order_relaxed);
    return target && pictureTargets_.count(target) > 0;
}

bool PendingRequestTable::remove(int requestId) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = records_.find(requestId);
    if (it == records_.end()) return false;
    unindexed(it->second);
    records_.erase(it);
    return true;
}

void PendingRequestTable::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    records_.clear();
    pictureTargets_.clear();
}

size_t PendingRequestTable::size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return records_.size();
}

std::optional<RequestRecord> PendingRequestTable::takeExpired(RequestRoute route, uint32_t now,
                                                              uint32_t waitMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (quiet_ && quiet_->route == route && quiet_->waitMs == waitMs &&
        tickDiff(quiet_->tick, now) >= 0) {
        return std::nullopt;
    }
    std::optional<uint32_t> soonest;
    for (auto it = records_.begin(); it != records_.end(); ++it) {
        if (it->second.route != route) continue;
        if (tickDiff(now, it->second.tick) <= static_cast<int32_t>(waitMs)) {
            // Expires once older than waitMs: at tick + waitMs + 1.
            const uint32_t expires = it->second.tick + waitMs + 1;
            if (!soonest || tickDiff(expires, *soonest) < 0) soonest = expires;
            continue;
        }
        quiet_.reset();
        unindexed(it->second);
        RequestRecord record = std::move(it->second);
        records_.erase(it);
        return record;
    }
    // Nothing on the route: the next insert ends the quiet at once.
    quiet_ = Quiet{route, waitMs, soonest ? *soonest - 1 : now};
    return std::nullopt;
}

std::vector<RequestRecord> PendingRequestTable::takeAll(RequestRoute route) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<RequestRecord> taken;
    for (auto it = records_.begin(); it != records_.end();) {
        if (it->second.route == route) {
            unindexed(it->second);
            taken.push_back(std::move(it->second));
            it = records_.erase(it);
        } else {
            ++it;
        }
    }
    return taken;
}

void PendingRequestTable::cancelAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [id, record] : records_) {
        if (!record.cancelFlag) record.cancelFlag = makeCancelFlag();
        record.cancelFlag->store(1);
    }
}

std::optional<RequestRecord> PendingRequestTable::takeOldest(RequestRoute route) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto oldest = records_.end();
    for (auto it = records_.begin(); it != records_.end(); ++it) {
        if (it->second.route != route || it->second.synchronous) continue;
        // Ids wrap, ticks too: the age decides.
        if (oldest == records_.end() || tickDiff(oldest->second.tick, it->second.tick) > 0) {
            oldest = it;
        }
    }
    if (oldest == records_.end()) return std::nullopt;
    unindexed(oldest->second);
    RequestRecord record = std::move(oldest->second);
    records_.erase(oldest);
    return record;
}

// --- SyncReplySlots ------------------------------------------------------------

void SyncReplySlots::arm(int requestId) {
    std::lock_guard<std::mutex> lock(mutex_);
    slots_[requestId] = Slot();
}

bool SyncReplySlots::isArmed(int requestId) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return slots_.count(requestId) > 0;
}

void SyncReplySlots::markSent(int requestId) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto it = slots_.find(requestId); it != slots_.end()) it->second.sent = true;
}

bool SyncReplySlots::isSent(int requestId) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = slots_.find(requestId);
    return it == slots_.end() || it->second.sent;
}

bool SyncReplySlots::isSettled(int requestId) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = slots_.find(requestId);
    return it == slots_.end() || it->second.done;
}

bool SyncReplySlots::fill(int requestId, std::vector<uint8_t> data) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = slots_.find(requestId);
        if (it == slots_.end() || it->second.done) return false;
        it->second.done = true;
        it->second.hasData = true;
        it->second.data = std::move(data);
    }
    filled_.notify_all();
    return true;
}

bool SyncReplySlots::fail(int requestId) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = slots_.find(requestId);
        if (it == slots_.end() || it->second.done) return false;
        it->second.done = true;
    }
    filled_.notify_all();
    return true;
}

std::optional<std::vector<uint8_t>> SyncReplySlots::wait(int requestId, uint32_t waitMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    // Looked up afresh on every wake: another thread may disarm the slot.
    filled_.wait_for(lock, std::chrono::milliseconds(waitMs), [&] {
        auto it = slots_.find(requestId);
        return it == slots_.end() || it->second.done;
    });
    auto it = slots_.find(requestId);
    if (it == slots_.end()) return std::nullopt;
    Slot slot = std::move(it->second);
    slots_.erase(it);
    if (!slot.hasData) return std::nullopt;
    return std::move(slot.data);
}

bool SyncReplySlots::waitSettled(int requestId, uint32_t waitMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return filled_.wait_for(lock, std::chrono::milliseconds(waitMs), [&] {
        auto it = slots_.find(requestId);
        return it == slots_.end() || it->second.done;
    });
}

void SyncReplySlots::disarm(int requestId) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        slots_.erase(requestId);
    }
    filled_.notify_all();
}

}  // namespace zq
