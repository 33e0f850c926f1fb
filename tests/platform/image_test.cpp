// Image decoding: each format from files written here with the format's own
// library (BMP by hand), the size cap, and damaged input of every kind.
#include "platform/image.h"

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

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
#include "tests/support/test_env.h"

namespace zq {
namespace {

using Bytes = std::vector<uint8_t>;

ImageRef decode(const Bytes& b) { return decodeImage(b.data(), b.size()); }

void put16(Bytes& b, uint32_t v) {
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
}
void put32(Bytes& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// ---- Writers -------------------------------------------------------------

struct PngSpec {
    int width = 1;
    int height = 1;
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<png_color> palette{};
    Bytes paletteAlpha{};
    bool hasTrnsColor = false;
    png_color_16 trnsColor{};
    std::vector<Bytes> rows{};  // packed as stored in the file
};

png_color_16 trnsKey(png_uint_16 r, png_uint_16 g, png_uint_16 b, png_uint_16 gray) {
    png_color_16 c{};
    c.red = r;
    c.green = g;
    c.blue = b;
    c.gray = gray;
    return c;
}

void appendPngBytes(png_structp png, png_bytep data, png_size_t n) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}
void flushNothing(png_structp) {}

bool writePngInto(png_structp png, png_infop info, PngSpec& spec, Bytes& out,
                  std::vector<png_bytep>& rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, &out, appendPngBytes, flushNothing);
    png_set_IHDR(png, info, spec.width, spec.height, spec.bitDepth, spec.colorType,
                 spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!spec.palette.empty()) {
        png_set_PLTE(png, info, spec.palette.data(), static_cast<int>(spec.palette.size()));
    }
    if (!spec.paletteAlpha.empty() || spec.hasTrnsColor) {
        png_set_tRNS(png, info, spec.paletteAlpha.data(),
                     static_cast<int>(spec.paletteAlpha.size()),
                     spec.hasTrnsColor ? &spec.trnsColor : nullptr);
    }
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    return true;
}

Bytes encodePng(PngSpec spec) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    Bytes out;
    std::vector<png_bytep> rows;
    for (Bytes& r : spec.rows) rows.push_back(r.data());
    bool ok = writePngInto(png, info, spec, out, rows);
    png_destroy_write_struct(&png, &info);
    EXPECT_TRUE(ok);
    return out;
}

Bytes encodeJpeg(int width, int height, J_COLOR_SPACE space, int components, const Bytes& samples,
                 bool progressive = false) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    jpeg_mem_dest(&c, &buffer, &length);
    c.image_width = width;
    c.image_height = height;
    c.input_components = components;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    if (progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(samples.data()) +
                       static_cast<size_t>(c.next_scanline) * width * components;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    Bytes out(buffer, buffer + length);
    std::free(buffer);
    jpeg_destroy_compress(&c);
    return out;
}

Bytes solidRgb(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
    Bytes s;
    for (int i = 0; i < width * height; ++i) s.insert(s.end(), {r, g, b});
    return s;
}

struct GifSpec {
    int screenWidth = 1;
    int screenHeight = 1;
    std::vector<GifColorType> colors{};  // a power of two
    int transparent = -1;
    bool gif89 = true;
    int left = 0;
    int top = 0;
    int width = 1;
    int height = 1;
    bool interlaced = false;
    Bytes indices{};  // frame rows top to bottom
};

int appendGifBytes(GifFileType* gif, const GifByteType* data, int n) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

Bytes encodeGif(const GifSpec& s) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, appendGifBytes, &error);
    ColorMapObject* map = GifMakeMapObject(static_cast<int>(s.colors.size()), s.colors.data());
    EGifSetGifVersion(gif, s.gif89);
    EXPECT_EQ(EGifPutScreenDesc(gif, s.screenWidth, s.screenHeight, 8, 0, map), GIF_OK);
    if (s.transparent >= 0) {
        GraphicsControlBlock gcb{};
        gcb.TransparentColor = s.transparent;
        GifByteType ext[4];
        size_t n = EGifGCBToExtension(&gcb, ext);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(n), ext);
    }
    EXPECT_EQ(EGifPutImageDesc(gif, s.left, s.top, s.width, s.height, s.interlaced, nullptr),
              GIF_OK);
    std::vector<int> order;
    int passes = s.interlaced ? 4 : 1;
    const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
    for (int p = 0; p < passes; ++p) {
        for (int r = s.interlaced ? start[p] : 0; r < s.height; r += s.interlaced ? step[p] : 1) {
            order.push_back(r);
        }
    }
    for (int r : order) {
        Bytes line(s.indices.begin() + r * s.width, s.indices.begin() + (r + 1) * s.width);
        EXPECT_EQ(EGifPutLine(gif, line.data(), s.width), GIF_OK);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

const std::vector<GifColorType> kFourColors = {
    {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};

// `rows` in file order, unpadded; `table` as 0x00RRGGBB.
Bytes makeBmp(int width, int height, int bpp, const std::vector<uint32_t>& table,
              const std::vector<Bytes>& rows) {
    uint32_t stride = (width * bpp + 31) / 32 * 4;
    uint32_t offset = 14 + 40 + static_cast<uint32_t>(table.size()) * 4;
    Bytes b = {'B', 'M'};
    put32(b, offset + stride * static_cast<uint32_t>(rows.size()));
    put32(b, 0);
    put32(b, offset);
    put32(b, 40);
    put32(b, static_cast<uint32_t>(width));
    put32(b, static_cast<uint32_t>(height));
    put16(b, 1);
    put16(b, bpp);
    put32(b, 0);
    put32(b, stride * static_cast<uint32_t>(rows.size()));
    put32(b, 2835);
    put32(b, 2835);
    put32(b, static_cast<uint32_t>(table.size()));
    put32(b, 0);
    for (uint32_t c : table) put32(b, c);
    for (Bytes row : rows) {
        row.resize(stride, 0);
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

// ---- One small valid file per format, at any size ------------------------

enum class Format { Png, Jpeg, Gif, Bmp };

Bytes makeFile(Format f, int w, int h) {
    switch (f) {
        case Format::Png: {
            PngSpec s{.width = w, .height = h};
            s.rows.assign(h, Bytes(static_cast<size_t>(w) * 3, 0x7F));
            return encodePng(s);
        }
        case Format::Jpeg:
            return encodeJpeg(w, h, JCS_RGB, 3, solidRgb(w, h, 200, 30, 60));
        case Format::Gif:
            return encodeGif({.screenWidth = w,
                              .screenHeight = h,
                              .colors = kFourColors,
                              .transparent = 3,
                              .width = w,
                              .height = h,
                              .indices = Bytes(static_cast<size_t>(w) * h, 1)});
        case Format::Bmp:
            return makeBmp(w, h, 24, {}, std::vector<Bytes>(h, Bytes(w * 3, 0x40)));
    }
    return {};
}

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

// ---- Size cap and damaged input --------------------------------------------

const Format kFormats[] = {Format::Png, Format::Jpeg, Format::Gif, Format::Bmp};
const char* formatName(Format f) {
    const char* names[] = {"png", "jpeg", "gif", "bmp"};
    return names[static_cast<int>(f)];
}

TEST(ImageBadInput, SizeCapIsReadFromTheHeader) {
    // The refused files are complete and valid: only the declared size can
    // refuse them.
    for (Format f : kFormats) {
        SCOPED_TRACE(formatName(f));
        ImageRef wide = decode(makeFile(f, kMaxImageDimension, 1));
        ASSERT_TRUE(wide);
        EXPECT_EQ(wide->width(), kMaxImageDimension);
        EXPECT_TRUE(decode(makeFile(f, 1, kMaxImageDimension)));
        EXPECT_FALSE(decode(makeFile(f, 5000, 10)));
        EXPECT_FALSE(decode(makeFile(f, 10, 5000)));
    }
}

// Rewrites the width field in each format's header to zero.
Bytes withZeroWidth(Format f) {
    Bytes b = makeFile(f, 4, 4);
    switch (f) {
        case Format::Png: {
            b[16] = b[17] = b[18] = b[19] = 0;
            uint32_t crc = crc32(0, b.data() + 12, 17);  // IHDR type and data
            for (int i = 0; i < 4; ++i) b[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
            break;
        }
        case Format::Jpeg:
            for (size_t i = 2; i + 8 < b.size(); ++i) {
                if (b[i] == 0xFF && b[i + 1] == 0xC0) {
                    b[i + 7] = b[i + 8] = 0;
                    break;
                }
            }
            break;
        case Format::Gif:
            b[6] = b[7] = 0;
            break;
        case Format::Bmp:
            b[18] = b[19] = b[20] = b[21] = 0;
            break;
    }
    return b;
}

TEST(ImageBadInput, ZeroWidthIsRefused) {
    for (Format f : kFormats) {
        SCOPED_TRACE(formatName(f));
        EXPECT_FALSE(decode(withZeroWidth(f)));
    }
}

TEST(ImageBadInput, EveryTruncationIsRefused) {
    // Bytes that may go missing without harm: PNG's IEND chunk, GIF's trailer.
    const size_t optionalTail[] = {12, 0, 1, 0};
    for (Format f : kFormats) {
        SCOPED_TRACE(formatName(f));
        Bytes file = makeFile(f, 5, 4);
        ASSERT_TRUE(decode(file));
        size_t required = file.size() - optionalTail[static_cast<int>(f)];
        for (size_t n = 0; n < file.size(); ++n) {
            ImageRef image = decodeImage(Bytes(file.begin(), file.begin() + n).data(), n);
            if (n < required) {
                EXPECT_FALSE(image) << "cut at " << n;
            }
        }
    }
}

TEST(ImageBadInput, FlippedBytesNeverCrash) {
    for (Format f : kFormats) {
        SCOPED_TRACE(formatName(f));
        Bytes file = makeFile(f, 6, 5);
        for (size_t i = 0; i < file.size(); ++i) {
            for (uint8_t mask : {0x01, 0x80, 0xFF}) {
                Bytes b = file;
                b[i] ^= mask;
                if (ImageRef image = decode(b)) {
                    EXPECT_LE(image->width(), kMaxImageDimension);
                    EXPECT_LE(image->height(), kMaxImageDimension);
                }
            }
        }
    }
}

TEST(ImageBadInput, RandomBytesAfterEachMagic) {
    const std::string magics[] = {"\x89PNG\r\n\x1a\n", "\xFF\xD8\xFF", "GIF87a", "GIF89a", "BM"};
    std::mt19937 random(1234);
    for (const std::string& magic : magics) {
        for (int i = 0; i < 300; ++i) {
            Bytes b(magic.begin(), magic.end());
            int extra = static_cast<int>(random() % 200);
            for (int k = 0; k < extra; ++k) b.push_back(static_cast<uint8_t>(random()));
            decode(b);
        }
    }
}

TEST(ImageBadInput, UnknownOrEmptyGivesNothing) {
    EXPECT_FALSE(decodeImage(nullptr, 0));
    EXPECT_FALSE(decode({}));
    EXPECT_FALSE(decode({'B'}));
    EXPECT_FALSE(decode({'G', 'I', 'F', '9', '0', 'a', 1, 0, 1, 0, 0, 0, 0}));
    EXPECT_FALSE(decode({'<', 'h', 't', 'm', 'l', '>'}));
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
