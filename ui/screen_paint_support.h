// Small drawing helpers shared by the screen's painting files.
#pragma once

#include <functional>
#include <utility>

#include "platform/device_context.h"
#include "platform/font.h"
#include "platform/image.h"
#include "ui/display.h"
#include "ui/image_cache.h"

namespace zq::screen_paint {

// Selects font, text colour and a transparent background for one piece of
// text and gives them back.
class TextScope {
public:
    TextScope(DeviceContext& dc, FontRef font, Color color)
        : dc_(dc),
          font_(dc.selectFont(std::move(font))),
          color_(dc.setTextColor(color)),
          mode_(dc.setBackgroundMode(BackgroundMode::Transparent)) {}
    ~TextScope() {
        dc_.setBackgroundMode(mode_);
        dc_.setTextColor(color_);
        dc_.selectFont(font_);
    }
    TextScope(const TextScope&) = delete;
    TextScope& operator=(const TextScope&) = delete;

private:
    DeviceContext& dc_;
    FontRef font_;
    Color color_;
    BackgroundMode mode_;
};

// Draws through a function for Display::paintOverlayNow.
class FunctionOverlay : public OverlayPainter {
public:
    explicit FunctionOverlay(std::function<void(GraphicsContext&)> paint)
        : paint_(std::move(paint)) {}
    void paint(int /*x*/, int /*y*/, GraphicsContext& g, int /*flag*/) override { paint_(g); }

private:
    std::function<void(GraphicsContext&)> paint_;
};

// The picture in `slot`, loaded from `path` through the image cache when
// the slot is empty.
inline ImageRef cachedImage(ImageRef& slot, const char16_t* path) {
    if (!slot) slot = loadCachedImage(CString(path));
    return slot;
}

}  // namespace zq::screen_paint
