// The page reply message that the test peer sends as a frame body or as an
// HTTP body.
//
// Head, 10 bytes, numbers little-endian: kind (1), request id (2, signed),
// document argument (2, signed), second-document kind (1), packing (1),
// expansion factor (1), listener index (1), unused (1). Then the packed
// payload: text length L (4), the text, and when a second document is
// present its length M (4) and the document. Packing 1 prefixes the LZSS
// stream with "slh!", packing 2 is a zlib stream, anything else is stored.
// The client expands into factor x (message length - 10) bytes, so the
// factor chosen is the smallest that holds the payload.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zq::testserver {

enum class Packing : uint8_t { Stored = 0, Lzss = 1, Zlib = 2 };

constexpr size_t kReplyHeadSize = 10;
constexpr uint8_t kPageReplyKind = 1;
inline constexpr char kLzssMagic[] = "slh!";

// "stored", "lzss" or "zlib"; nullopt for anything else.
std::optional<Packing> packingFromName(std::string_view name);

struct CannedReply {
    uint8_t kind = kPageReplyKind;
    // nullopt: the server echoes the request's "pageid".
    std::optional<int16_t> requestId;
    int16_t documentArg = 0;
    uint8_t listenerIndex = 0;
    // nullopt: the server's packing.
    std::optional<Packing> packing;
    // nullopt: the smallest factor that holds the payload. Set it to send a
    // head that lies about the size.
    std::optional<uint8_t> factor;
    std::string text;
    // With a document, the second-document kind byte is secondKind (2 or 3).
    std::optional<std::string> secondDocument;
    uint8_t secondKind = 2;
};

// The unpacked payload: L, text, and M and the document when there is one.
std::string buildPayload(std::string_view text, const std::optional<std::string>& second);

// The whole message. `requestId` and `packing` fill what the reply leaves
// open. A zlib payload that would need a factor above 254 is stored
// instead, since no head could announce its size.
std::string buildReplyMessage(const CannedReply& reply, int16_t requestId, Packing packing);

// The longest message a reply frame carries.
constexpr size_t kMaxFramedMessage = 10000;

// As buildReplyMessage, for the framed port: a message longer than a frame
// carries is packed unless the reply fixes its packing or factor, with the
// first of the server's packing, zlib and LZSS that makes it fit (the
// smallest when none does). It may still be too long; callers compare its
// size.
std::string buildFramedReplyMessage(const CannedReply& reply, int16_t requestId, Packing packing);

}  // namespace zq::testserver
