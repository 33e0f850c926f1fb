// Pixel probes: a list of places and the colour each must have, checked in
// one call that names every place that differs.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>

#include "platform/surface.h"

namespace zq::test {

struct Probe {
    int x;
    int y;
    Color colour;
};

inline void expectPixels(const Surface& surface, std::initializer_list<Probe> probes) {
    for (const Probe& p : probes) {
        EXPECT_EQ(surface.getPixel(p.x, p.y), p.colour) << "at (" << p.x << ", " << p.y << ")";
    }
}

}  // namespace zq::test
