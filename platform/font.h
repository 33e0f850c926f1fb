// Fonts: FreeType faces found through fontconfig (a CJK face, WenQuanYi
// Micro Hei), and a fixed-metric font for tests.
//
// A font is asked for by its cell height in pixels (ascent + descent) and a
// weight (400 normal, 700 bold). Its metrics are fixed when it is created.
// Measuring and glyph access are thread-safe and need no surface; glyphs are
// rendered once and cached per font.
#pragma once

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
    // (surrogate pairs count as one character).
    int textWidth(std::u16string_view text) const;
    // The glyph of `ch`, rendered on first use; the reference stays valid for
    // the font's life.
    virtual const Glyph& glyph(char32_t ch) const = 0;

protected:
    Font(int ascent, int descent, int weight) : ascent_(ascent), descent_(descent), weight_(weight) {}

private:
    int ascent_;
    int descent_;
    int weight_;
};

using FontRef = std::shared_ptr<const Font>;

enum class FontWeight : int { Normal = 400, Bold = 700 };

// Where fonts come from. The system source finds the CJK face through
// fontconfig; tests install the fixed-metric source.
class FontSource {
public:
    virtual ~FontSource() = default;
    virtual FontRef font(int cellHeight, int weight) = 0;
};

// The font of a cell height and weight from the installed source (the
// system source unless another is installed). Fonts are cached: the same
// request gives the same object. Thread-safe.
FontRef getFont(int cellHeight, int weight = static_cast<int>(FontWeight::Normal));
// Installs the source used by getFont (nullptr restores the system source)
// and empties the cache.
void setFontSource(std::shared_ptr<FontSource> source);

// True when the system CJK face can be found; `error` then stays empty,
// otherwise it says which package to install.
bool systemFontAvailable(std::string* error);

// A font whose every character is `cellHeight * 1 / 2` pixels wide (at least
// 1) with ascent cellHeight - cellHeight / 4 and descent cellHeight / 4;
// each glyph is a solid box inset by 1 px from its advance and cell.
// Layout tests use it so that results are exact numbers.
class FixedFontSource : public FontSource {
public:
    FontRef font(int cellHeight, int weight) override;
};

}  // namespace zq
