#include "screens/extras/omake_replay.h"

#include <cstring>

#include "core/app_state.h"
#include "save/omake_tables.h"
#include "screens/extras/omake_ports.h"
#include "ui/scenes/scene_mgr.h"

namespace {
constexpr int32_t kSceneAdv = 2;
constexpr size_t kLabelBytes = 32;
}  // namespace

bool StartEventReplay(const uint8_t* record) {
  if (!record) return false;
  char label[kLabelBytes + 1] = {};
  std::memcpy(label, record + kOmakeEventLabelOffset, kLabelBytes);
  if (!label[0]) return false;
  // Only a label that was found leaves the extras: a failed jump keeps the player here.
  const int32_t oldMode = GameMode;
  GameMode = game_mode::kEventScript;
  if (!GetOmakePorts().gotoLabel(label)) {
    GameMode = oldMode;
    return false;
  }
  GetSceneMgr().RequestChange(kSceneAdv, 1);
  return true;
}
