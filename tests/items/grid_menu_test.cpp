#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "items/grid_menu_item.h"
#include "items/verify_code_item.h"
#include "platform/device_context.h"
#include "platform/surface.h"
#include "ui/default_styles.h"
#include "ui/display.h"
#include "ui/event.h"
#include "ui/graphics_context.h"
#include "ui/page_services.h"
#include "ui/style.h"

namespace zq {
namespace {

ImageRef picture(int w, int h) {
    return std::make_shared<Image>(w, h, false, std::vector<uint32_t>(w * h, 0x808080));
}

class Recorder : public EventListener {
public:
    void onEvent(std::unique_ptr<Event> event) override {
        values.push_back(event->getCellType().toUtf8() + ":" + event->getCellValue().toUtf8());
    }
    std::vector<std::string> values;
};

// 20-pixel pictures with 10 pixels of padding each side: 40 per cell, so a
// line of 120 holds three columns.
class GridMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<ImageRef> images;
        std::vector<CString> values;
        for (int i = 0; i < 7; ++i) {
            images.push_back(picture(20, 20));
            values.push_back(CString(std::to_string(i).c_str()));
        }
        grid_ =
            std::make_unique<GridMenuItem>(images, std::vector<ImageRef>(), CString(u"g"), nullptr);
        grid_->setValues(values);
        grid_->setListener(&recorder_);
        grid_->init(120, 120);
        grid_->focus(nullptr, kGameDown);
    }
    void TearDown() override {
        grid_.reset();
        freeTrackedStyles();
    }
    void key(int gameAction, int keyCode = 0) {
        grid_->keyPressed(keyCode, gameAction);
        grid_->keyReleased(keyCode, gameAction);
    }

    Recorder recorder_;
    std::unique_ptr<GridMenuItem> grid_;
};

// LEFT and RIGHT wrap round the grid. Regression: DOWN and UP wrapped too,
// so the keys never left the grid: nothing after it could be reached and a
// tab page never gave the keys back to its bar. DOWN where no cell lies below
// and UP from the top row now leave the grid.
TEST_F(GridMenuTest, SidewaysArrowsWrapDownAndUpLeaveAtTheEdgesDigitsNeverMove) {
    EXPECT_EQ(grid_->columns(), 3);
    EXPECT_EQ(grid_->rows(), 3);
    struct Step {
        int gameAction;
        int keyCode;
        int expected;
        bool handled;
    };
    const Step steps[] = {
        {kGameUp, 0, 0, false},    // the top row: the keys leave the grid
        {kGameLeft, 0, 6, true},   // column 0 left: the last row is short, so the last cell
        {kGameRight, 0, 0, true},  // from the last cell wraps to the first
        {kGameRight, '6', 0, false}, {kGameDown, '8', 0, false},
        {kGameLeft, '4', 0, false},  {kGameUp, '2', 0, false},
        {kGameDown, 0, 3, true},     {kGameDown, 0, 6, true},
        {kGameDown, 0, 6, false},  // the last row
        {kGameUp, 0, 3, true},       {kGameRight, 0, 4, true},
        {kGameDown, 0, 4, false},                              // no cell below
        {kGameLeft, 0, 3, true},     {kGameLeft, 0, 2, true},  // column 0 left: the row above
        {kGameRight, 0, 3, true},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(grid_->keyPressed(s.keyCode, s.gameAction), s.handled)
            << s.gameAction << "/" << s.keyCode;
        grid_->keyReleased(s.keyCode, s.gameAction);
        EXPECT_EQ(grid_->getSelectedIndex(), s.expected) << s.gameAction << "/" << s.keyCode;
    }
    EXPECT_TRUE(recorder_.values.empty());
    key(kGameFire);
    EXPECT_EQ(recorder_.values, std::vector<std::string>{"List:3"});
}

TEST_F(GridMenuTest, TapsChooseOnlyWhenPressAndLiftHitTheSameCell) {
    const int cell0 = grid_->contentX() + GridMenuItem::kHorizontalPadding + 5;
    const int cell1 = cell0 + 40;
    const int row0 = grid_->contentY() + 25;
    // The gap between two cells.
    EXPECT_FALSE(grid_->pointerPressed(cell0 + 25, row0));
    EXPECT_TRUE(grid_->pointerPressed(cell1, row0));
    EXPECT_EQ(grid_->getSelectedIndex(), 1);
    EXPECT_FALSE(grid_->pointerReleased(cell0, row0));
    EXPECT_TRUE(recorder_.values.empty());
    grid_->pointerPressed(cell0, row0);
    grid_->pointerReleased(cell0, row0);
    EXPECT_EQ(recorder_.values, std::vector<std::string>{"List:0"});
}

TEST_F(GridMenuTest, CellPicturesAndSelectionOutOfRange) {
    for (const char* text : {"0", "8", "-1", "x"}) {
        grid_->setCellImages(CString(text), picture(5, 5), picture(5, 5));
    }
    grid_->setSelectedIndex(7);
    EXPECT_EQ(grid_->getSelectedIndex(), 0);
    grid_->setSelectedIndex(6);
    EXPECT_EQ(grid_->getSelectedIndex(), 6);
    // Registered under its name until it goes; a newer grid of the same name wins.
    EXPECT_EQ(findGridMenu(CString(u"g")), grid_.get());
    {
        GridMenuItem other({picture(2, 2)}, {}, CString(u"g"), nullptr);
        EXPECT_EQ(findGridMenu(CString(u"g")), &other);
        grid_.reset();
        EXPECT_EQ(findGridMenu(CString(u"g")), &other);
    }
    EXPECT_EQ(findGridMenu(CString(u"g")), nullptr);
}

// The grid paints through the shared layer when a Display exists and
// straight onto the context when none does; either way the cells land where
// the grid is painted now, and nothing outside its rectangle changes.
// Regression: a grid without a background cleared the layer to white and
// copied it over the page.
TEST_F(GridMenuTest, CellsFollowThePaintPositionWithAndWithoutTheLayer) {
    // Without a Display; with one, without and with a flat background (the layer).
    for (int withDisplay : {0, 1, 2}) {
        std::unique_ptr<Display> display;
        if (withDisplay > 0) display = std::make_unique<Display>(Size{240, 320});
        if (withDisplay == 2) {
            grid_->setStyle(createGridMenuStyle());
            grid_->init(120, 120);
        }
        Surface surface(240, 320);
        DeviceContext dc(surface);
        GraphicsContext g;
        g.init(240, 320, &dc);
        // The page below a grid without a background of its own shows through.
        dc.fillRect(Rect::fromSize(0, 0, 240, 320), 0x123456);
        const uint32_t page = surface.row(300)[230];
        // Cell 1: not the focused one, which is drawn on top at every paint.
        const int cellX = grid_->contentX() + GridMenuItem::kHorizontalPadding + 10 + 40;
        const int cellY = grid_->contentY() + 30;
        grid_->paint(0, 0, 0, 120, g);
        EXPECT_EQ(surface.row(cellY)[cellX] & 0xFFFFFF, 0x808080u) << withDisplay;
        // Moved sideways only: the cells move with it.
        grid_->paint(100, 0, 100, 220, g);
        EXPECT_EQ(surface.row(cellY)[100 + cellX] & 0xFFFFFF, 0x808080u) << withDisplay;
        EXPECT_EQ(surface.row(300)[230], page) << withDisplay;
        if (withDisplay < 2) {
            EXPECT_EQ(surface.row(cellY)[100 + cellX + 25], page) << withDisplay;  // a gap
        }
    }
}

class FakeNavigator : public PageNavigator {
public:
    void navigate(const CString& address, NavigationLoading, NavigationInput) override {
        asked.push_back(address.toUtf8());
    }
    std::vector<std::string> asked;
};

TEST(VerifyCodeItemTest, ShowsAskAndRefreshOnlyWithAddressListenerAndRequester) {
    FakeNavigator navigator;
    ImageDataListener other(nullptr, VerifyCodeItem::kReplyKind);
    responseListeners().add(VerifyCodeItem::kReplyKind, &other);
    {
        VerifyCodeItem empty(CString(), nullptr);
        empty.setRequester(&navigator);
        empty.setReplyTarget(
            std::make_unique<ImageDataListener>(&empty, VerifyCodeItem::kReplyKind));
        empty.showNotify();
        EXPECT_EQ(responseListeners().count(VerifyCodeItem::kReplyKind), 1u);

        VerifyCodeItem item(CString(), nullptr);
        item.setPictureAddress(CString(u"/code.png"));
        item.setReplyTarget(std::make_unique<ImageDataListener>(&item, VerifyCodeItem::kReplyKind));
        item.commandAction(item.refreshCommand().get(), nullptr);  // no requester yet
        item.setRequester(&navigator);
        item.showNotify();
        EXPECT_EQ(responseListeners().count(VerifyCodeItem::kReplyKind), 2u);
        item.commandAction(item.refreshCommand().get(), nullptr);
        EXPECT_EQ(navigator.asked, (std::vector<std::string>{"/code.png", "/code.png"}));
        EXPECT_EQ(item.refreshCommand()->getLabel().toUtf8(), "看不清楚");
        // Hiding removes only its own listener.
        item.hideNotify();
        EXPECT_EQ(responseListeners().count(VerifyCodeItem::kReplyKind), 1u);
        item.showNotify();
    }
    EXPECT_EQ(responseListeners().count(VerifyCodeItem::kReplyKind), 1u);
    responseListeners().remove(VerifyCodeItem::kReplyKind, &other);
    freeTrackedStyles();
}

}  // namespace
}  // namespace zq
