// DeviceContext: drawing into a Surface with the handset's GDI rules.
//
// State: the selected pen, brush and font, the text colour, the background
// colour and mode, and one rectangular clip region (the surface bounds when
// none is set). Every primitive respects the clip. Coordinates are surface
// pixels. Colours are Color words (0x00BBGGRR). Used by one thread at a time.
//
// Which pixels a primitive covers (x to the right, y down):
//
//   fillRect({1,1,4,3})       rectangle(1,1,5,4), 1 px pen    line(1,1, 5,1)
//     . . . . .                 . . . . . .                   . . . . . .
//     . # # # .                 . o o o o .                   . # # # # .   <- (5,1) not drawn
//     . # # # .                 . o f f o .                   . . . . . .
//     . . . . .                 . o o o o .
//                               . . . . . .
//   half-open: right and        outline (o) on the inner edge
//   bottom are not covered      of the half-open box, fill (f)
//                               inside it; with the null brush
//                               the inside is left alone
//
// roundRect and ellipse cover the same box as rectangle, with the corners cut
// on ellipse arcs of the given width and height. Lines of width w > 1 are
// centred on the ideal line (w/2 pixels to one side, the rest to the other);
// dash is 6 on 2 off... see PenStyle. polyline joins its points with line
// rules; each segment leaves out its end point except the last point, which
// is left out too (as the handset does).
#pragma once

#include <string_view>

#include "platform/cstring.h"
#include "platform/font.h"
#include "platform/geometry.h"
#include "platform/image.h"
#include "platform/surface.h"

namespace zq {

enum class PenStyle { Solid, Dash, Dot, Null };

struct Pen {
    PenStyle style = PenStyle::Solid;
    int width = 1;
    Color color = 0;
};

struct Brush {
    bool null = false;  // the null brush fills nothing
    Color color = 0xFFFFFF;
    static Brush solid(Color c) { return {false, c}; }
    static Brush hollow() { return {true, 0}; }
};

enum class BackgroundMode { Transparent, Opaque };

// drawText format bits.
enum TextFormat : unsigned {
    kTextLeft = 0x0,
    kTextCenter = 0x1,
    kTextRight = 0x2,
    kTextVCenter = 0x4,
    kTextWordBreak = 0x10,
    kTextSingleLine = 0x20,
    kTextNoClip = 0x100,
    kTextCalcRect = 0x400,
};

class DeviceContext {
public:
    explicit DeviceContext(Surface& target);

    Surface& surface() { return *target_; }

    // Selection returns the previous object so that callers can select it back.
    Pen selectPen(const Pen& pen);
    Brush selectBrush(const Brush& brush);
    FontRef selectFont(FontRef font);
    const Pen& pen() const { return pen_; }
    const Brush& brush() const { return brush_; }
    const FontRef& font() const { return font_; }
    Color setTextColor(Color c);
    Color textColor() const { return textColor_; }
    Color setBackgroundColor(Color c);
    BackgroundMode setBackgroundMode(BackgroundMode mode);

    // The clip is always inside the surface. setClipRect(nullopt-like):
    // clearClip() restores the whole surface.
    void setClipRect(const Rect& clip);
    void clearClip();
    Rect clipRect() const { return clip_; }

    // Fills the half-open rectangle with a colour (no pen, no brush).
    void fillRect(const Rect& r, Color color);
    // Pen outline, brush fill; see the diagram above.
    void rectangle(const Rect& r);
    void roundRect(const Rect& r, int ellipseWidth, int ellipseHeight);
    void ellipse(const Rect& r);
    // From (x1,y1) to (x2,y2), the end point excluded.
    void line(int x1, int y1, int x2, int y2);
    void moveTo(int x, int y) { current_ = {x, y}; }
    void lineTo(int x, int y);
    void polyline(const Point* points, int count);

    // Copies a w×h block of `src` at (sx,sy) to (dx,dy); both clipped.
    void blit(int dx, int dy, int w, int h, const Surface& src, int sx, int sy);
    // Draws the picture at its own size with its alpha.
    void drawImage(const Image& image, int x, int y);
    // Draws the picture scaled into `dst` (bilinear), with its alpha.
    void drawImageScaled(const Image& image, const Rect& dst);
    // Draws part `src` of the picture scaled into `dst`.
    void drawImagePart(const Image& image, const Rect& src, const Rect& dst);

    // Text into a rectangle with the selected font, the format bits above,
    // the text colour and (when opaque) the background colour. With
    // kTextCalcRect nothing is drawn and `rect`'s bottom (and right, for a
    // single line) is set to what the text needs. Returns the text height.
    int drawText(std::u16string_view text, Rect& rect, unsigned format);
    // Draws a single line with its top-left cell corner at (x,y).
    void textOut(int x, int y, std::u16string_view text);
    // Width and height of a single line in the selected font.
    Size textExtent(std::u16string_view text) const;

    void setPixel(int x, int y, Color c);
    Color getPixel(int x, int y) const { return target_->getPixel(x, y); }

private:
    void blendGlyph(const Glyph& g, int penX, int baselineY, Color color);

    Surface* target_;
    Pen pen_{};
    Brush brush_{};
    FontRef font_;
    Color textColor_ = 0;
    Color bkColor_ = 0xFFFFFF;
    BackgroundMode bkMode_ = BackgroundMode::Opaque;
    Rect clip_;
    Point current_{};
};

}  // namespace zq
