// Builders of the composite elements "grilmenu"/"gm" (a grid of image cells)
// and "affixImg" (a verification picture with its refresh button). At page
// level both register with the page and answer null; inside a tab page or a
// tree node (a non-null parent) the page keeps the item for the enclosing
// builder, which places it, and it is answered. UI thread.
#pragma once

namespace zq {

class Item;
class MarkupPage;
class XmlParser;

Item* buildGridMenu(MarkupPage& page, XmlParser& node, Item* parent);
Item* buildAffixImage(MarkupPage& page, XmlParser& node, Item* parent);

}  // namespace zq
