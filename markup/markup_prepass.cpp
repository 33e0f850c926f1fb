// The text pre-pass of a page: loose body text is wrapped in "text"
// elements, and inline tags are moved out of "text" elements, so that the
// builders find text only in "text" elements and never a tag inside one.
//
// The walk copies the page into a new text as it goes; when it meets a
// text element it cannot balance it gives up and the page stays exactly as
// it came ("&nbsp;" included). A walk that reaches a closing "</text>" gives
// up the same way at the next closing tag, so the pre-pass only ever
// changes the part of a page before its first closed text element.
#include <string>
#include <vector>

#include "markup/markup_page.h"

namespace zq {
namespace {

constexpr std::u16string_view kTextOpen = u"<text>";
constexpr std::u16string_view kTextClose = u"</text>";
constexpr std::u16string_view kLineJoin = u"</text><text>";

// One tag met inside a text element.
struct TagRecord {
    std::u16string tag;       // "<a href='x'>", trimmed
    std::u16string text;      // the trimmed text after it, up to the next "<"
    std::u16string expected;  // "</a>"; empty for "<br/>"
};

bool isBlank(char16_t ch) {
    return ch == u' ' || ch == u'\t' || ch == u'\r' || ch == u'\n' || ch == u'\v' || ch == u'\f' ||
           ch == u'\x3000';
}

std::u16string_view trimmed(std::u16string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool contains(std::u16string_view s, std::u16string_view part) {
    return s.find(part) != std::u16string_view::npos;
}

bool equalsNoCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && compareNoCase(a, b) == 0;
}

size_t findFrom(std::u16string_view s, char16_t ch, size_t from) {
    return from >= s.size() ? std::u16string_view::npos : s.find(ch, from);
}

// Reads the tag whose "<" is at `pos`; `pos` moves to the next "<" after
// it (the text's length when there is none). False when it has no ">".
bool scanTag(std::u16string_view text, size_t& pos, TagRecord& record) {
    record = TagRecord();
    size_t close = findFrom(text, u'>', pos);
    if (close == std::u16string_view::npos) return false;
    std::u16string_view tag = trimmed(text.substr(pos, close - pos + 1));
    record.tag = tag;
    if (tag.size() < 2 || tag[tag.size() - 2] != u'/') {
        std::u16string_view name = tag.substr(1);
        size_t blank = 0;
        while (blank < name.size() && !isBlank(name[blank])) ++blank;
        name = name.substr(0, blank);
        record.expected = u"</";
        record.expected += name;
        if (name.empty() || name.back() != u'>') record.expected += u'>';
    }
    size_t next = findFrom(text, u'<', close + 1);
    pos = next == std::u16string_view::npos ? text.size() : next;
    record.text = trimmed(text.substr(close + 1, pos - close - 1));
    return true;
}

bool closesTextElement(const TagRecord& record) {
    return equalsNoCase(record.expected, u"</text>") || equalsNoCase(record.expected, u"</tx>");
}

// The walk over one text element starting at `start`. `end` becomes the
// position just after the element's closing tag. Records come back in the order their
// tags opened. False when the element does not balance.
bool walkTextElement(std::u16string_view text, size_t start, size_t& end,
                     std::vector<TagRecord>& records, bool& innerTags) {
    std::vector<size_t> open;  // indexes into records
    size_t pos = start;
    innerTags = false;
    records.emplace_back();
    if (!scanTag(text, pos, records.back())) return false;
    if (!records.back().expected.empty()) open.push_back(0);
    while (!open.empty() && pos < text.size()) {
        if (pos + 1 < text.size() && text[pos + 1] == u'/') {
            const std::u16string& expected = records[open.back()].expected;
            if (!equalsNoCase(text.substr(pos, expected.size()), expected)) return false;
            open.pop_back();
            if (open.empty()) end = pos + expected.size();
            size_t next = findFrom(text, u'<', pos + 1);
            pos = next == std::u16string_view::npos ? text.size() : next;
            continue;
        }
        innerTags = true;
        records.emplace_back();
        if (!scanTag(text, pos, records.back())) return false;
        if (!records.back().expected.empty()) open.push_back(records.size() - 1);
    }
    return open.empty();
}

// What a text element with inner tags becomes: its own text as a text
// element, each anchor as it stood, and each other inline tag carrying text
// as the tag, its closing tag and its text in the enclosing text element.
std::u16string spliceTextElement(const std::vector<TagRecord>& records) {
    std::u16string out;
    const TagRecord& element = records.front();
    if (!element.text.empty() && closesTextElement(element)) {
        out += element.tag;
        out += element.text;
        out += element.expected;
    }
    for (size_t i = 1; i < records.size(); ++i) {
        const TagRecord& r = records[i];
        if (equalsNoCase(r.expected, u"</a>")) {
            out += r.tag;
            out += r.text;
            out += u"</a>";
            continue;
        }
        if (r.text.empty() || closesTextElement(r)) continue;
        // The innermost text element around the tag.
        const TagRecord* enclosing = nullptr;
        for (size_t j = i; j-- > 0;) {
            if (closesTextElement(records[j])) {
                enclosing = &records[j];
                break;
            }
        }
        if (!enclosing) continue;
        out += r.tag;
        out += r.expected;
        out += enclosing->tag;
        out += r.text;
        out += enclosing->expected;
    }
    return out;
}

// Appends a loose run, wrapped when it holds more than blanks.
void appendRun(std::u16string& out, std::u16string_view run) {
    if (trimmed(run).empty()) {
        out += run;
        return;
    }
    out += kTextOpen;
    out += wrapTextRun(CString(run)).view();
    out += kTextClose;
}

}  // namespace

CString wrapTextRun(const CString& run) {
    std::u16string_view in = run.view();
    if (!in.empty() && in.front() == u'\n') in.remove_prefix(1);
    std::u16string out;
    out.reserve(in.size());
    for (char16_t ch : in) {
        if (ch == u'\n') {
            out += kLineJoin;
        } else {
            out += ch;
        }
    }
    if (out.size() > kLineJoin.size() && out.ends_with(kLineJoin)) {
        out.resize(out.size() - kLineJoin.size());
    }
    return CString(std::move(out));
}

void normalizeMarkupText(CString& page) {
    CString source = page;
    source.replace(u"&nbsp;", u" ");
    int first = source.find(u'<');
    if (first > 0) source = source.mid(first);
    std::u16string_view text = source.view();

    std::u16string out;
    out.reserve(text.size() + text.size() / 8);
    size_t copied = 0;  // text[0, copied) is in out
    bool inBody = false;
    std::vector<TagRecord> records;

    // 3. The current tag's ">", then one step per following tag.
    size_t current = findFrom(text, u'>', 1);
    while (current != std::u16string_view::npos) {
        size_t next = findFrom(text, u'<', current + 1);
        if (next == std::u16string_view::npos) break;
        std::u16string_view head = text.substr(next + 1, 7);
        // 4. Everything from the body's tag on is body.
        if (contains(head, u"body") || contains(head, u"by")) inBody = true;
        if (!inBody) {
            current = findFrom(text, u'>', next);
            continue;
        }
        size_t runStart = std::max(current + 1, copied);
        std::u16string_view run = text.substr(runStart, next - runStart);
        bool textTag = contains(head, u"text") || contains(head, u"tx");
        if (!textTag) {
            // 5. A loose run before any other tag becomes text elements.
            if (!trimmed(run).empty()) {
                out.append(text.substr(copied, runStart - copied));
                appendRun(out, run);
                copied = next;
            }
            current = findFrom(text, u'>', next);
            continue;
        }
        // 6. A text element: balance it and move inner tags out.
        size_t end = 0;
        bool innerTags = false;
        records.clear();
        if (!walkTextElement(text, next, end, records, innerTags)) return;
        if (!innerTags) {
            // 7. Nothing to move.
            current = findFrom(text, u'>', next);
            continue;
        }
        // 8. The run in front as in step 5, then the written-out element.
        out.append(text.substr(copied, runStart - copied));
        appendRun(out, run);
        out += spliceTextElement(records);
        copied = end;
        if (end >= text.size()) break;
        current = end - 1;
    }
    out.append(text.substr(std::min(copied, text.size())));
    page = CString(std::move(out));
}

}  // namespace zq
