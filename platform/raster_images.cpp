// Pictures onto the surface: native size with straight alpha, or scaled
// (bilinear on premultiplied colour).
//
// Image pixels are 0xAARRGGBB and the surface stores 0x00RRGGBB, so the
// colour channels line up and no conversion is needed.
#include <algorithm>
#include <vector>

#include "platform/device_context.h"
#include "platform/target_clones.h"

namespace zq {
namespace {

// Straight alpha over the destination, per channel round((s*a + d*(255-a)) / 255).
// Red and blue share one word (a 16-bit lane each, no carry between them);
// round(v / 255) is (v + 128 + ((v + 128) >> 8)) >> 8 for v <= 255 * 255.
inline uint32_t blend(uint32_t src, uint32_t dst, uint32_t a) {
    const uint32_t na = 255 - a;
    uint32_t rb = (src & 0xFF00FF) * a + (dst & 0xFF00FF) * na + 0x800080;
    rb = ((rb + ((rb >> 8) & 0xFF00FF)) >> 8) & 0xFF00FF;
    uint32_t g = ((src >> 8) & 0xFF) * a + ((dst >> 8) & 0xFF) * na + 0x80;
    g = ((g + (g >> 8)) >> 8) & 0xFF;
    return rb | (g << 8);
}

// Without branches the loop vectorises; alpha 0 and 255 come out exact.
ZQ_TARGET_CLONES
void blendRun(uint32_t* dst, const uint32_t* src, int n) {
    for (int i = 0; i < n; ++i) dst[i] = blend(src[i], dst[i], src[i] >> 24);
}

// Where one destination column (or row) samples the picture: the two
// neighbours and the weight of the second, in 1/256.
struct Tap {
    int i0 = 0;
    int i1 = 0;
    uint32_t frac = 0;
    bool valid = false;
};

// Taps for destination pixels [first, end) of a span `dstLo`..+`dstLen`
// showing source `srcLo`..+`srcLen`, reading only source pixels
// [validLo, validHi). 128-bit because sizes may be near 2^32 each.
std::vector<Tap> makeTaps(int64_t first, int64_t end, int64_t dstLo, int64_t dstLen, int64_t srcLo,
                          int64_t srcLen, int64_t validLo, int64_t validHi) {
    std::vector<Tap> taps(static_cast<size_t>(end - first));
    const __int128 den = 2 * static_cast<__int128>(dstLen);
    for (int64_t d = first; d < end; ++d) {
        // Centre of the destination pixel in source units, times `den`.
        const __int128 c = static_cast<__int128>(2 * (d - dstLo) + 1) * srcLen;
        const __int128 lo = (validLo - srcLo) * den, hi = (validHi - srcLo) * den;
        Tap& tap = taps[static_cast<size_t>(d - first)];
        if (c < lo || c >= hi) continue;
        // The sample point is half a pixel left of the centre, in 1/256.
        __int128 t = (c - dstLen) * 256;
        t = t >= 0 ? t / den : -((-t + den - 1) / den);
        const int64_t base = srcLo + static_cast<int64_t>(t >> 8);
        tap.i0 = static_cast<int>(std::clamp(base, validLo, validHi - 1));
        tap.i1 = static_cast<int>(std::clamp(base + 1, validLo, validHi - 1));
        tap.frac = static_cast<uint32_t>(t & 0xFF);
        tap.valid = true;
    }
    return taps;
}

}  // namespace

void DeviceContext::drawImage(const Image& image, int x, int y) {
    const Rect clip = activeClip();
    const int left = static_cast<int>(std::max<int64_t>(x, clip.left));
    const int top = static_cast<int>(std::max<int64_t>(y, clip.top));
    const int right = static_cast<int>(std::min<int64_t>(int64_t{x} + image.width(), clip.right));
    const int bottom =
        static_cast<int>(std::min<int64_t>(int64_t{y} + image.height(), clip.bottom));
    if (left >= right || top >= bottom) return;
    for (int row = top; row < bottom; ++row) {
        const uint32_t* src =
            image.pixels() + static_cast<size_t>(row - y) * image.width() + (int64_t{left} - x);
        uint32_t* dst = target_->row(row) + left;
        const int n = right - left;
        if (!image.hasAlpha()) {
            for (int i = 0; i < n; ++i) dst[i] = src[i] & 0xFFFFFF;
            continue;
        }
        blendRun(dst, src, n);
    }
}

void DeviceContext::drawImageScaled(const Image& image, const Rect& dst) {
    drawImagePart(image, {0, 0, image.width(), image.height()}, dst);
}

void DeviceContext::drawImagePart(const Image& image, const Rect& src, const Rect& dst) {
    if (src.isEmpty() || dst.isEmpty()) return;
    // The whole picture at its own size takes the direct path; the mapped
    // path gives the same pixels, only slower.
    if (src == Rect{0, 0, image.width(), image.height()} &&
        int64_t{dst.right} - dst.left == image.width() &&
        int64_t{dst.bottom} - dst.top == image.height()) {
        drawImage(image, dst.left, dst.top);
        return;
    }
    drawMapped(image, src, dst);
}

void DeviceContext::drawMapped(const Image& image, const Rect& src, const Rect& dst) {
    // 1. Visible destination pixels and the part of the picture they may read.
    const Rect vis = dst.intersected(activeClip());
    const int64_t vx0 = std::max(src.left, 0), vx1 = std::min(src.right, image.width());
    const int64_t vy0 = std::max(src.top, 0), vy1 = std::min(src.bottom, image.height());
    if (vis.isEmpty() || vx0 >= vx1 || vy0 >= vy1) return;

    // 2. Sampling positions, once per column and once per row.
    const std::vector<Tap> cols =
        makeTaps(vis.left, vis.right, dst.left, int64_t{dst.right} - dst.left, src.left,
                 int64_t{src.right} - src.left, vx0, vx1);
    const std::vector<Tap> rows =
        makeTaps(vis.top, vis.bottom, dst.top, int64_t{dst.bottom} - dst.top, src.top,
                 int64_t{src.bottom} - src.top, vy0, vy1);

    // 3. Each pixel: weights sum to 65536; colours are premultiplied by alpha
    // while mixed, then laid over the destination.
    constexpr uint64_t kScale = 255ull * 65536ull;
    const uint32_t opaque = image.hasAlpha() ? 0 : 0xFF000000u;
    for (int y = vis.top; y < vis.bottom; ++y) {
        const Tap& ty = rows[static_cast<size_t>(y - vis.top)];
        if (!ty.valid) continue;
        const uint32_t* r0 = image.pixels() + static_cast<size_t>(ty.i0) * image.width();
        const uint32_t* r1 = image.pixels() + static_cast<size_t>(ty.i1) * image.width();
        uint32_t* out = target_->row(y);
        for (int x = vis.left; x < vis.right; ++x) {
            const Tap& tx = cols[static_cast<size_t>(x - vis.left)];
            if (!tx.valid) continue;
            const uint32_t p[4] = {r0[tx.i0] | opaque, r0[tx.i1] | opaque, r1[tx.i0] | opaque,
                                   r1[tx.i1] | opaque};
            const uint32_t wt[4] = {(256 - tx.frac) * (256 - ty.frac), tx.frac * (256 - ty.frac),
                                    (256 - tx.frac) * ty.frac, tx.frac * ty.frac};
            uint64_t alpha = 0, red = 0, green = 0, blue = 0;
            for (int k = 0; k < 4; ++k) {
                const uint64_t wa = uint64_t{wt[k]} * (p[k] >> 24);
                alpha += wa;
                red += wa * ((p[k] >> 16) & 0xFF);
                green += wa * ((p[k] >> 8) & 0xFF);
                blue += wa * (p[k] & 0xFF);
            }
            if (alpha == 0) continue;
            const uint64_t rest = kScale - alpha;
            const uint32_t d = out[x];
            const auto mix = [&](uint64_t premul, uint32_t back) {
                return static_cast<uint32_t>((premul + back * rest + kScale / 2) / kScale);
            };
            out[x] = (mix(red, (d >> 16) & 0xFF) << 16) | (mix(green, (d >> 8) & 0xFF) << 8) |
                     mix(blue, d & 0xFF);
        }
    }
}

}  // namespace zq
