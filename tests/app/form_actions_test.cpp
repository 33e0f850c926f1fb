// The dialog, form and input actions against the real controller over
// local pages; the input items are test doubles placed on the shown form.
#include "app/form_actions.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/contact_picker.h"
#include "app/page_controller.h"
#include "items/choice_group.h"
#include "items/text_field.h"
#include "markup/form_submission.h"
#include "platform/device_services.h"
#include "platform/message_box.h"
#include "platform/ui_executor.h"
#include "tests/support/fake_input.h"
#include "tests/support/headless_harness.h"
#include "tests/support/test_env.h"
#include "ui/alert_screen.h"
#include "ui/display.h"
#include "ui/event.h"
#include "ui/form.h"

namespace zq {
namespace {

using test::FakeInput;

TEST(FormActionArguments, ConfirmForms) {
    struct Case {
        const char* argument;
        bool parsed;
        const char* yes;
        const char* no;
    };
    const Case cases[] = {
        {"Delete?,forward(del.zqml),back(1)", true, "forward(del.zqml)", "back(1)"},
        {"Delete?,forward(del.zqml,back(1))", true, "forward(del.zqml)", "back(1)"},
        {"Delete?,FORWARD(del.zqml,back(1)|gh())", true, "forward(del.zqml)", "back(1)"},
        {"Sure?,forward(a.zqml,none", true, "forward(a.zqml)", ""},
        {"Sure?,forward(a.zqml,none)", true, "forward(a.zqml)", "none)"},
        {"x,delmystocklist(stock,code)", false, "", ""},
        {"m,forward(a.zqml)", false, "", ""},
        {"m,forward(a,b,c)", false, "", ""},
        {"only", false, "", ""},
        {"a,b,c,d", false, "", ""},
    };
    for (const Case& c : cases) {
        std::optional<ConfirmRequest> request = parseConfirmArgument(CString(c.argument));
        ASSERT_EQ(request.has_value(), c.parsed) << c.argument;
        if (!request) continue;
        EXPECT_EQ(request->yesAction.toUtf8(), c.yes) << c.argument;
        EXPECT_EQ(request->noAction.toUtf8(), c.no) << c.argument;
    }
}

TEST(FormActionArguments, AlertForms) {
    struct Case {
        const char* argument;
        bool parsed;
        const char* message;
        int type;
    };
    const Case cases[] = {
        {"Saved,WARNING_MESSAGE", true, "Saved", 3},
        {" Saved , error_message , x ", true, "Saved", 1},
        {"Q,4", true, "Q", 4},
        {"Saved", false, "", 0},
        {"", false, "", 0},
    };
    for (const Case& c : cases) {
        std::optional<AlertRequest> request = parseAlertArgument(CString(c.argument));
        ASSERT_EQ(request.has_value(), c.parsed) << c.argument;
        if (!request) continue;
        EXPECT_EQ(request->message.toUtf8(), c.message);
        EXPECT_EQ(request->type, c.type) << c.argument;
    }
}

class ListPicker : public ContactPicker {
public:
    std::optional<std::vector<CString>> pickContacts(int maxCount) override {
        asked = maxCount;
        return numbers;
    }
    std::vector<CString> numbers;
    int asked = 0;
};

// A controller over a folder with "form.zqml" (a form "login" sent to
// "done.zqml") and a plain page "p0.zqml"; the test adds the fields.
class FormActions : public ::testing::Test {
protected:
    FormActions() {
        write("p0.zqml", "<zqml><body/></zqml>");
        write("form.zqml",
              "<zqml><body><form id='login' action='file://done.zqml#top'/>"
              "<form id='last' action='file://other.zqml'/></body></zqml>");
        controller_ = std::make_unique<PageController>(ControllerFolders{dir_.path(), {}});
        clearMessageBoxLog();
    }

    void write(const std::string& name, const std::string& text) {
        std::ofstream(dir_.path() / name) << text;
    }
    void run(const std::string& actions) { controller_->onAction(CString(actions.c_str())); }
    void open(const char* page) { run(std::string("fw(file://") + page + ")"); }
    std::string lastUrl() const { return controller_->pageLoader().lastUrl().toUtf8(); }

    // A field on the shown form, added to form `formId` (none: not added).
    FakeInput& field(InputKind kind, const char* id, const char* name, const char* value,
                     const char* formId = nullptr) {
        auto input = std::make_unique<FakeInput>(kind, CString(name), CString(value));
        input->setId(CString(id));
        FakeInput* raw = input.get();
        dynamic_cast<Form*>(controller_->currentScreen())->append(std::move(input));
        if (formId) {
            MarkupPage& page = *controller_->currentEntry()->page;
            FormSubmission* form = findFormByName(page, CString(formId));
            EXPECT_NE(form, nullptr);
            if (form) form->addField(raw);
        }
        return *raw;
    }
    void eventFrom(Item* source, const char* action) {
        controller_->onEvent(std::make_unique<Event>(CString(action), source));
    }

    test::TempDir dir_;
    std::unique_ptr<PageController> controller_;
};

TEST_F(FormActions, SubmitOpensTheLinkOrRunsTheActions) {
    write("act.zqml", "<zqml><body><form id='f' action='bk(1)'/></body></zqml>");
    open("form.zqml");
    field(InputKind::TextField, "a", "a", "1", "login");
    field(InputKind::ChoiceGroup, "g", "g", "1,3", "login");
    run("st(LOGIN)|st(nosuchform)|st()");
    EXPECT_EQ(lastUrl(), "file://done.zqml?a=1&g=1%2C3#top");
    // Regression: parentheses a person typed made the link an action, and
    // nothing was sent.
    open("form.zqml");
    field(InputKind::TextField, "n", "n", "ACME (HK)", "login");
    run("st(login)");
    EXPECT_EQ(lastUrl(), "file://done.zqml?n=ACME+(HK)#top");

    open("act.zqml");
    field(InputKind::TextField, "a", "a", "1", "f");
    run("submit(f)");  // "bk(1)?a=1" runs as an action
    EXPECT_EQ(controller_->currentEntry()->url.toUtf8(), "file://form.zqml");

    // The pairs go into each link the actions open, inside its parentheses,
    // whatever its place; there a typed '(' or ')' is encoded too. The same
    // on a form's submit and a text field's own action.
    struct Case {
        const char* action;
        const char* value;
        const char* sent;
    };
    const Case cases[] = {
        {"FW(file://done.zqml)|bk(1)", "600321", "file://done.zqml?code=600321"},
        {"al(hi,1)|forward(file://done.zqml)", "a)b(c|d,e",
         "file://done.zqml?code=a%29b%28c%7Cd%2Ce"},
        {"hide(x)|ud(file://done.zqml#top)", "1)", "file://done.zqml?code=1%29#top"},
        {"fc(x)|kfw(file://done.zqml)", "(1", "file://done.zqml?code=%281"},
        {"cf(Buy?,fw(file://done.zqml),fw(file://p0.zqml))", "1),fw(x)",
         "file://done.zqml?code=1%29%2Cfw%28x%29"},
        {"cf(Buy?,forward(file://done.zqml,bk(1)))", "a(", "file://done.zqml?code=a%28"},
        {"sd(nokey,fw(file://done.zqml),bk(1))", ")", "file://done.zqml?code=%29"},
    };
    UiExecutor executor;  // the confirm's box, answered Yes
    for (const bool submit : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(submit ? "submit " : "field ") + c.action);
            write("act.zqml", std::string("<zqml><body><form id='g' action='") + c.action +
                                  "'/></body></zqml>");
            open("act.zqml");
            FakeInput& code = field(InputKind::TextField, "c", "code", c.value, "g");
            if (submit) {
                run("st(g)");
            } else {
                controller_->onEvent(std::make_unique<TextFieldEvent>(
                    CString(c.action), &code, code.getName(), code.getValue()));
            }
            EXPECT_EQ(lastUrl(), c.sent);
        }
    }
}

TEST_F(FormActions, StockSubmitSendsTheLastFormAndSetsTheUser) {
    open("form.zqml");
    field(InputKind::TextField, "ACCT", "user", "abc", "last").encrypt = CString(u"true");
    run("ss(acct,file://quote.zqml)");
    EXPECT_EQ(controller_->currentUser().toUtf8(), "abc");
    const std::string sent = lastUrl();
    EXPECT_EQ(sent.rfind("file://quote.zqml?user=", 0), 0u) << sent;
    EXPECT_EQ(sent.find("abc"), std::string::npos);  // encoded with the session keys
    run("ss(acct)");
    EXPECT_EQ(lastUrl(), sent);

    // The user's own watch-list becomes the current one, and stays that user's.
    WatchList* mine = controller_->watchList();
    mine->add(0, CString(u"600000"));
    controller_->useWatchListOf(CString(u"other"));
    EXPECT_NE(controller_->watchList(), mine);
    EXPECT_TRUE(controller_->watchList()->codes(0).empty());
    controller_->useWatchListOf(CString(u"abc"));
    EXPECT_EQ(controller_->watchList(), mine);
}

TEST_F(FormActions, SpecialSubmitTruthTable) {
    struct Case {
        const char* code;
        const char* codeAtFocus;
        const char* second;
        const char* secondAtFocus;
        const char* link;  // "" : nothing sent
    };
    const Case cases[] = {
        {"600000", "000001", "", "", "file://code.zqml?code=600000&third=z&id=btn&codechange=1"},
        {"600000", "600000", "x", "y",
         "file://code.zqml?code=600000&second=x&third=z&id=btn&codechange=0"},
        {"600000", "600000", "x", "x", ""},
        {"60000", "00000", "x", "y", ""},
    };
    for (const Case& c : cases) {
        open("form.zqml");
        field(InputKind::TextField, "code", "code", c.code, "last").valueAtFocus =
            CString(c.codeAtFocus);
        field(InputKind::TextField, "second", "second", c.second, "last").valueAtFocus =
            CString(c.secondAtFocus);
        // Any input item may stand third.
        field(InputKind::FilteredChoiceGroup, "third", "third", "z", "last");
        eventFrom(&field(InputKind::ChoiceGroup, "btn", "", ""), "sm(file://code.zqml)");
        EXPECT_EQ(lastUrl(), *c.link ? c.link : "file://form.zqml") << c.code << c.second;
    }

    // Regression: typed values went into the link as typed; "&d=e" became a
    // parameter of its own and '#' cut the rest off as a fragment.
    open("form.zqml");
    field(InputKind::TextField, "code", "code", "600000", "last");
    field(InputKind::TextField, "second", "s&x", "1 2", "last");
    field(InputKind::TextField, "third", "third", "a#b c&d=e+f%g中", "last");
    eventFrom(&field(InputKind::ChoiceGroup, "b=n", "", ""), "sm(file://code.zqml#top)");
    EXPECT_EQ(lastUrl(),
              "file://code.zqml?code=600000&s%26x=1+2&third=a%23b+c%26d%3De%2Bf%25g%E4%B8%AD"
              "&id=b%3Dn&codechange=1#top");
}

// Regression: "sm" and a field's own action sent a field marked "encrypt" in
// clear, where "st" of the same form encodes it.
TEST_F(FormActions, AnEncryptedFieldTravelsEncodedOnEveryRoad) {
    struct Road {
        const char* name;
        std::function<void(FakeInput& pwd, Item& button)> send;
    };
    const Road roads[] = {
        {"submit", [&](FakeInput&, Item&) { run("st(last)"); }},
        {"special submit",
         [&](FakeInput&, Item& button) { eventFrom(&button, "sm(file://code.zqml)"); }},
        {"field action",
         [&](FakeInput& pwd, Item&) {
             controller_->onEvent(std::make_unique<TextFieldEvent>(
                 CString(u"forward(file://code.zqml)"), &pwd, pwd.getName(), pwd.getValue()));
         }},
    };
    std::vector<std::string> sent;
    for (const Road& road : roads) {
        SCOPED_TRACE(road.name);
        open("form.zqml");
        field(InputKind::TextField, "code", "code", "600000", "last");
        FakeInput& pwd = field(InputKind::TextField, "pwd", "pwd", "pw#&=1", "last");
        pwd.encrypt = CString(u"true");
        road.send(pwd, field(InputKind::ChoiceGroup, "btn", "", ""));
        const std::string url = lastUrl();
        const size_t at = url.find("pwd=");
        ASSERT_NE(at, std::string::npos) << url;
        sent.push_back(url.substr(at, url.find('&', at) - at));
        EXPECT_EQ(sent.back().find("pw%23"), std::string::npos) << url;
    }
    EXPECT_EQ(sent[1], sent[0]);
    EXPECT_EQ(sent[2], sent[0]);
}

TEST_F(FormActions, HideShowAndFocusFindItemsById) {
    open("p0.zqml");
    FakeInput& a = field(InputKind::TextField, "a", "", "");
    FakeInput& b = field(InputKind::TextField, "b", "", "");
    run("hide(a,b,zz)|show( a )");
    EXPECT_TRUE(a.isVisible());
    EXPECT_FALSE(b.isVisible());
    field(InputKind::TextField, "", "", "");
    run("show(b)|fc(B)|fc(nothing)");
    EXPECT_TRUE(b.isFocused());
    // Regression: an empty name moved the focus to the first item without one.
    run("fc()");
    EXPECT_TRUE(b.isFocused());
}

TEST_F(FormActions, ContactsAreAppendedOnlyWhenAPickerIsInstalled) {
    open("p0.zqml");
    FakeInput& phone = field(InputKind::TextField, "phone", "", "13800");
    run("gotd(phone)");
    EXPECT_EQ(phone.getValue().toUtf8(), "13800");

    // By default the device's contact list is the picker.
    LinuxDeviceServices device(dir_.path());
    write(LinuxDeviceServices::kContactsName, "Li\t13900\n13700\n");
    setDeviceServices(&device);
    run("gotd(phone)");
    setDeviceServices(nullptr);
    EXPECT_EQ(phone.getValue().toUtf8(), "13800.13900.13700");

    ListPicker picker;
    controller_->formActions().setContactPicker(&picker);
    picker.numbers = {CString(u"111"), CString(u"222")};
    phone.setValue(u"13800");
    run("gotd(phone)");
    EXPECT_EQ(phone.getValue().toUtf8(), "13800.111.222");
    picker.numbers.assign(11, CString(u"9"));  // more than the picker may give
    run("GetOutLookToID(phone)");
    EXPECT_EQ(phone.getValue().toUtf8(), "13800.111.222");
}

// Regression: a 100,000-digit contact filled a field of 12 and went out whole.
TEST_F(FormActions, ContactsFillAFieldOnlyUpToItsMaximumSize) {
    write("tel.zqml",
          "<zqml><body><edit id='tel' name='tel' maxsize='12' value='1380'/></body></zqml>");
    open("tel.zqml");
    auto* tel = dynamic_cast<Inputable*>(controller_->getItemByName(CString(u"tel")));
    ASSERT_NE(tel, nullptr);
    ListPicker picker;
    controller_->formActions().setContactPicker(&picker);
    // Whole numbers while they fit: a cut number would reach someone else.
    picker.numbers = {CString(u"111"), CString(u"2222"), CString(u"3")};
    run("gotd(tel)");
    EXPECT_EQ(tel->getValue().toUtf8(), "1380.111");
    picker.numbers = {CString(std::u16string(100000, u'7'))};
    run("gotd(tel)");
    EXPECT_EQ(tel->getValue().toUtf8(), "1380.111");
    picker.numbers = {CString(u"999")};
    run("gotd(tel)");
    EXPECT_EQ(tel->getValue().toUtf8(), "1380.111.999");
}

TEST_F(FormActions, SetFontAndClearAppWriteTheResourceFile) {
    write("ZQConfigDefault.ini", "[info-system]\nsys-fontsize = 12\n");
    open("p0.zqml");
    eventFrom(&field(InputKind::ChoiceGroup, "size", "", "20"), "sf()");
    EXPECT_EQ(controller_->settings().storedValue(u"sys-fontsize").toUtf8(), "20");

    SettingsStore::putEntry(controller_->settings().live(), u"cli-account", u"secret",
                            u"info-data");
    run("cr()");
    std::ifstream in(dir_.path() / "ZQConfig.ini");
    const std::string file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(file.find("secret"), std::string::npos) << file;
    EXPECT_NE(file.find("sys-fontsize"), std::string::npos) << file;
}

// Regression: the exit save wrote the settings from before "clearapp" back.
TEST_F(FormActions, ClearAppLastsPastTheExitSave) {
    write("ZQConfigDefault.ini", "[info-system]\nsys-fontsize = 12\n");
    PageController controller(ControllerFolders{dir_.path(), dir_.path()});
    controller.setSetting(u"sys-fontsize", u"20", 2, false, u"all");
    controller.setSetting(u"cli-account", u"secret", 0, false, CString());
    controller.onAction(u"cr()");
    controller.saveSettings();
    std::ifstream in(dir_.path() / "ZQConfig.ini");
    const std::string file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(file.find("secret"), std::string::npos) << file;
    EXPECT_NE(file.find("sys-fontsize = 12"), std::string::npos) << file;
}

// Regression: the item of the last event was kept as a plain pointer, so an
// onload "sf()" at the end of a page chain read the freed choice group.
TEST_F(FormActions, AnEventItemWhosePageIsFreedIsForgotten) {
    write("sizes.zqml",
          "<zqml><body><cg id='fs' ch='ud(file://c1.zqml)'><o cp='A' v='16'/><o cp='a' v='12'/>"
          "</cg></body></zqml>");
    // Each page puts the next in its place; the recycled ones die in turn.
    write("c1.zqml", "<zqml><body onload='ud(file://c2.zqml)'/></zqml>");
    write("c2.zqml", "<zqml><body onload='ud(file://c3.zqml)'/></zqml>");
    write("c3.zqml", "<zqml><body onload='ud(file://c4.zqml)'/></zqml>");
    write("c4.zqml", "<zqml><body onload='sf()'/></zqml>");
    open("sizes.zqml");
    auto* sizes = dynamic_cast<ChoiceGroup*>(controller_->getItemByName(CString(u"fs")));
    ASSERT_NE(sizes, nullptr);
    sizes->setSelectedIndex(1, true);
    EXPECT_EQ(controller_->currentEntry()->url.toUtf8(), "file://c4.zqml");
    EXPECT_EQ(controller_->eventSource(), nullptr);
    EXPECT_TRUE(controller_->settings().storedValue(u"sys-fontsize").isEmpty());
}

// Regression: an item of a page kept in the history fed the next page's
// onload "sf()" and a soft key's "save(all)" with its value.
TEST_F(FormActions, AnActionReadsTheEventItemOfItsOwnPageOnly) {
    write("kept.zqml",
          "<zqml><body><cg id='fs' ch='nothing()'><o cp='A' v='16'/></cg></body></zqml>");
    write("next.zqml", "<zqml><body onload='sf()'/></zqml>");
    open("kept.zqml");
    auto* sizes = dynamic_cast<ChoiceGroup*>(controller_->getItemByName(CString(u"fs")));
    ASSERT_NE(sizes, nullptr);
    sizes->setSelectedIndex(0, true);
    open("next.zqml");
    run("save(all)");
    EXPECT_EQ(controller_->eventSource(), nullptr);
    EXPECT_TRUE(controller_->settings().storedValue(u"sys-fontsize").isEmpty());
    EXPECT_TRUE(controller_->settings().storedValue(u"fs").isEmpty());

    // Back on its own page the item still gives its value to a later action
    // without an event of its own (a soft key's).
    run("bk(1)");
    ASSERT_EQ(controller_->currentEntry()->url.toUtf8(), "file://kept.zqml");
    ASSERT_EQ(controller_->eventSource(), sizes);
    run("sf()");
    EXPECT_EQ(controller_->settings().storedValue(u"sys-fontsize").toUtf8(), "16");
}

// Boxes need the UI thread: the test's thread becomes it.
class BoxActions : public FormActions {
protected:
    UiExecutor executor_;
};

TEST_F(BoxActions, ConfirmRunsTheAnsweredAction) {
    open("p0.zqml");
    // Nobody answers: the box takes its first button, Yes.
    run("cf(Delete?,forward(file://form.zqml,back(1)))|cf(x,delmystocklist(s,c),bk(1))");
    ASSERT_EQ(messageBoxLog().size(), 1u);
    EXPECT_EQ(messageBoxLog()[0].caption.toUtf8(), "确认信息");
    EXPECT_EQ(lastUrl(), "file://form.zqml");
}

// Regression: a box raised while a page was built opened its modal loop
// inside the build.
TEST_F(BoxActions, BoxesRaisedWhileAPageBuildsWaitForTheUiThread) {
    open("p0.zqml");
    {
        zq::FormActions::PageBuildScope building(controller_->formActions());
        run("cf(Go?,fw(file://form.zqml),bk(1))");
        EXPECT_TRUE(messageBoxLog().empty());
    }
    executor_.runPending();
    EXPECT_EQ(messageBoxLog().size(), 1u);
    EXPECT_EQ(lastUrl(), "file://form.zqml");
}

TEST_F(BoxActions, AlertShowsOverThePageWithItsReturnKey) {
    Display display{Size{240, 320}};
    open("p0.zqml");
    Displayable* page = display.getCurrent();
    run("al(Saved)");
    EXPECT_EQ(display.getCurrent(), page);

    run("al(Saved,WARNING_MESSAGE)");
    auto* alert = dynamic_cast<AlertScreen*>(display.getCurrent());
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->getTitle().toUtf8(), "警告");
    EXPECT_EQ(alert->commandCount(), 2);  // "返" in place of the OK command
    // A second alert over the first keeps the first alive to return to.
    run("al(Again,1)");
    auto* second = dynamic_cast<AlertScreen*>(display.getCurrent());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->getReturnTarget(), alert);
    EXPECT_EQ(alert->getTitle().toUtf8(), "警告");
    display.setCurrent(page, true);
    controller_.reset();
}

// A confirm answered by keys while something changes the page under its box.
class ConfirmUnderChanges : public FormActions {
protected:
    // Enter's press runs `confirm` with `underTheBox` posted to run while the
    // box is open; the next Enter answers Yes.
    void confirmWhile(const char* confirm, std::function<void()> underTheBox) {
        test::RecordingHandler page;
        page.onEvent = [&](const InputEvent& e) {
            const auto* key = std::get_if<KeyDown>(&e);
            if (!key || key->code != kKeyEnter || asked_) return;
            asked_ = true;
            postToUi(underTheBox);
            run(confirm);
        };
        harness_.run("key enter\nkey enter\n", page);
    }
    std::vector<std::string> boxTexts() const {
        std::vector<std::string> texts;
        for (const MessageBoxRecord& box : messageBoxLog()) texts.push_back(box.text.toUtf8());
        return texts;
    }

    test::HeadlessHarness harness_;
    bool asked_ = false;
};

// Regression: a reload that came while the box was open replaced the page,
// and Yes sent the new page's form, without the quantity the user typed.
TEST_F(ConfirmUnderChanges, YesSendsWhatTheUserConfirmedWhileAReloadWaits) {
    open("form.zqml");
    field(InputKind::TextField, "qty", "qty", "100500", "login");
    confirmWhile("cf(Buy?,st(login),bk(1))", [this] { run("rf()"); });
    EXPECT_EQ(lastUrl(), "file://done.zqml?qty=100500#top");
    ASSERT_FALSE(boxTexts().empty());
    EXPECT_EQ(boxTexts()[0], "Buy?");
}

// Regression: values changed under the box were sent as if confirmed.
TEST_F(ConfirmUnderChanges, ChangedValuesSendNothingAndTheUserIsTold) {
    open("form.zqml");
    FakeInput& qty = field(InputKind::TextField, "qty", "qty", "100500", "login");
    confirmWhile("cf(Buy?,st(login),bk(1))", [&qty] { qty.setValue(CString(u"100")); });
    EXPECT_EQ(lastUrl(), "file://form.zqml");
    EXPECT_EQ(boxTexts(),
              (std::vector<std::string>{"Buy?", "页面已更新，操作未执行，请重新确认。"}));
}

}  // namespace
}  // namespace zq
