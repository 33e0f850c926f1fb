// Feeds arbitrary bytes through every code page in both directions. Valid
// UTF-8 must survive UTF-8 -> UTF-16 -> UTF-8 unchanged.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/cstring.h"

namespace {

// Strict check written independently of the codec: shortest forms only, no
// surrogates, nothing past U+10FFFF.
bool isValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t len = 0;
        uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (s.size() - i < len) return false;
        for (size_t k = 1; k < len; ++k) {
            const auto t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (t & 0x3F);
        }
        const uint32_t minimum = len == 2 ? 0x80 : (len == 3 ? 0x800 : 0x10000);
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += len;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    for (int page : {936, 950, 0}) {
        const zq::CString text = zq::CString::fromCodePage(bytes, page);
        // One unit per byte at most, and the way back must never fail.
        if (text.length() > static_cast<int>(size)) __builtin_trap();
        const std::string back = text.toCodePage(page);
        if (back.size() > 2 * static_cast<size_t>(text.length())) __builtin_trap();
    }

    const std::u16string units = zq::utf8ToUtf16(bytes);
    const std::string utf8 = zq::utf16ToUtf8(units);
    if (isValidUtf8(bytes) && utf8 != bytes) __builtin_trap();
    if (zq::CString::fromCodePage(bytes, zq::kCodePageUtf8).str() != units) __builtin_trap();
    // Whatever came in, the codec's own output is valid and stable.
    if (!isValidUtf8(utf8) || zq::utf8ToUtf16(utf8) != units) __builtin_trap();

    // The same bytes read as UTF-16 exercise unpaired surrogates on the way out.
    std::u16string raw(size / 2, u'\0');
    for (size_t i = 0; i < raw.size(); ++i) {
        raw[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    }
    const std::string encoded = zq::utf16ToUtf8(raw);
    if (!isValidUtf8(encoded)) __builtin_trap();
    const std::string gbk = zq::CString(raw).toCodePage(zq::kCodePageGbk);
    if (gbk.size() > 2 * raw.size()) __builtin_trap();
    return 0;
}
