// Links come from server pages: "page URL\nlink". A resolved server or
// local name keeps no "." or ".." segment, whatever it was written as.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "app/link_resolver.h"
#include "core/zq_exception.h"

namespace {

bool hasDotSegment(const std::string& path) {
    const std::string wrapped = "/" + path + "/";
    return wrapped.find("/./") != std::string::npos || wrapped.find("/../") != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t newline = input.find('\n');
    zq::LinkContext context;
    context.hasCurrentPage = newline != std::string_view::npos;
    context.currentUrl =
        zq::CString::fromUtf8(input.substr(0, context.hasCurrentPage ? newline : 0));
    const std::string_view linkText = context.hasCurrentPage ? input.substr(newline + 1) : input;
    std::map<zq::CString, zq::CString> variables;
    zq::CString resolved;
    try {
        resolved = zq::resolveLink(zq::CString::fromUtf8(linkText), context, variables);
    } catch (const zq::ZQException&) {
        return 0;
    }
    const zq::LinkScheme scheme = zq::linkScheme(resolved);
    if (scheme != zq::LinkScheme::Http && scheme != zq::LinkScheme::File) return 0;
    std::string text = resolved.toUtf8();
    const size_t start =
        scheme == zq::LinkScheme::Http
            ? text.find_first_of("/?#;", static_cast<size_t>(zq::schemeLength(scheme)))
            : static_cast<size_t>(zq::schemeLength(scheme));
    if (start == std::string::npos || (scheme == zq::LinkScheme::Http && text[start] != '/'))
        return 0;
    std::string path = text.substr(start, text.find_first_of("?#;", start) - start);
    // A local name may keep its leading ".." for the file layer to refuse,
    // which refuses a leading '/' as well.
    if (scheme == zq::LinkScheme::File) {
        while (!path.empty() && path.front() == '/') path.erase(0, 1);
        while (path.rfind("../", 0) == 0) path.erase(0, 3);
        if (path == "..") path.clear();
    }
    if (hasDotSegment(path)) __builtin_trap();
    return 0;
}
