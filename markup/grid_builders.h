// Builders of the composite elements "grilmenu"/"gm" (a grid of image cells)
// and "affixImg" (a verification picture with its refresh button). Both are
// always registered with the page and answer null. UI thread.
#pragma once

namespace zq {

class Item;
class MarkupPage;
class XmlParser;

Item* buildGridMenu(MarkupPage& page, XmlParser& node, Item* parent);
Item* buildAffixImage(MarkupPage& page, XmlParser& node, Item* parent);

}  // namespace zq
