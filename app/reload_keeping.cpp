#include "app/reload_keeping.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <typeinfo>
#include <vector>

#include "app/page_history.h"
#include "app/page_requests.h"
#include "core/string_utils.h"
#include "items/button_item.h"
#include "items/choice_group.h"
#include "items/filtered_choice_group.h"
#include "items/fixed_head_table.h"
#include "items/hyperlink_item.h"
#include "items/image_item.h"
#include "items/inline_choice_group.h"
#include "items/inputable.h"
#include "items/separator_item.h"
#include "items/tab_item.h"
#include "items/text_field.h"
#include "items/tree.h"
#include "items/verify_code_item.h"
#include "markup/form_submission.h"
#include "ui/child_list.h"
#include "ui/container.h"
#include "ui/screen.h"
#include "ui/soft_keyboard.h"
#include "ui/tabbed_form.h"

namespace zq {

namespace {

// What a form is known by across a reload: its id, else its name, else
// nothing but its place. Never its action, whose query may change per load.
CString formKey(const FormSubmission& form) {
    if (!form.id().isEmpty()) return CString(u"id:") + form.id();
    if (!form.name().isEmpty()) return CString(u"name:") + form.name();
    return CString();
}

// The key of the fields of no form: none of a form's.
const CString kNoForm(u"none");

// Calls `visit(item)` for `item` and every item under it: the pages of its
// tabs not shown and the children of its closed tree nodes too.
template <typename Visit>
void eachItemUnder(Item* item, Visit& visit) {
    if (!item) return;
    visit(*item);
    if (item->isTabItem()) {
        auto* tab = static_cast<TabItem*>(item);
        for (int i = 0; i < tab->tabCount(); ++i) eachItemUnder(tab->getPage(i), visit);
    } else if (auto* node = dynamic_cast<NodeItem*>(item)) {
        eachItemUnder(&node->children(), visit);
    } else if (auto* list = dynamic_cast<ChildList*>(item)) {
        for (const auto& child : list->children()) eachItemUnder(child.get(), visit);
    }
}

template <typename Visit>
void eachItem(Screen& screen, Visit visit) {
    auto* tabbed = dynamic_cast<TabbedForm*>(&screen);
    if (tabbed && tabbed->tabCount() > 0) {
        for (int i = 0; i < tabbed->tabCount(); ++i) eachItemUnder(tabbed->getPage(i), visit);
    } else {
        eachItemUnder(screen.getContent(), visit);
    }
}

// What an item of a field's line shows of the record: a field's label and
// a choice's options (its value is the user's), else its text.
CString shownOfLine(const Item& item) {
    CString shown = item.getLabel() + CString(u"\t");
    if (!dynamic_cast<const Inputable*>(&item)) return shown + item.getText() + CString(u"\t");
    StringArray values;
    if (const auto* group = dynamic_cast<const ChoiceGroup*>(&item)) values = group->getValues();
    if (const auto* group = dynamic_cast<const InLineChoiceGroup*>(&item)) {
        values = group->getValues();
    }
    if (const auto* choice = dynamic_cast<const Choice*>(&item)) {
        for (int i = 0; i < choice->size(); ++i) {
            shown +=
                choice->getString(i) + CString(u"=") + optionValueAt(values, i) + CString(u"\t");
        }
    }
    return shown;
}

// `label` without a number that only counts the lines ("1.", "2、", "(3)").
CString withoutLineNumber(CString label) {
    int at = 0;
    while (at < label.length() && (label[at] == u' ' || label[at] == u'\t')) ++at;
    const bool open = at < label.length() && label[at] == u'(';
    int digits = open ? at + 1 : at;
    while (digits < label.length() && label[digits] >= u'0' && label[digits] <= u'9') ++digits;
    if (digits == (open ? at + 1 : at) || digits >= label.length()) return label;
    const char16_t mark = label[digits];
    const bool counts = open ? mark == u')' : (mark == u'.' || mark == u'\u3001' || mark == u')');
    return counts ? label.mid(digits + 1) : label;
}

// The fields of one line at the most that share a record.
constexpr int kFieldsOfALine = 4;

// The record a field is for: its own label and options, and what comes
// before it on its line (a code, a stock's name, a link to its quote), their
// prices and the line's number put aside. A field right after another is
// for the same record (a side chosen after the quantity).
CString lineLabel(const Item& field) {
    CString label = shownOfLine(field);
    auto* parent = dynamic_cast<const ChildList*>(field.getParent());
    if (!parent) return withoutMeasures(label);
    const Item* reading = &field;
    int fields = 1;
    CString before;
    for (int i = parent->indexOfChild(&field) - 1; i >= 0; --i) {
        const Item* item = parent->getItem(i);
        if (!item || dynamic_cast<const Spacer*>(item) ||
            (item->getLayout() & kLayoutNewLineAfter)) {
            break;
        }
        if (dynamic_cast<const Inputable*>(item)) {
            const bool unnamed = reading->getLabel().isEmpty() && CString(before).trim().isEmpty();
            if (!unnamed || fields++ == kFieldsOfALine) break;
            label += shownOfLine(*item);
            reading = item;
            continue;
        }
        before = shownOfLine(*item) + before;
        if (item->getLayout() & kLayoutNewLineBefore) break;
    }
    return withoutMeasures(label + withoutLineNumber(before));
}

// Calls `visit(field, record, rank)` for each of `fields` (null for an item
// that is no field): where several have one name, each is told by its
// record, and ranked among those of its name and record.
template <typename Visit>
void eachOfForm(const std::vector<Item*>& fields, Visit& visit) {
    std::map<CString, int> fieldsOfName;
    for (Item* item : fields) {
        if (auto* field = dynamic_cast<Inputable*>(item)) ++fieldsOfName[field->getName()];
    }
    std::map<std::pair<CString, CString>, int> fieldsOfRecord;
    for (Item* item : fields) {
        auto* field = dynamic_cast<Inputable*>(item);
        if (!field) {
            visit(field, CString(), 0);
            continue;
        }
        const CString record = fieldsOfName[field->getName()] > 1 ? lineLabel(*item) : CString();
        visit(field, record, fieldsOfRecord[{field->getName(), record}]++);
    }
}

// Calls `visit(formKey, formRank, field, nameRank, record)` for each field
// of each of the page's forms, then for the page's fields of no form
// (kNoForm), in formFieldValues order: a form's rank among the forms of its
// key, a field's record (eachOfForm) and rank among the fields of its name
// and record in its form.
template <typename Visit>
void eachField(PageEntry& entry, Visit visit) {
    std::set<const Item*> inForms;
    if (entry.page) {
        std::map<CString, int> formsOfKey;
        for (const auto& form : pageForms(*entry.page)) {
            const CString key = formKey(*form);
            const int formRank = formsOfKey[key]++;
            auto inForm = [&](Inputable* field, const CString& record, int rank) {
                visit(key, formRank, field, rank, record);
            };
            eachOfForm(form->fields(), inForm);
            inForms.insert(form->fields().begin(), form->fields().end());
        }
    }
    if (!entry.screen) return;
    std::vector<Item*> loose;
    eachItem(*entry.screen, [&](Item& item) {
        if (dynamic_cast<Inputable*>(&item) && !inForms.count(&item)) loose.push_back(&item);
    });
    auto noForm = [&](Inputable* field, const CString& record, int rank) {
        visit(kNoForm, 0, field, rank, record);
    };
    eachOfForm(loose, noForm);
}

// The field of `entry`'s page that is `kept`; null when the page has none.
// One kept for its record goes to that record's field, also where the page
// no longer repeats its name, never to another record's.
Inputable* sameField(PageEntry& entry, const KeptPage::Field& kept) {
    Inputable* found = nullptr;
    int rank = 0;
    eachField(entry, [&](const CString& key, int formRank, Inputable* field, int, const CString&) {
        if (found || !field || key != kept.formKey || formRank != kept.formRank ||
            field->getName() != kept.name) {
            return;
        }
        const auto* item = dynamic_cast<const Item*>(field);
        if (!kept.record.isEmpty() && (!item || lineLabel(*item) != kept.record)) return;
        if (rank++ == kept.nameRank) found = field;
    });
    return found;
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

// What tells `item` from the page's other items, without a table's row.
CString itemKey(Item& item, PageEntry* entry) {
    if (!item.getId().isEmpty()) return CString(u"id:") + item.getId();
    if (auto* node = dynamic_cast<NodeItem*>(&item); node && node->header()) {
        return CString(u"node:") + itemKey(*node->header(), entry);
    }
    if (auto* link = dynamic_cast<HyperlinkItem*>(&item)) {
        return CString(u"a:") + link->getHref() + CString(u"\n") + link->getOnClick();
    }
    if (auto* button = dynamic_cast<ButtonItem*>(&item)) {
        return CString(u"button:") + button->getCaption() + CString(u"\n") + button->getOnClick();
    }
    if (auto* field = dynamic_cast<Inputable*>(&item)) {
        CString key = CString(u"field:") + field->getName();
        if (!entry) return key;
        eachField(*entry, [&](const CString& form, int formRank, Inputable* at, int nameRank,
                              const CString& record) {
            if (at != field) return;
            std::string ranks("#");
            ranks.append(std::to_string(formRank)).append("#").append(std::to_string(nameRank));
            key += CString(u"\n") + form + CString::fromUtf8(ranks) + CString(u"\n") + record;
        });
        return key;
    }
    return CString(u"item:") + CString::fromUtf8(typeid(item).name()) + CString(u"\n") +
           item.getText();
}

// The one item under `list` whose key is `key` (or whose key without its
// prices is, for `shape`); null when none or several.
Item* uniqueItemWithKey(ChildList& list, const CString& key, PageEntry& entry, bool shape = false) {
    Item* found = nullptr;
    int matches = 0;
    std::vector<ChildList*> pending{&list};
    while (!pending.empty() && matches < 2) {
        ChildList* at = pending.back();
        pending.pop_back();
        for (const auto& child : at->children()) {
            const CString own = itemKey(*child, &entry);
            if ((shape ? withoutMeasures(own) : own) == key) {
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

// The keys go where the focus shows: from the tab bar to the page's item.
void giveKeysToPage(TabbedForm& form) {
    Container* page = form.getPage(form.getSelectedTab());
    if (form.isTabBarFocused() && page && page->getFocusedIndex() >= 0) {
        form.focusPageItem(page->getFocusedIndex());
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
        // A node whose header has the focus: the header is what keys act on.
        auto* node = dynamic_cast<NodeItem*>(child);
        if (node && !list && node->focusedPart()) return node->focusedPart();
    }
    return leaf;
}

std::vector<CString> formFieldValues(PageEntry& entry) {
    std::vector<CString> values;
    eachField(entry, [&](const CString&, int, Inputable* field, int, const CString&) {
        values.push_back(field ? field->getValue() : CString());
    });
    return values;
}

KeptPage KeptPage::of(PageEntry& entry) {
    KeptPage kept;
    size_t i = 0;
    eachField(entry, [&](const CString& key, int formRank, Inputable* field, int nameRank,
                         const CString& record) {
        const size_t index = i++;
        if (!field) return;
        const CString value = field->getValue();
        const bool shown = entry.shownValues && index < entry.shownValues->size();
        if (shown && (*entry.shownValues)[index] == value) return;
        kept.changed.push_back({key, formRank, field->getName(), nameRank, value, record});
    });
    Screen* screen = entry.screen.get();
    if (!screen) return kept;
    kept.scrollOffset = screen->getScrollOffset();
    if (int top = 0; screen->focusedTop(top)) kept.focusTop = top;
    if (const auto* tabbed = dynamic_cast<const TabbedForm*>(screen)) {
        kept.screenTab = tabbed->getSelectedTab();
        kept.tabBarKeys = tabbed->isTabBarFocused();
    }
    if (ChildList* content = screen->getContent()) {
        eachTab(*content, [&](TabItem& tab) { kept.tabs.push_back(tab.getSelectedTab()); });
    }
    eachItem(*screen, [&](Item& item) {
        if (auto* node = dynamic_cast<NodeItem*>(&item)) {
            kept.openNodes.emplace_back(itemKey(*node, &entry), node->isExpanded());
        }
    });
    Item* leaf = nullptr;
    for (ChildList* list = screen->getContent(); list;) {
        Item* child = list->getFocusedItem();
        if (!child) break;
        kept.focusPath.push_back(list->getFocusedIndex());
        leaf = child;
        list = focusedList(child);
    }
    if (!leaf) return kept;
    kept.focusKey = itemKey(*leaf, &entry);
    if (const CString shape = withoutMeasures(kept.focusKey); shape != kept.focusKey) {
        // Another item of the same shape could take its price: then none does.
        if (ChildList* content = screen->getContent();
            content && uniqueItemWithKey(*content, shape, entry, true) == leaf) {
            kept.focusShape = shape;
        }
    }
    if (const auto* field = dynamic_cast<const TextField*>(leaf)) {
        kept.inputMode = field->getInputMode();
        kept.caret = field->getCaretPosition();
        const SoftKeyboard* keyboard = screen->getSoftKeyboard();
        kept.keyboardShown = keyboard && keyboard->isVisible();
    }
    if (leaf->isFixTableItem()) {
        const auto* table = static_cast<const FixTableItem*>(leaf);
        if (table->tableFocused() && table->focusedRow() < table->rowCount()) {
            kept.tableRow = table->focusedRow();
            kept.tableColumn = table->focusedColumn();
            kept.rows = TableRows::of(*table);
        }
    }
    return kept;
}

void KeptPage::restoreValues(PageEntry& entry) const {
    for (const Field& field : changed) {
        // A field the new page does not have was taken away by its server.
        Inputable* target = sameField(entry, field);
        if (target && target->getValue() != field.value) carryValue(*target, field.value);
    }
}

void KeptPage::restoreView(PageEntry& entry) const {
    if (!entry.screen) return;
    Screen& screen = *entry.screen;
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
    // The tree nodes stay open or closed as the user left them, each known
    // by its header and its rank among the nodes of that header.
    std::map<CString, std::vector<bool>> nodesOfKey;
    for (const auto& [key, open] : openNodes) nodesOfKey[key].push_back(open);
    std::map<CString, size_t> nodesSeen;
    eachItem(screen, [&](Item& item) {
        auto* node = dynamic_cast<NodeItem*>(&item);
        if (!node) return;
        const CString key = itemKey(*node, &entry);
        const size_t rank = nodesSeen[key]++;
        const auto kept = nodesOfKey.find(key);
        if (kept != nodesOfKey.end() && rank < kept->second.size() &&
            kept->second[rank] != node->isExpanded()) {
            node->setExpanded(kept->second[rank]);
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
    if (target && itemKey(*target, &entry) != focusKey) target = nullptr;
    // Else that item wherever the new page put it, when it has only one.
    if (!target && !focusKey.isEmpty()) target = uniqueItemWithKey(*content, focusKey, entry);
    // Else the one item of its shape, whose price moved.
    if (!target && !focusShape.isEmpty()) {
        target = uniqueItemWithKey(*content, focusShape, entry, true);
    }
    // The same record of a table, wherever its rows moved; where it is
    // gone, no other row takes its place.
    int row = -1;
    int column = -1;
    if (target && tableRow >= 0 && target->isFixTableItem()) {
        const TableRows now = TableRows::of(*static_cast<FixTableItem*>(target));
        row = rows.sameRow(tableRow, now);
        column = rows.sameColumn(tableColumn, now);
        if (row < 0) target = nullptr;
    }
    // Where the tab bar had the keys, nothing on the page is focused.
    if (target && !focusPath.empty() && target->isInteractive() && !tabBarKeys) {
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
            // A table the user had on no row gets none.
            const bool noRow = item == target && target->isFixTableItem() && row < 0;
            parent->focusChild(parent->indexOfChild(item), item, noRow ? kGameNone : kGameDown);
        }
        if (tabbed && target->isFocused()) giveKeysToPage(*tabbed);
        if (row >= 0 && target->isFixTableItem() && target->isFocused()) {
            auto* table = static_cast<FixTableItem*>(target);
            table->setFocusedRow(row);
            // The cell the user was on, whose action ENTER fires.
            if (column >= 0) table->setFocusedColumn(column);
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
    // The focused item stays where the user saw it, whatever came above it.
    if (target && focusTop && target->isFocused()) screen.keepFocusAt(*focusTop);
    // The page was drawn before the focus came back to its item.
    screen.repaint();
}

void keepPictures(PageEntry& left, PageEntry& reloaded, PageRequests& requests) {
    if (!left.screen || !reloaded.screen) return;
    // The tab pages the user chose are the shown ones from the start: the
    // pictures of the others are not asked for on the way.
    auto* leftTabs = dynamic_cast<TabbedForm*>(left.screen.get());
    auto* tabbed = dynamic_cast<TabbedForm*>(reloaded.screen.get());
    if (leftTabs && tabbed) tabbed->setSelectedTab(leftTabs->getSelectedTab(), false);
    std::vector<TabItem*> leftTabItems;
    if (Container* content = left.screen->getContent()) {
        eachTab(*content, [&](TabItem& tab) { leftTabItems.push_back(&tab); });
    }
    size_t tabIndex = 0;
    if (Container* content = reloaded.screen->getContent()) {
        eachTab(*content, [&](TabItem& tab) {
            const size_t at = tabIndex++;
            if (at < leftTabItems.size())
                tab.setSelectedTab(leftTabItems[at]->getSelectedTab(), false);
        });
    }

    // Plain pictures by the address each asks at, those on tab pages not
    // shown too.
    std::map<CString, ImageItem*> shown;
    for (Item* control : left.screen->controlList()) {
        if (auto* picture = dynamic_cast<ImageItem*>(control)) {
            shown.emplace(picture->requestAddressOn(left.screen.get()), picture);
        }
    }
    for (Item* control : reloaded.screen->controlList()) {
        auto* picture = dynamic_cast<ImageItem*>(control);
        if (!picture) continue;
        auto same = shown.find(picture->requestAddressOn(reloaded.screen.get()));
        if (same != shown.end()) picture->takePictureOf(*same->second);
    }

    // Verification pictures by their address and rank among those of it.
    auto codesOf = [](Screen& screen) {
        std::map<CString, std::vector<VerifyCodeItem*>> codes;
        auto visit = [&codes](Item& item) {
            if (auto* code = dynamic_cast<VerifyCodeItem*>(&item)) {
                codes[code->pictureAddress()].push_back(code);
            }
        };
        eachItemUnder(screen.getContent(), visit);
        return codes;
    };
    const auto leftCodes = codesOf(*left.screen);
    for (const auto& [address, codes] : codesOf(*reloaded.screen)) {
        auto same = leftCodes.find(address);
        if (same == leftCodes.end()) continue;
        for (size_t i = 0; i < codes.size() && i < same->second.size(); ++i) {
            codes[i]->takeCodeOf(*same->second[i]);
        }
    }

    requests.keepLinkPictures(left.screenId, reloaded.screenId);
}

}  // namespace zq
