#include "markup/grid_builders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "items/grid_menu_item.h"
#include "items/verify_code_item.h"
#include "markup/markup_page.h"
#include "platform/image.h"
#include "platform/surface.h"
#include "tests/support/test_env.h"
#include "tests/support/test_font.h"
#include "ui/event.h"
#include "ui/image_cache.h"
#include "ui/style.h"
#include "ui/toolkit_globals.h"

namespace zq {
namespace {

class NullHost : public PageHost {
public:
    void onEvent(std::unique_ptr<Event>) override {}
};

class GridBuildersTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir_.path() / "images");
        Surface surface(12, 12);
        ASSERT_TRUE(savePng(surface, (dir_.path() / "images" / "a.png").string()));
        setProgramFolder(dir_.path());
    }
    void TearDown() override {
        page_.reset();
        setProgramFolder({});
        clearImageCache();
        freeTrackedStyles();
    }
    GridMenuItem* grid() const {
        return page_->controls().empty() ? nullptr
                                         : dynamic_cast<GridMenuItem*>(page_->controls().front());
    }

    test::TempDir dir_;
    test::ScopedFixedFont font_;
    NullHost host_;
    std::unique_ptr<MarkupPage> page_ = std::make_unique<MarkupPage>();
};

TEST_F(GridBuildersTest, CellsDefselAndPicturesOnlyFromTheProgramFolder) {
    struct Case {
        const char* defsel;
        int expected;
    };
    for (const Case& c : {Case{"7", 0}, Case{"2a", 0}, Case{"2", 2}, Case{"99999999999", 0}}) {
        page_ = std::make_unique<MarkupPage>();
        const std::string xml = std::string("<zqml><grilmenu gid='m' defsel='") + c.defsel +
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

TEST_F(GridBuildersTest, AffixImageKeepsItsAddress) {
    ASSERT_TRUE(page_->loadPage("<zqml><affixImg durl='http://h/code'/></zqml>", &host_));
    ASSERT_EQ(page_->controls().size(), 1u);
    auto* item = dynamic_cast<VerifyCodeItem*>(page_->controls().front());
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->pictureAddress().toUtf8(), "http://h/code");
}

}  // namespace
}  // namespace zq
