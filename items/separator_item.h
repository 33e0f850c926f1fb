// The two items that only shape a page: SeparatorItem, the horizontal rule
// of "hr", and Spacer, the empty room of "br".
//
// Styles are borrowed. UI thread only.
#pragma once

#include "platform/geometry.h"
#include "ui/item.h"

namespace zq {

class Style;

// `thickness` one-pixel lines, one under the other, in the style's colour
// and pen (kSeparatorPenStyle: 1 dashed, 2 dotted, else solid). Centred, takes
// no focus.
class SeparatorItem : public Item {
public:
    // Width 0 gives a rule across the whole line; a wider one is cut to it.
    SeparatorItem(int width, int thickness, Color color, Style* style);

    // Also the line colour and the pen.
    void setStyle(Style* style) override;
    void initContent(int firstLineWidth, int lineWidth) override;
    void paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) override;

    int getThickness() const { return thickness_; }
    Color getLineColor() const { return lineColor_; }

private:
    int lineWidth_;
    int thickness_;
    Color lineColor_;
    int penStyle_ = 0;
};

// An item that only takes room: its content is always width x height.
class Spacer : public Item {
public:
    static constexpr int kDefaultHeight = 14;

    explicit Spacer(int width, int height = kDefaultHeight);
    void initContent(int firstLineWidth, int lineWidth) override;

private:
    int width_;
    int height_;
};

}  // namespace zq
