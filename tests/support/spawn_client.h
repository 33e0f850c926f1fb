// Starting the client (or any program) as a child process in tests.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace zq::test {

struct SpawnOptions {
    std::string outPath;                // stdout goes here; empty keeps the test's own
    std::string errPath;                // stderr goes here; empty keeps the test's own
    bool errToOut = false;              // stderr joins stdout instead
    std::vector<std::string> extraEnv;  // "NAME=VALUE" entries added
};

// Starts args[0] with `args`, in this process's environment less the display
// variables so a client never opens a window. Returns -1 when it cannot start.
pid_t spawnChild(std::vector<std::string> args, const SpawnOptions& options = {});

// Waits for `pid`; its exit code, or -1 when it did not exit normally.
int waitForChild(pid_t pid);

// Spawns and waits; the exit code, or -1.
int runChild(std::vector<std::string> args, const SpawnOptions& options = {});

}  // namespace zq::test
