#include "markup/table_builders.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/xml_parser.h"
#include "items/fixed_head_table.h"
#include "items/simple_table.h"
#include "markup/element_dispatch.h"
#include "markup/markup_page.h"
#include "tests/support/markup_fixture.h"
#include "ui/empty_container.h"
#include "ui/event.h"
#include "ui/font_cache.h"
#include "ui/style.h"

namespace zq {
namespace {

class TableBuildersTest : public test::MarkupFixture<> {
protected:
    TableBuildersTest() { releaseSharedFonts(); }
    ~TableBuildersTest() override {
        page_.reset();
        freeTrackedStyles();
        releaseSharedFonts();
    }

    void build(const std::string& xml) { buildChildren("<zqml>" + xml + "</zqml>"); }
    SimpleTableModel& model(size_t i = 0) const { return *control<FixTableItem>(i)->getModel(); }
};

TEST_F(TableBuildersTest, HeadKeysAndShortRowsArePadded) {
    build(R"(<table id="q"><th><td name="code">Code</td><td name="name">Name</td>
             <td name="price">Price</td></th>
             <tr onclick="row0"><td onclick="c0">600000</td><td>X</td></tr>
             <tr><td>1</td><td>2</td><td>3</td><td>dropped</td></tr></table>)");
    ASSERT_EQ(page_->controls().size(), 1u);
    FixTableItem* table = control<FixTableItem>(0);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->getId(), CString(u"q"));
    SimpleTableModel& m = *table->getModel();
    EXPECT_EQ(m.getColumnKey(2), CString(u"price"));
    EXPECT_EQ(m.getColumnCount(), 3);
    EXPECT_EQ(m.getRowCount(), 2);
    EXPECT_EQ(m.getValueAt(2, 0), CString());
    EXPECT_EQ(m.getColorAt(2, 0), kTableColorDefault);
    // The row action of a short row stands right after its last cell.
    EXPECT_EQ(m.getExtraAt(0, 0), CString(u"c0"));
    EXPECT_EQ(m.getExtraAt(0, 2), CString(u"row0"));
    EXPECT_EQ(m.getValueAt(2, 1), CString(u"3"));
    EXPECT_EQ(m.getExtraRowLength(1), 4);
}

TEST_F(TableBuildersTest, RaggedRowsWithoutHeadDoNotAbortTheBuild) {
    build(R"(<table><tr><td>a</td></tr><tr><td>b</td><td>c</td><td>d</td></tr>
             <tr/><tr><td/><td>e</td></tr></table>)");
    ASSERT_NE(control<FixTableItem>(0), nullptr);
    SimpleTableModel& m = model();
    EXPECT_EQ(m.getRowCount(), 3);  // a "tr" without cells adds no row
    EXPECT_EQ(m.getColumnCount(), 3);
    // The empty cell element keeps its column.
    EXPECT_EQ(m.getValueAt(1, 2), CString(u"e"));
}

TEST_F(TableBuildersTest, TextChildrenMakeCellsAndClassColumnsColour) {
    build(R"(<style>up{font-color:#ff0000}
plain{align:right}</style>
             <table><th><td name="n" classcolum="up"><text>A</text><text> </text><text>B</text></td>
             <td classcolum="plain">C</td></th>
             <tr><td>1</td><td>2</td><td class="up">3</td></tr></table>)");
    SimpleTableModel& m = model();
    EXPECT_EQ(m.getColumnCount(), 3);
    EXPECT_EQ(m.getColumnName(1), CString(u"B"));
    EXPECT_EQ(m.getColumnKey(1), CString(u"n"));
    EXPECT_EQ(m.getColorAt(0, 0), 0x0000FF);
    EXPECT_EQ(m.getColorAt(1, 0), 0x0000FF);  // same column class as its text sibling
    EXPECT_EQ(m.getColorAt(2, 0), 0x0000FF);  // its own class
    EXPECT_EQ(m.getColumnAlignment(2), 8u);
}

TEST_F(TableBuildersTest, LockAndFlagAttributes) {
    struct Case {
        const char* attributes;
        int locked;
        bool headLock;
        bool border;
    } cases[] = {{R"(collock="2" headlock="TRUE" border="true")", 2, true, true},
                 {R"(ck="2a" hk="yes" bd="no")", 0, false, false},
                 {R"(collock="" )", 0, false, false},
                 {R"(collock="99999999999")", 3, false, false}};
    for (const Case& c : cases) {
        page_ = std::make_unique<MarkupPage>();
        build(std::string("<table ") + c.attributes +
              "><th><td>a</td><td>b</td><td>c</td></th><tr><td>1</td></tr></table>");
        FixTableItem* table = control<FixTableItem>(0);
        ASSERT_NE(table, nullptr) << c.attributes;
        EXPECT_EQ(table->lockedColumns(), c.locked) << c.attributes;
        EXPECT_EQ(table->headLock(), c.headLock) << c.attributes;
        EXPECT_EQ(table->borderFlag(), c.border) << c.attributes;
    }
}

TEST_F(TableBuildersTest, SimpleTableWidthsAndHeader) {
    build(R"(<simpletable id="s"><th><td>K</td><td>V</td></th>
             <tr><td>a</td><td>1</td></tr><tr><td>b</td></tr></simpletable>
             <simpletable><th><td/><td class="x"></td><td/></th><tr><td>1</td></tr></simpletable>)");
    TableItem* two = control<TableItem>(0);
    ASSERT_NE(two, nullptr);
    EXPECT_TRUE(two->hasHeader());
    two->initContent(200, 200);
    EXPECT_EQ(two->columnWidths(), (std::vector<int>{70, 122}));  // 36 and 62 per cent
    EXPECT_EQ(two->getTableData()->getCell(1, 0), CString(u"1"));
    TableItem* three = control<TableItem>(1);
    ASSERT_NE(three, nullptr);
    EXPECT_FALSE(three->hasHeader());
    EXPECT_EQ(three->getColumnCount(), 3);
}

TEST_F(TableBuildersTest, RegisteredOnlyAtPageLevel) {
    ASSERT_TRUE(parser_.setDoc(CString("<table><tr><td>1</td></tr></table>")));
    ASSERT_TRUE(parser_.findElem());
    EmptyContainer holder(CString(), 0, 0, nullptr);
    Item* built = buildTable(*page_, parser_, &holder);
    ASSERT_NE(built, nullptr);
    EXPECT_TRUE(page_->controls().empty());
    EXPECT_TRUE(page_->holdsControl(built));
}

// Fixed-metric fonts that count how often U+7532 is measured.
struct CountingSource : FontSource {
    struct CountingFont : Font {
        CountingFont(FontRef inner, int& count)
            : Font(inner->ascent(), inner->descent(), inner->weight()),
              inner_(std::move(inner)),
              count_(count) {}
        int charWidth(char32_t ch) const override {
            if (ch == U'\u7532') ++count_;
            return inner_->charWidth(ch);
        }
        const Glyph& glyph(char32_t ch) const override { return inner_->glyph(ch); }
        FontRef inner_;
        int& count_;
    };
    FontRef font(int height, int weight) override {
        return std::make_shared<CountingFont>(FixedFontSource().font(height, weight), count);
    }
    int count = 0;
};

TEST_F(TableBuildersTest, ColumnsAreMeasuredOnceInTheTablesFont) {
    auto source = std::make_shared<CountingSource>();
    setFontSource(source);
    releaseSharedFonts();
    page_->setPageFont(getFont(23));  // not the table style's own font
    build("<table><tr><td>\u7532</td><td>b</td></tr></table>");
    EXPECT_EQ(source->count, 1);
    page_.reset();
    releaseSharedFonts();
    setFontSource(std::make_shared<FixedFontSource>());
}

TEST_F(TableBuildersTest, LargeAndEmptyTablesBuild) {
    std::string rows;
    for (int i = 0; i < 10000; ++i) rows += "<tr><td>" + std::to_string(i) + "</td></tr>";
    build("<table>" + rows + "</table><table/><simpletable/>");
    EXPECT_EQ(model(0).getRowCount(), 10000);
    EXPECT_EQ(model(1).getColumnCount(), 0);
    ASSERT_NE(control<TableItem>(2), nullptr);
    control<TableItem>(2)->initContent(240, 240);
}

}  // namespace
}  // namespace zq
