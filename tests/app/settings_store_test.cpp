#include "app/settings_store.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <string>

#include "app/page_controller.h"
#include "platform/files.h"
#include "platform/ui_executor.h"
#include "tests/support/test_env.h"
#include "tests/support/test_font.h"
#include "ui/client_context.h"

namespace zq {
namespace {

// Counts the files put in place in a folder (a whole-file replace renames
// its new copy over the old one) while it lives.
class FileReplaceCounter {
public:
    explicit FileReplaceCounter(const std::filesystem::path& folder)
        : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (fd_ >= 0) inotify_add_watch(fd_, folder.c_str(), IN_MOVED_TO);
    }
    ~FileReplaceCounter() {
        if (fd_ >= 0) close(fd_);
    }
    FileReplaceCounter(const FileReplaceCounter&) = delete;
    FileReplaceCounter& operator=(const FileReplaceCounter&) = delete;

    bool watching() const { return fd_ >= 0; }
    // The replaces since the last call; a queue that overflowed counts as
    // more than any page should make.
    int take() {
        int count = 0;
        alignas(inotify_event) char buffer[64 * 1024];
        for (ssize_t n; (n = read(fd_, buffer, sizeof buffer)) > 0;) {
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->mask & IN_Q_OVERFLOW) count += 1000000;
                if (event->mask & IN_MOVED_TO) ++count;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return count;
    }

private:
    int fd_;
};

std::string value(const SettingsMap& map, const char* key) {
    auto it = map.find(CString(key));
    return it == map.end() ? std::string("(absent)") : it->second.value.toUtf8();
}

std::string section(const SettingsMap& map, const char* key) {
    auto it = map.find(CString(key));
    return it == map.end() ? std::string("(absent)") : it->second.section.toUtf8();
}

void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST(SettingsStore, SystemValues) {
    SettingsStore store("", "");
    SettingsStore::putEntry(store.live(), CString("sys-rowscount"), CString("9"), kSectionSystem);
    SettingsStore::putEntry(store.stored(), CString("sys-recvcounth"), CString("1K"),
                            kSectionRegInfo);
    const TrafficBytes session{512, 1024};
    auto get = [&](const char* name) { return store.systemValue(CString(name), session).toUtf8(); };
    EXPECT_EQ(get("sys_clientver"), "2.2.0.11");
    EXPECT_EQ(get("sys_rowscount"), "9");
    EXPECT_EQ(get("sys-nothing"), "");
    EXPECT_EQ(get("sys-recvcountn"), "1.00K");
    EXPECT_EQ(get("sys-sentcountn"), "0.50K");
    EXPECT_EQ(get("sys-recvcounth"), "2.00K");  // 1K stored + 1024 bytes
    EXPECT_EQ(get("sys-sentcounth"), "0.50K");  // absent counts as 0
}

TEST(SettingsStore, TrafficTotals) {
    const struct {
        const char* stored;
        float bytes;
        const char* total;
    } cases[] = {
        {"", 2048, "2.00K"}, {"1K", 1024, "2.00K"},   {"12.5k", 0, "12.50K"}, {"300", 0, "0.29K"},
        {" 2K", 0, "2.00K"}, {"junk", 1024, "1.00K"}, {"nanK", 0, "0.00K"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SettingsStore::trafficTotal(CString(c.stored), c.bytes).toUtf8(), c.total)
            << c.stored;
    }
}

TEST(SettingsStore, StoredEntriesAndTheFile) {
    test::TempDir dir;
    writeText(dir.path() / SettingsStore::kDefaultsFile, "[info-system]\nsys-index = x\n");
    SettingsStore store(dir.path(), "");

    store.setStored(CString("cli_a"), CString("1"), 0);
    store.setStored(CString("cli-b"), CString("2"), 1);
    store.setStored(CString("cli-c"), CString("3"), 7);
    EXPECT_EQ(section(store.stored(), "cli-a"), "info-data");
    EXPECT_EQ(section(store.stored(), "cli-b"), "info-RegInfo");
    EXPECT_EQ(section(store.stored(), "cli-c"), "info-system");
    // An entry with a value keeps its section.
    store.setStored(CString("cli-c"), CString("4"), 0);
    EXPECT_EQ(section(store.stored(), "cli-c"), "info-system");
    EXPECT_EQ(value(store.stored(), "cli-c"), "4");
    EXPECT_EQ(value(store.live(), "cli-c"), "(absent)");

    // Regression: a value could carry a line end and plant a second setting.
    store.setStored(CString("cli-d"), CString("ok\r\nsys-curhost = evil"), 2);
    EXPECT_EQ(value(store.stored(), "cli-d"), "ok");
    ASSERT_TRUE(store.saveStored());
    const std::string file = readFile(dir.path() / SettingsStore::kUserFile).value_or("");
    EXPECT_NE(file.find("cli-c"), std::string::npos);
    EXPECT_EQ(file.find("evil"), std::string::npos);

    SettingsStore reloaded(dir.path(), "");
    ASSERT_TRUE(reloaded.load());
    EXPECT_EQ(value(reloaded.live(), "cli-c"), "4");
    EXPECT_EQ(value(reloaded.live(), "sys-curhost"), "(absent)");
}

// Regression: a page's save() names the key after an element id; "[x" was
// written as a section header and carried every later key out of its section.
TEST(SettingsStore, KeysThatWouldBreakTheFileAreRefused) {
    test::TempDir dir;
    writeText(dir.path() / SettingsStore::kDefaultsFile, "[info-system]\nsys-index = x\n");
    SettingsStore store(dir.path(), "");
    for (const char* key : {"[evil", "[info-data]", "two words", "line\nend", "tab\tkey", ""}) {
        EXPECT_FALSE(store.setStored(CString(key), CString("1"), 2)) << key;
        EXPECT_EQ(value(store.stored(), key), "(absent)") << key;
    }
    // Regression: these were stored, and read back otherwise at the next start.
    const CString longValue(std::u16string(1001, u'v'));
    EXPECT_FALSE(store.setStored(CString("cli-long"), longValue, 2));
    for (const char* name : {"a\xF0\x9F\x98\x80.ini", "two words.ini", "../x.ini"}) {
        EXPECT_FALSE(store.setStored(CString("cli_myreginfopath"), CString(name), 2)) << name;
    }
    EXPECT_TRUE(store.setStored(CString("cli-myreginfopath"), CString("计数.ini"), 2));
    EXPECT_TRUE(store.setStored(CString("cli-zz"), CString("after"), 2));
    EXPECT_TRUE(store.setStored(CString("a[b]"), CString("inner"), 2));
    ASSERT_TRUE(store.saveStored());

    SettingsStore reloaded(dir.path(), "");
    ASSERT_TRUE(reloaded.load());
    EXPECT_EQ(value(reloaded.live(), "cli-zz"), "after");
    EXPECT_EQ(value(reloaded.live(), "a[b]"), "inner");
    EXPECT_EQ(value(reloaded.live(), "cli-myreginfopath"), "计数.ini");
}

TEST(SettingsStore, HeldSavesAreWrittenOnceWhenTheLastHoldEnds) {
    test::TempDir dir;
    writeText(dir.path() / SettingsStore::kDefaultsFile, "[info-system]\nsys-index = x\n");
    const std::filesystem::path file = dir.path() / SettingsStore::kUserFile;
    SettingsStore store(dir.path(), "");
    store.holdSaves();
    store.holdSaves();
    store.setStored(CString("cli-a"), CString("1"), 2);
    EXPECT_TRUE(store.saveStored());
    store.releaseSaves();
    EXPECT_FALSE(readFile(file));
    store.releaseSaves();
    EXPECT_NE(readFile(file).value_or("").find("cli-a = 1"), std::string::npos);

    // A hold without a save asked for writes nothing.
    std::filesystem::remove(file);
    store.holdSaves();
    store.releaseSaves();
    EXPECT_FALSE(readFile(file));
}

// Regression: each "save" element rewrote the file (with two fsyncs), so a
// page of 20,000 of them took minutes. The page writes each file once.
TEST(SettingsStore, APageOfManySavesWritesTheFilesOnce) {
    test::TempDir dir;
    writeText(dir.path() / SettingsStore::kDefaultsFile, "[info-system]\nsys-index = x\n");
    std::string page = "<zqml>";
    for (int i = 0; i < 20000; ++i) page += "<sv n=\"k" + std::to_string(i) + "\" v=\"1\"/>";
    writeText(dir.path() / "saves.zqml", page + "<body/></zqml>");
    UiExecutor executor;
    test::ScopedFixedFont font;
    PageController controller(ControllerFolders{dir.path(), dir.path()});
    FileReplaceCounter replaces(dir.path());
    ASSERT_TRUE(replaces.watching());
    controller.openUrl(
        {.url = CString("file://saves.zqml"), .showLoading = false, .blockInput = false});
    // The settings file and the counter file, each once.
    const int written = replaces.take();
    EXPECT_GE(written, 1);
    EXPECT_LE(written, 2);
    // Type 1 files them with the traffic counters.
    const std::string file = readFile(dir.path() / "MyRegInfo.ini").value_or("");
    EXPECT_NE(file.find("k19999 = 1"), std::string::npos);
}

class ClientSettingsTest : public ::testing::Test {
protected:
    ClientContext context_;
    const ScreenMetrics metrics_ = screenMetrics();
    const ColorSettings colors_ = colorSettings();
};

TEST_F(ClientSettingsTest, AppliesOnlyValuesThatParse) {
    SettingsMap map;
    auto put = [&map](const char* key, const char* v) {
        SettingsStore::putEntry(map, CString(key), CString(v), kSectionSystem);
    };
    put("cli-timeout", "9");
    put("sys-screenw", "32O");
    put("sys-screenh", "480");
    put("cli-model", "_debug");
    put("sys-menu-bc", "#FF0000");
    put("sys-menu-fc", "notacolour");
    const ClientSettings applied = SettingsStore::applyClientSettings(map);
    EXPECT_EQ(applied.waitSeconds, 9);
    EXPECT_TRUE(applied.debug);
    EXPECT_EQ(screenMetrics().configuredWidth, metrics_.configuredWidth);
    EXPECT_EQ(screenMetrics().configuredHeight, 480);
    EXPECT_EQ(value(map, "sys-rowscount"), "12");
    EXPECT_EQ(colorSettings().menuBack, 0x0000FFu);
    EXPECT_EQ(colorSettings().menuText, colors_.menuText);
}

TEST(SettingsStore, WaitTimeAndFontHeight) {
    SettingsStore store("", "");
    const std::pair<const char*, int> waits[] = {{"7", 7000}, {"0", 0}, {"-3", 0}, {"x", 0}};
    for (const auto& [text, ms] : waits) {
        SettingsStore::putEntry(store.live(), CString("sys-waittime"), CString(text),
                                kSectionSystem);
        EXPECT_EQ(store.waitTimeMs(), ms) << text;
    }
    EXPECT_EQ(SettingsStore::fontHeight(CString("大字体"), 14, 16), 17);
    EXPECT_EQ(SettingsStore::fontHeight(CString("中字体"), 14, 16), 14);
    EXPECT_EQ(SettingsStore::fontHeight(CString("小字体"), 14, 16), 11);
    EXPECT_EQ(SettingsStore::fontHeight(CString("巨字体"), 14, 16), 16);
}

TEST(SettingsStore, QuickPaths) {
    test::TempDir dir;
    const std::filesystem::path file = dir.path() / SettingsStore::kQuickPathFile;
    // Read as "%s = %s" reads them: "a =b" and "c = d e" pass, "k=v" and
    // "f= g" do not (regression: "a =b" was refused).
    writeText(file, "600000 = \"file://a.zqml\"\r\nk=v\r\nplain line\r\nx = y\r\n" +
                        std::string(1200, 'z') + " = long\n a =b\nc = d e\nf= g\n");
    const std::map<CString, CString> paths = SettingsStore::readQuickPaths(file);
    ASSERT_EQ(paths.size(), 4u);
    EXPECT_EQ(paths.at(CString("600000")).toUtf8(), "file://a.zqml");
    EXPECT_EQ(paths.at(CString("x")).toUtf8(), "y");
    EXPECT_EQ(paths.at(CString("a")).toUtf8(), "b");
    EXPECT_EQ(paths.at(CString("c")).toUtf8(), "d");
    EXPECT_TRUE(SettingsStore::readQuickPaths(dir.path() / "missing.ini").empty());
}

TEST(SettingsStore, LinkVariables) {
    std::map<CString, CString> vars;
    CString link("p.zqml?a=1&amp;b=2$x=1&y=2&$&c=3$z=9$");
    SettingsStore::extractLinkVariables(link, vars);
    EXPECT_EQ(link.toUtf8(), "p.zqml?a=1&b=2&c=3");
    ASSERT_EQ(vars.size(), 2u);
    EXPECT_EQ(vars[CString("@x")].toUtf8(), "1");
    EXPECT_EQ(vars[CString("@y")].toUtf8(), "2");

    CString broken("$a=1&noeq&b=2&$ $lone");
    vars.clear();
    SettingsStore::extractLinkVariables(broken, vars);
    EXPECT_EQ(broken.toUtf8(), " $lone");
    EXPECT_EQ(vars.size(), 1u);
}

}  // namespace
}  // namespace zq
