// Inputable: what makes an item a form field. Form submission and reset
// find the input items of a page through it (dynamic_cast<Inputable*> on
// an Item) and read or set their names and values.
//
// Implemented by choice groups, combo boxes and text fields next to their
// Item base; getName is the item's form name (Item::getFormName), not its
// identifier. UI thread only.
#pragma once

#include "platform/cstring.h"

namespace zq {

class Inputable {
public:
    virtual ~Inputable() = default;

    virtual CString getName() const = 0;
    virtual void setName(const CString& name) = 0;
    // The text submitted for the field.
    virtual CString getValue() const = 0;
    virtual void setValue(const CString& value) = 0;
    // Back to the state the page built.
    virtual void reset() = 0;
};

}  // namespace zq
