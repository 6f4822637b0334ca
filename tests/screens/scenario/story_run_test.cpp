// The sample story end to end through the headless frame driver: the title's story button, the
// interpreter stepped by the frame in game mode 0, the real scenario scene and message window on
// the sample layout, pictures, voices, a movie and the choices, clicked through like a player
// until the story hands over to the strategy game.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/frame_services.h"
#include "core/fixed_path.h"
#include "core/game_file.h"
#include "movie/movie_mgr.h"
#include "platform/gl/null_device.h"
#include "render/dg_manager.h"
#include "save/system_files.h"
#include "scenario/adv_presenter.h"
#include "scenario/interp/adv_step.h"
#include "scenario/script/adv_script.h"
#include "screens/front/front_scenes.h"
#include "screens/front/scene_title.h"
#include "screens/front/title_ports.h"
#include "screens/scenario/adv_ports.h"
#include "screens/scenario/scene_adv.h"
#include "sound/sound.h"
#include "tests/support/device_frame_graphics.h"
#include "tests/support/frame_driver.h"
#include "tests/support/game_data_folder.h"
#include "tests/support/screen_run.h"
#include "ui/menus/menu_mgr.h"
#include "ui/scenes/scene_frame_adapter.h"
#include "ui/scenes/scene_mgr.h"
#include "ui/widgets/menu_button.h"

namespace fs = std::filesystem;

namespace {

class StoryHooks : public FrameGameHooks {
 public:
  void UpdateSoundFades() override { ::UpdateSoundFades(); }
  void UpdateMovies() override { GetMovieMgr().UpdateMovies(); }
  bool MovieOwnsDisplay() override { return GetMovieMgr().BlocksDisplay(); }
  void StepAdvScript() override { ::StepAdvScript(); }
};

void EnsureScene() {
  CVScene* cur = GetSceneMgr().GetCurrentScene();
  if (!cur || cur->GetSceneId() != 2) GetSceneMgr().ChangeScene(2, 0);
}

class StoryRun : public ::testing::Test {
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
    SetAdvSceneEnsurer(&EnsureScene);
  }
  void TearDown() override {
    SetAdvSceneEnsurer(nullptr);
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
  }

  // The title menu, then its story button (docs/layouts.md: the first button of the area).
  void StartStory() {
    driver_->TicksUntil(300, [] {
      auto* t = dynamic_cast<CVSceneTitle*>(GetSceneById(1));
      return t && t->GetPhase() == CVSceneTitle::kPhaseMenu && t->GetStepValue() == 2;
    });
    Click(480 + 160, 320 + 32, 6);
  }
  static void ButtonCentre(CVMenuBase* root, int32_t id, int* x, int* y) {
    const ScreenPoint p = v4test::ButtonCentre(root, id);
    *x = p.x;
    *y = p.y;
  }

  void Click(int x, int y, int after = 2) { driver_->Click({x, y}, false, {2, 2, after}); }

  v4test::GameDataFolder folder_{"v4_story"};
  CDGManager* dg_ = nullptr;
  SceneFrameAdapter scenes_;
  StoryHooks hooks_;
  std::unique_ptr<v4test::DeviceFrameGraphics> graphics_;
  std::unique_ptr<FrameDriver> driver_;
};

TEST_F(StoryRun, FromTheStoryButtonThroughTheChoicesToTheStrategyHandOver) {
  // The title menu, then its story button (docs/layouts.md: the first button of the area).
  for (int i = 0; i < 300; ++i) {
    auto* t = dynamic_cast<CVSceneTitle*>(GetSceneById(1));
    if (t && t->GetPhase() == CVSceneTitle::kPhaseMenu && t->GetStepValue() == 2) break;
    driver_->Tick();
  }
  Click(480 + 160, 320 + 70 * 0 + 32, 6);
  ASSERT_EQ(GameMode, 0);

  int choices = 0, messages = 0, pictures = 0;
  bool sawVoice = false;
  for (int i = 0; i < 6000 && GameMode == 0; ++i) {
    auto* s = dynamic_cast<CVSceneADV*>(GetSceneById(2));
    CVMenuADV* w = s ? s->Window() : nullptr;
    if (!w || GetSceneMgr().GetCurrentSceneId() != 2) {
      driver_->Tick();
      continue;
    }
    pictures = std::max(pictures, static_cast<int>(w->LayerCount()));
    sawVoice = sawVoice || IsChannelPlaying(kSoundChannelVoice);
    if (w->Bit(CVMenuADV::kWsChoice)) {
      // The first choice, where the sample layout puts it for this many choices.
      const int n = w->ChoiceCount();
      driver_->Ticks(3);
      Click(640, 360 - n * 40 + 28);
      ++choices;
    } else if (s->WaitAdvance() || s->IsMoviePlaying()) {
      Click(640, 200);  // empty screen: completes the page, then advances
      ++messages;
    } else {
      driver_->Tick();
    }
  }
  EXPECT_EQ(GameMode, 11) << "the story hands over to the strategy game";
  EXPECT_EQ(ReturnToSlgFlag, 1);
  EXPECT_GE(choices, 2);
  EXPECT_GE(messages, 20);
  EXPECT_GE(pictures, 2) << "a background and characters were shown";
  EXPECT_GT(GetAdvScript().GetBacklogCount(), 10u);
  (void)sawVoice;
}

// The title's "第二幕から" (switch 0 = 1, the number the strategy game's new-turn event also uses)
// plays the story's second act, with its choice, and hands over to the strategy game; it is not the
// one-line new-turn event.
TEST_F(StoryRun, SecondActButtonPlaysTheSecondActIntoTheStrategyGame) {
  driver_->TicksUntil(300, [] {
    auto* t = dynamic_cast<CVSceneTitle*>(GetSceneById(1));
    return t && t->GetPhase() == CVSceneTitle::kPhaseMenu && t->GetStepValue() == 2;
  });
  Click(480 + 160, 320 + 70 * 1 + 32, 6);
  ASSERT_EQ(GameMode, 0);
  int choices = 0;
  std::vector<std::string> pages;
  for (int i = 0; i < 6000 && GameMode == 0; ++i) {
    auto* s = dynamic_cast<CVSceneADV*>(GetSceneById(2));
    CVMenuADV* w = s ? s->Window() : nullptr;
    if (!w || GetSceneMgr().GetCurrentSceneId() != 2) {
      driver_->Tick();
      continue;
    }
    if (w->Bit(CVMenuADV::kWsChoice)) {
      driver_->Ticks(3);
      Click(640, 360 - w->ChoiceCount() * 40 + 28);
      ++choices;
    } else if (s->WaitAdvance() && !w->IsMessageBusy()) {
      if (pages.empty() || pages.back() != w->PageText()) pages.emplace_back(w->PageText());
      Click(640, 200);
    } else if (s->WaitAdvance() || s->IsMoviePlaying()) {
      Click(640, 200);
    } else {
      driver_->Tick();
    }
  }
  EXPECT_EQ(GameMode, 11) << "the act hands over to the strategy game";
  EXPECT_GE(choices, 1) << "the council's choice";
  ASSERT_GE(pages.size(), 12u);
  bool news = false;
  for (const std::string& p : pages) news = news || p.find("鷲尾家が倒れました") != std::string::npos;
  EXPECT_TRUE(news) << "the act's own story";
  EXPECT_NE(pages.front().find("第二幕"), std::string::npos) << "the act opens with its title";
  for (const std::string& p : pages) EXPECT_EQ(p.find("にございます。雪が"), std::string::npos) << "not a season line";
}

TEST_F(StoryRun, QuickSaveMidMessageWithPicturesThenLoadResumesThere) {
  for (int i = 0; i < 300; ++i) {
    auto* t = dynamic_cast<CVSceneTitle*>(GetSceneById(1));
    if (t && t->GetPhase() == CVSceneTitle::kPhaseMenu && t->GetStepValue() == 2) break;
    driver_->Tick();
  }
  Click(480 + 160, 320 + 32, 6);
  ASSERT_EQ(GameMode, 0);
  // Play until a message waits with a standing picture and a sprite on screen and nothing moving.
  CVSceneADV* s = nullptr;
  CVMenuADV* w = nullptr;
  bool found = false;
  for (int i = 0; i < 6000 && GameMode == 0 && !found; ++i) {
    s = dynamic_cast<CVSceneADV*>(GetSceneById(2));
    w = s ? s->Window() : nullptr;
    if (!w || GetSceneMgr().GetCurrentSceneId() != 2) {
      driver_->Tick();
      continue;
    }
    if (w->Bit(CVMenuADV::kWsChoice)) {
      driver_->Ticks(3);
      Click(640, 360 - w->ChoiceCount() * 40 + 28);
    } else if (s->WaitAdvance() && !w->IsMessageBusy() && !s->IsCharMoving() && !s->IsSpriteAnimating() &&
               !s->IsPageSwapping() && w->Layer(adv::LayerKind::kSprite, 1) && w->Layer(adv::LayerKind::kChar, 0)) {
      found = true;
    } else if (s->WaitAdvance() || s->IsMoviePlaying()) {
      Click(640, 200);
    } else {
      driver_->Tick();
    }
  }
  ASSERT_TRUE(found) << "the sample story shows a character and a sprite together";
  const std::vector<uint8_t> pictures = w->SaveState();
  const int32_t readId = w->ReadId();
  const std::string page = w->PageText();
  const FixedPath path((std::string(GetModuleDir()) + "SaveData\\01\\adv.dat").c_str());
  ASSERT_TRUE(GetAdvScript().SaveAdvData(path));

  // The story goes on a few messages, then the saved game is loaded.
  for (int n = 0; n < 4 && GameMode == 0;) {
    if (w->Bit(CVMenuADV::kWsChoice)) {
      driver_->Ticks(3);
      Click(640, 360 - w->ChoiceCount() * 40 + 28);
    } else if (s->WaitAdvance()) {
      Click(640, 200);
      ++n;
    } else {
      driver_->Tick();
    }
  }
  ASSERT_NE(w->ReadId(), readId);
  ASSERT_TRUE(GetAdvScript().LoadAdvData(path));
  GameMode = 0;
  driver_->Ticks(30);
  ASSERT_EQ(dynamic_cast<CVSceneADV*>(GetSceneById(2)), s);
  EXPECT_EQ(w->ReadId(), readId) << "resumes at the saved message";
  EXPECT_EQ(std::string(w->PageText()), page);
  EXPECT_EQ(w->SaveState(), pictures) << "the same pictures, places and sprite";
  EXPECT_TRUE(s->WaitAdvance());
}

// The message window's title button asks (the dialog scene over the story, which keeps running
// beneath it); "はい" goes back to the title and the story stops, "いいえ" goes on with the story.
TEST_F(StoryRun, TitleButtonAnsweredYesReturnsToTheTitle) {
  StartStory();
  ASSERT_EQ(GameMode, 0);
  CVSceneADV* s = nullptr;
  for (int i = 0; i < 2000 && !(s && s->WaitAdvance()); ++i) {
    s = GetSceneMgr().GetCurrentSceneId() == 2 ? dynamic_cast<CVSceneADV*>(GetSceneById(2)) : nullptr;
    if (!(s && s->WaitAdvance())) driver_->Tick();
  }
  ASSERT_TRUE(s && s->WaitAdvance()) << "the story shows a message";
  int x = 0, y = 0;
  ButtonCentre(s->Window(), CVMenuADV::kBtnTitle, &x, &y);
  ASSERT_GE(x, 0);
  struct Case {
    int32_t answer;  // the dialog's button: 1 はい, 2 いいえ
    bool toTitle;
  };
  for (const Case c : {Case{2, false}, Case{1, true}}) {
    SCOPED_TRACE(c.toTitle ? "yes" : "no");
    Click(x, y, 6);
    ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 10) << "the question is open";
    int ax = 0, ay = 0;
    ButtonCentre(GetSceneById(10)->FindMenu(0), c.answer, &ax, &ay);
    ASSERT_GE(ax, 0);
    const int64_t readId = s->Window()->ReadId();
    Click(ax, ay, 2);
    for (int i = 0; i < 60 && GetSceneMgr().GetCurrentSceneId() == 10; ++i) driver_->Tick();
    driver_->Ticks(10);
    if (!c.toTitle) {
      EXPECT_EQ(GetSceneMgr().GetCurrentSceneId(), 2);
      EXPECT_EQ(GameMode, 0);
      EXPECT_EQ(s->Window()->ReadId(), readId) << "the answer is not a click on the message";
      continue;
    }
    EXPECT_EQ(GetSceneMgr().GetCurrentSceneId(), 1) << "back on the title";
    EXPECT_NE(GameMode, 0) << "the story script no longer runs";
  }
}

}  // namespace
