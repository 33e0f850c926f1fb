#include "ui/scroll_bar.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/ui/screen_test_support.h"
#include "ui/container.h"
#include "ui/graphics_context.h"
#include "ui/screen.h"

namespace zq {
namespace {

using test::BoxItem;

constexpr Color kRed = 0x0000FF;
constexpr Color kBlack = 0x000000;
constexpr Color kWhite = 0xFFFFFF;
constexpr Color kPaper = 0x123456;

class ScrollBarTest : public test::ScreenFixture {};

TEST_F(ScrollBarTest, UpdateComputesTheThumbOrHidesTheBar) {
    ScrollBar bar;
    EXPECT_EQ(bar.update(240, 200, 400, -100), 12);
    EXPECT_TRUE(bar.isBarShown());
    EXPECT_EQ(bar.thumbOffset(), 43);
    EXPECT_EQ(bar.thumbLength(), 86);
    EXPECT_EQ(bar.itemHeight(), 200);

    EXPECT_EQ(bar.update(240, 200, 200, 0), 0);
    EXPECT_FALSE(bar.isBarShown());
    // Content without height has no bar, whatever the viewport.
    EXPECT_EQ(bar.update(240, -5, 0, 0), 0);
    EXPECT_EQ(bar.update(240, -50, -10, 0), 0);
    EXPECT_FALSE(bar.isBarShown());
    EXPECT_FALSE(bar.pointerPressed(5, 50));
}

TEST_F(ScrollBarTest, ThumbDragIsHandledWhileItLastsAndEndsInTheTrack) {
    ScrollBar bar;
    bar.update(240, 200, 400, -400);
    EXPECT_EQ(bar.thumbOffset(), 172);
    EXPECT_FALSE(bar.pointerDragged(5, 100));
    bar.startDrag(14 + 172 + 5);
    // Regression: a drag that did not move the content counted as unhandled
    // and reached the content below.
    EXPECT_TRUE(bar.pointerDragged(5, 14 + 172 + 5));
    bar.endDrag();
    EXPECT_FALSE(bar.isDragging());
    EXPECT_EQ(bar.thumbOffset(), 200 - 86);
    EXPECT_FALSE(bar.pointerDragged(5, 100));
}

TEST_F(ScrollBarTest, PaintsFrameBoxesArrowsAndGrip) {
    ScrollBar bar;
    bar.update(240, 200, 400, 0);  // thumb 14..100
    makeSurface(20, 200, kPaper);
    bar.paintIfVisible(0, 0, 0, 12, gc_);

    EXPECT_EQ(pixel(0, 0), ScrollBar::kFrameColor);
    EXPECT_EQ(pixel(11, 150), ScrollBar::kFrameColor);
    EXPECT_EQ(pixel(5, 150), ScrollBar::kTrackColor);
    EXPECT_EQ(pixel(5, 100), ScrollBar::kFrameColor);  // the thumb's bottom line
    EXPECT_EQ(pixel(5, 30), ScrollBar::kBoxColor);
    EXPECT_EQ(pixel(12, 50), kPaper);  // clipped to the bar
    // Up arrow: its first row is three pixels around x 5.
    EXPECT_EQ(pixel(5, 6), ScrollBar::kArrowColor);
    EXPECT_EQ(pixel(3, 6), ScrollBar::kBoxColor);
    // Down arrow: its widest row spans x 2..9.
    EXPECT_EQ(pixel(2, 191), ScrollBar::kArrowColor);
    EXPECT_EQ(pixel(9, 191), ScrollBar::kArrowColor);
    EXPECT_EQ(pixel(10, 191), ScrollBar::kBoxColor);
    // Grip lines centred on the thumb: dark, light, box.
    EXPECT_EQ(pixel(3, 53), kBlack);
    EXPECT_EQ(pixel(8, 54), kWhite);
    EXPECT_EQ(pixel(3, 55), ScrollBar::kBoxColor);
    EXPECT_EQ(pixel(9, 53), ScrollBar::kBoxColor);

    // A hidden bar paints nothing.
    makeSurface(20, 200, kPaper);
    bar.update(240, 200, 100, 0);
    bar.paintIfVisible(0, 0, 0, 12, gc_);
    EXPECT_EQ(pixel(0, 0), kPaper);
}

class ScrollBarItemTest : public test::ScreenFixture {
protected:
    // Three boxes of 100 px in a viewport of 100 with a 10 px bar.
    ScrollBarItemTest() {
        auto target = std::make_unique<Container>(false, plainStyle());
        for (int i = 0; i < 3; ++i) {
            auto box = std::make_unique<BoxItem>(100, kRed);
            boxes.push_back(box.get());
            target->add(std::move(box));
        }
        item = std::make_unique<ScrollBarItem>(10, std::move(target), plainStyle());
        item->setViewportHeight(100);
        item->init(200, 200);
    }
    Container& target() { return *item->getTarget(); }

    std::vector<BoxItem*> boxes;
    std::unique_ptr<ScrollBarItem> item;
};

TEST_F(ScrollBarItemTest, TallTargetIsMeasuredBesideTheBar) {
    EXPECT_TRUE(item->isBarShown());
    EXPECT_EQ(boxes[0]->widths, (std::vector<int>{200, 190}));
    EXPECT_EQ(item->contentWidth(), 200);
    EXPECT_EQ(item->contentHeight(), 100);
    EXPECT_EQ(item->contentHeightOfTarget(), 300);
    EXPECT_EQ(target().getParent(), item.get());

    // A target that fits: no bar, the item takes the target's size.
    item->setViewportHeight(400);
    item->init(200, 200);
    EXPECT_FALSE(item->isBarShown());
    EXPECT_EQ(item->contentHeight(), 300);
    EXPECT_EQ(item->contentWidth(), 200);
}

TEST_F(ScrollBarItemTest, TapsOnTheBarPageAndStopAtTheEnds) {
    target().setScrollYOffset(-10, false);
    EXPECT_TRUE(item->pointerPressed(195, 1));  // above the thumb (top 3)
    item->pointerReleased(195, 1);
    EXPECT_EQ(target().getScrollYOffset(), 0);

    for (int i = 0; i < 8; ++i) {
        EXPECT_TRUE(item->pointerPressed(195, 99));  // below the thumb
        item->pointerReleased(195, 99);
    }
    EXPECT_EQ(target().getScrollYOffset(), -200);

    // On the thumb (33 px at 67): a drag scrolls by the content's measure.
    EXPECT_TRUE(item->pointerPressed(195, 80));
    EXPECT_TRUE(item->isDragging());
    EXPECT_TRUE(item->pointerDragged(195, 70));
    EXPECT_EQ(target().getScrollYOffset(), -170);
    item->pointerReleased(195, 70);
    EXPECT_FALSE(item->isDragging());
}

TEST_F(ScrollBarItemTest, PaintStaysInsideTheClipInForce) {
    makeSurface(200, 200, kPaper);
    ClipScope outer(gc_, 0, 0, 200, 50);
    item->paint(0, 0, 0, 200, gc_);
    EXPECT_EQ(pixel(5, 49), kRed);
    EXPECT_EQ(pixel(195, 10), ScrollBarItem::kDefaultThumbColor);
    // Regression: the viewport's clip replaced the narrower one in force.
    EXPECT_EQ(pixel(5, 50), kPaper);
    EXPECT_EQ(pixel(195, 60), kPaper);
    EXPECT_EQ(gc_.getClipHeight(), 50);
}

}  // namespace
}  // namespace zq
