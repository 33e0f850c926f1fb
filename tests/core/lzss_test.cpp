#include "core/lzss.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tools/zq-testserver/lzss_encoder.h"

namespace zq {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

// The test peer's encoder, whose matches may reach back into the window's
// initial zeros.
Bytes encode(const Bytes& data) {
    return bytesOf(testserver::lzssEncode(std::string(data.begin(), data.end())));
}

// The classic ring decoder, with the whole ring zeroed.
Bytes ringDecode(const Bytes& in) {
    std::vector<uint8_t> ring(4096, 0);
    Bytes out;
    size_t r = LzssDecoder::kRingStart;
    size_t ip = 0;
    unsigned flags = 0;
    for (;;) {
        if (((flags >>= 1) & 256) == 0) {
            if (ip >= in.size()) break;
            flags = in[ip++] | 0xFF00;
        }
        if (flags & 1) {
            if (ip >= in.size()) break;
            out.push_back(ring[r] = in[ip++]);
            r = (r + 1) & 4095;
        } else {
            if (ip + 2 > in.size()) break;
            const size_t pos = in[ip] | (in[ip + 1] & 0xF0) << 4;
            const size_t length = (in[ip + 1] & 0x0F) + 3;
            ip += 2;
            for (size_t k = 0; k < length; ++k) {
                out.push_back(ring[r] = ring[(pos + k) & 4095]);
                r = (r + 1) & 4095;
            }
        }
    }
    return out;
}

// Decodes into a heap buffer of exactly `capacity` bytes, so that ASan sees
// any write past it.
Bytes decode(const Bytes& in, size_t capacity, bool* truncated = nullptr) {
    auto buffer = std::make_unique<uint8_t[]>(capacity);
    const LzssResult result =
        LzssDecoder::decodeBuffer(in.data(), in.size(), buffer.get(), capacity);
    if (truncated) *truncated = result.truncated;
    return Bytes(buffer.get(), buffer.get() + result.length);
}

Bytes pageText(size_t size) {
    static const char* const kWords[] = {
        "<tr>",  "<td class=\"q\">", "600036", "招商银行",          "12.35",
        "</td>", "+0.21%",           "\r\n",   "<a href=\"x?code=", "\">"};
    std::mt19937 rng(7);
    std::string text;
    while (text.size() < size) text += kWords[rng() % 10];
    text.resize(size);
    return bytesOf(text);
}

TEST(LzssDecoder, SmallStreams) {
    EXPECT_EQ(decode({}, 16), Bytes{});
    EXPECT_EQ(decode({0xFF, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'}, 16), bytesOf("abcdefgh"));
    // Position 0xF00 lies in the zeroed part of the window.
    EXPECT_EQ(decode({0x00, 0x00, 0xF0}, 16), Bytes(3, 0));
    // Literal 'A' at ring 4,078, then 18 bytes from 4,078: an overlapping copy.
    EXPECT_EQ(decode({0x01, 'A', 0xEE, 0xFF}, 32), Bytes(19, 'A'));
    // A pair reaching back past the output's start sees zeros first.
    EXPECT_EQ(decode({0x03, 'A', 'B', 0xEC, 0xF1}, 16), Bytes({'A', 'B', 0, 0, 'A', 'B'}));
}

TEST(LzssDecoder, InputCutShortKeepsWhatCameBefore) {
    EXPECT_EQ(decode({0x01, 'A', 0xEE}, 32), bytesOf("A"));  // half a pair
    EXPECT_EQ(decode({0x03, 'A'}, 32), bytesOf("A"));        // literal missing
    EXPECT_EQ(decode({0xFF, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0x00}, 32),
              bytesOf("abcdefgh"));
}

TEST(LzssDecoder, RoundTripsThroughTheWindow) {
    Bytes random(3000);
    std::mt19937 rng(1);
    for (auto& b : random) b = static_cast<uint8_t>(rng() % 6);  // many short matches
    Bytes longRun(5000, 'x');
    longRun[2500] = 'y';
    for (const Bytes& data : {pageText(6000), random, longRun, Bytes(40, 0)}) {
        const Bytes packed = encode(data);
        bool truncated = true;
        EXPECT_EQ(decode(packed, data.size(), &truncated), data);
        EXPECT_FALSE(truncated);
    }
}

TEST(LzssDecoder, ArbitraryBytesDecodeAsTheRingDecoderDoes) {
    std::mt19937 rng(3);
    for (int round = 0; round < 300; ++round) {
        Bytes in(rng() % 600);
        for (auto& b : in) b = static_cast<uint8_t>(rng());
        const Bytes expected = ringDecode(in);
        bool truncated = true;
        ASSERT_EQ(decode(in, expected.size(), &truncated), expected) << "round " << round;
        EXPECT_FALSE(truncated);
    }
}

// Regression: the output was written up to the expansion, past a smaller buffer.
TEST(LzssDecoder, CapacityBelowTheExpansionCutsAndSaysSo) {
    const Bytes data = pageText(700);
    const Bytes packed = encode(data);
    for (size_t capacity = 0; capacity <= data.size() + 1; ++capacity) {
        bool truncated = false;
        const Bytes out = decode(packed, capacity, &truncated);
        const size_t expected = std::min(capacity, data.size());
        ASSERT_EQ(out, Bytes(data.begin(), data.begin() + expected)) << "capacity " << capacity;
        EXPECT_EQ(truncated, capacity < data.size()) << "capacity " << capacity;
    }
    // Null output with no room: nothing is written, the cut is reported.
    EXPECT_TRUE(LzssDecoder::decodeBuffer(packed.data(), packed.size(), nullptr, 0).truncated);
    EXPECT_FALSE(LzssDecoder::decodeBuffer(nullptr, 0, nullptr, 0).truncated);
}

TEST(LzssDecoder, DecodedLengthSaysWhatDecodingGives) {
    std::mt19937 rng(5);
    for (int round = 0; round < 300; ++round) {
        Bytes in(rng() % 400);
        for (auto& b : in) b = static_cast<uint8_t>(rng());
        const size_t whole = ringDecode(in).size();
        for (size_t capacity : {size_t{0}, whole / 2, whole - (whole > 0), whole, whole + 1}) {
            bool truncated = false;
            const size_t length = decode(in, capacity, &truncated).size();
            const LzssResult measured = LzssDecoder::decodedLength(in.data(), in.size(), capacity);
            ASSERT_EQ(measured.length, length) << "round " << round << " capacity " << capacity;
            ASSERT_EQ(measured.truncated, truncated) << "round " << round;
        }
    }
}

TEST(LzssDecoder, FullBufferWithOnlyAnEmptyTailIsNotACut) {
    // Eight literals fill the buffer; the trailing flag byte announces nothing.
    bool truncated = true;
    EXPECT_EQ(decode({0xFF, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0xFF}, 8, &truncated),
              bytesOf("abcdefgh"));
    EXPECT_FALSE(truncated);
}

}  // namespace
}  // namespace zq
