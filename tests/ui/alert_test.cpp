#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/ui_executor.h"
#include "platform/window.h"
#include "tests/ui/screen_test_support.h"
#include "ui/alert_screen.h"
#include "ui/client_context.h"
#include "ui/container.h"
#include "ui/default_styles.h"
#include "ui/display.h"
#include "ui/style.h"

namespace zq {
namespace {

constexpr Color kClassColor = 0x123456;

// What the stubs painted: text and screen row, in order.
std::vector<std::pair<std::string, int>> gPainted;

// The message item, keeping what the alert gave it.
class MessageStub : public Item {
public:
    MessageStub(const CString& text, ImageRef image, Style* style)
        : Item(style), text(text), image(std::move(image)) {}
    void initContent(int, int lineWidth) override {
        contentWidth_ = lineWidth;
        contentHeight_ = 40;
    }
    void paintContent(int, int y, int, int, GraphicsContext& g) override {
        gPainted.emplace_back(text.toUtf8(), y + g.getTranslateY());
    }
    CString text;
    ImageRef image;
};

std::unique_ptr<Item> makeMessageStub(const CString& text, ImageRef image, Style* style) {
    return std::make_unique<MessageStub>(text, std::move(image), style);
}

std::vector<std::string> gClasses;

void recordClass(Style* style, const CString& className) {
    gClasses.push_back(utf16ToUtf8(className.view()));
    style->color = kClassColor;
}

class AlertTest : public test::ScreenFixture {
protected:
    AlertTest() {
        context_.setMessageItemMaker(&makeMessageStub);
        context_.setStyleClassApplier(&recordClass);
        gClasses.clear();
        display_.setCurrent(&page_);
    }
    // On a soft key or in the menu.
    static bool hasCommand(const Screen& screen, const Command* command) {
        const auto& all = screen.getCommands();
        return screen.getLeftCommand() == command || screen.getRightCommand() == command ||
               std::any_of(all.begin(), all.end(),
                           [command](const CommandRef& c) { return c.get() == command; });
    }

    Display display_{Size{240, 320}};
    Screen page_{u"page", true};
};

TEST_F(AlertTest, MessageItemOnlyWithTextOrPicture) {
    AlertScreen empty(u"a", u"", nullptr, 0, nullptr);
    EXPECT_EQ(empty.getMessageItem(), nullptr);
    EXPECT_EQ(empty.commandCount(), 1);
    EXPECT_TRUE(hasCommand(empty, sharedOkCommand().get()));
    EXPECT_TRUE(gClasses.empty());

    AlertScreen text(u"a", u"Saved", nullptr, 0, nullptr);
    auto* message = static_cast<MessageStub*>(text.getMessageItem());
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->text, CString(u"Saved"));
    EXPECT_EQ(message->getStyle()->color, kClassColor);
    EXPECT_EQ(gClasses, std::vector<std::string>{"text"});

    auto picture = std::make_shared<const Image>(1, 1, false, std::vector<uint32_t>{0});
    AlertScreen pictured(u"a", u"", picture, 0, nullptr);
    ASSERT_NE(pictured.getMessageItem(), nullptr);
    EXPECT_EQ(static_cast<MessageStub*>(pictured.getMessageItem())->image, picture);

    // Without the style sheets' hook the text style stays as built.
    context_.setStyleClassApplier(nullptr);
    AlertScreen plain(u"a", u"Saved", nullptr, 0, nullptr);
    EXPECT_NE(plain.getMessageItem()->getStyle()->color, kClassColor);
}

// Regression: the title ("警告" for a page's alert) was kept and never drawn.
TEST_F(AlertTest, TheTitleIsDrawnAboveTheMessage) {
    Style* style = createAlertStyle();
    style->color = 0x00FFEE;
    AlertScreen alert(u"警告", u"Saved", nullptr, 0, style);
    auto* title = dynamic_cast<MessageStub*>(alert.getTitleItem());
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text, CString(u"警告"));
    EXPECT_EQ(title->getStyle()->color, 0x00FFEEu);
    EXPECT_EQ(title->getStyle()->font->weight(), static_cast<int>(FontWeight::Bold));

    setCurrentAlert(display_, alert, nullptr);
    makeSurface(240, 320, 0);
    gPainted.clear();
    alert.paint(gc_);
    ASSERT_EQ(gPainted.size(), 2u);
    EXPECT_EQ(gPainted[0].first, "警告");
    EXPECT_EQ(gPainted[1].first, "Saved");
    EXPECT_GE(gPainted[1].second, gPainted[0].second + 40);

    AlertScreen untitled(u"", u"Saved", nullptr, 0, style);
    EXPECT_EQ(untitled.getTitleItem(), nullptr);
}

TEST_F(AlertTest, CallersCommandReplacesOkAndEndsTheTimeout) {
    AlertScreen alert(u"a", u"Saved", nullptr, 0, nullptr);
    alert.setTimeout(1000);
    auto back = std::make_shared<Command>(u"返", 3, 0);
    alert.addCommand(back);
    EXPECT_FALSE(hasCommand(alert, sharedOkCommand().get()));
    EXPECT_TRUE(hasCommand(alert, back.get()));
    EXPECT_EQ(alert.commandCount(), 2);
    EXPECT_EQ(alert.getTimeout(), AlertScreen::kNoTimeout);

    setCurrentAlert(display_, alert, nullptr);
    alert.animate(tickCount() + 1000000);
    EXPECT_TRUE(display_.isCurrent(&alert));

    // Regression: removing the caller's only command left no command at
    // all. The OK command comes back as soon as none is shown.
    alert.removeCommand(back.get());
    EXPECT_EQ(alert.commandCount(), 1);
    EXPECT_TRUE(hasCommand(alert, sharedOkCommand().get()));
    alert.removeCommand(sharedOkCommand().get());
    EXPECT_EQ(alert.commandCount(), 0);
    EXPECT_TRUE(hasCommand(alert, sharedOkCommand().get()));
}

// Regression: an alert with only OK needed the menu and then OK, and one
// whose added command was removed again could not be closed at all.
TEST_F(AlertTest, OneCommandClosesWithOneKey) {
    enum class Change { None, AddOne, AddAndRemove, AddTwo };
    struct Case {
        const char* name;
        Change change;
        bool leftKeyCloses;
    };
    const Case cases[] = {{"only OK", Change::None, true},
                          {"one of the caller's", Change::AddOne, true},
                          {"added and removed", Change::AddAndRemove, true},
                          {"two: the menu opens", Change::AddTwo, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AlertScreen alert(u"a", u"Saved", nullptr, 0, nullptr);
        auto first = std::make_shared<Command>(u"Weiter", 1, 1);
        auto second = std::make_shared<Command>(u"Zurück", 1, 2);
        if (c.change != Change::None) alert.addCommand(first);
        if (c.change == Change::AddAndRemove) alert.removeCommand(first.get());
        if (c.change == Change::AddTwo) alert.addCommand(second);
        setCurrentAlert(display_, alert, &page_);
        alert.keyPressed(kKeySoftLeft);
        alert.keyReleased(kKeySoftLeft);
        EXPECT_EQ(display_.isCurrent(&page_), c.leftKeyCloses);
        EXPECT_EQ(alert.isPopupMenuOpen(), !c.leftKeyCloses);
        display_.setCurrent(&page_);
    }
}

// Regression: the page under an alert was destroyed (a new page, history
// recycling) and closing the alert returned to it.
TEST_F(AlertTest, DestroyedReturnTargetIsForgotten) {
    AlertScreen alert(u"a", u"Saved", nullptr, 0, nullptr);
    auto covered = std::make_unique<Screen>(u"covered", true);
    display_.setCurrent(covered.get());
    setCurrentAlert(display_, alert, nullptr);
    ASSERT_EQ(alert.getReturnTarget(), covered.get());
    ASSERT_EQ(alert.getPreviousDisplayable(), covered.get());
    covered.reset();
    EXPECT_EQ(alert.getReturnTarget(), nullptr);
    EXPECT_EQ(alert.getPreviousDisplayable(), nullptr);
    alert.handleCommand(sharedOkCommand().get());
    EXPECT_TRUE(display_.isCurrent(&alert));

    // A target set later is returned to as before.
    setCurrentAlert(display_, alert, &page_);
    alert.handleCommand(sharedOkCommand().get());
    EXPECT_TRUE(display_.isCurrent(&page_));
}

TEST_F(AlertTest, ClosingReturnsToTheScreenItCovered) {
    Screen other(u"other", true);
    AlertScreen alert(u"a", u"Saved", nullptr, 0, nullptr);
    setCurrentAlert(display_, alert, nullptr);
    EXPECT_TRUE(display_.isCurrent(&alert));
    EXPECT_EQ(alert.getReturnTarget(), &page_);
    // Shown again over itself: the first target stays.
    setCurrentAlert(display_, alert, nullptr);
    alert.setReturnTarget(&alert);
    EXPECT_EQ(alert.getReturnTarget(), &page_);
    alert.handleCommand(sharedOkCommand().get());
    EXPECT_TRUE(display_.isCurrent(&page_));
    EXPECT_EQ(alert.getReturnTarget(), nullptr);
    EXPECT_EQ(page_.getWidth(), displayArea().width());

    setCurrentAlert(display_, alert, &other);
    alert.handleCommand(sharedOkCommand().get());
    EXPECT_TRUE(display_.isCurrent(&other));

    // Made current without a target: back to what was current before.
    display_.setCurrent(&alert);
    alert.setReturnTarget(nullptr);
    alert.handleCommand(sharedOkCommand().get());
    EXPECT_TRUE(display_.isCurrent(&other));
}

TEST_F(AlertTest, LabelsBeforeOkLeaveTheAlertOpen) {
    struct Case {
        const char16_t* label;
        bool closes;
    };
    const Case cases[] = {{u"Cancel", false}, {u"Back", false}, {u"o", false},
                          {u"OK", true},      {u"ok", true},    {u"oK2", true},
                          {u"Zurück", true},  {u"确定", true},  {u"返", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(utf16ToUtf8(c.label));
        AlertScreen alert(u"a", u"Saved", nullptr, 0, nullptr);
        setCurrentAlert(display_, alert, &page_);
        Command command(c.label, 4, 2);
        alert.handleCommand(&command);
        EXPECT_EQ(display_.isCurrent(&page_), c.closes);
        display_.setCurrent(&page_);
    }
}

TEST_F(AlertTest, TimeoutClosesOnTheUiTimer) {
    std::atomic<uint32_t> now{5000};
    ScopedTickSource clock([&now] { return now.load(); });
    UiExecutor executor;

    AlertScreen timed(u"a", u"Saved", nullptr, 0, nullptr);
    timed.setTimeout(500);
    setCurrentAlert(display_, timed, nullptr);
    now = 5400;
    executor.runPending();
    EXPECT_TRUE(display_.isCurrent(&timed));
    now = 5501;
    executor.runPending();
    EXPECT_TRUE(display_.isCurrent(&page_));
    EXPECT_EQ(executor.msUntilNextTimer(), -1);

    // 0 (the default) and less mean none.
    for (int32_t timeout : {0, -5}) {
        AlertScreen alert(u"a", u"Saved", nullptr, 0, nullptr);
        alert.setTimeout(timeout);
        setCurrentAlert(display_, alert, nullptr);
        EXPECT_EQ(executor.msUntilNextTimer(), -1);
        now = now + 100000;
        executor.runPending();
        alert.animate(now);
        EXPECT_TRUE(display_.isCurrent(&alert));
        display_.setCurrent(&page_);
    }
}

}  // namespace
}  // namespace zq
