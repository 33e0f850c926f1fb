// The headless client against the test server: the relative names of a page
// are its own wherever the page shown before it lies, redirects end, a big
// download that cannot come says so, and the first page can be retried.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <string>
#include <utility>
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

// Regression: "../g.zqml" on /sub/deep/p.zqml went out as
// "/sub/deep/../g.zqml", which the server has not, and a download stored its
// not-found page; a local page could not name "../loc.zqml" at all.
TEST_F(PageNamesClientTest, DotSegmentsLeaveTheNameBeforeItGoesOut) {
    struct Name {
        const char* use;      // how the page names it
        const char* written;  // as written, on the page it stands on
        const char* served;   // the path the server must get
    };
    const Name names[] = {
        {"down", "../d1.txt", "/sub/d1.txt"},
        {"down", "../../d2.txt", "/d2.txt"},
        {"down", "../../../../d3.txt", "/d3.txt"},
        {"down", "./x/../d4.txt", "/sub/deep/d4.txt"},
        {"link", "../n.zqml", "/sub/n.zqml"},
        {"redirect", "./deep/../deep/r.zqml", "/sub/deep/r.zqml"},
        {"picture", "../p1.png", "/sub/p1.png"},
        {"picture", "../../../p2.png", "/p2.png"},
    };
    std::string downs;
    std::string pictures;
    std::string link;
    std::string redirect;
    for (size_t i = 0; i < std::size(names); ++i) {
        const std::string use = names[i].use;
        const std::string written = names[i].written;
        if (use == "down") {
            downs += "<down href=\"" + written + "\" filename=\"dl/" + std::to_string(i) + "\"/>";
            server_.writePage(std::string(names[i].served).substr(1), "data " + std::to_string(i));
        }
        if (use == "picture") pictures += "<img src=\"" + written + "\"/>";
        if (use == "link") link = written;
        if (use == "redirect") redirect = written;
    }
    server_.writePage("sub/deep/p.zqml",
                      "<zqml>" + downs + "<body onload=\"forward(" + link + ")\"/></zqml>");
    server_.writePage("sub/n.zqml", "<zqml><redirectfile url=\"" + redirect + "\"/><body/></zqml>");
    server_.writePage("sub/deep/r.zqml",
                      "<zqml><body>" + pictures + "<text>r</text></body></zqml>");

    for (const bool gateway : {false, true}) {
        SCOPED_TRACE(gateway ? "gateway" : "framed");
        server_.clearRequests();
        std::filesystem::remove_all(resources() / "dl");
        const std::string err =
            run("/sub/deep/p.zqml", std::string(kStart) + kReply + kReply, gateway ? "wap" : "net");
        for (size_t i = 0; i < std::size(names); ++i) {
            SCOPED_TRACE(names[i].written);
            EXPECT_EQ(requestsFor(names[i].served), 1) << err;
            if (std::string(names[i].use) == "down") {
                EXPECT_EQ(readFile(resources() / "dl" / std::to_string(i)).value_or(""),
                          "data " + std::to_string(i));
            }
        }
        for (const auto& request : server_.requests()) {
            EXPECT_EQ(request.target.path.find(".."), std::string::npos) << request.target.path;
        }
    }

    // Local pages: a name that stays in the resource folder opens.
    ASSERT_TRUE(makeDirectories(resources() / "sub" / "deep"));
    writeFileAtomic(resources() / "sub" / "deep" / "lp.zqml",
                    "<zqml><down href=\"../f.txt\" filename=\"dl/l.txt\"/>"
                    "<body onload=\"forward(../loc.zqml)\"/></zqml>");
    writeFileAtomic(resources() / "sub" / "loc.zqml",
                    "<zqml><body onload=\"forward(deep/../m.zqml)\"/></zqml>");
    writeFileAtomic(resources() / "sub" / "m.zqml",
                    "<zqml><redirectfile url=\"/local-ok.zqml\"/><body/></zqml>");
    writeFileAtomic(resources() / "sub" / "f.txt", "local data");
    server_.writePage("start.zqml",
                      "<zqml><body onload=\"forward(file://sub/deep/lp.zqml)\"/></zqml>");
    server_.writePage("local-ok.zqml", "<zqml><body><text>ok</text></body></zqml>");
    server_.clearRequests();
    const std::string err = run("/start.zqml", std::string(kStart) + kReply + kReply);
    EXPECT_EQ(requestsFor("/local-ok.zqml"), 1) << err;
    EXPECT_EQ(readFile(resources() / "dl" / "l.txt").value_or(""), "local data");
    EXPECT_EQ(err.find(said(PageLoader::kMissingFileText)), std::string::npos) << err;
}

// A page that named itself as its follow-up sent requests without end and,
// as the first page, left the splash up.
TEST_F(PageNamesClientTest, ASelfRedirectStopsAndSaysSo) {
    server_.writePage("index.zqml",
                      "<zqml><body onload=\"forward(/loop.zqml)\"><text>i</text></body></zqml>");
    server_.writePage("loop.zqml", "<zqml><redirectfile url=\"loop.zqml\"/><body/></zqml>");
    // Idle once the last reply the server sent is in. The load action's
    // opening is the chain's first.
    std::string err = run("/index.zqml", std::string(kStart) + kReply + kReply);
    EXPECT_EQ(requestsFor("/loop.zqml"), 20) << err;
    EXPECT_EQ(repliesSentFor("/loop.zqml"), 20) << err;
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

// Regression: only redirects were counted. A page whose load action opened
// itself made thousands of requests a second, as did a ring of load action
// and redirect, and "refresh(0)" in a load action; so did unload actions,
// which were not counted, and a loop whose replies came a second apart.
// Back from a stopped loop started it again.
TEST_F(PageNamesClientTest, ALoopByAnyRoadStopsAndSaysSo) {
    struct Loop {
        const char* name;
        const char* first;
        std::vector<std::pair<const char*, const char*>> pages;
        const char* slow = nullptr;  // its first reply comes 1.2 s late
        // Pages the user opens before the one the loop starts from: the
        // loop's pages pushed it out of the history.
        int walk = 0;
        // Every reply of the loop's pages ("/s/...") comes 1.2 s late, and
        // the user cancels it after 4 s: Back gave it a fresh count.
        bool cancelled = false;
    };
    const Loop loops[] = {
        {"load action",
         "/self.zqml",
         {{"self.zqml",
           "<zqml><body onload=\"forward(/self.zqml)\"><text>s</text></body></zqml>"}}},
        {"load action and redirect",
         "/a.zqml",
         {{"a.zqml", "<zqml><body onload=\"forward(b.zqml)\"><text>a</text></body></zqml>"},
          {"b.zqml", "<zqml><redirectfile url=\"a.zqml\"/><body/></zqml>"}}},
        {"refresh at once",
         "/r.zqml",
         {{"r.zqml", "<zqml><body onload=\"refresh(0)\"><text>r</text></body></zqml>"}}},
        {"load actions, a reply 1.2 s late",
         "/a.zqml",
         {{"a.zqml", "<zqml><body onload=\"forward(b.zqml)\"><text>a</text></body></zqml>"},
          {"b.zqml", "<zqml><body onload=\"forward(a.zqml)\"><text>b</text></body></zqml>"}},
         "/b.zqml"},
        {"load and unload action",
         "/u.zqml",
         {{"u.zqml",
           "<zqml><body onload=\"forward(/u.zqml)\" unonload=\"forward(/u.zqml)\">"
           "<text>u</text></body></zqml>"}}},
        {"a pair by unload actions",
         "/p.zqml",
         {{"p.zqml",
           "<zqml><body unonload=\"forward(q.zqml)\" onload=\"forward(q.zqml)\">"
           "<text>p</text></body></zqml>"},
          {"q.zqml",
           "<zqml><body unonload=\"forward(p.zqml)\" onload=\"forward(p.zqml)\">"
           "<text>q</text></body></zqml>"}}},
        {"a form sent by load and unload action",
         "/f.zqml",
         {{"f.zqml",
           "<zqml><body onload=\"st(f)\" unonload=\"st(f)\"><form id=\"f\" "
           "action=\"/f.zqml\"><edit name=\"qty\" value=\"100\"/></form>"
           "</body></zqml>"}}},
        {"load actions, entered from the tenth page",
         "/a.zqml",
         {{"a.zqml", "<zqml><body onload=\"forward(b.zqml)\"><text>a</text></body></zqml>"},
          {"b.zqml", "<zqml><body onload=\"forward(a.zqml)\"><text>b</text></body></zqml>"}},
         nullptr,
         9},
        {"load and unload action, entered from the tenth page",
         "/u.zqml",
         {{"u.zqml",
           "<zqml><body onload=\"forward(/u.zqml)\" unonload=\"forward(/u.zqml)\">"
           "<text>u</text></body></zqml>"}},
         nullptr,
         9},
        {"a slow loop, cancelled",
         "/s/a.zqml",
         {{"s/a.zqml", "<zqml><body onload=\"forward(b.zqml)\"><text>a</text></body></zqml>"},
          {"s/b.zqml", "<zqml><body onload=\"forward(a.zqml)\"><text>b</text></body></zqml>"}},
         nullptr,
         2,
         true},
    };
    for (const Loop& loop : loops) {
        for (const bool gateway : {false, true}) {
            SCOPED_TRACE(std::string(loop.name) + (gateway ? ", gateway" : ", framed"));
            server_.clearRequests();
            // The user's page, from which a button opens the loop, after the
            // pages the user walks through to it.
            auto userPage = [](const char* colour, const std::string& link) {
                return std::string("<zqml><head><style>body{background-color:") + colour +
                       "}</style></head><body><button caption=\"Go\" onclick=\"forward(" + link +
                       ")\"/></body></zqml>";
            };
            // Built with += : gcc 12 warns falsely about + at -O3.
            auto walkPage = [](int i) {
                std::string name = "/w";
                if (i == 0) return name.assign("/index.zqml");
                name += std::to_string(i);
                return name += ".zqml";
            };
            std::string walk;
            for (int i = 0; i < loop.walk; ++i) {
                server_.writePage(walkPage(i).substr(1), userPage("#a03030", walkPage(i + 1)));
                walk += std::string("key down\nkey fire\n") + kReply;
            }
            server_.writePage(walkPage(loop.walk).substr(1), userPage("#3060a0", loop.first));
            for (const auto& [path, text] : loop.pages) server_.writePage(path, text);
            if (loop.slow) server_.delayNextReply(loop.slow, 1200);
            server_.setSlowPath("/s/", loop.cancelled ? 1200 : 0);
            const std::string shotName = std::string("loop_back") + (gateway ? "_gw" : "");
            const std::string enter =
                loop.cancelled ? std::string("key down\nkey fire\nwait 4000\nkey soft2\n")
                               : std::string("key down\nkey fire\nanswer ok\n");
            const std::string err = run("/index.zqml",
                                        std::string(kStart) + walk + enter + kReply +
                                            "wait 1500\nkey soft2\n" + kReply + shot(shotName),
                                        gateway ? "wap" : "net");
            int requests = 0;
            for (const auto& [path, text] : loop.pages)
                requests += requestsFor(std::string(1, '/').append(path));
            EXPECT_EQ(requestsFor("/index.zqml"), 1) << err;
            EXPECT_EQ(load(shotName).at(200, 200), 0x3060a0u) << err;
            const size_t said = err.find(this->said(PageLoader::kTooManyRedirectsText));
            if (loop.cancelled) {
                // Four seconds of replies 1.2 s apart, then nothing more.
                EXPECT_GE(requests, 1) << err;
                EXPECT_LE(requests, 5) << err;
                EXPECT_EQ(said, std::string::npos) << err;
                continue;
            }
            // The first page, then 20 openings no key started (of two at a
            // time the stop may drop the last before it leaves); Back
            // returns to the user's page and asks for nothing.
            EXPECT_GE(requests, 20) << err;
            EXPECT_LE(requests, 21) << err;
            EXPECT_NE(said, std::string::npos) << err;
            EXPECT_EQ(err.find(this->said(PageLoader::kTooManyRedirectsText), said + 1),
                      std::string::npos)
                << err;
        }
    }
}

// A local page or template whose load action opened itself was stopped
// without a word: the openings nested until the action depth ran out.
TEST_F(PageNamesClientTest, ALocalPageThatOpensItselfStopsAndSaysSo) {
    writeFileAtomic(
        resources() / "self.zqml",
        "<zqml><body onload=\"forward(file://self.zqml)\"><text>s</text></body></zqml>");
    writeFileAtomic(resources() / "tself.zqml",
                    "<zqml><body onload=\"forward(tempfile://tself.zqml)\"><text>t</text>"
                    "</body></zqml>");
    for (const char* link : {"file://self.zqml", "tempfile://tself.zqml"}) {
        SCOPED_TRACE(link);
        server_.writePage("start.zqml", std::string("<zqml><body onload=\"forward(") + link +
                                            ")\"><text>start</text></body></zqml>");
        const std::string err = run("/start.zqml", std::string(kStart) + kReply);
        EXPECT_NE(err.find(said(PageLoader::kTooManyRedirectsText)), std::string::npos) << err;
    }
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

// Regression: a download stored whatever came, a page to be shown at once
// or a reply the client ignores among it, in place of the file it had. As
// the first page, a failed download followed by another never finished:
// the failure box opened inside the second one's wait.
TEST_F(PageNamesClientTest, ADownloadStoresOnlyAFilesBytes) {
    const struct {
        const char* name;
        uint8_t kind;
        bool stored;
    } replies[] = {
        {"a page reply", 1, true},
        {"a page reply of the second kind", 2, true},
        {"data no listener takes", 7, true},
        {"a page to show at once", 6, false},
        {"a kind the client ignores", 0, false},
        {"a kind past the known ones", 60, false},
    };
    std::string downs;
    for (size_t i = 0; i < std::size(replies); ++i) {
        const std::string n = std::to_string(i);
        testserver::CannedReply reply;
        reply.kind = replies[i].kind;
        reply.text = "new file " + n;
        server_.setReply("/f" + n, reply);
        downs += "<down href=\"/f" + n + "\" filename=\"dl/f" + n + "\"/>";
    }
    // A file the server has not: through a gateway its status says so. A
    // framed reply has no status: its not-found page looks like a file.
    downs += "<down href=\"/gone.css\" filename=\"dl/gone.css\"/>";
    server_.writePage("d.zqml", "<zqml>" + downs + "<body><text>d</text></body></zqml>");
    for (const bool gateway : {false, true}) {
        SCOPED_TRACE(gateway ? "gateway" : "framed");
        ASSERT_TRUE(makeDirectories(resources() / "dl"));
        std::filesystem::remove(resources() / "dl" / "gone.css");
        for (size_t i = 0; i < std::size(replies); ++i) {
            writeFileAtomic(resources() / "dl" / std::string("f").append(std::to_string(i)),
                            "old file");
        }
        const std::string err =
            run("/d.zqml", std::string(kStart) + kReply, gateway ? "wap" : "net");
        for (size_t i = 0; i < std::size(replies); ++i) {
            SCOPED_TRACE(replies[i].name);
            const std::string n = std::to_string(i);
            EXPECT_EQ(readFile(resources() / "dl" / ("f" + n)).value_or(""),
                      replies[i].stored ? "new file " + n : "old file");
            EXPECT_EQ(err.find("下载文件失败：/f" + n + " ->") != std::string::npos,
                      !replies[i].stored)
                << err;
        }
        if (gateway) {
            EXPECT_FALSE(readFile(resources() / "dl" / "gone.css"));
            EXPECT_NE(err.find("下载文件失败：/gone.css"), std::string::npos) << err;
        }
    }
}

// A down of a file the server has not replaced the shipped style sheet with
// the server's not-found page over the framed connection, and said nothing:
// after a restart the client lost its colours.
TEST_F(PageNamesClientTest, ADownloadOfAMissingFileKeepsTheOldFile) {
    server_.writePage("d.zqml",
                      "<zqml><down href=\"/css/gone.css\" filename=\"css/gone.css\"/>"
                      "<body><text>d</text></body></zqml>");
    for (const bool gateway : {false, true}) {
        SCOPED_TRACE(gateway ? "gateway" : "framed");
        ASSERT_TRUE(makeDirectories(resources() / "css"));
        writeFileAtomic(resources() / "css" / "gone.css", "hot{font-color:#ff0000}\n");
        const std::string err =
            run("/d.zqml", std::string(kStart) + kReply, gateway ? "wap" : "net");
        EXPECT_EQ(readFile(resources() / "css" / "gone.css").value_or(""),
                  "hot{font-color:#ff0000}\n");
        EXPECT_NE(err.find("下载文件失败：/css/gone.css"), std::string::npos) << err;
    }
}

// Two failed downloads on a page were said last first: each box opened
// inside the one before, so the user read the page's failures backwards.
TEST_F(PageNamesClientTest, FailedDownloadsAreSaidInThePagesOrder) {
    server_.writePage("d.zqml",
                      "<zqml><down href=\"/gone1.css\" filename=\"dl/g1\"/>"
                      "<down href=\"/gone2.css\" filename=\"dl/g2\"/>"
                      "<body><text>d</text></body></zqml>");
    const std::string err = run("/d.zqml", std::string(kStart) + kReply, "wap");
    const size_t first = err.find("下载文件失败：/gone1.css");
    const size_t second = err.find("下载文件失败：/gone2.css");
    ASSERT_NE(first, std::string::npos) << err;
    ASSERT_NE(second, std::string::npos) << err;
    EXPECT_LT(first, second) << err;
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
