// Labels and alert messages are real page items in these tests.
#include "items/item_makers.h"
#include "ui/client_context.h"

[[maybe_unused]] static const bool kItemMakersInstalled =
    (zq::installItemMakers(zq::ClientContext::current()), true);
