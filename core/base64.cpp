#include "core/base64.h"

#include <array>

namespace zq {

namespace {

constexpr char16_t kAlphabet[] =
    u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr uint8_t kInvalid = 255;

constexpr std::array<uint8_t, 256> makeDecodeTable() {
    std::array<uint8_t, 256> table{};
    for (auto& v : table) v = kInvalid;
    for (uint8_t i = 0; i < 64; ++i) table[kAlphabet[i]] = i;
    return table;
}

constexpr std::array<uint8_t, 256> kDecodeTable = makeDecodeTable();

}  // namespace

CString Base64Codec::encode(const uint8_t* bytes, size_t count) {
    std::u16string text;
    text.reserve((count + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= count; i += 3) {
        const uint32_t v = bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2];
        text += kAlphabet[v >> 18];
        text += kAlphabet[(v >> 12) & 63];
        text += kAlphabet[(v >> 6) & 63];
        text += kAlphabet[v & 63];
    }
    if (count - i == 1) {
        const uint32_t v = bytes[i] << 16;
        text += kAlphabet[v >> 18];
        text += kAlphabet[(v >> 12) & 63];
        text += u"==";
    } else if (count - i == 2) {
        const uint32_t v = bytes[i] << 16 | bytes[i + 1] << 8;
        text += kAlphabet[v >> 18];
        text += kAlphabet[(v >> 12) & 63];
        text += kAlphabet[(v >> 6) & 63];
        text += u'=';
    }
    return CString(std::move(text));
}

std::string Base64Codec::decode(const CString& text) {
    std::string bytes;
    bytes.reserve(static_cast<size_t>(text.length()) / 4 * 3 + 2);
    uint32_t bits = 0;
    int bitCount = 0;
    for (char16_t ch : text.view()) {
        const uint8_t value = ch < 256 ? kDecodeTable[ch] : kInvalid;
        if (value == kInvalid) continue;
        bits = (bits << 6 | value) & 0xFFFFFF;
        bitCount += 6;
        if (bitCount >= 8) {
            bitCount -= 8;
            bytes += static_cast<char>((bits >> bitCount) & 0xFF);
        }
    }
    return bytes;
}

}  // namespace zq
