#include "ui/tab_bar.h"

#include <algorithm>
#include <utility>

#include "platform/device_context.h"
#include "ui/background.h"
#include "ui/border.h"
#include "ui/client_context.h"
#include "ui/default_styles.h"
#include "ui/font_cache.h"
#include "ui/graphics_context.h"
#include "ui/style.h"

namespace zq {
namespace {

// Arrows light up in this colour while tabs lie beyond them.
constexpr Color kArrowLit = 0x8BC7;
constexpr Color kArrowDark = 0;

// One tab of the strip: its picture, or its title while it has none.
class TabCell : public Item {
public:
    TabCell(CString title, ImageRef image, Style* style)
        : Item(CString(), 0, kAppearancePlain, style),
          title_(std::move(title)),
          image_(std::move(image)) {}

    void setStyle(Style* style) override {
        Item::setStyle(style);
        if (!style) return;
        textColor_ = style->getColor();
        font_ = style->font;
    }

    void initContent(int /*firstLineWidth*/, int /*lineWidth*/) override {
        if (image_) {
            contentWidth_ = image_->width();
            contentHeight_ = image_->height();
            return;
        }
        if (title_.isEmpty()) {
            contentWidth_ = 0;
            contentHeight_ = 0;
            return;
        }
        if (!font_) font_ = createStyleFont();
        contentWidth_ = font_->textWidth(title_.view());
        contentHeight_ = font_->height();
    }

    void paintContent(int x, int y, int /*leftBorder*/, int /*rightBorder*/,
                      GraphicsContext& g) override {
        DeviceContext* dc = g.getDC();
        if (!dc) return;
        if (image_) {
            dc->drawImage(*image_, x, y);
            return;
        }
        if (title_.isEmpty() || !font_) return;
        const FontRef previousFont = dc->selectFont(font_);
        const Color previousColor = dc->setTextColor(textColor_);
        const BackgroundMode previousMode = dc->setBackgroundMode(BackgroundMode::Transparent);
        Rect box{x, y, x + contentWidth_, y + contentHeight_};
        dc->drawText(title_.view(), box, kTextVCenter | kTextSingleLine);
        dc->setBackgroundMode(previousMode);
        dc->setTextColor(previousColor);
        dc->selectFont(previousFont);
    }

    CString getText() const override { return title_; }

private:
    CString title_;
    ImageRef image_;
    FontRef font_;
    Color textColor_ = 0;
};

Style* copyLookFields(const Style* look) {
    Style* s = allocTracked();
    s->font = look->font;
    s->color = look->color;
    s->colorValue = look->colorValue;
    s->setMargins(look->marginLeft, look->marginRight, look->marginTop, look->marginBottom);
    s->setSpacings(look->paddingLeft, look->paddingRight, look->paddingTop, look->paddingBottom,
                   look->paddingVertical, look->paddingHorizontal);
    s->flags = look->flags;
    if (const auto* fill = dynamic_cast<const ColorBackground*>(look->background())) {
        s->setBackground(std::make_unique<ColorBackground>(fill->colour(), fill->solid()));
    }
    if (const auto* frame = dynamic_cast<const LineBorder*>(look->border())) {
        s->setBorder(std::make_unique<LineBorder>(frame->colour(), frame->width()));
    }
    return s;
}

void setLookFont(Style* look, const FontRef& font) {
    look->font = font;
    if (Style* focused = look->getStyleProperty(prop::kFocusedStyle)) focused->font = font;
}

// One column of an arrow, drawn as GDI draws a line: the end row is left out.
void arrowColumn(DeviceContext& dc, int x, int top, int bottom) { dc.line(x, top, x, bottom); }

}  // namespace

Style* copyTabLook(const Style* look) {
    if (!look) return allocTracked();
    Style* s = copyLookFields(look);
    if (const Style* focused = look->getStyleProperty(prop::kFocusedStyle)) {
        setStyleProperty(s, prop::kFocusedStyle, copyLookFields(focused));
    }
    return s;
}

Style* createOwnTabBarStyle(FontRef font) {
    Style* s = createTabBarStyle();
    if (const Style* focused = s->getStyleProperty(prop::kFocusedStyle)) {
        setStyleProperty(s, prop::kFocusedStyle, copyTabLook(focused));
    }
    if (font) setLookFont(s, font);
    return s;
}

TabBar::TabBar(std::vector<CString> titles, std::vector<ImageRef> images, Style* style)
    : Item(CString(), 0, kAppearanceNavigable, style),
      selectedStyle_(copyTabLook(sharedTabStyle(TabStyleRole::Selected))),
      focusedSelectedStyle_(copyTabLook(sharedTabStyle(TabStyleRole::FocusedSelected))),
      normalStyle_(copyTabLook(sharedTabStyle(TabStyleRole::Normal))),
      currentStyle_(selectedStyle_),
      arrowSize_(static_cast<int>(10 * screenMetrics().scale)) {
    const size_t count = titles.empty() ? images.size() : titles.size();
    titles.resize(count);
    images.resize(count);
    tabs_.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        auto tab =
            std::make_unique<TabCell>(std::move(titles[i]), std::move(images[i]), normalStyle_);
        tab->setParent(this);
        tabs_.push_back(std::move(tab));
    }
    for (int i = 0; i < tabCount(); ++i) giveTabStyle(i, i == 0 ? selectedStyle_ : normalStyle_);
}

TabBar::~TabBar() = default;

Item* TabBar::getTab(int index) const {
    return index >= 0 && index < tabCount() ? tabs_[index].get() : nullptr;
}

void TabBar::giveTabStyle(int index, Style* style) {
    if (Item* tab = getTab(index)) tab->setStyle(style);
}

void TabBar::setStyle(Style* style) {
    Item::setStyle(style);
    if (style && style->font) {
        for (Style* look : {selectedStyle_, focusedSelectedStyle_, normalStyle_}) {
            setLookFont(look, style->font);
        }
    }
    // The tabs take their looks again for the new font; the selected one
    // keeps the look that matches the bar's focus.
    for (int i = 0; i < tabCount(); ++i) {
        giveTabStyle(i, i == selectedIndex_ ? currentStyle_ : normalStyle_);
    }
}

void TabBar::setSelectedIndex(int index) {
    if (index < 0 || index >= tabCount()) return;
    giveTabStyle(selectedIndex_, normalStyle_);
    giveTabStyle(index, currentStyle_);
    selectedIndex_ = index;
    initialised_ = false;
}

// The looks of the bar and its selected tab change with the focus, and so
// may their sizes: whatever holds the bar lays it out again.
Style* TabBar::focus(Style* focusStyle, int direction) {
    currentStyle_ = focusedSelectedStyle_;
    giveTabStyle(selectedIndex_, currentStyle_);
    Style* previous = Item::focus(focusStyle, direction);
    requestInit();
    return previous;
}

void TabBar::defocus(Style* normalStyle) {
    currentStyle_ = selectedStyle_;
    giveTabStyle(selectedIndex_, currentStyle_);
    Item::defocus(normalStyle);
    requestInit();
}

void TabBar::invalidateAll() {
    for (auto& tab : tabs_) tab->requestInit();
    requestInit();
}

int TabBar::stripLeft() const { return contentX_ + arrowGap_ + arrowSize_ / 2; }

void TabBar::initContent(int firstLineWidth, int lineWidth) {
    const int side = arrowGap_ + arrowSize_ / 2;
    // 1. The tabs side by side from the left arrow on, in bar coordinates.
    int x = stripLeft();
    int height = side;
    for (auto& tab : tabs_) {
        height = std::max(height, tab->getItemHeight(firstLineWidth, lineWidth - 2 * side));
        tab->setRelativePosition(x, 0);
        x += tab->itemWidth();
    }
    contentHeight_ = height;
    contentWidth_ = x;
    // Where the paint will put the right arrow, so that taps before the
    // first paint find it too.
    stripRight_ = contentX_ + lineWidth - side;

    // 2. Scroll the strip so that the selected tab shows between the arrows.
    Item* selected = getTab(selectedIndex_);
    if (selectedIndex_ == 0 || !selected) {
        scrollX_ = 0;
        return;
    }
    const int left = stripLeft();
    const int right = stripRight_;
    const int tabX = selected->relativeX();
    const int tabWidth = selected->itemWidth();
    const int shown = tabX + scrollX_;
    if (shown >= left && shown + tabWidth <= right) return;
    scrollX_ = shown < left ? left - tabX : right - tabWidth - tabX;
    scrollX_ = std::min(scrollX_, 0);
}

void TabBar::paintContent(int x, int y, int /*leftBorder*/, int rightBorder, GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (!dc) return;
    const int half = arrowSize_ / 2;
    const int top = y + (contentHeight_ - arrowSize_) / 2;

    // 1. The left arrow, lit while tabs are hidden on the left.
    {
        PenScope pen(*dc, Pen{PenStyle::Solid, 1, scrollX_ != 0 ? kArrowLit : kArrowDark});
        for (int k = 0; k < half; ++k) arrowColumn(*dc, x + k, top + half - k, top + half + k);
    }

    // 2-3. The tabs, bottom-aligned and clipped to the strip.
    const int stripRight = rightBorder - half - arrowGap_;
    stripRight_ = stripRight - (x - contentX_);
    tabsRemainRight_ = false;
    {
        const int bandLeft = x + arrowGap_ + half;
        ClipScope clip(g, bandLeft, g.getClipY(), std::max(stripRight - bandLeft, 0),
                       g.getClipHeight());
        int tabX = bandLeft + scrollX_;
        for (auto& tab : tabs_) {
            const int width = tab->itemWidth();
            tab->paint(tabX, y + contentHeight_ - tab->itemHeight() + 1, tabX, tabX + width, g);
            tabX += width;
            if (tabX > stripRight) {
                tabsRemainRight_ = true;
                break;
            }
        }
    }

    // 4. The right arrow, lit while tabs remain on the right.
    PenScope pen(*dc, Pen{PenStyle::Solid, 1, tabsRemainRight_ ? kArrowLit : kArrowDark});
    const int arrowLeft = stripRight + arrowGap_;
    for (int k = 0; k < half; ++k) {
        arrowColumn(*dc, arrowLeft + k, top + k, top + arrowSize_ - 1 - k);
    }
}

bool TabBar::keyPressed(int keyCode, int gameAction) {
    if (gameAction == kGameRight && selectedIndex_ < tabCount() - 1) {
        pendingIndex_ = selectedIndex_ + 1;
        return false;
    }
    if (gameAction == kGameLeft && selectedIndex_ > 0) pendingIndex_ = selectedIndex_ - 1;
    return Item::keyPressed(keyCode, gameAction);
}

bool TabBar::pointerPressed(int x, int y) {
    if (!isInItemArea(x, y)) return false;
    // A tap on no tab asks for nothing, whatever a key asked for before.
    pendingIndex_ = selectedIndex_;
    const int half = arrowSize_ / 2;
    if (selectedIndex_ > 0 && x <= stripLeft()) {
        pendingIndex_ = selectedIndex_ - 1;
    } else if (selectedIndex_ < tabCount() - 1 && x >= stripRight_ &&
               x <= stripRight_ + arrowGap_ + half) {
        pendingIndex_ = selectedIndex_ + 1;
    } else {
        for (int i = 0; i < tabCount(); ++i) {
            const int left = tabs_[i]->relativeX() + scrollX_;
            if (x >= left && x <= left + tabs_[i]->itemWidth()) {
                pendingIndex_ = i;
                break;
            }
        }
    }
    if (pendingIndex_ != selectedIndex_ && pendingIndex_ >= 0 && pendingIndex_ < tabCount() &&
        owner_) {
        owner_->selectTab(pendingIndex_);
    }
    return pendingIndex_ == selectedIndex_;
}

}  // namespace zq
