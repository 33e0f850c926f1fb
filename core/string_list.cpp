#include "core/string_list.h"

#include <algorithm>
#include <iterator>

namespace zq {

std::list<CString>::iterator NoCaseStringList::findFirst(const CString& text) {
    return std::find_if(items_.begin(), items_.end(),
                        [&](const CString& item) { return item.equalsNoCase(text); });
}

bool NoCaseStringList::addUnique(const CString& text) {
    if (contains(text)) return false;
    items_.push_back(text);
    return true;
}

bool NoCaseStringList::contains(const CString& text) const {
    return std::any_of(items_.begin(), items_.end(),
                       [&](const CString& item) { return item.equalsNoCase(text); });
}

bool NoCaseStringList::remove(const CString& text) {
    const auto it = findFirst(text);
    if (it == items_.end()) return false;
    items_.erase(it);
    return true;
}

bool NoCaseStringList::moveEntry(const CString& text, MoveDirection direction) {
    const auto it = findFirst(text);
    if (it == items_.end()) return false;
    const bool towardsHead = direction == MoveDirection::kTowardsHead;
    if (towardsHead ? it == items_.begin() : std::next(it) == items_.end()) return true;
    const auto neighbour = towardsHead ? std::prev(it) : std::next(it);
    *it = *neighbour;
    *neighbour = text;
    return true;
}

}  // namespace zq
