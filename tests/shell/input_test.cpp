// Polled keys and the mouse through the fitted picture.
#include <gtest/gtest.h>

#include <string>

#include "core/cv_input.h"
#include "core/display_layout.h"
#include "shell/input_snapshot_source.h"
#include "tests/support/placeholder_scene.h"
#include "tests/support/frame_driver.h"

namespace {

TEST(CVInputTest, EdgesOverThreePolls) {
  ScriptedInput in;
  ScopedInputSource installed(&in);
  CVInput input;
  struct Poll {
    bool held;
    bool down, pressed, released;
  };
  // Press, hold, release.
  const Poll polls[] = {{true, true, true, false}, {true, true, false, false}, {false, false, false, true}};
  for (int vk : {VK_SPACE, VK_RETURN, VK_LBUTTON, VK_F1}) {
    for (const Poll& p : polls) {
      in.SetKey(vk, p.held);
      input.Update();
      EXPECT_EQ(input.IsDown(vk), p.down) << vk;
      EXPECT_EQ(input.IsPressed(vk), p.pressed) << vk;
      EXPECT_EQ(input.IsReleased(vk), p.released) << vk;
    }
    input.Update();  // both tables up again
    EXPECT_FALSE(input.IsReleased(vk));
  }
}

// The main thread publishes snapshots every few milliseconds, the frame polls once a logic step: a
// click that goes down and up between two polls is still seen once, then released.
TEST(CVInputTest, QuickClickBetweenTwoPollsIsSeenOnce) {
  SnapshotInputSource source;
  ScopedInputSource installed(&source);
  CVInput input;
  plat::InputSnapshot up, down;
  down.keys[VK_LBUTTON] = 1;
  source.Publish(up);
  input.Update();
  EXPECT_FALSE(input.IsDown(VK_LBUTTON));
  source.Publish(down);
  source.Publish(up);
  input.Update();
  EXPECT_TRUE(input.IsPressed(VK_LBUTTON));
  input.Update();
  EXPECT_TRUE(input.IsReleased(VK_LBUTTON));
  // A held button stays down, and reads up as soon as it is released.
  source.Publish(down);
  input.Update();
  input.Update();
  EXPECT_TRUE(input.IsDown(VK_LBUTTON));
  source.Publish(up);
  input.Update();
  EXPECT_TRUE(input.IsReleased(VK_LBUTTON));
}

// A Ctrl tap between two steps reaches both readers of the step: the mouse poll's Ctrl word first,
// then the scene manager's CVInput.
TEST(CVInputTest, CtrlTapReachesTheCtrlWordAndTheKeyPoll) {
  SnapshotInputSource source;
  ScopedInputSource installed(&source);
  CVInput input;
  plat::InputSnapshot up, ctrl;
  ctrl.keys[VK_CONTROL] = 1;
  source.Publish(ctrl);
  source.Publish(up);
  int32_t x = 0, y = 0;
  PollMouse(input, x, y);
  EXPECT_EQ(g_CtrlKey.load(), 1);
  input.Update();
  EXPECT_TRUE(input.IsPressed(VK_CONTROL));
  // Seen once: the next step reads it up everywhere.
  PollMouse(input, x, y);
  EXPECT_EQ(g_CtrlKey.load(), 0);
  input.Update();
  EXPECT_TRUE(input.IsReleased(VK_CONTROL));
  ResetMouseState();
}

TEST(CVInputTest, UnpolledKeysAndInactiveWindowReadUp) {
  ScriptedInput in;
  ScopedInputSource installed(&in);
  CVInput input;
  in.SetKey('A', true);
  in.SetKey(VK_ESCAPE, true);
  g_InputActive = false;
  input.Update();
  EXPECT_FALSE(input.IsDown(VK_ESCAPE));
  g_InputActive = true;
  input.Update();
  EXPECT_TRUE(input.IsPressed(VK_ESCAPE));
  EXPECT_FALSE(input.IsDown('A'));  // only the nine keys are polled
  EXPECT_FALSE(input.IsDown(-1));
  EXPECT_FALSE(input.IsDown(300));
}

// Where the 16:9 picture lands for a window and for desktop full screen on several screens.
struct LayoutCase {
  bool fullscreen;
  int w, h;
  DisplayLayout expect;  // windowMode, displayW, displayH, pictureX, pictureY, pictureW, pictureH, scaled
};

class LayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutTest, FitsThePicture) {
  const LayoutCase& c = GetParam();
  DisplayLayout l = ComputeDisplayLayout(c.fullscreen, c.w, c.h);
  EXPECT_EQ(l.windowMode, c.expect.windowMode);
  EXPECT_EQ(l.displayW, c.expect.displayW);
  EXPECT_EQ(l.displayH, c.expect.displayH);
  EXPECT_EQ(l.pictureX, c.expect.pictureX);
  EXPECT_EQ(l.pictureY, c.expect.pictureY);
  EXPECT_EQ(l.pictureW, c.expect.pictureW);
  EXPECT_EQ(l.pictureH, c.expect.pictureH);
  EXPECT_EQ(l.scaled, c.expect.scaled);
  // The picture never leaves the screen.
  EXPECT_GE(l.pictureX, 0);
  EXPECT_GE(l.pictureY, 0);
  EXPECT_LE(l.pictureX + l.pictureW, l.displayW);
  EXPECT_LE(l.pictureY + l.pictureH, l.displayH);

  // The picture's corners map to the back buffer's corners; one pixel outside maps outside.
  int32_t bx = 0, by = 0;
  MapToBackBuffer(l, l.pictureX, l.pictureY, bx, by);
  EXPECT_EQ(bx, 0);
  EXPECT_EQ(by, 0);
  MapToBackBuffer(l, l.pictureX + l.pictureW - 1, l.pictureY + l.pictureH - 1, bx, by);
  EXPECT_EQ(bx, 1279);
  EXPECT_EQ(by, 719);
  MapToBackBuffer(l, l.pictureX - 1, l.pictureY - 1, bx, by);
  EXPECT_LT(bx, 0);
  EXPECT_LT(by, 0);
  MapToBackBuffer(l, l.pictureX + l.pictureW, l.pictureY + l.pictureH, bx, by);
  EXPECT_GE(bx, 1280);
  EXPECT_GE(by, 720);
}

INSTANTIATE_TEST_SUITE_P(
    Screens, LayoutTest,
    ::testing::Values(LayoutCase{false, 1280, 720, {0, 1280, 720, 0, 0, 1280, 720, 0}},
                      LayoutCase{true, 1920, 1080, {2, 1920, 1080, 0, 0, 1920, 1080, 1}},
                      LayoutCase{true, 1920, 1200, {2, 1920, 1200, 0, 60, 1920, 1080, 1}},  // bars above and below
                      LayoutCase{true, 1280, 1024, {2, 1280, 1024, 0, 152, 1280, 720, 0}},  // 5:4
                      LayoutCase{
                          true, 2560, 1080, {2, 2560, 1080, 320, 0, 1920, 1080, 1}},  // ultra-wide: bars left and right
                      LayoutCase{true, 1280, 600, {2, 1280, 600, 107, 0, 1066, 600, 1}},  // shorter than the picture
                      LayoutCase{true, 0, 0, {2, 1280, 720, 0, 0, 1280, 720, 0}}),        // unknown size
    [](const ::testing::TestParamInfo<LayoutCase>& i) {
      return std::string(i.param.fullscreen ? "full_" : "window_") + std::to_string(i.param.w) + "x" +
             std::to_string(i.param.h);
    });

TEST(MouseTest, DesktopCornerMapsToLastPixel) {
  PlaceholderSceneMgr scenes;
  RecordingGraphics graphics;
  FrameDriver d(FrameServices{&scenes, nullptr, &graphics});
  SetDisplayLayout(ComputeDisplayLayout(true, 1920, 1080));
  d.SetPointer(1919, 1079);
  d.Tick();
  EXPECT_EQ(MousePointerX, 1279);
  EXPECT_EQ(MousePointerY, 719);
  // Letterboxed 1280 × 1024: the picture starts 152 lines down.
  SetDisplayLayout(ComputeDisplayLayout(true, 1280, 1024));
  d.SetPointer(10, 152 + 20);
  d.Tick();
  EXPECT_EQ(MousePointerX, 10);
  EXPECT_EQ(MousePointerY, 20);
  // Above the picture: negative inside, published as 0.
  d.SetPointer(-5, 100);
  d.Tick();
  EXPECT_LT(MousePointerY, 0);
  EXPECT_EQ(PublishedMouseX(), 0);
  EXPECT_EQ(PublishedMouseY(), 0);
}

TEST(MouseTest, ButtonsInsideAndOutsideThePicture) {
  PlaceholderSceneMgr scenes;
  RecordingGraphics graphics;
  FrameDriver d(FrameServices{&scenes, nullptr, &graphics});
  // The scene manager polls its input after the mouse: buttons are one step behind the keys.
  d.SetPointer(100, 100);
  d.SetButton(VK_LBUTTON, true);
  d.Tick();
  EXPECT_FALSE(PublishedMouseLeft());
  d.Tick();
  EXPECT_TRUE(PublishedMouseLeft());
  // Dragged outside while held: stays set.
  d.SetPointer(1400, 100);
  d.Tick();
  EXPECT_EQ(MouseLeftDown, 1);
  // Released outside: clears on the next poll.
  d.SetButton(VK_LBUTTON, false);
  d.Tick();
  d.Tick();
  EXPECT_EQ(MouseLeftDown, 0);
  EXPECT_EQ(PublishedMouseX(), 1400);  // not capped: widgets hit-test
}

TEST(MouseTest, IdleFramesAndInactiveWindow) {
  PlaceholderSceneMgr scenes;
  RecordingGraphics graphics;
  FrameDriver d(FrameServices{&scenes, nullptr, &graphics});
  d.SetPointer(300, 200);
  d.Tick();
  EXPECT_EQ(MouseIdleFrames, 0);
  d.Ticks(3);
  EXPECT_EQ(MouseIdleFrames, 3);
  d.SetKey(VK_CONTROL, true);
  d.SetButton(VK_RBUTTON, true);
  d.Ticks(2);
  EXPECT_EQ(g_CtrlKey.load(), 1);
  EXPECT_TRUE(PublishedMouseRight());
  d.SetActive(false);
  d.Tick();
  EXPECT_EQ(PublishedMouseX(), -1);
  EXPECT_EQ(PublishedMouseY(), -1);
  EXPECT_FALSE(PublishedMouseRight());
  EXPECT_EQ(g_CtrlKey.load(), 0);
  EXPECT_FALSE(scenes.GetInput().IsDown(VK_CONTROL));
  d.SetActive(true);
}

}  // namespace
