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
#include "items/hyperlink_item.h"
#include "items/image_item.h"
#include "items/item_makers.h"
#include "items/verify_code_item.h"
#include "markup/style_sheet.h"
#include "platform/files.h"
#include "platform/image.h"
#include "platform/message_box.h"
#include "platform/surface.h"
#include "platform/ui_executor.h"
#include "platform/ui_loop.h"
#include "platform/window.h"
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

// Longer than any test runs: a reply delayed this long never comes.
constexpr uint32_t kNeverMs = 120000;

constexpr Color kRed = rgb(255, 0, 0);
constexpr Color kGreen = rgb(0, 255, 0);
constexpr Color kBlue = rgb(0, 0, 255);

// A PNG of one colour (20x20 unless said), as the server sends it.
std::string pngOf(Color color, const test::TempDir& dir, int width = 20, int height = 20) {
    Surface surface(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) surface.setPixel(x, y, color);
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

// A server answers picture addresses with its login page once the session
// has expired, and "/" with its "not found" page. Such a page replaced the
// shown one; when it held the same picture the client asked again without
// end. Each is only its picture's failure: the page stays, nothing loops.
TEST_P(PictureEndToEndTest, APictureAnsweredByAPageIsOnlyThatPicturesFailure) {
    const std::string login =
        "<zqml><body><img src=\"/pics/face.png\"/><affixImg durl=\"/pics/code.png\"/>"
        "<text>login</text></body></zqml>";
    testserver::CannedReply loginReply;
    loginReply.text = login;
    server_.setReply("/pics/face.png", loginReply);
    server_.setReply("/pics/code.png", loginReply);
    server_.writePage("pics/green.png", pngOf(kGreen, scratch_));
    server_.writePage("pics/page.zqml",
                      "<zqml><body><img src=\"face.png\"/><affixImg durl=\"code.png\"/>"
                      "<img src=\"/\"/><img src=\"green.png\"/>"
                      "<a href=\"/x\"><img src=\"/pics/face.png\"/></a></body></zqml>");
    open("/pics/page.zqml");
    ASSERT_TRUE(pumpUntil([&] { return shows("pics/page.zqml"); }));
    ASSERT_TRUE(pumpUntil([&] { return count(shot("answered-by-page.png"), kGreen) >= 400; }));
    pumpUntil([] { return false; }, 600);
    EXPECT_TRUE(shows("pics/page.zqml"));
    EXPECT_TRUE(messageBoxLog().empty());
    EXPECT_FALSE(controller_->currentScreen()->isLoading());
    // The page, the picture link and one request per shown picture.
    EXPECT_EQ(requestsFor("/pics/face.png"), 2);
    EXPECT_EQ(requestsFor("/pics/code.png"), 1);
    EXPECT_EQ(requestsFor("/"), 1);
    EXPECT_EQ(server_.requests().size(), 6u);
}

// Two verification pictures on one page: the first showed the second's
// picture and the second only its alternative text.
TEST_P(PictureEndToEndTest, EachVerificationPictureGetsItsOwn) {
    server_.writePage("v/red.png", pngOf(kRed, scratch_));
    server_.writePage("v/blue.png", pngOf(kBlue, scratch_));
    server_.writePage("v/two.zqml",
                      "<zqml><body><affixImg durl=\"red.png\"/><br/>"
                      "<affixImg durl=\"blue.png\"/></body></zqml>");
    open("/v/two.zqml");
    ASSERT_TRUE(pumpUntil([&] { return shows("two.zqml"); }));
    std::vector<VerifyCodeItem*> items;
    Container* content = controller_->currentScreen()->getContent();
    for (int i = 0; i < content->size(); ++i) {
        if (auto* item = dynamic_cast<VerifyCodeItem*>(content->getItem(i))) items.push_back(item);
    }
    ASSERT_EQ(items.size(), 2u);
    auto colourOf = [](const VerifyCodeItem* item) -> Color {
        const ImageRef& image = item->imageChild()->getImage();
        return image ? image->pixel(5, 5) & 0xFFFFFF : 0;
    };
    ASSERT_TRUE(pumpUntil([&] { return colourOf(items[0]) != 0 && colourOf(items[1]) != 0; }))
        << std::hex << colourOf(items[0]) << " " << colourOf(items[1]);
    pumpUntil([] { return false; }, 300);
    EXPECT_EQ(colourOf(items[0]), 0xFF0000u);  // the picture's own 0xRRGGBB
    EXPECT_EQ(colourOf(items[1]), 0x0000FFu);
}

// A picture that came after the user moved on landed on the next page's
// picture at the same place.
TEST_P(PictureEndToEndTest, APictureThatComesAfterThePageWasLeftGoesNowhere) {
    server_.writePage("a/red.png", pngOf(kRed, scratch_));
    server_.writePage("a/first.zqml", "<zqml><body><img src=\"red.png\"/></body></zqml>");
    // The next page's picture is missing: the server sends an empty one.
    server_.writePage("b/next.zqml", "<zqml><body><img src=\"gone.png\"/></body></zqml>");
    server_.setSlowPath("/a/red.png", 800);
    open("/a/first.zqml");
    ASSERT_TRUE(pumpUntil([&] { return shows("first.zqml"); }));
    ASSERT_TRUE(server_.waitForRequests(2, 3000));
    open("/b/next.zqml");
    ASSERT_TRUE(pumpUntil([&] { return shows("next.zqml"); }));
    pumpUntil([] { return false; }, 1200);  // the late picture has come and gone
    EXPECT_EQ(count(shot("left.png"), kRed), 0);
}

// Through the gateway, pictures whose server answers slowly held the page a
// link asked for in the same queue behind them, and kept running once their
// page was left. (One framed connection is answered in order.)
TEST_P(PictureEndToEndTest, APageRequestNeverWaitsBehindSlowPictures) {
    if (!GetParam()) GTEST_SKIP() << "the gateway's own queue";
    std::string images;
    for (int i = 0; i < 6; ++i) images += "<img src=\"/slow/p" + std::to_string(i) + ".png\"/>";
    server_.writePage("pics.zqml", "<zqml><body>" + images + "</body></zqml>");
    server_.writePage("next.zqml", "<zqml><body><text>next</text></body></zqml>");
    // The pictures are not answered while the test runs, nor given up on.
    controller_->session()->setReplyWaitMs(kNeverMs);
    server_.setSlowPath("/slow/", kNeverMs);
    open("/pics.zqml");
    ASSERT_TRUE(pumpUntil([&] { return shows("pics.zqml"); }));
    ASSERT_TRUE(server_.waitForRequests(3, 3000));
    open("/next.zqml");
    ASSERT_TRUE(pumpUntil([&] { return shows("next.zqml"); }));
    // The pictures left behind are dropped at once (well before any reply
    // wait, on a loaded machine too), also when the next page asks for
    // none, and not asked for any more.
    EXPECT_TRUE(pumpUntil([&] { return controller_->requests().pendingTable().size() == 0; }, 2000))
        << controller_->requests().pendingTable().size() << " still pending";
    pumpUntil([] { return false; }, 500);
    int asked = 0;
    for (const testserver::ReceivedRequest& r : server_.requests()) {
        asked += r.target.path.rfind("/slow/", 0) == 0;
    }
    EXPECT_LT(asked, 6);
}

// Image links are fetched while their page is built. Left, the page's
// fetches ran on, running and queued, and held the picture threads; now
// they end, and start again when the page is shown again.
TEST_P(PictureEndToEndTest, LeavingAPageEndsItsLinkPictureFetches) {
    if (!GetParam()) GTEST_SKIP() << "the gateway's own queue";
    std::string links;
    for (int i = 0; i < 6; ++i) {
        const std::string name = "/slow/p" + std::to_string(i) + ".png";
        server_.writePage(name.substr(1), pngOf(kBlue, scratch_));
        links += "<a href=\"/x\"><img src=\"" + name + "\"/></a>";
    }
    server_.writePage("links.zqml", "<zqml><body>" + links + "</body></zqml>");
    server_.writePage("next.zqml", "<zqml><body><text>next</text></body></zqml>");
    // The pictures are not answered while the test runs, nor given up on.
    controller_->session()->setReplyWaitMs(kNeverMs);
    controller_->requests().setWaitSeconds(kNeverMs / 1000);
    server_.setSlowPath("/slow/", kNeverMs);
    open("/links.zqml");
    ASSERT_TRUE(pumpUntil([&] { return shows("links.zqml"); }));
    ASSERT_TRUE(server_.waitForRequests(3, 3000));
    EXPECT_EQ(controller_->requests().picturesInFlight(), 6);

    open("/next.zqml");
    ASSERT_TRUE(pumpUntil([&] { return shows("next.zqml"); }));
    EXPECT_TRUE(pumpUntil([&] { return controller_->requests().picturesInFlight() == 0; }, 1000))
        << controller_->requests().picturesInFlight() << " still in flight";
    EXPECT_LT(requestsFor("/slow/p5.png"), 1) << "a queued fetch was sent";

    // Back on the page, its pictures come.
    server_.setSlowPath("/slow/", 0);
    controller_->goHistory(1);
    ASSERT_TRUE(pumpUntil([&] { return shows("links.zqml"); }));
    EXPECT_TRUE(pumpUntil([&] { return count(shot("links-back.png"), kBlue) >= 6 * 400; }))
        << count(shot("links-back.png"), kBlue);
}

// On a framed connection a picture on another host or port (here the
// server's own HTTP port) was never fetched; it comes over HTTP now.
TEST_P(PictureEndToEndTest, APictureOfAnotherPortComesOverHttp) {
    server_.writePage("pics/green.png", pngOf(kGreen, scratch_));
    server_.writePage("pics/blue.png", pngOf(kBlue, scratch_));
    const std::string http = "http://127.0.0.1:" + std::to_string(server_.gatewayPort());
    server_.writePage("other.zqml", "<zqml><body><img src=\"" + http +
                                        "/pics/green.png\"/><br/><a href=\"/x\"><img src=\"" +
                                        http + "/pics/blue.png\"/></a></body></zqml>");
    open("/other.zqml");
    ASSERT_TRUE(pumpUntil([&] { return shows("other.zqml"); }));
    Surface screen;
    EXPECT_TRUE(pumpUntil([&] {
        screen = shot("other-port.png");
        return count(screen, kGreen) >= 400 && count(screen, kBlue) >= 400;
    })) << "green "
        << count(screen, kGreen) << " blue " << count(screen, kBlue);
    for (const testserver::ReceivedRequest& r : server_.requests()) {
        if (r.target.path.rfind("/pics/", 0) == 0) {
            EXPECT_EQ(r.transport, testserver::Transport::Gateway) << r.url;
        }
    }
}

// A slow picture on a tab page or under a tree node, left and shown again
// before it came: the request of the first showing ran on beside the second
// one's, so the picture was asked for twice and the first never ended.
TEST_P(PictureEndToEndTest, APictureShownAgainBeforeItCameIsAskedForOnce) {
    // One framed connection is answered in order: the picture held back
    // would hold the next page too.
    if (!GetParam()) GTEST_SKIP() << "the gateway's own queue";
    struct Case {
        const char* name;
        std::string body;
        std::vector<int> show;   // keys that show the picture
        std::vector<int> leave;  // keys that hide it
    };
    constexpr int kRight = 39, kLeft = 37, kDown = 40, kFire = 13;
    const std::string img = "<img src=\"/slow/p0.png\"/>";
    const std::string code = "<affixImg durl=\"/slow/p0.png\"/>";
    auto onTab = [](const std::string& control) {
        return "<tabbody><page caption=\"One\"><text>one</text></page><page caption=\"Two\">" +
               control + "</page></tabbody>";
    };
    auto inNode = [](const std::string& control) {
        return "<body><tree><ti caption=\"Node\">" + control + "</ti></tree></body>";
    };
    const Case cases[] = {
        {"a picture on a tab page", onTab(img), {kRight}, {kLeft}},
        {"a picture in a tree node", inNode(img), {kDown, kFire}, {kFire}},
        {"a verification picture on a tab page", onTab(code), {kRight}, {kLeft}},
        {"a verification picture in a tree node", inNode(code), {kDown, kFire}, {kFire}},
    };
    controller_->session()->setReplyWaitMs(kNeverMs);
    server_.setSlowPath("/slow/", kNeverMs);
    int page = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = "/p" + std::to_string(page++) + ".zqml";
        server_.writePage(path.substr(1), "<zqml>" + c.body + "</zqml>");
        server_.clearRequests();
        open(path);
        ASSERT_TRUE(pumpUntil([&] { return shows(path); }));
        shot("shown-again.png");  // laid out: the node's place is known
        auto keys = [&](const std::vector<int>& codes) {
            for (int code : codes) pressKey(code);
            pumpUntil([] { return false; }, 100);
        };
        keys(c.show);
        ASSERT_TRUE(pumpUntil([&] { return requestsFor("/slow/p0.png") == 1; }));
        keys(c.leave);
        keys(c.show);
        pumpUntil([] { return false; }, 300);
        EXPECT_LE(controller_->requests().pendingTable().size(), 1u)
            << requestsFor("/slow/p0.png") << " asked for";
    }
}

// The picture budget counted every picture decoded for a screen and never
// gave pixels back: tab flips used it up, so a third tab, and a page left
// before its picture came and shown again, kept "image". Pages in the
// history kept their pictures, so a long walk held them all. A page left
// lets go of its pictures, and they come again when it is shown again.
TEST_P(PictureEndToEndTest, PicturesComeAgainAfterTabFlipsAndBack) {
    constexpr int kRight = 39, kLeft = 37;
    // Hundreds of pictures decoded on a loaded two-core machine: no reply
    // may time out, or a picture shows "image" for that reason alone.
    controller_->session()->setReplyWaitMs(20000);
    // Ten pictures of one size and colour on each of three tab pages.
    auto tabs = [&](const std::string& dir, int width, int height) {
        std::string body = "<tabbody>";
        for (int tab = 0; tab < 3; ++tab) {
            body += "<page caption=\"T" + std::to_string(tab) + "\">";
            for (int i = 0; i < 10; ++i) {
                const std::string name = dir + "/t" + std::to_string(tab) + "p" + std::to_string(i);
                server_.writePage(name + ".png", pngOf(kGreen, scratch_, width, height));
                body += "<img src=\"/" + name + ".png\"/>";
            }
            body += "</page>";
        }
        return body + "</tabbody>";
    };
    const std::string green = pngOf(kGreen, scratch_);
    auto plain = [&](const std::string& dir, bool links, int count = 10,
                     const std::string* png = nullptr) {
        std::string body = "<body>";
        for (int i = 0; i < count; ++i) {
            const std::string name = dir + "/p" + std::to_string(i) + ".png";
            server_.writePage(name, png ? *png : green);
            body += links ? "<a href=\"/x\"><img src=\"/" + name + "\"/></a>"
                          : "<img src=\"/" + name + "\"/>";
        }
        return body + "</body>";
    };
    // Every request answered and its picture handed on.
    auto settle = [&] {
        ASSERT_TRUE(pumpUntil(
            [&] {
                return controller_->requests().pendingTable().idle() &&
                       controller_->requests().picturesInFlight() == 0;
            },
            60000));
        executor_.runPending();
    };
    auto keys = [&](int code, int times) {
        for (int i = 0; i < times; ++i) {
            pressKey(code);
            settle();
        }
    };
    auto show = [&](const std::string& path) {
        open(path);
        ASSERT_TRUE(pumpUntil([&] { return shows(path); }));
        settle();
    };
    auto back = [&](const std::string& path) {
        controller_->goHistory(1);
        ASSERT_TRUE(pumpUntil([&] { return shows(path); }));
        settle();
    };
    // The pictures on a page's items (the shown one's unless said), plain
    // and links.
    auto held = [&](Screen* screen = nullptr) {
        if (!screen) screen = controller_->currentScreen();
        int n = 0;
        for (Item* item : screen->controlList()) {
            if (auto* picture = dynamic_cast<ImageItem*>(item)) n += picture->getImage() != nullptr;
        }
        Container* content = screen->getContent();
        for (int i = 0; i < content->size(); ++i) {
            if (auto* link = dynamic_cast<HyperlinkItem*>(content->getItem(i))) {
                n += link->getImage() != nullptr;
            }
        }
        return n;
    };
    struct Case {
        const char* name;
        std::function<void()> walk;
        int pictures;  // held on the page shown at the end
    };
    const Case cases[] = {
        {"a third tab after 8 flips between two tabs of 800x600 pictures",
         [&] {
             server_.writePage("f/tabs.zqml", "<zqml>" + tabs("f", 800, 600) + "</zqml>");
             show("/f/tabs.zqml");
             for (int flip = 0; flip < 8; ++flip) {
                 keys(kRight, 1);
                 keys(kLeft, 1);
             }
             keys(kRight, 2);
             EXPECT_GE(requestsFor("/f/t0p0.png"), 9);
         },
         30},
        {"a third tab after 44 showings of 320x240 pictures",
         [&] {
             server_.writePage("s/tabs.zqml", "<zqml>" + tabs("s", 320, 240) + "</zqml>");
             show("/s/tabs.zqml");
             for (int flip = 0; flip < 22; ++flip) {
                 keys(kRight, 1);
                 keys(kLeft, 1);
             }
             keys(kRight, 2);
         },
         30},
        {"a page left before its last picture came, shown again by Back",
         [&] {
             // Twenty at the size bound: the first showing's nineteen and a
             // second showing's twenty do not fit in the budget together.
             const std::string bound = pngOf(kGreen, scratch_, 1024, 1024);
             server_.writePage("l/page.zqml", "<zqml>" + plain("l", false, 20, &bound) + "</zqml>");
             server_.writePage("l/next.zqml", "<zqml><body><text>next</text></body></zqml>");
             server_.setSlowPath("/l/p19", 1000);
             open("/l/page.zqml");
             ASSERT_TRUE(pumpUntil([&] { return shows("/l/page.zqml"); }));
             ASSERT_TRUE(pumpUntil([&] { return held() == 19; }, 60000));
             show("/l/next.zqml");
             server_.setSlowPath("/l/p19", 0);
             back("/l/page.zqml");
         },
         20},
        {"pages in the history let go of their pictures and get them again",
         [&] {
             for (const char* dir : {"h0", "h1", "h2"}) {
                 server_.writePage(std::string(dir) + "/page.zqml",
                                   "<zqml>" + plain(dir, dir[1] == '1') + "</zqml>");
             }
             show("/h0/page.zqml");
             EXPECT_EQ(held(), 10);
             show("/h1/page.zqml");
             EXPECT_EQ(held(), 10);
             show("/h2/page.zqml");
             const PageHistory& history = controller_->history();
             for (int left : {1, 2}) {
                 EXPECT_EQ(held(history.at(history.current() - left)->screen.get()), 0) << left;
             }
             EXPECT_EQ(controller_->requests().picturePixels(), 10 * 20 * 20)
                 << "only the shown page's";
             back("/h1/page.zqml");
             EXPECT_EQ(held(), 10) << "links";
             back("/h0/page.zqml");
         },
         10},
        {"a page shown again by Back keeps each picture's box until it comes",
         [&] {
             std::string body = "<body>";
             for (int i = 0; i < 10; ++i) {
                 const std::string name = "k/p" + std::to_string(i) + ".png";
                 server_.writePage(name, green);
                 body += "<img src=\"/" + name + "\"/><br/>";
             }
             server_.writePage("k/page.zqml", "<zqml>" + body + "</body></zqml>");
             server_.writePage("k/next.zqml", "<zqml><body><text>next</text></body></zqml>");
             show("/k/page.zqml");
             show("/k/next.zqml");
             server_.setSlowPath("/k/p", 1500);
             controller_->goHistory(1);
             ASSERT_TRUE(pumpUntil([&] { return shows("/k/page.zqml"); }));
             shot("kept-box.png");  // laid out
             int waiting = 0;
             for (Item* item : controller_->currentScreen()->controlList()) {
                 auto* picture = dynamic_cast<ImageItem*>(item);
                 ASSERT_NE(picture, nullptr);
                 waiting += picture->getImage() == nullptr;
                 EXPECT_EQ(picture->contentHeight(), 20);
             }
             EXPECT_GT(waiting, 0);
             settle();
             server_.setSlowPath("/k/p", 0);
         },
         10},
        {"a page of verification pictures at the size bound, left for one of 30",
         [&] {
             const std::string bound = pngOf(kGreen, scratch_, 1024, 1024);
             std::string codes = "<body>";
             for (int i = 0; i < 8; ++i) {
                 const std::string name = "v/c" + std::to_string(i) + ".png";
                 server_.writePage(name, bound);
                 codes += "<affixImg durl=\"/" + name + "\"/>";
             }
             server_.writePage("v/codes.zqml", "<zqml>" + codes + "</body></zqml>");
             server_.writePage("v/page.zqml", "<zqml>" + plain("v", false, 30, &bound) + "</zqml>");
             show("/v/codes.zqml");
             EXPECT_EQ(controller_->requests().picturePixels(), 8 * 1024 * 1024);
             show("/v/page.zqml");
         },
         30},
        {"a page that reloads faster than its pictures come",
         [&] {
             std::string body = "<body onload=\"refresh(1)\">";
             for (int i = 0; i < 3; ++i) {
                 const std::string name = "r/p" + std::to_string(i) + ".png";
                 server_.writePage(name, green);
                 body += "<img src=\"/" + name + "\"/>";
             }
             server_.writePage("r/page.zqml", "<zqml>" + body + "</body></zqml>");
             server_.setSlowPath("/r/p", 1500);
             open("/r/page.zqml");
             ASSERT_TRUE(pumpUntil([&] { return shows("/r/page.zqml"); }));
             ASSERT_TRUE(pumpUntil([&] { return held() == 3; }, 20000))
                 << requestsFor("/r/page.zqml") << " loads, " << held() << " pictures";
             // Each reload shows them on until their new copies come.
             const int loads = requestsFor("/r/page.zqml");
             const PageEntry* shown = controller_->currentEntry();
             int reloads = 0;
             bool lost = false;
             ASSERT_TRUE(pumpUntil(
                 [&] {
                     lost = lost || held() < 3;
                     if (controller_->currentEntry() != shown) ++reloads;
                     shown = controller_->currentEntry();
                     return reloads >= 2;
                 },
                 20000))
                 << requestsFor("/r/page.zqml") - loads << " asked for";
             EXPECT_FALSE(lost);
         },
         3},
        {"a reloading page whose chart then fails keeps only its box",
         [&] {
             server_.writePage("c/chart.png", green);
             server_.writePage("c/page.zqml",
                               "<zqml><body onload=\"refresh(1)\"><img "
                               "src=\"/c/chart.png\"/></body></zqml>");
             show("/c/page.zqml");
             ASSERT_TRUE(pumpUntil([&] { return held() == 1; }, 20000));
             server_.writePage("c/chart.png", "<html>404 Not Found</html>");
             ASSERT_TRUE(pumpUntil([&] { return held() == 0; }, 20000));
             auto* chart = dynamic_cast<ImageItem*>(controller_->currentScreen()->controlList()[0]);
             EXPECT_EQ(chart->contentHeight(), 20);
         },
         0},
        {"an image link and a verification picture slower than the reloads",
         [&] {
             server_.writePage("m/link.png", green);
             server_.writePage("m/code.png", green);
             server_.writePage("m/page.zqml",
                               "<zqml><body onload=\"refresh(1)\"><a href=\"/x\"><img "
                               "src=\"/m/link.png\"/></a><affixImg durl=\"/m/code.png\"/>"
                               "</body></zqml>");
             server_.setSlowPath("/m/", 1500);
             open("/m/page.zqml");
             auto code = [&] {
                 Container* content = controller_->currentScreen()->getContent();
                 for (int i = 0; i < content->size(); ++i) {
                     if (auto* c = dynamic_cast<VerifyCodeItem*>(content->getItem(i))) {
                         return c->imageChild()->getImage() != nullptr;
                     }
                 }
                 return false;
             };
             ASSERT_TRUE(pumpUntil([&] { return held() == 1 && code(); }, 20000));
             const int loads = requestsFor("/m/page.zqml");
             bool lost = false;
             ASSERT_TRUE(pumpUntil(
                 [&] {
                     lost = lost || held() < 1 || !code();
                     return requestsFor("/m/page.zqml") >= loads + 2;
                 },
                 20000));
             EXPECT_FALSE(lost);
             EXPECT_EQ(requestsFor("/m/code.png"), 1) << "the code shown is the newest";
             server_.setSlowPath("/m/", 0);
         },
         1},
        {"an image link slower than the reloads, watched over four of them",
         [&] {
             server_.writePage("q/link.png", green);
             server_.writePage("q/page.zqml",
                               "<zqml><body onload=\"refresh(1)\"><text>图片链接</text><br/><a "
                               "href=\"/x\"><img src=\"/q/link.png\"/></a></body></zqml>");
             server_.setSlowPath("/q/link", 1500);
             open("/q/page.zqml");
             ASSERT_TRUE(pumpUntil([&] { return shows("/q/page.zqml") && held() == 1; }, 20000));
             int shown = controller_->currentScreenId();
             int reloads = 0;
             bool lost = false;
             ASSERT_TRUE(pumpUntil(
                 [&] {
                     lost = lost || held() < 1;
                     reloads += controller_->currentScreenId() != shown;
                     shown = controller_->currentScreenId();
                     return reloads >= 4;
                 },
                 20000));
             EXPECT_FALSE(lost);
             server_.setSlowPath("/q/link", 0);
         },
         1},
        {"a failed chart's box over the next reload",
         [&] {
             server_.writePage("d/chart.png", green);
             server_.writePage("d/page.zqml",
                               "<zqml><body onload=\"refresh(1)\"><img "
                               "src=\"/d/chart.png\"/></body></zqml>");
             show("/d/page.zqml");
             ASSERT_TRUE(pumpUntil([&] { return held() == 1; }, 20000));
             server_.writePage("d/chart.png", "<html>404 Not Found</html>");
             ASSERT_TRUE(pumpUntil([&] { return held() == 0; }, 20000));
             const int failed = controller_->currentScreenId();
             ASSERT_TRUE(pumpUntil([&] { return controller_->currentScreenId() != failed; }));
             shot("failed-chart.png");  // laid out
             auto* chart = dynamic_cast<ImageItem*>(controller_->currentScreen()->controlList()[0]);
             EXPECT_EQ(chart->contentHeight(), 20);
         },
         0},
        {"the second tab of a page that reloads faster than its pictures come",
         [&] {
             server_.writePage("n/t0.png", green);
             server_.writePage("n/t1.png", green);
             server_.writePage("n/page.zqml",
                               "<zqml><tabbody onload=\"refresh(1)\"><page caption=\"行情\"><img "
                               "src=\"/n/t0.png\"/></page><page caption=\"走势\"><img "
                               "src=\"/n/t1.png\"/></page></tabbody></zqml>");
             show("/n/page.zqml");
             server_.setSlowPath("/n/t", 1500);
             pressKey(kRight);
             const int first = requestsFor("/n/t0.png");
             ASSERT_TRUE(pumpUntil([&] { return held() == 2; }, 20000));
             EXPECT_EQ(requestsFor("/n/t0.png"), first) << "the tab not shown";
             server_.setSlowPath("/n/t", 0);
         },
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.walk();
        EXPECT_EQ(held(), c.pictures);
    }
}

// Counts the full paints (each lays the shown page out) of the loop it
// stands in for the Display, and those before the first input.
struct CountedFrames : UiHandler {
    explicit CountedFrames(Display& display) : display(display) {}
    void onInput(const InputEvent& event) override {
        if (paintsBeforeInput < 0) paintsBeforeInput = paints;
        display.onInput(event);
    }
    void paint(Surface& window) override {
        ++paints;
        display.paint(window);
    }
    Display& display;
    int paints = 0;
    int paintsBeforeInput = -1;
};

// Every picture item installed the screen's whole listener list again,
// searching it for duplicates (5,000 pictures held the screen for 14 s), and
// every picture that came laid the whole page out again (10,000 held the
// keys for 5 s). The pictures that come together are laid out once, and a
// key pressed meanwhile is answered after that one layout.
TEST_P(PictureEndToEndTest, FiveThousandPicturesComeWithOneLayoutPerBatch) {
    constexpr int kPictures = 5000;
    server_.writePage("n.png", pngOf(kGreen, scratch_));
    // Ten to a line below a link; packed, the page fits in one frame.
    std::string images = "<a href=\"/next.zqml\">next</a><br/>";
    for (int i = 0; i < kPictures; ++i)
        images += i % 10 == 9 ? "<img src=\"n.png\"/><br/>" : "<img src=\"n.png\"/>";
    server_.writePage("many.zqml", "<zqml><body>" + images + "</body></zqml>");
    server_.writePage("next.zqml", "<zqml><body><text>next</text></body></zqml>");
    // However slow the machine, no picture is given up on.
    controller_->session()->setReplyWaitMs(kNeverMs);
    HeadlessWindow window({240, 320});
    CountedFrames frames(*display_);
    UiLoop loop(executor_, window, frames);
    display_->attach(&loop);

    open("/many.zqml");
    ASSERT_TRUE(pumpUntil([&] { return shows("many.zqml"); }, 30000))
        << shownUrl() << " " << server_.requests().size() << " " << messageBoxLog().size();
    EXPECT_EQ(responseListeners().count(ImageItem::kReplyKind), size_t(kPictures));
    // Every picture asked for once and every reply in, none applied yet.
    ASSERT_TRUE(server_.waitForRequests(kPictures + 1, 120000));
    const auto allIn = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!controller_->requests().pendingTable().idle() &&
           std::chrono::steady_clock::now() < allIn) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(controller_->requests().pendingTable().idle());
    EXPECT_EQ(requestsFor("/n.png"), kPictures);
    // Asking costs each picture a probe or two, not a walk of those in
    // flight nor of the page's pictures (5,000 held the keys for 0.5 s).
    EXPECT_LE(controller_->requests().pendingTable().pictureLookupSteps(), 2u * kPictures);
    EXPECT_LE(controller_->currentScreen()->controlIndexSteps(), 3u * kPictures);

    for (int key : {kKeyDown, kKeyEnter}) {
        window.pushEvent(KeyDown{key, 1});
        window.pushEvent(KeyUp{key});
    }
    const int paintsBefore = frames.paints;
    loop.runOnce(0);
    EXPECT_EQ(frames.paintsBeforeInput - paintsBefore, 1) << "one layout for the pictures";
    int shown = 0;
    Container* content = controller_->currentScreen()->getContent();
    for (int i = 0; i < content->size(); ++i) {
        if (auto* picture = dynamic_cast<ImageItem*>(content->getItem(i))) {
            shown += picture->getImage() != nullptr;
        }
    }
    EXPECT_EQ(shown, kPictures);
    // The keys go to the page's link, after that one layout.
    for (int step = 0; step < 3; ++step) loop.runOnce(0);
    EXPECT_TRUE(pumpUntil([&] { return requestsFor("/next.zqml") == 1; }))
        << (controller_->currentScreen()->getFocusedItem() ? "a focus" : "no focus");
    display_->attach(nullptr);
    // The pages go, and with them their pictures' listeners: each page's at
    // once, not each by a walk of those left (50,000 took 0.9 s).
    const uint64_t removalsBefore = responseListeners().removalSteps();
    controller_.reset();
    EXPECT_EQ(responseListeners().count(ImageItem::kReplyKind), 0u);
    EXPECT_LE(responseListeners().removalSteps() - removalsBefore, 3u * kPictures);
}

// A picture with no reply within the reply wait was sent again over a
// fresh framed connection, which closed the one the pages share: a page
// asked for meanwhile lost its reply and came seconds late, or, when the
// picture's second time-out landed while it waited, not at all ("网络超时，
// 请稍后重试！"). A picture's failure is only its own.
TEST_P(PictureEndToEndTest, APictureWithNoReplyNeverCostsAPageItsReply) {
    constexpr uint32_t kWaitMs = 3000;
    server_.writePage("lost/p.png", pngOf(kRed, scratch_));
    server_.writePage("lost/page.zqml", "<zqml><body><img src=\"p.png\"/></body></zqml>");
    server_.writePage("next.zqml", "<zqml><body><text>next</text></body></zqml>");
    controller_->session()->setReplyWaitMs(kWaitMs);
    open("/lost/page.zqml");
    ASSERT_TRUE(server_.waitForRequests(1, 3000));
    server_.setFault(testserver::Fault::Missing, 1);  // the picture's, the next request
    ASSERT_TRUE(pumpUntil([&] { return shows("page.zqml"); }));
    ASSERT_TRUE(server_.waitForRequests(2, 3000));
    // The user opens the next page half a wait later; its reply comes within
    // its own wait, after the picture's has run out.
    pumpUntil([] { return false; }, kWaitMs / 2);
    server_.setSlowPath("/next.zqml", kWaitMs * 3 / 4);
    open("/next.zqml");
    ASSERT_TRUE(pumpUntil([&] { return shows("next.zqml"); })) << shownUrl();
    EXPECT_TRUE(messageBoxLog().empty());
    EXPECT_EQ(requestsFor("/next.zqml"), 1);
    EXPECT_EQ(requestsFor("/lost/p.png"), 1);
    EXPECT_EQ(server_.requests().size(), 3u);
}

// Only 32 image links were fetched and nothing fetched the rest: on a page
// of 40, links 33-40 showed nothing. Every link picture is fetched, in turn.
TEST_P(PictureEndToEndTest, EveryImageLinkGetsItsPicture) {
    constexpr int kLinks = 40;
    std::string links;
    for (int i = 0; i < kLinks; ++i) {
        const std::string name = "l/p" + std::to_string(i) + ".png";
        server_.writePage(name, pngOf(kBlue, scratch_));
        links += "<a href=\"/x\"><img src=\"/" + name + "\"/></a>";
    }
    server_.writePage("l/links.zqml", "<zqml><body>" + links + "</body></zqml>");
    open("/l/links.zqml");
    ASSERT_TRUE(pumpUntil([&] { return shows("links.zqml"); }, 20000));
    Container* content = controller_->currentScreen()->getContent();
    auto withPicture = [content] {
        int n = 0;
        for (int i = 0; i < content->size(); ++i) {
            if (auto* link = dynamic_cast<HyperlinkItem*>(content->getItem(i))) {
                n += link->getImage() != nullptr;
            }
        }
        return n;
    };
    EXPECT_TRUE(pumpUntil([&] { return withPicture() == kLinks; })) << withPicture();
    for (int i = 0; i < kLinks; ++i) {
        EXPECT_EQ(requestsFor("/l/p" + std::to_string(i) + ".png"), 1) << i;
    }
}

// Behind slow plain pictures, image links' fetches waited for a gateway
// thread while their wait ran out, and their pictures never came. Their
// wait starts when they are sent.
TEST_P(PictureEndToEndTest, LinkPicturesQueuedBehindSlowPicturesStillCome) {
    if (!GetParam()) GTEST_SKIP() << "the gateway's own queue";
    constexpr int kWaitSeconds = 2;
    // Four plain pictures take the gateway's two picture threads for two
    // turns of slow replies, more than a link picture's wait; each reply
    // comes within its exchange's own wait.
    std::string body;
    for (int i = 0; i < 4; ++i) {
        const std::string name = "slow/p" + std::to_string(i) + ".png";
        server_.writePage(name, pngOf(kRed, scratch_));
        body += "<img src=\"/" + name + "\"/>";
    }
    body += "<br/>";
    for (int i = 0; i < 2; ++i) {
        const std::string name = "fast/l" + std::to_string(i) + ".png";
        server_.writePage(name, pngOf(kBlue, scratch_));
        body += "<a href=\"/x\"><img src=\"/" + name + "\"/></a>";
    }
    server_.writePage("queued.zqml", "<zqml><body>" + body + "</body></zqml>");
    controller_->requests().setWaitSeconds(kWaitSeconds);
    controller_->session()->setReplyWaitMs(kWaitSeconds * 1000);
    server_.setSlowPath("/slow/", kWaitSeconds * 1000 * 3 / 4);
    open("/queued.zqml");
    ASSERT_TRUE(pumpUntil([&] { return shows("queued.zqml"); }));
    Container* content = controller_->currentScreen()->getContent();
    std::vector<HyperlinkItem*> links;
    for (int i = 0; i < content->size(); ++i) {
        if (auto* link = dynamic_cast<HyperlinkItem*>(content->getItem(i))) links.push_back(link);
    }
    ASSERT_EQ(links.size(), 2u);
    EXPECT_TRUE(pumpUntil(
        [&] { return links[0]->getImage() != nullptr && links[1]->getImage() != nullptr; }, 20000));
    EXPECT_EQ(requestsFor("/fast/l0.png"), 1);
    EXPECT_EQ(requestsFor("/fast/l1.png"), 1);
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
