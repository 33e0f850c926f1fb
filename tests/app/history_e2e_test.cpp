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
#include <utility>
#include <vector>

#include "app/page_controller.h"
#include "app/page_loader.h"
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

// Regression: Back from a page a load action opened showed the page whose
// load action opened it, which opened the page again: Back never left.
TEST_F(HistoryEndToEndTest, BackPassesOverAPageWhoseLoadActionOpenedAnother) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> pages;
        const char* first;  // opened by the user on s.zqml
        const char* last;   // shown once the openings have ended
        bool onToX;         // the user then opens x.zqml from it
        int backs;          // Backs that lead to s.zqml
    };
    const Case cases[] = {
        {"login to home",
         {{"login.zqml", "<zqml><body onload=\"forward(home.zqml)\"/></zqml>"},
          {"home.zqml", page("", "x.zqml")}},
         "/login.zqml",
         "/home.zqml",
         false,
         1},
        {"login to home by a follow-up link",
         {{"login.zqml", "<zqml><body onload=\"forward(r.zqml)\"/></zqml>"},
          {"r.zqml", "<zqml><redirectfile url=\"home.zqml\"/><body/></zqml>"},
          {"home.zqml", page("", "x.zqml")}},
         "/login.zqml",
         "/home.zqml",
         false,
         1},
        {"a chain a, b, c",
         {{"a.zqml", "<zqml><body onload=\"forward(b.zqml)\"/></zqml>"},
          {"b.zqml", "<zqml><body onload=\"forward(c.zqml)\"/></zqml>"},
          {"c.zqml", page("", "x.zqml")}},
         "/a.zqml",
         "/c.zqml",
         false,
         1},
        {"a chain, then a page the user opened",
         {{"a.zqml", "<zqml><body onload=\"forward(b.zqml)\"/></zqml>"},
          {"b.zqml", "<zqml><body onload=\"forward(c.zqml)\"/></zqml>"},
          {"c.zqml", page("", "x.zqml")}},
         "/a.zqml",
         "/c.zqml",
         true,
         2},
    };
    for (const Case& c : cases) {
        for (const bool gateway : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (gateway ? ", gateway" : ", framed"));
            useServer(gateway);
            server_.writePage("s.zqml", page("", std::string(c.first).substr(1)));
            server_.writePage("x.zqml", page("", "s.zqml"));
            for (const auto& [path, text] : c.pages) server_.writePage(path, text);
            server_.clearRequests();
            const PageEntry* before = controller_->currentEntry();
            controller_->openUrl({.url = CString::fromUtf8(server_.urlFor("/s.zqml"))});
            ASSERT_TRUE(pumpUntil([&] { return controller_->currentEntry() != before; }));
            ASSERT_TRUE(follow(c.last));
            if (c.onToX) {
                ASSERT_TRUE(follow("/x.zqml"));
            }
            ASSERT_TRUE(pumpUntil([&] { return !controller_->currentScreen()->isLoading(); }));
            const size_t asked = server_.requests().size();
            for (int i = 0; i < c.backs; ++i) {
                pressKey(kKeyBack);
                pumpUntil([] { return false; }, 200);
            }
            EXPECT_TRUE(shows("/s.zqml")) << shownUrl();
            EXPECT_EQ(server_.requests().size(), asked);
        }
    }
}

// Regression: a first page whose load action opened home was shown empty,
// with only the exit key, by gohome() and by Back from home.
TEST_F(HistoryEndToEndTest, AFirstPageThatOpenedHomeIsPassedOver) {
    server_.writePage("entry.zqml", "<zqml><body onload=\"fw(home.zqml)\"/></zqml>");
    server_.writePage("home.zqml", page("", "x.zqml"));
    server_.writePage("x.zqml", page("", "home.zqml"));
    controller_->openUrl({.url = CString::fromUtf8(server_.urlFor("/entry.zqml"))});
    ASSERT_TRUE(pumpUntil([&] { return shows("/home.zqml"); }));
    ASSERT_TRUE(follow("/x.zqml"));
    controller_->onAction(CString(u"gohome()"));
    EXPECT_TRUE(shows("/home.zqml")) << shownUrl();
    EXPECT_EQ(server_.queriesFor("/entry.zqml").size(), 1u);
    // Home is the first page the user sees: Back asks to quit.
    clearMessageBoxLog();
    pressKey(kKeyBack);
    const std::vector<MessageBoxRecord> boxes = messageBoxLog();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, CString(u"确认退出"));
}

// Regression: a loop, or a long chain of openings, that began on an
// uncached page lost the pages the user had walked: Back went to the first.
TEST_F(HistoryEndToEndTest, AfterALoopBackShowsTheUsersPages) {
    for (const char* end : {"c13", "c1"}) {  // twelve forwards; a ring of them
        SCOPED_TRACE(end);
        const std::string dir = std::string(end) + "/";
        for (int i = 0; i < 4; ++i) {
            server_.writePage(dir + "p" + std::to_string(i) + ".zqml",
                              page(i == 3 ? "cache=\"false\"" : "",
                                   i == 3 ? "c1.zqml" : "p" + std::to_string(i + 1) + ".zqml"));
        }
        for (int i = 1; i <= 12; ++i) {
            const std::string next = i == 12 ? end : "c" + std::to_string(i + 1);
            server_.writePage(dir + "c" + std::to_string(i) + ".zqml",
                              "<zqml><body onload=\"fw(" + next + ".zqml)\"/></zqml>");
        }
        server_.writePage(dir + "c13.zqml", page("", "p0.zqml"));
        clearMessageBoxLog();
        controller_->openUrl({.url = CString::fromUtf8(server_.urlFor("/" + dir + "p0.zqml"))});
        ASSERT_TRUE(pumpUntil([&] { return shows(dir + "p0.zqml"); }));
        for (const char* next : {"p1.zqml", "p2.zqml", "p3.zqml"}) ASSERT_TRUE(follow(dir + next));
        pressKey(kKeyDown);
        pressKey(kKeyFire);
        ASSERT_TRUE(pumpUntil([&] { return shows("c13.zqml") || !messageBoxLog().empty(); }));
        for (const char* expected : {"p2.zqml", "p1.zqml", "p0.zqml"}) {
            pressKey(kKeyBack);
            pumpUntil([] { return false; }, 100);
            EXPECT_TRUE(shows(dir + expected)) << shownUrl();
        }
    }
}

// A page that reloads itself by refresh(n) is still there a Back away, and
// a link that cannot be opened ends its load with a word at once.
TEST_F(HistoryEndToEndTest, AReloadingPageIsNoStepOverAndAnUnopenableLinkEndsItsLoad) {
    const char* const unopenable[] = {
        "<a href=\"tel://12-345\">call</a>",
        "<a href=\"zqml://nohost/x.zqml\">far</a>",
    };
    for (const bool gateway : {false, true}) {
        SCOPED_TRACE(gateway ? "gateway" : "framed");
        useServer(gateway);
        server_.writePage("s.zqml", page("", "r.zqml"));
        server_.writePage("r.zqml",
                          "<zqml><body onload=\"refresh(1)\"><a href=\"x.zqml\">x</a>"
                          "</body></zqml>");
        server_.writePage("x.zqml", page("", "s.zqml"));
        server_.clearRequests();
        controller_->openUrl({.url = CString::fromUtf8(server_.urlFor("/s.zqml"))});
        ASSERT_TRUE(pumpUntil([&] { return shows("/s.zqml"); }));
        ASSERT_TRUE(follow("/r.zqml"));
        ASSERT_TRUE(pumpUntil([&] { return server_.queriesFor("/r.zqml").size() >= 2; }));
        ASSERT_TRUE(pumpUntil([&] { return !controller_->currentScreen()->isLoading(); }));
        ASSERT_TRUE(follow("/x.zqml"));
        pressKey(kKeyBack);
        EXPECT_TRUE(shows("/r.zqml")) << shownUrl();

        for (const char* link : unopenable) {
            SCOPED_TRACE(link);
            server_.writePage("u.zqml", std::string("<zqml><body>") + link + "</body></zqml>");
            controller_->openUrl({.url = CString::fromUtf8(server_.urlFor("/u.zqml"))});
            ASSERT_TRUE(pumpUntil([&] { return shows("u.zqml"); }));
            ASSERT_TRUE(pumpUntil([&] { return !controller_->currentScreen()->isLoading(); }));
            clearMessageBoxLog();
            pressKey(kKeyDown);
            pressKey(kKeyFire);
            EXPECT_FALSE(controller_->currentScreen()->isLoading());
            const std::vector<MessageBoxRecord> boxes = messageBoxLog();
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, CString(PageLoader::kUnopenableLinkText));
        }

        // A relative redirect is the page's name on the server that sent it:
        // its reloads and links go there.
        const std::string named =
            "<zqml redirect=\"v2.zqml\"><body onload=\"refresh(1)\">"
            "<a href=\"x.zqml\">x</a></body></zqml>";
        server_.writePage("v.zqml", named);
        server_.writePage("v2.zqml", named);
        clearMessageBoxLog();
        controller_->openUrl({.url = CString::fromUtf8(server_.urlFor("/v.zqml"))});
        ASSERT_TRUE(pumpUntil([&] { return server_.queriesFor("/v2.zqml").size() >= 1; }));
        EXPECT_TRUE(messageBoxLog().empty());
        ASSERT_TRUE(follow("/x.zqml"));
    }
}

}  // namespace
}  // namespace zq
