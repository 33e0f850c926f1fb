#include "ui/scroll_bar.h"

#include <algorithm>
#include <cstdint>

#include "ui/client_context.h"
#include "ui/container.h"
#include "ui/graphics_context.h"
#include "ui/screen.h"

namespace zq {

namespace {

int scaled(float scale, int n) { return static_cast<int>(scale * static_cast<float>(n)); }

// a * b / c in 64 bits, truncated toward zero; c must not be 0.
int mulDiv(int a, int b, int c) { return static_cast<int>(static_cast<int64_t>(a) * b / c); }

}  // namespace

// --- ScrollBar -------------------------------------------------------------------------

ScrollBar::ScrollBar() {
    const float scale = screenMetrics().scale;
    arrowHeight_ = scaled(scale, 14);
    arrowSize_ = scaled(scale, 8);
    gripWidth_ = scaled(scale, 6);
    barWidth_ = scaled(scale, 12);
}

int ScrollBar::update(int width, int viewportHeight, int contentHeight, int scrollOffset) {
    if (contentHeight <= 0 || viewportHeight >= contentHeight) {
        shown_ = false;
        return 0;
    }
    const int track = viewportHeight - 2 * arrowHeight_;
    shown_ = true;
    viewportHeight_ = viewportHeight;
    thumbOffset_ = -mulDiv(track, scrollOffset, contentHeight);
    thumbLength_ = mulDiv(viewportHeight, track, contentHeight);
    init(width, width);
    return itemWidth();
}

void ScrollBar::initContent(int /*firstLineWidth*/, int /*lineWidth*/) {
    const int box = marginTop_ + marginBottom_ + paddingTop_ + paddingBottom_ + 2 * borderWidth_;
    contentWidth_ = barWidth_;
    contentHeight_ = std::max(viewportHeight_ - box, 0);
}

void ScrollBar::paintIfVisible(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) {
    if (shown_) paint(x, y, leftBorder, rightBorder, g);
}

void ScrollBar::paintContent(int x, int y, int /*leftBorder*/, int /*rightBorder*/,
                             GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (!dc) return;
    const int bw = barWidth_;
    const int h = itemHeight_;
    const int ah = arrowHeight_;
    ClipScope clip(g, x, y, bw, h);

    // Track and frame.
    dc->fillRect({x, y, x + bw, y + h}, kTrackColor);
    {
        PenScope pen(*dc, Pen{PenStyle::Solid, 1, kFrameColor});
        dc->line(x, y, x + bw, y);
        dc->line(x + bw - 1, y, x + bw - 1, y + h);
        dc->line(x + bw, y + h - 1, x, y + h - 1);
        dc->line(x, y + h, x, y);

        // The two arrow boxes and the thumb, each with its dividing lines.
        dc->fillRect({x + 1, y + 1, x + bw - 1, y + ah - 1}, kBoxColor);
        dc->line(x, y + ah - 1, x + bw, y + ah - 1);
        const int thumbTop = y + ah + thumbOffset_;
        dc->fillRect({x + 1, thumbTop, x + bw - 1, thumbTop + thumbLength_}, kBoxColor);
        dc->line(x, thumbTop - 1, x + bw, thumbTop - 1);
        dc->line(x, thumbTop + thumbLength_, x + bw, thumbTop + thumbLength_);
        dc->fillRect({x + 1, y + h - ah - 1, x + bw - 1, y + h - 1}, kBoxColor);
        dc->line(x, y + h - ah - 2, x + bw, y + h - ah - 2);
    }
    paintArrows(x, y, h, *dc);
    paintGrip(x, y, *dc);
}

void ScrollBar::paintArrows(int x, int y, int h, DeviceContext& dc) const {
    PenScope pen(dc, Pen{PenStyle::Solid, 1, kArrowColor});
    const int a = arrowSize_;
    const int ah = arrowHeight_;
    const int half = (a - 1) / 2;
    const int left = x + (barWidth_ - a) / 2;
    // Up: rows widening by one pixel each side.
    const int centre = left + half;
    const int upTop = y + (ah - a / 2) / 2;
    for (int k = 1; k <= half; ++k) dc.line(centre - k, upTop + k, centre + k + 1, upTop + k);
    // Down: rows narrowing by one pixel each side.
    const int downTop = y + h - ah + (ah - a / 2) / 2;
    for (int j = 0; j < half; ++j) dc.line(left + j, downTop + j, left + a - j, downTop + j);
}

void ScrollBar::paintGrip(int x, int y, DeviceContext& dc) const {
    const int top = y + arrowHeight_ + thumbOffset_ + (thumbLength_ - 8) / 2;
    const int left = x + (barWidth_ - gripWidth_) / 2;
    const int right = left + gripWidth_;
    {
        PenScope dark(dc, Pen{PenStyle::Solid, 1, 0x000000});
        for (int row = 0; row <= 6; row += 3) dc.line(left, top + row, right, top + row);
    }
    PenScope light(dc, Pen{PenStyle::Solid, 1, 0xFFFFFF});
    for (int row = 1; row <= 7; row += 3) dc.line(left, top + row, right, top + row);
}

bool ScrollBar::isOnThumb(int y) const {
    const int top = arrowHeight_ + thumbOffset_;
    return y >= top && y <= top + thumbLength_;
}

bool ScrollBar::pointerPressed(int x, int y) {
    if (!shown_ || !isInItemArea(x, y)) return false;
    if (!isOnThumb(y) && owner_) {
        owner_->scrollBy(y > arrowHeight_ + thumbOffset_ ? -kPageStep : kPageStep);
    }
    selectPressed();
    return true;
}

bool ScrollBar::pointerDragged(int /*x*/, int y) {
    if (!dragging_) return false;
    const int delta = dragOffset_ - y + thumbOffset_ + arrowHeight_;
    if (delta != 0 && owner_) owner_->scrollBy(delta);
    return true;
}

bool ScrollBar::pointerReleased(int x, int y) { return shown_ && isInItemArea(x, y); }

void ScrollBar::startDrag(int y) {
    dragOffset_ = y - arrowHeight_ - thumbOffset_;
    dragging_ = true;
}

void ScrollBar::endDrag() {
    thumbOffset_ = std::max(std::min(thumbOffset_, viewportHeight_ - thumbLength_), 0);
    dragging_ = false;
}

// --- ScrollBarItem ---------------------------------------------------------------------

ScrollBarItem::ScrollBarItem(int barWidth, std::unique_ptr<Container> target, Style* style)
    : barWidth_(barWidth), target_(std::move(target)) {
    if (target_) target_->setParent(this);
    if (style) setStyle(style);
}

ScrollBarItem::~ScrollBarItem() = default;

std::unique_ptr<Container> ScrollBarItem::releaseTarget() {
    if (target_) target_->leaveContainer();
    shown_ = false;
    return std::move(target_);
}

void ScrollBarItem::invalidateTarget() {
    target_->setParent(nullptr);
    target_->requestFullInit();
    target_->setParent(this);
}

void ScrollBarItem::initContent(int firstLineWidth, int lineWidth) {
    contentWidth_ = 0;
    contentHeight_ = 0;
    shown_ = false;
    if (!target_) return;
    invalidateTarget();
    target_->setScrollHeight(viewportHeight_);
    target_->init(firstLineWidth, lineWidth);
    target_->setRelativePosition(0, 0);
    if (target_->itemHeight() > viewportHeight_) {
        // Measured again beside the bar.
        shown_ = true;
        invalidateTarget();
        target_->init(firstLineWidth - barWidth_, lineWidth - barWidth_);
        targetHeight_ = target_->itemHeight();
        contentWidth_ = target_->itemWidth() + barWidth_;
        contentHeight_ = viewportHeight_;
    } else {
        targetHeight_ = target_->itemHeight();
        contentWidth_ = target_->itemWidth();
        contentHeight_ = targetHeight_;
    }
}

void ScrollBarItem::computeThumb() {
    if (targetHeight_ == 0) return;
    const int offset = target_->getScrollYOffset();
    thumbTop_ = -mulDiv(viewportHeight_, offset, targetHeight_);
    thumbLength_ = mulDiv(viewportHeight_, viewportHeight_, targetHeight_);
}

void ScrollBarItem::paintContent(int x, int y, int leftBorder, int rightBorder,
                                 GraphicsContext& g) {
    if (!target_) return;
    ClipScope clip(g, x, y, rightBorder - x, viewportHeight_);
    target_->paint(x, y, leftBorder, rightBorder, g, true);
    DeviceContext* dc = g.getDC();
    if (!shown_ || !dc) return;
    computeThumb();
    const int barLeft = rightBorder - barWidth_;
    dc->fillRect({barLeft, y, rightBorder, y + itemHeight_}, trackColor_);
    dc->fillRect({barLeft + 1, y + thumbTop_, rightBorder - 1, y + thumbTop_ + thumbLength_},
                 thumbColor_);
}

bool ScrollBarItem::isOnBar(int contentX) const {
    return shown_ && contentX >= target_->itemWidth();
}

bool ScrollBarItem::pointerPressed(int x, int y) {
    if (!target_ || !isInItemArea(x, y)) return Item::pointerPressed(x, y);
    const int cx = x - contentX_;
    const int cy = y - contentY_;
    if (!isOnBar(cx)) {
        return target_->pointerPressed(cx - target_->relativeX(), cy - target_->relativeY());
    }
    computeThumb();
    int offset = target_->getScrollYOffset();
    if (cy < thumbTop_) {
        offset = std::min(offset + kPageStep, 0);
    } else if (cy > thumbTop_ + thumbLength_) {
        offset = std::max(offset - kPageStep, viewportHeight_ - targetHeight_);
    } else {
        dragging_ = true;
    }
    target_->setScrollYOffset(offset, false);
    lastPenY_ = y;
    return true;
}

bool ScrollBarItem::pointerDragged(int x, int y) {
    if (!target_ || !isInItemArea(x, y)) return Item::pointerDragged(x, y);
    const int cx = x - contentX_;
    const int cy = y - contentY_;
    if (!isOnBar(cx) || !dragging_) {
        return target_->pointerDragged(cx - target_->relativeX(), cy - target_->relativeY());
    }
    const int delta =
        viewportHeight_ != 0 ? mulDiv(lastPenY_ - y, targetHeight_, viewportHeight_) : 0;
    lastPenY_ = y;
    const int lowest = std::min(viewportHeight_ - targetHeight_, 0);
    target_->setScrollYOffset(std::clamp(target_->getScrollYOffset() + delta, lowest, 0), false);
    return true;
}

bool ScrollBarItem::pointerReleased(int x, int y) {
    dragging_ = false;
    if (!target_ || !isInItemArea(x, y)) return Item::pointerReleased(x, y);
    return target_->pointerReleased(x - contentX_ - target_->relativeX(),
                                    y - contentY_ - target_->relativeY());
}

bool ScrollBarItem::keyPressed(int keyCode, int gameAction) {
    return target_ ? target_->keyPressed(keyCode, gameAction)
                   : Item::keyPressed(keyCode, gameAction);
}

bool ScrollBarItem::keyRepeated(int keyCode, int gameAction) {
    return target_ ? target_->keyRepeated(keyCode, gameAction)
                   : Item::keyRepeated(keyCode, gameAction);
}

bool ScrollBarItem::keyReleased(int keyCode, int gameAction) {
    return target_ ? target_->keyReleased(keyCode, gameAction)
                   : Item::keyReleased(keyCode, gameAction);
}

}  // namespace zq
