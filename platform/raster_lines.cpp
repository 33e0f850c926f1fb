// Lines, polylines and patterned rectangle outlines.
//
// Everything here walks only the steps that can reach the clip, so a line
// from INT_MIN to INT_MAX costs no more than one across the screen.
#include <algorithm>
#include <cstdlib>
#include <utility>

#include "platform/device_context.h"

namespace zq {
namespace {

// The steps i in [0, count) whose coordinate start + i * dir lies in
// [lo, hi); empty when first > last.
std::pair<int64_t, int64_t> visibleSteps(int64_t start, int64_t dir, int64_t count, int64_t lo,
                                         int64_t hi) {
    int64_t first = dir > 0 ? lo - start : start - (hi - 1);
    int64_t last = dir > 0 ? hi - 1 - start : start - lo;
    return {std::max<int64_t>(first, 0), std::min<int64_t>(last, count - 1)};
}

int64_t sign(int64_t v) { return v < 0 ? -1 : 1; }

}  // namespace

int64_t DeviceContext::strokeLine(int x1, int y1, int x2, int y2, int64_t phase, const Stroke& s,
                                  const Rect& clip) {
    const int64_t dx = int64_t{x2} - x1, dy = int64_t{y2} - y1;
    const bool xMajor = std::abs(dx) >= std::abs(dy);
    // Major axis a, minor axis m; n steps, the end point left out.
    const int64_t along = xMajor ? std::abs(dx) : std::abs(dy);
    const int64_t across = xMajor ? std::abs(dy) : std::abs(dx);
    const int64_t a0 = xMajor ? x1 : y1, m0 = xMajor ? y1 : x1;
    const int64_t aDir = sign(xMajor ? dx : dy), mDir = sign(xMajor ? dy : dx);
    const int64_t n = along;
    if (n == 0) return phase;
    const int64_t before = s.width / 2;  // strip is [m - before, m - before + width)

    // 1. Only the steps whose strip lies on a clip column (row, if steep).
    const auto [first, last] = xMajor ? visibleSteps(a0, aDir, n, clip.left, clip.right)
                                      : visibleSteps(a0, aDir, n, clip.top, clip.bottom);
    if (first > last) return phase + n;

    // 2. A solid axis-aligned line is a rectangle.
    if (across == 0 && s.period == 1) {
        const int64_t aLo = aDir > 0 ? a0 + first : a0 - last;
        const int64_t aHi = aDir > 0 ? a0 + last + 1 : a0 - first + 1;
        const int64_t mLo = m0 - before, mHi = mLo + s.width;
        if (xMajor) {
            fillClipped(aLo, mLo, aHi, mHi, s.color, clip);
        } else {
            fillClipped(mLo, aLo, mHi, aHi, s.color, clip);
        }
        return phase + n;
    }

    // 3. Bresenham from step `first`: the minor offset of step i is
    // floor((2 i across + along) / (2 along)); the product needs 128 bits.
    const __int128 num = static_cast<__int128>(2 * first) * across + along;
    int64_t q = static_cast<int64_t>(num / (2 * along));
    int64_t rem = static_cast<int64_t>(num % (2 * along));
    for (int64_t i = first; i <= last; ++i) {
        const int64_t a = a0 + aDir * i;
        const int64_t mLo = m0 + mDir * q - before;
        if (xMajor) {
            paintStep(s, phase + i, a, mLo, a + 1, mLo + s.width, clip);
        } else {
            paintStep(s, phase + i, mLo, a, mLo + s.width, a + 1, clip);
        }
        rem += 2 * across;
        if (rem >= 2 * along) {
            rem -= 2 * along;
            ++q;
        }
    }
    return phase + n;
}

void DeviceContext::line(int x1, int y1, int x2, int y2) {
    if (pen_.style == PenStyle::Null) return;
    const Rect clip = activeClip();
    if (clip.isEmpty()) return;
    strokeLine(x1, y1, x2, y2, 0, stroke(), clip);
}

void DeviceContext::lineTo(int x, int y) {
    line(current_.x, current_.y, x, y);
    current_ = {x, y};
}

void DeviceContext::polyline(const Point* points, int count) {
    if (points == nullptr || count < 2 || pen_.style == PenStyle::Null) return;
    const Rect clip = activeClip();
    if (clip.isEmpty()) return;
    const Stroke s = stroke();
    int64_t phase = 0;
    for (int i = 1; i < count; ++i) {
        phase =
            strokeLine(points[i - 1].x, points[i - 1].y, points[i].x, points[i].y, phase, s, clip);
    }
}

void DeviceContext::strokeFrame(const Rect& r, int64_t top, int64_t right, int64_t bottom,
                                int64_t left, const Stroke& s, const Rect& clip) {
    // The outline as four runs, clockwise from the top-left corner: the top
    // and bottom runs span the whole width, the side runs the rows between.
    struct Run {
        bool horizontal;  // steps along x (a column strip per step)
        int64_t start, dir, count;
        int64_t lo, hi;  // the strip across the run
    };
    const int64_t l = r.left, t = r.top, rr = r.right, b = r.bottom;
    const int64_t w = rr - l, sideRows = (b - t) - top - bottom;
    const Run runs[] = {
        {true, l, 1, top > 0 ? w : 0, t, t + top},
        {false, t + top, 1, right > 0 ? sideRows : 0, rr - right, rr},
        {true, rr - 1, -1, bottom > 0 ? w : 0, b - bottom, b},
        {false, b - bottom - 1, -1, left > 0 ? sideRows : 0, l, l + left},
    };
    int64_t phase = 0;
    for (const Run& run : runs) {
        if (run.count <= 0) continue;
        const auto [first, last] =
            run.horizontal ? visibleSteps(run.start, run.dir, run.count, clip.left, clip.right)
                           : visibleSteps(run.start, run.dir, run.count, clip.top, clip.bottom);
        for (int64_t i = first; i <= last; ++i) {
            const int64_t p = run.start + run.dir * i;
            if (run.horizontal) {
                paintStep(s, phase + i, p, run.lo, p + 1, run.hi, clip);
            } else {
                paintStep(s, phase + i, run.lo, p, run.hi, p + 1, clip);
            }
        }
        phase += run.count;
    }
}

}  // namespace zq
