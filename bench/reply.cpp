// A page reply from its packed message to the page text: the client's
// decodeReply on the 100-row fixture packed with zlib against bare uncompress
// into a buffer of the known size, and packed with LZSS against the textbook
// ring decoder.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/instructions.h"
#include "bench/page_fixture.h"
#include "bench/ring_decoder.h"
#include "bench/time_table.h"
#include "net/reply_unpack.h"
#include "tools/zq-testserver/reply_message.h"

namespace {

// What the client adds to the bare decoder: the head, the lengths, and the
// text handed out as a string of its own.
constexpr double kGoal = 1.10;

struct Fixture {
    std::string text = zq::bench::zqmlPage(100);
    std::string payload = zq::testserver::buildPayload(text, std::nullopt);
    std::string zlibMessage;
    std::string lzssMessage;
    std::vector<uint8_t> out = std::vector<uint8_t>(payload.size());

    Fixture() {
        zq::testserver::CannedReply reply;
        reply.text = text;
        zlibMessage = zq::testserver::buildReplyMessage(reply, 1, zq::testserver::Packing::Zlib);
        lzssMessage = zq::testserver::buildReplyMessage(reply, 1, zq::testserver::Packing::Lzss);
        for (const std::string* m : {&zlibMessage, &lzssMessage}) {
            if (zq::decodeReply(bytes(*m)).text != text) {
                std::fprintf(stderr, "the packed fixture does not decode\n");
                std::abort();
            }
        }
    }
    static std::span<const uint8_t> bytes(const std::string& s) {
        return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
    }
    std::span<const uint8_t> zlibBody() const { return bytes(zlibMessage).subspan(10); }
    // Past the head and the "slh!" marker.
    std::span<const uint8_t> lzssStream() const { return bytes(lzssMessage).subspan(14); }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void zlibReply() {
    benchmark::DoNotOptimize(zq::decodeReply(Fixture::bytes(fixture().zlibMessage)));
}
void bareUncompress() {
    Fixture& f = fixture();
    uLongf length = f.out.size();
    uncompress(f.out.data(), &length, f.zlibBody().data(), f.zlibBody().size());
    benchmark::DoNotOptimize(length);
}
void lzssReply() {
    benchmark::DoNotOptimize(zq::decodeReply(Fixture::bytes(fixture().lzssMessage)));
}
void ringLzss() {
    Fixture& f = fixture();
    benchmark::DoNotOptimize(
        zq::bench::ringDecode(f.lzssStream().data(), f.lzssStream().size(), f.out.data()));
}

void BM_ZlibReply(benchmark::State& state) {
    for (auto _ : state) zlibReply();
}
void BM_BareUncompress(benchmark::State& state) {
    for (auto _ : state) bareUncompress();
}
void BM_LzssReply(benchmark::State& state) {
    for (auto _ : state) lzssReply();
}
void BM_RingLzss(benchmark::State& state) {
    for (auto _ : state) ringLzss();
}
BENCHMARK(BM_ZlibReply)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareUncompress)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LzssReply)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RingLzss)->Unit(benchmark::kMicrosecond);

int countInstructions() {
    zq::bench::countPass("ours-zlib-reply", zlibReply);
    zq::bench::countPass("bare-uncompress", bareUncompress);
    zq::bench::printComparison("zlib-reply-vs-uncompress", "ours-zlib-reply", "bare-uncompress",
                               kGoal);
    zq::bench::countPass("ours-lzss-reply", lzssReply);
    zq::bench::countPass("ring-lzss-reply", ringLzss);
    zq::bench::printComparison("lzss-reply-vs-ring-decoder", "ours-lzss-reply", "ring-lzss-reply",
                               kGoal);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (zq::bench::callgrindMode(argc, argv)) return countInstructions();
    return zq::bench::runBenchmarks(argc, argv, [](const zq::bench::TimeTable& t) {
        std::printf("\n100-row page: %zu bytes of text; zlib message %zu, LZSS message %zu\n",
                    fixture().text.size(), fixture().zlibMessage.size(),
                    fixture().lzssMessage.size());
        zq::bench::printRatio("zlib reply vs bare uncompress", t.cpuNs("BM_ZlibReply"),
                              t.cpuNs("BM_BareUncompress"), kGoal);
        zq::bench::printRatio("lzss reply vs ring decoder", t.cpuNs("BM_LzssReply"),
                              t.cpuNs("BM_RingLzss"), kGoal);
    });
}
