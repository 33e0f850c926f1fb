// The toolkit (ui/) cannot include the page items, yet it needs some of them:
// an item's label is a StringItem and an alert's message is an IconItem.
// installItemMakers hands ui/ the functions that make them; the application
// and the tests that need labels call it once before building items.
#pragma once

namespace zq {

void installItemMakers();

}  // namespace zq
