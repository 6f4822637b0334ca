#include "ui/menus/menu_factory.h"

#include <map>

#include "core/fixed_path.h"
#include "ui/menus/menu_root.h"

namespace {
CVMenuSceneRoot* MakeSceneRoot(int32_t) { return new CVMenuSceneRoot(); }

std::map<int32_t, MenuSceneCreator>& Registry() {
  static std::map<int32_t, MenuSceneCreator> r = {{10, &MakeSceneRoot},
                                                  {80, &MakeSceneRoot},
                                                  {100, &MakeSceneRoot},
                                                  {120, &MakeSceneRoot},
                                                  {10000, &MakeSceneRoot}};
  return r;
}
}  // namespace

void RegisterMenuType(int32_t type, MenuSceneCreator creator) {
  if (creator)
    Registry()[type] = creator;
  else
    Registry().erase(type);
}

CVMenuSceneRoot* CreateMenuScene(int32_t type, const char* layoutName) {
  if (type > 10000 || ((type < 10 || type > 120) && type != 10000)) return nullptr;
  auto it = Registry().find(type);
  if (it == Registry().end() || !it->second) return nullptr;
  CVMenuSceneRoot* menu = it->second(type);
  if (!menu) return nullptr;
  FixedPath path(layoutName ? layoutName : "");
  menu->Load(path);
  return menu;
}
