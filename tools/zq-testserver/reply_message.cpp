#include "tools/zq-testserver/reply_message.h"

#include <zlib.h>

#include <algorithm>

#include "tools/zq-testserver/lzss_encoder.h"

namespace zq::testserver {

namespace {

void appendLe32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void appendLe16(std::string& out, int16_t value) {
    const auto bits = static_cast<uint16_t>(value);
    out.push_back(static_cast<char>(bits & 0xFF));
    out.push_back(static_cast<char>(bits >> 8));
}

std::optional<std::string> zlibCompress(const std::string& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                  reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()),
                  Z_BEST_COMPRESSION) != Z_OK) {
        return std::nullopt;
    }
    out.resize(size);
    return out;
}

}  // namespace

std::optional<Packing> packingFromName(std::string_view name) {
    if (name == "stored") return Packing::Stored;
    if (name == "lzss") return Packing::Lzss;
    if (name == "zlib") return Packing::Zlib;
    return std::nullopt;
}

std::string buildPayload(std::string_view text, const std::optional<std::string>& second) {
    std::string payload;
    payload.reserve(8 + text.size() + (second ? second->size() : 0));
    appendLe32(payload, static_cast<uint32_t>(text.size()));
    payload.append(text);
    if (second) {
        appendLe32(payload, static_cast<uint32_t>(second->size()));
        payload.append(*second);
    }
    return payload;
}

std::string buildReplyMessage(const CannedReply& reply, int16_t requestId, Packing packing) {
    const std::string payload = buildPayload(reply.text, reply.secondDocument);
    Packing used = reply.packing.value_or(packing);
    std::string body;
    if (used == Packing::Lzss) {
        body = kLzssMagic + lzssEncode(payload);
    } else if (used == Packing::Zlib) {
        auto packed = zlibCompress(payload);
        if (packed) {
            body = std::move(*packed);
        } else {
            used = Packing::Stored;
        }
    }
    size_t factor = 1;
    if (used != Packing::Stored) {
        factor = std::max<size_t>(1, (payload.size() + body.size() - 1) / body.size());
        if (factor > 254) used = Packing::Stored;
    }
    if (used == Packing::Stored) {
        body = payload;
        factor = 1;
    }

    std::string message;
    message.reserve(kReplyHeadSize + body.size());
    message.push_back(static_cast<char>(reply.kind));
    appendLe16(message, reply.requestId.value_or(requestId));
    appendLe16(message, reply.documentArg);
    message.push_back(static_cast<char>(reply.secondDocument ? reply.secondKind : 0));
    message.push_back(static_cast<char>(used));
    message.push_back(static_cast<char>(reply.factor.value_or(static_cast<uint8_t>(factor))));
    message.push_back(static_cast<char>(reply.listenerIndex));
    message.push_back(0);
    message += body;
    return message;
}

std::string buildFramedReplyMessage(const CannedReply& reply, int16_t requestId, Packing packing) {
    std::string message = buildReplyMessage(reply, requestId, packing);
    if (reply.packing || reply.factor) return message;
    // Each packing of a big file costs: the first that fits is kept.
    for (Packing other : {Packing::Zlib, Packing::Lzss}) {
        if (message.size() <= kMaxFramedMessage) break;
        if (other == packing) continue;
        std::string packed = buildReplyMessage(reply, requestId, other);
        if (packed.size() < message.size()) message = std::move(packed);
    }
    return message;
}

}  // namespace zq::testserver
