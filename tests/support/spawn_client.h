// Starting the client (or any program) as a child process in tests.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace zq::test {

// Starts args[0] with `args`, in this process's environment less the display
// variables (so a client never opens a window) plus `extraEnv` ("NAME=VALUE").
// stdout and stderr go to the named files, or stay the test's own where a
// name is empty; when both name one file, stderr joins stdout. Returns -1
// when the program cannot start.
pid_t spawnChild(std::vector<std::string> args, const std::string& outPath = {},
                 const std::string& errPath = {}, const std::vector<std::string>& extraEnv = {});

// Waits for `pid`; its exit code, or -1 when it did not exit normally.
int waitForChild(pid_t pid);

// Spawns and waits; the exit code, or -1.
int runChild(std::vector<std::string> args, const std::string& outPath = {},
             const std::string& errPath = {}, const std::vector<std::string>& extraEnv = {});

}  // namespace zq::test
