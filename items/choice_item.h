// ChoiceItem: one option row of a choice group, combo box or inline choice
// group: an IconItem with a radio disc (exclusive groups) or a check box
// (multiple groups) drawn left of its text. Rows of an implicit list (mode
// 3) draw no mark.
//
// The radio disc has a one-pixel rim in the check box's grey outline colour
// round its own colour, and a chosen row a dot inside: an option reads as
// an empty ring or a ring with a dot on a light page and a dark one alike.
//
// The mark is 12 x 12 pixels, vertically centred on the first text line; a
// text line lower than the mark is padded to 12 and moved down. A font set
// through setChoiceFont changes both the text and where the mark sits.
// UI thread only.
#pragma once

#include "items/icon_item.h"
#include "platform/font.h"
#include "platform/geometry.h"

namespace zq {
class DeviceContext;
}

namespace zq {

// The modes a choice control is made in.
enum ChoiceMode : int {
    kChoiceExclusive = 1,
    kChoiceMultiple = 2,
    kChoiceImplicit = 3,  // a list whose focused row is its selection
};

class ChoiceItem : public IconItem {
public:
    static constexpr int kMarkSize = 12;
    static constexpr Color kOutlineColor = 0xA39C99;
    static constexpr Color kDiscColor = 0xFFFFFF;
    static constexpr Color kDotColor = 0x231E97;
    static constexpr Color kCheckFill = 0x231E97;

    ChoiceItem(const CString& text, ImageRef image, int mode, Style* style);
    ~ChoiceItem() override;

    // Also reads the disc (5010) and dot (5011) colours when present.
    void setStyle(Style* style) override;
    void initContent(int firstLineWidth, int lineWidth) override;
    void paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) override;

    bool isSelected() const { return selected_; }
    void setSelected(bool selected) { selected_ = selected; }
    bool hasMark() const { return hasMark_; }
    bool isCheck() const { return isCheck_; }
    int getKind() const { return kind_; }
    int markWidth() const { return markWidth_; }
    int markTopOffset() const { return markTopOffset_; }
    Color discColor() const { return discColor_; }
    Color dotColor() const { return dotColor_; }

    // The font of the row's text and mark; null gives the style's back.
    void setChoiceFont(FontRef font);
    // The font set through setChoiceFont, else the text's font.
    FontRef getChoiceFont() const;

private:
    void paintCheck(DeviceContext& dc, int x, int top) const;
    void paintRadio(DeviceContext& dc, int x, int top) const;

    bool hasMark_;
    bool selected_ = false;
    FontRef choiceFont_;
    bool isCheck_;
    int markWidth_ = 0;
    int markTopOffset_ = 0;
    int kind_;
    Color outlineColor_ = kOutlineColor;
    Color discColor_ = kDiscColor;
    Color dotColor_ = kDotColor;
};

}  // namespace zq
