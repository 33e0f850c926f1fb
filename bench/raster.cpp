// fillRect on a 240x320 back buffer against memset of the same bytes (the
// floor for filling memory), and drawImage with alpha against a plain copy
// of the same pixels. Prints the ratios after the usual table.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/time_table.h"
#include "platform/device_context.h"

namespace {

constexpr int kWidth = 240;
constexpr int kHeight = 320;

// Argument 0: the full screen; 1: 100x100 in the middle.
const zq::Rect kAreas[] = {{0, 0, kWidth, kHeight}, {70, 110, 170, 210}};

void BM_FillRect(benchmark::State& state) {
    const zq::Rect r = kAreas[state.range(0)];
    zq::Surface surface(kWidth, kHeight);
    zq::DeviceContext dc(surface);
    zq::Color color = 0x123456;
    for (auto _ : state) {
        dc.fillRect(r, color);
        color ^= 0x010101;  // a different colour each time, so no fill is redundant
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * r.width() * r.height() * 4);
}
BENCHMARK(BM_FillRect)->Arg(0)->Arg(1);

// The same rows of the same buffer, filled with memset.
void BM_MemsetReference(benchmark::State& state) {
    const zq::Rect r = kAreas[state.range(0)];
    std::vector<uint32_t> pixels(kWidth * kHeight);
    int value = 0x34;
    for (auto _ : state) {
        for (int y = r.top; y < r.bottom; ++y) {
            std::memset(pixels.data() + y * kWidth + r.left, value, r.width() * 4);
        }
        value ^= 1;
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * r.width() * r.height() * 4);
}
BENCHMARK(BM_MemsetReference)->Arg(0)->Arg(1);

zq::Image gradientImage(int w, int h) {
    std::vector<uint32_t> pixels;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const uint32_t a = static_cast<uint32_t>((x * 255) / (w - 1));
            pixels.push_back((a << 24) | static_cast<uint32_t>(x * 0x010203 + y));
        }
    }
    return zq::Image(w, h, true, std::move(pixels));
}

void BM_DrawImageAlpha(benchmark::State& state) {
    const zq::Image image = gradientImage(100, 100);
    zq::Surface surface(kWidth, kHeight);
    zq::DeviceContext dc(surface);
    dc.fillRect(surface.bounds(), 0x808080);
    for (auto _ : state) {
        dc.drawImage(image, 70, 110);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 100 * 100);
}
BENCHMARK(BM_DrawImageAlpha);

// Copying the same pixels without blending: what an opaque picture costs.
void BM_CopyReference(benchmark::State& state) {
    const zq::Image image = gradientImage(100, 100);
    std::vector<uint32_t> pixels(kWidth * kHeight);
    for (auto _ : state) {
        for (int y = 0; y < 100; ++y) {
            std::memcpy(pixels.data() + (110 + y) * kWidth + 70, image.pixels() + y * 100, 400);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 100 * 100);
}
BENCHMARK(BM_CopyReference);

void printRatio(const zq::bench::TimeTable& t, const char* label, const std::string& ours,
                const std::string& reference) {
    const double o = t.realNs(ours);
    const double r = t.realNs(reference);
    if (o <= 0 || r <= 0) return;
    std::printf("%-30s %10.0f ns, reference %10.0f ns, ratio ours/reference %.2f\n", label, o, r,
                o / r);
}

}  // namespace

int main(int argc, char** argv) {
    return zq::bench::runBenchmarks(argc, argv, [](const zq::bench::TimeTable& t) {
        std::printf("\n");
        printRatio(t, "fillRect full screen vs memset", "BM_FillRect/0", "BM_MemsetReference/0");
        printRatio(t, "fillRect 100x100 vs memset", "BM_FillRect/1", "BM_MemsetReference/1");
        printRatio(t, "drawImage alpha 100x100 vs copy", "BM_DrawImageAlpha", "BM_CopyReference");
    });
}
