#include "ui/item_view.h"

#include "ui/item.h"
#include "ui/style.h"

namespace zq {

ItemView::~ItemView() = default;

std::unique_ptr<ItemView> ItemView::getNewInstance() const { return nullptr; }

void ItemView::setStyle(Style* style) {
    if (!style) return;
    gapVertical_ = style->paddingVertical;
    gapHorizontal_ = style->paddingHorizontal;
    layout_ = style->flags;
    alignCentre_ = (layout_ & kLayoutCenter) != 0;
    alignRight_ = (layout_ & kLayoutRight) != 0 && !alignCentre_;
}

void ItemView::paintContent(Item& item, int x, int y, int leftBorder, int rightBorder,
                            GraphicsContext& g) {
    item.paintContent(x, y, leftBorder, rightBorder, g);
}

}  // namespace zq
