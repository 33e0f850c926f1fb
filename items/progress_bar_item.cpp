#include "items/progress_bar_item.h"

#include <algorithm>
#include <cstdint>

#include "items/item_text.h"
#include "platform/device_context.h"
#include "ui/font_cache.h"
#include "ui/graphics_context.h"
#include "ui/style.h"

namespace zq {
namespace {

constexpr int kPitch = ProgressBarItem::kSegmentWidth + ProgressBarItem::kSegmentGap;
constexpr int kMinBarHeight = 10;

}  // namespace

ProgressBarItem::ProgressBarItem(const CString& label, bool editable, int maximum, int value,
                                 Style* style)
    : Item(label, 0, editable ? kAppearanceControl : kAppearancePlain, style),
      maxValue_(maximum == kRunning ? kRunning : std::max(0, maximum)),
      editable_(editable),
      running_(maximum == kRunning),
      showText_(!running_) {
    setValue(value);
    if (style) setStyle(style);
}

void ProgressBarItem::setValue(int value) {
    if (running_) {
        if (value == 0 || value == 1) runPosition_ = 0;
        // A step at a time, back to the start past the maximum (20 once
        // laid out).
        if (value == 3 && ++runPosition_ > maxValue_) runPosition_ = 0;
    } else {
        value = std::clamp(value, 0, maxValue_);
    }
    value_ = value;
    valueText_ = CString::format(u"%d", value_);
}

void ProgressBarItem::setStyle(Style* style) {
    if (!style) return;
    Item::setStyle(style);
    if (running_) return;
    if (style->font) font_ = style->font;
    textColor_ = style->getColor();
}

FontRef ProgressBarItem::effectiveFont() const { return font_ ? font_ : createStyleFont(); }

bool ProgressBarItem::keyPressed(int /*keyCode*/, int gameAction) {
    if (!editable_ || running_ || (gameAction != kGameRight && gameAction != kGameLeft)) {
        return false;
    }
    const int before = value_;
    setValue(gameAction == kGameRight ? value_ + 1 : value_ - 1);
    if (value_ != before) notifyStateChanged();
    return true;
}

bool ProgressBarItem::pointerPressed(int x, int y) {
    if (running_ || !editable_ || !isInItemArea(x, y)) return false;
    setValue(value_ >= maxValue_ ? 0 : value_ + 1);
    notifyStateChanged();
    return true;
}

bool ProgressBarItem::animate() {
    if (!running_ || value_ != 2 || !initialised_) return false;
    runPosition_ = (runPosition_ + 1) % kPitch;
    return true;
}

void ProgressBarItem::initContent(int firstLineWidth, int lineWidth) {
    // 1-2. Room for the value text, and where it stands.
    textReserve_ = 0;
    int textHeight = 0;
    if (showText_) {
        if (!font_) font_ = createStyleFont();
        textReserve_ = paddingHorizontal_ + font_->textWidth(valueText_.view());
        textHeight = font_->height();
        textAlign_ = isAlignCentre()  ? TextAlign::Centre
                     : isAlignRight() ? TextAlign::Right
                                      : TextAlign::Left;
    }
    // 3-4. One text line high; the row, a third of it, or the first line.
    contentHeight_ = std::max(kMinBarHeight, textHeight);
    if (expand_) {
        contentWidth_ = lineWidth;
    } else if (layout_ & kLayoutShrink) {
        contentWidth_ = std::max(lineWidth / 3, kMinBarHeight);
    } else {
        contentWidth_ = firstLineWidth;
    }
    contentWidth_ = std::max(contentWidth_, 0);
    // 5. A running bar cycles over its own fixed range.
    if (running_) maxValue_ = kRunningMaximum;
}

void ProgressBarItem::paintBlocks(GraphicsContext& g, int x, int y, int width) const {
    DeviceContext& dc = *g.getDC();
    if (running_) {
        // Blocks across the whole bar, shifted by the run position.
        ClipScope clip(g, x, y, width, contentHeight_);
        for (int bx = x - kPitch + runPosition_ % kPitch; bx < x + width; bx += kPitch) {
            dc.fillRect(Rect::fromSize(bx, y, kSegmentWidth, contentHeight_), kBarColor);
            dc.fillRect(Rect::fromSize(bx + kSegmentWidth, y, kSegmentGap, contentHeight_),
                        kGapColor);
        }
        return;
    }
    // Filled part in whole percent steps; never less than one block.
    const int64_t percent = maxValue_ > 0 ? int64_t{value_} * 100 / maxValue_ : 0;
    const int filled = std::max<int>(1, static_cast<int>(width * percent / 100));
    const int blocks = std::max(1, (filled + filled % kPitch) / kPitch);
    for (int i = 0; i < blocks; ++i) {
        const int bx = x + i * kPitch;
        dc.fillRect(Rect::fromSize(bx, y, kSegmentWidth, contentHeight_), kBarColor);
        dc.fillRect(Rect::fromSize(bx + kSegmentWidth, y, kSegmentGap, contentHeight_), kGapColor);
    }
}

void ProgressBarItem::paintContent(int x, int y, int /*leftBorder*/, int rightBorder,
                                   GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (!dc) return;
    const unsigned format = kTextWordBreak | kTextVCenter;
    const int barWidth = std::max(0, contentWidth_ - textReserve_);
    // 1. Text in front: the bar starts after it.
    int barX = x;
    if (showText_ && textAlign_ == TextAlign::Left) {
        drawItemText(*dc, valueText_, Rect::fromSize(x, y, textReserve_, contentHeight_),
                     effectiveFont(), textColor_, format);
        barX += textReserve_;
    }
    // 2-3. The blocks, filled to the value or cycling while running.
    paintBlocks(g, barX, y, barWidth);
    // 4. Text at the right end, or from the middle.
    if (!showText_ || textAlign_ == TextAlign::Left) return;
    const int textX =
        textAlign_ == TextAlign::Right ? rightBorder - textReserve_ : x + (rightBorder - x) / 2;
    drawItemText(*dc, valueText_, Rect::fromSize(textX, y, textReserve_, contentHeight_),
                 effectiveFont(), textColor_,
                 format | (textAlign_ == TextAlign::Right ? kTextRight : kTextLeft));
}

}  // namespace zq
