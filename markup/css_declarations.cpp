// Values and the declaration groups that build fonts, backgrounds and
// borders.
#include <memory>

#include "core/string_utils.h"
#include "markup/style_properties.h"
#include "platform/font.h"
#include "ui/background.h"
#include "ui/border.h"
#include "ui/client_context.h"
#include "ui/style.h"

namespace zq {

namespace {

constexpr int kMaxStyleNumber = 4096;
constexpr int kBoldWeight = 900;
constexpr int kDefaultBorderWidth = 2;
constexpr Color kBlack = 0x000000;

// Leading decimal digits, saturated at kMaxStyleNumber.
int leadingDecimal(const CString& value) {
    int number = 0;
    for (char16_t c : value.view()) {
        if (c < u'0' || c > u'9') break;
        number = number * 10 + (c - u'0');
        if (number > kMaxStyleNumber) return kMaxStyleNumber;
    }
    return number;
}

bool contains(const CString& text, const char16_t* word) {
    return text.view().find(word) != std::u16string_view::npos;
}

bool is(const CString& name, const char16_t* alias) { return name.equalsNoCase(alias); }

}  // namespace

// --- values ----------------------------------------------------------------------------

CString colorValueText(const CString& value) {
    CString text = value;
    Color unused = 0;
    return parseColor(text, unused) ? text : CString();
}

bool readStyleColor(const CString& value, Color& colour) {
    CString text = value;
    return parseColor(text, colour);
}

bool readDecimalNumber(const CString& value, int& number) {
    if (!isDecimalDigits(value)) return false;
    number = leadingDecimal(value);
    return true;
}

bool readHexClassNumber(const CString& value, int& number) {
    if (!isHexDigits(value)) return false;
    number = leadingDecimal(value);
    return true;
}

void storeStyleNumber(Style& style, PropertyId id, int32_t number) {
    const std::optional<PropertyKind> kind = declaredKind(id);
    if (!kind || *kind == PropertyKind::Integer) {
        setStyleProperty(&style, id, number);
    } else if (*kind == PropertyKind::IntValue) {
        setStyleProperty(&style, id, StyleIntValue(number));
    } else if (*kind == PropertyKind::StyleValue) {
        setStyleProperty(&style, id, StyleValue(number));
    }
}

CString resolveStyleImagePath(const CString& value) {
    if (!contains(value, u"file://")) return value;
    CString path = value.mid(7);
    path.replace(u'/', u'\\');
    return CString(kStyleResourceFolder) + path;
}

// --- fonts ---------------------------------------------------------------------------

void applyFontDeclaration(Style& style, const CString& name, const CString& value) {
    const int base = screenMetrics().baseFontSize;
    if (contains(name, u"font-style") || is(name, u"fs")) {
        if (value.equalsNoCase(u"bold")) {
            const int height = style.font ? style.font->height() : base;
            FontRef bold = getFont(height, kBoldWeight);
            style.font = bold;
            if (Style* focused = style.getStyleProperty(prop::kFocusedStyle)) focused->font = bold;
        } else if (value.equalsNoCase(u"underline")) {
            setStyleProperty(&style, prop::kLinkUnderline, 1);
        }
    } else if (contains(name, u"font-size") || is(name, u"fi")) {
        // Numbers are not read: any other word gives the base size.
        double height = base;
        if (value.equalsNoCase(u"large")) {
            height = base * 1.23;
        } else if (value.equalsNoCase(u"small")) {
            height = base * 0.83;
        }
        // As with bold: a focused control keeps the size it had.
        FontRef sized = getFont(static_cast<int>(height));
        style.font = sized;
        if (Style* focused = style.getStyleProperty(prop::kFocusedStyle)) focused->font = sized;
    } else if (contains(name, u"font-color") || is(name, u"fc")) {
        Color colour = 0;
        if (!readStyleColor(value, colour)) return;
        style.colorValue = StyleValue(static_cast<int32_t>(colour));
        style.color = colour;
    }
}

// --- backgrounds -------------------------------------------------------------------------

void applyBackgroundDeclaration(Style& style, const CString& name, const CString& value) {
    if (contains(name, u"background-color") || is(name, u"bc")) {
        Color colour = 0;
        if (readStyleColor(value, colour)) {
            style.setBackground(std::make_unique<ColorBackground>(colour));
        }
    } else if (contains(name, u"background-image") || is(name, u"bi")) {
        if (value.isEmpty()) return;
        const CString path = resolveStyleImagePath(value);
        if (auto* image = dynamic_cast<ImageBackground*>(style.background())) {
            image->setImagePath(path);
        } else {
            style.setBackground(std::make_unique<ImageBackground>(path, ImageRepeat::Tile));
        }
    } else if (contains(name, u"background-repeat") || is(name, u"br")) {
        const ImageRepeat mode =
            value.equalsNoCase(u"stretch") ? ImageRepeat::Stretch : ImageRepeat::Tile;
        Background* previous = style.background();
        if (auto* image = dynamic_cast<ImageBackground*>(previous)) {
            image->setKind(mode);
            return;
        }
        auto image = std::make_unique<ImageBackground>(CString(), mode);
        if (previous) {
            image->setWidth(previous->width());
            image->setColour(previous->colour());
        }
        style.setBackground(std::move(image));
    }
}

// --- borders -------------------------------------------------------------------------------

void applyBorderDeclaration(Style& style, const CString& name, const CString& value) {
    if (contains(name, u"border-width") || is(name, u"brw")) {
        int width = kDefaultBorderWidth;
        readDecimalNumber(value, width);
        if (Border* border = style.border()) {
            border->setWidth(width);
        } else {
            style.setBorder(std::make_unique<LineBorder>(kBlack, width));
        }
    } else if (contains(name, u"border-style") || is(name, u"brs")) {
        Color colour = kBlack;
        int width = kDefaultBorderWidth;
        if (const Border* border = style.border()) {
            colour = border->colour();
            width = border->width();
        }
        if (contains(value, u"round")) {
            style.setBorder(std::make_unique<RoundRectBorder>(colour, width, 5, 5));
        } else if (value.equalsNoCase(u"rect")) {
            style.setBorder(std::make_unique<LineBorder>(colour, width));
        } else {
            style.setBorder(Held<Border>());
        }
    } else if (contains(name, u"border-color") || is(name, u"brc")) {
        Color colour = 0;
        if (!readStyleColor(value, colour)) return;
        if (!style.border()) {
            style.setBorder(std::make_unique<LineBorder>(kBlack, kDefaultBorderWidth));
        }
        style.border()->setColour(colour);
    }
}

}  // namespace zq
