#include "app/options.h"

#include <string_view>

namespace zq {

namespace {

// The value of a "--name VALUE" or "--name=VALUE" option, advancing `i`
// past it; false (with `error` set) when it is missing or empty.
bool takeValue(std::string_view arg, std::string_view name, int argc, const char* const* argv,
               int& i, std::string& out, std::string& error) {
    if (arg.size() > name.size() && arg[name.size()] == '=') {
        out = std::string(arg.substr(name.size() + 1));
    } else if (i + 1 < argc) {
        out = argv[++i];
    } else {
        out.clear();
    }
    if (out.empty()) {
        error = std::string(name) + " needs a value";
        return false;
    }
    return true;
}

bool named(std::string_view arg, std::string_view name) {
    return arg == name || (arg.size() > name.size() && arg.substr(0, name.size()) == name &&
                           arg[name.size()] == '=');
}

}  // namespace

ParsedOptions parseOptions(int argc, const char* const* argv) {
    ParsedOptions parsed;
    Options& o = parsed.options;
    auto fail = [&parsed](std::string message) {
        parsed.action = OptionsAction::Error;
        parsed.error = std::move(message);
        return parsed;
    };
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i] ? argv[i] : "";
        std::string error;
        if (arg == "--help" || arg == "-h") {
            parsed.action = OptionsAction::Help;
            return parsed;
        } else if (arg == "--version") {
            parsed.action = OptionsAction::Version;
            return parsed;
        } else if (arg == "--headless") {
            o.headless = true;
        } else if (arg == "--landscape") {
            o.landscape = true;
        } else if (named(arg, "--device")) {
            if (!takeValue(arg, "--device", argc, argv, i, o.deviceDir, error)) return fail(error);
        } else if (named(arg, "--keys")) {
            if (!takeValue(arg, "--keys", argc, argv, i, o.keysPath, error)) return fail(error);
        } else if (named(arg, "--screenshot")) {
            if (!takeValue(arg, "--screenshot", argc, argv, i, o.screenshotPath, error)) {
                return fail(error);
            }
        } else if (arg.substr(0, 1) == "-") {
            return fail("unknown option " + std::string(arg));
        } else {
            return fail("unexpected argument " + std::string(arg));
        }
    }
    return parsed;
}

std::string usageText() {
    return "usage: zqclient [options]\n"
           "  --headless         no window: draw on an in-memory screen\n"
           "  --device DIR       the device folder (default: $XDG_DATA_HOME/zqclient)\n"
           "  --landscape        a 320x240 screen instead of 240x320\n"
           "  --keys SCRIPT      replay the key script SCRIPT\n"
           "  --screenshot FILE  save the screen as a PNG when the replay is done, then exit\n"
           "  --help             show this text\n"
           "  --version          show the version\n";
}

}  // namespace zq
