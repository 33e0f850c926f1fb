#include "ui/screen.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/window.h"
#include "tests/ui/container_fixtures.h"
#include "tests/ui/screen_test_support.h"
#include "ui/border.h"
#include "ui/container.h"
#include "ui/display.h"
#include "ui/scroll_bar.h"

namespace zq {
namespace {

using test::BoxItem;

constexpr Color kRed = 0x0000FF;
constexpr Color kBlue = 0xFF0000;
constexpr Color kGrey = 0x808080;

class ScreenTest : public test::ScreenFixture {
protected:
    // A 240-wide screen whose content viewport is `viewport` high (the
    // soft-key bar takes 24 px below it).
    std::unique_ptr<Screen> makeScreen(int viewport, uint32_t flags = 0) {
        auto screen = std::make_unique<Screen>(u"t", plainStyle(flags), true);
        screen->setSize(240, viewport + 24);
        return screen;
    }
    static BoxItem* addBox(Screen& screen, int height, Color color = kRed) {
        auto box = std::make_unique<BoxItem>(height, color);
        BoxItem* raw = box.get();
        screen.getContent()->add(std::move(box));
        return raw;
    }
};

// A screen whose shown marquee a subclass owns, as a form with tabs does.
class TabScreen : public Screen {
public:
    TabScreen() : Screen(u"tabs", true) {}
    using Screen::setShownMarquee;
};

TEST_F(ScreenTest, MetricsFollowTheScreenSize) {
    struct Case {
        Size size;
        int shortSide, longSide;
        bool landscape;
        float scale;
        int rows;
    };
    const Case cases[] = {
        {{240, 320}, 240, 320, false, 1.0f, 13},
        {{320, 240}, 240, 320, true, 1.0f, 13},
        {{480, 640}, 480, 640, false, 2.0f, 31},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.size.width) + "x" + std::to_string(c.size.height));
        Screen::initMetrics(c.size);
        const ScreenMetrics m = screenMetrics();
        EXPECT_EQ(m.shortSide, c.shortSide);
        EXPECT_EQ(m.longSide, c.longSide);
        EXPECT_EQ(m.landscape, c.landscape);
        EXPECT_EQ(m.scale, c.scale);
        EXPECT_EQ(m.defaultRowCount, c.rows);
        EXPECT_EQ(m.baseFontSize, 14);
        EXPECT_EQ(m.statusLineHeight, 17);
    }
}

TEST_F(ScreenTest, AreasFollowMarginsBorderHeaderAndStatusLine) {
    Style* style = plainStyle();
    style->setMargins(3, 5, 7, 9);
    style->setBorder(Held<Border>(std::make_unique<LineBorder>(kGrey, 2)));
    Screen screen(u"t", style, true);
    screen.setSize(240, 320);
    EXPECT_TRUE(screen.isLayoutValid());
    EXPECT_EQ(screen.softKeyBarHeight(), 24);
    EXPECT_EQ(screen.usableHeight(), 296);
    EXPECT_EQ(screen.contentRect(), Rect::fromSize(5, 9, 228, 296 - 16 - 4));

    BoxItem header(20, kBlue);
    screen.setHeaderItem(&header);
    EXPECT_EQ(screen.headerHeight(), 20);
    EXPECT_EQ(screen.contentRect(), Rect::fromSize(5, 29, 228, 296 - 16 - 4 - 20));
    screen.setHeaderItem(nullptr);

    // A marquee takes the status line just above the soft-key bar.
    screen.setMarquee(std::make_unique<BoxItem>(17, kBlue));
    EXPECT_EQ(screen.getStatusLineHeight(), 17);
    EXPECT_TRUE(screen.isRelayoutNeeded());
    screen.layout(0, 0, 240, screen.usableHeight());
    EXPECT_EQ(screen.contentRect(), Rect::fromSize(5, 9, 228, 296 - 16 - 4 - 17));
    EXPECT_EQ(screen.marqueeRect(), Rect::fromSize(0, 279, 240, 17));

    // The soft-key bar hidden gives its height back.
    screen.setSoftKeyBarVisible(false);
    EXPECT_EQ(screen.usableHeight(), 320);
}

TEST_F(ScreenTest, ContentIsMeasuredAtTheContentWidth) {
    auto screen = makeScreen(296);
    BoxItem* box = addBox(*screen, 100);
    screen->layout(0, 0, 240, 296);
    // Content that fits gets the whole width.
    EXPECT_EQ(box->widths, std::vector<int>{240});
    EXPECT_EQ(screen->contentLayoutWidth(), 240);

    // Taller content is measured again beside the scroll bar (the re-run).
    box->widths.clear();
    box->setHeight(400);
    screen->layout(0, 0, 240, 296);
    EXPECT_EQ(box->widths, (std::vector<int>{240, 228}));
    EXPECT_EQ(screen->contentLayoutWidth(), 228);
    EXPECT_EQ(screen->getContent()->itemHeight(), 400);
    EXPECT_FALSE(screen->isRelayoutNeeded());

    // Back to a short content: the full width again, no second pass.
    box->widths.clear();
    box->setHeight(100);
    screen->layout(0, 0, 240, 296);
    EXPECT_EQ(box->widths, std::vector<int>{240});
    EXPECT_EQ(screen->contentLayoutWidth(), 240);
}

TEST_F(ScreenTest, ScrollByStopsAtBothEnds) {
    auto screen = makeScreen(300);
    addBox(*screen, 500);
    screen->layout(0, 0, 240, 300);

    screen->setScrollOffset(-30, false);
    screen->scrollBy(100);
    EXPECT_EQ(screen->getScrollOffset(), 0);
    screen->scrollBy(10);
    EXPECT_EQ(screen->getScrollOffset(), 0);

    screen->setScrollOffset(-150, false);
    screen->scrollBy(-100);
    EXPECT_EQ(screen->getScrollOffset(), -200);
    screen->scrollBy(0);
    EXPECT_EQ(screen->getScrollOffset(), -200);

    // Content that fits never scrolls.
    auto small = makeScreen(300);
    addBox(*small, 300);
    small->layout(0, 0, 240, 300);
    small->scrollBy(-50);
    EXPECT_EQ(small->getScrollOffset(), 0);
}

TEST_F(ScreenTest, LeftAndRightPageTallContent) {
    auto screen = makeScreen(300);
    addBox(*screen, 500);
    screen->layout(0, 0, 240, 300);
    // A page is the viewport less 40 px, never past the bottom or the top.
    EXPECT_FALSE(screen->contentKeyPressed(kKeyRight, kGameRight));
    EXPECT_EQ(screen->getScrollOffset(), -200);
    screen->keyPressed(kKeyLeft);
    EXPECT_EQ(screen->getScrollOffset(), 0);

    auto longer = makeScreen(300);
    addBox(*longer, 1000);
    longer->layout(0, 0, 240, 300);
    longer->keyPressed(kKeyRight);
    EXPECT_EQ(longer->getScrollOffset(), -260);

    // Content that fits: nothing moves and the key stays unhandled.
    auto small = makeScreen(300);
    addBox(*small, 200);
    small->layout(0, 0, 240, 300);
    EXPECT_FALSE(small->contentKeyPressed(kKeyRight, kGameRight));
    EXPECT_EQ(small->getScrollOffset(), 0);

    // Regression: a viewport of 40 px or less paged by zero or backwards.
    auto tiny = makeScreen(30);
    addBox(*tiny, 100);
    tiny->layout(0, 0, 240, 30);
    tiny->keyPressed(kKeyRight);
    EXPECT_EQ(tiny->getScrollOffset(), -1);
}

TEST_F(ScreenTest, PaintsBackgroundScrolledContentAndScrollBar) {
    auto screen = makeScreen(296);
    addBox(*screen, 200, kRed);
    addBox(*screen, 200, kBlue);
    makeSurface(240, 320, 0);
    screen->paint(gc_);

    EXPECT_EQ(pixel(5, 5), kRed);
    EXPECT_EQ(pixel(5, 250), kBlue);
    EXPECT_EQ(pixel(227, 5), kRed);
    // The bar at the right edge: thumb box near the top, track below it.
    EXPECT_EQ(pixel(233, 60), ScrollBar::kBoxColor);
    EXPECT_EQ(pixel(233, 250), ScrollBar::kTrackColor);
    // Below the page frame the soft-key bar, in the soft-key colour.
    EXPECT_EQ(pixel(5, 296), colorSettings().menuBack);

    screen->scrollBy(-100);
    screen->paint(gc_);
    EXPECT_EQ(pixel(5, 50), kRed);
    EXPECT_EQ(pixel(5, 150), kBlue);
    EXPECT_EQ(pixel(5, 295), kBlue);
}

TEST_F(ScreenTest, ShortContentOnThePageAndCentredWithFitHeight) {
    auto plain = makeScreen(296);
    addBox(*plain, 96, kRed);
    makeSurface(240, 320, 0);
    plain->paint(gc_);
    EXPECT_EQ(pixel(5, 95), kRed);
    EXPECT_EQ(pixel(5, 96), rgb(9, 16, 35));
    EXPECT_EQ(pixel(239, 295), rgb(9, 16, 35));

    auto screen = makeScreen(296, 0x30 | 0x1000);
    addBox(*screen, 96, kRed);
    makeSurface(240, 320, 0);
    screen->paint(gc_);
    // The page frame shrinks to the content: nothing above or below it.
    EXPECT_EQ(pixel(5, 99), 0u);
    EXPECT_EQ(pixel(5, 100), kRed);
    EXPECT_EQ(pixel(5, 195), kRed);
    EXPECT_EQ(pixel(5, 196), 0u);
}

TEST_F(ScreenTest, ScrollBarTapsAndThumbDrag) {
    auto screen = makeScreen(300);
    addBox(*screen, 600);
    makeSurface(240, 324, 0);
    screen->paint(gc_);
    const ScrollBar& bar = screen->scrollBar();
    ASSERT_TRUE(bar.isBarShown());
    ASSERT_EQ(bar.relativeX(), 228);
    // Track 272, thumb 136 from y 14.
    EXPECT_EQ(bar.thumbLength(), 136);

    screen->pointerPressed(233, 250);  // below the thumb
    screen->pointerReleased(233, 250);
    EXPECT_EQ(screen->getScrollOffset(), -40);
    screen->paint(gc_);
    EXPECT_EQ(bar.thumbOffset(), 18);
    screen->pointerPressed(233, 5);  // the up arrow, above the thumb
    screen->pointerReleased(233, 5);
    EXPECT_EQ(screen->getScrollOffset(), 0);
    screen->paint(gc_);

    // On the thumb: no page step; the drag follows the pen.
    screen->pointerPressed(233, 50);
    EXPECT_EQ(screen->getScrollOffset(), 0);
    EXPECT_TRUE(bar.isDragging());
    screen->pointerDragged(233, 80);
    EXPECT_EQ(screen->getScrollOffset(), -30);
    screen->pointerReleased(150, 80);
    EXPECT_FALSE(bar.isDragging());
    screen->pointerDragged(233, 10);
    EXPECT_EQ(screen->getScrollOffset(), -30);
}

TEST_F(ScreenTest, SetMarqueeReleasesTheOldAndNotifiesWhileShown) {
    Display display({240, 320});
    Screen screen(u"t", plainStyle(), true);
    display.setCurrent(&screen, true);
    std::vector<std::string> log;
    int destroyed = 0;

    screen.setMarquee(std::make_unique<BoxItem>(17, kBlue, &log, &destroyed));
    EXPECT_EQ(log, std::vector<std::string>{"show"});
    screen.setMarquee(std::make_unique<BoxItem>(17, kBlue, &log, &destroyed));
    EXPECT_EQ(log, (std::vector<std::string>{"show", "hide", "show"}));
    EXPECT_EQ(destroyed, 1);
    screen.setMarquee(nullptr);
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(screen.getStatusLineHeight(), 0);
}

TEST_F(ScreenTest, AMarqueeOwnedElsewhereIsNotReleased) {
    // Regression: a tab's marquee was deleted by the screen and by its form.
    int destroyed = 0;
    auto tabMarquee = std::make_unique<BoxItem>(17, kBlue, nullptr, &destroyed);
    {
        TabScreen screen;
        screen.setShownMarquee(tabMarquee.get());
        EXPECT_EQ(screen.getMarquee(), tabMarquee.get());
        screen.setMarquee(std::make_unique<BoxItem>(17, kRed, nullptr, &destroyed));
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST_F(ScreenTest, StatusLineReservationsStandSideBySide) {
    auto screen = makeScreen(296);
    BoxItem a(1, kRed);
    BoxItem b(1, kRed);
    EXPECT_FALSE(screen->isRelayoutNeeded());
    EXPECT_EQ(screen->reserveStatusLineSpace(50, &a), (Rect{190, 279, 240, 296}));
    EXPECT_TRUE(screen->isRelayoutNeeded());
    EXPECT_EQ(screen->reserveStatusLineSpace(30, &b), (Rect{160, 279, 190, 296}));
    // A new width replaces the owner's earlier one.
    EXPECT_EQ(screen->reserveStatusLineSpace(20, &a), (Rect{220, 279, 240, 296}));
    EXPECT_EQ(screen->reservedStatusWidth(), 50);
    EXPECT_EQ(screen->getStatusLineHeight(), 17);
    screen->layout(0, 0, 240, 296);
    EXPECT_EQ(screen->contentRect().height(), 279);
    // Taps in a band find its owner while the owner lives.
    EXPECT_EQ(screen->statusLineOwnerAt(225, 285), &a);
    EXPECT_EQ(screen->statusLineOwnerAt(200, 285), &b);
    EXPECT_EQ(screen->statusLineOwnerAt(100, 285), nullptr);
    EXPECT_EQ(screen->statusLineOwnerAt(225, 270), nullptr);
    auto gone = std::make_unique<BoxItem>(1, kRed);
    screen->reserveStatusLineSpace(40, gone.get());
    gone.reset();
    EXPECT_EQ(screen->statusLineOwnerAt(160, 285), nullptr);
}

// Link Z, link A, text taller than the view, link B; A has the focus. Each
// road that moves the view leaves the focus on a control drawn on screen,
// the one it brought into view, or on none.
struct FocusRoad {
    const char* name;
    void (*road)(Screen&);
    int focused;  // the content's focused index after it; -1 for none
    int text = 400;
};

const FocusRoad kFocusRoads[] = {
    {"right twice",
     [](Screen& s) {
         s.keyPressed(kKeyRight);
         s.keyPressed(kKeyRight);
     },
     -1},
    {"bar taps below the thumb",
     [](Screen& s) {
         for (int i = 0; i < 3; ++i) {
             s.pointerPressed(233, 90);
             s.pointerReleased(233, 90);
         }
     },
     -1},
    {"thumb drag",
     [](Screen& s) {
         s.pointerPressed(233, 20);
         s.pointerDragged(233, 90);
         s.pointerReleased(233, 90);
     },
     -1},
    {"right to the end",
     [](Screen& s) {
         for (int i = 0; i < 8; ++i) s.keyPressed(kKeyRight);
     },
     3},
    {"right to one pixel row of B",
     [](Screen& s) {
         for (int i = 0; i < 5; ++i) s.keyPressed(kKeyRight);
     },
     -1, 379},
    {"right twice and back",
     [](Screen& s) {
         s.keyPressed(kKeyRight);
         s.keyPressed(kKeyRight);
         s.keyPressed(kKeyLeft);
         s.keyPressed(kKeyLeft);
     },
     1},
};

TEST_F(ScreenTest, TheFocusStaysOnAControlDrawnOnScreen) {
    for (const FocusRoad& row : kFocusRoads) {
        SCOPED_TRACE(row.name);
        auto screen = makeScreen(100);
        Container& content = *screen->getContent();
        content.add(std::make_unique<test::Box>(100, 20, true));
        content.add(std::make_unique<test::Box>(100, 20, true));
        content.add(std::make_unique<test::Box>(100, row.text, false));
        content.add(std::make_unique<test::Box>(100, 20, true));
        makeSurface(240, 124, 0);
        screen->paint(gc_);
        screen->keyPressed(kKeyDown);
        screen->keyPressed(kKeyDown);
        screen->paint(gc_);
        ASSERT_EQ(content.getFocusedIndex(), 1);

        row.road(*screen);
        EXPECT_TRUE(screen->isFocusDrawn());
        EXPECT_EQ(content.getFocusedIndex(), row.focused);
        screen->paint(gc_);
        EXPECT_TRUE(screen->isFocusDrawn());
        EXPECT_EQ(content.getFocusedIndex(), row.focused);
    }
}

// Pictures arriving above the focused link push it down: it stays where it
// was seen, unless the user scrolled it away.
TEST_F(ScreenTest, ALayoutKeepsTheFocusedControlWhereItWasSeen) {
    auto screen = makeScreen(100);
    BoxItem* picture = addBox(*screen, 20);
    Item* link = screen->getContent()->add(std::make_unique<test::Box>(100, 20, true));
    addBox(*screen, 400);
    makeSurface(240, 124, 0);
    screen->paint(gc_);
    screen->keyPressed(kKeyDown);
    screen->paint(gc_);
    ASSERT_TRUE(link->isFocused());
    ASSERT_EQ(screen->getScrollOffset(), 0);

    picture->setHeight(300);
    screen->paint(gc_);
    EXPECT_TRUE(link->isFocused());
    EXPECT_TRUE(screen->isFocusDrawn());
    EXPECT_EQ(screen->getScrollOffset(), -280);

    // A reload keeps the link where the user saw it, though still drawn lower.
    int seenTop = 0;
    ASSERT_TRUE(screen->focusedTop(seenTop));
    picture->setHeight(310);
    screen->keepFocusAt(seenTop);
    screen->paint(gc_);
    int top = 0;
    ASSERT_TRUE(screen->focusedTop(top));
    EXPECT_EQ(top, seenTop);
    EXPECT_EQ(screen->getScrollOffset(), -290);

    // Scrolled away, the link lets go; another layout does not bring it back.
    screen->keyPressed(kKeyRight);
    screen->keyPressed(kKeyRight);
    EXPECT_FALSE(link->isFocused());
    picture->setHeight(500);
    screen->paint(gc_);
    EXPECT_FALSE(link->isFocused());
    EXPECT_EQ(screen->getScrollOffset(), -410);
}

TEST_F(ScreenTest, ControlListPositions) {
    Screen screen(u"t", true);
    BoxItem a(1, kRed);
    BoxItem b(1, kRed);
    BoxItem c(1, kRed);
    screen.controlList() = {&a, &b};
    EXPECT_EQ(screen.indexOfControl(&b), 1);
    EXPECT_EQ(screen.indexOfControl(&c), -1);
    EXPECT_EQ(screen.indexOfControl(nullptr), -1);
}

}  // namespace
}  // namespace zq
