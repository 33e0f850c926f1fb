// A page with two text fields shown by the Display in a headless window:
// multi-tap, the '#' mode cycle, the pending commit by the field's own timer,
// the soft keyboard and backspace, driven by key scripts through the UI loop.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "items/text_field.h"
#include "platform/image.h"
#include "platform/key_script.h"
#include "platform/surface.h"
#include "platform/ui_executor.h"
#include "platform/ui_loop.h"
#include "platform/window.h"
#include "tests/support/test_env.h"
#include "tests/support/test_font.h"
#include "ui/container.h"
#include "ui/default_styles.h"
#include "ui/display.h"
#include "ui/font_cache.h"
#include "ui/screen.h"
#include "ui/soft_keyboard.h"
#include "ui/style.h"
#include "ui/toolkit_globals.h"

namespace zq {
namespace {

class TextFieldEndToEndTest : public ::testing::Test {
protected:
    TextFieldEndToEndTest() : window_({240, 320}) {
        releaseSharedFonts();
        Screen::initMetrics({240, 320});
        setDisplayArea(Rect::fromSize(0, 0, 240, 320));
        display_ = std::make_unique<Display>(Size{240, 320});
        screen_ = std::make_unique<Screen>(u"form", allocTracked(), true);
        Container& content = *screen_->getContent();
        content.setFocusFirst(true);
        auto name = std::make_unique<TextField>(u"Name", CString(), 8, 0, createTextFieldStyle());
        name_ = name.get();
        content.add(std::move(name));
        auto code = std::make_unique<TextField>(u"Code", CString(), 6, kConstraintNumeric,
                                                createTextFieldStyle());
        code_ = code.get();
        content.add(std::move(code));
        display_->setCurrent(screen_.get(), true);
    }
    ~TextFieldEndToEndTest() override {
        screen_.reset();
        display_.reset();
        setScreenMetrics(savedMetrics_);
        releaseSharedFonts();
    }

    void run(const std::string& script) {
        KeyScript parsed = parseKeyScript(script);
        ASSERT_TRUE(parsed.ok());
        ScriptedWindow replay(window_, std::move(parsed.steps), ScriptEnd::Quit);
        UiLoop loop(executor_, replay, *display_);
        display_->attach(&loop);
        loop.run();
        display_->attach(nullptr);
    }
    // Taps the soft keyboard's digit key at (row 0..3, column 0..2).
    std::string tapDigit(int row, int column) const {
        const SoftKeyboard* keyboard = screen_->getSoftKeyboard();
        const int cell = keyboard->panelWidth() / 3;
        const int pitch = keyboard->keySize() + 1;
        const int x = keyboard->lastRight() - keyboard->panelWidth() + column * cell + cell / 2;
        const int y =
            keyboard->lastBottom() - keyboard->panelHeight() + (row + 1) * pitch + pitch / 2;
        return "tap " + std::to_string(x) + " " + std::to_string(y) + "\n";
    }

    test::ScopedFixedFont fixed_;
    ScreenMetrics savedMetrics_ = screenMetrics();
    UiExecutor executor_;
    HeadlessWindow window_;
    std::unique_ptr<Display> display_;
    std::unique_ptr<Screen> screen_;
    TextField* name_ = nullptr;
    TextField* code_ = nullptr;
};

TEST_F(TextFieldEndToEndTest, KeypadAndSoftKeyboardFillTheFields) {
    run("wait 0\n");
    ASSERT_TRUE(name_->isFocused());
    ASSERT_NE(screen_->getSoftKeyboard(), nullptr);
    EXPECT_TRUE(screen_->getSoftKeyboard()->isVisible());

    // '#' twice: "Abc". "22" is a capital B, a pause commits it, then "9".
    run("key 35\nkey 35\nkey 50\nkey 50\nwait 1200\nkey 57\n");
    EXPECT_EQ(name_->getText(), CString(u"Bw"));
    EXPECT_TRUE(name_->hasPendingChar());
    run("wait 1200\n");
    EXPECT_FALSE(name_->hasPendingChar());
    savePng(window_.screen(), (test::testOutputDir() / "text_field_e2e_name.png").string());

    // The soft keyboard's "5", then backspace.
    run(tapDigit(1, 1));
    EXPECT_EQ(name_->getText(), CString(u"Bw5"));
    run("key backspace\n");
    EXPECT_EQ(name_->getText(), CString(u"Bw"));

    // The numeric field takes digits, from the keypad and the soft keyboard.
    run("key down\nkey 49\nkey 50\nkey 42\n");
    run(tapDigit(0, 2));
    ASSERT_TRUE(code_->isFocused());
    EXPECT_EQ(code_->getText(), CString(u"123"));
    EXPECT_EQ(name_->getText(), CString(u"Bw"));
    savePng(window_.screen(), (test::testOutputDir() / "text_field_e2e_code.png").string());
}

}  // namespace
}  // namespace zq
