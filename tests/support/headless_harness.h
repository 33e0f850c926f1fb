// Runs the UI loop over a headless screen with a key script, for tests.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/geometry.h"
#include "platform/key_script.h"
#include "platform/surface.h"
#include "platform/ui_executor.h"
#include "platform/ui_loop.h"
#include "platform/window.h"

namespace zq::test {

// One short line per event: "key-down 40 r2", "key-up 40", "char 你",
// "pointer-down 10 20", "pointer-move 10 20", "pointer-up 10 20",
// "resize 320 240", "quit", "answer 6".
std::string describeEvent(const InputEvent& event);

// Records the input that reaches it and paints the screen one colour.
class RecordingHandler : public UiHandler {
public:
    void onInput(const InputEvent& event) override;
    void paint(Surface& backBuffer) override;

    std::vector<std::string> events;
    // Called after an event has been recorded.
    std::function<void(const InputEvent&)> onEvent;
    Color background = rgb(0x20, 0x40, 0x60);
    int paints = 0;
};

// A UI executor (so the test's thread is the UI thread), a headless screen
// and, while run() runs, a UI loop over them.
class HeadlessHarness {
public:
    explicit HeadlessHarness(Size size = {240, 320});

    // Parses `script` (each bad line fails the test) and runs the loop with
    // `handler` until the script has ended. Returns run()'s result.
    int run(const std::string& script, UiHandler& handler);

    UiExecutor& executor() { return executor_; }
    HeadlessWindow& window() { return window_; }
    // What idle steps ask (ScriptedWindow::setBusyProbe); none by default.
    void setBusyProbe(std::function<bool()> busy) { busy_ = std::move(busy); }
    const Surface& screen() const { return window_.screen(); }
    // The last run's screenshots that could not be written and idle steps
    // that ran out of time.
    const std::vector<std::string>& replayFailures() const { return failures_; }

private:
    UiExecutor executor_;
    HeadlessWindow window_;
    std::function<bool()> busy_;
    std::vector<std::string> failures_;
};

}  // namespace zq::test
