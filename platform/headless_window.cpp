#include <chrono>

#include "platform/window.h"

namespace zq {

HeadlessWindow::HeadlessWindow(Size size) : size_(size), screen_(size.width, size.height) {}

void HeadlessWindow::present(const Surface& frame) { screen_ = frame; }

std::optional<InputEvent> HeadlessWindow::waitEvent(int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto ready = [this] { return woken_ || !events_.empty(); };
    if (timeoutMs < 0) {
        changed_.wait(lock, ready);
    } else if (timeoutMs > 0) {
        changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
    }
    if (!events_.empty()) {
        InputEvent event = events_.front();
        events_.pop_front();
        if (const auto* resize = std::get_if<Resize>(&event)) {
            size_ = {resize->width, resize->height};
        }
        return event;
    }
    woken_ = false;
    return std::nullopt;
}

void HeadlessWindow::wake() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        woken_ = true;
    }
    changed_.notify_all();
}

void HeadlessWindow::pushEvent(const InputEvent& event) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(event);
    }
    changed_.notify_all();
}

}  // namespace zq
