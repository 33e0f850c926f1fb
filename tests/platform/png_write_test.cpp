// savePng writes the very bytes libpng's writer makes with its defaults, so
// that screenshots compare with those of earlier builds.
#include <gtest/gtest.h>
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/image.h"
#include "platform/surface.h"
#include "tests/support/test_env.h"

namespace zq {
namespace {

std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void appendBytes(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<std::string*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), size);
}

// The reference: libpng with its default filters and compression.
std::string libpngBytes(const Surface& surface) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_byte> row(static_cast<size_t>(surface.width()) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, appendBytes, nullptr);
    png_set_IHDR(png, info, surface.width(), surface.height(), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < surface.height(); ++y) {
        const uint32_t* in = surface.row(y);
        for (int x = 0; x < surface.width(); ++x) {
            row[x * 3] = static_cast<png_byte>(in[x] >> 16);
            row[x * 3 + 1] = static_cast<png_byte>(in[x] >> 8);
            row[x * 3 + 2] = static_cast<png_byte>(in[x]);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// Pictures that make each filter win somewhere: noise (None), horizontal
// and vertical ramps (Sub, Up), smooth gradients (Average, Paeth), flat
// areas with a few specks, and a screen-like mix of them.
Surface picture(int kind, int width, int height, std::mt19937& random) {
    Surface surface(width, height);
    for (int y = 0; y < height; ++y) {
        uint32_t* row = surface.row(y);
        for (int x = 0; x < width; ++x) {
            uint32_t value = 0;
            switch (kind) {
                case 0:
                    value = random() & 0xFFFFFF;
                    break;
                case 1:
                    value = static_cast<uint32_t>((x * 7) & 0xFF) * 0x010101;
                    break;
                case 2:
                    value = static_cast<uint32_t>((y * 5) & 0xFF) << 8;
                    break;
                case 3:
                    value = static_cast<uint32_t>(((x + y) * 3) & 0xFF) * 0x010203;
                    break;
                case 4:
                    value = random() % 7 == 0 ? random() & 0xFFFFFF : 0x807368;
                    break;
                default:
                    value = (y / 16) % 2 ? static_cast<uint32_t>((x ^ y) & 0xFF) << 16 : 0xFFFFFF;
            }
            row[x] = value;
        }
    }
    return surface;
}

TEST(PngWrite, BytesEqualLibpngsDefaults) {
    test::TempDir dir;
    const std::filesystem::path path = dir.path() / "shot.png";
    std::mt19937 random(7);
    // Screen sizes, and small ones whose zlib window libpng narrows.
    const int sizes[][2] = {{240, 320}, {320, 240}, {1, 1}, {3, 2}, {17, 9}, {64, 40}, {90, 61}};
    for (const auto& size : sizes) {
        for (int kind = 0; kind < 6; ++kind) {
            const Surface surface = picture(kind, size[0], size[1], random);
            ASSERT_TRUE(savePng(surface, path.string()));
            EXPECT_EQ(readAll(path), libpngBytes(surface))
                << "kind " << kind << ", " << size[0] << "x" << size[1];
        }
    }
}

}  // namespace
}  // namespace zq
