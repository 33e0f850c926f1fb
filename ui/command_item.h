// CommandItem: one entry of a screen's popup command menu or of a page's
// command row in the soft-key bar. It shows its command's label and may
// open a submenu of further entries beside itself; choosing an entry fires
// its command through the screen (Screen::fireCommand).
//
// The entry draws its label on one line itself (ui/ cannot build on the
// page items' text item). An entry with a submenu draws an arrow at its
// right end: the style's arrow picture (property 146), else a small
// triangle in the text colour.
//
//   +------------------------+
//   | 行情              >    |  entry with a submenu
//   +------------------------+ +-----------+
//                              | 1 沪深    |  the open submenu, beside
//                              | 2 港股    |  the entry (or to its left
//                              +-----------+  near the screen's edge)
//
// Keys on an open submenu: UP/DOWN move inside it, the digits 1-9 choose
// the entry of that number (only entries that exist), LEFT closes it.
//
// Ownership: the entry owns its submenu (and so its sub-entries); the
// command is shared (CommandRef); styles are borrowed. UI thread only.
#pragma once

#include <memory>

#include "platform/cstring.h"
#include "platform/font.h"
#include "platform/geometry.h"
#include "platform/image.h"
#include "ui/command.h"
#include "ui/item.h"

namespace zq {

class Container;

// The look of menu entries and of the popup menu, built once (per
// generation of tracked styles) and shared by every screen.
Style* menuEntryStyle();
Style* popupMenuStyle();
// The popup menu's look on a screen whose style names a soft-key menu
// background or text colour (a page's "menu-bgc", "menu-fcolor"); the
// shared popupMenuStyle() when it names neither. Shared per colour pair.
Style* popupMenuStyle(const Style* screenStyle);

class CommandItem : public Item {
public:
    static constexpr int kArrowSize = 10;

    // Shows `command`'s label in `style` (null: menuEntryStyle()). `parent`
    // may be null; the container that adopts the entry sets it again.
    CommandItem(CommandRef command, Item* parent, Style* style);
    ~CommandItem() override;

    // Font and text colour; with a submenu also the arrow picture.
    void setStyle(Style* style) override;
    void initContent(int firstLineWidth, int lineWidth) override;
    // The label, the arrow, and an open submenu beside the entry.
    void paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) override;
    bool keyPressed(int keyCode, int gameAction) override;
    bool keyReleased(int keyCode, int gameAction) override;
    // Once per press: on a screen with a popup menu, an entry whose pressed
    // style differs in colour from the popup look shows the pressed style
    // and keeps the popup look (built once per entry) to return to.
    bool selectPressed() override;
    // An open submenu takes the point first; a press it refuses closes it.
    bool pointerPressed(int x, int y) override;
    bool pointerReleased(int x, int y) override;
    void showNotify() override {}
    // Closes the submenu.
    void hideNotify() override;
    CString getText() const override;

    // Adds an entry for `command` to the submenu (made on first use),
    // before the first entry of a larger priority number. Returns it.
    CommandItem* addSubCommand(CommandRef command, Style* style);
    // The entry of `command` in the submenu, depth first; null when none.
    CommandItem* findCommandItem(const Command* command) const;
    // Opening shows and focuses the submenu; closing defocuses it and
    // brings its focus and scroll offset back to the first entry.
    void setSubmenuOpen(bool open);
    bool isSubmenuOpen() const { return submenuOpen_; }
    bool hasSubmenu() const { return submenu_ != nullptr; }
    Container* getSubmenu() const { return submenu_.get(); }
    Command* getCommand() const { return command_.get(); }
    const CommandRef& commandRef() const { return command_; }
    // Where the open submenu was last painted, relative to the entry.
    Point submenuOffset() const { return submenuOffset_; }
    // Lays out the open submenu and the open submenus inside it, entries
    // made equally wide; part of the menu's layout, before any paint.
    void layoutOpenSubmenus();

private:
    // The submenu's entry `digit` (1-9), or null.
    CommandItem* numberedEntry(int keyCode) const;
    // Places the laid-out submenu beside the entry drawn at (itemX, itemY).
    void placeSubmenu(int itemX, int itemY);
    void paintArrow(int right, int y, GraphicsContext& g);

    CommandRef command_;
    std::unique_ptr<Container> submenu_;
    FontRef font_;
    Color textColor_ = 0;
    ImageRef arrowImage_;
    int arrowWidth_ = kArrowSize;
    int arrowTop_ = 0;
    int arrowHeight_ = kArrowSize;
    bool submenuOpen_ = false;
    Point submenuOffset_;
    Style* popupLook_ = nullptr;  // built at the first press that needs it
};

// The entry as a CommandItem; null for other items.
CommandItem* asCommandItem(Item* item);

}  // namespace zq
