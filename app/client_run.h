// Starting and running the client for a parsed command line.
#pragma once

#include "app/options.h"

namespace zq {

// Exit codes of zqclient.
enum ExitCode : int { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

// Checks the font, prepares the device folder, opens the window (or the
// headless screen), replays the key script and runs the UI loop until it
// quits; then writes the screenshot. Returns the process's exit code.
// Messages for the user go to stderr.
int runClient(const Options& options);

}  // namespace zq
