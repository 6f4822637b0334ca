// The title on the built sample data through the headless frame driver: the real scene table,
// layouts, pictures, music, opening movie, script set and save files; only the clock, the input
// and (except in the pixel test) the drawing device are not the real ones.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/game_file.h"
#include "movie/movie_mgr.h"
#include "save/save_slot.h"
#include "world/scenario_tables.h"
#include "world/turn/turn_loop.h"
#include "world/world_tables.h"
#include "save/system_files.h"
#include "core/frame_services.h"
#include "sound/sound.h"
#include "screens/front/cover_backdrop.h"
#include "screens/front/front_scenes.h"
#include "screens/front/scene_title.h"
#include "screens/front/title_ports.h"
#include "platform/gl/null_device.h"
#include "platform/image/png_file.h"
#include "render/board_renderer.h"
#include "render/dg_manager.h"
#include "render/dg_texture.h"
#include "render/effect/shader.h"
#include "render/sprite.h"
#include "render/texture_holder.h"
#include "ui/menus/menu_factory.h"
#include "ui/menus/menu_root.h"
#include "ui/widgets/menu_window.h"
#include "scenario/interp/adv_step.h"
#include "scenario/interp/adv_text_run.h"
#include "scenario/script/adv_script.h"
#include "tests/support/device_frame_graphics.h"
#include "tests/support/frame_driver.h"
#include "tests/support/game_data_folder.h"
#include "tests/support/screen_run.h"
#include "ui/layout/layout_builder.h"
#include "ui/menus/menu_mgr.h"
#include "ui/scenes/scene_dlg.h"
#include "ui/scenes/scene_frame_adapter.h"
#include "ui/scenes/scene_mgr.h"
#include "ui/widgets/widget_base.h"
#include "ui/widgets/widget_shader.h"

namespace fs = std::filesystem;

namespace {

class MediaHooks : public FrameGameHooks {
 public:
  void UpdateSoundFades() override { ::UpdateSoundFades(); }
  void UpdateMovies() override { GetMovieMgr().UpdateMovies(); }
  bool MovieOwnsDisplay() override { return GetMovieMgr().BlocksDisplay(); }
  // The story steps by game mode, as in the program, when a test asks for it.
  void StepAdvScript() override {
    if (stepStory) ::StepAdvScript();
  }
  bool stepStory = false;
};

using Pt = ScreenPoint;
// Centres of the title's buttons as the sample layout places them (docs/layouts.md).
Pt TitleButton(int32_t id) {
  static const int32_t order[] = {10000, 10001, 10002, 10004, 10003};
  for (int i = 0; i < 5; ++i)
    if (order[i] == id) return {480 + 160, 320 + 70 * i + 32};
  return {0, 0};
}
// "はい" (1) and "いいえ" (2) of the centred dialog panel.
Pt DialogButton(int32_t answer) { return {340 + (answer == 1 ? 110 : 330) + 80, 230 + 180 + 24}; }

class TitleRun : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path data = fs::path(V4_TEST_GAME_DIR) / "Data";
    ASSERT_TRUE(fs::exists(data / "sys" / "scene.bin")) << "build the sample data first";
    ASSERT_TRUE(folder_.Ready()) << "no temporary game folder";  // saves go there, data is shared
    dir_ = folder_.Path();

    LoadSystemData();
    InitSound();
    StartSoundStreams();
    GetMovieMgr().Init();
    GetMovieMgr().SetWaitForDecoder(true);
    ResetTitlePorts();
    ShowOpeningFlag = 1;
    GameMode = 1;
  }

  // The recording null device.
  bool StartGraphics(bool) {
    dg_ = new CDGManager();
    return v4test::StartNullDevice(dg_);
  }

  void StartScenes() {
    GetMenuMgr().Init(GetModuleDir());
    CVSceneMgr& mgr = GetSceneMgr();
    mgr.Reset();
    ASSERT_TRUE(InitSceneSystem());
    RegisterFrontScenes(mgr);
  }

  void TearDown() override {
    // Widgets and the device go while the driver's GL context (if any) is still current.
    GetSceneMgr().Reset();
    GetMenuMgr().DeleteAllRoots();
    GetMovieMgr().CloseAll();
    if (dg_) {
      SetDGManager(nullptr);
      dg_->Release();
    }
    driver_.reset();
    StopSoundStreams();
    ShutdownSoundStreams();
    ReleaseSound();
    ResetTitlePorts();
    ShowOpeningFlag = 1;
    GameMode = 1;
    // A test that ends with a question open leaves the dialog's input bound raised.
    GetMenuMgr().SetDepthBound(0);
  }

  // The real GL device on the driver's offscreen window as the frame's graphics.
  bool StartGl() {
    dg_ = new CDGManager();
    graphics_ = std::make_unique<v4test::DeviceFrameGraphics>(dg_);
    return v4test::StartGlDevice(Driver(), dg_);
  }

  // The last drawn frame (RGBA, top row first); written to $V4_TITLE_DUMP_DIR/<name>.png when set.
  bool Grab(const char* name, std::vector<uint8_t>& px) {
    if (!dg_->Device()->ReadBackBuffer(plat::Rect{0, 0, 1280, 720}, &px)) return false;
    if (const char* dump = std::getenv("V4_TITLE_DUMP_DIR")) {
      plat::Canvas c(1280, 720);
      c.pixels() = px;
      plat::WriteCanvasPng(std::string(dump) + "/" + name + ".png", c, nullptr);
    }
    return true;
  }

  FrameDriver& Driver() {
    if (!driver_) driver_ = std::make_unique<FrameDriver>(&scenes_, &hooks_, graphics_.get());
    return *driver_;
  }

  CVSceneTitle* Title() { return dynamic_cast<CVSceneTitle*>(GetSceneById(1)); }

  bool RunUntil(int32_t phase, int32_t step = -1, int budget = 400) {
    for (int i = 0; i < budget; ++i) {
      CVSceneTitle* t = Title();
      if (t && GetSceneMgr().GetCurrentSceneId() == 1 && t->GetPhase() == phase &&
          (step < 0 || t->GetStepValue() == step))
        return true;
      Driver().Tick();
    }
    return false;
  }

  // A later title of the run (no logo, no movie) on the null device, run until its menu takes
  // buttons.
  ::testing::AssertionResult StartAtMenu() {
    if (!StartGraphics(false)) return ::testing::AssertionFailure() << "no drawing device";
    StartScenes();
    if (HasFatalFailure()) return ::testing::AssertionFailure() << "no scene system";
    ShowOpeningFlag = 0;
    if (!RunUntil(CVSceneTitle::kPhaseMenu, 2, 200)) return ::testing::AssertionFailure() << "the menu never opened";
    return ::testing::AssertionSuccess();
  }

  void Click(Pt p, bool right = false) { Driver().Click(p, right); }

  v4test::GameDataFolder folder_{"v4_title"};
  fs::path dir_;
  CDGManager* dg_ = nullptr;
  SceneFrameAdapter scenes_;
  MediaHooks hooks_;
  std::unique_ptr<v4test::DeviceFrameGraphics> graphics_;
  std::unique_ptr<FrameDriver> driver_;
};

TEST_F(TitleRun, FirstRunGoesLogoMovieMenuAndTakesButtonsOnlyInStep2) {
  ASSERT_TRUE(StartGraphics(false));
  StartScenes();
  Driver().Tick();
  ASSERT_NE(Title(), nullptr);
  EXPECT_EQ(Title()->GetPhase(), CVSceneTitle::kPhaseLogo);
  ASSERT_NE(Title()->MainPanel(), nullptr);
  ASSERT_NE(Title()->LogoWindow(), nullptr);
  ASSERT_NE(Title()->ButtonArea(), nullptr);
  ASSERT_NE(Title()->ThirdWindow(), nullptr);

  // The logo runs its whole animation (a first start: clicks do not skip it).
  Click({640, 360});
  EXPECT_EQ(Title()->GetPhase(), CVSceneTitle::kPhaseLogo);
  ASSERT_TRUE(RunUntil(CVSceneTitle::kPhaseMovie, -1, 300));
  EXPECT_TRUE(GetMovieMgr().BlocksDisplay());
  EXPECT_EQ(GetMovieMgr().OpenCount(), 1u);

  // The movie plays to its end, then the menu comes with the title music.
  int movieTicks = 0;
  while (Title()->GetPhase() == CVSceneTitle::kPhaseMovie && movieTicks < 1200) {
    Driver().Tick();
    ++movieTicks;
  }
  // The sample movie is 15 s long: it ends by itself, not at once.
  EXPECT_GT(movieTicks * 18, 14000);
  ASSERT_EQ(Title()->GetPhase(), CVSceneTitle::kPhaseMenu);
  EXPECT_FALSE(GetMovieMgr().BlocksDisplay());
  ASSERT_TRUE(RunUntil(CVSceneTitle::kPhaseMenu, 1, 5));
  EXPECT_TRUE(IsChannelFile(kSoundChannelBgm, "Data\\bgm\\M29.voi"));

  // Step 1: the strategy button does not count yet.
  Click(TitleButton(CVSceneTitle::kStrategy));
  EXPECT_EQ(GetSceneMgr().GetCurrentSceneId(), 1);
  EXPECT_NE(GameMode, 7);
  ASSERT_TRUE(RunUntil(CVSceneTitle::kPhaseMenu, 2, 100));
  Click(TitleButton(CVSceneTitle::kStrategy));
  EXPECT_EQ(GameMode, 7);
  EXPECT_EQ(GetSceneMgr().GetCurrentSceneId(), 3);
}

TEST_F(TitleRun, ClickDuringTheMovieEndsIt) {
  ASSERT_TRUE(StartGraphics(false));
  StartScenes();
  PlayRecordBlock.startCounter = 2;  // a second start: the logo may be clicked away too
  Driver().Tick();
  Click({640, 360});
  ASSERT_TRUE(RunUntil(CVSceneTitle::kPhaseMovie, -1, 10));
  Driver().Ticks(5);
  ASSERT_EQ(Title()->GetPhase(), CVSceneTitle::kPhaseMovie);
  Click({640, 360});
  EXPECT_EQ(Title()->GetPhase(), CVSceneTitle::kPhaseMenu);
  EXPECT_EQ(GetMovieMgr().OpenCount(), 0u);
  EXPECT_FALSE(GetMovieMgr().BlocksDisplay());
}

TEST_F(TitleRun, QuitQuestionNoStaysYesQuitsAndShutdownWritesTheSystemFiles) {
  ASSERT_TRUE(StartAtMenu());
  const fs::path sys = dir_ / "SaveData" / "sys";
  ASSERT_TRUE(fs::exists(sys / "sys.dat"));
  fs::remove(sys / "plc.dat");

  Click(TitleButton(CVSceneTitle::kQuit));
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 10);
  Click(DialogButton(2));
  Driver().Ticks(10);
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 1);
  EXPECT_FALSE(g_QuitRequested.load());
  EXPECT_EQ(Title()->GetPhase(), CVSceneTitle::kPhaseMenu);
  EXPECT_EQ(Title()->GetStepValue(), 2);

  Click(TitleButton(CVSceneTitle::kQuit));
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 10);
  Click(DialogButton(1));
  for (int i = 0; i < 20 && !g_QuitRequested.load(); ++i) Driver().Tick();
  ASSERT_TRUE(g_QuitRequested.load());
  // What the program's shutdown step for the system files does (src/app/shell/game_wiring.cpp).
  SaveSystemFiles();
  GetAdvScript().SaveSystemSwitches();
  EXPECT_EQ(fs::file_size(sys / "plc.dat"), static_cast<uintmax_t>(kPlcBytes));
  // sys.dat was made at start-up (settings with their defaults) and is still there.
  EXPECT_TRUE(fs::exists(sys / "sys.dat"));
}

TEST_F(TitleRun, SecondTitleOfTheRunSkipsLogoAndMovie) {
  ASSERT_TRUE(StartGraphics(false));
  StartScenes();
  PlayRecordBlock.startCounter = 2;
  Driver().Tick();
  Click({640, 360});
  ASSERT_TRUE(RunUntil(CVSceneTitle::kPhaseMovie, -1, 10));
  Click({640, 360});
  ASSERT_TRUE(RunUntil(CVSceneTitle::kPhaseMenu, 2, 200));
  Click(TitleButton(CVSceneTitle::kStrategy));
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 3);
  EXPECT_EQ(Title(), nullptr);  // the title is not resident

  // An ending goes back to the title: a new title, straight to the menu.
  ASSERT_TRUE(GetSceneMgr().ChangeScene(1, 0));
  ASSERT_NE(Title(), nullptr);
  EXPECT_EQ(Title()->GetPhase(), CVSceneTitle::kPhaseMenu);
  Driver().Ticks(3);
  EXPECT_EQ(GetMovieMgr().OpenCount(), 0u);
  EXPECT_TRUE(Title()->LogoWindow() && !Title()->LogoWindow()->TestFlag(kWfShown));
}

TEST_F(TitleRun, StoryButtonLoadsTheStorySet) {
  ASSERT_TRUE(StartAtMenu());
  Click(TitleButton(CVSceneTitle::kStorySecond));
  EXPECT_EQ(GameMode, 0);
  ASSERT_FALSE(GetAdvScript().switches.empty());
  EXPECT_EQ(GetAdvScript().switches[0], 1);
  EXPECT_EQ(GetSceneMgr().GetCurrentSceneId(), 2);
}

// The story button leads into the story: the frame steps the interpreter in game mode 0 on the
// scenario scene (here with a text presenter in place of the message window) until the story
// hands over to the strategy game.
TEST_F(TitleRun, StoryButtonRunsTheStoryUntilItHandsOver) {
  hooks_.stepStory = true;
  ASSERT_TRUE(StartAtMenu());
  AdvTextPresenter presenter({});
  SetAdvPresenter(&presenter);
  Click(TitleButton(CVSceneTitle::kStory));
  for (int i = 0; i < 200 && GameMode == 0; ++i) Driver().Tick();
  SetAdvPresenter(nullptr);
  EXPECT_EQ(GameMode, 11);
  EXPECT_EQ(ReturnToSlgFlag, 1);
  EXPECT_GE(presenter.messages, 30u);
  EXPECT_EQ(presenter.choiceCount, 2u);
  ReturnToSlgFlag = 0;
}

TEST_F(TitleRun, MenuIsDrawnWhereTheLayoutPutsIt) {
  ShowOpeningFlag = 0;
  if (!StartGl()) GTEST_SKIP() << "no GL 3.3 context";
  StartScenes();
  ASSERT_TRUE(RunUntil(CVSceneTitle::kPhaseMenu, 2, 200));
  Driver().Ticks(80);  // every opening animation has ended

  std::vector<uint8_t> px;
  ASSERT_TRUE(Grab("menu", px));
  auto at = [&](int x, int y, int c) { return static_cast<int>(px[(static_cast<size_t>(y) * 1280 + x) * 4 + c]); };
  // Inside the first button (button sheet pattern 0: dark blue, gold rim at its edge).
  const Pt b = TitleButton(CVSceneTitle::kStory);
  const int bx = b.x - 140, by = b.y;  // left part of the button, away from its label
  EXPECT_GT(at(bx, by, 2), at(bx, by, 0)) << "button body is bluish";
  // The rim: gold (red and green well above blue) on the button's left edge.
  int rim = 0;
  for (int x = 480; x < 492; ++x) rim += at(x, by, 0) > 120 && at(x, by, 1) > 90 && at(x, by, 2) < 110;
  EXPECT_GT(rim, 0);
  // The button area's frame reaches left of the buttons, the sky beyond it does not differ much.
  const int sky = at(200, by, 0) + at(200, by, 1) + at(200, by, 2);
  const int body = at(bx, by, 0) + at(bx, by, 1) + at(bx, by, 2);
  EXPECT_NE(sky, body);
}

TEST_F(TitleRun, LogoAndQuitQuestionAreDrawnInPlace) {
  PlayRecordBlock.startCounter = 2;
  if (!StartGl()) GTEST_SKIP() << "no GL 3.3 context";
  StartScenes();
  auto px = std::vector<uint8_t>();
  auto at = [&](int x, int y, int c) { return static_cast<int>(px[(static_cast<size_t>(y) * 1280 + x) * 4 + c]); };

  // The logo while it is fully faded in: black all round, the red mark of the emblem in the middle.
  Driver().Ticks(70);
  ASSERT_EQ(Title()->GetPhase(), CVSceneTitle::kPhaseLogo);
  ASSERT_TRUE(Grab("logo", px));
  EXPECT_LT(at(100, 100, 0) + at(100, 100, 1) + at(100, 100, 2), 10);
  EXPECT_GT(at(640, 330, 0), 120);  // the emblem's red disc: centre (384 + 256, 190 + 104), radius 52
  EXPECT_LT(at(640, 330, 1), 100);

  // The quit question: its panel centred (600 x 260 at 340, 230) with a gold rim.
  Click({640, 360});
  Click({640, 360});
  ASSERT_TRUE(RunUntil(CVSceneTitle::kPhaseMenu, 2, 200));
  Click(TitleButton(CVSceneTitle::kQuit));
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 10);
  Driver().Ticks(3);
  ASSERT_TRUE(Grab("quit", px));
  int rim = 0;
  for (int x = 336; x < 350; ++x) rim += at(x, 360, 0) > 150 && at(x, 360, 1) > 110 && at(x, 360, 2) < 140;
  EXPECT_GT(rim, 0) << "left rim of the dialog panel";
  // The question's text is drawn inside the panel's kind window (light pixels there).
  int light = 0;
  for (int y = 260; y < 360; ++y)
    for (int x = 380; x < 900; ++x) light += at(x, y, 0) > 200 && at(x, y, 1) > 200;
  EXPECT_GT(light, 200);
}

// ---- screens over the title (tutorial, settings, load) and the save/load round trip ----

Pt RightColumnButton(int32_t id) { return {480 + 400 + 160, 320 + 70 * (id - CVSceneTitle::kTutorial) + 32}; }
// Row r of the save and load screens, and their page tab p.
Pt SaveRow(int r) { return {190 + 450, 166 + 44 * r + 20}; }

TEST_F(TitleRun, SettingsOverTheTitleConfirmWritesSysDatAndCancelDoesNot) {
  ASSERT_TRUE(StartAtMenu());
  const fs::path sysDat = dir_ / "SaveData" / "sys" / "sys.dat";
  auto bytes = [&] {
    std::vector<char> b(112);
    FILE* f = std::fopen(sysDat.c_str(), "rb");
    if (f) {
      b.resize(std::fread(b.data(), 1, b.size(), f));
      std::fclose(f);
    }
    return b;
  };
  const auto before = bytes();

  // Cancel (right click): nothing written, nothing changed.
  Click(RightColumnButton(CVSceneTitle::kSettings));
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 6);
  EXPECT_EQ(GameMode, game_mode::kFrontScreen);
  Click({640, 700}, true);
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 1);
  EXPECT_EQ(bytes(), before);
  EXPECT_EQ(SysConfigBlock[kCfgSkipMode], 0u);

  // "すべて" (skip every message), then confirm: the file holds it at once.
  ASSERT_TRUE(RunUntil(CVSceneTitle::kPhaseMenu, 2, 50));
  Click(RightColumnButton(CVSceneTitle::kSettings));
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 6);
  Click({150 + 140 + 128 + 60, 150 + 60 * 1 + 20});  // 10003
  Click({380 + 100, 610 + 24});                      // 決定
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 1);
  EXPECT_EQ(SysConfigBlock[kCfgSkipMode], 1u);
  EXPECT_NE(bytes(), before);
  SysConfigBlock[kCfgSkipMode] = 0;
}

TEST_F(TitleRun, TutorialChapterRunsAndComesBack) {
  ASSERT_TRUE(StartAtMenu());
  Click(RightColumnButton(CVSceneTitle::kTutorial));
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 12);
  // Chapter 2 ("選択肢") is the second button of the first row.
  Click({310 + 460 + 100, 160 + 24});
  EXPECT_EQ(GameMode, game_mode::kOtherScript);
  EXPECT_EQ(GetSceneMgr().GetCurrentSceneId(), 2);
  EXPECT_EQ(GetAdvScript().setNumber, 1);
  ASSERT_FALSE(GetAdvScript().switches.empty());
  EXPECT_EQ(GetAdvScript().switches[0], 1);
  // The chapter's end pops back to the tutorial, whose right click returns to the title.
  ASSERT_TRUE(GetSceneMgr().PopScene());
  EXPECT_EQ(GetSceneMgr().GetCurrentSceneId(), 12);
  Click({640, 360}, true);
  EXPECT_EQ(GetSceneMgr().GetCurrentSceneId(), 1);
}

TEST_F(TitleRun, StorySavedIntoSlot3LoadsFromTheTitleAtTheSameMessage) {
  hooks_.stepStory = true;
  ASSERT_TRUE(StartAtMenu());
  AdvTextPresenter presenter({});
  SetAdvPresenter(&presenter);
  Click(TitleButton(CVSceneTitle::kStory));
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 2);
  // A run that has not been through the strategy game has no world yet (no year, empty orders);
  // its story saves load all the same.
  ClearWorldTables();
  Driver().Ticks(15);
  ASSERT_EQ(GameMode, game_mode::kMainScript);

  // The save screen over the story (as the message window opens it), row 3 of page 1.
  GetSceneMgr().RequestChangeWithCover(4, 1, -1.0f, -1.0f);
  Driver().Ticks(2);
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 4);
  // The save keeps the message on the screen (the last save point); a load resumes there.
  const uint32_t savedMessage = GetAdvScript().savePointMessage;
  Click(SaveRow(3));
  ASSERT_EQ(PlayRecordBlock.lastSlot, 3);
  SlotHeader h;
  ASSERT_TRUE(ReadSlotHeader(3, h));
  EXPECT_TRUE(CheckSaveVersion(h));
  EXPECT_EQ(h.subPhase, 255);  // a story save
  Click({640, 360}, true);
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 2);
  EXPECT_EQ(GameMode, game_mode::kMainScript);

  // The story goes on, then the player returns to the title and loads slot 3 there.
  Driver().Ticks(10);
  const uint32_t movedOn = GetAdvScript().savePointMessage;
  hooks_.stepStory = false;
  ASSERT_TRUE(GetSceneMgr().ChangeScene(1, 0));
  GameMode = game_mode::kScriptEnded;
  ASSERT_TRUE(RunUntil(CVSceneTitle::kPhaseMenu, 2, 200));
  Click(RightColumnButton(CVSceneTitle::kLoad));
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 5);
  Click(SaveRow(3));
  Driver().Ticks(2);
  EXPECT_EQ(GetSceneMgr().GetCurrentSceneId(), 2);
  EXPECT_EQ(GameMode, game_mode::kMainScript);
  EXPECT_EQ(GetAdvScript().savePointMessage, savedMessage) << "went on to " << movedOn;
  EXPECT_EQ(GetAdvScript().pc, GetAdvScript().messageOffsets[savedMessage]);
  SetAdvPresenter(nullptr);
}

TEST_F(TitleRun, ScreensOverTheTitleShowItDarkenedBehindThem) {
  ShowOpeningFlag = 0;
  if (!StartGl()) GTEST_SKIP() << "no GL 3.3 context";
  StartScenes();
  ASSERT_TRUE(RunUntil(CVSceneTitle::kPhaseMenu, 2, 200));
  Driver().Ticks(80);
  std::vector<uint8_t> title, px;
  ASSERT_TRUE(Grab("front_title", title));
  auto lum = [](const std::vector<uint8_t>& p, int x, int y) {
    const size_t i = (static_cast<size_t>(y) * 1280 + x) * 4;
    return p[i] + p[i + 1] + p[i + 2];
  };
  struct Screen {
    int32_t button;
    int32_t scene;
    const char* name;
  };
  for (const Screen& s :
       {Screen{CVSceneTitle::kSettings, 6, "front_settings"}, Screen{CVSceneTitle::kTutorial, 12, "front_tutorial"},
        Screen{CVSceneTitle::kLoad, 5, "front_load"}}) {
    ASSERT_TRUE(RunUntil(CVSceneTitle::kPhaseMenu, 2, 100));
    Click(RightColumnButton(s.button));
    ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), s.scene) << s.name;
    Driver().Ticks(10);
    ASSERT_TRUE(Grab(s.name, px));
    // Beside the screen's frame the title's picture is still there, at most two thirds as bright
    // (over an area: the blur spreads the title's bright rim and panels a little way in).
    auto area = [&](const std::vector<uint8_t>& p, int x0) {
      int sum = 0, n = 0;
      for (int y = 320; y < 400; y += 4)
        for (int x = x0; x < x0 + 60; x += 4, ++n) sum += lum(p, x, y);
      return sum / n;
    };
    for (int x : {40, 1180}) {
      EXPECT_GT(area(px, x), 15) << s.name << " at " << x;
      EXPECT_LT(area(px, x) * 3, area(title, x) * 2) << s.name << " at " << x;
    }
    Click({640, 700}, true);
    ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 1) << s.name;
  }
}

// A full-screen cover showing `picture` (1280 x 720 RGBA) as the main menu of `scene`, the settings
// panel over it, and the backdrop built from the cover into the panel (its blend window hidden).
struct SettingsBackdrop {
  CVMenuWindow* panel = nullptr;
  CVMenuBase* blend = nullptr;
};
void BuildSettingsBackdrop(CVScene& scene, const std::vector<uint8_t>& picture, SettingsBackdrop& out) {
  SpriteWindowParams p;
  p.width = 1280;
  p.height = 720;
  p.source = FRect(0, 0, 1280, 720);
  CVMenuWindow* cover = GetMenuMgr().CreateMenuSpriteWindow(nullptr, p);
  ASSERT_NE(cover, nullptr);
  cover->Open(0, 0, 0);
  CVTexture* holder = GetTextureMgr()->CreateTexture();
  ASSERT_TRUE(holder->CreateEmpty(1280, 720));
  ASSERT_TRUE(holder->GetTexture()->ApplyUpload(plat::Rect{0, 0, 1280, 720}, picture));
  ASSERT_TRUE(cover->SetTextureObject(holder, false));
  scene.SetMainMenu(cover);
  CVMenuSceneRoot* menu = CreateMenuScene(70, "Data\\layout\\config.lay");
  ASSERT_NE(menu, nullptr);
  scene.AddMenu(menu, 0);
  out.panel = dynamic_cast<CVMenuWindow*>(menu->FindChild(kWidgetSprite, 0));
  ASSERT_NE(out.panel, nullptr);
  out.blend = out.panel->FindChild(kWidgetSprite, 3);
  ASSERT_TRUE(BuildCoverBackdrop(scene, out.panel, out.blend));
}

// The pixels (RGBA) of the picture the panel shows.
void ReadShownBackdrop(CDGManager* dg, CVMenuWindow* panel, std::vector<uint8_t>& px) {
  CVTexture* shown = panel->GetSprite()->texture;
  ASSERT_NE(shown, nullptr);
  ASSERT_TRUE(dg->Device()->ReadTexture(shown->GetTexture()->DeviceId(), &px));
}

// The backdrop on the real device: a cover of a red left half and a white right half becomes the
// settings panel's picture, a quarter of the panel's size, blurred across the edge, with the red
// paler and everything darker, and darker at the foot than at the top (the sample pattern).
TEST_F(TitleRun, CoverBackdropIsBlurredTintedAndFadedByThePattern) {
  if (!StartGl()) GTEST_SKIP() << "no GL 3.3 context";
  StartScenes();
  std::vector<uint8_t> picture(1280u * 720u * 4u, 255);
  for (size_t y = 0; y < 720; ++y)
    for (size_t x = 0; x < 640; ++x) picture[(y * 1280 + x) * 4 + 1] = picture[(y * 1280 + x) * 4 + 2] = 0;
  CVScene scene(-1, 6);
  SettingsBackdrop built;
  ASSERT_NO_FATAL_FAILURE(BuildSettingsBackdrop(scene, picture, built));
  CVMenuWindow* const panel = built.panel;
  EXPECT_EQ(scene.GetMainMenu(), nullptr);
  EXPECT_FALSE(built.blend->TestFlag(kWfShown));
  CVTexture* shown = panel->GetSprite()->texture;
  ASSERT_NE(shown, nullptr);
  ASSERT_EQ(shown->GetWidth(), 320);
  ASSERT_EQ(shown->GetHeight(), 180);
  EXPECT_EQ(panel->GetSprite()->width, 1280.0f) << "the picture is stretched over the panel";
  std::vector<uint8_t> px;
  ASSERT_NO_FATAL_FAILURE(ReadShownBackdrop(dg_, panel, px));
  ASSERT_EQ(px.size(), 320u * 180u * 4u);
  auto at = [&](int x, int y, int c) { return static_cast<int>(px[(static_cast<size_t>(y) * 320 + x) * 4 + c]); };
  if (const char* dump = std::getenv("V4_TITLE_DUMP_DIR")) {
    plat::Canvas c(320, 180);
    c.pixels() = px;
    plat::WriteCanvasPng(std::string(dump) + "/backdrop_chain.png", c, nullptr);
  }
  // Opaque everywhere.
  for (int y = 0; y < 180; y += 30)
    for (int x = 0; x < 320; x += 30) EXPECT_EQ(at(x, y, 3), 255) << x << "," << y;
  // Tinted: the red is paler (green and blue come up) and darker; the white is grey.
  const int y = 20;
  EXPECT_LT(at(40, y, 0), 230);
  EXPECT_GT(at(40, y, 1), 25);
  EXPECT_LT(at(40, y, 1), at(40, y, 0) - 40);
  EXPECT_EQ(at(40, y, 1), at(40, y, 2));
  EXPECT_LT(at(280, y, 1), 230);
  EXPECT_GT(at(280, y, 1), 60);
  // Blurred: the white spreads several pixels into the red, fading with the distance from the
  // edge at x = 160 (on the white side the desaturation leaves the same grey).
  const int redG = at(40, y, 1);
  EXPECT_GT(at(158, y, 1), at(155, y, 1));
  EXPECT_GT(at(155, y, 1), at(152, y, 1));
  EXPECT_GT(at(152, y, 1), redG);
  EXPECT_EQ(at(140, y, 1), redG);
  // Faded by the pattern: the foot is darker than the top.
  EXPECT_GT(at(280, 5, 1), at(280, 175, 1) + 30);
  EXPECT_GT(at(280, 175, 1), 10);
}

// The chain's render targets and effects are kept between backdrops: the next backdrop, one after
// a device reset (targets emptied) and one after the device was re-created (everything moved to
// the new device, programs compiled again) all give the first one's pixels.
TEST_F(TitleRun, KeptBackdropChainSurvivesDeviceResetAndRecreation) {
  if (!StartGl()) GTEST_SKIP() << "no GL 3.3 context";
  StartScenes();
  std::vector<uint8_t> picture(1280u * 720u * 4u, 255);
  for (size_t y = 0; y < 720; ++y)
    for (size_t x = 0; x < 1280; ++x) picture[(y * 1280 + x) * 4 + 1] = static_cast<uint8_t>(x * 255 / 1279);
  auto backdrop = [&](std::vector<uint8_t>& px) {
    CVScene scene(-1, 6);
    SettingsBackdrop built;
    ASSERT_NO_FATAL_FAILURE(BuildSettingsBackdrop(scene, picture, built));
    ASSERT_NO_FATAL_FAILURE(ReadShownBackdrop(dg_, built.panel, px));
  };
  std::vector<uint8_t> first;
  ASSERT_NO_FATAL_FAILURE(backdrop(first));
  ASSERT_EQ(first.size(), 320u * 180u * 4u);
  struct Case {
    const char* name;
    void (*before)(CDGManager*);
  };
  const Case cases[] = {
      {"kept chain", [](CDGManager*) {}},
      {"after a device reset",
       [](CDGManager* m) {
         m->Device()->SimulateLoss();
         ASSERT_EQ(m->ResetDevice(true), 0);
       }},
      {"after the device was re-created", [](CDGManager* m) { ASSERT_TRUE(m->RecreateDevice()); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.before(dg_);
    std::vector<uint8_t> again;
    ASSERT_NO_FATAL_FAILURE(backdrop(again));
    EXPECT_TRUE(again == first);
  }
}

// The backdrop's two-pass filter gives the picture of the separate effects the widgets use (the
// cover drawn small, the Gauss filter, the pattern blend, HSV, premultiply), up to the rounding
// to 8 bits between those passes, which an HSV shift can magnify a little. The cover has colour
// ramps to the picture's edges and translucent patches.
TEST_F(TitleRun, BackdropFilterMatchesTheSeparateEffects) {
  if (!StartGl()) GTEST_SKIP() << "no GL 3.3 context";
  StartScenes();
  struct Case {
    const char* name;
    bool layoutLook;  // the layout's own reference parameters, else s and v
    float s, v;
    int tolerance;
  };
  const Case cases[] = {
      {"the layout's look", true, 0, 0, 1},
      {"no HSV shift", false, 0.0f, 0.0f, 1},
      {"more saturated and darker", false, 0.3f, -0.3f, 3},
  };
  auto board = [&](CDGTexture* texture, int w, int h) {
    auto* b = new CDGBoardRenderer(dg_);
    b->SetMode(CDGBoardRenderer::kScreen);
    b->SetTexture(texture);
    b->SetPosition(0, 0, 0);
    b->SetAxes(Vector3(1, 0, 0), Vector3(0, 1, 0));
    b->SetSize(static_cast<float>(w), static_cast<float>(h));
    b->SetColors(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, true);
    return b;
  };
  auto render = [&](CDGRendererBase* r, CDGTexture* target) {
    dg_->ClearOverlayList();
    dg_->AddToOverlayList(r);
    const bool ok = dg_->RenderToTarget(target);
    dg_->ClearOverlayList();
    return ok;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SpriteWindowParams p;
    p.width = 1280;
    p.height = 720;
    p.source = FRect(0, 0, 1280, 720);
    CVMenuWindow* cover = GetMenuMgr().CreateMenuSpriteWindow(nullptr, p);
    ASSERT_NE(cover, nullptr);
    cover->Open(0, 0, 0);
    std::vector<uint8_t> picture(1280u * 720u * 4u);
    for (size_t y = 0; y < 720; ++y)
      for (size_t x = 0; x < 1280; ++x) {
        uint8_t* q = &picture[(y * 1280 + x) * 4];
        q[0] = static_cast<uint8_t>(x * 255 / 1279);
        q[1] = static_cast<uint8_t>((x * 7 + y * 13) & 255);
        q[2] = static_cast<uint8_t>(y * 255 / 719);
        q[3] = (x / 37 + y / 23) % 3 == 0 ? 120 : 255;
      }
    CVTexture* holder = GetTextureMgr()->CreateTexture();
    ASSERT_TRUE(holder->CreateEmpty(1280, 720));
    ASSERT_TRUE(holder->GetTexture()->ApplyUpload(plat::Rect{0, 0, 1280, 720}, picture));
    ASSERT_TRUE(cover->SetTextureObject(holder, false));
    CVScene scene(-1, 6);
    scene.SetMainMenu(cover);
    CVMenuSceneRoot* menu = CreateMenuScene(70, "Data\\layout\\config.lay");
    ASSERT_NE(menu, nullptr);
    scene.AddMenu(menu, 0);
    auto* panel = dynamic_cast<CVMenuWindow*>(menu->FindChild(kWidgetSprite, 0));
    ASSERT_NE(panel, nullptr);
    auto* blend = dynamic_cast<CVMenuWindow*>(panel->FindChild(kWidgetSprite, 3));
    ASSERT_NE(blend, nullptr);
    ASSERT_GT(blend->pictureName.Length(), 0);
    if (!c.layoutLook) {
      panel->SetRefParam(0, c.s);
      panel->SetRefParam(1, c.v);
    }
    // The separate effects, chained on one board as the widgets chain them.
    const int w = 320, h = 180;
    CVTexture* pattern = GetTextureMgr()->GetTexture(blend->pictureName.CStr(), false, false);
    ASSERT_NE(pattern, nullptr);
    CDGTexture* small = dg_->CreateRenderTarget(w, h);
    CDGTexture* result = dg_->CreateRenderTarget(w, h);
    ASSERT_TRUE(small && result);
    CDGBoardRenderer* coverBoard = board(holder->GetTexture(), w, h);
    ASSERT_TRUE(render(coverBoard, small));
    coverBoard->Release();
    CVShaderGaussFilter gauss;
    CVShaderTexBlendBy fade(blend->pictureName.CStr());
    CVShaderHSV hsv;
    CVShaderMultipleAlpha premultiply;
    const std::vector<CVShader*> chain = {&gauss, &fade, &hsv, &premultiply};
    CDGBoardRenderer* filter = board(small, w, h);
    for (CVShader* s : chain) {
      s->Load();
      s->Enable();
      ASSERT_NE(s->GetEffect(), nullptr);
      filter->AttachResource(s->GetEffect(), false, true);
    }
    gauss.SetDispersion(kCoverBlurDispersion);
    gauss.SetUserData2(small);
    fade.SetUserData2(pattern->GetTexture());
    hsv.SetS(panel->GetRefParam(0));
    hsv.SetV(panel->GetRefParam(1));
    for (CVShader* s : chain) s->SetParams();
    filter->RecountPasses();
    ASSERT_TRUE(render(filter, result));
    std::vector<uint8_t> separate;
    ASSERT_TRUE(dg_->Device()->ReadTexture(result->DeviceId(), &separate));
    for (size_t i = 3; i < separate.size(); i += 4) separate[i] = 255;  // the backdrop is opaque
    filter->ReleaseResources();
    filter->Release();
    small->Release();
    result->Release();
    pattern->Drop();

    ASSERT_TRUE(BuildCoverBackdrop(scene, panel, blend));
    std::vector<uint8_t> px;
    ASSERT_TRUE(dg_->Device()->ReadTexture(panel->GetSprite()->texture->GetTexture()->DeviceId(), &px));
    ASSERT_EQ(px.size(), separate.size());
    int worst = 0;
    size_t worstAt = 0;
    for (size_t i = 0; i < px.size(); ++i) {
      const int d = std::abs(static_cast<int>(px[i]) - static_cast<int>(separate[i]));
      if (d > worst) worst = d, worstAt = i;
    }
    EXPECT_LE(worst, c.tolerance) << "texel " << worstAt / 4 % w << "," << worstAt / 4 / w << " channel "
                                  << worstAt % 4;
  }
}

// The backdrop wipes in from the top through the transition effect when the menu appears: part
// way, the upper sky is drawn and the lower part is still black; at the end the whole backdrop.
TEST_F(TitleRun, BackdropWipesInThroughTheTransitionEffect) {
  ShowOpeningFlag = 0;
  if (!StartGl()) GTEST_SKIP() << "no GL 3.3 context";
  InstallRenderWidgetShaders();
  StartScenes();
  ASSERT_TRUE(RunUntil(CVSceneTitle::kPhaseMenu, -1, 200));
  std::vector<uint8_t> px;
  auto sum = [&](int x, int y) {
    const uint8_t* p = &px[(static_cast<size_t>(y) * 1280 + x) * 4];
    return p[0] + p[1] + p[2];
  };
  // Half way: 600 ms of the 1200 ms wipe.
  for (int i = 0; i < 100 && Title()->MainPanel()->Shaders().size() == 1; ++i) {
    Driver().Tick();
    ASSERT_TRUE(Grab("wipe", px));
    if (sum(200, 80) > 20 && sum(200, 640) == 0) break;
  }
  ASSERT_TRUE(Grab("wipe_mid", px));
  EXPECT_GT(sum(200, 80), 20) << "the top of the sky has appeared";
  EXPECT_EQ(sum(200, 640), 0) << "the foot of the backdrop is still hidden";
  Driver().Ticks(120);
  ASSERT_TRUE(Grab("wipe_end", px));
  EXPECT_GT(sum(200, 640), 10) << "the whole backdrop is drawn";
  EXPECT_TRUE(Title()->MainPanel()->Shaders().empty()) << "the finished wipe is taken off";
  SetWidgetShaderFactory(nullptr);
}

}  // namespace

namespace {

// The save screen over the story's message window: the row saved into shows the save at once.
TEST_F(TitleRun, SaveScreenOverTheMessageWindowShowsTheNewSave) {
  ShowOpeningFlag = 0;
  if (!StartGl()) GTEST_SKIP() << "no GL 3.3 context";
  StartScenes();
  hooks_.stepStory = true;
  ASSERT_TRUE(RunUntil(CVSceneTitle::kPhaseMenu, 2, 200));
  Click(TitleButton(CVSceneTitle::kStory));
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 2);
  ResetSlgTurnState();
  GameYear = 1551;
  Driver().Ticks(40);
  std::vector<uint8_t> story, px;
  ASSERT_TRUE(Grab("front_story", story));
  GetSceneMgr().RequestChangeWithCover(4, 1, -1.0f, -1.0f);
  Driver().Ticks(4);
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 4);
  Click(SaveRow(0));
  Driver().Ticks(4);
  ASSERT_TRUE(Grab("front_save_over_story", px));
  EXPECT_EQ(PlayRecordBlock.lastSlot, 0);
  // The saved row's "最新" mark (gold text) is drawn at the row's right end.
  int gold = 0;
  for (int y = 166; y < 206; ++y)
    for (int x = 1000; x < 1080; ++x) {
      const uint8_t* p = &px[(static_cast<size_t>(y) * 1280 + x) * 4];
      gold += p[0] > 180 && p[1] > 140 && p[2] < 140;
    }
  EXPECT_GT(gold, 20);
  Click({640, 360}, true);
  EXPECT_EQ(GetSceneMgr().GetCurrentSceneId(), 2);
}

}  // namespace
