// TableActions: the table, chart and watch-list actions ("gettablerow",
// "moveup", "zhibiao", "delmystock", ...) and the batch-delete page. UI
// thread; the quote tables' models are filled by reply threads, so every
// read of a row holds the model's guard. The text work of the table actions
// is apart, so that it can be checked on its own.
#pragma once

#include <optional>

#include "app/action_host.h"
#include "platform/cstring.h"

namespace zq {

class Item;
class Screen;
class SimpleTableModel;

// The first item that `wanted` accepts along the focus of `screen`: from
// the screen's focused item down through tab pages, trees and other
// containers to the innermost focused item; null when none is.
Item* findFocused(const Screen* screen, bool (*wanted)(const Item&));

// Gives the focus to the first item named `name` (any case) among the
// items of the page shown: the screen's content, or the current page of a
// tabbed form. False when there is none.
bool focusPageItemByName(Screen& screen, const CString& name);

// The text after the first "(" and before the first ")" of an action
// piece; empty without both.
CString argumentBetweenParens(const CString& piece);

// The "gettablerow" link for row `row` of `model`, from the argument
// "link[#system...][$tail]": the base link with "row" set to the encoded
// "key:value;...num:R;", then the "#system" part, "$" + tail, and
// "key=value&...num=R&$". Nullopt when the row does not exist or all its
// keyed values are empty. The caller holds the model's guard.
std::optional<CString> buildTableRowLink(const CString& argument, const SimpleTableModel& model,
                                         int row);

// "MACD" 0, "RSI" 1, "WR" 2, "KDJ" 3, "PSY" 4, "BOLL" 5 (any case; empty is
// "MACD"); -1 for any other name.
int indicatorNumber(const CString& name);

class TableActions {
public:
    explicit TableActions(ActionHost& host) : host_(host) {}
    TableActions(const TableActions&) = delete;
    TableActions& operator=(const TableActions&) = delete;

    // Each takes the whole action piece.
    void onGetTableRow(const CString& piece);
    void onGetTableValueToId(const CString& piece);
    void onMoveUp(const CString& piece) { moveWatchRow(piece, true); }
    void onMoveDown(const CString& piece) { moveWatchRow(piece, false); }
    void onZhibiao(const CString& piece);
    void onDelMyStock(const CString& piece);
    // `ask`: false when "confirm" already asked.
    void onDelMyStockList(const CString& piece, bool ask = true);
    void onDelMyStockAll(const CString& piece);

private:
    void moveWatchRow(const CString& piece, bool up);

    ActionHost& host_;
};

}  // namespace zq
