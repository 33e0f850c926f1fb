#include "ui/loading_state.h"

#include <algorithm>
#include <utility>

#include "ui/image_cache.h"

namespace zq {

void LoadingState::start(bool blockInput, bool cancelAllowed, int requestId,
                         std::function<void()> onCancel) {
    blockInput_ = blockInput;
    cancelAllowed_ = cancelAllowed || static_cast<bool>(onCancel);
    onCancel_ = std::move(onCancel);
    requestId_ = requestId;
    if (!image_ && !imagePath_.isEmpty()) image_ = loadImageFile(imagePath_);
    progress_ = 0;
    loading_ = true;
}

bool LoadingState::addProgress(int delta, int requestId) {
    if (!loading_ || (requestId != kAnyRequest && requestId != requestId_)) return false;
    int current = progress_.load();
    int next = 0;
    do {
        next = current + delta;
        if (next < 0) return false;
        next = std::min(next, 100);
    } while (!progress_.compare_exchange_weak(current, next));
    return true;
}

bool LoadingState::setProgress(int percent, int requestId) {
    if (!loading_ || (requestId != kAnyRequest && requestId != requestId_)) return false;
    if (percent > 100) return false;
    progress_ = percent;
    return true;
}

bool LoadingState::stop(int requestId) {
    if (requestId != kAnyRequest && requestId != requestId_) return false;
    if (!loading_) {
        blockInput_ = false;
        cancelAllowed_ = false;
        return false;
    }
    clear();
    imagePath_.clear();
    image_.reset();
    return true;
}

void LoadingState::clear() {
    loading_ = false;
    blockInput_ = false;
    cancelAllowed_ = false;
    progress_ = 0;
    onCancel_ = nullptr;
}

void LoadingState::replaceId(int oldId, int newId) {
    int expected = oldId;
    requestId_.compare_exchange_strong(expected, newId);
}

std::function<void()> LoadingState::takeCancelAction() {
    std::function<void()> action = std::move(onCancel_);
    onCancel_ = nullptr;
    progress_ = 0;
    return action;
}

}  // namespace zq
