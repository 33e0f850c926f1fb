#include "core/string_utils.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "platform/files.h"

namespace zq {

namespace {

char16_t asciiUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? c - 32 : c; }

}  // namespace

// --- splitting ---------------------------------------------------------------

StringArray splitString(const CString& text, char16_t separator) {
    StringArray pieces;
    int start = 0;
    for (;;) {
        int at = text.find(separator, start);
        if (at < 0) break;
        pieces.push_back(text.mid(start, at - start));
        start = at + 1;
    }
    pieces.push_back(text.mid(start));
    return pieces;
}

StringArray splitByString(const CString& separator, const CString& text) {
    StringArray pieces;
    if (text.isEmpty()) return pieces;
    int step = separator.isEmpty() ? 0 : separator.length();
    int start = 0;
    for (;;) {
        int at = step ? text.find(separator, start) : -1;
        CString piece = at < 0 ? text.mid(start) : text.mid(start, at - start);
        pieces.push_back(piece.trim());
        if (at < 0) break;
        start = at + step;
    }
    return pieces;
}

StringArray splitOutsideParens(char16_t separator, const CString& text) {
    StringArray pieces;
    std::u16string_view v = text.view();
    size_t start = 0;
    int depth = 0;
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] == u'(') ++depth;
        if (v[i] == u')') --depth;
        if (depth == 0 && v[i] == separator) {
            pieces.emplace_back(v.substr(start, i - start));
            start = i + 1;
        }
    }
    pieces.emplace_back(v.substr(start));
    return pieces;
}

// --- wrapping ----------------------------------------------------------------

void normalizeWhitespace(CString& text, int indent) {
    const int count = std::clamp(indent, 0, kMaxWrapIndent);
    const std::u16string pad(static_cast<size_t>(count) * 2, u' ');
    std::u16string_view in = text.view();
    std::u16string out = pad;
    // A line feed is written only after a line that holds more than its
    // indent, so runs of blank lines collapse and the text grows by at most
    // one pad per character.
    size_t lineStart = 0;
    size_t i = 0;
    while (i < in.size() && in[i] == u' ') ++i;
    for (; i < in.size(); ++i) {
        char16_t c = in[i];
        if (c == u'\t' || c == u'\r') continue;
        if (c != u'\n') {
            out += c;
            continue;
        }
        while (i + 1 < in.size() && in[i + 1] == u' ') ++i;
        if (out.size() == lineStart + pad.size()) continue;
        out += u'\n';
        lineStart = out.size();
        out += pad;
    }
    text = CString(std::move(out));
}

namespace {

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

StringArray cutLines(const CString& text, const CharWidthFn& charWidth, int firstLimit,
                     int nextLimit) {
    StringArray lines;
    std::u16string_view s = text.view();
    size_t start = 0;
    int width = 0;
    int limit = firstLimit;
    bool firstLineOpen = true;
    for (size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        // A surrogate pair is one character: measured, and kept on a line,
        // as one.
        const bool pair = isHighSurrogate(c) && i + 1 < s.size() && isLowSurrogate(s[i + 1]);
        const int w = pair ? charWidth(c) + charWidth(s[i + 1]) : charWidth(c);
        // 1. A character wider than the line: give it the later width; if it
        //    is wider still, nothing more can be cut.
        if (w > limit) {
            if (firstLineOpen) limit = nextLimit;
            if (w > limit) break;
        }
        // 2.-3. A line feed always ends the line.
        width += w;
        if (c == u'\n') {
            lines.push_back(CString(s.substr(start, i - start)).trimRight());
            start = i + 1;
            width = 0;
            limit = nextLimit;
            firstLineOpen = false;
            continue;
        }
        // 4. Full: the line ends before this character, which starts the next.
        if (width >= limit && i > start) {
            lines.push_back(CString(s.substr(start, i - start)));
            start = i;
            width = w;
            limit = nextLimit;
            firstLineOpen = false;
        }
        if (pair) ++i;
    }
    // 5. What is left (all of it, when the walk stopped early) is the last line.
    if (start < s.size()) lines.push_back(CString(s.substr(start)).trimRight());
    return lines;
}

StringArray wrapText(CString& text, const CharWidthFn& charWidth, int firstLineWidth, int lineWidth,
                     int indent) {
    if (text.isEmpty()) return {};
    if (firstLineWidth <= 0 && lineWidth <= 0) return {text};
    normalizeWhitespace(text, indent);
    if (text.find(u'\n') < 0) {
        // Measured only as far as needed to know whether it fits.
        int total = 0;
        bool fits = true;
        for (char16_t c : text.view()) {
            total += charWidth(c);
            if (total > firstLineWidth) {
                fits = false;
                break;
            }
        }
        if (fits) return {text};
    }
    return cutLines(text, charWidth, firstLineWidth, lineWidth);
}

// --- character classes and names ----------------------------------------------

bool isHexDigits(const CString& text) {
    if (text.isEmpty()) return false;
    for (char16_t c : text.view()) {
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F')))
            return false;
    }
    return true;
}

bool isDecimalDigits(const CString& text) {
    if (text.isEmpty()) return false;
    for (char16_t c : text.view()) {
        if (c < u'0' || c > u'9') return false;
    }
    return true;
}

bool isPlusDigits(const CString& text) {
    if (text.isEmpty()) return false;
    std::u16string_view v = text.view();
    if (v[0] == u'+') v.remove_prefix(1);
    for (char16_t c : v) {
        if (c < u'0' || c > u'9') return false;
    }
    return true;
}

bool startsWithNoCase(std::u16string_view text, std::u16string_view prefix) {
    if (prefix.size() > text.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (asciiUpper(text[i]) != asciiUpper(prefix[i])) return false;
    }
    return true;
}

bool startsWithNoCase(const CString& text, const CString& prefix) {
    return startsWithNoCase(text.view(), prefix.view());
}

bool matchesKeyName(const CString& name, const CString& shortKey, const CString& longKey) {
    return name.equalsNoCase(shortKey) || name.equalsNoCase(longKey);
}

CString extractAlnumRun(const CString& text) {
    auto isAlnum = [](char16_t c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
    };
    std::u16string_view v = text.view();
    size_t i = 0;
    while (i < v.size() && !isAlnum(v[i])) ++i;
    size_t end = i;
    while (end < v.size() && isAlnum(v[end])) ++end;
    return CString(v.substr(i, end - i));
}

CString keyName(int keyCode) {
    switch (keyCode) {
        case 8:
            return CString();
        case 13:
        case 38:
            return CString(u"up");
        case 37:
            return CString(u"left");
        case 39:
            return CString(u"right");
        case 40:
            return CString(u"down");
        default:
            return CString(static_cast<char16_t>(keyCode & 0xFFFF));
    }
}

// --- colours -------------------------------------------------------------------

CString colorFromName(const CString& name) {
    struct NamedColor {
        const char16_t* name;
        const char16_t* hex;
    };
    static constexpr std::array<NamedColor, 17> kColors{{
        {u"aqua", u"00ffff"},
        {u"black", u"000000"},
        {u"blue", u"0000ff"},
        {u"fuchsia", u"ff00ff"},
        {u"gray", u"808080"},
        {u"green", u"008000"},
        {u"lime", u"00ff00"},
        {u"maroon", u"800000"},
        {u"navy", u"000080"},
        {u"olive", u"808000"},
        {u"orange", u"ffa500"},
        {u"purple", u"800080"},
        {u"red", u"ff0000"},
        {u"silver", u"c0c0c0"},
        {u"teal", u"008080"},
        {u"white", u"ffffff"},
        {u"yellow", u"ffff00"},
    }};
    for (const auto& entry : kColors) {
        if (name.view() == entry.name) return CString(entry.hex);
    }
    return CString();
}

Color parseHex(const CString& text) {
    uint32_t value = 0;
    int n = 0;
    // "%x" reads hex digits up to the first other character.
    for (char16_t c : text.view()) {
        if (n == 6) break;
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            break;
        value = (value << 4) | static_cast<uint32_t>(digit);
        ++n;
    }
    return ((value & 0xFF) << 16) | (value & 0xFF00) | ((value >> 16) & 0xFF);
}

bool parseColor(CString& text, Color& color) {
    if (text.find(u'#') >= 0) {
        text = text.mid(1);
    } else {
        text = colorFromName(text);
    }
    if (!isHexDigits(text)) return false;
    color = parseHex(text);
    return true;
}

// --- code pages ------------------------------------------------------------------

std::string convertCodePage(std::string_view text, int fromCodePage, int toCodePage) {
    return CString::fromCodePage(text, fromCodePage).toCodePage(toCodePage);
}

// --- URLs ----------------------------------------------------------------------

CString urlEncode(const CString& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::u16string out;
    std::u16string_view v = text.view();
    out.reserve(v.size() * 3);
    auto escape = [&out](uint32_t byte) {
        out += u'%';
        out += static_cast<char16_t>(kHex[(byte >> 4) & 0xF]);
        out += static_cast<char16_t>(kHex[byte & 0xF]);
    };
    for (size_t i = 0; i < v.size(); ++i) {
        const char16_t u = v[i];
        if ((u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9') ||
            std::u16string_view(u"-_.!~*'()").find(u) != std::u16string_view::npos) {
            out += u;
        } else if (u == u' ') {
            out += u'+';
        } else if (u < 0x80) {
            escape(u);
        } else if (u < 0x800) {
            escape(0xC0 | (u >> 6));
            escape(0x80 | (u & 0x3F));
        } else if (u >= 0xD800 && u <= 0xDBFF && i + 1 < v.size() && v[i + 1] >= 0xDC00 &&
                   v[i + 1] <= 0xDFFF) {
            const uint32_t cp = 0x10000 + ((static_cast<uint32_t>(u) - 0xD800) << 10) +
                                (static_cast<uint32_t>(v[i + 1]) - 0xDC00);
            ++i;
            escape(0xF0 | (cp >> 18));
            escape(0x80 | ((cp >> 12) & 0x3F));
            escape(0x80 | ((cp >> 6) & 0x3F));
            escape(0x80 | (cp & 0x3F));
        } else {
            escape(0xE0 | (u >> 12));
            escape(0x80 | ((u >> 6) & 0x3F));
            escape(0x80 | (u & 0x3F));
        }
    }
    return CString(std::move(out));
}

CString setUrlParam(const CString& url, const CString& name, const CString& value) {
    const int q = url.find(u'?');
    if (q < 0) return url + u'?' + name + u'=' + value;
    CString result = url.left(q + 1);
    CString query = url.mid(q + 1);
    CString fragment;
    if (int h = query.find(u'#'); h >= 0) {
        fragment = query.mid(h);
        query = query.left(h);
    }
    // Find the parameter by its whole name.
    int at = -1;
    if (!name.isEmpty()) {
        for (int from = 0; (at = query.find(name, from)) >= 0; from = at + 1) {
            const bool startsParam = at == 0 || query[at - 1] == u'&';
            const char16_t next = query[at + name.length()];
            if (startsParam && (next == u'=' || next == u'&' || next == 0)) break;
        }
    }
    if (at < 0) {
        result += query;
        if (!query.isEmpty()) result += u'&';
        return result + name + u'=' + value + fragment;
    }
    const int afterName = at + name.length();
    result += query.left(afterName);
    if (query[afterName] == u'=') {
        const int amp = query.find(u'&', afterName);
        result += u'=';
        result += value;
        if (amp >= 0) result += query.mid(amp);
    } else {
        result += query.mid(afterName);
    }
    return result + fragment;
}

CString setUrlParamKeepFragment(const CString& url, const CString& name, const CString& value) {
    if (url.isEmpty() || name.isEmpty()) return url;
    const int h = url.find(u'#');
    if (h < 0) return setUrlParam(url, name, value);
    return setUrlParam(url.left(h), name, value) + url.mid(h);
}

// --- folders and hosts -------------------------------------------------------------

bool makeDirectories(const CString& path, PathConfinement confinement) {
    CString normal = path;
    normal.replace(u'\\', u'/');
    const std::filesystem::path p(normal.toUtf8());
    // A bare name holds no folder to make.
    if (p.empty() || normal.find(u'/') < 0) return true;
    if (confinement == PathConfinement::Confined) {
        if (p.is_absolute() || p.has_root_name() || p.has_root_directory()) return false;
        for (const auto& part : p) {
            if (part == "..") return false;
        }
    }
    // A device path, like every other file a page names: never the host's
    // root or the working folder.
    if (!DeviceFiles::hasCurrent()) return false;
    return zq::makeDirectories(DeviceFiles::current().hostPath(path));
}

bool parseHostList(const CString& text, std::vector<HostRecord>& hosts) {
    for (const CString& piece : splitString(text, u',')) {
        HostRecord record;
        if (!record.parse(piece)) continue;
        record.label = CString::format(u"主站( %s )", record.name);
        record.speedResult = -1;
        hosts.push_back(std::move(record));
    }
    return !hosts.empty();
}

int findHostIndex(const std::vector<HostRecord>& hosts, const HostRecord& record) {
    for (int i = static_cast<int>(hosts.size()) - 1; i >= 0; --i) {
        if (hosts[static_cast<size_t>(i)].equals(record)) return i;
    }
    return -1;
}

}  // namespace zq
