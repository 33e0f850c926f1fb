// The on-screen keyboards' common ground: the listener that receives what
// is typed, and KeyboardBase, the interface and state shared by the soft
// keyboard (ui/soft_keyboard.h) and the code input pad.
//
// A keyboard draws itself over the page, anchored at its bottom-right
// corner, in back-buffer pixels. The screen paints it during its own paint
// and routes taps to it; the keyboard redraws itself at once through
// Display::paintOverlayNow. UI thread only.
#pragma once

#include <cstdint>

#include "platform/cstring.h"
#include "platform/geometry.h"
#include "ui/display.h"

namespace zq {

class GraphicsContext;

// The owner of a keyboard (a Screen): it puts the typed texts into its
// target field and re-lays its page out when the keyboard goes.
class KeyboardListener {
public:
    virtual ~KeyboardListener() = default;
    // A key's text: "退格" and "删除" delete before the caret, "清" and
    // "清除" empty the field, anything else is typed at the caret.
    virtual void onData(const CString& text) = 0;
    // The keyboard closed or changed size: lay the page out again.
    virtual void onFailure() = 0;
    // Sets (on) or clears `bits` in the owner's busy word.
    virtual void onRetry(uint32_t bits, bool on) = 0;
};

// Keypads a keyboard may offer (input-mode bits) and the one shown.
constexpr int kKeypadDigits = 1;
constexpr int kKeypadUpper = 2;
constexpr int kKeypadLower = 4;
constexpr int kKeypadLetters = kKeypadUpper | kKeypadLower;

class KeyboardBase : public OverlayPainter {
public:
    // `owner` may be null (taps are then ignored); it is borrowed and must
    // outlive the keyboard.
    explicit KeyboardBase(KeyboardListener* owner) : owner_(owner) {}
    ~KeyboardBase() override = default;
    KeyboardBase(const KeyboardBase&) = delete;
    KeyboardBase& operator=(const KeyboardBase&) = delete;

    // Draws the panel with its bottom-right corner at `right` and, with
    // `above` set, its bottom at `y`, else its top at `y`. The immediate
    // repaint comes through OverlayPainter with (bottom, right, g, 1).
    void paint(int y, int right, GraphicsContext& g, int above) override = 0;
    // (x, y) in screen pixels; true when a key was hit.
    virtual bool pointerPressed(int x, int y) = 0;
    virtual void setVisible(bool visible) { visible_ = visible; }
    bool isVisible() const { return visible_; }
    int getWidth() const { return width_; }
    // The height the keyboard takes from the page. Both keyboards lie over
    // the page and report 0; panelHeight() is their drawn height.
    virtual int getHeight() const { return height_; }
    int panelHeight() const { return height_; }
    virtual bool containsPoint(int x, int y) const = 0;
    // Ends the highlight; true when a key was highlighted.
    virtual bool clearText();
    // Highlights the key whose label is `text`.
    virtual void setText(const CString& text) { keyText_ = text; }
    const CString& getText() const { return keyText_; }
    virtual int getInputMode() const { return inputModeBits_; }
    // The keypads allowed (kKeypad* bits); `locked` fixes keypad and case.
    virtual void setInputMode(int bits, bool locked) = 0;
    // Redraws the keyboard over the screen at once.
    virtual void repaint() = 0;

    // The keypad shown: kKeypadDigits or a letter kind.
    int keypadKind() const { return keypadKind_; }
    KeyboardListener* getOwner() const { return owner_; }

protected:
    // Fills `key` inset by one pixel with `fill`, or with the highlight
    // colour when `label` is the highlighted text (without regard to case;
    // "－" counts for "-"), and, unless `disabled`, writes the label in
    // `textColor` inside the key inset by two pixels with the drawText
    // `format`. Uses the font selected in the context.
    void drawKey(const CString& label, const Rect& key, unsigned format, GraphicsContext& g,
                 Color fill, Color textColor, bool disabled) const;

    CString keyText_;
    int height_ = 0;
    int width_ = 0;
    bool visible_ = false;
    int inputModeBits_ = 0;
    int keypadKind_ = 0;
    KeyboardListener* owner_;
};

}  // namespace zq
