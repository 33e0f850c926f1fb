// The text pre-pass of a page: loose body text is wrapped in "text"
// elements, and inline tags are moved out of "text" elements, so that the
// builders find text only in "text" elements and never a tag inside one.
//
// The walk copies the page into a new text as it goes. Nothing written on
// the page is dropped: a text element's own text, the anchors in it and
// the text after them all come out in page order. A closing tag never
// starts a text element. When the walk meets a text element it cannot
// balance it gives up and the page stays exactly as it came ("&nbsp;"
// included): the parser then reads it as written.
#include <string>
#include <utility>
#include <vector>

#include "markup/markup_page.h"
#include "platform/text_scan.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zq {
namespace {

using namespace std::string_view_literals;

constexpr std::u16string_view kTextOpen = u"<text>";
constexpr std::u16string_view kTextClose = u"</text>";
constexpr std::u16string_view kLineJoin = u"</text><text>";

// One tag met inside a text element.
struct TagRecord {
    std::u16string_view tag;  // "<a href='x'>", trimmed
    std::u16string expected;  // "</a>"; empty for "<br/>"
    size_t start = 0;         // its "<"
    size_t end = 0;           // just after its closing tag, once closed
};

// What the element walk meets, in page order: a tag opening (or a tag
// without a closing tag), or a closing tag; `run` is the text after it up
// to the next "<".
struct TagEvent {
    enum class Kind { Open, Single, Close } kind;
    size_t record;
    std::u16string_view run;
};

bool isBlank(char16_t ch) {
    if (ch > u' ') return ch == u'\x3000';
    return ch == u' ' || ch == u'\t' || ch == u'\r' || ch == u'\n' || ch == u'\v' || ch == u'\f';
}

// !trimmed(s).empty(), without looking past the first unit that is not blank.
bool hasNonBlank(std::u16string_view s) {
    for (char16_t ch : s) {
        if (!isBlank(ch)) return true;
    }
    return false;
}

std::u16string_view trimmed(std::u16string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Closing tags are nearly always written as their opening tag: the exact
// comparison first.
bool equalsNoCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && (a == b || compareNoCase(a, b) == 0);
}

// equalsNoCase against a lower-case ASCII name: only ASCII letters fold to
// ASCII, so folding A-Z alone gives the same answer for less.
bool equalsAsciiName(std::u16string_view a, std::u16string_view lowerName) {
    if (a.size() != lowerName.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t c = a[i];
        if (c >= u'A' && c <= u'Z') c += u'a' - u'A';
        if (c != lowerName[i]) return false;
    }
    return true;
}

// Which names the head of a tag (the units after its "<") mentions, in
// any case, as the builders read them: "by" or "body" anywhere in it marks
// the body, "tx" or "text" a text element. One walk instead of four
// searches; it runs for every tag of a page.
struct HeadNames {
    bool body = false;
    bool text = false;
};

// Setting bit 5 folds exactly "B", "Y", "O", "D", "T", "X" and "E" onto their
// lower-case letters: no other unit lands on one of those.
constexpr char16_t kCaseBit = 0x20;
char16_t folded(char16_t ch) { return ch | kCaseBit; }

// Looks at the name that could start at h[i] (i + 1 < n).
void lookAtHead(const char16_t* h, size_t n, size_t i, HeadNames& names) {
    const char16_t c = folded(h[i]);
    const char16_t next = folded(h[i + 1]);
    auto at = [h](size_t k) { return folded(h[k]); };
    if (c == u'b') {
        if (next == u'y' || (i + 3 < n && next == u'o' && at(i + 2) == u'd' && at(i + 3) == u'y'))
            names.body = true;
    } else if (c == u't') {
        if (next == u'x' || (i + 3 < n && next == u'e' && at(i + 2) == u'x' && at(i + 3) == u't'))
            names.text = true;
    }
}

// The names in the head text.substr(at, 7).
HeadNames headNames(std::u16string_view text, size_t at) {
    HeadNames names;
    const std::u16string_view head = text.substr(at, 7);
    const char16_t* h = head.data();
    const size_t n = head.size();
#if defined(__SSE2__)
    // Most heads hold no "b" or "t" where a name could start: find those
    // that do eight units at a time (the nine read are inside the text).
    if (n == 7 && at + 9 <= text.size()) {
        // Only a "b" before "y" or "o", or a "t" before "x" or "e", can
        // start a name: "td", "tr" and "th" are passed over here.
        const __m128i caseBit = _mm_set1_epi16(static_cast<short>(kCaseBit));
        const __m128i block =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h)), caseBit);
        const __m128i after =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h + 1)), caseBit);
        auto is = [](__m128i units, char16_t ch) {
            return _mm_cmpeq_epi16(units, _mm_set1_epi16(static_cast<short>(ch)));
        };
        const __m128i hits = _mm_or_si128(
            _mm_and_si128(is(block, u'b'), _mm_or_si128(is(after, u'y'), is(after, u'o'))),
            _mm_and_si128(is(block, u't'), _mm_or_si128(is(after, u'x'), is(after, u'e'))));
        // Units 0-5 can start a name of two or more units.
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits)) & 0x0FFFu;
        while (mask != 0) {
            lookAtHead(h, n, static_cast<size_t>(__builtin_ctz(mask)) / 2, names);
            mask &= mask - 1;
            mask &= mask - 1;  // both bytes of the unit
        }
        return names;
    }
#endif
    for (size_t i = 0; i + 1 < n; ++i) lookAtHead(h, n, i, names);
    return names;
}

size_t findFrom(std::u16string_view s, char16_t ch, size_t from) { return findUnit(s, ch, from); }

// declarationEnd once the "<" at `pos` is followed by "!" or "?".
[[gnu::noinline]] size_t declarationEndAfterMark(std::u16string_view text, size_t pos) {
    static constexpr std::pair<std::u16string_view, std::u16string_view> kKinds[] = {
        {u"<!--"sv, u"-->"sv}, {u"<![CDATA["sv, u"]]>"sv}, {u"<?"sv, u"?>"sv}};
    const std::u16string_view rest = text.substr(pos);
    for (const auto& [open, close] : kKinds) {
        if (!rest.starts_with(open)) continue;
        const size_t end = findUnits(rest.substr(open.size()), close);
        if (end == std::u16string_view::npos) return text.size();
        return pos + open.size() + end + close.size() - 1;
    }
    return std::u16string_view::npos;
}

// For a comment, CDATA section or processing instruction whose "<" is at
// `pos`, the position of the ">" that ends it (the text's length when
// nothing does); npos for anything else. What they hold is not markup.
// Every kind starts "<!" or "<?", a test kept inline for the many tags.
inline size_t declarationEnd(std::u16string_view text, size_t pos) {
    if (pos + 1 >= text.size() || (text[pos + 1] != u'!' && text[pos + 1] != u'?')) {
        return std::u16string_view::npos;
    }
    return declarationEndAfterMark(text, pos);
}

// The position of the next "<" at or after `from` that starts a tag, or
// the text's length. Comments and the like are part of the text around.
size_t nextTag(std::u16string_view text, size_t from) {
    for (size_t next = findFrom(text, u'<', from); next != std::u16string_view::npos;
         next = findFrom(text, u'<', next + 1)) {
        const size_t declared = declarationEnd(text, next);
        if (declared == std::u16string_view::npos) return next;
        if (declared >= text.size()) break;
        next = declared;
    }
    return text.size();
}

// What a run shows: comments and processing instructions go, and a CDATA
// section gives its text with "&", "<" and ">" escaped. The parser would
// read them into the text of the element around them as they stand.
std::u16string plainText(std::u16string_view run) {
    std::u16string out;
    out.reserve(run.size());
    size_t done = 0;
    for (size_t at = findUnit(run, u'<'); at != std::u16string_view::npos;
         at = findUnit(run, u'<', done)) {
        out.append(run.substr(done, at - done));
        const size_t end = declarationEnd(run, at);
        if (end == std::u16string_view::npos) {
            out += u"&lt;"sv;
            done = at + 1;
            continue;
        }
        if (end >= run.size()) return out;
        constexpr std::u16string_view kCdata = u"<![CDATA["sv;
        if (run.substr(at, kCdata.size()) == kCdata) {
            for (char16_t ch : run.substr(at + kCdata.size(), end - 2 - at - kCdata.size())) {
                if (ch == u'&') {
                    out += u"&amp;"sv;
                } else if (ch == u'<') {
                    out += u"&lt;"sv;
                } else if (ch == u'>') {
                    out += u"&gt;"sv;
                } else {
                    out += ch;
                }
            }
        }
        done = end + 1;
    }
    out.append(run.substr(std::min(done, run.size())));
    return out;
}

// `run` as plainText has it, kept in `storage` when it differs; most runs
// hold no "<" at all.
std::u16string_view plainView(std::u16string_view run, std::u16string& storage) {
    if (findUnit(run, u'<') == std::u16string_view::npos) return run;
    storage = plainText(run);
    return storage;
}

// Where a run of the main walk ends: the "<" of the next tag at or after
// `from` (npos when none), or of an unclosed comment or the like, which
// then holds the rest. Closed ones on the way belong to the run.
struct RunEnd {
    size_t next = std::u16string_view::npos;
    bool declarations = false;
    bool unclosed = false;
};

RunEnd findRunEnd(std::u16string_view text, size_t from) {
    RunEnd end;
    for (end.next = findFrom(text, u'<', from); end.next != std::u16string_view::npos;
         end.next = findFrom(text, u'<', end.next + 1)) {
        const size_t declared = declarationEnd(text, end.next);
        if (declared == std::u16string_view::npos) break;
        end.declarations = true;
        if (declared >= text.size()) {
            end.unclosed = true;
            break;
        }
        end.next = declared;
    }
    return end;
}

// Reads the tag whose "<" is at `pos`; `pos` moves to the next "<" after
// it (the text's length when there is none) and `run` is the text between.
// False when it has no ">".
bool scanTag(std::u16string_view text, size_t& pos, TagRecord& record, std::u16string_view& run) {
    record = TagRecord();
    record.start = pos;
    size_t close = findFrom(text, u'>', pos);
    if (close == std::u16string_view::npos) return false;
    std::u16string_view tag = trimmed(text.substr(pos, close - pos + 1));
    record.tag = tag;
    if (tag.size() < 2 || tag[tag.size() - 2] != u'/') {
        std::u16string_view name = tag.substr(1);
        size_t blank = 0;
        while (blank < name.size() && !isBlank(name[blank])) ++blank;
        name = name.substr(0, blank);
        record.expected = u"</"sv;
        record.expected += name;
        if (name.empty() || name.back() != u'>') record.expected += u'>';
    }
    pos = nextTag(text, close + 1);
    run = text.substr(close + 1, pos - close - 1);
    return true;
}

bool isTextElement(const TagRecord& record) {
    return equalsAsciiName(record.expected, u"</text>"sv) ||
           equalsAsciiName(record.expected, u"</tx>"sv);
}

bool isAnchor(const TagRecord& record) { return equalsAsciiName(record.expected, u"</a>"sv); }

// The walk over the text element whose "<" is at `start`: every tag in it
// and the text after each. `end` becomes the position just after the
// element's closing tag. False when the element does not balance.
bool walkTextElement(std::u16string_view text, size_t start, size_t& end,
                     std::vector<TagRecord>& records, std::vector<TagEvent>& events) {
    std::vector<size_t> open;  // indexes into records
    size_t pos = start;
    do {
        if (pos + 1 < text.size() && text[pos + 1] == u'/') {
            TagRecord& innermost = records[open.back()];
            const std::u16string& expected = innermost.expected;
            if (!equalsNoCase(text.substr(pos, expected.size()), expected)) return false;
            innermost.end = pos + expected.size();
            const size_t record = open.back();
            open.pop_back();
            if (open.empty()) {
                end = innermost.end;
                return true;
            }
            pos = nextTag(text, innermost.end);
            events.push_back(
                {TagEvent::Kind::Close, record, text.substr(innermost.end, pos - innermost.end)});
            continue;
        }
        records.emplace_back();
        std::u16string_view run;
        if (!scanTag(text, pos, records.back(), run)) return false;
        const bool single = records.back().expected.empty();
        events.push_back(
            {single ? TagEvent::Kind::Single : TagEvent::Kind::Open, records.size() - 1, run});
        if (!single) open.push_back(records.size() - 1);
    } while (!open.empty() && pos < text.size());
    if (open.empty()) end = pos;  // a text element written as "<text/>"
    return open.empty();
}

// What a text element with inner tags becomes, in page order: each run of
// text in a text element (its own or a nested one, with that element's
// tag), each anchor as it stood, and each other inline tag as the tag and
// its closing tag, the text it held following in its enclosing text
// element.
std::u16string spliceTextElement(std::u16string_view text, const std::vector<TagRecord>& records,
                                 const std::vector<TagEvent>& events) {
    std::u16string out;
    std::vector<size_t> open;
    auto textAround = [&]() -> const TagRecord& {
        for (size_t j = open.size(); j-- > 0;) {
            if (isTextElement(records[open[j]])) return records[open[j]];
        }
        return records.front();
    };
    std::u16string plain;
    auto writeRun = [&](std::u16string_view run) {
        run = trimmed(plainView(run, plain));
        if (run.empty()) return;
        const TagRecord& element = textAround();
        out += element.tag;
        out += run;
        out += element.expected;
    };
    for (size_t i = 0; i < events.size(); ++i) {
        const TagEvent& event = events[i];
        const TagRecord& record = records[event.record];
        if (event.kind == TagEvent::Kind::Close) {
            open.pop_back();
            writeRun(event.run);
            continue;
        }
        if (event.kind == TagEvent::Kind::Single) {
            out += record.tag;
            writeRun(event.run);
            continue;
        }
        if (isAnchor(record)) {
            // An anchor holding only text is written as tag, text, "</a>";
            // one holding tags (a picture) as it stood. Either way the walk
            // goes on after its closing tag.
            size_t close = i + 1;
            while (close < events.size() && events[close].record != event.record) ++close;
            if (close == i + 1) {
                out += record.tag;
                out += trimmed(plainView(event.run, plain));
                out += u"</a>"sv;
            } else {
                out += text.substr(record.start, record.end - record.start);
            }
            i = close;
            if (i < events.size()) writeRun(events[i].run);
            continue;
        }
        open.push_back(event.record);
        if (!isTextElement(record)) {
            out += record.tag;
            out += record.expected;
        }
        writeRun(event.run);
    }
    return out;
}

// Appends a loose run that holds more than blanks, wrapped in text
// elements as wrapTextRun does, written straight into `out`.
void appendRun(std::u16string& out, std::u16string_view run) {
    if (run.front() == u'\n') run.remove_prefix(1);
    // A line break at the end joins nothing. (The run holds more than
    // blanks, so it is longer than that break.)
    if (run.back() == u'\n') run.remove_suffix(1);
    out += kTextOpen;
    for (size_t at = findUnit(run, u'\n'); at != std::u16string_view::npos;
         at = findUnit(run, u'\n')) {
        out.append(run.substr(0, at));
        out += kLineJoin;
        run.remove_prefix(at + 1);
    }
    out += run;
    out += kTextClose;
}

// styleElementEnd once the tag's name starts with "s".
[[gnu::noinline]] size_t styleElementEndAfterS(std::u16string_view text, size_t pos) {
    size_t nameEnd = pos + 1;
    while (nameEnd < text.size() && !isBlank(text[nameEnd]) && text[nameEnd] != u'>' &&
           text[nameEnd] != u'/') {
        ++nameEnd;
    }
    const std::u16string_view name = text.substr(pos + 1, nameEnd - pos - 1);
    if (!equalsAsciiName(name, u"style"sv) && !equalsAsciiName(name, u"sy"sv)) {
        return std::u16string_view::npos;
    }
    const size_t tagEnd = findFrom(text, u'>', nameEnd);
    if (tagEnd == std::u16string_view::npos || text[tagEnd - 1] == u'/') {
        return std::u16string_view::npos;
    }
    std::u16string closing(u"</"sv);
    closing += name;
    for (size_t at = findFrom(text, u'<', tagEnd); at != std::u16string_view::npos;
         at = findFrom(text, u'<', at + 1)) {
        if (!equalsNoCase(text.substr(at, closing.size()), closing)) continue;
        const size_t after = at + closing.size();
        if (after < text.size() && (text[after] == u'>' || isBlank(text[after]))) {
            return findFrom(text, u'>', after);
        }
    }
    return std::u16string_view::npos;
}

// For an opening "style" element (alias "sy") at `pos`, the position of
// the ">" that ends its closing tag: its text is a sheet, never page text.
// npos for any other tag, and for a style element without a closing tag.
inline size_t styleElementEnd(std::u16string_view text, size_t pos) {
    // Both names start with an ASCII "s", which only "s" and "S" fold to.
    if (pos + 1 >= text.size() || (text[pos + 1] | 0x20) != u's') return std::u16string_view::npos;
    return styleElementEndAfterS(text, pos);
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
    // The page is copied only when a "&nbsp;" must become a space.
    CString replaced;
    std::u16string_view text = page.view();
    if (findUnits(text, u"&nbsp;"sv) != std::u16string_view::npos) {
        replaced = page;
        replaced.replace(u"&nbsp;", u" ");
        text = replaced.view();
    }
    const size_t first = findUnit(text, u'<');
    if (first != std::u16string_view::npos) text.remove_prefix(first);

    std::u16string out;
    // Wrapping loose runs (table cells) can add a third to a page; growing
    // the output once would copy all of it.
    out.reserve(text.size() + text.size() / 2);
    size_t copied = 0;  // text[0, copied) is in out
    bool inBody = false;
    std::vector<TagRecord> records;
    std::vector<TagEvent> events;

    // 3. The current tag's ">", then one step per following tag.
    size_t current = declarationEnd(text, 0);
    if (current == std::u16string_view::npos) current = findFrom(text, u'>', 1);
    if (current >= text.size()) current = std::u16string_view::npos;
    std::u16string plain;
    while (current != std::u16string_view::npos) {
        const RunEnd runEnd = findRunEnd(text, current + 1);
        const size_t next = runEnd.next;
        if (next == std::u16string_view::npos) break;
        const size_t runStart = std::max(current + 1, copied);
        const std::u16string_view run(text.data() + runStart, next - runStart);
        // Only a run with more than blanks is wrapped; most are line breaks.
        // A comment, CDATA section or processing instruction stays in its
        // run, which shows only their text: a text and a cell stay whole.
        auto takeRun = [&](bool wrap) __attribute__((always_inline)) {
            // Only comments and the like put a "<" in a run.
            const std::u16string_view shown = runEnd.declarations ? plainView(run, plain) : run;
            const bool wrapped = wrap && hasNonBlank(shown);
            if (!wrapped && !runEnd.declarations) return;
            out.append(text.data() + copied, runStart - copied);
            if (wrapped) {
                appendRun(out, shown);
            } else {
                out += shown;
            }
            copied = next;
        };
        if (runEnd.unclosed) {
            // What follows is all one unclosed comment.
            if (inBody) takeRun(true);
            break;
        }

        // 4. Everything from the body's tag on is body.
        const HeadNames names = headNames(text, next + 1);
        if (names.body) inBody = true;
        if (!inBody) {
            current = findFrom(text, u'>', next);
            continue;
        }
        const bool textTag = names.text;
        const bool closing = next + 1 < text.size() && text[next + 1] == u'/';
        if (!textTag) {
            // 5. A loose run before any other tag becomes text elements.
            takeRun(true);
            // A style element's sheet is passed over whole.
            const size_t styleEnd = styleElementEnd(text, next);
            current = styleEnd != std::u16string_view::npos ? styleEnd : findFrom(text, u'>', next);
            continue;
        }
        // 6. The run in front of a closing tag is its text element's own:
        //    not wrapped. A closing tag starts no element walk.
        if (closing) {
            takeRun(false);
            current = findFrom(text, u'>', next);
            continue;
        }
        size_t end = 0;
        records.clear();
        events.clear();
        if (!walkTextElement(text, next, end, records, events)) return;
        // The run in front of a text element stands outside any: as in step 5.
        takeRun(true);
        if (events.size() == 1) {
            // 7. Nothing to move: the walk goes on after the element.
            if (records.front().expected.empty()) {
                current = findFrom(text, u'>', next);
                continue;
            }
            const std::u16string_view own = events.front().run;
            if (isTextElement(records.front()) &&
                findUnit(own, u'<') != std::u16string_view::npos) {
                const size_t closeAt = end - records.front().expected.size();
                out.append(text.substr(copied, next - copied));
                out += records.front().tag;
                out += plainText(own);
                out += text.substr(closeAt, end - closeAt);
                copied = end;
            }
            if (end >= text.size()) break;
            current = end - 1;
            continue;
        }
        if (!isTextElement(records.front())) {
            // Another element whose name holds "text" ("textarea"): no
            // builder reads it, so it is passed over whole.
            if (end >= text.size()) break;
            current = end - 1;
            continue;
        }
        // 8. The element written out in its place.
        out.append(text.substr(copied, next - copied));
        out += spliceTextElement(text, records, events);
        copied = end;
        if (end >= text.size()) break;
        current = end - 1;
    }
    if (copied == 0) {
        // Nothing was rewritten: the page is the text the walk read.
        if (text.size() != page.view().size() || text.data() != page.view().data()) {
            page = CString(text);
        }
        return;
    }
    out.append(text.substr(std::min(copied, text.size())));
    page = CString(std::move(out));
}

}  // namespace zq
