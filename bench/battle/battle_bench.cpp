// Hidden battles between random rosters of the sample world: every general of a castle marches
// on a neighbouring castle of another clan and the battle runs to its end (field battle, siege,
// results), as the war phase runs it. Target: 1,000 battles in under 2 s. Needs the built sample
// data.
#include <benchmark/benchmark.h>

#include "bench/support/bench_target.h"

#include <cstring>
#include <utility>
#include <vector>

#include "battle/battle_run.h"
#include "core/game_file.h"
#include "core/game_rand.h"
#include "core/step_machine.h"
#include "world/placement.h"
#include "world/scenario_tables.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

struct WorldCopy {
  std::vector<uint8_t> busyo, siro, daimyo, doku;
  void Take() {
    busyo.assign(reinterpret_cast<uint8_t*>(BusyoTable), reinterpret_cast<uint8_t*>(BusyoTable) + sizeof BusyoTable);
    siro.assign(reinterpret_cast<uint8_t*>(SiroTable), reinterpret_cast<uint8_t*>(SiroTable) + sizeof SiroTable);
    daimyo.assign(reinterpret_cast<uint8_t*>(DaimyoTable),
                  reinterpret_cast<uint8_t*>(DaimyoTable) + sizeof DaimyoTable);
    doku.assign(reinterpret_cast<uint8_t*>(DokuBusyoList),
                reinterpret_cast<uint8_t*>(DokuBusyoList) + sizeof DokuBusyoList);
  }
  void Put() const {
    std::memcpy(BusyoTable, busyo.data(), busyo.size());
    std::memcpy(SiroTable, siro.data(), siro.size());
    std::memcpy(DaimyoTable, daimyo.data(), daimyo.size());
    std::memcpy(DokuBusyoList, doku.data(), doku.size());
  }
};

bool HasGarrison(int siro) { return SiroTable[siro].list1[0].slot != kNoSlot; }

// Marches the home castle's garrison on the target and fights; false when nobody could march.
bool FightOnce(int home, int target) {
  if (!HasGarrison(home) || !HasGarrison(target) || SiroTable[target].list2[0].slot != kNoSlot) return false;
  SiroBusyoRef list[kSiroListLen];
  std::memcpy(list, SiroTable[home].list1, sizeof list);
  int marched = 0;
  for (const SiroBusyoRef& r : list) {
    if (r.slot == kNoSlot) continue;
    uint16_t g = GetForceSlotBusyo(r.force, r.slot);
    if (g >= kBusyoCount || MoveSiroBusyo(home, target, r.force, r.slot, 1) != 0) continue;
    BusyoTable[g].siro2 = static_cast<uint16_t>(target);
    BusyoTable[g].marchFlag = 1;
    ++marched;
  }
  if (marched == 0) return false;
  StepReset();
  for (int f = 0; f < 1000; ++f) {
    StepPush();
    BattleRun(target);
    if (StepPop()) break;
  }
  return true;
}

void BM_HiddenBattles(benchmark::State& state) {
  if (!SetModuleDirFromHost(V4_TEST_GAME_DIR) || !LoadScenarioTables(ScenarioDirectory(1).c_str())) {
    state.SkipWithError("sample scenario 1 did not load (build sample_data first)");
    return;
  }
  LoadWorldSystemTable();
  PlayerDaimyoId = 254;  // no clan of the player: every battle is hidden
  std::vector<std::pair<int, int>> pairs;
  for (int s = 0; s < kSiroCount; ++s) {
    if (!IsSiroInUse(s) || !HasGarrison(s)) continue;
    for (uint16_t n : SiroTable[s].neighbours)
      if (IsSiroInUse(n) && SiroTable[n].owner != SiroTable[s].owner && HasGarrison(n)) pairs.emplace_back(s, n);
  }
  if (pairs.empty()) {
    state.SkipWithError("no castles to fight over");
    return;
  }
  WorldCopy start;
  start.Take();
  int64_t battles = 0, taken = 0, rounds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    start.Put();
    SetGameRandState(20261210);
    uint32_t pick = 1;
    state.ResumeTiming();
    for (int fought = 0, tries = 0; fought < 1000 && tries < 100000; ++tries) {
      pick = pick * 1103515245u + 12345u;
      const auto& p = pairs[(pick >> 8) % pairs.size()];
      if (FightOnce(p.first, p.second)) {
        ++fought;
        taken += g_Battle.outcome == 1;
        rounds += g_Battle.round;
      }
      // Castles change hands and garrisons thin out; start again from the scenario when
      // the world has run dry of fights.
      if (tries % 5000 == 4999) start.Put();
    }
    battles += 1000;
  }
  state.counters["taken%"] = battles ? 100.0 * static_cast<double>(taken) / static_cast<double>(battles) : 0;
  state.counters["last round"] = battles ? static_cast<double>(rounds) / static_cast<double>(battles) : 0;
  state.counters["battles"] = benchmark::Counter(static_cast<double>(battles), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_HiddenBattles)->Unit(benchmark::kMillisecond);
V4_BENCH_TIME_TARGET(BM_HiddenBattles, 2000.0);

}  // namespace
