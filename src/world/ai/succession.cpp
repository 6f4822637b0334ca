// Succession: a clan whose head is gone passes to an heir from its heir list, else to its ablest
// vassal; every alliance of the clan ends with the old head.
#include <cstddef>
#include <cstring>
#include <algorithm>
#include <cstdio>

#include "core/frame_wait.h"
#include "core/step_machine.h"
#include "world/ai/ai_common.h"
#include "world/ai/random_events.h"
#include "world/slg_util.h"
#include "world/ai/ai_entry.h"
#include "world/turn/turn_loop.h"
#include "world/world_ports.h"
#include "world/world_queries.h"
#include "world/turn/play_state_blocks.h"

namespace {

struct SuccessionWork {
  int clan = 0;
  uint16_t successor = kNoBusyo;
  bool announced = false;
};
SuccessionWork g_succ;
// Carried by a save: a loaded game goes on from the same working state.
[[maybe_unused]] const bool kSuccessionSaved = RegisterPlayStateBlock(
    {"ai.succession", &g_succ, sizeof g_succ, [](const uint8_t* b) -> const char* {
       if (!IsBoolByte(b, offsetof(SuccessionWork, announced))) return "ai.succession: flag out of range";
       SuccessionWork w;
       std::memcpy(&w, b, sizeof w);
       return w.clan < 0 || w.clan > kDaimyoInPlay ? "ai.succession: clan out of range" : nullptr;
     }});

bool HeadGone(uint32_t clan) {
  const DaimyoRecord& d = DaimyoTable[clan];
  if (d.head == kNoBusyo) return false;
  uint16_t head = d.head;
  bool noCastle = GetBusyoSiro(head) == kNoSiro;
  bool retired = head < NullBusyoId && (BusyoTable[head].flagWord & 1);
  if (clan == PlayerDaimyoId) return noCastle && !retired;
  return noCastle || retired;
}

uint16_t ChooseSuccessor(uint32_t clan) {
  const DaimyoRecord& d = DaimyoTable[clan];
  for (uint16_t h : d.heirs) {
    if (h >= NullBusyoId || h == d.head) continue;
    if (FindForceSlot(static_cast<uint8_t>(clan), h) == 0xFFFF) continue;
    uint16_t f = BusyoTable[h].flagWord;
    if (f == 0 || (clan == PlayerDaimyoId && (f & 1))) return h;
  }
  uint16_t best = kNoBusyo;
  int bestValue = -1;
  for (int i = 0; i < kVassalScan; ++i) {
    uint16_t g = d.vassals[i];
    if (g >= NullBusyoId || g == d.head) continue;
    int v = GetBusyoStat1(g) + GetBusyoStat3(g);
    if (v > bestValue) {
      best = g;
      bestValue = v;
    }
  }
  return best;
}

// Takes the general out of the heir list; the entries behind close up.
void RemoveHeir(uint32_t clan, uint16_t g) {
  uint16_t* heirs = DaimyoTable[clan].heirs;
  uint16_t* end = std::remove(heirs, heirs + 16, g);
  std::fill(end, heirs + 16, kNoBusyo);
}

void EndAllAlliances(uint32_t clan) {
  DaimyoRecord& d = DaimyoTable[clan];
  bool player = clan == PlayerDaimyoId;
  for (int i = 0; i < 3; ++i) {
    uint8_t a = d.allies[i];
    if (a < kDaimyoInPlay) {
      player |= a == PlayerDaimyoId;
      for (int j = 0; j < 3; ++j)
        if (DaimyoTable[a].allies[j] == clan) {
          DaimyoTable[a].allies[j] = kNoDaimyo;
          DaimyoTable[a].allyStanding[j] = 0;
        }
    }
    d.allies[i] = kNoDaimyo;
    d.allyStanding[i] = 0;
  }
  if (player) RecalcAllyMarks();
}

}  // namespace

int RunSuccession() {
  static int result = 0;
  if (StepCheckDone()) return result;
  SuccessionWork& w = g_succ;
  if (StepBegin()) w = SuccessionWork{};
  for (; w.clan < kDaimyoInPlay; ++w.clan) {
    const uint32_t clan = static_cast<uint32_t>(w.clan);
    DaimyoRecord& d = DaimyoTable[clan];
    if (w.announced) {
      // The frame after the message: the successor takes over.
      w.announced = false;
      d.head = w.successor;
      d.actingHead = kNoBusyo;
      RemoveHeir(clan, w.successor);
      EndEventNotice();
      ResetKuniColors();
    } else {
      if (!HeadGone(clan)) continue;
      uint16_t s = ChooseSuccessor(clan);
      if (s == kNoBusyo) {
        if (d.rank == 0) d.rank = 1;
      } else {
        for (int k = 0; k < kKuniCount; ++k)
          if (DaimyoHasSiroInKuni(k, clan)) ShowKuniEventEffect(k, 2, 0);
        uint16_t named = d.head == NullBusyoId ? d.actingHead : d.head;
        const char* family = named < NullBusyoId ? GetBusyoFamilyName(named) : GetBusyoFamilyName(s);
        char familyCopy[64];
        std::snprintf(familyCopy, sizeof familyCopy, "%s", family);
        BusyoRecord& b = BusyoTable[s];
        char text[160];
        std::snprintf(text, sizeof text, b.kizuna ? "%s家は、%sが継ぎました" : "%s家は、%sが実権を握りました",
                      familyCopy, GetBusyoName(s));
        if (b.kizuna == 0) b.kizuna = 1;
        b.loyalty = 0;
        ShowEventNotice(15, 14);
        SlgScene().ShowMessage(text, 7, true);
        SetFrameWait(MessageTime());
        w.successor = s;
        w.announced = true;
        EndAllAlliances(clan);
        return kStepRunning;
      }
    }
    EndAllAlliances(clan);
    SlgScene().ShowMessage("", 7, true);
    if (clan == PlayerDaimyoId) {
      SlgRules().RecalcDaimyoTotals(0);
      SlgScene().RefreshMapMenu();
      SlgScene().SetCurrentDaimyo(PlayerDaimyoId);
    }
  }
  StepFinish();
  return result;
}
