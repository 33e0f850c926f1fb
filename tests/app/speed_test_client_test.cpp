// The speed-test page in the headless client, driven by keys: the test runs
// over an answering host and a closed port, and the chosen host is written
// to the settings file as the host of the next start.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/support/spawn_client.h"
#include "tests/support/test_env.h"
#include "tests/support/test_server.h"

namespace zq {
namespace {

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

    const std::string out = (dir.path() / "out").string();
    test::runChild({binary.string(), "--headless", "--device", (dir.path() / "device").string(),
                    "--keys", keys.string()},
                   out, out);
    const std::string ini = readFile(resources / "ZQConfig.ini").value_or("");
    // Connecting made a the current host; the choice made b the next one.
    EXPECT_NE(ini.find("sys-curhost = " + b), std::string::npos) << ini;
    // The page, then the test of the answering host; the closed port took none.
    ASSERT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(server.requests()[1].target.path, "/kolm_k1/CheckNetServlet");
}

}  // namespace
}  // namespace zq
