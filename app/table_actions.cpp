#include "app/table_actions.h"

#include <array>
#include <memory>

#include "app/action_dispatcher.h"
#include "charts/chart.h"
#include "core/string_utils.h"
#include "items/fixed_head_table.h"
#include "items/inputable.h"
#include "items/table_model.h"
#include "items/tree.h"
#include "market/watch_list.h"
#include "markup/markup_page.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "ui/command.h"
#include "ui/container.h"
#include "ui/default_styles.h"
#include "ui/event.h"
#include "ui/form.h"
#include "ui/screen.h"
#include "ui/tabbed_form.h"

namespace zq {
namespace {

constexpr const char16_t* kSystemMark = u"#system";

// Deeper than any page nests its items; a bound against a cycle.
constexpr int kMaxFocusDepth = 64;

// The next item along the focus: a node's focused part, a container's
// focused child.
Item* focusedInside(Item& item) {
    if (auto* node = dynamic_cast<NodeItem*>(&item)) return node->focusedPart();
    if (Container* container = asContainerItem(&item)) return container->getFocusedItem();
    return nullptr;
}

// The focused quote table of the shown screen, on a tab page or in a tree
// too; null for anything else.
FixTableItem* focusedTable(const ActionHost& host) {
    Item* item =
        findFocused(host.currentScreen(), [](const Item& i) { return i.isFixTableItem(); });
    return static_cast<FixTableItem*>(item);
}

// "a,b" at its first ",": false without one.
bool splitAtFirstComma(const CString& text, CString& first, CString& second) {
    const int comma = text.find(u',');
    if (comma < 0) return false;
    first = text.left(comma);
    second = text.mid(comma + 1);
    return true;
}

}  // namespace

Item* findFocused(const Screen* screen, bool (*wanted)(const Item&)) {
    Item* item = screen ? screen->getFocusedItem() : nullptr;
    for (int depth = 0; item && depth < kMaxFocusDepth; ++depth) {
        if (wanted(*item)) return item;
        item = focusedInside(*item);
    }
    return nullptr;
}

bool focusPageItemByName(Screen& screen, const CString& name) {
    auto* tabbed = dynamic_cast<TabbedForm*>(&screen);
    Container* page = tabbed ? tabbed->getPage(tabbed->getSelectedTab()) : screen.getContent();
    if (!page) return false;
    for (int i = 0; i < page->size(); ++i) {
        Item* child = page->getItem(i);
        if (!child || !child->getId().equalsNoCase(name)) continue;
        if (tabbed) return tabbed->focusPageItem(i);
        page->focusIndex(i);
        return true;
    }
    return false;
}

CString argumentBetweenParens(const CString& piece) {
    const int open = piece.find(u'(');
    const int close = piece.find(u')');
    if (open < 0 || close <= open) return CString();
    return piece.mid(open + 1, close - open - 1);
}

std::optional<CString> buildTableRowLink(const CString& argument, const SimpleTableModel& model,
                                         int row) {
    // Tail and base link.
    CString arg = argument;
    CString tail;
    const int dollar = arg.find(u'$');
    const bool hasTail = dollar >= 0;
    if (hasTail) {
        tail = arg.mid(dollar + 1);
        arg = arg.left(dollar);
    }
    const int system = arg.find(CString(kSystemMark));
    const CString base = system >= 0 ? arg.left(system) : arg;

    // The keyed values of the row.
    if (row < 0 || row >= model.getRowCount()) return std::nullopt;
    CString rowText;
    CString params;
    bool anyValue = false;
    const int columns = model.getColumnCount();
    for (int i = 0; i < columns; ++i) {
        const CString key = model.getColumnKey(i);
        if (key.isEmpty()) continue;
        const CString value = model.getValueAt(i, row);
        rowText += key + u':' + value + u';';
        // Encoded as every other road sends a value: a cell's '&', '#' or
        // '$' must not end the pair, the link or the block.
        params += urlEncode(key) + u'=' + urlEncode(value) + u'&';
        anyValue = anyValue || !value.isEmpty();
    }
    if (!anyValue) return std::nullopt;

    // The link, in the order the servers read it.
    rowText = CString::format(CString(u"%snum:%d;"), rowText, row);
    params += CString::format(CString(u"num=%d&"), row);
    CString link = setUrlParamKeepFragment(base, CString(u"row"), urlEncode(rowText));
    if (system >= 0) link += arg.mid(system);
    if (hasTail) link += CString(u"$") + tail;
    return link + params + u'$';
}

int indicatorNumber(const CString& name) {
    struct Indicator {
        const char16_t* name;
        int number;
    };
    static constexpr std::array kIndicators = {Indicator{u"MACD", 0}, Indicator{u"PSY", 4},
                                               Indicator{u"BOLL", 5}, Indicator{u"KDJ", 3},
                                               Indicator{u"RSI", 1},  Indicator{u"WR", 2}};
    const CString word = name.isEmpty() ? CString(u"MACD") : name;
    for (const Indicator& indicator : kIndicators) {
        if (word.equalsNoCase(CString(indicator.name))) return indicator.number;
    }
    return -1;
}

// --- table actions -------------------------------------------------------------------------

void TableActions::onGetTableRow(const CString& piece) {
    FixTableItem* table = focusedTable(host_);
    if (!table || !table->getModel()) return;
    SimpleTableModel& model = *table->getModel();
    std::optional<CString> link;
    {
        TableReadLock guard(model);
        if (!guard.held()) return;
        link = buildTableRowLink(argumentBetweenParens(piece), model, table->focusedRow());
    }
    if (link) host_.openUrl({.url = *link, .screenId = host_.currentScreenId()});
}

void TableActions::onGetTableValueToId(const CString& piece) {
    const StringArray parts = splitOutsideParens(u',', argumentBetweenParens(piece));
    if (parts.size() < 2) return;
    FixTableItem* table = focusedTable(host_);
    if (!table || !table->getModel()) return;
    SimpleTableModel& model = *table->getModel();
    const std::optional<int32_t> column = parseDigits(CString(parts[0]).trim());
    CString value;
    {
        TableReadLock guard(model);
        if (!guard.held() || !column || *column >= model.getColumnCount()) return;
        const int row = table->focusedRow();
        if (row < 0 || row >= model.getRowCount()) return;
        value = model.getValueAt(*column, row);
    }
    if (auto* field = dynamic_cast<Inputable*>(host_.getItemByName(CString(parts[1]).trim()))) {
        field->setValue(value);
    }
}

void TableActions::moveWatchRow(const CString& piece, bool up) {
    // The watch-list kind and the column that holds the security code.
    const CString argument = up ? cutActionArgument(piece, CString(u"moveup"), CString(u"mvp"))
                                : cutActionArgument(piece, CString(u"movedown"), CString(u"mvd"));
    CString typeWord;
    CString columnKey;
    if (!splitAtFirstComma(argument, typeWord, columnKey)) return;
    const int type = watchEntryType(typeWord);
    // The row moves in the focused table; a table being rebuilt is left alone.
    FixTableItem* table = focusedTable(host_);
    if (!table || !table->getModel()) return;
    table->setEdgeState(0);
    SimpleTableModel& model = *table->getModel();
    const int row = table->focusedRow();
    bool swapped = false;
    {
        TableWriteLock guard(model);
        if (!guard.held()) return;
        const int column = model.findColumnByKey(columnKey.trim());
        if (column < 0 || row < 0 || row >= model.getRowCount()) return;
        const CString code = model.getValueAt(column, row);
        // The stored watch list keeps the new order for the next start.
        if (host_.watchList()) host_.watchList()->move(type, code, up);
        // On screen the row swaps with its neighbour, when it has one.
        const int other = up ? row - 1 : row + 1;
        if (other >= 0 && other < model.getRowCount()) swapped = table->swapRows(row, other);
    }
    if (swapped) {
        if (Screen* screen = host_.currentScreen()) screen->repaint();
        return;
    }
    const CString& edgeAction = up ? table->upPageAction() : table->downPageAction();
    if (edgeAction.isEmpty()) return;
    table->setEdgeState(up ? 1 : 2);
    table->fireEvent(std::make_unique<Event>(edgeAction, table));
}

void TableActions::onZhibiao(const CString& piece) {
    auto* chart = dynamic_cast<KLine*>(findFocused(host_.currentScreen(), [](const Item& i) {
        return dynamic_cast<const KLine*>(&i) != nullptr;
    }));
    if (!chart) return;
    const int number =
        indicatorNumber(cutActionArgument(piece, CString(u"zhibiao"), CString(u"zb")).trim());
    if (number >= 0) chart->setIndicator(number);
}

// --- watch-list actions -------------------------------------------------------------------

void TableActions::onDelMyStock(const CString& piece) {
    CString typeWord;
    CString code;
    if (!splitAtFirstComma(argumentBetweenParens(piece), typeWord, code)) return;
    code.trim();
    if (code.isEmpty()) return;
    if (messageBox(CString(u"确认删除？"), CString(), MessageBoxType::YesNo) != kIdYes) return;
    if (host_.watchList()) host_.watchList()->remove(watchEntryType(typeWord), code);
}

void TableActions::onDelMyStockList(const CString& piece, bool ask) {
    const CString argument = cutActionArgument(piece, CString(u"delmystocklist"), CString(u"dl"));
    CString typeWord;
    CString columnKey;
    if (!splitAtFirstComma(argument, typeWord, columnKey)) return;
    FixTableItem* table = focusedTable(host_);
    if (!table || !table->getModel()) return;
    SimpleTableModel& model = *table->getModel();
    const int row = table->focusedRow();
    CString code;
    CString first;
    {
        TableReadLock guard(model);
        if (!guard.held()) return;
        const int column = model.findColumnByKey(columnKey.trim());
        if (column < 0 || row < 0 || row >= model.getRowCount()) return;
        code = model.getValueAt(column, row);
        first = model.getValueAt(0, row);
    }
    if (ask) {
        const CString question = CString(u"删除自选股：") + first + u'(' + code + u')';
        if (messageBox(question, CString(u"确认信息"), MessageBoxType::YesNo) != kIdYes) return;
    }
    if (host_.watchList()) host_.watchList()->remove(watchEntryType(typeWord), code);
    table->removeRow(row);
    if (Screen* screen = host_.currentScreen()) screen->repaint();
}

}  // namespace zq
