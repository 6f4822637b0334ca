#include "world/world_misc.h"

#include <ctime>

#include "world/world_queries.h"

int32_t LocalTimeParts[9];
int32_t SlgPickWords[4] = {-1, -1, -1, -1};
int32_t SlgWindowEventFlag = 0;

int32_t GetTimeNow() { return static_cast<int32_t>(std::time(nullptr)); }

void ToLocalTimeParts(int32_t time) {
  std::time_t t = time;
  std::tm parts{};
  localtime_r(&t, &parts);
  const int values[9] = {parts.tm_sec,  parts.tm_min,  parts.tm_hour, parts.tm_mday, parts.tm_mon,
                         parts.tm_year, parts.tm_wday, parts.tm_yday, parts.tm_isdst};
  for (int i = 0; i < 9; ++i) LocalTimeParts[i] = values[i];
}

void ResetPickState() {
  for (int32_t& w : SlgPickWords) w = -1;
  SlgWindowEventFlag = 0;
}

int32_t PollWindowEventFlag(bool clear) {
  int32_t v = SlgWindowEventFlag;
  if (clear) SlgWindowEventFlag = 0;
  return v;
}

std::string FormatDaimyoListLabel(uint32_t clan) {
  if (clan >= kDaimyoSlots) return "";
  uint16_t head = DaimyoTable[clan].head;
  return std::string("  ") + GetBusyoFamilyName(head) + "家";
}

int CountCharFlagBusyo() {
  int n = 0;
  for (const BusyoRecord& b : BusyoTable) n += b.siro != kNoSiro && b.charFlag == 1;
  return n;
}

template <typename F>
static void ForPlayerVassals(F&& f) {
  if (PlayerDaimyoId >= kDaimyoSlots) return;
  for (uint16_t v : DaimyoTable[PlayerDaimyoId].vassals)
    if (v < kBusyoCount) f(BusyoTable[v]);
}

void DebugBoostPlayerDaimyo() {
  if (PlayerDaimyoId >= kDaimyoSlots) return;
  DaimyoTable[PlayerDaimyoId].money = 20000;
  DaimyoTable[PlayerDaimyoId].cp = 20;
  ForPlayerVassals([](BusyoRecord& b) {
    for (int i = 0; i < 3; ++i)
      if (b.cur.stat[i] < 96) b.cur.stat[i] = 96;
    if (b.soldiers < 40) b.soldiers = 40;
    if (b.loyalty != 0) b.loyalty = 16;
    if (b.cur.stat[3] != 0) b.cur.stat[3] = 1;
  });
  for (int s = 0; s < kSiroCount; ++s)
    if (IsSiroInUse(s) && SiroTable[s].owner == PlayerDaimyoId && SiroTable[s].level <= 20) SiroTable[s].level = 21;
}

void DebugSetPlayerBusyoStage3() {
  ForPlayerVassals([](BusyoRecord& b) {
    if (b.stage < 3) {
      b.stage = 3;
      b.cur = b.stageBlock[2];
    }
  });
}

void MarkPlayerBusyo() {
  ForPlayerVassals([](BusyoRecord& b) { b.charFlag = 1; });
}
