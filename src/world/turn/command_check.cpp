#include "world/turn/command_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "world/float_rules.h"
#include "world/record_lists.h"
#include "world/world_ports.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

uint8_t CommandReasonList[kReasonListCapacity];
uint8_t CommandReasonCount = 0;
uint8_t CommandUnavailable = 0;
uint16_t CommandSourceSiro = kNoSiro;
uint8_t CommandSelCount = 0;
uint8_t CommandGreyBits[32];
uint16_t CommandMenuWord = 0;

namespace {

const char kReasonTexts[kReasonCount][kReasonTextBytes] = {
    "",
    "ＣＰが足りません",
    "計略する城に向かわせる\n兵がいません",
    "俸禄が最大です",
    "当主はできません",
    "残金が足りません",
    "この国では応募兵が\nもういないようです",
    "我が家の規模では、これ以上の兵は\n管理できません",
    "この武将が管理できる兵数は\nすでに最大です",
    "実行する必要はありません",
    "我が家で入手可能な鉄砲は\nないようです",
    "これ以上、兵に鉄砲を\n持たせられません",
    "台風のためこの先は行けません",
    "台風のため動けません",
    "すでにこの城の普請を\n行なっています",
    "命令済み武将です",
    "この城のレベルはすでに(40)最大です",
    "この国は、領国ではありません",
    "すでにこの国で治水開墾を\n行なっています",
    "命令可能武将がいません",
    "すでにこの国で楽市楽座を\n行なっています",
    "すでにこの国で臨時徴収を\n行なっています",
    "この指定総武将数では\n費用が足りません",
    "国内経路が塞がれています",
    "敵城です",
    "武将でいっぱいです",
    "勢力レベルが足りません",
    "調略は( 5)大名までしかできません。",
    "未調略で領国に隣接した未交渉の敵大名がありませぬぞ",
    "この大名はすでに交渉済みです",
    "この大名はすでに調略済みですぞ",
    "命令武将のいる領国に隣接した敵大名ではありません",
    "命令武将のいる領国に隣接していませんぞ",
    "大名国ではありません",
    "命令可能武将がいません。当主はできません。",
    "同盟は三大名家までしかできません",
    "未同盟で未交渉の敵大名がありませぬぞ",
    "敵大名ではありません",
    "この大名はすでに同盟済みです",
    "この国には敵武将がいません",
    "収容可能で引き抜けそうな未交渉の敵武将がいませぬぞ",
    "この武将はすでに行動済みです",
    "当主、重臣、一向一揆は引き抜けません",
    "この指定総兵数では\n費用が足りません",
    "残金十分で作戦可能城の隣接城に待機武将がいませぬぞ",
    "敵城ではありません",
    "隣接した城ではありません",
    "健在する、大名または豪族がいません",
    "指定可能な大名がありません",
    "滅亡しました",
    "当家の情報は一般画面で調べてください",
    "この兵数では費用がたりません",
    "我が家ではこれ以上の武将を\n抱えられません",
    "城が武将でいっぱいです、\n引き抜いた武将が入れません",
    "収容可能な城にいて、当主でない待機武将がいませぬぞ",
    "我が家の規模で城をさらに\n増築することはできません",
    "忠誠が最大です",
    "大雪のためこの先は行けません",
    "大雪のため動けません",
    "移動元城です",
    "移動可能な城がありません",
    "すでに計略済みです",
    "作戦参加武将数が多すぎます",
    "治水開墾する領地がありません",
    "これ以上は町の規模は\n大きくできません",
    "現在は国内のみ作戦が可能です",
    "会いにいける武将がいません。",
    "残金十分で普請可能城にいる\n待機武将がいません",
    "移動可能な武将がいません",
    "これ以上は計略できません",
    "今は侵攻できません",
    "同盟城です",
    "実行可能な武将がいません",
    "",
    "この武将の忠誠は最大です",
    "絆の武将には使用できません",
    "",
    "実行済みです",
    "実行可能な城がありません",
    "この城には配置できません。",
    "配置できる城がありません。",
    "孤立している城には配置できません",
    "このシナリオでは使用できません",
    "この武将には内通できません",
    "セーブデータがありません",
    "国情報で未調査の為、見ることが出来ません",
};

struct CommandLabel {
  uint8_t id;
  const char* name;
  int8_t cp;  // -1 none, -2 the clan's gun rate
};
const CommandLabel kLabels[] = {
    {0, "恩賞　　　", 0},   {1, "徴兵　　　", 1},     {2, "鉄砲購入　", -2},      {4, "城の普請　", 1},
    {5, "治水開墾　", 2},   {6, "楽市楽座　", 1},     {7, "臨時徴収　", 2},       {8, "武将移動　", 1},
    {9, "計略　　　", 3},   {10, "同盟　　　", 1},    {11, "引き抜き　", 3},      {13, "作戦命令　", 0},
    {14, "勢力情報", -1},   {15, "フェイズ終了", -1}, {17, "タイトルへ", -1},     {28, "保存", -1},
    {32, "武将に会う", -1}, {33, "内通　　　", 1},    {34, "鍛錬　　　", 1},      {35, "控え武将　", 0},
    {36, "武将情報", -1},   {40, "国情報", -1},       {41, "クイックセーブ", -1}, {42, "クイックロード", -1},
    {43, "システム", -1},   {44, "情報", -1},         {45, "戻る", -1},           {46, "環境設定", -1},
    {47, "読み込み", -1},   {48, "天下統一宣言", -1},
};

const uint8_t kMenu1[] = {1, 34, 0, 2};
const uint8_t kMenu2[] = {4, 5, 6, 7, 8, 35, 10, 11, 32};
const uint8_t kMenu3[] = {13, 9, 33};
const uint8_t kMenu5[] = {28, 47, 255, 255, 36, 14};

// ---- The check's working state ----
struct Check {
  int result = 0;
  void Refuse(uint8_t code) {
    Grey(code);
    result = 1;
  }
  void Grey(uint8_t code) {
    if (CommandReasonCount < kReasonListCapacity)
      CommandReasonList[CommandReasonCount++] = code;
    else
      CommandReasonList[kReasonListCapacity - 1] = code;  // full: the last code still wins
    CommandUnavailable = 1;
  }
  void GreyOnly() { CommandUnavailable = 1; }
};

uint8_t P() { return PlayerDaimyoId; }
DaimyoRecord& Clan() { return DaimyoTable[P()]; }
int Money() { return Clan().money; }
int Cp() { return Clan().cp; }
int Rank() { return Clan().rank; }

bool IsGeneral(uint16_t b) { return b < kBusyoCount; }
bool Ordered(uint16_t b) { return IsGeneral(b) && (BusyoTable[b].cmdFlags & 1); }
bool Bonded(uint16_t b) { return IsGeneral(b) && BusyoTable[b].kizuna != 0; }

// A castle id of the current country (kept between its first and last castle).
bool InKuni(uint16_t siro, uint8_t kuni) {
  if (kuni >= kKuniCount || siro >= kSiroSlots) return false;
  return siro >= KuniTable[kuni].firstSiro && siro <= KuniTable[kuni].lastSiro;
}
bool BusyoInCurrentKuni(uint16_t b) { return IsGeneral(b) && InKuni(BusyoTable[b].siro, CurrentKuniId); }

template <typename F>
bool AnyVassalInKuni(F&& pred) {
  if (P() >= kDaimyoInPlay) return false;
  for (int i = 0; i < kVassalScan; ++i) {
    uint16_t b = Clan().vassals[i];
    if (BusyoInCurrentKuni(b) && pred(b)) return true;
  }
  return false;
}

// Weather closing a country: a typhoon in season 1, snow otherwise.
uint8_t ClosedCode(bool stay) {
  if (SeasonIndex == 1) return stay ? 13 : 12;
  return stay ? 58 : 57;
}

uint8_t SiroKuni(uint16_t s) { return s < kSiroSlots ? SiroTable[s].kuni : kNoKuni; }
bool OwnSiro(uint16_t s) { return s < kSiroSlots && SiroTable[s].owner == P() && SiroTable[s].lord == P(); }
bool CastleDone(uint16_t s) { return s < kSiroSlots && (SiroTable[s].turnFlags & 1); }
bool KuniDone(uint8_t kuni, int bit) { return kuni < kKuniSlots && (KuniTable[kuni].doneFlags & (1 << bit)); }
uint8_t HomeKuni() { return Clan().homeKuni; }
bool KuniReachable(uint8_t kuni) { return kuni == HomeKuni() || Rank() >= 2; }

int CountMarchingOn(uint16_t siro) {
  int n = 0;
  for (int i = 0; i < kVassalScan && P() < kDaimyoInPlay; ++i) {
    uint16_t b = Clan().vassals[i];
    if (IsGeneral(b) && BusyoTable[b].marchFlag == 1 && BusyoTable[b].siro2 == siro) ++n;
  }
  return n;
}

int GunPrice(uint8_t kuni) {
  const int base = 2 * Clan().gunRate;
  int best = -1;
  if (kuni < kKuniCount)
    for (int i = 0; i < kVassalScan; ++i) {
      uint16_t b = Clan().vassals[i];
      if (IsGeneral(b) && InKuni(BusyoTable[b].siro, kuni) && HasSkillEffect(b, 25))
        best = std::max(best, GetSkillEffectValue(b, 25));
    }
  if (best < 0) return base;
  return TruncProduct(base, SkillFactorDown(best));
}

float RecruitRatio() {
  const int rank = Rank();
  if (rank <= 1) return 0.35f;
  if (rank == 2) return 0.3f;
  int q = (30000 - Clan().revenue) / 1000;
  return q < 20 ? 0.2f : static_cast<float>(q) / 100.0f;
}

int SiroWorkCost(uint16_t b, int levels) {
  const int s = std::min(GetBusyoStat3(b), 16);
  const int skill = GetSkillEffectValue(b, 27);
  const float term = FloatTerm(20.0 - s / 5.0 + levels);
  const double v = static_cast<double>(term) * (levels + 3) * 0.125 * static_cast<double>(SkillFactorDown(skill));
  return std::clamp(static_cast<int>(v), 0, 0xFFFF);
}

int SiroLevelCap(uint16_t siro) {
  const float root = static_cast<float>(std::sqrt(static_cast<double>(Clan().revenue)));
  const int cap = static_cast<int>(static_cast<double>(root) * 0.5 + 5);
  return std::min(cap, static_cast<int>(SiroTable[siro].maxLevel));
}

int MoveCost() { return Rank() <= 1 ? 1 : (Rank() == 2 ? 3 : 5); }

int InvadeCost(uint16_t b) {
  if (!IsGeneral(b)) return 0;
  const int k = Clan().revenue;
  const int soldiers = BusyoTable[b].soldiers;
  if (k < 1000) return (soldiers + 1) / 2;
  const double m = std::min(std::trunc((k - 1000) / 1000.0) * 0.25 + 1.0, 2.0);
  return static_cast<int>(soldiers * m);
}

constexpr int kSecretContactCost = 20;

int MarkedInvadeCost() {
  std::vector<int32_t> marked;
  SlgScene().GetMarkedBusyoList(marked);
  int sum = 0;
  for (int32_t g : marked) sum += InvadeCost(static_cast<uint16_t>(g));
  return sum;
}

// ---- Rules ----

void RuleReward(Check& c, uint16_t g) {
  if (Money() < 5) c.Refuse(5);
  if (IsGeneral(g)) {
    const BusyoRecord& b = BusyoTable[g];
    if (Ordered(g)) c.Refuse(15);
    if (b.cur.stat[3] == 99) c.Refuse(3);
    if (b.loyalty == 16) c.Refuse(56);
    if (Bonded(g)) c.Refuse(9);
  } else if (!AnyVassalInKuni([](uint16_t v) {
               const BusyoRecord& b = BusyoTable[v];
               return b.cur.stat[3] < 99 && b.loyalty < 16 && !Ordered(v) && !Bonded(v);
             })) {
    c.GreyOnly();
  }
}

void RuleRecruit(Check& c, uint16_t g) {
  const uint8_t k = CurrentKuniId;
  const KuniRecord* kuni = k < kKuniCount ? &KuniTable[k] : nullptr;
  if (Cp() < 1 && kuni && kuni->applicants == 255) c.Refuse(1);
  if (Money() < 1) c.Refuse(5);
  const int cap = static_cast<uint16_t>(TruncProduct(Clan().revenue, RecruitRatio()));
  if (Clan().soldiers >= cap) c.Refuse(7);
  if (!kuni || kuni->applicants == 0 || kuni->playerShare * kuni->recruitBase < 100) c.Refuse(6);
  if (IsGeneral(g)) {
    if (BusyoTable[g].soldiers >= 50) c.Refuse(8);
  } else if (!AnyVassalInKuni([](uint16_t v) { return BusyoTable[v].soldiers < 50; })) {
    c.Grey(8);
  }
}

void RuleGuns(Check& c, uint16_t g) {
  if (Cp() < Clan().gunRate && Clan().gunsLeft == 255) c.Refuse(1);
  if (Money() < GunPrice(CurrentKuniId)) c.Refuse(5);
  if (Clan().gunsLeft == 0) c.Refuse(10);
  if (IsGeneral(g)) {
    if (BusyoTable[g].guns >= BusyoTable[g].soldiers) c.Refuse(11);
  } else if (!AnyVassalInKuni([](uint16_t v) { return BusyoTable[v].guns < BusyoTable[v].soldiers; })) {
    c.Grey(11);
  }
}

bool CanWorkCastle(uint16_t v) {
  const uint16_t s = BusyoTable[v].siro;
  if (s >= kSiroSlots || CastleDone(s) || Ordered(v)) return false;
  if (Money() < SiroWorkCost(v, 1)) return false;
  return SiroTable[s].level < SiroTable[s].maxLevel && SiroTable[s].level < SiroLevelCap(s);
}

void RuleCastleWorks(Check& c, uint16_t g) {
  if (Cp() < 1) c.Refuse(1);
  if (IsGeneral(g)) {
    const uint16_t s = BusyoTable[g].siro;
    if (CastleDone(s)) c.Refuse(14);
    if (Ordered(g)) c.Refuse(15);
    if (Money() < SiroWorkCost(g, 1)) c.Refuse(5);
    if (s < kSiroSlots) {
      if (SiroTable[s].level >= SiroTable[s].maxLevel)
        c.Refuse(16);
      else if (SiroTable[s].level >= SiroLevelCap(s))
        c.Refuse(55);
    }
  } else if (!AnyVassalInKuni(CanWorkCastle)) {
    c.Grey(67);
  }
}

// Flood control (5) and free markets (6).
void RuleDevelop(Check& c, uint16_t g, bool market) {
  const uint8_t k = CurrentKuniId;
  const KuniRecord* kuni = k < kKuniCount ? &KuniTable[k] : nullptr;
  if (Cp() < (market ? 1 : 2)) c.Refuse(1);
  if (Money() < (market ? (kuni ? kuni->town / 10 : 0) : 100)) c.Refuse(5);
  if (!kuni || kuni->holder != P()) c.Refuse(17);
  if (KuniDone(k, market ? 1 : 0)) c.Refuse(market ? 20 : 18);
  if (kuni && (market ? kuni->town == kuni->townLimit : kuni->land == kuni->landLimit)) c.Refuse(market ? 64 : 63);
  if (IsGeneral(g)) {
    if (Ordered(g)) c.Refuse(15);
  } else if (!AnyVassalInKuni([](uint16_t v) { return !Ordered(v); })) {
    c.Grey(15);
  }
}

void RuleLevy(Check& c, uint16_t g) {
  const uint8_t k = CurrentKuniId;
  if (Cp() < 2) c.Refuse(1);
  if (k >= kKuniCount || KuniTable[k].holder != P()) c.Refuse(17);
  if (KuniDone(k, 2)) c.Refuse(21);
  if (IsGeneral(g)) {
    if (Ordered(g)) c.Refuse(15);
  } else if (!AnyVassalInKuni([](uint16_t v) { return !Ordered(v); })) {
    c.Grey(15);
  }
}

// Returns false when the check ends here.
bool RuleMove(Check& c, uint16_t g, uint16_t siro) {
  if (IsKuniClosed(CurrentKuniId)) c.Refuse(ClosedCode(true));
  if (Cp() < 1) c.Refuse(1);
  if (IsGeneral(g)) {
    const int marked = SlgScene().CountMarkedBusyo();
    const int n = marked > 0 ? marked : 1;
    if (MoveCost() * n > Money()) c.Refuse(22);
    if (siro != kNoSiro) {
      if (Ordered(g)) c.Refuse(15);
      const bool fullAfter = marked > 0 && siro < kSiroSlots && CountSiroBusyo(siro) + CommandSelCount >= 7;
      if (SiroKuni(siro) != SiroKuni(CommandSourceSiro)) {
        if (IsKuniClosed(SiroKuni(siro))) {
          c.Refuse(ClosedCode(false));
          return false;
        }
        if (siro >= kSiroSlots || SiroTable[siro].owner != P()) c.Refuse(60);
        if (!CanReachSiro(g, siro, CommandSourceSiro, false)) c.Refuse(23);
        if (fullAfter) c.Refuse(25);
      } else {
        // His own castle is refused as the source; the road test does not apply to it.
        const bool source = BusyoTable[g].siro == siro;
        if (source) c.Refuse(59);
        if (!OwnSiro(siro)) c.Refuse(24);
        if (!source && !CanMoveBusyoTo(g, siro)) c.Refuse(23);
        if (fullAfter) c.Refuse(25);
      }
    } else {
      if (Ordered(g)) c.Refuse(15);
      if (Money() < (n + 1) * MoveCost()) c.Refuse(22);
      const uint16_t own = BusyoTable[g].siro;
      if (!CanReachSiro(g, own, own, true)) c.Grey(60);
    }
  } else {
    if (Money() < MoveCost()) c.Refuse(5);
    CommandSelCount = 1;
    if (!AnyVassalInKuni([](uint16_t v) {
          const uint16_t own = BusyoTable[v].siro;
          return !Ordered(v) && CanReachSiro(v, own, own, true);
        }))
      c.Grey(68);
  }
  return true;
}

bool RulePlot(Check& c, uint16_t g, uint16_t siro) {
  if (IsGeneral(g) && siro != kNoSiro && FirstTurnFlag && SiroKuni(siro) != SiroKuni(BusyoTable[g].siro)) c.Refuse(65);
  if (IsKuniClosed(CurrentKuniId)) c.Refuse(ClosedCode(true));
  if (Cp() < 3) c.Refuse(1);
  if (Money() < 50) c.Refuse(5);
  if (IsGeneral(g)) {
    if (Ordered(g)) c.Refuse(15);
    if (BusyoTable[g].soldiers <= 1) c.Refuse(2);
    if (siro != kNoSiro) {
      const uint16_t from = BusyoTable[g].siro;
      if (IsSiroPassBlocked(from, siro)) c.Refuse(70);
      if (!KuniReachable(SiroKuni(siro))) {
        c.Refuse(26);
        return false;
      }
      if (IsKuniClosed(SiroKuni(siro))) c.Refuse(ClosedCode(false));
      if (siro < kSiroSlots && SiroTable[siro].owner == P()) {
        c.Refuse(45);
        return false;
      }
      if (!AreSiroNeighbours(from, siro)) {
        c.Refuse(46);
        return false;
      }
      if (CastleDone(siro)) {
        c.Refuse(61);
        return false;
      }
      if (siro < kSiroSlots && SiroTable[siro].level <= 1) c.Refuse(69);
    } else {
      CommandSelCount = 0;
      if (!HasTargetSiroNearBusyo(g, kCmdPlot)) c.Grey(78);
    }
  } else {
    CommandSelCount = 0;
    if (!AnyVassalInKuni([](uint16_t v) {
          return !Ordered(v) && BusyoTable[v].soldiers >= 2 && HasTargetSiroNearBusyo(v, kCmdPlot);
        }))
      c.Grey(72);
  }
  return true;
}

void RulePoach(Check& c, uint16_t g, uint16_t other) {
  if (Cp() < 3) c.Refuse(1);
  if (Money() < 50) c.Refuse(5);
  if (Rank() < 2) c.Refuse(26);
  if (CountKuniForeignBusyo(P(), CurrentKuniId) == 0) c.Refuse(39);
  if (CountDaimyoFreeSlots(P()) == 0) {
    c.Refuse(52);
  } else if (IsGeneral(other)) {
    if (Ordered(other)) c.Refuse(41);
    if (Bonded(other)) c.Refuse(42);
  } else {
    bool any = false;
    const uint8_t k = CurrentKuniId;
    for (int s = k < kKuniCount ? KuniTable[k].firstSiro : 1; k < kKuniCount && s <= KuniTable[k].lastSiro && !any;
         ++s) {
      if (!IsSiroInUse(s)) continue;
      for (const SiroBusyoRef& r : SiroTable[s].list1) {
        if (r.slot == kNoSlot || r.force == P()) continue;
        uint16_t b = GetForceSlotBusyo(r.force, r.slot);
        if (IsGeneral(b) && !Ordered(b) && !Bonded(b)) any = true;
      }
    }
    if (!any) c.GreyOnly();
  }
  if (IsGeneral(g)) {
    if (Ordered(g)) c.Refuse(15);
    if (Clan().head == g) c.Refuse(4);
  } else if (!AnyVassalInKuni([](uint16_t v) { return v != Clan().head && !Ordered(v); })) {
    c.GreyOnly();
  }
}

bool RuleInvade(Check& c, uint16_t g, uint16_t siro) {
  if (IsGeneral(g) && siro != kNoSiro && FirstTurnFlag && siro != KakuuSiroId &&
      SiroKuni(siro) != SiroKuni(BusyoTable[g].siro))
    c.Refuse(65);
  if (IsKuniClosed(CurrentKuniId)) c.Refuse(ClosedCode(true));
  if (!IsGeneral(g)) {
    CommandSelCount = 1;
    if (!AnyVassalInKuni([](uint16_t v) {
          return HasTargetSiroNearBusyo(v, kCmdInvade) && !Ordered(v) && Money() >= InvadeCost(v);
        }))
      c.Grey(72);
    return true;
  }
  const int total = SlgScene().CountMarkedBusyo() == 0 ? InvadeCost(g) : MarkedInvadeCost();
  if (Money() < total) c.Refuse(43);
  if (Ordered(g)) c.Refuse(15);
  if (siro != kNoSiro) {
    const uint16_t from = BusyoTable[g].siro;
    if (IsSiroPassBlocked(from, siro)) c.Refuse(70);
    if (!KuniReachable(SiroKuni(siro))) {
      c.Refuse(26);
      return false;
    }
    if (IsKuniClosed(SiroKuni(siro))) c.Refuse(ClosedCode(false));
    if (siro < kSiroSlots && SiroTable[siro].owner == P()) {
      c.Refuse(45);
      return false;
    }
    if (AreSiroNeighbours(from, siro)) {
      if (CountMarchingOn(siro) + CommandSelCount >= 7) c.Refuse(62);
    } else {
      c.Refuse(46);
    }
  } else {
    if (Money() < InvadeCost(g) + total) c.Refuse(51);
    CommandSelCount = 1;
    if (!HasTargetSiroNearBusyo(g, kCmdInvade)) c.Grey(78);
  }
  return true;
}

// Secret contact from any of the candidates (no general given).
void SecretContactCandidates(Check& c, uint16_t other) {
  bool any = false, anyPays = false, anyTarget = false, allOrdered = true;
  auto test = [&](uint16_t v) {
    const bool pays = Money() >= kSecretContactCost;
    const bool target = HasTargetSiroNearBusyo(v, kCmdSecretContact);
    anyPays |= pays;
    anyTarget |= target;
    allOrdered &= Ordered(v);
    if (target && !Ordered(v) && pays) any = true;
  };
  if (IsGeneral(other)) {
    const uint16_t s = BusyoTable[other].siro;
    for (int i = 0; i < kVassalScan && P() < kDaimyoInPlay; ++i) {
      uint16_t v = Clan().vassals[i];
      if (IsGeneral(v) && BusyoTable[v].siro == s && BusyoInCurrentKuni(v)) test(v);
    }
  } else {
    AnyVassalInKuni([&](uint16_t v) {
      test(v);
      return false;
    });
  }
  if (any) return;
  c.Refuse(72);
  if (!anyPays) c.Refuse(5);
  if (!anyTarget) c.Refuse(78);
  if (allOrdered) c.Refuse(72);
}

void RuleSecretContact(Check& c, uint16_t g, uint16_t siro, uint16_t other) {
  if (Rank() < 2) c.Refuse(26);
  if (Cp() < 1) c.Refuse(1);
  if (!IsGeneral(g)) {
    SecretContactCandidates(c, other);
    return;
  }
  if (Money() < kSecretContactCost) c.Refuse(5);
  if (Ordered(g)) c.Refuse(15);
  if (siro != kNoSiro) {
    const uint8_t k = SiroKuni(siro);
    if (k < kKuniSlots && (KuniTable[k].passFlags & 0x0C))
      c.Refuse(70);
    else if (!KuniReachable(k))
      c.Refuse(65);
    if (siro < kSiroSlots && SiroTable[siro].owner == P()) c.Refuse(45);
    if (!AreSiroNeighbours(BusyoTable[g].siro, siro)) c.Refuse(46);
  } else if (!HasTargetSiroNearBusyo(g, kCmdSecretContact)) {
    c.Refuse(78);
  }
}

void RuleContactChosen(Check& c, uint16_t target, uint16_t siro, uint16_t other) {
  if (!IsGeneral(target)) {
    if (IsGeneral(other)) SecretContactCandidates(c, other);
    return;
  }
  const BusyoRecord& t = BusyoTable[target];
  if (IsGeneral(other) && GetBusyoDaimyo(target) == GetBusyoDaimyo(other)) c.Refuse(9);
  if (t.cmdFlags & 0x08) c.Refuse(77);
  if (t.kizuna == 2 || t.kizuna > 4) c.Refuse(83);
  const uint8_t clan = GetBusyoDaimyo(target);
  if (clan < kDaimyoInPlay && DaimyoTable[clan].head == target) c.Refuse(83);
  (void)siro;
}

bool OwnNeighbour(uint16_t s) {
  if (s >= kSiroSlots) return false;
  for (uint16_t n : SiroTable[s].neighbours)
    if (n < kSiroSlots && SiroTable[n].owner == P()) return true;
  return false;
}

void RuleReserve(Check& c, uint16_t siro, uint16_t other) {
  if (CountDaimyoKakuuBusyo(P()) == 0) c.Refuse(19);
  if (siro != kNoSiro) {
    if (!OwnSiro(siro)) c.Refuse(24);
    if (!OwnNeighbour(siro)) c.Refuse(81);
    return;
  }
  if (IsGeneral(other)) {
    // With a general given: his castle is tested, and the entry stays grey.
    const uint16_t s = BusyoTable[other].siro;
    if (!OwnSiro(s)) c.Refuse(24);
    if (!OwnNeighbour(s)) c.Refuse(81);
    c.Grey(25);
    c.Grey(80);
    return;
  }
  const uint8_t k = CurrentKuniId;
  bool any = false;
  for (int s = k < kKuniCount ? KuniTable[k].firstSiro : 1; k < kKuniCount && s <= KuniTable[k].lastSiro && !any; ++s)
    any = IsSiroInUse(s) && OwnSiro(static_cast<uint16_t>(s)) && OwnNeighbour(static_cast<uint16_t>(s));
  if (!any) {
    c.Grey(25);
    c.Grey(80);
  }
}

}  // namespace

const char* CommandRefusalReason(int code) { return code >= 0 && code < kReasonCount ? kReasonTexts[code] : ""; }

void SetCommandReason(uint8_t code) {
  CommandReasonList[0] = code;
  CommandReasonCount = 1;
}

void ClearCommandReasons() { CommandReasonCount = 0; }

const char* GetCommandReasonText() {
  if (CommandReasonCount == 0) return nullptr;
  return CommandRefusalReason(CommandReasonList[CommandReasonCount - 1]);
}

bool CanTargetSiroFromBusyo(uint16_t busyo, uint16_t siro, int command) {
  if (!IsGeneral(busyo) || siro >= kSiroSlots || !IsSiroInUse(siro)) return false;
  if (!AreSiroNeighbours(BusyoTable[busyo].siro, siro)) return false;
  if (command == kCmdInvade) {
    if (CountMarchingOn(siro) + CommandSelCount > 6) return false;
  } else if (command == kCmdPlot) {
    if (CastleDone(siro)) return false;
  } else if (command == kCmdSecretContact) {
    bool any = false;
    for (const SiroBusyoRef& r : SiroTable[siro].list1) {
      uint16_t b = r.slot == kNoSlot ? kNoBusyo : GetForceSlotBusyo(r.force, r.slot);
      if (IsGeneral(b) && IsSecretContactCandidate(b, GetBusyoDaimyo(busyo))) any = true;
    }
    if (!any) return false;
  }
  const SiroRecord& s = SiroTable[siro];
  if (s.owner != kNoDaimyo && (s.lord == P() || s.owner != s.lord)) return false;
  return InKuni(siro, CurrentKuniId) || Rank() >= 2;
}

bool HasTargetSiroNearBusyo(uint16_t busyo, int command) {
  if (!IsGeneral(busyo)) return false;
  const uint16_t from = BusyoTable[busyo].siro;
  if (from >= kSiroSlots) return false;
  for (uint16_t n : SiroTable[from].neighbours)
    if (n < kSiroSlots && !IsSiroPassBlocked(from, n) && CanTargetSiroFromBusyo(busyo, n, command)) return true;
  return false;
}

int CheckCommandAvailable(int command, uint16_t busyo, uint16_t siro, uint8_t clan, uint16_t other) {
  (void)clan;
  CommandReasonCount = 0;
  CommandUnavailable = 0;
  CommandSourceSiro = SlgScene().GetSelectedCastle();
  const uint8_t selCount = static_cast<uint8_t>(SlgScene().CountMarkedBusyo());
  CommandSelCount = selCount;
  Check c;
  if (P() >= kDaimyoInPlay) {
    // Without a player's clan no command can run.
    c.Refuse(72);
  } else {
    switch (command) {
      case kCmdReward:
        RuleReward(c, busyo);
        break;
      case kCmdRecruit:
        RuleRecruit(c, busyo);
        break;
      case kCmdGuns:
        RuleGuns(c, busyo);
        break;
      case kCmdCastleWorks:
        RuleCastleWorks(c, busyo);
        break;
      case kCmdFloodControl:
        RuleDevelop(c, busyo, false);
        break;
      case kCmdFreeMarket:
        RuleDevelop(c, busyo, true);
        break;
      case kCmdLevy:
        RuleLevy(c, busyo);
        break;
      case kCmdMove:
        RuleMove(c, busyo, siro);
        break;
      case kCmdPlot:
        RulePlot(c, busyo, siro);
        break;
      case kCmdAlliance:
        // Alliance costs 1 CP and 40 money: refused when they are not there (never spent into a wrap).
        if (Cp() < 1) c.Refuse(1);
        if (Money() < 40) c.Refuse(5);
        // With three allies a new alliance has no slot: refused before anything is paid.
        if (std::none_of(Clan().allies, Clan().allies + 3, [](uint8_t a) { return a == kNoDaimyo; })) c.Refuse(35);
        break;
      case kCmdPoach:
        RulePoach(c, busyo, other);
        break;
      case kCmdInvade:
        RuleInvade(c, busyo, siro);
        break;
      case kCmdVisit:
        if (NoVisitableBusyo()) c.Refuse(66);
        if (Cp() < 1) c.Refuse(1);  // a visit costs 1 CP
        break;
      case kCmdSecretContact:
        RuleSecretContact(c, busyo, siro, other);
        break;
      case kCmdContactChosen:
        // A castle asked for while the target is picked: the chosen general's test against it.
        if (siro != kNoSiro)
          RuleSecretContact(c, busyo, siro, kNoBusyo);
        else if (IsGeneral(other) || IsGeneral(busyo))
          RuleContactChosen(c, busyo, siro, other);
        else
          RuleSecretContact(c, busyo, siro, other);
        break;
      case kCmdTraining:
        if (Cp() < 1) c.Refuse(1);
        if (Clan().turnFlags & 0x04) c.Refuse(77);
        break;
      case kCmdReserve:
        RuleReserve(c, siro, other);
        break;
      case kCmdQuickLoad:
        if (!SlgRules().HasQuickSave()) c.Refuse(84);
        break;
      case kCmdDeclareUnification:
        if (UnificationStage != 1) c.Refuse(77);
        break;
      default:
        break;
    }
  }
  CommandSelCount = selCount;
  return c.result;
}

const uint8_t* CommandMenuList(int menu, int& count) {
  switch (menu) {
    case 1:
      count = static_cast<int>(sizeof kMenu1);
      return kMenu1;
    case 2:
      count = static_cast<int>(sizeof kMenu2);
      return kMenu2;
    case 3:
      count = static_cast<int>(sizeof kMenu3);
      return kMenu3;
    case 5:
      count = static_cast<int>(sizeof kMenu5);
      return kMenu5;
    default:
      count = 0;
      return nullptr;
  }
}

void RefreshCommandMenus(int menu) {
  CommandSelCount = 1;
  CommandMenuWord = 0;
  int count = 0;
  const uint8_t* list = CommandMenuList(menu, count);
  for (int i = 0; i < count; ++i) {
    const uint8_t id = list[i];
    if (id == 255) continue;
    CheckCommandAvailable(id, kNoBusyo, kNoSiro, kNoDaimyo, kNoBusyo);
    SetBit(id, CommandGreyBits, CommandUnavailable != 0);
  }
}

bool IsCommandGreyed(int command) {
  return command >= 0 && command < 256 && TestBit(static_cast<uint32_t>(command), CommandGreyBits);
}

void FormatCommandLabel(int command, char* out, size_t size) {
  if (!out || size == 0) return;
  out[0] = '\0';
  for (const CommandLabel& l : kLabels) {
    if (l.id != command) continue;
    if (l.cp == -1) {
      std::snprintf(out, size, "%s", l.name);
    } else {
      int cp = l.cp == -2 ? (PlayerDaimyoId < kDaimyoSlots ? DaimyoTable[PlayerDaimyoId].gunRate : 0) : l.cp;
      std::snprintf(out, size, "%s：CP%d", l.name, cp);
    }
    return;
  }
}
