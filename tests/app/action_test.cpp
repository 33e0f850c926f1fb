// The action dispatcher (names, splitting, the cut rule) and the
// navigation actions run against the real controller over local pages.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/action_dispatcher.h"
#include "app/page_controller.h"
#include "platform/cstring.h"
#include "platform/device_services.h"
#include "platform/message_box.h"
#include "tests/support/test_env.h"

namespace zq {
namespace {

// "name:piece" for each action the dispatcher hands on.
std::vector<std::string> runLog(const CString& actions) {
    std::vector<std::string> log;
    dispatchActions(actions, [&](const ActionRow& row, const CString& piece) {
        log.push_back(CString(row.longName).toUtf8() + ":" + piece.toUtf8());
    });
    return log;
}

// The names pages use, written out here rather than read from the table: a
// misspelt, missing or moved row fails. Only "quickinput" runs nothing.
TEST(ActionDispatcher, TheTableHasEveryNameAndAliasInOrderAndEachFindsItsRow) {
    struct Name {
        const char16_t* longName;
        const char16_t* alias;
    };
    const Name names[] = {
        {u"alert", u"al"},
        {u"confirm", u"cf"},
        {u"submit", u"st"},
        {u"forward", u"fw"},
        {u"kolmforward", u"kfw"},
        {u"back", u"bk"},
        {u"forback", u"fbk"},
        {u"gohome", u"gh"},
        {u"refresh", u"rf"},
        {u"gettablerow", u"gw"},
        {u"setfont", u"sf"},
        {u"keyboardinput", u"kp"},
        {u"clearapp", u"cr"},
        {u"zhibiao", u"zb"},
        {u"update", u"ud"},
        {u"focus", u"fc"},
        {u"reset", u"rs"},
        {u"hide", nullptr},
        {u"show", nullptr},
        {u"save", nullptr},
        {u"SpecialSubmit", u"sm"},
        {u"delmystockall", u"da"},
        {u"delmystocklist", u"dl"},
        {u"delmystock", u"ds"},
        {u"opensystembrowser", u"os"},
        {u"exitapp", nullptr},
        {u"stocksumbit", u"ss"},
        {u"changecgp", nullptr},
        {u"getdata", u"gd"},
        {u"gettablevaluetoid", u"gvtd"},
        {u"switchforward", u"sd"},
        {u"speedtest", u"spt"},
        {u"quickinput", u"qp"},
        {u"resetnetdata", u"rnd"},
        {u"moveup", u"mvp"},
        {u"movedown", u"mvd"},
        {u"GetOutLookToID", u"gotd"},
        {u"GetValueToSms", u"gvts"},
        {u"connect", nullptr},
        {u"ctrlrefresh", u"crf"},
    };
    const auto table = actionTable();
    ASSERT_EQ(table.size(), std::size(names));
    for (size_t i = 0; i < table.size(); ++i) {
        const CString expected(names[i].longName);
        EXPECT_EQ(CString(table[i].longName), expected) << i;
        EXPECT_EQ(table[i].alias == nullptr, names[i].alias == nullptr) << expected.toUtf8();
        if (table[i].alias && names[i].alias) {
            EXPECT_EQ(CString(table[i].alias), CString(names[i].alias)) << expected.toUtf8();
        }
        EXPECT_EQ(table[i].handler == nullptr, expected == CString(u"quickinput"))
            << expected.toUtf8();
        std::vector<CString> spellings{expected};
        if (names[i].alias) spellings.emplace_back(names[i].alias);
        for (const CString& name : spellings) {
            for (const CString& spelled : {name, name.upper(), name.lower()}) {
                EXPECT_EQ(findActionRow(spelled), &table[i]) << spelled.toUtf8();
            }
        }
    }
}

TEST(ActionDispatcher, SplitsAtBarsAndRunsInOrder) {
    struct Case {
        const char* actions;
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {"FORWARD(a.zqml)", {"forward:FORWARD(a.zqml)"}},
        {"back(1)|refresh(5)", {"back:back(1)", "refresh:refresh(5)"}},
        // Unknown words are skipped; "hide" has no alias; "qp" is known.
        {"foo(1)|hd(1)|qp(1)|back(1)", {"quickinput:qp(1)", "back:back(1)"}},
        // An empty word ends the string, also a trailing bar's empty piece.
        {"back(1)|()|gohome()", {"back:back(1)"}},
        {"bk(2)|", {"back:bk(2)"}},
        // Pieces are trimmed; the word is the first letter-digit run.
        {"  gh()  |  Ud(x) ", {"gohome:gh()", "update:Ud(x)"}},
        // No escaping: a bar inside parentheses still separates.
        {"sd(x,fw(a)|fw(b))", {"switchforward:sd(x,fw(a)", "forward:fw(b))"}},
        {"", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(runLog(CString(c.actions)), c.log) << c.actions;
    }
}

// Each link the string opens, where its handler reads it, gets the values
// (an empty one none); "no" stands for a link whose values are refused.
TEST(ActionDispatcher, FillsEveryLinkTheActionsOpen) {
    struct Case {
        const char* actions;
        const char* filled;  // null: no link
    };
    const Case cases[] = {
        {"fw(a)", "fw(a?v)"},
        {"al(hi,1)|forward(sinka.zqml)", "al(hi,1)|forward(sinka.zqml?v)"},
        {" gh() | KFW(a) |gd(b)|UPDATE(c)", " gh() | KFW(a?v) |gd(b?v)|UPDATE(c?v)"},
        // "gettablerow" reads up to its first ')'; the others to the end.
        {"gw(a)b)|fw(c)d)", "gw(a?v)b)|fw(c)d?v)"},
        {"gw(a", nullptr},
        {"fw()|ud(", "fw()|ud("},
        // A confirm's Yes, in both forms, and every branch of a switch.
        {"cf(m,fw(a),fw(b))", "cf(m,fw(a?v),fw(b))"},
        {"cf(m,Forward(a,bk(1)))", "cf(m,Forward(a?v,bk(1)))"},
        {"cf(m,back(a))|sd(k,fw(a),al(x,1),ud(b))", "cf(m,back(a))|sd(k,fw(a?v),al(x,1),ud(b?v))"},
        // A bar splits also inside parentheses.
        {"sd(x,fw(a)|fw(b))", "sd(x,fw(a)|fw(b)?v)"},
        // What does not run, or names no link.
        {"bk(1)|()|fw(a)", nullptr},
        {"bk(1)|fwd(a)|forwardx(a)| fw (a)|-fw(a)", nullptr},
        {"", nullptr},
        {"fw(no)|fw(a)", ""},
    };
    for (const Case& c : cases) {
        const std::optional<CString> filled =
            fillActionLinks(CString(c.actions), [](const CString& link) -> std::optional<CString> {
                if (link == CString(u"no")) return std::nullopt;
                return link.isEmpty() ? link : link + u"?v";
            });
        ASSERT_EQ(filled.has_value(), c.filled != nullptr) << c.actions;
        if (filled) {
            EXPECT_EQ(filled->toUtf8(), c.filled) << c.actions;
        }
    }
}

TEST(ActionDispatcher, CutRuleTakesNameOrAliasAndNeverRunsPastThePiece) {
    struct Case {
        const char* piece;
        const char* longName;
        const char* alias;
        const char* argument;
    };
    const Case cases[] = {
        {"forward(page.zqml)", "forward", "fw", "page.zqml"},
        {"FW(page.zqml)", "forward", "fw", "page.zqml"},
        {"forwardXabY", "forward", "fw", "ab"},  // the parentheses are not checked
        {"forward()", "forward", "fw", ""},
        {"forward(", "forward", "fw", ""},
        {"fw", "forward", "fw", ""},
        {"", "forward", "fw", ""},
        {"hide(x)", "hide", "", "x"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cutActionArgument(CString(c.piece), CString(c.longName), CString(c.alias)),
                  CString(c.argument))
            << c.piece;
    }
}

// Regression: a handler that threw left the nesting depth raised for good.
TEST(ActionDispatcher, ThrowingHandlerDoesNotKeepTheDepth) {
    ActionRunner thrower = [](const ActionRow&, const CString&) {
        throw std::runtime_error("handler failed");
    };
    for (int i = 0; i <= kMaxActionDepth; ++i) {
        EXPECT_THROW(dispatchActions(u"back(1)", thrower), std::runtime_error);
    }
    EXPECT_EQ(runLog(u"gh()"), std::vector<std::string>{"gohome:gh()"});
}

// Records browser and call requests; can be told to refuse them.
class FakeDevice : public DeviceServices {
public:
    bool dataConnectionUp() override { return true; }
    bool dialDataConnection() override { return true; }
    std::optional<DeviceIdentity> identity() override { return std::nullopt; }
    bool sendSms(const CString&, const CString&) override { return false; }
    bool dialVoiceCall(const CString& number) override {
        calls.push_back(number.toUtf8());
        return !failing;
    }
    std::optional<std::vector<CString>> pickContacts(int) override { return std::nullopt; }
    bool openBrowser(const CString& link) override {
        links.push_back(link.toUtf8());
        return !failing;
    }

    bool failing = false;
    std::vector<std::string> calls;
    std::vector<std::string> links;
};

// A controller over a temporary resource folder of local pages p0..p11 and
// "loop.zqml", whose onload opens itself again.
class NavigationActions : public ::testing::Test {
protected:
    NavigationActions() {
        for (int i = 0; i < 12; ++i) {
            std::ofstream(dir_.path() / ("p" + std::to_string(i) + ".zqml"))
                << "<zqml><body/></zqml>";
        }
        std::ofstream(dir_.path() / "loop.zqml")
            << "<zqml><body onload='fw(file://loop.zqml)'/></zqml>";
        controller_ = std::make_unique<PageController>(ControllerFolders{dir_.path(), {}});
        setDeviceServices(&device_);
    }
    ~NavigationActions() override { setDeviceServices(nullptr); }

    void run(const std::string& actions) { controller_->onAction(CString(actions.c_str())); }
    // The shown page's link, "" when none.
    std::string shown() const {
        PageEntry* entry = controller_->currentEntry();
        return entry ? entry->url.toUtf8() : std::string();
    }
    static std::string page(int i) { return "file://p" + std::to_string(i) + ".zqml"; }

    test::TempDir dir_;
    FakeDevice device_;
    std::unique_ptr<PageController> controller_;
};

TEST_F(NavigationActions, ForwardBackAndHomeWalkTheHistory) {
    run("forward(" + page(0) + ")");
    ASSERT_EQ(shown(), page(0));
    run("FW(" + page(1) + ")|kfw(" + page(2) + ")");
    EXPECT_EQ(shown(), page(2));
    EXPECT_EQ(controller_->history().count(), 3);

    run("forward()|fw()");
    EXPECT_EQ(controller_->history().count(), 3);
    run("back(1)");
    EXPECT_EQ(shown(), page(1));
    run("bk(x)");  // offset 0: stays
    EXPECT_EQ(shown(), page(1));
    run("fbk(x)");  // not a number: nothing
    EXPECT_EQ(shown(), page(1));
    run("fbk(1)");
    EXPECT_EQ(shown(), page(2));
    run("back(-5)");  // past the newest entry: nothing moves
    EXPECT_EQ(shown(), page(2));
    run("gohome()");
    EXPECT_EQ(shown(), page(0));

    // Forward history is dropped; "update" replaces the shown entry.
    run("gd(" + page(3) + ")|ud( " + page(4) + " )|update()");
    EXPECT_EQ(shown(), page(4));
    EXPECT_EQ(controller_->history().count(), 2);
    run("bk(1)");
    EXPECT_EQ(shown(), page(0));
}

TEST_F(NavigationActions, HistoryLimitKeepsTheFirstPage) {
    for (int i = 0; i < 12; ++i) run("fw(" + page(i) + ")");
    EXPECT_EQ(controller_->history().count(), PageHistory::kLimit);
    EXPECT_EQ(shown(), page(11));
    run("back(2147483647)");
    EXPECT_EQ(shown(), page(0));
    run("fbk(2147483647)");  // huge offsets clamp instead of overflowing
    EXPECT_EQ(shown(), page(0));
    run("fbk(1)");
    EXPECT_EQ(shown(), page(3));  // pages 1 and 2 were recycled
    run("fw(" + page(5) + ")|gh()");
    EXPECT_EQ(shown(), page(0));
}

TEST_F(NavigationActions, SwitchForwardChoosesByMemoryValue) {
    const std::string three = page(1) + "),fw(" + page(2) + "),fw(" + page(3) + "))";
    struct Case {
        const char* key;
        const char* value;
        std::string actions;
        std::string expected;  // "" : nothing opens
    };
    const Case cases[] = {
        {"mode", "wap", "sd(mode==WAP,forward(" + page(1) + "),forward(" + page(2) + "))", page(1)},
        {"mode", "wap", "sd(mode==net,forward(" + page(1) + "))", ""},
        {"x", "3", "sd(x,fw(" + three, page(3)},
        {"x", "7", "sd(x,fw(" + three, page(1)},
        {"x", "FALSE", "sd(x,fw(" + three, page(2)},
        {"x", "", "switchforward(x,fw(" + three, page(1)},
        // Parts that are actions with their own argument lists stay whole.
        {"k", "1", "sd(k,sd(k,fw(" + page(1) + "),fw(" + page(2) + ")),fw(" + page(3) + "))",
         page(1)},
        {"k", "2", "sd(k,sd(k,fw(" + page(1) + "),fw(" + page(2) + ")),fw(" + page(3) + "))",
         page(3)},
    };
    for (const Case& c : cases) {
        run("fw(" + page(0) + ")");
        controller_->setMemoryValue(CString(c.key), CString(c.value));
        run(c.actions);
        EXPECT_EQ(shown(), c.expected.empty() ? page(0) : c.expected) << c.actions;
    }
}

TEST_F(NavigationActions, NestedActionsStopAtTheDepthLimit) {
    controller_->setMemoryValue(u"k", u"1");
    auto nested = [](int levels, const std::string& inner) {
        std::string text = inner;
        for (int i = 0; i < levels; ++i) text = "sd(k," + text + ")";
        return text;
    };
    run(nested(kMaxActionDepth - 1, "fw(" + page(1) + ")"));
    EXPECT_EQ(shown(), page(1));
    run(nested(kMaxActionDepth, "fw(" + page(2) + ")"));
    EXPECT_EQ(shown(), page(1));

    // Regression: a page whose onload opens itself recursed until the stack ran out.
    run("fw(file://loop.zqml)");
    EXPECT_EQ(shown(), "file://loop.zqml");
    run("fw(" + page(3) + ")");
    EXPECT_EQ(shown(), page(3));
}

TEST_F(NavigationActions, SystemBrowserGetsTheLinkOrRecordsError10) {
    run("os(http://h/a?b=1)|opensystembrowser(http://h/a?b=1)");
    EXPECT_EQ(device_.links, (std::vector<std::string>{"http://h/a?b=1", "http://h/a?b=1"}));
    EXPECT_TRUE(controller_->errors().errorText(10).isEmpty());

    run("os(--help)|os()");
    EXPECT_EQ(device_.links.size(), 2u);  // an option never reaches the browser
    // Regression: files, paths and other schemes reached the opener.
    run("os(file:///etc/passwd)|os(/etc/passwd)|os(a/b.zqml)|os(javascript:x)|os(http://)");
    EXPECT_EQ(device_.links.size(), 2u);
    EXPECT_EQ(controller_->errors().errorText(10).toUtf8(), "自动升级失败");

    controller_->errors().clearMessages();
    device_.failing = true;
    run("os(http://h/)");
    EXPECT_EQ(controller_->errors().messages().size(), 1u);
}

// Rows wired to the wrong handler run the wrong thing: the rows whose
// effect this controller shows each do their own.
TEST_F(NavigationActions, ConnectAndExitRunTheirOwnHandlers) {
    int connects = 0;
    int shutdowns = 0;
    controller_->setConnectHandler([&connects] { ++connects; });
    controller_->setShutdownHandler([&shutdowns] { ++shutdowns; });
    run("connect()");
    EXPECT_EQ(connects, 1);
    EXPECT_EQ(shutdowns, 0);
    run("exitapp()");
    EXPECT_EQ(connects, 1);
    EXPECT_EQ(shutdowns, 1);
    run("gd(" + page(5) + ")|kfw(" + page(6) + ")");
    EXPECT_EQ(controller_->history().count(), 2);
    EXPECT_EQ(shown(), page(6));
    EXPECT_EQ(connects + shutdowns, 2);
}

TEST_F(NavigationActions, TelLinksDialOnlyHexNumbers) {
    clearMessageBoxLog();
    controller_->navigationActions().dialTelLink(u"tel://12345");
    controller_->navigationActions().dialTelLink(u"tel://12-345");
    controller_->navigationActions().dialTelLink(u"tel://");
    EXPECT_EQ(device_.calls, std::vector<std::string>{"12345"});
    EXPECT_TRUE(messageBoxLog().empty());

    device_.failing = true;
    controller_->navigationActions().dialTelLink(u"tel://0aF9");
    ASSERT_EQ(messageBoxLog().size(), 1u);
    EXPECT_EQ(messageBoxLog()[0].text.toUtf8(), "网络忙，请尝试手动拨打");
    EXPECT_EQ(messageBoxLog()[0].caption.toUtf8(), "提示");
}

}  // namespace
}  // namespace zq
