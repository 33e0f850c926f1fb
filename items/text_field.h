// TextField: the text input of a page ("edit"). It shows its value like a
// StringItem and, while focused and editable, a blinking I-beam caret.
//
// Input comes from three sides:
//   - the keypad (text_field_keys.cpp): '#' cycles the input modes
//     abc -> Abc -> ABC -> 123 -> Nat.; a digit key steps through its
//     letters (multi-tap), the chosen one staying pending at the caret until
//     another key, a second without tapping (animate) or a mode change
//     commits it; holding a digit turns the pending letter into the digit;
//     holding the clear key deletes words, then everything;
//   - the soft keyboard the screen opens on focus (KeyboardTarget);
//   - the item commands "删除" (delete before the caret) and "清除" (clear).
//
// Typed text never grows past maxSize. The value is wrapped into lines that
// are index ranges into it (each keeps the blank or line feed that ended
// it), so the caret is always an index into the value itself.
//
// A password field shows one "*" per character and keeps the real value
// apart. Value changes raise TextFieldEvents with the page's actions to the
// item's event listener; without a listener no event is made.
//
// Time comes from tickCount(): the screen's 100 ms animation step drives
// animate(). UI thread only.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "items/form_field.h"
#include "items/inputable.h"
#include "items/string_item.h"
#include "platform/ui_executor.h"
#include "ui/command.h"
#include "ui/event.h"
#include "ui/listeners.h"
#include "ui/screen_services.h"

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

// The game action that comes with the forward-delete key.
constexpr int kGameDelete = 3;

// Raised by a text field: the page action, the field's form name and value.
// The Event's own action text is empty; the source is the field.
class TextFieldEvent : public Event {
public:
    TextFieldEvent(CString fieldAction, Item* source, CString name, CString value)
        : Event(EventKind::TextField, CString(), source),
          fieldAction_(std::move(fieldAction)),
          name_(std::move(name)),
          value_(std::move(value)) {}
    const CString& getFieldAction() const { return fieldAction_; }
    const CString& getName() const { return name_; }
    const CString& getValue() const { return value_; }

private:
    CString fieldAction_;
    CString name_;
    CString value_;
};

class TextField : public StringItem,
                  public ItemCommandListener,
                  public Inputable,
                  public FormField,
                  public KeyboardTarget {
public:
    // displayKind: 1 a fixed content width of 138 px, 2 never opens the
    // soft keyboard. keyboardEnabled: the edit commands and the soft keyboard.
    TextField(const CString& label, const CString& value, int maxSize, uint32_t constraints,
              Style* style, int displayKind = 0, bool keyboardEnabled = true);
    ~TextField() override;

    // --- value ------------------------------------------------------------------
    // The real value (not the mask of a password field).
    CString getText() const override { return value(); }
    // Stores a value from outside: the caret goes to the end when the value
    // grew by more than one character or the caret lies beyond it.
    void setString(const CString& text);
    void setText(const CString& text) override { setString(text); }
    // Inserts a whole string at `position` (clamped); refused, with nothing
    // changed, when it does not fit whole or the input mode refuses it.
    bool insertText(const CString& text, int position);
    // One character at the caret: `insert` or replace the pending one;
    // `commit` moves the caret behind it. False when nothing changed.
    bool insertChar(char16_t ch, bool insert, bool commit);
    // Removes the pending character, else the one before the caret.
    bool deleteBeforeCaret();
    void commitPendingChar();

    // --- keypad (text_field_keys.cpp) ----------------------------------------------
    bool keyPressed(int keyCode, int gameAction) override;
    bool keyRepeated(int keyCode, int gameAction) override;
    bool keyReleased(int keyCode, int gameAction) override;
    // Pending commit after 1 s, the long clear, the caret blink; true when
    // the field must be repainted.
    bool animate() override;
    bool handleCharKey(int keyCode);
    void switchInputMode();
    // The e-mail filter: whether `ch` may stand at `position` of `text`.
    bool acceptsEmailChar(char16_t ch, int position, const CString& text) const;
    // The mode filter for strings typed as a whole.
    bool acceptsTextForMode(const CString& value, const CString& insertion) const;
    // "abc", "Abc", "ABC", "123" or "Nat.".
    CString getModeName() const;
    // An editable field shows its mode name at the right end of its first
    // line while focused; the room for it is kept whether focused or not,
    // so that the text does not move. On for editable fields.
    void setShowModeIndicator(bool show);
    bool isModeIndicatorShown() const { return showModeIndicator_; }
    void setConstraints(uint32_t constraints);

    // --- Item -------------------------------------------------------------------------
    int getLabelWidth(int width) override;
    void setStyle(Style* style) override;
    void initContent(int firstLineWidth, int lineWidth) override;
    void paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) override;
    bool pointerPressed(int x, int y) override;
    Style* focus(Style* focusStyle, int direction) override;
    void defocus(Style* normalStyle) override;
    void showNotify() override;
    void hideNotify() override;

    // --- ItemCommandListener: "删除", "清除", others to the listener or screen ----
    void commandAction(Command* command, Item* item) override;
    void setCommandListener(ItemCommandListener* listener) { extraListener_ = listener; }

    // --- the symbol picker ------------------------------------------------------------
    // The 28 entries a symbol picker lists ("&", "@", ... ":P").
    static const std::array<CString, 28>& symbolTable();
    // A command of a picker screen: a list screen is a Screen whose content
    // starts with a Choice. Unless the command is the shared exit command,
    // the symbol at the list's selected index goes in at the caret; the
    // field's screen is then current again (and, from a list, recorded and
    // the field's listeners told).
    void symbolChosen(Command* command, Displayable* source);
    // The listener to give a picker screen: it calls symbolChosen.
    CommandListener& symbolListener() { return symbolListener_; }

    // --- Inputable ------------------------------------------------------------------
    CString getName() const override { return getFormName(); }
    void setName(const CString& name) override { setFormName(name); }
    CString getValue() const override { return value(); }
    void setValue(const CString& value) override { setString(value); }
    void reset() override;

    // --- KeyboardTarget -------------------------------------------------------------
    Item& keyboardItem() override { return *this; }
    void insertText(const CString& text) override { insertText(text, caretIndex_); }
    // A soft-keyboard character; numeric fields take digits only (and one
    // '.' when decimal).
    void typeChar(char16_t ch) override;
    // From the item's top, as Item::getLastPaintY places it.
    int caretLineTop() const override { return contentY_ + caretY_; }
    int caretLineHeight() const override { return lineHeight_; }

    // --- input rule -----------------------------------------------------------------
    // 0 when the value passes (or there is no rule), else the violation
    // code; the failing message is kept (getRuleMessage).
    int checkInputRule() override;
    CString getRuleMessage() const override { return ruleMessage_; }
    void setRuleText(const CString& rule) { ruleText_ = rule; }
    const CString& getRuleText() const { return ruleText_; }

    // --- page data --------------------------------------------------------------------
    void setLimitAction(const CString& action) { limitAction_ = action; }
    void setChangeAction(const CString& action) { changeAction_ = action; }
    void setLoseFocusAction(const CString& action) { loseFocusAction_ = action; }
    void setFieldFocusAction(const CString& action) { fieldFocusAction_ = action; }
    void setEncrypt(const CString& encrypt) { encrypt_ = encrypt; }
    CString getEncrypt() const override { return encrypt_; }
    InputKind getInputKind() const override { return InputKind::TextField; }
    void setStoredValue(const CString& value) { storedValue_ = value; }
    const CString& getStoredValue() const { return storedValue_; }
    void setValueDecoded(bool decoded) { valueDecoded_ = decoded; }
    bool isValueDecoded() const override { return valueDecoded_; }
    void setMaxValue(const CString& value) { maxValue_ = value; }
    const CString& getMaxValue() const { return maxValue_; }
    void setLabelLength(int length) { labelLength_ = length; }
    int getLabelLength() const { return labelLength_; }
    // The value when the field last gained the focus.
    CString getValueAtFocus() const override { return valueAtFocus_; }

    // --- state, for the screen and tests ----------------------------------------------
    int getMaxSize() const { return maxSize_; }
    uint32_t getConstraints() const { return constraints_; }
    int getCaretPosition() const { return caretIndex_; }
    int getInputMode() const { return inputMode_; }
    void setInputMode(int mode) { inputMode_ = mode; }
    bool isCapitalNext() const { return capitalNext_; }
    bool hasPendingChar() const { return pending_; }
    char16_t getPendingChar() const { return pending_ ? pendingChar_ : u'\0'; }
    bool isMasked() const { return masked_; }
    bool isEditable() const { return !readOnly_; }
    bool isCaretVisible() const { return caretVisible_; }
    const CString& getTitle() const { return title_; }
    // The caret's line and its x offset in the line, from the last layout.
    int getCaretLine() const { return lineIndex_; }
    int getCaretX() const { return caretX_; }
    int getLineCount() const { return static_cast<int>(lines_.size()); }
    int getCaretLineCenter() const;
    // The y at which the content was last painted.
    int getContentPaintY() const { return contentPaintY_; }
    // The two shared edit commands.
    static const CommandRef& deleteCommand();
    static const CommandRef& clearCommand();

private:
    // A wrapped line: [start, end) of the shown text, the blank or line
    // feed that ended it included.
    struct LineRange {
        int start = 0;
        int end = 0;
    };

    CString value() const { return masked_ ? realText_ : text_; }
    // Stores a value made by editing, with the caret at `caret`.
    void storeValue(const CString& text, int caret);
    void applyValue(const CString& text);
    void raise(const CString& action);
    void updateEditCommands();
    void openKeyboard(bool show);
    // Places the caret on index `index` of the laid-out lines.
    void locateCaret(int index);
    void wrapLines(int firstLineWidth, int lineWidth);
    CString lineText(const LineRange& line) const;
    // Caret movement by the direction keys; false at the edges.
    bool moveCaret(int keyCode, int gameAction);
    void forwardDelete();
    // Sentence rule: whether the letter after `ch` is upper-cased.
    void applySentenceRule(char16_t ch);
    void endCommit(char16_t ch, bool capitalBefore);
    // Whether a '.' may stand in the value: not in a numeric or phone field.
    bool acceptsPoint() const { return !numericOnly_ || decimal_; }
    // Multi-tap on one key's string; true when the key was used.
    bool multiTap(int keyCode, const CString& keys);
    void clearHeld();
    void paintCaret(int x, int top, GraphicsContext& g) const;
    // The width kept for the mode name (the widest one) and its gap.
    int modeIndicatorRoom() const;
    void paintModeIndicator(int right, int top, GraphicsContext& g) const;
    // While focused a UI timer runs animate() and repaints the screen.
    void startAnimation();
    void stopAnimation();

    int maxSize_ = 0;
    uint32_t constraints_ = 0;
    Color caretColor_ = 0;
    bool caretColorSet_ = false;
    int displayKind_ = 0;
    bool caretVisible_ = false;
    uint32_t lastBlinkTime_ = 0;
    CString title_;
    CString encrypt_ = CString(u"false");
    CString ruleText_;
    CString ruleMessage_;
    CString realText_;
    bool masked_ = false;
    ItemCommandListener* extraListener_ = nullptr;
    int inputMode_ = kModeNone;
    CString limitAction_;
    CString changeAction_;
    CString loseFocusAction_;
    CString fieldFocusAction_;
    bool valueDecoded_ = false;
    CString storedValue_;
    CString maxValue_;
    bool keyHeld_ = false;
    bool capitalNext_ = false;

    std::vector<LineRange> lines_;
    int caretIndex_ = 0;
    int column_ = 0;
    int lineIndex_ = 0;
    int lineWidth_ = 0;
    int caretX_ = 0;
    int caretY_ = 0;
    int lineHeight_ = 0;
    int contentPaintY_ = 0;  // where the content was last painted

    // multi-tap
    bool pending_ = false;
    char16_t pendingChar_ = 0;
    int lastKey_ = 0;
    uint32_t lastKeyTime_ = 0;
    int tapIndex_ = 0;
    const std::array<CString, 10>* keyTable_ = nullptr;
    bool numericOnly_ = false;
    bool decimal_ = false;
    bool emailOnly_ = false;
    bool directChar_ = false;
    int clearRepeats_ = 0;
    int clearActedAt_ = 0;
    bool hashDown_ = false;
    uint32_t hashDownTime_ = 0;
    bool hashNoted_ = false;

    class SymbolListener : public CommandListener {
    public:
        explicit SymbolListener(TextField& field) : field_(field) {}
        void commandAction(Command* command, Displayable* source) override {
            field_.symbolChosen(command, source);
        }

    private:
        TextField& field_;
    };
    // Inserts `text` at the caret without the mode filter; false when it
    // does not fit.
    bool insertSymbol(const CString& text);
    void returnToScreen(bool record);

    SymbolListener symbolListener_{*this};
    UiTimerId animationTimer_ = 0;
    bool keyboardEnabled_ = true;
    bool caretBlinks_ = true;
    bool readOnly_ = false;
    int labelLength_ = 4;
    bool showModeIndicator_ = false;
    CString valueAtFocus_;
};

}  // namespace zq
