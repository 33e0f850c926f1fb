// The one LZSS packer the tests use: the test peer's encoder, with the
// client's decoder beside it for round trips. Header-only so that a test
// program links the decoder only when it calls lzssUnpack.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/lzss.h"
#include "tools/zq-testserver/lzss_encoder.h"

namespace zq::test {

// The bare stream LzssDecoder reads (no "slh!" magic).
inline std::string lzssPack(std::string_view input) { return testserver::lzssEncode(input); }

inline std::vector<uint8_t> lzssPack(const std::vector<uint8_t>& input) {
    const std::string packed =
        testserver::lzssEncode({reinterpret_cast<const char*>(input.data()), input.size()});
    return {packed.begin(), packed.end()};
}

// Decodes into at most `capacity` bytes and returns what the decoder gave.
inline std::string lzssUnpack(std::string_view stream, size_t capacity) {
    std::string out(capacity, '\0');
    const LzssResult r =
        LzssDecoder::decodeBuffer(reinterpret_cast<const uint8_t*>(stream.data()), stream.size(),
                                  reinterpret_cast<uint8_t*>(out.data()), capacity);
    out.resize(r.length);
    return out;
}

}  // namespace zq::test
