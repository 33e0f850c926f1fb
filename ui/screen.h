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
// The code is split by concern: screen.cpp (metrics, construction, style,
// size, layout, header and status line), screen_content.cpp (painting the
// frame and content, scrolling, and routing input to the content and the
// scroll bar). Soft keys, commands, menus, keyboards and the loading state
// join the same class in files of their own.
//
// Threads: a screen is built and used on the UI thread. The item ticker
// runs there too; the content lock serialises painting and input with it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "platform/cstring.h"
#include "platform/font.h"
#include "platform/geometry.h"
#include "ui/displayable.h"
#include "ui/item.h"
#include "ui/item_ticker.h"

namespace zq {

class Background;
class Border;
class CommandListener;
class Container;
class EventListener;
class GraphicsContext;
class ItemStateListener;
class ScrollBar;
class Style;

// What the screen asks of an on-screen keyboard drawn over its page. The
// keyboards themselves (the soft keyboard, the code input pad) come with
// the input controls; the screen makes its soft keyboard on first use.
class ScreenKeyboard {
public:
    virtual ~ScreenKeyboard() = default;
    virtual bool isVisible() const = 0;
    // The height it takes from the page while visible, in pixels.
    virtual int getHeight() const = 0;
};

class Screen : public Canvas, public ItemScreen {
public:
    // Fixed sizes of the frame, in pixels.
    static constexpr int kSoftKeyBarExtra = 10;  // soft-key bar = base font size + this
    static constexpr int kArrowPageMargin = 40;  // LEFT/RIGHT page by the viewport less this

    // --- screen metrics (ui/toolkit_globals.h) ----------------------------
    // Short and long side, landscape flag, scale (short side / 240), base
    // font size 14, status line 17 and the row count, from the size of the
    // screen. UI thread, once the Display exists; before it the row count
    // is 12.
    static void initMetrics(Size screenSize);
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
    const Rect& contentRect() const { return contentRect_; }
    // The width the content was measured at in the last layout.
    int contentLayoutWidth() const { return contentLayoutWidth_; }
    int headerHeight() const { return headerHeight_; }
    int marginLeft() const { return marginLeft_; }
    int marginRight() const { return marginRight_; }
    int marginTop() const { return marginTop_; }
    int marginBottom() const { return marginBottom_; }
    int borderWidth() const;

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
    // right after the owners recorded before it.
    Rect reserveStatusLineSpace(int width, const Item* owner);
    int reservedStatusWidth() const { return reservedTotal_; }
    // Where the marquee was placed by the last applySize.
    const Rect& marqueeRect() const { return marqueeRect_; }

    // --- content and scrolling ------------------------------------------------
    Container* getContent() const { return content_.get(); }
    ScrollBar& scrollBar() { return *scrollBar_; }
    // The content's offset: 0 at the top, negative below; 0 without content.
    int getScrollOffset() const;
    // With `smooth` only the target offset moves.
    void setScrollOffset(int offset, bool smooth);
    // Moves content taller than its viewport by `delta` (positive: toward
    // the top), never past either end, and repaints.
    void scrollBy(int delta);
    // Null without content.
    Item* getFocusedItem() const;
    Item* getItemByName(const CString& name) const;

    // The items waiting for reply data, in page order; borrowed. The page
    // builder fills it; ImageItem's "controlid" is a position in it.
    std::vector<Item*>& controlList() { return controlList_; }
    int indexOfControl(const Item* control) const override;

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

    // --- Canvas -------------------------------------------------------------------
    // Lays out when needed, then paints background, header, content,
    // status line, scroll bar and border.
    void paint(GraphicsContext& g) override;
    // The content inside its viewport, placed by the alignment when it fits.
    void paintContent(GraphicsContext& g) override;
    void keyPressed(int keyCode) override;
    void keyRepeated(int keyCode) override;
    void keyReleased(int keyCode) override;
    void pointerPressed(int x, int y) override;
    void pointerReleased(int x, int y) override;
    void pointerDragged(int x, int y) override;
    // The content first, then the command listener; 1 when delivered.
    int handleCommand(Command* command) override;
    // Sizes the screen to the display area when it is not laid out, and
    // tells the marquee and the content.
    void showNotify() override;
    void hideNotify() override;

    // --- what the content does with keys and drags ---------------------------
    // The content's answer; LEFT and RIGHT the content did not use page
    // content taller than its viewport.
    virtual bool contentKeyPressed(int keyCode, int gameAction);
    virtual bool contentKeyRepeated(int keyCode, int gameAction);
    virtual bool contentKeyReleased(int keyCode, int gameAction);
    // The content, then its focused child, in their own coordinates.
    virtual bool contentPointerDragged(int x, int y);

    // --- ItemScreen ------------------------------------------------------------
    void setTipText(const CString& text) override;
    const CString& getTipText() const { return tipText_; }
    void fireCommand(Command* command) override;
    void removeCommand(Command* command) override;
    void setItemCommands(const std::vector<CommandRef>& commands, Item* item) override;
    void addSubCommand(const CommandRef& command, const CommandRef& parent, Style* entryStyle,
                       bool repaint) override;
    void removeItemCommands() override;
    void itemStateChanged(Item* item) override;
    // Taken only by a screen with content or a header item.
    void setRelayoutNeeded() override;

protected:
    // The shown marquee without taking it over (a form with tabs owns its
    // marquees); the earlier shown one is hidden, not released.
    void setShownMarquee(Item* marquee);
    // Set when a keyboard changed size under the screen: the next paint
    // lays the screen out again.
    void setLayoutFailed() {
        layoutValid_ = false;
        layoutFailed_ = true;
    }
    // The keyboard made on first use; null before.
    ScreenKeyboard* softKeyboard() const { return softKeyboard_.get(); }
    void setSoftKeyboard(std::unique_ptr<ScreenKeyboard> keyboard) {
        softKeyboard_ = std::move(keyboard);
    }
    GraphicsContext* lastGraphics() const { return lastGraphics_; }

private:
    void init(const CString& title, Style* style, bool withContent);
    void readStyleValues(const Style& style);
    // The page frame of the paint (inside margins and border).
    Rect pageFrame() const;
    // Measures the content at the content width (step 4 of the layout);
    // false when it has to be laid out again.
    bool measureContent();
    void placeMarquee();
    void placeScrollBar();
    // Where the content is painted: the viewport's corner, moved by the
    // alignment when the content fits.
    Point contentOrigin() const;
    int contentHeight() const;
    // Pages content taller than the viewport by one viewport less 40 px.
    void pageContent(int gameAction);

    // The ticker outlives every item that may register with it.
    TickerThread ticker_;
    int serial_ = 0;

    // style
    Style* style_ = nullptr;
    Background* background_ = nullptr;
    Border* border_ = nullptr;
    int marginLeft_ = 0;
    int marginRight_ = 0;
    int marginTop_ = 0;
    int marginBottom_ = 0;
    bool alignCentre_ = false;
    bool alignRight_ = false;
    bool alignVCentre_ = false;
    bool alignBottom_ = false;
    bool fitWidth_ = false;
    bool fitHeight_ = false;
    int32_t value116_ = 0;
    Color softKeySwitchColor_;
    Color color5169_ = 0;
    FontRef softKeyFont_;
    int spacing_ = 4;
    Color tipColor_;
    Color color5160_ = 0;
    Color color5162_ = 0;
    FontRef font5161_;

    // geometry
    int width_ = 0;
    int fullHeight_ = 0;
    int usableHeight_ = 0;
    int displayAreaHeight_ = 0;
    int softKeyBarHeight_ = 0;
    bool softKeyBarShown_ = true;
    Rect contentRect_;
    int contentLayoutWidth_ = 0;
    int headerHeight_ = 0;
    bool layoutValid_ = false;
    bool layoutFailed_ = false;
    bool relayoutNeeded_ = true;

    // header, content, status line
    CString headerText_;
    Item* headerItem_ = nullptr;
    std::unique_ptr<Container> content_;
    std::unique_ptr<ScrollBar> scrollBar_;
    std::unique_ptr<Item> ownedMarquee_;
    Item* marquee_ = nullptr;
    Rect marqueeRect_;
    std::vector<std::pair<const Item*, int>> statusReservations_;
    int reservedTotal_ = 0;

    // listeners and the rest
    EventListener* eventListener_ = nullptr;
    CommandListener* commandListener_ = nullptr;
    ItemStateListener* itemStateListener_ = nullptr;
    CString tipText_;
    std::unique_ptr<ScreenKeyboard> softKeyboard_;
    std::vector<Item*> controlList_;
    GraphicsContext* lastGraphics_ = nullptr;
};

}  // namespace zq
