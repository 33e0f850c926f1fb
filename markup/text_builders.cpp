#include "markup/text_builders.h"

#include <memory>
#include <string_view>
#include <utility>

#include "core/xml_parser.h"
#include "items/button_item.h"
#include "items/hyperlink_item.h"
#include "items/image_item.h"
#include "items/list_container.h"
#include "items/marquee_item.h"
#include "items/progress_bar_item.h"
#include "items/separator_item.h"
#include "items/string_item.h"
#include "markup/command_document.h"
#include "markup/element_dispatch.h"
#include "markup/image_source.h"
#include "markup/markup_page.h"
#include "markup/style_sheet.h"
#include "ui/client_context.h"
#include "ui/default_styles.h"
#include "ui/empty_container.h"
#include "ui/page_services.h"
#include "ui/style.h"

namespace zq {

namespace {

// The link an "a" element opened, for the "text" elements built inside it.
struct OpenLink {
    CString href;
    CString name;
    CString onclick;
    CString classText;  // the "a" element's own "class"
};

// The links open while an "a" element's children are built, innermost
// last. Each entry lives exactly as long as its "a" builder call.
struct OpenLinks : PageState {
    std::vector<OpenLink> stack;
};

class OpenLinkScope {
public:
    OpenLinkScope(MarkupPage& page, OpenLink link) : links_(page.state<OpenLinks>().stack) {
        links_.push_back(std::move(link));
    }
    ~OpenLinkScope() { links_.pop_back(); }
    OpenLinkScope(const OpenLinkScope&) = delete;
    OpenLinkScope& operator=(const OpenLinkScope&) = delete;

private:
    std::vector<OpenLink>& links_;
};

const OpenLink* innermostLink(MarkupPage& page) {
    const auto& stack = page.state<OpenLinks>().stack;
    return stack.empty() ? nullptr : &stack.back();
}

// Where the element kind's default-sheet rule stands against the page font.
enum class ClassOrder { FontFirst, ClassFirst };

// The layers of a control's look over its default style: page font and
// element-kind rule (in `order`), then the "class" text. Returns the style
// to install.
Style* styleControl(MarkupPage& page, Style* style, std::u16string_view kind,
                    const CString& classText, ClassOrder order) {
    auto pageFont = [&] {
        const FontRef& font = page.pageFont();
        if (!font) return;
        style->font = font;
        if (Style* focused = style->getStyleProperty(prop::kFocusedStyle)) focused->font = font;
    };
    if (order == ClassOrder::FontFirst) pageFont();
    if (!kind.empty()) applyStyleClass(style, CString(kind));
    if (order == ClassOrder::ClassFirst) pageFont();
    return applyInlineStyle(page, style, classText);
}

void applyVisible(Item& item, const CString& visible) {
    if (parseYesNo(visible) == false) item.setVisible(false);
}

// Page level: registered for the form; inside another builder: kept by the
// page until that builder places it.
Item* hand(MarkupPage& page, std::unique_ptr<Item> item, Item* parent) {
    return parent ? page.adoptControl(std::move(item)) : page.registerControl(std::move(item));
}

std::unique_ptr<HyperlinkItem> makeLink(MarkupPage& page, const CString& text, const OpenLink& link,
                                        Style* style) {
    auto item = std::make_unique<HyperlinkItem>(text, link.href, style);
    item->setOnClick(link.onclick);
    item->setId(link.name);
    item->setEventListener(page.host());
    return item;
}

// Places the children of "ul" (and of its "li" entries): links at once,
// texts kept for after.
void collectListEntries(MarkupPage& page, XmlParser& node, ListContainer& list,
                        std::vector<Item*>& texts, Item* placeholder) {
    if (!node.intoElem()) return;
    while (node.findElem()) {
        const CString tag = node.getTagName();
        if (tagIs(tag, u"li")) {
            collectListEntries(page, node, list, texts, placeholder);
        } else if (tagIs(tag, u"text", u"tx")) {
            if (Item* text = buildText(page, node, placeholder)) texts.push_back(text);
        } else if (tagIs(tag, u"a")) {
            for (Item* link : buildLinkItems(page, node)) list.add(page.releaseControl(link));
        }
    }
    node.outOfElem();
}

int listStyleType(const CString& type) {
    static constexpr std::u16string_view kNames[] = {
        u"disc",        u"circle",      u"square",      u"decimal", u"lower-roman",
        u"upper-roman", u"lower-alpha", u"upper-alpha", u"none",    u"img"};
    for (int i = 0; i < static_cast<int>(std::size(kNames)); ++i) {
        if (type.equalsNoCase(CString(kNames[i]))) return i;
    }
    return 0;
}

int scaled(int pixels) {
    return static_cast<int>(static_cast<float>(pixels) * screenMetrics().scale);
}

}  // namespace

Item* buildText(MarkupPage& page, XmlParser& node, Item* parent) {
    const CString id = getAttribute(node, u"id");
    const CString visible = getAttribute(node, u"visible", u"vb");
    const CString classText = getAttribute(node, u"class", u"cl");
    const CString tip = getAttribute(node, u"tip");
    const CString raw = node.getNodeData(node.currentNode());
    CString text = raw;
    if (text.trim().isEmpty()) return nullptr;

    std::unique_ptr<Item> item;
    Style* style = nullptr;
    if (const OpenLink* link = innermostLink(page)) {
        // The link's class first, the text's own over it.
        style = createHyperlinkStyle();
        item = makeLink(page, text, *link, style);
        style = styleControl(page, style, u"a", link->classText, ClassOrder::FontFirst);
        style = applyInlineStyle(page, style, classText);
    } else {
        style = createTextStyle();
        item = std::make_unique<StringItem>(CString(), trimTextIndent(raw), style);
        item->setId(id);
        style = styleControl(page, style, u"text", classText, ClassOrder::ClassFirst);
    }
    item->setTipText(tip);
    item->setStyle(style);
    applyVisible(*item, visible);
    return hand(page, std::move(item), parent);
}

std::vector<Item*> buildLinkItems(MarkupPage& page, XmlParser& node) {
    const OpenLink link{getAttribute(node, u"href", u"hf"), getAttribute(node, u"name", u"n"),
                        getAttribute(node, u"onclick", u"oc"), getAttribute(node, u"class", u"cl")};
    std::vector<Item*> items;

    // 1. The element's own text (blanks count) is the one link, styled like
    //    every link: the sheet's "a" rule, then the element's class.
    const CString ownText = node.getNodeData(node.currentNode());
    if (!ownText.isEmpty()) {
        Style* style = createHyperlinkStyle();
        style = styleControl(page, style, u"a", link.classText, ClassOrder::FontFirst);
        auto item = makeLink(page, ownText, link, style);
        item->setStyle(style);
        items.push_back(page.adoptControl(std::move(item)));
        return items;
    }

    // 2. Otherwise every child, built while the link is open.
    OpenLinkScope open(page, link);
    Item placeholder;
    if (!node.intoElem()) return items;
    while (node.findElem()) {
        const CString tag = node.getTagName();
        if (tagIs(tag, u"a")) {
            std::vector<Item*> inner = buildLinkItems(page, node);
            items.insert(items.end(), inner.begin(), inner.end());
        } else if (Item* built = buildElement(page, tag, node, &placeholder)) {
            items.push_back(built);
        }
    }
    node.outOfElem();
    return items;
}

Item* buildLink(MarkupPage& page, XmlParser& node, Item* parent) {
    std::vector<Item*> items = buildLinkItems(page, node);
    if (!parent) {
        for (Item* item : items) page.registerControl(page.releaseControl(item));
        return nullptr;
    }
    if (items.empty()) return nullptr;
    if (items.size() == 1) return items.front();
    auto row = std::make_unique<InlineContainer>();
    for (Item* item : items) row->add(page.releaseControl(item));
    return page.adoptControl(std::move(row));
}

Item* buildLineBreak(MarkupPage& page, XmlParser& node, Item* parent) {
    const std::optional<int32_t> height = parseDigits(getAttribute(node, u"height", u"h"));
    auto spacer = std::make_unique<Spacer>(page.lineWidth(), height ? clampSize(*height) : 14);
    return hand(page, std::move(spacer), parent);
}

Item* buildRule(MarkupPage& page, XmlParser& node, Item* parent) {
    const std::optional<int32_t> thickness = parseDigits(getAttribute(node, u"thickness", u"tk"));
    const CString id = getAttribute(node, u"id");
    const CString classText = getAttribute(node, u"class", u"cl");
    Style* style = createSeparatorStyle();
    auto rule =
        std::make_unique<SeparatorItem>(0, thickness ? clampSize(*thickness) : 1, 0xFFFFFF, style);
    rule->setId(id);
    rule->setStyle(styleControl(page, style, u"hr", classText, ClassOrder::ClassFirst));
    return hand(page, std::move(rule), parent);
}

Item* buildNoBreak(MarkupPage& page, XmlParser& node, Item* parent) {
    auto row = std::make_unique<InlineContainer>();
    Item placeholder;
    if (node.intoElem()) {
        while (node.findElem()) {
            const CString tag = node.getTagName();
            if (tagIs(tag, u"a")) {
                for (Item* link : buildLinkItems(page, node)) row->add(page.releaseControl(link));
            } else if (Item* built = buildElement(page, tag, node, &placeholder)) {
                row->add(page.releaseControl(built));
            }
        }
        node.outOfElem();
    }
    return hand(page, std::move(row), parent);
}

Item* buildList(MarkupPage& page, XmlParser& node, Item* parent) {
    const CString id = getAttribute(node, u"id");
    CString type = getAttribute(node, u"type", u"t");
    if (type.isEmpty()) type = u"disc";
    const CString classText = getAttribute(node, u"class", u"cl");
    const CString startNumber = getAttribute(node, u"startnumber", u"sn");

    auto list = std::make_unique<ListContainer>();
    Style* style = createListContainerStyle();
    list->setStyle(style);
    list->setStyle(styleControl(page, style, u"ul", classText, ClassOrder::ClassFirst));
    list->setId(id);
    list->setListStyleType(listStyleType(type));
    // Without "startnumber" a decimal list keeps counting from its own start.
    if (!startNumber.isEmpty()) list->setStartNumber(parseIntSaturated(startNumber));

    std::vector<Item*> texts;
    Item placeholder;
    collectListEntries(page, node, *list, texts, &placeholder);
    for (Item* text : texts) list->add(page.releaseControl(text));
    return hand(page, std::move(list), parent);
}

Item* buildButton(MarkupPage& page, XmlParser& node, Item* parent) {
    const CString visible = getAttribute(node, u"visible", u"vb");
    const CString id = getAttribute(node, u"id");
    const CString classText = getAttribute(node, u"class", u"cl");
    const CString caption = getAttribute(node, u"caption", u"cp");
    const CString onclick = getAttribute(node, u"onclick", u"oc");
    const CString tip = getAttribute(node, u"tip");
    const CString onfocus = getAttribute(node, u"onfocus", u"of");
    const CString onlosefocus = getAttribute(node, u"onlosefocus", u"lf");

    // 1. The last "command" child gives the button's soft keys; an earlier
    // tree is freed when a later one replaces it.
    std::unique_ptr<CommandNode> commands;
    if (node.intoElem()) {
        while (node.findElem()) {
            if (tagIs(node.getTagName(), u"command", u"cmd"))
                commands = buildCommandTree(page, node);
        }
        node.outOfElem();
    }

    // 2-3. The button, its look, its actions and its least size.
    Style* style = createButtonStyle();
    auto button = std::make_unique<ButtonItem>(caption, style);
    button->setStyle(styleControl(page, style, u"button", classText, ClassOrder::ClassFirst));
    applyVisible(*button, visible);
    button->setId(id);
    button->setTipText(tip);
    button->setOnClick(onclick);
    button->setFocusAction(onfocus);
    button->setLeaveAction(onlosefocus);
    button->setEventListener(page.host());
    button->setMinWidth(scaled(75));
    button->setMinHeight(scaled(23));

    // 4. Soft keys, then the page.
    attachCommandTree(page, button.get(), commands.get(), nullptr);
    return hand(page, std::move(button), parent);
}

Item* buildProgressBar(MarkupPage& page, XmlParser& node, Item* parent) {
    CString maxValue = getAttribute(node, u"maxvalue", u"mv");
    if (maxValue.isEmpty()) maxValue = u"100";
    CString value = getAttribute(node, u"value", u"v");
    if (value.isEmpty()) value = u"60";
    const CString id = getAttribute(node, u"id");
    const CString classText = getAttribute(node, u"class", u"cl");
    const CString tip = getAttribute(node, u"tip");
    const CString name = getAttribute(node, u"name", u"n");

    Style* style = createProgressBarStyle();
    auto bar = std::make_unique<ProgressBarItem>(CString(), true, parseIntSaturated(maxValue),
                                                 parseIntSaturated(value), style);
    bar->setStyle(styleControl(page, style, u"progressbar", classText, ClassOrder::FontFirst));
    bar->setId(id);
    bar->setTipText(tip);
    bar->setFormName(name);
    return hand(page, std::move(bar), parent);
}

Item* buildMarquee(MarkupPage& page, XmlParser& node, Item* /*parent*/) {
    // 1. The settings may switch marquees off.
    if (page.host() && page.systemValue(CString(u"sys-marquee")).equalsNoCase(CString(u"hide"))) {
        return nullptr;
    }
    // 2. No element-kind rule and no page font: only the "class" text.
    const CString id = getAttribute(node, u"id");
    const CString classText = getAttribute(node, u"class", u"cl");
    const CString defaultText = getAttribute(node, u"defaultStr");
    Style* style = createMarqueeStyle();
    auto marquee = std::make_unique<MarqueeItem>(defaultText, id, style);
    marquee->setStyle(applyInlineStyle(page, style, classText));
    return page.adoptControl(std::move(marquee));
}

Item* buildImage(MarkupPage& page, XmlParser& node, Item* parent) {
    const CString source = getAttribute(node, u"src");
    const CString classText = getAttribute(node, u"class", u"cl");
    const CString tip = getAttribute(node, u"tip");

    // 1. Inside "a": an image link; its picture arrives later through setImage.
    if (const OpenLink* link = innermostLink(page)) {
        Style* style = createHyperlinkStyle();
        auto item = std::make_unique<HyperlinkItem>(node.getNodeData(node.currentNode()),
                                                    link->href, ImageRef(), style);
        item->setOnClick(link->onclick);
        item->setId(link->name);
        item->setEventListener(page.host());
        item->setTipText(tip);
        item->setStyle(styleControl(page, style, u"a", classText, ClassOrder::FontFirst));
        loadImageSource(page, *item, source);
        return hand(page, std::move(item), parent);
    }

    // 2. A plain picture: a remote one is requested when the item is shown
    //    and arrives as a reply of the page (not without a screen to show it).
    const CString address =
        resolvePictureSource(page.host() ? page.host()->baseUrl() : CString(), source);
    const bool remote =
        address.find(CString(u"http://")) >= 0 || address.find(CString(u"https://")) >= 0;
    Style* style = createImageStyle();
    auto image = std::make_unique<ImageItem>(CString(), ImageRef(), 0, CString(u"image"), style,
                                             remote && page.screen() ? address : CString());
    image->setStyle(styleControl(page, style, u"image", classText, ClassOrder::FontFirst));
    if (!remote) {
        loadImageSource(page, *image, source);
    } else if (page.screen()) {
        addReplyDrivenItem(page, *image);
    }
    return hand(page, std::move(image), parent);
}

}  // namespace zq
