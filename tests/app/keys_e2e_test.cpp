// Keys end to end: the built zqclient runs headless against the in-process
// test server; soft keys pressed while a text field has the focus type
// nothing into it, typed letters are text, not soft keys or bound keys, and
// typed text goes out as typed while the phone's keys multi-tap.
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

// Regression: typed digits multi-tapped ("600321" went out as "m0da."),
// Chinese was dropped in the abc modes, an emoji was cut in half at a full
// field, a held phone digit never became the digit, and in a new field a
// held phone digit typed itself three times.
TEST_F(KeysEndToEndTest, TypedTextGoesOutAsTypedAndHeldDigitsAreDigits) {
    server_.writePage("index.zqml", page("<form id=\"f\" action=\"done.zqml\">\n"
                                         "<edit name=\"code\" label=\"Code\"/>\n"
                                         "<edit name=\"memo\" label=\"Memo\" maxsize=\"12\"/>\n"
                                         "<edit name=\"tag\" label=\"Tag\" maxsize=\"3\"/>\n"
                                         "<edit name=\"qty\" label=\"Qty\" type=\"num\"/>\n"
                                         "<button caption=\"Send\" onclick=\"submit(f)\"/>\n"
                                         "</form>\n"));
    server_.writePage("done.zqml", page("<text>done</text>\n"));

    // The code as typed, then the phone's 5 held and its 8 held briefly; the
    // memo in "abc" mode: typed text, then the phone's 5 held (its letter
    // turns into the digit) and its 2 tapped twice. The quantity, numbers
    // only: its 5 held long is still one 5.
    const std::string script =
        "idle 20000\nkey down\nchar 600321\nkey 53 x20\nkey 56 x2\nkey down\nkey hash\n"
        "char ab12 中文,\n"
        "key 53 x5\nwait 1200\nkey 50\nkey 50\nwait 1200\n" +
        shot("typed") +
        "key down\nchar 中文😀😀\nkey down\nkey 53 x20\nkey down\nkey enter\nidle 10000\n" +
        shot("sent");
    EXPECT_EQ(run(script), 0) << err_;
    EXPECT_EQ(server_.queriesFor("/done.zqml"),
              std::vector<std::string>{"code=60032158&memo=ab12+%E4%B8%AD%E6%96%87%2C5b&tag=%E4%B8%"
                                       "AD%E6%96%87%F0%9F%98%80&qty=5"});
}

// The focus is on a control drawn on screen, or on none: the fire key acts
// on nothing the screen does not show. Each row is a key script and the
// queries the server then sees for hit.zqml.
enum class Body {
    Links,     // links Z and A, the text, link B; the keys start on A
    TabLinks,  // the same on the first page of a tab body
    Article,   // the text, then link B; nothing focused
    Ranking,   // links Z and A, then 40 rows under a locked head; the keys start on A
    RankList,  // a ranking of 40 rows opening B and A; nothing focused
    TabPage,   // link Z, then a tab whose first page holds the text and link B; the keys start
               // on its bar
};

struct FocusRow {
    const char* name;
    const char* keys;
    std::vector<std::string> hits;
    Body body = Body::Links;
};

// Regression: RIGHT and the scroll bar moved the view and left the focus on
// link A above it, so the fire key opened A while only text was shown.
TEST_F(KeysEndToEndTest, TheFireKeyActsOnlyOnAControlOnScreen) {
    std::string text;
    for (int i = 1; i <= 80; ++i) text += "<text>line " + std::to_string(i) + "</text>\n";
    const FocusRow rows[] = {
        {"right", "key right\nkey right\n", {}},
        {"bartaps", "tap 234 280\ntap 234 280\ntap 234 280\n", {}},
        {"back", "key right\nkey right\nkey left\nkey left\n", {"x=A"}},
        {"tabright", "key right\nkey right\n", {}, Body::TabLinks},
        {"tabbartaps", "tap 234 280\ntap 234 280\ntap 234 280\n", {}, Body::TabLinks},
        // UP to the tab bar first: the bar keeps the keys, and a tap on the
        // text gives them to no control out of view.
        {"barkeys-bartaps", "key up\nkey up\ntap 234 280\ntap 234 280\n", {}, Body::TabLinks},
        {"barkeys-texttap",
         "key up\nkey up\ntap 234 280\ntap 234 280\ntap 60 150\n",
         {},
         Body::TabLinks},
        // With nothing focused UP and DOWN move the view 30 px, to no link out of view.
        {"right-down", "key right\nkey right\nkey down\n", {}},
        {"right-up", "key right\nkey right\nkey up\n", {}},
        {"tabright-up", "key right\nkey right\nkey up\n", {}, Body::TabLinks},
        {"tabright-down", "key right\nkey right\nkey down\n", {}, Body::TabLinks},
        {"article-up", "key up\n", {}, Body::Article},
        {"article-downs-up",
         "key down\nkey down\nkey down\nkey down\nkey down\nkey up\n",
         {},
         Body::Article},
        // Paging over a locked head: a row drawn whole below it, not one under it.
        {"rank-right", "key right\n", {"code=600415"}, Body::Ranking},
        {"rank-right-bartap", "key right\ntap 234 280\n", {"code=600417"}, Body::Ranking},
        {"rank-right-up", "key right\nkey up\n", {"code=600414"}, Body::Ranking},
        {"rank-bartaps", "tap 234 280\ntap 234 280\ntap 234 280\n", {"code=600407"}, Body::Ranking},
        // From the tab bar into its page: the text first, not link B far below.
        {"tabpage-down", "key down\n", {}, Body::TabPage},
        {"tabpage-downs-up", "key down\nkey down\nkey down\nkey up\n", {}, Body::TabPage},
        // The ranking's top row, not its last far below.
        {"ranking-up", "key up\n", {"x=B"}, Body::RankList},
    };
    auto ranking = [](const std::string& hit) {
        std::string table =
            "<table headlock=\"true\"><th><td>代码</td><td>名称</td><td>现价</td></th>\n";
        const char* names[] = {"浦发银行", "白云机场", "东风汽车", "中国国贸"};
        for (int i = 1; i <= 40; ++i) {
            const std::string code = std::to_string(600400 + i);
            table += "<tr onclick=\"fw(" + hit + "?code=" + code + ")\"><td>" + code + "</td><td>" +
                     names[i % 4] + "</td><td>1" + std::to_string(i) + ".05</td></tr>\n";
        }
        return table + "</table>\n";
    };
    for (const FocusRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string hit = std::string("hit-") + row.name + ".zqml";
        const std::string linkZ = "<a href=\"" + hit + "?x=Z\">Link Z</a>\n";
        const std::string head = row.body == Body::Article ? std::string()
                                 : row.body == Body::TabPage
                                     ? linkZ + "<tab id=\"tb\"><p caption=\"信息\">"
                                     : linkZ + "<a href=\"" + hit + "?x=A\">Link A</a>\n";
        std::string links = row.body == Body::Ranking
                                ? head + ranking(hit)
                                : head + text + "<a href=\"" + hit + "?x=B\">Link B</a>\n";
        if (row.body == Body::TabPage) {
            links += "</p><p caption=\"公告\"><text>公告</text></p></tab>\n";
        }
        server_.writePage("index.zqml",
                          row.body == Body::TabLinks
                              ? test::zqmlDocument("<tabbody>\n<page caption=\"One\">" + links +
                                                   "</page>\n</tabbody>\n")
                              : page(links));
        if (row.body == Body::RankList) {
            std::string ranking =
                "<text>涨幅排名</text>\n<table><th><td>排名</td><td>代码</td></th>\n";
            for (int i = 1; i <= 40; ++i) {
                ranking += "<tr onclick=\"fw(" + hit + "?x=" + (i == 1 ? "B" : "A") + ")\"><td>" +
                           std::to_string(i) + "</td><td>" + std::to_string(600000 + i) +
                           "</td></tr>\n";
            }
            server_.writePage("index.zqml", page(ranking + "</table>\n"));
        }
        server_.writePage(hit, page("<text>hit</text>\n"));
        const bool unfocused = row.body == Body::Article || row.body == Body::RankList;
        const std::string start = unfocused ? "" : "key down\nkey down\n";
        const std::string script = std::string("idle 20000\n") + start + row.keys +
                                   shot(std::string("moved-") + row.name) +
                                   "key enter\nidle 10000\n";
        EXPECT_EQ(run(script), 0) << err_;
        EXPECT_EQ(server_.queriesFor("/" + hit), row.hits) << err_;
    }
}

// Regression: a field hidden by the leave action of the field it took the
// focus from kept the focus and its keypad, and took what was typed.
TEST_F(KeysEndToEndTest, AFieldHiddenAsItTakesTheFocusTakesNoText) {
    server_.writePage("index.zqml",
                      page("<form id=\"f\" action=\"done.zqml\">\n"
                           "<edit name=\"code\" label=\"Code\" onlosefocus=\"hide(price)\"/>\n"
                           "<edit id=\"price\" name=\"price\" label=\"Price\" value=\"22\"/>\n"
                           "<edit name=\"qty\" label=\"Qty\"/>\n"
                           "<button caption=\"Send\" onclick=\"submit(f)\"/>\n"
                           "</form>\n"));
    server_.writePage("done.zqml", page("<text>done</text>\n"));
    const std::string script = "idle 20000\nkey down\nkey down\nchar 10\n" + shot("hidden") +
                               "key down\nkey enter\nidle 10000\n";
    EXPECT_EQ(run(script), 0) << err_;
    const std::vector<std::string> sent = server_.queriesFor("/done.zqml");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].find("price=10"), std::string::npos) << sent[0];
    EXPECT_EQ(sent[0].find("price=2210"), std::string::npos) << sent[0];
    EXPECT_NE(sent[0].find("qty=10"), std::string::npos) << sent[0];
}

}  // namespace
}  // namespace zq
