// Parses arbitrary bytes as style-sheet text (UTF-8) into a page sheet and
// the default sheet, then applies every rule, with and without a focused
// sub-style, and the last line of the input as a "class" attribute text.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "markup/style_sheet.h"
#include "tools/fuzz/page_host.h"
#include "ui/border.h"
#include "ui/style.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

zq::Style* newStyle(bool focusable) {
    zq::Style* style = zq::allocTracked();
    if (focusable) {
        zq::Style* focused = zq::allocTracked();
        // A focused style that is its own focused style: the prefixes must
        // still end.
        zq::setStyleProperty(focused, zq::prop::kFocusedStyle, focused);
        zq::setStyleProperty(style, zq::prop::kFocusedStyle, focused);
    }
    return style;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zqfuzz::useFixedFonts();

    const zq::CString text =
        zq::CString::fromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    zq::StyleSheet page;
    zq::applyStyleElement(page, zq::CString(), text, zq::StyleSheetFetcher());
    zq::loadDefaultStyleSheet(text);

    for (const zq::StyleRule& rule : zq::parseStyleSheetText(text)) {
        check(!rule.selector.isEmpty());
        check(page.find(rule.selector) != nullptr);
        for (bool focusable : {false, true}) {
            zq::Style* style = newStyle(focusable);
            zq::applyStyleClass(style, rule.selector);
            rule.applyTo(style);
            if (style->border()) check(style->border()->width() >= 0);
        }
    }
    const int lastLine = text.reverseFind(u'\n');
    const zq::CString classText = text.mid(lastLine + 1);
    check(zq::applyInlineStyle(page, newStyle(true), classText) != nullptr);
    zq::Color colour = 0;
    zq::getClassFontColor(page, colour, classText);
    const int alignment = zq::getClassAlignment(page, classText);
    check(alignment == 1 || alignment == 4 || alignment == 8);

    zq::defaultStyleSheet().clear();
    zq::freeTrackedStyles();
    return 0;
}
