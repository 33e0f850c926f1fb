// Runs a benchmark program's registered benchmarks with the usual console
// table and keeps each run's time per iteration, so that the program can end
// with lines saying how ours compares with its reference.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace zq::bench {

class TimeTable : public benchmark::ConsoleReporter {
public:
    // Plain text: the output goes to logs more often than to a terminal.
    TimeTable() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            const double toNs = benchmark::GetTimeUnitMultiplier(benchmark::kNanosecond) /
                                benchmark::GetTimeUnitMultiplier(run.time_unit);
            real_[run.benchmark_name()] = run.GetAdjustedRealTime() * toNs;
            cpu_[run.benchmark_name()] = run.GetAdjustedCPUTime() * toNs;
        }
    }

    // Nanoseconds per iteration of a run ("BM_Name" or "BM_Name/arg"), 0 when
    // it did not run.
    double realNs(const std::string& name) const { return find(real_, name); }
    double cpuNs(const std::string& name) const { return find(cpu_, name); }

private:
    static double find(const std::map<std::string, double>& table, const std::string& name) {
        auto it = table.find(name);
        return it == table.end() ? 0 : it->second;
    }

    std::map<std::string, double> real_;
    std::map<std::string, double> cpu_;
};

// The whole main() of a benchmark program: runs everything, then `summary`.
inline int runBenchmarks(int argc, char** argv,
                         const std::function<void(const TimeTable&)>& summary) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    TimeTable table;
    benchmark::RunSpecifiedBenchmarks(&table);
    summary(table);
    benchmark::Shutdown();
    return 0;
}

}  // namespace zq::bench
