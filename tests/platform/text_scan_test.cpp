#include "platform/text_scan.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/cstring.h"

namespace zq {
namespace {

// Every length, start and place of the unit around the eight-unit steps:
// the answer is the one std::u16string_view::find gives.
TEST(TextScan, FindUnitAgreesWithFindAtEveryPlace) {
    for (size_t length = 0; length <= 40; ++length) {
        for (size_t at = 0; at <= length; ++at) {  // at == length: absent
            std::u16string text(length, u'x');
            if (at < length) text[at] = u'<';
            const std::u16string_view view = text;
            for (size_t from = 0; from <= length + 1; ++from) {
                EXPECT_EQ(findUnit(view, u'<', from), view.find(u'<', from))
                    << "length " << length << " at " << at << " from " << from;
            }
        }
    }
}

TEST(TextScan, FindUnitsAgreesWithFind) {
    struct Case {
        std::u16string text;
        std::u16string what;
        size_t from;
    };
    const Case cases[] = {
        {u"a&nbsp;b", u"&nbsp;", 0},   {u"&nbs", u"&nbsp;", 0},
        {u"&&nbsp;", u"&nbsp;", 0},    {u"x&nbsp;", u"&nbsp;", 2},
        {u"]]]>", u"]]>", 0},          {u"abc", u"abc", 0},
        {u"abc", u"abcd", 0},          {u"", u"a", 0},
        {u"aaaaaaaaaaaab", u"ab", 3},  {u"-->", u"-->", 1},
        {u"0123456789-->", u"-->", 9},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(findUnits(c.text, c.what, c.from),
                  std::u16string_view(c.text).find(c.what, c.from))
            << CString(c.text).toUtf8();
    }
}

// The decoder writes through a buffer of a few hundred units: texts that
// cross its edges with ASCII, Chinese and four-byte characters in every
// position come back whole.
TEST(Utf8Decoding, TextsCrossingBufferEdgesComeBackWhole) {
    const std::u16string pieces[] = {u"a", u"中", u"\xFF0C", u"\xD83D\xDE00", u"é", u"<td>"};
    for (size_t total : {0u, 1u, 15u, 16u, 17u, 511u, 512u, 513u, 1030u, 4099u}) {
        for (size_t shift = 0; shift < 6; ++shift) {
            std::u16string text;
            for (size_t i = 0; text.size() < total; ++i) text += pieces[(i * 7 + shift) % 6];
            EXPECT_EQ(utf8ToUtf16(utf16ToUtf8(text)), text) << total << " " << shift;
        }
    }
}

}  // namespace
}  // namespace zq
