#include "items/marquee_item.h"

#include <algorithm>
#include <utility>

#include "items/item_text.h"
#include "ui/display.h"
#include "ui/font_cache.h"
#include "ui/graphics_context.h"
#include "ui/screen.h"
#include "ui/soft_keyboard.h"
#include "ui/style.h"

namespace zq {
CString lookupMarqueeText(const CString& key) {
    return ClientContext::current().lookupMarqueeText(key);
}

MarqueeItem::MarqueeItem(const CString& defaultText, const CString& textKey, Style* style)
    : textKey_(textKey.isEmpty() ? CString(kSettingKey) : textKey),
      shownText_(defaultText),
      defaultText_(defaultText) {
    if (style) setStyle(style);
}

void MarqueeItem::setStyle(Style* style) {
    Item::setStyle(style);
    if (!style) return;
    textColor_ = style->getColor();
    font_ = style->font;
}

FontRef MarqueeItem::effectiveFont() const { return font_ ? font_ : createStyleFont(); }

void MarqueeItem::showNotify() {
    CString text = lookupMarqueeText(textKey_);
    if (text.isEmpty()) text = defaultText_;
    const bool changed = text != shownText_;
    shownText_ = std::move(text);
    if (changed) {
        scrollOffset_ = 0;
        if (initialised_) init(layoutWidth_, layoutWidth_);
    }
    if (auto* screen = dynamic_cast<Screen*>(getScreen())) startTicking(screen->ticker());
    Item::showNotify();
}

void MarqueeItem::hideNotify() {
    stopTicking();
    Item::hideNotify();
}

void MarqueeItem::scrollStep() {
    const int textWidth = effectiveFont()->textWidth(shownText_.view());
    scrollOffset_ -= kStepPixels;
    if (-scrollOffset_ >= textWidth + kGapPixels) scrollOffset_ = 0;
}

// Only the shown screen moves its marquee, and not under an open menu.
bool MarqueeItem::mayScroll() const {
    const Display* display = Display::getDisplay();
    const auto* screen = dynamic_cast<const Screen*>(getScreen());
    // Placed: painted at least once where it stands (the status line, or
    // a container that holds it).
    if (!display || !screen || !initialised_ || getLastPaintRight() <= getLastPaintLeft())
        return false;
    return display->isCurrent(screen) && (screen->getBusyFlags() & Screen::kBusyMenuOpen) == 0;
}

int MarqueeItem::onTimer() {
    tickCount_ = std::min(tickCount_ + 1, kTicksPerStep);
    if (tickCount_ < kTicksPerStep || !mayScroll()) return 0;
    scrollStep();
    Display* display = Display::getDisplay();
    display->paintItemNow(getLastPaintX(), getLastPaintY(), getLastPaintLeft(), getLastPaintRight(),
                          this);
    // A keyboard lying over the status line stays on top.
    auto* screen = dynamic_cast<Screen*>(getScreen());
    if (SoftKeyboard* keyboard = screen->getSoftKeyboard(); keyboard && keyboard->isVisible()) {
        keyboard->repaint();
    }
    tickCount_ = 0;
    return 1;
}

void MarqueeItem::initContent(int firstLineWidth, int lineWidth) {
    layoutWidth_ = std::max(lineWidth, 0) + marginLeft_ + marginRight_ + paddingLeft_ +
                   paddingRight_ + 2 * borderWidth_;
    if (shownText_.isEmpty()) {
        contentWidth_ = 0;
        contentHeight_ = 0;
        return;
    }
    contentWidth_ = std::max(firstLineWidth, 0);
    contentHeight_ = effectiveFont()->height();
}

void MarqueeItem::paintContent(int x, int y, int /*leftBorder*/, int rightBorder,
                               GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (!dc || shownText_.isEmpty() || rightBorder <= x) return;
    const FontRef font = effectiveFont();
    const int textWidth = font->textWidth(shownText_.view());
    // Copies that start left of the content must not reach the border.
    ClipScope clip(g, x, y, rightBorder - x, contentHeight_);
    for (int p = scrollOffset_; x + p < rightBorder; p += textWidth + kGapPixels) {
        drawItemText(*dc, shownText_, Rect{x + p, y, rightBorder, y + contentHeight_}, font,
                     textColor_, kTextVCenter | kTextSingleLine);
    }
}

}  // namespace zq
