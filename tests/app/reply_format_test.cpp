// Packed replies unpack into buffers of their own length: the result must be
// what unpacking into the whole room the head allows gives, at every factor.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "app/reply_handler.h"
#include "tools/zq-testserver/lzss_encoder.h"

namespace zq {
namespace {

std::string u32le(uint32_t v) {
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return out;
}

std::string zlibPack(const std::string& data) {
    uLongf size = compressBound(data.size());
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &size,
             reinterpret_cast<const Bytef*>(data.data()), data.size());
    out.resize(size);
    return out;
}

// Markup-like text that packs a few times smaller, so that the factors
// below fall on both sides of the unpacked size.
std::string pageText(size_t size, unsigned seed) {
    static const char* const kWords[] = {"<tr>", "<td>", "600036", "招商银行", "12.35", "</td>",
                                         "+0.21%", "\r\n", "<a href=\"q?c=", "\">"};
    std::mt19937 rng(seed);
    std::string text;
    while (text.size() < size) text += kWords[rng() % 10];
    text.resize(size);
    return text;
}

std::span<const uint8_t> bytes(const std::string& s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

// What the reply holds when unpacked into the whole room (the old way).
std::optional<std::string> unpackedWhole(uint8_t method, uint8_t factor, const std::string& body) {
    std::vector<uint8_t> room(replyCapacity(factor, body.size()));
    size_t length = method == 1 ? unpackBlock(bytes(body), room.data(), room.size())
                                : uncompressBlock(bytes(body), room.data(), room.size());
    if (length < 4) return std::nullopt;
    return std::string(room.begin(), room.begin() + length);
}

TEST(ReplyUnpacking, ExactBuffersGiveWhatTheWholeRoomGives) {
    int fitted = 0;
    int refused = 0;
    for (uint8_t method : {uint8_t{1}, uint8_t{2}}) {
        for (size_t size : {size_t{0}, size_t{40}, size_t{3000}, size_t{70000}}) {
            const std::string text = pageText(size, static_cast<unsigned>(size));
            const std::string payload = u32le(static_cast<uint32_t>(text.size())) + text +
                                        u32le(3) + "doc";
            const std::string body = method == 1 ? "slh!" + testserver::lzssEncode(payload)
                                                 : zlibPack(payload);
            for (uint8_t factor = 1; factor <= 12; ++factor) {
                std::string m(10, '\0');
                m[0] = 7;  // a data reply, which may carry a second document
                m[5] = 2;
                m[6] = static_cast<char>(method);
                m[7] = static_cast<char>(factor);
                m += body;
                const DecodedReply reply = decodeReply(bytes(m));
                const std::string name = "method " + std::to_string(method) + " size " +
                                         std::to_string(size) + " factor " +
                                         std::to_string(factor);
                if (unpackedWhole(method, factor, body)) {
                    ++fitted;
                    EXPECT_EQ(reply.status, ReplyStatus::Ok) << name;
                    EXPECT_EQ(reply.text, text) << name;
                    EXPECT_EQ(reply.secondDocument, std::optional<std::string>("doc")) << name;
                } else {
                    ++refused;
                    EXPECT_EQ(reply.status, ReplyStatus::NoPayload) << name;
                }
            }
        }
    }
    // Both sides of the room were seen.
    EXPECT_GT(fitted, 20);
    EXPECT_GT(refused, 5);
}

TEST(ReplyUnpacking, PayloadsAroundTheFourLengthBytes) {
    struct Case {
        const char* name;
        std::string payload;
        ReplyStatus status;
    };
    const Case cases[] = {
        {"two bytes", "ab", ReplyStatus::NoPayload},
        {"the length alone", u32le(0), ReplyStatus::Ok},
        {"length past the end", u32le(5) + "abcd", ReplyStatus::BadTextLength},
        {"one byte of text", u32le(1) + "a", ReplyStatus::Ok},
    };
    for (const Case& c : cases) {
        for (uint8_t method : {uint8_t{1}, uint8_t{2}}) {
            std::string m(10, '\0');
            m[0] = 1;
            m[6] = static_cast<char>(method);
            m[7] = 10;
            m += method == 1 ? "slh!" + testserver::lzssEncode(c.payload) : zlibPack(c.payload);
            const DecodedReply reply = decodeReply(bytes(m));
            EXPECT_EQ(reply.status, c.status) << c.name << " method " << int{method};
            if (c.status == ReplyStatus::Ok) {
                EXPECT_EQ(reply.text, c.payload.substr(4)) << c.name;
            }
        }
    }
}

}  // namespace
}  // namespace zq
