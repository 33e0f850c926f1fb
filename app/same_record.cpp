#include "app/same_record.h"

#include <algorithm>
#include <set>
#include <string>

#include "items/fixed_head_table.h"
#include "items/table_model.h"

namespace zq {

namespace {

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// A letter or digit of a word in an action: ASCII ones, and every
// character beyond ASCII (a name in Chinese).
bool inWord(char16_t c) {
    return isDigit(c) || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' ||
           c >= 0x80;
}

// The words of `actions`: a value the server names a record by stands in
// them whole (`ordno=14`, `c=600003`).
std::vector<CString> wordsOf(const CString& actions) {
    std::vector<CString> words;
    CString word;
    for (int i = 0; i <= actions.length(); ++i) {
        if (i < actions.length() && inWord(actions.at(i))) {
            word += actions.at(i);
        } else if (!word.isEmpty()) {
            words.push_back(word);
            word.clear();
        }
    }
    return words;
}

// The first of a column's numbers where they count up by one row by row
// (1, 2, ...; 21, 22, ...; 01, 02, ...), as places do; else -1. Five digits
// and more are a code: no page has that many rows.
long placesFrom(const std::vector<std::vector<CString>>& cells, size_t column) {
    long first = -1;
    for (size_t r = 0; r < cells.size(); ++r) {
        const CString& cell = cells[r][column];
        if (cell.isEmpty() || cell.length() > 4) return -1;
        long value = 0;
        for (int i = 0; i < cell.length(); ++i) {
            if (!isDigit(cell.at(i))) return -1;
            value = value * 10 + (cell.at(i) - u'0');
        }
        if (r == 0) first = value;
        if (value != first + static_cast<long>(r)) return -1;
    }
    return first;
}

}  // namespace

CString withoutMeasures(const CString& text) {
    CString out;
    const int length = text.length();
    for (int i = 0; i < length;) {
        int j = i;
        // A sign, not a dash between digits (a date).
        if ((text.at(j) == u'+' || text.at(j) == u'-') && j + 1 < length &&
            isDigit(text.at(j + 1)) && (j == 0 || !isDigit(text.at(j - 1)))) {
            ++j;
        }
        if (!isDigit(text.at(j))) {
            // A word, with the digits in it ("news3"), or a mark.
            do {
                out += text.at(i++);
            } while (i < length && inWord(text.at(i)) && inWord(text.at(i - 1)));
            continue;
        }
        bool measure = j > i;
        while (j < length && isDigit(text.at(j))) ++j;
        while (j + 1 < length && (text.at(j) == u'.' || text.at(j) == u':') &&
               isDigit(text.at(j + 1))) {
            measure = true;
            for (++j; j < length && isDigit(text.at(j));) ++j;
        }
        if (j < length && text.at(j) == u'%') {
            measure = true;
            ++j;
        }
        out += measure ? CString(u"#") : text.mid(i, j - i);
        i = j;
    }
    return out;
}

TableRows TableRows::of(const FixTableItem& table) {
    TableRows rows;
    const SimpleTableModel* model = table.getModel().get();
    if (!model) return rows;
    const int columnCount = std::max(table.columnCount(), 0);
    for (int c = 0; c < columnCount; ++c) {
        const CString key = model->getColumnKey(c);
        rows.columns.push_back(key.isEmpty() ? CString(u"head:") + model->getColumnName(c)
                                             : CString(u"key:") + key);
    }
    for (int r = 0; r < table.rowCount(); ++r) {
        std::vector<CString> cells;
        for (int c = 0; c < columnCount; ++c) cells.push_back(model->getValueAt(c, r));
        rows.cells.push_back(std::move(cells));
        CString actions;
        for (int i = 0; i < model->getExtraRowLength(r); ++i) {
            actions += model->getExtraAt(r, i) + CString(u"\t");
        }
        rows.actions.push_back(actions);
    }
    return rows;
}

int TableRows::sameColumn(int column, const TableRows& now) const {
    if (column < 0 || column >= static_cast<int>(columns.size())) return -1;
    if (columns == now.columns) return column;
    const CString& name = columns[static_cast<size_t>(column)];
    if (std::count(columns.begin(), columns.end(), name) != 1) return -1;
    const auto at = std::find(now.columns.begin(), now.columns.end(), name);
    if (at == now.columns.end() || std::count(at, now.columns.end(), name) != 1) return -1;
    return static_cast<int>(at - now.columns.begin());
}

bool TableRows::namesRows(int column) const {
    std::set<CString> seen;
    for (const auto& cellsOfRow : cells) {
        const CString& cell = cellsOfRow[static_cast<size_t>(column)];
        if (CString(cell).trim().isEmpty() || !seen.insert(cell).second) return false;
        if (withoutMeasures(cell) != cell) return false;
    }
    return true;
}

int TableRows::sameRow(int row, const TableRows& now) const {
    if (row < 0 || row >= static_cast<int>(cells.size())) return -1;
    const auto at = static_cast<size_t>(row);
    // A price in an action names nothing.
    std::vector<CString> masked;
    for (const auto& own : actions) masked.push_back(withoutMeasures(own));
    std::set<CString> nowMasked;
    for (const auto& own : now.actions) nowMasked.insert(withoutMeasures(own));
    const std::vector<CString> words = wordsOf(masked[at]);
    int voted = -1;
    // Actions no other row has name the record, an order number in them.
    if (!CString(masked[at]).trim().isEmpty() &&
        std::count(masked.begin(), masked.end(), masked[at]) == 1) {
        size_t kept = 0;
        for (const auto& own : masked) kept += nowMasked.count(own);
        int matches = 0;
        for (size_t r = 0; r < now.actions.size(); ++r) {
            if (withoutMeasures(now.actions[r]) != masked[at]) continue;
            voted = static_cast<int>(r);
            ++matches;
        }
        // Gone while the other rows stay.
        if (matches == 0 && kept * 2 >= cells.size()) return -1;
        if (matches != 1) voted = -1;
    }
    for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
        const int column = sameColumn(c, now);
        if (column < 0 || !namesRows(c)) continue;
        const CString& name = cells[at][static_cast<size_t>(c)];
        const bool carried = std::find(words.begin(), words.end(), name) != words.end();
        const long from = placesFrom(cells, static_cast<size_t>(c));
        const long nowFrom = placesFrom(now.cells, static_cast<size_t>(column));
        // A rank is the row's place, unless the server names the record by it.
        if (from >= 0 && from == nowFrom && !carried) continue;
        // Numbers that count the rows of one load only are serials of records.
        const bool serial = from >= 0 || nowFrom >= 0;
        int found = -1;
        int matches = 0;
        std::set<CString> values;
        for (size_t r = 0; r < now.cells.size(); ++r) {
            values.insert(now.cells[r][static_cast<size_t>(column)]);
            if (now.cells[r][static_cast<size_t>(column)] != name) continue;
            found = static_cast<int>(r);
            ++matches;
        }
        // Names stay from one load to the next; a count that moves (a
        // volume) may meet another row's by chance.
        size_t kept = 0;
        for (const auto& cellsOfRow : cells)
            kept += values.count(cellsOfRow[static_cast<size_t>(c)]);
        const bool stays = kept * 2 >= cells.size();
        // Gone from the rows while the row's actions named the record by it,
        // or its serial while the others stay.
        if (matches == 0 && (carried || (serial && stays))) return -1;
        if (matches != 1 || !stays) continue;
        if (voted >= 0 && voted != found) return -1;
        voted = found;
    }
    if (voted >= 0) return voted;
    // Nothing names the rows: the one row that does what it did.
    const CString& own = actions[at];
    if (CString(own).trim().isEmpty() || std::count(actions.begin(), actions.end(), own) != 1) {
        return -1;
    }
    const auto same = std::find(now.actions.begin(), now.actions.end(), own);
    if (same == now.actions.end() || std::count(same, now.actions.end(), own) != 1) return -1;
    return static_cast<int>(same - now.actions.begin());
}

}  // namespace zq
