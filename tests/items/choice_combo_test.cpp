// The combo box in its three modes and the switch container: keys, pen,
// the list screen and the drop-down, values and resets.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "items/choice_group.h"
#include "items/choice_item.h"
#include "items/filtered_choice_group.h"
#include "items/switch_container.h"
#include "platform/device_context.h"
#include "platform/surface.h"
#include "tests/support/event_log.h"
#include "tests/support/pixel_probe.h"
#include "tests/support/test_font.h"
#include "ui/client_context.h"
#include "ui/default_styles.h"
#include "ui/display.h"
#include "ui/event.h"
#include "ui/font_cache.h"
#include "ui/form.h"
#include "ui/graphics_context.h"
#include "ui/listeners.h"
#include "ui/scroll_bar.h"
#include "ui/style.h"

namespace zq {
namespace {

constexpr int kKeyEnter = 13;
constexpr int kKeyLeft = 37;
constexpr int kKeyRight = 39;
constexpr int kKeyDown = 40;

using EventLog = test::EventLog;

Style* bareStyle() { return allocTracked(); }

class ComboTest : public ::testing::Test {
protected:
    ComboTest() { releaseSharedFonts(); }
    ~ComboTest() override {
        freeTrackedStyles();
        releaseSharedFonts();
    }

    static std::unique_ptr<FilteredChoiceGroup> makeCombo(int mode, Style* style, int options = 3,
                                                          const CString& label = CString()) {
        auto box = std::make_unique<FilteredChoiceGroup>(label, u"请选择", mode, style);
        for (int i = 0; i < options; ++i) {
            const char16_t text[] = {char16_t(u'A' + i), 0};
            const char16_t value[] = {char16_t(u'a' + i), 0};
            box->appendOption(std::make_unique<ChoiceItem>(text, nullptr, mode, bareStyle()),
                              value);
        }
        return box;
    }
    void fire(Item& item) {
        item.keyPressed(kKeyEnter, kGameFire);
        item.keyReleased(kKeyEnter, kGameFire);
    }

    test::ScopedFixedFont fixed_;
    EventLog log_;
};

TEST_F(ComboTest, CyclingStepsWithoutWrappingAndRaisesOnlyRealChanges) {
    auto box = makeCombo(kChoiceExclusive, bareStyle());
    box->setChangeListener(&log_);
    box->setOnChange(u"changecbo()");
    EXPECT_EQ(box->getText(), CString(u"请选择"));
    EXPECT_EQ(box->getValue(), CString());

    EXPECT_FALSE(box->keyPressed(kKeyLeft, kGameLeft) && box->getSelectedOption() >= 0);
    EXPECT_EQ(box->getSelectedOption(), -1);  // LEFT from nothing changes nothing
    EXPECT_TRUE(box->keyPressed(kKeyRight, kGameRight));
    EXPECT_EQ(box->getText(), CString(u"A"));
    box->keyPressed(kKeyRight, kGameRight);
    box->keyPressed(kKeyRight, kGameRight);
    box->keyPressed(kKeyRight, kGameRight);  // at the last: stays
    EXPECT_EQ(box->getSelectedOption(), 2);
    EXPECT_EQ(box->getValue(), CString(u"c"));
    EXPECT_EQ(log_.events.size(), 3u);
    EXPECT_EQ(log_.events[0]->getAction(), CString(u"changecbo()"));
    EXPECT_EQ(log_.events[0]->getSource(), box.get());

    box->selectOption(3);  // the option shown already: no event
    box->selectOption(0);
    box->selectOption(4);
    EXPECT_EQ(log_.events.size(), 3u);
    EXPECT_EQ(box->getSelectedOption(), 2);

    // FIRE and digits are not the cycling box's.
    EXPECT_FALSE(box->keyPressed(kKeyEnter, kGameFire));
    EXPECT_FALSE(box->keyPressed('1', kGameNone));
    EXPECT_FALSE(box->isPressed());
}

// Text "请选择" (21 px) and the 13 px button: the text up to 21, backward
// 22..28, forward 29..33; 34 is right of the box.
TEST_F(ComboTest, PenReleaseOnTheArrowsSteps) {
    auto box = makeCombo(kChoiceExclusive, bareStyle());
    box->init(200, 200);
    ASSERT_EQ(box->itemWidth(), 34);
    struct Case {
        int x;
        int expected;
    };
    const Case cases[] = {{30, 0}, {33, 1}, {34, 1}, {29, 2}, {28, 1}, {22, 0}, {21, 0}, {5, 0}};
    for (const Case& c : cases) {
        box->pointerPressed(c.x, 3);
        box->pointerReleased(c.x, 3);
        EXPECT_EQ(box->getSelectedOption(), c.expected) << "x " << c.x;
    }
    FilteredChoiceGroup empty(CString(), u"-", kChoiceExclusive, bareStyle());
    empty.init(200, 200);
    EXPECT_FALSE(empty.pointerReleased(30, 3));
}

TEST_F(ComboTest, CyclingArrowsArePainted) {
    auto box = makeCombo(kChoiceExclusive, bareStyle());
    box->init(200, 200);
    Surface surface(40, 20);
    DeviceContext dc(surface);
    GraphicsContext g;
    g.init(40, 20, &dc);
    dc.fillRect(surface.bounds(), 0);
    box->paint(0, 0, 0, 40, g);
    // Content 14 high: arrows 9 rows from y 2. Left arrow 22..26 (tip at
    // 22), right arrow 29..33 (tip at 33).
    constexpr Color kArrow = 0xFFFFFF;
    const test::Probe arrows[] = {{26, 2, kArrow}, {26, 10, kArrow}, {26, 11, 0},
                                  {22, 6, kArrow}, {22, 5, 0},       {29, 2, kArrow},
                                  {33, 6, kArrow}, {34, 6, 0}};
    test::expectPixels(surface, arrows);
}

TEST_F(ComboTest, MultipleTextEndsEachChoiceWithTheSeparatorAndResetClears) {
    auto box = makeCombo(kChoiceMultiple, bareStyle());
    box->getOption(0)->setSelected(true);
    box->getOption(2)->setSelected(true);
    box->commitSelection();
    EXPECT_EQ(box->getText(), CString(u"A;C;"));
    // Regression: only the first ticked value was sent.
    EXPECT_EQ(box->getValue(), CString(u"a,c"));

    box->setValue(u"typed");  // only the text
    EXPECT_EQ(box->getText(), CString(u"typed"));
    EXPECT_EQ(box->getValue(), CString(u"a,c"));

    // An empty value keeps its place, as a multiple group sends it.
    auto empty =
        std::make_unique<FilteredChoiceGroup>(CString(), u"请选择", kChoiceMultiple, bareStyle());
    empty->appendOption(std::make_unique<ChoiceItem>(u"E", nullptr, kChoiceMultiple, bareStyle()),
                        CString());
    empty->appendOption(std::make_unique<ChoiceItem>(u"X", nullptr, kChoiceMultiple, bareStyle()),
                        u"x");
    empty->getOption(0)->setSelected(true);
    empty->getOption(1)->setSelected(true);
    EXPECT_EQ(empty->getValue(), CString(u",x"));

    box->reset();
    EXPECT_EQ(box->getText(), CString(u"请选择"));
    EXPECT_EQ(box->getValue(), CString());  // the flags went too
    EXPECT_EQ(box->getSelectedOption(), -1);
    EXPECT_EQ(box->getOptionText(7), CString());
    EXPECT_EQ(box->getOptionValue(-1), CString());
}

TEST_F(ComboTest, DropDownOpensChoosesByKeysAndIsBuiltOnlyForNewOptions) {
    auto box = makeCombo(kChoiceImplicit, createComboBoxStyle());
    box->setChangeListener(&log_);
    box->setOnChange(u"save()");
    box->selectOption(1);
    log_.events.clear();
    box->init(200, 200);
    Surface surface(200, 200);
    DeviceContext dc(surface);
    GraphicsContext g;
    g.init(200, 200, &dc);
    auto paint = [&] {
        dc.fillRect(surface.bounds(), 0);
        box->paint(0, 0, 0, 200, g);
    };

    fire(*box);
    ASSERT_TRUE(box->isListOpen());
    ChoiceGroup* list = box->getListGroup();
    ASSERT_NE(list, nullptr);
    // Laid out as it opens: the paint only draws it.
    ASSERT_TRUE(box->getDropDown()->isInitialised());
    EXPECT_EQ(box->getDropDown()->itemWidth(), box->itemWidth());
    paint();
    EXPECT_EQ(list->getFocusedIndex(), 0);  // the current choice
    // The drop-down lies under the box, in the style's background.
    EXPECT_EQ(box->dropDownY(), box->itemHeight());
    EXPECT_EQ(surface.getPixel(150, box->itemHeight() + 6), 0x707070u);

    box->keyPressed(kKeyDown, kGameDown);
    EXPECT_EQ(list->getFocusedIndex(), 1);
    fire(*box);
    EXPECT_FALSE(box->isListOpen());
    EXPECT_EQ(box->getText(), CString(u"B"));
    EXPECT_EQ(box->getValue(), CString(u"b"));
    ASSERT_EQ(log_.events.size(), 1u);

    box->selectOption(3);
    fire(*box);  // open again: the same list, on the current choice
    EXPECT_EQ(box->getListGroup(), list);
    paint();
    EXPECT_EQ(list->getFocusedIndex(), 2);
    box->defocus(nullptr);
    EXPECT_FALSE(box->isListOpen());
    box->appendOption(std::make_unique<ChoiceItem>(u"D", nullptr, kChoiceImplicit, bareStyle()),
                      u"d");
    fire(*box);
    ASSERT_NE(box->getListGroup(), nullptr);
    EXPECT_EQ(box->getListGroup()->size(), 4);
    EXPECT_EQ(box->getOptionCount(), 4);
    paint();
}

// The list style shares the box style's border and background: freeing
// both styles must free each object once (checked under the sanitizer).
TEST_F(ComboTest, DropDownStyleSharesTheBorderAndBackground) {
    auto box = makeCombo(kChoiceImplicit, createComboBoxStyle());
    box->init(200, 200);
    fire(*box);
    ASSERT_NE(box->getDropDown(), nullptr);
    Style* boxStyle = box->getStyle();
    ASSERT_NE(boxStyle, nullptr);
    EXPECT_EQ(box->getDropDown()->getBackground(),
              boxStyle->getBackgroundProperty(prop::kDropBackground));
    EXPECT_EQ(box->getDropDown()->getBorder(), boxStyle->getBorderProperty(prop::kDropBorder));
    box.reset();
    freeTrackedStyles();
}

class ComboScreenTest : public ComboTest {
protected:
    ClientContext context_;
    ComboScreenTest() {
        Screen::initMetrics({240, 320});
        context_.setDisplayArea(Rect::fromSize(0, 0, 240, 320));
        display_ = std::make_unique<Display>(Size{240, 320});
        page_ = std::make_unique<Form>(u"page");
        box_ = makeCombo(kChoiceMultiple, createComboBoxStyle(), 3, u"Pick").release();
        page_->append(std::unique_ptr<Item>(box_));
        display_->setCurrent(page_.get(), true);
    }
    ~ComboScreenTest() override {
        page_.reset();
        display_.reset();
    }

    std::unique_ptr<Display> display_;
    std::unique_ptr<Form> page_;
    FilteredChoiceGroup* box_ = nullptr;
};

TEST_F(ComboScreenTest, ListScreenKeepsTheChoiceOnOkOnly) {
    fire(*box_);
    Form* list = box_->getListForm();
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(display_->isCurrent(list));
    ChoiceGroup* group = box_->getListGroup();
    ASSERT_NE(group, nullptr);
    EXPECT_TRUE(group->isMultiple());
    group->setSelectedIndex(0, true);
    group->setSelectedIndex(1, true);

    box_->commandAction(sharedOkCommand().get(), list);
    EXPECT_TRUE(display_->isCurrent(page_.get()));
    EXPECT_NE(page_->getPreviousDisplayable(), list);
    EXPECT_EQ(box_->getText(), CString(u"A;B;"));
    EXPECT_EQ(box_->getValue(), CString(u"a,b"));

    // Back leaves the shown text and puts the ticks back (a regression: the
    // box showed "A;B;" and sent the value of B); the list is not built again.
    const CString sent = box_->getValue();
    fire(*box_);
    EXPECT_EQ(box_->getListGroup(), group);
    group->setSelectedIndex(2, true);
    group->setSelectedIndex(0, false);
    box_->commandAction(sharedBackCommand().get(), list);
    EXPECT_EQ(box_->getText(), CString(u"A;B;"));
    EXPECT_EQ(box_->getValue(), sent);
    EXPECT_TRUE(group->isSelected(0));
    EXPECT_FALSE(group->isSelected(2));
}

// Regression: freeing a combo box whose list screen was shown left the
// Display without its page.
TEST_F(ComboScreenTest, FreeingTheBoxWhileItsListIsShownReturnsToThePage) {
    fire(*box_);
    ASSERT_TRUE(display_->isCurrent(box_->getListForm()));
    page_->getContent()->remove(0);
    box_ = nullptr;
    EXPECT_TRUE(display_->isCurrent(page_.get()));
}

// --- the switch container -----------------------------------------------------------------------

class SwitchTest : public ComboTest {
protected:
    std::unique_ptr<FilteredChoiceGroup> pane(const char16_t* id) {
        auto box = makeCombo(kChoiceImplicit, bareStyle(), 2);
        box->setId(id);
        box->setVisible(false);
        return box;
    }
};

TEST_F(SwitchTest, ShowsThePaneTheSelectorNamesAndResetsTheOneItLeaves) {
    auto selector =
        std::make_unique<FilteredChoiceGroup>(u"运营商", u"请选择", kChoiceImplicit, bareStyle());
    for (const char16_t* carrier : {u"CM", u"CT", u"UNI"}) {
        selector->appendOption(
            std::make_unique<ChoiceItem>(carrier, nullptr, kChoiceImplicit, bareStyle()), carrier);
    }
    selector->setId(u"uni");  // the selector's own id never counts
    selector->selectOption(1);
    FilteredChoiceGroup* sel = selector.get();
    SwitchContainer box;
    sel->setChangeListener(&box);
    sel->setOnChange(u"changecbo()");
    box.setPanes(std::move(selector), pane(u"cm"), pane(u"CT"), nullptr);
    ASSERT_EQ(box.size(), 3);
    Item* cm = box.getItem(1);
    auto* ct = static_cast<FilteredChoiceGroup*>(box.getItem(2));
    EXPECT_EQ(box.getCurrentPane(), cm);  // names compare without case
    EXPECT_TRUE(cm->isVisible());
    EXPECT_FALSE(ct->isVisible());

    sel->setOptionSelected(1, true);  // "CT": the event switches
    EXPECT_EQ(box.getCurrentPane(), ct);
    EXPECT_FALSE(cm->isVisible());
    EXPECT_TRUE(ct->isVisible());

    ct->selectOption(2);
    EXPECT_FALSE(box.update() && ct->getValue().isEmpty() == false);  // the same pane: reset
    EXPECT_EQ(ct->getValue(), CString());
    EXPECT_TRUE(ct->isVisible());

    sel->setOptionSelected(2, true);  // "UNI": no pane; the selector stays
    EXPECT_EQ(box.getCurrentPane(), ct);
    EXPECT_TRUE(ct->isVisible());
    EXPECT_TRUE(sel->isVisible());
    EXPECT_EQ(sel->getText(), CString(u"UNI"));

    SwitchContainer empty;
    EXPECT_FALSE(empty.update());
    empty.setPanes(nullptr, pane(u"a"), nullptr, nullptr);  // no selector
    EXPECT_FALSE(empty.update());
}

}  // namespace
}  // namespace zq
