// ButtonItem: the push button of a page. A caption, optionally with a
// picture in front, on a filled and framed background that turns dark while
// the pen holds it down. Choosing it (FIRE from a key other than '5', or a
// tap) raises a ButtonEvent to its event listener (Item::setEventListener):
// action = the item's id, first = its extra text, second = its click action,
// third = its caption.
//
// The button shares its picture (ImageRef) with whoever decoded it; the
// listener is borrowed from the page. UI thread only.
#pragma once

#include "platform/cstring.h"
#include "platform/font.h"
#include "platform/geometry.h"
#include "platform/image.h"
#include "ui/item.h"

namespace zq {

class EventListener;

// The default look of a button: 0xF7F7F7 fill and a 2 px 0x743C00 frame;
// focused, 0xD7E0E0 and a 2 px 0x00CAFF frame. A new tracked style per call.
Style* createButtonStyle();
Style* createButtonFocusStyle();

class ButtonItem : public Item {
public:
    // Fill while the pen is down, and the caption colour then.
    static constexpr Color kPenDownFill = 0x030303;
    static constexpr Color kPenDownText = 0xFFFFFF;

    // The caption is also the item's id. The style is applied at once.
    ButtonItem(const CString& caption, Style* style);
    ButtonItem(const CString& caption, Style* style, int minWidth, int minHeight,
               EventListener* listener);
    ~ButtonItem() override;

    // Also takes the caption colour and the font.
    void setStyle(Style* style) override;
    void setImage(ImageRef image) override;
    // The pen-down fill replaces the style's background.
    void paintBackground(int x, int y, int w, int h, GraphicsContext& g) override;
    void initContent(int firstLineWidth, int lineWidth) override;
    void paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) override;
    // Releasing FIRE after a press raises the event when there is a
    // listener.
    bool keyReleased(int keyCode, int gameAction) override;
    // The focused look keeps the button where its normal look places it.
    Style* focus(Style* focusStyle, int direction) override;
    // The pen inside the button holds it down (and records it as the
    // screen's pressed item); the release inside lets it go and fires.
    bool pointerDragged(int x, int y) override;
    bool pointerPressed(int x, int y) override;
    bool pointerReleased(int x, int y) override;

    // Lays the button out again at the next layout.
    void setCaption(const CString& caption);
    const CString& getCaption() const { return caption_; }
    // Keeps an earlier default command whose label differs as the default
    // (it joins the commands); a command with a label joins the commands.
    // Hides Item::setDefaultCommand on purpose: buttons keep the first one.
    void setDefaultCommand(CommandRef command);
    const CString& getOnClick() const { return onclick_; }
    void setOnClick(const CString& action) { onclick_ = action; }
    const ImageRef& getImage() const { return image_; }
    // Whether the pen is down on the button (drawn dark).
    bool isPenDown() const { return penDown_; }
    // Own font, else the style's, else the default font; remembered.
    FontRef getFont();
    Color getCaptionColor() const { return captionColor_; }

private:
    // Paints the button at once where it was last painted, when it is on a
    // shown screen.
    void repaintNow();
    // The pen is down inside: the dark look, painted at once.
    void holdDown();

    CString caption_;
    FontRef font_;
    Color captionColor_ = 0;
    ImageRef image_;
    CString onclick_;
    bool penDown_ = false;
    int imageWidth_ = 0;
    int imageHeight_ = 0;
};

}  // namespace zq
