#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "items/button_item.h"
#include "items/tab_item.h"
#include "platform/device_context.h"
#include "platform/font.h"
#include "platform/image.h"
#include "platform/surface.h"
#include "tests/support/test_font.h"
#include "ui/container.h"
#include "ui/default_styles.h"
#include "ui/font_cache.h"
#include "ui/graphics_context.h"
#include "ui/style.h"
#include "ui/tab_bar.h"

namespace zq {
namespace {

constexpr int kKeyLeft = 37;
constexpr int kKeyRight = 39;
constexpr Color kArrowLit = 0x8BC7;

std::vector<CString> titles(std::initializer_list<const char16_t*> texts) {
    std::vector<CString> out;
    for (const char16_t* t : texts) out.emplace_back(t);
    return out;
}

std::vector<CString> manyTitles(int count) {
    std::vector<CString> out;
    for (int i = 1; i <= count; ++i) out.push_back(CString::format(u"Tab%d", i));
    return out;
}

// Records the taps; accepts them only when told to.
class RecordingOwner : public TabBarOwner {
public:
    explicit RecordingOwner(TabBar* bar) : bar_(bar) {}
    void selectTab(int index) override {
        asked.push_back(index);
        if (accept) bar_->setSelectedIndex(index);
    }
    bool accept = true;
    std::vector<int> asked;

private:
    TabBar* bar_;
};

class TabTest : public ::testing::Test {
protected:
    TabTest() { releaseSharedFonts(); }
    ~TabTest() override {
        freeTrackedStyles();
        releaseSharedFonts();
    }

    // Lays the bar out on a 240 px line and paints it at (0, 0).
    void paintBar(TabBar& bar) {
        bar.init(240, 240);
        dc_.fillRect(surface_.bounds(), 0x123456);
        bar.paint(0, 0, 0, 240, g_);
    }

    test::ScopedFixedFont fixed_;
    Surface surface_{240, 60};
    DeviceContext dc_{surface_};
    GraphicsContext g_ = [this] {
        GraphicsContext g;
        g.init(240, 60, &dc_);
        return g;
    }();
};

TEST_F(TabTest, SelectedTabTakesTheLookThatMatchesTheFocus) {
    TabBar bar(titles({u"AB", u"CD", u"EF"}), {}, createTabBarStyle());
    ASSERT_EQ(bar.tabCount(), 3);
    EXPECT_EQ(bar.getTab(0)->getStyle(), bar.selectedStyle());
    EXPECT_EQ(bar.getTab(1)->getStyle(), bar.normalStyle());

    bar.setSelectedIndex(2);
    EXPECT_EQ(bar.getTab(0)->getStyle(), bar.normalStyle());
    EXPECT_EQ(bar.getTab(2)->getStyle(), bar.selectedStyle());
    bar.setSelectedIndex(3);  // out of range: ignored
    EXPECT_EQ(bar.getSelectedIndex(), 2);

    Style* old = bar.focus(nullptr, 0);
    EXPECT_EQ(bar.getTab(2)->getStyle(), bar.focusedSelectedStyle());
    // A style change while focused keeps the focused look on the selected tab.
    bar.setStyle(bar.getStyle());
    EXPECT_EQ(bar.getTab(2)->getStyle(), bar.focusedSelectedStyle());
    bar.defocus(old);
    EXPECT_EQ(bar.getTab(2)->getStyle(), bar.selectedStyle());
}

// Regression: the bar's size changes with its focus, but what held it kept
// the size the bar had while focused.
TEST_F(TabTest, ContainersFollowTheBarsSizeWhenTheFocusLeaves) {
    Container page(CString(), true, nullptr, 300);
    auto* tabs = static_cast<TabItem*>(page.add(std::make_unique<TabItem>(
        CString(), titles({u"AB", u"CD"}), std::vector<ImageRef>{}, nullptr)));
    auto layOut = [&] {
        page.ensureLayout(0, 0, 240);
        page.paint(0, 0, 0, 240, g_);
    };
    auto freshHeight = [&] {
        page.requestFullInit();
        layOut();
        return tabs->itemHeight();
    };
    layOut();
    ASSERT_TRUE(tabs->getTabBar()->isFocused());
    page.defocus(nullptr);
    layOut();
    const int kept = tabs->itemHeight();
    EXPECT_EQ(kept, freshHeight());

    page.focus(nullptr, kGameDown);
    layOut();
    ASSERT_TRUE(tabs->getTabBar()->isFocused());
    const int focused = tabs->itemHeight();
    EXPECT_EQ(focused, freshHeight());
}

// Regression: TabItem::setStyle wrote its font into the style nested under
// 20081, here the shared selected tab look that every later bar copies.
TEST_F(TabTest, TabItemFontStaysWithItsOwnBar) {
    Style* nested = createTabBarStyle();
    Style* shared = nested->getStyleProperty(prop::kTabBarStyle);
    ASSERT_EQ(shared, sharedTabStyle(TabStyleRole::Selected));
    const FontRef sharedFont = shared->font;
    TabItem tabs(CString(), titles({u"AB"}), {}, nested);
    Style* big = createTabBarStyle();
    big->font = getFont(20);
    tabs.setStyle(big);
    EXPECT_EQ(shared->font, sharedFont);
    EXPECT_EQ(tabs.getTabBar()->getStyle()->font, big->font);
    EXPECT_EQ(tabs.getTabBar()->selectedStyle()->font, big->font);
}

// Regression: a bar's font change reached the shared tab looks and so every
// other bar.
TEST_F(TabTest, FontChangeStaysWithItsBar) {
    FontRef sharedFont = sharedTabStyle(TabStyleRole::Selected)->font;
    TabBar first(titles({u"AB"}), {}, createTabBarStyle());
    TabBar second(titles({u"AB"}), {}, createTabBarStyle());
    Style* big = createOwnTabBarStyle(getFont(20));
    first.setStyle(big);

    EXPECT_EQ(first.selectedStyle()->font, big->font);
    EXPECT_EQ(first.normalStyle()->font, big->font);
    EXPECT_EQ(sharedTabStyle(TabStyleRole::Selected)->font, sharedFont);
    EXPECT_EQ(second.selectedStyle()->font, sharedFont);
    // The copies keep the shared looks' fill and frame.
    ASSERT_NE(first.selectedStyle()->background(), nullptr);
    ASSERT_NE(first.selectedStyle()->border(), nullptr);
    EXPECT_NE(first.selectedStyle()->background(),
              sharedTabStyle(TabStyleRole::Selected)->background());
    // The bar style's focused look is a copy too.
    EXPECT_NE(big->getStyleProperty(prop::kFocusedStyle),
              sharedTabStyle(TabStyleRole::FocusedSelected));
}

TEST_F(TabTest, StripThatFitsShowsBothArrowsDark) {
    TabBar bar(titles({u"AB", u"CD", u"EF"}), {}, createTabBarStyle());
    paintBar(bar);
    EXPECT_EQ(bar.scrollX(), 0);
    EXPECT_FALSE(bar.tabsRemainRight());
    // Content at (5, 2), 22 high: arrows 10 px from row 8; the right one at 230.
    EXPECT_EQ(surface_.getPixel(9, 13), 0u);
    EXPECT_EQ(surface_.getPixel(230, 12), 0u);
    // The selected tab is white inside its frame.
    EXPECT_EQ(surface_.getPixel(17, 5), 0xFFFFFFu);
    // The unfocused bar's own fill beyond the tabs.
    EXPECT_EQ(surface_.getPixel(120, 1), 0xDEDEDEu);
}

TEST_F(TabTest, SelectingPastTheRightEndScrollsTheTabToTheArrow) {
    TabBar bar(manyTitles(10), {}, createTabBarStyle());
    paintBar(bar);
    EXPECT_TRUE(bar.tabsRemainRight());
    EXPECT_EQ(surface_.getPixel(230, 12), kArrowLit);

    bar.setSelectedIndex(9);
    paintBar(bar);
    const Item* last = bar.getTab(9);
    EXPECT_LT(bar.scrollX(), 0);
    EXPECT_EQ(last->relativeX() + bar.scrollX() + last->itemWidth(), bar.stripRight());
    EXPECT_FALSE(bar.tabsRemainRight());
    EXPECT_EQ(surface_.getPixel(9, 13), kArrowLit);
    EXPECT_EQ(surface_.getPixel(230, 12), 0u);

    // Back to the first tab: the strip returns to its start.
    bar.setSelectedIndex(0);
    paintBar(bar);
    EXPECT_EQ(bar.scrollX(), 0);
}

TEST_F(TabTest, TapAsksTheOwnerWhichMayRefuse) {
    TabBar bar(titles({u"AB", u"CD", u"EF"}), {}, createTabBarStyle());
    RecordingOwner owner(&bar);
    bar.setOwner(&owner);
    paintBar(bar);
    const Item* second = bar.getTab(1);
    const int x = second->relativeX() + 3;

    owner.accept = false;
    EXPECT_FALSE(bar.pointerPressed(x, 5));
    EXPECT_EQ(owner.asked, std::vector<int>{1});
    EXPECT_EQ(bar.getSelectedIndex(), 0);
    EXPECT_EQ(bar.getTab(0)->getStyle(), bar.selectedStyle());

    owner.accept = true;
    EXPECT_TRUE(bar.pointerPressed(x, 5));
    EXPECT_EQ(bar.getSelectedIndex(), 1);
    // The left arrow asks for the previous tab; a tap outside asks nothing.
    EXPECT_TRUE(bar.pointerPressed(2, 5));
    EXPECT_EQ(bar.getSelectedIndex(), 0);
    EXPECT_FALSE(bar.pointerPressed(300, 5));
    EXPECT_EQ(owner.asked.size(), 3u);
    // Regression: a tap on the empty strip asked for the tab a key had named.
    bar.keyPressed(kKeyRight, kGameRight);
    EXPECT_TRUE(bar.pointerPressed(200, 5));
    EXPECT_EQ(owner.asked.size(), 3u);
}

TEST_F(TabTest, BarKeysOnlyRecordTheTabAskedFor) {
    TabBar bar(titles({u"AB", u"CD"}), {}, createTabBarStyle());
    EXPECT_FALSE(bar.keyPressed(kKeyRight, kGameRight));
    EXPECT_EQ(bar.getPendingIndex(), 1);
    EXPECT_EQ(bar.getSelectedIndex(), 0);
    bar.setSelectedIndex(1);
    EXPECT_FALSE(bar.keyPressed(kKeyRight, kGameRight));  // last tab: to Item
    EXPECT_FALSE(bar.keyPressed(kKeyLeft, kGameLeft));
    EXPECT_EQ(bar.getPendingIndex(), 0);
}

TEST_F(TabTest, AppendToTabRefusesIndicesOutsideThePages) {
    TabItem tabs(CString(), titles({u"A", u"B", u"C"}), {}, nullptr);
    EXPECT_EQ(tabs.appendToTab(-1, std::make_unique<Item>()), -1);
    EXPECT_EQ(tabs.appendToTab(3, std::make_unique<Item>()), -1);  // the page count itself
    EXPECT_EQ(tabs.appendToTab(0, nullptr), -1);
    EXPECT_EQ(tabs.appendToTab(2, std::make_unique<Item>()), 0);
    EXPECT_EQ(tabs.appendToTab(2, std::make_unique<Item>()), 1);
    EXPECT_EQ(tabs.getPage(2)->size(), 2);
}

TEST_F(TabTest, ArrowKeysSwitchPagesWithoutWrapping) {
    TabItem tabs(CString(), titles({u"A", u"B", u"C"}), {}, nullptr);
    tabs.init(240, 240);
    ASSERT_EQ(tabs.getItem(1), tabs.getPage(0));

    EXPECT_FALSE(tabs.keyPressed(kKeyLeft, kGameLeft));  // first tab
    EXPECT_FALSE(tabs.keyPressed('6', kGameRight));      // digits stay free
    EXPECT_EQ(tabs.getSelectedTab(), 0);

    EXPECT_TRUE(tabs.keyPressed(kKeyRight, kGameRight));
    EXPECT_TRUE(tabs.keyPressed(kKeyRight, kGameRight));
    EXPECT_EQ(tabs.getSelectedTab(), 2);
    EXPECT_EQ(tabs.getItem(1), tabs.getPage(2));
    EXPECT_EQ(tabs.getTabBar()->getSelectedIndex(), 2);
    EXPECT_FALSE(tabs.keyPressed(kKeyRight, kGameRight));  // last tab
    EXPECT_FALSE(tabs.keyPressed('4', kGameLeft));
    EXPECT_EQ(tabs.getSelectedTab(), 2);
    EXPECT_EQ(tabs.size(), 2);
}

// The focus inside the shown page must not follow it into hiding; the pages
// that wait keep their items.
TEST_F(TabTest, SwitchingAwayFromAFocusedPageHandsTheFocusToTheBar) {
    TabItem tabs(CString(), titles({u"A", u"B"}), {}, nullptr);
    ASSERT_EQ(
        tabs.appendToTab(0, std::make_unique<ButtonItem>(CString(u"Go"), createButtonStyle())), 0);
    tabs.init(240, 240);
    ASSERT_TRUE(tabs.focusIndex(1));
    Item* button = tabs.getPage(0)->getItem(0);
    ASSERT_TRUE(button->isFocused());

    EXPECT_TRUE(tabs.keyPressed(kKeyRight, kGameRight));
    EXPECT_FALSE(button->isFocused());
    EXPECT_TRUE(tabs.getTabBar()->isFocused());
    EXPECT_EQ(tabs.getTabBar()->getTab(1)->getStyle(), tabs.getTabBar()->focusedSelectedStyle());

    // With the bar focused RIGHT is the bar's to give up and LEFT comes back.
    EXPECT_TRUE(tabs.keyPressed(kKeyLeft, kGameLeft));
    EXPECT_EQ(tabs.getItem(1), tabs.getPage(0));
    EXPECT_EQ(tabs.getPage(0)->getItem(0), button);
}

}  // namespace
}  // namespace zq
