#include "platform/cstring.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

namespace zq {

namespace {

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f' ||
           c == 0x3000;
}

// Clamps a (first, count) pair to the string the way mid() does; the sum is
// taken in 64 bits so huge counts cannot overflow.
void clampRange(int length, int& first, int& count) {
    if (first < 0) first = 0;
    if (count < 0) count = 0;
    if (first > length) first = length;
    if (static_cast<long long>(first) + count > length) count = length - first;
}

// Lower-case partner of letters in the scripts the client shows; any other
// unit is its own fold.
char16_t foldCase(char16_t c) {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? c + 0x20 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;        // Latin-1
    if (c >= 0x0391 && c <= 0x03A9 && c != 0x03A2) return c + 0x20;  // Greek
    if (c == 0x0386) return 0x03AC;
    if (c >= 0x0388 && c <= 0x038A) return c + 0x25;
    if (c == 0x038C) return 0x03CC;
    if (c == 0x038E || c == 0x038F) return c + 0x3F;
    if (c == 0x03C2) return 0x03C3;                   // final sigma
    if (c >= 0x0400 && c <= 0x040F) return c + 0x50;  // Cyrillic
    if (c >= 0x0410 && c <= 0x042F) return c + 0x20;
    if (c >= 0xFF21 && c <= 0xFF3A) return c + 0x20;  // full-width Latin
    return c;
}

}  // namespace

// --- construction and conversion ----------------------------------------------

FormatArg::FormatArg(const char* v) : value_(v ? utf8ToUtf16(v) : std::u16string()) {}
FormatArg::FormatArg(const CString& v) : value_(v.str()) {}

CString::CString(const char16_t* text) {
    if (text) s_ = text;
}

CString::CString(const char16_t* text, int length) {
    if (text && length > 0) s_.assign(text, static_cast<size_t>(length));
}

CString::CString(char16_t ch, int repeat) {
    if (repeat > 0) s_.assign(static_cast<size_t>(repeat), ch);
}

CString::CString(const char* utf8) {
    if (utf8) s_ = utf8ToUtf16(utf8);
}

CString CString::fromUtf8(std::string_view bytes) { return CString(utf8ToUtf16(bytes)); }

std::string CString::toUtf8() const { return utf16ToUtf8(s_); }

// --- access and search -------------------------------------------------------------

char16_t CString::at(int index) const {
    return (index >= 0 && index < length()) ? s_[static_cast<size_t>(index)] : char16_t(0);
}

void CString::setAt(int index, char16_t ch) {
    if (index >= 0 && index < length()) s_[static_cast<size_t>(index)] = ch;
}

int CString::find(char16_t ch, int start) const {
    if (start < 0) start = 0;
    if (start >= length()) return -1;
    const size_t pos = s_.find(ch, static_cast<size_t>(start));
    return pos == std::u16string::npos ? -1 : static_cast<int>(pos);
}

int CString::find(const CString& sub, int start) const {
    if (start < 0) start = 0;
    if (start > length()) return -1;
    const size_t pos = s_.find(sub.s_, static_cast<size_t>(start));
    return pos == std::u16string::npos ? -1 : static_cast<int>(pos);
}

int CString::reverseFind(char16_t ch) const {
    const size_t pos = s_.rfind(ch);
    return pos == std::u16string::npos ? -1 : static_cast<int>(pos);
}

int CString::findOneOf(const CString& chars) const {
    if (chars.isEmpty()) return -1;
    const size_t pos = s_.find_first_of(chars.s_);
    return pos == std::u16string::npos ? -1 : static_cast<int>(pos);
}

// --- pieces --------------------------------------------------------------------------

CString CString::mid(int first) const {
    if (first < 0) first = 0;
    if (first >= length()) return CString();
    return CString(s_.substr(static_cast<size_t>(first)));
}

CString CString::mid(int first, int count) const {
    clampRange(length(), first, count);
    return CString(s_.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

CString CString::left(int count) const { return mid(0, count); }

CString CString::right(int count) const {
    if (count <= 0) return CString();
    if (count >= length()) return *this;
    return CString(s_.substr(s_.size() - static_cast<size_t>(count)));
}

// --- edits -----------------------------------------------------------------------------

int CString::replace(const CString& from, const CString& to) {
    if (from.isEmpty()) return 0;
    size_t pos = s_.find(from.s_);
    if (pos == std::u16string::npos) return 0;
    std::u16string out;
    out.reserve(s_.size());
    size_t done = 0;
    int count = 0;
    while (pos != std::u16string::npos) {
        out.append(s_, done, pos - done);
        out += to.s_;
        done = pos + from.s_.size();
        ++count;
        pos = s_.find(from.s_, done);
    }
    out.append(s_, done, std::u16string::npos);
    s_ = std::move(out);
    return count;
}

int CString::replace(char16_t from, char16_t to) {
    // Replacing a unit by itself reports 0, as the handset's string did.
    if (from == to) return 0;
    int count = 0;
    for (char16_t& c : s_) {
        if (c == from) {
            c = to;
            ++count;
        }
    }
    return count;
}

int CString::remove(char16_t ch) {
    const size_t before = s_.size();
    s_.erase(std::remove(s_.begin(), s_.end(), ch), s_.end());
    return static_cast<int>(before - s_.size());
}

int CString::insert(int index, const CString& text) {
    index = std::clamp(index, 0, length());
    s_.insert(static_cast<size_t>(index), text.s_);
    return length();
}

int CString::deleteAt(int index, int count) {
    clampRange(length(), index, count);
    s_.erase(static_cast<size_t>(index), static_cast<size_t>(count));
    return length();
}

CString& CString::trim() { return trimRight().trimLeft(); }

CString& CString::trimLeft() {
    size_t i = 0;
    while (i < s_.size() && isBlank(s_[i])) ++i;
    s_.erase(0, i);
    return *this;
}

CString& CString::trimRight() {
    size_t n = s_.size();
    while (n > 0 && isBlank(s_[n - 1])) --n;
    s_.resize(n);
    return *this;
}

CString& CString::trim(char16_t ch) { return trimRight(ch).trimLeft(ch); }

CString& CString::trimLeft(char16_t ch) {
    const size_t i = s_.find_first_not_of(ch);
    s_.erase(0, i == std::u16string::npos ? s_.size() : i);
    return *this;
}

CString& CString::trimRight(char16_t ch) {
    const size_t i = s_.find_last_not_of(ch);
    s_.resize(i == std::u16string::npos ? 0 : i + 1);
    return *this;
}

CString& CString::makeUpper() {
    for (char16_t& c : s_) {
        if (c >= u'a' && c <= u'z') c -= 0x20;
    }
    return *this;
}

CString& CString::makeLower() {
    for (char16_t& c : s_) {
        if (c >= u'A' && c <= u'Z') c += 0x20;
    }
    return *this;
}

// --- comparison and numbers --------------------------------------------------------

int CString::compare(const CString& other) const {
    const int r = s_.compare(other.s_);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int CString::compareNoCase(const CString& other) const { return zq::compareNoCase(s_, other.s_); }

int compareNoCase(std::u16string_view a, std::u16string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const char16_t x = foldCase(a[i]);
        const char16_t y = foldCase(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

int CString::toInt() const {
    size_t i = 0;
    while (i < s_.size() && isBlank(s_[i])) ++i;
    bool negative = false;
    if (i < s_.size() && (s_[i] == u'+' || s_[i] == u'-')) {
        negative = s_[i] == u'-';
        ++i;
    }
    // Accumulate past the int range only as far as needed to know it saturates.
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long value = 0;
    for (; i < s_.size() && s_[i] >= u'0' && s_[i] <= u'9'; ++i) {
        value = std::min(value * 10 + (s_[i] - u'0'), limit);
    }
    return static_cast<int>(negative ? -value : value);
}

// --- formatting ------------------------------------------------------------------

namespace {

// Widths and precisions beyond this come from broken formats, not layouts.
constexpr int kMaxFieldWidth = 1024;

struct FormatSpec {
    std::string flags;  // any of "-0+ #", in the order written
    int width = 0;
    int precision = -1;
    bool wide = false;  // "ll", "I64" or "j": the value keeps 64 bits
    char16_t conversion = 0;
};

// Parses the part of a conversion after '%' starting at `i`. Returns false
// when the format ends before the conversion letter.
bool parseSpec(std::u16string_view f, size_t& i, FormatSpec& spec) {
    auto digits = [&](int& out) {
        out = 0;
        while (i < f.size() && f[i] >= u'0' && f[i] <= u'9') {
            out = std::min(out * 10 + (f[i] - u'0'), kMaxFieldWidth);
            ++i;
        }
    };
    while (i < f.size() && std::u16string_view(u"-0+ #").find(f[i]) != std::u16string_view::npos) {
        spec.flags += static_cast<char>(f[i]);
        ++i;
    }
    digits(spec.width);
    if (i < f.size() && f[i] == u'.') {
        ++i;
        digits(spec.precision);
    }
    // Length modifiers only matter for how a negative or large value wraps.
    while (i < f.size()) {
        const std::u16string_view rest = f.substr(i);
        if (rest.starts_with(u"I64") || rest.starts_with(u"ll") || rest.starts_with(u"j")) {
            spec.wide = true;
            i += rest[0] == u'I' ? 3 : (rest[0] == u'j' ? 1 : 2);
        } else if (rest.starts_with(u"I32")) {
            i += 3;
        } else if (rest[0] == u'l' || rest[0] == u'h' || rest[0] == u'L' || rest[0] == u'z' ||
                   rest[0] == u't') {
            ++i;
        } else {
            break;
        }
    }
    if (i >= f.size()) return false;
    spec.conversion = f[i++];
    return true;
}

void pad(std::u16string& out, std::u16string_view text, const FormatSpec& spec) {
    const size_t width = static_cast<size_t>(spec.width);
    const size_t fill = width > text.size() ? width - text.size() : 0;
    const bool leftAlign = spec.flags.find('-') != std::string::npos;
    if (!leftAlign) out.append(fill, u' ');
    out += text;
    if (leftAlign) out.append(fill, u' ');
}

long long doubleToLongLong(double v) {
    if (std::isnan(v)) return 0;
    if (v <= static_cast<double>(LLONG_MIN)) return LLONG_MIN;
    if (v >= static_cast<double>(LLONG_MAX)) return LLONG_MAX;
    return static_cast<long long>(v);
}

// The narrow printf format for one conversion.
std::string printfFormat(const FormatSpec& spec, const char* lengthModifier, char conversion) {
    std::string f(1, '%');
    f.append(spec.flags);
    f.append(std::to_string(spec.width));
    if (spec.precision >= 0) {
        f.push_back('.');
        f.append(std::to_string(spec.precision));
    }
    f.append(lengthModifier);
    f.push_back(conversion);
    return f;
}

// The bits of an integer argument; a floating-point one is truncated.
unsigned long long integerBits(const FormatArg::Value& arg, bool& fromSigned) {
    fromSigned = true;
    if (auto* s = std::get_if<long long>(&arg)) return static_cast<unsigned long long>(*s);
    if (auto* d = std::get_if<double>(&arg)) {
        return static_cast<unsigned long long>(doubleToLongLong(*d));
    }
    if (auto* u = std::get_if<unsigned long long>(&arg)) {
        fromSigned = false;
        return *u;
    }
    return 0;
}

// The handset's int was 32 bits: without a 64-bit length modifier, "%u" of
// -1 prints 4294967295 and "%d" of 0xFFFFFFFF prints -1.
void formatInteger(std::u16string& out, const FormatArg::Value& arg, const FormatSpec& spec) {
    const bool isSigned = spec.conversion == u'd' || spec.conversion == u'i';
    bool fromSigned = true;
    unsigned long long bits = integerBits(arg, fromSigned);
    const auto asSigned = static_cast<long long>(bits);
    if (!spec.wide) {
        if (!isSigned && fromSigned && asSigned < 0 && asSigned >= INT_MIN) {
            bits = static_cast<uint32_t>(asSigned);
        } else if (isSigned && !fromSigned && bits <= UINT32_MAX) {
            bits = static_cast<unsigned long long>(static_cast<int32_t>(bits));
        }
    }
    const std::string f = printfFormat(
        spec, "ll", static_cast<char>(spec.conversion == u'i' ? u'd' : spec.conversion));
    // Width and precision are capped, so the digits always fit.
    char buf[2 * kMaxFieldWidth + 32];
    const int n = isSigned ? std::snprintf(buf, sizeof buf, f.c_str(), static_cast<long long>(bits))
                           : std::snprintf(buf, sizeof buf, f.c_str(), bits);
    const int shown = std::min(n, static_cast<int>(sizeof buf) - 1);
    for (int k = 0; k < shown; ++k) out += static_cast<char16_t>(buf[k]);
}

void formatDouble(std::u16string& out, const FormatArg::Value& arg, const FormatSpec& spec) {
    double v = 0;
    if (auto* s = std::get_if<long long>(&arg)) v = static_cast<double>(*s);
    if (auto* u = std::get_if<unsigned long long>(&arg)) v = static_cast<double>(*u);
    if (auto* d = std::get_if<double>(&arg)) v = *d;
    const std::string f = printfFormat(spec, "", static_cast<char>(spec.conversion));
    // Large magnitudes print every integer digit, so size the buffer by asking.
    const int n = std::snprintf(nullptr, 0, f.c_str(), v);
    if (n <= 0) return;
    std::string buf(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(buf.data(), buf.size(), f.c_str(), v);
    for (int k = 0; k < n; ++k) out += static_cast<char16_t>(static_cast<unsigned char>(buf[k]));
}

void formatOne(std::u16string& out, const FormatArg::Value& arg, FormatSpec spec) {
    const auto* text = std::get_if<std::u16string>(&arg);
    switch (spec.conversion) {
        case u'c':
            if (text) {
                pad(out, std::u16string_view(*text).substr(0, 1), spec);
            } else {
                bool fromSigned;
                const auto unit = static_cast<char16_t>(integerBits(arg, fromSigned) & 0xFFFF);
                pad(out, std::u16string_view(&unit, 1), spec);
            }
            return;
        case u's':
        case u'S':
            if (text) {
                std::u16string_view t = *text;
                if (spec.precision >= 0) t = t.substr(0, static_cast<size_t>(spec.precision));
                pad(out, t, spec);
                return;
            }
            spec.precision = -1;
            spec.conversion = std::holds_alternative<double>(arg) ? u'f' : u'd';
            break;
        default:
            // A text given for a number is shown as it is.
            if (text) {
                pad(out, *text, spec);
                return;
            }
            break;
    }
    if (spec.conversion == u'f' || spec.conversion == u'F') {
        formatDouble(out, arg, spec);
    } else {
        formatInteger(out, arg, spec);
    }
}

bool isConversion(char16_t c) {
    return std::u16string_view(u"sSdiuxXcfF").find(c) != std::u16string_view::npos;
}

}  // namespace

CString CString::formatArgs(const CString& format, std::initializer_list<FormatArg> args) {
    const std::u16string_view f = format.view();
    std::u16string out;
    out.reserve(f.size() + 16 * args.size());
    auto next = args.begin();
    size_t i = 0;
    while (i < f.size()) {
        const size_t pct = f.find(u'%', i);
        if (pct == std::u16string_view::npos) {
            out += f.substr(i);
            break;
        }
        out += f.substr(i, pct - i);
        i = pct + 1;
        if (i < f.size() && f[i] == u'%') {
            out += u'%';
            ++i;
            continue;
        }
        FormatSpec spec;
        if (!parseSpec(f, i, spec) || !isConversion(spec.conversion)) {
            // Not a conversion we know: keep the text as written.
            out += f.substr(pct, i - pct);
            continue;
        }
        if (next == args.end()) continue;
        formatOne(out, next->value(), spec);
        ++next;
    }
    return CString(std::move(out));
}

}  // namespace zq
