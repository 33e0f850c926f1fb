// The headless client against the test server: the relative names of a page
// are its own wherever the page shown before it lies, redirects end, a big
// download that cannot come says so, and the first page can be retried.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "app/page_loader.h"
#include "platform/files.h"
#include "tests/support/client_fixture.h"

namespace zq {
namespace {

class PageNamesClientTest : public test::ClientFixture {
protected:
    PageNamesClientTest() : ClientFixture("page_names_") {}

    // Runs the client on the server's `firstPage` over `connectType`.
    std::string run(const std::string& firstPage, const std::string& keys,
                    const std::string& connectType = "net") {
        const std::string host = this->host() + ":test:";
        writeConfig("sys-cm-iplist = " + host + "\nsys-curhost = " + host +
                    "\nsys-initpath = " + firstPage + "\nsys-connecttype = " + connectType +
                    "\ncli-wap-gateway = 127.0.0.1\ncli-wap-port = " +
                    std::to_string(server_.gatewayPort()) + "\ncli-timeout = 2\n");
        EXPECT_EQ(ClientFixture::run(keys), 0);
        return err_;
    }
    static std::string said(const char16_t* text) { return CString(text).toUtf8(); }
    int repliesSentFor(const std::string& path) const {
        const std::vector<std::string> sent = server_.repliesSent();
        return static_cast<int>(std::count(sent.begin(), sent.end(), path));
    }
};

// A page reached from "/sub/" took its relative names from there: its
// redirect and download went to "/sub/", its style sheet to nowhere.
TEST_F(PageNamesClientTest, ARedirectDownloadAndStyleSheetAreThePagesOwn) {
    for (const bool gateway : {false, true}) {
        SCOPED_TRACE(gateway ? "gateway" : "framed");
        server_.clearRequests();
        server_.writePage("sub/index.zqml",
                          "<zqml><body onload=\"forward(/f.zqml)\"><text>sub</text></body></zqml>");
        server_.writePage("f.zqml",
                          "<zqml><down href=\"data.txt\" filename=\"dl/d.txt\"/>"
                          "<redirectfile url=\"g.zqml\"/><body><text>f</text></body></zqml>");
        server_.writePage("data.txt", "top data");
        // A dark page over the framed connection, a light one over the gateway.
        server_.writePage("g.zqml",
                          "<zqml><head><style href=\"s.css\"/></head><body class=\"pg\">"
                          "<text class=\"hot\">GGGGGGGG</text></body></zqml>");
        server_.writePage("s.css", std::string("hot{font-color:#ff0000}\npg{background-color:") +
                                       (gateway ? "#f8f8f0" : "#13283d") + "}\n");
        // What the folder of the page shown before would give.
        server_.writePage("sub/data.txt", "sub data");
        server_.writePage("sub/g.zqml", "<zqml><body><text>wrong</text></body></zqml>");
        server_.writePage("sub/s.css", "hot{font-color:#0000ff}\n");

        const std::string err = run(
            "/sub/index.zqml", std::string(kStart) + kReply + kReply + shot(gateway ? "g_gw" : "g"),
            gateway ? "wap" : "net");
        for (const auto& request : server_.requests()) {
            EXPECT_EQ(request.transport,
                      gateway ? testserver::Transport::Gateway : testserver::Transport::Framed);
        }
        EXPECT_EQ(requestsFor("/g.zqml"), 1) << err;
        EXPECT_EQ(requestsFor("/sub/g.zqml"), 0);
        EXPECT_EQ(readFile(resources() / "dl" / "d.txt").value_or(""), "top data");
        EXPECT_EQ(requestsFor("/s.css"), 1);
        const test::Shot image = load(gateway ? "g_gw" : "g");
        ASSERT_TRUE(image.image);
        EXPECT_TRUE(image.any(0, 0, 240, 60, [](int r, int g, int b) {
            return r > 150 && g < 80 && b < 80;
        })) << "the page's own style sheet colours its text";
        EXPECT_EQ(image.at(200, 200), gateway ? 0xf8f8f0u : 0x13283du);
    }
}

// A page that named itself as its follow-up sent requests without end and,
// as the first page, left the splash up.
TEST_F(PageNamesClientTest, ASelfRedirectStopsAndSaysSo) {
    server_.writePage("index.zqml",
                      "<zqml><body onload=\"forward(/loop.zqml)\"><text>i</text></body></zqml>");
    server_.writePage("loop.zqml", "<zqml><redirectfile url=\"loop.zqml\"/><body/></zqml>");
    // Idle once the last reply the server sent is in.
    std::string err = run("/index.zqml", std::string(kStart) + kReply + kReply);
    EXPECT_EQ(requestsFor("/loop.zqml"), 21) << err;
    EXPECT_EQ(repliesSentFor("/loop.zqml"), 21) << err;
    EXPECT_NE(err.find(said(PageLoader::kTooManyRedirectsText)), std::string::npos) << err;

    // As the first page: said, then start-up goes on to the local index.
    server_.clearRequests();
    err = run("/loop.zqml", std::string(kStart) + "answer ok\n" + kStart + shot("after_loop"));
    EXPECT_EQ(requestsFor("/loop.zqml"), 21) << err;
    const size_t said = err.find(this->said(PageLoader::kTooManyRedirectsText));
    EXPECT_NE(said, std::string::npos) << err;
    EXPECT_EQ(err.find("网络连接失败"), std::string::npos) << err;
    // A page with its soft-key bar, not the splash.
    const test::Shot image = load("after_loop");
    ASSERT_TRUE(image.image);
    EXPECT_TRUE(
        image.any(100, 305, 140, 315, [](int r, int, int b) { return b > 150 && r < 120; }));
}

// Start-up held every follow-up link while it showed its first page, also
// that of a page the first page's load action opened: the chain it began
// stopped without a word.
TEST_F(PageNamesClientTest, ARedirectInAPageTheFirstPageOpensIsFollowed) {
    server_.writePage(
        "index.zqml",
        "<zqml><body onload=\"forward(file://next.zqml)\"><text>i</text></body></zqml>");
    writeFileAtomic(resources() / "next.zqml",
                    "<zqml><redirectfile url=\"/last.zqml\"/><body/></zqml>");
    server_.writePage("last.zqml", "<zqml><body><text>last</text></body></zqml>");
    const std::string err = run("/index.zqml", std::string(kStart) + kReply);
    EXPECT_EQ(requestsFor("/last.zqml"), 1) << err;
}

// A download larger than one frame failed silently over the framed
// connection. Said on the first page, the box must not hold up start-up.
TEST_F(PageNamesClientTest, ADownloadThatCannotComeIsSaid) {
    // Bytes no packing shrinks into one frame.
    std::string big(40000, '\0');
    uint32_t seed = 12345;
    for (char& byte : big) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<char>(seed >> 24);
    }
    server_.writePage("big.bin", big);
    server_.writePage("d.zqml",
                      "<zqml><down href=\"big.bin\" filename=\"dl/big.bin\"/>"
                      "<body><text>d</text></body></zqml>");
    const std::string err = run("/d.zqml", std::string(kStart) + kReply);
    EXPECT_NE(err.find("下载文件失败：big.bin"), std::string::npos) << err;
    EXPECT_FALSE(readFile(resources() / "dl" / "big.bin"));
    EXPECT_EQ(requestsFor("/d.zqml"), 1);
}

// The first page came on a path of its own that left the retry address
// empty: "重试" did nothing.
TEST_F(PageNamesClientTest, TheFirstPageCanBeRetried) {
    server_.writePage("index.zqml",
                      "<zqml><body><text>first</text><command>"
                      "<commanditem caption=\"重试\"/></command></body></zqml>");
    const std::string err =
        run("/index.zqml", std::string(kStart) + shot("retry") + "key soft1\nkey soft1\n" + kReply);
    EXPECT_EQ(requestsFor("/index.zqml"), 2) << err;
}

}  // namespace
}  // namespace zq
