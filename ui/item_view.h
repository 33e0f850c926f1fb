// ItemView: an object a style carries (kItemViewObject) that takes over laying
// out and painting an item's content. This is the base the items bind;
// the grid and row views of containers derive from it.
//
// A view serves one item at a time. The style owns the view it carries; an
// item whose style's view already serves another item binds a fresh copy
// (getNewInstance) and owns that copy. UI thread only.
#pragma once

#include <cstdint>
#include <memory>

namespace zq {

class GraphicsContext;
class Item;
class Style;

class ItemView {
public:
    ItemView() = default;
    virtual ~ItemView();
    ItemView(const ItemView&) = delete;
    ItemView& operator=(const ItemView&) = delete;

    // A new view of the same kind in its initial state; null when the kind
    // cannot serve a second item.
    virtual std::unique_ptr<ItemView> getNewInstance() const;
    virtual void showNotify() {}
    virtual void hideNotify() {}
    // Takes the gaps and layout flags of the style.
    virtual void setStyle(Style* style);
    // Paints the bound item's content at (x, y); the base lets the item
    // paint it itself.
    virtual void paintContent(Item& item, int x, int y, int leftBorder, int rightBorder,
                              GraphicsContext& g);

    // Every view accepts every item.
    bool isValid(const Item* /*item*/, const Style* /*style*/) const { return true; }
    Item* getItem() const { return item_; }
    void bind(Item* item) { item_ = item; }

    int contentWidth() const { return contentWidth_; }
    int contentHeight() const { return contentHeight_; }
    int gapVertical() const { return gapVertical_; }
    int gapHorizontal() const { return gapHorizontal_; }
    uint32_t layout() const { return layout_; }
    bool isAlignCentre() const { return alignCentre_; }
    bool isAlignRight() const { return alignRight_; }

protected:
    int contentWidth_ = 0;
    int contentHeight_ = 0;
    int gapVertical_ = 0;
    int gapHorizontal_ = 0;
    uint32_t layout_ = 0;
    bool alignCentre_ = false;
    bool alignRight_ = false;
    bool focusedStyleActive_ = false;
    Item* item_ = nullptr;
};

}  // namespace zq
