// Page parsing: our XmlParser on the UTF-16 page against pugixml (same UTF-16
// bytes) and tinyxml2 (the page as UTF-8), parse alone and parse plus the
// reads a page builder makes. Prints CPU-time ratios after the table.
//
// Debian's pugixml is built without PUGIXML_WCHAR_MODE (and wchar_t is 32-bit
// here), so pugixml converts the UTF-16 buffer to UTF-8 inside load_buffer.
#include <benchmark/benchmark.h>
#include <tinyxml2.h>

#include <cstdio>
#include <map>
#include <pugixml.hpp>
#include <string>

#include "bench/instructions.h"
#include "bench/page_fixture.h"
#include "bench/time_table.h"
#include "core/xml_parser.h"
#include "markup/markup_page.h"

namespace {

// A quote page: head, a few hundred text, link and input elements with
// attributes and CJK text, and a 100-row table.
std::string makePage() {
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n";
    s += "<zqml title=\"行情中心\" bgcolor=\"#ffffff\" ver=\"3\">\n<head>\n";
    s += "<style>.up{color:red} .down{color:green} .qt{font-size:12}</style>\n";
    s += "<meta name=\"refresh\" value=\"30\"/>\n</head>\n<body id=\"main\">\n";
    for (int i = 0; i < 80; ++i) {
        const std::string n = std::to_string(i);
        s += "<tx class=\"c" + std::to_string(i % 5) + "\" id=\"t" + n + "\">第" + n +
             "条 沪深两市今日震荡走高，成交量放大 &amp; 资金流入</tx><br/>\n";
        s += "<a href=\"quote.zqml?code=600" + n + "&amp;m=1\" class=\"link\">浦发银行" + n +
             "</a>\n";
        if (i % 4 == 0) s += "<ed name=\"f" + n + "\" value=\"\" digit=\"true\"/>\n";
    }
    s += "<!-- quote table -->\n<table id=\"quotes\" class=\"qt\">\n<th>";
    for (const char* head : {"代码", "名称", "现价", "涨跌", "成交量", "换手"}) {
        s += std::string("<td>") + head + "</td>";
    }
    s += "</th>\n";
    for (int i = 0; i < 100; ++i) {
        const std::string n = std::to_string(i);
        s += "<tr id=\"r" + n + "\" action=\"open(" + n + ")\"><td>600" + n +
             "</td><td>招商银行</td><td class=\"up\">7." + n + "</td><td>+1.2%</td><td>1234" + n +
             "</td><td>0.5%</td></tr>\n";
    }
    s += "</table>\n</body>\n</zqml>\n";
    return s;
}

const std::string& pageUtf8() {
    static const std::string page = makePage();
    return page;
}
const zq::CString& pageUtf16() {
    static const zq::CString page = zq::CString::fromUtf8(pageUtf8());
    return page;
}
int64_t pageBytes() { return static_cast<int64_t>(pageUtf16().length()) * 2; }

const char* const kAttribNames[] = {"id", "class", "href", "name"};

void BM_OursParse(benchmark::State& state) {
    zq::XmlParser parser;
    for (auto _ : state) benchmark::DoNotOptimize(parser.setDoc(pageUtf16()));
    state.SetBytesProcessed(state.iterations() * pageBytes());
}

void BM_PugixmlParse(benchmark::State& state) {
    const zq::CString& page = pageUtf16();
    for (auto _ : state) {
        pugi::xml_document doc;
        benchmark::DoNotOptimize(doc.load_buffer(page.c_str(), pageBytes(), pugi::parse_default,
                                                 pugi::encoding_utf16_le));
    }
    state.SetBytesProcessed(state.iterations() * pageBytes());
}

void BM_Tinyxml2Parse(benchmark::State& state) {
    const std::string& page = pageUtf8();
    for (auto _ : state) {
        tinyxml2::XMLDocument doc;
        benchmark::DoNotOptimize(doc.Parse(page.data(), page.size()));
    }
    state.SetBytesProcessed(state.iterations() * pageBytes());
}

size_t walkOurs(zq::XmlParser& p) {
    static const zq::CString names[] = {"id", "class", "href", "name"};
    size_t total = 0;
    while (p.findElem()) {
        const int node = p.currentNode();
        total += p.getTagName().length();
        for (const zq::CString& name : names) total += p.getNodeAttrib(node, name).length();
        total += p.getNodeData(node).length();
        p.intoElem();
        total += walkOurs(p);
        p.outOfElem();
    }
    return total;
}

size_t walkPugi(const pugi::xml_node& parent) {
    size_t total = 0;
    for (pugi::xml_node e = parent.first_child(); e; e = e.next_sibling()) {
        if (e.type() != pugi::node_element) continue;
        total += std::char_traits<char>::length(e.name());
        for (const char* name : kAttribNames) {
            total += std::char_traits<char>::length(e.attribute(name).value());
        }
        total += std::char_traits<char>::length(e.child_value());
        total += walkPugi(e);
    }
    return total;
}

size_t walkTiny(const tinyxml2::XMLNode* parent) {
    size_t total = 0;
    for (auto* e = parent->FirstChildElement(); e; e = e->NextSiblingElement()) {
        total += std::char_traits<char>::length(e->Name());
        for (const char* name : kAttribNames) {
            if (const char* v = e->Attribute(name)) total += std::char_traits<char>::length(v);
        }
        if (const char* text = e->GetText()) total += std::char_traits<char>::length(text);
        total += walkTiny(e);
    }
    return total;
}

void BM_OursParseWalk(benchmark::State& state) {
    zq::XmlParser parser;
    for (auto _ : state) {
        parser.setDoc(pageUtf16());
        benchmark::DoNotOptimize(walkOurs(parser));
    }
    state.SetBytesProcessed(state.iterations() * pageBytes());
}

void BM_PugixmlParseWalk(benchmark::State& state) {
    const zq::CString& page = pageUtf16();
    for (auto _ : state) {
        pugi::xml_document doc;
        doc.load_buffer(page.c_str(), pageBytes(), pugi::parse_default, pugi::encoding_utf16_le);
        benchmark::DoNotOptimize(walkPugi(doc));
    }
    state.SetBytesProcessed(state.iterations() * pageBytes());
}

void BM_Tinyxml2ParseWalk(benchmark::State& state) {
    const std::string& page = pageUtf8();
    for (auto _ : state) {
        tinyxml2::XMLDocument doc;
        doc.Parse(page.data(), page.size());
        benchmark::DoNotOptimize(walkTiny(&doc));
    }
    state.SetBytesProcessed(state.iterations() * pageBytes());
}

// The page-loading path of the XML on the fixture page, as loadPage runs it:
// UTF-8 to UTF-16, markers, normalising and pre-pass, parse. tinyxml2 parses
// the UTF-8 bytes, pugixml the UTF-16 text.
const std::string& fixturePage(int rows) {
    static const std::string small = zq::bench::zqmlPage(10);
    static const std::string large = zq::bench::zqmlPage(100);
    return rows == 10 ? small : large;
}
const zq::CString& fixturePageUtf16(int rows) {
    static const zq::CString small = zq::CString::fromUtf8(fixturePage(10));
    static const zq::CString large = zq::CString::fromUtf8(fixturePage(100));
    return rows == 10 ? small : large;
}

// As loadPage without a host: a page is handed to the marker step only
// when it has a host to ask and an "@" to resolve.
void oursPagePath(int rows) {
    zq::CString text = zq::CString::fromUtf8(fixturePage(rows));
    zq::normalizeMarkupText(text);
    zq::XmlParser parser;
    benchmark::DoNotOptimize(parser.setDoc(std::move(text)));
}
void tinyPagePath(int rows) {
    tinyxml2::XMLDocument doc;
    benchmark::DoNotOptimize(doc.Parse(fixturePage(rows).data(), fixturePage(rows).size()));
}
void pugiPagePath(int rows) {
    const zq::CString& page = fixturePageUtf16(rows);
    pugi::xml_document doc;
    benchmark::DoNotOptimize(doc.load_buffer(page.c_str(), page.length() * 2, pugi::parse_default,
                                             pugi::encoding_utf16_le));
}

void BM_OursPagePath(benchmark::State& state) {
    for (auto _ : state) oursPagePath(static_cast<int>(state.range(0)));
}
void BM_Tinyxml2PagePath(benchmark::State& state) {
    for (auto _ : state) tinyPagePath(static_cast<int>(state.range(0)));
}
void BM_PugixmlPagePath(benchmark::State& state) {
    for (auto _ : state) pugiPagePath(static_cast<int>(state.range(0)));
}

constexpr double kTinyGoal = 0.5;
constexpr double kPugiTarget = 1.0;

int countInstructions() {
    for (int rows : {10, 100}) {
        const std::string n = std::to_string(rows);
        zq::bench::countPass(("ours-xml-" + n).c_str(), [rows] { oursPagePath(rows); });
        zq::bench::countPass(("tinyxml2-" + n).c_str(), [rows] { tinyPagePath(rows); });
        zq::bench::countPass(("pugixml-" + n).c_str(), [rows] { pugiPagePath(rows); });
        zq::bench::printComparison(("xml-path-vs-tinyxml2-" + n + "-rows").c_str(),
                                   ("ours-xml-" + n).c_str(), ("tinyxml2-" + n).c_str(), kTinyGoal);
        zq::bench::printComparison(("xml-path-vs-pugixml-" + n + "-rows").c_str(),
                                   ("ours-xml-" + n).c_str(), ("pugixml-" + n).c_str(),
                                   kPugiTarget);
    }
    return 0;
}

BENCHMARK(BM_OursPagePath)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Tinyxml2PagePath)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PugixmlPagePath)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OursParse);
BENCHMARK(BM_PugixmlParse);
BENCHMARK(BM_Tinyxml2Parse);
BENCHMARK(BM_OursParseWalk);
BENCHMARK(BM_PugixmlParseWalk);
BENCHMARK(BM_Tinyxml2ParseWalk);

}  // namespace

int main(int argc, char** argv) {
    if (zq::bench::callgrindMode(argc, argv)) return countInstructions();
    return zq::bench::runBenchmarks(argc, argv, [](const zq::bench::TimeTable& t) {
        std::printf(
            "\nPage: %zu bytes UTF-8, %lld bytes UTF-16; bytes/s above count UTF-16 bytes.\n",
            pageUtf8().size(), static_cast<long long>(pageBytes()));
        std::printf(
            "pugixml reads the UTF-16 bytes (built without wchar mode: converts to UTF-8).\n");
        for (const char* kind : {"Parse", "ParseWalk"}) {
            const double ours = t.cpuNs(std::string("BM_Ours") + kind);
            const double pugi = t.cpuNs(std::string("BM_Pugixml") + kind);
            const double tiny = t.cpuNs(std::string("BM_Tinyxml2") + kind);
            if (ours <= 0) continue;
            std::printf("%-10s ours %.1f us CPU  pugixml/ours %.2fx  tinyxml2/ours %.2fx\n", kind,
                        ours / 1000, pugi / ours, tiny / ours);
        }
        for (int rows : {10, 100}) {
            char ours[48], tiny[48], pugi[48], what[64];
            std::snprintf(ours, sizeof ours, "BM_OursPagePath/%d", rows);
            std::snprintf(tiny, sizeof tiny, "BM_Tinyxml2PagePath/%d", rows);
            std::snprintf(pugi, sizeof pugi, "BM_PugixmlPagePath/%d", rows);
            std::printf("fixture page, %d rows: %zu bytes\n", rows, fixturePage(rows).size());
            std::snprintf(what, sizeof what, "xml path vs tinyxml2, %d rows", rows);
            zq::bench::printRatio(what, t.cpuNs(ours), t.cpuNs(tiny), kTinyGoal);
            std::snprintf(what, sizeof what, "xml path vs pugixml, %d rows", rows);
            zq::bench::printRatio(what, t.cpuNs(ours), t.cpuNs(pugi), kPugiTarget);
        }
    });
}
