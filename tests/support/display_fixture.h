// A Display on a 240 x 320 headless window with the fixed test font, and a
// UI loop that plays key scripts through it: the common ground of the
// end-to-end screen tests. Header-only, as only programs that link the
// toolkit use it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/key_script.h"
#include "platform/surface.h"
#include "platform/ui_executor.h"
#include "platform/ui_loop.h"
#include "platform/window.h"
#include "tests/support/test_font.h"
#include "ui/client_context.h"
#include "ui/display.h"
#include "ui/font_cache.h"
#include "ui/screen.h"
#include "ui/soft_keyboard.h"

namespace zq::test {

class DisplayFixture : public ::testing::Test {
protected:
    ClientContext context_;
    DisplayFixture() : window_({240, 320}) {
        releaseSharedFonts();
        Screen::initMetrics({240, 320});
        context_.setDisplayArea(Rect::fromSize(0, 0, 240, 320));
        display_ = std::make_unique<Display>(Size{240, 320});
    }
    // The derived fixture has freed its screens by now.
    ~DisplayFixture() override {
        display_.reset();
        releaseSharedFonts();
    }

    // Runs `script` through a UI loop over the Display until it has ended.
    void run(const std::string& script) {
        KeyScript parsed = parseKeyScript(script);
        ASSERT_TRUE(parsed.ok());
        ScriptedWindow replay(window_, std::move(parsed.steps), ScriptEnd::Quit);
        UiLoop loop(executor_, replay, *display_);
        display_->attach(&loop);
        loop.run();
        display_->attach(nullptr);
    }
    Color pixel(int x, int y) const { return window_.screen().getPixel(x, y); }

    // A script line tapping the middle of the digit pad key at (row 0..3,
    // column 0..2) of the keyboard as last shown.
    static std::string tapDigitKey(const SoftKeyboard& keyboard, int row, int column) {
        const int cell = keyboard.panelWidth() / 3;
        const int pitch = keyboard.keySize() + 1;
        const int x = keyboard.lastRight() - keyboard.panelWidth() + column * cell + cell / 2;
        const int y =
            keyboard.lastBottom() - keyboard.panelHeight() + (row + 1) * pitch + pitch / 2;
        return "tap " + std::to_string(x) + " " + std::to_string(y) + "\n";
    }

    ScopedFixedFont fixed_;
    UiExecutor executor_;
    HeadlessWindow window_;
    std::unique_ptr<Display> display_;
};

}  // namespace zq::test
