#include "markup/grid_builders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "items/grid_menu_item.h"
#include "items/progress_bar_item.h"
#include "items/tab_item.h"
#include "items/tree.h"
#include "items/verify_code_item.h"
#include "markup/markup_page.h"
#include "platform/device_context.h"
#include "platform/image.h"
#include "platform/surface.h"
#include "tests/support/markup_fixture.h"
#include "tests/support/test_env.h"
#include "ui/client_context.h"
#include "ui/event.h"
#include "ui/graphics_context.h"
#include "ui/image_cache.h"
#include "ui/style.h"
#include "ui/tabbed_form.h"

namespace zq {
namespace {

class GridBuildersTest : public test::MarkupFixture<> {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir_.path() / "images");
        Surface surface(12, 12);
        ASSERT_TRUE(savePng(surface, (dir_.path() / "images" / "a.png").string()));
        context_.setProgramFolder(dir_.path());
    }
    void TearDown() override {
        page_.reset();
        clearImageCache();
    }
    GridMenuItem* grid() const {
        return page_->controls().empty() ? nullptr
                                         : dynamic_cast<GridMenuItem*>(page_->controls().front());
    }

    test::TempDir dir_;
};

TEST_F(GridBuildersTest, CellsDefselAndPicturesOnlyFromTheProgramFolder) {
    struct Case {
        const char* defsel;
        int expected;
    };
    for (const Case& c : {Case{"7", 0}, Case{"2a", 0}, Case{"2", 2}, Case{"99999999999", 0}}) {
        page_ = std::make_unique<MarkupPage>();
        const std::string xml =
            std::string("<zqml><grilmenu gid='m' defsel='") + c.defsel +
            "'><c img='file://images/a.png' v='x'/>"
            "<c img='file://images/missing.png' icon='file://IMAGES/A.PNG'/>"
            "<c img='file://../../etc/a.png' icon='images/a.png'/></grilmenu></zqml>";
        ASSERT_TRUE(page_->loadPage(xml, &host_));
        ASSERT_NE(grid(), nullptr);
        EXPECT_EQ(grid()->cellCount(), 3);
        EXPECT_EQ(grid()->getSelectedIndex(), c.expected) << c.defsel;
        EXPECT_EQ(grid()->valueAt(0).toUtf8(), "x");
        EXPECT_EQ(grid()->valueAt(1).toUtf8(), "");
        EXPECT_NE(grid()->imageAt(0), nullptr);
        EXPECT_EQ(grid()->imageAt(1), nullptr);
        EXPECT_NE(grid()->overlayAt(1), nullptr);  // names are found without regard to case
        EXPECT_EQ(grid()->imageAt(2), nullptr);    // outside the program folder
        EXPECT_EQ(grid()->overlayAt(2), nullptr);  // not a "file://" name
    }
}

// Pictures that are cut short, are no pictures, or lie outside the program
// folder leave their cells empty; a grid with no pictures at all is no grid
// and takes every key and tap without moving.
TEST_F(GridBuildersTest, BadPicturesAndNoPicturesBuildWhatTheyCan) {
    const std::filesystem::path images = dir_.path() / "images";
    std::string png;
    {
        std::ifstream in(images / "a.png", std::ios::binary);
        png.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::ofstream(images / "cut.png", std::ios::binary) << png.substr(0, png.size() / 2);
    std::ofstream(images / "text.png") << "not a picture at all";
    std::ofstream(dir_.path().parent_path() / "x") << "outside";
    ASSERT_TRUE(page_->loadPage(
        "<zqml><gm gid='bad'><c img='file://images/cut.png'/><c img='file://images/text.png'/>"
        "<c img='file://../../x' icon='file://..\\x'/><c img='file:///etc/passwd'/>"
        "<c img='file://'/></gm><gm gid='none'/><gm gid='empty'><c/><c v='v'/></gm></zqml>",
        &host_));
    ASSERT_EQ(page_->controls().size(), 3u);
    for (Item* item : page_->controls()) {
        auto* g = dynamic_cast<GridMenuItem*>(item);
        ASSERT_NE(g, nullptr);
        for (int i = 0; i < g->cellCount(); ++i) {
            EXPECT_EQ(g->imageAt(i), nullptr) << i;
            EXPECT_EQ(g->overlayAt(i), nullptr) << i;
        }
        g->init(240, 240);
        g->focus(nullptr, kGameDown);
        for (int action : {kGameUp, kGameDown, kGameLeft, kGameRight, kGameFire}) {
            g->keyPressed(0, action);
            g->keyReleased(0, action);
        }
        g->pointerPressed(15, 25);
        g->pointerReleased(15, 25);
        EXPECT_EQ(g->getSelectedIndex(), 0);
        Surface surface(240, 320);
        DeviceContext dc(surface);
        GraphicsContext graphics;
        graphics.init(240, 320, &dc);
        g->paint(0, 0, 0, 240, graphics);
    }
    EXPECT_EQ(grid()->cellCount(), 5);
    auto* none = dynamic_cast<GridMenuItem*>(page_->controls()[1]);
    EXPECT_EQ(none->cellCount(), 0);
    EXPECT_EQ(none->contentWidth(), 0);
    EXPECT_EQ(none->contentHeight(), 0);
}

TEST_F(GridBuildersTest, AffixImageKeepsItsAddress) {
    ASSERT_TRUE(page_->loadPage("<zqml><affixImg durl='http://h/code'/></zqml>", &host_));
    ASSERT_EQ(page_->controls().size(), 1u);
    auto* item = dynamic_cast<VerifyCodeItem*>(page_->controls().front());
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->pictureAddress().toUtf8(), "http://h/code");
}

// Regression: a grid, a progress bar or a verification picture inside a tab
// page or a tree node registered with the page: it showed on the first tab,
// above the tab item, or before the tree whose node then could not open.
TEST_F(GridBuildersTest, GridsBarsAndPicturesLandOnTheTabPageOrNodeTheyAreWrittenIn) {
    const std::string inner =
        "<grilmenu gid='g'><c img='file://images/a.png'/></grilmenu>"
        "<progressbar maxvalue='10' value='5'/><affixImg durl='http://h/code'/>";
    auto kinds = [](const Container& page) {
        std::string seen;
        for (const auto& child : page.children()) {
            const Item* item = child.get();
            seen += dynamic_cast<const GridMenuItem*>(item)      ? "G"
                    : dynamic_cast<const ProgressBarItem*>(item) ? "P"
                    : dynamic_cast<const VerifyCodeItem*>(item)  ? "V"
                                                                 : "-";
        }
        return seen;
    };

    loadPage(
        "<zqml><tabbody><page caption='One'><text>a</text></page>"
        "<page caption='Two'>" +
        inner + "</page></tabbody></zqml>");
    auto* form = dynamic_cast<TabbedForm*>(page_->form());
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(kinds(*form->getPage(0)), "-");
    EXPECT_EQ(kinds(*form->getPage(1)), "GPV");

    loadPage(
        "<zqml><body><text>a</text><tab id='t'><p caption='One'><text>b</text></p>"
        "<p caption='Two'>" +
        inner + "</p></tab></body></zqml>");
    ASSERT_NE(page_->form(), nullptr);
    EXPECT_EQ(kinds(*page_->form()->getContent()), "--");
    auto* tab = dynamic_cast<TabItem*>(page_->form()->getItemByName(CString(u"t")));
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(kinds(*tab->getPage(0)), "-");
    EXPECT_EQ(kinds(*tab->getPage(1)), "GPV");

    loadPage("<zqml><body><tree id='t'><ti caption='A'>" + inner + "</ti></tree></body></zqml>");
    ASSERT_NE(page_->form(), nullptr);
    EXPECT_EQ(kinds(*page_->form()->getContent()), "-");
    auto* tree = dynamic_cast<TreeContainer*>(page_->form()->getItemByName(CString(u"t")));
    ASSERT_NE(tree, nullptr);
    auto* node = dynamic_cast<NodeItem*>(tree->getItem(0));
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(kinds(node->children()), "GPV");
}

}  // namespace
}  // namespace zq
