// BMP with a BITMAPINFOHEADER (or a later header that extends it):
// uncompressed 1, 4 and 8 bits with a colour table, 24 and 32 bits; rows
// bottom-up or, with a negative height, top-down; each row padded to 4 bytes.
// Every offset and size is checked against the buffer before it is used.
#include <algorithm>
#include <array>

#include "platform/image_codecs.h"

namespace zq::codec {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kUncompressed = 0;

uint32_t readU16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t readU32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

struct BmpHeader {
    int64_t width;
    int64_t height;  // positive; `topDown` keeps the sign
    bool topDown;
    int bitsPerPixel;
    uint32_t headerSize;
    uint32_t pixelOffset;
    uint32_t colorsUsed;
};

bool readHeader(const uint8_t* data, size_t size, BmpHeader& h) {
    if (size < kFileHeaderSize + kInfoHeaderSize) return false;
    const uint8_t* info = data + kFileHeaderSize;
    h.pixelOffset = readU32(data + 10);
    h.headerSize = readU32(info);
    h.width = static_cast<int32_t>(readU32(info + 4));
    int64_t height = static_cast<int32_t>(readU32(info + 8));
    h.topDown = height < 0;
    h.height = height < 0 ? -height : height;
    h.bitsPerPixel = static_cast<int>(readU16(info + 14));
    uint32_t compression = readU32(info + 16);
    h.colorsUsed = readU32(info + 32);
    int bpp = h.bitsPerPixel;
    return h.headerSize >= kInfoHeaderSize && compression == kUncompressed &&
           (bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24 || bpp == 32);
}

// Entries are B, G, R, unused. Indices the table does not cover stay black.
bool readColorTable(const uint8_t* data, size_t size, const BmpHeader& h,
                    std::array<uint32_t, 256>& table) {
    table.fill(packArgb(0xFF, 0, 0, 0));
    uint64_t capacity = uint64_t{1} << h.bitsPerPixel;
    uint64_t count = h.colorsUsed == 0 ? capacity : std::min<uint64_t>(h.colorsUsed, capacity);
    uint64_t start = kFileHeaderSize + uint64_t{h.headerSize};
    if (start + count * 4 > size) return false;
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t* e = data + start + i * 4;
        table[i] = packArgb(0xFF, e[2], e[1], e[0]);
    }
    return true;
}

void decodeRow(const uint8_t* in, uint32_t* out, int width, int bpp,
               const std::array<uint32_t, 256>& table) {
    switch (bpp) {
        case 24:
            for (int x = 0; x < width; ++x, in += 3) out[x] = packArgb(0xFF, in[2], in[1], in[0]);
            break;
        case 32:
            // The fourth byte is reserved in an uncompressed file, not alpha.
            for (int x = 0; x < width; ++x, in += 4) out[x] = packArgb(0xFF, in[2], in[1], in[0]);
            break;
        default: {
            uint32_t mask = (1u << bpp) - 1;
            for (int x = 0; x < width; ++x) {
                int bit = x * bpp;
                int shift = 8 - bpp - bit % 8;
                out[x] = table[(in[bit / 8] >> shift) & mask];
            }
        }
    }
}

}  // namespace

ImageRef decodeBmp(const uint8_t* data, size_t size) {
    BmpHeader h{};
    if (!readHeader(data, size, h) || !dimensionsAllowed(h.width, h.height)) return nullptr;
    std::array<uint32_t, 256> table{};
    if (h.bitsPerPixel <= 8 && !readColorTable(data, size, h, table)) return nullptr;
    uint64_t stride = (static_cast<uint64_t>(h.width) * h.bitsPerPixel + 31) / 32 * 4;
    if (uint64_t{h.pixelOffset} + stride * static_cast<uint64_t>(h.height) > size) return nullptr;

    int width = static_cast<int>(h.width);
    int height = static_cast<int>(h.height);
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        int fileRow = h.topDown ? y : height - 1 - y;
        const uint8_t* in = data + h.pixelOffset + static_cast<size_t>(fileRow) * stride;
        decodeRow(in, pixels.data() + static_cast<size_t>(y) * width, width, h.bitsPerPixel, table);
    }
    return finishImage(width, height, std::move(pixels));
}

}  // namespace zq::codec
