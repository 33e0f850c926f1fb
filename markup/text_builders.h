// Builders of the zqml text elements: "text"/"tx", "a", "br", "hr",
// "nobr"/"nbr", "ul", "button"/"bt", "progressbar" and "marquee"/"mq".
//
// Each builder reads its element (the parser positioned on it), builds one
// item with its default style, styles it (the layers of
// markup/style_sheet.h), attaches its actions and hands it to the page:
//   - parent null: registered (MarkupPage::registerControl), so the "body"
//     element appends it to the page's form in build order;
//   - parent given: adopted (MarkupPage::adoptControl); the enclosing
//     builder places it and takes it with MarkupPage::releaseControl.
// The returned item stays owned by the page until it is placed; controls
// never placed are freed with the page. Builders report nothing: unknown
// attributes and children are ignored, missing ones take their defaults.
//
// An "a" element's children are built while its link is open, so their
// "text" children become links to it. The open link and the items of one
// "a" are local to that builder call: a nested "a" neither closes the
// outer link nor loses items.
//
// Threads: UI thread, one page at a time per page object.
#pragma once

#include <vector>

#include "platform/cstring.h"

namespace zq {

class Item;
class MarkupPage;
class XmlParser;

// "text"/"tx": a StringItem, or inside an "a" a HyperlinkItem to the open
// link. Null when the trimmed text is empty.
Item* buildText(MarkupPage& page, XmlParser& node, Item* parent);

// "a": the link items of the element (its own text as one link, else its
// children). At page level each is registered and the result is null; with
// a parent, one item comes back as itself and several in one
// InlineContainer.
Item* buildLink(MarkupPage& page, XmlParser& node, Item* parent);

// The items of an "a" element, adopted by the page, in order; for the
// builders that place them one by one ("nobr", "ul").
std::vector<Item*> buildLinkItems(MarkupPage& page, XmlParser& node);

// "br": a spacer as wide as the page's line, "height" (digits only) or 14
// pixels high.
Item* buildLineBreak(MarkupPage& page, XmlParser& node, Item* parent);

// "hr": a rule "thickness" (digits only, default 1) pixels thick.
Item* buildRule(MarkupPage& page, XmlParser& node, Item* parent);

// "nobr"/"nbr": an InlineContainer of the built children.
Item* buildNoBreak(MarkupPage& page, XmlParser& node, Item* parent);

// "ul": a ListContainer of the "a" and "text" children (also those inside
// "li"): every link item first, then every text item.
Item* buildList(MarkupPage& page, XmlParser& node, Item* parent);

// "button"/"bt": a ButtonItem with its actions and the soft keys of its
// last "command" child; at least 75 x 23 pixels times the screen scale.
Item* buildButton(MarkupPage& page, XmlParser& node, Item* parent);

// "progressbar": an editable bar of "value" (default 60) of "maxvalue"
// (default 100).
Item* buildProgressBar(MarkupPage& page, XmlParser& node, Item* parent);

// "marquee"/"mq": a MarqueeItem showing the text looked up by its "id"
// (else "defaultStr"), kept by the page but never registered: the "body"
// makes the last one its screen's marquee. Null while the settings value
// "sys-marquee" is "hide" (any case).
Item* buildMarquee(MarkupPage& page, XmlParser& node, Item* parent);

// "img": an ImageItem, or inside "a" an image link. A remote picture of a
// plain image is requested when the item is shown and arrives as a reply of
// the page; other sources are loaded at once (markup/image_source.h).
Item* buildImage(MarkupPage& page, XmlParser& node, Item* parent);

}  // namespace zq
