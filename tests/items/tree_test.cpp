#include "items/tree.h"

#include <gtest/gtest.h>

#include <memory>

#include "items/string_item.h"
#include "tests/support/test_font.h"
#include "ui/container.h"
#include "ui/default_styles.h"
#include "ui/item.h"
#include "ui/style.h"

namespace zq {
namespace {

class TreeTest : public ::testing::Test {
protected:
    void TearDown() override { freeTrackedStyles(); }

    std::unique_ptr<StringItem> text(const char* t) {
        return std::make_unique<StringItem>(CString(), CString(t), nullptr);
    }
    static void press(Item& item, int gameAction) {
        item.keyPressed(0, gameAction);
        item.keyReleased(0, gameAction);
    }

    test::ScopedFixedFont font_;
    TreeContainer tree_{CString(), nullptr};
};

TEST_F(TreeTest, FirstChildTurnsTheLeafIntoANodeAtTheSameIndex) {
    tree_.addLeaf(CString(u"a"), ImageRef(), nullptr);
    Item* b = tree_.addLeaf(CString(u"b"), ImageRef(), nullptr);
    tree_.addLeaf(CString(u"c"), ImageRef(), nullptr);

    NodeItem* node = tree_.addChild(b, text("b1"));
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(tree_.getItem(1), node);
    EXPECT_EQ(node->header(), b);
    EXPECT_EQ(b->getParent(), node);
    EXPECT_TRUE(b->isInteractive());
    // Further children go under the same node.
    EXPECT_EQ(tree_.addChild(b, text("b2")), node);
    EXPECT_EQ(node->children().size(), 2);
    EXPECT_EQ(tree_.size(), 3);
    EXPECT_EQ(tree_.addChild(nullptr, text("x")), nullptr);
}

TEST_F(TreeTest, ClosingANodeClosesEveryNodeBelowIt) {
    Item* top = tree_.addLeaf(CString(u"top"), ImageRef(), nullptr);
    auto middleItem = text("mid");
    Item* middle = middleItem.get();
    NodeItem* outer = tree_.addChild(top, std::move(middleItem));
    NodeItem* inner = tree_.addChild(middle, text("leaf"));
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(outer->children().getItem(0), inner);

    outer->setExpanded(true);
    inner->setExpanded(true);
    outer->setExpanded(false);
    EXPECT_FALSE(inner->isExpanded());
    outer->setExpanded(true);
    EXPECT_FALSE(inner->isExpanded());
}

TEST_F(TreeTest, NodeWithoutIconsIndentsItsChildrenAndFireToggles) {
    Item* top = tree_.addLeaf(CString(u"top"), ImageRef(), nullptr);
    NodeItem* node = tree_.addChild(top, text("child"));
    node->focus(nullptr, kGameDown);

    press(*node, kGameFire);
    ASSERT_TRUE(node->isExpanded());
    node->init(200, 200);
    EXPECT_EQ(tree_.iconWidth(), 0);
    EXPECT_EQ(node->children().relativeX() - node->header()->relativeX(), NodeItem::kIndent);
    EXPECT_GT(node->contentHeight(), node->header()->itemHeight());

    press(*node, kGameFire);
    EXPECT_FALSE(node->isExpanded());
    node->init(200, 200);
    EXPECT_EQ(node->contentHeight(), node->header()->itemHeight());
}

TEST_F(TreeTest, UpAtTheTopOfTheChildrenReturnsTheFocusToTheHeader) {
    Item* top = tree_.addLeaf(CString(u"top"), ImageRef(), nullptr);
    auto child = text("child");
    child->setAppearanceMode(1);
    Item* childRaw = child.get();
    NodeItem* node = tree_.addChild(top, std::move(child));
    node->focus(nullptr, kGameDown);
    press(*node, kGameFire);
    node->init(200, 200);

    EXPECT_TRUE(node->keyPressed(0, kGameDown));
    EXPECT_TRUE(childRaw->isFocused());
    EXPECT_FALSE(top->isFocused());
    EXPECT_TRUE(node->keyPressed(0, kGameUp));
    EXPECT_FALSE(childRaw->isFocused());
    EXPECT_TRUE(top->isFocused());
}

// Regression: the node handed the header the style its container gave back,
// which is the style of whichever part took the focus first; a header focused
// after the children lost its own look.
TEST_F(TreeTest, TheHeaderGetsItsOwnStyleBackWhicheverPartTookTheFocus) {
    Style* headerStyle = createTreeItemStyle();
    Item* top = tree_.addLeaf(CString(u"top"), ImageRef(), headerStyle);
    auto child = text("child");
    child->setAppearanceMode(1);
    NodeItem* node = tree_.addChild(top, std::move(child));
    node->setExpanded(true);
    node->init(200, 200);

    // Arriving from below lands in the children; UP gives the header the focus.
    Style* given = node->focus(nullptr, kGameUp);
    EXPECT_FALSE(top->isFocused());
    EXPECT_TRUE(node->keyPressed(0, kGameUp));
    ASSERT_TRUE(top->isFocused());
    node->defocus(given);
    EXPECT_FALSE(top->isFocused());
    EXPECT_EQ(top->getStyle(), headerStyle);

    // And from above, into the children and out again.
    given = node->focus(nullptr, kGameDown);
    EXPECT_TRUE(node->keyPressed(0, kGameDown));
    node->defocus(given);
    EXPECT_EQ(top->getStyle(), headerStyle);
}

// Open, close, open: the close gave the focus back to a header that had it,
// and the header's focused look was then kept as its normal one, so the
// header still looked focused once DOWN had moved into the children.
TEST_F(TreeTest, AfterOpenCloseOpenTheHeaderLooksNormalOnceTheChildrenHaveTheFocus) {
    Style* headerStyle = createTreeItemStyle();
    Item* top = tree_.addLeaf(CString(u"top"), ImageRef(), headerStyle);
    auto child = text("child");
    child->setAppearanceMode(1);
    NodeItem* node = tree_.addChild(top, std::move(child));
    node->focus(nullptr, kGameDown);
    ASSERT_NE(top->getStyle(), headerStyle);  // the focused look
    for (int i = 0; i < 3; ++i) press(*node, kGameFire);
    ASSERT_TRUE(node->isExpanded());
    node->init(200, 200);
    EXPECT_TRUE(node->keyPressed(0, kGameDown));
    EXPECT_FALSE(top->isFocused());
    EXPECT_EQ(top->getStyle(), headerStyle);
}

// Regression: DOWN into a node whose children are plain text focused none of
// them, FIRE then did nothing (the node could not even close) and the soft
// keys of the tree went until UP.
TEST_F(TreeTest, DownPastPlainChildrenGoesOnAndFireStillWorks) {
    Item* first = tree_.addLeaf(CString(u"first"), ImageRef(), nullptr);
    NodeItem* node = tree_.addChild(first, text("plain one"));
    tree_.addChild(first, text("plain two"));
    Item* second = tree_.addLeaf(CString(u"second"), ImageRef(), nullptr);
    NodeItem* next = tree_.addChild(second, text("x"));
    tree_.init(200, 200);
    tree_.focus(nullptr, kGameDown);
    ASSERT_TRUE(first->isFocused());

    press(tree_, kGameFire);
    ASSERT_TRUE(node->isExpanded());
    tree_.init(200, 200);
    EXPECT_FALSE(node->keyPressed(0, kGameDown));  // nothing in there takes the focus
    EXPECT_TRUE(first->isFocused());
    EXPECT_TRUE(tree_.keyPressed(0, kGameDown));  // the tree moves on
    EXPECT_TRUE(second->isFocused());
    EXPECT_FALSE(first->isFocused());
    EXPECT_EQ(tree_.getFocusedItem(), next);
    EXPECT_TRUE(tree_.keyPressed(0, kGameUp));
    ASSERT_TRUE(first->isFocused());
    press(tree_, kGameFire);  // FIRE still closes it
    EXPECT_FALSE(node->isExpanded());
}

// Regression: a tap on a plain child fell through to the node, which took it
// as FIRE on the header and closed.
TEST_F(TreeTest, ATapOnAPlainChildKeepsItsNodeOpen) {
    Item* top = tree_.addLeaf(CString(u"top"), ImageRef(), nullptr);
    NodeItem* node = tree_.addChild(top, text("plain"));
    tree_.init(200, 200);
    tree_.focus(nullptr, kGameDown);
    press(tree_, kGameFire);
    ASSERT_TRUE(node->isExpanded());
    tree_.init(200, 200);

    const Item& child = *node->children().getItem(0);
    const int x = node->relativeX() + node->children().relativeX() + child.relativeX() + 2;
    const int y = node->relativeY() + node->children().relativeY() + child.relativeY() + 2;
    tree_.pointerPressed(x, y);
    tree_.pointerReleased(x, y);
    EXPECT_TRUE(node->isExpanded());
    // The header still opens and closes on a tap.
    const int hx = node->relativeX() + node->header()->relativeX() + 2;
    const int hy = node->relativeY() + node->header()->relativeY() + 2;
    tree_.pointerPressed(hx, hy);
    tree_.pointerReleased(hx, hy);
    EXPECT_FALSE(node->isExpanded());
}

}  // namespace
}  // namespace zq
