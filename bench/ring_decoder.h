// The textbook LZSS decoder of the reply format, every byte through a
// zeroed 4,096-byte ring: the reference the client's decoder is held to.
// `out` must hold the whole expansion.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zq::bench {

inline constexpr size_t kRingBytes = 4096;
inline constexpr size_t kRingMaxMatch = 18;

inline size_t ringDecode(const uint8_t* in, size_t inLength, uint8_t* out) {
    uint8_t ring[kRingBytes + kRingMaxMatch - 1];
    std::memset(ring, 0, sizeof ring);
    size_t r = kRingBytes - kRingMaxMatch;
    size_t ip = 0;
    size_t op = 0;
    unsigned flags = 0;
    for (;;) {
        if (((flags >>= 1) & 256) == 0) {
            if (ip >= inLength) break;
            flags = in[ip++] | 0xFF00;
        }
        if (flags & 1) {
            if (ip >= inLength) break;
            const uint8_t c = in[ip++];
            out[op++] = c;
            ring[r++] = c;
            r &= kRingBytes - 1;
        } else {
            if (ip + 2 > inLength) break;
            const unsigned i = in[ip] | (in[ip + 1] & 0xF0) << 4;
            const unsigned j = (in[ip + 1] & 0x0F) + 2;
            ip += 2;
            for (unsigned k = 0; k <= j; ++k) {
                const uint8_t c = ring[(i + k) & (kRingBytes - 1)];
                out[op++] = c;
                ring[r++] = c;
                r &= kRingBytes - 1;
            }
        }
    }
    return op;
}

}  // namespace zq::bench
