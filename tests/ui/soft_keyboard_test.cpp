#include "ui/soft_keyboard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/device_context.h"
#include "platform/surface.h"
#include "tests/support/test_font.h"
#include "ui/client_context.h"
#include "ui/display.h"
#include "ui/displayable.h"
#include "ui/graphics_context.h"

namespace zq {
namespace {

// Default metrics: panel 147 wide, rows 22 high (keys 21), six rows.
constexpr int kPitch = 22;
constexpr int kRight = 240;
constexpr int kTop = 100;
constexpr int kLeft = kRight - 147;
constexpr Color kPage = 0x808080;

class LogOwner : public KeyboardListener {
public:
    void onData(const CString& text) override { log.push_back(text.toUtf8()); }
    void onFailure() override { log.push_back("relayout"); }
    void onRetry(uint32_t bits, bool on) override {
        log.push_back("busy " + std::to_string(bits) + (on ? " on" : " off"));
    }
    std::vector<std::string> log;
};

class SoftKeyboardTest : public ::testing::Test {
protected:
    ClientContext context_;
    SoftKeyboardTest() : surface_(240, 320), dc_(surface_) {
        context_.setMetrics(ScreenMetrics{});
        context_.storeColors(ColorSettings{});
        g_.init(240, 320, &dc_);
    }

    void paint(SoftKeyboard& keyboard) {
        dc_.fillRect(surface_.bounds(), kPage);
        keyboard.paint(kTop, kRight, g_, 0);
    }
    // Taps the middle of a cell `cell` pixels wide in `row` (0 = prompt row).
    static bool tap(SoftKeyboard& keyboard, int row, int column, int cell) {
        return keyboard.pointerPressed(kLeft + column * cell + cell / 2,
                                       kTop + row * kPitch + kPitch / 2);
    }
    static bool tapDigit(SoftKeyboard& keyboard, int row, int column) {
        return tap(keyboard, row, column, 49);
    }
    static bool tapLetter(SoftKeyboard& keyboard, int index) {
        return tap(keyboard, 1 + index / 7, index % 7, 21);
    }
    static bool tapSwitch(SoftKeyboard& keyboard) { return tap(keyboard, 0, 5, 21); }
    static bool tapBottom(SoftKeyboard& keyboard, int half) { return tap(keyboard, 5, half, 73); }
    Color at(int x, int y) const { return surface_.getPixel(x, y); }

    test::ScopedFixedFont fixedFont_;
    Surface surface_;
    DeviceContext dc_;
    GraphicsContext g_;
    LogOwner owner_;
};

TEST_F(SoftKeyboardTest, DigitPadSendsItsKeysAndTheLinesBetweenKeysHitNothing) {
    SoftKeyboard keyboard(&owner_);
    keyboard.setInputMode(15, false);  // what a text field asks for
    ASSERT_TRUE(keyboard.showsDigits());
    paint(keyboard);
    EXPECT_EQ(keyboard.lastBottom(), kTop + 6 * kPitch);

    for (int row = 1; row <= 4; ++row) {
        for (int column = 0; column < 3; ++column) EXPECT_TRUE(tapDigit(keyboard, row, column));
    }
    EXPECT_TRUE(tapBottom(keyboard, 0));
    EXPECT_EQ(owner_.log, (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8", "9",
                                                    "0", ".", "清", "退格"}));

    // Both pixels of the gap between two rows, a column edge and the prompt.
    owner_.log.clear();
    EXPECT_FALSE(keyboard.pointerPressed(kLeft + 20, kTop + 2 * kPitch));
    EXPECT_FALSE(keyboard.pointerPressed(kLeft + 20, kTop + 2 * kPitch - 1));
    EXPECT_FALSE(keyboard.pointerPressed(kLeft + 49, kTop + 2 * kPitch + 10));
    EXPECT_FALSE(keyboard.pointerPressed(kLeft + 20, kTop + 10));
    EXPECT_TRUE(owner_.log.empty());
    // The gap really shows the panel: the hit test follows the drawing.
    EXPECT_EQ(at(kLeft + 20, kTop + 2 * kPitch), colorSettings().keyboardBack);
    EXPECT_EQ(at(kLeft + 20, kTop + 2 * kPitch + 1), colorSettings().keyboardCharBack);
}

TEST_F(SoftKeyboardTest, LetterPadFollowsTheCaseFlag) {
    SoftKeyboard keyboard(&owner_);
    keyboard.setInputMode(kKeypadLetters, false);
    ASSERT_FALSE(keyboard.showsDigits());
    EXPECT_FALSE(keyboard.isUpperCase());
    EXPECT_EQ(keyboard.caseLabel(), CString(u"大"));
    paint(keyboard);

    EXPECT_TRUE(tapLetter(keyboard, 0));
    EXPECT_TRUE(tapLetter(keyboard, 25));
    EXPECT_TRUE(tapLetter(keyboard, 26));  // the case key sends nothing
    EXPECT_TRUE(keyboard.isUpperCase());
    EXPECT_EQ(keyboard.caseLabel(), CString(u"小"));
    EXPECT_EQ(keyboard.letters(), CString(u"ABCDEFGHIJKLMNOPQRSTUVWXYZ"));
    EXPECT_TRUE(tapLetter(keyboard, 9));
    EXPECT_TRUE(tapLetter(keyboard, 27));
    EXPECT_EQ(owner_.log, (std::vector<std::string>{"a", "z", "J", "清"}));

    // Upper case only, locked: the case key does nothing and loses its label.
    keyboard.setInputMode(kKeypadUpper, true);
    EXPECT_TRUE(keyboard.isUpperCase());
    paint(keyboard);
    EXPECT_FALSE(tapLetter(keyboard, 26));
    EXPECT_TRUE(keyboard.isUpperCase());
    const int caseX = kLeft + 5 * 21 + 10;
    const int caseY = kTop + 4 * kPitch + 11;
    EXPECT_EQ(at(caseX, caseY), colorSettings().keyboardCharBack);
    EXPECT_EQ(at(kLeft + 10, caseY), colorSettings().keyboardCharText);  // "V" has its label
}

TEST_F(SoftKeyboardTest, SwitchKeyAndPromptFollowTheLock) {
    SoftKeyboard keyboard(&owner_);
    keyboard.setInputMode(kKeypadDigits, false);
    EXPECT_EQ(keyboard.prompt(), CString(u"输入数字/字母:"));
    paint(keyboard);
    EXPECT_TRUE(tapSwitch(keyboard));
    EXPECT_FALSE(keyboard.showsDigits());
    EXPECT_EQ(keyboard.letters(), CString(u"abcdefghijklmnopqrstuvwxyz"));
    EXPECT_TRUE(tapSwitch(keyboard));
    EXPECT_TRUE(keyboard.showsDigits());

    keyboard.setInputMode(kKeypadDigits, true);
    EXPECT_EQ(keyboard.prompt(), CString(u"输入数字:"));
    EXPECT_FALSE(tapSwitch(keyboard));
    EXPECT_TRUE(keyboard.showsDigits());
    keyboard.setInputMode(kKeypadLower, true);
    EXPECT_EQ(keyboard.prompt(), CString(u"输入字母:"));

    // Digits with letters start on digits and may switch even when locked.
    keyboard.setInputMode(kKeypadDigits | kKeypadUpper, true);
    EXPECT_TRUE(keyboard.showsDigits());
    EXPECT_TRUE(keyboard.switchKeypad(kKeypadLetters));
    EXPECT_TRUE(keyboard.isUpperCase());
    EXPECT_TRUE(owner_.log.empty());
}

TEST_F(SoftKeyboardTest, CloseKeyHidesTheKeyboardAndAsksForALayout) {
    SoftKeyboard keyboard(&owner_);
    keyboard.setInputMode(15, false);
    keyboard.setVisible(true);
    paint(keyboard);
    EXPECT_TRUE(keyboard.containsPoint(kRight - 10, kTop + 10));
    EXPECT_TRUE(tapBottom(keyboard, 1));
    EXPECT_FALSE(keyboard.isVisible());
    EXPECT_EQ(owner_.log, (std::vector<std::string>{"relayout"}));
    // The keyboard lies over the page and takes no height from it.
    EXPECT_EQ(keyboard.getHeight(), 0);
    EXPECT_EQ(keyboard.panelHeight(), 6 * kPitch);

    SoftKeyboard ownerless(nullptr);
    paint(ownerless);
    EXPECT_FALSE(tapDigit(ownerless, 1, 0));
}

// Regression: the screen asked whether the keyboard held a tap two pixels
// lower than the tap, so a key's last drawn rows went to the page below.
TEST_F(SoftKeyboardTest, AKeysFirstAndLastDrawnRowsAreTheKey) {
    SoftKeyboard keyboard(&owner_);
    keyboard.setInputMode(15, false);
    keyboard.setVisible(true);
    struct Row {
        int x, y;
        const char* sent;
    };
    const Row rows[] = {
        {kLeft + 24, kTop + kPitch + 1, "1"},         // first drawn row of "1"
        {kLeft + 24, kTop + 2 * kPitch - 2, "1"},     // its last drawn row
        {kLeft + 36, kTop + 5 * kPitch + 1, "退格"},  // backspace, in the last row
        {kLeft + 36, kTop + 6 * kPitch - 2, "退格"},
        {kRight - 2, kTop + 6 * kPitch - 2, ""},  // close: its last drawn pixel
    };
    for (const Row& r : rows) {
        owner_.log.clear();
        keyboard.setVisible(true);
        keyboard.clearText();
        paint(keyboard);
        EXPECT_NE(at(r.x, r.y), colorSettings().keyboardBack) << r.x << "," << r.y;
        EXPECT_TRUE(keyboard.containsPoint(r.x, r.y)) << r.x << "," << r.y;
        EXPECT_TRUE(keyboard.pointerPressed(r.x, r.y)) << r.x << "," << r.y;
        if (*r.sent) {
            EXPECT_EQ(owner_.log, std::vector<std::string>{r.sent});
        }
    }
    // Just outside the panel is the page's.
    EXPECT_FALSE(keyboard.containsPoint(kLeft + 24, kTop + 6 * kPitch));
    EXPECT_FALSE(keyboard.containsPoint(kLeft - 1, kTop + 10));
}

TEST_F(SoftKeyboardTest, LastKeyStaysHighlightedUntilCleared) {
    SoftKeyboard keyboard(&owner_);
    keyboard.setInputMode(kKeypadDigits, false);
    paint(keyboard);
    EXPECT_FALSE(keyboard.clearText());
    EXPECT_TRUE(tapDigit(keyboard, 2, 1));  // "5"
    paint(keyboard);
    const int fiveX = kLeft + 49 + 2;
    const int fiveY = kTop + 2 * kPitch + 2;
    EXPECT_EQ(at(fiveX, fiveY), colorSettings().keyboardPressedBack);
    EXPECT_EQ(at(fiveX - 49, fiveY), colorSettings().keyboardCharBack);
    EXPECT_TRUE(keyboard.clearText());
    paint(keyboard);
    EXPECT_EQ(at(fiveX, fiveY), colorSettings().keyboardCharBack);
}

// Counts its paints, so that a repaint that should do nothing is seen.
class CountingKeyboard : public SoftKeyboard {
public:
    using SoftKeyboard::SoftKeyboard;
    void paint(int y, int right, GraphicsContext& g, int above) override {
        ++paints;
        SoftKeyboard::paint(y, right, g, above);
    }
    int paints = 0;
};

class WhiteCanvas : public Canvas {
public:
    void paint(GraphicsContext& g) override {
        g.getDC()->fillRect(Rect::fromSize(0, 0, 240, 320), 0xFFFFFF);
    }
};

TEST_F(SoftKeyboardTest, RepaintDrawsWhereTheLastPaintDidAndNothingBeforeIt) {
    Display display({240, 320});
    WhiteCanvas canvas;
    display.setCurrent(&canvas, true);
    Surface window(240, 320);
    display.paint(window);
    DeviceContext* back = display.getBackBufferDC();
    ASSERT_NE(back, nullptr);

    CountingKeyboard keyboard(&owner_);
    keyboard.setInputMode(kKeypadDigits, false);
    keyboard.setVisible(true);
    keyboard.repaint();  // never painted: no place to draw at
    EXPECT_EQ(keyboard.paints, 0);

    keyboard.paint(kTop, kRight, *display.getBackBufferGraphics(), 0);
    display.paint(window);  // the page covers it again
    keyboard.repaint();
    EXPECT_EQ(keyboard.paints, 2);
    EXPECT_EQ(back->getPixel(kLeft, kTop), colorSettings().keyboardBack);
    EXPECT_EQ(back->getPixel(kLeft, kTop - 1), 0xFFFFFFu);
    EXPECT_EQ(back->getPixel(kRight - 1, kTop + 6 * kPitch - 1), colorSettings().keyboardBack);
    EXPECT_EQ(back->getPixel(kRight - 1, kTop + 6 * kPitch), 0xFFFFFFu);
}

}  // namespace
}  // namespace zq
