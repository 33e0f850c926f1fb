// Style sheets: tables of rules by selector, and the ways rules reach a
// control's Style.
//
// A control's look is built in layers: its default style, the page font,
// the default-sheet rule named after the element kind (applyStyleClass),
// the page sheet's rule of that kind, then the classes of its "class"
// attribute from the page's own sheet (applyInlineStyle). applyStyleClass comes with
// ui/style_class.h. Both change the style in place; errors are silent.
//
// Three tables exist: the process-wide default sheet (filled once at
// start-up from "css/default.css", read afterwards), the process-wide cache
// of the last external sheet that a "style" element fetched, and each
// page's class sheet, which the page owns (a StyleSheet member).
//
// Threads: everything here runs on the UI thread, where pages are built;
// the tables have no lock. The default sheet is complete before the first
// page is built.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "markup/css_parser.h"
#include "platform/cstring.h"
#include "platform/geometry.h"
#include "ui/client_context.h"

namespace zq {

class MarkupPage;
class Style;
class XmlParser;

// What adding a rule whose selector is present already does.
enum class DuplicateRule { KeepFirst, Replace };

// Rules by selector, compared case-sensitively. A value type: a page owns
// its sheets, the process owns the default sheet and the external cache.
class StyleSheet {
public:
    // True when the rule was stored. Rules with an empty selector are
    // refused.
    bool addRule(StyleRule rule, DuplicateRule mode);
    // Parses `text` line by line and adds each rule; returns the count
    // stored.
    int addText(const CString& text, DuplicateRule mode);
    // Adds every rule of `other` (copies).
    void addSheet(const StyleSheet& other, DuplicateRule mode);

    // The rule of `selector`, or null.
    const StyleRule* find(const CString& selector) const;
    // Applies the rule of `selector` to `style`; false when there is none.
    bool apply(Style* style, const CString& selector) const;

    bool empty() const { return rules_.empty(); }
    size_t size() const { return rules_.size(); }
    void clear() { rules_.clear(); }

private:
    std::map<CString, StyleRule> rules_;
};

// --- the default sheet ---------------------------------------------------------
StyleSheet& defaultStyleSheet();
// An existing selector keeps its rule.
void addDefaultStyleRule(StyleRule rule);
// Adds every rule of the sheet text (empty text: nothing). Called once at
// start-up; tests reset with defaultStyleSheet().clear().
void loadDefaultStyleSheet(const CString& text);
// Applies the default-sheet rule named `selector` (an element kind such as
// "text", "a", "button") to `style`. A null style, an empty or unknown
// selector change nothing. loadDefaultStyleSheet and addDefaultStyleRule
// install it as the toolkit's applier, so that applyStyleClass
// (ui/style_class.h, which the builders and the toolkit's screens call)
// reaches it.
void applyDefaultStyleClass(Style* style, const CString& selector);

// --- page classes ------------------------------------------------------------------
// The rule of class `name` in the page's sheet, or null.
const StyleRule* findPageClass(const StyleSheet& pageClasses, const CString& name);
// Applies a control's "class" attribute text and returns `style` (null for
// a null style). A text holding ":" is one declaration: the name before the
// first ":" and the value after it, neither trimmed nor split further.
// Otherwise it is a ","-separated list of class names (not trimmed); the
// classes found are merged, a property set by several taking the value of
// the class named first, and the merged declarations applied in ascending
// name order.
Style* applyInlineStyle(const StyleSheet& pageClasses, Style* style, const CString& text);
// The merge of applyInlineStyle over rules already looked up (null entries
// are skipped). Returns `style`.
Style* applyPageClasses(const std::vector<const StyleRule*>& rules, Style* style);
// For the table builders. False when the page has no such class; otherwise
// true, with `colour` set from the class's "font-color" (or, when that is
// empty, "fc") value when it is a colour, and left as the caller set it
// when not.
bool getClassFontColor(const StyleSheet& pageClasses, Color& colour, const CString& className);
// The class's "align" (or "an") value: 8 for "right", 1 for "center", 4
// for anything else and for an unknown class (the table model's column
// alignment bits). Words compare without regard to case.
int getClassAlignment(const StyleSheet& pageClasses, const CString& className);

// --- the "style" element -------------------------------------------------------------
// Fetches an external sheet's bytes (UTF-8) by address; empty when it
// cannot be had. The page controller's content loader.
using StyleSheetFetcher = std::function<std::string(const CString& address)>;

// The last external sheet: its address and its rules. Process-wide.
struct ExternalStyleSheetCache {
    CString address;
    StyleSheet rules;
};
ExternalStyleSheetCache& externalStyleSheetCache();

// Fetched text (UTF-8 bytes) as the handset reads it: with the character
// set "big5" (any case) what Big5 lacks becomes '?'.
CString decodeFetchedText(std::string_view utf8, const CString& characterSet);

// The work of a "style" element for a page:
// 1. With a non-empty `href` and a fetcher: when `href` differs (without
//    regard to case) from the cached address, the cache is emptied, the
//    sheet fetched and parsed into it and the address remembered (not when
//    the fetch gives nothing: the next page asks again). The fetched text
//    is read in `characterSet` (decodeFetchedText). Then every cached class
//    that the page lacks is added to `pageClasses`.
// 2. Rules of the element's own `text` are added to `pageClasses`,
//    replacing classes of the same name, so they win over a fetched sheet.
void applyStyleElement(StyleSheet& pageClasses, const CString& href, const CString& text,
                       const StyleSheetFetcher& fetch, const CString& characterSet = CString());

// --- the page's sheet ------------------------------------------------------------------
// The page's class sheet (kept in the page's state, freed with the page).
StyleSheet& pageStyleSheet(MarkupPage& page);
// applyInlineStyle over the page's class sheet: what the builders call
// with the element's "class" (alias "cl") text. When `style` is the one
// that applyStyleClass styled last, the page's rule named after that
// element kind ("edit", "button" ...) comes first, so a page can restyle
// every control of a kind.
Style* applyInlineStyle(MarkupPage& page, Style* style, const CString& text);
// The "style" element (alias "sy"), with the parser on it: its "href"
// ("hf") fetched through the page's host, then its own text. Builds no
// control.
void buildStyleElement(MarkupPage& page, XmlParser& node);

}  // namespace zq
