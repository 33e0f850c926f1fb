#include "ui/code_input_pad.h"

#include <memory>

#include "core/string_utils.h"
#include "ui/client_context.h"
#include "ui/event.h"
#include "ui/graphics_context.h"
#include "ui/listeners.h"
#include "ui/screen.h"

namespace zq {

namespace {

constexpr int kRows = 7;
constexpr int kDigitColumns = 3;
constexpr int kLetterColumns = 6;
constexpr int kLetterCount = 26;
constexpr int kAllKeypads = 15;
constexpr unsigned kKeyFormat = kTextCenter | kTextVCenter | kTextSingleLine;
constexpr unsigned kBoxFormat = kTextLeft | kTextVCenter | kTextSingleLine;

// Read from its end, three to a row, right to left: 1 2 3 / 4 5 6 / 7 8 9 /
// 0 . and the blank, where the back key stands.
const CString kDigitPad(u"0. 789456123");
const CString kLetters(u"ABCDEFGHIJKLMNOPQRSTUVWXYZ");
const CString kPrefixes[] = {CString(u"600"), CString(u"000"), CString(u"002")};
const CString kBackKey(u"退格");
const CString kCloseKey(u"关闭");
const CString kOkKey(u"确定");
const CString kClearKey(u"清除");
const CString kSwitchKey(u"切换");
const CString kPrompt(u"输入代码");
const CString kCodeParam(u"code");

}  // namespace

CodeInputPad::CodeInputPad(Screen* screen) : KeyboardBase(nullptr), screen_(screen) {
    const ScreenMetrics metrics = screenMetrics();
    padWidth_ = static_cast<int>(144 * metrics.scale);
    keyHeight_ = metrics.baseFontSize * 3 / 2;
    font_ = getFont(metrics.baseFontSize);
    code_ = kPrompt + CString(u":");
    letterKeys_ = kLetters;
    setInputMode(kAllKeypads, false);
}

void CodeInputPad::open(EventListener* listener, const CString& addressTemplate) {
    listener_ = listener;
    addressTemplate_ = addressTemplate;
    code_ = kPrompt;
    promptShown_ = true;
    keyText_.clear();
}

void CodeInputPad::setInputMode(int bits, bool locked) {
    keypadKind_ = kKeypadDigits;
    upperCase_ = false;
    keypadLocked_ = locked;
    inputModeBits_ = bits;
    if (bits != kKeypadDigits) {
        switch (bits & kKeypadLetters) {
            case kKeypadLetters:
                keypadKind_ = kKeypadLetters;
                letterKeys_ = kLetters;
                break;
            case kKeypadUpper:
                keypadKind_ = kKeypadLetters;
                letterKeys_ = kLetters;
                upperCase_ = true;
                break;
            case kKeypadLower:
                keypadKind_ = kKeypadLetters;
                letterKeys_ = kLetters.lower();
                break;
            default:
                break;
        }
    }
    width_ = padWidth_ + 2;
    height_ = kRows * keyHeight_ + 9;
    if ((bits & kKeypadDigits) && (bits & kKeypadLetters)) {
        keypadKind_ = kKeypadDigits;
        keypadLocked_ = false;
    }
}

bool CodeInputPad::switchKeypad(int kind) {
    if (keypadLocked_) return false;
    if (kind == kKeypadDigits || (kind & kKeypadLetters)) keypadKind_ = kind;
    setText(kSwitchKey);
    repaint();
    return true;
}

void CodeInputPad::setVisible(bool visible) {
    KeyboardBase::setVisible(visible);
    if (!screen_) return;
    screen_->onRetry(kBusyPadShown, visible);
    screen_->repaint();
}

bool CodeInputPad::containsPoint(int x, int y) const {
    if (bottom_ < 0) return false;
    return right_ - width_ <= x && x < right_ && bottom_ - height_ <= y && y < bottom_;
}

void CodeInputPad::repaint() {
    if (!visible_ || bottom_ < 0) return;
    if (Display* display = Display::getDisplay()) display->paintOverlayNow(bottom_, right_, this);
}

// --- layout and painting ------------------------------------------------------------------------

std::vector<CodeInputPad::Key> CodeInputPad::layoutKeys(int bottom, int right) const {
    const ColorSettings colors = colorSettings();
    const int w = padWidth_;
    const int p = pitch();
    const int top = bottom - kRows * p;
    const int left = right - w - 1;
    std::vector<Key> keys;
    auto add = [&](int x, int row, int width, const CString& label, Color fill, Color text,
                   bool disabled = false) {
        const int y = top + row * p;
        keys.push_back(Key{{x, y, x + width, y + p}, label, fill, text, disabled});
    };
    // Row 1: the switch key beside the input box.
    add(left + w * 2 / 3, 0, w / 3, kSwitchKey, colors.keyboardActiveBack,
        colors.keyboardActiveText, keypadLocked_);
    if (showsDigits()) {
        const int c = w / kDigitColumns;
        for (int column = 0; column < kDigitColumns; ++column) {
            add(left + column * c, 1, c, kPrefixes[column], colors.keyboardCharBack,
                colors.keyboardCharText);
        }
        for (int row = 0; row < 4; ++row) {
            for (int column = 0; column < kDigitColumns; ++column) {
                const char16_t ch =
                    kDigitPad[kDigitPad.length() - kDigitColumns * (row + 1) + column];
                add(left + column * c, row + 2, c, ch == u' ' ? kBackKey : CString(ch),
                    colors.keyboardCharBack, colors.keyboardCharText);
            }
        }
    } else {
        const int c = w / kLetterColumns;
        for (int index = 0; index < kLetterCount; ++index) {
            add(left + (index % kLetterColumns) * c, 1 + index / kLetterColumns, c,
                CString(letterKeys_[index]), colors.keyboardCharBack, colors.keyboardCharText);
        }
        add(left + 2 * c, 5, 2 * c, kClearKey, colors.keyboardCharBack, colors.keyboardCharText);
        add(left + 4 * c, 5, 2 * c, kBackKey, colors.keyboardCharBack, colors.keyboardCharText);
    }
    // Row 7: confirm and close.
    add(left, 6, w / 2, kOkKey, colors.keyboardActionBack, colors.keyboardActionText);
    add(left + w / 2, 6, w - w / 2, kCloseKey, colors.keyboardActionBack,
        colors.keyboardActionText);
    return keys;
}

void CodeInputPad::paint(int y, int right, GraphicsContext& g, int /*above*/) {
    bottom_ = y;
    right_ = right;
    DeviceContext* dc = g.getDC();
    if (!dc) return;
    FontSelection font(*dc, font_);
    const ColorSettings colors = colorSettings();
    const int w = padWidth_;
    const int top = y - kRows * pitch();
    const int left = right - w - 1;

    // 1. The panel, which also shows between the keys.
    dc->fillRect({right - w - 2, top, right, y}, colors.keyboardBack);
    // 2. The input box with the code or the prompt.
    Rect box{right - w, top + 2, left - 1 + w * 2 / 3, top + keyHeight_};
    dc->fillRect(box, colors.keyboardInputBack);
    const Color textColor = promptShown_ ? colors.keyboardInputFirstText : colors.keyboardInputText;
    const Color previousColor = dc->setTextColor(textColor);
    const BackgroundMode previousMode = dc->setBackgroundMode(BackgroundMode::Transparent);
    Rect textBox{box.left + 2, box.top, box.right, box.bottom};
    dc->drawText(code_.view(), textBox, kBoxFormat);
    dc->setBackgroundMode(previousMode);
    dc->setTextColor(previousColor);
    // 3-4. The keys.
    for (const Key& key : layoutKeys(y, right)) {
        drawKey(key.label, key.cell, kKeyFormat, g, key.fill, key.text, key.disabled);
    }
}

// --- taps ---------------------------------------------------------------------------------------

bool CodeInputPad::pointerPressed(int x, int y) {
    if (bottom_ < 0) return false;
    for (const Key& key : layoutKeys(bottom_, right_)) {
        const Rect& c = key.cell;
        // The key is the drawn cell less its edge pixels.
        if (x <= c.left || x >= c.right - 1 || y <= c.top || y >= c.bottom - 1) continue;
        if (key.label == kSwitchKey)
            return switchKeypad(showsDigits() ? kKeypadLetters : kKeypadDigits);
        if (key.label == kCloseKey) {
            setVisible(false);
            return true;
        }
        pressKey(key.label);
        return true;
    }
    return false;
}

void CodeInputPad::pressKey(const CString& label) {
    // 1. The key shows pressed.
    setText(label);
    repaint();
    // 2. The first key replaces the prompt.
    if (promptShown_) {
        code_.clear();
        promptShown_ = false;
    }
    // 3. Editing keys, then 4. typed text, at most six characters.
    if (label == kClearKey) {
        code_.clear();
    } else if (label == kBackKey) {
        if (!code_.isEmpty()) code_.deleteAt(code_.length() - 1);
    } else if (label == kOkKey) {
        if (!code_.isEmpty()) submit();
    } else if (!label.isEmpty()) {
        if (code_.length() + label.length() < kMaxCodeLength) {
            code_ += label;
        } else {
            code_ += label.left(kMaxCodeLength - code_.length());
            submit();
        }
    }
}

bool CodeInputPad::isActionTemplate() const {
    const int open = addressTemplate_.find(u'(');
    return open > 0 && !extractAlnumRun(addressTemplate_.left(open)).isEmpty();
}

CodeInputPad::Address CodeInputPad::resolveAddress(const CString& code) const {
    if (quickPaths_) {
        const CString link = quickPaths_(code);
        if (!link.isEmpty()) return {link, false};
    }
    // An action template gets the code inside its parentheses.
    if (isActionTemplate()) {
        const int open = addressTemplate_.find(u'(');
        int close = addressTemplate_.find(u')', open);
        if (close < 0) close = addressTemplate_.length();
        return {setUrlParamKeepFragment(addressTemplate_.left(close), kCodeParam, code) +
                    addressTemplate_.mid(close),
                true};
    }
    return {setUrlParamKeepFragment(addressTemplate_, kCodeParam, code), false};
}

CString CodeInputPad::addressFor(const CString& code) const { return resolveAddress(code).text; }

void CodeInputPad::submit() {
    setVisible(false);
    if (!listener_) return;
    // The address goes as a link's event: its target to open, or the
    // action an action template made.
    const Address address = resolveAddress(code_);
    const CString& text = address.text;
    listener_->onEvent(std::make_unique<HyperEvent>(text, address.action ? CString() : text,
                                                    address.action ? text : CString()));
}

}  // namespace zq
