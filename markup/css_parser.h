// The style-sheet text of zqml pages: one rule per line,
//     selector { name:value; name:value; ... }
// with a plain key as selector (no combinators, no "." or "#", no grouping)
// and no comments. Pure functions; any thread.
#pragma once

#include <map>
#include <optional>
#include <vector>

#include "platform/cstring.h"

namespace zq {

class Style;

// One parsed rule. Declarations are ordered by the code-unit order of their
// names (CString's operator<) and applied in that order, not in source
// order; a name keeps the first value it was given.
struct StyleRule {
    CString selector;
    std::map<CString, CString> declarations;

    // False (and nothing changes) when the name is already present.
    bool addDeclaration(const CString& name, const CString& value);
    // Applies every declaration with applyStyleDeclaration; a null style is
    // left alone.
    void applyTo(Style* style) const;
};

// Parses one line. The selector is the trimmed text before the first "{";
// the body lies between the first "{" and the first "}" (a "}" before the
// "{" or a missing one gives no declarations). The body is split at ";",
// each part trimmed, empty parts skipped; a part's name is the trimmed text
// before its first ":" and its value the trimmed rest (values may hold ":").
// A part without ":" has an empty name and is kept: it does nothing when
// applied. nullopt for an empty line or an empty selector.
std::optional<StyleRule> parseStyleRule(const CString& line);

// Every rule of a sheet, line by line ("\n"), in source order; lines that do
// not parse are skipped.
std::vector<StyleRule> parseStyleSheetText(const CString& text);

}  // namespace zq
