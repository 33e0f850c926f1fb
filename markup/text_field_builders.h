// The builder of the zqml text input element "edit"/"ed": a TextField with
// its value (system references expanded), type flags ("any", "num", "pwd"
// joined by '|'), input rule ("limit"), actions and sizes. Digits-only
// attributes that are not digits take their defaults; sizes saturate and
// stay within kMaxMarkupSize.
//
// Follows the builder rules of markup/text_builders.h (registration,
// styling, visibility). UI thread.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/cstring.h"
#include "platform/geometry.h"

namespace zq {

class Item;
class MarkupPage;
class Style;
class XmlParser;

Item* buildEdit(MarkupPage& page, XmlParser& node, Item* parent);

// The type flags of an "edit" "type" text; unknown words add nothing.
uint32_t editTypeFlags(const CString& type);

// Colours the label of `item` (a field's label, a group's caption) like the
// page it stands on: with `own` the control's own text colour when its
// rules or class set one, else the page's: the rules of the "body" (or
// "tabbody") element around `node` and of its class. A label stays in the
// default label colour when neither is set.
void colourLabel(MarkupPage& page, const XmlParser& node, Item& item, const Style* own = nullptr);

// The text colour the rules of the "body" (or "tabbody") element around
// `node` and of its class set, if they set one.
std::optional<Color> pageTextColour(MarkupPage& page, const XmlParser& node);

}  // namespace zq
