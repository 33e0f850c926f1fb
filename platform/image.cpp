#include "platform/image.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <system_error>
#include <utility>

#include "platform/image_codecs.h"

namespace zq {

namespace {

// Larger than any picture a page or the program folder carries; a bigger
// file is refused before it is read.
constexpr uintmax_t kMaxImageFileSize = 32u << 20;

bool startsWith(const uint8_t* data, size_t size, const char* magic) {
    size_t n = std::strlen(magic);
    return size >= n && std::memcmp(data, magic, n) == 0;
}

}  // namespace

Image::Image(int width, int height, bool hasAlpha, std::vector<uint32_t> pixels)
    : width_(width), height_(height), hasAlpha_(hasAlpha), pixels_(std::move(pixels)) {
    pixels_.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0);
}

namespace codec {

ImageRef finishImage(int width, int height, std::vector<uint32_t> pixels) {
    bool alpha = false;
    for (uint32_t p : pixels) {
        if ((p >> 24) != 0xFF) {
            alpha = true;
            break;
        }
    }
    return std::make_shared<const Image>(width, height, alpha, std::move(pixels));
}

}  // namespace codec

ImageRef decodeImage(const uint8_t* data, size_t size) {
    if (data == nullptr) return nullptr;
    // A picture at the size cap needs 4 MB; running out of memory for one is
    // a picture not shown, not a failure of the caller.
    try {
        if (startsWith(data, size, "\x89PNG\r\n\x1a\n")) return codec::decodePng(data, size);
        if (startsWith(data, size, "\xFF\xD8\xFF")) return codec::decodeJpeg(data, size);
        if (startsWith(data, size, "GIF87a") || startsWith(data, size, "GIF89a")) {
            return codec::decodeGif(data, size);
        }
        if (startsWith(data, size, "BM")) return codec::decodeBmp(data, size);
    } catch (const std::bad_alloc&) {
    }
    return nullptr;
}

ImageRef loadImageFile(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return nullptr;
    uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size == 0 || size > kMaxImageFileSize) return nullptr;
    std::ifstream in(path, std::ios::binary);
    if (!in) return nullptr;
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    // The file may have shrunk since it was measured.
    bytes.resize(static_cast<size_t>(in.gcount()));
    return decodeImage(bytes.data(), bytes.size());
}

}  // namespace zq
