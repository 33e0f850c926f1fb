#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/cstring.h"

namespace zq {
namespace {

const std::string kGbkMarket =
    "\xD6\xD0\xB9\xFA\xB9\xC9\xC6\xB1\xD0\xD0\xC7\xE9\xA3\xAC\xD6\xA4\xC8\xAF\xBD\xBB\xD2\xD7";

TEST(CodePage, GbkRoundTrip) {
    const CString text(u"中国股票行情，证券交易");
    EXPECT_EQ(text.toCodePage(kCodePageGbk), kGbkMarket);
    EXPECT_EQ(CString::fromCodePage(kGbkMarket, kCodePageGbk), text);
    // 0 and pages the client does not know are GBK.
    EXPECT_EQ(CString::fromCodePage(kGbkMarket, kCodePageDefault), text);
    EXPECT_EQ(CString::fromCodePage(kGbkMarket, 1252), text);
    EXPECT_EQ(text.toCodePage(kCodePageDefault), kGbkMarket);
    const CString mixed(u"600036 招商银行 +1.25%");
    EXPECT_EQ(CString::fromCodePage(mixed.toCodePage(kCodePageGbk), kCodePageGbk), mixed);
}

TEST(CodePage, Big5RoundTrip) {
    const CString text(u"證券 Quote");
    const std::string bytes = text.toCodePage(kCodePageBig5);
    EXPECT_EQ(bytes, "\xC3\xD2\xA8\xE9 Quote");
    EXPECT_EQ(CString::fromCodePage(bytes, kCodePageBig5), text);
}

TEST(CodePage, LongTextNeedsNoFixedBuffer) {
    CString text;
    for (int i = 0; i < 5000; ++i) text += CString(u"行情a");
    const std::string gbk = text.toCodePage(kCodePageGbk);
    EXPECT_EQ(gbk.size(), 5000u * 5u);
    EXPECT_EQ(CString::fromCodePage(gbk, kCodePageGbk), text);
}

TEST(CodePage, UndecodableBytesBecomeReplacementAndDecodingGoesOn) {
    struct Case {
        std::string bytes;
        std::u16string expected;
        const char* why;
    };
    const Case cases[] = {
        {"A\x81", u"A\uFFFD", "lone lead byte at the end"},
        {"\x80\xFF", u"\u20AC\uFFFD", "0x80 is the euro sign of page 936, 0xFF is nothing"},
        {"\x81\x20\x42", u"\uFFFD B", "a bad trail byte is kept as a character"},
        {"\xFF\xFF\xD6\xD0", u"\uFFFD\uFFFD中", "decoding resumes after bad bytes"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CString::fromCodePage(c.bytes, kCodePageGbk).str(), c.expected) << c.why;
    }
    EXPECT_EQ(CString::fromCodePage("\xC3", kCodePageBig5).str(), u"\uFFFD");
}

TEST(CodePage, UnmappableCharactersBecomeOneQuestionMark) {
    // U+1F600 is a surrogate pair: one character, one '?'.
    EXPECT_EQ(CString(u"a\U0001F600b\u0E01c").toCodePage(kCodePageGbk), "a?b?c");
    EXPECT_EQ(CString(u"国").toCodePage(kCodePageBig5), "?");
    // Broken UTF-16 is unmappable too.
    EXPECT_EQ(CString(u"\xD800\x61\xDC00").toCodePage(kCodePageGbk), "?a?");
    EXPECT_EQ(CString(u"x\xD800").toCodePage(kCodePageGbk), "x?");
}

TEST(CodePage, EmptyInput) {
    for (int page : {0, 936, 950, 65001, 42}) {
        EXPECT_TRUE(CString::fromCodePage("", page).isEmpty()) << page;
        EXPECT_EQ(CString().toCodePage(page), "") << page;
    }
}

TEST(CodePage, ThreadsConvertIndependently) {
    // Converters keep state; a shared one would mix up concurrent calls.
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            const CString text = t % 2 ? CString(u"證券行情") : CString(u"中国股票");
            const int page = t % 2 ? kCodePageBig5 : kCodePageGbk;
            for (int i = 0; i < 300; ++i) {
                if (CString::fromCodePage(text.toCodePage(page), page) != text) ++failures[t];
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

TEST(Utf8, OutsideTheBmpUsesSurrogatePairs) {
    const std::string bytes = "\xF0\x9F\x98\x80|\xF0\xA0\x80\x80";
    const std::u16string units = u"\xD83D\xDE00|\xD840\xDC00";
    EXPECT_EQ(utf8ToUtf16(bytes), units);
    EXPECT_EQ(utf16ToUtf8(units), bytes);
    EXPECT_EQ(CString::fromCodePage(bytes, kCodePageUtf8).str(), units);
    EXPECT_EQ(CString(units).toCodePage(kCodePageUtf8), bytes);
    EXPECT_EQ(utf8ToUtf16("\xF4\x8F\xBF\xBF"), u"\xDBFF\xDFFF");  // U+10FFFF
}

TEST(Utf8, InvalidSequencesBecomeOneReplacementPerMaximalSubpart) {
    struct Case {
        std::string bytes;
        std::u16string expected;
    };
    const Case cases[] = {
        {"a\xE4\xB8", u"a\uFFFD"},                          // truncated at the end
        {"\xE4\xB8\x61\xE4\xB8\xAD", u"\uFFFDa中"},         // truncated, then valid
        {"\xC0\x80", u"\uFFFD\uFFFD"},                      // overlong NUL
        {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},            // overlong '/'
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
        {"\xF5\x80", u"\uFFFD\uFFFD"},
        {"\xFF\x41", u"\uFFFDA"},
        {"\x80\xBF", u"\uFFFD\uFFFD"},  // stray continuation bytes
        {"\xF0\x9F\x98x", u"\uFFFDx"},
        {std::string("\xE4\x00", 2), std::u16string(u"\uFFFD\0", 2)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf8ToUtf16(c.bytes), c.expected) << testing::PrintToString(c.bytes);
    }
}

TEST(Utf8, AsciiFastPathKeepsPositions) {
    // Runs longer than a word, with a multi-byte character at every offset.
    for (size_t at = 0; at < 20; ++at) {
        std::string bytes(20, 'x');
        bytes.insert(at, "\xE8\xA1\x8C");
        std::u16string expected(20, u'x');
        expected.insert(at, 1, u'行');
        EXPECT_EQ(utf8ToUtf16(bytes), expected) << at;
    }
}

TEST(Utf8, ChineseFastPathsKeepPositionsAndLeaveOddLeadsToTheGeneralWay) {
    // Runs of Chinese long enough for the four- and two-character steps,
    // with a character of another lead (E0, ED, a two-byte one, ASCII) or a
    // broken sequence at every offset.
    const std::pair<std::string, std::u16string> odd[] = {
        {"\xE0\xA4\x85", u"\u0905"}, {"\xED\x95\x9C", u"\uD55C"},
        {"\xC3\xA9", u"\u00E9"},     {"a", u"a"},
        {"\xE8\xA1", u"\uFFFD"},     {"\xEF\xBC\x8C", u"\uFF0C"}};
    for (const auto& [bytes, unit] : odd) {
        for (size_t at = 0; at <= 24; ++at) {
            std::string text;
            std::u16string expected;
            for (size_t k = 0; k < 24; ++k) {
                if (k == at) {
                    text += bytes;
                    expected += unit;
                }
                text += "\xE8\xA1\x8C";  // 行
                expected += u'行';
            }
            EXPECT_EQ(utf8ToUtf16(text), expected) << at << " " << testing::PrintToString(bytes);
        }
    }
}

TEST(Utf8, UnpairedSurrogatesEncodeAsReplacement) {
    EXPECT_EQ(utf16ToUtf8(u"\xD800\x61"), "\xEF\xBF\xBD\x61");
    EXPECT_EQ(utf16ToUtf8(u"a\xDC00"), "a\xEF\xBF\xBD");
    EXPECT_EQ(utf16ToUtf8(u"\xDC00\xD800"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(utf16ToUtf8(u"\xD83D"), "\xEF\xBF\xBD");
    EXPECT_EQ(utf16ToUtf8(u"é中\uFFFF"), "\xC3\xA9\xE4\xB8\xAD\xEF\xBF\xBF");
    EXPECT_EQ(utf16ToUtf8(u""), "");
    EXPECT_EQ(utf8ToUtf16(""), u"");
}

}  // namespace
}  // namespace zq
