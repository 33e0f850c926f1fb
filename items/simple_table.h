// TableItem: the page item of "simpletable", a static grid of wrapped texts
// with optional header titles, column widths in pixels or per cent,
// optional grid lines and an optional selected cell, row or column that
// the direction keys move. TableData is the grid it shows.
//
// UI thread only. The item owns its data.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "core/string_utils.h"
#include "platform/cstring.h"
#include "platform/font.h"
#include "ui/item.h"

namespace zq {

class TableData {
public:
    // Negative sizes count as 0.
    TableData(int columns, int rows);
    virtual ~TableData() = default;

    int columnCount() const { return columns_; }
    int rowCount() const { return rows_; }
    // Outside the table: ignored.
    void setCell(int column, int row, const CString& text);
    // Empty outside the table.
    CString getCell(int column, int row) const;

private:
    int columns_;
    int rows_;
    std::vector<StringArray> cells_;  // one array per column
};

// Selection mode bits; none set: nothing can be selected.
constexpr int kSelectNone = 0;
constexpr int kSelectCell = 2;
constexpr int kSelectRow = 4;
constexpr int kSelectColumn = 8;

class TableItem : public Item {
public:
    // The grid modes: 0 solid lines, 2 none.
    static constexpr int kGridSolid = 0;
    static constexpr int kGridNone = 2;

    TableItem(std::unique_ptr<TableData> data, Style* style);

    // Replaces (and frees) the data; width arrays whose length no longer fits
    // go. Handing it the data it already owns is a bug and aborts.
    void setTableData(std::unique_ptr<TableData> data);
    TableData* getTableData() const { return data_.get(); }
    // Kept only when not empty.
    void setHeader(const StringArray& titles);
    bool hasHeader() const { return hasHeader_; }
    // Alignment words per column: 4 left, 1 centre, 8 right.
    void setColumnAlignments(std::vector<uint32_t> alignments) {
        alignments_ = std::move(alignments);
    }
    // Kept only when its length equals the column count.
    void setColumnWidths(const std::vector<int>& widths, bool percent);
    void setCellText(int column, int row, const CString& text);
    // Without a selection the table takes the focus only while it is wider
    // than its view (so that LEFT and RIGHT can reach its right part);
    // that is decided again at each layout.
    void setSelectionMode(int mode);
    // False: never takes the focus, whatever its width or selection.
    void setFocusable(bool focusable);
    void selectInitialCell();
    // Out-of-range cells are ignored.
    void selectCell(int column, int row);
    int getColumnCount() const { return data_ ? data_->columnCount() : -1; }
    int selectedColumn() const { return selectedColumn_; }
    int selectedRow() const { return selectedRow_; }
    int gridMode() const { return gridMode_; }
    int scrollOffset() const { return offset_; }
    int tableWidth() const { return tableWidth_; }
    const std::vector<int>& columnWidths() const { return columnWidths_; }
    const std::vector<int>& rowHeights() const { return rowHeights_; }
    int headerHeight() const { return headerHeight_; }
    // The wrapped lines of a cell after the last layout.
    StringArray cellLines(int column, int row) const;

    void setStyle(Style* style) override;
    void initContent(int firstLineWidth, int lineWidth) override;
    void paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) override;
    bool keyPressed(int keyCode, int gameAction) override;
    // Keeps the table's own look unless its style names a focused one: a
    // borrowed focus look would change the cells' padding and colours.
    Style* focus(Style* focusStyle, int direction) override;

private:
    int cellSpacing() const { return paddingVertical_; }
    int cellPadding() const { return paddingHorizontal_; }
    int viewWidth() const { return contentWidth_; }
    // The content's left and right edge on the device.
    struct View {
        int left;
        int right;
    };
    void paintLines(const StringArray& lines, int column, int x, int y, int w, const View& view,
                    GraphicsContext& g) const;

    std::unique_ptr<TableData> data_;
    std::vector<uint32_t> alignments_;
    FontRef font_;
    Color textColor_ = 0;
    std::vector<int> rowHeights_;
    std::vector<int> columnWidths_;
    std::vector<std::vector<StringArray>> lines_;  // [column][row]
    StringArray titles_;
    std::vector<StringArray> titleLines_;
    bool hasHeader_ = false;
    int gridMode_ = kGridNone;
    std::optional<Color> gridColor_;
    int tableWidth_ = 0;
    int offset_ = 0;
    int selectionMode_ = kSelectNone;
    bool focusable_ = true;
    int headerHeight_ = 0;
    int lineHeight_ = 0;
    std::vector<int> pixelWidths_;
    std::vector<int> percentWidths_;
    Background* selectionBackground_ = nullptr;
    int selectedColumn_ = -1;
    int selectedRow_ = -1;
    bool lentBackground_ = false;  // while focused
};

}  // namespace zq
