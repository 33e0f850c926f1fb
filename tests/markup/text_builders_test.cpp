#include "markup/text_builders.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/xml_parser.h"
#include "items/button_item.h"
#include "items/hyperlink_item.h"
#include "items/list_container.h"
#include "items/marquee_item.h"
#include "items/progress_bar_item.h"
#include "items/separator_item.h"
#include "items/string_item.h"
#include "markup/element_dispatch.h"
#include "markup/markup_page.h"
#include "markup/style_sheet.h"
#include "platform/device_context.h"
#include "platform/surface.h"
#include "tests/support/markup_fixture.h"
#include "ui/client_context.h"
#include "ui/container.h"
#include "ui/empty_container.h"
#include "ui/event.h"
#include "ui/form.h"
#include "ui/graphics_context.h"
#include "ui/style.h"

namespace zq {
namespace {

class RecordingHost : public PageHost {
public:
    void onEvent(std::unique_ptr<Event> event) override { actions.push_back(event->getAction()); }
    std::vector<CString> actions;
};

class SettingsHost : public PageHost {
public:
    void onEvent(std::unique_ptr<Event>) override {}
    CString getSystemValue(const CString& key) const override {
        return key == CString(u"sys-marquee") ? marqueeSetting : CString();
    }
    CString marqueeSetting;
};

class TextBuildersTest : public test::MarkupFixture<> {
protected:
    void TearDown() override { page_.reset(); }
    void build(const char* xml) { buildChildren(xml); }
};

TEST_F(TextBuildersTest, TextKeepsItsIndentAndBlankTextBuildsNothing) {
    build(
        "<zqml><text id='t1' tip='hint'>  Price  </text><tx>  \n  </tx>"
        "<text vb='FALSE'>hidden</text></zqml>");
    ASSERT_EQ(page_->controls().size(), 2u);
    auto* text = control<StringItem>(0);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->getText(), CString(u"  Price"));
    EXPECT_EQ(text->getId(), CString(u"t1"));
    EXPECT_EQ(text->getTipText(), CString(u"hint"));
    EXPECT_FALSE(control(1)->isVisible());
}

// Regression: a nested "a" closed the outer link and lost the items built before it.
TEST_F(TextBuildersTest, NestedLinksKeepEveryItemAndTheOuterLink) {
    build(
        "<zqml><a href='outer' name='o' onclick='go()'><text>one</text>"
        "<a hf='inner'>two</a><text>three</text></a><text>plain</text></zqml>");
    ASSERT_EQ(page_->controls().size(), 4u);
    const char16_t* hrefs[] = {u"outer", u"inner", u"outer"};
    const char16_t* texts[] = {u"one", u"two", u"three"};
    for (size_t i = 0; i < 3; ++i) {
        auto* link = control<HyperlinkItem>(i);
        ASSERT_NE(link, nullptr) << i;
        EXPECT_EQ(link->getHref(), CString(hrefs[i]));
        EXPECT_EQ(link->getText(), CString(texts[i]));
    }
    EXPECT_EQ(control(0)->getId(), CString(u"o"));
    EXPECT_EQ(control<HyperlinkItem>(2)->getOnClick(), CString(u"go()"));
    // The link closes with its element: the next text is plain.
    EXPECT_NE(control<StringItem>(3), nullptr);
}

// The "a" rule of the sheet and a link's class never reached the text of
// an "a" element: its links stayed white on a white page.
TEST_F(TextBuildersTest, SheetAndClassColoursReachEveryLink) {
    loadDefaultStyleSheet(u"a { fc:#0000ff; fs:underline }");
    build(
        "<zqml><style>red { fc:#ff0000 }\ngreen { fc:#00ff00 }</style>"
        "<a href='1'>own</a><a href='2' class='red'>own red</a>"
        "<a href='3'><text>child</text></a><a href='4' cl='red'><text>child red</text></a>"
        "<a href='5' class='red'><text class='green'>child green</text></a></zqml>");
    defaultStyleSheet().clear();
    const Color expected[] = {0xFF0000, 0x0000FF, 0xFF0000, 0x0000FF, 0x00FF00};
    ASSERT_EQ(page_->controls().size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        auto* link = control<HyperlinkItem>(i);
        ASSERT_NE(link, nullptr) << i;
        EXPECT_EQ(link->getStyle()->getColor(), expected[i]) << i;
        EXPECT_TRUE(link->isUnderlined()) << i;
    }
}

TEST_F(TextBuildersTest, LinkInsideAnotherBuilderComesBackAsOneItem) {
    ASSERT_TRUE(parser_.setDoc(
        CString(u"<r><a href='x'>go</a><a href='y'><text>a</text><text>b</text></a></r>")));
    parser_.findElem();
    parser_.intoElem();
    Item placeholder;
    parser_.findElem();
    Item* single = buildLink(*page_, parser_, &placeholder);
    ASSERT_NE(dynamic_cast<HyperlinkItem*>(single), nullptr);
    parser_.findElem();
    auto* row = dynamic_cast<InlineContainer*>(buildLink(*page_, parser_, &placeholder));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->size(), 2);
    // Both are kept by the page until placed.
    EXPECT_TRUE(page_->holdsControl(single));
    EXPECT_TRUE(page_->holdsControl(row));
}

TEST_F(TextBuildersTest, ListPutsLinksBeforeTextsAndNumbers) {
    build(
        "<zqml><ul type='decimal' id='l'><text>t1</text><a href='h'>link</a>"
        "<li><text>t2</text><img src='x'/></li></ul>"
        "<ul t='decimal' sn='5'><text>x</text></ul>"
        "<ul type='Square' startnumber='5'/><ul type='roman'/></zqml>");
    ASSERT_EQ(page_->controls().size(), 4u);
    auto* list = control<ListContainer>(0);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->size(), 3);
    EXPECT_NE(dynamic_cast<HyperlinkItem*>(list->getItem(0)), nullptr);
    EXPECT_EQ(list->getItem(1)->getText(), CString(u"t1"));
    EXPECT_EQ(list->getItem(2)->getText(), CString(u"t2"));
    // Without "startnumber" a decimal list counts from 1.
    EXPECT_EQ(list->markerLabel(0), CString(u"1."));
    EXPECT_EQ(control<ListContainer>(1)->markerLabel(1), CString(u"6."));
    EXPECT_EQ(control<ListContainer>(2)->getListStyleType(), ListMarker::Square);
    EXPECT_EQ(control<ListContainer>(2)->getStartNumber(), 1);
    EXPECT_EQ(control<ListContainer>(3)->getListStyleType(), ListMarker::Disc);
}

TEST_F(TextBuildersTest, BreaksAndRules) {
    ScreenMetrics metrics;
    metrics.screenWidth = 320;
    context_.setMetrics(metrics);
    build(
        "<zqml><br h='20'/><br height='12px'/><br/>"
        "<hr/><hr tk='2a'/><hr thickness='3'/></zqml>");
    ASSERT_EQ(page_->controls().size(), 6u);
    // No screen yet: the line is as wide as the screen metrics say.
    const int heights[] = {20, 14, 14};
    for (size_t i = 0; i < 3; ++i) {
        Item* spacer = control(i);
        spacer->init(1000, 1000);
        EXPECT_EQ(spacer->contentWidth(), 320) << i;
        EXPECT_EQ(spacer->contentHeight(), heights[i]) << i;
    }
    EXPECT_EQ(control<SeparatorItem>(3)->getThickness(), 1);
    EXPECT_EQ(control<SeparatorItem>(4)->getThickness(), 1);
    EXPECT_EQ(control<SeparatorItem>(5)->getThickness(), 3);
}

// Regression: a button's earlier "command" tree leaked when a later one replaced it.
TEST_F(TextBuildersTest, ButtonTakesItsActionsSizeAndLastCommandTree) {
    ScreenMetrics metrics;
    metrics.scale = 2.0f;
    context_.setMetrics(metrics);
    RecordingHost host;
    ASSERT_TRUE(page_->loadPage("<zqml/>", &host));
    build(
        "<zqml><button caption='Buy' id='b' oc='buy()' of='f()' lf='l()' vb='false'>"
        "<command><ci cp='A' a='a()'/></command>"
        "<cmd><ci cp='B' a='b()'/><ci cp='C' a='c()'/></cmd></button></zqml>");
    auto* button = control<ButtonItem>(0);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->getCaption(), CString(u"Buy"));
    EXPECT_EQ(button->getId(), CString(u"b"));
    EXPECT_EQ(button->getOnClick(), CString(u"buy()"));
    EXPECT_EQ(button->getMinWidth(), 150);
    EXPECT_EQ(button->getMinHeight(), 46);
    EXPECT_FALSE(button->isVisible());
    std::vector<CString> labels;
    for (const CommandRef& c : button->getCommands()) labels.push_back(c->getLabel());
    EXPECT_EQ(labels, (std::vector<CString>{u"B", u"C"}));
    // The command's action reaches the page's host as an event.
    button->getItemCommandListener()->commandAction(button->getCommands()[1].get(), button);
    EXPECT_EQ(host.actions, (std::vector<CString>{u"c()"}));
}

TEST_F(TextBuildersTest, ProgressBarValues) {
    build(
        "<zqml><progressbar/><progressbar mv='100' v='150' name='p'/>"
        "<progressbar maxvalue='10' value='-5'/></zqml>");
    ASSERT_EQ(page_->controls().size(), 3u);
    auto* bar = control<ProgressBarItem>(0);
    EXPECT_EQ(bar->getValue(), 60);
    EXPECT_EQ(bar->getMaxValue(), 100);
    auto* full = control<ProgressBarItem>(1);
    EXPECT_EQ(full->getValue(), 100);
    EXPECT_EQ(full->getFormName(), CString(u"p"));
    EXPECT_EQ(control<ProgressBarItem>(2)->getValue(), 0);
}

TEST_F(TextBuildersTest, BodyKeepsItsLastMarqueeUnlessTheSettingsHideThem) {
    const char* xml =
        "<zqml><body><marquee id='m1' defaultStr='one'/><mq id='m2' defaultstr='two'/>"
        "<text>x</text></body></zqml>";
    SettingsHost host;
    ASSERT_TRUE(page_->loadPage(xml, &host));
    auto* marquee = dynamic_cast<MarqueeItem*>(page_->form()->getMarquee());
    ASSERT_NE(marquee, nullptr);
    EXPECT_EQ(marquee->getTextKey(), CString(u"m2"));
    EXPECT_EQ(marquee->getText(), CString(u"two"));
    EXPECT_EQ(page_->form()->getContent()->size(), 1);  // not one of the page's controls

    host.marqueeSetting = u"HIDE";
    page_ = std::make_unique<MarkupPage>();
    ASSERT_TRUE(page_->loadPage(xml, &host));
    EXPECT_EQ(page_->form()->getMarquee(), nullptr);
}

TEST_F(TextBuildersTest, NoBreakHoldsLinksAndTextsOnOneLine) {
    build("<zqml><nobr><a href='h'><text>x</text><text>y</text></a><text>z</text></nobr></zqml>");
    ASSERT_EQ(page_->controls().size(), 1u);
    auto* row = control<InlineContainer>(0);
    ASSERT_NE(row, nullptr);
    ASSERT_EQ(row->size(), 3);
    EXPECT_NE(dynamic_cast<HyperlinkItem*>(row->getItem(1)), nullptr);
    EXPECT_NE(dynamic_cast<StringItem*>(row->getItem(2)), nullptr);
}

TEST_F(TextBuildersTest, SmallItemsPaintWhereTheyWereLaidOut) {
    build(
        "<zqml><ul type='decimal'><text>a</text><text>b</text></ul>"
        "<progressbar v='0'/><progressbar v='100'/><hr tk='2'/></zqml>");
    ASSERT_EQ(page_->controls().size(), 4u);
    Surface surface(100, 80);
    DeviceContext dc(surface);
    GraphicsContext g;
    g.init(100, 80, &dc);
    auto paintAlone = [&](Item* item) {
        dc.fillRect(Rect{0, 0, 100, 80}, 0);
        item->init(100, 100);
        item->paint(0, 0, 0, 100, g);
    };

    // The marker's glyph in the list's column.
    auto* list = control<ListContainer>(0);
    paintAlone(list);
    EXPECT_EQ(surface.getPixel(list->contentX() + 3, 5), 0xFFFFFFu);  // inside the "1" glyph

    // The bar starts after the value text ("0": 7 px, spacing 1); an empty
    // bar still shows one block, a full one is blocks and gaps.
    for (size_t i : {1, 2}) {
        Item* bar = control(i);
        paintAlone(bar);
        const int x = bar->contentX() + (i == 1 ? 8 : 22);
        const int y = bar->contentY() + 3;
        EXPECT_EQ(surface.getPixel(x, y), ProgressBarItem::kBarColor) << i;
        EXPECT_EQ(surface.getPixel(x + 7, y), ProgressBarItem::kGapColor) << i;
    }

    Item* rule = control(3);
    paintAlone(rule);
    const int y = rule->contentY();
    EXPECT_EQ(surface.getPixel(rule->contentX() + 20, y + 1), 0xFFFFFFu);
    EXPECT_EQ(surface.getPixel(rule->contentX() + 20, y + 2), 0u);
}

TEST_F(TextBuildersTest, DeepNestingBuildsWhatTheParserAccepts) {
    // 63 levels of four elements, the root and the core text: 254 deep.
    std::string xml = "<zqml>";
    for (int i = 0; i < 63; ++i) xml += "<a href='h'><text>t</text><nobr><ul><li>";
    xml += "<text>core</text>";
    for (int i = 0; i < 63; ++i) xml += "</li></ul></nobr></a>";
    xml += "</zqml>";
    build(xml.c_str());
    ASSERT_EQ(page_->controls().size(), 2u);  // the outer link's text and its nobr
    EXPECT_NE(control<HyperlinkItem>(0), nullptr);
    EXPECT_NE(control<InlineContainer>(1), nullptr);
}

}  // namespace
}  // namespace zq
