#include <gtest/gtest.h>

#include <string>

#include "markup/encoder.h"
#include "platform/cstring.h"

namespace zq {
namespace {

CString encodeDefault(const CString& value) {
    return FieldEncoder::withDefaultKeys(value).encodeValue();
}

CString decode(const CString& text) {
    return FieldEncoder(CString(), CString(), CString(), text).decodeValue();
}

TEST(FieldEncoder, InterleaveIsTwiceAsLongAndCountsPastTheKey) {
    struct Case {
        const char* a;
        const char* b;
        const char* out;
    };
    const Case cases[] = {
        {"abc", "12345678", "a1b2c3"},
        {"abcdefghijkl", "ABCDEFGH", "aAbBcCdDeEfFgGhHi8j9k0l1"},
        {"abcdefghijklmnopqrstuvwxy", "", "a0b1c2d3e4f5g6h7i8j9k0l1m2n3o4p5q6r7s8t9u0v1w2x3y4"},
        {"", "keys", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FieldEncoder::interleave(CString(c.a), CString(c.b)).toUtf8(), c.out) << c.a;
    }
}

// The servers decode these exact texts.
TEST(FieldEncoder, EncodesByteExactlyInCp936) {
    EXPECT_EQ(encodeDefault(u"1").toUtf8(), "MOTTMQ=x");
    EXPECT_EQ(encodeDefault(CString("中")).toUtf8(), "1OtTAQzx");
    EXPECT_EQ(encodeDefault(CString()).toUtf8(), "");
}

TEST(FieldEncoder, RoundTripsWithEitherKeySet) {
    const char* values[] = {"", "7", "12345678", "123456789", "中文abc", "a b&c=d%3D"};
    for (const char* value : values) {
        const CString plain(value);
        const CString encoded = encodeDefault(plain);
        EXPECT_EQ(decode(encoded), plain) << value;
        const CString session = FieldEncoder(CString(), CString(), CString(), plain).encodeValue();
        EXPECT_EQ(decode(session), plain) << value;
        const CString keyed = FieldEncoder(u"47310958", u"dn", u"code", plain).encodeValue();
        EXPECT_EQ(decode(keyed), plain) << value;

        // Base64 characters and counter digits only, twice the inner Base64.
        for (char16_t ch : encoded.view()) {
            const bool base64 = (ch >= u'A' && ch <= u'Z') || (ch >= u'a' && ch <= u'z') ||
                                (ch >= u'0' && ch <= u'9') || ch == u'+' || ch == u'/' ||
                                ch == u'=';
            EXPECT_TRUE(base64) << value;
        }
        const int innerBytes =
            static_cast<int>(FieldEncoder::withDefaultKeys(plain).innerText().toCodePage(0).size());
        EXPECT_EQ(encoded.length(), 2 * 4 * ((innerBytes + 2) / 3)) << value;
    }
}

TEST(FieldEncoder, DecodingTakesWhatThereIsAndNeverMore) {
    const CString encoded = encodeDefault(u"12345678");
    CString escaped = encoded;
    escaped.replace(CString(u"="), CString(u"%3D"));
    EXPECT_EQ(decode(escaped).toUtf8(), "12345678");
    // Only the upper-case escape stands for "=": "%3d" stays three characters.
    CString lower = encoded;
    lower.replace(CString(u"="), CString(u"%3d"));
    EXPECT_NE(decode(lower).toUtf8(), "12345678");

    struct Case {
        const char* text;
        const char* value;
    };
    const Case cases[] = {
        {"abc", ""},                                          // odd length
        {"=x=x", ""},                                         // padding only: no bytes
        {"%3D%3D", ""},                                       // the same escaped
        {"?.!!", ""},                                         // nothing of the alphabet
        {"M", ""},      {"MOTTMQ=x", "1"}, {"AxAxAxAx", ""},  // a zero byte ends the text at once
    };
    for (const Case& c : cases) EXPECT_EQ(decode(CString(c.text)).toUtf8(), c.value) << c.text;
}

TEST(FieldEncoder, CharactersOutsideCp936BecomeQuestionMarks) {
    const std::u16string lone{u'a', char16_t(0xD800), u'b'};
    EXPECT_EQ(decode(encodeDefault(CString(lone))).toUtf8(), "a?b");
    const std::u16string lowFirst{char16_t(0xDC00), u'x'};
    EXPECT_EQ(decode(encodeDefault(CString(lowFirst))).toUtf8(), "?x");
    // A pair is split by the key between its halves; each half is lone then.
    EXPECT_EQ(decode(encodeDefault(CString("😀"))).toUtf8(), "??");
    EXPECT_EQ(decode(encodeDefault(CString("ก"))).toUtf8(), "?");
}

TEST(FieldEncoder, PrefilledValuesDecodeByTheirFlags) {
    const CString encoded = encodeDefault(u"600000");
    EXPECT_EQ(decodeFieldValue(encoded, true, u"false").toUtf8(), "600000");
    // "encrypt" decodes whether or not the page has a form yet.
    EXPECT_EQ(decodeFieldValue(encoded, false, u"TRUE").toUtf8(), "600000");
    EXPECT_EQ(decodeFieldValue(encoded, false, u"false"), encoded);
    EXPECT_EQ(decodeFieldValue(encoded, false, CString()), encoded);
}

}  // namespace
}  // namespace zq
