// Results of a battle written back into the world: castle strength, soldiers, the attackers'
// return, the fates of a fallen castle's defenders and the new garrison; the castle's treasure.
#include <algorithm>
#include <cstdio>

#include "battle/battle_rules.h"
#include "battle/battle_screen_port.h"
#include "world/placement.h"
#include "world/slg_util.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

BattleState& B() { return g_Battle; }

bool Status0Or1Or4(uint16_t g) {
  uint8_t k = BusyoTable[g].kizuna;
  return k == 0 || k == 1 || k == 4;
}

bool RoomIn(uint32_t siro) { return IsSiroInUse(siro) && SiroTable[siro].list1[kSiroListLen - 1].slot == kNoSlot; }

// A neighbouring castle of the general's clan that he may withdraw to, or 0xFFFF.
uint16_t WithdrawCastle(uint16_t target, uint8_t force, uint8_t slot, bool countryRule) {
  const SiroRecord* s = SiroPtr(target);
  if (!s) return kNoSiro;
  for (uint16_t nb : s->neighbours) {
    if (!IsSiroInUse(nb) || nb == target || IsSiroPassBlocked(target, nb) || !RoomIn(nb)) continue;
    const SiroRecord& n = SiroTable[nb];
    if (n.owner != force) continue;
    if (force == kNoDaimyo && countryRule) {
      const KuniRecord* k = KuniPtr(n.kuni);
      bool holds = false;
      for (const SiroBusyoRef& r : n.list1) holds |= r.force == kNoDaimyo && r.slot == slot;
      if (!(k && k->dokuMode != 0) && !holds && n.kuni != s->kuni) continue;
    }
    return nb;
  }
  return kNoSiro;
}

void Say(const char* fmt, uint16_t g) {
  char text[128];
  std::snprintf(text, sizeof text, fmt, GetBusyoName(g));
  BattleMessage(text);
  BattleWait();
}

// A clan head lost to his clan: the clan passes to its acting head and records its conqueror
// (255 none), so the clan never names a head it no longer has.
void HeadLost(uint16_t g, int conqueror) {
  uint8_t clan = GetBusyoDaimyo(g);
  if (clan < kDaimyoInPlay) HandClanToActingHead(clan, g, static_cast<uint8_t>(conqueror));
}

// Flight of a defender from the fallen castle; true when he got away.
bool BusyoFlight(BattleUnit& u) {
  BattleState& b = B();
  uint16_t g = u.general;
  if (BusyoTable[g].contactDaimyo == b.attackerClan) return false;
  uint16_t to = WithdrawCastle(b.targetSiro, u.clan, u.slot, true);
  if (to == kNoSiro) to = WithdrawCastle(b.targetSiro, u.clan, u.slot, false);
  if (to == kNoSiro) return false;
  if (MoveSiroBusyo(b.targetSiro, to, u.clan, u.slot, 0) != 0) return false;
  Say("%sは城から逃げ出した", g);
  BusyoTable[g].siro = to;
  BusyoTable[g].soldiers = 1;
  BusyoTable[g].guns = 0;
  u.general = kNoUnitGeneral;
  u.firstGeneral = kNoUnitGeneral;
  return true;
}

void SendHome(uint16_t target, const SiroBusyoRef r) {
  uint16_t g = GetForceSlotBusyo(r.force, r.slot);
  if (g >= kBusyoCount) return;
  uint16_t home = BusyoTable[g].siro;
  // A full home castle: another castle of the clan with room. A general with nowhere to go
  // leaves his clan rather than stay behind in the enemy's castle.
  if (!RoomIn(home) || home == target) home = r.force < kDaimyoInPlay ? FindDaimyoFreeSiro(r.force, false) : kNoSiro;
  if (home == kNoSiro || !RoomIn(home) || MoveSiroBusyo(target, home, r.force, r.slot, 2) != 0) {
    HeadLost(g, kNoDaimyo);
    RemoveBusyoFromDaimyo(r.force, r.slot, target);
    return;
  }
  BusyoTable[g].siro = home;
  BusyoTable[g].marchFlag = 0;
  BusyoTable[g].siro2 = kNoSiro;
}

}  // namespace

int BusyoGainExperience2(uint32_t busyo) {
  if (busyo >= kBusyoCount) return 0;
  int gain = RollBusyoGrowth(2, busyo, BusyoTable[busyo].experience);
  BusyoTable[busyo].progress = static_cast<uint16_t>(BusyoTable[busyo].progress + gain);
  return gain;
}

int BusyoGainExperience3(uint32_t busyo) {
  if (busyo >= kBusyoCount) return 0;
  int gain = RollBusyoGrowth(3, busyo, BusyoTable[busyo].experience);
  BusyoTable[busyo].progress = static_cast<uint16_t>(BusyoTable[busyo].progress + gain);
  return gain;
}

int BusyoGainExperience4(uint32_t busyo, int, int count) {
  if (busyo >= kBusyoCount) return 0;
  int gain = RollBusyoGrowth(4, busyo, count);
  BusyoTable[busyo].progress = static_cast<uint16_t>(BusyoTable[busyo].progress + gain);
  return gain;
}

namespace {

int g_resultStage = 0;  // 0 write-back, 1 fates, 2 garrison and marches
int g_fateUnit = 0;     // defender unit whose fate is being settled
bool g_fateDecided = false;

// Steps 1 to 4 and the escapes: false when the castle held (the fates are skipped).
bool ResultsWriteBack() {
  BattleState& b = B();
  BattleSide& att = b.sides[b.attackerSide];
  BattleSide& def = b.sides[b.defenderSide];
  uint16_t target = b.targetSiro;
  SiroRecord* siro = SiroPtr(target);
  BattleScreen().LeaveBattleScene(b.mode);
  // The fates that follow are told on the map: the battle scene has gone.
  BattleSceneLeft();
  // The castle keeps half of the strength it lost.
  siro->level = static_cast<uint8_t>(siro->level - (siro->level - b.siroLevel) / 2);
  int attackersLeft = 0;
  for (int side = 0; side < 2; ++side)
    for (BattleUnit& u : b.sides[side].units) {
      uint16_t g = u.firstGeneral;
      if (g >= kBusyoCount || u.copyMark) continue;
      BusyoRecord& r = BusyoTable[g];
      r.soldiers = u.soldiers;
      r.guns = u.guns;
      if (u.lost == 1) {
        HeadLost(g, kNoDaimyo);
        RemoveBusyoFromDaimyo(u.clan, u.slot, r.siro);
        u.general = kNoUnitGeneral;
        u.firstGeneral = kNoUnitGeneral;
        continue;
      }
      if (side != b.attackerSide) {
        r.marchFlag = 0;
        r.siro2 = kNoSiro;
      }
      if (side == b.attackerSide && u.general != kNoUnitGeneral) ++attackersLeft;
    }
  if (att.status != 0 && attackersLeft > 0) {
    SiroBusyoRef list[kSiroListLen];
    std::copy(siro->list2, siro->list2 + kSiroListLen, list);
    for (const SiroBusyoRef& r : list)
      if (r.slot != kNoSlot) SendHome(target, r);
  }
  // The castle changed hands exactly when the battle's outcome says so.
  if (b.outcome != 1) return false;
  for (int pass = 0; pass < 2; ++pass)
    for (BattleUnit& u : def.units) {
      uint16_t g = u.general;
      if (g >= kBusyoCount || u.lost == 2) continue;
      bool first = Status0Or1Or4(g);
      if (first != (pass == 0)) continue;
      bool head = def.clan < kDaimyoInPlay && DaimyoTable[def.clan].head == g;
      // A clan head and a general with his flight word set always try to get away.
      bool always = head || BusyoTable[g].charFlag != 0;
      if (always || SlgRandom(100) < (pass == 0 ? 70 : 50)) BusyoFlight(u);
    }
  return true;
}

// The fate of one remaining defender; false while the player decides on a surrender.
bool SettleFate(BattleUnit& u) {
  BattleState& b = B();
  BattleSide& att = b.sides[b.attackerSide];
  BattleSide& def = b.sides[b.defenderSide];
  uint16_t target = b.targetSiro;
  int attClan = b.attackerClan;
  uint16_t g = u.general;
  uint8_t status = BusyoTable[g].kizuna;
  int freeUnit = -1;
  for (int k = 0; k < kBattleUnits && freeUnit < 0; ++k)
    if (att.units[k].general == kNoUnitGeneral) freeUnit = k;
  if (!g_fateDecided) {
    int fate = u.lost == 2 ? 2 : 0;
    if (attClan != kNoDaimyo && fate != 2) {
      bool pass = true;
      if (g_BattleConfig.surrenderTest) {
        if (status == 0 || status == 2)
          pass = SlgRandom(20) > BusyoTable[g].loyalty;
        else
          pass = SlgRandom(100) < 70 + def.siegeBonus * 15 * 2 / 100;
      }
      if (pass) fate = 2;
    } else if (attClan == kNoDaimyo) {
      fate = 0;
    }
    // Surrender needs room: a free attacker unit and a free vassal slot among the winner's scanned
    // ones (free castle places do not count: a full castle still takes him by his castle field).
    if (fate == 2 && (freeUnit < 0 || attClan >= kDaimyoInPlay || CountDaimyoBusyo(attClan) >= kVassalScan)) fate = 0;
    if (fate == 2 && attClan == PlayerDaimyoId && (status == 3 || status == 4) && ScenarioNumber == 3 &&
        g_BattleConfig.eventBlock == 0)
      fate = 3;
    u.lost = static_cast<uint8_t>(fate);
    g_fateDecided = true;
    if (fate == 2) Say("%sは、降伏しました", g);
  }
  if (u.lost == 2) {
    int answer = 18;
    if (attClan == PlayerDaimyoId && !g_BattleConfig.turnLimit) {
      answer = BattleScreen().AcceptSurrender(g);
      if (answer == -1) return false;
    }
    if (answer != 18) {
      Say("%sは、切腹した", g);
      HeadLost(g, attClan);
      RemoveBusyoFromDaimyo(u.clan, u.slot, target);
    } else {
      bool wasHead = u.clan < kDaimyoInPlay && DaimyoTable[u.clan].head == g;
      int fromClan = u.clan;
      int slot = AddBusyoToDaimyo(g, u.clan, u.slot, target, static_cast<uint32_t>(attClan), target);
      if (slot >= 0) {
        if (wasHead) HandClanToActingHead(fromClan, g, static_cast<uint8_t>(attClan));
        if (freeUnit >= 0) {
          BattleUnit& nu = att.units[freeUnit];
          nu = u;
          nu.clan = static_cast<uint8_t>(attClan);
          nu.slot = static_cast<uint8_t>(slot);
        }
      }
    }
  } else if (u.lost == 3) {
    Say("%sは、捕虜となりました", g);
    HeadLost(g, attClan);
    SetBusyoFlag(g, true, false);
  } else {
    Say(status == 2 ? "%sが殲滅されました" : "%sは、切腹した", g);
    HeadLost(g, attClan);
    RemoveBusyoFromDaimyo(u.clan, u.slot, target);
  }
  u.general = kNoUnitGeneral;
  return true;
}

// Retreated defenders, the new garrison and the end of every march.
void ResultsFinish(bool lost) {
  BattleState& b = B();
  BattleSide& att = b.sides[b.attackerSide];
  BattleSide& def = b.sides[b.defenderSide];
  uint16_t target = b.targetSiro;
  SiroRecord* siro = SiroPtr(target);
  int attClan = b.attackerClan;
  if (lost) {
    // Defenders who had left the castle withdraw to a neighbour of their clan.
    if (b.preSiegeDefenderStatus == 2) {
      for (BattleUnit& u : def.units) {
        uint16_t g = u.firstGeneral;
        if (g >= kBusyoCount || u.lost == 2 || FindForceSlot(u.clan, g) == 0xFFFF) continue;
        bool stationed = false;
        for (const SiroBusyoRef& r : siro->list1) stationed |= r.force == u.clan && r.slot == u.slot;
        if (!stationed) continue;
        uint16_t to = WithdrawCastle(target, u.clan, u.slot, true);
        if (to != kNoSiro && MoveSiroBusyo(target, to, u.clan, u.slot, 0) == 0) {
          BusyoTable[g].siro = to;
          continue;
        }
        Say(BusyoTable[g].kizuna == 2 ? "%sが殲滅されました" : "%sは逃走に失敗しました", g);
        HeadLost(g, attClan);
        RemoveBusyoFromDaimyo(u.clan, u.slot, target);
      }
    }
    // Whoever of the garrison the battle did not place leaves the castle.
    SiroBusyoRef list[kSiroListLen];
    std::copy(siro->list1, siro->list1 + kSiroListLen, list);
    for (const SiroBusyoRef& r : list) {
      uint16_t g = GetForceSlotBusyo(r.force, r.slot);
      if (r.slot == kNoSlot || r.force == attClan || g >= kBusyoCount) continue;
      uint16_t to = WithdrawCastle(target, r.force, r.slot, false);
      if (to != kNoSiro && MoveSiroBusyo(target, to, r.force, r.slot, 0) == 0) {
        BusyoTable[g].siro = to;
      } else {
        HeadLost(g, attClan);
        RemoveBusyoFromDaimyo(r.force, r.slot, target);
      }
    }
    // The attackers take the castle.
    std::copy(siro->list2, siro->list2 + kSiroListLen, list);
    for (const SiroBusyoRef& r : list) {
      uint16_t g = GetForceSlotBusyo(r.force, r.slot);
      if (r.slot == kNoSlot || !RoomIn(target) || MoveSiroBusyo(target, target, r.force, r.slot, 2) != 0) continue;
      if (g < kBusyoCount) {
        BusyoTable[g].siro = static_cast<uint16_t>(target);
        BusyoTable[g].marchFlag = 0;
        BusyoTable[g].siro2 = kNoSiro;
      }
    }
    siro->owner = static_cast<uint8_t>(attClan);
    siro->lord = static_cast<uint8_t>(attClan);
  }
  // Nobody stays in the castle's second list: a marcher the battle did not place goes home.
  {
    SiroBusyoRef list[kSiroListLen];
    std::copy(siro->list2, siro->list2 + kSiroListLen, list);
    for (const SiroBusyoRef& r : list)
      if (r.slot != kNoSlot) SendHome(target, r);
  }
  // Every attacker's march has ended, wherever he stands now.
  for (BattleUnit& u : att.units) {
    uint16_t g = u.firstGeneral;
    if (g >= kBusyoCount) continue;
    BusyoTable[g].marchFlag = 0;
    BusyoTable[g].siro2 = kNoSiro;
    if (lost && FindForceSlot(u.clan, g) != 0xFFFF) {
      for (const SiroBusyoRef& r : siro->list1)
        if (r.force == u.clan && r.slot == u.slot) BusyoTable[g].siro = target;
    }
  }
}

}  // namespace

bool BattleResultsStep() {
  BattleState& b = B();
  if (!SiroPtr(b.targetSiro)) return true;
  if (g_resultStage == 0) {
    g_fateUnit = 0;
    g_fateDecided = false;
    g_resultStage = ResultsWriteBack() ? 1 : 2;
  }
  if (g_resultStage == 1) {
    BattleSide& def = b.sides[b.defenderSide];
    for (; g_fateUnit < kBattleUnits; ++g_fateUnit, g_fateDecided = false) {
      BattleUnit& u = def.units[g_fateUnit];
      if (u.general >= kBusyoCount) continue;
      if (!SettleFate(u)) return false;
    }
    g_resultStage = 2;
  }
  ResultsFinish(b.outcome == 1);
  g_resultStage = 0;
  return true;
}

void BattleResults() {
  while (!BattleResultsStep()) {}
}

int BattleAftermathFind() {
  BattleState& b = B();
  SiroRecord* siro = SiroPtr(b.targetSiro);
  if (!siro || b.outcome != 1 || b.attackerClan != PlayerDaimyoId) return 0;
  if (siro->treasureChance == 0) return 0;
  bool found = CrtRand() % 100 < siro->treasureChance || b.sides[b.defenderSide].cutOff;
  if (!found) return 0;
  uint16_t item = siro->treasure[CrtRand() % 10];
  // Only a real item goes to the stock; the castle's chance is used up either way.
  if (item >= 1 && item <= kItemCount) AddItemStock(item, 1);
  siro->treasureChance = 0;
  return item >= 1 && item <= kItemCount ? item : 0;
}
