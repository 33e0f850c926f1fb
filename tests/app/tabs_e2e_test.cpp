// Tab pages, trees and grid menus end to end: the built zqclient runs
// headless against the in-process test server, a key script switches tabs
// (keys and a tap on the bar), opens and closes a tree, walks a grid menu and
// chooses a cell, and submits a form that lives on a tab page. The server's
// log shows what was sent; the saved screens are probed pixel by pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "app/page_controller.h"
#include "items/fixed_head_table.h"
#include "items/grid_menu_item.h"
#include "items/item_makers.h"
#include "items/tab_item.h"
#include "items/tree.h"
#include "markup/style_sheet.h"
#include "platform/files.h"
#include "platform/image.h"
#include "platform/surface.h"
#include "platform/ui_executor.h"
#include "tests/app/controller_fixture.h"
#include "tests/support/client_fixture.h"
#include "tests/support/test_env.h"
#include "tests/support/test_font.h"
#include "tests/support/test_server.h"
#include "ui/client_context.h"
#include "ui/display.h"
#include "ui/font_cache.h"
#include "ui/screen.h"
#include "ui/tabbed_form.h"

namespace zq {
namespace {

using test::Shot;

// Page colours of our own: every probe below looks for one of these.
constexpr uint32_t kPageBg = 0x203040;
constexpr uint32_t kMark[] = {0xC00000, 0x00C000, 0x0000C0};
constexpr uint32_t kCell[] = {0xE04040, 0x40E040, 0x4040E0, 0xE0E040, 0x40E0E0};
constexpr uint32_t kFrame = 0xFF00FF;

constexpr const char* kStyle =
    "<style>\n"
    "pg{background-color:#203040;font-color:#f0f0f0}\n"
    "m0{background-color:#c00000;font-color:#c00000}\n"
    "m1{background-color:#00c000;font-color:#00c000}\n"
    "m2{background-color:#0000c0;font-color:#0000c0}\n"
    "grid{background-color:#203040;gril-foc-brc:#ff00ff;focus-gril-foc-brc:#ff00ff;"
    "focus-background-color:#203040}\n"
    "fld{background-color:#fffbe8;font-color:#101010;border-color:#8090a0;border-width:1}\n"
    "</style>\n";

std::string page(const std::string& bodyElement) {
    return test::zqmlDocument(kStyle + bodyElement);
}

class TabsEndToEndTest : public test::ClientFixture {
protected:
    TabsEndToEndTest() : ClientFixture("tabs_e2e_", kPageBg) {}

    void SetUp() override {
        ClientFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        // The grid's cell pictures, one flat colour each.
        std::filesystem::create_directories(program() / "images");
        for (size_t i = 0; i < std::size(kCell); ++i) {
            Surface cell(24, 24);
            for (int y = 0; y < 24; ++y) {
                for (int x = 0; x < 24; ++x) cell.row(y)[x] = 0xFF000000u | kCell[i];
            }
            std::string name = std::to_string(i);
            name.insert(0, 1, 'c');
            name += ".png";
            ASSERT_TRUE(savePng(cell, (program() / "images" / name).string()));
        }
        server_.writePage("done.zqml", page("<body class=\"pg\"><text>done</text></body>\n"));
    }
};

// The marker block of each tab page fills the page's first line.
TEST_F(TabsEndToEndTest, ATabbedPageSwitchesWithKeysAndATapOnTheBar) {
    server_.writePage(
        "index.zqml",
        page("<tabbody class=\"pg\" selectedpageid=\"TWO\">\n"
             "<page caption=\"One\" id=\"one\"><text class=\"m0\">MMMMMMMMMMMMMMMM</text></page>\n"
             "<page caption=\"Two\" id=\"two\"><text class=\"m1\">MMMMMMMMMMMMMMMM</text>"
             "<a href=\"done.zqml\">go</a></page>\n"
             "<page caption=\"Three\" id=\"three\" turnpage=\"true\">"
             "<text class=\"m2\">MMMMMMMMMMMMMMMM</text></page>\n"
             "</tabbody>\n"));
    std::string script = kStart;
    script += shot("01-tab-two");  // "selectedpageid" in another case
    script += "key left\n";        // the bar has the focus: LEFT is the previous tab
    script += shot("02-tab-one");
    script += "tap 100 16\n";  // the third tab's title
    script += shot("03-tab-three");
    script += "key down\nkey left\n";  // from the page: "turnpage" lets LEFT switch
    script += shot("04-tab-two-again");
    script += "key down\nkey left\n";  // on page two's link, which does not turn: LEFT stays
    script += shot("05-still-two");
    ASSERT_EQ(run(script), 0) << err_;

    const char* names[] = {"01-tab-two", "02-tab-one", "03-tab-three", "04-tab-two-again",
                           "05-still-two"};
    const int expected[] = {1, 0, 2, 1, 1};
    for (int i = 0; i < 5; ++i) {
        const Shot s = load(names[i]);
        ASSERT_NE(s.image, nullptr) << names[i];
        for (int tab = 0; tab < 3; ++tab) {
            const int seen = s.count(kMark[tab], 0, 30, 240, 60);
            if (tab == expected[i]) {
                EXPECT_GT(seen, 100) << names[i] << " should show page " << tab;
            } else {
                EXPECT_EQ(seen, 0) << names[i] << " shows page " << tab;
            }
        }
    }
}

// The tree's children appear under the header when it opens and go when it
// closes; the focus goes down into them and back up to the header.
TEST_F(TabsEndToEndTest, ATreeOpensAndClosesAndTheFocusWalksItsNodes) {
    server_.writePage("index.zqml",
                      page("<body class=\"pg\">\n"
                           "<tree id=\"t\" name=\"\">\n"
                           "<treeitem caption=\"Shanghai\"><ti caption=\"600000\">"
                           "<ti caption=\"inner\"/></ti><ti caption=\"600036\"/></treeitem>\n"
                           "<treeitem caption=\"Shenzhen\"><ti caption=\"000001\"/></treeitem>\n"
                           "</tree>\n<a href=\"done.zqml\">after</a>\n</body>\n"));
    std::string script = kStart;
    script += shot("10-tree-closed");
    script += "key down\nkey enter\n";  // open "Shanghai"
    script += shot("11-tree-open");
    script += "key down\n";  // into the children: the "600000" node
    script += shot("12-tree-child");
    script += "key up\n";  // back to the header
    script += shot("13-tree-header");
    script += "key enter\n";  // close it
    script += shot("14-tree-closed-again");
    script += "key enter\nkey down\n";  // open it again and go into the children
    script += shot("15-tree-child-again");
    ASSERT_EQ(run(script), 0) << err_;

    const Shot closed = load("10-tree-closed");
    const Shot open = load("11-tree-open");
    const Shot child = load("12-tree-child");
    const Shot header = load("13-tree-header");
    const Shot again = load("14-tree-closed-again");
    ASSERT_TRUE(closed.image && open.image && child.image && header.image && again.image);
    // Find the rows: the headers' rows hold ink in every picture, the rows
    // below the first header only while it is open.
    auto rowInk = [](const Shot& s, int y) { return s.ink(0, y, 200, y + 1); };
    int firstHeaderBottom = -1;
    for (int y = 0; y < 120; ++y) {
        if (rowInk(closed, y) > 0) firstHeaderBottom = y;
        if (firstHeaderBottom >= 0 && rowInk(closed, y) == 0 && y > firstHeaderBottom + 3) break;
    }
    ASSERT_GT(firstHeaderBottom, 0);
    // The pictures of the open tree differ from the closed one below the first header.
    const int band0 = firstHeaderBottom + 2, band1 = firstHeaderBottom + 60;
    int differing = 0;
    for (int y = band0; y < band1; ++y) {
        for (int x = 0; x < 200; ++x) differing += closed.at(x, y) != open.at(x, y);
    }
    EXPECT_GT(differing, 50) << "no children appeared";
    // Closed again: below the header's focus bar the picture is the first one's.
    int leftOver = 0;
    for (int y = band0 + 4; y < 200; ++y) {
        for (int x = 0; x < 240; ++x) leftOver += closed.at(x, y) != again.at(x, y);
    }
    EXPECT_EQ(leftOver, 0) << "the children stayed";
    // The focus highlight moves from the header to the child row and back.
    auto highlight = [](const Shot& s, int y0, int y1) {
        int n = 0;
        for (int y = y0; y < y1; ++y) {
            for (int x = 0; x < 230; ++x) {
                const uint32_t c = s.at(x, y);
                n += c != kPageBg && ((c >> 16) & 0xFF) > 0x50 && ((c >> 8) & 0xFF) > 0x50 &&
                     (c & 0xFF) > 0x50 && (c & 0xFF) < 0xE0;
            }
        }
        return n;
    };
    const int headerTop = firstHeaderBottom - 16;
    EXPECT_GT(highlight(open, headerTop, firstHeaderBottom),
              highlight(child, headerTop, firstHeaderBottom));
    EXPECT_GT(highlight(header, headerTop, firstHeaderBottom),
              highlight(child, headerTop, firstHeaderBottom));
    // Opened, closed and opened again: the header no longer looks focused
    // once the focus is in the children.
    const Shot childAgain = load("15-tree-child-again");
    ASSERT_TRUE(childAgain.image);
    EXPECT_EQ(highlight(childAgain, headerTop, firstHeaderBottom),
              highlight(child, headerTop, firstHeaderBottom));
}

// Cells lie 24 + 2 x 10 pixels apart; the frame runs round the focused one.
// A cell is chosen by keys, then in a second run by a tap.
TEST_F(TabsEndToEndTest, AGridMenuIsWalkedAndTheChosenCellSendsItsRequest) {
    std::string cells;
    for (int i = 0; i < 5; ++i) {
        cells += "<c img=\"file://images/c" + std::to_string(i) +
                 ".png\" v=\"fw(done.zqml?cell=" + std::to_string(i) + ")\"/>";
    }
    server_.writePage("index.zqml", page("<body class=\"pg\"><grilmenu class=\"grid\" gid=\"g\" "
                                         "defsel=\"1\">" +
                                         cells + "</grilmenu></body>\n"));
    std::string script = kStart;
    script += "key down\n";
    script += shot("20-grid");
    script += "key right\nkey right\n";  // cells 2, 3
    script += shot("21-grid-moved");
    script += "key enter\n";
    script += kReply;
    script += shot("22-grid-chosen");
    ASSERT_EQ(run(script), 0) << err_;
    EXPECT_EQ(server_.queriesFor("/done.zqml"), std::vector<std::string>{"cell=3"});

    const Shot grid = load("20-grid");
    const Shot moved = load("21-grid-moved");
    ASSERT_TRUE(grid.image && moved.image);
    // Every cell's picture is drawn, whatever the layer held before.
    for (uint32_t colour : kCell) EXPECT_GT(grid.count(colour, 0, 0, 240, 296), 300) << colour;
    // The frame goes round one cell: the centre of its pixels.
    auto frameCentre = [](const Shot& s) {
        int sx = 0, sy = 0, n = 0;
        for (int y = 0; y < 296; ++y) {
            for (int x = 0; x < 240; ++x) {
                if (s.at(x, y) == kFrame) sx += x, sy += y, ++n;
            }
        }
        return n ? std::pair{sx / n, sy / n} : std::pair{-1, -1};
    };
    const auto [bx, by] = frameCentre(grid);
    const auto [ax, ay] = frameCentre(moved);
    ASSERT_GT(bx, 0);
    EXPECT_EQ(ax - bx, 2 * 44);
    EXPECT_EQ(ay, by);
    EXPECT_EQ(grid.at(bx, by), kCell[1]);
    EXPECT_EQ(moved.at(ax, ay), kCell[3]);

    // A tap on the last cell chooses it; one on the gap before it does nothing.
    script = kStart;
    script += "tap " + std::to_string(bx + 3 * 44 - 22) + " " + std::to_string(by) + "\n";
    script += "tap " + std::to_string(bx + 3 * 44) + " " + std::to_string(by) + "\n";
    script += kReply;
    script += shot("23-grid-tapped");
    ASSERT_EQ(run(script), 0) << err_;
    EXPECT_EQ(server_.queriesFor("/done.zqml"), (std::vector<std::string>{"cell=3", "cell=4"}));
}

// A "tab" among the page's items with a form on its second page: the form's
// field and button live on that page, and the button submits the form.
TEST_F(TabsEndToEndTest, AFormOnATabPageSubmitsItsFields) {
    server_.writePage(
        "index.zqml",
        page("<body class=\"pg\"><text>Order</text>\n"
             "<tab id=\"tb\"><p caption=\"Info\"><text class=\"m0\">MMMMMMMM</text></p>\n"
             "<p caption=\"Buy\"><form id=\"f\" action=\"done.zqml\">"
             "<edit class=\"fld\" name=\"code\" label=\"Code\" value=\"600000\"/>"
             "<edit class=\"fld\" name=\"qty\" label=\"Qty\" value=\"100\"/>"
             "<button caption=\"Send\" onclick=\"submit(f)\"/></form></p></tab>\n"
             "</body>\n"));
    std::string script = kStart;
    script += shot("30-tab-info");
    script += "key down\nkey right\n";  // the bar, then the "Buy" page
    script += shot("31-tab-buy");
    script += "key down\nkey down\nkey down\nkey down\nkey enter\n";
    script += kReply;
    script += shot("32-tab-sent");
    ASSERT_EQ(run(script), 0) << err_;
    EXPECT_EQ(server_.queriesFor("/done.zqml"), std::vector<std::string>{"code=600000&qty=100"});
    const Shot info = load("30-tab-info");
    const Shot buy = load("31-tab-buy");
    ASSERT_TRUE(info.image && buy.image);
    EXPECT_GT(info.count(kMark[0], 0, 0, 240, 296), 100);
    EXPECT_EQ(buy.count(kMark[0], 0, 0, 240, 296), 0);
    EXPECT_GT(buy.count(0xFFFBE8, 0, 0, 240, 296), 500);  // the fields
}

// A tree on one tab page, a grid and two bars (one running) on the other, on
// a light page and a dark one. The tree's entries take the page's text
// colour; DOWN past an open node's plain children reaches the next node; UP
// gives the bar the keys back; the grid's cells show on their own tab only;
// the running bar moves; and DOWN walks out of the grid to the link after it.
TEST_F(TabsEndToEndTest, TreesGridsAndBarsOnTabPagesOnALightAndADarkPage) {
    std::string cells;
    for (int i = 0; i < 3; ++i) {
        cells += "<c img=\"file://images/c" + std::to_string(i) + ".png\" v=\"fw(done.zqml)\"/>";
    }
    struct Look {
        const char* name;
        uint32_t back;
        uint32_t text;
    };
    for (const Look& look : {Look{"light", 0xF4F4F0, 0x203040}, Look{"dark", 0x203040, 0xF0F0F0}}) {
        SCOPED_TRACE(look.name);
        auto hex = [](uint32_t c) {
            char text[8];
            std::snprintf(text, sizeof text, "#%06x", static_cast<unsigned>(c));
            return std::string(text);
        };
        const std::string sheet = "<style>\nlk{background-color:" + hex(look.back) +
                                  ";font-color:" + hex(look.text) +
                                  "}\ngrid{background-color:" + hex(look.back) + "}\n</style>\n";
        server_.writePage(
            "index.zqml",
            test::zqmlDocument(
                sheet +
                "<tabbody class=\"lk\">\n<page caption=\"Tree\"><tree id=\"t\">"
                "<ti caption=\"Shanghai\"><ti caption=\"600000\"/><ti caption=\"600036\"/>"
                "</ti><ti caption=\"Shenzhen\"><ti caption=\"000001\"/></ti></tree></page>\n"
                "<page caption=\"Grid\"><progressbar maxvalue=\"-1\" value=\"2\"/>"
                "<progressbar maxvalue=\"10\" value=\"4\"/><gm class=\"grid\" gid=\"g\">" +
                cells + "</gm><a href=\"done.zqml?after=1\">after</a></page>\n</tabbody>\n"));
        const std::string p = std::string(look.name) + "-";
        std::string script = kStart;
        script += shot(p + "50-tree");
        script += "key down\nkey enter\n";  // the page's first item, Shanghai; open it
        script += shot(p + "51-open");
        script += "key down\n";  // past its plain children: Shenzhen
        script += shot(p + "52-next");
        script += "key up\nkey up\nkey right\n";  // Shanghai, the bar, the next tab
        script += shot(p + "53-grid");
        script += "wait 600\n";
        script += shot(p + "54-grid-later");
        // The bars, the grid (spread over the page: DOWN scrolls through
        // it), then the link after it; one DOWN more stays there.
        for (int i = 0; i < 9; ++i) script += "key down\n";
        script += shot(p + "55-after");
        script += "key enter\n";
        script += kReply;
        const size_t sent = server_.queriesFor("/done.zqml").size();
        ASSERT_EQ(run(script), 0) << err_;
        const std::vector<std::string> queries = server_.queriesFor("/done.zqml");
        ASSERT_EQ(queries.size(), sent + 1);
        EXPECT_EQ(queries.back(), "after=1");

        const Shot tree = load(p + "50-tree"), open = load(p + "51-open");
        const Shot next = load(p + "52-next"), grid = load(p + "53-grid");
        const Shot later = load(p + "54-grid-later"), after = load(p + "55-after");
        ASSERT_TRUE(tree.image && open.image && next.image && grid.image && later.image &&
                    after.image);
        // The captions are written in the page's text colour.
        auto nearText = [&look](int r, int g, int b) {
            const int tr = (look.text >> 16) & 0xFF, tg = (look.text >> 8) & 0xFF,
                      tb = look.text & 0xFF;
            return std::abs(r - tr) < 40 && std::abs(g - tg) < 40 && std::abs(b - tb) < 40;
        };
        EXPECT_TRUE(tree.any(20, 30, 120, 120, nearText));
        EXPECT_TRUE(open.any(20, 50, 120, 90, nearText));  // the children
        // The focus bar goes from Shanghai past its plain children to Shenzhen.
        auto focusTop = [](const Shot& s) {
            for (int y = 24; y < 296; ++y) {
                if (s.count(0x707070, 0, y, 240, y + 1) > 100) return y;
            }
            return -1;
        };
        ASSERT_GT(focusTop(open), 0);
        EXPECT_GT(focusTop(next), focusTop(open) + 40);
        // The grid shows on its own tab only.
        for (int i = 0; i < 3; ++i) {
            EXPECT_GT(grid.count(kCell[i], 0, 0, 240, 296), 300) << i;
            EXPECT_EQ(tree.count(kCell[i], 0, 0, 240, 296), 0) << i;
        }
        // The running bar (the first blocks from the top) has moved on.
        int barTop = -1;
        for (int y = 24; y < 120 && barTop < 0; ++y) {
            if (grid.count(0x0000FF, 0, y, 240, y + 1) > 0) barTop = y;
        }
        ASSERT_GT(barTop, 0);
        int moved = 0;
        for (int x = 0; x < 230; ++x) moved += grid.at(x, barTop + 2) != later.at(x, barTop + 2);
        EXPECT_GT(moved, 20);
        // The link after the grid has the focus.
        EXPECT_GT(after.count(0x2E6DA4, 0, 200, 240, 296), 200);
    }
}

// Regression: DOWN from the bar left the new tab page without a focus, so
// typed text was lost and RIGHT paged instead of moving the grid's cell; the
// first tap on a cell scrolled the page and chose nothing; an empty grid
// kept every arrow.
TEST_F(TabsEndToEndTest, KeysAndTapsReachWhatATabPageHolds) {
    std::string cells;
    for (int i = 0; i < 3; ++i) {
        cells += "<c img=\"file://images/c" + std::to_string(i) +
                 ".png\" v=\"fw(done.zqml?cell=" + std::to_string(i) + ")\"/>";
    }
    server_.writePage(
        "index.zqml",
        page("<tabbody class=\"pg\"><page caption=\"One\"><text>one</text></page>\n"
             "<page caption=\"Grid\"><gm class=\"grid\" gid=\"g\">" +
             cells +
             "</gm><a href=\"done.zqml?after=1\">after</a></page>\n"
             "<page caption=\"Tap\"><progressbar maxvalue=\"10\" value=\"4\"/><text>cells</text>"
             "<gm class=\"grid\" gid=\"t\">" +
             cells +
             "</gm><a href=\"done.zqml?after=2\">after</a></page>\n"
             "<page caption=\"Form\"><form id=\"f\" action=\"done.zqml\">"
             "<edit class=\"fld\" name=\"q\" value=\"\"/></form><gm gid=\"none\"></gm>"
             "<button caption=\"Send\" onclick=\"submit(f)\"/></page></tabbody>\n"));
    std::string grid = std::string(kStart) + "key right\nkey right\n" + shot("40-grid-page");
    ASSERT_EQ(run(grid), 0) << err_;
    // Where the third cell is drawn before anything on the page has the focus.
    const Shot before = load("40-grid-page");
    ASSERT_TRUE(before.image);
    int sx = 0, sy = 0, n = 0;
    for (int y = 0; y < 296; ++y) {
        for (int x = 0; x < 240; ++x) {
            if (before.at(x, y) == kCell[2]) sx += x, sy += y, ++n;
        }
    }
    ASSERT_GT(n, 300);

    struct Case {
        const char* name;
        std::string keys;
        std::string query;
    };
    const Case cases[] = {
        {"DOWN focuses the grid, RIGHT moves its cell",
         "key right\nkey down\nkey right\nkey enter\n", "cell=1"},
        {"the first tap chooses",
         "key right\nkey right\ntap " + std::to_string(sx / n) + " " + std::to_string(sy / n) +
             "\n",
         "cell=2"},
        {"typed text lands in the field; the empty grid is passed by",
         "key right\nkey right\nkey right\nkey down\nchar 42\nkey down\nkey enter\n", "q=42"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t sent = server_.queriesFor("/done.zqml").size();
        ASSERT_EQ(run(std::string(kStart) + c.keys + kReply), 0) << err_;
        const std::vector<std::string> queries = server_.queriesFor("/done.zqml");
        ASSERT_EQ(queries.size(), sent + 1);
        EXPECT_EQ(queries.back(), c.query);
    }
}

// Regression: pictures on a tab page shown later were never asked for, and
// in a "tab" page or under a tree node they were asked for while the page
// was built, for no screen, and never drawn.
TEST_F(TabsEndToEndTest, PicturesAreAskedForWhenTheirTabPageOrNodeIsShown) {
    for (int i = 0; i < 4; ++i) {
        const std::string name = "c" + std::to_string(i) + ".png";
        server_.writePage("pics/" + name, readFile(program() / "images" / name).value_or(""));
    }
    server_.writePage(
        "index.zqml",
        page("<tabbody class=\"pg\"><page caption=\"One\"><text>one</text></page>\n"
             "<page caption=\"Two\"><img src=\"pics/c0.png\"/><affixImg durl=\"pics/c1.png\"/>"
             "</page>\n<page caption=\"Three\"><tab><p caption=\"A\"><img src=\"pics/c2.png\"/>"
             "</p><p caption=\"B\"><text>b</text></p></tab>\n<tree><ti caption=\"Node\">"
             "<affixImg durl=\"pics/c3.png\"/></ti></tree></page></tabbody>\n"));
    std::string script = kStart;
    script += "key right\n" + std::string(kReply) + shot("60-tab-two");
    script += "key right\n" + std::string(kReply) + shot("61-tab-three");
    script += "key down\nkey down\nkey down\nkey enter\n" + std::string(kReply) + shot("62-node");
    ASSERT_EQ(run(script), 0) << err_;

    struct Case {
        const char* name;
        int picture;
        const char* shot;
    };
    const Case cases[] = {{"a picture on a later tab page", 0, "60-tab-two"},
                          {"a verification picture on a later tab page", 1, "60-tab-two"},
                          {"a picture in a tab item's page", 2, "61-tab-three"},
                          {"a verification picture under a tree node", 3, "62-node"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::string> asked =
            server_.queriesFor("/pics/c" + std::to_string(c.picture) + ".png");
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].find("screenid=-1"), std::string::npos) << asked[0];
        const Shot shown = load(c.shot);
        ASSERT_TRUE(shown.image);
        EXPECT_GT(shown.count(kCell[c.picture], 0, 0, 240, 296), 300);
    }
}

// Regression: a centred button was hit at its place in the line but drawn
// half as far from the left (after a text on its row), or at the left edge
// (alone), so a tap on the drawn button did nothing and a tap beside it fired.
TEST_F(TabsEndToEndTest, AButtonIsHitWhereTheShippedSheetDrawsIt) {
    const std::string button = "<button caption=\"Go\" onclick=\"forward(done.zqml?b=1)\"/>";
    struct Case {
        const char* name;
        std::string body;
    };
    const Case cases[] = {
        {"after a text", "<body><text>BTN page</text>" + button + "</body>"},
        {"alone", "<body>" + button + "</body>"},
        {"on a tab page",
         "<tabbody><page caption=\"One\"><text>BTN page</text>" + button + "</page></tabbody>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server_.writePage("index.zqml", test::zqmlDocument(c.body));
        ASSERT_EQ(run(std::string(kStart) + shot("70-button")), 0) << err_;
        // The button's box: its fill, focused or not, in the shipped sheet's colours.
        const Shot drawn = load("70-button");
        ASSERT_TRUE(drawn.image);
        int left = 240, right = -1, top = 296, bottom = -1;
        for (int y = 0; y < 296; ++y) {
            for (int x = 0; x < 240; ++x) {
                const uint32_t p = drawn.at(x, y);
                if (p != 0xDFE6EE && p != 0xF0A030) continue;
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
        }
        ASSERT_GT(right - left, 20);
        const int y = (top + bottom) / 2;
        const size_t sent = server_.queriesFor("/done.zqml").size();
        // Beside it nothing happens; on it the button fires.
        auto tap = [&](int x) {
            return std::string(kStart) + "tap " + std::to_string(x) + " " + std::to_string(y) +
                   "\n" + kReply;
        };
        ASSERT_EQ(run(tap(left - 6) + tap(right + 6)), 0) << err_;
        EXPECT_EQ(server_.queriesFor("/done.zqml").size(), sent);
        ASSERT_EQ(run(tap((left + right) / 2)), 0) << err_;
        EXPECT_EQ(server_.queriesFor("/done.zqml").size(), sent + 1);
    }
}

// --- the same pages in process: the item tree ----------------------------------------

constexpr int kKeyLeft = 37;
constexpr int kKeyUp = 38;
constexpr int kKeyRight = 39;
constexpr int kKeyDown = 40;
constexpr int kKeyFire = 13;

class TabsInProcessTest : public test::ControllerFixture<> {
protected:
    TabsInProcessTest() {
        useServer(false);
        server_.writePage("done.zqml", "<zqml><body><text>done</text></body></zqml>");
    }

    void open(const std::string& path, const std::string& text) {
        server_.writePage(path.substr(1), text);
        controller_->openUrl({.url = CString::fromUtf8(server_.urlFor(path))});
        ASSERT_TRUE(pumpUntil([&] { return shows(path); })) << path;
        Surface window(240, 320);
        display_->paint(window);
    }
    void key(int code) {
        display_->keyDown(code, 0);
        display_->keyUp(code);
    }
    void tap(int x, int y) {
        display_->onInput(PointerDown{x, y});
        display_->onInput(PointerUp{x, y});
    }
    template <class T>
    T* item(const char16_t* id) const {
        Screen* screen = controller_->currentScreen();
        return screen ? dynamic_cast<T*>(screen->getItemByName(CString(id))) : nullptr;
    }
    std::string requestFor(const std::string& path) const {
        for (const testserver::ReceivedRequest& r : server_.requests()) {
            if (r.target.path == path) return r.target.query;
        }
        return std::string();
    }
};

TEST_F(TabsInProcessTest, TabBodyKeysAndATapOnTheBarSwitchThePage) {
    open("/tabs.zqml",
         "<zqml><tabbody><page caption='One'><text id='a'>a</text></page>"
         "<page caption='Two'><text id='b'>b</text></page>"
         "<page caption='Three'><text id='c'>c</text></page></tabbody></zqml>");
    auto* form = dynamic_cast<TabbedForm*>(controller_->currentScreen());
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->getSelectedTab(), 0);
    key(kKeyRight);
    EXPECT_EQ(form->getSelectedTab(), 1);
    // The shown page is the content's one child.
    ASSERT_EQ(form->getContent()->size(), 1);
    EXPECT_EQ(form->getContent()->getItem(0), form->getPage(1));
    key(kKeyLeft);
    EXPECT_EQ(form->getSelectedTab(), 0);

    // A tap on the third title: the bar is the screen's header.
    TabBar* bar = form->getTabBar();
    ASSERT_NE(bar, nullptr);
    Surface window(240, 320);
    display_->paint(window);
    int third = -1;
    for (int x = 0; x < 240 && third < 0; ++x) {
        tap(x, 10);
        if (form->getSelectedTab() == 2) third = x;
        if (form->getSelectedTab() != 0) form->setSelectedTab(0, false);
    }
    EXPECT_GT(third, 0) << "no tap on the bar chose the third tab";
    tap(third, 10);
    EXPECT_EQ(form->getSelectedTab(), 2);
    EXPECT_EQ(form->getContent()->getItem(0), form->getPage(2));
}

// DOWN from the bar to a page with nothing that takes the focus took it
// from the bar and gave it to nothing: nothing looked focused and LEFT and
// RIGHT no longer switched the page.
TEST_F(TabsInProcessTest, DownToAPageWithNothingToFocusKeepsTheBar) {
    struct Case {
        const char* name;
        const char* firstPage;
    };
    const Case cases[] = {
        {"only texts", "<text>a</text><text>b</text>"},
        {"only an empty grid", "<grilmenu gid='g'></grilmenu>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        open("/tabs.zqml", std::string("<zqml><tabbody><page caption='One'>") + c.firstPage +
                               "</page><page caption='Two'><text>c</text></page></tabbody></zqml>");
        auto* form = dynamic_cast<TabbedForm*>(controller_->currentScreen());
        ASSERT_NE(form, nullptr);
        ASSERT_TRUE(form->isTabBarFocused());
        key(kKeyDown);
        key(kKeyDown);  // held
        EXPECT_TRUE(form->isTabBarFocused());
        key(kKeyRight);
        EXPECT_EQ(form->getSelectedTab(), 1);
    }
}

// UP from a field at the top of a tab page gave the bar the keys, but the
// field kept its focused look and its soft keyboard, also after the page
// was switched away and back: two things looked as if they had the keys.
TEST_F(TabsInProcessTest, UpFromAFieldToTheBarLeavesOnlyTheBarFocused) {
    open("/tabs.zqml",
         "<zqml><tabbody><page caption='One'><text>a</text></page>"
         "<page caption='Two'><edit id='q' name='q' value=''/></page>"
         "<page caption='Three'><text>c</text></page></tabbody></zqml>");
    auto* form = dynamic_cast<TabbedForm*>(controller_->currentScreen());
    ASSERT_NE(form, nullptr);
    key(kKeyRight);
    auto* field = item<Item>(u"q");
    ASSERT_NE(field, nullptr);
    key(kKeyDown);
    ASSERT_TRUE(field->isFocused());
    ASSERT_NE(form->getKeyboardTarget(), nullptr);
    key(kKeyUp);
    EXPECT_TRUE(form->isTabBarFocused());
    EXPECT_FALSE(field->isFocused());
    EXPECT_EQ(form->getKeyboardTarget(), nullptr);
    key(kKeyRight);
    key(kKeyLeft);
    EXPECT_TRUE(form->isTabBarFocused());
    EXPECT_FALSE(field->isFocused());
    key(kKeyDown);  // and DOWN gives the field the keys again
    EXPECT_FALSE(form->isTabBarFocused());
    EXPECT_TRUE(field->isFocused());
}

TEST_F(TabsInProcessTest, TreeNodesOpenCloseAndTheFocusGoesInAndBackUp) {
    open("/tree.zqml",
         "<zqml><body><tree id='t'><ti caption='A'><ti caption='A1'><ti caption='A1a'/></ti>"
         "<ti caption='A2'/></ti><ti caption='B'><ti caption='B1'/></ti></tree>"
         "<a href='done.zqml'>after</a></body></zqml>");
    auto* tree = item<TreeContainer>(u"t");
    ASSERT_NE(tree, nullptr);
    auto* a = dynamic_cast<NodeItem*>(tree->getItem(0));
    ASSERT_NE(a, nullptr);
    auto* a1 = dynamic_cast<NodeItem*>(a->children().getItem(0));
    ASSERT_NE(a1, nullptr);

    key(kKeyDown);  // the tree: A's header
    EXPECT_TRUE(a->header()->isFocused());
    const int closedHeight = tree->itemHeight();
    key(kKeyFire);
    EXPECT_TRUE(a->isExpanded());
    Surface window(240, 320);
    display_->paint(window);
    EXPECT_GT(tree->itemHeight(), closedHeight);  // A1 and A2 appeared
    key(kKeyDown);                                // into the children: A1's header
    EXPECT_FALSE(a->header()->isFocused());
    EXPECT_TRUE(a1->header()->isFocused());
    key(kKeyFire);  // A1 opens too
    EXPECT_TRUE(a1->isExpanded());
    key(kKeyUp);  // back up to A
    EXPECT_FALSE(a1->header()->isFocused());
    EXPECT_TRUE(a->header()->isFocused());
    key(kKeyFire);  // A closes, and A1 with it
    EXPECT_FALSE(a->isExpanded());
    EXPECT_FALSE(a1->isExpanded());
    display_->paint(window);
    EXPECT_EQ(tree->itemHeight(), closedHeight);
}

// FIRE on a quote row sends it with "gettablerow", whether the table stands
// on a tab page or under a tree node.
TEST_F(TabsInProcessTest, ARowOfATableOnATabPageOrInATreeIsSent) {
    const std::string table =
        "<table id='q'><th><td name='code'>Code</td><td>Price</td></th>"
        "<tr onclick='gw(done.zqml)'><td>600001</td><td>1.00</td></tr>"
        "<tr onclick='gw(done.zqml)'><td>600002</td><td>2.00</td></tr></table>";
    open("/tabs.zqml",
         "<zqml><tabbody><page caption='One'><text>a</text></page>"
         "<page caption='Two'>" +
             table + "</page></tabbody></zqml>");
    key(kKeyRight);  // the bar: page two
    key(kKeyDown);   // the page's first item: the table's first row
    key(kKeyDown);
    key(kKeyFire);
    ASSERT_TRUE(pumpUntil([&] { return !requestFor("/done.zqml").empty(); }));
    EXPECT_NE(requestFor("/done.zqml").find("code=600002&num=1"), std::string::npos)
        << requestFor("/done.zqml");

    open("/tree.zqml",
         "<zqml><body><tree id='t'><ti caption='Quotes'>" + table + "</ti></tree></body></zqml>");
    key(kKeyDown);  // the node's header
    key(kKeyFire);  // opens it
    key(kKeyDown);  // into the children: the table's first row
    key(kKeyFire);
    ASSERT_TRUE(pumpUntil([&] { return server_.queriesFor("/done.zqml").size() == 2; }));
    EXPECT_NE(server_.queriesFor("/done.zqml")[1].find("code=600001&num=0"), std::string::npos)
        << server_.queriesFor("/done.zqml")[1];
}

// Regression: after a tap on a row of a tab page and a way back, the bar
// and the row both looked focused, DOWN only handed the keys back and FIRE
// sent the tapped row again.
TEST_F(TabsInProcessTest, AfterATappedRowAndBackDownAndFireSendTheNextRow) {
    const std::string table =
        "<table id='q'><th><td name='code'>Code</td><td>Price</td></th>"
        "<tr onclick='gw(done.zqml)'><td>600001</td><td>1.00</td></tr>"
        "<tr onclick='gw(done.zqml)'><td>600002</td><td>2.00</td></tr>"
        "<tr onclick='gw(done.zqml)'><td>600003</td><td>3.00</td></tr></table>";
    open("/tabs.zqml", "<zqml><tabbody><page caption='One'>" + table +
                           "</page><page caption='Two'><text>b</text></page></tabbody></zqml>");
    auto* form = dynamic_cast<TabbedForm*>(controller_->currentScreen());
    auto* rows = item<FixTableItem>(u"q");
    ASSERT_TRUE(form && rows);
    ASSERT_GT(rows->rowHeight(), 0);
    // The first data row, below the head.
    const int y = rows->getAbsoluteY() + rows->contentY() + rows->headHeight() +
                  rows->rowHeight() / 2 + form->getScrollOffset();
    tap(rows->getAbsoluteX() + 20, y);
    ASSERT_TRUE(pumpUntil([&] { return server_.queriesFor("/done.zqml").size() == 1; }));
    ASSERT_TRUE(pumpUntil([&] { return shows("/done.zqml"); }));
    EXPECT_NE(server_.queriesFor("/done.zqml")[0].find("code=600001&num=0"), std::string::npos)
        << server_.queriesFor("/done.zqml")[0];

    controller_->goHistory(1);
    ASSERT_TRUE(pumpUntil([&] { return shows("/tabs.zqml"); }));
    ASSERT_EQ(controller_->currentScreen(), form);
    Surface window(240, 320);
    display_->paint(window);
    // One thing looks focused: the row, not the bar.
    EXPECT_FALSE(form->isTabBarFocused());
    EXPECT_FALSE(form->getTabBar()->isFocused());
    key(kKeyDown);
    key(kKeyFire);
    ASSERT_TRUE(pumpUntil([&] { return server_.queriesFor("/done.zqml").size() == 2; }));
    EXPECT_NE(server_.queriesFor("/done.zqml")[1].find("code=600002&num=1"), std::string::npos)
        << server_.queriesFor("/done.zqml")[1];
}

TEST_F(TabsInProcessTest, AGridCellChosenByKeysSendsItsValue) {
    std::string cells;
    for (int i = 0; i < 5; ++i) {
        cells += "<c img='file://x.png' v='fw(done.zqml?cell=" + std::to_string(i) + ")'/>";
    }
    open("/grid.zqml", "<zqml><body><gm gid='g' id='gm'>" + cells + "</gm></body></zqml>");
    auto* grid = item<GridMenuItem>(u"gm");
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->cellCount(), 5);
    key(kKeyDown);
    key(kKeyRight);
    key(kKeyRight);
    EXPECT_EQ(grid->getSelectedIndex(), 2);
    key(kKeyFire);
    ASSERT_TRUE(pumpUntil([&] { return !requestFor("/done.zqml").empty(); }));
    EXPECT_EQ(requestFor("/done.zqml").substr(0, 6), "cell=2");
}

// Regression: the grid kept DOWN and UP to itself, so the link after it was
// out of reach and, on a tab page, the bar never got the keys back.
TEST_F(TabsInProcessTest, KeysLeaveAGridOnATabPageDownToTheNextItemAndUpToTheBar) {
    std::string cells;
    for (int i = 0; i < 3; ++i) {
        cells += "<c img='file://x.png' v='fw(done.zqml?cell=" + std::to_string(i) + ")'/>";
    }
    open("/grid.zqml", "<zqml><tabbody><page caption='One'><gm gid='g' id='gm'>" + cells +
                           "</gm><a href='done.zqml?after=1' name='after'>after</a></page>"
                           "<page caption='Two'><text>b</text></page></tabbody></zqml>");
    auto* form = dynamic_cast<TabbedForm*>(controller_->currentScreen());
    auto* grid = item<GridMenuItem>(u"gm");
    auto* after = item<Item>(u"after");
    ASSERT_TRUE(form && grid && after);
    key(kKeyDown);  // the bar gives the page the keys
    if (!grid->isFocused()) key(kKeyDown);
    ASSERT_TRUE(grid->isFocused());
    EXPECT_FALSE(form->isTabBarFocused());
    // One row, spread over the page: DOWN scrolls to its end, then leaves it.
    for (int i = 0; i < 10 && !after->isFocused(); ++i) key(kKeyDown);
    EXPECT_FALSE(grid->isFocused());
    EXPECT_TRUE(after->isFocused());
    bool backInGrid = false;
    for (int i = 0; i < 10 && !form->isTabBarFocused(); ++i) {
        key(kKeyUp);
        backInGrid = backInGrid || grid->isFocused();
    }
    EXPECT_TRUE(backInGrid);
    EXPECT_TRUE(form->isTabBarFocused());  // the top row: UP goes on to the bar
    key(kKeyRight);                        // and the bar's keys switch tabs
    EXPECT_EQ(form->getSelectedTab(), 1);
}

// Regression: in an open node near the bottom, the node's focus area was
// taken from its children one key late, so DOWN left the focus out of view
// for a press. On a tab page the tree's focused look, taller than its plain
// one, was scrolled by the old sizes: DOWN out of it left blank below the
// page's end, and UP back into it put its last node under the soft-key bar.
TEST_F(TabsInProcessTest, EveryKeyInATreeShowsTheFocusedControl) {
    std::string lines;
    std::string fields;
    std::string nodes;
    for (int i = 0; i < 14; ++i) lines += "<text>line</text>";
    for (int i = 0; i < 5; ++i) fields += "<edit name='f" + std::to_string(i) + "' value='1'/>";
    for (int i = 1; i <= 20; ++i) {
        nodes += "<ti caption='Node " + std::to_string(i) + "'><ti caption='leaf'/></ti>";
    }
    struct Case {
        const char* path;
        const char* name;
        std::string page;
        bool openNode;     // the first node is opened and the walk ends when it is left
        std::string keys;  // 'd' DOWN, 'u' UP
        bool whole;        // the focused control shows whole, not most of it
        int moves;
    };
    const Case cases[] = {
        {"/open.zqml", "an open node near the bottom",
         "<zqml><body>" + lines + "<tree id='t'><ti caption='Order'>" + fields +
             "<choicegroup name='side'><option caption='Buy' value='B'/>"
             "<option caption='Sell' value='S'/></choicegroup>" +
             fields + "</ti></tree><a href='done.zqml'>after</a>" + lines + "</body></zqml>",
         true, std::string(14, 'd'), false, 12},
        {"/tall.zqml", "a tall tree on a tab page, down past it and back up",
         "<zqml><tabbody><page caption='One'><tree id='t'>" + nodes +
             "</tree><a href='done.zqml'>after</a></page><page caption='Two'><text>x</text>"
             "</page></tabbody></zqml>",
         false, std::string(22, 'd') + std::string(6, 'u'), true, 26},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        open(c.path, c.page);
        Screen* screen = controller_->currentScreen();
        auto* tree = item<TreeContainer>(u"t");
        ASSERT_TRUE(screen && tree);
        auto* node = dynamic_cast<NodeItem*>(tree->getItem(0));
        ASSERT_NE(node, nullptr);
        Surface window(240, 320);
        if (c.openNode) {
            for (int i = 0; i < 20 && !node->header()->isFocused(); ++i) key(kKeyDown);
            ASSERT_TRUE(node->header()->isFocused());
            key(kKeyFire);
            display_->paint(window);
        }
        // The innermost focused control, down the chain of focused parts.
        auto focusedLeaf = [&] {
            Item* at = screen->getContent();
            for (;;) {
                Item* next = nullptr;
                if (auto* n = dynamic_cast<NodeItem*>(at)) {
                    next = n->focusedPart();
                } else if (ItemContainer* box = at->asContainer()) {
                    next = box->getFocusedItem();
                }
                if (!next) return at;
                at = next;
            }
        };
        int moves = 0;
        for (size_t i = 0; i < c.keys.size(); ++i) {
            Item* before = focusedLeaf();
            key(c.keys[i] == 'd' ? kKeyDown : kKeyUp);
            display_->paint(window);
            Item* focused = focusedLeaf();
            const Rect& view = screen->contentRect();
            // No blank below the end of the page.
            EXPECT_GE(screen->getScrollOffset(),
                      std::min(0, view.height() - screen->getContent()->itemHeight()))
                << "press " << i;
            if (c.openNode && !node->isFocused()) break;
            if (focused == before) continue;
            ++moves;
            const int top = focused->getAbsoluteY() + screen->getScrollOffset();
            EXPECT_GE(top, view.top) << "press " << i;
            // Most of it: a focused look that grows a frame is laid out after the scroll.
            EXPECT_LE(top + (c.whole ? focused->itemHeight() : focused->itemHeight() / 2),
                      screen->usableHeight())
                << "press " << i;
        }
        EXPECT_GE(moves, c.moves);
    }
}

}  // namespace
}  // namespace zq
