// PNG through libpng: decoding for decodeImage and writing for savePng.
//
// libpng reports errors by longjmp. The functions that call setjmp hold no
// object with a destructor; the libpng structures and every buffer live in
// their callers, so a jump out of libpng leaks nothing.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/image_codecs.h"
#include "platform/surface.h"

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

class PngWriteStruct {
public:
    PngWriteStruct() {
        png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, failPng, ignorePngWarning);
        if (png != nullptr) info = png_create_info_struct(png);
    }
    ~PngWriteStruct() {
        if (png != nullptr) png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
    }
    PngWriteStruct(const PngWriteStruct&) = delete;
    PngWriteStruct& operator=(const PngWriteStruct&) = delete;

    png_structp png = nullptr;
    png_infop info = nullptr;
};

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
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

bool writePngRows(PngWriteStruct& s, FILE* file, const Surface& surface,
                  std::vector<uint8_t>& row) {
    if (setjmp(png_jmpbuf(s.png))) return false;
    png_init_io(s.png, file);
    png_set_IHDR(s.png, s.info, surface.width(), surface.height(), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(s.png, s.info);
    for (int y = 0; y < surface.height(); ++y) {
        const uint32_t* in = surface.row(y);
        for (int x = 0; x < surface.width(); ++x) {
            row[x * 3] = static_cast<uint8_t>(in[x] >> 16);
            row[x * 3 + 1] = static_cast<uint8_t>(in[x] >> 8);
            row[x * 3 + 2] = static_cast<uint8_t>(in[x]);
        }
        png_write_row(s.png, row.data());
    }
    png_write_end(s.png, nullptr);
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

bool savePng(const Surface& surface, const std::string& path) {
    if (surface.width() <= 0 || surface.height() <= 0) return false;
    std::string tmp = path + ".tmp";
    bool ok = false;
    {
        std::unique_ptr<FILE, FileCloser> file(std::fopen(tmp.c_str(), "wb"));
        if (!file) return false;
        PngWriteStruct s;
        std::vector<uint8_t> row(static_cast<size_t>(surface.width()) * 3);
        if (s.png != nullptr && s.info != nullptr) {
            ok = writePngRows(s, file.get(), surface, row) && std::fflush(file.get()) == 0;
        }
        if (std::fclose(file.release()) != 0) ok = false;
    }
    if (ok && std::rename(tmp.c_str(), path.c_str()) == 0) return true;
    std::remove(tmp.c_str());
    return false;
}

}  // namespace zq
