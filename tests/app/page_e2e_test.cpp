// The page controller end to end: pages from the resource folder and from
// the in-process test server (framed TCP and the HTTP gateway) are built,
// shown and walked with links and soft keys; item events and soft keys
// reach their actions; late, missing and broken replies end in a retry, a
// time-out box or a page, never in a hang.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/page_controller.h"
#include "items/item_makers.h"
#include "markup/style_sheet.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/ui_executor.h"
#include "platform/ui_loop.h"
#include "platform/window.h"
#include "tests/app/controller_fixture.h"
#include "tests/support/headless_harness.h"
#include "tests/support/test_env.h"
#include "tests/support/test_font.h"
#include "tests/support/test_server.h"
#include "ui/client_context.h"
#include "ui/display.h"
#include "ui/event.h"
#include "ui/font_cache.h"
#include "ui/screen.h"

namespace zq {
namespace {

using testserver::Fault;
using testserver::Packing;

constexpr uint32_t kShortWaitMs = 300;

std::string page(const std::string& body) { return "<zqml><body>" + body + "</body></zqml>"; }

class PageEndToEndTest : public test::ControllerFixture<> {
protected:
    PageEndToEndTest() : ControllerFixture("res") {}

    // The resource folder lies one level inside the scratch folder, so that
    // a page can try to climb out of it.
    std::filesystem::path resourceFolder() const { return scratch_.path() / "res"; }
    void writeResource(const std::string& name, const std::string& text) {
        ASSERT_TRUE(writeFileAtomic(resourceFolder() / name, text));
    }
    void useServer(bool gateway) {
        ControllerFixture::useServer(gateway);
        controller_->session()->setReplyWaitMs(kShortWaitMs);
    }
    void open(const std::string& link) {
        controller_->openUrl(
            {.url = CString::fromUtf8(link), .screenId = controller_->currentScreenId()});
    }
    bool timeoutBoxShown() const {
        for (const MessageBoxRecord& box : messageBoxLog()) {
            if (box.text.toUtf8() == "网络超时，请稍后重试！") return true;
        }
        return false;
    }
    // The "pageid" of each request the server received.
    std::vector<int> pageIds() const {
        std::vector<int> ids;
        for (const testserver::ReceivedRequest& r : server_.requests()) {
            const size_t at = r.url.find("pageid=");
            ids.push_back(at == std::string::npos ? -1 : std::stoi(r.url.substr(at + 7)));
        }
        return ids;
    }
};

TEST_F(PageEndToEndTest, LocalPagesEventsAndSoftKeysReachTheirActions) {
    writeResource("a.zqml", page("<text>a</text>"));
    writeResource("b.zqml", page("<text>b</text>"));
    writeResource("c.zqml",
                  "<zqml cache=\"FALSE\"><body><text>c</text><command>"
                  "<commanditem caption=\"返\" action=\"forward(file://a.zqml)\"/>"
                  "</command></body></zqml>");
    controller_->openUrl({.url = CString(u"")});  // empty: nothing at all
    open("file://a.zqml");
    ASSERT_TRUE(shows("a.zqml"));

    // A link with no action forwards to its address; one with both runs the action.
    controller_->onEvent(std::make_unique<HyperEvent>(CString(), CString(), CString()));
    EXPECT_TRUE(shows("a.zqml"));
    controller_->onEvent(
        std::make_unique<HyperEvent>(CString(u"l"), CString(u"b.zqml"), CString()));
    EXPECT_TRUE(shows("b.zqml"));
    controller_->onEvent(std::make_unique<ButtonEvent>(
        CString(), CString(), CString(u"forward(file://c.zqml)"), CString()));
    EXPECT_TRUE(shows("c.zqml"));

    // c defines its own "返": it runs instead of going back.
    Command back(CString(u"返"), 2, 1);
    controller_->commandAction(&back, nullptr);
    EXPECT_TRUE(shows("a.zqml"));
    EXPECT_EQ(controller_->history().count(), 3);  // c was shown but not kept

    // Built-in soft keys walk the history; a key binding runs its action.
    controller_->commandAction(&back, nullptr);
    EXPECT_TRUE(shows("b.zqml"));
    Command forward(CString(u"前"), 2, 1);
    controller_->commandAction(&forward, nullptr);
    EXPECT_TRUE(shows("a.zqml"));
    controller_->onEvent(
        std::make_unique<KeyEvent>(CString(u"35"), CString(u"forward(file://b.zqml)")));
    EXPECT_TRUE(shows("b.zqml"));
    Command retry(CString(u"重试"), 2, 1);
    PageEntry* before = controller_->currentEntry();
    controller_->commandAction(&retry, nullptr);
    EXPECT_TRUE(shows("b.zqml"));
    EXPECT_NE(controller_->currentEntry(), before);  // opened again in its place

    // Paths are confined to the resource folder; a page that is not there
    // changes nothing.
    writeResource("../outside.zqml", page("<text>x</text>"));
    open("file://../outside.zqml");
    open("tempfile://../outside.zqml");
    clearMessageBoxLog();
    open("file://missing.zqml");
    EXPECT_TRUE(shows("b.zqml"));
    // Said as missing, not as content that did not parse.
    ASSERT_EQ(messageBoxLog().size(), 1u);
    EXPECT_EQ(messageBoxLog()[0].text, CString(PageLoader::kMissingFileText));
}

TEST_F(PageEndToEndTest, ReplaceWaitsForAnOpenMenuWithoutBlocking) {
    writeResource("m.zqml", page("<text>m</text><command>"
                                 "<commanditem caption=\"x\" action=\"back(1)\"/>"
                                 "<commanditem caption=\"y\" action=\"back(1)\"/>"
                                 "</command>"));
    writeResource("b.zqml", page("<text>b</text>"));
    open("file://m.zqml");
    ASSERT_TRUE(shows("m.zqml"));
    controller_->currentScreen()->setPopupMenuOpen(true);
    ASSERT_NE(controller_->currentScreen()->getBusyFlags(), 0u);

    controller_->openUrl({.url = CString(u"file://b.zqml"),
                          .replace = true,
                          .showLoading = false,
                          .blockInput = false});
    EXPECT_TRUE(shows("m.zqml"));  // returned at once, nothing shown yet
    pumpUntil([] { return false; }, 300);
    EXPECT_TRUE(shows("m.zqml"));
    controller_->currentScreen()->setPopupMenuOpen(false);
    EXPECT_TRUE(pumpUntil([&] { return shows("b.zqml"); }));
    EXPECT_EQ(controller_->history().count(), 1);  // in place of m
}

TEST_F(PageEndToEndTest, FramedPageIsShownItsLinkFollowedAndBackReturns) {
    server_.writePage("a.zqml", page("<a href=\"b.zqml\">to b</a>"));
    server_.writePage("b.zqml", page("<text>page b</text>"));
    useServer(false);
    open(server_.urlFor("/a.zqml"));
    ASSERT_TRUE(pumpUntil([&] { return shows("/a.zqml"); }));

    pressKey(40);  // focus the link
    pressKey(13);
    ASSERT_TRUE(pumpUntil([&] { return shows("/b.zqml"); }));
    pressKey(113);  // the right soft key: back
    EXPECT_TRUE(shows("/a.zqml"));
    EXPECT_EQ(controller_->history().count(), 2);
}

TEST_F(PageEndToEndTest, GatewayPageIsShownItsLinkFollowedAndBackReturns) {
    server_.writePage("a.zqml", page("<a href=\"b.zqml\">to b</a>"));
    server_.writePage("b.zqml", page("<text>page b</text>"));
    useServer(true);
    open(server_.urlFor("/a.zqml"));
    ASSERT_TRUE(pumpUntil([&] { return shows("/a.zqml"); }));
    pressKey(40);
    pressKey(13);
    ASSERT_TRUE(pumpUntil([&] { return shows("/b.zqml"); }));
    pressKey(113);
    EXPECT_TRUE(shows("/a.zqml"));
    for (const testserver::ReceivedRequest& r : server_.requests()) {
        EXPECT_EQ(r.transport, testserver::Transport::Gateway);
    }
}

TEST_F(PageEndToEndTest, LzssAndZlibBodiesAreUnpacked) {
    // Long enough that packing pays and the head's factor matters.
    std::string rows;
    for (int i = 0; i < 60; ++i) rows += "<text>row " + std::to_string(i) + "</text>";
    server_.writePage("a.zqml", page(rows));
    server_.writePage("b.zqml", page(rows + "<text>b</text>"));
    useServer(false);
    server_.setPacking(Packing::Lzss);
    open(server_.urlFor("/a.zqml"));
    ASSERT_TRUE(pumpUntil([&] { return shows("/a.zqml"); }));
    server_.setPacking(Packing::Zlib);
    open(server_.urlFor("/b.zqml"));
    ASSERT_TRUE(pumpUntil([&] { return shows("/b.zqml"); }));
}

TEST_F(PageEndToEndTest, StyleSheetIsFetchedWhileThePageBuilds) {
    server_.writePage("s.css", "hot{font-color:#ff0000}\n");
    server_.writePage("a.zqml", page("<style href=\"" + server_.urlFor("/s.css") +
                                     "\"/><text class=\"hot\">x</text>"));
    useServer(false);
    open(server_.urlFor("/a.zqml"));
    ASSERT_TRUE(pumpUntil([&] { return shows("/a.zqml"); }));
    EXPECT_NE(externalStyleSheetCache().rules.find(CString(u"hot")), nullptr);
    const std::vector<testserver::ReceivedRequest> requests = server_.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].target.path, "/s.css");
}

TEST_F(PageEndToEndTest, LateReplyIsRetriedUnderANewIdThenTimesOut) {
    server_.writePage("a.zqml", page("<text>a</text>"));
    server_.writePage("slow.zqml", page("<text>slow</text>"));
    useServer(false);
    open(server_.urlFor("/a.zqml"));
    ASSERT_TRUE(pumpUntil([&] { return shows("/a.zqml"); }));
    server_.clearRequests();

    server_.setLateDelayMs(6000);
    server_.setFault(Fault::Late);
    open(server_.urlFor("/slow.zqml"));
    ASSERT_TRUE(pumpUntil([&] { return timeoutBoxShown(); }));
    const std::vector<int> ids = pageIds();
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_NE(ids[0], ids[1]);
    EXPECT_EQ(controller_->requests().requestCounter().current(), ids[1]);
    EXPECT_TRUE(shows("/a.zqml"));
    EXPECT_FALSE(controller_->currentScreen()->isLoading());
    EXPECT_EQ(controller_->requests().pendingTable().size(), 0u);
}

// A request sent while another waits goes under an id of its own, never
// under the id handed out last.
TEST_F(PageEndToEndTest, ARequestSentWhileAPageWaitsHasAnIdOfItsOwn) {
    server_.writePage("slow.zqml", page("<text>slow</text>"));
    server_.writePage("c.zqml", page("<text>c</text>"));
    useServer(false);
    controller_->session()->setReplyWaitMs(5000);
    server_.setLateDelayMs(300);
    server_.setFault(Fault::Late);
    const int id = controller_->openUrl({.url = CString::fromUtf8(server_.urlFor("/slow.zqml"))});
    ASSERT_EQ(controller_->requests().pendingTable().size(), 1u);
    EXPECT_TRUE(controller_->requests().pendingTable().contains(id));
    EXPECT_NE(controller_->requests().cancelFlags().find(id), nullptr);
    controller_->pageLoader().loadContent(CString::fromUtf8(server_.urlFor("/c.zqml")), false);
    EXPECT_EQ(controller_->requests().pendingTable().size(), 2u);
    EXPECT_TRUE(pumpUntil([&] { return controller_->requests().pendingTable().size() == 0; }));
}

// The first page is fetched on the start-up worker: a stop, or the end of
// the session, ends the wait at once rather than at its time-out.
TEST_F(PageEndToEndTest, AFetchOffTheUiThreadEndsOnCancelOrWhenTheSessionGoes) {
    server_.writePage("slow.zqml", page("<text>slow</text>"));
    useServer(false);
    controller_->session()->setReplyWaitMs(30000);
    controller_->requests().setWaitSeconds(30);
    server_.setFault(Fault::Missing);
    size_t sent = 0;
    for (bool sessionGoes : {false, true}) {
        SCOPED_TRACE(sessionGoes);
        RequestRecord record =
            controller_->requests().newRequest(CString::fromUtf8(server_.urlFor("/slow.zqml")));
        const int id = record.requestId;
        std::optional<std::string> reply = std::string("none yet");
        const auto start = std::chrono::steady_clock::now();
        std::thread worker(
            [&] { reply = controller_->requests().fetchAndWait(std::move(record)); });
        ASSERT_TRUE(server_.waitForRequests(++sent, 5000));
        if (sessionGoes) {
            controller_->requests().dropSession();
        } else {
            controller_->requests().cancelFetch(id);
        }
        worker.join();
        EXPECT_FALSE(reply);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_EQ(controller_->requests().cancelFlags().size(), 0u);
    }
}

// Regression: a server link with "file://" in its query was read as a file
// of the resource folder instead of being fetched.
TEST_F(PageEndToEndTest, OnlyALinkThatStartsWithFileIsReadFromTheResourceFolder) {
    server_.writePage("c.zqml", page("<text>served</text>"));
    writeResource("c.zqml", page("<text>local</text>"));
    useServer(false);
    PageLoader& loader = controller_->pageLoader();
    const std::string served = page("<text>served</text>");
    const std::string local = page("<text>local</text>");
    EXPECT_EQ(
        loader.loadContent(CString::fromUtf8(server_.urlFor("/c.zqml?from=file://c.zqml")), true),
        served);
    EXPECT_EQ(loader.loadContent(CString(u"File://c.zqml"), true), local);
    EXPECT_EQ(loader.loadContent(CString(u"x?file://c.zqml"), true), std::nullopt);
}

TEST_F(PageEndToEndTest, ReplyForAPageNoLongerShownIsDroppedQuietly) {
    server_.writePage("a.zqml", page("<text>a</text>"));
    server_.writePage("slow.zqml", page("<text>slow</text>"));
    writeResource("local.zqml", page("<text>local</text>"));
    useServer(false);
    controller_->session()->setReplyWaitMs(5000);
    open(server_.urlFor("/a.zqml"));
    ASSERT_TRUE(pumpUntil([&] { return shows("/a.zqml"); }));

    server_.setLateDelayMs(300);
    server_.setFault(Fault::Late);
    open(server_.urlFor("/slow.zqml"));
    open("file://local.zqml");  // the asking page is left before the reply
    ASSERT_TRUE(shows("local.zqml"));
    EXPECT_TRUE(pumpUntil([&] { return controller_->requests().pendingTable().size() == 0; }));
    pumpUntil([] { return false; }, 100);
    EXPECT_TRUE(shows("local.zqml"));
    EXPECT_TRUE(messageBoxLog().empty());
}

TEST_F(PageEndToEndTest, MisbehavingPeersNeverHangOrCrashTheClient) {
    server_.writePage("a.zqml", page("<text>a</text>"));
    server_.writePage("b.zqml", page("<text>b</text>"));
    useServer(false);
    open(server_.urlFor("/a.zqml"));
    ASSERT_TRUE(pumpUntil([&] { return shows("/a.zqml"); }));

    // One bad reply each: the resend gets a good one and the page shows.
    int n = 0;
    for (Fault fault : {Fault::Garbage, Fault::Oversize, Fault::CloseMidFrame, Fault::Split,
                        Fault::Duplicate, Fault::Missing}) {
        SCOPED_TRACE(static_cast<int>(fault));
        const std::string target = n++ % 2 == 0 ? "/b.zqml" : "/a.zqml";
        server_.setFault(fault, 1);
        open(server_.urlFor(target));
        EXPECT_TRUE(pumpUntil([&] { return shows(target); }));
        EXPECT_TRUE(pumpUntil([&] { return controller_->requests().pendingTable().size() == 0; }));
    }

    // A peer that refuses connections: the request fails at once.
    ASSERT_TRUE(server_.setRefusing(true));
    open(server_.urlFor("/b.zqml"));
    EXPECT_TRUE(pumpUntil([&] { return !controller_->currentScreen()->isLoading(); }, 3000));
    EXPECT_TRUE(shows("/a.zqml"));
    EXPECT_EQ(controller_->requests().pendingTable().size(), 0u);
}

// --- requests end once, cancel, history of updated pages -------------------------

using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

int countOf(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class PageTransportTest : public PageEndToEndTest, public ::testing::WithParamInterface<bool> {
protected:
    bool gateway() const { return GetParam(); }
    // Shows the server's page a and returns its entry.
    PageEntry* showFirstPage() {
        server_.writePage("a.zqml", page("<text>a</text>"));
        useServer(gateway());
        open(server_.urlFor("/a.zqml"));
        EXPECT_TRUE(pumpUntil([&] { return shows("/a.zqml"); }));
        return controller_->currentEntry();
    }
};

INSTANTIATE_TEST_SUITE_P(FramedAndGateway, PageTransportTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Gateway" : "Framed");
                         });

// Pins: the cancel soft key stopped the loading bar but never cancelled the
// request, so the page still appeared when it came.
TEST_P(PageTransportTest, CancelKeyWhileLoadingDropsThePage) {
    server_.writePage("slow.zqml", page("<text>slow</text>"));
    PageEntry* first = showFirstPage();
    server_.setLateDelayMs(600);
    server_.setFault(Fault::Late);
    open(server_.urlFor("/slow.zqml"));
    ASSERT_TRUE(controller_->currentScreen()->isLoading());
    pressKey(113);
    EXPECT_FALSE(controller_->currentScreen()->isLoading());
    EXPECT_EQ(controller_->requests().pendingTable().size(), 0u);
    // Over the gateway the cancel closes the connection at once, so the
    // request may never reach the server.
    if (!GetParam()) {
        ASSERT_TRUE(server_.waitForRequests(2, 3000));
    }
    pumpUntil([] { return false; }, 1200);  // the late reply has come and gone
    EXPECT_EQ(controller_->currentEntry(), first);
    EXPECT_EQ(controller_->history().count(), 1);
    EXPECT_TRUE(messageBoxLog().empty());
}

// Pins: a page reply with request id 0 was shown but left its request
// pending, so it was sent again and the page pushed twice.
TEST_P(PageTransportTest, PageReplyWithIdZeroEndsItsRequestOnce) {
    showFirstPage();
    testserver::CannedReply zero;
    zero.requestId = 0;
    zero.text = page("<text>zero</text>");
    server_.setReply("/zero.zqml", zero);
    open(server_.urlFor("/zero.zqml"));
    ASSERT_TRUE(pumpUntil([&] { return shows("/zero.zqml"); }));
    pumpUntil([] { return false; }, 4 * kShortWaitMs);  // past a resend and its time-out
    EXPECT_EQ(server_.requests().size(), 2u);
    EXPECT_EQ(controller_->history().count(), 2);
    EXPECT_EQ(controller_->requests().pendingTable().size(), 0u);
    EXPECT_FALSE(controller_->currentScreen()->isLoading());
    EXPECT_TRUE(messageBoxLog().empty());
}

// Pins: an "UPDATE" page kept its request URL, so going back to it sent
// "pageid" and "screenid" twice and the reply was dropped.
TEST_P(PageTransportTest, UpdatePageIsFetchedAgainWhenReturnedTo) {
    server_.writePage("u.zqml",
                      "<zqml cache=\"UPDATE\"><body><a href=\"b.zqml\">to b</a>"
                      "</body></zqml>");
    server_.writePage("b.zqml", page("<text>b</text>"));
    useServer(gateway());
    open(server_.urlFor("/u.zqml"));
    ASSERT_TRUE(pumpUntil([&] { return shows("/u.zqml"); }));
    PageEntry* before = controller_->currentEntry();
    EXPECT_EQ(countOf(shownUrl(), "pageid="), 0);
    pressKey(40);
    pressKey(13);
    ASSERT_TRUE(pumpUntil([&] { return shows("/b.zqml"); }));

    pressKey(113);  // back: shown at once, then fetched again in its place
    ASSERT_TRUE(pumpUntil([&] {
        return shows("/u.zqml") && controller_->currentEntry() != before &&
               !controller_->currentScreen()->isLoading();
    }));
    const std::vector<testserver::ReceivedRequest> requests = server_.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[2].target.path, "/u.zqml");
    EXPECT_EQ(countOf(requests[2].url, "pageid="), 1);
    EXPECT_EQ(countOf(requests[2].url, "screenid="), 1);
    EXPECT_EQ(controller_->history().count(), 2);
    EXPECT_EQ(controller_->requests().pendingTable().size(), 0u);
}

// Pins: a data reply with no listener for its kind left the screen loading;
// a reply of a kind the client ignores settled its request but left the
// screen loading, its input blocked until cancel.
TEST_P(PageTransportTest, AReplyNothingTakesEndsTheLoading) {
    showFirstPage();
    const struct {
        const char* path;
        uint8_t kind;
        std::string text;
    } cases[] = {{"/data", 9, "quote"}, {"/odd", 255, page("<text>odd</text>")}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        testserver::CannedReply reply;
        reply.kind = c.kind;
        reply.text = c.text;
        server_.setReply(c.path, reply);
        open(server_.urlFor(c.path));
        EXPECT_TRUE(pumpUntil([&] { return !controller_->currentScreen()->isLoading(); }, 3000));
        EXPECT_EQ(controller_->requests().pendingTable().size(), 0u);
        EXPECT_TRUE(shows("/a.zqml"));
        EXPECT_FALSE(timeoutBoxShown());
    }
}

// Pins: the session was reset while its receive worker sat in a frame-head
// wait, so dropping it (the exit) took about a second.
TEST_F(PageEndToEndTest, DroppingTheSessionDoesNotWaitOutTheFrameHead) {
    server_.writePage("a.zqml", page("<text>a</text>"));
    useServer(false);
    open(server_.urlFor("/a.zqml"));
    ASSERT_TRUE(pumpUntil([&] { return shows("/a.zqml"); }));
    const auto start = Clock::now();
    controller_->setSession(nullptr);
    EXPECT_LT(msSince(start), 400);
    EXPECT_EQ(controller_->session(), nullptr);
}

// Pins: a style sheet fetched while a page built blocked the UI thread for
// the whole wait; the UI now runs and the cancel key ends the wait.
TEST_F(PageEndToEndTest, StyleSheetWaitKeepsTheUiRunningAndCancelEndsIt) {
    writeResource("a.zqml", page("<text>a</text>"));
    writeResource("s.zqml",
                  page("<style href=\"" + server_.urlFor("/late.css") + "\"/><text>s</text>"));
    useServer(false);
    open("file://a.zqml");
    ASSERT_TRUE(shows("a.zqml"));
    PageEntry* first = controller_->currentEntry();
    server_.setFault(Fault::Missing);

    HeadlessWindow window({240, 320});
    test::RecordingHandler handler;
    UiLoop loop(executor_, window, handler);
    int ticks = 0;
    const UiTimerId timer = startUiTimer(50, [&] {
        if (++ticks == 4) pressKey(113);
    });
    const auto start = Clock::now();
    open("file://s.zqml");  // waits for the style sheet in a nested UI loop
    const long long waited = msSince(start);
    stopUiTimer(timer);

    EXPECT_GE(ticks, 4);
    EXPECT_LT(waited, 3000);  // the wait is 6 s
    EXPECT_EQ(controller_->currentEntry(), first);
    EXPECT_FALSE(controller_->currentScreen()->isLoading());
    EXPECT_EQ(controller_->requests().pendingTable().size(), 0u);
}

// Pins: the display's paint lock and a screen's content lock were taken in
// both orders (paint: paint lock first; input repaints: content lock first).
TEST_F(PageEndToEndTest, PaintTakesTheScreenLockBeforeThePaintLock) {
    writeResource("a.zqml", page("<text>a</text>"));
    open("file://a.zqml");
    Screen* screen = controller_->currentScreen();
    ASSERT_NE(screen, nullptr);
    Surface window(240, 320);
    std::unique_lock<RecursiveMutex> content(screen->contentLock());
    ASSERT_GT(screen->getWidth(), 0);  // else the paint returns before it locks
    std::thread painter([&] { display_->paint(window); });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));  // the painter waits now
    const bool paintLockFree = display_->paintLock().try_lock();
    if (paintLockFree) display_->paintLock().unlock();
    content.unlock();
    painter.join();
    EXPECT_TRUE(paintLockFree);
}

}  // namespace
}  // namespace zq
