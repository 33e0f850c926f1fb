#include "app/action_dispatcher.h"

#include <iterator>

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

}  // namespace zq
