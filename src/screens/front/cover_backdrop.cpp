#include "screens/front/cover_backdrop.h"

#include <algorithm>
#include <vector>

#include "platform/text/log.h"
#include "ui/scenes/cv_scene.h"
#include "ui/widgets/menu_window.h"
#include "ui/widgets/widget_base.h"

bool BuildCoverBackdrop(CVScene& scene, CVMenuBase* panel, CVMenuBase* blend) {
  if (blend) blend->SetFlagAll(kWfShown, false);
  CVMenuBase* cover = scene.GetMainMenu();
  auto* window = dynamic_cast<CVMenuWindow*>(panel);
  if (!cover || !window) return false;
  // Reference parameter 1 is the value the cover keeps (0..1); 0 in a layout means "not given".
  float value = panel->GetRefParam(1);
  if (!(value > 0.0f)) value = kCoverBackdropDefaultValue;
  value = std::clamp(value, 0.0f, 1.0f);
  const bool made = window->RenderWidgetsToTexture(std::vector<CVMenuBase*>{cover});
  if (made) {
    const float v = 255.0f * value;
    panel->SetColour(Color(v, v, v, 255.0f));
  } else {
    plat::Log("front", "cover backdrop not made; the panel keeps its own picture");
  }
  scene.DeleteMainMenu();
  return made;
}
