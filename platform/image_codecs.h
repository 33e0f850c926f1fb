// The per-format decoders behind decodeImage, private to platform/.
//
// Each takes a whole file in memory and gives nullptr for anything it cannot
// decode completely. Each reads the declared size first and refuses it with
// dimensionsAllowed before any pixel buffer exists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/image.h"

namespace zq::codec {

// Zero, negative or above kMaxImageDimension on either side is refused, and
// so is an area above kMaxImagePixels.
inline bool dimensionsAllowed(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= kMaxImageDimension && height <= kMaxImageDimension &&
           width * height <= kMaxImagePixels;
}

// Wraps decoded 0xAARRGGBB pixels; hasAlpha follows the pixels.
ImageRef finishImage(int width, int height, std::vector<uint32_t> pixels);

constexpr uint32_t packArgb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

ImageRef decodePng(const uint8_t* data, size_t size);
ImageRef decodeJpeg(const uint8_t* data, size_t size);
ImageRef decodeGif(const uint8_t* data, size_t size);
ImageRef decodeBmp(const uint8_t* data, size_t size);

}  // namespace zq::codec
