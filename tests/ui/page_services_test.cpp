// The reply registry's whole-list install, which every picture of a page
// asks for when it is shown: once per list, until something else changes
// the kind.
#include "ui/page_services.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <vector>

namespace zq {
namespace {

struct CountingListener : ResponseListener {
    void onResponse(int32_t, std::span<const uint8_t>) override { ++heard; }
    int heard = 0;
};

TEST(ResponseListenerRegistry, AListIsInstalledOnceUntilAnotherCallChangesItsKind) {
    ResponseListenerRegistry registry;
    CountingListener a, b, c;
    const std::vector<ResponseListener*> list{&a, &b};
    const std::vector<ResponseListener*> other{&c};
    registry.replace(3, list, &list);
    EXPECT_EQ(registry.count(3), 2u);
    // The same source again is not looked at: it is the list in place.
    registry.replace(3, other, &list);
    EXPECT_EQ(registry.count(3), 2u);

    // Any other change makes the next install of the same list count again.
    registry.add(3, &c);
    EXPECT_EQ(registry.count(3), 3u);
    registry.replace(3, list, &list);
    EXPECT_EQ(registry.count(3), 2u);
    registry.remove(3, &a);
    registry.replace(3, list, &list);
    EXPECT_EQ(registry.count(3), 2u);
    registry.clear(3);
    registry.replace(3, list, &list);
    EXPECT_EQ(registry.count(3), 2u);

    // Another list replaces it; the order is the list's.
    registry.replace(3, other, &other);
    EXPECT_TRUE(registry.deliverAt(3, 0, {}));
    EXPECT_FALSE(registry.deliverAt(3, 1, {}));
    EXPECT_EQ(c.heard, 1);
    EXPECT_EQ(a.heard + b.heard, 0);
    registry.replace(3, {}, nullptr);
    EXPECT_EQ(registry.count(3), 0u);
}

}  // namespace
}  // namespace zq
