#include "platform/cstring.h"

#include <gtest/gtest.h>

#include <climits>

namespace zq {
namespace {

TEST(CStringPieces, MidLeftRightClampLikeTheHandset) {
    const CString s(u"abcdef");
    EXPECT_EQ(s.mid(-3, 2), CString(u"ab"));
    EXPECT_EQ(s.mid(4, 100), CString(u"ef"));
    EXPECT_EQ(s.mid(2, -1), CString());
    EXPECT_EQ(s.mid(6, 1), CString());
    EXPECT_EQ(s.mid(9, 1), CString());
    EXPECT_EQ(s.mid(1, INT_MAX), CString(u"bcdef"));  // first + count must not overflow
    EXPECT_EQ(s.mid(-1), s);
    EXPECT_EQ(s.mid(3), CString(u"def"));
    EXPECT_EQ(s.mid(7), CString());
    EXPECT_EQ(s.left(-1), CString());
    EXPECT_EQ(s.left(2), CString(u"ab"));
    EXPECT_EQ(s.left(60), s);
    EXPECT_EQ(s.right(-1), CString());
    EXPECT_EQ(s.right(2), CString(u"ef"));
    EXPECT_EQ(s.right(60), s);
    EXPECT_EQ(CString().mid(0, 3), CString());
}

TEST(CStringPieces, AtAndSetAtIgnoreOutOfRange) {
    CString s(u"ab");
    EXPECT_EQ(s.at(-1), 0);
    EXPECT_EQ(s[2], 0);
    s.setAt(2, u'x');
    s.setAt(-1, u'x');
    s.setAt(1, u'c');
    EXPECT_EQ(s, CString(u"ac"));
}

TEST(CStringSearch, FindFamily) {
    const CString s(u"股票a股票b");
    EXPECT_EQ(s.find(u'票'), 1);
    EXPECT_EQ(s.find(u'票', -5), 1);
    EXPECT_EQ(s.find(u'票', 2), 4);
    EXPECT_EQ(s.find(u'票', 6), -1);
    EXPECT_EQ(s.find(u'票', 600), -1);
    EXPECT_EQ(s.find(CString(u"股票"), -1), 0);
    EXPECT_EQ(s.find(CString(u"股票"), 1), 3);
    EXPECT_EQ(s.find(CString(u"股票b"), 4), -1);
    EXPECT_EQ(s.find(CString(u"x")), -1);
    EXPECT_EQ(s.reverseFind(u'股'), 3);
    EXPECT_EQ(s.reverseFind(u'x'), -1);
    EXPECT_EQ(s.findOneOf(CString(u"ba")), 2);
    EXPECT_EQ(s.findOneOf(CString()), -1);
    EXPECT_EQ(CString().find(u'a'), -1);
}

TEST(CStringEdits, ReplaceCountsNonOverlappingMatches) {
    CString s(u"aaa");
    EXPECT_EQ(s.replace(CString(u"aa"), CString(u"b")), 1);
    EXPECT_EQ(s, CString(u"ba"));

    // A replacement that contains the pattern must not be scanned again.
    CString grow(u"a-a");
    EXPECT_EQ(grow.replace(CString(u"a"), CString(u"aa")), 2);
    EXPECT_EQ(grow, CString(u"aa-aa"));

    CString gone(u"<br><br>x");
    EXPECT_EQ(gone.replace(CString(u"<br>"), CString()), 2);
    EXPECT_EQ(gone, CString(u"x"));

    CString same(u"abc");
    EXPECT_EQ(same.replace(CString(), CString(u"z")), 0);
    EXPECT_EQ(same.replace(CString(u"q"), CString(u"z")), 0);
    EXPECT_EQ(same, CString(u"abc"));

    CString units(u"a.b.c");
    EXPECT_EQ(units.replace(u'.', u','), 2);
    EXPECT_EQ(units, CString(u"a,b,c"));
    EXPECT_EQ(units.remove(u','), 2);
    EXPECT_EQ(units, CString(u"abc"));
}

TEST(CStringEdits, InsertAndDeleteClampIndex) {
    CString s(u"ac");
    EXPECT_EQ(s.insert(1, CString(u"b")), 3);
    EXPECT_EQ(s.insert(-4, CString(u"<")), 4);
    EXPECT_EQ(s.insert(99, CString(u">")), 5);
    EXPECT_EQ(s, CString(u"<abc>"));
    EXPECT_EQ(s.deleteAt(0), 4);
    EXPECT_EQ(s.deleteAt(2, 99), 2);
    EXPECT_EQ(s, CString(u"ab"));
    EXPECT_EQ(s.deleteAt(5, 1), 2);
    EXPECT_EQ(s.deleteAt(-3, 1), 1);
    EXPECT_EQ(s.deleteAt(0, -1), 1);
    EXPECT_EQ(s, CString(u"b"));
}

TEST(CStringEdits, TrimIncludesIdeographicSpace) {
    CString s(u"\u3000\t 行情 \r\n\u3000");
    EXPECT_EQ(s.trim(), CString(u"行情"));
    CString l(u"  x  ");
    EXPECT_EQ(l.trimLeft(), CString(u"x  "));
    CString r(u"  x  ");
    EXPECT_EQ(r.trimRight(), CString(u"  x"));
    CString blank(u" \u3000 ");
    EXPECT_TRUE(blank.trim().isEmpty());
    CString zeros(u"00120");
    EXPECT_EQ(zeros.trim(u'0'), CString(u"12"));
    CString all(u"000");
    EXPECT_TRUE(all.trimRight(u'0').isEmpty());
}

TEST(CStringEdits, CaseChangeTouchesAsciiOnly) {
    EXPECT_EQ(CString(u"aZé\uFF41ж").upper(), CString(u"AZé\uFF41ж"));
    EXPECT_EQ(CString(u"AzÉ\uFF21Ж").lower(), CString(u"azÉ\uFF21Ж"));
}

TEST(CStringCompare, OrdinalAndNoCase) {
    EXPECT_LT(CString(u"B").compare(CString(u"a")), 0);
    EXPECT_GT(CString(u"ab").compare(CString(u"a")), 0);
    EXPECT_EQ(CString(u"股").compare(CString(u"股")), 0);

    EXPECT_TRUE(CString(u"Stock股票ABC").equalsNoCase(CString(u"sTOCK股票abc")));
    EXPECT_TRUE(CString(u"\uFF21\uFF42").equalsNoCase(CString(u"\uFF41\uFF22")));  // full width
    EXPECT_TRUE(CString(u"ÀÉÎ").equalsNoCase(CString(u"àéî")));
    EXPECT_TRUE(CString(u"ΑΒΓΣ").equalsNoCase(CString(u"αβγσ")));
    EXPECT_TRUE(CString(u"МОСКВА Ё").equalsNoCase(CString(u"москва ё")));
    EXPECT_FALSE(CString(u"股票").equalsNoCase(CString(u"股市")));
    // Full-width letters do not fold onto ASCII, and × is not a letter.
    EXPECT_FALSE(CString(u"\uFF21").equalsNoCase(CString(u"a")));
    EXPECT_FALSE(CString(u"×").equalsNoCase(CString(u"÷")));
    // Folding is to lower case, so '_' sorts before letters.
    EXPECT_LT(CString(u"_").compareNoCase(CString(u"A")), 0);
    EXPECT_LT(CString(u"ab").compareNoCase(CString(u"ABC")), 0);
    EXPECT_EQ(compareNoCase(u"", u""), 0);
}

TEST(CStringNumbers, ToIntSaturates) {
    EXPECT_EQ(CString(u"  42abc").toInt(), 42);
    EXPECT_EQ(CString(u"\u3000-17").toInt(), -17);
    EXPECT_EQ(CString(u"+8").toInt(), 8);
    EXPECT_EQ(CString(u"abc").toInt(), 0);
    EXPECT_EQ(CString(u"-").toInt(), 0);
    EXPECT_EQ(CString(u"2147483647").toInt(), INT_MAX);
    EXPECT_EQ(CString(u"2147483648").toInt(), INT_MAX);
    EXPECT_EQ(CString(u"-2147483648").toInt(), INT_MIN);
    EXPECT_EQ(CString(u"-99999999999999999999999").toInt(), INT_MIN);
    EXPECT_EQ(CString(u"99999999999999999999999").toInt(), INT_MAX);
}

TEST(CStringFormat, IntegersAndFlags) {
    EXPECT_EQ(CString::format("错误号 : %d", -12), CString(u"错误号 : -12"));
    EXPECT_EQ(CString::format("Error Code : %03u", 7u), CString(u"Error Code : 007"));
    EXPECT_EQ(CString::format("%i|%5d|%-5d|%+d|% d", 1, 2, 3, 4, 5),
              CString(u"1|    2|3    |+4| 5"));
    EXPECT_EQ(CString::format("%x %X %08x", 255, 255, 0xbeef), CString(u"ff FF 0000beef"));
    EXPECT_EQ(CString::format("%ld %lu %I64d %lld", 1L, 2UL, 3LL, -4LL), CString(u"1 2 3 -4"));
    EXPECT_EQ(CString::format("%.3d", 5), CString(u"005"));
}

TEST(CStringFormat, SignednessFollowsTheConversionWith32BitInts) {
    EXPECT_EQ(CString::format("%u", -1), CString(u"4294967295"));
    EXPECT_EQ(CString::format("%08X", -2147467259), CString(u"80004005"));
    EXPECT_EQ(CString::format("%d", 4294967295u), CString(u"-1"));
    EXPECT_EQ(CString::format("%llu", -1LL), CString(u"18446744073709551615"));
    EXPECT_EQ(CString::format("%d", 2.9), CString(u"2"));
}

TEST(CStringFormat, TextCharsAndFloats) {
    EXPECT_EQ(CString::format("%s/%s/%s", CString(u"甲"), u"乙", "丙"), CString(u"甲/乙/丙"));
    EXPECT_EQ(CString::format("%-5s|%5s|", "ab", u"cd"), CString(u"ab   |   cd|"));
    EXPECT_EQ(CString::format("%.2s", u"行情数据"), CString(u"行情"));
    EXPECT_EQ(CString::format("%s", static_cast<const char*>(nullptr)), CString());
    EXPECT_EQ(CString::format("%c%c", u'股', 65), CString(u"股A"));
    EXPECT_EQ(CString::format("%.2f", 3.14159), CString(u"3.14"));
    EXPECT_EQ(CString::format("%8.3f|%-8.1f|", -1.5, 2.25), CString(u"  -1.500|2.2     |"));
    EXPECT_EQ(CString::format("%f", 1), CString(u"1.000000"));
    EXPECT_EQ(CString::format("%s", 12), CString(u"12"));
    // Huge magnitudes print every digit without overrunning a buffer.
    EXPECT_EQ(CString::format("%.0f", 1e300).length(), 301);
}

TEST(CStringFormat, PercentMissingAndUnknown) {
    EXPECT_EQ(CString::format("100%%"), CString(u"100%"));
    EXPECT_EQ(CString::format("a%db%sc"), CString(u"abc"));
    EXPECT_EQ(CString::format("%d,%d", 1), CString(u"1,"));
    EXPECT_EQ(CString::format("%d", 1, 2), CString(u"1"));
    EXPECT_EQ(CString::format("%q %d", 3), CString(u"%q 3"));
    EXPECT_EQ(CString::format("end%"), CString(u"end%"));
    EXPECT_EQ(CString::format("end%-0"), CString(u"end%-0"));
    // A width from a broken format is capped rather than allocating without limit.
    EXPECT_LE(CString::format("%999999999999d", 1).length(), 1024);
}

TEST(CStringBasics, ConstructionAndOperators) {
    EXPECT_EQ(CString(u'-', 3), CString(u"---"));
    EXPECT_TRUE(CString(u'-', -1).isEmpty());
    EXPECT_EQ(CString(u"abcdef", 3), CString(u"abc"));
    EXPECT_TRUE(CString(static_cast<const char16_t*>(nullptr)).isEmpty());
    EXPECT_TRUE(CString(static_cast<const char*>(nullptr)).isEmpty());
    EXPECT_EQ(CString("证券"), CString(u"证券"));
    EXPECT_EQ(CString(u"a") + CString(u"b") + u'c', CString(u"abc"));
    EXPECT_EQ(CString("股票").toUtf8(), "股票");
}

}  // namespace
}  // namespace zq
