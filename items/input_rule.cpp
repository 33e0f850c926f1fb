#include "items/input_rule.h"

#include <utility>
#include <vector>

namespace zq {

namespace {

// Precedence of an operator on the stack and of one arriving.
int stackPrecedence(char16_t op) {
    switch (op) {
        case u'&':
        case u'|':
            return 1;
        case u'~':
            return 3;
        case u'(':
            return 0;
        default:
            return -1;
    }
}

int incomingPrecedence(char16_t op) {
    switch (op) {
        case u'&':
        case u'|':
            return 2;
        case u'~':
            return 3;
        case u'(':
            return 4;
        default:
            return -1;
    }
}

// Names are ASCII letters and digits.
bool isNameChar(char16_t ch) {
    return (ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z') || (ch >= u'0' && ch <= u'9');
}

// One parse: the operand and operator stacks and the node budget.
class RuleParser {
public:
    explicit RuleParser(const InputRuleContext& context) : context_(context) {}

    std::unique_ptr<InputRuleExpr> parse(const CString& text);

private:
    void pushLeaf(const CString& token) {
        std::unique_ptr<InputRuleExpr> leaf = makeRuleLeaf(token, context_);
        if (!leaf) return;
        ++nodes_;
        operands_.push_back(std::move(leaf));
    }
    std::unique_ptr<InputRuleExpr> popOperand() {
        std::unique_ptr<InputRuleExpr> top = std::move(operands_.back());
        operands_.pop_back();
        return top;
    }
    void apply(char16_t op);
    void arrive(char16_t op);
    void close();

    const InputRuleContext& context_;
    std::vector<std::unique_ptr<InputRuleExpr>> operands_;
    std::vector<char16_t> operators_;
    int nodes_ = 0;
};

void RuleParser::apply(char16_t op) {
    if (op == u'&' || op == u'|') {
        if (operands_.size() < 2) return;
        std::unique_ptr<InputRuleExpr> right = popOperand();
        std::unique_ptr<InputRuleExpr> left = popOperand();
        if (op == u'&') {
            operands_.push_back(std::make_unique<RuleAndNode>(std::move(left), std::move(right)));
        } else {
            operands_.push_back(std::make_unique<RuleOrNode>(std::move(left), std::move(right)));
        }
        ++nodes_;
    } else if (op == u'~') {
        if (operands_.empty()) return;
        operands_.push_back(std::make_unique<RuleNotNode>(popOperand()));
        ++nodes_;
    }
}

// One top operator at most gives way to an arriving one.
void RuleParser::arrive(char16_t op) {
    if (!operators_.empty() && stackPrecedence(operators_.back()) >= incomingPrecedence(op)) {
        const char16_t top = operators_.back();
        operators_.pop_back();
        apply(top);
    }
    operators_.push_back(op);
}

void RuleParser::close() {
    while (!operators_.empty()) {
        const char16_t top = operators_.back();
        operators_.pop_back();
        if (top == u'(') return;
        apply(top);
    }
}

std::unique_ptr<InputRuleExpr> RuleParser::parse(const CString& text) {
    const int length = text.length();
    int nameStart = -1;
    for (int i = 0; i < length && nodes_ <= kMaxRuleNodes; ++i) {
        const char16_t ch = text[i];
        // 1. Letters and digits open or extend a name.
        if (isNameChar(ch)) {
            if (nameStart < 0) nameStart = i;
            continue;
        }
        // 2. Anything else closes an open name; '(' makes it a call whose
        // argument runs to the next ')' (or the end of the text).
        if (nameStart >= 0) {
            if (ch == u'(') {
                int end = text.find(u')', i);
                if (end < 0) end = length - 1;
                pushLeaf(text.mid(nameStart, end - nameStart + 1));
                nameStart = -1;
                i = end;
                continue;
            }
            pushLeaf(text.mid(nameStart, i - nameStart));
            nameStart = -1;
        }
        // 3. Operators; blanks and other characters are skipped.
        if (ch == u'&' || ch == u'|' || ch == u'~' || ch == u'(') {
            arrive(ch);
        } else if (ch == u')') {
            close();
        }
    }
    // 4. The last name, then every operator left, top first.
    if (nameStart >= 0) pushLeaf(text.mid(nameStart));
    while (!operators_.empty() && nodes_ <= kMaxRuleNodes) {
        const char16_t top = operators_.back();
        operators_.pop_back();
        apply(top);
    }
    if (nodes_ > kMaxRuleNodes || operands_.empty()) return nullptr;
    return popOperand();
}

// The text between the first '(' and the first ')' behind it.
CString callArgument(const CString& token) {
    const int open = token.find(u'(');
    if (open < 0) return CString();
    const int close = token.find(u')', open + 1);
    if (close < 0 || close == open + 1) return CString();
    return token.mid(open + 1, close - open - 1);
}

}  // namespace

int RuleAndNode::evaluate() {
    int result = left_->evaluate();
    text_ = left_->getText();
    if (result == 0) {
        result = right_->evaluate();
        text_ = right_->getText();
    }
    return result;
}

int RuleOrNode::evaluate() {
    const int left = left_->evaluate();
    text_ = left_->getText();
    if (left == 0) return 0;
    const int right = right_->evaluate();
    if (right == 0) return 0;
    text_ = text_ + CString(u" | ") + right_->getText();
    return left | right;
}

int RuleNumNode::evaluate() {
    for (char16_t ch : context_.value().view()) {
        if (ch < u'0' || ch > u'9') return kRuleNotNumber;
    }
    return 0;
}

int RuleNonullNode::evaluate() { return context_.value().isEmpty() ? kRuleEmpty : 0; }

int InputRuleContext::evaluate() { return root_ ? root_->evaluate() : 0; }

CString InputRuleContext::getMessage() const { return root_ ? root_->getText() : CString(); }

std::unique_ptr<InputRuleExpr> makeRuleLeaf(const CString& token, const InputRuleContext& context) {
    const int open = token.find(u'(');
    const CString name = open < 0 ? token : token.left(open);
    if (name.equalsNoCase(CString(u"nonull"))) {
        return std::make_unique<RuleNonullNode>(context, callArgument(token));
    }
    if (name.equalsNoCase(CString(u"num"))) {
        return std::make_unique<RuleNumNode>(context, callArgument(token));
    }
    return nullptr;
}

std::unique_ptr<InputRuleExpr> parseInputRule(const CString& ruleText,
                                              const InputRuleContext& context) {
    if (ruleText.isEmpty()) return nullptr;
    return RuleParser(context).parse(ruleText);
}

RuleResult checkInputRule(const CString& ruleText, const CString& value) {
    InputRuleContext context(value);
    std::unique_ptr<InputRuleExpr> root = parseInputRule(ruleText, context);
    if (!root) return {};
    context.setRoot(root.get());
    RuleResult result;
    result.code = context.evaluate();
    result.message = context.getMessage();
    return result;
}

}  // namespace zq
