// Small pieces that every kind of container shares.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "ui/item.h"

namespace zq {

// What a parent must lay out again for when a child changes.
struct ItemSize {
    int width;
    int height;
    uint32_t layout;
    bool operator==(const ItemSize&) const = default;
};

inline ItemSize sizeOf(const Item& item) {
    return {item.itemWidth(), item.itemHeight(), item.getLayout()};
}

// Hands a pointer event at (px, py) in `container`'s content coordinates to
// the first visible, interactive child under it other than `skip`; on a
// press `focus` is called with the child's index first. False when no child
// took it.
bool pointerToChildUnder(const Item& container, const std::vector<std::unique_ptr<Item>>& children,
                         const Item* skip, int px, int py, bool press,
                         const std::function<void(int index, Item* child)>& focus);

}  // namespace zq
