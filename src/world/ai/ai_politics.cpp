// Politics of the computer clans: alliances, land development, castle works, then operations; and
// after all clans the luring of the player's generals.
#include "world/ai/ai_politics.h"

#include <cstddef>
#include <cstring>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "core/frame_wait.h"
#include "core/step_machine.h"
#include "world/ai/ai_common.h"
#include "world/ai/ai_operations.h"
#include "world/placement.h"
#include "world/slg_util.h"
#include "world/ai/ai_entry.h"
#include "world/turn/turn_state.h"
#include "world/world_ports.h"
#include "world/world_queries.h"
#include "world/turn/play_state_blocks.h"

namespace {

template <typename... A>
std::string Format(const char* fmt, A... a) {
  char buf[256];
  std::snprintf(buf, sizeof buf, fmt, a...);
  return buf;
}

void Say(const std::string& text) { SlgScene().ShowMessage(text.c_str(), 7, true); }

const char* HeadName(uint32_t clan) { return GetBusyoName(DaimyoTable[clan].head); }

struct AllianceWork {
  int freeSlot = 3;
  bool otherVassal = false;
  uint8_t partner = kNoDaimyo;
  int breakSlot = 0;
  bool waiting = false;  // a break message is on screen
};
AllianceWork g_alliance;

struct PoachWork {
  int slot = 0;
  int kuni = -1;
};
PoachWork g_poach;

struct PoliticsWork {
  uint32_t clan = 0;
};
PoliticsWork g_politics;
// Carried by a save: a loaded game goes on from the same working state.
[[maybe_unused]] const bool kPoliticsSaved =
    RegisterPlayStateBlock({"ai.alliance", &g_alliance, sizeof g_alliance,
                            [](const uint8_t* b) -> const char* {
                              if (!IsBoolByte(b, offsetof(AllianceWork, otherVassal)) ||
                                  !IsBoolByte(b, offsetof(AllianceWork, waiting)))
                                return "ai.alliance: flag out of range";
                              AllianceWork w;
                              std::memcpy(&w, b, sizeof w);
                              if (w.freeSlot < 0 || w.freeSlot > 3 || w.breakSlot < 0 || w.breakSlot > 3)
                                return "ai.alliance: slot out of range";
                              return nullptr;
                            }}) &&
    RegisterPlayStateBlock({"ai.poach", &g_poach, sizeof g_poach,
                            [](const uint8_t* b) -> const char* {
                              PoachWork w;
                              std::memcpy(&w, b, sizeof w);
                              return w.kuni < -1 || w.kuni >= kKuniCount ? "ai.poach: country out of range" : nullptr;
                            }}) &&
    RegisterPlayStateBlock(
        {"ai.politics", &g_politics, sizeof g_politics, [](const uint8_t*) -> const char* { return nullptr; }});

bool FreeAllySlot(uint32_t clan, int* slot) {
  for (int i = 0; i < 3; ++i)
    if (DaimyoTable[clan].allies[i] == kNoDaimyo) {
      *slot = i;
      return true;
    }
  return false;
}

}  // namespace

bool IsAllianceBarred(uint32_t clan, uint32_t other) {
  if (clan >= kDaimyoInPlay || other >= kDaimyoInPlay) return true;
  bool otherFront = false;
  for (int k = 0; k < kKuniCount; ++k) KuniTable[k].frontier = 0;
  for (int s = 0; s < kSiroCount; ++s) {
    if (!IsSiroInUse(s) || SiroTable[s].owner != clan) continue;
    for (uint16_t n : SiroTable[s].neighbours) {
      if (!IsSiroInUse(n)) continue;
      uint8_t o = SiroTable[n].owner;
      if (o == clan || o == other || IsSiroOfAlly(n, clan)) continue;
      KuniTable[SiroTable[n].kuni].frontier = 1;
      otherFront = true;
    }
  }
  bool bigEnough = DaimyoTable[other].revenue * 3 >= DaimyoTable[clan].revenue;
  bool linked = false;
  for (int i = 0; i < 5; ++i) linked |= DaimyoTable[clan].clanSet[i] == other || DaimyoTable[other].clanSet[i] == clan;
  // A clan refuses the clans named in its set, and does not tie its hands with its only sizeable
  // neighbour when nobody else borders it.
  return linked || (!otherFront && bigEnough);
}

void AiDevelopKuni(uint32_t clan, uint32_t kuni) {
  if (clan >= kDaimyoInPlay || kuni >= kKuniCount) return;
  KuniRecord& k = KuniTable[kuni];
  if (k.doneFlags & 1) return;
  k.doneFlags |= 1;
  AddDaimyoMoney(clan, -100);
  int gain = SlgRandom(20) + 10;
  int skilled = -1;
  for (uint16_t v : DaimyoTable[clan].vassals)
    if (v < kBusyoCount && HasSkillEffect(v, 30)) {
      skilled = v;
      break;
    }
  if (skilled >= 0 && SlgRandom(100) < 10) {
    int p = GetSkillEffectValue(skilled, 30);
    gain = static_cast<int>(std::lround((SlgRandom(20) + 10) * (p + 100) / 100.0));
  }
  k.land = static_cast<uint16_t>(std::min<int>(k.land + gain, k.landLimit));
  k.mood = static_cast<uint8_t>(std::min(100, k.mood + (SlgRandom(20) + 10) * gain / 100));
  DaimyoRecord& d = DaimyoTable[clan];
  if (SlgRandom(100) + 1 <= (20 - d.prestige) / 2) d.prestige = static_cast<uint8_t>(std::min(20, d.prestige + 1));
}

void AiDevelopLands(uint32_t clan) {
  if (clan >= kDaimyoInPlay) return;
  for (int k = 0; k < kKuniCount; ++k) KuniTable[k].doneFlags &= static_cast<uint8_t>(~1);
  for (int k = 0; k < kKuniCount && DaimyoTable[clan].money >= 200; ++k)
    if (KuniTable[k].mood <= 40 && GetDaimyoKuniShare(k, clan) > 79) AiDevelopKuni(clan, k);
  for (int k = 0; k < kKuniCount && DaimyoTable[clan].money >= 500; ++k)
    if (GetDaimyoKuniShare(k, clan) > 79 && KuniTable[k].land < KuniTable[k].landLimit) AiDevelopKuni(clan, k);
}

namespace {
// Raises a castle by s levels within its cap; the cost comes out of the budget.
void RaiseSiro(uint32_t clan, uint32_t siro, int s, int& budget) {
  SiroRecord& c = SiroTable[siro];
  int cap = AiSiroLevelCap(clan, siro);
  if (c.level + s > cap) s = cap > c.level ? cap - c.level : 0;
  if (s <= 0) return;
  c.turnFlags |= 1;
  budget -= (c.level + 12) * (s + 3) * s / 8;
  AddDaimyoCP(clan, -1);
  c.level = static_cast<uint8_t>(c.level + s);
}
}  // namespace

void AiBuildCastle(uint32_t clan) {
  if (clan >= kDaimyoInPlay) return;
  DaimyoRecord& d = DaimyoTable[clan];
  int budget = d.money / 2;
  AddDaimyoMoney(clan, -budget);
  if (d.revenue < 2500) {
    for (int s = 0; s < kSiroCount; ++s) {
      if (!IsSiroInUse(s)) continue;
      SiroRecord& c = SiroTable[s];
      c.turnFlags &= static_cast<uint8_t>(~1);
      if (c.owner != clan || d.cp == 0) continue;
      if (GetSiroDefencePower(clan, s) >= FindStrongestEnemyNeighbour(clan, s).power) continue;
      if (SiroGarrisonSoldiers(s) <= 6 * c.level) continue;
      int steps = 0;
      if (budget > c.level / 2 + 6) steps = 1;
      if (budget > c.level * 5 / 4 + 15) steps = 2;
      if (budget > c.level * 9 / 4 + 27) steps = 3;
      RaiseSiro(clan, s, steps, budget);
    }
  }
  for (int s = 0; s < kSiroCount; ++s) {
    if (!IsSiroInUse(s)) continue;
    SiroRecord& c = SiroTable[s];
    if (c.owner != clan || c.list1[0].slot == kNoSlot || (c.turnFlags & 1) || d.cp == 0) continue;
    if (GetSiroDefencePower(clan, s) >= FindStrongestEnemyNeighbour(clan, s).power) continue;
    int allowance = 1;
    for (uint16_t n : c.neighbours)
      if (IsSiroInUse(n) && SiroTable[n].owner == PlayerDaimyoId) allowance = 2;
    int steps = 0;
    if (budget > c.level / 2 + 6) steps = 1;
    if (budget > c.level * 5 / 4 + 15) steps = 2;
    RaiseSiro(clan, s, std::min(steps, allowance), budget);
  }
  AddDaimyoMoney(clan, std::max(budget, 0));
}

// ---- Alliances (step routine) ----

namespace {
enum { kAllyPropose = 1, kAllyAnswer = 2, kAllyBreak = 3 };

uint8_t ChooseAlliancePartner(uint32_t clan) {
  uint8_t dist[kKuniCount];
  std::fill(std::begin(dist), std::end(dist), 255);
  for (int k = 0; k < kKuniCount; ++k)
    if (DaimyoHasSiroInKuni(k, clan)) dist[k] = 0;
  for (int round = 0; round < 2; ++round)
    for (int k = 0; k < kKuniCount; ++k) {
      if (dist[k] == 255) continue;
      for (uint8_t n : KuniTable[k].neighbours)
        if (n < kKuniCount) dist[n] = std::min<uint8_t>(dist[n], static_cast<uint8_t>(dist[k] + 1));
    }
  std::vector<int> candidates;
  for (int k = 0; k < kKuniCount; ++k) {
    if (dist[k] != 1 && dist[k] != 2) continue;
    uint8_t holder = KuniTable[k].holder;
    if (holder >= kDaimyoInPlay) continue;
    uint16_t head = DaimyoTable[holder].head;
    if (head >= NullBusyoId || BusyoTable[head].siro == kNoSiro) continue;
    candidates.push_back(k);
  }
  if (candidates.empty()) return kNoDaimyo;
  int n = SlgRandom(static_cast<uint8_t>(std::min<size_t>(candidates.size(), 255)));
  return KuniTable[candidates[n]].holder;
}

void ColourClan(uint32_t clan, int kind) { ColorDaimyoKuni(clan, kind); }

// Puts b into a's first free ally slot with standing 20; false (with the box) when full.
bool AddAlly(uint32_t a, uint32_t b, const char* fullText) {
  int slot;
  if (!FreeAllySlot(a, &slot)) {
    ShowSlgDataError(fullText);
    return false;
  }
  DaimyoTable[a].allies[slot] = static_cast<uint8_t>(b);
  DaimyoTable[a].allyStanding[slot] = 20;
  return true;
}

}  // namespace

int AiAlliance(int clanId) {
  static int result = 0;
  if (StepCheckDone()) return result;
  const uint32_t clan = static_cast<uint32_t>(clanId);
  AllianceWork& w = g_alliance;
  if (StepBegin()) {
    w = AllianceWork{};
    if (clanId < 0 || clanId >= kDaimyoInPlay) {
      StepFinish();
      return result;
    }
    DaimyoRecord& d = DaimyoTable[clan];
    for (int i = 0; i < 3; ++i) {
      if (d.allies[i] == kNoDaimyo || d.allyStanding[i] == 255) continue;
      int drop = 1;
      if (SlgRandom(100) < 10) drop += SlgRandom(3) + 1;
      d.allyStanding[i] = d.allyStanding[i] <= drop ? 0 : static_cast<uint8_t>(d.allyStanding[i] - drop);
    }
    FreeAllySlot(clan, &w.freeSlot);
    for (int i = 0; i < kVassalScan; ++i) w.otherVassal |= d.vassals[i] < kBusyoCount && d.vassals[i] != d.head;
  }
  DaimyoRecord& d = DaimyoTable[clan];
  switch (StepGet()) {
    case kAllyPropose: {
      if (!(SlgRandom(100) < 10 && w.freeSlot < 3 && w.otherVassal && d.money > 29 && d.rank >= 2)) {
        StepJump(kAllyBreak);
        return kStepRunning;
      }
      uint8_t partner = ChooseAlliancePartner(clan);
      if (partner == kNoDaimyo) {
        StepJump(kAllyBreak);
        return kStepRunning;
      }
      int free;
      bool ok = partner != clan && !AreDaimyoAllied(clan, partner) && !IsAllianceBarred(clan, partner) &&
                FreeAllySlot(partner, &free) && IsDaimyoAlive(partner);
      if (!ok) {
        StepJump(kAllyBreak);
        return kStepRunning;
      }
      w.partner = partner;
      StepNext();
      return kStepRunning;
    }
    case kAllyAnswer: {
      uint8_t partner = w.partner;
      bool accepted;
      if (partner == PlayerDaimyoId && !IsAutoRun()) {
        if (SubStepGet() == 0) {
          ColourClan(clan, 2);
          SlgScene().ShowMessageMode2(
              Format("%sが使者を送って来ました\n同盟を結びますか？", GetDaimyoName(clan, true)).c_str(), 7, true);
          SubStepSet(1);
          return kStepRunning;
        }
        int answer = SlgScene().GetSceneResult();
        if (answer != 0 && answer != 1) return kStepRunning;  // waiting for the player
        SlgScene().ShowMessage("", 7, true);
        ResetKuniColors();
        accepted = answer == 0;
      } else {
        accepted = SlgRandom(100) < d.prestige * 5 && !IsAllianceBarred(clan, partner);
      }
      if (accepted) {
        ColourClan(clan, 5);
        ColourClan(partner, 4);
        Say(Format("%sは%sと同盟を結びました", GetDaimyoName(clan, false), GetDaimyoName(partner, false)));
        AddAlly(clan, partner, "同盟元の同盟国数がＭＡＸです。");
        AddAlly(partner, clan, "同盟先の同盟国数がＭＡＸです。");
        if (clan == PlayerDaimyoId || partner == PlayerDaimyoId) RecalcAllyMarks();
        SetFrameWait(2 * GameSpeedParams[4]);
      }
      StepNext();
      return kStepRunning;
    }
    case kAllyBreak: {
      if (w.waiting) {
        ResetKuniColors();
        w.waiting = false;
      }
      while (w.breakSlot < 3) {
        int i = w.breakSlot++;
        uint8_t ally = d.allies[i];
        if (ally >= kDaimyoInPlay) continue;
        bool end = false;
        if (d.allyStanding[i] == 255) {
          end = true;
        } else if (d.allyStanding[i] == 0) {
          if (SlgRandom(100) > 4 && DaimyoTable[ally].revenue * 2 <= d.revenue * 3)
            end = true;
          else
            d.allyStanding[i] = 20;
        }
        if (!end) continue;
        Say(Format("%6s家は%6s家との同盟を破棄しました。", GetBusyoFamilyName(d.head),
                   GetBusyoFamilyName(DaimyoTable[ally].head)));
        ColourClan(clan, clan == PlayerDaimyoId ? 5 : 2);
        ColourClan(ally, 4);
        d.allies[i] = kNoDaimyo;
        d.allyStanding[i] = 0;
        EndAlliance(clan, ally);
        w.waiting = true;
        SetFrameWait(2 * GameSpeedParams[4]);
        return kStepRunning;
      }
      ResetKuniColors();
      StepFinish();
      return result;
    }
    default:
      StepFinish();
      return result;
  }
}

// ---- One clan's politics (step routine) ----

int AiPoliticsThink(int clanId) {
  static int result = 0;
  if (StepCheckDone()) return result;
  PoliticsWork& w = g_politics;
  if (StepBegin()) {
    w.clan = static_cast<uint32_t>(clanId);
    if (clanId < 0 || clanId >= kDaimyoInPlay || !IsDaimyoAlive(w.clan)) {
      StepFinish();
      return result;
    }
    ColorDaimyoKuni(w.clan, 2);
    SlgScene().ShowMessage(Format("政略思考中（%s）", HeadName(w.clan)).c_str(), 7, true);
    SetFrameWaitHalf(GameSpeedParams[0]);
    return kStepRunning;
  }
  switch (StepGet()) {
    case 1:
      if (FirstTurnFlag) {
        StepNext();
        return kStepRunning;
      }
      StepPush();
      AiAlliance(static_cast<int>(w.clan));
      if (!StepPop()) return kStepRunning;
      AiDevelopLands(w.clan);
      AiBuildCastle(w.clan);
      AiPlanOperations(w.clan);
      StepNext();
      return kStepRunning;
    default:
      ResetKuniColors();
      StepFinish();
      return result;
  }
}

// ---- Luring the player's generals (step routine) ----

namespace {
bool CanLure(uint32_t siro) {
  if (!IsSiroInUse(siro)) return false;
  const SiroRecord& c = SiroTable[siro];
  if (c.owner == PlayerDaimyoId || c.owner >= kDaimyoInPlay) return false;
  return DaimyoTable[c.owner].rank >= 2 && c.list1[0].slot != kNoSlot;
}

uint16_t RandomSiroOf(int kuni) {
  const KuniRecord& k = KuniTable[kuni];
  if (k.firstSiro >= kSiroSlots || k.lastSiro < k.firstSiro) return kNoSiro;
  return static_cast<uint16_t>(k.firstSiro +
                               SlgRandom(static_cast<uint8_t>(std::min(k.lastSiro - k.firstSiro + 1, 255))));
}

// Moves general g (player's vassal slot `slot`) to castle c of clan `clan`; false when he could not
// be moved (his stationing entry is missing).
bool Defect(uint16_t g, int slot, uint32_t c, uint8_t clan, int newSlot) {
  BusyoRecord& b = BusyoTable[g];
  uint16_t old = b.siro;
  SiroBusyoRef* entry = nullptr;
  if (old < kSiroSlots)
    for (SiroBusyoRef& r : SiroTable[old].list1)
      if (r.force == PlayerDaimyoId && r.slot == slot) entry = &r;
  if (!entry) return false;
  *entry = {clan, static_cast<uint8_t>(newSlot)};
  DaimyoTable[clan].vassals[newSlot] = g;
  DaimyoTable[PlayerDaimyoId].vassals[slot] = kNoBusyo;
  MoveSiroBusyo(old, c, clan, static_cast<uint8_t>(newSlot), 0);
  b.siro = static_cast<uint16_t>(c);
  b.marchFlag = 0;
  b.siro2 = kNoSiro;
  b.loyalty = static_cast<uint8_t>(SlgRandom(5) + 4);
  b.cur.stat[3] = static_cast<uint8_t>(std::min(GetBusyoStageStat4(g), 99));
  return true;
}
}  // namespace

int AiPoach() {
  static int result = 0;
  if (StepCheckDone()) return result;
  PoachWork& w = g_poach;
  if (StepBegin()) w = PoachWork{};
  switch (StepGet()) {
    case 1: {
      if (PlayerDaimyoId >= kDaimyoInPlay) {
        StepFinish();
        return result;
      }
      DaimyoRecord& p = DaimyoTable[PlayerDaimyoId];
      for (; w.slot < kVassalScan; ++w.slot) {
        uint16_t g = p.vassals[w.slot];
        if (g >= kBusyoCount || g == p.head) continue;  // the head himself is never lured
        BusyoRecord& b = BusyoTable[g];
        if (b.kizuna != 0 || b.siro == KakuuSiroId) continue;
        if (!(SlgRandom(100) < 10)) continue;
        if (!(p.prestige + 2 * b.loyalty < SlgRandom(30) + 1)) continue;
        int kuni = GetBusyoKuni(g);
        if (kuni < 0 || kuni >= kKuniCount) continue;
        uint16_t c = RandomSiroOf(kuni);
        std::string text;
        if (CanLure(c)) {
          uint8_t clan = SiroTable[c].owner;
          int s = -1;
          for (int i = 0; i < kVassalScan && s < 0; ++i)
            if (DaimyoTable[clan].vassals[i] == kNoBusyo) s = i;
          bool room = s >= 0 && SiroTable[c].list1[kSiroListLen - 1].slot == kNoSlot && IsDaimyoAlive(clan);
          if (!room) continue;
          if (!Defect(g, w.slot, c, clan, s)) {
            // His stationing entry is missing: he stays, and no defection is reported.
            ShowSlgDataError(Format("引き抜きエラー　城［%s］武将［%s］　敵城［%s］", GetSiroName(b.siro, false),
                                    GetBusyoName(g), GetSiroName(c, false))
                                 .c_str());
            continue;
          }
          text = Format("%sが裏切って%sの家臣になりました", GetBusyoName(g), GetDaimyoName(clan, false));
        } else {
          uint16_t c2 = RandomSiroOf(kuni);
          if (IsSiroInUse(c2) && (SiroTable[c2].owner == kNoDaimyo || SiroTable[c2].owner == PlayerDaimyoId))
            c2 = RandomSiroOf(kuni);
          if (!CanLure(c2)) continue;
          text =
              Format("%sが%sの引き抜きで動揺しております", GetBusyoName(g), GetDaimyoName(SiroTable[c2].owner, false));
        }
        w.kuni = kuni;
        ShowKuniEventEffect(kuni, 2, 2);
        Say(text);
        SetFrameWait(2 * GameSpeedParams[4]);
        ++w.slot;
        StepNext();
        return kStepRunning;
      }
      StepFinish();
      return result;
    }
    case 2:
      if (w.kuni >= 0) ShowKuniEventEffect(w.kuni, 7, 7);
      StepJump(1);
      return kStepRunning;
    default:
      StepFinish();
      return result;
  }
}
