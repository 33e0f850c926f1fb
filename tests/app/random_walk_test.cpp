// A seeded random walk over generated pages: keys, held keys, taps,
// scroll-bar drags, Backs and waits for reloads and late pictures. After
// every step: the focused control is drawn on screen (or there is none, and
// the left soft key offers no select), a press acts only on the item drawn
// focused or under the pen when it began, no request goes out that neither
// the page nor the user asked for, and Back after a load-action forward or
// a stopped loop shows the page before it. A failing walk prints its steps;
// such a script becomes a row of the replay table.
//
// ZQ_WALK_SEEDS (e.g. "1,2,3") and ZQ_WALK_STEPS (per seed) make long runs.
// For triage: ZQ_WALK_SCRIPT replays a script as one more row, ZQ_WALK_TRACE
// prints each step's page and requests, ZQ_WALK_SKIP leaves named checks out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <functional>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/main_frame.h"
#include "items/button_item.h"
#include "items/fixed_head_table.h"
#include "items/table_model.h"
#include "items/text_field.h"
#include "items/tree.h"
#include "platform/files.h"
#include "platform/image.h"
#include "platform/message_box.h"
#include "platform/surface.h"
#include "platform/window.h"
#include "tests/app/controller_fixture.h"
#include "ui/container.h"
#include "ui/scroll_bar.h"
#include "ui/soft_keyboard.h"
#include "ui/tabbed_form.h"

namespace zq {
namespace {

// --- the site -------------------------------------------------------------------------
// Every item that acts carries a marker: a link's text, a button's caption,
// a row's code. Its request names the marker as "w=" (or "code=" for a
// row), so the server's log tells which item raised it.

std::string doc(const std::string& body, const std::string& onload = "") {
    return "<zqml><body" + (onload.empty() ? "" : " onload=\"" + onload + "\"") + ">" + body +
           "</body></zqml>";
}
std::string link(const std::string& to, const std::string& marker) {
    return "<a href=\"" + to + "?w=" + marker + "\">" + marker + "</a>";
}
std::string button(const std::string& to, const std::string& marker) {
    return "<button caption=\"" + marker + "\" onclick=\"fw(" + to + "?w=" + marker + ")\"/>";
}
std::string lines(int n) {
    std::string out;
    for (int i = 1; i <= n; ++i) out += "<text>line " + std::to_string(i) + "</text>";
    return out;
}
std::string table(const std::string& to, const std::vector<std::string>& codes) {
    std::string out = "<table><th><td name=\"code\">Code</td><td>Price</td></th>";
    for (const std::string& c : codes) {
        out += "<tr onclick=\"gw(" + to + ")\"><td>" + c + "</td><td>1.00</td></tr>";
    }
    return out + "</table>";
}

// Pages that open others by themselves, and what they open.
const std::map<std::string, std::string> kForwards = {
    {"/loopa.zqml", "/loopb.zqml"}, {"/loopb.zqml", "/loopa.zqml"}, {"/login.zqml", "/home.zqml"}};
const std::set<std::string> kRefreshing = {"/quote.zqml", "/rank.zqml", "/orders.zqml",
                                           "/batch.zqml"};
// A button's caption, up to its price, and the marker its request names; an
// empty one raises none.
const std::map<std::string, std::string> kCaptionMarkers = {
    {"买入", "buy"}, {"卖出", "sell"}, {"批量下单", "bq"}, {"提示", ""}};
// The markers of buttons that submit a form.
const std::set<std::string> kSubmits = {"e1", "t3", "bq"};
// The head of the column that names a row's record, best first: an order by
// its number, a stock by its code, whatever column the page keys.
const std::vector<std::string> kRecordHeads = {"委托号", "代码", "Code"};

void writeSite(test::TestServer& server, const std::string& png) {
    const std::string hub =
        link("long.zqml", "h1") + link("quote.zqml", "h2") + link("tabs.zqml", "h3") +
        link("tree.zqml", "h4") + link("pics.zqml", "h5") + link("hide.zqml", "h6") +
        link("loopa.zqml", "h7") + link("login.zqml", "h8") + "<edit name=\"q\" value=\"\"/>" +
        button("hub.zqml", "h9") + link("rank.zqml", "h10") + link("orders.zqml", "h11") +
        link("batch.zqml", "h12");
    server.writePage("hub.zqml", doc(hub));
    for (const char* page : {"buy.zqml", "cx.zqml"}) {
        server.writePage(page, doc("<text>委托确认</text>" + link("hub.zqml", "k1")));
    }
    server.setSlowPath("/orders.zqml", 300);
    // An order's page takes a while: the live page it was opened from is still shown.
    server.setSlowPath("/buy.zqml", 400);
    server.setSlowPath("/cx.zqml", 400);
    server.writePage("home.zqml",
                     doc("<text>home</text>" + link("hub.zqml", "m1") + link("tabs.zqml", "m2")));
    server.writePage("long.zqml", doc(link("hub.zqml", "gZ") + link("tree.zqml", "gA") + lines(80) +
                                      link("pics.zqml", "gB") + "<edit name=\"n\" value=\"\"/>" +
                                      button("hub.zqml", "gC")));
    server.writePage("tabs.zqml",
                     "<zqml><tabbody><page caption=\"One\">" + link("hub.zqml", "t1") + lines(12) +
                         link("long.zqml", "t2") +
                         "</page><page caption=\"Two\"><form id=\"f\" action=\"" +
                         "hub.zqml?w=t3\"><edit name=\"v\" value=\"\"/><button caption=\"t3\" "
                         "onclick=\"submit(f)\"/></form>" +
                         link("quote.zqml", "t4") + "</page><page caption=\"Three\">" +
                         table("hub.zqml", {"t5", "t6", "t7"}) + "</page></tabbody></zqml>");
    server.writePage(
        "tree.zqml",
        doc("<tree><ti caption=\"Links\">" + link("hub.zqml", "r1") + link("long.zqml", "r2") +
            "</ti><ti caption=\"Rows\">" + table("tabs.zqml", {"r3", "r4"}) +
            "</ti><ti caption=\"Field\"><edit name=\"x\" value=\"\"/></ti></tree>" + lines(14) +
            link("hub.zqml", "r5")));
    std::string pics = link("hub.zqml", "p1");
    for (int i = 0; i < 24; ++i) {
        pics += "<img src=\"" + std::string(i % 8 ? "/img/" : "/slow/") + std::to_string(i) +
                ".png\"/><br/>";
        if (i == 11) pics += link("tabs.zqml", "p2");
    }
    server.writePage("pics.zqml", doc(pics + link("long.zqml", "p3")));
    for (int i = 0; i < 24; ++i) {
        server.writePage((i % 8 ? "img/" : "slow/") + std::to_string(i) + ".png", png);
    }
    server.setSlowPath("/slow/", 400);
    server.writePage(
        "hide.zqml",
        // Its form sends through an action, the others to their address.
        doc("<form id=\"f\" action=\"fw(hub.zqml?w=e1)\"><edit name=\"code\" value=\"\" "
            "onlosefocus=\"hide(price)\"/><edit id=\"price\" name=\"price\" value=\"\"/>"
            "<edit name=\"qty\" value=\"\" onfocus=\"show(price)\"/><button caption=\"e1\" "
            "onclick=\"submit(f)\"/></form>" +
            link("hub.zqml", "e2")));
    server.writePage("loopa.zqml", doc("<text>a</text>", "forward(loopb.zqml)"));
    server.writePage("loopb.zqml", doc("<text>b</text>", "forward(loopa.zqml)"));
    server.writePage("login.zqml", doc("<text>login</text>", "forward(home.zqml)"));
}

// The quote page changes with every step: its two buttons swap places and
// orders come in on top of its table.
void writeQuote(test::TestServer& server, int step) {
    std::vector<std::string> rows;
    for (int i = step / 4; i >= 0 && rows.size() < 6; --i)
        rows.push_back(std::string(1, 'o').append(std::to_string(i)));
    const std::string buy = button("hub.zqml", "qB"), sell = button("hub.zqml", "qS");
    server.writePage("quote.zqml", doc((step / 2 % 2 ? buy + sell : sell + buy) +
                                           table("home.zqml", rows) + link("hub.zqml", "q1"),
                                       "refresh(1)"));
}

// A broker's live pages, new at every step. Each row's record is in the
// column kRecordHeads names; the client is told no more than a broker tells it.
std::string stockName(int i) {
    static const char* const kNames[] = {"浦发银行", "白云机场", "东风汽车", "中国国贸",
                                         "首创股份", "上海机场", "包钢股份", "华能国际",
                                         "皖通高速", "华夏银行"};
    static const char* const kPrefixes[] = {"", "新", "大", "中"};
    if (i == 39) i = 38;  // two rows of one name
    return std::string(kPrefixes[i / 10 % 4]) + kNames[i % 10];
}
std::string stockCode(int i) { return std::to_string(600000 + i * 7); }
std::string price(int cents) {
    return std::to_string(cents / 100) + "." + std::to_string(cents / 10 % 10) +
           std::to_string(cents % 10);
}
int priceOf(int i, int step) { return 500 + i * 37 + (step * (i + 3) * 7919) % 200; }
std::string row(const std::string& action, const std::vector<std::string>& cells) {
    std::string out = "<tr onclick=\"" + action + "\">";
    for (const std::string& c : cells) out += "<td>" + c + "</td>";
    return out + "</tr>";
}

void writeLive(test::TestServer& server, int step) {
    // A ranking: the rank first, the code keyed otherwise, re-sorted by the moving
    // prices; actions and a caption carry the price.
    std::vector<int> byPrice(40);
    for (int i = 0; i < 40; ++i) byPrice[i] = i;
    std::stable_sort(byPrice.begin(), byPrice.end(),
                     [&](int a, int b) { return priceOf(a, step) > priceOf(b, step); });
    std::string rank = "<text>涨幅排名</text><button caption=\"卖出 " +
                       price(priceOf(byPrice[0], step)) +
                       "\" onclick=\"fw(hub.zqml?w=sell)\"/><table><th><td>排名</td>"
                       "<td>名称</td><td name=\"zqdm\">代码</td><td>现价</td></th>";
    for (int r = 0; r < 40; ++r) {
        const int i = byPrice[r], p = priceOf(i, step);
        rank += row("fw(buy.zqml?w=" + stockCode(i) + "&p=" + price(p) + ")",
                    {std::to_string(r + 1), stockName(i), stockCode(i), price(p)});
    }
    server.writePage("rank.zqml", doc(rank + "</table>", "refresh(1)"));
    // Today's orders, keyed by the stock's code: new ones come on top, some
    // leave, and one stock has many.
    std::string orders =
        "<table><th><td>委托号</td><td name=\"code\">代码</td><td>名称</td>"
        "<td>委托价</td></th>";
    for (int n = 40 + step / 3, shown = 0; n > 0 && shown < 40; --n) {
        if ((n * 13 + step / 4) % 9 == 0) continue;
        const int i = n * 7 % 12;
        orders += row("gw(cx.zqml?w=" + std::to_string(n) + ")",
                      {std::to_string(n), stockCode(i), stockName(i), price(priceOf(i, n))});
        ++shown;
    }
    server.writePage("orders.zqml", doc(orders + "</table>", "refresh(1)"));
    // A batch form, one quantity per stock, in a new order at each reload.
    std::string batch = "<text>批量委托</text>" + button("hub.zqml", "b2") +
                        ""
                        "<form id=\"b\" action=\"hub.zqml?w=bq\"><text>备注</text>"
                        "<edit name=\"memo\" value=\"\"/>";
    for (int k = 0; k < 5; ++k) {
        const int i = (k + step) % 5;
        batch +=
            "<text>" + stockCode(i) + " " + stockName(i) + "</text><edit name=\"qty\" value=\"\"/>";
    }
    batch += "<button caption=\"批量下单\" onclick=\"submit(b)\"/></form>" + link("hub.zqml", "b1");
    server.writePage("batch.zqml", doc(batch, "refresh(1)"));
}

// --- steps ----------------------------------------------------------------------------

const std::vector<std::pair<std::string, int>> kKeys = {{"up", kKeyUp},
                                                        {"down", kKeyDown},
                                                        {"left", kKeyLeft},
                                                        {"right", kKeyRight},
                                                        {"fire", kKeyEnter},
                                                        {"soft1", kKeySoftLeft},
                                                        {"back", kKeySoftRight},
                                                        {"clear", kKeyClear},
                                                        {"hash", kKeyHash},
                                                        {"1", '1'},
                                                        {"5", '5'},
                                                        {"0", '0'}};

int keyCode(const std::string& name) {
    for (const auto& [n, code] : kKeys) {
        if (n == name) return code;
    }
    return 0;
}

// "key NAME", "hold NAME MS", "tap X Y [MS held]", "drag X Y X2 Y2", "wait MS", "home"
// (the start address opened again).
struct Step {
    std::string op;
    std::string key;
    int a = 0, b = 0, c = 0, d = 0;
    std::string text() const {
        std::ostringstream s;
        s << op;
        if (!key.empty()) s << ' ' << key;
        if (op == "hold" || op == "wait") s << ' ' << a;
        if (op == "tap" || op == "drag") s << ' ' << a << ' ' << b;
        if (op == "tap" && c > 0) s << ' ' << c;
        if (op == "drag") s << ' ' << c << ' ' << d;
        return s.str();
    }
};

std::vector<Step> parseScript(const std::string& script) {
    std::vector<Step> steps;
    std::istringstream in(script);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        Step s;
        if (!(words >> s.op)) continue;
        if (s.op == "key" || s.op == "hold") words >> s.key;
        words >> s.a >> s.b >> s.c >> s.d;
        steps.push_back(s);
    }
    return steps;
}

std::string valueOf(const std::string& query, const std::string& name) {
    for (size_t at = 0; at < query.size();) {
        size_t end = query.find('&', at);
        if (end == std::string::npos) end = query.size();
        if (query.compare(at, name.size() + 1, name + "=") == 0) {
            return query.substr(at + name.size() + 1, end - at - name.size() - 1);
        }
        at = end + 1;
    }
    return std::string();
}
std::string pathOf(std::string url) {
    const size_t host = url.find("://");
    if (host != std::string::npos) url.erase(0, host + 3);
    url.erase(0, std::min(url.find('/'), url.size()));
    return url.substr(0, url.find('?'));
}
// The item that raised a request: its "w=", else a row's code (a tapped row
// sends it inside another field too, so the last one is taken).
std::string markerOf(const std::string& query) {
    const std::string w = valueOf(query, "w");
    const size_t code = query.rfind("code=");
    if (!w.empty() || code == std::string::npos) return w;
    return query.substr(code + 5, query.find('&', code) - code - 5);
}

// Checks: offscreen, hidden, select, press, request, back, values, resubmit, left, twice,
// shown, act, record, fields, view, screen, hang.
// Checks left out by default (none): ZQ_WALK_SKIP names them, e.g. for triage.
constexpr const char* kSkippedByDefault = "";
bool checking(const char* check) {
    const char* skip = std::getenv("ZQ_WALK_SKIP");
    return std::string(skip ? skip : kSkippedByDefault).find(check) == std::string::npos;
}

// --- the walk -------------------------------------------------------------------------

class Walk;

class RandomWalk : public test::ControllerFixture<> {
protected:
    friend class Walk;
    RandomWalk();
    // Runs `count` steps from `next`; on a fault, fails with the script up to it.
    void walk(const std::string& name, int count, const std::function<Step(Walk&, int)>& next);
    // The failure's text with the script up to it; the screen is saved beside it.
    std::string report(const std::string& name, const std::vector<Step>& steps,
                       const std::string& problem);
    // Keys and the pen come through the main frame, as from the window.
    MainFrame frame_{*display_};
};

class Walk {
public:
    // The opening page's request was the test's own.
    explicit Walk(RandomWalk& f) : f_(f) {
        f.server_.clearRequests();
        asked_.insert("/hub.zqml?");
    }

    // Does `step` and checks the models; an empty string when all hold.
    std::string run(const Step& step, int index);
    Step choose(std::mt19937& rng);

private:
    Screen* screen() const { return f_.controller_->currentScreen(); }
    Item* focusedLeaf() const;
    Rect onScreen(Item* item, bool row = true) const;
    std::string focusedMarker() const;
    // With `onText`, only where a link's or a button's text is drawn.
    void markersAt(int x, int y, std::set<std::string>& out, bool onText = false) const;
    void actionItems(Item* item, std::vector<Item*>& out) const;
    // The shown fields, each known by its name and the text before it (a batch
    // form's stock), in page order.
    std::vector<std::pair<std::string, TextField*>> fields() const;
    // What the focus is on, as the site knows it: a row's record, a field's
    // stock, a control's marker; empty for none.
    std::string focusedRecord() const;
    void press(const std::string& marker, bool mustAct);
    void settle(int minMs);
    std::string checkFocus();
    std::string checkRequests(const Step& step);
    std::string checkView(const Step& step, Screen* s, int offset, Item* focused, int thumbTop,
                          int thumbBottom);

    struct Press {
        std::string marker;
        std::map<std::string, std::vector<std::string>> shown;  // the fields' values
        bool mustAct = false;  // Enter or a tap on an item with an action: one request is due
        int requests = 0;
        bool opened = false;  // its page came on screen (perhaps from the cache)
    };

    RandomWalk& f_;
    Surface window_{240, 320};
    size_t seen_ = 0;  // requests of the server's log already judged
    // The presses of this step and the last two: a press's request can reach
    // the server after two quick keys.
    std::deque<std::vector<Press>> presses_;
    std::set<std::string> asked_;   // every page address asked for, for Back
    std::set<std::string> recent_;  // paths asked for this step, and the last
    std::set<std::string> lastRecent_;
    std::string before_;     // the page shown when the step began
    bool homeOwed_ = false;  // the hub was asked for and has not come yet (a box held it)
    bool backTap_ = false;
    int stuck_ = 0;              // steps on a forwarding page
    std::string beforeForward_;  // the page the user left for a forwarding page
};

Item* Walk::focusedLeaf() const {
    Screen* s = screen();
    if (!s || !s->getContent()) return nullptr;
    if (auto* tabs = dynamic_cast<TabbedForm*>(s); tabs && tabs->isTabBarFocused()) {
        return tabs->getTabBar();
    }
    Item* at = s->getContent();
    for (;;) {
        Item* next = nullptr;
        if (auto* node = dynamic_cast<NodeItem*>(at)) {
            next = node->focusedPart();
        } else if (ItemContainer* box = at->asContainer()) {
            next = box->getFocusedItem();
        }
        if (!next) return at == s->getContent() ? nullptr : at;
        at = next;
    }
}

// Where the item (a table: its focused row) is drawn, in screen pixels.
Rect Walk::onScreen(Item* item, bool row) const {
    // Each scrolling container on the way up (a tab page scrolls inside the screen)
    // tells the nearest scrolling one's offset.
    int top = item->getAbsoluteY();
    for (Item* at = item->getParent(); at; at = at->getParent()) {
        ItemContainer* box = at->asContainer();
        ItemContainer* up = at->getParent() ? at->getParent()->asContainer() : nullptr;
        if (box && (!up || up->getScrollYOffset() != box->getScrollYOffset())) {
            top += box->getScrollYOffset();
        }
    }
    Rect r = Rect::fromSize(item->getAbsoluteX(), top, item->itemWidth(), item->itemHeight());
    if (auto* t = dynamic_cast<FixTableItem*>(item); row && t && t->focusedRow() >= 0) {
        // Each row has a rule line above it.
        r.top = top + t->contentY() + t->captionHeight() + t->headHeight() +
                t->focusedRow() * (t->rowHeight() + 1) + 1;
        r.bottom = r.top + t->rowHeight() + 1;
    }
    return r;
}

// A link's text, a button's caption, a table row's code.
std::string markerOf(Item* item, int row) {
    if (auto* t = dynamic_cast<FixTableItem*>(item)) {
        const auto& model = t->getModel();
        if (!model || row < 0 || row >= model->getRowCount()) return std::string();
        for (const std::string& head : kRecordHeads) {
            for (int c = 0; c < model->getColumnCount(); ++c) {
                if (model->getColumnName(c).toUtf8() == head)
                    return model->getValueAt(c, row).toUtf8();
            }
        }
        return model->getValueAt(0, row).toUtf8();
    }
    if (auto* b = dynamic_cast<ButtonItem*>(item)) {
        const std::string caption = b->getCaption().toUtf8();
        const auto it = kCaptionMarkers.find(caption.substr(0, caption.find(' ')));
        return it != kCaptionMarkers.end() ? it->second : caption;
    }
    return item && item->isHyperlinkItem() ? item->getText().toUtf8() : std::string();
}

std::string Walk::focusedMarker() const {
    Item* item = focusedLeaf();
    auto* table = dynamic_cast<FixTableItem*>(item);
    // A table focused on no row acts on none.
    return markerOf(item, !table ? 0 : table->tableFocused() ? table->focusedRow() : -1);
}

// Items that act or take the focus, drawn (not hidden) in the shown page.
void Walk::actionItems(Item* item, std::vector<Item*>& out) const {
    if (!item || !item->isVisible()) return;
    if (auto* node = dynamic_cast<NodeItem*>(item)) {
        out.push_back(node->header());
        if (node->isExpanded()) actionItems(&node->children(), out);
        return;
    }
    if (auto* box = dynamic_cast<Container*>(item)) {
        for (int i = 0; i < box->size(); ++i) actionItems(box->getItem(i), out);
        return;
    }
    if (item->isHyperlinkItem() || item->isFixTableItem() || dynamic_cast<ButtonItem*>(item) ||
        dynamic_cast<TextField*>(item)) {
        out.push_back(item);
    }
}

std::vector<std::pair<std::string, TextField*>> Walk::fields() const {
    std::vector<std::pair<std::string, TextField*>> out;
    std::string label;
    const std::function<void(Item*)> visit = [&](Item* item) {
        if (!item || !item->isVisible()) return;
        if (auto* node = dynamic_cast<NodeItem*>(item)) {
            if (node->isExpanded()) visit(&node->children());
        } else if (auto* box = dynamic_cast<Container*>(item)) {
            for (int i = 0; i < box->size(); ++i) visit(box->getItem(i));
        } else if (auto* field = dynamic_cast<TextField*>(item)) {
            out.emplace_back(field->getFormName().toUtf8() + " after " + label, field);
        } else if (!item->getText().isEmpty()) {
            label = item->getText().toUtf8();
        }
    };
    if (screen()) visit(screen()->getContent());
    return out;
}

std::string Walk::focusedRecord() const {
    Item* item = focusedLeaf();
    if (!item) return std::string();
    for (const auto& [name, field] : fields()) {
        if (field == item) return name;
    }
    const std::string marker = focusedMarker();
    return !marker.empty() || item->isFixTableItem() ? marker : item->getText().toUtf8();
}

void Walk::press(const std::string& marker, bool mustAct) {
    if (marker.empty()) return;
    Press p{marker,
            {},
            mustAct && screen() && !screen()->isLoading() && f_.display_->getCurrent() == screen()};
    for (const auto& [name, field] : fields()) {
        p.shown[field->getFormName().toUtf8()].push_back(field->getText().toUtf8());
    }
    presses_.front().push_back(std::move(p));
}

void Walk::markersAt(int x, int y, std::set<std::string>& out, bool onText) const {
    std::vector<Item*> items;
    actionItems(screen()->getContent(), items);
    for (Item* item : items) {
        const Rect r = onScreen(item, false);
        auto* t = dynamic_cast<FixTableItem*>(item);
        // A marker's first two letters are drawn at its left; a row is pressed
        // across the table's content, not on its frame.
        const int left = r.left + (t ? item->contentX() : 0);
        const int right = t ? left + item->contentWidth() : r.left + 14;
        if (!r.contains(x, y) || ((onText || t) && (x < left || x >= right))) continue;
        out.insert(markerOf(item, t ? t->rowAt(y - r.top) : -1));
    }
}

void Walk::settle(int minMs) {
    const auto start = std::chrono::steady_clock::now();
    f_.pumpUntil([&] {
        Screen* s = screen();
        return (!s || !s->isLoading()) &&
               std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(minMs);
    });
}

std::string Walk::checkFocus() {
    Screen* s = screen();
    if (!s) return std::string();
    f_.display_->paint(window_);
    Item* focused = focusedLeaf();
    if (!focused) {
        if (s->leftLabel() == CString(u"确定选择") && checking("select"))
            return "no focus, yet the left soft key selects";
        return std::string();
    }
    if (dynamic_cast<TabbedForm*>(s) && focused == static_cast<TabbedForm*>(s)->getTabBar()) {
        return std::string();
    }
    for (Item* at = focused; at && at != s->getContent(); at = at->getParent()) {
        if (!at->isVisible() && checking("hidden")) return "the focus is on a hidden control";
    }
    const Rect r = onScreen(focused);
    const Rect& view = s->contentRect();
    if ((r.bottom <= view.top || r.top >= view.bottom) && checking("offscreen")) {
        return "the focused control (" + focusedMarker() + " " + focused->getText().toUtf8() +
               ") is off screen: " + std::to_string(r.top) + ".." + std::to_string(r.bottom) +
               " in view " + std::to_string(view.top) + ".." + std::to_string(view.bottom);
    }
    return std::string();
}

// A query's fields, decoded, each name's values in order.
std::map<std::string, std::vector<std::string>> queryFields(const std::string& query) {
    std::map<std::string, std::vector<std::string>> out;
    std::istringstream in(query);
    for (std::string pair; std::getline(in, pair, '&');) {
        const size_t eq = std::min(pair.find('='), pair.size());
        std::string value;
        for (size_t i = eq + 1; i < pair.size(); ++i) {
            if (pair[i] == '%' && i + 2 < pair.size()) {
                value += static_cast<char>(std::stoi(pair.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                value += pair[i] == '+' ? ' ' : pair[i];
            }
        }
        out[pair.substr(0, eq)].push_back(value);
    }
    return out;
}
std::string joined(const std::vector<std::string>& values) {
    std::string out;
    for (const std::string& v : values) out += (out.empty() ? "\"" : ",\"") + v + "\"";
    return out;
}
std::string queryOf(const std::string& url) {
    const size_t q = url.find('?');
    return q == std::string::npos ? std::string() : url.substr(q + 1);
}

std::string Walk::checkRequests(const Step& step) {
    const std::vector<testserver::ReceivedRequest> log = f_.server_.requests();
    // Now and then judged requests leave the log, so that a long walk does not copy it whole
    // each step (one that came in just then goes unjudged).
    const size_t from = seen_;
    seen_ = log.size() > 500 ? 0 : log.size();
    if (seen_ == 0) f_.server_.clearRequests();
    const std::string shown = f_.shownUrl();
    const bool back = step.key == "back" || backTap_;
    // The user has left the page shown at the start: Back, or a press's or the start
    // address's request went out (its page may still be on its way).
    bool left = back;
    std::string problem;
    for (size_t i = from; i < log.size() && problem.empty(); ++i) {
        const std::string path = log[i].target.path;
        std::string query = log[i].target.query;
        const size_t ids = query.find("pageid=");
        if (ids != std::string::npos) query.erase(ids == 0 ? 0 : ids - 1);
        const std::string address = path + "?" + query;
        const std::string marker = markerOf(query);
        const bool forwarded = [&] {
            for (const std::set<std::string>* paths : {&recent_, &lastRecent_}) {
                for (const std::string& p : *paths) {
                    auto it = kForwards.find(p);
                    if (it != kForwards.end() && it->second == path) return true;
                }
            }
            return false;
        }();
        // The oldest press on the marker that has not yet sent its request.
        Press* owed = nullptr;
        bool again = false;
        for (auto it = presses_.rbegin(); it != presses_.rend(); ++it) {
            for (Press& p : *it) {
                if (p.marker != marker) continue;
                if (!owed && p.requests == 0) owed = &p;
                again = again || p.requests > 0;
            }
        }
        if (owed) {
            ++owed->requests;
            const auto sent = queryFields(query);
            for (const auto& [name, values] : owed->shown) {
                const auto it = sent.find(name);
                if (it != sent.end() && it->second != values && checking("values")) {
                    problem = address + " sent " + name + "=" + joined(it->second) +
                              ", while the page showed " + joined(values);
                }
            }
        } else if (path.ends_with(".png") || forwarded ||
                   (step.op == "home" && path == "/hub.zqml")) {
        } else if (back && kSubmits.count(marker)) {
            if (checking("resubmit")) problem = "Back sent the submission " + address + " again";
        } else if (kRefreshing.count(path) &&
                   (path == pathOf(shown) || (path == pathOf(before_) && !left))) {
            // a reload of the page shown
        } else if (back && asked_.count(address)) {
        } else if (kRefreshing.count(path) && asked_.count(address)) {
            if (checking("left")) problem = "a reload of " + address + " after the user left it";
        } else if (again) {
            if (checking("twice"))
                problem = "one press on " + marker + " sent " + address + " twice";
        } else if (!marker.empty()) {
            if (checking("press")) {
                const auto& now = presses_.front();
                problem = "the request " + address + " came from " + marker +
                          ", while the press began on " +
                          (now.empty() ? std::string("nothing") : now.front().marker);
            }
        } else if (checking("request")) {
            problem = "nobody asked for " + address;
        }
        left =
            left || (owed && !path.ends_with(".png")) || (step.op == "home" && path == "/hub.zqml");
        // A press that opens a forwarding page: Back is due to show the page left.
        if (!marker.empty() && problem.empty()) beforeForward_ = kForwards.count(path) ? "?" : "";
        if (std::getenv("ZQ_WALK_TRACE")) std::cout << "  asked " << address << "\n";
        recent_.insert(path);
        asked_.insert(address);
    }
    if (!problem.empty()) return problem;
    // A page on screen that the user did not open nor go back to.
    // (Where a tap on a tab page lands the walk does not always know.)
    const bool tabTap = step.op == "tap" && pathOf(before_) == "/tabs.zqml";
    if (step.op == "home") homeOwed_ = true;
    // Only the hub itself pays it: a hub page with a query is another page.
    const bool home = homeOwed_ && pathOf(shown) == "/hub.zqml" && queryOf(shown).empty();
    if (home) homeOwed_ = false;
    if (shown != before_ && !shown.empty() && !back && !home && !tabTap && checking("shown")) {
        const std::string marker = markerOf(queryOf(shown));
        bool opened = false;
        for (auto& pressesOfStep : presses_) {
            for (Press& p : pressesOfStep) {
                if (p.marker == marker) opened = p.opened = true;
            }
        }
        std::set<std::string> from = recent_;
        from.insert(lastRecent_.begin(), lastRecent_.end());
        from.insert(pathOf(before_));
        for (const std::string& p : from) {
            const auto it = kForwards.find(p);
            opened = opened || (it != kForwards.end() && it->second == pathOf(shown));
        }
        if (!opened) return shown + " came on screen, which the user did not open";
    }
    // Enter or a tap on an item with an action, two steps back, sent nothing.
    if (presses_.size() == 3 && checking("act")) {
        for (const Press& p : presses_.back()) {
            if (p.mustAct && p.requests == 0 && !p.opened)
                return p.marker + " was pressed and sent nothing";
        }
    }
    return std::string();
}

std::string Walk::run(const Step& step, int index) {
    writeQuote(f_.server_, index);
    writeLive(f_.server_, index);
    presses_.push_front({});
    if (presses_.size() > 3) presses_.pop_back();
    backTap_ = false;
    lastRecent_ = std::move(recent_);
    recent_.clear();
    Screen* s = screen();
    const std::string before = f_.shownUrl();
    before_ = before;
    Display& display = *f_.display_;
    display.paint(window_);  // what a reply changed since the last step is laid out and drawn
    // What the view, the focus and the fields were before the step.
    const int offset = s ? s->getScrollOffset() : 0;
    Item* const focused = focusedLeaf();
    const std::string record = focusedRecord();
    std::map<std::string, std::string> values;
    for (const auto& [name, field] : fields()) values[name] = field->getText().toUtf8();
    int thumbTop = 0, thumbBottom = 0;
    for (int y = 0; s && y < s->usableHeight(); ++y) {
        if (!s->thumbAt(236, y)) continue;
        thumbTop = thumbTop ? thumbTop : y;
        thumbBottom = y + 1;
    }
    const int code = keyCode(step.key);
    // The walk's user answers No to the exit question: the key does nothing.
    const bool exits =
        step.key == "back" && s && s->rightLabel() == f_.controller_->exitCommand()->getLabel();
    if (exits) {
    } else if (step.op == "key" || step.op == "hold") {
        if (step.key == "fire" || step.key == "soft1" || step.key == "5") {
            press(focusedMarker(), step.key == "fire");
        }
        f_.frame_.onInput(KeyDown{code, 1});
        if (step.op == "hold") {
            const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(step.a);
            // A person's time where a reload can come meanwhile; else only the repeats.
            const bool live = kRefreshing.count(pathOf(before)) || (s && s->isLoading());
            for (int n = 2;
                 n <= step.a / 50 + 1 && (!live || std::chrono::steady_clock::now() < end); ++n) {
                if (live) f_.pumpUntil([] { return false; }, 50);
                f_.executor_.runPending();
                f_.frame_.onInput(KeyDown{code, n});
            }
        }
        f_.frame_.onInput(KeyUp{code});
    } else if (step.op == "home") {
        beforeForward_.clear();
        f_.controller_->openUrl({.url = CString::fromUtf8(f_.server_.urlFor("/hub.zqml"))});
    } else if (step.op == "tap" || step.op == "drag") {
        // The soft-key bar: the left key acts on the focused item, the right one is Back.
        if (s && step.b >= s->usableHeight()) {
            if (step.a <= s->leftAreaWidth()) press(focusedMarker(), false);
            backTap_ = step.a >= s->rightAreaStart();
        } else if (s) {
            std::set<std::string> markers, onText;
            markersAt(step.a, step.b, markers);
            markersAt(step.a, step.b, onText, true);
            markers.erase(std::string());
            for (const std::string& m : markers) {
                press(m, step.op == "tap" && step.c == 0 && markers.size() == 1 && onText.count(m));
            }
        }
        f_.frame_.onInput(PointerDown{step.a, step.b});
        if (step.op == "tap" && step.c > 0) {
            const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(step.c);
            while (std::chrono::steady_clock::now() < end) f_.pumpUntil([] { return false; }, 50);
        }
        if (step.op == "drag") {
            for (int i = 1; i <= 4; ++i) {
                f_.frame_.onInput(PointerMove{step.a + (step.c - step.a) * i / 4,
                                              step.b + (step.d - step.b) * i / 4});
                f_.executor_.runPending();
            }
        }
        f_.frame_.onInput(
            PointerUp{step.op == "drag" ? step.c : step.a, step.op == "drag" ? step.d : step.b});
    }
    settle(step.op == "wait" ? step.a : 0);
    // A reply waits behind an alert the user has not answered yet.
    const bool covered = f_.display_->getCurrent() != screen();
    if (screen() && screen()->isLoading() && !covered && checking("hang")) {
        return "the page is still loading";
    }
    std::string problem = checkRequests(step);
    if (beforeForward_ == "?") beforeForward_ = before;
    if (problem.empty()) problem = checkFocus();
    if (problem.empty() && s == screen()) {
        problem = checkView(step, s, offset, focused, thumbTop, thumbBottom);
    }
    // With no key between, a reload keeps the focus on its record (or on none) and
    // each field's value.
    if (problem.empty() && step.op == "wait" && f_.shownUrl() == before) {
        if (focusedRecord() != record && !focusedRecord().empty() && checking("record")) {
            problem = "the focus went from " + (record.empty() ? "none" : record) + " to " +
                      focusedRecord();
        }
        for (const auto& [name, field] : fields()) {
            const auto was = values.find(name);
            if (was != values.end() && was->second != field->getText().toUtf8() &&
                checking("fields")) {
                problem = "the field " + name + " went from \"" + was->second + "\" to \"" +
                          field->getText().toUtf8() + "\"";
            }
        }
    }
    if (std::getenv("ZQ_WALK_TRACE")) {
        std::cout << step.text() << " -> " << f_.shownUrl() << " [" << focusedMarker() << "] "
                  << (screen() ? screen()->leftLabel().toUtf8() : "") << "\n";
    }
    // Back after a page that forwarded on, or a loop, shows the page the user left.
    if (problem.empty() && (step.key == "back" || backTap_) && !beforeForward_.empty() &&
        checking("back")) {
        if (f_.shownUrl() != beforeForward_) {
            problem = "Back after a forward shows " + f_.shownUrl() + ", not " + beforeForward_;
        }
        beforeForward_.clear();
    }
    return problem;
}

// RIGHT and LEFT page where they move nothing else, and the scroll bar moves the view,
// where there is room; with nothing focused one key moves it at most about a screen.
std::string Walk::checkView(const Step& step, Screen* s, int offset, Item* focused, int thumbTop,
                            int thumbBottom) {
    // Keys that a menu, a keyboard or a box over the page take are not the page's.
    const bool over = s->isPopupMenuOpen() || f_.display_->getCurrent() != s ||
                      (s->getSoftKeyboard() && s->getSoftKeyboard()->isVisible());
    if (dynamic_cast<TabbedForm*>(s) || !s->getContent() || over) return std::string();
    const int view = s->contentRect().height();
    const int lowest = std::min(0, view - s->getContent()->itemHeight());
    const int now = s->getScrollOffset();
    const bool plain = !focused || focused->isHyperlinkItem() || dynamic_cast<ButtonItem*>(focused);
    if (step.op == "key" && (step.key == "right" || step.key == "left") && plain &&
        (step.key == "right" ? offset > lowest : offset < 0) && now == offset &&
        focusedLeaf() == focused && checking("view")) {
        return step.key + " moved neither the view nor the focus";
    }
    if (step.op == "key" && (step.key == "up" || step.key == "down") && !focused &&
        std::abs(now - offset) > view && checking("screen")) {
        return step.key + " with nothing focused moved the view " +
               std::to_string(std::abs(now - offset)) + " px";
    }
    if ((step.op == "tap" || step.op == "drag") && step.a == 236 && thumbBottom > 0 &&
        step.b < s->usableHeight() && checking("view")) {
        // Off the thumb the bar pages toward the tap; on it a drag moves along.
        const bool onThumb = step.b >= thumbTop && step.b < thumbBottom;
        int toward = 0;
        if (!onThumb) toward = step.b < thumbTop ? 1 : -1;
        if (onThumb && step.op == "drag" && std::abs(step.d - step.b) >= 10) {
            toward = step.d < step.b ? 1 : -1;
        }
        if ((toward > 0 && offset < 0 && now <= offset) ||
            (toward < 0 && offset > lowest && now >= offset)) {
            return "the scroll bar left the view at " + std::to_string(now);
        }
    }
    return std::string();
}

Step Walk::choose(std::mt19937& rng) {
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    Step s;
    // Out of a page that keeps the walk (a loop Back cannot leave): the start address again.
    stuck_ = kForwards.count(pathOf(f_.shownUrl())) ? stuck_ + 1 : 0;
    const int roll = pick(100);
    const bool live = kRefreshing.count(pathOf(f_.shownUrl()));
    if (live && roll % 20 == 1) {
        // Hands off while a reload comes.
        s.op = "wait";
        s.a = 1000 + pick(300);
    } else if (stuck_ > 8 || roll == 0) {
        s.op = "home";
    } else if (roll < 50) {
        static const char* const kWeighted[] = {"down", "down", "down",  "up",    "up",   "fire",
                                                "fire", "left", "right", "soft1", "back", "clear",
                                                "hash", "1",    "5",     "0",     "right"};
        s.op = "key";
        s.key = kWeighted[pick(static_cast<int>(std::size(kWeighted)))];
    } else if (roll < 58) {
        static const char* const kHeld[] = {"down", "up", "fire", "fire", "right", "5"};
        s.op = "hold";
        s.key = kHeld[pick(static_cast<int>(std::size(kHeld)))];
        // A person's press, or a long one: often where a reload may come meanwhile.
        s.a = pick(live ? 2 : 6) ? 100 + pick(300) : 800 + pick(700);
    } else if (roll < 84) {
        s.op = "tap";
        std::vector<Item*> items;
        if (screen()) actionItems(screen()->getContent(), items);
        const Rect view = screen() ? screen()->contentRect() : Rect::fromSize(0, 0, 240, 296);
        std::vector<Rect> drawn;
        for (Item* item : items) {
            Rect r = onScreen(item);
            r.top = std::max(r.top, view.top);
            r.bottom = std::min(r.bottom, view.bottom);
            if (r.bottom > r.top && r.right > r.left) drawn.push_back(r);
        }
        if (!drawn.empty() && pick(3)) {
            const Rect& r = drawn[pick(static_cast<int>(drawn.size()))];
            s.a = r.left + pick(std::max(1, r.width()));
            s.b = r.top + pick(std::max(1, r.height()));
            // Held as long as a reload takes to come, now and then.
            if (kRefreshing.count(pathOf(f_.shownUrl())) && !pick(3)) s.c = 800 + pick(700);
        } else {
            s.a = pick(240);
            s.b = pick(320);
        }
    } else if (roll < 92) {
        // The scroll bar at the right edge: a tap, or a drag along it.
        s.op = pick(2) ? "tap" : "drag";
        s.a = 236;
        if (s.op == "drag") s.c = 236;
        s.b = 20 + pick(270);
        s.d = 20 + pick(270);
    } else if (roll < 98) {
        s.op = "key";
        s.key = "back";
    } else {
        s.op = "wait";
        s.a = 200 + pick(1200);
    }
    return s;
}

// --- the tests ------------------------------------------------------------------------

std::string script(const std::vector<Step>& steps) {
    std::string out;
    for (const Step& s : steps) out += s.text() + "\n";
    return out;
}

RandomWalk::RandomWalk() {
    useServer(false);
    Surface red(20, 60);  // tall, so that pictures coming late move what is below
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 20; ++x) red.setPixel(x, y, rgb(220, 30, 30));
    }
    const std::filesystem::path file = scratch_.path() / "p.png";
    savePng(red, file.string());
    writeSite(server_, readFile(file, 1 << 20).value_or(std::string()));
    writeQuote(server_, 0);
    writeLive(server_, 0);
    controller_->openUrl({.url = CString::fromUtf8(server_.urlFor("/hub.zqml"))});
    EXPECT_TRUE(pumpUntil([&] { return shows("/hub.zqml"); }));
}

void RandomWalk::walk(const std::string& name, int count,
                      const std::function<Step(Walk&, int)>& next) {
    Walk w(*this);
    std::vector<Step> steps;
    for (int i = 0; i < count; ++i) {
        steps.push_back(next(w, i));
        const std::string problem = w.run(steps.back(), i);
        if (!problem.empty()) FAIL() << report(name, steps, problem);
    }
    if (name == "Env") std::cout << report(name, steps, "passed") << "\n";
}

std::string RandomWalk::report(const std::string& name, const std::vector<Step>& steps,
                               const std::string& problem) {
    Surface window(240, 320);
    display_->paint(window);
    const std::string file = (std::filesystem::path(testing::TempDir()) / (name + ".png")).string();
    savePng(window, file);
    return name + ", step " + std::to_string(steps.size()) + " (" + steps.back().text() +
           "): " + problem + "\n(screen: " + file + ")\n--- script ---\n" + script(steps) + "---";
}

int envInt(const char* name, int fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::atoi(v) : fallback;
}

std::vector<int> seeds() {
    std::vector<int> out;
    const char* v = std::getenv("ZQ_WALK_SEEDS");
    std::istringstream in(v && *v ? v : "1,2,3");
    for (std::string s; std::getline(in, s, ',');) out.push_back(std::atoi(s.c_str()));
    return out;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr int kDefaultSteps = 150;
#else
constexpr int kDefaultSteps = 600;
#endif

class RandomWalkSeed : public RandomWalk, public ::testing::WithParamInterface<int> {};

TEST_P(RandomWalkSeed, ModelsHoldOnEveryStep) {
    std::mt19937 rng(static_cast<unsigned>(GetParam()));
    walk("seed" + std::to_string(GetParam()), envInt("ZQ_WALK_STEPS", kDefaultSteps),
         [&](Walk& w, int) { return w.choose(rng); });
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomWalkSeed, ::testing::ValuesIn(seeds()),
                         [](const auto& info) { return "Seed" + std::to_string(info.param); });

// Walks that failed once, cut short, as scripts; ZQ_WALK_SCRIPT adds one more.
struct Replay {
    std::string name;
    std::string script;
};
std::string times(int n, const std::string& line) {
    std::string out;
    for (int i = 0; i < n; ++i) out += line + "\n";
    return out;
}
std::vector<Replay> replays() {
    std::vector<Replay> rows = {
        {"ForwardedLoginBack", times(8, "key down") + "key fire\nkey back\n"},
        {"StoppedLoopBack", times(10, "key down") + "key fire\n" + times(7, "key down") +
                                "key fire\nwait 500\nkey back\n"},
        {"RightPagesAwayFromTheFocus",
         "key down\nkey fire\nkey down\nkey down\nkey right\nkey right\n"},
        {"HeldFireOverASwappingReload", "key down\nkey down\nkey fire\nkey down\nhold fire 1500\n"},
        {"HeldFireOnARowOverANewRowOnTop",
         "key down\nkey down\nkey fire\n" + times(3, "key down") + "hold fire 1500\n"},
        {"ScrollBarTapPagesAwayFromTheFocus", "key down\nkey fire\nkey down\ntap 236 250\n"},
        {"ScrollBarTapWhileTheTabBarHasTheKeys", "tap 74 48\ntap 236 282\nhold fire 210\n"},
        {"TapBelowALinkWhileTheTabBarHasTheKeys", "tap 74 48\ntap 30 48\n"},
        {"ScrollBarTapOverARowThenATapOnTheNextRow",
         "tap 74 48\nkey right\nkey right\ntap 236 68\nkey down\ntap 90 71\nkey soft1\ntap 7 "
         "191\n"},
        {"TapOnALinksTopEdgeWhileTheTabBarHasTheKeys", "tap 74 48\ntap 1 293\nwait 10\nwait 10\n"},
        {"TapRightOfAButton", "tap 75 183\n"},
        {"TapOnATablesRightFrame",
         times(20, "wait 10") + "key down\ntap 180 26\nkey down\ntap 239 109\nwait 10\nwait 10\n"},
        {"ScrollBarDragPagesAwayFromTheFocus",
         "key down\nkey fire\nkey down\ndrag 236 28 236 200\n"},
        {"HeldRightOnATabPage", times(3, "key down") + "key fire\nkey down\nhold right 300\n"},
        {"RightInATree", times(4, "key down") + "key fire\nkey down\nkey right\n"},
        {"RightFromAnOpenNodesHeader",
         times(4, "key down") + "key fire\nkey down\nkey down\nkey fire\nkey right\n"},
        {"DragFromARowOfAnOpenNode", times(4, "key down") +
                                         "key fire\nkey down\nkey down\nkey fire\nkey down\n"
                                         "drag 236 40 236 120\n"},
        {"PicturesComingAgainAfterBack", times(5, "key down") + "key fire\nwait 2500\n" +
                                             times(4, "key down") +
                                             "key fire\nkey back\nwait 2500\n"},
        {"HeldUpToTheTabBarLeavesTheSelectOnTheLink",
         times(3, "key down") + "key fire\nkey down\nhold up 100\nkey soft1\n"},
        {"HeldFireOverAReloadOnATableOnNoRow",
         "drag 236 86 236 237\n"
         "key up\n"
         "key up\n"
         "key 1\n"
         "key up\n"
         "key right\n"
         "tap 12 102\n"
         "wait 371\n"
         "key soft1\n"
         "tap 68 11\n"
         "key right\n"
         "key down\n"
         "key 0\n"
         "tap 236 179\n"
         "key back\n"
         "tap 223 35\n"
         "hold up 886\n"
         "tap 90 78\n"
         "tap 176 248\n"
         "hold down 1218\n"
         "key right\n"
         "hold down 202\n"
         "key back\n"
         "key 0\n"
         "key up\n"
         "tap 236 82\n"
         "hold fire 151\n"},
        {"HiddenFieldTakesTheFocus", times(6, "key down") + "key fire\nkey down\nkey down\n"},
        {"UpWithNothingFocusedJumpsToTheLastControl",
         "key right\nkey down\nkey up\ntap 225 8\nkey up\n"},
        {"UpWithNothingFocusedJumpsToARankingsLastRow", "tap 205 223\nkey up\n"},
        {"EnterAfterBackOnTheFirstPage",
         "key back\nkey down\nkey fire\nwait 300\n" + times(2, "wait 10")},
    };
    if (const char* env = std::getenv("ZQ_WALK_SCRIPT")) rows.push_back({"Env", env});
    return rows;
}

void PrintTo(const Replay& r, std::ostream* os) { *os << r.name; }

class RandomWalkReplay : public RandomWalk, public ::testing::WithParamInterface<Replay> {};

TEST_P(RandomWalkReplay, ModelsHoldOnEveryStep) {
    const std::vector<Step> steps = parseScript(GetParam().script);
    walk(GetParam().name, static_cast<int>(steps.size()), [&](Walk&, int i) { return steps[i]; });
}

INSTANTIATE_TEST_SUITE_P(Scripts, RandomWalkReplay, ::testing::ValuesIn(replays()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace zq
