// The message window drawn by the real GL device on an offscreen window: a background, a
// standing picture with its face at its place, the name plate with the speaker and the page text.
// With V4_ADV_DUMP_DIR set, the frame is written there as adv_message.png.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/frame_services.h"
#include "core/game_file.h"
#include "platform/image/png_file.h"
#include "render/dg_manager.h"
#include "save/system_files.h"
#include "screens/scenario/adv_ports.h"
#include "screens/scenario/scene_adv.h"
#include "tests/support/device_frame_graphics.h"
#include "tests/support/frame_driver.h"
#include "tests/support/game_data_folder.h"
#include "tests/support/screen_run.h"
#include "ui/menus/menu_mgr.h"
#include "ui/scenes/scene_frame_adapter.h"
#include "ui/scenes/scene_mgr.h"

namespace fs = std::filesystem;

namespace {

class NoHooks : public FrameGameHooks {};

class AdvPixels : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path data = fs::path(V4_TEST_GAME_DIR) / "Data";
    ASSERT_TRUE(fs::exists(data / "layout" / "adv.lay")) << "build the sample data first";
    ASSERT_TRUE(folder_.Ready()) << "no temporary game folder";
    LoadSystemData();
    ResetAdvPorts();
    GetAdvPorts().setting = [](int i) { return i == 0 ? 9 : (i == 2 ? 9 : (i == 3 ? 1 : 5)); };
  }
  void TearDown() override {
    GetSceneMgr().Reset();
    GetMenuMgr().DeleteAllRoots();
    if (dg_) {
      SetDGManager(nullptr);
      dg_->Release();
    }
    driver_.reset();
    ResetAdvPorts();
    GameMode = 1;
  }

  bool StartGl() {
    dg_ = new CDGManager();
    graphics_ = std::make_unique<v4test::DeviceFrameGraphics>(dg_);
    driver_ = std::make_unique<FrameDriver>(&scenes_, &hooks_, graphics_.get());
    return v4test::StartGlDevice(*driver_, dg_);
  }

  v4test::GameDataFolder folder_{"v4_advpx"};
  CDGManager* dg_ = nullptr;
  SceneFrameAdapter scenes_{GetSceneMgr(), false};
  NoHooks hooks_;
  std::unique_ptr<v4test::DeviceFrameGraphics> graphics_;
  std::unique_ptr<FrameDriver> driver_;
};

TEST_F(AdvPixels, MessageWithNameAndCharacterAtItsPlace) {
  if (!StartGl()) GTEST_SKIP() << "no GL 3.3 context";
  GetMenuMgr().Init(GetModuleDir());
  CVSceneMgr& mgr = GetSceneMgr();
  mgr.Reset();
  ASSERT_TRUE(InitSceneSystem());
  RegisterScenarioScenes(mgr);
  GameMode = 0;
  ASSERT_TRUE(mgr.ChangeScene(2, 0));
  auto* s = dynamic_cast<CVSceneADV*>(GetSceneById(2));
  ASSERT_NE(s, nullptr);
  ASSERT_NE(s->Window(), nullptr);
  ASSERT_TRUE(s->SwapBgPage(0, "Data\\Image\\adv\\bg_castle.png"));
  // Position 0 of the sample definition: 400 x 600 at (440, 120); the face at (560..720, 200..360).
  ASSERT_TRUE(s->LoadChar(0, "hana", 0));
  ASSERT_TRUE(s->ShowChar(0, 440, 120, 440, 120, 0));
  AdvTextRecord r;
  r.text = "春の城に、風が吹いている。";
  ASSERT_TRUE(s->SetMessage(1, "花", {r}, true));
  s->ApplyWindowAlpha();
  driver_->Ticks(6);

  std::vector<uint8_t> px;
  ASSERT_TRUE(dg_->Device()->ReadBackBuffer(plat::Rect{0, 0, 1280, 720}, &px));
  if (const char* dump = std::getenv("V4_ADV_DUMP_DIR")) {
    plat::Canvas c(1280, 720);
    c.pixels() = px;
    plat::WriteCanvasPng(std::string(dump) + "/adv_message.png", c, nullptr);
  }
  auto at = [&](int x, int y, int c) { return static_cast<int>(px[(static_cast<size_t>(y) * 1280 + x) * 4 + c]); };
  // The castle hall's dark ceiling at the top left: dark wood, red above blue.
  EXPECT_GT(at(60, 40, 0), at(60, 40, 2) + 8);
  EXPECT_LT(at(60, 40, 0), 80);
  // The robe (#B03048) between the face and the window, at the character's place...
  EXPECT_GT(at(640, 470, 0), 140);
  EXPECT_LT(at(640, 470, 1), 90);
  // ...and not where the character is not (the lit shoji at 900, 300 is light).
  EXPECT_GT(at(900, 300, 1), 150);
  // The face layer's skin (#F2D2B6) at the face's centre.
  EXPECT_GT(at(640, 300, 0), 200);
  EXPECT_GT(at(640, 300, 1), 170);
  // The name plate (#5A1820) left of its centred name, and light glyphs of the name.
  EXPECT_GT(at(80, 482, 0), at(80, 482, 2) + 30);
  int nameLight = 0;
  for (int y = 466; y < 498; ++y)
    for (int x = 150; x < 230; ++x) nameLight += at(x, y, 0) > 200 && at(x, y, 1) > 180;
  EXPECT_GT(nameLight, 20) << "the speaker's name on the plate";
  // The window frame (dark navy) and the first line's glyphs on it.
  EXPECT_LT(at(1100, 640, 0), 40);
  int textLight = 0;
  for (int y = 522; y < 556; ++y)
    for (int x = 88; x < 500; ++x) textLight += at(x, y, 0) > 200 && at(x, y, 1) > 200 && at(x, y, 2) > 200;
  EXPECT_GT(textLight, 150) << "the page text";
}

// An effect layer wiping in through the sample pattern (256 x 256, dark on the left of each tile,
// light on the right, tiled over the layer): halfway, the layer shows where the pattern is dark and
// not yet where it is light; at the end it shows everywhere.
TEST_F(AdvPixels, PatternWipeRevealsTheLayerWhereThePatternIsDarkFirst) {
  if (!StartGl()) GTEST_SKIP() << "no GL 3.3 context";
  GetMenuMgr().Init(GetModuleDir());
  CVSceneMgr& mgr = GetSceneMgr();
  mgr.Reset();
  ASSERT_TRUE(InitSceneSystem());
  RegisterScenarioScenes(mgr);
  GameMode = 0;
  ASSERT_TRUE(mgr.ChangeScene(2, 0));
  auto* s = dynamic_cast<CVSceneADV*>(GetSceneById(2));
  ASSERT_NE(s, nullptr);
  ASSERT_TRUE(s->SwapBgPage(0, "Data\\Image\\adv\\bg_night.png"));
  s->ShowWindow(false);
  driver_->Ticks(4);
  auto grab = [&] {
    std::vector<uint8_t> px;
    EXPECT_TRUE(dg_->Device()->ReadBackBuffer(plat::Rect{0, 0, 1280, 720}, &px));
    return px;
  };
  auto light = [](const std::vector<uint8_t>& px, int x, int y) {
    const size_t i = (static_cast<size_t>(y) * 1280 + x) * 4;
    return px.size() > i + 2 ? px[i] + px[i + 1] + px[i + 2] : 0;
  };
  const std::vector<uint8_t> before = grab();
  ASSERT_TRUE(s->LoadEffectLayer(0, "Data\\Image\\adv\\effect.png", true));
  ASSERT_TRUE(s->EffectIn(0, 2000, "Data\\Image\\adv\\pattern.tig"));
  ASSERT_EQ(s->Window()->LayerTransition(0), CVMenuADV::TransitionKind::kPattern);
  // About halfway through the wipe.
  const uint32_t start = driver_->NowMs();
  while (driver_->NowMs() - start < 1000) driver_->Tick();
  const std::vector<uint8_t> half = grab();
  // Row 20 of the first tile: x 30 is dark in the pattern, x 230 light.
  EXPECT_GT(light(half, 30, 20) - light(before, 30, 20), 30) << "shown where the pattern is dark";
  EXPECT_LT(std::abs(light(half, 230, 20) - light(before, 230, 20)), 12) << "not yet where it is light";
  for (int i = 0; i < 400 && s->IsTransitionRunning(); ++i) driver_->Tick();
  EXPECT_FALSE(s->IsTransitionRunning());
  driver_->Ticks(2);
  const std::vector<uint8_t> end = grab();
  EXPECT_GT(light(end, 230, 20) - light(before, 230, 20), 30) << "shown everywhere at the end";
}

}  // namespace
