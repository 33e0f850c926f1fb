// Remote pictures end to end through the in-process test server: plain
// pictures come as data replies for their own listener, once their page is
// shown, image links are fetched off the UI thread, once per source, and
// broken or unreachable pictures leave the alternative text and no error.
#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/page_controller.h"
#include "core/zq_exception.h"
#include "items/item_makers.h"
#include "markup/style_sheet.h"
#include "platform/files.h"
#include "platform/image.h"
#include "platform/message_box.h"
#include "platform/surface.h"
#include "platform/ui_executor.h"
#include "tests/app/controller_fixture.h"
#include "tests/support/test_env.h"
#include "tests/support/test_font.h"
#include "tests/support/test_server.h"
#include "ui/client_context.h"
#include "ui/container.h"
#include "ui/display.h"
#include "ui/font_cache.h"
#include "ui/screen.h"

namespace zq {
namespace {

constexpr Color kRed = rgb(255, 0, 0);
constexpr Color kGreen = rgb(0, 255, 0);
constexpr Color kBlue = rgb(0, 0, 255);

// A 20x20 PNG of one colour, as the server sends it.
std::string pngOf(Color color, const test::TempDir& dir) {
    Surface surface(20, 20);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) surface.setPixel(x, y, color);
    }
    const std::filesystem::path file = dir.path() / "p.png";
    EXPECT_TRUE(savePng(surface, file.string()));
    return readFile(file, 1 << 20).value_or(std::string());
}

// The same PNG with its head claiming 40000x40000 (the check sum mended).
std::string hugePng(std::string png) {
    auto put32 = [&png](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) png[at + i] = static_cast<char>(v >> (24 - 8 * i));
    };
    put32(16, 40000);
    put32(20, 40000);
    const auto* chunk = reinterpret_cast<const Bytef*>(png.data() + 12);
    put32(29, static_cast<uint32_t>(crc32(0, chunk, 17)));
    return png;
}

// Over the framed connection, or (true) through the HTTP gateway.
class PictureEndToEndTest : public test::ControllerFixture<::testing::TestWithParam<bool>> {
protected:
    PictureEndToEndTest() : ControllerFixture("res") {
        useServer(GetParam());
        controller_->session()->setReplyWaitMs(2000);
    }

    void open(const std::string& path) {
        controller_->openUrl({.url = CString::fromUtf8(server_.urlFor(path)),
                              .screenId = controller_->currentScreenId()});
    }
    Surface shot(const std::string& name) {
        Surface screen(240, 320);
        display_->paint(screen);
        savePng(screen, (std::filesystem::path(testing::TempDir()) / name).string());
        return screen;
    }
    static int count(const Surface& screen, Color color) {
        int n = 0;
        for (int y = 0; y < screen.height(); ++y) {
            for (int x = 0; x < screen.width(); ++x) n += screen.getPixel(x, y) == color;
        }
        return n;
    }
    // The first row holding `color`; the screen's height when none does.
    static int topRow(const Surface& screen, Color color) {
        for (int y = 0; y < screen.height(); ++y) {
            for (int x = 0; x < screen.width(); ++x) {
                if (screen.getPixel(x, y) == color) return y;
            }
        }
        return screen.height();
    }
    int requestsFor(const std::string& path) const {
        int n = 0;
        for (const testserver::ReceivedRequest& r : server_.requests()) {
            n += r.target.path == path;
        }
        return n;
    }
};

INSTANTIATE_TEST_SUITE_P(FramedAndGateway, PictureEndToEndTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Gateway" : "Framed");
                         });

// Plain picture names, as a real page writes them, on a page reached with a
// query: each picture is asked for once the page is shown, under its own
// "controlid", and lands on its own item.
TEST_P(PictureEndToEndTest, EachPictureLandsOnItsOwnItemOnceThePageIsShown) {
    server_.writePage("pics/red.png", pngOf(kRed, scratch_));
    server_.writePage("pics/green.png", pngOf(kGreen, scratch_));
    server_.writePage("pics/blue.png", pngOf(kBlue, scratch_));
    server_.writePage("pics/page.zqml",
                      "<zqml><body><img src=\"" + server_.urlFor("/pics/green.png") +
                          "\"/><br/><img src=\"red.png\"/><br/>"
                          "<a href=\"/x\"><img src=\"/pics/blue.png\"/></a>"
                          "<a href=\"/y\"><img src=\"blue.png\"/></a></body></zqml>");
    open("/pics/page.zqml?code=600000&x=a/b");
    ASSERT_TRUE(pumpUntil([&] { return shows("page.zqml"); }));

    Surface screen;
    ASSERT_TRUE(pumpUntil([&] {
        screen = shot("pictures.png");
        return count(screen, kRed) >= 400 && count(screen, kGreen) >= 400 &&
               count(screen, kBlue) >= 800;
    })) << "red "
        << count(screen, kRed) << " green " << count(screen, kGreen) << " blue "
        << count(screen, kBlue);
    EXPECT_LT(topRow(screen, kGreen), topRow(screen, kRed)) << "each on its own item";

    // The page and three pictures: no request grows out of the page's query.
    pumpUntil([] { return false; }, 300);
    EXPECT_EQ(server_.requests().size(), 4u);
    EXPECT_EQ(server_.queriesFor("/pics/green.png"), std::vector<std::string>{"controlid=0"});
    EXPECT_EQ(server_.queriesFor("/pics/red.png"), std::vector<std::string>{"controlid=1"});
    EXPECT_EQ(requestsFor("/pics/blue.png"), 1);
    const std::string shownScreen = std::to_string(controller_->currentScreenId());
    for (const testserver::ReceivedRequest& r : server_.requests()) {
        if (r.target.path == "/pics/red.png") {
            EXPECT_EQ(r.target.param("screenid"), shownScreen);
        }
    }
}

// A verification picture on a first page in a sub-folder is asked for once,
// from that folder, for that page; the reply shows it and leaves the page.
TEST_P(PictureEndToEndTest, VerificationPictureComesForTheShownPage) {
    server_.writePage("login/code.png", pngOf(kGreen, scratch_));
    server_.writePage("login/verify.zqml",
                      "<zqml><body><affixImg durl=\"code.png\"/></body></zqml>");
    open("/login/verify.zqml");
    ASSERT_TRUE(pumpUntil([&] { return shows("verify.zqml"); }));
    ASSERT_TRUE(pumpUntil([&] { return count(shot("verify.png"), kGreen) >= 400; }));
    pumpUntil([] { return false; }, 300);
    EXPECT_TRUE(shows("verify.zqml"));
    EXPECT_EQ(server_.requests().size(), 2u);
    EXPECT_EQ(requestsFor("/login/code.png"), 1);
}

// A picture from a host that cannot be reached shows no error and leaves
// the page usable, with the picture's alternative text; the page's other
// pictures still come.
TEST_P(PictureEndToEndTest, UnreachablePictureShowsNoErrorAndKeepsThePage) {
    server_.writePage("green.png", pngOf(kGreen, scratch_));
    server_.writePage("far.zqml",
                      "<zqml><body><img src=\"green.png\"/>"
                      "<img src=\"http://127.0.0.1:1/x.png\"/>"
                      "<text>still here</text></body></zqml>");
    latchError(true, false, 0, CString());  // as the action that opens a page does
    // The page and its own picture come late, so the far picture is asked
    // for while the near one is still on its way.
    server_.setLateDelayMs(300);
    server_.setFault(testserver::Fault::Late, 2);
    open("/far.zqml");
    ASSERT_TRUE(pumpUntil([&] { return shows("far.zqml"); }));
    // Without waiting for a resend after the reply wait (2 s here).
    EXPECT_TRUE(pumpUntil([&] { return count(shot("far.png"), kGreen) >= 400; }, 1500));
    EXPECT_TRUE(messageBoxLog().empty());
    ASSERT_NE(controller_->currentScreen(), nullptr);
    EXPECT_FALSE(controller_->currentScreen()->isLoading());
}

// Regression: a link's picture that came after the page was shown stayed
// off screen until something else repainted it.
TEST_P(PictureEndToEndTest, ALinkPictureThatComesLateIsLaidOutAtOnce) {
    server_.writePage("pics/blue.png", pngOf(kBlue, scratch_));
    server_.writePage("pics/link.zqml",
                      "<zqml><body><a href=\"/x\"><img src=\"blue.png\"/></a></body></zqml>");
    open("/pics/link.zqml");
    ASSERT_TRUE(pumpUntil([&] { return shows("link.zqml"); }));
    Item* link = controller_->currentScreen()->getContent()->getItem(0);
    ASSERT_NE(link, nullptr);
    // No paint of the test's own: the link's screen lays itself out again.
    EXPECT_TRUE(pumpUntil([&] { return link->contentWidth() == 20; }));
}

TEST_P(PictureEndToEndTest, BrokenPicturesLeaveTheAlternativeText) {
    const std::string png = pngOf(kRed, scratch_);
    server_.writePage("bad/cut.png", png.substr(0, png.size() / 2));
    server_.writePage("bad/text.png", "this is no picture");
    server_.writePage("bad/huge.png", hugePng(png));
    server_.writePage("bad/page.zqml",
                      "<zqml><body><img src=\"/bad/cut.png\"/>"
                      "<img src=\"text.png\"/>"
                      "<img src=\"/bad/huge.png\"/>"
                      "<a href=\"/x\"><img src=\"/bad/huge.png\"/></a>"
                      "<a href=\"/y\"><img src=\"/bad/cut.png\"/></a></body></zqml>");
    open("/bad/page.zqml");
    ASSERT_TRUE(pumpUntil([&] { return shows("page.zqml"); }));
    // Five requests: three data replies and two link fetches, all answered.
    ASSERT_TRUE(server_.waitForRequests(6, 5000));
    pumpUntil([] { return false; }, 300);
    const Surface screen = shot("bad-pictures.png");
    EXPECT_EQ(count(screen, kRed), 0);
    // The alternative text of the three plain pictures, one below the other.
    const Color background = screen.getPixel(200, 200);
    for (int line = 0; line < 3; ++line) {
        int ink = 0;
        for (int y = line * 18; y < line * 18 + 18; ++y) {
            for (int x = 0; x < 60; ++x) ink += screen.getPixel(x, y) != background;
        }
        EXPECT_GT(ink, 30) << "line " << line;
    }
}

// The page is shown while its link picture is still on its way, and a
// fetch whose session goes is dropped.
TEST_P(PictureEndToEndTest, LinkPicturesWaitOffTheUiThreadAndDieWithTheSession) {
    server_.writePage("pics/blue.png", pngOf(kBlue, scratch_));
    server_.writePage("late.zqml",
                      "<zqml><body><a href=\"/x\"><img src=\"/pics/blue.png\"/></a></body></zqml>");
    server_.setLateDelayMs(800);
    server_.setFault(testserver::Fault::Late, 2);
    open("/late.zqml");
    ASSERT_TRUE(pumpUntil([&] { return shows("late.zqml"); }));
    ASSERT_TRUE(server_.waitForRequests(2, 3000));
    EXPECT_EQ(count(shot("late.png"), kBlue), 0);
    controller_->setSession(controller_->requests().makeSession());
    pumpUntil([] { return false; }, 1200);  // the late picture has come and gone
    EXPECT_EQ(count(shot("late-gone.png"), kBlue), 0);
}

}  // namespace
}  // namespace zq
