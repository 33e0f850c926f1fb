// TextField: value, caret, layout, painting, focus, commands and events.
// The keypad side is in text_field_keys.cpp.
#include "items/text_field.h"

#include <algorithm>
#include <memory>

#include "items/input_rule.h"
#include "platform/device_context.h"
#include "ui/command.h"
#include "ui/graphics_context.h"
#include "ui/screen.h"
#include "ui/style.h"

namespace zq {

namespace {

constexpr int kFixedContentWidth = 138;
constexpr uint32_t kAnimationMs = 100;
constexpr int kFixedWidthKind = 1;
constexpr int kNoKeyboardKind = 2;
constexpr int kEditCommandType = kCommandItem;
constexpr int kEditCommandPriority = 1;
const CString kMask(u"*");
// The widest common character: the label column is measured in it.
constexpr char16_t kLabelUnit = u'杨';
// Between the text and the mode name.
constexpr int kModeIndicatorGap = 4;

}  // namespace

const CommandRef& TextField::deleteCommand() {
    static const CommandRef command =
        std::make_shared<Command>(CString(u"删除"), kEditCommandType, kEditCommandPriority);
    return command;
}

const CommandRef& TextField::clearCommand() {
    static const CommandRef command =
        std::make_shared<Command>(CString(u"清除"), kEditCommandType, kEditCommandPriority);
    return command;
}

TextField::TextField(const CString& label, const CString& value, int maxSize, uint32_t constraints,
                     Style* style, int displayKind, bool keyboardEnabled)
    : StringItem(label, CString(), kAppearanceInteractive, style),
      maxSize_(std::max(0, maxSize)),
      displayKind_(displayKind),
      title_(label.isEmpty() ? CString(u"Input") : label),
      keyboardEnabled_(keyboardEnabled) {
    masked_ = (constraints & kConstraintPassword) != 0;
    setConstraints(constraints);
    showModeIndicator_ = !readOnly_;
    setString(value);
    // Unchanged until edited: a field never focused still holds the page's value.
    valueAtFocus_ = this->value();
}

TextField::~TextField() { stopAnimation(); }

void TextField::startAnimation() {
    if (animationTimer_) return;
    animationTimer_ = startUiTimer(kAnimationMs, [this] {
        if (!animate()) return;
        if (auto* screen = dynamic_cast<Screen*>(getScreen())) screen->repaint();
    });
}

void TextField::stopAnimation() {
    if (!animationTimer_) return;
    stopUiTimer(animationTimer_);
    animationTimer_ = 0;
}

// --- value --------------------------------------------------------------------------------------

void TextField::applyValue(const CString& text) {
    if (masked_) {
        realText_ = text;
        StringItem::setText(CString(u'*', text.length()));
    } else {
        StringItem::setText(text);
    }
}

void TextField::setString(const CString& text) {
    const CString old = value();
    int caret = caretIndex_;
    if (text.isEmpty()) {
        caret = 0;
    } else if ((caret == 0 && old.isEmpty()) || caret > text.length() ||
               charCount(text) > charCount(old) + 1) {
        caret = text.length();
    }
    storeValue(text, caret);
}

void TextField::storeValue(const CString& text, int caret) {
    const CString old = value();
    applyValue(text);
    // Never between the halves of a surrogate pair.
    caretIndex_ = std::clamp(caret, 0, text.length());
    if (caretIndex_ > 0 && nextCharIndex(text, caretIndex_ - 1) > caretIndex_) ++caretIndex_;
    if (text.isEmpty()) textLines_.resetCaret();
    if (focused_) updateEditCommands();
    if (!(text == old)) {
        if (charCount(text) == maxSize_ && !limitAction_.isEmpty()) raise(limitAction_);
        if (!changeAction_.isEmpty()) raise(changeAction_);
    }
    if (text.isEmpty()) input_.valueEmptied();
}

bool TextField::insertText(const CString& text, int position) {
    if (readOnly_ || text.isEmpty()) return false;
    commitPendingChar();
    const CString old = value();
    if (charCount(old) + charCount(text) > maxSize_) return false;
    if (!acceptsTextForMode(old, text)) return false;
    position = std::clamp(position, 0, old.length());
    CString next = old;
    next.insert(position, text);
    const int caret = caretIndex_ == position ? position + text.length() : caretIndex_;
    storeValue(next, caret);
    notifyStateChanged();
    return true;
}

bool TextField::insertChar(char16_t ch, bool insert, bool commit) {
    const CString old = value();
    const int caret = std::clamp(caretIndex_, 0, old.length());
    const bool grows = insert || caret >= old.length();
    if (grows && charCount(old) >= maxSize_) return false;
    if (!acceptsEmailChar(ch, caret, old)) return false;

    CString next = old.left(caret) + CString(ch);
    next += old.mid(insert ? caret : nextCharIndex(old, caret));
    if (commit) {
        storeValue(next, caret + 1);
        endCommit(ch);
    } else {
        storeValue(next, caret);
    }
    return true;
}

void TextField::endCommit(char16_t ch) {
    input_.committed(ch);
    notifyStateChanged();
}

void TextField::commitPendingChar() {
    if (!input_.hasPending()) return;
    const CString current = value();
    const int caret = std::clamp(caretIndex_, 0, current.length());
    input_.dropPending();
    const char16_t pending = input_.pendingChar();
    // A character the filter now refuses leaves the text with its pending state.
    if (caret >= current.length() || !input_.acceptsEmailChar(pending, caret, current)) {
        if (caret < current.length()) {
            CString next = current;
            next.deleteAt(caret);
            storeValue(next, caret);
        }
        return;
    }
    storeValue(current, caret + 1);
    endCommit(pending);
}

bool TextField::deleteBeforeCaret() {
    const CString current = value();
    CString next = current;
    int caret = caretIndex_;
    if (input_.hasPending() && caret < current.length()) {
        next.deleteAt(caret);
        input_.dropPending();
    } else if (caret > 0) {
        input_.dropPending();
        const int start = previousCharIndex(current, caret);
        next.deleteAt(start, caret - start);
        caret = start;
    } else {
        return false;
    }
    storeValue(next, caret);
    notifyStateChanged();
    return true;
}

void TextField::typeChar(char16_t ch) {
    if (readOnly_) return;
    commitPendingChar();
    if (input_.isNumericOnly()) {
        const bool digit = ch >= u'0' && ch <= u'9';
        const bool point = input_.acceptsPoint() && ch == u'.' && value().find(u'.') < 0;
        if (!digit && !point) return;
    }
    insertChar(ch, true, true);
}

bool TextField::textTyped(const CString& text) {
    if (!focused_ || readOnly_ || text.isEmpty()) return false;
    commitPendingChar();
    const CString old = value();
    // Refused text is dropped whole, never in part.
    if (charCount(old) + charCount(text) > maxSize_) return true;
    if (input_.isNumericOnly() && !input_.acceptsDigits(old, text)) return true;
    const int caret = std::clamp(caretIndex_, 0, old.length());
    CString next = old;
    next.insert(caret, text);
    storeValue(next, caret + text.length());
    endCommit(text[text.length() - 1]);
    return true;
}

void TextField::reset() {
    input_.dropPending();
    setString(CString());
    StringItem::setText(CString());
    requestInit();
    notifyStateChanged();
}

int TextField::checkInputRule() {
    const RuleResult result = zq::checkInputRule(ruleText_, value());
    ruleMessage_ = result.message;
    return result.code;
}

// --- events and commands -------------------------------------------------------------------------

void TextField::raise(const CString& action) {
    EventListener* listener = getEventListener();
    if (!listener) return;
    listener->onEvent(std::make_unique<TextFieldEvent>(action, this, getFormName(), value()));
}

void TextField::updateEditCommands() {
    if (!keyboardEnabled_ || readOnly_) return;
    const bool deletable = !value().isEmpty() && (caretIndex_ > 0 || input_.hasPending());
    if (deletable) {
        addCommand(deleteCommand());
        addCommand(clearCommand());
    } else {
        removeCommand(deleteCommand().get());
        removeCommand(clearCommand().get());
    }
}

void TextField::commandAction(Command* command, Item* item) {
    if (!command) return;
    if (command == deleteCommand().get()) {
        if (!readOnly_ && !value().isEmpty()) deleteBeforeCaret();
        return;
    }
    if (command == clearCommand().get()) {
        input_.dropPending();
        setString(CString());
        notifyStateChanged();
        return;
    }
    if (extraListener_) {
        extraListener_->commandAction(command, item);
        return;
    }
    if (auto* screen = dynamic_cast<Screen*>(getScreen())) {
        if (CommandListener* listener = screen->getCommandListener())
            listener->commandAction(command, screen);
    }
}

void TextField::openKeyboard(bool show) {
    if (displayKind_ == kNoKeyboardKind || !keyboardEnabled_) return;
    auto* screen = dynamic_cast<Screen*>(getScreen());
    if (!screen) return;
    if (show) {
        const int keypads = input_.mode() == kModeDigits ? kKeypadDigits : 15;
        screen->openSoftKeyboard(true, this, keypads);
    } else if (screen->getKeyboardTarget() == this) {
        screen->openSoftKeyboard(false, nullptr, -1);
    }
}

// --- focus --------------------------------------------------------------------------------------

Style* TextField::focus(Style* focusStyle, int direction) {
    valueAtFocus_ = value();
    Style* old = StringItem::focus(focusStyle, direction);
    locateCaret(value().length());
    updateEditCommands();
    openKeyboard(true);
    startAnimation();
    if (!fieldFocusAction_.isEmpty()) raise(fieldFocusAction_);
    return old;
}

void TextField::defocus(Style* normalStyle) {
    StringItem::defocus(normalStyle);
    stopAnimation();
    if (input_.hasPending()) commitPendingChar();
    clearHeld();
    openKeyboard(false);
    if (!loseFocusAction_.isEmpty()) raise(loseFocusAction_);
}

void TextField::showNotify() {
    StringItem::showNotify();
    if (!focused_) return;
    updateEditCommands();
    startAnimation();
}

void TextField::hideNotify() {
    StringItem::hideNotify();
    stopAnimation();
    commitPendingChar();
}

bool TextField::pointerPressed(int x, int y) {
    if (!isInItemArea(x, y)) return StringItem::pointerPressed(x, y);
    // A tap in the field is typing, as a key is.
    if (auto* screen = dynamic_cast<Screen*>(getScreen())) screen->noteKeyTime();
    openKeyboard(true);
    return true;
}

// --- style and layout
// -----------------------------------------------------------------------------

void TextField::setStyle(Style* style) {
    StringItem::setStyle(style);
    if (!font_) font_ = defaultFont();
    if (!style) return;
    if (const StyleValue* caret = style->getStyleValueProperty(prop::kCaretColor)) {
        caretColor_ = static_cast<Color>(caret->getValue());
        caretColorSet_ = true;
    } else if (!caretColorSet_) {
        caretColor_ = textColor_;
        caretColorSet_ = true;
    }
    if (style->hasProperty(prop::kCaretBlinks)) {
        caretBlinks_ = style->getProperty(prop::kCaretBlinks) != 0;
        if (!caretBlinks_) caretVisible_ = true;
    }
}

int TextField::getLabelWidth(int /*width*/) {
    return labelLength_ * effectiveFont()->charWidth(kLabelUnit);
}

int TextField::getCaretLineCenter() const {
    return textLines_.caretY() + effectiveFont()->height() / 2;
}

void TextField::setShowModeIndicator(bool show) {
    if (show == showModeIndicator_) return;
    showModeIndicator_ = show;
    requestInit();
}

int TextField::modeIndicatorRoom() const {
    if (!showModeIndicator_) return 0;
    const Font& font = *effectiveFont();
    int widest = 0;
    for (const char16_t* name : MultiTapInput::kModeNames) {
        widest = std::max(widest, font.textWidth(std::u16string_view(name)));
    }
    return widest + kModeIndicatorGap;
}

void TextField::initContent(int firstLineWidth, int lineWidth) {
    // 1. Never wider than the item may be; the mode name keeps its room.
    if (!font_) font_ = defaultFont();
    const Font& font = *font_;
    const int indicator = modeIndicatorRoom();
    firstLineWidth = std::max(0, std::min(firstLineWidth, getMaxWidth()) - indicator);
    lineWidth = std::max(0, std::min(lineWidth, getMaxWidth()) - indicator);

    // 2. The shown text wrapped into index ranges.
    textLines_.wrap(text_, font, firstLineWidth, lineWidth);
    const int wrapped = textLines_.widest(text_, font);

    // 3. Content size.
    if (displayKind_ == kFixedWidthKind) {
        contentWidth_ = kFixedContentWidth;
    } else if (displayKind_ == kNoKeyboardKind) {
        contentWidth_ = minWidth_;
    } else {
        contentWidth_ =
            std::max(std::min(std::min(wrapped, lineWidth) + indicator, getMaxWidth()), minWidth_);
    }
    const int lineCount = std::max(1, textLines_.count());
    contentHeight_ = (font.height() + paddingVertical_) * lineCount - paddingVertical_;
    if (contentHeight_ < getMinHeight()) {
        contentHeight_ = getMinHeight();
    } else if (contentHeight_ < font.height()) {
        contentHeight_ = font.height();
    }

    // 4-6. Line pitch, the caret's place, and the part scrolling keeps in view.
    textLines_.setLineHeight(font.height() + paddingVertical_);
    locateCaret(caretIndex_);
}

void TextField::setCaretPosition(int index) {
    const CString text = value();
    int caret = std::clamp(index, 0, text.length());
    if (caret > 0 && nextCharIndex(text, caret - 1) > caret) ++caret;
    locateCaret(caret);
}

void TextField::locateCaret(int index) {
    caretIndex_ = std::clamp(index, 0, value().length());
    textLines_.locate(text_, *effectiveFont(), caretIndex_);
    setInternalArea(0, textLines_.caretY(), contentWidth_, textLines_.lineHeight());
}

// --- painting -----------------------------------------------------------------------------------

void TextField::paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) {
    contentPaintY_ = y;
    DeviceContext* dc = g.getDC();
    if (!dc) return;
    const FontRef font = effectiveFont();
    const FontRef previousFont = dc->selectFont(font);
    const BackgroundMode previousMode = dc->setBackgroundMode(BackgroundMode::Transparent);
    const Color previousColor = dc->setTextColor(textColor_);

    const int boxRight = std::min(rightBorder, x + std::max(contentWidth_, 0));
    const int right = boxRight - modeIndicatorRoom();
    const int available = right - x;
    auto lineLeft = [&](int width) {
        if (alignCentre_) return x + (available - width) / 2;
        if (alignRight_) return right - width;
        return x;
    };
    int top = y;
    for (int i = 0; i < textLines_.count(); ++i) {
        const CString shown = textLines_.lineText(text_, i);
        const int left = lineLeft(font->textWidth(shown.view()));
        Rect box{left, top, std::max(right, left), top + font->height()};
        dc->drawText(shown.view(), box, kTextLeft | kTextSingleLine);
        top += textLines_.lineHeight();
    }
    if (showModeIndicator_ && focused_ && !readOnly_) paintModeIndicator(boxRight, y, g);
    dc->setTextColor(previousColor);
    dc->setBackgroundMode(previousMode);
    dc->selectFont(previousFont);
    (void)leftBorder;

    if (readOnly_ || !focused_ || !caretVisible_ || input_.hasPending()) return;
    paintCaret(lineLeft(textLines_.caretLineWidth()) + textLines_.caretX(), y + textLines_.caretY(),
               g);
}

// The mode name right-aligned on the first line, in the text's font and
// colour (already selected).
void TextField::paintModeIndicator(int right, int top, GraphicsContext& g) const {
    const CString name = getModeName();
    const Font& font = *effectiveFont();
    const int width = font.textWidth(name.view());
    Rect box{right - width, top, right, top + font.height()};
    g.getDC()->drawText(name.view(), box, kTextLeft | kTextSingleLine);
}

// An I-beam one pixel left of the caret's x, with serifs at both ends.
void TextField::paintCaret(int x, int top, GraphicsContext& g) const {
    DeviceContext* dc = g.getDC();
    const int h = effectiveFont()->height();
    const Pen previousPen = dc->selectPen(Pen{PenStyle::Solid, 1, caretColor_});
    dc->line(x - 1, top + 1, x - 1, top + h - 1);
    dc->line(x - 2, top, x - 1, top + 1);
    dc->line(x, top, x - 1, top + 1);
    dc->line(x - 2, top + h, x - 1, top + h - 1);
    dc->line(x, top + h, x - 1, top + h - 1);
    dc->selectPen(previousPen);
}

}  // namespace zq
