// Shipped pages with the shipped default style sheet, shown by the Display
// in a headless window: the layout dump states where every item lands, and
// pixel probes where the page background, the title, a link, the rule and
// the button must show.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "core/string_utils.h"
#include "markup/markup_page.h"
#include "markup/style_sheet.h"
#include "platform/surface.h"
#include "tests/support/display_fixture.h"
#include "tests/support/layout_dump.h"
#include "tests/support/markup_fixture.h"
#include "tests/support/test_env.h"
#include "tests/support/test_font.h"
#include "ui/client_context.h"
#include "ui/container.h"
#include "ui/display.h"
#include "ui/event.h"
#include "ui/font_cache.h"
#include "ui/form.h"
#include "ui/style.h"

namespace zq {
namespace {

// `relative` to the resources folder.
std::string readResource(const std::string& relative) {
    std::ifstream in(test::sourceDir() / "resources" / relative, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

Color css(const char* hex) { return parseHex(CString::fromUtf8(hex)); }

class SamplePageTest : public test::DisplayFixture {
protected:
    SamplePageTest() {
        context_.setProgramFolder(test::sourceDir() / "resources");
        defaultStyleSheet().clear();
        loadDefaultStyleSheet(CString::fromUtf8(readResource("ZQ Resource/css/default.css")));
    }
    ~SamplePageTest() override {
        display_.reset();
        page_.reset();
        defaultStyleSheet().clear();
    }

    void show(const std::string& page = "ZQ Resource/sample.zqml") {
        page_ = std::make_unique<MarkupPage>();
        ASSERT_TRUE(page_->loadPage(readResource(page), &host_));
        ASSERT_NE(page_->form(), nullptr);
        display_->setCurrent(page_->form(), true);
        run("wait 0\n");
    }

    // The content item `index` as the screen shows it (top-left, size).
    Rect placed(int index) const {
        Item* item = page_->form()->getContent()->getItem(index);
        const int top = item->getAbsoluteY() + page_->form()->getScrollOffset();
        return Rect::fromSize(item->getAbsoluteX(), top, item->itemWidth(), item->itemHeight());
    }

    test::NullHost host_;
    std::unique_ptr<MarkupPage> page_;
};

TEST_F(SamplePageTest, SamplePageMatchesTheStyleSheetAtFewPixels) {
    show();
    Form& form = *page_->form();
    // Three texts, the rule, two links, the list, the break, the button and
    // the bar; the marquee stands in the status line.
    ASSERT_EQ(form.getContent()->size(), 10);
    ASSERT_NE(form.getMarquee(), nullptr);

    auto count = [&](const Rect& r, Color colour) {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) n += pixel(x, y) == colour;
        }
        return n;
    };

    // The body's background below the content; the soft-key bar under it.
    EXPECT_EQ(pixel(200, 250), css("13283d"));
    EXPECT_EQ(pixel(120, 312), colorSettings().menuBack);
    // Page classes over the sheet's "text" rule: each line in its colour
    // (the fixed font paints a box per glyph), and only there.
    EXPECT_GT(count(placed(0), css("ffd75e")), 50);
    EXPECT_GT(count(placed(1), css("ff5a5a")), 50);
    EXPECT_GT(count(placed(2), css("9fb3c8")), 50);
    EXPECT_EQ(count(placed(1), css("ffd75e")), 0);
    // The rule in the sheet's "hr" colour across the line.
    const Rect rule = placed(3);
    EXPECT_GE(count(rule, css("4d6a88")), 200);
    // The links' own text takes the sheet's "a" colour.
    EXPECT_GT(count(placed(5), css("8fd0ff")), 30);
    EXPECT_EQ(count(placed(5), 0xFFFFFF), 0);
    // The button: centred, the sheet's background inside its border.
    const Rect button = placed(8);
    EXPECT_NEAR(button.left + button.width() / 2, 120, 1);
    EXPECT_EQ(pixel(button.left + 4, button.top + button.height() / 2), css("dfe6ee"));
    EXPECT_EQ(pixel(button.left - 2, button.top + button.height() / 2), css("13283d"));
}

// The list's entries stand behind its marker column; the button is centred.
constexpr const char* kSampleLayout = R"dump(Container (0,0 240x185)
  Item "示例证券 600123" (0,0 79x16)
  Item "现价 12.48  +0.36 (+2.97%)" (0,17 170x16)
  Item "成交 1284万手  换手 1.9%" (0,34 128x16)
  Item (0,51 240x4)
  Item "列表示例" (0,56 240x18)
  Item "返回本地首页" (0,75 240x18)
  Container (0,94 122x40)
    Item "买一 12.47  520手" (18,0 100x16)
    Item "卖一 12.48  310手" (18,20 100x16)
  Item (0,135 240x6)
  Item (82,142 75x23)
  Item (0,166 240x18)
)dump";

// A large bold title line; four order-book rows in the list.
constexpr const char* kQuoteLayout = R"dump(Container (0,0 240x251)
  Item "华岳电子 600321" (0,0 90x19)
  Item "现价 18.62  +0.54 (+2.99%)" (0,20 170x16)
  Item "今开 18.10  最高 18.75  最低 18.02" (0,37 198x16)
  Item "成交 86.2万手" (0,54 65x16)
  Item (0,71 240x4)
  Item "五档盘口" (0,76 30x16)
  Container (0,93 122x80)
    Item "卖二 18.64  212手" (18,0 100x16)
    Item "卖一 18.63  97手" (18,20 93x16)
    Item "买一 18.62  305手" (18,40 100x16)
    Item "买二 18.61  148手" (18,60 100x16)
  Item (0,174 240x4)
  Item (82,179 75x23)
  Item (0,203 240x4)
  Item "相关新闻" (0,208 240x18)
  Item (0,227 240x4)
  Item "返回市场概览" (0,232 240x18)
)dump";

// Taller than the screen: the scroll bar takes 12 px off every line.
constexpr const char* kOrderLayout = R"dump(Container (0,0 228x333)
  Item "模拟下单" (0,0 34x19)
  Item (70,20 87x23)
  Item (0,44 228x4)
  Item "或填写委托单，按“提交委托”发送：" (0,49 121x16)
  Item (0,66 160x30)
  Item "100" (0,97 160x30)
  Container (0,128 228x67)
    Item "买入" (0,0 225x20)
    Item "卖出" (0,22 225x20)
  Container (0,196 228x23)
    Item "限价" (0,0 32x20)
    Item "市价" (34,0 32x20)
  Item "沪A A123456" (0,220 228x20)
  Item (76,241 75x23)
  Item (0,265 228x2)
  Item (76,268 75x23)
  Item (0,292 228x4)
  Item "委托只记在演示服务器上。" (0,297 86x16)
  Item "返回市场概览" (0,314 228x18)
)dump";

struct DumpCase {
    const char* page;
    const char* layout;
};

class ShippedPageLayout : public SamplePageTest, public ::testing::WithParamInterface<DumpCase> {};

// Every item of the page, where the shipped sheet puts it on a 240 x 320
// screen with the fixed font.
TEST_P(ShippedPageLayout, MatchesTheDump) {
    show(GetParam().page);
    EXPECT_EQ(test::dumpLayout(*page_->form()->getContent()), GetParam().layout);
}

INSTANTIATE_TEST_SUITE_P(Pages, ShippedPageLayout,
                         ::testing::Values(DumpCase{"ZQ Resource/sample.zqml", kSampleLayout},
                                           DumpCase{"demo-site/quote-600321.zqml", kQuoteLayout},
                                           DumpCase{"demo-site/order.zqml", kOrderLayout}));

}  // namespace
}  // namespace zq
