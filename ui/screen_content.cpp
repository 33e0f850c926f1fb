// Screen: painting the page frame and the content, scrolling, and routing
// keys and pointer input to the content and the scroll bar.
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

namespace {

// What a page without a background shows.
constexpr Color kNoBackgroundColor = rgb(9, 16, 35);

}  // namespace

// --- painting --------------------------------------------------------------------

void Screen::paint(GraphicsContext& g) {
    lastGraphics_ = &g;
    // 1-2. Lay out first: a screen without a size paints nothing.
    if (!layoutValid_) {
        if (getWidth() <= 0 || getHeight() <= 0) return;
        applySize(getWidth(), getHeight());
    } else if (relayoutNeeded_) {
        layout(0, 0, width_, usableHeight_);
    }

    // 4. Input and the ticker wait until the frame is painted.
    RecursiveLock lock(contentLock());
    const Rect frame = pageFrame();

    // 6. Background.
    if (background_) {
        background_->paint(frame.left, frame.top, frame.width(), frame.height(), g);
    } else if (DeviceContext* dc = g.getDC()) {
        dc->fillRect(frame, kNoBackgroundColor);
    }
    // 8. Header item.
    if (headerItem_) {
        headerItem_->setRelativePosition(frame.left, frame.top);
        headerItem_->paint(frame.left, frame.top, frame.left, frame.right, g, true);
    }
    // 10. Content.
    paintContent(g);
    // 11. Marquee.
    if (marquee_) {
        marquee_->paint(marqueeRect_.left, marqueeRect_.top, marqueeRect_.left, marqueeRect_.right,
                        g, true);
    }
    // 12. Scroll bar.
    placeScrollBar();
    if (scrollBar_->isBarShown()) {
        const int x = scrollBar_->relativeX();
        scrollBar_->paintIfVisible(x, scrollBar_->relativeY(), x, x + scrollBar_->itemWidth(), g);
    }
    // 13. Border.
    if (border_) border_->paint(frame.left, frame.top, frame.width(), frame.height(), g);
}

Rect Screen::pageFrame() const {
    const int border = borderWidth();
    int x = marginLeft_ + border;
    int y = marginTop_ + border;
    const int innerWidth = width_ - marginLeft_ - marginRight_ - 2 * border;
    int width = innerWidth;
    int height = displayAreaHeight_ - marginBottom_ - softKeyBarHeight_ - marginTop_ - 2 * border -
                 getStatusLineHeight();
    if (content_ && fitWidth_) {
        width = content_->itemWidth();
        if (alignRight_) {
            x += innerWidth - width;
        } else if (alignCentre_) {
            x += (innerWidth - width) / 2;
        }
    }
    if (content_ && fitHeight_) {
        height = std::min(contentHeight(), contentRect_.height());
        if (alignBottom_) {
            y = usableHeight_ - marginBottom_ - height - 1;
        } else if (alignVCentre_) {
            y = (usableHeight_ - marginTop_ - marginBottom_ - height) / 2;
        }
    }
    return Rect::fromSize(x, y, std::max(width, 0), std::max(height, 0));
}

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

// --- keys --------------------------------------------------------------------------

void Screen::keyPressed(int keyCode) {
    RecursiveLock lock(contentLock());
    if (contentKeyPressed(keyCode, getGameAction(keyCode))) repaint();
}

void Screen::keyRepeated(int keyCode) {
    RecursiveLock lock(contentLock());
    if (contentKeyRepeated(keyCode, getGameAction(keyCode))) repaint();
}

void Screen::keyReleased(int keyCode) {
    RecursiveLock lock(contentLock());
    if (contentKeyReleased(keyCode, getGameAction(keyCode))) repaint();
}

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

// --- pointer ------------------------------------------------------------------------

void Screen::pointerPressed(int x, int y) {
    RecursiveLock lock(contentLock());
    ScrollBar& bar = *scrollBar_;
    const int barX = x - bar.relativeX();
    const int barY = y - bar.relativeY();
    // 3. A tap on the thumb starts a drag.
    if (bar.isBarShown() && bar.isInItemArea(barX, barY) && bar.isOnThumb(barY)) {
        bar.startDrag(barY);
    }
    // 8. The header item.
    if (headerItem_) {
        headerItem_->pointerPressed(x - headerItem_->relativeX(), y - headerItem_->relativeY());
    }
    // 9. Above the soft-key bar: the scroll bar, else the content.
    if (y < usableHeight_) {
        const bool onBar = bar.isBarShown() && bar.pointerPressed(barX, barY);
        if (!onBar && content_) {
            content_->pointerPressed(x - content_->relativeX(), y - content_->relativeY());
        }
    }
    repaint();
}

void Screen::pointerReleased(int x, int y) {
    RecursiveLock lock(contentLock());
    ScrollBar& bar = *scrollBar_;
    // 4. A thumb drag ends wherever the pen is lifted.
    if (bar.isDragging()) {
        bar.endDrag();
        return;
    }
    // 6. Releases in the soft-key bar are the soft keys'.
    if (y >= usableHeight_) return;
    // 8. The scroll bar, then the content.
    if (bar.isBarShown() && bar.pointerReleased(x - bar.relativeX(), y - bar.relativeY())) return;
    if (content_ &&
        content_->pointerReleased(x - content_->relativeX(), y - content_->relativeY())) {
        repaint();
    }
}

void Screen::pointerDragged(int x, int y) {
    RecursiveLock lock(contentLock());
    ScrollBar& bar = *scrollBar_;
    if (bar.isBarShown() && bar.pointerDragged(x - bar.relativeX(), y - bar.relativeY())) {
        repaint();
        return;
    }
    if (contentPointerDragged(x, y)) repaint();
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

}  // namespace zq
