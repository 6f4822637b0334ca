// The default scene classes of the ids. Screens with their own classes replace their entry with
// CVSceneMgr::SetSceneFactory when their library starts up.
#include "core/app_state.h"
#include "ui/scenes/cv_scene.h"
#include "ui/scenes/scene_dlg.h"
#include "ui/scenes/scene_mgr.h"

namespace {

// Stands in for the title screen: like the title, it leaves the idle game mode when it starts,
// so that the idle step does not send the manager to the title again every frame.
class CVSceneTitlePlaceholder : public CVScene {
 public:
  explicit CVSceneTitlePlaceholder(int32_t id) : CVScene(-1, id) {}
  bool OnStart() override {
    GameMode = game_mode::kScriptEnded;
    return true;
  }
};

}  // namespace

CVScene* CreateDefaultScene(int32_t id) {
  if (id == 10) return new CVSceneDlg(id);
  if (id == 1) return new CVSceneTitlePlaceholder(id);
  if ((id >= 2 && id <= 12) || id == 100) return new CVScene(-1, id);
  return nullptr;
}
