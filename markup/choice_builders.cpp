#include "markup/choice_builders.h"

#include <array>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "core/host_record.h"
#include "core/string_utils.h"
#include "core/xml_parser.h"
#include "items/choice_group.h"
#include "items/choice_item.h"
#include "items/filtered_choice_group.h"
#include "items/inline_choice_group.h"
#include "items/switch_container.h"
#include "markup/command_document.h"
#include "markup/element_dispatch.h"
#include "markup/encoder.h"
#include "markup/markup_page.h"
#include "markup/style_sheet.h"
#include "markup/text_field_builders.h"
#include "ui/default_styles.h"
#include "ui/style.h"

namespace zq {
namespace {

// The page font over a default style (and its focused style).
Style* withPageFont(MarkupPage& page, Style* style) {
    const FontRef& font = page.pageFont();
    if (!font) return style;
    style->font = font;
    if (Style* focused = style->getStyleProperty(prop::kFocusedStyle)) focused->font = font;
    return style;
}

// The layers of a choice control whose text stands on the page itself. The
// default sheet's colour for the kind suits the shipped dark body only:
// unless the page's own rules or the class set a colour, the page's text
// colour is taken, as a field's label takes it.
Style* styleLayersOnPage(MarkupPage& page, const XmlParser& node, Style* style,
                         std::u16string_view kind, const CString& classText) {
    withPageFont(page, style);
    applyStyleClass(style, CString(kind));
    const std::optional<StyleValue> sheetColour = std::exchange(style->colorValue, std::nullopt);
    applyInlineStyle(page, style, classText);
    if (style->colorValue) return style;
    if (const std::optional<Color> text = pageTextColour(page, node)) {
        style->colorValue = StyleValue(static_cast<int32_t>(*text));
    } else {
        style->colorValue = sheetColour;
    }
    return style;
}

Item* hand(MarkupPage& page, std::unique_ptr<Item> item, Item* parent) {
    return parent ? page.adoptControl(std::move(item)) : page.registerControl(std::move(item));
}

bool isTrue(const CString& text) { return text.equalsNoCase(CString(u"true")); }

// --- choice groups ---------------------------------------------------------------------

struct GroupAttributes {
    CString caption;
    CString name;
    CString value;
    CString classText;
    CString visible;
    CString id;
    CString mode;
    CString tip;
    CString onfocus;
    CString onlosefocus;
    CString onchange;
    CString encrypt;
    CString focus;

    explicit GroupAttributes(const XmlParser& node)
        : caption(getAttribute(node, u"caption", u"cp")),
          name(getAttribute(node, u"name", u"n")),
          value(getAttribute(node, u"value", u"v")),
          classText(getAttribute(node, u"class", u"cl")),
          visible(getAttribute(node, u"visible", u"vb")),
          id(getAttribute(node, u"id")),
          mode(getAttribute(node, u"mode", u"m")),
          tip(getAttribute(node, u"tip")),
          onfocus(getAttribute(node, u"onfocus", u"of")),
          onlosefocus(getAttribute(node, u"onlosefocus", u"lf")),
          onchange(getAttribute(node, u"onchange", u"ch")),
          encrypt(getAttribute(node, u"encrypt", u"e")),
          focus(getAttribute(node, u"focus", u"f")) {}
};

enum class GroupKind { Block, Inline };

// The options and the last command tree of a group element. Each option is
// appended with its value at once, so rows and values stay in pairs.
template <class Group>
std::unique_ptr<CommandNode> buildGroupChildren(MarkupPage& page, XmlParser& node, Group& group,
                                                GroupKind kind) {
    std::unique_ptr<CommandNode> commands;
    if (!node.intoElem()) return commands;
    while (node.findElem()) {
        if (tagIs(node.getTagName(), u"command", u"cmd")) {
            commands = buildCommandTree(page, node);
            continue;
        }
        const CString caption = getAttribute(node, u"caption", u"cp");
        const CString value = getAttribute(node, u"value", u"v");
        const CString classText = getAttribute(node, u"class", u"cl");
        const CString visible = getAttribute(node, u"visible", u"vb");
        const bool block = kind == GroupKind::Block;
        Style* style = createChoiceItemStyle(block ? kLayoutExpand : 0);
        auto row = std::make_unique<ChoiceItem>(caption, nullptr, group.getMode(), style);
        if (parseYesNo(visible) == false) row->setVisible(false);
        row->setWrap(block);
        ChoiceItem* placed = row.get();
        group.appendChoiceItem(std::move(row));
        group.addOptionValue(value);
        placed->setStyle(styleLayersOnPage(page, node, style, u"radio", classText));
    }
    node.outOfElem();
    return commands;
}

template <class Group>
void finishGroup(MarkupPage& page, Group& group, const GroupAttributes& a) {
    if (parseYesNo(a.visible) == false) group.setVisible(false);
    if (!a.value.isEmpty() && page.host()) {
        group.setValue(decodeFieldValue(page.expandSystemValues(a.value), false, a.encrypt));
    }
    group.setFocusAction(a.onfocus);
    group.setLeaveAction(a.onlosefocus);
    group.setOnChange(a.onchange);
    group.setEventListener(page.host());
    group.setChangeListener(page.host());
}

int groupMode(const CString& word) {
    return word.equalsNoCase(CString(u"multiple")) ? kChoiceMultiple : kChoiceExclusive;
}

}  // namespace

Item* buildChoiceGroup(MarkupPage& page, XmlParser& node, Item* parent) {
    const GroupAttributes a(node);
    Style* style = withPageFont(page, createChoiceGroupStyle());
    auto group =
        std::make_unique<ChoiceGroup>(page.expandSystemValues(a.caption), groupMode(a.mode), style);
    group->setId(a.id);
    group->setFormName(a.name);
    group->setTipText(a.tip);
    if (isTrue(a.encrypt)) group->setEncrypt(a.encrypt);
    group->applyStyle(styleLayersOnPage(page, node, style, u"choicegroup", a.classText), false);
    colourLabel(page, node, *group, style);

    std::unique_ptr<CommandNode> commands =
        buildGroupChildren(page, node, *group, GroupKind::Block);
    finishGroup(page, *group, a);
    if (parseYesNo(a.focus) == false) {
        // No row takes the focus, so neither does the group.
        for (int i = 0; i < group->size(); ++i)
            group->getItem(i)->setAppearanceMode(kAppearancePlain);
        group->setAppearanceMode(kAppearancePlain);
    }
    attachCommandTree(page, group.get(), commands.get(), nullptr);
    return hand(page, std::move(group), parent);
}

Item* buildSingleLineChoiceGroup(MarkupPage& page, XmlParser& node, Item* parent) {
    const GroupAttributes a(node);
    Style* style = withPageFont(page, createChoiceGroupStyle());
    auto group = std::make_unique<InLineChoiceGroup>(page.expandSystemValues(a.caption),
                                                     groupMode(a.mode), style);
    group->setId(a.id);
    group->setFormName(a.name);
    if (isTrue(a.encrypt)) group->setEncrypt(a.encrypt);
    group->applyStyle(styleLayersOnPage(page, node, style, u"choicegroup", a.classText));
    colourLabel(page, node, *group, style);

    std::unique_ptr<CommandNode> commands =
        buildGroupChildren(page, node, *group, GroupKind::Inline);
    finishGroup(page, *group, a);
    attachCommandTree(page, group.get(), commands.get(), nullptr);
    return hand(page, std::move(group), parent);
}

// --- combo boxes -------------------------------------------------------------------------

namespace {

int comboMode(const CString& word) {
    if (word.equalsNoCase(CString(u"multiple"))) return kChoiceMultiple;
    if (word.equalsNoCase(CString(u"implitcit"))) return kChoiceImplicit;
    return kChoiceExclusive;
}

// A combo box option styled "radio" plus its own class text (none for the
// host set, which applies no page styling).
std::unique_ptr<ChoiceItem> makeComboOption(MarkupPage* page, const CString& caption, int mode,
                                            const CString& classText) {
    Style* style = createComboOptionStyle();
    auto row = std::make_unique<ChoiceItem>(caption, nullptr, mode, style);
    if (page) {
        withPageFont(*page, style);
        applyStyleClass(style, CString(u"radio"));
        applyInlineStyle(*page, style, classText);
    } else {
        applyStyleClass(style, CString(u"radio"));
    }
    row->setStyle(style);
    return row;
}

}  // namespace

Item* buildComboBox(MarkupPage& page, XmlParser& node, Item* parent) {
    const CString name = getAttribute(node, u"name", u"n");
    const CString id = getAttribute(node, u"id");
    const CString classText = getAttribute(node, u"class", u"cl");
    const CString caption = getAttribute(node, u"caption", u"cp");
    const CString modeWord = getAttribute(node, u"mode", u"m");
    const CString tip = getAttribute(node, u"tip");
    const CString encrypt = getAttribute(node, u"encrypt", u"e");
    const CString value = decodeFieldValue(getAttribute(node, u"value", u"v"), false, encrypt);
    const CString onchange = getAttribute(node, u"onchange", u"ch");
    const CString onfocus = getAttribute(node, u"onfocus", u"of");
    const CString onlosefocus = getAttribute(node, u"onlosefocus", u"lf");

    // 1-4. The box, its list opener and its look.
    const int mode = comboMode(modeWord);
    Style* style = withPageFont(page, createComboBoxStyle());
    auto box = std::make_unique<FilteredChoiceGroup>(caption, CString(u"请选择"), mode, style);
    applyStyleClass(style, CString(u"combobox"));
    box->setItemCommandListener(page.keepListener(std::make_unique<FilteredChoiceGroupListener>()));
    box->setId(id);
    box->setFormName(name);
    box->setTipText(tip);
    if (isTrue(encrypt)) box->setEncrypt(encrypt);
    box->setStyle(applyInlineStyle(page, style, classText));
    // The caption stands on the page, not in the box.
    colourLabel(page, node, *box);

    // 5. Options and the last command tree.
    std::unique_ptr<CommandNode> commands;
    if (node.intoElem()) {
        while (node.findElem()) {
            if (tagIs(node.getTagName(), u"command", u"cmd")) {
                commands = buildCommandTree(page, node);
                continue;
            }
            const CString optionValue = getAttribute(node, u"value", u"v");
            const CString optionClass = getAttribute(node, u"class", u"cl");
            const CString optionCaption = getAttribute(node, u"caption", u"cp");
            box->appendOption(makeComboOption(&page, optionCaption, mode, optionClass),
                              optionValue);
        }
        node.outOfElem();
    }

    // 6. The option the value names, before anyone listens.
    for (int i = 0; i < box->getOptionCount(); ++i) {
        if (box->getOptionValue(i).equalsNoCase(value)) {
            box->selectOption(i + 1);
            break;
        }
    }

    // 7. Actions and listeners.
    box->setFocusAction(onfocus);
    box->setLeaveAction(onlosefocus);
    box->setOnChange(onchange);
    box->setEventListener(page.host());
    box->setChangeListener(page.host());
    attachCommandTree(page, box.get(), commands.get(), nullptr);
    return hand(page, std::move(box), parent);
}

// --- the host set --------------------------------------------------------------------------

namespace {

constexpr std::array<std::u16string_view, 3> kCarriers = {u"中国移动(CM)", u"中国电信(CT)",
                                                          u"中国联通(UNI)"};
constexpr std::array<std::u16string_view, 3> kHostLabels = {u"移动站点:", u"电信站点:",
                                                            u"联通站点:"};

std::unique_ptr<FilteredChoiceGroup> makeHostCombo(const CString& label) {
    Style* style = createComboBoxStyle();
    applyStyleClass(style, CString(u"combobox"));
    return std::make_unique<FilteredChoiceGroup>(label, CString(u"请选择"), kChoiceImplicit, style);
}

}  // namespace

Item* buildHostSet(MarkupPage& page, XmlParser& /*node*/, Item* parent) {
    // 1-3. The settings: three host lists and the saved choice.
    const CString lists[] = {page.systemValue(u"sys-cm-iplist"), page.systemValue(u"sys-ct-iplist"),
                             page.systemValue(u"sys-uni-iplist")};
    const bool curHostMode = page.systemValue(u"sys-hostset-mode").equalsNoCase(CString(u"1"));
    const CString choiceKey(curHostMode ? u"sys-curhost" : u"sys-last-choice");
    std::vector<HostRecord> hosts[3];
    for (int i = 0; i < 3; ++i) parseHostList(lists[i], hosts[i]);
    std::vector<HostRecord> savedParse;
    parseHostList(page.systemValue(choiceKey), savedParse);
    const HostRecord saved = savedParse.empty() ? HostRecord() : savedParse.front();

    // 4. The carrier selector.
    auto selector = makeHostCombo(CString(u"运营商"));
    selector->setOnChange(CString(u"changecbo()"));
    for (std::u16string_view carrier : kCarriers) {
        selector->appendOption(makeComboOption(nullptr, CString(carrier), kChoiceImplicit, {}),
                               CString(carrier));
    }

    // 5. One hidden host list per carrier, named by its carrier.
    std::unique_ptr<FilteredChoiceGroup> groups[3];
    for (int i = 0; i < 3; ++i) {
        groups[i] = makeHostCombo(CString(kHostLabels[i]));
        groups[i]->setVisible(false);
        groups[i]->setFormName(choiceKey);
        groups[i]->setOnChange(CString(u"save()"));
        groups[i]->setId(CString(kCarriers[i]));
        for (const HostRecord& host : hosts[i]) {
            groups[i]->appendOption(makeComboOption(nullptr, host.label, kChoiceImplicit, {}),
                                    host.toText());
        }
    }

    // 6. The saved host's carrier and host, Telecom before Unicom before
    // Mobile. Chosen before the listeners are set: building saves nothing.
    int carrier = 0;
    int found = -1;
    for (int i : {1, 2}) {
        found = findHostIndex(hosts[i], saved);
        if (found >= 0) {
            carrier = i;
            break;
        }
    }
    if (found < 0) found = findHostIndex(hosts[0], saved);
    selector->selectOption(carrier + 1);
    if (found >= 0) groups[carrier]->selectOption(found + 1);
    for (auto& group : groups) group->setChangeListener(page.host());

    // 7. The switch shows the chosen carrier's list.
    auto switcher = std::make_unique<SwitchContainer>();
    FilteredChoiceGroup* selectorItem = selector.get();
    switcher->setPanes(std::move(selector), std::move(groups[0]), std::move(groups[1]),
                       std::move(groups[2]));
    selectorItem->setChangeListener(switcher.get());
    return hand(page, std::move(switcher), parent);
}

}  // namespace zq
