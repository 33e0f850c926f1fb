// Decoder for the LZSS blocks of compressed server replies.
//
// Format: a flag byte announces the next eight items, lowest bit first. A set
// bit is one literal byte. A clear bit is a two-byte pair b1 b2 that copies
// (b2 & 0x0F) + 3 bytes from the 4,096-byte window position
// b1 | (b2 & 0xF0) << 4; the window starts zero-filled with its write
// position at 4,078, and a copy may overlap the bytes it produces. The stream
// ends with the input; an item cut short by the end produces nothing.
//
// Stateless: any number of threads may decode at once.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zq {

struct LzssResult {
    size_t length = 0;       // bytes written to the output
    bool truncated = false;  // the stream would have produced more than the capacity
};

class LzssDecoder {
public:
    static constexpr size_t kRingSize = 4096;
    static constexpr size_t kMaxMatch = 18;
    static constexpr size_t kMinMatch = 3;
    static constexpr size_t kRingStart = kRingSize - kMaxMatch;

    // Decodes `input` into `output`, writing at most `capacity` bytes and
    // nothing past them. Either pointer may be null when its size is 0.
    static LzssResult decodeBuffer(const uint8_t* input, size_t inputLength, uint8_t* output,
                                   size_t capacity);
    // What decodeBuffer would return for a buffer of `capacity` bytes,
    // without writing anything: sizes the buffer before the real pass.
    static LzssResult decodedLength(const uint8_t* input, size_t inputLength, size_t capacity);
};

}  // namespace zq
