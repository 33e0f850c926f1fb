// Every control that takes the focus or shows a picture, in every kind of
// container a page can put it in, end to end: the built zqclient runs
// headless against the in-process test server. Each control kind has its own
// colours, so the saved screens tell which control has the focus and where
// each one is drawn; the server's log tells what was asked for and sent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/image.h"
#include "platform/surface.h"
#include "tests/support/client_fixture.h"

namespace zq {
namespace {

using test::Box;
using test::Shot;

constexpr uint32_t kPageBg = 0x203040;
constexpr int kBarTop = 320 - 24;  // the soft-key bar

// How a tap on the control shows that it acted.
enum class Act {
    Request,  // the page is asked for again with "c=KIND-PLACE"
    Focus,    // the control takes the focus
    Refresh,  // its picture is asked for again
    None,     // takes no focus and does nothing
};

struct Kind {
    const char* name;
    uint32_t look;   // drawn while not focused (0: found by its focus look only)
    uint32_t focus;  // drawn while focused (0: takes no focus)
    Act act;
};

// In page order. The tree's header and a node's header share the toolkit's
// own focus bar.
constexpr uint32_t kTreeFocus = 0x707070;
constexpr uint32_t kCodePicture = 0x10E010;
constexpr uint32_t kTabBarFocus = 0xFFB300;
// clang-format off
const Kind kKinds[] = {
    {"field", 0xF0E0A0, 0x4040FF, Act::Focus},
    {"link", 0xA00000, 0xFF4040, Act::Request},
    {"choice", 0x00A0A0, 0x40FFFF, Act::Focus},
    {"inline", 0xA0A000, 0xFFFF40, Act::Focus},
    {"combo", 0xA000A0, 0xFF40FF, Act::Focus},
    {"button", 0x00A000, 0x40FF40, Act::Request},
    {"switch", 0xFFFFFF, kTreeFocus, Act::Focus},
    {"grid", 0xE08040, 0xFF00FF, Act::Request},
    {"progress", 0x604080, 0x40C080, Act::Focus},
    {"verify", 0xDFE6EE, 0xF0A030, Act::Refresh},
    {"picture", 0xE01010, 0, Act::None},
    {"imagelink", 0x1010E0, 0x2E6DA4, Act::Request},
    {"table", 0x405060, 0x60A0E0, Act::Request},
    {"simpletable", 0xE0A060, 0xE0A060, Act::Focus},
    {"tree", 0x306030, kTreeFocus, Act::Focus},
    {"emptygrid", 0, 0, Act::None},
};
// clang-format on

const Kind* kindNamed(const std::string& name) {
    for (const Kind& k : kKinds) {
        if (name == k.name) return &k;
    }
    return nullptr;
}

std::string hex(uint32_t c) {
    char text[16];
    std::snprintf(text, sizeof text, "#%06x", static_cast<unsigned>(c));
    return text;
}

std::string sheet() {
    // Radio dots in grey, apart from every focus look.
    auto rule = [](const char* cls, uint32_t look, uint32_t focus) {
        return std::string("k") + cls + "{background-color:" + hex(look) +
               ";focus-background-color:" + hex(focus) +
               ";rado-fill-color:#c0c0c0;"
               "rado-fill-in-color:#c0c0c0}\n";
    };
    std::string css = "<style>\npg{background-color:" + hex(kPageBg) + ";font-color:#f0f0f0}\n";
    for (const Kind& k : kKinds) {
        if (k.look && k.focus && k.focus != k.look && k.focus != kTreeFocus &&
            k.act != Act::Refresh)
            css += rule(k.name, k.look, k.focus);
    }
    css +=
        "kgrid{background-color:#203040;gril-foc-brc:#e08040;focus-gril-foc-brc:#ff00ff;"
        "focus-background-color:#203040}\n";
    css += "ktable{table-odd-color:#405060;table-even-color:#405060;table-row-cbg:#60a0e0}\n";
    css += "ksimpletable{font-color:#e0a060}\n";
    css += "ktree{background-color:#306030}\n";
    return css + "</style>\n";
}

// Every control kind, acting on `self` with "c=KIND-PLACE". `form` names the
// form the button submits, or is empty.
std::string controls(const std::string& self, const std::string& place, const std::string& form) {
    auto hit = [&](const char* kind) { return self + "?c=" + kind + "-" + place; };
    std::string cells;
    for (int i = 0; i < 3; ++i) {
        cells += "<c img=\"file://images/g" + std::to_string(i) + ".png\" v=\"fw(" + hit("grid") +
                 ")\"/>";
    }
    return "<edit class=\"kfield\" name=\"fld\" value=\"\"/>\n"
           "<a class=\"klink\" href=\"" +
           hit("link") +
           "\">Link</a>\n"
           "<choicegroup class=\"kchoice\" name=\"cg\"><o class=\"kchoice\" cp=\"Buy\" v=\"b\"/>"
           "<o class=\"kchoice\" cp=\"Sell\" v=\"s\"/></choicegroup>\n"
           "<singlelinechoicegroup class=\"kinline\" name=\"scg\">"
           "<o class=\"kinline\" cp=\"1\" v=\"1\"/><o class=\"kinline\" cp=\"2\" v=\"2\"/>"
           "</singlelinechoicegroup>\n"
           "<combobox class=\"kcombo\" name=\"cmb\"><o cp=\"X\" v=\"x\"/><o cp=\"Y\" v=\"y\"/>"
           "</combobox>\n"
           "<text>Go</text><button class=\"kbutton\" caption=\"Send\" onclick=\"" +
           (form.empty() ? "fw(" + hit("button") + ")" : "submit(" + form + ")") +
           "\"/>\n"
           "<hostset/>\n"
           "<gm class=\"kgrid\" gid=\"g\">" +
           cells +
           "</gm>\n"
           "<progressbar class=\"kprogress\" maxvalue=\"10\" value=\"4\"/>\n"
           "<affixImg durl=\"code-" +
           place + ".png\"/>\n<img src=\"pic-" + place +
           ".png\"/>\n"
           "<a class=\"kimagelink\" href=\"" +
           hit("imagelink") + "\"><img src=\"lnk-" + place +
           ".png\"/></a>\n"
           "<table class=\"ktable\"><th><td name=\"code\">Code</td><td>Price</td></th>"
           "<tr onclick=\"gw(" +
           hit("table") +
           ")\"><td>600001</td><td>1.00</td></tr></table>\n"
           "<simpletable class=\"ksimpletable\"><tr><td>1</td><td>22</td><td>333</td>"
           "<td>4444</td><td>55555</td><td>666666</td><td>7777777</td><td>88888888</td></tr>"
           "</simpletable>\n"
           "<tree class=\"ktree\"><ti caption=\"Inner\"><ti caption=\"leaf\"/></ti></tree>\n"
           "<gm class=\"kgrid\" gid=\"e\"></gm>\n";
}

// Faults of the client still open: the check named is left out for that
// control in that container.
struct Fault {
    const char* check;
    const char* cell;
};
const Fault kFaults[] = {
    // A tap on blank page while its tab bar has the keys focuses the field and opens the keyboard.
    {"beside", "field in tab1"},
    {"beside", "field in tab2"},
    // A tree under a tree node is not drawn in its own look.
    {"drawn", "tree in tree"},
    {"drawn", "tree in treetab"},
    // Under a tree node a tap left of the host switch, in the node's indent, focuses it.
    {"beside", "switch in tree"},
    {"beside", "switch in treetab"},
};

// Lines of text that fill more than a screen.
std::string lines(int n) {
    std::string out;
    for (int i = 1; i <= n; ++i) out += "<text>Line " + std::to_string(i) + "</text>\n";
    return out;
}

// A container kind: its page, and the keys that bring its controls on.
struct Place {
    const char* name;
    const char* file;
    std::string (*page)(const Place&);
    const char* enter;
    bool hasForm;
    bool nodeHeader;  // the controls sit under an open node
};

const Place kPlaces[] = {
    {"plain", "plain.zqml",
     [](const Place& p) {
         return "<body class=\"pg\">\n" + controls(p.file, p.name, "") + "</body>\n";
     },
     "", false, false},
    {"form", "form.zqml",
     [](const Place& p) {
         return "<body class=\"pg\">\n<form id=\"f\" action=\"" + std::string(p.file) +
                "?c=button-" + p.name + "\">\n" + controls(p.file, p.name, "f") + "</form>\n" +
                "</body>\n";
     },
     "", true, false},
    {"tab1", "tabs1.zqml",
     [](const Place& p) {
         return "<tabbody class=\"pg\">\n<page caption=\"One\"><form id=\"f\" action=\"" +
                std::string(p.file) + "?c=button-" + p.name + "\">\n" +
                controls(p.file, p.name, "f") +
                "</form></page>\n<page caption=\"Two\"><text>two</text></page>\n" + "</tabbody>\n";
     },
     "", true, false},
    {"tab2", "tabs2.zqml",
     [](const Place& p) {
         return "<tabbody class=\"pg\">\n<page caption=\"One\"><text>one</text></page>\n"
                "<page caption=\"Two\"><form id=\"f\" action=\"" +
                std::string(p.file) + "?c=button-" + p.name + "\">\n" +
                controls(p.file, p.name, "f") + "</form></page>\n" + "</tabbody>\n";
     },
     "key right\n", true, false},
    {"tab", "tab.zqml",
     [](const Place& p) {
         return "<body class=\"pg\">\n<tab id=\"tb\"><p caption=\"All\"><form id=\"f\" action=\"" +
                std::string(p.file) + "?c=button-" + p.name + "\">\n" +
                controls(p.file, p.name, "f") +
                "</form></p><p caption=\"Other\"><text>other</text></p></tab>\n" + "</body>\n";
     },
     "", true, false},
    {"tree", "tree.zqml",
     [](const Place& p) {
         return "<body class=\"pg\">\n<tree id=\"t\"><ti caption=\"Node\">\n" +
                controls(p.file, p.name, "") + "</ti></tree>\n" + "</body>\n";
     },
     "key down\nkey enter\n", false, true},
    {"treetab", "treetab.zqml",
     [](const Place& p) {
         return "<tabbody class=\"pg\">\n<page caption=\"Tree\"><tree id=\"t\">"
                "<ti caption=\"Node\">\n" +
                controls(p.file, p.name, "") + "</ti></tree></page>\n" + "</tabbody>\n";
     },
     "key down\nkey down\nkey enter\n", false, true},
    // A tab item first on its page and taller than the screen, its field
    // below its text: UP from the link below it enters it at the field.
    {"tabtall", "tabtall.zqml",
     [](const Place& p) {
         const std::string all = controls(p.file, p.name, "");
         const size_t field = all.find('\n') + 1;
         return "<body class=\"pg\">\n<tab id=\"tb\"><p caption=\"All\">" + lines(20) +
                all.substr(0, field) + "</p><p caption=\"Other\"><text>o</text></p></tab>\n" +
                all.substr(field) + "</body>\n";
     },
     "", false, false},
};

void PrintTo(const Place& p, std::ostream* os) { *os << p.name; }

// Where the focus is after a key: a control kind, "bar" (a tab bar),
// "node" (the header of the node holding the controls) or "none".
using Stop = std::string;

class ControlsEverywhereTest : public test::ClientFixture,
                               public ::testing::WithParamInterface<Place> {
protected:
    ControlsEverywhereTest()
        : ClientFixture(std::string("controls_") + GetParam().name + "-", kPageBg) {}

    void SetUp() override {
        ClientFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        const Place& p = GetParam();
        std::filesystem::create_directories(program() / "images");
        for (int i = 0; i < 3; ++i) {
            const std::string name = "g" + std::to_string(i) + ".png";
            ASSERT_TRUE(
                savePng(flat(kindNamed("grid")->look), (program() / "images" / name).string()));
        }
        server_.writePage(p.file, test::zqmlDocument(sheet() + p.page(p)));
        server_.writePage(picturePath("code").substr(1), png(kCodePicture));
        server_.writePage(picturePath("pic").substr(1), png(kindNamed("picture")->look));
        server_.writePage(picturePath("lnk").substr(1), png(kindNamed("imagelink")->look));
        writeConfig(serverLines() + "sys-initpath = /" + p.file + "\n");
        tabbed_ = std::string(p.page(p)).rfind("<tabbody", 0) == 0;
    }

    static Surface flat(uint32_t colour) {
        Surface s(24, 24);
        for (int y = 0; y < 24; ++y) {
            for (int x = 0; x < 24; ++x) s.row(y)[x] = 0xFF000000u | colour;
        }
        return s;
    }
    std::string png(uint32_t colour) {
        const std::filesystem::path file = dir_.path() / "p.png";
        EXPECT_TRUE(savePng(flat(colour), file.string()));
        return readFile(file, 1 << 20).value_or(std::string());
    }
    static std::string picturePath(const char* what) {
        return std::string("/") + what + "-" + GetParam().name + ".png";
    }
    static std::string cell(const Kind& k) {
        return std::string(k.name) + " in " + GetParam().name;
    }

    static bool known(const char* check, const Kind& k) {
        for (const Fault& f : kFaults) {
            const std::string c = f.cell[0] == '*' ? k.name + std::string(f.cell + 1) : f.cell;
            if (std::string(check) == f.check && cell(k) == c) return true;
        }
        return false;
    }

    // Links under a tree node take the tree's own look.
    static uint32_t focusOf(const Kind& k) {
        const bool linkInTree = GetParam().nodeHeader && (std::string(k.name) == "link" ||
                                                          std::string(k.name) == "imagelink");
        return linkInTree ? kTreeFocus : k.focus;
    }
    static uint32_t lookOf(const Kind& k) {
        return GetParam().nodeHeader && std::string(k.name) == "link" ? 0 : k.look;
    }
    // The stops DOWN walks through, in order: what holds the keys first,
    // then each control that takes the focus.
    static std::vector<Stop> stops() {
        std::vector<Stop> out;
        const Place& p = GetParam();
        if (p.nodeHeader) out.push_back("node");
        if (std::string(p.file).find("tab") != std::string::npos) {
            if (!p.nodeHeader) out.push_back("bar");
        }
        for (const Kind& k : kKinds) {
            if (k.focus) out.push_back(k.name);
        }
        return out;
    }
    // Content starts below a tab body's bar.
    int top() const { return tabbed_ ? 24 : 0; }

    // Whether `k` shows its focus look on `s`. A simple table keeps its
    // cells' look and is framed in its text colour.
    bool shows(const Shot& s, const Kind& k) const {
        if (!focusOf(k)) return false;
        if (k.look != k.focus) return s.count(focusOf(k), 0, top(), 226, kBarTop) >= 20;
        for (int y = top(); y < kBarTop; ++y) {
            if (s.count(k.focus, 0, y, 226, y + 1) >= 150) return true;
        }
        return false;
    }

    // Where `k` is drawn on `s` without the focus. The switch's white is
    // told from white text by its wide rows.
    std::optional<Box> drawn(const Shot& s, const Kind& k) const {
        if (k.look != 0xFFFFFF) return s.bounds(lookOf(k), 0, top(), 226, kBarTop, 20);
        std::optional<Box> out;
        for (int y = top(); y < kBarTop; ++y) {
            const std::optional<Box> row = s.bounds(k.look, 0, y, 226, y + 1, 100);
            if (!row) continue;
            if (!out) out = row;
            out->x0 = std::min(out->x0, row->x0);
            out->x1 = std::max(out->x1, row->x1);
            out->y1 = y + 1;
        }
        return out;
    }

    // The first unbroken run of rows showing `colour`: where a control
    // drawn only by its focus look is, apart from others of that colour.
    std::optional<Box> band(const Shot& s, uint32_t colour) const {
        std::optional<Box> out;
        for (int y = top(); y < kBarTop; ++y) {
            const std::optional<Box> row = s.bounds(colour, 0, y, 226, y + 1, out ? 1 : 20);
            if (!row) {
                if (out) break;
                continue;
            }
            if (!out) out = row;
            out->x0 = std::min(out->x0, row->x0);
            out->x1 = std::max(out->x1, row->x1);
            out->y1 = y + 1;
        }
        return out;
    }

    // The stops whose focus look shows on `s`.
    std::vector<Stop> focused(const Shot& s) const {
        std::vector<Stop> out;
        if (s.count(kTabBarFocus, 0, 0, 226, tabbed_ ? top() : kBarTop) >= 100)
            out.push_back("bar");
        if (GetParam().nodeHeader && s.count(kTreeFocus, 0, top(), 226, kBarTop) >= 20) {
            out.push_back("node");
        }
        for (const Kind& k : kKinds) {
            if (shows(s, k)) out.push_back(k.name);
        }
        return out;
    }

    // One stop per screen: the candidate nearest after (DOWN) or before (UP)
    // the previous stop, which stays when it still shows.
    std::vector<Stop> walk(const std::string& prefix, int keys, bool down, Stop previous) {
        const std::vector<Stop> order = stops();
        auto index = [&order](const Stop& s) {
            return static_cast<int>(std::find(order.begin(), order.end(), s) - order.begin());
        };
        std::vector<Stop> seen;
        for (int i = 0; i <= keys; ++i) {
            const Shot s = load(prefix + std::to_string(i));
            EXPECT_NE(s.image, nullptr) << prefix << i;
            std::vector<Stop> candidates = focused(s);
            Stop pick = "none";
            if (std::find(candidates.begin(), candidates.end(), previous) != candidates.end()) {
                pick = previous;
            } else if (!candidates.empty()) {
                pick = candidates.front();
                int best = down ? 1 << 20 : -1;
                for (const Stop& c : candidates) {
                    const int at = index(c);
                    if (down ? at > index(previous) && at < best
                             : at < index(previous) && at > best) {
                        best = at;
                        pick = c;
                    }
                }
            }
            seen.push_back(pick);
            if (pick != "none") previous = pick;
        }
        return seen;
    }

    std::string script(int downs) const {
        std::string out = std::string(kStart) + GetParam().enter + kReply;
        for (int i = 0; i < downs; ++i) out += "key down\n";
        return out;
    }

    bool tabbed_ = false;
};

constexpr int kWalk = 30;

// For each control in the container: DOWN reaches it and leaves it for the
// next, UP leaves it for the one before, and the focused control shows after
// every key; a tap where it is drawn acts on it and one beside it does not;
// its pictures are asked for once and drawn; a field holds what is typed into
// it and its form sends it.
TEST_P(ControlsEverywhereTest, EveryControlWorksInTheContainer) {
    const Place& place = GetParam();
    const std::vector<Stop> order = stops();

    // 1. The walk: DOWN to the end, a screen after each; then, loaded
    // afresh and brought down to the last control, UP to the top.
    std::string keys = script(0) + shot("d0");
    for (int i = 1; i <= kWalk; ++i) keys += "key down\n" + shot("d" + std::to_string(i));
    ASSERT_EQ(run(keys), 0) << err_;
    const std::vector<testserver::ReceivedRequest> loaded = server_.requests();
    const std::vector<Stop> downs = walk("d", kWalk, true, "none");
    const int bottom =
        static_cast<int>(std::find(downs.begin(), downs.end(), order.back()) - downs.begin());
    keys = script(std::min(bottom, kWalk)) + shot("u0");
    for (int i = 1; i <= kWalk; ++i) keys += "key up\n" + shot("u" + std::to_string(i));
    ASSERT_EQ(run(keys), 0) << err_;
    const std::vector<Stop> ups = walk("u", kWalk, false, downs[std::min(bottom, kWalk)]);
    auto trail = [](const std::vector<Stop>& seen) {
        std::string out;
        for (const Stop& s : seen) out += s + " ";
        return out;
    };
    SCOPED_TRACE("DOWN: " + trail(downs) + "\nUP: " + trail(ups));

    // Pictures: each asked for once, for the screen that shows it, and drawn.
    struct Picture {
        const char* kind;
        const char* path;
        uint32_t colour;
        bool screen;  // asked for with the showing screen's id
    };
    for (const Picture& pic : {Picture{"verify", "code", kCodePicture, true},
                               Picture{"picture", "pic", kindNamed("picture")->look, true},
                               Picture{"imagelink", "lnk", kindNamed("imagelink")->look, false}}) {
        const std::string what = cell(*kindNamed(pic.kind));
        const std::string path = picturePath(pic.path);
        int asked = 0;
        for (const testserver::ReceivedRequest& r : loaded) {
            if (r.target.path != path) continue;
            ++asked;
            if (pic.screen) {
                EXPECT_NE(r.target.param("screenid"), "-1") << what << ": asked for no screen";
            }
        }
        EXPECT_EQ(asked, 1) << what << ": its picture should be asked for once";
        int most = 0;
        for (int i = 0; i <= kWalk; ++i) {
            most =
                std::max(most, load("d" + std::to_string(i)).count(pic.colour, 0, 0, 240, kBarTop));
        }
        EXPECT_GE(most, 24 * 24) << what << ": its picture is never drawn whole";
    }

    // Keys: reached by DOWN, left by DOWN for the next stop and by UP for the
    // one before; nothing focused off screen once a control had the keys.
    auto collapse = [](const std::vector<Stop>& seen) {
        std::vector<Stop> out;
        for (const Stop& s : seen) {
            if (out.empty() || out.back() != s) out.push_back(s);
        }
        return out;
    };
    const std::vector<Stop> down = collapse(downs), up = collapse(ups);
    // After every key the focused control shows (UP until the first control).
    const auto lit =
        std::find_if(downs.begin(), downs.end(), [](const Stop& s) { return s != "none"; });
    EXPECT_EQ(std::find(lit, downs.end(), Stop("none")), downs.end()) << "DOWN hides the focus";
    const auto toField = std::find(ups.begin(), ups.end(), Stop(kKinds[0].name));
    EXPECT_EQ(std::find(ups.begin(), toField, Stop("none")), toField) << "UP hides the focus";
    const size_t first =
        std::find(order.begin(), order.end(), Stop(kKinds[0].name)) - order.begin();
    for (size_t i = first; i < order.size(); ++i) {
        const Kind& k = *kindNamed(order[i]);
        const auto at = std::find(down.begin(), down.end(), order[i]);
        if (at == down.end()) {
            ADD_FAILURE() << cell(k) << ": DOWN never reaches it";
        } else if (i + 1 < order.size()) {
            EXPECT_TRUE(at + 1 != down.end() && at[1] == order[i + 1])
                << cell(k) << ": DOWN leaves it for " << (at + 1 == down.end() ? "nothing" : at[1])
                << ", not " << order[i + 1];
        } else {
            EXPECT_TRUE(at + 1 == down.end())
                << cell(k) << ": the last control loses the focus to " << at[1];
        }
        const auto back = std::find(up.begin(), up.end(), order[i]);
        if (known("up", k)) {
        } else if (back == up.end()) {
            ADD_FAILURE() << cell(k) << ": UP never reaches it";
        } else if (i > 0) {
            EXPECT_TRUE(back + 1 != up.end() && back[1] == order[i - 1])
                << cell(k) << ": UP leaves it for " << (back + 1 == up.end() ? "nothing" : back[1])
                << ", not " << order[i - 1];
        } else {
            EXPECT_TRUE(back + 1 == up.end())
                << cell(k) << ": UP at the top leaves it for " << back[1];
        }
    }

    // Where each control is drawn, and the number of DOWNs after which it is
    // drawn whole without the focus (or, for a control drawn only by its
    // focus, with it).
    struct Target {
        int downs = -1;
        Box box;
    };
    auto firstFocused = [&downs](const char* name) {
        return static_cast<int>(std::find(downs.begin(), downs.end(), Stop(name)) - downs.begin());
    };
    std::map<std::string, Target> targets;
    for (const Kind& k : kKinds) {
        if (k.act == Act::None) continue;
        const int reached = firstFocused(k.name);
        Target t;
        // Clear of the soft-key bar where it can be; the last control may
        // only ever reach down to it.
        for (const int margin : {4, 0}) {
            for (int i = 0; i <= kWalk && lookOf(k) && t.downs < 0; ++i) {
                if (downs[i] == k.name || downs[i] == "field") continue;
                const Shot s = load("d" + std::to_string(i));
                const std::optional<Box> box = drawn(s, k);
                if (!box || box->y0 <= top() || box->y1 > kBarTop - margin) continue;
                t = {i, *box};
            }
        }
        if (t.downs < 0 && k.act == Act::Request && reached <= kWalk) {
            const std::optional<Box> box = band(load("d" + std::to_string(reached)), focusOf(k));
            if (box) t = {reached, *box};
        }
        if (t.downs < 0) {
            if (known("drawn", k)) continue;
            ADD_FAILURE() << cell(k) << ": never drawn whole on the screen";
            continue;
        }
        targets[k.name] = t;
    }

    // 2. Taps: at the centre of each control, then (further runs, in the same
    // states) on blank page beside it and on its first and last drawn rows.
    // The page is loaded afresh for each.
    auto beside = [&](const std::string& name,
                      const Target& t) -> std::optional<std::pair<int, int>> {
        // A control whose focus look fills its row (the whole width, or from
        // where it is drawn to the right edge) has no blank beside it.
        const int reached = firstFocused(name.c_str());
        if (reached <= kWalk) {
            const std::optional<Box> focusBox =
                band(load("d" + std::to_string(reached)), focusOf(*kindNamed(name)));
            if (focusBox &&
                (focusBox->width() > 200 || (focusBox->x1 >= 205 && focusBox->x0 <= t.box.x0)))
                return std::nullopt;
        }
        const Shot s = load("d" + std::to_string(t.downs));
        const int y = t.box.centreY();
        for (int x = t.box.x1 + 4; x < 224; ++x) {
            if (s.at(x, y) == kPageBg && s.at(x + 4, y) == kPageBg) return std::pair{x + 2, y};
        }
        for (int x = t.box.x0 - 4; x > 4; --x) {
            if (s.at(x, y) == kPageBg && s.at(x - 4, y) == kPageBg) return std::pair{x - 2, y};
        }
        return std::nullopt;
    };
    // What each tap made the client ask for: the requests after the tap's
    // own load (the page itself and what its showing asks for) are told
    // apart by the second load of a pair that comes after every tap.
    enum { kBeside, kCentre, kFirstRow, kLastRow, kTapKinds };
    const char* const tapShot[] = {"beside-", "tap-", "first-", "last-"};
    std::map<std::string, std::pair<int, int>> sent[kTapKinds];  // kind: hits, code pictures
    std::map<std::string, bool> shownFocus[kTapKinds];
    std::map<std::string, std::pair<int, int>> where[kTapKinds];
    const std::string self = "/" + std::string(place.file);
    // Each tap has a run of its own: one that does not act would leave the
    // page in a state the next tap was not aimed at.
    for (const int centre : {kCentre, kBeside, kFirstRow, kLastRow}) {
        for (const auto& [tapName, tapTarget] : targets) {
            const std::vector<std::string> batch{tapName};
            std::string taps;
            for (const std::string& name : batch) {
                const Target& t = targets[name];
                std::optional<std::pair<int, int>> at = std::pair{t.box.centreX(), t.box.centreY()};
                if (centre == kBeside) at = beside(name, t);
                if (centre == kFirstRow) at = std::pair{t.box.centreX(), t.box.y0};
                if (centre == kLastRow) at = std::pair{t.box.centreX(), t.box.y1 - 1};
                if (!at) continue;
                where[centre][name] = *at;
                taps += taps.empty() ? script(t.downs)
                                     : script(t.downs).substr(std::string(kStart).size());
                taps +=
                    "tap " + std::to_string(at->first) + " " + std::to_string(at->second) + "\n";
                taps += kReply;
                taps += shot(tapShot[centre] + name);
            }
            if (taps.empty()) continue;
            server_.clearRequests();
            ASSERT_EQ(run(taps), 0) << err_;
            for (const std::string& name : batch) {
                auto& [hits, codes] = sent[centre][name];
                for (const testserver::ReceivedRequest& r : server_.requests()) {
                    hits += r.target.path == self && r.target.param("c") == name + "-" + place.name;
                    codes += r.target.path == picturePath("code");
                }
                shownFocus[centre][name] = where[centre].count(name) &&
                                           shows(load(tapShot[centre] + name), *kindNamed(name));
            }
        }
    }
    for (const auto& [name, t] : targets) {
        const Kind& k = *kindNamed(name);
        const std::string at = " (drawn at " + std::to_string(t.box.x0) + "-" +
                               std::to_string(t.box.x1) + ", " + std::to_string(t.box.y0) + "-" +
                               std::to_string(t.box.y1) + ")";
        for (const int tap : {kCentre, kFirstRow, kLastRow}) {
            if (known(tap == kFirstRow ? "first row" : "last row", k) && tap != kCentre) continue;
            const auto [x, y] = where[tap][name];
            const std::string what =
                cell(k) + ": a tap at " + std::to_string(x) + "," + std::to_string(y) + at;
            switch (known("tap", k) ? Act::None : k.act) {
                case Act::Request:
                    EXPECT_EQ(sent[tap][name].first, 1) << what << " should send its request once";
                    break;
                case Act::Focus:
                    EXPECT_TRUE(shownFocus[tap][name]) << what << " does not focus it";
                    break;
                case Act::Refresh: {
                    // Without a blank beside it, the walk's load tells what a
                    // load alone asks for.
                    int onLoad = sent[kBeside][name].second;
                    if (!where[kBeside].count(name)) {
                        onLoad = static_cast<int>(
                            std::count_if(loaded.begin(), loaded.end(),
                                          [&](const testserver::ReceivedRequest& r) {
                                              return r.target.path == picturePath("code");
                                          }));
                    }
                    EXPECT_EQ(sent[tap][name].second - onLoad, 1)
                        << what << " should ask for a new picture";
                    break;
                }
                case Act::None:
                    break;
            }
        }
        if (!where[0].count(name) || known("beside", k)) continue;  // no blank beside it
        const auto [bx, by] = where[0][name];
        const std::string what =
            cell(k) + ": a tap beside it at " + std::to_string(bx) + "," + std::to_string(by) + at;
        if (k.act == Act::Request) {
            EXPECT_EQ(sent[0][name].first, 0) << what << " acts on it";
        } else if (k.act == Act::Focus) {
            EXPECT_FALSE(shownFocus[0][name]) << what << " focuses it";
        }
    }

    // 3. Typing: the field, reached by DOWN, holds what is typed, and its
    // form sends it.
    const Kind& field = *kindNamed("field");
    const int reachedField = firstFocused("field");
    if (reachedField > kWalk) return;  // reported above
    const std::optional<Box> box =
        load("d" + std::to_string(reachedField)).bounds(field.focus, 0, top(), 226, kBarTop, 20);
    ASSERT_TRUE(box);
    keys = script(reachedField) + "char 258\n" + shot("typed");
    const int reachedButton = firstFocused("button");
    if (place.hasForm && reachedButton <= kWalk) {
        for (int i = reachedField; i < reachedButton; ++i) keys += "key down\n";
        keys += "key enter\n";
        keys += kReply;
    }
    server_.clearRequests();
    ASSERT_EQ(run(keys), 0) << err_;
    const Shot before = load("d" + std::to_string(reachedField));
    const Shot typed = load("typed");
    auto text = [&](const Shot& s) {
        return s.count(field.focus, box->x0, box->y0, box->x1, box->y1);
    };
    EXPECT_LT(text(typed) + 30, text(before)) << cell(field) << ": the typed digits do not show";
    if (place.hasForm) {
        std::string query;
        for (const testserver::ReceivedRequest& r : server_.requests()) {
            if (r.target.path == self && r.target.param("c") == "button-" + std::string(place.name))
                query = r.target.query;
        }
        EXPECT_NE(query.find("fld=258"), std::string::npos)
            << cell(field) << ": its form sent " << query;
    }

    // 4. Held keys act on the field as on a plain page: a held digit in a
    // new field and in "abc" is one digit, a held Delete empties it (the
    // field, once left, looks as typed: "5", or as never typed in), and a
    // held DOWN goes on as far as as many DOWNs.
    keys = script(reachedField) + "char 5\nkey down\n" + shot("typed-5");
    ASSERT_EQ(run(keys), 0) << err_;
    struct Held {
        const char* name;
        const char* keys;
        std::string looksLike;
    };
    const Held held[] = {
        {"digit", "key 53 x20\nkey down\n", "typed-5"},
        {"abc", "key hash\nkey 53 x5\nkey down\n", "typed-5"},
        {"delete", "char 258\nkey clear x15 40\nkey down\n",
         "d" + std::to_string(reachedField + 1)},
        {"down", "key down x5\n", "d" + std::to_string(reachedField + 5)},
    };
    for (const Held& h : held) {
        ASSERT_EQ(run(script(reachedField) + h.keys + shot(std::string("held-") + h.name)), 0)
            << err_;
        const Shot got = load(std::string("held-") + h.name), want = load(h.looksLike);
        if (std::string(h.name) == "down") {
            EXPECT_EQ(focused(got), focused(want)) << cell(field) << ": a held DOWN from it";
            continue;
        }
        int differ = 0;
        for (int y = box->y0; y < box->y1; ++y) {
            for (int x = box->x0; x < box->x1; ++x) differ += got.at(x, y) != want.at(x, y);
        }
        EXPECT_EQ(differ, 0) << cell(field) << ": a held " << h.name << " ("
                             << shotPath(std::string("held-") + h.name) << ")";
    }
}

INSTANTIATE_TEST_SUITE_P(Containers, ControlsEverywhereTest, ::testing::ValuesIn(kPlaces),
                         [](const ::testing::TestParamInfo<Place>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace zq
