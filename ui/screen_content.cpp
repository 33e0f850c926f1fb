// ScreenContent: the content in its viewport, the scroll bar, scrolling,
// and what the content does with keys and drags.
#include "ui/screen_content.h"

#include <algorithm>

#include "ui/container.h"
#include "ui/graphics_context.h"
#include "ui/item.h"
#include "ui/screen.h"
#include "ui/scroll_bar.h"

namespace zq {

ScreenContent::ScreenContent(Screen& screen, bool withContent)
    : scrollBar_(std::make_unique<ScrollBar>()) {
    scrollBar_->setOwner(&screen);
    if (withContent) {
        content_ = std::make_unique<Container>(false, nullptr);
        content_->setScreen(&screen);
        content_->setScreenContent(true);
    }
}

ScreenContent::~ScreenContent() = default;

// --- alignment -------------------------------------------------------------------

void ScreenContent::setAlignment(uint32_t flags) {
    alignVCentre_ = (flags & 0x30) == 0x30;
    alignBottom_ = !alignVCentre_ && (flags & 0x20) != 0;
    alignCentre_ = (flags & kLayoutCenter) != 0;
    alignRight_ = !alignCentre_ && (flags & kLayoutRight) != 0;
    fitWidth_ = (flags & 0x400) != 0;
    fitHeight_ = (flags & 0x1000) != 0;
}

void ScreenContent::clearAlignment() {
    alignCentre_ = alignRight_ = alignVCentre_ = alignBottom_ = false;
    fitWidth_ = fitHeight_ = false;
}

// --- layout ----------------------------------------------------------------------

bool ScreenContent::measure() {
    const int viewport = viewport_.height();
    scrollBar_->setViewportHeight(viewport);
    content_->setScrollHeight(viewport);
    const bool fullWidth = scrollBar_->tryFullWidth();
    const int width =
        fullWidth ? viewport_.width() : std::max(viewport_.width() - scrollBar_->barWidth(), 0);
    layoutWidth_ = width;
    const int height = content_->getItemHeight(width, width);
    content_->setRelativePosition(viewport_.left, viewport_.top);
    if (!fullWidth) {
        if (height > viewport) scrollBar_->setTryFullWidth(true);
        return true;
    }
    if (height <= viewport) return true;
    scrollBar_->setTryFullWidth(false);
    return false;
}

int ScreenContent::height() const { return content_ ? content_->itemHeight() : 0; }

// --- painting --------------------------------------------------------------------

void ScreenContent::paint(GraphicsContext& g) {
    if (!content_) return;
    const Point at = origin();
    content_->setRelativePosition(at.x, at.y);
    ClipScope clip(g, viewport_.left, viewport_.top, viewport_.width(), viewport_.height());
    content_->paint(at.x, at.y, at.x, at.x + content_->itemWidth(), g, true);
}

Point ScreenContent::origin() const {
    Point at{viewport_.left, viewport_.top};
    const int freeWidth = layoutWidth_ - content_->itemWidth();
    if (freeWidth > 0) {
        if (alignCentre_) {
            at.x += freeWidth / 2;
        } else if (alignRight_) {
            at.x += freeWidth;
        }
    }
    const int freeHeight = viewport_.height() - height();
    if (freeHeight >= 0) {
        if (alignVCentre_) {
            at.y += freeHeight / 2;
        } else if (alignBottom_) {
            at.y += freeHeight;
        }
    }
    return at;
}

void ScreenContent::paintScrollBar(GraphicsContext& g) {
    const int width = content_ ? scrollBar_->update(viewport_.width(), viewport_.height(), height(),
                                                    scrollOffset())
                               : scrollBar_->update(0, 0, 0, 0);
    scrollBar_->setRelativePosition(viewport_.right - width, viewport_.top);
    if (!scrollBar_->isBarShown()) return;
    const int x = scrollBar_->relativeX();
    scrollBar_->paintIfVisible(x, scrollBar_->relativeY(), x, x + scrollBar_->itemWidth(), g);
}

// --- scrolling ---------------------------------------------------------------------

int ScreenContent::scrollOffset() const { return content_ ? content_->getScrollYOffset() : 0; }

void ScreenContent::setScrollOffset(int offset, bool smooth) {
    if (content_) content_->setScrollYOffset(offset, smooth);
}

bool ScreenContent::scrollBy(int delta) {
    const int viewport = viewport_.height();
    const int contentHeight = height();
    if (!content_ || delta == 0 || contentHeight <= viewport) return false;
    const int offset = scrollOffset();
    int target = offset + delta;
    if (delta > 0) {
        if (offset == 0) return false;
        target = std::min(target, 0);
    } else {
        target = std::max(target, viewport - contentHeight);
    }
    setScrollOffset(target, false);
    return true;
}

bool ScreenContent::page(int gameAction) {
    const int viewport = viewport_.height();
    const int contentHeight = height();
    if (!content_ || contentHeight <= viewport) return false;
    // A viewport of 40 px or less still moves.
    const int step = std::max(viewport - kArrowPageMargin, 1);
    const int offset = scrollOffset();
    const int target = gameAction == kGameRight ? std::max(offset - step, viewport - contentHeight)
                                                : std::min(offset + step, 0);
    if (target == offset) return false;
    setScrollOffset(target, false);
    return true;
}

// --- keys and drags -----------------------------------------------------------------

bool ScreenContent::keyPressed(int keyCode, int gameAction) {
    return content_ && content_->keyPressed(keyCode, gameAction);
}

bool ScreenContent::keyRepeated(int keyCode, int gameAction) {
    return content_ && content_->keyRepeated(keyCode, gameAction);
}

bool ScreenContent::keyReleased(int keyCode, int gameAction) {
    return content_ && content_->keyReleased(keyCode, gameAction);
}

bool ScreenContent::pointerDragged(int x, int y) {
    if (!content_) return false;
    bool handled = content_->pointerDragged(x - content_->relativeX(), y - content_->relativeY());
    if (Item* focused = content_->getFocusedItem()) {
        const int childY = focused->getAbsoluteY() + scrollOffset();
        handled = focused->pointerDragged(x - focused->getAbsoluteX(), y - childY) || handled;
    }
    return handled;
}

}  // namespace zq
