// Null-device managers for tests that build widget trees, by hand or from a game folder's layouts.
#pragma once
#include <string>

#include "tests/support/null_graphics.h"
#include "ui/widgets/widget_services.h"

namespace v4test {

// Installed as the program's manager; the menu manager's roots are deleted before the device
// goes, so no widget outlives the textures it draws with.
struct NullUiGraphics : NullDeviceManager {
  NullUiGraphics() = default;
  ~NullUiGraphics();
};

// Menus built by the program's own layout builder from the layouts of a game folder, drawn on a
// null device (1280 x 720, no camera, the program's clock): Start makes that folder the module
// directory, installs a fresh manager and starts the menu manager there. Stop (also on
// destruction, and safe after a Start that failed part way) deletes the menu roots before the
// device goes, then gives back the previous module directory.
class NullLayoutUi {
 public:
  NullLayoutUi() = default;
  ~NullLayoutUi() { Stop(); }
  NullLayoutUi(const NullLayoutUi&) = delete;
  NullLayoutUi& operator=(const NullLayoutUi&) = delete;

  // False when the folder cannot be the module directory or the device cannot be made.
  bool Start(const std::string& hostGameDir);
  void Stop();
  CDGManager* Manager() const { return dg_; }

 private:
  CDGManager* dg_ = nullptr;
  std::string oldModuleDir_;
  bool moduleDirSet_ = false;
};

// Widget shaders without a renderer: kinds 0 and 1 (as the renderer makes them) holding their
// parameters only, installed while the object lives.
class ParamOnlyWidgetShaders {
 public:
  ParamOnlyWidgetShaders() { SetWidgetShaderFactory(&Create); }
  ~ParamOnlyWidgetShaders() { SetWidgetShaderFactory(nullptr); }
  ParamOnlyWidgetShaders(const ParamOnlyWidgetShaders&) = delete;
  ParamOnlyWidgetShaders& operator=(const ParamOnlyWidgetShaders&) = delete;

 private:
  static WidgetShader* Create(int32_t kind) { return kind == 0 || kind == 1 ? new WidgetShader(kind) : nullptr; }
};

}  // namespace v4test
