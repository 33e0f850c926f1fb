// The command line of zqclient.
#pragma once

#include <string>

namespace zq {

constexpr const char* kVersionText = "zqclient 0.1.0";

struct Options {
    bool headless = false;
    bool landscape = false;      // 320x240 instead of 240x320
    std::string deviceDir;       // empty: the default device folder
    std::string keysPath;        // a key script to replay
    std::string screenshotPath;  // a PNG written when the replay is done
};

enum class OptionsAction { Run, Help, Version, Error };

struct ParsedOptions {
    OptionsAction action = OptionsAction::Run;
    Options options;
    std::string error;  // for Error: what was wrong, one line
};

// Accepts "--name VALUE" and "--name=VALUE". Read left to right: a later
// option overrides an earlier one, and the first --help, --version or error
// ends the reading.
ParsedOptions parseOptions(int argc, const char* const* argv);

// The usage text, ending with a newline.
std::string usageText();

}  // namespace zq
