#include "markup/tab_builders.h"

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "core/xml_parser.h"
#include "items/string_item.h"
#include "items/tab_item.h"
#include "items/tree.h"
#include "markup/command_document.h"
#include "markup/element_dispatch.h"
#include "markup/form_submission.h"
#include "markup/markup_page.h"
#include "markup/side_effect_builders.h"
#include "markup/style_sheet.h"
#include "markup/text_builders.h"
#include "markup/text_field_builders.h"
#include "ui/client_context.h"
#include "ui/default_styles.h"
#include "ui/style.h"
#include "ui/tabbed_form.h"

namespace zq {
namespace {

// The parser stops at its own depth; the tree takes every level it reads.
constexpr int kMaxTreeDepth = XmlParser::kMaxDepth;

// The items built for the pages of one tab element, in build order, and how
// many of them each page built.
struct TabPages {
    std::vector<CString> titles;
    std::vector<CString> ids;
    std::vector<CString> turnPage;
    std::vector<std::unique_ptr<Item>> marquees;
    std::vector<std::unique_ptr<Item>> items;
    std::vector<int> counts;
};

// The page's control font replaces the font of `style` and of its focused style.
void putPageFont(const MarkupPage& page, Style* style) {
    if (!style || !page.pageFont()) return;
    style->font = page.pageFont();
    if (Style* focused = style->getStyleProperty(prop::kFocusedStyle)) {
        focused->font = page.pageFont();
    }
}

void takeItem(MarkupPage& page, Item* built, TabPages& pages) {
    if (std::unique_ptr<Item> item = page.releaseControl(built)) {
        pages.items.push_back(std::move(item));
        ++pages.counts.back();
    }
}

// One page's children, appended to `pages` as page k = the last one.
void readPageContent(MarkupPage& page, XmlParser& node, TabPages& pages, bool tabBody) {
    pages.counts.push_back(0);
    pages.marquees.emplace_back();
    if (!node.intoElem()) return;
    Item placeholder;
    while (node.findElem()) {
        const CString tag = node.getTagName();
        if (tagIs(tag, u"form", u"f")) {
            // The form keeps its fields; the page gets the controls it built.
            std::vector<Item*>& collected = collectedItems(page);
            collected.clear();
            buildForm(page, node, &placeholder);
            const std::vector<Item*> built = std::move(collected);
            collected.clear();
            for (Item* item : built) takeItem(page, item, pages);
        } else if (tagIs(tag, u"a")) {
            for (Item* link : buildLinkItems(page, node)) takeItem(page, link, pages);
        } else if (tabBody && tagIs(tag, u"marquee", u"mq")) {
            // A later marquee of the same page replaces (and frees) the earlier one.
            if (Item* built = buildMarquee(page, node, &placeholder)) {
                pages.marquees.back() = page.releaseControl(built);
            }
        } else if (Item* built = buildElement(page, tag, node, &placeholder, tabBody ? 1 : 0)) {
            takeItem(page, built, pages);
        }
    }
    node.outOfElem();
}

// Hands out the items in order: each page receives exactly the items it built.
template <class Append>
void distribute(TabPages& pages, Append append) {
    size_t current = 0;
    std::vector<int> remaining = pages.counts;
    for (std::unique_ptr<Item>& item : pages.items) {
        while (current < remaining.size() && remaining[current] == 0) ++current;
        if (current >= remaining.size()) break;
        append(static_cast<int>(current), std::move(item));
        --remaining[current];
    }
    pages.items.clear();
}

int findPage(const std::vector<CString>& ids, const CString& wanted) {
    for (size_t i = 0; i < ids.size(); ++i) {
        if (ids[i].equalsNoCase(wanted)) return static_cast<int>(i);
    }
    return -1;
}

// A tree entry's look: the tree item style in the page's font, its text in
// `colour` when the tree or the page sets one.
Style* treeItemStyle(const MarkupPage& page, std::optional<Color> colour) {
    Style* style = createTreeItemStyle();
    putPageFont(page, style);
    if (colour) {
        style->color = *colour;
        style->colorValue = StyleValue(static_cast<int32_t>(*colour));
    }
    return style;
}

void buildTreeItem(MarkupPage& page, XmlParser& node, Item* parentItem, TreeContainer& tree,
                   std::optional<Color> colour, int depth) {
    if (depth > kMaxTreeDepth) return;
    const CString caption = getAttribute(node, u"caption", u"cp");
    Style* style = treeItemStyle(page, colour);

    Item* self = nullptr;
    if (!parentItem) {
        self = tree.addLeaf(caption, ImageRef(), style);
    } else {
        auto item = std::make_unique<StringItem>(CString(), caption, style);
        self = item.get();
        if (!tree.addChild(parentItem, std::move(item))) return;
    }

    if (!node.intoElem()) return;
    Item placeholder;
    while (node.findElem()) {
        const CString tag = node.getTagName();
        if (tagIs(tag, u"a")) {
            for (Item* link : buildLinkItems(page, node)) {
                if (std::unique_ptr<Item> child = page.releaseControl(link)) {
                    tree.addChildWithStyle(self, std::move(child), treeItemStyle(page, colour));
                }
            }
        } else if (tagIs(tag, u"treeitem", u"ti")) {
            buildTreeItem(page, node, self, tree, colour, depth + 1);
        } else if (Item* built = buildElement(page, tag, node, &placeholder, 0)) {
            // A control keeps its own look: a field's frame and fill, a
            // table's cells.
            if (std::unique_ptr<Item> child = page.releaseControl(built)) {
                tree.addChild(self, std::move(child));
            }
        }
    }
    node.outOfElem();
}

}  // namespace

void buildTabBody(MarkupPage& page, XmlParser& node) {
    const CString selectedId = getAttribute(node, u"selectedpageid");
    const CString styleClass = getAttribute(node, u"class", u"cl");
    const bool turnPage = parseYesNo(getAttribute(node, u"turnpage")).value_or(false);
    page.setLoadActions(getAttribute(node, u"onload", u"on"),
                        getAttribute(node, u"unonload", u"un"));
    auto owned = std::make_unique<TabbedForm>(CString());
    TabbedForm& form = *owned;
    page.setForm(std::move(owned));
    page.bodyCommandTree().reset();

    TabPages pages;
    std::unique_ptr<Item> screenMarquee;
    if (node.intoElem()) {
        while (node.findElem()) {
            const CString tag = node.getTagName();
            if (tagIs(tag, u"page", u"pg")) {
                pages.titles.push_back(getAttribute(node, u"caption", u"cp"));
                pages.ids.push_back(getAttribute(node, u"id"));
                pages.turnPage.push_back(getAttribute(node, u"turnpage"));
                readPageContent(page, node, pages, true);
            } else if (tagIs(tag, u"marquee", u"mq")) {
                if (Item* built = buildMarquee(page, node, nullptr)) {
                    screenMarquee = page.releaseControl(built);
                }
            } else if (tagIs(tag, u"command", u"cmd")) {
                page.bodyCommandTree() = buildCommandTree(page, node);
            } else {
                buildElement(page, tag, node, nullptr, 0);
            }
        }
        node.outOfElem();
    }

    Style* style = createTabbedFormStyle();
    putPageFont(page, style);
    form.initTabs(pages.titles, {}, style);
    distribute(pages,
               [&form](int tab, std::unique_ptr<Item> item) { form.append(tab, std::move(item)); });
    for (size_t i = 0; i < pages.titles.size(); ++i) {
        const int tab = static_cast<int>(i);
        if (pages.marquees[i]) form.setTabMarquee(tab, std::move(pages.marquees[i]));
        form.setTabArrowSwitching(tab, parseYesNo(pages.turnPage[i]).value_or(turnPage));
    }
    if (screenMarquee) form.setMarquee(std::move(screenMarquee));
    const int selected = findPage(pages.ids, selectedId);
    form.setSelectedTab(selected >= 0 ? selected : 0, false);

    finishPageScreen(page, form, style, u"tabbody", styleClass);
    enterPageWatchList(page, WatchListEntry::Replace);
}

Item* buildTab(MarkupPage& page, XmlParser& node, Item* parent) {
    const CString selectedId = getAttribute(node, u"selectedpageid");
    const CString styleClass = getAttribute(node, u"class", u"cl");
    const CString visible = getAttribute(node, u"visible", u"vb");

    TabPages pages;
    if (node.intoElem()) {
        while (node.findElem()) {
            pages.titles.push_back(getAttribute(node, u"caption", u"cp"));
            pages.ids.push_back(getAttribute(node, u"id"));
            readPageContent(page, node, pages, false);
        }
        node.outOfElem();
    }

    Style* style = createTabStyle();
    auto tab = std::make_unique<TabItem>(CString(), pages.titles, std::vector<ImageRef>(), style);
    applyStyleClass(style, CString(u"tab"));
    putPageFont(page, style);
    tab->setStyle(applyInlineStyle(page, style, styleClass));
    tab->setId(getAttribute(node, u"id"));
    tab->setTipText(getAttribute(node, u"tip"));
    if (parseYesNo(visible) == false) tab->setVisible(false);

    distribute(pages, [&tab](int index, std::unique_ptr<Item> item) {
        tab->appendToTab(index, std::move(item));
    });
    const int selected = findPage(pages.ids, selectedId);
    if (selected >= 0) tab->selectTab(selected);
    return parent ? page.adoptControl(std::move(tab)) : page.registerControl(std::move(tab));
}

Item* buildTree(MarkupPage& page, XmlParser& node, Item* parent) {
    const CString styleClass = getAttribute(node, u"class", u"cl");
    Style* style = createTreeStyle();
    auto tree = std::make_unique<TreeContainer>(getAttribute(node, u"name", u"n"), style);
    tree->setFocusAction(getAttribute(node, u"onfocus", u"of"));
    tree->setLeaveAction(getAttribute(node, u"onlosefocus", u"lf"));
    tree->setEventListener(page.host());

    // The tree's look comes first. Its entries take the text colour the
    // page's own rules for trees or the tree's "class" set, else the page's;
    // the shipped sheet's tree colour is made for the shipped page colours.
    applyStyleClass(style, CString(u"tree"));
    putPageFont(page, style);
    const std::optional<StyleValue> sheetColour = std::exchange(style->colorValue, std::nullopt);
    applyInlineStyle(page, style, styleClass);
    std::optional<Color> colour;
    if (style->colorValue) {
        colour = style->getColor();
    } else {
        colour = pageTextColour(page, node);
        style->colorValue = sheetColour;
        if (!colour && sheetColour) colour = style->getColor();
    }

    if (node.intoElem()) {
        while (node.findElem()) buildTreeItem(page, node, nullptr, *tree, colour, 0);
        node.outOfElem();
    }

    tree->setId(getAttribute(node, u"id"));
    tree->setTipText(getAttribute(node, u"tip"));
    tree->setStyle(style);
    return parent ? page.adoptControl(std::move(tree)) : page.registerControl(std::move(tree));
}

}  // namespace zq
