// The "table"/"ta" and "simpletable"/"sta" elements: tables whose cells
// stand in the page. Both read their head from the first "th" child and
// their rows from "tr" children; a "command"/"cmd" child is the table's
// soft-key tree.
//
// Bad shapes build what they can: rows shorter than the widest are padded
// with empty cells, cells past the head are dropped, an empty cell element
// keeps its column. UI thread.
#pragma once

#include <vector>

#include "markup/element_dispatch.h"

namespace zq {

class Item;
class MarkupPage;
class XmlParser;

// One row of cells and the row's own action.
struct TableRowRecord {
    std::vector<LinkRecord> cells;
    CString action;
};

// The cells of the element the parser is on (a "th" or "tr"): each child
// element is a cell with its own trimmed text; a child without text gives a
// cell per non-empty "text"/"tx" child, or one empty cell. With `head` the
// "classcolum"/"clm" text is read too.
std::vector<LinkRecord> readTableCells(const MarkupPage& page, XmlParser& node, bool head);

// Builders with (page, node on the element, enclosing control or null).
Item* buildTable(MarkupPage& page, XmlParser& node, Item* parent);
Item* buildSimpleTable(MarkupPage& page, XmlParser& node, Item* parent);

}  // namespace zq
