// Command menu entries: submenu order and search, where an open submenu is
// placed, choosing by digits, and the pressed look.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/window.h"
#include "tests/ui/screen_test_support.h"
#include "ui/command_item.h"
#include "ui/container.h"
#include "ui/default_styles.h"
#include "ui/font_cache.h"
#include "ui/screen.h"

namespace zq {
namespace {

constexpr int kTypeScreen = 1;
constexpr int kBarTop = 296;

CommandRef cmd(const char16_t* label, int priority) {
    return std::make_shared<Command>(CString(label), kTypeScreen, priority);
}

class CommandLog : public CommandListener {
public:
    void commandAction(Command* command, Displayable* /*source*/) override {
        fired.push_back(command->getLabel().toUtf8());
    }
    std::vector<std::string> fired;
};

class CommandMenuTest : public test::ScreenFixture {
protected:
    CommandMenuTest() {
        // Menu looks built by earlier tests may hold another font.
        freeTrackedStyles();
        makeSurface(240, 320, 0);
        screen_.setSize(240, 320);
        screen_.setCommandListener(&log_);
    }

    // The fixed font, no spacings; focused the same.
    Style* entryStyle() {
        Style* s = plainStyle();
        s->font = createStyleFont();
        Style* focused = plainStyle();
        focused->font = s->font;
        setStyleProperty(s, prop::kFocusedStyle, focused);
        return s;
    }
    static std::vector<std::string> labels(const Container& menu) {
        std::vector<std::string> out;
        for (const auto& item : menu.children()) out.push_back(item->getText().toUtf8());
        return out;
    }
    void key(int code) {
        screen_.keyPressed(code);
        screen_.keyReleased(code);
    }

    Screen screen_{u"t", true};
    CommandLog log_;
};

TEST_F(CommandMenuTest, SubmenuEntriesByPriorityAndFoundDepthFirst) {
    CommandItem entry(cmd(u"行情", 1), nullptr, entryStyle());
    EXPECT_FALSE(entry.hasSubmenu());
    entry.addSubCommand(cmd(u"b", 2), nullptr);
    entry.addSubCommand(cmd(u"a", 1), nullptr);
    entry.addSubCommand(cmd(u"b2", 2), nullptr);  // equal priority: after "b"
    CommandItem* c = entry.addSubCommand(cmd(u"c", 3), nullptr);
    ASSERT_TRUE(entry.hasSubmenu());
    EXPECT_EQ(labels(*entry.getSubmenu()), (std::vector<std::string>{"a", "b", "b2", "c"}));

    CommandRef deep = cmd(u"deep", 1);
    c->addSubCommand(deep, nullptr);
    CommandItem* found = entry.findCommandItem(deep.get());
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->getCommand(), deep.get());
    EXPECT_EQ(entry.findCommandItem(cmd(u"x", 1).get()), nullptr);
}

TEST_F(CommandMenuTest, AnOpenSubmenuStandsBesideItsEntry) {
    // "menu" 28 px + a 10 px arrow; the submenu: "ab"/"cd" 14 px inside a
    // 4 px frame, 18 px wide.
    CommandItem entry(cmd(u"menu", 1), nullptr, entryStyle());
    entry.setScreen(&screen_);
    entry.addSubCommand(cmd(u"ab", 1), entryStyle());
    entry.addSubCommand(cmd(u"cd", 2), entryStyle());
    entry.init(240, 240);
    ASSERT_EQ(entry.itemWidth(), 38);
    entry.setSubmenuOpen(true);
    auto paintAt = [&](int x, int y) {
        entry.paint(x, y, x, x + entry.itemWidth(), gc_);
        return entry.submenuOffset();
    };
    // Room on the right: to the right.
    EXPECT_EQ(paintAt(0, 50).x, 38);
    EXPECT_EQ(entry.getSubmenu()->itemWidth(), 18);
    EXPECT_EQ(entry.getSubmenu()->getItem(0)->itemWidth(), 14);
    // 5 px short: to the left of the entry.
    EXPECT_EQ(paintAt(189, 50).x, -18);
    // 18 px short: against the screen's right edge.
    EXPECT_EQ(paintAt(202, 50).x, 240 - 18 - 202);
    // Near the bottom: moved up to end on the soft-key bar.
    const Point low = paintAt(0, 280);
    EXPECT_EQ(low.y, 0 + kBarTop - entry.getSubmenu()->itemHeight() - 280);
}

TEST_F(CommandMenuTest, DigitsChooseOnlyExistingSubmenuEntries) {
    CommandRef market = cmd(u"行情", 1);
    screen_.addCommand(market);
    screen_.addCommand(cmd(u"交易", 2));
    screen_.addSubCommand(cmd(u"沪深", 1), market, nullptr, false);
    screen_.addSubCommand(cmd(u"港股", 2), market, nullptr, false);
    screen_.addSubCommand(cmd(u"港股", 2), cmd(u"none", 1), nullptr, false);  // no such parent
    auto* entry = asCommandItem(screen_.getPopupMenu()->getItem(0));
    ASSERT_NE(entry, nullptr);
    ASSERT_EQ(entry->getSubmenu()->size(), 2);

    // The left soft key opens the menu, FIRE opens the submenu.
    key(kKeySoftLeft);
    screen_.paint(gc_);
    key(kKeyEnter);
    ASSERT_TRUE(entry->isSubmenuOpen());
    screen_.paint(gc_);
    // "3" of two entries does nothing; LEFT closes the submenu.
    key('3');
    EXPECT_TRUE(log_.fired.empty());
    EXPECT_TRUE(entry->isSubmenuOpen());
    key(kKeyLeft);
    EXPECT_FALSE(entry->isSubmenuOpen());
    EXPECT_FALSE(entry->isPressed());
    // "2" chooses the second entry: it fires and the menu closes.
    key(kKeyRight);
    ASSERT_TRUE(entry->isSubmenuOpen());
    key('2');
    EXPECT_EQ(log_.fired, std::vector<std::string>{"港股"});
    EXPECT_FALSE(screen_.isPopupMenuOpen());
    EXPECT_FALSE(entry->isSubmenuOpen());
}

// The screen lays an open submenu out before it paints (entries made
// equally wide); painting only places it.
TEST_F(CommandMenuTest, AnOpenSubmenuIsLaidOutBeforeThePaint) {
    CommandRef market = cmd(u"行情", 1);
    screen_.addCommand(market);
    screen_.addSubCommand(cmd(u"a", 1), market, nullptr, false);
    screen_.addSubCommand(cmd(u"abcdef", 2), market, nullptr, false);
    auto* entry = asCommandItem(screen_.getPopupMenu()->getItem(0));
    ASSERT_NE(entry, nullptr);
    key(kKeySoftLeft);
    screen_.paint(gc_);
    key(kKeyEnter);
    ASSERT_TRUE(entry->isSubmenuOpen());
    screen_.paint(gc_);
    const Container& submenu = *entry->getSubmenu();
    EXPECT_EQ(submenu.getItem(0)->itemWidth(), submenu.getItem(1)->itemWidth());
    // A later paint lays out nothing: it finds what the layout left.
    const int width = submenu.getItem(0)->itemWidth();
    screen_.paint(gc_);
    EXPECT_EQ(submenu.getItem(0)->itemWidth(), width);
}

TEST_F(CommandMenuTest, ThePressedLookIsBuiltOnceAndReused) {
    screen_.addCommand(cmd(u"x", 1));  // the screen gets its popup menu
    std::vector<std::unique_ptr<CommandItem>> row;
    row.push_back(std::make_unique<CommandItem>(cmd(u"买", 1), nullptr, createCommandItemStyle()));
    CommandItem* buy = row.back().get();
    screen_.setCommandItems(std::move(row));
    screen_.paint(gc_);
    Style* pressed = buy->getPressedStyle();
    ASSERT_NE(pressed, nullptr);

    buy->selectPressed();
    EXPECT_EQ(buy->getStyle(), pressed);
    buy->selectReleased();
    Style* look = buy->getStyle();
    EXPECT_NE(look, pressed);
    buy->selectPressed();
    buy->selectReleased();
    EXPECT_EQ(buy->getStyle(), look);

    // A tap on the row entry fires its command through the screen.
    const int x = buy->getLastPaintX() + 2;
    screen_.pointerPressed(x, kBarTop + 5);
    screen_.pointerReleased(x, kBarTop + 5);
    EXPECT_EQ(log_.fired, std::vector<std::string>{"买"});
}

}  // namespace
}  // namespace zq
