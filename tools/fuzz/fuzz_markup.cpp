// Loads arbitrary bytes as a zqml page and builds, lays out and paints its
// screen. Bytes after the first zero byte (where the page text ends) are
// loaded first as the default style sheet, so one input carries a page and
// the CSS it is styled with; pages also carry CSS in "style" elements.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "markup/markup_page.h"
#include "markup/style_sheet.h"
#include "platform/device_context.h"
#include "platform/surface.h"
#include "tools/fuzz/page_host.h"
#include "ui/graphics_context.h"
#include "ui/screen.h"
#include "ui/style.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

// Marker and settings values, so that "@x;" and "#system." reach their code.
class FuzzHost : public zq::PageHost {
public:
    void onEvent(std::unique_ptr<zq::Event>) override {}
    zq::CString markerValue(const zq::CString& key) const override {
        return key.length() == 2 ? zq::CString(u"v&1") : zq::CString();
    }
    zq::CString getSystemValue(const zq::CString& key) const override {
        return key.length() % 2 ? zq::CString(u"hide") : zq::CString(u"1");
    }
};

void loadAndPaint(std::string_view page) {
    FuzzHost host;
    zq::MarkupPage markup;
    const bool loaded = markup.loadPage(page, &host);
    zq::Screen* screen = markup.screen();
    check(loaded || !screen);
    if (!screen) return;
    zq::Surface surface;
    surface.resize(240, 320);
    zq::DeviceContext dc(surface);
    zq::GraphicsContext g;
    g.init(240, 320, &dc);
    screen->applySize(240, 320);
    screen->paint(g);
    // Scroll to the end and paint again: every built item is laid out.
    screen->scrollBy(-100000);
    screen->paint(g);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zqfuzz::useFixedFonts();

    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const size_t zero = bytes.find('\0');
    zq::defaultStyleSheet().clear();
    zq::externalStyleSheetCache() = zq::ExternalStyleSheetCache();
    if (zero != std::string_view::npos) {
        zq::loadDefaultStyleSheet(zq::CString::fromUtf8(bytes.substr(zero + 1)));
    }
    loadAndPaint(bytes);
    zq::freeTrackedStyles();
    return 0;
}
