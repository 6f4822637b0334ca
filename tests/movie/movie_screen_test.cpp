#include "movie/movie_screen.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/game_clock.h"
#include "core/game_file.h"
#include "movie/movie_display.h"
#include "movie/movie_mgr.h"
#include "platform/gl/gl_context.h"
#include "platform/gl/null_device.h"
#include "platform/movie/movie_encoder.h"
#include "platform/text/log.h"
#include "tests/platform/movie/movie_test_support.h"

namespace {

std::vector<uint8_t> Solid(int w, int h, uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4);
  for (size_t i = 0; i < px.size(); i += 4) {
    px[i] = r;
    px[i + 1] = g;
    px[i + 2] = b;
    px[i + 3] = 255;
  }
  return px;
}

TEST(MovieScreen, DrawsTheLatestPictureFittedIntoTheBackBuffer) {
  struct Case {
    int w, h;
    float x0, y0, x1, y1;  // expected quad edges (pixel centres on integers)
  };
  const Case cases[] = {
      {64, 36, -0.5f, -0.5f, 1279.5f, 719.5f},
      {640, 480, 159.5f, -0.5f, 1119.5f, 719.5f},
      {1280, 540, -0.5f, 89.5f, 1279.5f, 629.5f},
  };
  plat::NullDevice device(1280, 720);
  MovieScreen screen(&device);
  EXPECT_TRUE(screen.Draw());
  EXPECT_TRUE(device.draws.empty()) << "no picture yet: black only";
  ASSERT_EQ(device.clears.size(), 1u);
  EXPECT_EQ(device.clears[0].argb, 0xFF000000u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.w);
    std::vector<uint8_t> px = Solid(c.w, c.h, 10, 200, 30);
    screen.OnMovieFrame(px.data(), c.w, c.h, c.w * 4);
    EXPECT_EQ(device.LiveTextures(), 1u) << "one texture, re-made on a size change";
    device.draws.clear();
    ASSERT_TRUE(screen.Draw());
    ASSERT_EQ(device.draws.size(), 1u);
    const auto& d = device.draws[0];
    EXPECT_TRUE(d.screen);
    EXPECT_NE(d.texture, 0u);
    EXPECT_FLOAT_EQ(d.pixels[0].x, c.x0);
    EXPECT_FLOAT_EQ(d.pixels[0].y, c.y0);
    EXPECT_FLOAT_EQ(d.pixels[3].x, c.x1);
    EXPECT_FLOAT_EQ(d.pixels[3].y, c.y1);
    std::vector<uint8_t> back;
    ASSERT_TRUE(device.ReadTexture(d.texture, &back));
    EXPECT_EQ(back, px);
  }
  // Bad input is ignored, not copied.
  screen.OnMovieFrame(nullptr, 10, 10, 40);
  std::vector<uint8_t> small = Solid(4, 4, 1, 2, 3);
  screen.OnMovieFrame(small.data(), 4, 4, 8);
  EXPECT_EQ(device.LiveTextures(), 1u);
  screen.Release();
  EXPECT_EQ(device.LiveTextures(), 0u);
}

TEST(MovieTextureTarget, ScalesToTheTextureSize) {
  plat::NullDevice device;
  // A 4x2 picture: columns red, green, blue, white on top; black, grey, yellow, cyan below.
  const uint8_t colours[8][3] = {{255, 0, 0}, {0, 255, 0},     {0, 0, 255},   {255, 255, 255},
                                 {0, 0, 0},   {128, 128, 128}, {255, 255, 0}, {0, 255, 255}};
  std::vector<uint8_t> px(4 * 2 * 4);
  for (int i = 0; i < 8; ++i) {
    px[i * 4] = colours[i][0];
    px[i * 4 + 1] = colours[i][1];
    px[i * 4 + 2] = colours[i][2];
    px[i * 4 + 3] = 255;
  }
  struct Case {
    int tw, th;
  };
  for (const Case c : {Case{4, 2}, Case{8, 4}, Case{2, 1}}) {
    plat::TextureId tex = device.CreateTexture(c.tw, c.th, nullptr);
    MovieTextureTarget target(&device, tex);
    target.OnMovieFrame(px.data(), 4, 2, 16);
    EXPECT_EQ(target.Updates(), 1);
    std::vector<uint8_t> got;
    ASSERT_TRUE(device.ReadTexture(tex, &got));
    for (int y = 0; y < c.th; ++y) {
      for (int x = 0; x < c.tw; ++x) {
        const int src = (y * 2 / c.th) * 4 + x * 4 / c.tw;
        EXPECT_EQ(got[(y * c.tw + x) * 4], colours[src][0]) << c.tw << "x" << c.th << " at " << x << "," << y;
        EXPECT_EQ(got[(y * c.tw + x) * 4 + 2], colours[src][2]);
      }
    }
  }
  MovieTextureTarget none(&device, 0);
  none.OnMovieFrame(px.data(), 4, 2, 16);
  EXPECT_EQ(none.Updates(), 0);
}

uint32_t Clock(void* user) { return *static_cast<uint32_t*>(user); }

// The real device: a full-screen movie's pictures reach the back buffer, fitted, through the
// manager's per-frame update.
TEST(MovieScreenGl, FullScreenMovieOnTheRealDevice) {
  plat::SetLogEnabled(false);
  auto ctx = plat::OffscreenGlContext::Create(1280, 720);
  ASSERT_TRUE(ctx) << "no offscreen OpenGL context";
  auto device = plat::CreateGlDevice(1280, 720);
  ASSERT_TRUE(device);
  auto pixel = [&](int x, int y) {
    std::vector<uint8_t> p;
    EXPECT_TRUE(device->ReadBackBuffer(plat::Rect{x, y, 1, 1}, &p));
    return p.size() >= 4 ? std::vector<uint8_t>(p.begin(), p.begin() + 4) : std::vector<uint8_t>(4, 0);
  };
  {
    // A 4:3 picture is pillarboxed: black at the sides, the picture in the middle.
    MovieScreen screen(device.get());
    std::vector<uint8_t> red = Solid(40, 30, 250, 20, 20);
    screen.OnMovieFrame(red.data(), 40, 30, 160);
    ASSERT_TRUE(device->SetRenderTarget(0));
    ASSERT_TRUE(screen.Draw());
    device->Flush();
    EXPECT_EQ(pixel(640, 360), (std::vector<uint8_t>{250, 20, 20, 255}));
    EXPECT_EQ(pixel(100, 360), (std::vector<uint8_t>{0, 0, 0, 255}));
    EXPECT_EQ(pixel(1200, 100), (std::vector<uint8_t>{0, 0, 0, 255}));
    EXPECT_EQ(pixel(170, 10), (std::vector<uint8_t>{250, 20, 20, 255}));
  }
  uint32_t now = 100;
  SetGameClockOverride(&Clock, &now);
  v4test::TempFolder dir;
  std::string path = dir.File("colours.mdm");
  ASSERT_TRUE(movietest::WriteColourMovie(path, 10, 0, nullptr));
  MovieScreen screen(device.get());
  MovieMgr mgr;
  mgr.SetWaitForDecoder(true);
  mgr.SetFullScreenTarget(&screen);
  mgr.Init();
  ASSERT_TRUE(mgr.PlayFullScreen(path.c_str(), false, false));
  for (int frame = 0; frame < 10; ++frame) {
    mgr.UpdateMovies();
    ASSERT_TRUE(device->SetRenderTarget(0));
    ASSERT_TRUE(screen.Draw());
    device->Flush();
    std::vector<uint8_t> p = pixel(640, 360);
    EXPECT_EQ(movietest::MatchColour(p.data()), frame);
    now += 100;
  }
  mgr.CloseAll();
  SetGameClockOverride(nullptr, nullptr);
  plat::SetLogEnabled(true);
}

// The shell's path: the opening movie under the module directory plays full screen, is presented
// into the window's picture rectangle, and gives the display back once it is over.
TEST(MovieDisplayGl, OpeningMovieInTheWindowUntilItEnds) {
  plat::SetLogEnabled(false);
  auto ctx = plat::OffscreenGlContext::Create(1280, 720);
  ASSERT_TRUE(ctx) << "no offscreen OpenGL context";
  v4test::TempFolder dir;
  std::filesystem::create_directories(dir.File("Data/media"));
  ASSERT_TRUE(SetModuleDirFromHost(dir.File("")));
  EXPECT_FALSE(PlayOpeningMovie()) << "no file yet";
  EXPECT_FALSE(GetMovieMgr().BlocksDisplay());

  plat::TestPatternParams tp;
  tp.width = 320;
  tp.height = 180;
  tp.fps = 10;
  tp.seconds = 1;
  tp.toneHz = 0;
  ASSERT_TRUE(plat::WriteTestPatternMovie(dir.File("Data/media/op.mdm"), tp, nullptr));

  uint32_t now = 0;
  SetGameClockOverride(&Clock, &now);
  MovieMgr& mgr = GetMovieMgr();
  mgr.SetWaitForDecoder(true);
  mgr.Init();
  // Without a device given, the display makes its own on the current context.
  {
    MovieDisplay own;
    EXPECT_TRUE(own.Present(plat::Rect{0, 0, 1280, 720}, 1280, 720));
  }
  auto device = plat::CreateGlDevice(1280, 720);
  ASSERT_TRUE(device);
  MovieDisplay display;
  display.SetDevice(device.get());
  display.Attach(mgr);
  ASSERT_TRUE(PlayOpeningMovie());
  EXPECT_TRUE(mgr.BlocksDisplay());
  // Presented into a rectangle inside the drawable, as in full screen with bars around it.
  const plat::Rect picture{160, 90, 960, 540};
  int frames = 0;
  while (UpdateOpeningMovie()) {
    ASSERT_LT(++frames, 40) << "the opening movie does not end";
    now += 100;
    UpdateMovies();
    ASSERT_TRUE(display.Present(picture, 1280, 720));
    // The back buffer holds the whole picture: the pattern's top-left bar is light grey and the
    // counter along the bottom shows the frame number's lowest bit.
    std::vector<uint8_t> px;
    ASSERT_TRUE(device->ReadBackBuffer(plat::Rect{10, 10, 1, 1}, &px));
    EXPECT_NEAR(px[0], 192, 12);
    EXPECT_NEAR(px[2], 192, 12);
    ASSERT_TRUE(device->ReadBackBuffer(plat::Rect{1279, 715, 1, 1}, &px));
    const int shown = std::min(frames, 9);  // the picture due at this step; the last one stays
    EXPECT_EQ(px[0] > 128, (shown & 1) == 1) << "frame " << shown;
  }
  EXPECT_GE(frames, 9);
  EXPECT_FALSE(mgr.BlocksDisplay());
  display.Detach(mgr);
  mgr.SetWaitForDecoder(false);
  SetGameClockOverride(nullptr, nullptr);
  plat::SetLogEnabled(true);
}

}  // namespace
