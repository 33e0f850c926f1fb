// The fixed-metric font for tests whose results must be exact numbers.
#pragma once

namespace zq::test {

// Installs FixedFontSource for the life of the object, then restores the
// system source. getFont's cache is emptied both times, so fonts fetched
// before or after never leak across.
//
//   ScopedFixedFont fixed;        // getFont(14): 7 px per character,
//   auto font = getFont(14);      // ascent 11, descent 3
class ScopedFixedFont {
public:
    ScopedFixedFont();
    ~ScopedFixedFont();
    ScopedFixedFont(const ScopedFixedFont&) = delete;
    ScopedFixedFont& operator=(const ScopedFixedFont&) = delete;
};

}  // namespace zq::test
