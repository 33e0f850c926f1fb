#include "ui/page_services.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

#include "platform/image.h"
#include "platform/ui_executor.h"
#include "ui/item.h"

namespace zq {
void ResponseListenerRegistry::add(int32_t replyKind, ResponseListener* listener) {
    if (!listener) return;
    std::lock_guard<std::mutex> lock(mutex_);
    sources_.erase(replyKind);
    std::vector<ResponseListener*>& list = listeners_[replyKind];
    if (std::find(list.begin(), list.end(), listener) == list.end()) list.push_back(listener);
}

void ResponseListenerRegistry::replace(int32_t replyKind,
                                       std::span<ResponseListener* const> listeners,
                                       const void* source) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (source) {
        auto known = sources_.find(replyKind);
        if (known != sources_.end() && known->second == source) return;
    }
    std::vector<ResponseListener*> list;
    list.reserve(listeners.size());
    for (ResponseListener* listener : listeners) {
        if (listener) list.push_back(listener);
    }
    sources_[replyKind] = source;
    if (list.empty()) {
        listeners_.erase(replyKind);
    } else {
        listeners_[replyKind] = std::move(list);
    }
}

void ResponseListenerRegistry::remove(int32_t replyKind, ResponseListener* listener) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = listeners_.find(replyKind);
    if (found == listeners_.end()) return;
    sources_.erase(replyKind);
    removalSteps_ += found->second.size();
    std::erase(found->second, listener);
    if (found->second.empty()) listeners_.erase(found);
}

void ResponseListenerRegistry::remove(int32_t replyKind, std::span<ResponseListener* const> gone) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = listeners_.find(replyKind);
    if (found == listeners_.end() || gone.empty()) return;
    sources_.erase(replyKind);
    removalSteps_ += found->second.size() + gone.size();
    const std::unordered_set<ResponseListener*> out(gone.begin(), gone.end());
    std::erase_if(found->second,
                  [&out](ResponseListener* listener) { return out.count(listener) > 0; });
    if (found->second.empty()) listeners_.erase(found);
}

// Delivering under the lock is what lets remove() promise that the listener
// is out of use; listeners only decode and post, so the lock is short.
size_t ResponseListenerRegistry::deliver(int32_t replyKind, std::span<const uint8_t> data) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = listeners_.find(replyKind);
    if (found == listeners_.end()) return 0;
    for (ResponseListener* listener : found->second) listener->onResponse(replyKind, data);
    return found->second.size();
}

bool ResponseListenerRegistry::deliverAt(int32_t replyKind, size_t index,
                                         std::span<const uint8_t> data) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = listeners_.find(replyKind);
    if (found == listeners_.end() || index >= found->second.size()) return false;
    found->second[index]->onResponse(replyKind, data);
    return true;
}

void ResponseListenerRegistry::clear(int32_t replyKind) {
    std::lock_guard<std::mutex> lock(mutex_);
    sources_.erase(replyKind);
    listeners_.erase(replyKind);
}

size_t ResponseListenerRegistry::count(int32_t replyKind) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = listeners_.find(replyKind);
    return found == listeners_.end() ? 0 : found->second.size();
}

ImageDataListener::ImageDataListener(Item* target, int32_t replyKind)
    : target_(std::make_shared<PictureTarget>()), replyKind_(replyKind) {
    target_->item = target;
}

ImageDataListener::~ImageDataListener() = default;

void ImageDataListener::onResponse(int32_t /*replyKind*/, std::span<const uint8_t> data) {
    ImageRef image = decodeImage(data.data(), data.size());
    if (!image) return;
    // The task keeps the shared target record, so a detach that runs first
    // is seen even when this listener is gone by then.
    postToUi([target = target_, image = std::move(image)]() mutable {
        if (target->item) target->item->setImage(std::move(image));
    });
}

void ImageDataListener::detach() { target_->item = nullptr; }

}  // namespace zq
