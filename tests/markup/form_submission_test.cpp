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
#include "ui/container.h"
#include "ui/form.h"
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
    CString currentUser{u"(none)"};
    int repaints = 0;
};

class FormSubmissionTest : public ::testing::Test {
protected:
    FakeInput& field(InputKind kind, const char* name, const char* value) {
        inputs_.push_back(std::make_unique<FakeInput>(kind, CString(name), CString(value)));
        return *inputs_.back();
    }
    FakeInput& text(const char* name, const char* value) {
        return field(InputKind::TextField, name, value);
    }
    FormSubmission form(const char* action, std::vector<Item*> fields,
                        FormContext* context = nullptr) {
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
    };
    const Case cases[] = {
        {"page.zqml#top", {{"a", "1"}, {"b", "x y"}}, "page.zqml?a=1&b=x+y#top"},
        {"p?x=1", {{"c", "中"}}, "p?x=1&c=%E4%B8%AD"},
        {"p#f?x=1", {{"a", "1"}}, "p?x=1&a=1#f"},
        {"p#f?x=1", {}, "p#f?x=1"},  // no fields: the action as written
        {"p", {{"a", ""}, {"b", "2"}}, "p?a=&b=2"},
        {"p", {{"名 字", "a=b&c"}}, "p?%E5%90%8D+%E5%AD%97=a%3Db%26c"},
        {"", {{"a", "1"}}, ""},
    };
    for (const Case& c : cases) {
        std::vector<Item*> fields;
        for (const auto& [name, value] : c.fields) fields.push_back(&text(name, value));
        EXPECT_EQ(form(c.action, fields).submit().toUtf8(), c.link) << c.action;
    }
}

TEST_F(FormSubmissionTest, ChoiceValuesTravelAsTheGroupJoinsThem) {
    FakeInput& group = field(InputKind::ChoiceGroup, "g", "1,3");
    FakeInput& combo = field(InputKind::FilteredChoiceGroup, "c", "");
    EXPECT_EQ(form("p", {&group, &combo}).submit().toUtf8(), "p?g=1%2C3&c=");
}

// Regression: a field that failed half-way left its separator: "a=1&&c=3".
TEST_F(FormSubmissionTest, AFieldThatFailsLeavesNoEmptyPair) {
    FakeInput& a = text("a", "1");
    FakeInput& broken = text("b", "2");
    FakeInput& c = text("c", "3");
    broken.throwing = true;
    EXPECT_EQ(form("p", {&a, &broken, &c}).submit().toUtf8(), "p?a=1&c=3");
    EXPECT_EQ(form("p#f", {&a, &broken}).submit().toUtf8(), "p?a=1#f");
}

TEST_F(FormSubmissionTest, ARefusedFieldSendsNothingAndSaysWhy) {
    clearMessageBoxLog();
    FakeInput& good = text("a", "1");
    FakeInput& qty = text("q", "");
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

TEST_F(FormSubmissionTest, MarkedValuesAreEncodedWithTheirKeySet) {
    FakeInput& stat = text("s", "600000");
    stat.valueDecoded = true;
    FakeInput& session = field(InputKind::ChoiceGroup, "e", "1");
    session.encrypt = CString(u"TRUE");

    const CString withContext = form("p", {&stat, &session}, &context_).submit();
    const CString expected =
        CString(u"p?s=") + urlEncode(FieldEncoder::withDefaultKeys(u"600000").encodeValue()) +
        u"&e=" + urlEncode(FieldEncoder(u"47310958", u"dn", u"ec", u"1").encodeValue());
    EXPECT_EQ(withContext, expected);

    // Without a context only the static key set can be used.
    const CString without = form("p", {&stat, &session}).submit();
    EXPECT_EQ(without.right(4).toUtf8(), "&e=1");
}

TEST_F(FormSubmissionTest, TheUserFieldIsMatchedByIdBeforeEncoding) {
    FakeInput& account = text("login", "abc");
    account.setId(u"ACCT");
    account.encrypt = CString(u"true");
    FakeInput& named = text("acct", "other");
    FormSubmission login = form("p", {&named, &account}, &context_);
    login.setUserFieldName(u"acct");
    login.submit();
    EXPECT_EQ(context_.currentUser.toUtf8(), "abc");

    context_.currentUser = CString();
    FormSubmission byName = form("p", {&named}, &context_);
    byName.setUserFieldName(u"acct");
    byName.submit();
    EXPECT_EQ(context_.currentUser.toUtf8(), "");
}

TEST_F(FormSubmissionTest, ResetLeavesSingleLineGroupsAlone) {
    FakeInput& t = text("t", "abc");
    FakeInput& inline_ = field(InputKind::InLineChoiceGroup, "i", "2");
    FakeInput& combo = field(InputKind::FilteredChoiceGroup, "c", "x");
    combo.setValue(u"y");
    form("p", {&t, &inline_, &combo}).reset();
    EXPECT_EQ(t.getValue().toUtf8(), "");
    EXPECT_EQ(inline_.getValue().toUtf8(), "2");
    EXPECT_EQ(inline_.resets, 0);
    EXPECT_EQ(combo.getValue().toUtf8(), "x");
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
        if (tagIs(tag, u"edit")) {
            auto input = std::make_unique<FakeInput>(InputKind::TextField, getAttribute(node, u"n"),
                                                     CString());
            return parent ? page.adoptControl(std::move(input))
                          : page.registerControl(std::move(input));
        }
        return buildElement(page, tag, node, parent);
    }
    std::string names(const char* formId) {
        std::string out;
        FormSubmission* form = findFormByName(*page_, CString(formId));
        if (!form) return "(no form)";
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
        "<text>x</text><edit n='d'/></form>"
        "<form id=''><edit n='e'/></form></zqml>");
    EXPECT_EQ(names("OUTER"), "abcd");
    EXPECT_EQ(names("inner"), "bc");
    EXPECT_EQ(names("deep"), "c");
    EXPECT_EQ(names(""), "(no form)");
    ASSERT_EQ(pageForms(*page_).size(), 4u);
    EXPECT_EQ(lastForm(*page_)->fields().size(), 1u);
    EXPECT_EQ(pageForms(*page_)[1]->action().toUtf8(), "i");
    EXPECT_EQ(pageForms(*page_)[0]->context(), &context_);
    // The controls went to the page in document order, the form built none.
    EXPECT_EQ(page_->controls().size(), 6u);
}

TEST_F(FormBuilderTest, ThePageBuildsFormsThroughItsElementTable) {
    ASSERT_TRUE(page_->loadPage(
        "<zqml><body><f id='x' a='go.zqml'><text>hi</text><form id='y'/></f></body></zqml>",
        &context_));
    ASSERT_EQ(pageForms(*page_).size(), 2u);
    EXPECT_EQ(findFormByName(*page_, u"X")->action().toUtf8(), "go.zqml");
    ASSERT_NE(page_->form(), nullptr);
    EXPECT_EQ(page_->form()->getContent()->size(), 1);  // the text, on the page itself
    EXPECT_EQ(collectedItems(*page_).size(), 1u);
}

TEST_F(FormBuilderTest, FiftyNestedFormsEachCollectTheirSubtree) {
    std::string xml = "<zqml>";
    for (int i = 0; i < 50; ++i) xml += "<form id='f" + std::to_string(i) + "'><edit n='x'/>";
    for (int i = 0; i < 50; ++i) xml += "</form>";
    build(xml + "</zqml>");
    ASSERT_EQ(pageForms(*page_).size(), 50u);
    EXPECT_EQ(pageForms(*page_)[0]->fields().size(), 50u);
    EXPECT_EQ(pageForms(*page_)[49]->fields().size(), 1u);
}

// Regression: links in a form built inside a container were built and then
// lost: neither collected nor placed.
TEST_F(FormBuilderTest, LinksOfAFormInsideAContainerAreCollected) {
    Item placeholder;
    build("<zqml><form id='f'><a href='x.zqml'>go</a><edit n='a'/><text>t</text></form></zqml>",
          &placeholder);
    std::vector<Item*>& collected = collectedItems(*page_);
    ASSERT_EQ(collected.size(), 3u);
    EXPECT_TRUE(collected[0]->isHyperlinkItem());
    EXPECT_EQ(names("f"), "a");
    for (Item* item : collected) EXPECT_TRUE(page_->holdsControl(item));
}

}  // namespace
}  // namespace zq
