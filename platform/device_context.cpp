// DeviceContext state, fills, rectangles and blits. Lines are in
// raster_lines.cpp, round shapes in raster_shapes.cpp, pictures in
// raster_images.cpp; text belongs to the fonts (text_draw.cpp).
#include "platform/device_context.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <utility>

#include "platform/target_clones.h"

namespace zq {
namespace {

// Row fills are the hottest loop of painting. Short runs: a loop with the
// widest stores the CPU has (picked once at load time). Long runs: the C
// library's wmemset, which switches to string stores that skip reading the
// lines first and runs at memset speed; wchar_t is the pixel word here.
static_assert(sizeof(wchar_t) == sizeof(uint32_t));
constexpr size_t kLongRun = 1024;

ZQ_TARGET_CLONES
void fillShortRun(uint32_t* p, size_t n, uint32_t value) { std::fill_n(p, n, value); }

void fillRun(uint32_t* p, size_t n, uint32_t value) {
    if (n >= kLongRun) {
        std::wmemset(reinterpret_cast<wchar_t*>(p), static_cast<wchar_t>(value), n);
    } else {
        fillShortRun(p, n, value);
    }
}

}  // namespace

DeviceContext::DeviceContext(Surface& target) : target_(&target) {}

Pen DeviceContext::selectPen(const Pen& pen) { return std::exchange(pen_, pen); }
Brush DeviceContext::selectBrush(const Brush& brush) { return std::exchange(brush_, brush); }
FontRef DeviceContext::selectFont(FontRef font) { return std::exchange(font_, std::move(font)); }
Color DeviceContext::setTextColor(Color c) { return std::exchange(textColor_, c); }
Color DeviceContext::setBackgroundColor(Color c) { return std::exchange(bkColor_, c); }
BackgroundMode DeviceContext::setBackgroundMode(BackgroundMode mode) {
    return std::exchange(bkMode_, mode);
}

void DeviceContext::setClipRect(const Rect& clip) {
    clip_ = clip.intersected(target_->bounds());
    hasClip_ = true;
}

void DeviceContext::clearClip() {
    clip_ = {};
    hasClip_ = false;
}

DeviceContext::Stroke DeviceContext::stroke() const {
    Stroke s;
    s.color = Surface::toNative(pen_.color);
    s.gapColor = Surface::toNative(bkColor_);
    s.fillGaps = bkMode_ == BackgroundMode::Opaque;
    s.width = std::max(pen_.width, 1);
    switch (pen_.style) {
        case PenStyle::Dash:
            s.onLength = 6 * s.width;
            s.period = 8 * s.width;
            break;
        case PenStyle::Dot:
            s.onLength = s.width;
            s.period = 2 * s.width;
            break;
        case PenStyle::Solid:
        case PenStyle::Null:
            break;
    }
    return s;
}

void DeviceContext::fillClipped(int64_t left, int64_t top, int64_t right, int64_t bottom,
                                uint32_t native, const Rect& clip) {
    const int l = static_cast<int>(std::max<int64_t>(left, clip.left));
    const int r = static_cast<int>(std::min<int64_t>(right, clip.right));
    const int t = static_cast<int>(std::max<int64_t>(top, clip.top));
    const int b = static_cast<int>(std::min<int64_t>(bottom, clip.bottom));
    if (l >= r || t >= b) return;
    if (r - l == target_->width()) {  // whole rows are one run
        fillRun(target_->row(t), static_cast<size_t>(b - t) * (r - l), native);
        return;
    }
    for (int y = t; y < b; ++y) fillRun(target_->row(y) + l, static_cast<size_t>(r - l), native);
}

void DeviceContext::paintStep(const Stroke& s, int64_t step, int64_t left, int64_t top,
                              int64_t right, int64_t bottom, const Rect& clip) {
    if (s.isOn(step)) {
        fillClipped(left, top, right, bottom, s.color, clip);
    } else if (s.fillGaps) {
        fillClipped(left, top, right, bottom, s.gapColor, clip);
    }
}

void DeviceContext::fillRect(const Rect& r, Color color) {
    fillClipped(r.left, r.top, r.right, r.bottom, Surface::toNative(color), activeClip());
}

void DeviceContext::rectangle(const Rect& r) {
    if (r.isEmpty()) return;
    const Rect clip = activeClip();
    if (clip.isEmpty()) return;
    const int64_t left = r.left, top = r.top, right = r.right, bottom = r.bottom;
    const uint32_t brushColor = Surface::toNative(brush_.color);
    if (pen_.style == PenStyle::Null) {
        if (!brush_.null) fillClipped(left, top, right, bottom, brushColor, clip);
        return;
    }
    // Band thicknesses: a pen wider than half the box fills it from the top
    // and left first, so no pixel belongs to two bands.
    const Stroke s = stroke();
    const int64_t w = right - left, h = bottom - top;
    const int64_t topBand = std::min(s.width, h);
    const int64_t bottomBand = std::min(s.width, h - topBand);
    const int64_t leftBand = std::min(s.width, w);
    const int64_t rightBand = std::min(s.width, w - leftBand);
    if (!brush_.null) {
        fillClipped(left + leftBand, top + topBand, right - rightBand, bottom - bottomBand,
                    brushColor, clip);
    }
    if (s.period == 1) {
        fillClipped(left, top, right, top + topBand, s.color, clip);
        fillClipped(left, bottom - bottomBand, right, bottom, s.color, clip);
        fillClipped(left, top + topBand, left + leftBand, bottom - bottomBand, s.color, clip);
        fillClipped(right - rightBand, top + topBand, right, bottom - bottomBand, s.color, clip);
        return;
    }
    strokeFrame(r, topBand, rightBand, bottomBand, leftBand, s, clip);
}

void DeviceContext::setPixel(int x, int y, Color c) {
    if (activeClip().contains(x, y)) target_->row(y)[x] = Surface::toNative(c);
}

void DeviceContext::blit(int dx, int dy, int w, int h, const Surface& src, int sx, int sy) {
    if (w <= 0 || h <= 0) return;
    // 1. The block in destination coordinates, cut to the clip.
    const Rect clip = activeClip();
    int64_t left = std::max<int64_t>(dx, clip.left);
    int64_t top = std::max<int64_t>(dy, clip.top);
    int64_t right = std::min<int64_t>(int64_t{dx} + w, clip.right);
    int64_t bottom = std::min<int64_t>(int64_t{dy} + h, clip.bottom);
    // 2. Cut again to what the source has; offset maps destination to source.
    const int64_t ox = int64_t{sx} - dx, oy = int64_t{sy} - dy;
    left = std::max<int64_t>(left, -ox);
    top = std::max<int64_t>(top, -oy);
    right = std::min<int64_t>(right, src.width() - ox);
    bottom = std::min<int64_t>(bottom, src.height() - oy);
    if (left >= right || top >= bottom) return;
    // 3. Copy rows; memmove and the row order keep a blit within one surface
    // correct when source and destination overlap.
    const size_t bytes = static_cast<size_t>(right - left) * sizeof(uint32_t);
    const bool bottomUp = &src == target_ && oy < 0;
    for (int64_t i = 0; i < bottom - top; ++i) {
        const int y = static_cast<int>(bottomUp ? bottom - 1 - i : top + i);
        std::memmove(target_->row(y) + left, src.row(static_cast<int>(y + oy)) + (left + ox),
                     bytes);
    }
}

}  // namespace zq
