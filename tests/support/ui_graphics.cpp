#include "tests/support/ui_graphics.h"

#include <memory>

#include "core/game_file.h"
#include "platform/gl/null_device.h"
#include "render/dg_manager.h"
#include "ui/layout/layout_builder.h"
#include "ui/menus/menu_mgr.h"

namespace v4test {

NullUiGraphics::~NullUiGraphics() { GetMenuMgr().DeleteAllRoots(); }

bool NullLayoutUi::Start(const std::string& hostGameDir) {
  oldModuleDir_ = GetModuleDir();
  if (!SetModuleDirFromHost(hostGameDir)) return false;
  moduleDirSet_ = true;
  dg_ = new CDGManager();
  if (!dg_->CreateDeviceWith([](int w, int h) { return std::make_unique<plat::NullDevice>(w, h); }, true, 1280, 720))
    return false;
  SetDGManager(dg_);
  GetMenuMgr().Init(GetModuleDir());
  InstallLayoutBuilder();
  return true;
}

void NullLayoutUi::Stop() {
  if (dg_) {
    GetMenuMgr().DeleteAllRoots();
    SetDGManager(nullptr);
    dg_->Release();
    dg_ = nullptr;
  }
  if (moduleDirSet_) {
    SetModuleDir(oldModuleDir_.c_str());
    moduleDirSet_ = false;
  }
}

}  // namespace v4test
