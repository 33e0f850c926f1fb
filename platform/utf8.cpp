// UTF-8 <-> UTF-16 without iconv. Malformed input follows the Unicode
// "maximal subpart" practice: each maximal invalid subsequence becomes one
// U+FFFD and decoding resumes at the first byte that could start a character,
// so a valid character is never swallowed by the error before it.
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <tmmintrin.h>
#define ZQ_SSSE3_CJK 1
#endif

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

#if defined(ZQ_SSSE3_CJK)
bool hasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}

// Chinese text four characters a step: twelve bytes of three-byte
// sequences whose leads are E1-EC, EE or EF (the ones the scalar fast path
// takes) become four units. Reads sixteen bytes inside [i, n); returns the
// bytes taken. `w` stays below `limit` before each four-unit write.
__attribute__((target("ssse3"))) size_t decodeChineseRun(const unsigned char* p, size_t i, size_t n,
                                                         char16_t*& w, const char16_t* limit) {
    const __m128i form = _mm_setr_epi8(-16, -64, -64, -16, -64, -64, -16, -64, -64, -16, -64, -64,
                                       0, 0, 0, 0);  // F0 C0 C0 x4
    const __m128i wanted = _mm_setr_epi8(-32, -128, -128, -32, -128, -128, -32, -128, -128, -32,
                                         -128, -128, 0, 0, 0, 0);  // E0 80 80 x4
    const __m128i leads = _mm_setr_epi8(0, -1, 3, -1, 6, -1, 9, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i tails = _mm_setr_epi8(2, 1, 5, 4, 8, 7, 11, 10, -1, -1, -1, -1, -1, -1, -1, -1);
    const size_t from = i;
    while (w < limit && i + 16 <= n) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(block, form), wanted)) != 0xFFFF) break;
        // The lead's bits in a 16-bit lane each; E0 and ED leads go the general way.
        const __m128i lead = _mm_and_si128(_mm_shuffle_epi8(block, leads), _mm_set1_epi16(0x0F));
        const __m128i odd = _mm_or_si128(_mm_cmpeq_epi16(lead, _mm_setzero_si128()),
                                         _mm_cmpeq_epi16(lead, _mm_set1_epi16(0x0D)));
        if ((_mm_movemask_epi8(odd) & 0xFF) != 0) break;
        const __m128i tail = _mm_shuffle_epi8(block, tails);  // second << 8 | third
        const __m128i units = _mm_or_si128(
            _mm_or_si128(_mm_slli_epi16(lead, 12),
                         _mm_srli_epi16(_mm_and_si128(tail, _mm_set1_epi16(0x3F00)), 2)),
            _mm_and_si128(tail, _mm_set1_epi16(0x003F)));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(w), units);
        w += 4;
        i += 12;
    }
    return i - from;
}
#endif

}  // namespace

std::u16string utf8ToUtf16(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    // Every byte yields at most one unit (a 4-byte sequence yields two).
    // The units are written into a small buffer that is appended to `out`
    // whenever it fills: that spares clearing a whole page-sized string
    // first. Every write happens with `w` below `limit` and writes at most
    // 16 units, so `buffer` never overflows.
    std::u16string out;
    out.reserve(n);
    constexpr size_t kChunk = 512;
    char16_t buffer[kChunk + 16];
    char16_t* const limit = buffer + kChunk;
    char16_t* w = buffer;
    size_t i = 0;
    while (i < n) {
        if (w >= limit) {
            out.append(buffer, static_cast<size_t>(w - buffer));
            w = buffer;
        }
        // Pages are mostly markup: copy ASCII runs sixteen or eight bytes at
        // a time.
#if defined(__SSE2__)
        // A block that holds other bytes is widened whole, but only its
        // ASCII prefix is kept; the units after it are written over next.
        while (i + 16 <= n && w < limit) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            const __m128i zero = _mm_setzero_si128();
            _mm_storeu_si128(reinterpret_cast<__m128i*>(w), _mm_unpacklo_epi8(block, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(w + 8), _mm_unpackhi_epi8(block, zero));
            const int high = _mm_movemask_epi8(block);
            if (high != 0) {
                const int ascii = __builtin_ctz(static_cast<unsigned>(high));
                w += ascii;
                i += static_cast<size_t>(ascii);
                break;
            }
            w += 16;
            i += 16;
        }
#endif
        while (i + 8 <= n && w < limit && asciiWord(p + i)) {
            for (int k = 0; k < 8; ++k) *w++ = p[i + k];
            i += 8;
        }
        if (i >= n) break;
        if (w >= limit) continue;  // the ASCII loops stopped for a full buffer
        const unsigned char lead = p[i];
        // Chinese text: three-byte sequences whose second byte has no
        // narrower range than 80..BF (all leads but E0 and ED), read four
        // bytes at a time (the fourth only when it is there) and decoded
        // here without going back to the ASCII loops. The last sequence of
        // the text takes the general way below.
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        {
            const size_t from = i;
#if defined(ZQ_SSSE3_CJK)
            if (hasSsse3()) i += decodeChineseRun(p, i, n, w, limit);
#endif
            // Two characters from each eight bytes while they last.
            while (w < limit && i + 8 <= n) {
                uint64_t v;
                std::memcpy(&v, p + i, sizeof v);
                const uint32_t low0 = v & 0x0F;
                const uint32_t low1 = (v >> 24) & 0x0F;
                if ((v & 0xC0C0F0C0C0F0) != 0x8080E08080E0 || low0 == 0 || low0 == 0x0D ||
                    low1 == 0 || low1 == 0x0D) {
                    break;
                }
                const uint64_t u = v >> 24;
                w[0] =
                    static_cast<char16_t>((low0 << 12) | ((v >> 2) & 0x0FC0) | ((v >> 16) & 0x3F));
                w[1] =
                    static_cast<char16_t>((low1 << 12) | ((u >> 2) & 0x0FC0) | ((u >> 16) & 0x3F));
                w += 2;
                i += 6;
            }
            while (w < limit && i + 4 <= n) {
                uint32_t v;
                std::memcpy(&v, p + i, sizeof v);
                const uint32_t low = v & 0x0F;  // the lead's bits
                if ((v & 0xC0C0F0) != 0x8080E0 || low == 0 || low == 0x0D) break;
                *w++ =
                    static_cast<char16_t>((low << 12) | ((v >> 2) & 0x0FC0) | ((v >> 16) & 0x3F));
                i += 3;
            }
            if (i != from) continue;
        }
#endif
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
    out.append(buffer, static_cast<size_t>(w - buffer));
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
