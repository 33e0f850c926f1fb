// Host lists come from settings files and server pages.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/string_utils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const zq::CString text =
        zq::CString::fromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    std::vector<zq::HostRecord> hosts;
    zq::parseHostList(text, hosts);
    for (const auto& host : hosts) {
        if (zq::findHostIndex(hosts, host) < 0) __builtin_trap();
    }
    zq::splitOutsideParens(u',', text);
    zq::splitByString(zq::CString(u"|"), text);
    zq::CString url = zq::setUrlParamKeepFragment(text, zq::CString(u"pageid"), text);
    zq::urlEncode(url);
    return 0;
}
