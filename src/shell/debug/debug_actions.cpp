#include "shell/debug/debug_actions.h"

#include <cstdio>
#include <cstring>

#include "battle/battle_run.h"
#include "core/fixed_path.h"
#include "platform/fs/fs.h"
#include "save/save_slot.h"
#include "save/system_files.h"
#include "world/world_misc.h"
#include "world/world_tables.h"

void SetAllPlayRecordFlags() {
  PlcData& p = PlayRecordBlock;
  std::memset(p.eventFlags, 0xFF, sizeof p.eventFlags);
  std::memset(p.sceneSeen, 1, sizeof p.sceneSeen);
  for (GalleryRecord& r : p.gallery)
    if (r.general != kGalleryFree) std::memset(r.seen, 1, sizeof r.seen);
}

int ClearAllSaveSlots() {
  static const char* const kFiles[] = {"head.dat", "adv.dat", "slg.dat", "prg.dat"};
  int removed = 0;
  for (int slot = 0; slot < kSaveSlotCount; ++slot) {
    for (const char* f : kFiles) {
      FixedPath path;
      if (GetSlotFilePath(slot, f, path) && plat::FileExists(path.CStr()) && plat::RemoveFile(path.CStr())) ++removed;
    }
  }
  PlayRecordBlock.lastSlot = kPlcNone;
  PlayRecordBlock.lastAuto = kPlcNone;
  PlayRecordBlock.lastQuick = kPlcNone;
  return removed;
}

std::string CharFlagStatsText() {
  // The battle state counts the flagged generals removed from a clan (the second counter: those
  // whose castle could have taken a surrender); the tables give those no longer placed.
  int gone = 0;
  for (const BusyoRecord& b : BusyoTable) gone += b.charFlag == 1 && b.siro == kNoSiro;
  char buf[160];
  std::snprintf(buf, sizeof buf, "降伏回数 %d\n切腹回数 %d\n内降伏可能 %d\n生存 %d", g_BattleLosses.first, gone,
                g_BattleLosses.second, CountCharFlagBusyo());
  return buf;
}
