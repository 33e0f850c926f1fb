// TabbedForm: a Form whose content is split into pages, one per tab, chosen
// with a TabBar (ui/tab_bar.h) shown as the screen's header.
//
// The screen's content container hosts the page of the current tab as its
// only child; the other pages wait in the form. Switching tabs swaps the
// hosted page, so the screen scrolls, paints and routes input to the
// current page alone.
//
// Marquees: each tab may have one and the form one more, shown where the
// current tab has none. The form owns all of them; the screen only shows
// one (Screen::setShownMarquee).
//
// Ownership: the form owns the bar, every page and every marquee. Styles
// and the tab-change listener are borrowed. UI thread only.
#pragma once

#include <memory>
#include <vector>

#include "platform/cstring.h"
#include "platform/image.h"
#include "ui/form.h"
#include "ui/tab_bar.h"

namespace zq {

class Container;

// Asked before the current tab changes and told after.
class TabChangeListener {
public:
    // False keeps the current tab.
    virtual bool tabChanging(int currentIndex, int newIndex) = 0;
    virtual void tabChanged(int currentIndex) = 0;

protected:
    ~TabChangeListener() = default;
};

class TabbedForm : public Form, public TabBarOwner {
public:
    // Without tabs until initTabs; the tab bar will have the focus.
    explicit TabbedForm(const CString& title);
    ~TabbedForm() override;

    // Once: one tab per title, or per picture when there are no titles.
    // `style` becomes the form's style and every page's (without
    // background); its font goes to the bar's own tab looks. Tab 0 is
    // current and the bar has the focus. A second call does nothing.
    void initTabs(std::vector<CString> titles, std::vector<ImageRef> images, Style* style);

    // Adds `item` to the page of tab `tab` (a container item stops acting as
    // screen content) and returns its index there; -1 for a null item or a
    // tab out of range. No repaint.
    int appendStyled(int tab, std::unique_ptr<Item> item, Style* style);
    int append(int tab, std::unique_ptr<Item> item) {
        return appendStyled(tab, std::move(item), nullptr);
    }
    using Form::append;
    using Form::appendStyled;

    // Makes tab `index` current. With `notify` the tab-change listener is
    // asked first (and may refuse) and told afterwards. An index out of
    // range or the current one does nothing.
    void setSelectedTab(int index, bool notify);
    // TabBarOwner: a tap on the bar; setSelectedTab(index, true).
    void selectTab(int index) override;
    int getSelectedTab() const { return currentTab_; }
    // 0 until initTabs.
    int tabCount() const { return tabBar_ ? static_cast<int>(pageRefs_.size()) : 0; }
    TabBar* getTabBar() const { return tabBar_.get(); }
    // Null when out of range. Page 0 exists from construction on.
    Container* getPage(int index) const;

    // Owns `marquee` as the marquee of tab `tab`, in place of the tab's
    // earlier one (released). Shown at once when the tab is current; null
    // lets the form's marquee show. Dropped for a tab out of range.
    void setTabMarquee(int tab, std::unique_ptr<Item> marquee);
    // Owns `marquee` as the form's marquee, in place of its earlier one
    // (released). Shown at once while the current tab has none. Hides
    // Screen::setMarquee: a marquee given through a Screen pointer is the
    // screen's, and a tab switch hides it.
    void setMarquee(std::unique_ptr<Item> marquee);
    Item* getTabMarquee(int tab) const;
    Item* getFormMarquee() const { return formMarquee_.get(); }

    // Lets LEFT and RIGHT that tab's page did not use switch tabs.
    // Ignored for a tab out of range.
    void setTabArrowSwitching(int tab, bool on);
    // Null for none; borrowed.
    void setTabChangeListener(TabChangeListener* listener) { listener_ = listener; }
    bool isTabBarFocused() const { return tabBarFocused_; }

    // Focuses child `index` of the current page and gives the keys to the
    // page (the bar loses the focus). False when the child cannot take it.
    bool focusPageItem(int index);

    // UP gives the bar the focus: the page's item lets go of it. DOWN gives
    // it back to that item; a page without one focuses its first item that
    // takes it, and with none the bar keeps the focus. LEFT and RIGHT move
    // to the neighbouring tab (not past either end). True only when one of
    // them acted.
    bool handleTabKey(int keyCode, int gameAction);
    // While the bar has the focus every key is a tab key. Otherwise the
    // page (and the screen's paging) first; then UP, and LEFT and RIGHT on
    // a tab with arrow switching, are tab keys.
    bool contentKeyPressed(int keyCode, int gameAction) override;
    // A held key's repeats go where its press went: the bar keeps the keys it holds.
    bool contentKeyRepeated(int keyCode, int gameAction) override;
    bool keysOutsideContent() const override { return tabBar_ && tabBarFocused_; }
    // A tap that leaves an item of the page focused gives the page the keys,
    // as DOWN from the bar would: the bar stops looking focused.
    void contentPointerPressed(int x, int y) override;

protected:
    Container* appendTarget() override;

private:
    // The tab's marquee, else the form's.
    Item* marqueeForCurrentTab() const;
    // Makes `marquee` the shown one, telling the old and the new one while
    // the form is shown.
    void showMarquee(Item* marquee);
    Container* host() const { return getContent(); }

    std::unique_ptr<TabBar> tabBar_;
    Style* tabBarSavedStyle_ = nullptr;
    // The page of the current tab is hosted by the content; its slot here
    // is empty while it is.
    std::vector<std::unique_ptr<Item>> pages_;
    std::vector<Container*> pageRefs_;
    std::vector<std::unique_ptr<Item>> tabMarquees_;
    std::unique_ptr<Item> formMarquee_;
    std::vector<bool> arrowSwitching_;
    int currentTab_ = 0;
    TabChangeListener* listener_ = nullptr;
    bool tabBarFocused_ = true;
};

}  // namespace zq
