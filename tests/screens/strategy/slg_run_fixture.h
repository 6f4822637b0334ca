// The strategy map on the built sample data through the headless frame driver: the game's own
// steps, a null or real offscreen GL device, scripted clicks on shown widgets, and the walk from
// the title's strategy button through the clan choice to the player's first military phase.
#pragma once
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/error_box.h"
#include "core/frame_services.h"
#include "core/frame_wait.h"
#include "core/game_file.h"
#include "core/step_machine.h"
#include "movie/movie_mgr.h"
#include "platform/gl/null_device.h"
#include "platform/image/png_file.h"
#include "render/dg_manager.h"
#include "render/sprite.h"
#include "save/system_files.h"
#include "screens/front/front_scenes.h"
#include "screens/front/scene_title.h"
#include "screens/front/title_ports.h"
#include "screens/strategy/menu_slg_main.h"
#include "screens/strategy/scene_info_detail.h"
#include "screens/strategy/scene_slg.h"
#include "screens/strategy/slg_dialogs.h"
#include "core/step_machine.h"
#include "scenario/interp/adv_step.h"
#include "world/ai/ai_entry.h"
#include "world/turn/turn_loop.h"
#include "sound/sound.h"
#include "tests/support/device_frame_graphics.h"
#include "tests/support/frame_driver.h"
#include "tests/support/game_data_folder.h"
#include "tests/support/recording_boxes.h"
#include "tests/support/screen_run.h"
#include "ui/menus/menu_mgr.h"
#include "ui/scenes/scene_frame_adapter.h"
#include "ui/scenes/scene_mgr.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_list.h"
#include "ui/widgets/menu_text.h"
#include "world/record_lists.h"
#include "world/world_ports.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace fs = std::filesystem;

// The map on real GL draws thousands of batches; under AddressSanitizer the GL driver's own large
// allocations (each one mapped and unmapped) make such a run take over ten minutes, so the real-GL
// runs are left to the plain build there.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSkipSlowGlRuns = true;
#else
inline constexpr bool kSkipSlowGlRuns = false;
#endif

namespace {

// The game's own steps: the story engine enters the strategy game from game mode 7 and the turn
// loop runs the new game and the phases.
class StrategyHooks : public FrameGameHooks {
 public:
  void UpdateSoundFades() override { ::UpdateSoundFades(); }
  void StepAdvScript() override { ::StepAdvScript(); }
  void RunTurnLoop() override { ::RunTurnLoop(); }
};

// The turn loop (its main step runs one level below the loop) has left the new game for the turns
// (the new game's story event may be running meanwhile, where the story engine is installed).
bool NewGameChosen() {
  const bool story = GameMode == game_mode::kMainScript || GameMode == game_mode::kEventScript;
  return (GameMode == game_mode::kSlg || story) && g_StepMachine.step[1] >= kSlgStepTurn;
}

using Pt = ScreenPoint;

class SlgRun : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path data = fs::path(V4_TEST_GAME_DIR) / "Data";
    ASSERT_TRUE(fs::exists(data / "sys" / "kunipos_z.bin")) << "build the sample data first";
    ASSERT_TRUE(folder_.Ready()) << "no temporary game folder";
    SetErrorBoxPresenter(&boxes_);
    LoadSystemData();
    InitSound();
    ResetTitlePorts();
    ShowOpeningFlag = 0;
    GameMode = 1;
  }

  void TearDown() override {
    GetSceneMgr().Reset();
    GetMenuMgr().DeleteAllRoots();
    if (dg_) {
      SetDGManager(nullptr);
      dg_->Release();
    }
    driver_.reset();
    ReleaseSound();
    ResetTitlePorts();
    SetSlgScenePort(nullptr);
    SetErrorBoxPresenter(nullptr);
    ShowOpeningFlag = 1;
    GameMode = 1;
    // What the program's story engine does when the strategy game starts again (the tests run
    // without it): the step machine and the frame wait start afresh.
    StepReset();
    g_FrameWaitCounter.store(0);
  }

  bool StartNull() {
    dg_ = new CDGManager();
    const bool ok = v4test::StartNullDevice(dg_);
    graphics_ = std::make_unique<v4test::DeviceFrameGraphics>(dg_);
    return ok;
  }

  bool StartGl() {
    dg_ = new CDGManager();
    graphics_ = std::make_unique<v4test::DeviceFrameGraphics>(dg_);
    gl_ = v4test::StartGlDevice(Driver(), dg_);
    return gl_;
  }

  virtual void StartScenes() {
    GetMenuMgr().Init(GetModuleDir());
    CVSceneMgr& mgr = GetSceneMgr();
    mgr.Reset();
    ASSERT_TRUE(InitSceneSystem());
    RegisterFrontScenes(mgr);
    RegisterStrategyScenes(mgr, true);
    InstallAiRules();
  }

  FrameDriver& Driver() {
    if (!driver_) driver_ = std::make_unique<FrameDriver>(&scenes_, &hooks_, graphics_.get());
    return *driver_;
  }

  CVSceneSLG* Scene() { return dynamic_cast<CVSceneSLG*>(GetSceneById(3)); }
  CVMenuSLGMain* Map() { return Scene() ? Scene()->MapMenu() : nullptr; }

  void Click(Pt p, bool right = false) { Driver().Click(p, right); }
  void Hover(Pt p, int ticks = 4) {
    Driver().SetPointer(p.x, p.y);
    Driver().Ticks(ticks);
  }
  // The centre of a shown button.
  static Pt ButtonCentre(CVMenuBase* root, int32_t id) { return v4test::ButtonCentre(root, id); }
  // A point of the country map inside province k (from the map's own mask).
  Pt PointInKuni(int k) {
    const KuniPosTable& t = Map()->CountryTable();
    int32_t r[4];
    if (!t.GetKuniRect(k, r)) return {-1, -1};
    // Below the centre, clear of the province's name label.
    const int cx = (r[0] + r[2]) / 2, cy = (r[1] + r[3]) / 2 + std::min(24, (r[3] - r[1]) / 3);
    for (int d = 0; d < 60; ++d)
      for (int dy = -d; dy <= d; ++dy)
        for (int dx = -d; dx <= d; ++dx)
          if (t.MaskLookup(cx + dx, cy + dy) == k) return {cx + dx, cy + dy};
    return {-1, -1};
  }

  bool Grab(const char* name, std::vector<uint8_t>& px) {
    if (!dg_->Device()->ReadBackBuffer(plat::Rect{0, 0, 1280, 720}, &px)) return false;
    if (const char* dump = std::getenv("V4_SLG_DUMP_DIR")) {
      plat::Canvas c(1280, 720);
      c.pixels() = px;
      plat::WriteCanvasPng(std::string(dump) + "/" + name + ".png", c, nullptr);
    }
    return true;
  }

  // Title -> strategy button -> clan choice (the start choice's button `choice`) -> confirmation ->
  // start options -> the map.
  void PlayToMap(int choice = 0) {
    ASSERT_NO_FATAL_FAILURE(StartScenes());
    Driver().TicksUntil(200, [] { return GetSceneById(1) && GetSceneById(1)->GetStepValue() == 2; });
    Click({640, 320 + 140 + 32});  // the strategy button
    ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 3);
    Driver().Ticks(3);
    ASSERT_EQ(GameMode, game_mode::kSlg);
    ASSERT_NE(Map(), nullptr);
    ASSERT_EQ(Map()->MapState(), 1);  // the start choice
    const Pt first = ButtonCentre(Map(), 12500 + choice);
    Hover(first);
    const int hovered = Scene()->GetStartClanHover();
    ASSERT_GE(hovered, 0);
    chosenClan_ = hovered;
    std::vector<uint8_t> px;
    if (gl_) Grab("start_choice", px);
    Click(first);
    // The confirmation waits with the continue panel.
    ASSERT_TRUE(Driver().TicksUntil(100, [&] { return (Map()->StateFlags() & CVMenuSLGMain::kWaiting) != 0; }));
    Click(ButtonCentre(Map(), 2));
    Driver().Ticks(4);
    auto* options = dynamic_cast<CVMenuSLG_CmdBase*>(Scene()->DialogMenu());
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(options->GetDialogId(), 18);
    if (gl_) Grab("start_options", px);
    Click(ButtonCentre(options, 1100));
    ASSERT_TRUE(Driver().TicksUntil(400, NewGameChosen));
    // The first season's report runs (a click ends each of its waits, as a player's does), then
    // the military phase waits for the player's commands.
    // A general may come forward to the player (by the season's random draw): his dialog waits for
    // its accept button, not for a click on the map.
    for (int i = 0; i < 600 && !(TurnSubPhase == 1 && (Map()->StateFlags() & CVMenuSLGMain::kCommandMenu)); ++i) {
      CVMenuBase* dialog = Scene()->DialogMenu();
      CVMenuBtn* accept = dialog ? dialog->FindButtonById(1000) : nullptr;
      if (accept && accept->TestFlag(kWfShown) && accept->TestFlag(kWfEnabled))
        Click(ButtonCentre(dialog, 1000));
      else
        Click({60, 580});  // the sea in the map's corner
    }
    ASSERT_EQ(TurnSubPhase, 1) << "the turn reached the player's military phase";
    Driver().Ticks(20);
  }

  v4test::GameDataFolder folder_{"v4_slg"};
  CDGManager* dg_ = nullptr;
  SceneFrameAdapter scenes_;
  StrategyHooks hooks_;
  std::unique_ptr<v4test::DeviceFrameGraphics> graphics_;
  std::unique_ptr<FrameDriver> driver_;
  v4test::RecordingBoxes boxes_;
  int chosenClan_ = -1;
  bool gl_ = false;
};

}  // namespace
