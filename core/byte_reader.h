// Little-endian fields of binary reply packets.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zq {

// Base of the data models that read packet fields. The reads do not check
// bounds: the caller has checked the packet length first. Reply decoders
// use CheckedByteReader instead.
class ByteReader {
public:
    virtual ~ByteReader() = default;

    // The two bytes at buffer + offset, sign-extended. Any alignment.
    static int16_t readInt16(const uint8_t* buffer, size_t offset);
    // The four bytes at buffer + offset. Any alignment.
    static int32_t readInt32(const uint8_t* buffer, size_t offset);
};

// Reads fields of a packet of known length. A field that does not lie
// wholly inside the packet is not read: the result is 0 and failed() stays
// true from then on, so a decoder can read a record and check once. The
// packet must outlive the reader.
class CheckedByteReader {
public:
    CheckedByteReader(const uint8_t* data, size_t length) : data_(data), length_(length) {}

    int16_t readInt16(size_t offset);
    int32_t readInt32(size_t offset);

    // Whether `count` bytes at `offset` lie inside the packet.
    bool has(size_t offset, size_t count) const {
        return offset <= length_ && count <= length_ - offset;
    }
    bool failed() const { return failed_; }
    size_t length() const { return length_; }

private:
    const uint8_t* data_;
    size_t length_;
    bool failed_ = false;
};

}  // namespace zq
