// Prices, chance tests and alliance bookkeeping of the strategy and diplomacy commands.
#include "world/commands/strategy_rules.h"

#include <algorithm>
#include <cmath>

#include "world/slg_util.h"
#include "world/world_ports.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

uint8_t DebugPlotSwitch = 0;

namespace {

bool IsClan(uint32_t c) { return c < kDaimyoInPlay; }
int Koku(uint32_t c) { return IsClan(c) ? DaimyoTable[c].revenue : 0; }
int Prestige(uint32_t c) { return IsClan(c) ? DaimyoTable[c].prestige : 0; }

void MarkAlliedLords(uint32_t lordClan, uint8_t mark) {
  for (SiroRecord& s : SiroTable)
    if (s.kuni != 255 && s.owner != kNoDaimyo && s.lord == lordClan) s.allyMark = mark;
}

// Removes other from clan's three ally slots; the later ids and their counters move up together.
void RemoveAlly(uint32_t clan, uint32_t other) {
  DaimyoRecord& d = DaimyoTable[clan];
  for (int i = 0; i < 3; ++i) {
    if (d.allies[i] != other) continue;
    for (int j = i; j < 2; ++j) {
      d.allies[j] = d.allies[j + 1];
      d.allyStanding[j] = d.allyStanding[j + 1];
    }
    d.allies[2] = kNoDaimyo;
    d.allyStanding[2] = 0;
    return;
  }
}

bool AddAlly(uint32_t clan, uint32_t other) {
  DaimyoRecord& d = DaimyoTable[clan];
  for (int i = 0; i < 3; ++i)
    if (d.allies[i] == kNoDaimyo) {
      d.allies[i] = static_cast<uint8_t>(other);
      d.allyStanding[i] = kAllianceCounter;
      return true;
    }
  return false;
}

}  // namespace

int InvadeCostPerBusyo(uint16_t busyo) {
  if (busyo >= kBusyoCount) return 0;
  const int k = Koku(PlayerDaimyoId);
  const int soldiers = BusyoTable[busyo].soldiers;
  if (k < 1000) return (soldiers + 1) / 2;
  const double m = std::min(std::trunc((k - 1000) / 1000.0) * 0.25 + 1.0, 2.0);
  return static_cast<int>(soldiers * m);
}

int CountBusyoMarchingTo(uint16_t siro) {
  if (!IsClan(PlayerDaimyoId)) return 0;
  int n = 0;
  for (int i = 0; i < kVassalScan; ++i) {
    const uint16_t b = DaimyoTable[PlayerDaimyoId].vassals[i];
    if (b < kBusyoCount && BusyoTable[b].marchFlag == 1 && BusyoTable[b].siro2 == siro) ++n;
  }
  return n;
}

int PlotCost(uint16_t busyo) {
  const int x = GetBusyoStat2(busyo) / 5;
  const int r = SlgRandom(4);
  return std::max(0, kPoachCost - x - x * r / 4);
}

bool PlotSucceeds(int x) {
  if (DebugPlotSwitch) return true;
  if (SlgRandom(100) < 32) return true;
  if (SlgRandom(100) < 10)
    for (int i = 0; i < x; ++i)
      if (SlgRandom(100) < 32) return true;
  return false;
}

int PlotNewLevel(int level, int skill34) {
  int next;
  if (skill34 > 0)
    next = static_cast<int>(level - level * skill34 / 100.0);
  else
    next = static_cast<int>(level - (15 + SlgRandom(10)) * level / 100.0);
  return std::min(next, kSiroLevelCap);
}

int SecretContactScore(uint16_t busyo, uint16_t target) {
  const uint32_t a = GetBusyoDaimyo(busyo);
  const uint32_t b = GetBusyoDaimyo(target);
  const int x = GetBusyoStat2(busyo) / 5;
  if (!IsClan(b)) return (x + Prestige(a)) / 10 + 1;
  // Divisors of at least 1: a loyalty byte of 0 with a clan of no prestige, a clan of no koku.
  const int loyalty = std::min<int>(BusyoTable[target].loyalty, 16);
  const int under = std::max(1, loyalty + Prestige(b));
  const int koku = std::max(1, Koku(b));
  return (Prestige(a) + x) / under + 2 * (Koku(a) / koku);
}

bool TrySecretContact(uint16_t busyo, uint16_t target) {
  if (busyo >= kBusyoCount || target >= kBusyoCount) return false;
  const uint32_t a = GetBusyoDaimyo(busyo);
  int roll = SlgRandom(6) + 1;
  BusyoTable[busyo].cmdFlags |= 1;
  AddDaimyoCP(a, -1);
  AddDaimyoMoney(a, -kSecretContactCost);
  int score = SecretContactScore(busyo, target);
  if (HasSkillEffect(busyo, 33)) {
    score = GetSkillEffectValue(busyo, 33);
    roll = SlgRandom(100) + 1;
  }
  const bool won = roll < score;
  BusyoTable[target].contactDaimyo = won ? static_cast<uint16_t>(a) : 0xFFFF;
  BusyoTable[target].cmdFlags |= 8;
  return won;
}

bool IsAllied(uint32_t a, uint32_t b) {
  if (!IsClan(a)) return false;
  for (int i = 0; i < 3; ++i)
    if (DaimyoTable[a].allies[i] == b) return true;
  return false;
}

void FormAlliance(uint32_t a, uint32_t b) {
  if (!IsClan(a) || !IsClan(b) || a == b || IsAllied(a, b)) return;
  // Both lists must have room, so that no one-sided alliance is written.
  auto room = [](uint32_t c) {
    for (int i = 0; i < 3; ++i)
      if (DaimyoTable[c].allies[i] == kNoDaimyo) return true;
    return false;
  };
  if (!room(a) || !room(b)) return;
  AddAlly(a, b);
  AddAlly(b, a);
  if (a == PlayerDaimyoId) MarkAlliedLords(b, 1);
  if (b == PlayerDaimyoId) MarkAlliedLords(a, 1);
}

void BreakAlliance(uint32_t t) {
  if (!IsClan(t) || !IsClan(PlayerDaimyoId)) return;
  RemoveAlly(PlayerDaimyoId, t);
  RemoveAlly(t, PlayerDaimyoId);
  MarkAlliedLords(t, 0);
}

bool IsDaimyoEnclosed(uint32_t t) {
  for (int k = 0; k < kKuniCount; ++k) {
    if (KuniTable[k].holder != t) continue;
    for (uint8_t n : KuniTable[k].neighbours) {
      if (n == 255 || n >= kKuniCount) continue;
      const uint8_t h = KuniTable[n].holder;
      if (h == t || h == PlayerDaimyoId) continue;
      if (h == kNoDaimyo || !IsAllied(t, h)) return false;
    }
  }
  return true;
}

bool DiplomacySucceeds(uint32_t t, uint16_t busyo) {
  if (!IsClan(t)) return false;
  const uint32_t p = PlayerDaimyoId;
  // A clan of no koku counts as if the player had ten times its own.
  double ratio = Koku(t) > 0 ? static_cast<double>(Koku(p)) / Koku(t) : 10.0;
  if (IsDaimyoEnclosed(t)) ratio *= 2;
  const int d = Prestige(p) - Prestige(t) + GetBusyoStat2(busyo) / 5;
  const double v = 2 * ratio * d / 7 - 1;
  const int u = SlgRandom(4);
  const int w = SlgRandom(100);
  const double threshold = (w + 100.0 * u + 100) / 100.0;
  bool full = true;
  for (int i = 0; i < 3; ++i)
    if (DaimyoTable[t].allies[i] == kNoDaimyo) full = false;
  if (full) return false;
  for (uint8_t c : DaimyoTable[t].clanSet)
    if (c == p) return false;
  const int s = GetSkillEffectValue(busyo, 29);
  if (s > 0) return SlgRandom(100) < s;
  return v > threshold;
}

int SetPoachGauge(int keep, int a, int b) {
  int g = keep;
  if (b < a && a != 0)
    g = b * 100 / a;
  else if (b > a)
    g = 200 - a * 100 / b;
  SlgScene().SetDialogValues(3, g);
  return g;
}

namespace {
struct PoachTerms {
  double ratio;
  int l, k;
  uint8_t a, b;
};
PoachTerms Terms(uint32_t c, uint16_t target, uint16_t busyo) {
  PoachTerms t{1.0, 5, 5, 0, 0};
  if (IsClan(c)) {
    // A clan of no koku gives the capped ratio.
    t.ratio = Koku(c) > 0 ? std::min(static_cast<double>(Koku(PlayerDaimyoId)) / (2.0 * Koku(c)), 2.0) : 2.0;
    t.k = Prestige(c);
    t.l = BusyoTable[target].loyalty;
  }
  t.b = static_cast<uint8_t>(t.l + t.k);
  t.a = static_cast<uint8_t>(Prestige(PlayerDaimyoId) + GetBusyoStat2(busyo) / 5);
  return t;
}
}  // namespace

double PoachScore(uint32_t c, uint16_t target, uint16_t busyo) {
  const PoachTerms t = Terms(c, target, busyo);
  // Integer quotient plus the koku term; a divisor of at least 1.
  return static_cast<double>(t.a / std::max<int>(1, t.b)) + t.ratio;
}

bool PoachSucceeds(uint32_t c, uint16_t target, uint16_t busyo) {
  if (target >= kBusyoCount || busyo >= kBusyoCount) return false;
  const PoachTerms t = Terms(c, target, busyo);
  double score = PoachScore(c, target, busyo);
  int g = SetPoachGauge(100, t.l, GetBusyoStat3(busyo));
  g = SetPoachGauge(g, t.b, t.a);
  g = SetPoachGauge(g, t.b + 18, static_cast<int>(t.ratio * 18 + t.a));
  int roll = SlgRandom(6) + 1;
  const int s = GetSkillEffectValue(busyo, 32);
  if (s > 0) {
    score = s;
    roll = SlgRandom(100);
  }
  const bool won = roll < score;
  SetPoachGauge(g, won ? 0 : 1, won ? 1 : 0);
  return won;
}
