#include "net/reply_unpack.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

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

namespace {

// The packed body unpacked into a buffer of exactly its length; nullopt when
// it does not unpack within `capacity`.
std::optional<std::string> unpackLzss(std::span<const uint8_t> body, size_t capacity) {
    if (body.size() < sizeof(kLzssMarker)) return std::nullopt;
    if (std::memcmp(body.data(), kLzssMarker, sizeof(kLzssMarker)) != 0) return std::nullopt;
    const uint8_t* input = body.data() + sizeof(kLzssMarker);
    const size_t inputLength = body.size() - sizeof(kLzssMarker);
    const LzssResult size = LzssDecoder::decodedLength(input, inputLength, capacity);
    if (size.truncated || size.length == 0) return std::nullopt;
    std::string out(size.length, '\0');
    LzssDecoder::decodeBuffer(input, inputLength, reinterpret_cast<uint8_t*>(out.data()),
                              out.size());
    return out;
}

// As uncompress into `capacity` bytes, but the first four bytes (the text
// length) go to `head` and the rest into a buffer that grows with the
// output, so that the text needs no moving afterwards. Nullopt when the
// stream is bad, does not fit or gives fewer than four bytes.
std::optional<std::string> unpackZlib(std::span<const uint8_t> body, size_t capacity,
                                      uint8_t (&head)[4]) {
    if (body.empty() || capacity < sizeof head) return std::nullopt;
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return std::nullopt;
    const size_t limit = capacity - sizeof head;
    std::string out;
    stream.next_in = const_cast<Bytef*>(body.data());
    size_t inputLeft = body.size();
    size_t headDone = 0;
    size_t produced = 0;
    int status = Z_OK;
    for (;;) {
        const bool inHead = headDone < sizeof head;
        if (!inHead && produced == out.size() && out.size() < limit) {
            // Markup packs about eight to one; the head's factor is usually tighter.
            const size_t first = std::max<size_t>(8 * body.size(), 256);
            out.resize(std::min(limit, out.empty() ? first : out.size() * 2));
        }
        uint8_t* target =
            inHead ? head + headDone : reinterpret_cast<uint8_t*>(out.data()) + produced;
        const size_t space = inHead ? sizeof head - headDone : out.size() - produced;
        // zlib counts in uInt; feed and drain at most that much per call.
        const uInt in = static_cast<uInt>(std::min<size_t>(inputLeft, UINT_MAX));
        const uInt room = static_cast<uInt>(std::min<size_t>(space, UINT_MAX));
        stream.avail_in = in;
        stream.next_out = target;
        stream.avail_out = room;
        status = inflate(&stream, Z_NO_FLUSH);
        inputLeft -= in - stream.avail_in;
        (inHead ? headDone : produced) += room - stream.avail_out;
        if (status == Z_OK) continue;
        // Out of room with room still to give: grow and go on.
        if (status == Z_BUF_ERROR && !inHead && produced == out.size() && out.size() < limit)
            continue;
        break;
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END || headDone < sizeof head) return std::nullopt;
    out.resize(produced);
    return out;
}

}  // namespace

DecodedReply decodeReply(std::span<const uint8_t> message) {
    DecodedReply reply;
    std::optional<ReplyHead> head = readReplyHead(message);
    if (!head) return reply;
    reply.head = *head;
    std::span<const uint8_t> body = message.subspan(kReplyHeadSize);

    // Unpack into a buffer of exactly the unpacked length, at most the
    // size the head allows. The payload is its first four bytes (the text
    // length) and the rest, which starts with the text.
    uint8_t lengthBytes[4] = {};
    std::string unpacked;
    std::span<const uint8_t> rest;
    const size_t capacity = replyCapacity(head->factor, body.size());
    const bool packed = head->packMethod() != PackMethod::Stored;
    bool whole = false;
    if (!packed) {
        if (body.size() >= sizeof lengthBytes) {
            std::memcpy(lengthBytes, body.data(), sizeof lengthBytes);
            rest = body.subspan(sizeof lengthBytes);
            whole = true;
        }
    } else if (head->packMethod() == PackMethod::Lzss) {
        std::optional<std::string> out = unpackLzss(body, capacity);
        if (out && out->size() >= sizeof lengthBytes) {
            std::memcpy(lengthBytes, out->data(), sizeof lengthBytes);
            out->erase(0, sizeof lengthBytes);
            unpacked = std::move(*out);
            whole = true;
        }
    } else if (std::optional<std::string> out = unpackZlib(body, capacity, lengthBytes)) {
        unpacked = std::move(*out);
        whole = true;
    }
    if (!whole) {
        reply.status = ReplyStatus::NoPayload;
        return reply;
    }
    if (packed) {
        rest = std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(unpacked.data()),
                                        unpacked.size());
    }

    // The text: L bytes after its length.
    const uint32_t textLength = readU32(lengthBytes, 0);
    if (textLength > rest.size()) {
        reply.status = ReplyStatus::BadTextLength;
        return reply;
    }

    // The second document, when the head allows one and it fits.
    const size_t afterText = textLength;
    if (head->mayCarrySecondDocument() && rest.size() - afterText >= 4) {
        uint32_t documentLength = readU32(rest, afterText);
        if (documentLength <= rest.size() - afterText - 4) {
            reply.secondDocument.emplace(reinterpret_cast<const char*>(rest.data() + afterText + 4),
                                         documentLength);
        }
    }
    if (packed) {
        unpacked.resize(textLength);
        reply.text = std::move(unpacked);
    } else {
        reply.text.assign(reinterpret_cast<const char*>(rest.data()), textLength);
    }
    reply.status = ReplyStatus::Ok;
    return reply;
}

}  // namespace zq
