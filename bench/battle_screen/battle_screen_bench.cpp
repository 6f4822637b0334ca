// The battle screen's logic of one phase change, as the scene runs it: the enable table for every
// entry of every command set and the field placement of the twelve unit figures, on a five-lane
// field with both sides deployed. Target: well under the 3 ms a frame's battle logic may take.
#include <benchmark/benchmark.h>

#include "bench/support/bench_target.h"

#include "battle/battle_orders.h"
#include "battle/battle_rules.h"
#include "battle/battle_state.h"
#include "screens/battle/field_view.h"

namespace {

void SetUpField() {
  g_Battle = BattleState();
  g_Battle.laneCount = 5;
  g_Battle.siroSize = 2;
  for (int side = 0; side < 2; ++side) {
    for (int i = 0; i < kBattleUnits; ++i) {
      BattleUnit& u = g_Battle.sides[side].units[i];
      u.general = static_cast<uint16_t>(side * 6 + i + 1);
      u.soldiers = u.guns = 30;
      u.morale = u.maxMorale = 100;
      u.kind = 1;
      if (i < 5) {
        u.lane = static_cast<uint8_t>(i);
        g_Battle.slots[side][i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(side == 0 ? 3 : 4), 255, 0};
      }
    }
    g_Battle.sides[side].units[0].commander = 1;
    SideSoldierTotal(side);
  }
  BuildBattleOrder();
}

void BM_KassenPhaseRefresh(benchmark::State& state) {
  SetUpField();
  for (auto _ : state) {
    int enabled = 0;
    for (int set = 0; set < kKassenCommandSets; ++set)
      for (int i = 0; i < kKassenCommandButtons; ++i) {
        KassenCommandEntry e = KassenCommandSet(set, i);
        enabled += e.code >= 0 && IsBattleCommandEnabled(e.code);
      }
    float sum = 0;
    for (int side = 0; side < 2; ++side)
      for (int i = 0; i < kBattleUnits; ++i) {
        const BattleUnit& u = g_Battle.sides[side].units[i];
        if (u.lane >= g_Battle.laneCount) continue;
        float x = 0, y = 0;
        KassenFieldScreen(KassenFieldPosition(g_Battle.siroSize, u.lane + 1, g_Battle.slots[side][u.lane].column, {}),
                          x, y);
        sum += x + y;
      }
    benchmark::DoNotOptimize(enabled);
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_KassenPhaseRefresh)->Unit(benchmark::kMicrosecond);
V4_BENCH_TIME_TARGET(BM_KassenPhaseRefresh, 3.0);

}  // namespace
