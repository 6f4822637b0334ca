// The title scene on the real scene manager and dialog scene, with a hand-built title tree (the
// shape docs/layouts.md gives), a virtual clock, scripted mouse buttons, the null drawing device
// and recording title ports (movie, music, script loader, start counter, quit).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/cv_input.h"
#include "screens/front/scene_title.h"
#include "screens/front/title_ports.h"
#include "ui/widgets/widget_base.h"
#include "ui/widgets/widget_services.h"
#include "tests/support/scripted_input.h"

class CDGManager;

namespace title_test {

// Button places of the hand-built title (screen pixels of each button's centre).
struct Place {
  int32_t x, y;
};
Place TitleButton(int32_t id);
// Dialog answers 1 and 2 of the centred first panel.
Place DialogButton(int32_t answer);

struct PortLog {
  std::vector<std::string> movies;  // paths played full screen
  int moviesClosed = 0;
  bool movieFinished = false;  // what allMoviesFinished answers
  std::vector<int32_t> movieVolumes;
  std::vector<std::pair<std::string, int>> music;  // file, fade speed
  int musicStops = 0;
  int scriptLoads = 0;
  std::vector<int32_t> switch0;
  uint32_t startCounter = 1;
  bool windowActive = true;
  int quits = 0;
};

class TitleTest {
 public:
  // Builds the manager, the table (scenes 1, 2, 3, 10) and the fakes; the title is not made yet.
  TitleTest();
  ~TitleTest();

  // The first scene of a run: ChangeScene(1).
  void StartTitle();
  // One logic step of `ms` with the buttons as given (the pointer stays where it is).
  void Step(uint32_t ms = 17, bool left = false, bool right = false);
  void Steps(int n, uint32_t ms = 17);
  void MoveTo(Place p);
  // Press and release the left (or right) button at p, then let the button decide.
  void Click(Place p, bool right = false);

  CVSceneTitle* Title() const;
  int32_t CurrentScene() const;

  PortLog log;
  // When true, the menu factory builds an empty title menu (no widgets at all).
  static bool emptyTitleLayout;

 private:
  struct MouseFromScenes : WidgetInput {
    int32_t GetMouseButton() override;
    int32_t GetWheelDelta() override { return 0; }
  };
  static uint32_t Clock(void* self);

  ScriptedInput keys_;
  MouseFromScenes mouse_;
  uint32_t now_ = 5000;
  CDGManager* dg_ = nullptr;
};

}  // namespace title_test
