// Auto-refresh: "refresh" countdowns on a clock the test drives, the page
// they belong to, held screens, the refresh mode, and a page from the test
// server that reloads itself every second.
#include "app/auto_refresh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/page_controller.h"
#include "app/speed_test_item.h"
#include "items/inputable.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/surface.h"
#include "platform/ui_executor.h"
#include "tests/app/controller_fixture.h"
#include "tests/support/test_env.h"
#include "tests/support/test_font.h"
#include "tests/support/test_server.h"
#include "ui/container.h"
#include "ui/display.h"
#include "ui/graphics_context.h"
#include "ui/screen.h"
#include "ui/soft_keyboard.h"

namespace zq {
namespace {

std::string page(const std::string& body) { return "<zqml><body>" + body + "</body></zqml>"; }

class AutoRefreshTest : public ::testing::Test {
protected:
    AutoRefreshTest() {
        std::filesystem::create_directories(scratch_.path());
        writeFileAtomic(scratch_.path() / "a.zqml", page("<text>a</text>"));
        writeFileAtomic(scratch_.path() / "b.zqml",
                        page("<text>b</text><command><commanditem caption=\"x\" action=\"gh()\"/>"
                             "<commanditem caption=\"y\" action=\"gh()\"/></command>"));
        controller_ =
            std::make_unique<PageController>(ControllerFolders{scratch_.path(), scratch_.path()});
        open("file://a.zqml");
    }
    void open(const char* link) {
        controller_->openUrl({.url = CString(link), .showLoading = false, .blockInput = false});
    }
    int shownId() const { return controller_->currentScreenId(); }
    // Moves the clock on by whole seconds, one timer round each.
    void seconds(int n) {
        for (int i = 0; i < n; ++i) {
            now_ += AutoRefresh::kTickMs;
            executor_.runPending();
        }
    }
    void setSetting(const char* key, const char* value) {
        SettingsStore::putEntry(controller_->settings().live(), CString(key), CString(value),
                                u"info-system");
    }

    UiExecutor executor_;
    uint32_t now_ = 1000;
    ScopedTickSource clock_{[this] { return now_; }};
    test::ScopedFixedFont font_;
    test::TempDir scratch_;
    std::unique_ptr<PageController> controller_;
};

TEST_F(AutoRefreshTest, CountdownsReloadTheShownPageAfterTheirSeconds) {
    setSetting("sys-refresh", "2");
    setSetting("sys-self", "#system.sys_self");
    struct Case {
        const char* action;
        int reloadAfter;  // seconds; 0 at once, -1 never
    };
    const Case cases[] = {
        {"refresh()", 0},
        {"rf(5)", 5},
        {"REFRESH( 1 )", 1},
        {"rf(#system.sys_refresh)", 2},
        {"rf(#system.sys_self)", -1},  // a value naming itself is not followed
        {"rf(#system.sys_none)", -1},
        {"refresh(abc)", -1},
        {"refresh(99999999999)", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.action);
        controller_->autoRefresh().stopAll();
        const int before = shownId();
        controller_->onAction(CString(c.action));
        if (c.reloadAfter == 0) {
            EXPECT_NE(shownId(), before);
            continue;
        }
        if (c.reloadAfter > 0) {
            seconds(c.reloadAfter - 1);
            EXPECT_EQ(shownId(), before);
            seconds(1);
            EXPECT_NE(shownId(), before);
            EXPECT_EQ(controller_->autoRefresh().lastRefreshTick(), now_);
        } else {
            seconds(6);
            EXPECT_EQ(shownId(), before);
        }
        EXPECT_EQ(controller_->history().count(), 1);  // reloaded in its place
    }
}

TEST_F(AutoRefreshTest, NothingAndLessReloadOnTheNextRoundNotInsideTheAction) {
    for (const char* action : {"refresh(0)", "refresh(-3)"}) {
        SCOPED_TRACE(action);
        const int before = shownId();
        controller_->onAction(CString(action));
        EXPECT_EQ(shownId(), before);
        now_ += 1;
        executor_.runPending();
        EXPECT_NE(shownId(), before);
    }
}

TEST_F(AutoRefreshTest, ALocalPageThatReloadsItselfAtOnceEnds) {
    writeFileAtomic(scratch_.path() / "loop.zqml",
                    "<zqml><body onload=\"refresh()\"><text>l</text></body></zqml>");
    open("file://loop.zqml");
    EXPECT_EQ(controller_->currentEntry()->url.toUtf8(), "file://loop.zqml");
    EXPECT_EQ(controller_->history().count(), 2);
}

TEST_F(AutoRefreshTest, LeavingThePageOrHoldingItStopsTheCount) {
    // Two countdowns run side by side; leaving the page ends both.
    controller_->onAction(u"rf(3)|rf(4)");
    EXPECT_EQ(controller_->autoRefresh().running(), 2u);
    open("file://b.zqml");
    const int onB = shownId();
    seconds(5);
    EXPECT_EQ(shownId(), onB);
    EXPECT_EQ(controller_->autoRefresh().running(), 0u);

    // An open menu holds the count.
    controller_->onAction(u"rf(2)");
    controller_->currentScreen()->setPopupMenuOpen(true);
    ASSERT_NE(controller_->currentScreen()->getBusyFlags(), 0u);
    seconds(5);
    EXPECT_EQ(shownId(), onB);
    controller_->currentScreen()->setPopupMenuOpen(false);
    seconds(2);
    EXPECT_NE(shownId(), onB);

    // The controller's end stops whatever still counts.
    controller_->onAction(u"rf(1)");
    controller_.reset();
    seconds(2);
}

// A reload took the display from an alert or the speed-test screen over the
// page: the alert went unanswered, the speed test was cancelled.
TEST_F(AutoRefreshTest, ScreensOverThePageHoldTheCount) {
    Display display(Size{240, 320});
    open("file://b.zqml");
    const int onB = shownId();
    Screen* page = controller_->currentScreen();
    ASSERT_EQ(display.getCurrent(), page);
    controller_->onAction(u"rf(1)|alert(hello,1)");
    ASSERT_NE(display.getCurrent(), page);
    seconds(3);
    EXPECT_EQ(shownId(), onB);
    display.setCurrent(page, true);  // the alert is answered
    seconds(1);
    EXPECT_NE(shownId(), onB);

    // A countdown due at once waits as well.
    const int reloaded = shownId();
    controller_->onAction(u"rf(0)|spt()");
    ASSERT_NE(controller_->speedTest().speedTestScreen(), nullptr);
    seconds(3);
    EXPECT_EQ(shownId(), reloaded);
    EXPECT_EQ(display.getCurrent(),
              static_cast<Displayable*>(controller_->speedTest().speedTestScreen()));
    controller_->speedTest().closeSpeedTestScreen();
    seconds(1);
    EXPECT_NE(shownId(), reloaded);
    EXPECT_EQ(controller_->history().count(), 2);
}

// Regression: a field changed and still focused held the page's reloads,
// and the reply of the user's own reload, until it was left, which then
// showed a reply as old as the wait. A tap on the soft keyboard or in the
// field is typing too: a reload between two taps lost the keypad chosen.
TEST_F(AutoRefreshTest, TypingHoldsReloadsOnlyUntilTheUserPauses) {
    Display display(Size{240, 320});
    auto write = [this](const char* version) {
        writeFileAtomic(
            scratch_.path() / "e.zqml",
            std::string("<zqml><body onload=\"rf(2)\"><text id=\"") + version +
                "\">x</text><edit id=\"qty\" name=\"qty\" maxsize=\"40\"/></body></zqml>");
    };
    // The "1" key of the soft keyboard's digit pad, and the field.
    auto tapDigit = [](Screen& screen) {
        const SoftKeyboard* pad = screen.getSoftKeyboard();
        if (!pad || !pad->isVisible() || pad->lastBottom() < 0) return;
        const int pitch = pad->keySize() + 1;
        const int x = pad->lastRight() - pad->panelWidth() + pad->panelWidth() / 6;
        const int y = pad->lastBottom() - pad->panelHeight() + pitch + pitch / 2;
        screen.pointerPressed(x, y);
        screen.pointerReleased(x, y);
    };
    // The letter pad's "b", the keypad switched to at the first tap.
    bool switched = false;
    auto tapLetter = [&switched](Screen& screen) {
        const SoftKeyboard* pad = screen.getSoftKeyboard();
        if (!pad || !pad->isVisible() || pad->lastBottom() < 0) return;
        const int pitch = pad->keySize() + 1;
        const int left = pad->lastRight() - pad->panelWidth();
        const int top = pad->lastBottom() - pad->panelHeight();
        auto tap = [&screen](int x, int y) {
            screen.pointerPressed(x, y);
            screen.pointerReleased(x, y);
        };
        if (!std::exchange(switched, true)) tap(left + pad->panelWidth() * 5 / 6, top + pitch / 2);
        tap(left + pad->panelWidth() * 3 / 14, top + pitch + pitch / 2);
    };
    // "b" only while the keyboard is drawn as a fresh paint of it draws it.
    auto tapDrawnLetter = [&display, &tapLetter](Screen& screen) {
        SoftKeyboard* pad = screen.getSoftKeyboard();
        DeviceContext* shown = display.getBackBufferDC();
        if (!pad || !shown || pad->lastBottom() < 0) return;
        Surface fresh(240, 320);
        DeviceContext dc(fresh);
        GraphicsContext g;
        g.init(240, 320, &dc);
        pad->paint(pad->lastBottom(), pad->lastRight(), g, 1);
        for (int y = pad->lastBottom() - pad->panelHeight(); y < pad->lastBottom(); ++y) {
            for (int x = pad->lastRight() - pad->panelWidth(); x < pad->lastRight(); ++x) {
                if (shown->getPixel(x, y) != fresh.getPixel(x, y)) return;
            }
        }
        tapLetter(screen);
    };
    auto tapField = [this](Screen& screen) {
        Item* field = controller_->getItemByName(CString(u"qty"));
        const int x = field->getAbsoluteX() + 4;
        const int y = field->getAbsoluteY() - screen.getScrollOffset() + 4;
        screen.pointerPressed(x, y);
        screen.pointerReleased(x, y);
    };
    struct Case {
        const char* name;
        std::function<void(Screen&)> key;
        const char* typed;      // after eight
        const char* typedOver;  // after seven more over a reload
    };
    const Case cases[] = {
        {"Keys", [](Screen& screen) { screen.textTyped(CString(u"1")); }, "11111111",
         "111111111111111"},
        {"SoftKeyboardTaps", tapDigit, "11111111", "111111111111111"},
        {"SoftKeyboardLetters", tapLetter, "bbbbbbbb", "bbbbbbbbbbbbbbb"},
        {"LettersAsDrawnOverAChangedPage", tapDrawnLetter, "bbbbbbbb", "bbbbbbbbbbbbbbb"},
        {"TapsInTheField", tapField, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        switched = false;
        // A key every half second for `ms`.
        auto typeFor = [&](int ms) {
            for (int t = 0; t < ms; t += 500) {
                c.key(*controller_->currentScreen());
                now_ += 500;
                executor_.runPending();
            }
        };
        auto shows = [this](const char* id) {
            return controller_->getItemByName(CString::fromUtf8(id)) != nullptr;
        };
        write("v1");
        open("file://e.zqml");
        controller_->currentScreen()->keyPressed(40);
        controller_->currentScreen()->keyReleased(40);
        display.repaint();
        const int pages = controller_->history().count();
        const int typedOn = shownId();
        typeFor(4000);
        EXPECT_EQ(shownId(), typedOn) << "no reload while the user types";
        seconds(3);
        EXPECT_NE(shownId(), typedOn) << "a pause lets the page reload";
        auto* field = dynamic_cast<Inputable*>(controller_->getItemByName(CString(u"qty")));
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->getValue().toUtf8(), c.typed);

        // The user's own reload while typing waits; past the page's period
        // its reply gives way to the next reload.
        const int reloadedOn = shownId();
        typeFor(500);
        controller_->onAction(u"refresh()");
        write("v2");
        typeFor(3000);
        EXPECT_EQ(shownId(), reloadedOn);
        seconds(3);
        EXPECT_NE(shownId(), reloadedOn);
        EXPECT_TRUE(shows("v2"));
        field = dynamic_cast<Inputable*>(controller_->getItemByName(CString(u"qty")));
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->getValue().toUtf8(), c.typedOver);
        EXPECT_FALSE(controller_->currentScreen()->isLoading());
        EXPECT_EQ(controller_->history().count(), pages);
        controller_->autoRefresh().stopAll();
    }
}

TEST(RefreshMode, FromTheSettingAndTheRememberedMode) {
    struct Case {
        const char* type;
        const char* mode;
        int expected;
    };
    const Case cases[] = {
        {"2", "", 0}, {"2", "1", 0}, {"1", "2", 0}, {"1", "", 2},  {"1", "x", 2},
        {"", "2", 0}, {"x", "1", 2}, {"", "", 1},   {"x", "y", 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(refreshMode(CString(c.type), CString(c.mode)), c.expected)
            << c.type << "/" << c.mode;
    }
    EXPECT_EQ(parseRefreshSeconds(u" -3 "), -3);
    EXPECT_EQ(parseRefreshSeconds(u"99999999999"), 2147483647);
    EXPECT_FALSE(parseRefreshSeconds(u"abc"));
    EXPECT_FALSE(parseRefreshSeconds(u"-"));
}

// A reload of a server page sent its old request numbers again, and the
// reply, filed under the old number, was dropped.
TEST(RefreshUrl, ARequestsPageNumbersAreTakenOut) {
    const std::pair<const char*, const char*> cases[] = {
        {"http://h:1/r.zqml?pageid=1&screenid=-1", "http://h:1/r.zqml"},
        {"http://h:1/r.zqml?a=1&pageid=12&screenid=3", "http://h:1/r.zqml?a=1"},
        {"http://h:1/r.zqml?pageid=1&screenid=2&a=1", "http://h:1/r.zqml?a=1"},
        {"http://h:1/r.zqml?pageid=1&screenid=-1&pageid=2&screenid=1", "http://h:1/r.zqml"},
        {"http://h:1/r.zqml?xpageid=1&screenid=2", "http://h:1/r.zqml?xpageid=1&screenid=2"},
        {"http://h:1/r.zqml?pageid=x", "http://h:1/r.zqml?pageid=x"},
        {"file://a.zqml", "file://a.zqml"},
    };
    for (const auto& [url, expected] : cases) {
        EXPECT_EQ(withoutPageParams(CString(url)).toUtf8(), expected) << url;
    }
}

// --- end to end --------------------------------------------------------------------------------

std::string shownText(PageController& controller) {
    Screen* screen = controller.currentScreen();
    if (!screen || !screen->getContent() || screen->getContent()->size() == 0) return "";
    return screen->getContent()->getItem(0)->getText().toUtf8();
}

TEST(AutoRefreshEndToEnd, APageThatRefreshesItselfShowsNewServerContentTwice) {
    UiExecutor executor;
    test::ScopedFixedFont font;
    test::TempDir scratch;
    test::TestServer server;
    ASSERT_TRUE(server.started());
    auto version = [&](int n) {
        server.writePage("r.zqml", "<zqml><body onload=\"refresh(1)\"><text>v" + std::to_string(n) +
                                       "</text></body></zqml>");
    };
    version(1);
    PageController controller(ControllerFolders{scratch.path(), scratch.path()});
    auto session = controller.requests().makeSession();
    session->setConnectionType(1);
    controller.setSession(std::move(session));
    auto shows = [&](const std::string& text) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < end) {
            executor.runPending();
            if (shownText(controller) == text) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    };
    controller.openUrl({.url = CString::fromUtf8(server.urlFor("/r.zqml")), .blockInput = false});
    ASSERT_TRUE(shows("v1"));
    version(2);
    ASSERT_TRUE(shows("v2"));
    version(3);
    ASSERT_TRUE(shows("v3"));
    EXPECT_EQ(controller.history().count(), 1);
}

// The reload's reply came first and took the page, so the reply to the
// link the user followed meanwhile found no page to replace and was dropped.
class AutoRefreshServerTest : public test::ControllerFixture<> {
protected:
    // Shows /r.zqml from the server; /u.zqml is there to go to.
    void showR() {
        server_.writePage("r.zqml", "<zqml><body><text>r</text></body></zqml>");
        server_.writePage("u.zqml", "<zqml><body><text>u</text></body></zqml>");
        useServer(false);
        controller_->openUrl(
            {.url = CString::fromUtf8(server_.urlFor("/r.zqml")), .blockInput = false});
        ASSERT_TRUE(pumpUntil([&] { return shows("/r.zqml"); }));
    }
};

TEST_F(AutoRefreshServerTest, ALinkFollowedDuringAReloadWins) {
    ASSERT_NO_FATAL_FAILURE(showR());
    server_.setLateDelayMs(600);
    server_.setFault(testserver::Fault::Late);
    controller_->onAction(u"rf(1)");
    ASSERT_TRUE(pumpUntil([&] { return server_.requests().size() == 2; }));
    controller_->navigate(CString::fromUtf8(server_.urlFor("/u.zqml")), NavigationLoading::Shown,
                          NavigationInput::Open);
    ASSERT_TRUE(pumpUntil([&] { return server_.requests().size() == 3; }));
    EXPECT_TRUE(pumpUntil([&] { return shows("/u.zqml"); }, 4000)) << shownUrl();
    EXPECT_EQ(controller_->history().count(), 2);
}

// Regression: a countdown that ran out while the user's own request was
// pending sent a reload, whose reply could take the page first and leave the
// user's reply no page to replace.
TEST_F(AutoRefreshServerTest, ACountdownWaitsWhileTheUsersRequestIsPending) {
    ASSERT_NO_FATAL_FAILURE(showR());
    server_.setLateDelayMs(600);
    server_.setFault(testserver::Fault::Late, 1);
    controller_->navigate(CString::fromUtf8(server_.urlFor("/u.zqml")), NavigationLoading::Shown,
                          NavigationInput::Open);
    ASSERT_TRUE(pumpUntil([&] { return server_.requests().size() == 2; }));
    controller_->onAction(u"rf(0)");
    EXPECT_TRUE(pumpUntil([&] { return shows("/u.zqml"); }, 4000)) << shownUrl();
    EXPECT_EQ(server_.requests().size(), 2u) << "no reload went out under the user's request";
}

// Regression: the reply of a reload in flight took the screen from an alert
// opened meanwhile, which vanished unanswered.
TEST_F(AutoRefreshServerTest, AnAlertOpenedDuringAReloadKeepsTheScreenUntilAnswered) {
    ASSERT_NO_FATAL_FAILURE(showR());
    PageEntry* before = controller_->currentEntry();
    server_.delayNextReply("/r.zqml", 30000);
    controller_->onAction(u"rf(0)");
    ASSERT_TRUE(pumpUntil([&] { return server_.requests().size() == 2; }));
    controller_->onAction(u"al(Hi,1)");
    Displayable* alert = display_->getCurrent();
    ASSERT_NE(alert, controller_->currentScreen());
    // The reload's reply goes out now and is taken in.
    server_.releaseDelayedReplies();
    ASSERT_TRUE(pumpUntil([&] {
        const std::vector<std::string> sent = server_.repliesSent();
        return std::count(sent.begin(), sent.end(), "/r.zqml") == 2 &&
               controller_->requests().pendingTable().idle();
    }));
    executor_.runPending();
    EXPECT_EQ(display_->getCurrent(), alert);
    // Its "返" key closes it; the reloaded page comes after.
    pressKey(kKeySoftRight);
    EXPECT_TRUE(pumpUntil([&] {
        return controller_->currentEntry() != before &&
               display_->getCurrent() == controller_->currentScreen();
    }));
}

}  // namespace
}  // namespace zq
