// LzssDecoder against the textbook ring-buffer decoder of the same format and
// against a plain copy of the output, on ~100 KB of quote-page markup.
#include "core/lzss.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/instructions.h"
#include "bench/ring_decoder.h"
#include "bench/time_table.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kRing = 4096;
constexpr size_t kMaxMatch = 18;
constexpr size_t kRingStart = kRing - kMaxMatch;

Bytes pageText() {
    static const char* const kNames[] = {"招商银行", "浦发银行", "平安银行", "万科A", "中国石化"};
    std::mt19937 rng(11);
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<zqml><form title=\"行情\">\r\n";
    char row[512];
    while (text.size() < 100 * 1024) {
        auto pick = [&](unsigned n) { return static_cast<unsigned>(rng() % n); };
        const char* rowClass = pick(2) ? "odd" : "even";
        const unsigned code = 600000 + pick(4000);
        const char* name = kNames[pick(5)];
        const unsigned yuan = pick(90) + 1;
        const unsigned fen = pick(100);
        const char* trend = pick(2) ? "up" : "down";
        const double change = pick(2000) / 100.0 - 10.0;
        const unsigned volume = pick(1000000);
        std::snprintf(row, sizeof row,
                      "<tr class=\"%s\"><td><a href=\"quote.zqml?code=%06u&amp;mkt=sh\">%s</a></td>"
                      "<td>%u.%02u</td><td class=\"%s\">%+.2f%%</td><td>%u</td></tr>\r\n",
                      rowClass, code, name, yuan, fen, trend, change, volume);
        text += row;
    }
    text += "</form></zqml>\r\n";
    return Bytes(text.begin(), text.end());
}

// Greedy encoder with hash chains over three-byte prefixes.
Bytes encode(const Bytes& data) {
    constexpr size_t kHashSize = 1 << 14;
    constexpr int kChainLimit = 64;
    std::vector<int64_t> head(kHashSize, -1);
    std::vector<int64_t> prev(data.size(), -1);
    auto hashAt = [&](size_t i) {
        return ((data[i] << 10) ^ (data[i + 1] << 5) ^ data[i + 2]) & (kHashSize - 1);
    };
    auto insert = [&](size_t i) {
        if (i + 3 > data.size()) return;
        const size_t h = hashAt(i);
        prev[i] = head[h];
        head[h] = static_cast<int64_t>(i);
    };
    Bytes out;
    size_t flagAt = 0;
    int item = 8;
    for (size_t i = 0; i < data.size();) {
        if (item == 8) {
            flagAt = out.size();
            out.push_back(0);
            item = 0;
        }
        size_t bestLength = 0;
        size_t bestFrom = 0;
        if (i + 3 <= data.size()) {
            const size_t limit = std::min(kMaxMatch, data.size() - i);
            int64_t j = head[hashAt(i)];
            for (int n = 0; j >= 0 && i - static_cast<size_t>(j) < kRing && n < kChainLimit;
                 ++n, j = prev[j]) {
                size_t length = 0;
                while (length < limit && data[j + length] == data[i + length]) ++length;
                if (length > bestLength) {
                    bestLength = length;
                    bestFrom = static_cast<size_t>(j);
                }
            }
        }
        if (bestLength >= 3) {
            const size_t pos = (kRingStart + bestFrom) & (kRing - 1);
            out.push_back(static_cast<uint8_t>(pos & 0xFF));
            out.push_back(static_cast<uint8_t>(((pos >> 4) & 0xF0) | (bestLength - 3)));
            for (size_t k = 0; k < bestLength; ++k) insert(i + k);
            i += bestLength;
        } else {
            out[flagAt] |= static_cast<uint8_t>(1 << item);
            insert(i);
            out.push_back(data[i++]);
        }
        ++item;
    }
    return out;
}

struct Fixture {
    Bytes plain = pageText();
    Bytes packed = encode(plain);
    Bytes output = Bytes(plain.size());

    Fixture() {
        const zq::LzssResult ours = zq::LzssDecoder::decodeBuffer(packed.data(), packed.size(),
                                                                  output.data(), output.size());
        Bytes reference(plain.size());
        const size_t theirs = zq::bench::ringDecode(packed.data(), packed.size(), reference.data());
        if (ours.length != plain.size() || ours.truncated || output != plain ||
            theirs != plain.size() || reference != plain) {
            std::fprintf(stderr, "decoders disagree with the input\n");
            std::abort();
        }
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_LzssDecoder(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        const zq::LzssResult r = zq::LzssDecoder::decodeBuffer(f.packed.data(), f.packed.size(),
                                                               f.output.data(), f.output.size());
        benchmark::DoNotOptimize(r);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.plain.size()));
}
BENCHMARK(BM_LzssDecoder);

void BM_ReferenceRingDecoder(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        const size_t n = zq::bench::ringDecode(f.packed.data(), f.packed.size(), f.output.data());
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.plain.size()));
}
BENCHMARK(BM_ReferenceRingDecoder);

void BM_MemcpyOutput(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        std::memcpy(f.output.data(), f.plain.data(), f.plain.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.plain.size()));
}
BENCHMARK(BM_MemcpyOutput);

// The decoder should not cost more than the textbook one it replaced.
constexpr double kGoal = 1.0;

int countInstructions() {
    Fixture& f = fixture();
    zq::bench::countPass("ours-lzss", [&f] {
        zq::LzssDecoder::decodeBuffer(f.packed.data(), f.packed.size(), f.output.data(),
                                      f.output.size());
    });
    zq::bench::countPass("ring-lzss", [&f] {
        zq::bench::ringDecode(f.packed.data(), f.packed.size(), f.output.data());
    });
    zq::bench::printComparison("lzss-vs-ring-decoder", "ours-lzss", "ring-lzss", kGoal);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (zq::bench::callgrindMode(argc, argv)) return countInstructions();
    return zq::bench::runBenchmarks(argc, argv, [](const zq::bench::TimeTable& t) {
        const double ours = t.realNs("BM_LzssDecoder");
        const double reference = t.realNs("BM_ReferenceRingDecoder");
        const double copy = t.realNs("BM_MemcpyOutput");
        if (ours <= 0 || reference <= 0 || copy <= 0) return;
        const Fixture& f = fixture();
        const double megabytes = static_cast<double>(f.plain.size()) / (1024 * 1024);
        std::printf("\n%zu bytes packed to %zu (%.1f%%)\n", f.plain.size(), f.packed.size(),
                    100.0 * static_cast<double>(f.packed.size()) / f.plain.size());
        std::printf("LzssDecoder     %8.0f MB/s\n", megabytes / (ours * 1e-9));
        std::printf("reference ring  %8.0f MB/s\n", megabytes / (reference * 1e-9));
        std::printf("memcpy output   %8.0f MB/s\n", megabytes / (copy * 1e-9));
        std::printf("speed ours / memcpy:    %.3f\n", copy / ours);
        zq::bench::printRatio("lzss vs ring decoder", ours, reference, kGoal);
    });
}
