// Borders: the outline a Style paints around an item's box after its content.
//
// A border paints into the box (x, y, w, h) in surface pixels on the
// GraphicsContext's DeviceContext, with pens it creates for that one paint and
// selects back out before it returns. The style that holds a border owns it.
// Borders are immutable while painting; UI thread only.
#pragma once

#include "platform/geometry.h"

namespace zq {

class GraphicsContext;

class Border {
public:
    Border() = default;
    Border(Color colour, int width) : width_(width), colour_(colour) {}
    virtual ~Border();
    Border(const Border&) = delete;
    Border& operator=(const Border&) = delete;

    // The base paints nothing.
    virtual void paint(int x, int y, int w, int h, GraphicsContext& g);

    int width() const { return width_; }
    void setWidth(int width) { width_ = width; }
    Color colour() const { return colour_; }
    void setColour(Color colour) { colour_ = colour; }

protected:
    int width_ = 1;  // line width in pixels
    Color colour_ = 0;
};

// Four lines of `width` just inside the box; nothing when width < 1.
class LineBorder : public Border {
public:
    LineBorder(Color colour, int width) : Border(colour, width) {}
    void paint(int x, int y, int w, int h, GraphicsContext& g) override;
};

// A dashed outline of the box less its last row and column. The inside is
// left alone (null brush): the background shows through.
class RectBorder : public Border {
public:
    RectBorder(Color colour, int width) : Border(colour, width) {}
    void paint(int x, int y, int w, int h, GraphicsContext& g) override;
};

// A rounded outline of `width`, centred on the box edge inset by half the
// width; nothing when width < 1.
class RoundRectBorder : public Border {
public:
    RoundRectBorder(Color colour, int width, int cornerWidth, int cornerHeight)
        : Border(colour, width), cornerWidth_(cornerWidth), cornerHeight_(cornerHeight) {}
    void paint(int x, int y, int w, int h, GraphicsContext& g) override;

    int cornerWidth() const { return cornerWidth_; }
    int cornerHeight() const { return cornerHeight_; }

private:
    int cornerWidth_;
    int cornerHeight_;
};

// A line on the row just below the box (y + h); with width >= 2 also the
// last width - 1 rows of the box. Width and colour are set after building.
class BottomLineBorder : public Border {
public:
    BottomLineBorder() = default;
    void paint(int x, int y, int w, int h, GraphicsContext& g) override;
};

}  // namespace zq
