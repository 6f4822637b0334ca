// The computer clans' thinking over the full sample world: one round of every AI routine (military,
// politics with operations, luring, march budget, independents, events, successions), and the
// longest single logic step among them (target: under 8 ms, so the frame never hitches while the
// AI thinks). Needs the built sample data.
#include <benchmark/benchmark.h>

#include "bench/support/bench_target.h"

#include <algorithm>
#include <ctime>

#include "core/error_box.h"
#include "core/game_file.h"
#include "core/game_rand.h"
#include "core/step_machine.h"
#include "world/ai/ai_common.h"
#include "world/scenario_tables.h"
#include "world/ai/ai_entry.h"
#include "world/world_queries.h"

namespace {

double g_longestStepMs = 0;

double NowMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

// Runs a step routine to its end, timing each logic step.
const char* g_current = "";
const char* g_longestWhere = "";

template <typename F>
void RunTimed(F&& routine) {
  StepReset();
  for (int i = 0; i < 100000; ++i) {
    double t0 = NowMs();
    StepPush();
    routine();
    bool done = StepPop();
    double ms = NowMs() - t0;
    if (ms > g_longestStepMs) {
      g_longestStepMs = ms;
      g_longestWhere = g_current;
    }
    if (done) return;
  }
}

bool LoadSample() {
  if (!SetModuleDirFromHost(V4_TEST_GAME_DIR)) return false;
  if (!LoadScenarioTables(ScenarioDirectory(0).c_str())) return false;
  SetGameRandState(2024);
  PlayerDaimyoId = 0;
  NoKakuuSiroFlag = 1;
  FirstTurnFlag = 0;
  ActingSideFlag = 1;
  SiroCheckSwitch = 0;
  ResolveKuniNameTables();
  for (int k = 0; k < kKuniCount; ++k) {
    KuniTable[k].eventState = 255;
    for (int c = 0; c < kDaimyoInPlay; ++c)
      if (GetDaimyoKuniShare(k, c) >= 80) KuniTable[k].holder = static_cast<uint8_t>(c);
  }
  for (int c = 0; c < kDaimyoInPlay; ++c) {
    int revenue = 0;
    for (int k = 0; k < kKuniCount; ++k) revenue += KuniTable[k].land * GetDaimyoKuniShare(k, c) / 100;
    DaimyoTable[c].revenue = static_cast<uint16_t>(std::min(revenue, 65535));
    DaimyoTable[c].cp = 6;
  }
  return true;
}

void OneRound(int season) {
  SeasonIndex = static_cast<uint8_t>(season);
  g_current = "military";
  for (int c = 0; c < kDaimyoInPlay; ++c) {
    if (!IsDaimyoAlive(c)) continue;
    double t0 = NowMs();
    AiChooseMilitaryTargets(c);
    AiMilitaryThink(c);
    double ms = NowMs() - t0;
    g_longestStepMs = std::max(g_longestStepMs, ms);
  }
  g_current = "politics";
  for (int c = 0; c < kDaimyoInPlay; ++c) RunTimed([c] { AiPoliticsThink(c); });
  g_current = "AiPoach()";
  RunTimed([] { AiPoach(); });
  g_current = "strategy";
  for (int c = 0; c < kDaimyoInPlay; ++c) RunTimed([c] { AiStrategyThink(c); });
  g_current = "IndependentForcesThink()";
  RunTimed([] { IndependentForcesThink(); });
  g_current = "RunRandomEvents()";
  RunTimed([] { RunRandomEvents(); });
  g_current = "RunSuccession()";
  RunTimed([] { RunSuccession(); });
  for (BusyoRecord& b : BusyoTable)
    if (b.marchFlag == 1) {
      b.marchFlag = 0;
      b.siro2 = kNoSiro;
    }
}

void BM_AiRound(benchmark::State& state) {
  if (!LoadSample()) {
    state.SkipWithError("sample scenario 0 did not load (build sample_data first)");
    return;
  }
  g_longestStepMs = 0;
  int season = 0;
  for (auto _ : state) {
    OneRound(season);
    season = (season + 1) % 4;
  }
  state.counters["longest_step_ms"] = g_longestStepMs;
  state.SetLabel(g_longestWhere);
}
BENCHMARK(BM_AiRound)->Unit(benchmark::kMillisecond);
V4_BENCH_COUNTER_TARGET(BM_AiRound, "longest_step_ms", 8.0);

}  // namespace
