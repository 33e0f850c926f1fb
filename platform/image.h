// Decoded pictures: PNG, JPEG, GIF (first frame) and BMP, from a file or from
// bytes received from a server.
//
// An Image is immutable once decoded and shared as ImageRef between the
// image cache, items and worker threads. Decoding is thread-safe. Bad input
// is data, not a bug: a corrupt, truncated or unknown file gives nullptr,
// and a picture larger than kMaxImageDimension on either side, or of more
// than kMaxImagePixels, is refused before its pixels are decoded: its
// header's size is read first, so memory stays bounded whatever a picture
// claims.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zq {

constexpr int kMaxImageDimension = 4096;
// A few screens of a large handset (4 MB decoded): a page's picture is
// never bigger, and a claimed 4096 x 4096 would take 64 MB.
constexpr int64_t kMaxImagePixels = 1024 * 1024;

class Image {
public:
    // `pixels` holds width*height words 0xAARRGGBB (straight, not
    // premultiplied, alpha), rows top to bottom.
    Image(int width, int height, bool hasAlpha, std::vector<uint32_t> pixels);

    int width() const { return width_; }
    int height() const { return height_; }
    // True when any pixel is not fully opaque.
    bool hasAlpha() const { return hasAlpha_; }
    const uint32_t* pixels() const { return pixels_.data(); }
    uint32_t pixel(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }

private:
    int width_;
    int height_;
    bool hasAlpha_;
    std::vector<uint32_t> pixels_;
};

using ImageRef = std::shared_ptr<const Image>;

// The format is found from the bytes, not from a file name.
ImageRef decodeImage(const uint8_t* data, size_t size);
// `path` is a host file system path (see files.h for device paths).
ImageRef loadImageFile(const std::string& path);
class Surface;
// Writes the surface as an opaque 8-bit RGB PNG, first to `path` + ".tmp",
// then renamed over `path`. False on any failure; the temporary is removed.
bool savePng(const Surface& surface, const std::string& path);

}  // namespace zq
