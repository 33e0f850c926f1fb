// Conversions between narrow code pages and UTF-16 text, with the names the
// rest of the client uses for them. The text is taken up to its first NUL, as
// a zero-terminated string would be; results are sized from the text.
#pragma once

#include <string>
#include <string_view>

#include "platform/cstring.h"

namespace zq {

// Narrow text of `codePage` (0 and 936 GBK, 950 Big5, 65001 UTF-8) as
// UTF-16; bytes that do not decode become U+FFFD.
CString multiByteToWide(std::string_view text, int codePage);

// UTF-16 text in `codePage`; characters the page lacks become '?'.
std::string wideToMultiByte(const CString& text, int codePage);

// Position of the last `ch` in the text, or -1. Searching for 0 finds the
// terminator, that is the text's length.
int findLastChar(const CString& text, char16_t ch);

}  // namespace zq
