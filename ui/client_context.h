// ClientContext: what the screens of one client share — the colour
// settings, the screen metrics, the display area, the folders and a few
// switches — and the hooks the layers above ui/ fill in: the makers of
// labels and alert messages, the style-class applier, the page navigator,
// the shell, the marquee text lookup and the reply listeners.
//
// The client makes one where its UI starts and each test makes its own. The
// newest living context is the current one, and the readers below
// (screenMetrics(), displayArea(), ...) read it; before any is made a
// built-in one serves, so tools and library code run without one.
//
// A context starts with the values and the makers of the context current
// when it is made (a test inherits what its program installed), and with
// no wiring of its own: no navigator, shell, screens, lookup or listeners.
// It takes nothing back to the one before it, so whatever a test changes
// ends with the test.
//
// Contexts are made and destroyed on one thread, newest first, and must
// outlive every thread that reads them. Values may be read and set from any
// thread; each is guarded on its own, so a reader sees the old or the new
// value, never a mix. Hooks and wiring are for the UI thread unless noted.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/cstring.h"
#include "platform/geometry.h"
#include "platform/image.h"
#include "ui/page_services.h"

namespace zq {

class Item;
class ItemScreen;
class Screen;
class ScreenShell;
class Style;

// The 23 colour settings, as colour words 0x00BBGGRR, with the values they
// hold until the page controller applies the settings file. Field names
// follow the setting keys ("sys-menu-p-fc" is menuPressedText).
struct ColorSettings {
    Color menuBack = 0xD68A31;                // sys-menu-bc
    Color menuText = 0xFFFFFF;                // sys-menu-fc
    Color menuPressedText = 0x222222;         // sys-menu-p-fc
    Color menuPressedBack = 0xFFFFFF;         // sys-menu-p-bc
    Color keyboardBack = 0xF6BB00;            // sys-sh-bc
    Color keyboardActionBack = 0x986010;      // sys-sh-action-bc
    Color keyboardActiveBack = 0x986010;      // sys-sh-active-bc
    Color keyboardCharBack = 0x986010;        // sys-sh-ch-bc
    Color keyboardPressedBack = 0xF6BB00;     // sys-sh-p-bc
    Color keyboardInputBack = 0xEAEAEA;       // sys-sh-input-bc
    Color keyboardStaticBack = 0x5E3809;      // sys-sh-static-bc
    Color keyboardActionText = 0x00F8F8;      // sys-sh-action-fc
    Color keyboardActiveText = 0x00F8F8;      // sys-sh-actve-fc
    Color keyboardCharText = 0x00F8F8;        // sys-sh-ch-fc
    Color keyboardStaticText = 0x00F8F8;      // sys-sh-static-fc
    Color keyboardPressedText = 0x00F8F8;     // sys-sh-p-fc
    Color keyboardInputText = 0x000000;       // sys-sh-input-fc
    Color keyboardInputFirstText = 0xAFAFAF;  // sys-sh-input-first-fc
    Color labelText = 0xFFFFFF;               // sys-label-fc
    Color marqueeBack = 0x231009;             // sys-marquee-bc
    Color marqueeText = 0xABA6A9;             // sys-marquee-fc
    Color progressBar = 0x0000FF;             // sys-progress-bc
    Color tradeAverageText = 0xFFFFFF;        // sys-trade-avg-fc

    friend bool operator==(const ColorSettings&, const ColorSettings&) = default;
};

// Screen values, set by Screen::initMetrics; the defaults are those of a
// 240x320 portrait handset. Sizes in pixels.
struct ScreenMetrics {
    int screenWidth = 240;       // the screen's width as the system reports it
    int configuredWidth = 240;   // "sys-screenw"
    int configuredHeight = 320;  // "sys-screenh"
    int shortSide = 240;
    int longSide = 320;
    bool landscape = false;
    float scale = 1.0f;  // shortSide / 240
    int baseFontSize = 14;
    int statusLineHeight = 17;
    int barFontSize = 17;  // base font size + 3, fixed at start-up
    int defaultRowCount = 12;
};

// Items make their label with this (the text items' maker); without one
// setLabel makes no label.
using LabelMaker = std::unique_ptr<Item> (*)(const CString& text, Style* style);
// An alert's message item (text, picture or both); without one an alert
// shows no message.
using MessageItemMaker = std::unique_ptr<Item> (*)(const CString& text, ImageRef image,
                                                   Style* style);
// Fills `style` from the rules of class `className` in the style sheets
// loaded so far; a class no rule names leaves it unchanged.
using StyleClassApplier = void (*)(Style* style, const CString& className);
// The text a marquee shows for its key; empty for none.
using MarqueeTextLookup = std::function<CString(const CString& key)>;

class ClientContext {
public:
    ClientContext();
    ~ClientContext();
    ClientContext(const ClientContext&) = delete;
    ClientContext& operator=(const ClientContext&) = delete;

    static ClientContext& current();

    // --- values, any thread ---------------------------------------------------------
    // To apply new colours call applyColorSettings (ui/default_styles.h),
    // which also re-colours the start-up styles; storeColors only stores.
    ColorSettings colors() const;
    void storeColors(const ColorSettings& colors);
    ScreenMetrics metrics() const;
    void setMetrics(const ScreenMetrics& metrics);
    // The part of the window screens are shown in (half-open); (0, 0, 240,
    // 320) until the client view sets it.
    Rect displayArea() const;
    void setDisplayArea(const Rect& area);
    // The host folder images load from; empty (no image loads) until set.
    std::filesystem::path programFolder() const;
    void setProgramFolder(const std::filesystem::path& folder);
    // The folder the tree style puts before its image names, ending in a
    // backslash: "\windows\" until set.
    CString resourceFolder() const;
    void setResourceFolder(const CString& folder);
    // True while a Display exists; StyleValues with their flag set read 0
    // before.
    bool displayExists() const { return displayExists_.load(std::memory_order_acquire); }
    void setDisplayExists(bool exists) { displayExists_.store(exists, std::memory_order_release); }
    // The left and right paddings of pressed styles; 0 until set.
    int32_t sideIndent() const { return sideIndent_.load(std::memory_order_relaxed); }
    void setSideIndent(int32_t indent) { sideIndent_.store(indent, std::memory_order_relaxed); }
    // Set while the page variable "var-login" is "true": text lines reading
    // "委" are painted red.
    bool loginFlag() const { return loginFlag_.load(std::memory_order_relaxed); }
    void setLoginFlag(bool set) { loginFlag_.store(set, std::memory_order_relaxed); }

    // --- makers the layers above install ----------------------------------------------
    LabelMaker labelMaker() const { return labelMaker_.load(); }
    void setLabelMaker(LabelMaker maker) { labelMaker_.store(maker); }
    MessageItemMaker messageItemMaker() const { return messageItemMaker_.load(); }
    void setMessageItemMaker(MessageItemMaker maker) { messageItemMaker_.store(maker); }
    StyleClassApplier styleClassApplier() const { return styleClassApplier_.load(); }
    void setStyleClassApplier(StyleClassApplier applier) { styleClassApplier_.store(applier); }

    // --- wiring of this client --------------------------------------------------------
    // The page controller's request entry (not owned).
    PageNavigator* pageNavigator() const { return pageNavigator_; }
    void setPageNavigator(PageNavigator* navigator) { pageNavigator_ = navigator; }
    // The application shell; it must outlive every screen that paints.
    ScreenShell* screenShell() const { return screenShell_.load(); }
    void setScreenShell(ScreenShell* shell) { screenShell_.store(shell); }
    // The screen the shell (or an alert) made current last; showNotify and
    // hideNotify read and clear it. Any thread.
    Screen* recordedCurrentScreen() const { return recordedScreen_.load(); }
    void setRecordedCurrentScreen(Screen* screen) { recordedScreen_.store(screen); }
    // Clears the record when it holds `screen`.
    void forgetRecordedScreen(Screen* screen) {
        recordedScreen_.compare_exchange_strong(screen, nullptr);
    }
    // While set, every item's state change goes to this screen instead of
    // the item's own (screens set it when shown).
    ItemScreen* stateChangeScreen() const { return stateChangeScreen_; }
    void setStateChangeScreen(ItemScreen* screen) { stateChangeScreen_ = screen; }
    // What marquees show for their keys; any thread.
    CString lookupMarqueeText(const CString& key) const;
    void setMarqueeTextLookup(MarqueeTextLookup lookup);
    // The reply listeners the reply handler delivers through; any thread.
    ResponseListenerRegistry& responseListeners() { return responseListeners_; }

private:
    struct Values;
    std::unique_ptr<Values> values_;  // the guarded values
    std::atomic<bool> displayExists_{false};
    std::atomic<int32_t> sideIndent_{0};
    std::atomic<bool> loginFlag_{false};
    std::atomic<LabelMaker> labelMaker_{nullptr};
    std::atomic<MessageItemMaker> messageItemMaker_{nullptr};
    std::atomic<StyleClassApplier> styleClassApplier_{nullptr};
    PageNavigator* pageNavigator_ = nullptr;
    std::atomic<ScreenShell*> screenShell_{nullptr};
    std::atomic<Screen*> recordedScreen_{nullptr};
    ItemScreen* stateChangeScreen_ = nullptr;
    mutable std::mutex lookupMutex_;
    MarqueeTextLookup marqueeLookup_;
    ResponseListenerRegistry responseListeners_;
    ClientContext* previous_ = nullptr;
    bool builtIn_ = false;  // never current, so never handed back

    struct BuiltIn {};
    explicit ClientContext(BuiltIn);
};

// --- readers of the current context --------------------------------------------------
ColorSettings colorSettings();
ScreenMetrics screenMetrics();
Rect displayArea();
std::filesystem::path programFolder();
CString resourceFolder();
bool displayExists();
int32_t sideIndent();
bool loginFlag();
LabelMaker labelMaker();
MessageItemMaker messageItemMaker();
PageNavigator* pageNavigator();
ScreenShell* screenShell();
Screen* recordedCurrentScreen();
ItemScreen* stateChangeScreen();
ResponseListenerRegistry& responseListeners();
// The current applier's work on a non-null style; nothing otherwise.
void applyStyleClass(Style* style, const CString& className);

}  // namespace zq
