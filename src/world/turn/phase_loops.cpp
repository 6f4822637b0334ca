#include "world/turn/phase_loops.h"

#include <cstdio>

#include "core/frame_wait.h"
#include "core/step_machine.h"
#include "world/turn/step_child.h"
#include "world/slg_util.h"
#include "world/turn/turn_ports.h"
#include "world/turn/turn_state.h"
#include "world/world_ports.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

bool IsPlayersTurn(int clan) { return clan == PlayerDaimyoId && !IsAutoRun(); }

// Under auto-run the player's clan is played by the rules; its turn re-arms the acting flag as
// the player's own phase does, so that a game resumed from a save goes on for every clan.
void AutoRunPlayerTurn(int clan) {
  if (clan == PlayerDaimyoId && IsAutoRun()) ActingSideFlag = 1;
}

void ShowThinking(const char* pattern, int clan) {
  char text[96];
  std::snprintf(text, sizeof text, pattern, GetBusyoName(DaimyoTable[clan].head));
  SlgScene().ShowMessage(text, 7, true);
}

}  // namespace

bool IsLivingClan(int clan) {
  if (clan < 0 || clan >= kDaimyoInPlay) return false;
  uint16_t head = DaimyoTable[clan].head;
  if (head >= kBusyoCount || head == NullBusyoId) return false;
  return FindForceSlot(static_cast<uint8_t>(clan), head) != 0xFFFF;
}

int MilitaryPhase() {
  if (StepCheckDone()) return 0;
  uint8_t& index = SlgPhaseIndex;
  if (StepBegin()) index = 0;
  for (int guard = 0; guard <= kDaimyoInPlay; ++guard) {
    if (index >= kDaimyoInPlay) {
      StepFinish();
      return 0;
    }
    const int clan = ClanOrderList[index];
    if (IsPlayersTurn(clan)) {
      if (!RunChild([] { PlayerTurn().MilitaryPhase(); })) return kStepRunning;
      if (IsGameEnded()) {
        StepFinish();
        return 0;
      }
      ++index;
      return kStepRunning;
    }
    AutoRunPlayerTurn(clan);
    if (ActingSideFlag != 1 || !IsLivingClan(clan)) {
      ++index;
      continue;
    }
    if (SubStepGet() == 0) {
      ColorDaimyoKuni(static_cast<uint32_t>(clan), 2);
      ShowThinking("軍備思考中（%s）", clan);
      SetFrameWaitHalf(GameSpeedParams[0]);
      if (!FirstTurnFlag) {
        AiTurn().ChooseMilitaryTargets(clan);
        AiTurn().MilitaryThink(clan);
      }
      SubStepSet(1);
      return kStepRunning;
    }
    ColorDaimyoKuni(static_cast<uint32_t>(clan), 7);
    SubStepSet(0);
    ++index;
    return kStepRunning;
  }
  return kStepRunning;
}

int PoliticsPhase() {
  if (StepCheckDone()) return 0;
  uint8_t& index = SlgPhaseIndex;
  if (StepBegin()) index = 0;
  if (StepGet() == 1) {
    for (int guard = 0; guard <= kDaimyoInPlay; ++guard) {
      if (index >= kDaimyoInPlay) {
        StepNext();
        break;
      }
      const int clan = ClanOrderList[index];
      if (IsPlayersTurn(clan)) {
        if (!RunChild([] { PlayerTurn().PoliticsPhase(); })) return kStepRunning;
        ActingSideFlag = 1;
        ++index;
        if (IsGameEnded()) StepNext();
        return kStepRunning;
      }
      AutoRunPlayerTurn(clan);
      if (ActingSideFlag != 1) {
        ++index;
        continue;
      }
      if (!RunChild([clan] { AiTurn().PoliticsThink(clan); })) return kStepRunning;
      ++index;
      return kStepRunning;
    }
  }
  if (StepGet() != 2) return kStepRunning;
  if (!IsGameEnded() && !RunChild([] { AiTurn().Poach(); })) return kStepRunning;
  StepFinish();
  return 0;
}

void ResetBusyoPhaseFlags() {
  for (BusyoRecord& b : BusyoTable) {
    b.cmdFlags &= static_cast<uint8_t>(~0x08);
    b.contactDaimyo = 0xFFFF;
  }
  SlgScene().SetPhase(3);
  SlgScene().SetSelMode(9);
  RefreshSlgMainMap(1, -1, 1);
}

int StrategyPhase() {
  if (StepCheckDone()) return 0;
  uint8_t& index = SlgPhaseIndex;
  if (StepBegin()) {
    index = 0;
    ResetBusyoPhaseFlags();
  }
  for (int guard = 0; guard <= kDaimyoInPlay; ++guard) {
    if (index >= kDaimyoInPlay) {
      StepFinish();
      return 0;
    }
    const int clan = ClanOrderList[index];
    if (IsPlayersTurn(clan)) {
      if (!RunChild([] { PlayerTurn().StrategyPhase(); })) return kStepRunning;
      if (IsGameEnded()) {
        StepFinish();
        return 0;
      }
      ++index;
      return kStepRunning;
    }
    AutoRunPlayerTurn(clan);
    if (ActingSideFlag != 1) {
      ++index;
      continue;
    }
    if (!RunChild([clan] { AiTurn().StrategyThink(clan); })) return kStepRunning;
    ++index;
    return kStepRunning;
  }
  return kStepRunning;
}
