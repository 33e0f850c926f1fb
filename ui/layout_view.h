// The layout views of containers: ContainerView arranges a container's
// children in a grid of columns (or a single column), MIDP2LayoutView flows
// them into rows like words in a line, following each child's layout flags.
//
// A container binds a view when its style carries one (property 39) or asks
// for more than one column (property 4); see Container::applyStyle. The
// view lays out and paints the children of the container it serves and
// moves the focus among them with the arrow keys. It keeps no pointer to a
// child across layouts: rows and columns hold indices. UI thread only.
#pragma once

#include <memory>
#include <vector>

#include "ui/item_view.h"

namespace zq {

class Container;
class GraphicsContext;
class Item;
class Style;

class ContainerView : public ItemView {
public:
    enum class ColumnMode { None, Equal, Normal, Explicit };

    ContainerView() = default;
    ~ContainerView() override;

    std::unique_ptr<ItemView> getNewInstance() const override;
    void showNotify() override { restart_ = true; }
    // Gaps and flags; property 4 sets the column count (below 1 counts as
    // 1), property 5 the column widths: "equal", "normal" or one integer
    // per column (any other text: "normal").
    void setStyle(Style* style) override;

    // Lays out the container's children for the line width and sets the
    // view's content size and the container's appearance mode.
    virtual void initContent(Container& container, int firstLineWidth, int lineWidth);
    // Paints the children with the content's top-left at (x, y); the
    // focused child last.
    virtual void paintChildren(Container& container, int x, int y, int leftBorder, int rightBorder,
                               GraphicsContext& g);
    // Arrow keys: by one child sideways in a grid, by a row up and down.
    // True when the focus moved.
    virtual bool handleNavigation(int keyCode, int gameAction);
    // Points relative to the container's content; the base takes none.
    virtual bool pointerPressed(int /*x*/, int /*y*/) { return false; }
    virtual bool pointerReleased(int /*x*/, int /*y*/) { return false; }
    virtual bool pointerDragged(int /*x*/, int /*y*/) { return false; }

    // The container tells the view which container it serves and its
    // focus; the view remembers the focus for navigation.
    void attach(Container* container) { container_ = container; }
    Container* getContainer() const { return container_; }
    // Records the focus, then focuses the item; returns the item's old style.
    Style* focusItem(int index, Item* item, int direction, Style* focusedStyle);
    // Asks the container to focus the child at `index`.
    void requestFocus(int index, Item* item);
    void setFocusedIndex(int index) { focusedIndex_ = index; }
    int getFocusedIndex() const { return focusedIndex_; }
    void forgetFocus();
    void setAllowCycle(bool allow) { allowCycle_ = allow; }
    bool getAllowCycle() const { return allowCycle_; }
    void setFocusFromEdge(bool fromEdge) { focusFromEdge_ = fromEdge; }
    bool isFocusFromEdge() const { return focusFromEdge_; }
    // The style the focused container shows; null when unfocused.
    void setFocusedStyle(Style* style);

    ColumnMode getColumnMode() const { return columnMode_; }
    int getColumnCount() const { return columnCount_; }
    const std::vector<int>& getColumnWidths() const { return columnWidths_; }
    int getRowCount() const { return rowCount_; }
    bool getHorizontalMoves() const { return horizontalMoves_; }
    bool getVerticalMoves() const { return verticalMoves_; }

protected:
    // allowCycle as the container has it, but off inside a Container parent
    // with more than one child.
    void takeContainerState(Container& container);
    // Whether a child painted at (x, y) meets the clip: vertically by its
    // span or its internal area, horizontally by its span.
    static bool meetsClip(const Item& child, int x, int y, const GraphicsContext& g);
    // 3 when a child is interactive, else 0.
    static int appearanceFor(const Container& container);

    Container* container_ = nullptr;
    int focusedIndex_ = -1;
    bool focusFromEdge_ = true;
    bool restart_ = false;
    bool horizontalMoves_ = false;
    bool verticalMoves_ = true;
    ColumnMode columnMode_ = ColumnMode::None;
    int columnCount_ = 1;
    std::vector<int> columnWidths_;
    std::vector<int> explicitWidths_;
    int rowCount_ = 0;
    bool allowCycle_ = true;
    Style* focusedStyle_ = nullptr;

private:
    void layoutSingleColumn(Container& container, int firstLineWidth, int lineWidth);
    void layoutGrid(Container& container, int lineWidth);
    // Places the children row by row at the current column widths;
    // returns the content height.
    int placeRows(Container& container);
};

class MIDP2LayoutView : public ContainerView {
public:
    MIDP2LayoutView() = default;
    ~MIDP2LayoutView() override;

    std::unique_ptr<ItemView> getNewInstance() const override;
    void initContent(Container& container, int firstLineWidth, int lineWidth) override;
    void paintChildren(Container& container, int x, int y, int leftBorder, int rightBorder,
                       GraphicsContext& g) override;

    // The rows of the last layout, as child indices.
    const std::vector<std::vector<int>>& rows() const { return rows_; }

private:
    void placeChild(Container& container, int index, int lineWidth);
    void closeRow(Container& container, uint32_t flags, int lineWidth);

    std::vector<std::vector<int>> rows_;
    std::vector<int> currentRow_;
    int rowWidth_ = 0;
    int rowHeight_ = 0;
    int nextRowY_ = 0;
    bool paintFromRight_ = false;
};

}  // namespace zq
