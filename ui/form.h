// Form: the screen the page builder fills with items. Every page with
// ordinary content is a Form; a form with tabs is a TabbedForm
// (ui/tabbed_form.h).
//
// The form owns what is appended to it (through its content container).
// Styles are borrowed. UI thread only.
#pragma once

#include <memory>

#include "platform/cstring.h"
#include "ui/screen.h"

namespace zq {

class Container;
class Item;
class Style;

class Form : public Screen {
public:
    explicit Form(const CString& title);
    Form(const CString& title, Style* style);
    ~Form() override;

    // Adds `item` to the form's content, applies `style` to it when given
    // and repaints while the form is shown. Returns the item's index in the
    // content, or -1 for a null item (nothing changes).
    int appendStyled(std::unique_ptr<Item> item, Style* style);
    int append(std::unique_ptr<Item> item) { return appendStyled(std::move(item), nullptr); }

protected:
    // Where append() puts items: the content, or for a form with tabs the
    // page shown now.
    virtual Container* appendTarget();
};

}  // namespace zq
