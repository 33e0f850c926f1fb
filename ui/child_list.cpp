#include "ui/child_list.h"

#include <algorithm>

#include "ui/default_styles.h"

namespace zq {

ItemSize measuredAt(Item& item, int width) {
    item.getItemWidth(width, width);
    return sizeOf(item);
}

ChildList::ChildList(const CString& label, uint32_t layout, int appearanceMode, Style* style)
    : Item(label, layout, appearanceMode, style) {}

ChildList::~ChildList() {
    focusedItem_ = nullptr;
    children_.clear();
}

// --- children ----------------------------------------------------------------------------

Item* ChildList::add(std::unique_ptr<Item> item) { return insert(size(), std::move(item)); }

Item* ChildList::insert(int index, std::unique_ptr<Item> item) {
    if (!item) return nullptr;
    index = std::clamp(index, 0, size());
    Item* child = item.get();
    child->clearInternalArea();
    child->setRelativePosition(child->relativeX(), 0);
    child->setParent(this);
    children_.insert(children_.begin() + index, std::move(item));
    if (focusedIndex_ >= 0 && index <= focusedIndex_) {
        ++focusedIndex_;
        focusedIndexShifted();
    }
    requestInit();
    // Not yet on a screen is not shown: the list tells its children when it
    // is shown itself.
    if (shown_ && getScreen()) child->showNotify();
    return child;
}

bool ChildList::remove(int index) {
    if (index < 0 || index >= size()) return false;
    if (index == focusedIndex_) {
        releaseFocus();
    } else if (index < focusedIndex_) {
        --focusedIndex_;
        focusedIndexShifted();
    }
    std::unique_ptr<Item> removed = std::move(children_[index]);
    children_.erase(children_.begin() + index);
    requestInit();
    if (shown_) removed->hideNotify();
    return true;
}

void ChildList::clear() {
    releaseFocus();
    for (const auto& child : children_) child->hideNotify();
    children_.clear();
    clearInternalArea();
    requestInit();
}

Item* ChildList::getItem(int index) const {
    if (index < 0 || index >= size()) return nullptr;
    return children_[index].get();
}

int ChildList::indexOfChild(const Item* child) const {
    for (int i = 0; i < size(); ++i) {
        if (children_[i].get() == child) return i;
    }
    return -1;
}

Item* ChildList::getItemByName(const CString& id) {
    for (const auto& child : children_) {
        if (Item* hit = child->getItemByName(id)) return hit;
    }
    return Item::getItemByName(id);
}

void ChildList::requestFullInit() {
    for (const auto& child : children_) child->requestFullInit();
    requestInit();
}

void ChildList::hideNotify() {
    for (const auto& child : children_) child->hideNotify();
    Item::hideNotify();
}

// --- focus -------------------------------------------------------------------------------

Style* ChildList::savedChildStyle() const {
    return childSavedStyle_ ? childSavedStyle_ : defaultItemStyle();
}

void ChildList::releaseFocus() {
    Item* child = focusedItem_;
    focusedIndex_ = -1;
    focusedItem_ = nullptr;
    if (child && child->isFocused()) child->defocus(savedChildStyle());
    childSavedStyle_ = nullptr;
}

bool ChildList::returnFocusedStyle(const Item* next) {
    Item* old = getFocusedItem();
    if (!old || old == next || !old->isFocused()) return false;
    const ItemSize before = sizeOf(*old);
    old->defocus(savedChildStyle());
    return initialised_ && measuredAt(*old, contentWidth_) != before;
}

void ChildList::layoutDroppedFocusedChild() {
    for (ChildList* list = this; list && list->initialised_;) {
        Item* child = list->getFocusedItem();
        if (!child || !child->isVisible()) return;
        if (!child->isInitialised()) {
            list->relayoutChild(*child);
            return;
        }
        list = dynamic_cast<ChildList*>(child);
    }
}

int ChildList::edgeFocusable(bool fromEnd) const {
    for (int k = 0; k < size(); ++k) {
        const int i = fromEnd ? size() - 1 - k : k;
        if (children_[i]->isVisible() && children_[i]->isInteractive()) return i;
    }
    return -1;
}

void ChildList::takeFocusArea(const Item& child) {
    if (child.hasInternalArea()) {
        setInternalArea(child.relativeX() + child.contentX() + child.internalX(),
                        child.relativeY() + child.contentY() + child.internalY(),
                        child.internalWidth(), child.internalHeight());
    } else {
        setInternalArea(child.relativeX(), child.relativeY(), child.itemWidth(),
                        child.itemHeight());
    }
}

// --- commands and pointer ----------------------------------------------------------------

bool ChildList::handleCommand(Command* command) {
    const LayoutAfterEvent layout(*this);
    if (Item::handleCommand(command)) return true;
    Item* child = getFocusedItem();
    return child && child->handleCommand(command);
}

bool ChildList::pointerToChildren(int x, int y, bool press) {
    const int px = x - contentX_;
    const int py = y - contentY_ - childScrollOffset();
    Item* focusedChild = getFocusedItem();
    // A release reaches the control that took the press as if it had not
    // moved since; lists on the way hand it down as they now stand, except
    // for a scroll of their own, which they undo.
    auto deliver = [&](Item* child) {
        int cx = px - child->relativeX();
        int cy = py - child->relativeY();
        if (press) {
            press_ = {child->weakRef(), child->getAbsoluteX(), child->getAbsoluteY(),
                      childScrollOffset()};
            return child->pointerPressed(cx, cy);
        }
        if (press_.child.get() == child) {
            cx += press_.shiftX;
            cy += childScrollOffset() - press_.scroll + press_.shiftY;
            if (!child->asContainer()) {
                cx += child->getAbsoluteX() - press_.x;
                cy += child->getAbsoluteY() - press_.y;
            }
        }
        return child->pointerReleased(cx, cy);
    };
    if (press) press_ = {};
    // The focused child sees the event first, then the view.
    if (focusedChild && deliver(focusedChild)) return true;
    if (pointerToView(px, py, press)) return true;
    // Outside the list, or on the focused child that did not want it: nobody
    // else takes it.
    if (!isInItemArea(x, y)) return false;
    if (focusedChild && isInChildArea(px, py, focusedChild)) return false;
    // Another interactive child under the point takes the focus on a press.
    for (int i = 0; i < size(); ++i) {
        Item* child = children_[i].get();
        if (child == focusedChild || !child->isVisible() || !child->isInteractive()) continue;
        if (!isInChildArea(px, py, child)) continue;
        if (press) {
            // The content stays still under the pen: the tapped child is in
            // view, and a scroll now would move it away before the release.
            ItemContainer* self = asContainer();
            const int offset = self ? self->getScrollYOffset() : 0;
            // Taking the focus may give the child another look and lay it
            // out anew: the pen stays on the item it was drawn over.
            Item* target = child;
            auto* inner = dynamic_cast<ChildList*>(child);
            // With nothing drawn under the pen inside it, the pen stays over
            // the same spot of its content, which a new padding may move.
            int innerX = 0, innerY = 0;
            if (inner) {
                innerX = inner->contentX_;
                innerY = inner->contentY_ + inner->childScrollOffset();
                if (Item* drawn = inner->drawnItemAt(px - child->relativeX() - innerX,
                                                     py - child->relativeY() - innerY)) {
                    target = drawn;
                }
            }
            const ItemRef targetRef = target->weakRef();
            const int targetX = target->getAbsoluteX(), targetY = target->getAbsoluteY();
            const int withinX = px - (targetX - getAbsoluteX() - contentX_);
            const int withinY = py - (targetY - getAbsoluteY() - contentY_);
            focusChild(i, child, kGameNone);
            if (self && self->getScrollYOffset() != offset) self->setScrollYOffset(offset, false);
            // Hidden by the leave action of the child that had the focus.
            if (getFocusedItem() != child) return true;
            int shiftX = 0, shiftY = 0;
            if (targetRef) {
                // Kept inside the target should it have shrunk.
                shiftX = target->getAbsoluteX() - targetX +
                         std::min(withinX, std::max(target->itemWidth() - 1, 0)) - withinX;
                shiftY = target->getAbsoluteY() - targetY +
                         std::min(withinY, std::max(target->itemHeight() - 1, 0)) - withinY;
                if (target == child && inner) {
                    shiftX += inner->contentX_ - innerX;
                    shiftY += inner->contentY_ + inner->childScrollOffset() - innerY;
                }
            }
            press_ = {child->weakRef(),
                      child->getAbsoluteX(),
                      child->getAbsoluteY(),
                      childScrollOffset(),
                      shiftX,
                      shiftY};
            child->pointerPressed(px - child->relativeX() + shiftX,
                                  py - child->relativeY() + shiftY);
        } else {
            deliver(child);
        }
        return true;
    }
    return false;
}

Item* ChildList::drawnItemAt(int px, int py, int* itemX, int* itemY) const {
    Item* found = nullptr;
    for (const ChildList* list = this; list;) {
        Item* hit = nullptr;
        for (const auto& child : list->children_) {
            if (child->isVisible() && list->isInChildArea(px, py, child.get())) {
                hit = child.get();
                break;
            }
        }
        if (!hit) break;
        found = hit;
        if (itemX) *itemX = px - hit->relativeX();
        if (itemY) *itemY = py - hit->relativeY();
        list = dynamic_cast<const ChildList*>(hit);
        if (!list) break;
        px -= hit->relativeX() + list->contentX_;
        py -= hit->relativeY() + list->contentY_ + list->childScrollOffset();
    }
    return found;
}

void ChildList::animateParts(DirtyRect& dirty) {
    for (const auto& child : children_) {
        if (child->isVisible()) child->animateAll(dirty);
    }
}

bool ChildList::pointerPressed(int x, int y) {
    const LayoutAfterEvent layout(*this);
    return pointerToChildren(x, y, true);
}

bool ChildList::pointerReleased(int x, int y) {
    const LayoutAfterEvent layout(*this);
    return pointerToChildren(x, y, false);
}

}  // namespace zq
