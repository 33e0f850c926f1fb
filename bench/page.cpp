// The whole page path against a small HTML engine: bytes -> built -> laid
// out -> painted at 240x320, for the fixture at 10, 100 and 1,000 table rows,
// ours from zqml and litehtml 0.6 from the same content as HTML+CSS, both
// drawing with the client's FreeType fonts into the client's surface. Also a
// repaint of a built page against litehtml's draw of a rendered document.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "bench/default_sheet.h"
#include "bench/instructions.h"
#include "bench/litehtml_container.h"
#include "bench/page_fixture.h"
#include "bench/time_table.h"
#include "markup/markup_page.h"
#include "markup/style_sheet.h"
#include "platform/device_context.h"
#include "platform/image.h"
#include "platform/surface.h"
#include "ui/default_styles.h"
#include "ui/graphics_context.h"
#include "ui/screen.h"
#include "ui/style.h"

namespace {

constexpr int kWidth = 240;
constexpr int kHeight = 320;
constexpr int kRowCounts[] = {10, 100, 1000};
// The small page carries the fixed costs (style sheet, screen, soft keys);
// from 100 rows on the table dominates.
constexpr double kSmallPageGoal = 0.10;
constexpr double kPageGoal = 0.05;
constexpr double kRepaintGoal = 0.20;

double pageGoal(int rows) { return rows <= 10 ? kSmallPageGoal : kPageGoal; }

const std::string& zqml(int rows) {
    static const std::string pages[] = {zq::bench::zqmlPage(10), zq::bench::zqmlPage(100),
                                        zq::bench::zqmlPage(1000)};
    return pages[rows == 10 ? 0 : rows == 100 ? 1 : 2];
}
const std::string& html(int rows) {
    static const std::string pages[] = {zq::bench::htmlPage(10), zq::bench::htmlPage(100),
                                        zq::bench::htmlPage(1000)};
    return pages[rows == 10 ? 0 : rows == 100 ? 1 : 2];
}

using zq::bench::loadDefaultSheet;

// Our side: one surface and graphics context for all passes.
struct Ours {
    zq::Surface surface;
    std::unique_ptr<zq::DeviceContext> dc;
    zq::GraphicsContext g;
    Ours() {
        loadDefaultSheet();
        surface.resize(kWidth, kHeight);
        dc = std::make_unique<zq::DeviceContext>(surface);
        g.init(kWidth, kHeight, dc.get());
    }
    // False when the page built no screen.
    bool show(zq::MarkupPage& markup, const std::string& bytes) {
        markup.loadPage(bytes, nullptr);
        zq::Screen* screen = markup.screen();
        if (!screen) return false;
        screen->applySize(kWidth, kHeight);
        paint(*screen);
        return true;
    }
    void paint(zq::Screen& screen) {
        g.reset();
        screen.paint(g);
    }
};

Ours& ours() {
    static Ours o;
    return o;
}

struct Reference {
    zq::Surface surface;
    std::unique_ptr<zq::bench::FtContainer> container;
    litehtml::context context;
    Reference() {
        surface.resize(kWidth, kHeight);
        container = std::make_unique<zq::bench::FtContainer>(surface);
        context.load_master_stylesheet(zq::bench::kLitehtmlMasterCss);
    }
};

Reference& reference() {
    static Reference r;
    return r;
}

// Styles live until shut-down; each page's are let go between passes.
void releaseStyles() { zq::freeTrackedStyles(); }

bool oursPage(int rows) {
    bool built;
    {
        zq::MarkupPage markup;
        built = ours().show(markup, zqml(rows));
    }
    releaseStyles();
    return built;
}

void litehtmlPage(int rows) {
    Reference& r = reference();
    zq::bench::litehtmlShow(html(rows), r.context, *r.container, r.surface);
}

void BM_OursPage(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    for (auto _ : state) {
        if (!oursPage(rows)) {
            state.SkipWithError("the page built no screen");
            break;
        }
        benchmark::DoNotOptimize(ours().surface.getPixel(10, 10));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(zqml(rows).size()));
}

void BM_LitehtmlPage(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    for (auto _ : state) {
        litehtmlPage(rows);
        benchmark::DoNotOptimize(reference().surface.getPixel(10, 10));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(html(rows).size()));
}

void BM_OursRepaint(benchmark::State& state) {
    zq::MarkupPage markup;
    if (!ours().show(markup, zqml(100))) {
        state.SkipWithError("the page built no screen");
        return;
    }
    for (auto _ : state) {
        ours().paint(*markup.screen());
        benchmark::DoNotOptimize(ours().surface.getPixel(10, 10));
    }
}

void BM_LitehtmlDraw(benchmark::State& state) {
    Reference& r = reference();
    litehtml::document::ptr doc =
        litehtml::document::createFromUTF8(html(100).c_str(), r.container.get(), &r.context);
    doc->render(kWidth);
    const litehtml::position clip(0, 0, kWidth, kHeight);
    for (auto _ : state) {
        r.container->clear();
        doc->draw(0, 0, 0, &clip);
        benchmark::DoNotOptimize(r.surface.getPixel(10, 10));
    }
}

BENCHMARK(BM_OursPage)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LitehtmlPage)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OursRepaint)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LitehtmlDraw)->Unit(benchmark::kMicrosecond);

int countInstructions() {
    for (int rows : kRowCounts) {
        const std::string n = std::to_string(rows);
        zq::bench::countPass(("ours-page-" + n).c_str(), [rows] { oursPage(rows); });
        zq::bench::countPass(("litehtml-page-" + n).c_str(), [rows] { litehtmlPage(rows); });
        zq::bench::printComparison(("page-" + n + "-rows").c_str(), ("ours-page-" + n).c_str(),
                                   ("litehtml-page-" + n).c_str(), pageGoal(rows));
    }
    zq::MarkupPage markup;
    ours().show(markup, zqml(100));
    zq::bench::countPass("ours-repaint", [&markup] { ours().paint(*markup.screen()); });
    Reference& r = reference();
    litehtml::document::ptr doc =
        litehtml::document::createFromUTF8(html(100).c_str(), r.container.get(), &r.context);
    doc->render(kWidth);
    const litehtml::position clip(0, 0, kWidth, kHeight);
    zq::bench::countPass("litehtml-draw", [&] {
        r.container->clear();
        doc->draw(0, 0, 0, &clip);
    });
    zq::bench::printComparison("repaint-100-rows", "ours-repaint", "litehtml-draw", kRepaintGoal);
    return 0;
}

// --save DIR: writes both engines' first screen of the 100-row page, to see
// that they show the same content.
int saveScreens(const std::string& dir) {
    zq::MarkupPage markup;
    ours().show(markup, zqml(100));
    litehtmlPage(100);
    const bool saved = zq::savePng(ours().surface, dir + "/ours-100.png") &&
                       zq::savePng(reference().surface, dir + "/litehtml-100.png");
    return saved ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (zq::bench::callgrindMode(argc, argv)) return countInstructions();
    if (argc == 3 && std::string(argv[1]) == "--save") return saveScreens(argv[2]);
    return zq::bench::runBenchmarks(argc, argv, [](const zq::bench::TimeTable& t) {
        std::printf("\nPage at 100 rows: %zu bytes zqml, %zu bytes HTML; 240x320.\n",
                    zqml(100).size(), html(100).size());
        std::printf("(CPU time here; scripts/bench also counts instructions under callgrind)\n");
        for (int rows : kRowCounts) {
            char ours[64];
            char theirs[64];
            char what[64];
            std::snprintf(ours, sizeof ours, "BM_OursPage/%d", rows);
            std::snprintf(theirs, sizeof theirs, "BM_LitehtmlPage/%d", rows);
            std::snprintf(what, sizeof what, "page, %d rows", rows);
            zq::bench::printRatio(what, t.cpuNs(ours), t.cpuNs(theirs), pageGoal(rows));
        }
        zq::bench::printRatio("repaint vs litehtml draw", t.cpuNs("BM_OursRepaint"),
                              t.cpuNs("BM_LitehtmlDraw"), kRepaintGoal);
    });
}
