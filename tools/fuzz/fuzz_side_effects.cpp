// Page-given file names, "refresh" arguments and request URLs: a name is
// either refused or stays inside its folder; the argument parsers and the
// URL rewrite never read past their text. Then the same bytes as a page of
// side-effect elements against a host that records and never writes.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string_view>

#include "app/auto_refresh.h"
#include "markup/markup_page.h"
#include "tools/fuzz/page_host.h"
#include "ui/style.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zqfuzz::useFixedFonts();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const zq::CString text = zq::CString::fromUtf8(bytes);

    if (std::optional<std::filesystem::path> path =
            zq::confinedResourcePath(zqfuzz::kResourceFolder, text)) {
        const std::filesystem::path relative =
            path->lexically_normal().lexically_relative(zqfuzz::kResourceFolder);
        check(!relative.empty() && *relative.begin() != "..");
    }
    zq::settingTypeNumber(text);
    zq::parseRefreshSeconds(text);
    check(zq::withoutPageParams(text).length() <= text.length());

    zqfuzz::SideEffectPageHost host;
    zq::MarkupPage page;
    page.loadPage(bytes, &host, zq::CString(u"h:1"));
    zq::freeTrackedStyles();
    return 0;
}
