// Forms end to end: the built zqclient runs headless against the in-process
// test server, a key script fills a form page in (multi-tap, the soft
// keyboard, a choice group, a combo box, the host set's switch) and submits
// it, and the server's log shows exactly what was sent. Each step's screen
// is saved in the test output folder. Then the form actions on controls the
// markup built, in process.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/page_controller.h"
#include "core/string_utils.h"
#include "items/choice_group.h"
#include "items/filtered_choice_group.h"
#include "items/inline_choice_group.h"
#include "items/text_field.h"
#include "markup/encoder.h"
#include "markup/markup_page.h"
#include "platform/files.h"
#include "tests/support/client_fixture.h"
#include "tests/support/test_env.h"
#include "tests/support/test_server.h"

namespace zq {
namespace {

// The page's own colours, given by class, so that every control is seen
// against them.
constexpr const char* kStyle =
    "<style>\n"
    "title{font-size:large;font-style:bold;font-color:#ffd75e}\n"
    "lbl{font-color:#f0f0f0}\n"
    "fld{background-color:#fffbe8;font-color:#101010;border-color:#8090a0;border-width:1;"
    "focus-border-color:#ff9020;focus-border-width:2}\n"
    "grp{font-color:#f0f0f0}\n"
    "opt{font-color:#f0f0f0;rado-fill-color:#ff9020;rado-fill-in-color:#ffffff;"
    "focus-font-color:#ffffff}\n"
    "cbo{background-color:#304860;font-color:#ffffff;cbo-br-c:#8090a0;cbo-br-w:1;"
    "cbo-bg-c:#203850;cbo-sc:#ff9020;cbo-sbc:#304860}\n"
    "btn{background-color:#e0e6ee;font-color:#102030;border-color:#8090a0;border-width:1;"
    "focus-background-color:#ff9020;focus-font-color:#102030}\n"
    "</style>\n";

std::string page(const std::string& body) {
    return test::zqmlDocument(kStyle + ("<body>\n" + body + "</body>\n"));
}

class FormEndToEndTest : public test::ClientFixture {
protected:
    FormEndToEndTest() : ClientFixture("form_e2e_") {}

    void SetUp() override {
        ClientFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        // A second carrier gives the host set's switch a pane to show.
        writeConfig(serverLines() + "sys-ct-iplist = " + host() + ":CT1:\n");
        server_.writePage("done.zqml", page("<text>done</text>\n"));
    }
};

// The pending character of a multi-tap is committed after one second.
constexpr const char* kCommit = "wait 1300\n";

TEST_F(FormEndToEndTest, APageFilledInByKeysSendsExactlyItsFields) {
    server_.writePage(
        "index.zqml",
        page("<text class=\"title\">委托单</text>\n"
             "<form id=\"order\" action=\"done.zqml\">\n"
             "<edit class=\"fld\" id=\"who\" name=\"user\" label=\"姓名\" maxsize=\"8\"/>\n"
             "<edit class=\"fld\" id=\"code\" name=\"code\" label=\"代码\" type=\"num\" "
             "maxsize=\"6\" "
             "limit=\"nonull(不能为空)&amp;num(须为数字)\"/>\n"
             "<choicegroup class=\"grp\" name=\"side\" caption=\"方向\">\n"
             "<option class=\"opt\" caption=\"买入\" value=\"B\"/><option class=\"opt\" "
             "caption=\"卖出\" value=\"S\"/>\n"
             "</choicegroup>\n"
             "<combobox class=\"cbo\" name=\"acct\" caption=\"账户\">\n"
             "<option class=\"opt\" caption=\"沪A\" value=\"SH\"/><option class=\"opt\" "
             "caption=\"深A\" value=\"SZ 1\"/>\n"
             "</combobox>\n"
             "<hostset/>\n"
             "<button class=\"btn\" caption=\"提交\" onclick=\"submit(order)\"/>\n"
             "</form>\n"));

    std::string script = kStart;
    script += shot("01-page");
    // The name on the phone's keys: '#' twice is the "Abc" mode; "22" is a
    // capital B, the pause commits it, "9" a small w; then the soft
    // keyboard's "5". (The keyboard opens under the focused field at the
    // right edge.)
    script += "key down\nkey hash\nkey hash\nkey 50\nkey 50\n";
    script += kCommit;
    script += "key 57\n";
    script += kCommit;
    script += "tap 165 94\n";
    script += shot("02-name");
    // The code is left empty: its rule refuses the form and a box says so.
    // Down past the code, the choices, the combo, the carrier and the host
    // list to the button.
    script += "key down\nkey down\nkey down\nkey down\nkey down\nkey down\nkey down\n";
    script += shot("03-button");
    script += "key enter\n";
    script += shot("04-refused");
    script += "answer ok\nidle 10000\n";
    // Up to the code: the keypad's digits, then the soft keyboard's "1".
    script += "key up\nkey up\nkey up\nkey up\nkey up\nkey up\nchar 60032\ntap 118 101\n";
    script += kCommit;
    script += shot("05-code");
    // The second choice, the combo's second option by its arrows.
    script += "key down\nkey down\nkey enter\nkey down\nkey right\nkey right\n";
    script += shot("06-choices");
    // The carrier: the drop-down opens, its second row switches the host list.
    script += "key down\nkey enter\nidle 10000\n";
    script += shot("07-carriers");
    script += "key down\nkey enter\nidle 10000\n";
    script += shot("08-switched");
    script += "key down\nkey down\nkey enter\n";
    script += kReply;
    script += shot("09-sent");

    EXPECT_EQ(run(script), 0) << err_;
    EXPECT_NE(err_.find("message box [提示] 代码不能为空"), std::string::npos) << err_;
    // The refused submission sent nothing; the second one sent every field.
    EXPECT_EQ(server_.queriesFor("/done.zqml"),
              std::vector<std::string>{"user=Bw5&code=600321&side=S&acct=SZ+1"});
}

TEST_F(FormEndToEndTest, NestedFormSendsItsOwnFieldsAndEncryptedFieldsTravelEncoded) {
    server_.writePage("index.zqml",
                      page("<form id=\"outer\" action=\"done.zqml\" encryptcode=\"77\">\n"
                           "<edit class=\"fld\" id=\"pin\" name=\"pin\" label=\"密码\" "
                           "type=\"num\" encrypt=\"true\"/>\n"
                           "<form id=\"inner\" action=\"inner.zqml\">\n"
                           "<edit class=\"fld\" name=\"memo\" label=\"备注\"/>\n"
                           "</form>\n"
                           "<edit class=\"fld\" name=\"tail\" label=\"附言\"/>\n"
                           "<button class=\"btn\" caption=\"内层\" onclick=\"submit(inner)\"/>\n"
                           "<button class=\"btn\" caption=\"外层\" onclick=\"submit(outer)\"/>\n"
                           "</form>\n"));
    server_.writePage("inner.zqml", page("<text>inner</text>\n"));

    std::string script = kStart;
    script += "key down\nchar 1234\nkey down\nchar ab\nkey down\nchar x\n";
    script += kCommit;
    script += shot("10-nested");
    script += "key down\nkey enter\n";
    script += kReply;
    // Back on the form page, which kept what was typed; the focus is back on
    // the inner button.
    script += "key soft2\n";
    script += kReply;
    script += "key down\nkey enter\n";
    script += kReply;
    script += shot("11-outer-sent");

    EXPECT_EQ(run(script), 0) << err_;
    EXPECT_EQ(server_.queriesFor("/inner.zqml"), std::vector<std::string>{"memo=ab"});
    const CString pin = FieldEncoder(CString(MarkupPage::kDefaultSnKey), CString(), CString(u"77"),
                                     CString(u"1234"))
                            .encodeValue();
    EXPECT_EQ(server_.queriesFor("/done.zqml"),
              std::vector<std::string>{"pin=" + urlEncode(pin).toUtf8() + "&memo=ab&tail=x"});
}

// Soft keys pressed while a field has the focus (the field's menu, the exit
// question answered No) change no field; typed parentheses and an emoji go
// out as typed.
TEST_F(FormEndToEndTest, SoftKeysOnTheWayLeaveTheFieldsAsTyped) {
    server_.writePage(
        "index.zqml",
        page("<text class=\"title\">下单</text>\n"
             "<form id=\"order\" action=\"done.zqml\">\n"
             "<edit class=\"fld\" id=\"who\" name=\"who\" label=\"客户\" maxsize=\"16\"/>\n"
             "<edit class=\"fld\" id=\"qty\" name=\"qty\" label=\"数量\" type=\"num\" "
             "maxsize=\"6\"/>\n"
             "<choicegroup class=\"grp\" name=\"side\" caption=\"方向\">\n"
             "<option class=\"opt\" caption=\"买入\" value=\"B\"/><option class=\"opt\" "
             "caption=\"卖出\" value=\"S\"/>\n"
             "</choicegroup>\n"
             "<choicegroup class=\"grp\" name=\"when\" caption=\"条件\" mode=\"multiple\">\n"
             "<option class=\"opt\" caption=\"当日\" value=\"day\"/><option class=\"opt\" "
             "caption=\"全额\" value=\"all\"/><option class=\"opt\" caption=\"市价\" "
             "value=\"mkt\"/>\n"
             "</choicegroup>\n"
             "<combobox class=\"cbo\" name=\"acct\" caption=\"账户\">\n"
             "<option class=\"opt\" caption=\"沪A\" value=\"SH\"/><option class=\"opt\" "
             "caption=\"深A\" value=\"SZ\"/>\n"
             "</combobox>\n"
             "<button class=\"btn\" caption=\"提交\" onclick=\"submit(order)\"/>\n"
             "</form>\n"));

    std::string script = kStart;
    script += "key down\nchar ACME (HK)X\n";
    script += shot("20-typed");
    // The field's menu opens on the left soft key; its first entry deletes
    // the stray "X".
    script += "key soft1\n";
    script += shot("21-menu");
    script += "key enter\n";
    script += shot("22-deleted");
    // The exit key asks; No stays on the page.
    script += "answer no\nkey soft2\nidle 10000\n";
    script += shot("23-stayed");
    script += "char 😀\nkey down\nchar 200\n";
    script += shot("24-qty");
    // The menu opened and closed again, and the exit question once more.
    script += "key soft1\nkey soft2\n";
    script += shot("25-menu-closed");
    script += "answer no\nkey soft2\nidle 10000\n";
    // The second side, the first and third conditions, the second account.
    script += "key down\nkey down\nkey enter\nkey down\nkey enter\nkey down\nkey down\nkey enter\n";
    script += "key down\nkey right\nkey right\n";
    script += shot("26-chosen");
    script += "key down\nkey enter\n";
    script += kReply;
    script += shot("27-sent");

    EXPECT_EQ(run(script), 0) << err_;
    EXPECT_EQ(
        server_.queriesFor("/done.zqml"),
        std::vector<std::string>{"who=ACME+(HK)%F0%9F%98%80&qty=200&side=S&when=day%2Cmkt&acct=SZ"})
        << err_;
}

// The demo site's order page, walked as scripts/demo-walk.keys walks it.
TEST_F(FormEndToEndTest, TheDemoOrderFormSendsWhatTheWalkChose) {
    const std::filesystem::path site = test::sourceDir() / "resources" / "demo-site";
    server_.writePage("index.zqml", readFile(site / "order.zqml").value_or(""));
    server_.writePage("order-done.zqml", readFile(site / "order-done.zqml").value_or(""));

    std::string script = kStart;
    script += "key down\nkey down\nchar 600321\n";
    script += kCommit;
    script += "key down\nkey down\nkey down\nkey enter\nkey down\nkey down\nkey right\n";
    script += "key down\n";
    script += shot("12-demo-order");
    script += "key enter\n";
    script += kReply;
    script += shot("13-demo-done");

    EXPECT_EQ(run(script), 0) << err_;
    EXPECT_EQ(server_.queriesFor("/order-done.zqml"),
              std::vector<std::string>{"code=600321&qty=100&side=sell&kind=limit&acct=sz"});
}

class FormActionsOnPage : public ::testing::Test {
protected:
    FormActionsOnPage() {
        std::ofstream(dir_.path() / "form.zqml")
            << "<zqml><body><form id='f' action='p.zqml'>"
               "<edit id='e' name='en' value='abc'/>"
               "<choicegroup id='cg' name='cn' v='中国移动(CM)'><o cp='CM' v='中国移动(CM)'/>"
               "<o cp='CT' v='中国电信(CT)'/></choicegroup>"
               "<combobox id='cb' name='bn' v='y'><o cp='X' v='x'/><o cp='Y' v='y'/></combobox>"
               "<singlelinechoicegroup id='s' name='sn' v='2'><o cp='1' v='1'/><o cp='2' v='2'/>"
               "</singlelinechoicegroup>"
               "</form><cg id='fs' ch='sf()'><o cp='A' v='16'/><o cp='a' v='12'/></cg>"
               "<text id='1'>one</text><text id='2'>two</text></body></zqml>";
        controller_ = std::make_unique<PageController>(ControllerFolders{dir_.path(), dir_.path()});
        controller_->onAction(CString(u"fw(file://form.zqml)"));
    }
    template <class T>
    T* item(const char16_t* id) {
        return dynamic_cast<T*>(controller_->getItemByName(CString(id)));
    }

    test::TempDir dir_;
    std::unique_ptr<PageController> controller_;
};

// The page actions on the controls the markup built: reset empties what the
// form resets and keeps a single-line group; "changecgp" and "setfont" read
// real groups.
TEST_F(FormActionsOnPage, ResetAndCarrierChangeWorkOnBuiltControls) {
    auto* group = item<ChoiceGroup>(u"cg");
    auto* box = item<FilteredChoiceGroup>(u"cb");
    auto* field = item<TextField>(u"e");
    auto* line = item<InLineChoiceGroup>(u"s");
    ASSERT_TRUE(group && box && field && line);
    EXPECT_EQ(group->getValue().toUtf8(), "中国移动(CM)");
    EXPECT_EQ(box->getValue().toUtf8(), "y");
    group->setSelectedIndex(1, true);
    controller_->onAction(CString(u"changecgp(cg)"));
    EXPECT_FALSE(controller_->getItemByName(CString(u"1"))->isVisible());
    EXPECT_TRUE(controller_->getItemByName(CString(u"2"))->isVisible());
    controller_->onAction(CString(u"reset(f)"));
    EXPECT_EQ(field->getValue().toUtf8(), "");
    EXPECT_EQ(group->getValue().toUtf8(), "");
    EXPECT_EQ(box->getValue().toUtf8(), "");
    EXPECT_EQ(box->getText().toUtf8(), "请选择");  // not its first option, nor its initial one
    EXPECT_EQ(line->getValue().toUtf8(), "2");

    // "sf()" takes the size from the group whose choice ran it.
    auto* sizes = item<ChoiceGroup>(u"fs");
    ASSERT_NE(sizes, nullptr);
    sizes->setSelectedIndex(1, true);
    EXPECT_EQ(controller_->getSystemValue(CString(u"sys-fontsize")).toUtf8(), "12");
}

// Regression: "save()" of a host list stored the host under the list's
// identifier (its carrier) instead of its form name, so the chosen host was
// never read back.
TEST_F(FormActionsOnPage, AHostChosenInTheHostSetIsSavedUnderItsChoiceKey) {
    const CString all(u"all");
    controller_->setSetting(CString(u"sys-hostset-mode"), CString(u"1"), 0, false, all);
    controller_->setSetting(CString(u"sys-ct-iplist"),
                            CString(u"10.0.0.1:80:81:T1:,10.0.0.2:80:81:T2:"), 0, false, all);
    std::ofstream(dir_.path() / "hosts.zqml") << "<zqml><body><hostset/></body></zqml>";
    controller_->onAction(CString(u"fw(file://hosts.zqml)"));
    auto* hosts = item<FilteredChoiceGroup>(u"中国电信(CT)");
    ASSERT_NE(hosts, nullptr);
    ASSERT_EQ(hosts->getOptionCount(), 2);
    hosts->selectOption(2);
    EXPECT_EQ(controller_->getSystemValue(CString(u"sys-curhost")).toUtf8(),
              hosts->getOptionValue(1).toUtf8());
    EXPECT_TRUE(controller_->getSystemValue(CString(u"中国电信(CT)")).isEmpty());
}

}  // namespace
}  // namespace zq
