#include "platform/window.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/image.h"
#include "platform/key_script.h"
#include "platform/ui_executor.h"
#include "platform/ui_loop.h"
#include "tests/support/headless_harness.h"
#include "tests/support/test_env.h"

namespace zq {
namespace {

using test::describeEvent;
using test::HeadlessHarness;
using test::RecordingHandler;

std::vector<std::string> describeSteps(const KeyScript& script) {
    std::vector<std::string> out;
    for (const ScriptStep& step : script.steps) {
        switch (step.kind) {
            case ScriptStep::Kind::Input:
                out.push_back(describeEvent(step.event));
                break;
            case ScriptStep::Kind::Wait:
                out.push_back("wait " + std::to_string(step.waitMs));
                break;
            case ScriptStep::Kind::WaitIdle:
                out.push_back("idle " + std::to_string(step.waitMs));
                break;
            case ScriptStep::Kind::Until:
                out.push_back("until " + std::to_string(step.waitMs) + " " + step.path);
                break;
            case ScriptStep::Kind::Screenshot:
                out.push_back("screenshot " + step.path);
                break;
        }
    }
    return out;
}

TEST(KeyScript, CommandsBecomeSteps) {
    struct Case {
        const char* text;
        std::vector<std::string> steps;
    };
    const Case cases[] = {
        {"key 40", {"key-down 40 r1", "key-up 40"}},
        {"key down x3", {"key-down 40 r1", "key-down 40 r2", "key-down 40 r3", "key-up 40"}},
        {"key -8", {"key-down -8 r1", "key-up -8"}},
        {"key clear x3 40",
         {"key-down -8 r1", "wait 40", "key-down -8 r2", "wait 40", "key-down -8 r3", "key-up -8"}},
        {"key soft1\nkey f2\nkey fire\nkey star\nkey hash",
         {"key-down 112 r1", "key-up 112", "key-down 113 r1", "key-up 113", "key-down 13 r1",
          "key-up 13", "key-down 42 r1", "key-up 42", "key-down 35 r1", "key-up 35"}},
        {"char 你a", {"char 你", "char a"}},
        {"char a # b", {"char a", "char  ", "char #", "char  ", "char b"}},
        {"char 😀a", {"char 😀", "char a"}},
        {"tap 10 20", {"pointer-down 10 20", "pointer-up 10 20"}},
        {"down 1 2\nmove -3 4\nup 5 6",
         {"pointer-down 1 2", "pointer-move -3 4", "pointer-up 5 6"}},
        {"wait 200", {"wait 200"}},
        {"idle 5000 # for the reply", {"idle 5000"}},
        {"until 3000 /tmp/a b", {"until 3000 /tmp/a b"}},
        {"answer ok\nanswer cancel\nanswer yes\nanswer no",
         {"answer 1", "answer 2", "answer 6", "answer 7"}},
        {"screenshot out/a b.png  ", {"screenshot out/a b.png"}},
        {"# comment\n\n   key up   # trailing comment\r\n\tkey left\r\n",
         {"key-down 38 r1", "key-up 38", "key-down 37 r1", "key-up 37"}},
    };
    for (const Case& c : cases) {
        KeyScript script = parseKeyScript(c.text);
        EXPECT_TRUE(script.ok()) << c.text;
        EXPECT_EQ(describeSteps(script), c.steps) << c.text;
    }
}

TEST(KeyScript, BadLinesAreReportedWithTheirNumbersAndTheRestStillRuns) {
    KeyScript script = parseKeyScript(
        "key 40\n"
        "bogus 1\n"
        "key\n"
        "key 40 x0\n"
        "key 40 x1001\n"
        "key nope\n"
        "tap 1\n"
        "tap 1 y\n"
        "wait -5\n"
        "wait 600001\n"
        "answer maybe\n"
        "key 40 extra\n"
        "char\n"
        "char \xFF\xFE\n"
        "screenshot\n"
        "idle\n"
        "idle 600001\n"
        "idle 5 6\n"
        "key 40 x2 0\n"
        "until\n"
        "until 5\n"
        "key 13\n");
    std::vector<int> lines;
    for (const ScriptError& e : script.errors) lines.push_back(e.line);
    EXPECT_EQ(lines, (std::vector<int>{2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
                                       12, 13, 14, 15, 16, 17, 18, 19, 20, 21}));
    EXPECT_EQ(describeSteps(script), (std::vector<std::string>{"key-down 40 r1", "key-up 40",
                                                               "key-down 13 r1", "key-up 13"}));
    EXPECT_EQ(formatScriptError("s.keys", script.errors[0]), "s.keys:2: unknown command 'bogus'");
}

TEST(KeyScript, EveryPrefixOfAScriptParsesWithoutCrashing) {
    // Cutting a script anywhere (a truncated file) must give errors, not faults.
    const std::string text =
        "key down x3\nchar 你好\ntap 10 20\nwait 5\nanswer yes\nscreenshot a.png\n";
    for (size_t n = 0; n <= text.size(); ++n) parseKeyScript(std::string_view(text).substr(0, n));
}

TEST(KeyScript, AnUnreadableFileIsOneErrorAtLineZero) {
    test::TempDir dir;
    KeyScript script = loadKeyScript(dir.path() / "missing.keys");
    ASSERT_EQ(script.errors.size(), 1u);
    EXPECT_EQ(script.errors[0].line, 0);
    EXPECT_EQ(formatScriptError("m", script.errors[0]).rfind("m: ", 0), 0u);
}

TEST(HeadlessReplay, TheHandlerReceivesTheScriptedEventsInOrder) {
    HeadlessHarness harness;
    RecordingHandler handler;
    EXPECT_EQ(harness.run("key down x3\nchar 你\ntap 10 20\nkey clear\n", handler), 0);
    EXPECT_EQ(handler.events, (std::vector<std::string>{"key-down 40 r1", "key-down 40 r2",
                                                        "key-down 40 r3", "key-up 40", "char 你",
                                                        "pointer-down 10 20", "pointer-up 10 20",
                                                        "key-down -8 r1", "key-up -8", "quit"}));
    EXPECT_EQ(harness.screen().width(), 240);
    EXPECT_EQ(harness.screen().getPixel(5, 5), handler.background);
}

TEST(HeadlessReplay, WorkPostedByAStepRunsBeforeTheNextStep) {
    HeadlessHarness harness;
    RecordingHandler handler;
    handler.onEvent = [&](const InputEvent& e) {
        if (std::holds_alternative<KeyDown>(e)) {
            postToUi([&] { handler.events.push_back("task"); });
        }
    };
    harness.run("key 13\n", handler);
    EXPECT_EQ(handler.events,
              (std::vector<std::string>{"key-down 13 r1", "task", "key-up 13", "quit"}));
}

TEST(HeadlessReplay, AScreenshotShowsTheRepaintOfTheStepBefore) {
    test::TempDir dir;
    HeadlessHarness harness;
    RecordingHandler handler;
    handler.onEvent = [&](const InputEvent& e) {
        if (std::holds_alternative<KeyDown>(e)) {
            handler.background = rgb(0xFF, 0, 0);
            UiLoop::current()->invalidate();
        }
    };
    const std::string before = (dir.path() / "before.png").string();
    const std::string after = (dir.path() / "after.png").string();
    harness.run("screenshot " + before + "\nkey 40\nscreenshot " + after + "\n", handler);
    EXPECT_TRUE(harness.replayFailures().empty());
    ImageRef first = loadImageFile(before);
    ImageRef second = loadImageFile(after);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->width(), 240);
    EXPECT_EQ(first->height(), 320);
    EXPECT_EQ(first->pixel(10, 10) & 0xFFFFFF, 0x204060u);
    EXPECT_EQ(second->pixel(10, 10) & 0xFFFFFF, 0xFF0000u);
}

TEST(UiLoopStart, AFrameShownBeforeTheLoopRunsIsNotPaintedAgain) {
    UiExecutor executor;
    HeadlessWindow window({240, 320});
    ScriptedWindow replay(window, {}, ScriptEnd::Quit);
    RecordingHandler handler;
    UiLoop fresh(executor, replay, handler);
    fresh.run();
    EXPECT_EQ(handler.paints, 1);
    UiLoop shown(executor, replay, handler);
    shown.repaintNow();
    shown.run();
    EXPECT_EQ(handler.paints, 2);
}

TEST(HeadlessReplay, AFailedScreenshotIsReportedWithItsLine) {
    test::TempDir dir;
    HeadlessHarness harness;
    RecordingHandler handler;
    harness.run("key 1\nscreenshot " + (dir.path() / "no" / "such" / "x.png").string(), handler);
    ASSERT_EQ(harness.replayFailures().size(), 1u);
    EXPECT_EQ(harness.replayFailures()[0].rfind("line 2:", 0), 0u);
}

TEST(HeadlessReplay, TimersRunDuringAWait) {
    HeadlessHarness harness;
    RecordingHandler handler;
    int ticks = 0;
    UiTimerId id = startUiTimer(10, [&] { ++ticks; });
    auto start = std::chrono::steady_clock::now();
    harness.run("wait 120\n", handler);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(120));
    EXPECT_GE(ticks, 3);
    stopUiTimer(id);
}

// An until step ends once its file is there; missing at its bound is a
// failure, and the replay goes on.
TEST(HeadlessReplay, AnUntilStepWaitsForItsFile) {
    test::TempDir dir;
    const std::string signal = (dir.path() / "signal").string();
    HeadlessHarness harness;
    RecordingHandler handler;
    const UiTimerId made =
        startUiTimer(50, [&signal] { writeFileAtomic(std::filesystem::path(signal), "x"); });
    harness.run("until 5000 " + signal + "\nkey 1\n", handler);
    stopUiTimer(made);
    EXPECT_TRUE(harness.replayFailures().empty());
    EXPECT_EQ(handler.events, (std::vector<std::string>{"key-down 1 r1", "key-up 1", "quit"}));

    harness.run("until 30 " + signal + "-not\n", handler);
    ASSERT_EQ(harness.replayFailures().size(), 1u);
    EXPECT_EQ(harness.replayFailures()[0], "line 1: no " + signal + "-not after 30 ms");
}

// An idle step ends once the client has stayed idle a moment, not at its
// bound; still busy at the bound is a failure, and the replay goes on.
TEST(HeadlessReplay, AnIdleStepWaitsForTheClientAndFailsOnlyAtItsBound) {
    using std::chrono::milliseconds;
    HeadlessHarness harness;
    RecordingHandler handler;
    bool busy = true;
    harness.setBusyProbe([&busy] { return busy; });
    const UiTimerId idle = startUiTimer(100, [&busy] { busy = false; });
    auto start = std::chrono::steady_clock::now();
    harness.run("idle 5000\nkey 1\n", handler);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, milliseconds(140));
    EXPECT_LT(took, milliseconds(2000));
    EXPECT_TRUE(harness.replayFailures().empty());
    EXPECT_EQ(handler.events, (std::vector<std::string>{"key-down 1 r1", "key-up 1", "quit"}));
    stopUiTimer(idle);

    busy = true;
    handler.events.clear();
    harness.run("key 2\nidle 80\nkey 3\n", handler);
    ASSERT_EQ(harness.replayFailures().size(), 1u);
    EXPECT_EQ(harness.replayFailures()[0], "line 2: still busy after 80 ms");
    EXPECT_EQ(handler.events.size(), 5u);

    // Without a probe the client counts as idle.
    harness.setBusyProbe(nullptr);
    start = std::chrono::steady_clock::now();
    harness.run("idle 5000\n", handler);
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(2000));
    EXPECT_TRUE(harness.replayFailures().empty());
}

TEST(HeadlessReplay, AResizeGivesTheHandlerABufferOfTheNewSize) {
    HeadlessHarness harness;
    RecordingHandler handler;
    harness.window().pushEvent(Resize{320, 240});
    harness.run("", handler);
    EXPECT_EQ(handler.events.front(), "resize 320 240");
    EXPECT_EQ(harness.screen().width(), 320);
    EXPECT_EQ(harness.screen().height(), 240);
}

TEST(HeadlessWindow, WakeEndsAWaitFromAnotherThread) {
    HeadlessWindow window({10, 10});
    std::thread waker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        window.wake();
    });
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(window.waitEvent(-1).has_value());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    waker.join();
    // A wake that comes before the wait is not lost either.
    window.wake();
    EXPECT_FALSE(window.waitEvent(-1).has_value());
    EXPECT_FALSE(window.waitEvent(0).has_value());
}

// The SDL backend with a display-less driver; skipped where SDL cannot start.
class SdlWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        std::string error;
        window = createSdlWindow({240, 320}, "test", &error);
        if (!window) GTEST_SKIP() << "no SDL video: " << error;
    }

    static void pushKey(Uint32 type, SDL_Keycode key, bool repeat = false) {
        SDL_Event e{};
        e.type = type;
        e.key.keysym.sym = key;
        e.key.repeat = repeat ? 1 : 0;
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        SDL_PushEvent(&e);
    }

    // The next event the backend gives, skipping none.
    std::string next() {
        std::optional<InputEvent> e = window->waitEvent(200);
        return e ? describeEvent(*e) : "none";
    }

    std::unique_ptr<WindowBackend> window;
};

TEST_F(SdlWindowTest, KeysAreMappedToHandsetCodesWithRepeatCounts) {
    EXPECT_EQ(window->size(), (Size{240, 320}));
    Surface frame(240, 320);
    window->present(frame);
    while (window->waitEvent(0)) {
    }
    pushKey(SDL_KEYDOWN, SDLK_DOWN);
    pushKey(SDL_KEYDOWN, SDLK_DOWN, true);
    pushKey(SDL_KEYDOWN, SDLK_DOWN, true);
    pushKey(SDL_KEYUP, SDLK_DOWN);
    EXPECT_EQ(next(), "key-down 40 r1");
    EXPECT_EQ(next(), "key-down 40 r2");
    EXPECT_EQ(next(), "key-down 40 r3");
    EXPECT_EQ(next(), "key-up 40");

    const std::pair<SDL_Keycode, int> mapped[] = {
        {SDLK_LEFT, 37},         {SDLK_UP, 38},         {SDLK_RIGHT, 39}, {SDLK_RETURN, 13},
        {SDLK_KP_ENTER, 13},     {SDLK_F1, 112},        {SDLK_F2, 113},   {SDLK_BACKSPACE, 8},
        {SDLK_DELETE, -8},       {SDLK_ESCAPE, -8},     {SDLK_KP_0, '0'}, {SDLK_KP_7, '7'},
        {SDLK_KP_MULTIPLY, '*'}, {SDLK_KP_DIVIDE, '#'},
    };
    for (const auto& [key, code] : mapped) {
        pushKey(SDL_KEYDOWN, key);
        EXPECT_EQ(next(), "key-down " + std::to_string(code) + " r1") << SDL_GetKeyName(key);
    }
    // Keys that type are no handset keys: only their characters arrive.
    for (SDL_Keycode key : {SDLK_a, SDLK_7, SDLK_HASH, SDLK_ASTERISK}) {
        pushKey(SDL_KEYDOWN, key);
        EXPECT_EQ(next(), "none") << SDL_GetKeyName(key);
    }
}

// Regression: the main keyboard's digits were the phone's keys and typed
// letters by multi-tap, and an emoji came as two halves.
TEST_F(SdlWindowTest, TypedTextArrivesWholeAndTheKeypadOnlyAsKeys) {
    while (window->waitEvent(0)) {
    }
    auto pushText = [](const char* utf8) {
        SDL_Event text{};
        text.type = SDL_TEXTINPUT;
        SDL_strlcpy(text.text.text, utf8, sizeof(text.text.text));
        SDL_PushEvent(&text);
    };
    pushKey(SDL_KEYDOWN, SDLK_6);
    pushText("6");
    pushText("😀");
    pushText("中文");
    EXPECT_EQ(next(), "char 6");
    EXPECT_EQ(next(), "char 😀");
    EXPECT_EQ(next(), "char 中文");
    // The keypad's 5 with NumLock: the key, not its text; the next '5' typed
    // on the main keyboard is text again.
    pushKey(SDL_KEYDOWN, SDLK_KP_5);
    pushText("5");
    pushKey(SDL_KEYDOWN, SDLK_5);
    pushText("5");
    EXPECT_EQ(next(), "key-down 53 r1");
    EXPECT_EQ(next(), "char 5");
    EXPECT_EQ(next(), "none");
}

TEST_F(SdlWindowTest, TextPointerQuitAndWake) {
    while (window->waitEvent(0)) {
    }
    SDL_Event text{};
    text.type = SDL_TEXTINPUT;
    SDL_strlcpy(text.text.text, "你a", sizeof(text.text.text));
    SDL_PushEvent(&text);
    EXPECT_EQ(next(), "char 你a");

    SDL_Event button{};
    button.type = SDL_MOUSEMOTION;
    button.motion.x = 1;
    SDL_PushEvent(&button);  // a move with the button up is no drag
    button = {};
    button.type = SDL_MOUSEBUTTONDOWN;
    button.button.button = SDL_BUTTON_LEFT;
    button.button.x = 10;
    button.button.y = 20;
    SDL_PushEvent(&button);
    EXPECT_EQ(next(), "pointer-down 10 20");
    button.type = SDL_MOUSEBUTTONUP;
    SDL_PushEvent(&button);
    EXPECT_EQ(next(), "pointer-up 10 20");

    std::thread([&] { window->wake(); }).join();
    EXPECT_FALSE(window->waitEvent(-1).has_value());

    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    EXPECT_EQ(next(), "quit");
}

TEST_F(SdlWindowTest, AResizedWindowShowsWholePixelsAndMapsPointsBack) {
    SDL_Window* sdl = nullptr;  // the backend's only window
    for (Uint32 id = 1; id < 10000 && !sdl; ++id) sdl = SDL_GetWindowFromID(id);
    ASSERT_NE(sdl, nullptr);
    // Room for 2x with a 10-pixel margin on every side.
    SDL_SetWindowSize(sdl, 500, 660);
    while (window->waitEvent(0)) {
    }
    Surface frame(240, 320);
    for (int y = 0; y < 320; ++y)
        for (int x = 0; x < 240; ++x) frame.setPixel(x, y, rgb(0, 0, 0xC0));
    frame.setPixel(3, 4, rgb(0xFF, 0, 0));
    window->present(frame);

    SDL_Surface* shown = SDL_GetWindowSurface(sdl);
    ASSERT_TRUE(shown && shown->w == 500 && shown->h == 660);
    auto at = [shown](int x, int y) {
        Uint32 pixel = 0;
        std::memcpy(&pixel,
                    static_cast<const Uint8*>(shown->pixels) + y * shown->pitch +
                        x * shown->format->BytesPerPixel,
                    shown->format->BytesPerPixel);
        Uint8 r = 0, g = 0, b = 0;
        SDL_GetRGB(pixel, shown->format, &r, &g, &b);
        return rgb(r, g, b);
    };
    const Color red = rgb(0xFF, 0, 0), blue = rgb(0, 0, 0xC0), black = rgb(0, 0, 0);
    for (auto [x, y] : {std::pair{16, 18}, {17, 18}, {16, 19}, {17, 19}}) {
        EXPECT_EQ(at(x, y), red) << x << "," << y;
    }
    for (auto [x, y] : {std::pair{15, 18}, {18, 19}, {16, 17}, {17, 20}, {10, 10}, {489, 649}}) {
        EXPECT_EQ(at(x, y), blue) << x << "," << y;
    }
    for (auto [x, y] : {std::pair{9, 9}, {490, 650}, {499, 659}, {250, 5}}) {
        EXPECT_EQ(at(x, y), black) << x << "," << y;
    }

    // Either window pixel of a screen pixel is that pixel; the margin clamps.
    SDL_Event button{};
    button.type = SDL_MOUSEBUTTONDOWN;
    button.button.button = SDL_BUTTON_LEFT;
    button.button.x = 17;
    button.button.y = 18;
    SDL_PushEvent(&button);
    EXPECT_EQ(next(), "pointer-down 3 4");
    button.type = SDL_MOUSEBUTTONUP;
    button.button.x = 499;
    button.button.y = 659;
    SDL_PushEvent(&button);
    EXPECT_EQ(next(), "pointer-up 239 319");
}

}  // namespace
}  // namespace zq

namespace zq {
namespace {

TEST(WindowZoomTest, OpensAtAWholeZoomThatFitsAndKeepsWholeZoomsWhenResized) {
    const Size phone{240, 320};
    EXPECT_EQ(initialWindowZoom(phone, {1920, 1080}), 2);
    EXPECT_EQ(initialWindowZoom(phone, {1366, 768}), 1);
    EXPECT_EQ(initialWindowZoom(phone, {400, 1200}), 1);  // two screens side by side do not fit
    EXPECT_EQ(initialWindowZoom({320, 240}, {3840, 2160}), 2);

    struct Case {
        Size window;
        int zoom, offsetX, offsetY;
    };
    for (const Case& c :
         {Case{{240, 320}, 1, 0, 0}, Case{{480, 640}, 2, 0, 0}, Case{{500, 700}, 2, 10, 30},
          Case{{719, 2000}, 2, 119, 680}, Case{{100, 100}, 1, 0, 0}}) {
        const WindowZoom fit = fitWindowZoom(phone, c.window);
        EXPECT_EQ(fit.zoom, c.zoom) << c.window.width << "x" << c.window.height;
        EXPECT_EQ(fit.offsetX, c.offsetX);
        EXPECT_EQ(fit.offsetY, c.offsetY);
    }
    // Window points map back to the screen pixel under them, clamped to the screen.
    const WindowZoom fit = fitWindowZoom(phone, {500, 700});
    EXPECT_EQ(fit.toScreen(10, 30, phone), (Point{0, 0}));
    EXPECT_EQ(fit.toScreen(10 + 2 * 239 + 1, 30 + 2 * 319 + 1, phone), (Point{239, 319}));
    EXPECT_EQ(fit.toScreen(0, 0, phone), (Point{0, 0}));
    EXPECT_EQ(fit.toScreen(499, 699, phone), (Point{239, 319}));
}

}  // namespace
}  // namespace zq
