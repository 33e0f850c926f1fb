// The element table: the one place where a zqml element name is mapped to
// the code that builds it, the "body" element (the page's screen), and the
// two listeners that connect built controls and soft keys to the page
// controller's action dispatcher.
//
// Element names compare without regard to case, long name first, then the
// alias; the first row that matches wins, so "te" is a tree, never "time".
// Unknown names build nothing. UI thread.
#pragma once

#include <map>
#include <memory>
#include <string_view>

#include "platform/cstring.h"
#include "ui/command.h"
#include "ui/listeners.h"

namespace zq {

class Form;
class Item;
class Style;
class MarkupPage;
class PageHost;
class XmlParser;

// A control builder: (page, node on the element, enclosing control or null
// at page level) -> the built control, held by the page (registered at page
// level, adopted otherwise), or null.
using ElementBuilder = Item* (*)(MarkupPage& page, XmlParser& node, Item* parent);

// Builds the element the parser is on. Returns the control for control
// rows and null for the others and for unknown names. `extra` reaches only
// the "table" builder.
Item* buildElement(MarkupPage& page, const CString& tagName, XmlParser& node, Item* parent,
                   int extra = 0);

// The "body" element: a Form with the page's controls, soft keys, key
// bindings, marquee and listeners; it becomes the page's screen.
void buildBody(MarkupPage& page, XmlParser& node);

// What "body" and "tabbody" do once their children are built: title, the
// element class then `styleClass` on `style`, the page-level controls, soft
// keys, key bindings and listeners.
void finishPageScreen(MarkupPage& page, Form& form, Style* style, std::u16string_view elementClass,
                      const CString& styleClass);

// Soft-key commands of a screen: a label found in the map runs its action
// through the host; other commands go to the next listener.
class PageActionListener : public CommandListener {
public:
    PageActionListener(PageHost* host, CommandListener* next) : host_(host), next_(next) {}
    // The first action entered for a label is the one that runs.
    void addCommandAction(const CString& label, const CString& action);
    void commandAction(Command* command, Displayable* source) override;

private:
    PageHost* host_;
    CommandListener* next_;
    std::map<CString, CString> actions_;
};

// Item commands: a label found in the map becomes an Event with its action
// for the host; other commands go to the item's previous listener.
class ItemActionListener : public ItemCommandListener {
public:
    ItemActionListener(PageHost* host, ItemCommandListener* next) : host_(host), next_(next) {}
    void commandAction(Command* command, Item* item) override;
    // The first action entered for a label is the one that runs.
    void addCommandAction(const CString& label, const CString& action) override;
    ItemCommandListener* next() const { return next_; }

private:
    PageHost* host_;
    ItemCommandListener* next_;
    std::map<CString, CString> actions_;
};

// One link of a table cell, as the table rows are read.
struct LinkRecord {
    CString styleClass;   // the cell's "class"
    CString name;         // the cell's "name"
    CString action;       // the cell's "onclick"
    CString text;         // the cell's text
    CString columnClass;  // a head cell's "classcolum"; empty for a body cell
};

// Puts a new ItemActionListener in front of the item's listener and enters
// the tree's commands (item commands, or sub-commands of `parentCommand`)
// with their actions. A null item does nothing.
void attachCommandTree(MarkupPage& page, Item* item, const CommandNode* node,
                       const CommandRef& parentCommand);
// The screen's soft-key listener from the page's touch command nodes, in
// front of the host's listener; hands the touch command items to the screen.
void attachPageCommands(MarkupPage& page);
// addCommand, or addSubCommand under `parentCommand`; null item or command
// does nothing.
void addItemCommand(Item* item, const CommandRef& command, const CommandRef& parentCommand);

}  // namespace zq
