// The save and load screens with the strategy game on the built sample data through the headless
// frame driver: the map's quick save, the game moved on, then the quick slot loaded from the load
// screen opened over the map brings back the same turn on the same map.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "core/app_state.h"
#include "core/error_box.h"
#include "core/frame_services.h"
#include "core/game_file.h"
#include "core/step_machine.h"
#include "platform/gl/null_device.h"
#include "render/dg_manager.h"
#include "save/save_slot.h"
#include "save/system_files.h"
#include "scenario/interp/adv_step.h"
#include "screens/front/front_scenes.h"
#include "screens/front/scene_save.h"
#include "screens/front/scene_title.h"
#include "screens/front/title_ports.h"
#include "screens/strategy/menu_slg_main.h"
#include "screens/strategy/scene_slg.h"
#include "screens/strategy/slg_dialogs.h"
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
#include "world/ai/ai_entry.h"
#include "world/turn/turn_loop.h"
#include "world/turn/world_hash.h"
#include "world/world_ports.h"
#include "world/world_tables.h"

namespace fs = std::filesystem;

namespace {

class StrategyHooks : public FrameGameHooks {
 public:
  void UpdateSoundFades() override { ::UpdateSoundFades(); }
  void StepAdvScript() override { ::StepAdvScript(); }
  void RunTurnLoop() override { ::RunTurnLoop(); }
};

using Pt = ScreenPoint;

// The turn words that say where the game stands.
struct TurnPlace {
  uint16_t turn, year;
  uint8_t season, subPhase, player;
  uint64_t world;
  bool operator==(const TurnPlace&) const = default;
};
TurnPlace Here() { return {TurnCounter, GameYear, SeasonIndex, TurnSubPhase, PlayerDaimyoId, WorldHash()}; }

class FrontSlgRun : public ::testing::Test {
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
    // What the program's wiring gives the map's quick save and quick load.
    GetSlgCommandRules().quickSave = [] { return QuickSave(GameMode); };
    GetSlgCommandRules().quickLoad = [] { return QuickLoad(-1); };
    dg_ = new CDGManager();
    ASSERT_TRUE(v4test::StartNullDevice(dg_));
    graphics_ = std::make_unique<v4test::DeviceFrameGraphics>(dg_);
    driver_ = std::make_unique<FrameDriver>(&scenes_, &hooks_, graphics_.get());
  }

  void TearDown() override {
    GetSceneMgr().Reset();
    GetMenuMgr().DeleteAllRoots();
    SetDGManager(nullptr);
    if (dg_) dg_->Release();
    driver_.reset();
    ReleaseSound();
    ResetTitlePorts();
    SetSlgScenePort(nullptr);
    SetErrorBoxPresenter(nullptr);
    GetSlgCommandRules().quickSave = [] { return false; };
    GetSlgCommandRules().quickLoad = [] { return false; };
    ShowOpeningFlag = 1;
    GameMode = 1;
  }

  CVSceneSLG* Scene() { return dynamic_cast<CVSceneSLG*>(GetSceneById(3)); }
  CVMenuSLGMain* Map() { return Scene() ? Scene()->MapMenu() : nullptr; }
  CVMenuBase* CurrentMenu() {
    CVScene* s = GetSceneMgr().GetCurrentScene();
    return s ? s->FindMenu(0) : nullptr;
  }

  void Click(Pt p, bool right = false) { driver_->Click(p, right); }
  static Pt ButtonCentre(CVMenuBase* root, int32_t id) { return v4test::ButtonCentre(root, id); }
  bool PlayerCommandsOpen() {
    return TurnSubPhase == 1 && Map() && (Map()->StateFlags() & CVMenuSLGMain::kCommandMenu);
  }

  // Title -> strategy button -> the first offered clan -> start options -> the player's first
  // military phase, clicking through the season's report as a player does.
  void PlayToMilitaryPhase() {
    GetMenuMgr().Init(GetModuleDir());
    GetSceneMgr().Reset();
    ASSERT_TRUE(InitSceneSystem());
    RegisterFrontScenes(GetSceneMgr());
    RegisterStrategyScenes(GetSceneMgr(), true);
    InstallAiRules();
    driver_->TicksUntil(200, [] { return GetSceneById(1) && GetSceneById(1)->GetStepValue() == 2; });
    Click({640, 320 + 140 + 32});  // the strategy button
    ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 3);
    driver_->Ticks(3);
    ASSERT_NE(Map(), nullptr);
    Click(ButtonCentre(Map(), 12500));
    driver_->TicksUntil(100, [&] { return (Map()->StateFlags() & CVMenuSLGMain::kWaiting) != 0; });
    Click(ButtonCentre(Map(), 2));
    driver_->Ticks(4);
    ASSERT_NE(Scene()->DialogMenu(), nullptr);
    Click(ButtonCentre(Scene()->DialogMenu(), 1100));
    for (int i = 0; i < 600 && !PlayerCommandsOpen(); ++i) Click({60, 580});  // the sea in the map's corner
    ASSERT_TRUE(PlayerCommandsOpen());
    driver_->Ticks(20);
  }

  v4test::GameDataFolder folder_{"v4_front_slg"};
  CDGManager* dg_ = nullptr;
  SceneFrameAdapter scenes_;
  StrategyHooks hooks_;
  std::unique_ptr<v4test::DeviceFrameGraphics> graphics_;
  std::unique_ptr<FrameDriver> driver_;
  v4test::RecordingBoxes boxes_;
};

// "はい" of the centred question panel.
constexpr Pt kYes = {340 + 110 + 80, 230 + 180 + 24};

TEST_F(FrontSlgRun, QuickSaveOnTheMapLoadsBackFromTheLoadScreenAtTheSameTurn) {
  ASSERT_NO_FATAL_FAILURE(PlayToMilitaryPhase());
  const TurnPlace saved = Here();

  // The map's quick save asks first; yes writes the first quick slot.
  Click(ButtonCentre(Map(), 10011));
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 10);
  Click(kYes);
  driver_->Ticks(4);
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 3);
  ASSERT_EQ(PlayRecordBlock.lastQuick, 0);
  SlotHeader h;
  ASSERT_TRUE(ReadSlotHeader(kQuickSlotBase, h));
  ASSERT_TRUE(CheckSaveVersion(h));
  EXPECT_EQ(h.subPhase, 1);

  // The game moves on: the military phase ends and politics begins.
  Click(ButtonCentre(Map(), 10014));
  for (int i = 0; i < 600 && TurnSubPhase != 2; ++i) Click({60, 580});
  ASSERT_EQ(TurnSubPhase, 2);
  ASSERT_NE(Here(), saved);
  const TurnPlace movedOn = Here();
  CVScene* const map = Scene();

  // The system menu's load button opens the load screen over the map; its quick tab shows the save.
  for (int i = 0; i < 600 && !(Map()->StateFlags() & CVMenuSLGMain::kCommandMenu); ++i) Click({60, 580});
  Click(ButtonCentre(Map(), 10013));
  ASSERT_TRUE(Map()->StateFlags() & CVMenuSLGMain::kSystemMenu);
  Click(ButtonCentre(Map(), 10011));
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 5);
  EXPECT_EQ(GameMode, game_mode::kFrontScreen);
  auto* load = dynamic_cast<CVMenuSAVE*>(CurrentMenu());
  ASSERT_NE(load, nullptr);
  Click(ButtonCentre(load, CVMenuSAVE::kFirstTab + CVMenuSAVE::kQuickPage));
  ASSERT_EQ(load->CurrentPage(), CVMenuSAVE::kQuickPage);
  ASSERT_TRUE(load->IsSlotValid(kQuickSlotBase));
  // The row is pressed and released; the load acts on the update after the release and the screen
  // goes back to the map beneath it.
  const Pt row = ButtonCentre(load, CVMenuSAVE::kFirstRow);
  driver_->SetPointer(row.x, row.y);
  driver_->Ticks(2);
  driver_->SetButton(VK_LBUTTON, true);
  driver_->Ticks(2);
  driver_->SetButton(VK_LBUTTON, false);
  for (int i = 0; i < 10 && GetSceneMgr().GetCurrentSceneId() != 3; ++i) driver_->Tick();

  // Back on the same map at the saved turn: the turn words and the whole world as saved.
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 3);
  EXPECT_EQ(GetSceneMgr().GetCurrentScene(), map) << "the map the screen was opened over";
  EXPECT_EQ(GameMode, game_mode::kSlg);
  EXPECT_EQ(Here(), saved);
  EXPECT_NE(Here(), movedOn);
  // The turn goes on in the phase it was saved in: the player's military commands again.
  for (int i = 0; i < 600 && !PlayerCommandsOpen(); ++i) Click({60, 580});
  EXPECT_TRUE(PlayerCommandsOpen());
  EXPECT_EQ(TurnSubPhase, 1);
  EXPECT_TRUE(boxes_.boxes.empty()) << (boxes_.boxes.empty() ? "" : boxes_.boxes.front().title);
}

// The system menu's title button asks; "はい" leaves the strategy game for the title.
TEST_F(FrontSlgRun, MapTitleButtonAnsweredYesReturnsToTheTitle) {
  ASSERT_NO_FATAL_FAILURE(PlayToMilitaryPhase());
  Click(ButtonCentre(Map(), 10013));
  ASSERT_TRUE(Map()->StateFlags() & CVMenuSLGMain::kSystemMenu);
  Click(ButtonCentre(Map(), 10013));
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 10);
  Click(ButtonCentre(GetSceneById(10)->FindMenu(0), 1));
  driver_->TicksUntil(60, [] { return GetSceneMgr().GetCurrentSceneId() == 1; });
  EXPECT_EQ(GetSceneMgr().GetCurrentSceneId(), 1) << "back on the title";
  EXPECT_NE(GameMode, game_mode::kSlg);
  EXPECT_TRUE(boxes_.boxes.empty()) << (boxes_.boxes.empty() ? "" : boxes_.boxes.front().title);
}

}  // namespace
