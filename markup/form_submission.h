// Forms: the "form"/"f" element and FormSubmission, the record that turns a
// page's input fields into the query of the link the form is sent to.
//
// A form lists its fields (input items placed on the screen; not owned:
// the screen's containers own them) and the texts of its element. The page
// keeps its forms in creation order (pageForms) for the page's life; the
// page outlives its screen, and a form is only used while its screen is
// shown, so the fields outlive every use of their forms.
//
// Threads: built on the UI thread with the page; submitted and reset on the
// UI thread by the page actions.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/cstring.h"

namespace zq {

class Inputable;
class Item;
class MarkupPage;
class XmlParser;

// What a form needs of the page controller: the session keys of the
// encoder, the current user, and a repaint after a refused field. The
// page's host implements it (found with dynamic_cast); without one the form
// has no context.
class FormContext {
public:
    virtual ~FormContext() = default;
    // The encoder's session keys (sn, dn).
    virtual CString formSnKey() const = 0;
    virtual CString formDnKey() const = 0;
    // The value of the form's user field, before any encoding.
    virtual void setCurrentUser(const CString& user) = 0;
    // The screen of the page shown now, after a field's rule refused it.
    virtual void repaintCurrentScreen() = 0;
};

// Where a form's names and values go: into the query of a link, or into a
// link inside an action's parentheses, where a '(' or ')' would end the
// argument and so goes as "%28" or "%29" too.
enum class PairPlace { Link, Action };

// `text` URL-encoded for `place`.
CString encodeForSending(const CString& text, PairPlace place);

class FormSubmission {
public:
    FormSubmission(const CString& name, const CString& action, const CString& id,
                   const CString& value, const CString& method, const CString& encryptcode,
                   std::vector<Item*> fields, FormContext* context);

    // Appends an input item (one that is Inputable); anything else, null
    // included, is ignored.
    void addField(Item* field);
    const std::vector<Item*>& fields() const { return fields_; }

    // The link to send: `action` with one name=value pair per field, the
    // fragment kept last. Empty when nothing is to be sent (no action, or a
    // field's input rule refused its value: a box "提示" then says why).
    // Names and values go out URL-encoded as UTF-8; a surrogate pair (an
    // emoji) as its one 4-byte sequence, which is what servers decode.
    // Parentheses stay as typed, so whether the result is an action is told
    // by action(), never by the result.
    CString submit() { return submitTo(action_, PairPlace::Link); }
    // The same for `link` in place of the action, its pairs encoded for
    // where the link stands.
    CString submitTo(const CString& link, PairPlace place);
    // Empties text fields, choice groups and combo boxes (a combo box then
    // has no option chosen and shows its placeholder, "请选择"); single-line
    // choice groups keep their choice.
    void reset();

    const CString& name() const { return name_; }
    const CString& action() const { return action_; }
    // "stocksumbit" sends the form to a link of its own.
    void setAction(const CString& action) { action_ = action; }
    const CString& id() const { return id_; }
    const CString& value() const { return value_; }
    const CString& method() const { return method_; }
    const CString& encryptcode() const { return encryptcode_; }
    // The id of the text field whose value becomes the current user.
    const CString& userFieldName() const { return userFieldName_; }
    void setUserFieldName(const CString& name) { userFieldName_ = name; }
    FormContext* context() const { return context_; }
    // `value` of `field` as this form sends it, before URL encoding:
    // encoded when the field asks for it. Every road that sends a field's
    // value goes through here.
    CString valueToSend(Item& field, const CString& value) const;

private:
    // The value as sent, before URL encoding; false when the field's rule
    // refused it.
    bool fieldValue(Item& item, Inputable& input, CString& value);

    std::vector<Item*> fields_;
    CString name_;
    CString action_;
    CString id_;
    CString value_;
    CString method_;
    CString encryptcode_;
    CString userFieldName_;
    FormContext* context_;
};

// --- the page's forms ---------------------------------------------------------------

// The page's forms in creation order.
const std::vector<std::unique_ptr<FormSubmission>>& pageForms(MarkupPage& page);
// The first form whose id equals `id` without regard to case; null when
// none (a form without an id is never found).
FormSubmission* findFormByName(MarkupPage& page, const CString& id);
// The form created last; null when the page has none.
FormSubmission* lastForm(MarkupPage& page);
// The first form that has `field` among its fields; null when none has.
FormSubmission* formOf(MarkupPage& page, const Item* field);
// The controls a form built, in build order, for the tab builders; links of
// a form inside a tab page are among them. Callers empty it before they
// build a form and take what they need after.
std::vector<Item*>& collectedItems(MarkupPage& page);

// Builds one child element of a form: (page, tag, node, parent) -> the
// control built, or null.
using FormChildBuilder =
    std::function<Item*(MarkupPage& page, const CString& tag, XmlParser& node, Item* parent)>;

// "form"/"f": a FormSubmission kept by the page; its children are built
// into `parent` (a form is not a container) and its direct input children,
// with the fields of the forms nested in it where they stand, become its
// fields. Returns null: the form is no control.
Item* buildForm(MarkupPage& page, XmlParser& node, Item* parent);
// The same with another child builder (buildForm uses buildElement).
void buildFormWith(MarkupPage& page, XmlParser& node, Item* parent,
                   const FormChildBuilder& buildChild);

}  // namespace zq
