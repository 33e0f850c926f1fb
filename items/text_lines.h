// TextLines: a text field's shown text wrapped into lines, and where the
// caret stands in them. A line is an index range [start, end) into the text
// that keeps the blank or line feed that ended it, so a caret index into the
// text is also one into the lines.
//
// The text is not kept: each call takes the text the lines were (or are to
// be) made from. Widths and x offsets are pixels in the given font; the
// caret's y is from the first line's top; its column counts whole
// characters. UI thread.
#pragma once

#include <vector>

#include "platform/cstring.h"

namespace zq {

class Font;

// Whole characters of a UTF-16 text: a surrogate pair is one character, and
// an index that is a character boundary never falls inside one.
// The number of characters.
int charCount(const CString& text);
// The index behind the character at `index` (the length at the end).
int nextCharIndex(const CString& text, int index);
// The index of the character before `index` (0 at the start).
int previousCharIndex(const CString& text, int index);
// The index `count` characters on from `index`, at most `end`.
int advanceChars(const CString& text, int index, int count, int end);

class TextLines {
public:
    struct Range {
        int start = 0;
        int end = 0;
    };

    // Breaks `text` at the last blank (or, without one, the last character)
    // that fits the width, never inside a surrogate pair; line feeds always
    // break. A width of 0 or less
    // never breaks. Empty text gives no lines.
    void wrap(const CString& text, const Font& font, int firstLineWidth, int lineWidth);
    void clear() { lines_.clear(); }
    int count() const { return static_cast<int>(lines_.size()); }
    bool isEmpty() const { return lines_.empty(); }
    const Range& line(int index) const { return lines_[index]; }
    // The characters line `index` shows: without its closing line feed.
    CString lineText(const CString& text, int index) const;
    // The widest line's width.
    int widest(const CString& text, const Font& font) const;

    // The distance from one line's top to the next one's.
    void setLineHeight(int height) { lineHeight_ = height; }
    int lineHeight() const { return lineHeight_; }

    // --- the caret ----------------------------------------------------------------
    // Places the caret on index `index` (within the text) of the lines;
    // without lines it stands at the start.
    void locate(const CString& text, const Font& font, int index);
    // The caret at the start, as on an empty text.
    void resetCaret() { column_ = lineIndex_ = caretX_ = caretY_ = caretLineWidth_ = 0; }
    int caretLine() const { return lineIndex_; }
    int caretColumn() const { return column_; }
    int caretX() const { return caretX_; }
    int caretY() const { return caretY_; }
    // The width of the caret's line.
    int caretLineWidth() const { return caretLineWidth_; }
    // The index the caret goes to `step` lines away, keeping its column
    // (but not past the line's end; the last line ends at `length`); -1
    // when there is no such line.
    int indexOnLineAway(const CString& text, int length, int step) const;

private:
    std::vector<Range> lines_;
    int lineHeight_ = 0;
    int column_ = 0;
    int lineIndex_ = 0;
    int caretLineWidth_ = 0;
    int caretX_ = 0;
    int caretY_ = 0;
};

}  // namespace zq
