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

void Screen::keyPressed(int keyCode) {
    RecursiveLock lock(contentLock());
    lastKeyTime_ = tickCount();
    if (isInputBlocked()) return;
    keyInProgress_ = true;
    const int action = getGameAction(keyCode);
    centrePressed_ = false;
    const bool handled =
        menuOpen_ ? popupMenu_->keyPressed(keyCode, action) : contentKeyPressed(keyCode, action);
    // The release fires the left command only after a press nothing used.
    if (!handled && !menuOpen_ && action == kGameFire && leftCommand_) centrePressed_ = true;
    if (handled || raiseKeyBinding(keyCode)) repaint();
    keyInProgress_ = false;
}

void Screen::keyRepeated(int keyCode) {
    RecursiveLock lock(contentLock());
    lastKeyTime_ = tickCount();
    if (isInputBlocked()) return;
    const int action = getGameAction(keyCode);
    const bool handled =
        menuOpen_ ? popupMenu_->keyRepeated(keyCode, action) : contentKeyRepeated(keyCode, action);
    if (handled) repaint();
}

void Screen::keyReleased(int keyCode) {
    RecursiveLock lock(contentLock());
    lastKeyTime_ = tickCount();
    int action = getGameAction(keyCode);
    // A blocking load: only its cancel.
    if (isInputBlocked()) {
        if (keyCode == kKeySoftRight && isCancelAllowed()) cancelLoading();
        return;
    }
    // The left soft key fires, opens the menu or chooses in it.
    if (keyCode == kKeySoftLeft && releaseLeftSoftKey()) return;
    if (keyCode == kKeySoftLeft && menuOpen_) action = kGameFire;
    // The right soft key fires its command while the menu is closed.
    if (keyCode == kKeySoftRight && !menuOpen_ && rightCommand_) {
        const CommandRef command = rightCommand_;
        fireCommand(command.get());
        repaint();
        return;
    }
    // The menu, the centre key's left command, or the content.
    bool handled = false;
    if (menuOpen_) {
        if (keyCode == kKeySoftRight) {
            setPopupMenuOpen(false);
            handled = true;
        } else {
            handled = popupMenu_->keyReleased(keyCode, action);
        }
    } else if (leftCommand_ && action == kGameFire && centrePressed_) {
        centrePressed_ = false;
        const CommandRef command = leftCommand_;
        fireCommand(command.get());
        repaint();
        return;
    } else {
        handled = contentKeyReleased(keyCode, action);
    }
    if (handled) repaint();
}

bool Screen::releaseLeftSoftKey() {
    if (leftCommand_) {
        const CommandRef command = leftCommand_;
        fireCommand(command.get());
        repaint();
        return true;
    }
    if (!menuOpen_) {
        if (!popupMenu_ || popupMenu_->size() == 0) return false;
        setPopupMenuOpen(true);
        repaint();
        return true;
    }
    // The open menu: the soft key chooses its focused entry.
    popupMenu_->keyPressed(kKeySoftLeft, kGameFire);
    popupMenu_->keyReleased(kKeySoftLeft, kGameFire);
    CommandItem* entry = asCommandItem(popupMenu_->getFocusedItem());
    if (!entry) return false;
    if (!entry->isSubmenuOpen()) setPopupMenuOpen(false);
    repaint();
    return true;
}

bool Screen::raiseKeyBinding(int keyCode) {
    if (!eventListener_) return false;
    const CString name = keyName(keyCode);
    const CString* action = findKeyBinding(name);
    if (!action) action = findKeyBinding(CString(u"all"));
    if (!action) return false;
    eventListener_->onEvent(std::make_unique<KeyEvent>(name, *action));
    return true;
}

// --- pen ---------------------------------------------------------------------------------

void Screen::pointerPressed(int x, int y) {
    RecursiveLock lock(contentLock());
    pressedItem_.reset();
    const bool inBar = softKeyBarShown_ && inSoftKeyBar(y);
    // A blocking load: only a tap on the cancel mark.
    if (isInputBlocked()) {
        if (isCancelAllowed() && inBar && x >= rightAreaStart_) cancelLoading();
        return;
    }
    // The code input pad over the page.
    if (codeInputPad_ && codeInputPad_->isVisible() && codeInputPad_->containsPoint(x, y)) {
        codeInputPad_->pointerPressed(x, y);
        return;
    }
    // A tap on the thumb starts a drag.
    ScrollBar& bar = *scrollBar_;
    const int barX = x - bar.relativeX();
    const int barY = y - bar.relativeY();
    if (bar.isBarShown() && bar.isInItemArea(barX, barY) && bar.isOnThumb(barY)) {
        bar.startDrag(barY);
    }
    // The command row between the labels shows its press at once.
    lastTapTime_ = tickCount();
    if (inBar && !menuOpen_ && commandRow_ && inRowArea(x)) {
        InlineContainer& row = *commandRow_;
        if (row.pointerPressed(x - row.relativeX(), y - row.relativeY())) {
            repaintItem(row.getLastPaintX(), row.getLastPaintY(), row.getLastPaintLeft(),
                        row.getLastPaintRight(), &row);
        }
    }
    // The soft keyboard over the page.
    if (!menuOpen_ && softKeyboard_ && softKeyboard_->isVisible() &&
        softKeyboard_->containsPoint(x, y)) {
        softKeyboard_->pointerPressed(x, y);
        repaint();
        return;
    }
    // The open menu takes every tap above the bar.
    if (menuOpen_ && !inBar) {
        popupMenu_->pointerPressed(x - popupMenu_->relativeX(), y - popupMenu_->relativeY());
        repaint();
        return;
    }
    // The header item (a tab bar).
    if (headerItem_) {
        headerItem_->pointerPressed(x - headerItem_->relativeX(), y - headerItem_->relativeY());
    }
    // Above the bar the scroll bar, else the content; in it the soft keys.
    if (!inBar) {
        const bool onBar = bar.isBarShown() && bar.pointerPressed(barX, barY);
        if (!onBar && content_) {
            content_->pointerPressed(x - content_->relativeX(), y - content_->relativeY());
        }
    } else {
        pressSoftKeyBar(x);
    }
    repaint();
}

void Screen::pressSoftKeyBar(int x) {
    if (x >= rightAreaStart_) {
        if (menuOpen_) {
            setPopupMenuOpen(false);
        } else if (rightCommand_) {
            const CommandRef command = rightCommand_;
            fireCommand(command.get());
        }
        return;
    }
    if (x > leftAreaWidth_) {
        if (menuOpen_) setPopupMenuOpen(false);
        return;
    }
    if (menuOpen_) {
        popupMenu_->keyPressed(kKeySoftLeft, kGameFire);
        setPopupMenuOpen(false);
    } else if (leftCommand_) {
        const CommandRef command = leftCommand_;
        fireCommand(command.get());
    } else {
        setPopupMenuOpen(true);
    }
}

void Screen::pointerReleased(int x, int y) {
    RecursiveLock lock(contentLock());
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
    ScrollBar& bar = *scrollBar_;
    if (bar.isDragging()) {
        bar.endDrag();
        return;
    }
    // Releases in the soft-key bar are the soft keys' and the row's.
    lastTapTime_ = tickCount();
    const bool inBar = softKeyBarShown_ && inSoftKeyBar(y);
    if (inBar) {
        if (!menuOpen_ && commandRow_ && inRowArea(x)) releaseCommandRow(x, y);
        return;
    }
    // The open menu; a release it does not take closes it.
    if (menuOpen_) {
        if (!popupMenu_->pointerReleased(x - popupMenu_->relativeX(),
                                         y - popupMenu_->relativeY())) {
            setPopupMenuOpen(false);
        }
        repaint();
        return;
    }
    // The scroll bar, then the content.
    if (bar.isBarShown() && bar.pointerReleased(x - bar.relativeX(), y - bar.relativeY())) return;
    if (content_ &&
        content_->pointerReleased(x - content_->relativeX(), y - content_->relativeY())) {
        repaint();
    }
}

void Screen::releaseCommandRow(int x, int y) {
    InlineContainer& row = *commandRow_;
    const auto& entries = row.getItems();
    const bool wasPressed =
        row.isPressed() || std::any_of(entries.begin(), entries.end(),
                                       [](const auto& entry) { return entry->isPressed(); });
    row.pointerReleased(x - row.relativeX(), y - row.relativeY());
    // A command that replaced the row left this one alive until the next.
    if (!wasPressed) return;
    for (const auto& entry : row.getItems()) entry->selectReleased();
    repaint();
}

void Screen::pointerDragged(int x, int y) {
    RecursiveLock lock(contentLock());
    if (codeInputPad_ && codeInputPad_->isVisible()) return;
    if (isInputBlocked()) return;
    ScrollBar& bar = *scrollBar_;
    if (bar.isBarShown() && bar.pointerDragged(x - bar.relativeX(), y - bar.relativeY())) {
        repaint();
        return;
    }
    if (!menuOpen_ && contentPointerDragged(x, y)) repaint();
}

}  // namespace zq
