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
    // The SMS link: its notice, then the report of the sending thread.
    script += "key down\nkey enter\n" + shot("02-sending") + "key enter\nwait 1000\n";
    script += shot("03-report") + "key enter\nwait 500\n" + shot("04-page");
    EXPECT_EQ(run(script), 0) << err_;
    EXPECT_EQ(boxesWith(CString(MarkupPage::kPageTooLargeText).toUtf8()), 1u) << err_;
    EXPECT_EQ(boxesWith("短信发送中"), 1u) << err_;
    EXPECT_EQ(boxesWith("[信息提示]"), 3u) << err_;
    const std::optional<std::string> outbox = readFile(device() / "sms-outbox.txt");
    ASSERT_TRUE(outbox) << err_;
    EXPECT_EQ(outbox->find("hello"), outbox->rfind("hello")) << *outbox;
}

}  // namespace
}  // namespace zq
