// SoftKeyBar: a screen's soft-key bar and the commands placed on it — the
// left and right labels, the command row between them, and the popup
// command menu that the left soft key opens.
//
// Commands are placed on the soft keys or in the menu:
//
//   right soft key   the BACK, CANCEL or EXIT command of the smallest
//                    priority number (ties: the earlier one)
//   left soft key    "菜单" (opens the menu), or the one command of the menu
//                    when it came there first as "确定选择" or as a right
//                    command that lost its place
//   menu             every other command, by priority number
//
// Labels "确定选择" and "菜单" show as pictures (images\select.png,
// images\menu.png), "返" and "取消" as images\back.png, "退" as
// images\quit.png; other labels as text cut to four characters.
//
// Paint never lays out: the popup menu and its open submenus are laid out
// by layoutMenu() before the paint, whenever it opened, its commands or the screen's layout or
// style changed, or an event reached it since the last layout; paintMenu()
// only draws what that placed.
//
// The bar belongs to one Screen and reads the screen's geometry from it;
// it fires commands and repaints through the screen. UI thread; painting
// holds the screen's soft-key lock.
#pragma once

#include <memory>
#include <vector>

#include "platform/cstring.h"
#include "platform/font.h"
#include "platform/geometry.h"
#include "platform/image.h"
#include "ui/command.h"

namespace zq {

class CommandItem;
class Container;
class GraphicsContext;
class InlineContainer;
class LoadingState;
class Screen;
class Style;

class SoftKeyBar {
public:
    // The bar's switch colour when the style gives none.
    static constexpr Color kDefaultSwitchColor = rgb(192, 192, 192);

    explicit SoftKeyBar(Screen& screen);
    ~SoftKeyBar();
    SoftKeyBar(const SoftKeyBar&) = delete;
    SoftKeyBar& operator=(const SoftKeyBar&) = delete;

    // --- the look, from the screen's style ------------------------------------
    // The bar is filled unless `switchColor` is the no-fill value; labels
    // are drawn in `font`.
    void setLook(Color switchColor, FontRef font);
    // Forgets the cached label pictures (they load again when drawn).
    void dropPictures();

    // --- labels and areas -----------------------------------------------------
    const CString& leftLabel() const { return leftLabel_; }
    const CString& rightLabel() const { return rightLabel_; }
    int leftAreaWidth() const { return leftAreaWidth_; }
    int rightAreaStart() const { return rightAreaStart_; }
    bool inRowArea(int x) const { return x > leftAreaWidth_ && x < rightAreaStart_; }
    // Rebuilds the labels from the commands and the menu state.
    void updateLabels();

    // --- the command row --------------------------------------------------------
    void setCommandItems(std::vector<std::unique_ptr<CommandItem>> items);
    InlineContainer* commandRow() const { return commandRow_.get(); }
    // Measures the row at the screen's width (part of the screen's layout).
    void layoutRow(int width);

    // --- commands ---------------------------------------------------------------
    // Places `command`; false when it was null or already placed (nothing
    // to repaint).
    bool insertCommand(CommandRef command, Style* entryStyle);
    // Adds `command` under `parent`'s entry in the menu; each command once.
    void addSubCommand(const CommandRef& command, const CommandRef& parent, Style* entryStyle);
    // Takes `command` off the soft keys and the menu; the labels stay.
    void dropCommand(const Command* command);
    // With no left command, the menu's only command goes on the left soft
    // key; true when it did.
    bool putSoleCommandOnLeftKey();
    void setItemCommands(const std::vector<CommandRef>& commands);
    void removeItemCommands();
    bool showsCommand(const Command* command) const;
    const std::vector<CommandRef>& commands() const { return commands_; }
    Command* leftCommand() const { return leftCommand_.get(); }
    Command* rightCommand() const { return rightCommand_.get(); }
    Command* preferredOk() const { return preferredOk_.get(); }
    Command* preferredCancel() const { return preferredCancel_.get(); }
    Command* preferredBack() const { return preferredBack_.get(); }

    // --- the popup menu -----------------------------------------------------------
    Container* menu() const { return menu_.get(); }
    bool isMenuOpen() const { return menuOpen_; }
    // Opening focuses the first entry; the screen's busy bit follows.
    void setMenuOpen(bool open);
    // Something the menu's layout depends on may have changed.
    void invalidateMenuLayout() { menuLayoutValid_ = false; }
    // Sizes the entries alike and places the open menu on the bar, when
    // anything changed since the last time.
    void layoutMenu();

    // --- input --------------------------------------------------------------------
    // The released left soft key fires, opens the menu or chooses in it;
    // false when the release goes on to the menu or the content.
    bool releaseLeftKey();
    // Fire the command on that soft key, holding it while it runs.
    void fireLeft() { fire(leftCommand_); }
    void fireRight() { fire(rightCommand_); }
    // A tap in the bar outside the row.
    void press(int x);
    // The row shows its press at once.
    void pressRow(int x, int y);
    void releaseRow(int x, int y);

    // --- painting (under the soft-key lock) ---------------------------------------
    void paint(GraphicsContext& g);
    void paintMenu(GraphicsContext& g);
    // The progress bar along the top of the bar and, when cancelling is
    // allowed, the cancel mark on the right.
    void paintLoadingBar(GraphicsContext& g, const LoadingState& loading);
    // Whether paint() fills the whole bar before drawing on it.
    bool fillsBar() const;

private:
    void ensureMenu();
    void paintLeftLabel(GraphicsContext& g);
    void paintRightLabel(GraphicsContext& g);
    // The cached picture of a picture label; null when it does not load.
    ImageRef labelPicture(const CString& label);
    // Fires `command` through the screen, keeping it alive meanwhile.
    void fire(const CommandRef& command);

    Screen& screen_;

    Color switchColor_;
    FontRef font_;
    CString leftLabel_;
    CString rightLabel_;
    int leftAreaWidth_ = 0;
    int rightAreaStart_ = 0;
    ImageRef menuImage_;
    ImageRef selectImage_;
    ImageRef backImage_;
    ImageRef quitImage_;
    ImageRef removeImage_;
    std::unique_ptr<InlineContainer> commandRow_;
    std::unique_ptr<InlineContainer> retiredRow_;

    std::vector<CommandRef> commands_;  // menu order
    std::unique_ptr<Container> menu_;
    bool menuOpen_ = false;
    bool menuLayoutValid_ = false;
    CommandRef leftCommand_;
    CommandRef rightCommand_;
    CommandRef preferredOk_;
    CommandRef preferredCancel_;
    CommandRef preferredBack_;
    std::vector<CommandRef> itemCommands_;
};

}  // namespace zq
