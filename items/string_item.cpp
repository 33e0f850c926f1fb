#include "items/string_item.h"

#include <algorithm>

#include "platform/device_context.h"
#include "ui/client_context.h"
#include "ui/font_cache.h"
#include "ui/graphics_context.h"
#include "ui/style.h"

namespace zq {
namespace {

// Lines that read exactly this are drawn in red while the user is logged in.
const CString kLoginMark(u"委");
constexpr Color kLoginMarkColor = 0x0000FF;

}  // namespace

std::unique_ptr<Item> makeStringLabel(const CString& text, Style* style) {
    return std::make_unique<StringItem>(CString(), text, style);
}

StringItem::StringItem(const CString& label, const CString& text, Style* style)
    : StringItem(label, text, kAppearancePlain, style) {}

StringItem::StringItem(const CString& label, const CString& text, int appearanceMode, Style* style)
    : Item(label, 0, appearanceMode, style), text_(text) {
    if (style) textColor_ = style->getColor();
}

StringItem::~StringItem() = default;

FontRef StringItem::defaultFont() { return createStyleFont(); }

void StringItem::setStyle(Style* style) {
    Item::setStyle(style);
    if (!style) {
        font_ = nullptr;
        return;
    }
    textColor_ = style->getColor();
    font_ = style->font;
    if (style->hasProperty(prop::kIndentCount)) indent_ = style->getProperty(prop::kIndentCount);
}

void StringItem::setText(const CString& text) { setTextAndStyle(text, nullptr); }

void StringItem::setTextAndStyle(const CString& text, Style* style) {
    if (style) setStyle(style);
    text_ = text;
    if (text_.isEmpty()) lines_.clear();
    requestInit();
}

int StringItem::getFontHeight() const { return effectiveFont()->height(); }

int StringItem::getTextWidth(const CString& text, const FontRef& font) {
    return font ? font->textWidth(text.view()) : 0;
}

void StringItem::initContent(int firstLineWidth, int lineWidth) {
    if (!font_) font_ = defaultFont();
    if (text_.isEmpty()) {
        contentWidth_ = 0;
        contentHeight_ = 0;
        lines_.clear();
        return;
    }
    const Font& font = *font_;
    if (wrap_) {
        lines_ = wrapText(
            text_, [&font](char16_t c) { return font.charWidth(c); }, firstLineWidth, lineWidth,
            indent_);
    } else {
        lines_ = {text_};
    }
    const int lineCount = static_cast<int>(lines_.size());
    contentHeight_ = (font.height() + paddingVertical_) * lineCount - paddingVertical_;
    contentWidth_ = 0;
    for (const CString& line : lines_) {
        contentWidth_ = std::max(contentWidth_, font.textWidth(line.view()));
    }
}

void StringItem::paintContent(int x, int y, int /*leftBorder*/, int rightBorder,
                              GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (text_.isEmpty() || !dc) return;
    const FontRef font = effectiveFont();
    const FontRef previousFont = dc->selectFont(font);
    const BackgroundMode previousMode = dc->setBackgroundMode(BackgroundMode::Transparent);

    const unsigned align = alignRight_ ? kTextRight : (alignCentre_ ? kTextCenter : kTextLeft);
    const int lineHeight = font->height();
    const int right =
        std::min(rightBorder, x + itemWidth_ - 2 * borderWidth_ - paddingLeft_ - paddingRight_);
    const bool markLogin = loginFlag();
    for (const CString& line : lines_) {
        Rect box{x, y, right, y + lineHeight};
        const bool red = markLogin && line.equalsNoCase(kLoginMark);
        const Color previousColor = dc->setTextColor(red ? kLoginMarkColor : textColor_);
        dc->drawText(line.view(), box, align);
        dc->setTextColor(previousColor);
        y += lineHeight + paddingVertical_;
    }
    dc->setBackgroundMode(previousMode);
    dc->selectFont(previousFont);
}

}  // namespace zq
