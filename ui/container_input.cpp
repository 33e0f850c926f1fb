// Container: keys, pointer, focus navigation and scrolling.
#include <algorithm>

#include "ui/container.h"
#include "ui/layout_view.h"

namespace zq {
namespace {

// Keypad digits carrying the arrow actions stay free for text entry.
constexpr int kDigitTwo = '2';
constexpr int kDigitEight = '8';
constexpr int kScrollStep = 30;

bool isUp(int keyCode, int gameAction) { return gameAction == kGameUp && keyCode != kDigitTwo; }
bool isDown(int keyCode, int gameAction) {
    return gameAction == kGameDown && keyCode != kDigitEight;
}

}  // namespace

// --- scrolling -------------------------------------------------------------------------------

int Container::getScrollHeight() const {
    for (const Container* c = this; c; c = c->parentContainer()) {
        if (c->scrollHeight_ != -1) return c->scrollHeight_;
    }
    return -1;
}

void Container::setScrollHeight(int height) {
    scrollHeight_ = height;
    scrolls_ = height != -1;
    // Before a layout the pending scroll waits for it, and for the content height.
    if (scrollPending_ && getFocusedItem() && initialised_) {
        scrollPending_ = false;
        scrollToItem(kGameNone, getFocusedItem());
    }
}

int Container::getScrollYOffset() const {
    const Container* c = scrollingContainer();
    return c ? c->scrollOffset_ : scrollOffset_;
}

int Container::getRelativeScrollYOffset() const {
    const Container* parent = parentContainer();
    if (scrolls_ || !parent) return scrollOffset_;
    return parent->getScrollYOffset() + relativeY_;
}

void Container::setScrollYOffset(int offset, bool smooth) {
    Container* c = scrollingContainer();
    if (!c) c = this;
    c->targetOffset_ = offset;
    if (!smooth) c->scrollOffset_ = offset;
}

// Only the vertical span decides; x and width are kept for callers that know them.
bool Container::scroll(int gameAction, int /*x*/, int y, int /*width*/, int height) {
    // Climb to the container that scrolls, in its content's coordinates.
    Container* c = this;
    while (!c->scrolls_) {
        Container* parent = c->parentContainer();
        if (!parent) return false;
        y += c->relativeY_ + c->contentY_;
        c = parent;
    }
    if (height == 0) return false;
    if (c->screenContent_) y += c->screenTopOffset_;
    const int visible =
        c->scrollHeight_ - c->contentY_ - c->borderWidth_ - c->marginBottom_ - c->paddingBottom_;
    const int target = c->targetOffset_;
    const bool forward =
        gameAction == kGameDown || gameAction == kGameRight || gameAction == kGameNone;

    // Below the visible part: its bottom at the bottom; above: its top
    // at the top. Taller than the view: the edge the user moves toward.
    int offset;
    if (y + height + target > visible) {
        offset = visible - y - height;
        if (forward && height > visible) offset = -y;
    } else if (target + y >= 0) {
        return false;
    } else {
        offset = -y;
        if (gameAction == kGameUp && height > visible) offset = visible - y - height;
    }
    // Never past the end of the content.
    if (c->contentHeight_ - c->scrollHeight_ + offset >= 0) {
        c->setScrollYOffset(offset, false);
        return true;
    }
    c->scrollCut_ = true;
    if (c->contentHeight_ <= c->scrollHeight_) return false;
    c->setScrollYOffset(c->scrollHeight_ - c->contentHeight_, false);
    return true;
}

void Container::scrollToItem(int gameAction, Item* item) {
    if (!item) return;
    const int scrollHeight = getScrollHeight();
    const bool areaMatters = item->hasInternalArea() &&
                             (item->itemHeight() > scrollHeight ||
                              item->internalY() + item->internalHeight() > item->contentHeight());
    if (areaMatters) {
        scroll(gameAction, item->relativeX() + item->contentX() + item->internalX(),
               item->relativeY() + item->contentY() + item->internalY(), item->internalWidth(),
               item->internalHeight());
    } else if (item->relativeX() == 0 && item->relativeY() == 0 && !item->isInitialised()) {
        deferredScrollItem_ = item;
    } else {
        scroll(gameAction, item->relativeX(), item->relativeY(), item->itemWidth(),
               item->itemHeight());
    }
}

// --- keys ----------------------------------------------------------------------------------------

// A child taller than the view keeps its focus area in view before it sees
// the arrow keys. True when the key was used for scrolling.
bool Container::scrollKeyToFocusArea(int keyCode, int gameAction, Item& child) {
    if (!scrolls_ || child.isTabItem() || !child.hasInternalArea()) return false;
    const int areaTop = child.relativeY() + child.contentY() + child.internalY() + scrollOffset_;
    const int areaBottom = areaTop + child.internalHeight();
    const bool up = isUp(keyCode, gameAction);
    const bool down = isDown(keyCode, gameAction);
    if (!(up && areaTop < 0) && !(down && areaBottom > scrollHeight_)) return false;
    if (down && child.relativeY() + scrollOffset_ > scrollHeight_) {
        setScrollYOffset(scrollOffset_ - kScrollStep, false);
        return true;
    }
    const int before = scrollOffset_;
    scrollToItem(gameAction, &child);
    return scrollOffset_ != before;
}

// A child may take itself out of its container while it handles a key (a
// menu entry whose command removes that very entry): after its call, the
// child is reached only through a reference that knows whether it lives.

bool Container::keyPressed(int keyCode, int gameAction) {
    const LayoutAfterEvent layout(*this);
    if (children_.empty()) return false;
    if (Item* focused = getFocusedItem()) {
        // A child that lost its layout is measured again before it sees the key;
        // a laid-out one may use the key to scroll its focus area into view.
        if (!focused->isInitialised()) {
            focused->init(contentWidth_, contentWidth_);
        } else if (scrollKeyToFocusArea(keyCode, gameAction, *focused)) {
            return true;
        }
        // The child takes the key, or a tab bar keeps its sideways keys from the grid navigation.
        const ItemRef child = focused->weakRef();
        if (focused->keyPressed(keyCode, gameAction)) {
            afterChildTook(child);
            return true;
        }
        if (child && child.get()->isTabBar() &&
            (gameAction == kGameLeft || gameAction == kGameRight)) {
            return false;
        }
    }
    return handleNavigation(keyCode, gameAction);
}

bool Container::keyRepeated(int keyCode, int gameAction) {
    const LayoutAfterEvent layout(*this);
    Item* focused = getFocusedItem();
    const ItemRef child = focused ? focused->weakRef() : ItemRef();
    if (focused && focused->keyRepeated(keyCode, gameAction)) {
        scrollToInternalArea(child, gameAction);
        return true;
    }
    return handleNavigation(keyCode, gameAction);
}

bool Container::keyReleased(int keyCode, int gameAction) {
    const LayoutAfterEvent layout(*this);
    Item* focused = getFocusedItem();
    const ItemRef child = focused ? focused->weakRef() : ItemRef();
    if (focused && focused->keyReleased(keyCode, gameAction)) {
        scrollToInternalArea(child, gameAction);
        return true;
    }
    return Item::keyReleased(keyCode, gameAction);
}

bool Container::textTyped(const CString& text) {
    const LayoutAfterEvent layout(*this);
    Item* focused = getFocusedItem();
    if (!focused) return false;
    const ItemRef child = focused->weakRef();
    if (!focused->textTyped(text)) return false;
    afterChildTook(child);
    return true;
}

void Container::afterChildTook(const ItemRef& child) {
    if (!scrolls_ && child && !child.get()->isFixTableItem()) takeFocusArea(*child.get());
}

void Container::scrollToInternalArea(const ItemRef& child, int gameAction) {
    if (scrolls_ && child && child.get()->hasInternalArea()) scrollToItem(gameAction, child.get());
}

// --- navigation
// -------------------------------------------------------------------------------------

namespace {

// The part of the focused child that must be visible before the focus moves:
// its internal area when that reaches below the view, else its rectangle.
struct FocusSpan {
    int top;
    int bottom;
};

FocusSpan focusSpanOf(const Item& child, int scrollHeight) {
    const int areaBottom = child.contentY() + child.internalY() + child.internalHeight();
    if (child.hasInternalArea() && areaBottom > scrollHeight) {
        const int top = child.relativeY() + child.contentY() + child.internalY();
        return {top, top + child.internalHeight()};
    }
    return {child.relativeY(), child.relativeY() + child.itemHeight()};
}

}  // namespace

bool Container::moveFocus(bool forward, int keyCode, int gameAction) {
    ContainerView* v = view();
    return v ? v->handleNavigation(keyCode, gameAction) : shiftFocus(forward, 0);
}

const Container* Container::scroller(int& y, int& visible) const {
    const Container* c = this;
    while (!c->scrolls_) {
        const Container* parent = c->parentContainer();
        if (!parent) return nullptr;
        y += c->relativeY_ + c->contentY_;
        c = parent;
    }
    if (c->screenContent_) y += c->screenTopOffset_;
    visible =
        c->scrollHeight_ - c->contentY_ - c->borderWidth_ - c->marginBottom_ - c->paddingBottom_;
    return c;
}

bool Container::hiddenAt(const Item& item, int y, int offset) const {
    int visible = 0;
    if (!scroller(y, visible)) return false;
    return y + item.itemHeight() + offset <= 0 || y + offset >= visible;
}

bool Container::rowInView(Item& child) {
    int top = 0;
    int bottom = 0;
    if (!child.focusedPartRows(top, bottom)) return true;
    int y = child.relativeY();
    int visible = 0;
    const Container* c = scroller(y, visible);
    if (!c) return true;
    // The view from the child's top.
    const int viewTop = -y - c->scrollOffset_;
    if (top >= viewTop && bottom <= viewTop + visible) return true;
    return child.focusPartWithin(viewTop, viewTop + visible);
}

Item* Container::focusedLeaf(Container*& holder, int& y) {
    holder = this;
    y = 0;
    for (Item* item = getFocusedItem(); item;) {
        y += item->relativeY();
        Container* inner = asContainerItem(item);
        if (!inner || !inner->getFocusedItem()) return item;
        y += inner->contentY();
        holder = inner;
        item = inner->getFocusedItem();
    }
    return nullptr;
}

bool Container::stepScroll(Container& scroller, int offset, bool forward, bool moveTried,
                           int keyCode, int gameAction) {
    Container* holder = nullptr;
    int y = 0;
    Item* leaf = focusedLeaf(holder, y);
    const bool hides = leaf && hiddenAt(*leaf, y, offset);
    if (hides) {
        // A control more than a step away is for later steps.
        const int next = moveTried || view() ? -1 : nextFocusable(forward);
        const bool far = next >= 0 && beyondStep(next, forward);
        if (!moveTried && !far && moveFocus(forward, keyCode, gameAction)) return true;
        // An outer container may have a control to go to.
        if (&scroller != this) return false;
        holder->focusIndex(-1);
        holder->focusScrolledAway_ = true;
    }
    scroller.setScrollYOffset(offset, false);
    // A list that holds nothing (a tab page the view was paged over) is the
    // one a control coming into view joins.
    Container* taker = holder;
    if (Container* inner = leaf ? asContainerItem(leaf) : nullptr;
        inner && !inner->getFocusedItem()) {
        taker = inner;
    }
    if (taker->focusScrolledAway_ && !taker->getFocusedItem()) taker->shiftFocus(forward, 0);
    return true;
}

void Container::keysFromNoFocus() {
    // With nothing focused the keys walk the view from where it is: only a
    // control in view, or brought into it by one step, takes the focus.
    if (!getFocusedItem() && !view() && getScrollHeight() != -1) focusScrolledAway_ = true;
}

const Item* Container::landingControl(int index, bool forward, const Container*& holder, int& at,
                                      int& y) const {
    holder = this;
    at = index;
    y = 0;
    const Item* item = children_[index].get();
    for (const Container* inner = asContainerItem(item); inner && !inner->view();
         inner = asContainerItem(item)) {
        const int edge = inner->edgeFocusable(!forward);
        if (edge < 0) break;
        y += item->relativeY() + inner->contentY();
        holder = inner;
        at = edge;
        item = inner->children_[edge].get();
    }
    y += item->relativeY();
    return item;
}

bool Container::landsOutOfView(int index, bool forward) const {
    const Container* holder = nullptr;
    int at = 0;
    int y = 0;
    const Item* control = landingControl(index, forward, holder, at, y);
    return hiddenAt(*control, y, getScrollYOffset());
}

int Container::nextFocusable(bool forward) const {
    const int n = size();
    const int step = forward ? 1 : -1;
    const int start = focusedIndex_ >= 0 ? focusedIndex_ : (forward ? -1 : n);
    for (int i = start + step; i >= 0 && i < n; i += step) {
        const Item* child = children_[i].get();
        if (focusScrolledAway_ && hiddenAt(*child, child->relativeY(), getScrollYOffset())) {
            continue;
        }
        if (child->isVisible() && child->isInteractive()) return i;
    }
    return -1;
}

bool Container::beyondStep(int index, bool forward) const {
    // The span a focus move shows (see scrollAfterFocus), in the scrolling
    // container's content. Into a page, that of the control it lands on.
    const Container* holder = nullptr;
    int at = 0;
    int y = 0;
    const Item& target = *landingControl(index, forward, holder, at, y);
    const int base = y - target.relativeY();
    const int n = forward ? at + 1 : at - 1;
    const Item& neighbour = n >= 0 && n < holder->size() ? *holder->children_[n] : target;
    int top = base + std::min(target.relativeY(), neighbour.relativeY());
    int bottom = base + std::max(target.relativeY() + target.itemHeight(),
                                 neighbour.relativeY() + neighbour.itemHeight());
    const Container* c = this;
    while (!c->scrolls_) {
        const Container* parent = c->parentContainer();
        if (!parent) return false;
        top += c->relativeY_ + c->contentY_;
        bottom += c->relativeY_ + c->contentY_;
        c = parent;
    }
    if (c->screenContent_) {
        top += c->screenTopOffset_;
        bottom += c->screenTopOffset_;
    }
    const int height = c->scrollHeight_;
    const int visible =
        height - c->contentY_ - c->borderWidth_ - c->marginBottom_ - c->paddingBottom_;
    const int viewTop = -c->scrollOffset_;
    // Any line between the view and the new one would never come on screen.
    if (forward) {
        const int shownBottom = bottom - top > visible ? top + visible : bottom;
        return shownBottom - visible > viewTop + visible;
    }
    const int shownTop = std::max(top, bottom - height);
    return shownTop + visible < viewTop;
}

bool Container::stepTowards(int index, bool forward) {
    Container* scroller = scrollingContainer();
    if (!scroller) return false;
    const int current = scroller->scrollOffset_;
    const int offset =
        forward ? std::max(current - kScrollStep, scroller->scrollHeight_ - scroller->itemHeight_)
                : std::min(current + kScrollStep, 0);
    if (offset == current) return false;
    Container* holder = nullptr;
    int y = 0;
    if (Item* leaf = focusedLeaf(holder, y); leaf && hiddenAt(*leaf, y, offset)) {
        holder->focusIndex(-1);
        holder->focusScrolledAway_ = true;
    }
    scroller->setScrollYOffset(offset, false);
    // The control the scroll brought into view takes the focus.
    if (!landsOutOfView(index, forward)) {
        focusChild(index, children_[index].get(), forward ? kGameDown : kGameUp);
    }
    return true;
}

bool Container::navigateDown(int keyCode, int gameAction) {
    keysFromNoFocus();
    Item* child = getFocusedItem();
    const int scrollHeight = getScrollHeight();
    const int offset = getRelativeScrollYOffset();
    const bool areaBelow = child && scrollHeight != -1 &&
                           focusSpanOf(*child, scrollHeight).bottom + offset > scrollHeight;
    if (!areaBelow) {
        const int next = view() ? -1 : nextFocusable(true);
        if (next >= 0 && beyondStep(next, true)) return stepTowards(next, true);
        if (moveFocus(true, keyCode, gameAction)) return true;
    }
    Container* scroller = scrollingContainer();
    const bool contentBelow = scrolls_ && scrollOffset_ > scrollHeight_ - itemHeight_;
    if (!scroller || !(areaBelow || contentBelow)) return false;
    const int current = scroller->scrollOffset_;
    const int limit = scroller->scrollHeight_ - scroller->itemHeight_;
    return stepScroll(*scroller, std::min(current, std::max(current - kScrollStep, limit)), true,
                      !areaBelow, keyCode, gameAction);
}

bool Container::navigateUp(int keyCode, int gameAction) {
    keysFromNoFocus();
    Item* child = getFocusedItem();
    const int scrollHeight = getScrollHeight();
    const int offset = getRelativeScrollYOffset();
    const bool topHidden = child && scrollHeight != -1 && child->relativeY() + offset < 0;
    if (!topHidden) {
        const int next = view() ? -1 : nextFocusable(false);
        if (next >= 0 && beyondStep(next, false)) return stepTowards(next, false);
        if (moveFocus(false, keyCode, gameAction)) return true;
    }
    Container* scroller = scrollingContainer();
    if (!scroller || !((scrolls_ && scrollOffset_ < 0) || topHidden)) return false;
    return stepScroll(*scroller, std::min(scroller->scrollOffset_ + kScrollStep, 0), false,
                      !topHidden, keyCode, gameAction);
}

bool Container::handleNavigation(int keyCode, int gameAction) {
    if (isDown(keyCode, gameAction)) return navigateDown(keyCode, gameAction);
    if (isUp(keyCode, gameAction)) return navigateUp(keyCode, gameAction);
    ContainerView* v = view();
    return v && v->handleNavigation(keyCode, gameAction);
}

bool Container::shiftFocus(bool forward, int /*delta*/) {
    const int n = size();
    if (n == 0) return false;
    const int step = forward ? 1 : -1;
    const int start = focusedIndex_ >= 0 ? focusedIndex_ : (forward ? -1 : n);
    bool wrapped = false;
    for (int i = start + step;; i += step) {
        if (i < 0 || i >= n) {
            // Wrap once, and only when the whole content is in view at that end.
            const bool endInView =
                forward ? contentHeight_ + scrollOffset_ - scrollHeight_ <= 1 : scrollOffset_ == 0;
            if (wrapped || !scrolls_ || !allowCycle_ || !endInView) return false;
            wrapped = true;
            i = forward ? -1 : n;
            continue;
        }
        if (i == focusedIndex_) return false;
        Item* child = children_[i].get();
        if (focusScrolledAway_ && hiddenAt(*child, child->relativeY(), getScrollYOffset())) {
            continue;
        }
        if (child->isVisible() && child->isInteractive()) {
            focusChild(i, child, forward ? kGameDown : kGameUp);
            // Losing the focus, the old child may have hidden this one: on
            // to the next.
            if (getFocusedItem() == child) return true;
        }
    }
}

// --- pointer -------------------------------------------------------------------------------

bool Container::pointerToView(int px, int py, bool press) {
    ContainerView* v = view();
    return v && (press ? v->pointerPressed(px, py) : v->pointerReleased(px, py));
}

}  // namespace zq
