// The main of every benchmark program: runs the benchmarks with the console output, then checks
// every run against the targets registered beside it and exits 1 when one is missed. A run that
// ended in an error is a miss, whether it has a target or not: nothing was measured.
// --v4_check_targets lists nothing and runs nothing: it checks that every registered target names
// a benchmark of this program (exit 1 and the names that do not).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <sstream>
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

struct Failure {
  std::string name, message;
};

// Collects every run while the console reporter prints it.
class CheckingReporter : public benchmark::ConsoleReporter {
 public:
  CheckingReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_Defaults : OO_Tabular) {}
  std::vector<Result> results;
  std::vector<Failure> failures;
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.error_occurred) {
        failures.push_back({r.benchmark_name(), r.error_message});
        continue;
      }
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

// Collects the names a listing prints (one a line) instead of showing them.
class ListingReporter : public benchmark::ConsoleReporter {
 public:
  std::ostringstream names;
  ListingReporter() { SetOutputStream(&names); }
};

int CheckTargetNames(int argc, char** argv) {
  std::vector<char*> args(argv, argv + argc);
  std::string list = "--benchmark_list_tests=true";
  args.push_back(list.data());
  int n = static_cast<int>(args.size());
  benchmark::Initialize(&n, args.data());
  ListingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::vector<std::string> names;
  std::istringstream in(reporter.names.str());
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) names.push_back(line);
  int unknown = 0;
  for (const Target& t : Targets()) {
    bool found = false;
    for (const std::string& name : names) found = found || Matches(name, t.benchmark);
    if (!found) {
      std::printf("target %s names no benchmark of this program\n", t.benchmark.c_str());
      ++unknown;
    }
  }
  std::printf("%zu targets, %zu benchmarks, %d unknown\n", Targets().size(), names.size(), unknown);
  return unknown ? 1 : 0;
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
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--v4_check_targets") != 0) continue;
    for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
    return bench::CheckTargetNames(argc - 1, argv);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  bench::CheckingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  int missed = 0;
  for (const bench::Failure& f : reporter.failures) {
    std::printf("MISSED %s: error: %s\n", f.name.c_str(), f.message.c_str());
    ++missed;
  }
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
