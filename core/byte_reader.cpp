#include "core/byte_reader.h"

namespace zq {

int16_t ByteReader::readInt16(const uint8_t* buffer, size_t offset) {
    const uint8_t* p = buffer + offset;
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8));
}

int32_t ByteReader::readInt32(const uint8_t* buffer, size_t offset) {
    const uint8_t* p = buffer + offset;
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 |
                                static_cast<uint32_t>(p[3]) << 24);
}

int16_t CheckedByteReader::readInt16(size_t offset) {
    if (!has(offset, 2)) {
        failed_ = true;
        return 0;
    }
    return ByteReader::readInt16(data_, offset);
}

int32_t CheckedByteReader::readInt32(size_t offset) {
    if (!has(offset, 4)) {
        failed_ = true;
        return 0;
    }
    return ByteReader::readInt32(data_, offset);
}

}  // namespace zq
