// Choice controls on a screen shown by the Display in a headless window,
// driven by key and pen scripts through the UI loop; the result is checked
// by the controls' values and by pixel probes (the marks themselves are
// pinned in choice_group_test.cpp).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "items/choice_group.h"
#include "items/choice_item.h"
#include "items/filtered_choice_group.h"
#include "items/inline_choice_group.h"
#include "items/switch_container.h"
#include "platform/image.h"
#include "platform/surface.h"
#include "tests/support/display_fixture.h"
#include "tests/support/test_env.h"
#include "tests/support/test_font.h"
#include "ui/background.h"
#include "ui/client_context.h"
#include "ui/default_styles.h"
#include "ui/display.h"
#include "ui/font_cache.h"
#include "ui/form.h"
#include "ui/scroll_bar.h"
#include "ui/style.h"

namespace zq {
namespace {

constexpr Color kPage = rgb(32, 48, 32);
constexpr Color kDrop = 0x505050;

class ChoiceScreenTest : public test::DisplayFixture {
protected:
    ChoiceScreenTest() {
        buildScreen();
        display_->setCurrent(form_.get(), true);
    }
    ~ChoiceScreenTest() override {
        form_.reset();
        display_.reset();
        freeTrackedStyles();
    }

    template <class Group>
    static void addRows(Group& group, std::initializer_list<const char16_t*> texts,
                        uint32_t layout = kLayoutExpand) {
        char16_t value = u'1';
        for (const char16_t* text : texts) {
            group.appendChoiceItem(std::make_unique<ChoiceItem>(text, nullptr, group.getMode(),
                                                                createChoiceItemStyle(layout)));
            group.addOptionValue(CString(value++, 1));
        }
    }

    // A page of its own colours: a radio group, a check group, an inline
    // group, a drop-down combo box and a switch between two panes.
    void buildScreen() {
        Style* page = createFormStyle();
        page->setBackground(std::make_unique<ColorBackground>(StyleValue(kPage)));
        form_ = std::make_unique<Form>(u"choices", page);
        form_->getContent()->setFocusFirst(true);

        auto side = std::make_unique<ChoiceGroup>(CString(), kChoiceExclusive, nullptr);
        addRows(*side, {u"Buy", u"Sell"});
        side->applyStyle(createChoiceGroupStyle(), false);
        side_ = side.get();
        form_->append(std::move(side));

        auto extras = std::make_unique<ChoiceGroup>(CString(), kChoiceMultiple, nullptr);
        addRows(*extras, {u"Alerts", u"News", u"SMS"});
        extras_ = extras.get();
        form_->append(std::move(extras));

        auto days = std::make_unique<InLineChoiceGroup>(u"Days", kChoiceMultiple, nullptr);
        addRows(*days, {u"Mon", u"Tue", u"Wed"}, 0);
        days->applyStyle(createChoiceGroupStyle());
        days_ = days.get();
        form_->append(std::move(days));

        Style* comboStyle = createComboBoxStyle();
        setStyleProperty(comboStyle, prop::kDropBackground,
                         Held<Background>(std::make_unique<ColorBackground>(StyleValue(kDrop))));
        auto market =
            std::make_unique<FilteredChoiceGroup>(u"Mkt", u"-", kChoiceImplicit, comboStyle);
        for (const char16_t* name : {u"SH", u"SZ", u"HK"}) {
            market->appendOption(std::make_unique<ChoiceItem>(name, nullptr, kChoiceImplicit,
                                                              createComboOptionStyle()),
                                 name);
        }
        market_ = market.get();

        auto pane = [](const char16_t* id) {
            auto box = std::make_unique<FilteredChoiceGroup>(id, u"-", kChoiceExclusive,
                                                             createComboBoxStyle());
            box->setId(id);
            box->appendOption(std::make_unique<ChoiceItem>(u"x", nullptr, kChoiceExclusive,
                                                           createComboOptionStyle()),
                              u"x");
            box->setVisible(false);
            return box;
        };
        auto switcher = std::make_unique<SwitchContainer>();
        market->setChangeListener(switcher.get());
        market->setOnChange(u"changecbo()");
        switcher->setPanes(std::move(market), pane(u"SZ"), pane(u"HK"), nullptr);
        switch_ = switcher.get();
        form_->append(std::move(switcher));
    }

    std::unique_ptr<Form> form_;
    ChoiceGroup* side_ = nullptr;
    ChoiceGroup* extras_ = nullptr;
    InLineChoiceGroup* days_ = nullptr;
    FilteredChoiceGroup* market_ = nullptr;
    SwitchContainer* switch_ = nullptr;
};

TEST_F(ChoiceScreenTest, DropDownChoiceSwitchesThePane) {
    EXPECT_EQ(switch_->getCurrentPane(), nullptr);  // "-" names no pane
    // The digit 2 chooses "Sell" and the focus goes with it; FIRE on "Alerts"
    // and on "Tue" of the inline group.
    run("wait 0\nkey 50\nkey down\nkey enter\nkey down\nkey down\nkey down\nkey right\n"
        "key enter\n");
    EXPECT_EQ(side_->getValue(), CString(u"2"));
    EXPECT_EQ(extras_->getValue(), CString(u"1"));
    EXPECT_EQ(days_->getValue(), CString(u"2,"));
    // Down to the combo box.
    run("key down\nkey enter\n");
    ASSERT_TRUE(market_->isListOpen());
    const int dropTop = market_->getLastPaintY() + market_->dropDownY();
    EXPECT_EQ(pixel(200, dropTop + 4), kDrop);  // the list over the page below
    run("key down\nkey down\nkey enter\n");
    EXPECT_FALSE(market_->isListOpen());
    EXPECT_EQ(market_->getValue(), CString(u"HK"));
    ASSERT_NE(switch_->getCurrentPane(), nullptr);
    EXPECT_EQ(switch_->getCurrentPane()->getId(), CString(u"HK"));
    EXPECT_TRUE(switch_->getCurrentPane()->isVisible());
    EXPECT_EQ(pixel(200, dropTop + 4) == kDrop, false);  // closed

    // A tap on the box opens it again; a tap on "SZ" chooses it.
    const int boxY = market_->getLastPaintY() + 3;
    run("tap 120 " + std::to_string(boxY) + "\n");
    ASSERT_TRUE(market_->isListOpen());
    ChoiceGroup* list = market_->getListGroup();
    const Item* sz = list->getItem(1);
    const int szY = sz->getLastPaintY() + 3;
    run("tap 60 " + std::to_string(szY) + "\n");
    EXPECT_EQ(market_->getValue(), CString(u"SZ"));
    EXPECT_EQ(switch_->getCurrentPane()->getId(), CString(u"SZ"));
    EXPECT_FALSE(switch_->getItem(2)->isVisible());
}

// Regression: the focus came back into an exclusive group on its edge row
// (here the last one, from below), not on the chosen one.
TEST_F(ChoiceScreenTest, FocusEntersAnExclusiveGroupOnItsChosenRow) {
    run("wait 0\nkey 49\nkey down\nkey down\n");
    ASSERT_EQ(side_->getValue(), CString(u"1"));
    ASSERT_TRUE(extras_->isFocused());
    run("key up\n");
    EXPECT_EQ(side_->getFocusedItem(), side_->getItem(0));
    // A choice made while the focus is elsewhere is where it comes back.
    run("key down\nkey down\n");
    side_->setSelectedIndex(1, true);
    run("key up\n");
    EXPECT_EQ(side_->getFocusedItem(), side_->getItem(1));
}

// Regression: the list screen's menu, once closed, stayed drawn in the
// screen's margins (nothing painted them).
TEST_F(ChoiceScreenTest, TheListScreenPaintsItsMarginsAfterTheMenuCloses) {
    auto colours =
        std::make_unique<FilteredChoiceGroup>(u"Col", u"-", kChoiceMultiple, createComboBoxStyle());
    for (const char16_t* name : {u"Red", u"Blue"}) {
        colours->appendOption(
            std::make_unique<ChoiceItem>(name, nullptr, kChoiceMultiple, createComboOptionStyle()),
            name);
    }
    FilteredChoiceGroup* box = colours.get();
    form_->append(std::move(colours));
    run("wait 0\n");
    box->showListScreen(*display_);
    run("wait 0\n");
    ASSERT_TRUE(display_->isCurrent(box->getListForm()));
    const Color before = pixel(3, 280);
    run("key soft1\n");
    ASSERT_TRUE(box->getListForm()->isPopupMenuOpen());
    EXPECT_NE(pixel(3, 280), before);  // the menu reaches into the margin
    run("key soft2\n");
    EXPECT_EQ(pixel(3, 280), before);
}

}  // namespace
}  // namespace zq
