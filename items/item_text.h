// Drawing one text of a small item (marquee, progress bar, list marker):
// transparent, in a given colour and font, with every selection given back.
#pragma once

#include "platform/cstring.h"
#include "platform/device_context.h"
#include "platform/font.h"
#include "platform/geometry.h"

namespace zq {

// `box` is in surface pixels; `format` takes the drawText bits.
inline void drawItemText(DeviceContext& dc, const CString& text, Rect box, const FontRef& font,
                         Color color, unsigned format) {
    const FontRef previousFont = dc.selectFont(font);
    const BackgroundMode previousMode = dc.setBackgroundMode(BackgroundMode::Transparent);
    const Color previousColor = dc.setTextColor(color);
    dc.drawText(text.view(), box, format);
    dc.setTextColor(previousColor);
    dc.setBackgroundMode(previousMode);
    dc.selectFont(previousFont);
}

}  // namespace zq
