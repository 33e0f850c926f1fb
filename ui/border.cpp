#include "ui/border.h"

#include <algorithm>
#include <cstdint>

#include "platform/device_context.h"
#include "ui/graphics_context.h"

namespace zq {

Border::~Border() = default;

void Border::paint(int, int, int, int, GraphicsContext&) {}

void LineBorder::paint(int x, int y, int w, int h, GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (dc == nullptr || width_ < 1) return;
    PenScope pen(*dc, Pen{PenStyle::Solid, width_, colour_});
    // A wide pen spreads width/2 before the ideal line and (width-1)/2 after
    // it, so these offsets keep every line inside the box. Each line leaves
    // out its end point, which the next line starts on.
    const int hw = width_ >> 1;
    const int hw2 = (width_ - 1) >> 1;
    const int right = x + w - 1;
    const int bottom = y + h - 1;
    dc->line(x + hw, y, x + hw, bottom);
    dc->line(x, bottom - hw2, right, bottom - hw2);
    dc->line(right - hw2, bottom, right - hw2, y);
    dc->line(right, y + hw, x, y + hw);
}

void RectBorder::paint(int x, int y, int w, int h, GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (dc == nullptr) return;
    PenScope pen(*dc, Pen{PenStyle::Dash, width_, colour_});
    // The null brush: whatever brush a caller left selected must not paint
    // over the background.
    BrushScope brush(*dc, Brush::hollow());
    dc->rectangle({x, y, x + w - 1, y + h - 1});
}

void RoundRectBorder::paint(int x, int y, int w, int h, GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (dc == nullptr || width_ < 1) return;
    PenScope pen(*dc, Pen{PenStyle::Solid, width_, colour_});
    BrushScope brush(*dc, Brush::hollow());
    const int near = width_ / 2;
    const int far = (width_ + 1) / 2;
    dc->roundRect({x + near, y + near, x + w - far, y + h - far}, cornerWidth_, cornerHeight_);
}

void BottomLineBorder::paint(int x, int y, int w, int h, GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (dc == nullptr) return;
    PenScope pen(*dc, Pen{PenStyle::Solid, 1, colour_});
    dc->line(x, y + h, x + w, y + h);
    if (width_ >= 2) {
        // Rows above the clip paint nothing; skipping them bounds the loop
        // whatever width a style sheet gave.
        const int64_t first = std::max<int64_t>(int64_t{y} + h - width_ + 1, dc->clipRect().top);
        for (int64_t row = first; row < int64_t{y} + h; ++row) {
            dc->line(x, static_cast<int>(row), x + w, static_cast<int>(row));
        }
    }
}

}  // namespace zq
