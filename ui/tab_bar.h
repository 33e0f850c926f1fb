// TabBar: a horizontal strip of tabs, one per page title or picture, with a
// selected tab and a left and a right arrow that light up while tabs lie
// beyond the visible part. The strip scrolls sideways to keep the selected
// tab in view.
//
// The bar lives in ui/ because TabbedForm shows one as its screen header,
// and ui/ may not include items/. Its tabs are therefore small cells of its
// own (the picture, or the title while there is none) rather than page
// ImageItems. Whoever shows the bar (TabbedForm, items/TabItem) is its
// TabBarOwner: the bar never switches tabs itself, it only reports the tab
// asked for (getPendingIndex) and, on a tap, asks the owner.
//
// Styles: each bar copies the three shared tab looks (ui/default_styles.h)
// at construction, so a font change on one bar never reaches another. The
// copies are tracked styles (alive until shut-down); tabs borrow them.
//
// Coordinates are back-buffer pixels; tab positions are relative to the
// bar's origin. Owns its tab cells. UI thread only.
#pragma once

#include <memory>
#include <vector>

#include "platform/cstring.h"
#include "platform/font.h"
#include "platform/image.h"
#include "ui/item.h"

namespace zq {

// Told when a tap on the bar asks for another tab.
class TabBarOwner {
public:
    // `index` differs from the selected index and lies in range. The owner
    // may refuse; when it accepts it calls TabBar::setSelectedIndex.
    virtual void selectTab(int index) = 0;

protected:
    ~TabBarOwner() = default;
};

// A new tracked style with the plain fields of `look`, its flat fill and
// line frame (the kinds the tab looks are built from; other kinds are not
// carried over) and a copy of its focused style, one level deep.
Style* copyTabLook(const Style* look);
// createTabBarStyle() whose focused style (a shared tab look) is replaced by
// a copy, with `font` (when non-null) given to both: a bar style whose font
// may change without reaching other bars.
Style* createOwnTabBarStyle(FontRef font);

class TabBar : public Item {
public:
    // One tab per title, or per picture when there are no titles; a missing
    // title is empty and a missing picture null. Tab 0 is selected.
    TabBar(std::vector<CString> titles, std::vector<ImageRef> images, Style* style);
    ~TabBar() override;

    // A style with a font gives that font to the bar's tab looks (and their
    // focused styles); the tabs then take their looks again, the selected
    // one the look that matches the bar's focus.
    void setStyle(Style* style) override;
    void initContent(int firstLineWidth, int lineWidth) override;
    void paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) override;
    // LEFT/RIGHT record the neighbouring tab in getPendingIndex (RIGHT is
    // then not used; LEFT falls through to Item); on the first/last tab
    // they go to Item::keyPressed. The owner switches.
    bool keyPressed(int keyCode, int gameAction) override;
    // A tap on an arrow or a tab asks the owner for that tab; true when the
    // tapped tab is the selected one afterwards.
    bool pointerPressed(int x, int y) override;
    // The selected tab takes the focused-selected look while the bar has
    // the focus and the selected look otherwise.
    Style* focus(Style* focusStyle, int direction) override;
    void defocus(Style* normalStyle) override;
    bool isTabBar() const override { return true; }
    // invalidateAll().
    void requestFullInit() override { invalidateAll(); }

    // The old tab takes the normal look, tab `index` the current selected
    // look. An index out of range is ignored.
    void setSelectedIndex(int index);
    int getSelectedIndex() const { return selectedIndex_; }
    int tabCount() const { return static_cast<int>(tabs_.size()); }
    // The tab the last key or tap asked for.
    int getPendingIndex() const { return pendingIndex_; }
    // Borrowed; null means taps select nothing.
    void setOwner(TabBarOwner* owner) { owner_ = owner; }
    // Every tab and the bar will be laid out again.
    void invalidateAll();

    // Null when out of range.
    Item* getTab(int index) const;
    // 0 or negative: how far the strip is moved left.
    int scrollX() const { return scrollX_; }
    int arrowSize() const { return arrowSize_; }
    int arrowGap() const { return arrowGap_; }
    // Right end of the visible strip, in bar coordinates (set by layout
    // and paint).
    int stripRight() const { return stripRight_; }
    // Whether the last paint left tabs hidden on the right.
    bool tabsRemainRight() const { return tabsRemainRight_; }
    // The bar's own tab looks.
    Style* selectedStyle() const { return selectedStyle_; }
    Style* focusedSelectedStyle() const { return focusedSelectedStyle_; }
    Style* normalStyle() const { return normalStyle_; }

private:
    // Left edge of the strip inside the bar (margin, padding, arrow).
    int stripLeft() const;
    void giveTabStyle(int index, Style* style);

    int selectedIndex_ = 0;
    std::vector<std::unique_ptr<Item>> tabs_;
    Style* selectedStyle_ = nullptr;
    Style* focusedSelectedStyle_ = nullptr;
    Style* normalStyle_ = nullptr;
    Style* currentStyle_ = nullptr;
    int scrollX_ = 0;
    int arrowSize_ = 0;
    int arrowGap_ = 5;
    int stripRight_ = 0;
    bool tabsRemainRight_ = false;
    int pendingIndex_ = 0;
    TabBarOwner* owner_ = nullptr;
};

}  // namespace zq
