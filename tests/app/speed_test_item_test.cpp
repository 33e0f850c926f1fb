// The speed-test page and the speed-test screen against the test server:
// a run over one answering host and one closed port, "setip" refused
// during a test, the default host stored as the chosen row's own host,
// and the screen returning to the page under it.
#include "app/speed_test_item.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/page_controller.h"
#include "items/button_item.h"
#include "items/item_makers.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/ui_executor.h"
#include "tests/support/test_env.h"
#include "tests/support/test_font.h"
#include "tests/support/test_server.h"
#include "ui/client_context.h"
#include "ui/display.h"
#include "ui/event.h"
#include "ui/font_cache.h"
#include "ui/screen.h"

namespace zq {
namespace {

class SpeedTestItemTest : public ::testing::Test {
protected:
    ClientContext context_;
    SpeedTestItemTest() {
        installItemMakers(context_);
        releaseSharedFonts();
        Screen::initMetrics({240, 320});
        context_.setDisplayArea(Rect::fromSize(0, 0, 240, 320));
        clearMessageBoxLog();
        display_ = std::make_unique<Display>(Size{240, 320});
        server_.writePage("kolm_k1/CheckNetServlet", "ok");
        writeFileAtomic(scratch_.path() / "a.zqml", "<zqml><body><text>a</text></body></zqml>");
        controller_ =
            std::make_unique<PageController>(ControllerFolders{scratch_.path(), scratch_.path()});
        auto session = controller_->requests().makeSession();
        session->setConnectionType(1);
        session->setReplyWaitMs(1500);
        controller_->setSession(std::move(session));
        answering_ = "127.0.0.1:80:" + std::to_string(server_.framedPort()) + ":a:x";
        closed_ = "127.0.0.1:80:" + std::to_string(closedPort()) + ":b:x";
    }
    ~SpeedTestItemTest() override {
        controller_.reset();
        display_.reset();
        executor_.runPending();
        releaseSharedFonts();
    }
    static uint16_t closedPort() {
        test::TestServer server;
        const uint16_t port = server.framedPort();
        server.stop();
        return port;
    }
    // Both hosts in the first carrier's list, `saved` chosen first.
    void loadHosts(const std::string& saved) {
        controller_->hostSet().load(CString::fromUtf8(saved),
                                    CString::fromUtf8(answering_ + "," + closed_), CString(),
                                    CString());
    }
    void setSetting(const char* key, const std::string& value) {
        SettingsStore::putEntry(controller_->settings().live(), CString(key),
                                CString::fromUtf8(value), u"info-system");
    }
    bool pumpUntil(const std::function<bool()>& done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < end) {
            executor_.runPending();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }
    static void press(SpeedTestItem& item, const char* action) {
        item.onEvent(
            std::make_unique<ButtonEvent>(CString(), CString(), CString(action), CString()));
    }
    bool boxShown(const char* text) const {
        for (const MessageBoxRecord& box : messageBoxLog()) {
            if (box.text.toUtf8() == text) return true;
        }
        return false;
    }
    SpeedTestItem* shownItem() const {
        Screen* screen = controller_->currentScreen();
        if (!screen || screen->getContent()->size() == 0) return nullptr;
        return dynamic_cast<SpeedTestItem*>(screen->getContent()->getItem(0));
    }

    UiExecutor executor_;
    test::ScopedFixedFont font_;
    test::TempDir scratch_;
    test::TestServer server_;
    std::unique_ptr<Display> display_;
    std::unique_ptr<PageController> controller_;
    std::string answering_;
    std::string closed_;
};

TEST_F(SpeedTestItemTest, ThePageTimesEachHostAndMakesTheChosenOneDefault) {
    loadHosts(answering_);
    controller_->onAction(u"spt(new)");
    SpeedTestItem* item = shownItem();
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(controller_->history().count(), 1);
    ASSERT_EQ(item->rowCount(), 2);
    EXPECT_EQ(item->rowText(0).toUtf8(), "主站( a )：等待测速");

    press(*item, "test()");
    EXPECT_TRUE(item->testing());
    EXPECT_EQ(item->testButtonCaption().toUtf8(), "取消");
    item->selectRow(1);
    press(*item, "setip()");
    EXPECT_TRUE(boxShown("测速过程中，不能设置站点，请稍后！"));
    EXPECT_TRUE(controller_->getSystemValue(u"sys-last-choice").isEmpty());

    ASSERT_TRUE(pumpUntil([&] { return !item->testing(); }));
    EXPECT_TRUE(boxShown("测速完成"));
    EXPECT_EQ(item->testButtonCaption().toUtf8(), "测速");
    const std::string first = item->rowText(0).toUtf8();
    EXPECT_NE(first.find("主站( a )："), std::string::npos);
    EXPECT_EQ(first.find("超时"), std::string::npos);
    EXPECT_EQ(item->rowText(1).toUtf8(), "主站( b )：超时");

    // The box's default answer is Yes: the row's own host is stored.
    press(*item, "setip()");
    EXPECT_EQ(controller_->getSystemValue(u"sys-last-choice").toUtf8(), closed_);
    EXPECT_EQ(item->defaultHostName().toUtf8(), "b");
}

TEST_F(SpeedTestItemTest, ANewTestAfterACancelDropsTheOldResults) {
    server_.setLateDelayMs(10000);
    server_.setFault(testserver::Fault::Late);
    loadHosts(answering_);
    controller_->onAction(u"spt(new)");
    SpeedTestItem* item = shownItem();
    ASSERT_NE(item, nullptr);
    press(*item, "test()");
    ASSERT_TRUE(server_.waitForRequests(1, 5000));
    const auto begin = std::chrono::steady_clock::now();
    press(*item, "cancle()");
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(3500));
    EXPECT_FALSE(item->testing());
    executor_.runPending();
    EXPECT_EQ(item->rowText(0).toUtf8(), "主站( a )：等待测速");
    EXPECT_FALSE(boxShown("测速完成"));
    server_.setFault(testserver::Fault::None);

    // Leaving the page cancels a running test too.
    press(*item, "test()");
    EXPECT_TRUE(item->testing());
    controller_->onAction(u"fw(file://a.zqml)");
    EXPECT_FALSE(item->testing());
}

TEST_F(SpeedTestItemTest, TheScreenStoresTheRowsOwnHostIndexAndReturnsToThePage) {
    // The set lists a first; the host in use is b, which the screen lists
    // first: row 0 is host 1 of the set.
    loadHosts(answering_);
    setSetting("sys-last-choice", closed_);
    controller_->openUrl({.url = u"file://a.zqml", .showLoading = false, .blockInput = false});
    Screen* page = controller_->currentScreen();
    ASSERT_NE(page, nullptr);

    controller_->onAction(u"spt()");
    SpeedTestScreen* screen = controller_->speedTest().speedTestScreen();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(display_->getCurrent(), screen);
    EXPECT_EQ(controller_->history().count(), 1);
    SpeedTestItem& item = screen->item();
    EXPECT_EQ(item.rowText(0).toUtf8(), "当前站点( b )：等待测速");
    EXPECT_EQ(item.selectedRow(), 0);
    press(item, "setip()");
    EXPECT_EQ(controller_->getSystemValue(u"sys-last-choice").toUtf8(), closed_);

    display_->keyDown(113, 0);  // the right soft key: "返"
    display_->keyUp(113);
    executor_.runPending();
    EXPECT_EQ(controller_->speedTest().speedTestScreen(), nullptr);
    EXPECT_EQ(display_->getCurrent(), page);
}

// Through a gateway the test went to a built-in address, so every host
// timed out; and the screen showed the page item's texts, not the dialog's.
TEST_F(SpeedTestItemTest, TheScreenTestsThroughTheConfiguredGatewayInTheDialogsWords) {
    auto session = controller_->requests().makeSession();
    session->setConnectionType(2);
    session->setReplyWaitMs(1500);
    HttpGatewayConfig gateway;
    gateway.mobileAddress = test::TestServer::gatewayAddress();
    gateway.port = server_.gatewayPort();
    session->setGateway(gateway, CString(u"中国移动(CM)"));
    controller_->setSession(std::move(session));
    loadHosts(answering_);
    controller_->openUrl({.url = u"file://a.zqml", .showLoading = false, .blockInput = false});
    controller_->onAction(u"spt()");
    ASSERT_NE(controller_->speedTest().speedTestScreen(), nullptr);
    SpeedTestItem& item = controller_->speedTest().speedTestScreen()->item();
    std::vector<std::string> captions;
    for (int i = 0; i < item.size(); ++i) {
        if (auto* button = dynamic_cast<ButtonItem*>(item.getItem(i))) {
            captions.push_back(button->getCaption().toUtf8());
        }
    }
    EXPECT_EQ(captions, (std::vector<std::string>{"测速", "设为默认"}));

    press(item, "test()");
    ASSERT_TRUE(pumpUntil([&] { return !item.testing(); }));
    EXPECT_EQ(item.rowText(0).find(u"超时"), -1) << item.rowText(0).toUtf8();
    ASSERT_GE(server_.requests().size(), 1u);
    EXPECT_EQ(server_.requests()[0].transport, testserver::Transport::Gateway);
    EXPECT_EQ(server_.requests()[0].target.path, "/kolm_k1/CheckNetServlet");

    // A host that does not answer reads as the dialog says it.
    server_.stop();
    press(item, "test()");
    ASSERT_TRUE(pumpUntil([&] { return !item.testing(); }));
    EXPECT_EQ(item.rowText(0).toUtf8(), "主站( a )：连接超时");
}

TEST_F(SpeedTestItemTest, WithoutHostsNothingCanBeChosen) {
    controller_->onAction(u"speedtest(NEW)");
    SpeedTestItem* item = shownItem();
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->rowCount(), 0);
    press(*item, "setip()");
    EXPECT_TRUE(boxShown("请先选择一个站点"));
}

// The screen's and the page's styles stayed in the registry until exit:
// every opening left more behind.
TEST_F(SpeedTestItemTest, OpeningTheTestAgainLeavesNoStylesBehind) {
    loadHosts(answering_);
    controller_->openUrl({.url = u"file://a.zqml", .showLoading = false, .blockInput = false});
    const auto openAndClose = [&] {
        controller_->onAction(u"spt()");
        ASSERT_NE(controller_->speedTest().speedTestScreen(), nullptr);
        controller_->speedTest().closeSpeedTestScreen();
        executor_.runPending();
    };
    openAndClose();
    const size_t settled = trackedStyleCount();
    openAndClose();
    openAndClose();
    EXPECT_EQ(trackedStyleCount(), settled);
}

}  // namespace
}  // namespace zq
