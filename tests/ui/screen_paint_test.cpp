// What the screen's paint puts where: the order of its overlays, the tip
// box, the pressed item, and the repaints of the animation step and of a
// load that ends; and what being shown changes.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/ui_loop.h"
#include "tests/support/display_fixture.h"
#include "tests/ui/screen_test_support.h"
#include "ui/code_input_pad.h"
#include "ui/command.h"
#include "ui/container.h"
#include "ui/listeners.h"
#include "ui/screen.h"

namespace zq {
namespace {

constexpr Color kPage = 0x224466;
constexpr Color kBlue = 0xFF0000;
constexpr int kUsable = 296;  // 320 less the 24 px soft-key bar

// A box that counts its paints and, when told, asks the animation step for
// a repaint.
class CountingBox : public Item {
public:
    explicit CountingBox(int height) : height_(height) {}
    void initContent(int, int lineWidth) override {
        contentWidth_ = lineWidth;
        contentHeight_ = height_;
    }
    void paintContent(int x, int y, int, int, GraphicsContext& g) override {
        ++paints;
        g.getDC()->fillRect(Rect::fromSize(x, y, contentWidth_, contentHeight_), color);
    }
    bool animate() override { return moving; }

    int paints = 0;
    Color color = kPage;
    bool moving = false;

private:
    int height_;
};

class ScreenPaintTest : public test::ScreenFixture {
protected:
    ScreenPaintTest() {
        makeSurface(240, 320, 0);
        screen_.setSize(240, 320);
        auto box = std::make_unique<CountingBox>(40);
        box_ = box.get();
        screen_.getContent()->add(std::move(box));
    }
    // The top of the tip box's fill at the left edge.
    int tipTop() {
        screen_.paint(gc_);
        int y = kUsable - 2;
        while (y > 0 && pixel(3, y - 1) == ScreenPainter::kDefaultTipColor) --y;
        return y;
    }

    Screen screen_{u"t", plainStyle(), true};
    CountingBox* box_ = nullptr;
};

// Regression: a press was drawn again only when the pen was lifted.
TEST_F(ScreenPaintTest, ThePressedItemIsDrawnAgainByTheSecondPaintAfterItsPress) {
    screen_.paint(gc_);
    screen_.setPressedItem(box_);
    box_->paints = 0;
    screen_.paint(gc_);
    EXPECT_EQ(box_->paints, 1);
    EXPECT_EQ(screen_.getPressedItem(), box_);
    screen_.paint(gc_);
    EXPECT_EQ(box_->paints, 3);
    EXPECT_EQ(screen_.getPressedItem(), nullptr);
    screen_.paint(gc_);
    EXPECT_EQ(box_->paints, 4);
}

// Regression: the menu and the soft-key bar were drawn over the code pad.
TEST_F(ScreenPaintTest, TheCodePadStandsOverTheOpenMenu) {
    screen_.paint(gc_);
    const Surface page = surface_;
    screen_.openCodeInputPad(nullptr, CString(), true);
    screen_.paint(gc_);
    const Surface alone = surface_;
    // Entries as wide as the screen, over the pad.
    for (char16_t c : {u'a', u'b', u'c', u'd'}) {
        screen_.addCommand(std::make_shared<Command>(CString(c, 40), 1, 1));
    }
    screen_.setPopupMenuOpen(true);
    screen_.paint(gc_);
    ASSERT_TRUE(screen_.isPopupMenuOpen());
    int padPixels = 0;
    for (int y = 0; y < kUsable; ++y) {
        for (int x = 0; x < 240; ++x) {
            if (alone.getPixel(x, y) == page.getPixel(x, y)) continue;
            ++padPixels;
            ASSERT_EQ(pixel(x, y), alone.getPixel(x, y)) << x << "," << y;
        }
    }
    EXPECT_GT(padPixels, 0);
}

// Regression: the tip was one line, cut at the screen's edge.
TEST_F(ScreenPaintTest, TheTipBoxHoldsEveryLineOfItsText) {
    screen_.setTipText(u"ab");
    EXPECT_EQ(tipTop(), kUsable - 14 - 4);
    screen_.setTipText(u"ab\ncd");
    EXPECT_EQ(tipTop(), kUsable - 28 - 4);
    // 40 characters are 280 px: two lines within the screen.
    screen_.setTipText(CString(u'x', 40));
    EXPECT_EQ(tipTop(), kUsable - 28 - 4);
    EXPECT_EQ(pixel(235, kUsable - 3), ScreenPainter::kDefaultTipColor);
    EXPECT_NE(pixel(236, kUsable - 3), ScreenPainter::kDefaultTipColor);
}

class StateLog : public ItemStateListener {
public:
    void itemStateChanged(Item* item) override { items.push_back(item); }
    std::vector<Item*> items;
};

// Regression: the shared state-change screen was never set, so a change
// reached only the item's own screen.
TEST_F(ScreenPaintTest, TheShownScreenHearsEveryItemsStateChange) {
    StateLog shown;
    StateLog own;
    Screen other(u"o", plainStyle(), true);
    other.setItemStateListener(&shown);
    screen_.setItemStateListener(&own);
    other.showNotify();
    box_->notifyStateChanged();
    EXPECT_EQ(shown.items, std::vector<Item*>{box_});
    other.hideNotify();
    box_->notifyStateChanged();
    EXPECT_EQ(own.items, std::vector<Item*>{box_});
    EXPECT_EQ(shown.items.size(), 1u);
}

// A Display with a UI loop over its headless window, showing one screen.
class ScreenRepaintTest : public test::DisplayFixture {
protected:
    ScreenRepaintTest() : loop_(executor_, window_, *display_) {
        display_->attach(&loop_);
        auto box = std::make_unique<CountingBox>(40);
        box_ = box.get();
        screen_.getContent()->add(std::move(box));
        auto marquee = std::make_unique<CountingBox>(17);
        marquee_ = marquee.get();
        screen_.setMarquee(std::move(marquee));
        display_->setCurrent(&screen_);
        loop_.runOnce(0);
    }
    ~ScreenRepaintTest() override { display_->attach(nullptr); }

    UiLoop loop_;
    Screen screen_{u"t", nullptr, true};
    CountingBox* box_ = nullptr;
    CountingBox* marquee_ = nullptr;
};

// Regression: every step that moved anything painted the whole screen.
TEST_F(ScreenRepaintTest, TheAnimationStepPaintsOnlyWhatMoved) {
    const int marqueeY = screen_.marqueeRect().top + 5;
    ASSERT_EQ(pixel(10, 10), kPage);
    box_->color = kBlue;
    marquee_->color = kBlue;
    screen_.animate(0);
    EXPECT_EQ(pixel(10, marqueeY), kPage);  // nothing moved: nothing painted
    marquee_->moving = true;
    screen_.animate(0);
    EXPECT_EQ(pixel(10, marqueeY), kBlue);
    EXPECT_EQ(pixel(10, 10), kPage);
}

// Regression: a cancelled load left its red fill on the bar.
TEST_F(ScreenRepaintTest, AnEndedLoadTakesItsFillOffTheBar) {
    const int barTop = screen_.softKeyBarTop();
    screen_.startLoading(true, true, 5);
    screen_.setLoadingProgress(50, 5);
    ASSERT_EQ(pixel(10, barTop), colorSettings().progressBar);
    screen_.cancelLoading();
    EXPECT_EQ(pixel(10, barTop), colorSettings().menuBack);
}

}  // namespace
}  // namespace zq
