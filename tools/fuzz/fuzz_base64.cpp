// Decodes arbitrary text (the bytes as UTF-16 units, and each byte as one
// unit) and checks that encoding round-trips.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/base64.h"

namespace {

void roundTrip(const std::string& bytes) {
    const zq::CString text =
        zq::Base64Codec::encode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    if (text.length() != static_cast<int>((bytes.size() + 2) / 3 * 4)) std::abort();
    if (zq::Base64Codec::decode(text) != bytes) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string wide(size / 2, u'\0');
    for (size_t i = 0; i + 1 < size; i += 2)
        wide[i / 2] = static_cast<char16_t>(data[i] | data[i + 1] << 8);
    std::u16string narrow(data, data + size);

    for (const std::u16string& text : {wide, narrow}) {
        const std::string decoded = zq::Base64Codec::decode(zq::CString(text));
        if (decoded.size() > text.size() * 3 / 4) std::abort();
        roundTrip(decoded);
    }
    roundTrip(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
