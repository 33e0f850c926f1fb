#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "ui/command.h"
#include "ui/event.h"
#include "ui/listeners.h"

namespace zq {
namespace {

class KeepingListener : public EventListener {
public:
    void onEvent(std::unique_ptr<Event> event) override { events.push_back(std::move(event)); }
    std::vector<std::unique_ptr<Event>> events;
};

// A later event class with texts of its own, as the table events are.
class RowEvent : public Event {
public:
    RowEvent(CString sourceName, CString rowAction)
        : Event(EventKind::TableRow, std::move(sourceName), nullptr),
          rowAction_(std::move(rowAction)) {}
    CString toString() const override { return CString("row"); }
    const CString& rowAction() const { return rowAction_; }

private:
    CString rowAction_;
};

TEST(Event, ListenerOwnsWhatItReceivesAndTellsKindsApart) {
    int marker = 0;
    Item* source = reinterpret_cast<Item*>(&marker);
    CString fromRow;
    CString fromKey;
    {
        KeepingListener listener;
        listener.onEvent(std::make_unique<Event>(CString("focus()"), source));
        listener.onEvent(std::make_unique<ButtonEvent>("ok", "extra", "go()", "OK"));
        listener.onEvent(std::make_unique<HyperEvent>("link", "page.xml", "open()"));
        listener.onEvent(std::make_unique<KeyEvent>("F1", "back()"));
        listener.onEvent(std::make_unique<RowEvent>("quotes", "row(3)"));
        ASSERT_EQ(listener.events.size(), 5u);

        EXPECT_EQ(listener.events[0]->kind(), EventKind::Plain);
        EXPECT_EQ(listener.events[0]->getSource(), source);
        EXPECT_EQ(listener.events[1]->kind(), EventKind::Button);
        EXPECT_EQ(listener.events[2]->kind(), EventKind::Hyper);
        for (const auto& e : listener.events) {
            if (e->kind() == EventKind::Key) fromKey = static_cast<KeyEvent&>(*e).getKey();
            if (e->kind() == EventKind::TableRow) {
                fromRow = static_cast<RowEvent&>(*e).rowAction();
                EXPECT_EQ(e->toString(), CString("row"));
            }
        }
        // The subclasses' own texts are released through Event's destructor (ASan).
    }
    EXPECT_EQ(fromKey, CString("F1"));
    EXPECT_EQ(fromRow, CString("row(3)"));
}

std::unique_ptr<CommandNode> leaf(const CommandRef& command, const char* action) {
    return std::make_unique<CommandNode>(command, action, "");
}

TEST(CommandNode, HasContent) {
    auto command = std::make_shared<Command>("Buy", 1, 4);
    EXPECT_TRUE(CommandNode(command, "buy()", "").hasContent());
    EXPECT_FALSE(CommandNode(nullptr, "", "").hasContent());

    // A command whose children all came to nothing is dropped.
    CommandNode emptiedMenu(command, "", "");
    emptiedMenu.addChild(nullptr);
    EXPECT_TRUE(emptiedMenu.hasChildren());
    EXPECT_EQ(emptiedMenu.getChildCount(), 0u);
    EXPECT_FALSE(emptiedMenu.hasContent());

    CommandNode root(nullptr, "", "");
    root.addChild(leaf(command, "buy()"));
    EXPECT_TRUE(root.hasContent());
    EXPECT_EQ(root.getChild(1), nullptr);
}

TEST(CommandNode, ClearLetsGoOfEveryCommandButHoldersKeepTheirs) {
    auto kept = std::make_shared<Command>("Menu", 1, 4);
    std::weak_ptr<Command> dropped;
    CommandNode root(nullptr, "", "");
    {
        auto sub = std::make_unique<CommandNode>(kept, "", "menu");
        auto only = std::make_shared<Command>("Sell", 1, 4);
        dropped = only;
        sub->addChild(leaf(only, "sell()"));
        root.addChild(std::move(sub));
    }
    root.clear();
    EXPECT_EQ(root.getChildCount(), 0u);
    EXPECT_EQ(root.getCommand(), nullptr);
    EXPECT_FALSE(root.hasContent());
    EXPECT_TRUE(dropped.expired());
    EXPECT_EQ(kept.use_count(), 1);
    EXPECT_EQ(kept->getLabel(), CString("Menu"));
}

// A page deletes its tree after handing the commands to the screen.
TEST(CommandNode, DeletingTheTreeKeepsCommandsTheScreenHolds) {
    std::vector<CommandRef> screenCommands;
    {
        auto root = std::make_unique<CommandNode>(nullptr, "", "");
        for (const char* label : {"A", "B"}) {
            auto command = std::make_shared<Command>(label, 1, 4);
            screenCommands.push_back(command);
            root->addChild(leaf(command, "x()"));
        }
    }
    EXPECT_EQ(screenCommands[1]->getLabel(), CString("B"));
    EXPECT_EQ(screenCommands[1].use_count(), 1);
}

TEST(CommandNode, CollapseTakesTheOnlyChildWithItsSubmenu) {
    auto outer = std::make_shared<Command>("Outer", 1, 4);
    auto inner = std::make_shared<Command>("Inner", 1, 4);
    auto grandchild = std::make_shared<Command>("Deep", 1, 4);
    std::weak_ptr<Command> outerWatch = outer;

    CommandNode node(std::move(outer), "outer()", "o");
    auto child = std::make_unique<CommandNode>(inner, "inner()", "i");
    child->addChild(leaf(grandchild, "deep()"));
    node.addChild(std::move(child));

    node.collapseSingleChild();
    EXPECT_TRUE(outerWatch.expired());
    EXPECT_EQ(node.getCommand(), inner);
    EXPECT_EQ(node.getAction(), CString("inner()"));
    EXPECT_EQ(node.getStyleClass(), CString("i"));
    // Regression: the child's own submenu was lost in the collapse.
    ASSERT_EQ(node.getChildCount(), 1u);
    EXPECT_EQ(node.getChild(0)->getCommand(), grandchild);
    EXPECT_TRUE(node.hasContent());

    // Collapsing the remaining single leaf makes a leaf again.
    node.collapseSingleChild();
    EXPECT_EQ(node.getCommand(), grandchild);
    EXPECT_FALSE(node.hasChildren());
    EXPECT_TRUE(node.hasContent());
    EXPECT_EQ(inner.use_count(), 1);

    auto menu = std::make_shared<Command>("Menu", 1, 4);
    CommandNode pair(menu, "", "");
    pair.addChild(leaf(inner, "a()"));
    pair.addChild(leaf(grandchild, "b()"));
    pair.collapseSingleChild();
    EXPECT_EQ(pair.getCommand(), menu);
    EXPECT_EQ(pair.getChildCount(), 2u);
}

// Regression: freeing a long chain of nodes recursed once per level.
TEST(CommandNode, DeepTreesAreFreedWithoutRecursion) {
    for (bool clearFirst : {false, true}) {
        auto root = std::make_unique<CommandNode>(nullptr, "", "");
        CommandNode* tail = root.get();
        for (int i = 0; i < 200000; ++i) {
            auto next = std::make_unique<CommandNode>(nullptr, "", "");
            CommandNode* raw = next.get();
            tail->addChild(std::move(next));
            tail = raw;
        }
        if (clearFirst) root->clear();
        root.reset();
    }
}

}  // namespace
}  // namespace zq
