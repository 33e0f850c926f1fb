// Image decoding of damaged input: the size caps, zero widths, every
// truncation, flipped bytes and random bytes after each magic.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>

#include "platform/image.h"
#include "tests/platform/image_samples.h"

namespace zq {
namespace {

using namespace image_samples;

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

// Rewrites the size a small file claims in its header; the pixels stay
// those of the small picture.
Bytes claimingSize(Format f, int width, int height) {
    Bytes b = makeFile(f, 8, 8);
    auto putBig = [&b](size_t at, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b[at + i] = static_cast<uint8_t>(v >> (8 * (bytes - 1 - i)));
    };
    auto putLittle = [&b](size_t at, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    switch (f) {
        case Format::Png: {
            putBig(16, width, 4);
            putBig(20, height, 4);
            putBig(29, crc32(0, b.data() + 12, 17), 4);  // IHDR type and data
            break;
        }
        case Format::Jpeg:
            for (size_t i = 2; i + 8 < b.size(); ++i) {
                if (b[i] == 0xFF && b[i + 1] == 0xC0) {
                    putBig(i + 5, height, 2);
                    putBig(i + 7, width, 2);
                    break;
                }
            }
            break;
        case Format::Gif:
            putLittle(6, width, 2);  // the logical screen; the frame stays 8x8
            putLittle(8, height, 2);
            break;
        case Format::Bmp:
            putLittle(18, width, 4);
            putLittle(22, height, 4);
            break;
    }
    return b;
}

// A small file claiming a huge picture was decoded whole: a 509-byte JPEG
// claiming 4000x4000 took 64 MB and showed as a grey block, and twenty
// pictures of 4096x4096 took 1.3 GB. Above a few screens of pixels a
// picture is refused from its header, whatever it claims.
TEST(ImageBadInput, APictureAboveThePixelBoundIsRefusedFromItsHeader) {
    struct Claim {
        const char* name;
        int width;
        int height;
    };
    const Claim refused[] = {
        {"4000 square", 4000, 4000}, {"4096 square", 4096, 4096},  {"a strip", 4096, 300},
        {"a column", 300, 4096},     {"one row over", 1024, 1025},
    };
    for (Format f : kFormats) {
        for (const Claim& c : refused) {
            SCOPED_TRACE(std::string(formatName(f)) + " " + c.name);
            EXPECT_FALSE(decode(claimingSize(f, c.width, c.height)));
        }
    }
    // Whole files on either side of the bound.
    for (Format f : kFormats) {
        SCOPED_TRACE(formatName(f));
        ImageRef atBound = decode(makeFile(f, 1024, 1024));
        ASSERT_TRUE(atBound);
        EXPECT_EQ(atBound->width() * atBound->height(), kMaxImagePixels);
        EXPECT_FALSE(decode(makeFile(f, 1025, 1024)));
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

}  // namespace
}  // namespace zq
