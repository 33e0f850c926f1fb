// A link followed over loopback: request sent over the framed protocol,
// reply received and unpacked, page parsed and built, made current, laid out
// and painted at 240x320. The reference is the same page built and painted
// from bytes already in memory, so the difference is the network road.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "app/page_controller.h"
#include "bench/time_table.h"
#include "items/item_makers.h"
#include "net/request_session.h"
#include "platform/files.h"
#include "platform/surface.h"
#include "platform/ui_executor.h"
#include "tools/zq-testserver/page_server.h"
#include "ui/client_context.h"
#include "ui/display.h"
#include "ui/screen.h"

namespace {

std::string quotePage(int n) {
    std::string body = "<zqml><body><text>行情 第" + std::to_string(n) + "页</text>";
    for (int i = 0; i < 40; ++i) {
        body += "<a href=\"q" + std::to_string(i) + ".zqml\">60003" + std::to_string(i % 10) +
                " 招商银行 " + std::to_string(10 + i) + ".25</a><br/>";
    }
    return body + "</body></zqml>";
}

struct Rig {
    zq::ClientContext context;
    Rig() {
        zq::installItemMakers(context);
        zq::Screen::initMetrics({240, 320});
        context.setDisplayArea(zq::Rect::fromSize(0, 0, 240, 320));
        root = std::filesystem::temp_directory_path() / "zq-bench-roundtrip";
        std::filesystem::create_directories(root);
        zq::writeFileAtomic(root / "page.zqml", quotePage(1));
        zq::testserver::ServerOptions options;
        options.root = root;
        options.packing = zq::testserver::Packing::Lzss;
        server = std::make_unique<zq::testserver::PageServer>(options);
        server->start();
        display = std::make_unique<zq::Display>(zq::Size{240, 320});
        controller = std::make_unique<zq::PageController>(zq::ControllerFolders{root, root});
        auto session = controller->requests().makeSession();
        session->setConnectionType(zq::ConnectionMode::Direct);
        controller->setSession(std::move(session));
    }
    ~Rig() {
        controller.reset();
        display.reset();
        server.reset();
        executor.runPending();
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    // Follows the link and waits until the new page is current; false after 5 s.
    bool follow(const std::string& url) {
        const zq::PageEntry* before = controller->currentEntry();
        controller->openUrl(
            {.url = zq::CString::fromUtf8(url), .screenId = controller->currentScreenId()});
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < end) {
            executor.runPending();
            if (controller->currentEntry() != before) return true;
            std::this_thread::yield();
        }
        return false;
    }

    zq::UiExecutor executor;
    std::filesystem::path root;
    std::unique_ptr<zq::testserver::PageServer> server;
    std::unique_ptr<zq::Display> display;
    std::unique_ptr<zq::PageController> controller;
    zq::Surface window{240, 320};
};

void BM_LinkToPaintedPage(benchmark::State& state) {
    Rig rig;
    const std::string url = rig.server->urlFor("/page.zqml");
    for (auto _ : state) {
        if (!rig.follow(url)) {
            state.SkipWithError("the page did not arrive");
            break;
        }
        rig.display->paint(rig.window);
    }
}
BENCHMARK(BM_LinkToPaintedPage)->Unit(benchmark::kMillisecond);

void BM_LocalPageToPaintedPage(benchmark::State& state) {
    Rig rig;
    for (auto _ : state) {
        if (!rig.follow("file://page.zqml")) {
            state.SkipWithError("the page did not open");
            break;
        }
        rig.display->paint(rig.window);
    }
}
BENCHMARK(BM_LocalPageToPaintedPage)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return zq::bench::runBenchmarks(argc, argv, [](const zq::bench::TimeTable& t) {
        const double network = t.realNs("BM_LinkToPaintedPage");
        const double local = t.realNs("BM_LocalPageToPaintedPage");
        if (network <= 0 || local <= 0) return;
        std::printf("\nlink to painted page over loopback: %.2f ms; from a local file: %.2f ms\n",
                    network / 1e6, local / 1e6);
        std::printf("the network road adds %.2f ms (ratio %.2f)\n", (network - local) / 1e6,
                    network / local);
    });
}
