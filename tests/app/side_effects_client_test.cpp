// The headless client against the test server: pages that refresh
// themselves under an alert, a confirm box and the speed-test screen, and a
// page whose side effects download relative to it, set a marquee text and
// set the login flag.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/image.h"
#include "tests/support/spawn_client.h"
#include "tests/support/test_env.h"
#include "tests/support/test_server.h"

namespace zq {
namespace {

class SideEffectsClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* binaryDir = std::getenv("ZQ_BINARY_DIR");
        if (!binaryDir) GTEST_SKIP() << "ZQ_BINARY_DIR is not set (run through ctest)";
        binary_ = std::filesystem::path(binaryDir) / "app" / "zqclient";
        ASSERT_TRUE(server_.started());
        ASSERT_TRUE(makeDirectories(resources()));
        server_.writePage("kolm_k1/CheckNetServlet", "ok");
    }
    std::filesystem::path resources() const {
        return dir_.path() / "device" / "Program" / "ZQ Resource";
    }
    // Runs the client on the server's `firstPage` with the key script; its
    // stderr (the message-box log among it).
    std::string run(const std::string& firstPage, const std::string& keys) {
        const std::string host = "127.0.0.1:" + std::to_string(server_.gatewayPort()) + ":" +
                                 std::to_string(server_.framedPort()) + ":test:";
        std::ofstream(resources() / "ZQConfig.ini")
            << "[info-system]\nsys-cm-iplist = " << host << "\nsys-curhost = " << host
            << "\nsys-initpath = " << firstPage << "\nsys-connecttype = net\ncli-timeout = 2\n";
        const std::filesystem::path script = dir_.path() / "keys";
        std::ofstream(script) << keys;
        const std::string err = (dir_.path() / "err").string();
        const int code =
            test::runChild({binary_.string(), "--headless", "--device",
                            (dir_.path() / "device").string(), "--keys", script.string()},
                           "", err);
        EXPECT_EQ(code, 0);
        std::ifstream in(err);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    int requestsFor(const std::string& path) const {
        int count = 0;
        for (const auto& request : server_.requests()) count += request.target.path == path;
        return count;
    }

    test::TempDir dir_;
    test::TestServer server_;
    std::filesystem::path binary_;
};

// Each reload took the display from what was open over the page: the alert
// went unanswered, the speed test was cancelled, the confirm box outlived
// its page.
TEST_F(SideEffectsClientTest, ARefreshingPageWaitsForWhatIsOpenOverIt) {
    struct Case {
        const char* page;
        const char* onload;
        const char* close;  // the key script line that closes what is open
    };
    const Case cases[] = {
        {"/r/alert.zqml", "refresh(1)|alert(hello,1)", "key soft2"},
        {"/r/confirm.zqml", "refresh(1)|confirm(sure,x(),x())", "answer yes"},
        // The test runs (the host at the top, then its start button).
        {"/r/speed.zqml", "refresh(1)|spt()",
         "key down\nkey down\nkey fire\nwait 1000\nanswer ok\nkey soft2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        server_.writePage(
            std::string(c.page).substr(1),
            std::string("<zqml><body onload=\"") + c.onload + "\"><text>p</text></body></zqml>");
        const std::string err = run(c.page, std::string("wait 3000\n") + c.close + "\nwait 1500\n");
        // Shown once, then again only after what was over it closed.
        EXPECT_EQ(requestsFor(c.page), 2) << err;
    }
    EXPECT_EQ(requestsFor("/kolm_k1/CheckNetServlet"), 1);
}

bool anyPixel(const ImageRef& image, int left, int top, int right, int bottom,
              const std::function<bool(int r, int g, int b)>& test) {
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            const uint32_t p = image->pixel(x, y);
            if (test((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF)) return true;
        }
    }
    return false;
}

// A relative "down" fetched nothing, a page's marquee text was hidden by the
// settings, and "memsave var-login=true" left a "委" line white.
TEST_F(SideEffectsClientTest, APageDownloadsSetsItsMarqueeAndLogsIn) {
    server_.writePage("p/index.zqml",
                      "<zqml><body onload=\"forward(side.zqml)\"><text>i</text></body></zqml>");
    server_.writePage("p/data.bin", "payload");
    server_.writePage(
        "p/side.zqml",
        "<zqml><down href=\"data.bin\" filename=\"dl/x.bin\"/>"
        "<memsave name=\"var-login\" value=\"true\"/>"
        "<mqd id=\"sys-news\" str=\"page news here\"/>"
        "<body><marquee id=\"sys-news\" defaultStr=\"\"/><text>委</text></body></zqml>");
    const std::string shot = (dir_.path() / "side.png").string();
    const std::string err = run("/p/index.zqml", "wait 1500\nscreenshot " + shot + "\n");
    EXPECT_EQ(readFile(resources() / "dl" / "x.bin").value_or(""), "payload") << err;
    EXPECT_EQ(requestsFor("/p/data.bin"), 1);

    ImageRef image = loadImageFile(shot);
    ASSERT_TRUE(image);
    // The "委" line at the top is red.
    EXPECT_TRUE(anyPixel(image, 0, 0, 20, 16,
                         [](int r, int g, int b) { return r > 150 && g < 80 && b < 80; }));
    // The status line above the soft-key bar carries the page's light text.
    EXPECT_TRUE(anyPixel(image, 0, 280, 240, 294,
                         [](int r, int g, int b) { return r > 150 && g > 150 && b > 150; }));
}

}  // namespace
}  // namespace zq
