// A quote table page from the in-process test server, end to end: the
// focus walks 100 rows, paging past the last one loads the next page, and
// FIRE on a row sends that row to the server with "gettablerow".
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/page_controller.h"
#include "items/fixed_head_table.h"
#include "items/item_makers.h"
#include "markup/style_sheet.h"
#include "platform/surface.h"
#include "platform/ui_executor.h"
#include "tests/app/controller_fixture.h"
#include "tests/support/test_env.h"
#include "tests/support/test_font.h"
#include "tests/support/test_server.h"
#include "ui/display.h"
#include "ui/font_cache.h"
#include "ui/screen.h"
#include "ui/toolkit_globals.h"

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
    controller_->openUrl(CString::fromUtf8(server_.urlFor("/q1.zqml")), -1, false, true, true, 0);
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
    controller_->openUrl(CString::fromUtf8(server_.urlFor("/q1.zqml")), -1, false, true, true, 0);
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

}  // namespace
}  // namespace zq
