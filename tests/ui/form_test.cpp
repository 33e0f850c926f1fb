#include "ui/form.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/image.h"
#include "platform/surface.h"
#include "tests/support/test_env.h"
#include "tests/ui/screen_test_support.h"
#include "ui/container.h"
#include "ui/default_styles.h"
#include "ui/display.h"
#include "ui/tabbed_form.h"

namespace zq {
namespace {

using test::BoxItem;

constexpr int kUp = 38;
constexpr int kDown = 40;
constexpr int kLeft = 37;
constexpr int kRight = 39;
constexpr int kFire = 13;

// A box the focus can stop on.
std::unique_ptr<BoxItem> focusBox(int height, Color color, std::vector<std::string>* log = nullptr,
                                  int* destroyed = nullptr) {
    auto box = std::make_unique<BoxItem>(height, color, log, destroyed);
    box->setAppearanceMode(1);
    return box;
}

struct RecordingTabListener : TabChangeListener {
    bool tabChanging(int current, int next) override {
        log.push_back("ask " + std::to_string(current) + ">" + std::to_string(next));
        return allow;
    }
    void tabChanged(int current) override { log.push_back("told " + std::to_string(current)); }
    bool allow = true;
    std::vector<std::string> log;
};

class FormTest : public test::ScreenFixture {
protected:
    // A shown three-tab form, each page holding two focusable boxes.
    std::unique_ptr<TabbedForm> makeTabs() {
        auto form = std::make_unique<TabbedForm>(u"tabs");
        form->initTabs({u"One", u"Two", u"Three"}, {}, plainStyle());
        for (int tab = 0; tab < 3; ++tab) {
            form->append(tab, focusBox(30, 0x0000FF));
            form->append(tab, focusBox(30, 0x00FF00));
        }
        display_.setCurrent(form.get());
        return form;
    }

    Display display_{Size{240, 320}};
};

TEST_F(FormTest, TabsGetPagesAndTheBarAsHeader) {
    TabbedForm form(u"t");
    EXPECT_EQ(form.tabCount(), 0);
    // Before the tabs exist items land on the first page.
    EXPECT_EQ(form.append(std::make_unique<BoxItem>(10, 0)), 0);
    form.initTabs({u"A", u"B"}, {}, plainStyle());
    EXPECT_EQ(form.tabCount(), 2);
    EXPECT_EQ(form.getHeaderItem(), form.getTabBar());
    EXPECT_TRUE(form.isTabBarFocused());
    EXPECT_EQ(form.getPage(0)->size(), 1);
    EXPECT_EQ(form.append(1, nullptr), -1);
    EXPECT_EQ(form.append(2, std::make_unique<BoxItem>(10, 0)), -1);
    auto nested = std::make_unique<Container>();
    nested->setScreenContent(true);
    Container* raw = nested.get();
    EXPECT_EQ(form.append(1, std::move(nested)), 0);
    EXPECT_FALSE(raw->isScreenContent());
    // Form::append goes to the page shown now.
    form.setSelectedTab(1, false);
    EXPECT_EQ(form.append(std::make_unique<BoxItem>(10, 0)), 1);
}

TEST_F(FormTest, ArrowKeysMoveBetweenBarTabsAndPage) {
    auto form = makeTabs();
    // The bar has the focus: every key is a tab key, only arrows act.
    EXPECT_FALSE(form->handleTabKey(kFire, Screen::getGameAction(kFire)));
    EXPECT_FALSE(form->handleTabKey(kUp, kGameUp));
    form->keyPressed(kLeft);
    EXPECT_EQ(form->getSelectedTab(), 0);
    form->keyPressed(kRight);
    form->keyPressed(kRight);
    EXPECT_EQ(form->getSelectedTab(), 2);
    EXPECT_FALSE(form->handleTabKey(kRight, kGameRight));
    EXPECT_EQ(form->getSelectedTab(), 2);
    EXPECT_EQ(form->getTabBar()->getSelectedIndex(), 2);

    // DOWN gives the focus back: the page's first item has it at once.
    EXPECT_TRUE(form->handleTabKey(kDown, kGameDown));
    EXPECT_FALSE(form->handleTabKey(kDown, kGameDown));
    Container* page = form->getPage(2);
    EXPECT_EQ(page->getFocusedIndex(), 0);

    // Without arrow switching LEFT stays on the tab; with it, it switches.
    form->keyPressed(kLeft);
    EXPECT_EQ(form->getSelectedTab(), 2);
    form->setTabArrowSwitching(2, true);
    form->keyPressed(kLeft);
    EXPECT_EQ(form->getSelectedTab(), 1);

    // UP on the top item that does not use it focuses the bar.
    form->setTabArrowSwitching(1, true);
    form->keyPressed(kDown);
    EXPECT_EQ(form->getPage(1)->getFocusedIndex(), 0);
    form->keyPressed(kUp);
    EXPECT_TRUE(form->isTabBarFocused());
}

TEST_F(FormTest, TapOnATabSelectsIt) {
    auto form = makeTabs();
    makeSurface(240, 320, 0);
    form->paint(gc_);
    TabBar* bar = form->getTabBar();
    Item* third = bar->getTab(2);
    const int x = bar->relativeX() + third->relativeX() + bar->scrollX() + third->itemWidth() / 2;
    const int y = bar->relativeY() + bar->itemHeight() / 2;
    form->pointerPressed(x, y);
    EXPECT_EQ(form->getSelectedTab(), 2);
    EXPECT_EQ(bar->getSelectedIndex(), 2);
    EXPECT_EQ(form->getContent()->getItem(0), form->getPage(2));
}

TEST_F(FormTest, ListenerRefusalKeepsTabMarqueeAndFocus) {
    auto form = makeTabs();
    RecordingTabListener listener;
    form->setTabChangeListener(&listener);
    form->setTabMarquee(0, std::make_unique<BoxItem>(17, 0));
    Item* marquee = form->getTabMarquee(0);
    form->keyPressed(kDown);  // the bar lets go
    form->keyPressed(kDown);  // the page takes the focus
    Item* focused = form->getPage(0)->getFocusedItem();
    ASSERT_NE(focused, nullptr);

    listener.allow = false;
    form->setTabArrowSwitching(0, true);
    form->keyPressed(kRight);
    EXPECT_EQ(form->getSelectedTab(), 0);
    EXPECT_EQ(form->getMarquee(), marquee);
    EXPECT_TRUE(focused->isFocused());
    EXPECT_FALSE(form->handleTabKey(kRight, kGameRight));

    listener.allow = true;
    form->selectTab(1);
    EXPECT_EQ(form->getSelectedTab(), 1);
    EXPECT_FALSE(focused->isFocused());
    EXPECT_EQ(listener.log, (std::vector<std::string>{"ask 0>1", "ask 0>1", "ask 0>1", "told 1"}));
    // Without notification the listener hears nothing.
    form->setSelectedTab(0, false);
    EXPECT_EQ(listener.log.size(), 4u);
}

TEST_F(FormTest, EachMarqueeHasOneOwnerAndShowsForItsTab) {
    std::vector<std::string> log;
    int destroyed = 0;
    {
        auto form = makeTabs();
        form->setTabMarquee(1, std::make_unique<BoxItem>(17, 0, &log, &destroyed));
        EXPECT_EQ(form->getMarquee(), nullptr);
        // The form's marquee shows at once where the tab has none.
        form->setMarquee(std::make_unique<BoxItem>(17, 0, &log, &destroyed));
        EXPECT_EQ(form->getMarquee(), form->getFormMarquee());
        EXPECT_EQ(log, (std::vector<std::string>{"show"}));

        form->setSelectedTab(1, true);
        EXPECT_EQ(form->getMarquee(), form->getTabMarquee(1));
        form->setTabMarquee(1, std::make_unique<BoxItem>(17, 0, &log, &destroyed));
        EXPECT_EQ(destroyed, 1);
        EXPECT_EQ(form->getMarquee(), form->getTabMarquee(1));
        form->setTabMarquee(1, nullptr);
        EXPECT_EQ(destroyed, 2);
        EXPECT_EQ(form->getMarquee(), form->getFormMarquee());
        form->setTabMarquee(7, std::make_unique<BoxItem>(17, 0, &log, &destroyed));
        EXPECT_EQ(destroyed, 3);
        // A marquee the screen itself owns is hidden by a tab switch, not freed.
        Screen& screen = *form;
        screen.setMarquee(std::make_unique<BoxItem>(17, 0, &log, &destroyed));
        form->setSelectedTab(0, true);
        EXPECT_EQ(form->getMarquee(), form->getFormMarquee());
        EXPECT_EQ(destroyed, 3);
    }
    EXPECT_EQ(destroyed, 5);
}

// Looks: a two-tab form in the real font, with the second tab current and
// the page focused; written next to the build for a person to check.
TEST(FormPreview, PaintsATwoTabForm) {
    releaseSharedFonts();
    {
        TabbedForm form(u"tabs");
        form.initTabs({u"行情", u"资讯"}, {}, createFormStyle());
        form.append(0, focusBox(40, 0x3060C0));
        form.append(1, focusBox(40, 0xC03060));
        form.append(1, focusBox(40, 0x30C060));
        form.setMarquee(std::make_unique<BoxItem>(17, 0x808080));
        form.setSize(240, 320);
        form.setSelectedTab(1, false);
        form.handleTabKey(kDown, kGameDown);

        Surface surface(240, 320);
        DeviceContext dc(surface);
        GraphicsContext g;
        g.init(240, 320, &dc);
        form.paint(g);
        const Rect content = form.contentRect();
        EXPECT_EQ(content.top, form.getTabBar()->itemHeight());
        EXPECT_EQ(surface.getPixel(5, content.top + 5), 0xC03060u);
        EXPECT_EQ(surface.getPixel(5, form.marqueeRect().top + 2), 0x808080u);
        EXPECT_TRUE(savePng(surface, (test::testOutputDir() / "tabbed_form_preview.png").string()));
    }
    releaseSharedFonts();
}

}  // namespace
}  // namespace zq
