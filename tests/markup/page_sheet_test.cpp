// A page's own style element reaching the controls of that page.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "markup/markup_page.h"
#include "markup/style_properties.h"
#include "markup/style_sheet.h"
#include "tests/support/markup_fixture.h"
#include "ui/child_list.h"
#include "ui/container.h"
#include "ui/default_styles.h"
#include "ui/form.h"
#include "ui/item.h"
#include "ui/style.h"

namespace zq {
namespace {

class QuietHost : public PageHost {
public:
    void onEvent(std::unique_ptr<Event>) override {}
    CString getSystemValue(const CString&) const override { return CString(); }
};

Color colour(const char* text) {
    Color c = 0;
    EXPECT_TRUE(readStyleColor(CString(text), c));
    return c;
}

class PageSheetTest : public test::MarkupFixture<QuietHost> {
protected:
    void SetUp() override { loadDefaultStyleSheet(CString()); }
    void TearDown() override {
        page_.reset();
        defaultStyleSheet().clear();
    }

    // The text colour of each control of the page, in page order.
    std::vector<Color> colours(const std::string& xml) {
        std::vector<Color> out;
        loadPage(xml);
        const Form* form = page_->form();
        if (!form || !form->getContent()) return out;
        for (const auto& item : form->getContent()->children()) {
            out.push_back(item->getStyle() ? item->getStyle()->getColor() : 0xDEADBEEF);
        }
        return out;
    }
};

// Regression: rules named after an element kind styled nothing (only class
// rules did), and a style element inside the body lost its rules.
TEST_F(PageSheetTest, KindRulesOfThePageStyleEveryControlOfTheKind) {
    const std::string sheet =
        "<style>\n"
        "edit{font-color:#ff0000}\n"
        "button{font-color:#00ff00}\n"
        "choicegroup{font-color:#0000ff}\n"
        "own{font-color:#123456}\n"
        "</style>\n";
    const std::string controls =
        "<edit name='e'/>\n<button caption='B'/>\n"
        "<choicegroup name='g'><option caption='a' value='a'/></choicegroup>\n"
        "<edit name='f' class='own'/>\n";
    const std::vector<Color> expected = {colour("#ff0000"), colour("#00ff00"), colour("#0000ff"),
                                         colour("#123456")};
    for (const std::string& page : {"<zqml>" + sheet + "<body>" + controls + "</body></zqml>",
                                    "<zqml><body>" + sheet + controls + "</body></zqml>",
                                    "<zqml><body>" + controls + sheet + "</body></zqml>"}) {
        SCOPED_TRACE(page);
        const std::vector<Color> got = colours(page);
        if (page.find("</style>\n</body>") != std::string::npos) {
            // Rules written after the controls come too late for them.
            EXPECT_EQ(got.size(), expected.size());
            continue;
        }
        EXPECT_EQ(got, expected);
    }
}

// Regression: labels and captions were painted in the default label colour
// (white) whatever the page said, and vanished on a light page.
TEST_F(PageSheetTest, LabelsTakeThePageColourAndCaptionsTheirGroups) {
    loadPage(
        "<zqml><style>\nbody{background-color:#ffffff;font-color:#102030}\n"
        "choicegroup{font-color:#405060}\nown{font-color:#708090}\n</style><body>\n"
        "<edit label='Name' name='e'/>\n"
        "<choicegroup caption='Side' name='g'><option caption='a' value='a'/></choicegroup>\n"
        "<singlelinechoicegroup caption='Kind' name='k' class='own'>"
        "<option caption='b' value='b'/></singlelinechoicegroup>\n"
        "<combobox caption='Acct' name='c'><option caption='c' value='c'/></combobox>\n"
        "</body></zqml>");
    const Form* form = page_->form();
    ASSERT_NE(form, nullptr);
    std::vector<Color> labels;
    for (const auto& item : form->getContent()->children()) {
        const Item* label = item->getLabelItem();
        ASSERT_NE(label, nullptr);
        labels.push_back(label->getStyle()->getColor());
    }
    EXPECT_EQ(labels, (std::vector<Color>{colour("#102030"), colour("#405060"), colour("#708090"),
                                          colour("#102030")}));
    EXPECT_NE(defaultLabelStyle()->getColor(), colour("#102030"));  // left alone

    // The body's class is the page's too.
    loadPage(
        "<zqml><style>\nlight{font-color:#203040}\n</style><body class='light'>"
        "<edit label='Name' name='e'/></body></zqml>");
    ASSERT_NE(page_->form(), nullptr);
    const Item& field = *page_->form()->getContent()->children().front();
    ASSERT_NE(field.getLabelItem(), nullptr);
    EXPECT_EQ(field.getLabelItem()->getStyle()->getColor(), colour("#203040"));
}

// Regression: the default sheet's near-white for groups and rows, meant for
// its own dark body, won over a light page's text colour.
TEST_F(PageSheetTest, ChoiceCaptionsAndRowsTakeThePageColourOverTheDefaultSheet) {
    loadDefaultStyleSheet(CString(u"choicegroup{font-color:#e6edf3}\nradio{font-color:#e6edf3}\n"));
    loadPage(
        "<zqml><style>\nbody{background-color:#ffffff;font-color:#102030}\n"
        "own{font-color:#708090}\n</style><body>\n"
        "<choicegroup caption='Side' name='g'><option caption='a' value='a'/>"
        "<option caption='b' value='b' class='own'/></choicegroup>\n"
        "<singlelinechoicegroup caption='Kind' name='k' class='own'>"
        "<option caption='c' value='c'/></singlelinechoicegroup>\n"
        "</body></zqml>");
    ASSERT_NE(page_->form(), nullptr);
    const auto& items = page_->form()->getContent()->children();
    ASSERT_EQ(items.size(), 2u);
    const auto* group = dynamic_cast<const ChildList*>(items[0].get());
    const auto* inline_ = dynamic_cast<const ChildList*>(items[1].get());
    ASSERT_TRUE(group && inline_);
    EXPECT_EQ(group->getLabelItem()->getStyle()->getColor(), colour("#102030"));
    EXPECT_EQ(group->getItem(0)->getStyle()->getColor(), colour("#102030"));
    EXPECT_EQ(group->getItem(1)->getStyle()->getColor(), colour("#708090"));  // its class
    EXPECT_EQ(inline_->getLabelItem()->getStyle()->getColor(), colour("#708090"));
    EXPECT_EQ(inline_->getItem(0)->getStyle()->getColor(), colour("#102030"));

    // Without a page colour the default sheet's stays.
    loadPage(
        "<zqml><body><choicegroup caption='Side' name='g'><option caption='a' value='a'/>"
        "</choicegroup></body></zqml>");
    ASSERT_NE(page_->form(), nullptr);
    const auto* plain =
        dynamic_cast<const ChildList*>(page_->form()->getContent()->children()[0].get());
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->getItem(0)->getStyle()->getColor(), colour("#e6edf3"));
}

// Regression: a large table font held only until the table took the focus:
// its focused style kept the base size, and the focused rows shrank.
TEST_F(PageSheetTest, ATableKeepsItsFontSizeWhenFocused) {
    loadPage(
        "<zqml><style>\nbig{font-size:large}\n</style><body>"
        "<table class='big'><th><td>a</td></th><tr><td>1</td></tr></table>"
        "<table><th><td>a</td></th><tr><td>1</td></tr></table></body></zqml>");
    ASSERT_NE(page_->form(), nullptr);
    std::vector<int> heights;
    for (const auto& table : page_->form()->getContent()->children()) {
        const size_t i = heights.size();
        ASSERT_TRUE(table->getStyle() && table->getStyle()->font);
        const int height = table->getStyle()->font->height();
        table->focus(nullptr, kGameDown);
        ASSERT_TRUE(table->getStyle() && table->getStyle()->font);
        EXPECT_EQ(table->getStyle()->font->height(), height) << i;
        heights.push_back(height);
    }
    ASSERT_EQ(heights.size(), 2u);
    EXPECT_GT(heights[0], heights[1]);
}

}  // namespace
}  // namespace zq
