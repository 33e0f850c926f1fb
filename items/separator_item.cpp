#include "items/separator_item.h"

#include <algorithm>

#include "platform/device_context.h"
#include "ui/graphics_context.h"
#include "ui/style.h"

namespace zq {
namespace {

PenStyle penFor(int penStyle) {
    switch (penStyle) {
        case 1:
            return PenStyle::Dash;
        case 2:
            return PenStyle::Dot;
        default:
            return PenStyle::Solid;
    }
}

}  // namespace

SeparatorItem::SeparatorItem(int width, int thickness, Color color, Style* style)
    : Item(CString(), kLayoutCenter, kAppearancePlain, style),
      lineWidth_(std::max(0, width)),
      thickness_(std::max(0, thickness)),
      lineColor_(color) {}

void SeparatorItem::setStyle(Style* style) {
    Item::setStyle(style);
    if (!style) return;
    lineColor_ = style->getColor();
    penStyle_ = style->getProperty(prop::kSeparatorPenStyle);
}

void SeparatorItem::initContent(int /*firstLineWidth*/, int lineWidth) {
    const int room = std::max(0, lineWidth);
    contentWidth_ = lineWidth_ == 0 ? room : std::min(lineWidth_, room);
    contentHeight_ = thickness_;
}

void SeparatorItem::paintContent(int x, int y, int /*leftBorder*/, int /*rightBorder*/,
                                 GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (!dc) return;
    PenScope pen(*dc, Pen{penFor(penStyle_), 1, lineColor_});
    for (int i = 0; i < thickness_; ++i) dc->line(x, y + i, x + contentWidth_, y + i);
}

Spacer::Spacer(int width, int height) : width_(std::max(0, width)), height_(std::max(0, height)) {}

void Spacer::initContent(int /*firstLineWidth*/, int /*lineWidth*/) {
    contentWidth_ = width_;
    contentHeight_ = height_;
}

}  // namespace zq
