// A form field for tests: an Item with Inputable and FormField whose
// answers the test sets.
#pragma once

#include <new>

#include "items/form_field.h"
#include "items/inputable.h"
#include "platform/cstring.h"
#include "ui/item.h"

namespace zq::test {

class FakeInput : public Item, public Inputable, public FormField {
public:
    FakeInput(InputKind kind, const CString& name, const CString& value)
        : kind_(kind), value_(value), initial_(value) {
        setFormName(name);
        setAppearanceMode(1);
    }

    CString getName() const override { return getFormName(); }
    void setName(const CString& name) override { setFormName(name); }
    CString getValue() const override {
        if (throwing) throw std::bad_alloc();
        return value_;
    }
    void setValue(const CString& value) override { value_ = value; }
    void reset() override {
        value_ = kind_ == InputKind::FilteredChoiceGroup ? initial_ : CString();
        ++resets;
    }

    InputKind getInputKind() const override { return kind_; }
    CString getEncrypt() const override { return encrypt; }
    bool isValueDecoded() const override { return valueDecoded; }
    int checkInputRule() override { return ruleCode; }
    CString getRuleMessage() const override { return ruleMessage; }
    CString getValueAtFocus() const override { return valueAtFocus; }

    CString encrypt{u"false"};
    bool valueDecoded = false;
    int ruleCode = 0;
    CString ruleMessage;
    CString valueAtFocus;
    bool throwing = false;
    int resets = 0;

private:
    InputKind kind_;
    CString value_;
    CString initial_;
};

}  // namespace zq::test
