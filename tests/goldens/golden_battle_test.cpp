// Golden pictures of the battle screen as the player meets it, drawn by the real battle scene on
// real GL (offscreen) through the frame driver: the deployment screen with the formation buttons
// and the unit panels over the 3-D field, and the first order with the duel panel shown.
// Re-record after a meant change: V4_GOLDEN_UPDATE=1 ctest -R golden_battle (see docs/design.md).
#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <vector>

#include "battle/battle_orders.h"
#include "battle/battle_run.h"
#include "core/app_state.h"
#include "core/frame_services.h"
#include "core/frame_wait.h"
#include "core/game_file.h"
#include "core/game_rand.h"
#include "core/step_machine.h"
#include "render/dg_manager.h"
#include "screens/battle/scene_kassen.h"
#include "tests/battle/battle_fixture.h"
#include "tests/support/device_frame_graphics.h"
#include "tests/support/frame_driver.h"
#include "tests/support/game_data_folder.h"
#include "tests/support/golden.h"
#include "tests/support/screen_run.h"
#include "ui/menus/menu_mgr.h"
#include "ui/scenes/scene_frame_adapter.h"
#include "ui/scenes/scene_mgr.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/widget_model.h"
#include "world/world_ports.h"

namespace fs = std::filesystem;

namespace {

int g_target = -1;
bool g_battleDone = false;

// Game mode 11 runs the war phase's battle step as the turn loop would.
class BattleHooks : public FrameGameHooks {
 public:
  void RunTurnLoop() override {
    if (g_battleDone || g_FrameWaitCounter.load() > 0) return;
    StepPush();
    Battle().BattleRun(g_target);
    g_battleDone = StepPop();
  }
};

class GoldenBattle : public BattleWorldTest {
 protected:
  void SetUp() override {
    BattleWorldTest::SetUp();
    ASSERT_TRUE(fs::exists(fs::path(V4_TEST_GAME_DIR) / "Data" / "layout" / "kassen.lay"))
        << "build the sample data first";
    ASSERT_TRUE(folder_.Ready()) << "no temporary game folder";
    dg_ = new CDGManager();
    graphics_ = std::make_unique<v4test::DeviceFrameGraphics>(dg_);
    driver_ = std::make_unique<FrameDriver>(&scenes_, &hooks_, graphics_.get());
    haveGl_ = v4test::StartGlDevice(*driver_, dg_);
    if (!haveGl_) return;
    InstallRenderMenuModels();
    GetMenuMgr().Init(GetModuleDir());
    GetSceneMgr().Reset();
    ASSERT_TRUE(InitSceneSystem());
    RegisterBattleScenes(GetSceneMgr());
    // A plain scene stands for the strategy map the battle is pushed over.
    GetSceneMgr().SetSceneFactory(1, [](int32_t id) -> CVScene* { return new CVScene(-1, id); });
    ASSERT_TRUE(GetSceneMgr().ChangeScene(1, 0));
  }
  void TearDown() override {
    GetSceneMgr().Reset();
    GetMenuMgr().DeleteAllRoots();
    SetDGManager(nullptr);
    if (dg_) dg_->Release();
    driver_.reset();
    GameMode = 1;
    BattleWorldTest::TearDown();
  }

  CVSceneKassen* Scene() { return dynamic_cast<CVSceneKassen*>(GetSceneMgr().GetCurrentScene()); }

  bool ClickButton(int id) {
    CVScene* scene = GetSceneMgr().GetCurrentScene();
    CVMenuBase* menu = scene ? scene->FindMenu(0) : nullptr;
    CVMenuBtn* b = menu ? menu->FindButtonById(id) : nullptr;
    if (!b || !b->TestFlag(kWfShown) || b->TestFlag(kWfNoHit)) return false;
    driver_->Click(v4test::ButtonCentre(menu, id), false, {1, 1, 2});
    return true;
  }
  bool ClickCommand(std::initializer_list<int> codes) {
    for (int code : codes)
      for (int i = 0; i < kKassenCommandButtons; ++i)
        if (Scene()->ResultOfHit(300 + i) == code && ClickButton(300 + i)) return true;
    return false;
  }

  // The player's deployment: a formation, his commander and units onto the lanes, the question
  // answered yes.
  void Deploy() {
    if (GetSceneMgr().GetCurrentSceneId() == 10) {
      if (!ClickButton(1)) driver_->Ticks(1);
      return;
    }
    CVSceneKassen* scene = Scene();
    if (!scene || scene->IsActionPlaying()) {
      driver_->Ticks(1);
      return;
    }
    const BattleSide& side = g_Battle.sides[0];
    switch (scene->GetPhase()) {
      case 5:
        if (ClickCommand({10, 13, 14})) return;
        break;
      case 8:
        for (int i = 0; i < kBattleUnits; ++i)
          if (side.units[i].general != kNoUnitGeneral && ClickButton(2000 + i)) return;
        break;
      case 7: {
        const int cmd = CommanderUnit(0);
        if (cmd >= 0 && side.units[cmd].lane == kNoLane && ClickButton(2000 + cmd)) return;
        for (int i = 0; i < kBattleUnits; ++i)
          if (side.units[i].general != kNoUnitGeneral && side.units[i].lane == kNoLane && side.units[i].soldiers > 0 &&
              ClickButton(2000 + i))
            return;
        break;
      }
      default:
        break;
    }
    driver_->Ticks(1);
  }

  ::testing::AssertionResult Golden(const std::string& name) {
    std::vector<uint8_t> px;
    if (!dg_->Device()->ReadBackBuffer(plat::Rect{0, 0, 1280, 720}, &px))
      return ::testing::AssertionFailure() << "no back buffer";
    return v4test::MatchesGolden(name, 1280, 720, px);
  }

  bool haveGl_ = false;
  RulesBattlePort rulesPort_;
  v4test::GameDataFolder folder_{"v4_golden_kassen"};
  CDGManager* dg_ = nullptr;
  SceneFrameAdapter scenes_;
  BattleHooks hooks_;
  std::unique_ptr<v4test::DeviceFrameGraphics> graphics_;
  std::unique_ptr<FrameDriver> driver_;
};

TEST_F(GoldenBattle, DeploymentAndTheFirstOrder) {
  if (!haveGl_) GTEST_SKIP() << "no GL 3.3 context";
  Build({25, 25, 20}, {40, 40, 30});
  PlayerDaimyoId = static_cast<uint8_t>(clanA);
  SetBattlePort(&rulesPort_);
  SetBattleScreenPort(&GetKassenScreenPort());
  SetGameRandState(5);
  StepReset();
  g_target = target;
  g_battleDone = false;
  GameMode = game_mode::kSlg;
  driver_->SetPointer(640, 700);
  for (int i = 0; i < 3000 && !(Scene() && Scene()->GetPhase() == 5); ++i) driver_->Ticks(1);
  ASSERT_TRUE(Scene() && Scene()->GetPhase() == 5) << "the formation is asked";
  driver_->Ticks(30);
  EXPECT_TRUE(Golden("battle_deployment"));

  for (int i = 0; i < 3000 && !(Scene() && Scene()->GetPhase() == 12); ++i) Deploy();
  ASSERT_TRUE(Scene() && Scene()->GetPhase() == 12) << "the first order is asked";
  for (int i = 0; i < 3000 && Scene()->IsActionPlaying(); ++i) driver_->Ticks(1);
  driver_->SetPointer(640, 700);
  driver_->Ticks(30);
  ASSERT_TRUE(Scene()->DuelPanel(0)->TestFlag(kWfShown));
  EXPECT_TRUE(Golden("battle_first_order"));
}

}  // namespace
