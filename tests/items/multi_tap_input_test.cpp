#include "items/multi_tap_input.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/clock.h"

namespace zq {
namespace {

TEST(MultiTapInputTest, ModesCycleAndTheSentenceRuleCapitalises) {
    MultiTapInput input;
    input.setConstraints(kConstraintAny);
    input.setMode(kModeLower);
    std::vector<std::string> names;
    for (int i = 0; i < 5; ++i) {
        input.stepMode();
        input.settleCapital();
        names.push_back(input.modeName().toUtf8());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Abc", "ABC", "123", "Nat.", "abc"}));
    input.committed(u'.');
    EXPECT_EQ(input.modeName(), CString(u"Abc"));
    input.stepMode();  // drops the capital, stays in "abc"
    EXPECT_EQ(input.mode(), kModeLower);
    EXPECT_FALSE(input.isCapitalNext());
    input.setMode(kModeCapital);
    input.committed(u'x');
    EXPECT_EQ(input.mode(), kModeLower);
}

TEST(MultiTapInputTest, TapsStepOverWhatTheEmailFilterRefuses) {
    MultiTapInput input;
    input.setConstraints(kConstraintEmail);
    const CString& keys = input.keysFor('1');
    char16_t ch = 0;
    input.startTap('1');
    ASSERT_TRUE(input.tapChar(keys, 0, CString(), &ch));
    EXPECT_EQ(ch, u'-');  // no '.' at an address's start
    input.setPending(ch);
    EXPECT_TRUE(input.isRetap('1'));
    EXPECT_FALSE(input.isRetap('2'));
    input.nextTap(keys.length());
    ASSERT_TRUE(input.tapChar(keys, 0, CString(), &ch));
    EXPECT_EQ(ch, u'_');
    input.setMode(kModeUpper);
    input.startTap('2');
    ASSERT_TRUE(input.tapChar(input.keysFor('2'), 0, CString(), &ch));
    EXPECT_EQ(ch, u'A');
}

TEST(MultiTapInputTest, HeldClearStepsOncePerThreeRepeatsAndCommitWaitsASecond) {
    uint32_t now = 1000;
    ScopedTickSource clock{[&] { return now; }};
    MultiTapInput input;
    input.keyDown();
    std::vector<MultiTapInput::ClearStep> steps;
    for (int i = 0; i < 9; ++i) {
        input.clearRepeated();
        if (i == 5) input.clearRepeated();  // two repeats before one step
        steps.push_back(input.takeClearStep());
    }
    using Step = MultiTapInput::ClearStep;
    EXPECT_EQ(steps, (std::vector<Step>{Step::None, Step::None, Step::Word, Step::None, Step::None,
                                        Step::Word, Step::None, Step::All, Step::None}));
    input.keyUp();
    input.setPending(u'a');
    input.noteKeyTime();
    EXPECT_FALSE(input.isCommitDue(now + 999));
    EXPECT_TRUE(input.isCommitDue(now + 1000));
    input.keyDown();
    EXPECT_FALSE(input.isCommitDue(now + 1000));
}

}  // namespace
}  // namespace zq
