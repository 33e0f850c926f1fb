// Screen: the content: painting it in its viewport, scrolling, and what it
// does with keys and drags.
#include <algorithm>

#include "platform/device_context.h"
#include "platform/threading.h"
#include "ui/background.h"
#include "ui/border.h"
#include "ui/container.h"
#include "ui/graphics_context.h"
#include "ui/screen.h"
#include "ui/scroll_bar.h"

namespace zq {

// --- painting --------------------------------------------------------------------

void Screen::paintContent(GraphicsContext& g) {
    if (!content_) return;
    const Point origin = contentOrigin();
    content_->setRelativePosition(origin.x, origin.y);
    ClipScope clip(g, contentRect_.left, contentRect_.top, contentRect_.width(),
                   contentRect_.height());
    content_->paint(origin.x, origin.y, origin.x, origin.x + content_->itemWidth(), g, true);
}

Point Screen::contentOrigin() const {
    Point origin{contentRect_.left, contentRect_.top};
    const int freeWidth = contentLayoutWidth_ - content_->itemWidth();
    if (freeWidth > 0) {
        if (alignCentre_) {
            origin.x += freeWidth / 2;
        } else if (alignRight_) {
            origin.x += freeWidth;
        }
    }
    const int freeHeight = contentRect_.height() - contentHeight();
    if (freeHeight >= 0) {
        if (alignVCentre_) {
            origin.y += freeHeight / 2;
        } else if (alignBottom_) {
            origin.y += freeHeight;
        }
    }
    return origin;
}

void Screen::placeScrollBar() {
    const int width = content_ ? scrollBar_->update(contentRect_.width(), contentRect_.height(),
                                                    contentHeight(), getScrollOffset())
                               : scrollBar_->update(0, 0, 0, 0);
    scrollBar_->setRelativePosition(contentRect_.right - width, contentRect_.top);
}

// --- scrolling ---------------------------------------------------------------------

int Screen::contentHeight() const { return content_ ? content_->itemHeight() : 0; }

int Screen::getScrollOffset() const { return content_ ? content_->getScrollYOffset() : 0; }

void Screen::setScrollOffset(int offset, bool smooth) {
    if (content_) content_->setScrollYOffset(offset, smooth);
}

void Screen::scrollBy(int delta) {
    const int viewport = contentRect_.height();
    const int height = contentHeight();
    if (!content_ || delta == 0 || height <= viewport) return;
    const int offset = getScrollOffset();
    int target = offset + delta;
    if (delta > 0) {
        if (offset == 0) return;
        target = std::min(target, 0);
    } else {
        target = std::max(target, viewport - height);
    }
    setScrollOffset(target, false);
    repaint();
}

void Screen::pageContent(int gameAction) {
    const int viewport = contentRect_.height();
    const int height = contentHeight();
    if (!content_ || height <= viewport) return;
    // A viewport of 40 px or less still moves.
    const int page = std::max(viewport - kArrowPageMargin, 1);
    const int offset = getScrollOffset();
    const int target = gameAction == kGameRight ? std::max(offset - page, viewport - height)
                                                : std::min(offset + page, 0);
    if (target == offset) return;
    setScrollOffset(target, false);
    repaint();
}

Item* Screen::getFocusedItem() const { return content_ ? content_->getFocusedItem() : nullptr; }

Item* Screen::getItemByName(const CString& name) const {
    return content_ ? content_->getItemByName(name) : nullptr;
}

// --- keys and drags -----------------------------------------------------------------

bool Screen::contentKeyPressed(int keyCode, int gameAction) {
    const bool handled = content_ && content_->keyPressed(keyCode, gameAction);
    if (!handled && (gameAction == kGameLeft || gameAction == kGameRight)) {
        pageContent(gameAction);
    }
    return handled;
}

bool Screen::contentKeyRepeated(int keyCode, int gameAction) {
    return content_ && content_->keyRepeated(keyCode, gameAction);
}

bool Screen::contentKeyReleased(int keyCode, int gameAction) {
    return content_ && content_->keyReleased(keyCode, gameAction);
}

bool Screen::contentPointerDragged(int x, int y) {
    if (!content_) return false;
    bool handled = content_->pointerDragged(x - content_->relativeX(), y - content_->relativeY());
    if (Item* focused = content_->getFocusedItem()) {
        const int childY = focused->getAbsoluteY() + getScrollOffset();
        handled = focused->pointerDragged(x - focused->getAbsoluteX(), y - childY) || handled;
    }
    return handled;
}

void Screen::animate(uint32_t /*now*/) {
    DirtyRect dirty;
    {
        std::lock_guard<RecursiveMutex> lock(contentLock());
        if (content_) content_->animateAll(dirty);
        if (marquee_) marquee_->animateAll(dirty);
    }
    if (dirty.changed) repaint();
}

}  // namespace zq
