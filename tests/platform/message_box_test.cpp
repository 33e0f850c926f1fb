#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "platform/font.h"
#include "platform/image.h"
#include "platform/ui_executor.h"
#include "tests/support/headless_harness.h"
#include "tests/support/test_env.h"

namespace zq {
namespace {

using test::HeadlessHarness;
using test::RecordingHandler;

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        setFontSource(std::make_shared<FixedFontSource>());
        clearMessageBoxLog();
    }
    void TearDown() override {
        setFontSource(nullptr);
        setMessageBoxEcho(nullptr);
    }

    // Replays `script`; every Enter key-down that reaches the handler (not the
    // box) opens a box of `type`. Returns the answers, in order.
    std::vector<int> replay(MessageBoxType type, const std::string& script) {
        HeadlessHarness harness;
        RecordingHandler handler;
        std::vector<int> answers;
        handler.onEvent = [&](const InputEvent& e) {
            const auto* key = std::get_if<KeyDown>(&e);
            if (key && key->code == kKeyEnter) {
                answers.push_back(messageBox(u"Really?", u"Question", type));
            }
        };
        harness.run(script, handler);
        return answers;
    }
};

TEST_F(MessageBoxTest, ScriptedAnswersAndKeysCloseTheOpenBox) {
    struct Case {
        MessageBoxType type;
        const char* script;
        int answer;
    };
    const Case cases[] = {
        {MessageBoxType::Ok, "key enter\nanswer ok", kIdOk},
        {MessageBoxType::OkCancel, "key enter\nanswer cancel", kIdCancel},
        {MessageBoxType::YesNo, "key enter\nanswer no", kIdNo},
        {MessageBoxType::YesNoCancel, "key enter\nanswer cancel", kIdCancel},
        // An answer given before the box opens waits for it.
        {MessageBoxType::YesNo, "answer no\nkey enter", kIdNo},
        // The script ends with the box open: the answer that does nothing.
        {MessageBoxType::OkCancel, "key enter", kIdCancel},
        {MessageBoxType::YesNoCancel, "key enter", kIdCancel},
        {MessageBoxType::YesNo, "key enter", kIdNo},
        // An answer the box has no button for gives the first button.
        {MessageBoxType::YesNo, "key enter\nanswer cancel", kIdYes},
        // Keys move the focus and pick; Clear takes the last button.
        {MessageBoxType::YesNoCancel, "key enter\nkey right\nkey enter", kIdNo},
        {MessageBoxType::YesNoCancel, "key enter\nkey left\nkey enter", kIdCancel},
        {MessageBoxType::YesNo, "key enter\nkey right\nkey right\nkey enter", kIdYes},
        {MessageBoxType::YesNo, "key enter\nkey clear", kIdNo},
        {MessageBoxType::OkCancel, "key enter\nkey clear", kIdCancel},
        {MessageBoxType::Ok, "key enter\nkey clear", kIdOk},
        // The held Enter that opened the box does not answer it.
        {MessageBoxType::YesNo, "key enter x3\nanswer no", kIdNo},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(replay(c.type, c.script), std::vector<int>{c.answer}) << c.script;
    }
}

// Regression: a box answered on a key's press let the release through to the
// page below, whose focused link fires on release and opened the boxes again.
TEST_F(MessageBoxTest, TheKeyThatAnswersABoxIsTheBoxsPressAndRelease) {
    for (const char* answerKey : {"enter", "clear"}) {
        HeadlessHarness harness;
        RecordingHandler handler;
        int releases = 0;
        // A link: its release opens two boxes in a row, as an SMS link does.
        handler.onEvent = [&](const InputEvent& e) {
            const auto* key = std::get_if<KeyUp>(&e);
            if (!key || key->code != kKeyEnter) return;
            ++releases;
            messageBox(u"Sending", u"Info", MessageBoxType::Ok);
            messageBox(u"Sent", u"Info", MessageBoxType::Ok);
        };
        const std::string answer = std::string("key ") + answerKey + "\n";
        harness.run("key enter\n" + answer + answer, handler);
        EXPECT_EQ(releases, 1) << answerKey;
        EXPECT_EQ(messageBoxLog().size(), 2u) << answerKey;
        // The boxes had the keys: the page saw one press and one release.
        std::vector<std::string> pageKeys;
        for (const std::string& event : handler.events) {
            if (event.starts_with("key")) pageKeys.push_back(event);
        }
        EXPECT_EQ(pageKeys, (std::vector<std::string>{"key-down 13 r1", "key-up 13"})) << answerKey;
        clearMessageBoxLog();
    }
}

// Regression: the repeats of a held key that answered a box, and its
// release, went to the page beneath, whose focused button fired and asked
// again (a refused order placed by the next key). The page here opens a box
// on every Enter it gets, pressed or repeated.
TEST_F(MessageBoxTest, AHeldKeyThatAnswersABoxNeverReachesThePage) {
    struct Case {
        MessageBoxType type;
        const char* keys;  // after the Enter that opens the box
        int answer;
    };
    const Case cases[] = {
        {MessageBoxType::YesNo, "key right\nkey enter x2", kIdNo},
        {MessageBoxType::YesNo, "key right\nkey enter x3", kIdNo},
        {MessageBoxType::YesNo, "key right\nkey enter x30", kIdNo},
        {MessageBoxType::YesNo, "key clear x5", kIdNo},
        {MessageBoxType::Ok, "key enter x5", kIdOk},
        {MessageBoxType::Ok, "key clear x5", kIdOk},
        {MessageBoxType::OkCancel, "key clear x5", kIdCancel},
        {MessageBoxType::YesNoCancel, "key left\nkey enter x5", kIdCancel},
    };
    for (const Case& c : cases) {
        HeadlessHarness harness;
        RecordingHandler handler;
        std::vector<int> answers;
        handler.onEvent = [&](const InputEvent& e) {
            const auto* key = std::get_if<KeyDown>(&e);
            if (key && key->code == kKeyEnter) answers.push_back(messageBox(u"Buy?", u"", c.type));
        };
        harness.run(std::string("key enter\n") + c.keys + "\nkey down x3\n", handler);
        EXPECT_EQ(answers, std::vector<int>{c.answer}) << c.keys;
        // The page saw the press that opened the box, the end of its hold
        // (its release goes to the box), then only the key pressed after
        // the box had closed.
        std::vector<std::string> pageKeys;
        for (const std::string& event : handler.events) {
            if (event.starts_with("key") || event == "focus-lost") pageKeys.push_back(event);
        }
        EXPECT_EQ(pageKeys,
                  (std::vector<std::string>{"key-down 13 r1", "focus-lost", "key-down 40 r1",
                                            "key-down 40 r2", "key-down 40 r3", "key-up 40"}))
            << c.keys;
    }
}

TEST_F(MessageBoxTest, ATapOnAButtonPicksIt) {
    MessageBoxLayout layout = layoutMessageBox({240, 320}, u"Really?", MessageBoxType::YesNo);
    ASSERT_EQ(layout.buttons.size(), 2u);
    const Rect& no = layout.buttons[1];
    const int x = (no.left + no.right) / 2;
    const int y = (no.top + no.bottom) / 2;
    const std::string tap = "tap " + std::to_string(x) + " " + std::to_string(y);
    EXPECT_EQ(replay(MessageBoxType::YesNo, "key enter\n" + tap), std::vector<int>{kIdNo});
    // Pressed on one button and released on the other picks neither.
    const Rect& yes = layout.buttons[0];
    const std::string drag = "down " + std::to_string(x) + " " + std::to_string(y) + "\nup " +
                             std::to_string(yes.left + 2) + " " + std::to_string(y);
    EXPECT_EQ(replay(MessageBoxType::YesNo, "key enter\n" + drag + "\nanswer no"),
              std::vector<int>{kIdNo});
}

TEST_F(MessageBoxTest, TheBoxIsDrawnOverTheScreenAndGoneAfterwards) {
    test::TempDir dir;
    const std::string shot = (dir.path() / "box.png").string();
    HeadlessHarness harness;
    RecordingHandler handler;
    handler.onEvent = [&](const InputEvent& e) {
        if (std::holds_alternative<KeyDown>(e)) messageBox(u"Text", u"Caption", MessageBoxType::Ok);
    };
    harness.run("key 13\nscreenshot " + shot + "\nanswer ok\n", handler);
    ImageRef image = loadImageFile(shot);
    ASSERT_TRUE(image);
    MessageBoxLayout layout = layoutMessageBox({240, 320}, u"Text", MessageBoxType::Ok);
    auto colorAt = [&](int x, int y) {
        uint32_t p = image->pixel(x, y);
        return rgb((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    };
    EXPECT_EQ(colorAt(1, 1), handler.background);
    // The caption bar, right of its text.
    EXPECT_EQ(colorAt(layout.caption.right - 2, layout.caption.top + 1), rgb(0x1E, 0x5A, 0xA8));
    // The panel's outline.
    EXPECT_EQ(colorAt(layout.panel.left, (layout.panel.top + layout.panel.bottom) / 2),
              rgb(0x40, 0x40, 0x40));
    // After the answer the client's picture is shown again.
    EXPECT_EQ(harness.screen().getPixel(layout.caption.right - 2, layout.caption.top + 1),
              handler.background);
}

TEST_F(MessageBoxTest, ABoxFromAWorkerIsShownOnTheUiThreadAndAnswered) {
    HeadlessHarness harness;
    RecordingHandler handler;
    std::thread worker;
    int answer = 0;
    handler.onEvent = [&](const InputEvent& e) {
        const auto* key = std::get_if<KeyDown>(&e);
        if (!key || key->code != kKeyEnter) return;
        worker =
            std::thread([&] { answer = messageBox(u"From worker", u"W", MessageBoxType::YesNo); });
    };
    // Whether the worker's box opens before or after the answer step, the
    // answer is the scripted one.
    harness.run("key enter\nwait 50\nanswer no\nwait 50\n", handler);
    harness.executor().shutdown();  // a late worker gets the default, never hangs
    ASSERT_TRUE(worker.joinable());
    worker.join();
    EXPECT_EQ(answer, kIdNo);
    std::vector<MessageBoxRecord> log = messageBoxLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].caption, CString(u"W"));
    EXPECT_EQ(log[0].text, CString(u"From worker"));
    EXPECT_EQ(log[0].answer, kIdNo);
}

TEST_F(MessageBoxTest, WithoutAUiLoopTheDefaultIsTakenAndLogged) {
    test::TempDir dir;
    const std::string echoPath = (dir.path() / "echo.txt").string();
    std::FILE* echo = std::fopen(echoPath.c_str(), "w");
    ASSERT_TRUE(echo);
    setMessageBoxEcho(echo);
    // No executor at all (a worker's view), then an executor with no loop.
    EXPECT_EQ(messageBox(u"line1\nline2", u"First", MessageBoxType::YesNoCancel), kIdYes);
    {
        UiExecutor ui;
        EXPECT_EQ(messageBox(u"x", u"Second", MessageBoxType::OkCancel), kIdOk);
    }
    setMessageBoxEcho(nullptr);
    std::fclose(echo);

    std::vector<MessageBoxRecord> log = messageBoxLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].caption, CString(u"First"));
    EXPECT_EQ(log[0].type, MessageBoxType::YesNoCancel);
    EXPECT_EQ(log[1].answer, kIdOk);
    std::ifstream in(echoPath);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "message box [First] line1 line2 -> yes\nmessage box [Second] x -> ok\n");
}

TEST_F(MessageBoxTest, TheLogKeepsOnlyTheNewestBoxes) {
    for (size_t i = 0; i < kMaxMessageBoxLog + 5; ++i) {
        messageBox(CString::format(u"%d", static_cast<int>(i)), u"c", MessageBoxType::Ok);
    }
    std::vector<MessageBoxRecord> log = messageBoxLog();
    ASSERT_EQ(log.size(), kMaxMessageBoxLog);
    EXPECT_EQ(log.front().text, CString(u"5"));
}

TEST_F(MessageBoxTest, TheLayoutStaysOnTheScreen) {
    const Size screens[] = {{240, 320}, {320, 240}, {176, 208}};
    const CString texts[] = {CString(u""), CString(u"Short"), CString(u'x', 4000)};
    for (Size screen : screens) {
        for (const CString& text : texts) {
            MessageBoxLayout layout = layoutMessageBox(screen, text, MessageBoxType::YesNoCancel);
            Rect all{0, 0, screen.width, screen.height};
            EXPECT_EQ(layout.panel.intersected(all), layout.panel);
            ASSERT_EQ(layout.buttons.size(), 3u);
            for (const Rect& b : layout.buttons) {
                EXPECT_EQ(b.intersected(layout.panel), b);
                EXPECT_GE(b.top, layout.text.bottom);
            }
            EXPECT_LT(layout.buttons[0].right, layout.buttons[1].left);
            EXPECT_GE(layout.text.top, layout.caption.bottom);
        }
    }
}

}  // namespace
}  // namespace zq
