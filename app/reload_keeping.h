// What a reload keeps of the page it replaces: the values of fields the
// user changed since the page was shown (in a form or not), the focused item
// (a table's focused row, a text field's input mode and caret, the tab pages
// and tree nodes it sits in) and the scroll offset, where the new page has
// them. An item is known by what it is, never by its place alone: a press
// acts on the item it was pressed on, whatever a reload moved.
//
// UI thread only: it reads and changes screens and their items.
#pragma once

#include <optional>
#include <utility>
#include <vector>

#include "app/same_record.h"
#include "platform/cstring.h"

namespace zq {

class Item;
class Screen;
struct PageEntry;
class PageRequests;

// The values of a page's fields: form by form and field by field, then the
// fields of no form in the order of the page.
std::vector<CString> formFieldValues(PageEntry& entry);

// What the user did on a page, for the page that reloads it.
struct KeptPage {
    // A field is known by its form (its id, else its name, and its rank
    // among the page's forms of that id or name; a form with neither by its
    // rank among such forms; the fields of no form as one more) and by its
    // name; a name the form repeats (one field per stock) also by the
    // record it is for, the text before it on its line; then by its rank
    // among the fields of that name and record in the form.
    struct Field {
        CString formKey;
        int formRank = 0;
        CString name;
        int nameRank = 0;
        CString value;
        CString record;
    };
    // The fields whose value the user changed since the page was shown.
    std::vector<Field> changed;
    // Child indexes from the content down to the focused item; empty: none.
    std::vector<int> focusPath;
    // What tells the focused item from others (itemKey), without a
    // table's row.
    CString focusKey;
    // The focus key without the prices it carries, where no other item of
    // the page has it: such an item is itself whatever its price.
    CString focusShape;
    // A focused table's row and column and its rows as they were; -1 when
    // the focus is not inside a table.
    int tableRow = -1;
    int tableColumn = -1;
    TableRows rows;
    // A focused text field's input mode and caret, -1 for other items.
    int inputMode = -1;
    int caret = -1;
    // The soft keyboard was up: one the user closed stays closed.
    bool keyboardShown = false;
    int scrollOffset = 0;
    // The focused control's top in the view, when it was drawn.
    std::optional<int> focusTop;
    // The chosen page of each tab met going through the shown items in
    // order, and of a tabbed screen (-1: not one).
    std::vector<int> tabs;
    int screenTab = -1;
    // A tabbed screen's tab bar had the keys, not its page.
    bool tabBarKeys = false;
    // Each tree node met going through all the items in order (what tells
    // it from others) and whether it was open.
    std::vector<std::pair<CString, bool>> openNodes;

    static KeptPage of(PageEntry& entry);
    // Puts it back on `entry`'s page: the values before the page is shown,
    // the focus and the scroll offset once it is.
    void restoreValues(PageEntry& entry) const;
    void restoreView(PageEntry& entry) const;
};

// The reloaded page's pictures at the same address as the left page's show
// those until their new copies come, and take over their requests on the way:
// plain pictures, image links and verification pictures, on the tab pages not
// shown too. The tab pages the user chose are shown from the start.
void keepPictures(PageEntry& left, PageEntry& reloaded, PageRequests& requests);

// The item at the end of the chain of focused children (a tree node's
// header when it has the focus); null when none.
Item* focusedLeaf(const Screen& screen);

}  // namespace zq
