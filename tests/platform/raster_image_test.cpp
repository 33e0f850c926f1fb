// Pictures: straight alpha blending, opaque copies, scaling and parts.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/device_context.h"
#include "tests/platform/raster_art.h"

namespace zq {
namespace {

using test::countPainted;

uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// out = (src * a + dst * (255 - a)) / 255, rounded.
int blended(int src, int dst, int a) { return (src * a + dst * (255 - a) + 127) / 255; }

TEST(RasterImage, AlphaZeroFullAndHalf) {
    Surface s(3, 1);
    DeviceContext dc(s);
    dc.fillRect(s.bounds(), rgb(200, 100, 50));
    const Image picture(
        3, 1, true, {argb(0, 255, 255, 255), argb(255, 0x10, 0x20, 0x30), argb(128, 255, 0, 100)});
    dc.drawImage(picture, 0, 0);
    EXPECT_EQ(s.getPixel(0, 0), rgb(200, 100, 50));
    EXPECT_EQ(s.getPixel(1, 0), rgb(0x10, 0x20, 0x30));
    EXPECT_EQ(s.getPixel(2, 0), rgb(228, 50, 75));
}

TEST(RasterImage, BlendingRoundsForEveryAlphaAndValue) {
    std::vector<uint32_t> pixels;
    for (uint32_t a = 0; a < 256; ++a) {
        for (uint32_t v = 0; v < 256; ++v) pixels.push_back(argb(a, v, 255 - v, (v * 7) & 0xFF));
    }
    const Image picture(256, 256, true, std::move(pixels));
    for (const Color back : {rgb(0, 128, 255), rgb(37, 201, 90)}) {
        Surface s(256, 256);
        DeviceContext dc(s);
        dc.fillRect(s.bounds(), back);
        dc.drawImage(picture, 0, 0);
        for (int a = 0; a < 256; ++a) {
            for (int v = 0; v < 256; ++v) {
                const Color want =
                    rgb(blended(v, redOf(back), a), blended(255 - v, greenOf(back), a),
                        blended((v * 7) & 0xFF, blueOf(back), a));
                ASSERT_EQ(s.getPixel(v, a), want) << "alpha " << a << " value " << v;
            }
        }
    }
}

TEST(RasterImage, OpaquePictureIgnoresItsAlphaBytesAndClipsAtNegativePositions) {
    const Image picture(
        3, 3, false,
        {0x010101, 0x020202, 0x030303, 0x040404, 0x050505, 0x060606, 0x070707, 0x080808, 0x090909});
    Surface s(4, 4);
    DeviceContext dc(s);
    dc.drawImage(picture, -1, -2);
    EXPECT_EQ(s.getPixel(0, 0), rgb(8, 8, 8));
    EXPECT_EQ(s.getPixel(1, 0), rgb(9, 9, 9));
    EXPECT_EQ(countPainted(s, s.bounds()), 2);
    dc.drawImageScaled(picture, {1, 1, 4, 4});
    EXPECT_EQ(s.getPixel(3, 3), rgb(9, 9, 9));
}

TEST(RasterImageScaled, BilinearUpAndDown) {
    const Image ramp(2, 1, false, {0xFF000000, 0xFFFFFFFF});
    Surface s(4, 1);
    DeviceContext dc(s);
    dc.drawImageScaled(ramp, {0, 0, 4, 1});
    EXPECT_EQ(s.getPixel(0, 0), rgb(0, 0, 0));
    EXPECT_EQ(s.getPixel(1, 0), rgb(64, 64, 64));
    EXPECT_EQ(s.getPixel(2, 0), rgb(191, 191, 191));
    EXPECT_EQ(s.getPixel(3, 0), rgb(255, 255, 255));

    std::vector<uint32_t> checker;
    for (int i = 0; i < 16; ++i) checker.push_back(((i + i / 4) % 2) ? 0xFFFFFFFF : 0xFF000000);
    Surface half(2, 2);
    DeviceContext(half).drawImageScaled(Image(4, 4, false, checker), {0, 0, 2, 2});
    for (int i = 0; i < 4; ++i) EXPECT_EQ(half.getPixel(i % 2, i / 2), rgb(128, 128, 128));
}

// Mixing straight colours would pull a transparent neighbour's black into
// the edge; premultiplied mixing leaves the background showing instead.
TEST(RasterImageScaled, TransparentNeighboursDoNotDarkenTheEdge) {
    const Image edge(2, 1, true, {argb(255, 255, 0, 0), argb(0, 0, 0, 0)});
    Surface s(4, 1);
    DeviceContext dc(s);
    dc.fillRect(s.bounds(), rgb(255, 255, 255));
    dc.drawImageScaled(edge, {0, 0, 4, 1});
    EXPECT_EQ(s.getPixel(0, 0), rgb(255, 0, 0));
    EXPECT_EQ(s.getPixel(1, 0), rgb(255, 64, 64));
    EXPECT_EQ(s.getPixel(2, 0), rgb(255, 191, 191));
    EXPECT_EQ(s.getPixel(3, 0), rgb(255, 255, 255));
}

TEST(RasterImageScaled, NativeSizeThroughTheMappedPathMatchesDrawImage) {
    std::vector<uint32_t> pixels;
    for (uint32_t i = 0; i < 35; ++i) pixels.push_back(argb((i * 37) & 0xFF, i * 7, 255 - i, i));
    const Image picture(7, 5, true, std::move(pixels));
    Surface direct(7, 5), mapped(7, 5);
    DeviceContext(direct).fillRect(direct.bounds(), rgb(10, 200, 30));
    DeviceContext(mapped).fillRect(mapped.bounds(), rgb(10, 200, 30));
    DeviceContext(direct).drawImage(picture, 0, 0);
    DeviceContext dc(mapped);
    dc.drawImagePart(picture, {0, 0, 7, 2}, {0, 0, 7, 2});
    dc.drawImagePart(picture, {0, 2, 7, 5}, {0, 2, 7, 5});
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) ASSERT_EQ(mapped.getPixel(x, y), direct.getPixel(x, y));
    }
}

TEST(RasterImageScaled, PartsAndDestinationsPartlyOutside) {
    const Image picture(2, 2, false, {0x111111, 0x222222, 0x333333, 0x444444});
    Surface s(4, 2);
    DeviceContext dc(s);
    // Destination pixels whose centre falls left of the picture stay as they are.
    dc.drawImagePart(picture, {-2, 0, 2, 2}, {0, 0, 4, 2});
    EXPECT_EQ(s.getPixel(0, 0), 0u);
    EXPECT_EQ(s.getPixel(1, 1), 0u);
    EXPECT_EQ(s.getPixel(2, 0), rgb(0x11, 0x11, 0x11));
    EXPECT_EQ(s.getPixel(3, 1), rgb(0x44, 0x44, 0x44));

    // A destination hanging off the surface samples as if it were whole.
    Surface whole(8, 8), corner(4, 4);
    DeviceContext(whole).drawImageScaled(picture, {0, 0, 8, 8});
    DeviceContext(corner).drawImageScaled(picture, {-4, -4, 4, 4});
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) ASSERT_EQ(corner.getPixel(x, y), whole.getPixel(x + 4, y + 4));
    }
}

}  // namespace
}  // namespace zq
