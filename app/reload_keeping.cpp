#include "app/reload_keeping.h"

#include <algorithm>
#include <vector>

#include "app/page_history.h"
#include "core/string_utils.h"
#include "items/choice_group.h"
#include "items/filtered_choice_group.h"
#include "items/fixed_head_table.h"
#include "items/hyperlink_item.h"
#include "items/inputable.h"
#include "items/tab_item.h"
#include "items/text_field.h"
#include "items/tree.h"
#include "markup/form_submission.h"
#include "ui/child_list.h"
#include "ui/container.h"
#include "ui/screen.h"
#include "ui/soft_keyboard.h"
#include "ui/tabbed_form.h"

namespace zq {

namespace {

std::vector<Inputable*> formFields(PageEntry& entry) {
    std::vector<Inputable*> fields;
    if (!entry.page) return fields;
    for (const auto& form : pageForms(*entry.page)) {
        for (Item* field : form->fields()) fields.push_back(dynamic_cast<Inputable*>(field));
    }
    return fields;
}

bool sameForm(const FormSubmission& a, const FormSubmission& b) {
    return a.id() == b.id() && a.name() == b.name() && a.action() == b.action();
}

// Calls `visit(form, ordinal, field, nameCount)` for each field of each of
// the page's forms, in formFieldValues order.
template <typename Visit>
void eachField(PageEntry& entry, Visit visit) {
    if (!entry.page) return;
    const auto& forms = pageForms(*entry.page);
    for (size_t f = 0; f < forms.size(); ++f) {
        const FormSubmission& form = *forms[f];
        int ordinal = 0;
        for (size_t before = 0; before < f; ++before) ordinal += sameForm(*forms[before], form);
        for (Item* item : form.fields()) {
            auto* field = dynamic_cast<Inputable*>(item);
            int count = 0;
            if (field) {
                for (Item* other : form.fields()) {
                    auto* input = dynamic_cast<Inputable*>(other);
                    count += input && input->getName() == field->getName();
                }
            }
            visit(form, ordinal, field, count);
        }
    }
}

// The one field of `entry`'s page that is `kept`; null when there is none
// or more than one.
Inputable* sameField(PageEntry& entry, const KeptPage::Field& kept) {
    Inputable* found = nullptr;
    int matches = 0;
    eachField(entry, [&](const FormSubmission& form, int ordinal, Inputable* field, int count) {
        if (!field || ordinal != kept.formOrdinal || form.id() != kept.formId ||
            form.name() != kept.formName || form.action() != kept.formAction ||
            field->getName() != kept.name) {
            return;
        }
        ++matches;
        if (count == 1) found = field;
    });
    return matches == 1 ? found : nullptr;
}

// Puts `value` into `field` so that the field sends what it sent on the
// page the user left: a choice's empty value unticks every option, and a
// combo box chooses its option, not only the text it shows.
void carryValue(Inputable& field, const CString& value) {
    if (auto* combo = dynamic_cast<FilteredChoiceGroup*>(&field)) {
        StringArray values;
        for (int i = 0; i < combo->getOptionCount(); ++i)
            values.push_back(combo->getOptionValue(i));
        const std::vector<int> flags = flagsForValues(values, combo->getOptionCount(), value);
        const bool multiple = combo->getMode() == kChoiceMultiple;
        bool chosen = false;
        for (int i = 0; i < combo->getOptionCount(); ++i) {
            const bool on = flags[i] != 0 && (multiple || !chosen);
            combo->getOption(i)->setSelected(on);
            chosen = chosen || on;
        }
        combo->commitSelection();
        return;
    }
    if (auto* choice = dynamic_cast<Choice*>(&field); choice && value.isEmpty()) {
        choice->setSelectedFlags(std::vector<int>(std::max(choice->size(), 0), 0));
        return;
    }
    field.setValue(value);
}

// Where the focus goes on below `item`: its children, or an open tree
// node's while they have the focus.
ChildList* focusedList(Item* item) {
    if (auto* node = dynamic_cast<NodeItem*>(item)) {
        return node->focusedPart() == &node->children() ? &node->children() : nullptr;
    }
    return dynamic_cast<ChildList*>(item);
}

// The lists under `item` that may hold an item: an open node's children too.
ChildList* innerList(Item* item) {
    if (auto* node = dynamic_cast<NodeItem*>(item)) return &node->children();
    return dynamic_cast<ChildList*>(item);
}

// The focused item's key (see KeptPage::focusKey).
CString focusKeyOf(Item& item) {
    if (!item.getId().isEmpty()) return CString(u"id:") + item.getId();
    if (auto* link = dynamic_cast<HyperlinkItem*>(&item)) {
        return CString(u"a:") + link->getHref() + CString(u"\n") + link->getOnClick();
    }
    return CString();
}

// The one item under `list` whose key is `key`; null when none or several.
Item* uniqueItemWithKey(ChildList& list, const CString& key) {
    Item* found = nullptr;
    int matches = 0;
    std::vector<ChildList*> pending{&list};
    while (!pending.empty() && matches < 2) {
        ChildList* at = pending.back();
        pending.pop_back();
        for (const auto& child : at->children()) {
            if (focusKeyOf(*child) == key) {
                found = child.get();
                ++matches;
            }
            if (ChildList* inner = innerList(child.get())) pending.push_back(inner);
        }
    }
    return matches == 1 ? found : nullptr;
}

// Calls `visit` for each tab under `list` in the order of the shown items;
// a tab's pages are looked into after the visit, which may choose another.
template <typename Visit>
void eachTab(ChildList& list, Visit visit) {
    for (int i = 0; i < list.size(); ++i) {
        Item* child = list.getItem(i);
        if (child && child->isTabItem()) visit(*static_cast<TabItem*>(child));
        if (auto* inner = dynamic_cast<ChildList*>(child)) eachTab(*inner, visit);
    }
}

}  // namespace

Item* focusedLeaf(const Screen& screen) {
    Item* leaf = nullptr;
    for (ChildList* list = screen.getContent(); list;) {
        Item* child = list->getFocusedItem();
        if (!child) break;
        leaf = child;
        list = focusedList(child);
    }
    return leaf;
}

std::vector<CString> formFieldValues(PageEntry& entry) {
    std::vector<CString> values;
    for (Inputable* field : formFields(entry)) {
        values.push_back(field ? field->getValue() : CString());
    }
    return values;
}

KeptPage KeptPage::of(PageEntry& entry) {
    KeptPage kept;
    size_t i = 0;
    eachField(entry, [&](const FormSubmission& form, int ordinal, Inputable* field, int count) {
        const size_t index = i++;
        if (!field) return;
        const CString value = field->getValue();
        const bool shown = entry.shownValues && index < entry.shownValues->size();
        if (shown && (*entry.shownValues)[index] == value) return;
        const CString name = field->getName();
        kept.changed.push_back({form.id(), form.name(), form.action(), ordinal, name, value,
                                name.isEmpty() || count != 1});
    });
    Screen* screen = entry.screen.get();
    if (!screen) return kept;
    kept.scrollOffset = screen->getScrollOffset();
    if (const auto* tabbed = dynamic_cast<const TabbedForm*>(screen)) {
        kept.screenTab = tabbed->getSelectedTab();
    }
    if (ChildList* content = screen->getContent()) {
        eachTab(*content, [&](TabItem& tab) { kept.tabs.push_back(tab.getSelectedTab()); });
    }
    Item* leaf = nullptr;
    for (ChildList* list = screen->getContent(); list;) {
        Item* child = list->getFocusedItem();
        if (!child) break;
        kept.focusPath.push_back(list->getFocusedIndex());
        leaf = child;
        list = focusedList(child);
    }
    if (!leaf) return kept;
    kept.focusKey = focusKeyOf(*leaf);
    if (const auto* field = dynamic_cast<const TextField*>(leaf)) {
        kept.inputMode = field->getInputMode();
        kept.caret = field->getCaretPosition();
        const SoftKeyboard* keyboard = screen->getSoftKeyboard();
        kept.keyboardShown = keyboard && keyboard->isVisible();
    }
    if (leaf->isFixTableItem()) {
        const auto* table = static_cast<const FixTableItem*>(leaf);
        if (table->tableFocused()) kept.tableRow = table->focusedRow();
    }
    return kept;
}

bool KeptPage::carriesInto(PageEntry& entry) const {
    return std::all_of(changed.begin(), changed.end(), [&](const Field& field) {
        return !field.ambiguous && sameField(entry, field);
    });
}

void KeptPage::restoreValues(PageEntry& entry) const {
    for (const Field& field : changed) {
        Inputable* target = field.ambiguous ? nullptr : sameField(entry, field);
        if (target && target->getValue() != field.value) carryValue(*target, field.value);
    }
}

void KeptPage::restoreView(Screen& screen) const {
    // The tab pages the user chose first: the focus may be on one.
    auto* tabbed = dynamic_cast<TabbedForm*>(&screen);
    if (tabbed && screenTab >= 0 && screenTab != tabbed->getSelectedTab()) {
        tabbed->setSelectedTab(screenTab, false);
    }
    Container* content = screen.getContent();
    if (!content) return;
    size_t tabIndex = 0;
    eachTab(*content, [&](TabItem& tab) {
        const size_t at = tabIndex++;
        if (at < tabs.size() && tabs[at] != tab.getSelectedTab() && tabs[at] < tab.tabCount()) {
            tab.setSelectedTab(tabs[at], false);
        }
    });
    // The same place, holding the same item.
    Item* target = nullptr;
    ChildList* list = content;
    for (int index : focusPath) {
        target = list ? list->getItem(index) : nullptr;
        if (!target) break;
        list = innerList(target);
    }
    if (target && focusKeyOf(*target) != focusKey) target = nullptr;
    // Else that item wherever the new page put it, when it has only one.
    if (!target && !focusKey.isEmpty()) target = uniqueItemWithKey(*content, focusKey);
    // The row the user was on is gone: no other row takes its place.
    if (target && tableRow >= 0 && target->isFixTableItem() &&
        tableRow >= static_cast<FixTableItem*>(target)->rowCount()) {
        target = nullptr;
    }
    if (target && !focusPath.empty() && target->isInteractive()) {
        std::vector<Item*> chain;
        for (Item* item = target; item && item != content; item = item->getParent()) {
            chain.insert(chain.begin(), item);
        }
        // The tree nodes on the way are opened, as the user had them.
        for (Item* item : chain) {
            if (auto* node = dynamic_cast<NodeItem*>(item); node && item != target) {
                node->setExpanded(true);
            }
        }
        for (Item* item : chain) {
            Item* parentItem = item->getParent();
            // A node's children are reached through the node.
            if (dynamic_cast<NodeItem*>(parentItem)) continue;
            auto* node = parentItem ? dynamic_cast<NodeItem*>(parentItem->getParent()) : nullptr;
            if (node && parentItem == &node->children()) {
                if (!node->focusChildItem(item)) break;
                continue;
            }
            auto* parent = dynamic_cast<ChildList*>(parentItem);
            if (!parent) break;
            parent->focusChild(parent->indexOfChild(item), item, kGameDown);
        }
        if (tableRow >= 0 && target->isFixTableItem() && target->isFocused()) {
            static_cast<FixTableItem*>(target)->setFocusedRow(tableRow);
        }
        // The next key goes on as it would have on the page left.
        if (auto* field = dynamic_cast<TextField*>(target); field && caret >= 0) {
            if (field->isFocused()) {
                field->setInputMode(inputMode);
                field->setCaretPosition(caret);
                const SoftKeyboard* keyboard = screen.getSoftKeyboard();
                if (!keyboardShown && keyboard && keyboard->isVisible()) {
                    screen.openSoftKeyboard(false, nullptr, -1);
                }
            }
        }
    }
    screen.scrollBy(scrollOffset - screen.getScrollOffset());
    // The page was drawn before the focus came back to its item.
    screen.repaint();
}

}  // namespace zq
