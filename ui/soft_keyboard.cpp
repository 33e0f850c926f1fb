#include "ui/soft_keyboard.h"

#include <utility>

#include "ui/client_context.h"
#include "ui/graphics_context.h"

namespace zq {

namespace {

constexpr int kRows = 6;
constexpr int kDigitColumns = 3;
constexpr int kLetterColumns = 7;
constexpr int kLetterCount = 26;
constexpr int kCaseKeyIndex = 26;
constexpr int kClearKeyIndex = 27;
constexpr unsigned kKeyFormat = kTextCenter | kTextVCenter | kTextSingleLine;
constexpr unsigned kPromptFormat = kTextLeft | kTextVCenter | kTextSingleLine;

// Read from its end, three to a row, right to left: 1 2 3 / 4 5 6 / 7 8 9 /
// 0 . and the blank, where the clear key stands.
const CString kDigitPad(u"0. 789456123");
const CString kLetters(u"ABCDEFGHIJKLMNOPQRSTUVWXYZ");
const CString kBackspaceKey(u"退格");
const CString kCloseKey(u"关闭");
const CString kClearKey(u"清");
const CString kToUpperLabel(u"大");
const CString kToLowerLabel(u"小");
const CString kSwitchKey(u"切换");

// The digit pad's key at (row, column) of its four rows.
CString digitLabel(int row, int column) {
    const char16_t ch = kDigitPad[kDigitPad.length() - kDigitColumns * (row + 1) + column];
    return ch == u' ' ? kClearKey : CString(ch);
}

// True when `offset` lies inside a cell of `size` pixels, off its two edge
// pixels (those show the panel between the keys).
bool insideCell(int offset, int size) {
    const int within = offset % size;
    return within > 0 && within < size - 1;
}

}  // namespace

SoftKeyboard::SoftKeyboard(KeyboardListener* owner) : KeyboardBase(owner) {
    const ScreenMetrics metrics = screenMetrics();
    panelWidth_ = static_cast<int>(metrics.scale * 147);
    keySize_ = metrics.baseFontSize * 3 / 2;
    font_ = getFont(metrics.baseFontSize);
    inputModeBits_ = kKeypadDigits;
    keypadKind_ = kKeypadDigits;
    width_ = panelWidth_;
    height_ = rowPitch() * kRows;
}

CString SoftKeyboard::letters() const { return upperCase_ ? kLetters : kLetters.lower(); }

CString SoftKeyboard::caseLabel() const { return upperCase_ ? kToLowerLabel : kToUpperLabel; }

CString SoftKeyboard::prompt() const {
    if (!keypadLocked_) return CString(u"输入数字/字母:");
    return showsDigits() ? CString(u"输入数字:") : CString(u"输入字母:");
}

void SoftKeyboard::setInputMode(int bits, bool locked) {
    keypadKind_ = kKeypadDigits;
    upperCase_ = false;
    keypadLocked_ = locked;
    caseLocked_ = locked;
    inputModeBits_ = bits;
    if (bits != kKeypadDigits) {
        switch (bits & kKeypadLetters) {
            case kKeypadLetters:
                keypadKind_ = kKeypadLetters;
                caseLocked_ = false;  // both cases allowed
                break;
            case kKeypadUpper:
                keypadKind_ = kKeypadLetters;
                upperCase_ = true;
                break;
            case kKeypadLower:
                keypadKind_ = kKeypadLetters;
                break;
            default:
                break;
        }
    }
    height_ = rowPitch() * kRows;
    width_ = panelWidth_;
    if ((bits & kKeypadDigits) && (bits & kKeypadLetters)) {
        keypadKind_ = kKeypadDigits;
        keypadLocked_ = false;
    }
}

bool SoftKeyboard::containsPoint(int x, int y) const {
    if (bottom_ < 0) return false;
    const int bottom = bottom_ == 0 ? height_ : bottom_;
    return right_ - width_ <= x && x < right_ && bottom - height_ <= y && y < bottom;
}

void SoftKeyboard::repaint() {
    if (!visible_ || bottom_ < 0) return;
    // The Display takes its paint lock on the UI thread; taking it here too
    // would deadlock a worker that waits for the UI thread.
    if (Display* display = Display::getDisplay()) display->paintOverlayNow(bottom_, right_, this);
}

void SoftKeyboard::sendKey(const CString& text) {
    setText(text);
    if (owner_) owner_->onData(text);
}

bool SoftKeyboard::switchKeypad(int kind) {
    if (keypadLocked_) return false;
    if (kind == kKeypadDigits || (kind & kKeypadLetters)) keypadKind_ = kind;
    return true;
}

bool SoftKeyboard::toggleCase() {
    if (caseLocked_) return false;
    upperCase_ = !upperCase_;
    return true;
}

bool SoftKeyboard::showPadOf(const SoftKeyboard& other) {
    if (other.inputModeBits_ != inputModeBits_) return false;
    if (keypadKind_ == other.keypadKind_ && upperCase_ == other.upperCase_) return false;
    keypadKind_ = other.keypadKind_;
    upperCase_ = other.upperCase_;
    return true;
}

// --- painting -----------------------------------------------------------------

void SoftKeyboard::paint(int y, int right, GraphicsContext& g, int above) {
    const int pitch = rowPitch();
    const int top = above ? y - pitch * kRows : y;
    const int bottom = top + height_;
    const int left = right - panelWidth_;
    bottom_ = bottom;
    right_ = right;
    width_ = panelWidth_;
    DeviceContext* dc = g.getDC();
    if (!dc) return;
    FontSelection font(*dc, font_);
    const ColorSettings colors = colorSettings();

    // 1. The panel, which also shows between the keys.
    dc->fillRect({left, top, right, bottom}, colors.keyboardBack);
    // 2. Prompt cell and 3. switch key share the first row.
    const int promptRight = left + panelWidth_ * 2 / 3;
    drawKey(prompt(), {left, top, promptRight, top + pitch}, kPromptFormat, g,
            colors.keyboardStaticBack, colors.keyboardStaticText, false);
    drawKey(kSwitchKey, {promptRight, top, right, top + pitch}, kKeyFormat, g,
            colors.keyboardActiveBack, colors.keyboardActiveText, keypadLocked_);
    // 4. The pad, then backspace and close.
    if (showsDigits()) {
        paintDigitPad(g, left, top + pitch);
    } else {
        paintLetterPad(g, left, top + pitch);
    }
    const int lastTop = top + pitch * (kRows - 1);
    const int middle = left + panelWidth_ / 2;
    drawKey(kBackspaceKey, {left, lastTop, middle, lastTop + pitch}, kKeyFormat, g,
            colors.keyboardActionBack, colors.keyboardActionText, false);
    drawKey(kCloseKey, {middle, lastTop, right, lastTop + pitch}, kKeyFormat, g,
            colors.keyboardActionBack, colors.keyboardActionText, false);
}

void SoftKeyboard::paintDigitPad(GraphicsContext& g, int left, int top) {
    const ColorSettings colors = colorSettings();
    const int pitch = rowPitch();
    const int cell = panelWidth_ / kDigitColumns;
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < kDigitColumns; ++column) {
            const int x = left + column * cell;
            const int y = top + row * pitch;
            drawKey(digitLabel(row, column), {x, y, x + cell, y + pitch}, kKeyFormat, g,
                    colors.keyboardCharBack, colors.keyboardCharText, false);
        }
    }
}

void SoftKeyboard::paintLetterPad(GraphicsContext& g, int left, int top) {
    const ColorSettings colors = colorSettings();
    const int pitch = rowPitch();
    const int cell = panelWidth_ / kLetterColumns;
    const CString shown = letters();
    for (int index = 0; index <= kClearKeyIndex; ++index) {
        const int x = left + (index % kLetterColumns) * cell;
        const int y = top + (index / kLetterColumns) * pitch;
        CString label;
        if (index < kLetterCount) {
            label = CString(shown[index]);
        } else {
            label = index == kCaseKeyIndex ? caseLabel() : kClearKey;
        }
        const bool disabled = index == kCaseKeyIndex && caseLocked_;
        drawKey(label, {x, y, x + cell, y + pitch}, kKeyFormat, g, colors.keyboardCharBack,
                colors.keyboardCharText, disabled);
    }
}

// --- taps -------------------------------------------------------------------------

bool SoftKeyboard::pointerPressed(int x, int y) {
    if (!owner_ || bottom_ < 0) return false;
    const int pitch = rowPitch();
    const int rowOffset = y - (bottom_ - height_);
    const int columnOffset = x - (right_ - width_);
    if (rowOffset < 0 || rowOffset >= pitch * kRows || columnOffset < 0 ||
        columnOffset >= panelWidth_ || !insideCell(rowOffset, pitch)) {
        return false;
    }
    const int row = rowOffset / pitch;
    if (row == 0) {
        // Only the switch key: the prompt takes no taps.
        const int switchLeft = panelWidth_ * 2 / 3;
        if (columnOffset <= switchLeft || columnOffset >= panelWidth_ - 1) return false;
        return switchKeypad(showsDigits() ? kKeypadLetters : kKeypadDigits);
    }
    if (row == kRows - 1) {
        const int half = panelWidth_ / 2;
        if (columnOffset < half) return insideCell(columnOffset, half) && pressBottomRow(0);
        const int rest = columnOffset - half;
        if (rest == 0 || rest >= panelWidth_ - half - 1) return false;
        return pressBottomRow(1);
    }
    const int columns = showsDigits() ? kDigitColumns : kLetterColumns;
    const int cell = panelWidth_ / columns;
    const int column = columnOffset / cell;
    if (column >= columns || !insideCell(columnOffset, cell)) return false;
    return showsDigits() ? pressDigit(row - 1, column) : pressLetter(row - 1, column);
}

bool SoftKeyboard::pressBottomRow(int column) {
    if (column == 0) {
        sendKey(kBackspaceKey);
        return true;
    }
    // Close: no text goes out; the page gets its space back.
    setVisible(false);
    owner_->onFailure();
    return true;
}

bool SoftKeyboard::pressDigit(int row, int column) {
    sendKey(digitLabel(row, column));
    return true;
}

bool SoftKeyboard::pressLetter(int row, int column) {
    const int index = row * kLetterColumns + column;
    if (index < kLetterCount) {
        sendKey(CString(letters()[index]));
        return true;
    }
    if (index == kCaseKeyIndex) return toggleCase();
    if (index == kClearKeyIndex) {
        sendKey(kClearKey);
        return true;
    }
    return false;
}

}  // namespace zq
