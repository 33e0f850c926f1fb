#include "platform/image.h"

#include <utility>

namespace zq {

Image::Image(int width, int height, bool hasAlpha, std::vector<uint32_t> pixels)
    : width_(width), height_(height), hasAlpha_(hasAlpha), pixels_(std::move(pixels)) {
    pixels_.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0);
}

}  // namespace zq
