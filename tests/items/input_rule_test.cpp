#include "items/input_rule.h"

#include <gtest/gtest.h>

#include <string>

namespace zq {
namespace {

struct RuleCase {
    const char16_t* rule;
    const char16_t* value;
    int code;
    const char16_t* message;
};

class RuleTable : public ::testing::TestWithParam<RuleCase> {};

TEST_P(RuleTable, GivesCodeAndMessage) {
    const RuleCase& c = GetParam();
    const RuleResult result = checkInputRule(CString(c.rule), CString(c.value));
    EXPECT_EQ(result.code, c.code);
    if (c.code != 0) {
        EXPECT_EQ(result.message, CString(c.message));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, RuleTable,
    ::testing::Values(
        RuleCase{u"nonull(A)&num(B)", u"", 1, u"A"}, RuleCase{u"nonull(A)&num(B)", u"12a", 2, u"B"},
        RuleCase{u"nonull(A)&num(B)", u"123", 0, u""},
        // num accepts the empty value, so this '|' passes.
        RuleCase{u"nonull(A)|num(B)", u"", 0, u""},
        // Both sides fail: codes or-ed (2 | 2) and both messages.
        RuleCase{u"num(A)|num(B)", u"x", 2, u"A | B"}, RuleCase{u"nonull(A)|num(B)", u"x", 0, u""},
        // '~' never fails.
        RuleCase{u"~nonull(A)", u"", 0, u""}, RuleCase{u"~num(A)&~nonull(B)", u"", 0, u""},
        // Names in any case; calls without an argument have no message.
        RuleCase{u"NUM(Digits)", u"1x", 2, u"Digits"}, RuleCase{u"nonull", u"", 1, u""},
        RuleCase{u"nonull()", u"", 1, u""},
        // a&b|c is a & (b | c).
        RuleCase{u"nonull(A)&num(B)|nonull(C)", u"", 1, u"A"},
        RuleCase{u"nonull(A)&num(B)|nonull(C)", u"x", 0, u""},
        // Parentheses group; operators inside an argument belong to it.
        RuleCase{u"(num(A)|nonull(B))&num(C)", u"x", 2, u"C"},
        RuleCase{u"num(a&b|c)", u"x", 2, u"a&b|c"},
        // An unknown function contributes nothing.
        RuleCase{u"check(A)", u"", 0, u""}, RuleCase{u"check(A)&nonull(B)", u"", 1, u"B"},
        // '(' without ')' runs to the end: no argument, no message.
        RuleCase{u"nonull(never & closed", u"", 1, u""}, RuleCase{u"", u"", 0, u""},
        RuleCase{u"&&|~()", u"", 0, u""}, RuleCase{u"  nonull ( A )", u"", 1, u""},
        RuleCase{u"nonull(名字)", u"", 1, u"名字"}));

TEST(InputRule, ContextWithoutRootPasses) {
    InputRuleContext context(CString(u"x"));
    EXPECT_EQ(context.evaluate(), 0);
    EXPECT_TRUE(context.getMessage().isEmpty());
}

// Rules of any size parse in bounded time and memory; one that needs more
// than kMaxRuleNodes nodes counts as no rule.
TEST(InputRule, HugeRulesAreBounded) {
    EXPECT_EQ(checkInputRule(CString(std::u16string(10000, u'&')), CString()).code, 0);
    EXPECT_EQ(checkInputRule(CString(std::u16string(10000, u'(')), CString()).code, 0);

    std::u16string small = u"nonull(A)";
    for (int i = 0; i < 100; ++i) small += u"&nonull(A)";
    EXPECT_EQ(checkInputRule(CString(small), CString()).code, 1);

    std::u16string big = u"nonull(A)";
    for (int i = 0; i < 200; ++i) big += u"&nonull(A)";
    EXPECT_EQ(checkInputRule(CString(big), CString()).code, 0);
}

}  // namespace
}  // namespace zq
