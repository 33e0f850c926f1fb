#include "markup/form_submission.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "core/string_utils.h"
#include "core/xml_parser.h"
#include "items/form_field.h"
#include "items/inputable.h"
#include "markup/element_dispatch.h"
#include "markup/encoder.h"
#include "markup/markup_page.h"
#include "markup/text_builders.h"
#include "platform/message_box.h"
#include "ui/item.h"

namespace zq {

namespace {

struct FormState : PageState {
    std::vector<std::unique_ptr<FormSubmission>> forms;
    std::vector<Item*> collected;
};

FormField* formFieldOf(Item* item) { return dynamic_cast<FormField*>(item); }

bool isKind(const FormField* field, InputKind kind) {
    return field && field->getInputKind() == kind;
}

}  // namespace

// --- FormSubmission -------------------------------------------------------------------

FormSubmission::FormSubmission(const CString& name, const CString& action, const CString& id,
                               const CString& value, const CString& method,
                               const CString& encryptcode, std::vector<Item*> fields,
                               FormContext* context)
    : name_(name),
      action_(action),
      id_(id),
      value_(value),
      method_(method),
      encryptcode_(encryptcode),
      context_(context) {
    for (Item* field : fields) addField(field);
}

void FormSubmission::addField(Item* field) {
    if (dynamic_cast<Inputable*>(field)) fields_.push_back(field);
}

CString encodeForSending(const CString& text, PairPlace place) {
    CString encoded = urlEncode(text);
    if (place == PairPlace::Action) {
        encoded.replace(CString(u"("), CString(u"%28"));
        encoded.replace(CString(u")"), CString(u"%29"));
    }
    return encoded;
}

CString FormSubmission::submitTo(const CString& link, PairPlace place) {
    // 1. Nothing to send to; nothing to add.
    if (link.isEmpty()) return CString();
    if (fields_.empty()) return link;

    // 2. The fragment goes last, wherever the link had it.
    const int hash = link.find(u'#');
    int query = link.find(u'?');
    if (query < 0) query = link.length();
    CString base = link;
    CString fragment;
    if (hash >= 0 && hash < query) {
        fragment = link.mid(hash, query - hash);
        base = link.left(hash) + link.mid(query);
    } else if (hash >= 0) {
        fragment = link.mid(hash);
        base = link.left(hash);
    }

    // 3-4. One whole pair per field; a field that fails to give one is left
    // out together with its separator.
    CString result = base + (base.find(u'?') >= 0 ? u'&' : u'?');
    bool first = true;
    for (Item* item : fields_) {
        auto* input = dynamic_cast<Inputable*>(item);
        if (!input) continue;
        try {
            CString value;
            if (!fieldValue(*item, *input, value)) return CString();
            CString pair = encodeForSending(input->getName(), place);
            pair += u'=';
            pair += encodeForSending(value, place);
            if (!first) result += u'&';
            result += pair;
            first = false;
        } catch (const std::exception&) {
            continue;
        }
    }

    // 5. The fragment, taken off above, goes back at the very end.
    return result + fragment;
}

bool FormSubmission::fieldValue(Item& item, Inputable& input, CString& value) {
    FormField* field = formFieldOf(&item);
    const bool text = isKind(field, InputKind::TextField);

    // A refused value stops the whole form; the person corrects it and sends
    // again.
    // The box runs other work of the UI thread, which may end this page:
    // nothing of the form is touched after it.
    if (text && field->checkInputRule() != 0) {
        FormContext* context = context_;
        messageBox(item.getLabel() + field->getRuleMessage(), u"提示", MessageBoxType::Ok);
        if (context) context->repaintCurrentScreen();
        return false;
    }

    value = input.getValue();
    if (text && context_ && !userFieldName_.isEmpty() &&
        userFieldName_.equalsNoCase(item.getId())) {
        context_->setCurrentUser(value);
    }
    value = valueToSend(item, value);
    return true;
}

CString FormSubmission::valueToSend(Item& item, const CString& value) const {
    const FormField* field = formFieldOf(&item);
    if (!field) return value;
    if (isKind(field, InputKind::TextField) && field->isValueDecoded()) {
        return FieldEncoder::withDefaultKeys(value).encodeValue();
    }
    if (context_ && field->getEncrypt().equalsNoCase(u"true")) {
        return FieldEncoder(context_->formSnKey(), context_->formDnKey(), encryptcode_, value)
            .encodeValue();
    }
    return value;
}

void FormSubmission::reset() {
    for (Item* item : fields_) {
        auto* input = dynamic_cast<Inputable*>(item);
        if (!input || isKind(formFieldOf(item), InputKind::InLineChoiceGroup)) continue;
        input->reset();
    }
}

// --- the page's forms ---------------------------------------------------------------------

const std::vector<std::unique_ptr<FormSubmission>>& pageForms(MarkupPage& page) {
    return page.state<FormState>().forms;
}

FormSubmission* findFormByName(MarkupPage& page, const CString& id) {
    if (id.isEmpty()) return nullptr;
    for (const std::unique_ptr<FormSubmission>& form : pageForms(page)) {
        if (form->id().equalsNoCase(id)) return form.get();
    }
    return nullptr;
}

FormSubmission* lastForm(MarkupPage& page) {
    const auto& forms = pageForms(page);
    return forms.empty() ? nullptr : forms.back().get();
}

FormSubmission* formOf(MarkupPage& page, const Item* field) {
    if (!field) return nullptr;
    for (const std::unique_ptr<FormSubmission>& form : pageForms(page)) {
        const std::vector<Item*>& fields = form->fields();
        if (std::find(fields.begin(), fields.end(), field) != fields.end()) return form.get();
    }
    return nullptr;
}

std::vector<Item*>& collectedItems(MarkupPage& page) { return page.state<FormState>().collected; }

Item* buildForm(MarkupPage& page, XmlParser& node, Item* parent) {
    buildFormWith(page, node, parent,
                  [](MarkupPage& p, const CString& tag, XmlParser& n, Item* at) {
                      return buildElement(p, tag, n, at, 0);
                  });
    return nullptr;
}

void buildFormWith(MarkupPage& page, XmlParser& node, Item* parent,
                   const FormChildBuilder& buildChild) {
    // 1-2. The form, kept by the page in creation order.
    FormState& state = page.state<FormState>();
    state.forms.push_back(std::make_unique<FormSubmission>(
        getAttribute(node, u"name", u"n"), getAttribute(node, u"action", u"a"),
        getAttribute(node, u"id"), getAttribute(node, u"value", u"v"),
        getAttribute(node, u"method", u"md"), getAttribute(node, u"encryptcode", u"ec"),
        std::vector<Item*>(), dynamic_cast<FormContext*>(page.host())));
    FormSubmission* form = state.forms.back().get();

    // 3. The children, into the form's own parent.
    if (!node.intoElem()) return;
    while (node.findElem()) {
        const CString tag = node.getTagName();
        if (tagIs(tag, u"form", u"f")) {
            // The child is the first form made while it is built; forms
            // nested deeper come after it and are already among its fields.
            const size_t childIndex = state.forms.size();
            buildChild(page, tag, node, parent);
            if (state.forms.size() > childIndex) {
                for (Item* field : state.forms[childIndex]->fields()) form->addField(field);
            }
            continue;
        }
        // A link inside a container answers its items only when asked
        // directly; the element table keeps them for the link builder.
        Item* built = parent && tagIs(tag, u"a") ? buildLink(page, node, parent)
                                                 : buildChild(page, tag, node, parent);
        if (!built) continue;
        state.collected.push_back(built);
        form->addField(built);
    }
    // 4. Back to the form element, so the caller's walk goes on after it.
    node.outOfElem();
}

}  // namespace zq
