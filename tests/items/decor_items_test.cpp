// The small page items: marquee, separator, spacer, progress bar and list.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "items/hyperlink_item.h"
#include "items/list_container.h"
#include "items/marquee_item.h"
#include "items/progress_bar_item.h"
#include "items/separator_item.h"
#include "items/string_item.h"
#include "items/tree.h"
#include "tests/support/test_font.h"
#include "ui/client_context.h"
#include "ui/container.h"
#include "ui/default_styles.h"
#include "ui/display.h"
#include "ui/font_cache.h"
#include "ui/listeners.h"
#include "ui/screen.h"
#include "ui/style.h"

namespace zq {
namespace {

constexpr int kKeyUp = 38;
constexpr int kKeyDown = 40;
constexpr int kKeyLeft = 37;
constexpr int kKeyRight = 39;

class StateLog : public ItemStateListener {
public:
    void itemStateChanged(Item* /*item*/) override { ++changes; }
    int changes = 0;
};

class DecorItemsTest : public ::testing::Test {
protected:
    DecorItemsTest() { releaseSharedFonts(); }
    ~DecorItemsTest() override {
        freeTrackedStyles();
        releaseSharedFonts();
    }

    ClientContext context_;
    test::ScopedFixedFont fixed_;  // 7 px per character, 14 px lines
};

// --- marquee ---------------------------------------------------------------------------

TEST_F(DecorItemsTest, MarqueeRestartsOnceACopyAndItsGapHavePassed) {
    MarqueeItem marquee(u"0123456789", u"m", createMarqueeStyle());  // 70 px
    for (int step = 1; step <= 9; ++step) {
        marquee.scrollStep();
        EXPECT_EQ(marquee.getScrollOffset(), -10 * step);
    }
    marquee.scrollStep();  // -100 >= 70 + 30
    EXPECT_EQ(marquee.getScrollOffset(), 0);
}

TEST_F(DecorItemsTest, MarqueeShowsTheLookedUpTextElseItsDefault) {
    std::vector<CString> asked;
    CString answer;
    context_.setMarqueeTextLookup([&](const CString& key) {
        asked.push_back(key);
        return answer;
    });

    // Nothing to show: no room taken.
    MarqueeItem marquee(CString(), u"news", createMarqueeStyle());
    marquee.init(200, 200);
    EXPECT_EQ(marquee.itemHeight(), 0);
    // A text found when shown is laid out at the width it had.
    answer = u"rates up";
    marquee.showNotify();
    EXPECT_EQ(marquee.getText(), CString(u"rates up"));
    EXPECT_EQ(marquee.itemWidth(), 200);
    EXPECT_EQ(marquee.contentHeight(), 14);

    // Without a key of its own the marquee shows the settings' text.
    answer.clear();
    MarqueeItem plain(u"welcome", CString(), createMarqueeStyle());
    plain.showNotify();
    EXPECT_EQ(plain.getText(), CString(u"welcome"));
    EXPECT_EQ(asked, (std::vector<CString>{u"news", u"sys-marquee"}));
}

TEST_F(DecorItemsTest, MarqueeTicksOnlyOnTheCurrentScreenWithoutMenu) {
    Screen::initMetrics({240, 320});
    context_.setDisplayArea(Rect::fromSize(0, 0, 240, 320));
    Display display(Size{240, 320});
    Screen screen(u"page", true);
    Screen other(u"other", true);
    auto owned = std::make_unique<MarqueeItem>(u"ticker", u"m", createMarqueeStyle());
    MarqueeItem* marquee = owned.get();
    screen.setMarquee(std::move(owned));
    display.setCurrent(&screen, true);
    ASSERT_EQ(screen.ticker().itemCount(), 1);
    // Not placed before the screen has painted it; the step that waited
    // comes with the first tick after.
    for (int i = 0; i < 5; ++i) EXPECT_EQ(marquee->onTimer(), 0);
    EXPECT_EQ(marquee->getScrollOffset(), 0);
    display.repaint();
    EXPECT_EQ(marquee->onTimer(), 1);
    EXPECT_EQ(marquee->getScrollOffset(), -10);

    // Then every fifth tick, one step.
    for (int i = 0; i < 4; ++i) EXPECT_EQ(marquee->onTimer(), 0);
    EXPECT_EQ(marquee->onTimer(), 1);
    EXPECT_EQ(marquee->getScrollOffset(), -20);
    // Not under an open menu; the step waits for it to close.
    screen.onRetry(Screen::kBusyMenuOpen, true);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(marquee->onTimer(), 0);
    screen.onRetry(Screen::kBusyMenuOpen, false);
    EXPECT_EQ(marquee->onTimer(), 1);
    EXPECT_EQ(marquee->getScrollOffset(), -30);

    // Hidden: off the ticker.
    display.setCurrent(&other, true);
    EXPECT_EQ(screen.ticker().itemCount(), 0);
}

// --- separator and spacer ---------------------------------------------------------------

TEST_F(DecorItemsTest, SeparatorAndSpacerSizes) {
    SeparatorItem wide(300, 2, 0xFFFFFF, nullptr);
    wide.init(240, 240);
    EXPECT_EQ(wide.contentWidth(), 240);  // cut to the line
    EXPECT_EQ(wide.contentHeight(), 2);
    SeparatorItem whole(0, 1, 0xFFFFFF, nullptr);
    whole.init(180, 180);
    EXPECT_EQ(whole.contentWidth(), 180);
    SeparatorItem narrow(50, 1, 0xFFFFFF, nullptr);
    narrow.init(180, 180);
    EXPECT_EQ(narrow.contentWidth(), 50);

    Spacer line(120);
    line.init(240, 240);
    EXPECT_EQ(line.itemWidth(), 120);
    EXPECT_EQ(line.itemHeight(), 14);
    Spacer gap(30, 3);
    gap.init(240, 240);
    EXPECT_EQ(gap.itemHeight(), 3);
}

// --- progress bar -----------------------------------------------------------------------

TEST_F(DecorItemsTest, ProgressBarClampsItsValue) {
    ProgressBarItem over(CString(), true, 100, 150, createProgressBarStyle());
    EXPECT_EQ(over.getValue(), 100);
    EXPECT_EQ(over.getValueText(), CString(u"100"));
    ProgressBarItem under(CString(), true, 100, -5, nullptr);
    EXPECT_EQ(under.getValue(), 0);
    ProgressBarItem negativeMax(CString(), true, -7, 3, nullptr);
    EXPECT_EQ(negativeMax.getValue(), 0);
}

TEST_F(DecorItemsTest, ProgressBarKeysAndTaps) {
    StateLog log;
    ProgressBarItem bar(CString(), true, 3, 2, createProgressBarStyle());
    bar.setItemStateListener(&log);
    EXPECT_TRUE(bar.keyPressed(kKeyRight, kGameRight));
    EXPECT_EQ(bar.getValue(), 3);
    EXPECT_TRUE(bar.keyPressed(kKeyRight, kGameRight));  // consumed at the maximum
    EXPECT_EQ(bar.getValue(), 3);
    EXPECT_EQ(log.changes, 1);
    EXPECT_FALSE(bar.keyPressed(kKeyUp, kGameUp));

    // A tap at the maximum wraps to 0.
    bar.init(100, 100);
    EXPECT_TRUE(bar.pointerPressed(5, 5));
    EXPECT_EQ(bar.getValue(), 0);
    EXPECT_TRUE(bar.keyPressed(kKeyLeft, kGameLeft));  // consumed at 0
    EXPECT_EQ(bar.getValue(), 0);
    EXPECT_EQ(log.changes, 2);

    ProgressBarItem shown(CString(), false, 10, 5, nullptr);
    EXPECT_FALSE(shown.isInteractive());
    EXPECT_FALSE(shown.keyPressed(kKeyRight, kGameRight));
    shown.init(100, 100);
    EXPECT_FALSE(shown.pointerPressed(5, 5));
}

TEST_F(DecorItemsTest, RunningBarShowsNoTextAndRunsInStateTwo) {
    ProgressBarItem bar(CString(), true, ProgressBarItem::kRunning, 1, createProgressBarStyle());
    EXPECT_TRUE(bar.isRunning());
    EXPECT_FALSE(bar.animate());  // not laid out
    bar.init(100, 100);
    EXPECT_EQ(bar.getMaxValue(), ProgressBarItem::kRunningMaximum);
    EXPECT_EQ(bar.contentHeight(), 10);  // no text line
    EXPECT_FALSE(bar.animate());
    bar.setValue(2);
    EXPECT_TRUE(bar.animate());
    EXPECT_FALSE(bar.keyPressed(kKeyRight, kGameRight));

    // Regression: state 3 wrapped at the block pitch, not past the maximum.
    bar.setValue(1);
    for (int i = 0; i < 20; ++i) bar.setValue(3);
    EXPECT_EQ(bar.getRunPosition(), 20);
    bar.setValue(3);
    EXPECT_EQ(bar.getRunPosition(), 0);
}

// Regression: the animation step reached only the content container and
// the marquee, so a running bar in the page (or deeper, in a container or an
// open tree node) never moved.
TEST_F(DecorItemsTest, TheScreensAnimationStepMovesRunningBarsAnywhereInThePage) {
    Screen::initMetrics({240, 320});
    context_.setDisplayArea(Rect::fromSize(0, 0, 240, 320));
    Display display(Size{240, 320});
    Screen screen(u"page", true);
    auto runningBar = [] {
        return std::make_unique<ProgressBarItem>(CString(), false, ProgressBarItem::kRunning, 2,
                                                 createProgressBarStyle());
    };
    ProgressBarItem* top = static_cast<ProgressBarItem*>(screen.getContent()->add(runningBar()));
    auto box = std::make_unique<Container>(false, nullptr);
    auto* inBox = static_cast<ProgressBarItem*>(box->add(runningBar()));
    screen.getContent()->add(std::move(box));
    auto tree = std::make_unique<TreeContainer>(CString(), nullptr);
    Item* header = tree->addLeaf(CString(u"node"), ImageRef(), nullptr);
    auto underNode = runningBar();
    ProgressBarItem* inNode = underNode.get();
    NodeItem* node = tree->addChild(header, std::move(underNode));
    screen.getContent()->add(std::move(tree));
    node->setExpanded(true);
    display.setCurrent(&screen, true);
    display.repaint();

    for (ProgressBarItem* bar : {top, inBox, inNode}) EXPECT_EQ(bar->getRunPosition(), 0);
    screen.animate(0);
    for (ProgressBarItem* bar : {top, inBox, inNode}) EXPECT_EQ(bar->getRunPosition(), 1);
    // A closed node's children are not shown and stand still.
    node->setExpanded(false);
    screen.animate(0);
    EXPECT_EQ(top->getRunPosition(), 2);
    EXPECT_EQ(inNode->getRunPosition(), 1);
}

// --- list -------------------------------------------------------------------------------

TEST_F(DecorItemsTest, ListLabels) {
    EXPECT_EQ(toRomanNumeral(0), CString());
    ListContainer list;
    list.setStartNumber(5);  // ignored: the list is not decimal yet
    struct Case {
        ListMarker type;
        int index;
        const char16_t* label;
    } cases[] = {{ListMarker::Decimal, 0, u"1."},
                 {ListMarker::UpperRoman, 3, u"IV."},
                 {ListMarker::UpperRoman, 1993, u"MCMXCIV."},
                 {ListMarker::LowerRoman, 8, u"ix."},
                 {ListMarker::LowerAlpha, 0, u"a."},
                 {ListMarker::LowerAlpha, 26, u"aa."},
                 {ListMarker::LowerAlpha, 52, u"aaa."},
                 {ListMarker::UpperAlpha, 25, u"Z."}};
    for (const Case& c : cases) {
        list.setListStyleType(static_cast<int>(c.type));
        EXPECT_EQ(list.markerLabel(c.index), CString(c.label)) << c.index;
    }
    list.setListStyleType(static_cast<int>(ListMarker::Decimal));
    list.setStartNumber(5);
    EXPECT_EQ(list.markerLabel(1), CString(u"6."));
    list.setListStyleType(12);
    EXPECT_EQ(list.getListStyleType(), ListMarker::None);
}

TEST_F(DecorItemsTest, ListRowsStandBehindTheMarkerColumn) {
    ListContainer list;
    list.setStyle(createListContainerStyle());  // paddings: 4 between rows and column
    list.setListStyleType(static_cast<int>(ListMarker::Decimal));
    list.add(std::make_unique<StringItem>(CString(), u"first", createTextStyle()));
    list.add(std::make_unique<Spacer>(20, 2));
    list.add(std::make_unique<StringItem>(CString(), u"third", createTextStyle()));
    list.init(240, 240);

    // "1." is 14 px wide; entries start after it and the padding.
    EXPECT_EQ(list.markerWidth(), 14);
    Item* first = list.getItem(0);
    EXPECT_EQ(first->relativeX(), 18);
    // A short entry still takes the marker's height.
    EXPECT_EQ(list.getItem(1)->relativeY(), first->itemHeight() + 4);
    EXPECT_EQ(list.getItem(2)->relativeY(), first->itemHeight() + 4 + 14 + 4);
    EXPECT_FALSE(list.isInteractive());  // no entry takes the focus

    // No marker: no column.
    list.setListStyleType(static_cast<int>(ListMarker::None));
    list.init(240, 240);
    EXPECT_EQ(list.markerWidth(), 0);
    EXPECT_EQ(first->relativeX(), 4);
}

TEST_F(DecorItemsTest, ListMovesTheFocusWithUpAndDownButNotWithTwoAndEight) {
    ListContainer list;
    list.setStyle(createListContainerStyle());
    for (const char16_t* text : {u"a", u"b", u"c"}) {
        list.add(std::make_unique<HyperlinkItem>(text, u"h", createHyperlinkStyle()));
    }
    list.init(240, 240);
    ASSERT_TRUE(list.isInteractive());

    list.focus(nullptr, kGameUp);  // from below: the last entry
    EXPECT_EQ(list.getFocusedIndex(), 2);
    list.defocus(nullptr);
    list.focus(nullptr, kGameDown);  // keeps the entry it had
    EXPECT_EQ(list.getFocusedIndex(), 2);

    EXPECT_FALSE(list.keyPressed('2', kGameUp));
    EXPECT_EQ(list.getFocusedIndex(), 2);
    EXPECT_TRUE(list.keyPressed(kKeyUp, kGameUp));
    EXPECT_EQ(list.getFocusedIndex(), 1);
    EXPECT_FALSE(list.keyPressed('8', kGameDown));
    EXPECT_TRUE(list.keyPressed(kKeyDown, kGameDown));
    EXPECT_FALSE(list.keyPressed(kKeyDown, kGameDown));  // the end: the page moves on
    EXPECT_EQ(list.getFocusedIndex(), 2);
}

}  // namespace
}  // namespace zq
