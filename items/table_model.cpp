#include "items/table_model.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "core/zq_exception.h"

namespace zq {
namespace {

constexpr const char16_t* kHeadDataText = u"Head and data cannot contain different row lengths ";
constexpr const char16_t* kHeadColorText = u"Head and color cannot contain different row lengths ";
constexpr const char16_t* kNullRowText = u"Data cannot contain null rows ";
constexpr const char16_t* kLengthText = u"Data cannot contain different row lengths ";
constexpr const char16_t* kColorLengthText = u"Data cannot contain different row lengths";

struct CheckTexts {
    const char16_t* head;
    const char16_t* length;
};

// Throws the first fault of `rows` against a head of `headLength` titles
// (0: none); a row must be `extra` longer than the head.
template <class Rows>
void checkRows(const Rows* rows, int headLength, int extra, CheckTexts texts) {
    if (!rows || rows->empty()) return;
    const auto& first = rows->front();
    if (!first) throw ZQException(CString(kNullRowText));
    const size_t width = first->size();
    if (headLength != 0 && width != static_cast<size_t>(headLength + extra)) {
        throw ZQException(CString(texts.head));
    }
    for (const auto& row : *rows) {
        if (!row) throw ZQException(CString(kNullRowText));
        if (row->size() != width) throw ZQException(CString(texts.length));
    }
}

template <class Rows, class T>
T cellOf(const Rows* rows, int column, int row, T fallback) {
    if (!rows || row < 0 || column < 0 || static_cast<size_t>(row) >= rows->size()) {
        return fallback;
    }
    const auto& cells = (*rows)[static_cast<size_t>(row)];
    if (!cells || static_cast<size_t>(column) >= cells->size()) return fallback;
    return (*cells)[static_cast<size_t>(column)];
}

}  // namespace

SimpleTableModel::SimpleTableModel(std::unique_ptr<TextRows> data,
                                   std::unique_ptr<ColorRows> colors, std::optional<TextRow> head,
                                   std::optional<std::vector<uint32_t>> alignments,
                                   std::unique_ptr<TextRows> extraRows) {
    setHead(std::move(head), false);
    setData(std::move(data), false);
    setExtraRows(std::move(extraRows));
    setColors(std::move(colors), true);
    if (alignments) {
        alignments_ = std::move(alignments);
    } else {
        alignments_ = std::vector<uint32_t>(static_cast<size_t>(columnCount_), kAlignLeftBit);
    }
}

SimpleTableModel::~SimpleTableModel() = default;

// --- listeners -------------------------------------------------------------------------------

void SimpleTableModel::addListener(const std::shared_ptr<TableModelListener>& listener) {
    if (!listener) return;
    std::lock_guard lock(mutex_);
    listeners_.push_back(listener);
}

void SimpleTableModel::removeListener(const TableModelListener* listener) {
    std::lock_guard lock(mutex_);
    std::erase_if(listeners_, [listener](const std::weak_ptr<TableModelListener>& entry) {
        auto held = entry.lock();
        return !held || held.get() == listener;
    });
}

void SimpleTableModel::fireTableChanged() {
    std::vector<std::weak_ptr<TableModelListener>> copy;
    {
        std::lock_guard lock(mutex_);
        copy = listeners_;
    }
    for (const auto& entry : copy) {
        if (auto listener = entry.lock()) listener->tableChanged(this);
    }
}

// --- reading -----------------------------------------------------------------------------------

int SimpleTableModel::getColumnCount() const {
    std::lock_guard lock(mutex_);
    return columnCount_;
}

int SimpleTableModel::getRowCount() const {
    std::lock_guard lock(mutex_);
    return rowCount_;
}

bool SimpleTableModel::hasHead() const {
    std::lock_guard lock(mutex_);
    return head_.has_value();
}

CString SimpleTableModel::getColumnName(int column) const {
    std::lock_guard lock(mutex_);
    if (!head_ || column < 0 || static_cast<size_t>(column) >= head_->size()) return CString();
    return (*head_)[static_cast<size_t>(column)];
}

CString SimpleTableModel::getValueAt(int column, int row) const {
    std::lock_guard lock(mutex_);
    return cellOf(data_.get(), column, row, CString());
}

int32_t SimpleTableModel::getColorAt(int column, int row) const {
    std::lock_guard lock(mutex_);
    return cellOf(colors_.get(), column, row, int32_t{0});
}

int16_t SimpleTableModel::getCellFlagAt(int column, int row) const {
    std::lock_guard lock(mutex_);
    return cellOf(cellFlags_.get(), column, row, int16_t{0});
}

bool SimpleTableModel::hasExtraRows() const {
    std::lock_guard lock(mutex_);
    return extraRows_ != nullptr;
}

int SimpleTableModel::getExtraRowLength(int row) const {
    std::lock_guard lock(mutex_);
    if (!extraRows_ || row < 0 || static_cast<size_t>(row) >= extraRows_->size()) return -1;
    const auto& cells = (*extraRows_)[static_cast<size_t>(row)];
    return cells ? static_cast<int>(cells->size()) : -1;
}

CString SimpleTableModel::getExtraAt(int row, int column) const {
    std::lock_guard lock(mutex_);
    return cellOf(extraRows_.get(), column, row, CString());
}

std::optional<std::vector<uint32_t>> SimpleTableModel::getColumnAlignments() const {
    std::lock_guard lock(mutex_);
    return alignments_;
}

uint32_t SimpleTableModel::getColumnAlignment(int column) const {
    std::lock_guard lock(mutex_);
    if (!alignments_ || column < 0 || static_cast<size_t>(column) >= alignments_->size()) {
        return kAlignLeftBit;
    }
    return (*alignments_)[static_cast<size_t>(column)];
}

CString SimpleTableModel::getColumnKey(int column) const {
    std::lock_guard lock(mutex_);
    if (!keys_ || column < 0 || static_cast<size_t>(column) >= keys_->size()) return CString();
    return (*keys_)[static_cast<size_t>(column)];
}

std::optional<TextRow> SimpleTableModel::getColumnKeys() const {
    std::lock_guard lock(mutex_);
    return keys_;
}

int SimpleTableModel::findColumnByKey(const CString& key) const {
    std::lock_guard lock(mutex_);
    if (!keys_ || key.isEmpty()) return -1;
    const int limit = std::min(columnCount_, static_cast<int>(keys_->size()));
    for (int c = 0; c < limit; ++c) {
        if ((*keys_)[static_cast<size_t>(c)].equalsNoCase(key)) return c;
    }
    return -1;
}

// --- editing -------------------------------------------------------------------------------------

template <class Rows>
void SimpleTableModel::eraseRow(Rows* rows, int row) {
    // A parallel array is edited only where the row exists.
    if (rows && static_cast<size_t>(row) < rows->size()) {
        rows->erase(rows->begin() + row);
    }
}

template <class Rows>
void SimpleTableModel::swapRow(Rows* rows, int row1, int row2) {
    if (rows && static_cast<size_t>(std::max(row1, row2)) < rows->size()) {
        std::swap((*rows)[static_cast<size_t>(row1)], (*rows)[static_cast<size_t>(row2)]);
    }
}

void SimpleTableModel::removeRowLocked(int row) {
    eraseRow(data_.get(), row);
    eraseRow(colors_.get(), row);
    eraseRow(extraRows_.get(), row);
    eraseRow(cellFlags_.get(), row);
    --rowCount_;
}

bool SimpleTableModel::removeRowsByValue(const std::vector<CString>* values,
                                         const CString& columnKey) {
    if (!values || columnKey.isEmpty()) return false;
    const int column = findColumnByKey(columnKey);
    if (column < 0) return false;
    std::lock_guard lock(mutex_);
    bool removed = false;
    for (const CString& value : *values) {
        if (!data_) break;
        for (size_t r = 0; r < data_->size(); ++r) {
            const auto& cells = (*data_)[r];
            if (!cells || static_cast<size_t>(column) >= cells->size()) continue;
            if (!(*cells)[static_cast<size_t>(column)].equalsNoCase(value)) continue;
            removeRowLocked(static_cast<int>(r));
            removed = true;
            break;
        }
    }
    return removed;
}

bool SimpleTableModel::removeRow(int row) {
    std::lock_guard lock(mutex_);
    if (!rowExists(row)) return false;
    removeRowLocked(row);
    return true;
}

bool SimpleTableModel::swapRows(int row1, int row2) {
    std::lock_guard lock(mutex_);
    if (!rowExists(row1) || !rowExists(row2)) return false;
    swapRow(data_.get(), row1, row2);
    swapRow(colors_.get(), row1, row2);
    swapRow(extraRows_.get(), row1, row2);
    swapRow(cellFlags_.get(), row1, row2);
    return true;
}

// --- setters
// ---------------------------------------------------------------------------------------

void SimpleTableModel::setData(std::unique_ptr<TextRows> rows, bool notify) {
    {
        std::lock_guard lock(mutex_);
        const int h = head_ ? static_cast<int>(head_->size()) : 0;
        checkRows(rows.get(), h, 0, {kHeadDataText, kLengthText});
        data_ = std::move(rows);
        rowCount_ = data_ ? static_cast<int>(data_->size()) : 0;
        if (data_ && !data_->empty()) {
            columnCount_ = static_cast<int>(data_->front()->size());
        } else {
            columnCount_ = h;
        }
    }
    if (notify) fireTableChanged();
}

void SimpleTableModel::setColors(std::unique_ptr<ColorRows> rows, bool notify) {
    {
        std::lock_guard lock(mutex_);
        const int h = head_ ? static_cast<int>(head_->size()) : 0;
        checkRows(rows.get(), h, 0, {kHeadColorText, kColorLengthText});
        colors_ = std::move(rows);
    }
    if (notify) fireTableChanged();
}

void SimpleTableModel::setCellFlags(std::unique_ptr<FlagRows> rows, bool notify) {
    {
        std::lock_guard lock(mutex_);
        const int h = head_ ? static_cast<int>(head_->size()) : 0;
        checkRows(rows.get(), h, 0, {kHeadDataText, kLengthText});
        cellFlags_ = std::move(rows);
    }
    if (notify) fireTableChanged();
}

void SimpleTableModel::setExtraRows(std::unique_ptr<TextRows> rows) {
    std::lock_guard lock(mutex_);
    const int h = head_ ? static_cast<int>(head_->size()) : 0;
    checkRows(rows.get(), h, 1, {kHeadDataText, kLengthText});
    extraRows_ = std::move(rows);
}

void SimpleTableModel::setHead(std::optional<TextRow> head, bool notify) {
    {
        std::lock_guard lock(mutex_);
        head_ = std::move(head);
    }
    if (notify) fireTableChanged();
}

void SimpleTableModel::setColumnAlignments(std::optional<std::vector<uint32_t>> alignments,
                                           bool notify) {
    {
        std::lock_guard lock(mutex_);
        alignments_ = std::move(alignments);
    }
    if (notify) fireTableChanged();
}

void SimpleTableModel::setColumnKeys(std::optional<TextRow> keys) {
    std::lock_guard lock(mutex_);
    keys_ = std::move(keys);
}

// --- guards
// ------------------------------------------------------------------------------------------

bool SimpleTableModel::tryLockWrite() {
    std::lock_guard lock(mutex_);
    if (readers_ > 0 || writers_ > 0) return false;
    writers_ = 1;
    return true;
}

bool SimpleTableModel::lockWrite() {
    std::unique_lock lock(mutex_);
    ++waitingWriters_;
    const bool had = guardFreed_.wait_for(lock, std::chrono::milliseconds(kGuardWaitMs),
                                          [this] { return readers_ == 0 && writers_ == 0; });
    --waitingWriters_;
    if (had) {
        writers_ = 1;
    } else if (waitingWriters_ == 0) {
        // The readers this writer held back may go.
        guardFreed_.notify_all();
    }
    return had;
}

void SimpleTableModel::unlockWrite() {
    {
        std::lock_guard lock(mutex_);
        if (writers_ == 0) return;
        writers_ = 0;
    }
    guardFreed_.notify_all();
}

bool SimpleTableModel::tryLockRead() {
    std::lock_guard lock(mutex_);
    if (writers_ > 0 || waitingWriters_ > 0) return false;
    ++readers_;
    return true;
}

bool SimpleTableModel::lockRead() {
    std::unique_lock lock(mutex_);
    const bool had = guardFreed_.wait_for(lock, std::chrono::milliseconds(kGuardWaitMs),
                                          [this] { return writers_ == 0 && waitingWriters_ == 0; });
    if (had) ++readers_;
    return had;
}

void SimpleTableModel::unlockRead() {
    {
        std::lock_guard lock(mutex_);
        if (readers_ == 0 || --readers_ > 0) return;
    }
    guardFreed_.notify_all();
}

}  // namespace zq
