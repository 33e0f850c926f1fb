#include "markup/tab_builders.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

#include "core/xml_parser.h"
#include "items/string_item.h"
#include "items/tab_item.h"
#include "items/tree.h"
#include "markup/element_dispatch.h"
#include "markup/form_submission.h"
#include "markup/markup_page.h"
#include "markup/style_sheet.h"
#include "tests/support/markup_fixture.h"
#include "ui/client_context.h"
#include "ui/container.h"
#include "ui/event.h"
#include "ui/item.h"
#include "ui/style.h"
#include "ui/tabbed_form.h"

namespace zq {
namespace {

class TabBuildersTest : public test::MarkupFixture<> {
protected:
    bool load(const std::string& xml) { return page_->loadPage(xml, &host_); }
    TabbedForm* tabbed() const { return dynamic_cast<TabbedForm*>(page_->screen()); }
    static std::string texts(const Container* page) {
        std::string out;
        if (!page) return "<none>";
        for (const auto& child : page->children()) {
            out += child->getText().toUtf8();
            out += ';';
        }
        return out;
    }
};

// Each page receives exactly the items built for it, in build order.
TEST_F(TabBuildersTest, TabBodyDistributesItemsToThePagesThatBuiltThem) {
    struct Case {
        const char* pages;
        const char* expected[4];
    };
    const Case cases[] = {
        {"<page><text>a</text><text>b</text></page><page/><page><text>c</text></page>",
         {"a;b;", "", "c;", nullptr}},
        {"<page/><page/><page><text>a</text><text>b</text><text>c</text></page>",
         {"", "", "a;b;c;", nullptr}},
        {"<page><text>a</text></page><page/><page/><page><text>b</text><text>c</text></page>",
         {"a;", "", "", "b;c;"}},
    };
    for (const Case& c : cases) {
        page_ = std::make_unique<MarkupPage>();
        ASSERT_TRUE(load(std::string("<zqml><tabbody>") + c.pages + "</tabbody></zqml>"));
        TabbedForm* form = tabbed();
        ASSERT_NE(form, nullptr) << c.pages;
        for (int i = 0; i < 4 && c.expected[i]; ++i) {
            EXPECT_EQ(texts(form->getPage(i)), c.expected[i]) << c.pages << " tab " << i;
        }
    }
}

TEST_F(TabBuildersTest, TabBodySelectionTurnPageAndMarquees) {
    ASSERT_TRUE(load(
        "<zqml><tabbody selectedpageid='SECOND' turnpage='true'>"
        "<page id='first'><a href='x'>a</a></page>"
        "<page id='second' turnpage='false'><marquee defaultStr='one'/><marquee defaultStr='two'/>"
        "<a href='x'>b</a></page>"
        "<page id='third'/></tabbody></zqml>"));
    TabbedForm* form = tabbed();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->tabCount(), 3);
    EXPECT_EQ(form->getSelectedTab(), 1);
    ASSERT_NE(form->getTabMarquee(1), nullptr);
    EXPECT_EQ(form->getTabMarquee(1)->getText().toUtf8(), "two");
    EXPECT_EQ(form->getTabMarquee(0), nullptr);

    // LEFT/RIGHT on a page with the keys switch tabs except on the page
    // that says "false".
    form->handleTabKey(0, kGameDown);
    EXPECT_FALSE(form->contentKeyPressed(0, kGameRight));
    EXPECT_EQ(form->getSelectedTab(), 1);
    form->setSelectedTab(0, false);
    form->handleTabKey(0, kGameDown);
    EXPECT_TRUE(form->contentKeyPressed(0, kGameRight));
    EXPECT_EQ(form->getSelectedTab(), 1);
}

TEST_F(TabBuildersTest, TabItemPagesByAnyNameNestedTabsAndVisibility) {
    ASSERT_TRUE(
        load("<zqml><body><tab id='outer' selectedpageid='Y' visible='FaLsE'>"
             "<x caption='one'><text>a</text>"
             "<tab id='inner'><p caption='i1'><text>deep</text></p></tab></x>"
             "<y id='y' caption='two'><text>b</text></y></tab></body></zqml>"));
    Item* found =
        page_->screen() ? page_->screen()->getContent()->getItemByName(CString(u"outer")) : nullptr;
    auto* outer = dynamic_cast<TabItem*>(found);
    ASSERT_NE(outer, nullptr);
    EXPECT_EQ(outer->tabCount(), 2);
    EXPECT_EQ(outer->getSelectedTab(), 1);
    EXPECT_FALSE(outer->isVisible());
    // The nested tab is on the first page of the outer one, with its text.
    Container* first = outer->getPage(0);
    ASSERT_EQ(first->size(), 2);
    auto* inner = dynamic_cast<TabItem*>(first->getItem(1));
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(texts(inner->getPage(0)), "deep;");
    EXPECT_EQ(texts(outer->getPage(1)), "b;");
}

TEST_F(TabBuildersTest, AFormInsideATabPageLandsOnThatPage) {
    ASSERT_TRUE(load(
        "<zqml><tabbody><page><text>a</text></page>"
        "<page><form id='f' action='http://h/x'><text>b</text><a href='x'>link</a></form></page>"
        "</tabbody></zqml>"));
    TabbedForm* form = tabbed();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(texts(form->getPage(0)), "a;");
    EXPECT_EQ(texts(form->getPage(1)), "b;link;");
    EXPECT_NE(findFormByName(*page_, CString(u"f")), nullptr);
}

TEST_F(TabBuildersTest, TabsAndTreesInsideAFormOnATabPageStayOnThatPage) {
    ASSERT_TRUE(
        load("<zqml><tabbody><page><text>a</text></page>"
             "<page><form id='f' action='http://h/x'><text>b</text>"
             "<tab id='in'><p caption='i'><text>deep</text></p></tab>"
             "<tree id='t'><ti caption='n'><ti caption='m'/></ti></tree></form></page>"
             "<page><text>c</text></page></tabbody></zqml>"));
    TabbedForm* form = tabbed();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(texts(form->getPage(0)), "a;");
    Container* second = form->getPage(1);
    ASSERT_EQ(second->size(), 3);
    auto* inner = dynamic_cast<TabItem*>(second->getItem(1));
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(texts(inner->getPage(0)), "deep;");
    EXPECT_NE(dynamic_cast<TreeContainer*>(second->getItem(2)), nullptr);
    EXPECT_EQ(texts(form->getPage(2)), "c;");
    EXPECT_TRUE(page_->controls().empty());
}

TEST_F(TabBuildersTest, TreeItemsNestAndAnyChildNameIsATopLevelItem) {
    ASSERT_TRUE(
        load("<zqml><body><tree id='t' name='Markets'>"
             "<treeitem caption='A'><ti caption='A1'><ti caption='A1a'/></ti></treeitem>"
             "<whatever caption='B'/></tree></body></zqml>"));
    auto* tree =
        dynamic_cast<TreeContainer*>(page_->screen()->getContent()->getItemByName(CString(u"t")));
    ASSERT_NE(tree, nullptr);
    ASSERT_EQ(tree->size(), 2);
    auto* outer = dynamic_cast<NodeItem*>(tree->getItem(0));
    ASSERT_NE(outer, nullptr);
    EXPECT_EQ(outer->header()->getText().toUtf8(), "A");
    EXPECT_EQ(tree->getItem(1)->getText().toUtf8(), "B");
    ASSERT_EQ(outer->children().size(), 1);
    auto* inner = dynamic_cast<NodeItem*>(outer->children().getItem(0));
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(inner->header()->getText().toUtf8(), "A1");
    EXPECT_EQ(inner->children().getItem(0)->getText().toUtf8(), "A1a");
}

// Regression: tree entries were white whatever the page said, and a field
// under a node took the entries' look and lost its frame and fill.
TEST_F(TabBuildersTest, TreeEntriesTakeThePageColourAndControlsKeepTheirLook) {
    // The shipped sheet's tree colour suits the shipped dark page only.
    loadDefaultStyleSheet(CString(u"tree { font-color:#e6edf3 }\n"));
    const std::string sheet =
        "<style>\nbody{background-color:#ffffff;font-color:#102030}\n"
        "own{font-color:#405060}\n</style>";
    const std::string entries =
        "<ti caption='A'><ti caption='A1'/><edit name='e'/></ti><ti caption='B'/>";
    ASSERT_TRUE(load("<zqml>" + sheet + "<body><tree id='t'>" + entries +
                     "</tree><tree id='u' class='own'>" + entries + "</tree></body></zqml>"));
    const Color page = 0x302010, own = 0x605040;
    for (const auto& [id, colour] : {std::pair{u"t", page}, std::pair{u"u", own}}) {
        SCOPED_TRACE(CString(id).toUtf8());
        auto* tree = dynamic_cast<TreeContainer*>(page_->screen()->getItemByName(CString(id)));
        ASSERT_NE(tree, nullptr);
        // The tree itself keeps the sheet's colour unless its class sets one.
        const bool classed = std::u16string_view(id) == u"u";
        EXPECT_EQ(tree->getStyle()->getColor(), classed ? own : Color{0xf3ede6});
        auto* node = dynamic_cast<NodeItem*>(tree->getItem(0));
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->header()->getStyle()->getColor(), colour);
        EXPECT_EQ(tree->getItem(1)->getStyle()->getColor(), colour);
        ASSERT_EQ(node->children().size(), 2);
        EXPECT_EQ(node->children().getItem(0)->getStyle()->getColor(), colour);
        // The field keeps the edit look: its frame and its fill.
        const Item* field = node->children().getItem(1);
        EXPECT_NE(field->getStyle()->border(), nullptr);
        EXPECT_NE(field->getStyle()->background(), nullptr);
    }
    // The page's own rule for trees is the page's word too.
    page_ = std::make_unique<MarkupPage>();
    ASSERT_TRUE(
        load("<zqml><style>\nbody{font-color:#102030}\ntree{font-color:#708090}\n"
             "</style><body><tree id='t'><ti caption='A'/></tree></body></zqml>"));
    auto* tree = dynamic_cast<TreeContainer*>(page_->screen()->getItemByName(CString(u"t")));
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->getItem(0)->getStyle()->getColor(), Color{0x908070});
    loadDefaultStyleSheet(CString());
}

TEST_F(TabBuildersTest, HostilePagesBuildWhatTheyCan) {
    std::string deep = "<zqml><body><tree>";
    for (int i = 0; i < 200; ++i) deep += "<ti caption='n'>";
    for (int i = 0; i < 200; ++i) deep += "</ti>";
    deep += "</tree></body></zqml>";
    ASSERT_TRUE(load(deep));
    // All 200 levels are there, and open all at once they lay out.
    auto* tree = dynamic_cast<TreeContainer*>(page_->screen()->getContent()->getItem(0));
    ASSERT_NE(tree, nullptr);
    int depth = 1;
    for (auto* node = dynamic_cast<NodeItem*>(tree->getItem(0)); node;
         node = dynamic_cast<NodeItem*>(node->children().getItem(0))) {
        node->setExpanded(true);
        ++depth;
    }
    EXPECT_EQ(depth, 200);
    tree->init(240, 240);
    EXPECT_GT(tree->itemHeight(), 199 * 10);

    // Tabs nested in tabs as deep as the parser reads: each level keeps its text.
    std::string nested = "<zqml><body>";
    for (int i = 0; i < 120; ++i)
        nested += "<tab id='t" + std::to_string(i) + "'><p><text>x</text>";
    for (int i = 0; i < 120; ++i) nested += "</p></tab>";
    nested += "</body></zqml>";
    page_ = std::make_unique<MarkupPage>();
    ASSERT_TRUE(load(nested));
    int levels = 0;
    for (auto* tab = dynamic_cast<TabItem*>(page_->screen()->getContent()->getItem(0)); tab;
         tab = dynamic_cast<TabItem*>(tab->getPage(0)->getItem(1))) {
        EXPECT_EQ(tab->getPage(0)->getItem(0)->getText().toUtf8(), "x");
        ++levels;
    }
    EXPECT_EQ(levels, 120);
    page_->screen()->getContent()->init(240, 240);

    // A "body" or "tabbody" inside a tab body never replaces the screen being filled.
    page_ = std::make_unique<MarkupPage>();
    EXPECT_TRUE(
        load("<zqml><tabbody><page><body><text>x</text></body><tabbody/></page>"
             "</tabbody></zqml>"));
    EXPECT_NE(tabbed(), nullptr);
    page_ = std::make_unique<MarkupPage>();
    EXPECT_TRUE(load("<zqml><tabbody/></zqml>"));
    EXPECT_NE(tabbed(), nullptr);
}

}  // namespace
}  // namespace zq
