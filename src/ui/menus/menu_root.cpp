#include "ui/menus/menu_root.h"

#include "ui/menus/menu_mgr.h"

bool CVMenuRoot::Load(FixedPath name) {
  CVMenuMgr& mgr = GetMenuMgr();
  mgr.RegisterRoot(this);
  return mgr.LoadMenuDefinition(name, this);
}
