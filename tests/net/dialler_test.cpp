#include "net/dialler.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/support/test_env.h"

namespace zq {
namespace {

namespace fs = std::filesystem;

struct ShownBox {
    std::string caption;
    std::string text;
    MessageBoxType type;
};

struct DialerFixture : ::testing::Test {
    test::TempDir dir;
    std::vector<ShownBox> boxes;
    int answer = kIdYes;

    void config(const std::string& text) {
        ASSERT_TRUE(writeFileAtomic(dir.path() / "device.ini", text));
    }
    void model(const std::string& firstLine) {
        fs::path file = DeviceFiles(dir.path()).hostPath(kPhoneModelFile);
        ASSERT_TRUE(makeDirectories(file.parent_path()));
        ASSERT_TRUE(writeFileAtomic(file, firstLine + "\r\nsecond line\r\n"));
    }
    DialerOptions options() {
        DialerOptions o;
        o.deviceRoot = dir.path();
        o.prompt = [this](const CString& text, const CString& caption, MessageBoxType type) {
            boxes.push_back({caption.toUtf8(), text.toUtf8(), type});
            return answer;
        };
        o.pollInterval = std::chrono::milliseconds(0);
        return o;
    }
    std::vector<std::string> captions() const {
        std::vector<std::string> out;
        for (const ShownBox& box : boxes) out.push_back(box.caption);
        return out;
    }
};

TEST(PhoneModelText, TakesTheTextAfterTheLastDotUpToADash) {
    EXPECT_EQ(phoneModelText("V1.2.Z3H-20240101"), CString("Z3H"));
    EXPECT_EQ(phoneModelText("BUILD.abc"), CString("abc"));
    EXPECT_EQ(phoneModelText("A-B.C"), CString("C"));  // dashes before the dot do not count
    EXPECT_EQ(phoneModelText("X.-1"), CString(""));
    EXPECT_FALSE(phoneModelText("Z3H-20240101"));
    EXPECT_EQ(phoneModelText("." + std::string(300, 'm'))->length(), 128);
}

TEST_F(DialerFixture, ModelFileChoosesTheModeAndOnlyHiddenModeNeedsRasDialDmEx) {
    config("dial-missing-entry = RasDialDmEx\n");
    model("ROM.z3h-20240101");  // case does not matter
    {
        OsDialBinding hidden(options());
        EXPECT_TRUE(hidden.hiddenMode());
        EXPECT_FALSE(hidden.libraryLoaded());
        EXPECT_EQ(hidden.message().toUtf8(), "获取 RasDialDmEx 函数入口地址失败！");
    }
    model("ROM.Z3X-20240101");
    boxes.clear();
    OsDialBinding selection(options());
    EXPECT_FALSE(selection.hiddenMode());
    EXPECT_TRUE(selection.libraryLoaded());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(DialerFixture, MissingModelFileIsReportedAndDialsInSelectionMode) {
    OsDialBinding binding(options());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "获取手机型号");
    EXPECT_EQ(boxes[0].text, "打开手机型号文件失败！");
    EXPECT_FALSE(binding.hiddenMode());
    EXPECT_TRUE(binding.libraryLoaded());
}

TEST_F(DialerFixture, MissingLibraryIsReportedOnceThenEveryDialSaysNotInitialised) {
    model("R.Z3H-1");
    config("dial-library = missing\n");
    ConnectionDialer dialer(options());
    EXPECT_FALSE(dialer.connect());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "拨号初始化");
    EXPECT_EQ(boxes[0].text, "加载动态库 OSDial.dll 失败！");
    config("");  // the library stays unusable for the rest of the run
    EXPECT_FALSE(dialer.dial(kInternetNetworkId));
    EXPECT_FALSE(dialer.dial(kInternetNetworkId));
    EXPECT_EQ(captions(),
              (std::vector<std::string>{"拨号初始化", "隐藏式拨号提示", "隐藏式拨号提示"}));
    EXPECT_EQ(boxes[2].text, "拨号网络尚未初始化！\r\n拨号中止");
}

TEST_F(DialerFixture, MissingEntryEndsTheBindingAtTheFirstOneMissing) {
    model("R.ABC-1");
    config("dial-missing-entry = isconnecting\n");
    OsDialBinding binding(options());
    EXPECT_FALSE(binding.libraryLoaded());
    EXPECT_FALSE(binding.connectionUp());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "获取 IsConnecting 函数入口地址失败！");
    EXPECT_FALSE(binding.dial(0));
    EXPECT_EQ(boxes.back().caption, "选择式拨号提示");
}

TEST_F(DialerFixture, EachResultCodeGivesItsOutcome) {
    model("R.ABC-1");
    struct Case {
        std::string ini;
        bool ok;
        const char* box;  // nullptr: no box
        const char* message;
    };
    const Case cases[] = {
        {"dial-result = -6", false, "端口被另一个网络拨号占用！", nullptr},
        {"dial-result = -5", false, "枚举活动拨号连接失败！", nullptr},
        {"dial-result = -3", false, "通信功能不可用！", nullptr},
        {"fail-dial = true", false, "没有可用的拨号连接！", nullptr},
        {"dial-result = -1", false, nullptr, "用户选择了中止拨号！"},
        {"dial-result = 0", false, "另外一个拨号正准备开始，或其它未知错误！", nullptr},
        {"dial-result = 1\ndial-connection-name = GPRS", true, nullptr,
         "拨号已经建立。网络拨号名称：GPRS"},
        {"dial-result = 1\ndial-connected = false\ndial-connection-name = GPRS", false,
         "正在拨号中，网络拨号名称：GPRS", nullptr},
        {"", true, nullptr, "指定的拨号已经建立，你可以使用此网络拨号。网络拨号名称：Internet"},
        {"dial-result = 7", false, nullptr, ""},
    };
    OsDialBinding binding(options());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ini);
        config(c.ini + "\n");
        boxes.clear();
        binding.clearMessage();
        EXPECT_EQ(binding.dial(0), c.ok);
        if (c.box) {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].caption, "拨号提示");
            EXPECT_EQ(boxes[0].text, c.box);
            EXPECT_EQ(binding.message().toUtf8(), c.box);
        } else {
            EXPECT_TRUE(boxes.empty());
            EXPECT_EQ(binding.message().toUtf8(), c.message);
        }
    }
}

TEST_F(DialerFixture, UserCancelInHiddenModeLeavesNoText) {
    model("R.Z3H-1");
    config("dial-result = -1\n");
    OsDialBinding binding(options());
    EXPECT_FALSE(binding.dial(0));
    EXPECT_TRUE(binding.message().isEmpty());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(DialerFixture, OtherDialIsHungUpOnYesAndWaitedFor) {
    model("R.ABC-1");
    config(
        "dial-result = -4\ndial-connection-name = CMWAP\ndata-connection = down\n"
        "dial-disconnect-polls = 3\n");
    OsDialBinding binding(options());

    answer = kIdNo;
    EXPECT_FALSE(binding.dial(0));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].type, MessageBoxType::YesNo);
    EXPECT_EQ(boxes[0].text, "现有拨号(CMWAP)已连接上，是否要断开后再连接所需拨号？");

    answer = kIdYes;
    EXPECT_TRUE(binding.dial(0));  // gone on the fourth poll

    // Still there after 50 polls: the new dial cannot be made.
    config("dial-result = -4\ndata-connection = down\ndial-disconnect-polls = 50\n");
    EXPECT_FALSE(binding.dial(0));
    config("dial-result = -4\ndata-connection = down\ndial-disconnect-polls = 49\n");
    EXPECT_TRUE(binding.dial(0));
}

TEST_F(DialerFixture, StandInConnectionComesUpWithADialAndGoesWithAHangUp) {
    model("R.ABC-1");
    config("data-connection = down\n");
    ConnectionDialer dialer(options());
    EXPECT_FALSE(dialer.connect());
    EXPECT_TRUE(dialer.dialDataConnection());
    EXPECT_TRUE(dialer.connect());
    dialer.binding().disconnect();
    EXPECT_FALSE(dialer.connect());

    config("");  // device.ini says up, but a hang-up takes it down until the next dial
    EXPECT_FALSE(dialer.connect());
    EXPECT_TRUE(dialer.dial(kInternetNetworkId));
    EXPECT_TRUE(dialer.connect());
    EXPECT_TRUE(boxes.empty());

    // Asked before every request, device.ini is read again only once changed
    // (a page of 20,000 pictures read it 20,000 times).
    const fs::path ini = dir.path() / "device.ini";
    fs::last_write_time(ini, fs::file_time_type::clock::now() - std::chrono::hours(1));
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    inotify_add_watch(watch, dir.path().c_str(), IN_OPEN);
    for (int i = 0; i < 100; ++i) EXPECT_TRUE(dialer.connect());
    int opens = 0;
    alignas(inotify_event) char events[16 * 1024];
    for (ssize_t n; (n = read(watch, events, sizeof events)) > 0;) {
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + at);
            opens += event->len > 0 && std::string(event->name) == "device.ini";
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    close(watch);
    EXPECT_LE(opens, 1);
}

TEST_F(DialerFixture, FailedDataConnectionDialEndsWithTheAdvice) {
    model("R.ABC-1");
    config("data-connection = down\nfail-dial = true\n");
    LinuxDeviceServices inner(dir.path());
    DiallingDeviceServices device(inner, options());
    EXPECT_FALSE(device.dataConnectionUp());
    EXPECT_FALSE(device.dialDataConnection());
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].caption, "提示信息");
    EXPECT_EQ(boxes[1].text, "网络拨号失败，请检查拨号设置或联系手机生产商。");
    EXPECT_FALSE(device.dataConnectionUp());
}

TEST_F(DialerFixture, NewDeviceFolderGetsAModelFileAndStartsWithoutBoxes) {
    LinuxDeviceServices inner(dir.path());
    {
        DiallingDeviceServices device(inner, options());
        EXPECT_TRUE(device.dataConnectionUp());
        EXPECT_FALSE(device.dialer().binding().hiddenMode());
    }
    EXPECT_TRUE(boxes.empty());
    std::optional<std::string> written =
        readFile(DeviceFiles(dir.path()).hostPath(kPhoneModelFile));
    ASSERT_TRUE(written);
    EXPECT_EQ(written->rfind(kSimulatorModelLine, 0), 0u);

    model("R.Z3H-1");  // an existing file is kept
    DiallingDeviceServices device(inner, options());
    EXPECT_TRUE(device.dialer().binding().hiddenMode());
}

TEST(DataConnection, WithoutDeviceServicesCountsAsUpAndCannotDial) {
    ASSERT_EQ(deviceServices(), nullptr);
    EXPECT_TRUE(checkDataConnection());
    EXPECT_FALSE(dialDataConnection());
}

}  // namespace
}  // namespace zq
