// Start-up: the splash screen's picture, and zqclient coming up end to end
// against the in-process test server with a temporary device folder.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/application.h"
#include "app/splash_screen.h"
#include "platform/device_context.h"
#include "platform/files.h"
#include "platform/font.h"
#include "platform/image.h"
#include "tests/support/spawn_client.h"
#include "tests/support/test_env.h"
#include "tests/support/test_font.h"
#include "tests/support/test_server.h"
#include "ui/graphics_context.h"

namespace zq {
namespace {

// --- the splash screen ------------------------------------------------------------------------

TEST(SplashGeometry, PortraitNumbersAndBlockCounts) {
    SplashScreen::Geometry at = SplashScreen::geometry({240, 320}, 12, 0, 0);
    EXPECT_EQ(at.versionTop, 248);
    EXPECT_EQ(at.frameTop, 281);
    EXPECT_EQ(at.frameLeft, 20);
    EXPECT_EQ(at.frameRight, 220);
    EXPECT_EQ(at.blocks, 1);  // one block shows at 0 %
    EXPECT_EQ(SplashScreen::geometry({240, 320}, 12, 0, 50).blocks, 12);
    // Two status lines push the bar down 15 px each.
    EXPECT_EQ(SplashScreen::geometry({240, 320}, 12, 2, 0).frameTop, 281 + 30);
}

// Regression: at 100 % the last block ran past the frame's right edge.
TEST(SplashGeometry, FullBarStaysInsideItsFrame) {
    for (Size screen : {Size{240, 320}, Size{320, 240}, Size{176, 208}}) {
        SplashScreen::Geometry at = SplashScreen::geometry(screen, 14, 0, 100);
        const int lastRight = at.frameLeft + 1 + 9 * (at.blocks - 1) + 6;
        EXPECT_LE(lastRight, at.frameRight - 1) << screen.width;
        EXPECT_GE(lastRight, at.frameRight - 1 - 9) << "the bar should look full";
    }
}

Surface paintSplash(SplashScreen& splash) {
    Surface surface(240, 320);
    DeviceContext dc(surface);
    GraphicsContext g;
    g.init(240, 320, &dc);
    splash.paint(g);
    return surface;
}

class SplashPaintTest : public ::testing::Test {
protected:
    Surface paint(SplashScreen& splash) { return paintSplash(splash); }
    test::ScopedFixedFont fixed_;
};

TEST_F(SplashPaintTest, BackgroundFrameAndBlocks) {
    SplashScreen::Look look;
    look.version = CString(u"V1");
    look.background = 0x123456;
    SplashScreen splash(look);
    splash.setBounds(Rect::fromSize(0, 0, 240, 320));
    splash.setProgress(100);
    const Surface full = paint(splash);
    const SplashScreen::Geometry at = SplashScreen::geometry({240, 320}, 14, 0, 100);
    const int midY = at.frameTop + 4;
    EXPECT_EQ(full.getPixel(5, 5), 0x123456u);
    EXPECT_EQ(full.getPixel(at.frameLeft, midY), SplashScreen::kFrameColor);
    EXPECT_EQ(full.getPixel(at.frameRight - 1, midY), SplashScreen::kFrameColor);
    EXPECT_EQ(full.getPixel(at.frameLeft + 1, midY), SplashScreen::kBlockColor);
    const int lastBlockEnd = at.frameLeft + 1 + 9 * (at.blocks - 1) + 6;
    EXPECT_EQ(full.getPixel(lastBlockEnd - 1, midY), SplashScreen::kBlockColor);
    EXPECT_EQ(full.getPixel(lastBlockEnd, midY), SplashScreen::kFrameFill);

    splash.setProgress(0);
    const Surface empty = paint(splash);
    EXPECT_EQ(empty.getPixel(at.frameLeft + 1, midY), SplashScreen::kBlockColor);
    EXPECT_EQ(empty.getPixel(at.frameLeft + 10, midY), SplashScreen::kFrameFill);
}

TEST(StartupValues, LogoModeAndGateway) {
    EXPECT_EQ(Application::logoFile("/r", 320, 240).filename(), "320_240logo.png");
    EXPECT_EQ(Application::logoFile("/r", 240, 240).filename(), "logo.png");
    EXPECT_EQ(Application::connectionMode(CString(u"net"), CString(u"中国电信(CT)")),
              ConnectionMode::Direct);
    EXPECT_EQ(Application::connectionMode(CString(u"WAP"), CString(u"中国电信(CT)")),
              ConnectionMode::TelecomGateway);
    EXPECT_EQ(Application::connectionMode(CString(u"wap"), CString(u"中国移动(CM)")),
              ConnectionMode::Gateway);
    SettingsStore settings("/nonexistent", "");
    SettingsStore::putEntry(settings.live(), CString(u"cli-wap-gateway"), CString(u"127.0.0.9"),
                            kSectionSystem);
    SettingsStore::putEntry(settings.live(), CString(u"cli-wap-port"), CString(u"99999"),
                            kSectionSystem);
    const HttpGatewayConfig config = Application::gatewayFromSettings(settings);
    EXPECT_EQ(config.mobileAddress, "127.0.0.9");
    EXPECT_EQ(config.port, HttpGatewayConfig().port);  // out of range: kept
}

// --- zqclient end to end ---------------------------------------------------------------------

struct RunResult {
    int exitCode = -1;
    std::string err;
};

std::string page(const std::string& body, const std::string& onload = "") {
    const std::string load = onload.empty() ? "" : " onload=\"" + onload + "\"";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><zqml><body" + load + "><text>" + body +
           "</text></body></zqml>";
}

class StartupEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* binaryDir = std::getenv("ZQ_BINARY_DIR");
        if (!binaryDir) GTEST_SKIP() << "ZQ_BINARY_DIR is not set (run through ctest)";
        binary_ = std::filesystem::path(binaryDir) / "app" / "zqclient";
        ASSERT_TRUE(std::filesystem::exists(binary_)) << binary_ << " is not built";
        ASSERT_TRUE(server_.started());
        ASSERT_TRUE(makeDirectories(resources()));
    }

    std::filesystem::path device() const { return dir_.path() / "device"; }
    std::filesystem::path resources() const { return device() / "Program" / "ZQ Resource"; }

    // The user settings file: the hosts of `target` and `extra` lines.
    void configure(const test::TestServer& target, const std::string& extra) {
        const std::string host = "127.0.0.1:" + std::to_string(target.gatewayPort()) + ":" +
                                 std::to_string(target.framedPort()) + ":test:";
        std::ofstream(resources() / "ZQConfig.ini")
            << "[info-system]\nsys-cm-iplist = " << host << "\nsys-curhost = " << host
            << "\ncli-wap-gateway = 127.0.0.1\ncli-wap-port = " << target.gatewayPort()
            << "\nsys-initpath = /index.zqml\ncli-timeout = 2\n"
            << extra;
    }
    void writeResource(const std::string& name, const std::string& text) {
        ASSERT_TRUE(writeFileAtomic(resources() / name, text));
    }

    struct Child {
        pid_t pid = -1;
        std::string errPath;
    };
    Child spawn(std::vector<std::string> args) {
        args.insert(args.begin(), {binary_.string(), "--headless", "--device", device().string()});
        Child child;
        child.errPath = (dir_.path() / ("stderr" + std::to_string(runs_++))).string();
        child.pid = test::spawnChild(std::move(args), "", child.errPath);
        return child;
    }
    RunResult wait(const Child& child) {
        RunResult result;
        result.exitCode = test::waitForChild(child.pid);
        std::ifstream in(child.errPath);
        std::stringstream text;
        text << in.rdbuf();
        result.err = text.str();
        return result;
    }
    RunResult run(std::vector<std::string> args = {}) { return wait(spawn(std::move(args))); }
    std::string keys(const std::string& text) {
        const std::filesystem::path path = dir_.path() / ("keys" + std::to_string(runs_));
        std::ofstream(path) << text;
        return path.string();
    }

    // The client ended as without any page, after saying `said` (if any).
    static void expectSaidThenEnded(const RunResult& r, const char16_t* said) {
        EXPECT_EQ(r.exitCode, 1) << r.err;
        const size_t fatal = r.err.find("网络连接失败，将退出程序");
        EXPECT_NE(fatal, std::string::npos) << r.err;
        if (said) {
            EXPECT_LT(r.err.find(CString(said).toUtf8()), fatal) << r.err;
        }
    }

    // The paths the server was asked for, in order.
    std::vector<std::string> paths(const test::TestServer& server) const {
        std::vector<std::string> out;
        for (const testserver::ReceivedRequest& r : server.requests()) out.push_back(r.target.path);
        return out;
    }

    test::TempDir dir_;
    test::TestServer server_;
    std::filesystem::path binary_;
    int runs_ = 0;
};

TEST_F(StartupEndToEndTest, TheServersFirstPageIsShown) {
    server_.writePage("index.zqml", page("first", "forward(/shown.zqml)"));
    server_.writePage("shown.zqml", page("second"));
    configure(server_, "sys-connecttype = net\n");
    RunResult r = run();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    // Only a page made current runs its load action.
    ASSERT_TRUE(server_.waitForRequests(2, 5000)) << r.err;
    EXPECT_EQ(paths(server_), (std::vector<std::string>{"/index.zqml", "/shown.zqml"}));
    EXPECT_EQ(server_.requests()[0].transport, testserver::Transport::Framed);
}

TEST_F(StartupEndToEndTest, WithTheServerDownTheLocalIndexIsShown) {
    test::TestServer down;
    ASSERT_TRUE(down.setRefusing(true));
    // The local page reports itself to the running server; after the
    // gateway pass failed the direct pass left the session framed.
    writeResource("probe.zqml", page("local", "forward(" + server_.urlFor("/local.zqml") + ")"));
    configure(down, "sys-connecttype = wap\nsys-index = file://probe.zqml\n");
    RunResult r = run();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(server_.waitForRequests(1, 5000)) << r.err;
    EXPECT_EQ(paths(server_), (std::vector<std::string>{"/local.zqml"}));
}

TEST_F(StartupEndToEndTest, AServerPageThatDoesNotBuildGivesTheLocalIndex) {
    server_.writePage("index.zqml", "this is not a page");
    writeResource("probe.zqml", page("local", "forward(/local.zqml)"));
    configure(server_, "sys-connecttype = net\nsys-index = file://probe.zqml\n");
    RunResult r = run();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(server_.waitForRequests(2, 5000)) << r.err;
    // One answer ends the host loop: no second pass through the gateway.
    EXPECT_EQ(paths(server_), (std::vector<std::string>{"/index.zqml", "/local.zqml"}));
}

// A first page that sends on to another left the local index under it,
// where "back" showed it.
TEST_F(StartupEndToEndTest, AFirstPageThatSendsOnOpensNoLocalIndex) {
    server_.writePage("index.zqml", "<zqml><redirectfile url=\"/target.zqml\"/><body/></zqml>");
    server_.writePage("target.zqml", page("target"));
    writeResource("probe.zqml", page("local", "forward(/local.zqml)"));
    configure(server_, "sys-connecttype = net\nsys-index = file://probe.zqml\n");
    RunResult r = run({"--keys", keys("idle 20000\nkey soft2\nidle 10000\n")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(server_.waitForRequests(2, 5000)) << r.err;
    EXPECT_EQ(paths(server_), (std::vector<std::string>{"/index.zqml", "/target.zqml"}));
}

TEST_F(StartupEndToEndTest, HostsAreTriedInOrderThroughTheGatewayThenDirect) {
    // The gateway never answers; the direct ports refuse. Each host names
    // itself by its HTTP port, which only the gateway's request shows.
    server_.setFault(testserver::Fault::Missing);
    std::ofstream(resources() / "ZQConfig.ini")
        << "[info-system]\nsys-cm-iplist = 127.0.0.1:1001:1:a:,127.0.0.1:1002:1:b:,"
           "127.0.0.1:1003:1:c:\nsys-curhost = 127.0.0.1:1002:1:b:\nsys-connecttype = wap\n"
           "cli-wap-gateway = 127.0.0.1\ncli-wap-port = "
        << server_.gatewayPort() << "\nsys-initpath = /index.zqml\ncli-timeout = 1\n";
    RunResult r = run();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> hosts;
    for (const testserver::ReceivedRequest& request : server_.requests()) {
        EXPECT_EQ(request.transport, testserver::Transport::Gateway);
        hosts.push_back(request.url.substr(0, request.url.find('/', 7)));
    }
    // The saved host first, then the rest of its list.
    EXPECT_EQ(hosts, (std::vector<std::string>{"http://127.0.0.1:1002", "http://127.0.0.1:1001",
                                               "http://127.0.0.1:1003"}));
}

// The dialler's boxes come while start-up works: the end of the replay
// answers them and start-up still reaches the local page.
TEST_F(StartupEndToEndTest, AFailedDialStillOpensTheLocalIndex) {
    std::ofstream(device() / "device.ini") << "data-connection = down\nfail-dial = true\n";
    writeResource("probe.zqml", page("local", "forward(sms://10086#probe)"));
    configure(server_, "sys-index = file://probe.zqml\n");
    RunResult r = run();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("网络拨号失败"), std::string::npos) << r.err;
    EXPECT_TRUE(server_.requests().empty());
    const std::optional<std::string> outbox = readFile(device() / "sms-outbox.txt");
    ASSERT_TRUE(outbox) << r.err;
    EXPECT_NE(outbox->find("probe"), std::string::npos);
}

TEST_F(StartupEndToEndTest, WithoutAnyPageTheProgramSaysSoAndFails) {
    ASSERT_TRUE(server_.setRefusing(true));
    configure(server_, "sys-index = file://missing.zqml\n");
    expectSaidThenEnded(run(), nullptr);
}

// Regression: an index page too large to read ended the program as if no
// server had answered; then it left the finished splash with no page and no
// soft keys. An index page that did not parse was said to be a failed
// connection. Each is said, then the client ends as without any page.
TEST_F(StartupEndToEndTest, AnIndexPageThatCannotBeShownIsSaidSoThenTheClientEnds) {
    ASSERT_TRUE(server_.setRefusing(true));
    writeResource("big.zqml", page(std::string(MarkupPage::kMaxPageFileBytes, 'x')));
    writeResource("bad.zqml", "<zqml><body><text>x</body>");
    const struct {
        const char* index;
        const char16_t* said;
    } cases[] = {{"big.zqml", MarkupPage::kPageTooLargeText},
                 {"bad.zqml", PageLoader::kParseErrorText},
                 {"none.zqml", PageLoader::kMissingFileText}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        configure(server_, std::string("sys-index = file://") + c.index + "\n");
        expectSaidThenEnded(run(), c.said);
    }
}

// A local index page that sent on to a page which never came left the
// finished splash with no page: the chain is followed to its page, or the
// client ends as without any page.
TEST_F(StartupEndToEndTest, AnIndexPageThatSendsOnEndsOnAPageOrEndsTheClient) {
    test::TestServer down;
    ASSERT_TRUE(down.setRefusing(true));
    const std::string hop = "<zqml><redirectfile url=\"";
    writeResource("to_missing.zqml", hop + "gone.zqml\"/><body/></zqml>");
    writeResource("to_down.zqml", hop + down.urlFor("/x.zqml") + "\"/><body/></zqml>");
    writeResource("to_loop.zqml", hop + "to_loop.zqml\"/><body/></zqml>");
    writeResource("to_bad.zqml", hop + "bad.zqml\"/><body/></zqml>");
    writeResource("bad.zqml", "<zqml><body><text>x</body>");
    const struct {
        const char* index;
        const char16_t* said;
    } failing[] = {{"to_missing.zqml", PageLoader::kMissingFileText},
                   {"to_down.zqml", nullptr},
                   {"to_loop.zqml", PageLoader::kTooManyRedirectsText},
                   {"to_bad.zqml", PageLoader::kParseErrorText}};
    for (const auto& c : failing) {
        SCOPED_TRACE(c.index);
        configure(down, std::string("sys-connecttype = wap\nsys-index = file://") + c.index + "\n");
        expectSaidThenEnded(run(), c.said);
    }

    // Through a second local page to a server page, which is shown: its
    // load action reaches the server. The direct pass was the last, so the
    // session goes direct.
    server_.writePage("target.zqml", page("target", "forward(/shown.zqml)"));
    server_.writePage("shown.zqml", page("shown"));
    writeResource("to_local.zqml", hop + "to_server.zqml\"/><body/></zqml>");
    writeResource("to_server.zqml", hop + server_.urlFor("/target.zqml") + "\"/><body/></zqml>");
    configure(down, "sys-connecttype = wap\nsys-index = file://to_local.zqml\n");
    RunResult r = run();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(server_.waitForRequests(2, 5000)) << r.err;
    EXPECT_EQ(paths(server_), (std::vector<std::string>{"/target.zqml", "/shown.zqml"}));
}

// The same for a server's first page that sends on to a local page: one
// not there is said, and the local index comes instead of the splash.
TEST_F(StartupEndToEndTest, AFirstPageSendingOnToAMissingFileGivesTheLocalIndex) {
    server_.writePage("index.zqml", "<zqml><redirectfile url=\"file://gone.zqml\"/><body/></zqml>");
    writeResource("probe.zqml", page("local", "forward(/local.zqml)"));
    configure(server_, "sys-connecttype = net\nsys-index = file://probe.zqml\n");
    RunResult r = run();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find(CString(PageLoader::kMissingFileText).toUtf8()), std::string::npos)
        << r.err;
    ASSERT_TRUE(server_.waitForRequests(2, 5000)) << r.err;
    EXPECT_EQ(paths(server_), (std::vector<std::string>{"/index.zqml", "/local.zqml"}));
}

TEST_F(StartupEndToEndTest, HostsetShowOpensTheSelectionPageWhichConnects) {
    server_.writePage("index.zqml", page("first"));
    configure(server_, "sys-hostset-show = TRUE\n");
    RunResult idle = run();
    EXPECT_EQ(idle.exitCode, 0) << idle.err;
    EXPECT_TRUE(server_.requests().empty()) << "no connect run before the page asks";

    // The selection page's button runs "connect".
    // The page must be shown before the keys arrive, also on a loaded machine.
    RunResult connected = run({"--keys", keys("idle 20000\nkey down\nkey fire\n")});
    EXPECT_EQ(connected.exitCode, 0) << connected.err;
    ASSERT_TRUE(server_.waitForRequests(1, 5000)) << connected.err;
    EXPECT_EQ(paths(server_), (std::vector<std::string>{"/index.zqml"}));
}

TEST_F(StartupEndToEndTest, SettingsWrittenAtExitAreReadAtTheNextStart) {
    server_.writePage("index.zqml", page(std::string(2000, 'x')));
    configure(server_, "sys-connecttype = net\n");
    // The request names the received total; the exit command writes it.
    std::ofstream(resources() / "ZQConfig.ini", std::ios::app)
        << "sys-initpath = /index.zqml#system.sys-recvcounth\n";
    RunResult first = run({"--keys", keys("key soft2\nanswer yes\n")});
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_NE(first.err.find("确认退出"), std::string::npos) << first.err;
    RunResult second = run();
    EXPECT_EQ(second.exitCode, 0) << second.err;
    const std::vector<testserver::ReceivedRequest> requests = server_.requests();
    ASSERT_EQ(requests.size(), 2u);
    auto received = [](const std::string& url) {
        const size_t at = url.find("sys-recvcounth=");
        return at == std::string::npos ? -1.0 : std::strtod(url.c_str() + at + 15, nullptr);
    };
    EXPECT_EQ(received(requests[0].url), 0.0) << requests[0].url;
    EXPECT_GT(received(requests[1].url), 1.0) << requests[1].url;  // the 2000-byte page
}

// "sys-longuage" was never read, so a Big5 handset's command documents kept
// characters that Big5 lacks.
TEST_F(StartupEndToEndTest, ABig5HandsetReadsCommandDocumentsInBig5) {
    server_.writePage("index.zqml",
                      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><zqml><body><text>x</text>"
                      "<scommand path=\"/menu.xml\"/></body></zqml>");
    server_.writePage("menu.xml",
                      "<zq><command><ci cp=\"Go\" a=\"forward(/go.zqml?w=这)\"/>"
                      "</command></zq>");
    server_.writePage("go.zqml", page("gone"));
    configure(server_, "sys-connecttype = net\nsys-longuage = Big5\n");
    RunResult r = run({"--keys", keys("idle 20000\nkey soft1\nkey soft1\nidle 10000\n")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(server_.waitForRequests(3, 5000)) << r.err;
    const testserver::ReceivedRequest go = server_.requests()[2];
    ASSERT_EQ(go.target.path, "/go.zqml") << go.url;
    EXPECT_TRUE(go.url.find("w=%3F") != std::string::npos ||
                go.url.find("w=?") != std::string::npos)
        << go.url;
}

TEST_F(StartupEndToEndTest, OneClientPerDeviceFolder) {
    server_.writePage("index.zqml", page("first"));
    configure(server_, "");
    // The first holds the folder from its start on: once its first screen
    // is saved it surely does, and it keeps it for five more seconds.
    const std::filesystem::path shown = dir_.path() / "first.png";
    const Child first = spawn({"--keys", keys("screenshot " + shown.string() + "\nwait 5000\n")});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!std::filesystem::exists(shown) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(std::filesystem::exists(shown));
    RunResult second = run();
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_NE(second.err.find("another zqclient"), std::string::npos) << second.err;
    EXPECT_EQ(std::count(second.err.begin(), second.err.end(), '\n'), 1);
    EXPECT_EQ(wait(first).exitCode, 0);
}

}  // namespace
}  // namespace zq
