// TextLines: wrapping the shown text and placing the caret in its lines.
#include "items/text_lines.h"

#include <algorithm>

#include "platform/font.h"

namespace zq {

namespace {

bool endsLine(char16_t ch) { return ch == u' ' || ch == u'\t' || ch == u'\n'; }

bool isHighSurrogate(char16_t ch) { return ch >= 0xD800 && ch <= 0xDBFF; }
bool isLowSurrogate(char16_t ch) { return ch >= 0xDC00 && ch <= 0xDFFF; }

}  // namespace

int charCount(const CString& text) {
    int count = 0;
    for (int i = 0; i < text.length(); i = nextCharIndex(text, i)) ++count;
    return count;
}

int nextCharIndex(const CString& text, int index) {
    if (index >= text.length()) return text.length();
    if (index < 0) return 0;
    size_t next = static_cast<size_t>(index);
    nextChar(text.view(), next);
    return static_cast<int>(next);
}

int previousCharIndex(const CString& text, int index) {
    index = std::min(index, text.length());
    if (index <= 0) return 0;
    const bool pair =
        index >= 2 && isLowSurrogate(text[index - 1]) && isHighSurrogate(text[index - 2]);
    return index - (pair ? 2 : 1);
}

int advanceChars(const CString& text, int index, int count, int end) {
    for (int i = 0; i < count && index < end; ++i) index = nextCharIndex(text, index);
    return std::min(index, end);
}

void TextLines::wrap(const CString& text, const Font& font, int firstLineWidth, int lineWidth) {
    lines_.clear();
    if (text.isEmpty()) return;
    const int length = text.length();
    Range line;
    int width = 0;
    int lastBreak = -1;  // index behind the last blank of the line
    for (int i = 0, next = 0; i < length; i = next) {
        const char16_t ch = text[i];
        size_t after = static_cast<size_t>(i);
        const char32_t shown = nextChar(text.view(), after);
        next = static_cast<int>(after);
        if (ch == u'\n') {
            line.end = i + 1;
            lines_.push_back(line);
            line = Range{i + 1, i + 1};
            width = 0;
            lastBreak = -1;
            continue;
        }
        const int limit = lines_.empty() ? firstLineWidth : lineWidth;
        const int w = font.charWidth(shown);
        if (limit > 0 && width + w > limit && i > line.start) {
            const int cut = lastBreak > line.start ? lastBreak : i;
            line.end = cut;
            lines_.push_back(line);
            line = Range{cut, cut};
            width = font.textWidth(text.view().substr(cut, i - cut));
            lastBreak = -1;
        }
        width += w;
        if (endsLine(ch)) lastBreak = i + 1;
    }
    line.end = length;
    if (line.end > line.start || lines_.empty() || text[length - 1] == u'\n') {
        lines_.push_back(line);
    }
}

CString TextLines::lineText(const CString& text, int index) const {
    const Range& line = lines_[index];
    int end = line.end;
    if (end > line.start && text[end - 1] == u'\n') --end;
    return text.mid(line.start, end - line.start);
}

int TextLines::widest(const CString& text, const Font& font) const {
    int widest = 0;
    for (int i = 0; i < count(); ++i) {
        widest = std::max(widest, font.textWidth(lineText(text, i).view()));
    }
    return widest;
}

void TextLines::locate(const CString& text, const Font& font, int index) {
    if (lines_.empty()) {
        resetCaret();
        return;
    }
    const int last = count() - 1;
    int at = last;
    for (int i = 0; i < last; ++i) {
        if (index < lines_[i].end) {
            at = i;
            break;
        }
    }
    const Range& line = lines_[at];
    lineIndex_ = at;
    const int offset = std::clamp(index - line.start, 0, line.end - line.start);
    const CString shown = lineText(text, at);
    column_ = charCount(text.mid(line.start, offset));
    caretX_ = font.textWidth(shown.view().substr(0, std::min(offset, shown.length())));
    caretLineWidth_ = font.textWidth(shown.view());
    caretY_ = lineHeight_ * lineIndex_;
}

int TextLines::indexOnLineAway(const CString& text, int length, int step) const {
    const int target = lineIndex_ + step;
    if (target < 0 || target >= count()) return -1;
    const Range& range = lines_[target];
    int end = range.end;
    if (end > range.start && end <= text.length() && text[end - 1] == u'\n') --end;
    return advanceChars(text, range.start, column_, target == count() - 1 ? length : end);
}

}  // namespace zq
