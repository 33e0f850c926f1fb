#include "items/tree.h"

#include <algorithm>
#include <utility>

#include "items/icon_item.h"
#include "platform/device_context.h"
#include "ui/graphics_context.h"
#include "ui/image_cache.h"
#include "ui/screen.h"
#include "ui/style.h"

namespace zq {
namespace {

// Opening a node whose children are not laid out yet still scrolls this far.
constexpr int kUnknownChildrenHeight = 30;

// The default tree style names its icons by device path ("\Program\ZQ
// Resource\add.png"); pictures load relative to the program folder.
ImageRef loadIcon(const CString& path) {
    static constexpr std::u16string_view kProgram = u"\\Program\\";
    if (path.length() > static_cast<int>(kProgram.size()) &&
        compareNoCase(path.left(static_cast<int>(kProgram.size())).view(), kProgram) == 0) {
        return loadImageFile(path.mid(static_cast<int>(kProgram.size())));
    }
    return loadImageFile(path);
}

void relayoutScreen(Item& item) {
    item.requestInit();
    if (auto* screen = dynamic_cast<Screen*>(item.getScreen())) {
        screen->invalidateLayout();
        screen->repaint();
    }
}

}  // namespace

// --- TreeContainer ----------------------------------------------------------------

TreeContainer::TreeContainer(const CString& label, Style* style) : Container(false, style) {
    setLabel(label);
}

TreeContainer::~TreeContainer() = default;

void TreeContainer::setStyle(Style* style) {
    Container::setStyle(style);
    if (!style) return;
    const CString collapsed = style->getStringProperty(prop::kTreeCollapsedImage);
    if (!collapsed.isEmpty()) collapsedIcon_ = loadIcon(collapsed);
    const CString expanded = style->getStringProperty(prop::kTreeExpandedImage);
    if (!expanded.isEmpty()) expandedIcon_ = loadIcon(expanded);
}

int TreeContainer::iconWidth() const {
    const int collapsed = collapsedIcon_ ? collapsedIcon_->width() : 0;
    const int expanded = expandedIcon_ ? expandedIcon_->width() : 0;
    return std::max(collapsed, expanded);
}

Item* TreeContainer::addLeaf(const CString& text, ImageRef image, Style* style) {
    auto leaf = std::make_unique<IconItem>(text, std::move(image), style);
    leaf->setAppearanceMode(kAppearancePlain);
    return add(std::move(leaf));
}

NodeItem* TreeContainer::addChild(Item* parent, std::unique_ptr<Item> child) {
    return addChildWithStyle(parent, std::move(child), nullptr);
}

NodeItem* TreeContainer::addChildWithStyle(Item* parent, std::unique_ptr<Item> child,
                                           Style* style) {
    if (!parent || !child) return nullptr;
    auto* node = dynamic_cast<NodeItem*>(parent->getParent());
    if (!node || node->header() != parent) {
        // The entry is found in its container by identity, never by name.
        auto* holder = dynamic_cast<Container*>(parent->getParent());
        const int index = holder ? holder->indexOfChild(parent) : -1;
        if (index < 0) return nullptr;
        auto made = std::make_unique<NodeItem>(this, nullptr);
        node = made.get();
        node->setHeader(holder->set(index, std::move(made)));
    }
    parent->setAppearanceMode(kAppearanceInteractive);
    if (style) child->setStyle(style);
    node->children().add(std::move(child));
    return node;
}

// --- NodeItem --------------------------------------------------------------------------

NodeItem::NodeItem(TreeContainer* tree, std::unique_ptr<Item> header)
    : Item(CString(), 0, kAppearanceControl, nullptr),
      tree_(tree),
      children_(std::make_unique<Container>(false, nullptr)) {
    children_->setParent(this);
    setHeader(std::move(header));
}

void NodeItem::setHeader(std::unique_ptr<Item> header) {
    header_ = std::move(header);
    if (header_) header_->setParent(this);
    requestInit();
}

NodeItem::~NodeItem() = default;

Item* NodeItem::focusedPart() const { return childrenFocused_ ? children_.get() : header_.get(); }

bool NodeItem::focusPartWithin(int top, int bottom) {
    auto within = [&](const Item& part, int origin) {
        const int partTop = origin + part.relativeY();
        return partTop < bottom && partTop + std::max(part.itemHeight(), 1) > top;
    };
    if (header_ && within(*header_, contentY_)) {
        focusHeader();
        return true;
    }
    if (!expanded_) return false;
    const int origin = contentY_ + children_->relativeY() + children_->contentY();
    for (const auto& child : children_->children()) {
        if (child->isVisible() && child->isInteractive() && within(*child, origin)) {
            return focusChildItem(child.get());
        }
    }
    return false;
}

int NodeItem::headerHeight() const { return header_ ? header_->itemHeight() : 0; }

void NodeItem::initContent(int firstLineWidth, int lineWidth) {
    iconWidth_ = tree_ ? tree_->iconWidth() : 0;
    const int headerLine = std::max(0, lineWidth - iconWidth_);
    if (header_) {
        header_->init(std::max(0, firstLineWidth - iconWidth_), headerLine);
        header_->setRelativePosition(iconWidth_, 0);
    }
    const int headerWidth = header_ ? header_->itemWidth() : 0;
    const int nodeWidth =
        iconWidth_ > 0 ? headerWidth + paddingHorizontal_ + iconWidth_ : headerWidth;
    if (expanded_) {
        children_->init(std::max(0, lineWidth - kIndent - iconWidth_),
                        std::max(0, lineWidth - kIndent - iconWidth_));
        children_->setRelativePosition(iconWidth_ + kIndent, headerHeight() + paddingVertical_);
        contentWidth_ = std::max(kIndent + iconWidth_ + children_->itemWidth(), nodeWidth);
        contentHeight_ = headerHeight() + paddingVertical_ + children_->itemHeight();
    } else {
        contentWidth_ = nodeWidth;
        contentHeight_ = headerHeight();
    }
}

void NodeItem::paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) {
    if (header_) header_->paint(x + iconWidth_, y, leftBorder + iconWidth_, rightBorder, g, true);
    if (tree_) {
        const ImageRef& icon = expanded_ ? tree_->expandedIcon() : tree_->collapsedIcon();
        DeviceContext* dc = g.getDC();
        if (icon && dc) dc->drawImage(*icon, x, y + (headerHeight() - icon->height()) / 2);
    }
    if (expanded_) {
        const int childX = x + iconWidth_ + kIndent;
        children_->paint(childX, y + headerHeight() + paddingVertical_, childX,
                         std::max(childX, rightBorder), g, true);
    }
}

void NodeItem::trackChildrenFocusArea() {
    // In the node's content coordinates, as a container reads a child's area.
    const int baseX = children_->relativeX() + children_->contentX();
    const int baseY = children_->relativeY() + children_->contentY();
    if (children_->hasInternalArea()) {
        setInternalArea(baseX + children_->internalX(), baseY + children_->internalY(),
                        children_->internalWidth(), children_->internalHeight());
    } else {
        setInternalArea(baseX, baseY, children_->itemWidth(), children_->itemHeight());
    }
}

void NodeItem::showFocusArea(int gameAction) {
    // The children cannot scroll past the node themselves: the node shows
    // the area in its container now, not one key later.
    auto* holder = dynamic_cast<Container*>(getParent());
    if (!holder || !hasInternalArea()) return;
    int top = internalY();
    int bottom = top + internalHeight();
    // A control among the children shows whole where it fits, as it does on
    // a plain page.
    if (Item* child = childrenFocused_ ? children_->getFocusedItem() : nullptr;
        child && child->itemHeight() <= holder->getScrollHeight()) {
        const int childTop = children_->relativeY() + children_->contentY() + child->relativeY();
        top = std::min(top, childTop);
        bottom = std::max(bottom, childTop + child->itemHeight());
    }
    holder->scroll(gameAction, relativeX() + contentX_ + internalX(), relativeY() + contentY_ + top,
                   internalWidth(), bottom - top);
}

bool NodeItem::hasInteractiveChild() const {
    return std::any_of(
        children_->children().begin(), children_->children().end(),
        [](const auto& child) { return child->isVisible() && child->isInteractive(); });
}

bool NodeItem::belowHeader(int y) const { return y >= contentY_ + headerHeight(); }

bool NodeItem::keyPressed(int keyCode, int gameAction) {
    if (expanded_ && !childrenFocused()) {
        // Children that are plain text take no focus: DOWN goes on past them.
        if (gameAction == kGameDown && hasInteractiveChild()) {
            if (header_) header_->defocus(headerFocusResult_);
            childrenFocused_ = true;
            children_->focus(nullptr, kGameDown);
            trackChildrenFocusArea();
            showFocusArea(gameAction);
            return true;
        }
    } else if (expanded_) {
        return afterChildrenKey(children_->keyPressed(keyCode, gameAction), gameAction);
    }
    if (gameAction == kGameFire) {
        const bool took = header_ && header_->selectPressed();
        const int h = headerHeight();
        if (expanded_) {
            setInternalArea(0, 0, itemWidth_, h);
        } else if (children_->size() > 0) {
            const int childHeight =
                children_->itemHeight() > 0 ? children_->itemHeight() : kUnknownChildrenHeight;
            setInternalArea(0, 0, itemWidth_, h + childHeight + paddingVertical_);
        }
        return took || children_->size() > 0;
    }
    return false;
}

bool NodeItem::keyRepeated(int keyCode, int gameAction) {
    if (!expanded_ || !childrenFocused()) return Item::keyRepeated(keyCode, gameAction);
    return afterChildrenKey(children_->keyRepeated(keyCode, gameAction), gameAction);
}

bool NodeItem::afterChildrenKey(bool taken, int gameAction) {
    if (taken) {
        trackChildrenFocusArea();
        showFocusArea(gameAction);
        return true;
    }
    // UP past the first child goes back to the header.
    if (gameAction == kGameUp) {
        focusHeader();
        showFocusArea(gameAction);
        return true;
    }
    return false;
}

bool NodeItem::keyReleased(int keyCode, int gameAction) {
    if (expanded_ && childrenFocused()) {
        if (children_->keyReleased(keyCode, gameAction)) {
            trackChildrenFocusArea();
            return true;
        }
        return false;
    }
    if (gameAction == kGameFire) {
        if (header_) header_->selectReleased();
        setExpanded(!expanded_);
        if (!expanded_) focusHeader();
        return true;
    }
    return false;
}

bool NodeItem::handleCommand(Command* command) {
    if (Item* part = focusedPart(); part && part->handleCommand(command)) return true;
    return Item::handleCommand(command);
}

bool NodeItem::focusChildItem(Item* child) {
    const int index = children_->indexOfChild(child);
    if (!expanded_ || index < 0 || !child->isVisible() || !child->isInteractive()) return false;
    if (!childrenFocused_) {
        if (header_) header_->defocus(headerFocusResult_);
        childrenFocused_ = true;
        children_->focus(nullptr, kGameDown);
    }
    children_->focusChild(index, child, kGameDown);
    trackChildrenFocusArea();
    return true;
}

void NodeItem::focusHeader() {
    setInternalArea(-contentX_, -contentY_, (header_ ? header_->itemWidth() : 0) + contentX_,
                    headerHeight() + contentY_);
    if (childrenFocused_) {
        children_->defocus(nullptr);
        children_->focusIndex(-1);
        childrenFocused_ = false;
    }
    // A header that has the focus already keeps the normal style it gave
    // back then: focusing it again would hand back its focused one.
    if (header_ && !header_->isFocused()) {
        headerFocusResult_ =
            header_->focus(savedFocusStyle_ ? savedFocusStyle_ : getFocusedStyle(), kGameNone);
    }
}

void NodeItem::setExpanded(bool expanded) {
    if (!expanded) {
        clearInternalArea();
        if (childrenFocused_) focusHeader();
        for (const auto& child : children_->children()) {
            if (auto* node = dynamic_cast<NodeItem*>(child.get())) node->setExpanded(false);
        }
    }
    if (expanded == expanded_) return;
    expanded_ = expanded;
    if (shown_ && getScreen()) {
        if (expanded_) {
            children_->showNotify();
        } else {
            children_->hideNotify();
        }
    }
    relayoutScreen(*this);
}

void NodeItem::showNotify() {
    Item::showNotify();
    if (header_) header_->showNotify();
    if (expanded_) children_->showNotify();
}

void NodeItem::hideNotify() {
    if (header_) header_->hideNotify();
    children_->hideNotify();
    Item::hideNotify();
}

Style* NodeItem::focus(Style* focusStyle, int direction) {
    focused_ = true;
    savedFocusStyle_ = focusStyle;
    if (expanded_ && direction == kGameUp && hasInteractiveChild()) {
        childrenFocused_ = true;
        return children_->focus(focusStyle, kGameUp);
    }
    if (!header_) return nullptr;
    headerFocusResult_ = header_->focus(focusStyle, direction);
    return headerFocusResult_;
}

void NodeItem::defocus(Style* normalStyle) {
    focused_ = false;
    if (expanded_ && childrenFocused_) {
        children_->defocus(normalStyle);
        childrenFocused_ = false;
    } else if (header_) {
        // The header's own style, never the one the container kept: that is
        // the style of whichever part took the focus first.
        header_->defocus(headerFocusResult_ ? headerFocusResult_ : normalStyle);
    }
}

bool NodeItem::pointerPressed(int x, int y) {
    if (expanded_) {
        const int cx = x - contentX_ - children_->relativeX();
        const int cy = y - contentY_ - children_->relativeY();
        if (children_->pointerPressed(cx, cy)) {
            if (!childrenFocused_ && header_) header_->defocus(headerFocusResult_);
            childrenFocused_ = true;
            return true;
        }
        if (childrenFocused_ && header_ &&
            isInChildArea(x - contentX_, y - contentY_, header_.get())) {
            focusHeader();
            return true;
        }
        // A tap on a child that takes no press (plain text) is no tap on
        // the header: the node stays open.
        if (belowHeader(y)) return false;
    }
    return Item::pointerPressed(x, y);
}

bool NodeItem::pointerReleased(int x, int y) {
    if (expanded_ && childrenFocused_) {
        return children_->pointerReleased(x - contentX_ - children_->relativeX(),
                                          y - contentY_ - children_->relativeY());
    }
    if (expanded_ && belowHeader(y)) return false;
    return Item::pointerReleased(x, y);
}

void NodeItem::animateParts(DirtyRect& dirty) {
    if (header_) header_->animateAll(dirty);
    if (expanded_) children_->animateAll(dirty);
}

Item* NodeItem::getItemByName(const CString& id) {
    if (Item* found = Item::getItemByName(id)) return found;
    if (header_) {
        if (Item* found = header_->getItemByName(id)) return found;
    }
    return children_->getItemByName(id);
}

}  // namespace zq
