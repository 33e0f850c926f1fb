#include "net/device_actions.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "platform/clock.h"
#include "platform/files.h"
#include "tests/support/test_env.h"

namespace zq {
namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& path) { return readFile(path).value_or(""); }

void writeText(const fs::path& path, const std::string& text) {
    ASSERT_TRUE(writeFileAtomic(path, text));
}

struct DeviceFixture : ::testing::Test {
    test::TempDir dir;
    LinuxDeviceServices device{dir.path()};

    void config(const std::string& text) { writeText(dir.path() / "device.ini", text); }
};

TEST_F(DeviceFixture, DataConnectionIsUpUnlessTheFileSaysDown) {
    EXPECT_TRUE(device.dataConnectionUp());
    EXPECT_TRUE(device.dialDataConnection());
    config("[device]\ndata-connection = Down\nfail-dial = true\n");
    EXPECT_FALSE(device.dataConnectionUp());
    EXPECT_FALSE(device.dialDataConnection());
}

TEST_F(DeviceFixture, IdentityGivesSubscriberThenImeiOrFailsWhenTold) {
    config("imsi = 460001234567890\r\nimei=356938035643809\n# imei = other\n");
    std::optional<DeviceIdentity> id = readDeviceIdentity(&device);
    ASSERT_TRUE(id);
    EXPECT_EQ(id->subscriber, CString(u"460001234567890"));
    EXPECT_EQ(id->imei, CString(u"356938035643809"));

    config("fail-identity = true\n");
    EXPECT_FALSE(readDeviceIdentity(&device));
    EXPECT_FALSE(readDeviceIdentity(nullptr));
}

TEST_F(DeviceFixture, SmsGoesToTheOutboxOneLineEachAndFailsWhenTold) {
    ASSERT_TRUE(sendSms(&device, u"13800000000", u"买入\t600000\n确认"));
    ASSERT_TRUE(sendSms(&device, u"+8613900000000", u"second"));
    EXPECT_EQ(readText(dir.path() / "sms-outbox.txt"),
              "13800000000\t买入\\t600000\\n确认\n+8613900000000\tsecond\n");

    config("fail-sms = yes\n");
    EXPECT_FALSE(sendSms(&device, u"13800000000", u"lost"));
    EXPECT_EQ(readText(dir.path() / "sms-outbox.txt").find("lost"), std::string::npos);
}

TEST_F(DeviceFixture, NumbersAreCutToTheRecordSizes) {
    std::u16string longNumber(40, u'1');
    ASSERT_TRUE(sendSms(&device, CString(longNumber), CString(std::u16string(700, u'x'))));
    std::string line = readText(dir.path() / "sms-outbox.txt");
    EXPECT_EQ(line, std::string(32, '1') + "\t" + std::string(670, 'x') + "\n");

    ASSERT_TRUE(dialVoiceCall(&device, CString(std::u16string(600, u'9'))));
    EXPECT_EQ(readText(dir.path() / "call-log.txt"), std::string(511, '9') + "\n");
}

TEST_F(DeviceFixture, CallsGoToTheCallLogAndFailWhenTold) {
    ASSERT_TRUE(dialVoiceCall(&device, u"10086"));
    config("fail-call = 1\n");
    EXPECT_FALSE(dialVoiceCall(&device, u"10010"));
    EXPECT_EQ(readText(dir.path() / "call-log.txt"), "10086\n");
    EXPECT_FALSE(dialVoiceCall(nullptr, u"10086"));
}

TEST_F(DeviceFixture, ContactPickerReadsTheContactsFile) {
    EXPECT_FALSE(device.pickContacts(10));  // no file
    writeText(dir.path() / "contacts.txt",
              "张三\t13800000001\n\n13800000002\r\nLi\t 13800000003 \n");
    std::optional<std::vector<CString>> picked = device.pickContacts(2);
    ASSERT_TRUE(picked);
    EXPECT_EQ(*picked, (std::vector<CString>{u"13800000001", u"13800000002"}));
    EXPECT_EQ(device.pickContacts(10)->back(), CString(u"13800000003"));
    config("fail-contacts = true\n");
    EXPECT_FALSE(device.pickContacts(10));
}

TEST_F(DeviceFixture, BrowserGetsTheLinkAsOneArgumentWithoutAShell) {
    // A stand-in xdg-open first on PATH records its arguments.
    fs::path bin = dir.path() / "bin";
    ASSERT_TRUE(makeDirectories(bin));
    fs::path out = dir.path() / "args.txt";
    writeText(bin / "xdg-open", "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done > '" +
                                    out.string() + ".tmp'\nmv '" + out.string() + ".tmp' '" +
                                    out.string() + "'\n");
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (bin.string() + ":" + oldPath).c_str(), 1);

    EXPECT_TRUE(device.openBrowser(u"http://h/p?a=1;b=$(id) `x`"));
    uint32_t start = tickCount();
    while (!fs::exists(out) && ticksSince(start) < 5000) sleepMs(10);
    EXPECT_EQ(readText(out), "[http://h/p?a=1;b=$(id) `x`]");

    EXPECT_FALSE(device.openBrowser(u"--help"));  // never an option
    EXPECT_FALSE(device.openBrowser(u""));
    EXPECT_FALSE(device.openBrowser(u"http://h/\nx"));
    config("fail-browser = true\n");
    EXPECT_FALSE(device.openBrowser(u"http://h/"));
    setenv("PATH", oldPath.c_str(), 1);
}

TEST(SmsJobTest, LinkSplitsIntoRecipientsAndMessage) {
    SmsJob job = SmsJob::fromLink(u"sms://10086.10010#CXYE#2");
    EXPECT_EQ(job.recipients, CString(u"10086.10010"));
    EXPECT_EQ(job.message, CString(u"CXYE#2"));
    EXPECT_TRUE(SmsJob::fromLink(u"SMS://10086").message.isEmpty());
}

TEST_F(DeviceFixture, SmsJobSendsToEachValidRecipientAndReportsTheRest) {
    SmsReport report = sendSmsJob(&device, SmsJob::fromLink(u"sms://10086.+8613800000000#hi"));
    EXPECT_EQ(report.sent, 2);
    EXPECT_EQ(report.summary(), CString(u"成功发送 2 条短信。"));

    report = sendSmsJob(&device, SmsJob::fromLink(u"sms://10086.abc.12x#hi"));
    EXPECT_EQ(report.sent, 1);
    EXPECT_EQ(report.failed, 2);
    EXPECT_EQ(report.summary(), CString(u"成功发送 1 条短信，有 2 条未发送成功（abc;12x）"));
    // Only the three valid numbers reached the outbox.
    EXPECT_EQ(readText(dir.path() / "sms-outbox.txt"),
              "10086\thi\n+8613800000000\thi\n10086\thi\n");
}

TEST_F(DeviceFixture, SmsSenderReportsFromItsOwnThread) {
    config("fail-sms = true\n");
    std::mutex mutex;
    std::vector<CString> summaries;
    {
        SmsSender sender(&device);
        for (int i = 0; i < 3; ++i) {
            sender.start(SmsJob::fromLink(u"sms://10086#x"), [&](const SmsReport& r) {
                std::lock_guard<std::mutex> lock(mutex);
                summaries.push_back(r.summary());
            });
        }
    }  // joins the jobs
    ASSERT_EQ(summaries.size(), 3u);
    EXPECT_EQ(summaries[0], CString(u"成功发送 0 条短信，有 1 条未发送成功（10086）"));
}

}  // namespace
}  // namespace zq
