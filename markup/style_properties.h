// CSS declarations: the one place where a property name and its value text
// change a Style.
//
// Names are matched in two ways: the router (applyStyleDeclaration) tests
// prefixes and aliases without regard to case, while the groups find long
// names by a case-sensitive search, so long names work in lower case only
// ("FONT-COLOR" reaches the font group and changes nothing). The prefixes
// "focus-" and "foc-" send a declaration to the focused sub-style (property
// 1); a style without one ignores it.
//
// Values: a colour is "#" followed by hex digits (the first character of a
// value holding "#" is dropped; at most six digits are read as RRGGBB, no
// three-digit shorthand: "#f00" is 0x000F00) or one of the 17 colour names
// in lower case; colours are words 0x00BBGGRR. Decimal values are digits
// only. A value that does not fit, an unknown name or keyword leaves the
// style as it was; nothing is reported.
//
// Ownership: fonts come from the font cache (getFont) and are shared;
// backgrounds, borders and property values a declaration creates belong to
// the style. UI thread only, like the styles it changes.
#pragma once

#include <cstdint>

#include "platform/cstring.h"
#include "platform/geometry.h"

namespace zq {

class Style;
using PropertyId = uint16_t;

// Applies one declaration. A null style or an empty name changes nothing.
void applyStyleDeclaration(Style* style, const CString& name, const CString& value);

// The hex text of a colour value, empty when it is no colour.
CString colorValueText(const CString& value);
// The colour of a value; false (and `colour` untouched) when it is no colour.
bool readStyleColor(const CString& value, Color& colour);

// A value of digits only, read as a decimal number (saturating, clamped to
// 0..4096 as it becomes a size or count); false when it is not.
bool readDecimalNumber(const CString& value, int& number);
// A value of hex digits only, read by its leading decimal digits ("1a" is
// 1, "a1" is 0), clamped as above; false when it is not all hex digits.
bool readHexClassNumber(const CString& value, int& number);
// Stores a number or colour under `id` in the kind the property table
// gives the id (plain integer, boxed integer or StyleValue; a plain integer
// for an id it does not list). An id of another kind is left alone.
void storeStyleNumber(Style& style, PropertyId id, int32_t number);

// The folder, relative to the program folder, that "file://" image paths
// of style sheets are found in.
inline constexpr char16_t kStyleResourceFolder[] = u"ZQ Resource\\";
// A "background-image" value as an image path: with "file://" the seven
// characters are dropped, "/" becomes "\" and the resource folder is put in
// front; other values stand as they are.
CString resolveStyleImagePath(const CString& value);

// The groups that build objects; each is called by applyStyleDeclaration
// with a non-empty name.
// "font-style"/"fs" (bold: weight 900 on the style and its focused
// sub-style; underline: kLinkUnderline), "font-size"/"fi" (large, small or
// the base size of the screen metrics), "font-color"/"fc".
void applyFontDeclaration(Style& style, const CString& name, const CString& value);
// "background-color"/"bc", "background-image"/"bi", "background-repeat"/"br".
void applyBackgroundDeclaration(Style& style, const CString& name, const CString& value);
// "border-width"/"brw", "border-style"/"brs", "border-color"/"brc".
void applyBorderDeclaration(Style& style, const CString& name, const CString& value);

}  // namespace zq
