// The small page items the text builders place: Spacer ("br"),
// SeparatorItem ("hr"), ListContainer ("ul") and ProgressBarItem
// ("progressbar"). Each keeps to what the builders and a page need: a
// size, a rule, a marked column of entries, a bar of a value.
//
// Ownership as for every item: a list owns its entries; styles are
// borrowed. UI thread only.
#pragma once

#include <cstdint>

#include "platform/cstring.h"
#include "platform/font.h"
#include "platform/geometry.h"
#include "ui/container.h"
#include "ui/item.h"

namespace zq {

class GraphicsContext;
class Style;

// An empty item that only takes room: width x 14, or width x height.
class Spacer : public Item {
public:
    explicit Spacer(int width, int height = 14);
    void initContent(int firstLineWidth, int lineWidth) override;

private:
    int width_;
    int height_;
};

// The horizontal rule: `thickness` lines of the style's colour, as wide as
// asked (0: the whole line) but never wider than the line. Centred, takes
// no focus.
class SeparatorItem : public Item {
public:
    SeparatorItem(int width, int thickness, Color color, Style* style);
    // Also the colour and the pen (property 20820: 1 dashed, else solid).
    void setStyle(Style* style) override;
    void initContent(int firstLineWidth, int lineWidth) override;
    void paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) override;

    int getThickness() const { return thickness_; }
    Color getLineColor() const { return lineColor_; }

private:
    int lineWidth_;
    int thickness_;
    Color lineColor_;
    bool dashed_ = false;
};

// Marker kinds of a list, in the order of the markup's "type" names.
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

// The list of a page: entries one under the other, each behind its marker
// in a column on the left. The entries are laid out, focused and painted
// as a Container's children; the marker column stands in front of them.
class ListContainer : public Container {
public:
    ListContainer();

    // Codes above 9 become None.
    void setListStyleType(int type);
    ListMarker getListStyleType() const { return type_; }
    // Taken only while the marker is Decimal (set the type first).
    void setStartNumber(int number);
    int getStartNumber() const { return startNumber_; }
    // The marker label of entry `index` ("3.", "iv.", "AA."); empty for
    // the drawn markers.
    CString markerLabel(int index) const;

    // Also the label colour, the font and the marker back colour (20831).
    void setStyle(Style* style) override;
    void initContent(int firstLineWidth, int lineWidth) override;
    void paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) override;
    int markerWidth() const { return markerWidth_; }

private:
    void measureMarkers();
    void paintMarker(int index, int x, int y, GraphicsContext& g) const;

    ListMarker type_ = ListMarker::Disc;
    int startNumber_ = 1;
    FontRef font_;
    Color labelColor_ = 0;
    Color markerColor_ = 0xFFFFFF;
    Color markerBackColor_ = 0;
    bool hasMarkerBack_ = false;
    int markerWidth_ = 10;
    int markerHeight_ = 10;
};

// The standard subtractive Roman numeral of `value` (empty below 1).
CString toRomanNumeral(int value);

// A bar showing `value` of `maximum` with the value as text in front. An
// editable bar takes the focus; RIGHT and LEFT change the value by one
// within 0..maximum, a tap raises it by one and wraps to 0 after the
// maximum.
class ProgressBarItem : public Item {
public:
    static constexpr Color kBarColor = 0xFF0000;
    static constexpr Color kGapColor = 0xFFFFFF;

    ProgressBarItem(const CString& label, bool editable, int maximum, int value, Style* style);

    // Clamped to 0..maximum; does not repaint.
    void setValue(int value);
    int getValue() const { return value_; }
    int getMaxValue() const { return maxValue_; }

    // Also the text colour and the font.
    void setStyle(Style* style) override;
    bool keyPressed(int keyCode, int gameAction) override;
    bool pointerPressed(int x, int y) override;
    void initContent(int firstLineWidth, int lineWidth) override;
    void paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) override;

private:
    FontRef effectiveFont() const;

    int value_ = 0;
    int maxValue_;
    bool editable_;
    CString valueText_;
    Color textColor_ = 0;
    FontRef font_;
    int textReserve_ = 0;
};

}  // namespace zq
