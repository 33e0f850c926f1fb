#include "markup/command_document.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "core/xml_parser.h"
#include "markup/element_dispatch.h"
#include "markup/markup_page.h"
#include "markup/style_sheet.h"
#include "platform/font.h"
#include "ui/client_context.h"
#include "ui/command_item.h"
#include "ui/default_styles.h"
#include "ui/font_cache.h"
#include "ui/screen.h"
#include "ui/style.h"

namespace zq {

namespace {

constexpr int kCommandPriority = 4;

int gTouchMargin = 0;

bool isCommandItem(const CString& tag) { return tagIs(tag, u"commanditem", u"ci"); }

// The pages of the command documents a page fetched: their listeners and
// command nodes serve the page's screen, so they live as long as the page.
struct CommandDocumentPages : PageState {
    std::vector<std::unique_ptr<MarkupPage>> pages;
};

// The screen's soft-key listener for the document's touch commands, in
// front of the host's; the touch items become the screen's command row.
void attachDocumentCommands(MarkupPage& page, PageHost* host, Screen& screen) {
    auto listener =
        std::make_unique<PageActionListener>(host, host ? host->commandListener() : nullptr);
    for (const std::unique_ptr<CommandNode>& node : page.commandNodes()) {
        if (node && node->getCommand()) {
            listener->addCommandAction(node->getCommand()->getLabel(), node->getAction());
        }
    }
    screen.setCommandListener(page.keepCommandListener(std::move(listener)));
    if (!page.commandItems().empty()) screen.setCommandItems(std::move(page.commandItems()));
    page.commandItems().clear();
}

// Replaces the screen's soft keys by the document's tree (and the
// "stockcode" key of the document, when it has one).
void replaceScreenCommands(MarkupPage& page, Screen& screen, const CommandNode& tree,
                           std::map<CString, CString>* commandMap) {
    // Commands change on the UI thread only, so an open menu is closed
    // rather than waited for.
    if (screen.isPopupMenuOpen()) screen.setPopupMenuOpen(false);
    screen.removeAllCommands();
    if (commandMap) commandMap->clear();
    const std::unique_ptr<CommandNode>& pending = page.pendingCommandTree();
    if (pending && pending->hasContent() && pending->getCommand()) {
        if (commandMap)
            commandMap->emplace(pending->getCommand()->getLabel(), pending->getAction());
        screen.addSubCommand(pending->getCommand(), nullptr, createMenuCommandStyle(), false);
    }
    addCommandTreeToScreen(page, screen, &tree, nullptr);
    if (commandMap) registerCommandTree(*commandMap, &tree);
}

}  // namespace

int touchCommandItemMargin() { return gTouchMargin; }

void updateTouchCommandItemMargin() {
    const ScreenMetrics metrics = screenMetrics();
    const FontRef font = createLargeStyleFont();
    const int keyWidth = font ? font->textWidth(u"键") : 0;
    const int sideBlock = static_cast<int>(metrics.scale * 16.0f) + 4 * keyWidth + 6;
    gTouchMargin = std::max(0, ((metrics.screenWidth - 2 * sideBlock) / 8) / 2);
}

std::unique_ptr<CommandNode> parseCommandItem(MarkupPage& page, XmlParser& node) {
    const CString caption = getAttribute(node, u"caption", u"cp");
    const CString action = getAttribute(node, u"action", u"a");
    const CString styleClass = getAttribute(node, u"class", u"cl");
    CString simple = getAttribute(node, u"simple", u"sp").makeUpper();
    const CString touch = getAttribute(node, u"touch", u"th");

    if (touch.equalsNoCase(u"true")) {
        if (simple.isEmpty()) simple = caption.left(1);
        auto command = std::make_shared<Command>(simple, kCommandScreen, kCommandPriority);
        makeTouchCommandItem(page, std::make_unique<CommandNode>(command, action, styleClass));
        return nullptr;
    }

    auto command = std::make_shared<Command>(caption, kCommandScreen, kCommandPriority);
    auto result = std::make_unique<CommandNode>(command, action, styleClass);
    if (node.intoElem()) {
        while (node.findElem()) {
            // A child that came to nothing still marks this node as a
            // submenu, so a submenu of nothing is dropped with it.
            if (isCommandItem(node.getTagName())) result->addChild(parseCommandItem(page, node));
        }
        node.outOfElem();
    }
    result->collapseSingleChild();
    if (!result->hasContent()) {
        result->clear();
        return nullptr;
    }
    return result;
}

std::unique_ptr<CommandNode> buildCommandTree(MarkupPage& page, XmlParser& node) {
    updateTouchCommandItemMargin();
    auto root = std::make_unique<CommandNode>(nullptr, CString(), CString());
    if (node.intoElem()) {
        while (node.findElem()) {
            if (isCommandItem(node.getTagName())) root->addChild(parseCommandItem(page, node));
        }
        node.outOfElem();
    }
    if (!root->hasContent()) {
        root->clear();
        return nullptr;
    }
    return root;
}

void makeTouchCommandItem(MarkupPage& page, std::unique_ptr<CommandNode> node) {
    if (!node || !node->getCommand()) return;
    const int margin = touchCommandItemMargin();
    Style* style = createCommandItemStyle();
    style->marginLeft = style->marginRight = margin;
    if (Style* nested = style->getStyleProperty(prop::kFocusedStyle)) {
        nested->marginLeft = nested->marginRight = margin;
    }
    auto item = std::make_unique<CommandItem>(node->getCommand(), nullptr, style);
    item->setStyle(applyInlineStyle(page, style, node->getStyleClass()));
    page.commandItems().push_back(std::move(item));
    page.commandNodes().push_back(std::move(node));
}

void addCommandTreeToScreen(MarkupPage& page, Screen& screen, const CommandNode* node,
                            const CommandRef& parent) {
    if (!node || !node->hasContent()) return;
    const CommandRef& command = node->getCommand();
    if (command) {
        Style* style = createMenuCommandStyle();
        applyStyleClass(style, u"commanditem");
        screen.addSubCommand(command, parent, applyInlineStyle(page, style, node->getStyleClass()),
                             false);
    }
    for (size_t i = 0; i < node->getChildCount(); ++i) {
        addCommandTreeToScreen(page, screen, node->getChild(i), command);
    }
}

void registerCommandTree(std::map<CString, CString>& commandMap, const CommandNode* node) {
    if (!node || !node->hasContent()) return;
    if (const CommandRef& command = node->getCommand()) {
        commandMap.emplace(command->getLabel(), node->getAction());
    }
    for (size_t i = 0; i < node->getChildCount(); ++i) {
        registerCommandTree(commandMap, node->getChild(i));
    }
}

void loadCommandDocument(MarkupPage& page, std::string_view bytes, PageHost* host, Screen* screen,
                         std::map<CString, CString>* commandMap) {
    // 1-2. Decode; a Big5 handset only has the characters Big5 holds.
    const size_t end = bytes.find('\0');
    if (end != std::string_view::npos) bytes = bytes.substr(0, end);
    if (!screen || bytes.empty() || bytes.size() > MarkupPage::kMaxPageBytes) return;
    CString text = decodeFetchedText(bytes, host ? host->characterSet() : CString());
    text = resolveEncodeMarkers(host, text);

    // 3. Parse; a text without an element changes nothing.
    XmlParser parser;
    if (!parser.setDoc(text) || !parser.findElem() || !parser.intoElem()) return;

    // 4. The first element's children: the last command tree wins.
    std::unique_ptr<CommandNode>& tree = page.bodyCommandTree();
    tree.reset();
    while (parser.findElem()) {
        const CString tag = parser.getTagName();
        if (tagIs(tag, u"recommand", u"rcmd") || tagIs(tag, u"command", u"cmd")) {
            tree = buildCommandTree(page, parser);
        } else {
            buildElement(page, tag, parser, nullptr);
        }
    }
    parser.outOfElem();

    // 5-6. The screen's soft keys, then the tree is done with.
    const bool replaced = tree && tree->hasContent();
    if (replaced) replaceScreenCommands(page, *screen, *tree, commandMap);
    tree.reset();

    // 7. A document without commands leaves the screen's listener alone.
    if (replaced || !page.commandNodes().empty()) attachDocumentCommands(page, host, *screen);
    screen->repaint();
}

Item* buildScommand(MarkupPage& page, XmlParser& node, Item* /*parent*/) {
    const CString path = getAttribute(node, u"path");
    PageHost* host = page.host();
    Screen* screen = page.screen();
    if (!host || !screen || path.isEmpty()) return nullptr;
    std::string content;
    {
        // Whatever runs while the fetch waits builds no styles of this page.
        const StyleScope elsewhere = StyleScope::shared();
        content = host->loadContent(path);
    }
    if (content.empty()) return nullptr;
    auto document = std::make_unique<MarkupPage>();
    loadCommandDocument(*document, content, host, screen, &page.commandMap());
    page.state<CommandDocumentPages>().pages.push_back(std::move(document));
    return nullptr;
}

}  // namespace zq
