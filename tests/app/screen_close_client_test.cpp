// Screens over a page, opened and closed in the headless client: an alert
// and the speed test. Under the tsan preset the client is the
// ThreadSanitizer build, which ends with exit code 66 on a lock-order
// report: opening such a screen from the page's handler and closing it from
// its own painted the two screens under each other's content locks, in
// both orders.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/client_fixture.h"

namespace zq {
namespace {

bool samePixels(const Image& a, const Image& b) {
    if (a.width() != b.width() || a.height() != b.height()) return false;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) return false;
        }
    }
    return true;
}

class ScreenCloseClient : public test::ClientFixture {
protected:
    ScreenCloseClient() : ClientFixture("screen_close_") {}

    // The page, then the screen opened over it from a key, then the page
    // again once the screen's close key has been pressed.
    void openAndClose(const std::string& name, const std::string& action,
                      const std::string& closeKey) {
        server_.writePage("index.zqml",
                          test::zqmlDocument("<body><key name=\"z\" value=\"" + action +
                                             "\"/><text>page</text></body>"));
        writeConfig(serverLines() + "sys-initpath = /index.zqml\n");
        ASSERT_EQ(
            run(std::string(kStart) + shot(name + "_page") + "char z\n" + kReply +
                shot(name + "_over") + "key " + closeKey + "\n" + kReply + shot(name + "_back")),
            0)
            << err_;
        const test::Shot page = load(name + "_page");
        const test::Shot over = load(name + "_over");
        const test::Shot back = load(name + "_back");
        ASSERT_TRUE(page.image && over.image && back.image);
        EXPECT_FALSE(samePixels(*page.image, *over.image)) << "the screen did not open";
        EXPECT_TRUE(samePixels(*page.image, *back.image)) << "the page did not come back";
    }
};

TEST_F(ScreenCloseClient, AnAlertClosesBackToThePage) {
    openAndClose("alert", "al(Saved,WARNING_MESSAGE)", "soft2");
}

TEST_F(ScreenCloseClient, TheSpeedTestScreenClosesBackToThePage) {
    openAndClose("speed", "spt()", "soft2");
}

}  // namespace
}  // namespace zq
