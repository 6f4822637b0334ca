// Roots of widget trees. CVMenuRoot loads its tree from a layout script by name and does not
// draw; CVMenuSceneRoot is the root of a screen (the base of every screen-menu class): it draws
// its tree and knows its scene and its index among the scene's menus.
#pragma once
#include <cstdint>

#include "core/fixed_path.h"
#include "ui/widgets/widget_base.h"

class CVScene;

class CVMenuRoot : public CVMenuBase {
 public:
  CVMenuRoot() { widgetType = kWidgetRoot; }
  void Release() override {}
  void Draw(int32_t) override {}
  bool IsDrawable(int32_t) override { return false; }
  // Registers the root with the menu manager, then builds the tree of the layout script.
  virtual bool Load(FixedPath name);

  int32_t rootWord = -1;
};

class CVMenuSceneRoot : public CVMenuRoot {
 public:
  void Draw(int32_t arg) override { CVMenuBase::Draw(arg); }
  bool IsDrawable(int32_t arg) override { return CVMenuBase::IsDrawable(arg); }

  int32_t sceneMenuId = -1;
  CVScene* scene = nullptr;
};
