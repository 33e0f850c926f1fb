// The quote table: focus entry, column paging, paging and FIRE events,
// geometry and bad models.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "core/zq_exception.h"
#include "items/fixed_head_table.h"
#include "items/table_events.h"
#include "platform/device_context.h"
#include "platform/surface.h"
#include "platform/ui_executor.h"
#include "tests/support/display_fixture.h"
#include "tests/support/event_log.h"
#include "tests/support/test_font.h"
#include "ui/container.h"
#include "ui/default_styles.h"
#include "ui/event.h"
#include "ui/font_cache.h"
#include "ui/graphics_context.h"
#include "ui/listeners.h"
#include "ui/screen.h"
#include "ui/style.h"

namespace zq {
namespace {

using EventLog = test::EventLog;

// `rows` rows of `columns` cells "rRcC"; extra rows when `actions`.
std::shared_ptr<SimpleTableModel> model(int rows, int columns, bool actions = false) {
    std::vector<std::vector<CString>> data(static_cast<size_t>(rows));
    std::vector<std::vector<CString>> extra(static_cast<size_t>(rows));
    TextRow head;
    for (int c = 0; c < columns; ++c) head.push_back(CString::format(CString(u"H%d"), c));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            data[static_cast<size_t>(r)].push_back(CString::format(CString(u"r%dc%d"), r, c));
            extra[static_cast<size_t>(r)].push_back(c == columns - 1 ? CString(u"cell")
                                                                     : CString());
        }
        extra[static_cast<size_t>(r)].push_back(CString(u"row"));
    }
    return std::make_shared<SimpleTableModel>(makeTableRows(data), nullptr, head, std::nullopt,
                                              actions ? makeTableRows(extra) : nullptr);
}

class FixTableTest : public ::testing::Test {
protected:
    FixTableTest() { releaseSharedFonts(); }
    ~FixTableTest() override {
        freeTrackedStyles();
        releaseSharedFonts();
    }

    static void layout(FixTableItem& table, int width) { table.init(width, width); }

    test::ScopedFixedFont fixed_;  // small font: 5 px per character, 11 px cells
};

TEST_F(FixTableTest, SetModelRejectsNullWithItsText) {
    FixTableItem table(CString(), nullptr, 0, nullptr);
    try {
        table.setModel(nullptr);
        FAIL();
    } catch (const ZQException& e) {
        EXPECT_STREQ(e.what(), "model parameter cannot be NULL");
    }
    EXPECT_EQ(table.getModel(), nullptr);
}

TEST_F(FixTableTest, GeometryFromTheFont) {
    FixTableItem table(CString(u"Cap"), model(3, 5), 0, nullptr);
    EXPECT_EQ(table.rowHeight(), 17);  // 1 + trunc(1.2 * 14), the base font height
    // "r0c0" is 20 px + 2 in the construction font; the button size (15) is
    // the least width.
    EXPECT_EQ(table.columnWidths(), (std::vector<int>{22, 22, 22, 22, 22}));
    EXPECT_EQ(table.totalWidth(), 1 + 5 * 23);
    // The layout applies the default style, whose 14 px font paints: 28 + 2.
    layout(table, 236);
    EXPECT_EQ(table.columnWidths(), (std::vector<int>{30, 30, 30, 30, 30}));
    EXPECT_EQ(table.spareWidth(), (236 - 5 - 156 - 1) / 5);
    EXPECT_FALSE(table.scrollsSideways());
    // Caption, head and three rows share one row height.
    EXPECT_EQ(table.contentHeight(), 17 + 17 + 18 * 3 + 1);
}

// A table made in the construction font and then given the page's font
// measures its columns again: its numbers are not cut.
TEST_F(FixTableTest, ColumnsAreMeasuredInTheFontThatPaints) {
    FixTableItem table(CString(), model(2, 9), 0, nullptr);
    Style* style = createTableStyle();
    style->font = getFont(16);  // 8 px per character
    table.setStyle(style);
    EXPECT_EQ(table.columnWidths(), std::vector<int>(9, 4 * 8 + 2));
    layout(table, 240);
    EXPECT_TRUE(table.scrollsSideways());
    EXPECT_EQ(table.columnWidths(), std::vector<int>(9, 4 * 8 + 2));
}

TEST_F(FixTableTest, FocusEntersByDirection) {
    struct Case {
        int gameAction;
        int row;
        int column;
    } cases[] = {{kGameUp, 9, 1}, {kGameDown, 0, 1}, {kGameRight, 0, 1}, {kGameLeft, 9, 3}};
    for (const Case& c : cases) {
        FixTableItem table(CString(), model(10, 4), 1, nullptr);
        layout(table, 240);
        EXPECT_TRUE(table.keyPressed(0, c.gameAction));
        EXPECT_TRUE(table.tableFocused());
        EXPECT_EQ(table.focusedRow(), c.row);
        EXPECT_EQ(table.focusedColumn(), c.column);
    }
    FixTableItem table(CString(), model(10, 4), 0, nullptr);
    EXPECT_FALSE(table.keyPressed(0, kGameFire));
    EXPECT_FALSE(table.keyPressed('2', kGameUp));  // the digit key is left to text entry
}

TEST_F(FixTableTest, PagingActionsPastEitherEnd) {
    EventLog log;
    FixTableItem table(CString(), model(3, 2), 0, nullptr);
    table.setEventListener(&log);
    table.setUpPageAction(CString(u"forward(prev)"));
    table.setDownPageAction(CString(u"forward(next)"));
    layout(table, 240);
    table.keyPressed(0, kGameDown);  // enters on row 0
    table.keyPressed(0, kGameDown);
    table.keyPressed(0, kGameDown);
    EXPECT_TRUE(log.events.empty());
    EXPECT_TRUE(table.keyPressed(0, kGameDown));
    ASSERT_EQ(log.events.size(), 1u);
    EXPECT_EQ(log.events[0]->getAction(), CString(u"forward(next)"));
    EXPECT_EQ(log.events[0]->getSource(), &table);
    EXPECT_EQ(table.focusedRow(), 2);
    EXPECT_EQ(table.pageMarker(), 2);
    // A fresh page then puts the focus on row 0 when it comes.
    for (int i = 0; i < 3; ++i) table.keyPressed(0, kGameUp);
    ASSERT_EQ(log.events.size(), 2u);
    EXPECT_EQ(log.events[1]->getAction(), CString(u"forward(prev)"));
    EXPECT_EQ(table.pageMarker(), 1);
}

// Without paging actions the keys past either end are left to the screen,
// which moves the focus on; the table used to keep them.
TEST_F(FixTableTest, WithoutPagingActionsTheFocusLeavesPastEitherEnd) {
    FixTableItem table(CString(), model(2, 2), 0, nullptr);
    layout(table, 240);
    EXPECT_TRUE(table.keyPressed(0, kGameDown));  // enters on row 0
    EXPECT_TRUE(table.keyPressed(0, kGameDown));
    EXPECT_FALSE(table.keyPressed(0, kGameDown));
    EXPECT_EQ(table.focusedRow(), 1);
    EXPECT_TRUE(table.keyPressed(0, kGameUp));
    EXPECT_FALSE(table.keyPressed(0, kGameUp));
    EXPECT_EQ(table.focusedRow(), 0);
    EXPECT_EQ(table.pageMarker(), 0);
}

TEST_F(FixTableTest, ColumnsPageSidewaysPastTheLockedOnes) {
    // Eight columns of 23 px (with their line) in a 100 px view: two locked.
    FixTableItem table(CString(), model(2, 8), 2, nullptr);
    layout(table, 100);
    ASSERT_TRUE(table.scrollsSideways());
    table.keyPressed(0, kGameRight);  // enters on the first scrollable column
    EXPECT_EQ(table.focusedColumn(), 2);
    table.keyPressed(0, kGameRight);
    const int next = table.focusedColumn();
    EXPECT_GT(next, 2);
    EXPECT_GT(table.firstShownColumn(), 2);
    for (int i = 0; i < 10; ++i) table.keyPressed(0, kGameRight);
    EXPECT_EQ(table.focusedColumn(), 7);
    EXPECT_TRUE(table.controlButtonEnabled(3));
    EXPECT_FALSE(table.controlButtonEnabled(4));
    for (int i = 0; i < 10; ++i) table.keyPressed(0, kGameLeft);
    EXPECT_EQ(table.focusedColumn(), 2);  // never into the locked columns
    EXPECT_EQ(table.firstShownColumn(), 2);
}

// The layout and the page's arrival place the columns and the focus; a
// paint only draws them.
TEST_F(FixTableTest, AFreshPageMovesTheFocusWhenItComesAndPaintingMovesNothing) {
    UiExecutor executor;
    EventLog log;
    std::shared_ptr<SimpleTableModel> m = model(3, 8);
    FixTableItem table(CString(), m, 2, nullptr);
    table.setEventListener(&log);
    table.setDownPageAction(CString(u"forward(next)"));
    layout(table, 100);
    const int firstRight = table.firstColumnRightOfShown();
    EXPECT_GT(firstRight, 2);
    EXPECT_LT(firstRight, 8);
    for (int i = 0; i < 4; ++i) table.keyPressed(0, kGameDown);
    ASSERT_EQ(table.pageMarker(), 2);
    EXPECT_EQ(table.focusedRow(), 2);
    m->setFreshPage(true);
    m->fireTableChanged();
    executor.runPending();
    EXPECT_EQ(table.focusedRow(), 0);

    table.setFocusedRow(1);
    Surface surface(100, 120);
    DeviceContext dc(surface);
    GraphicsContext g;
    g.init(100, 120, &dc);
    table.paintContent(0, 0, 0, 100, g);
    EXPECT_EQ(table.focusedRow(), 1);
    EXPECT_EQ(table.firstColumnRightOfShown(), firstRight);
}

// Regression: when wide locked columns left too little room, the first
// scrollable column was drawn cut (right-aligned prices read "12." or
// "1888."), and once that was mended a value wider than the room was never
// drawn at any sideways position; a lock at or above the column count
// locked every column. Each value is drawn whole or not at all, and every
// one is drawn whole at some sideways position: locked columns that leave
// no room give up their lock. The titles are never covered by the arrows.
TEST_F(FixTableTest, ACutColumnShowsEachNumberWholeOrNotAtAll) {
    struct Case {
        const char* name;
        int width;
        int locked;
        std::vector<std::vector<CString>> texts;
        int lockedAfterLayout;
    };
    const CString wide(u"AAAAAAAAAAAA");  // 86 px with its padding
    const CString amount(u"123456.78");   // 65 px
    const std::vector<CString> sevenAmounts(7, amount);
    const Case cases[] = {
        {"a price too wide for the room beside the locked column",
         130,
         1,
         {{wide, CString(u"12.5"), CString(u"x")}, {wide, CString(u"1888.50"), CString(u"y")}},
         0},
        {"a locked column almost as wide as the view",
         95,
         1,
         {{wide, CString(u"12.5"), CString(u"x")}, {wide, CString(u"1888.50"), CString(u"y")}},
         0},
        {"room beside the locked column keeps the lock",
         240,
         1,
         {{wide, CString(u"12.5"), CString(u"x")}, {wide, CString(u"1888.50"), CString(u"y")}},
         1},
        {"three locked of seven", 240, 3, {sevenAmounts, sevenAmounts}, 2},
        {"locked at the column count", 240, 7, {sevenAmounts, sevenAmounts}, 2},
        {"locked above the column count", 240, 9, {sevenAmounts, sevenAmounts}, 2},
    };
    constexpr Color kHeadText = 0xFFFF52;  // the quote table style's
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.name);
        const int rows = static_cast<int>(tc.texts.size());
        const int columns = static_cast<int>(tc.texts[0].size());
        // Each cell in a colour of its own.
        auto colourOf = [](int r, int c) {
            return static_cast<Color>(0x102030 + r * 0x10 + c * 0x1000);
        };
        std::vector<std::vector<int32_t>> colours(static_cast<size_t>(rows));
        TextRow head;
        for (int c = 0; c < columns; ++c) {
            head.push_back(CString::format(CString(u"T%d"), c));
            for (int r = 0; r < rows; ++r) {
                colours[static_cast<size_t>(r)].push_back(static_cast<int32_t>(colourOf(r, c)));
            }
        }
        std::vector<uint32_t> alignments(static_cast<size_t>(columns), kAlignRightBit);
        alignments[0] = kAlignLeftBit;
        Style* style = createQuoteTableStyle();
        style->font = getFont(14);  // 7 px per character
        FixTableItem table(CString(),
                           std::make_shared<SimpleTableModel>(
                               makeTableRows(tc.texts), makeTableRows(colours), head, alignments),
                           tc.locked, style);
        // Per cell, its pixels in the paint; and the head's title pixels.
        auto paint = [&](int width, int* headPixels) {
            Surface surface(width, 80);
            DeviceContext dc(surface);
            GraphicsContext g;
            g.init(width, 80, &dc);
            table.paintContent(0, 0, 0, width, g);
            std::vector<int> counts(static_cast<size_t>(rows * columns), 0);
            *headPixels = 0;
            for (int y = 0; y < 80; ++y) {
                for (int x = 0; x < width; ++x) {
                    const Color pixel = surface.getPixel(x, y);
                    if (pixel == kHeadText) ++*headPixels;
                    for (int i = 0; i < rows * columns; ++i) {
                        if (pixel == colourOf(i / columns, i % columns))
                            ++counts[static_cast<size_t>(i)];
                    }
                }
            }
            return counts;
        };
        int headWhole = 0;
        layout(table, 2000);
        const std::vector<int> whole = paint(2000, &headWhole);
        const int titlePixels = headWhole / columns;  // every title is two glyphs
        ASSERT_GT(titlePixels, 0);

        layout(table, tc.width);
        EXPECT_EQ(table.lockedColumns(), tc.lockedAfterLayout);
        std::vector<int> seen(whole.size(), 0);
        for (int position = 0; position <= columns + 1; ++position) {
            if (position > 0) table.keyPressed(0, kGameRight);
            int headPixels = 0;
            const std::vector<int> counts = paint(tc.width, &headPixels);
            EXPECT_EQ(headPixels % titlePixels, 0) << "a title cut at position " << position;
            for (size_t i = 0; i < counts.size(); ++i) {
                EXPECT_TRUE(counts[i] == 0 || counts[i] == whole[i])
                    << "cell " << i << " cut at position " << position;
                seen[i] = std::max(seen[i], counts[i]);
            }
        }
        EXPECT_EQ(seen, whole) << "a value never drawn whole";
    }
}

// A caption wider than the table wraps, and the top of its second line
// showed at the foot of its band, over the head: only whole lines of it
// are drawn, and the foot of the band looks as with a short caption.
TEST_F(FixTableTest, ALongCaptionShowsNoLineCut) {
    auto paint = [](const CString& caption) {
        FixTableItem table(caption,
                           std::make_shared<SimpleTableModel>(
                               makeTableRows<CString>({{CString(u"600100"), CString(u"12.40")}}),
                               nullptr, TextRow{CString(u"H0"), CString(u"H1")}, std::nullopt),
                           0, createQuoteTableStyle());
        layout(table, 120);
        auto surface = std::make_unique<Surface>(120, 80);
        DeviceContext dc(*surface);
        GraphicsContext g;
        g.init(120, 80, &dc);
        table.paintContent(0, 0, 0, 120, g);
        return std::make_pair(std::move(surface), table.captionHeight());
    };
    const auto [shortOne, band] = paint(CString(u"Quotes"));
    const auto [longOne, longBand] =
        paint(CString(u"Shanghai and Shenzhen A shares, risers first, by turnover"));
    ASSERT_GT(band, 0);
    ASSERT_EQ(longBand, band);
    int differ = 0;
    for (int y = band - 3; y < 80; ++y) {
        for (int x = 0; x < 120; ++x) differ += shortOne->getPixel(x, y) != longOne->getPixel(x, y);
    }
    EXPECT_EQ(differ, 0) << "a caption line drawn cut";
}

// Rows that change width on a refresh move the lock; the sideways position
// went back to the first scrollable column while the focused column stayed
// where it was, out of view, and FIRE raised that unseen column's cell.
TEST_F(FixTableTest, ALockMovedByNewRowsKeepsTheFocusedColumnInView) {
    auto rows = [](const CString& name) {
        std::vector<std::vector<CString>> data(2);
        for (auto& row : data) {
            row = {CString(u"600100"), name};
            for (int c = 2; c < 8; ++c) row.push_back(CString(u"123.45"));
        }
        return makeTableRows(data);
    };
    const CString shortName(u"Ab");
    const CString longName(u"AVeryLongNameOfACompany");  // leaves no room beside it
    struct Case {
        const char* name;
        CString before;
        CString after;
    } cases[] = {{"the lock given up", shortName, longName},
                 {"the lock taken back", longName, shortName}};
    TextRow head;
    for (int c = 0; c < 8; ++c) head.push_back(CString::format(CString(u"H%d"), c));
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.name);
        UiExecutor executor;
        auto m = std::make_shared<SimpleTableModel>(rows(tc.before), nullptr, head, std::nullopt);
        Style* style = createQuoteTableStyle();
        style->font = getFont(14);  // 7 px per character
        FixTableItem table(CString(), m, 2, style);
        layout(table, 150);
        table.keyPressed(0, kGameDown);
        for (int i = 0; i < 8; ++i) table.keyPressed(0, kGameRight);
        ASSERT_EQ(table.focusedColumn(), 7);
        m->setData(rows(tc.after), false);
        m->fireTableChanged();
        executor.runPending();
        layout(table, 150);
        const int focused = table.focusedColumn();
        EXPECT_TRUE(focused < table.lockedColumns() || (focused >= table.firstShownColumn() &&
                                                        focused < table.firstColumnRightOfShown()))
            << "column " << focused << " focused, columns " << table.firstShownColumn() << " to "
            << table.firstColumnRightOfShown() - 1 << " shown";
    }
}

TEST_F(FixTableTest, FireRaisesTheCellElseTheRowAction) {
    EventLog log;
    FixTableItem table(CString(), model(4, 3, true), 0, nullptr);
    table.setId(CString(u"quotes"));
    table.setEventListener(&log);
    layout(table, 240);
    table.keyPressed(0, kGameDown);
    table.keyPressed(0, kGameDown);  // row 1, column 0: no cell action
    table.keyPressed(0, kGameFire);
    EXPECT_TRUE(table.keyReleased(0, kGameFire));
    table.keyPressed(0, kGameRight);  // pages to the last column, which has a cell action
    table.keyPressed(0, kGameFire);
    table.keyReleased(0, kGameFire);
    ASSERT_EQ(log.events.size(), 2u);
    ASSERT_EQ(log.events[0]->kind(), EventKind::TableRow);
    const auto& row = static_cast<const TableRowEvent&>(*log.events[0]);
    EXPECT_EQ(row.getRow(), 1);
    EXPECT_EQ(row.getRowAction(), CString(u"row"));
    EXPECT_EQ(row.getAction(), CString(u"quotes"));
    ASSERT_EQ(log.events[1]->kind(), EventKind::TableCell);
    const auto& cell = static_cast<const TableCellEvent&>(*log.events[1]);
    EXPECT_EQ(cell.toString(), CString(u"(x,y):2,1 value: r1c2"));
    EXPECT_EQ(cell.getCellAction(), CString(u"cell"));
}

TEST_F(FixTableTest, TapsFocusAndFireACellHeadTapsChangeNothing) {
    EventLog log;
    FixTableItem table(CString(), model(4, 3, true), 0, nullptr);
    table.setEventListener(&log);
    layout(table, 240);
    const int rowTop = 17 + 2 * 18 + 1;  // head, then row 2
    EXPECT_TRUE(table.pointerPressed(5, 5));
    EXPECT_TRUE(table.pointerReleased(5, 5));
    EXPECT_FALSE(table.tableFocused());
    EXPECT_TRUE(table.pointerPressed(230, rowTop + 5));
    EXPECT_TRUE(table.pointerReleased(230, rowTop + 5));
    EXPECT_EQ(table.focusedRow(), 2);
    EXPECT_EQ(table.focusedColumn(), 2);
    ASSERT_EQ(log.events.size(), 1u);
    EXPECT_EQ(log.events[0]->toString(), CString(u"(x,y):2,2 value: r2c2"));
    EXPECT_FALSE(table.pointerPressed(5, table.itemHeight() + 3));  // outside
}

TEST_F(FixTableTest, DeletingTheLastRowRaisesUppage) {
    EventLog log;
    FixTableItem table(CString(), model(1, 2), 0, nullptr);
    table.setEventListener(&log);
    table.setUpPageAction(CString(u"up"));
    EXPECT_FALSE(table.removeRow(1));
    EXPECT_TRUE(table.removeRow(0));
    EXPECT_EQ(table.rowCount(), 0);
    ASSERT_EQ(log.events.size(), 1u);
    EXPECT_EQ(log.events[0]->getAction(), CString(u"up"));
}

TEST_F(FixTableTest, BadShapesBuildAndAnswerKeys) {
    struct Case {
        int rows;
        int columns;
        int locked;
    } cases[] = {{0, 0, 0}, {5, 0, 3}, {10000, 3, 0}, {4, 3, 9}};
    for (const Case& c : cases) {
        FixTableItem table(CString(u"c"), model(c.rows, c.columns), c.locked, nullptr);
        layout(table, 240);
        EXPECT_LE(table.lockedColumns(), c.columns);
        for (int key : {kGameDown, kGameRight, kGameLeft, kGameUp, kGameFire}) {
            table.keyPressed(0, key);
            table.keyReleased(0, key);
        }
        table.pointerPressed(5, 40);
        table.pointerReleased(5, 40);
        EXPECT_GE(table.focusedRow(), 0);
    }
}

// A reply thread refills the shared model; the table hears of it on the
// UI thread only, once per burst, and not at all once it is gone.
TEST_F(FixTableTest, ChangeNoticesReachTheUiThreadAndOutliveTheItem) {
    UiExecutor executor;
    std::shared_ptr<SimpleTableModel> m = model(2, 2);
    auto table = std::make_unique<FixTableItem>(CString(), m, 0, nullptr);
    std::thread writer([&] {
        if (m->lockWrite()) {
            m->setData(makeTableRows<CString>({{u"a", u"b"}, {u"c", u"d"}, {u"e", u"f"}}), false);
            m->unlockWrite();
        }
        m->fireTableChanged();
        m->fireTableChanged();
    });
    writer.join();
    EXPECT_EQ(table->rowCount(), 2);
    EXPECT_EQ(executor.runPending(), 1);
    EXPECT_EQ(table->rowCount(), 3);
    m->fireTableChanged();
    table.reset();
    executor.runPending();
    m->fireTableChanged();
    EXPECT_EQ(m->getRowCount(), 3);
}

// A reply thread refills the model with the writer protocol while this
// thread, as the UI thread, paints the table again and again: the painter
// never keeps the writer out, so every write lands, in a few seconds at most
// on two cores. Run under ThreadSanitizer too.
TEST_F(FixTableTest, WriterAndPainterStress) {
    std::shared_ptr<SimpleTableModel> m = model(60, 4);
    FixTableItem table(CString(u"stress"), m, 1, nullptr);
    layout(table, 240);
    Surface surface(240, 320);
    DeviceContext dc(surface);
    GraphicsContext g;
    g.init(240, 320, &dc);
    std::atomic<bool> done{false};
    int landed = 0;
    std::thread writer([&] {
        for (int i = 0; i < 200; ++i) {
            std::vector<std::vector<CString>> rows(static_cast<size_t>(i % 80),
                                                   {u"a", u"b", u"c", u"d"});
            if (!m->lockWrite()) continue;
            ++landed;
            m->setData(makeTableRows(rows), false);
            m->setColors(makeTableRows<int32_t>({{-1, -2, 3, 4}}), false);
            m->unlockWrite();
            m->fireTableChanged();
        }
        done = true;
    });
    do {
        table.paintContent(0, 0, 0, 240, g);
        table.keyPressed(0, kGameDown);
    } while (!done);
    writer.join();
    EXPECT_EQ(landed, 200);
    EXPECT_EQ(m->getRowCount(), 199 % 80);
    EXPECT_LE(table.focusedRow(), std::max(table.rowCount() - 1, 0));
}

// A locked head stays at the top of the scrolled view; a tap there finds
// the head where it was drawn, not the row under its own place.
class FixTableScreenTest : public test::DisplayFixture {
protected:
    ~FixTableScreenTest() override { freeTrackedStyles(); }
};

TEST_F(FixTableScreenTest, ATapOnTheLockedHeadChangesNothing) {
    EventLog log;
    Screen screen(u"quotes", allocTracked(), true);
    auto owned = std::make_unique<FixTableItem>(CString(), model(40, 3), 0, nullptr);
    FixTableItem& table = *owned;
    table.setHeadLock(true);
    table.setEventListener(&log);
    screen.getContent()->add(std::move(owned));
    display_->setCurrent(&screen, true);
    std::string script;
    for (int i = 0; i < 26; ++i) script += "key down\n";
    run(script);
    ASSERT_EQ(table.focusedRow(), 25);
    ASSERT_LT(screen.getScrollOffset(), 0);
    const int headMiddle = screen.contentRect().top + table.rowHeight() / 2;
    run("tap 100 " + std::to_string(headMiddle) + "\n");
    EXPECT_EQ(table.focusedRow(), 25);
    EXPECT_TRUE(log.events.empty());
}

}  // namespace
}  // namespace zq
