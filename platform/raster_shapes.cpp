// Rounded rectangles and ellipses, drawn row by row: each row of the box
// has one span of the shape, and (inside the pen) one span of the fill.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/device_context.h"

namespace zq {
namespace {

// How far row k (0 = top) of an ellipse ew x eh inscribed in a half-open box
// starts from the box's left edge: the first pixel whose centre is inside,
// but never past the middle pixel(s), so every row keeps one; the middle
// row(s) keep all, so every column keeps its middle pixel(s) too.
int64_t arcInset(int64_t k, int64_t ew, int64_t eh) {
    if (2 * k + 2 >= eh) return 0;
    // In doubled coordinates from the ellipse centre the row centre is at
    // y = eh - 2k - 1 and the half width is ew * sqrt(1 - (y / eh)^2).
    const double y = static_cast<double>(eh - 2 * k - 1);
    const double e = static_cast<double>(eh);
    const double half = static_cast<double>(ew) * std::sqrt((e - y) * (e + y)) / e;
    const double inset = std::ceil((static_cast<double>(ew) - 1.0 - half) / 2.0);
    return std::clamp<int64_t>(static_cast<int64_t>(inset), 0, (ew - 1) / 2);
}

struct Span {
    int64_t left = 0;
    int64_t right = 0;
};

// The box [left, right) x [top, bottom) with corner ellipses ew x eh.
struct RoundBox {
    int64_t left, top, right, bottom, ew, eh;

    bool isEmpty() const { return right <= left || bottom <= top; }

    // Rows outside the box have an empty span.
    Span row(int64_t y) const {
        if (y < top || y >= bottom) return {left, left};
        const int64_t k = std::min(y - top, bottom - 1 - y);
        const int64_t inset = ew > 0 && 2 * k + 1 < eh ? arcInset(k, ew, eh) : 0;
        return {left + inset, right - inset};
    }
};

}  // namespace

void DeviceContext::roundRect(const Rect& r, int ellipseWidth, int ellipseHeight) {
    const int64_t w = int64_t{r.right} - r.left, h = int64_t{r.bottom} - r.top;
    drawShape(r, std::clamp<int64_t>(ellipseWidth, 0, w), std::clamp<int64_t>(ellipseHeight, 0, h));
}

void DeviceContext::ellipse(const Rect& r) {
    drawShape(r, int64_t{r.right} - r.left, int64_t{r.bottom} - r.top);
}

void DeviceContext::drawShape(const Rect& r, int64_t ellipseWidth, int64_t ellipseHeight) {
    if (r.isEmpty()) return;
    const Rect clip = activeClip();
    const bool hasPen = pen_.style != PenStyle::Null;
    if (clip.isEmpty() || (!hasPen && brush_.null)) return;

    // 1. The outer shape, and the inner one the pen leaves for the brush: the
    // box shrunk by the pen width, its corners shrunk with it.
    const RoundBox outer{r.left, r.top, r.right, r.bottom, ellipseWidth, ellipseHeight};
    const int64_t pw = hasPen ? std::max(pen_.width, 1) : 0;
    const RoundBox inner{outer.left + pw,
                         outer.top + pw,
                         outer.right - pw,
                         outer.bottom - pw,
                         std::max<int64_t>(ellipseWidth - 2 * pw, 0),
                         std::max<int64_t>(ellipseHeight - 2 * pw, 0)};
    const uint32_t penColor = Surface::toNative(pen_.color);
    const uint32_t brushColor = Surface::toNative(brush_.color);

    // 2. Each visible row: outline where the outer span is outside the inner
    // span, brush inside it.
    const int64_t yFirst = std::max<int64_t>(outer.top, clip.top);
    const int64_t yEnd = std::min<int64_t>(outer.bottom, clip.bottom);
    for (int64_t y = yFirst; y < yEnd; ++y) {
        const Span o = outer.row(y);
        if (!hasPen) {
            fillClipped(o.left, y, o.right, y + 1, brushColor, clip);
            continue;
        }
        Span in{o.left, o.left};
        if (!inner.isEmpty() && y >= inner.top && y < inner.bottom) {
            // Only pixels whose four neighbours are all in the shape may be
            // filled, so that the outline stays closed where the shape is thin.
            const Span i = inner.row(y), above = outer.row(y - 1), below = outer.row(y + 1);
            in = {std::max({i.left, o.left + 1, above.left, below.left}),
                  std::min({i.right, o.right - 1, above.right, below.right})};
            if (in.left >= in.right) in = {o.left, o.left};
        }
        if (!brush_.null) fillClipped(in.left, y, in.right, y + 1, brushColor, clip);
        if (in.left == in.right) {
            fillClipped(o.left, y, o.right, y + 1, penColor, clip);
        } else {
            fillClipped(o.left, y, in.left, y + 1, penColor, clip);
            fillClipped(in.right, y, o.right, y + 1, penColor, clip);
        }
    }
}

}  // namespace zq
