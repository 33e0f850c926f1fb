// CString: the UTF-16 text value used for all text inside the client.
//
// Narrow text exists only at the file and wire boundaries; it enters and
// leaves through fromUtf8/toUtf8 and fromCodePage/toCodePage. Positions and
// lengths count UTF-16 code units. Index arguments out of range are clamped
// the forgiving way the handset's string class did (mid/left/right never
// fail), so callers may pass computed positions without checks.
//
// A CString is a plain value: copy it freely, share it between threads only
// as copies. All members are safe to call on an empty string.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace zq {

// Code pages understood at the boundaries. 0 is the system's default code
// page, which is GBK on this client.
enum CodePage : int {
    kCodePageDefault = 0,
    kCodePageGbk = 936,
    kCodePageBig5 = 950,
    kCodePageUtf8 = 65001,
};

class CString;

// One argument of CString::format. Integers, floating point, characters and
// texts (CString, UTF-16 or UTF-8 C strings) are accepted.
class FormatArg {
public:
    FormatArg(int v) : value_(static_cast<long long>(v)) {}
    FormatArg(unsigned v) : value_(static_cast<unsigned long long>(v)) {}
    FormatArg(long v) : value_(static_cast<long long>(v)) {}
    FormatArg(unsigned long v) : value_(static_cast<unsigned long long>(v)) {}
    FormatArg(long long v) : value_(v) {}
    FormatArg(unsigned long long v) : value_(v) {}
    FormatArg(double v) : value_(v) {}
    FormatArg(char16_t v) : value_(static_cast<long long>(v)) {}
    FormatArg(const char16_t* v) : value_(v ? std::u16string(v) : std::u16string()) {}
    FormatArg(const char* v);
    FormatArg(const CString& v);

    using Value = std::variant<long long, unsigned long long, double, std::u16string>;
    const Value& value() const { return value_; }

private:
    Value value_;
};

int compareNoCase(std::u16string_view a, std::u16string_view b);

class CString {
public:
    CString() = default;
    CString(const char16_t* text);
    CString(const char16_t* text, int length);
    CString(std::u16string text) : s_(std::move(text)) {}
    CString(std::u16string_view text) : s_(text) {}
    CString(char16_t ch, int repeat = 1);
    // UTF-8 text (source literals are UTF-8); invalid bytes become U+FFFD.
    CString(const char* utf8);

    // --- conversions at the boundaries -----------------------------------
    // Invalid or truncated sequences become U+FFFD; never reads past `bytes`.
    static CString fromUtf8(std::string_view bytes);
    std::string toUtf8() const;
    // Code pages 0 and 936 (GBK), 950 (Big5) and 65001 (UTF-8). Bytes that do
    // not decode become U+FFFD; characters the page lacks become '?'. An
    // unknown code page is treated as the default (GBK).
    static CString fromCodePage(std::string_view bytes, int codePage);
    std::string toCodePage(int codePage) const;

    // --- access -------------------------------------------------------------
    int length() const { return static_cast<int>(s_.size()); }
    bool isEmpty() const { return s_.empty(); }
    void clear() { s_.clear(); }
    // The unit at `index`, or 0 when out of range.
    char16_t at(int index) const;
    char16_t operator[](int index) const { return at(index); }
    // Out-of-range writes are ignored.
    void setAt(int index, char16_t ch);
    const char16_t* c_str() const { return s_.c_str(); }
    const std::u16string& str() const { return s_; }
    std::u16string_view view() const { return s_; }

    // --- search ------------------------------------------------------------
    // Positions, or -1 when absent. A negative start counts as 0.
    int find(char16_t ch, int start = 0) const;
    int find(const CString& sub, int start = 0) const;
    int reverseFind(char16_t ch) const;
    int findOneOf(const CString& chars) const;

    // --- pieces ------------------------------------------------------------
    CString mid(int first) const;
    CString mid(int first, int count) const;
    CString left(int count) const;
    CString right(int count) const;

    // --- edits (return *this or a count, like the handset's string) ---------
    int replace(const CString& from, const CString& to);  // number replaced
    int replace(char16_t from, char16_t to);              // 0 when from == to
    int remove(char16_t ch);                              // number removed
    int insert(int index, const CString& text);           // new length
    int deleteAt(int index, int count = 1);               // new length
    CString& trim();  // blanks: space, tab, CR, LF, VT, FF and U+3000
    CString& trimLeft();
    CString& trimRight();
    CString& trim(char16_t ch);
    CString& trimLeft(char16_t ch);
    CString& trimRight(char16_t ch);
    CString& makeUpper();  // ASCII letters only
    CString& makeLower();  // ASCII letters only
    CString upper() const { return CString(*this).makeUpper(); }
    CString lower() const { return CString(*this).makeLower(); }

    // --- comparison -----------------------------------------------------------
    // Ordinal comparison of code units: <0, 0, >0.
    int compare(const CString& other) const;
    // Case-insensitive comparison (see compareNoCase below).
    int compareNoCase(const CString& other) const;
    bool equalsNoCase(const CString& other) const { return equalsNoCase(other.view()); }
    // Without a temporary: style and tag names are matched against literals.
    bool equalsNoCase(const char16_t* other) const {
        return equalsNoCase(other ? std::u16string_view(other) : std::u16string_view());
    }
    // Case folding keeps lengths, so a length mismatch decides at once.
    bool equalsNoCase(std::u16string_view other) const {
        return s_.size() == other.size() && zq::compareNoCase(s_, other) == 0;
    }

    // Leading blanks, optional sign, decimal digits; saturates at the int
    // range; 0 when there are no digits.
    int toInt() const;

    // printf-style formatting: %s, %d, %i, %u, %x, %X, %c, %f, %%, with flags
    // '-', '0', '+', ' ', a width and a precision ("%03u", "%.2f", "%-8s").
    // Length modifiers (h, l, ll, I64) are accepted; without a 64-bit one an
    // integer converts like the handset's 32-bit int ("%u" of -1 is
    // 4294967295). A missing argument formats as nothing; extra arguments
    // are ignored; an unknown conversion is copied as written.
    static CString formatArgs(const CString& format, std::initializer_list<FormatArg> args);
    template <class... Args>
    static CString format(const CString& fmt, const Args&... args) {
        return formatArgs(fmt, {FormatArg(args)...});
    }

    CString& operator+=(const CString& other) {
        s_ += other.s_;
        return *this;
    }
    CString& operator+=(char16_t ch) {
        s_ += ch;
        return *this;
    }
    friend CString operator+(CString a, const CString& b) { return a += b; }
    friend CString operator+(CString a, char16_t b) { return a += b; }
    friend bool operator==(const CString& a, const CString& b) { return a.s_ == b.s_; }
    friend bool operator<(const CString& a, const CString& b) { return a.s_ < b.s_; }

private:
    std::u16string s_;
};

// Case-insensitive comparison of UTF-16 text: folds ASCII, Latin-1, Greek,
// Cyrillic and full-width Latin letters; everything else compares by code
// unit. <0, 0, >0.
int compareNoCase(std::u16string_view a, std::u16string_view b);

// Our own UTF-8 codec (a page costs more in iconv than in parsing).
// Invalid or truncated sequences become U+FFFD; unpaired surrogates are
// encoded as U+FFFD.
std::u16string utf8ToUtf16(std::string_view bytes);
std::string utf16ToUtf8(std::u16string_view text);

}  // namespace zq

template <>
struct std::hash<zq::CString> {
    size_t operator()(const zq::CString& s) const noexcept {
        return std::hash<std::u16string>()(s.str());
    }
};
