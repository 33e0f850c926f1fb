#include "core/config_store.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/test_env.h"

namespace zq {
namespace {

namespace fs = std::filesystem;

void writeText(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const char* const kDefaults =
    "[info-system]\n"
    "sys-fontsize = 14\n"
    "sys-index = file://index_s.zqml\n"
    "sys-netspeed = 100\n";

class ConfigStoreTest : public ::testing::Test {
protected:
    ConfigStoreTest() {
        for (const fs::path* folder : {&program_, &userData_, &legacy_}) {
            fs::create_directories(*folder);
        }
        writeText(defaultsFile(), kDefaults);
    }

    fs::path userFile() const { return program_ / "ZQConfig.ini"; }
    fs::path defaultsFile() const { return program_ / "ZQConfigDefault.ini"; }
    fs::path counterFile() const { return userData_ / "MyRegInfo.ini"; }
    ConfigStore store() const { return ConfigStore({program_, userData_, legacy_}); }

    bool load() { return store().load(settings_, userFile(), defaultsFile()); }
    bool save() { return store().save(settings_, userFile()); }
    SettingsMap reloaded() const {
        SettingsMap fresh;
        store().load(fresh, userFile(), defaultsFile());
        return fresh;
    }

    // The value under `key`, or "<absent>".
    CString valueOf(const SettingsMap& map, const char16_t* key) const {
        auto it = map.find(key);
        return it == map.end() ? CString(u"<absent>") : it->second.value;
    }
    CString valueOf(const char16_t* key) const { return valueOf(settings_, key); }
    CString sectionOf(const char16_t* key) const { return settings_.at(key).section; }

    test::TempDir dir_;
    fs::path program_ = dir_.path() / "Program";
    fs::path userData_ = dir_.path() / "UserData";
    fs::path legacy_ = dir_.path() / "windows";
    SettingsMap settings_;
};

// --- reading ------------------------------------------------------------------

TEST_F(ConfigStoreTest, LineSyntax) {
    writeText(userFile(),
              "[info-system]\r\n"
              "sys_fontsize = 16\r\n"
              "sys-note = two words\r\n"
              "joined=value\r\n"
              "sys-network = \xD6\xD0\xB9\xFA\xD2\xC6\xB6\xAF(CM)\r\n"
              "no equals sign here\r\n");
    ASSERT_TRUE(load());
    EXPECT_EQ(valueOf(u"sys-fontsize"), CString(u"16"));
    EXPECT_EQ(valueOf(u"sys_fontsize"), CString(u"<absent>"));
    EXPECT_EQ(valueOf(u"sys-note"), CString(u"two"));
    EXPECT_EQ(valueOf(u"joined=value"), CString(u""));
    EXPECT_EQ(valueOf(u"sys-network"), CString(u"中国移动(CM)"));
    EXPECT_EQ(valueOf(u"no"), CString(u"<absent>"));
}

TEST_F(ConfigStoreTest, LengthLimits) {
    const std::string key500(500, 'k');
    const std::string value1000(1000, 'v');
    writeText(userFile(), "[info-system]\n" + key500 + " = 1\n" + std::string(501, 'K') + " = 1\n" +
                              "sys-a = " + value1000 + "\n" + "sys-b = " + value1000 + "v\n" +
                              "sys-junk = 1" + std::string(70000, ' ') + "\nsys-after = 2\n");
    ASSERT_TRUE(load());
    EXPECT_EQ(valueOf(CString(key500.c_str()).c_str()), CString(u"1"));
    EXPECT_EQ(settings_.count(CString(std::string(501, 'K').c_str())), 0u);
    EXPECT_EQ(valueOf(u"sys-a").length(), 1000);
    EXPECT_EQ(valueOf(u"sys-b"), CString(u"<absent>"));
    EXPECT_EQ(valueOf(u"sys-junk"), CString(u"<absent>")) << "an over-long line is skipped";
    EXPECT_EQ(valueOf(u"sys-after"), CString(u"2"));
}

// Regression: lines were read in 999-byte pieces, so a long value's tail was
// read as a line of its own.
TEST_F(ConfigStoreTest, TailOfALongLineIsNotALine) {
    writeText(userFile(),
              "[info-system]\nsys-junk = 1" + std::string(999 - 12, ' ') + "sys-evil = 1\n");
    ASSERT_TRUE(load());
    EXPECT_EQ(valueOf(u"sys-junk"), CString(u"1"));
    EXPECT_EQ(valueOf(u"sys-evil"), CString(u"<absent>"));
}

// --- loading and merging ------------------------------------------------------

TEST_F(ConfigStoreTest, UserEntriesOverDefaults) {
    writeText(userFile(),
              "[INFO-SYSTEM]\n"
              "sys-fontsize = 16\n"
              "sys-index = \n"
              "[info-data]\n"
              "page-value = 5\n");
    ASSERT_TRUE(load());
    EXPECT_EQ(valueOf(u"sys-fontsize"), CString(u"16"));
    EXPECT_EQ(valueOf(u"sys-index"), CString(u"file://index_s.zqml"));  // empty takes default
    EXPECT_EQ(valueOf(u"sys-netspeed"), CString(u"100"));               // missing takes default
    EXPECT_EQ(valueOf(u"page-value"), CString(u"<absent>"));            // other sections stay out
    EXPECT_EQ(sectionOf(u"sys-fontsize"), CString(u"info-system"));
    EXPECT_EQ(valueOf(u"cli-myreginfopath"), CString(u"MyRegInfo.ini"));
    EXPECT_EQ(valueOf(u"sys-sentcounth"), CString(u"0"));
    EXPECT_EQ(sectionOf(u"sys-recvcounth"), CString(u"info-RegInfo"));
}

TEST_F(ConfigStoreTest, MissingFiles) {
    ASSERT_TRUE(load());
    EXPECT_TRUE(fs::exists(userFile())) << "a missing user file is created empty";
    EXPECT_EQ(readText(userFile()), "");

    // Without the defaults nothing is loaded and nothing is saved.
    fs::remove(defaultsFile());
    writeText(userFile(), "[info-system]\nsys-fontsize = 16\n");
    SettingsMap before = settings_;
    EXPECT_FALSE(load());
    EXPECT_EQ(settings_.size(), before.size());
    EXPECT_EQ(valueOf(u"sys-fontsize"), CString(u"14"));
    EXPECT_FALSE(save());
    EXPECT_EQ(readText(userFile()), "[info-system]\nsys-fontsize = 16\n");
    EXPECT_FALSE(fs::exists(counterFile()));
}

TEST_F(ConfigStoreTest, CounterFiles) {
    writeText(legacy_ / "MyRegInfo.ini", "[info-RegInfo]\nsys-sentCountH = 12.5\n");
    ASSERT_TRUE(load());
    EXPECT_EQ(valueOf(u"sys-sentcounth"), CString(u"12.5"));
    EXPECT_EQ(sectionOf(u"sys-sentcounth"), CString(u"info-RegInfo"));
    EXPECT_EQ(valueOf(u"sys-sentCountH"), CString(u"<absent>"));
    EXPECT_FALSE(fs::exists(legacy_ / "MyRegInfo.ini"));
    // Regression: the old file was deleted before its counters were saved anywhere.
    EXPECT_EQ(readText(counterFile()), "[info-RegInfo]\nsys-sentCountH = 12.5\n");

    // With a current file as well, the current one wins and the old one goes.
    writeText(legacy_ / "MyRegInfo.ini", "[info-RegInfo]\nsys-recvcounth = 1\n");
    writeText(counterFile(), "[info-RegInfo]\nsys-recvcounth = 2\n");
    settings_.clear();
    ASSERT_TRUE(load());
    EXPECT_EQ(valueOf(u"sys-recvcounth"), CString(u"2"));
    EXPECT_FALSE(fs::exists(legacy_ / "MyRegInfo.ini"));

    // One folder given for both must not cost the file.
    SettingsMap other;
    ASSERT_TRUE(
        ConfigStore({program_, userData_, userData_}).load(other, userFile(), defaultsFile()));
    EXPECT_EQ(readText(counterFile()), "[info-RegInfo]\nsys-recvcounth = 2\n");

    // The name comes from the older key when only that one is there.
    settings_ = {{u"sys-MyRegInfoPath", {u"sys-MyRegInfoPath", u"Traffic.ini"}}};
    writeText(userData_ / "Traffic.ini", "[info-RegInfo]\nsys-sentcounth = 9\n");
    ASSERT_TRUE(load());
    EXPECT_EQ(valueOf(u"cli-myreginfopath"), CString(u"Traffic.ini"));
    EXPECT_EQ(valueOf(u"sys-MyRegInfoPath"), CString(u"<absent>"));
    EXPECT_EQ(valueOf(u"sys-sentcounth"), CString(u"9"));
}

// Regression: the counter-file name is a setting a page can change; it could
// name a file anywhere.
TEST_F(ConfigStoreTest, CounterNameIsAPlainFileName) {
    ASSERT_TRUE(load());
    for (const char16_t* name : {u"../evil.ini", u"sub/evil.ini", u"..", u"\\evil.ini", u""}) {
        settings_[u"cli-myreginfopath"].value = name;
        ASSERT_TRUE(save()) << CString(name).toUtf8();
        EXPECT_TRUE(fs::exists(counterFile()));
        fs::remove(counterFile());
    }
    EXPECT_FALSE(fs::exists(dir_.path() / "evil.ini"));
    EXPECT_FALSE(fs::exists(userData_ / "sub"));
    EXPECT_EQ(std::distance(fs::directory_iterator(userData_), fs::directory_iterator()), 0);
}

// --- writing ------------------------------------------------------------------

TEST_F(ConfigStoreTest, SaveGroupsBySection) {
    ASSERT_TRUE(load());
    settings_[u"sys-netspeed"] = {u"sys-netspeed", u"30000", u"info-data"};
    settings_[u"page-x"].value = u"7";  // filed by map key only
    settings_[u"sys-sentcounth"].value = u"3";
    ASSERT_TRUE(save());
    EXPECT_EQ(readText(userFile()),
              "[info-system]\n"
              "cli-myreginfopath = MyRegInfo.ini\n"
              "page-x = 7\n"
              "sys-fontsize = 14\n"
              "sys-index = file://index_s.zqml\n"
              "[info-data]\n"
              "sys-netspeed = 30000\n");
    EXPECT_EQ(readText(counterFile()),
              "[info-RegInfo]\n"
              "sys-recvcounth = 0\n"
              "sys-sentcounth = 3\n");
    const SettingsMap again = reloaded();
    EXPECT_EQ(valueOf(again, u"page-x"), CString(u"7"));
    EXPECT_EQ(valueOf(again, u"sys-sentcounth"), CString(u"3"));
}

TEST_F(ConfigStoreTest, ClearAppWrites) {
    ASSERT_TRUE(load());
    settings_[u"sys-fontsize"].value = u"20";
    settings_[u"sys-netspeed"] = {u"sys-netspeed", u"30000", u"info-data"};
    settings_[u"page-x"] = {u"page-x", u"5", u"info-data"};
    settings_[u"sys-sentcounth"].value = u"3";
    ConfigStore clearing = store();
    ASSERT_TRUE(
        clearing.writeMerged(settings_, userFile(), 3, u"info-data", ClearMode::kClearSection));
    ASSERT_TRUE(
        clearing.writeMerged(settings_, userFile(), 3, u"info-RegInfo", ClearMode::kClearSection));
    EXPECT_EQ(valueOf(u"sys-fontsize"), CString(u"14"));
    EXPECT_EQ(valueOf(u"sys-netspeed"), CString(u"100"));
    EXPECT_EQ(valueOf(u"page-x"), CString(u""));
    EXPECT_EQ(valueOf(u"sys-sentcounth"), CString(u""));
    EXPECT_EQ(readText(counterFile()), "");
    EXPECT_EQ(readText(userFile()),
              "[info-system]\n"
              "cli-myreginfopath = MyRegInfo.ini\n"
              "sys-fontsize = 14\n"
              "sys-index = file://index_s.zqml\n"
              "[info-data]\n"
              "page-x = \n"
              "sys-netspeed = 100\n");
}

// Regression: a value holding a line break wrote a second line into the
// file, so a page could plant any setting.
TEST_F(ConfigStoreTest, ValuesCannotStartLines) {
    ASSERT_TRUE(load());
    settings_[u"sys-name"].value = CString(u"x\r\nsys-x = y");
    settings_[u"sys-nul"].value = CString(std::u16string(u"a\0\nsys-z = 1", 12));
    settings_[u"sys-k\nsys-w"] = {u"sys-k\nsys-w", u"1"};
    settings_[u"sys-s"] = {u"sys-s", u"1", u"info-data]\n[info-system"};
    ASSERT_TRUE(save());
    const SettingsMap again = reloaded();
    for (const char16_t* planted : {u"sys-x", u"sys-z", u"sys-w"}) {
        EXPECT_EQ(valueOf(again, planted), CString(u"<absent>")) << CString(planted).toUtf8();
    }
    EXPECT_EQ(valueOf(again, u"sys-name"), CString(u"xsys-x"));
    EXPECT_EQ(valueOf(again, u"sys-s"), CString(u"<absent>"));
}

// Regression: a key starting with "[" was written as a section header, and
// every key after it read back in that section (a blank in a key set another).
TEST_F(ConfigStoreTest, KeysCannotStartSections) {
    ASSERT_TRUE(load());
    for (const char16_t* key : {u"[info-data]", u" [x", u"sys-a b", u"sys-t\tu"}) {
        settings_[key] = {key, u"1", u"info-system"};
    }
    settings_[u"sys-zz"] = {u"sys-zz", u"kept", u"info-system"};
    ASSERT_TRUE(save());
    const std::string text = readText(userFile());
    EXPECT_EQ(text.find("[info-data]"), std::string::npos) << text;
    EXPECT_EQ(text.find(" b = "), std::string::npos) << text;
    const SettingsMap again = reloaded();
    EXPECT_EQ(valueOf(again, u"sys-zz"), CString(u"kept"));
    EXPECT_EQ(valueOf(again, u"sys-a"), CString(u"<absent>"));
    EXPECT_TRUE(isWritableKey(u"a[b]"));
    EXPECT_FALSE(isWritableKey(u""));
    EXPECT_FALSE(isWritableKey(u"sys_a"));  // reads back as "sys-a"
    EXPECT_FALSE(isWritableKey(CString(std::u16string(501, u'k'))));
    EXPECT_FALSE(isWritableSection(u"a]b"));
    EXPECT_FALSE(isWritableSection(u" "));
}

// Regression: a load and a save, loaded and saved again, wrote other bytes:
// a header without "]" kept its line end, a file's section ran on into the
// next file, an older counter key of the defaults was taken over only when
// the counter was missing, and the counter file was created under a name the
// settings file could not hold.
TEST_F(ConfigStoreTest, SavedFilesReadBackAsSaved) {
    const struct {
        const char* user;
        const char* defaults;
        const char* counter;
        const char16_t* key;  // and its value after a save and a load
        const char16_t* value;
    } cases[] = {
        {"", kDefaults, "[info-RegInfo\r\nsys-sentcounth = 5\n", u"sys-sentcounth", u"5"},
        {"[info-system]\n[info-data]\n", kDefaults, "sys-sentcounth = 5\n", u"sys-sentcounth",
         u"5"},
        {"[info-system]\nsys-a = 1\n[odd\r\n", kDefaults, "sys-recvcounth = 6\n", u"sys-a", u"1"},
        {"", "sys-recvCountH = 1\n", "[odd]\nsys-recvcounth = 6\n", u"sys-recvcounth", u"1"},
        {"[info-system]\ncli-myreginfopath = \xff.ini\n", kDefaults, "", u"sys-recvcounth", u"0"},
    };
    auto savedFiles = [&] {
        std::string files = readText(userFile());
        for (const auto& entry : fs::directory_iterator(userData_)) {
            files.append("|").append(entry.path().filename().string()).append("|");
            files += readText(entry.path());
        }
        return files;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.user) + "|" + c.counter);
        fs::remove_all(userData_);
        fs::create_directories(userData_);
        writeText(userFile(), c.user);
        writeText(defaultsFile(), c.defaults);
        writeText(counterFile(), c.counter);
        settings_.clear();
        ASSERT_TRUE(load());
        ASSERT_TRUE(save());
        settings_.clear();
        ASSERT_TRUE(load());
        EXPECT_EQ(valueOf(c.key).toUtf8(), CString(c.value).toUtf8());
        ASSERT_TRUE(save());
        const std::string saved = savedFiles();
        settings_.clear();
        ASSERT_TRUE(load());
        ASSERT_TRUE(save());
        EXPECT_EQ(savedFiles(), saved);
    }

    // The counters stay with a name the file holds as "?".
    writeText(defaultsFile(), kDefaults);
    settings_[u"cli-myreginfopath"].value = u"a\U0001F600.ini";
    settings_[u"sys-sentcounth"].value = u"7";
    ASSERT_TRUE(save());
    EXPECT_TRUE(fs::exists(userData_ / "a?.ini"));
    EXPECT_EQ(valueOf(reloaded(), u"sys-sentcounth"), CString(u"7"));
    EXPECT_FALSE(isStorableCounterName(u"a\U0001F600.ini"));
    EXPECT_FALSE(isStorableCounterName(u"two words.ini"));
    EXPECT_TRUE(isStorableCounterName(u"计数.ini"));
}

// Regression: the counter file was truncated before the target was known to
// be writable, and files were rewritten in place.
TEST_F(ConfigStoreTest, FailedSaveLeavesOldFiles) {
    ASSERT_TRUE(load());
    ASSERT_TRUE(save());
    const std::string oldUser = readText(userFile());
    const std::string oldCounter = readText(counterFile());
    settings_[u"sys-sentcounth"].value = u"99";

    EXPECT_FALSE(store().save(settings_, dir_.path() / "missing" / "ZQConfig.ini"));
    EXPECT_EQ(readText(counterFile()), oldCounter);

    // A full disk part-way through the new file.
    settings_[u"sys-big"].value = CString(std::u16string(900, u'b'));
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 512;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved1 = save();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(saved1);
    EXPECT_EQ(readText(userFile()), oldUser);
    EXPECT_EQ(readText(counterFile()), oldCounter);
    for (const auto& entry : fs::directory_iterator(program_)) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "ZQConfig.ini" || name == "ZQConfigDefault.ini")
            << "left over: " << name;
    }
}

}  // namespace
}  // namespace zq
