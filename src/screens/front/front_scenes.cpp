#include "screens/front/front_scenes.h"

#include "screens/front/scene_title.h"
#include "ui/scenes/scene_mgr.h"

void RegisterFrontScenes(CVSceneMgr& mgr) { mgr.SetSceneFactory(1, &CreateTitleScene); }
