#include "ui/container.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "tests/ui/container_fixtures.h"
#include "ui/style.h"

namespace zq {
namespace {

using test::Box;
using test::EventLog;

constexpr int kDown = 40;
constexpr int kUp = 38;

// Adds the boxes in order and returns them.
std::vector<Box*> fill(Container& c, const std::vector<std::pair<int, bool>>& heightAndFocusable,
                       int width = 100) {
    std::vector<Box*> boxes;
    for (const auto& [h, focusable] : heightAndFocusable) {
        boxes.push_back(static_cast<Box*>(c.add(std::make_unique<Box>(width, h, focusable))));
    }
    return boxes;
}

TEST(ContainerLayout, StacksChildrenWithOneGapAfterEachNonEmptyOne) {
    Container c(false, test::gapStyle(3, 0));
    c.add(std::make_unique<Box>(50, 10, false, kLayoutCenter));
    c.add(std::make_unique<Box>(80, 0, false));
    c.add(std::make_unique<Box>(60, 20, false, kLayoutRight));
    Item* hidden = c.add(std::make_unique<Box>(60, 20, false));
    hidden->setVisible(false);
    c.init(200, 200);

    EXPECT_EQ(c.getItem(0)->relativeX(), 75);
    EXPECT_EQ(c.getItem(2)->relativeY(), 13);  // the empty child adds no gap
    EXPECT_EQ(c.getItem(2)->relativeX(), 140);
    EXPECT_EQ(c.contentHeight(), 13 + 23);  // one gap after the last visible child
    EXPECT_EQ(c.getAppearanceMode(), 0);    // nothing to focus
    EXPECT_EQ(c.getItem(9), nullptr);
    EXPECT_EQ(c.getItem(-1), nullptr);
}

// Heights 40: A (focusable), B, C (focusable), then D, 200 high, in a view
// 100 high.
TEST(ContainerNavigation, MovesOverPlainChildrenThenScrollsThroughTallContent) {
    Container c(CString(), true, nullptr, 100);
    fill(c, {{40, true}, {40, false}, {40, true}, {200, false}});
    c.init(240, 240);
    ASSERT_EQ(c.getFocusedIndex(), 0);
    EXPECT_EQ(c.getAppearanceMode(), 3);

    EXPECT_FALSE(c.keyPressed('8', kGameDown));  // the digit stays free for text
    EXPECT_EQ(c.getFocusedIndex(), 0);

    ASSERT_TRUE(c.keyPressed(kDown, kGameDown));
    EXPECT_EQ(c.getFocusedIndex(), 2);
    EXPECT_EQ(c.getScrollYOffset(), -80);  // C at the top, D below it

    // No focusable child left: 30 px a step, down to 100 - 320; C keeps
    // the focus while it shows, and leaves it once scrolled out of view.
    std::vector<std::pair<int, int>> steps;  // offset, focused index
    while (c.keyPressed(kDown, kGameDown)) {
        steps.emplace_back(c.getScrollYOffset(), c.getFocusedIndex());
    }
    EXPECT_EQ(steps, (std::vector<std::pair<int, int>>{
                         {-110, 2}, {-140, -1}, {-170, -1}, {-200, -1}, {-220, -1}}));
    EXPECT_FALSE(c.getItem(2)->isFocused());

    // Up scrolls back; C takes the focus again once in view, shown whole,
    // then the focus returns to A.
    steps.clear();
    while (c.getFocusedIndex() != 0 && c.keyPressed(kUp, kGameUp)) {
        steps.emplace_back(c.getScrollYOffset(), c.getFocusedIndex());
    }
    EXPECT_EQ(steps, (std::vector<std::pair<int, int>>{
                         {-190, -1}, {-160, -1}, {-130, -1}, {-80, 2}, {0, 0}}));
    EXPECT_FALSE(c.keyPressed(kUp, kGameUp));
}

// The focused box shows: UP into a tall first child, DOWN with nothing focused.
TEST(ContainerNavigation, ScrollsToTheBoxFocusedInATallFirstChildOrFarBelow) {
    Container page(CString(), false, nullptr, 100);
    fill(*static_cast<Container*>(page.add(std::make_unique<Container>())),
         {{40, true}, {40, true}, {40, true}, {40, true}});
    fill(page, {{40, true}});
    page.init(240, 240);
    for (int i = 0; i < 5; ++i) page.keyPressed(kDown, kGameDown);
    ASSERT_TRUE(page.keyPressed(kUp, kGameUp));
    EXPECT_EQ(page.getScrollYOffset(), -60);  // the inner last box, 120-160, at the bottom

    // Nothing focused and the box far below: DOWN shows the lines above it
    // first.
    Container far(CString(), false, nullptr, 100);
    fill(far, {{300, false}, {20, true}});
    far.init(240, 240);
    // UP at the top, or after DOWN, never jumps to the box below.
    EXPECT_FALSE(far.keyPressed(kUp, kGameUp));
    EXPECT_EQ(far.getScrollYOffset(), 0);
    ASSERT_TRUE(far.keyPressed(kDown, kGameDown));
    EXPECT_EQ(far.getScrollYOffset(), -30);
    ASSERT_TRUE(far.keyPressed(kDown, kGameDown));
    ASSERT_TRUE(far.keyPressed(kUp, kGameUp));
    EXPECT_EQ(far.getScrollYOffset(), -30);
    EXPECT_EQ(far.getFocusedIndex(), -1);
    while (far.getFocusedIndex() != 1 && far.keyPressed(kDown, kGameDown)) {
    }
    EXPECT_EQ(far.getScrollYOffset(), -220);
}

// Link Z, link A, text taller than the view, link B: DOWN and UP move the
// view at most a view at a time, so every line between A and B comes on
// screen both ways; each link takes the focus once it shows. Nested, A and
// a page holding the text and B make one item, as a tab bar and its page do.
TEST(ContainerNavigation, EveryLineBetweenTwoControlsComesOnScreen) {
    struct Row {
        int text;    // height of the text between A and B
        int height;  // of the view
        bool nested = false;
    };
    for (const Row row : {Row{400, 100}, Row{150, 100}, Row{1000, 240}, Row{400, 100, true}}) {
        SCOPED_TRACE(row.text);
        Container c(CString(), true, nullptr, row.height);
        std::vector<Box*> links = fill(c, {{20, true}});
        Container* tab = &c;
        Container* page = &c;
        if (row.nested) {
            tab = static_cast<Container*>(c.add(std::make_unique<Container>()));
            links.push_back(fill(*tab, {{20, true}})[0]);
            page = static_cast<Container*>(tab->add(std::make_unique<Container>()));
        } else {
            links.push_back(fill(c, {{20, true}})[0]);
        }
        links.push_back(fill(*page, {{row.text, false}, {20, true}})[1]);
        c.init(240, 240);
        ASSERT_TRUE(c.keyPressed(kDown, kGameDown));
        ASSERT_TRUE(links[1]->isFocused());
        // Top of a link in the view.
        auto shownY = [&](const Box* b) {
            return b->getAbsoluteY() - c.getAbsoluteY() - c.contentY() + c.getScrollYOffset();
        };
        // Walks to `target`, checking that no view skips a line: each new
        // view overlaps or touches the one before.
        auto walk = [&](int key, int action, Box* target) {
            for (int presses = 0; !target->isFocused(); ++presses) {
                ASSERT_LT(presses, 200);
                const int before = c.getScrollYOffset();
                ASSERT_TRUE(c.keyPressed(key, action));
                EXPECT_LE(std::abs(c.getScrollYOffset() - before), row.height);
                // Whatever holds the focus shows.
                for (Box* f : links) {
                    if (!f->isFocused()) continue;
                    EXPECT_GT(shownY(f) + f->itemHeight(), 0);
                    EXPECT_LT(shownY(f), row.height);
                }
            }
        };
        walk(kDown, kGameDown, links[2]);
        walk(kUp, kGameUp, links[1]);
        EXPECT_GE(shownY(links[1]), 0);
    }
}

TEST(ContainerNavigation, WrapsOnlyWithAllowCycleWhenAllContentShows) {
    Container c(CString(), true, nullptr, 200);
    fill(c, {{40, true}, {40, true}});
    c.init(240, 240);
    c.keyPressed(kDown, kGameDown);
    EXPECT_FALSE(c.keyPressed(kDown, kGameDown));
    c.setAllowCycle(true);
    EXPECT_TRUE(c.keyPressed(kDown, kGameDown));
    EXPECT_EQ(c.getFocusedIndex(), 0);
}

// Regression: a container with a focused style of its own raised its focus
// and leave actions twice.
TEST(ContainerFocus, RaisesFocusAndLeaveActionsOnce) {
    Style* style = allocTracked();
    setStyleProperty(style, prop::kFocusedStyle, allocTracked());
    Container c(CString(), false, style, -1);
    fill(c, {{20, true}});
    EventLog log;
    c.setEventListener(&log);
    c.setFocusAction(u"enter");
    c.setLeaveAction(u"leave");
    c.init(240, 240);

    Style* before = c.focus(nullptr, kGameDown);
    EXPECT_TRUE(c.getItem(0)->isFocused());
    c.defocus(before);
    EXPECT_FALSE(c.getItem(0)->isFocused());
    EXPECT_EQ(log.actions, (std::vector<std::string>{"enter", "leave"}));
}

// A leave action, or the control's own focus action, that hides the control
// taking the focus: the hidden control never holds it, by key or by tap.
TEST(ContainerFocus, AControlHiddenAsItTakesTheFocusDoesNotHoldIt) {
    struct Hider : EventListener {
        Item* target = nullptr;
        void onEvent(std::unique_ptr<Event> event) override {
            if (event->getAction().toUtf8() == "hide") target->setVisible(false);
        }
    };
    for (const auto& [byTap, ownFocus] : {std::pair{false, false}, {true, false}, {false, true}}) {
        SCOPED_TRACE(byTap);
        SCOPED_TRACE(ownFocus);
        Container c(CString(), true, nullptr, 200);
        std::vector<Box*> boxes = fill(c, {{20, true}, {20, true}, {20, true}});
        Hider hider;
        hider.target = boxes[1];
        if (ownFocus) {
            boxes[1]->setEventListener(&hider);
            boxes[1]->setFocusAction(u"hide");
        } else {
            boxes[0]->setEventListener(&hider);
            boxes[0]->setLeaveAction(u"hide");
        }
        c.init(240, 240);
        ASSERT_EQ(c.getFocusedIndex(), 0);
        if (byTap) {
            c.pointerPressed(5, boxes[1]->relativeY() + 5);
        } else {
            c.keyPressed(kDown, kGameDown);
        }
        EXPECT_FALSE(boxes[1]->isVisible());
        EXPECT_FALSE(boxes[1]->isFocused());
        EXPECT_NE(c.getFocusedItem(), boxes[1]);
        EXPECT_TRUE(boxes[1]->pressed.empty());
    }
}

// Regression: a focused control hiding itself sent the focus to a link far
// above and the view to the top.
TEST(ContainerFocus, AHiddenFocusGoesToTheNearestControlDrawnOrNone) {
    Container c(CString(), true, nullptr, 100);
    std::vector<Box*> boxes = fill(c, {{20, true}, {300, false}, {20, true}, {20, true}});
    c.init(240, 240);
    while (!boxes[3]->isFocused() && c.keyPressed(kDown, kGameDown)) {
    }
    boxes[3]->setVisible(false);
    EXPECT_EQ(c.getFocusedItem(), boxes[2]);
    const int offset = c.getScrollYOffset();
    boxes[2]->setVisible(false);
    EXPECT_EQ(c.getFocusedIndex(), -1);
    EXPECT_EQ(c.getScrollYOffset(), offset);
}

TEST(ContainerFocus, EntersAtTheEdgeTheUserComesFrom) {
    Container c;
    fill(c, {{20, false}, {20, true}, {20, true}, {20, false}});
    c.init(240, 240);
    c.focus(nullptr, kGameUp);
    EXPECT_EQ(c.getFocusedIndex(), 2);
    c.defocus(nullptr);
    c.focus(nullptr, kGameDown);
    EXPECT_EQ(c.getFocusedIndex(), 1);
}

TEST(ContainerChildren, FocusFollowsInsertionAndRemoval) {
    Container c(CString(), true, nullptr, -1);
    std::vector<Box*> b = fill(c, {{20, true}, {20, true}, {20, true}});
    c.init(240, 240);
    ASSERT_TRUE(c.focusIndex(1));

    c.insert(0, std::make_unique<Box>(100, 20, false));
    EXPECT_EQ(c.getFocusedIndex(), 2);
    EXPECT_EQ(c.getFocusedItem(), b[1]);

    // The focused child goes: the one taking its place gets the focus.
    EXPECT_TRUE(c.remove(2));
    EXPECT_EQ(c.getFocusedItem(), b[2]);
    EXPECT_TRUE(b[2]->isFocused());

    // The focused last child goes: the focus falls back to the new last one.
    EXPECT_TRUE(c.remove(2));
    EXPECT_EQ(c.getFocusedIndex(), 1);
    EXPECT_EQ(c.getFocusedItem(), b[0]);

    // A child before the focus goes: the index follows the child.
    EXPECT_TRUE(c.remove(0));
    EXPECT_EQ(c.getFocusedIndex(), 0);
    EXPECT_FALSE(c.remove(1));
    EXPECT_FALSE(c.remove(-1));
}

TEST(ContainerChildren, RemovingTheOnlyFocusableChildLeavesNoFocus) {
    Container c(CString(), true, nullptr, -1);
    fill(c, {{20, false}, {20, true}});
    c.init(240, 240);
    ASSERT_EQ(c.getFocusedIndex(), 1);
    EXPECT_TRUE(c.remove(1));
    EXPECT_EQ(c.getFocusedItem(), nullptr);
    EXPECT_EQ(c.getFocusedIndex(), -1);
    EXPECT_TRUE(c.isFocusFirstPending());
}

// Regression: clear deleted the children before giving up the focus.
TEST(ContainerChildren, ClearReleasesTheFocusBeforeDeleting) {
    Container c(CString(), true, nullptr, 100);
    std::vector<Box*> b = fill(c, {{20, true}});
    EventLog log;
    b[0]->setEventListener(&log);
    b[0]->setLeaveAction(u"left");
    c.init(240, 240);
    c.clear();
    EXPECT_EQ(log.actions, std::vector<std::string>{"left"});
    EXPECT_EQ(c.size(), 0);
    EXPECT_EQ(c.getFocusedItem(), nullptr);
    EXPECT_EQ(c.getScrollYOffset(), 0);
}

TEST(ContainerChildren, SetHandsTheFocusToTheReplacement) {
    Container c(CString(), true, nullptr, -1);
    std::vector<Box*> b = fill(c, {{20, true}, {20, true}});
    c.init(240, 240);
    std::unique_ptr<Item> old = c.set(0, std::make_unique<Box>(100, 20, true));
    ASSERT_EQ(old.get(), b[0]);
    EXPECT_FALSE(old->isFocused());
    EXPECT_EQ(old->getParent(), nullptr);
    EXPECT_TRUE(c.getItem(0)->isFocused());
    EXPECT_EQ(c.set(5, std::make_unique<Box>(1, 1, true)), nullptr);
}

// A focused child that takes itself out while it handles a key or text (a
// menu entry whose command removes it): the container must not reach it
// afterwards, scrolling or not. Under ASan a stale use fails here.
TEST(ContainerChildren, AChildThatRemovesItselfOnInputIsNotReachedAfterwards) {
    enum class Input { Press, Repeat, Release, Text };
    class Leaving : public Box {
    public:
        explicit Leaving(Input on) : Box(100, 20, true), on_(on) {}
        bool keyPressed(int, int) override { return leaveOn(Input::Press); }
        bool keyRepeated(int, int) override { return leaveOn(Input::Repeat); }
        bool keyReleased(int, int) override { return leaveOn(Input::Release); }
        bool textTyped(const CString&) override { return leaveOn(Input::Text); }

    private:
        bool leaveOn(Input input) {
            if (input != on_) return false;
            auto* parent = static_cast<Container*>(getParent());
            return parent->remove(parent->indexOfChild(this));
        }
        Input on_;
    };
    for (int scrollHeight : {-1, 30}) {
        for (Input on : {Input::Press, Input::Repeat, Input::Release, Input::Text}) {
            Container c(CString(), true, nullptr, scrollHeight);
            c.add(std::make_unique<Leaving>(on));
            fill(c, {{20, true}});
            c.init(240, 240);
            ASSERT_EQ(c.getFocusedIndex(), 0);
            bool taken = false;
            switch (on) {
                case Input::Press:
                    taken = c.keyPressed(kDown, kGameDown);
                    break;
                case Input::Repeat:
                    taken = c.keyRepeated(kDown, kGameDown);
                    break;
                case Input::Release:
                    taken = c.keyReleased(kDown, kGameDown);
                    break;
                case Input::Text:
                    taken = c.textTyped(CString(u"a"));
                    break;
            }
            EXPECT_TRUE(taken) << scrollHeight << "/" << static_cast<int>(on);
            EXPECT_EQ(c.size(), 1) << scrollHeight << "/" << static_cast<int>(on);
        }
    }
}

TEST(ContainerPointer, PressFocusesTheInteractiveChildUnderThePen) {
    Container c(CString(), true, nullptr, -1);
    std::vector<Box*> b = fill(c, {{40, true}, {40, false}, {40, true}});
    c.init(240, 240);

    EXPECT_FALSE(c.pointerPressed(10, 50));  // on the plain child
    EXPECT_EQ(c.getFocusedIndex(), 0);

    EXPECT_TRUE(c.pointerPressed(10, 90));
    EXPECT_EQ(c.getFocusedIndex(), 2);
    EXPECT_EQ(b[2]->pressed, (std::vector<std::pair<int, int>>{{10, 10}}));
    EXPECT_FALSE(c.pointerPressed(10, 500));  // outside
}

TEST(ContainerNames, IndexTokenNamesTheChild) {
    Container c;
    Item* a = c.add(std::make_unique<Box>(1, 1, false));
    Item* b = c.add(std::make_unique<Box>(1, 1, false));
    a->setId(u"a");
    b->setId(u"b");
    Box stranger(1, 1, false);
    stranger.setId(u"B");

    EXPECT_EQ(c.expandIndexToken(u"img%INDEX%_%INDEX%.png", b), CString(u"img1_%INDEX%.png"));
    EXPECT_EQ(c.expandIndexToken(u"x%INDEX%", &stranger), CString(u"x-1"));  // names are exact
    EXPECT_EQ(c.expandIndexToken(u"plain", b), CString(u"plain"));
    EXPECT_EQ(c.getItemByName(u"B"), b);

    // Regression: an item without an identifier that is not a child matched
    // the first child without one and gave "0".
    Item* unnamed = c.add(std::make_unique<Box>(1, 1, false));
    Box nobody(1, 1, false);
    EXPECT_EQ(c.expandIndexToken(u"x%INDEX%", &nobody), CString(u"x-1"));
    EXPECT_EQ(c.expandIndexToken(u"x%INDEX%", unnamed), CString(u"x2"));
}

// Regression: hideNotify left the container itself marked as shown.
// Grows by 10 px on every key and drops its own layout without telling its
// parents, as a choice that changes its look does.
class GrowsOnKey : public Item {
public:
    GrowsOnKey() : Item(CString(), 0, 1, nullptr) {}
    void initContent(int, int) override {
        contentWidth_ = 20 + grown_;
        contentHeight_ = 10;
    }
    bool keyPressed(int, int) override {
        grown_ += 10;
        initialised_ = false;
        return true;
    }
    bool pointerPressed(int, int) override { return keyPressed(0, 0); }

private:
    int grown_ = 0;
};

// Painting never lays out: a focused child that dropped its layout while it
// handled an event is laid out again before the event returns, however deep.
TEST(ContainerLayout, ChildThatDroppedItsLayoutInAnEventIsLaidOutBeforeThePaint) {
    for (const bool pointer : {false, true}) {
        SCOPED_TRACE(pointer ? "pointer" : "key");
        Container outer(true);
        auto* inner = static_cast<Container*>(outer.add(std::make_unique<Container>(true)));
        Item* child = inner->add(std::make_unique<GrowsOnKey>());
        outer.init(240, 240);
        ASSERT_EQ(inner->getFocusedItem(), child);

        ASSERT_TRUE(pointer ? outer.pointerPressed(1, 1) : outer.keyPressed('5', kGameFire));
        EXPECT_TRUE(child->isInitialised());
        EXPECT_EQ(child->itemWidth(), 30);
    }
}

TEST(ContainerShow, HideClearsOwnShownState) {
    Container c;
    Item* child = c.add(std::make_unique<Box>(1, 1, false));
    c.hideNotify();
    EXPECT_FALSE(c.isShown());
    EXPECT_FALSE(child->isShown());
    c.showNotify();
    EXPECT_TRUE(c.isShown());
    EXPECT_TRUE(child->isShown());
}

}  // namespace
}  // namespace zq
