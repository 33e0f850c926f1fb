// Parses arbitrary text (UTF-8) as an input rule and evaluates it over a few
// values: the parse must end, stay within its node budget and never crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "items/input_rule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const zq::CString rule =
        zq::CString::fromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const char16_t* value : {u"", u"123", u"x", u"名"}) {
        const zq::RuleResult result = zq::checkInputRule(rule, zq::CString(value));
        if (result.code < 0 || result.code > (zq::kRuleEmpty | zq::kRuleNotNumber)) std::abort();
    }
    return 0;
}
