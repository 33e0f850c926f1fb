// Rounded rectangles and ellipses: footprint, outline and fill.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "platform/device_context.h"
#include "tests/platform/raster_art.h"

namespace zq {
namespace {

using test::art;
using test::countPainted;
using test::kBrushColor;
using test::kPenColor;

struct Canvas {
    explicit Canvas(int w, int h, int penWidth = 1) : surface(w, h), dc(surface) {
        dc.selectPen({PenStyle::Solid, penWidth, kPenColor});
        dc.selectBrush(Brush::solid(kBrushColor));
    }
    Surface surface;
    DeviceContext dc;
};

TEST(RasterRoundRect, CutsTheCornersAndKeepsTheEdges) {
    Canvas c(12, 10);
    c.dc.roundRect({1, 1, 11, 9}, 6, 6);
    EXPECT_EQ(art(c.surface),
              "............\n"
              "..########..\n"
              ".##ffffff##.\n"
              ".#ffffffff#.\n"
              ".#ffffffff#.\n"
              ".#ffffffff#.\n"
              ".#ffffffff#.\n"
              ".##ffffff##.\n"
              "..########..\n"
              "............\n");

    Canvas big(24, 14);
    big.dc.roundRect({0, 0, 24, 14}, 10, 8);
    for (const Point corner : {Point{0, 0}, Point{23, 0}, Point{0, 13}, Point{23, 13}}) {
        EXPECT_EQ(big.surface.getPixel(corner.x, corner.y), 0u) << corner.x << "," << corner.y;
    }
    for (const Point mid : {Point{12, 0}, Point{12, 13}, Point{0, 7}, Point{23, 7}}) {
        EXPECT_EQ(big.surface.getPixel(mid.x, mid.y), kPenColor) << mid.x << "," << mid.y;
    }
    EXPECT_EQ(big.surface.getPixel(12, 7), kBrushColor);
}

TEST(RasterRoundRect, DegenerateCornersGiveARectangleAndHugeOnesAnEllipse) {
    for (const int corner : {0, 1, -5, INT_MIN}) {
        SCOPED_TRACE(corner);
        Canvas round(12, 10), square(12, 10);
        round.dc.roundRect({1, 1, 11, 9}, corner, corner);
        square.dc.rectangle({1, 1, 11, 9});
        EXPECT_EQ(art(round.surface), art(square.surface));
    }
    Canvas round(12, 10), oval(12, 10);
    round.dc.roundRect({1, 1, 11, 9}, INT_MAX, 1000);
    oval.dc.ellipse({1, 1, 11, 9});
    EXPECT_EQ(art(round.surface), art(oval.surface));
}

TEST(RasterEllipse, InscribedInTheHalfOpenBox) {
    Canvas c(11, 9);
    c.dc.ellipse({1, 1, 10, 8});
    EXPECT_EQ(art(c.surface),
              "...........\n"
              "...#####...\n"
              "..#fffff#..\n"
              ".#fffffff#.\n"
              ".#fffffff#.\n"
              ".#fffffff#.\n"
              "..#fffff#..\n"
              "...#####...\n"
              "...........\n");
}

// For every small box and pen: nothing outside the box, each side of the box
// touched, mirror symmetry, and no brush pixel next to the outside (a closed
// outline, also where the shape is only a few pixels wide).
TEST(RasterEllipse, FootprintAndClosedOutlineForEverySmallBox) {
    for (int pen = 1; pen <= 3; ++pen) {
        for (int w = 1; w <= 14; ++w) {
            for (int h = 1; h <= 14; ++h) {
                SCOPED_TRACE("pen " + std::to_string(pen) + " box " + std::to_string(w) + "x" +
                             std::to_string(h));
                Canvas c(w + 4, h + 4, pen);
                const Rect box{2, 2, 2 + w, 2 + h};
                c.dc.ellipse(box);
                const Surface& s = c.surface;
                ASSERT_EQ(countPainted(s, s.bounds()), countPainted(s, box));
                EXPECT_GT(countPainted(s, {box.left, box.top, box.right, box.top + 1}), 0);
                EXPECT_GT(countPainted(s, {box.left, box.bottom - 1, box.right, box.bottom}), 0);
                EXPECT_GT(countPainted(s, {box.left, box.top, box.left + 1, box.bottom}), 0);
                EXPECT_GT(countPainted(s, {box.right - 1, box.top, box.right, box.bottom}), 0);
                for (int y = box.top; y < box.bottom; ++y) {
                    for (int x = box.left; x < box.right; ++x) {
                        const Color p = s.getPixel(x, y);
                        ASSERT_EQ(p, s.getPixel(box.right - 1 - (x - box.left), y));
                        ASSERT_EQ(p, s.getPixel(x, box.bottom - 1 - (y - box.top)));
                        if (p != kBrushColor) continue;
                        ASSERT_NE(s.getPixel(x - 1, y), 0u) << x << "," << y;
                        ASSERT_NE(s.getPixel(x + 1, y), 0u) << x << "," << y;
                        ASSERT_NE(s.getPixel(x, y - 1), 0u) << x << "," << y;
                        ASSERT_NE(s.getPixel(x, y + 1), 0u) << x << "," << y;
                    }
                }
            }
        }
    }
}

TEST(RasterEllipse, WidePenLiesInsideAndBrushFillsTheRest) {
    Canvas c(20, 12, 3);
    c.dc.ellipse({0, 0, 20, 12});
    EXPECT_EQ(art(c.surface, {0, 5, 5, 7}),
              "###ff\n"
              "###ff\n");
    EXPECT_EQ(art(c.surface, {8, 0, 12, 4}),
              "####\n"
              "####\n"
              "####\n"
              "ffff\n");
}

TEST(RasterEllipse, NullBrushNullPenAndPatternedPen) {
    Canvas solid(12, 10);
    solid.dc.ellipse({1, 1, 11, 9});

    Canvas hollow(12, 10);
    hollow.dc.selectBrush(Brush::hollow());
    hollow.dc.ellipse({1, 1, 11, 9});
    EXPECT_EQ(hollow.surface.getPixel(6, 5), 0u);
    EXPECT_EQ(hollow.surface.getPixel(1, 5), kPenColor);

    // Without a pen the brush covers the whole footprint.
    Canvas penless(12, 10);
    penless.dc.selectPen({PenStyle::Null, 1, kPenColor});
    penless.dc.ellipse({1, 1, 11, 9});
    EXPECT_EQ(countPainted(penless.surface, penless.surface.bounds()),
              countPainted(solid.surface, solid.surface.bounds()));
    EXPECT_EQ(penless.surface.getPixel(1, 5), kBrushColor);

    Canvas dashed(12, 10);
    dashed.dc.selectPen({PenStyle::Dash, 1, kPenColor});
    dashed.dc.ellipse({1, 1, 11, 9});
    EXPECT_EQ(art(dashed.surface), art(solid.surface));
}

}  // namespace
}  // namespace zq
