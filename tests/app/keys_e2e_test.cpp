// Keys end to end: the built zqclient runs headless against the in-process
// test server; soft keys pressed while a text field has the focus type
// nothing into it, and typed letters are text, not soft keys or bound keys.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/spawn_client.h"
#include "tests/support/test_env.h"
#include "tests/support/test_server.h"

namespace zq {
namespace {

std::string page(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<zqml>\n<body>\n" + body +
           "</body>\n</zqml>\n";
}

// Regression: the soft keys' codes (112, 113) typed 'p' and 'q' into the
// focused field, so a field holding "a" sent "who=aq", and fired the page's
// bindings for "p" and "q".
TEST(KeysEndToEndTest, SoftKeysTypeNothingAndTypedLettersAreText) {
    const char* binaryDir = std::getenv("ZQ_BINARY_DIR");
    if (!binaryDir) GTEST_SKIP() << "ZQ_BINARY_DIR is not set (run through ctest)";
    const std::filesystem::path binary = std::filesystem::path(binaryDir) / "app" / "zqclient";
    ASSERT_TRUE(std::filesystem::exists(binary)) << binary << " is not built";
    test::TestServer server;
    ASSERT_TRUE(server.started());
    test::TempDir dir;

    const std::string host = std::string(test::TestServer::gatewayAddress()) + ":" +
                             std::to_string(server.gatewayPort()) + ":" +
                             std::to_string(server.framedPort());
    const std::filesystem::path resource = dir.path() / "device" / "Program" / "ZQ Resource";
    std::filesystem::create_directories(resource);
    std::ofstream(resource / "ZQConfig.ini")
        << "[info-system]\nsys-cm-iplist = " << host
        << ":T:\ncli-wap-port = " << server.gatewayPort() << "\n";
    server.writePage("index.zqml",
                     page("<key name=\"p\" value=\"forward(bound.zqml)\"/>\n"
                          "<key name=\"q\" value=\"forward(bound.zqml)\"/>\n"
                          "<form id=\"f\" action=\"done.zqml\">\n"
                          "<edit name=\"who\" label=\"Who\" maxsize=\"8\"/>\n"
                          "<button caption=\"Send\" onclick=\"submit(f)\"/>\n"
                          "</form>\n"
                          "<command><commanditem caption=\"One\" action=\"back()\"/>"
                          "<commanditem caption=\"Two\" action=\"back()\"/></command>\n"));
    server.writePage("done.zqml", page("<text>done</text>\n"));
    server.writePage("bound.zqml", page("<text>bound</text>\n"));

    // "a", the menu opened and closed by the soft keys, then "pq" typed.
    const std::string script =
        "idle 20000\nkey down\nchar a\nkey soft1\nkey soft2\nchar pq\nkey down\nkey enter\n"
        "idle 10000\nscreenshot " +
        (test::testOutputDir() / "keys_e2e_sent.png").string() + "\n";
    const std::filesystem::path keys = dir.path() / "soft.keys";
    std::ofstream(keys) << script;
    const std::string errPath = (dir.path() / "stderr").string();
    const int code = test::runChild({binary.string(), "--headless", "--device",
                                     (dir.path() / "device").string(), "--keys", keys.string()},
                                    "/dev/null", errPath);
    std::ifstream err(errPath);
    std::stringstream errText;
    errText << err.rdbuf();
    EXPECT_EQ(code, 0) << errText.str();
    EXPECT_EQ(server.queriesFor("/done.zqml"), std::vector<std::string>{"who=apq"});
    EXPECT_TRUE(server.queriesFor("/bound.zqml").empty());
}

}  // namespace
}  // namespace zq
