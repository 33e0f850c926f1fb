#include "markup/form_submission.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/string_utils.h"
#include "core/xml_parser.h"
#include "markup/element_dispatch.h"
#include "markup/encoder.h"
#include "markup/markup_page.h"
#include "platform/message_box.h"
#include "tests/support/fake_input.h"
#include "tests/support/test_font.h"
#include "ui/style.h"

namespace zq {
namespace {

using test::FakeInput;

class FakeContext : public PageHost, public FormContext {
public:
    void onEvent(std::unique_ptr<Event>) override {}
    CString formSnKey() const override { return u"47310958"; }
    CString formDnKey() const override { return u"dn"; }
    void setCurrentUser(const CString& user) override { currentUser = user; }
    void repaintCurrentScreen() override { ++repaints; }
    CString currentUser;
    int repaints = 0;
};

class FormSubmissionTest : public ::testing::Test {
protected:
    FakeInput& field(const char* name, const char* value, InputKind kind = InputKind::TextField) {
        inputs_.push_back(std::make_unique<FakeInput>(kind, CString(name), CString(value)));
        return *inputs_.back();
    }
    FormSubmission form(const char* action, std::vector<Item*> fields, FormContext* context) {
        return FormSubmission(u"n", CString(action), u"id", CString(), CString(), u"ec",
                              std::move(fields), context);
    }

    std::vector<std::unique_ptr<FakeInput>> inputs_;
    FakeContext context_;
};

TEST_F(FormSubmissionTest, BuildsTheQueryAndKeepsTheFragmentLast) {
    struct Case {
        const char* action;
        std::vector<std::pair<const char*, const char*>> fields;
        const char* link;
        PairPlace place = PairPlace::Link;
    };
    const Case cases[] = {
        {"page.zqml#top", {{"a", "1"}, {"b", "x y"}}, "page.zqml?a=1&b=x+y#top"},
        // Inside an action's parentheses a '(' or ')' would end the link.
        {"p#f", {{"a(", "x)y|z,"}}, "p?a(=x)y%7Cz%2C#f"},
        {"p#f", {{"a(", "x)y|z,"}}, "p?a%28=x%29y%7Cz%2C#f", PairPlace::Action},
        {"p?x=1", {{"c", "中"}}, "p?x=1&c=%E4%B8%AD"},
        // An emoji (a surrogate pair) goes as one 4-byte sequence.
        {"p", {{"e", "a😀"}}, "p?e=a%F0%9F%98%80"},
        {"p#f?x=1", {{"a", "1"}}, "p?x=1&a=1#f"},
        {"p#f?x=1", {}, "p#f?x=1"},  // no fields: the action as written
        {"p", {{"a", ""}, {"b=", "&"}}, "p?a=&b%3D=%26"},
        {"", {{"a", "1"}}, ""},
    };
    for (const Case& c : cases) {
        std::vector<Item*> fields;
        for (const auto& [name, value] : c.fields) fields.push_back(&field(name, value));
        EXPECT_EQ(form(c.action, fields, nullptr).submitTo(CString(c.action), c.place).toUtf8(),
                  c.link)
            << c.action;
    }
    FakeInput& group = field("g", "1,3", InputKind::ChoiceGroup);
    EXPECT_EQ(form("p", {&group}, nullptr).submit().toUtf8(), "p?g=1%2C3");
}

// Regression: a field that failed half-way left its separator: "a=1&&c=3".
TEST_F(FormSubmissionTest, AFieldThatFailsLeavesNoEmptyPair) {
    FakeInput& a = field("a", "1");
    FakeInput& broken = field("b", "2");
    FakeInput& c = field("c", "3");
    broken.throwing = true;
    EXPECT_EQ(form("p", {&a, &broken, &c}, nullptr).submit().toUtf8(), "p?a=1&c=3");
    EXPECT_EQ(form("p#f", {&a, &broken}, nullptr).submit().toUtf8(), "p?a=1#f");
}

TEST_F(FormSubmissionTest, ARefusedFieldSendsNothingAndSaysWhy) {
    clearMessageBoxLog();
    FakeInput& good = field("a", "1");
    FakeInput& qty = field("q", "");
    qty.setLabel(u"数量");
    qty.ruleCode = 1;
    qty.ruleMessage = CString("不能为空");
    FormSubmission refusing = form("p.zqml#top", {&good, &qty}, &context_);
    EXPECT_EQ(refusing.submit().toUtf8(), "");
    ASSERT_EQ(messageBoxLog().size(), 1u);
    EXPECT_EQ(messageBoxLog()[0].text.toUtf8(), "数量不能为空");
    EXPECT_EQ(messageBoxLog()[0].caption.toUtf8(), "提示");
    EXPECT_EQ(context_.repaints, 1);

    qty.ruleCode = 0;
    qty.setValue(u"5");
    EXPECT_EQ(refusing.submit().toUtf8(), "p.zqml?a=1&q=5#top");
}

TEST_F(FormSubmissionTest, MarkedValuesAreEncodedAfterTheUserIsTaken) {
    FakeInput& account = field("login", "600000");
    account.setId(u"ACCT");
    account.valueDecoded = true;
    FakeInput& session = field("e", "1", InputKind::ChoiceGroup);
    session.encrypt = CString(u"TRUE");
    FakeInput& named = field("acct", "other");  // its name, not its id, is acct

    FormSubmission sent = form("p", {&account, &session, &named}, &context_);
    sent.setUserFieldName(u"acct");
    EXPECT_EQ(sent.submit(),
              CString(u"p?login=") +
                  urlEncode(FieldEncoder::withDefaultKeys(u"600000").encodeValue()) + u"&e=" +
                  urlEncode(FieldEncoder(u"47310958", u"dn", u"ec", u"1").encodeValue()) +
                  u"&acct=other");
    EXPECT_EQ(context_.currentUser.toUtf8(), "600000");
    // Without a context only the static key set applies.
    EXPECT_EQ(form("p", {&session}, nullptr).submit().toUtf8(), "p?e=1");
}

TEST_F(FormSubmissionTest, ResetLeavesSingleLineGroupsAlone) {
    FakeInput& text = field("t", "abc");
    FakeInput& inLine = field("i", "2", InputKind::InLineChoiceGroup);
    form("p", {&text, &inLine}, nullptr).reset();
    EXPECT_EQ(text.getValue().toUtf8(), "");
    EXPECT_EQ(inLine.resets, 0);
}

// --- the "form" element ----------------------------------------------------------------

class FormBuilderTest : public ::testing::Test {
protected:
    void TearDown() override {
        page_.reset();
        freeTrackedStyles();
    }
    // Builds the root's children; "edit" makes a FakeInput named by "n".
    void build(const std::string& xml, Item* parent = nullptr) {
        ASSERT_TRUE(parser_.setDoc(CString(xml.c_str())));
        ASSERT_TRUE(parser_.findElem());
        ASSERT_TRUE(parser_.intoElem());
        page_->loadPage("<zqml/>", &context_);
        while (parser_.findElem()) buildChild(*page_, parser_.getTagName(), parser_, parent);
    }
    Item* buildChild(MarkupPage& page, const CString& tag, XmlParser& node, Item* parent) {
        if (tagIs(tag, u"form", u"f")) {
            buildFormWith(page, node, parent,
                          [this](MarkupPage& p, const CString& t, XmlParser& n, Item* at) {
                              return buildChild(p, t, n, at);
                          });
            return nullptr;
        }
        if (!tagIs(tag, u"edit")) return buildElement(page, tag, node, parent);
        auto input =
            std::make_unique<FakeInput>(InputKind::TextField, getAttribute(node, u"n"), CString());
        return parent ? page.adoptControl(std::move(input))
                      : page.registerControl(std::move(input));
    }
    std::string names(const char* formId) {
        FormSubmission* form = findFormByName(*page_, CString(formId));
        if (!form) return "(no form)";
        std::string out;
        for (Item* item : form->fields()) out += dynamic_cast<Inputable*>(item)->getName().toUtf8();
        return out;
    }

    test::ScopedFixedFont font_;
    FakeContext context_;
    std::unique_ptr<MarkupPage> page_ = std::make_unique<MarkupPage>();
    XmlParser parser_;
};

// Regression: the outer form took the fields of the form created last, the
// innermost one, and lost those of the form it holds.
TEST_F(FormBuilderTest, NestedFormsGiveTheirFieldsWhereTheyStand) {
    build(
        "<zqml><form id='outer' action='o'><edit n='a'/>"
        "<f id='Inner' a='i'><edit n='b'/><form id='deep'><edit n='c'/></form></f>"
        "<text>x</text><edit n='d'/></form><form id=''><edit n='e'/></form></zqml>");
    EXPECT_EQ(names("OUTER"), "abcd");
    EXPECT_EQ(names("inner"), "bc");
    EXPECT_EQ(names("deep"), "c");
    EXPECT_EQ(names(""), "(no form)");
    ASSERT_EQ(pageForms(*page_).size(), 4u);
    EXPECT_EQ(lastForm(*page_)->fields().size(), 1u);
    EXPECT_EQ(pageForms(*page_)[0]->context(), &context_);
    EXPECT_EQ(page_->controls().size(), 6u);  // placed by the page, in document order

    std::string deep = "<zqml>";
    for (int i = 0; i < 50; ++i) deep += "<form><edit n='x'/>";
    for (int i = 0; i < 50; ++i) deep += "</form>";
    build(deep + "</zqml>");
    EXPECT_EQ(pageForms(*page_)[4]->fields().size(), 50u);
}

// Regression: links in a form built inside a container were built and then
// lost: neither collected nor placed.
TEST_F(FormBuilderTest, LinksOfAFormInsideAContainerAreCollected) {
    Item placeholder;
    build("<zqml><form id='f'><a href='x.zqml'>go</a><edit n='a'/></form></zqml>", &placeholder);
    std::vector<Item*>& collected = collectedItems(*page_);
    ASSERT_EQ(collected.size(), 2u);
    EXPECT_TRUE(collected[0]->isHyperlinkItem());
    EXPECT_TRUE(page_->holdsControl(collected[0]));
    EXPECT_EQ(names("f"), "a");
}

TEST_F(FormBuilderTest, ThePageBuildsFormsThroughItsElementTable) {
    ASSERT_TRUE(page_->loadPage(
        "<zqml><body><f id='x' a='go.zqml'><text>hi</text></f></body></zqml>", &context_));
    EXPECT_EQ(findFormByName(*page_, u"X")->action().toUtf8(), "go.zqml");
    EXPECT_EQ(collectedItems(*page_).size(), 1u);
}

}  // namespace
}  // namespace zq
