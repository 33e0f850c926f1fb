// What the page-loading fuzz targets share: fixed-metric fonts and a host
// that keeps the watch-lists and the login flag and writes nothing.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "market/watch_list.h"
#include "markup/markup_page.h"
#include "markup/side_effect_builders.h"
#include "platform/font.h"

namespace zqfuzz {

inline const std::filesystem::path kResourceFolder = "/nonexistent/zq-fuzz/res";

// A page's "body" makes fonts; the fixed source needs no font files.
inline void useFixedFonts() {
    static const bool ready = [] {
        zq::setFontSource(std::make_shared<zq::FixedFontSource>());
        return true;
    }();
    (void)ready;
}

class SideEffectPageHost : public zq::PageHost, public zq::SideEffectHost {
public:
    void onEvent(std::unique_ptr<zq::Event>) override {}
    zq::SideEffectHost* sideEffects() override { return this; }
    void setSessionValue(const zq::CString&, const zq::CString&, const zq::CString&) override {}
    void storeSetting(const zq::CString&, const zq::CString&, int, const zq::CString&) override {}
    std::optional<std::string> fetchBytes(const zq::CString&) override { return std::nullopt; }
    void addLoadingProgress(int) override {}
    std::filesystem::path resourceFolder() const override { return kResourceFolder; }
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

}  // namespace zqfuzz
