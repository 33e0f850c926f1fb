// Runs the built zqclient program and checks what it prints and saves.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/image.h"
#include "tests/support/client_fixture.h"
#include "tests/support/spawn_client.h"
#include "tests/support/test_env.h"

namespace zq {
namespace {

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class ZqclientTest : public ::testing::Test {
protected:
    void SetUp() override {
        binary_ = test::clientBinary();
        if (binary_.empty()) GTEST_SKIP() << "ZQ_BINARY_DIR is not set (run through ctest)";
        ASSERT_TRUE(std::filesystem::exists(binary_)) << binary_ << " is not built";
    }

    // Runs zqclient with `args` and no display; extra "NAME=VALUE" entries
    // are added to the environment.
    RunResult run(std::vector<std::string> args, std::vector<std::string> extraEnv = {}) {
        args.insert(args.begin(), binary_.string());
        const std::string outPath = (dir_.path() / "stdout").string();
        const std::string errPath = (dir_.path() / "stderr").string();
        RunResult result;
        result.exitCode = test::runChild(std::move(args), outPath, errPath, extraEnv);
        result.out = readFile(outPath).value_or("");
        result.err = readFile(errPath).value_or("");
        return result;
    }

    std::string device() const { return (dir_.path() / "device").string(); }

    test::TempDir dir_;
    std::filesystem::path binary_;
};

TEST_F(ZqclientTest, HeadlessScreenshotHasThePhoneSize) {
    const std::string portrait = (dir_.path() / "p.png").string();
    const std::string landscape = (dir_.path() / "l.png").string();
    RunResult p = run({"--headless", "--device", device(), "--screenshot", portrait});
    EXPECT_EQ(p.exitCode, 0) << p.err;
    RunResult l = run({"--landscape", "--device", device(), "--screenshot", landscape});
    EXPECT_EQ(l.exitCode, 0) << l.err;
    ImageRef first = loadImageFile(portrait);
    ImageRef second = loadImageFile(landscape);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->width(), 240);
    EXPECT_EQ(first->height(), 320);
    EXPECT_EQ(second->width(), 320);
    EXPECT_EQ(second->height(), 240);
    EXPECT_TRUE(std::filesystem::is_directory(dir_.path() / "device" / "Program"));
}

TEST_F(ZqclientTest, VersionHelpAndBadOptions) {
    RunResult version = run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "zqclient 0.1.0\n");
    RunResult help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("usage: zqclient", 0), 0u);
    RunResult bad = run({"--frobnicate"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(bad.out.empty());
    EXPECT_NE(bad.err.find("--frobnicate"), std::string::npos);
    EXPECT_NE(bad.err.find("usage: zqclient"), std::string::npos);
}

TEST_F(ZqclientTest, AKeyScriptWithErrorsIsRefusedWithLineNumbers) {
    const std::filesystem::path script = dir_.path() / "bad.keys";
    std::ofstream(script) << "key down\nkey sideways\n";
    RunResult r = run({"--headless", "--device", device(), "--keys", script.string()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find(script.string() + ":2: "), std::string::npos) << r.err;
}

TEST_F(ZqclientTest, AMissingFontIsOneLineNamingThePackage) {
    const std::filesystem::path config = dir_.path() / "fonts.conf";
    std::ofstream(config) << "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n";
    RunResult r = run({"--headless", "--device", device()}, {"FONTCONFIG_FILE=" + config.string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("fonts-wqy-microhei"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
}

}  // namespace
}  // namespace zq
