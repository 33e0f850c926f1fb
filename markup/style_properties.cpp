#include "markup/style_properties.h"

#include <array>
#include <memory>

#include "core/string_utils.h"
#include "ui/background.h"
#include "ui/border.h"
#include "ui/style.h"

namespace zq {

namespace {

// Each "focus-" level shortens the name, so the depth is bounded by the
// name's length; this bound keeps a huge name off the stack.
constexpr int kMaxFocusDepth = 16;

bool is(const CString& name, const char16_t* a, const char16_t* b) {
    return name.equalsNoCase(a) || name.equalsNoCase(b);
}

bool startsWith(const CString& name, std::u16string_view prefix) {
    return startsWithNoCase(name.view(), prefix);
}

// "name contains the long name (case-sensitive) or is the alias".
bool containsOrIs(const CString& name, const char16_t* longName, const char16_t* alias) {
    return name.view().find(longName) != std::u16string_view::npos || name.equalsNoCase(alias);
}

void storeColorProperty(Style& style, PropertyId id, const CString& value) {
    Color colour = 0;
    if (readStyleColor(value, colour)) storeStyleNumber(style, id, static_cast<int32_t>(colour));
}

// --- table, status and menu groups -------------------------------------------------

enum class TableValue { Flag, RowType, Colour };

struct ExactTableName {
    const char16_t* longName;
    const char16_t* alias;
    PropertyId id;
    TableValue form;
};

constexpr std::array<ExactTableName, 6> kExactTableNames = {{
    {u"table-vertical-line", u"tvl", prop::kTableVerticalLines, TableValue::Flag},
    {u"table-row-choice", u"trc", prop::kFocusedRowHighlight, TableValue::Flag},
    {u"table-horizontal-line", u"thl", prop::kTableHorizontalLines, TableValue::Flag},
    {u"table-row-cbg", u"trb", prop::kFocusedRowColor, TableValue::Colour},
    {u"table-row-type", u"trt", prop::kTableRowType, TableValue::RowType},
    {u"table-row-line-color", u"trlc", prop::kTableRowLineColor, TableValue::Colour},
}};

struct NamedColour {
    const char16_t* longName;
    const char16_t* alias;
    PropertyId id;
};

// Tested in this order by "contains the long name or is the alias".
constexpr std::array<NamedColour, 8> kTableColours = {{
    {u"table-head-color", u"thc", prop::kHeadBackColor},
    {u"table-head-fc", u"thfc", prop::kTableHeadTextColor},
    {u"table-odd-color", u"toc", prop::kOddRowColor},
    {u"table-even-color", u"tec", prop::kEvenRowColor},
    {u"table-cell-bc", u"tcb", prop::kTableCellBackColor},
    {u"table-line-color", u"tlc", prop::kTableGridColor},
    {u"table-scroll-color", u"tsc", prop::kTableArrowColor},
    {u"table-head-fcolor", u"thfc", prop::kTableHeadTextColor},
}};

void applyTableDeclaration(Style& style, const CString& name, const CString& value) {
    for (const ExactTableName& entry : kExactTableNames) {
        if (!is(name, entry.longName, entry.alias)) continue;
        switch (entry.form) {
            case TableValue::Flag:
                storeStyleNumber(style, entry.id, value.equalsNoCase(u"true") ? 1 : 0);
                break;
            case TableValue::RowType:
                storeStyleNumber(style, entry.id, value.equalsNoCase(u"line") ? 1 : 0);
                break;
            case TableValue::Colour:
                storeColorProperty(style, entry.id, value);
                break;
        }
        return;
    }
    for (const NamedColour& entry : kTableColours) {
        if (containsOrIs(name, entry.longName, entry.alias)) {
            storeColorProperty(style, entry.id, value);
            return;
        }
    }
}

void applyStatusDeclaration(Style& style, const CString& name, const CString& value) {
    if (containsOrIs(name, u"status-bgc", u"sbc")) {
        storeColorProperty(style, prop::kTipBoxColor, value);
    } else if (containsOrIs(name, u"status-fcolor", u"sfc")) {
        storeColorProperty(style, prop::kStatusTextColor, value);
    }
}

void applyMenuDeclaration(Style& style, const CString& name, const CString& value) {
    if (containsOrIs(name, u"menu-bgc", u"mbc")) {
        Color colour = 0;
        if (readStyleColor(value, colour)) {
            setStyleProperty(&style, prop::kSoftKeyMenuBackground,
                             Held<Background>(std::make_unique<ColorBackground>(colour)));
        }
    } else if (containsOrIs(name, u"menu-fcolor", u"mfc")) {
        storeColorProperty(style, prop::kMenuTextColor, value);
    }
}

// --- combo box parts -------------------------------------------------------------------

// The object under `id` when the style owns it; a shared one is never
// changed in place, since other styles see it too.
template <class T>
T* ownedObjectProperty(const Style& style, PropertyId id) {
    const PropertyValue* value = style.findProperty(id);
    const Held<T>* held = value ? std::get_if<Held<T>>(value) : nullptr;
    return held && !held->isShared() ? held->get() : nullptr;
}

bool applyComboDeclaration(Style& style, const CString& name, const CString& value) {
    if (is(name, u"cbobrw", u"cbo-br-w")) {
        int width = 0;
        if (!readHexClassNumber(value, width)) return true;
        if (Border* border = ownedObjectProperty<Border>(style, prop::kDropBorder)) {
            border->setWidth(width);
        } else {
            setStyleProperty(&style, prop::kDropBorder,
                             Held<Border>(std::make_unique<LineBorder>(0xFFFFFF, width)));
        }
        return true;
    }
    Color colour = 0;
    if (is(name, u"cbobrc", u"cbo-br-c")) {
        if (!readStyleColor(value, colour)) return true;
        if (Border* border = ownedObjectProperty<Border>(style, prop::kDropBorder)) {
            border->setColour(colour);
        } else {
            setStyleProperty(&style, prop::kDropBorder,
                             Held<Border>(std::make_unique<LineBorder>(colour, 2)));
        }
        return true;
    }
    if (is(name, u"cbobgc", u"cbo-bg-c")) {
        if (!readStyleColor(value, colour)) return true;
        if (Background* back = ownedObjectProperty<Background>(style, prop::kDropBackground)) {
            back->setColour(colour);
        } else {
            setStyleProperty(&style, prop::kDropBackground,
                             Held<Background>(std::make_unique<ColorBackground>(colour, true)));
        }
        return true;
    }
    return false;
}

constexpr std::array<NamedColour, 5> kSingleColours = {{
    {u"cbo-sc", u"cbosc", prop::kThumbColor},
    {u"cbo-sbc", u"cbosbc", prop::kTrackColor},
    {u"gril-foc-brc", u"gfbrc", prop::kGridFrameColor},
    {u"rado-fill-color", u"rfc", prop::kDiscColor},
    {u"rado-fill-in-color", u"rfic", prop::kDotColor},
}};

// --- routing -----------------------------------------------------------------------------

constexpr std::array<const char16_t*, 13> kTableAliases = {
    u"toc", u"thc", u"tcb", u"tec",  u"tsc",  u"tlc", u"trc",
    u"tvl", u"thl", u"trb", u"trlc", u"thfc", u"trt",
};

bool isTableName(const CString& name) {
    if (startsWith(name, u"table")) return true;
    for (const char16_t* alias : kTableAliases) {
        if (name.equalsNoCase(alias)) return true;
    }
    return false;
}

void applyDeclaration(Style& style, const CString& name, const CString& value, int depth);

// "focus-x" / "foc-x" apply "x" to the focused sub-style, if there is one.
void applyFocusDeclaration(Style& style, const CString& name, const CString& value, int depth) {
    Style* focused = style.getStyleProperty(prop::kFocusedStyle);
    if (!focused || depth >= kMaxFocusDepth) return;
    CString inner;
    if (name.view().find(u"focus") != std::u16string_view::npos) {
        inner = name.mid(6);
    } else if (name.view().find(u"foc-") != std::u16string_view::npos) {
        inner = name.mid(4);
    } else {
        return;  // the prefix matched only in another case
    }
    applyDeclaration(*focused, inner, value, depth + 1);
}

void applyAlignment(Style& style, const CString& value, const char16_t* first, uint32_t firstBits,
                    const char16_t* second, uint32_t secondBits) {
    uint32_t bits = 0;
    if (value.view().find(first) != std::u16string_view::npos) bits = firstBits;
    if (value.view().find(second) != std::u16string_view::npos) bits = secondBits;
    style.flags |= bits;
}

// Steps 1-21 of the routing: the first test that matches decides.
void applyDeclaration(Style& style, const CString& name, const CString& value, int depth) {
    if (name.isEmpty()) return;
    if (startsWith(name, u"font") || is(name, u"fi", u"fs") || is(name, u"fc", u"ff")) {
        applyFontDeclaration(style, name, value);
    } else if (name.equalsNoCase(u"line-space")) {
        // accepted, no effect
    } else if (is(name, u"ti", u"text-indent")) {
        int indent = 0;
        if (readDecimalNumber(value, indent)) storeStyleNumber(style, prop::kIndentCount, indent);
    } else if (startsWith(name, u"background") || is(name, u"bi", u"bc") ||
               name.equalsNoCase(u"br")) {
        applyBackgroundDeclaration(style, name, value);
    } else if (is(name, u"c", u"color")) {
        Color colour = 0;
        if (readStyleColor(value, colour)) style.colorValue = StyleValue(colour);
    } else if (is(name, u"an", u"align")) {
        applyAlignment(style, value, u"right", 2, u"center", 4);
    } else if (is(name, u"va", u"vertical-align")) {
        applyAlignment(style, value, u"middle", 48, u"bottom", 32);
    } else if (startsWith(name, u"border") || is(name, u"brs", u"brw") ||
               is(name, u"brc", u"brsc")) {
        applyBorderDeclaration(style, name, value);
    } else if (is(name, u"h", u"height") || is(name, u"w", u"width")) {
        // accepted, no effect
    } else if (isTableName(name)) {
        applyTableDeclaration(style, name, value);
    } else if (is(name, u"lp", u"line-type")) {
        storeStyleNumber(style, prop::kSeparatorPenStyle, value.equalsNoCase(u"dashed") ? 1 : 0);
    } else if (startsWith(name, u"focus") || startsWith(name, u"foc-")) {
        applyFocusDeclaration(style, name, value, depth);
    } else if (startsWith(name, u"status") || is(name, u"sfc", u"sbc") ||
               name.equalsNoCase(u"sfs")) {
        applyStatusDeclaration(style, name, value);
    } else if (startsWith(name, u"menu") || is(name, u"mbc", u"mfs") || name.equalsNoCase(u"mfc")) {
        applyMenuDeclaration(style, name, value);
    } else if (is(name, u"gls", u"grilmenu-lsize")) {
        storeColorProperty(style, prop::kTipBoxColor, value);
    } else if (startsWith(name, u"grilmenu-lsize") || startsWith(name, u"gls")) {
        int columns = 0;
        if (readHexClassNumber(value, columns))
            storeStyleNumber(style, prop::kColumnCount, columns);
    } else if (applyComboDeclaration(style, name, value)) {
        // handled
    } else {
        for (const NamedColour& entry : kSingleColours) {
            if (is(name, entry.longName, entry.alias)) {
                storeColorProperty(style, entry.id, value);
                return;
            }
        }
    }
}

}  // namespace

void applyStyleDeclaration(Style* style, const CString& name, const CString& value) {
    if (!style) return;
    applyDeclaration(*style, name, value, 0);
}

}  // namespace zq
