// TextField: the text input of a page ("edit"). It shows its value like a
// StringItem and, while focused and editable, a blinking I-beam caret.
//
// Input comes from four sides:
//   - the phone's keypad (text_field_keys.cpp): '#' cycles the input modes
//     abc -> Abc -> ABC -> 123 -> Nat.; a digit key steps through its
//     letters (multi-tap), the chosen one staying pending at the caret until
//     another key, a second without tapping (animate) or a mode change
//     commits it; holding a digit turns the pending letter into the digit;
//     holding the clear key deletes words, then everything. A new field has
//     no mode yet, reads "123" and its digit keys enter digits;
//   - text typed on a desktop keyboard or committed by an input method
//     (textTyped), which enters as typed in every mode;
//   - the soft keyboard the screen opens on focus (KeyboardTarget);
//   - the item commands "删除" (delete before the caret) and "清除" (clear).
//
// Typed text never grows past maxSize characters. A character is a code
// point: a surrogate pair is counted, stepped over, deleted and wrapped as
// one, and the caret never stands inside one. The value is wrapped into
// lines that are index ranges into it (each keeps the blank or line feed
// that ended it), so the caret is always an index into the value itself.
//
// A password field shows one "*" per character and keeps the real value
// apart. Value changes raise TextFieldEvents with the page's actions to the
// item's event listener; without a listener no event is made.
//
// The keypad state and its filters are a MultiTapInput (items/multi_tap_input.h),
// the wrapped lines and the caret's place in them TextLines
// (items/text_lines.h); the field owns both and edits the value itself.
//
// Time comes from tickCount(): the screen's 100 ms animation step drives
// animate(). UI thread only.
#pragma once

#include <array>
#include <cstdint>

#include "items/form_field.h"
#include "items/inputable.h"
#include "items/multi_tap_input.h"
#include "items/string_item.h"
#include "items/text_lines.h"
#include "platform/ui_executor.h"
#include "ui/command.h"
#include "ui/event.h"
#include "ui/listeners.h"
#include "ui/screen_services.h"

namespace zq {

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
    // While focused and editable: the text goes in whole at the caret, as
    // typed, whatever the mode (a numeric field takes digits only), or not
    // at all when it does not fit. True then, even for refused text.
    bool textTyped(const CString& text) override;
    // Pending commit after 1 s, the long clear, the caret blink; true when
    // the field must be repainted.
    bool animate() override;
    bool handleCharKey(int keyCode);
    void switchInputMode();
    // The e-mail filter: whether `ch` may stand at `position` of `text`.
    bool acceptsEmailChar(char16_t ch, int position, const CString& text) const {
        return input_.acceptsEmailChar(ch, position, text);
    }
    // The mode filter for strings typed as a whole.
    bool acceptsTextForMode(const CString& value, const CString& insertion) const {
        return input_.acceptsTextForMode(value, insertion);
    }
    // "abc", "Abc", "ABC", "123" or "Nat.".
    CString getModeName() const { return input_.modeName(); }
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
    int caretLineTop() const override { return contentY_ + textLines_.caretY(); }
    int caretLineHeight() const override { return textLines_.lineHeight(); }

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
    // The value when the field last gained the focus; the page's value
    // until it first does.
    CString getValueAtFocus() const override { return valueAtFocus_; }

    // --- state, for the screen and tests ----------------------------------------------
    int getMaxSize() const { return maxSize_; }
    uint32_t getConstraints() const { return constraints_; }
    int getCaretPosition() const { return caretIndex_; }
    // Clamped to the value, never between the halves of a pair.
    void setCaretPosition(int index);
    int getInputMode() const { return input_.mode(); }
    void setInputMode(int mode) { input_.setMode(mode); }
    bool isCapitalNext() const { return input_.isCapitalNext(); }
    bool hasPendingChar() const { return input_.hasPending(); }
    char16_t getPendingChar() const { return input_.hasPending() ? input_.pendingChar() : u'\0'; }
    bool isMasked() const { return masked_; }
    bool isEditable() const { return !readOnly_; }
    bool isCaretVisible() const { return caretVisible_; }
    const CString& getTitle() const { return title_; }
    // The caret's line and its x offset in the line, from the last layout.
    int getCaretLine() const { return textLines_.caretLine(); }
    int getCaretX() const { return textLines_.caretX(); }
    int getLineCount() const { return textLines_.count(); }
    int getCaretLineCenter() const;
    // The y at which the content was last painted.
    int getContentPaintY() const { return contentPaintY_; }
    // The two shared edit commands.
    static const CommandRef& deleteCommand();
    static const CommandRef& clearCommand();

private:
    CString value() const { return masked_ ? realText_ : text_; }
    // Stores a value made by editing, with the caret at `caret`.
    void storeValue(const CString& text, int caret);
    void applyValue(const CString& text);
    void raise(const CString& action);
    void updateEditCommands();
    void openKeyboard(bool show);
    // Places the caret on index `index` of the laid-out lines.
    void locateCaret(int index);
    // Caret movement by the direction keys; false at the edges.
    bool moveCaret(int keyCode, int gameAction);
    void forwardDelete();
    // `ch` went in for good (the sentence rule, "Abc" falls back to "abc").
    void endCommit(char16_t ch);
    // The long clear's step, when one is due.
    bool clearWhileHeld();
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
    CString limitAction_;
    CString changeAction_;
    CString loseFocusAction_;
    CString fieldFocusAction_;
    bool valueDecoded_ = false;
    CString storedValue_;
    CString maxValue_;

    MultiTapInput input_;
    TextLines textLines_;
    int caretIndex_ = 0;
    int contentPaintY_ = 0;  // where the content was last painted

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
