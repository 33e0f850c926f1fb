// Lines: pixels stepped, end points left out, width, patterns, polylines.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "platform/device_context.h"
#include "tests/platform/raster_art.h"

namespace zq {
namespace {

using test::art;
using test::countPainted;
using test::kGapColor;
using test::kPenColor;

class RasterLine : public ::testing::Test {
protected:
    RasterLine() : dc(s) { pen(PenStyle::Solid, 1); }
    void pen(PenStyle style, int width) { dc.selectPen({style, width, kPenColor}); }
    Surface s{8, 7};
    DeviceContext dc;
};

TEST_F(RasterLine, LeavesOutTheEndPointInEveryDirection) {
    dc.line(1, 1, 5, 1);
    dc.line(6, 5, 2, 5);
    EXPECT_EQ(art(s, {0, 0, 8, 6}),
              "........\n"
              ".####...\n"
              "........\n"
              "........\n"
              "........\n"
              "...####.\n");
    s.resize(8, 7);
    dc.line(1, 0, 1, 4);
    dc.line(3, 5, 3, 1);
    dc.line(4, 1, 7, 4);
    dc.line(7, 6, 5, 4);
    EXPECT_EQ(art(s),
              ".#......\n"
              ".#..#...\n"
              ".#.#.#..\n"
              ".#.#..#.\n"
              "...#....\n"
              "...#..#.\n"
              ".......#\n");
    s.resize(8, 7);
    dc.line(3, 3, 3, 3);
    EXPECT_EQ(countPainted(s, s.bounds()), 0);
}

TEST_F(RasterLine, ShallowLineStepsAlongX) {
    dc.line(1, 1, 5, 4);
    EXPECT_EQ(art(s, {0, 0, 6, 5}),
              "......\n"
              ".#....\n"
              "..#...\n"
              "...##.\n"
              "......\n");
}

TEST_F(RasterLine, WidePenIsCentredOnTheIdealLine) {
    pen(PenStyle::Solid, 3);
    dc.line(1, 2, 6, 2);
    dc.line(7, 0, 7, 3);
    EXPECT_EQ(art(s, {0, 0, 8, 5}),
              "......##\n"
              ".#######\n"
              ".#######\n"
              ".#####..\n"
              "........\n");
    // Even width: w/2 before the ideal pixel, the rest on it and after.
    s.resize(8, 7);
    pen(PenStyle::Solid, 2);
    dc.line(1, 2, 4, 2);
    dc.line(6, 1, 6, 3);
    dc.line(0, 4, 3, 7);
    EXPECT_EQ(art(s),
              "........\n"
              ".###.##.\n"
              ".###.##.\n"
              "#.......\n"
              "##......\n"
              ".##.....\n"
              "..#.....\n");
}

TEST_F(RasterLine, DashAndDotPatternsScaleWithThePen) {
    s.resize(20, 1);
    dc.setBackgroundMode(BackgroundMode::Transparent);
    pen(PenStyle::Dash, 1);
    dc.line(0, 0, 20, 0);
    EXPECT_EQ(art(s), "######..######..####\n");
    s.resize(20, 1);
    pen(PenStyle::Dot, 1);
    dc.line(19, 0, -1, 0);  // the pattern starts at the first point
    EXPECT_EQ(art(s), ".#.#.#.#.#.#.#.#.#.#\n");

    s.resize(20, 2);
    pen(PenStyle::Dash, 2);
    dc.line(0, 1, 20, 1);
    EXPECT_EQ(art(s),
              "############....####\n"
              "############....####\n");
    s.resize(20, 2);
    pen(PenStyle::Dot, 2);
    dc.line(0, 1, 20, 1);
    EXPECT_EQ(art(s, {0, 0, 20, 1}), "##..##..##..##..##..\n");
}

TEST_F(RasterLine, OpaqueBackgroundFillsTheGaps) {
    s.resize(10, 1);
    dc.setBackgroundColor(kGapColor);
    pen(PenStyle::Dash, 1);
    dc.line(0, 0, 10, 0);
    EXPECT_EQ(art(s), "######gg##\n");
}

TEST_F(RasterLine, PolylineCarriesThePatternAndLineToMovesOn) {
    dc.setBackgroundMode(BackgroundMode::Transparent);
    pen(PenStyle::Dash, 1);
    const Point corner[] = {{0, 0}, {5, 0}, {5, 6}};
    dc.polyline(corner, 3);
    EXPECT_EQ(art(s, {0, 0, 7, 7}),
              "######.\n"
              ".......\n"
              ".......\n"
              ".....#.\n"
              ".....#.\n"
              ".....#.\n"
              ".......\n");

    s.resize(8, 7);
    pen(PenStyle::Solid, 1);
    dc.moveTo(1, 1);
    dc.lineTo(4, 1);
    dc.lineTo(4, 3);
    dc.polyline(corner, 1);
    dc.polyline(nullptr, 3);
    EXPECT_EQ(art(s, {0, 0, 6, 4}),
              "......\n"
              ".####.\n"
              "....#.\n"
              "......\n");
}

TEST_F(RasterLine, NullPenDrawsNothingButLineToStillMoves) {
    pen(PenStyle::Null, 1);
    dc.line(0, 0, 7, 6);
    dc.moveTo(0, 3);
    dc.lineTo(7, 3);
    const Point zigzag[] = {{0, 0}, {7, 6}, {0, 6}};
    dc.polyline(zigzag, 3);
    EXPECT_EQ(countPainted(s, s.bounds()), 0);
    pen(PenStyle::Solid, 1);
    dc.lineTo(7, 5);
    EXPECT_EQ(s.getPixel(7, 3), kPenColor);
}

// A line clipped to a small surface starts its steps and its pattern in the
// middle; it must paint exactly what the unclipped line paints there.
TEST(RasterLineClip, StartingMidwayGivesTheSamePixels) {
    struct Case {
        PenStyle style;
        int width;
        Point from, to;
    };
    const Case cases[] = {
        {PenStyle::Dash, 1, {0, 0}, {1300, 457}},     {PenStyle::Dot, 3, {10, 590}, {1000, 3}},
        {PenStyle::Solid, 2, {1299, 0}, {0, 599}},    {PenStyle::Dash, 2, {650, 0}, {640, 599}},
        {PenStyle::Dash, 1, {1200, 250}, {100, 250}},
    };
    const Rect window{600, 200, 700, 300};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.from.x) + "," + std::to_string(c.from.y));
        Surface whole(1300, 600), part(100, 100);
        DeviceContext wholeDc(whole), partDc(part);
        for (DeviceContext* dc : {&wholeDc, &partDc}) {
            dc->selectPen({c.style, c.width, kPenColor});
            dc->setBackgroundColor(kGapColor);
        }
        wholeDc.line(c.from.x, c.from.y, c.to.x, c.to.y);
        partDc.line(c.from.x - window.left, c.from.y - window.top, c.to.x - window.left,
                    c.to.y - window.top);
        ASSERT_GT(countPainted(part, part.bounds()), 0);
        EXPECT_EQ(art(part), art(whole, window));
    }
}

// Steps near 2^31 along a line 2^32 long need more than 64 bits in the
// Bresenham start; an overflow would put the pixels elsewhere.
TEST(RasterLineClip, ExtremeEndsStillHitTheRightPixels) {
    Surface s(16, 12);
    DeviceContext dc(s);
    dc.selectPen({PenStyle::Solid, 1, kPenColor});
    dc.line(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
    dc.line(INT_MAX, INT_MIN + 15, INT_MIN + 15, INT_MAX);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(s.getPixel(i, i), kPenColor) << i;
        EXPECT_EQ(s.getPixel(14 - i, i), kPenColor) << i;
    }
    EXPECT_EQ(countPainted(s, s.bounds()), 23);
}

}  // namespace
}  // namespace zq
