// Labels and alert messages are real page items in these tests.
#include "items/item_makers.h"

[[maybe_unused]] static const bool kItemMakersInstalled = (zq::installItemMakers(), true);
