// The font cache, the fixed-metric font and the measuring shared by all fonts.
#include "platform/font.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

namespace zq {

char32_t nextChar(std::u16string_view text, size_t& pos) {
    char16_t unit = text[pos++];
    if (unit < 0xD800 || unit > 0xDFFF) return unit;
    if (unit <= 0xDBFF && pos < text.size()) {
        char16_t low = text[pos];
        if (low >= 0xDC00 && low <= 0xDFFF) {
            ++pos;
            return 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (low - 0xDC00);
        }
    }
    return 0xFFFD;
}

int Font::textWidth(std::u16string_view text) const {
    int width = 0;
    for (size_t pos = 0; pos < text.size();) width += charWidth(nextChar(text, pos));
    return width;
}

namespace {

bool paintsNothing(char32_t ch) {
    return ch == U' ' || ch == U'\t' || ch == U'\r' || ch == U'\n' || ch == 0x3000;
}

// Immutable after construction, so it needs no lock.
class FixedFont final : public Font {
public:
    FixedFont(int cellHeight, int weight)
        : Font(cellHeight - cellHeight / 4, cellHeight / 4, weight),
          advance_(std::max(1, cellHeight / 2)) {
        blank_.advance = advance_;
        box_.advance = advance_;
        box_.width = std::max(0, advance_ - 2);
        box_.height = std::max(0, cellHeight - 2);
        if (box_.width == 0 || box_.height == 0) box_.width = box_.height = 0;
        box_.left = 1;
        box_.top = ascent() - 1;
        box_.coverage.assign(static_cast<size_t>(box_.width) * box_.height, 0xFF);
    }

    int charWidth(char32_t) const override { return advance_; }
    const Glyph& glyph(char32_t ch) const override { return paintsNothing(ch) ? blank_ : box_; }

private:
    int advance_;
    Glyph box_;
    Glyph blank_;
};

struct FontKey {
    int height;
    int weight;
    friend auto operator<=>(const FontKey&, const FontKey&) = default;
};

class FontRegistry {
public:
    FontRef get(int cellHeight, int weight) {
        FontKey key{std::clamp(cellHeight, kMinFontHeight, kMaxFontHeight),
                    weight >= 600 ? static_cast<int>(FontWeight::Bold)
                                  : static_cast<int>(FontWeight::Normal)};
        std::lock_guard lock(mutex_);
        auto it = cache_.find(key);
        if (it != cache_.end()) return it->second;
        if (!source_) source_ = makeSystemFontSource();
        FontRef font = source_->font(key.height, key.weight);
        if (!font) font = FixedFontSource().font(key.height, key.weight);
        cache_.emplace(key, font);
        return font;
    }

    void setSource(std::shared_ptr<FontSource> source) {
        std::lock_guard lock(mutex_);
        // A null source is replaced by the system source on the next request.
        source_ = std::move(source);
        cache_.clear();
    }

private:
    std::mutex mutex_;
    std::shared_ptr<FontSource> source_;
    std::map<FontKey, FontRef> cache_;
};

FontRegistry& registry() {
    static FontRegistry instance;
    return instance;
}

}  // namespace

FontRef FixedFontSource::font(int cellHeight, int weight) {
    return std::make_shared<FixedFont>(std::clamp(cellHeight, kMinFontHeight, kMaxFontHeight),
                                       weight);
}

FontRef getFont(int cellHeight, int weight) { return registry().get(cellHeight, weight); }

void setFontSource(std::shared_ptr<FontSource> source) { registry().setSource(std::move(source)); }

}  // namespace zq
