// MarqueeItem: the line of text in a screen's status line that scrolls
// leftwards in a loop, copies 30 pixels apart.
//
// Its text is looked up by its text key each time it is shown (the marquee
// text lookup below), falling back to the default text. While shown it
// ticks on its screen's item ticker: every fifth tick (500 ms) the text
// moves 10 pixels left and the item is painted at once where the screen
// placed it, unless the screen is not current or its popup menu is open.
//
// The screen that shows the marquee places it (relative position, layout)
// and owns it; the style is borrowed. UI thread only.
#pragma once

#include <functional>

#include "platform/cstring.h"
#include "platform/font.h"
#include "platform/geometry.h"
#include "ui/item.h"

namespace zq {

// Where marquee texts come from: the controller installs a lookup in the
// client's context (its marquee text table by key, then the settings by
// key). Without one every lookup answers empty.
CString lookupMarqueeText(const CString& key);

class MarqueeItem : public Item {
public:
    // The settings key a marquee without a key of its own shows.
    static constexpr const char16_t* kSettingKey = u"sys-marquee";
    static constexpr int kStepPixels = 10;
    static constexpr int kGapPixels = 30;
    static constexpr int kTicksPerStep = 5;

    // The style is applied at once (text colour, else white).
    MarqueeItem(const CString& defaultText, const CString& textKey, Style* style);

    // Also the text colour.
    void setStyle(Style* style) override;
    // Takes the looked-up text (or the default) and starts ticking on the
    // screen's ticker; a changed text is laid out again at the same width.
    void showNotify() override;
    void hideNotify() override;
    // One tick; 1 when the marquee moved and was painted.
    int onTimer() override;
    // The line's width, one font line high; 0 x 0 without text.
    void initContent(int firstLineWidth, int lineWidth) override;
    void paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) override;

    // Moves the text one step left, back to the start once a whole copy
    // and its gap have passed.
    void scrollStep();

    CString getText() const override { return shownText_; }
    const CString& getTextKey() const { return textKey_; }
    int getScrollOffset() const { return scrollOffset_; }
    Color getTextColor() const { return textColor_; }

private:
    FontRef effectiveFont() const;
    bool mayScroll() const;

    Color textColor_ = 0xFFFFFF;
    CString textKey_;
    int scrollOffset_ = 0;  // 0 or negative
    CString shownText_;
    CString defaultText_;
    FontRef font_;
    int tickCount_ = 0;
    int layoutWidth_ = 0;  // the line width of the last layout
};

}  // namespace zq
