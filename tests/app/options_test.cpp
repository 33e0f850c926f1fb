#include "app/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zq {
namespace {

ParsedOptions parse(std::vector<const char*> args) {
    args.insert(args.begin(), "zqclient");
    return parseOptions(static_cast<int>(args.size()), args.data());
}

TEST(Options, ValuesInBothSpellings) {
    ParsedOptions p = parse(
        {"--headless", "--landscape", "--device", "/d", "--keys=k.txt", "--screenshot", "s.png"});
    ASSERT_EQ(p.action, OptionsAction::Run);
    EXPECT_TRUE(p.options.headless);
    EXPECT_TRUE(p.options.landscape);
    EXPECT_EQ(p.options.deviceDir, "/d");
    EXPECT_EQ(p.options.keysPath, "k.txt");
    EXPECT_EQ(p.options.screenshotPath, "s.png");

    ParsedOptions defaults = parse({});
    EXPECT_EQ(defaults.action, OptionsAction::Run);
    EXPECT_FALSE(defaults.options.headless);
    EXPECT_FALSE(defaults.options.landscape);
    EXPECT_TRUE(defaults.options.deviceDir.empty());

    EXPECT_EQ(parse({"--device=/a", "--device", "/b"}).options.deviceDir, "/b");
}

TEST(Options, HelpVersionAndErrors) {
    struct Case {
        std::vector<const char*> args;
        OptionsAction action;
        const char* error;
    };
    const std::vector<Case> cases = {
        {{"--help"}, OptionsAction::Help, ""},
        {{"-h"}, OptionsAction::Help, ""},
        {{"--version", "--bogus"}, OptionsAction::Version, ""},
        {{"--bogus"}, OptionsAction::Error, "unknown option --bogus"},
        {{"--headlessx"}, OptionsAction::Error, "unknown option --headlessx"},
        {{"--devicex=1"}, OptionsAction::Error, "unknown option --devicex=1"},
        {{"stray"}, OptionsAction::Error, "unexpected argument stray"},
        {{"--keys"}, OptionsAction::Error, "--keys needs a value"},
        {{"--screenshot="}, OptionsAction::Error, "--screenshot needs a value"},
        {{"--device", ""}, OptionsAction::Error, "--device needs a value"},
    };
    for (const Case& c : cases) {
        ParsedOptions p = parse(c.args);
        EXPECT_EQ(p.action, c.action) << c.args[0];
        EXPECT_EQ(p.error, c.error) << c.args[0];
    }
}

TEST(Options, UsageNamesEveryOption) {
    std::string usage = usageText();
    for (const char* name : {"--headless", "--device", "--landscape", "--keys", "--screenshot",
                             "--help", "--version"}) {
        EXPECT_NE(usage.find(name), std::string::npos) << name;
    }
}

}  // namespace
}  // namespace zq
