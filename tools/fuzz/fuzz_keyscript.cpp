// Key scripts are files a user or a test hands to zqclient.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/key_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zq::KeyScript script =
        zq::parseKeyScript(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const auto& error : script.errors) zq::formatScriptError("fuzz", error);
    return 0;
}
