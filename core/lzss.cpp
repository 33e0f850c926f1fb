#include "core/lzss.h"

#include <algorithm>
#include <cstring>

namespace zq {

namespace {

constexpr size_t kRingMask = LzssDecoder::kRingSize - 1;
// One flag byte and eight pairs; eight copies of the longest match.
constexpr size_t kGroupMaxInput = 1 + 8 * 2;
constexpr size_t kGroupMaxOutput = 8 * LzssDecoder::kMaxMatch;

// The output already written is the window: ring position `pos` seen from
// output offset `op` lies `distance` bytes back, 1 to 4,096. Bytes that would
// lie before the output's start are the window's initial zeros.
size_t matchDistance(size_t op, size_t pos) {
    const size_t ringWrite = (LzssDecoder::kRingStart + op) & kRingMask;
    return ((ringWrite - pos - 1) & kRingMask) + 1;
}

void copyMatch(uint8_t* out, size_t op, size_t distance, size_t length) {
    uint8_t* dst = out + op;
    if (distance > op) {
        for (size_t k = 0; k < length; ++k) {
            dst[k] = op + k < distance ? 0 : out[op + k - distance];
        }
        return;
    }
    const uint8_t* src = dst - distance;
    if (distance >= length) {
        std::memcpy(dst, src, length);
    } else if (distance == 1) {
        std::memset(dst, *src, length);
    } else {
        for (size_t k = 0; k < length; ++k) dst[k] = src[k];
    }
}

}  // namespace

LzssResult LzssDecoder::decodeBuffer(const uint8_t* input, size_t inputLength, uint8_t* output,
                                     size_t capacity) {
    size_t ip = 0;
    size_t op = 0;
    for (;;) {
        // A group that fits both buffers whole runs without per-item checks.
        if (inputLength - ip >= kGroupMaxInput && capacity - op >= kGroupMaxOutput) {
            unsigned flags = input[ip++];
            for (int item = 0; item < 8; ++item, flags >>= 1) {
                if (flags & 1) {
                    output[op++] = input[ip++];
                    continue;
                }
                const unsigned b1 = input[ip];
                const unsigned b2 = input[ip + 1];
                ip += 2;
                const size_t length = (b2 & 0x0F) + kMinMatch;
                copyMatch(output, op, matchDistance(op, b1 | ((b2 & 0xF0) << 4)), length);
                op += length;
            }
            continue;
        }

        // Near either end: every item is checked.
        if (ip >= inputLength) return {op, false};
        unsigned flags = input[ip++];
        for (int item = 0; item < 8; ++item, flags >>= 1) {
            if (flags & 1) {
                if (ip >= inputLength) return {op, false};
                if (op >= capacity) return {op, true};
                output[op++] = input[ip++];
                continue;
            }
            if (inputLength - ip < 2) return {op, false};
            const unsigned b1 = input[ip];
            const unsigned b2 = input[ip + 1];
            ip += 2;
            const size_t length = (b2 & 0x0F) + kMinMatch;
            const size_t fits = std::min(length, capacity - op);
            copyMatch(output, op, matchDistance(op, b1 | ((b2 & 0xF0) << 4)), fits);
            op += fits;
            if (fits < length) return {op, true};
        }
    }
}

LzssResult LzssDecoder::decodedLength(const uint8_t* input, size_t inputLength, size_t capacity) {
    size_t ip = 0;
    size_t op = 0;
    while (ip < inputLength) {
        unsigned flags = input[ip++];
        for (int item = 0; item < 8; ++item, flags >>= 1) {
            size_t length = 1;
            if (flags & 1) {
                if (ip >= inputLength) return {op, false};
                ++ip;
            } else {
                if (inputLength - ip < 2) return {op, false};
                length = (input[ip + 1] & 0x0F) + kMinMatch;
                ip += 2;
            }
            if (capacity - op < length) return {capacity, true};
            op += length;
        }
    }
    return {op, false};
}

}  // namespace zq
