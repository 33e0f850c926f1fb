// Page text and a quote table end to end, on a light page and a dark one:
// comments, CDATA and instructions inside texts and cells change nothing on
// the screen, and a large quote table whose wide locked columns leave little
// room shows its numbers whole, focused or not. Each screen is saved in the
// test output folder.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/client_fixture.h"

namespace zq {
namespace {

struct Theme {
    const char* name;
    uint32_t background;
    const char* sheet;
};

const Theme kThemes[] = {
    {"light", 0xFFFFFF,
     "body{background-color:#ffffff;font-color:#202020}\ntext{font-color:#202020}\n"},
    {"dark", 0x102030,
     "body{background-color:#102030;font-color:#e8eef4}\ntext{font-color:#e8eef4}\n"},
};

// The page, with the comments and the like, or with its plain text only.
std::string quotePage(const Theme& theme, bool annotated) {
    auto note = [annotated](const std::string& text) { return annotated ? text : std::string(); };
    const std::string body =
        "<text>涨幅" + note("<!-- 旧值 -->") + "3.2%</text>\n" +
        (annotated ? "<text>开盘<![CDATA[<价>]]>12.50</text>\n"
                   : "<text>开盘&lt;价&gt;12.50</text>\n") +
        "<table id=\"q\" class=\"big\" collock=\"2\"><th><td name=\"name\">名称</td>"
        "<td name=\"code\">代码</td><td class=\"r\">最新</td><td>涨跌</td><td>成交量</td></th>\n"
        "<tr><td>浦发银行股份有限公</td><td>600000</td><td>12.50" +
        note("<!-- 昨收 12.38 -->") +
        "</td><td>+0.12</td><td>1234567</td></tr>\n"
        "<tr><td>招商银行" +
        note("<?note 金融?>") +
        "股份</td><td>600036</td><td>1888.50</td><td>-1.20</td><td>98765</td></tr>\n"
        "</table>\n";
    return test::zqmlDocument(std::string("<style>\n") + theme.sheet +
                              "big{font-size:large}\nr{align:right}\n</style>\n"
                              "<body>\n" +
                              body + "</body>\n");
}

class PageTextClientTest : public test::ClientFixture, public ::testing::WithParamInterface<Theme> {
protected:
    PageTextClientTest() : ClientFixture(std::string("text_e2e_") + GetParam().name + "_") {}

    // The page as shown, then with the table focused.
    void showPage(bool annotated) {
        const std::string tag = annotated ? "annotated" : "plain";
        server_.writePage("index.zqml", quotePage(GetParam(), annotated));
        std::string script = kStart + shot(tag + "-01-page");
        script += "key down\nkey down\nkey down\n" + shot(tag + "-02-focused");
        script += "key right\n" + shot(tag + "-03-right");
        ASSERT_EQ(run(script), 0) << err_;
    }
    // Pixels that differ between two saved screens.
    int differences(const std::string& a, const std::string& b) const {
        const test::Shot first = load(a);
        const test::Shot second = load(b);
        if (!first.image || !second.image) return -1;
        int count = 0;
        for (int y = 0; y < 320; ++y) {
            for (int x = 0; x < 240; ++x) count += first.at(x, y) != second.at(x, y) ? 1 : 0;
        }
        return count;
    }
};

TEST_P(PageTextClientTest, CommentsInTextsAndCellsChangeNothingOnTheScreen) {
    showPage(true);
    showPage(false);
    for (const char* step : {"-01-page", "-02-focused", "-03-right"}) {
        SCOPED_TRACE(step);
        EXPECT_EQ(differences(std::string("annotated") + step, std::string("plain") + step), 0);
    }
    // The texts stand on the page's own background, with ink of their own.
    const test::Shot page = load("annotated-01-page");
    ASSERT_TRUE(page.image);
    EXPECT_EQ(page.at(120, 200), GetParam().background);
    EXPECT_GT(page.ink(0, 0, 220, 30, GetParam().background), 100);

    // The table's head and rows are bands of their own fill at its left
    // edge. The locked columns leave no room for "1888.50", so they give up
    // their lock: one step right shows both rows' prices, whole.
    for (const char* step : {"annotated-03-right"}) {
        SCOPED_TRACE(step);
        const test::Shot shot = load(step);
        std::vector<std::pair<int, int>> bands;
        for (int y = 30; y < 200 && bands.size() < 3; ++y) {
            if (shot.at(2, y) == GetParam().background) continue;
            const int top = y;
            while (y < 200 && shot.at(2, y) != GetParam().background) ++y;
            if (y - top >= 12) bands.emplace_back(top, y);  // no line of text
        }
        ASSERT_EQ(bands.size(), 3u);
        auto rightmostInk = [&shot](std::pair<int, int> band) {
            const uint32_t fill = shot.at(2, band.first);
            for (int x = 231; x > 0; --x) {
                for (int y = band.first; y < band.second; ++y) {
                    if (shot.at(x, y) != fill) return x;
                }
            }
            return 0;
        };
        EXPECT_GT(rightmostInk(bands[1]), 180);
        EXPECT_NEAR(rightmostInk(bands[2]), rightmostInk(bands[1]), 8);
    }
}

INSTANTIATE_TEST_SUITE_P(Themes, PageTextClientTest, ::testing::ValuesIn(kThemes),
                         [](const ::testing::TestParamInfo<Theme>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace zq
