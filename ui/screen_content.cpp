// ScreenContent: the content in its viewport, the scroll bar, scrolling,
// and what the content does with keys and drags.
#include "ui/screen_content.h"

#include <algorithm>

#include "ui/child_list.h"
#include "ui/container.h"
#include "ui/graphics_context.h"
#include "ui/item.h"
#include "ui/screen.h"
#include "ui/scroll_bar.h"

namespace zq {

ScreenContent::ScreenContent(Screen& screen, bool withContent)
    : screen_(screen), scrollBar_(std::make_unique<ScrollBar>()) {
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

// --- where the focus is ----------------------------------------------------------------

namespace {

// A list of the focus chain: where its content starts and the part of the
// viewport it is drawn in, in viewport coordinates.
struct Level {
    int origin;
    int top;
    int bottom;
};

struct Span {
    int top;
    int bottom;
};

bool shows(const Span& span, const Level& at) {
    return span.top < at.bottom && std::max(span.bottom, span.top + 1) > at.top;
}

bool showsWhole(const Span& span, const Level& at) {
    return span.top >= at.top && span.bottom <= at.bottom;
}

// A control taller than the view is known by what it shows once that fills
// half the view; a sliver of one (a button's edge above the soft keys) is not.
bool showsEnough(const Span& span, const Level& at) {
    const int drawn = std::min(span.bottom, at.bottom) - std::max(span.top, at.top);
    return showsWhole(span, at) || 2 * drawn >= at.bottom - at.top;
}

// Where a control or a list stands. A focus area inside a control is left
// to the control: it may still describe an earlier layout.
Span spanOf(const Item& child, const Level& at) {
    const int top = at.origin + child.relativeY();
    return {top, top + child.itemHeight()};
}

// The level of a list inside `at`: one that scrolls itself shows only its
// own view.
Level levelOf(const Item& list, const Level& at) {
    Level inner{at.origin + list.relativeY() + list.contentY(), at.top, at.bottom};
    if (const Container* c = asContainerItem(&list); c && c->scrollsItself()) {
        inner.top = std::max(at.top, inner.origin);
        inner.bottom = std::min(at.bottom, inner.origin + c->getScrollHeight() - c->contentY());
        inner.origin += c->getScrollYOffset();
    }
    return inner;
}

// The level of the parts of a control of parts (see Item::focusedPart).
Level partLevel(const Item& control, const Level& at) {
    return {at.origin + control.relativeY() + control.contentY(), at.top, at.bottom};
}

}  // namespace

ScreenContent::FocusSpot ScreenContent::focusSpot() const {
    FocusSpot spot;
    if (!content_) return spot;
    Level at{origin().y - viewport_.top + content_->contentY() + scrollOffset(), 0,
             viewport_.height()};
    for (ChildList* list = content_.get(); list;) {
        Item* child = list->getFocusedItem();
        if (!child) break;
        const Span span = spanOf(*child, at);
        spot = {child, span.top, span.bottom, shows(span, at)};
        Item* inside = child;
        if (int top = 0, bottom = 0; spot.drawn && child->focusedPartRows(top, bottom)) {
            const Span rows{span.top + top, span.top + bottom};
            spot = {child, rows.top, rows.bottom, shows(rows, at)};
        }
        if (Item* part = child->focusedPart(); part && spot.drawn) {
            // Where the keys act is the part: a node's header, or its children.
            at = partLevel(*child, at);
            const Span partSpan = spanOf(*part, at);
            spot = {child, partSpan.top, partSpan.bottom, shows(partSpan, at)};
            inside = part;
        } else {
            at = levelOf(*child, at);
        }
        auto* inner = dynamic_cast<ChildList*>(inside);
        // Nothing inside a list out of view is drawn.
        if (!inner || !spot.drawn) break;
        if (inside != child) at = levelOf(*inside, at);
        list = inner;
    }
    return spot;
}

bool ScreenContent::focusDrawn() const {
    const FocusSpot spot = focusSpot();
    return !spot.control || spot.drawn;
}

void ScreenContent::takeFocusInView(bool forward) {
    const int kept = scrollOffset();
    Level at{origin().y - viewport_.top + content_->contentY() + kept, 0, viewport_.height()};
    ChildList* list = content_.get();
    // Each round goes a list deeper, takes a control, or ends; a control of
    // parts that shows none in view is passed over.
    for (int round = 0; list && round < 64; ++round) {
        Item* child = list->getFocusedItem();
        Item* passed = nullptr;
        if (child && shows(spanOf(*child, at), at)) {
            const Span span = spanOf(*child, at);
            Item* inside = child;
            Level level = at;
            Item* part = child->focusedPart();
            int top = 0;
            int bottom = 0;
            if (part || child->focusedPartRows(top, bottom)) {
                if (part) level = partLevel(*child, at);
                // Rows are kept only drawn whole where the control shows
                // them: a locked head may cover some.
                const bool partShows =
                    (part && shows(spanOf(*part, level), level)) ||
                    child->focusPartWithin(at.top - span.top, at.bottom - span.top);
                setScrollOffset(kept, false);
                inside = !partShows ? nullptr : part ? child->focusedPart() : child;
                passed = partShows ? nullptr : child;
            }
            if (inside) {
                auto* inner = dynamic_cast<ChildList*>(inside);
                if (!inner) return;
                at = levelOf(*inside, level);
                list = inner;
                continue;
            }
        }
        // The first (last) control drawn whole, else the first that fills
        // enough of the view to be known.
        const int n = list->size();
        int pick = -1;
        for (int pass = 0; pass < 2 && pick < 0; ++pass) {
            for (int k = 0; k < n && pick < 0; ++k) {
                const int i = forward ? k : n - 1 - k;
                const Item* candidate = list->getItem(i);
                if (candidate == passed || !candidate->isVisible() || !candidate->isInteractive()) {
                    continue;
                }
                const Span span = spanOf(*candidate, at);
                if (pass == 0 ? showsWhole(span, at) : showsEnough(span, at)) pick = i;
            }
        }
        if (pick < 0) {
            if (list->getFocusedItem()) list->dropFocus();
            return;
        }
        Item* target = list->getItem(pick);
        list->focusChild(pick, target, forward ? kGameDown : kGameUp);
        // The view stays where the user put it.
        setScrollOffset(kept, false);
        if (list->getFocusedItem() != target) return;
        // A control of parts is looked into by the next round, on this list.
        if (int top = 0, bottom = 0;
            target->focusedPart() || target->focusedPartRows(top, bottom)) {
            continue;
        }
        auto* inner = dynamic_cast<ChildList*>(target);
        if (!inner) return;
        at = levelOf(*target, at);
        list = inner;
    }
}

void ScreenContent::beginEvent() {
    if (eventDepth_++ == 0) offsetAtEvent_ = scrollOffset();
}

void ScreenContent::endEvent() {
    if (eventDepth_ == 1) settleFocus(ViewMove::None);
    if (eventDepth_ > 0) --eventDepth_;
}

void ScreenContent::settleFocus(ViewMove move) {
    if (!content_) return;
    // Inside an event (a paint may run in it), the view the event moved.
    if (move == ViewMove::None && eventDepth_ > 0 && scrollOffset() != offsetAtEvent_) {
        move = scrollOffset() < offsetAtEvent_ ? ViewMove::Down : ViewMove::Up;
    }
    if (move != ViewMove::None) {
        if (!screen_.keysOutsideContent()) takeFocusInView(move == ViewMove::Down);
    } else if (FocusSpot spot = focusSpot();
               spot.control && (!spot.drawn || (keepSeen_ && seen_.get() == spot.control))) {
        // A new layout moved the control the user saw out of view, or a
        // reload asks for it where it was seen on the page replaced: back to
        // where it was seen. One not seen yet (a reload kept the focus on
        // it) comes into view: the focus stays with what the user chose.
        const int lowest = std::min(viewport_.height() - height(), 0);
        const int by = seen_ && seen_.get() == spot.control ? seenTop_ - spot.top
                       : spot.top < 0                       ? -spot.top
                                                            : viewport_.height() - spot.bottom;
        setScrollOffset(std::clamp(scrollOffset() + by, lowest, 0), false);
        if (!focusDrawn()) takeFocusInView(true);
    }
    const FocusSpot spot = focusSpot();
    seen_ = spot.control && spot.drawn ? spot.control->weakRef() : ItemRef();
    seenTop_ = spot.top;
    keepSeen_ = false;
}

bool ScreenContent::focusTop(int& top) const {
    const FocusSpot spot = focusSpot();
    if (!spot.control || !spot.drawn) return false;
    top = spot.top;
    return true;
}

void ScreenContent::keepFocusAt(int top) {
    const FocusSpot spot = focusSpot();
    if (!spot.control) return;
    seen_ = spot.control->weakRef();
    seenTop_ = top;
    keepSeen_ = true;
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
