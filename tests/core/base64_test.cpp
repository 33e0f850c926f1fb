#include "core/base64.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "core/multibyte.h"

namespace zq {
namespace {

CString encodeText(const std::string& bytes) {
    return Base64Codec::encode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

TEST(Base64Codec, EncodesTheRfcVectors) {
    const std::pair<const char*, const char16_t*> vectors[] = {
        {"", u""},
        {"f", u"Zg=="},
        {"fo", u"Zm8="},
        {"foo", u"Zm9v"},
        {"foob", u"Zm9vYg=="},
        {"fooba", u"Zm9vYmE="},
        {"foobar", u"Zm9vYmFy"},
    };
    for (const auto& [plain, coded] : vectors) {
        EXPECT_EQ(encodeText(plain), CString(coded)) << plain;
        EXPECT_EQ(Base64Codec::decode(CString(coded)), std::string(plain)) << plain;
    }
    EXPECT_EQ(encodeText(std::string("\xFF\xFE\x00", 3)), CString(u"//4A"));
}

TEST(Base64Codec, RoundTripsEveryLength) {
    std::mt19937 rng(5);
    for (size_t n = 0; n < 70; ++n) {
        std::string bytes(n, '\0');
        for (auto& b : bytes) b = static_cast<char>(rng());
        const CString text = encodeText(bytes);
        EXPECT_EQ(text.length(), static_cast<int>((n + 2) / 3 * 4));
        EXPECT_EQ(Base64Codec::decode(text), bytes) << n;
    }
}

TEST(Base64Codec, DecodeSkipsWhatIsNotInTheAlphabet) {
    EXPECT_EQ(Base64Codec::decode(u"Zm9v\r\nYmFy"), "foobar");
    EXPECT_EQ(Base64Codec::decode(u"Zm 9v\tYm\nFy"), "foobar");
    EXPECT_EQ(Base64Codec::decode(u"Zm中9v"), "foo");  // a unit above 255
    EXPECT_EQ(Base64Codec::decode(u"!!!!"), "");
}

// Regression: the length came from the character count, so breaks, padding
// or junk made decode read past the text.
TEST(Base64Codec, DecodeLengthComesFromAlphabetCharacters) {
    EXPECT_EQ(Base64Codec::decode(u"A==="), "");
    EXPECT_EQ(Base64Codec::decode(u"\r\n\r\n\r\n\r\n"), "");
    EXPECT_EQ(Base64Codec::decode(u"===="), "");
    // Sixty-four bytes as 76-character lines with CR LF, as mail wraps it.
    std::string bytes(64, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
    const CString flat = encodeText(bytes);
    const CString wrapped = flat.left(76) + u"\r\n" + flat.mid(76) + u"\r\n";
    EXPECT_EQ(Base64Codec::decode(wrapped), bytes);
}

TEST(Base64Codec, DecodeOfTruncatedTextKeepsWholeBytes) {
    EXPECT_EQ(Base64Codec::decode(u"Zm9vYmF"), "fooba");  // 18 bits: two bytes
    EXPECT_EQ(Base64Codec::decode(u"Zm9vYm"), "foob");
    EXPECT_EQ(Base64Codec::decode(u"Zm9vY"), "foo");  // 6 bits make no byte
}

TEST(CodePage, ConvertsUpToTheFirstNul) {
    const std::string gbk("\xD6\xD0\xCE\xC4", 4);
    EXPECT_EQ(multiByteToWide(gbk, kCodePageGbk), CString(u"中文"));
    EXPECT_EQ(wideToMultiByte(CString(u"中文"), kCodePageDefault), gbk);
    EXPECT_EQ(multiByteToWide(std::string("ab\0cd", 5), kCodePageGbk), CString(u"ab"));
    EXPECT_EQ(wideToMultiByte(CString(std::u16string(u"ab\0cd", 5)), kCodePageGbk), "ab");
    // Characters GBK lacks become '?'.
    EXPECT_EQ(wideToMultiByte(CString(u"a\u0E01b"), kCodePageGbk), "a?b");
    EXPECT_EQ(multiByteToWide("\xE4\xB8\xAD", kCodePageUtf8), CString(u"中"));
}

}  // namespace
}  // namespace zq
