#include "world/turn/interim_battle.h"

#include <cstring>

#include "core/step_machine.h"
#include "world/placement.h"
#include "world/slg_util.h"
#include "world/turn/save_register.h"
#include "world/world_ports.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

InterimBattleState g_InterimBattle{};

namespace {

uint16_t RefBusyo(const SiroBusyoRef& r) {
  if (r.slot == kNoSlot) return kNoBusyo;
  return GetForceSlotBusyo(r.force, r.slot);
}

int SideSoldiers(const SiroBusyoRef (&list)[kSiroListLen]) {
  int sum = 0;
  for (const SiroBusyoRef& r : list) {
    uint16_t b = RefBusyo(r);
    if (b < kBusyoCount) sum += BusyoTable[b].soldiers;
  }
  return sum;
}

// Each general of the list loses soldiers x num / den (integer), guns capped at soldiers.
void TakeLosses(const SiroBusyoRef (&list)[kSiroListLen], int num, int den) {
  if (den <= 0) return;
  for (const SiroBusyoRef& r : list) {
    uint16_t b = RefBusyo(r);
    if (b >= kBusyoCount) continue;
    BusyoRecord& g = BusyoTable[b];
    int loss = g.soldiers * num / den;
    int left = g.soldiers - loss;
    g.soldiers = static_cast<uint8_t>(left < 0 ? 0 : left);
    if (g.guns > g.soldiers) g.guns = g.soldiers;
  }
}

void EndMarch(uint16_t b) {
  BusyoTable[b].marchFlag = 0;
  BusyoTable[b].siro2 = kNoSiro;
}

bool HasRoom(uint32_t siro) { return SiroPtr(siro) && SiroTable[siro].list1[kSiroListLen - 1].slot == kNoSlot; }

// A castle of the force with room, its neighbours of the given castle first; 0xFFFF none.
uint16_t FindRefuge(uint8_t force, uint32_t near, uint32_t except) {
  if (const SiroRecord* s = SiroPtr(near))
    for (uint16_t n : s->neighbours)
      if (n != except && IsSiroInUse(n) && SiroTable[n].owner == force && HasRoom(n)) return n;
  for (uint32_t c = 0; c < kSiroCount; ++c)
    if (c != except && IsSiroInUse(c) && SiroTable[c].owner == force && HasRoom(c)) return static_cast<uint16_t>(c);
  return kNoSiro;
}

// Sends every general of the castle's second list back to his castle (or, when that is full, to
// another castle of his force; with none he leaves his force).
void SendAttackersHome(uint32_t t) {
  for (int guard = 0; guard < kSiroListLen; ++guard) {
    SiroBusyoRef r = SiroTable[t].list2[0];
    if (r.slot == kNoSlot) return;
    uint16_t b = RefBusyo(r);
    uint16_t home = b < kBusyoCount ? BusyoTable[b].siro : kNoSiro;
    if (b < kBusyoCount) EndMarch(b);
    if (!HasRoom(home) || home == t) home = FindRefuge(r.force, home, t);
    if (home != kNoSiro && MoveSiroBusyo(t, home, r.force, r.slot, 2) == 0) {
      if (b < kBusyoCount) BusyoTable[b].siro = home;
      continue;
    }
    // A clan head with nowhere to go passes his clan to its acting head, as the battle rules do.
    if (b < kBusyoCount) HandClanToActingHead(r.force, b, kNoDaimyo);
    RemoveBusyoFromDaimyo(r.force, r.slot, t);
    if (SiroTable[t].list2[0].slot == r.slot && SiroTable[t].list2[0].force == r.force) {
      SiroTable[t].list2[0] = {kNoDaimyo, kNoSlot};
      SortSiroSlots(t);
    }
  }
}

// The garrison withdraws, then the attackers take the castle.
void TakeCastle(uint32_t t, uint8_t force) {
  for (int guard = 0; guard < kSiroListLen; ++guard) {
    SiroBusyoRef r = SiroTable[t].list1[0];
    if (r.slot == kNoSlot) break;
    uint16_t b = RefBusyo(r);
    uint16_t refuge = FindRefuge(r.force, t, t);
    if (b < kBusyoCount) EndMarch(b);
    if (refuge != kNoSiro && b < kBusyoCount && r.force != kNoDaimyo && MoveVassalToSiro(b, r.force, refuge)) continue;
    if (refuge != kNoSiro && MoveSiroBusyo(t, refuge, r.force, r.slot, 0) == 0) {
      if (b < kBusyoCount) BusyoTable[b].siro = refuge;
      continue;
    }
    if (b < kBusyoCount) HandClanToActingHead(r.force, b, force);
    RemoveBusyoFromDaimyo(r.force, r.slot, t);
    if (SiroTable[t].list1[0].slot == r.slot && SiroTable[t].list1[0].force == r.force) {
      SiroTable[t].list1[0] = {kNoDaimyo, kNoSlot};
      SortSiroSlots(t);
    }
  }
  SiroTable[t].owner = force;
  SiroTable[t].lord = force;
  for (int guard = 0; guard < kSiroListLen; ++guard) {
    SiroBusyoRef r = SiroTable[t].list2[0];
    if (r.slot == kNoSlot) break;
    uint16_t b = RefBusyo(r);
    if (b < kBusyoCount) EndMarch(b);
    if (r.force == force && MoveSiroBusyo(t, t, r.force, r.slot, 2) == 0) {
      if (b < kBusyoCount) BusyoTable[b].siro = static_cast<uint16_t>(t);
      continue;
    }
    break;
  }
  SendAttackersHome(t);  // anyone of another force, or beyond the room
}

void Resolve(InterimBattleState& st) {
  const uint32_t t = st.castle;
  SiroRecord& s = SiroTable[t];
  const int attack = SideSoldiers(s.list2);
  const int defence = SideSoldiers(s.list1) + 2 * s.level;
  // One draw: the attack counts 80 to 120 per cent.
  const int weighted = attack * (80 + SlgRandom(41)) / 100;
  const bool taken = attack > 0 && weighted > defence;
  TakeLosses(s.list2, defence, 2 * (attack + defence));
  TakeLosses(s.list1, attack, 2 * (attack + defence));
  st.outcome = taken ? 1 : 2;
  if (taken)
    TakeCastle(t, st.attackerForce);
  else
    SendAttackersHome(t);
}

void RegisterState(InterimBattleState& st) {
  RegisterSaveField(&st.mode, 1);
  RegisterSaveField(&st.castle, 2);
  RegisterSaveField(&st.level, 1);
  RegisterSaveField(&st.round, 1);
  RegisterSaveField(&st.attackerForce, 1);
  RegisterSaveField(&st.outcome, 1);
  RegisterSaveField(st.work, sizeof st.work);
  RegisterSaveField(st.spare, sizeof st.spare);
}

}  // namespace

int InterimBattleRun(int castle) {
  InterimBattleState& st = g_InterimBattle;
  if (IsSaveRegistering()) {
    RegisterState(st);
    return 0;
  }
  if (StepCheckDone()) return 0;
  if (StepBegin()) {
    std::memset(&st, 0, sizeof st);
    st.castle = static_cast<uint16_t>(castle);
    if (!SiroPtr(castle)) {
      StepFinish();
      return 0;
    }
    st.level = SiroTable[castle].level;
    st.attackerForce = SiroTable[castle].list2[0].force;
    st.mode = (SiroTable[castle].owner == PlayerDaimyoId || st.attackerForce == PlayerDaimyoId) ? 2 : 0;
    return kStepRunning;
  }
  if (!SiroPtr(st.castle)) {
    StepFinish();
    return 0;
  }
  if (++st.round < kInterimBattleRounds) return kStepRunning;
  Resolve(st);
  StepFinish();
  return 0;
}

int BattlePort::BattleRun(int castle) { return InterimBattleRun(castle); }
const char* BattlePort::BattleResolverName() const { return "interim resolver (no field battles)"; }
