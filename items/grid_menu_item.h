// GridMenuItem: an icon menu, a grid of pictures with one framed focused
// cell, moved with the arrows and chosen with FIRE or a tap. Choosing a cell
// sends its listener an Event named by the item with "List" and the cell's
// value as its two extra texts. LEFT and RIGHT wrap round the grid; DOWN
// below the last cell of a column and UP above the top row are left to the
// container, which moves on to the neighbouring items.
//
// The cells are drawn once into the display's shared off-screen layer; each
// paint copies the grid's own rectangle back and draws the focused cell on
// top, so moving the focus on a large grid stays cheap.
//
// Grids register under their name ("gid") so that the page's picture loader
// can replace cell pictures later (findGridMenu). Pictures are shared
// ImageRefs. UI thread, except the registry, which is locked.
#pragma once

#include <vector>

#include "platform/cstring.h"
#include "platform/geometry.h"
#include "platform/image.h"
#include "ui/item.h"
#include "ui/listeners.h"

namespace zq {

class DeviceContext;

class GridMenuItem : public Item, public ItemCommandListener {
public:
    static constexpr int kHorizontalPadding = 10;
    static constexpr int kVerticalPadding = 20;
    static constexpr Color kDefaultFrameColor = 0xFFFFFF;

    // An empty picture list is no list: the item then lays out as 0 x 0 and
    // takes no focus until it has pictures.
    GridMenuItem(std::vector<ImageRef> images, std::vector<ImageRef> overlays, const CString& name,
                 Style* style);
    ~GridMenuItem() override;

    void setStyle(Style* style) override;
    void initContent(int firstLineWidth, int lineWidth) override;
    void paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) override;
    bool keyPressed(int keyCode, int gameAction) override;
    bool keyReleased(int keyCode, int gameAction) override;
    bool pointerPressed(int x, int y) override;
    bool pointerReleased(int x, int y) override;
    // The grid command raises the cell event.
    void commandAction(Command* command, Item* item) override;

    // Only while the item has no pictures yet.
    void setImages(std::vector<ImageRef> images);
    // Cell `cellNumber` (decimal text, counted from 1): a picture replaces the
    // cell's picture; the overlay always replaces the cell's overlay.
    void setCellImages(const CString& cellNumber, ImageRef image, ImageRef overlay);
    // Out of range gives cell 0.
    void setSelectedIndex(int index);
    void setValues(std::vector<CString> values) { values_ = std::move(values); }
    void setListener(EventListener* listener) { listener_ = listener; }

    int getSelectedIndex() const { return focusedIndex_; }
    int columns() const { return columns_; }
    int rows() const { return rows_; }
    int cellCount() const { return static_cast<int>(images_.size()); }
    const CString& name() const { return name_; }
    Color frameColor() const { return frameColor_; }
    // The cell's value; empty past the values given.
    CString valueAt(int index) const;
    // The cell's picture and overlay; null past the cells.
    ImageRef imageAt(int index) const;
    ImageRef overlayAt(int index) const;

private:
    int cellBoxWidth() const { return cellImageWidth_ + 2 * cellPadding_; }
    int cellBoxHeight() const { return cellImageHeight_ + 2 * cellPadding_; }
    // The cell's picture position relative to the content origin.
    int cellX(int column) const;
    int cellY(int row) const;
    void drawCell(DeviceContext& dc, int x, int y, int index) const;
    // False, the focus left as it was, for DOWN where no cell lies below
    // and UP from the top row: the keys then leave the grid.
    bool moveFocus(int gameAction);
    void updateFocusArea();
    void raiseCellEvent();
    // The column (row) under a point relative to the item; -1 for none.
    int columnAt(int x) const;
    int rowAt(int y) const;

    CString name_;
    Color frameColor_ = kDefaultFrameColor;
    std::vector<ImageRef> images_;
    std::vector<ImageRef> overlays_;
    std::vector<CString> values_;
    EventListener* listener_ = nullptr;
    int columns_ = 1;
    int rows_ = 0;
    int cellPadding_ = 0;
    int verticalPadding_ = kVerticalPadding;
    bool imagesChanged_ = true;
    int leftOffset_ = 0;
    int topOffset_ = 0;
    int focusedIndex_ = 0;
    int focusedColumn_ = 0;
    int focusedRow_ = 0;
    int pressedColumn_ = -1;
    int pressedRow_ = -1;
    int cellImageWidth_ = 0;
    int cellImageHeight_ = 0;
    int paintedX_ = 0;
    int paintedY_ = 0;
    int layerGeneration_ = -1;
};

// The grid registered under `name`, or null. UI thread.
GridMenuItem* findGridMenu(const CString& name);

}  // namespace zq
