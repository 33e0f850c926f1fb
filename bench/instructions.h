// Instruction counts for scripts/bench. Run as
//   valgrind --tool=callgrind --instr-atstart=no BENCH --callgrind
// a benchmark program counts one pass of each of its paths (after a pass
// that warms caches and fonts) and dumps the count under the path's name;
// it prints "compare WHAT OURS REFERENCE GOAL" lines that say which dumps to
// divide. Outside valgrind the passes simply run.
#pragma once

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_START_INSTRUMENTATION
#define CALLGRIND_STOP_INSTRUMENTATION
#define CALLGRIND_ZERO_STATS
#define CALLGRIND_DUMP_STATS_AT(name) (void)(name)
#endif

#include <cstdio>
#include <cstring>
#include <functional>

namespace zq::bench {

inline bool callgrindMode(int argc, char** argv) {
    return argc > 1 && std::strcmp(argv[1], "--callgrind") == 0;
}

inline void countPass(const char* name, const std::function<void()>& pass) {
    pass();
    CALLGRIND_START_INSTRUMENTATION;
    CALLGRIND_ZERO_STATS;
    pass();
    CALLGRIND_DUMP_STATS_AT(name);
    CALLGRIND_STOP_INSTRUMENTATION;
}

// One line of the table: ours / reference against the goal (at most).
inline void printRatio(const char* what, double ours, double reference, double goal) {
    if (ours <= 0 || reference <= 0) return;
    const double ratio = ours / reference;
    std::printf("ratio %-34s %6.3f  goal <= %.2f  %s\n", what, ratio, goal,
                ratio <= goal ? "met" : "missed");
}

inline void printComparison(const char* what, const char* ours, const char* reference,
                            double goal) {
    std::printf("compare %s %s %s %.2f\n", what, ours, reference, goal);
}

}  // namespace zq::bench
