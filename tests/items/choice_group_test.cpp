// Choice rows, block choice groups and inline choice groups: marks by pixel
// probes, selection rules, values, keys, taps and commands.
#include "items/choice_group.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "items/choice_item.h"
#include "items/inline_choice_group.h"
#include "platform/device_context.h"
#include "platform/surface.h"
#include "tests/support/event_log.h"
#include "tests/support/pixel_probe.h"
#include "tests/support/test_font.h"
#include "ui/default_styles.h"
#include "ui/event.h"
#include "ui/font_cache.h"
#include "ui/graphics_context.h"
#include "ui/listeners.h"
#include "ui/style.h"

namespace zq {
namespace {

constexpr int kKeyEnter = 13;
constexpr Color kBack = 0x123456;
constexpr Color kText = 0x00FF00;

using EventLog = test::EventLog;

// A style with the text colour and no spacing: marks and text at exact places.
Style* bareStyle() {
    Style* s = allocTracked();
    s->color = kText;
    return s;
}

class ChoiceTest : public ::testing::Test {
protected:
    ChoiceTest() { releaseSharedFonts(); }
    ~ChoiceTest() override {
        freeTrackedStyles();
        releaseSharedFonts();
    }

    // A group of rows "A".."D" with values "a".."d".
    template <class Group>
    void fill(Group& group, int rows = 4) {
        for (int i = 0; i < rows; ++i) {
            const char16_t text[] = {char16_t(u'A' + i), 0};
            const char16_t value[] = {char16_t(u'a' + i), 0};
            group.appendChoiceItem(
                std::make_unique<ChoiceItem>(text, nullptr, group.getMode(), bareStyle()));
            group.addOptionValue(value);
        }
    }

    test::ScopedFixedFont fixed_;
    EventLog log_;
};

// --- marks ------------------------------------------------------------------------------

class MarkPaint : public ChoiceTest {
protected:
    Surface surface_{40, 20};
    DeviceContext dc_{surface_};
    GraphicsContext g_;

    void paint(ChoiceItem& row) {
        g_.init(40, 20, &dc_);
        dc_.fillRect(surface_.bounds(), kBack);
        row.init(40, 40);
        row.paint(0, 0, 0, 40, g_);
    }
    Color at(int x, int y) const { return surface_.getPixel(x, y); }
};

// The 14 px font puts the 12 px mark one pixel down: top = 1.
TEST_F(MarkPaint, RadioDiscAndDotCoverTheirRuns) {
    constexpr Color kDisc = ChoiceItem::kDiscColor;
    constexpr Color kDot = ChoiceItem::kDotColor;
    constexpr Color kRim = ChoiceItem::kOutlineColor;
    ChoiceItem row(u"A", nullptr, kChoiceExclusive, bareStyle());
    paint(row);
    ASSERT_EQ(row.markWidth(), 12);
    EXPECT_EQ(row.contentWidth(), 12 + 7);
    // The disc's first run (top+2, x 3..7) and its widest (top+5, x 1..9),
    // its rim in the outline colour round the disc colour; nothing above
    // (top+1) or below (top+11); no dot while unselected; the text right of
    // the mark, a glyph box from x 13.
    const test::Probe unselected[] = {
        {2, 3, kBack}, {3, 3, kRim},  {7, 3, kRim},   {8, 3, kBack},  {0, 6, kBack}, {1, 6, kRim},
        {2, 6, kDisc}, {8, 6, kDisc}, {9, 6, kRim},   {10, 6, kBack}, {5, 2, kBack}, {5, 12, kBack},
        {5, 11, kRim}, {5, 7, kDisc}, {12, 5, kBack}, {13, 5, kText}};
    test::expectPixels(surface_, unselected);

    row.setSelected(true);
    paint(row);
    // The dot: x 4..6 at top+4, 3..7 at top+6; the disc alone at top+9.
    const test::Probe selected[] = {{3, 5, kDisc}, {4, 5, kDot}, {6, 5, kDot},  {7, 5, kDisc},
                                    {3, 7, kDot},  {7, 7, kDot}, {8, 7, kDisc}, {5, 10, kDisc}};
    test::expectPixels(surface_, selected);
}

TEST_F(MarkPaint, CheckBoxOutlineFillAndMark) {
    constexpr Color kOutline = ChoiceItem::kOutlineColor;
    constexpr Color kFill = ChoiceItem::kCheckFill;
    constexpr Color kWhite = 0xFFFFFF;
    ChoiceItem row(u"A", nullptr, kChoiceMultiple, bareStyle());
    paint(row);
    // The outline from (x+1, top+1) to its last pixel at (11, 12).
    const test::Probe outline[] = {{0, 2, kBack},   {1, 2, kOutline}, {11, 12, kOutline},
                                   {12, 12, kBack}, {11, 13, kBack},  {6, 7, kWhite}};
    test::expectPixels(surface_, outline);

    row.setSelected(true);
    paint(row);
    // The fill from (x+4, top+4) to (x+8, top+8).
    const test::Probe checked[] = {{4, 5, kFill}, {8, 9, kFill}, {9, 10, kWhite}, {3, 4, kWhite}};
    test::expectPixels(surface_, checked);
}

TEST_F(MarkPaint, StyleColoursTheRadioAndImplicitRowsHaveNoMark) {
    Style* style = bareStyle();
    setStyleProperty(style, prop::kDiscColor, int32_t{0x0000FF});
    setStyleProperty(style, prop::kDotColor, int32_t{0x00FFFF});
    ChoiceItem row(u"A", nullptr, kChoiceExclusive, style);
    row.setSelected(true);
    paint(row);
    EXPECT_EQ(at(2, 6), 0x0000FFu);
    EXPECT_EQ(at(5, 7), 0x00FFFFu);
    EXPECT_EQ(at(1, 6), ChoiceItem::kOutlineColor);  // the rim keeps its colour

    ChoiceItem plain(u"A", nullptr, kChoiceImplicit, bareStyle());
    plain.setSelected(true);
    paint(plain);
    EXPECT_EQ(plain.markWidth(), 0);
    EXPECT_EQ(at(5, 7), kText);  // the text where a mark would be
}

// A row's font moves its mark and text: an 8 px line is padded to 12.
TEST_F(MarkPaint, ShortLineIsPaddedAndSetFontChangesMarkAndText) {
    ChoiceGroup group(CString(), kChoiceExclusive, nullptr);
    fill(group, 1);
    group.setFont(0, getFont(8));
    ChoiceItem& row = *group.getChoiceItem(0);
    EXPECT_EQ(group.getFont(0), getFont(8));
    EXPECT_EQ(row.getFont(), getFont(8));
    paint(row);
    EXPECT_EQ(row.markTopOffset(), 4);
    EXPECT_EQ(row.contentHeight(), 12);
    EXPECT_EQ(row.contentWidth(), 12 + 4);
    // top = (8 - 12) / 2 = -2: the disc's widest run at y 3, the text 4 lower.
    EXPECT_EQ(at(1, 3), ChoiceItem::kOutlineColor);
    EXPECT_EQ(at(1, 2), ChoiceItem::kOutlineColor);
    EXPECT_EQ(at(2, 3), ChoiceItem::kDiscColor);
    EXPECT_EQ(at(13, 5), kText);
    EXPECT_EQ(at(13, 4), kBack);
    EXPECT_EQ(group.getFont(7), nullptr);
}

// --- selection and values -------------------------------------------------------------------

TEST_F(ChoiceTest, ExclusiveGroupKeepsOneSelectionAndSubmitsItsValue) {
    ChoiceGroup group(CString(), kChoiceExclusive, nullptr);
    fill(group);
    group.setFormName(u"side");
    EXPECT_EQ(group.getName(), CString(u"side"));
    EXPECT_EQ(group.getValue(), CString());
    EXPECT_EQ(group.getSelectedIndex(), -1);

    group.setSelectedIndex(2, true);
    group.setChangeListener(&log_);
    group.setOnChange(u"changed()");
    group.setSelectedIndex(1, true);
    ASSERT_EQ(log_.events.size(), 1u);
    EXPECT_EQ(log_.events[0]->getAction(), CString(u"changed()"));
    EXPECT_EQ(log_.events[0]->getSource(), &group);
    group.setChangeListener(nullptr);
    EXPECT_EQ(group.getSelectedIndex(), 1);
    EXPECT_FALSE(group.isSelected(2));
    EXPECT_EQ(group.getValue(), CString(u"b"));

    group.setSelectedIndex(1, false);  // the selected row unselected: none
    EXPECT_EQ(group.getSelectedIndex(), -1);
    EXPECT_EQ(group.getValue(), CString());

    group.setSelectedFlags({0, 0, 0, 0});  // all zero: row 0
    EXPECT_EQ(group.getSelectedIndex(), 0);

    group.setValue(u"C");  // compared without case
    EXPECT_EQ(group.getSelectedIndex(), 2);
    group.setValue(u"zz");  // no match keeps the selection
    EXPECT_EQ(group.getSelectedIndex(), 2);

    // Out of range is ignored everywhere.
    group.setSelectedIndex(9, true);
    group.setSelectedIndex(-1, true);
    EXPECT_EQ(group.getSelectedIndex(), 2);
    EXPECT_FALSE(group.isSelected(9));
    EXPECT_EQ(group.getString(9), CString());
    EXPECT_EQ(group.getString(1), CString(u"B"));
    EXPECT_EQ(group.getImage(-1), nullptr);

    group.reset();
    EXPECT_EQ(group.getSelectedIndex(), -1);
    EXPECT_EQ(group.getValue(), CString());
}

TEST_F(ChoiceTest, MultipleGroupJoinsValuesWithoutTrailingComma) {
    ChoiceGroup group(CString(), kChoiceMultiple, nullptr);
    fill(group);
    EXPECT_EQ(group.getSelectedIndex(), -1);
    group.setSelectedIndex(0, true);
    group.setSelectedIndex(2, true);
    EXPECT_EQ(group.getValue(), CString(u"a,c"));
    std::vector<int> flags(2);  // room for two rows only
    EXPECT_EQ(group.getSelectedFlags(flags), 1);
    EXPECT_EQ(flags, (std::vector<int>{1, 0}));

    group.setValue(u"B,d");
    EXPECT_EQ(group.getValue(), CString(u"b,d"));

    // Regression: an empty part (a trailing comma) selected rows without a value.
    group.append(u"E", nullptr);  // no value: submits ""
    group.setValue(u"a,");
    EXPECT_EQ(group.getValue(), CString(u"a"));
    EXPECT_FALSE(group.isSelected(4));

    group.setAllSelected(true);
    EXPECT_EQ(group.getValue(), CString(u"a,b,c,d,"));
    group.reset();
    EXPECT_EQ(group.getValue(), CString());
}

// Rows and values move together; the selection follows its row.
TEST_F(ChoiceTest, DeleteAndInsertKeepSelectionAndValuesAligned) {
    ChoiceGroup group(CString(), kChoiceExclusive, nullptr);
    fill(group);
    group.setSelectedIndex(2, true);  // "C"
    group.deleteAt(0);
    EXPECT_EQ(group.getSelectedIndex(), 1);
    EXPECT_EQ(group.getValue(), CString(u"c"));
    group.insert(0, u"Z", nullptr);
    EXPECT_EQ(group.getSelectedIndex(), 2);
    EXPECT_EQ(group.getValue(), CString(u"c"));
    EXPECT_EQ(group.getValues()[0], CString());  // the new row has no value yet
    group.insertChoiceItem(1, std::make_unique<ChoiceItem>(u"Y", nullptr, 1, bareStyle()));
    group.insertOptionValue(1, u"y");  // the pair of the builders
    EXPECT_EQ(group.getSelectedIndex(), 3);
    EXPECT_EQ(group.getValue(), CString(u"c"));
    group.deleteAt(1);
    group.deleteAt(2);  // the selected row
    EXPECT_EQ(group.getSelectedIndex(), -1);
    group.deleteAt(7);
    EXPECT_EQ(group.size(), 3);
    group.setSelectedIndex(2, true);
    EXPECT_EQ(group.getString(2), CString(u"D"));
    EXPECT_EQ(group.getValue(), CString(u"d"));
    group.deleteAll();
    EXPECT_EQ(group.size(), 0);
    EXPECT_EQ(group.getSelectedIndex(), -1);
    EXPECT_EQ(group.getValue(), CString());
}

// --- keys, taps, commands -----------------------------------------------------------------------

class ChoiceInputTest : public ChoiceTest {
protected:
    template <class Group>
    void layOutAndFocus(Group& group) {
        group.init(200, 200);
        group.focus(nullptr, kGameDown);
    }
};

TEST_F(ChoiceInputTest, FireAndDigitsChooseRows) {
    ChoiceGroup group(CString(), kChoiceExclusive, nullptr);
    fill(group);
    layOutAndFocus(group);
    ASSERT_EQ(group.getFocusedIndex(), 0);

    EXPECT_TRUE(group.keyPressed(kKeyEnter, kGameFire));
    EXPECT_TRUE(group.keyReleased(kKeyEnter, kGameFire));
    EXPECT_EQ(group.getSelectedIndex(), 0);

    EXPECT_TRUE(group.keyPressed('3', kGameNone));
    EXPECT_EQ(group.getSelectedIndex(), 2);
    EXPECT_EQ(group.getFocusedIndex(), 2);  // the focus follows the choice
    EXPECT_FALSE(group.keyPressed('0', kGameNone));
    EXPECT_FALSE(group.keyPressed('5', kGameNone));  // no fifth row
    EXPECT_EQ(group.getSelectedIndex(), 2);

    // '5' never fires; a release without a press only ends the key.
    EXPECT_TRUE(group.keyReleased(kKeyEnter, kGameFire));
    EXPECT_EQ(group.getSelectedIndex(), 2);
}

TEST_F(ChoiceInputTest, FireTurnsAMultipleRowOverAndTapsChooseRows) {
    ChoiceGroup group(CString(), kChoiceMultiple, nullptr);
    fill(group);
    group.setChangeListener(&log_);
    group.setOnChange(u"ch()");
    layOutAndFocus(group);
    group.keyPressed(kKeyEnter, kGameFire);
    group.keyReleased(kKeyEnter, kGameFire);
    EXPECT_TRUE(group.isSelected(0));
    group.keyPressed(kKeyEnter, kGameFire);
    group.keyReleased(kKeyEnter, kGameFire);
    EXPECT_FALSE(group.isSelected(0));
    EXPECT_EQ(log_.events.size(), 2u);

    // A tap on the third row focuses and chooses it.
    Item* third = group.getItem(2);
    const int x = group.contentX() + third->relativeX() + 3;
    const int y = group.contentY() + third->relativeY() + 3;
    EXPECT_TRUE(group.pointerPressed(x, y));
    EXPECT_TRUE(group.pointerReleased(x, y));
    EXPECT_EQ(group.getFocusedIndex(), 2);
    EXPECT_TRUE(group.isSelected(2));
    EXPECT_EQ(group.getValue(), CString(u"c"));
}

TEST_F(ChoiceInputTest, SharedCommandsAreKnownByIdentityNotLabel) {
    ChoiceGroup group(CString(), kChoiceExclusive, nullptr);
    fill(group);
    group.applyStyle(createChoiceGroupStyle(), false);
    layOutAndFocus(group);
    ASSERT_EQ(group.getCommands().size(), 1u);
    EXPECT_EQ(group.getCommands()[0], sharedSelectCommand());

    // A page command labelled like the select command is not the group's.
    Command lookalike(CString(u"确定选择"), 8, 3);
    EXPECT_FALSE(group.handleCommand(&lookalike));
    EXPECT_EQ(group.getSelectedIndex(), -1);

    EXPECT_TRUE(group.handleCommand(sharedSelectCommand().get()));
    EXPECT_EQ(group.getSelectedIndex(), 0);
    EXPECT_TRUE(group.handleCommand(sharedUnmarkCommand().get()));
    EXPECT_EQ(group.getSelectedIndex(), -1);

    ChoiceGroup multi(CString(), kChoiceMultiple, nullptr);
    fill(multi);
    EXPECT_TRUE(multi.handleCommand(sharedSelectAllCommand().get()));
    EXPECT_EQ(multi.getValue(), CString(u"a,b,c,d"));
    EXPECT_TRUE(multi.handleCommand(sharedClearAllCommand().get()));
    EXPECT_EQ(multi.getValue(), CString());
}

// Regression: the group's own command came back through its listener chain
// and recursed without end when no row had the focus.
TEST_F(ChoiceInputTest, OwnCommandWithoutFocusedRowEnds) {
    ChoiceGroup group(CString(), kChoiceExclusive, nullptr);
    fill(group);
    group.applyStyle(createChoiceGroupStyle(), false);
    group.handleCommand(sharedSelectCommand().get());
    EXPECT_EQ(group.getSelectedIndex(), -1);
}

TEST_F(ChoiceInputTest, ImplicitListFiringOnSelectFollowsTheFocus) {
    auto rows = ChoiceGroup::buildChoiceItems({u"A", u"B", u"C"}, {}, kChoiceImplicit, bareStyle());
    ChoiceGroup group(CString(), kChoiceImplicit, std::move(rows), nullptr, true);
    for (const char16_t* value : {u"a", u"b", u"c"}) group.addOptionValue(value);
    group.init(200, 200);  // the pending focus takes row 0
    EXPECT_EQ(group.getSelectedIndex(), 0);
    EXPECT_EQ(group.getValue(), CString(u"a"));
    group.focusIndex(1);
    EXPECT_EQ(group.getSelectedIndex(), 1);
    EXPECT_EQ(group.getValue(), CString(u"b"));
    // The select command travels on to the screen's listener.
    EXPECT_FALSE(group.handleCommand(sharedSelectCommand().get()));
    EXPECT_TRUE(group.isSelected(1));
}

// --- inline groups
// ------------------------------------------------------------------------------------

TEST_F(ChoiceTest, InlineGroupCountsRowsAndIgnoresBadIndexes) {
    InLineChoiceGroup group(CString(), kChoiceExclusive, nullptr);
    fill(group, 3);
    EXPECT_EQ(group.size(), 3);
    EXPECT_EQ(group.getString(5), CString());
    EXPECT_FALSE(group.isSelected(-2));
    group.set(7, u"x", nullptr);
    group.setFont(-1, getFont(8));
    EXPECT_EQ(group.getFont(3), nullptr);
    group.setSelectedIndex(3, true);
    EXPECT_EQ(group.getSelectedIndex(), -1);

    // The flag walk stops at the shorter of flags and rows.
    group.setSelectedIndex(1, true);
    std::vector<int> flags(5, 7);
    EXPECT_EQ(group.getSelectedFlags(flags), 1);
    EXPECT_EQ(flags, (std::vector<int>{0, 1, 0, 7, 7}));
}

TEST_F(ChoiceTest, InlineExclusiveKeepsItsChoiceThroughUnmarkAndReset) {
    InLineChoiceGroup group(CString(), kChoiceExclusive, nullptr);
    fill(group, 3);
    group.setChangeListener(&log_);
    group.setOnChange(u"ch()");
    group.setSelectedIndex(1, true);
    group.setSelectedIndex(1, true);  // the same row: no second event
    ASSERT_EQ(log_.events.size(), 1u);
    EXPECT_EQ(log_.events[0]->getSource(), &group);
    group.setSelectedIndex(1, false);
    group.reset();
    EXPECT_EQ(group.getSelectedIndex(), 1);
    EXPECT_EQ(group.getValue(), CString(u"b"));

    group.init(200, 200);
    group.focus(nullptr, kGameDown);
    EXPECT_EQ(group.getFocusedItem(), group.getItem(1));  // entered on the choice
    EXPECT_TRUE(group.handleCommand(inlineUnmarkCommand().get()));
    EXPECT_EQ(group.getSelectedIndex(), 1);
    group.keyPressed(37, kGameLeft);  // LEFT to the first row
    EXPECT_TRUE(group.handleCommand(inlineMarkCommand().get()));
    EXPECT_EQ(group.getSelectedIndex(), 0);  // the focused row
}

TEST_F(ChoiceTest, InlineMultipleKeepsTheTrailingCommaAndResetClears) {
    InLineChoiceGroup group(CString(), kChoiceMultiple, nullptr);
    fill(group);
    group.setValue(u"a,c,");
    EXPECT_EQ(group.getValue(), CString(u"a,c,"));
    group.setChangeListener(&log_);
    group.setOnChange(u"ch()");
    group.setSelectedFlags({0, 1});
    ASSERT_EQ(log_.events.size(), 1u);
    EXPECT_EQ(log_.events[0]->getSource(), nullptr);
    EXPECT_EQ(group.getValue(), CString(u"b,c,"));  // rows past the flags keep theirs
    group.reset();
    EXPECT_EQ(group.getValue(), CString());
}

TEST_F(ChoiceTest, InlineDeleteMovesTheSelectionLikeTheBlockGroup) {
    InLineChoiceGroup group(CString(), kChoiceExclusive, nullptr);
    fill(group);
    group.init(200, 200);
    group.focus(nullptr, kGameDown);
    group.setSelectedIndex(2, true);
    group.deleteAt(0);
    EXPECT_EQ(group.getSelectedIndex(), 1);
    EXPECT_EQ(group.getValue(), CString(u"c"));
    group.deleteAt(1);
    EXPECT_EQ(group.getSelectedIndex(), -1);
    group.deleteAt(0);  // the focused row
    EXPECT_EQ(group.size(), 1);
    EXPECT_EQ(group.getString(0), CString(u"D"));
    group.setSelectedIndex(0, true);
    EXPECT_EQ(group.getValue(), CString(u"d"));
}

}  // namespace
}  // namespace zq
