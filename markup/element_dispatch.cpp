#include "markup/element_dispatch.h"

#include <array>
#include <string_view>
#include <utility>
#include <vector>

#include "core/xml_parser.h"
#include "market/market_builders.h"
#include "markup/choice_builders.h"
#include "markup/command_document.h"
#include "markup/form_submission.h"
#include "markup/grid_builders.h"
#include "markup/image_source.h"
#include "markup/markup_page.h"
#include "markup/side_effect_builders.h"
#include "markup/style_sheet.h"
#include "markup/tab_builders.h"
#include "markup/table_builders.h"
#include "markup/text_builders.h"
#include "markup/text_field_builders.h"
#include "ui/command_item.h"
#include "ui/default_styles.h"
#include "ui/event.h"
#include "ui/form.h"
#include "ui/item.h"

namespace zq {
namespace {

// What a row of the table does with the element.
enum class Handler {
    Ignored,  // known, builds nothing (also elements of other pages' kinds)
    Style,
    Body,
    TabBody,
    Control,  // a control builder with (page, node, parent)
    Scommand,
    Market,
};

struct ElementRow {
    std::u16string_view name;
    std::u16string_view alias;
    Handler handler;
    ElementBuilder builder = nullptr;
    MarketWidgetKind market = MarketWidgetKind::QuotePanel;
};

// In the order names are tried; the first match wins. Rows of elements
// whose controls the toolkit does not have yet build nothing.
constexpr std::array kElements = {
    ElementRow{u"style", u"sy", Handler::Style},
    ElementRow{u"body", u"by", Handler::Body},
    ElementRow{u"tabbody", u"ty", Handler::TabBody},
    ElementRow{u"head", u"hd", Handler::Control, &buildHead},
    ElementRow{u"session", u"se", Handler::Control, &buildSession},
    ElementRow{u"button", u"bt", Handler::Control, &buildButton},
    ElementRow{u"text", u"tx", Handler::Control, &buildText},
    ElementRow{u"progressbar", u"", Handler::Control, &buildProgressBar},
    ElementRow{u"choicegroup", u"cg", Handler::Control, &buildChoiceGroup},
    ElementRow{u"singlelinechoicegroup", u"scg", Handler::Control, &buildSingleLineChoiceGroup},
    ElementRow{u"tab", u"", Handler::Control, &buildTab},
    ElementRow{u"tree", u"te", Handler::Control, &buildTree},
    ElementRow{u"a", u"", Handler::Control, &buildLink},
    ElementRow{u"grilmenu", u"gm", Handler::Control, &buildGridMenu},
    ElementRow{u"simpletable", u"sta", Handler::Control, &buildSimpleTable},
    ElementRow{u"table", u"ta", Handler::Control, &buildTable},
    ElementRow{u"edit", u"ed", Handler::Control, &buildEdit},
    ElementRow{u"combobox", u"cmb", Handler::Control, &buildComboBox},
    ElementRow{u"ul", u"", Handler::Control, &buildList},
    ElementRow{u"nobr", u"nbr", Handler::Control, &buildNoBreak},
    ElementRow{u"br", u"", Handler::Control, &buildLineBreak},
    ElementRow{u"hr", u"", Handler::Control, &buildRule},
    ElementRow{u"form", u"f", Handler::Control, &buildForm},
    ElementRow{u"img", u"", Handler::Control, &buildImage},
    ElementRow{u"save", u"sv", Handler::Control, &buildSave},
    ElementRow{u"fs", u"", Handler::Ignored},
    ElementRow{u"kline", u"kl", Handler::Market, nullptr, MarketWidgetKind::KLine},
    ElementRow{u"add", u"", Handler::Control, &buildAdd},
    ElementRow{u"stockcode", u"sc", Handler::Control, &buildStockCode},
    ElementRow{u"des", u"", Handler::Control, &buildDes},
    ElementRow{u"down", u"do", Handler::Control, &buildDown},
    ElementRow{u"autodown", u"ad", Handler::Control, &buildAutoDown},
    ElementRow{u"saveuser", u"su", Handler::Control, &buildSaveUser},
    ElementRow{u"marquee", u"mq", Handler::Control, &buildMarquee},
    ElementRow{u"marqueeUpdate", u"mqd", Handler::Control, &buildMarqueeUpdate},
    ElementRow{u"padindex", u"pd", Handler::Market, nullptr, MarketWidgetKind::IndexTable},
    ElementRow{u"mychoose", u"mc", Handler::Market, nullptr, MarketWidgetKind::WatchListTable},
    ElementRow{u"tableconfig", u"tc", Handler::Market, nullptr, MarketWidgetKind::ColumnTable},
    ElementRow{u"stockTop", u"st", Handler::Market, nullptr, MarketWidgetKind::Ranking},
    ElementRow{u"price", u"pc", Handler::Market, nullptr, MarketWidgetKind::QuotePanel},
    ElementRow{u"datafs", u"df", Handler::Market, nullptr, MarketWidgetKind::MinuteLine},
    ElementRow{u"datakline", u"dk", Handler::Market, nullptr, MarketWidgetKind::KLineChart},
    ElementRow{u"detailed", u"dt", Handler::Market, nullptr, MarketWidgetKind::TickDetail},
    ElementRow{u"trust", u"ts", Handler::Market, nullptr, MarketWidgetKind::OrderBook},
    ElementRow{u"futureindex", u"fi", Handler::Market, nullptr, MarketWidgetKind::FuturesTable},
    ElementRow{u"futuredetail", u"fd", Handler::Market, nullptr, MarketWidgetKind::TickDetail},
    ElementRow{u"futurefs", u"ffs", Handler::Market, nullptr, MarketWidgetKind::MinuteLine},
    ElementRow{u"futureprice", u"fpc", Handler::Market, nullptr, MarketWidgetKind::QuotePanel},
    ElementRow{u"scommand", u"scom", Handler::Scommand},
    ElementRow{u"memsave", u"me", Handler::Control, &buildMemSave},
    ElementRow{u"redirectfile", u"rf", Handler::Control, &buildRedirectFile},
    ElementRow{u"key", u"", Handler::Control, &buildKey},
    ElementRow{u"affixImg", u"", Handler::Control, &buildAffixImage},
    ElementRow{u"fund", u"", Handler::Market, nullptr, MarketWidgetKind::FundChart},
    ElementRow{u"hostset", u"", Handler::Control, &buildHostSet},
    ElementRow{u"loginstatus", u"ls", Handler::Control, &buildLoginStatus},
    ElementRow{u"recentbrowser", u"rb", Handler::Market, nullptr, MarketWidgetKind::RecentStocks},
    ElementRow{u"addrecent", u"acb", Handler::Control, &buildAddRecent},
};

const ElementRow* findRow(const CString& tagName) {
    for (const ElementRow& row : kElements) {
        if (tagIs(tagName, row.name, row.alias)) return &row;
    }
    return nullptr;
}

// A market widget: an empty item, named and placed like any control.
Item* buildMarket(MarkupPage& page, XmlParser& node, Item* parent, MarketWidgetKind kind) {
    std::unique_ptr<Item> widget = buildMarketWidget(kind);
    widget->setId(getAttribute(node, u"id"));
    return parent ? page.adoptControl(std::move(widget)) : page.registerControl(std::move(widget));
}

// Set while a "body" is being built: a "body" inside it builds nothing, so
// the Form being filled is never replaced under its builder.
struct BodyState : PageState {
    bool building = false;
};

void addCommandEntries(PageActionListener& listener, const CommandNode* node) {
    if (node && node->getCommand()) {
        listener.addCommandAction(node->getCommand()->getLabel(), node->getAction());
    }
}

void attachNode(ItemActionListener& listener, Item* item, const CommandNode* node,
                const CommandRef& parentCommand) {
    if (!node || !node->hasContent()) return;
    const CommandRef& command = node->getCommand();
    if (command) {
        addItemCommand(item, command, parentCommand);
        listener.addCommandAction(command->getLabel(), node->getAction());
    }
    for (size_t i = 0; i < node->getChildCount(); ++i) {
        attachNode(listener, item, node->getChild(i), command);
    }
}

}  // namespace

Item* buildElement(MarkupPage& page, const CString& tagName, XmlParser& node, Item* parent,
                   int /*extra*/) {
    const ElementRow* row = findRow(tagName);
    if (!row) return nullptr;
    switch (row->handler) {
        case Handler::Ignored:
            return nullptr;
        case Handler::Style:
            buildStyleElement(page, node);
            return nullptr;
        case Handler::Body:
            buildBody(page, node);
            return nullptr;
        case Handler::TabBody: {
            // Like "body": never replaces the screen being filled.
            BodyState& state = page.state<BodyState>();
            if (state.building) return nullptr;
            state.building = true;
            buildTabBody(page, node);
            state.building = false;
            return nullptr;
        }
        case Handler::Control: {
            Item* item = row->builder(page, node, parent);
            // A page-level "a" registers its own items and answers nothing.
            return tagIs(tagName, u"a") ? nullptr : item;
        }
        case Handler::Scommand:
            return buildScommand(page, node, parent);
        case Handler::Market:
            return buildMarket(page, node, parent, row->market);
    }
    return nullptr;
}

void buildBody(MarkupPage& page, XmlParser& node) {
    BodyState& state = page.state<BodyState>();
    if (state.building) return;
    state.building = true;

    // 1-2. The Form, its class and the page's load actions.
    Style* style = createFormStyle();
    page.setForm(std::make_unique<Form>(CString(), style));
    Form& form = *page.form();
    CString styleClass = getAttribute(node, u"class", u"cl");
    page.setLoadActions(getAttribute(node, u"onload", u"on"),
                        getAttribute(node, u"unonload", u"un"));
    page.bodyCommandTree().reset();

    // 3. The children: a "command" is the body's soft-key tree and a
    // "marquee" the screen's marquee (the last one of each wins, earlier
    // ones are freed), everything else is an element of the page.
    std::unique_ptr<Item> marquee;
    if (node.intoElem()) {
        while (node.findElem()) {
            CString tag = node.getTagName();
            if (tagIs(tag, u"command", u"cmd")) {
                page.bodyCommandTree() = buildCommandTree(page, node);
            } else if (tagIs(tag, u"marquee", u"mq")) {
                if (Item* built = buildMarquee(page, node, nullptr)) {
                    marquee = page.releaseControl(built);
                }
            } else {
                buildElement(page, tag, node, nullptr, 0);
            }
        }
        node.outOfElem();
    }

    if (marquee) form.setMarquee(std::move(marquee));
    finishPageScreen(page, form, style, u"body", styleClass);
    enterPageWatchList(page, WatchListEntry::KeepExisting);
    state.building = false;
}

void finishPageScreen(MarkupPage& page, Form& form, Style* style, std::u16string_view elementClass,
                      const CString& styleClass) {
    // Title and style.
    if (!page.title().isEmpty()) form.setHeaderText(page.title());
    applyStyleClass(style, CString(elementClass));
    applyInlineStyle(page, style, styleClass);
    form.setStyle(style);

    // The controls built at page level, in build order.
    for (std::unique_ptr<Item>& control : page.releaseControls()) form.append(std::move(control));

    // Soft keys: the "stockcode" key first, then the body's tree.
    const std::unique_ptr<CommandNode>& pending = page.pendingCommandTree();
    if (pending && pending->hasContent() && pending->getCommand()) {
        page.commandMap().emplace(pending->getCommand()->getLabel(), pending->getAction());
        form.addSubCommand(pending->getCommand(), nullptr, createMenuCommandStyle(), false);
    }
    if (const CommandNode* tree = page.bodyCommandTree().get()) {
        addCommandTreeToScreen(page, form, tree, nullptr);
        registerCommandTree(page.commandMap(), tree);
    }

    // Key bindings and listeners.
    for (const auto& [key, action] : page.keyBindings()) form.addKeyBinding(key, action);
    form.setEventListener(page.host());
    form.setCommandListener(page.host() ? page.host()->commandListener() : nullptr);
    attachPageCommands(page);
    // Remote pictures of the page answer as replies to this list.
    registerReplyDrivenItems(page);
}

// --- listeners -----------------------------------------------------------------------

void PageActionListener::addCommandAction(const CString& label, const CString& action) {
    actions_.emplace(label, action);
}

void PageActionListener::commandAction(Command* command, Displayable* source) {
    if (!command) return;
    auto found = actions_.find(command->getLabel());
    if (found != actions_.end() && host_) {
        host_->runAction(found->second);
        return;
    }
    if (next_) next_->commandAction(command, source);
}

void ItemActionListener::addCommandAction(const CString& label, const CString& action) {
    actions_.emplace(label, action);
}

void ItemActionListener::commandAction(Command* command, Item* item) {
    if (!command) return;
    auto found = actions_.find(command->getLabel());
    if (found != actions_.end() && host_) {
        host_->onEvent(std::make_unique<Event>(found->second, item));
        return;
    }
    if (next_) next_->commandAction(command, item);
}

// --- attaching commands ----------------------------------------------------------------

void attachCommandTree(MarkupPage& page, Item* item, const CommandNode* node,
                       const CommandRef& parentCommand) {
    if (!item) return;
    auto* listener = page.keepListener(
        std::make_unique<ItemActionListener>(page.host(), item->getItemCommandListener()));
    item->setItemCommandListener(listener);
    attachNode(*listener, item, node, parentCommand);
}

void attachPageCommands(MarkupPage& page) {
    Screen* screen = page.screen();
    if (!screen) return;
    PageHost* host = page.host();
    auto listener =
        std::make_unique<PageActionListener>(host, host ? host->commandListener() : nullptr);
    for (const std::unique_ptr<CommandNode>& node : page.commandNodes()) {
        addCommandEntries(*listener, node.get());
    }
    screen->setCommandListener(page.keepCommandListener(std::move(listener)));
    if (!page.commandItems().empty()) screen->setCommandItems(std::move(page.commandItems()));
    page.commandItems().clear();
}

void addItemCommand(Item* item, const CommandRef& command, const CommandRef& parentCommand) {
    if (!item || !command) return;
    if (parentCommand) {
        item->addSubCommand(command, parentCommand);
    } else {
        item->addCommand(command);
    }
}

}  // namespace zq
