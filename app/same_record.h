// How a reload finds the record the user was on among the reloaded page's
// things: by what names it (a code, an order number, a name), never by its
// rank, its place or a price, which move from one load to the next. Where
// nothing tells which new thing is the record, none is.
//
// Plain text, copied from the items: any thread.
#pragma once

#include <vector>

#include "platform/cstring.h"

namespace zq {

class FixTableItem;

// `text` with each number that reads as a measure (a price or a share with
// a decimal point, a signed change, a percentage, a time with ':') put as
// '#'. Digit strings (codes, order numbers) stay: they name things.
CString withoutMeasures(const CString& text);

// A table's rows as they were shown, to find one of them among new rows.
struct TableRows {
    // Each column's key, else its head.
    std::vector<CString> columns;
    // Row by row, a cell per column.
    std::vector<std::vector<CString>> cells;
    // Each row's actions, tab-separated.
    std::vector<CString> actions;

    static TableRows of(const FixTableItem& table);
    // The row of `now` that is row `row` here. The row's actions, prices
    // aside, where no other row has them, and each column that names the
    // rows (its cells filled and distinct, no measure, no rank: numbers
    // counting the rows of both loads from one start) point at the one row
    // of `now` with the same. Where `now` lacks them while the other rows
    // stay, or lacks a name the actions carry, the record is gone. Where
    // they disagree or none points, the one row of the same actions; else -1.
    int sameRow(int row, const TableRows& now) const;
    // The column of `now` of the same key or head; -1 when none is.
    int sameColumn(int column, const TableRows& now) const;

private:
    // Column `column`'s cells are filled, distinct and no measures.
    bool namesRows(int column) const;
};

}  // namespace zq
