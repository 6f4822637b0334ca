// Random events of the season (famine, harvests, disasters, plague, revolts, discoveries, envoys,
// submissions, fortification, rebellion) and the value check that closes them. Each event keeps
// its loop position in EventWork, so it resumes after every message wait.
#include "world/ai/random_events.h"

#include <cstddef>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "core/debug_words.h"
#include "core/frame_wait.h"
#include "core/step_machine.h"
#include "world/ai/ai_common.h"
#include "world/placement.h"
#include "world/record_lists.h"
#include "world/slg_util.h"
#include "world/ai/ai_entry.h"
#include "world/turn/turn_loop.h"
#include "world/turn/season_turn.h"
#include "world/turn/slg_sound_port.h"
#include "world/world_ports.h"
#include "world/world_queries.h"
#include "world/turn/play_state_blocks.h"

// Empty until the first turn reset resolves them.
uint8_t IkkoKuniList[12] = {255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255};
uint8_t MineKuniList[19] = {255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
                            255, 255, 255, 255, 255, 255, 255, 255, 255};
uint8_t PortKuniList[13] = {255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255};

namespace {

const char* const kIkkoNames[] = {"加賀", "摂津", "紀伊",   "伊勢",   "越前", "河内",
                                  "越中", "三河", "南近江", "北近江", "和泉"};
const char* const kMineNames[] = {"北陸奥", "中陸奥", "南陸奥", "北出羽", "南出羽", "常陸", "伊豆", "駿河", "甲斐",
                                  "北信濃", "南信濃", "飛騨",   "越後",   "但馬",   "出雲", "石見", "美作", "薩摩"};
const char* const kPortNames[] = {"和泉", "周防", "長門", "土佐", "豊前", "豊後",
                                  "筑前", "肥前", "肥後", "日向", "大隅", "薩摩"};

constexpr char kIkkoFamily[] = "  一向一揆  ";

struct EventWork {
  int slot = 1;
  int cursor = 0;
  int cursor2 = 0;
  int phase = 0;
  int kuni = -1;
  bool notice = false;
  bool flag = false;
};
EventWork g_ev;
// Carried by a save: a loaded game goes on from the same working state.
[[maybe_unused]] const bool kEventsSaved = RegisterPlayStateBlock(
    {"ai.events", &g_ev, sizeof g_ev, [](const uint8_t* b) -> const char* {
       if (!IsBoolByte(b, offsetof(EventWork, notice)) || !IsBoolByte(b, offsetof(EventWork, flag)))
         return "ai.events: flag out of range";
       EventWork w;
       std::memcpy(&w, b, sizeof w);
       return w.kuni < -1 || w.kuni >= kKuniCount ? "ai.events: country out of range" : nullptr;
     }});

const char* RegionName(int r) {
  const char* name = GetRegionName(r);
  return name ? name : "";
}

template <typename... A>
std::string Format(const char* fmt, A... a) {
  char buf[256];
  std::snprintf(buf, sizeof buf, fmt, a...);
  return buf;
}

int Rand(int n) { return SlgRandom(static_cast<uint8_t>(std::clamp(n, 0, 255))); }
bool Chance(int n) { return SlgRandom(100) < n; }
// The debug menu's forced season event: in its season the event and every region's draw happen.
bool Forced(uint8_t event) { return GetDebugWords().forcedSeasonEvent == event; }
constexpr uint8_t kForcePoorHarvest = 0, kForceGoodHarvest = 1, kForcePlague = 2, kForceDrought = 3;

template <typename F>
void ForKuniSiro(uint32_t kuni, F&& f) {
  if (kuni >= kKuniCount) return;
  const KuniRecord& k = KuniTable[kuni];
  for (uint32_t s = k.firstSiro; s <= k.lastSiro && s < kSiroSlots; ++s)
    if (IsSiroInUse(s) && SiroTable[s].kuni == kuni) f(s);
}

// Every general standing in a castle of the country (not the fictional castle, not unplaced).
template <typename F>
void ForKuniBusyo(uint32_t kuni, F&& f) {
  for (int g = 0; g < NullBusyoId; ++g) {
    uint16_t s = BusyoTable[g].siro;
    if (s < kSiroSlots && IsSiroInUse(s) && SiroTable[s].kuni == kuni) f(static_cast<uint16_t>(g));
  }
}

void ScaleLand(KuniRecord& k, int percent) { k.land = static_cast<uint16_t>(std::max(0, k.land * percent / 100)); }
void ScaleTown(KuniRecord& k, int percent) { k.town = static_cast<uint16_t>(std::max(0, k.town * percent / 100)); }
void LowerMood(KuniRecord& k, int d) { k.mood = static_cast<uint8_t>(std::max(1, k.mood - d)); }

void MarkKuni(int kuni) { ShowKuniEventEffect(kuni, 2, 0); }
void MarkClan(uint32_t clan) {
  for (int k = 0; k < kKuniCount; ++k)
    if (DaimyoHasSiroInKuni(k, clan)) MarkKuni(k);
}

// The general of the holding clan with the skill in one of the country's castles; -1 when none.
int PreventingBusyo(int kuni, int skill) {
  uint8_t holder = KuniTable[kuni].holder;
  if (holder == kNoDaimyo) return -1;
  int found = -1;
  ForKuniSiro(kuni, [&](uint32_t s) {
    if (found < 0) found = FindSiroBusyoWithSkill(holder, s, skill);
  });
  return found;
}

void Emit(EventWork& w, int kind, int marker, const std::string& text) {
  if (!w.notice) {
    ShowEventNotice(kind, marker);
    w.notice = true;
  }
  SlgScene().ShowMessage(text.c_str(), 7, true);
  SetFrameWait(MessageTime());
}

void PreventMessage(EventWork& w, int kind, int marker, const char* fmt, int kuni, int busyo) {
  SlgSound().PlayGeneralVoice(2, busyo, 2);
  Emit(w, kind, marker, Format(fmt, GetKuniName(kuni), GetBusyoName(busyo)));
}

bool InRegion(int kuni, int region) { return KuniTable[kuni].region == region; }

// ---- Slot 1: famine ----
bool Famine(EventWork& w) {
  if (SeasonIndex != 3) return true;
  while (w.cursor < kKuniCount) {
    int k = w.cursor++;
    KuniRecord& kr = KuniTable[k];
    if (kr.eventState != 6) continue;
    if (!Chance(kr.region == 0 ? 50 : 25)) continue;
    int g = PreventingBusyo(k, 21);
    if (g >= 0) {
      PreventMessage(w, 9, 8, "%s国は%sの働きにより\n飢饉を防ぐことが出来ました。", k, g);
      return false;
    }
    ScaleLand(kr, 90 - Rand(10));
    ScaleTown(kr, 80 - Rand(20));
    LowerMood(kr, Rand(10) + 1);
    kr.eventState = 9;
    MarkKuni(k);
    Emit(w, 9, 8, Format("%s国が飢饉です", GetKuniName(k)));
    return false;
  }
  return true;
}

// ---- Slot 2: harvest ----
void PayPoorHarvest() {
  for (int c = 0; c < kDaimyoInPlay; ++c)
    for (int k = 0; k < kKuniCount; ++k) {
      if (KuniTable[k].eventState != 6) continue;
      int share = GetDaimyoKuniShare(k, c);
      if (share == 0) continue;
      int loss =
          (Rand(10) + 5) * KuniTable[k].land * share / 10000 + (Rand(20) + 5) * KuniTable[k].town * share / 100000;
      AddDaimyoMoney(c, -loss);
    }
}

void GainGoodHarvest() {
  for (int c = 0; c < kDaimyoInPlay; ++c)
    for (int k = 0; k < kKuniCount; ++k) {
      if (KuniTable[k].eventState != 7) continue;
      int share = GetDaimyoKuniShare(k, c);
      if (share == 0) continue;
      int gain = (Rand(25) + 10) * KuniTable[k].land * share / 10000 + Rand(15) * KuniTable[k].town * share / 100000;
      DaimyoTable[c].money = static_cast<uint16_t>(std::min(65000, DaimyoTable[c].money + gain));
    }
}

void ClearSeasonStates() {
  for (int k = 0; k < kKuniCount; ++k) {
    uint8_t& s = KuniTable[k].eventState;
    if (s == 5) continue;                      // closed by the weather, not an event of this season
    if (s == 6 && SeasonIndex != 0) continue;  // a poor harvest lasts until the year ends
    s = 255;
  }
}

// phase 0: choose; 1: poor harvest regions; 2: good harvest regions; 3: done.
bool Harvest(EventWork& w) {
  if (SeasonIndex != 2) {
    ClearSeasonStates();
    return true;
  }
  if (w.phase == 0) {
    if (Forced(kForcePoorHarvest)) {
      w.phase = 1;
    } else if (Forced(kForceGoodHarvest)) {
      w.phase = 2;
    } else if (Chance(20)) {
      w.phase = 1;
    } else {
      bool dry = false;
      for (int k = 0; k < kKuniCount; ++k) dry |= KuniTable[k].eventState == 3 || KuniTable[k].eventState == 4;
      w.phase = (!dry && Chance(50)) ? 2 : 3;
    }
    w.cursor = 0;
    w.cursor2 = -1;
  }
  if (w.phase == 1) {
    // cursor = region; cursor2 = -1 before the region's draw, then the country scan, 99 = message due.
    while (w.cursor < 10) {
      int r = w.cursor;
      if (w.cursor2 == -1) {
        if (!Forced(kForcePoorHarvest) && !Chance(r == 0 ? 25 : 15)) {
          ++w.cursor;
          continue;
        }
        w.flag = true;
        w.cursor2 = 0;
      }
      while (w.cursor2 < kKuniCount) {
        int k = w.cursor2++;
        if (!InRegion(k, r)) continue;
        int g = PreventingBusyo(k, 20);
        if (g >= 0) {
          if (KuniTable[k].holder == PlayerDaimyoId) {
            PreventMessage(w, 6, 5, "%s国は%sの働きにより\n凶作の被害を防ぐことが出来ました。", k, g);
            return false;
          }
          continue;
        }
        MarkKuni(k);
        KuniTable[k].eventState = 6;
      }
      ++w.cursor;
      w.cursor2 = -1;
      Emit(w, 6, 5, Format("%s地方が凶作です", RegionName(r)));
      return false;
    }
    if (w.flag) PayPoorHarvest();
  } else if (w.phase == 2) {
    while (w.cursor < 10) {
      int r = w.cursor;
      if (w.cursor2 == -1) {
        if (!Forced(kForceGoodHarvest) && !Chance(50)) {
          ++w.cursor;
          continue;
        }
        w.cursor2 = 0;
        Emit(w, 7, 6, Format("%s地方が豊作です", RegionName(r)));
        return false;
      }
      while (w.cursor2 < kKuniCount) {
        int k = w.cursor2++;
        if (!InRegion(k, r)) continue;
        KuniRecord& kr = KuniTable[k];
        MarkKuni(k);
        kr.eventState = 7;
        if (kr.holder == kNoDaimyo) continue;
        int v = 0;
        int g = FindKuniBestSkillBusyo(&v, kr.holder, k, 24);
        int land;
        if (g >= 0) {
          land = kr.land * (Rand(20) + v + 101) / 100;
        } else {
          land = kr.land * (Rand(20) + 101) / 100;
        }
        kr.land = static_cast<uint16_t>(std::min(land, 65535));
        if (g >= 0 && kr.holder == PlayerDaimyoId) {
          SlgSound().PlayGeneralVoice(2, g, 2);
          Emit(w, 7, 6,
               Format("%s国は%sの働きで\nより多くの収穫を得ることが出来ました", GetKuniName(k), GetBusyoName(g)));
          return false;
        }
      }
      ++w.cursor;
      w.cursor2 = -1;
    }
    GainGoodHarvest();
  }
  ClearSeasonStates();
  return true;
}

// ---- Slot 3: disaster ----
bool Disaster(EventWork& w) {
  if (w.phase == 1) return true;
  w.phase = 1;
  if (!Chance(5)) return true;
  int k = Rand(kKuniCount);
  KuniRecord& kr = KuniTable[k];
  ScaleLand(kr, 90 - Rand(10));
  ScaleTown(kr, 75 - Rand(20));
  kr.eventState = 1;
  ForKuniSiro(k, [&](uint32_t s) {
    SiroTable[s].level = static_cast<uint8_t>(std::max(1, SiroTable[s].level * (90 - Rand(20)) / 100));
  });
  MarkKuni(k);
  Emit(w, 1, 0, Format("%s国に天災が発生しました", GetKuniName(k)));
  return false;
}

// ---- Slot 5: drought ----
bool Drought(EventWork& w) {
  if (w.phase == 0) {
    w.phase = (SeasonIndex == 1 && (Forced(kForceDrought) || Chance(20))) ? 1 : 2;
    w.cursor = 0;
    w.cursor2 = -1;
  }
  if (w.phase == 2) return true;
  while (w.cursor < 10) {
    int r = w.cursor;
    if (w.cursor2 == -1) {
      if (!Forced(kForceDrought) && !Chance(10)) {
        ++w.cursor;
        continue;
      }
      w.cursor2 = 0;
      Emit(w, 4, 3, Format("%s地方に旱魃の被害が出ています", RegionName(r)));
      return false;
    }
    while (w.cursor2 < kKuniCount) {
      int k = w.cursor2++;
      if (!InRegion(k, r)) continue;
      int g = PreventingBusyo(k, 22);
      if (g >= 0) {
        PreventMessage(w, 4, 3, "%s国は%sの働きにより\n旱魃の飢饉を防ぐことが出来ました。", k, g);
        return false;
      }
      KuniRecord& kr = KuniTable[k];
      ScaleLand(kr, 95 - Rand(10));
      ScaleTown(kr, 80 - Rand(20));
      kr.eventState = 4;
      MarkKuni(k);
    }
    ++w.cursor;
    w.cursor2 = -1;
  }
  return true;
}

// ---- Slot 6: plague ----
void PlagueLoss(int k) {
  KuniRecord& kr = KuniTable[k];
  ScaleLand(kr, 80 - Rand(10));
  ScaleTown(kr, 75 - Rand(20));
  kr.eventState = 8;
  MarkKuni(k);
}

// phase 0: draw; 1: first country shown; 2: neighbours (cursor); 3: done.
bool Plague(EventWork& w) {
  if (w.phase == 0) {
    if (!Forced(kForcePlague) && !Chance(5)) return true;
    w.kuni = Rand(kKuniCount);
    w.phase = 1;
    Emit(w, 8, 7, Format("%s国に疫病が発生しました", GetKuniName(w.kuni)));
    return false;
  }
  if (w.phase == 1) {
    int g = PreventingBusyo(w.kuni, 23);
    if (g >= 0) {
      w.phase = 3;
      PreventMessage(w, 8, 7, "%s国は%sの働きにより\n疫病を防ぐことが出来ました。", w.kuni, g);
      return false;
    }
    PlagueLoss(w.kuni);
    SetFrameWait(60);
    w.phase = 2;
    w.cursor = 0;
    return false;
  }
  if (w.phase == 2) {
    while (w.cursor < 8) {
      uint8_t n = KuniTable[w.kuni].neighbours[w.cursor++];
      if (n >= kKuniCount) continue;
      if (!Chance(50)) continue;
      int g = PreventingBusyo(n, 23);
      if (g >= 0) {
        PreventMessage(w, 8, 7, "%s国は%sの働きにより\n疫病を防ぐことが出来ました。", n, g);
        return false;
      }
      PlagueLoss(n);
      SlgScene().ShowMessage(Format("%s国に伝染しました", GetKuniName(n)).c_str(), 7, true);
      SetFrameWait(30);
      return false;
    }
    for (int g = 0; g < NullBusyoId; ++g) {
      uint16_t s = BusyoTable[g].siro;
      if (s >= kSiroSlots || !IsSiroInUse(s) || KuniTable[SiroTable[s].kuni].eventState != 8) continue;
      BusyoRecord& b = BusyoTable[g];
      b.soldiers = static_cast<uint8_t>(std::max(1, b.soldiers * (90 - Rand(20)) / 100));
      if (b.guns > b.soldiers) b.guns = b.soldiers;
    }
  }
  return true;
}

// ---- Slot 9: peasant revolt ----
bool PeasantRevolt(EventWork& w) {
  if (PlayerDaimyoId >= kDaimyoInPlay || DaimyoTable[PlayerDaimyoId].rank < 2) return true;
  while (w.cursor < kKuniCount) {
    int k = w.cursor++;
    KuniRecord& kr = KuniTable[k];
    if (kr.mood >= 50 || kr.holder == kNoDaimyo) continue;
    if (!Chance((50 - kr.mood) / 5 + 1)) continue;
    ScaleLand(kr, 70 - Rand(20));
    ScaleTown(kr, 90 - Rand(10));
    ForKuniSiro(k, [&](uint32_t s) {
      SiroTable[s].level = static_cast<uint8_t>(std::max(1, SiroTable[s].level - (Rand(3) + 1)));
    });
    DaimyoRecord& d = DaimyoTable[kr.holder];
    if (Rand(30) + 1 < d.prestige) d.prestige--;
    MarkKuni(k);
    Emit(w, 10, 9, Format("%s国に一揆が発生しました", GetKuniName(k)));
    return false;
  }
  return true;
}

// ---- Slot 10: Ikko revolt ----
bool IsIkkoRecord(uint16_t g) {
  const char* name = BusyoTable[g].name;
  if (name[0] == '\0') return true;
  return std::strncmp(name, kIkkoFamily, sizeof kIkkoFamily - 1) == 0;
}

// A record that is free to become the revolt's general: empty or a former revolt, unplaced, and
// named in no clan's or independents' slot.
int FindFreeIkkoRecord() {
  std::vector<uint8_t> listed(kBusyoCount, 0);
  for (int c = 0; c < kDaimyoSlots; ++c)
    for (uint16_t v : DaimyoTable[c].vassals)
      if (v < kBusyoCount) listed[v] = 1;
  for (uint16_t v : DokuBusyoList)
    if (v < kBusyoCount) listed[v] = 1;
  for (int g = 0; g < NullBusyoId; ++g)
    if (BusyoTable[g].siro == kNoSiro && !listed[g] && IsIkkoRecord(static_cast<uint16_t>(g))) return g;
  return -1;
}

std::string IkkoTakeCastle(int k) {
  int siro = -1;
  ForKuniSiro(k, [&](uint32_t s) {
    if (siro < 0 && SiroTable[s].list1[0].slot == kNoSlot) siro = static_cast<int>(s);
  });
  int g = FindFreeIkkoRecord();
  int entry = -1;
  for (int i = 0; i < kDokuSlots && entry < 0; ++i)
    if (DokuBusyoList[i] == kNoBusyo) entry = i;
  if (siro < 0 || g < 0 || entry < 0 || Rand(100) > 49) return "一向一揆は鎮まりました";
  BusyoRecord& b = BusyoTable[g];
  uint8_t holder = KuniTable[k].holder;
  std::memset(&b, 0, sizeof b);
  char name[kBusyoNameLen] = {};
  std::snprintf(name, sizeof name, "%s%s", kIkkoFamily, "一揆衆");
  SetFieldString(b.name, kBusyoNameLen, name);
  b.kizuna = 2;
  b.cur.stat[0] = b.cur.stat[1] = b.cur.stat[2] = 1;
  b.appearYear = static_cast<uint8_t>(Rand(20) + 20);
  b.soldiers = static_cast<uint8_t>(std::min(50, (Rand(5) + 6) * KuniTable[k].land / 100));
  int weight = holder < kDaimyoInPlay ? DaimyoTable[holder].gunRate : 0;
  int guns = weight == 0 ? 0 : std::min(10, (Rand(5) + 6) * KuniTable[k].land / (500 * weight));
  b.guns = static_cast<uint8_t>(std::min<int>(guns, b.soldiers));
  b.stage = 1;
  b.siro2 = kNoSiro;
  b.contactDaimyo = 0xFFFF;
  b.appearKuni = kNoKuni;
  b.appearDaimyo = kNoDaimyo;
  for (uint16_t& it : b.items) it = 0;
  b.siro = static_cast<uint16_t>(siro);
  DokuBusyoList[entry] = static_cast<uint16_t>(g);
  SiroRecord& c = SiroTable[siro];
  c.owner = kNoDaimyo;
  c.list1[kSiroListLen - 1] = {kNoDaimyo, static_cast<uint8_t>(entry)};
  SortSiroSlots(siro);
  c.lord = static_cast<uint8_t>(entry);
  c.allyMark = 0;
  return Format("%s城は一向一揆に落とされました", GetSiroName(siro, false));
}

bool IkkoRevolt(EventWork& w) {
  if (PlayerDaimyoId >= kDaimyoInPlay || DaimyoTable[PlayerDaimyoId].rank < 2) return true;
  if (w.phase == 1) {  // the revolt's outcome follows its first message
    w.phase = 0;
    Emit(w, 11, 10, IkkoTakeCastle(w.kuni));
    return false;
  }
  while (w.cursor < 11) {
    int k = IkkoKuniList[w.cursor++];
    if (k >= kKuniCount || KuniTable[k].holder == kNoDaimyo) continue;
    KuniRecord& kr = KuniTable[k];
    if (!Chance((100 - kr.mood) / 8 + 1)) continue;
    ScaleLand(kr, 90 - Rand(10));
    ScaleTown(kr, 90 - Rand(10));
    ForKuniSiro(
        k, [&](uint32_t s) { SiroTable[s].level = static_cast<uint8_t>(std::max(1, SiroTable[s].level - Rand(3))); });
    MarkKuni(k);
    w.kuni = k;
    w.phase = 1;
    Emit(w, 11, 10, Format("%s国に一向一揆が発生しました", GetKuniName(k)));
    return false;
  }
  return true;
}

// ---- Slot 11: mine; slot 12: foreign ship ----
bool Mine(EventWork& w) {
  while (w.cursor < 18) {
    int k = MineKuniList[w.cursor++];
    if (k >= kKuniCount || !Chance(1)) continue;
    KuniRecord& kr = KuniTable[k];
    kr.town = static_cast<uint16_t>(std::min<int>(kr.town * (Rand(50) + 125) / 100, kr.townLimit));
    MarkKuni(k);
    Emit(w, 12, 11, Format("%s国で鉱山が発見されました", GetKuniName(k)));
    return false;
  }
  return true;
}

bool ForeignShip(EventWork& w) {
  int chance = std::clamp((static_cast<int>(GameYear) - 1550) / 10, 0, 5);
  while (w.cursor < 12) {
    int k = PortKuniList[w.cursor++];
    if (k >= kKuniCount || !Chance(chance)) continue;
    KuniRecord& kr = KuniTable[k];
    kr.town = static_cast<uint16_t>(std::min<int>(kr.town * (Rand(50) + 125) / 100, kr.townLimit));
    LowerMood(kr, Rand(10) + 1);
    ForKuniBusyo(k, [](uint16_t g) {
      BusyoRecord& b = BusyoTable[g];
      if (b.guns < b.soldiers) b.guns++;
    });
    MarkKuni(k);
    Emit(w, 13, 12, Format("%s国に、南蛮船が来ました", GetKuniName(k)));
    return false;
  }
  return true;
}

// ---- Slot 13: imperial envoy ----
bool ImperialEnvoy(EventWork& w) {
  if (SeasonIndex == 2 || UnificationDeclared) return true;
  if (w.phase == 1) {
    w.phase = 0;
    Emit(w, 14, 13, Format("%sの官位を与えられました", FormatDaimyoTitle(w.kuni)));
    return false;
  }
  while (w.cursor < kDaimyoInPlay) {
    int c = w.cursor++;
    DaimyoRecord& d = DaimyoTable[c];
    if (d.prestige >= 20 || d.rank < 2 || !IsDaimyoAlive(c)) continue;
    if (!Chance(25 - d.prestige)) continue;
    if (!(d.money / 2 > d.revenue / 20 + (5 * d.prestige + 25) * 2)) continue;
    int p9 = d.prestige - 9;
    if (!(d.prestige < 10 || (p9 * p9 + 10) * 50 < d.revenue)) continue;
    MarkClan(c);
    // One court rank higher; the first rank names the country of the head's castle.
    int next = std::min<int>(d.title, 10);
    int kuni = d.prestige < 10 ? GetDaimyoHomeKuni(c) : d.titleKuni;
    SetDaimyoTitle(c, next, kuni);
    AddDaimyoMoney(c, -(10 * d.prestige + d.revenue / 20 + 50));
    d.prestige = static_cast<uint8_t>(std::min(20, d.prestige + 1));
    w.kuni = c;
    w.phase = 1;
    Emit(w, 14, 13, Format("%sに、朝廷から特使が来ました", GetDaimyoName(c, false)));
    return false;
  }
  return true;
}

// ---- Slot 14: submission ----
bool Submission(EventWork& w) {
  if (w.phase == 1) return true;
  w.phase = 1;
  int k = Rand(kKuniCount);
  int index = -1;
  for (int i = 0; i < kDokuSlots && index < 0; ++i) {
    uint16_t g = DokuBusyoList[i];
    if (g < kBusyoCount && BusyoTable[g].kizuna == 0 && GetBusyoKuni(g) == k) index = i;
  }
  if (index < 0) return true;
  const KuniRecord& kr = KuniTable[k];
  if (kr.firstSiro >= kSiroSlots || kr.lastSiro < kr.firstSiro) return true;
  uint32_t c = kr.firstSiro + Rand(kr.lastSiro - kr.firstSiro + 1);
  if (!IsSiroInUse(c)) return true;
  uint8_t clan = SiroTable[c].owner;
  if (clan >= kDaimyoInPlay || DaimyoTable[clan].rank < 2) return true;
  bool freeSlot = false;
  for (int i = 0; i < kVassalScan; ++i) freeSlot |= DaimyoTable[clan].vassals[i] == kNoBusyo;
  bool room = SiroTable[c].list1[kSiroListLen - 1].slot == kNoSlot || GetDaimyoKakuuSiro(clan) != kNoSiro;
  if (!freeSlot || !room) return true;
  uint16_t g = DokuBusyoList[index];
  uint16_t old = BusyoTable[g].siro;
  if (AddBusyoToDaimyo(g, kNoDaimyo, static_cast<uint8_t>(index), old, clan, c) < 0) return true;
  MarkClan(clan);
  Emit(w, 15, -1, Format("%sが%sに臣従しました", GetBusyoName(g), GetDaimyoName(clan, false)));
  return false;
}

// ---- Slot 15: fortification ----
bool Fortification(EventWork& w) {
  if (w.phase == 1) return true;
  w.phase = 1;
  if (!Chance(20)) return true;
  int c = Rand(kDaimyoInPlay);
  bool any = false;
  for (int s = 0; s < kSiroCount; ++s) {
    if (!IsSiroInUse(s) || SiroTable[s].owner != c || KuniTable[SiroTable[s].kuni].holder != c) continue;
    SiroRecord& r = SiroTable[s];
    r.level = static_cast<uint8_t>(std::min<int>(r.level + 2, std::max(r.maxLevel, r.level)));
    any = true;
  }
  if (!any) return true;
  MarkClan(c);
  Emit(w, 16, 15, Format("%sでは築城法の改善され、城がより堅牢になりました", GetDaimyoName(c, false)));
  return false;
}

// ---- Slot 16: rebellion ----
int RebellionTarget(uint32_t clan) {
  int kuni = -1;
  for (int k = 0; k < kKuniCount; ++k)
    if (KuniTable[k].holder == clan && (kuni < 0 || KuniTable[k].land > KuniTable[kuni].land)) kuni = k;
  if (kuni < 0) return -1;
  const KuniRecord& kr = KuniTable[kuni];
  int best = -1;
  for (uint32_t s = kr.firstSiro; s < kr.lastSiro && s < kSiroSlots; ++s) {
    if (!IsSiroInUse(s) || SiroTable[s].kuni != kuni) continue;
    const SiroRecord& r = SiroTable[s];
    if (r.owner != clan || r.list1[0].slot != kNoSlot) continue;
    if (best < 0 || r.level > SiroTable[best].level) best = static_cast<int>(s);
  }
  return best;
}

bool Rebellion(EventWork& w) {
  while (w.cursor < kDaimyoInPlay) {
    int c = w.cursor++;
    DaimyoRecord& d = DaimyoTable[c];
    if (d.rank < 2 || !IsDaimyoAlive(c)) continue;
    if (!Chance(5)) continue;
    std::vector<int> slots;
    for (int i = 0; i < kVassalScan; ++i) {
      uint16_t g = d.vassals[i];
      // The head leads the clan; he does not rebel against it.
      if (g >= kBusyoCount || g == d.head || BusyoTable[g].kizuna != 0 || BusyoTable[g].siro == KakuuSiroId) continue;
      slots.push_back(i);
    }
    if (slots.empty()) continue;
    int slot = slots[Rand(static_cast<int>(slots.size()))];
    uint16_t g = d.vassals[slot];
    BusyoRecord& b = BusyoTable[g];
    if (!(Rand(20) + 1 > b.loyalty + 4)) continue;
    if (!(c == PlayerDaimyoId || Chance(50))) continue;
    int target = RebellionTarget(c);
    int entry = -1;
    for (int i = 0; i < kDokuSlots && entry < 0; ++i)
      if (DokuBusyoList[i] == kNoBusyo) entry = i;
    if (target < 0 || entry < 0) continue;
    uint16_t old = b.siro;
    d.vassals[slot] = kNoBusyo;
    if (old < kSiroSlots) {
      for (SiroBusyoRef* list : {SiroTable[old].list1, SiroTable[old].list2})
        for (int i = 0; i < kSiroListLen; ++i)
          if (list[i].force == c && list[i].slot == slot) list[i] = {kNoDaimyo, kNoSlot};
      SortSiroSlots(old);
    }
    if (b.siro2 < kSiroSlots && b.siro2 != old) {
      for (SiroBusyoRef& r : SiroTable[b.siro2].list2)
        if (r.force == c && r.slot == slot) r = {kNoDaimyo, kNoSlot};
      SortSiroSlots(b.siro2);
    }
    DokuBusyoList[entry] = g;
    SiroRecord& t = SiroTable[target];
    t.list1[0] = {kNoDaimyo, static_cast<uint8_t>(entry)};
    t.owner = kNoDaimyo;
    t.lord = static_cast<uint8_t>(entry);
    t.allyMark = 0;
    SortSiroSlots(target);
    b.siro = static_cast<uint16_t>(target);
    b.siro2 = kNoSiro;
    b.marchFlag = 0;
    MarkClan(c);
    Emit(w, 17, 16, Format("%sが謀反を起こし、%s城を取りました", GetBusyoName(g), GetSiroName(target, false)));
    return false;
  }
  return true;
}

// ---- Slot 17: value check ----
bool ValueCheck(EventWork&) {
  for (int k = 0; k < kKuniCount; ++k) {
    KuniRecord& kr = KuniTable[k];
    kr.land = static_cast<uint16_t>(std::clamp<int>(kr.land, 1, std::max<int>(1, kr.landLimit)));
    kr.town = static_cast<uint16_t>(std::clamp<int>(kr.town, 1, std::max<int>(1, kr.townLimit)));
  }
  RecalcAllyMarks();
  return true;
}

bool RunSlot(EventWork& w) {
  switch (w.slot) {
    case 1:
      return Famine(w);
    case 2:
      return Harvest(w);
    case 3:
      return Disaster(w);
    case 5:
      return Drought(w);
    case 6:
      return Plague(w);
    case 9:
      return PeasantRevolt(w);
    case 10:
      return IkkoRevolt(w);
    case 11:
      return Mine(w);
    case 12:
      return ForeignShip(w);
    case 13:
      return ImperialEnvoy(w);
    case 14:
      return Submission(w);
    case 15:
      return Fortification(w);
    case 16:
      return Rebellion(w);
    case 17:
      return ValueCheck(w);
    default:
      return true;  // slots 4, 7 and 8 hold no event
  }
}

uint8_t ResolveOne(const char* name) { return GetKuniIdByName(name); }

template <size_t N, size_t M>
void ResolveList(uint8_t (&out)[N], const char* const (&names)[M]) {
  static_assert(N == M + 1);
  for (size_t i = 0; i < M; ++i) out[i] = ResolveOne(names[i]);
  out[M] = kNoKuni;
}

}  // namespace

void GetKuniEventLabel(uint32_t kuni, char* out, size_t size) {
  if (!out || size == 0) return;
  auto in = [&](const uint8_t* list, size_t n) {
    for (size_t i = 0; i < n && list[i] != kNoKuni; ++i)
      if (list[i] == kuni) return true;
    return false;
  };
  std::string label;
  label += in(IkkoKuniList, std::size(IkkoKuniList)) ? " 一揆" : "     ";
  label += in(MineKuniList, std::size(MineKuniList)) ? " 鉱山" : "     ";
  label += in(PortKuniList, std::size(PortKuniList)) ? " 南蛮" : "     ";
  std::snprintf(out, size, "%s", label.c_str());
}

void ResolveKuniNameTables() {
  ResolveList(IkkoKuniList, kIkkoNames);
  ResolveList(MineKuniList, kMineNames);
  ResolveList(PortKuniList, kPortNames);
}

void ShowEventNotice(int kind, int marker) {
  if (kind != 19) {
    bool bright = kind == 7 || (kind >= 12 && kind <= 16) || kind == 18;
    SlgSound().PlaySlgSe(5, bright ? 5 : 6, 0);
  }
  SlgScene().ShowPointer(marker);
}

void EndEventNotice() {
  SlgScene().SetCurrentDaimyo(PlayerDaimyoId);
  SlgScene().RefreshMapMenu();
  SlgScene().ShowMessage("", 7, true);
  SlgScene().ShowPointer(-1);
  for (int k = 0; k < kKuniCount; ++k) ShowKuniEventEffect(k, 7, 7);
}

int RunRandomEvents() {
  static int result = 0;
  if (StepCheckDone()) return result;
  EventWork& w = g_ev;
  if (StepBegin()) w = EventWork{};
  // Every slot runs in turn; a slot that showed a message resumes here after the wait.
  for (int guard = 0; w.slot <= 17 && guard < 64; ++guard) {
    if (!RunSlot(w)) return kStepRunning;
    if (w.notice) EndEventNotice();
    int next = w.slot + 1;
    w = EventWork{};
    w.slot = next;
  }
  StepFinish();
  return result;
}
