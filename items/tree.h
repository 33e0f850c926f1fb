// A tree of expandable entries: TreeContainer holds leaves (IconItems) and
// NodeItems; a NodeItem wraps one entry (its header) and owns a Container of
// child entries shown indented below the header while it is expanded.
//
// An entry becomes a node the first time a child is put under it: the node
// takes the entry's place in its container, at the same index, and the
// entry becomes the node's header.
//
// Ownership: the tree owns its top-level entries and its two icons; a node
// owns its header and its children. Styles are borrowed. UI thread only.
#pragma once

#include <memory>

#include "platform/cstring.h"
#include "platform/image.h"
#include "ui/container.h"
#include "ui/item.h"

namespace zq {

class NodeItem;

class TreeContainer : public Container {
public:
    TreeContainer(const CString& label, Style* style);
    ~TreeContainer() override;

    // Loads the collapsed icon (kTreeCollapsedImage) and the expanded icon
    // (kTreeExpandedImage) when they are named.
    void setStyle(Style* style) override;

    // A plain entry at the top level; returns it.
    Item* addLeaf(const CString& text, ImageRef image, Style* style);
    // Puts `child` under `parent` (any entry of this tree), turning `parent`
    // into a node the first time. Returns the node, or null when `parent`
    // is null or not placed in a container.
    NodeItem* addChild(Item* parent, std::unique_ptr<Item> child);
    NodeItem* addChildWithStyle(Item* parent, std::unique_ptr<Item> child, Style* style);

    const ImageRef& collapsedIcon() const { return collapsedIcon_; }
    const ImageRef& expandedIcon() const { return expandedIcon_; }
    // The wider icon's width; 0 without icons.
    int iconWidth() const;

private:
    ImageRef collapsedIcon_;
    ImageRef expandedIcon_;
};

class NodeItem : public Item {
public:
    // Indent of the children below the header, in pixels.
    static constexpr int kIndent = 10;

    NodeItem(TreeContainer* tree, std::unique_ptr<Item> header);
    ~NodeItem() override;

    void initContent(int firstLineWidth, int lineWidth) override;
    void paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) override;
    bool keyPressed(int keyCode, int gameAction) override;
    // A held key's repeats reach the focused child as repeats.
    bool keyRepeated(int keyCode, int gameAction) override;
    bool keyReleased(int keyCode, int gameAction) override;
    bool pointerPressed(int x, int y) override;
    bool pointerReleased(int x, int y) override;
    Style* focus(Style* focusStyle, int direction) override;
    void defocus(Style* normalStyle) override;
    Item* getItemByName(const CString& id) override;
    // The focused part's commands first (a link's in the open node), then
    // the node's own.
    bool handleCommand(Command* command) override;
    // The header, and the children while the node is open, are shown and
    // hidden with the node.
    void showNotify() override;
    void hideNotify() override;
    // The header, and the children while they are shown.
    void animateParts(DirtyRect& dirty) override;

    // Closing also closes every node below this one. The children are shown
    // when the node opens on a shown screen and hidden when it closes.
    void setExpanded(bool expanded);
    bool isExpanded() const { return expanded_; }
    // Gives the focus back to the header (from the children).
    void focusHeader();
    // Gives the focus to `child`, an interactive child of the open node;
    // false (nothing changed) for any other item.
    bool focusChildItem(Item* child);

    Item* header() const { return header_.get(); }
    // The part that has the focus: the children's container while they
    // have it, else the header.
    Item* focusedPart() const override;
    bool focusPartWithin(int top, int bottom) override;
    // The entry the node wraps; it becomes the node's child.
    void setHeader(std::unique_ptr<Item> header);
    Container& children() { return *children_; }
    const Container& children() const { return *children_; }

private:
    // After the open node's children had a key (`taken`: they used it).
    bool afterChildrenKey(bool taken, int gameAction);
    bool childrenFocused() const { return childrenFocused_; }
    // A visible child that can take the focus.
    bool hasInteractiveChild() const;
    // Whether a point (item coordinates) lies below the header's row.
    bool belowHeader(int y) const;
    void trackChildrenFocusArea();
    // Scrolls the container holding the node so that its focus area shows.
    void showFocusArea(int gameAction);
    int headerHeight() const;

    TreeContainer* tree_;
    std::unique_ptr<Item> header_;
    std::unique_ptr<Container> children_;
    bool expanded_ = false;
    bool childrenFocused_ = false;
    int iconWidth_ = 0;
    Style* savedFocusStyle_ = nullptr;
    Style* headerFocusResult_ = nullptr;
};

}  // namespace zq
