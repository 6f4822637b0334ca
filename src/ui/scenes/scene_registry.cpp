// The default scene classes of the ids. Screens with their own classes replace their entry with
// CVSceneMgr::SetSceneFactory when their library starts up. The title (1) has no default: only
// the front screens make it.
#include "ui/scenes/cv_scene.h"
#include "ui/scenes/scene_dlg.h"
#include "ui/scenes/scene_mgr.h"

CVScene* CreateDefaultScene(int32_t id) {
  if (id == 10) return new CVSceneDlg(id);
  if ((id >= 2 && id <= 12) || id == 100) return new CVScene(-1, id);
  return nullptr;
}
