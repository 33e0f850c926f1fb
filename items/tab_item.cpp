#include "items/tab_item.h"

#include <utility>

#include "ui/default_styles.h"
#include "ui/screen.h"
#include "ui/style.h"

namespace zq {
namespace {

// A page style carrying this property is given to every page of the tabs.
constexpr PropertyId kTabPageStyleMark = 20082;
constexpr int kKeyDigitFour = '4';
constexpr int kKeyDigitSix = '6';
constexpr int kBarIndex = 0;
constexpr int kPageIndex = 1;

}  // namespace

TabItem::TabItem(const CString& label, std::vector<CString> titles, std::vector<ImageRef> images,
                 Style* style)
    : Container(label, false, style, -1) {
    // The nested style may be shared (a style sheet's, a shared tab look):
    // the bar gets a copy of its own, which setStyle may give a font.
    Style* nested = style ? style->getStyleProperty(prop::kTabBarStyle) : nullptr;
    barStyle_ = nested ? copyTabLook(nested) : createOwnTabBarStyle(nullptr);
    auto bar = std::make_unique<TabBar>(std::move(titles), std::move(images), barStyle_);
    tabBar_ = bar.get();
    tabBar_->setOwner(this);

    Style* pageStyle = style && style->hasProperty(kTabPageStyleMark) ? style : tabItemStyle();
    const int count = tabBar_->tabCount();
    pages_.reserve(count);
    pageRefs_.reserve(count);
    for (int i = 0; i < count; ++i) {
        auto page = std::make_unique<Container>(CString(), false, nullptr, -1);
        page->applyStyle(pageStyle, true);
        page->setAllowCycle(false);
        pageRefs_.push_back(page.get());
        pages_.push_back(std::move(page));
    }
    add(std::move(bar));
    if (count > 0) add(std::move(pages_[0]));
}

TabItem::~TabItem() = default;

Container* TabItem::getPage(int index) const {
    return index >= 0 && index < tabCount() ? pageRefs_[index] : nullptr;
}

void TabItem::setStyle(Style* style) {
    Container::setStyle(style);
    if (!style || !style->font) return;
    barStyle_->font = style->font;
    if (Style* focused = barStyle_->getStyleProperty(prop::kFocusedStyle)) {
        focused->font = style->font;
    }
    tabBar_->setStyle(tabBar_->getStyle() ? tabBar_->getStyle() : barStyle_);
}

int TabItem::appendToTab(int index, std::unique_ptr<Item> item, Style* style) {
    Container* page = getPage(index);
    if (!page || !item) return -1;
    if (style) item->setStyle(style);
    page->add(std::move(item));
    return page->size() - 1;
}

void TabItem::selectTab(int index) { setSelectedTab(index, true); }

void TabItem::setSelectedTab(int index, bool /*notify*/) {
    if (index < 0 || index >= tabCount() || index == selectedTab_) return;
    Container* current = pageRefs_[selectedTab_];
    // 1. The shown page is left; where it held the focus, the bar takes it,
    //    as it does when a focused child goes.
    if (current->isInitialised()) current->hideNotify();
    const bool pageFocused = getFocusedIndex() == kPageIndex;
    if (pageFocused) focusIndex(-1);

    // 2-4. The pages change places; the old one waits in pages_.
    std::unique_ptr<Item> next = std::move(pages_[index]);
    pages_[selectedTab_] = set(kPageIndex, std::move(next));
    selectedTab_ = index;
    tabBar_->setSelectedIndex(index);
    pageRefs_[index]->setScrollHeight(-1);
    if (pageFocused) focusIndex(kBarIndex);

    // 5. Everything is laid out again from the top.
    requestFullInit();
    if (auto* screen = dynamic_cast<Screen*>(getScreen())) {
        screen->invalidateLayout();
        screen->setScrollOffset(0, false);
        screen->repaint();
    }
}

bool TabItem::keyPressed(int keyCode, int gameAction) {
    if (children_.empty()) return Container::keyPressed(keyCode, gameAction);
    if (Container::keyPressed(keyCode, gameAction)) return true;
    if (gameAction == kGameRight && keyCode != kKeyDigitSix && selectedTab_ < tabCount() - 1) {
        setSelectedTab(selectedTab_ + 1, true);
        return true;
    }
    if (gameAction == kGameLeft && keyCode != kKeyDigitFour && selectedTab_ > 0) {
        setSelectedTab(selectedTab_ - 1, true);
        return true;
    }
    return false;
}

bool TabItem::keyRepeated(int keyCode, int gameAction) {
    return !children_.empty() && Container::keyRepeated(keyCode, gameAction);
}

}  // namespace zq
