// Page-given file names, "refresh" arguments and request URLs: a name is
// either refused or stays inside its folder; the argument parsers and the
// URL rewrite never read past their text. Then the same bytes as a page of
// side-effect elements against a host that records and never writes.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/auto_refresh.h"
#include "market/watch_list.h"
#include "markup/markup_page.h"
#include "markup/side_effect_builders.h"
#include "platform/font.h"
#include "ui/style.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

const std::filesystem::path kFolder = "/nonexistent/zq-fuzz/res";

class FuzzHost : public zq::PageHost, public zq::SideEffectHost {
public:
    void onEvent(std::unique_ptr<zq::Event>) override {}
    zq::SideEffectHost* sideEffects() override { return this; }
    void setSessionValue(const zq::CString&, const zq::CString&, const zq::CString&) override {}
    void storeSetting(const zq::CString&, const zq::CString&, int, const zq::CString&) override {}
    std::optional<std::string> fetchBytes(const zq::CString&) override { return std::nullopt; }
    void addLoadingProgress(int) override {}
    std::filesystem::path resourceFolder() const override { return kFolder; }
    zq::WatchList* currentWatchList() override { return &list; }
    void switchUser(const zq::CString&) override {}
    zq::RecentStockList* recentStocks() override { return &recent; }
    bool loginFlag() const override { return login; }
    void setLoginFlag(bool on) override { login = on; }
    void setMemoryValue(const zq::CString&, const zq::CString&) override {}
    void removeMemoryValue(const zq::CString&) override {}

    zq::WatchList list;
    zq::RecentStockList recent;
    bool login = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A page's "body" makes fonts; the fixed source needs no font files.
    static const bool fontsReady = [] {
        zq::setFontSource(std::make_shared<zq::FixedFontSource>());
        return true;
    }();
    (void)fontsReady;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const zq::CString text = zq::CString::fromUtf8(bytes);

    if (std::optional<std::filesystem::path> path = zq::confinedResourcePath(kFolder, text)) {
        const std::filesystem::path relative = path->lexically_normal().lexically_relative(kFolder);
        check(!relative.empty() && *relative.begin() != "..");
    }
    zq::settingTypeNumber(text);
    zq::parseRefreshSeconds(text);
    check(zq::withoutPageParams(text).length() <= text.length());

    FuzzHost host;
    zq::MarkupPage page;
    page.loadPage(bytes, &host, zq::CString(u"h:1"));
    zq::freeTrackedStyles();
    return 0;
}
