#include "ui/item.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/surface.h"
#include "ui/background.h"
#include "ui/border.h"
#include "ui/default_styles.h"
#include "ui/event.h"
#include "ui/graphics_context.h"
#include "ui/item_ticker.h"
#include "ui/listeners.h"
#include "ui/style.h"

namespace zq {
namespace {

// A content box of a fixed size that records where it was asked to paint.
class BoxItem : public Item {
public:
    BoxItem(int w, int h, Style* style = nullptr, int appearance = 0)
        : Item(CString(), 0, appearance, style), w_(w), h_(h) {}
    void initContent(int, int) override {
        contentWidth_ = w_;
        contentHeight_ = h_;
    }
    void paintContent(int x, int y, int left, int right, GraphicsContext&) override {
        painted = {x, y, left, right};
    }
    std::vector<int> painted;

private:
    int w_;
    int h_;
};

// Labels 7 px per character and 14 px high, like the fixed test font.
class StubLabel : public Item {
public:
    StubLabel(const CString& text, Style* style) : Item(style), text_(text) {}
    void initContent(int, int) override {
        contentWidth_ = 7 * text_.length();
        contentHeight_ = 14;
    }
    CString getText() const override { return text_; }
    void setText(const CString& text) override { text_ = text; }

private:
    CString text_;
};

std::unique_ptr<Item> makeStubLabel(const CString& text, Style* style) {
    return std::make_unique<StubLabel>(text, style);
}

class FakeScreen : public ItemScreen {
public:
    void setTipText(const CString& text) override { tip = text; }
    void fireCommand(Command* command) override { fired.push_back(command); }
    void removeCommand(Command* command) override { removed.push_back(command); }
    void setItemCommands(const std::vector<CommandRef>& commands, Item*) override {
        itemCommands = commands;
    }
    void addSubCommand(const CommandRef&, const CommandRef&, Style*, bool) override {}
    void removeItemCommands() override { ++itemCommandsDropped; }
    void itemStateChanged(Item*) override {}
    void setRelayoutNeeded() override {}

    CString tip;
    std::vector<Command*> fired;
    std::vector<Command*> removed;
    std::vector<CommandRef> itemCommands;
    int itemCommandsDropped = 0;
};

class FakeContainer : public Item, public ItemContainer {
public:
    FakeContainer() : Item(CString(), 0, 3, nullptr) {}
    Item* add(std::unique_ptr<Item> child) {
        child->setParent(this);
        children.push_back(std::move(child));
        return children.back().get();
    }
    void focusAt(int index) {
        if (focused >= 0) children[focused]->defocus(nullptr);
        focused = index;
        children[index]->focus(nullptr, 0);
    }
    ItemContainer* asContainer() override { return this; }
    int indexOfChild(const Item* child) const override {
        for (size_t i = 0; i < children.size(); ++i) {
            if (children[i].get() == child) return static_cast<int>(i);
        }
        return -1;
    }
    int getFocusedIndex() const override { return focused; }
    Item* getFocusedItem() const override {
        return focused >= 0 ? children[focused].get() : nullptr;
    }
    bool focusClosestItem(int index) override {
        for (int i = index; i >= 0; --i) {
            if (children[i]->isInteractive()) return focusAt(i), true;
        }
        for (int i = index + 1; i < static_cast<int>(children.size()); ++i) {
            if (children[i]->isInteractive()) return focusAt(i), true;
        }
        return false;
    }
    int getScrollYOffset() const override { return offset; }
    void setScrollYOffset(int value, bool) override { offset = value; }
    void scrollToItem(int, Item* item) override { scrolledTo = item; }

    std::vector<std::unique_ptr<Item>> children;
    int focused = -1;
    int offset = 0;
    Item* scrolledTo = nullptr;
};

struct RecordingListener : ItemCommandListener {
    void commandAction(Command* command, Item*) override { received.push_back(command); }
    std::vector<Command*> received;
};

struct RecordingEvents : EventListener {
    void onEvent(std::unique_ptr<Event> event) override { actions.push_back(event->getAction()); }
    std::vector<CString> actions;
};

CommandRef makeCommand(int type, int priority, int id = -1) {
    auto command = std::make_shared<Command>(CString(u"c"), type, priority);
    command->setId(id);
    return command;
}

class ItemTest : public ::testing::Test {
protected:
    ItemTest() { context_.setLabelMaker(&makeStubLabel); }

    // Margins 1 2 3 4 (left right top bottom), paddings 5 6 7 8 (left right
    // top bottom), 2 between label and content, a border of width 2.
    Style* boxStyle(uint32_t flags = 0) {
        Style* s = allocTracked();
        s->setMargins(1, 2, 3, 4);
        s->setSpacings(5, 6, 7, 8, 2, 3);
        s->flags = flags;
        s->setBorder(std::make_unique<LineBorder>(0xFF0000, 2));
        return s;
    }

    ClientContext context_;
};

TEST_F(ItemTest, InitPlacesLabelBesideOrAbove) {
    BoxItem beside(50, 20, boxStyle());
    beside.setLabel(u"Name");
    beside.init(240, 240);
    EXPECT_TRUE(beside.isLabelBeside());
    // The label: 28 x 14 of text in the label style's box, 32 x 20.
    EXPECT_EQ(beside.itemWidth(), 32 + 50 + 18);
    EXPECT_EQ(beside.itemHeight(), 20 + 26);
    EXPECT_EQ(beside.contentX(), 32 + 8);
    EXPECT_EQ(beside.contentY(), 12);
    EXPECT_EQ(beside.backgroundWidth(), 100 - 3 - 32);
    EXPECT_EQ(beside.backgroundHeight(), 19 + 20);

    // Label and content do not fit the line together.
    BoxItem above(50, 20, boxStyle());
    above.setLabel(u"Name");
    above.init(90, 90);
    EXPECT_FALSE(above.isLabelBeside());
    EXPECT_EQ(above.itemWidth(), 68);
    EXPECT_EQ(above.itemHeight(), 26 + 20 + 20);
    EXPECT_EQ(above.contentY(), 12 + 20);
    EXPECT_EQ(above.backgroundWidth(), 65);
    EXPECT_EQ(above.backgroundHeight(), 39);

    // A line break before the item, or after its label, always puts it above.
    BoxItem breakBefore(50, 20, boxStyle(kLayoutNewLineBefore));
    breakBefore.setLabel(u"Name");
    breakBefore.init(240, 240);
    EXPECT_FALSE(breakBefore.isLabelBeside());
    BoxItem breakAfter(50, 20, boxStyle());
    breakAfter.setLabel(u"Name");
    breakAfter.getLabelItem()->setLayout(kLayoutNewLineAfter);
    breakAfter.init(240, 240);
    EXPECT_FALSE(breakAfter.isLabelBeside());

    // A label taller than the box keeps the item at least as high.
    BoxItem flat(50, 2);
    flat.setLabel(u"Name");
    flat.init(240, 240);
    EXPECT_EQ(flat.itemHeight(), 20);
}

// Pins: an item without a label counted its box offset as a label's.
TEST_F(ItemTest, AbsoluteXAddsTheOffsetOnlyForALabelBeside) {
    BoxItem plain(50, 20, boxStyle());
    plain.setRelativePosition(10, 0);
    plain.init(240, 240);
    EXPECT_EQ(plain.getAbsoluteX(), 10);
    BoxItem labelled(50, 20, boxStyle());
    labelled.setLabel(u"Name");
    labelled.setRelativePosition(10, 0);
    labelled.init(240, 240);
    EXPECT_EQ(labelled.getAbsoluteX(), 10 + labelled.contentX());
}

TEST_F(ItemTest, InitExpandsClampsAndKeepsMinimumHeight) {
    BoxItem expand(50, 20, boxStyle(kLayoutExpand));
    expand.init(240, 200);
    EXPECT_EQ(expand.itemWidth(), 200);

    BoxItem wide(300, 20, boxStyle());
    wide.init(240, 240);
    EXPECT_EQ(wide.itemWidth(), 240);

    BoxItem tall(50, 20, boxStyle());
    tall.setMinHeight(80);
    tall.init(240, 240);
    EXPECT_EQ(tall.itemHeight(), 80);
    EXPECT_EQ(tall.backgroundHeight(), 80 - 7);

    // Regression: an empty item was never marked laid out, so it was laid out
    // again on every query.
    BoxItem empty(0, 0);
    empty.init(240, 240);
    EXPECT_EQ(empty.itemWidth(), 0);
    EXPECT_EQ(empty.itemHeight(), 0);
    EXPECT_TRUE(empty.isInitialised());
}

TEST_F(ItemTest, PaintAlignsAndShrinksTheContentLine) {
    Surface surface(240, 100);
    DeviceContext dc(surface);
    GraphicsContext g;
    g.init(240, 100, &dc);

    // 68 wide on a 200 line: 132 spare.
    struct Case {
        uint32_t flags;
        std::vector<int> painted;
    } cases[] = {
        {kLayoutCenter | kLayoutShrink, {66 + 8, 12, 66 + 8, 200 - 10 - 66}},
        {kLayoutCenter, {66 + 8, 12, 8, 190}},
        {kLayoutRight | kLayoutShrink, {132 + 8, 12, 132 + 8, 190}},
        {kLayoutShrink, {8, 12, 8, 190 - 132}},
    };
    for (const Case& c : cases) {
        BoxItem item(50, 20, boxStyle(c.flags));
        item.init(200, 200);
        item.paint(0, 0, 0, 200, g);
        EXPECT_EQ(item.painted, c.painted) << "flags " << c.flags;
    }

    // The background sits inside the border, the border on the box edge.
    Style* s = boxStyle();
    s->setBackground(std::make_unique<ColorBackground>(0x0000FF));
    BoxItem boxed(50, 20, s);
    boxed.init(240, 240);
    boxed.paint(10, 10, 10, 250, g);
    EXPECT_EQ(surface.getPixel(11, 13), 0xFF0000u);  // border at margin 1, 3
    EXPECT_EQ(surface.getPixel(13, 15), 0x0000FFu);  // background 2 px in
    EXPECT_EQ(surface.getPixel(10, 13), 0u);         // margin untouched
}

TEST_F(ItemTest, KeysFireTheDefaultAndCancelCommands) {
    FakeScreen screen;
    BoxItem plain(10, 10);
    plain.setScreen(&screen);
    plain.setDefaultCommand(makeCommand(1, 1));
    EXPECT_FALSE(plain.keyPressed(13, kGameFire));
    EXPECT_FALSE(plain.isPressed());
    EXPECT_FALSE(plain.keyReleased(13, kGameFire));
    EXPECT_TRUE(screen.fired.empty());
    plain.addCommand(makeCommand(1, 1));
    EXPECT_TRUE(plain.isInteractive());

    BoxItem button(10, 10, nullptr, 1);
    button.setScreen(&screen);
    CommandRef ok = makeCommand(4, 1);
    button.setDefaultCommand(ok);
    button.keyPressed(kKeyDigitFive, kGameFire);
    EXPECT_FALSE(button.isPressed());

    // Without a listener the default command goes to the screen.
    button.keyPressed(13, kGameFire);
    EXPECT_TRUE(button.keyReleased(13, kGameFire));
    EXPECT_EQ(screen.fired, std::vector<Command*>{ok.get()});

    RecordingListener listener;
    button.setItemCommandListener(&listener);
    button.init(240, 240);
    button.pointerPressed(9, 9);  // its last column and last row are inside
    EXPECT_TRUE(button.pointerReleased(9, 9));
    button.pointerPressed(10, 9);  // the column right of it is the next item's
    EXPECT_FALSE(button.isPressed());
    button.pointerPressed(5, 10);  // the row below is the next item's
    EXPECT_FALSE(button.isPressed());
    EXPECT_EQ(listener.received, std::vector<Command*>{ok.get()});
    EXPECT_EQ(screen.fired.size(), 1u);

    // Clear fires the type-3 command with the smallest priority value (the
    // first of equals) and still leaves the key to the container.
    CommandRef later = makeCommand(3, 5);
    CommandRef first = makeCommand(3, 2);
    CommandRef other = makeCommand(1, 0);
    for (const CommandRef& c : {later, first, makeCommand(3, 2), other, first}) {
        button.addCommand(c);
    }
    EXPECT_EQ(button.getCommands().size(), 4u);
    EXPECT_FALSE(button.keyReleased(-8, 0));
    EXPECT_EQ(listener.received.back(), first.get());
    EXPECT_TRUE(button.handleCommand(other.get()));
    EXPECT_FALSE(button.handleCommand(makeCommand(1, 0).get()));
}

TEST_F(ItemTest, RemoveCommandLeavesSharedCommandsAlone) {
    FakeScreen screen;
    CommandRef shared = makeCommand(1, 1, 7);
    BoxItem one(10, 10);
    BoxItem two(10, 10);
    one.setScreen(&screen);
    one.addCommand(shared);
    one.setDefaultCommand(shared);
    two.addCommand(shared);
    two.setDefaultCommand(shared);

    one.removeCommand(shared.get());
    // Regression: removal wrote -1 into the command's id, which the other
    // holders still match by.
    EXPECT_EQ(shared->getId(), 7);
    EXPECT_TRUE(one.getCommands().empty());
    EXPECT_EQ(one.getDefaultCommand(), nullptr);
    EXPECT_EQ(two.getCommands().size(), 1u);
    EXPECT_EQ(two.getDefaultCommand(), shared);

    // Unnumbered commands go one by one; numbered ones by id.
    CommandRef plainA = makeCommand(1, 1);
    CommandRef plainB = makeCommand(1, 1);
    CommandRef nineA = makeCommand(1, 1, 9);
    CommandRef nineB = makeCommand(1, 1, 9);
    for (const CommandRef& c : {plainA, plainB, nineA, nineB}) one.addCommand(c);
    one.focus(nullptr, 0);
    one.removeCommand(plainA.get());
    one.removeCommand(nineA.get());
    EXPECT_EQ(one.getCommands(), std::vector<CommandRef>{plainB});
    EXPECT_EQ(screen.removed, (std::vector<Command*>{plainA.get(), nineA.get(), nineB.get()}));
}

TEST_F(ItemTest, FocusCollectsCommandsUpTheChainAndRaisesActions) {
    FakeScreen screen;
    RecordingEvents events;
    FakeContainer container;
    container.setScreen(&screen);
    CommandRef outer = makeCommand(1, 1);
    container.addCommand(outer);
    Item* child = container.add(std::make_unique<BoxItem>(10, 10));
    CommandRef inner = makeCommand(1, 2);
    child->addCommand(inner);
    child->setTipText(u"tip");
    child->setEventListener(&events);
    child->setFocusAction(u"onFocus");
    child->setLeaveAction(u"onLeave");

    child->focus(nullptr, 0);
    EXPECT_EQ(screen.tip, CString(u"tip"));
    EXPECT_EQ(screen.itemCommands, (std::vector<CommandRef>{inner, outer}));
    child->updateCommands();
    EXPECT_EQ(screen.itemCommands, (std::vector<CommandRef>{inner, outer}));

    child->defocus(nullptr);
    EXPECT_EQ(screen.tip, CString());
    EXPECT_EQ(screen.itemCommandsDropped, 1);
    EXPECT_EQ(events.actions, (std::vector<CString>{u"onFocus", u"onLeave"}));
}

TEST_F(ItemTest, HidingTheFocusedItemMovesTheFocus) {
    FakeScreen screen;
    FakeContainer container;
    container.setScreen(&screen);
    Item* a = container.add(std::make_unique<BoxItem>(10, 20, nullptr, 1));
    Item* b = container.add(std::make_unique<BoxItem>(10, 20, nullptr, 1));
    Item* c = container.add(std::make_unique<BoxItem>(10, 20, nullptr, 1));
    for (Item* item : {a, b, c}) item->init(240, 240);

    container.focusAt(1);
    b->setVisible(false);
    EXPECT_FALSE(b->isFocused());
    EXPECT_TRUE(a->isFocused());
    EXPECT_EQ(container.scrolledTo, a);
    EXPECT_EQ(screen.itemCommandsDropped, 1);

    // The next child takes the focus when none lies before.
    container.offset = -100;
    a->setVisible(false);
    EXPECT_TRUE(c->isFocused());
    EXPECT_EQ(container.offset, -100 + 20);

    b->setVisible(true);
    EXPECT_TRUE(b->isVisible());
    EXPECT_TRUE(b->isInteractive());
}

TEST_F(ItemTest, HidingAnItemAboveTheFocusKeepsTheViewInPlace) {
    FakeContainer container;
    Item* above = container.add(std::make_unique<BoxItem>(10, 20, nullptr, 1));
    Item* focused = container.add(std::make_unique<BoxItem>(10, 20, nullptr, 1));
    for (Item* item : {above, focused}) item->init(240, 240);
    container.focusAt(1);
    container.offset = -50;

    above->setVisible(false);
    EXPECT_EQ(container.offset, -30);
    EXPECT_FALSE(above->isInteractive());
    above->init(240, 240);
    EXPECT_EQ(above->itemHeight(), 0);

    above->setVisible(true);
    EXPECT_EQ(container.offset, -50);
    EXPECT_TRUE(above->isInteractive());
    EXPECT_FALSE(container.isInitialised());
}

TEST_F(ItemTest, DestroyedItemLeavesItsTicker) {
    TickerThread ticker;
    auto item = std::make_unique<BoxItem>(1, 1);
    item->startTicking(ticker);
    EXPECT_EQ(ticker.itemCount(), 1);
    item.reset();
    EXPECT_EQ(ticker.itemCount(), 0);
}

TEST_F(ItemTest, StyleFontGoesToAPrivateCopyOfTheLabelStyle) {
    Style* shared = defaultLabelStyle();
    const FontRef before = shared->font;
    Style* s = allocTracked();
    s->font = getFont(20);
    BoxItem item(10, 10, s);
    item.setLabel(u"Label");
    item.init(240, 240);
    // Regression: the font went into the label style every label shares.
    EXPECT_EQ(shared->font, before);
    ASSERT_NE(item.getLabelItem()->getStyle(), shared);
    EXPECT_EQ(item.getLabelItem()->getStyle()->font, s->font);
    EXPECT_EQ(item.getLabel(), CString(u"Label"));
}

}  // namespace
}  // namespace zq
