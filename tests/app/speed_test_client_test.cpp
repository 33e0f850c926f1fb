// The speed-test page in the headless client, driven by keys: the test runs
// over an answering host and a closed port, and the chosen host is written
// to the settings file as the host of the next start.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/support/test_env.h"
#include "tests/support/test_server.h"

extern char** environ;

namespace zq {
namespace {

// Runs the client headless on `device` with `keys` until it ends.
void runClient(const std::filesystem::path& binary, const std::filesystem::path& device,
               const std::filesystem::path& keys, const std::filesystem::path& outPath) {
    std::vector<std::string> args{binary.string(), "--headless", "--device",
                                  device.string(), "--keys",     keys.string()};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("DISPLAY=", 0) != 0 && entry.rfind("WAYLAND_DISPLAY=", 0) != 0)
            env.push_back(entry);
    }
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ASSERT_EQ(spawned, 0);
    int status = 0;
    waitpid(pid, &status, 0);
}

TEST(SpeedTestClient, TheSpeedTestPageRunsAndAHostIsMadeDefault) {
    const char* binaryDir = std::getenv("ZQ_BINARY_DIR");
    if (!binaryDir) GTEST_SKIP() << "ZQ_BINARY_DIR is not set (run through ctest)";
    const std::filesystem::path binary = std::filesystem::path(binaryDir) / "app" / "zqclient";
    test::TempDir dir;
    test::TestServer server;
    ASSERT_TRUE(server.started());
    server.writePage("kolm_k1/CheckNetServlet", "ok");
    const std::string a = "127.0.0.1:80:" + std::to_string(server.framedPort()) + ":a:x";
    const std::string b = "127.0.0.1:80:1:b:x";  // nothing listens on port 1

    // The client connects (b refuses, a answers) and the server's first
    // page opens the speed test; b is listed first.
    server.writePage("index.zqml", "<zqml><body onload=\"spt(new)\"><text>x</text></body></zqml>");
    const std::filesystem::path resources = dir.path() / "device" / "Program" / "ZQ Resource";
    ASSERT_TRUE(makeDirectories(resources));
    std::ofstream(resources / "ZQConfig.ini")
        << "[info-system]\nsys-initpath = /index.zqml\nsys-hostset-mode = 1\nsys-curhost = " << b
        << "\nsys-cm-iplist = " << b << "," << a << "\n";
    // Choose b, start, close the end notice, then "设置默认" and yes.
    const std::filesystem::path keys = dir.path() / "keys";
    std::ofstream(keys) << "wait 500\nkey down\nkey fire\nkey down\nkey down\nkey fire\n"
                           "wait 2000\nanswer ok\nkey down\nkey fire\nanswer yes\nwait 200\n";

    runClient(binary, dir.path() / "device", keys, dir.path() / "out");
    const std::string ini = readFile(resources / "ZQConfig.ini").value_or("");
    // Connecting made a the current host; the choice made b the next one.
    EXPECT_NE(ini.find("sys-curhost = " + b), std::string::npos) << ini;
    // The page, then the test of the answering host; the closed port took none.
    ASSERT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(server.requests()[1].target.path, "/kolm_k1/CheckNetServlet");
}

}  // namespace
}  // namespace zq
