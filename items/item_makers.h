// The toolkit (ui/) cannot include the page items, yet it needs some of them:
// an item's label is a StringItem and an alert's message is an IconItem.
// installItemMakers hands a client's context the functions that make them;
// the application and the tests that need labels call it before building
// items (contexts made later inherit them).
#pragma once

namespace zq {

class ClientContext;

void installItemMakers(ClientContext& context);

}  // namespace zq
