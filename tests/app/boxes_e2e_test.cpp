// Boxes end to end: the built zqclient runs headless against the in-process
// test server, and every box a link or a request opens is answered with a
// key, as a person answers it, never with the script's "answer".
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "markup/markup_page.h"
#include "platform/cstring.h"
#include "platform/files.h"
#include "tests/support/client_fixture.h"

namespace zq {
namespace {

std::string page(const std::string& body, const std::string& onload = "") {
    const std::string open = onload.empty() ? "<body>\n" : "<body onload=\"" + onload + "\">\n";
    return test::zqmlDocument(open + body + "</body>\n");
}

class BoxesEndToEndTest : public test::ClientFixture {
protected:
    BoxesEndToEndTest() : ClientFixture("boxes_e2e_") {}

    // How many boxes the client logged with `text` in them.
    size_t boxesWith(const std::string& text) const {
        size_t count = 0;
        for (size_t at = err_.find("message box ["); at != std::string::npos;
             at = err_.find("message box [", at + 1)) {
            const size_t end = err_.find('\n', at);
            if (err_.substr(at, end - at).find(text) != std::string::npos) ++count;
        }
        return count;
    }
};

// Regression: Enter answered a box on its press and its release reached the
// page, whose focused link fired again: the page-size box came back, and one
// press on an SMS link sent the message twice.
TEST_F(BoxesEndToEndTest, EnterOnTheBoxesALinkOpensAnswersThemOnce) {
    std::ofstream(resources() / "big.zqml")
        << page(std::string(MarkupPage::kMaxPageFileBytes, 'x'));
    server_.writePage("index.zqml", page("<a href=\"file://big.zqml\">big</a>\n"
                                         "<a href=\"sms://10086#hello\">sms</a>\n"));
    std::string script = kStart;
    script += "key down\nkey enter\n" + shot("01-too-large") + "key enter\nwait 300\n";
    // The SMS link: its notice, then the report of the sending thread, also
    // when the report is in while the notice is up.
    script += "key down\nkey enter\nidle 10000\n" + shot("02-sending") + "key enter\nidle 10000\n";
    script += shot("03-report") + "key enter\nwait 500\n" + shot("04-page");
    EXPECT_EQ(run(script), 0) << err_;
    EXPECT_EQ(boxesWith(CString(MarkupPage::kPageTooLargeText).toUtf8()), 1u) << err_;
    EXPECT_EQ(boxesWith("短信发送中"), 1u) << err_;
    EXPECT_EQ(boxesWith("成功发送"), 1u) << err_;
    EXPECT_LT(err_.find("短信发送中"), err_.find("成功发送")) << err_;
    EXPECT_EQ(boxesWith("[信息提示]"), 3u) << err_;
    const std::optional<std::string> outbox = readFile(device() / "sms-outbox.txt");
    ASSERT_TRUE(outbox) << err_;
    EXPECT_EQ(outbox->find("hello"), outbox->rfind("hello")) << *outbox;
}

// Regression: Return held on the 否 of a confirm answered it, and its
// repeats and release went on to the page: the focused button asked again
// with 是 focused, and the next Return placed the refused order.
TEST_F(BoxesEndToEndTest, AReturnHeldOnARefusedConfirmPlacesNoOrder) {
    server_.writePage(
        "index.zqml",
        page("<form id=\"f\" action=\"order.zqml\">\n"
             "<edit name=\"qty\" label=\"Qty\" value=\"100\"/>\n"
             "<button caption=\"Buy\" onclick=\"confirm(确认买入?,submit(f),x())\"/>\n"
             "</form>\n"));
    server_.writePage("order.zqml", page("<text>ordered</text>\n"));
    std::string script = kStart;
    script += "key down\nkey down\nkey enter\n" + shot("21-confirm");
    for (const char* held : {"x2", "x5", "x30"}) {
        script += std::string("key right\nkey enter ") + held + "\nwait 300\nkey enter\n";
    }
    script += "key clear x5\nwait 300\n" + shot("22-page");
    EXPECT_EQ(run(script), 0) << err_;
    EXPECT_EQ(boxesWith("确认买入?"), 4u) << err_;
    EXPECT_TRUE(server_.queriesFor("/order.zqml").empty()) << err_;
}

// The window closed while a buy confirm is open has not said yes: the order
// stays unsent.
TEST_F(BoxesEndToEndTest, ClosingTheClientOnAConfirmPlacesNoOrder) {
    server_.writePage(
        "index.zqml",
        page("<form id=\"f\" action=\"order.zqml\">\n"
             "<button caption=\"Buy\" onclick=\"confirm(确认买入?,submit(f),x())\"/>\n"
             "</form>\n"));
    server_.writePage("order.zqml", page("<text>ordered</text>\n"));
    // The script ends, and the client is closed, with the box open.
    EXPECT_EQ(run(std::string(kStart) + "key down\nkey enter\n" + shot("41-confirm")), 0) << err_;
    EXPECT_EQ(boxesWith("确认买入?"), 1u) << err_;
    EXPECT_TRUE(server_.queriesFor("/order.zqml").empty()) << err_;
}

// The alert a page raises and the page's command menu, each answered with a
// held key: the alert closes once and its key goes no further (the page's
// soft key would ask to exit), and the menu's entry fires once.
TEST_F(BoxesEndToEndTest, KeysHeldOnAnAlertOrAMenuAnswerThemOnce) {
    server_.writePage("index.zqml",
                      page("<button caption=\"Warn\" onclick=\"alert(数量不对,1)\"/>\n"
                           "<command><commanditem caption=\"Buy\" action=\"forward(order.zqml)\"/>"
                           "<commanditem caption=\"Two\" action=\"x()\"/></command>\n"));
    server_.writePage("order.zqml", page("<text>ordered</text>\n"));
    std::string script = kStart;
    script += "key down\nkey enter\n" + shot("31-alert") + "key soft2 x5\nwait 300\n";
    script += "key enter\nkey enter x5\nkey soft2 x30\nwait 300\n" + shot("32-page");
    script += "key soft1\n" + shot("33-menu") + "key enter x5\nidle 10000\n" + shot("34-order");
    EXPECT_EQ(run(script), 0) << err_;
    EXPECT_EQ(boxesWith("["), 0u) << err_;
    EXPECT_EQ(server_.queriesFor("/order.zqml").size(), 1u) << err_;
}

// The session resends a request that gets no reply once, under a new id;
// the second silence is the timeout box. Enter on it must reach neither the
// link nor anything else that sends: a server that never answers sees the
// request and its one resend, and the box comes once. A call that cannot be
// made and a server that refuses the connection each give their box once.
TEST_F(BoxesEndToEndTest, EnterOnTheBoxesOfAFailedRequestSendsNothingAgain) {
    test::TestServer silent;
    ASSERT_TRUE(silent.started());
    silent.setFault(testserver::Fault::Missing);
    test::TestServer refusing;
    ASSERT_TRUE(refusing.started());
    ASSERT_TRUE(refusing.setRefusing(true));
    std::ofstream(device() / "device.ini") << "fail-call = 1\n";
    writeConfig(serverLines() + "sys-waittime = 1\n");
    auto link = [](const std::string& href, const std::string& text) {
        return "<a href=\"" + href + "\">" + text + "</a>\n";
    };
    server_.writePage("index.zqml", page(link(silent.urlFor("/slow.zqml"), "slow") +
                                         link(refusing.urlFor("/page.zqml"), "refused") +
                                         link("tel://10086", "call")));
    std::string script = kStart;
    // Two reply waits of a second; the box is open when nothing is in
    // flight, and after its key nothing may be.
    // Each box is answered by a held Enter.
    script +=
        "key down\nkey enter\nidle 15000\n" + shot("11-timeout") + "key enter x5\nidle 15000\n";
    script += "key down\nkey enter\n" + shot("12-refused") + "key enter x5\nwait 500\n";
    script += "key down\nkey enter\n" + shot("13-call") + "key enter x5\nwait 500\n";
    script += shot("14-page");
    EXPECT_EQ(run(script), 0) << err_;
    EXPECT_EQ(boxesWith("网络忙，请尝试手动拨打"), 1u) << err_;
    EXPECT_EQ(boxesWith("由于网络原因，暂时无法完成连接"), 1u) << err_;
    EXPECT_EQ(boxesWith("网络超时，请稍后重试！"), 1u) << err_;
    const std::vector<testserver::ReceivedRequest> sent = silent.requests();
    ASSERT_EQ(sent.size(), 2u) << err_;
    EXPECT_NE(sent[0].url, sent[1].url);  // the resend has an id of its own
    EXPECT_EQ(silent.queriesFor("/slow.zqml").size(), 2u);
}

}  // namespace
}  // namespace zq
