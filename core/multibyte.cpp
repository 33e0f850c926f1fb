#include "core/multibyte.h"

namespace zq {

namespace {

template <class Char>
std::basic_string_view<Char> untilNul(std::basic_string_view<Char> text) {
    return text.substr(0, text.find(Char(0)));
}

}  // namespace

CString multiByteToWide(std::string_view text, int codePage) {
    return CString::fromCodePage(untilNul(text), codePage);
}

std::string wideToMultiByte(const CString& text, int codePage) {
    const std::u16string_view wide = untilNul(text.view());
    if (wide.size() == text.view().size()) return text.toCodePage(codePage);
    return CString(wide).toCodePage(codePage);
}

int findLastChar(const CString& text, char16_t ch) {
    const std::u16string_view view = untilNul(text.view());
    if (ch == 0) return static_cast<int>(view.size());
    const size_t pos = view.rfind(ch);
    return pos == std::u16string_view::npos ? -1 : static_cast<int>(pos);
}

}  // namespace zq
