// The page history end to end: pages from the in-process test server are
// walked forward and back, and a page with the cache id of the shown one is
// opened while forward pages exist. Run under AddressSanitizer, a shown
// page freed by the history fails here.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/page_controller.h"
#include "items/item_makers.h"
#include "markup/style_sheet.h"
#include "platform/message_box.h"
#include "platform/ui_executor.h"
#include "tests/app/controller_fixture.h"
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
constexpr int kKeyBack = 113;

std::string page(const std::string& attributes, const std::string& link) {
    return "<zqml " + attributes + "><body><a href=\"" + link + "\">next</a></body></zqml>";
}

class HistoryEndToEndTest : public test::ControllerFixture<> {
protected:
    HistoryEndToEndTest() { useServer(false); }

    // Focuses the page's only link and follows it.
    bool follow(const std::string& to) {
        pressKey(kKeyDown);
        pressKey(kKeyFire);
        return pumpUntil([&] { return shows(to); });
    }
};

TEST_F(HistoryEndToEndTest, SameCacheIdAsTheShownPageWithForwardPagesKeepsItAlive) {
    server_.writePage("s.zqml", page("cacheid=\"s\"", "f1.zqml"));
    server_.writePage("f1.zqml", page("", "f2.zqml"));
    server_.writePage("f2.zqml", page("", "f3.zqml"));
    server_.writePage("f3.zqml", page("", "t.zqml"));
    server_.writePage("t.zqml", page("cacheid=\"s\"", "f1.zqml"));
    controller_->openUrl({.url = CString::fromUtf8(server_.urlFor("/s.zqml"))});
    ASSERT_TRUE(pumpUntil([&] { return shows("/s.zqml"); }));
    ASSERT_TRUE(follow("/f1.zqml"));
    ASSERT_TRUE(follow("/f2.zqml"));
    ASSERT_TRUE(follow("/f3.zqml"));
    for (int i = 0; i < 3; ++i) pressKey(kKeyBack);
    ASSERT_TRUE(shows("/s.zqml"));
    ASSERT_EQ(controller_->history().count(), 4);

    // A page with s's cache id, opened while f1 to f3 lie ahead: s leaves the
    // list together with them, while it is still the page shown.
    controller_->openUrl({.url = CString::fromUtf8(server_.urlFor("/t.zqml")),
                          .screenId = controller_->currentScreenId()});
    ASSERT_TRUE(pumpUntil([&] { return shows("/t.zqml"); }));
    EXPECT_EQ(controller_->history().count(), 1);
    const PageEntry* oldest = controller_->history().recycledAt(0);
    ASSERT_NE(oldest, nullptr);
    EXPECT_NE(oldest->url.toUtf8().find("/s.zqml"), std::string::npos);

    // The page shown before it can be left and the walk goes on.
    ASSERT_TRUE(follow("/f1.zqml"));
    pressKey(kKeyBack);
    EXPECT_TRUE(shows("/t.zqml"));
}

}  // namespace
}  // namespace zq
