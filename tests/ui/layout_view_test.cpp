#include "ui/layout_view.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/device_context.h"
#include "platform/surface.h"
#include "tests/support/test_font.h"
#include "tests/ui/container_fixtures.h"
#include "ui/container.h"
#include "ui/empty_container.h"
#include "ui/graphics_context.h"
#include "ui/style.h"

namespace zq {
namespace {

using test::Box;
using test::TextBox;

// A grid style: `columns` columns, widths text `widths`, gaps 5 across and
// 2 down.
Style* gridStyle(int columns, const char16_t* widths, uint32_t flags = 0) {
    Style* s = test::gapStyle(2, 5, flags);
    setStyleProperty(s, prop::kColumnCount, columns);
    if (widths) setStyleProperty(s, prop::kColumnWidths, CString(widths));
    return s;
}

Style* flowStyle() {
    Style* s = test::gapStyle(2, 4);
    setStyleProperty(s, prop::kItemViewObject, Held<ItemView>(std::make_unique<MIDP2LayoutView>()));
    return s;
}

std::vector<int> lefts(const Container& c) {
    std::vector<int> xs;
    for (const auto& child : c.children()) xs.push_back(child->relativeX());
    return xs;
}

// Lays out boxes of these widths (all 10 high except where given) in a
// grid on a 230 px line.
std::vector<int> gridLefts(Style* style, const std::vector<int>& widths) {
    Container c(false, style);
    for (int w : widths) c.add(std::make_unique<Box>(w, 10, true));
    c.init(230, 230);
    EXPECT_NE(c.getContainerView(), nullptr);
    return lefts(c);
}

TEST(GridColumns, WidthsByMode) {
    // "equal" filling the line: (230 - 2 * 5) / 3 = 73 per column.
    EXPECT_EQ(gridLefts(gridStyle(3, u"equal", kLayoutExpand), {30, 50, 40, 20}),
              (std::vector<int>{0, 78, 156, 0}));
    // "equal" otherwise: every column as wide as the widest child.
    EXPECT_EQ(gridLefts(gridStyle(3, u"equal"), {30, 50, 40, 60}),
              (std::vector<int>{0, 65, 130, 0}));
    // "normal": each column as wide as its widest child.
    EXPECT_EQ(gridLefts(gridStyle(3, u"normal"), {30, 50, 40, 20, 60}),
              (std::vector<int>{0, 35, 100, 0, 35}));
    // "normal" too wide: the narrow columns keep theirs, the wide one shares
    // the rest (220 - 70).
    EXPECT_EQ(gridLefts(gridStyle(3, u"normal"), {30, 200, 40}), (std::vector<int>{0, 35, 190}));
    EXPECT_EQ(gridLefts(gridStyle(3, u"50,60,70"), {10, 10, 10}), (std::vector<int>{0, 55, 120}));
    // A width list of the wrong length falls back to "normal".
    EXPECT_EQ(gridLefts(gridStyle(3, u"50,60"), {10, 20, 30}), (std::vector<int>{0, 15, 40}));
}

TEST(GridColumns, RowsStackByTheirTallestChild) {
    Container c(false, gridStyle(2, u"equal", kLayoutExpand));
    c.add(std::make_unique<Box>(10, 10, false));
    c.add(std::make_unique<Box>(10, 30, false));
    c.add(std::make_unique<Box>(10, 15, false));
    c.init(230, 230);
    EXPECT_EQ(c.getItem(2)->relativeY(), 32);
    EXPECT_EQ(c.contentHeight(), 32 + 15);  // full rows with their gap, then the last one
    EXPECT_EQ(c.contentWidth(), 2 * 112 + 2 * 5);
}

TEST(GridColumns, ColumnCountBelowOneCountsAsOne) {
    ContainerView view;
    view.setStyle(gridStyle(0, nullptr));
    EXPECT_EQ(view.getColumnCount(), 1);
    view.setStyle(gridStyle(-4, nullptr));
    EXPECT_EQ(view.getColumnCount(), 1);
}

class GridNavigation : public ::testing::Test {
protected:
    // Six children in three columns; child 3 takes no focus.
    void build(bool allowCycle) {
        grid = std::make_unique<Container>(true, gridStyle(3, u"equal"));
        for (int i = 0; i < 6; ++i) grid->add(std::make_unique<Box>(20, 10, i != 3));
        grid->setAllowCycle(allowCycle);
        grid->init(230, 230);
    }
    int press(int keyCode, int gameAction) {
        handled = grid->keyPressed(keyCode, gameAction);
        return grid->getFocusedIndex();
    }
    std::unique_ptr<Container> grid;
    bool handled = false;
};

TEST_F(GridNavigation, MovesByChildAndByRow) {
    build(false);
    ASSERT_EQ(grid->getFocusedIndex(), 0);
    EXPECT_EQ(press(39, kGameRight), 1);
    EXPECT_EQ(press(40, kGameDown), 4);
    EXPECT_EQ(press(37, kGameLeft), 2);  // skips the plain child 3
    EXPECT_EQ(press('8', kGameDown), 2);
    EXPECT_FALSE(handled);
}

// Without allowCycle a step past either end is not taken: the focus may
// leave the grid.
TEST_F(GridNavigation, StopsAtTheEndsUnlessItMayCycle) {
    build(false);
    EXPECT_EQ(press(38, kGameUp), 0);
    EXPECT_FALSE(handled);
    EXPECT_EQ(press(37, kGameLeft), 0);
    EXPECT_FALSE(handled);

    build(true);
    EXPECT_EQ(press(37, kGameLeft), 5);  // wraps backwards without a negative index
    EXPECT_TRUE(handled);
    EXPECT_EQ(press(39, kGameRight), 0);
}

TEST(GridNavigationEdge, EmptyGridTakesNoKey) {
    Container empty(false, gridStyle(3, u"equal"));
    empty.init(230, 230);
    ContainerView view;
    view.attach(&empty);
    EXPECT_FALSE(view.handleNavigation(40, kGameDown));
    EXPECT_FALSE(view.handleNavigation(37, kGameLeft));
}

class Flow : public ::testing::Test {
protected:
    Flow() : flow(false, flowStyle()) {}
    Box* add(int w, int h, uint32_t layout = 0) {
        return static_cast<Box*>(flow.add(std::make_unique<Box>(w, h, true, layout)));
    }
    Container flow;
};

TEST_F(Flow, BreaksRowsByFlagsAndWidth) {
    Box* a = add(40, 10);
    Box* b = add(40, 12);
    Box* c = add(40, 10, kLayoutRight);  // does not fit: its flags align the row it closes
    Box* d = add(30, 10, kLayoutNewLineBefore);
    Box* e = add(20, 10, kLayoutExpand);  // stretches to the end and ends the row
    Box* f = add(10, 10, kLayoutRight);   // the last row is always left-aligned
    flow.init(100, 100);

    EXPECT_EQ(std::vector<int>({a->relativeX(), b->relativeX(), a->relativeY()}),
              std::vector<int>({16, 60, 0}));
    EXPECT_EQ(std::vector<int>({c->relativeX(), c->relativeY()}), std::vector<int>({0, 14}));
    EXPECT_EQ(std::vector<int>({d->relativeY(), e->relativeX(), e->itemWidth()}),
              std::vector<int>({26, 34, 66}));
    EXPECT_EQ(std::vector<int>({f->relativeX(), f->relativeY()}), std::vector<int>({0, 38}));
    EXPECT_EQ(flow.contentHeight(), 48);
}

TEST_F(Flow, UpAndDownMoveOneChildAtATime) {
    add(40, 10);
    add(40, 10);
    add(40, 10);
    flow.init(100, 100);
    flow.focusIndex(0);
    EXPECT_TRUE(flow.keyPressed(40, kGameDown));
    EXPECT_EQ(flow.getFocusedIndex(), 1);
    EXPECT_FALSE(flow.keyPressed(39, kGameRight));
}

// Regression: children within 16 px of the top or left edge were culled.
TEST_F(Flow, PaintCullsAgainstTheClip) {
    Box* top = add(40, 10);
    Box* below = add(40, 10, kLayoutNewLineBefore);
    flow.init(100, 100);
    Surface surface(100, 40);
    DeviceContext dc(surface);
    GraphicsContext g;
    g.init(100, 40, &dc);
    g.setClip(0, 0, 100, 11);
    flow.paint(0, 0, 0, 100, g);
    EXPECT_EQ(top->painted, (std::vector<std::pair<int, int>>{{0, 0}}));
    EXPECT_TRUE(below->painted.empty());
    EXPECT_FALSE(below->isOnScreen());
}

TEST(LayoutDump, NestedContainersWithTheFixedFont) {
    test::ScopedFixedFont font;
    Container outer(CString(), true, test::gapStyle(2, 0), -1);
    outer.add(std::make_unique<TextBox>(u"Price"));
    auto inner = std::make_unique<Container>(true, test::gapStyle(4, 0));
    inner->add(std::make_unique<TextBox>(u"Qty"));
    inner->add(std::make_unique<TextBox>(u"Amount", true));
    outer.add(std::move(inner));
    outer.add(std::make_unique<TextBox>(u"Total", false));
    outer.init(240, 240);

    EXPECT_EQ(test::dumpTree(outer),
              "Container (0,0 42x70)\n"
              "  Text \"Price\" (0,0 35x14)\n"
              "  Container (0,16 42x36) focused\n"
              "    Text \"Qty\" (0,0 21x14)\n"
              "    Text \"Amount\" (0,18 42x14) focused\n"
              "  Text \"Total\" (0,54 35x14)\n");
}

TEST(InlineLine, PiecesStayOnOneLineAndLeftRightStopAtTheEnds) {
    test::ScopedFixedFont font;
    InlineContainer line(test::gapStyle(4, 0));
    Item* text = line.add(std::make_unique<TextBox>(u"a\nb\r"));
    line.add(std::make_unique<Box>(20, 30, true));
    line.add(std::make_unique<Box>(20, 10, true));
    line.init(240, 240);
    EXPECT_EQ(text->getText(), CString(u"ab"));
    EXPECT_EQ(line.getItem(1)->relativeX(), 18);
    EXPECT_EQ(text->relativeY(), 0);  // placed before the taller piece raised the line
    EXPECT_EQ(line.getItem(2)->relativeY(), 20);

    line.focus(nullptr, kGameDown);
    EXPECT_EQ(line.getFocusedIndex(), 1);
    EXPECT_FALSE(line.keyPressed(40, kGameDown));
    EXPECT_TRUE(line.keyPressed(39, kGameRight));
    EXPECT_FALSE(line.keyPressed(39, kGameRight));
    EXPECT_EQ(line.getFocusedIndex(), 2);
    line.clear();
    EXPECT_EQ(line.getFocusedItem(), nullptr);
    EXPECT_EQ(line.size(), 0);
}

}  // namespace
}  // namespace zq

namespace zq {
namespace {

// Regression: a centred or right-aligned child was placed in its line by the
// layout (where taps find it) and moved again by its paint inside the
// container's narrower width, so it was drawn elsewhere.
TEST(Placement, AnAlignedChildIsDrawnAndHitWhereTheLayoutPutIt) {
    struct Case {
        const char* name;
        Style* style;
    };
    Style* single = test::gapStyle(2, 0);
    setStyleProperty(single, prop::kItemViewObject,
                     Held<ItemView>(std::make_unique<ContainerView>()));
    const Case cases[] = {{"plain", test::gapStyle(2, 0)},
                          {"one column", single},
                          {"grid", gridStyle(2, u"equal", kLayoutExpand)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Container list(false, c.style);
        std::vector<Box*> boxes;
        for (uint32_t flags : {0u, kLayoutCenter, kLayoutCenter}) {
            boxes.push_back(
                static_cast<Box*>(list.add(std::make_unique<Box>(20, 10, true, flags))));
        }
        list.init(200, 200);
        Surface surface(220, 100);
        DeviceContext dc(surface);
        GraphicsContext g;
        g.init(220, 100, &dc);
        // As a screen paints its content: in the container's own width.
        list.paint(0, 0, 0, list.itemWidth(), g);
        for (Box* box : boxes) {
            ASSERT_EQ(box->painted.size(), 1u);
            EXPECT_EQ(box->painted[0].first, box->relativeX());
            EXPECT_TRUE(
                list.pointerPressed(box->painted[0].first + 10, box->painted[0].second + 5));
            EXPECT_EQ(box->pressed.size(), 1u);
        }
        EXPECT_GT(boxes[1]->relativeX(), 0);
    }
}

}  // namespace
}  // namespace zq
