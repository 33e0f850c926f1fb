// Fonts of several sizes and weights share one FreeType face of their file:
// each must still draw at its own size, also when they render at once.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/font.h"

namespace zq {
namespace {

struct Request {
    int height;
    int weight;
};

bool sameGlyph(const Glyph& a, const Glyph& b) {
    return a.width == b.width && a.height == b.height && a.left == b.left && a.top == b.top &&
           a.advance == b.advance && a.coverage == b.coverage;
}

TEST(SharedFace, EachSizeDrawsAsIfAlone) {
    std::string error;
    if (!systemFontAvailable(&error)) GTEST_SKIP() << error;
    const Request requests[] = {{12, 400}, {14, 400}, {14, 700}, {20, 400}, {28, 700}, {40, 400}};
    std::vector<char32_t> chars = {U'A', U'g', U'%', 0x4E2D, 0x6587, 0x9ED8, 0xFFFD};
    for (char32_t ch = 0x4E00; ch < 0x4E00 + 40; ++ch) chars.push_back(ch);

    // All fonts of one source, rendering the same characters on threads of
    // their own, so that sizes interleave on the shared face.
    std::shared_ptr<FontSource> shared = makeSystemFontSource();
    std::vector<FontRef> fonts;
    for (const Request& r : requests) fonts.push_back(shared->font(r.height, r.weight));
    std::vector<std::thread> threads;
    for (const FontRef& font : fonts) {
        threads.emplace_back([&font, &chars] {
            for (char32_t ch : chars) font->glyph(ch);
        });
    }
    for (auto& thread : threads) thread.join();

    for (size_t i = 0; i < fonts.size(); ++i) {
        // The same font made by a source of its own, with no other size.
        FontRef alone = makeSystemFontSource()->font(requests[i].height, requests[i].weight);
        EXPECT_EQ(fonts[i]->ascent(), alone->ascent());
        for (char32_t ch : chars) {
            EXPECT_TRUE(sameGlyph(fonts[i]->glyph(ch), alone->glyph(ch)))
                << "height " << requests[i].height << " weight " << requests[i].weight << " char "
                << static_cast<uint32_t>(ch);
        }
    }
}

}  // namespace
}  // namespace zq
