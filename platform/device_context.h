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
//   line(1,1, 5,4), width 1       line(1,2, 6,2), width 3
//     . . . . . .                   . . . . . . .
//     . # . . . .                   . # # # # # .   w/2 rows above the ideal
//     . . # . . .                   . # # # # # .   line, the rest on it and
//     . . . # # .                   . # # # # # .   below; (6,2) not drawn
//     . . . . . .   <- (5,4) not drawn
//
// A line steps one pixel at a time along its longer axis (Bresenham, halves
// rounded away from the start) and leaves out its end point. A pen of width
// w > 1 paints, at each step, w pixels across that axis: w/2 before the ideal
// pixel (above, or to the left for steep lines) and (w-1)/2 after it. A width
// below 1 counts as 1.
//
// Patterns are counted in those steps, start "on" at the first point and
// scale with the pen width: dash is 6w on, 2w off; dot is w on, w off
// (width 1: "######..######..", "#.#.#.#."). In the opaque background mode
// the gaps take the background colour, as on the handset; in the transparent
// mode they are left alone. polyline carries the pattern on across its
// segments; line and lineTo start it afresh. A rectangle's outline walks the
// pattern clockwise from the top-left corner.
//
// roundRect covers the same box as rectangle, with each corner cut on a
// quarter of an ellipse ew x eh (clamped to the box); ellipse is the
// roundRect whose corner ellipse is the whole box. A pixel is inside when its
// centre is, except that every row and every column of the box keeps at
// least its middle pixel(s), so the extreme points are always touched. The
// pen outline lies inside the shape, w px thick, and is closed: no brush
// pixel touches the outside. Dash and dot pens draw curves solid.
//
// polyline joins its points with line rules: each segment leaves out its end
// point, which the next segment starts on, so only the last point is missing.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>

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
    Color backgroundColor() const { return bkColor_; }
    BackgroundMode setBackgroundMode(BackgroundMode mode);
    BackgroundMode backgroundMode() const { return bkMode_; }

    // The clip is always inside the surface: setClipRect intersects with the
    // surface bounds, and clearClip() restores the whole surface (following
    // it if it is resized later).
    void setClipRect(const Rect& clip);
    void clearClip();
    Rect clipRect() const { return activeClip(); }

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
    // Draws the picture at its own size with its alpha:
    // out = (src * a + dst * (255 - a)) / 255, rounded, per channel.
    void drawImage(const Image& image, int x, int y);
    // Draws the picture scaled into `dst` (bilinear, on premultiplied
    // colour so that transparent pixels do not darken the edges), with its
    // alpha. At the picture's own size this is exactly drawImage.
    void drawImageScaled(const Image& image, const Rect& dst);
    // Draws part `src` of the picture scaled into `dst`. Pixels of `dst`
    // whose centre maps outside the picture are left alone.
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

    // setPixel respects the clip; getPixel reads the surface (no clip).
    void setPixel(int x, int y, Color c);
    Color getPixel(int x, int y) const { return target_->getPixel(x, y); }

private:
    // The selected pen as the raster paints it (native colours, pattern).
    struct Stroke {
        uint32_t color = 0;
        uint32_t gapColor = 0;
        bool fillGaps = false;
        int64_t width = 1;
        int64_t onLength = 1;  // steps drawn in each period
        int64_t period = 1;
        bool isOn(int64_t step) const { return step % period < onLength; }
    };

    void blendGlyph(const Glyph& g, int penX, int baselineY, Color color);

    // The clip in force: the selected clip within the surface as it is now.
    Rect activeClip() const {
        return hasClip_ ? clip_.intersected(target_->bounds()) : target_->bounds();
    }
    Stroke stroke() const;
    // Coordinates are 64-bit so that callers may pass sums of ints freely.
    void fillClipped(int64_t left, int64_t top, int64_t right, int64_t bottom, uint32_t native,
                     const Rect& clip);
    // One pattern step of `s` over the given box: pen colour, gap colour or nothing.
    void paintStep(const Stroke& s, int64_t step, int64_t left, int64_t top, int64_t right,
                   int64_t bottom, const Rect& clip);
    // Returns the pattern phase after the line.
    int64_t strokeLine(int x1, int y1, int x2, int y2, int64_t phase, const Stroke& s,
                       const Rect& clip);
    // A patterned rectangle outline; top..left are the band thicknesses.
    void strokeFrame(const Rect& r, int64_t top, int64_t right, int64_t bottom, int64_t left,
                     const Stroke& s, const Rect& clip);
    // roundRect and ellipse, with corner sizes already clamped to the box.
    void drawShape(const Rect& r, int64_t ellipseWidth, int64_t ellipseHeight);
    void drawMapped(const Image& image, const Rect& src, const Rect& dst);

    Surface* target_;
    Pen pen_{};
    Brush brush_{};
    FontRef font_;
    Color textColor_ = 0;
    Color bkColor_ = 0xFFFFFF;
    BackgroundMode bkMode_ = BackgroundMode::Opaque;
    Rect clip_;
    bool hasClip_ = false;
    Point current_{};
};

// Selects a font for one scope and gives the previous one back at its end.
class FontSelection {
public:
    FontSelection(DeviceContext& dc, FontRef font)
        : dc_(dc), previous_(dc.selectFont(std::move(font))) {}
    ~FontSelection() { dc_.selectFont(previous_); }
    FontSelection(const FontSelection&) = delete;
    FontSelection& operator=(const FontSelection&) = delete;

private:
    DeviceContext& dc_;
    FontRef previous_;
};

}  // namespace zq
