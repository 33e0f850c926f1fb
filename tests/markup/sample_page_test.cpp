// The shipped sample page with the shipped default style sheet, shown by
// the Display in a headless window: the saved PNG is probed where the page
// background, the title, a link, the rule and the button must show.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "core/string_utils.h"
#include "markup/markup_page.h"
#include "markup/style_sheet.h"
#include "platform/image.h"
#include "platform/key_script.h"
#include "platform/surface.h"
#include "platform/ui_executor.h"
#include "platform/ui_loop.h"
#include "platform/window.h"
#include "tests/support/test_env.h"
#include "tests/support/test_font.h"
#include "ui/container.h"
#include "ui/display.h"
#include "ui/event.h"
#include "ui/font_cache.h"
#include "ui/form.h"
#include "ui/style.h"
#include "ui/toolkit_globals.h"

namespace zq {
namespace {

std::string readResource(const std::string& relative) {
    std::ifstream in(test::sourceDir() / "resources" / "ZQ Resource" / relative, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

Color css(const char* hex) { return parseHex(CString::fromUtf8(hex)); }

class NullHost : public PageHost {
public:
    void onEvent(std::unique_ptr<Event>) override {}
};

class SamplePageTest : public ::testing::Test {
protected:
    SamplePageTest() : window_({240, 320}) {
        releaseSharedFonts();
        Screen::initMetrics({240, 320});
        setDisplayArea(Rect::fromSize(0, 0, 240, 320));
        setProgramFolder(test::sourceDir() / "resources");
        defaultStyleSheet().clear();
        loadDefaultStyleSheet(CString::fromUtf8(readResource("css/default.css")));
        display_ = std::make_unique<Display>(Size{240, 320});
    }
    ~SamplePageTest() override {
        display_.reset();
        page_.reset();
        defaultStyleSheet().clear();
        setScreenMetrics(savedMetrics_);
        setProgramFolder(savedFolder_);
        releaseSharedFonts();
    }

    void show() {
        page_ = std::make_unique<MarkupPage>();
        ASSERT_TRUE(page_->loadPage(readResource("sample.zqml"), &host_));
        ASSERT_NE(page_->form(), nullptr);
        display_->setCurrent(page_->form(), true);
        KeyScript script = parseKeyScript("wait 0\n");
        ASSERT_TRUE(script.ok());
        ScriptedWindow replay(window_, std::move(script.steps), ScriptEnd::Quit);
        UiLoop loop(executor_, replay, *display_);
        display_->attach(&loop);
        loop.run();
        display_->attach(nullptr);
    }

    // The content item `index` as the screen shows it (top-left, size).
    Rect placed(int index) const {
        Item* item = page_->form()->getContent()->getItem(index);
        const int top = item->getAbsoluteY() + page_->form()->getScrollOffset();
        return Rect::fromSize(item->getAbsoluteX(), top, item->itemWidth(), item->itemHeight());
    }

    test::ScopedFixedFont fixed_;
    ScreenMetrics savedMetrics_ = screenMetrics();
    std::filesystem::path savedFolder_ = programFolder();
    UiExecutor executor_;
    HeadlessWindow window_;
    NullHost host_;
    std::unique_ptr<Display> display_;
    std::unique_ptr<MarkupPage> page_;
};

TEST_F(SamplePageTest, ShownPageMatchesTheStyleSheetAtFewPixels) {
    show();
    Form& form = *page_->form();
    // Three texts, the rule, two links, the list, the break, the button and
    // the bar; the marquee stands in the status line.
    ASSERT_EQ(form.getContent()->size(), 10);
    ASSERT_NE(form.getMarquee(), nullptr);

    // Saved and read back, as a person would look at it (ZQ_SAMPLE_PNG
    // keeps a copy).
    test::TempDir dir;
    const char* keep = std::getenv("ZQ_SAMPLE_PNG");
    const std::string png = keep ? std::string(keep) : (dir.path() / "sample.png").string();
    ASSERT_TRUE(savePng(window_.screen(), png));
    ImageRef saved = loadImageFile(png);
    ASSERT_NE(saved, nullptr);
    ASSERT_EQ(saved->width(), 240);
    ASSERT_EQ(saved->height(), 320);
    auto at = [&](int x, int y) { return Surface::fromNative(saved->pixel(x, y) & 0xFFFFFF); };
    auto count = [&](const Rect& r, Color colour) {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) n += at(x, y) == colour;
        }
        return n;
    };

    // The body's background below the content; the soft-key bar under it.
    EXPECT_EQ(at(200, 250), css("13283d"));
    EXPECT_EQ(at(120, 312), colorSettings().menuBack);
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
    EXPECT_EQ(at(button.left + 4, button.top + button.height() / 2), css("dfe6ee"));
    EXPECT_EQ(at(button.left - 2, button.top + button.height() / 2), css("13283d"));
}

}  // namespace
}  // namespace zq
