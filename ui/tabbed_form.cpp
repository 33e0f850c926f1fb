#include "ui/tabbed_form.h"

#include <algorithm>
#include <utility>

#include "ui/container.h"
#include "ui/style.h"

namespace zq {
namespace {

// The host keeps the current page as its only child.
constexpr int kHostedPage = 0;

std::unique_ptr<Container> makePage(Screen* screen, Style* style) {
    // A page scrolls with the host, never by itself.
    auto page = std::make_unique<Container>(CString(), false, nullptr, -1);
    if (style) page->applyStyle(style, true);
    page->setScreen(screen);
    return page;
}

}  // namespace

TabbedForm::TabbedForm(const CString& title) : Form(title) {
    // Page 0 exists at once, so that what is appended before the tabs are
    // made lands on the first tab.
    auto page = makePage(this, nullptr);
    pageRefs_.push_back(page.get());
    pages_.emplace_back();
    host()->add(std::move(page));
}

TabbedForm::~TabbedForm() {
    // The screen must not show a marquee that goes with the form.
    setShownMarquee(nullptr);
}

void TabbedForm::initTabs(std::vector<CString> titles, std::vector<ImageRef> images, Style* style) {
    if (tabBar_) return;
    currentTab_ = 0;
    setStyle(style);
    listener_ = nullptr;

    Style* barStyle = createOwnTabBarStyle(style ? style->font : nullptr);
    tabBar_ = std::make_unique<TabBar>(std::move(titles), std::move(images), barStyle);
    tabBar_->setOwner(this);
    tabBarSavedStyle_ = tabBar_->focus(nullptr, kGameNone);
    tabBarFocused_ = true;

    const int count = std::max(tabBar_->tabCount(), 1);
    if (style) pageRefs_[0]->applyStyle(style, true);
    for (int i = 1; i < count; ++i) {
        auto page = makePage(this, style);
        pageRefs_.push_back(page.get());
        pages_.push_back(std::move(page));
    }
    tabMarquees_.resize(count);
    arrowSwitching_.assign(count, false);
    setHeaderItem(tabBar_.get());
}

Container* TabbedForm::getPage(int index) const {
    if (index < 0 || index >= static_cast<int>(pageRefs_.size())) return nullptr;
    return pageRefs_[index];
}

Container* TabbedForm::appendTarget() { return pageRefs_[currentTab_]; }

int TabbedForm::appendStyled(int tab, std::unique_ptr<Item> item, Style* style) {
    Container* page = getPage(tab);
    if (!item || !page) return -1;
    if (Container* container = asContainerItem(item.get())) container->setScreenContent(false);
    if (style) item->setStyle(style);
    page->add(std::move(item));
    return page->size() - 1;
}

// --- tabs ------------------------------------------------------------------------

void TabbedForm::selectTab(int index) { setSelectedTab(index, true); }

void TabbedForm::setSelectedTab(int index, bool notify) {
    if (index < 0 || index >= tabCount() || index == currentTab_) return;
    // 1. The listener may keep the current tab.
    if (notify && listener_ && !listener_->tabChanging(currentTab_, index)) return;

    // 2. The old page is left.
    const int oldTab = currentTab_;
    Container* oldPage = pageRefs_[oldTab];
    if (oldPage->isInitialised()) oldPage->hideNotify();
    host()->focusIndex(-1);

    // 3. The bar shows the new tab as selected.
    currentTab_ = index;
    tabBar_->setSelectedIndex(index);

    // 4. The pages change places; the old one waits in pages_. The host
    //    tells the new one it is shown, so that its pictures are asked for.
    Container* page = pageRefs_[index];
    pages_[oldTab] = host()->set(kHostedPage, std::move(pages_[index]));
    // While the bar has the keys, nothing on the page looks focused.
    if (page->getFocusedItem() && !tabBarFocused_) host()->focusIndex(kHostedPage);
    page->setRelativePosition(0, 0);

    // 5. The new page brings its own marquee and is laid out afresh.
    showMarquee(marqueeForCurrentTab());
    page->requestFullInit();

    // 6. The pages share the host's offset, so it goes back to the top
    //    even while the form is hidden.
    setScrollOffset(0, false);
    if (isShown()) {
        invalidateLayout();
        repaint();
    }
    // 7. The listener hears of the change once it is complete.
    if (notify && listener_) listener_->tabChanged(currentTab_);
}

void TabbedForm::setTabArrowSwitching(int tab, bool on) {
    if (tab < 0 || tab >= static_cast<int>(arrowSwitching_.size())) return;
    arrowSwitching_[tab] = on;
}

bool TabbedForm::focusPageItem(int index) {
    Container* page = pageRefs_[currentTab_];
    Item* child = page->getItem(index);
    if (!child || !child->isInteractive()) return false;
    host()->focusIndex(kHostedPage);
    page->focusIndex(index);
    if (tabBar_ && tabBarFocused_) {
        tabBarFocused_ = false;
        tabBar_->defocus(tabBarSavedStyle_);
    }
    return true;
}

// --- marquees ----------------------------------------------------------------------

Item* TabbedForm::getTabMarquee(int tab) const {
    if (tab < 0 || tab >= static_cast<int>(tabMarquees_.size())) return nullptr;
    return tabMarquees_[tab].get();
}

Item* TabbedForm::marqueeForCurrentTab() const {
    Item* own = getTabMarquee(currentTab_);
    return own ? own : formMarquee_.get();
}

void TabbedForm::showMarquee(Item* marquee) {
    Item* old = getMarquee();
    if (old == marquee) return;
    if (old) old->hideNotify();
    setShownMarquee(marquee);
    if (marquee && isShown()) marquee->showNotify();
}

void TabbedForm::setTabMarquee(int tab, std::unique_ptr<Item> marquee) {
    if (!tabBar_ || tab < 0 || tab >= static_cast<int>(tabMarquees_.size())) return;
    if (marquee) marquee->setScreen(this);
    // The earlier one is released only after it stopped being shown.
    std::unique_ptr<Item> previous = std::exchange(tabMarquees_[tab], std::move(marquee));
    if (tab == currentTab_) showMarquee(marqueeForCurrentTab());
}

void TabbedForm::setMarquee(std::unique_ptr<Item> marquee) {
    if (marquee) marquee->setScreen(this);
    std::unique_ptr<Item> previous = std::exchange(formMarquee_, std::move(marquee));
    showMarquee(marqueeForCurrentTab());
}

// --- keys ----------------------------------------------------------------------------

bool TabbedForm::handleTabKey(int keyCode, int gameAction) {
    if (!tabBar_) return false;
    int target = currentTab_;
    switch (gameAction) {
        case kGameUp:
            if (tabBarFocused_) return false;
            tabBarSavedStyle_ = tabBar_->focus(nullptr, kGameUp);
            tabBarFocused_ = true;
            // The page's item lets go (look, keyboard) but stays remembered
            // for DOWN.
            host()->focusIndex(-1);
            repaint();
            return true;
        case kGameDown: {
            if (!tabBarFocused_) return false;
            Container* page = pageRefs_[currentTab_];
            const bool pageHeld = host()->getFocusedItem() == page;
            // The item UP took the keys from gets them back.
            const bool restored =
                !pageHeld && page->getFocusedItem() && focusPageItem(page->getFocusedIndex());
            if (!restored && (!pageHeld || !page->getFocusedItem())) {
                // A page that holds no focus yet takes the key: its first
                // item that takes the focus gets it, or it scrolls.
                Screen::contentKeyPressed(keyCode, gameAction);
            }
            const Item* chosen = page->getFocusedItem();
            if (tabBarFocused_ && host()->getFocusedItem() == page && chosen &&
                chosen->isFocused()) {
                tabBarFocused_ = false;
                tabBar_->defocus(tabBarSavedStyle_);
            }
            repaint();
            return true;
        }
        case kGameRight:
            if (currentTab_ < tabCount() - 1) target = currentTab_ + 1;
            break;
        case kGameLeft:
            if (currentTab_ > 0) target = currentTab_ - 1;
            break;
        default:
            return false;
    }
    if (target == currentTab_) return false;
    setSelectedTab(target, true);
    return currentTab_ == target;
}

bool TabbedForm::contentKeyPressed(int keyCode, int gameAction) {
    if (tabBar_ && tabBarFocused_) return handleTabKey(keyCode, gameAction);
    if (Screen::contentKeyPressed(keyCode, gameAction)) return true;
    const bool arrow = gameAction == kGameLeft || gameAction == kGameRight;
    const bool switching =
        currentTab_ < static_cast<int>(arrowSwitching_.size()) && arrowSwitching_[currentTab_];
    if (gameAction == kGameUp || (arrow && switching)) return handleTabKey(keyCode, gameAction);
    return false;
}

bool TabbedForm::contentKeyRepeated(int keyCode, int gameAction) {
    if (tabBar_ && tabBarFocused_) return handleTabKey(keyCode, gameAction);
    return Screen::contentKeyRepeated(keyCode, gameAction);
}

// --- pen -------------------------------------------------------------------------------

void TabbedForm::contentPointerPressed(int x, int y) {
    const Container* content = host();
    const bool onPage =
        content && content->isInItemArea(x - content->relativeX(), y - content->relativeY());
    const bool barHadKeys = tabBar_ && tabBarFocused_;
    // The page's focus look may move a control drawn under the pen out of
    // view: what was drawn there before the press counts.
    int itemX = 0, itemY = 0;
    Item* drawn = onPage && barHadKeys ? itemDrawnAt(x, y, itemX, itemY) : nullptr;
    const ItemRef tapped = drawn ? drawn->weakRef() : ItemRef();
    Screen::contentPointerPressed(x, y);
    if (!onPage || !barHadKeys || !tabBarFocused_) return;
    const Item* chosen = pageRefs_[currentTab_]->getFocusedItem();
    if (!chosen || !chosen->isFocused() || host()->getFocusedItem() != pageRefs_[currentTab_]) {
        return;
    }
    // A tap on the page's text, as on a plain page, gives the keys to no
    // control out of view: the bar keeps them.
    if (!isFocusDrawn() && !(tapped && tapped.get() == chosen)) {
        host()->focusIndex(-1);
        return;
    }
    tabBarFocused_ = false;
    tabBar_->defocus(tabBarSavedStyle_);
}

}  // namespace zq
