// Memory and start-up: the peak RSS and heap of `zqclient --headless`
// showing the 100-row fixture page from a local test server, the heap after
// loading that page 1,000 times in one process (it must stay flat), and the
// cold start against a process that shows the same page as HTML with
// litehtml (bench/tools/litehtml_render.cpp): its time to the first frame,
// printed for information, and with --cold-start-callgrind DIR the
// instructions of each whole process under callgrind, which judge it (the
// time drifts with the machine's load; the count does not).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/default_sheet.h"
#include "bench/instructions.h"
#include "bench/page_fixture.h"
#include "bench/time_table.h"
#include "markup/markup_page.h"
#include "markup/style_sheet.h"
#include "platform/files.h"
#include "tools/zq-testserver/page_server.h"
#include "ui/default_styles.h"
#include "ui/screen.h"
#include "ui/style.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kRssGoalMb = 16;
constexpr double kColdStartGoal = 0.5;  // instructions, ours / litehtml's
constexpr int kLoads = 1000;
constexpr int kStarts = 5;

size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

using zq::bench::loadDefaultSheet;

const std::string& page100() {
    static const std::string page = zq::bench::zqmlPage(100);
    return page;
}

void loadOnce() {
    {
        zq::MarkupPage markup;
        markup.loadPage(page100(), nullptr);
        if (zq::Screen* screen = markup.screen()) screen->applySize(240, 320);
    }
    zq::freeTrackedStyles();
}

void BM_LoadPage100(benchmark::State& state) {
    loadDefaultSheet();
    for (auto _ : state) loadOnce();
}
BENCHMARK(BM_LoadPage100)->Unit(benchmark::kMicrosecond);

struct ProcessRun {
    bool ok = false;
    double firstFrameMs = 0;  // from spawn to the PNG's appearance
    double peakRssMb = 0;
    double heapMb = 0;  // [heap] RSS when the first frame was there
};

double heapRssMb(pid_t pid) {
    std::ifstream maps("/proc/" + std::to_string(pid) + "/smaps");
    std::string line;
    bool inHeap = false;
    while (std::getline(maps, line)) {
        if (line.find(" [heap]") != std::string::npos) {
            inHeap = true;
        } else if (inHeap && line.rfind("Rss:", 0) == 0) {
            return std::stod(line.substr(4)) / 1024;
        }
    }
    return 0;
}

// Starts `args` with stdout and stderr to /dev/null and waits up to
// `limitSeconds` for `frame` to appear, then for the process to end.
ProcessRun runUntilFrame(std::vector<std::string> args, const fs::path& frame,
                         int limitSeconds = 10) {
    ProcessRun run;
    std::error_code ec;
    fs::remove(frame, ec);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("DISPLAY=", 0) != 0 && entry.rfind("WAYLAND_DISPLAY=", 0) != 0)
            env.push_back(entry);
    }
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const Clock::time_point start = Clock::now();
    const bool spawned =
        posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!spawned) return run;
    const Clock::time_point limit = start + std::chrono::seconds(limitSeconds);
    bool seen = false;
    while (Clock::now() < limit) {
        if (fs::exists(frame)) {
            seen = true;
            run.firstFrameMs =
                std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            run.heapMb = heapRssMb(pid);
            break;
        }
        int status = 0;
        struct rusage usage {};
        if (wait4(pid, &status, WNOHANG, &usage) == pid) {
            pid = -1;
            run.peakRssMb = usage.ru_maxrss / 1024.0;
            seen = fs::exists(frame);
            run.firstFrameMs =
                std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    if (pid > 0) {
        int status = 0;
        struct rusage usage {};
        if (wait4(pid, &status, 0, &usage) == pid) run.peakRssMb = usage.ru_maxrss / 1024.0;
    }
    run.ok = seen;
    return run;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Rig {
    fs::path root = fs::temp_directory_path() / ("zq-bench-memory-" + std::to_string(getpid()));
    std::optional<zq::testserver::PageServer> server;

    Rig() {
        fs::create_directories(root / "site");
        fs::create_directories(root / "device" / "Program" / "ZQ Resource");
        zq::writeFileAtomic(root / "site" / "index.zqml", page100());
        zq::writeFileAtomic(root / "page.html", zq::bench::htmlPage(100));
        zq::testserver::ServerOptions options;
        options.root = root / "site";
        options.packing = zq::testserver::Packing::Lzss;
        server.emplace(options);
        server->start();
        const std::string host = "127.0.0.1:" + std::to_string(server->gatewayPort()) + ":" +
                                 std::to_string(server->framedPort()) + ":bench:";
        std::ofstream(root / "device" / "Program" / "ZQ Resource" / "ZQConfig.ini")
            << "[info-system]\nsys-cm-iplist = " << host << "\nsys-curhost = " << host
            << "\ncli-wap-gateway = 127.0.0.1\ncli-wap-port = " << server->gatewayPort()
            << "\nsys-initpath = /index.zqml\ncli-timeout = 5\n";
        std::ofstream(root / "keys")
            << "screenshot " << (root / "client.png").string() << "\nwait 100\n";
    }
    ~Rig() {
        server.reset();
        std::error_code ec;
        fs::remove_all(root, ec);
    }

    std::vector<std::string> clientArgs() const {
        // ZQ_BENCH_CLIENT measures another build of the client instead.
        const char* other = std::getenv("ZQ_BENCH_CLIENT");
        return {other ? other : ZQ_CLIENT,  "--headless", "--device",
                (root / "device").string(), "--keys",     (root / "keys").string()};
    }
    std::vector<std::string> litehtmlArgs() const {
        return {ZQ_LITEHTML_RENDER, (root / "page.html").string(),
                (root / "litehtml.png").string()};
    }
    ProcessRun client() { return runUntilFrame(clientArgs(), root / "client.png"); }
    ProcessRun litehtml() { return runUntilFrame(litehtmlArgs(), root / "litehtml.png"); }
};

// `args` run whole under callgrind, its count dumped to `dump`.
bool countProcess(std::vector<std::string> args, const fs::path& frame, const fs::path& dump) {
    args.insert(args.begin(), {"/usr/bin/env", "valgrind", "--tool=callgrind",
                               "--callgrind-out-file=" + dump.string()});
    return runUntilFrame(std::move(args), frame, 120).ok && fs::exists(dump);
}

// The median times to the first frame of kStarts starts of each process,
// after one start that warms the device folder and the file cache.
struct StartTimes {
    double oursMs = 0;
    double theirsMs = 0;
    ProcessRun lastOurs;
    ProcessRun lastTheirs;
};

std::optional<StartTimes> timeStarts(Rig& rig) {
    rig.client();
    rig.litehtml();
    std::vector<double> ours;
    std::vector<double> theirs;
    StartTimes times;
    for (int i = 0; i < kStarts; ++i) {
        times.lastOurs = rig.client();
        if (times.lastOurs.ok) ours.push_back(times.lastOurs.firstFrameMs);
        times.lastTheirs = rig.litehtml();
        if (times.lastTheirs.ok) theirs.push_back(times.lastTheirs.firstFrameMs);
    }
    if (ours.empty() || theirs.empty()) return std::nullopt;
    times.oursMs = median(ours);
    times.theirsMs = median(theirs);
    return times;
}

void printStartTimes(const StartTimes& times) {
    std::printf(
        "cold start to first frame, wall time (for information): zqclient %.1f ms, litehtml "
        "%.1f ms (medians of %d), %.3f\n",
        times.oursMs, times.theirsMs, kStarts, times.oursMs / times.theirsMs);
}

// --cold-start-callgrind DIR: the two processes' instruction counts, each
// from exec to exit, as DIR/cg.coldstart-zqclient and
// DIR/cg.coldstart-litehtml, and the line that compares them; their wall
// times beside it.
int countColdStarts(const fs::path& out) {
    Rig rig;
    const std::optional<StartTimes> times = timeStarts(rig);
    if (!times) {
        std::fprintf(stderr, "the client or the litehtml process showed no frame\n");
        return 1;
    }
    if (!countProcess(rig.clientArgs(), rig.root / "client.png", out / "cg.coldstart-zqclient") ||
        !countProcess(rig.litehtmlArgs(), rig.root / "litehtml.png",
                      out / "cg.coldstart-litehtml")) {
        std::fprintf(stderr, "a process under callgrind showed no frame\n");
        return 1;
    }
    zq::bench::printComparison("cold-start-vs-litehtml-process", "coldstart-zqclient",
                               "coldstart-litehtml", kColdStartGoal);
    std::printf("note ");
    printStartTimes(*times);
    return 0;
}

void report() {
    // 1. The heap of one process loading the page again and again.
    loadDefaultSheet();
    for (int i = 0; i < 10; ++i) loadOnce();
    const size_t settled = heapInUse();
    for (int i = 10; i < kLoads; ++i) loadOnce();
    const size_t after = heapInUse();
    const double growthKb = (static_cast<double>(after) - static_cast<double>(settled)) / 1024;
    std::printf(
        "\nheap after 10 loads %.0f KB, after %d loads %.0f KB: %+.0f KB  goal flat "
        "(<= 64 KB)  %s\n",
        settled / 1024.0, kLoads, after / 1024.0, growthKb, growthKb <= 64 ? "met" : "missed");

    // 2. The processes, started a few times each.
    Rig rig;
    const std::optional<StartTimes> times = timeStarts(rig);
    if (!times) {
        std::printf("the client or the litehtml process showed no frame; no start-up figures\n");
        return;
    }
    std::printf(
        "zqclient --headless, 100-row page: peak RSS %.1f MB, heap %.1f MB  goal <= %.0f "
        "MB  %s\n",
        times->lastOurs.peakRssMb, times->lastOurs.heapMb, kRssGoalMb,
        times->lastOurs.peakRssMb <= kRssGoalMb ? "met" : "missed");
    std::printf("litehtml process, same page as HTML: peak RSS %.1f MB\n",
                times->lastTheirs.peakRssMb);
    printStartTimes(*times);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--cold-start-callgrind")
        return countColdStarts(argv[2]);
    return zq::bench::runBenchmarks(argc, argv, [](const zq::bench::TimeTable&) { report(); });
}
