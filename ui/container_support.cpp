#include "ui/container_support.h"

namespace zq {

bool pointerToChildUnder(const Item& container, const std::vector<std::unique_ptr<Item>>& children,
                         const Item* skip, int px, int py, bool press,
                         const std::function<void(int index, Item* child)>& focus) {
    for (size_t i = 0; i < children.size(); ++i) {
        Item* child = children[i].get();
        if (child == skip || !child->isVisible() || !child->isInteractive()) continue;
        if (!container.isInChildArea(px, py, child)) continue;
        const int cx = px - child->relativeX();
        const int cy = py - child->relativeY();
        if (press) {
            focus(static_cast<int>(i), child);
            child->pointerPressed(cx, cy);
        } else {
            child->pointerReleased(cx, cy);
        }
        return true;
    }
    return false;
}

}  // namespace zq
