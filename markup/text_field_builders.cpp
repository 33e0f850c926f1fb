#include "markup/text_field_builders.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "core/string_utils.h"
#include "core/xml_parser.h"
#include "items/text_field.h"
#include "markup/encoder.h"
#include "markup/markup_page.h"
#include "markup/style_sheet.h"
#include "ui/client_context.h"
#include "ui/default_styles.h"
#include "ui/style.h"

namespace zq {

namespace {

constexpr int32_t kDefaultMaxSize = 20;
constexpr int32_t kDefaultLabelLength = 4;
constexpr float kEditWidth = 120.0f;
constexpr float kEditWidthSlack = 6.0f;

// A digits-only attribute: saturated, at most kMaxMarkupSize, else `fallback`.
int32_t digitsAttribute(const CString& text, int32_t fallback) {
    const std::optional<int32_t> value = parseDigits(text);
    return value ? clampSize(*value) : fallback;
}

// Page font first, then the element-kind rule, then the "class" text.
Style* styleEdit(MarkupPage& page, Style* style, const CString& classText) {
    if (const FontRef& font = page.pageFont()) {
        style->font = font;
        if (Style* focused = style->getStyleProperty(prop::kFocusedStyle)) focused->font = font;
    }
    applyStyleClass(style, CString(u"edit"));
    return applyInlineStyle(page, style, classText);
}

// The colour a style's rules set, if they set one.
std::optional<Color> setColour(const Style& style) {
    if (!style.colorValue) return std::nullopt;
    return style.getColor();
}

// The page's own look into `look`: the rules of the body element around
// `node` (its kind, then its class).
void pageLook(MarkupPage& page, const XmlParser& node, Style& look) {
    CString kind(u"body");
    CString classText;
    const XmlElementPos* at = node.element(node.currentNode());
    for (int depth = 0; at && at->parent > 0 && depth < XmlParser::kMaxDepth; ++depth) {
        const int parent = at->parent;
        const CString tag = node.getNodeTagName(parent);
        const bool tab = tagIs(tag, u"tabbody", u"ty");
        if (tab || tagIs(tag, u"body", u"by")) {
            if (tab) kind = CString(u"tabbody");
            classText = node.getNodeAttrib(parent, CString(u"class"));
            if (classText.isEmpty()) classText = node.getNodeAttrib(parent, CString(u"cl"));
            break;
        }
        at = node.element(parent);
    }
    applyStyleClass(&look, kind);
    applyInlineStyle(page, &look, classText);
}

}  // namespace

std::optional<Color> pageTextColour(MarkupPage& page, const XmlParser& node) {
    Style look;
    pageLook(page, node, look);
    return setColour(look);
}

void colourLabel(MarkupPage& page, const XmlParser& node, Item& item, const Style* own) {
    Item* label = item.getLabelItem();
    if (!label) return;
    std::optional<Color> colour = own ? setColour(*own) : std::nullopt;
    if (!colour) {
        Style look;
        pageLook(page, node, look);
        colour = setColour(look);
    }
    if (!colour) return;
    // The shared default label style is never changed: the label gets its own.
    Style* style = label->getStyle();
    if (!style || style == defaultLabelStyle()) {
        Style* fresh = createLabelStyle();
        if (style) fresh->font = style->font;
        style = fresh;
    }
    style->color = *colour;
    style->colorValue = StyleValue(static_cast<int32_t>(*colour));
    label->setStyle(style);
}

uint32_t editTypeFlags(const CString& type) {
    uint32_t flags = 0;
    for (CString part : splitByString(CString(u"|"), type)) {
        part.trim();
        if (part.equalsNoCase(CString(u"num"))) flags |= kConstraintNumeric;
        if (part.equalsNoCase(CString(u"pwd"))) flags |= kConstraintPassword;
    }
    return flags;
}

Item* buildEdit(MarkupPage& page, XmlParser& node, Item* parent) {
    // 1. Attributes.
    const CString name = getAttribute(node, u"name", u"n");
    const CString visible = getAttribute(node, u"visible", u"vb");
    const int32_t maxSize = digitsAttribute(getAttribute(node, u"maxsize", u"ms"), kDefaultMaxSize);
    const CString label = getAttribute(node, u"label", u"l");
    const CString id = getAttribute(node, u"id");
    CString value = getAttribute(node, u"value", u"v");
    const CString classText = getAttribute(node, u"class", u"cl");
    const CString tip = getAttribute(node, u"tip");
    const CString type = getAttribute(node, u"type", u"t");
    const CString maxValue = getAttribute(node, u"maxvalue", u"mv");
    const CString onchange = getAttribute(node, u"onchange", u"ch");
    const CString onlosefocus = getAttribute(node, u"onlosefocus", u"lf");
    const CString onfocus = getAttribute(node, u"onfocus", u"of");
    const CString encrypt = getAttribute(node, u"encrypt", u"e");
    const bool staticCrypt = parseYesNo(getAttribute(node, u"staticcrypt", u"stc")) == true;
    const CString limit = getAttribute(node, u"limit", u"lt");
    const int32_t minHeight = digitsAttribute(getAttribute(node, u"minheight", u"mh"), 0);
    const int32_t labelLength =
        digitsAttribute(getAttribute(node, u"labellength", u"ll"), kDefaultLabelLength);

    // 2. System references, then the value as the field shows it (decoded
    // when it came encoded).
    value = decodeFieldValue(page.expandSystemValues(value), staticCrypt, encrypt);

    // 3-4. The field.
    Style* style = createTextFieldStyle();
    auto field = std::make_unique<TextField>(label, value, maxSize, editTypeFlags(type), style);

    // 5-7. What the page and the form read of it.
    field->setStoredValue(value);
    field->setValueDecoded(staticCrypt);
    field->setRuleText(limit);
    field->setMinHeight(minHeight);
    field->setStyle(styleEdit(page, style, classText));
    colourLabel(page, node, *field);
    const bool encrypted = parseYesNo(encrypt) == true;
    field->setEncrypt(encrypted ? encrypt : CString(u"false"));
    field->setId(id);
    field->setFormName(name);
    field->setTipText(tip);
    const float scale = screenMetrics().scale;
    field->setMinWidth(static_cast<int>(kEditWidth * scale - kEditWidthSlack));
    field->setMaxWidth(static_cast<int>(kEditWidth * scale));
    field->setLabelLength(labelLength);
    if (parseYesNo(visible) == false) field->setVisible(false);
    field->setMaxValue(maxValue);
    field->setChangeAction(onchange);
    field->setLoseFocusAction(onlosefocus);
    field->setFieldFocusAction(onfocus);
    field->setEventListener(page.host());

    // 8. The page keeps it.
    return parent ? page.adoptControl(std::move(field)) : page.registerControl(std::move(field));
}

}  // namespace zq
