// UTF-8 <-> UTF-16 without iconv. Malformed input follows the Unicode
// "maximal subpart" practice: each maximal invalid subsequence becomes one
// U+FFFD and decoding resumes at the first byte that could start a character,
// so a valid character is never swallowed by the error before it.
#include <cstring>

#include "platform/cstring.h"

namespace zq {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// True when the 8 bytes at `p` are all ASCII.
inline bool asciiWord(const unsigned char* p) {
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return (w & 0x8080808080808080ull) == 0;
}

// Bounds of the second byte of a sequence; they depend on the lead byte and
// exclude overlong forms, UTF-16 surrogates and code points past U+10FFFF.
inline void secondByteRange(unsigned char lead, unsigned char& lo, unsigned char& hi) {
    lo = 0x80;
    hi = 0xBF;
    if (lead == 0xE0) {
        lo = 0xA0;
    } else if (lead == 0xED) {
        hi = 0x9F;
    } else if (lead == 0xF0) {
        lo = 0x90;
    } else if (lead == 0xF4) {
        hi = 0x8F;
    }
}

// Number of bytes a lead byte announces, or 0 when it cannot start a character.
inline int sequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

inline void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::u16string utf8ToUtf16(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    // Every byte yields at most one unit (a 4-byte sequence yields two).
    std::u16string out(n, u'\0');
    char16_t* w = out.data();
    size_t i = 0;
    while (i < n) {
        // Pages are mostly markup: copy ASCII runs eight bytes at a time.
        while (i + 8 <= n && asciiWord(p + i)) {
            for (int k = 0; k < 8; ++k) *w++ = p[i + k];
            i += 8;
        }
        if (i >= n) break;
        const unsigned char lead = p[i];
        const int len = sequenceLength(lead);
        if (len == 1) {
            *w++ = lead;
            ++i;
            continue;
        }
        if (len == 0) {
            *w++ = kReplacement;
            ++i;
            continue;
        }
        unsigned char lo, hi;
        secondByteRange(lead, lo, hi);
        char32_t cp = lead & (0x7F >> len);
        size_t j = i + 1;
        int got = 1;
        for (; got < len && j < n; ++got, ++j) {
            const unsigned char c = p[j];
            if (c < lo || c > hi) break;
            cp = (cp << 6) | (c & 0x3F);
            lo = 0x80;
            hi = 0xBF;
        }
        i = j;
        if (got < len) {
            // Truncated or broken: the consumed prefix is one invalid subpart;
            // the byte that broke it is looked at again as a possible lead.
            *w++ = kReplacement;
        } else if (cp >= 0x10000) {
            cp -= 0x10000;
            *w++ = static_cast<char16_t>(0xD800 + (cp >> 10));
            *w++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            *w++ = static_cast<char16_t>(cp);
        }
    }
    out.resize(static_cast<size_t>(w - out.data()));
    return out;
}

std::string utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        const char16_t u = text[i];
        if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (u < 0xD800 || u > 0xDFFF) {
            appendUtf8(out, u);
        } else if (u <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else {
            appendUtf8(out, kReplacement);
        }
    }
    return out;
}

}  // namespace zq
