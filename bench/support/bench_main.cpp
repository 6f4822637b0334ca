// The main of every benchmark program: runs the benchmarks with the console output, then checks
// every run against the targets registered beside it and exits 1 when one is missed.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/support/bench_target.h"

namespace bench {
namespace {

struct Target {
  std::string benchmark;
  std::string counter;  // empty: real time per iteration in ms
  double limit;
};

std::vector<Target>& Targets() {
  static std::vector<Target> targets;
  return targets;
}

struct Result {
  std::string name;  // the run's name ("BM_X/1", "BM_X_median", ...)
  double realMs;
  benchmark::UserCounters counters;
};

// Collects every run while the console reporter prints it.
class CheckingReporter : public benchmark::ConsoleReporter {
 public:
  CheckingReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_Defaults : OO_Tabular) {}
  std::vector<Result> results;
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.error_occurred) continue;
      // Aggregates other than the median (mean, stddev, cv) are not compared.
      if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median") continue;
      double ms = r.GetAdjustedRealTime() * benchmark::GetTimeUnitMultiplier(benchmark::kMillisecond) /
                  benchmark::GetTimeUnitMultiplier(r.time_unit);
      results.push_back({r.benchmark_name(), ms, r.counters});
    }
  }
};

// "BM_X" matches "BM_X", "BM_X/arg..." and "BM_X_median", not "BM_XY".
bool Matches(const std::string& run, const std::string& name) {
  if (run.compare(0, name.size(), name) != 0) return false;
  return run.size() == name.size() || run[name.size()] == '/' || run[name.size()] == '_';
}

}  // namespace

bool TimeTarget(const std::string& benchmark, double limitMs) {
  Targets().push_back({benchmark, "", limitMs});
  return true;
}

bool CounterTarget(const std::string& benchmark, const std::string& counter, double limit) {
  Targets().push_back({benchmark, counter, limit});
  return true;
}

}  // namespace bench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  bench::CheckingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  int missed = 0;
  for (const bench::Target& t : bench::Targets()) {
    for (const bench::Result& r : reporter.results) {
      if (!bench::Matches(r.name, t.benchmark)) continue;
      double value = r.realMs;
      if (!t.counter.empty()) {
        auto it = r.counters.find(t.counter);
        if (it == r.counters.end()) continue;
        value = it->second.value;
      }
      bool ok = value < t.limit;
      std::printf("%s %s %s %.4g (target < %.4g)\n", ok ? "met " : "MISSED", r.name.c_str(),
                  t.counter.empty() ? "ms" : t.counter.c_str(), value, t.limit);
      if (!ok) ++missed;
    }
  }
  return missed ? 1 : 0;
}
