// Input rules: a small boolean expression a page author writes on a text
// field ("limit"), checked before its form is sent. Calls test the field's
// value: "nonull(message)" fails with code 1 on an empty value, "num(message)"
// with code 2 on a value holding anything but '0'..'9'. '&' and '|' combine
// calls (both group from the right: a&b|c is a & (b | c)), '~' is accepted
// and never fails, parentheses group. A failing rule gives a violation code
// and the message of the call that failed.
//
// A rule is parsed anew at every check and lives only for it. The parser
// keeps its stacks local to one parse and never throws: an unknown function
// name contributes nothing, a '(' without ')' runs to the end of the text,
// an operator without enough operands is dropped, and a rule that would
// need more than kMaxRuleNodes nodes is no rule at all. Any thread; the
// nodes of one rule are used by one thread.
#pragma once

#include <memory>

#include "platform/cstring.h"

namespace zq {

class InputRuleContext;

// Violation codes; an '|' whose sides both fail gives the two or-ed.
constexpr int kRuleEmpty = 1;
constexpr int kRuleNotNumber = 2;

// A rule that needs more nodes than this is treated as no rule.
constexpr int kMaxRuleNodes = 256;

class InputRuleExpr {
public:
    virtual ~InputRuleExpr() = default;
    // 0 when the value passes, else the violation code. Operator nodes take
    // the message of the side that decided.
    virtual int evaluate() { return 0; }
    const CString& getText() const { return text_; }

protected:
    CString text_;
};

class RuleAndNode : public InputRuleExpr {
public:
    RuleAndNode(std::unique_ptr<InputRuleExpr> left, std::unique_ptr<InputRuleExpr> right)
        : left_(std::move(left)), right_(std::move(right)) {}
    // The right side runs only when the left passes.
    int evaluate() override;

private:
    std::unique_ptr<InputRuleExpr> left_;
    std::unique_ptr<InputRuleExpr> right_;
};

class RuleOrNode : public InputRuleExpr {
public:
    RuleOrNode(std::unique_ptr<InputRuleExpr> left, std::unique_ptr<InputRuleExpr> right)
        : left_(std::move(left)), right_(std::move(right)) {}
    // Fails only when both sides fail: codes or-ed, messages "left | right".
    int evaluate() override;

private:
    std::unique_ptr<InputRuleExpr> left_;
    std::unique_ptr<InputRuleExpr> right_;
};

// '~': kept in the tree, never fails.
class RuleNotNode : public InputRuleExpr {
public:
    explicit RuleNotNode(std::unique_ptr<InputRuleExpr> operand) : operand_(std::move(operand)) {}

private:
    std::unique_ptr<InputRuleExpr> operand_;
};

// A call: its text is the argument, the message shown when it fails.
class RuleLeafNode : public InputRuleExpr {
public:
    RuleLeafNode(const InputRuleContext& context, const CString& argument) : context_(context) {
        text_ = argument;
    }

protected:
    const InputRuleContext& context_;
};

class RuleNumNode : public RuleLeafNode {
public:
    using RuleLeafNode::RuleLeafNode;
    // The empty value passes.
    int evaluate() override;
};

class RuleNonullNode : public RuleLeafNode {
public:
    using RuleLeafNode::RuleLeafNode;
    int evaluate() override;
};

// The value the leaves test and the root of the rule (borrowed: the caller
// owns both root and context, and the context must outlive the root).
class InputRuleContext {
public:
    explicit InputRuleContext(CString value) : value_(std::move(value)) {}
    const CString& value() const { return value_; }
    void setRoot(InputRuleExpr* root) { root_ = root; }
    // The root's result; 0 without a root.
    int evaluate();
    // The root's message; empty without a root.
    CString getMessage() const;

private:
    CString value_;
    InputRuleExpr* root_ = nullptr;
};

// Parses `ruleText` into a tree whose leaves test `context`'s value. Null
// when the text yields no operand or needs more than kMaxRuleNodes nodes.
std::unique_ptr<InputRuleExpr> parseInputRule(const CString& ruleText,
                                              const InputRuleContext& context);

// A call token ("name" or "name(argument)") made into a leaf; null for a
// name that is not a rule function (compared without regard to case).
std::unique_ptr<InputRuleExpr> makeRuleLeaf(const CString& token, const InputRuleContext& context);

struct RuleResult {
    int code = 0;     // 0: passes (also without a rule)
    CString message;  // the failing call's argument
};

// Parses and evaluates `ruleText` over `value` in one go.
RuleResult checkInputRule(const CString& ruleText, const CString& value);

}  // namespace zq
