#include "ui/display.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/ui_executor.h"
#include "platform/ui_loop.h"
#include "platform/window.h"
#include "tests/support/test_font.h"
#include "ui/client_context.h"
#include "ui/displayable.h"
#include "ui/graphics_context.h"
#include "ui/item.h"

namespace zq {
namespace {

constexpr Color kRed = 0x0000FF;
constexpr Color kBlue = 0xFF0000;

// Logs what the Display tells it and paints itself one colour per paint.
class LogCanvas : public Canvas {
public:
    explicit LogCanvas(std::string name, std::vector<std::string>* log = nullptr)
        : name_(std::move(name)), log_(log) {}

    void paint(GraphicsContext& g) override {
        ++paints;
        paintThread = std::this_thread::get_id();
        surfaceWidth = g.getSurfaceWidth();
        surfaceHeight = g.getSurfaceHeight();
        const Color color = paints % 2 ? kRed : kBlue;
        g.getDC()->fillRect(Rect::fromSize(0, 0, surfaceWidth, surfaceHeight), color);
        // A clip left behind must not reach the next paint.
        g.getDC()->setClipRect(Rect::fromSize(0, 0, 1, 1));
    }
    void keyPressed(int code) override { note("pressed " + std::to_string(code)); }
    void keyRepeated(int code) override { note("repeated " + std::to_string(code)); }
    void keyReleased(int code) override { note("released " + std::to_string(code)); }
    void pointerPressed(int x, int y) override { note(point("down", x, y)); }
    void pointerDragged(int x, int y) override { note(point("drag", x, y)); }
    void pointerReleased(int x, int y) override { note(point("up", x, y)); }
    void showNotify() override { note("show " + name_); }
    void hideNotify() override { note("hide " + name_); }

    int paints = 0;
    std::thread::id paintThread;
    int surfaceWidth = 0;
    int surfaceHeight = 0;

private:
    static std::string point(const char* what, int x, int y) {
        return std::string(what) + " " + std::to_string(x) + "," + std::to_string(y);
    }
    void note(const std::string& line) {
        if (log_) log_->push_back(line);
    }
    std::string name_;
    std::vector<std::string>* log_;
};

// Fills the whole surface when painted, wherever it is placed.
class FloodItem : public Item {
public:
    void paintContent(int, int, int, int, GraphicsContext& g) override {
        ++paints;
        g.getDC()->fillRect(Rect::fromSize(0, 0, g.getSurfaceWidth(), g.getSurfaceHeight()), kBlue);
    }
    int paints = 0;
};

// A UI loop over a headless window, driven by the test a round at a time.
struct LoopFixture {
    explicit LoopFixture(Size size) : window(size), display(size), loop(executor, window, display) {
        display.attach(&loop);
    }
    ~LoopFixture() { display.attach(nullptr); }

    UiExecutor executor;
    HeadlessWindow window;
    Display display;
    UiLoop loop;
};

TEST(DisplayTest, SetCurrentNotifiesAndRecordsThePreviousDisplayable) {
    Display display({240, 320});
    std::vector<std::string> log;
    LogCanvas a("a", &log);
    LogCanvas b("b", &log);

    display.setCurrent(nullptr, true);
    EXPECT_EQ(display.getCurrent(), nullptr);

    display.setCurrent(&a, true);
    display.setCurrent(&b, true);
    EXPECT_EQ(log, (std::vector<std::string>{"show a", "hide a", "show b"}));
    EXPECT_EQ(b.getPreviousDisplayable(), &a);
    EXPECT_TRUE(b.isShown());
    // Replaced but still holding the Display.
    EXPECT_EQ(a.getDisplay(), &display);
    EXPECT_FALSE(a.isShown());

    // The same one again: no notifications, its Display still set.
    log.clear();
    b.setDisplay(nullptr);
    display.setCurrent(&b, true);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(b.getDisplay(), &display);
    EXPECT_EQ(b.getPreviousDisplayable(), &a);

    // Without notify the switch is silent but the previous one is recorded.
    display.setCurrent(&a, false);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(a.getPreviousDisplayable(), &b);
    EXPECT_TRUE(display.isCurrent(&a));
}

TEST(DisplayTest, ADestroyedCurrentDisplayableIsForgotten) {
    Display display({240, 320});
    {
        LogCanvas gone("gone");
        display.setCurrent(&gone, true);
    }
    EXPECT_EQ(display.getCurrent(), nullptr);
    display.keyDown(kKeyDown, 1);  // reaches nobody, no crash
    display.repaint();
}

TEST(DisplayTest, KeysMapRepeatCountsAndPointerEventsPassThrough) {
    Display display({240, 320});
    std::vector<std::string> log;
    LogCanvas canvas("c", &log);
    display.setCurrent(&canvas, false);

    display.onInput(KeyDown{kKeyDown, 1});
    display.onInput(KeyDown{kKeyDown, 2});
    display.onInput(KeyDown{kKeyDown, 3});
    display.onInput(KeyUp{kKeyDown});
    display.onInput(KeyDown{kKeyEnter, 0});
    display.onInput(PointerDown{10, 20});
    display.onInput(PointerMove{11, 21});
    display.onInput(PointerUp{12, 22});
    display.onInput(CharInput{u"5"});
    EXPECT_EQ(log,
              (std::vector<std::string>{"pressed 40", "repeated 40", "repeated 40", "released 40",
                                        "pressed 13", "down 10,20", "drag 11,21", "up 12,22"}));
}

TEST(DisplayTest, OffscreenLayerBelongsToWhoeverDrewLast) {
    Display display({240, 320});
    int first = -1;
    int second = -1;
    DeviceContext* dc = nullptr;
    GraphicsContext* g = nullptr;

    EXPECT_EQ(display.getOffscreenLayer(first, dc, g, kRed), 1);
    ASSERT_TRUE(dc && g);
    EXPECT_EQ(dc->getPixel(239, 319), kRed);
    EXPECT_EQ(g->getSurfaceWidth(), 240);
    dc->fillRect(Rect::fromSize(0, 0, 1, 1), kBlue);
    EXPECT_EQ(display.getOffscreenLayer(first, dc, g, kRed), 0);
    EXPECT_EQ(dc->getPixel(0, 0), kBlue) << "the caller's drawing is kept";

    // Alternating callers each get a cleared layer.
    EXPECT_EQ(display.getOffscreenLayer(second, dc, g, kBlue), 1);
    EXPECT_EQ(dc->getPixel(0, 0), kBlue);
    EXPECT_EQ(display.getOffscreenLayer(first, dc, g, kRed), 1);
    EXPECT_EQ(dc->getPixel(5, 5), kRed);
    EXPECT_EQ(display.getOffscreenLayer(second, dc, g, kBlue), 1);

    // A new window size makes a new layer of that size.
    display.onInput(Resize{320, 240});
    EXPECT_EQ(display.getOffscreenLayer(second, dc, g, kBlue), 1);
    EXPECT_EQ(g->getSurfaceWidth(), 320);
    EXPECT_EQ(dc->surface().height(), 240);

    DeviceContext* untouched = nullptr;
    display.onInput(Resize{0, 0});
    EXPECT_EQ(display.getOffscreenLayer(first, untouched, g, kRed), -1);
    EXPECT_EQ(first, -1);
    EXPECT_EQ(untouched, nullptr);
}

TEST(DisplayTest, MeasuresAreZeroWithoutADisplayAndUseTheBaseFont) {
    test::ScopedFixedFont fixed;
    EXPECT_EQ(Display::getTextWidth(u"abc"), 0);
    EXPECT_EQ(Display::getTextHeight(u"abc"), 0);
    EXPECT_EQ(Display::getCharWidth(u'a'), 0);
    EXPECT_FALSE(displayExists());
    {
        Display display({240, 320});
        EXPECT_TRUE(displayExists());
        EXPECT_EQ(Display::getTextWidth(u"abc"), 21);
        EXPECT_EQ(Display::getTextHeight(u""), 14);
        EXPECT_EQ(Display::getCharWidth(u'W'), 7);
        FontRef large = getFont(20);
        EXPECT_EQ(Display::getTextWidth(u"ab", large.get()), 20);
        EXPECT_EQ(Display::getTextHeight(u"ab", large.get()), 20);
        // Measuring needs no UI thread.
        int fromWorker = 0;
        std::thread([&] { fromWorker = Display::getTextWidth(u"abcd"); }).join();
        EXPECT_EQ(fromWorker, 28);
    }
    EXPECT_FALSE(displayExists());
    EXPECT_EQ(Display::getDisplay(), nullptr);
}

TEST(DisplayTest, RepaintFromAWorkerPaintsOnceOnTheUiThreadAndShowsTheFrame) {
    LoopFixture f({240, 320});
    LogCanvas canvas("c");
    f.display.setCurrent(&canvas, true);
    f.loop.runOnce(0);
    ASSERT_EQ(canvas.paints, 1);
    EXPECT_EQ(f.window.screen().getPixel(100, 100), kRed);

    std::atomic<bool> done{false};
    std::thread worker([&] {
        canvas.repaint();
        done = true;
    });
    while (!done) f.loop.runOnce(10);
    worker.join();
    f.loop.runOnce(0);
    EXPECT_EQ(canvas.paints, 2);
    EXPECT_EQ(canvas.paintThread, std::this_thread::get_id());
    EXPECT_EQ(f.window.screen().getPixel(100, 100), kBlue);
    // The clip the paint set was dropped afterwards.
    EXPECT_EQ(f.display.getBackBufferDC()->clipRect(), Rect::fromSize(0, 0, 240, 320));
}

// While one displayable handles input, a repaint of another it made current
// waits for the loop's next round: painting it inside would nest their locks.
TEST(DisplayTest, ARepaintDuringAnotherDisplayablesInputWaitsForTheNextRound) {
    LoopFixture f({240, 320});
    LogCanvas handling("handling");
    LogCanvas shown("shown");
    f.display.setCurrent(&handling, true);
    f.loop.runOnce(0);
    ASSERT_EQ(handling.paints, 1);
    {
        Display::InputScope input(f.display, &handling);
        // Its own repaint paints at once.
        handling.repaint();
        EXPECT_EQ(handling.paints, 2);
        f.display.setCurrent(&shown, true);
        shown.repaint();
        shown.repaintItem(0, 0, 10, 10, nullptr);
        EXPECT_EQ(shown.paints, 0);
    }
    f.loop.runOnce(0);
    EXPECT_EQ(shown.paints, 1);
    EXPECT_EQ(handling.paints, 2);
}

TEST(DisplayTest, ARepaintWithoutADisplayOrWindowDoesNothingHarmful) {
    LogCanvas never("never");
    never.repaint();
    never.repaintItem(0, 0, 10, 10, nullptr);
    EXPECT_EQ(never.paints, 0);
    EXPECT_EQ(never.getWidth(), 0);
    EXPECT_EQ(never.getHeight(), 0);

    // Without a loop the frame stays in the back buffer.
    Display display({240, 320});
    display.setCurrent(&never, true);
    never.repaint();
    EXPECT_EQ(never.paints, 1);
    EXPECT_EQ(display.getBackBufferDC()->getPixel(0, 0), kRed);
}

TEST(DisplayTest, BackBufferIsRebuiltWhenTheWindowTurns) {
    LoopFixture f({240, 320});
    LogCanvas canvas("c");
    f.display.setCurrent(&canvas, true);
    f.loop.runOnce(0);
    EXPECT_EQ(canvas.surfaceWidth, 240);

    f.window.pushEvent(Resize{320, 240});
    f.loop.runOnce(0);  // the resize
    f.loop.runOnce(0);  // the paint it asks for
    EXPECT_EQ(canvas.paints, 2);
    EXPECT_EQ(canvas.surfaceWidth, 320);
    EXPECT_EQ(canvas.surfaceHeight, 240);
    EXPECT_EQ(f.display.getBackBufferDC()->surface().width(), 320);
    EXPECT_EQ(f.display.getClientSize(), (Size{320, 240}));
    EXPECT_EQ(f.window.screen().getPixel(319, 239), kBlue);
}

TEST(DisplayTest, PaintItemNowShowsFromThePointToTheWindowEdges) {
    LoopFixture f({240, 320});
    LogCanvas canvas("c");
    FloodItem item;
    f.display.setCurrent(&canvas, true);

    // Before the first full paint there is no graphics context to paint with.
    f.display.paintItemNow(0, 0, 10, 10, &item);
    EXPECT_EQ(item.paints, 0);

    f.loop.runOnce(0);
    ASSERT_EQ(f.window.screen().getPixel(0, 0), kRed);
    item.init(240, 240);
    canvas.repaintItem(200, 300, 10, 10, &item);
    ASSERT_EQ(item.paints, 1);
    const Surface& screen = f.window.screen();
    EXPECT_EQ(screen.getPixel(200, 300), kBlue);
    EXPECT_EQ(screen.getPixel(239, 319), kBlue);
    EXPECT_EQ(screen.getPixel(199, 319), kRed);
    EXPECT_EQ(screen.getPixel(239, 299), kRed);

    // Off the top-left corner: the copy is cut to the window, shifted with x.
    f.display.paintItemNow(-10, -10, 10, 10, &item);
    EXPECT_EQ(screen.getPixel(0, 0), kBlue);
    EXPECT_EQ(screen.getPixel(229, 200), kBlue);
    EXPECT_EQ(screen.getPixel(230, 200), kRed);

    // Far outside: nothing to copy, nothing read outside the buffers.
    f.display.paintItemNow(5000, -5000, 10, 10, &item);
    f.display.paintItemNow(-5000, 5000, 10, 10, &item);
}

// Paints a fixed mark wherever it is asked to.
class MarkOverlay : public OverlayPainter {
public:
    void paint(int x, int y, GraphicsContext& g, int flag) override {
        lastFlag = flag;
        g.getDC()->fillRect(Rect::fromSize(x, y, 4, 4), kBlue);
    }
    int lastFlag = 0;
};

TEST(DisplayTest, OverlaysAndTheLoadingBarShowTheWholeBufferAtOnce) {
    LoopFixture f({240, 320});
    LogCanvas canvas("c");
    MarkOverlay overlay;
    f.display.setCurrent(&canvas, true);
    f.loop.runOnce(0);

    std::atomic<bool> done{false};
    std::thread worker([&] {
        f.display.paintOverlayNow(50, 60, &overlay);
        done = true;
    });
    while (!done) f.loop.runOnce(10);
    worker.join();
    EXPECT_EQ(overlay.lastFlag, 1);
    EXPECT_EQ(f.window.screen().getPixel(53, 63), kBlue);
    EXPECT_EQ(f.window.screen().getPixel(54, 63), kRed);

    f.display.repaintSoftKeysNow(nullptr);  // no screen: nothing
    EXPECT_EQ(canvas.paints, 1);
}

}  // namespace
}  // namespace zq

namespace zq {
namespace {

class AnimatedCanvas : public Canvas {
public:
    void animate(uint32_t now) override { steps.push_back(now); }
    std::vector<uint32_t> steps;
};

TEST(DisplayTest, TheCurrentDisplayableGetsAnAnimationStepEvery100Ms) {
    uint32_t now = 1000;
    ScopedTickSource clock([&now] { return now; });
    UiExecutor executor;
    AnimatedCanvas shown;
    AnimatedCanvas hidden;
    {
        Display display(Size{240, 320});
        display.setCurrent(&hidden);
        display.setCurrent(&shown);
        now += 99;
        executor.runPending();
        EXPECT_TRUE(shown.steps.empty());
        now += 1;
        executor.runPending();
        now += 100;
        executor.runPending();
        EXPECT_EQ(shown.steps, (std::vector<uint32_t>{1100, 1200}));
    }
    now += 100;
    executor.runPending();  // the step stops with the Display
    EXPECT_EQ(shown.steps.size(), 2u);
    EXPECT_TRUE(hidden.steps.empty());
}

}  // namespace
}  // namespace zq
