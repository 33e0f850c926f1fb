// Surface: a 32-bit pixel buffer (the back buffer, off-screen layers, the
// headless screen).
//
// Pixels are stored as 0x00RRGGBB words (what the window backend copies),
// rows top to bottom. Everything outside the raster talks in Color words
// (0x00BBGGRR); getPixel/setPixel convert. A Surface is owned by one thread
// at a time (the UI thread for anything shown).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/geometry.h"

namespace zq {

class Surface {
public:
    Surface() = default;
    // Sizes are clamped to 0..kMaxSurfaceDimension; starts black.
    Surface(int width, int height);

    static constexpr int kMaxSurfaceDimension = 8192;

    int width() const { return width_; }
    int height() const { return height_; }
    Rect bounds() const { return {0, 0, width_, height_}; }
    void resize(int width, int height);  // contents become black

    uint32_t* row(int y) { return data_.data() + static_cast<size_t>(y) * width_; }
    const uint32_t* row(int y) const { return data_.data() + static_cast<size_t>(y) * width_; }
    uint32_t* data() { return data_.data(); }
    const uint32_t* data() const { return data_.data(); }

    // Colour words; reads outside give 0, writes outside are ignored.
    Color getPixel(int x, int y) const;
    void setPixel(int x, int y, Color color);

    static uint32_t toNative(Color c) {
        return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
    }
    static Color fromNative(uint32_t p) {
        return ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
    }

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<uint32_t> data_;
};

}  // namespace zq
