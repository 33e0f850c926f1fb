#include "ui/graphics_context.h"

#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>

#include "platform/device_context.h"
#include "platform/surface.h"

namespace zq {
namespace {

struct Clip {
    int x, y, w, h;
    friend bool operator==(const Clip&, const Clip&) = default;
    friend std::ostream& operator<<(std::ostream& os, const Clip& c) {
        return os << "(" << c.x << ", " << c.y << ", " << c.w << ", " << c.h << ")";
    }
};

Clip clipOf(const GraphicsContext& g) {
    return {g.getClipX(), g.getClipY(), g.getClipWidth(), g.getClipHeight()};
}

class GraphicsContextTest : public ::testing::Test {
protected:
    GraphicsContextTest() { g.init(240, 320, nullptr); }
    GraphicsContext g;
};

TEST_F(GraphicsContextTest, SetClipTable) {
    struct Case {
        Clip request;
        Clip expected;
        bool changed;
    };
    const Case cases[] = {
        {{10, 10, 0, 5}, {0, 0, 0, 0}, true},           // no width
        {{10, 10, 5, -1}, {0, 0, 0, 0}, true},          // negative height
        {{-20, 5, 100, 50}, {0, 5, 80, 50}, true},      // left of the surface
        {{0, 0, 1000, 1000}, {0, 0, 240, 320}, false},  // larger than the surface
        {{0, 0, 240, 320}, {0, 0, 240, 320}, false},
        {{300, 0, 10, 10}, {0, 0, 0, 0}, true},  // right of the surface
        {{0, 320, 10, 10}, {0, 0, 0, 0}, true},  // just below it
        {{230, 310, 50, 50}, {230, 310, 50, 50}, true},
        {{0, 0, 32768 + 10, 20}, {0, 0, 10, 20}, true},  // width kept in 15 bits
    };
    for (const Case& c : cases) {
        GraphicsContext fresh;
        fresh.init(240, 320, nullptr);
        fresh.setClip(c.request.x, c.request.y, c.request.w, c.request.h);
        EXPECT_EQ(clipOf(fresh), c.expected) << "setClip" << c.request;
        EXPECT_EQ(fresh.clipChanged(), c.changed) << "setClip" << c.request;
    }
}

TEST_F(GraphicsContextTest, ClipRectNarrowsAndEmpties) {
    g.setClip(0, 0, 240, 320);
    g.clipRect(10, 20, 50, 60);
    EXPECT_EQ(clipOf(g), (Clip{10, 20, 50, 60}));
    EXPECT_TRUE(g.clipChanged());

    // Beyond the clip: no size, the origin stays.
    g.clipRect(100, 100, 10, 10);
    EXPECT_EQ(clipOf(g), (Clip{10, 20, 0, 0}));

    g.setClip(10, 10, 50, 50);
    g.clipRect(0, 0, 240, 320);  // larger: unchanged
    EXPECT_EQ(clipOf(g), (Clip{10, 10, 50, 50}));
    g.clipRect(30, 0, 100, 100);  // overlaps the right part
    EXPECT_EQ(clipOf(g), (Clip{30, 10, 30, 50}));
    g.clipRect(60, 10, 10, 10);  // touches the right edge: no width
    EXPECT_EQ(clipOf(g), (Clip{60, 10, 0, 10}));

    g.setClip(10, 10, 50, 50);
    g.clipRect(0, 0, 5, 5);  // ends before the clip
    EXPECT_EQ(clipOf(g), (Clip{10, 10, 0, 0}));
    g.clipRect(20, 20, 0, 5);  // no width: everything 0
    EXPECT_EQ(clipOf(g), (Clip{0, 0, 0, 0}));
}

TEST_F(GraphicsContextTest, SurfaceSizeMaskedTo15Bits) {
    g.init(40000, 32768 + 100, nullptr);
    EXPECT_EQ(g.getSurfaceWidth(), 40000 & 0x7FFF);
    EXPECT_EQ(g.getSurfaceHeight(), 100);
    EXPECT_EQ(clipOf(g), (Clip{0, 0, 40000 & 0x7FFF, 100}));
}

TEST_F(GraphicsContextTest, TranslationShiftsTheClipAndRoundTrips) {
    g.translate(5, 7);
    g.setClip(10, 10, 50, 50);
    EXPECT_EQ(clipOf(g), (Clip{10, 10, 50, 50}));
    const Clip saved = clipOf(g);
    g.clipRect(20, 20, 5, 5);
    EXPECT_EQ(clipOf(g), (Clip{20, 20, 5, 5}));
    g.setClip(saved.x, saved.y, saved.w, saved.h);
    EXPECT_EQ(clipOf(g), saved);
    g.reset();
    EXPECT_EQ(g.getTranslateX(), 0);
    EXPECT_EQ(clipOf(g), (Clip{0, 0, 240, 320}));
}

// Sums past 32 bits end clamped, never as signed overflow (UBSan checks this).
TEST_F(GraphicsContextTest, ThirtyTwoBitOverflowClamps) {
    // Origin overflows with both terms positive: clamped to the surface edge, empty.
    g.translate(INT_MAX - 5, 0);
    g.setClip(10, 0, 20, 20);
    EXPECT_EQ(g.getClipWidth(), 0);
    EXPECT_EQ(g.getClipHeight(), 0);
    EXPECT_EQ(g.getClipX(), -(INT_MAX - 5));  // clipX 0 less the translation
    g.clipRect(10, 0, 20, 20);
    EXPECT_EQ(g.getClipWidth(), 0);

    // Right edge overflows: clamped to the surface width.
    g.reset();
    g.translate(10, 0);
    g.setClip(5, 0, INT_MAX, 10);
    EXPECT_EQ(clipOf(g), (Clip{5, 0, 225, 10}));

    g.reset();
    g.translate(10, 10);
    g.clipRect(5, 5, INT_MAX, INT_MAX);
    EXPECT_EQ(clipOf(g), (Clip{5, 5, 225, 305}));

    // A negative origin with a huge size: from 0 to the surface edge.
    g.reset();
    g.setClip(-5, -5, INT_MAX, INT_MAX);
    EXPECT_EQ(clipOf(g), (Clip{0, 0, 240, 320}));

    // Negative sums that wrap to positive land beyond the surface.
    g.reset();
    g.translate(-10, 0);
    g.setClip(INT_MIN + 5, 0, 10, 10);
    EXPECT_EQ(clipOf(g), (Clip{10, 0, 0, 0}));

    // The getters and the translation wrap too.
    g.reset();
    g.translate(INT_MIN, 0);
    EXPECT_EQ(g.getClipX(), INT_MIN);
    g.translate(INT_MIN, INT_MAX);
    g.translate(0, INT_MAX);
    EXPECT_EQ(g.getTranslateX(), 0);
    EXPECT_EQ(g.getTranslateY(), -2);
}

TEST(ClipScopeTest, NarrowsBothClipsAndRestoresThem) {
    Surface surface(240, 320);
    DeviceContext dc(surface);
    GraphicsContext g;
    g.init(240, 320, &dc);
    g.setClip(0, 0, 100, 100);
    dc.setClipRect({0, 0, 100, 100});
    {
        ClipScope clip(g, 50, 60, 100, 100);
        EXPECT_EQ(clipOf(g), (Clip{50, 60, 50, 40}));
        EXPECT_EQ(dc.clipRect(), (Rect{50, 60, 100, 100}));
        {
            ClipScope inner(g, 0, 0, 10, 10);  // outside: nothing left
            EXPECT_EQ(g.getClipWidth(), 0);
            EXPECT_TRUE(dc.clipRect().isEmpty());
        }
        EXPECT_EQ(clipOf(g), (Clip{50, 60, 50, 40}));
        EXPECT_EQ(dc.clipRect(), (Rect{50, 60, 100, 100}));
    }
    EXPECT_EQ(clipOf(g), (Clip{0, 0, 100, 100}));
    EXPECT_EQ(dc.clipRect(), (Rect{0, 0, 100, 100}));
}

TEST(ClipScopeTest, RestoresWhenPaintingThrows) {
    Surface surface(240, 320);
    DeviceContext dc(surface);
    GraphicsContext g;
    g.init(240, 320, &dc);
    EXPECT_THROW(
        {
            ClipScope clip(g, 10, 10, 20, 20);
            throw std::runtime_error("paint failed");
        },
        std::runtime_error);
    EXPECT_EQ(clipOf(g), (Clip{0, 0, 240, 320}));
    EXPECT_EQ(dc.clipRect(), surface.bounds());
}

TEST(ClipScopeTest, HugeBoxAndNoDeviceContext) {
    Surface surface(240, 320);
    DeviceContext dc(surface);
    GraphicsContext g;
    g.init(240, 320, &dc);
    {
        ClipScope clip(g, 200, 300, INT_MAX, INT_MAX);
        EXPECT_EQ(dc.clipRect(), (Rect{200, 300, 240, 320}));
        EXPECT_EQ(clipOf(g), (Clip{200, 300, 40, 20}));
    }
    GraphicsContext bare;
    bare.init(240, 320, nullptr);
    {
        ClipScope clip(bare, 10, 10, 20, 20);
        EXPECT_EQ(clipOf(bare), (Clip{10, 10, 20, 20}));
    }
    EXPECT_EQ(clipOf(bare), (Clip{0, 0, 240, 320}));
}

}  // namespace
}  // namespace zq
