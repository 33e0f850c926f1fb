#include "app/action_dispatcher.h"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <vector>

#include "app/auto_refresh.h"
#include "app/page_controller.h"
#include "app/speed_test_item.h"
#include "core/string_utils.h"
#include "core/zq_exception.h"

namespace zq {

namespace {

// Rows whose handler is null are known names with nothing to run here: the
// name is consumed so the rest of the string runs as the page expects.
const ActionRow kActionTable[] = {
    {u"alert", u"al", [](PageController& c, const CString& p) { c.formActions().onAlert(p); }},
    {u"confirm", u"cf", [](PageController& c, const CString& p) { c.formActions().onConfirm(p); }},
    {u"submit", u"st", [](PageController& c, const CString& p) { c.formActions().onSubmit(p); }},
    {u"forward", u"fw",
     [](PageController& c, const CString& p) { c.navigationActions().onForward(p); }},
    {u"kolmforward", u"kfw",
     [](PageController& c, const CString& p) { c.navigationActions().onKolmForward(p); }},
    {u"back", u"bk", [](PageController& c, const CString& p) { c.navigationActions().onBack(p); }},
    {u"forback", u"fbk",
     [](PageController& c, const CString& p) { c.navigationActions().onForBack(p); }},
    {u"gohome", u"gh",
     [](PageController& c, const CString& p) { c.navigationActions().onGoHome(p); }},
    {u"refresh", u"rf", [](PageController& c, const CString& p) { c.autoRefresh().onRefresh(p); }},
    {u"gettablerow", u"gw",
     [](PageController& c, const CString& p) { c.tableActions().onGetTableRow(p); }},
    {u"setfont", u"sf", [](PageController& c, const CString& p) { c.formActions().onSetFont(p); }},
    {u"keyboardinput", u"kp",
     [](PageController& c, const CString& p) { c.inputActions().onKeyboardInput(p); }},
    {u"clearapp", u"cr",
     [](PageController& c, const CString& p) { c.formActions().onClearApp(p); }},
    {u"zhibiao", u"zb", [](PageController& c, const CString& p) { c.tableActions().onZhibiao(p); }},
    {u"update", u"ud",
     [](PageController& c, const CString& p) { c.navigationActions().onUpdate(p); }},
    {u"focus", u"fc", [](PageController& c, const CString& p) { c.formActions().onFocus(p); }},
    {u"reset", u"rs", [](PageController& c, const CString& p) { c.formActions().onReset(p); }},
    {u"hide", nullptr, [](PageController& c, const CString& p) { c.formActions().onHide(p); }},
    {u"show", nullptr, [](PageController& c, const CString& p) { c.formActions().onShow(p); }},
    {u"save", nullptr, [](PageController& c, const CString& p) { c.saveAction(p); }},
    {u"SpecialSubmit", u"sm",
     [](PageController& c, const CString& p) { c.formActions().onSpecialSubmit(p); }},
    {u"delmystockall", u"da",
     [](PageController& c, const CString& p) { c.tableActions().onDelMyStockAll(p); }},
    {u"delmystocklist", u"dl",
     [](PageController& c, const CString& p) { c.tableActions().onDelMyStockList(p); }},
    {u"delmystock", u"ds",
     [](PageController& c, const CString& p) { c.tableActions().onDelMyStock(p); }},
    {u"opensystembrowser", u"os",
     [](PageController& c, const CString& p) { c.navigationActions().onOpenSystemBrowser(p); }},
    {u"exitapp", nullptr, [](PageController& c, const CString& p) { c.onExitApp(p); }},
    {u"stocksumbit", u"ss",
     [](PageController& c, const CString& p) { c.formActions().onStockSubmit(p); }},
    {u"changecgp", nullptr,
     [](PageController& c, const CString& p) { c.formActions().onChangeCgp(p); }},
    {u"getdata", u"gd",
     [](PageController& c, const CString& p) { c.navigationActions().onGetData(p); }},
    {u"gettablevaluetoid", u"gvtd",
     [](PageController& c, const CString& p) { c.tableActions().onGetTableValueToId(p); }},
    {u"switchforward", u"sd",
     [](PageController& c, const CString& p) { c.navigationActions().onSwitchForward(p); }},
    {u"speedtest", u"spt",
     [](PageController& c, const CString& p) { c.speedTest().onSpeedTest(p); }},
    {u"quickinput", u"qp", nullptr},
    {u"resetnetdata", u"rnd", [](PageController& c, const CString&) { c.resetTraffic(); }},
    {u"moveup", u"mvp", [](PageController& c, const CString& p) { c.tableActions().onMoveUp(p); }},
    {u"movedown", u"mvd",
     [](PageController& c, const CString& p) { c.tableActions().onMoveDown(p); }},
    {u"GetOutLookToID", u"gotd",
     [](PageController& c, const CString& p) { c.formActions().onGetOutLookToId(p); }},
    {u"GetValueToSms", u"gvts",
     [](PageController& c, const CString& p) { c.inputActions().onGetValueToSms(p); }},
    {u"connect", nullptr, [](PageController& c, const CString&) { c.onConnect(); }},
    {u"ctrlrefresh", u"crf",
     [](PageController& c, const CString& p) { c.autoRefresh().onCtrlRefresh(p); }},
};

// Nesting depth of dispatchActions on this thread.
thread_local int actionDepth = 0;

class DepthGuard {
public:
    DepthGuard() { ++actionDepth; }
    ~DepthGuard() { --actionDepth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
};

// --- links inside an action string ----------------------------------------------------

// [begin, end) of an action string.
struct Span {
    int begin;
    int end;
};

bool isAction(std::u16string_view word, const char16_t* longName, const char16_t* alias) {
    return compareNoCase(word, longName) == 0 || compareNoCase(word, alias) == 0;
}

bool opensLink(std::u16string_view word) {
    return isAction(word, u"forward", u"fw") || isAction(word, u"kolmforward", u"kfw") ||
           isAction(word, u"getdata", u"gd") || isAction(word, u"update", u"ud") ||
           isAction(word, u"gettablerow", u"gw");
}

bool isWordUnit(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// The span without the blanks the dispatcher trims from a piece.
Span trimmed(const CString& text, Span span) {
    CString part = text.mid(span.begin, span.end - span.begin);
    const int length = part.length();
    const int lead = length - CString(part).trimLeft().length();
    if (lead == length) return {span.begin, span.begin};
    return {span.begin + lead, span.end - (length - part.trimRight().length())};
}

// The parts of `span` between `separator`s outside parentheses, as
// splitOutsideParens cuts them.
std::vector<Span> splitOutside(const CString& text, Span span, char16_t separator) {
    std::vector<Span> parts;
    const std::u16string_view v = text.view();
    int start = span.begin;
    int depth = 0;
    for (int i = span.begin; i < span.end; ++i) {
        if (v[i] == u'(') ++depth;
        if (v[i] == u')') --depth;
        if (depth == 0 && v[i] == separator) {
            parts.push_back({start, i});
            start = i + 1;
        }
    }
    parts.push_back({start, span.end});
    return parts;
}

// The links of one action piece, where its handler reads them.
void collectLinks(const CString& text, Span piece, int depth, std::vector<Span>& links) {
    piece = trimmed(text, piece);
    const std::u16string_view v = text.view();
    int nameEnd = piece.begin;
    while (nameEnd < piece.end && isWordUnit(v[nameEnd])) ++nameEnd;
    if (nameEnd == piece.begin || nameEnd >= piece.end || v[nameEnd] != u'(' ||
        depth >= kMaxActionDepth) {
        return;
    }
    const std::u16string_view name = v.substr(piece.begin, nameEnd - piece.begin);
    // Where the handler reads it: up to the piece's last character, whatever
    // that is; for "gettablerow", up to the first ')'.
    const Span argument{nameEnd + 1, std::max(nameEnd + 1, piece.end - 1)};
    if (isAction(name, u"gettablerow", u"gw")) {
        const int close = text.find(u')', argument.begin);
        if (close >= 0 && close < piece.end) links.push_back({argument.begin, close});
    } else if (opensLink(name)) {
        links.push_back(argument);
    } else if (isAction(name, u"confirm", u"cf")) {
        // Yes sends; No only leaves.
        const std::vector<Span> parts = splitOutside(text, argument, u',');
        if (parts.size() == 3) {
            collectLinks(text, parts[1], depth + 1, links);
        } else if (parts.size() == 2 &&
                   startsWithNoCase(v.substr(parts[1].begin, parts[1].end - parts[1].begin),
                                    u"forward")) {
            // "forward(L,R)": Yes forwards to L.
            const int open = text.find(u'(', parts[1].begin);
            if (open < 0 || open >= parts[1].end) return;
            const std::vector<Span> inner = splitOutside(text, {open + 1, parts[1].end}, u',');
            if (inner.size() == 2) links.push_back(inner[0]);
        }
    } else if (isAction(name, u"switchforward", u"sd")) {
        const std::vector<Span> parts = splitOutside(text, argument, u',');
        for (size_t i = 1; i < parts.size(); ++i) collectLinks(text, parts[i], depth + 1, links);
    }
}

}  // namespace

std::span<const ActionRow> actionTable() { return kActionTable; }

const ActionRow* findActionRow(const CString& word) {
    if (word.isEmpty()) return nullptr;
    for (const ActionRow& row : kActionTable) {
        if (compareNoCase(word.view(), row.longName) == 0) return &row;
        if (row.alias && compareNoCase(word.view(), row.alias) == 0) return &row;
    }
    return nullptr;
}

bool dispatchActions(const CString& actions, const ActionRunner& run) {
    if (actions.isEmpty()) return true;
    if (actionDepth >= kMaxActionDepth) return false;
    DepthGuard depth;
    for (const CString& piece : splitByString(CString(u"|"), actions)) {
        CString word = extractAlnumRun(piece).trim();
        if (word.isEmpty()) break;
        if (const ActionRow* row = findActionRow(word)) run(*row, piece);
    }
    return true;
}

CString cutActionArgument(const CString& piece, const CString& longName, const CString& alias) {
    int start = startsWithNoCase(piece, longName) ? longName.length() + 1 : alias.length() + 1;
    int end = piece.length() - 1;
    if (start >= end) return CString();
    return piece.mid(start, end - start);
}

std::optional<CString> fillActionLinks(const CString& actions, const LinkFiller& fill) {
    // The pieces as dispatchActions runs them: a piece without a word ends
    // the string.
    std::vector<Span> links;
    for (int start = 0; start <= actions.length();) {
        int bar = actions.find(u'|', start);
        const int end = bar < 0 ? actions.length() : bar;
        if (extractAlnumRun(actions.mid(start, end - start)).trim().isEmpty()) break;
        collectLinks(actions, {start, end}, 0, links);
        if (bar < 0) break;
        start = bar + 1;
    }
    if (links.empty()) return std::nullopt;

    CString filled;
    int copied = 0;
    for (const Span& at : links) {
        const std::optional<CString> link = fill(actions.mid(at.begin, at.end - at.begin));
        if (!link) return CString();
        filled += actions.mid(copied, at.begin - copied);
        filled += *link;
        copied = at.end;
    }
    return filled + actions.mid(copied);
}

}  // namespace zq
