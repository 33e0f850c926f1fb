// Base64 (RFC 4648 alphabet, "=" padding) between bytes and UTF-16 text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/cstring.h"

namespace zq {

class Base64Codec {
public:
    // 4 * ceil(count / 3) characters, padded with "=".
    static CString encode(const uint8_t* bytes, size_t count);

    // Characters outside the alphabet (blanks, line breaks, "=", anything
    // else) are skipped. Every four alphabet characters give three bytes; a
    // final two or three give one or two. Never reads past the text.
    static std::string decode(const CString& text);
};

}  // namespace zq
