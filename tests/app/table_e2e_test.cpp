// Quote tables and simple tables from the test server, end to end: in
// process (the focus walks 100 rows, paging past the last one loads the next
// page, FIRE on a row sends it with "gettablerow", the control bar pages, the
// columns fit the font that paints), and through the built zqclient, whose
// saved screens of a page with its own colours are probed pixel by pixel.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/page_controller.h"
#include "items/fixed_head_table.h"
#include "items/item_makers.h"
#include "items/simple_table.h"
#include "markup/style_sheet.h"
#include "platform/image.h"
#include "platform/surface.h"
#include "platform/ui_executor.h"
#include "tests/app/controller_fixture.h"
#include "tests/support/client_fixture.h"
#include "tests/support/test_env.h"
#include "tests/support/test_font.h"
#include "tests/support/test_server.h"
#include "ui/client_context.h"
#include "ui/display.h"
#include "ui/font_cache.h"
#include "ui/screen.h"

namespace zq {
namespace {

constexpr int kKeyDown = 40;
constexpr int kKeyFire = 13;

// A page of `rows` quotes numbered from `first`, after `before`.
std::string quotePage(int first, int rows, const std::string& next,
                      const std::string& before = std::string()) {
    std::string text =
        "<zqml><body>" + before + "<table id='q' downpage='fw(" + next +
        ")'><th><td name='code'>Code</td><td name='name'>Name</td><td>Price</td></th>";
    for (int i = 0; i < rows; ++i) {
        const std::string code = std::to_string(first + i);
        text += "<tr onclick='gw(detail.zqml)'><td>" + code + "</td><td>N" + code +
                "</td><td>1.0</td></tr>";
    }
    return text + "</table></body></zqml>";
}

class TableEndToEndTest : public test::ControllerFixture<> {
protected:
    TableEndToEndTest() { useServer(false); }

    FixTableItem* table() const {
        Screen* screen = controller_->currentScreen();
        Item* item = screen ? screen->getItemByName(CString(u"q")) : nullptr;
        return item && item->isFixTableItem() ? static_cast<FixTableItem*>(item) : nullptr;
    }
    void tap(int x, int y) {
        display_->onInput(PointerDown{x, y});
        display_->onInput(PointerUp{x, y});
    }
    void paint() {
        Surface window(240, 320);
        display_->paint(window);
    }
    // A tap on control button `number` (1..4) of the table.
    void tapControlButton(int number) {
        const Rect bar = table()->controlBarRect();
        constexpr int kButtonStep = 15 + 1;  // the base font height + 1, and a gap
        tap(bar.left + (number - 1) * kButtonStep + 4, bar.top + 5);
    }
    // The request for `path`, or "" when the server saw none.
    std::string requestFor(const std::string& path) const {
        for (const testserver::ReceivedRequest& r : server_.requests()) {
            if (r.url.find(path) != std::string::npos) return r.url;
        }
        return std::string();
    }
};

TEST_F(TableEndToEndTest, HundredRowsArePagedAndARowIsChosen) {
    server_.writePage("q1.zqml", quotePage(100000, 100, "q2.zqml"));
    server_.writePage("q2.zqml", quotePage(200000, 100, "q3.zqml"));
    server_.writePage("detail.zqml", "<zqml><body><text>detail</text></body></zqml>");
    controller_->openUrl({.url = CString::fromUtf8(server_.urlFor("/q1.zqml"))});
    ASSERT_TRUE(pumpUntil([&] { return shows("/q1.zqml"); }));
    ASSERT_NE(table(), nullptr);
    EXPECT_EQ(table()->rowCount(), 100);

    // The focus walks every row; the screen scrolls with it.
    for (int i = 0; i < 100; ++i) pressKey(kKeyDown);
    ASSERT_TRUE(table()->tableFocused());
    EXPECT_EQ(table()->focusedRow(), 99);
    EXPECT_LT(controller_->currentScreen()->getScrollOffset(), -1000);
    pressKey(kKeyDown);  // past the last row: the next page
    ASSERT_TRUE(pumpUntil([&] { return shows("/q2.zqml"); }));

    for (int i = 0; i < 4; ++i) pressKey(kKeyDown);  // enters on row 0, then row 3
    ASSERT_NE(table(), nullptr);
    EXPECT_EQ(table()->focusedRow(), 3);
    pressKey(kKeyFire);
    ASSERT_TRUE(pumpUntil([&] { return !requestFor("detail.zqml").empty(); }));
    const std::string request = requestFor("detail.zqml");
    EXPECT_NE(request.find("row=code%3A200003%3Bname%3AN200003%3Bnum%3A3%3B"), std::string::npos)
        << request;
    EXPECT_NE(request.find("code=200003"), std::string::npos) << request;
    EXPECT_NE(request.find("num=3"), std::string::npos) << request;
}

// The control bar's "next page" button pages a short table before the
// table has the focus, and a long one with the page scrolled far down, where
// a row of the table lies hidden under the bar.
TEST_F(TableEndToEndTest, TheControlBarPagesBeforeTheFocusAndWithThePageScrolled) {
    const std::string link = "<a href='detail.zqml'>top</a>";
    server_.writePage("q1.zqml", quotePage(100000, 5, "q2.zqml", link));
    server_.writePage("q2.zqml", quotePage(200000, 40, "q3.zqml", link));
    server_.writePage("q3.zqml", quotePage(300000, 40, "q4.zqml", link));
    server_.writePage("detail.zqml", "<zqml><body><text>detail</text></body></zqml>");
    controller_->openUrl({.url = CString::fromUtf8(server_.urlFor("/q1.zqml"))});
    ASSERT_TRUE(pumpUntil([&] { return shows("/q1.zqml"); }));
    paint();
    ASSERT_NE(table(), nullptr);
    ASSERT_TRUE(table()->controlBarShown());
    EXPECT_FALSE(table()->isFocused());
    tapControlButton(2);
    ASSERT_TRUE(pumpUntil([&] { return shows("/q2.zqml"); }));

    for (int i = 0; i < 30; ++i) pressKey(kKeyDown);
    paint();
    ASSERT_LT(controller_->currentScreen()->getScrollOffset(), -200);
    tapControlButton(2);
    ASSERT_TRUE(pumpUntil([&] { return shows("/q3.zqml"); }));
    EXPECT_EQ(requestFor("detail.zqml"), "");
}

// Eight columns of quotes in the page's font (14 px; the table is made in
// an 11 px one) and two simple tables: every column holds its widest text,
// "1", "22", "333" stand apart, and the simple table wider than the screen
// takes the focus and shows its right part.
TEST_F(TableEndToEndTest, ColumnsHoldTheirTextsInThePageFont) {
    std::string row;
    for (const char* cell : {"600100", "Name0", "12.40", "-0.35", "1234567", "12.75", "12.05"}) {
        row += std::string("<td>") + cell + "</td>";
    }
    controller_->setPageFont(getFont(14));
    std::string wide;
    for (int c = 0; c < 13; ++c) wide += "<td>" + std::to_string(10 + c) + "</td>";
    server_.writePage("w.zqml",
                      "<zqml><body><table id='q'><th><td name='code'>Code</td><td>N</td>"
                      "<td>P</td><td>C</td><td>V</td><td>H</td><td>L</td></th><tr>" +
                          row +
                          "</tr></table><simpletable id='s'><tr><td>1</td><td>22</td>"
                          "<td>333</td></tr></simpletable><simpletable id='w'><tr>" +
                          wide + "</tr></simpletable></body></zqml>");
    controller_->openUrl({.url = CString::fromUtf8(server_.urlFor("/w.zqml"))});
    ASSERT_TRUE(pumpUntil([&] { return shows("/w.zqml"); }));
    paint();
    ASSERT_NE(table(), nullptr);
    const std::vector<int>& widths = table()->columnWidths();
    ASSERT_EQ(widths.size(), 7u);
    EXPECT_EQ(widths[0], 6 * 7 + 2);  // "600100"
    EXPECT_EQ(widths[4], 7 * 7 + 2);  // "1234567"
    EXPECT_TRUE(table()->scrollsSideways());

    Screen* screen = controller_->currentScreen();
    auto* small = dynamic_cast<TableItem*>(screen->getItemByName(CString(u"s")));
    auto* broad = dynamic_cast<TableItem*>(screen->getItemByName(CString(u"w")));
    ASSERT_TRUE(small && broad);
    const int texts[] = {7, 14, 21};
    for (int c = 0; c < 3; ++c) EXPECT_GE(small->columnWidths()[c], texts[c] + 4) << c;
    EXPECT_FALSE(small->isInteractive());
    EXPECT_TRUE(broad->isInteractive());
    for (int i = 0; i < 3 && !broad->isFocused(); ++i) pressKey(40);
    ASSERT_TRUE(broad->isFocused());
    pressKey(39);
    EXPECT_EQ(broad->scrollOffset(), broad->contentWidth() - broad->tableWidth());
}

// --- through the built client ---------------------------------------------------------

// The page's own colours; the probes look for them.
constexpr uint32_t kPageBg = 0x102030;
constexpr uint32_t kControlBarFill = 0x091023;  // the bar's colour word 0x231009
constexpr const char* kStyle =
    "<style>\n"
    "pg{background-color:#102030;font-color:#e0e0e0}\n"
    "st{font-color:#f0f0a0}\n"
    "up{font-color:#ff4040;text-align:right}\n"
    "</style>\n";

std::string colouredPage(const std::string& body) {
    return test::zqmlDocument(kStyle + ("<body class=\"pg\">" + body + "</body>"));
}

// Columns with ink between y0 and y1 come in runs, apart by at least `gap`
// blank columns; the runs in the band left of the scroll bar.
int inkRuns(const test::Shot& shot, int y0, int y1, int gap) {
    int runs = 0;
    int blank = gap;
    for (int x = 0; x < 220; ++x) {
        if (shot.ink(x, y0, x + 1, y1) > 0) {
            if (blank >= gap) ++runs;
            blank = 0;
        } else {
            ++blank;
        }
    }
    return runs;
}

class TableClientTest : public test::ClientFixture {
protected:
    TableClientTest() : ClientFixture("table_e2e_", kPageBg) {}

    void SetUp() override {
        ClientFixture::SetUp();
        server_.writePage("detail.zqml", colouredPage("<text>detail</text>"));
    }
};

// A wide quote table scrolled far down: its control bar's "next page"
// button loads the next page (no row under the bar is sent); the simple
// table's cells stand apart on the screen.
TEST_F(TableClientTest, AWideTableAndASimpleTableInAPageWithItsOwnColours) {
    std::string rows;
    for (int i = 0; i < 30; ++i) {
        rows += "<tr onclick=\"gw(detail.zqml)\"><td>" + std::to_string(600100 + i) +
                "</td><td class=\"up\">12.40</td><td>1234567</td><td>98765432</td>"
                "<td>600100</td></tr>";
    }
    const std::string table =
        "<table id=\"q\" downpage=\"fw(next.zqml)\"><th>"
        "<td name=\"code\">Code</td><td>Price</td><td>Volume</td>"
        "<td>Amount</td><td>Ref</td></th>" +
        rows + "</table>";
    server_.writePage("index.zqml",
                      colouredPage("<simpletable class=\"st\"><tr><td>1</td><td>22</td>"
                                   "<td>333</td></tr></simpletable>" +
                                   table));
    server_.writePage("next.zqml", colouredPage("<text>next</text>"));
    std::string script = kStart;
    script += shot("01-tables");
    for (int i = 0; i < 25; ++i) script += "key down\n";
    script += shot("02-scrolled");
    script += "tap 200 285\n";  // the second button of the bar: the next page
    script += kReply;
    ASSERT_EQ(run(script), 0) << err_;
    EXPECT_EQ(server_.queriesFor("/next.zqml").size(), 1u);
    EXPECT_TRUE(server_.queriesFor("/detail.zqml").empty());

    const test::Shot tables = load("01-tables");
    const test::Shot scrolled = load("02-scrolled");
    ASSERT_TRUE(tables.image && scrolled.image);
    // The simple table is the page's first line: three texts, apart, on
    // the page's own background.
    int top = 0;
    while (top < 40 && inkRuns(tables, top, top + 1, 1) == 0) ++top;
    ASSERT_LT(top, 40);
    EXPECT_EQ(inkRuns(tables, top, top + 10, 4), 3);
    EXPECT_EQ(tables.at(200, top + 5), kPageBg);
    // The control bar stands in the status line, right, in both pictures:
    // its fill shows between the first two buttons.
    for (const test::Shot* s : {&tables, &scrolled}) EXPECT_EQ(s->at(192, 290), kControlBarFill);
}
}  // namespace
}  // namespace zq
