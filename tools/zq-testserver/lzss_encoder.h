// LZSS encoder for the test peer's packed replies; the client only decodes.
//
// Writes the stream that LzssDecoder reads: a flag byte for each group of up
// to eight items, lowest bit first, a set bit for a literal byte and a clear
// bit for a pair b1 b2 copying (b2 & 0x0F) + 3 bytes from window position
// b1 | (b2 & 0xF0) << 4. The window is the 4,096-byte ring that starts
// zero-filled with its write position at 4,078, so the encoder may match
// against those zeros before any output exists. No "slh!" magic: the reply
// builder adds it.
#pragma once

#include <string>
#include <string_view>

namespace zq::testserver {

std::string lzssEncode(std::string_view input);

}  // namespace zq::testserver
