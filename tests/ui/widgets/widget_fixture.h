// Shared pieces of the widget tests: scripted mouse buttons and wheel, a recording sound sink, a
// temporary program folder with generated pictures, a graphics manager on the null device, and
// one frame of a widget tree as a scene runs it.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "render/dg_manager.h"
#include "ui/menus/menu_mgr.h"
#include "ui/widgets/widget_base.h"
#include "ui/widgets/widget_services.h"

namespace plat {
class NullDevice;
}

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

// A fresh program folder (module directory) for the test's lifetime.
class TempGameDir {
 public:
  TempGameDir();
  ~TempGameDir();
  const std::string& Path() const { return path_; }
  // A w x h PNG whose column x has colour col(x) (RGBA), written at rel ('/' separators).
  void WritePng(const std::string& rel, int w, int h, uint32_t rgba) const;
  void WriteStripPng(const std::string& rel, int w, int cellH, const std::vector<uint32_t>& cellColours) const;

 private:
  std::string path_;
  std::string oldModuleDir_;
};

// A device manager on the null device with the flat camera, installed as the program's manager.
struct NullGraphics {
  NullGraphics();
  ~NullGraphics();
  CDGManager* mgr = nullptr;
  plat::NullDevice* dev = nullptr;  // owned by mgr
};

// One frame as a scene runs a menu: the latch step, then the root's Update with time and click.
void RunFrame(CVMenuBase* root, int32_t x, int32_t y, uint32_t click, float dtMs);

// A sprite window or button without a picture: cell w x h of a grid of `rows` rows.
SpriteWindowParams Cells(float x, float y, float cellW, float cellH, int32_t rows = 1, const char* name = "");
