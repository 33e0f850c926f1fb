// Keys end to end: the built zqclient runs headless against the in-process
// test server; soft keys pressed while a text field has the focus type
// nothing into it, and typed letters are text, not soft keys or bound keys.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/client_fixture.h"

namespace zq {
namespace {

std::string page(const std::string& body) {
    return test::zqmlDocument("<body>\n" + body + "</body>\n");
}

class KeysEndToEndTest : public test::ClientFixture {
protected:
    KeysEndToEndTest() : ClientFixture("keys_e2e_") {}
};

// Regression: the soft keys' codes (112, 113) typed 'p' and 'q' into the
// focused field, so a field holding "a" sent "who=aq", and fired the page's
// bindings for "p" and "q".
TEST_F(KeysEndToEndTest, SoftKeysTypeNothingAndTypedLettersAreText) {
    server_.writePage("index.zqml",
                      page("<key name=\"p\" value=\"forward(bound.zqml)\"/>\n"
                           "<key name=\"q\" value=\"forward(bound.zqml)\"/>\n"
                           "<form id=\"f\" action=\"done.zqml\">\n"
                           "<edit name=\"who\" label=\"Who\" maxsize=\"8\"/>\n"
                           "<button caption=\"Send\" onclick=\"submit(f)\"/>\n"
                           "</form>\n"
                           "<command><commanditem caption=\"One\" action=\"back()\"/>"
                           "<commanditem caption=\"Two\" action=\"back()\"/></command>\n"));
    server_.writePage("done.zqml", page("<text>done</text>\n"));
    server_.writePage("bound.zqml", page("<text>bound</text>\n"));

    // "a", the menu opened and closed by the soft keys, then "pq" typed.
    const std::string script =
        "idle 20000\nkey down\nchar a\nkey soft1\nkey soft2\nchar pq\nkey down\nkey enter\n"
        "idle 10000\n" +
        shot("sent");
    EXPECT_EQ(run(script), 0) << err_;
    EXPECT_EQ(server_.queriesFor("/done.zqml"), std::vector<std::string>{"who=apq"});
    EXPECT_TRUE(server_.queriesFor("/bound.zqml").empty());
}

}  // namespace
}  // namespace zq
