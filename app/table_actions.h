// The text work of the table actions, apart from the controller so that it
// can be checked on its own.
#pragma once

#include <optional>

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

}  // namespace zq
