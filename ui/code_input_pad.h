// CodeInputPad: the on-screen pad on which the user types a code of up to
// six characters (a stock code) and jumps to the page for it. The screen
// makes it on first use (Screen::openCodeInputPad) and draws it over the
// page with its bottom-right corner at the bottom of the usable area.
//
//   +--------------------------+---------+
//   | 输入代码 (the typed code) |  切换   |   input box, switch key
//   +--------+--------+--------+---------+
//   |  600   |  000   |  002   |             digit layout: three columns,
//   |   1    |   2    |   3    |             prefixes, then 1 2 3 / 4 5 6 /
//   |   4    |   5    |   6    |             7 8 9 / 0 . 退格
//   |   7    |   8    |   9    |
//   |   0    |   .    |  退格  |
//   +-----------------+------------------+
//   |      确定        |       关闭        |
//   +-----------------+------------------+
//
// The letter layout has six columns: A..Z six to a row, then "清除" and
// "退格" two columns wide each. Every row is keyHeight + 1 pixels high;
// keys are the drawn cells less their one-pixel edges, and taps are found
// in the same cells that were drawn, so a tap on an edge hits nothing.
//
// Confirming, or reaching six characters, hides the pad and hands the
// listener a HyperEvent whose action text is the address for the code: the
// quick-path table's link when it lists the code, else the address template
// with its parameter "code" set (an action template gets it inside its
// parentheses). A link is the event's target, an action its click action.
// "关闭" only hides the pad and "切换" only switches the layout.
// UI thread only.
#pragma once

#include <functional>
#include <utility>
#include <vector>

#include "platform/cstring.h"
#include "platform/font.h"
#include "platform/geometry.h"
#include "ui/keyboard_base.h"

namespace zq {

class EventListener;
class Screen;

// Typed code -> page link; empty when the code has none.
using QuickPathLookup = std::function<CString(const CString& code)>;

class CodeInputPad : public KeyboardBase {
public:
    static constexpr int kMaxCodeLength = 6;
    // Busy bit of the screen while the pad is shown.
    static constexpr uint32_t kBusyPadShown = 2;

    // `screen` is borrowed and owns the pad.
    explicit CodeInputPad(Screen* screen);

    // Borrowed listener; the prompt shows again.
    void open(EventListener* listener, const CString& addressTemplate);
    void setQuickPathLookup(QuickPathLookup lookup) { quickPaths_ = std::move(lookup); }

    // Draws the pad with its bottom at `y` and right edge at `right`
    // (`above` is ignored).
    void paint(int y, int right, GraphicsContext& g, int above) override;
    bool pointerPressed(int x, int y) override;
    int getHeight() const override { return 0; }
    bool containsPoint(int x, int y) const override;
    // Also sets or clears the screen's busy bit kBusyPadShown and repaints it.
    void setVisible(bool visible) override;
    void setInputMode(int bits, bool locked) override;
    void repaint() override;

    // What a key does: see the header comment.
    void pressKey(const CString& label);
    // False (nothing done) while the keypad is locked.
    bool switchKeypad(int kind);
    void submit();

    // The typed code, or the prompt while it shows.
    const CString& getCode() const { return code_; }
    bool isPromptShown() const { return promptShown_; }
    bool showsDigits() const { return keypadKind_ == kKeypadDigits; }
    bool isKeypadLocked() const { return keypadLocked_; }
    int padWidth() const { return padWidth_; }
    int keyHeight() const { return keyHeight_; }
    int lastBottom() const { return bottom_; }
    int lastRight() const { return right_; }
    // The address submit() would send for `code` now.
    CString addressFor(const CString& code) const;

    // A key of the current layout where the pad was last drawn.
    struct Key {
        Rect cell;  // the drawn cell; the key is the cell less its edge pixels
        CString label;
        Color fill;
        Color text;
        bool disabled;
    };
    std::vector<Key> layoutKeys(int bottom, int right) const;

private:
    int pitch() const { return keyHeight_ + 1; }
    // "forward(...)" and the like, not a link.
    bool isActionTemplate() const;
    // The address for `code`, and whether it is an action to run rather than
    // a link to open.
    struct Address {
        CString text;
        bool action = false;
    };
    Address resolveAddress(const CString& code) const;

    Screen* screen_;
    EventListener* listener_ = nullptr;
    QuickPathLookup quickPaths_;
    CString addressTemplate_;
    int padWidth_ = 0;
    int keyHeight_ = 0;
    FontRef font_;
    bool upperCase_ = true;
    bool keypadLocked_ = false;
    CString code_;
    bool promptShown_ = true;
    int bottom_ = -1;
    int right_ = -1;
    CString letterKeys_;
};

}  // namespace zq
