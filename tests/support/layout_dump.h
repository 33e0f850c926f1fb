// A text dump of a laid-out item tree, so a test can state a whole page's
// layout in a few lines and any moved, resized or lost item shows as a diff.
#pragma once

#include <string>

#include "ui/container.h"
#include "ui/empty_container.h"
#include "ui/item.h"

namespace zq::test {

// One line per item, indented two spaces per level:
// `Container (x,y wxh)` or `Item "text" (x,y wxh) focused`; the text is left
// out when the item has none. Both kinds of container list their children.
inline void dumpLayout(const Item& item, int depth, std::string& out) {
    out.append(static_cast<size_t>(depth) * 2, ' ');
    const auto* container = dynamic_cast<const Container*>(&item);
    const auto* flow = dynamic_cast<const EmptyContainer*>(&item);
    out += container || flow ? "Container" : "Item";
    const std::string text = container || flow ? std::string() : item.getText().toUtf8();
    if (!text.empty()) out += " \"" + text + "\"";
    out += " (" + std::to_string(item.relativeX()) + "," + std::to_string(item.relativeY()) + " " +
           std::to_string(item.itemWidth()) + "x" + std::to_string(item.itemHeight()) + ")";
    if (item.isFocused()) out += " focused";
    out += "\n";
    if (container) {
        for (const auto& child : container->children()) dumpLayout(*child, depth + 1, out);
    }
    if (flow) {
        for (const auto& child : flow->getItems()) dumpLayout(*child, depth + 1, out);
    }
}

inline std::string dumpLayout(const Item& item) {
    std::string out;
    dumpLayout(item, 0, out);
    return out;
}

}  // namespace zq::test
