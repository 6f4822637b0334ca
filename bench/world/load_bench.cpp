// Loading a full scenario of the sample world (five tables, the common tables, the placement
// rebuild and the name pass). Target: under 20 ms per load. Needs the built sample data.
#include <benchmark/benchmark.h>

#include "bench/support/bench_target.h"

#include "core/error_box.h"
#include "core/game_file.h"
#include "world/scenario_tables.h"
#include "world/world_queries.h"

static void BM_LoadScenarioTables(benchmark::State& state) {
  if (!SetModuleDirFromHost(V4_TEST_GAME_DIR)) {
    state.SkipWithError("no game folder");
    return;
  }
  std::string dir = ScenarioDirectory(0);
  for (auto _ : state) {
    SiroCheckReported = 0;
    if (!LoadScenarioTables(dir.c_str())) {
      state.SkipWithError("sample scenario 0 did not load (build sample_data first)");
      return;
    }
    benchmark::DoNotOptimize(SiroTable[0].list1[0]);
  }
}
BENCHMARK(BM_LoadScenarioTables)->Unit(benchmark::kMillisecond);
V4_BENCH_TIME_TARGET(BM_LoadScenarioTables, 20.0);

static void BM_RebuildPlacement(benchmark::State& state) {
  if (!SetModuleDirFromHost(V4_TEST_GAME_DIR) || !LoadScenarioTables(ScenarioDirectory(0).c_str())) {
    state.SkipWithError("sample scenario 0 did not load");
    return;
  }
  for (auto _ : state) {
    SiroCheckReported = 0;
    RebuildPlacement();
    benchmark::DoNotOptimize(DokuBusyoList[0]);
  }
}
BENCHMARK(BM_RebuildPlacement)->Unit(benchmark::kMillisecond);
