// A page controller on a 240x320 display with the fixed test font, an
// in-process test server and a scratch folder; the test pumps the UI loop.
// A template over the gtest base so that parameterised tests can use it too.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/page_controller.h"
#include "items/item_makers.h"
#include "markup/style_sheet.h"
#include "net/request_session.h"
#include "platform/message_box.h"
#include "platform/ui_executor.h"
#include "tests/support/test_env.h"
#include "tests/support/test_font.h"
#include "tests/support/test_server.h"
#include "ui/client_context.h"
#include "ui/display.h"
#include "ui/font_cache.h"
#include "ui/screen.h"

namespace zq::test {

template <class Base = ::testing::Test>
class ControllerFixture : public Base {
protected:
    ClientContext context_;
    // The controller's folders are the scratch folder, or `subfolder` inside
    // it (so that a page can try to climb out of it).
    explicit ControllerFixture(const char* subfolder = nullptr) {
        installItemMakers(context_);
        releaseSharedFonts();
        Screen::initMetrics({240, 320});
        context_.setDisplayArea(Rect::fromSize(0, 0, 240, 320));
        externalStyleSheetCache() = ExternalStyleSheetCache();
        clearMessageBoxLog();
        display_ = std::make_unique<Display>(Size{240, 320});
        const std::filesystem::path folder =
            subfolder ? scratch_.path() / subfolder : scratch_.path();
        std::filesystem::create_directories(folder);
        controller_ = std::make_unique<PageController>(ControllerFolders{folder, folder});
    }
    ~ControllerFixture() override {
        controller_.reset();
        display_.reset();
        executor_.runPending();
        releaseSharedFonts();
    }

    // A session to the test server: straight (type 1) or through its
    // gateway port as a carrier's WAP gateway (type 2).
    void useServer(bool gateway) {
        auto session = controller_->requests().makeSession();
        session->setConnectionType(gateway ? 2 : 1);
        HttpGatewayConfig config;
        config.mobileAddress = TestServer::gatewayAddress();
        config.port = server_.gatewayPort();
        session->setGateway(config, CString(u"中国移动(CM)"));
        controller_->setSession(std::move(session));
    }
    // Runs posted work until `done` holds; false after `limitMs`.
    bool pumpUntil(const std::function<bool()>& done, int limitMs = 10000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        while (std::chrono::steady_clock::now() < end) {
            executor_.runPending();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }
    std::string shownUrl() const {
        PageEntry* entry = controller_->currentEntry();
        return entry ? entry->url.toUtf8() : std::string();
    }
    bool shows(const std::string& part) const { return shownUrl().find(part) != std::string::npos; }
    void pressKey(int code) {
        display_->keyDown(code, 0);
        display_->keyUp(code);
    }

    UiExecutor executor_;
    ScopedFixedFont font_;
    TempDir scratch_;
    TestServer server_;
    std::unique_ptr<Display> display_;
    std::unique_ptr<PageController> controller_;
};

}  // namespace zq::test
