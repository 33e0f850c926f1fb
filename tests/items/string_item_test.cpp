#include "items/string_item.h"

#include <gtest/gtest.h>

#include "platform/device_context.h"
#include "platform/surface.h"
#include "tests/support/test_font.h"
#include "ui/client_context.h"
#include "ui/font_cache.h"
#include "ui/graphics_context.h"
#include "ui/style.h"

namespace zq {
namespace {

constexpr Color kGreen = 0x00FF00;
constexpr Color kRed = 0x0000FF;

// Every character 7 px wide, lines 14 px high.
class StringItemTest : public ::testing::Test {
protected:
    ClientContext context_;
    StringItemTest() { releaseSharedFonts(); }
    ~StringItemTest() override { releaseSharedFonts(); }

    Style* textStyle(int lineGap = 2) {
        Style* s = allocTracked();
        s->font = getFont(14);
        s->color = kGreen;
        s->setSpacings(0, 0, 0, 0, lineGap, 0);
        return s;
    }

    test::ScopedFixedFont fixed;
};

TEST_F(StringItemTest, WrapsToTheFirstAndFollowingLineWidths) {
    StringItem item(CString(), u"ABCDEFGHIJKL", textStyle());
    // A line ends before the character that reaches the width.
    item.init(21, 35);
    EXPECT_EQ(item.getLines(), (StringArray{u"AB", u"CDEF", u"GHIJ", u"KL"}));
    EXPECT_EQ(item.contentWidth(), 28);
    EXPECT_EQ(item.contentHeight(), 4 * (14 + 2) - 2);
    EXPECT_EQ(item.getFontHeight(), 14);

    item.setWrap(false);
    item.init(21, 35);
    EXPECT_EQ(item.getLines(), StringArray{u"ABCDEFGHIJKL"});
    EXPECT_EQ(item.contentWidth(), 84);
    EXPECT_EQ(item.contentHeight(), 14);

    item.setText(CString());
    EXPECT_TRUE(item.getLines().empty());
    item.init(21, 35);
    EXPECT_EQ(item.itemWidth(), 0);
    EXPECT_EQ(item.itemHeight(), 0);

    // Styles without a font share the default font.
    StringItem plain(CString(), u"AB", allocTracked());
    StringItem other(CString(), u"CD", allocTracked());
    plain.init(100, 100);
    other.init(100, 100);
    EXPECT_EQ(plain.getFont(), StringItem::defaultFont());
    EXPECT_EQ(plain.getFont(), other.getFont());
}

TEST_F(StringItemTest, IndentStartsEveryParagraphAndNeverLimitsLines) {
    Style* s = textStyle(0);
    setStyleProperty(s, prop::kIndentCount, 2);
    StringItem item(CString(), u"ab\ncd", s);
    item.init(200, 200);
    EXPECT_EQ(item.getIndent(), 2);
    EXPECT_EQ(item.getLines(), (StringArray{u"    ab", u"    cd"}));

    // Laying out again does not indent twice.
    item.setText(u"ABCDEFGHIJKLMNOPQRST");
    item.init(35, 35);
    item.init(35, 35);
    EXPECT_EQ(item.getLines(), (StringArray{u"    ", u"ABCD", u"EFGH", u"IJKL", u"MNOP", u"QRST"}));
    EXPECT_EQ(item.contentHeight(), 6 * 14);

    // A style without the property keeps the indent.
    item.setStyle(textStyle());
    EXPECT_EQ(item.getIndent(), 2);
}

TEST_F(StringItemTest, LoginFlagPaintsTheDelegateMarkRed) {
    Surface surface(100, 80);
    DeviceContext dc(surface);
    GraphicsContext g;
    g.init(100, 80, &dc);
    StringItem item(CString(), u"委\nAB\n委x", textStyle(0));
    item.init(100, 100);
    // Inside the first glyph box of each line.
    auto glyphColour = [&](int line) { return surface.getPixel(3, 5 + 14 * line); };

    context_.setLoginFlag(true);
    item.paint(0, 0, 0, 100, g);
    EXPECT_EQ(glyphColour(0), kRed);
    EXPECT_EQ(glyphColour(1), kGreen);
    EXPECT_EQ(glyphColour(2), kGreen);  // only a line reading exactly the mark
    EXPECT_EQ(dc.textColor(), 0u);      // the colour in force before is back

    context_.setLoginFlag(false);
    item.paint(0, 0, 0, 100, g);
    EXPECT_EQ(glyphColour(0), kGreen);
}

TEST_F(StringItemTest, LabelsAreStringItemsBesideTheText) {
    StringItem item(u"Ab", u"Hello", textStyle());
    item.init(200, 200);
    ASSERT_NE(item.getLabelItem(), nullptr);
    EXPECT_EQ(item.getLabel(), CString(u"Ab"));
    // The label style's box: margins 0 2 2 2, paddings of 1.
    EXPECT_TRUE(item.isLabelBeside());
    EXPECT_EQ(item.getLabelItem()->itemWidth(), 14 + 4);
    EXPECT_EQ(item.itemWidth(), 18 + 35);
    EXPECT_EQ(item.itemHeight(), 20);

    item.setLabel(u"Longer");
    EXPECT_FALSE(item.isInitialised());
    EXPECT_EQ(item.getLabel(), CString(u"Longer"));
}

}  // namespace
}  // namespace zq
