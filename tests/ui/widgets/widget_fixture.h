// Shared pieces of the widget tests: scripted mouse buttons and wheel, a recording sound sink and
// one frame of a widget tree as a scene runs it. The temporary program folder, generated pictures
// and the manager on the null device are the shared fixtures of tests/support.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "render/dg_manager.h"
#include "tests/support/null_graphics.h"
#include "tests/support/temp_module_dir.h"
#include "tests/support/ui_graphics.h"
#include "ui/menus/menu_mgr.h"
#include "ui/widgets/widget_base.h"
#include "ui/widgets/widget_services.h"

class FakeWidgetInput : public WidgetInput {
 public:
  int32_t GetMouseButton() override { return button; }
  int32_t GetWheelDelta() override { return wheel; }
  int32_t button = 0;
  int32_t wheel = 0;
};

class RecordingSound : public WidgetSoundSink {
 public:
  void PlayEffect(int32_t channel, int32_t number) override { played.emplace_back(channel, number); }
  std::vector<std::pair<int32_t, int32_t>> played;
};

// Installs the fake input and sound, clears the latch and the depth bound; undoes it after.
class WidgetEnv {
 public:
  WidgetEnv();
  ~WidgetEnv();
  FakeWidgetInput input;
  RecordingSound sound;
};

// One frame as a scene runs a menu: the latch step, then the root's Update with time and click.
void RunFrame(CVMenuBase* root, int32_t x, int32_t y, uint32_t click, float dtMs);

// A sprite window or button without a picture: cell w x h of a grid of `rows` rows.
SpriteWindowParams Cells(float x, float y, float cellW, float cellH, int32_t rows = 1, const char* name = "");
