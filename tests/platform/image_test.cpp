// Image decoding: each format from files written here with the format's own
// library (BMP by hand), the size cap, and damaged input of every kind.
#include "platform/image.h"

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include "platform/surface.h"
#include "tests/platform/image_samples.h"
#include "tests/support/test_env.h"

namespace zq {
namespace {

using namespace image_samples;

// ---- PNG -------------------------------------------------------------------

struct PngCase {
    const char* name;
    PngSpec spec;
    std::vector<uint32_t> expected;
    bool hasAlpha;
};

TEST(ImagePng, ColourTypesAndDepthsBecomeStraightArgb) {
    const PngCase cases[] = {
        {"rgba8",
         {.width = 2,
          .height = 2,
          .colorType = PNG_COLOR_TYPE_RGBA,
          .rows = {{255, 0, 0, 255, 0, 255, 0, 128}, {0, 0, 255, 0, 10, 20, 30, 255}}},
         {0xFFFF0000, 0x8000FF00, 0x000000FF, 0xFF0A141E},
         true},
        {"rgb8", {.width = 2, .rows = {{1, 2, 3, 250, 251, 252}}}, {0xFF010203, 0xFFFAFBFC}, false},
        {"rgba8 all opaque",
         {.colorType = PNG_COLOR_TYPE_RGBA, .rows = {{9, 8, 7, 255}}},
         {0xFF090807},
         false},
        {"rgb16",
         {.bitDepth = 16, .rows = {{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}}},
         {0xFF12569A},
         false},
        {"gray1",
         {.width = 3, .colorType = PNG_COLOR_TYPE_GRAY, .bitDepth = 1, .rows = {{0b10100000}}},
         {0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF},
         false},
        {"gray2",
         {.width = 4, .colorType = PNG_COLOR_TYPE_GRAY, .bitDepth = 2, .rows = {{0b00011011}}},
         {0xFF000000, 0xFF555555, 0xFFAAAAAA, 0xFFFFFFFF},
         false},
        {"gray16",
         {.width = 2,
          .colorType = PNG_COLOR_TYPE_GRAY,
          .bitDepth = 16,
          .rows = {{0x80, 0x00, 0xFF, 0xFF}}},
         {0xFF808080, 0xFFFFFFFF},
         false},
        {"gray alpha",
         {.colorType = PNG_COLOR_TYPE_GRAY_ALPHA, .rows = {{0x40, 0x80}}},
         {0x80404040},
         true},
        {"palette with short tRNS",
         {.width = 4,
          .colorType = PNG_COLOR_TYPE_PALETTE,
          .bitDepth = 2,
          .palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}},
          .paletteAlpha = {255, 0},
          .rows = {{0b00011011}}},
         {0xFFFF0000, 0x0000FF00, 0xFF0000FF, 0xFFFFFFFF},
         true},
        {"palette without tRNS",
         {.width = 2,
          .colorType = PNG_COLOR_TYPE_PALETTE,
          .bitDepth = 8,
          .palette = {{1, 2, 3}, {4, 5, 6}},
          .rows = {{1, 0}}},
         {0xFF040506, 0xFF010203},
         false},
        {"gray with tRNS colour",
         {.width = 2,
          .colorType = PNG_COLOR_TYPE_GRAY,
          .hasTrnsColor = true,
          .trnsColor = trnsKey(0, 0, 0, 0x40),
          .rows = {{0x40, 0x41}}},
         {0x00404040, 0xFF414141},
         true},
        {"rgb with tRNS colour",
         {.width = 2,
          .hasTrnsColor = true,
          .trnsColor = trnsKey(1, 2, 3, 0),
          .rows = {{1, 2, 3, 1, 2, 4}}},
         {0x00010203, 0xFF010204},
         true},
    };
    for (const PngCase& c : cases) {
        SCOPED_TRACE(c.name);
        ImageRef image = decode(encodePng(c.spec));
        ASSERT_TRUE(image);
        ASSERT_EQ(image->width(), c.spec.width);
        ASSERT_EQ(image->height(), c.spec.height);
        std::vector<uint32_t> actual(image->pixels(), image->pixels() + c.expected.size());
        EXPECT_EQ(actual, c.expected);
        EXPECT_EQ(image->hasAlpha(), c.hasAlpha);
    }
}

TEST(ImagePng, InterlacedRowsLandInPlace) {
    PngSpec s{.width = 9, .height = 9, .interlaced = true};
    for (int y = 0; y < 9; ++y) {
        Bytes row;
        for (int x = 0; x < 9; ++x) row.insert(row.end(), {uint8_t(x * 20), uint8_t(y * 20), 7});
        s.rows.push_back(row);
    }
    ImageRef image = decode(encodePng(s));
    ASSERT_TRUE(image);
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 9; ++x) {
            EXPECT_EQ(image->pixel(x, y), 0xFF000007u | (x * 20) << 16 | (y * 20) << 8);
        }
    }
}

// ---- JPEG ------------------------------------------------------------------

void expectNear(uint32_t argb, int r, int g, int b) {
    EXPECT_EQ(argb >> 24, 0xFFu);
    EXPECT_NEAR(static_cast<int>((argb >> 16) & 0xFF), r, 10);
    EXPECT_NEAR(static_cast<int>((argb >> 8) & 0xFF), g, 10);
    EXPECT_NEAR(static_cast<int>(argb & 0xFF), b, 10);
}

TEST(ImageJpeg, RgbBaselineAndProgressive) {
    // Left half red, right half blue; the probes sit away from the edge.
    Bytes samples;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 16; ++x) {
            samples.insert(samples.end(), x < 8 ? std::initializer_list<uint8_t>{230, 20, 20}
                                                : std::initializer_list<uint8_t>{20, 40, 220});
        }
    }
    for (bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        ImageRef image = decode(encodeJpeg(16, 8, JCS_RGB, 3, samples, progressive));
        ASSERT_TRUE(image);
        EXPECT_EQ(image->width(), 16);
        EXPECT_EQ(image->height(), 8);
        EXPECT_FALSE(image->hasAlpha());
        expectNear(image->pixel(2, 4), 230, 20, 20);
        expectNear(image->pixel(13, 4), 20, 40, 220);
    }
}

TEST(ImageJpeg, GreyAndAdobeCmykBecomeRgb) {
    ImageRef grey = decode(encodeJpeg(8, 8, JCS_GRAYSCALE, 1, Bytes(64, 100)));
    ASSERT_TRUE(grey);
    expectNear(grey->pixel(3, 3), 100, 100, 100);

    // Adobe's convention stores ink inverted: red is C=0 M=Y=255 K=0.
    Bytes cmyk;
    for (int i = 0; i < 64; ++i) cmyk.insert(cmyk.end(), {255, 0, 0, 255});
    ImageRef red = decode(encodeJpeg(8, 8, JCS_CMYK, 4, cmyk));
    ASSERT_TRUE(red);
    expectNear(red->pixel(3, 3), 255, 0, 0);
}

// ---- GIF -------------------------------------------------------------------

TEST(ImageGif, FramesOnTheirScreen) {
    constexpr uint32_t kClear = 0;  // any pixel whose alpha is zero
    struct Case {
        const char* name;
        GifSpec spec;
        int width;
        bool hasAlpha;
        std::vector<std::pair<Point, uint32_t>> probes;
    };
    const Case cases[] = {
        {"frame inside with a transparent index",
         {.screenWidth = 4,
          .screenHeight = 3,
          .colors = kFourColors,
          .transparent = 3,
          .left = 1,
          .top = 1,
          .width = 2,
          .height = 2,
          .indices = {0, 3, 1, 2}},
         4,
         true,
         {{{0, 0}, kClear},  // outside the frame
          {{1, 1}, 0xFFFF0000u},
          {{2, 1}, kClear},  // the transparent index
          {{1, 2}, 0xFF00FF00u},
          {{2, 2}, 0xFF0000FFu},
          {{3, 2}, kClear}}},
        {"GIF87a without transparency",
         {.screenWidth = 2,
          .screenHeight = 1,
          .colors = kFourColors,
          .gif89 = false,
          .width = 2,
          .indices = {3, 2}},
         2,
         false,
         {{{0, 0}, 0xFFFFFFFFu}, {{1, 0}, 0xFF0000FFu}}},
        {"frame past the screen is clipped",
         {.screenWidth = 2,
          .screenHeight = 2,
          .colors = kFourColors,
          .left = 1,
          .top = 1,
          .width = 3,
          .height = 3,
          .indices = Bytes(9, 1)},
         2,
         true,
         {{{1, 1}, 0xFF00FF00u}, {{0, 1}, kClear}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImageRef image = decode(encodeGif(c.spec));
        ASSERT_TRUE(image);
        EXPECT_EQ(image->width(), c.width);
        EXPECT_EQ(image->height(), c.spec.screenHeight);
        EXPECT_EQ(image->hasAlpha(), c.hasAlpha);
        for (const auto& [at, argb] : c.probes) {
            const uint32_t pixel = image->pixel(at.x, at.y);
            EXPECT_EQ(argb == kClear ? pixel >> 24 : pixel, argb) << at.x << "," << at.y;
        }
    }
}

TEST(ImageGif, InterlacedRowsLandInPlace) {
    Bytes indices;
    for (int r = 0; r < 11; ++r) indices.insert(indices.end(), 2, static_cast<uint8_t>(r % 4));
    ImageRef image = decode(encodeGif({.screenWidth = 2,
                                       .screenHeight = 11,
                                       .colors = kFourColors,
                                       .width = 2,
                                       .height = 11,
                                       .interlaced = true,
                                       .indices = indices}));
    ASSERT_TRUE(image);
    for (int r = 0; r < 11; ++r) {
        const GifColorType& c = kFourColors[r % 4];
        EXPECT_EQ(image->pixel(1, r), 0xFF000000u | c.Red << 16 | c.Green << 8 | c.Blue) << r;
    }
}

TEST(ImageGif, IndexPastTheColourMapIsTransparent) {
    // Written with eight colours, then the table is cut to four: index 6
    // stays in the pixel data. Pins a read past the colour map.
    std::vector<GifColorType> eight(8, GifColorType{9, 9, 9});
    Bytes gif = encodeGif(
        {.screenWidth = 2, .screenHeight = 1, .colors = eight, .width = 2, .indices = {6, 1}});
    ASSERT_EQ(gif[10] & 0x07, 2);
    gif[10] = static_cast<uint8_t>((gif[10] & ~0x07) | 1);
    gif.erase(gif.begin() + 13 + 12, gif.begin() + 13 + 24);
    ImageRef image = decode(gif);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixel(0, 0) >> 24, 0u);
    EXPECT_EQ(image->pixel(1, 0), 0xFF090909u);
}

// ---- BMP -------------------------------------------------------------------

TEST(ImageBmp, TwentyFourBitBottomUpAndTopDown) {
    // Width 3: each row carries three bytes of padding.
    Bytes top = {0, 0, 255, 0, 255, 0, 255, 0, 0};  // B,G,R: red, green, blue
    Bytes bottom = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    for (bool topDown : {false, true}) {
        SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
        ImageRef image = decode(topDown ? makeBmp(3, -2, 24, {}, {top, bottom})
                                        : makeBmp(3, 2, 24, {}, {bottom, top}));
        ASSERT_TRUE(image);
        EXPECT_EQ(image->width(), 3);
        EXPECT_EQ(image->height(), 2);
        EXPECT_FALSE(image->hasAlpha());
        EXPECT_EQ(image->pixel(0, 0), 0xFFFF0000u);
        EXPECT_EQ(image->pixel(2, 0), 0xFF0000FFu);
        EXPECT_EQ(image->pixel(0, 1), 0xFF030201u);
        EXPECT_EQ(image->pixel(2, 1), 0xFF090807u);
    }
}

TEST(ImageBmp, ThirtyTwoBitIgnoresTheReservedByte) {
    ImageRef image = decode(makeBmp(2, 1, 32, {}, {{1, 2, 3, 0, 4, 5, 6, 0x80}}));
    ASSERT_TRUE(image);
    EXPECT_FALSE(image->hasAlpha());
    EXPECT_EQ(image->pixel(0, 0), 0xFF030201u);
    EXPECT_EQ(image->pixel(1, 0), 0xFF060504u);
}

TEST(ImageBmp, IndexedDepths) {
    const std::vector<uint32_t> table = {0x000000, 0xFFFFFF, 0x102030};
    // Index 5 lies past the three-entry table and must read black.
    ImageRef eight = decode(makeBmp(3, 1, 8, table, {{2, 5, 1}}));
    ASSERT_TRUE(eight);
    EXPECT_EQ(eight->pixel(0, 0), 0xFF102030u);
    EXPECT_EQ(eight->pixel(1, 0), 0xFF000000u);
    EXPECT_EQ(eight->pixel(2, 0), 0xFFFFFFFFu);

    ImageRef four = decode(makeBmp(3, 1, 4, table, {{0x21, 0x00}}));
    ASSERT_TRUE(four);
    EXPECT_EQ(four->pixel(0, 0), 0xFF102030u);
    EXPECT_EQ(four->pixel(1, 0), 0xFFFFFFFFu);
    EXPECT_EQ(four->pixel(2, 0), 0xFF000000u);

    ImageRef one = decode(makeBmp(10, 1, 1, {0x000000, 0xFFFFFF}, {{0b10000000, 0b01000000}}));
    ASSERT_TRUE(one);
    EXPECT_EQ(one->pixel(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(one->pixel(1, 0), 0xFF000000u);
    EXPECT_EQ(one->pixel(9, 0), 0xFFFFFFFFu);
}

TEST(ImageBmp, UnsupportedOrInconsistentHeadersAreRefused) {
    Bytes good = makeBmp(2, 2, 24, {}, {{1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6}});
    ASSERT_TRUE(decode(good));
    auto patched = [&](size_t at, uint32_t v) {
        Bytes b = good;
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
        return b;
    };
    EXPECT_FALSE(decode(patched(10, 1000))) << "pixel offset past the end";
    EXPECT_FALSE(decode(patched(10, 0xFFFFFFF0))) << "pixel offset that wraps";
    EXPECT_FALSE(decode(patched(14, 12))) << "core header";
    EXPECT_FALSE(decode(patched(30, 1))) << "RLE compression";
    EXPECT_FALSE(decode(patched(22, 0x80000000))) << "most negative height";
    Bytes bpp16 = good;
    bpp16[28] = 16;
    EXPECT_FALSE(decode(bpp16));
    // A colour table claimed larger than the file.
    Bytes indexed = makeBmp(1, 1, 8, {0xFFFFFF}, {{0}});
    ASSERT_TRUE(decode(indexed));
    indexed[46] = 200;
    EXPECT_FALSE(decode(indexed));
}

// ---- Files -------------------------------------------------------------------

void writeFile(const std::filesystem::path& path, const Bytes& b) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

TEST(ImageFile, SavePngRoundTrip) {
    test::TempDir dir;
    Surface surface(3, 2);
    const uint32_t colours[2][3] = {{0x00FF0000, 0x0000FF00, 0x000000FF},
                                    {0x00123456, 0x00FFFFFF, 0x00000000}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) surface.row(y)[x] = colours[y][x];
    }
    std::string path = (dir.path() / "shot.png").string();
    ASSERT_TRUE(savePng(surface, path));
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    ImageRef image = loadImageFile(path);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), 3);
    EXPECT_EQ(image->height(), 2);
    EXPECT_FALSE(image->hasAlpha());
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) EXPECT_EQ(image->pixel(x, y), 0xFF000000 | colours[y][x]);
    }
}

TEST(ImageFile, SavePngFailures) {
    test::TempDir dir;
    EXPECT_FALSE(savePng(Surface(2, 2), (dir.path() / "missing" / "a.png").string()));
    EXPECT_FALSE(savePng(Surface(0, 0), (dir.path() / "empty.png").string()));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "empty.png.tmp"));
}

TEST(ImageFile, LoadRefusesMissingFoldersAndOversizedFiles) {
    test::TempDir dir;
    EXPECT_FALSE(loadImageFile((dir.path() / "none.png").string()));
    EXPECT_FALSE(loadImageFile(dir.path().string()));
    std::filesystem::path gif = dir.path() / "a.gif";
    writeFile(gif, makeFile(Format::Gif, 2, 2));
    EXPECT_TRUE(loadImageFile(gif.string()));
    // A valid picture followed by padding past the file size cap.
    std::filesystem::resize_file(gif, 33u << 20);
    EXPECT_FALSE(loadImageFile(gif.string()));
}

}  // namespace
}  // namespace zq
