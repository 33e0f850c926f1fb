// Cancelling a load over the HTTP gateway, end to end: the cancel key
// closes the exchange's connection at once instead of holding it (and a
// request thread) for the whole reply wait.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/page_controller.h"
#include "items/item_makers.h"
#include "platform/message_box.h"
#include "platform/ui_executor.h"
#include "tests/support/test_env.h"
#include "tests/support/test_font.h"
#include "tests/support/test_server.h"
#include "ui/client_context.h"
#include "ui/display.h"
#include "ui/font_cache.h"
#include "ui/screen.h"

namespace zq {
namespace {

bool pumpUntil(UiExecutor& executor, const std::function<bool()>& done, int limitMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (std::chrono::steady_clock::now() < end) {
        executor.runPending();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// Pins: the cancel key dropped the request but left its HTTP exchange
// waiting on a silent gateway until the reply wait was over.
TEST(HttpCancelEndToEnd, CancelKeyClosesTheGatewayConnectionAtOnce) {
    ClientContext context;
    UiExecutor executor;
    test::ScopedFixedFont font;
    test::TempDir scratch;
    test::TestServer server;
    installItemMakers(context);
    releaseSharedFonts();
    Screen::initMetrics({240, 320});
    context.setDisplayArea(Rect::fromSize(0, 0, 240, 320));
    clearMessageBoxLog();
    auto display = std::make_unique<Display>(Size{240, 320});
    auto controller =
        std::make_unique<PageController>(ControllerFolders{scratch.path(), scratch.path()});
    auto session = controller->requests().makeSession();
    session->setConnectionType(2);
    HttpGatewayConfig config;
    config.mobileAddress = test::TestServer::gatewayAddress();
    config.port = server.gatewayPort();
    session->setGateway(config, CString(u"中国移动(CM)"));
    controller->setSession(std::move(session));
    controller->session()->setReplyWaitMs(8000);

    server.writePage("a.zqml", "<zqml><body><text>a</text></body></zqml>");
    server.writePage("slow.zqml", "<zqml><body><text>slow</text></body></zqml>");
    const auto open = [&](const std::string& path) {
        controller->openUrl({.url = CString::fromUtf8(server.urlFor(path)),
                             .screenId = controller->currentScreenId()});
    };
    open("/a.zqml");
    ASSERT_TRUE(pumpUntil(
        executor, [&] { return controller->currentEntry() != nullptr; }, 5000));

    server.setFault(testserver::Fault::Missing);
    open("/slow.zqml");
    ASSERT_TRUE(server.waitForRequests(2, 5000));
    ASSERT_EQ(server.openConnections(), 1u);
    // The server sees the connection closed well before the reply wait
    // would have closed it.
    display->keyDown(113, 0);
    display->keyUp(113);
    EXPECT_TRUE(pumpUntil(
        executor, [&] { return server.openConnections() == 0; }, 6000));

    controller.reset();
    display.reset();
    executor.runPending();
    releaseSharedFonts();
}

}  // namespace
}  // namespace zq
