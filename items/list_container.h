// ListContainer: the list of a page ("ul" with its "li" entries). Entries
// stand one under the other, each behind its marker in a column on the
// left: a drawn shape (disc, circle, square), a generated label (number,
// Roman numeral, letter), a picture, or nothing.
//
//   marker column | entry
//   1.            | first entry, wrapped in the
//                 | width left of the line
//   2.            | second entry
//
// Row height: the entry's, at least the marker's; rows are apart by the
// style's vertical padding, the column from the entries by its horizontal
// padding. UP and DOWN (not from the keys '2' and '8') move the focus
// between the interactive entries.
//
// The list owns its entries; styles are borrowed. UI thread only.
#pragma once

#include "platform/cstring.h"
#include "platform/font.h"
#include "platform/geometry.h"
#include "platform/image.h"
#include "ui/empty_container.h"

namespace zq {

// Marker kinds, numbered as the markup's "type" names are.
enum class ListMarker : int {
    Disc = 0,
    Circle,
    Square,
    Decimal,
    LowerRoman,
    UpperRoman,
    LowerAlpha,
    UpperAlpha,
    None,
    Image,
};

// The standard subtractive Roman numeral of `value` (empty below 1).
CString toRomanNumeral(int value);

// Spacings 2 2 0 0 4 4 and a 1 px line border 0xFF0000, with a focused
// style of the same numbers; built on first use and again after
// freeTrackedStyles.
Style* defaultListStyle();

class ListContainer : public EmptyContainer {
public:
    static constexpr int kShapeSize = 10;
    static constexpr Color kMarkerColor = 0xFFFFFF;

    ListContainer();

    // Codes outside 0..9 become None.
    void setListStyleType(int type);
    ListMarker getListStyleType() const { return type_; }
    // Taken only while the marker is Decimal (set the type first).
    void setStartNumber(int number);
    int getStartNumber() const { return startNumber_; }
    // The label of entry `index` ("5.", "iv.", "AA."); empty for the other
    // markers.
    CString markerLabel(int index) const;
    int markerWidth() const { return markerWidth_; }
    int markerHeight() const { return markerHeight_; }

    // Also the label colour, the font and the marker back colour (the
    // style's tip box colour).
    void setStyle(Style* style) override;
    void initContent(int firstLineWidth, int lineWidth) override;
    // Draws the markers and the entries as the last layout placed them.
    void paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) override;

    // Focuses the last interactive entry when coming from below (UP, LEFT),
    // else the first.
    Style* focus(Style* focusStyle, int direction) override;
    void defocus(Style* normalStyle) override;
    bool handleNavigation(int keyCode, int gameAction) override;
    // Brings the focused entry into the scrolling container's view.
    void scrollToFocusedItem() override;

protected:
    // Entries are laid out in the width right of the marker column.
    void relayoutChild(Item& child) override;

private:
    FontRef effectiveFont() const;
    void measureMarkers();
    void paintMarker(int index, int x, int y, GraphicsContext& g) const;

    ListMarker type_ = ListMarker::Disc;
    int startNumber_ = 1;
    FontRef font_;
    ImageRef markerImage_;
    Color markerBackColor_ = 0;
    bool hasMarkerBack_ = false;
    Color labelColor_ = 0;
    int markerWidth_ = kShapeSize;
    int markerHeight_ = kShapeSize;
    int childWidth_ = 0;
};

}  // namespace zq
