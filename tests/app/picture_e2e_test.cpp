// Remote pictures end to end through the in-process test server: plain
// pictures come as data replies for their own listener, image links are
// fetched off the UI thread, once per source, and broken pictures leave the
// alternative text.
#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/page_controller.h"
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
#include "ui/display.h"
#include "ui/font_cache.h"
#include "ui/screen.h"
#include "ui/toolkit_globals.h"

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
        controller_->openUrl(CString::fromUtf8(server_.urlFor(path)),
                             controller_->currentScreenId(), false, true, true, 0);
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

TEST_P(PictureEndToEndTest, TwoPlainPicturesAndAnImageLinkAreAllShown) {
    server_.writePage("pics/red.png", pngOf(kRed, scratch_));
    server_.writePage("pics/green.png", pngOf(kGreen, scratch_));
    server_.writePage("pics/blue.png", pngOf(kBlue, scratch_));
    // The plain pictures name their listener; the green one comes first in
    // the page's list but is asked for by an absolute address.
    const std::string green = server_.urlFor("/pics/green.png?listener=0");
    server_.writePage("pics.zqml",
                      "<zqml><body><img src=\"" + green +
                          "\"/><br/>"
                          "<img src=\"/pics/red.png?listener=1\"/><br/>"
                          "<a href=\"/x\"><img src=\"/pics/blue.png\"/></a>"
                          "<a href=\"/y\"><img src=\"/pics/blue.png\"/></a></body></zqml>");
    open("/pics.zqml");
    ASSERT_TRUE(pumpUntil([&] { return shows("pics.zqml"); }));

    Surface screen;
    ASSERT_TRUE(pumpUntil([&] {
        screen = shot("pictures.png");
        return count(screen, kRed) >= 400 && count(screen, kGreen) >= 400 &&
               count(screen, kBlue) >= 800;
    })) << "red "
        << count(screen, kRed) << " green " << count(screen, kGreen) << " blue "
        << count(screen, kBlue);
    // Two image links of one source: one fetch. A plain picture asks each
    // time it is shown.
    EXPECT_EQ(requestsFor("/pics/blue.png"), 1);
    EXPECT_GE(requestsFor("/pics/red.png"), 1);
}

TEST_P(PictureEndToEndTest, BrokenPicturesLeaveTheAlternativeText) {
    const std::string png = pngOf(kRed, scratch_);
    server_.writePage("bad/cut.png", png.substr(0, png.size() / 2));
    server_.writePage("bad/text.png", "this is no picture");
    server_.writePage("bad/huge.png", hugePng(png));
    server_.writePage("bad.zqml",
                      "<zqml><body><img src=\"/bad/cut.png?listener=0\"/>"
                      "<img src=\"/bad/text.png?listener=1\"/>"
                      "<img src=\"/bad/huge.png?listener=2\"/>"
                      "<a href=\"/x\"><img src=\"/bad/huge.png\"/></a>"
                      "<a href=\"/y\"><img src=\"/bad/cut.png\"/></a></body></zqml>");
    open("/bad.zqml");
    ASSERT_TRUE(pumpUntil([&] { return shows("bad.zqml"); }));
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
    controller_->setSession(std::make_unique<HttpSession>(&controller_->sessionListener()));
    pumpUntil([] { return false; }, 1200);  // the late picture has come and gone
    EXPECT_EQ(count(shot("late-gone.png"), kBlue), 0);
}

}  // namespace
}  // namespace zq
