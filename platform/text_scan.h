// Searches for one UTF-16 unit in page text, eight units a step where the
// processor has SSE2. Page loading looks for "<", ">", "&" and "@" over
// every unit of every page, so these loops are its hottest.
//
// The wide loop reads only whole eight-unit blocks inside [from, end); the
// rest is looked at one unit at a time, so nothing past `end` is read.
#pragma once

#include <cstddef>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zq {

// The index of the first `ch` in data[from, end), or `end` when absent.
inline size_t scanForUnit(const char16_t* data, size_t from, size_t end, char16_t ch) {
    size_t i = from;
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi16(static_cast<short>(ch));
    while (i + 8 <= end) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(block, wanted));
        if (mask != 0)
            return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask))) / 2;
        i += 8;
    }
#endif
    for (; i < end; ++i) {
        if (data[i] == ch) return i;
    }
    return end;
}

// The index of the first `ch` in text at or after `from`, or npos.
inline size_t findUnit(std::u16string_view text, char16_t ch, size_t from = 0) {
    if (from >= text.size()) return std::u16string_view::npos;
    if (text[from] == ch) return from;  // markup: tags often follow one another
    const size_t at = scanForUnit(text.data(), from, text.size(), ch);
    return at == text.size() ? std::u16string_view::npos : at;
}

// The index of the first `what` (not empty) in text at or after `from`, or npos.
inline size_t findUnits(std::u16string_view text, std::u16string_view what, size_t from = 0) {
    const size_t n = text.size();
    const size_t m = what.size();
    if (m == 0 || m > n) return std::u16string_view::npos;
    const size_t last = n - m;  // the last position where `what` fits
    for (size_t at = findUnit(text, what[0], from); at != std::u16string_view::npos && at <= last;
         at = findUnit(text, what[0], at + 1)) {
        if (text.compare(at, m, what) == 0) return at;
    }
    return std::u16string_view::npos;
}

}  // namespace zq
