// A form with tabs, soft-key commands and the soft keyboard, shown by the
// Display in a headless window and driven by key scripts through the UI
// loop: the menu opens with the left soft key and an entry is chosen, the
// tabs switch, a field is typed into on the keyboard; pixel probes check
// what the screen shows.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "items/string_item.h"
#include "platform/image.h"
#include "platform/surface.h"
#include "tests/support/display_fixture.h"
#include "tests/support/test_env.h"
#include "tests/support/test_font.h"
#include "ui/client_context.h"
#include "ui/code_input_pad.h"
#include "ui/command_item.h"
#include "ui/container.h"
#include "ui/default_styles.h"
#include "ui/display.h"
#include "ui/font_cache.h"
#include "ui/image_cache.h"
#include "ui/screen.h"
#include "ui/soft_keyboard.h"
#include "ui/style.h"
#include "ui/tabbed_form.h"

namespace zq {
namespace {

constexpr Color kMenuBack = 0xEEEEEE;   // the popup menu's fill
constexpr Color kMenuFocus = 0x696969;  // the focused entry's fill
constexpr Color kFieldBack = 0xFFFFFF;
constexpr int kBarTop = 320 - 24;

class CommandLog : public CommandListener {
public:
    void commandAction(Command* command, Displayable* /*source*/) override {
        fired.push_back(command->getLabel().toUtf8());
    }
    std::vector<std::string> fired;
};

// A one-line input box the soft keyboard types into, standing in for the
// text field.
class TypedField : public Item, public KeyboardTarget {
public:
    TypedField() : Item(CString(), 0, 1, nullptr) {}

    void initContent(int, int lineWidth) override {
        contentWidth_ = lineWidth;
        contentHeight_ = 20;
    }
    void paintContent(int x, int y, int, int, GraphicsContext& g) override {
        DeviceContext& dc = *g.getDC();
        dc.fillRect(Rect::fromSize(x, y, contentWidth_, contentHeight_), kFieldBack);
        const FontRef previous = dc.selectFont(createStyleFont());
        const Color color = dc.setTextColor(0);
        dc.textOut(x + 3, y + 3, text.view());
        dc.setTextColor(color);
        dc.selectFont(previous);
    }
    bool keyPressed(int keyCode, int gameAction) override {
        if (keyCode == kKeyBackspace && !text.isEmpty()) {
            text.deleteAt(text.length() - 1);
            return true;
        }
        return Item::keyPressed(keyCode, gameAction);
    }
    Item& keyboardItem() override { return *this; }
    void setValue(const CString& value) override { text = value; }
    void insertText(const CString& more) override { text += more; }
    void typeChar(char16_t ch) override { text += ch; }
    int caretLineTop() const override { return 0; }
    int caretLineHeight() const override { return 20; }

    CString text;
};

class SoftKeyEndToEndTest : public test::DisplayFixture {
protected:
    SoftKeyEndToEndTest() {
        context_.setProgramFolder(test::sourceDir() / "resources");
        clearImageCache();
        buildForm();
        display_->setCurrent(form_.get(), true);
    }
    ~SoftKeyEndToEndTest() override {
        form_.reset();
        display_.reset();
        clearImageCache();
    }

    // The menu's fill or its focus mark anywhere above the bar.
    int menuPixels() {
        int count = 0;
        for (int y = 0; y < kBarTop; ++y) {
            for (int x = 0; x < 240; ++x) {
                if (pixel(x, y) == kMenuBack || pixel(x, y) == kMenuFocus) ++count;
            }
        }
        return count;
    }

    // Two tabs: a list of quotes, and a page with the input box.
    void buildForm() {
        form_ = std::make_unique<TabbedForm>(u"行情");
        Style* style = allocTracked();
        style->font = createStyleFont();
        form_->initTabs({u"自选", u"交易"}, {}, style);
        for (const char16_t* line : {u"600000 10.52", u"600036 35.10", u"000001 12.08"}) {
            form_->append(0, std::make_unique<StringItem>(CString(), line, createTextStyle()));
        }
        auto field = std::make_unique<TypedField>();
        field_ = field.get();
        form_->append(1, std::move(field));
        form_->setCommandListener(&commands_);
        form_->addCommand(std::make_shared<Command>(u"买入", 1, 1));
        form_->addCommand(std::make_shared<Command>(u"卖出", 1, 2));
        form_->addCommand(std::make_shared<Command>(u"刷新", 1, 3));
        form_->addCommand(std::make_shared<Command>(u"返", 2, 1));
    }

    std::string tapDigitKey(int row, int column) const {
        return DisplayFixture::tapDigitKey(*form_->getSoftKeyboard(), row, column);
    }
    // The screen shows `path` with its bottom on the screen bottom.
    void expectPicture(const char16_t* path, int x) const {
        ImageRef picture = loadCachedImage(CString(path));
        ASSERT_NE(picture, nullptr);
        const int y = 320 - picture->height();
        int opaque = 0;
        for (int py = 0; py < picture->height(); ++py) {
            for (int px = 0; px < picture->width(); ++px) {
                const uint32_t p = picture->pixel(px, py);
                if ((p >> 24) != 0xFF) continue;
                ++opaque;
                EXPECT_EQ(pixel(x + px, y + py), Surface::fromNative(p & 0xFFFFFF));
            }
        }
        EXPECT_GT(opaque, 0);
    }

    std::unique_ptr<TabbedForm> form_;
    TypedField* field_ = nullptr;
    CommandLog commands_;
};

TEST_F(SoftKeyEndToEndTest, MenuTabsAndKeyboardThroughTheWindow) {
    run("wait 0\n");
    EXPECT_EQ(form_->leftLabel(), CString(u"菜单"));
    EXPECT_EQ(form_->rightLabel(), CString(u"返"));

    // 1. The left soft key opens the menu over the page.
    run("key f1\n");
    ASSERT_TRUE(form_->isPopupMenuOpen());
    EXPECT_EQ(form_->rightLabel(), CString(u"取消"));
    expectPicture(u"images\\menu.png", 4);
    expectPicture(u"images\\back.png", 240 - 20 - 4);
    const Container& menu = *form_->getPopupMenu();
    const int menuTop = menu.relativeY();
    EXPECT_EQ(menuTop + menu.itemHeight(), kBarTop);
    EXPECT_EQ(pixel(2, menuTop + 2), kMenuFocus);                    // "买入", focused
    EXPECT_EQ(pixel(menu.itemWidth() - 2, kBarTop - 2), kMenuBack);  // inside the frame
    EXPECT_NE(pixel(menu.itemWidth() + 2, menuTop + 2), kMenuBack);  // the page beside it

    // 2. Down to "卖出" and chosen with the left soft key.
    run("key down\nkey f1\n");
    EXPECT_EQ(commands_.fired, std::vector<std::string>{"卖出"});
    EXPECT_FALSE(form_->isPopupMenuOpen());
    // Regression: the chosen entry stayed painted above the bar.
    EXPECT_EQ(menuPixels(), 0);

    // 3. The bar has the focus: RIGHT switches to the second tab, DOWN
    // leaves the bar, and DOWN again focuses the input box on the page.
    run("key right\nkey down\nkey down\n");
    EXPECT_EQ(form_->getSelectedTab(), 1);
    EXPECT_TRUE(field_->isFocused());

    // 4. The keyboard opens below the box; "6", "0" and backspace, "8".
    // Regression: a code pad left open stayed over the keyboard's last rows.
    form_->openCodeInputPad(nullptr, u"quote.zqml", true);
    run("wait 0\n");
    ASSERT_TRUE(form_->getCodeInputPad()->isVisible());
    form_->openSoftKeyboard(true, field_, kKeypadDigits);
    run("wait 0\n");
    EXPECT_FALSE(form_->getCodeInputPad()->isVisible());
    EXPECT_EQ(form_->getBusyFlags(), 0u);  // the pad's busy bit went with it
    const SoftKeyboard& keyboard = *form_->getSoftKeyboard();
    ASSERT_TRUE(keyboard.isVisible());
    EXPECT_EQ(keyboard.lastBottom() - keyboard.panelHeight(),
              field_->getLastPaintY() + field_->caretLineHeight());
    run(tapDigitKey(1, 2) + tapDigitKey(3, 0) + tapDigitKey(3, 0));
    EXPECT_EQ(field_->text, CString(u"600"));
    form_->onData(u"退格");
    run(tapDigitKey(2, 1));
    EXPECT_EQ(field_->text, CString(u"608"));
    EXPECT_EQ(commands_.fired.size(), 1u);

    // 5. The right soft key goes back.
    run("key f2\n");
    EXPECT_EQ(commands_.fired, (std::vector<std::string>{"卖出", "返"}));
    EXPECT_EQ(pixel(field_->getLastPaintX() + 1, field_->getLastPaintY() + 1), kFieldBack);
}

// Regression: a tap on the left soft key of the open menu pressed the
// focused entry and closed the menu without firing it, also from an open
// submenu: the choice was lost.
TEST_F(SoftKeyEndToEndTest, PenOnTheLeftSoftKeyChoosesInTheOpenMenu) {
    auto more = std::make_shared<Command>(u"更多", 1, 4);
    form_->addCommand(more);
    form_->addSubCommand(std::make_shared<Command>(u"撤单", 1, 1), more, nullptr, false);
    run("wait 0\nkey f1\n");
    const Container& menu = *form_->getPopupMenu();

    // 1. "卖出" focused, then the pen on the left soft key.
    run("key down\ntap 6 314\n");
    EXPECT_EQ(commands_.fired, std::vector<std::string>{"卖出"});
    EXPECT_FALSE(form_->isPopupMenuOpen());
    EXPECT_EQ(menuPixels(), 0);

    // 2. The submenu of "更多" opened, its entry chosen by the pen on the key.
    run("key f1\nkey down\nkey down\nkey down\nkey right\n");
    ASSERT_TRUE(asCommandItem(menu.getItem(3))->isSubmenuOpen());
    run("tap 6 314\n");
    EXPECT_EQ(commands_.fired, (std::vector<std::string>{"卖出", "撤单"}));
    EXPECT_FALSE(form_->isPopupMenuOpen());
    EXPECT_EQ(menuPixels(), 0);
}

}  // namespace
}  // namespace zq
