#include "tests/support/ui_graphics.h"

#include "ui/menus/menu_mgr.h"

namespace v4test {

NullUiGraphics::~NullUiGraphics() { GetMenuMgr().DeleteAllRoots(); }

}  // namespace v4test
