// Small image files written with each format's own library (BMP by hand),
// for the decoder tests.
#pragma once

#include <gif_lib.h>
#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include "platform/image.h"

namespace zq::image_samples {

using Bytes = std::vector<uint8_t>;

inline ImageRef decode(const Bytes& b) { return decodeImage(b.data(), b.size()); }

inline void put16(Bytes& b, uint32_t v) {
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
}
inline void put32(Bytes& b, uint32_t v) {
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

inline png_color_16 trnsKey(png_uint_16 r, png_uint_16 g, png_uint_16 b, png_uint_16 gray) {
    png_color_16 c{};
    c.red = r;
    c.green = g;
    c.blue = b;
    c.gray = gray;
    return c;
}

inline void appendPngBytes(png_structp png, png_bytep data, png_size_t n) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}
inline void flushNothing(png_structp) {}

inline bool writePngInto(png_structp png, png_infop info, PngSpec& spec, Bytes& out,
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

inline Bytes encodePng(PngSpec spec) {
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

inline Bytes encodeJpeg(int width, int height, J_COLOR_SPACE space, int components,
                        const Bytes& samples, bool progressive = false) {
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

inline Bytes solidRgb(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
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

inline int appendGifBytes(GifFileType* gif, const GifByteType* data, int n) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

inline Bytes encodeGif(const GifSpec& s) {
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

inline const std::vector<GifColorType> kFourColors = {
    {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};

// `rows` in file order, unpadded; `table` as 0x00RRGGBB.
inline Bytes makeBmp(int width, int height, int bpp, const std::vector<uint32_t>& table,
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

inline Bytes makeFile(Format f, int w, int h) {
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

}  // namespace zq::image_samples
