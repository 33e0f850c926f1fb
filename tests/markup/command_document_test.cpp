#include "markup/command_document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/xml_parser.h"
#include "markup/markup_page.h"
#include "tests/support/markup_fixture.h"
#include "ui/command_item.h"
#include "ui/default_styles.h"
#include "ui/event.h"
#include "ui/form.h"
#include "ui/style.h"

namespace zq {
namespace {

class DocumentHost : public PageHost {
public:
    void onEvent(std::unique_ptr<Event> /*event*/) override {}
    std::string loadContent(const CString& path) override {
        auto found = documents.find(path);
        return found == documents.end() ? std::string() : found->second;
    }
    CString characterSet() const override { return charset; }

    std::map<CString, std::string> documents;
    CString charset;
};

std::vector<CString> labelsOf(const std::vector<CommandRef>& commands) {
    std::vector<CString> labels;
    for (const CommandRef& c : commands) labels.push_back(c->getLabel());
    return labels;
}

bool hasLabel(const Screen& screen, const char16_t* label) {
    const std::vector<CString> labels = labelsOf(screen.getCommands());
    return std::find(labels.begin(), labels.end(), CString(label)) != labels.end();
}

class CommandDocumentTest : public test::MarkupFixture<> {
protected:
    // The tree of the document's root element, read as a "command".
    std::unique_ptr<CommandNode> tree(const char* xml) {
        EXPECT_TRUE(parser_.setDoc(CString(xml)));
        parser_.findElem();
        return buildCommandTree(*page_, parser_);
    }
    static std::vector<CString> childLabels(const CommandNode& node) {
        std::vector<CString> labels;
        for (size_t i = 0; i < node.getChildCount(); ++i) {
            const CommandRef& c = node.getChild(i)->getCommand();
            labels.push_back(c ? c->getLabel() : CString(u"-"));
        }
        return labels;
    }
};

TEST_F(CommandDocumentTest, CommandElementBecomesATreeOfSoftKeys) {
    auto root = tree(
        "<command><ci cp='Menu'><ci cp='Quote' a='q()'/><commanditem caption='News' action='n()'/>"
        "</ci><CI cp='Only'><ci cp='Inner' a='i()'/></CI>"
        "<ci cp='Empty'><ci cp='t' th='TRUE'/></ci><text>skipped</text></command>");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->getCommand(), nullptr);
    // A single child replaces its parent; a submenu of nothing is dropped.
    EXPECT_EQ(childLabels(*root), (std::vector<CString>{u"Menu", u"Inner"}));
    EXPECT_EQ(childLabels(*root->getChild(0)), (std::vector<CString>{u"Quote", u"News"}));
    EXPECT_EQ(root->getChild(1)->getAction(), CString(u"i()"));
    EXPECT_EQ(root->getChild(0)->getChild(1)->getCommand()->getPriority(), 4);

    std::map<CString, CString> map;
    registerCommandTree(map, root.get());
    EXPECT_EQ(map.at(u"News"), CString(u"n()"));
    EXPECT_EQ(map.count(u"Empty"), 0u);

    // The touch item went to the page, not into the tree.
    ASSERT_EQ(page_->commandItems().size(), 1u);
    EXPECT_EQ(page_->commandItems()[0]->getCommand()->getLabel(), CString(u"t"));
    EXPECT_EQ(page_->commandNodes().size(), 1u);
}

TEST_F(CommandDocumentTest, TouchLabelsAndEmptyCommands) {
    EXPECT_EQ(tree("<command><ci caption='quote' touch='True'/><ci th='true'/>"
                   "<ci cp='x' sp='ab' th='TRUE'/></command>"),
              nullptr);
    ASSERT_EQ(page_->commandItems().size(), 3u);
    EXPECT_EQ(page_->commandItems()[0]->getCommand()->getLabel(), CString(u"q"));
    EXPECT_EQ(page_->commandItems()[1]->getCommand()->getLabel(), CString());
    EXPECT_EQ(page_->commandItems()[2]->getCommand()->getLabel(), CString(u"AB"));
    EXPECT_EQ(tree("<command><text>x</text></command>"), nullptr);
    EXPECT_EQ(tree("<command/>"), nullptr);
}

// Regression: a tree that a later "command" replaced was never freed (ASan
// reports the leak).
TEST_F(CommandDocumentTest, DocumentReplacesTheShownSoftKeys) {
    Form form(CString(), createFormStyle());
    form.addCommand(std::make_shared<Command>(u"Old", 1, 4));
    std::map<CString, CString> entryMap{{u"Old", u"old()"}};
    DocumentHost host;
    loadCommandDocument(*page_,
                        "<doc><command><ci cp='X' a='x()'/></command><text>t</text>"
                        "<recommand><ci cp='Y' a='y()'/><ci cp='Z' a='z()'/></recommand></doc>",
                        &host, &form, &entryMap);
    EXPECT_TRUE(hasLabel(form, u"Y"));
    EXPECT_TRUE(hasLabel(form, u"Z"));
    EXPECT_FALSE(hasLabel(form, u"X"));
    EXPECT_FALSE(hasLabel(form, u"Old"));
    EXPECT_EQ(entryMap, (std::map<CString, CString>{{u"Y", u"y()"}, {u"Z", u"z()"}}));
    EXPECT_EQ(page_->bodyCommandTree(), nullptr);
}

TEST_F(CommandDocumentTest, DocumentWithoutCommandsChangesNothing) {
    Form form(CString(), createFormStyle());
    form.addCommand(std::make_shared<Command>(u"Old", 1, 4));
    std::map<CString, CString> entryMap{{u"Old", u"old()"}};
    DocumentHost host;
    for (const char* doc : {"<doc><command><text>x</text></command></doc>", "no element", ""}) {
        loadCommandDocument(*page_, doc, &host, &form, &entryMap);
        EXPECT_TRUE(hasLabel(form, u"Old")) << doc;
        EXPECT_EQ(entryMap.size(), 1u) << doc;
    }
    loadCommandDocument(*page_, "<doc><command><ci cp='Y'/></command></doc>", &host, nullptr,
                        &entryMap);
    EXPECT_EQ(entryMap.size(), 1u);
}

TEST_F(CommandDocumentTest, Big5HandsetLosesCharactersBig5Lacks) {
    Form form(CString(), createFormStyle());
    DocumentHost host;
    host.charset = u"BIG5";
    loadCommandDocument(*page_, "<doc><cmd><ci cp='这' a='a()'/></cmd></doc>", &host, &form,
                        nullptr);
    EXPECT_TRUE(hasLabel(form, u"?"));
    host.charset = CString();
    loadCommandDocument(*page_, "<doc><cmd><ci cp='这' a='a()'/></cmd></doc>", &host, &form,
                        nullptr);
    EXPECT_TRUE(hasLabel(form, u"这"));
}

TEST_F(CommandDocumentTest, ScommandLoadsItsDocumentIntoThePageScreen) {
    DocumentHost host;
    host.documents[u"menu.xml"] = "<zq><command><ci cp='Go' a='go()'/></command></zq>";
    ASSERT_TRUE(page_->loadPage("<zqml/>", &host));
    page_->setForm(std::make_unique<Form>(CString(), createFormStyle()));
    for (const char* path : {"missing.xml", "menu.xml"}) {
        ASSERT_TRUE(parser_.setDoc(CString(u"<scommand path='") + CString(path) + u"'/>"));
        parser_.findElem();
        EXPECT_EQ(buildScommand(*page_, parser_, nullptr), nullptr);
    }
    EXPECT_TRUE(hasLabel(*page_->screen(), u"Go"));
    EXPECT_EQ(page_->commandMap().at(u"Go"), CString(u"go()"));
}

}  // namespace
}  // namespace zq
