// The story and the tutorial with the screens the message window opens, through the headless frame
// driver on the built sample data and the program's own scenario wiring: save, load and settings
// opened at a choice, questions answered over the message window, and a tutorial chapter saved,
// loaded from the title and played to its end.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "core/app_state.h"
#include "core/frame_services.h"
#include "core/game_file.h"
#include "movie/movie_mgr.h"
#include "platform/gl/null_device.h"
#include "render/dg_manager.h"
#include "save/system_files.h"
#include "scenario/interp/adv_step.h"
#include "scenario/script/adv_script.h"
#include "screens/front/front_scenes.h"
#include "screens/front/scene_title.h"
#include "screens/front/title_ports.h"
#include "screens/scenario/adv_ports.h"
#include "screens/scenario/menu_adv.h"
#include "screens/scenario/scene_adv.h"
#include "shell/adv_wiring.h"
#include "sound/sound.h"
#include "tests/support/device_frame_graphics.h"
#include "tests/support/frame_driver.h"
#include "tests/support/game_data_folder.h"
#include "tests/support/screen_run.h"
#include "ui/menus/menu_mgr.h"
#include "ui/scenes/scene_frame_adapter.h"
#include "ui/scenes/scene_mgr.h"

namespace fs = std::filesystem;

namespace {

class StoryHooks : public FrameGameHooks {
 public:
  void UpdateSoundFades() override { ::UpdateSoundFades(); }
  void UpdateMovies() override { GetMovieMgr().UpdateMovies(); }
  bool MovieOwnsDisplay() override { return GetMovieMgr().BlocksDisplay(); }
  void StepAdvScript() override { ::StepAdvScript(); }
};

using Pt = ScreenPoint;
// The title's right column (tutorial, load, settings) and the rows of the save and load screens,
// as the sample layouts place them (docs/layouts.md).
Pt RightColumnButton(int32_t id) { return {480 + 400 + 160, 320 + 70 * (id - CVSceneTitle::kTutorial) + 32}; }
Pt SaveRow(int r) { return {190 + 450, 166 + 44 * r + 20}; }
// "はい" (1) and "いいえ" (2) of the centred question panel.
Pt DialogButton(int32_t answer) { return {340 + (answer == 1 ? 110 : 330) + 80, 230 + 180 + 24}; }

class StoryScreensRun : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path data = fs::path(V4_TEST_GAME_DIR) / "Data";
    ASSERT_TRUE(fs::exists(data / "layout" / "adv.lay")) << "build the sample data first";
    ASSERT_TRUE(folder_.Ready()) << "no temporary game folder";
    LoadSystemData();
    InitSound();
    GetMovieMgr().Init();
    GetMovieMgr().SetWaitForDecoder(true);
    ResetTitlePorts();
    ResetAdvPorts();
    ShowOpeningFlag = 0;
    dg_ = new CDGManager();
    v4test::StartNullDevice(dg_);
    graphics_ = std::make_unique<v4test::DeviceFrameGraphics>(dg_);
    driver_ = std::make_unique<FrameDriver>(&scenes_, &hooks_, graphics_.get());
    GetMenuMgr().Init(GetModuleDir());
    CVSceneMgr& mgr = GetSceneMgr();
    mgr.Reset();
    ASSERT_TRUE(InitSceneSystem());
    RegisterFrontScenes(mgr);
    RegisterScenarioScenes(mgr);
    InstallScenarioEngine();
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
    GetAdvScript().ClearBacklog();
    ReturnToSlgFlag = 0;
    ShowOpeningFlag = 1;
    GameMode = 1;
    GetMenuMgr().SetDepthBound(0);
  }

  void Click(Pt p, bool right = false, int after = 4) { driver_->Click(p, right, {2, 2, after}); }
  int Current() { return GetSceneMgr().GetCurrentSceneId(); }
  bool TicksUntil(int budget, const std::function<bool()>& done) { return driver_->TicksUntil(budget, done); }

  CVSceneADV* Story() { return Current() == 2 ? dynamic_cast<CVSceneADV*>(GetSceneById(2)) : nullptr; }
  CVMenuADV* Window() { return Story() ? Story()->Window() : nullptr; }

  bool AtTitleMenu() {
    auto* t = dynamic_cast<CVSceneTitle*>(GetSceneById(1));
    return Current() == 1 && t && t->GetPhase() == CVSceneTitle::kPhaseMenu && t->GetStepValue() == 2;
  }

  // The title menu, then its story button.
  void StartStory() {
    ASSERT_TRUE(TicksUntil(400, [&] { return AtTitleMenu(); }));
    Click({480 + 160, 320 + 32}, false, 6);
    ASSERT_EQ(GameMode, game_mode::kMainScript);
  }

  // A message the player may advance or a choice whose buttons take clicks, with nothing moving.
  bool Settled() {
    CVSceneADV* s = Story();
    CVMenuADV* w = Window();
    if (!w || w->IsMessageBusy() || s->IsCharMoving() || s->IsPageSwapping() || s->IsSpriteAnimating()) return false;
    return w->Bit(CVMenuADV::kWsChoice) || s->WaitAdvance();
  }

  // Clicks through the messages until a choice shows and takes clicks; false when none came.
  bool PlayToChoice(int budget = 6000) {
    for (int i = 0; i < budget && (GameMode == game_mode::kMainScript || GameMode == game_mode::kOtherScript); ++i) {
      CVSceneADV* s = Story();
      CVMenuADV* w = Window();
      if (w && w->Bit(CVMenuADV::kWsChoice)) {
        driver_->Ticks(20);
        return true;
      }
      if (s && (s->WaitAdvance() || s->IsMoviePlaying()))
        Click({640, 200}, false, 2);
      else
        driver_->Tick();
    }
    return false;
  }

  // The first choice, where the sample layout puts it for this many choices.
  void ClickFirstChoice() { Click({640, 360 - Window()->ChoiceCount() * 40 + 28}, false, 2); }

  // A message button of the window.
  void ClickWindowButton(int32_t id) { Click(v4test::ButtonCentre(Window(), id), false, 6); }

  v4test::GameDataFolder folder_{"v4_story_screens"};
  CDGManager* dg_ = nullptr;
  SceneFrameAdapter scenes_;
  StoryHooks hooks_;
  std::unique_ptr<v4test::DeviceFrameGraphics> graphics_;
  std::unique_ptr<FrameDriver> driver_;
};

// The save, load and settings screens opened at a choice and left with a right click: the same
// choice waits, at the same place of the script, and the first choice then goes on from it.
TEST_F(StoryScreensRun, ScreensOpenedAtAChoiceReturnToTheSameChoice) {
  ASSERT_NO_FATAL_FAILURE(StartStory());
  ASSERT_TRUE(PlayToChoice());
  AdvScript& script = GetAdvScript();
  const int32_t readId = Window()->ReadId();
  const int32_t choices = Window()->ChoiceCount();
  const uint32_t pc = script.pc;
  const uint32_t savePoint = script.savePointMessage;
  const std::vector<uint8_t> pictures = Window()->SaveState();
  struct Case {
    int32_t button, scene;
  };
  for (const Case c : {Case{CVMenuADV::kBtnSave, 4}, Case{CVMenuADV::kBtnSettings, 6}, Case{CVMenuADV::kBtnLoad, 5}}) {
    SCOPED_TRACE(c.scene);
    ClickWindowButton(c.button);
    ASSERT_TRUE(TicksUntil(20, [&] { return Current() == c.scene; }));
    driver_->Ticks(10);
    Click({640, 700}, true);
    ASSERT_TRUE(TicksUntil(20, [&] { return Current() == 2; }));
    driver_->Ticks(30);
    ASSERT_NE(Window(), nullptr);
    EXPECT_EQ(GameMode, game_mode::kMainScript);
    EXPECT_TRUE(Window()->Bit(CVMenuADV::kWsChoice)) << "the choice still waits";
    EXPECT_EQ(Window()->ChoiceCount(), choices);
    EXPECT_EQ(Window()->ReadId(), readId);
    EXPECT_EQ(script.pc, pc) << "the script did not move";
    EXPECT_EQ(script.savePointMessage, savePoint);
    EXPECT_EQ(Window()->SaveState(), pictures);
  }
  ClickFirstChoice();
  driver_->Ticks(10);
  EXPECT_FALSE(Window() && Window()->Bit(CVMenuADV::kWsChoice));
  EXPECT_NE(script.pc, pc) << "the choice took the story on";
}

// A save made at a choice, loaded later from the message window's load button: the choice's
// buttons are back at once, without a click.
TEST_F(StoryScreensRun, ASaveMadeAtAChoiceLoadsWithItsChoice) {
  ASSERT_NO_FATAL_FAILURE(StartStory());
  ASSERT_TRUE(PlayToChoice());
  const int32_t readId = Window()->ReadId();
  const int32_t choices = Window()->ChoiceCount();
  ClickWindowButton(CVMenuADV::kBtnSave);
  ASSERT_TRUE(TicksUntil(20, [&] { return Current() == 4; }));
  driver_->Ticks(10);
  Click(SaveRow(0));
  Click({640, 700}, true);
  ASSERT_TRUE(TicksUntil(20, [&] { return Current() == 2; }));
  driver_->Ticks(10);
  ClickFirstChoice();
  for (int n = 0; n < 3;) {
    if (Story() && Story()->WaitAdvance()) {
      Click({640, 200}, false, 2);
      ++n;
    } else {
      driver_->Tick();
    }
  }
  ASSERT_NE(Window()->ReadId(), readId) << "the story went on";
  ClickWindowButton(CVMenuADV::kBtnLoad);
  ASSERT_TRUE(TicksUntil(20, [&] { return Current() == 5; }));
  driver_->Ticks(10);
  Click(SaveRow(0), false, 2);
  ASSERT_TRUE(TicksUntil(20, [&] { return Current() == 2; }));
  ASSERT_TRUE(TicksUntil(60, [&] { return Window() && Window()->Bit(CVMenuADV::kWsChoice); }))
      << "the choice is back without a click";
  EXPECT_EQ(Window()->ChoiceCount(), choices);
  EXPECT_EQ(Window()->ReadId(), readId);
}

// A question over the message window (the quick save's) takes the clicks that answer it:
// neither the answer nor a right click reaches the window beneath, whose message stays and stays
// shown.
TEST_F(StoryScreensRun, AQuestionOverTheMessageWindowKeepsItsClicks) {
  ASSERT_NO_FATAL_FAILURE(StartStory());
  ASSERT_TRUE(TicksUntil(3000, [&] { return Settled() && !Window()->Bit(CVMenuADV::kWsChoice); }));
  const int32_t readId = Window()->ReadId();
  struct Case {
    int32_t button;
    bool right;
    int32_t answer;
  };
  for (const Case c : {Case{CVMenuADV::kBtnQuickSave, false, 1}, Case{CVMenuADV::kBtnQuickSave, false, 2},
                       Case{CVMenuADV::kBtnQuickSave, true, 0}}) {
    SCOPED_TRACE(c.right ? "right click" : (c.answer == 1 ? "yes" : "no"));
    ClickWindowButton(c.button);
    ASSERT_EQ(Current(), 10) << "the question is open";
    driver_->Ticks(10);
    Click(c.right ? Pt{640, 200} : DialogButton(c.answer), c.right, 2);
    ASSERT_TRUE(TicksUntil(60, [&] { return Current() == 2; }));
    driver_->Ticks(20);
    EXPECT_EQ(Window()->ReadId(), readId) << "the message did not advance";
    EXPECT_FALSE(Window()->Bit(CVMenuADV::kWsHidden)) << "the window was not hidden";
    EXPECT_TRUE(Story()->WaitAdvance());
  }
  // The window itself still takes its clicks.
  Click({640, 200}, false, 2);
  driver_->Ticks(60);
  EXPECT_NE(Window()->ReadId(), readId);
}

// A tutorial chapter saved from its message window and loaded from the title plays to its end and
// leaves the scenario scene for a screen that takes input.
TEST_F(StoryScreensRun, ATutorialSaveLoadedFromTheTitlePlaysToItsEndAndLeaves) {
  ASSERT_TRUE(TicksUntil(400, [&] { return AtTitleMenu(); }));
  Click(RightColumnButton(CVSceneTitle::kTutorial), false, 6);
  ASSERT_EQ(Current(), 12);
  Click({310 + 460 + 100, 160 + 24}, false, 6);  // chapter 2
  ASSERT_EQ(GameMode, game_mode::kOtherScript);
  ASSERT_TRUE(TicksUntil(3000, [&] { return Settled(); }));
  ClickWindowButton(CVMenuADV::kBtnSave);
  ASSERT_TRUE(TicksUntil(20, [&] { return Current() == 4; }));
  driver_->Ticks(10);
  Click(SaveRow(1));
  Click({640, 700}, true);
  ASSERT_TRUE(TicksUntil(20, [&] { return Current() == 2; }));
  // Back to the title (its question answered yes), then the load screen there.
  driver_->Ticks(10);
  ClickWindowButton(CVMenuADV::kBtnTitle);
  ASSERT_EQ(Current(), 10);
  driver_->Ticks(10);
  Click(DialogButton(1), false, 2);
  ASSERT_TRUE(TicksUntil(400, [&] { return AtTitleMenu(); }));
  Click(RightColumnButton(CVSceneTitle::kLoad), false, 6);
  ASSERT_EQ(Current(), 5);
  driver_->Ticks(10);
  Click(SaveRow(1), false, 2);
  ASSERT_TRUE(TicksUntil(20, [&] { return Current() == 2; }));
  EXPECT_EQ(GameMode, game_mode::kOtherScript);
  // The chapter to its end, clicking its messages and first choices.
  bool ended = false;
  for (int i = 0; i < 8000 && !ended; ++i) {
    CVMenuADV* w = Window();
    if (!w) {
      ended = GameMode != game_mode::kOtherScript;
      driver_->Tick();
    } else if (w->Bit(CVMenuADV::kWsChoice)) {
      driver_->Ticks(20);
      ClickFirstChoice();
    } else if (Story()->WaitAdvance() || Story()->IsMoviePlaying()) {
      Click({640, 200}, false, 2);
    } else {
      driver_->Tick();
      ended = GameMode != game_mode::kOtherScript;
    }
  }
  ASSERT_TRUE(ended) << "the chapter ended";
  ASSERT_TRUE(TicksUntil(400, [&] { return Current() != 2 && (Current() != 1 || AtTitleMenu()); }))
      << "the scenario scene was left; scene " << Current() << ", game mode " << GameMode;
  // The screen it left for takes input: the title's tutorial button, or the tutorial's back click.
  if (Current() == 1) {
    Click(RightColumnButton(CVSceneTitle::kTutorial), false, 6);
    EXPECT_EQ(Current(), 12);
  } else {
    EXPECT_EQ(Current(), 12);
    Click({640, 360}, true);
    EXPECT_EQ(Current(), 1);
  }
}

}  // namespace
