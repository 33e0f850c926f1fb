// The page reply format: a 10-byte head, a body packed as "slh!" LZSS, zlib
// or stored, and inside it a length-prefixed text and an optional second
// document.
//
//   offset  size  field (numbers little-endian)
//   0       1     reply kind: 1, 2 page; 6 page shown at once; 3, 7..52 data
//   1       2     request id (signed); 0 answers no request
//   3       2     document argument (signed), serial of a kind-2 second document
//   5       1     second-document kind: 2 or 3 when one may follow the text
//   6       1     packing: 1 LZSS ("slh!" + stream), 2 zlib, other stored
//   7       1     expansion factor 1..254; 0 and 255 mean 10
//   8       1     listener index (kind 3)
//   10      rest  packed body
//
//   payload: u32 L, L text bytes, then (optional) u32 M, M document bytes
//
// Decoding never writes past its output buffer: a body that would expand
// beyond factor x body length (capped at kMaxReplyPayload) is refused.
// Pure functions; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace zq {

constexpr size_t kReplyHeadSize = 10;
constexpr size_t kMinReplySize = 14;
// The largest payload a reply may unpack to, whatever its factor says.
constexpr size_t kMaxReplyPayload = 8u * 1024 * 1024;
// A data reply whose text is exactly this long is dropped.
constexpr uint32_t kDroppedDataLength = 6;

enum class ReplyClass { Page, PageShowNow, Data, Ignored };
enum class PackMethod { Lzss, Zlib, Stored };

struct ReplyHead {
    uint8_t kind = 0;
    int16_t requestId = 0;
    int16_t documentArgument = 0;
    uint8_t secondKind = 0;
    uint8_t method = 0;
    uint8_t factor = 0;
    uint8_t listenerIndex = 0;

    ReplyClass replyClass() const;
    PackMethod packMethod() const;
    bool mayCarrySecondDocument() const { return secondKind == 2 || secondKind == 3; }
};

// Nullopt for a message shorter than kMinReplySize.
std::optional<ReplyHead> readReplyHead(std::span<const uint8_t> message);

// factor x bodyLength (factor 0 and 255 count as 10), capped at
// kMaxReplyPayload.
size_t replyCapacity(uint8_t factor, size_t bodyLength);

// The decoded length of an "slh!" block into `out`; 0 when the marker is
// missing or the stream would need more than `capacity` bytes.
size_t unpackBlock(std::span<const uint8_t> body, uint8_t* out, size_t capacity);
// The inflated length of a zlib stream into `out`; 0 on any zlib error,
// also when the output would need more than `capacity` bytes.
size_t uncompressBlock(std::span<const uint8_t> body, uint8_t* out, size_t capacity);

enum class ReplyStatus {
    Ok,
    Short,          // under kMinReplySize: ignored, not an error
    NoPayload,      // unpacking failed or gave under 4 bytes
    BadTextLength,  // L beyond the payload
};

struct DecodedReply {
    ReplyStatus status = ReplyStatus::Short;
    ReplyHead head;
    std::string text;
    // Present when the head allows one and the payload holds its length.
    std::optional<std::string> secondDocument;
};

// Reads the head, unpacks the body and cuts out the text and the second
// document. A second document whose length M runs past the payload is left
// out; the text still stands.
DecodedReply decodeReply(std::span<const uint8_t> message);

}  // namespace zq
