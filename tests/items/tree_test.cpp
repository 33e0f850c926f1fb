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

}  // namespace
}  // namespace zq
