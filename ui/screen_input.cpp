// Screen: keys and the pen. Each event is routed under the content lock, so
// that the ticker's animation step never runs in the middle of one; a load
// that blocks input lets only its cancel through.
//
// Listeners reached from here (the event listener, the command listener)
// must not destroy the screen during the call: the routing goes on after it.
#include <algorithm>
#include <utility>

#include "core/string_utils.h"
#include "platform/clock.h"
#include "platform/font.h"
#include "platform/threading.h"
#include "platform/window.h"
#include "ui/code_input_pad.h"
#include "ui/command_item.h"
#include "ui/container.h"
#include "ui/empty_container.h"
#include "ui/event.h"
#include "ui/listeners.h"
#include "ui/screen.h"
#include "ui/scroll_bar.h"
#include "ui/soft_keyboard.h"

namespace zq {

// --- keys ------------------------------------------------------------------------------

namespace {

bool isSoftKey(int keyCode) { return keyCode == kKeySoftLeft || keyCode == kKeySoftRight; }

}  // namespace

// Whatever moved the view during an event (a key, a page, the scroll bar,
// a tap), the focus ends on a control drawn on screen, or on none.
class Screen::ViewMoveScope {
public:
    explicit ViewMoveScope(ScreenContent& content) : content_(content) { content_.beginEvent(); }
    ~ViewMoveScope() { content_.endEvent(); }
    ViewMoveScope(const ViewMoveScope&) = delete;
    ViewMoveScope& operator=(const ViewMoveScope&) = delete;

private:
    ScreenContent& content_;
};

void Screen::keyPressed(int keyCode) {
    RecursiveLock lock(contentLock());
    const ViewMoveScope moved(content_);
    softKeys_.invalidateMenuLayout();
    lastKeyTime_ = tickCount();
    if (isInputBlocked()) return;
    keyInProgress_ = true;
    const int action = getGameAction(keyCode);
    centrePressed_ = false;
    bool handled = false;
    if (softKeys_.isMenuOpen()) {
        handled = softKeys_.menu()->keyPressed(keyCode, action);
    } else if (isSoftKey(keyCode)) {
        // The soft keys act on release and are nobody else's: their codes
        // are also 'p' and 'q', which a field would type and a page may bind.
        handled = true;
    } else {
        handled = contentKeyPressed(keyCode, action);
    }
    // The release fires the left command only after a press nothing used.
    if (!handled && !softKeys_.isMenuOpen() && action == kGameFire && softKeys_.leftCommand()) {
        centrePressed_ = true;
    }
    if (handled || (!isSoftKey(keyCode) && raiseKeyBinding(keyName(keyCode)))) repaint();
    keyInProgress_ = false;
}

void Screen::textTyped(const CString& text) {
    RecursiveLock lock(contentLock());
    const ViewMoveScope moved(content_);
    softKeys_.invalidateMenuLayout();
    lastKeyTime_ = tickCount();
    if (isInputBlocked() || text.isEmpty()) return;
    keyInProgress_ = true;
    centrePressed_ = false;
    // A field takes the text whole, as it was typed.
    if (!softKeys_.isMenuOpen()) {
        Container* content = getContent();
        if (content && content->textTyped(text)) {
            repaint();
            keyInProgress_ = false;
            return;
        }
    }
    const std::u16string_view typed = text.view();
    for (size_t i = 0; i < typed.size();) {
        const size_t start = i;
        const int code = static_cast<int>(nextChar(typed, i));
        bool handled = softKeys_.isMenuOpen() ? softKeys_.menu()->keyPressed(code, kGameNone)
                                              : contentKeyPressed(code, kGameNone);
        if (handled || raiseKeyBinding(CString(typed.substr(start, i - start)))) repaint();
        // The listener of a binding may have opened another screen; this one
        // still gets the release of its press.
        handled = softKeys_.isMenuOpen() ? softKeys_.menu()->keyReleased(code, kGameNone)
                                         : contentKeyReleased(code, kGameNone);
        if (handled) repaint();
    }
    keyInProgress_ = false;
}

void Screen::keyRepeated(int keyCode) {
    RecursiveLock lock(contentLock());
    const ViewMoveScope moved(content_);
    softKeys_.invalidateMenuLayout();
    lastKeyTime_ = tickCount();
    if (isInputBlocked()) return;
    const int action = getGameAction(keyCode);
    if (isSoftKey(keyCode) && !softKeys_.isMenuOpen()) return;
    const bool handled = softKeys_.isMenuOpen() ? softKeys_.menu()->keyRepeated(keyCode, action)
                                                : contentKeyRepeated(keyCode, action);
    if (handled) repaint();
}

void Screen::keyReleased(int keyCode) {
    RecursiveLock lock(contentLock());
    const ViewMoveScope moved(content_);
    softKeys_.invalidateMenuLayout();
    lastKeyTime_ = tickCount();
    int action = getGameAction(keyCode);
    // A blocking load: only its cancel.
    if (isInputBlocked()) {
        if (keyCode == kKeySoftRight && isCancelAllowed()) cancelLoading();
        return;
    }
    // The left soft key fires, opens the menu or chooses in it.
    if (keyCode == kKeySoftLeft && softKeys_.releaseLeftKey()) return;
    if (keyCode == kKeySoftLeft && softKeys_.isMenuOpen()) action = kGameFire;
    // The cancel mark takes the right soft key's place while a load that
    // leaves input free (a reload) shows it: the key cancels, never goes back.
    if (keyCode == kKeySoftRight && !softKeys_.isMenuOpen() && cancelMarkShown()) {
        cancelLoading();
        return;
    }
    // The right soft key fires its command while the menu is closed.
    if (keyCode == kKeySoftRight && !softKeys_.isMenuOpen() && softKeys_.rightCommand()) {
        softKeys_.fireRight();
        repaint();
        return;
    }
    // The menu, the centre key's left command, or the content.
    bool handled = false;
    if (softKeys_.isMenuOpen()) {
        if (keyCode == kKeySoftRight) {
            setPopupMenuOpen(false);
            handled = true;
        } else {
            handled = softKeys_.menu()->keyReleased(keyCode, action);
        }
    } else if (softKeys_.leftCommand() && action == kGameFire && centrePressed_) {
        centrePressed_ = false;
        softKeys_.fireLeft();
        repaint();
        return;
    } else {
        handled = contentKeyReleased(keyCode, action);
    }
    if (handled) repaint();
}

bool Screen::raiseKeyBinding(const CString& name) {
    if (!eventListener_) return false;
    const CString* action = findKeyBinding(name);
    if (!action) action = findKeyBinding(CString(u"all"));
    if (!action) return false;
    eventListener_->onEvent(std::make_unique<KeyEvent>(name, *action));
    return true;
}

// --- pen ---------------------------------------------------------------------------------

void Screen::noteKeyTime() { lastKeyTime_ = tickCount(); }

void Screen::pointerPressed(int x, int y) {
    RecursiveLock lock(contentLock());
    const ViewMoveScope moved(content_);
    softKeys_.invalidateMenuLayout();
    pressedItem_.reset();
    const bool inBar = softKeyBarShown_ && inSoftKeyBar(y);
    // A blocking load: only a tap on the cancel mark.
    if (isInputBlocked()) {
        if (isCancelAllowed() && inBar && x >= softKeys_.rightAreaStart()) cancelLoading();
        return;
    }
    // The code input pad over the page.
    if (codeInputPad_ && codeInputPad_->isVisible() && codeInputPad_->containsPoint(x, y)) {
        codeInputPad_->pointerPressed(x, y);
        return;
    }
    // A tap on the thumb starts a drag.
    ScrollBar& bar = content_.scrollBar();
    const int barX = x - bar.relativeX();
    const int barY = y - bar.relativeY();
    if (bar.isBarShown() && bar.isInItemArea(barX, barY) && bar.isOnThumb(barY)) {
        bar.startDrag(barY);
    }
    // The command row between the labels shows its press at once.
    lastTapTime_ = tickCount();
    if (inBar && !softKeys_.isMenuOpen() && softKeys_.commandRow() && softKeys_.inRowArea(x)) {
        softKeys_.pressRow(x, y);
    }
    // The soft keyboard over the page.
    if (!softKeys_.isMenuOpen() && softKeyboard_ && softKeyboard_->isVisible() &&
        softKeyboard_->containsPoint(x, y)) {
        lastKeyTime_ = tickCount();
        softKeyboard_->pointerPressed(x, y);
        repaint();
        return;
    }
    // The open menu takes every tap above the bar.
    if (softKeys_.isMenuOpen() && !inBar) {
        softKeys_.menu()->pointerPressed(x - softKeys_.menu()->relativeX(),
                                         y - softKeys_.menu()->relativeY());
        repaint();
        return;
    }
    // A band of the status line belongs to the item that reserved it.
    if (!inBar) {
        if (Item* owner = statusLineOwnerAt(x, y)) {
            owner->pointerPressed(x - owner->getAbsoluteX(),
                                  y - owner->getAbsoluteY() - getScrollOffset());
            repaint();
            return;
        }
    }
    // The header item (a tab bar).
    if (headerItem_) {
        headerItem_->pointerPressed(x - headerItem_->relativeX(), y - headerItem_->relativeY());
    }
    // Above the bar the scroll bar, else the content; in it the soft keys.
    if (!inBar) {
        const bool onBar = bar.isBarShown() && bar.pointerPressed(barX, barY);
        if (!onBar) contentPointerPressed(x, y);
    } else if (!softKeys_.isMenuOpen() && cancelMarkShown() && x >= softKeys_.rightAreaStart()) {
        cancelLoading();
        return;
    } else {
        softKeys_.press(x);
    }
    repaint();
}

void Screen::pointerReleased(int x, int y) {
    RecursiveLock lock(contentLock());
    const ViewMoveScope moved(content_);
    softKeys_.invalidateMenuLayout();
    // The item that showed a pressed look shows its normal one, unless
    //    it was removed (a rebuilt page, a reply) while the pen was down.
    if (Item* item = getPressedItem()) repaintItemNow(*item);
    pressedItem_.reset();
    // The code input pad, then the soft keyboard, end their key's highlight.
    if (codeInputPad_ && codeInputPad_->isVisible()) {
        if (codeInputPad_->clearText()) codeInputPad_->repaint();
        return;
    }
    if (softKeyboard_ && softKeyboard_->isVisible() && softKeyboard_->containsPoint(x, y)) {
        if (softKeyboard_->clearText()) softKeyboard_->repaint();
        return;
    }
    // A blocking load takes no release.
    if (isInputBlocked()) return;
    // A thumb drag ends wherever the pen is lifted.
    ScrollBar& bar = content_.scrollBar();
    if (bar.isDragging()) {
        bar.endDrag();
        return;
    }
    // Releases in the soft-key bar are the soft keys' and the row's.
    lastTapTime_ = tickCount();
    const bool inBar = softKeyBarShown_ && inSoftKeyBar(y);
    if (inBar) {
        if (!softKeys_.isMenuOpen() && softKeys_.commandRow() && softKeys_.inRowArea(x)) {
            softKeys_.releaseRow(x, y);
        }
        return;
    }
    // The open menu; a release it does not take closes it.
    if (softKeys_.isMenuOpen()) {
        if (!softKeys_.menu()->pointerReleased(x - softKeys_.menu()->relativeX(),
                                               y - softKeys_.menu()->relativeY())) {
            setPopupMenuOpen(false);
        }
        repaint();
        return;
    }
    // A status-line band, then the scroll bar, then the content.
    if (Item* owner = statusLineOwnerAt(x, y)) {
        owner->pointerReleased(x - owner->getAbsoluteX(),
                               y - owner->getAbsoluteY() - getScrollOffset());
        return;
    }
    if (bar.isBarShown() && bar.pointerReleased(x - bar.relativeX(), y - bar.relativeY())) return;
    if (getContent() && getContent()->pointerReleased(x - getContent()->relativeX(),
                                                      y - getContent()->relativeY())) {
        repaint();
    }
}

void Screen::pointerDragged(int x, int y) {
    RecursiveLock lock(contentLock());
    const ViewMoveScope moved(content_);
    softKeys_.invalidateMenuLayout();
    if (codeInputPad_ && codeInputPad_->isVisible()) return;
    if (isInputBlocked()) return;
    ScrollBar& bar = content_.scrollBar();
    if (bar.isBarShown() && bar.pointerDragged(x - bar.relativeX(), y - bar.relativeY())) {
        repaint();
        return;
    }
    if (!softKeys_.isMenuOpen() && contentPointerDragged(x, y)) repaint();
}

Item* Screen::itemDrawnAt(int x, int y, int& itemX, int& itemY) {
    RecursiveLock lock(contentLock());
    Container* content = getContent();
    if (!content || (softKeyBarShown_ && inSoftKeyBar(y)) || softKeys_.isMenuOpen()) {
        return nullptr;
    }
    if (codeInputPad_ && codeInputPad_->isVisible()) return nullptr;
    if (softKeyboard_ && softKeyboard_->isVisible() && softKeyboard_->containsPoint(x, y)) {
        return nullptr;
    }
    ScrollBar& bar = content_.scrollBar();
    if (bar.isBarShown() && bar.isInItemArea(x - bar.relativeX(), y - bar.relativeY())) {
        return nullptr;
    }
    return content->itemDrawnAt(x - content->relativeX(), y - content->relativeY(), itemX, itemY);
}

bool Screen::thumbAt(int x, int y) {
    RecursiveLock lock(contentLock());
    ScrollBar& bar = content_.scrollBar();
    const int barY = y - bar.relativeY();
    return bar.isBarShown() && bar.isInItemArea(x - bar.relativeX(), barY) && bar.isOnThumb(barY);
}

// --- what the content does with keys and drags ---------------------------

void Screen::scrollBy(int delta) {
    if (content_.scrollBy(delta)) repaint();
}

bool Screen::contentKeyPressed(int keyCode, int gameAction) {
    const bool handled = content_.keyPressed(keyCode, gameAction);
    if (!handled && (gameAction == kGameLeft || gameAction == kGameRight) &&
        content_.page(gameAction)) {
        repaint();
    }
    return handled;
}

bool Screen::contentKeyRepeated(int keyCode, int gameAction) {
    return content_.keyRepeated(keyCode, gameAction);
}

bool Screen::contentKeyReleased(int keyCode, int gameAction) {
    return content_.keyReleased(keyCode, gameAction);
}

bool Screen::contentPointerDragged(int x, int y) { return content_.pointerDragged(x, y); }

void Screen::contentPointerPressed(int x, int y) {
    if (Container* content = getContent()) {
        content->pointerPressed(x - content->relativeX(), y - content->relativeY());
    }
}

}  // namespace zq
