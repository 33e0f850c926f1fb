#include "ui/code_input_pad.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/device_context.h"
#include "platform/surface.h"
#include "tests/support/test_font.h"
#include "ui/client_context.h"
#include "ui/event.h"
#include "ui/graphics_context.h"
#include "ui/listeners.h"

namespace zq {
namespace {

// Default metrics: keys 144 wide in all, rows 22 high (keys 21), seven rows.
constexpr int kPitch = 22;
constexpr int kRight = 240;
constexpr int kBottom = 300;
constexpr int kTop = kBottom - 7 * kPitch;
constexpr int kLeft = kRight - 144 - 1;

class RecordingListener : public EventListener {
public:
    void onEvent(std::unique_ptr<Event> event) override {
        actions.push_back(event->getAction().toUtf8());
        if (event->kind() != EventKind::Hyper) return;
        const auto& link = static_cast<const HyperEvent&>(*event);
        targets.push_back(link.getTarget().toUtf8() + "|" + link.getClickAction().toUtf8());
    }
    std::vector<std::string> actions;
    std::vector<std::string> targets;  // "link|action" of each event
};

CString quickPaths(const CString& code) {
    return code == CString(u"999999") ? CString(u"quick.zqml") : CString();
}

class CodeInputPadTest : public ::testing::Test {
protected:
    ClientContext context_;
    CodeInputPadTest() : surface_(240, 320), dc_(surface_) {
        context_.setMetrics(ScreenMetrics{});
        context_.storeColors(ColorSettings{});
        g_.init(240, 320, &dc_);
        pad_.open(&listener_, CString(u"http://h/quote.zqml?a=1#top"));
        pad_.setVisible(true);
        pad_.paint(kBottom, kRight, g_, 1);
    }

    // The middle of a digit-layout cell: row 1 is the input row.
    bool tapDigit(int row, int column) {
        return pad_.pointerPressed(kLeft + column * 48 + 24, kTop + (row - 1) * kPitch + 11);
    }
    bool tapLetter(int index) {
        return pad_.pointerPressed(kLeft + (index % 6) * 24 + 12,
                                   kTop + (1 + index / 6) * kPitch + 11);
    }
    bool tapBottom(int half) {
        return pad_.pointerPressed(kLeft + half * 72 + 36, kTop + 6 * kPitch + 11);
    }
    bool tapSwitch() { return pad_.pointerPressed(kLeft + 120, kTop + 11); }

    test::ScopedFixedFont fixedFont_;
    Surface surface_;
    DeviceContext dc_;
    GraphicsContext g_;
    RecordingListener listener_;
    CodeInputPad pad_{nullptr};
};

TEST_F(CodeInputPadTest, TwoPrefixesSubmitAtOnce) {
    EXPECT_EQ(pad_.getCode(), CString(u"输入代码"));
    EXPECT_TRUE(tapDigit(2, 0));  // "600" replaces the prompt
    EXPECT_EQ(pad_.getCode(), CString(u"600"));
    EXPECT_TRUE(tapDigit(2, 1));  // "000"
    EXPECT_FALSE(pad_.isVisible());
    EXPECT_EQ(listener_.actions,
              (std::vector<std::string>{"http://h/quote.zqml?a=1&code=600000#top"}));
    EXPECT_EQ(listener_.targets,
              (std::vector<std::string>{"http://h/quote.zqml?a=1&code=600000#top|"}));
}

TEST_F(CodeInputPadTest, APrefixIsCutToFitSixCharacters) {
    tapDigit(2, 0);
    tapDigit(3, 0);  // "1"
    tapDigit(2, 2);  // "002" -> "00"
    ASSERT_EQ(listener_.actions.size(), 1u);
    EXPECT_NE(listener_.actions[0].find("code=600100"), std::string::npos);
}

TEST_F(CodeInputPadTest, BackOkAndCloseOnlyDoTheirJob) {
    EXPECT_TRUE(tapDigit(6, 2));  // back on an empty code
    EXPECT_TRUE(tapBottom(0));    // OK on an empty code
    EXPECT_TRUE(listener_.actions.empty());
    tapDigit(4, 1);  // "5"
    tapDigit(6, 1);  // "."
    tapDigit(6, 2);  // back
    EXPECT_EQ(pad_.getCode(), CString(u"5"));
    EXPECT_TRUE(tapBottom(1));  // close: hidden, nothing typed or sent
    EXPECT_FALSE(pad_.isVisible());
    EXPECT_EQ(pad_.getCode(), CString(u"5"));
    EXPECT_TRUE(listener_.actions.empty());
}

TEST_F(CodeInputPadTest, GapsAndEdgesHitNothing) {
    // The line between rows 3 and 4, a column edge, and the input box.
    EXPECT_FALSE(pad_.pointerPressed(kLeft + 24, kTop + 3 * kPitch - 1));
    EXPECT_FALSE(pad_.pointerPressed(kLeft + 24, kTop + 3 * kPitch));
    EXPECT_FALSE(pad_.pointerPressed(kLeft + 48, kTop + 3 * kPitch + 11));
    EXPECT_FALSE(pad_.pointerPressed(kLeft + 20, kTop + 11));
    EXPECT_EQ(pad_.getCode(), CString(u"输入代码"));
    // The hit test follows the drawing: the gap shows the panel.
    EXPECT_EQ(surface_.getPixel(kLeft + 24, kTop + 3 * kPitch - 1), colorSettings().keyboardBack);
    EXPECT_EQ(surface_.getPixel(kLeft + 24, kTop + 3 * kPitch + 1),
              colorSettings().keyboardCharBack);
}

TEST_F(CodeInputPadTest, SwitchKeyOnlySwitches) {
    EXPECT_TRUE(tapSwitch());
    EXPECT_FALSE(pad_.showsDigits());
    EXPECT_EQ(pad_.getCode(), CString(u"输入代码"));
    pad_.paint(kBottom, kRight, g_, 1);
    EXPECT_TRUE(tapLetter(0));
    EXPECT_TRUE(tapLetter(25));
    EXPECT_EQ(pad_.getCode(), CString(u"AZ"));
    EXPECT_TRUE(tapLetter(27));  // clear (two columns wide)
    EXPECT_TRUE(pad_.getCode().isEmpty());

    pad_.setInputMode(kKeypadDigits, true);
    EXPECT_FALSE(pad_.switchKeypad(kKeypadLetters));
    EXPECT_TRUE(pad_.showsDigits());
}

// Regression: a link template was sent wrapped in "forward(...)".
TEST_F(CodeInputPadTest, AddressesForTemplatesAndQuickPaths) {
    EXPECT_EQ(pad_.addressFor(CString(u"600000")),
              CString(u"http://h/quote.zqml?a=1&code=600000#top"));
    pad_.open(&listener_, CString(u"forward(q.zqml)|back(1)"));
    EXPECT_EQ(pad_.addressFor(CString(u"1")), CString(u"forward(q.zqml?code=1)|back(1)"));
    pad_.setQuickPathLookup(&quickPaths);
    EXPECT_EQ(pad_.addressFor(CString(u"999999")), CString(u"quick.zqml"));
    EXPECT_EQ(pad_.addressFor(CString(u"1")), CString(u"forward(q.zqml?code=1)|back(1)"));
    // An action is the event's action, a link its target.
    pad_.pressKey(CString(u"600"));
    pad_.pressKey(CString(u"001"));
    pad_.open(&listener_, CString(u"forward(q.zqml)|back(1)"));
    pad_.pressKey(CString(u"999"));
    pad_.pressKey(CString(u"999"));
    EXPECT_EQ(listener_.targets,
              (std::vector<std::string>{"|forward(q.zqml?code=600001)|back(1)", "quick.zqml|"}));
}

// Regression: the pad was 7 x (h + 1) tall, not 7h + 9.
TEST_F(CodeInputPadTest, ThePadIsSevenKeysAndNinePixelsTall) {
    EXPECT_EQ(pad_.panelHeight(), 7 * 21 + 9);
    EXPECT_TRUE(pad_.containsPoint(kLeft + 24, kBottom - 7 * 21 - 9));
    EXPECT_FALSE(pad_.containsPoint(kLeft + 24, kBottom - 7 * 21 - 10));
}

// Regression: the screen asked whether the pad held a tap two pixels lower
// than the tap, so the last drawn rows of the bottom keys went to the page.
TEST_F(CodeInputPadTest, AKeysFirstAndLastDrawnRowsAreTheKey) {
    struct Row {
        int x, y;
        const char* code;  // after the tap
    };
    const Row rows[] = {
        {kLeft + 24, kTop + 2 * kPitch + 1, "1"},  // first drawn row of "1"
        {kLeft + 24, kTop + 3 * kPitch - 2, "1"},  // its last drawn row
        {kLeft + 36, kTop + 6 * kPitch + 1, ""},   // OK, in the last row
        {kLeft + 36, kBottom - 2, ""},
    };
    for (const Row& r : rows) {
        pad_.open(&listener_, CString(u"q.zqml"));
        pad_.setVisible(true);
        pad_.clearText();
        pad_.paint(kBottom, kRight, g_, 1);
        EXPECT_NE(surface_.getPixel(r.x, r.y), colorSettings().keyboardBack) << r.x << "," << r.y;
        EXPECT_TRUE(pad_.containsPoint(r.x, r.y)) << r.x << "," << r.y;
        EXPECT_TRUE(pad_.pointerPressed(r.x, r.y)) << r.x << "," << r.y;
        if (*r.code) {
            EXPECT_EQ(pad_.getCode(), CString::fromUtf8(r.code));
        }
    }
    EXPECT_TRUE(pad_.containsPoint(kRight - 1, kBottom - 1));
    EXPECT_FALSE(pad_.containsPoint(kRight, kBottom - 1));
    EXPECT_FALSE(pad_.containsPoint(kLeft, kBottom));
}

}  // namespace
}  // namespace zq
