// Fonts: FreeType faces found through fontconfig (a CJK face, WenQuanYi
// Micro Hei), and a fixed-metric font for tests.
//
// A font is asked for by its cell height in pixels (ascent + descent) and a
// weight (400 normal, 700 bold). Its metrics are fixed when it is created.
// Measuring and glyph access are thread-safe and need no surface; glyphs are
// rendered once and cached per font.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zq {

// One rendered glyph: an 8-bit coverage mask placed relative to the pen
// position on the baseline (left: x offset of the mask's first column,
// top: distance from the baseline up to the mask's first row).
struct Glyph {
    int width = 0;
    int height = 0;
    int left = 0;
    int top = 0;
    int advance = 0;
    std::vector<uint8_t> coverage;  // width*height, rows top to bottom
};

class Font {
public:
    virtual ~Font() = default;

    int height() const { return ascent_ + descent_; }  // the cell height
    int ascent() const { return ascent_; }
    int descent() const { return descent_; }
    int weight() const { return weight_; }

    // Advance width of one character, in pixels.
    virtual int charWidth(char32_t ch) const = 0;
    // Width of a UTF-16 run: the sum of its characters' advances
    // (surrogate pairs count as one character, an unpaired surrogate
    // measures as U+FFFD).
    int textWidth(std::u16string_view text) const;
    // The glyph of `ch`, rendered on first use; the reference stays valid for
    // the font's life.
    virtual const Glyph& glyph(char32_t ch) const = 0;

protected:
    Font(int ascent, int descent, int weight)
        : ascent_(ascent), descent_(descent), weight_(weight) {}

private:
    int ascent_;
    int descent_;
    int weight_;
};

using FontRef = std::shared_ptr<const Font>;

enum class FontWeight : int { Normal = 400, Bold = 700 };

// Cell heights outside this range are clamped by getFont.
constexpr int kMinFontHeight = 1;
constexpr int kMaxFontHeight = 256;

// The character that starts at text[pos]; pos moves past it. A surrogate
// pair gives one character, an unpaired surrogate gives U+FFFD. pos must be
// below text.size().
char32_t nextChar(std::u16string_view text, size_t& pos);

// Where fonts come from. The system source finds the CJK face through
// fontconfig; tests install the fixed-metric source. font() is called with a
// clamped cell height and a weight of 400 or 700, under getFont's lock.
class FontSource {
public:
    virtual ~FontSource() = default;
    virtual FontRef font(int cellHeight, int weight) = 0;
};

// The font of a cell height and weight from the installed source (the
// system source unless another is installed). Fonts are cached: the same
// request gives the same object. The height is clamped to
// kMinFontHeight..kMaxFontHeight; weights of 600 and above are bold, the
// rest normal. Never null. Thread-safe.
FontRef getFont(int cellHeight, int weight = static_cast<int>(FontWeight::Normal));
// Installs the source used by getFont (nullptr restores the system source)
// and empties the cache. Fonts already handed out stay valid.
void setFontSource(std::shared_ptr<FontSource> source);

// True when the system CJK face can be found; `error` (may be null) then
// stays empty, otherwise it gets a one-line message naming the package to
// install.
bool systemFontAvailable(std::string* error);

// The FreeType source over the system CJK face. When the face cannot be
// found or loaded its fonts are fixed-metric ones, so that drawing still
// works; systemFontAvailable says why.
std::shared_ptr<FontSource> makeSystemFontSource();

// A font whose every character is `cellHeight * 1 / 2` pixels wide (at least
// 1) with ascent cellHeight - cellHeight / 4 and descent cellHeight / 4;
// each glyph is a solid box inset by 1 px from its advance and cell. Blanks
// (space, tab, U+3000) and line breaks keep the advance but paint nothing,
// so that a line's trailing blanks are invisible as with a real face.
// Layout tests use it so that results are exact numbers.
class FixedFontSource : public FontSource {
public:
    FontRef font(int cellHeight, int weight) override;
};

}  // namespace zq
