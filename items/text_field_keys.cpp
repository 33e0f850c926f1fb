// TextField, the keypad side: input modes, multi-tap, the key tables, the
// e-mail and mode filters and the key timing.
#include <algorithm>

#include "items/text_field.h"
#include "platform/clock.h"
#include "platform/window.h"
#include "ui/command.h"

namespace zq {

namespace {

// A pending character is committed when no key came for this long.
constexpr int32_t kCommitDelayMs = 999;
// A '#' held this long shows the mode it will switch to.
constexpr int32_t kHashHoldMs = 1000;
constexpr int32_t kBlinkMs = 501;
// The long clear: every third repeat deletes a word, from the ninth on all.
constexpr int kClearStep = 3;
constexpr int kClearAll = 9;

const CString kEmailChars(u".-_@!#$%&'*+/=?^`{|}~");
const CString kEmailDomainChars(u"._-");
const CString kStarKeys(u".,!?¿:/@_-+1'\";");
const CString kHashKeys;

const std::array<CString, 10> kDefaultKeyTable = {
    CString(u" 0"),          CString(u".,!?¿:/()@_-+1'\";"),
    CString(u"abc2áâãäåæç"), CString(u"def3èéêë"),
    CString(u"ghi4ìíîï"),    CString(u"jkl5"),
    CString(u"mno6ñòóôõö"),  CString(u"pqrs7ß"),
    CString(u"tuv8ùúûü"),    CString(u"wxyz9ý"),
};

const std::array<CString, 10> kEmailKeyTable = {
    kEmailChars + CString(u"0"),
    kEmailChars + CString(u"1"),
    CString(u"abc2"),
    CString(u"def3"),
    CString(u"ghi4"),
    CString(u"jkl5"),
    CString(u"mno6"),
    CString(u"pqrs7"),
    CString(u"tuv8"),
    CString(u"wxyz9"),
};

bool isDigitKey(int key) { return key >= '0' && key <= '9'; }

bool isAsciiLetterOrDigit(char16_t ch) {
    return (ch >= u'0' && ch <= u'9') || (ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z');
}

char16_t upper(char16_t ch) { return ch >= u'a' && ch <= u'z' ? ch - u'a' + u'A' : ch; }

bool allIn(const CString& text, char16_t from, char16_t to, int start = 0) {
    for (int i = start; i < text.length(); ++i) {
        if (text[i] < from || text[i] > to) return false;
    }
    return true;
}

}  // namespace

void TextField::setConstraints(uint32_t constraints) {
    constraints_ = constraints;
    readOnly_ = (constraints & kConstraintUneditable) != 0;
    keyTable_ = &kDefaultKeyTable;
    numericOnly_ = decimal_ = emailOnly_ = false;
    switch (constraints & 0xFFFF) {
        case kConstraintNumeric:
        case kConstraintPhone:
            numericOnly_ = true;
            inputMode_ = kModeDigits;
            break;
        case kConstraintDecimal:
            numericOnly_ = decimal_ = true;
            inputMode_ = kModeDigits;
            break;
        case kConstraintEmail:
            emailOnly_ = true;
            keyTable_ = &kEmailKeyTable;
            break;
        default:
            break;
    }
    if (constraints & kConstraintInitialCaps) {
        inputMode_ = kModeCapital;
        capitalNext_ = true;
    }
    removeCommand(deleteCommand().get());
    removeCommand(clearCommand().get());
    setItemCommandListener(this);
    if (focused_) updateEditCommands();
}

CString TextField::getModeName() const {
    switch (inputMode_) {
        case kModeLower:
            return CString(capitalNext_ ? u"Abc" : u"abc");
        case kModeCapital:
            return CString(u"Abc");
        case kModeUpper:
            return CString(u"ABC");
        case kModeNative:
            return CString(u"Nat.");
        default:
            return CString(u"123");
    }
}

void TextField::switchInputMode() {
    if (capitalNext_ && inputMode_ == kModeLower) {
        capitalNext_ = false;
    } else {
        inputMode_ = inputMode_ + 1 > kModeNative ? kModeLower : inputMode_ + 1;
    }
    commitPendingChar();
    capitalNext_ = inputMode_ == kModeCapital;
}

// --- keys ---------------------------------------------------------------------------------------

bool TextField::keyPressed(int keyCode, int gameAction) {
    // 1. Directions move the caret, but the digits that carry them type.
    if ((gameAction == kGameUp && keyCode != '2') || (gameAction == kGameDown && keyCode != '8') ||
        (gameAction == kGameLeft && keyCode != '4') ||
        (gameAction == kGameRight && keyCode != '6')) {
        return moveCaret(keyCode, gameAction);
    }
    keyHeld_ = true;
    // 2. The forward delete.
    if (keyCode == '.' && gameAction == kGameDelete) {
        forwardDelete();
        return true;
    }
    // 3. "Nat.": keys go straight to character entry.
    if (inputMode_ == kModeNative && keyCode != '#' && keyCode != kKeyBackspace &&
        gameAction != kGameFire) {
        handleCharKey(keyCode);
        return true;
    }
    if (readOnly_) return false;
    bool used = false;
    if (keyCode == '#') {
        if (!numericOnly_) {
            if (!hashDown_) {
                hashDown_ = true;
                hashDownTime_ = tickCount();
                hashNoted_ = false;
            } else if (!hashNoted_ && ticksSince(hashDownTime_) > kHashHoldMs) {
                hashNoted_ = true;
            }
        }
        used = true;
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
    keyHeld_ = false;
    clearRepeats_ = 0;
    clearActedAt_ = 0;
    if (keyCode == '#' && !numericOnly_ && !readOnly_) {
        hashDown_ = false;
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
    if (isDigitKey(keyCode) && !numericOnly_ && inputMode_ != kModeDigits && !readOnly_ &&
        value().length() <= maxSize_) {
        lastKeyTime_ = tickCount();
        // Only the pending letter of this very key becomes its digit; the
        // text never grows here.
        const auto digit = static_cast<char16_t>(keyCode);
        if (pending_ && lastKey_ == keyCode && pendingChar_ != digit) {
            if (insertChar(digit, false, false)) pendingChar_ = digit;
        }
        return true;
    }
    if (keyCode == kKeyClear && caretIndex_ > 0 && !value().isEmpty()) {
        ++clearRepeats_;
        StringItem::keyRepeated(keyCode, gameAction);
        return true;
    }
    return StringItem::keyRepeated(keyCode, gameAction);
}

void TextField::forwardDelete() {
    commitPendingChar();
    if (readOnly_ || caretIndex_ >= value().length()) return;
    ++caretIndex_;
    deleteBeforeCaret();
}

void TextField::clearHeld() {
    keyHeld_ = false;
    clearRepeats_ = 0;
    clearActedAt_ = 0;
    hashDown_ = false;
}

bool TextField::handleCharKey(int keyCode) {
    directChar_ = false;
    const CString current = value();
    const int length = current.length();
    const bool hasPoint = current.find(u'.') >= 0;

    // 1. Numbers.
    if (inputMode_ == kModeDigits && !readOnly_) {
        if (isDigitKey(keyCode)) {
            if (length < maxSize_) insertChar(static_cast<char16_t>(keyCode), true, true);
            return true;
        }
        if (keyCode == '.') {
            // A numeric field takes whole numbers; only a decimal one a point.
            if (acceptsPoint() && !hasPoint && length < maxSize_) insertChar(u'.', true, true);
            return true;
        }
        if (decimal_ && (keyCode == '#' || keyCode == '*') && length < maxSize_ && !hasPoint) {
            insertChar(u'.', true, true);
            return true;
        }
    }
    // 2. Numeric fields take nothing else.
    if (numericOnly_ || readOnly_) return false;

    // 3. Multi-tap keys.
    if (isDigitKey(keyCode) || keyCode == '*' || keyCode == '#') {
        const bool sameKey = pending_ && keyCode == lastKey_;
        if (length < maxSize_ || (length == maxSize_ && sameKey)) {
            const CString& keys = keyCode == '#'   ? kHashKeys
                                  : keyCode == '*' ? kStarKeys
                                                   : (*keyTable_)[keyCode - '0'];
            return multiTap(keyCode, keys);
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
            directChar_ = true;
            insertChar(ch, true, true);
            directChar_ = false;
        }
        return true;
    }
    return false;
}

bool TextField::multiTap(int keyCode, const CString& keys) {
    if (keys.isEmpty()) return false;
    lastKeyTime_ = tickCount();
    const bool replace = pending_ && keyCode == lastKey_;
    if (replace) {
        tapIndex_ = (tapIndex_ + 1) % keys.length();
    } else {
        commitPendingChar();
        if (value().length() >= maxSize_) return true;
        lastKey_ = keyCode;
        tapIndex_ = 0;
    }
    // Characters the e-mail filter refuses here are stepped over.
    const CString current = value();
    const int caret = std::clamp(caretIndex_, 0, current.length());
    char16_t ch = 0;
    bool found = false;
    for (int tries = 0; tries < keys.length(); ++tries) {
        ch = keys[tapIndex_];
        if (inputMode_ == kModeUpper || capitalNext_) ch = upper(ch);
        if (acceptsEmailChar(ch, caret, current)) {
            found = true;
            break;
        }
        tapIndex_ = (tapIndex_ + 1) % keys.length();
    }
    if (!found) return true;
    if (keys.length() == 1) {
        if (replace) pending_ = false;
        insertChar(ch, !replace, true);
        return true;
    }
    if (insertChar(ch, !replace, false)) {
        pending_ = true;
        pendingChar_ = ch;
    }
    return true;
}

// --- timing -------------------------------------------------------------------------------------

bool TextField::animate() {
    if (!focused_) return false;
    bool changed = false;
    const uint32_t now = tickCount();
    const CString current = value();
    if (!pending_) {
        // 1. The long clear, once for each new multiple of three repeats
        // (repeats may come faster than the steps).
        if (keyHeld_ && clearRepeats_ / kClearStep > clearActedAt_ / kClearStep &&
            !current.isEmpty() && caretIndex_ > 0) {
            clearActedAt_ = clearRepeats_;
            if (clearRepeats_ < kClearAll) {
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
            changed = true;
        }
    } else if (!keyHeld_ && tickDiff(now, lastKeyTime_) > kCommitDelayMs) {
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
    if (lines_.empty()) return false;
    if (pending_) {
        commitPendingChar();
        if (gameAction == kGameRight) return true;
    }
    const int length = value().length();
    const int count = static_cast<int>(lines_.size());
    int target = caretIndex_;
    auto columnIn = [&](int line) {
        const LineRange& range = lines_[line];
        int end = range.end;
        if (end > range.start && end <= text_.length() && text_[end - 1] == u'\n') --end;
        return std::min(range.start + column_, line == count - 1 ? length : end);
    };
    switch (gameAction) {
        case kGameUp:
            if (lineIndex_ <= 0) return false;
            target = columnIn(lineIndex_ - 1);
            break;
        case kGameDown:
            if (lineIndex_ >= count - 1) return false;
            target = columnIn(lineIndex_ + 1);
            break;
        case kGameLeft:
            if (caretIndex_ <= 0) return false;
            target = caretIndex_ - 1;
            break;
        case kGameRight:
            if (caretIndex_ >= length) return false;
            target = caretIndex_ + 1;
            break;
        default:
            return false;
    }
    locateCaret(target);
    updateEditCommands();
    return true;
}

// --- filters ------------------------------------------------------------------------------------

bool TextField::acceptsEmailChar(char16_t ch, int position, const CString& text) const {
    if (!emailOnly_ || directChar_) return true;
    if (isAsciiLetterOrDigit(ch)) return true;
    position = std::clamp(position, 0, text.length());
    // The address the caret stands in, between ';' separators.
    int start = position;
    while (start > 0 && text[start - 1] != u';') --start;
    int end = text.find(u';', position);
    if (end < 0) end = text.length();
    bool atBefore = false;
    for (int i = start; i < position; ++i) atBefore = atBefore || text[i] == u'@';
    if (atBefore) return kEmailDomainChars.find(ch) >= 0;
    if (kEmailChars.find(ch) < 0) return false;
    const bool atStart = position == start || end == start;
    if (ch == u'.') return !atStart;
    if (ch == u'@') {
        if (atStart) return false;
        const int at = text.find(u'@', position);
        if (at >= 0 && at < end) return at == position;
    }
    return true;
}

bool TextField::acceptsTextForMode(const CString& value, const CString& insertion) const {
    if (insertion.isEmpty()) return false;
    switch (inputMode_) {
        case kModeDigits: {
            if (insertion.find(u'.') >= 0 && (!acceptsPoint() || value.find(u'.') >= 0)) {
                return false;
            }
            int points = 0;
            for (char16_t ch : insertion.view()) {
                if (ch == u'.') {
                    if (++points > 1) return false;
                } else if (ch < u'0' || ch > u'9') {
                    return false;
                }
            }
            return true;
        }
        case kModeLower:
            return allIn(insertion, u'a', u'z');
        case kModeCapital:
            if (value.isEmpty()) {
                return insertion[0] >= u'A' && insertion[0] <= u'Z' &&
                       allIn(insertion, u'a', u'z', 1);
            }
            return allIn(insertion, u'a', u'z');
        case kModeUpper:
            return allIn(insertion, u'A', u'Z');
        default:
            return true;
    }
}

}  // namespace zq
