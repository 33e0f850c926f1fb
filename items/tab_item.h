// TabItem: a page item made of a TabBar (ui/tab_bar.h) above one page
// Container per tab, of which only the selected page is shown. The page
// builder makes one from a tab element and places each tab's elements into
// its page with appendToTab.
//
// Ownership: the item owns the bar and every page. The bar and the shown
// page are its two children; the other pages wait in pages_ until they are
// selected. Styles are borrowed, except the bar's, which is the item's own
// copy so that a font given to it reaches no other item. UI thread only.
#pragma once

#include <memory>
#include <vector>

#include "platform/cstring.h"
#include "platform/image.h"
#include "ui/container.h"
#include "ui/tab_bar.h"

namespace zq {

class TabItem : public Container, public TabBarOwner {
public:
    // The bar takes a copy of the style nested under kTabBarStyle (its
    // fields, flat fill, line frame and focused look), else a new default
    // tab-bar style. Each page takes `style` without background
    // when it carries the page-style mark, else the shared tab-page style.
    TabItem(const CString& label, std::vector<CString> titles, std::vector<ImageRef> images,
            Style* style);
    ~TabItem() override;

    // A style with a font gives it to the bar's style and its focused style.
    void setStyle(Style* style) override;
    // Keys the page did not use: RIGHT and LEFT (not from '6' and '4') move
    // to the neighbouring tab, without wrapping around.
    bool keyPressed(int keyCode, int gameAction) override;
    // A held key acts on the focused control as it does on a plain page.
    bool keyRepeated(int keyCode, int gameAction) override;
    bool isTabItem() const override { return true; }

    // Appends `item` to page `index` (after applying `style` when given) and
    // returns its index in the page; -1 for a null item or an index outside
    // 0..tabCount()-1.
    int appendToTab(int index, std::unique_ptr<Item> item, Style* style = nullptr);
    // TabBarOwner: setSelectedTab(index, true).
    void selectTab(int index) override;
    // Shows page `index` and repaints the screen. An index out of range is
    // ignored. `notify` is kept for callers; nothing listens to tab changes.
    void setSelectedTab(int index, bool notify);

    int getSelectedTab() const { return selectedTab_; }
    int tabCount() const { return static_cast<int>(pageRefs_.size()); }
    TabBar* getTabBar() const { return tabBar_; }
    // Null when out of range.
    Container* getPage(int index) const;

private:
    TabBar* tabBar_ = nullptr;
    Style* barStyle_ = nullptr;
    // Owned pages; the shown page's slot is empty while it is a child.
    std::vector<std::unique_ptr<Item>> pages_;
    std::vector<Container*> pageRefs_;
    int selectedTab_ = 0;
};

}  // namespace zq
