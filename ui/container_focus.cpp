// Container: moving the focus among the children, and the container's own
// focus and commands.
#include <algorithm>
#include <cstdlib>
#include <utility>

#include "ui/container.h"
#include "ui/default_styles.h"
#include "ui/layout_view.h"

namespace zq {

// --- focus -------------------------------------------------------------------------------

bool Container::focusIndex(int index) {
    if (index == -1) {
        if (Item* child = getFocusedItem(); child && child->isFocused()) {
            child->defocus(savedChildStyle());
        }
        focusedIndex_ = -1;
        focusedItem_ = nullptr;
        // The area of a control let go must not lead the keys back to it.
        clearInternalArea();
        if (ContainerView* v = view()) v->forgetFocus();
        return true;
    }
    Item* child = getItem(index);
    if (!child || !child->isInteractive()) return false;
    int direction = kGameNone;
    if (focused_ && index > focusedIndex_) direction = kGameDown;
    if (focused_ && index < focusedIndex_) direction = kGameUp;
    focusChild(index, child, direction);
    return true;
}

void Container::refuseFocus() {
    focusIndex(-1);
    // Only a control in view takes the focus from here.
    focusScrolledAway_ = true;
    requestInit();
}

void Container::dropFocus() {
    focusIndex(-1);
    focusScrolledAway_ = true;
}

bool Container::focusFound(int index, int reference) {
    focusChild(index, children_[index].get(), index < reference ? kGameUp : kGameDown);
    return true;
}

bool Container::focusClosestItem(int index) {
    // The nearest control drawn, else none: a control far off would move the
    // view away from where the user is.
    const int n = size();
    const int offset = getScrollYOffset();
    for (int distance = 1; distance <= n; ++distance) {
        for (const int i : {index - distance, index + distance}) {
            if (i < 0 || i >= n) continue;
            const Item* child = children_[i].get();
            if (child->isVisible() && child->isInteractive() &&
                !hiddenAt(*child, child->relativeY(), offset)) {
                return focusFound(i, index);
            }
        }
    }
    dropFocus();
    return false;
}

bool Container::getClosestInteractiveIndex(int index) {
    const int n = size();
    for (int distance = 0; distance <= n + std::abs(index); ++distance) {
        const int below = index - distance;
        const int above = index + distance;
        if (below >= 0 && below < n && children_[below]->isInteractive()) {
            return focusFound(below, index);
        }
        if (distance != 0 && above >= 0 && above < n && children_[above]->isInteractive()) {
            return focusFound(above, index);
        }
    }
    focusIndex(-1);
    focusFirstPending_ = true;
    return false;
}

void Container::focusChild(int index, Item* child, int direction) {
    if (!child) return;
    if (focusFirstPending_ && !initialised_) {
        startIndex_ = index;
        return;
    }
    if (child == getFocusedItem() && child->isFocused()) return;
    // A control scrolled back into view takes the focus where it is.
    const bool returning = std::exchange(focusScrolledAway_, false);
    const int oldIndex = focusedIndex_;
    bool relayout = returnFocusedStyle(child);
    // The old child's leave action may have hidden this one.
    if (!child->isVisible() || !child->isInteractive()) {
        refuseFocus();
        return;
    }

    // The new child takes the focused style, through the view when there is one.
    const ItemSize before = sizeOf(*child);
    ContainerView* v = view();
    childSavedStyle_ = v ? v->focusItem(index, child, direction, focusedStyle_)
                         : child->focus(focusedStyle_, direction);
    // Its own focus action may hide the child: it lets go at once.
    if (!child->isVisible() || !child->isInteractive()) {
        if (child->isFocused()) child->defocus(savedChildStyle());
        focusedIndex_ = -1;
        focusedItem_ = nullptr;
        focusClosestItem(index);
        return;
    }
    // Back from nothing focused, a control of rows takes a row in view, not
    // its edge row far away; with none in view it lets go.
    if (returning && !rowInView(*child)) {
        child->defocus(savedChildStyle());
        focusedIndex_ = -1;
        focusedItem_ = nullptr;
        focusScrolledAway_ = true;
        if (relayout) requestInit();
        return;
    }
    // Which way the focus went decides which neighbour stays in view.
    const bool movingDown = direction == kGameDown || direction == kGameRight ||
                            (direction == kGameNone && index > oldIndex);
    focusedIndex_ = index;
    focusedItem_ = child;
    if (v) v->setFocusedIndex(index);
    // Before the first layout only a scroll can be remembered.
    if (!initialised_) {
        if (getScrollHeight() != -1) scrollPending_ = true;
        return;
    }
    // A size change means a new layout.
    if (measuredAt(*child, contentWidth_) != before) relayout = true;
    takeFocusArea(*child);
    // Keep the new child and its neighbour in view.
    Container* scroller = scrollingContainer();
    if (scroller) scroller->scrollCut_ = false;
    if (returning) {
        scrollToItem(direction, child);
    } else if (getScrollHeight() != -1) {
        scrollAfterFocus(index, oldIndex, *child, direction, movingDown);
    }
    if (relayout) {
        // A scroll cut short at the end of the content as it was before the
        // child grew goes on after the layout, where the new end is known.
        if (scroller && scroller->scrollCut_) scroller->scrollPending_ = true;
        requestInit();
    }
}

void Container::scrollAfterFocus(int index, int oldIndex, Item& child, int direction,
                                 bool movingDown) {
    const int scrollHeight = getScrollHeight();
    Item* neighbour = &child;
    if (movingDown && index + 1 < size()) {
        neighbour = children_[index + 1].get();
    } else if (!movingDown && index > 0) {
        neighbour = children_[index - 1].get();
    }
    const bool farAbove =
        !movingDown && scrollHeight + neighbour->relativeY() + getRelativeScrollYOffset() < 0;
    if (farAbove ||
        (scrolls_ && (index == 0 || (movingDown && index < oldIndex) || oldIndex < 0))) {
        setScrollYOffset(farAbove ? std::min(getScrollYOffset() + 30, 0) : 0, false);
        // Those steps aim at the top, not at the child: a child taller than
        // the view, or one far down, still shows where its focus is.
        scrollToItem(direction, &child);
        return;
    }
    const Item& upper = movingDown ? child : *neighbour;
    const Item& lower = movingDown ? *neighbour : child;
    int top = std::min(upper.relativeY(), lower.relativeY());
    const int bottom =
        std::max(upper.relativeY() + upper.itemHeight(), lower.relativeY() + lower.itemHeight());
    // Moving up past a tall neighbour, the part kept in view ends at the
    // child, not at the neighbour's top.
    if (!movingDown && bottom - top > scrollHeight && scrollHeight > 0) top = bottom - scrollHeight;
    scroll(direction, child.relativeX(), top, child.itemWidth(),
           std::min(bottom - top, scrollHeight));
    showFocusInside(direction, child);
}

void Container::showFocusInside(int direction, Item& child) {
    // A child taller than the view shows one edge of itself; its focus may
    // lie anywhere inside.
    if (child.hasInternalArea() && child.itemHeight() > getScrollHeight()) {
        scrollToItem(direction, &child);
    }
}

Style* Container::focus(Style* focusStyle, int direction) {
    if (children_.empty()) return Item::focus(focusStyle, direction);
    Style* before = style_ ? style_ : defaultItemStyle();
    bool actionRaised = false;

    Style* ownFocused = getFocusedStyle();
    if (ownFocused && ownFocused != defaultFocusedStyle()) {
        bgStyle_ = Item::focus(focusStyle, direction);
        actionRaised = true;
        if (ContainerView* v = view()) v->setFocusedStyle(ownFocused);
    }

    // The child: the remembered one for a view that keeps it, else by edge.
    int target;
    ContainerView* v = view();
    if (v && !v->isFocusFromEdge()) {
        Item* remembered = getItem(focusedIndex_);
        target = remembered && remembered->isInteractive() ? focusedIndex_ : edgeFocusable(false);
    } else {
        target = edgeFocusable(direction == kGameUp || direction == kGameLeft);
    }
    if (target < 0) return actionRaised ? before : Item::focus(focusedStyle_, direction);

    focused_ = true;
    collecting_ = false;
    focusChild(target, children_[target].get(), direction);
    if (!collecting_ && !commands_.empty()) updateCommands();
    if (!actionRaised) fireFocusAction();
    return before;
}

void Container::defocus(Style* normalStyle) {
    // The child's normal style may change its size.
    const LayoutAfterEvent layout(*this);
    Item* child = getFocusedItem();
    if (children_.empty() || !child) {
        Item::defocus(normalStyle);
        return;
    }
    bool actionRaised = false;
    if (bgStyle_) {
        Style* restore = bgStyle_;
        bgStyle_ = nullptr;
        Item::defocus(restore);
        actionRaised = true;
    }
    focused_ = false;
    if (child->isFocused()) child->defocus(savedChildStyle());
    if (ContainerView* v = view(); v && normalStyle) {
        v->setFocusedStyle(nullptr);
        v->setStyle(normalStyle);
        initialised_ = false;
    }
    if (child->getCommands().empty() && !commands_.empty()) {
        if (ItemScreen* screen = getScreen()) screen->removeItemCommands();
    }
    if (!actionRaised) fireLeaveAction();
}

void Container::collectCommands(std::vector<CommandRef>& commands) {
    collecting_ = true;
    Item::collectCommands(commands);
}

}  // namespace zq
