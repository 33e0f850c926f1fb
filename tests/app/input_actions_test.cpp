// The text-input actions and text-field events against the real controller
// over local pages.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/page_controller.h"
#include "items/text_field.h"
#include "platform/device_services.h"
#include "tests/support/test_env.h"
#include "ui/code_input_pad.h"
#include "ui/screen.h"

namespace zq {
namespace {

class SmsDevice : public DeviceServices {
public:
    bool dataConnectionUp() override { return true; }
    bool dialDataConnection() override { return true; }
    std::optional<DeviceIdentity> identity() override { return std::nullopt; }
    bool sendSms(const CString& number, const CString& text) override {
        std::lock_guard<std::mutex> lock(mutex);
        sent.push_back(number.toUtf8() + ":" + text.toUtf8());
        return true;
    }
    bool dialVoiceCall(const CString&) override { return false; }
    std::optional<std::vector<CString>> pickContacts(int) override { return std::nullopt; }
    bool openBrowser(const CString&) override { return false; }

    std::vector<std::string> waitForSent(size_t count) {
        for (int i = 0; i < 200; ++i) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (sent.size() >= count) return sent;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::lock_guard<std::mutex> lock(mutex);
        return sent;
    }

    std::mutex mutex;
    std::vector<std::string> sent;
};

class InputActions : public ::testing::Test {
protected:
    InputActions() {
        // Local links keep their query in the file name.
        for (const char* name : {"next.zqml?qty=12", "next.zqml?code=600000"})
            std::ofstream(dir_.path() / name) << "<zqml><body/></zqml>";
        std::ofstream(dir_.path() / "form.zqml")
            << "<zqml><body><edit id='to' value='13800138000'/><text id='plain'>x</text>"
               "<edit id='q' name='qty' ch='forward(file://next.zqml)'/></body></zqml>";
        controller_ = std::make_unique<PageController>(ControllerFolders{dir_.path(), {}});
        setDeviceServices(&device_);
        run("fw(file://form.zqml)");
    }
    ~InputActions() override { setDeviceServices(nullptr); }

    void run(const char* actions) { controller_->onAction(CString(actions)); }
    std::string shown() const {
        PageEntry* entry = controller_->currentEntry();
        return entry ? entry->url.toUtf8() : std::string();
    }

    test::TempDir dir_;
    SmsDevice device_;
    std::unique_ptr<PageController> controller_;
};

TEST_F(InputActions, GetValueToSmsSendsTheFieldsText) {
    run("gvts(hello,plain)|GetValueToSms(hi,missing)");
    run("GetValueToSms(hello,to)");
    EXPECT_EQ(device_.waitForSent(1), (std::vector<std::string>{"13800138000:hello"}));
    // A typed '#' neither cuts a number nor starts the message.
    auto* to = dynamic_cast<TextField*>(controller_->getItemByName(CString(u"to")));
    ASSERT_NE(to, nullptr);
    to->setString(CString(u"10086#1.13800138000"));
    run("gvts(hello,to)");
    EXPECT_EQ(device_.waitForSent(2),
              (std::vector<std::string>{"13800138000:hello", "13800138000:hello"}));
}

TEST_F(InputActions, TextFieldChangeOpensItsLinkWithNameAndValue) {
    auto* field = dynamic_cast<TextField*>(controller_->getItemByName(CString(u"q")));
    ASSERT_NE(field, nullptr);
    field->setString(CString(u"12"));
    EXPECT_EQ(shown(), "file://next.zqml?qty=12");
}

TEST_F(InputActions, KeyboardInputOpensTheCodePad) {
    run("kp(forward(file://next.zqml))");
    Screen* screen = controller_->currentScreen();
    ASSERT_NE(screen, nullptr);
    CodeInputPad* pad = screen->getCodeInputPad();
    ASSERT_NE(pad, nullptr);
    EXPECT_TRUE(pad->isVisible());
    pad->pressKey(CString(u"600"));
    pad->pressKey(CString(u"000"));
    EXPECT_FALSE(pad->isVisible());
    EXPECT_EQ(shown(), "file://next.zqml?code=600000");
}

}  // namespace
}  // namespace zq
