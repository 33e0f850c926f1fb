// Container: a ChildList (ui/child_list.h) that lays its children out one
// under the other (or hands layout and painting to a ContainerView,
// ui/layout_view.h), keeps the focus among them, scrolls vertically when it
// has a scroll height, routes keys and pointer events to the focused child
// and moves the focus with the arrow keys. A screen's content is one.
//
// Ownership: the children as ChildList. Styles are borrowed (tracked styles live until
// shut-down). A grid view the container makes for a column count is owned
// by the container; a view a style carries is bound through Item.
//
// Coordinates: children are placed relative to the container's content
// area (relativeX/Y). The scroll offset is 0 or negative: the content moves
// up by it. UI thread only.
#pragma once

#include <memory>
#include <vector>

#include "platform/cstring.h"
#include "ui/child_list.h"

namespace zq {

class ContainerView;
class GraphicsContext;
class Style;

class Container : public ChildList, public ItemContainer {
public:
    // Scroll height -1: the container does not scroll by itself and
    // inherits scrolling from the nearest Container ancestor. With
    // focusFirst the first interactive child takes the focus at the first
    // layout.
    Container(const CString& label, bool focusFirst, Style* style, int scrollHeight);
    explicit Container(bool focusFirst = false, Style* style = nullptr);
    ~Container() override;

    // --- Item ------------------------------------------------------------------
    // applyStyle(style, false).
    void setStyle(Style* style) override;
    void initContent(int firstLineWidth, int lineWidth) override;
    // Draws what the last layout found; the focused child last, above its
    // neighbours. Never lays out (see ChildList::LayoutAfterEvent).
    void paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) override;
    bool keyPressed(int keyCode, int gameAction) override;
    bool keyRepeated(int keyCode, int gameAction) override;
    bool keyReleased(int keyCode, int gameAction) override;
    bool textTyped(const CString& text) override;
    // Focuses a child: the first or last interactive one by direction, or
    // with a view the remembered one. Raises the focus action once.
    Style* focus(Style* focusStyle, int direction) override;
    void collectCommands(std::vector<CommandRef>& commands) override;
    // Raises the leave action once.
    void defocus(Style* normalStyle) override;
    void showNotify() override;
    // Clears the container's shown state too.
    void hideNotify() override;
    ItemContainer* asContainer() override { return this; }

    // --- navigation ----------------------------------------------------------------
    // Arrow keys no child used: moves the focus or scrolls by 30 px.
    virtual bool handleNavigation(int keyCode, int gameAction);
    // Moves the focus to the next (previous) visible interactive child;
    // wraps once only where allowCycle permits. `delta` is unused here.
    virtual bool shiftFocus(bool forward, int delta);

    // --- children --------------------------------------------------------------------
    // Replaces the child at `index` and hands the old one back (null when
    // `index` is out of range; `item` is then dropped). The focus passes to
    // the new child when the old one had it. While the container is shown,
    // the old child hears it is hidden and the new one that it is shown.
    std::unique_ptr<Item> set(int index, std::unique_ptr<Item> item, Style* style = nullptr);
    // Deletes the child at `index`; the focus passes to the child that takes
    // its place or the nearest interactive one. False when out of range.
    bool remove(int index) override;
    // Deletes every child; the focus is forgotten first and taken again by
    // the first interactive child at the next layout when the container had
    // it.
    void clear() override;
    // Index of the first child whose identifier equals the item's exactly
    // (case-sensitive); -1 when none or when the item has no identifier.
    int indexOf(const Item* item) const;

    // --- focus -------------------------------------------------------------------------
    int getFocusedIndex() const override { return ChildList::getFocusedIndex(); }
    Item* getFocusedItem() const override { return ChildList::getFocusedItem(); }
    int indexOfChild(const Item* child) const override { return ChildList::indexOfChild(child); }
    // -1 removes the focus; otherwise focuses an interactive child. True on
    // success.
    bool focusIndex(int index);
    // Down from `index` to 0, then up from index + 1. None: the focus is
    // removed and the first interactive child will be focused at the next
    // layout.
    bool focusClosestItem(int index) override;
    // Alternately index, index - 1, index + 1, index - 2 ...
    bool getClosestInteractiveIndex(int index);
    // Direction also decides how the view scrolls. Before the first layout
    // with a pending first focus only the index is remembered.
    void focusChild(int index, Item* child, int direction) override;
    // The focused control left the view: nothing holds the focus, and only
    // a control in view takes it back.
    void dropFocus() override;
    // Focus the first interactive child at or after `startIndex` at the
    // next layout.
    void setFocusFirst(bool pending, int startIndex = 0);
    bool isFocusFirstPending() const { return focusFirstPending_; }
    void setAllowCycle(bool allow);
    bool getAllowCycle() const { return allowCycle_; }

    // --- scrolling -----------------------------------------------------------------------
    // Own scroll height, else the nearest Container ancestor's; -1 when none.
    int getScrollHeight() const;
    void setScrollHeight(int height);
    bool scrollsItself() const { return scrolls_; }
    int getScrollYOffset() const override;
    // Own offset when the container scrolls itself or has no Container
    // parent; else the parent's offset plus own relativeY.
    int getRelativeScrollYOffset() const;
    // Sets the offset of the scrolling container; with `smooth` only the
    // target moves.
    void setScrollYOffset(int offset, bool smooth) override;
    int getTargetYOffset() const { return targetOffset_; }
    // Brings the area (x, y, w, h) of the content into view; true when the
    // offset changed.
    bool scroll(int gameAction, int x, int y, int width, int height);
    void scrollToItem(int gameAction, Item* item) override;
    // A screen's content adds the screen's top offset when it scrolls.
    void setScreenContent(bool screenContent) { screenContent_ = screenContent; }
    bool isScreenContent() const { return screenContent_; }
    void setScreenTopOffset(int offset) { screenTopOffset_ = offset; }

    // --- style and view --------------------------------------------------------------------
    // Applies the style; with ignoreBackground, background, border,
    // paddings and margins are dropped. Binds a grid view when the style
    // carries one or asks for more than one column.
    void applyStyle(Style* style, bool ignoreBackground);
    ContainerView* getContainerView() const { return view(); }
    bool hasEqualColumns() const { return equalColumns_; }

    // The first "%INDEX%" of `text` replaced by the index of `item` among
    // the children (-1 when it is none of them).
    CString expandIndexToken(const CString& text, const Item* item) const;

protected:
    // The nearest ancestor that is a Container; null when none.
    Container* parentContainer() const;
    // The container that scrolls for this one: itself or an ancestor.
    Container* scrollingContainer();
    const Container* scrollingContainer() const;

    int childScrollOffset() const override { return scrollOffset_; }
    bool pointerToView(int px, int py, bool press) override;
    void focusedIndexShifted() override;
    // At the line width of the last layout; a changed size asks for a new
    // layout. Children of a view are left to the view.
    void relayoutChild(Item& child) override;

    bool allowCycle_ = false;
    bool focusFirstPending_ = false;
    int startIndex_ = 0;

private:
    // The bound grid or row view; null when there is none.
    ContainerView* view() const;
    void initPlain(int lineWidth);
    void initWithView(int firstLineWidth, int lineWidth);
    bool focusFound(int index, int reference);
    // Nothing holds the focus after a child refused it.
    void refuseFocus();
    void scrollAfterFocus(int index, int oldIndex, Item& child, int direction, bool movingDown);
    // After a scroll that showed an edge of `child`: its focus area too.
    void showFocusInside(int direction, Item& child);
    bool scrollKeyToFocusArea(int keyCode, int gameAction, Item& child);
    // After the focused child took a key or text (`child` null once it took
    // itself out): a container without scrolling takes the child's focus
    // area; a scrolling one brings a child with an inner area into view.
    void afterChildTook(const ItemRef& child);
    void scrollToInternalArea(const ItemRef& child, int gameAction);
    bool navigateDown(int keyCode, int gameAction);
    bool navigateUp(int keyCode, int gameAction);
    // The move to `offset` of a scroll step: when it would hide the focused
    // control, the focus moves on instead (true), or outer containers try
    // that (false), or, with nowhere to go, the step is taken and the focus
    // leaves the control.
    bool stepScroll(Container& scroller, int offset, bool forward, bool moveTried, int keyCode,
                    int gameAction);
    bool moveFocus(bool forward, int keyCode, int gameAction);
    void keysFromNoFocus();
    // The focused control deepest down, the container holding it and its
    // top in this container's content; null when nothing is focused.
    Item* focusedLeaf(Container*& holder, int& y);
    // The control a focus move to child `index` lands on: in a child
    // container without a view, its first (last) control, deepest down, at
    // `at` in `holder`; `y` is its top in this container's content.
    const Item* landingControl(int index, bool forward, const Container*& holder, int& at,
                               int& y) const;
    // Whether that control is out of view.
    bool landsOutOfView(int index, bool forward) const;
    // The child the arrow key would focus next; -1 when none.
    int nextFocusable(bool forward) const;
    // Whether focusing the child at `index` would carry the view past
    // content the user has not seen.
    bool beyondStep(int index, bool forward) const;
    // One scroll step toward the child at `index`, which takes the focus
    // once it shows; the focused control lets go once it is out of view.
    bool stepTowards(int index, bool forward);
    // Whether `item`, a descendant at `y` of this container's content, is
    // out of view at the scrolling container's `offset`.
    bool hiddenAt(const Item& item, int y, int offset) const;
    // The container whose view scrolls this one, with `y` (in this one's
    // items) moved into its items and the height of its view; null for none.
    const Container* scroller(int& y, int& visible) const;
    // Whether the focused row of `child` (a control of rows) is in view, or
    // one in view took the focus instead; true for other controls.
    bool rowInView(Item& child);

    // The focus left a control that scrolled out of view: only a control in
    // view takes it back.
    bool focusScrolledAway_ = false;
    // The last scroll wanted to go past the end of the content.
    bool scrollCut_ = false;

    Style* bgStyle_ = nullptr;  // the container's style before its own focused style
    int scrollHeight_ = -1;
    int scrollOffset_ = 0;
    int targetOffset_ = 0;
    bool scrolls_ = false;
    bool scrollPending_ = false;
    bool collecting_ = false;
    bool equalColumns_ = false;
    bool screenContent_ = false;
    int screenTopOffset_ = 0;
    int laidOutLineWidth_ = 0;  // the line width the children were last laid out in
    Item* deferredScrollItem_ = nullptr;
    ContainerView* containerView_ = nullptr;
    std::unique_ptr<ContainerView> ownedContainerView_;
};

// The item as a Container; null for other items.
Container* asContainerItem(Item* item);
const Container* asContainerItem(const Item* item);

}  // namespace zq
