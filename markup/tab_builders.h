// Builders of the elements that arrange other elements into pages or a
// hierarchy: "tabbody" (the whole screen as a TabbedForm), "tab" (a TabItem
// among the page's items) and "tree" with its tree items.
//
// The content of each tab page is built through the element table with a
// placeholder parent, so nothing registers itself with the page; the builder
// collects the items in build order and hands each page exactly the items
// built for it. All lists are local to one builder call, so nested tabs lose
// nothing. UI thread.
#pragma once

namespace zq {

class Item;
class MarkupPage;
class XmlParser;

// "tabbody"/"ty": makes a TabbedForm the page's screen.
void buildTabBody(MarkupPage& page, XmlParser& node);
// "tab": a TabItem, registered at page level, else adopted for `parent`.
Item* buildTab(MarkupPage& page, XmlParser& node, Item* parent);
// "tree"/"te": a TreeContainer whose children are all tree items.
Item* buildTree(MarkupPage& page, XmlParser& node, Item* parent);

}  // namespace zq
