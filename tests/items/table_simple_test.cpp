// The simple table: widths, wrapping, header and selection keys.
#include <gtest/gtest.h>

#include <memory>

#include "items/simple_table.h"
#include "platform/device_context.h"
#include "platform/surface.h"
#include "tests/support/test_font.h"
#include "ui/default_styles.h"
#include "ui/font_cache.h"
#include "ui/graphics_context.h"
#include "ui/style.h"

namespace zq {
namespace {

class SimpleTableTest : public ::testing::Test {
protected:
    SimpleTableTest() { releaseSharedFonts(); }
    ~SimpleTableTest() override {
        freeTrackedStyles();
        releaseSharedFonts();
    }

    static std::unique_ptr<TableItem> table(int columns, int rows) {
        auto data = std::make_unique<TableData>(columns, rows);
        for (int c = 0; c < columns; ++c) {
            for (int r = 0; r < rows; ++r)
                data->setCell(c, r, CString::format(CString(u"%d%d"), c, r));
        }
        auto item = std::make_unique<TableItem>(std::move(data), createSimpleTableStyle());
        item->setStyle(createSimpleTableStyle());
        return item;
    }

    test::ScopedFixedFont fixed_;  // 7 px per character, 14 px lines
};

TEST_F(SimpleTableTest, DataIgnoresCellsOutsideTheTable) {
    TableData data(2, 2);
    data.setCell(2, 0, CString(u"x"));
    data.setCell(0, -1, CString(u"x"));
    data.setCell(1, 1, CString(u"y"));
    EXPECT_EQ(data.getCell(1, 1), CString(u"y"));
    EXPECT_EQ(data.getCell(5, 5), CString());
    TableData negative(-3, -1);
    EXPECT_EQ(negative.columnCount(), 0);
}

TEST_F(SimpleTableTest, PercentWidthsBecomePixels) {
    struct Case {
        std::vector<int> percent;
        int lineWidth;
        std::vector<int> pixels;
    } cases[] = {{{30, 70}, 200, {58, 138}}, {{36, 62}, 240, {84, 146}}, {{0, 1}, 100, {1, 1}}};
    for (const Case& c : cases) {
        auto item = table(2, 1);
        item->setColumnWidths(c.percent, true);
        item->initContent(c.lineWidth, c.lineWidth);
        EXPECT_EQ(item->columnWidths(), c.pixels);
    }
    auto item = table(3, 1);
    item->setColumnWidths({30, 70}, true);  // wrong length: ignored
    item->init(200, 200);
    EXPECT_EQ(item->columnWidths().size(), 3u);
}

TEST_F(SimpleTableTest, LongCellsWrapAndRowsGrow) {
    auto data = std::make_unique<TableData>(2, 1);
    data->setCell(0, 0, CString(u"aaaa bbbb cccc"));  // 98 px on one line
    data->setCell(1, 0, CString(u"x"));
    TableItem item(std::move(data), nullptr);
    item.setStyle(createSimpleTableStyle());
    item.setColumnWidths({40 + 2 * item.paddingHorizontal(), 60}, false);  // 40 px of text
    item.init(200, 200);
    EXPECT_EQ(item.cellLines(0, 0).size(), 3u);
    EXPECT_EQ(item.rowHeights()[0], 3 * 14 + 2 * item.paddingVertical());
    // Without pixel widths a one-line cell needs its own width.
    auto free = table(2, 2);
    free->init(200, 200);
    EXPECT_EQ(free->cellLines(0, 0).size(), 1u);
    EXPECT_EQ(free->tableWidth(), free->columnWidths()[0] + free->columnWidths()[1]);
}

// "1", "22", "333" in the default style, with a page font of 16 px (8 px
// a character): each column keeps room at both sides, and the painted texts
// keep apart.
TEST_F(SimpleTableTest, TheDefaultStyleKeepsCellsApart) {
    auto data = std::make_unique<TableData>(3, 1);
    const char16_t* texts[] = {u"1", u"22", u"333"};
    for (int c = 0; c < 3; ++c) data->setCell(c, 0, CString(texts[c]));
    Style* style = createSimpleTableStyle();
    style->font = getFont(16);
    TableItem item(std::move(data), style);
    item.init(240, 240);
    const int pad = item.paddingHorizontal();
    ASSERT_GT(pad, 0);
    EXPECT_EQ(item.columnWidths(), (std::vector<int>{8 + 2 * pad, 16 + 2 * pad, 24 + 2 * pad}));

    Surface surface(240, 40);
    DeviceContext dc(surface);
    GraphicsContext g;
    g.init(240, 40, &dc);
    item.paintContent(0, 0, 0, 240, g);
    // No ink in the blank columns either side of each boundary.
    int boundary = 0;
    for (int c = 0; c < 2; ++c) {
        boundary += item.columnWidths()[static_cast<size_t>(c)];
        for (int x = boundary - pad + 1; x < boundary + pad - 1; ++x) {
            for (int y = 0; y < item.contentHeight(); ++y) {
                EXPECT_EQ(surface.getPixel(x, y), 0u) << x << "," << y;
            }
        }
    }
}

// Thirteen columns do not fit 240 px: the table takes the focus once it is laid
// out, and RIGHT shows its right part; a narrow one, or one that must not
// take the focus, stays plain.
TEST_F(SimpleTableTest, AWideTableIsReachableOnceLaidOut) {
    auto wide = table(13, 2);
    wide->setSelectionMode(kSelectNone);
    EXPECT_FALSE(wide->isInteractive());
    wide->init(240, 240);
    ASSERT_GT(wide->tableWidth(), 240);
    EXPECT_TRUE(wide->isInteractive());
    EXPECT_TRUE(wide->keyPressed(0, kGameRight));
    EXPECT_LT(wide->scrollOffset(), 0);

    auto narrow = table(2, 2);
    narrow->setSelectionMode(kSelectNone);
    narrow->init(240, 240);
    EXPECT_FALSE(narrow->isInteractive());
    auto still = table(13, 2);
    still->setFocusable(false);
    still->setSelectionMode(kSelectNone);
    still->init(240, 240);
    EXPECT_FALSE(still->isInteractive());
}

// A focused table scrolls sideways; a focus look borrowed from the page
// took away its cell padding and colours.
TEST_F(SimpleTableTest, TheFocusKeepsTheTablesOwnLook) {
    auto item = table(13, 1);
    Style* own = item->getStyle();
    Style* borrowed = createTextStyle();
    borrowed->paddingHorizontal = 0;
    item->init(240, 240);
    Style* saved = item->focus(borrowed, kGameDown);
    EXPECT_EQ(item->getStyle(), own);
    EXPECT_EQ(item->paddingHorizontal(), own->paddingHorizontal);
    item->defocus(saved);
    EXPECT_EQ(item->getStyle(), own);
}

TEST_F(SimpleTableTest, HeaderUsesAtMostTheColumns) {
    auto item = table(2, 1);
    item->setHeader({});
    EXPECT_FALSE(item->hasHeader());
    item->setHeader({CString(u"A"), CString(u"B"), CString(u"C")});
    item->init(200, 200);
    EXPECT_TRUE(item->hasHeader());
    EXPECT_EQ(item->headerHeight(), 14);
}

TEST_F(SimpleTableTest, SelectionMovesWithinItsMode) {
    auto item = table(3, 3);
    item->init(240, 240);
    item->setSelectionMode(kSelectRow);
    EXPECT_TRUE(item->isInteractive());
    EXPECT_EQ(item->selectedRow(), 0);
    EXPECT_EQ(item->selectedColumn(), -1);
    EXPECT_FALSE(item->keyPressed(0, kGameRight));  // rows only
    EXPECT_TRUE(item->keyPressed(0, kGameDown));
    EXPECT_TRUE(item->keyPressed(0, kGameDown));
    EXPECT_FALSE(item->keyPressed(0, kGameDown));  // the screen moves on
    EXPECT_EQ(item->selectedRow(), 2);

    item->setSelectionMode(kSelectCell);
    item->selectCell(7, 1);  // out of range: ignored
    item->selectCell(1, 9);
    EXPECT_EQ(item->selectedColumn(), 0);
    EXPECT_EQ(item->selectedRow(), 0);
    EXPECT_TRUE(item->keyPressed(0, kGameRight));
    EXPECT_EQ(item->selectedColumn(), 1);
    item->setSelectionMode(0);
    EXPECT_EQ(item->selectedRow(), -1);
}

TEST_F(SimpleTableTest, SetTableDataDropsWidthsOfAnotherShape) {
    auto item = table(2, 1);
    item->setColumnWidths({50, 50}, false);
    item->setTableData(std::make_unique<TableData>(3, 1));
    item->init(200, 200);
    EXPECT_NE(item->columnWidths(), (std::vector<int>{50, 50, 0}));
    EXPECT_EQ(item->getColumnCount(), 3);
    item->setTableData(nullptr);
    item->init(200, 200);
    EXPECT_EQ(item->getColumnCount(), -1);
    EXPECT_EQ(item->contentHeight(), 0);
}

// The data it already owns, handed back as a second owner, was kept by
// releasing that owner: a caller that forgot to release its own freed it.
TEST_F(SimpleTableTest, ASecondOwnerOfItsOwnDataIsABug) {
    EXPECT_DEATH(
        {
            auto item = table(2, 1);
            item->setTableData(std::unique_ptr<TableData>(item->getTableData()));
        },
        "already owns");
}

}  // namespace
}  // namespace zq
