#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "items/button_item.h"
#include "platform/device_context.h"
#include "platform/surface.h"
#include "tests/support/test_font.h"
#include "ui/event.h"
#include "ui/font_cache.h"
#include "ui/graphics_context.h"
#include "ui/listeners.h"
#include "ui/style.h"

namespace zq {
namespace {

constexpr int kKeyEnter = 13;

class EventLog : public EventListener {
public:
    void onEvent(std::unique_ptr<Event> event) override { events.push_back(std::move(event)); }
    std::vector<std::unique_ptr<Event>> events;
};

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
    EXPECT_EQ(event.getFirst(), CString(u"extra"));
    EXPECT_EQ(event.getSecond(), CString(u"go()"));
    EXPECT_EQ(event.getThird(), CString(u"OK"));
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

}  // namespace
}  // namespace zq
