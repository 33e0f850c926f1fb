#include "markup/css_parser.h"

#include "markup/style_properties.h"

namespace zq {

bool StyleRule::addDeclaration(const CString& name, const CString& value) {
    return declarations.emplace(name, value).second;
}

void StyleRule::applyTo(Style* style) const {
    if (!style) return;
    for (const auto& [name, value] : declarations) applyStyleDeclaration(style, name, value);
}

std::optional<StyleRule> parseStyleRule(const CString& line) {
    if (line.isEmpty()) return std::nullopt;
    const int open = line.find(u'{');
    if (open < 0) return std::nullopt;
    StyleRule rule;
    rule.selector = line.left(open);
    rule.selector.trim();
    if (rule.selector.isEmpty()) return std::nullopt;

    // The body ends at the first "}" of the line, wherever it stands; one
    // before the "{" (or none) leaves the rule without declarations.
    const int close = line.find(u'}');
    if (close <= open) return rule;
    const CString body = line.mid(open + 1, close - open - 1);
    int start = 0;
    while (start <= body.length()) {
        int end = body.find(u';', start);
        if (end < 0) end = body.length();
        CString part = body.mid(start, end - start);
        start = end + 1;
        part.trim();
        if (part.isEmpty()) continue;
        const int colon = part.find(u':');
        CString name;
        CString value;
        if (colon < 0) {
            value = part;
        } else {
            name = part.left(colon);
            name.trim();
            value = part.mid(colon + 1);
            value.trim();
        }
        rule.addDeclaration(name, value);
    }
    return rule;
}

std::vector<StyleRule> parseStyleSheetText(const CString& text) {
    std::vector<StyleRule> rules;
    int start = 0;
    while (start < text.length()) {
        int end = text.find(u'\n', start);
        if (end < 0) end = text.length();
        if (auto rule = parseStyleRule(text.mid(start, end - start))) {
            rules.push_back(std::move(*rule));
        }
        start = end + 1;
    }
    return rules;
}

}  // namespace zq
