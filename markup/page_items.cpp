#include "markup/page_items.h"

#include <algorithm>

#include "items/string_item.h"
#include "platform/device_context.h"
#include "ui/graphics_context.h"
#include "ui/style.h"

namespace zq {

namespace {

// Draws `text` into `box` in the given colour and font, transparent.
void drawTextIn(DeviceContext& dc, const CString& text, Rect box, const FontRef& font, Color color,
                unsigned format) {
    const FontRef previousFont = dc.selectFont(font);
    const BackgroundMode previousMode = dc.setBackgroundMode(BackgroundMode::Transparent);
    const Color previousColor = dc.setTextColor(color);
    dc.drawText(text.view(), box, format);
    dc.setTextColor(previousColor);
    dc.setBackgroundMode(previousMode);
    dc.selectFont(previousFont);
}

void fillShape(DeviceContext& dc, const Rect& r, Color color, bool ellipse) {
    PenScope pen(dc, Pen{PenStyle::Solid, 1, color});
    BrushScope brush(dc, Brush::solid(color));
    if (ellipse) {
        dc.ellipse(r);
    } else {
        dc.rectangle(r);
    }
}

}  // namespace

// --- Spacer ------------------------------------------------------------------------------

Spacer::Spacer(int width, int height) : width_(std::max(0, width)), height_(std::max(0, height)) {}

void Spacer::initContent(int /*firstLineWidth*/, int /*lineWidth*/) {
    contentWidth_ = width_;
    contentHeight_ = height_;
}

// --- SeparatorItem ------------------------------------------------------------------------

SeparatorItem::SeparatorItem(int width, int thickness, Color color, Style* style)
    : Item(CString(), kLayoutCenter, 0, style),
      lineWidth_(std::max(0, width)),
      thickness_(std::max(0, thickness)),
      lineColor_(color) {}

void SeparatorItem::setStyle(Style* style) {
    Item::setStyle(style);
    if (!style) return;
    lineColor_ = style->getColor();
    dashed_ = style->getProperty(prop::kSeparatorPenStyle) == 1;
}

void SeparatorItem::initContent(int /*firstLineWidth*/, int lineWidth) {
    const int room = std::max(0, lineWidth);
    contentWidth_ = lineWidth_ == 0 ? room : std::min(lineWidth_, room);
    contentHeight_ = thickness_;
}

void SeparatorItem::paintContent(int x, int y, int /*leftBorder*/, int /*rightBorder*/,
                                 GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (!dc) return;
    PenScope pen(*dc, Pen{dashed_ ? PenStyle::Dash : PenStyle::Solid, 1, lineColor_});
    for (int i = 0; i < thickness_; ++i) dc->line(x, y + i, x + contentWidth_, y + i);
}

// --- ListContainer ------------------------------------------------------------------------

CString toRomanNumeral(int value) {
    static constexpr struct {
        int value;
        const char16_t* symbol;
    } kSymbols[] = {{1000, u"M"}, {900, u"CM"}, {500, u"D"}, {400, u"CD"}, {100, u"C"},
                    {90, u"XC"},  {50, u"L"},   {40, u"XL"}, {10, u"X"},   {9, u"IX"},
                    {5, u"V"},    {4, u"IV"},   {1, u"I"}};
    CString out;
    for (const auto& s : kSymbols) {
        while (value >= s.value) {
            out += CString(s.symbol);
            value -= s.value;
        }
    }
    return out;
}

ListContainer::ListContainer() : Container(CString(), false, nullptr, -1) { appearanceMode_ = 3; }

void ListContainer::setListStyleType(int type) {
    type_ = (type < 0 || type > 9) ? ListMarker::None : static_cast<ListMarker>(type);
    requestInit();
}

void ListContainer::setStartNumber(int number) {
    if (type_ == ListMarker::Decimal) startNumber_ = number;
}

CString ListContainer::markerLabel(int index) const {
    switch (type_) {
        case ListMarker::Decimal:
            return CString::format(u"%d.", static_cast<long long>(startNumber_) + index);
        case ListMarker::LowerRoman:
            return toRomanNumeral(index + 1).makeLower() + u'.';
        case ListMarker::UpperRoman:
            return toRomanNumeral(index + 1) + u'.';
        case ListMarker::LowerAlpha:
        case ListMarker::UpperAlpha: {
            // Past Z the letter doubles: the 27th entry is "AA.".
            const char16_t letter = static_cast<char16_t>(u'A' + index % 26);
            CString label(letter, index / 26 + 1);
            if (type_ == ListMarker::LowerAlpha) label.makeLower();
            return label + u'.';
        }
        default:
            return CString();
    }
}

void ListContainer::setStyle(Style* style) {
    Container::setStyle(style);
    if (!style) return;
    if (style->hasProperty(prop::kTipBoxColor)) {
        markerBackColor_ = static_cast<Color>(style->getProperty(prop::kTipBoxColor));
        hasMarkerBack_ = true;
    }
    labelColor_ = style->color;
    font_ = style->font;
}

void ListContainer::measureMarkers() {
    switch (type_) {
        case ListMarker::Disc:
        case ListMarker::Circle:
        case ListMarker::Square:
            markerWidth_ = markerHeight_ = 10;
            return;
        case ListMarker::None:
        case ListMarker::Image:
            markerWidth_ = markerHeight_ = 0;
            return;
        default:
            break;
    }
    const FontRef font = font_ ? font_ : StringItem::defaultFont();
    markerWidth_ = 0;
    for (int i = 0; i < size(); ++i) {
        markerWidth_ = std::max(markerWidth_, font->textWidth(markerLabel(i).view()));
    }
    markerHeight_ = font->height();
}

void ListContainer::initContent(int firstLineWidth, int lineWidth) {
    if (children_.empty()) {
        contentWidth_ = 0;
        contentHeight_ = 0;
        return;
    }
    measureMarkers();
    const int column = markerWidth_ + paddingHorizontal_;
    Container::initContent(std::max(0, firstLineWidth - column), std::max(0, lineWidth - column));
    // The entries stand behind the marker column.
    for (const auto& child : children_) {
        child->setRelativePosition(child->relativeX() + column, child->relativeY());
    }
    contentWidth_ += column;
    if (focusedItem_) takeFocusArea(*focusedItem_);
}

void ListContainer::paintMarker(int index, int x, int y, GraphicsContext& g) const {
    DeviceContext* dc = g.getDC();
    if (!dc || type_ == ListMarker::None || type_ == ListMarker::Image) return;
    const FontRef font = font_ ? font_ : StringItem::defaultFont();
    const int y0 = y + (font->height() - markerHeight_) / 2;
    const bool drawn =
        type_ == ListMarker::Disc || type_ == ListMarker::Circle || type_ == ListMarker::Square;
    if (hasMarkerBack_) {
        const int side = drawn ? 10 : markerHeight_;
        dc->fillRect(Rect::fromSize(x, y0, side, side), markerBackColor_);
    }
    switch (type_) {
        case ListMarker::Disc:
            fillShape(*dc, Rect{x + 1, y0 + 1, x + 8, y0 + 8}, markerColor_, true);
            return;
        case ListMarker::Circle:
            fillShape(*dc, Rect{x, y0, x + 9, y0 + 9}, markerColor_, true);
            fillShape(*dc, Rect{x + 1, y0 + 1, x + 8, y0 + 8}, markerBackColor_, true);
            return;
        case ListMarker::Square:
            dc->fillRect(Rect{x + 1, y0 + 1, x + 10, y0 + 10}, markerColor_);
            return;
        default:
            drawTextIn(*dc, markerLabel(index), Rect::fromSize(x, y0, markerWidth_, markerHeight_),
                       font, labelColor_, kTextWordBreak | kTextVCenter);
            return;
    }
}

void ListContainer::paintContent(int x, int y, int leftBorder, int rightBorder,
                                 GraphicsContext& g) {
    for (int i = 0; i < size(); ++i) {
        const Item* child = children_[i].get();
        if (child->isVisible()) paintMarker(i, x, y + child->relativeY(), g);
    }
    Container::paintContent(x + markerWidth_ + paddingHorizontal_, y, leftBorder, rightBorder, g);
}

// --- ProgressBarItem ----------------------------------------------------------------------

ProgressBarItem::ProgressBarItem(const CString& label, bool editable, int maximum, int value,
                                 Style* style)
    : Item(label, 0, editable ? 3 : 0, style),
      maxValue_(std::max(0, maximum)),
      editable_(editable) {
    setValue(value);
}

void ProgressBarItem::setValue(int value) {
    value_ = std::clamp(value, 0, maxValue_);
    valueText_ = CString::format(u"%d", value_);
}

void ProgressBarItem::setStyle(Style* style) {
    Item::setStyle(style);
    if (!style) return;
    if (style->font) font_ = style->font;
    textColor_ = style->getColor();
}

FontRef ProgressBarItem::effectiveFont() const { return font_ ? font_ : StringItem::defaultFont(); }

bool ProgressBarItem::keyPressed(int /*keyCode*/, int gameAction) {
    if (!editable_ || (gameAction != kGameRight && gameAction != kGameLeft)) return false;
    const int before = value_;
    setValue(gameAction == kGameRight ? value_ + 1 : value_ - 1);
    if (value_ != before) notifyStateChanged();
    return true;
}

bool ProgressBarItem::pointerPressed(int x, int y) {
    if (!editable_ || !isInItemArea(x, y)) return false;
    setValue(value_ >= maxValue_ ? 0 : value_ + 1);
    notifyStateChanged();
    return true;
}

void ProgressBarItem::initContent(int firstLineWidth, int lineWidth) {
    const FontRef font = effectiveFont();
    textReserve_ = paddingHorizontal_ + font->textWidth(valueText_.view());
    contentHeight_ = std::max(10, font->height());
    if (expand_) {
        contentWidth_ = lineWidth;
    } else if (layout_ & kLayoutShrink) {
        contentWidth_ = std::max(lineWidth / 3, 10);
    } else {
        contentWidth_ = firstLineWidth;
    }
    contentWidth_ = std::max(contentWidth_, 0);
}

void ProgressBarItem::paintContent(int x, int y, int /*leftBorder*/, int /*rightBorder*/,
                                   GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (!dc) return;
    drawTextIn(*dc, valueText_, Rect::fromSize(x, y, textReserve_, contentHeight_), effectiveFont(),
               textColor_, kTextWordBreak | kTextVCenter);
    // Blocks of 6 pixels with 3-pixel gaps; never less than one block.
    constexpr int kBlock = 6;
    constexpr int kPitch = kBlock + 3;
    const int barWidth = std::max(0, contentWidth_ - textReserve_);
    const int percent = maxValue_ > 0 ? static_cast<int>(int64_t{value_} * 100 / maxValue_) : 0;
    const int filled = std::max(1, barWidth * percent / 100);
    const int blocks = std::max(1, (filled + filled % kPitch) / kPitch);
    const int barX = x + textReserve_;
    for (int i = 0; i < blocks; ++i) {
        const int bx = barX + i * kPitch;
        dc->fillRect(Rect::fromSize(bx, y, kBlock, contentHeight_), kBarColor);
        dc->fillRect(Rect::fromSize(bx + kBlock, y, kPitch - kBlock, contentHeight_), kGapColor);
    }
}

}  // namespace zq
