// FixTableItem's painting: passes that draw what the last layout and the
// last event left; none of them changes the table.
#include <algorithm>

#include "core/string_utils.h"
#include "items/fixed_head_table.h"
#include "platform/device_context.h"
#include "platform/font.h"
#include "ui/graphics_context.h"
#include "ui/image_cache.h"
#include "ui/screen.h"

namespace zq {

namespace {

unsigned alignmentFormat(uint32_t alignment) {
    if (alignment & kAlignLeftBit) return kTextLeft;
    if (alignment & kAlignCentreBit) return kTextCenter;
    if (alignment & kAlignRightBit) return kTextRight;
    // Any other word is a drawing format of its own; never a measuring one.
    return alignment & (kTextCenter | kTextRight | kTextVCenter | kTextWordBreak | kTextSingleLine);
}

unsigned columnFormat(const SimpleTableModel& model, int column) {
    return alignmentFormat(model.getColumnAlignment(column)) | kTextVCenter | kTextSingleLine;
}

// A price cut to "12." reads as another price: a text the box cannot hold
// whole is not drawn.
void drawWhole(DeviceContext& dc, const Font& font, const CString& text, Rect box,
               unsigned format) {
    // Measured as the columns were.
    if (font.textWidth(text.view()) > box.width()) return;
    dc.drawText(text.view(), box, format);
}

}  // namespace

Color FixTableItem::cellColor(int32_t modelColor) const {
    if (modelColor == kTableColorAlt) return kAltCellColor;
    if (modelColor == kTableColorDefault) return defaultCellColor_;
    return static_cast<Color>(modelColor);
}

CString FixTableItem::controlImagePath(int number, bool enabled) {
    return CString(u"images\\contrl") +
           CString::format(CString(u"%d%s"), number, enabled ? u"" : u"_") + CString(u".png");
}

void FixTableItem::paintContent(int x, int y, int /*leftBorder*/, int /*rightBorder*/,
                                GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (!dc || !font_ || !model_) return;
    // A model held by a writer paints nothing.
    TableReadLock guard(*model_);
    if (!guard.held()) return;
    const SimpleTableModel& model = *model_;

    ClipScope clip(g, x, y, contentWidth_, contentHeight_);
    const FontRef previousFont = dc->selectFont(font_);
    const BackgroundMode previousMode = dc->setBackgroundMode(BackgroundMode::Transparent);
    const Color previousText = dc->textColor();
    const PaintFrame frame = paintFrame(x, y, dc->clipRect(), model.getRowCount());
    paintRowBands(*dc, frame);
    paintFocusedRow(*dc, frame);
    paintCells(*dc, model, frame);
    paintGridLines(*dc, frame);
    paintHead(*dc, model, frame);
    paintCaption(*dc, frame);
    dc->setTextColor(previousText);
    dc->setBackgroundMode(previousMode);
    dc->selectFont(previousFont);
    if (controlBar_) paintControlBar(g);
}

FixTableItem::PaintFrame FixTableItem::paintFrame(int x, int y, const Rect& visible,
                                                  int rows) const {
    PaintFrame f{};
    f.x = x;
    f.y = y;
    f.right = x + contentWidth_;
    f.captionHeight = captionHeight();
    f.headHeight = headHeight();
    f.rowsTop = y + f.captionHeight + f.headHeight;
    f.step = rowHeight_ + 1;
    // Only the rows the clip shows, and none the model no longer has.
    rows = std::min(rowCount_, rows);
    f.firstRow = std::clamp((visible.top - f.rowsTop) / f.step - 1, 0, std::max(rows, 0));
    f.lastRow = std::clamp((visible.bottom - f.rowsTop) / f.step + 1, 0, rows);
    return f;
}

void FixTableItem::paintRowBands(DeviceContext& dc, const PaintFrame& f) const {
    if (!stripes_) return;
    for (int r = f.firstRow; r < f.lastRow; ++r) {
        const int top = f.rowsTop + r * f.step + 1;
        dc.fillRect(Rect{f.x, top, f.right, top + rowHeight_},
                    (r % 2 == 0) ? evenColor_ : oddColor_);
    }
}

void FixTableItem::paintFocusedRow(DeviceContext& dc, const PaintFrame& f) const {
    const bool highlight = tableFocused_ && (isInteractive() || rowHighlight_ != 0);
    if (!highlight || focusedRow_ < f.firstRow || focusedRow_ >= f.lastRow) return;
    const int top = f.rowsTop + focusedRow_ * f.step + 1;
    const Rect band{f.x, top, f.right, top + rowHeight_};
    if (rowType_ == kRowLine) {
        PenScope pen(dc, Pen{PenStyle::Solid, 1, rowLineColor_});
        dc.line(band.left, band.top, band.right, band.top);
        dc.line(band.left, band.bottom - 1, band.right, band.bottom - 1);
    } else {
        dc.fillRect(band, focusedRowColor_);
    }
}

void FixTableItem::paintCells(DeviceContext& dc, const SimpleTableModel& model,
                              const PaintFrame& f) const {
    for (const ShownColumn& column : shownColumns_) {
        const unsigned format = columnFormat(model, column.column);
        for (int r = f.firstRow; r < f.lastRow; ++r) {
            const CString text = model.getValueAt(column.column, r);
            if (text.isEmpty()) continue;
            const int top = f.rowsTop + r * f.step + 1;
            const Rect cell{f.x + column.x, top, f.x + column.x + column.width, top + rowHeight_};
            if (model.getCellFlagAt(column.column, r) == 1) dc.fillRect(cell, kCellFlagFill);
            dc.setTextColor(cellColor(model.getColorAt(column.column, r)));
            Rect box{cell.left + 1, cell.top, cell.right - 1, cell.bottom};
            drawWhole(dc, *font_, text, box, format);
        }
    }
}

void FixTableItem::paintGridLines(DeviceContext& dc, const PaintFrame& f) const {
    if (!borderFlag_) return;
    PenScope pen(dc, Pen{PenStyle::Solid, 1, gridColor_});
    if (horizontalLines_ != 0) {
        for (int r = f.firstRow; r <= f.lastRow; ++r) {
            const int ly = f.rowsTop + r * f.step;
            dc.line(f.x, ly, f.right, ly);
        }
    }
    if (verticalLines_ != 0) {
        for (size_t i = 1; i < shownColumns_.size(); ++i) {
            const int lx = f.x + shownColumns_[i].x - 1;
            dc.line(lx, f.y + f.captionHeight, lx, f.y + contentHeight_);
        }
    }
}

void FixTableItem::paintHead(DeviceContext& dc, const SimpleTableModel& model,
                             const PaintFrame& f) const {
    if (!hasHead_) return;
    const int headY = headTop(f.y);
    // A head pinned over the rows hides them with its fill.
    const bool pinned = headY != f.y + f.captionHeight;
    if (headBackground_ || pinned) {
        dc.fillRect(Rect{f.x, headY, f.right, headY + f.headHeight}, headBackColor_);
    }
    dc.setTextColor(headTextColor_);
    for (const ShownColumn& column : shownColumns_) {
        const CString title = model.getColumnName(column.column);
        if (title.isEmpty()) continue;
        Rect box{f.x + column.x + 1, headY, f.x + column.x + column.width - 1,
                 headY + f.headHeight};
        // The right arrow keeps its room, which the titles were measured with.
        if (hScroll_) box.right = std::min(box.right, f.right - 1 - arrowRoom_);
        drawWhole(dc, *font_, title, box, columnFormat(model, column.column));
    }
    if (hScroll_ && arrowRoom_ > 0) paintHeadArrows(dc, f, headY);
}

void FixTableItem::paintHeadArrows(DeviceContext& dc, const PaintFrame& f, int headY) const {
    PenScope pen(dc, Pen{PenStyle::Solid, 1, arrowColor_});
    const int ax = f.x + lockedColumnsWidth();
    const int mid = headY + f.headHeight / 2;
    for (int i = 0; i < arrowRoom_ / 2 + 1; ++i) {
        if (firstShown_ > lockedColumns()) dc.line(ax + i, mid - i, ax + i, mid + i + 1);
        if (firstRight_ < columnCount_) {
            dc.line(f.right - 1 - i, mid - i, f.right - 1 - i, mid + i + 1);
        }
    }
}

void FixTableItem::paintCaption(DeviceContext& dc, const PaintFrame& f) const {
    if (f.captionHeight <= 0) return;
    dc.setTextColor(captionColor_);
    // The band holds what whole lines fit; a line cut at its foot would
    // show as marks over the head.
    CString text = caption_;
    const Font& font = *font_;
    const StringArray lines = wrapText(
        text, [&font](char16_t c) { return font.charWidth(c); }, f.right - f.x, f.right - f.x, 0);
    const int lineHeight = font.height();
    const int bottom = f.y + f.captionHeight;
    int top = f.y;
    for (const CString& line : lines) {
        if (top + lineHeight > bottom) break;
        Rect band{f.x, top, f.right, top + lineHeight};
        dc.drawText(line.view(), band, kTextCenter | kTextSingleLine);
        top += lineHeight;
    }
}

void FixTableItem::paintControlBar(GraphicsContext& g) const {
    DeviceContext* dc = g.getDC();
    if (!dc || controlBarRect_.width() <= 0) return;
    // The bar lies in the status line, outside the content's clip.
    const Rect savedDc = dc->clipRect();
    const int sx = g.getClipX(), sy = g.getClipY(), sw = g.getClipWidth(), sh = g.getClipHeight();
    g.setClip(controlBarRect_.left - g.getTranslateX(), controlBarRect_.top - g.getTranslateY(),
              controlBarRect_.width(), controlBarRect_.height());
    dc->setClipRect(controlBarRect_);
    dc->fillRect(controlBarRect_, kControlBarFill);
    for (int i = 0; i < kControlButtons; ++i) {
        const int number = i + 1;
        ImageRef image = loadImageFile(controlImagePath(number, controlButtonEnabled(number)));
        if (image) {
            dc->drawImage(*image, controlBarRect_.left + i * (buttonSize_ + 1),
                          controlBarRect_.top);
        }
    }
    dc->setClipRect(savedDc);
    g.setClip(sx, sy, sw, sh);
}

}  // namespace zq
