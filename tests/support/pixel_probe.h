// Pixel probes: a list of places and the colour each must have, checked in
// one call that names every place that differs.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>

#include "platform/surface.h"

namespace zq::test {

struct Probe {
    int x;
    int y;
    Color colour;
};

template <size_t N>
void expectPixels(const Surface& surface, const Probe (&probes)[N]) {
    for (const Probe& p : probes) {
        EXPECT_EQ(surface.getPixel(p.x, p.y), p.colour) << "at (" << p.x << ", " << p.y << ")";
    }
}

}  // namespace zq::test
