// MultiTapInput: input modes, the key tables, the pending character's
// timing, held keys and the e-mail and mode filters.
#include "items/multi_tap_input.h"

#include <algorithm>

#include "platform/clock.h"

namespace zq {

namespace {

// A pending character is committed when no key came for this long.
constexpr int32_t kCommitDelayMs = 999;
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

void MultiTapInput::setConstraints(uint32_t constraints) {
    keyTable_ = &kDefaultKeyTable;
    numericOnly_ = decimal_ = emailOnly_ = false;
    switch (constraints & 0xFFFF) {
        case kConstraintNumeric:
        case kConstraintPhone:
            numericOnly_ = true;
            mode_ = kModeDigits;
            break;
        case kConstraintDecimal:
            numericOnly_ = decimal_ = true;
            mode_ = kModeDigits;
            break;
        case kConstraintEmail:
            emailOnly_ = true;
            keyTable_ = &kEmailKeyTable;
            break;
        default:
            break;
    }
    if (constraints & kConstraintInitialCaps) {
        mode_ = kModeCapital;
        capitalNext_ = true;
    }
}

// --- mode
// -----------------------------------------------------------------------------------------

CString MultiTapInput::modeName() const {
    switch (mode_) {
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

void MultiTapInput::stepMode() {
    if (capitalNext_ && mode_ == kModeLower) {
        capitalNext_ = false;
    } else {
        mode_ = mode_ + 1 > kModeNative ? kModeLower : mode_ + 1;
    }
}

void MultiTapInput::valueEmptied() {
    if (mode_ == kModeCapital) capitalNext_ = true;
}

void MultiTapInput::committed(char16_t ch) {
    if (ch == u' ') {
        capitalNext_ = mode_ == kModeCapital || capitalNext_;
    } else {
        capitalNext_ = ch == u'.' && !emailOnly_;
    }
    pending_ = false;
    if (mode_ == kModeCapital) mode_ = kModeLower;
}

// --- the pending character --------------------------------------------------------------------

void MultiTapInput::setPending(char16_t ch) {
    pending_ = true;
    pendingChar_ = ch;
}

const CString& MultiTapInput::keysFor(int keyCode) const {
    if (keyCode == '#') return kHashKeys;
    if (keyCode == '*') return kStarKeys;
    if (keyCode >= '0' && keyCode <= '9' && keyTable_) return (*keyTable_)[keyCode - '0'];
    return kHashKeys;
}

void MultiTapInput::startTap(int keyCode) {
    lastKey_ = keyCode;
    tapIndex_ = 0;
}

void MultiTapInput::nextTap(int keyCount) { tapIndex_ = (tapIndex_ + 1) % keyCount; }

bool MultiTapInput::tapChar(const CString& keys, int caret, const CString& text, char16_t* ch) {
    for (int tries = 0; tries < keys.length(); ++tries) {
        *ch = keys[tapIndex_];
        if (mode_ == kModeUpper || capitalNext_) *ch = upper(*ch);
        if (acceptsEmailChar(*ch, caret, text)) return true;
        tapIndex_ = (tapIndex_ + 1) % keys.length();
    }
    return false;
}

void MultiTapInput::noteKeyTime() { lastKeyTime_ = tickCount(); }

bool MultiTapInput::isCommitDue(uint32_t now) const {
    return pending_ && !keyHeld_ && tickDiff(now, lastKeyTime_) > kCommitDelayMs;
}

// --- held keys ----------------------------------------------------------------------------------

void MultiTapInput::keyUp() {
    keyHeld_ = false;
    clearRepeats_ = 0;
    clearActedAt_ = 0;
}

MultiTapInput::ClearStep MultiTapInput::takeClearStep() {
    if (!keyHeld_ || clearRepeats_ / kClearStep <= clearActedAt_ / kClearStep) {
        return ClearStep::None;
    }
    clearActedAt_ = clearRepeats_;
    return clearRepeats_ < kClearAll ? ClearStep::Word : ClearStep::All;
}

// --- filters ------------------------------------------------------------------------------------

bool MultiTapInput::acceptsEmailChar(char16_t ch, int position, const CString& text) const {
    if (!emailOnly_ || direct_) return true;
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

bool MultiTapInput::acceptsDigits(const CString& value, const CString& insertion) const {
    if (insertion.find(u'.') >= 0 && (!acceptsPoint() || value.find(u'.') >= 0)) return false;
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

bool MultiTapInput::acceptsTextForMode(const CString& value, const CString& insertion) const {
    if (insertion.isEmpty()) return false;
    switch (mode_) {
        case kModeDigits:
            return acceptsDigits(value, insertion);
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
