#include "items/simple_table.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <numeric>

#include "platform/device_context.h"
#include "ui/background.h"
#include "ui/border.h"
#include "ui/font_cache.h"
#include "ui/graphics_context.h"
#include "ui/style.h"

namespace zq {
namespace {

StringArray wrapCell(const CString& text, const Font& font, int width) {
    CString copy = text;
    // A column narrower than one character still shows a character a line.
    const int limit = std::max(width, 1);
    return wrapText(
        copy, [&font](char16_t c) { return font.charWidth(c); }, limit, limit, 0);
}

int widestLine(const StringArray& lines, const Font& font) {
    int widest = 0;
    for (const CString& line : lines) widest = std::max(widest, font.textWidth(line.view()));
    return widest;
}

}  // namespace

// --- TableData ---------------------------------------------------------------------------------

TableData::TableData(int columns, int rows)
    : columns_(std::max(columns, 0)),
      rows_(std::max(rows, 0)),
      cells_(static_cast<size_t>(columns_), StringArray(static_cast<size_t>(rows_))) {}

void TableData::setCell(int column, int row, const CString& text) {
    if (column < 0 || row < 0 || column >= columns_ || row >= rows_) return;
    cells_[static_cast<size_t>(column)][static_cast<size_t>(row)] = text;
}

CString TableData::getCell(int column, int row) const {
    if (column < 0 || row < 0 || column >= columns_ || row >= rows_) return CString();
    return cells_[static_cast<size_t>(column)][static_cast<size_t>(row)];
}

// --- TableItem ----------------------------------------------------------------------------------

TableItem::TableItem(std::unique_ptr<TableData> data, Style* style)
    : Item(CString(), 0, kAppearancePlain, style), data_(std::move(data)) {}

void TableItem::setTableData(std::unique_ptr<TableData> data) {
    // A second owner of the data the item owns would free it twice.
    if (data && data.get() == data_.get()) {
        std::fputs("TableItem::setTableData: handed the data it already owns\n", stderr);
        std::abort();
    }
    data_ = std::move(data);
    const size_t columns = static_cast<size_t>(std::max(getColumnCount(), 0));
    if (pixelWidths_.size() != columns) pixelWidths_.clear();
    if (percentWidths_.size() != columns) percentWidths_.clear();
    requestInit();
}

void TableItem::setHeader(const StringArray& titles) {
    if (titles.empty()) return;
    titles_ = titles;
    hasHeader_ = true;
}

void TableItem::setColumnWidths(const std::vector<int>& widths, bool percent) {
    if (static_cast<int>(widths.size()) != getColumnCount()) return;
    if (percent) {
        percentWidths_ = widths;
    } else {
        pixelWidths_ = widths;
    }
}

void TableItem::setCellText(int column, int row, const CString& text) {
    if (data_) data_->setCell(column, row, text);
}

StringArray TableItem::cellLines(int column, int row) const {
    if (column < 0 || row < 0 || static_cast<size_t>(column) >= lines_.size()) return {};
    const auto& rows = lines_[static_cast<size_t>(column)];
    return static_cast<size_t>(row) < rows.size() ? rows[static_cast<size_t>(row)] : StringArray();
}

void TableItem::setStyle(Style* style) {
    Item::setStyle(style);
    if (!style) return;
    font_ = style->font ? style->font : createStyleFont();
    textColor_ = style->getColor();
    if (!gridColor_) gridColor_ = textColor_;
    if (Background* selection = style->getBackgroundProperty(prop::kSelectionBackground)) {
        selectionBackground_ = selection;
    }
    if (border_ && border_->width() > 0) {
        gridMode_ = kGridSolid;
        gridColor_ = border_->colour();
    } else {
        gridMode_ = kGridNone;
    }
}

void TableItem::initContent(int /*firstLineWidth*/, int lineWidth) {
    contentWidth_ = 0;
    contentHeight_ = 0;
    lines_.clear();
    titleLines_.clear();
    if (!data_) return;
    if (!font_) font_ = createStyleFont();
    const Font& font = *font_;
    const int columns = data_->columnCount();
    const int rows = data_->rowCount();
    const int padding = cellPadding();
    const int spacing = cellSpacing();
    const int gridExtra = gridMode_ != kGridNone ? 1 : 0;

    // 1. Per-cent widths become pixel widths (at least 1 each).
    if (!percentWidths_.empty()) {
        pixelWidths_.clear();
        for (int percent : percentWidths_) {
            const long long w = static_cast<long long>(percent) * lineWidth / 100 - 2;
            pixelWidths_.push_back(static_cast<int>(std::clamp(w, 1LL, 1LL << 20)));
        }
    }
    const bool fixedWidths = !pixelWidths_.empty();

    // 2-3. Line height, wrapped cells, column widths and row heights.
    lineHeight_ = font.height();
    columnWidths_.assign(static_cast<size_t>(columns), 0);
    rowHeights_.assign(static_cast<size_t>(rows), lineHeight_ + 2 * spacing + gridExtra);
    lines_.assign(static_cast<size_t>(columns),
                  std::vector<StringArray>(static_cast<size_t>(rows)));
    for (int c = 0; c < columns; ++c) {
        int& width = columnWidths_[static_cast<size_t>(c)];
        if (fixedWidths) width = pixelWidths_[static_cast<size_t>(c)];
        for (int r = 0; r < rows; ++r) {
            const CString text = data_->getCell(c, r);
            if (text.isEmpty()) continue;
            StringArray& lines = lines_[static_cast<size_t>(c)][static_cast<size_t>(r)];
            if (fixedWidths) {
                lines = wrapCell(text, font, width - 2 * padding);
            } else {
                lines = wrapCell(text, font, lineWidth - 2 * padding);
                const int need =
                    lines.size() == 1 ? widestLine(lines, font) + 2 * padding : lineWidth;
                width = std::max(width, need + gridExtra);
            }
            const int height =
                static_cast<int>(lines.size()) * lineHeight_ + 2 * spacing + gridExtra;
            rowHeights_[static_cast<size_t>(r)] =
                std::max(rowHeights_[static_cast<size_t>(r)], height);
        }
    }

    // 4. Header titles wrapped to their columns.
    headerHeight_ = 0;
    if (hasHeader_) {
        const size_t shown = std::min(titles_.size(), static_cast<size_t>(columns));
        size_t most = 0;
        for (size_t c = 0; c < shown; ++c) {
            if (!fixedWidths) {
                // A title wider than the view wraps as a cell does; a
                // column wider than the view would never show it whole.
                const StringArray lines = wrapCell(titles_[c], font, lineWidth - 2 * padding);
                const int need =
                    lines.size() <= 1 ? widestLine(lines, font) + 2 * padding : lineWidth;
                columnWidths_[c] = std::max(columnWidths_[c], need + gridExtra);
            }
            titleLines_.push_back(wrapCell(titles_[c], font, columnWidths_[c] - 2 * padding));
            most = std::max(most, titleLines_.back().size());
        }
        headerHeight_ = static_cast<int>(most) * lineHeight_;
    }

    // 5. Sizes.
    tableWidth_ = std::accumulate(columnWidths_.begin(), columnWidths_.end(), 0);
    contentWidth_ = std::min(tableWidth_, std::max(lineWidth, 0));
    int height = std::accumulate(rowHeights_.begin(), rowHeights_.end(), 0);
    if (hasHeader_) height += headerHeight_ + spacing;
    contentHeight_ = std::max(height - spacing, 0);
    offset_ = std::clamp(offset_, std::min(contentWidth_ - tableWidth_, 0), 0);

    // 6. The selection's area follows the new geometry; without one, the
    //    width now known decides whether the table takes the focus.
    if (selectionMode_ != kSelectNone && (selectedColumn_ >= 0 || selectedRow_ >= 0)) {
        selectCell(selectedColumn_, selectedRow_);
    } else if (selectionMode_ == kSelectNone && focusable_) {
        appearanceMode_ = tableWidth_ > contentWidth_ ? kAppearanceControl : kAppearancePlain;
    }
}

void TableItem::paintLines(const StringArray& lines, int column, int x, int y, int w,
                           const View& view, GraphicsContext& g) const {
    uint32_t alignment = 4;
    if (column >= 0 && static_cast<size_t>(column) < alignments_.size()) {
        alignment = alignments_[static_cast<size_t>(column)];
    }
    unsigned format = kTextLeft;
    if (alignment == 1) {
        format = kTextCenter;
    } else if (alignment == 8) {
        format = kTextRight;
    } else if (alignment != 4) {
        return;
    }
    DeviceContext* dc = g.getDC();
    const int padding = cellPadding();
    const Rect box{x + padding, y, x + w - padding, y + lineHeight_};
    // A number cut at the view's edge reads as another number, and so does
    // one wrapped line of it: a cell is drawn whole or not at all.
    for (const CString& line : lines) {
        const int width = font_->textWidth(line.view());
        int textLeft = box.left;
        if (format == kTextRight) textLeft = box.right - width;
        if (format == kTextCenter) textLeft = box.left + (box.width() - width) / 2;
        if (width > box.width() || textLeft < view.left || textLeft + width > view.right) return;
    }
    for (const CString& line : lines) {
        Rect band{box.left, y, box.right, y + lineHeight_};
        dc->drawText(line.view(), band, format | kTextSingleLine);
        y += lineHeight_;
    }
}

void TableItem::paintContent(int x, int y, int /*leftBorder*/, int /*rightBorder*/,
                             GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (!dc || !data_ || !font_ || columnWidths_.empty()) return;
    // A focused table keeps its own look; the focus look's background
    // (painted under it), else a frame just outside its cells, shows that
    // it has the keys.
    if (isFocused() && !lentBackground_) {
        PenScope frame(*dc, Pen{PenStyle::Solid, 1, gridColor_.value_or(textColor_)});
        const int l = x - 1;
        const int t = y - 1;
        const int r = x + contentWidth_;
        const int b = y + contentHeight_;
        dc->line(l, t, r, t);
        dc->line(l, b, r + 1, b);
        dc->line(l, t, l, b);
        dc->line(r, t, r, b);
    }
    ClipScope clip(g, x, y, contentWidth_, contentHeight_);
    const FontRef previousFont = dc->selectFont(font_);
    const BackgroundMode previousMode = dc->setBackgroundMode(BackgroundMode::Transparent);
    const Color previousColor = dc->setTextColor(textColor_);
    PenScope pen(*dc, Pen{gridMode_ == kGridNone ? PenStyle::Null : PenStyle::Solid, 1,
                          gridColor_.value_or(textColor_)});
    const int spacing = cellSpacing();
    const int columns = static_cast<int>(columnWidths_.size());
    const int rows = static_cast<int>(rowHeights_.size());
    const int left = x + offset_;
    const int right = left + tableWidth_;
    const View view{x, x + contentWidth_};

    int top = y;
    if (hasHeader_) {
        int cx = left;
        for (int c = 0; c < columns && static_cast<size_t>(c) < titleLines_.size(); ++c) {
            paintLines(titleLines_[static_cast<size_t>(c)], c, cx, top,
                       columnWidths_[static_cast<size_t>(c)], view, g);
            cx += columnWidths_[static_cast<size_t>(c)];
        }
        top += headerHeight_ + spacing;
        if (gridMode_ != kGridNone) dc->line(left, top - 1, right, top - 1);
    }
    for (int r = 0; r < rows; ++r) {
        const int h = rowHeights_[static_cast<size_t>(r)];
        int cx = left;
        for (int c = 0; c < columns; ++c) {
            const int w = columnWidths_[static_cast<size_t>(c)];
            if (selectionBackground_ && (selectionMode_ & kSelectCell) && c == selectedColumn_ &&
                r == selectedRow_) {
                selectionBackground_->paint(cx, top, w, h - spacing, g);
            }
            paintLines(lines_[static_cast<size_t>(c)][static_cast<size_t>(r)], c, cx, top + spacing,
                       w, view, g);
            cx += w;
        }
        top += h;
        if (gridMode_ != kGridNone && r + 1 < rows) dc->line(left, top - 1, right, top - 1);
    }
    if (gridMode_ != kGridNone) {
        int cx = left;
        for (int c = 0; c + 1 < columns; ++c) {
            cx += columnWidths_[static_cast<size_t>(c)];
            dc->line(cx - 1, y, cx - 1, y + contentHeight_);
        }
    }
    dc->setTextColor(previousColor);
    dc->setBackgroundMode(previousMode);
    dc->selectFont(previousFont);
}

void TableItem::selectCell(int column, int row) {
    const int columns = static_cast<int>(columnWidths_.size());
    const int rows = static_cast<int>(rowHeights_.size());
    const int dataColumns = std::max(getColumnCount(), 0);
    const int dataRows = data_ ? data_->rowCount() : 0;
    if (column < -1 || row < -1 || column >= dataColumns || row >= dataRows) return;
    selectedColumn_ = column;
    selectedRow_ = row;
    // Before the first layout only the selection is kept.
    if (column >= columns || row >= rows) return;

    const int spacing = cellSpacing();
    int x = 0;
    int w = tableWidth_;
    if (column >= 0) {
        x = std::accumulate(columnWidths_.begin(), columnWidths_.begin() + column, 0);
        w = columnWidths_[static_cast<size_t>(column)];
    }
    int y = 0;
    int h = itemHeight_;
    if (row >= 0) {
        y = (hasHeader_ ? headerHeight_ + spacing : 0) +
            std::accumulate(rowHeights_.begin(), rowHeights_.begin() + row, 0);
        if (spacing > 0) y -= spacing / 2;
        h = rowHeights_[static_cast<size_t>(row)] - spacing;
    }
    setInternalArea(x, y, w, h);
    if (x + offset_ < 0) {
        offset_ = -x;
    } else if (x + w + offset_ > viewWidth()) {
        offset_ = viewWidth() - w - x;
    }
}

void TableItem::selectInitialCell() {
    const bool cellOrColumn = (selectionMode_ & (kSelectCell | kSelectColumn)) != 0;
    const bool cellOrRow = (selectionMode_ & (kSelectCell | kSelectRow)) != 0;
    selectCell(cellOrColumn ? 0 : -1, cellOrRow ? 0 : -1);
}

void TableItem::setFocusable(bool focusable) {
    focusable_ = focusable;
    if (!focusable) appearanceMode_ = kAppearancePlain;
}

void TableItem::setSelectionMode(int mode) {
    selectionMode_ = mode;
    if (!focusable_) return;
    const bool wider = tableWidth_ > viewWidth();
    if (mode != 0) {
        selectInitialCell();
        if (selectedColumn_ >= 0 || selectedRow_ >= 0) {
            appearanceMode_ = kAppearanceControl;
        } else if (!wider) {
            appearanceMode_ = kAppearancePlain;
        }
    } else {
        selectedColumn_ = -1;
        selectedRow_ = -1;
        appearanceMode_ = wider ? kAppearanceControl : kAppearancePlain;
    }
}

Style* TableItem::focus(Style* focusStyle, int direction) {
    const bool ownLook = style_ && !style_->getStyleProperty(prop::kFocusedStyle);
    if (!ownLook) return Item::focus(focusStyle, direction);
    // The focus look's padding and colours would move the cells; only its
    // background is borrowed.
    Style* next = focusedStyle_ ? focusedStyle_ : (focusStyle ? focusStyle : getFocusedStyle());
    Style* old = Item::focus(style_, direction);
    lentBackground_ = next && next->background() && next->background() != background_;
    if (lentBackground_) background_ = next->background();
    return old;
}

bool TableItem::keyPressed(int keyCode, int gameAction) {
    if (!isInteractive()) return Item::keyPressed(keyCode, gameAction);
    const bool left = gameAction == kGameLeft && keyCode != '4';
    const bool right = gameAction == kGameRight && keyCode != '6';
    const bool up = gameAction == kGameUp && keyCode != '2';
    const bool down = gameAction == kGameDown && keyCode != '8';
    if (selectionMode_ != kSelectNone) {
        const int columns = std::max(getColumnCount(), 0);
        const int rows = data_ ? data_->rowCount() : 0;
        if ((left || right) && (selectionMode_ & (kSelectCell | kSelectColumn))) {
            const int next = selectedColumn_ + (right ? 1 : -1);
            if (next >= 0 && next < columns) {
                selectCell(next, selectedRow_);
                return true;
            }
        }
        if ((up || down) && (selectionMode_ & (kSelectCell | kSelectRow))) {
            const int next = selectedRow_ + (down ? 1 : -1);
            if (next >= 0 && next < rows) {
                selectCell(selectedColumn_, next);
                return true;
            }
        }
        return Item::keyPressed(keyCode, gameAction);
    }
    const int view = viewWidth();
    // Paging by columns: the column cut at the edge comes whole into view,
    // so that a number hidden for being cut is shown on the next page. A
    // column wider than the view pages by the view's width.
    if (left && offset_ < 0) {
        int next = offset_ + view;
        int cx = 0;
        for (int w : columnWidths_) {
            if (cx < -offset_) {
                // Its right edge to the view's right, or, for one wider than
                // the view, its left edge no further than the view's left.
                if (view - (cx + w) > offset_)
                    next = std::min(next, view - (cx + w));
                else
                    next = std::min(next, -cx);
            }
            cx += w;
        }
        offset_ = std::min(next, 0);
        return true;
    }
    if (right && tableWidth_ > view) {
        const int limit = view - tableWidth_;
        if (offset_ > limit) {
            int next = offset_ - view;
            int cx = 0;
            for (int w : columnWidths_) {
                if (cx + w > view - offset_) {
                    // Its left edge to the view's left, or, for one wider
                    // than the view, its right edge no further than the view's.
                    if (-cx < offset_)
                        next = std::max(next, -cx);
                    else
                        next = std::max(next, view - (cx + w));
                }
                cx += w;
            }
            offset_ = std::max(next, limit);
        }
        // Held past the end, RIGHT stays with the table: passed on, it
        // would move the focus or turn a tab page.
        return true;
    }
    return Item::keyPressed(keyCode, gameAction);
}

}  // namespace zq
