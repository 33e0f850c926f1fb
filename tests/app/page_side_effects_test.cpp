// Side-effect elements through the real controller: settings, downloads,
// users' watch-lists, remembered values, marquee texts and follow-up links.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/page_controller.h"
#include "charts/chart.h"
#include "core/zq_exception.h"
#include "items/grid_menu_item.h"
#include "items/marquee_item.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/ui_executor.h"
#include "tests/app/controller_fixture.h"
#include "tests/support/test_env.h"
#include "tests/support/test_font.h"
#include "ui/page_services.h"

namespace zq {
namespace {

class PageSideEffectsTest : public ::testing::Test {
protected:
    PageSideEffectsTest() {
        controller_ =
            std::make_unique<PageController>(ControllerFolders{scratch_.path(), scratch_.path()});
    }
    void write(const std::string& name, const std::string& text) {
        ASSERT_TRUE(writeFileAtomic(scratch_.path() / name, text));
    }
    void open(const std::string& link) {
        controller_->openUrl(
            {.url = CString::fromUtf8(link), .showLoading = false, .blockInput = false});
    }
    std::string shownUrl() const {
        return controller_->currentEntry() ? controller_->currentEntry()->url.toUtf8() : "";
    }

    UiExecutor executor_;
    test::ScopedFixedFont font_;
    test::TempDir scratch_;
    std::unique_ptr<PageController> controller_;
};

TEST_F(PageSideEffectsTest, APageConfiguresTheClientAsItIsShown) {
    write("src.bin", "payload");
    write("a.zqml",
          "<zqml><down href=\"file://src.bin\" filename=\"dl/copy.bin\"/>"
          "<save name=\"sys_refreshtype\" value=\"1\"/><mqd id=\"m1\" str=\"hello\"/>"
          "<saveuser name=\"li\"/><add stock=\"600000\"/><body/></zqml>");
    open("file://a.zqml");
    EXPECT_EQ(readFile(scratch_.path() / "dl" / "copy.bin").value_or(""), "payload");
    EXPECT_EQ(controller_->getSystemValue(u"sys-refreshtype").toUtf8(), "1");
    EXPECT_EQ(lookupMarqueeText(u"m1").toUtf8(), "hello");
    EXPECT_EQ(lookupMarqueeText(u"sys-refreshtype").toUtf8(), "1");  // else the setting
    EXPECT_EQ(controller_->currentUser().toUtf8(), "li");
    EXPECT_EQ(controller_->getRefreshMode(), 2);

    // Another user starts empty; coming back finds the first user's list.
    write("b.zqml",
          "<zqml><saveuser name=\"wang\"/><memsave name=\"sys-refreshmode\" "
          "value=\"2\"/><body/></zqml>");
    open("file://b.zqml");
    EXPECT_TRUE(controller_->watchList()->codes(kWatchStock).empty());
    EXPECT_EQ(controller_->getRefreshMode(), 0);
    // Market widgets ask through the navigator the controller installs.
    ASSERT_NE(pageNavigator(), nullptr);
    EXPECT_EQ(pageNavigator()->getRefreshMode(), 0);
    write("c.zqml", "<zqml><su name=\"li\"/><body/></zqml>");
    open("file://c.zqml");
    EXPECT_EQ(controller_->watchList()->joinCodes(kWatchStock).toUtf8(), "600000");
}

TEST_F(PageSideEffectsTest, AFollowUpLinkOpensInsteadOfThePageOnALaterRound) {
    write("d.zqml", "<zqml><body><text>d</text></body></zqml>");
    write("r.zqml",
          "<zqml><rf url=\"file://d.zqml\"/><rf url=\"file://x.zqml\"/>"
          "<body><text>r</text></body></zqml>");
    // A page that names itself loops by rounds, never by recursion.
    write("self.zqml", "<zqml><redirectfile url=\"file://self.zqml\"/><body/></zqml>");
    open("file://r.zqml");
    EXPECT_EQ(shownUrl(), "");
    executor_.runPending();
    EXPECT_EQ(shownUrl(), "file://d.zqml");
    // An error kept from before is not this page's to show.
    latchError(true, false, 0, CString());
    latchError(false, false, 7, CString(u"earlier"));
    clearMessageBoxLog();
    open("file://self.zqml");
    for (int i = 0; i < 5; ++i) executor_.runPending();
    EXPECT_EQ(shownUrl(), "file://d.zqml");
    // It stops after as many rounds as browsers follow, and says so once.
    for (int i = 0; i < 30; ++i) executor_.runPending();
    ASSERT_EQ(messageBoxLog().size(), 1u);
    EXPECT_EQ(messageBoxLog()[0].text, CString(PageLoader::kTooManyRedirectsText));
    EXPECT_EQ(shownUrl(), "file://d.zqml");
}

TEST_F(PageSideEffectsTest, LoginStatusReachesItsGridMenuAndCtrlRefreshAChartsLink) {
    std::filesystem::create_directories(scratch_.path() / "images");
    std::filesystem::copy_file(test::sourceDir() / "resources" / "images" / "back.png",
                               scratch_.path() / "images" / "on.png");
    GridMenuItem grid({nullptr, nullptr}, {nullptr, nullptr}, u"g1", nullptr);
    write("l.zqml",
          "<zqml><loginstatus gid=\"g1\" id=\"2\" path=\"file://images/on.png\"/>"
          "<ls gid=\"nope\" id=\"1\" path=\"file://images/on.png\"/>"
          "<body><kline id=\"k1\"/></body></zqml>");
    open("file://l.zqml");
    EXPECT_FALSE(grid.imageAt(0));
    EXPECT_TRUE(grid.imageAt(1));

    write("d.zqml", "<zqml><body><text>d</text></body></zqml>");
    auto* chart = dynamic_cast<Chart*>(controller_->getItemByName(u"k1"));
    ASSERT_NE(chart, nullptr);
    controller_->onAction(u"crf(nothing)|crf(k1)");
    EXPECT_EQ(shownUrl(), "file://l.zqml");  // no link yet: nothing opens
    chart->setDataLink(u"file://d.zqml");
    controller_->onAction(u"ctrlrefresh( k1 )");
    EXPECT_EQ(shownUrl(), "file://d.zqml");
}

// A relative "down" link was dropped without a word: it never reached the
// server.
class ServerSideEffectsTest : public test::ControllerFixture<> {};

TEST_F(ServerSideEffectsTest, ARelativeDownloadComesFromItsPagesFolder) {
    server_.writePage("p/a.zqml", "<zqml><body><text>a</text></body></zqml>");
    server_.writePage("p/data.bin", "payload");
    server_.writePage("p/b.zqml",
                      "<zqml><down href=\"data.bin\" filename=\"dl/x.bin\"/>"
                      "<body><text>b</text></body></zqml>");
    useServer(false);
    controller_->session()->setReplyWaitMs(3000);
    auto open = [&](const std::string& path) {
        controller_->openUrl({.url = CString::fromUtf8(server_.urlFor(path)),
                              .showLoading = false,
                              .blockInput = false});
    };
    open("/p/a.zqml");
    ASSERT_TRUE(pumpUntil([&] { return shows("/p/a.zqml"); }));
    open("/p/b.zqml");
    ASSERT_TRUE(pumpUntil([&] { return shows("/p/b.zqml"); }));
    EXPECT_EQ(readFile(scratch_.path() / "dl" / "x.bin").value_or(""), "payload");
    const std::vector<testserver::ReceivedRequest> requests = server_.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[2].target.path, "/p/data.bin");
}

}  // namespace
}  // namespace zq
