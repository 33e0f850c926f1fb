// StringItem: a text broken into lines to fit the width it is given, drawn
// in its style's colour and font. Plain page text, item labels, and the base
// of icon rows, menu entries, combo boxes and text fields.
//
// Lines are rebuilt by every layout (initContent); painting draws the lines
// of the last layout. Items without a font of their own share the default
// style font. UI thread only.
#pragma once

#include "core/string_utils.h"
#include "platform/cstring.h"
#include "platform/font.h"
#include "platform/geometry.h"
#include "ui/item.h"

namespace zq {

class StringItem : public Item {
public:
    StringItem(const CString& label, const CString& text, Style* style);
    StringItem(const CString& label, const CString& text, int appearanceMode, Style* style);
    ~StringItem() override;

    // Also takes the text colour, the font (null: the default font) and the
    // indent (kIndentCount, kept when the style has none).
    void setStyle(Style* style) override;
    void initContent(int firstLineWidth, int lineWidth) override;
    void paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) override;

    CString getText() const override { return text_; }
    // Replaces the text and invalidates the layout.
    void setText(const CString& text) override;
    // Applies `style` first when it is not null.
    void setTextAndStyle(const CString& text, Style* style);
    // Off: the whole text stays on one line.
    void setWrap(bool wrap) { wrap_ = wrap; }
    bool getWrap() const { return wrap_; }

    // The line height of the item's font.
    int getFontHeight() const;
    static int getTextWidth(const CString& text, const FontRef& font);

    const StringArray& getLines() const { return lines_; }
    Color getTextColor() const { return textColor_; }
    const FontRef& getFont() const { return font_; }
    int getIndent() const { return indent_; }

    // The shared font of items whose style names none.
    static FontRef defaultFont();

protected:
    // The font to measure and draw with.
    FontRef effectiveFont() const { return font_ ? font_ : defaultFont(); }

    CString text_;
    StringArray lines_;
    Color textColor_ = 0;
    FontRef font_;
    int indent_ = 0;  // two spaces per unit before each paragraph
    bool wrap_ = true;
};

// The label maker Item::setLabel uses: a StringItem with the given style.
// Installed automatically wherever StringItem is linked in.
std::unique_ptr<Item> makeStringLabel(const CString& text, Style* style);

}  // namespace zq
