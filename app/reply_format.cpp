#include <zlib.h>

#include <cstring>
#include <vector>

#include "app/reply_handler.h"
#include "core/byte_reader.h"
#include "core/lzss.h"

namespace zq {
namespace {

constexpr uint8_t kLzssMarker[4] = {'s', 'l', 'h', '!'};
constexpr size_t kDefaultFactor = 10;

uint32_t readU32(std::span<const uint8_t> bytes, size_t offset) {
    CheckedByteReader reader(bytes.data(), bytes.size());
    return static_cast<uint32_t>(reader.readInt32(offset));
}

}  // namespace

ReplyClass ReplyHead::replyClass() const {
    if (kind == 1 || kind == 2) return ReplyClass::Page;
    if (kind == 6) return ReplyClass::PageShowNow;
    if (kind == 3 || (kind >= 7 && kind <= 52)) return ReplyClass::Data;
    return ReplyClass::Ignored;
}

PackMethod ReplyHead::packMethod() const {
    if (method == 1) return PackMethod::Lzss;
    if (method == 2) return PackMethod::Zlib;
    return PackMethod::Stored;
}

std::optional<ReplyHead> readReplyHead(std::span<const uint8_t> message) {
    if (message.size() < kMinReplySize) return std::nullopt;
    CheckedByteReader reader(message.data(), message.size());
    ReplyHead head;
    head.kind = message[0];
    head.requestId = reader.readInt16(1);
    head.documentArgument = reader.readInt16(3);
    head.secondKind = message[5];
    head.method = message[6];
    head.factor = message[7];
    head.listenerIndex = message[8];
    return head;
}

size_t replyCapacity(uint8_t factor, size_t bodyLength) {
    size_t scale = (factor == 0 || factor == 255) ? kDefaultFactor : factor;
    if (bodyLength > kMaxReplyPayload / scale) return kMaxReplyPayload;
    return scale * bodyLength;
}

size_t unpackBlock(std::span<const uint8_t> body, uint8_t* out, size_t capacity) {
    if (!out || body.size() < sizeof(kLzssMarker)) return 0;
    if (std::memcmp(body.data(), kLzssMarker, sizeof(kLzssMarker)) != 0) return 0;
    LzssResult result = LzssDecoder::decodeBuffer(body.data() + sizeof(kLzssMarker),
                                                  body.size() - sizeof(kLzssMarker), out, capacity);
    return result.truncated ? 0 : result.length;
}

size_t uncompressBlock(std::span<const uint8_t> body, uint8_t* out, size_t capacity) {
    if (!out || body.empty() || capacity == 0) return 0;
    uLongf outLength = static_cast<uLongf>(capacity);
    int status = uncompress(out, &outLength, body.data(), static_cast<uLong>(body.size()));
    return status == Z_OK ? static_cast<size_t>(outLength) : 0;
}

DecodedReply decodeReply(std::span<const uint8_t> message) {
    DecodedReply reply;
    std::optional<ReplyHead> head = readReplyHead(message);
    if (!head) return reply;
    reply.head = *head;
    std::span<const uint8_t> body = message.subspan(kReplyHeadSize);

    // 1. Unpack into a buffer of the size the head allows.
    std::vector<uint8_t> unpacked;
    std::span<const uint8_t> payload = body;
    if (head->packMethod() != PackMethod::Stored) {
        unpacked.assign(replyCapacity(head->factor, body.size()), 0);
        size_t length = head->packMethod() == PackMethod::Lzss
                            ? unpackBlock(body, unpacked.data(), unpacked.size())
                            : uncompressBlock(body, unpacked.data(), unpacked.size());
        payload = std::span<const uint8_t>(unpacked.data(), length);
    }
    if (payload.size() < 4) {
        reply.status = ReplyStatus::NoPayload;
        return reply;
    }

    // 2. The text: L bytes after its length.
    uint32_t textLength = readU32(payload, 0);
    if (textLength > payload.size() - 4) {
        reply.status = ReplyStatus::BadTextLength;
        return reply;
    }
    reply.text.assign(reinterpret_cast<const char*>(payload.data() + 4), textLength);

    // 3. The second document, when the head allows one and it fits.
    size_t afterText = 4 + size_t{textLength};
    if (head->mayCarrySecondDocument() && payload.size() - afterText >= 4) {
        uint32_t documentLength = readU32(payload, afterText);
        if (documentLength <= payload.size() - afterText - 4) {
            reply.secondDocument.emplace(
                reinterpret_cast<const char*>(payload.data() + afterText + 4), documentLength);
        }
    }
    reply.status = ReplyStatus::Ok;
    return reply;
}

}  // namespace zq
