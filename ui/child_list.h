// ChildList: what every container item shares, an ordered list of owned
// children with one of them holding the focus. It adopts, inserts, removes
// and finds children, hands commands and pointer events to the focused
// child first and keeps the area of the focused child as its own focus area.
// Container (ui/container.h: vertical layout, views, scrolling) and
// EmptyContainer (ui/empty_container.h: light containers such as a line of
// pieces or a list) derive from it and decide how the focus moves.
//
// Ownership: the list owns its children; each child's parent pointer is the
// list. The saved child style is borrowed. UI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/cstring.h"
#include "ui/item.h"

namespace zq {

class Style;

// What a parent must lay out again for when a child changes.
struct ItemSize {
    int width;
    int height;
    uint32_t layout;
    bool operator==(const ItemSize&) const = default;
};

inline ItemSize sizeOf(const Item& item) {
    return {item.itemWidth(), item.itemHeight(), item.getLayout()};
}

// The size after a focus change, measured at `width` (the item lays itself
// out again when its style changed).
ItemSize measuredAt(Item& item, int width);

class ChildList : public Item {
public:
    ChildList(const CString& label, uint32_t layout, int appearanceMode, Style* style);
    ~ChildList() override;

    // --- Item ------------------------------------------------------------------
    // Points are relative to the list's origin. The focused child sees the
    // event first; a press elsewhere focuses the interactive child under it
    // without scrolling the content.
    bool pointerPressed(int x, int y) override;
    bool pointerReleased(int x, int y) override;
    // The list's own commands first, then the focused child's.
    bool handleCommand(Command* command) override;
    void hideNotify() override;
    // The first hit among the children (in order), then the list itself.
    Item* getItemByName(const CString& id) override;
    // requestInit on every descendant, then on the list.
    void requestFullInit() override;
    // Every visible child's animation: a running bar deep in the content moves.
    void animateParts(DirtyRect& dirty) override;

    // --- children --------------------------------------------------------------
    // Adopts `item` (parent = this) and returns it; null is ignored. The
    // item is told it is shown when the list is, on a screen.
    Item* add(std::unique_ptr<Item> item);
    // As add, at `index` (appended past the end); a focus at or after
    // `index` moves along.
    Item* insert(int index, std::unique_ptr<Item> item);
    // Deletes the child at `index`; a focus on it is released, a focus after
    // it moves along. False when out of range.
    virtual bool remove(int index);
    // Deletes every child; the focus is forgotten first.
    virtual void clear();
    // Null when `index` is out of range.
    Item* getItem(int index) const;
    int size() const { return static_cast<int>(children_.size()); }
    const std::vector<std::unique_ptr<Item>>& children() const { return children_; }
    // Position of `child` found by identity; -1 when it is not a child.
    int indexOfChild(const Item* child) const;

    // The innermost item drawn under (x, y), a point in the list's item
    // coordinates as a press gets it, and the point in that item's
    // coordinates; null when no child is there.
    Item* itemDrawnAt(int x, int y, int& itemX, int& itemY) const {
        return drawnItemAt(x - contentX_, y - contentY_ - childScrollOffset(), &itemX, &itemY);
    }

    // --- focus -----------------------------------------------------------------
    int getFocusedIndex() const { return focusedIndex_; }
    Item* getFocusedItem() const { return focusedIndex_ >= 0 ? focusedItem_ : nullptr; }
    // Moves the focus to `child` (the child at `index`). Direction is a game
    // action (1 up, 6 down, 0 none).
    virtual void focusChild(int index, Item* child, int direction) = 0;
    // Nothing here holds the focus any more (the focused child left the view).
    virtual void dropFocus() { releaseFocus(); }

protected:
    // The vertical offset the children are drawn at (0 or negative): pointer
    // events are moved by it before they reach a child.
    virtual int childScrollOffset() const { return 0; }
    // A pointer event in content coordinates the list's view may take after
    // the focused child and before the other children.
    virtual bool pointerToView(int /*px*/, int /*py*/, bool /*press*/) { return false; }
    // The innermost item drawn under (px, py), a point in content
    // coordinates, and (when asked) the point in that item's coordinates;
    // null when no child is there.
    Item* drawnItemAt(int px, int py, int* itemX = nullptr, int* itemY = nullptr) const;
    // Called when an insertion or removal moved the focused index.
    virtual void focusedIndexShifted() {}
    // Lays `child`, which dropped its own layout, out again as the list's
    // last layout did. The default leaves it to the list's next layout.
    virtual void relayoutChild(Item& /*child*/) {}

    // Painting never lays out, so a child that dropped its own layout while
    // it handled an event (a choice that changed its look) is laid out again
    // as soon as the event has passed. Down the chain of focused children the
    // first one without a layout is laid out, which lays out those below it.
    // Nothing happens while the list waits for a layout of its own: that one
    // measures the child anyway. A handler opens the scope on entry; the
    // layout runs when it returns.
    class LayoutAfterEvent {
    public:
        explicit LayoutAfterEvent(ChildList& list) : list_(list) {}
        ~LayoutAfterEvent() { list_.layoutDroppedFocusedChild(); }
        LayoutAfterEvent(const LayoutAfterEvent&) = delete;
        LayoutAfterEvent& operator=(const LayoutAfterEvent&) = delete;

    private:
        ChildList& list_;
    };
    void layoutDroppedFocusedChild();

    // The style the focused child had before it took the focus.
    Style* savedChildStyle() const;
    // Forgets the focus, then defocuses the child that had it; its saved
    // style is forgotten too.
    void releaseFocus();
    // The focused child, when another than `next` and still focused, gives
    // its style back; true when that changed its size at the laid-out width.
    bool returnFocusedStyle(const Item* next);
    // The first visible, interactive child from the end given; -1 for none.
    int edgeFocusable(bool fromEnd) const;
    // The area the list keeps visible for the focused child.
    void takeFocusArea(const Item& child);

    std::vector<std::unique_ptr<Item>> children_;
    Style* childSavedStyle_ = nullptr;  // the focused child's style before it was focused
    Item* focusedItem_ = nullptr;
    int focusedIndex_ = -1;

private:
    bool pointerToChildren(int x, int y, bool press);
    // Where the child that took the pen's press was then: taking the focus
    // may lay the page out anew before the release, which still belongs to
    // what was under the pen.
    struct Press {
        ItemRef child;
        int x = 0;
        int y = 0;
        int scroll = 0;  // this list's own scroll then
        // How far the press was moved to stay on the item drawn under it
        // when the child's taking the focus laid it out anew.
        int shiftX = 0;
        int shiftY = 0;
    };
    Press press_;
};

}  // namespace zq
