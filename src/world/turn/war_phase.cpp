#include "world/turn/war_phase.h"

#include <cstring>

#include "core/step_machine.h"
#include "world/turn/step_child.h"
#include "world/placement.h"
#include "world/turn/save_register.h"
#include "world/turn/turn_state.h"
#include "world/world_ports.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

int Finish() {
  StepFinish();
  return 0;
}

int FinishChecked() {
  CheckSiroData();
  return Finish();
}

bool HasSecondRoom(uint32_t siro) {
  const SiroRecord* s = SiroPtr(siro);
  return s && s->list2[kSiroListLen - 1].slot == kNoSlot;
}

bool HasFirstRoom(uint32_t siro) {
  const SiroRecord* s = SiroPtr(siro);
  return s && s->list1[kSiroListLen - 1].slot == kNoSlot;
}

uint16_t RefBusyo(const SiroBusyoRef& r) { return r.slot == kNoSlot ? kNoBusyo : GetForceSlotBusyo(r.force, r.slot); }

// The target's owner allows a march on it: independent, or a clan without a truce.
bool OwnerOpenToAttack(uint32_t target) {
  uint8_t owner = SiroTable[target].owner;
  return owner == kNoDaimyo || (owner < kDaimyoSlots && DaimyoTable[owner].truce == 0);
}

// Sends a general of the castle's second list back to his own castle's first list; when that is
// full, to another castle of his force with room; with none he leaves his force, so nobody is left
// standing in a second list.
void ReturnMarcher(uint32_t castle, SiroBusyoRef r) {
  uint16_t b = RefBusyo(r);
  uint16_t home = b < kBusyoCount ? BusyoTable[b].siro : kNoSiro;
  if (b < kBusyoCount) CancelMarch(b);
  if (home == castle || !HasFirstRoom(home)) {
    home = kNoSiro;
    for (uint32_t s = 0; s < kSiroCount && home == kNoSiro; ++s)
      if (s != castle && IsSiroInUse(s) && SiroTable[s].owner == r.force && HasFirstRoom(s))
        home = static_cast<uint16_t>(s);
  }
  if (home != kNoSiro && MoveSiroBusyo(castle, home, r.force, r.slot, 2) == 0) {
    if (b < kBusyoCount) BusyoTable[b].siro = home;
    return;
  }
  RemoveBusyoFromDaimyo(r.force, r.slot, castle);
  for (SiroBusyoRef& e : SiroTable[castle].list2)
    if (e.force == r.force && e.slot == r.slot) e = {kNoDaimyo, kNoSlot};
  SortSiroSlots(castle);
}

// Everyone still in the castle's second list goes back.
void ClearSecondList(uint32_t castle) {
  if (!SiroPtr(castle)) return;
  for (int guard = 0; guard < kSiroListLen && SiroTable[castle].list2[0].slot != kNoSlot; ++guard)
    ReturnMarcher(castle, SiroTable[castle].list2[0]);
}

bool InSecondList(uint32_t castle, uint8_t force, uint8_t slot) {
  const SiroRecord* s = SiroPtr(castle);
  if (!s) return false;
  for (const SiroBusyoRef& r : s->list2)
    if (r.force == force && r.slot == slot) return true;
  return false;
}

}  // namespace

void CancelMarch(uint32_t busyo) {
  if (busyo >= kBusyoCount) return;
  BusyoTable[busyo].marchFlag = 0;
  BusyoTable[busyo].siro2 = kNoSiro;
}

int CheckDefendersRetreat(uint32_t t) {
  if (!SiroPtr(t)) return 1;
  SiroRecord& s = SiroTable[t];
  int A = 0, B = 0, D = 0;
  for (const SiroBusyoRef& r : s.list2)
    if (uint16_t b = RefBusyo(r); b < kBusyoCount) A = std::max<int>(A, BusyoTable[b].soldiers);
  for (const SiroBusyoRef& r : s.list1)
    if (uint16_t b = RefBusyo(r); b < kBusyoCount) {
      B = std::max<int>(B, BusyoTable[b].soldiers);
      D += BusyoTable[b].soldiers;
    }
  const int threshold = std::min((A * 10 - 1) / 40 + 1, B);
  SiroBusyoRef attackers[kSiroListLen];
  std::memcpy(attackers, s.list2, sizeof attackers);
  int S = 0;
  for (const SiroBusyoRef& r : attackers) {
    uint16_t b = RefBusyo(r);
    if (b >= kBusyoCount) continue;
    if (BusyoTable[b].soldiers < threshold)
      ReturnMarcher(t, r);
    else
      S += BusyoTable[b].soldiers;
  }
  if (D * 2 / 3 <= S) return 0;
  ClearSecondList(t);
  return 1;
}

int WarPhase() {
  if (StepCheckDone()) return 0;
  if (StepBegin()) {
    SlgScenePort& scene = SlgScene();
    scene.ShowMessage("", 7, true);
    scene.SetPhase(4);
    scene.SetSelMode(9);
    RefreshSlgMainMap(1, -1, 0);
    ResetKuniColors();
    Adv().StartAdvScript(5);
    return kStepRunning;
  }
  switch (StepGet()) {
    case 1:
      if (FirstTurnFlag || RunChild(ResolveMarches)) StepNext();
      return kStepRunning;
    case 2:
      if (RunChild(RunClanMarches)) return Finish();
      return kStepRunning;
    default:
      return Finish();
  }
}

int ResolveMarches() {
  WarWork& w = g_TurnWork.war;
  if (IsSaveRegistering()) {
    RegisterSaveField(&w.resolveIndex, 1);
    RegisterSaveField(&w.resolveKuni, 1);
    RegisterSaveField(&w.resolveBusyo, 2);
    RegisterSaveField(&w.resolveMode, 4);
    return 0;
  }
  if (StepCheckDone()) return 0;
  if (StepBegin()) w.resolveIndex = 0;
  for (; w.resolveIndex < kDokuSlots; ++w.resolveIndex) {
    if (SubStepGet() == 0) {
      const uint16_t g = DokuBusyoList[MarchOrderList[w.resolveIndex] % kDokuSlots];
      if (g >= kBusyoCount) continue;
      const SiroRecord* s = SiroPtr(BusyoTable[g].siro);
      // A general without a castle has nothing to march from; one without a march order only has
      // his order cleared, which changes nothing the castle check reads, so neither needs a march
      // routine (and its castle check) of his own.
      if (!s) {
        CancelMarch(g);
        continue;
      }
      if (BusyoTable[g].marchFlag != 1) {
        if (s->kuni < kKuniSlots && KuniTable[s->kuni].dokuMode != 0) {
          for (const SiroBusyoRef& r : s->list1) CancelMarch(RefBusyo(r));
        } else {
          CancelMarch(g);
        }
        continue;
      }
      w.resolveBusyo = g;
      w.resolveKuni = s->kuni;
      w.resolveMode = s->kuni < kKuniSlots ? KuniTable[s->kuni].dokuMode : 0;
      SubStepSet(1);
    }
    const int order = w.resolveIndex;
    const bool done = w.resolveMode == 0 ? RunChild([order] { RunIndependentMarch(order); })
                                         : RunChild([order] { RunGarrisonMarch(order); });
    if (!done) return kStepRunning;
    SubStepSet(0);
  }
  return Finish();
}

int RunIndependentMarch(int order) {
  WarWork& w = g_TurnWork.war;
  if (IsSaveRegistering()) {
    w.indepReserved = 255;
    RegisterSaveField(&w.indepReserved, 1);
    RegisterSaveField(&w.indepListIndex, 1);
    RegisterSaveField(&w.indepBusyo, 2);
    RegisterSaveField(&w.indepSiro, 2);
    RegisterSaveField(&w.indepTarget, 2);
    return 0;
  }
  if (StepCheckDone()) return 0;
  if (StepBegin()) {
    w.indepReserved = 255;
    w.indepListIndex = MarchOrderList[order % kDokuSlots];
    w.indepBusyo = DokuBusyoList[w.indepListIndex % kDokuSlots];
    if (w.indepBusyo >= kBusyoCount) return FinishChecked();
    const BusyoRecord& b = BusyoTable[w.indepBusyo];
    w.indepSiro = b.siro;
    w.indepTarget = b.siro2;
    const SiroRecord* home = SiroPtr(w.indepSiro);
    const bool go = b.marchFlag == 1 && home && !IsKuniClosed(home->kuni) && IsSiroInUse(w.indepTarget) &&
                    OwnerOpenToAttack(w.indepTarget);
    if (!go) {
      CancelMarch(w.indepBusyo);
      return FinishChecked();
    }
    const SiroRecord& t = SiroTable[w.indepTarget];
    if (t.owner == kNoDaimyo)
      for (const SiroBusyoRef& r : t.list1)
        if (r.slot == w.indepListIndex) return FinishChecked();  // his own castle
    // A full second list takes nobody: the march ends instead of losing the general.
    if (!HasSecondRoom(w.indepTarget)) {
      CancelMarch(w.indepBusyo);
      return FinishChecked();
    }
    if (MoveSiroBusyo(w.indepSiro, w.indepTarget, kNoDaimyo, w.indepListIndex, 1) != 0) return FinishChecked();
    return kStepRunning;
  }
  const uint16_t target = w.indepTarget;
  if (!RunChild([target] { return Battle().BattleRun(target); })) return kStepRunning;
  ClearSecondList(target);
  return FinishChecked();
}

int RunGarrisonMarch(int order) {
  WarWork& w = g_TurnWork.war;
  if (IsSaveRegistering()) {
    RegisterSaveField(&w.garrisonIndex, 1);
    RegisterSaveField(&w.garrisonWork, 1);
    RegisterSaveField(&w.garrisonBusyo, 2);
    RegisterSaveField(&w.garrisonSiro, 2);
    RegisterSaveField(&w.garrisonTarget, 2);
    return 0;
  }
  if (StepCheckDone()) return 0;
  if (StepBegin()) {
    const uint8_t d = MarchOrderList[order % kDokuSlots];
    w.garrisonBusyo = DokuBusyoList[d % kDokuSlots];
    if (w.garrisonBusyo >= kBusyoCount) return FinishChecked();
    const BusyoRecord& b = BusyoTable[w.garrisonBusyo];
    w.garrisonSiro = b.siro;
    w.garrisonTarget = b.siro2;
    const SiroRecord* s = SiroPtr(w.garrisonSiro);
    const bool go = b.marchFlag == 1 && s && !IsKuniClosed(s->kuni) && IsSiroInUse(w.garrisonTarget) &&
                    w.garrisonTarget != w.garrisonSiro && OwnerOpenToAttack(w.garrisonTarget);
    w.garrisonWork = 0;
    if (go) {
      for (w.garrisonIndex = 0; w.garrisonIndex < kSiroListLen; ++w.garrisonIndex) {
        const SiroBusyoRef r = SiroTable[w.garrisonSiro].list1[0];
        if (r.slot == kNoSlot || r.force != kNoDaimyo || !HasSecondRoom(w.garrisonTarget)) break;
        if (MoveSiroBusyo(w.garrisonSiro, w.garrisonTarget, kNoDaimyo, r.slot, 1) != 0) break;
        ++w.garrisonWork;
      }
    }
    if (w.garrisonWork > 0) return kStepRunning;
    if (s)
      for (const SiroBusyoRef& r : SiroTable[w.garrisonSiro].list1) CancelMarch(RefBusyo(r));
    return FinishChecked();
  }
  const uint16_t target = w.garrisonTarget;
  if (!RunChild([target] { return Battle().BattleRun(target); })) return kStepRunning;
  ClearSecondList(target);
  return FinishChecked();
}

int RunClanMarches() {
  WarWork& w = g_TurnWork.war;
  if (IsSaveRegistering()) {
    RegisterSaveField(&w.clanPos, 1);
    RegisterSaveField(&w.clan, 1);
    return 0;
  }
  if (StepCheckDone()) return 0;
  if (StepBegin()) {
    w.clanPos = 0;
    w.clan = kNoDaimyo;
  }
  for (; w.clanPos < kDaimyoInPlay; ++w.clanPos) {
    if (SubStepGet() == 0) {
      w.clan = ClanOrderList[w.clanPos];
      if (FirstTurnFlag && w.clan != PlayerDaimyoId) continue;
      SubStepSet(1);
    }
    const int clan = w.clan;
    if (!RunChild([clan] { RunDaimyoMarches(clan); })) return kStepRunning;
    SubStepSet(0);
  }
  return Finish();
}

int RunDaimyoMarches(int clan) {
  WarWork& w = g_TurnWork.war;
  if (IsSaveRegistering()) {
    RegisterSaveField(&w.daimyoSlot, 1);
    RegisterSaveField(&w.daimyoBusyo, 2);
    RegisterSaveField(&w.daimyoSiro, 2);
    RegisterSaveField(&w.daimyoTarget, 2);
    RegisterSaveField(&w.daimyoBattleSiro, 2);
    return 0;
  }
  if (StepCheckDone()) return 0;
  if (clan < 0 || clan >= kDaimyoInPlay) return Finish();
  DaimyoRecord& d = DaimyoTable[clan];
  const bool player = clan == PlayerDaimyoId;
  if (StepBegin()) {
    w.daimyoSlot = 0;
    w.daimyoBattleSiro = kNoSiro;
    if (d.head == kNoBusyo) return Finish();
    int orders = 0;
    for (int i = 0; i < kVassalScan; ++i) {
      const uint16_t g = d.vassals[i];
      if (g >= kBusyoCount || BusyoTable[g].marchFlag != 1) continue;
      ++orders;
      w.daimyoBusyo = g;
      w.daimyoSiro = BusyoTable[g].siro;
      w.daimyoTarget = BusyoTable[g].siro2;
      const uint16_t s = w.daimyoSiro, t = w.daimyoTarget;
      bool cancel = !SiroPtr(s) || !IsSiroInUse(t) || s == t;
      if (!cancel) {
        const uint8_t owner = SiroTable[t].owner;
        cancel = (!player && IsSiroOfAlly(t, clan)) || owner == clan || d.truce == 1 ||
                 (!player && owner < kDaimyoInPlay && DaimyoTable[owner].truce == 1) || IsSiroPassBlocked(s, t) ||
                 !HasSecondRoom(t);
      }
      if (cancel || MoveSiroBusyo(s, t, static_cast<uint8_t>(clan), static_cast<uint8_t>(i), 1) != 0) CancelMarch(g);
    }
    // A clan without march orders changed nothing: no battles, nothing to check.
    if (orders == 0) return Finish();
    StepJump(1);
  }
  if (StepGet() == 2) {
    const uint16_t t = w.daimyoBattleSiro;
    if (!RunChild([t] { return Battle().BattleRun(t); })) return kStepRunning;
    ClearSecondList(t);
    ++w.daimyoSlot;
    StepJump(1);
  }
  for (; w.daimyoSlot < kVassalScan; ++w.daimyoSlot) {
    const uint16_t g = d.vassals[w.daimyoSlot];
    if (g >= kBusyoCount || BusyoTable[g].marchFlag != 1) continue;
    const uint16_t t = BusyoTable[g].siro2;
    if (!IsSiroInUse(t) || SiroTable[t].owner == clan) continue;
    // A march whose general is no longer before the castle (a battle there already ended it).
    if (!InSecondList(t, static_cast<uint8_t>(clan), w.daimyoSlot)) {
      CancelMarch(g);
      continue;
    }
    w.daimyoBusyo = g;
    w.daimyoTarget = t;
    if ((player && !IsAutoRun()) || CheckDefendersRetreat(t) == 0) {
      w.daimyoBattleSiro = t;
      StepJump(2);
      return kStepRunning;
    }
  }
  return FinishChecked();
}

void RegisterWarPhaseFields() {
  ResolveMarches();
  RunIndependentMarch(0);
  RunGarrisonMarch(0);
  RunClanMarches();
  RunDaimyoMarches(0);
  Battle().BattleRun(0);
}

const char* CheckWarStateBytes(const uint8_t* data, size_t size) {
  if (size < sizeof(WarWork) + 3) return "war-phase fields are short";
  WarWork w;
  std::memcpy(&w, data, sizeof w);
  auto busyoOk = [](uint16_t b) { return b < kBusyoCount || b == kNoBusyo; };
  auto siroOk = [](uint16_t s) { return s < kSiroSlots || s == kNoSiro || s == KakuuSiroId; };
  if (w.resolveIndex > kDokuSlots || w.garrisonIndex > kSiroListLen || w.clanPos > kDaimyoInPlay ||
      w.daimyoSlot > kVassalScan)
    return "a war-phase loop position is out of range";
  if (!busyoOk(w.resolveBusyo) || !busyoOk(w.indepBusyo) || !busyoOk(w.garrisonBusyo) || !busyoOk(w.daimyoBusyo))
    return "a war-phase general is out of range";
  if (!siroOk(w.indepSiro) || !siroOk(w.indepTarget) || !siroOk(w.garrisonSiro) || !siroOk(w.garrisonTarget) ||
      !siroOk(w.daimyoSiro) || !siroOk(w.daimyoTarget) || !siroOk(w.daimyoBattleSiro))
    return "a war-phase castle is out of range";
  if ((w.clan >= kDaimyoInPlay && w.clan != kNoDaimyo) || (w.indepListIndex >= kDokuSlots && w.indepListIndex != 255))
    return "a war-phase clan or list index is out of range";
  // The battle's block: its castle (after the mode byte) must name a castle or none.
  const uint16_t battleSiro = static_cast<uint16_t>(data[sizeof w + 1] | data[sizeof w + 2] << 8);
  if (!siroOk(battleSiro)) return "the battle's castle is out of range";
  return nullptr;
}
