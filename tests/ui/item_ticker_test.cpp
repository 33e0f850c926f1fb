#include "ui/item_ticker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "platform/clock.h"
#include "platform/ui_executor.h"
#include "ui/container.h"
#include "ui/screen.h"

namespace zq {
namespace {

class Target : public TickTarget {
public:
    int onTimer() override {
        ++ticks;
        if (action) action();
        return 0;
    }
    int ticks = 0;
    std::function<void()> action;
};

class TickerTest : public ::testing::Test {
protected:
    // Moves the clock on and runs what is due, as one turn of the UI loop.
    void advance(uint32_t ms) {
        now += ms;
        ui.runPending();
    }

    std::atomic<uint32_t> now{5000};
    ScopedTickSource clock{[this] { return now.load(); }};
    UiExecutor ui;
    TickerThread ticker;
};

TEST_F(TickerTest, RunsEvery100MsOnlyWhileItHasItems) {
    Target a;
    ticker.start();
    EXPECT_FALSE(ticker.isRunning());
    EXPECT_EQ(ui.msUntilNextTimer(), -1);

    ticker.addItem(&a);
    ticker.start();
    advance(99);
    EXPECT_EQ(a.ticks, 0);
    advance(1);
    EXPECT_EQ(a.ticks, 1);
    advance(100);
    EXPECT_EQ(a.ticks, 2);

    // The round after the list emptied ends the ticker; adding alone does not revive it.
    ticker.removeItem(&a);
    advance(100);
    EXPECT_FALSE(ticker.isRunning());
    EXPECT_EQ(ui.msUntilNextTimer(), -1);
    ticker.addItem(&a);
    advance(100);
    EXPECT_EQ(a.ticks, 2);
    ticker.start();
    advance(100);
    EXPECT_EQ(a.ticks, 3);

    ticker.stop();
    advance(100);
    EXPECT_EQ(a.ticks, 3);
    EXPECT_EQ(ticker.itemCount(), 1);
    ticker.stopAndFree();
    EXPECT_EQ(ticker.itemCount(), 0);
}

TEST_F(TickerTest, DuplicatesTickTwiceAndOneRemovalTakesThemAll) {
    Target a, b;
    ticker.addItem(&a);
    ticker.addItem(&b);
    ticker.addItem(&a);
    ticker.start();
    advance(100);
    EXPECT_EQ(a.ticks, 2);
    EXPECT_EQ(b.ticks, 1);

    ticker.removeItem(&a);
    EXPECT_EQ(ticker.itemCount(), 1);
    advance(100);
    EXPECT_EQ(a.ticks, 2);
    EXPECT_EQ(b.ticks, 2);
}

TEST_F(TickerTest, ChangesMadeInsideOnTimer) {
    Target a, b, c, late;
    ticker.addItem(&a);
    ticker.addItem(&b);
    ticker.addItem(&c);
    ticker.start();

    // Removing itself must not skip the next entry; a later one removed is not called.
    a.action = [&] {
        ticker.removeItem(&a);
        ticker.removeItem(&c);
        ticker.addItem(&late);
    };
    advance(100);
    EXPECT_EQ(a.ticks, 1);
    EXPECT_EQ(b.ticks, 1);
    EXPECT_EQ(c.ticks, 0);
    EXPECT_EQ(late.ticks, 1);  // added during the round, called in it
    EXPECT_EQ(ticker.itemCount(), 2);

    // stop() from a target ends the round at once.
    b.action = [&] { ticker.stop(); };
    advance(100);
    EXPECT_EQ(b.ticks, 2);
    EXPECT_EQ(late.ticks, 1);
    EXPECT_FALSE(ticker.isRunning());

    // A target that empties the list ends the ticker with the round.
    b.action = [&] { ticker.stopAndFree(); };
    ticker.start();
    advance(100);
    EXPECT_EQ(late.ticks, 1);
    EXPECT_EQ(ticker.itemCount(), 0);
    EXPECT_FALSE(ticker.isRunning());
}

TEST_F(TickerTest, AModalLoopInsideOnTimerDoesNotStartANestedRound) {
    Target a;
    a.action = [&] {
        if (a.ticks == 1) advance(100);
    };
    ticker.addItem(&a);
    ticker.start();
    advance(100);
    EXPECT_EQ(a.ticks, 1);
    advance(100);
    EXPECT_EQ(a.ticks, 2);
}

TEST_F(TickerTest, NoTickAfterRemovalFromAnotherThreadReturns) {
    Target a, b;
    std::atomic<bool> removed{false};
    std::atomic<bool> tickedAfterRemoval{false};
    std::atomic<bool> offUiThread{false};
    a.action = [&] {
        if (removed) tickedAfterRemoval = true;
        if (!isUiThread()) offUiThread = true;
    };
    ticker.addItem(&a);
    ticker.addItem(&b);
    ticker.start();

    std::thread worker([&] {
        runOnUiAndWait([&] { ticker.removeItem(&a); });
        removed = true;
    });
    while (!removed) advance(100);
    worker.join();
    for (int i = 0; i < 5; ++i) advance(100);

    EXPECT_FALSE(tickedAfterRemoval);
    EXPECT_FALSE(offUiThread);
    EXPECT_GE(b.ticks, 5);
}

TEST_F(TickerTest, DestroyingTheTickerStopsItsTimer) {
    Target a;
    {
        TickerThread local;
        local.addItem(&a);
        local.start();
        EXPECT_EQ(ui.msUntilNextTimer(), 100);
    }
    EXPECT_EQ(ui.msUntilNextTimer(), -1);
    advance(100);
    EXPECT_EQ(a.ticks, 0);
}

TEST(Ticker, DoesNotRunWithoutAUiExecutor) {
    Target a;
    TickerThread ticker;
    ticker.addItem(&a);
    ticker.start();
    EXPECT_FALSE(ticker.isRunning());
}

// Regression: an item handed back by its container kept its screen and
// stayed on that screen's ticker, which it reached again after the screen
// was gone.
TEST_F(TickerTest, AnItemThatLeavesItsContainerLeavesScreenAndTicker) {
    auto screen = std::make_unique<Screen>(u"s", true);
    Item* child = screen->getContent()->add(std::make_unique<Item>());
    child->setScreen(screen.get());
    child->startTicking(screen->ticker());
    ASSERT_EQ(screen->ticker().itemCount(), 1);

    std::unique_ptr<Item> out = screen->getContent()->set(0, std::make_unique<Item>());
    EXPECT_EQ(out->getScreen(), nullptr);
    EXPECT_EQ(out->getParent(), nullptr);
    EXPECT_EQ(screen->ticker().itemCount(), 0);
    screen.reset();
    out.reset();  // no ticker left to reach
}

// Regression: an item that outlived its screen's ticker reached it again
// when it was destroyed.
TEST_F(TickerTest, ATickerThatGoesIsForgottenByItsItems) {
    auto item = std::make_unique<Item>();
    auto gone = std::make_unique<Screen>(u"s", true);
    item->startTicking(gone->ticker());
    gone.reset();
    item->startTicking(ticker);  // leaves nothing behind on the old one
    EXPECT_EQ(ticker.itemCount(), 1);
    item.reset();
    EXPECT_EQ(ticker.itemCount(), 0);
}

}  // namespace
}  // namespace zq
