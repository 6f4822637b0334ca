// The scenario scene on the built sample data (scene table, the message window's layout, pictures,
// character definitions) through the real scene manager, with the null drawing device, a virtual
// clock, scripted mouse and keys, and recording ports for sound, movies, dialogs and saves.
#pragma once
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/cv_input.h"
#include "screens/scenario/scene_adv.h"
#include "ui/widgets/widget_services.h"
#include "tests/support/game_data_folder.h"

class CDGManager;

namespace adv_test {

struct PortLog {
  std::set<int> keysHeld, keysPressed, keysReleased;
  int32_t wheel = 0;
  bool voicePlaying = false;
  int voiceFades = 0;
  std::vector<std::string> voices;  // replayed: file
  std::vector<std::string> movies;
  bool moviesFinished = false;
  int moviesClosed = 0;
  std::vector<int32_t> dialogs;  // kinds asked
  int32_t dialogAnswer = -1;
  std::vector<int32_t> screens;     // pushed scene ids
  std::vector<int32_t> quickSaves;  // game modes
  int quickLoads = 0;
  int32_t gameModeAfterLoad = 0;
  std::vector<int32_t> requested;  // deferred scene changes
  std::vector<std::string> errors;
  int32_t settings[32] = {};
  std::set<int64_t> read;
};

class AdvSceneTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Scene 2 made current (ChangeScene 2, no push).
  CVSceneADV* Enter();
  CVSceneADV* Adv() const;
  CVMenuADV* Win() const;
  void Step(uint32_t ms = 17, bool left = false, bool right = false);
  void Steps(int n, uint32_t ms = 17);
  void MoveTo(int32_t x, int32_t y);
  // Press and release the left button at (x, y), then a few steps for the button to decide.
  void Click(int32_t x, int32_t y, bool right = false);
  // A click on empty screen (the advance click).
  void ClickEmpty() { Click(640, 200); }
  // Centre of a window button (10000..10009) and of a choice button for n choices.
  static void ButtonAt(int32_t id, int32_t& x, int32_t& y);
  static void ChoiceAt(int32_t index, int32_t count, int32_t& x, int32_t& y);

  static std::vector<AdvTextRecord> Records(const std::string& text, int32_t d = -1);

  PortLog log;
  v4test::GameDataFolder folder_{"v4_adv"};

 private:
  struct Keys : InputSource {
    bool IsKeyHeld(int vk) override { return vk >= 0 && vk < 256 && held[vk]; }
    void GetCursor(int32_t& x, int32_t& y) override {
      x = px;
      y = py;
    }
    bool held[256] = {};
    int32_t px = 0, py = 0;
  };
  struct Mouse : WidgetInput {
    int32_t GetMouseButton() override;
    int32_t GetWheelDelta() override { return wheel; }
    int32_t wheel = 0;
  };
  static uint32_t Clock(void* self);

  Keys keys_;
  Mouse mouse_;
  uint32_t now_ = 5000;
  CDGManager* dg_ = nullptr;
};

}  // namespace adv_test
