// Text drawing of DeviceContext: line breaking, alignment, background boxes
// and coverage blending of glyphs.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/device_context.h"

namespace zq {
namespace {

constexpr int kDefaultFontHeight = 14;
constexpr int64_t kMaxTextExtent = int64_t{1} << 28;

bool isBlank(char32_t ch) { return ch == U' ' || ch == U'\t' || ch == 0x3000; }

// Ideographs, kana, hangul and full-width forms: a line may break on either
// side of them, as these scripts have no blanks between words.
bool isCjk(char32_t ch) {
    return (ch >= 0x2E80 && ch <= 0x9FFF) || (ch >= 0xAC00 && ch <= 0xD7AF) ||
           (ch >= 0xF900 && ch <= 0xFAFF) || (ch >= 0xFE30 && ch <= 0xFE4F) ||
           (ch >= 0xFF00 && ch <= 0xFFEF) || (ch >= 0x20000 && ch <= 0x3FFFF);
}

struct TextChar {
    char32_t code;
    int width;
};

// A line is chars[begin, end); width is what it covers when drawn.
struct TextLine {
    size_t begin = 0;
    size_t end = 0;
    int width = 0;
};

// Decodes `text` with each character's advance. Carriage returns are
// dropped; line feeds are kept (with no width) only when `keepLineFeeds`.
std::vector<TextChar> measureChars(const Font& font, std::u16string_view text, bool keepLineFeeds) {
    std::vector<TextChar> chars;
    chars.reserve(text.size());
    for (size_t pos = 0; pos < text.size();) {
        char32_t ch = nextChar(text, pos);
        if (ch == U'\r' || (ch == U'\n' && !keepLineFeeds)) continue;
        chars.push_back({ch, ch == U'\n' ? 0 : font.charWidth(ch)});
    }
    return chars;
}

// Saturates, so that absurdly long text cannot overflow the coordinates.
int widthOf(const std::vector<TextChar>& chars, size_t begin, size_t end) {
    int64_t width = 0;
    for (size_t i = begin; i < end && width < kMaxTextExtent; ++i) width += chars[i].width;
    return static_cast<int>(std::min(width, kMaxTextExtent));
}

bool canBreakBefore(const std::vector<TextChar>& chars, size_t i) {
    char32_t prev = chars[i - 1].code;
    char32_t next = chars[i].code;
    return isBlank(prev) || isBlank(next) || isCjk(prev) || isCjk(next);
}

// Greedy word wrap of chars[begin, end) into lines no wider than maxWidth.
// Each line takes at least one character; blanks at a break belong to no line.
void wrapParagraph(const std::vector<TextChar>& chars, size_t begin, size_t end, int maxWidth,
                   std::vector<TextLine>& lines) {
    if (begin == end) {
        lines.push_back({begin, end, 0});
        return;
    }
    size_t start = begin;
    while (start < end) {
        // 1. Take characters while they fit, remembering the last break point.
        size_t lastBreak = start;
        int64_t width = 0;
        size_t i = start;
        for (; i < end; ++i) {
            if (i > start && canBreakBefore(chars, i)) lastBreak = i;
            if (i > start && width + chars[i].width > maxWidth) break;
            width += chars[i].width;
        }
        if (i == end) {
            lines.push_back({start, end, widthOf(chars, start, end)});
            break;
        }
        // 2. Break at the last break point, or inside a word too long for a line.
        size_t lineEnd = lastBreak > start ? lastBreak : i;
        size_t next = lineEnd;
        while (lineEnd > start && isBlank(chars[lineEnd - 1].code)) --lineEnd;
        while (next < end && isBlank(chars[next].code)) ++next;
        lines.push_back({start, lineEnd, widthOf(chars, start, lineEnd)});
        start = next;
    }
}

// A line feed ends a line; text after the last one (if any) is the last line.
std::vector<TextLine> layoutLines(const std::vector<TextChar>& chars, unsigned format,
                                  int maxWidth) {
    std::vector<TextLine> lines;
    if (format & kTextSingleLine) {
        if (!chars.empty()) lines.push_back({0, chars.size(), widthOf(chars, 0, chars.size())});
        return lines;
    }
    size_t start = 0;
    while (start < chars.size()) {
        size_t end = start;
        while (end < chars.size() && chars[end].code != U'\n') ++end;
        if (format & kTextWordBreak) {
            wrapParagraph(chars, start, end, maxWidth, lines);
        } else {
            lines.push_back({start, end, widthOf(chars, start, end)});
        }
        start = end + 1;
    }
    return lines;
}

int64_t alignedLeft(const Rect& rect, int lineWidth, unsigned format) {
    if (format & kTextRight) return int64_t{rect.right} - lineWidth;
    if (format & kTextCenter) return rect.left + (int64_t{rect.width()} - lineWidth) / 2;
    return rect.left;
}

// ink * a + pixel * (255 - a), divided by 255 and rounded, for each
// channel of two native pixels. Red and blue share one multiply, 16 bits
// apart; (t + (t >> 8)) >> 8 with t = x + 128 is x / 255 rounded for any
// x <= 255 * 255.
inline uint32_t blend(uint32_t ink, uint32_t pixel, uint32_t a) {
    const uint32_t rest = 255 - a;
    uint32_t rb = (ink & 0xFF00FF) * a + (pixel & 0xFF00FF) * rest + 0x800080;
    uint32_t g = ((ink >> 8) & 0xFF) * a + ((pixel >> 8) & 0xFF) * rest + 0x80;
    rb = ((rb + ((rb >> 8) & 0xFF00FF)) >> 8) & 0xFF00FF;
    g = ((g + (g >> 8)) >> 8) & 0xFF;
    return rb | (g << 8);
}

// One row of a glyph over the target. Most of a glyph's box is empty, and
// skipping it saves more than the branch costs.
void blendCoverageRun(uint32_t* pixel, const uint8_t* cover, int n, uint32_t ink) {
    for (int i = 0; i < n; ++i) {
        const uint32_t a = cover[i];
        if (a == 0) continue;
        pixel[i] = a == 255 ? ink : blend(ink, pixel[i], a);
    }
}

// Restores the clip of a DeviceContext on every path out of a scope.
class ClipRestorer {
public:
    explicit ClipRestorer(Rect& clip) : clip_(clip), saved_(clip) {}
    ~ClipRestorer() { clip_ = saved_; }
    ClipRestorer(const ClipRestorer&) = delete;
    ClipRestorer& operator=(const ClipRestorer&) = delete;

private:
    Rect& clip_;
    Rect saved_;
};

}  // namespace

int DeviceContext::drawText(std::u16string_view text, Rect& rect, unsigned format) {
    FontRef font = font_ ? font_ : getFont(kDefaultFontHeight);
    const int lineHeight = font->height();
    std::vector<TextChar> chars = measureChars(*font, text, !(format & kTextSingleLine));
    std::vector<TextLine> lines = layoutLines(chars, format, rect.width());
    const int textHeight = static_cast<int>(std::min<int64_t>(
        int64_t{lineHeight} * static_cast<int64_t>(lines.size()), kMaxTextExtent));

    if (format & kTextCalcRect) {
        if (!(format & kTextWordBreak)) {
            int widest = 0;
            for (const TextLine& line : lines) widest = std::max(widest, line.width);
            rect.right = rect.left + widest;
        }
        rect.bottom = rect.top + textHeight;
        return textHeight;
    }

    ClipRestorer restore(clip_);
    clip_ = activeClip();
    if (!(format & kTextNoClip)) clip_ = clip_.intersected(rect);
    if (clip_.isEmpty()) return textHeight;

    int64_t y = rect.top;
    if ((format & kTextSingleLine) && (format & kTextVCenter)) {
        y += (int64_t{rect.height()} - lineHeight) / 2;
    }
    for (const TextLine& line : lines) {
        if (y >= clip_.bottom) break;
        if (y + lineHeight > clip_.top) {
            int64_t x = alignedLeft(rect, line.width, format);
            if (bkMode_ == BackgroundMode::Opaque) {
                fillClipped(x, y, x + line.width, y + lineHeight, Surface::toNative(bkColor_),
                            clip_);
            }
            // Only glyphs near the clip are drawn (a cell height of slack for
            // overhangs), so pen positions passed on fit an int.
            for (size_t i = line.begin; i < line.end && x - lineHeight < clip_.right; ++i) {
                if (x + chars[i].width + lineHeight > clip_.left) {
                    blendGlyph(font->glyph(chars[i].code), static_cast<int>(x),
                               static_cast<int>(y + font->ascent()), textColor_);
                }
                x += chars[i].width;
            }
        }
        y += lineHeight;
    }
    return textHeight;
}

void DeviceContext::textOut(int x, int y, std::u16string_view text) {
    const int64_t farRight = int64_t{x} + kMaxTextExtent;
    const int64_t farBottom = int64_t{y} + kMaxFontHeight;
    Rect line{x, y, static_cast<int>(std::min<int64_t>(farRight, INT32_MAX)),
              static_cast<int>(std::min<int64_t>(farBottom, INT32_MAX))};
    drawText(text, line, kTextSingleLine | kTextNoClip);
}

Size DeviceContext::textExtent(std::u16string_view text) const {
    FontRef font = font_ ? font_ : getFont(kDefaultFontHeight);
    std::vector<TextChar> chars = measureChars(*font, text, false);
    return {widthOf(chars, 0, chars.size()), font->height()};
}

void DeviceContext::blendGlyph(const Glyph& g, int penX, int baselineY, Color color) {
    const int originX = penX + g.left;
    const int originY = baselineY - g.top;
    if (g.coverage.size() < static_cast<size_t>(g.width) * static_cast<size_t>(g.height)) return;
    Rect box = Rect::fromSize(originX, originY, g.width, g.height)
                   .intersected(clip_)
                   .intersected(target_->bounds());
    if (box.isEmpty()) return;
    const uint32_t ink = Surface::toNative(color);
    for (int y = box.top; y < box.bottom; ++y) {
        const uint8_t* cover =
            g.coverage.data() + static_cast<size_t>(y - originY) * g.width + (box.left - originX);
        blendCoverageRun(target_->row(y) + box.left, cover, box.right - box.left, ink);
    }
}

}  // namespace zq
