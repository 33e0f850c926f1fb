// TextField, the keypad side: keys, multi-tap editing, the long clear, the
// caret blink and caret movement. The keypad state is the MultiTapInput.
#include <algorithm>

#include "items/text_field.h"
#include "platform/clock.h"
#include "platform/window.h"
#include "ui/command.h"
#include "ui/display.h"

namespace zq {

namespace {

constexpr int32_t kBlinkMs = 501;

bool isDigitKey(int key) { return key >= '0' && key <= '9'; }

// A new field has no mode yet: its indicator reads "123", and the keys
// enter digits as in "123".
bool entersDigits(int mode) { return mode == kModeDigits || mode == kModeNone; }

bool isHeldPress() {
    const Display* display = Display::getDisplay();
    return display && display->isHeldPress();
}

}  // namespace

void TextField::setConstraints(uint32_t constraints) {
    constraints_ = constraints;
    readOnly_ = (constraints & kConstraintUneditable) != 0;
    input_.setConstraints(constraints);
    removeCommand(deleteCommand().get());
    removeCommand(clearCommand().get());
    setItemCommandListener(this);
    if (focused_) updateEditCommands();
}

void TextField::switchInputMode() {
    input_.stepMode();
    commitPendingChar();
    input_.settleCapital();
}

// --- keys ---------------------------------------------------------------------------------------

bool TextField::keyPressed(int keyCode, int gameAction) {
    // 1. Directions move the caret, but the digits that carry them type.
    if ((gameAction == kGameUp && keyCode != '2') || (gameAction == kGameDown && keyCode != '8') ||
        (gameAction == kGameLeft && keyCode != '4') ||
        (gameAction == kGameRight && keyCode != '6')) {
        return moveCaret(keyCode, gameAction);
    }
    input_.keyDown();
    // 2. The forward delete.
    if (keyCode == '.' && gameAction == kGameDelete) {
        forwardDelete();
        return true;
    }
    // 3. "Nat.": keys go straight to character entry.
    if (input_.mode() == kModeNative && keyCode != '#' && keyCode != kKeyBackspace &&
        gameAction != kGameFire) {
        handleCharKey(keyCode);
        return true;
    }
    if (readOnly_) return false;
    // A held digit in a new field or a numbers-only one stays one digit,
    // though the first repeats of a held key come as presses; only a chosen
    // "123" repeats it (one long press must not make 5 into 55555).
    if (isDigitKey(keyCode) && (input_.mode() == kModeNone || input_.isNumericOnly()) &&
        isHeldPress()) {
        input_.noteKeyTime();
        return true;
    }
    bool used = false;
    if (keyCode == '#') {
        used = true;  // the mode changes on release
    } else {
        used = handleCharKey(keyCode);
        if (!used && keyCode == kKeyBackspace && !value().isEmpty()) used = deleteBeforeCaret();
    }
    if (!used && (gameAction == kGameUp || gameAction == kGameDown || gameAction == kGameLeft ||
                  gameAction == kGameRight || gameAction == kGameFire)) {
        used = moveCaret(keyCode, gameAction);
    }
    return used;
}

bool TextField::keyReleased(int keyCode, int gameAction) {
    input_.keyUp();
    if (keyCode == '#' && !input_.isNumericOnly() && !readOnly_) {
        switchInputMode();
        return true;
    }
    return StringItem::keyReleased(keyCode, gameAction);
}

bool TextField::keyRepeated(int keyCode, int gameAction) {
    if (keyCode == '.' && gameAction == kGameDelete) {
        forwardDelete();
        return true;
    }
    // A new field and a numbers-only one type digits as they come, yet only
    // the chosen "123" repeats a held one.
    if (isDigitKey(keyCode) && (input_.isNumericOnly() || input_.mode() == kModeNone)) {
        input_.noteKeyTime();
        return true;
    }
    if (isDigitKey(keyCode) && !input_.isNumericOnly() && !entersDigits(input_.mode()) &&
        !readOnly_ && charCount(value()) <= maxSize_) {
        input_.noteKeyTime();
        // Only the pending letter of this very key becomes its digit; the
        // text never grows here.
        const auto digit = static_cast<char16_t>(keyCode);
        if (input_.isRetap(keyCode) && input_.pendingChar() != digit) {
            if (insertChar(digit, false, false)) input_.setPending(digit);
        }
        return true;
    }
    if (keyCode == kKeyClear && caretIndex_ > 0 && !value().isEmpty()) {
        input_.clearRepeated();
        StringItem::keyRepeated(keyCode, gameAction);
        return true;
    }
    return StringItem::keyRepeated(keyCode, gameAction);
}

void TextField::forwardDelete() {
    commitPendingChar();
    if (readOnly_ || caretIndex_ >= value().length()) return;
    caretIndex_ = nextCharIndex(value(), caretIndex_);
    deleteBeforeCaret();
}

void TextField::clearHeld() { input_.keyUp(); }

bool TextField::handleCharKey(int keyCode) {
    input_.setDirect(false);
    const CString current = value();
    const int length = charCount(current);
    const bool hasPoint = current.find(u'.') >= 0;

    // 1. Numbers.
    if (entersDigits(input_.mode()) && !readOnly_) {
        if (isDigitKey(keyCode)) {
            if (length < maxSize_) insertChar(static_cast<char16_t>(keyCode), true, true);
            return true;
        }
        if (keyCode == '.') {
            // A numeric field takes whole numbers; only a decimal one a point.
            if (input_.acceptsPoint() && !hasPoint && length < maxSize_)
                insertChar(u'.', true, true);
            return true;
        }
        if (input_.isDecimal() && (keyCode == '#' || keyCode == '*') && length < maxSize_ &&
            !hasPoint) {
            insertChar(u'.', true, true);
            return true;
        }
    }
    // 2. Numeric fields take nothing else.
    if (input_.isNumericOnly() || readOnly_) return false;

    // 3. Multi-tap keys.
    if (isDigitKey(keyCode) || keyCode == '*' || keyCode == '#') {
        const bool sameKey = input_.isRetap(keyCode);
        if (length < maxSize_ || (length == maxSize_ && sameKey)) {
            return multiTap(keyCode, input_.keysFor(keyCode));
        }
        return false;
    }
    // 4. Any other character.
    if (keyCode >= 32 && keyCode <= 63486 && length < maxSize_) {
        const auto ch = static_cast<char16_t>(keyCode);
        if (keyCode > 1000 || ch == u' ') {
            commitPendingChar();
            insertText(CString(ch), caretIndex_);
        } else {
            commitPendingChar();
            input_.setDirect(true);
            insertChar(ch, true, true);
            input_.setDirect(false);
        }
        return true;
    }
    return false;
}

bool TextField::multiTap(int keyCode, const CString& keys) {
    if (keys.isEmpty()) return false;
    input_.noteKeyTime();
    const bool replace = input_.isRetap(keyCode);
    if (replace) {
        input_.nextTap(keys.length());
    } else {
        commitPendingChar();
        if (charCount(value()) >= maxSize_) return true;
        input_.startTap(keyCode);
    }
    const CString current = value();
    const int caret = std::clamp(caretIndex_, 0, current.length());
    char16_t ch = 0;
    if (!input_.tapChar(keys, caret, current, &ch)) return true;
    if (keys.length() == 1) {
        if (replace) input_.dropPending();
        insertChar(ch, !replace, true);
        return true;
    }
    if (insertChar(ch, !replace, false)) input_.setPending(ch);
    return true;
}

// --- timing -------------------------------------------------------------------------------------

bool TextField::animate() {
    if (!focused_) return false;
    bool changed = false;
    const uint32_t now = tickCount();
    if (!input_.hasPending()) {
        // 1. The long clear while the clear key is held.
        changed = clearWhileHeld();
    } else if (input_.isCommitDue(now)) {
        // 2. A second without tapping commits the pending character.
        commitPendingChar();
        changed = true;
    }
    // 3. The caret blinks.
    if (caretBlinks_ && !readOnly_ && tickDiff(now, lastBlinkTime_) >= kBlinkMs) {
        caretVisible_ = !caretVisible_;
        lastBlinkTime_ = now;
        changed = true;
    }
    return changed;
}

// Deletes the word before the caret, or everything, when the long clear's
// step is due.
bool TextField::clearWhileHeld() {
    const CString current = value();
    if (current.isEmpty() || caretIndex_ <= 0) return false;
    const MultiTapInput::ClearStep step = input_.takeClearStep();
    if (step == MultiTapInput::ClearStep::None) return false;
    if (step == MultiTapInput::ClearStep::Word) {
        const int caret = std::min(caretIndex_, current.length());
        int start = caret - 1;
        while (start > 0 && current[start] != u' ') --start;
        if (start < 0) start = 0;
        CString next = current.left(start) + current.mid(caret);
        storeValue(next, start);
    } else {
        storeValue(CString(), 0);
    }
    notifyStateChanged();
    return true;
}

// --- caret movement ------------------------------------------------------------------------------

bool TextField::moveCaret(int keyCode, int gameAction) {
    if (gameAction == kGameFire) {
        if (keyCode == '5') return false;
        const CommandRef& command = getDefaultCommand();
        ItemCommandListener* listener = getItemCommandListener();
        if (!command || !listener) return false;
        listener->commandAction(command.get(), this);
        return true;
    }
    if (textLines_.isEmpty()) return false;
    if (input_.hasPending()) {
        commitPendingChar();
        if (gameAction == kGameRight) return true;
    }
    const int length = value().length();
    int target = caretIndex_;
    switch (gameAction) {
        case kGameUp:
        case kGameDown:
            target = textLines_.indexOnLineAway(text_, length, gameAction == kGameUp ? -1 : 1);
            if (target < 0) return false;
            break;
        case kGameLeft:
            if (caretIndex_ <= 0) return false;
            target = previousCharIndex(value(), caretIndex_);
            break;
        case kGameRight:
            if (caretIndex_ >= length) return false;
            target = nextCharIndex(value(), caretIndex_);
            break;
        default:
            return false;
    }
    locateCaret(target);
    updateEditCommands();
    return true;
}

}  // namespace zq
