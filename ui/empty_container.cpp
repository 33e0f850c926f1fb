#include "ui/empty_container.h"

#include <algorithm>
#include <mutex>

#include "ui/default_styles.h"
#include "ui/style.h"

namespace zq {
namespace {

// Keypad digits that carry left and right stay free for text entry.
constexpr int kDigitFour = '4';
constexpr int kDigitSix = '6';

Style* buildInlineStyle() {
    Style* s = allocTracked();
    s->setMargins(0, 0, 0, 0);
    s->setSpacings(1, 0, 0, 0, 4, 0);
    return s;
}

}  // namespace

Style* defaultInlineStyle() {
    static StartupObject<Style*> shared([] {
        Style* style = buildInlineStyle();
        setStyleProperty(style, prop::kFocusedStyle, buildInlineStyle());
        return style;
    });
    return shared.get();
}

// --- EmptyContainer -----------------------------------------------------------------------------

EmptyContainer::EmptyContainer(const CString& label, uint32_t layout, int appearanceMode,
                               Style* style)
    : ChildList(label, layout, appearanceMode, style) {}

int EmptyContainer::getFocusedItemOffset() const {
    int offset = 0;
    for (int i = 0; i <= focusedIndex_ && i < size(); ++i) {
        offset += children_[i]->itemHeight() + paddingVertical_;
    }
    return offset;
}

int EmptyContainer::focusTarget(int direction) const {
    if (getItem(focusedIndex_)) return focusedIndex_;
    return edgeFocusable(direction == kGameUp || direction == kGameLeft);
}

void EmptyContainer::focusEntry(int target, int direction) {
    if (focusedStyle_ && focusedStyle_ != defaultFocusedStyle()) setStyle(focusedStyle_);
    focused_ = true;
    focusChild(target, children_[target].get(), direction);
}

bool EmptyContainer::defocusEntry(Style* normalStyle) {
    Item* child = focusedItem_;
    if (!child) return false;
    focused_ = false;
    if (normalStyle && style_ != normalStyle) setStyle(normalStyle);
    if (child->isFocused()) child->defocus(savedChildStyle());
    if (child->getCommands().empty() && !commands_.empty()) {
        if (ItemScreen* screen = getScreen()) screen->removeItemCommands();
    }
    return true;
}

void EmptyContainer::focusChild(int index, Item* child, int direction) {
    if (!child || (child == focusedItem_ && child->isFocused())) return;
    bool relayout = returnFocusedStyle(child);
    // The old child's leave action may have hidden this one.
    if (!child->isVisible() || !child->isInteractive()) {
        releaseFocus();
        requestInit();
        return;
    }
    const ItemSize before = sizeOf(*child);
    childSavedStyle_ = child->focus(focusedStyle_, direction);
    focusedIndex_ = index;
    focusedItem_ = child;
    if (!initialised_) return;
    if (measuredAt(*child, contentWidth_) != before) relayout = true;
    takeFocusArea(*child);
    if (relayout) requestInit();
}

bool EmptyContainer::shiftFocus(bool forward) {
    const int n = size();
    const int step = forward ? 1 : -1;
    int i = focusedIndex_ >= 0 ? focusedIndex_ + step : (forward ? 0 : n - 1);
    for (; i >= 0 && i < n; i += step) {
        Item* child = children_[i].get();
        if (child->isVisible() && child->isInteractive()) {
            focusChild(i, child, forward ? kGameDown : kGameUp);
            scrollToFocusedItem();
            return true;
        }
    }
    return false;
}

bool EmptyContainer::keyPressed(int keyCode, int gameAction) {
    const LayoutAfterEvent layout(*this);
    if (children_.empty()) return false;
    if (Item* child = focusedItem_) {
        if (!child->isInitialised()) child->init(contentWidth_, contentWidth_);
        if (child->keyPressed(keyCode, gameAction)) {
            takeFocusArea(*child);
            return true;
        }
    }
    return handleNavigation(keyCode, gameAction);
}

bool EmptyContainer::keyRepeated(int keyCode, int gameAction) {
    const LayoutAfterEvent layout(*this);
    if (focusedItem_ && focusedItem_->keyRepeated(keyCode, gameAction)) return true;
    return handleNavigation(keyCode, gameAction);
}

bool EmptyContainer::keyReleased(int keyCode, int gameAction) {
    const LayoutAfterEvent layout(*this);
    if (focusedItem_ && focusedItem_->keyReleased(keyCode, gameAction)) return true;
    return Item::keyReleased(keyCode, gameAction);
}

bool EmptyContainer::handleNavigation(int /*keyCode*/, int /*gameAction*/) { return false; }

// --- InlineContainer
// -------------------------------------------------------------------------------

InlineContainer::InlineContainer() : InlineContainer(defaultInlineStyle()) {}

InlineContainer::InlineContainer(Style* style) : InlineContainer(CString(), 0, style) {}

InlineContainer::InlineContainer(const CString& label, int /*mode*/, Style* style)
    : EmptyContainer(label, 0, kAppearanceControl, style) {}

void InlineContainer::initContent(int /*firstLineWidth*/, int lineWidth) {
    if (children_.empty()) {
        contentWidth_ = 0;
        contentHeight_ = 0;
        return;
    }
    int x = 0;
    int lineHeight = 0;
    bool anyInteractive = false;
    for (const auto& owned : children_) {
        Item* child = owned.get();
        if (!child->isVisible()) continue;
        // Pieces of one line: links do not stretch, texts do not break.
        const int room = std::max(0, lineWidth - x);
        if (child->isHyperlinkItem()) {
            if (!child->isInitialised()) child->init(room, room);
            child->setLayout(child->getLayout() & ~kLayoutExpand);
        }
        CString text = child->getText();
        if (text.find(u'\n') >= 0 || text.find(u'\r') >= 0) {
            text.remove(u'\n');
            text.remove(u'\r');
            child->setText(text);
        }
        // Side by side, bottoms on the line's bottom as far as it is known.
        const int w = child->getItemWidth(room, room);
        const int h = child->itemHeight();
        lineHeight = std::max(lineHeight, h);
        child->setRelativePosition(x, lineHeight - h);
        x += w + paddingVertical_;
        anyInteractive = anyInteractive || child->isInteractive();
    }
    contentWidth_ = x;
    contentHeight_ = lineHeight;
    appearanceMode_ = anyInteractive ? kAppearanceControl : kAppearancePlain;
    if (anyInteractive && focusedItem_) takeFocusArea(*focusedItem_);
}

void InlineContainer::paintContent(int x, int y, int leftBorder, int rightBorder,
                                   GraphicsContext& g) {
    for (const auto& owned : children_) {
        Item* child = owned.get();
        if (!child->isVisible()) continue;
        const int cx = x + child->relativeX();
        const bool meets = cx + child->itemWidth() >= leftBorder && cx < rightBorder;
        child->setOnScreen(meets);
        // A piece of a line has its place on it: a centred or right-aligned
        // child (a button) is not moved into the room of the pieces after it.
        const bool aligned = (child->getLayout() & (kLayoutCenter | kLayoutRight)) != 0;
        const int right = aligned ? std::min(rightBorder, cx + child->itemWidth()) : rightBorder;
        if (meets) child->paint(cx, y + child->relativeY(), cx, right, g, true);
    }
}

Style* InlineContainer::focus(Style* focusStyle, int direction) {
    if (children_.empty()) return Item::focus(focusStyle, direction);
    Style* before = style_ ? style_ : defaultItemStyle();
    const int target = focusTarget(direction);
    if (target < 0) return Item::focus(focusedStyle_, direction);
    focusEntry(target, direction);
    fireFocusAction();
    if (!commands_.empty()) updateCommands();
    return before;
}

void InlineContainer::defocus(Style* normalStyle) {
    if (!defocusEntry(normalStyle)) {
        Item::defocus(normalStyle);
        return;
    }
    fireLeaveAction();
}

bool InlineContainer::handleNavigation(int keyCode, int gameAction) {
    if (gameAction == kGameRight && keyCode != kDigitSix) return shiftFocus(true);
    if (gameAction == kGameLeft && keyCode != kDigitFour) return shiftFocus(false);
    return false;
}

}  // namespace zq
