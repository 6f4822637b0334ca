// The null-device manager for tests that build widget trees.
#pragma once
#include "tests/support/null_graphics.h"

namespace v4test {

// Installed as the program's manager; the menu manager's roots are deleted before the device
// goes, so no widget outlives the textures it draws with.
struct NullUiGraphics : NullDeviceManager {
  NullUiGraphics() = default;
  ~NullUiGraphics();
};

}  // namespace v4test
