#include "world/turn/auto_run_scene.h"

#include "world/world_queries.h"
#include "world/world_tables.h"

int AutoRunSlgScene::GetSceneResult() {
  if (!startAnswers_.empty()) {
    int r = startAnswers_.front();
    startAnswers_.pop_front();
    return r;
  }
  return openDialog_ == 20 ? 18 : -1;
}

int AutoRunSlgScene::GetStartRegionChosen() {
  int home = clan_ >= 0 && clan_ < kDaimyoInPlay ? GetDaimyoHomeKuni(static_cast<uint32_t>(clan_)) : kNoKuni;
  if (home < kKuniCount && KuniDaimyoCount[home] > 0) return home;
  for (int k = 0; k < kKuniCount; ++k)
    for (int i = 0; i < KuniDaimyoCount[k] && i < 5; ++i)
      if (KuniDaimyoSet[k][i] == clan_) return k;
  for (int k = 0; k < kKuniCount; ++k)
    if (KuniDaimyoCount[k] > 0) return k;
  return -1;
}

bool AutoRunSlgScene::OpenDialog(int id, int, int, int) {
  if (openDialog_ != -1) return false;
  openDialog_ = id;
  return true;
}

int AutoRunSlgScene::GetDialogResult(int slot) {
  switch (openDialog_) {
    case 16:
      return slot == 2 ? 2 : -1;
    case 17:
      return slot == 3 ? clan_ : -1;
    case 18:
      return slot == 0 ? 0 : -1;
    case 21: {
      if (slot != 4 || PlayerDaimyoId >= kDaimyoInPlay) return -1;
      const DaimyoRecord& d = DaimyoTable[PlayerDaimyoId];
      for (int i = kVassalScan - 1; i >= 0; --i)
        if (d.vassals[i] < kBusyoCount && d.vassals[i] != d.head) return d.vassals[i];
      return -1;
    }
    case 23:
      return slot == 0 ? 0 : -1;
    default:
      return -1;
  }
}
