// A page with two text fields shown by the Display in a headless window:
// multi-tap, the '#' mode cycle, the pending commit by the field's own timer,
// the soft keyboard and backspace, driven by key scripts through the UI loop.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "items/choice_group.h"
#include "items/text_field.h"
#include "platform/image.h"
#include "platform/surface.h"
#include "tests/support/display_fixture.h"
#include "tests/support/test_font.h"
#include "ui/client_context.h"
#include "ui/container.h"
#include "ui/default_styles.h"
#include "ui/display.h"
#include "ui/font_cache.h"
#include "ui/form.h"
#include "ui/screen.h"
#include "ui/soft_keyboard.h"
#include "ui/style.h"

namespace zq {
namespace {

class TextFieldEndToEndTest : public test::DisplayFixture {
protected:
    TextFieldEndToEndTest() {
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
    ~TextFieldEndToEndTest() override { screen_.reset(); }

    std::string tapDigit(int row, int column) const {
        return tapDigitKey(*screen_->getSoftKeyboard(), row, column);
    }

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
}

// Regression: the soft keys (112, 113) typed 'p' and 'q' into the field, and
// a typed 'p' opened the menu.
TEST_F(TextFieldEndToEndTest, SoftKeysNeverTypeAndTypedLettersAreText) {
    run("char a\nkey soft1\n");
    EXPECT_TRUE(screen_->isPopupMenuOpen());
    run("key soft2\nkey 113 x4\nchar p(q\n");
    EXPECT_FALSE(screen_->isPopupMenuOpen());
    EXPECT_EQ(name_->getText(), CString(u"ap(q"));
}

// Regression: choosing 清除, or 删除 on the last character, took the menu
// entry away while the menu's key release still used it (use after free,
// seen under ASan).
TEST_F(TextFieldEndToEndTest, EditCommandsThatRemoveTheirOwnEntryRunSafely) {
    // 清除 by the centre key: the second entry.
    run("char ab\nkey soft1\nkey down\nkey enter\n");
    EXPECT_EQ(name_->getText(), CString());
    EXPECT_FALSE(screen_->isPopupMenuOpen());
    // 清除 by the left soft key.
    run("char ab\nkey soft1\nkey down\nkey soft1\n");
    EXPECT_EQ(name_->getText(), CString());
    EXPECT_FALSE(screen_->isPopupMenuOpen());
    // 删除 on the last character, by either key.
    run("char a\nkey soft1\nkey enter\nchar b\nkey soft1\nkey soft1\n");
    EXPECT_EQ(name_->getText(), CString());
    EXPECT_FALSE(screen_->isPopupMenuOpen());
    // The field still takes keys and text.
    run("char 5\nkey 50\n");
    EXPECT_EQ(name_->getText(), CString(u"52"));
}

// Regression: a numeric field took one '.' from the keypad.
TEST_F(TextFieldEndToEndTest, ANumericFieldTakesDigitsOnly) {
    run("key down\nchar 1.5\nkey 46\n");
    ASSERT_TRUE(code_->isFocused());
    EXPECT_EQ(code_->getText(), CString(u"15"));
    EXPECT_FALSE(code_->insertText(CString(u".7"), 2));
    code_->setString(CString());
    code_->typeChar(u'.');
    EXPECT_EQ(code_->getText(), CString());
}

TEST_F(TextFieldEndToEndTest, AChoiceOnTheSymbolListGoesInAtTheCaret) {
    run("wait 0\n");
    Form picker(CString(u"符号"));
    auto list = std::make_unique<ChoiceGroup>(CString(), kChoiceImplicit, nullptr);
    ChoiceGroup* rows = list.get();
    for (const CString& symbol : TextField::symbolTable()) rows->append(symbol, nullptr);
    picker.append(std::move(list));
    EXPECT_EQ(rows->getString(27), CString(u":P"));
    name_->setString(CString(u"ab"));
    auto choose = [&](int index, Command* command) {
        display_->setCurrent(&picker, true);
        rows->setSelectedIndex(index, true);
        name_->symbolListener().commandAction(command, &picker);
        EXPECT_TRUE(display_->isCurrent(screen_.get()));
    };
    Command select(CString(u"确定"), kCommandOk, 1);
    choose(6, &select);
    choose(22, &select);
    EXPECT_EQ(name_->getText(), CString(u"ab(:)"));
    // The exit command, and a screen that is no list, insert nothing.
    ASSERT_NE(sharedExitCommand(), nullptr);
    choose(0, sharedExitCommand().get());
    Form other(CString(u"x"));
    display_->setCurrent(&other, true);
    name_->symbolListener().commandAction(&select, &other);
    EXPECT_TRUE(display_->isCurrent(screen_.get()));
    EXPECT_EQ(name_->getText(), CString(u"ab(:)"));
    // Past maxSize (8) nothing goes in.
    choose(23, &select);
    choose(22, &select);
    EXPECT_EQ(name_->getText(), CString(u"ab(:):("));
}

}  // namespace
}  // namespace zq
