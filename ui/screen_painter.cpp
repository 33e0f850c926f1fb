#include "ui/screen_painter.h"

#include <algorithm>

#include "platform/clock.h"
#include "platform/device_context.h"
#include "ui/background.h"
#include "ui/border.h"
#include "ui/client_context.h"
#include "ui/font_cache.h"
#include "ui/graphics_context.h"
#include "ui/screen_paint_support.h"
#include "ui/screen_services.h"

namespace zq {

using screen_paint::TextScope;

namespace {

// What a page without a background shows.
constexpr Color kNoBackgroundColor = rgb(9, 16, 35);
constexpr Color kTimingBandColor = rgb(255, 0, 0);
constexpr Color kTimingTextColor = rgb(255, 255, 255);
constexpr Color kTipTextColor = rgb(0, 0, 0);
// The tip's text starts 4 px in and its box ends 5 px after it.
constexpr int kTipInset = 9;

}  // namespace

int ScreenPainter::borderWidth() const { return border_ ? border_->width() : 0; }

void ScreenPainter::paintBackground(GraphicsContext& g, const Rect& frame) const {
    if (background_) {
        background_->paint(frame.left, frame.top, frame.width(), frame.height(), g);
    } else if (DeviceContext* dc = g.getDC()) {
        dc->fillRect(frame, kNoBackgroundColor);
    }
}

void ScreenPainter::paintBorder(GraphicsContext& g, const Rect& frame) const {
    if (border_) border_->paint(frame.left, frame.top, frame.width(), frame.height(), g);
}

void ScreenPainter::paintTipBox(GraphicsContext& g, const CString& text, int bottom, int width,
                                int height) const {
    DeviceContext* dc = g.getDC();
    if (!tipShown_ || text.isEmpty() || !dc) return;
    TextScope scope(*dc, createStyleFont(), kTipTextColor);
    // Lines end at line feeds and, for a tip wider than the screen, where
    // the screen ends; the box grows upwards to hold them all.
    unsigned format = kTextLeft;
    Rect lines{0, 0, 0, 0};
    dc->drawText(text.view(), lines, format | kTextCalcRect);
    const int maxWidth = std::max(width - kTipInset, 1);
    if (lines.width() > maxWidth) {
        format |= kTextWordBreak;
        lines = Rect{0, 0, maxWidth, 0};
        dc->drawText(text.view(), lines, format | kTextCalcRect);
    }
    const int textWidth = lines.width();
    const int textHeight = lines.height();
    ClipScope clip(g, 0, 0, width, height);
    dc->fillRect(Rect{3, bottom - textHeight - 4, textWidth + 5, bottom - 2}, tipColor_);
    Rect box{4, bottom - textHeight - 3, textWidth + 4, bottom - 3};
    dc->drawText(text.view(), box, format);
}

void ScreenPainter::paintTimingOverlay(GraphicsContext& g, uint32_t paintStart, int width) {
    ScreenShell* shell = screenShell();
    DeviceContext* dc = g.getDC();
    if (!shell || !dc) return;
    const uint32_t paintEnd = tickCount();
    shell->notePaintTimes(paintStart, paintEnd);
    PageTiming t;
    if (!shell->pageTimingOverlay(t)) return;

    CString netTimes;
    for (int ms : t.netTimes) netTimes += CString::format(u" %d ", ms);
    CString sizes;
    for (int bytes : t.transferSizes) sizes += CString(u",") + CString::format(u" %d ", bytes);
    auto span = [](uint32_t start, uint32_t end) { return tickDiff(end, start); };
    const CString lines[4] = {
        CString::format(u" NetTime: %s InsertTime: %d", netTimes, span(t.insertStart, t.insertEnd)),
        CString::format(u"Lzsstime: %d  ParserTime: %d ", span(t.lzssStart, t.lzssEnd),
                        span(t.parseStart, t.parseEnd)),
        CString::format(u"PaintTime: %d  AllTime: %d", span(paintStart, paintEnd),
                        span(t.requestStart, paintEnd)),
        CString::format(u"预处理: %d  数据流量: %s", span(t.preprocessStart, t.preprocessEnd),
                        sizes),
    };
    constexpr int kRows[4][2] = {{3, 20}, {24, 44}, {48, 68}, {70, 90}};
    dc->fillRect(Rect{0, 1, width, 92}, kTimingBandColor);
    TextScope text(*dc, createStyleFont(), kTimingTextColor);
    for (int i = 0; i < 4; ++i) {
        Rect box{0, kRows[i][0], width, kRows[i][1]};
        dc->drawText(lines[i].view(), box, kTextVCenter | kTextSingleLine);
    }
}

}  // namespace zq
