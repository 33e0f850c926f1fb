// Surface, fills, rectangles, blits, the clip and absurd coordinates.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "platform/device_context.h"
#include "tests/platform/raster_art.h"

namespace zq {
namespace {

using test::art;
using test::countPainted;
using test::kBrushColor;
using test::kGapColor;
using test::kPenColor;

TEST(RasterSurface, StoresNativeWordsAndConvertsColorWords) {
    Surface s(4, 3);
    s.setPixel(1, 2, rgb(0x11, 0x22, 0x33));
    EXPECT_EQ(s.row(2)[1], 0x112233u);
    EXPECT_EQ(s.getPixel(1, 2), rgb(0x11, 0x22, 0x33));
    // The unused top byte of a colour word never reaches the pixels.
    s.setPixel(0, 0, 0xFF000001);
    EXPECT_EQ(s.row(0)[0], 0x010000u);
}

TEST(RasterSurface, OutsideReadsZeroWritesNothingAndSizesAreClamped) {
    Surface s(2, 2);
    s.setPixel(-1, 0, 0xFFFFFF);
    s.setPixel(2, 1, 0xFFFFFF);
    s.setPixel(0, INT_MAX, 0xFFFFFF);
    EXPECT_EQ(countPainted(s, s.bounds()), 0);
    EXPECT_EQ(s.getPixel(INT_MIN, 0), 0u);

    s.setPixel(1, 1, 0xFFFFFF);
    s.resize(3, 5);
    EXPECT_EQ(s.bounds(), (Rect{0, 0, 3, 5}));
    EXPECT_EQ(countPainted(s, s.bounds()), 0);
    s.resize(-4, INT_MAX);
    EXPECT_EQ(s.width(), 0);
    EXPECT_EQ(s.height(), Surface::kMaxSurfaceDimension);
}

TEST(RasterFill, IsHalfOpen) {
    Surface s(6, 5);
    DeviceContext dc(s);
    dc.fillRect({1, 1, 4, 3}, kPenColor);
    EXPECT_EQ(art(s),
              "......\n"
              ".###..\n"
              ".###..\n"
              "......\n"
              "......\n");
    dc.fillRect({4, 4, 4, 5}, kPenColor);  // empty
    dc.fillRect({5, 4, 2, 1}, kPenColor);  // inverted
    EXPECT_EQ(countPainted(s, s.bounds()), 6);
}

// Long runs take another store path; it must stop at the same edges.
TEST(RasterFill, LongRunsStopAtTheRectEdges) {
    Surface s(1500, 3);
    DeviceContext dc(s);
    dc.fillRect({1, 1, 1499, 2}, kPenColor);
    EXPECT_EQ(countPainted(s, s.bounds()), 1498);
    EXPECT_EQ(countPainted(s, {1, 1, 1499, 2}), 1498);
    dc.fillRect(s.bounds(), kBrushColor);
    EXPECT_EQ(s.getPixel(1499, 2), kBrushColor);
}

class RasterRectangle : public ::testing::Test {
protected:
    RasterRectangle() : dc(s) {
        dc.selectPen({PenStyle::Solid, 1, kPenColor});
        dc.selectBrush(Brush::solid(kBrushColor));
    }
    Surface s{8, 7};
    DeviceContext dc;
};

TEST_F(RasterRectangle, OutlineOnTheInnerEdgeAndBrushInside) {
    dc.rectangle({1, 1, 5, 4});
    EXPECT_EQ(art(s),
              "........\n"
              ".####...\n"
              ".#ff#...\n"
              ".####...\n"
              "........\n"
              "........\n"
              "........\n");
}

TEST_F(RasterRectangle, WidePenStaysInsideTheBox) {
    dc.selectPen({PenStyle::Solid, 2, kPenColor});
    dc.rectangle({1, 0, 7, 6});
    EXPECT_EQ(art(s),
              ".######.\n"
              ".######.\n"
              ".##ff##.\n"
              ".##ff##.\n"
              ".######.\n"
              ".######.\n"
              "........\n");
    // A pen wider than half the box covers all of it.
    s.resize(8, 7);
    dc.selectPen({PenStyle::Solid, 5, kPenColor});
    dc.rectangle({0, 0, 3, 4});
    EXPECT_EQ(countPainted(s, s.bounds()), 12);
    EXPECT_EQ(s.getPixel(1, 2), kPenColor);
}

TEST_F(RasterRectangle, NullBrushKeepsTheInsideAndNullPenLetsTheBrushFillTheBox) {
    dc.fillRect({0, 0, 8, 7}, 0x123456);
    dc.selectBrush(Brush::hollow());
    dc.rectangle({0, 0, 4, 4});
    EXPECT_EQ(s.getPixel(1, 1), 0x123456u);
    EXPECT_EQ(s.getPixel(3, 3), kPenColor);

    dc.selectBrush(Brush::solid(kBrushColor));
    dc.selectPen({PenStyle::Null, 1, kPenColor});
    dc.rectangle({4, 3, 7, 6});
    EXPECT_EQ(art(s, {4, 3, 8, 7}),
              "fff?\n"
              "fff?\n"
              "fff?\n"
              "????\n");
}

TEST_F(RasterRectangle, DashedOutlineWalksClockwiseAndFillsGapsWhenOpaque) {
    s.resize(10, 4);
    dc.selectPen({PenStyle::Dash, 1, kPenColor});
    dc.selectBrush(Brush::hollow());
    dc.setBackgroundColor(kGapColor);
    dc.rectangle({0, 0, 10, 4});
    EXPECT_EQ(art(s),
              "######gg##\n"
              "g........#\n"
              "g........#\n"
              "######gg##\n");
    s.resize(10, 4);
    dc.setBackgroundMode(BackgroundMode::Transparent);
    dc.rectangle({0, 0, 10, 4});
    EXPECT_EQ(art(s, {0, 0, 10, 1}), "######..##\n");
}

TEST(RasterBlit, ClipsSourceAndDestinationIncludingNegativeCoordinates) {
    Surface src(4, 4);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) src.setPixel(x, y, rgb(10 * x + 1, 10 * y + 1, 0));
    }
    Surface dst(5, 5);
    DeviceContext dc(dst);
    dc.blit(-2, -1, 4, 3, src, 0, 0);  // destination partly above and left
    EXPECT_EQ(dst.getPixel(0, 0), src.getPixel(2, 1));
    EXPECT_EQ(dst.getPixel(1, 1), src.getPixel(3, 2));
    EXPECT_EQ(countPainted(dst, dst.bounds()), 4);

    dst.resize(5, 5);
    dc.blit(1, 1, 10, 10, src, -2, -2);  // source partly outside, block too big
    EXPECT_EQ(art(dst, {0, 0, 5, 5}),
              ".....\n"
              ".....\n"
              ".....\n"
              "...??\n"
              "...??\n");
    EXPECT_EQ(dst.getPixel(3, 3), src.getPixel(0, 0));
    EXPECT_EQ(dst.getPixel(4, 4), src.getPixel(1, 1));

    dst.resize(5, 5);
    dc.blit(0, 0, 5, 5, src, 3, 3);
    EXPECT_EQ(countPainted(dst, dst.bounds()), 1);
}

// Scrolling a surface onto itself must not smear a row or column over the next.
TEST(RasterBlit, OverlappingCopyWithinOneSurface) {
    Surface s(4, 4);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) s.setPixel(x, y, rgb(x + 1, y + 1, 0));
    }
    DeviceContext dc(s);
    dc.blit(0, 1, 4, 3, s, 0, 0);  // down
    dc.blit(1, 0, 3, 4, s, 0, 0);  // right
    for (int y = 1; y < 4; ++y) {
        for (int x = 1; x < 4; ++x) EXPECT_EQ(s.getPixel(x, y), rgb(x, y, 0)) << x << "," << y;
    }
    dc.blit(0, 0, 4, 3, s, 0, 1);  // up
    dc.blit(0, 0, 3, 4, s, 1, 0);  // left
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(s.getPixel(x, y), rgb(x + 1, y + 1, 0)) << x << "," << y;
        }
    }
}

TEST(RasterClip, IsKeptInsideTheSurfaceAndClearedToIt) {
    Surface s(10, 8);
    DeviceContext dc(s);
    dc.setClipRect({-5, 3, 4, 100});
    EXPECT_EQ(dc.clipRect(), (Rect{0, 3, 4, 8}));
    dc.setClipRect({20, 20, 30, 30});
    EXPECT_TRUE(dc.clipRect().isEmpty());
    dc.fillRect(s.bounds(), kPenColor);
    EXPECT_EQ(countPainted(s, s.bounds()), 0);
    dc.clearClip();
    EXPECT_EQ(dc.clipRect(), s.bounds());
}

// A context whose surface shrank after the clip was set must not write past it.
TEST(RasterClip, FollowsASurfaceThatShrank) {
    Surface s(50, 50);
    DeviceContext dc(s);
    dc.selectPen({PenStyle::Solid, 1, kPenColor});
    dc.setClipRect({1, 1, 40, 40});
    s.resize(4, 4);
    dc.fillRect({0, 0, 50, 50}, kPenColor);
    dc.line(0, 0, 50, 50);
    dc.ellipse({0, 0, 50, 50});
    EXPECT_EQ(countPainted(s, s.bounds()), 9);
    dc.clearClip();
    s.resize(60, 60);
    dc.fillRect({0, 0, 70, 70}, kPenColor);
    EXPECT_EQ(countPainted(s, s.bounds()), 3600);
}

TEST(RasterClip, EveryPrimitiveStaysInsideIt) {
    Surface white(10, 10);
    DeviceContext(white).fillRect(white.bounds(), 0xFFFFFF);
    const Image picture(10, 10, false, std::vector<uint32_t>(100, 0xFF808080));
    const Point zigzag[] = {{0, 0}, {9, 3}, {0, 6}, {9, 9}};
    const std::vector<std::pair<std::string, std::function<void(DeviceContext&)>>> cases = {
        {"fillRect",
         [](DeviceContext& dc) {
             dc.fillRect({-1, -1, 11, 11}, kPenColor);
         }},
        {"rectangle",
         [](DeviceContext& dc) {
             dc.rectangle({0, 0, 10, 10});
         }},
        {"thick dashed rectangle",
         [](DeviceContext& dc) {
             dc.selectPen({PenStyle::Dash, 3, kPenColor});
             dc.rectangle({1, 1, 9, 9});
         }},
        {"roundRect",
         [](DeviceContext& dc) {
             dc.roundRect({0, 0, 10, 10}, 4, 4);
         }},
        {"ellipse",
         [](DeviceContext& dc) {
             dc.ellipse({-2, -2, 12, 12});
         }},
        {"wide lines",
         [](DeviceContext& dc) {
             dc.selectPen({PenStyle::Solid, 5, kPenColor});
             dc.line(0, 1, 10, 1);
             dc.line(1, 0, 1, 10);
             dc.line(0, 0, 10, 10);
             dc.line(10, 0, 0, 10);
         }},
        {"dotted line",
         [](DeviceContext& dc) {
             dc.selectPen({PenStyle::Dot, 1, kPenColor});
             dc.line(-3, 5, 13, 5);
         }},
        {"polyline", [&](DeviceContext& dc) { dc.polyline(zigzag, 4); }},
        {"blit", [&](DeviceContext& dc) { dc.blit(0, 0, 10, 10, white, 0, 0); }},
        {"drawImage", [&](DeviceContext& dc) { dc.drawImage(picture, 0, 0); }},
        {"drawImageScaled",
         [&](DeviceContext& dc) {
             dc.drawImageScaled(picture, {-3, -3, 13, 13});
         }},
        {"drawImagePart",
         [&](DeviceContext& dc) {
             dc.drawImagePart(picture, {2, 2, 5, 5}, {0, 0, 10, 10});
         }},
        {"setPixel",
         [](DeviceContext& dc) {
             dc.setPixel(1, 1, kPenColor);
             dc.setPixel(8, 5, kPenColor);
             dc.setPixel(5, 5, kPenColor);
         }},
    };
    const Rect clip{2, 2, 8, 8};
    for (const auto& [name, draw] : cases) {
        SCOPED_TRACE(name);
        Surface s(10, 10);
        DeviceContext dc(s);
        dc.selectPen({PenStyle::Solid, 1, kPenColor});
        dc.selectBrush(Brush::solid(kBrushColor));
        dc.setClipRect(clip);
        draw(dc);
        EXPECT_EQ(countPainted(s, s.bounds()), countPainted(s, clip));
        EXPECT_GT(countPainted(s, clip), 0);
    }
}

// Coordinates at the ends of int must neither overflow (UBSan) nor loop for
// billions of steps; what is visible is still drawn.
TEST(RasterExtremes, HugeAndNegativeCoordinates) {
    Surface s(16, 12);
    DeviceContext dc(s);
    dc.selectPen({PenStyle::Solid, 1, kPenColor});
    dc.selectBrush(Brush::solid(kBrushColor));
    const Rect everything{INT_MIN, INT_MIN, INT_MAX, INT_MAX};

    dc.fillRect(everything, kPenColor);
    EXPECT_EQ(countPainted(s, s.bounds()), 16 * 12);
    s.resize(16, 12);
    dc.rectangle(everything);
    EXPECT_EQ(s.getPixel(5, 5), kBrushColor);
    dc.roundRect(everything, INT_MAX, INT_MAX);
    dc.roundRect({INT_MIN, 0, 8, 8}, INT_MIN, INT_MAX);
    dc.ellipse(everything);
    EXPECT_EQ(s.getPixel(5, 5), kBrushColor);
    dc.ellipse({INT_MAX - 1, INT_MAX - 1, INT_MAX, INT_MAX});

    s.resize(16, 12);
    dc.line(INT_MIN, 3, INT_MAX, 3);
    EXPECT_EQ(art(s, {0, 3, 16, 4}), "################\n");
    dc.line(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
    EXPECT_EQ(s.getPixel(7, 7), kPenColor);
    dc.line(INT_MAX, INT_MIN, INT_MIN, INT_MAX);
    dc.line(INT_MAX, INT_MAX, INT_MAX, INT_MAX);
    dc.selectPen({PenStyle::Dash, INT_MAX, kPenColor});
    dc.line(INT_MIN, INT_MIN, INT_MAX, INT_MIN + 1);
    dc.rectangle(everything);
    dc.selectPen({PenStyle::Dot, INT_MIN, kPenColor});
    dc.rectangle({INT_MIN, INT_MIN, 5, 5});
    const Point far[] = {{INT_MIN, INT_MAX}, {INT_MAX, INT_MIN}, {0, 0}, {INT_MIN, INT_MIN}};
    dc.polyline(far, 4);

    const Image picture(2, 2, true, {0x80FFFFFF, 0xFF000000, 0, 0x01020304});
    dc.drawImage(picture, INT_MAX, INT_MAX);
    dc.drawImage(picture, INT_MIN, INT_MIN);
    dc.drawImageScaled(picture, everything);
    dc.drawImagePart(picture, everything, {0, 0, 16, 12});
    dc.drawImagePart(picture, {INT_MIN, INT_MIN, INT_MIN + 1, INT_MIN + 1}, everything);
    dc.blit(INT_MIN, INT_MIN, INT_MAX, INT_MAX, s, INT_MAX, INT_MAX);
    dc.blit(INT_MAX, INT_MAX, INT_MAX, INT_MAX, s, INT_MIN, INT_MIN);
    dc.setPixel(INT_MIN, INT_MAX, kPenColor);
    dc.setClipRect(everything);
    EXPECT_EQ(dc.clipRect(), s.bounds());
}

}  // namespace
}  // namespace zq
