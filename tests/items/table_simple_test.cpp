// The simple table: widths, wrapping, header and selection keys.
#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "items/simple_table.h"
#include "platform/device_context.h"
#include "platform/surface.h"
#include "tests/support/test_font.h"
#include "ui/background.h"
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

// The text pixels in each column's span of one paint of `item` into a
// view `view` wide.
std::vector<int> inkPerColumn(TableItem& item, int view, int height, Color ink) {
    Surface surface(view, height);
    DeviceContext dc(surface);
    GraphicsContext g;
    g.init(view, height, &dc);
    item.paintContent(0, 0, 0, view, g);
    std::vector<int> counts;
    int left = item.scrollOffset();
    for (int w : item.columnWidths()) {
        int n = 0;
        for (int x = std::max(left, 0); x < std::min(left + w, view); ++x) {
            for (int y = 0; y < height; ++y) n += surface.getPixel(x, y) == ink ? 1 : 0;
        }
        counts.push_back(n);
        left += w;
    }
    return counts;
}

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
// took away its cell padding and colours, and with them every sign that the
// table had the keys. It keeps its own look, takes the focus look's
// background, or without one draws a frame.
TEST_F(SimpleTableTest, AFocusedTableKeepsItsLookAndShowsItHasTheKeys) {
    struct Case {
        const char* name;
        std::optional<Color> focusBackground;
    } cases[] = {{"a focus look with a background", 0x707070},
                 {"a focus look without one", std::nullopt}};
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.name);
        auto item = table(13, 1);
        Style* own = item->getStyle();
        Style* borrowed = createTextStyle();
        borrowed->paddingHorizontal = 0;
        if (tc.focusBackground) {
            borrowed->setBackground(std::make_unique<ColorBackground>(*tc.focusBackground));
        }
        item->init(240, 240);
        ASSERT_TRUE(item->isInteractive());
        auto corner = [&] {
            Surface surface(240, 40);
            DeviceContext dc(surface);
            GraphicsContext g;
            g.init(240, 40, &dc);
            item->paintContent(2, 2, 0, 240, g);
            return surface.getPixel(1, 1);  // just outside the cells
        };
        const Color plainCorner = corner();
        Style* saved = item->focus(borrowed, kGameDown);
        EXPECT_EQ(item->getStyle(), own);
        EXPECT_EQ(item->paddingHorizontal(), own->paddingHorizontal);
        if (tc.focusBackground) {
            EXPECT_EQ(item->getBackground(), borrowed->background());
            EXPECT_EQ(corner(), plainCorner);
        } else {
            EXPECT_EQ(corner(), own->getColor());  // the frame
        }
        item->defocus(saved);
        EXPECT_EQ(item->getStyle(), own);
        EXPECT_EQ(item->getBackground(), own->background());
        EXPECT_EQ(corner(), plainCorner);
    }
}

// Regression: a wide table's first view cut "456789.01" to "456789.0" at
// its right edge. Each number is drawn whole or not at all, and paging
// sideways brings each one whole into view.
TEST_F(SimpleTableTest, ANumberIsDrawnWholeOrNotAtAllAndEachIsReached) {
    struct Case {
        const char* name;
        uint32_t alignment;
        std::vector<int> pixelWidths;  // empty: measured
        int columns;
    } cases[] = {
        {"left aligned", 4, {}, 5},
        {"right aligned", 8, {}, 5},
        {"centred", 1, {}, 5},
        {"wide right-aligned columns", 8, {110, 110, 110}, 3},
        {"a column wider than the view", 8, {200, 100}, 2},
    };
    constexpr int kView = 150;
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.name);
        auto data = std::make_unique<TableData>(tc.columns, 1);
        for (int c = 0; c < tc.columns; ++c) data->setCell(c, 0, CString(u"456789.01"));
        TableItem item(std::move(data), createSimpleTableStyle());
        item.setColumnAlignments(
            std::vector<uint32_t>(static_cast<size_t>(tc.columns), tc.alignment));
        if (!tc.pixelWidths.empty()) item.setColumnWidths(tc.pixelWidths, false);
        const Color ink = item.getStyle()->getColor();
        auto paint = [&](int view) { return inkPerColumn(item, view, 40, ink); };
        item.init(1000, 1000);
        const std::vector<int> whole = paint(1000);
        ASSERT_GT(whole[0], 0);
        item.init(kView, kView);
        ASSERT_TRUE(item.isInteractive());
        std::vector<int> seen(whole.size(), 0);
        for (int page = 0; page < 8; ++page) {
            const std::vector<int> counts = paint(kView);
            for (size_t c = 0; c < counts.size(); ++c) {
                EXPECT_TRUE(counts[c] == 0 || counts[c] == whole[c])
                    << "column " << c << " cut on page " << page;
                seen[c] = std::max(seen[c], counts[c]);
            }
            if (!item.keyPressed(0, kGameRight)) break;
        }
        EXPECT_EQ(seen, whole) << "a number never drawn whole";
        // LEFT pages back to the start.
        for (int page = 0; page < 8 && item.keyPressed(0, kGameLeft); ++page) {
        }
        EXPECT_EQ(item.scrollOffset(), 0);
    }
}

// A text wider than the view: a long number wrapped to the view's width
// showed its last line alone ("345678901234567890", another number) until
// paged, and a title wider than the view made its column as wide and was
// never drawn at any sideways position.
TEST_F(SimpleTableTest, ATextWiderThanTheViewIsDrawnWholeOrNotAtAllAndReached) {
    struct Case {
        const char* name;
        std::vector<CString> titles;  // empty: no header
        std::vector<CString> cells;
    };
    const CString longNumber(u"12345678901234567890123456789012345678901234567890");
    const CString longTitle(u"TTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTT");
    const Case cases[] = {
        {"a number wrapped beside a narrow column", {}, {CString(u"1"), longNumber, CString(u"2")}},
        {"a title wider than the view",
         {CString(u"A"), longTitle, CString(u"B")},
         {CString(u"1"), CString(), CString(u"2")}},
    };
    constexpr int kView = 150;
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.name);
        const int columns = static_cast<int>(tc.cells.size());
        auto data = std::make_unique<TableData>(columns, 1);
        for (int c = 0; c < columns; ++c) data->setCell(c, 0, tc.cells[static_cast<size_t>(c)]);
        TableItem item(std::move(data), createSimpleTableStyle());
        if (!tc.titles.empty()) item.setHeader(tc.titles);
        item.setSelectionMode(kSelectNone);
        const Color ink = item.getStyle()->getColor();
        auto paint = [&](int view) { return inkPerColumn(item, view, 200, ink); };
        item.init(1000, 1000);
        const std::vector<int> whole = paint(1000);
        item.init(kView, kView);
        ASSERT_TRUE(item.isInteractive());
        std::vector<int> seen(whole.size(), 0);
        for (int page = 0; page < 8; ++page) {
            const std::vector<int> counts = paint(kView);
            for (size_t c = 0; c < counts.size(); ++c) {
                EXPECT_TRUE(counts[c] == 0 || counts[c] == whole[c])
                    << "column " << c << " cut on page " << page;
                seen[c] = std::max(seen[c], counts[c]);
            }
            if (!item.keyPressed(0, kGameRight)) break;
        }
        EXPECT_EQ(seen, whole) << "a text never drawn whole";
    }
}

// RIGHT held on a wide table in a tab page turned the tab page once the
// table's right end was reached: the table keeps RIGHT while it is wider
// than its view, at its end too.
TEST_F(SimpleTableTest, RightHeldPastTheEndStaysWithAWideTable) {
    auto wide = table(13, 2);
    wide->setSelectionMode(kSelectNone);
    wide->init(240, 240);
    ASSERT_GT(wide->tableWidth(), wide->contentWidth());
    const int end = wide->contentWidth() - wide->tableWidth();
    for (int i = 0; i < 10 && wide->scrollOffset() != end; ++i) wide->keyPressed(0, kGameRight);
    ASSERT_EQ(wide->scrollOffset(), end);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(wide->keyPressed(0, kGameRight)) << "repeat " << i;
    EXPECT_EQ(wide->scrollOffset(), end);
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
