#include "platform/font.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_env.h"
#include "tests/support/test_font.h"

namespace zq {
namespace {

// Widths that tell characters apart, to see how text is split into them.
class ProbeFont final : public Font {
public:
    ProbeFont() : Font(10, 2, 400) {}
    int charWidth(char32_t ch) const override {
        if (ch == U'a') return 1;
        if (ch == 0x1F600) return 10;
        if (ch == 0xFFFD) return 1000;
        return 100000;
    }
    const Glyph& glyph(char32_t) const override { return glyph_; }

private:
    Glyph glyph_;
};

TEST(FontTextWidth, SurrogatePairsAndUnpairedSurrogates) {
    ProbeFont font;
    EXPECT_EQ(font.textWidth(u""), 0);
    EXPECT_EQ(font.textWidth(u"aa"), 2);
    EXPECT_EQ(font.textWidth(u"a\xD83D\xDE00"), 11);  // U+1F600 is one character
    EXPECT_EQ(font.textWidth(u"a\xD83D"), 1001);      // high surrogate at the end
    EXPECT_EQ(font.textWidth(u"\xD83D"
                             u"a"),
              1001);  // high surrogate before a non-surrogate
    EXPECT_EQ(font.textWidth(u"\xDE00"
                             u"a"),
              1001);                                   // low surrogate alone
    EXPECT_EQ(font.textWidth(u"\xDE00\xD83D"), 2000);  // reversed pair is two faults
}

TEST(FixedFont, TinyCellsStayUsable) {
    FixedFontSource source;
    FontRef one = source.font(1, 400);
    EXPECT_EQ(one->height(), 1);
    EXPECT_EQ(one->charWidth(U'a'), 1);
    EXPECT_EQ(one->glyph(U'a').width * one->glyph(U'a').height, 0);
    FontRef three = source.font(3, 400);
    EXPECT_EQ(three->ascent(), 3);
    EXPECT_EQ(three->descent(), 0);
    EXPECT_EQ(three->charWidth(U'a'), 1);
}

TEST(GetFont, CachesClampsAndNormalisesRequests) {
    test::ScopedFixedFont fixed;
    FontRef a = getFont(14);
    EXPECT_EQ(getFont(14, 400).get(), a.get());
    EXPECT_EQ(getFont(14, 300).get(), a.get());
    EXPECT_NE(getFont(15).get(), a.get());
    FontRef bold = getFont(14, 700);
    EXPECT_NE(bold.get(), a.get());
    EXPECT_EQ(bold->weight(), 700);
    EXPECT_EQ(getFont(14, 800).get(), bold.get());

    EXPECT_EQ(getFont(0)->height(), kMinFontHeight);
    EXPECT_EQ(getFont(-5).get(), getFont(kMinFontHeight).get());
    EXPECT_EQ(getFont(100000)->height(), kMaxFontHeight);
}

TEST(GetFont, NewSourceEmptiesTheCache) {
    test::ScopedFixedFont fixed;
    FontRef before = getFont(16);
    setFontSource(std::make_shared<FixedFontSource>());
    FontRef after = getFont(16);
    EXPECT_NE(before.get(), after.get());
    EXPECT_EQ(before->height(), 16);  // still valid once the cache let go of it
}

TEST(GetFont, ConcurrentRequestsShareOneFont) {
    test::ScopedFixedFont fixed;
    std::vector<const Font*> seen(8);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < seen.size(); ++t) {
        threads.emplace_back([&seen, t] { seen[t] = getFont(21).get(); });
    }
    for (auto& thread : threads) thread.join();
    for (const Font* font : seen) EXPECT_EQ(font, seen[0]);
}

// --- the system face --------------------------------------------------------

class SystemFont : public testing::Test {
protected:
    void SetUp() override {
        std::string error;
        if (!systemFontAvailable(&error)) GTEST_SKIP() << error;
        EXPECT_TRUE(error.empty());
        setFontSource(nullptr);
    }
};

TEST_F(SystemFont, CellHeightIsTheRequestedHeight) {
    for (int h = 12; h <= 24; ++h) {
        for (int weight : {400, 700}) {
            FontRef font = getFont(h, weight);
            EXPECT_EQ(font->height(), h) << h;
            EXPECT_GT(font->ascent(), font->descent()) << h;
            EXPECT_GT(font->descent(), 0) << h;
            EXPECT_EQ(font->weight(), weight);
        }
    }
}

TEST_F(SystemFont, GlyphsFitTheCellAndHaveInk) {
    FontRef font = getFont(14);
    EXPECT_EQ(font->height(), 14);
    for (char32_t ch : {U'H', U'g', char32_t{0x4E2D}, char32_t{0x6587}}) {
        const Glyph& g = font->glyph(ch);
        EXPECT_GT(g.advance, 0);
        ASSERT_EQ(g.coverage.size(), static_cast<size_t>(g.width) * g.height);
        int ink = 0;
        for (uint8_t c : g.coverage) ink += c;
        EXPECT_GT(ink, 0);
        // At most a pixel of hinting overshoot outside the cell.
        EXPECT_LE(g.top, font->ascent() + 1);
        EXPECT_LE(g.height - g.top, font->descent() + 1);
    }
    // Ideographs are square-ish; Latin letters narrower.
    EXPECT_GE(font->charWidth(0x4E2D), 11);
    EXPECT_LT(font->charWidth(U'i'), font->charWidth(0x4E2D));
    EXPECT_EQ(font->charWidth(0xFFFD), font->textWidth(u"\xD800"));
}

TEST_F(SystemFont, GlyphReferencesOutliveLaterRendering) {
    FontRef font = getFont(17);
    const Glyph* first = &font->glyph(U'A');
    for (char32_t ch = 0x4E00; ch < 0x4E00 + 500; ++ch) font->glyph(ch);
    EXPECT_EQ(&font->glyph(U'A'), first);
}

TEST_F(SystemFont, MeasuringFromManyThreadsGivesOneAnswer) {
    const std::vector<std::u16string> texts = {
        u"Hello, world",    u"中国证券 600036 招商银行",   u"涨跌幅 +2.35%",
        u"\xD83D\xDE00 ok", u"abcdefghijklmnopqrstuvwxyz", u"买入卖出撤单查询"};
    // A fresh font, so that the threads race on first rendering too.
    FontRef shared = getFont(15);
    std::vector<std::vector<int>> results(8);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < results.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round) {
                for (const auto& text : texts) results[t].push_back(shared->textWidth(text));
            }
        });
    }
    for (auto& thread : threads) thread.join();

    FontRef reference = makeSystemFontSource()->font(15, 400);
    std::vector<int> expected;
    for (int round = 0; round < 20; ++round) {
        for (const auto& text : texts) expected.push_back(reference->textWidth(text));
    }
    for (const auto& result : results) EXPECT_EQ(result, expected);
}

// Fontconfig reads its configuration once per process, so the missing face
// is seen from a fresh child process with an empty configuration.
TEST(SystemFontMissing, MessageNamesThePackage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    test::TempDir dir;
    std::string config = (dir.path() / "fonts.conf").string();
    std::ofstream(config) << "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n";
    EXPECT_EXIT(
        {
            setenv("FONTCONFIG_FILE", config.c_str(), 1);
            std::string error;
            bool found = systemFontAvailable(&error);
            std::cerr << "[" << error << "]";
            FontRef font = getFont(14);  // falls back to a usable font
            std::exit(!found && font->height() == 14 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "\\[[^]\n]*fonts-wqy-microhei[^]\n]*\\]");
}

}  // namespace
}  // namespace zq
