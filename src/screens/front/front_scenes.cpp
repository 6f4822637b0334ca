#include "screens/front/front_scenes.h"

#include "screens/front/scene_config.h"
#include "screens/front/scene_save.h"
#include "screens/front/scene_title.h"
#include "screens/front/scene_tutorial.h"
#include "ui/menus/menu_factory.h"
#include "ui/scenes/scene_mgr.h"

void RegisterFrontScenes(CVSceneMgr& mgr) {
  mgr.SetSceneFactory(1, &CreateTitleScene);
  mgr.SetSceneFactory(4, &CreateSaveScene);
  mgr.SetSceneFactory(5, &CreateSaveScene);
  mgr.SetSceneFactory(6, &CreateConfigScene);
  mgr.SetSceneFactory(12, &CreateTutorialScene);
  RegisterMenuType(60, &CreateSaveMenu);
  RegisterMenuType(70, &CreateConfigMenu);
}
