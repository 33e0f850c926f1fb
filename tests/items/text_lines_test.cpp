#include "items/text_lines.h"

#include <gtest/gtest.h>

#include "platform/font.h"
#include "tests/support/test_font.h"
#include "ui/font_cache.h"

namespace zq {
namespace {

// 7 px per character: a width of 30 holds four.
class TextLinesTest : public ::testing::Test {
protected:
    test::ScopedFixedFont fixed;
    FontRef font = getFont(14);
};

TEST_F(TextLinesTest, BreaksAtBlanksElseMidWordAndAlwaysAtLineFeeds) {
    const CString text(u"ab cdefgh\n\nx");
    TextLines lines;
    lines.wrap(text, *font, 30, 30);
    ASSERT_EQ(lines.count(), 5);  // "ab " "cdef" "gh\n" "\n" "x"
    EXPECT_EQ(lines.lineText(text, 0), CString(u"ab "));
    EXPECT_EQ(lines.lineText(text, 1), CString(u"cdef"));
    EXPECT_EQ(lines.lineText(text, 2), CString(u"gh"));
    EXPECT_EQ(lines.line(2).end, 10);  // the line feed stays in its range
    EXPECT_EQ(lines.lineText(text, 3), CString());
    EXPECT_EQ(lines.widest(text, *font), 28);

    lines.wrap(text, *font, 0, 0);  // no width: line feeds only
    EXPECT_EQ(lines.count(), 3);
    lines.wrap(CString(u"ab\n"), *font, 30, 30);
    EXPECT_EQ(lines.count(), 2);  // the caret may stand on the empty last line
    lines.wrap(CString(), *font, 30, 30);
    EXPECT_TRUE(lines.isEmpty());
}

TEST_F(TextLinesTest, CaretKeepsItsColumnAcrossLines) {
    const CString text(u"abcd\nx\nwxyz");
    TextLines lines;
    lines.setLineHeight(20);
    lines.wrap(text, *font, 100, 100);
    lines.locate(text, *font, 3);
    EXPECT_EQ(lines.caretLine(), 0);
    EXPECT_EQ(lines.caretX(), 21);
    EXPECT_EQ(lines.indexOnLineAway(text, text.length(), -1), -1);
    EXPECT_EQ(lines.indexOnLineAway(text, text.length(), 1), 6);  // before the line feed
    EXPECT_EQ(lines.indexOnLineAway(text, text.length(), 2), 10);
    lines.locate(text, *font, 5);
    EXPECT_EQ(lines.caretLine(), 1);
    EXPECT_EQ(lines.caretY(), 20);
    EXPECT_EQ(lines.caretLineWidth(), 7);
    EXPECT_EQ(lines.indexOnLineAway(text, text.length(), 1), 7);
    EXPECT_EQ(lines.indexOnLineAway(text, text.length(), 2), -1);
}

// Regression: lines were cut, and columns counted, in UTF-16 units, so a
// wrapped emoji line began and ended with half a character.
TEST_F(TextLinesTest, ASurrogatePairIsOneCharacter) {
    const CString text(u"😀😀😀😀😀😀");  // six characters, twelve units
    EXPECT_EQ(charCount(text), 6);
    EXPECT_EQ(nextCharIndex(text, 2), 4);
    EXPECT_EQ(previousCharIndex(text, 4), 2);
    EXPECT_EQ(advanceChars(text, 0, 2, text.length()), 4);
    TextLines lines;
    lines.setLineHeight(20);
    lines.wrap(text, *font, 30, 30);  // four characters a line
    ASSERT_EQ(lines.count(), 2);
    EXPECT_EQ(lines.line(0).end, 8);
    EXPECT_EQ(lines.lineText(text, 1), CString(u"😀😀"));
    lines.locate(text, *font, 4);
    EXPECT_EQ(lines.caretColumn(), 2);
    EXPECT_EQ(lines.caretX(), 14);
    EXPECT_EQ(lines.indexOnLineAway(text, text.length(), 1), 12);
    // "ab😀" above "😀😀😀😀": the second character's column is index 2 below.
    const CString mixed(u"ab😀\n😀😀😀😀");
    lines.wrap(mixed, *font, 100, 100);
    lines.locate(mixed, *font, 4);
    EXPECT_EQ(lines.caretColumn(), 3);
    EXPECT_EQ(lines.indexOnLineAway(mixed, mixed.length(), 1), 5 + 6);
}

}  // namespace
}  // namespace zq
