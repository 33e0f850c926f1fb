// Texts in insertion order whose lookups ignore letter case (the watch-list's
// stock codes). Comparison: zq::compareNoCase. Not thread-safe.
#pragma once

#include <list>

#include "platform/cstring.h"

namespace zq {

enum class MoveDirection { kTowardsHead, kTowardsTail };

class NoCaseStringList {
public:
    using const_iterator = std::list<CString>::const_iterator;

    // Appends the text unless an equal one is stored. True when appended.
    bool addUnique(const CString& text);
    bool contains(const CString& text) const;
    // Removes the first equal text. True when one was removed.
    bool remove(const CString& text);
    // Exchanges the first equal text with its neighbour in `direction`; the
    // neighbour's place takes `text` as the caller spelt it. Nothing moves at
    // the end of the list. True when the text was found.
    bool moveEntry(const CString& text, MoveDirection direction);

    int count() const { return static_cast<int>(items_.size()); }
    bool isEmpty() const { return items_.empty(); }
    const_iterator begin() const { return items_.begin(); }
    const_iterator end() const { return items_.end(); }

private:
    std::list<CString>::iterator findFirst(const CString& text);

    std::list<CString> items_;
};

}  // namespace zq
