// Command trees of zqml: "commanditem" elements (alias "ci") inside a
// "command" element (alias "cmd") become soft-key Commands in the screen's
// menus, or, with "touch" set, touch CommandItems in the screen's command
// row. Command documents (fetched by "scommand") replace the soft keys of
// the screen that is already shown.
//
// Every command made here has command type 1 and priority 4; its label is
// the key under which its action is found.
//
// Ownership: trees come back as unique_ptr; the caller keeps them (the
// page's body command tree) or hands them on. Touch command nodes and their
// CommandItems go to the page (MarkupPage::commandNodes / commandItems).
//
// Threads: UI thread, like the pages the trees belong to.
#pragma once

#include <map>
#include <memory>
#include <string_view>

#include "platform/cstring.h"
#include "ui/command.h"

namespace zq {

class Item;
class MarkupPage;
class PageHost;
class Screen;
class XmlParser;

// Left and right margin of every touch command item, in pixels, recomputed
// by each buildCommandTree from the screen metrics and the large font:
// ((screen width - 2 * (trunc(scale * 16) + 4 * w + 6)) / 8) / 2, w being
// the width of "键".
int touchCommandItemMargin();
void updateTouchCommandItemMargin();

// One "commanditem" element (the parser on it). A touch item goes to the
// page through makeTouchCommandItem and gives null; so does an item with
// neither a command nor children.
std::unique_ptr<CommandNode> parseCommandItem(MarkupPage& page, XmlParser& node);

// The tree of a "command" element (or a command document's "recommand"):
// a root without command holding the parsed "commanditem" children; null
// when nothing came of them.
std::unique_ptr<CommandNode> buildCommandTree(MarkupPage& page, XmlParser& node);

// The touch CommandItem of a node, styled by the node's class; the node
// and the item go to the page. A node without command is dropped.
void makeTouchCommandItem(MarkupPage& page, std::unique_ptr<CommandNode> node);

// Adds every command of the tree to the screen's soft-key menus under
// `parent` (top level when null), each entry styled as a "commanditem"
// and then by its node's class.
void addCommandTreeToScreen(MarkupPage& page, Screen& screen, const CommandNode* node,
                            const CommandRef& parent);

// Enters (label, action) of every command of the tree in `commandMap`; an
// existing label keeps its action.
void registerCommandTree(std::map<CString, CString>& commandMap, const CommandNode* node);

// Loads a command document (UTF-8 bytes, up to the first zero byte) into
// `screen`, the shown screen of the page's history entry:
// "command"/"cmd"/"recommand"/"rcmd" children replace the screen's soft
// keys (the last one wins) and `commandMap` (the entry's label -> action
// map, may be null); other children are built like page elements. Nothing
// changes without a screen, without an element, or without commands in
// it. `page` is a fresh page for the document; it must outlive the
// commands it puts on the screen.
void loadCommandDocument(MarkupPage& page, std::string_view bytes, PageHost* host, Screen* screen,
                         std::map<CString, CString>* commandMap);

// The "scommand" element (alias "scom"): fetches the document its "path"
// names through the page's host and loads it into the page's screen while
// that screen still shows the page. The document's page is kept by the
// page that fetched it. Always null.
Item* buildScommand(MarkupPage& page, XmlParser& node, Item* parent);

}  // namespace zq
