// SoftKeyboard: the on-screen keyboard with which a text field is filled on
// a touch screen. The screen makes it on first use, with itself as owner,
// and reuses it for every field.
//
// A panel of six rows, each keySize + 1 pixels high, panelWidth wide:
//
//   +-------------------------------+---------+
//   | prompt                        |  切换   |   switch digits <-> letters
//   +---------+---------+-----------+---------+
//   |    1    |    2    |    3      |             digit pad: 3 columns,
//   |    4    |    5    |    6      |             rows 1 2 3 / 4 5 6 /
//   |    7    |    8    |    9      |             7 8 9 / 0 . 清
//   |    0    |    .    |    清     |
//   +---------+---------+-----------+---------+
//   |       退格         |       关闭          |   backspace, close
//   +-------------------------------+---------+
//
// The letter pad has seven columns: A..Z seven to a row (7, 7, 7, 5), then
// the case key (the label of the case not in force: "大" or "小") and "清".
// Every key is a cell whose edge pixels belong to the panel background: a
// tap there, or on the line between rows, hits nothing.
//
// A hit key's text goes to the owner (KeyboardListener::onData) and stays
// highlighted until clearText or the next key. The close key hides the
// keyboard and asks the owner to lay its page out again (onFailure).
// UI thread only.
#pragma once

#include "platform/cstring.h"
#include "platform/font.h"
#include "ui/keyboard_base.h"

namespace zq {

class SoftKeyboard : public KeyboardBase {
public:
    // Sizes from the screen metrics: panelWidth = 147 x scale, keySize = 1.5
    // x base font size (21 for 14). Starts hidden on the digit pad with the
    // upper-case letters.
    explicit SoftKeyboard(KeyboardListener* owner);

    void paint(int y, int right, GraphicsContext& g, int above) override;
    bool pointerPressed(int x, int y) override;
    int getHeight() const override { return 0; }
    // Inside the panel where it was last painted, the pixel as drawn; never
    // before the first paint.
    bool containsPoint(int x, int y) const override;
    // Exactly kKeypadDigits: the digit pad. Otherwise the letter pad: upper
    // case for kKeypadUpper alone, lower case else. Digits with letters
    // start on the digit pad and may switch. Locked: neither the switch key
    // nor (unless both cases are allowed) the case key act, and both lose
    // their labels.
    void setInputMode(int bits, bool locked) override;
    // Nothing before the first paint or while hidden.
    void repaint() override;

    // Highlights `text` and gives it to the owner.
    void sendKey(const CString& text);
    // kKeypadDigits or a letter kind; false (nothing done) while locked.
    bool switchKeypad(int kind);
    // False (nothing done) while the case is locked.
    bool toggleCase();
    // The keypad and case `other` shows, where it offers the same keypads;
    // true when that changed them.
    bool showPadOf(const SoftKeyboard& other);

    bool showsDigits() const { return keypadKind_ == kKeypadDigits; }
    bool isUpperCase() const { return upperCase_; }
    bool isKeypadLocked() const { return keypadLocked_; }
    bool isCaseLocked() const { return caseLocked_; }
    // A..Z in the current case.
    CString letters() const;
    // The case key's label: "小" while upper case is in force, else "大".
    CString caseLabel() const;
    // The text of the prompt cell.
    CString prompt() const;

    int panelWidth() const { return panelWidth_; }
    int keySize() const { return keySize_; }
    // Where the panel was last painted (its bottom and right edges,
    // exclusive); -1 before the first paint.
    int lastBottom() const { return bottom_; }
    int lastRight() const { return right_; }

private:
    int rowPitch() const { return keySize_ + 1; }
    // The last row's keys (backspace, close); true when one was hit.
    bool pressBottomRow(int column);
    bool pressDigit(int row, int column);
    bool pressLetter(int row, int column);
    void paintDigitPad(GraphicsContext& g, int left, int top);
    void paintLetterPad(GraphicsContext& g, int left, int top);

    int panelWidth_;
    int keySize_;
    FontRef font_;
    bool upperCase_ = true;
    int bottom_ = -1;
    int right_ = -1;
    bool keypadLocked_ = false;
    bool caseLocked_ = false;
};

}  // namespace zq
