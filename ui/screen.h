// Screen: the full-screen page. Every page built from markup, every form
// and every alert is a Screen or a subclass.
//
// The screen divides its area, top to bottom, into the header (an optional
// header item such as a tab bar), the content (a Container that scrolls
// vertically, with a ScrollBar at its right edge), the status line (a
// marquee or reserved space, 17 px) and the soft-key bar. Margins and
// border of the screen's style frame the header and content.
//
//   y = 0            +--------------------------+
//                    | header item              |
//   contentRect()    | content        |scroll|  |
//                    |                | bar  |  |
//                    +--------------------------+
//   status line      | marquee   | reserved     |  17 px
//   soft-key bar     | left      row     right  |  base font + 10
//   fullHeight()     +--------------------------+
//
// Coordinates are back-buffer pixels. The screen owns its content, its
// scroll bar, its ticker and the marquee given to setMarquee; the header
// item, styles and listeners are borrowed.
//
// The soft-key bar (SoftKeyBar, ui/soft_key_bar.h) shows a left and a right
// label; commands are placed there or in the popup command menu that the
// left soft key opens. The screen keeps its command API and forwards it.
//
// Paint never lays out. Sizes and places are settled by the layout step:
// layout() on show, size and style changes and relayout requests, and the
// popup menu's layout when it opens or changes. paint() runs whatever
// layout is pending first, then only draws.
//
// While a page loads (LoadingState, ui/loading_state.h), a 3 px progress
// bar runs along the top of the soft-key bar; a load that blocks input
// drops every key and tap but the right soft key (113, or a tap on its
// area) when cancelling is allowed.
//
// The parts are classes of their own that the screen holds: SoftKeyBar
// (the bar, command placement and the popup menu), LoadingState (a load's
// state), ScreenContent (the content, its viewport, scroll bar and
// scrolling) and ScreenPainter (the frame's look, the tip box and the
// timing overlay). The screen's own code is split by concern: screen.cpp
// (metrics, construction, style, size, layout, header and status line),
// screen_paint.cpp (the paint, loading, shown and hidden), screen_input.cpp
// (keys and pen) and screen_commands.cpp (the command API, key bindings,
// the soft keyboard).
//
// Threads: a screen is built and used on the UI thread. The item ticker
// runs there too; the content lock serialises painting and input with it.
// Loading progress (addLoadingProgress, setLoadingProgress) may be reported
// from any thread; the bar is repainted on the UI thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/cstring.h"
#include "platform/font.h"
#include "platform/geometry.h"
#include "platform/image.h"
#include "ui/command.h"
#include "ui/displayable.h"
#include "ui/item.h"
#include "ui/item_ticker.h"
#include "ui/keyboard_base.h"
#include "ui/loading_state.h"
#include "ui/screen_content.h"
#include "ui/screen_painter.h"
#include "ui/screen_services.h"
#include "ui/soft_key_bar.h"

namespace zq {

class Background;
class Border;
class CodeInputPad;
class CommandItem;
class CommandListener;
class Container;
class EventListener;
class GraphicsContext;
class InlineContainer;
class ItemStateListener;
class ScrollBar;
class SoftKeyboard;
class Style;

class Screen : public Canvas, public ItemScreen, public KeyboardListener {
public:
    // Fixed sizes of the frame, in pixels.
    static constexpr int kSoftKeyBarExtra = 10;  // soft-key bar = base font size + this
    static constexpr int kArrowPageMargin = ScreenContent::kArrowPageMargin;
    static constexpr int kProgressBarHeight = 3;
    // Busy bit set while the popup menu is open (getBusyFlags).
    static constexpr uint32_t kBusyMenuOpen = 1;

    // --- screen metrics (ui/client_context.h) ----------------------------
    // Short and long side, landscape flag, scale (short side / 240), base
    // font size 14, status line 17 and the row count, from the size of the
    // screen. UI thread, once the Display exists; before it the row count
    // is 12.
    static void initMetrics(Size screenSize);
    // The base font size initMetrics sets, in pixels.
    static constexpr int kBaseFontSize = 14;
    // 38 UP 1, 40 DOWN 6, 39 RIGHT 5, 37 LEFT 2, 13 FIRE 8; others 0.
    static int getGameAction(int keyCode);

    // With `withContent` the screen gets a content Container. The style is
    // kept and applied when the screen gets its size.
    Screen(const CString& title, bool withContent);
    Screen(const CString& title, Style* style, bool withContent);
    ~Screen() override;

    // A serial number, one higher for every screen made.
    int getSerial() const { return serial_; }

    // --- style --------------------------------------------------------------
    // Keeps the style (never freed here: styles live until shut-down), its
    // background, border, margins, alignment and fit flags and the screen
    // values it carries, and applies it to the content without background.
    void setStyle(Style* style);
    Style* getStyle() const { return style_; }

    // --- size and layout ----------------------------------------------------
    // A new size invalidates everything laid out and applies it; the same
    // size does nothing.
    void setSize(int width, int height);
    // Takes the size as full and display-area height, re-applies the style,
    // shows the soft-key bar and lays the screen out. Zero width or height
    // leaves the layout invalid.
    void applySize(int width, int height);
    // Places header and content inside (x, y, w, h): the content is measured
    // at the content width, less the scroll bar's width when it is taller
    // than its viewport. Nothing when w or h is below 1.
    virtual void layout(int x, int y, int w, int h);
    // The usable height leaves the bar's height free while it is shown.
    virtual void setSoftKeyBarVisible(bool shown);
    // Header item and content will be laid out again (after a font change).
    void invalidateLayout();
    bool isLayoutValid() const { return layoutValid_; }
    bool isRelayoutNeeded() const { return relayoutNeeded_; }

    int screenWidth() const { return width_; }
    int fullHeight() const { return fullHeight_; }
    // Full height less the soft-key bar (while shown) and a visible keyboard.
    int usableHeight() const { return usableHeight_; }
    int displayAreaHeight() const { return displayAreaHeight_; }
    int softKeyBarHeight() const { return softKeyBarHeight_; }
    bool isSoftKeyBarShown() const { return softKeyBarShown_; }
    // Where the content is shown (its viewport), from the last layout.
    const Rect& contentRect() const { return content_.viewport(); }
    // The width the content was measured at in the last layout.
    int contentLayoutWidth() const { return content_.layoutWidth(); }
    int headerHeight() const { return headerHeight_; }
    int marginLeft() const { return marginLeft_; }
    int marginRight() const { return marginRight_; }
    int marginTop() const { return marginTop_; }
    int marginBottom() const { return marginBottom_; }
    int borderWidth() const { return painter_.borderWidth(); }

    // --- header and status line ---------------------------------------------
    // Lays the screen out again when it is laid out and shown.
    void setHeaderText(const CString& text);
    const CString& getHeaderText() const { return headerText_; }
    // Borrowed (a tab bar belongs to its form); null removes it.
    void setHeaderItem(Item* item);
    Item* getHeaderItem() const { return headerItem_; }
    // Owns `marquee` and releases the one it owned before; the shown one
    // is told it is hidden, the new one that it is shown (while the screen
    // is shown).
    void setMarquee(std::unique_ptr<Item> marquee);
    // The marquee shown in the status line (owned by the screen or, for
    // forms with tabs, by the form); null when none.
    Item* getMarquee() const { return marquee_; }
    // 17 with a marquee or reserved status-line space, else 0.
    int getStatusLineHeight() const;
    // Records `owner`'s width in the status line (replacing its earlier one)
    // and returns its band: 17 px high, just above the soft-key bar, flush
    // right after the owners recorded before it. Taps in the band go to
    // its owner (in the owner's coordinates) while the owner lives.
    Rect reserveStatusLineSpace(int width, Item* owner);
    // The owner of the status-line band under (x, y); null for none.
    Item* statusLineOwnerAt(int x, int y) const;
    int reservedStatusWidth() const { return reservedTotal_; }
    // Where the marquee was placed by the last applySize.
    const Rect& marqueeRect() const { return marqueeRect_; }

    // --- content and scrolling ------------------------------------------------
    Container* getContent() const { return content_.container(); }
    // Animates the content and the marquee under the content lock and
    // repaints when any of them changed.
    void animate(uint32_t now) override;
    ScrollBar& scrollBar() { return content_.scrollBar(); }
    // The content's offset: 0 at the top, negative below; 0 without content.
    int getScrollOffset() const { return content_.scrollOffset(); }
    // With `smooth` only the target offset moves.
    void setScrollOffset(int offset, bool smooth) { content_.setScrollOffset(offset, smooth); }
    // Moves content taller than its viewport by `delta` (positive: toward
    // the top), never past either end, and repaints.
    void scrollBy(int delta);
    // True when the focused control is drawn in the content's viewport, or
    // nothing is focused. Reads the last layout; cheap, for checks after
    // every event.
    bool isFocusDrawn() const { return content_.focusDrawn(); }
    // ScreenContent::focusTop and keepFocusAt.
    bool focusedTop(int& top) const { return content_.focusTop(top); }
    void keepFocusAt(int top) { content_.keepFocusAt(top); }
    // What a pen put down at (x, y) would press on the page: the innermost
    // item drawn there and the point in its coordinates; null over the soft
    // keys, a keyboard, a menu, the scroll bar or no item.
    Item* itemDrawnAt(int x, int y, int& itemX, int& itemY);
    // The scroll bar's thumb is drawn at (x, y).
    bool thumbAt(int x, int y);
    // Null without content.
    Item* getFocusedItem() const;
    Item* getItemByName(const CString& name) const;

    // The items waiting for reply data, in page order; borrowed. The page
    // builder fills it; ImageItem's "controlid" is a position in it.
    std::vector<Item*>& controlList() { return controlList_; }
    // Through an index of the list, made again when the list's length
    // changed or it no longer matches: one probe a call while the list stands.
    int indexOfControl(const Item* control) const override;
    // Entries indexOfControl looked at or indexed, all calls together:
    // what tests bound a page's picture requests by.
    uint64_t controlIndexSteps() const { return controlIndexSteps_; }

    // --- listeners ------------------------------------------------------------
    void setEventListener(EventListener* listener) { eventListener_ = listener; }
    EventListener* getEventListener() const { return eventListener_; }
    void setCommandListener(CommandListener* listener) { commandListener_ = listener; }
    CommandListener* getCommandListener() const { return commandListener_; }
    void setItemStateListener(ItemStateListener* listener) { itemStateListener_ = listener; }

    // --- ticker -----------------------------------------------------------------
    TickerThread& ticker() { return ticker_; }
    void startTicker() override;
    void stopTicker();

    // --- loading (any thread for the progress, else the UI thread) -------------
    // Enters the loading state for request `requestId` with progress 2.
    // Cancelling is allowed when `cancelAllowed` is set or `onCancel` is
    // given; a cancel (key 113 or a tap on the right soft key) stops the
    // load and runs `onCancel`.
    void startLoading(bool blockInput, bool cancelAllowed, int requestId,
                      std::function<void()> onCancel = {});
    // For the screen's request, or any with -1: adds `delta` (a result
    // below 0 is ignored, above 100 gives 100) and repaints the bar.
    void addLoadingProgress(int delta, int requestId = LoadingState::kAnyRequest);
    // For the screen's request, or any with -2: a percent above 100 is
    // ignored.
    void setLoadingProgress(int percent, int requestId = LoadingState::kAnyRequest);
    // For the screen's request, or any with -2. True when a load was
    // stopped (the right soft key is redrawn at once); another request's id
    // changes nothing.
    bool stopLoading(int requestId = LoadingState::kAnyRequest);
    // A resent request keeps the load going under its new id.
    void replaceLoadingId(int oldId, int newId) { loading_.replaceId(oldId, newId); }
    // The animation drawn at the top-left corner while loading, below the
    // program folder; loaded at the next startLoading.
    void setLoadingImagePath(const CString& path) { loading_.setImagePath(path); }
    bool isLoading() const { return loading_.isLoading(); }
    bool isInputBlocked() const { return loading_.isInputBlocked(); }
    bool isCancelAllowed() const { return loading_.isCancelAllowed(); }
    // Loading with the cancel mark in the right soft key's place.
    bool cancelMarkShown() const { return isLoading() && isCancelAllowed(); }
    int loadingProgress() const { return loading_.progress(); }
    int loadingRequestId() const { return loading_.requestId(); }
    // Progress to 0, the load stopped for any request, the cancel action run.
    void cancelLoading();
    // The progress bar along the top of the soft-key bar and, when
    // cancelling is allowed, the cancel mark on the right; under the
    // soft-key lock, only while loading. A shown code pad is drawn again
    // over it.
    void paintLoadingBar(GraphicsContext& g) override;
    // Draws the soft-key bar afresh under the Display's paint lock and shows
    // it at once (the whole screen when the bar is hidden or unfilled).
    void redrawSoftKeyBarNow();

    // --- soft-key bar -----------------------------------------------------------
    const CString& leftLabel() const { return softKeys_.leftLabel(); }
    const CString& rightLabel() const { return softKeys_.rightLabel(); }
    // Where the left label area ends and the right one starts (x), as the
    // last paint drew them.
    int leftAreaWidth() const { return softKeys_.leftAreaWidth(); }
    int rightAreaStart() const { return softKeys_.rightAreaStart(); }
    int softKeyBarTop() const { return fullHeight_ - softKeyBarHeight_; }
    // The page's command entries, shown in a row between the two labels.
    // The row they replace lives until the next call.
    void setCommandItems(std::vector<std::unique_ptr<CommandItem>> items);
    InlineContainer* getCommandRow() const { return softKeys_.commandRow(); }
    // Rebuilds the labels from the commands and the menu state.
    void updateSoftKeyLabels() { softKeys_.updateLabels(); }
    // The tip box at the bottom of the page (on at construction).
    void setTipBoxShown(bool shown) { painter_.setTipBoxShown(shown); }

    // --- commands and the popup menu ----------------------------------------------
    // insertCommand with the menu entry style, repainting.
    void addCommand(CommandRef command);
    // Places `command` (see ui/soft_key_bar.h). A command already placed
    // is not added again. A null entry style means menuEntryStyle().
    void insertCommand(CommandRef command, Style* entryStyle, bool repaint);
    // Takes commands away until the menu's commands are gone; the right
    // soft-key command stays.
    void removeAllCommands();
    // The commands of the menu, in menu order (not the right soft key's).
    const std::vector<CommandRef>& getCommands() const { return softKeys_.commands(); }
    // Whether `command` is on a soft key or in the menu's top level.
    bool showsCommand(const Command* command) const { return softKeys_.showsCommand(command); }
    Command* getLeftCommand() const { return softKeys_.leftCommand(); }
    Command* getRightCommand() const { return softKeys_.rightCommand(); }
    Command* getPreferredOkCommand() const { return softKeys_.preferredOk(); }
    Command* getPreferredCancelCommand() const { return softKeys_.preferredCancel(); }
    Command* getPreferredBackCommand() const { return softKeys_.preferredBack(); }
    // Null until the first command.
    Container* getPopupMenu() const { return softKeys_.menu(); }
    bool isPopupMenuOpen() const { return softKeys_.isMenuOpen(); }
    // Opening focuses the first entry; the busy bit kBusyMenuOpen follows.
    void setPopupMenuOpen(bool open) { softKeys_.setMenuOpen(open); }

    // --- key bindings -------------------------------------------------------------
    // A key the page binds: `keyName` as keyName() gives it, or "all" for
    // every key nothing else used. An unused key raises a KeyEvent with
    // `action` to the event listener.
    void addKeyBinding(const CString& keyName, const CString& action);
    // tickCount() of the last key, or tap in a field or on a keyboard.
    uint32_t lastKeyTime() const { return lastKeyTime_; }
    // A tap in a field counts as a key.
    void noteKeyTime();

    // --- keyboards ----------------------------------------------------------------
    // Makes the soft keyboard on first use, serves `field` and shows or
    // hides the keyboard with the keypads `inputModes` (kKeypad* bits).
    // The field is borrowed: once its item is destroyed or leaves this
    // screen it is no longer served (typed text goes nowhere).
    void openSoftKeyboard(bool show, KeyboardTarget* field, int inputModes);
    // Null before the first openSoftKeyboard.
    SoftKeyboard* getSoftKeyboard() const { return softKeyboard_.get(); }
    // A reload's page: its keyboard, up for the same keypads as `left`'s,
    // shows the keypad and case the user chose there.
    void keepKeyboardPad(const Screen& left);
    // Null when none is served or the served one went away.
    KeyboardTarget* getKeyboardTarget() const;
    // The code input pad: made on first use, opened for `listener` (borrowed,
    // may be null) with the address template, then shown or hidden.
    void openCodeInputPad(EventListener* listener, const CString& addressTemplate, bool show);
    // Null before the first openCodeInputPad.
    CodeInputPad* getCodeInputPad() const { return codeInputPad_.get(); }
    // KeyboardListener: the typed text goes into the field; a closed
    // keyboard lays the page out again; the busy bits follow onRetry.
    void onData(const CString& text) override;
    void onFailure() override;
    void onRetry(uint32_t bits, bool on) override;
    // Non-zero while the page controller must wait (the menu is open).
    uint32_t getBusyFlags() const { return busyFlags_.load(); }

    // --- Canvas -------------------------------------------------------------------
    // Runs pending layout (the page's and the open menu's), then paints
    // background, header, content, status line, scroll bar, border, tip
    // box, keyboard, menu, soft-key bar, loading bar, the timing overlay,
    // the code pad and, from the second paint after its press on, the
    // pressed item once more.
    void paint(GraphicsContext& g) override;
    // The content inside its viewport, placed by the alignment when it fits.
    void paintContent(GraphicsContext& g) override;
    void keyPressed(int keyCode) override;
    void keyRepeated(int keyCode) override;
    void keyReleased(int keyCode) override;
    // The focused item takes the text as typed (Item::textTyped); else each
    // character is routed like a key with no game action and bound by its
    // own character. The soft keys never see it.
    void textTyped(const CString& text) override;
    void pointerPressed(int x, int y) override;
    void pointerReleased(int x, int y) override;
    void pointerDragged(int x, int y) override;
    // The content first, then the command listener; 1 when delivered.
    int handleCommand(Command* command) override;
    // Raises a FormEvent ("Form", title), becomes the shared state-change
    // screen (the context's state-change screen) and, unless the shell's record already
    // shows this screen, clears tip and loading, sizes the screen to the
    // display area when it is not laid out, and tells the marquee and the
    // content.
    void showNotify() override;
    // Stops the ticker and the load, empties the shell's requests and is no
    // longer the shared state-change screen.
    void hideNotify() override;

    // --- what the content does with keys and drags ---------------------------
    // The keys are with a control drawn outside the content (a tab bar): no
    // control of the content takes the focus as the view moves.
    virtual bool keysOutsideContent() const { return false; }
    // The content's answer; LEFT and RIGHT the content did not use page
    // content taller than its viewport.
    virtual bool contentKeyPressed(int keyCode, int gameAction);
    virtual bool contentKeyRepeated(int keyCode, int gameAction);
    virtual bool contentKeyReleased(int keyCode, int gameAction);
    // The content, then its focused child, in their own coordinates.
    virtual bool contentPointerDragged(int x, int y);
    // A press above the bar that nothing over the page took (menu, pads,
    // status line, scroll bar), in screen pixels: the content's.
    virtual void contentPointerPressed(int x, int y);

    // --- ItemScreen ------------------------------------------------------------
    void setTipText(const CString& text) override;
    const CString& getTipText() const { return tipText_; }
    // Closes the menu, then handleCommand.
    void fireCommand(Command* command) override;
    // The right soft-key command passes to the last BACK or CANCEL command
    // left; any other leaves the menu (and the left soft key).
    void removeCommand(Command* command) override;
    void setItemCommands(const std::vector<CommandRef>& commands, Item* item) override;
    void addSubCommand(const CommandRef& command, const CommandRef& parent, Style* entryStyle,
                       bool repaint) override;
    void removeItemCommands() override;
    void itemStateChanged(Item* item) override;
    // Taken only by a screen with content or a header item.
    void setRelayoutNeeded() override;
    // Repainted by the second paint after the press or, when none came,
    // when the pen is lifted; forgotten then, when hidden and when the item
    // is destroyed or leaves this screen.
    void setPressedItem(Item* item) override;
    Item* getPressedItem() const;
    void repaintItemNow(Item& item) override;
    // Whether `item` is shown by this screen: its parents lead here.
    bool holdsItem(const Item* item) const;
    // The content's viewport for an item of the content, else null: what an
    // item painted on its own is clipped to.
    const Rect* viewportOf(const Item& item) const;

protected:
    // With no left command, the menu's only command goes on the left soft
    // key, so that one key fires it; the labels follow.
    void putSoleCommandOnLeftKey();
    // The shown marquee without taking it over (a form with tabs owns its
    // marquees); the earlier shown one is hidden, not released.
    void setShownMarquee(Item* marquee);
    // Set when a keyboard changed size under the screen: the next paint
    // lays the screen out again.
    void setLayoutFailed() {
        layoutValid_ = false;
        layoutFailed_ = true;
    }
    GraphicsContext* lastGraphics() const { return lastGraphics_; }

private:
    class ViewMoveScope;
    void init(const CString& title, Style* style);
    void readStyleValues(const Style& style);
    // The page frame of the paint (inside margins and border).
    Rect pageFrame() const;
    void placeMarquee();

    // painting (screen_paint.cpp)
    void paintFrame(GraphicsContext& g);
    void paintSoftKeyboard(GraphicsContext& g);
    void paintCodeInputPad(GraphicsContext& g);
    void paintPressedItem(GraphicsContext& g);
    void repaintLoadingBar();

    // input (screen_input.cpp)
    bool inSoftKeyBar(int y) const { return y >= softKeyBarTop(); }
    // Raises the KeyEvent of a key nothing used (`name` as keyName gives
    // it); true when there was one.
    bool raiseKeyBinding(const CString& name);
    const CString* findKeyBinding(const CString& name) const;

    // The ticker outlives every item that may register with it.
    TickerThread ticker_;
    int serial_ = 0;

    // style
    Style* style_ = nullptr;
    // The frame's look and the overlays drawn over the page.
    ScreenPainter painter_;
    int marginLeft_ = 0;
    int marginRight_ = 0;
    int marginTop_ = 0;
    int marginBottom_ = 0;
    int spacing_ = 4;

    // geometry
    int width_ = 0;
    int fullHeight_ = 0;
    int usableHeight_ = 0;
    int displayAreaHeight_ = 0;
    int softKeyBarHeight_ = 0;
    bool softKeyBarShown_ = true;
    int headerHeight_ = 0;
    bool layoutValid_ = false;
    bool layoutFailed_ = false;
    bool relayoutNeeded_ = true;

    // header, content, status line
    CString headerText_;
    Item* headerItem_ = nullptr;
    // The content, its viewport and scroll bar.
    ScreenContent content_;
    std::unique_ptr<Item> ownedMarquee_;
    Item* marquee_ = nullptr;
    Rect marqueeRect_;
    struct StatusReservation {
        const Item* owner;
        ItemRef alive;
        int width;
    };
    std::vector<StatusReservation> statusReservations_;
    int reservedTotal_ = 0;

    // listeners and the rest
    EventListener* eventListener_ = nullptr;
    CommandListener* commandListener_ = nullptr;
    ItemStateListener* itemStateListener_ = nullptr;
    CString tipText_;
    std::vector<Item*> controlList_;
    mutable std::unordered_map<const Item*, int> controlIndex_;
    mutable size_t controlIndexLength_ = 0;
    mutable uint64_t controlIndexSteps_ = 0;
    GraphicsContext* lastGraphics_ = nullptr;
    ItemRef pressedItem_;
    // Paints so far, and their count when the pressed item was pressed.
    uint32_t paintCount_ = 0;
    uint32_t pressedAtPaint_ = 0;

    // The soft-key bar, its commands and the popup menu.
    SoftKeyBar softKeys_{*this};

    // A FIRE press nothing used: its release fires the left command.
    bool centrePressed_ = false;

    // input
    // Found without regard to case; a page may bind thousands of keys.
    struct NoCaseLess {
        bool operator()(const CString& a, const CString& b) const { return a.compareNoCase(b) < 0; }
    };
    std::map<CString, CString, NoCaseLess> keyBindings_;
    uint32_t lastKeyTime_ = 0;
    uint32_t lastTapTime_ = 0;
    bool keyInProgress_ = false;
    std::atomic<uint32_t> busyFlags_{0};
    std::unique_ptr<SoftKeyboard> softKeyboard_;
    KeyboardTarget* keyboardTarget_ = nullptr;
    std::unique_ptr<CodeInputPad> codeInputPad_;
    ItemRef keyboardField_;  // keyboardTarget_'s item: whether it is still there

    LoadingState loading_;
};

}  // namespace zq
