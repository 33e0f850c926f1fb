#include "core/xml_parser.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/text_scan.h"

namespace zq {

namespace {

// Character classes of the ASCII range, looked up on every character scanned.
constexpr uint8_t kSpace = 1;
constexpr uint8_t kDelimiter = 2;

constexpr std::array<uint8_t, 128> makeClasses() {
    std::array<uint8_t, 128> classes{};
    for (char c : {' ', '\t', '\n', '\r'}) classes[static_cast<size_t>(c)] = kSpace | kDelimiter;
    for (char c : {'<', '>', '=', '\\', '/', '?', '!'})
        classes[static_cast<size_t>(c)] = kDelimiter;
    return classes;
}
constexpr std::array<uint8_t, 128> kClasses = makeClasses();

constexpr bool isXmlSpace(char16_t c) { return c < 128 && (kClasses[c] & kSpace); }
constexpr bool isDelimiter(char16_t c) { return c < 128 && (kClasses[c] & kDelimiter); }

int findChar(std::u16string_view text, char16_t ch, int from) {
    const size_t at = findUnit(text, ch, static_cast<size_t>(from));
    return at == std::u16string_view::npos ? -1 : static_cast<int>(at);
}

int findText(std::u16string_view text, std::u16string_view what, int from) {
    const size_t at = findUnits(text, what, static_cast<size_t>(from));
    return at == std::u16string_view::npos ? -1 : static_cast<int>(at);
}

int skipSpace(std::u16string_view text, int pos, int end) {
    while (pos < end && isXmlSpace(text[pos])) ++pos;
    return pos;
}

// The next token that is not a quoted value.
bool nextUnquoted(XmlTokenCursor& cursor) {
    while (cursor.nextToken()) {
        if (!cursor.quoted()) return true;
    }
    return false;
}

struct Entity {
    std::u16string_view name;  // after the "&"
    char16_t ch;
};
constexpr Entity kEntities[] = {
    {u"lt;", u'<'}, {u"amp;", u'&'}, {u"gt;", u'>'}, {u"apos;", u'\''}, {u"quot;", u'"'},
};

// The longest run of digits a reference may have: enough for U+10FFFF with
// leading zeros, short enough that the value never overflows.
constexpr size_t kMaxReferenceDigits = 8;

int digitValue(char16_t c, bool hex) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (!hex) return -1;
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// A numeric character reference at the start of `rest` (the text after
// "&"): "#169;" or "#x4E2D;". Appends the character (a surrogate pair
// above U+FFFF) and returns the units used; 0, with nothing appended, for
// anything that is not a well-formed reference of a character.
size_t appendCharacterReference(std::u16string_view rest, std::u16string& out) {
    if (rest.size() < 3 || rest[0] != u'#') return 0;
    const bool hex = rest[1] == u'x' || rest[1] == u'X';
    size_t i = hex ? 2 : 1;
    const size_t digitsStart = i;
    uint64_t value = 0;
    for (; i < rest.size() && i - digitsStart <= kMaxReferenceDigits; ++i) {
        const int digit = digitValue(rest[i], hex);
        if (digit < 0) break;
        value = value * (hex ? 16u : 10u) + static_cast<uint64_t>(digit);
    }
    const size_t digits = i - digitsStart;
    if (digits == 0 || digits > kMaxReferenceDigits || i >= rest.size() || rest[i] != u';') {
        return 0;
    }
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    if (value > 0xFFFF) {
        const uint32_t offset = static_cast<uint32_t>(value - 0x10000);
        out += static_cast<char16_t>(0xD800 + (offset >> 10));
        out += static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
    } else {
        out += static_cast<char16_t>(value);
    }
    return i + 1;
}

}  // namespace

bool XmlTokenCursor::nextToken() {
    const int n = static_cast<int>(text_.size());
    int pos = skipSpace(text_, next_, n);
    if (pos >= n) {
        next_ = n;
        return false;
    }
    const char16_t c = text_[pos];
    if (c == '"' || c == '\'') {
        const int close = findChar(text_, c, pos + 1);
        quoted_ = true;
        start_ = pos + 1;
        end_ = (close < 0 ? n : close) - 1;
        next_ = close < 0 ? n : close + 1;
        return true;
    }
    quoted_ = false;
    start_ = pos;
    if (!isDelimiter(c)) {
        ++pos;
        while (pos < n && !isDelimiter(text_[pos])) ++pos;
        --pos;
    }
    end_ = pos;
    next_ = pos + 1;
    return true;
}

XmlParser::XmlParser() { nodes_.emplace_back(); }

const XmlElementPos* XmlParser::element(int node) const {
    return node >= 0 && node < nodeCount() ? &nodes_[node] : nullptr;
}

void XmlParser::clearCursor() {
    parent_ = current_ = child_ = 0;
    found_ = false;
}

bool XmlParser::setDoc(CString text) {
    clearCursor();
    error_.clear();
    errorPosition_ = -1;
    doc_ = std::move(text);
    nodes_.clear();
    // Markup pages run at about one element per 16 to 24 units: reserving
    // for one per 16 spares copying the index as it grows.
    const size_t wanted = static_cast<size_t>(doc_.length()) / 16 + 8;
    if (nodes_.capacity() < wanted) nodes_.reserve(wanted);
    nodes_.emplace_back();

    bool ok = false;
    if (doc_.isEmpty()) {
        errorPosition_ = 0;
    } else {
        ok = parseDocument();
    }
    if (!ok) {
        nodes_.resize(1);
        nodes_[0] = XmlElementPos();
    }
    clearCursor();
    return ok;
}

bool XmlParser::fail(const char16_t* message, int position, int node) {
    error_ = node ? CString::format(CString(message), CString(nodeName(node))) : CString(message);
    errorPosition_ = position;
    return false;
}

// One pass over the text with an explicit stack of open elements; each
// element gets its record when its start tag is read and its end-tag
// positions when the matching end tag is reached. Kept as one loop: it is
// the hot path of every page, and no recursion means no stack to exhaust.
bool XmlParser::parseDocument() {
    const std::u16string_view t = doc_.view();
    const char16_t* s = doc_.c_str();
    const int n = doc_.length();
    struct Open {
        int node;
        int lastChild;
    };
    // The depth check below keeps the stack within kMaxDepth + 1 entries.
    std::array<Open, kMaxDepth + 1> open;
    open[0] = {0, 0};
    size_t depth = 1;
    int pos = 0;
    for (;;) {
        // 1. The next tag; text between elements is passed over.
        // Tags mostly follow one another: look at the next unit first.
        const int lt = pos < n && s[pos] == '<' ? pos : findChar(t, '<', pos);
        if (lt < 0) return fail(u"Element tag not found", pos);
        const int p = lt + 1 < n && !isXmlSpace(s[lt + 1]) ? lt + 1 : skipSpace(t, lt + 1, n);
        if (p >= n) return fail(u"Abrupt end within tag", lt);
        const char16_t c = t[p];
        if (c == '"' || c == '\'') return fail(u"Tag starts with quote", p);

        // 2. Comments, processing instructions, CDATA and declarations.
        if (c == '?' || c == '!') {
            pos = skipSpecialNode(lt);
            if (pos < 0) return fail(u"Invalid node", lt);
            continue;
        }

        // 3. An end tag closes the innermost open element.
        if (c == '/') {
            if (depth == 1) return fail(u"", lt);
            // Nearly every end tag is "</name>" exactly: the name, then ">".
            XmlElementPos& e = nodes_[open[depth - 1].node];
            int gt = p + 1 + e.nameLength;
            bool same = gt < n && s[gt] == '>';
            if (same) {
                const char16_t* a = s + p + 1;
                const char16_t* b = s + e.nameStart;
                constexpr bool kLittleEndian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
                if (kLittleEndian && e.nameLength <= 4 && p + 5 <= n) {
                    // Short names (td, tr, text) in one step: four units
                    // from each, both inside the text (the start tag's name
                    // lies before this end tag), compared up to the length.
                    uint64_t x;
                    uint64_t y;
                    std::memcpy(&x, a, sizeof x);
                    std::memcpy(&y, b, sizeof y);
                    const uint64_t used =
                        e.nameLength == 4 ? ~uint64_t{0} : (uint64_t{1} << (16 * e.nameLength)) - 1;
                    same = ((x ^ y) & used) == 0;
                } else {
                    int k = 0;
                    while (k < e.nameLength && a[k] == b[k]) ++k;
                    same = k == e.nameLength;
                }
            }
            if (same) {
                e.endTagStart = lt;
                e.endTagEnd = gt;
            } else if (!closeElement(open[depth - 1].node, p + 1, lt, &gt)) {
                return false;
            }
            --depth;
            if (depth == 1) return true;
            pos = gt + 1;
            continue;
        }

        // 4. A start tag: the name, then the first ">" (quotes not considered).
        if (isDelimiter(c)) return fail(u"Invalid node", lt);
        int nameEnd = p + 1;
        while (nameEnd < n && !isDelimiter(t[nameEnd])) ++nameEnd;
        if (static_cast<int>(depth) > kMaxDepth) {
            return fail(u"Elements nested too deeply", lt);
        }
        const int gt = nameEnd < n && s[nameEnd] == '>' ? nameEnd : findChar(t, '>', nameEnd);
        if (gt < 0) return fail(u"End of tag not found", lt);

        Open& up = open[depth - 1];
        const int node = nodeCount();
        nodes_.push_back({lt, gt, 0, 0, up.node, 0, 0, p, nameEnd - p});
        XmlElementPos& e = nodes_.back();
        if (up.lastChild) {
            nodes_[up.lastChild].nextSibling = node;
        } else {
            nodes_[up.node].firstChild = node;
        }
        up.lastChild = node;
        pos = gt + 1;
        if (t[gt - 1] == '/') {
            e.endTagStart = gt - 1;
            e.endTagEnd = gt;
            if (depth == 1) return true;
        } else {
            open[depth++] = {node, 0};
        }
    }
}

// Checks the end tag at `lessThan` against `node` when it is not simply
// "</name>"; tokens are read from `tokenPos`, just after the "/".
bool XmlParser::closeElement(int node, int tokenPos, int lessThan, int* endTagEnd) {
    XmlTokenCursor cursor(doc_.view(), tokenPos);
    if (!nextUnquoted(cursor) || cursor.isChar('>')) {
        return fail(u"End tag not completed for element %s", lessThan, node);
    }
    if (!cursor.matches(nodeName(node))) {
        return fail(u"End tag does not correspond to %s", cursor.tokenStart(), node);
    }
    while (nextUnquoted(cursor)) {
        if (cursor.isChar('>')) {
            nodes_[node].endTagStart = lessThan;
            nodes_[node].endTagEnd = cursor.tokenStart();
            *endTagEnd = cursor.tokenStart();
            return true;
        }
    }
    return fail(u"End tag not completed for element %s", lessThan, node);
}

// The position after the comment, processing instruction, CDATA section or
// declaration that starts at `lessThan`; -1 when it does not end in the text.
int XmlParser::skipSpecialNode(int lessThan) const {
    const std::u16string_view t = doc_.view();
    const int n = doc_.length();
    const char16_t c1 = lessThan + 1 < n ? t[lessThan + 1] : 0;
    const char16_t c2 = lessThan + 2 < n ? t[lessThan + 2] : 0;
    std::u16string_view closing;
    if (c1 == '?') {
        closing = u"?>";
    } else if (c1 == '!' && c2 == '[') {
        closing = u"]]>";
    } else if (c1 == '!' && c2 == '-') {
        closing = u"-->";
    } else if (c1 == '!') {
        // A declaration ends at a ">" outside its bracketed internal subset.
        XmlTokenCursor cursor(t, lessThan + 2);
        int nesting = 0;
        while (cursor.nextToken()) {
            if (cursor.quoted()) continue;
            if (nesting == 0 && cursor.isChar('>')) return cursor.tokenStart() + 1;
            for (char16_t ch : cursor.token()) {
                if (ch == '[') ++nesting;
                if (ch == ']' && nesting > 0) --nesting;
            }
        }
        return -1;
    } else {
        return -1;  // white space between "<" and "!" or "?"
    }
    const int at = findText(t, closing, lessThan);
    return at < 0 ? -1 : at + static_cast<int>(closing.size());
}

std::u16string_view XmlParser::nodeName(int node) const {
    if (!validNode(node)) return {};
    const XmlElementPos& e = nodes_[node];
    return doc_.view().substr(static_cast<size_t>(e.nameStart), static_cast<size_t>(e.nameLength));
}

CString XmlParser::getNodeTagName(int node) const { return CString(nodeName(node)); }

bool XmlParser::findElem(const CString& name) {
    int candidate = current_ ? nodes_[current_].nextSibling : nodes_[parent_].firstChild;
    for (; candidate; candidate = nodes_[candidate].nextSibling) {
        if (name.isEmpty() || nodeName(candidate) == name.view()) {
            current_ = candidate;
            child_ = 0;
            parent_ = nodes_[candidate].parent;
            found_ = true;
            return true;
        }
    }
    return false;
}

bool XmlParser::intoElem() {
    if (!current_ || !found_) return false;
    parent_ = current_;
    current_ = child_;
    found_ = child_ != 0;
    child_ = 0;
    return true;
}

bool XmlParser::outOfElem() {
    if (!parent_) return false;
    child_ = current_;
    current_ = parent_;
    parent_ = nodes_[current_].parent;
    found_ = true;
    return true;
}

CString XmlParser::decodeText(int first, int last) const {
    if (last < first) return CString();
    const std::u16string_view text =
        doc_.view().substr(static_cast<size_t>(first), static_cast<size_t>(last - first + 1));
    size_t amp = findUnit(text, u'&');
    if (amp == std::u16string_view::npos) return CString(text);

    std::u16string out;
    out.reserve(text.size());
    size_t done = 0;
    while (amp != std::u16string_view::npos) {
        out.append(text.substr(done, amp - done));
        done = amp + 1;
        char16_t ch = u'&';
        const std::u16string_view rest = text.substr(amp + 1);
        if (size_t used = appendCharacterReference(rest, out)) {
            done += used;
            amp = findUnit(text, u'&', done);
            continue;
        }
        for (const Entity& entity : kEntities) {
            if (rest.substr(0, entity.name.size()) == entity.name) {
                ch = entity.ch;
                done += entity.name.size();
                break;
            }
        }
        out += ch;
        amp = findUnit(text, u'&', done);
    }
    out.append(text.substr(done));
    return CString(std::move(out));
}

CString XmlParser::getNodeData(int node) const {
    if (!validNode(node)) return CString();
    const XmlElementPos& e = nodes_[node];
    if (e.firstChild || e.endTagStart + 1 == e.startTagEnd) return CString();
    const std::u16string_view t = doc_.view();
    const int end = e.endTagStart;
    const int p = skipSpace(t, e.startTagEnd + 1, end);
    constexpr std::u16string_view kCdataOpen = u"<![CDATA[";
    if (end - p > 11 && t.substr(static_cast<size_t>(p), kCdataOpen.size()) == kCdataOpen) {
        const int from = p + static_cast<int>(kCdataOpen.size());
        const int close = findText(t, u"]]>", from);
        if (close >= 0 && close + 3 <= end) {
            return CString(t.substr(static_cast<size_t>(from), static_cast<size_t>(close - from)));
        }
    }
    return decodeText(e.startTagEnd + 1, end - 1);
}

// Reads the tokens of the start tag only (up to its ">"): name, "=", quoted
// value. A value without quotes is not an attribute value.
bool XmlParser::findAttrib(int node, std::u16string_view name, int* first, int* last) const {
    const XmlElementPos& e = nodes_[node];
    XmlTokenCursor cursor(doc_.view().substr(0, static_cast<size_t>(e.startTagEnd)),
                          e.nameStart + e.nameLength);
    enum class Step { Name, Equals, Value } step = Step::Name;
    while (cursor.nextToken()) {
        if (!cursor.quoted()) {
            const char16_t c = cursor.token()[0];
            if (c == '>' || c == '/' || c == '?') return false;
        }
        if (step == Step::Value && cursor.quoted()) {
            *first = cursor.tokenStart();
            *last = cursor.tokenEnd();
            return true;
        }
        if (step == Step::Equals && cursor.isChar('=')) {
            step = Step::Value;
        } else {
            step = !cursor.quoted() && cursor.matches(name) ? Step::Equals : Step::Name;
        }
    }
    return false;
}

CString XmlParser::getNodeAttrib(int node, const CString& name) const {
    if (!validNode(node) || !found_) return CString();
    int first = 0;
    int last = 0;
    if (!findAttrib(node, name.view(), &first, &last)) return CString();
    return decodeText(first, last);
}

}  // namespace zq
