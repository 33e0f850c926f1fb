// A page that reloads itself every second, used through the built
// zqclient headless against the in-process test server: what the user typed,
// where the focus was and how far the page was scrolled outlast the reloads.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/client_fixture.h"

namespace zq {
namespace {

std::string refreshingPage(const std::string& body) {
    return test::zqmlDocument("<body onload=\"refresh(1)\">\n" + body + "</body>\n");
}

const std::string kOrderForm =
    "<form id=\"f\" action=\"done.zqml\">\n"
    "<edit name=\"qty\" label=\"Qty\" type=\"num\" maxsize=\"10\"/>\n"
    "<button caption=\"Send\" onclick=\"submit(f)\"/>\n"
    "</form>\n";

const std::string kSideForm =
    "<form id=\"f\" action=\"done.zqml\">\n"
    "<choicegroup name=\"side\" value=\"B\">\n"
    "<option caption=\"Buy\" value=\"B\"/><option caption=\"Sell\" value=\"S\"/>\n"
    "</choicegroup>\n"
    "<button caption=\"Send\" onclick=\"submit(f)\"/>\n"
    "</form>\n";

// A page of tabs that reloads itself; the bar has the keys at first.
const std::string kTabBody =
    "<tabbody onload=\"refresh(1)\">\n<page caption=\"Buy\"><form id=\"f\" action=\"done.zqml\">"
    "<edit name=\"qty\" value=\"5\"/><button caption=\"Send\" onclick=\"submit(f)\"/></form>"
    "</page>\n<page caption=\"Info\"><a href=\"info.zqml\">info</a></page>\n</tabbody>\n";

std::string quoteTable(int rows = 40) {
    std::string text = "<table id=\"q\"><th><td>Code</td><td>Price</td></th>";
    for (int row = 1; row <= rows; ++row) {
        const std::string n = std::to_string(row);
        text += "<tr onclick=\"forward(row" + n + ".zqml)\"><td>60" + n + "</td><td>1." + n +
                "</td></tr>";
    }
    return text + "</table>\n";
}

std::string longText() {
    std::string text;
    for (int line = 1; line <= 60; ++line)
        text += "<text>line " + std::to_string(line) + "</text><br/>\n";
    return text;
}

std::string repeat(const std::string& step, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += step;
    return text;
}

// Where a script waits until the server has answered the page's next
// reload (runReloading).
constexpr const char* kReloads = "RELOAD\n";

class ReloadEndToEndTest : public test::ClientFixture {
protected:
    ReloadEndToEndTest() : ClientFixture("reload_e2e_") {}

    // Runs `script`, whose K-th kReloads waits for the K-th reload's reply;
    // `failing` reloads, from the first, get no reply.
    int runReloading(std::string script, int failing = 0) {
        const std::string marker = kReloads;
        int reloads = 0;
        for (size_t at; (at = script.find(marker)) != std::string::npos;) {
            const std::string signal =
                (dir_.path() / ("reloaded-" + std::to_string(++reloads))).string();
            std::filesystem::remove(signal);
            script.replace(at, marker.size(), "until 30000 " + signal + "\nidle 10000\n");
        }
        std::atomic<bool> over{false};
        auto answered = [&](size_t count) {
            while (!over && !server_.waitForRepliesSent("/index.zqml", count, 100)) {
            }
            return !over;
        };
        std::thread watcher([&] {
            if (failing > 0 && answered(1)) server_.setFault(testserver::Fault::Missing, failing);
            for (int k = 1; k <= reloads && answered(k + 1); ++k) {
                std::ofstream(dir_.path() / ("reloaded-" + std::to_string(k))) << k;
            }
        });
        const int code = run(script);
        over = true;
        watcher.join();
        return code;
    }
};

TEST_F(ReloadEndToEndTest, WhatTheUserDidOutlastsTheReloads) {
    struct Case {
        const char* name;
        std::string body;
        std::string script;  // after the start-up; the reloads are due in it
        std::function<void()> check;
        int failing = 0;  // the first reloads that get no reply
    };
    auto sent = [this](const std::string& query) {
        return [this, query] {
            EXPECT_EQ(server_.queriesFor("/done.zqml"), std::vector<std::string>{query});
        };
    };
    // The screen saved as `name`-before and as `name`-after is the same.
    auto unchanged = [this](const std::string& name) {
        return [this, name] {
            const test::Shot before = load(name + "-before");
            const test::Shot after = load(name + "-after");
            ASSERT_TRUE(before.image && after.image);
            int differing = 0;
            for (int y = 0; y < 280; ++y) {
                for (int x = 0; x < 240; ++x) differing += before.at(x, y) != after.at(x, y);
            }
            EXPECT_EQ(differing, 0);
        };
    };
    const std::vector<Case> cases = {
        // A changed field that keeps the caret lets the page reload once the
        // user pauses; the next keys go on from the value kept.
        {"typing in a field", kOrderForm,
         std::string("key down\nchar 100\n") + kReloads + "char 500\n" + kReloads +
             "key down\nkey enter\n",
         sent("qty=100500")},
        // The keypad opens right of the field: "4" on its second row, "2" on
        // its first.
        {"typing on the soft keyboard", kOrderForm,
         std::string("key down\ntap 118 75\n") + kReloads + "tap 166 53\n" + kReloads +
             "key down\nkey enter\n",
         sent("qty=42")},
        // Values typed outside a form outlast the reloads as a form's do.
        {"typed in a field of no form",
         "<edit name=\"memo\" maxsize=\"10\"/>\n<a href=\"done.zqml\">go</a>\n",
         "key down\nchar 300\nkey down\nSHOT loose-before\n" + std::string(kReloads) +
             "SHOT loose-after\n",
         unchanged("loose")},
        {"typed in a field of a tree node",
         "<tree id=\"t\"><ti caption=\"Memo\"><edit name=\"memo\" maxsize=\"10\"/>"
         "<a href=\"done.zqml\">go</a></ti></tree>\n",
         "key down\nkey enter\nkey down\nchar 300\nkey down\nSHOT node-before\n" +
             std::string(kReloads) + "SHOT node-after\n",
         unchanged("node")},
        {"soft keyboard open, nothing typed yet", kOrderForm,
         std::string("key down\nSHOT kb-before\n") + kReloads +
             "SHOT kb-after\nchar 42\nkey down\nkey enter\n",
         sent("qty=42")},
        {"changed, then on the send button over a reload", kOrderForm,
         std::string("key down\nchar 100500\nkey down\n") + kReloads + kReloads + "key enter\n",
         sent("qty=100500")},
        {"another option chosen, then on the send button", kSideForm,
         std::string("key down\nkey down\nkey enter\nkey down\n") + kReloads + "key enter\n",
         sent("side=S")},
        {"row 20 of a long quote table", quoteTable(),
         repeat("key down\n", 20) + "SHOT table-before\n" + kReloads +
             "SHOT table-after\nkey enter\n",
         [this] {
             EXPECT_EQ(requestsFor("/row20.zqml"), 1);
             EXPECT_EQ(requestsFor("/row1.zqml"), 0);
         }},
        {"scrolled page", longText(),
         repeat("key down\n", 12) + "SHOT scrolled-before\n" + kReloads + "SHOT scrolled-after\n",
         unchanged("scrolled")},
        // DOWN gave the keys from the tab bar to the page.
        {"on the send button of a tabbody page", kTabBody,
         std::string("key down\nkey down\n") + kReloads + "key enter\n", sent("qty=5")},
        // The reload and its resend get no reply: the box says so, and the
        // page reloads again as it asked.
        {"a reload that failed", kOrderForm, std::string("answer ok\n") + kReloads,
         [this] {
             EXPECT_NE(err_.find("网络超时，请稍后重试！"), std::string::npos) << err_;
             EXPECT_GE(requestsFor("/index.zqml"), 4);
         },
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server_.clearRequests();
        writeConfig(serverLines() + (c.failing > 0 ? "sys-waittime = 1\n" : ""));
        const bool tabBody = c.body.rfind("<tabbody", 0) == 0;
        server_.writePage("index.zqml",
                          tabBody ? test::zqmlDocument(c.body) : refreshingPage(c.body));
        server_.writePage("done.zqml", test::zqmlDocument("<body><text>done</text></body>"));
        std::string script = std::string(kStart) + c.script + kReply;
        // "SHOT name" lines save the screen as `name`.
        for (size_t at; (at = script.find("SHOT ")) != std::string::npos;) {
            const size_t end = script.find('\n', at);
            script.replace(at, end + 1 - at, shot(script.substr(at + 5, end - at - 5)));
        }
        EXPECT_EQ(runReloading(script, c.failing), 0) << err_;
        EXPECT_GE(requestsFor("/index.zqml"), 2) << "the page reloaded";
        c.check();
    }
}

// The reload's reply is a changed page: the server serves `then` from the
// first reload on. What the user typed stays with the field it was typed
// into: the same form (by id or name, else by place) and the same name
// (by rank among those of that name); where the new page has no such
// field, its server took it away, and the page goes on reloading.
TEST_F(ReloadEndToEndTest, TypedValuesStayWithTheirFieldsWhenTheReloadedPageChanges) {
    auto row = [](const std::string& code) {
        return "<text>" + code + "</text><edit name=\"qty\" type=\"num\" maxsize=\"10\"/>\n";
    };
    auto labelled = [](const std::string& code) {
        return "<edit name=\"qty\" label=\"" + code + " 白云机场\" type=\"num\"/>\n";
    };
    auto linked = [](const std::string& code) {
        return "<a href=\"quote.zqml?c=" + code + "\">" + code + "</a>" +
               "<edit name=\"qty\" type=\"num\"/>\n";
    };
    auto numbered = [](int line, const std::string& code) {
        return "<text>" + std::to_string(line) + ". " + code +
               "</text><edit name=\"qty\" type=\"num\"/>\n";
    };
    auto form = [](const std::string& rows, const std::string& action = "done.zqml") {
        return "<form id=\"f\" action=\"" + action + "\">\n" + rows +
               "<button id=\"send\" caption=\"Send\" onclick=\"submit(f)\"/>\n</form>\n";
    };
    // Two forms of one name each; each button sends its own.
    auto buyAndSell = [](const std::string& first, const std::string& second) {
        std::string text;
        for (const std::string& side : {first, second}) {
            text += "<form id=\"" + side + "\" action=\"done.zqml?side=" + side +
                    "\">\n<edit name=\"qty\" type=\"num\" maxsize=\"10\"/>\n"
                    "<button id=\"" +
                    side + "-send\" caption=\"Send " + side + "\" onclick=\"submit(" + side +
                    ")\"/>\n</form>\n";
        }
        return text;
    };
    struct Case {
        const char* name;
        std::string first;
        std::string then;
        std::string script;
        std::vector<std::string> sent;
    };
    const std::vector<Case> cases = {
        // 300 typed for 600001; the reload leaves 600002's row only, which
        // does not get it.
        {"the row typed in is gone",
         form(row("600001") + row("600002")),
         form(row("600002")),
         std::string("key down\nchar 300\nkey down\nkey down\n") + kReloads + "key enter\n",
         {"qty="}},
        // A batch form, one row per stock, reordered: 300 stays with 600000.
        {"the rows reordered",
         form(row("600000") + row("600007") + row("600036")),
         form(row("600007") + row("600000") + row("600036")),
         std::string("key down\nchar 300\nkey down\nkey down\nkey down\n") + kReloads +
             "key enter\n",
         {"qty=&qty=300&qty="}},
        // The stock named by the field's label, by a link to its quote, or
        // after the line's number.
        {"rows labelled by their fields, reordered",
         form(labelled("600000") + labelled("600007")),
         form(labelled("600007") + labelled("600000")),
         std::string("key down\nchar 300\nkey down\nkey down\n") + kReloads + "key enter\n",
         {"qty=&qty=300"}},
        {"rows named by links, reordered",
         form(linked("600000") + linked("600007")),
         form(linked("600007") + linked("600000")),
         std::string("key down\nkey down\nchar 300\nkey down\nkey down\nkey down\n") + kReloads +
             "key enter\n",
         {"qty=&qty=300"}},
        {"numbered rows, reordered",
         form(numbered(1, "600000") + numbered(2, "600007")),
         form(numbered(1, "600007") + numbered(2, "600000")),
         std::string("key down\nchar 300\nkey down\nkey down\n") + kReloads + "key enter\n",
         {"qty=&qty=300"}},
        // 300 typed into the second of two rows of one name.
        {"repeated names",
         form(row("600001") + row("600002")),
         form(row("600001") + row("600002")),
         std::string("key down\nkey down\nchar 300\nkey down\n") + kReloads + kReloads +
             "key enter\n",
         {"qty=&qty=300"}},
        // Each load of the page gives its form a new token.
        {"a token in the action",
         form(row("600001"), "done.zqml?tok=1"),
         form(row("600001"), "done.zqml?tok=2"),
         std::string("key down\nchar 300\nkey down\n") + kReloads + kReloads + "key enter\n",
         {"tok=2&qty=300"}},
        // The server took the field away: the page is shown without it.
        {"the field typed in is gone",
         form(row("600001")),
         form("<edit name=\"price\" type=\"num\" value=\"9\"/>\n"),
         std::string("key down\nchar 300\nkey down\n") + kReloads + kReloads + "key enter\n",
         {"price=9"}},
        // A field put above the one typed in.
        {"a field put above",
         form(row("600001")),
         form("<edit name=\"price\" type=\"num\" value=\"9\"/>\n" + row("600001")),
         std::string("key down\nchar 300\nkey down\n") + kReloads + "key enter\n",
         {"price=9&qty=300"}},
        // 300 typed into the buy form; the reload puts the sell form first.
        {"the forms in another order",
         buyAndSell("b", "s"),
         buyAndSell("s", "b"),
         "key down\nchar 300\nkey down\n" + std::string(kReloads) + "key enter\n",
         {"side=b&qty=300"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server_.clearRequests();
        server_.writePage("index.zqml", refreshingPage(c.first));
        server_.writePage("done.zqml", test::zqmlDocument("<body><text>done</text></body>"));
        // The reply is made before the request is logged: once the first
        // request is seen, the next ones get the new page.
        std::thread changer([this, &c] {
            while (requestsFor("/index.zqml") < 1) {
                if (!server_.waitForRequests(server_.requests().size() + 1, 30000)) return;
            }
            server_.writePage("index.zqml", refreshingPage(c.then));
        });
        EXPECT_EQ(runReloading(std::string(kStart) + c.script + shot("changed") + kReply), 0)
            << err_;
        changer.join();
        EXPECT_GE(requestsFor("/index.zqml"), 2) << "the page reloaded";
        EXPECT_EQ(server_.queriesFor("/done.zqml"), c.sent);
    }
}

// The user is on the second page of a tab, on its send button, when the
// page reloads: the reloaded page shows that tab page with the button
// focused, so ENTER sends what the user typed there.
TEST_F(ReloadEndToEndTest, TheFocusOnATabPageOutlastsAReload) {
    server_.writePage("done.zqml", test::zqmlDocument("<body><text>done</text></body>"));
    server_.writePage(
        "index.zqml",
        refreshingPage("<text>Order</text>\n"
                       "<tab id=\"tb\"><p caption=\"Info\"><text>MMMMMMMM</text></p>\n"
                       "<p caption=\"Buy\"><form id=\"f\" action=\"done.zqml\">"
                       "<edit name=\"code\" label=\"Code\" value=\"600000\"/>"
                       "<edit name=\"qty\" label=\"Qty\"/>"
                       "<button id=\"send\" caption=\"Send\" onclick=\"submit(f)\"/>"
                       "</form></p></tab>\n"));
    // The bar, the "Buy" page, its code and quantity fields, the button.
    const std::string script = std::string(kStart) +
                               "key down\nkey right\nkey down\nkey down\nchar 300\nkey down\n" +
                               kReloads + shot("tab-after") + "key enter\n" + kReply;
    EXPECT_EQ(runReloading(script), 0) << err_;
    EXPECT_GE(requestsFor("/index.zqml"), 2) << "the page reloaded";
    EXPECT_EQ(server_.queriesFor("/done.zqml"), std::vector<std::string>{"code=600000&qty=300"});
}

// The user opened a node of a tree, and stays on its header or moves down
// to its second link, when the page reloads: the node stays open, and the
// link is opened by ENTER there.
TEST_F(ReloadEndToEndTest, TheFocusInAnOpenTreeNodeOutlastsAReload) {
    for (const char* name : {"row1", "row2", "row3"}) {
        server_.writePage(
            std::string(name) + ".zqml",
            test::zqmlDocument(std::string("<body><text>") + name + "</text></body>"));
    }
    server_.writePage("index.zqml",
                      refreshingPage("<text>Tree</text>\n<tree id=\"t\"><ti caption=\"Shanghai\">"
                                     "<a href=\"row1.zqml\">600000</a>"
                                     "<a href=\"row2.zqml\">600036</a></ti>"
                                     "<ti caption=\"Shenzhen\"><a href=\"row3.zqml\">000001</a>"
                                     "</ti></tree>\n"));
    struct Case {
        const char* name;
        const char* before;  // the tree's first node opened, and on from there
        const char* after;   // to the second link
    };
    const Case cases[] = {
        {"on its second link", "key down\nkey enter\nkey down\nkey down\n", ""},
        {"on its header", "key down\nkey enter\n", "key down\nkey down\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server_.clearRequests();
        const std::string script = std::string(kStart) + c.before + kReloads + shot("tree-after") +
                                   c.after + "key enter\n" + kReply;
        EXPECT_EQ(runReloading(script), 0) << err_;
        EXPECT_GE(requestsFor("/index.zqml"), 2) << "the page reloaded";
        EXPECT_EQ(requestsFor("/row2.zqml"), 1);
        EXPECT_EQ(requestsFor("/row1.zqml") + requestsFor("/row3.zqml"), 0);
    }
}

// What a form sends after a reload is what it sends without one, for each
// kind of change the user can make.
TEST_F(ReloadEndToEndTest, AFormSendsTheSameWithAndWithoutAReload) {
    struct Case {
        const char* name;
        std::string form;
        std::string script;  // ends on the send button
    };
    const std::vector<Case> cases = {
        {"every option of a multiple group taken off",
         "<choicegroup name=\"acct\" caption=\"Accounts\" mode=\"multiple\" value=\"a,b\">"
         "<option caption=\"A\" value=\"a\"/><option caption=\"B\" value=\"b\"/></choicegroup>\n",
         "key down\nkey enter\nkey down\nkey enter\nkey down\n"},
        {"a filled field emptied",
         "<edit name=\"qty\" type=\"num\" maxsize=\"10\" value=\"100\"/>\n",
         "key down\nkey backspace\nkey backspace\nkey backspace\nkey down\n"},
        {"a combo box turned",
         "<combobox name=\"acct\" caption=\"Acct\" value=\"sh\"><option caption=\"SH\" "
         "value=\"sh\"/>"
         "<option caption=\"SZ\" value=\"sz\"/></combobox>\n",
         "key down\nkey right\nkey down\n"},
        {"abc mode chosen, then letters after a reload", "<edit name=\"who\" maxsize=\"10\"/>\n",
         std::string("key down\nkey hash\n") + kReloads + "key 50\nkey 50\nkey 50\nkey down\n"},
        {"the caret moved back, then a digit after a reload",
         "<edit name=\"qty\" type=\"num\" maxsize=\"10\" value=\"100500\"/>\n",
         std::string("key down\nkey left\nkey left\n") + kReloads + "char 9\nkey down\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::vector<std::string>> sent;
        for (const char* seconds : {"200", "1"}) {
            server_.clearRequests();
            server_.writePage("done.zqml", test::zqmlDocument("<body><text>done</text></body>"));
            server_.writePage(
                "index.zqml",
                test::zqmlDocument(std::string("<body onload=\"refresh(") + seconds +
                                   ")\"><form id=\"f\" action=\"done.zqml\">" + c.form +
                                   "<button id=\"send\" caption=\"Send\" "
                                   "onclick=\"submit(f)\"/></form></body>"));
            // Without a reload nothing comes to wait for.
            std::string script = std::string(kStart) + c.script + kReloads + "key enter\n" + kReply;
            if (std::string(seconds) == "200") {
                for (size_t at; (at = script.find(kReloads)) != std::string::npos;) {
                    script.erase(at, std::string(kReloads).size());
                }
            }
            EXPECT_EQ(runReloading(script), 0) << err_;
            sent.push_back(server_.queriesFor("/done.zqml"));
        }
        EXPECT_GE(requestsFor("/index.zqml"), 2) << "the page reloaded";
        EXPECT_EQ(sent[1], sent[0]);
        EXPECT_EQ(sent[0].size(), 1u);
    }
}

// The item that has the focus after a reload looks focused: the send
// button wears the sheet's focus fill as it did before the reload.
TEST_F(ReloadEndToEndTest, TheItemFocusedAfterAReloadLooksFocused) {
    constexpr uint32_t kButtonFocusFill = 0xF0A030;
    server_.writePage("index.zqml", refreshingPage(kOrderForm));
    const std::string script = std::string(kStart) + "key down\nchar 5\nkey down\n" +
                               shot("focus-before") + kReloads + shot("focus-after");
    EXPECT_EQ(runReloading(script), 0) << err_;
    EXPECT_GE(requestsFor("/index.zqml"), 2) << "the page reloaded";
    const test::Shot before = load("focus-before");
    const test::Shot after = load("focus-after");
    ASSERT_TRUE(before.image && after.image);
    const int fill = before.count(kButtonFocusFill, 0, 0, 240, 296);
    EXPECT_GT(fill, 100);
    EXPECT_EQ(after.count(kButtonFocusFill, 0, 0, 240, 296), fill);
}

// The user is on a link of a list, or a row of a table, when the page
// reloads with it changed: ENTER afterwards opens the one the user was on.
TEST_F(ReloadEndToEndTest, TheFocusStaysOnItsLinkWhenTheReloadedListChanges) {
    auto links = [](int from, int to) {
        std::string text;
        for (int n = from; n <= to; ++n) {
            const std::string name = "news" + std::to_string(n);
            text += "<a href=\"" + name + ".zqml\"><text>" + name + "</text></a><br/>\n";
        }
        return text;
    };
    struct Case {
        const char* name;
        std::string first;
        std::string then;
        std::string script;
        const char* opened;  // a path, and what its query holds
    };
    // A table whose rows open those pages, without ids.
    auto rows = [](const std::vector<int>& numbers) {
        std::string text = "<table><th><td>News</td></th>";
        for (int n : numbers) {
            const std::string name = "news" + std::to_string(n);
            text += "<tr onclick=\"forward(" + name + ".zqml)\"><td>" + name + "</td></tr>";
        }
        return text + "</table>\n";
    };
    // A quote table whose rows share one action, as quote lists do; the
    // reload moves the prices only.
    auto quotes = [](int tick) {
        std::string text = "<table><th><td>Code</td><td>Price</td></th>";
        for (int n = 1; n <= 5; ++n) {
            text += "<tr onclick=\"forward(news3.zqml)\"><td>news" + std::to_string(n) +
                    "</td><td>1." + std::to_string(n) + std::to_string(tick) + "</td></tr>";
        }
        return text + "</table>\n";
    };
    // Rows of one action that sends the cells of keyed columns: `head`,
    // then each row's first cell, code and a price moved by `tick`.
    auto keyed = [](const std::string& head, const std::vector<std::string>& firsts,
                    const std::vector<std::string>& codes, int tick) {
        std::string text = "<table><th>" + head + "<td name=\"zqdm\">代码</td><td>现价</td></th>";
        for (size_t i = 0; i < codes.size(); ++i) {
            text += "<tr onclick=\"gw(news3.zqml)\"><td>" + firsts[i] + "</td><td>" + codes[i] +
                    "</td><td>1" + std::to_string(9 - i) + "." + std::to_string(tick) +
                    "0</td></tr>";
        }
        return text + "</table>\n";
    };
    const std::string rank = "<td>排名</td>";
    const std::vector<std::string> ranks = {"1", "2", "3", "4", "5"};
    // Orders `first` of 600000, on top, and `second` of 600036.
    auto orders = [](const std::string& first, const std::string& second = "13") {
        std::string text = "<table><th><td>委托号</td><td name=\"code\">代码</td></th>";
        for (const auto& [number, code] :
             {std::pair<std::string, std::string>{first, "600000"}, {second, "600036"}}) {
            text += "<tr onclick=\"fw(news4.zqml?ordno=" + number + ")\"><td>" + number +
                    "</td><td>" + code + "</td></tr>";
        }
        return text + "</table>\n";
    };
    // Each row's action carries its price.
    auto priced = [](int tick) {
        std::string text = "<table><th><td>代码</td><td>现价</td></th>";
        for (int n = 1; n <= 5; ++n) {
            const std::string price = "3.0" + std::to_string(n) + std::to_string(tick);
            text += "<tr onclick=\"fw(news" + std::to_string(n) + ".zqml?p=" + price +
                    ")\"><td>60000" + std::to_string(n) + "</td><td>" + price + "</td></tr>";
        }
        return text + "</table>\n";
    };
    // Rows of `head` whose first item is the row's action, the rest its cells.
    auto listed = [](const std::string& head, const std::vector<std::vector<std::string>>& rows) {
        std::string text = "<table><th>" + head + "</th>";
        for (const auto& row : rows) {
            text += "<tr onclick=\"" + row[0] + "\">";
            for (size_t i = 1; i < row.size(); ++i) text += "<td>" + row[i] + "</td>";
            text += "</tr>";
        }
        return text + "</table>\n";
    };
    const std::string serials = "<td name=\"wth\">序号</td><td>代码</td><td>数量</td>";
    const std::vector<std::string> order2 = {"gw(news4.zqml)", "2", "600004", "200"};
    const std::vector<std::string> order3 = {"gw(news4.zqml)", "3", "600028", "300"};
    const std::vector<std::vector<std::string>> serialsBefore = {
        {"gw(news4.zqml)", "1", "600000", "100"}, order2, order3};
    const std::vector<std::vector<std::string>> serialsAfter = {
        order2, order3, {"gw(news4.zqml)", "4", "600000", "900"}};
    const std::string cancels = "<td>时间</td><td>代码</td><td>方向</td><td>数量</td>";
    const std::vector<std::string> order15 = {"fw(news4.zqml?ordno=15)", "10:02:03", "600036",
                                              "卖出", "200"};
    auto twins = [](const std::string& a, const std::string& h) {
        return std::vector<std::vector<std::string>>{
            {"fw(news4.zqml?c=601398&amp;p=" + a + ")", "工商银行", a},
            {"fw(news4.zqml?c=01398&amp;p=" + h + ")", "工商银行", h}};
    };
    auto sell = [](const std::string& price, int n = 3) {
        return "<button caption=\"卖出 " + price + "\" onclick=\"fw(news" + std::to_string(n) +
               ".zqml)\"/>\n";
    };
    // Its cells 买 and 卖 open their own pages, the row its detail.
    auto trades = [](int tick) {
        std::string text = "<table><th><td>代码</td><td>现价</td><td>买</td><td>卖</td></th>";
        for (int n = 1; n <= 3; ++n) {
            text += "<tr onclick=\"fw(news0.zqml)\"><td>60000" + std::to_string(n) + "</td><td>1." +
                    std::to_string(tick) + "</td><td onclick=\"fw(news" + std::to_string(n) +
                    ".zqml)\">买</td><td onclick=\"fw(news" + std::to_string(n + 3) +
                    ".zqml)\">卖</td></tr>";
        }
        return text + "</table>\n";
    };
    const std::vector<Case> cases = {
        {"a quote row whose price moved", quotes(0), quotes(1), "key down\nkey down\nkey down\n",
         "/news3.zqml"},
        // The code column is keyed otherwise and the rank comes first.
        {"a ranking re-sorted by price",
         keyed(rank, ranks, {"600000", "600007", "600036", "600042", "600519"}, 0),
         keyed(rank, ranks, {"600042", "600519", "600000", "600036", "600007"}, 1),
         "key down\nkey down\n", "/news3.zqml?zqdm=600007"},
        // Order 14 replaced by order 12 of the same stock.
        {"an order replaced by another of its stock", orders("14"), orders("12"), "key down\n", ""},
        {"a ranking's second page re-sorted",
         keyed(rank, {"21", "22", "23", "24", "25"},
               {"600000", "600007", "600036", "600042", "600519"}, 0),
         keyed(rank, {"21", "22", "23", "24", "25"},
               {"600042", "600519", "600000", "600036", "600007"}, 1),
         "key down\nkey down\n", "/news3.zqml?zqdm=600007"},
        {"a ranking of padded ranks re-sorted",
         keyed(rank, {"01", "02", "03", "04", "05"},
               {"600000", "600007", "600036", "600042", "600519"}, 0),
         keyed(rank, {"01", "02", "03", "04", "05"},
               {"600042", "600519", "600000", "600036", "600007"}, 1),
         "key down\nkey down\n", "/news3.zqml?zqdm=600007"},
        // The order number is in the action only; order 16 is of the same stock.
        {"an order gone whose number only its action carries",
         listed(cancels,
                {{"fw(news4.zqml?ordno=14)", "10:01:02", "600000", "买入", "100"}, order15}),
         listed(cancels,
                {order15, {"fw(news4.zqml?ordno=16)", "10:03:04", "600000", "卖出", "500"}}),
         "key down\n", ""},
        {"an order gone whose serial looked like a rank", listed(serials, serialsBefore),
         listed(serials, serialsAfter), "key down\n", ""},
        {"an order kept whose serial looked like a rank", listed(serials, serialsBefore),
         listed(serials, serialsAfter), "key down\nkey down\n", "/news4.zqml?wth=2"},
        {"the second of two rows of one name, code and price in the action",
         listed("<td>名称</td><td>现价</td>", twins("5.46", "4.90")),
         listed("<td>名称</td><td>现价</td>", twins("5.47", "4.91")), "key down\nkey down\n",
         "/news4.zqml?c=01398"},

        // Order numbers that look like ranks.
        {"order 1 replaced by order 3", orders("1", "2"), orders("3", "2"), "key down\n", ""},
        {"walked down a list whose actions carry the price", priced(0), priced(1),
         std::string("key down\n") + kReloads + "key down\n" + kReloads + "key down\n",
         "/news3.zqml"},
        {"the second of two rows of one name",
         keyed("<td>名称</td>", {"工商银行", "工商银行"}, {"601398", "01398"}, 0),
         keyed("<td>名称</td>", {"工商银行", "工商银行"}, {"601398", "01398"}, 1),
         "key down\nkey down\n", "/news3.zqml?zqdm=01398"},
        // 600002's volume is now 600001's: a volume names no row.
        {"a volume met by another row's",
         keyed("<td>成交量</td>", {"1200", "3400", "5600", "7800"},
               {"600001", "600002", "600003", "600004"}, 0),
         keyed("<td>成交量</td>", {"3400", "3500", "5700", "7900"},
               {"600001", "600002", "600003", "600004"}, 1),
         "key down\nkey down\n", "/news3.zqml?zqdm=600002"},
        {"a button whose caption carries the price", sell("10.02"), sell("10.03"), "key down\n",
         "/news3.zqml"},
        {"the first of two buttons whose prices moved", sell("10.02") + sell("10.05", 4),
         sell("10.03") + sell("10.06", 4), "key down\n", "/news3.zqml"},
        {"on the 卖 cell of a row", trades(0), trades(1),
         "key down\nkey down\nkey right\nkey right\nkey right\n", "/news5.zqml"},
        {"a headline put on top", links(1, 5), links(0, 5), "key down\nkey down\nkey down\n",
         "/news3.zqml"},
        {"a row put on top", rows({1, 2, 3, 4, 5}), rows({0, 1, 2, 3, 4, 5}),
         "key down\nkey down\nkey down\n", "/news3.zqml"},
        // The row the user was on is gone: no other takes the focus.
        {"the row taken away", rows({1, 2, 3, 4, 5}), rows({1, 2, 4, 5}),
         "key down\nkey down\nkey down\n", ""},
        {"a headline taken off the top", links(1, 5), links(2, 5), "key down\nkey down\nkey down\n",
         "/news3.zqml"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server_.clearRequests();
        server_.writePage("index.zqml", refreshingPage(c.first));
        for (int n = 0; n <= 5; ++n) {
            server_.writePage("news" + std::to_string(n) + ".zqml",
                              test::zqmlDocument("<body><text>news</text></body>"));
        }
        // As in TypedValuesStayWithTheirFieldsWhenTheReloadedPageChanges.
        std::thread changer([this, &c] {
            while (requestsFor("/index.zqml") < 1) {
                if (!server_.waitForRequests(server_.requests().size() + 1, 30000)) return;
            }
            server_.writePage("index.zqml", refreshingPage(c.then));
        });
        EXPECT_EQ(runReloading(std::string(kStart) + c.script + kReloads + "key enter\n" + kReply),
                  0)
            << err_;
        changer.join();
        EXPECT_GE(requestsFor("/index.zqml"), 2) << "the page reloaded";
        const std::string opened = c.opened;
        const std::string openedPath = opened.substr(0, opened.find('?'));
        for (int n = 0; n <= 5; ++n) {
            const std::string path = "/news" + std::to_string(n) + ".zqml";
            EXPECT_EQ(requestsFor(path), path == openedPath ? 1 : 0) << path;
        }
        const auto queries = server_.queriesFor(openedPath);
        if (opened.find('?') != std::string::npos && queries.size() == 1) {
            EXPECT_NE(queries[0].find(opened.substr(opened.find('?') + 1)), std::string::npos)
                << queries[0];
        }
    }
}

// A ranking list (rank | code | price) whose rows share one action.
// The user is on 600004 (rank 4) when the reload puts a new stock at rank 1:
// ENTER afterwards opens 600004, the record the user chose, not whichever
// stock now has rank 4. The code is the column the head names "code", not
// the first one.
TEST_F(ReloadEndToEndTest, TheFocusStaysOnItsStockWhenARankingListReorders) {
    auto ranking = [](const std::vector<std::string>& codes) {
        std::string text = "<table><th><td>No</td><td name=\"code\">Code</td><td>Price</td></th>";
        for (size_t i = 0; i < codes.size(); ++i) {
            text += "<tr onclick=\"gw(detail.zqml)\"><td>" + std::to_string(i + 1) + "</td><td>" +
                    codes[i] + "</td><td>1" + std::to_string(i) + ".00</td></tr>";
        }
        return text + "</table>\n";
    };
    server_.writePage("detail.zqml", test::zqmlDocument("<body><text>detail</text></body>"));
    server_.writePage("index.zqml",
                      refreshingPage(ranking({"600001", "600002", "600003", "600004", "600005"})));
    std::thread changer([this, &ranking] {
        while (requestsFor("/index.zqml") < 1) {
            if (!server_.waitForRequests(server_.requests().size() + 1, 30000)) return;
        }
        server_.writePage(
            "index.zqml",
            refreshingPage(ranking({"300001", "600001", "600002", "600003", "600004"})));
    });
    EXPECT_EQ(runReloading(std::string(kStart) + "key down\nkey down\nkey down\nkey down\n" +
                           kReloads + "key enter\n" + kReply),
              0)
        << err_;
    changer.join();
    EXPECT_GE(requestsFor("/index.zqml"), 2) << "the page reloaded";
    const auto queries = server_.queriesFor("/detail.zqml");
    ASSERT_EQ(queries.size(), 1u);
    EXPECT_NE(queries[0].find("code=600004"), std::string::npos) << queries[0];
}

// The user opened the node "B" and has its header focused when the reload
// puts a new node "N" on top: "B" stays open with the focus, so DOWN and
// FIRE open its link, not one of "N" or "A".
TEST_F(ReloadEndToEndTest, AnOpenTreeNodeStaysOpenWhenANodeIsPutAboveIt) {
    auto tree = [](bool withNew) {
        return refreshingPage(
            std::string("<tree>") +
            (withNew ? "<ti caption=\"N\"><a href=\"row0.zqml\">row0</a></ti>" : "") +
            "<ti caption=\"A\"><a href=\"row1.zqml\">row1</a></ti>"
            "<ti caption=\"B\"><a href=\"row2.zqml\">row2</a></ti></tree>\n");
    };
    for (const char* name : {"row0", "row1", "row2"}) {
        server_.writePage(
            std::string(name) + ".zqml",
            test::zqmlDocument(std::string("<body><text>") + name + "</text></body>"));
    }
    server_.writePage("index.zqml", tree(false));
    // As in TypedValuesStayWithTheirFieldsWhenTheReloadedPageChanges.
    std::thread changer([this, &tree] {
        while (requestsFor("/index.zqml") < 1) {
            if (!server_.waitForRequests(server_.requests().size() + 1, 30000)) return;
        }
        server_.writePage("index.zqml", tree(true));
    });
    EXPECT_EQ(runReloading(std::string(kStart) + "key down\nkey down\nkey enter\n" + kReloads +
                           "key down\nkey enter\n" + kReply),
              0)
        << err_;
    changer.join();
    EXPECT_GE(requestsFor("/index.zqml"), 2) << "the page reloaded";
    EXPECT_EQ(requestsFor("/row2.zqml"), 1);
    EXPECT_EQ(requestsFor("/row0.zqml") + requestsFor("/row1.zqml"), 0);
}

// The user is on row 30 of a quote table when the reload leaves 8 rows:
// ENTER afterwards opens a row only when the user can see it focused.
TEST_F(ReloadEndToEndTest, EnterOpensOnlyARowShownFocusedAfterTheTableShrank) {
    constexpr uint32_t kRowFocusFill = 0x2E6DA4;
    server_.writePage("index.zqml", refreshingPage(quoteTable()));
    // As in TypedValuesStayWithTheirFieldsWhenTheReloadedPageChanges.
    std::thread changer([this] {
        while (requestsFor("/index.zqml") < 1) {
            if (!server_.waitForRequests(server_.requests().size() + 1, 30000)) return;
        }
        server_.writePage("index.zqml", refreshingPage(quoteTable(8)));
    });
    EXPECT_EQ(runReloading(std::string(kStart) + repeat("key down\n", 30) + shot("unshrunk") +
                           kReloads + shot("shrunk") + "key enter\n" + kReply),
              0)
        << err_;
    changer.join();
    EXPECT_GE(requestsFor("/index.zqml"), 2) << "the page reloaded";
    const test::Shot unshrunk = load("unshrunk");
    const test::Shot shrunk = load("shrunk");
    ASSERT_TRUE(unshrunk.image && shrunk.image);
    EXPECT_GT(unshrunk.count(kRowFocusFill, 0, 0, 240, 296), 0);
    int opened = 0;
    for (int row = 1; row <= 40; ++row)
        opened += requestsFor("/row" + std::to_string(row) + ".zqml");
    EXPECT_EQ(opened > 0, shrunk.count(kRowFocusFill, 0, 0, 240, 296) > 0)
        << opened << " rows opened";
}

// The user closed the soft keyboard of the focused field to see the page:
// a reload leaves it closed.
TEST_F(ReloadEndToEndTest, ASoftKeyboardTheUserClosedStaysClosedOverAReload) {
    server_.writePage("index.zqml", refreshingPage(kOrderForm));
    // Its close key is on its last row.
    const std::string script = std::string(kStart) + "key down\ntap 200 140\n" +
                               shot("closed-before") + kReloads + shot("closed-after");
    EXPECT_EQ(runReloading(script), 0) << err_;
    EXPECT_GE(requestsFor("/index.zqml"), 2) << "the page reloaded";
    const test::Shot before = load("closed-before");
    const test::Shot after = load("closed-after");
    ASSERT_TRUE(before.image && after.image);
    // Below the field, whose caret blinks.
    int differing = 0;
    for (int y = 26; y < 280; ++y) {
        for (int x = 0; x < 240; ++x) differing += before.at(x, y) != after.at(x, y);
    }
    EXPECT_EQ(differing, 0);
}

}  // namespace
}  // namespace zq
