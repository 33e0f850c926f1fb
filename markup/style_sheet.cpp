#include "markup/style_sheet.h"

#include <utility>

#include "core/string_utils.h"
#include "core/xml_parser.h"
#include "markup/markup_page.h"
#include "markup/style_properties.h"
#include "ui/style.h"

namespace zq {

bool StyleSheet::addRule(StyleRule rule, DuplicateRule mode) {
    if (rule.selector.isEmpty()) return false;
    auto found = rules_.find(rule.selector);
    if (found != rules_.end()) {
        if (mode == DuplicateRule::KeepFirst) return false;
        found->second = std::move(rule);
        return true;
    }
    CString key = rule.selector;
    rules_.emplace(std::move(key), std::move(rule));
    return true;
}

int StyleSheet::addText(const CString& text, DuplicateRule mode) {
    int added = 0;
    for (StyleRule& rule : parseStyleSheetText(text)) {
        if (addRule(std::move(rule), mode)) ++added;
    }
    return added;
}

void StyleSheet::addSheet(const StyleSheet& other, DuplicateRule mode) {
    for (const auto& [selector, rule] : other.rules_) addRule(rule, mode);
}

const StyleRule* StyleSheet::find(const CString& selector) const {
    auto found = rules_.find(selector);
    return found == rules_.end() ? nullptr : &found->second;
}

bool StyleSheet::apply(Style* style, const CString& selector) const {
    const StyleRule* rule = find(selector);
    if (!rule) return false;
    rule->applyTo(style);
    return true;
}

// --- the default sheet ---------------------------------------------------------

StyleSheet& defaultStyleSheet() {
    static StyleSheet sheet;
    return sheet;
}

void addDefaultStyleRule(StyleRule rule) {
    ClientContext::current().setStyleClassApplier(&applyDefaultStyleClass);
    defaultStyleSheet().addRule(std::move(rule), DuplicateRule::KeepFirst);
}

void loadDefaultStyleSheet(const CString& text) {
    ClientContext::current().setStyleClassApplier(&applyDefaultStyleClass);
    if (text.isEmpty()) return;
    defaultStyleSheet().addText(text, DuplicateRule::KeepFirst);
}

namespace {

// The style that applyDefaultStyleClass styled last and its element kind.
// The builders call applyInlineStyle(page, ...) on that style next, which
// then applies the page's own rule for the kind before the classes.
struct KindMark {
    const Style* style = nullptr;
    CString kind;
};

KindMark& lastKindMark() {
    thread_local KindMark mark;
    return mark;
}

}  // namespace

void applyDefaultStyleClass(Style* style, const CString& selector) {
    if (!style || selector.isEmpty()) return;
    defaultStyleSheet().apply(style, selector);
    lastKindMark() = KindMark{style, selector};
}

// --- page classes ------------------------------------------------------------------

const StyleRule* findPageClass(const StyleSheet& pageClasses, const CString& name) {
    return pageClasses.find(name);
}

Style* applyInlineStyle(const StyleSheet& pageClasses, Style* style, const CString& text) {
    if (!style) return nullptr;
    if (text.isEmpty()) return style;
    const int colon = text.find(u':');
    if (colon >= 0) {
        applyStyleDeclaration(style, text.left(colon), text.mid(colon + 1));
        return style;
    }
    std::vector<const StyleRule*> rules;
    for (const CString& name : splitString(text, u',')) {
        if (const StyleRule* rule = pageClasses.find(name)) rules.push_back(rule);
    }
    return applyPageClasses(rules, style);
}

Style* applyPageClasses(const std::vector<const StyleRule*>& rules, Style* style) {
    if (!style) return nullptr;
    // The class named first wins a property that several set.
    StyleRule merged;
    for (const StyleRule* rule : rules) {
        if (!rule) continue;
        for (const auto& [name, value] : rule->declarations) merged.addDeclaration(name, value);
    }
    merged.applyTo(style);
    return style;
}

namespace {

// The value of `longName`, or of `alias` when that is absent or empty.
CString classValue(const StyleRule& rule, const CString& longName, const CString& alias) {
    auto found = rule.declarations.find(longName);
    if (found != rule.declarations.end() && !found->second.isEmpty()) return found->second;
    found = rule.declarations.find(alias);
    return found == rule.declarations.end() ? CString() : found->second;
}

}  // namespace

bool getClassFontColor(const StyleSheet& pageClasses, Color& colour, const CString& className) {
    const StyleRule* rule = pageClasses.find(className);
    if (!rule) return false;
    readStyleColor(classValue(*rule, u"font-color", u"fc"), colour);
    return true;
}

int getClassAlignment(const StyleSheet& pageClasses, const CString& className) {
    constexpr int kLeft = 4;
    const StyleRule* rule = pageClasses.find(className);
    if (!rule) return kLeft;
    const CString value = classValue(*rule, u"align", u"an");
    if (value.equalsNoCase(u"right")) return 8;
    if (value.equalsNoCase(u"center")) return 1;
    return kLeft;
}

// --- the "style" element -------------------------------------------------------------

ExternalStyleSheetCache& externalStyleSheetCache() {
    static ExternalStyleSheetCache cache;
    return cache;
}

CString decodeFetchedText(std::string_view utf8, const CString& characterSet) {
    CString text = CString::fromUtf8(utf8);
    if (characterSet.equalsNoCase(u"big5")) {
        text = CString::fromCodePage(text.toCodePage(kCodePageBig5), kCodePageBig5);
    }
    return text;
}

void applyStyleElement(StyleSheet& pageClasses, const CString& href, const CString& text,
                       const StyleSheetFetcher& fetch, const CString& characterSet) {
    if (!href.isEmpty() && fetch) {
        ExternalStyleSheetCache& cache = externalStyleSheetCache();
        if (!href.equalsNoCase(cache.address)) {
            cache.rules.clear();
            cache.address = CString();
            // A sheet that cannot be had is asked for again by the next page
            // that names it.
            const std::string bytes = fetch(href);
            if (!bytes.empty()) cache.address = href;
            cache.rules.addText(decodeFetchedText(bytes, characterSet), DuplicateRule::KeepFirst);
        }
        pageClasses.addSheet(cache.rules, DuplicateRule::KeepFirst);
    }
    if (!text.isEmpty()) pageClasses.addText(text, DuplicateRule::Replace);
}

// --- the page's sheet ------------------------------------------------------------------

namespace {

struct PageStyleState : PageState {
    StyleSheet classes;
};

}  // namespace

StyleSheet& pageStyleSheet(MarkupPage& page) { return page.state<PageStyleState>().classes; }

Style* applyInlineStyle(MarkupPage& page, Style* style, const CString& text) {
    const KindMark mark = std::exchange(lastKindMark(), KindMark{});
    if (style && mark.style == style) pageStyleSheet(page).apply(style, mark.kind);
    return applyInlineStyle(pageStyleSheet(page), style, text);
}

void buildStyleElement(MarkupPage& page, XmlParser& node) {
    StyleSheetFetcher fetch;
    CString characterSet;
    if (PageHost* host = page.host()) {
        characterSet = host->characterSet();
        fetch = [host](const CString& address) {
            // Whatever runs while the fetch waits builds no styles of this page.
            const StyleScope elsewhere = StyleScope::shared();
            return host->loadContent(address);
        };
    }
    applyStyleElement(pageStyleSheet(page), getAttribute(node, u"href", u"hf"),
                      node.getNodeData(node.currentNode()), fetch, characterSet);
}

}  // namespace zq
