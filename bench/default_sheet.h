// The shipped default style sheet, loaded once, as the client loads it at
// start-up: the benchmarks style their pages the same way.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

#include "markup/style_sheet.h"
#include "platform/cstring.h"

namespace zq::bench {

inline void loadDefaultSheet() {
    static bool loaded = false;
    if (loaded) return;
    loaded = true;
    std::ifstream in(std::string(ZQ_SOURCE_DIR) + "/resources/ZQ Resource/css/default.css",
                     std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    loadDefaultStyleSheet(CString::fromUtf8(bytes.str()));
}

}  // namespace zq::bench
