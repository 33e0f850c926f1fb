// A page from its bytes to a laid-out, painted screen: loading (decode,
// pre-pass, parse, build the Form) and then layout and paint at 240x320.
// The reference is the parse of the same page alone with XmlParser; the
// summary prints the time per page and how many parses one page costs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "bench/default_sheet.h"
#include "bench/time_table.h"
#include "core/xml_parser.h"
#include "markup/markup_page.h"
#include "markup/style_sheet.h"
#include "platform/device_context.h"
#include "platform/surface.h"
#include "ui/default_styles.h"
#include "ui/form.h"
#include "ui/graphics_context.h"
#include "ui/screen.h"
#include "ui/style.h"

namespace {

constexpr int kWidth = 240;
constexpr int kHeight = 320;

// A quote-like page of about 30 KB: headings, paragraphs with loose text,
// links, lists, rules, buttons and bars.
std::string makePage() {
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<zqml cache=\"TRUE\">\n";
    s += "<style>\nup{font-color:#ff0000}\ndown{font-color:#00aa00}\nnote{fc:#c0c0c0}\n</style>\n";
    s += "<body class=\"page\" onload=\"refresh(30)\">\n";
    for (int i = 0; s.size() < 30000; ++i) {
        const std::string n = std::to_string(i);
        s += "<text class=\"" + std::string(i % 2 ? "up" : "down") + "\">板块" + n +
             " 今日成交 12" + n + " 亿元，涨幅 1." + n + "%</text>\n";
        s += "<br/>\n";
        s += "<a href=\"quote.zqml?code=600" + n + "\">浦发银行 600" + n + "</a>\n";
        s += "<nobr><a href=\"k.zqml?c=" + n + "\">K线</a><a href=\"f.zqml?c=" + n +
             "\">分时</a></nobr>\n";
        s += "<ul type=\"decimal\"><li><text>买一 10." + n + "</text></li><li><text>卖一 10." + n +
             "</text></li></ul>\n";
        if (i % 3 == 0) s += "<hr thickness=\"1\"/>\n";
        if (i % 5 == 0) s += "<button caption=\"刷新" + n + "\" onclick=\"refresh()\"/>\n";
        if (i % 7 == 0) s += "<progressbar value=\"" + std::to_string(i % 100) + "\"/>\n";
    }
    s += "</body>\n</zqml>\n";
    return s;
}

const std::string& page() {
    static const std::string text = makePage();
    return text;
}

using zq::bench::loadDefaultSheet;

// Styles live until shut-down; each page's are let go outside the timing so
// that the runs do not grow memory.
void releaseStyles(benchmark::State& state) {
    state.PauseTiming();
    zq::freeTrackedStyles();
    state.ResumeTiming();
}

void BM_ParseOnly(benchmark::State& state) {
    const zq::CString text = zq::CString::fromUtf8(page());
    for (auto _ : state) {
        zq::XmlParser parser;
        benchmark::DoNotOptimize(parser.setDoc(text));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page().size()));
}

void BM_LoadPage(benchmark::State& state) {
    loadDefaultSheet();
    for (auto _ : state) {
        {
            zq::MarkupPage markup;
            benchmark::DoNotOptimize(markup.loadPage(page(), nullptr));
        }
        releaseStyles(state);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page().size()));
}

void BM_LoadLayoutPaint(benchmark::State& state) {
    loadDefaultSheet();
    zq::Surface surface;
    surface.resize(kWidth, kHeight);
    zq::DeviceContext dc(surface);
    zq::GraphicsContext g;
    g.init(kWidth, kHeight, &dc);
    for (auto _ : state) {
        {
            zq::MarkupPage markup;
            markup.loadPage(page(), nullptr);
            zq::Screen* screen = markup.screen();
            if (!screen) {
                state.SkipWithError("the page built no screen");
                break;
            }
            screen->applySize(kWidth, kHeight);
            g.reset();
            screen->paint(g);
            benchmark::DoNotOptimize(surface.getPixel(10, 10));
        }
        releaseStyles(state);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page().size()));
}

// Many closed text elements with balanced tags after them: the prepass
// that closes text elements walks such a page once.
void BM_PrepassClosedElements(benchmark::State& state) {
    std::string body;
    for (int i = 0; i < 20000; ++i) body += "<text>t</text><a href='x'><b>y</b></a>";
    const zq::CString page = zq::CString::fromUtf8("<zqml><body>" + body + "</body></zqml>");
    for (auto _ : state) {
        zq::CString text = page;
        zq::normalizeMarkupText(text);
        benchmark::DoNotOptimize(text.length());
    }
}

BENCHMARK(BM_ParseOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PrepassClosedElements)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPage)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadLayoutPaint)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    return zq::bench::runBenchmarks(argc, argv, [](const zq::bench::TimeTable& t) {
        const double parse = t.cpuNs("BM_ParseOnly");
        const double load = t.cpuNs("BM_LoadPage");
        const double full = t.cpuNs("BM_LoadLayoutPaint");
        std::printf("\nPage: %zu bytes UTF-8, 240x320 screen.\n", page().size());
        if (parse <= 0 || full <= 0) return;
        std::printf("parse alone %.0f us; load %.0f us; load+layout+paint %.0f us per page\n",
                    parse / 1000, load / 1000, full / 1000);
        std::printf("a shown page costs %.1f parses of it\n", full / parse);
    });
}
