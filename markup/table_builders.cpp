#include "markup/table_builders.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>

#include "core/xml_parser.h"
#include "core/zq_exception.h"
#include "items/fixed_head_table.h"
#include "items/simple_table.h"
#include "items/table_model.h"
#include "markup/command_document.h"
#include "markup/markup_page.h"
#include "markup/style_sheet.h"
#include "ui/client_context.h"
#include "ui/default_styles.h"
#include "ui/style.h"

namespace zq {
namespace {

// What the children of a table element hold.
struct TableContent {
    std::vector<LinkRecord> head;
    std::vector<TableRowRecord> rows;
    std::unique_ptr<CommandNode> commands;
};

// 1. Reads the children: the first "th" is the head, and children before
// it are not read; without a "th" every child is read. A row action is kept
// only with a row that was added.
TableContent readTableContent(MarkupPage& page, XmlParser& node) {
    TableContent content;
    TableContent beforeHead;
    bool headSeen = false;
    if (!node.intoElem()) return content;
    while (node.findElem()) {
        const CString tag = node.getTagName();
        if (!headSeen && tagIs(tag, u"th")) {
            headSeen = true;
            content.head = readTableCells(page, node, true);
            continue;
        }
        TableContent& into = headSeen ? content : beforeHead;
        if (tagIs(tag, u"tr")) {
            std::vector<LinkRecord> cells = readTableCells(page, node, false);
            if (!cells.empty()) {
                into.rows.push_back({std::move(cells), getAttribute(node, u"onclick", u"oc")});
            }
        } else if (tagIs(tag, u"command", u"cmd")) {
            into.commands = buildCommandTree(page, node);
        }
    }
    node.outOfElem();
    return headSeen ? std::move(content) : std::move(beforeHead);
}

Style* withPageFont(const MarkupPage& page, Style* style) {
    if (const FontRef& font = page.pageFont()) {
        style->font = font;
        if (Style* focused = style->getStyleProperty(prop::kFocusedStyle)) focused->font = font;
    }
    return style;
}

Item* place(MarkupPage& page, std::unique_ptr<Item> item, Item* parent) {
    return parent ? page.adoptControl(std::move(item)) : page.registerControl(std::move(item));
}

// An empty model, for content the model refuses anyway.
std::shared_ptr<SimpleTableModel> emptyModel() {
    return std::make_shared<SimpleTableModel>(nullptr, nullptr, std::nullopt, std::nullopt);
}

}  // namespace

std::vector<LinkRecord> readTableCells(const MarkupPage& /*page*/, XmlParser& node, bool head) {
    std::vector<LinkRecord> cells;
    if (!node.intoElem()) return cells;
    while (node.findElem()) {
        LinkRecord cell;
        cell.styleClass = getAttribute(node, u"class", u"cl");
        cell.name = getAttribute(node, u"name", u"n");
        cell.action = getAttribute(node, u"onclick", u"oc");
        if (head) cell.columnClass = getAttribute(node, u"classcolum", u"clm");
        CString text = node.getNodeData(node.currentNode());
        if (!text.trim().isEmpty()) {
            cell.text = text;
            cells.push_back(std::move(cell));
            continue;
        }
        bool any = false;
        if (node.intoElem()) {
            while (node.findElem()) {
                if (!tagIs(node.getTagName(), u"text", u"tx")) continue;
                CString part = node.getNodeData(node.currentNode());
                if (part.trim().isEmpty()) continue;
                LinkRecord copy = cell;
                copy.text = part;
                cells.push_back(std::move(copy));
                any = true;
            }
            node.outOfElem();
        }
        // An empty cell keeps its column.
        if (!any) cells.push_back(std::move(cell));
    }
    node.outOfElem();
    return cells;
}

Item* buildTable(MarkupPage& page, XmlParser& node, Item* parent) {
    const CString id = getAttribute(node, u"id");
    const CString styleClass = getAttribute(node, u"class", u"cl");
    const std::optional<bool> focus = parseYesNo(getAttribute(node, u"focus", u"f"));
    const std::optional<bool> border = parseYesNo(getAttribute(node, u"border", u"bd"));
    const std::optional<bool> headLock = parseYesNo(getAttribute(node, u"headlock", u"hk"));
    const int locked = parseDigits(getAttribute(node, u"collock", u"ck")).value_or(0);
    const CString upPage = getAttribute(node, u"uppage", u"up");
    const CString downPage = getAttribute(node, u"downpage", u"dw");
    const CString onFocus = getAttribute(node, u"onfocus", u"of");
    const CString onLoseFocus = getAttribute(node, u"onlosefocus", u"lf");
    const CString caption = getAttribute(node, u"caption");
    TableContent content = readTableContent(page, node);
    const StyleSheet& sheet = pageStyleSheet(page);

    // 2. Head arrays.
    TextRow titles;
    TextRow keys;
    std::vector<uint32_t> alignments;
    bool anyTitle = false;
    for (const LinkRecord& cell : content.head) {
        titles.push_back(cell.text);
        keys.push_back(cell.name);
        alignments.push_back(static_cast<uint32_t>(getClassAlignment(sheet, cell.columnClass)));
        anyTitle = anyTitle || !cell.text.isEmpty();
    }

    // 3. Row arrays: every row as wide as the head, or as the widest row.
    size_t width = titles.size();
    if (!anyTitle) {
        width = 0;
        for (const TableRowRecord& row : content.rows) width = std::max(width, row.cells.size());
    }
    auto texts = std::make_unique<TextRows>();
    auto colours = std::make_unique<ColorRows>();
    auto actions = std::make_unique<TextRows>();
    for (const TableRowRecord& row : content.rows) {
        auto rowTexts = std::make_unique<TextRow>(width);
        auto rowColours = std::make_unique<std::vector<int32_t>>(width, kTableColorDefault);
        auto rowActions = std::make_unique<TextRow>(width + 1);
        const size_t cells = std::min(row.cells.size(), width);
        for (size_t c = 0; c < cells; ++c) {
            const LinkRecord& cell = row.cells[c];
            (*rowActions)[c] = cell.action;
            (*rowTexts)[c] = cell.text;
            CString cls = cell.styleClass;
            if (cls.isEmpty() && c < content.head.size()) cls = content.head[c].columnClass;
            Color colour = static_cast<Color>(kTableColorDefault);
            if (!cls.isEmpty() && getClassFontColor(sheet, colour, cls)) {
                (*rowColours)[c] = static_cast<int32_t>(colour);
            }
        }
        (*rowActions)[cells] = row.action;
        texts->push_back(std::move(rowTexts));
        colours->push_back(std::move(rowColours));
        actions->push_back(std::move(rowActions));
    }

    // 4-5. Style, model and item.
    Style* style = withPageFont(page, createTableStyle());
    std::shared_ptr<SimpleTableModel> model;
    try {
        model = std::make_shared<SimpleTableModel>(
            std::move(texts), std::move(colours),
            anyTitle ? std::optional<TextRow>(titles) : std::nullopt,
            content.head.empty() ? std::nullopt : std::optional(alignments), std::move(actions));
        if (!content.head.empty()) model->setColumnKeys(keys);
    } catch (const ZQException&) {
        model = emptyModel();
    }
    // The item takes its style with the model, so that it measures the
    // columns once, in the font that paints them.
    applyStyleClass(style, CString(u"table"));
    auto table = std::make_unique<FixTableItem>(caption, std::move(model), locked,
                                                applyInlineStyle(page, style, styleClass));

    // 6. Look and attributes.
    if (focus == false) table->setAppearanceMode(kAppearancePlain);
    table->setId(id);
    table->setLeaveAction(onLoseFocus);
    table->setFocusAction(onFocus);
    table->setUpPageAction(upPage);
    table->setDownPageAction(downPage);
    table->setHeadLock(headLock.value_or(false));
    table->setBorderFlag(border.value_or(false));
    table->setEventListener(page.host());

    // 7. The table's own soft-key commands.
    attachCommandTree(page, table.get(), content.commands.get(), nullptr);
    return place(page, std::move(table), parent);
}

Item* buildSimpleTable(MarkupPage& page, XmlParser& node, Item* parent) {
    // 1. Attributes and rows, read before anything is built.
    const CString id = getAttribute(node, u"id");
    const CString styleClass = getAttribute(node, u"class", u"cl");
    const std::optional<bool> focus = parseYesNo(getAttribute(node, u"focus", u"f"));
    TableContent content = readTableContent(page, node);
    const StyleSheet& sheet = pageStyleSheet(page);

    // 2. Style, item and the commands the table carries.
    Style* style = createSimpleTableStyle();
    auto table = std::make_unique<TableItem>(nullptr, style);
    applyStyleClass(style, CString(u"simpletable"));
    table->setStyle(applyInlineStyle(page, style, styleClass));
    attachCommandTree(page, table.get(), content.commands.get(), nullptr);
    table->setId(id);
    if (focus == false) table->setFocusable(false);

    // 3. Header and alignments.
    StringArray titles;
    std::vector<uint32_t> alignments;
    for (const LinkRecord& cell : content.head) {
        if (!cell.text.isEmpty()) titles.push_back(cell.text);
        alignments.push_back(static_cast<uint32_t>(getClassAlignment(sheet, cell.styleClass)));
    }
    if (!titles.empty()) table->setHeader(titles);
    table->setColumnAlignments(std::move(alignments));

    // 4. Data.
    int columns = static_cast<int>(content.head.size());
    if (columns == 0 && !content.rows.empty()) {
        columns = static_cast<int>(content.rows.front().cells.size());
    }
    const int rows = static_cast<int>(content.rows.size());
    table->setTableData(std::make_unique<TableData>(columns, rows));
    for (int r = 0; r < rows; ++r) {
        const auto& cells = content.rows[static_cast<size_t>(r)].cells;
        for (size_t c = 0; c < cells.size(); ++c) {
            table->setCellText(static_cast<int>(c), r, cells[c].text);
        }
    }

    // 5. No selection; two columns share 36 and 62 per cent.
    table->setSelectionMode(kSelectNone);
    if (columns == 2) table->setColumnWidths({36, 62}, true);
    return place(page, std::move(table), parent);
}

}  // namespace zq
