#include "platform/ui_loop.h"

#include <algorithm>

namespace zq {

namespace {
thread_local UiLoop* currentLoop = nullptr;
}

UiLoop::UiLoop(UiExecutor& executor, WindowBackend& window, UiHandler& handler)
    : executor_(executor),
      window_(window),
      handler_(handler),
      previous_(currentLoop),
      backBuffer_(window.size().width, window.size().height) {
    currentLoop = this;
    executor_.setWakeup([&window] { window.wake(); });
}

UiLoop::~UiLoop() {
    currentLoop = previous_;
    if (previous_) {
        WindowBackend& outer = previous_->window_;
        executor_.setWakeup([&outer] { outer.wake(); });
    } else {
        executor_.setWakeup(nullptr);
    }
}

UiLoop* UiLoop::current() { return currentLoop; }

int UiLoop::run() {
    // A frame shown before the loop runs (the splash) is not painted again.
    if (!presented_) invalidate();
    while (!quit_) runOnce(-1);
    return exitCode_;
}

void UiLoop::quit(int exitCode) {
    quit_ = true;
    exitCode_ = exitCode;
}

void UiLoop::runOnce(int maxWaitMs) {
    executor_.runPending();
    if (dirty_) repaintNow();
    if (quit_) return;
    if (std::optional<InputEvent> event = window_.waitEvent(waitBudget(maxWaitMs))) {
        dispatch(*event);
    }
}

int UiLoop::waitBudget(int maxWaitMs) const {
    if (executor_.hasPendingTasks()) return 0;
    int timer = executor_.msUntilNextTimer();
    if (timer < 0) return maxWaitMs;
    if (maxWaitMs < 0) return timer;
    return std::min(timer, maxWaitMs);
}

void UiLoop::dispatch(const InputEvent& event) {
    if (const auto* resize = std::get_if<Resize>(&event)) {
        backBuffer_.resize(resize->width, resize->height);
        dirty_ = true;
        handler_.onInput(event);
        return;
    }
    if (std::holds_alternative<Quit>(event)) quit_ = true;
    // The releases will not come; the handler forgets what it holds even
    // under a box.
    if (std::holds_alternative<FocusLost>(event)) {
        pressedKeys_.clear();
        handler_.onInput(event);
        return;
    }
    if (const auto* answer = std::get_if<ScriptAnswer>(&event); answer && overlays_.empty()) {
        scriptAnswers_.push_back(answer->result);
        return;
    }
    if (const auto* down = std::get_if<KeyDown>(&event)) {
        if (!takePress(*down)) return;
    } else if (const auto* up = std::get_if<KeyUp>(&event); up && !takeRelease(up->code)) {
        return;
    }
    if (!overlays_.empty()) {
        overlays_.back().overlay->onInput(event);
    } else {
        handler_.onInput(event);
    }
}

bool UiLoop::takePress(const KeyDown& down) {
    // A fresh press belongs to whoever takes input now; an auto-repeat
    // stays with the receiver of the press it repeats.
    auto held = pressedKeys_.find(down.code);
    if (down.repeatCount <= 1 || held == pressedKeys_.end()) {
        pressedKeys_[down.code] = receiver();
        return true;
    }
    return held->second == receiver();
}

bool UiLoop::takeRelease(int keyCode) {
    auto pressed = pressedKeys_.find(keyCode);
    if (pressed == pressedKeys_.end()) return false;
    const uint64_t pressedOn = pressed->second;
    pressedKeys_.erase(pressed);
    return pressedOn == receiver();
}

void UiLoop::repaintNow() {
    dirty_ = false;
    Size size = window_.size();
    if (size.width != backBuffer_.width() || size.height != backBuffer_.height()) {
        backBuffer_.resize(size.width, size.height);
    }
    handler_.paint(backBuffer_);
    presentNow();
}

void UiLoop::presentNow() {
    presented_ = true;
    if (overlays_.empty()) {
        window_.present(backBuffer_);
        return;
    }
    composed_ = backBuffer_;
    for (const OpenOverlay& open : overlays_) open.overlay->paintOver(composed_);
    window_.present(composed_);
}

void UiLoop::pushOverlay(UiOverlay* overlay) {
    // The box takes the releases of what is held now: the handler's holds
    // end here, or they would wait for releases it never gets.
    if (overlays_.empty()) handler_.onInput(FocusLost{});
    overlays_.push_back({overlay, nextSerial_++});
    presentNow();
}

void UiLoop::popOverlay(UiOverlay* overlay) {
    auto it = std::find_if(overlays_.begin(), overlays_.end(),
                           [overlay](const OpenOverlay& open) { return open.overlay == overlay; });
    if (it == overlays_.end()) return;
    overlays_.erase(it);
    presentNow();
}

std::optional<int> UiLoop::takeScriptAnswer() {
    if (scriptAnswers_.empty()) return std::nullopt;
    int answer = scriptAnswers_.front();
    scriptAnswers_.pop_front();
    return answer;
}

}  // namespace zq
