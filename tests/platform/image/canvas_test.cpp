#include "platform/image/canvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "platform/image/png_file.h"
#include "tests/support/temp_folder.h"

namespace {

using plat::Canvas;
using plat::Rgba;

constexpr Rgba kRed{255, 0, 0, 255};
constexpr Rgba kBlue{0, 0, 255, 255};
constexpr Rgba kClear{0, 0, 0, 0};

TEST(Canvas, SizesOutsideTheAcceptedRangeGiveAnEmptyCanvas) {
  const int sizes[][2] = {{0, 10}, {10, 0}, {-1, 5}, {Canvas::kMaxSide + 1, 1}, {1, Canvas::kMaxSide + 1}};
  for (const auto& s : sizes) {
    const Canvas c(s[0], s[1]);
    EXPECT_TRUE(c.empty()) << s[0] << "x" << s[1];
    EXPECT_TRUE(c.pixels().empty());
  }
  const Canvas ok(3, 2);
  EXPECT_EQ(ok.pixels().size(), 3u * 2u * 4u);
  EXPECT_EQ(ok.At(2, 1), kClear);
  EXPECT_EQ(ok.At(3, 0), kClear);  // outside reads transparent
}

TEST(Canvas, RectanglesAreClippedAndEmptySizesDrawNothing) {
  struct Case {
    int x, y, w, h;
    int painted;  // pixels expected red on a 4x4 canvas
  };
  const Case cases[] = {
      {0, 0, 4, 4, 16}, {-2, -2, 4, 4, 4}, {3, 3, 10, 10, 1},     {4, 0, 2, 2, 0},
      {0, 0, 0, 3, 0},  {0, 0, 3, -1, 0},  {-100, 1, 1000, 1, 4}, {2147483600, 0, 100, 1, 0},
  };
  for (const Case& k : cases) {
    Canvas c(4, 4);
    c.FillRect(k.x, k.y, k.w, k.h, kRed);
    int painted = 0;
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) painted += c.At(x, y) == kRed;
    EXPECT_EQ(painted, k.painted) << k.x << "," << k.y << " " << k.w << "x" << k.h;
  }
}

TEST(Canvas, SourceOverCompositing) {
  Canvas c(2, 1);
  c.FillRect(0, 0, 2, 1, kBlue);
  c.Blend(0, 0, Rgba{255, 0, 0, 128});  // half red over opaque blue
  EXPECT_EQ(c.At(0, 0), (Rgba{128, 0, 127, 255}));
  c.Blend(1, 0, kRed, 0.0f);  // no coverage: unchanged
  EXPECT_EQ(c.At(1, 0), kBlue);
  Canvas t(1, 1);
  t.Blend(0, 0, Rgba{10, 20, 30, 64});  // over transparent: the colour itself
  EXPECT_EQ(t.At(0, 0), (Rgba{10, 20, 30, 64}));
}

TEST(Canvas, GradientRunsFromFirstToLastRowOrColumn) {
  Canvas v(2, 5);
  v.GradientRect(0, 0, 2, 5, Rgba{0, 0, 0, 255}, Rgba{200, 100, 40, 255});
  EXPECT_EQ(v.At(1, 0), (Rgba{0, 0, 0, 255}));
  EXPECT_EQ(v.At(1, 2), (Rgba{100, 50, 20, 255}));
  EXPECT_EQ(v.At(0, 4), (Rgba{200, 100, 40, 255}));
  Canvas h(3, 1);
  h.GradientRect(0, 0, 3, 1, Rgba{0, 0, 0, 255}, Rgba{255, 255, 255, 255}, true);
  EXPECT_EQ(h.At(0, 0).r, 0);
  EXPECT_EQ(h.At(1, 0).r, 128);
  EXPECT_EQ(h.At(2, 0).r, 255);
}

TEST(Canvas, RoundedShapesLeaveTheirCornersClear) {
  Canvas c(40, 20);
  c.RoundedRect(0, 0, 40, 20, 8.0f, kRed);
  EXPECT_EQ(c.At(0, 0).a, 0);
  EXPECT_EQ(c.At(39, 19).a, 0);
  EXPECT_EQ(c.At(20, 0), kRed);  // straight top edge fully covered
  EXPECT_EQ(c.At(20, 10), kRed);
  // A radius beyond half the shorter side is clamped: still a full-height shape, corners clear.
  Canvas pill(40, 20);
  pill.RoundedRect(0, 0, 40, 20, 1000.0f, kRed);
  EXPECT_EQ(pill.At(20, 0), kRed);
  EXPECT_EQ(pill.At(0, 0).a, 0);
  EXPECT_EQ(pill.At(0, 10).a > 0, true);

  Canvas b(20, 20);
  b.Border(0, 0, 20, 20, 2.0f, 0.0f, kBlue);
  EXPECT_EQ(b.At(0, 10), kBlue);
  EXPECT_EQ(b.At(1, 10), kBlue);
  EXPECT_EQ(b.At(2, 10).a, 0);
  EXPECT_EQ(b.At(10, 10).a, 0);
  EXPECT_EQ(b.At(19, 19), kBlue);
}

TEST(Canvas, EllipsesRingsAndPolygons) {
  Canvas c(21, 21);
  c.Ellipse(10.5f, 10.5f, 8.0f, 4.0f, kRed);
  EXPECT_EQ(c.At(10, 10), kRed);
  EXPECT_EQ(c.At(10, 3).a, 0);   // outside the short radius
  EXPECT_EQ(c.At(4, 10), kRed);  // inside the long radius

  Canvas r(21, 21);
  r.Ring(10.5f, 10.5f, 8.0f, 2.0f, kBlue);
  EXPECT_EQ(r.At(10, 10).a, 0);
  EXPECT_EQ(r.At(18, 10), kBlue);

  Canvas p(10, 10);
  p.Polygon({{0, 0}, {10, 0}, {0, 10}}, kRed);
  EXPECT_EQ(p.At(1, 1), kRed);
  EXPECT_EQ(p.At(8, 8).a, 0);
  EXPECT_GT(p.At(5, 4).a, 0);

  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<std::vector<plat::PointF>> nothing = {{}, {{0, 0}, {5, 5}}, {{0, 0}, {nan, 5}, {5, 0}}};
  for (const auto& pts : nothing) {
    Canvas q(10, 10);
    q.Polygon(pts, kRed);
    EXPECT_EQ(q.At(1, 1).a, 0) << pts.size() << " points";
  }
  Canvas z(10, 10);
  z.Ellipse(5, 5, 0.0f, 3.0f, kRed);
  z.Ring(5, 5, 3.0f, -1.0f, kRed);
  z.Border(0, 0, 10, 10, 0.0f, 0.0f, kRed);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(z.At(i, 5).a, 0);
}

TEST(CanvasPng, RoundTripKeepsEveryPixel) {
  Canvas c(7, 3);
  c.GradientRect(0, 0, 7, 3, Rgba{1, 2, 3, 40}, Rgba{250, 128, 9, 255}, true);
  c.FillRect(2, 1, 1, 1, Rgba{9, 8, 7, 0});
  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(plat::EncodeCanvasPng(c, &bytes, &error)) << error;
  ASSERT_EQ(bytes[1], 'P');
  Canvas back;
  ASSERT_TRUE(plat::DecodeCanvasPng(bytes.data(), bytes.size(), &back, &error)) << error;
  ASSERT_EQ(back.width(), 7);
  ASSERT_EQ(back.height(), 3);
  EXPECT_EQ(back.pixels(), c.pixels());
}

// The codec's own refusals are tested with it; here, that the canvas functions pass them on.
TEST(CanvasPng, BadInputIsRefusedWithAMessage) {
  Canvas c(4, 4);
  c.FillRect(0, 0, 4, 4, kRed);
  std::vector<uint8_t> good;
  ASSERT_TRUE(plat::EncodeCanvasPng(c, &good, nullptr));
  const std::vector<uint8_t> half(good.begin(), good.begin() + static_cast<long>(good.size() / 2));
  Canvas out(2, 2);
  std::string error;
  EXPECT_FALSE(plat::DecodeCanvasPng(half.data(), half.size(), &out, &error));
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(error.empty());

  std::vector<uint8_t> none{1, 2, 3};
  error.clear();
  EXPECT_FALSE(plat::EncodeCanvasPng(Canvas(), &none, &error));
  EXPECT_TRUE(none.empty());
  EXPECT_FALSE(error.empty());
}

TEST(CanvasPng, FilesRoundTripAndMissingPathsFailWithAMessage) {
  v4test::TempFolder dir("canvas_png");
  ASSERT_TRUE(dir.Made());
  Canvas c(5, 4);
  c.Ellipse(2.5f, 2.0f, 2.0f, 1.5f, Rgba{30, 200, 90, 180});
  std::string error;
  ASSERT_TRUE(plat::WriteCanvasPng(dir.File("pic.png"), c, &error)) << error;
  Canvas back;
  ASSERT_TRUE(plat::ReadCanvasPng(dir.File("pic.png"), &back, &error)) << error;
  EXPECT_EQ(back.width(), 5);
  EXPECT_EQ(back.height(), 4);
  EXPECT_EQ(back.pixels(), c.pixels());

  error.clear();
  EXPECT_FALSE(plat::WriteCanvasPng(dir.File("no/such/dir/pic.png"), c, &error));
  EXPECT_FALSE(error.empty());
  error.clear();
  Canvas out(2, 2);
  EXPECT_FALSE(plat::ReadCanvasPng("/nonexistent/dir/x.png", &out, &error));
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(error.empty());
}

}  // namespace
