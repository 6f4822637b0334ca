// Targets for the benchmark programs: a benchmark that names a target fails the program (non-zero
// exit) when a run misses it, so `make bench` reports slow code instead of only printing numbers.
#pragma once
#include <string>

namespace bench {

// The run's real time per iteration, in milliseconds, must stay below limitMs.
bool TimeTarget(const std::string& benchmark, double limitMs);
// The run's counter must stay below limit.
bool CounterTarget(const std::string& benchmark, const std::string& counter, double limit);

}  // namespace bench

// Registers a target at static-initialisation time, beside the BENCHMARK line it belongs to. The
// name is the run's name as the program reports it, or its start up to a '/' or '_' ("BM_X" holds
// for "BM_X/1" and "BM_X/2"; "BM_X/0" for the argument 0 alone): see V4_BENCH_TIME_TARGET_RUN.
#define V4_BENCH_CAT2(a, b) a##b
#define V4_BENCH_CAT(a, b) V4_BENCH_CAT2(a, b)
#define V4_BENCH_TIME_TARGET(name, limitMs) \
  static const bool V4_BENCH_CAT(v4BenchTarget, __LINE__) = ::bench::TimeTarget(#name, limitMs)
// A target for some runs only, named as a string ("BM_X/0").
#define V4_BENCH_TIME_TARGET_RUN(runName, limitMs) \
  static const bool V4_BENCH_CAT(v4BenchTarget, __LINE__) = ::bench::TimeTarget(runName, limitMs)
#define V4_BENCH_COUNTER_TARGET(name, counter, limit) \
  static const bool V4_BENCH_CAT(v4BenchTarget, __LINE__) = ::bench::CounterTarget(#name, counter, limit)
