// Golden pictures of the heavy and main screens, drawn through the real scenes on the built
// sample data, on real GL (offscreen, software GL), through the program's frame routine: the
// title, each extras menu, the load screen and the settings panel over its cover backdrop, a
// message window page with two standing pictures, the strategy map and the 3-D battle field.
// Re-record after a meant change: V4_GOLDEN_UPDATE=1 ctest -R golden_screens (see docs/design.md).
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_state.h"
#include "core/app_state.h"
#include "core/frame_services.h"
#include "core/game_file.h"
#include "movie/movie_mgr.h"
#include "render/board_renderer.h"
#include "render/dg_manager.h"
#include "save/save_slot.h"
#include "save/system_files.h"
#include "scenario/interp/adv_step.h"
#include "scenario/script/adv_script.h"
#include "screens/battle/kassen_field3d.h"
#include "screens/extras/omake_ports.h"
#include "screens/extras/scene_omake.h"
#include "screens/front/front_ports.h"
#include "screens/front/front_scenes.h"
#include "screens/front/scene_title.h"
#include "screens/front/title_ports.h"
#include "screens/scenario/adv_ports.h"
#include "screens/scenario/menu_adv.h"
#include "screens/scenario/scene_adv.h"
#include "screens/strategy/scene_slg.h"
#include "shell/adv_wiring.h"
#include "sound/sound.h"
#include "tests/support/device_frame_graphics.h"
#include "tests/support/frame_driver.h"
#include "tests/support/game_data_folder.h"
#include "tests/support/golden.h"
#include "tests/support/screen_run.h"
#include "ui/menus/menu_mgr.h"
#include "ui/scenes/scene_frame_adapter.h"
#include "ui/scenes/scene_mgr.h"
#include "world/scenario_tables.h"
#include "world/world_misc.h"
#include "world/world_ports.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace fs = std::filesystem;

namespace {

class Hooks : public FrameGameHooks {
 public:
  void UpdateSoundFades() override { ::UpdateSoundFades(); }
  void UpdateMovies() override { GetMovieMgr().UpdateMovies(); }
  bool MovieOwnsDisplay() override { return GetMovieMgr().BlocksDisplay(); }
  void StepAdvScript() override {
    if (stepScript) ::StepAdvScript();
  }
  bool stepScript = true;  // off: the scenario scene is driven by the test alone
};

class GoldenScreens : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(fs::path(V4_TEST_GAME_DIR) / "Data" / "layout")) << "build the sample data first";
    ASSERT_TRUE(folder_.Ready()) << "no temporary game folder";
    LoadSystemData();
    ClearPlayRecord();
    InitSound();
    GetMovieMgr().Init();
    GetMovieMgr().SetWaitForDecoder(true);
    ResetTitlePorts();
    ResetAdvPorts();
    ResetOmakePorts();
    GetOmakePorts().playMusicUnrecorded = [](const char*, int, int) {};
    ShowOpeningFlag = 0;
    dg_ = new CDGManager();
    graphics_ = std::make_unique<v4test::DeviceFrameGraphics>(dg_);
    driver_ = std::make_unique<FrameDriver>(&scenes_, &hooks_, graphics_.get());
    haveGl_ = v4test::StartGlDevice(*driver_, dg_);
    if (!haveGl_) return;
    GetMenuMgr().Init(GetModuleDir());
    GetSceneMgr().Reset();
    ASSERT_TRUE(InitSceneSystem());
    GameMode = 1;
  }
  void TearDown() override {
    GetSceneMgr().Reset();
    GetMenuMgr().DeleteAllRoots();
    GetMovieMgr().CloseAll();
    SetDGManager(nullptr);
    if (dg_) dg_->Release();
    driver_.reset();
    ReleaseSound();
    ResetTitlePorts();
    ResetAdvPorts();
    ResetOmakePorts();
    GetAdvScript().ClearBacklog();
    ClearPlayRecord();
    OmakeSelection = 65535;
    ShowOpeningFlag = 1;
    GameMode = 1;
  }

  void RegisterFrontEnd() {
    RegisterFrontScenes(GetSceneMgr());
    RegisterScenarioScenes(GetSceneMgr());
    RegisterOmakeScenes(GetSceneMgr());
    InstallScenarioEngine();
  }

  static CVSceneTitle* Title() { return dynamic_cast<CVSceneTitle*>(GetSceneById(1)); }
  static bool TitleAt(int32_t phase) {
    CVSceneTitle* t = Title();
    return t && GetSceneMgr().GetCurrentSceneId() == 1 && t->GetPhase() == phase && t->GetStepValue() == 2;
  }
  // The title's menu taking input, its backdrop wipe over.
  void ToTitleMenu() {
    ASSERT_TRUE(driver_->TicksUntil(400, [] { return TitleAt(CVSceneTitle::kPhaseMenu); }));
    driver_->SetPointer(20, 20);
    driver_->Ticks(90);
  }
  void Click(int x, int y, int after = 6) { driver_->Click({x, y}, false, {2, 2, after}); }

  ::testing::AssertionResult Golden(const std::string& name) {
    std::vector<uint8_t> px;
    if (!dg_->Device()->ReadBackBuffer(plat::Rect{0, 0, 1280, 720}, &px))
      return ::testing::AssertionFailure() << "no back buffer";
    return v4test::MatchesGolden(name, 1280, 720, px);
  }

  bool haveGl_ = false;
  v4test::GameDataFolder folder_{"v4_golden"};
  CDGManager* dg_ = nullptr;
  SceneFrameAdapter scenes_;
  Hooks hooks_;
  std::unique_ptr<v4test::DeviceFrameGraphics> graphics_;
  std::unique_ptr<FrameDriver> driver_;
};

#define REQUIRE_GL() \
  if (!haveGl_) GTEST_SKIP() << "no GL 3.3 context"

TEST_F(GoldenScreens, Title) {
  REQUIRE_GL();
  RegisterFrontEnd();
  ToTitleMenu();
  EXPECT_TRUE(Golden("title"));
}

// Each extras menu, entered from the title's extras sub-menu as a player does.
TEST_F(GoldenScreens, ExtrasMenus) {
  REQUIRE_GL();
  RegisterFrontEnd();
  ToTitleMenu();
  for (int n = 1; n <= 5; ++n) {
    SCOPED_TRACE(n);
    ASSERT_TRUE(driver_->TicksUntil(
        200, [] { return TitleAt(CVSceneTitle::kPhaseMenu) || TitleAt(CVSceneTitle::kPhaseExtras); }));
    if (TitleAt(CVSceneTitle::kPhaseMenu)) Click(480 + 160, 320 + 70 * 3 + 32);  // おまけ
    ASSERT_TRUE(driver_->TicksUntil(100, [] { return TitleAt(CVSceneTitle::kPhaseExtras); }));
    driver_->Ticks(30);
    Click(480 + 160, 290 + 64 * (n - 1) + 28);
    ASSERT_TRUE(driver_->TicksUntil(200, [] { return GetSceneMgr().GetCurrentSceneId() == 7; }));
    driver_->SetPointer(20, 700);
    driver_->Ticks(60);
    EXPECT_TRUE(Golden("extras_" + std::to_string(n)));
    Click(1060 + 80, 630 + 24, 8);  // 戻る
    ASSERT_TRUE(driver_->TicksUntil(200, [] { return GetSceneMgr().GetCurrentSceneId() == 1; }));
  }
}

// The load screen and the settings panel, each over the cover the title leaves behind.
TEST_F(GoldenScreens, LoadScreenAndSettingsOverTheCoverBackdrop) {
  REQUIRE_GL();
  RegisterFrontEnd();
  struct Case {
    const char* name;
    int32_t scene;
  } cases[] = {{"save_screen", 5}, {"settings_cover_backdrop", 6}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ToTitleMenu();
    GetSceneMgr().RequestChangeWithCover(c.scene, 1, -1.0f, -1.0f);
    ASSERT_TRUE(driver_->TicksUntil(200, [&] { return GetSceneMgr().GetCurrentSceneId() == c.scene; }));
    driver_->Ticks(60);
    EXPECT_TRUE(Golden(c.name));
    GetSceneMgr().ChangeScene(1, 0);
  }
}

// The load screen with saves in it: three strategy saves of different clans, the last one marked
// as the newest. The save times are fixed and shown in UTC so the picture does not follow the clock.
TEST_F(GoldenScreens, LoadScreenWithSaves) {
  REQUIRE_GL();
  const char* oldTz = std::getenv("TZ");
  const std::string keptTz = oldTz ? oldTz : "";
  setenv("TZ", "UTC", 1);
  tzset();
  ScenarioNumber = 0;
  LoadWorldSystemTable();
  ASSERT_TRUE(StartNewGame());
  TurnSubPhase = 1;
  const uint8_t clans[] = {0, 1, 2};
  for (int row = 0; row < 3; ++row) {
    PlayerDaimyoId = clans[row];
    SlotHeader h;
    BuildSlotHeader(h, game_mode::kSlg);
    h.saveTime = 1700000000 + row * 93784;  // a day, two hours and three minutes apart
    ASSERT_TRUE(SaveGameSlot(row, game_mode::kSlg, &h)) << row;
  }
  RegisterFrontEnd();
  ToTitleMenu();
  GetSceneMgr().RequestChangeWithCover(5, 1, -1.0f, -1.0f);
  ASSERT_TRUE(driver_->TicksUntil(200, [] { return GetSceneMgr().GetCurrentSceneId() == 5; }));
  driver_->Ticks(60);
  EXPECT_TRUE(Golden("save_screen_filled"));
  GetSceneMgr().ChangeScene(1, 0);
  if (oldTz)
    setenv("TZ", keptTz.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

// A page of the message window fully shown over a background and two standing pictures.
TEST_F(GoldenScreens, MessageWindowWithTwoStandingPictures) {
  REQUIRE_GL();
  RegisterScenarioScenes(GetSceneMgr());
  AdvPorts& p = GetAdvPorts();
  p.setting = [](int i) { return i == 0 ? 8 : (i == 3 ? 1 : 5); };
  p.voicePlaying = [] { return false; };
  p.keyHeld = p.keyPressed = p.keyReleased = [](int) { return false; };
  p.wheel = [] { return 0; };
  hooks_.stepScript = false;
  GameMode = 0;
  ASSERT_TRUE(GetSceneMgr().ChangeScene(2, 0));
  auto* s = dynamic_cast<CVSceneADV*>(GetSceneById(2));
  ASSERT_NE(s, nullptr);
  s->SwapBgPage(0, "Data\\Image\\adv\\bg_castle.png");
  s->LoadChar(0, "hana", 5);
  s->ShowChar(0, 280, 120, 280, 120, 0);
  s->LoadChar(1, "kage", 6);
  s->ShowChar(1, 600, 120, 600, 120, 0);
  driver_->Ticks(5);
  ASSERT_EQ(s, dynamic_cast<CVSceneADV*>(GetSceneById(2))) << "the scene stays";
  AdvTextRecord r;
  r.text = "城の外は静かな夜だった。\n誰も来ない。";
  s->SetMessage(1, "花", {r}, true);
  driver_->Ticks(5);
  ASSERT_TRUE(driver_->TicksUntil(600, [&] { return s->Window() && !s->Window()->IsMessageBusy(); }));
  driver_->Ticks(30);
  EXPECT_TRUE(Golden("message_window"));
}

// The strategy map in the player's military phase, the home province focused.
TEST_F(GoldenScreens, StrategyMap) {
  REQUIRE_GL();
  ScenarioNumber = 0;
  LoadWorldSystemTable();
  StartNewGame();
  PlayerDaimyoId = 0;
  TurnSubPhase = 1;
  RegisterStrategyScenes(GetSceneMgr(), true);
  ASSERT_TRUE(GetSceneMgr().ChangeScene(3, 0));
  auto* scene = dynamic_cast<CVSceneSLG*>(GetSceneMgr().GetScene(3));
  ASSERT_NE(scene, nullptr);
  scene->SetCurrentDaimyo(0);
  scene->SetSelMode(0);
  scene->ShowInfoPanel();
  scene->ShowMessage("軍事の段です。", 0, true);
  scene->FocusKuni(GetDaimyoHomeKuni(0), 1);
  GameMode = game_mode::kSlg;
  driver_->SetPointer(400, 300);
  driver_->Ticks(60);
  EXPECT_TRUE(Golden("strategy_map"));
  SetSlgScenePort(nullptr);
}

// The 3-D battle field: sky, moat water, field, twelve figures (five lanes and the reserve place of
// each side) and twelve panels over it.
TEST_F(GoldenScreens, BattleField) {
  REQUIRE_GL();
  g_Battle = BattleState();
  g_Battle.laneCount = 5;
  g_Battle.siroSize = 2;
  g_Battle.siroFlag = 1;
  for (int side = 0; side < 2; ++side)
    for (int i = 0; i < kBattleUnits; ++i) {
      BattleUnit& u = g_Battle.sides[side].units[i];
      ClearBattleUnit(u);
      u.general = static_cast<uint16_t>(side * 6 + i + 1);
      u.soldiers = 40;
      u.kind = static_cast<uint16_t>(1 + i % 3);
      u.lane = static_cast<uint8_t>(i);
      if (i < 5) g_Battle.slots[side][i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(side == 0 ? 3 : 4), 0, 0};
    }
  auto field = std::make_unique<KassenField3D>(dg_);
  field->Setup(1, g_Battle, 1);
  ASSERT_GE(field->LoadedModels(), 14);
  auto* panelTexture = new CDGTexture(dg_);
  ASSERT_TRUE(panelTexture->CreateEmpty(64, 64));
  std::vector<CDGBoardRenderer*> panels;
  for (int i = 0; i < 12; ++i) {
    auto* b = new CDGBoardRenderer(dg_);
    b->SetMode(CDGBoardRenderer::kScreen);
    b->SetTexture(panelTexture);
    b->SetPosition(i < 6 ? 40.0f : 900.0f, 120.0f + static_cast<float>(i % 6) * 56.0f, 10.0f);
    b->SetAxes(Vector3(1, 0, 0), Vector3(0, 1, 0));
    b->SetSize(300, 48);
    b->SetColors(0xC0202830u, 0xC0202830u, 0xC0202830u, 0xC0202830u, true);
    panels.push_back(b);
  }
  for (int n = 0; n < 90; ++n) {
    field->Sync(g_Battle);
    field->Update(16.667f, false);
    dg_->UpdateRenderers();
    field->Draw();
    for (CDGBoardRenderer* b : panels) b->Queue(true);
    dg_->SwapRenderQueues();
    ASSERT_TRUE(dg_->RenderFrame());
  }
  EXPECT_TRUE(Golden("battle_field"));
  field.reset();
  for (CDGBoardRenderer* b : panels) b->Release();
  panelTexture->Release();
}

}  // namespace
