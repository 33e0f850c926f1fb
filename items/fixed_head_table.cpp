#include "items/fixed_head_table.h"

#include <algorithm>
#include <atomic>

#include "core/zq_exception.h"
#include "items/table_events.h"
#include "platform/ui_executor.h"
#include "ui/client_context.h"
#include "ui/container.h"
#include "ui/font_cache.h"
#include "ui/listeners.h"
#include "ui/screen.h"
#include "ui/style.h"

namespace zq {

// Carries the model's change notices to the UI thread: one task at a time,
// however many notices arrive while it waits.
class FixTableItem::Relay : public TableModelListener, public std::enable_shared_from_this<Relay> {
public:
    explicit Relay(FixTableItem* item) : item_(item) {}

    void tableChanged(SimpleTableModel* /*model*/) override {
        if (pending_.exchange(true)) return;
        std::weak_ptr<Relay> weak = weak_from_this();
        const bool posted = postToUi([weak] {
            auto self = weak.lock();
            if (!self) return;
            self->pending_ = false;
            if (self->item_) self->item_->tableChanged();
        });
        if (!posted) pending_ = false;
    }

    FixTableItem* item_;  // read and cleared on the UI thread only

private:
    std::atomic<bool> pending_{false};
};

namespace {

std::optional<int32_t> styleNumber(const Style& style, PropertyId id) {
    const PropertyValue* value = style.findProperty(id);
    if (!value) return std::nullopt;
    if (const auto* plain = std::get_if<int32_t>(value)) return *plain;
    if (const auto* boxed = std::get_if<StyleIntValue>(value)) return boxed->value;
    if (const auto* styled = std::get_if<StyleValue>(value)) return styled->getValue();
    return std::nullopt;
}

bool isKey(int keyCode, int gameAction, int action, char digit) {
    return gameAction == action && keyCode != digit;
}

}  // namespace

FixTableItem::FixTableItem(const CString& caption, std::shared_ptr<SimpleTableModel> model,
                           int lockedColumns, Style* style, uint32_t layout)
    : Item(CString(), layout, kAppearanceNavigable, nullptr),
      relay_(std::make_shared<Relay>(this)),
      caption_(caption),
      lockedColumns_(std::max(lockedColumns, 0)),
      lockedNow_(std::max(lockedColumns, 0)),
      firstShown_(std::max(lockedColumns, 0)),
      focusedColumn_(std::max(lockedColumns, 0)) {
    font_ = createSmallStyleFont();
    if (style) setStyle(style);
    // The metrics follow the screen's base font, whatever font the cells use.
    fontHeight_ = screenMetrics().baseFontSize;
    buttonSize_ = fontHeight_ + 1;
    rowHeight_ = 1 + fontHeight_ * 6 / 5;
    arrowRoom_ = (rowHeight_ - 3) / 2;
    if (model) {
        setModel(std::move(model));
    } else {
        reloadModel();
    }
}

FixTableItem::~FixTableItem() {
    relay_->item_ = nullptr;
    if (model_) model_->removeListener(relay_.get());
}

void FixTableItem::setModel(std::shared_ptr<SimpleTableModel> model) {
    if (model_) model_->removeListener(relay_.get());
    if (!model) {
        model_.reset();
        throw ZQException(CString(u"model parameter cannot be NULL"));
    }
    if (model->getRowCount() < 0) {
        throw ZQException(CString(u"model cannot have negative number of rows"));
    }
    if (model->getColumnCount() < 0) {
        throw ZQException(CString(u"model cannot have negative number of cols"));
    }
    model->addListener(relay_);
    model_ = std::move(model);
    reloadModel();
}

int FixTableItem::lockedColumns() const { return std::min(lockedNow_, columnCount_); }

int FixTableItem::captionHeight() const { return caption_.isEmpty() ? 0 : rowHeight_; }

int FixTableItem::headHeight() const { return hasHead_ ? rowHeight_ : 0; }

void FixTableItem::setFocusedRow(int row) {
    focusedRow_ = std::clamp(row, 0, std::max(rowCount_ - 1, 0));
    // Keys scroll the view to the focus area: it must be this row's.
    if (tableFocused_) recomputeFocusArea();
}

void FixTableItem::reloadModel() {
    rowCount_ = model_ ? model_->getRowCount() : 0;
    columnCount_ = model_ ? model_->getColumnCount() : 0;
    hasHead_ = model_ && model_->hasHead();
    measureColumns(lockedColumns());
    setFocusedRow(focusedRow_);
    const int locked = lockedColumns();
    if (columnCount_ > 0) {
        focusedColumn_ = std::clamp(focusedColumn_, 0, columnCount_ - 1);
        firstShown_ = std::clamp(firstShown_, locked, std::max(columnCount_ - 1, locked));
    } else {
        focusedColumn_ = 0;
        firstShown_ = 0;
    }
    layOutColumns();
    followFreshPage();
}

void FixTableItem::measureColumns(int locked) {
    measuredLock_ = locked;
    widths_.assign(static_cast<size_t>(std::max(columnCount_, 0)), buttonSize_);
    for (int c = 0; c < columnCount_ && model_ && font_; ++c) {
        int& width = widths_[static_cast<size_t>(c)];
        for (int r = 0; r < rowCount_; ++r) {
            const CString text = model_->getValueAt(c, r);
            if (!text.isEmpty()) width = std::max(width, font_->textWidth(text.view()) + 2);
        }
        if (hasHead_) {
            const CString title = model_->getColumnName(c);
            if (!title.isEmpty()) {
                const int arrows = c >= locked ? arrowRoom_ : 0;
                width = std::max(width, font_->textWidth(title.view()) + 2 + arrows);
            }
        }
    }
    totalWidth_ = 1;
    for (int w : widths_) totalWidth_ += w + 1;
}

void FixTableItem::followFreshPage() {
    if (!model_ || !model_->isFreshPage()) return;
    if (pageMarker_ == 1) setFocusedRow(rowCount_ - 1);
    if (pageMarker_ == 2) setFocusedRow(0);
}

void FixTableItem::tableChanged() {
    reloadModel();
    requestInit();
    Screen* s = screen();
    if (!s) return;
    s->invalidateLayout();
    if (model_ && model_->isFreshPage()) s->setScrollOffset(0, false);
    s->repaint();
}

Screen* FixTableItem::screen() const { return dynamic_cast<Screen*>(getScreen()); }

// --- editing ----------------------------------------------------------------------------------

bool FixTableItem::swapRows(int row1, int row2) {
    if (!model_ || !model_->swapRows(row1, row2)) return false;
    focusedRow_ = row2;
    return true;
}

bool FixTableItem::removeRow(int row) {
    if (!model_ || !model_->removeRow(row)) return false;
    focusedColumn_ = lockedColumns();
    firstShown_ = std::min(firstShown_, focusedColumn_);
    focusedRow_ = 0;
    reloadModel();
    requestInit();
    if (rowCount_ == 0) {
        const CString& action = !upPageAction_.isEmpty() ? upPageAction_ : downPageAction_;
        if (!action.isEmpty()) fireEvent(std::make_unique<Event>(action, this));
    }
    return true;
}

bool FixTableItem::removeRowsByValues(const std::vector<CString>* values,
                                      const CString& columnKey) {
    if (!model_ || !model_->removeRowsByValue(values, columnKey)) return false;
    focusedColumn_ = lockedColumns();
    firstShown_ = std::min(firstShown_, focusedColumn_);
    focusedRow_ = 0;
    reloadModel();
    requestInit();
    if (rowCount_ == 0 && (!upPageAction_.isEmpty() || !downPageAction_.isEmpty())) {
        fireEvent(std::make_unique<Event>(batchEmptiedAction_, this));
    }
    return true;
}

void FixTableItem::fireEvent(std::unique_ptr<Event> event) {
    if (eventListener_ && event) eventListener_->onEvent(std::move(event));
}

// --- style -------------------------------------------------------------------------------------

void FixTableItem::setStyle(Style* style) {
    Item::setStyle(style);
    if (!style) return;
    if (style->colorValue) defaultCellColor_ = static_cast<Color>(style->colorValue->getValue());
    // The columns are measured in the font that paints them; before the
    // metrics exist the constructor measures once they do.
    if (style->font && style->font != font_) {
        font_ = style->font;
        if (buttonSize_ > 0) reloadModel();
    }
    auto take = [style](PropertyId id, auto& field) {
        if (auto number = styleNumber(*style, id)) {
            field = static_cast<std::remove_reference_t<decltype(field)>>(*number);
            return true;
        }
        return false;
    };
    if (take(prop::kOddRowColor, oddColor_)) stripes_ = true;
    if (take(prop::kEvenRowColor, evenColor_)) stripes_ = true;
    take(prop::kCaptionTextColor, captionColor_);
    take(prop::kTableGridColor, gridColor_);
    take(prop::kTableArrowColor, arrowColor_);
    take(prop::kTableHeadTextColor, headTextColor_);
    take(prop::kTableRowLineColor, rowLineColor_);
    if (take(prop::kHeadBackColor, headBackColor_)) headBackground_ = true;
    if (take(prop::kFocusedRowColor, focusedRowColor_)) rowType_ = kRowBand;
    take(prop::kTableRowType, rowType_);
    take(prop::kTableVerticalLines, verticalLines_);
    take(prop::kFocusedRowHighlight, rowHighlight_);
    take(prop::kTableHorizontalLines, horizontalLines_);
}

void FixTableItem::addCommand(CommandRef command) {
    if (isInteractive()) Item::addCommand(std::move(command));
}

// --- layout ------------------------------------------------------------------------------------

void FixTableItem::initContent(int firstLineWidth, int lineWidth) {
    lineWidth_ = std::max(lineWidth, 0);
    // Locked columns that leave a scrollable column no room to be read
    // whole give up their lock, the rightmost first.
    const int before = lockedColumns();
    int lock = std::min(lockedColumns_, columnCount_);
    for (;;) {
        if (measuredLock_ != lock) measureColumns(lock);
        sizeContent(firstLineWidth);
        const int fitting = fittingLock(lock);
        if (fitting == lock) break;
        lock = fitting;
    }
    lockedNow_ = lock;
    if (lock != before) {
        firstShown_ = lock;
        focusedColumn_ = std::max(focusedColumn_, std::min(lock, std::max(columnCount_ - 1, 0)));
        // An unfocused table starts again at its first scrollable column.
        if (!tableFocused_) focusedColumn_ = firstShown_;
    }
    // New widths or a moved lock must not leave the focused column out of
    // view, where FIRE would act on a cell the user cannot see.
    if (columnCount_ > 0) {
        layOutColumns();
        moveColumnInView();
        if (tableFocused_) recomputeFocusArea();
    }
    // 4. The control bar in the status line.
    controlBar_ =
        isInteractive() && (hScroll_ || !upPageAction_.isEmpty() || !downPageAction_.isEmpty());
    if (Screen* s = screen()) {
        const int width = controlBar_ ? kControlButtons * buttonSize_ + 3 * cellGap_ : 0;
        controlBarRect_ = s->reserveStatusLineSpace(width, this);
    }
    layOutColumns();
}

void FixTableItem::sizeContent(int firstLineWidth) {
    // 1-2. Size, and whether the columns scroll sideways.
    hScroll_ = totalWidth_ > firstLineWidth;
    hScrollRange_ = hScroll_ ? totalWidth_ - firstLineWidth : 0;
    // 3. Spare pixels per column; none for a table without columns.
    spare_ = 0;
    if (columnCount_ > 0 && totalWidth_ < lineWidth_) {
        spare_ = std::max((lineWidth_ - columnCount_ - totalWidth_ - 1) / columnCount_, 0);
    }
    contentWidth_ = hScroll_ ? lineWidth_ : totalWidth_ + spare_ * columnCount_;
    contentHeight_ = captionHeight() + headHeight() + (rowHeight_ + 1) * rowCount_ + 1;
}

int FixTableItem::fittingLock(int lock) const {
    if (!hScroll_ || columnCount_ <= 0) return lock;
    // At least one column scrolls, and beside the locked ones and the
    // arrows each scrollable column fits whole.
    int k = std::min(lock, columnCount_ - 1);
    auto fits = [this](int locked) {
        int lockedWidth = 0;
        for (int c = 0; c < locked; ++c)
            lockedWidth += widths_[static_cast<size_t>(c)] + spare_ + 1;
        for (int c = locked; c < columnCount_; ++c) {
            const int w = widths_[static_cast<size_t>(c)] + spare_;
            if (lockedWidth + arrowRoom_ + w > contentWidth_) return false;
        }
        return true;
    };
    while (k > 0 && !fits(k)) --k;
    return k;
}

void FixTableItem::layOutColumns() {
    std::vector<ShownColumn>& shown = shownColumns_;
    shown.clear();
    const int view = contentWidth_;
    const int locked = lockedColumns();
    int x = 0;
    // A column the view cuts keeps only the room the view has left, so
    // that the painter sees what it cannot show whole.
    auto visibleWidth = [view](int x, int w) { return std::clamp(view - x, 0, w); };
    for (int c = 0; c < locked; ++c) {
        const int w = widths_[static_cast<size_t>(c)] + spare_;
        shown.push_back({c, x, visibleWidth(x, w)});
        x += w + 1;
    }
    if (hScroll_) x += arrowRoom_;
    int c = std::max(firstShown_, locked);
    const size_t firstScrollable = shown.size();
    for (; c < columnCount_; ++c) {
        const int w = widths_[static_cast<size_t>(c)] + spare_;
        // The first scrollable column is shown even when it is too wide.
        if (x + w > view && c > std::max(firstShown_, locked)) break;
        shown.push_back({c, x, visibleWidth(x, w)});
        x += w + 1;
    }
    firstRight_ = c;
    const int scrollable = static_cast<int>(shown.size() - firstScrollable);
    if (scrollable > 0 && x < view) {
        const int share = (view - x) / scrollable;
        for (size_t i = firstScrollable; i < shown.size(); ++i) {
            const int n = static_cast<int>(i - firstScrollable);
            shown[i].x += n * share;
            shown[i].width += share;
        }
    }
}

int FixTableItem::lockedColumnsWidth() const {
    int width = 0;
    for (int c = 0; c < lockedColumns(); ++c) width += widths_[static_cast<size_t>(c)] + spare_ + 1;
    return width;
}

bool FixTableItem::fitsWith(int firstShown, int column) const {
    int x = lockedColumnsWidth();
    if (hScroll_) x += arrowRoom_;
    for (int c = firstShown; c <= column; ++c) x += widths_[static_cast<size_t>(c)] + spare_ + 1;
    return x <= contentWidth_ + 1;
}

void FixTableItem::moveColumnInView() {
    const int locked = lockedColumns();
    if (focusedColumn_ < locked) return;
    if (focusedColumn_ < firstShown_) {
        firstShown_ = focusedColumn_;
    } else {
        while (firstShown_ < focusedColumn_ && !fitsWith(firstShown_, focusedColumn_)) {
            ++firstShown_;
        }
    }
    layOutColumns();
}

void FixTableItem::setFocusedColumn(int column) {
    if (columnCount_ <= 0) return;
    const int lastColumn = columnCount_ - 1;
    focusedColumn_ = std::clamp(column, std::min(lockedColumns(), lastColumn), lastColumn);
    moveColumnInView();
    if (tableFocused_) recomputeFocusArea();
}

// --- input -------------------------------------------------------------------------------------

bool FixTableItem::moveColumnSideways(bool left) {
    const int locked = lockedColumns();
    const int lastColumn = std::max(columnCount_ - 1, 0);
    focusedColumn_ = left ? firstShown_ - 1 : firstRight_;
    if (focusedColumn_ < locked) {
        focusedColumn_ = std::min(locked, lastColumn);
        return false;
    }
    focusedColumn_ = std::min(focusedColumn_, lastColumn);
    moveColumnInView();
    return true;
}

bool FixTableItem::raisePaging(bool down) {
    const CString& action = down ? downPageAction_ : upPageAction_;
    // Without a paging action the key is not the table's: the screen moves
    // the focus on to the next item.
    if (action.isEmpty()) return false;
    pageMarker_ = down ? 2 : 1;
    followFreshPage();
    if (eventListener_) fireEvent(std::make_unique<Event>(action, this));
    return true;
}

bool FixTableItem::keyPressed(int keyCode, int gameAction) {
    // 1. Any key ends the page marker and the fresh-page state.
    pageMarker_ = 0;
    if (model_) model_->setFreshPage(false);
    if (!model_ || rowCount_ <= 0) return false;
    const bool up = isKey(keyCode, gameAction, kGameUp, '2');
    const bool down = isKey(keyCode, gameAction, kGameDown, '8');
    const bool left = isKey(keyCode, gameAction, kGameLeft, '4');
    const bool right = isKey(keyCode, gameAction, kGameRight, '6');
    const int locked = lockedColumns();
    const int lastColumn = std::max(columnCount_ - 1, 0);
    // 2. FIRE on the focused table selects the row.
    if (gameAction == kGameFire && keyCode != kKeyDigitFive && tableFocused_) {
        Item::selectPressed();
        return true;
    }
    // 3. The focus enters the table.
    if (!tableFocused_) {
        if (up) {
            focusedRow_ = rowCount_ - 1;
        } else if (down) {
            focusedRow_ = 0;
        } else if (right) {
            focusedRow_ = 0;
            focusedColumn_ = std::min(locked, lastColumn);
        } else if (left) {
            focusedRow_ = rowCount_ - 1;
            focusedColumn_ = lastColumn;
        } else {
            return false;
        }
        tableFocused_ = true;
        moveColumnInView();
        recomputeFocusArea();
        scrollRowIntoView();
        return true;
    }
    // 4. Moves inside the table.
    int row = focusedRow_;
    if (up) {
        --row;
    } else if (down) {
        ++row;
    } else if (left || right) {
        if (!moveColumnSideways(left)) return true;
    } else {
        return false;
    }
    // 5. Past either end: the paging actions.
    if (row >= rowCount_) {
        focusedRow_ = rowCount_ - 1;
        return raisePaging(true);
    }
    if (row < 0) {
        focusedRow_ = 0;
        return raisePaging(false);
    }
    // 6. The new row takes the focus and is scrolled into view.
    focusedRow_ = row;
    recomputeFocusArea();
    scrollRowIntoView();
    return true;
}

void FixTableItem::recomputeFocusArea() {
    int x = 0;
    for (const ShownColumn& shown : shownColumns_) {
        if (shown.column == focusedColumn_) x = shown.x;
    }
    const int y = captionHeight() + headHeight() + (rowHeight_ + 1) * focusedRow_ + 2;
    setInternalArea(x, y, buttonSize_, rowHeight_);
}

void FixTableItem::scrollRowIntoView() {
    Screen* s = screen();
    if (!s || !s->getContent()) return;
    int top = relativeY_ + contentY_;
    const Item* content = s->getContent();
    for (Item* p = parent_; p && p != content; p = p->getParent()) {
        top += p->relativeY() + p->contentY();
    }
    const int margin = rowHeight_ + 2;
    const int rowTop = top + captionHeight() + headHeight() + (rowHeight_ + 1) * focusedRow_;
    int wantTop = rowTop - margin - (headLock_ ? headHeight() : 0);
    if (!headLock_ && focusedRow_ == 0) wantTop = top;
    const int wantBottom = rowTop + rowHeight_ + margin;
    const int viewport = s->contentRect().height();
    int offset = s->getScrollOffset();
    if (wantBottom + offset > viewport) offset = viewport - wantBottom;
    if (wantTop + offset < 0) offset = -wantTop;
    offset = std::min(offset, 0);
    if (offset != s->getScrollOffset()) s->setScrollOffset(offset, false);
}

bool FixTableItem::keyReleased(int keyCode, int gameAction) {
    pageMarker_ = 0;
    if (model_) model_->setFreshPage(false);
    const bool fire = gameAction == kGameFire && keyCode != kKeyDigitFive;
    if (fire && tableFocused_ && model_ && rowCount_ > 0 && pressed_ && model_->hasExtraRows()) {
        const int row = focusedRow_;
        const int length = model_->getExtraRowLength(row);
        if (length > 0) {
            selectReleased();
            const int c = focusedColumn_;
            const CString cellAction = c < length - 1 ? model_->getExtraAt(row, c) : CString();
            const CString rowAction = model_->getExtraAt(row, length - 1);
            if (!cellAction.isEmpty()) {
                fireEvent(std::make_unique<TableCellEvent>(id_, c, row, model_->getValueAt(c, row),
                                                           cellAction, this));
            } else if (!rowAction.isEmpty()) {
                fireEvent(std::make_unique<TableRowEvent>(id_, row, rowAction, this));
            }
            return true;
        }
    }
    return Item::keyReleased(keyCode, gameAction);
}

bool FixTableItem::controlButtonEnabled(int number) const {
    switch (number) {
        case 1:
            return !upPageAction_.isEmpty();
        case 2:
            return !downPageAction_.isEmpty();
        case 3:
            return hScroll_ && rowCount_ > 0 && firstShown_ > lockedColumns();
        case 4:
            return hScroll_ && rowCount_ > 0 && firstRight_ < columnCount_;
        default:
            return false;
    }
}

bool FixTableItem::inControlBar(int x, int y) const {
    if (!controlBar_) return false;
    // The bar stands still in the status line while the content scrolls.
    const Screen* s = screen();
    const int ax = getAbsoluteX() + x;
    const int ay = getAbsoluteY() + y + (s ? s->getScrollOffset() : 0);
    return controlBarRect_.contains(ax, ay);
}

bool FixTableItem::pressControlButton(int x) {
    const int number = (getAbsoluteX() + x - controlBarRect_.left) / (buttonSize_ + cellGap_) + 1;
    if (!controlButtonEnabled(number)) return false;
    // A table without the focus pages and scrolls without taking it.
    if (!tableFocused_) {
        if (number <= 2) return raisePaging(number == 2);
        moveColumnSideways(number == 3);
        return true;
    }
    switch (number) {
        case 1:
            focusedRow_ = 0;
            return keyPressed(-1, kGameUp);
        case 2:
            focusedRow_ = std::max(rowCount_ - 1, 0);
            return keyPressed(-1, kGameDown);
        case 3:
            return keyPressed(-1, kGameLeft);
        default:
            return keyPressed(-1, kGameRight);
    }
}

bool FixTableItem::pointerPressed(int x, int y) {
    tappedRow_ = -1;
    // 1. The control bar.
    if (inControlBar(x, y)) return pressControlButton(x);
    // 2. Taps outside the item are not ours.
    if (x < 0 || y < 0 || x >= itemWidth_ || y >= itemHeight_ || !model_) return false;
    const int cx = x - contentX_;
    // 3. The head, where the last paint put it: its arrows page sideways,
    // other taps on it change nothing.
    if (onHead(y)) {
        if (headLock_ && hScroll_) {
            const int arrowLeft = lockedColumnsWidth();
            if (cx >= arrowLeft && cx < arrowLeft + arrowRoom_) return keyPressed(-1, kGameLeft);
            if (cx >= contentWidth_ - arrowRoom_) return keyPressed(-1, kGameRight);
        }
        return true;
    }
    // 4. A tap on a cell focuses it and fires.
    const int cy = y - contentY_ - captionHeight() - headHeight();
    if (cy < 0) return false;
    const int row = (cy - 1) / (rowHeight_ + 1);
    if (row < 0 || row >= rowCount_) return false;
    // The row band is drawn across the whole content, the arrow room too:
    // a tap between columns takes the nearest one.
    if (cx < 0 || cx >= contentWidth_ || shownColumns_.empty()) return false;
    const ShownColumn* hit = nullptr;
    int best = 0;
    for (const ShownColumn& shown : shownColumns_) {
        const int distance = cx < shown.x ? shown.x - cx : std::max(cx - shown.x - shown.width, 0);
        if (!hit || distance < best) {
            hit = &shown;
            best = distance;
        }
    }
    focusedRow_ = row;
    focusedColumn_ = hit->column;
    tableFocused_ = true;
    tappedRow_ = row;
    recomputeFocusArea();
    return keyPressed(-1, kGameFire);
}

int FixTableItem::rowAt(int y) const {
    const int cy = y - contentY_ - captionHeight() - headHeight();
    if (cy < 0) return -1;
    const int row = (cy - 1) / (rowHeight_ + 1);
    return row < rowCount_ ? row : -1;
}

// Row `row` as rowAt reads it: a rule line, then the row.
int FixTableItem::rowTop(int row) const {
    return contentY_ + captionHeight() + headHeight() + row * (rowHeight_ + 1) + 1;
}

bool FixTableItem::focusedPartRows(int& top, int& bottom) const {
    if (!tableFocused_ || focusedRow_ < 0 || focusedRow_ >= rowCount_) return false;
    top = rowTop(focusedRow_);
    bottom = top + rowHeight_ + 1;
    return true;
}

bool FixTableItem::focusPartWithin(int top, int bottom) {
    if (!tableFocused_) return false;
    if (headLock_ && hasHead_) {
        // The rows scroll under the locked head: only those below it are seen.
        const int head = contentY_ + captionHeight();
        const int headAt = std::max(head, std::min(top, contentY_ + contentHeight_ - headHeight()));
        top = std::max(top, headAt + headHeight());
    }
    auto whole = [&](int row) {
        const int at = rowTop(row);
        return at >= top && at + rowHeight_ + 1 <= bottom;
    };
    if (focusedRow_ >= 0 && focusedRow_ < rowCount_ && whole(focusedRow_)) return true;
    for (int row = 0; row < rowCount_; ++row) {
        if (whole(row)) {
            focusedRow_ = row;
            recomputeFocusArea();
            return true;
        }
    }
    return false;
}

bool FixTableItem::pointerReleased(int x, int y) {
    if (inControlBar(x, y)) return false;
    if (x < 0 || y < 0 || x >= itemWidth_ || y >= itemHeight_) return false;
    if (onHead(y)) return true;
    // A press dragged off its row acts on no row, like a drag.
    const int pressedRow = tappedRow_;
    tappedRow_ = -1;
    if (pressedRow >= 0 && rowAt(y) != pressedRow) {
        selectReleased();
        return true;
    }
    return keyReleased(-1, kGameFire);
}

int FixTableItem::headTop(int contentTop) const {
    const int top = contentTop + captionHeight();
    const Screen* s = screen();
    if (!s || !headLock_) return top;
    const int viewTop = s->contentRect().top;
    return top < viewTop ? std::min(viewTop, contentTop + contentHeight_ - headHeight()) : top;
}

bool FixTableItem::onHead(int y) const {
    // The content was painted at getLastPaintY() + contentY_.
    const int top = headTop(getLastPaintY() + contentY_) - getLastPaintY();
    return hasHead_ && y >= top && y < top + headHeight();
}

Style* FixTableItem::focus(Style* focusStyle, int direction) {
    tableFocused_ = false;
    if (rowCount_ > 0 && (direction == kGameDown || direction == kGameUp)) {
        focusedRow_ = direction == kGameDown ? 0 : rowCount_ - 1;
        tableFocused_ = true;
    }
    Style* old = Item::focus(focusStyle, direction);
    if (tableFocused_) recomputeFocusArea();
    return old;
}

void FixTableItem::defocus(Style* normalStyle) {
    Item::defocus(normalStyle);
    tableFocused_ = false;
}

void FixTableItem::hideNotify() {
    if (Screen* s = screen()) s->reserveStatusLineSpace(0, this);
}

}  // namespace zq
