// The watch-list end to end: the built zqclient runs headless against the
// in-process test server; a server page fills the watch-list and the recent
// list, a link sends them back as request values, and the batch-delete page
// removes the checked stocks from the list and the page's table. Each
// step's screen is saved in the test output folder.
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

std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A page with its own colours and font size.
std::string page(const std::string& head, const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<zqml>\n<style>\n"
           "body{background-color:#20303c;font-color:#e8eef4;font-size:large}\n"
           "lnk{font-color:#ffd75e}\n"
           "</style>\n" +
           head + "<body>\n" + body + "</body>\n</zqml>\n";
}

class WatchListEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* binaryDir = std::getenv("ZQ_BINARY_DIR");
        if (!binaryDir) GTEST_SKIP() << "ZQ_BINARY_DIR is not set (run through ctest)";
        binary_ = std::filesystem::path(binaryDir) / "app" / "zqclient";
        ASSERT_TRUE(std::filesystem::exists(binary_)) << binary_ << " is not built";
        ASSERT_TRUE(server_.started());
        const std::string host = std::string(test::TestServer::gatewayAddress()) + ":" +
                                 std::to_string(server_.gatewayPort()) + ":" +
                                 std::to_string(server_.framedPort());
        const std::filesystem::path resource = dir_.path() / "device" / "Program" / "ZQ Resource";
        std::filesystem::create_directories(resource);
        std::ofstream(resource / "ZQConfig.ini")
            << "[info-system]\nsys-cm-iplist = " << host
            << ":T:\ncli-wap-port = " << server_.gatewayPort() << "\n";
    }

    int run(const std::string& script) {
        const std::filesystem::path keys = dir_.path() / "watch.keys";
        std::ofstream(keys) << script;
        std::vector<std::string> args = {binary_.string(), "--headless",
                                         "--device",       (dir_.path() / "device").string(),
                                         "--keys",         keys.string()};
        const std::string errPath = (dir_.path() / "stderr").string();
        const int code = test::runChild(std::move(args), "/dev/null", errPath);
        err_ = readAll(errPath);
        return code;
    }
    static std::string shot(const std::string& name) {
        return "screenshot " + (test::testOutputDir() / ("watch_e2e_" + name + ".png")).string() +
               "\n";
    }

    test::TempDir dir_;
    test::TestServer server_;
    std::filesystem::path binary_;
    std::string err_;
};

constexpr const char* kStart = "wait 4000\n";
constexpr const char* kReply = "wait 1500\n";

TEST_F(WatchListEndToEndTest, RequestValuesCarryTheListsAndBatchDeleteRemovesTheCheckedStocks) {
    server_.writePage(
        "index.zqml",
        page("<add stock=\"600000\"/><add stock=\"000001\"/><add stock=\"600036\"/>"
             "<add fund=\"510050\"/>\n"
             "<addrecent code=\"600000\" name=\"AAA\"/><addrecent code=\"000001\" name=\"BBB\"/>\n",
             "<a class=\"lnk\" href=\"quote.zqml#system.sys-stockcode;system.sys-fundcode;"
             "system.sys-laststocks\">行情</a>\n"
             "<a class=\"lnk\" onclick=\"da(stock,code)\">批量删除</a>\n"
             "<table id=\"t\"><th><td name=\"code\">代码</td><td name=\"name\">名称</td></th>"
             "<tr><td>600000</td><td>AAA</td></tr><tr><td>000001</td><td>BBB</td></tr>"
             "<tr><td>600036</td><td>CCC</td></tr></table>\n"));
    server_.writePage("quote.zqml", page("", "<text>quote</text>\n"));

    std::string script = kStart;
    script += shot("01-page");
    // The link sends the lists; back on the page, the batch delete.
    script += "key down\nkey enter\n";
    script += kReply;
    script += "key soft2\n";
    script += kReply;
    script += "key down\nkey enter\nwait 300\n";
    script += shot("02-batch");
    // The first and the third row checked, then "确定" and yes.
    script += "key down\nkey enter\nkey down\nkey down\nkey enter\n";
    script += shot("03-checked");
    script += "key soft1\n";
    script += shot("04-menu");
    script += "key enter\nanswer yes\nwait 300\n";
    script += shot("05-returned");
    // The link again: the deleted stocks are gone from the request.
    script += "key up\nkey enter\n";
    script += kReply;

    EXPECT_EQ(run(script), 0) << err_;
    EXPECT_NE(err_.find("确认删除选中的自选股？"), std::string::npos) << err_;
    EXPECT_EQ(server_.queriesFor("/quote.zqml"),
              (std::vector<std::string>{
                  "sys-stockcode=600000,000001,600036&sys-fundcode=510050"
                  "&sys-laststocks=000001,600000",
                  "sys-stockcode=000001&sys-fundcode=510050&sys-laststocks=000001,600000"}));
}

}  // namespace
}  // namespace zq
