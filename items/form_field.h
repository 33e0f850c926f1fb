// FormField: what a form reads of its input items beyond Inputable — the
// kind of control, the encryption flags and, for text fields, the input
// rule and the value the field held when it last gained the focus.
//
// Text fields, choice groups, single-line choice groups and combo boxes
// implement it next to Inputable (forms find it with dynamic_cast on the
// Item). An Inputable without it is sent as it is: no rule, no encoding.
// UI thread only.
#pragma once

#include "platform/cstring.h"

namespace zq {

enum class InputKind { TextField, ChoiceGroup, InLineChoiceGroup, FilteredChoiceGroup };

class FormField {
public:
    virtual ~FormField() = default;

    virtual InputKind getInputKind() const = 0;
    // The "encrypt" text the page builder stored ("false" by default); the
    // value is encoded for sending when it reads "true" in any case.
    virtual CString getEncrypt() const = 0;

    // Text fields only; the defaults suit every other kind.
    // Set when the builder decoded the value with the default key set
    // ("staticcrypt"): the value is encoded with that key set again.
    virtual bool isValueDecoded() const { return false; }
    // 0 when the value passes the field's input rule (or there is none),
    // else the violation code; the failing part's message is kept for
    // getRuleMessage.
    virtual int checkInputRule() { return 0; }
    virtual CString getRuleMessage() const { return CString(); }
    // The value when the field last gained the focus.
    virtual CString getValueAtFocus() const { return CString(); }
};

}  // namespace zq
