// The two clocks of a run timed inside one process, as bench/common.sh's
// bench_summary reads them: the wall time a user waits and the processor
// time of the whole process (every thread, the peer's too), which a busy
// machine disturbs least. The script headlines one of them, by whether the
// sides run threads.
#pragma once

#include <time.h>

#include <cstdio>

struct BenchTimes {
    double wall = 0;      // ms
    double processor = 0; // ms
};

inline BenchTimes BenchNow() {
    timespec wall, processor;
    clock_gettime(CLOCK_MONOTONIC, &wall);
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &processor);
    return {wall.tv_sec * 1e3 + wall.tv_nsec / 1e6,
            processor.tv_sec * 1e3 + processor.tv_nsec / 1e6};
}

inline BenchTimes operator-(const BenchTimes& end, const BenchTimes& start) {
    return {end.wall - start.wall, end.processor - start.processor};
}

// One line of a .samples file: "ours WALL PROCESSOR" or "peer ...".
inline void BenchWriteSample(FILE* samples, const char* side, const BenchTimes& t) {
    std::fprintf(samples, "%s %.3f %.3f\n", side, t.wall, t.processor);
}
