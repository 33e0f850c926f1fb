// The headless client against the test server: pages that refresh
// themselves under an alert, a confirm box and the speed-test screen, and a
// page whose side effects download relative to it, set a marquee text and
// set the login flag.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/support/client_fixture.h"

namespace zq {
namespace {

class SideEffectsClientTest : public test::ClientFixture {
protected:
    SideEffectsClientTest() : ClientFixture("side_effects_") {}

    void SetUp() override {
        ClientFixture::SetUp();
        server_.writePage("kolm_k1/CheckNetServlet", "ok");
    }
    // Runs the client on the server's `firstPage` with the key script; its
    // stderr (the message-box log among it).
    std::string run(const std::string& firstPage, const std::string& keys) {
        const std::string host = this->host() + ":test:";
        writeConfig("sys-cm-iplist = " + host + "\nsys-curhost = " + host +
                    "\nsys-initpath = " + firstPage + "\nsys-connecttype = net\ncli-timeout = 2\n");
        EXPECT_EQ(ClientFixture::run(keys), 0);
        return err_;
    }
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
         "key down\nkey down\nkey fire\nidle 10000\nanswer ok\nkey soft2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        server_.writePage(
            std::string(c.page).substr(1),
            std::string("<zqml><body onload=\"") + c.onload + "\"><text>p</text></body></zqml>");
        // The page's one-second refresh falls due while the box is open.
        const std::string err =
            run(c.page, std::string("idle 20000\nwait 1500\n") + c.close + "\nwait 1500\n");
        // Shown once, then again only after what was over it closed.
        EXPECT_EQ(requestsFor(c.page), 2) << err;
    }
    EXPECT_EQ(requestsFor("/kolm_k1/CheckNetServlet"), 1);
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
    const std::string err = run("/p/index.zqml", "idle 20000\n" + shot("marquee"));
    EXPECT_EQ(readFile(resources() / "dl" / "x.bin").value_or(""), "payload") << err;
    EXPECT_EQ(requestsFor("/p/data.bin"), 1);

    const test::Shot image = load("marquee");
    ASSERT_TRUE(image.image);
    // The "委" line at the top is red.
    EXPECT_TRUE(
        image.any(0, 0, 20, 16, [](int r, int g, int b) { return r > 150 && g < 80 && b < 80; }));
    // The status line above the soft-key bar carries the page's light text.
    EXPECT_TRUE(image.any(0, 280, 240, 294,
                          [](int r, int g, int b) { return r > 150 && g > 150 && b > 150; }));
}

}  // namespace
}  // namespace zq
