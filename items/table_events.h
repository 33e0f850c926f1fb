// The events a table raises when the user activates a cell or a row. Both
// carry the table's identifier as their action text; the listener (the page
// controller) runs the cell's or the row's own action text.
#pragma once

#include "platform/cstring.h"
#include "ui/event.h"

namespace zq {

class TableCellEvent : public Event {
public:
    TableCellEvent(CString sourceName, int column, int row, CString value, CString action,
                   Item* source = nullptr)
        : Event(EventKind::TableCell, std::move(sourceName), source),
          column_(column),
          row_(row),
          value_(std::move(value)),
          cellAction_(std::move(action)) {}
    int getColumn() const { return column_; }
    int getRow() const { return row_; }
    const CString& getValue() const { return value_; }
    const CString& getCellAction() const { return cellAction_; }
    // "(x,y):3,5 value: 10.25"
    CString toString() const override {
        return CString(u"(x,y):") + CString::format(CString(u"%d,%d"), column_, row_) +
               CString(u" value: ") + value_;
    }

private:
    int column_;
    int row_;
    CString value_;
    CString cellAction_;
};

class TableRowEvent : public Event {
public:
    TableRowEvent(CString sourceName, int row, CString rowAction, Item* source = nullptr)
        : Event(EventKind::TableRow, std::move(sourceName), source),
          row_(row),
          rowAction_(std::move(rowAction)) {}
    int getRow() const { return row_; }
    const CString& getRowAction() const { return rowAction_; }

private:
    int row_;
    CString rowAction_;
};

}  // namespace zq
