// The watch-list end to end: zqclient runs headless against the in-process
// test server; a server page fills the watch-list and the recent list, a
// link sends them as request values, and the batch-delete page removes the
// checked stocks from the list and the page's table. Each step's screen is
// saved in the test output folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/support/client_fixture.h"

namespace zq {
namespace {

class WatchListEndToEndTest : public test::ClientFixture {
protected:
    WatchListEndToEndTest() : ClientFixture("watch_e2e_") {}
};

TEST_F(WatchListEndToEndTest, RequestValuesCarryTheListsAndBatchDeleteRemovesTheCheckedStocks) {
    // A page with its own colours fills the lists.
    const std::string style =
        "<style>body{background-color:#20303c;font-color:#e8eef4;font-size:large}\n"
        "lnk{font-color:#ffd75e}</style>\n";
    server_.writePage(
        "index.zqml",
        "<zqml>" + style +
            "<add stock=\"600000\"/><add stock=\"000001\"/><add stock=\"600036\"/>"
            "<add fund=\"510050\"/>"
            "<addrecent code=\"600000\" name=\"AAA\"/><addrecent code=\"000001\" name=\"BBB\"/>\n"
            "<body><a class=\"lnk\" href=\"quote.zqml#system.sys-stockcode;system.sys-fundcode;"
            "system.sys-laststocks\">行情</a>\n"
            "<a class=\"lnk\" onclick=\"da(stock,code)\">批量删除</a>\n"
            "<table id=\"t\"><th><td name=\"code\">代码</td><td name=\"name\">名称</td></th>"
            "<tr><td>600000</td><td>AAA</td></tr><tr><td>000001</td><td>BBB</td></tr>"
            "<tr><td>600036</td><td>CCC</td></tr></table></body></zqml>\n");
    server_.writePage("quote.zqml", "<zqml><body><text>quote</text></body></zqml>\n");

    // The link, back, the batch delete: the first and third rows checked,
    // "确定" from the menu and yes; then the link again.
    std::string script = "idle 20000\n" + shot("01-page");
    script += "key down\nkey enter\nidle 10000\nkey soft2\nidle 10000\n";
    script += "key down\nkey enter\nidle 10000\n" + shot("02-batch");
    script += "key down\nkey enter\nkey down\nkey down\nkey enter\nkey soft1\n" + shot("03-menu");
    script += "key enter\nanswer yes\nidle 10000\n" + shot("04-returned");
    script += "key up\nkey enter\nidle 10000\n";
    EXPECT_EQ(run(script), 0) << err_;
    EXPECT_NE(err_.find("[删除确认] 确认删除选中的自选股？ -> yes"), std::string::npos) << err_;
    EXPECT_EQ(server_.queriesFor("/quote.zqml"),
              (std::vector<std::string>{
                  "sys-stockcode=600000,000001,600036&sys-fundcode=510050"
                  "&sys-laststocks=000001,600000",
                  "sys-stockcode=000001&sys-fundcode=510050&sys-laststocks=000001,600000"}));
}

// Regression: "autodown" took codes "add" refuses. A code holding line
// feeds wrote a "[fund]" section into MyStock.ini, and after a restart a fund
// the user never held was sent; "&" and "#" in codes went out unencoded.
TEST_F(WatchListEndToEndTest, HostileAutodownCodesNeitherReachTheFileNorTheRequests) {
    const std::string link =
        "<body><text>自选</text><a href=\"quote.zqml#system.sys-stockcode;system.sys-fundcode\">"
        "行情</a></body>";
    server_.writePage("index.zqml",
                      test::zqmlDocument("<autodown c=\"600001,AB&#10;[fund]&#10;1=666666,"
                                         "A&amp;B,C#D, 600002\" t=\"stock\"/>" +
                                         link));
    server_.writePage("quote.zqml", test::zqmlDocument("<body><text>quote</text></body>"));
    std::string script = std::string(kStart) + shot("hostile-01-page");
    script += "key down\nkey down\nkey enter\n" + std::string(kReply) + shot("hostile-02-quote");
    ASSERT_EQ(run(script), 0) << err_;
    const std::string sent = "sys-stockcode=600001,A%26B,C%23D";
    EXPECT_EQ(server_.queriesFor("/quote.zqml"), std::vector<std::string>{sent});
    const std::string file = readFile(device() / "UserData" / "MyStock.ini").value_or("");
    EXPECT_EQ(file, "[stock]\n1=600001\n2=A&B\n3=C#D\n[fund]\n");

    // After a restart, a page without "autodown" sends what the file kept.
    server_.writePage("index.zqml", test::zqmlDocument(link));
    ASSERT_EQ(run(script), 0) << err_;
    EXPECT_EQ(server_.queriesFor("/quote.zqml"), (std::vector<std::string>{sent, sent}));
}

}  // namespace
}  // namespace zq
