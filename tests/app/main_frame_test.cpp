// The main frame between the UI loop and the screens: which keys pass, the
// held-key pattern and held keys over a reload, characters as typed
// characters, pen positions where they are, the exit question and the shut-down, and rotation.
#include "app/main_frame.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/page_controller.h"
#include "app/page_history.h"
#include "app/reload_keeping.h"
#include "items/fixed_head_table.h"
#include "items/text_field.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "tests/app/controller_fixture.h"
#include "tests/support/headless_harness.h"
#include "tests/support/test_env.h"
#include "tests/support/test_font.h"
#include "ui/child_list.h"
#include "ui/client_context.h"
#include "ui/display.h"
#include "ui/displayable.h"
#include "ui/form.h"
#include "ui/screen.h"

namespace zq {
namespace {

// Logs what reaches the screen; soft keys can be given actions.
class RecordingCanvas : public Canvas {
public:
    void keyPressed(int code) override { log("press " + std::to_string(code), code); }
    void keyRepeated(int code) override { calls.push_back("repeat " + std::to_string(code)); }
    void keyReleased(int code) override {
        calls.push_back("release " + std::to_string(code));
        if (onRelease) onRelease(code);
    }
    void textTyped(const CString& text) override { calls.push_back("text " + text.toUtf8()); }
    void pointerPressed(int x, int y) override { calls.push_back(at("pen-down", x, y)); }
    void pointerDragged(int x, int y) override { calls.push_back(at("pen-move", x, y)); }
    void pointerReleased(int x, int y) override { calls.push_back(at("pen-up", x, y)); }

    std::vector<std::string> calls;
    std::function<void(int)> onPress;
    std::function<void(int)> onRelease;

private:
    static std::string at(const char* what, int x, int y) {
        return std::string(what) + " " + std::to_string(x) + " " + std::to_string(y);
    }
    void log(std::string call, int code) {
        calls.push_back(std::move(call));
        if (onPress) onPress(code);
    }
};

using Calls = std::vector<std::string>;

class MainFrameTest : public ::testing::Test {
protected:
    ClientContext context_;
    MainFrameTest() {
        clearMessageBoxLog();
        display_.setCurrent(&canvas_, false);
    }
    ~MainFrameTest() override { frame_.setController(nullptr); }
    Calls feed(const std::vector<InputEvent>& events) {
        canvas_.calls.clear();
        for (const InputEvent& event : events) frame_.onInput(event);
        return canvas_.calls;
    }

    test::ScopedFixedFont font_;
    test::HeadlessHarness harness_;
    Display display_{Size{240, 320}};
    MainFrame frame_{display_};
    RecordingCanvas canvas_;
};

TEST_F(MainFrameTest, HeldKeyGivesThreePressesThenRepeats) {
    // Through the loop, as a replay delivers a held key (repeat counts 1..5).
    EXPECT_EQ(harness_.run("key down x5\nkey down x2\n", frame_), 0);
    EXPECT_EQ(canvas_.calls, (Calls{"press 40", "press 40", "press 40", "repeat 40", "repeat 40",
                                    "release 40", "press 40", "press 40", "release 40"}));

    // The release of another key (rolled keys) does not end the hold.
    EXPECT_EQ(feed({KeyDown{38, 1}, KeyDown{38, 2}, KeyDown{38, 3}, KeyUp{65}, KeyDown{38, 4},
                    KeyDown{38, 5}}),
              (Calls{"press 38", "press 38", "press 38", "repeat 38", "repeat 38"}));
    // A fresh press after a key-up the window lost starts a new count.
    EXPECT_EQ(feed({KeyDown{39, 1}, KeyDown{39, 2}}), (Calls{"press 39", "press 39"}));
}

TEST_F(MainFrameTest, KeyFilterPassesOnlyTheClientKeys) {
    // The control keys, and the phone's keypad: its digits, star and hash.
    for (int code : {3, 8, 9, 13, 27, 32, 37, 38, 39, 40, 46, 112, 113, int{kKeyClear}, int{'0'},
                     53, int{'9'}, int{kKeyStar}, int{kKeyHash}}) {
        EXPECT_EQ(feed({KeyDown{code, 1}, KeyUp{code}}),
                  (Calls{"press " + std::to_string(code), "release " + std::to_string(code)}))
            << code;
    }
    // Letters come as text; the rest is unused.
    for (int code : {10, 11, 21, 44, 47, 58, 65, 111, 114}) {
        EXPECT_EQ(feed({KeyDown{code, 1}, KeyUp{code}}), Calls{}) << code;
    }
}

TEST_F(MainFrameTest, TypedTextArrivesWholeAndIsNeverAKey) {
    EXPECT_EQ(feed({CharInput{u"A"}, CharInput{u"中文"}, CharInput{u"😀"}}),
              (Calls{"text A", "text 中文", "text 😀"}));
    // Characters whose codes are also keys' (the arrows, the soft keys, the
    // phone's digits) stay text; control characters came with their keys.
    EXPECT_EQ(feed({CharInput{u"("}, CharInput{u"p"}, CharInput{u"5"}, CharInput{u"\b"},
                    CharInput{u"\r"}}),
              (Calls{"text (", "text p", "text 5"}));
    EXPECT_EQ(feed({CharInput{u" "}}), (Calls{"text  "}));
}

// Regression: the phone's digit keys never reached the screen, so a held
// digit was never repeated (and never became the digit in a field).
TEST_F(MainFrameTest, AHeldDigitKeyRepeats) {
    EXPECT_EQ(harness_.run("key 53 x5\n", frame_), 0);
    EXPECT_EQ(canvas_.calls,
              (Calls{"press 53", "press 53", "press 53", "repeat 53", "repeat 53", "release 53"}));
}

// Regression: a key held on an alert that closed went on to the page: its
// repeats came as presses and its release fired the page's focused button.
// A key held on the page that opened an alert got no further either.
TEST_F(MainFrameTest, AHeldKeyStaysWithTheScreenItWasPressedOn) {
    struct Case {
        const char* name;
        bool startOnAlert;
        int closeOnPress;     // the alert closes at this press (0: never)
        bool closeOnRelease;  // the alert closes at the release
        int openOnPress;      // the page opens the alert at this press
        Calls alert;
    };
    const Case cases[] = {
        {"ClosedByThePress", true, 1, false, 0, {"press 13"}},
        {"ClosedByItselfMidHold", true, 2, false, 0, {"press 13", "press 13"}},
        {"ClosedByTheRelease",
         true,
         0,
         true,
         0,
         {"press 13", "press 13", "press 13", "repeat 13", "repeat 13", "release 13"}},
        {"OpenedByThePagesPress", false, 0, false, 1, {"press 40", "release 40"}},
    };
    for (const Case& c : cases) {
        RecordingCanvas alert;
        int presses = 0;
        auto count = [&presses](int code) { return code == kKeyEnter ? ++presses : -1; };
        alert.onPress = [&](int code) {
            if (count(code) == c.closeOnPress) display_.setCurrent(&canvas_, false);
        };
        alert.onRelease = [&](int code) {
            if (code == kKeyEnter && c.closeOnRelease) display_.setCurrent(&canvas_, false);
        };
        canvas_.onPress = [&](int code) {
            if (count(code) == c.openOnPress) display_.setCurrent(&alert, false);
        };
        display_.setCurrent(c.startOnAlert ? static_cast<Displayable*>(&alert) : &canvas_, false);
        const Calls page = feed({KeyDown{13, 1}, KeyDown{13, 2}, KeyDown{13, 3}, KeyDown{13, 4},
                                 KeyDown{13, 5}, KeyUp{13}, KeyDown{40, 1}, KeyUp{40}});
        EXPECT_EQ(alert.calls, c.alert) << c.name;
        EXPECT_EQ(page, c.startOnAlert ? (Calls{"press 40", "release 40"}) : Calls{"press 13"})
            << c.name;
        canvas_.onPress = nullptr;
        display_.setCurrent(&canvas_, false);
    }
}

// Regression: a held phone digit in a new field typed itself three times,
// once for each press the frame makes of a held key.
TEST_F(MainFrameTest, AHeldDigitInANewFieldIsOneDigit) {
    struct Case {
        const char* name;
        int mode;
        uint32_t constraints;
        const char* script;
        const char16_t* text;
    };
    const Case cases[] = {
        {"Held", kModeNone, 0, "key 53 x5\n", u"5"},
        {"HeldBriefly", kModeNone, 0, "key 53 x2\n", u"5"},
        {"HeldLong", kModeNone, 0, "key 53 x40\n", u"5"},
        {"HeldTwice", kModeNone, 0, "key 53 x3\nkey 53 x3\n", u"55"},
        {"Tapped", kModeNone, 0, "key 53\nkey 53\nkey 50\n", u"552"},
        {"HeldAfterTaps", kModeNone, 0, "key 49\nkey 50 x4\nkey 51\n", u"123"},
        // A chosen "123" repeats a held digit.
        {"ChosenDigits", kModeDigits, 0, "key 53 x5\n", u"55555"},
        // A numbers-only field's "123" is imposed, not chosen.
        {"NumbersOnly", kModeNone, kConstraintNumeric, "key 53 x5\n", u"5"},
        {"NumbersOnlyHeldLong", kModeNone, kConstraintNumeric, "key 53 x40\n", u"5"},
        {"NumbersOnlyTapped", kModeNone, kConstraintNumeric, "key 53\nkey 53\n", u"55"},
    };
    Screen::initMetrics({240, 320});
    for (const Case& c : cases) {
        Form form(u"page");
        auto owned = std::make_unique<TextField>(CString(), CString(), 60, c.constraints, nullptr);
        TextField* field = owned.get();
        form.append(std::move(owned));
        if (c.mode != kModeNone) field->setInputMode(c.mode);
        display_.setCurrent(&form, true);
        form.keyPressed(kKeyDown);
        form.keyReleased(kKeyDown);
        ASSERT_TRUE(field->isFocused()) << c.name;
        EXPECT_EQ(harness_.run(c.script, frame_), 0);
        EXPECT_EQ(field->getText(), CString(c.text)) << c.name;
        display_.setCurrent(&canvas_, false);
    }
}

// A digit pressed before the last one was let go (keys rolled over while
// typing) and then held: the earlier key's release comes mid-hold, and the
// held digit is still one digit.
TEST_F(MainFrameTest, AHeldDigitAfterRolledKeysIsOneDigit) {
    struct Case {
        const char* name;
        std::vector<InputEvent> events;
        const char16_t* text;
    };
    const Case cases[] = {
        {"ReleasedBeforeTheRepeats",
         {KeyDown{49, 1}, KeyDown{53, 1}, KeyUp{49}, KeyDown{53, 2}, KeyDown{53, 3}, KeyDown{53, 4},
          KeyDown{53, 5}, KeyUp{53}},
         u"15"},
        {"ReleasedAmidTheRepeats",
         {KeyDown{49, 1}, KeyDown{53, 1}, KeyDown{53, 2}, KeyUp{49}, KeyDown{53, 3}, KeyDown{53, 4},
          KeyDown{53, 5}, KeyUp{53}},
         u"15"},
    };
    Screen::initMetrics({240, 320});
    for (const Case& c : cases) {
        Form form(u"page");
        auto owned = std::make_unique<TextField>(CString(), CString(), 60, 0, nullptr);
        TextField* field = owned.get();
        form.append(std::move(owned));
        display_.setCurrent(&form, true);
        form.keyPressed(kKeyDown);
        form.keyReleased(kKeyDown);
        ASSERT_TRUE(field->isFocused()) << c.name;
        for (const InputEvent& event : c.events) frame_.onInput(event);
        EXPECT_EQ(field->getText(), CString(c.text)) << c.name;
        display_.setCurrent(&canvas_, false);
    }
}

// Regression: every pen position went on two pixels lower, so a tap on a
// control's last rows acted on the one below it.
TEST_F(MainFrameTest, PenPositionsArriveWherePointed) {
    EXPECT_EQ(feed({PointerDown{10, 20}, PointerMove{11, 25}, PointerUp{12, 30}}),
              (Calls{"pen-down 10 20", "pen-move 11 25", "pen-up 12 30"}));
}

// A page that reloads itself between a key's press and its release.
class MainFrameReloadTest : public test::ControllerFixture<> {
protected:
    MainFrameReloadTest() {
        useServer(false);
        server_.writePage("detail.zqml", "<zqml><body><text>detail</text></body></zqml>");
    }
    // Two fields, then `controls`.
    void write(const std::string& controls) {
        writeFileAtomic(scratch_.path() / "p.zqml",
                        "<zqml><body><edit id=\"memo\" name=\"memo\"/>"
                        "<edit id=\"qty\" name=\"qty\"/>" +
                            controls + "</body></zqml>");
    }
    static std::string button(const char* id) {
        return std::string("<button id=\"") + id +
               "\" caption=\"Go\" onclick=\"fw(file://done.zqml)\"/>";
    }
    // The page shown, its focused item and, for a field, its input mode.
    std::string state() const {
        std::string out = shownUrl();
        const std::string server = server_.urlFor("/");
        if (out.starts_with(server)) out.replace(0, server.size(), "server/");
        Screen* screen = controller_->currentScreen();
        Item* leaf = screen ? screen->getFocusedItem() : nullptr;
        while (auto* list = dynamic_cast<ChildList*>(leaf)) {
            if (!list->getFocusedItem()) break;
            leaf = list->getFocusedItem();
        }
        if (leaf) out.append(" ").append(leaf->getId().toUtf8());
        if (auto* table = dynamic_cast<FixTableItem*>(leaf); table && table->tableFocused()) {
            out.append(" row ").append(std::to_string(table->focusedRow()));
        }
        if (auto* field = dynamic_cast<TextField*>(leaf)) {
            out.append(" mode ").append(std::to_string(field->getInputMode()));
        }
        if (screen && !screen->isFocusDrawn()) out.append(" off view");
        return out;
    }
    // A point of the screen where the focused item (row) is drawn.
    Point focusDrawnAt() const {
        Screen* screen = controller_->currentScreen();
        Item* focused = focusedLeaf(*screen);
        for (int y = 0; y < 320; y += 2) {
            for (int x = 0; x < 240; x += 4) {
                int itemX = 0, itemY = 0;
                Item* at = screen->itemDrawnAt(x, y, itemX, itemY);
                auto* table = dynamic_cast<FixTableItem*>(at);
                if (at != focused || (table && table->rowAt(itemY) != table->focusedRow())) {
                    continue;
                }
                return {x, y};
            }
        }
        return {-1, -1};
    }
    MainFrame frame_{*display_};
};

// Regression: a key or the pen held while a reload replaced the page went on
// to whatever the reload put in the place of its item (another order, the
// stock now at that rank), or was lost. A reply that arrives while a key or
// the pen is down waits until they are let go: the press acts on the page it
// began on. A window that lost the focus sends no release and fires nothing.
TEST_F(MainFrameReloadTest, APressHeldOverAReloadActsOnThePageItBeganOn) {
    struct Case {
        const char* name;
        int downs;  // to the focused item
        std::vector<InputEvent> before, after;
        std::string controlsThen;  // on the reloaded page
        std::string state;
        std::string controls = button("go");
    };
    auto buttons = [](const char* first, const char* second) {
        auto one = [](const char* side) {
            return std::string("<button caption=\"") + (side[0] == 'b' ? "买入" : "卖出") +
                   " 100\" onclick=\"fw(file://" + side + ".zqml)\"/>";
        };
        return one(first) + one(second);
    };
    auto orders = [](std::vector<int> numbers) {
        std::string table = "<table><th><td>委托</td></th>";
        for (int n : numbers) {
            const std::string order = std::to_string(n);
            table += "<tr onclick=\"fw(file://order" + order + ".zqml)\"><td>ORD " + order +
                     "</td></tr>";
        }
        return table + "</table>";
    };
    // Quotes without row actions, known by their codes.
    auto quotes = [](std::vector<std::pair<int, const char*>> rows) {
        std::string table = "<table><th><td>代码</td><td>现价</td></th>";
        for (const auto& [code, price] : rows) {
            table += "<tr><td>60000" + std::to_string(code) + "</td><td>" + price + "</td></tr>";
        }
        return table + "</table>";
    };
    // Rank first, the code keyed zqdm, one action for every row.
    const std::string detail = server_.urlFor("/detail.zqml");
    auto ranking = [&detail](std::vector<const char*> codes) {
        std::string table = "<table><th><td>排名</td><td name=\"zqdm\">代码</td></th>";
        for (size_t i = 0; i < codes.size(); ++i) {
            table += "<tr onclick=\"gw(" + detail + ")\"><td>" + std::to_string(i + 1) +
                     "</td><td>" + codes[i] + "</td></tr>";
        }
        return table + "</table>";
    };
    std::vector<int> forty;
    for (int n = 1; n <= 40; ++n) forty.push_back(n);
    const std::vector<InputEvent> heldReturn{KeyDown{13, 1}, KeyDown{13, 2}, KeyDown{13, 3},
                                             KeyDown{13, 4}, KeyDown{13, 5}, KeyUp{13}};
    const Case cases[] = {
        {"HashTap",
         1,
         {KeyDown{kKeyHash, 1}},
         {KeyUp{kKeyHash}},
         button("go"),
         "file://p.zqml memo mode 0"},
        {"ReturnOnAButton", 3, {KeyDown{13, 1}}, {KeyUp{13}}, button("go"), "file://done.zqml"},
        {"HeldDown",
         1,
         {KeyDown{40, 1}},
         {KeyDown{40, 2}, KeyUp{40}},
         button("go"),
         "file://p.zqml go"},
        {"AnotherButton", 3, {KeyDown{13, 1}}, {KeyUp{13}}, button("stop"), "file://done.zqml"},
        {"ReturnOnAButtonTheReloadMoved",
         3,
         {KeyDown{13, 1}},
         {KeyUp{13}},
         buttons("sell", "buy"),
         "file://buy.zqml",
         buttons("buy", "sell")},
        {"ReturnOnAButtonTheReloadTookAway",
         3,
         {KeyDown{13, 1}},
         {KeyUp{13}},
         buttons("sell", "sell"),
         "file://buy.zqml",
         buttons("buy", "sell")},
        {"ReturnOnARowMovedDown",
         3,
         {KeyDown{13, 1}},
         {KeyUp{13}},
         orders({14, 12, 11}),
         "file://order12.zqml",
         orders({12, 11})},
        {"ReturnOnARowTheReloadTookAway",
         3,
         {KeyDown{13, 1}},
         {KeyUp{13}},
         orders({14, 11}),
         "file://order12.zqml",
         orders({12, 11})},
        // Held on 600007, re-sorted so that 600042 has its rank.
        {"ReturnHeldOnARankingRowTheReloadResorted",
         4,
         {KeyDown{13, 1}, KeyDown{13, 2}},
         {KeyDown{13, 3}, KeyDown{13, 4}, KeyUp{13}},
         ranking({"600001", "600042", "600007"}),
         "server/detail.zqml?row=zqdm%3A600007%3Bnum%3A1%3Bzqdm=600007&num=1&$",
         ranking({"600001", "600007", "600042"})},
        // The pen held on the focused item (-1: where it is drawn).
        {"PenHeldOnAButton",
         3,
         {PointerDown{-1, -1}},
         {PointerUp{-1, -1}},
         button("go"),
         "file://done.zqml"},
        {"PenHeldOnAButtonTheReloadMoved",
         3,
         {PointerDown{-1, -1}},
         {PointerUp{-1, -1}},
         buttons("sell", "buy"),
         "file://buy.zqml",
         buttons("buy", "sell")},
        {"PenHeldOnARowMovedDown",
         3,
         {PointerDown{-1, -1}},
         {PointerUp{-1, -1}},
         orders({14, 12, 11}),
         "file://order12.zqml",
         orders({12, 11})},
        // No release comes: the reply is shown, nothing fires.
        {"ReturnHeldWhenTheWindowLostTheFocus",
         3,
         {KeyDown{13, 1}, KeyDown{13, 2}},
         {FocusLost{}},
         button("go"),
         "file://p.zqml go"},
        {"PenHeldWhenTheWindowLostTheFocus",
         3,
         {PointerDown{-1, -1}},
         {FocusLost{}},
         button("go"),
         "file://p.zqml go"},
        // No key down: the focus stays with the record whose prices moved.
        {"AQuoteRowWhosePricesMoved",
         4,
         {},
         {},
         quotes({{0, "9.00"}, {1, "10.12"}, {2, "8.90"}}),
         "file://p.zqml  row 2",
         quotes({{1, "10.11"}, {2, "8.91"}})},
        // Every key after the reload acts from the row it restored, on a
        // list taller than the screen.
        {"ReturnHeldAfterAReloadOfALongList",
         27,
         {},
         heldReturn,
         orders(forty),
         "file://order25.zqml",
         orders(forty)},
        {"DownAfterAReloadOfALongList",
         27,
         {},
         {KeyDown{40, 1}, KeyUp{40}},
         orders(forty),
         "file://p.zqml  row 25",
         orders(forty)},
        {"UpAfterAReloadOfALongList",
         27,
         {},
         {KeyDown{38, 1}, KeyUp{38}},
         orders(forty),
         "file://p.zqml  row 23",
         orders(forty)},
    };
    for (const char* name : {"done", "buy", "sell", "order11", "order12", "order14", "order25"}) {
        writeFileAtomic(scratch_.path() / (std::string(name) + ".zqml"),
                        "<zqml><body><text>done</text></body></zqml>");
    }
    for (const Case& c : cases) {
        write(c.controls);
        controller_->openUrl({.url = CString(u"file://p.zqml"), .showLoading = false});
        for (int i = 0; i < c.downs; ++i) {
            frame_.onInput(KeyDown{40, 1});
            frame_.onInput(KeyUp{40});
        }
        const Point spot = focusDrawnAt();
        auto send = [&](InputEvent event) {
            if (auto* down = std::get_if<PointerDown>(&event); down && down->x < 0) {
                event = PointerDown{spot.x, spot.y};
            } else if (auto* up = std::get_if<PointerUp>(&event); up && up->x < 0) {
                event = PointerUp{spot.x, spot.y};
            }
            frame_.onInput(event);
        };
        for (const InputEvent& event : c.before) send(event);
        write(c.controlsThen);
        const int shown = controller_->currentScreenId();
        auto replaced = [&] { return controller_->currentScreenId() != shown; };
        // A reload also waits for a pause after a key in a field.
        controller_->onAction(CString(u"refresh()"));
        const bool held = !c.before.empty();
        EXPECT_EQ(pumpUntil(replaced, held ? 300 : 10000), !held) << c.name;
        for (const InputEvent& event : c.after) send(event);
        ASSERT_TRUE(pumpUntil(replaced)) << c.name;
        EXPECT_EQ(state(), c.state) << c.name;
    }
}

// Regression: a drag of the scroll bar's thumb stopped at a reload once the
// pen had slid off the thumb, which follows the pen more slowly. The reply
// waits for the pen, and keeps where it left the view.
TEST_F(MainFrameReloadTest, AThumbDragGoesOnOverAReload) {
    std::string lines;
    for (int i = 0; i < 60; ++i) lines += "<text>line " + std::to_string(i) + "</text>";
    write(lines);
    controller_->openUrl({.url = CString(u"file://p.zqml"), .showLoading = false});
    Screen* screen = controller_->currentScreen();
    ASSERT_NE(screen, nullptr);
    // The thumb's lowest row.
    int x = -1, y = -1;
    for (int px = 200; px < 240; ++px) {
        for (int py = 0; py < 320; ++py) {
            if (screen->thumbAt(px, py)) x = px, y = py;
        }
    }
    ASSERT_GE(y, 0);
    frame_.onInput(PointerDown{x, y});
    frame_.onInput(PointerMove{x, y + 30});
    const int dragged = screen->getScrollOffset();
    EXPECT_LT(dragged, 0);
    const int shown = controller_->currentScreenId();
    auto replaced = [&] { return controller_->currentScreenId() != shown; };
    controller_->onAction(CString(u"refresh()"));
    EXPECT_FALSE(pumpUntil(replaced, 300));
    frame_.onInput(PointerMove{x, y + 60});
    const int further = screen->getScrollOffset();
    EXPECT_LT(further, dragged);
    frame_.onInput(PointerUp{x, y + 60});
    ASSERT_TRUE(pumpUntil(replaced));
    EXPECT_EQ(controller_->currentScreen()->getScrollOffset(), further);
}

TEST_F(MainFrameTest, ExitCommandAsksOnceUntilAnotherCommand) {
    // Soft 2 sends the exit command, soft 1 another one.
    canvas_.onPress = [this](int code) {
        if (code == kKeySoftRight) frame_.onCommand(MainFrame::kExitCommand);
        if (code == kKeySoftLeft) frame_.onCommand(2);
    };
    EXPECT_EQ(harness_.run("answer no\nkey soft2\n"
                           "key soft2\n"  // not armed: no question
                           "key soft1\n"
                           "answer yes\nkey soft2\n"
                           "key up\n",
                           frame_),
              0);
    std::vector<MessageBoxRecord> boxes = messageBoxLog();
    ASSERT_EQ(boxes.size(), 2u);
    for (const MessageBoxRecord& box : boxes) {
        EXPECT_EQ(box.text.toUtf8(), "确认退出");
        EXPECT_TRUE(box.caption.isEmpty());
        EXPECT_EQ(box.type, MessageBoxType::YesNo);
    }
    EXPECT_EQ(boxes[0].answer, kIdNo);
    EXPECT_EQ(boxes[1].answer, kIdYes);
    EXPECT_TRUE(frame_.shutdownRequested());
    // The loop ended at the yes: neither its release nor the last key arrived.
    EXPECT_EQ(canvas_.calls, (Calls{"press 113", "release 113", "press 113", "release 113",
                                    "press 112", "release 112", "press 113"}));
}

TEST_F(MainFrameTest, ExitThroughControllerSavesSettingsThenEndsLoop) {
    test::TempDir dir;
    std::ofstream(dir.path() / SettingsStore::kDefaultsFile) << "[info-system]\nsys-x = 1\n";
    PageController controller(ControllerFolders{dir.path(), dir.path()});
    frame_.setController(&controller);
    canvas_.onPress = [this](int) { frame_.onCommand(MainFrame::kExitCommand); };
    EXPECT_EQ(harness_.run("answer yes\nkey fire\nkey up\n", frame_), 0);
    EXPECT_TRUE(frame_.shutdownRequested());
    EXPECT_TRUE(std::filesystem::exists(dir.path() / SettingsStore::kUserFile));
    EXPECT_EQ(canvas_.calls, Calls{"press 13"});
    frame_.setController(nullptr);
}

TEST_F(MainFrameTest, RotationResizesTheCurrentScreen) {
    Screen screen(CString(u"rotate"), true);
    screen.setSize(240, 320);
    display_.setCurrent(&screen, false);
    Screen::initMetrics({240, 320});

    frame_.onInput(Resize{320, 240});
    EXPECT_EQ(screen.getBounds(), Rect::fromSize(0, 0, 320, 240));
    EXPECT_EQ(screen.screenWidth(), 320);
    EXPECT_TRUE(screenMetrics().landscape);
    EXPECT_EQ(displayArea(), Rect::fromSize(0, 0, 320, 240));
    EXPECT_EQ(display_.getClientSize(), (Size{320, 240}));
    Surface window(320, 240);
    frame_.paint(window);  // the back buffer is rebuilt at the new size

    frame_.onInput(Resize{240, 320});
    EXPECT_EQ(screen.getBounds(), Rect::fromSize(0, 0, 240, 320));
    EXPECT_FALSE(screenMetrics().landscape);
    EXPECT_EQ(displayArea(), Rect::fromSize(0, 0, 240, 320));

    frame_.onInput(Resize{0, 240});  // a minimised window changes nothing
    EXPECT_EQ(screen.getBounds(), Rect::fromSize(0, 0, 240, 320));
    display_.setCurrent(&canvas_, false);
}

}  // namespace
}  // namespace zq
