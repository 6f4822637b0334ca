#include "tests/support/screen_run.h"

#include <memory>

#include "platform/gl/null_device.h"
#include "render/dg_manager.h"
#include "tests/support/null_graphics.h"
#include "ui/widgets/menu_button.h"

namespace v4test {

bool StartNullDevice(CDGManager* dg) {
  bool ok =
      dg->CreateDeviceWith([](int w, int h) { return std::make_unique<plat::NullDevice>(w, h); }, true, 1280, 720);
  ok = ok && SetDefaultCamera(dg);
  SetDGManager(dg);
  return ok;
}

bool StartGlDevice(FrameDriver& driver, CDGManager* dg) {
  if (!driver.CreateOffscreenGl(1280, 720) || !dg->CreateDevice(nullptr, true, 1280, 720, 32)) return false;
  SetDefaultCamera(dg);
  SetDGManager(dg);
  return true;
}

ScreenPoint ButtonCentre(CVMenuBase* root, int32_t id) {
  CVMenuBtn* b = root ? root->FindButtonById(id) : nullptr;
  if (!b) return {-1, -1};
  Vector3 p;
  b->GetParentWorldPos(p);
  return {static_cast<int>(p.x + b->position.x + b->size.x / 2), static_cast<int>(p.y + b->position.y + b->size.y / 2)};
}

}  // namespace v4test
