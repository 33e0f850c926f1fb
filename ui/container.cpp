// Container: children, style and view, layout and painting. Focus changes
// are in container_focus.cpp; keys, pointer, navigation and scrolling in
// container_input.cpp.
#include "ui/container.h"

#include <algorithm>
#include <climits>

#include "ui/default_styles.h"
#include "ui/graphics_context.h"
#include "ui/layout_view.h"
#include "ui/style.h"

namespace zq {
namespace {

const CString kIndexToken(u"%INDEX%");

}  // namespace

Container* asContainerItem(Item* item) { return dynamic_cast<Container*>(item); }
const Container* asContainerItem(const Item* item) { return dynamic_cast<const Container*>(item); }

// --- life ------------------------------------------------------------------------------

Container::Container(const CString& label, bool focusFirst, Style* style, int scrollHeight)
    : ChildList(label, kLayoutNewLineBefore, kAppearanceControl, style) {
    focusFirstPending_ = focusFirst;
    setScrollHeight(scrollHeight);
}

Container::Container(bool focusFirst, Style* style) : Container(CString(), focusFirst, style, -1) {}

Container::~Container() {
    // The children go while the container's own view still exists.
    focusedItem_ = nullptr;
    deferredScrollItem_ = nullptr;
    children_.clear();
}

// --- tree ------------------------------------------------------------------------------

Container* Container::parentContainer() const { return asContainerItem(parent_); }

Container* Container::scrollingContainer() {
    for (Container* c = this; c; c = c->parentContainer()) {
        if (c->scrolls_) return c;
    }
    return nullptr;
}

const Container* Container::scrollingContainer() const {
    return const_cast<Container*>(this)->scrollingContainer();
}

ContainerView* Container::view() const {
    if (!containerView_) return nullptr;
    // A view bound through Item may have been replaced there.
    if (containerView_ == ownedContainerView_.get() || containerView_ == getView()) {
        return containerView_;
    }
    return nullptr;
}

int Container::indexOf(const Item* item) const {
    // An item without an identifier has no name to be found by.
    if (!item || item->getId().isEmpty()) return -1;
    for (int i = 0; i < size(); ++i) {
        if (children_[i]->getId() == item->getId()) return i;
    }
    return -1;
}

CString Container::expandIndexToken(const CString& text, const Item* item) const {
    const int at = text.find(kIndexToken);
    if (at < 0) return text;
    // The child itself first: siblings without identifiers share the empty one.
    int index = indexOfChild(item);
    if (index < 0) index = indexOf(item);
    return text.left(at) + CString::format(CString(u"%d"), index) +
           text.mid(at + kIndexToken.length());
}

// --- adding and removing -------------------------------------------------------------------

void Container::focusedIndexShifted() {
    if (ContainerView* v = view()) v->setFocusedIndex(focusedIndex_);
}

std::unique_ptr<Item> Container::set(int index, std::unique_ptr<Item> item, Style* style) {
    if (!item || index < 0 || index >= size()) return nullptr;
    item->setParent(this);
    if (style) item->setStyle(style);
    std::unique_ptr<Item> old = std::move(children_[index]);
    children_[index] = std::move(item);
    Item* next = children_[index].get();
    if (old.get() == deferredScrollItem_) deferredScrollItem_ = nullptr;

    if (index == focusedIndex_) {
        if (old->isFocused()) {
            old->defocus(savedChildStyle());
            focusedItem_ = nullptr;
            if (next->isInteractive()) {
                focusChild(index, next, 0);
            } else {
                focusIndex(-1);
            }
        } else {
            focusedItem_ = next;
        }
    }
    // The new child is shown in the old one's place, as an added one is.
    if (shown_ && getScreen()) {
        if (old->isShown()) old->hideNotify();
        next->showNotify();
    }
    old->leaveContainer();
    requestInit();
    return old;
}

bool Container::remove(int index) {
    if (index < 0 || index >= size()) return false;
    Item* child = children_[index].get();
    if (child == deferredScrollItem_) deferredScrollItem_ = nullptr;
    const int step = child->itemHeight() + paddingVertical_;

    const bool wasFocused = index == focusedIndex_;
    if (wasFocused) {
        // The focus leaves the child while it is still ours.
        if (child->isFocused()) child->defocus(savedChildStyle());
        focusedIndex_ = -1;
        focusedItem_ = nullptr;
        childSavedStyle_ = nullptr;
        if (ContainerView* v = view()) v->forgetFocus();
        if (ItemScreen* screen = getScreen()) screen->removeItemCommands();
    }
    std::unique_ptr<Item> removed = std::move(children_[index]);
    children_.erase(children_.begin() + index);

    // Later children move up; the focus follows its child.
    if (!view()) {
        for (int i = index; i < size(); ++i) {
            Item* c = children_[i].get();
            c->setRelativePosition(c->relativeX(), c->relativeY() - step);
        }
    }
    if (wasFocused && !children_.empty()) {
        const int next = std::min(index, size() - 1);
        if (children_[next]->isInteractive()) {
            focusChild(next, children_[next].get(), kGameDown);
        } else {
            getClosestInteractiveIndex(next);
        }
    } else if (index < focusedIndex_) {
        --focusedIndex_;
        if (ContainerView* v = view()) {
            v->setFocusedIndex(focusedIndex_);
        } else {
            setScrollYOffset(std::min(0, getScrollYOffset() + step), false);
        }
    }
    requestInit();
    if (shown_) removed->hideNotify();
    removed.reset();
    return true;
}

void Container::clear() {
    if (ContainerView* v = view()) v->forgetFocus();
    deferredScrollItem_ = nullptr;
    if (Item* focusedChild = getFocusedItem()) {
        startIndex_ = 0;
        focusFirstPending_ = focused_;
        focusedIndex_ = -1;
        focusedItem_ = nullptr;
        if (focusedChild->isFocused()) focusedChild->defocus(savedChildStyle());
    }
    focusedIndex_ = -1;
    focusedItem_ = nullptr;
    childSavedStyle_ = nullptr;
    clearInternalArea();
    scrollOffset_ = 0;
    targetOffset_ = 0;
    if (Container* parent = parentContainer(); parent && focused_) {
        if (relativeY_ + parent->getRelativeScrollYOffset() < 0) {
            parent->scroll(kGameUp, relativeX(), relativeY_, itemWidth_, 1);
        }
    }
    for (const auto& child : children_) child->hideNotify();
    children_.clear();
    requestInit();
}

// --- style and view --------------------------------------------------------------------------

void Container::setStyle(Style* style) { applyStyle(style, false); }

void Container::applyStyle(Style* style, bool ignoreBackground) {
    Item::setStyle(style);
    if (!style) return;
    if (ignoreBackground) {
        background_ = nullptr;
        border_ = nullptr;
        borderWidth_ = 0;
        paddingLeft_ = paddingRight_ = paddingTop_ = paddingBottom_ = 0;
        marginLeft_ = marginRight_ = marginTop_ = marginBottom_ = 0;
    }

    // The style's own view wins; else a column count asks for a grid.
    ContainerView* next = nullptr;
    if (auto* carried = dynamic_cast<ContainerView*>(getView())) {
        next = carried;
    } else if (!view() && style->getProperty(prop::kColumnCount) > 1) {
        ownedContainerView_ = std::make_unique<ContainerView>();
        next = ownedContainerView_.get();
    }
    if (next && next != containerView_) {
        containerView_ = next;
        if (next != ownedContainerView_.get()) ownedContainerView_.reset();
        next->attach(this);
        next->setFocusedIndex(focusedIndex_);
        next->setAllowCycle(allowCycle_);
    } else if (!view()) {
        containerView_ = nullptr;
    }
    if (style->getProperty(prop::kEqualColumns) == 1) equalColumns_ = true;
    if (ContainerView* v = view()) v->setStyle(style);
}

void Container::setAllowCycle(bool allow) {
    allowCycle_ = allow;
    if (ContainerView* v = view()) v->setAllowCycle(allow);
}

void Container::setFocusFirst(bool pending, int startIndex) {
    focusFirstPending_ = pending;
    startIndex_ = std::max(0, startIndex);
}

// --- layout ------------------------------------------------------------------------------------

void Container::initContent(int firstLineWidth, int lineWidth) {
    // Focus changes during the layout must not scroll by a stale layout.
    initialised_ = false;
    firstLineWidth = std::min(firstLineWidth, getMaxWidth());
    lineWidth = std::min(lineWidth, getMaxWidth());
    laidOutLineWidth_ = lineWidth;
    if (children_.empty()) {
        contentWidth_ = 0;
        contentHeight_ = 0;
        return;
    }
    if (view()) {
        initWithView(firstLineWidth, lineWidth);
    } else {
        initPlain(lineWidth);
    }
    if (Item* item = deferredScrollItem_) {
        deferredScrollItem_ = nullptr;
        scrollToItem(kGameNone, item);
    }
    // Content that shrank (a child's focused look let go) leaves no blank
    // below its end.
    if (scrolls_ && scrollOffset_ < std::min(0, scrollHeight_ - contentHeight_)) {
        setScrollYOffset(std::min(0, scrollHeight_ - contentHeight_), false);
    }
}

void Container::initPlain(int lineWidth) {
    if (focusFirstPending_ && startIndex_ >= size()) startIndex_ = 0;
    const bool shrink = (layout_ & kLayoutShrink) != 0;
    bool anyInteractive = false;
    int y = 0;
    int maxRight = INT_MIN;
    int maxWidth = 0;
    // The scroll to the focused child waits until the content height is known.
    Item* scrollAfter = nullptr;
    int scrollY = 0, scrollW = 0, scrollH = 0;

    for (int i = 0; i < size(); ++i) {
        Item* child = children_[i].get();
        if (!child->isVisible()) continue;
        // 1. Measure.
        int w = child->getItemWidth(lineWidth, lineWidth);
        int h = child->itemHeight();
        anyInteractive = anyInteractive || child->isInteractive();
        // 2. The first focus, or a scroll that waited for this layout.
        if (focusFirstPending_ && i >= startIndex_ && child->isInteractive()) {
            focusFirstPending_ = false;
            focusChild(i, child, kGameNone);
            w = child->getItemWidth(lineWidth, lineWidth);
            h = child->itemHeight();
            if (shrink) w = 0;
            if (scrolls_ && startIndex_ != 0) {
                scrollAfter = child;
                scrollY = y, scrollW = w, scrollH = h;
            }
        } else if (child == focusedItem_ && scrollPending_) {
            if (shrink) w = 0;
            scrollAfter = child;
            scrollY = y, scrollW = w, scrollH = h;
            scrollPending_ = false;
        }
        // 3. Place by the child's alignment; painting and taps follow.
        const int x = alignedOffset(child->getLayout(), lineWidth, w);
        child->setRelativePosition(x, y);
        // 4. Track the extent: an aligned child holds the line it is aligned in.
        maxRight = std::max(maxRight, isAlignedLayout(child->getLayout()) ? lineWidth : x + w);
        maxWidth = std::max(maxWidth, w);
        if (h != 0) y += h + paddingVertical_;
    }

    contentWidth_ = maxRight == INT_MIN ? 0 : std::max(maxRight, maxWidth);
    if (minWidth_ > contentWidth_) {
        contentWidth_ = minWidth_ - 2 * borderWidth_ - marginLeft_ - marginRight_ - paddingLeft_ -
                        paddingRight_;
    }
    contentHeight_ = y;
    if (!anyInteractive) {
        appearanceMode_ = kAppearancePlain;
    } else {
        appearanceMode_ = kAppearanceControl;
        Item* focusedChild = getFocusedItem();
        if (!focusedChild) clearInternalArea();
        if (focusedChild) {
            takeFocusArea(*focusedChild);
            if (shrink) {
                const uint32_t flags = focusedChild->getLayout();
                focusedChild->setLayout(flags & ~kLayoutExpand);
                const int natural = focusedChild->getItemWidth(lineWidth, lineWidth);
                focusedChild->setLayout(flags);
                contentWidth_ = std::max({contentWidth_, natural, minWidth_});
            }
        }
    }
    if (scrollAfter) {
        scroll(kGameNone, 0, scrollY, scrollW, scrollH);
        showFocusInside(kGameNone, *scrollAfter);
    }
}

void Container::initWithView(int firstLineWidth, int lineWidth) {
    ContainerView* v = view();
    v->initContent(*this, firstLineWidth, lineWidth);
    contentWidth_ = v->contentWidth();
    contentHeight_ = v->contentHeight();
    if (!focusFirstPending_) return;
    if (startIndex_ >= size()) startIndex_ = 0;
    for (int i = startIndex_; i < size(); ++i) {
        Item* child = children_[i].get();
        if (!child->isVisible() || !child->isInteractive()) continue;
        focusFirstPending_ = false;
        const ItemSize before = sizeOf(*child);
        focusChild(i, child, kGameNone);
        child->init(before.width, before.width);
        if (child->itemWidth() > before.width || child->itemHeight() > before.height) {
            v->initContent(*this, firstLineWidth, lineWidth);
            contentWidth_ = v->contentWidth();
            contentHeight_ = v->contentHeight();
        }
        break;
    }
}

void Container::relayoutChild(Item& child) {
    if (view()) return;
    const ItemSize before = sizeOf(child);
    child.init(laidOutLineWidth_, laidOutLineWidth_);
    if (sizeOf(child) != before) requestInit();
}

// --- painting ------------------------------------------------------------------------------------

void Container::paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) {
    if (ContainerView* v = view()) {
        v->paintChildren(*this, x, y + scrollOffset_, leftBorder, rightBorder, g);
        return;
    }
    const int clipTop = g.getClipY();
    const int clipBottom = clipTop + g.getClipHeight();
    Item* focusedChild = getFocusedItem();
    int focusedY = 0;
    int cy = y + scrollOffset_;
    for (const auto& owned : children_) {
        Item* child = owned.get();
        child->setOnScreen(false);
        if (!child->isVisible()) continue;
        if (child == focusedChild) {
            focusedY = cy;
        } else if (cy < clipBottom && cy + child->itemHeight() > clipTop) {
            child->setOnScreen(true);
            child->paintPlaced(x, cy, leftBorder, rightBorder, g);
        }
        if (child->itemHeight() != 0) cy += child->itemHeight() + paddingVertical_;
    }
    // The focused child stands above its neighbours.
    if (focusedChild && focusedChild->isVisible()) {
        focusedChild->setOnScreen(focusedY < clipBottom &&
                                  focusedY + focusedChild->itemHeight() > clipTop);
        focusedChild->paintPlaced(x, focusedY, x, rightBorder, g);
    }
}

// --- showing ---------------------------------------------------------------------------------

void Container::showNotify() {
    Item::showNotify();
    if (style_ && !styleApplied_) setStyle(style_);
    if (ContainerView* v = view()) v->showNotify();
    for (const auto& child : children_) {
        if (child->getStyle() && !child->isStyleApplied()) child->setStyle(child->getStyle());
        child->showNotify();
    }
}

void Container::hideNotify() {
    if (ContainerView* v = view()) v->hideNotify();
    ChildList::hideNotify();
}

}  // namespace zq
