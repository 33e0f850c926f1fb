// ScreenPainter: how a screen's frame looks and the overlays it draws on
// top — the page background (or the fill of a page without one), the
// border, the tip box at the bottom of the page and the page-timing
// overlay.
//
// The screen keeps one, gives it the look from its style and calls it from
// its paint with the frame and sizes of the last layout; the painter lays
// nothing out. Backgrounds and borders are borrowed from the style. UI
// thread.
#pragma once

#include <cstdint>

#include "platform/cstring.h"
#include "platform/geometry.h"

namespace zq {

class Background;
class Border;
class GraphicsContext;

class ScreenPainter {
public:
    // The tip box's fill when the style gives none.
    static constexpr Color kDefaultTipColor = rgb(255, 255, 225);

    // The style's background and border; null for none.
    void setFrameLook(Background* background, Border* border) {
        background_ = background;
        border_ = border;
    }
    void setTipColor(Color color) { tipColor_ = color; }
    // The tip box shows (on at construction).
    void setTipBoxShown(bool shown) { tipShown_ = shown; }
    int borderWidth() const;

    // Under everything else in `frame`: the background, or the fill of a
    // page without one.
    void paintBackground(GraphicsContext& g, const Rect& frame) const;
    // Over the content, around `frame`.
    void paintBorder(GraphicsContext& g, const Rect& frame) const;
    // `text` in a box whose bottom is `bottom`, at the left edge, clipped
    // to the screen of `width` x `height`; nothing while hidden or empty.
    // Its lines end at line feeds and where the screen ends.
    void paintTipBox(GraphicsContext& g, const CString& text, int bottom, int width,
                     int height) const;
    // The page-timing record across the top of the screen, when the shell
    // shows it; every paint's start and end go to the shell first.
    static void paintTimingOverlay(GraphicsContext& g, uint32_t paintStart, int width);

private:
    Background* background_ = nullptr;
    Border* border_ = nullptr;
    Color tipColor_ = kDefaultTipColor;
    bool tipShown_ = true;
};

}  // namespace zq
