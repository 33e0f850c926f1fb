#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "items/button_item.h"
#include "platform/device_context.h"
#include "platform/surface.h"
#include "tests/support/event_log.h"
#include "tests/support/test_font.h"
#include "ui/client_context.h"
#include "ui/container.h"
#include "ui/display.h"
#include "ui/empty_container.h"
#include "ui/event.h"
#include "ui/font_cache.h"
#include "ui/graphics_context.h"
#include "ui/listeners.h"
#include "ui/screen.h"
#include "ui/style.h"

namespace zq {
namespace {

constexpr int kKeyEnter = 13;

using EventLog = test::EventLog;

class CommandLog : public ItemCommandListener {
public:
    void commandAction(Command* command, Item* /*item*/) override { commands.push_back(command); }
    std::vector<Command*> commands;
};

class ButtonTest : public ::testing::Test {
protected:
    ButtonTest() { releaseSharedFonts(); }
    ~ButtonTest() override {
        freeTrackedStyles();
        releaseSharedFonts();
    }

    test::ScopedFixedFont fixed_;
    EventLog log_;
};

TEST_F(ButtonTest, FireReleaseRaisesOneButtonEventWithItsTexts) {
    ButtonItem button(CString(u"OK"), createButtonStyle(), 0, 0, &log_);
    button.setOnClick(CString(u"go()"));
    button.setExtraText(CString(u"extra"));

    EXPECT_FALSE(button.keyPressed(kKeyEnter, kGameFire));
    EXPECT_TRUE(button.keyReleased(kKeyEnter, kGameFire));
    ASSERT_EQ(log_.events.size(), 1u);
    ASSERT_EQ(log_.events[0]->kind(), EventKind::Button);
    const auto& event = static_cast<const ButtonEvent&>(*log_.events[0]);
    EXPECT_EQ(event.getAction(), CString(u"OK"));  // the caption is the button's id
    EXPECT_EQ(event.getExtraText(), CString(u"extra"));
    EXPECT_EQ(event.getClickAction(), CString(u"go()"));
    EXPECT_EQ(event.getCaption(), CString(u"OK"));
    EXPECT_FALSE(button.isPressed());

    // A release without a press, and a release by '5', raise nothing.
    EXPECT_FALSE(button.keyReleased(kKeyEnter, kGameFire));
    button.keyPressed(kKeyEnter, kGameFire);
    EXPECT_FALSE(button.keyReleased(kKeyDigitFive, kGameFire));
    EXPECT_EQ(log_.events.size(), 1u);
}

TEST_F(ButtonTest, WithoutListenerFireGoesToTheDefaultCommand) {
    ButtonItem button(CString(u"OK"), createButtonStyle());
    CommandLog commands;
    button.setItemCommandListener(&commands);
    auto command = std::make_shared<Command>(CString(u"Send"), 4, 1);
    button.setDefaultCommand(command);

    button.keyPressed(kKeyEnter, kGameFire);
    EXPECT_TRUE(button.keyReleased(kKeyEnter, kGameFire));
    ASSERT_EQ(commands.commands.size(), 1u);
    EXPECT_EQ(commands.commands[0], command.get());
}

TEST_F(ButtonTest, SecondDefaultCommandJoinsTheCommandsAndTheFirstStays) {
    ButtonItem button(CString(u"OK"), createButtonStyle());
    auto first = std::make_shared<Command>(CString(u"One"), 4, 1);
    auto second = std::make_shared<Command>(CString(u"Two"), 4, 2);
    button.setDefaultCommand(first);
    button.setDefaultCommand(second);
    EXPECT_EQ(button.getDefaultCommand(), first);
    EXPECT_EQ(button.getCommands().size(), 2u);
}

// The pen-down look is the button's own state: a key press must not darken
// the button, and the pen must both darken it and press FIRE.
TEST_F(ButtonTest, PenDownIsSeparateFromPressed) {
    ButtonItem button(CString(u"OK"), createButtonStyle(), 0, 0, &log_);
    button.init(240, 240);

    button.keyPressed(kKeyEnter, kGameFire);
    EXPECT_TRUE(button.isPressed());
    EXPECT_FALSE(button.isPenDown());
    button.keyReleased(kKeyEnter, kGameFire);

    button.pointerPressed(3, 3);
    EXPECT_TRUE(button.isPenDown());
    EXPECT_TRUE(button.isPressed());
    EXPECT_TRUE(button.pointerReleased(3, 3));
    EXPECT_FALSE(button.isPenDown());
    EXPECT_EQ(log_.events.size(), 2u);
}

// Regression: a pen lifted outside the button left it drawn dark.
TEST_F(ButtonTest, PenLiftedOutsideClearsTheLookAndRaisesNothing) {
    ButtonItem button(CString(u"OK"), createButtonStyle(), 0, 0, &log_);
    button.init(240, 240);
    EXPECT_FALSE(button.pointerDragged(3, 3));
    EXPECT_TRUE(button.isPenDown());
    EXPECT_FALSE(button.pointerPressed(-4, 3));
    EXPECT_FALSE(button.pointerReleased(200, 3));
    EXPECT_FALSE(button.isPenDown());
    EXPECT_TRUE(log_.events.empty());
}

TEST_F(ButtonTest, PenDownPaintsWhiteCaptionOnDarkFill) {
    // "OK": 14 px of text + 1, 2 px frame; content 15 x 18 at (2, 2).
    ButtonItem button(CString(u"OK"), createButtonStyle(), 0, 0, &log_);
    button.init(240, 240);
    ASSERT_EQ(button.itemWidth(), 19);
    ASSERT_EQ(button.itemHeight(), 22);

    Surface surface(40, 30);
    DeviceContext dc(surface);
    GraphicsContext g;
    g.init(40, 30, &dc);
    auto paint = [&] {
        dc.fillRect(surface.bounds(), 0x123456);
        button.paint(0, 0, 0, 40, g);
    };

    button.pointerPressed(3, 3);
    paint();
    EXPECT_EQ(surface.getPixel(16, 3), ButtonItem::kPenDownFill);
    EXPECT_EQ(surface.getPixel(5, 10), ButtonItem::kPenDownText);  // inside the 'O' glyph
    EXPECT_EQ(surface.getPixel(0, 0), 0x743C00u);                  // the frame stays

    button.pointerReleased(3, 3);
    paint();
    EXPECT_EQ(surface.getPixel(16, 3), 0xF7F7F7u);
    EXPECT_EQ(surface.getPixel(5, 10), button.getCaptionColor());
}

TEST_F(ButtonTest, ContentSizeFollowsCaptionAndPicture) {
    ButtonItem wide(CString(u"ABCDEFGHIJ"), createButtonStyle());
    wide.init(50, 240);  // 71 px of caption, 46 px of first line inside the frame
    EXPECT_EQ(wide.contentWidth(), 46);

    ButtonItem picture(CString(), createButtonStyle());
    picture.setImage(std::make_shared<Image>(20, 12, true, std::vector<uint32_t>(240, 0)));
    picture.init(240, 240);
    EXPECT_EQ(picture.contentWidth(), 20);
    EXPECT_EQ(picture.contentHeight(), 12);

    // A new caption is measured again at the next layout.
    wide.setCaption(CString(u"AB"));
    EXPECT_FALSE(wide.isInitialised());
}

// Regression: the focused style has no alignment, so a centred button
// jumped to the left of its line when it took the focus.
TEST_F(ButtonTest, FocusedButtonStaysWhereItsNormalLookPlacesIt) {
    for (const uint32_t placement : {kLayoutCenter, kLayoutRight}) {
        SCOPED_TRACE(placement);
        Container page(false, nullptr);
        Style* style = createButtonStyle();
        style->flags |= placement;
        page.add(std::make_unique<ButtonItem>(CString(u"OK"), style));
        page.add(std::make_unique<ButtonItem>(CString(u"Other"), createButtonStyle()));
        page.init(240, 240);
        Item& button = *page.children()[0];
        const int normalX = button.relativeX();
        ASSERT_GT(normalX, 100);
        page.focusIndex(0);
        page.init(240, 240);
        EXPECT_TRUE(button.isFocused());
        EXPECT_EQ(button.relativeX(), normalX);
    }
}

// Regression: centred buttons side by side on one line ("nobr") were each
// centred in the room left of the line, so they overlapped.
TEST_F(ButtonTest, CentredButtonsOnOneLineKeepTheirPlaces) {
    InlineContainer row;
    for (const char16_t* caption : {u"Left", u"Right"}) {
        Style* style = createButtonStyle();
        style->flags |= kLayoutCenter;
        row.add(std::make_unique<ButtonItem>(CString(caption), style));
    }
    row.init(240, 240);
    Surface surface(240, 40);
    DeviceContext dc(surface);
    GraphicsContext g;
    g.init(240, 40, &dc);
    dc.fillRect(surface.bounds(), 0x123456);
    row.paint(0, 0, 0, 240, g, true);

    constexpr Color kFrame = 0x743C00;
    const int contentX = row.contentX();
    for (const auto& button : row.getItems()) {
        const int left = contentX + button->relativeX();
        const int right = left + button->itemWidth() - 1;
        EXPECT_EQ(surface.getPixel(left, 10), kFrame) << left;
        EXPECT_EQ(surface.getPixel(right, 10), kFrame) << right;
        EXPECT_NE(surface.getPixel(left + 3, 10), kFrame) << left;  // inside, not another frame
    }
    EXPECT_EQ(surface.getPixel(contentX + row.getItems()[1]->relativeX() - 1, 10), 0x123456u);
}

// A plain block that pushes the button down the page.
class Spacer : public Item {
public:
    explicit Spacer(int height) : height_(height) {}
    void initContent(int, int lineWidth) override {
        contentWidth_ = lineWidth;
        contentHeight_ = height_;
    }

private:
    int height_;
};

// A button on a shown screen, held down by the pen.
class ButtonOnScreenTest : public ButtonTest {
protected:
    ClientContext context_;
    static constexpr int kBarTop = 320 - 24;

    ButtonOnScreenTest() {
        Screen::initMetrics({240, 320});
        context_.setDisplayArea(Rect::fromSize(0, 0, 240, 320));
        screen_.setTipBoxShown(false);
        screen_.getContent()->add(std::make_unique<Spacer>(spacerHeight_));
        button_ = static_cast<ButtonItem*>(screen_.getContent()->add(
            std::make_unique<ButtonItem>(CString(u"OK"), createButtonStyle(), 0, 0, &log_)));
        display_.setCurrent(&screen_);
        display_.repaint();
    }
    Color pixel(int x, int y) { return display_.getBackBufferDC()->getPixel(x, y); }
    // A point of the button's fill, off its caption, in screen pixels.
    int buttonX() const { return button_->getLastPaintX() + 16; }
    int buttonY() const { return button_->getLastPaintY() + 3; }

    int spacerHeight_ = 100;
    Display display_{Size{240, 320}};
    Screen screen_{u"t", true};
    ButtonItem* button_ = nullptr;
};

class ButtonAtTheBottomTest : public ButtonOnScreenTest {
protected:
    ButtonAtTheBottomTest() {
        // 22 px high from y 285: it reaches 11 px into the soft-key bar.
        static_cast<Spacer*>(screen_.getContent()->getItem(0))->setMinHeight(285);
        screen_.getContent()->requestFullInit();
        display_.repaint();
    }
};

// Regression: the pressed look of a button cut by the bottom of the page
// was drawn over the soft-key bar.
TEST_F(ButtonAtTheBottomTest, PressedLookStaysInsideThePage) {
    ASSERT_EQ(button_->getLastPaintY(), 285);
    const Color bar = pixel(buttonX(), kBarTop + 4);
    screen_.pointerPressed(buttonX(), 288);
    EXPECT_TRUE(button_->isPenDown());
    EXPECT_EQ(pixel(buttonX(), 288), ButtonItem::kPenDownFill);
    EXPECT_EQ(pixel(buttonX(), kBarTop + 4), bar);
    // Lifted elsewhere on the page: only the button is painted again.
    screen_.pointerReleased(buttonX(), 150);
    EXPECT_NE(pixel(buttonX(), 288), ButtonItem::kPenDownFill);
    EXPECT_EQ(pixel(buttonX(), kBarTop + 4), bar);
}

// Regression: a button removed while the pen held it down was painted again
// when the pen was lifted, also after it had been destroyed.
TEST_F(ButtonOnScreenTest, ButtonRemovedUnderThePenIsForgotten) {
    const int x = buttonX();
    const int y = buttonY();
    screen_.pointerPressed(x, y);
    ASSERT_EQ(pixel(x, y), ButtonItem::kPenDownFill);

    // Handed back to the caller and kept: the page shows something else there.
    std::unique_ptr<Item> out = screen_.getContent()->set(1, std::make_unique<Spacer>(30));
    display_.repaint();
    const Color page = pixel(x, y);
    ASSERT_NE(page, ButtonItem::kPenDownFill);
    EXPECT_EQ(screen_.getPressedItem(), nullptr);
    screen_.pointerReleased(x + 200, y);
    EXPECT_EQ(pixel(x, y), page);

    // Destroyed: the release reaches nothing of it.
    screen_.getContent()->set(1, std::move(out));
    ASSERT_EQ(screen_.getContent()->getItem(1), button_);
    display_.repaint();
    screen_.pointerPressed(x, y);
    ASSERT_EQ(screen_.getPressedItem(), button_);
    screen_.getContent()->remove(1);
    EXPECT_EQ(screen_.getPressedItem(), nullptr);
    screen_.pointerReleased(x + 200, y);
}

}  // namespace
}  // namespace zq
