// A scene manager for the shell's tests: one scene that moves a test card, timed like the game's
// manager (a logic step is due every 16.667 ms or more), and the card as the window's picture.
#pragma once
#include <cstdint>

#include "core/cv_input.h"
#include "core/display_layout.h"
#include "core/frame_services.h"
#include "shell/window_graphics.h"

// What a displayed frame of the test card shows, in back-buffer pixels.
struct TestCard {
  int32_t boxX = 0;
  int32_t boxY = 560;
  int32_t boxSize = 80;
  uint32_t steps = 0;
};

class PlaceholderSceneMgr : public FrameSceneManager {
 public:
  bool UpdateFrameTimer() override;
  void Update() override;
  void Draw() override;
  void BroadcastDeviceReset() override { ++deviceResets_; }
  void DeleteAllScenes() override {}
  const CVInput& GetInput() const override { return input_; }

  uint32_t Steps() const { return card_.steps; }
  uint32_t DeviceResets() const { return deviceResets_; }
  // The elapsed-time ratio of the last step (1.0 at 16.667 ms) and frames per second.
  float Ratio() const { return ratio_; }
  float Fps() const { return fps_; }
  // The card as the last Draw left it.
  const TestCard& DrawnCard() const { return drawn_; }

 private:
  CVInput input_;
  TestCard card_;
  TestCard drawn_;
  int32_t dir_ = 1;
  bool started_ = false;
  uint32_t lastMs_ = 0;
  float ratio_ = 1.0f;
  float fps_ = 0.0f;
  uint32_t deviceResets_ = 0;
};

// Draws the card into the picture rectangle of the current display layout (GL current on the
// calling thread): bars in the top part, a white box moving along the bottom, black bars around.
void DrawTestCard(const TestCard& card, int drawableW, int drawableH);

// The test card as the window's picture.
class TestCardPicture : public WindowPictureSource {
 public:
  explicit TestCardPicture(const PlaceholderSceneMgr* scene) : scene_(scene) {}
  bool DrawPicture(const DisplayLayout& layout) override;

 private:
  const PlaceholderSceneMgr* scene_;
};
