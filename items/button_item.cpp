#include "items/button_item.h"

#include <algorithm>
#include <utility>

#include "platform/device_context.h"
#include "ui/background.h"
#include "ui/border.h"
#include "ui/displayable.h"
#include "ui/event.h"
#include "ui/font_cache.h"
#include "ui/graphics_context.h"
#include "ui/listeners.h"
#include "ui/style.h"

namespace zq {

Style* createButtonFocusStyle() {
    Style* s = allocTracked();
    s->setBackground(std::make_unique<ColorBackground>(0xD7E0E0));
    s->setBorder(std::make_unique<LineBorder>(0x00CAFF, 2));
    return s;
}

Style* createButtonStyle() {
    Style* s = allocTracked();
    s->setBackground(std::make_unique<ColorBackground>(0xF7F7F7));
    s->setBorder(std::make_unique<LineBorder>(0x743C00, 2));
    setStyleProperty(s, prop::kFocusedStyle, createButtonFocusStyle());
    return s;
}

ButtonItem::ButtonItem(const CString& caption, Style* style)
    : Item(CString(), 0, kAppearanceControl, style), caption_(caption) {
    id_ = caption;
    setStyle(style);
}

ButtonItem::ButtonItem(const CString& caption, Style* style, int minWidth, int minHeight,
                       EventListener* listener)
    : ButtonItem(caption, style) {
    setMinWidth(minWidth);
    setMinHeight(minHeight);
    setEventListener(listener);
}

ButtonItem::~ButtonItem() = default;

void ButtonItem::setStyle(Style* style) {
    if (!style) return;
    Item::setStyle(style);
    captionColor_ = style->getColor();
    font_ = style->font;
}

void ButtonItem::setImage(ImageRef image) {
    image_ = std::move(image);
    requestInit();
}

void ButtonItem::setCaption(const CString& caption) {
    caption_ = caption;
    initialised_ = false;
}

void ButtonItem::setDefaultCommand(CommandRef command) {
    if (!command) return;
    const CommandRef& current = getDefaultCommand();
    if (!current) {
        Item::setDefaultCommand(command);
    } else if (!current->getLabel().equalsNoCase(command->getLabel())) {
        addCommand(current);
    }
    if (!command->getLabel().isEmpty()) addCommand(std::move(command));
}

FontRef ButtonItem::getFont() {
    if (!font_ && style_) font_ = style_->font;
    if (!font_) font_ = createStyleFont();
    return font_;
}

void ButtonItem::initContent(int firstLineWidth, int /*lineWidth*/) {
    // 1-2. Nothing to show: no room.
    contentWidth_ = 0;
    contentHeight_ = 0;
    if (!caption_.isEmpty()) getFont();
    if (caption_.isEmpty() && !image_) return;
    // 3. The picture sets the size first.
    if (image_) {
        imageWidth_ = image_->width();
        imageHeight_ = image_->height();
        contentWidth_ = imageWidth_;
        contentHeight_ = imageHeight_;
    }
    // 4. The caption beside it, never wider than the first line.
    if (!caption_.isEmpty()) {
        const int captionHeight = font_->height() + 4;
        contentWidth_ =
            std::min(contentWidth_ + font_->textWidth(caption_.view()) + 1, firstLineWidth);
        contentHeight_ = std::max(contentHeight_, captionHeight);
    }
}

void ButtonItem::paintBackground(int x, int y, int w, int h, GraphicsContext& g) {
    if (background_) {
        const int b = border_ ? borderWidth_ : 0;
        if (penDown_) {
            if (DeviceContext* dc = g.getDC()) {
                dc->fillRect(Rect{x + b, y + b, x + w - b, y + h - b}, kPenDownFill);
            }
        } else {
            background_->paint(x + b, y + b, w - 2 * b, h - 2 * b, g);
        }
    }
    if (border_) border_->paint(x, y, w, h, g);
}

void ButtonItem::paintContent(int x, int y, int /*leftBorder*/, int rightBorder,
                              GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (!dc) return;
    // 1. The picture, centred on the content's height.
    if (image_) {
        const int top = contentHeight_ > imageHeight_ ? y + (contentHeight_ - imageHeight_) / 2 : y;
        dc->drawImage(*image_, x, top);
    }
    // 2-5. The caption centred in the rest of the button.
    if (caption_.isEmpty() || !font_) return;
    const FontRef previousFont = dc->selectFont(font_);
    const Color previousColor = dc->setTextColor(penDown_ ? kPenDownText : captionColor_);
    const BackgroundMode previousMode = dc->setBackgroundMode(BackgroundMode::Transparent);
    const int right =
        std::min(rightBorder, x + itemWidth_ - 2 * borderWidth_ - paddingLeft_ - paddingRight_);
    Rect box{x + imageWidth_, y, right, y + contentHeight_};
    dc->drawText(caption_.view(), box, kTextCenter | kTextVCenter);
    dc->setBackgroundMode(previousMode);
    dc->setTextColor(previousColor);
    dc->selectFont(previousFont);
}

Style* ButtonItem::focus(Style* focusStyle, int direction) {
    // Alignment bits only: a focused style that sets none would move the
    // button to the left of its line.
    constexpr uint32_t kPlacement = kLayoutRight | kLayoutCenter | 0x30;
    if (!isStyleApplied() && style_) setStyle(style_);
    const uint32_t placement = getLayout() & kPlacement;
    Style* old = Item::focus(focusStyle, direction);
    if ((getLayout() & kPlacement) == 0 && placement != 0) {
        layout_ |= placement;
        setAlignmentFromLayout();
    }
    return old;
}

bool ButtonItem::keyReleased(int keyCode, int gameAction) {
    EventListener* listener = getEventListener();
    if (gameAction != kGameFire || keyCode == kKeyDigitFive || !isInteractive() || !pressed_ ||
        !listener) {
        return Item::keyReleased(keyCode, gameAction);
    }
    selectReleased();
    // The listener may drop the page; nothing of the button is used after.
    listener->onEvent(std::make_unique<ButtonEvent>(id_, extraText_, onclick_, caption_));
    return true;
}

void ButtonItem::repaintNow() {
    if (ItemScreen* screen = getScreen()) screen->repaintItemNow(*this);
}

void ButtonItem::holdDown() {
    penDown_ = true;
    if (ItemScreen* screen = getScreen()) screen->setPressedItem(this);
    repaintNow();
}

bool ButtonItem::pointerPressed(int x, int y) {
    if (!isInItemArea(x, y)) return false;
    holdDown();
    return Item::pointerPressed(x, y);
}

bool ButtonItem::pointerDragged(int x, int y) {
    if (isInItemArea(x, y)) holdDown();
    return false;
}

bool ButtonItem::pointerReleased(int x, int y) {
    const bool wasDown = penDown_;
    penDown_ = false;
    if (!isInItemArea(x, y)) {
        // Lifted elsewhere: only the dark look goes.
        if (wasDown) repaintNow();
        return false;
    }
    repaintNow();
    return Item::pointerReleased(x, y);
}

}  // namespace zq
