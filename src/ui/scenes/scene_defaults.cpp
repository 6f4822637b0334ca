// What the scene manager uses of the widget library by default: the screen-menu factory and the
// cover picture (the old screen drawn into a window that the next scene shows until it drops it).
#include "ui/menus/menu_factory.h"
#include "ui/menus/menu_mgr.h"
#include "ui/menus/menu_root.h"
#include "ui/scenes/scene_mgr.h"
#include "ui/widgets/menu_window.h"

namespace {

CVMenuBase* BuildCover(const std::vector<CVMenuBase*>& widgets, float w, float h) {
  SpriteWindowParams p;
  p.pictureName = "";
  p.position = Vector3(0.0f, 0.0f, 1.0f);
  p.colour = Color(255, 255, 255, 255);
  p.alpha = 255.0f;
  p.width = w;
  p.height = h;
  p.source = FRect(0, 0, w, h);
  CVMenuWindow* window = GetMenuMgr().CreateMenuSpriteWindow(nullptr, p);
  if (!window) return nullptr;
  window->Open(0, 0, 0);
  if (!window->RenderWidgetsToTexture(widgets)) {
    delete window;
    return nullptr;
  }
  window->Update(-1, -1, 0);
  window->Draw(1);
  return window;
}

CVMenuBase* MakeSceneMenu(int32_t type, const char* layoutName) { return CreateMenuScene(type, layoutName); }

}  // namespace

CVSceneMgr::MenuFactory DefaultSceneMenuFactory() { return &MakeSceneMenu; }

CVSceneMgr::CoverBuilder DefaultCoverBuilder() { return &BuildCover; }
