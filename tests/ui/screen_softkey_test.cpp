// The screen's soft keys: labels and pictures, command placement, the popup
// menu, the loading state, key bindings and the soft keyboard.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/surface.h"
#include "platform/window.h"
#include "tests/support/test_env.h"
#include "tests/ui/screen_test_support.h"
#include "ui/client_context.h"
#include "ui/command_item.h"
#include "ui/container.h"
#include "ui/display.h"
#include "ui/event.h"
#include "ui/image_cache.h"
#include "ui/listeners.h"
#include "ui/screen.h"
#include "ui/soft_keyboard.h"

namespace zq {
namespace {

constexpr int kBarTop = 296;
constexpr int kTypeScreen = 1;

CommandRef cmd(const char16_t* label, int type, int priority) {
    return std::make_shared<Command>(CString(label), type, priority);
}

class CommandLog : public CommandListener {
public:
    void commandAction(Command* command, Displayable* /*source*/) override {
        fired.push_back(command->getLabel().toUtf8());
    }
    std::vector<std::string> fired;
};

class EventLog : public EventListener {
public:
    void onEvent(std::unique_ptr<Event> event) override { events.push_back(std::move(event)); }
    std::vector<std::unique_ptr<Event>> events;
};

// A line of content that logs the keys and taps it gets and uses FIRE
// presses only when told to.
class ProbeItem : public Item {
public:
    ProbeItem() : Item(CString(), 0, 1, nullptr) {}
    void initContent(int, int lineWidth) override {
        contentWidth_ = lineWidth;
        contentHeight_ = 20;
    }
    bool keyPressed(int keyCode, int gameAction) override {
        log.push_back("press " + std::to_string(keyCode));
        return takeFire && gameAction == kGameFire;
    }
    bool keyReleased(int keyCode, int) override {
        log.push_back("release " + std::to_string(keyCode));
        return false;
    }
    bool pointerPressed(int, int) override {
        log.push_back("tap");
        return true;
    }
    std::vector<std::string> log;
    bool takeFire = false;
};

// The field the soft keyboard types into.
class FieldStub : public Item, public KeyboardTarget {
public:
    Item& keyboardItem() override { return *this; }
    void setValue(const CString& value) override {
        log.push_back("value [" + value.toUtf8() + "]");
    }
    void insertText(const CString& text) override { log.push_back("insert " + text.toUtf8()); }
    void typeChar(char16_t ch) override { log.push_back("type " + CString(ch).toUtf8()); }
    int caretLineTop() const override { return 0; }
    int caretLineHeight() const override { return 14; }
    bool keyPressed(int keyCode, int) override {
        log.push_back("key " + std::to_string(keyCode));
        return true;
    }
    std::vector<std::string> log;
};

class SoftKeyTest : public test::ScreenFixture {
protected:
    SoftKeyTest() {
        context_.setProgramFolder(test::sourceDir() / "resources");
        clearImageCache();
        makeSurface(240, 320, 0);
    }
    ~SoftKeyTest() override { clearImageCache(); }

    std::unique_ptr<Screen> makeScreen() {
        auto screen = std::make_unique<Screen>(u"t", plainStyle(), true);
        screen->setSize(240, 320);
        screen->setCommandListener(&commands_);
        return screen;
    }
    ProbeItem* addProbe(Screen& screen) {
        auto probe = std::make_unique<ProbeItem>();
        ProbeItem* raw = probe.get();
        screen.getContent()->add(std::move(probe));
        screen.paint(gc_);
        screen.getContent()->focusIndex(0);
        return raw;
    }
    static void key(Screen& screen, int code) {
        screen.keyPressed(code);
        screen.keyReleased(code);
    }
    static std::vector<std::string> labels(const Screen& screen) {
        std::vector<std::string> out;
        for (const CommandRef& c : screen.getCommands()) out.push_back(c->getLabel().toUtf8());
        return out;
    }
    // The picture's first opaque pixel, where it should be drawn at (x, y).
    void expectPicture(const char16_t* path, int x, int y) {
        ImageRef image = loadCachedImage(CString(path));
        ASSERT_NE(image, nullptr);
        for (int py = 0; py < image->height(); ++py) {
            for (int px = 0; px < image->width(); ++px) {
                if ((image->pixel(px, py) >> 24) != 0xFF) continue;
                EXPECT_EQ(pixel(x + px, y + py), Surface::fromNative(image->pixel(px, py)))
                    << "at " << px << "," << py;
                return;
            }
        }
        FAIL() << "no opaque pixel";
    }

    CommandLog commands_;
};

TEST_F(SoftKeyTest, LabelsShowPicturesOrTextCutToFourCharacters) {
    // "确定选择" first: the left soft key, as select.png; "返" as back.png.
    auto screen = makeScreen();
    screen->addCommand(cmd(u"确定选择", kTypeScreen, 1));
    screen->addCommand(cmd(u"返", 2, 1));
    EXPECT_EQ(screen->leftLabel(), CString(u"确定选择"));
    screen->paint(gc_);
    EXPECT_EQ(screen->leftAreaWidth(), 24);
    EXPECT_EQ(screen->rightAreaStart(), 216);
    expectPicture(u"images\\select.png", 4, 320 - 16);
    expectPicture(u"images\\back.png", 216, 320 - 16);
    EXPECT_EQ(pixel(120, kBarTop + 1), colorSettings().menuBack);

    // "确定" is text; a six-character label shows its first four.
    auto text = makeScreen();
    text->addCommand(cmd(u"确定", 3, 1));
    text->paint(gc_);
    EXPECT_EQ(text->rightAreaStart(), 240 - 2 * 7);
    text->addCommand(cmd(u"返回上一页面", 2, 0));
    text->paint(gc_);
    EXPECT_EQ(text->rightAreaStart(), 240 - 4 * 7);
    // The loser of the right key is the menu's only entry: the left key.
    EXPECT_EQ(text->leftLabel(), CString(u"确定"));
    EXPECT_EQ(text->leftAreaWidth(), 2 * 7 + 2);

    // Two menu entries: "菜单" (menu.png); "退" shows quit.png.
    auto menu = makeScreen();
    menu->addCommand(cmd(u"买入", kTypeScreen, 1));
    menu->addCommand(cmd(u"卖出", kTypeScreen, 2));
    menu->addCommand(cmd(u"退", 7, 1));
    menu->paint(gc_);
    EXPECT_EQ(menu->leftLabel(), CString(u"菜单"));
    expectPicture(u"images\\menu.png", 4, 320 - 16);
    expectPicture(u"images\\quit.png", 216, 320 - 16);
}

TEST_F(SoftKeyTest, CommandPlacementByTypeAndPriority) {
    auto screen = makeScreen();
    // Preferred commands: the smallest priority number; ties keep the first.
    CommandRef ok = cmd(u"确定", 4, 2);
    screen->addCommand(ok);
    screen->addCommand(cmd(u"好", 4, 2));
    EXPECT_EQ(screen->getPreferredOkCommand(), ok.get());
    CommandRef sooner = cmd(u"行", 4, 1);
    screen->addCommand(sooner);
    EXPECT_EQ(screen->getPreferredOkCommand(), sooner.get());
    CommandRef exit = cmd(u"退", 7, 5);
    screen->addCommand(exit);
    EXPECT_EQ(screen->getPreferredBackCommand(), exit.get());

    // The menu runs by priority number, equal numbers in the order added.
    screen->addCommand(cmd(u"c", kTypeScreen, 3));
    screen->addCommand(cmd(u"a", kTypeScreen, 0));
    EXPECT_EQ(labels(*screen), (std::vector<std::string>{"a", "行", "确定", "好", "c"}));
    EXPECT_EQ(screen->getRightCommand(), exit.get());
    EXPECT_EQ(screen->getLeftCommand(), nullptr);
    // A command already placed is not added twice.
    screen->addCommand(ok);
    screen->addCommand(exit);
    EXPECT_EQ(screen->getCommands().size(), 5u);
    EXPECT_EQ(screen->getPopupMenu()->size(), 5);
}

TEST_F(SoftKeyTest, TheSoleSelectCommandAndTheRightKeyContest) {
    auto screen = makeScreen();
    CommandRef select = cmd(u"确定选择", kTypeScreen, 5);
    screen->addCommand(select);
    EXPECT_EQ(screen->getLeftCommand(), select.get());
    // Any further ordinary command ends the left command: "菜单".
    screen->addCommand(cmd(u"刷新", kTypeScreen, 1));
    EXPECT_EQ(screen->getLeftCommand(), nullptr);
    EXPECT_EQ(screen->leftLabel(), CString(u"菜单"));

    // BACK 1 after CANCEL 3: the CANCEL goes into the menu and, as its only
    // entry, becomes the left key.
    auto contest = makeScreen();
    CommandRef cancel = cmd(u"取消", 3, 3);
    CommandRef back = cmd(u"返", 2, 1);
    contest->addCommand(cancel);
    EXPECT_EQ(contest->getRightCommand(), cancel.get());
    contest->addCommand(back);
    EXPECT_EQ(contest->getRightCommand(), back.get());
    EXPECT_EQ(contest->getLeftCommand(), cancel.get());
    EXPECT_EQ(labels(*contest), std::vector<std::string>{"取消"});
    // Removing the right BACK gives the right key to the CANCEL again.
    contest->removeCommand(back.get());
    EXPECT_EQ(contest->getRightCommand(), cancel.get());
    EXPECT_EQ(contest->getLeftCommand(), nullptr);
    EXPECT_TRUE(contest->getCommands().empty());
    EXPECT_EQ(contest->rightLabel(), CString(u"取消"));
}

TEST_F(SoftKeyTest, SoftKeysOpenChooseAndCloseTheMenu) {
    auto screen = makeScreen();
    screen->addCommand(cmd(u"买入", kTypeScreen, 1));
    screen->addCommand(cmd(u"卖出", kTypeScreen, 2));
    screen->addCommand(cmd(u"返", 2, 1));
    key(*screen, kKeySoftLeft);
    EXPECT_TRUE(screen->isPopupMenuOpen());
    EXPECT_EQ(screen->leftLabel(), CString(u"菜单"));
    EXPECT_EQ(screen->rightLabel(), CString(u"取消"));
    EXPECT_EQ(screen->getBusyFlags(), Screen::kBusyMenuOpen);
    // The right key closes it without firing anything.
    key(*screen, kKeySoftRight);
    EXPECT_FALSE(screen->isPopupMenuOpen());
    EXPECT_EQ(screen->rightLabel(), CString(u"返"));
    EXPECT_EQ(screen->getBusyFlags(), 0u);
    EXPECT_TRUE(commands_.fired.empty());

    // Open, move down, choose with the left key: the second entry fires.
    key(*screen, kKeySoftLeft);
    screen->paint(gc_);
    key(*screen, kKeyDown);
    key(*screen, kKeySoftLeft);
    EXPECT_EQ(commands_.fired, std::vector<std::string>{"卖出"});
    EXPECT_FALSE(screen->isPopupMenuOpen());
    // With the menu closed the right key fires its command.
    key(*screen, kKeySoftRight);
    EXPECT_EQ(commands_.fired, (std::vector<std::string>{"卖出", "返"}));
}

// Painting never lays out, so the open menu is laid out again whenever
// something it shows changed: it ends where a menu opened afresh would.
TEST_F(SoftKeyTest, TheOpenMenuFollowsChangesMadeWhileItIsOpen) {
    struct Case {
        const char* name;
        std::function<void(Screen&)> change;
    };
    const Case cases[] = {
        {"a command added", [](Screen& s) { s.addCommand(cmd(u"撤单查询明细", kTypeScreen, 3)); }},
        {"a command removed", [](Screen& s) { s.removeCommand(s.getCommands().back().get()); }},
        {"a sub-command added",
         [](Screen& s) {
             s.addSubCommand(cmd(u"子", kTypeScreen, 1), s.getCommands().front(), nullptr, true);
         }},
        {"a new size", [](Screen& s) { s.setSize(240, 200); }},
    };
    auto menuScreen = [this] {
        auto screen = makeScreen();
        screen->addCommand(cmd(u"买入", kTypeScreen, 1));
        screen->addCommand(cmd(u"卖出", kTypeScreen, 2));
        return screen;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto changed = menuScreen();
        changed->setPopupMenuOpen(true);
        changed->paint(gc_);
        c.change(*changed);
        changed->paint(gc_);
        auto fresh = menuScreen();
        c.change(*fresh);
        fresh->setPopupMenuOpen(true);
        fresh->paint(gc_);
        const Container& was = *changed->getPopupMenu();
        const Container& now = *fresh->getPopupMenu();
        EXPECT_EQ(was.relativeY(), now.relativeY());
        EXPECT_EQ(was.itemWidth(), now.itemWidth());
        EXPECT_EQ(was.itemHeight(), now.itemHeight());
        ASSERT_EQ(was.size(), now.size());
        for (int i = 0; i < was.size(); ++i) {
            EXPECT_EQ(was.children()[i]->itemWidth(), now.children()[i]->itemWidth()) << i;
        }
    }
}

TEST_F(SoftKeyTest, TheCentreReleaseFiresTheLeftCommandOnlyAfterAnUnusedPress) {
    auto screen = makeScreen();
    ProbeItem* probe = addProbe(*screen);
    screen->addCommand(cmd(u"确定选择", kTypeScreen, 1));
    // A release with no press before it fires nothing.
    screen->keyReleased(kKeyEnter);
    EXPECT_TRUE(commands_.fired.empty());
    // The content does not use the press: the release fires.
    key(*screen, kKeyEnter);
    EXPECT_EQ(commands_.fired, std::vector<std::string>{"确定选择"});
    // The content uses the press: the release is the content's.
    probe->takeFire = true;
    probe->log.clear();
    key(*screen, kKeyEnter);
    EXPECT_EQ(commands_.fired.size(), 1u);
    EXPECT_EQ(probe->log, (std::vector<std::string>{"press 13", "release 13"}));
}

TEST_F(SoftKeyTest, UnusedKeysRaiseTheirBindingOrAll) {
    auto screen = std::make_unique<Screen>(u"t", false);
    screen->setSize(240, 320);
    EventLog events;
    screen->setEventListener(&events);
    screen->addKeyBinding(u"all", u"anyKey");
    screen->addKeyBinding(u"DOWN", u"nextPage");
    screen->keyPressed('5');
    screen->keyPressed(kKeyDown);
    ASSERT_EQ(events.events.size(), 2u);
    auto& five = static_cast<KeyEvent&>(*events.events[0]);
    EXPECT_EQ(five.kind(), EventKind::Key);
    EXPECT_EQ(five.getKey(), CString(u"5"));
    EXPECT_EQ(five.getAction(), CString(u"anyKey"));
    EXPECT_EQ(static_cast<KeyEvent&>(*events.events[1]).getAction(), CString(u"nextPage"));
    // Without a binding for the key nor "all" nothing is raised.
    auto bare = std::make_unique<Screen>(u"t", false);
    bare->setEventListener(&events);
    bare->addKeyBinding(u"up", u"x");
    bare->keyPressed('7');
    EXPECT_EQ(events.events.size(), 2u);
}

// Regression: the soft keys' codes are also 'p' and 'q'; a soft key reached
// the content and the page's binding for "p", a typed 'p' opened the menu.
TEST_F(SoftKeyTest, SoftKeysAndTypedCharactersAreDifferentKeys) {
    auto screen = makeScreen();
    ProbeItem* probe = addProbe(*screen);
    EventLog events;
    screen->setEventListener(&events);
    screen->addKeyBinding(u"p", u"bindP");
    screen->addKeyBinding(u"q", u"bindQ");
    screen->addKeyBinding(u"down", u"nextPage");
    screen->addCommand(cmd(u"One", kTypeScreen, 1));
    screen->addCommand(cmd(u"Two", kTypeScreen, 2));
    probe->log.clear();

    // The soft keys: the menu opens and closes; nobody else sees them.
    key(*screen, kKeySoftLeft);
    EXPECT_TRUE(screen->isPopupMenuOpen());
    key(*screen, kKeySoftRight);
    EXPECT_FALSE(screen->isPopupMenuOpen());
    screen->keyRepeated(kKeySoftLeft);
    EXPECT_TRUE(probe->log.empty());
    EXPECT_TRUE(events.events.empty());

    // Typed 'p' and '(' are characters for the content and the bindings.
    screen->textTyped(CString(u"p"));
    screen->textTyped(CString(u"("));
    EXPECT_FALSE(screen->isPopupMenuOpen());
    EXPECT_TRUE(commands_.fired.empty());
    EXPECT_EQ(probe->log,
              (std::vector<std::string>{"press 112", "release 112", "press 40", "release 40"}));
    ASSERT_EQ(events.events.size(), 1u);
    EXPECT_EQ(static_cast<KeyEvent&>(*events.events[0]).getKey(), CString(u"p"));
    EXPECT_EQ(events.events[0]->getAction(), CString(u"bindP"));
}

TEST_F(SoftKeyTest, LoadingProgressArithmeticAndRequestIds) {
    auto screen = makeScreen();
    screen->startLoading(false, false, 7);
    EXPECT_EQ(screen->loadingProgress(), 2);
    screen->addLoadingProgress(48, 7);
    screen->paintLoadingBar(gc_);
    // 50 % of 240 px along the top three rows of the bar.
    EXPECT_EQ(pixel(119, kBarTop + 2), colorSettings().progressBar);
    EXPECT_NE(pixel(120, kBarTop), colorSettings().progressBar);
    EXPECT_NE(pixel(60, kBarTop + 3), colorSettings().progressBar);

    screen->setLoadingProgress(5);
    screen->addLoadingProgress(-10);
    EXPECT_EQ(screen->loadingProgress(), 5);
    // One id stands for any request, whether adding, setting or stopping.
    screen->addLoadingProgress(1, LoadingState::kAnyRequest);
    EXPECT_EQ(screen->loadingProgress(), 6);
    screen->addLoadingProgress(1, -1);
    EXPECT_EQ(screen->loadingProgress(), 6);
    screen->setLoadingProgress(5, LoadingState::kAnyRequest);
    screen->setLoadingProgress(95, 7);
    screen->addLoadingProgress(10);
    EXPECT_EQ(screen->loadingProgress(), 100);
    screen->setLoadingProgress(101);
    screen->addLoadingProgress(-50, 8);
    EXPECT_EQ(screen->loadingProgress(), 100);

    // Another request's id changes nothing; a resent request keeps going.
    EXPECT_FALSE(screen->stopLoading(8));
    EXPECT_TRUE(screen->isLoading());
    screen->replaceLoadingId(7, 9);
    EXPECT_FALSE(screen->stopLoading(7));
    EXPECT_TRUE(screen->stopLoading(9));
    EXPECT_FALSE(screen->isLoading());
    EXPECT_EQ(screen->loadingProgress(), 0);
    EXPECT_FALSE(screen->stopLoading(LoadingState::kAnyRequest));
}

TEST_F(SoftKeyTest, ABlockingLoadDropsInputButItsCancel) {
    auto screen = makeScreen();
    ProbeItem* probe = addProbe(*screen);
    EventLog events;
    screen->setEventListener(&events);
    screen->addKeyBinding(u"all", u"anyKey");
    screen->addCommand(cmd(u"返", 2, 1));
    probe->log.clear();

    // Without cancel: even the right key does nothing.
    screen->startLoading(true, false, 1);
    for (int code : {int(kKeyEnter), int(kKeyDown), int(kKeySoftLeft), int(kKeySoftRight)}) {
        key(*screen, code);
    }
    screen->pointerPressed(100, 20);
    EXPECT_TRUE(probe->log.empty());
    EXPECT_TRUE(events.events.empty());
    EXPECT_TRUE(commands_.fired.empty());
    EXPECT_TRUE(screen->isLoading());
    screen->stopLoading();

    // With a cancel action: 113 cancels and runs it.
    int cancelled = 0;
    screen->startLoading(true, false, 2, [&cancelled] { ++cancelled; });
    EXPECT_TRUE(screen->isCancelAllowed());
    key(*screen, kKeyDown);
    EXPECT_TRUE(screen->isLoading());
    key(*screen, kKeySoftRight);
    EXPECT_FALSE(screen->isLoading());
    EXPECT_EQ(cancelled, 1);
    EXPECT_TRUE(commands_.fired.empty());

    // A tap on the cancel mark cancels; a tap elsewhere is dropped.
    screen->startLoading(true, true, 3);
    screen->paint(gc_);
    EXPECT_EQ(screen->rightAreaStart(), 240 - 16 - 2);
    screen->pointerPressed(100, 20);
    EXPECT_TRUE(screen->isLoading());
    screen->pointerPressed(230, 310);
    EXPECT_FALSE(screen->isLoading());
    EXPECT_TRUE(probe->log.empty());

    // A load that does not block lets keys through.
    screen->startLoading(false, false, 4);
    key(*screen, kKeyDown);
    EXPECT_FALSE(probe->log.empty());
}

TEST_F(SoftKeyTest, ShowingRaisesAFormEventWithTheTitle) {
    Display display{Size{240, 320}};
    EventLog events;
    Screen titled(u"行情", true);
    titled.setEventListener(&events);
    display.setCurrent(&titled);
    ASSERT_EQ(events.events.size(), 1u);
    const Event& event = *events.events[0];
    EXPECT_EQ(event.kind(), EventKind::Plain);
    EXPECT_EQ(event.getAction(), CString(u"Form"));
    ASSERT_NE(dynamic_cast<const FormEvent*>(&event), nullptr);
    EXPECT_EQ(static_cast<const FormEvent&>(event).getTitle(), CString(u"行情"));

    Screen untitled(u"", true);
    untitled.setEventListener(&events);
    display.setCurrent(&untitled);
    EXPECT_EQ(events.events.size(), 1u);
}

TEST_F(SoftKeyTest, TheSoftKeyboardTypesIntoItsField) {
    auto screen = makeScreen();
    auto& field =
        static_cast<FieldStub&>(*screen->getContent()->add(std::make_unique<FieldStub>()));
    screen->openSoftKeyboard(true, &field, kKeypadDigits);
    ASSERT_NE(screen->getSoftKeyboard(), nullptr);
    EXPECT_TRUE(screen->getSoftKeyboard()->isVisible());
    for (const char16_t* text : {u"退格", u"清除", u"12", u"7", u""}) screen->onData(text);
    EXPECT_EQ(field.log, (std::vector<std::string>{"key 8", "value []", "insert 12", "type 7"}));

    // Without a focused field the keyboard stands on the soft-key bar; a
    // tap on its "1" types through the screen.
    field.log.clear();
    screen->paint(gc_);
    const int top = kBarTop - 6 * 22;
    screen->pointerPressed(240 - 147 + 24, top + 22 + 11);
    EXPECT_EQ(field.log, std::vector<std::string>{"type 1"});

    // A keyboard that closes asks for a new layout at the next paint.
    screen->onFailure();
    EXPECT_FALSE(screen->isLayoutValid());
    screen->paint(gc_);
    EXPECT_TRUE(screen->isLayoutValid());
}

// Regression: the keyboard kept typing into a field the page had removed.
TEST_F(SoftKeyTest, AFieldThatLeavesThePageIsNoLongerTypedInto) {
    auto screen = makeScreen();
    Container& content = *screen->getContent();
    auto* kept = static_cast<FieldStub*>(content.add(std::make_unique<FieldStub>()));
    screen->openSoftKeyboard(true, kept, kKeypadDigits);
    std::unique_ptr<Item> out = content.set(0, std::make_unique<FieldStub>());
    EXPECT_EQ(screen->getKeyboardTarget(), nullptr);
    screen->onData(u"7");
    EXPECT_TRUE(kept->log.empty());

    screen->openSoftKeyboard(true, static_cast<FieldStub*>(content.getItem(0)), kKeypadDigits);
    content.remove(0);  // destroyed while served
    EXPECT_EQ(screen->getKeyboardTarget(), nullptr);
    screen->onData(u"7");
    screen->paint(gc_);
}

}  // namespace
}  // namespace zq
