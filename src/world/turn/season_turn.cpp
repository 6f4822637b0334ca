#include "world/turn/season_turn.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/frame_wait.h"
#include "core/step_machine.h"
#include "world/turn/step_child.h"
#include "world/placement.h"
#include "world/slg_util.h"
#include "world/turn/turn_ports.h"
#include "world/turn/slg_sound_port.h"
#include "world/turn/turn_loop.h"
#include "world/turn/turn_state.h"
#include "world/world_ports.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

enum : uint32_t {
  kSeasonEvents = 2,
  kSeasonRank = 3,
  kSeasonUpkeep = 4,
  kSeasonAppear = 5,
  kSeasonSuccession = 6,
  kSeasonEmptySlot = 7,
  kSeasonEnd = 8,
  kSeasonGrowth = 9
};

int FinishAtOnce() {
  if (StepCheckDone()) return 0;
  StepBegin();
  StepFinish();
  return 0;
}

bool ClanHasHeadField(int clan) { return DaimyoTable[clan].head != kNoBusyo; }

void Message(const char* text) { SlgScene().ShowMessage(text, 7, false); }
void ClearMessage() { SlgScene().ShowMessage("", 7, true); }

void SelectCurrentKuni() { SelectSlgKuni(CurrentKuniId == kNoKuni ? -1 : CurrentKuniId, true); }

void RefreshPlayer() {
  RecalcDaimyoTotals(0);
  RefreshSlgMainMap(1, -1, 0);
}

int Clamp16(int v) { return v < 0 ? 0 : (v > 0xFFFF ? 0xFFFF : v); }

// Loyalty of a vassal whose loyalty is not fixed by a bond.
bool LoyaltyMovable(uint16_t b) { return b < kBusyoCount && !IsBusyoLoyaltyFixed(b); }

// Each vassal of the first 252 slots with loyalty above 1 loses 1 with chance 25 in 100.
void RankRiseLoyaltyLoss(int clan) {
  for (int i = 0; i < kVassalScan; ++i) {
    uint16_t b = DaimyoTable[clan].vassals[i];
    if (!LoyaltyMovable(b) || BusyoTable[b].loyalty <= 1) continue;
    if (SlgRandom(100) < 25) --BusyoTable[b].loyalty;
  }
}

int RankBonus(int rank, int quotient) {
  int bonus = rank <= 1 ? 2 : (rank == 2 ? 4 : 6);
  return quotient >= 10 ? bonus - 1 : bonus;
}

}  // namespace

// ---- Helpers ----

int BaseCommandPoints(int clan) {
  if (clan < 0 || clan >= kDaimyoInPlay) return 0;
  const DaimyoRecord& d = DaimyoTable[clan];
  int q = d.head < kBusyoCount ? GetBusyoStat3(d.head) / 5 : 0;
  return q + RankBonus(d.rank, q);
}

bool StageUpBusyo(uint32_t busyo) {
  if (busyo >= kBusyoCount) return false;
  BusyoRecord& b = BusyoTable[busyo];
  if (b.stage < 1 || b.stage >= 3) return false;
  const BusyoStatBlock& next = b.stageBlock[b.stage];
  const int32_t threshold = SystemTableWord(0);
  if (next.stat[0] == 0 || static_cast<int32_t>(b.progress) < threshold) return false;
  b.progress = static_cast<uint16_t>(b.progress - threshold);
  b.cur = next;
  ++b.stage;
  return true;
}

uint8_t FindHeirIndex(uint32_t clan, uint32_t busyo) {
  if (clan >= kDaimyoSlots || clan == kNoDaimyo || busyo == kNoBusyo) return 255;
  uint8_t found = 255;
  for (int i = 0; i < 16; ++i)
    if (DaimyoTable[clan].heirs[i] == busyo) found = static_cast<uint8_t>(i);
  return found;
}

uint8_t MoveHeirToEnd(uint32_t clan, uint32_t busyo) {
  if (clan >= kDaimyoSlots || clan == kNoDaimyo || busyo == kNoBusyo) return 255;
  uint16_t* heirs = DaimyoTable[clan].heirs;
  uint8_t former = 255;
  for (int i = 0; i < 16; ++i)
    if (heirs[i] == busyo) {
      former = static_cast<uint8_t>(i);
      break;
    }
  if (former != 255) {
    for (int j = former; j < 15; ++j) heirs[j] = heirs[j + 1];
    heirs[15] = kNoBusyo;
  }
  for (int i = 0; i < 16; ++i)
    if (heirs[i] == kNoBusyo) {
      heirs[i] = static_cast<uint16_t>(busyo);
      break;
    }
  return former;
}

uint8_t FindFreeClanOfBusyo(uint32_t busyo) {
  if (busyo >= kBusyoCount) return kNoDaimyo;
  for (int c = 0; c < kDaimyoInPlay; ++c) {
    const DaimyoRecord& d = DaimyoTable[c];
    bool holds = false, free = false;
    for (int i = 0; i < kVassalScan; ++i) {
      holds |= d.vassals[i] == busyo;
      free |= d.vassals[i] == kNoBusyo;
    }
    if (!holds) continue;
    bool headPlaced = d.head < kBusyoCount && d.head != NullBusyoId && BusyoTable[d.head].siro != kNoSiro;
    return headPlaced && free ? static_cast<uint8_t>(c) : kNoDaimyo;
  }
  return kNoDaimyo;
}

uint8_t GetKuniIdByName(const char* name) {
  if (!name) return kNoKuni;
  for (int k = 0; k < kKuniCount; ++k) {
    const char* n = KuniTable[k].name;
    size_t i = 0;
    while (i < kKuniNameLen && n[i] == ' ') ++i;
    size_t len = 0;
    while (i + len < kKuniNameLen && n[i + len] && n[i + len] != ' ') ++len;
    if (len == 0) continue;
    if (std::strncmp(name, n + i, len) == 0) return static_cast<uint8_t>(k);
  }
  return kNoKuni;
}

const char* GetRegionName(int region) {
  static const char* const kNames[10] = {"東北", "関東", "東海", "甲信", "北陸",
                                         "近畿", "山陰", "山陽", "四国", "九州"};
  return region >= 0 && region < 10 ? kNames[region] : nullptr;
}

// ---- Recomputations ----

void RecalcPlayerShares() {
  for (int k = 0; k < kKuniCount; ++k)
    KuniTable[k].playerShare =
        static_cast<uint8_t>(PlayerDaimyoId < kDaimyoInPlay ? GetDaimyoKuniShare(k, PlayerDaimyoId) : 0);
  SelectCurrentKuni();
}

void RecalcAllRevenues() {
  for (int c = 0; c < kDaimyoInPlay; ++c) {
    int revenue = 0;
    for (int k = 0; k < kKuniCount; ++k) revenue += KuniTable[k].land * GetDaimyoKuniShare(k, c) / 100;
    DaimyoTable[c].revenue = static_cast<uint16_t>(Clamp16(revenue));
  }
  for (int k = 0; k < kKuniCount; ++k)
    KuniTable[k].total = static_cast<uint16_t>(Clamp16(KuniTable[k].land + KuniTable[k].town * 4 / 10));
  RefreshPlayer();
  SelectCurrentKuni();
}

void RecalcKuniOwners() {
  for (int k = 0; k < kKuniCount; ++k) {
    KuniTable[k].holder = kNoDaimyo;
    for (int c = 0; c < kDaimyoInPlay; ++c)
      if (GetDaimyoKuniShare(k, c) >= 80) {
        KuniTable[k].holder = static_cast<uint8_t>(c);
        break;
      }
  }
}

void RecalcSoldierTotals() {
  for (int c = 0; c < kDaimyoInPlay; ++c) {
    int sum = 0;
    for (int i = 0; i < kVassalScan; ++i)
      if (const BusyoRecord* b = BusyoPtr(DaimyoTable[c].vassals[i])) sum += b->soldiers;
    DaimyoTable[c].soldiers = static_cast<uint16_t>(Clamp16(sum));
  }
  RefreshPlayer();
}

void RecalcCommandPoints() {
  for (int c = 0; c < kDaimyoInPlay; ++c) {
    if (!ClanHasHeadField(c)) continue;
    // In a wide type, then capped: the byte never wraps.
    int v = BaseCommandPoints(c);
    int points = std::min(DaimyoTable[c].cp + v, v * 13 / 10);
    DaimyoTable[c].cp = static_cast<uint8_t>(std::clamp(points, 0, 255));
  }
  RefreshPlayer();
}

void RecalcRecruitBases() {
  for (int k = 0; k < kKuniCount; ++k) {
    KuniRecord& r = KuniTable[k];
    // The base saturates at 255 instead of wrapping, so a larger country never gets fewer.
    int base = std::min((SlgRandom(40) + 30) * r.land / 1000, 255);
    r.recruitBase = static_cast<uint8_t>(base * r.mood / 100);
  }
}

void RecalcGunRates() {
  static const int kGunKuni[4] = {30, 36, 39, 66};
  for (int c = 0; c < kDaimyoInPlay; ++c) {
    int w = GameYear < 1600 ? 5 - (static_cast<int>(GameYear) - 1550) / 10 : 1;
    w = std::clamp(w, 1, 5);
    bool port = false;
    for (int k : kGunKuni) port |= KuniTable[k].holder == c;
    if (port && w > 1) --w;
    DaimyoTable[c].gunRate = static_cast<uint8_t>(w);
    DaimyoTable[c].gunsPerPurchase = static_cast<uint8_t>(6 - w);
  }
}

void MoveIndependentGenerals() {
  for (int n = 0; n < 5; ++n) {
    const int kuni = SlgRandom(kKuniCount);
    for (int i = 0; i < kDokuSlots; ++i) {
      uint16_t b = DokuBusyoList[i];
      if (b >= kBusyoCount) continue;
      const SiroRecord* s = SiroPtr(BusyoTable[b].siro);
      if (!s || s->kuni != kuni) continue;
      AiTurn().IndependentGrowSoldiers(i);
      AiTurn().IndependentRaiseCastle(i);
    }
  }
}

void DriftLoyalty() {
  for (int pass = 0; pass < 6; ++pass) {
    const bool gain = pass < 3;
    const int clan = SlgRandom(kDaimyoInPlay);
    if (!ClanHasHeadField(clan)) continue;
    for (int i = 0; i < kVassalScan; ++i) {
      uint16_t b = DaimyoTable[clan].vassals[i];
      if (b >= kBusyoCount || BusyoTable[b].kizuna != 0) continue;
      if (SlgRandom(100) >= 25) continue;
      BusyoRecord& g = BusyoTable[b];
      if (g.siro == KakuuSiroId || IsBusyoLoyaltyFixed(b)) continue;
      if (gain && g.loyalty >= 1 && g.loyalty <= 15) ++g.loyalty;
      if (!gain && g.loyalty > 1) --g.loyalty;
    }
  }
}

// ---- Season parts ----

void SeasonStart() {
  SlgScenePort& scene = SlgScene();
  const uint8_t p = PlayerDaimyoId;
  scene.SetCurrentDaimyo(p);
  if (p < kDaimyoInPlay && !DaimyoHasSiroInKuni(CurrentKuniId, p)) SelectSlgKuni(GetDaimyoHomeKuni(p), true);
  scene.SetSelMode(9);
  scene.LockMapButtons(false);
  scene.SetPhase(0);
  ResetKuniColors();
  if (p < kDaimyoInPlay)
    for (int i = 0; i < kVassalScan; ++i)
      if (BusyoRecord* b = BusyoPtr(DaimyoTable[p].vassals[i])) b->cmdFlags &= static_cast<uint8_t>(~0x03);
  RecalcDaimyoTotals(0);
}

void AnnounceTurn() {
  ++TurnCounter;
  if (++SeasonIndex >= 4) {
    SeasonIndex = 0;
    ++GameYear;
    if (IsAutoRun() && TurnCounter >= AutoRunLastTurn) SetAutoRun(false);
  }
  char text[64];
  std::snprintf(text, sizeof text, "%4dターンになりました", TurnCounter);
  Message(text);
  SetFrameWait(200);
  SlgScene().SetPhase(0);
}

void GrowKuni() {
  auto grow = [](int cur, int max) {
    int add = cur < max / 2 ? max * 3 / 200 : max * 3 / 400;
    return static_cast<uint16_t>(std::min(cur + std::max(add, 1), max));
  };
  for (int k = 0; k < kKuniCount; ++k) {
    KuniRecord& r = KuniTable[k];
    r.land = grow(r.land, r.landLimit);
    r.town = grow(r.town, r.townLimit);
    int mood = r.mood + (r.mood < 51 ? SlgRandom(3) : SlgRandom(2));
    r.mood = static_cast<uint8_t>(std::min(mood, 100));
  }
  SelectCurrentKuni();
}

void PayIncome() {
  const bool harvest = SeasonIndex == 2;
  for (int c = 0; c < kDaimyoInPlay; ++c) {
    int income = 0;
    for (int k = 0; k < kKuniCount; ++k) income += GetKuniIncome(k, c, harvest);
    DaimyoRecord& d = DaimyoTable[c];
    d.money = static_cast<uint16_t>(std::min(d.money + income, 65000));
    if (c == PlayerDaimyoId) {
      g_TurnWork.season.income = income;
      RecalcDaimyoTotals(0);
    }
  }
}

void ShuffleClanOrder() {
  for (int i = 0; i < kDaimyoInPlay; ++i) std::swap(ClanOrderList[i], ClanOrderList[SlgRandom(58)]);
}

int DaimyoUpkeep(int clan) {
  const DaimyoRecord& d = DaimyoTable[clan];
  int P = d.prestige * d.revenue / 50;
  int S = 0, H = 0, L = 0;
  for (int i = 0; i < kVassalScan; ++i) {
    uint16_t b = d.vassals[i];
    if (b >= kBusyoCount) continue;
    S += BusyoTable[b].cur.stat[3];
    H += BusyoTable[b].soldiers / 2;
  }
  for (int s = 0; s < kSiroSlots; ++s)
    if (IsSiroInUse(s) && SiroTable[s].owner == clan) L += SiroTable[s].level;
  switch (d.rank) {
    case 0:
    case 1:
      return S / 2 + L + P;
    case 2:
      return 2 * L + H / 2 + S + P;
    default: {
      int u = H / 2 + 3 * L + S + P;
      if (d.revenue > 2000) u += H / 2;
      if (d.revenue > 3000) u += S / 2;
      return u;
    }
  }
}

namespace {

// One debt stage over the clan; each pass must pay something, so a stage with nothing left to
// give ends instead of looping.
void PayDebtStage(int clan, int stage, int32_t& debt) {
  DaimyoRecord& d = DaimyoTable[clan];
  for (bool paid = true; paid && debt > 0;) {
    paid = false;
    if (stage == 0) {
      for (int s = 0; s < kSiroSlots && debt > 0; ++s) {
        if (!IsSiroInUse(s) || SiroTable[s].owner != clan || SiroTable[s].level <= 1) continue;
        --SiroTable[s].level;
        debt -= 2;
        paid = true;
      }
    } else {
      for (int i = 0; i < kVassalScan && debt > 0; ++i) {
        uint16_t b = d.vassals[i];
        if (b >= kBusyoCount) continue;
        BusyoRecord& g = BusyoTable[b];
        if (stage == 1) {
          if (g.soldiers <= 2) continue;
          g.soldiers = static_cast<uint8_t>(g.soldiers - 2);
          if (g.guns > g.soldiers) g.guns = g.soldiers;
          d.soldiers = static_cast<uint16_t>(d.soldiers >= 2 ? d.soldiers - 2 : 0);
        } else {
          if (g.loyalty <= 1 || IsBusyoLoyaltyFixed(b)) continue;
          --g.loyalty;
        }
        debt -= 1;
        paid = true;
      }
    }
  }
}

}  // namespace

int RunUpkeep() {
  if (StepCheckDone()) return 0;
  SeasonWork& w = g_TurnWork.season;
  if (StepBegin()) {
    w.upkeep = 0;
    w.upkeepClan = 0;
    w.debt = 0;
    w.debtStage = -1;
    if (SeasonIndex != 2) {
      StepFinish();
      return 0;
    }
  }
  for (; w.upkeepClan < kDaimyoInPlay; ++w.upkeepClan) {
    const int c = w.upkeepClan;
    DaimyoRecord& d = DaimyoTable[c];
    if (w.debtStage < 0) {
      if (!ClanHasHeadField(c)) continue;
      int u = DaimyoUpkeep(c);
      if (c == PlayerDaimyoId) w.upkeep = u;
      if (d.money >= u) {
        d.money = static_cast<uint16_t>(d.money - u);
        if (c == PlayerDaimyoId) RefreshPlayer();
        continue;
      }
      w.debt = u - d.money;
      d.money = 0;
      w.debtStage = 0;
    }
    // One stage per logic step while a debt is left.
    if (w.debtStage < 3 && w.debt > 0) {
      PayDebtStage(c, w.debtStage, w.debt);
      ++w.debtStage;
      return kStepRunning;
    }
    // Overpaid (castle levels pay 2) comes back; a debt left after all stages is dropped.
    d.money = static_cast<uint16_t>(w.debt < 0 ? -w.debt : 0);
    w.debt = 0;
    w.debtStage = -1;
    ClearMessage();
    if (c == PlayerDaimyoId) RefreshPlayer();
  }
  StepFinish();
  return 0;
}

int UpdateDaimyoRank() {
  if (StepCheckDone()) return 0;
  SeasonWork& w = g_TurnWork.season;
  if (StepBegin()) {
    w.rankClan = 0;
    w.rankStage = 0;
  }
  auto announce = [](int clan, const char* pattern) {
    if (clan != PlayerDaimyoId || IsAutoRun()) return false;
    SlgSound().PlaySlgSe(5, 5, 0);
    char text[96];
    std::snprintf(text, sizeof text, pattern, GetDaimyoName(static_cast<uint32_t>(clan), true));
    Message(text);
    SelectCurrentKuni();
    RefreshSlgMainMap(1, -1, 0);
    SetFrameWait(MessageTime());
    return true;
  };
  for (; w.rankClan < kDaimyoInPlay; ++w.rankClan, w.rankStage = 0) {
    const int c = w.rankClan;
    DaimyoRecord& d = DaimyoTable[c];
    if (w.rankStage == 0) {
      const int best = GetDaimyoMaxKuniShare(c);
      if (best >= 50 && d.rank == 0) d.rank = 1;
      w.rankStage = 1;
      if (best >= 80 && d.rank == 1) {
        d.rank = 2;
        if (d.prestige < 20) ++d.prestige;
        RankRiseLoyaltyLoss(c);
        if (announce(c, "%sは小大名になりました")) return kStepRunning;
      }
    }
    if (w.rankStage == 1) {
      if (c == PlayerDaimyoId && !IsAutoRun()) ClearMessage();
      w.rankStage = 2;
      if (d.revenue >= 1000 && d.rank == 2) {
        d.rank = 3;
        if (d.prestige < 20) ++d.prestige;
        RankRiseLoyaltyLoss(c);
        if (announce(c, "%sは戦国大名になりました")) return kStepRunning;
      }
    }
    if (c == PlayerDaimyoId && !IsAutoRun()) ClearMessage();
  }
  StepFinish();
  return 0;
}

int RunGrowBusyo() {
  if (StepCheckDone()) return 0;
  SeasonWork& w = g_TurnWork.season;
  SlgScenePort& scene = SlgScene();
  if (StepBegin()) {
    w.growthStage = 0;
    for (uint32_t g = 0; g < kBusyoCount; ++g) {
      BusyoRecord& b = BusyoTable[g];
      b.grownWord = 0;
      const bool grew = StageUpBusyo(g);
      if (b.growthMark && PlayerDaimyoId < kDaimyoInPlay && GetBusyoDaimyo(g) == PlayerDaimyoId) {
        scene.AddToListA(static_cast<int>(g));
        if (grew) b.grownWord = 1;
      }
      b.growthMark = 0;
    }
    if (IsAutoRun() || !scene.IsListANotEmpty()) {
      StepFinish();
      return 0;
    }
    scene.OpenDialog(16, 0, 0, 0);
    w.growthStage = 1;
    return kStepRunning;
  }
  if (scene.IsNoDialog() || scene.GetDialogResult(2) == 2) {
    scene.FinishDialog();
    StepFinish();
    return 0;
  }
  return kStepRunning;
}

namespace {

// Where a new general would go: fills clan, castle (513 the fictional castle) and vassal slot.
// False when nobody can receive him.
bool FindAppearancePlace(uint32_t g, int& clan, int& siro, int& slot) {
  BusyoRecord& b = BusyoTable[g];
  clan = kNoDaimyo;
  siro = kNoSiro;
  slot = -1;
  if (b.patron != kNoBusyo) b.appearDaimyo = FindFreeClanOfBusyo(b.patron);
  if (b.appearDaimyo == kNoDaimyo) {
    const KuniRecord* k = b.appearKuni < kKuniCount ? &KuniTable[b.appearKuni] : nullptr;
    if (!k || k->firstSiro > k->lastSiro || k->lastSiro >= kSiroSlots) return false;
    int s = k->firstSiro + SlgRandom(static_cast<uint8_t>(std::min(k->lastSiro - k->firstSiro + 1, 255)));
    if (!IsSiroInUse(s)) return false;
    int owner = SiroTable[s].owner;
    if (owner >= kDaimyoInPlay || SiroTable[s].list1[kSiroListLen - 1].slot != kNoSlot) return false;
    clan = owner;
    siro = s;
  } else {
    const int a = b.appearDaimyo;
    if (a >= kDaimyoInPlay) return false;
    const uint16_t head = DaimyoTable[a].head;
    if (head >= kBusyoCount || head == NullBusyoId) return false;
    const uint16_t hs = BusyoTable[head].siro;
    if (hs == KakuuSiroId) {
      clan = GetKakuuOwner(head);
      siro = KakuuSiroId;
    } else if (IsSiroInUse(hs)) {
      clan = SiroTable[hs].owner;
      siro = hs;
    }
    if (clan >= kDaimyoInPlay) return false;
  }
  for (int i = 0; i < kVassalScan && slot < 0; ++i)
    if (DaimyoTable[clan].vassals[i] == kNoBusyo) slot = i;
  if (slot < 0) return false;
  if (GetDaimyoKakuuSiro(static_cast<uint32_t>(clan)) != kNoSiro) {
    siro = KakuuSiroId;
    return true;
  }
  if (siro == KakuuSiroId || !IsSiroInUse(siro)) return false;
  if (SiroTable[siro].list1[kSiroListLen - 1].slot == kNoSlot) return true;
  for (uint16_t n : SiroTable[siro].neighbours)
    if (IsSiroInUse(n) && SiroTable[n].owner == clan && SiroTable[n].list1[kSiroListLen - 1].slot == kNoSlot) {
      siro = n;
      return true;
    }
  return false;
}

void ShowPlacing(int clan, int siro, int kind) {
  if (siro == KakuuSiroId)
    ColorDaimyoKuni(static_cast<uint32_t>(clan), kind == 2 ? 5 : 7);
  else
    ShowKuniEventEffect(SiroTable[siro].kuni, kind, kind);
}

void PlaceNewBusyo(uint32_t g, int clan, int siro, int slot) {
  if (siro == KakuuSiroId) {
    AddBusyoToCastle(static_cast<int32_t>(g), clan, true);
  } else {
    DaimyoTable[clan].vassals[slot] = static_cast<uint16_t>(g);
    BusyoTable[g].siro = static_cast<uint16_t>(siro);
    SiroTable[siro].list1[kSiroListLen - 1] = {static_cast<uint8_t>(clan), static_cast<uint8_t>(slot)};
    SortSiroSlots(static_cast<uint32_t>(siro));
  }
}

bool AiTakesBusyo(uint32_t g, int clan) {
  if (CountDaimyoBusyo(static_cast<uint32_t>(clan)) <= 30) return true;
  return GetBusyoStat1(g) >= 30 || GetBusyoStat3(g) >= 30;
}

}  // namespace

int RunBusyoAppearance() {
  if (StepCheckDone()) return 0;
  SeasonWork& w = g_TurnWork.season;
  SlgScenePort& scene = SlgScene();
  if (StepBegin()) {
    w.appearBusyo = 0;
    w.appearStage = 0;
  }
  while (w.appearBusyo < kBusyoCount) {
    const uint32_t g = static_cast<uint32_t>(w.appearBusyo);
    BusyoRecord& b = BusyoTable[g];
    const bool player = w.appearClan == PlayerDaimyoId;
    switch (w.appearStage) {
      case 0: {
        // Record 1999 is the "no general" entry: it never comes forward.
        if (g == NullBusyoId || b.appearYear == 255 || 1500 + b.appearYear > GameYear || b.siro != kNoSiro ||
            SlgRandom(100) >= 25) {
          ++w.appearBusyo;
          continue;
        }
        int clan, siro, slot;
        if (!FindAppearancePlace(g, clan, siro, slot)) {
          ++w.appearBusyo;
          continue;
        }
        w.appearClan = clan;
        w.appearSiro = siro;
        w.appearSlot = slot;
        ShowPlacing(clan, siro, 2);
        const bool toPlayer = clan == PlayerDaimyoId;
        w.appearTaken = toPlayer ? 1 : (AiTakesBusyo(g, clan) ? 1 : 0);
        if (!w.appearTaken) {
          w.appearStage = 3;
          continue;
        }
        char text[128];
        if (siro == KakuuSiroId)
          std::snprintf(text, sizeof text, "%sに%sが登場しました", GetDaimyoName(static_cast<uint32_t>(clan), false),
                        GetBusyoName(g));
        else
          std::snprintf(text, sizeof text, "%s城に%sが登場しました", GetSiroName(static_cast<uint32_t>(siro), false),
                        GetBusyoName(g));
        Message(text);
        SetFrameWait(MessageTime());
        w.appearStage = 1;
        return kStepRunning;
      }
      case 1:
        if (player) {
          b.kizuna = 0;
          scene.OpenDialog(20, static_cast<int>(g), 0, 0);
          if (!IsAutoRun()) {
            w.appearStage = 2;
            return kStepRunning;
          }
          scene.FinishDialog();
        }
        w.appearStage = 3;
        continue;
      case 2: {
        const int r = scene.GetSceneResult();
        if (r == 18) {
          SlgSound().PlayGeneralVoice(2, static_cast<int>(g), 0);
        } else if (r == 19) {
          b.appearYear = 255;
          w.appearTaken = 0;
        } else if (!scene.IsNoDialog()) {
          return kStepRunning;
        }
        scene.FinishDialog();
        w.appearStage = 3;
        continue;
      }
      default: {
        ShowPlacing(w.appearClan, w.appearSiro, 7);
        if (w.appearTaken) PlaceNewBusyo(g, w.appearClan, w.appearSiro, w.appearSlot);
        ClearMessage();
        if (w.appearTaken && player) RefreshPlayer();
        w.appearStage = 0;
        w.appearClan = kNoDaimyo;
        ++w.appearBusyo;
        continue;
      }
    }
  }
  StepFinish();
  return 0;
}

void SeasonEndWork() {
  RecalcCommandPoints();
  RecalcRecruitBases();
  RecalcGunRates();
  RecalcSoldierTotals();
  MoveIndependentGenerals();
  DriftLoyalty();
  char text[96];
  std::snprintf(text, sizeof text, "今期の収入は %d でした\n支出は %d でした", g_TurnWork.season.income,
                g_TurnWork.season.upkeep);
  Message(text);
  SetFrameWait(8 * MessageTime());
}

int RunSeasonTurn() {
  if (StepCheckDone()) return 0;
  if (StepBegin()) {
    SeasonStart();
    AnnounceTurn();
    GrowKuni();
    PayIncome();
    StepJump(kSeasonGrowth);
    return kStepRunning;
  }
  switch (StepGet()) {
    case kSeasonGrowth:
      if (RunChild(RunGrowBusyo)) StepJump(kSeasonEvents);
      return kStepRunning;
    case kSeasonEvents:
      if (!RunChild([] { AiTurn().RunRandomEvents(); })) return kStepRunning;
      RecalcPlayerShares();
      RecalcAllRevenues();
      RecalcKuniOwners();
      StepNext();
      return kStepRunning;
    case kSeasonRank:
      if (RunChild(UpdateDaimyoRank)) StepNext();
      return kStepRunning;
    case kSeasonUpkeep:
      if (!RunChild(RunUpkeep)) return kStepRunning;
      ShuffleClanOrder();
      StepNext();
      return kStepRunning;
    case kSeasonAppear:
      if (RunChild(RunBusyoAppearance)) StepNext();
      return kStepRunning;
    case kSeasonSuccession:
      if (RunChild([] { AiTurn().RunSuccession(); })) StepNext();
      return kStepRunning;
    case kSeasonEmptySlot:
      if (!RunChild(FinishAtOnce)) return kStepRunning;
      SeasonEndWork();
      StepFinish();
      return 0;
    default:
      StepJump(kSeasonGrowth);
      return kStepRunning;
  }
}
