#include "items/list_container.h"

#include <algorithm>
#include <memory>
#include <mutex>

#include "items/item_text.h"
#include "platform/device_context.h"
#include "ui/border.h"
#include "ui/container.h"
#include "ui/default_styles.h"
#include "ui/font_cache.h"
#include "ui/graphics_context.h"
#include "ui/image_cache.h"
#include "ui/style.h"

namespace zq {
namespace {

// Keypad digits that carry UP and DOWN stay free for text entry.
constexpr int kDigitTwo = '2';
constexpr int kDigitEight = '8';
constexpr int kAlphabetSize = 26;

Style* buildListStyle() {
    Style* s = allocTracked();
    s->setMargins(0, 0, 0, 0);
    s->setSpacings(2, 2, 0, 0, 4, 4);
    s->setBorder(std::make_unique<LineBorder>(0xFF0000, 1));
    return s;
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

bool isShape(ListMarker type) {
    return type == ListMarker::Disc || type == ListMarker::Circle || type == ListMarker::Square;
}

}  // namespace

Style* defaultListStyle() {
    static StartupObject<Style*> shared([] {
        Style* style = buildListStyle();
        setStyleProperty(style, prop::kFocusedStyle, buildListStyle());
        return style;
    });
    return shared.get();
}

CString toRomanNumeral(int value) {
    static constexpr struct {
        int value;
        const char16_t* symbol;
    } kSymbols[] = {{1000, u"M"}, {900, u"CM"}, {500, u"D"}, {400, u"CD"}, {100, u"C"},
                    {90, u"XC"},  {50, u"L"},   {40, u"XL"}, {10, u"X"},   {9, u"IX"},
                    {5, u"V"},    {4, u"IV"},   {1, u"I"}};
    CString out;
    for (const auto& s : kSymbols) {
        for (; value >= s.value; value -= s.value) out += CString(s.symbol);
    }
    return out;
}

// --- ListContainer --------------------------------------------------------------------------

ListContainer::ListContainer()
    : EmptyContainer(CString(), 0, kAppearanceControl, defaultListStyle()) {}

void ListContainer::setListStyleType(int type) {
    type_ = (type < 0 || type > static_cast<int>(ListMarker::Image))
                ? ListMarker::None
                : static_cast<ListMarker>(type);
    requestInit();
}

void ListContainer::setStartNumber(int number) {
    if (type_ == ListMarker::Decimal) startNumber_ = number;
}

CString ListContainer::markerLabel(int index) const {
    switch (type_) {
        case ListMarker::Decimal:
            return CString::format(u"%lld.", static_cast<long long>(startNumber_) + index);
        case ListMarker::LowerRoman:
            return toRomanNumeral(index + 1).makeLower() + u'.';
        case ListMarker::UpperRoman:
            return toRomanNumeral(index + 1) + u'.';
        case ListMarker::LowerAlpha:
        case ListMarker::UpperAlpha: {
            // Past Z the letter repeats: the 27th entry is "AA.".
            const auto letter = static_cast<char16_t>(u'A' + index % kAlphabetSize);
            CString label(letter, index / kAlphabetSize + 1);
            if (type_ == ListMarker::LowerAlpha) label.makeLower();
            return label + u'.';
        }
        default:
            return CString();
    }
}

void ListContainer::setStyle(Style* style) {
    Item::setStyle(style);
    if (!style) return;
    if (style->hasProperty(prop::kTipBoxColor)) {
        markerBackColor_ = static_cast<Color>(style->getProperty(prop::kTipBoxColor));
        hasMarkerBack_ = true;
    }
    labelColor_ = style->color;
    font_ = style->font;
}

FontRef ListContainer::effectiveFont() const { return font_ ? font_ : createStyleFont(); }

void ListContainer::measureMarkers() {
    markerWidth_ = 0;
    markerHeight_ = 0;
    if (isShape(type_)) {
        markerWidth_ = markerHeight_ = kShapeSize;
    } else if (type_ == ListMarker::Image) {
        if (!markerImage_ && style_) {
            markerImage_ = loadCachedImage(style_->getStringProperty(prop::kListMarkerImage));
        }
        if (markerImage_) {
            markerWidth_ = markerImage_->width();
            markerHeight_ = markerImage_->height();
        }
    } else if (type_ != ListMarker::None) {
        const FontRef font = effectiveFont();
        for (int i = 0; i < size(); ++i) {
            markerWidth_ = std::max(markerWidth_, font->textWidth(markerLabel(i).view()));
        }
        markerHeight_ = font->height();
    }
}

void ListContainer::initContent(int /*firstLineWidth*/, int lineWidth) {
    // An empty list takes no room and measures no markers.
    if (children_.empty()) {
        contentWidth_ = 0;
        contentHeight_ = 0;
        return;
    }
    // The marker column, and what is left for the entries.
    measureMarkers();
    const int column = markerWidth_ + paddingHorizontal_;
    childWidth_ = std::max(0, lineWidth - column);
    // One row per visible entry, at least as high as the marker.
    int rowY = 0;
    int widest = 0;
    bool anyInteractive = false;
    for (const auto& owned : children_) {
        Item* child = owned.get();
        if (!child->isVisible()) continue;
        child->init(childWidth_, childWidth_);
        child->setRelativePosition(column, rowY);
        rowY += std::max(child->itemHeight(), markerHeight_) + paddingVertical_;
        widest = std::max(widest, child->itemWidth());
        anyInteractive = anyInteractive || child->isInteractive();
    }
    // The list is focusable only through its interactive entries.
    contentHeight_ = rowY;
    contentWidth_ = column + widest;
    appearanceMode_ = anyInteractive ? kAppearanceControl : kAppearancePlain;
    if (anyInteractive && focusedItem_) takeFocusArea(*focusedItem_);
}

void ListContainer::relayoutChild(Item& child) { child.init(childWidth_, childWidth_); }

void ListContainer::paintMarker(int index, int x, int y, GraphicsContext& g) const {
    DeviceContext* dc = g.getDC();
    if (!dc || type_ == ListMarker::None) return;
    const FontRef font = effectiveFont();
    const int y0 = y + std::max(0, (font->height() - markerHeight_) / 2);
    if (type_ == ListMarker::Image) {
        if (markerImage_) dc->drawImage(*markerImage_, x, y0);
        return;
    }
    if (hasMarkerBack_) {
        const int side = isShape(type_) ? kShapeSize : markerHeight_;
        dc->fillRect(Rect::fromSize(x, y0, side, side), markerBackColor_);
    }
    switch (type_) {
        case ListMarker::Disc:
            fillShape(*dc, Rect{x + 1, y0 + 1, x + 8, y0 + 8}, kMarkerColor, true);
            return;
        case ListMarker::Circle:
            fillShape(*dc, Rect{x, y0, x + 9, y0 + 9}, kMarkerColor, true);
            fillShape(*dc, Rect{x + 1, y0 + 1, x + 8, y0 + 8}, markerBackColor_, true);
            return;
        case ListMarker::Square:
            dc->fillRect(Rect{x + 1, y0 + 1, x + 10, y0 + 10}, kMarkerColor);
            return;
        default:
            drawItemText(*dc, markerLabel(index),
                         Rect::fromSize(x, y0, markerWidth_, markerHeight_), font, labelColor_,
                         kTextWordBreak | kTextVCenter);
            return;
    }
}

void ListContainer::paintContent(int x, int y, int /*leftBorder*/, int /*rightBorder*/,
                                 GraphicsContext& g) {
    for (int i = 0; i < size(); ++i) {
        const Item* child = children_[i].get();
        if (child->isVisible()) paintMarker(i, x, y + child->relativeY(), g);
    }
    auto paintChild = [&](Item* child) {
        const int cx = x + child->relativeX();
        child->paint(cx, y + child->relativeY(), cx, cx + child->itemWidth(), g, true);
    };
    // The focused entry last, so that its look lies on top.
    for (const auto& owned : children_) {
        if (owned->isVisible() && owned.get() != focusedItem_) paintChild(owned.get());
    }
    if (focusedItem_ && focusedItem_->isVisible()) paintChild(focusedItem_);
}

// --- focus --------------------------------------------------------------------------------

Style* ListContainer::focus(Style* focusStyle, int direction) {
    if (children_.empty()) return Item::focus(focusStyle, direction);
    Style* before = style_ ? style_ : defaultItemStyle();
    const int target = focusTarget(direction);
    if (target < 0) return Item::focus(focusStyle, direction);
    focusEntry(target, direction);
    if (!commands_.empty()) updateCommands();
    return before;
}

void ListContainer::defocus(Style* normalStyle) {
    if (!defocusEntry(normalStyle)) Item::defocus(normalStyle);
}

bool ListContainer::handleNavigation(int keyCode, int gameAction) {
    if (gameAction == kGameDown && keyCode != kDigitEight) return shiftFocus(true);
    if (gameAction == kGameUp && keyCode != kDigitTwo) return shiftFocus(false);
    return false;
}

void ListContainer::scrollToFocusedItem() {
    Item* child = focusedItem_;
    if (!child) return;
    // The entry's top in the content of each ancestor, up to the nearest
    // Container, which scrolls (or finds the one that does).
    int top = contentY_ + child->relativeY();
    const Item* item = this;
    for (Item* up = parent_; up; item = up, up = up->getParent()) {
        top += item->relativeY();
        if (auto* container = dynamic_cast<Container*>(up)) {
            // Coming into view from above, two paddings of the list show too.
            const int margin = 2 * paddingVertical_;
            container->scroll(kGameNone, 0, top - margin, 0, child->itemHeight() + margin);
            return;
        }
        top += up->contentY();
    }
}

}  // namespace zq
