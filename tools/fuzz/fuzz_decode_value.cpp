// Decodes arbitrary text as a marked form value (the bytes as UTF-16 units,
// and each byte as one unit): the value is never longer than the text
// allows, and a value decoded from the servers' form comes back unchanged
// through encoding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "markup/encoder.h"

namespace {

void check(const std::u16string& text) {
    zq::FieldEncoder decoder{zq::CString(), zq::CString(), zq::CString(), zq::CString(text)};
    const zq::CString value = decoder.decodeValue();
    // Six bits per even character, one character per byte, every other kept.
    if (static_cast<size_t>(value.length()) > text.size() / 2 * 6 / 8 / 2 + 1) std::abort();
    if (value.view().find(u'\xFFFD') != std::u16string_view::npos) return;
    zq::FieldEncoder back(zq::CString(), zq::CString(), zq::CString(),
                          zq::FieldEncoder::withDefaultKeys(value).encodeValue());
    if (!(back.decodeValue() == value)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string wide(size / 2, u'\0');
    for (size_t i = 0; i + 1 < size; i += 2)
        wide[i / 2] = static_cast<char16_t>(data[i] | data[i + 1] << 8);
    check(wide);
    check(std::u16string(data, data + size));
    return 0;
}
