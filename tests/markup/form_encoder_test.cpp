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

TEST(FieldEncoder, InterleaveCountsPastTheKey) {
    EXPECT_EQ(FieldEncoder::interleave(u"abc", u"12345678").toUtf8(), "a1b2c3");
    EXPECT_EQ(FieldEncoder::interleave(u"abcdefghijkl", u"ABCDEFGH").toUtf8(),
              "aAbBcCdDeEfFgGhHi8j9k0l1");
    EXPECT_EQ(FieldEncoder::interleave(u"abcdefghijk", CString()).toUtf8(),
              "a0b1c2d3e4f5g6h7i8j9k0");
}

// The servers decode these exact texts.
TEST(FieldEncoder, EncodesByteExactlyInCp936) {
    EXPECT_EQ(encodeDefault(u"1").toUtf8(), "MOTTMQ=x");
    EXPECT_EQ(encodeDefault(CString("中")).toUtf8(), "1OtTAQzx");
    EXPECT_EQ(encodeDefault(CString()).toUtf8(), "");
}

TEST(FieldEncoder, RoundTripsWithEitherKeySet) {
    for (const char* value : {"", "7", "12345678", "123456789", "中文abc", "a b&c=d%3D"}) {
        const CString plain(value);
        EXPECT_EQ(decode(encodeDefault(plain)), plain) << value;
        EXPECT_EQ(decode(FieldEncoder(CString(), CString(), CString(), plain).encodeValue()),
                  plain);
        EXPECT_EQ(decode(FieldEncoder(u"47310958", u"dn", u"ec", plain).encodeValue()), plain);
    }
}

TEST(FieldEncoder, DecodingTakesWhatThereIsAndNeverMore) {
    struct Case {
        const char* text;
        const char* value;
    };
    const Case cases[] = {
        {"MOTTMQ=x", "1"}, {"MOTTMQ%3Dx", "1"}, {"MOTTMQ%3dx", "1\x1D"},  // only "%3D" is "="
        {"MOTTMQ=", ""},   {"=x=x", ""},        {"%3D%3D", ""},           // odd; padding only
        {"?.!!", ""},      {"AxAxAxAx", ""},                              // a zero byte ends it
    };
    for (const Case& c : cases) EXPECT_EQ(decode(CString(c.text)).toUtf8(), c.value) << c.text;
}

TEST(FieldEncoder, CharactersOutsideCp936BecomeQuestionMarks) {
    EXPECT_EQ(decode(encodeDefault(CString(std::u16string{u'a', 0xD800, u'b'}))).toUtf8(), "a?b");
    EXPECT_EQ(decode(encodeDefault(CString(std::u16string{0xDC00, u'x'}))).toUtf8(), "?x");
    // The key splits a pair; each half is lone then.
    EXPECT_EQ(decode(encodeDefault(CString("😀"))).toUtf8(), "??");
    EXPECT_EQ(decode(encodeDefault(CString("ก"))).toUtf8(), "?");
}

TEST(FieldEncoder, PrefilledValuesDecodeByTheirFlags) {
    const CString encoded = encodeDefault(u"600000");
    EXPECT_EQ(decodeFieldValue(encoded, true, u"false").toUtf8(), "600000");
    // "encrypt" decodes whether or not the page has a form yet.
    EXPECT_EQ(decodeFieldValue(encoded, false, u"TRUE").toUtf8(), "600000");
    EXPECT_EQ(decodeFieldValue(encoded, false, u"false"), encoded);
}

}  // namespace
}  // namespace zq
