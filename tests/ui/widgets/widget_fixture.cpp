#include "widget_fixture.h"

WidgetEnv::WidgetEnv() {
  SetWidgetInput(&input);
  SetWidgetSoundSink(&sound);
  ButtonClickLatch = 0;
  GetMenuMgr().SetDepthBound(0);
}

WidgetEnv::~WidgetEnv() {
  SetWidgetInput(nullptr);
  SetWidgetSoundSink(nullptr);
  ButtonClickLatch = 0;
  GetMenuMgr().SetDepthBound(0);
  GetMenuMgr().DeleteAllRoots();
}

void RunFrame(CVMenuBase* root, int32_t x, int32_t y, uint32_t click, float dtMs) {
  ClearOneShotInput();
  root->timeStep = dtMs;
  root->clickState = click;
  root->Update(x, y, click);
}

SpriteWindowParams Cells(float x, float y, float cellW, float cellH, int32_t rows, const char* name) {
  SpriteWindowParams p;
  p.pictureName = name;
  p.position = Vector3(x, y, 0);
  p.width = cellW;
  p.height = cellH * static_cast<float>(rows);
  p.columns = 1;
  p.rows = rows;
  p.source = FRect(0, 0, cellW, cellH * static_cast<float>(rows));
  p.loadOnOpen = true;  // nothing is loaded at creation
  return p;
}
