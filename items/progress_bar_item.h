// ProgressBarItem: the bar of "progressbar", `value` of `maximum` as blocks
// with the value as text in front (or at the right, or centred, after the
// item's alignment).
//
// An editable bar takes the focus: RIGHT and LEFT change the value by one
// within 0..maximum (consumed also at the limits), a tap raises it by one
// and wraps to 0 after the maximum; each change tells the item's state
// listeners. A maximum of -1 makes a running bar: no text, the value is its
// state (0 and 1 restart it, 2 runs it on the screen's animation step, 3
// moves it one step, starting again past the maximum), and its maximum
// becomes 20 when it is laid out.
//
// The font and the style are borrowed. UI thread only.
#pragma once

#include "platform/cstring.h"
#include "platform/font.h"
#include "platform/geometry.h"
#include "ui/item.h"

namespace zq {

class ProgressBarItem : public Item {
public:
    static constexpr Color kBarColor = 0xFF0000;
    static constexpr Color kGapColor = 0xFFFFFF;
    static constexpr int kSegmentWidth = 6;
    static constexpr int kSegmentGap = 3;
    static constexpr int kRunning = -1;
    static constexpr int kRunningMaximum = 20;

    ProgressBarItem(const CString& label, bool editable, int maximum, int value, Style* style);

    // Clamped to 0..maximum (a running bar takes it as its state); does not
    // repaint.
    void setValue(int value);
    int getValue() const { return value_; }
    int getMaxValue() const { return maxValue_; }
    const CString& getValueText() const { return valueText_; }
    bool isRunning() const { return running_; }
    // How far a running bar has moved: its blocks shift by this modulo their
    // pitch.
    int getRunPosition() const { return runPosition_; }

    // Also the text colour and the font (not for a running bar).
    void setStyle(Style* style) override;
    bool keyPressed(int keyCode, int gameAction) override;
    bool pointerPressed(int x, int y) override;
    // A running bar in state 2 moves on every step.
    bool animate() override;
    void initContent(int firstLineWidth, int lineWidth) override;
    void paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) override;

private:
    enum class TextAlign { Left, Right, Centre };

    FontRef effectiveFont() const;
    void paintBlocks(GraphicsContext& g, int x, int y, int width) const;

    int value_ = 0;
    CString valueText_;
    int maxValue_;
    bool editable_;
    bool running_;
    int runPosition_ = 0;
    bool showText_;
    Color textColor_ = 0;
    FontRef font_;
    int textReserve_ = 0;
    TextAlign textAlign_ = TextAlign::Left;
};

}  // namespace zq
