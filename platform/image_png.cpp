// PNG decoding through libpng for decodeImage (savePng is in png_write.cpp).
//
// libpng reports errors by longjmp. The functions that call setjmp hold no
// object with a destructor; the libpng structures and every buffer live in
// their callers, so a jump out of libpng leaks nothing.
#include <png.h>

#include <csetjmp>
#include <cstring>

#include "platform/image_codecs.h"

namespace zq {

namespace {

struct MemoryReader {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* src = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (length > src->size - src->pos) png_error(png, "truncated");
    std::memcpy(out, src->data + src->pos, length);
    src->pos += length;
}

// Both keep libpng quiet: a bad file is reported by the result alone.
[[noreturn]] void failPng(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void ignorePngWarning(png_structp, png_const_charp) {}

class PngReadStruct {
public:
    PngReadStruct() {
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, failPng, ignorePngWarning);
        if (png != nullptr) info = png_create_info_struct(png);
    }
    ~PngReadStruct() {
        if (png != nullptr) {
            png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
        }
    }
    PngReadStruct(const PngReadStruct&) = delete;
    PngReadStruct& operator=(const PngReadStruct&) = delete;

    png_structp png = nullptr;
    png_infop info = nullptr;
};

// Every colour type and depth becomes 8-bit RGBA; tRNS becomes alpha.
void requestRgba(png_structp png, png_infop info) {
    int colorType = png_get_color_type(png, info);
    int bitDepth = png_get_bit_depth(png, info);
    bool hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (hasTrns) png_set_tRNS_to_alpha(png);
    if (bitDepth == 16) png_set_strip_16(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        png_set_gray_to_rgb(png);
    }
    if ((colorType & PNG_COLOR_MASK_ALPHA) == 0 && !hasTrns) {
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
}

// Decodes into `pixels` as R,G,B,A bytes per word; the size is checked
// before `pixels` grows.
bool readPngPixels(PngReadStruct& s, MemoryReader& src, std::vector<uint32_t>& pixels,
                   std::vector<png_bytep>& rows, png_uint_32& width, png_uint_32& height) {
    if (setjmp(png_jmpbuf(s.png))) return false;
    png_set_read_fn(s.png, &src, readFromMemory);
    png_set_user_limits(s.png, kMaxImageDimension, kMaxImageDimension);
    png_read_info(s.png, s.info);
    width = png_get_image_width(s.png, s.info);
    height = png_get_image_height(s.png, s.info);
    if (!codec::dimensionsAllowed(width, height)) return false;
    requestRgba(s.png, s.info);
    if (png_get_rowbytes(s.png, s.info) != static_cast<size_t>(width) * 4) return false;
    pixels.resize(static_cast<size_t>(width) * height);
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) {
        rows[y] = reinterpret_cast<png_bytep>(pixels.data() + static_cast<size_t>(y) * width);
    }
    png_read_image(s.png, rows.data());
    return true;
}

}  // namespace

namespace codec {

ImageRef decodePng(const uint8_t* data, size_t size) {
    PngReadStruct s;
    if (s.png == nullptr || s.info == nullptr) return nullptr;
    MemoryReader src{data, size, 0};
    std::vector<uint32_t> pixels;
    std::vector<png_bytep> rows;
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    if (!readPngPixels(s, src, pixels, rows, width, height)) return nullptr;
    for (uint32_t& p : pixels) {
        uint8_t c[4];
        std::memcpy(c, &p, 4);
        p = packArgb(c[3], c[0], c[1], c[2]);
    }
    return finishImage(static_cast<int>(width), static_cast<int>(height), std::move(pixels));
}

}  // namespace codec

}  // namespace zq
