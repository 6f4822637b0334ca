#include "ui/scenes/scene_frame_adapter.h"

#include <string>

#include "core/app_state.h"
#include "core/game_file.h"
#include "platform/text/log.h"
#include "ui/layout/layout_builder.h"

namespace {
constexpr int32_t kTitleScene = 1;
}  // namespace

void SceneFrameAdapter::Update() {
  if (idleToTitle_ && GameMode == game_mode::kIdle) mgr_.ChangeScene(kTitleScene, 0);
  mgr_.Update();
}

bool InitSceneSystem() {
  InstallLayoutBuilder();
  CVSceneMgr& mgr = GetSceneMgr();
  const std::string path = std::string(GetModuleDir()) + "Data\\sys\\scene.bin";
  if (!mgr.LoadSceneTable(path.c_str())) return false;
  const SceneFlowRecord* dialog = mgr.FindRecord(10);
  if (!dialog || dialog->menus[0].menuType <= 0) {
    plat::Log("scene", "scene table: no dialog scene (10) with a menu 0; questions cannot be asked");
    return false;
  }
  if (dialog->resident == 0) {
    plat::Log("scene", "scene table: the dialog scene (10) is not resident; an answer read after the pop is lost");
    return false;
  }
  return true;
}
