#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/device_context.h"
#include "platform/image.h"
#include "platform/surface.h"
#include "tests/platform/raster_art.h"
#include "tests/support/test_env.h"
#include "ui/background.h"
#include "ui/border.h"
#include "ui/client_context.h"
#include "ui/graphics_context.h"
#include "ui/style.h"

namespace zq {
namespace {

using test::art;
using test::kBrushColor;
using test::kPenColor;

constexpr Color kRed = 0x0000FF;
constexpr Color kGreen = 0x00FF00;
constexpr Color kBlue = 0xFF0000;
constexpr Color kWhite = 0xFFFFFF;

class PaintTest : public ::testing::Test {
protected:
    PaintTest() : surface(240, 320), dc(surface) { g.init(240, 320, &dc); }

    Color at(int x, int y) const { return surface.getPixel(x, y); }

    ClientContext context;
    Surface surface;
    DeviceContext dc;
    GraphicsContext g;
};

// A w x h picture of one opaque colour.
ImageRef solidImage(int w, int h, Color colour) {
    const uint32_t argb = 0xFF000000u | Surface::toNative(colour);
    return std::make_shared<Image>(w, h, false, std::vector<uint32_t>(w * h, argb));
}

TEST(RampTest, StepsEachByteInFixedPoint) {
    EXPECT_EQ(makeRamp(0x000000, 0x0000FF, 3), (std::vector<Color>{0x000000, 0x00007F, 0x0000FF}));
    EXPECT_EQ(makeRamp(0x123456, 0xABCDEF, 1), (std::vector<Color>{0x123456}));
    EXPECT_TRUE(makeRamp(0x123456, 0xABCDEF, 0).empty());
    EXPECT_TRUE(makeRamp(0x123456, 0xABCDEF, -4).empty());
    // Falling channels truncate toward zero too.
    EXPECT_EQ(makeRamp(0xFF0000, 0x000000, 4),
              (std::vector<Color>{0xFF0000, 0xAA0000, 0x550000, 0x000000}));
    // All four bytes, the top one included.
    EXPECT_EQ(makeRamp(0xFF020304, 0x01060708, 2), (std::vector<Color>{0xFF020304, 0x01060708}));
}

TEST_F(PaintTest, PlainFillsStayInTheBox) {
    Background base;
    base.paint(10, 10, 5, 4, g);
    EXPECT_EQ(at(10, 10), kWhite);
    EXPECT_EQ(at(14, 13), kWhite);
    EXPECT_EQ(at(15, 13), 0u);
    EXPECT_EQ(at(14, 14), 0u);

    ColorBackground solid(kRed);
    solid.paint(20, 10, 5, 4, g);
    EXPECT_EQ(at(20, 10), kRed);
    EXPECT_EQ(at(25, 10), 0u);
}

// Regression: a ColorBackground built with solid 0 painted black instead of its colour.
TEST_F(PaintTest, ColorBackgroundNotSolidKeepsItsColour) {
    ColorBackground notSolid(kGreen, false);
    notSolid.paint(0, 0, 4, 4, g);
    notSolid.paint(0, 0, 4, 4, g);
    EXPECT_EQ(at(1, 1), kGreen);
    EXPECT_FALSE(notSolid.solid());
}

TEST_F(PaintTest, StyleValueColoursResolveAtFirstPaintAndStay) {
    context.setDisplayExists(false);
    ColorBackground fromValue(StyleValue(static_cast<int32_t>(kBlue), 1));
    RectangleBackground rect(StyleValue(static_cast<int32_t>(kGreen), 1),
                             StyleValue(static_cast<int32_t>(kRed)), 1);
    context.setDisplayExists(true);  // built before the Display, painted after it
    fromValue.paint(0, 0, 4, 4, g);
    rect.paint(10, 0, 6, 6, g);
    context.setDisplayExists(false);
    fromValue.paint(0, 0, 4, 4, g);
    rect.paint(10, 0, 6, 6, g);
    EXPECT_EQ(at(2, 2), kBlue);
    EXPECT_EQ(at(10, 0), kRed);    // outline
    EXPECT_EQ(at(15, 5), kRed);    // last pixel of the outline
    EXPECT_EQ(at(12, 2), kGreen);  // fill
    EXPECT_EQ(at(16, 5), 0u);
}

TEST_F(PaintTest, BevelLightTopLeftDarkBottomRight) {
    BevelBackground bevel(kGreen, kWhite, kBlue, 1);
    bevel.paint(10, 10, 20, 10, g);
    EXPECT_EQ(at(10, 10), kWhite);
    EXPECT_EQ(at(28, 10), kWhite);
    EXPECT_EQ(at(10, 18), kWhite);
    EXPECT_EQ(at(29, 10), kBlue);  // the right edge starts on the top row
    EXPECT_EQ(at(10, 19), kBlue);  // the bottom edge starts on the left column
    EXPECT_EQ(at(29, 18), kBlue);
    EXPECT_EQ(at(28, 19), kBlue);
    EXPECT_EQ(at(29, 19), kGreen);  // both dark edges leave out their end point
    EXPECT_EQ(at(15, 15), kGreen);
    EXPECT_EQ(at(30, 15), 0u);
    EXPECT_EQ(at(15, 20), 0u);
}

TEST_F(PaintTest, GradientHalvesAndOddRowLeft) {
    const Color topStart = 0x000010, topEnd = 0x0000F0;
    const Color bottomStart = 0x100000, bottomEnd = 0xF00000;
    GradientBackground gradient(topStart, topEnd, bottomStart, bottomEnd, PenStyle::Dash);
    gradient.paint(5, 7, 30, 21, g);
    const std::vector<Color> top = makeRamp(topStart, topEnd, 10);
    const std::vector<Color> bottom = makeRamp(bottomStart, bottomEnd, 10);
    for (int row = 0; row < 10; ++row) {
        EXPECT_EQ(at(5, 7 + row), top[row]) << "row " << row;
        EXPECT_EQ(at(34, 7 + row), top[row]) << "row " << row;  // always solid
        EXPECT_EQ(at(5, 17 + row), bottom[row]) << "row " << row + 10;
    }
    EXPECT_EQ(at(5, 27), 0u);  // row 20
    EXPECT_EQ(at(35, 7), 0u);
    EXPECT_EQ(at(4, 7), 0u);
}

// Regression: a taller second paint read past the bottom half's shorter ramp.
TEST_F(PaintTest, GradientRebuildsBothRampsWhenHeightChanges) {
    GradientBackground gradient(0x000000, 0x0000FF, 0x000000, 0x00FF00, PenStyle::Solid);
    gradient.paint(0, 0, 4, 20, g);
    gradient.paint(0, 0, 4, 60, g);
    EXPECT_EQ(at(0, 29), makeRamp(0x000000, 0x0000FF, 30).back());
    EXPECT_EQ(at(0, 59), makeRamp(0x000000, 0x00FF00, 30).back());
}

TEST_F(PaintTest, BandInPercentRampsOnlyItsRows) {
    const Color start = 0x202020, end = 0xE0E0E0;
    BandGradientBackground band(start, end, PenStyle::Solid, 25, 75, true);
    band.paint(0, 0, 8, 40, g);
    const std::vector<Color> ramp = makeRamp(start, end, 20);
    for (int row = 0; row < 40; ++row) {
        const Color expected = row >= 10 && row < 30 ? ramp[row - 10] : start;
        EXPECT_EQ(at(7, row), expected) << "row " << row;
    }
    EXPECT_EQ(at(8, 0), 0u);
    EXPECT_EQ(at(0, 40), 0u);
}

// Regression: band rows beyond the box or reversed sized the ramp wrongly.
TEST_F(PaintTest, BandRowsAreClampedToTheBox) {
    BandGradientBackground beyond(kRed, kBlue, PenStyle::Solid, 10, 500, false);
    beyond.paint(0, 0, 4, 20, g);
    EXPECT_EQ(at(0, 9), kRed);
    EXPECT_EQ(at(0, 19), makeRamp(kRed, kBlue, 10).back());
    EXPECT_EQ(at(0, 20), 0u);

    BandGradientBackground reversed(kRed, kBlue, PenStyle::Solid, 30, 5, false);
    reversed.paint(10, 0, 4, 20, g);
    for (int row = 0; row < 20; ++row) EXPECT_EQ(at(10, row), kRed) << "row " << row;

    BandGradientBackground percent(kRed, kBlue, PenStyle::Solid, -50, 300, true);
    percent.paint(20, 0, 4, 20, g);
    EXPECT_EQ(at(20, 0), kRed);
    EXPECT_EQ(at(20, 19), makeRamp(kRed, kBlue, 20).back());
}

TEST_F(PaintTest, BandWithDashedPenLeavesGaps) {
    dc.setBackgroundMode(BackgroundMode::Transparent);
    BandGradientBackground band(kRed, kBlue, PenStyle::Dash, 0, 0, false);
    band.paint(0, 0, 10, 2, g);
    EXPECT_EQ(art(surface, {0, 0, 10, 1}), "######..##\n");
}

TEST_F(PaintTest, LineBorderOfWidthTwoStaysInsideTheBox) {
    LineBorder border(kPenColor, 2);
    border.paint(1, 1, 8, 6, g);
    EXPECT_EQ(art(surface, {0, 0, 10, 8}),
              "..........\n"
              ".########.\n"
              ".########.\n"
              ".##....##.\n"
              ".##....##.\n"
              ".########.\n"
              ".########.\n"
              "..........\n");
    LineBorder none(kPenColor, 0);
    none.paint(20, 1, 8, 6, g);
    EXPECT_EQ(test::countPainted(surface, {20, 0, 30, 8}), 0);
}

TEST_F(PaintTest, LineBorderOfWidthOneAndThree) {
    LineBorder one(kPenColor, 1);
    one.paint(1, 1, 5, 4, g);
    EXPECT_EQ(art(surface, {0, 0, 7, 6}),
              ".......\n"
              ".#####.\n"
              ".#...#.\n"
              ".#...#.\n"
              ".#####.\n"
              ".......\n");
    LineBorder three(kPenColor, 3);
    three.paint(11, 1, 8, 8, g);
    EXPECT_EQ(art(surface, {10, 0, 20, 10}),
              "..........\n"
              ".########.\n"
              ".########.\n"
              ".########.\n"
              ".###..###.\n"
              ".###..###.\n"
              ".########.\n"
              ".########.\n"
              ".########.\n"
              "..........\n");
}

// Regression: RectBorder filled its inside with the caller's brush over the background.
TEST_F(PaintTest, RectBorderLeavesTheBackgroundAlone) {
    ColorBackground background(kBrushColor);
    background.paint(1, 1, 12, 4, g);
    const Brush callerBrush = Brush::solid(kBlue);
    dc.selectBrush(callerBrush);
    dc.setBackgroundMode(BackgroundMode::Transparent);
    RectBorder border(kPenColor, 1);
    border.paint(1, 1, 12, 4, g);
    EXPECT_EQ(art(surface, {0, 0, 14, 6}),
              "..............\n"
              ".######ff###f.\n"  // dashes walk clockwise from the top left
              ".ffffffffff#f.\n"
              ".f######ff##f.\n"
              ".ffffffffffff.\n"
              "..............\n");
    EXPECT_EQ(dc.brush().color, callerBrush.color);
    EXPECT_FALSE(dc.brush().null);
}

TEST_F(PaintTest, RoundBorders) {
    RoundRectBorder thin(kPenColor, 1, 6, 6);
    thin.paint(0, 0, 20, 12, g);
    EXPECT_EQ(at(0, 0), 0u);  // corner cut
    EXPECT_EQ(at(10, 0), kPenColor);
    EXPECT_EQ(at(0, 6), kPenColor);
    EXPECT_EQ(at(18, 6), kPenColor);  // the last column is left out
    EXPECT_EQ(at(19, 6), 0u);
    EXPECT_EQ(at(10, 10), kPenColor);
    EXPECT_EQ(at(10, 11), 0u);
    EXPECT_EQ(at(10, 5), 0u);  // hollow

    // A wide pen is inset by half its width on each side.
    RoundRectBorder wide(kPenColor, 3, 8, 8);
    wide.paint(30, 0, 20, 12, g);
    EXPECT_EQ(art(surface, {38, 0, 39, 12}), ".\n#\n#\n#\n.\n.\n.\n#\n#\n#\n.\n.\n");
    EXPECT_EQ(art(surface, {30, 6, 50, 7}), ".###...........###..\n");

    RoundRectBorder none(kPenColor, 0, 4, 4);
    none.paint(60, 0, 20, 12, g);
    EXPECT_EQ(test::countPainted(surface, {60, 0, 80, 12}), 0);
}

TEST_F(PaintTest, RoundRectBackgrounds) {
    FilledRoundRectBackground filled(kGreen, 8, 8);
    filled.paint(0, 0, 20, 12, g);
    EXPECT_EQ(at(0, 0), 0u);
    EXPECT_EQ(at(0, 11), 0u);
    EXPECT_EQ(at(10, 6), kGreen);
    EXPECT_EQ(at(19, 6), kGreen);

    // Only the top corners are round; the fill reaches one row below the box.
    RoundRectBackground topRound(kGreen, 8, 8);
    topRound.paint(30, 0, 20, 12, g);
    EXPECT_EQ(at(30, 0), 0u);
    EXPECT_EQ(at(49, 0), 0u);
    EXPECT_EQ(at(30, 11), kGreen);
    EXPECT_EQ(at(49, 11), kGreen);
    EXPECT_EQ(at(30, 12), kGreen);
    EXPECT_EQ(at(30, 13), 0u);
    EXPECT_EQ(at(50, 11), 0u);
}

TEST_F(PaintTest, BottomLineBorderBelowAndInside) {
    BottomLineBorder one;
    one.setColour(kPenColor);
    one.paint(0, 0, 6, 4, g);
    EXPECT_EQ(art(surface, {0, 3, 7, 6}), ".......\n######.\n.......\n");

    BottomLineBorder three;
    three.setColour(kPenColor);
    three.setWidth(3);
    three.paint(10, 0, 6, 4, g);
    EXPECT_EQ(art(surface, {10, 0, 17, 6}),
              ".......\n"
              ".......\n"
              "######.\n"
              "######.\n"
              "######.\n"
              ".......\n");
}

TEST_F(PaintTest, PaintingLeavesPenAndBrushAsFound) {
    const Pen pen{PenStyle::Dot, 2, kBlue};
    const Brush brush = Brush::solid(kRed);
    dc.selectPen(pen);
    dc.selectBrush(brush);
    std::vector<std::unique_ptr<Background>> backgrounds;
    backgrounds.push_back(std::make_unique<BevelBackground>(kGreen, kWhite, kBlue, 2));
    backgrounds.push_back(std::make_unique<RectangleBackground>(kGreen, kWhite, 2));
    backgrounds.push_back(createDefaultGradientBackground());
    backgrounds.push_back(
        std::make_unique<BandGradientBackground>(kRed, kBlue, PenStyle::Dash, 1, 3, false));
    backgrounds.push_back(std::make_unique<FilledRoundRectBackground>(kGreen, 4, 4));
    backgrounds.push_back(std::make_unique<RoundRectBackground>(kGreen, 4, 4));
    std::vector<std::unique_ptr<Border>> borders;
    borders.push_back(std::make_unique<LineBorder>(kWhite, 2));
    borders.push_back(std::make_unique<RectBorder>(kWhite, 1));
    borders.push_back(std::make_unique<RoundRectBorder>(kWhite, 2, 4, 4));
    borders.push_back(std::make_unique<BottomLineBorder>());
    for (auto& b : backgrounds) b->paint(0, 0, 20, 20, g);
    for (auto& b : borders) b->paint(0, 0, 20, 20, g);
    EXPECT_EQ(dc.pen().style, pen.style);
    EXPECT_EQ(dc.pen().width, pen.width);
    EXPECT_EQ(dc.pen().color, pen.color);
    EXPECT_EQ(dc.brush().color, brush.color);
    EXPECT_FALSE(dc.brush().null);
}

// --- ImageBackground ---------------------------------------------------------

TEST(ImageBackgroundTest, VariantPathPutsPrefixBeforeTheFileName) {
    ImageBackground inFolder(u"images\\bg.png", ImageRepeat::Tile);
    EXPECT_EQ(inFolder.variantPath(), CString(u"images\\320_240bg.png"));
    ImageBackground bare(u"bg.png", ImageRepeat::Tile);
    EXPECT_EQ(bare.variantPath(), CString(u"320_240bg.png"));
    ImageBackground empty(u"", ImageRepeat::Stretch);
    EXPECT_TRUE(empty.variantPath().isEmpty());
    EXPECT_EQ(empty.colour(), 0xFFFFFFu);
    empty.setImagePath(u"a\\b\\c.gif");
    EXPECT_EQ(empty.variantPath(), CString(u"a\\b\\320_240c.gif"));
}

class ImagePaintTest : public PaintTest {
protected:
    ImagePaintTest() {
        background.setLoader([this](const CString& path) {
            requests.push_back(path);
            return picture;
        });
        ScreenMetrics portrait = screenMetrics();
        portrait.landscape = false;
        context.setMetrics(portrait);
    }

    ImageRef picture = solidImage(4, 4, kRed);
    std::vector<CString> requests;
    ImageBackground background{u"images\\bg.png", ImageRepeat::Tile};
};

TEST_F(ImagePaintTest, PlacementAnchorsTheTopLeftCorner) {
    struct Case {
        unsigned placement;
        int offsetX, offsetY;
        int left, top;  // expected corner for the box (20, 20, 40, 30)
    };
    const Case cases[] = {
        {0, 0, 0, 20, 20},
        {kPlaceCentred, 2, 3, 42, 38},
        {kPlaceHCenter | kPlaceVCenter, 2, 3, 42, 38},
        {kPlaceHCenter, 0, 5, 40, 25},
        {kPlaceRight | kPlaceBottom, -4, -4, 56, 46},
        {kPlaceVCenter | kPlaceRight, -4, 0, 56, 35},
    };
    for (const Case& c : cases) {
        surface = Surface(240, 320);
        background.setImage(kWhite, u"images\\bg.png", c.placement, c.offsetX, c.offsetY,
                            ImageRepeat::Tile);
        background.paint(20, 20, 40, 30, g);
        EXPECT_EQ(at(c.left, c.top), kRed) << "placement " << c.placement;
        EXPECT_EQ(at(c.left + 3, c.top + 3), kRed) << "placement " << c.placement;
        EXPECT_EQ(at(c.left - 1, c.top), 0u) << "placement " << c.placement;
        EXPECT_EQ(at(c.left + 4, c.top + 3), 0u) << "placement " << c.placement;
        EXPECT_EQ(test::countPainted(surface, surface.bounds()), 16);
    }
}

TEST_F(ImagePaintTest, ClippedToTheBoxAndTheClipRestored) {
    picture = solidImage(30, 30, kRed);
    g.setClip(0, 0, 50, 50);
    dc.setClipRect({0, 0, 50, 50});
    background.setImage(kWhite, u"images\\bg.png", 0, -2, -2, ImageRepeat::Tile);
    background.paint(40, 40, 30, 30, g);
    EXPECT_EQ(at(39, 39), 0u);  // left of and above the box
    EXPECT_EQ(at(40, 40), kRed);
    EXPECT_EQ(at(49, 49), kRed);
    EXPECT_EQ(at(50, 49), 0u);  // outside the clip
    EXPECT_EQ(g.getClipX(), 0);
    EXPECT_EQ(g.getClipWidth(), 50);
    EXPECT_EQ(g.getClipHeight(), 50);
    EXPECT_EQ(dc.clipRect(), (Rect{0, 0, 50, 50}));
    // The restored clip holds: a fill of the whole surface stops at it.
    dc.fillRect(surface.bounds(), kGreen);
    EXPECT_EQ(at(49, 49), kGreen);
    EXPECT_EQ(at(50, 50), 0u);
}

TEST_F(ImagePaintTest, MissingPictureDrawsNothingAndKeepsTheClip) {
    picture = nullptr;
    background.paint(0, 0, 40, 30, g);
    background.paint(0, 0, 40, 30, g);
    EXPECT_EQ(requests.size(), 1u);  // not asked again until something changes
    EXPECT_EQ(test::countPainted(surface, surface.bounds()), 0);
    EXPECT_EQ(g.getClipWidth(), 240);
    EXPECT_EQ(dc.clipRect(), surface.bounds());
}

TEST_F(ImagePaintTest, RefetchesWhenTheScreenTurnsOrThePathChanges) {
    background.paint(0, 0, 40, 30, g);
    background.paint(0, 0, 40, 30, g);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0], CString(u"images\\bg.png"));

    ScreenMetrics landscape = screenMetrics();
    landscape.landscape = true;
    context.setMetrics(landscape);
    background.paint(0, 0, 40, 30, g);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1], CString(u"images\\320_240bg.png"));

    background.setImagePath(u"IMAGES\\BG.PNG");  // same path: kept
    background.paint(0, 0, 40, 30, g);
    EXPECT_EQ(requests.size(), 2u);
    background.setImagePath(u"images\\other.png");
    background.paint(0, 0, 40, 30, g);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[2], CString(u"images\\320_240other.png"));
}

}  // namespace
}  // namespace zq
