// The dialog, form and input actions: alert and
// confirm boxes, form submission and reset (also the two special submits of
// the quote pages), showing, hiding and focusing items, the font size, the
// contact picker and clearing the stored data sections.
#include "app/form_actions.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

#include "app/action_dispatcher.h"
#include "app/contact_picker.h"
#include "app/page_history.h"
#include "app/settings_store.h"
#include "app/table_actions.h"
#include "core/config_store.h"
#include "core/string_utils.h"
#include "items/form_field.h"
#include "items/inputable.h"
#include "items/text_field.h"
#include "markup/form_submission.h"
#include "platform/message_box.h"
#include "platform/ui_executor.h"
#include "ui/alert_screen.h"
#include "ui/client_context.h"
#include "ui/container.h"
#include "ui/default_styles.h"
#include "ui/display.h"
#include "ui/item.h"
#include "ui/screen.h"

namespace zq {

namespace {

// The most contacts one pick may return.
constexpr int kMaxPickedContacts = 10;

bool isInputKind(Item* item, InputKind kind) {
    auto* field = dynamic_cast<FormField*>(item);
    return field && field->getInputKind() == kind && dynamic_cast<Inputable*>(item);
}

// The text after the first '(' and before the first ')' after it.
CString textInParentheses(const CString& piece) {
    const int open = piece.find(u'(');
    if (open < 0) return CString();
    const int close = piece.find(u')', open + 1);
    if (close < 0) return CString();
    return piece.mid(open + 1, close - open - 1);
}

int alertType(const CString& word) {
    if (word.equalsNoCase(u"ERROR_MESSAGE") || word == CString(u"1")) return 1;
    if (word.equalsNoCase(u"WARNING_MESSAGE") || word == CString(u"3")) return 3;
    if (word.equalsNoCase(u"QUESTION_MESSAGE") || word == CString(u"4")) return 4;
    return 0;
}

bool isBlank(CString text) { return text.trim().isEmpty(); }

constexpr const char16_t* kConfirmCaption = u"确认信息";
constexpr const char16_t* kPageChangedText = u"页面已更新，操作未执行，请重新确认。";

// What a confirm's answer is given for: the page shown and the values of
// its forms' fields.
struct ConfirmedPage {
    int screenId = -1;
    std::vector<CString> values;

    static ConfirmedPage of(const ActionHost& host) {
        ConfirmedPage shown{host.currentScreenId(), {}};
        PageEntry* entry = host.currentEntry();
        if (!entry || !entry->page) return shown;
        for (const auto& form : pageForms(*entry->page)) {
            for (Item* field : form->fields()) {
                auto* input = dynamic_cast<Inputable*>(field);
                shown.values.push_back(input ? input->getValue() : CString());
            }
        }
        return shown;
    }
    bool operator==(const ConfirmedPage&) const = default;
};

}  // namespace

std::optional<AlertRequest> parseAlertArgument(const CString& argument) {
    if (argument.isEmpty()) return std::nullopt;
    const StringArray parts = splitByString(CString(u","), argument);
    if (parts.size() != 2 && parts.size() != 3) return std::nullopt;
    return AlertRequest{parts[0], alertType(parts[1])};
}

std::optional<ConfirmRequest> parseConfirmArgument(const CString& argument) {
    if (argument.isEmpty()) return std::nullopt;
    const StringArray parts = splitOutsideParens(u',', argument);
    if (parts.size() == 3) return ConfirmRequest{parts[0], parts[1], parts[2]};
    if (parts.size() != 2 || !startsWithNoCase(parts[1], u"forward")) return std::nullopt;

    // "forward(L,R)": Yes forwards to L, No runs R up to its first ')'.
    const int open = parts[1].find(u'(');
    if (open < 0) return std::nullopt;
    const StringArray inner = splitOutsideParens(u',', parts[1].mid(open + 1));
    if (inner.size() != 2) return std::nullopt;
    const int close = inner[1].find(u')');
    CString no = close < 0 ? CString() : inner[1].left(close + 1);
    return ConfirmRequest{parts[0], CString(u"forward(") + inner[0] + u')', no};
}

// --- boxes ------------------------------------------------------------------------------

bool FormActions::deferBoxes() const { return pageBuildDepth_ > 0 || !isUiThread(); }

void FormActions::onAlert(const CString& piece) {
    const std::optional<AlertRequest> request =
        parseAlertArgument(cutActionArgument(piece, u"alert", u"al"));
    if (!request) return;
    if (deferBoxes()) {
        host_.postToHost([this, piece] { onAlert(piece); });
        return;
    }
    Display* display = Display::getDisplay();
    if (!display) return;

    // Alerts closed and not returned to by another alert are done with.
    Displayable* current = display->getCurrent();
    std::vector<const Displayable*> kept{current};
    for (const auto& alert : alerts_) kept.push_back(alert->getReturnTarget());
    std::erase_if(alerts_, [&kept](const std::unique_ptr<AlertScreen>& old) {
        return std::find(kept.begin(), kept.end(), old.get()) == kept.end();
    });

    Style* style = createAlertStyle();
    applyStyleClass(style, u"body");
    auto alert = std::make_unique<AlertScreen>(CString(u"警告"), request->message, nullptr,
                                               request->type, style);
    if (!alertReturnCommand_)
        alertReturnCommand_ = std::make_shared<Command>(u"返", kCommandCancel, 0);
    alert->addCommand(alertReturnCommand_);
    setCurrentAlert(*display, *alert, nullptr);
    alerts_.push_back(std::move(alert));
}

void FormActions::onConfirm(const CString& piece) {
    const std::optional<ConfirmRequest> request =
        parseConfirmArgument(cutActionArgument(piece, u"confirm", u"cf"));
    if (!request) return;
    // That action asks its own question.
    if (startsWithNoCase(request->yesAction, u"delmystocklist")) {
        host_.onAction(request->yesAction);
        return;
    }
    if (deferBoxes()) {
        host_.postToHost([this, piece] { onConfirm(piece); });
        return;
    }
    // The answer is for the page and the values the user saw: when a reply
    // or a reload changed them under the box, sending would use values the
    // user never confirmed.
    const ConfirmedPage asked = ConfirmedPage::of(host_);
    const int answer = messageBox(request->message, kConfirmCaption, MessageBoxType::YesNo);
    if (!(ConfirmedPage::of(host_) == asked)) {
        if (answer == kIdYes) messageBox(kPageChangedText, kConfirmCaption, MessageBoxType::Ok);
        return;
    }
    if (answer == kIdYes) {
        host_.onSubmittedAction(request->yesAction);
    } else {
        host_.onAction(request->noAction);
    }
}

// --- forms --------------------------------------------------------------------------------

void FormActions::onSubmit(const CString& piece) {
    const CString name = cutActionArgument(piece, u"submit", u"st");
    if (!host_.currentEntry() || !host_.currentEntry()->page) return;
    FormSubmission* form = findFormByName(*host_.currentEntry()->page, name);
    if (!form) return;
    // The form's own action decides: typed values may hold parentheses too.
    const CString action = form->action();
    if (action.find(u'(') < 0) {
        const CString link = form->submit();
        if (link.isEmpty()) return;
        host_.openUrl({.url = link, .screenId = host_.currentScreenId(), .submission = true});
        return;
    }
    // The pairs go into each link the actions open, inside the parentheses,
    // as a text field's own action carries its value; there a typed ')'
    // would end the link. The refusal box may end the page and its form:
    // nothing asks the form again after it.
    const std::optional<CString> filled =
        fillActionLinks(action, [form](const CString& link) -> std::optional<CString> {
            if (link.isEmpty()) return link;
            CString sent = form->submitTo(link, PairPlace::Action);
            if (sent.isEmpty()) return std::nullopt;
            return sent;
        });
    const CString result = filled ? *filled : form->submit();
    if (!result.isEmpty()) host_.onSubmittedAction(result);
}

void FormActions::onStockSubmit(const CString& piece) {
    // "ss(user field,link)": the field's value becomes the current user.
    const CString argument = textInParentheses(piece);
    const int comma = argument.find(u',');
    if (comma < 0 || !host_.currentEntry() || !host_.currentEntry()->page) return;
    FormSubmission* form = lastForm(*host_.currentEntry()->page);
    if (!form) return;
    form->setUserFieldName(argument.left(comma));
    form->setAction(argument.mid(comma + 1));
    const CString result = form->submit();
    host_.useWatchListOf(host_.currentUser());
    if (!result.isEmpty()) {
        host_.openUrl({.url = result, .screenId = host_.currentScreenId(), .submission = true});
    }
}

void FormActions::onSpecialSubmit(const CString& piece) {
    CString link = cutActionArgument(piece, u"specialsubmit", u"sm");
    Item* source = host_.eventSource();
    if (!host_.currentEntry() || !host_.currentEntry()->page || !source) return;
    FormSubmission* form = lastForm(*host_.currentEntry()->page);
    if (!form || form->fields().size() < 2) return;
    Item* firstItem = form->fields()[0];
    Item* secondItem = form->fields()[1];
    if (!isInputKind(firstItem, InputKind::TextField) ||
        !isInputKind(secondItem, InputKind::TextField)) {
        return;
    }
    auto* first = dynamic_cast<Inputable*>(firstItem);
    auto* second = dynamic_cast<Inputable*>(secondItem);

    // A six-character code, and what changed since each got the focus.
    const CString code = first->getValue();
    if (code.length() != 6) return;
    CString changed;
    if (!(code == dynamic_cast<FormField*>(firstItem)->getValueAtFocus())) {
        changed = CString(u"1");
    } else if (!(second->getValue() == dynamic_cast<FormField*>(secondItem)->getValueAtFocus())) {
        changed = CString(u"0");
    } else {
        return;
    }

    // The parameters, in this order, encoded as a submit sends them: a typed
    // '&', '#' or '=' must not start a parameter or a fragment of its own,
    // and an "encrypt" field never goes out in clear.
    auto addParam = [&link](const CString& name, const CString& value) {
        link = setUrlParamKeepFragment(link, urlEncode(name), urlEncode(value));
    };
    auto addField = [&](Item& item, const CString& value) {
        addParam(dynamic_cast<Inputable&>(item).getName(), form->valueToSend(item, value));
    };
    addField(*firstItem, code);
    if (!isBlank(second->getValue())) addField(*secondItem, second->getValue());
    if (form->fields().size() > 2) {
        Item* thirdItem = form->fields()[2];
        auto* third = dynamic_cast<Inputable*>(thirdItem);
        if (third && !isBlank(third->getValue())) addField(*thirdItem, third->getValue());
    }
    addParam(u"id", source->getId());
    addParam(u"codechange", changed);

    // The code check runs as a request that blocks input until it answers.
    host_.openUrl({.url = link, .screenId = host_.currentScreenId(), .submission = true});
}

void FormActions::onReset(const CString& piece) {
    const CString name = cutActionArgument(piece, u"reset", u"rs");
    if (!host_.currentEntry() || !host_.currentEntry()->page) return;
    if (FormSubmission* form = findFormByName(*host_.currentEntry()->page, name)) form->reset();
}

// --- items ----------------------------------------------------------------------------------

void FormActions::setItemsVisible(const CString& names, bool visible) {
    bool changed = false;
    for (const CString& name : splitByString(CString(u","), names)) {
        Item* item = host_.getItemByName(name);
        if (!item || item->isVisible() == visible) continue;
        item->setVisible(visible);
        changed = true;
    }
    // An onload or a timer runs outside any key: nothing else would paint.
    if (Screen* screen = host_.currentScreen(); changed && screen) screen->repaint();
}

void FormActions::onHide(const CString& piece) {
    setItemsVisible(cutActionArgument(piece, u"hide", CString()), false);
}

void FormActions::onShow(const CString& piece) {
    setItemsVisible(cutActionArgument(piece, u"show", CString()), true);
}

void FormActions::onChangeCgp(const CString& piece) {
    Item* item = host_.getItemByName(cutActionArgument(piece, u"changecgp", CString()));
    if (!isInputKind(item, InputKind::ChoiceGroup)) return;
    const CString carrier = dynamic_cast<Inputable*>(item)->getValue();
    if (carrier.equalsNoCase(u"中国移动(CM)")) {
        setItemsVisible(u"2", false);
        setItemsVisible(u"1", true);
    } else if (carrier.equalsNoCase(u"中国电信(CT)")) {
        setItemsVisible(u"1", false);
        setItemsVisible(u"2", true);
    }
}

void FormActions::onFocus(const CString& piece) {
    const CString name = cutActionArgument(piece, u"focus", u"fc");
    // Items without an id are not named by an empty argument.
    if (name.isEmpty()) return;
    Screen* screen = host_.currentScreen();
    if (screen && focusPageItemByName(*screen, name)) screen->repaint();
}

void FormActions::onSetFont(const CString& piece) {
    CString size = cutActionArgument(piece, u"setfont", u"sf");
    Item* source = host_.eventSource();
    if (size.isEmpty() && source && !isInputKind(source, InputKind::InLineChoiceGroup)) {
        if (auto* input = dynamic_cast<Inputable*>(source)) size = input->getValue();
    }
    if (size.isEmpty()) return;
    host_.setSetting(u"sys-fontsize", size, 2, false, u"all");
    if (Screen* screen = host_.currentScreen()) screen->invalidateLayout();
}

void FormActions::onGetOutLookToId(const CString& piece) {
    static DeviceContactPicker devicePicker;
    ContactPicker* picker = contactPicker_ ? contactPicker_ : &devicePicker;
    if (!picker->isInstalled()) return;
    std::optional<std::vector<CString>> picked = picker->pickContacts(kMaxPickedContacts);
    if (!picked || picked->empty() || picked->size() > static_cast<size_t>(kMaxPickedContacts)) {
        return;
    }

    // Looked up after the pick: the picker may have run other work.
    Item* target = host_.getItemByName(textInParentheses(piece));
    if (!isInputKind(target, InputKind::TextField)) return;
    auto* field = dynamic_cast<Inputable*>(target);
    const CString old = field->getValue();
    CString value = old;
    if (!value.isEmpty() && value.at(value.length() - 1) != u'.') value += u'.';

    // Whole numbers only, as many as the field holds: a cut number would
    // reach the wrong person.
    auto* text = dynamic_cast<TextField*>(target);
    const int room = text ? text->getMaxSize() : std::numeric_limits<int>::max();
    bool added = false;
    for (const CString& number : *picked) {
        const int needed = number.length() + (added ? 1 : 0);
        if (needed > room - value.length()) break;
        if (added) value += u'.';
        value += number;
        added = true;
    }
    if (added) field->setValue(value);
}

void FormActions::onClearApp(const CString&) {
    const ControllerFolders& folders = host_.folders();
    ConfigStore store(ConfigFolders{folders.resource, folders.userData, {}});
    const std::filesystem::path file = folders.resource / SettingsStore::kUserFile;
    // The running client reads the live map; the exit save writes the stored
    // one, which goes last so that the file holds it and the reset lasts.
    for (SettingsMap* map : {&host_.settings().live(), &host_.settings().stored()}) {
        for (const char16_t* section : {u"info-data", u"info-RegInfo"}) {
            store.writeMerged(*map, file, ConfigStore::kSaveGroupCount, section,
                              ClearMode::kClearSection);
        }
    }
}

}  // namespace zq
