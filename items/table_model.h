// SimpleTableModel: the grid behind a quote table. Text cells with an
// optional head of titles, a colour and a 16-bit attribute per cell, per
// row action texts ("extra rows", one entry per column plus one for the
// whole row), per-column field keys and alignments.
//
// Data, colour, cell-flag and extra rows are row-parallel: entry i of each
// belongs to data row i. An absent array is a null pointer; a row may be
// null too, which the checks reject.
//
// Threads. Reply threads write a model while the UI thread paints it. Every
// accessor and setter runs under an internal mutex and returns copies, so
// no call ever sees a half-replaced array. On top of that the model keeps
// the read and write guards that both sides use to keep a paint and a
// refill apart: many readers or one writer. A writer that waits holds new
// readers back, so a painter that paints again and again cannot keep it
// out; a guard not had within kGuardWaitMs is given up.
// Writers follow this protocol:
//   lockWrite (false: give up without touching the model), setData(rows,
//   false), setColors(rows, false), [setCellFlags(rows, false)],
//   unlockWrite, fireTableChanged.
// Change notices are sent on the caller's thread, to a copy of the listener
// list taken under the mutex; listeners are held weakly, so one that is
// gone is skipped.
//
// Ownership: the model owns every array handed to it from the call on,
// also one it rejects (freed at once). Models are shared (std::shared_ptr)
// between the table item and the reply listener that fills it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/cstring.h"

namespace zq {

class SimpleTableModel;

template <class T>
using TableRowsOf = std::vector<std::unique_ptr<std::vector<T>>>;
using TextRow = std::vector<CString>;
using TextRows = TableRowsOf<CString>;
using ColorRows = TableRowsOf<int32_t>;
using FlagRows = TableRowsOf<int16_t>;

// Cell colours with a meaning of their own.
constexpr int32_t kTableColorAlt = -1;      // the table's "−1" text colour
constexpr int32_t kTableColorDefault = -2;  // the table's default text colour

// Column alignment bits.
constexpr uint32_t kAlignLeftBit = 4;
constexpr uint32_t kAlignCentreBit = 1;
constexpr uint32_t kAlignRightBit = 8;

class TableModelListener {
public:
    virtual ~TableModelListener() = default;
    // Any thread: the one that called fireTableChanged.
    virtual void tableChanged(SimpleTableModel* model) = 0;
};

// Builds owned rows from plain vectors (tests, builders).
template <class T>
std::unique_ptr<TableRowsOf<T>> makeTableRows(const std::vector<std::vector<T>>& rows) {
    auto out = std::make_unique<TableRowsOf<T>>();
    for (const auto& row : rows) out->push_back(std::make_unique<std::vector<T>>(row));
    return out;
}

class SimpleTableModel {
public:
    // How long lockWrite and lockRead wait for their guard.
    static constexpr uint32_t kGuardWaitMs = 3000;

    // Every argument may be null. Throws ZQException as the setters do.
    SimpleTableModel(std::unique_ptr<TextRows> data, std::unique_ptr<ColorRows> colors,
                     std::optional<TextRow> head, std::optional<std::vector<uint32_t>> alignments,
                     std::unique_ptr<TextRows> extraRows = nullptr);
    ~SimpleTableModel();
    SimpleTableModel(const SimpleTableModel&) = delete;
    SimpleTableModel& operator=(const SimpleTableModel&) = delete;

    // --- listeners ----------------------------------------------------------
    // Kept weakly, in order, duplicates allowed; null is ignored.
    void addListener(const std::shared_ptr<TableModelListener>& listener);
    // Removes every entry of `listener`.
    void removeListener(const TableModelListener* listener);
    void fireTableChanged();

    // --- reading ------------------------------------------------------------
    int getColumnCount() const;
    int getRowCount() const;
    bool hasHead() const;
    // Empty without a head or out of range.
    CString getColumnName(int column) const;
    // Empty without data, out of range or for a null row.
    CString getValueAt(int column, int row) const;
    // 0 without colour rows or for a missing cell.
    int32_t getColorAt(int column, int row) const;
    int16_t getCellFlagAt(int column, int row) const;
    bool hasExtraRows() const;
    // The length of extra row `row`; -1 when it does not exist.
    int getExtraRowLength(int row) const;
    // Entry `column` of extra row `row` (copied); empty when missing.
    CString getExtraAt(int row, int column) const;
    std::optional<std::vector<uint32_t>> getColumnAlignments() const;
    // 4 without an array or out of range.
    uint32_t getColumnAlignment(int column) const;
    CString getColumnKey(int column) const;
    std::optional<TextRow> getColumnKeys() const;
    // The first column whose key equals `key` ignoring case; -1 when none.
    int findColumnByKey(const CString& key) const;
    int getStateWord() const { return 0; }

    // --- editing ------------------------------------------------------------
    // One row per value: the first row whose cell in the keyed column
    // equals it (ignoring case) goes. True when any row went.
    bool removeRowsByValue(const std::vector<CString>* values, const CString& columnKey);
    // False (nothing changes) for an index outside the rows.
    bool removeRow(int row);
    bool swapRows(int row1, int row2);

    // --- setters --------------------------------------------------------------
    // Each checks first; a failed check throws ZQException and leaves the
    // model as it was. Only setData sets the counts.
    void setData(std::unique_ptr<TextRows> rows, bool notify);
    void setColors(std::unique_ptr<ColorRows> rows, bool notify);
    void setCellFlags(std::unique_ptr<FlagRows> rows, bool notify);
    void setExtraRows(std::unique_ptr<TextRows> rows);
    void setHead(std::optional<TextRow> head, bool notify);
    void setColumnAlignments(std::optional<std::vector<uint32_t>> alignments, bool notify);
    void setColumnKeys(std::optional<TextRow> keys);

    // --- guards -----------------------------------------------------------------
    // The try forms never wait: tryLockWrite fails while anybody holds the
    // model, tryLockRead while a writer holds it or waits for it. The others
    // wait up to kGuardWaitMs; false when the guard could not be had.
    bool tryLockWrite();
    bool lockWrite();
    void unlockWrite();
    bool tryLockRead();
    bool lockRead();
    void unlockRead();

    // Set by a writer that replaced the whole page of rows; the table item
    // reads and clears it.
    void setFreshPage(bool fresh) { freshPage_.store(fresh); }
    bool isFreshPage() const { return freshPage_.load(); }

private:
    template <class Rows>
    void eraseRow(Rows* rows, int row);
    template <class Rows>
    void swapRow(Rows* rows, int row1, int row2);
    bool rowExists(int row) const { return row >= 0 && row < rowCount_; }
    void removeRowLocked(int row);

    mutable std::mutex mutex_;
    std::condition_variable guardFreed_;
    std::atomic<bool> freshPage_{false};
    std::vector<std::weak_ptr<TableModelListener>> listeners_;
    std::unique_ptr<TextRows> data_;
    std::unique_ptr<FlagRows> cellFlags_;
    std::unique_ptr<ColorRows> colors_;
    std::optional<TextRow> head_;
    std::optional<TextRow> keys_;
    std::unique_ptr<TextRows> extraRows_;
    std::optional<std::vector<uint32_t>> alignments_;
    int columnCount_ = 0;
    int rowCount_ = 0;
    int readers_ = 0;
    int writers_ = 0;
    int waitingWriters_ = 0;
};

// Holds a guard for a scope; held() says whether it was had.
class TableReadLock {
public:
    explicit TableReadLock(SimpleTableModel& model) : model_(model), held_(model.lockRead()) {}
    ~TableReadLock() {
        if (held_) model_.unlockRead();
    }
    TableReadLock(const TableReadLock&) = delete;
    TableReadLock& operator=(const TableReadLock&) = delete;
    bool held() const { return held_; }

private:
    SimpleTableModel& model_;
    bool held_;
};

class TableWriteLock {
public:
    explicit TableWriteLock(SimpleTableModel& model) : model_(model), held_(model.lockWrite()) {}
    ~TableWriteLock() {
        if (held_) model_.unlockWrite();
    }
    TableWriteLock(const TableWriteLock&) = delete;
    TableWriteLock& operator=(const TableWriteLock&) = delete;
    bool held() const { return held_; }

private:
    SimpleTableModel& model_;
    bool held_;
};

}  // namespace zq
