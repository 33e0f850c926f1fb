// Text, colour, URL and host-list helpers used across the client.
//
// All functions are pure apart from makeDirectories; none keeps state that
// another thread could see half-built.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/host_record.h"
#include "platform/cstring.h"
#include "platform/geometry.h"

namespace zq {

using StringArray = std::vector<CString>;

// --- splitting ---------------------------------------------------------------
// Splits at every `separator`; empty pieces are kept; a text without the
// separator (the empty text too) gives one piece.
StringArray splitString(const CString& text, char16_t separator);
// Splits at every occurrence of `separator` and trims each piece; the empty
// text gives no piece; a trailing separator gives a final empty piece.
StringArray splitByString(const CString& separator, const CString& text);
// Splits an action's argument list at `separator` where the parenthesis depth
// is 0, so arguments that are themselves calls stay whole. Always at least one
// piece; pieces are not trimmed.
StringArray splitOutsideParens(char16_t separator, const CString& text);

// --- wrapping ----------------------------------------------------------------
// Width in pixels of one UTF-16 unit in the caller's font.
using CharWidthFn = std::function<int(char16_t)>;

// Lines of `text` that fit `firstLineWidth` (first line) and `lineWidth`
// (later lines). `text` is rewritten in place by normalizeWhitespace first
// (callers keep the normalised text). Empty text gives no lines; when both
// widths are 0 or less the text is one line as it is.
StringArray wrapText(CString& text, const CharWidthFn& charWidth, int firstLineWidth, int lineWidth,
                     int indent);
// The largest indent count wrapping honours: a larger one (CSS
// "text-indent" may say 4096) is taken as this, so that wrapped text stays
// within a small multiple of its own length.
constexpr int kMaxWrapIndent = 8;
// Drops tabs and CRs, collapses runs of line feeds (also blank lines that
// hold only the indent), skips blanks at line starts and puts `indent` * 2
// spaces (indent at most kMaxWrapIndent) before every line.
void normalizeWhitespace(CString& text, int indent);
// The line cutting behind wrapText. A surrogate pair is never cut.
StringArray cutLines(const CString& text, const CharWidthFn& charWidth, int firstLimit,
                     int nextLimit);

// --- character classes and names ----------------------------------------------
bool isHexDigits(const CString& text);
bool isDecimalDigits(const CString& text);
bool isPlusDigits(const CString& text);
// ASCII case folding of whole UTF-16 units; an empty prefix matches.
bool startsWithNoCase(const CString& text, const CString& prefix);
bool startsWithNoCase(std::u16string_view text, std::u16string_view prefix);
// `name` equals `shortKey` or `longKey` without regard to case.
bool matchesKeyName(const CString& name, const CString& shortKey, const CString& longKey);
// The first run of ASCII letters and digits.
CString extractAlnumRun(const CString& text);
// The name a page uses for a key code in its key bindings.
CString keyName(int keyCode);

// --- colours -------------------------------------------------------------------
// Six lower-case hex digits of one of the 17 CSS colour names (exact case),
// or the empty text.
CString colorFromName(const CString& name);
// "RRGGBB" (at most six digits read) as a colour word 0x00BBGGRR; 0 for "".
Color parseHex(const CString& text);
// "#RRGGBB" or a colour name. On success sets `color` and returns true;
// otherwise `color` is untouched. `text` is rewritten in place to the hex
// digits it was read from.
bool parseColor(CString& text, Color& color);

// --- code pages ------------------------------------------------------------------
// Narrow text from one code page to another, through UTF-16.
std::string convertCodePage(std::string_view text, int fromCodePage, int toCodePage);

// --- URLs ----------------------------------------------------------------------
// Percent-encoding as form parameters are sent: letters, digits and
// "-_.!~*'()" stay, a blank becomes '+', everything else is its UTF-8 bytes
// as "%XX" (a surrogate pair as one 4-byte sequence).
CString urlEncode(const CString& text);
// Sets parameter `name` in the query of `url`: replaces the value of a
// parameter of exactly that name, or appends "name=value". A "#" fragment
// stays last.
CString setUrlParam(const CString& url, const CString& name, const CString& value);
// As setUrlParam, for URLs whose fragment may stand anywhere; the fragment is
// kept last. An empty URL or name gives the URL unchanged.
CString setUrlParamKeepFragment(const CString& url, const CString& name, const CString& value);

// --- folders and hosts -------------------------------------------------------------
enum class PathConfinement { Any, Confined };
// Creates every missing folder of `path`, a device path ('\' or '/'
// separated) mapped through the current device (DeviceFiles::current());
// false without one. True when the folder exists afterwards. A name
// without a separator creates nothing and gives true. With Confined, a path
// with ".." or an absolute path is refused.
bool makeDirectories(const CString& path, PathConfinement confinement = PathConfinement::Any);

// Parses a ','-separated host list, appending each record that parses with
// its label "主站( name )" and result -1. True when `hosts` is not empty.
bool parseHostList(const CString& text, std::vector<HostRecord>& hosts);
// Index of the last record equal to `record`, or -1.
int findHostIndex(const std::vector<HostRecord>& hosts, const HostRecord& record);

}  // namespace zq
