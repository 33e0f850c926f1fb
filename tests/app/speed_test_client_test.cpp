// The speed-test page in the headless client, driven by keys: the test runs
// over an answering host and a closed port, and the chosen host is written
// to the settings file as the host of the next start.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/support/client_fixture.h"

namespace zq {
namespace {

class SpeedTestClient : public test::ClientFixture {
protected:
    SpeedTestClient() : ClientFixture("speed_test_") {}
};

TEST_F(SpeedTestClient, TheSpeedTestPageRunsAndAHostIsMadeDefault) {
    server_.writePage("kolm_k1/CheckNetServlet", "ok");
    const std::string a = "127.0.0.1:80:" + std::to_string(server_.framedPort()) + ":a:x";
    const std::string b = "127.0.0.1:80:1:b:x";  // nothing listens on port 1

    // The client connects (b refuses, a answers) and the server's first
    // page opens the speed test; b is listed first.
    server_.writePage("index.zqml", "<zqml><body onload=\"spt(new)\"><text>x</text></body></zqml>");
    writeConfig("sys-initpath = /index.zqml\nsys-hostset-mode = 1\nsys-curhost = " + b +
                "\nsys-cm-iplist = " + b + "," + a + "\n");
    // Choose b, start, close the end notice, then "设置默认" and yes. The
    // answer comes late: the idle step waits for the test's end, not a time.
    server_.setLateDelayMs(300);
    server_.setFault(testserver::Fault::Late);
    run("idle 20000\nkey down\nkey fire\nkey down\nkey down\nkey fire\n"
        "idle 10000\nanswer ok\nkey down\nkey fire\nanswer yes\nidle 10000\n");
    const std::string ini = readFile(resources() / "ZQConfig.ini").value_or("");
    // Connecting made a the current host; the choice made b the next one.
    EXPECT_NE(ini.find("sys-curhost = " + b), std::string::npos) << ini;
    // The page, then the test of the answering host; the closed port took none.
    ASSERT_EQ(server_.requests().size(), 2u);
    EXPECT_EQ(server_.requests()[1].target.path, "/kolm_k1/CheckNetServlet");
}

}  // namespace
}  // namespace zq
