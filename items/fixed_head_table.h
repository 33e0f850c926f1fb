// FixTableItem: the quote table. It shows a SimpleTableModel with an
// optional caption, a head row that may stay at the top while the page
// scrolls ("headlock"), locked columns on the left that never scroll
// sideways ("collock") and striped data rows with one focused row and
// column. Moving past the first or last row raises the "uppage" or
// "downpage" action; FIRE raises the cell's or the row's action
// (TableCellEvent, TableRowEvent). While it pages or scrolls sideways it
// shows four control buttons in the screen's status line.
//
// Threads. The item lives on the UI thread. The model is shared with the
// reply listener that fills it on a network thread; the model's change
// notice reaches the item through a relay that posts one coalesced task to
// the UI thread, which reloads, lays out and repaints. A reply thread never
// touches the item, and a notice that arrives after the item is gone goes
// nowhere. Painting brackets its reads with the model's read guard.
#pragma once

#include <memory>
#include <vector>

#include "items/table_model.h"
#include "platform/cstring.h"
#include "platform/font.h"
#include "platform/geometry.h"
#include "ui/item.h"

namespace zq {

class DeviceContext;
class Event;
class Screen;

class FixTableItem : public Item {
public:
    // Colours a cell's model colour may name instead of a colour word.
    static constexpr Color kAltCellColor = 0x00FFFF;
    static constexpr Color kCellFlagFill = 0x4F2F0B;
    static constexpr Color kControlBarFill = 0x231009;
    static constexpr int kControlButtons = 4;

    // Throws ZQException as setModel does. A null model gives an empty table.
    FixTableItem(const CString& caption, std::shared_ptr<SimpleTableModel> model, int lockedColumns,
                 Style* style, uint32_t layout = kLayoutNewLineBefore | kLayoutNewLineAfter);
    ~FixTableItem() override;

    // Throws ZQException: "model parameter cannot be NULL", "model cannot
    // have negative number of rows" / "... cols".
    void setModel(std::shared_ptr<SimpleTableModel> model);
    const std::shared_ptr<SimpleTableModel>& getModel() const { return model_; }
    // Re-reads the counts and measures the columns.
    virtual void reloadModel();
    // The model changed: reload, lay out again and repaint. UI thread.
    void tableChanged();

    bool swapRows(int row1, int row2);
    bool removeRow(int row);
    bool removeRowsByValues(const std::vector<CString>* values, const CString& columnKey);
    // Hands the event to the event listener when one is set.
    void fireEvent(std::unique_ptr<Event> event);

    // --- attributes -------------------------------------------------------------
    void setUpPageAction(const CString& action) { upPageAction_ = action; }
    void setDownPageAction(const CString& action) { downPageAction_ = action; }
    void setBatchEmptiedAction(const CString& action) { batchEmptiedAction_ = action; }
    const CString& upPageAction() const { return upPageAction_; }
    const CString& downPageAction() const { return downPageAction_; }
    void setHeadLock(bool locked) { headLock_ = locked; }
    bool headLock() const { return headLock_; }
    void setColumnLock(bool locked) { columnLock_ = locked; }
    // Grid lines are drawn only with the border flag (on by default).
    void setBorderFlag(bool on) { borderFlag_ = on; }
    bool borderFlag() const { return borderFlag_; }
    void setEdgeState(int state) { edgeState_ = state; }
    int edgeState() const { return edgeState_; }

    // --- state ---------------------------------------------------------------------
    int focusedRow() const { return focusedRow_; }
    int focusedColumn() const { return focusedColumn_; }
    // The focused row, clamped into the rows (0 when there are none).
    void setFocusedRow(int row);
    // The focused column, clamped into the columns right of the locked
    // ones, and brought into view.
    void setFocusedColumn(int column);
    bool tableFocused() const { return tableFocused_; }
    int rowCount() const { return rowCount_; }
    int columnCount() const { return columnCount_; }
    int lockedColumns() const;
    int firstShownColumn() const { return firstShown_; }
    int firstColumnRightOfShown() const { return firstRight_; }
    int pageMarker() const { return pageMarker_; }
    int rowHeight() const { return rowHeight_; }
    // The row at `y` (from the item's top); -1 on none.
    int rowAt(int y) const;
    // The focused row is where the keys act.
    bool focusedPartRows(int& top, int& bottom) const override;
    bool focusPartWithin(int top, int bottom) override;
    int spareWidth() const { return spare_; }
    int totalWidth() const { return totalWidth_; }
    bool scrollsSideways() const { return hScroll_; }
    bool controlBarShown() const { return controlBar_; }
    const Rect& controlBarRect() const { return controlBarRect_; }
    const std::vector<int>& columnWidths() const { return widths_; }
    int captionHeight() const;
    int headHeight() const;
    // The control picture path of button `number` (1..4).
    static CString controlImagePath(int number, bool enabled);
    bool controlButtonEnabled(int number) const;

    // --- Item ----------------------------------------------------------------------
    bool isFixTableItem() const override { return true; }
    void setStyle(Style* style) override;
    void addCommand(CommandRef command) override;
    void initContent(int firstLineWidth, int lineWidth) override;
    void paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) override;
    bool keyPressed(int keyCode, int gameAction) override;
    bool keyReleased(int keyCode, int gameAction) override;
    bool pointerPressed(int x, int y) override;
    bool pointerReleased(int x, int y) override;
    Style* focus(Style* focusStyle, int direction) override;
    void defocus(Style* normalStyle) override;
    void hideNotify() override;

private:
    class Relay;
    struct ShownColumn {
        int column;
        int x;  // from the content's left edge
        int width;
    };
    // Where one paint puts the rows: screen pixels and the visible rows.
    struct PaintFrame {
        int x;
        int y;
        int right;
        int captionHeight;
        int headHeight;
        int rowsTop;
        int step;
        int firstRow;
        int lastRow;
    };

    // Lays out the columns shown for the current first scrollable column
    // and finds the first column right of them. Runs whenever the widths,
    // the line or the first shown column change, so painting only reads.
    void layOutColumns();
    // The column widths, titles beside the arrows from column `locked` on.
    void measureColumns(int locked);
    void sizeContent(int firstLineWidth);
    // The most columns, up to `lock`, that may stay locked.
    int fittingLock(int lock) const;
    bool fitsWith(int firstShown, int column) const;
    // The width of the locked columns with their lines.
    int lockedColumnsWidth() const;
    void moveColumnInView();
    // LEFT or RIGHT among the columns: the focused column becomes the one
    // beside the shown ones. False when it would enter the locked columns.
    bool moveColumnSideways(bool left);
    // A fresh page puts the focus where the paging direction leads.
    void followFreshPage();
    // (x, y) from the item's top left lies on the control bar.
    bool inControlBar(int x, int y) const;
    bool pressControlButton(int x);
    void recomputeFocusArea();
    void scrollRowIntoView();
    Screen* screen() const;
    bool raisePaging(bool down);
    // The head's top for content painted at `contentTop`: below the
    // caption, or at the top of the view while locked.
    int headTop(int contentTop) const;
    // `y` (from the item's top) lies on the head as last painted.
    bool onHead(int y) const;
    // The top of row `row` (from the item's top), below its rule line.
    int rowTop(int row) const;
    Color cellColor(int32_t modelColor) const;

    // The paint passes, in order; each only draws.
    PaintFrame paintFrame(int x, int y, const Rect& visible, int rows) const;
    void paintRowBands(DeviceContext& dc, const PaintFrame& f) const;
    void paintFocusedRow(DeviceContext& dc, const PaintFrame& f) const;
    void paintCells(DeviceContext& dc, const SimpleTableModel& model, const PaintFrame& f) const;
    void paintGridLines(DeviceContext& dc, const PaintFrame& f) const;
    void paintHead(DeviceContext& dc, const SimpleTableModel& model, const PaintFrame& f) const;
    void paintHeadArrows(DeviceContext& dc, const PaintFrame& f, int headY) const;
    void paintCaption(DeviceContext& dc, const PaintFrame& f) const;
    void paintControlBar(GraphicsContext& g) const;

    std::shared_ptr<Relay> relay_;
    std::shared_ptr<SimpleTableModel> model_;
    CString caption_;
    CString upPageAction_;
    CString downPageAction_;
    CString batchEmptiedAction_;
    FontRef font_;
    bool headLock_ = false;
    bool columnLock_ = true;
    bool borderFlag_ = true;
    int edgeState_ = 0;
    bool hScroll_ = false;
    int hScrollRange_ = 0;
    int cellGap_ = 1;
    int buttonSize_ = 0;
    int rowHeight_ = 0;
    int arrowRoom_ = 0;
    int fontHeight_ = 0;
    int rowCount_ = 0;
    int columnCount_ = 0;
    bool hasHead_ = false;
    int pageMarker_ = 0;
    bool headBackground_ = false;
    Color headBackColor_ = 0xFFFFFF;
    bool stripes_ = false;
    Color evenColor_ = 0xFFFFFF;
    Color oddColor_ = 0xF8F8F8;
    Color focusedRowColor_ = 0x707070;
    // How the focused row is marked (kTableRowType): a filled band or a line.
    static constexpr int kRowBand = 0;
    static constexpr int kRowLine = 1;
    int rowType_ = kRowBand;
    int rowHighlight_ = 1;
    Color captionColor_ = 0xFFFFFF;
    Color gridColor_ = 0xFFFFFF;
    Color arrowColor_ = 0xFFFFFF;
    Color headTextColor_ = 0xFFFFFF;
    Color rowLineColor_ = 0xA3A3A3;
    int verticalLines_ = 0;
    int horizontalLines_ = 1;
    Color defaultCellColor_ = 0xFFFFFF;
    std::vector<int> widths_;
    int totalWidth_ = 0;
    int spare_ = 0;
    int lineWidth_ = 0;
    int lockedColumns_ = 0;  // as asked
    int lockedNow_ = 0;      // as the view allows
    int measuredLock_ = 0;
    int firstShown_ = 0;
    int firstRight_ = 0;
    bool tableFocused_ = false;
    bool controlBar_ = false;
    Rect controlBarRect_{};
    int focusedColumn_ = 0;
    int focusedRow_ = 0;
    // The row a pointer press landed on, until its release.
    int tappedRow_ = -1;
    std::vector<ShownColumn> shownColumns_;
};

}  // namespace zq
