#include "core/string_utils.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/files.h"

namespace zq {
namespace {

StringArray A(std::initializer_list<const char*> items) {
    StringArray out;
    for (const char* s : items) out.emplace_back(s);
    return out;
}

TEST(Split, KeepsEmptyPiecesAndTrimsOnlyWhereAsked) {
    EXPECT_EQ(splitString("a,,b", u','), A({"a", "", "b"}));
    EXPECT_EQ(splitString("", u','), A({""}));
    EXPECT_EQ(splitString(",a,", u','), A({"", "a", ""}));

    EXPECT_EQ(splitByString(",", " a , b ,"), A({"a", "b", ""}));
    EXPECT_TRUE(splitByString(",", "").empty());
    EXPECT_EQ(splitByString("|", "x"), A({"x"}));

    EXPECT_EQ(splitOutsideParens(u',', "go(a,b),c"), A({"go(a,b)", "c"}));
    EXPECT_EQ(splitOutsideParens(u',', ""), A({""}));
    EXPECT_EQ(splitOutsideParens(u',', "f(g(1,2),3), x"), A({"f(g(1,2),3)", " x"}));
}

// Every unit 7 px wide, like the fixed test font.
int fixedWidth(char16_t) { return 7; }

TEST(Wrap, FitsOnOneLineOrCutsAtTheLimit) {
    CString fits = "abc";
    EXPECT_EQ(wrapText(fits, fixedWidth, 100, 100, 0), A({"abc"}));

    // 10 units of 7 px into 35 px: a line ends once its width reaches the limit.
    CString longText = "abcdefghij";
    EXPECT_EQ(wrapText(longText, fixedWidth, 35, 35, 0), A({"abcd", "efgh", "ij"}));

    CString empty;
    EXPECT_TRUE(wrapText(empty, fixedWidth, 10, 10, 0).empty());

    CString noWidth = "  a\tb  ";
    EXPECT_EQ(wrapText(noWidth, fixedWidth, 0, 0, 2), A({"  a\tb  "}));
}

TEST(Wrap, LineFeedsAlwaysBreakAndCollapse) {
    // Regression: a line feed used to be kept inside a single line when the
    // whole text fitted.
    CString text = "ab\ncd";
    EXPECT_EQ(wrapText(text, fixedWidth, 1000, 1000, 0), A({"ab", "cd"}));

    CString blanks = "ab\n\n\n  cd";
    EXPECT_EQ(wrapText(blanks, fixedWidth, 1000, 1000, 0), A({"ab", "cd"}));
    EXPECT_EQ(blanks, CString("ab\ncd"));  // the caller keeps the normalised text
}

TEST(Wrap, IndentPrefixesEveryLineAfterAFeed) {
    CString text = "  ab\ncd\nef";
    StringArray lines = wrapText(text, fixedWidth, 1000, 1000, 2);
    EXPECT_EQ(lines, A({"    ab", "    cd", "    ef"}));
}

// With an indent every line feed cost a whole pad, blank lines included:
// 100 KB of line feeds under "text-indent: 4096" needed about 1.6 GB.
TEST(Wrap, IndentedTextStaysWithinASmallMultipleOfItsLength) {
    CString blankLines = "ab\n \n\n\ncd";
    EXPECT_EQ(wrapText(blankLines, fixedWidth, 1000, 1000, 1), A({"  ab", "  cd"}));
    const struct {
        std::u16string text;
        int indent;
    } cases[] = {
        {std::u16string(100000, u'\n'), 4096},
        {std::u16string(100000, u'\n') + u"x", 4096},
        {[] {
             std::u16string s;
             for (int i = 0; i < 50000; ++i) s += u"x\n";
             return s;
         }(),
         4096},
    };
    for (const auto& c : cases) {
        CString text(c.text);
        normalizeWhitespace(text, c.indent);
        EXPECT_LE(static_cast<size_t>(text.length()), 10 * c.text.size() + 2 * kMaxWrapIndent);
    }
}

// A line that filled up right before a surrogate pair was cut between its
// two halves.
TEST(Wrap, NeverCutsASurrogatePair) {
    const std::u16string face = u"\U0001F600";
    CString text(u"abc" + face + face);
    // 3 + 2 units of 7 px: the line is full in the middle of the first pair.
    StringArray lines = wrapText(text, fixedWidth, 28, 28, 0);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], CString(u"abc"));
    EXPECT_EQ(lines[1], CString(face));
    EXPECT_EQ(lines[2], CString(face));
}

TEST(Wrap, TooWideCharacterStopsCuttingAndKeepsTheRest) {
    auto wideW = [](char16_t c) { return c == u'W' ? 50 : 7; };
    CString text = "abcdefW\nxyz";
    StringArray lines = wrapText(text, wideW, 14, 28, 0);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), CString("efW\nxyz"));
}

TEST(CharacterClasses, DigitsAndPrefixes) {
    EXPECT_TRUE(isHexDigits("09afAF"));
    EXPECT_FALSE(isHexDigits(""));
    EXPECT_FALSE(isHexDigits("0g"));
    EXPECT_TRUE(isDecimalDigits("0123"));
    EXPECT_FALSE(isDecimalDigits("+1"));
    EXPECT_TRUE(isPlusDigits("+"));
    EXPECT_TRUE(isPlusDigits("+86"));
    EXPECT_FALSE(isPlusDigits(""));
    EXPECT_FALSE(isPlusDigits("8+6"));

    EXPECT_TRUE(startsWithNoCase("HTTP://x", "http://"));
    EXPECT_TRUE(startsWithNoCase("abc", ""));
    EXPECT_FALSE(startsWithNoCase("ab", "abc"));
    // Regression: units that share their low byte with an ASCII letter
    // ('a' + 0x100) must not match it.
    EXPECT_FALSE(startsWithNoCase(CString(u"\u0161bc"), "abc"));

    EXPECT_TRUE(matchesKeyName("FW", "fw", "forward"));
    EXPECT_TRUE(matchesKeyName("Forward", "fw", "forward"));
    EXPECT_FALSE(matchesKeyName("for", "fw", "forward"));

    EXPECT_EQ(extractAlnumRun("代码600036股票"), CString("600036"));
    EXPECT_EQ(extractAlnumRun("中文"), CString());
}

TEST(Colors, NamesAndHexBecomeColourWords) {
    EXPECT_EQ(colorFromName("orange"), CString("ffa500"));
    EXPECT_EQ(colorFromName("Orange"), CString());
    EXPECT_EQ(colorFromName(""), CString());
    EXPECT_EQ(colorFromName("nosuch"), CString());
    EXPECT_EQ(colorFromName("nosuch"), CString());  // a miss leaves nothing behind

    EXPECT_EQ(parseHex("ff0000"), 0x0000FFu);  // red in the low byte
    EXPECT_EQ(parseHex("123456789"), 0x563412u);
    EXPECT_EQ(parseHex(""), 0u);

    Color c = 7;
    CString text = "#00ff00";
    EXPECT_TRUE(parseColor(text, c));
    EXPECT_EQ(c, 0x00FF00u);
    text = "navy";
    EXPECT_TRUE(parseColor(text, c));
    EXPECT_EQ(c, 0x800000u);
    c = 7;
    text = "00ff00";  // hex without '#' is not a colour
    EXPECT_FALSE(parseColor(text, c));
    text = "Red";
    EXPECT_FALSE(parseColor(text, c));
    text = "#zz";
    EXPECT_FALSE(parseColor(text, c));
    EXPECT_EQ(c, 7u);
}

TEST(Url, EncodesAsFormParameters) {
    EXPECT_EQ(urlEncode("a b"), CString("a+b"));
    EXPECT_EQ(urlEncode("\""), CString("%22"));
    EXPECT_EQ(urlEncode("-_.!~*'()"), CString("-_.!~*'()"));
    EXPECT_EQ(urlEncode(CString(u"\u4E2D")), CString("%E4%B8%AD"));
    EXPECT_EQ(urlEncode(CString(u"\u00E9")), CString("%C3%A9"));
    EXPECT_EQ(urlEncode("&="), CString("%26%3D"));
    // A surrogate pair is one 4-byte sequence; a lone surrogate stays 3 bytes.
    EXPECT_EQ(urlEncode(CString(u"\U0001F600")), CString("%F0%9F%98%80"));
    EXPECT_EQ(urlEncode(CString(u"\xD83D")), CString("%ED%A0%BD"));
}

TEST(Url, SetParamReplacesByWholeName) {
    EXPECT_EQ(setUrlParam("http://h/p", "a", "1"), CString("http://h/p?a=1"));
    EXPECT_EQ(setUrlParam("http://h/p?", "a", "1"), CString("http://h/p?a=1"));
    EXPECT_EQ(setUrlParam("http://h/p?x=1&a=2&y=3#top", "a", "9"),
              CString("http://h/p?x=1&a=9&y=3#top"));
    EXPECT_EQ(setUrlParam("http://h/p?x=1", "a", "1"), CString("http://h/p?x=1&a=1"));
    // Regression: "id" must not match inside "pageid".
    EXPECT_EQ(setUrlParam("http://h/p?pageid=5", "id", "7"), CString("http://h/p?pageid=5&id=7"));
    EXPECT_EQ(setUrlParam("http://h/p?a=1", "a", ""), CString("http://h/p?a="));
}

TEST(Url, KeepFragmentSetsAndKeepsTheFragmentLast) {
    EXPECT_EQ(setUrlParamKeepFragment("", "a", "1"), CString());
    EXPECT_EQ(setUrlParamKeepFragment("p", "", "1"), CString("p"));
    EXPECT_EQ(setUrlParamKeepFragment("p#f", "a", "1"), CString("p?a=1#f"));
    EXPECT_EQ(setUrlParamKeepFragment("p?a=0#f", "a", "1"), CString("p?a=1#f"));
    EXPECT_EQ(setUrlParamKeepFragment("p?b=2", "a", "1"), CString("p?b=2&a=1"));
}

TEST(Hosts, ParseListsAndFindByEquality) {
    HostRecord r;
    ASSERT_TRUE(r.parse("10.0.0.1:80:8001:main:x:y"));
    EXPECT_EQ(r.address, CString("10.0.0.1"));
    EXPECT_EQ(r.httpPort, CString("80"));
    EXPECT_EQ(r.socketPort, CString("8001"));
    EXPECT_EQ(r.name, CString("main"));
    EXPECT_EQ(r.rest, CString("x:y"));
    HostRecord none;
    EXPECT_FALSE(none.parse("no-colon"));

    std::vector<HostRecord> hosts;
    EXPECT_FALSE(parseHostList("", hosts));
    EXPECT_TRUE(parseHostList("a:80:1:one:,b:80:2:two:,junk", hosts));
    ASSERT_EQ(hosts.size(), 2u);
    EXPECT_EQ(hosts[1].label, CString("主站( two )"));
    EXPECT_EQ(hosts[1].speedResult, -1);

    HostRecord probe;
    probe.parse("A:80:9999:ONE:");  // socket port and case do not matter
    EXPECT_EQ(findHostIndex(hosts, probe), 0);
    hosts.push_back(hosts[0]);
    EXPECT_EQ(findHostIndex(hosts, probe), 2);  // the last equal record
    probe.httpPort = "81";
    EXPECT_EQ(findHostIndex(hosts, probe), -1);
}

// Regression: device paths were created at the host's root and plain names
// in the working folder.
TEST(Directories, CreatesInTheDeviceFolderAndConfines) {
    const std::filesystem::path base = ::testing::TempDir() + "zq-mkdirs";
    DeviceFiles device(base);
    EXPECT_FALSE(makeDirectories(CString(u"\\UserData\\x")));  // no device: nothing is created
    CurrentDeviceFiles current(device);
    EXPECT_TRUE(makeDirectories(CString(u"\\UserData\\x")));
    EXPECT_TRUE(std::filesystem::is_directory(base / "UserData" / "x"));
    EXPECT_FALSE(std::filesystem::exists("/UserData"));
    EXPECT_TRUE(makeDirectories(CString(u"\\UserData\\x")));  // an existing folder is success
    // Regression: a bare name made a folder below the device root.
    EXPECT_TRUE(makeDirectories(CString(u"zq-plain-name")));
    EXPECT_FALSE(std::filesystem::exists(base / "zq-plain-name"));
    EXPECT_FALSE(std::filesystem::exists("zq-plain-name"));
    EXPECT_FALSE(makeDirectories("../escape", PathConfinement::Confined));
    EXPECT_FALSE(makeDirectories("/abs", PathConfinement::Confined));
    EXPECT_FALSE(makeDirectories("a\\..\\..\\b", PathConfinement::Confined));
    std::error_code ec;
    std::filesystem::remove_all(base, ec);
}

}  // namespace
}  // namespace zq
