// Pixel pictures for raster tests: a region of a surface as rows of
// characters, so that an expected shape reads like the header's diagrams.
#pragma once

#include <string>

#include "platform/surface.h"

namespace zq::test {

constexpr Color kPenColor = 0x0000FF;    // red
constexpr Color kBrushColor = 0x00FF00;  // green
constexpr Color kGapColor = 0xFF0000;    // blue

// '.' for black, '#' pen, 'f' brush, 'g' gap, '?' anything else; rows end
// with '\n'.
inline std::string art(const Surface& s, const Rect& area) {
    std::string out;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            const Color c = s.getPixel(x, y);
            out += c == 0             ? '.'
                   : c == kPenColor   ? '#'
                   : c == kBrushColor ? 'f'
                   : c == kGapColor   ? 'g'
                                      : '?';
        }
        out += '\n';
    }
    return out;
}

inline std::string art(const Surface& s) { return art(s, s.bounds()); }

// Number of pixels in `area` that are not black.
inline int countPainted(const Surface& s, const Rect& area) {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) n += s.getPixel(x, y) != 0 ? 1 : 0;
    }
    return n;
}

}  // namespace zq::test
