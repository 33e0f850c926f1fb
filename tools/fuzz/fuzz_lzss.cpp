// Decodes arbitrary bytes twice: with room for any expansion, and into an
// exactly sized smaller buffer (ASan sees a write past it). The cut result
// must be a prefix of the whole one and say that it was cut.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "core/lzss.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Seventeen input bytes (a flag byte and eight pairs) give at most 144.
    const size_t room = (size / 17 + 1) * 8 * zq::LzssDecoder::kMaxMatch;
    auto whole = std::make_unique<uint8_t[]>(room);
    const zq::LzssResult full = zq::LzssDecoder::decodeBuffer(data, size, whole.get(), room);
    if (full.truncated || full.length > room) std::abort();

    const size_t capacity = size == 0 ? 0 : full.length * data[0] / 256;
    auto part = std::make_unique<uint8_t[]>(capacity);
    const zq::LzssResult cut = zq::LzssDecoder::decodeBuffer(data, size, part.get(), capacity);
    if (cut.length != capacity || cut.truncated != (capacity < full.length)) std::abort();
    const zq::LzssResult sized = zq::LzssDecoder::decodedLength(data, size, capacity);
    if (sized.length != cut.length || sized.truncated != cut.truncated) std::abort();
    if (capacity > 0 && std::memcmp(part.get(), whole.get(), capacity) != 0) std::abort();
    return 0;
}
