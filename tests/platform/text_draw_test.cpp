#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/device_context.h"
#include "platform/font.h"
#include "tests/support/test_font.h"

namespace zq {
namespace {

constexpr Color kInk = rgb(255, 0, 0);
constexpr Color kPaper = rgb(0, 255, 0);
constexpr Color kBlack = 0;

// '#' ink, 'o' background colour, '.' anything else.
std::string rowDump(const Surface& s, int y, int x0, int x1) {
    std::string out;
    for (int x = x0; x < x1; ++x) {
        Color c = s.getPixel(x, y);
        out += c == kInk ? '#' : c == kPaper ? 'o' : '.';
    }
    return out;
}

std::string columnDump(const Surface& s, int x, int y0, int y1) {
    std::string out;
    for (int y = y0; y < y1; ++y) out += s.getPixel(x, y) == kInk ? '#' : '.';
    return out;
}

// True when every pixel outside `keep` still has colour `original`.
bool untouchedOutside(const Surface& s, const Rect& keep, Color original) {
    for (int y = 0; y < s.height(); ++y) {
        for (int x = 0; x < s.width(); ++x) {
            if (!keep.contains(x, y) && s.getPixel(x, y) != original) return false;
        }
    }
    return true;
}

// The fixed font at 14 px: 7 px per character, ascent 11; a glyph is the
// box x+1..x+5, y+1..y+12 of its cell.
class TextDraw : public testing::Test {
protected:
    TextDraw() {
        dc.selectFont(getFont(14));
        dc.setTextColor(kInk);
        dc.setBackgroundColor(kPaper);
        dc.setBackgroundMode(BackgroundMode::Transparent);
    }

    int draw(std::u16string_view text, Rect rect, unsigned format) {
        return dc.drawText(text, rect, format);
    }
    int linesFor(std::u16string_view text, int width, unsigned format) {
        Rect rect{0, 0, width, 0};
        return dc.drawText(text, rect, format | kTextCalcRect) / 14;
    }

    test::ScopedFixedFont fixed;
    Surface surface{80, 60};
    DeviceContext dc{surface};
};

TEST_F(TextDraw, HorizontalAlignment) {
    const Rect rect{4, 2, 40, 16};
    draw(u"ab", rect, kTextLeft);
    EXPECT_EQ(rowDump(surface, 8, 0, 40), ".....#####..#####.......................");
    surface.resize(80, 60);
    draw(u"ab", rect, kTextCenter);
    EXPECT_EQ(rowDump(surface, 8, 0, 40), "................#####..#####............");
    surface.resize(80, 60);
    draw(u"ab", rect, kTextRight);
    EXPECT_EQ(rowDump(surface, 8, 0, 40), "...........................#####..#####.");
}

TEST_F(TextDraw, VerticalCentreAppliesToSingleLinesOnly) {
    const Rect rect{0, 10, 30, 40};
    EXPECT_EQ(draw(u"a", rect, kTextSingleLine | kTextVCenter), 14);
    // Cell top 10 + (30 - 14) / 2 = 18; the box covers rows 19..30.
    EXPECT_EQ(columnDump(surface, 3, 10, 40), ".........############.........");
    surface.resize(80, 60);
    draw(u"a", rect, kTextVCenter);
    EXPECT_EQ(columnDump(surface, 3, 10, 40), ".############.................");
}

TEST_F(TextDraw, WordBreakAtBlanks) {
    EXPECT_EQ(draw(u"aa bb cc", {0, 0, 35, 60}, kTextWordBreak), 28);
    EXPECT_EQ(rowDump(surface, 6, 0, 35), ".#####..#####.........#####..#####.");
    EXPECT_EQ(rowDump(surface, 20, 0, 35), ".#####..#####......................");
    EXPECT_EQ(rowDump(surface, 34, 0, 35), std::string(35, '.'));

    // Words longer than the line break by character.
    EXPECT_EQ(linesFor(u"abcdefgh", 21, kTextWordBreak), 3);
    EXPECT_EQ(linesFor(u"a bcdefg", 28, kTextWordBreak), 3);  // "a", "bcde", "fg"
    // Without the bit a long line is one line.
    EXPECT_EQ(linesFor(u"aa bb cc", 35, 0), 1);
    // A zero-width rectangle still takes one character per line.
    EXPECT_EQ(linesFor(u"abc", 0, kTextWordBreak), 3);
}

// Pins: the blank at a break counted in a centred line's width.
TEST_F(TextDraw, CentredWrappedLineLeavesOutTheBlankAtTheBreak) {
    draw(u"aa b cc", {0, 0, 42, 60}, kTextWordBreak | kTextCenter);
    EXPECT_EQ(rowDump(surface, 6, 0, 42), "........#####..#####.........#####........");
    EXPECT_EQ(rowDump(surface, 20, 0, 42), "...............#####..#####...............");
}

TEST_F(TextDraw, CjkBreaksBetweenAnyTwoCharacters) {
    EXPECT_EQ(linesFor(u"中文字符测试", 28, kTextWordBreak), 2);
    // A break may fall between an ideograph and a Latin word: "中" / "abcde",
    // not "中abcd" / "e".
    draw(u"中abcde", {0, 0, 35, 60}, kTextWordBreak);
    EXPECT_EQ(rowDump(surface, 6, 0, 35), ".#####.............................");
    EXPECT_EQ(rowDump(surface, 20, 0, 35), ".#####..#####..#####..#####..#####.");
}

TEST_F(TextDraw, LineFeeds) {
    EXPECT_EQ(linesFor(u"ab\ncd", 100, 0), 2);
    EXPECT_EQ(linesFor(u"ab\r\ncd", 100, 0), 2);
    EXPECT_EQ(linesFor(u"ab\n", 100, 0), 1);
    EXPECT_EQ(linesFor(u"\n\n", 100, 0), 2);
    EXPECT_EQ(linesFor(u"", 100, 0), 0);
    EXPECT_EQ(linesFor(u"aa\nbb cc", 35, kTextWordBreak), 2);

    draw(u"ab\ncd", {0, 0, 80, 60}, 0);
    EXPECT_EQ(rowDump(surface, 20, 0, 14), ".#####..#####.");
    surface.resize(80, 60);
    // On a single line, line feeds are nothing: "abcd" in a row.
    EXPECT_EQ(draw(u"ab\ncd", {0, 0, 80, 60}, kTextSingleLine), 14);
    EXPECT_EQ(rowDump(surface, 6, 0, 29), ".#####..#####..#####..#####..");
    EXPECT_EQ(rowDump(surface, 20, 0, 14), "..............");
}

TEST_F(TextDraw, CalcRectMeasuresWithoutDrawing) {
    Rect single{5, 5, 100, 100};
    EXPECT_EQ(dc.drawText(u"abc", single, kTextSingleLine | kTextCalcRect), 14);
    EXPECT_EQ(single, (Rect{5, 5, 26, 19}));

    Rect lines{5, 5, 100, 100};
    EXPECT_EQ(dc.drawText(u"ab\nabcd", lines, kTextCalcRect), 28);
    EXPECT_EQ(lines, (Rect{5, 5, 33, 33}));

    Rect wrapped{0, 0, 35, 0};
    EXPECT_EQ(dc.drawText(u"aa bb cc", wrapped, kTextWordBreak | kTextCalcRect), 28);
    EXPECT_EQ(wrapped, (Rect{0, 0, 35, 28}));

    EXPECT_TRUE(untouchedOutside(surface, {}, kBlack));
}

TEST_F(TextDraw, ClipsToTheRectangleAndTheDeviceClip) {
    const std::u16string text = u"abcdefghij klmnopqrstuvwxyz 中文字符 abcdefghij";
    dc.setBackgroundMode(BackgroundMode::Opaque);

    const Rect clip{10, 10, 50, 40};
    dc.setClipRect(clip);
    draw(text, {0, 0, 80, 60}, kTextWordBreak);
    EXPECT_TRUE(untouchedOutside(surface, clip, kBlack));
    EXPECT_EQ(surface.getPixel(13, 13), kPaper);
    EXPECT_EQ(dc.clipRect(), clip);

    surface.resize(80, 60);
    dc.clearClip();
    const Rect rect{10, 10, 40, 24};
    draw(text, rect, kTextLeft);
    EXPECT_TRUE(untouchedOutside(surface, rect, kBlack));
    EXPECT_EQ(surface.getPixel(39, 12), kInk);  // the fifth box is cut at the edge

    // Glyphs partly above the rectangle are cut at its top.
    surface.resize(80, 60);
    const Rect low{0, 20, 80, 30};
    draw(u"ab", low, kTextSingleLine | kTextVCenter);
    EXPECT_TRUE(untouchedOutside(surface, low, kBlack));
    EXPECT_EQ(surface.getPixel(1, 20), kInk);

    // NoClip lets text leave the rectangle but never the device clip.
    surface.resize(80, 60);
    dc.setClipRect({0, 0, 60, 60});
    draw(text, rect, kTextNoClip);
    EXPECT_EQ(surface.getPixel(46, 12), kInk);
    EXPECT_TRUE(untouchedOutside(surface, {0, 0, 60, 60}, kBlack));
}

TEST_F(TextDraw, OpaqueBackgroundFillsEachLineBox) {
    dc.fillRect(surface.bounds(), rgb(0, 0, 255));
    dc.setBackgroundMode(BackgroundMode::Opaque);
    draw(u"ab\nc", {0, 0, 80, 60}, 0);
    EXPECT_EQ(surface.getPixel(0, 0), kPaper);
    EXPECT_EQ(surface.getPixel(13, 13), kPaper);
    EXPECT_EQ(surface.getPixel(1, 1), kInk);
    EXPECT_EQ(surface.getPixel(14, 0), rgb(0, 0, 255));  // right of the first line
    EXPECT_EQ(surface.getPixel(6, 27), kPaper);          // the second line's box: 7 wide
    EXPECT_EQ(surface.getPixel(7, 27), rgb(0, 0, 255));
    EXPECT_EQ(surface.getPixel(0, 28), rgb(0, 0, 255));  // below the text

    dc.fillRect(surface.bounds(), rgb(0, 0, 255));
    dc.setBackgroundMode(BackgroundMode::Transparent);
    draw(u"ab", {0, 0, 80, 60}, 0);
    EXPECT_EQ(surface.getPixel(0, 0), rgb(0, 0, 255));
    EXPECT_EQ(surface.getPixel(1, 1), kInk);
}

TEST_F(TextDraw, SurrogatePairIsOneCharacter) {
    EXPECT_EQ(dc.textExtent(u"a\xD83D\xDE00"
                            u"b"),
              (Size{21, 14}));
    draw(
        u"a\xD83D\xDE00"
        u"b",
        {0, 0, 80, 60}, 0);
    EXPECT_EQ(rowDump(surface, 6, 0, 24), ".#####..#####..#####....");
}

TEST_F(TextDraw, TextOutPlacesTheCellCorner) {
    dc.setClipRect({0, 0, 15, 60});
    dc.textOut(10, 20, u"ab");
    EXPECT_EQ(surface.getPixel(10, 20), kBlack);
    EXPECT_EQ(surface.getPixel(11, 21), kInk);
    EXPECT_EQ(surface.getPixel(14, 32), kInk);
    EXPECT_EQ(surface.getPixel(11, 33), kBlack);
    EXPECT_TRUE(untouchedOutside(surface, {0, 0, 15, 60}, kBlack));

    dc.clearClip();
    dc.setBackgroundMode(BackgroundMode::Opaque);
    dc.textOut(10, 40, u"ab");
    EXPECT_EQ(surface.getPixel(10, 40), kPaper);
    EXPECT_EQ(surface.getPixel(23, 53), kPaper);
    EXPECT_EQ(surface.getPixel(24, 53), kBlack);
    EXPECT_EQ(dc.textExtent(u"ab"), (Size{14, 14}));
}

TEST_F(TextDraw, NoSelectedFontMeansFourteenPixels) {
    Surface other(10, 10);
    DeviceContext fresh(other);
    EXPECT_EQ(fresh.textExtent(u"abc"), (Size{21, 14}));
}

// A glyph of two pixels, half and full coverage, at the top of a 4 px cell.
class HalfInkFont final : public Font {
public:
    HalfInkFont() : Font(4, 0, 400) {
        glyph_.width = 2;
        glyph_.height = 1;
        glyph_.top = 4;
        glyph_.advance = 3;
        glyph_.coverage = {128, 255};
    }
    int charWidth(char32_t) const override { return 3; }
    const Glyph& glyph(char32_t) const override { return glyph_; }

private:
    Glyph glyph_;
};

TEST_F(TextDraw, GlyphCoverageBlendsTextColourOverThePixel) {
    dc.selectFont(std::make_shared<HalfInkFont>());
    dc.fillRect(surface.bounds(), rgb(0, 0, 200));
    dc.setTextColor(rgb(200, 100, 0));
    dc.textOut(0, 0, u"x");
    EXPECT_EQ(surface.getPixel(0, 0), rgb(100, 50, 100));
    EXPECT_EQ(surface.getPixel(1, 0), rgb(200, 100, 0));
    EXPECT_EQ(surface.getPixel(2, 0), rgb(0, 0, 200));
}

TEST(TextDrawSystemFont, CjkInkStaysInsideTheRectangle) {
    std::string error;
    if (!systemFontAvailable(&error)) GTEST_SKIP() << error;
    setFontSource(nullptr);
    Surface surface(200, 60);
    DeviceContext dc(surface);
    dc.fillRect(surface.bounds(), rgb(255, 255, 255));
    dc.setTextColor(0);
    dc.setBackgroundMode(BackgroundMode::Transparent);
    dc.selectFont(getFont(14));
    const Rect rect{20, 10, 90, 40};
    Rect r = rect;
    dc.drawText(u"招商银行股票行情 600036 涨跌幅", r, kTextWordBreak);
    int inked = 0;
    for (int y = 0; y < surface.height(); ++y) {
        for (int x = 0; x < surface.width(); ++x) {
            bool changed = surface.getPixel(x, y) != rgb(255, 255, 255);
            if (changed) {
                EXPECT_TRUE(rect.contains(x, y)) << x << "," << y;
            }
            inked += changed;
        }
    }
    EXPECT_GT(inked, 100);
}

}  // namespace
}  // namespace zq
