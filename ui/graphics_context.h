// GraphicsContext: the drawing context handed to every paint operation of the
// toolkit (screens, items, backgrounds, borders, scroll bars, tables).
//
// It binds a DeviceContext (not owned) to the size of the surface drawn on and
// keeps a translation and a logical clip rectangle. Painting draws through the
// DeviceContext that getDC() returns, in surface pixels; the logical clip is
// what paint code reads to decide what to paint, and saves, narrows and gives
// back around nested painting. The context never selects a clip into the
// DeviceContext itself: ClipScope below does both together.
//
// The clip is kept in 15-bit fields, as the toolkit has always stored it:
// every clip value and the surface size are masked with 0x7FFF, sums that
// overflow 32 bits are clamped, and a rectangle with no area or outside the
// surface ends in an empty clip (all four values 0). No operation fails and
// none allocates. UI thread only.
#pragma once

#include <cstdint>

#include "platform/device_context.h"
#include "platform/geometry.h"

namespace zq {

class GraphicsContext {
public:
    GraphicsContext() = default;

    // Stores the size (each masked to 15 bits) and the device context, then
    // reset(). clipChanged() keeps its value.
    GraphicsContext& init(int width, int height, DeviceContext* dc);
    // Translation 0, clip the whole surface.
    void reset();

    // Replaces the clip with (x, y, w, h) translated and clamped to the surface.
    void setClip(int x, int y, int w, int h);
    // Narrows the clip to its intersection with (x, y, w, h), translated.
    void clipRect(int x, int y, int w, int h);

    // The clip in the caller's (untranslated) coordinates; give these four back
    // to setClip to restore a saved clip.
    int getClipX() const;
    int getClipY() const;
    int getClipWidth() const { return clipWidth_; }
    int getClipHeight() const { return clipHeight_; }

    DeviceContext* getDC() const { return dc_; }

    // Added to the coordinates given to setClip and clipRect (wrapping).
    void translate(int dx, int dy);
    int getTranslateX() const { return translateX_; }
    int getTranslateY() const { return translateY_; }

    int getSurfaceWidth() const { return surfaceWidth_; }
    int getSurfaceHeight() const { return surfaceHeight_; }
    // Set once a set or narrow produced a clip smaller than the surface or an
    // empty one; nothing clears it.
    bool clipChanged() const { return clipChanged_ != 0; }

private:
    void makeEmpty();
    // Translated origin, clamped: 0 when the coordinate or the translation is
    // negative, else (the sum overflowed) the surface size.
    static int32_t clampTranslated(int32_t sum, int32_t coord, int32_t translation,
                                   int32_t surfaceSize);

    DeviceContext* dc_ = nullptr;
    int32_t translateX_ = 0;
    int32_t translateY_ = 0;
    uint16_t clipOriginX_ = 0;
    uint16_t clipOriginY_ = 0;
    int32_t clipRight_ = 0;
    int32_t clipBottom_ = 0;
    int32_t originX_ = 0;
    int32_t originY_ = 0;
    int32_t rightX_ = 0;
    int32_t bottomY_ = 0;
    int16_t clipX_ = 0;
    int16_t clipY_ = 0;
    int16_t clipWidth_ = 0;
    int16_t clipHeight_ = 0;
    uint8_t clipChanged_ = 0;
    int16_t surfaceWidth_ = 0;
    int16_t surfaceHeight_ = 0;
};

// Narrows the context's clip and the DeviceContext's clip rect to a box for
// the life of the scope and gives both back on every path out of it.
//
//   {
//       ClipScope clip(gc, x, y, w, h);   // both clips now within the box
//       ...paint...
//   }                                     // both clips as they were
//
// The box is in surface pixels, the coordinates the DeviceContext draws in;
// the logical clip adds the context's translation to it, as clipRect does.
// A context without a DeviceContext has only its logical clip narrowed.
class ClipScope {
public:
    ClipScope(GraphicsContext& gc, int x, int y, int w, int h);
    ~ClipScope();
    ClipScope(const ClipScope&) = delete;
    ClipScope& operator=(const ClipScope&) = delete;

private:
    GraphicsContext& gc_;
    int savedX_;
    int savedY_;
    int savedWidth_;
    int savedHeight_;
    DeviceContext* dc_;
    Rect savedDcClip_;
};

// Selects a pen (or brush) for the life of the scope and the previous one
// back after it, as paint code does with every pen it makes for one paint.
class PenScope {
public:
    PenScope(DeviceContext& dc, const Pen& pen) : dc_(dc), previous_(dc.selectPen(pen)) {}
    ~PenScope() { dc_.selectPen(previous_); }
    PenScope(const PenScope&) = delete;
    PenScope& operator=(const PenScope&) = delete;

private:
    DeviceContext& dc_;
    Pen previous_;
};

class BrushScope {
public:
    BrushScope(DeviceContext& dc, const Brush& brush) : dc_(dc), previous_(dc.selectBrush(brush)) {}
    ~BrushScope() { dc_.selectBrush(previous_); }
    BrushScope(const BrushScope&) = delete;
    BrushScope& operator=(const BrushScope&) = delete;

private:
    DeviceContext& dc_;
    Brush previous_;
};

}  // namespace zq
