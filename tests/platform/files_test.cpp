#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/cstring.h"
#include "tests/support/spawn_client.h"
#include "tests/support/test_env.h"

namespace zq {
namespace {

namespace fs = std::filesystem;

void put(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string get(const fs::path& path) { return readFile(path).value_or("<missing>"); }

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class DeviceFilesTest : public ::testing::Test {
protected:
    test::TempDir temp;
    DeviceFiles device{temp.path()};
    const fs::path& root() const { return temp.path(); }
};

TEST_F(DeviceFilesTest, DevicePrefixesMapBelowTheRoot) {
    EXPECT_EQ(device.hostPath("\\UserData\\x.ini"), root() / "UserData" / "x.ini");
    EXPECT_EQ(device.hostPath("\\windows\\y"), root() / "windows" / "y");
    EXPECT_EQ(device.hostPath("\\DBData\\SysConfig\\sver.bin"),
              root() / "DBData" / "SysConfig" / "sver.bin");
    EXPECT_EQ(device.hostPath("/DBData/SysConfig/sver.bin"),
              root() / "DBData" / "SysConfig" / "sver.bin");
    EXPECT_EQ(device.hostPath("UserData\\.\\\\x.ini"), root() / "UserData" / "x.ini");
    EXPECT_EQ(device.hostPath("\\..\\..\\etc\\passwd"), root() / "etc" / "passwd");
    EXPECT_EQ(device.hostPath(std::string_view("\\a.ini\0\\..\\b", 13)), root() / "a.ini");
    EXPECT_EQ(device.programFolder(), root() / "Program");
}

TEST_F(DeviceFilesTest, NamesAreFoundWithoutRegardToCase) {
    put(root() / "UserData" / "mystock.ini", "watch");
    EXPECT_EQ(device.hostPath("\\USERDATA\\MyStock.INI"), root() / "UserData" / "mystock.ini");
    EXPECT_EQ(get(device.hostPath(CString(u"\\userdata\\MYSTOCK.ini"))), "watch");

    // A missing name keeps its spelling below the folders that were found.
    EXPECT_EQ(device.hostPath("\\USERDATA\\New.ini"), root() / "UserData" / "New.ini");
    EXPECT_EQ(device.hostPath("\\userdata\\Sub\\A.ini"), root() / "UserData" / "Sub" / "A.ini");

    // UTF-8 names pass through the CString overload unchanged.
    put(root() / "UserData" / "自选.ini", "cn");
    EXPECT_EQ(get(device.hostPath(CString(u"\\USERDATA\\自选.INI"))), "cn");
}

TEST_F(DeviceFilesTest, ExactSpellingWinsOverOtherCaseMatches) {
    put(root() / "w" / "Logo.bmp", "mixed");
    put(root() / "w" / "logo.bmp", "lower");
    put(root() / "w" / "LOGO.BMP", "upper");
    EXPECT_EQ(get(device.hostPath("\\w\\logo.bmp")), "lower");
    EXPECT_EQ(get(device.hostPath("\\w\\Logo.bmp")), "mixed");
    // Without an exact match the choice is stable: the first name in byte order.
    EXPECT_EQ(get(device.hostPath("\\w\\lOgO.bmp")), "upper");
}

TEST(Confinement, PathsFromPagesStayInTheirFolder) {
    test::TempDir temp;
    const fs::path base = temp.path() / "pages";
    put(base / "images" / "logo.png", "png");

    struct Case {
        std::string_view path;
        std::optional<fs::path> expected;
    };
    const Case cases[] = {
        {"a/b.png", base / "a" / "b.png"},
        {"a\\b.png", base / "a" / "b.png"},
        {"./a//b.png", base / "a" / "b.png"},
        {"IMAGES\\Logo.PNG", base / "images" / "logo.png"},
        {"..a/b..", base / "..a" / "b.."},
        {"", std::nullopt},
        {".", std::nullopt},
        {"..", std::nullopt},
        {"../x", std::nullopt},
        {"a/../../x", std::nullopt},
        {"a/b/../../../x", std::nullopt},
        // Regression: every ".." was refused, also one that stays inside.
        {"a\\..\\b", base / "b"},
        {"a/./b/../c.png", base / "a" / "c.png"},
        {"images/../IMAGES/logo.png", base / "images" / "logo.png"},
        {"a/..", std::nullopt},
        {"/etc/passwd", std::nullopt},
        {"\\windows\\x", std::nullopt},
        {"C:\\x", std::nullopt},
        {"c:x", std::nullopt},
        {"a/b:stream", std::nullopt},
        {std::string_view("a\0/../../x", 10), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path));
        EXPECT_EQ(resolveConfined(base, c.path), c.expected);
    }
    EXPECT_EQ(resolveConfined(base, CString(u"images/LOGO.png")), base / "images" / "logo.png");
    EXPECT_EQ(resolveConfined(base, CString(u"..\\x")), std::nullopt);
}

// Regression: a symbolic link inside the folder led a confined name anywhere.
TEST(ResolveConfined, DoesNotFollowLinksOut) {
    test::TempDir temp;
    const fs::path base = temp.path() / "res";
    const fs::path outside = temp.path() / "outside";
    fs::create_directories(base / "real");
    fs::create_directories(outside);
    put(outside / "secret", "x");
    put(base / "real" / "a", "a");
    fs::create_directory_symlink(outside, base / "out");
    fs::create_symlink(outside / "secret", base / "secret");
    fs::create_directory_symlink(base / "real", base / "alias");
    EXPECT_EQ(resolveConfined(base, "out/secret"), std::nullopt);
    EXPECT_EQ(resolveConfined(base, "OUT/new-file"), std::nullopt);
    EXPECT_EQ(resolveConfined(base, "secret"), std::nullopt);
    EXPECT_EQ(resolveConfined(base, "alias/a"), base / "alias" / "a");  // a link that stays inside
    EXPECT_EQ(resolveConfined(base, "missing/x"), base / "missing" / "x");
}

TEST(ReadFile, RefusesWhatItCannotHoldWhole) {
    test::TempDir temp;
    const fs::path file = temp.path() / "ten";
    put(file, "0123456789");
    EXPECT_EQ(readFile(file, 10), "0123456789");
    EXPECT_EQ(readFile(file, 9), std::nullopt);
    EXPECT_EQ(readFile(temp.path() / "none"), std::nullopt);
    EXPECT_EQ(readFile(temp.path()), std::nullopt);
    put(temp.path() / "empty", "");
    EXPECT_EQ(readFile(temp.path() / "empty", 0), "");
}

TEST(ExclusiveFileLock, OneHolderAtATime) {
    test::TempDir temp;
    const fs::path file = temp.path() / ".lock";
    {
        ExclusiveFileLock first(file);
        EXPECT_TRUE(first.held());
        EXPECT_FALSE(ExclusiveFileLock(file).held());
    }
    EXPECT_TRUE(ExclusiveFileLock(file).held());  // dropped with its holder
    EXPECT_FALSE(ExclusiveFileLock(temp.path() / "none" / ".lock").held());
}

// Regression: a save killed between its temporary file and the rename left
// ".zqtmp" files that nothing removed.
TEST(RemoveStaleTempFiles, RemovesThoseOfDeadProcessesOnly) {
    test::TempDir temp;
    const pid_t child = test::spawnChild({"/bin/true"});
    ASSERT_GT(child, 0);
    ASSERT_EQ(test::waitForChild(child), 0);
    const std::string dead = std::to_string(child);
    const std::string self = std::to_string(::getpid());
    fs::create_directories(temp.path() / "UserData");
    const fs::path stale[] = {temp.path() / (".ZQConfig.ini.zqtmp-" + dead + "-0"),
                              temp.path() / "UserData" / (".MyRegInfo.ini.zqtmp-" + dead + "-12")};
    const fs::path kept[] = {temp.path() / (".ZQConfig.ini.zqtmp-" + self + "-3"),
                             temp.path() / ".x.zqtmp-notapid-1", temp.path() / "ZQConfig.ini",
                             temp.path() / ("x.zqtmp-" + dead + "-1")};
    for (const fs::path& file : stale) put(file, "half");
    for (const fs::path& file : kept) put(file, "keep");
    EXPECT_EQ(removeStaleTempFiles(temp.path()), 2u);
    for (const fs::path& file : stale) EXPECT_FALSE(fs::exists(file)) << file;
    for (const fs::path& file : kept) EXPECT_TRUE(fs::exists(file)) << file;
}

TEST(WriteFileAtomic, ReplacesTheFileAndLeavesNoTemporary) {
    test::TempDir temp;
    const fs::path file = temp.path() / "a.ini";
    ASSERT_TRUE(writeFileAtomic(file, "first"));
    ASSERT_TRUE(writeFileAtomic(file, std::string(100000, 'x')));
    EXPECT_EQ(get(file), std::string(100000, 'x'));
    EXPECT_EQ(namesIn(temp.path()), std::vector<std::string>{"a.ini"});

    // A parent that is a file: nothing can be created.
    EXPECT_FALSE(writeFileAtomic(file / "child", "x"));
    EXPECT_FALSE(writeFileAtomic(temp.path() / "missing" / "b", "x"));
    EXPECT_EQ(namesIn(temp.path()), std::vector<std::string>{"a.ini"});
}

TEST(WriteFileAtomic, SkipsOnlyAFileThatAlreadyHoldsTheBytes) {
    test::TempDir temp;
    const fs::path file = temp.path() / "a.ini";
    auto inode = [&file] {
        struct stat st {};
        return ::stat(file.c_str(), &st) == 0 ? st.st_ino : 0;
    };
    ASSERT_TRUE(writeFileAtomic(file, "same"));
    const ino_t first = inode();
    ASSERT_TRUE(writeFileAtomic(file, "same"));
    EXPECT_EQ(inode(), first);  // not replaced
    struct Case {
        std::string bytes;
    };
    for (const Case& c : {Case{"sane"}, Case{"same!"}, Case{"sam"}, Case{""}}) {
        ASSERT_TRUE(writeFileAtomic(file, c.bytes));
        EXPECT_EQ(get(file), c.bytes);
    }
}

// Pins: a failed rename must remove the temporary and leave the target untouched.
TEST(WriteFileAtomic, FailedRenameKeepsTheTarget) {
    test::TempDir temp;
    const fs::path target = temp.path() / "busy";
    put(target / "inside", "kept");
    EXPECT_FALSE(writeFileAtomic(target, "new"));
    EXPECT_EQ(get(target / "inside"), "kept");
    EXPECT_EQ(namesIn(temp.path()), std::vector<std::string>{"busy"});
}

// Pins: a write that fails half-way (the disk fills up) keeps the old file intact.
TEST(WriteFileAtomic, InterruptedWriteKeepsTheOldFile) {
    test::TempDir temp;
    const fs::path file = temp.path() / "sver.bin";
    ASSERT_TRUE(writeFileAtomic(file, "old content"));

    // A file size limit makes write() fail with EFBIG part-way through.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool written = writeFileAtomic(file, std::string(65536, 'n'));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(get(file), "old content");
    EXPECT_EQ(namesIn(temp.path()), std::vector<std::string>{"sver.bin"});
}

class InstallTest : public DeviceFilesTest {
protected:
    fs::path shipped = root() / "resources";
    fs::path program = device.programFolder();

    // Moves a file's time by `seconds` so that "newer" does not depend on
    // how fast the test runs.
    static void age(const fs::path& file, int seconds) {
        fs::last_write_time(file, fs::last_write_time(file) + std::chrono::seconds(seconds));
    }
};

TEST_F(InstallTest, MissingResourcesInstallNothing) {
    EXPECT_TRUE(device.installProgramFolder(root() / "nowhere"));
    EXPECT_FALSE(fs::exists(program));
}

TEST_F(InstallTest, CopiesMissingFilesAndKeepsUnchangedOnes) {
    put(shipped / "ZQConfigDefault.ini", "defaults");
    put(shipped / "ZQ Resource" / "main.xml", "<page/>");
    put(shipped / "images" / "logo.png", "png");
    put(shipped / DeviceFiles::kInstallManifestName, "not shipped");
    ASSERT_TRUE(device.installProgramFolder(shipped));
    EXPECT_EQ(get(program / "ZQConfigDefault.ini"), "defaults");
    EXPECT_EQ(get(program / "ZQ Resource" / "main.xml"), "<page/>");
    EXPECT_EQ(get(program / "images" / "logo.png"), "png");
    EXPECT_NE(get(program / DeviceFiles::kInstallManifestName), "not shipped");

    // A second run with nothing changed leaves the copies as they are.
    auto before = fs::last_write_time(program / "images" / "logo.png");
    ASSERT_TRUE(device.installProgramFolder(shipped));
    EXPECT_EQ(fs::last_write_time(program / "images" / "logo.png"), before);

    // An installed file that was deleted comes back.
    fs::remove(program / "ZQ Resource" / "main.xml");
    ASSERT_TRUE(device.installProgramFolder(shipped));
    EXPECT_EQ(get(program / "ZQ Resource" / "main.xml"), "<page/>");
}

TEST_F(InstallTest, NewerShippedFileReplacesOnlyItsOwnCopy) {
    put(shipped / "a.xml", "a1");
    put(shipped / "b.xml", "b1");
    ASSERT_TRUE(device.installProgramFolder(shipped));

    put(shipped / "a.xml", "a2");
    age(shipped / "a.xml", 60);
    put(shipped / "b.xml", "b2-older");
    age(shipped / "b.xml", -3600);
    ASSERT_TRUE(device.installProgramFolder(shipped));
    EXPECT_EQ(get(program / "a.xml"), "a2");
    EXPECT_EQ(get(program / "b.xml"), "b1");
}

// Pins: a file the client rewrote is never replaced, even by a newer shipped one.
TEST_F(InstallTest, ClientWrittenFilesAreNeverReplaced) {
    put(shipped / "ZQConfigDefault.ini", "shipped");
    put(shipped / "ZQ Resource" / "home.xml", "shipped");
    put(shipped / "images" / "new.png", "shipped");
    put(program / "images" / "new.png", "client made it first");
    ASSERT_TRUE(device.installProgramFolder(shipped));
    EXPECT_EQ(get(program / "images" / "new.png"), "client made it first");

    // Rewritten through a rename (new file) and in place (same file).
    ASSERT_TRUE(writeFileAtomic(program / "ZQConfigDefault.ini", "client"));
    put(program / "ZQ Resource" / "home.xml", "client in place");
    for (const char* name : {"ZQConfigDefault.ini", "ZQ Resource/home.xml", "images/new.png"}) {
        put(shipped / name, "shipped v2");
        age(shipped / name, 60);
    }
    ASSERT_TRUE(device.installProgramFolder(shipped));
    EXPECT_EQ(get(program / "ZQConfigDefault.ini"), "client");
    EXPECT_EQ(get(program / "ZQ Resource" / "home.xml"), "client in place");
    EXPECT_EQ(get(program / "images" / "new.png"), "client made it first");

    // Still the client's on later runs.
    for (const char* name : {"ZQConfigDefault.ini", "ZQ Resource/home.xml"}) {
        age(shipped / name, 60);
    }
    ASSERT_TRUE(device.installProgramFolder(shipped));
    EXPECT_EQ(get(program / "ZQConfigDefault.ini"), "client");
    EXPECT_EQ(get(program / "ZQ Resource" / "home.xml"), "client in place");
}

// Pins: a damaged manifest must not make the installer overwrite anything.
TEST_F(InstallTest, DamagedManifestKeepsInstalledFiles) {
    put(shipped / "a.xml", "a1");
    ASSERT_TRUE(device.installProgramFolder(shipped));
    put(program / DeviceFiles::kInstallManifestName,
        "12 x\n\n-1 2 3\n999999999999999999999 1 1 1 a.xml\n");
    put(shipped / "a.xml", "a2");
    age(shipped / "a.xml", 60);
    ASSERT_TRUE(device.installProgramFolder(shipped));
    EXPECT_EQ(get(program / "a.xml"), "a1");
}

TEST_F(InstallTest, InstalledFolderIsFoundWithoutRegardToCase) {
    put(program / "zq resource" / "keep.txt", "client");
    put(shipped / "ZQ Resource" / "home.xml", "home");
    ASSERT_TRUE(device.installProgramFolder(shipped));
    EXPECT_EQ(get(program / "zq resource" / "home.xml"), "home");
    EXPECT_FALSE(fs::exists(program / "ZQ Resource"));
}

TEST(DeviceRoot, DefaultFollowsXdgThenHome) {
    auto saved = [](const char* name) -> std::optional<std::string> {
        const char* v = std::getenv(name);
        return v ? std::optional<std::string>(v) : std::nullopt;
    };
    auto restore = [](const char* name, const std::optional<std::string>& v) {
        if (!v) {
            unsetenv(name);
            return;
        }
        setenv(name, v->c_str(), 1);
    };
    auto xdg = saved("XDG_DATA_HOME");
    auto home = saved("HOME");

    setenv("XDG_DATA_HOME", "/data", 1);
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(defaultDeviceRoot(), fs::path("/data/zqclient"));
    setenv("XDG_DATA_HOME", "relative", 1);
    EXPECT_EQ(defaultDeviceRoot(), fs::path("/home/u/.local/share/zqclient"));
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(defaultDeviceRoot(), fs::path("/home/u/.local/share/zqclient"));

    restore("XDG_DATA_HOME", xdg);
    restore("HOME", home);
}

}  // namespace
}  // namespace zq
