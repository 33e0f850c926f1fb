// Item: the base of every element of a page (text, icons, links, buttons,
// choice groups, text fields, tables) and of the containers holding them.
//
// The box, outside in: margins, border, paddings, content. An optional label
// (a text item owned by the item) stands beside the content or above it.
// Coordinates are back-buffer pixels; relativeX/Y place the item inside its
// parent's content area, contentX/Y place the content inside the item.
//
// Layout and painting are separate passes: init() (through initContent())
// sizes the item for a line width, paint() draws what the last init found
// and lays out neither the item nor its children, so a paint can never move
// what the user sees mid-frame. Layout runs first: the screen lays out what
// asked for it before it paints, and a child that drops its layout while it
// handles an event is laid out when the event has passed
// (ChildList::LayoutAfterEvent); what an item lays out beside its content
// (a drop-down list) it lays out in layoutDone() and after its own events.
//
// Ownership: a container owns its children (std::unique_ptr); children keep
// a plain parent pointer. An item owns its label and any item view it had
// to clone; styles, screens and listeners are borrowed. Commands are shared
// (CommandRef). Items live on the UI thread.
//
// Screen and ticker: an item reaches its screen through its parents (a top
// item holds it) and ticks on that screen's ticker. An item that leaves its
// container without being destroyed (Container::set hands it back) forgets
// its parent and screen and leaves the ticker (leaveContainer), so it never
// reaches a screen it no longer belongs to. Whoever keeps an item beyond
// the call that used it holds it as an ItemRef.
#pragma once

#include <climits>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "platform/cstring.h"
#include "platform/font.h"
#include "platform/image.h"
#include "ui/client_context.h"
#include "ui/command.h"
#include "ui/item_ticker.h"
#include "ui/weak_ref.h"

namespace zq {

class Background;
class Border;
class Container;
class EventListener;
class GraphicsContext;
class Item;
class ItemCommandListener;
class ItemStateListener;
class ItemView;
class Screen;
class Style;

// Layout flags of the word Item::getLayout(); row layouts read more bits.
// Pages and style sheets give the word as a number, so the bits are fixed.
constexpr uint32_t kLayoutLeft = 0x1;  // the default; set to say so explicitly
constexpr uint32_t kLayoutRight = 0x2;
constexpr uint32_t kLayoutCenter = 0x4;  // wins over kLayoutRight
constexpr uint32_t kLayoutTop = 0x10;
constexpr uint32_t kLayoutBottom = 0x20;  // both vertical bits: centred
constexpr uint32_t kLayoutVCenter = kLayoutTop | kLayoutBottom;
constexpr uint32_t kLayoutNewLineBefore = 0x100;
constexpr uint32_t kLayoutNewLineAfter = 0x200;  // on a label: the label goes above
constexpr uint32_t kLayoutShrink = 0x400;        // on a screen: fit the content's width
constexpr uint32_t kLayoutExpand = 0x800;
constexpr uint32_t kLayoutFitHeight = 0x1000;  // on a screen: fit the content's height
// On the item that closes a row: the row sits right below the content so
// far, without the vertical gap.
constexpr uint32_t kLayoutNoRowGap = 0x2000;

// Where an item `width` wide stands in a line `lineWidth` wide by the
// alignment bits of `layout`: its offset from the line's left. Layouts place
// their children by it and an item painted in a line is moved by it, so an
// item is hit where it is drawn.
int alignedOffset(uint32_t layout, int lineWidth, int width);
// Whether `layout` moves an item away from the left of its line.
inline bool isAlignedLayout(uint32_t layout) {
    return (layout & (kLayoutCenter | kLayoutRight)) != 0;
}

// Appearance modes (Item::getAppearanceMode). Only plain versus the rest is
// acted on: a plain item is skipped by focus and ignores select and pointer;
// the other values say which kind of item is interactive and behave alike.
constexpr int kAppearancePlain = 0;
// Icon rows, text fields, and a plain item once it gains a command.
constexpr int kAppearanceInteractive = 1;
// The tab bar and the fixed-head table, which move their own selection.
constexpr int kAppearanceNavigable = 2;
// Controls (buttons, links, choices, menus) and containers with an
// interactive child.
constexpr int kAppearanceControl = 3;

// Game actions as the Display delivers them with a key code.
enum GameAction : int {
    kGameNone = 0,
    kGameUp = 1,
    kGameLeft = 2,
    kGameRight = 5,
    kGameDown = 6,
    kGameFire = 8,
};

// The digit 5 carries FIRE on the keypad; items leave it to text entry.
constexpr int kKeyDigitFive = 53;

// What an item needs of the screen that shows it. Screen implements it; a
// top-level item holds one (setScreen), the others reach it through their
// parents (getScreen).
class ItemScreen {
public:
    // Shown while the focused item has a tip; stored only when it differs
    // (compared without regard to case).
    virtual void setTipText(const CString& text) = 0;
    // Hands a command to the screen's command handling.
    virtual void fireCommand(Command* command) = 0;
    virtual void removeCommand(Command* command) = 0;
    // The commands the focused item and its ancestors contribute; replaces
    // the earlier contribution. `commands` is only read during the call.
    virtual void setItemCommands(const std::vector<CommandRef>& commands, Item* item) = 0;
    // A command under another command's menu entry (top level when parent
    // is null). A null entry style means the screen's default entry style.
    virtual void addSubCommand(const CommandRef& command, const CommandRef& parent,
                               Style* entryStyle, bool repaint) = 0;
    // Drops every command the focused item contributed.
    virtual void removeItemCommands() = 0;
    // Passes a state change on to the screen's item-state listener.
    virtual void itemStateChanged(Item* item) = 0;
    // An item's size changed: lay the screen out again before its next paint.
    virtual void setRelayoutNeeded() = 0;
    // Position of `control` in the screen's control list (the items waiting
    // for reply data); -1 when the list does not hold it.
    virtual int indexOfControl(const Item* /*control*/) const { return -1; }
    // `item` shows a pressed look while the pen is down; the screen repaints
    // it when the pen is lifted, wherever that is, unless it was removed or
    // destroyed by then.
    virtual void setPressedItem(Item* /*item*/) {}
    // Paints `item` at once where it was last painted, inside the part of
    // the screen that shows it (a content item never over the status line
    // or the soft-key bar). Nothing while the screen is not shown.
    virtual void repaintItemNow(Item& /*item*/) {}

protected:
    ~ItemScreen() = default;
};

// What an item needs of the container that holds it. Container implements
// it and returns itself from Item::asContainer().
class ItemContainer {
public:
    // Position of `child` among the children, found by identity; -1 when
    // it is not a child.
    virtual int indexOfChild(const Item* child) const = 0;
    virtual int getFocusedIndex() const = 0;
    virtual Item* getFocusedItem() const = 0;
    // Focuses the interactive child nearest to `index` (searching down to
    // 0 first, then up); false when there is none.
    virtual bool focusClosestItem(int index) = 0;
    // The scroll offset of the scrolling container (this one or the
    // nearest scrolling ancestor); 0 or negative.
    virtual int getScrollYOffset() const = 0;
    virtual void setScrollYOffset(int offset, bool smooth) = 0;
    virtual void scrollToItem(int gameAction, Item* item) = 0;

protected:
    ~ItemContainer() = default;
};

// The area the screen's animation step repaints: each add() only moves the
// bounds outward.
struct DirtyRect {
    int32_t left = INT32_MAX;
    int32_t top = INT32_MAX;
    int32_t right = INT32_MIN;
    int32_t bottom = INT32_MIN;
    int32_t changed = 0;

    void add(int32_t x, int32_t y, int32_t w, int32_t h);
};

// The style focus() falls back to when neither the item nor an ancestor
// names a focused style; containers compare against it.
Style* defaultFocusedStyle();

using ItemRef = WeakRef<Item>;

class Item : public TickTarget {
public:
    Item();
    explicit Item(Style* style);
    // The style is kept, not applied: the first init() applies it.
    Item(const CString& label, uint32_t layout, int appearanceMode, Style* style);
    ~Item() override;
    Item(const Item&) = delete;
    Item& operator=(const Item&) = delete;

    // --- the overridable interface ---------------------------------------
    // The width the label takes beside the content, given its own width.
    virtual int getLabelWidth(int width) { return width; }
    // Applies a style: layout flags, spacings, background, border, focused
    // and pressed styles, item view. Invalidates the layout.
    virtual void setStyle(Style* style);
    // Adds a soft-key command (once); a plain item becomes interactive.
    virtual void addCommand(CommandRef command);
    // The background inset by the border width when there is a border,
    // then the border over the whole area.
    virtual void paintBackground(int x, int y, int w, int h, GraphicsContext& g);
    // A new picture for items that show one; the base ignores it.
    virtual void setImage(ImageRef image);
    // Sets contentWidth_ and contentHeight_ for the given line widths.
    virtual void initContent(int firstLineWidth, int lineWidth);
    // Called at the end of every layout of the item, its size known: for
    // what the item lays out beside its content (a drop-down list).
    virtual void layoutDone() {}
    // Paints the content with its top-left at (x, y) on a line bounded by
    // leftBorder and rightBorder.
    virtual void paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g);
    // Key and pointer input; true when the item used it. Pointer points are
    // relative to the item's origin.
    virtual bool keyPressed(int keyCode, int gameAction);
    virtual bool keyRepeated(int keyCode, int gameAction);
    virtual bool keyReleased(int keyCode, int gameAction);
    // Text typed on a desktop keyboard or committed by an input method;
    // true when the item took it. Only a text input takes it.
    virtual bool textTyped(const CString& /*text*/) { return false; }
    virtual bool selectPressed();
    virtual void selectReleased();
    virtual bool pointerDragged(int x, int y);
    virtual bool pointerPressed(int x, int y);
    virtual bool pointerReleased(int x, int y);
    // The screen's animation step; true when the item must be repainted.
    virtual bool animate();
    int onTimer() override;
    void tickerGone(TickerThread& ticker) override;
    // Applies the focused style (own, else `focusStyle`, else inherited)
    // and returns the style in force before, for defocus to restore.
    virtual Style* focus(Style* focusStyle, int direction);
    // Appends the item's commands and hands the list up to the parent, or
    // for a top item to its screen.
    virtual void collectCommands(std::vector<CommandRef>& commands);
    virtual void updateCommands();
    // Passes one of the item's own commands (or a sub-command) to the item's
    // command listener; false when it is not the item's.
    virtual bool handleCommand(Command* command);
    virtual void defocus(Style* normalStyle);
    // A control whose focus moves between parts of its own (a tree node's
    // header and open children): the part that holds it; null for others.
    virtual Item* focusedPart() const { return nullptr; }
    // Where the keys act inside a control whose focus moves within it (a
    // table's focused row), from the control's top; false for the whole.
    virtual bool focusedPartRows(int& top, int& bottom) const {
        (void)top;
        (void)bottom;
        return false;
    }
    // Gives the focus to the first part drawn between `top` and `bottom`
    // (from the control's top), or keeps it on one seen there; false when
    // none is.
    virtual bool focusPartWithin(int top, int bottom) {
        (void)top;
        (void)bottom;
        return false;
    }
    virtual void showNotify();
    virtual void hideNotify();
    // This item when its identifier equals `id` without regard to case.
    virtual Item* getItemByName(const CString& id);
    virtual void setOnScreen(bool onScreen) { onScreen_ = onScreen; }
    // The text of items that show one (text items, the label); the base
    // has none.
    virtual CString getText() const;
    virtual void setText(const CString& text);
    // Non-null for containers.
    virtual ItemContainer* asContainer() { return nullptr; }
    // Invalidates the layout of the item and everything below it; holders
    // of children (containers, tab bars) reach every descendant.
    virtual void requestFullInit() { requestInit(); }
    // Kinds the containers treat apart, so that ui/ need not know items/.
    virtual bool isTabItem() const { return false; }
    virtual bool isTabBar() const { return false; }
    virtual bool isFixTableItem() const { return false; }
    virtual bool isHyperlinkItem() const { return false; }

    // --- layout ------------------------------------------------------------
    // Computes the outer size for a first line and the following lines.
    void init(int firstLineWidth, int lineWidth);
    // init() when the item is not laid out or is wider than the line.
    void ensureLayout(int x, int leftBorder, int rightBorder);
    // The cached size, laying the item out first when needed.
    int getItemWidth(int firstLineWidth, int lineWidth);
    int getItemHeight(int firstLineWidth, int lineWidth);
    // Invalidates the layout of the item and its ancestors and tells the
    // screen.
    void requestInit();
    void setLayout(uint32_t flags);
    uint32_t getLayout() const { return layout_; }

    // --- painting ----------------------------------------------------------
    // Draws label, background, border and content at (x, y). With
    // `remember` the arguments are kept (getLastPaint*).
    void paint(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g,
               bool remember = false);
    // Paints the item where its parent's layout placed it: at parentX +
    // relativeX. An aligned item has its line's room already in relativeX,
    // so its own box is its line; the others keep the given borders.
    void paintPlaced(int parentX, int y, int leftBorder, int rightBorder, GraphicsContext& g);
    // The label's animation, the parts' (animateParts), then the item's;
    // adds the rectangle the item was last painted in (screen pixels) to
    // `dirty` when it must be repainted.
    void animateAll(DirtyRect& dirty);
    // Runs animateAll on the items this one shows inside it (a container's
    // children, a tree node's header and open children). Nothing by default.
    virtual void animateParts(DirtyRect& /*dirty*/) {}

    // --- commands, listeners, events ---------------------------------------
    // Removes `command` and, when its id is not -1, every command with the
    // same id; the default command goes too when it matches. Commands are
    // shared: none is modified.
    void removeCommand(const Command* command);
    void addSubCommand(CommandRef child, CommandRef parent);
    void setDefaultCommand(CommandRef command) { defaultCommand_ = std::move(command); }
    const CommandRef& getDefaultCommand() const { return defaultCommand_; }
    const std::vector<CommandRef>& getCommands() const { return commands_; }
    void setItemCommandListener(ItemCommandListener* listener) { commandListener_ = listener; }
    ItemCommandListener* getItemCommandListener() const { return commandListener_; }
    void setItemStateListener(ItemStateListener* listener) { stateListener_ = listener; }
    void notifyStateChanged();
    void setEventListener(EventListener* listener) { eventListener_ = listener; }
    EventListener* getEventListener() const { return eventListener_; }
    void setFocusAction(const CString& action) { focusAction_ = action; }
    void setLeaveAction(const CString& action) { leaveAction_ = action; }
    void fireFocusAction();
    void fireLeaveAction();

    // --- tree --------------------------------------------------------------
    // A reference that reads null once the item is destroyed.
    ItemRef weakRef() { return ItemRef(this, &life_); }
    // The item is out of its container: no parent, no screen, no ticker.
    void leaveContainer();
    Item* getParent() const { return parent_; }
    void setParent(Item* parent) { parent_ = parent; }
    // Set on items a screen shows directly.
    void setScreen(ItemScreen* screen) { screen_ = screen; }
    // The nearest screen up the parent chain; null when none.
    ItemScreen* getScreen() const;
    Item* getLabelItem() const { return label_.get(); }
    void setLabel(const CString& text);
    CString getLabel() const;
    ItemView* getView() const { return view_; }

    // --- visibility and state ---------------------------------------------
    // Hiding moves the focus away and keeps the visible part of a scrolled
    // container in place.
    void setVisible(bool visible);
    bool isVisible() const { return !hidden_; }
    bool isInteractive() const { return appearanceMode_ != kAppearancePlain; }
    int getAppearanceMode() const { return appearanceMode_; }
    void setAppearanceMode(int mode) { appearanceMode_ = mode; }
    bool isFocused() const { return focused_; }
    bool isPressed() const { return pressed_; }
    bool isShown() const { return shown_; }
    bool isOnScreen() const { return onScreen_; }
    bool isInitialised() const { return initialised_; }
    bool isLabelBeside() const { return labelBeside_; }

    // --- names and texts -------------------------------------------------
    // The identifier (markup "id"): found by getItemByName, carried by events.
    const CString& getId() const { return id_; }
    void setId(const CString& id) { id_ = id; }
    // The form name (markup "name"): what a form field submits under.
    const CString& getFormName() const { return formName_; }
    void setFormName(const CString& name) { formName_ = name; }
    const CString& getTipText() const { return tipText_; }
    void setTipText(const CString& text) { tipText_ = text; }
    const CString& getExtraText() const { return extraText_; }
    void setExtraText(const CString& text) { extraText_ = text; }

    // --- styles ------------------------------------------------------------
    Style* getStyle() const { return style_; }
    bool isStyleApplied() const { return styleApplied_; }
    // Own focused style, else the nearest ancestor's, else the default.
    Style* getFocusedStyle() const;
    void setFocusedStyle(Style* style) { focusedStyle_ = style; }
    Style* getPressedStyle() const { return pressedStyle_; }
    Background* getBackground() const { return background_; }
    Border* getBorder() const { return border_; }

    // --- geometry ----------------------------------------------------------
    int itemWidth() const { return itemWidth_; }
    int itemHeight() const { return itemHeight_; }
    int contentWidth() const { return contentWidth_; }
    int contentHeight() const { return contentHeight_; }
    int contentX() const { return contentX_; }
    int contentY() const { return contentY_; }
    int backgroundWidth() const { return backgroundWidth_; }
    int backgroundHeight() const { return backgroundHeight_; }
    int borderWidth() const { return borderWidth_; }
    int relativeX() const { return relativeX_; }
    int relativeY() const { return relativeY_; }
    void setRelativePosition(int x, int y) {
        relativeX_ = x;
        relativeY_ = y;
    }
    int paddingLeft() const { return paddingLeft_; }
    int paddingTop() const { return paddingTop_; }
    int paddingRight() const { return paddingRight_; }
    int paddingBottom() const { return paddingBottom_; }
    int paddingVertical() const { return paddingVertical_; }
    int paddingHorizontal() const { return paddingHorizontal_; }
    int marginLeft() const { return marginLeft_; }
    int marginTop() const { return marginTop_; }
    int marginRight() const { return marginRight_; }
    int marginBottom() const { return marginBottom_; }
    int getMinWidth() const { return minWidth_; }
    int getMaxWidth() const { return maxWidth_; }
    int getMinHeight() const { return minHeight_; }
    void setMinWidth(int width) { minWidth_ = width; }
    void setMaxWidth(int width) { maxWidth_ = width; }
    void setMinHeight(int height) { minHeight_ = height; }
    bool isAlignCentre() const { return alignCentre_; }
    bool isAlignRight() const { return alignRight_; }
    bool isExpand() const { return expand_; }

    // The area scrolling keeps visible inside the item; none by default.
    static constexpr int kNoInternalArea = -9999;
    bool hasInternalArea() const { return internalX_ != kNoInternalArea; }
    int internalX() const { return internalX_; }
    int internalY() const { return internalY_; }
    int internalWidth() const { return internalWidth_; }
    int internalHeight() const { return internalHeight_; }
    void setInternalArea(int x, int y, int w, int h);
    void clearInternalArea() { internalX_ = kNoInternalArea; }

    // Position on the back buffer, from the parents' positions.
    int getAbsoluteX() const;
    int getAbsoluteY() const;
    // Both edges inclusive.
    bool isInItemArea(int x, int y) const;
    bool isInChildArea(int x, int y, const Item* child) const;

    int getLastPaintX() const { return lastPaintX_; }
    int getLastPaintY() const { return lastPaintY_; }
    int getLastPaintLeft() const { return lastPaintLeft_; }
    int getLastPaintRight() const { return lastPaintRight_; }

    // --- the item ticker ---------------------------------------------------
    // Registers with `ticker` for onTimer(); the destructor unregisters, so
    // the ticker must outlive the item or be left through stopTicking().
    void startTicking(TickerThread& ticker);
    void stopTicking();

protected:
    // Hands a command to the command listener, or else to the screen.
    void deliverCommand(const CommandRef& command);
    void setSavedStyle(Style* style) { savedStyle_ = style; }
    Style* getSavedStyle() const { return savedStyle_; }
    void setAlignmentFromLayout();

    CString id_;
    CString tipText_;
    CString extraText_;
    Background* background_ = nullptr;
    Border* border_ = nullptr;
    Style* style_ = nullptr;
    ItemScreen* screen_ = nullptr;
    Item* parent_ = nullptr;
    std::vector<CommandRef> commands_;
    uint32_t layout_ = 0;
    int minWidth_ = 0;
    bool initialised_ = false;
    int itemWidth_ = 0;
    int itemHeight_ = 0;
    int paddingLeft_ = 0;
    int paddingTop_ = 0;
    int paddingRight_ = 0;
    int paddingBottom_ = 0;
    int paddingVertical_ = 0;    // between label and content, and between lines
    int paddingHorizontal_ = 0;  // between a label beside and the content
    int marginLeft_ = 0;
    int marginTop_ = 0;
    int marginRight_ = 0;
    int marginBottom_ = 0;
    int contentWidth_ = 0;
    int contentHeight_ = 0;
    int borderWidth_ = 0;
    int appearanceMode_ = kAppearancePlain;
    bool styleApplied_ = false;
    bool alignCentre_ = false;
    bool expand_ = false;
    bool alignRight_ = false;
    int relativeY_ = 0;
    int contentX_ = 0;
    int contentY_ = 0;
    bool focused_ = false;
    Style* focusedStyle_ = nullptr;
    bool pressed_ = false;
    bool shown_ = true;
    EventListener* eventListener_ = nullptr;

private:
    void applyView(Style* style);
    void dropView();
    // Keeps a scrolled container's visible part in place around a change
    // of visibility.
    void correctParentScroll(ItemContainer& container, bool visible);
    static void applyLabelFont(Item& label, const FontRef& font);

    CString formName_;
    Style* savedStyle_ = nullptr;
    std::vector<std::pair<CommandRef, CommandRef>> subCommands_;  // (child, parent)
    CommandRef defaultCommand_;
    ItemCommandListener* commandListener_ = nullptr;
    int backgroundHeight_ = 0;
    int internalX_ = kNoInternalArea;
    int internalY_ = 0;
    int internalWidth_ = 0;
    int internalHeight_ = 0;
    std::unique_ptr<Item> label_;
    bool labelBeside_ = false;
    bool hidden_ = false;
    CString focusAction_;
    CString leaveAction_;
    int savedAppearanceMode_ = kAppearancePlain;
    int savedHeight_ = 0;
    ItemStateListener* stateListener_ = nullptr;
    bool onScreen_ = false;
    Style* pressedStyle_ = nullptr;
    int maxWidth_ = INT_MAX;
    int minHeight_ = 0;
    int backgroundWidth_ = 0;
    int relativeX_ = 0;
    int lastPaintX_ = 0;
    int lastPaintY_ = 0;
    int lastPaintLeft_ = 0;
    int lastPaintRight_ = 0;
    ItemView* view_ = nullptr;
    std::unique_ptr<ItemView> ownedView_;  // a clone made for this item
    ItemView* viewSource_ = nullptr;       // the style's view the clone came from
    TickerThread* ticker_ = nullptr;
    LifeToken life_;
};

}  // namespace zq
