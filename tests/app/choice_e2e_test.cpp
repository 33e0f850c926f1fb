// Choice controls, tips, the soft-key menu and the code pad end to end: the
// built zqclient runs headless against the in-process test server with the
// shipped style sheet, on a light page and on the sheet's own dark page;
// pixel probes read the saved screens, the server's log what was sent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/client_fixture.h"

namespace zq {
namespace {

constexpr uint32_t kLightBack = 0xFFFFFF;
constexpr uint32_t kLightText = 0x203040;
constexpr uint32_t kDarkBack = 0x13283D;  // the shipped sheet's body
constexpr uint32_t kDarkText = 0xE6EDF3;
constexpr uint32_t kMenuBack = 0x1F3D5C;  // the shipped sheet's "menu-bgc"
constexpr uint32_t kTipBack = 0xFFFFE1;   // and its "status-bgc"
constexpr int kBarTop = 320 - 24;

constexpr const char* kLightStyle =
    "<style>\nbody{background-color:#ffffff;font-color:#203040}\n</style>\n";

// A form with a captioned group, a multiple combo box and a submit button,
// and two soft-key entries.
std::string orderPage(const std::string& style) {
    return test::zqmlDocument(
        style +
        "<body>\n"
        "<form id=\"f\" action=\"done.zqml\">\n"
        "<choicegroup name=\"side\" caption=\"Side\">\n"
        "<option caption=\"Buy\" value=\"B\"/><option caption=\"Sell\" value=\"S\"/>\n"
        "</choicegroup>\n"
        "<combobox name=\"c2\" caption=\"Colours\" mode=\"multiple\" tip=\"Tick any\">\n"
        "<option caption=\"Red\" value=\"r\"/><option caption=\"Green\" value=\"g\"/>"
        "<option caption=\"Blue\" value=\"b\"/>\n"
        "</combobox>\n"
        "<button caption=\"Send\" onclick=\"submit(f)\"/>\n"
        "</form>\n"
        "<command><commanditem caption=\"One\" action=\"hide(nothing)\"/>"
        "<commanditem caption=\"Two\" action=\"hide(nothing)\"/></command>\n"
        "</body>\n");
}

class ChoiceEndToEndTest : public test::ClientFixture {
protected:
    ChoiceEndToEndTest() : ClientFixture("choice_e2e_") {}

    void SetUp() override {
        ClientFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        server_.writePage("done.zqml", test::zqmlDocument("<body><text>done</text></body>\n"));
    }
};

// Regression: on a light page the group's caption and rows stayed in the
// sheet's near-white, the tip was black on the sheet's dark tip colour, the
// chosen menu entry stayed above the bar, and a multiple combo box sent only
// its first ticked value.
TEST_F(ChoiceEndToEndTest, ChoicesReadOnBothPagesAndTheComboSendsEveryTick) {
    for (const bool light : {true, false}) {
        SCOPED_TRACE(light ? "light page" : "dark page");
        const std::string name = light ? "light" : "dark";
        server_.writePage("index.zqml", orderPage(light ? kLightStyle : ""));
        std::string script = kStart;
        script += shot(name + "-01-page");
        // The menu: the second entry chosen.
        script += "key soft1\nkey down\n";
        script += shot(name + "-02-menu");
        script += "key soft1\n";
        script += shot(name + "-03-chosen");
        // The same by the pen.
        script += "key soft1\n";
        script += shot(name + "-03-menu-again");
        script += "tap 14 264\n";
        script += shot(name + "-03-tapped");
        // The group's first row; the combo box, which shows its tip.
        script += "key down\nkey enter\nkey down\nkey down\n";
        script += shot(name + "-04-tip");
        // The combo box's list: Red and Blue ticked, then "确定" from the menu.
        script += "key enter\n";
        script += shot(name + "-05-list");
        script += "key enter\nkey down\nkey down\nkey enter\nkey soft1\nkey soft1\n";
        script += shot(name + "-06-combo");
        script += "key down\nkey enter\n";
        script += kReply;
        ASSERT_EQ(run(script), 0) << err_;

        const uint32_t back = light ? kLightBack : kDarkBack;
        const uint32_t text = light ? kLightText : kDarkText;
        const test::Shot page = load(name + "-01-page");
        EXPECT_EQ(page.at(120, 150), back);
        // The caption and both rows are written in the page's text colour.
        EXPECT_GT(page.count(text, 0, 0, 240, 62), 8);
        if (light) {
            EXPECT_EQ(page.count(kDarkText, 0, 0, 240, 62), 0);
        }

        const test::Shot menu = load(name + "-02-menu");
        EXPECT_GT(menu.count(kMenuBack, 0, 200, 240, kBarTop), 100);
        for (const char* after : {"-03-chosen", "-03-tapped"}) {
            EXPECT_EQ(load(name + after).count(kMenuBack, 0, 100, 240, kBarTop), 0) << after;
        }

        // The tip: dark text on a light box.
        const test::Shot tip = load(name + "-04-tip");
        EXPECT_GT(tip.count(kTipBack, 0, kBarTop - 24, 120, kBarTop), 200);
        EXPECT_TRUE(tip.any(0, kBarTop - 24, 120, kBarTop,
                            [](int r, int g, int b) { return r + g + b < 150; }));

        EXPECT_EQ(server_.queriesFor("/done.zqml"), std::vector<std::string>{"side=B&c2=r%2Cb"});
        server_.clearRequests();
    }
}

// Regression: the shipped sheet painted the chosen option as a ring with a
// white centre and every other one as a solid disc, so on a light page the
// chosen 买入 looked empty and 卖出 chosen. A mark is a grey ring round a
// white disc; the chosen one has a dot in it, on a light page and a dark.
TEST_F(ChoiceEndToEndTest, TheChosenOptionReadsAsChosenOnBothPages) {
    constexpr uint32_t kRing = 0x999CA3;  // the check box outline's grey
    constexpr uint32_t kDisc = 0xFFFFFF;
    constexpr uint32_t kDot = 0xD87A00;  // the shipped sheet's radio colours
    for (const bool light : {true, false}) {
        SCOPED_TRACE(light ? "light page" : "dark page");
        const std::string name = light ? "marks-light" : "marks-dark";
        const uint32_t back = light ? kLightBack : kDarkBack;
        server_.writePage("index.zqml",
                          test::zqmlDocument(std::string(light ? kLightStyle : "") +
                                             "<body>\n"
                                             "<choicegroup name=\"side\" value=\"B\">\n"
                                             "<option caption=\"买入\" value=\"B\"/>"
                                             "<option caption=\"卖出\" value=\"S\"/>\n"
                                             "</choicegroup>\n"
                                             "<singlelinechoicegroup name=\"kind\" value=\"S\">\n"
                                             "<option caption=\"限价\" value=\"L\"/>"
                                             "<option caption=\"市价\" value=\"S\"/>\n"
                                             "</singlelinechoicegroup>\n"
                                             "</body>\n"));
        ASSERT_EQ(run(std::string(kStart) + shot(name)), 0) << err_;

        // Each mark by the top of its ring, five ring pixels in a row with
        // the ring's next row one pixel further out on each side.
        const test::Shot page = load(name);
        struct Mark {
            int x;
            int top;
        };
        std::vector<Mark> marks;
        for (int y = 1; y < 100; ++y) {
            for (int x = 1; x < 230; ++x) {
                bool run = true;
                for (int i = 0; i < 5; ++i) run = run && page.at(x + i, y) == kRing;
                if (run && page.at(x - 1, y) != kRing && page.at(x - 1, y + 1) == kRing &&
                    page.at(x - 1, y - 1) != kRing) {
                    marks.push_back({x - 3, y - 2});
                }
            }
        }
        ASSERT_EQ(marks.size(), 4u);
        // 买入 and 市价 are chosen: a dot in the ring; 卖出 and 限价 are not.
        const bool chosen[] = {true, false, false, true};
        for (size_t i = 0; i < marks.size(); ++i) {
            SCOPED_TRACE(i);
            const Mark m = marks[i];
            EXPECT_EQ(page.at(m.x + 1, m.top + 6), kRing);  // the ring's left
            EXPECT_EQ(page.at(m.x + 9, m.top + 6), kRing);  // and right
            EXPECT_EQ(page.at(m.x + 2, m.top + 6), kDisc);  // inside it
            EXPECT_EQ(page.at(m.x + 5, m.top + 6), chosen[i] ? kDot : kDisc);
            EXPECT_EQ(page.at(m.x, m.top + 6), back);  // outside it, the page
        }
    }
}

// Regression: items hidden by the page's onload stayed on the screen until
// the next key.
TEST_F(ChoiceEndToEndTest, ItemsHiddenByTheOnloadLeaveTheScreen) {
    server_.writePage("index.zqml",
                      test::zqmlDocument("<style>\nmark{font-color:#ff0000}\n</style>\n"
                                         "<body onload=\"hide(gone)\">\n"
                                         "<text class=\"mark\" id=\"gone\">GONE GONE GONE</text>\n"
                                         "<text class=\"mark\" id=\"kept\">KEPT</text>\n"
                                         "</body>\n"));
    ASSERT_EQ(run(std::string(kStart) + shot("hidden")), 0) << err_;
    const test::Shot shot = load("hidden");
    // Only "KEPT" is left, on the first line.
    EXPECT_GT(shot.count(0xFF0000, 0, 0, 240, kBarTop), 0);
    EXPECT_EQ(shot.count(0xFF0000, 60, 0, 240, kBarTop), 0);
}

}  // namespace
}  // namespace zq
