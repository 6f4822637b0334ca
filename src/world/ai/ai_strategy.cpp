// Strategy thinking of a computer clan: it pays for the marches its operations ordered, castle by
// castle, and calls off what it cannot pay.
#include "world/ai/ai_strategy.h"

#include <algorithm>
#include <cstdio>

#include "core/frame_wait.h"
#include "core/step_machine.h"
#include "world/ai/ai_common.h"
#include "world/slg_util.h"
#include "world/ai/ai_entry.h"
#include "world/world_ports.h"
#include "world/world_queries.h"

void AiStrategyBudget(uint32_t clan) {
  if (clan >= kDaimyoInPlay) return;
  DaimyoRecord& d = DaimyoTable[clan];
  const int tier = DaimyoTier(clan);
  int budget = SeasonIndex == 1 ? d.money : d.money / 2;
  AddDaimyoMoney(clan, -budget);
  for (int s = 0; s < kSiroCount; ++s) SiroTable[s].aiState = 0;
  uint16_t order[kVassalScan];
  std::copy(d.vassals, d.vassals + kVassalScan, order);
  SortBusyoBySoldiers(order, kVassalScan);
  for (uint16_t g : order) {
    if (g >= kBusyoCount || BusyoTable[g].marchFlag == 0) continue;
    uint16_t siro = BusyoTable[g].siro;
    if (siro >= kSiroCount || SiroTable[siro].aiState) continue;
    SiroRecord& c = SiroTable[siro];
    c.aiState = 1;
    int cost = 0;
    for (const SiroBusyoRef& r : c.list1) {
      if (r.slot == kNoSlot || r.force != clan) continue;
      uint16_t m = GetForceSlotBusyo(r.force, r.slot);
      if (m < kBusyoCount && BusyoTable[m].marchFlag) cost += (BusyoTable[m].soldiers * tier) >> 2;
    }
    if ((cost & 0xFFFF) > (budget & 0xFFFF)) {
      for (const SiroBusyoRef& r : c.list1) {
        if (r.slot == kNoSlot || r.force != clan) continue;
        uint16_t m = GetForceSlotBusyo(r.force, r.slot);
        if (m < kBusyoCount && BusyoTable[m].marchFlag) {
          BusyoTable[m].marchFlag = 0;
          BusyoTable[m].siro2 = kNoSiro;
        }
      }
    } else {
      budget -= cost;
    }
  }
  AddDaimyoMoney(clan, budget);
}

int AiStrategyThink(int clanId) {
  static int result = 0;
  static uint32_t clan = 0;
  if (StepCheckDone()) return result;
  if (StepBegin()) {
    clan = static_cast<uint32_t>(clanId);
    if (clanId < 0 || clanId >= kDaimyoInPlay || !IsDaimyoAlive(clan)) {
      StepFinish();
      return result;
    }
    ColorDaimyoKuni(clan, 2);
    char text[96];
    std::snprintf(text, sizeof text, "作戦思考中（%s）", GetBusyoName(DaimyoTable[clan].head));
    SlgScene().ShowMessage(text, 7, true);
    SetFrameWaitHalf(GameSpeedParams[0]);
    if (!FirstTurnFlag) AiStrategyBudget(clan);
    return kStepRunning;
  }
  SlgScene().ShowMessage("", 7, true);
  ColorDaimyoKuni(clan, 7);
  StepFinish();
  return result;
}
