#include "platform/surface.h"

#include <algorithm>

namespace zq {

Surface::Surface(int width, int height) { resize(width, height); }

void Surface::resize(int width, int height) {
    width_ = std::clamp(width, 0, kMaxSurfaceDimension);
    height_ = std::clamp(height, 0, kMaxSurfaceDimension);
    data_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0);
}

Color Surface::getPixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    return fromNative(row(y)[x]);
}

void Surface::setPixel(int x, int y, Color color) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    row(y)[x] = toNative(color);
}

}  // namespace zq
