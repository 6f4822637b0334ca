// The placeholder frame on a real GL context offscreen: the test card lands in the fitted picture.
#include <gtest/gtest.h>

#include <vector>

#include "core/display_layout.h"
#include "tests/support/placeholder_scene.h"
#include "shell/window_graphics.h"
#include "platform/sdl/window.h"
#include "tests/support/frame_driver.h"

namespace {

// The window device's picture step without the swap, so the pixels can be read back.
class CardGraphics : public FrameGraphics {
 public:
  explicit CardGraphics(const PlaceholderSceneMgr& s) : picture_(&s) {}
  bool RenderFrame() override {
    ++presents;
    return picture_.DrawPicture(GetDisplayLayout());
  }
  int presents = 0;

 private:
  TestCardPicture picture_;
};

struct Pixel {
  uint8_t r, g, b;
};

Pixel At(FrameDriver& d, int x, int y) {
  std::vector<uint8_t> px;
  EXPECT_TRUE(d.ReadPixels(x, y, 1, 1, px));
  if (px.size() < 4) return {0, 0, 0};
  return {px[0], px[1], px[2]};
}

TEST(TestCardPixels, MovingBoxInAWindow) {
  PlaceholderSceneMgr scenes;
  CardGraphics graphics(scenes);
  FrameDriver d(FrameServices{&scenes, nullptr, &graphics});
  if (!d.CreateOffscreenGl(1280, 720)) GTEST_SKIP() << "no GL 3.3 core context";
  d.Tick();
  ASSERT_EQ(graphics.presents, 1);
  const TestCard& c = scenes.DrawnCard();
  EXPECT_EQ(c.boxX, 8);
  Pixel box = At(d, c.boxX + 40, c.boxY + 40);
  EXPECT_EQ(box.r, 255);
  EXPECT_EQ(box.g, 255);
  EXPECT_EQ(box.b, 255);
  Pixel left = At(d, c.boxX - 1, c.boxY + 40);  // just left of the box: the dark floor
  EXPECT_LT(left.r, 60);
  Pixel bar = At(d, 5 * 160 + 10, 100);  // the red bar
  EXPECT_GT(bar.r, 150);
  EXPECT_EQ(bar.g, 0);
  d.Ticks(5);
  EXPECT_EQ(scenes.DrawnCard().boxX, 48);
  EXPECT_EQ(At(d, 48 + 40, c.boxY + 40).r, 255);
}

TEST(TestCardPixels, UltraWideScreenHasBarsLeftAndRight) {
  PlaceholderSceneMgr scenes;
  CardGraphics graphics(scenes);
  FrameDriver d(FrameServices{&scenes, nullptr, &graphics});
  if (!d.CreateOffscreenGl(1280, 400)) GTEST_SKIP() << "no GL 3.3 core context";
  DisplayLayout l = GetDisplayLayout();
  ASSERT_EQ(l.pictureH, 400);
  ASSERT_EQ(l.pictureW, 711);
  ASSERT_EQ(l.pictureX, 284);
  d.Tick();
  Pixel outsideLeft = At(d, l.pictureX - 1, 100);
  Pixel insideLeft = At(d, l.pictureX + 2, 100);  // the first (grey) bar
  Pixel outsideRight = At(d, l.pictureX + l.pictureW, 100);
  EXPECT_EQ(outsideLeft.r + outsideLeft.g + outsideLeft.b, 0);
  EXPECT_EQ(outsideRight.r + outsideRight.g + outsideRight.b, 0);
  EXPECT_GT(insideLeft.r, 150);
}

}  // namespace
