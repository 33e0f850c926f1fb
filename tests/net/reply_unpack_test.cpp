// The reply head and its bodies (stored, "slh!" LZSS, zlib). Packed replies
// unpack into buffers of their own length: the result must be what unpacking
// into the whole room the head allows gives, at every factor.
#include "net/reply_unpack.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "tests/support/reply_bytes.h"
#include "tools/zq-testserver/lzss_encoder.h"
#include "tools/zq-testserver/reply_message.h"

namespace zq {
namespace {

using test::bytes;
using test::Head;
using test::message;
using test::payload;
using test::u32le;

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
    static const char* const kWords[] = {"<tr>",  "<td>",   "600036", "招商银行",       "12.35",
                                         "</td>", "+0.21%", "\r\n",   "<a href=\"q?c=", "\">"};
    std::mt19937 rng(seed);
    std::string text;
    while (text.size() < size) text += kWords[rng() % 10];
    text.resize(size);
    return text;
}

// What the reply holds when unpacked into the whole room (the old way).
std::optional<std::string> unpackedWhole(uint8_t method, uint8_t factor, const std::string& body) {
    std::vector<uint8_t> room(replyCapacity(factor, body.size()));
    size_t length = method == 1 ? unpackBlock(bytes(body), room.data(), room.size())
                                : uncompressBlock(bytes(body), room.data(), room.size());
    if (length < 4) return std::nullopt;
    return std::string(room.begin(), room.begin() + length);
}

TEST(ReplyHead, FieldsKindsAndCapacity) {
    Head h;
    h.kind = 7;
    h.id = -2;
    h.argument = 300;
    h.secondKind = 3;
    h.method = 2;
    h.factor = 0;
    h.listener = 5;
    std::optional<ReplyHead> head = readReplyHead(bytes(message(h, "abcd")));
    ASSERT_TRUE(head);
    EXPECT_EQ(head->requestId, -2);
    EXPECT_EQ(head->documentArgument, 300);
    EXPECT_EQ(head->listenerIndex, 5);
    EXPECT_TRUE(head->mayCarrySecondDocument());
    EXPECT_EQ(head->packMethod(), PackMethod::Zlib);
    EXPECT_FALSE(readReplyHead(bytes(std::string(13, '\1'))));

    const std::pair<uint8_t, ReplyClass> kinds[] = {
        {0, ReplyClass::Ignored}, {1, ReplyClass::Page},    {2, ReplyClass::Page},
        {3, ReplyClass::Data},    {4, ReplyClass::Ignored}, {6, ReplyClass::PageShowNow},
        {7, ReplyClass::Data},    {52, ReplyClass::Data},   {53, ReplyClass::Ignored}};
    for (auto [kind, cls] : kinds) {
        ReplyHead k;
        k.kind = kind;
        EXPECT_EQ(k.replyClass(), cls) << int(kind);
    }

    EXPECT_EQ(replyCapacity(0, 100), 1000u);
    EXPECT_EQ(replyCapacity(255, 100), 1000u);
    EXPECT_EQ(replyCapacity(254, 100), 25400u);
    EXPECT_EQ(replyCapacity(254, kMaxReplyPayload), kMaxReplyPayload);  // capped, no overflow
}

TEST(ReplyDecoding, EachInputGivesItsStatusAndNeverReadsPastThePayload) {
    const std::string page = "<zqml><body/></zqml>";
    const std::string lzssBody = "slh!" + testserver::lzssEncode(payload(page));
    const std::string big(4000, 'x');
    struct Case {
        const char* name;
        Head head;
        std::string body;
        ReplyStatus status;
        std::string text;
    };
    Head stored;
    Head lzss;
    lzss.method = 1;
    Head lzssTight = lzss;
    lzssTight.factor = 1;  // 4000 bytes never fit 1 x the packed size
    Head zlib;
    zlib.method = 2;
    Head zlibTight = zlib;
    zlibTight.factor = 1;
    const Case cases[] = {
        {"short", stored, "abc", ReplyStatus::Short, ""},
        {"stored, 5 bytes, L=1", stored, u32le(1) + "Z", ReplyStatus::Ok, "Z"},
        {"stored, empty text", stored, u32le(0), ReplyStatus::Ok, ""},
        {"stored, L past end", stored, u32le(2) + "Z", ReplyStatus::BadTextLength, ""},
        {"stored, L huge", stored, u32le(0xFFFFFFFF) + "Z", ReplyStatus::BadTextLength, ""},
        {"lzss", lzss, lzssBody, ReplyStatus::Ok, page},
        {"lzss without slh!", lzss, "slx!" + lzssBody.substr(4), ReplyStatus::NoPayload, ""},
        {"lzss over capacity", lzssTight, "slh!" + testserver::lzssEncode(payload(big)),
         ReplyStatus::NoPayload, ""},
        {"lzss under 4 bytes", lzss, "slh!" + testserver::lzssEncode("ab"), ReplyStatus::NoPayload,
         ""},
        {"zlib", zlib, zlibPack(payload(page)), ReplyStatus::Ok, page},
        {"zlib over capacity", zlibTight, zlibPack(payload(big)), ReplyStatus::NoPayload, ""},
        {"zlib garbage", zlib, "not a zlib stream", ReplyStatus::NoPayload, ""},
        {"zlib cut short", zlib, zlibPack(payload(page)).substr(0, 12), ReplyStatus::NoPayload, ""},
        {"unknown method is stored", Head{1, 0, 0, 0, 9, 10, 0}, payload("ok"), ReplyStatus::Ok,
         "ok"},
    };
    for (const Case& c : cases) {
        const std::string m = message(c.head, c.body);
        DecodedReply reply = decodeReply(bytes(m));
        EXPECT_EQ(reply.status, c.status) << c.name;
        EXPECT_EQ(reply.text, c.text) << c.name;
        EXPECT_FALSE(reply.secondDocument) << c.name;
    }
}

TEST(ReplyDecoding, SecondDocumentOnlyWhenAllowedAndWhole) {
    struct Case {
        const char* name;
        uint8_t secondKind;
        std::string tail;
        std::optional<std::string> document;
    };
    const Case cases[] = {
        {"kind 2", 2, u32le(3) + "doc", std::string("doc")},
        {"kind 3, empty", 3, u32le(0), std::string()},
        {"kind 0 ignores it", 0, u32le(3) + "doc", std::nullopt},
        {"M past the end", 2, u32le(4) + "doc", std::nullopt},
        {"M huge", 2, u32le(0xFFFFFFF0) + "doc", std::nullopt},
        {"length cut short", 2, "\x03\x00", std::nullopt},
    };
    for (const Case& c : cases) {
        Head h;
        h.kind = 7;
        h.secondKind = c.secondKind;
        DecodedReply reply = decodeReply(bytes(message(h, payload("text") + c.tail)));
        EXPECT_EQ(reply.status, ReplyStatus::Ok) << c.name;
        EXPECT_EQ(reply.text, "text") << c.name;
        EXPECT_EQ(reply.secondDocument, c.document) << c.name;
    }
}

TEST(ReplyDecoding, ReadsWhatTheTestPeerBuilds) {
    for (testserver::Packing packing :
         {testserver::Packing::Stored, testserver::Packing::Lzss, testserver::Packing::Zlib}) {
        testserver::CannedReply spec;
        spec.kind = 9;
        spec.text = std::string(3000, 'q') + "end";
        spec.secondDocument = "<zqml/>";
        spec.secondKind = 3;
        DecodedReply reply = decodeReply(bytes(testserver::buildReplyMessage(spec, 77, packing)));
        ASSERT_EQ(reply.status, ReplyStatus::Ok) << int(packing);
        EXPECT_EQ(reply.head.requestId, 77);
        EXPECT_EQ(reply.text, spec.text);
        EXPECT_EQ(reply.secondDocument, spec.secondDocument);
    }
}

TEST(ReplyUnpacking, ExactBuffersGiveWhatTheWholeRoomGives) {
    int fitted = 0;
    int refused = 0;
    for (uint8_t method : {uint8_t{1}, uint8_t{2}}) {
        for (size_t size : {size_t{0}, size_t{40}, size_t{3000}, size_t{70000}}) {
            const std::string text = pageText(size, static_cast<unsigned>(size));
            const std::string payload =
                u32le(static_cast<uint32_t>(text.size())) + text + u32le(3) + "doc";
            const std::string body =
                method == 1 ? "slh!" + testserver::lzssEncode(payload) : zlibPack(payload);
            for (uint8_t factor = 1; factor <= 12; ++factor) {
                std::string m(10, '\0');
                m[0] = 7;  // a data reply, which may carry a second document
                m[5] = 2;
                m[6] = static_cast<char>(method);
                m[7] = static_cast<char>(factor);
                m += body;
                const DecodedReply reply = decodeReply(bytes(m));
                const std::string name = "method " + std::to_string(method) + " size " +
                                         std::to_string(size) + " factor " + std::to_string(factor);
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
