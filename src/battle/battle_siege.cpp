// The castle siege after the field battle: at most three rounds of storming or besieging the
// castle's strength, and the defenders' surrender.
#include <algorithm>
#include <cstdio>

#include "battle/battle_rules.h"
#include "battle/battle_screen_port.h"
#include "core/game_rand.h"
#include "world/slg_util.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

BattleState& B() { return g_Battle; }
int g_siegePhase = 0;     // 0 rounds running, 1 outcome pending, 2 over
int g_siegeGaugeMax = 1;  // the castle gauge's full value: the strength the siege began with
int g_skillsRound = 0;    // the round whose skill phase has run

// The castle gauge of a hand-fought battle follows the strength; it counts only with the battle's
// animation on.
void ShowSiegeStrength() {
  if (B().mode == 2) BattleScreen().ShowSiegeGauge(B().siroLevel, g_siegeGaugeMax, g_BattleConfig.animation != 0);
}

// A draw below n: the game generator's byte-sized draw for castle strengths it can hold, a
// full-width draw beyond, so strong castles do not wrap to a tiny range.
int SiegeDraw(int n) { return n <= 255 ? SlgRandom(static_cast<uint8_t>(n)) : GameRandBelow(n); }

struct Powers {
  int64_t attacker = 0, defender = 0;
};

int BestStat1Fifth(int side) {
  int best = 0;
  for (const BattleUnit& u : B().sides[side].units)
    if (u.general != kNoUnitGeneral) best = std::max(best, GetBusyoStat1(u.general) / 5);
  return best;
}

Powers ComputePowers() {
  BattleState& b = B();
  Powers p;
  for (int side : {static_cast<int>(b.attackerSide), static_cast<int>(b.defenderSide)}) {
    for (const BattleUnit& u : b.sides[side].units) {
      if (u.general == kNoUnitGeneral) continue;
      int i = u.soldiers - u.guns;
      int g = std::min<int>(u.guns, (i + u.guns) * 3 / 5);
      if (side == b.attackerSide)
        p.attacker += static_cast<int64_t>(i + 3 * g) * u.morale;
      else
        p.defender += static_cast<int64_t>(i + 5 * g) * u.morale / 3;
    }
    SideSoldierTotal(side);
  }
  return p;
}

void SiegeMoraleReset() {
  BattleState& b = B();
  for (int side = 0; side < 2; ++side) {
    BattleSide& s = b.sides[side];
    for (BattleUnit& u : s.units) {
      if (u.general == kNoUnitGeneral) {
        u.morale = 0;
        u.lane = kNoLane;
        continue;
      }
      int m = static_cast<int>((GetBusyoStat1(u.general) + s.commanderStat) / 5.0 + ClanMorale(s.clan));
      if (BusyoTable[u.general].contactDaimyo == b.sides[Opposite(side)].clan) m = m * 50 / 100;
      m = std::min(m, 255);
      u.morale = u.maxMorale = u.startMorale = static_cast<uint8_t>(m);
      u.lane = static_cast<uint8_t>(s.isDefender + 4);
    }
    SideMoraleTotal(side);
  }
}

}  // namespace

void BeginBattleSiege() {
  BattleState& b = B();
  BattleSide& att = b.sides[b.attackerSide];
  BattleSide& def = b.sides[b.defenderSide];
  b.weather = 0;
  b.fieldBattle = 0;
  b.preSiegeDefenderStatus = def.status;
  b.defendersLeft = 0;
  g_siegePhase = 0;
  if (att.status != 0) {
    g_siegePhase = 2;
    return;
  }
  if (def.status >= 2) {
    // The defenders left the castle. Their units keep the general they were formed with, so the
    // results can still write their soldiers back.
    for (BattleUnit& u : def.units) u.general = kNoUnitGeneral;
    b.defendersLeft = 6;
  }
  SiegeMoraleReset();
  g_siegeGaugeMax = std::max<int>(1, b.siroLevel);
  if (b.mode == 2) {
    BattleScreen().ShowSiegePanels();
    BattleScreen().ShowSiegeCastle(GetSiroName(b.targetSiro, true), b.siroLevel, g_siegeGaugeMax);
  }
  if (g_BattleConfig.debugAutoWin || def.cutOff) {
    g_siegePhase = 1;
    return;
  }
  def.status = 0;
  g_skillsRound = 0;
  b.round = 1;
  b.roundLimit = 3;
  for (BattleSide& s : b.sides)
    for (BattleUnit& u : s.units) u.skillCount[0] = u.skillCount[1] = u.skillCount[2] = 0;
}

int BattleSiegeAiOrder() {
  BattleState& b = B();
  const BattleSide& att = b.sides[b.attackerSide];
  if (att.clan == kNoDaimyo) return kOrderBesiege;
  int order = b.round == 1 ? kOrderStorm : kOrderRetreat;
  for (const BattleUnit& u : att.units)
    if (u.general != kNoUnitGeneral && SideClanMoney(b.attackerSide) >= SiegeEndurance(b.attackerSide))
      order = kOrderBesiege;
  return order;
}

void SiegeAction(int order) {
  BattleState& b = B();
  BattleSide& att = b.sides[b.attackerSide];
  Powers p = ComputePowers();
  int clanMorale = ClanMorale(b.sides[b.defenderSide].clan);
  p.defender += static_cast<int64_t>(b.siroLevel) * (BestStat1Fifth(b.defenderSide) + clanMorale) * 3;
  int strength = b.siroLevel;
  int64_t damage, losses = 0;
  int64_t divisor = std::max<int64_t>(1, p.defender) * 25;
  char text[128];
  if (order == kOrderBesiege) {
    if (att.clan < kDaimyoInPlay) {
      DaimyoRecord& d = DaimyoTable[att.clan];
      d.money = static_cast<uint16_t>(std::max(0, d.money - SiegeEndurance(b.attackerSide)));
    }
    damage = (SiegeDraw(strength + 25) + 25) * (att.besiegeRate * p.attacker / 100) / divisor;
    if (b.mode == 2) {
      if (att.clan == PlayerDaimyoId)
        std::snprintf(text, sizeof text, "%s城を包囲します", GetSiroName(b.targetSiro, false));
      else
        std::snprintf(text, sizeof text, "%sに包囲されました", ForceName(att.clan));
      BattleMessage(text);
      PlayBattleVoice(b.attackerSide, CommanderUnit(b.attackerSide), 19);
      BattleScreen().PlaySoundEffect(18);
    }
  } else {
    damage = (SiegeDraw(strength + 50) + 50) * (att.stormRate * p.attacker / 100) / divisor;
    losses = (SlgRandom(20) + 10) * static_cast<int64_t>(att.siegeLossRate) * p.defender / 800000;
    if (b.mode == 2) {
      if (att.clan == PlayerDaimyoId)
        std::snprintf(text, sizeof text, "%s城を強襲します", GetSiroName(b.targetSiro, false));
      else
        std::snprintf(text, sizeof text, "%sに強襲されました", ForceName(att.clan));
      BattleMessage(text);
      const int commander = CommanderUnit(b.attackerSide);
      PlayBattleVoice(b.attackerSide, commander, 19);
      BattleScreen().PlaySoundEffect(30);
    }
  }
  // Losses one soldier at a time, round the units, never below one soldier.
  bool took = true;
  while (losses > 0 && took) {
    took = false;
    for (BattleUnit& u : att.units) {
      if (losses <= 0) break;
      if (u.general == kNoUnitGeneral || u.soldiers < 2) continue;
      --u.soldiers;
      if (u.guns > u.soldiers) u.guns = u.soldiers;
      if (att.soldiers > 0) --att.soldiers;
      --losses;
      took = true;
    }
  }
  if (att.status != 1) b.siroLevel = static_cast<uint8_t>(std::max<int64_t>(0, strength - damage));
  ShowSiegeStrength();
  if (order == kOrderStorm && b.mode == 2) BattleScreen().ShakeSiegeGate();
  // The round's attack stays in the message line for the battle's wait, so a siege the player
  // watches does not flash its rounds by.
  if (b.mode == 2) BattleWait();
}

void SiegeSurrender() {
  BattleState& b = B();
  BattleSide& att = b.sides[b.attackerSide];
  BattleSide& def = b.sides[b.defenderSide];
  bool autoWin = g_BattleConfig.debugAutoWin != 0;
  if (att.status != 0 || b.siroLevel == 0 || b.round == 3 || att.clan == kNoDaimyo) return;
  int count = 0, lone = -1;
  for (int i = 0; i < kBattleUnits; ++i) {
    const BattleUnit& u = def.units[i];
    if (u.general == kNoUnitGeneral || u.soldiers == 0 || u.morale == 0) continue;
    count += BusyoTable[u.general].kizuna != 0 ? 10 : 1;
    lone = i;
  }
  if (count > 1) return;
  if (count == 0) lone = -1;
  Powers p = ComputePowers();
  int clanMorale = ClanMorale(def.clan);
  p.defender += static_cast<int64_t>(b.siroLevel + 2) * (BestStat1Fifth(b.defenderSide) + clanMorale) * 4;
  if (!autoWin && 3 * p.defender > p.attacker) return;
  char text[128];
  if (def.clan == PlayerDaimyoId) {
    if (lone >= 0)
      std::snprintf(text, sizeof text, "%sが降伏しそうです", GetBusyoName(def.units[lone].general));
    else
      std::snprintf(text, sizeof text, "守備兵が降伏しそうです");
  } else {
    std::snprintf(text, sizeof text, "敵は、降伏するかもしれません");
  }
  BattleMessage(text);
  BattleWait();
  if (!autoWin) {
    uint32_t gate = p.defender > 0 ? static_cast<uint32_t>(p.attacker * 10 / p.defender - 30) : 0xFFFFFFFFu;
    if (static_cast<uint32_t>(SlgRandom(100)) < gate) return;
  }
  if (lone >= 0) {
    BattleUnit& u = def.units[lone];
    if (!autoWin && SlgRandom(20) < BusyoTable[u.general].loyalty) return;
    if (att.units[5].general != kNoUnitGeneral) return;
    u.lost = 2;
  } else {
    BattleResultMessage(def.clan == PlayerDaimyoId ? "開城しました" : "敵は、開城しました");
  }
  PlayBattleVoice(b.attackerSide, CommanderUnit(b.attackerSide), 20);
  if (BattleShownInScene()) BattleScreen().ShowSurrender();
  BattleWait();
  def.status = 1;
  b.outcome = 1;
}

bool BattleSiegeStep() {
  BattleState& b = B();
  BattleSide& att = b.sides[b.attackerSide];
  BattleSide& def = b.sides[b.defenderSide];
  if (g_siegePhase == 2) return true;
  b.fieldBattle = 0;
  // The rounds end when a side is out, the castle has no strength left, or after the third.
  if (g_siegePhase == 0 && att.status == 0 && def.status == 0 && b.siroLevel > 0 && b.round <= b.roundLimit) {
    SideSoldierTotal(0);
    SideSoldierTotal(1);
    // The skill phase runs once a round, not again on every poll while the player chooses.
    if (g_skillsRound != b.round) {
      if (BattleShownInScene()) BattleScreen().ShowSkillLists(false);
      SkillPhase();
      g_skillsRound = b.round;
      if (BattleShownInScene()) BattleScreen().ShowSkillLists(true);
    }
    int order = BattleScreenPort::kOrderByAi;
    if (b.mode == 2 && !g_BattleConfig.turnLimit && b.attackerSide == 0 && att.clan == PlayerDaimyoId &&
        BattleScreen().FightsByHand()) {
      order = BattleScreen().PlayerSiegeOrder();
      if (order == -1 || order == 1) return false;
    }
    if (order == BattleScreenPort::kOrderByAi) order = BattleSiegeAiOrder();
    b.siegeOrder = static_cast<uint8_t>(order);
    if (order == kOrderStorm || order == kOrderBesiege) {
      SiegeAction(order);
      if (order == kOrderBesiege) SiegeSurrender();
    } else {
      att.status = 1;
    }
    ++b.round;
    if (b.round > b.roundLimit && b.siroLevel != 0 && att.status == 0) att.status = 1;
    return false;
  }
  FinishBattleSiege();
  g_siegePhase = 2;
  return true;
}

void FinishBattleSiege() {
  BattleState& b = B();
  BattleSide& att = b.sides[b.attackerSide];
  BattleSide& def = b.sides[b.defenderSide];
  char text[128];
  if (b.siroLevel == 0 || g_BattleConfig.debugAutoWin || def.cutOff) {
    for (BattleUnit& u : def.units)
      if (u.general != kNoUnitGeneral) {
        u.soldiers = 1;
        u.guns = 0;
      }
    b.defendersLeft = 6;
    // Also in the battle scene: the player learns that his castle fell before the scene goes.
    BattleResultMessage("落城しました");
    BattleWait();
    b.outcome = 1;
  } else if (att.status == 0) {
    // The defenders surrendered.
  } else {
    b.outcome = 0;
    BattleResultMessage(att.clan != PlayerDaimyoId ? "城を守りました" : "城は落ちませんでした");
    BattleWait();
    SideSoldierTotal(b.attackerSide);
    std::snprintf(text, sizeof text, att.soldiers == 0 ? "%sは全滅しました" : "%sは、退却しました",
                  ForceName(att.clan));
    BattleResultMessage(text);
    BattleWait();
  }
  // A fallen or surrendered castle's gate swings open.
  if (b.mode == 2 && b.outcome == 1) BattleScreen().OpenSiegeGate();
  if (b.preSiegeDefenderStatus == 2) def.status = 2;
}
