// MultiTapInput: a text field's keypad state — the input mode '#' cycles
// (abc -> Abc -> ABC -> 123 -> Nat.), the kind its constraints give (numeric,
// decimal, e-mail), the pending multi-tap character with the key and time of
// its last tap, the held keys (a digit, the clear key) and the filters
// that depend on them.
//
// It edits no text: the field asks it which character a tap gives, whether
// one may go in, and when the pending one or the long clear is due, and
// tells it what it did. Times come from tickCount(). UI thread.
#pragma once

#include <array>
#include <cstdint>

#include "platform/cstring.h"

namespace zq {

// Constraint word: the kind in the low 16 bits, flags above.
constexpr uint32_t kConstraintAny = 0;
constexpr uint32_t kConstraintEmail = 1;
constexpr uint32_t kConstraintNumeric = 2;
constexpr uint32_t kConstraintPhone = 3;
constexpr uint32_t kConstraintDecimal = 16;
constexpr uint32_t kConstraintPassword = 0x10000;
constexpr uint32_t kConstraintUneditable = 0x20000;
constexpr uint32_t kConstraintInitialCaps = 0x100000;

// Input modes that '#' cycles through; a new plain field has none yet.
enum InputMode : int {
    kModeNone = -1,
    kModeLower = 0,    // "abc"
    kModeCapital = 1,  // "Abc": the next letter upper case
    kModeUpper = 2,    // "ABC"
    kModeDigits = 3,   // "123"
    kModeNative = 4,   // "Nat."
};

class MultiTapInput {
public:
    // What the long clear does on this animation step.
    enum class ClearStep { None, Word, All };

    // The kind, key table and starting mode from a constraint word; the
    // mode is kept when the kind sets none.
    void setConstraints(uint32_t constraints);
    bool isNumericOnly() const { return numericOnly_; }
    bool isDecimal() const { return decimal_; }
    // Whether a '.' may stand in the value: not in a numeric or phone field.
    bool acceptsPoint() const { return !numericOnly_ || decimal_; }

    // --- mode ---------------------------------------------------------------------
    int mode() const { return mode_; }
    void setMode(int mode) { mode_ = mode; }
    bool isCapitalNext() const { return capitalNext_; }
    // "abc", "Abc", "ABC", "123" or "Nat.".
    CString modeName() const;
    // Every name modeName gives.
    static constexpr const char16_t* kModeNames[] = {u"abc", u"Abc", u"ABC", u"123", u"Nat."};
    // '#' released: drops a pending capital in "abc", else the next mode.
    void stepMode();
    // After a mode change: only "Abc" starts with a capital.
    void settleCapital() { capitalNext_ = mode_ == kModeCapital; }
    // The value became empty: "Abc" capitalises again.
    void valueEmptied();
    // `ch` went in for good: the sentence rule, and "Abc" falls back to "abc".
    void committed(char16_t ch);

    // --- the pending character ------------------------------------------------------
    bool hasPending() const { return pending_; }
    // The last pending character, also after it was dropped.
    char16_t pendingChar() const { return pendingChar_; }
    void setPending(char16_t ch);
    void dropPending() { pending_ = false; }
    // Whether `keyCode` taps again on the key of the pending character.
    bool isRetap(int keyCode) const { return pending_ && keyCode == lastKey_; }
    // The characters a key steps through (empty for none).
    const CString& keysFor(int keyCode) const;
    // A tap on a new key, or again on the same one (next character).
    void startTap(int keyCode);
    void nextTap(int keyCount);
    // The character the current tap gives at `caret` of `text`, stepping
    // over what the e-mail filter refuses; false when it refuses them all.
    bool tapChar(const CString& keys, int caret, const CString& text, char16_t* ch);
    // A key came now: the pending character waits another second.
    void noteKeyTime();
    // No key for a second and none held: the pending character is due.
    bool isCommitDue(uint32_t now) const;

    // --- held keys --------------------------------------------------------------------
    void keyDown() { keyHeld_ = true; }
    // Any key released: no key held, the clear count restarts.
    void keyUp();
    void clearRepeated() { ++clearRepeats_; }
    // Every third repeat of the held clear key deletes a word, from the
    // ninth on everything; once per step even when repeats come faster.
    ClearStep takeClearStep();

    // --- filters ------------------------------------------------------------------------
    // Characters typed directly pass the e-mail filter.
    void setDirect(bool direct) { direct_ = direct; }
    // The e-mail filter: whether `ch` may stand at `position` of `text`.
    bool acceptsEmailChar(char16_t ch, int position, const CString& text) const;
    // Whether `insertion` is digits with at most the one '.' the value may
    // still take.
    bool acceptsDigits(const CString& value, const CString& insertion) const;
    // The mode filter for strings typed as a whole.
    bool acceptsTextForMode(const CString& value, const CString& insertion) const;

private:
    int mode_ = kModeNone;
    bool capitalNext_ = false;
    const std::array<CString, 10>* keyTable_ = nullptr;
    bool numericOnly_ = false;
    bool decimal_ = false;
    bool emailOnly_ = false;
    bool direct_ = false;

    bool pending_ = false;
    char16_t pendingChar_ = 0;
    int lastKey_ = 0;
    uint32_t lastKeyTime_ = 0;
    int tapIndex_ = 0;

    bool keyHeld_ = false;
    int clearRepeats_ = 0;
    int clearActedAt_ = 0;
};

}  // namespace zq
