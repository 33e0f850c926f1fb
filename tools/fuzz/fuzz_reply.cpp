// Page replies from a server: the head, the three packings and the length
// fields. Decoding must never write past the buffer the head allows, and
// the text and second document must lie inside what was unpacked.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

#include "net/reply_unpack.h"

namespace {

// Unpacks into a heap buffer of exactly `capacity` bytes, so that ASan sees
// any write past it.
void unpackExactly(std::span<const uint8_t> body, uint8_t method, size_t capacity) {
    auto out = std::make_unique<uint8_t[]>(capacity + 1);
    size_t length = method == 1 ? zq::unpackBlock(body, out.get(), capacity)
                                : zq::uncompressBlock(body, out.get(), capacity);
    if (length > capacity) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::span<const uint8_t> message(data, size);
    const zq::DecodedReply reply = zq::decodeReply(message);
    if (reply.status == zq::ReplyStatus::Ok) {
        const size_t body = size - zq::kReplyHeadSize;
        const size_t unpacked = reply.head.packMethod() == zq::PackMethod::Stored
                                    ? body
                                    : zq::replyCapacity(reply.head.factor, body);
        const size_t second = reply.secondDocument ? reply.secondDocument->size() + 4 : 0;
        if (reply.text.size() + 4 + second > unpacked) std::abort();
    }
    if (size > zq::kReplyHeadSize) {
        // Small capacities from the factor byte reach the "would not fit" paths.
        const size_t capacity = size > 7 ? data[7] : 0;
        unpackExactly(message.subspan(zq::kReplyHeadSize), 1, capacity);
        unpackExactly(message.subspan(zq::kReplyHeadSize), 2, capacity);
    }
    return 0;
}
