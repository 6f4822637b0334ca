// The extras on the built sample data through the headless frame driver: the real scene table,
// layouts, extras tables, script set and play record; the sound calls of the extras are recorded
// (the rest of the sound runs for real on the dummy driver).
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/frame_services.h"
#include "core/game_file.h"
#include "movie/movie_mgr.h"
#include "platform/gl/null_device.h"
#include "platform/image/png_file.h"
#include "render/dg_manager.h"
#include "save/omake_tables.h"
#include "save/system_files.h"
#include "scenario/interp/adv_step.h"
#include "scenario/script/adv_script.h"
#include "screens/extras/menu_omake_bgm.h"
#include "screens/extras/menu_omake_cg.h"
#include "screens/extras/menu_omake_ikki.h"
#include "screens/extras/menu_omake_scene.h"
#include "screens/extras/omake_ports.h"
#include "screens/extras/omake_replay.h"
#include "screens/extras/scene_omake.h"
#include "screens/front/front_scenes.h"
#include "screens/front/scene_title.h"
#include "screens/front/title_ports.h"
#include "screens/scenario/adv_ports.h"
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
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_list.h"
#include "ui/widgets/menu_text.h"
#include "ui/widgets/menu_window_group.h"
#include "world/world_tables.h"
#include "ui/widgets/menu_window.h"

namespace fs = std::filesystem;

namespace {

class Hooks : public FrameGameHooks {
 public:
  void UpdateSoundFades() override { ::UpdateSoundFades(); }
  void UpdateMovies() override { GetMovieMgr().UpdateMovies(); }
  bool MovieOwnsDisplay() override { return GetMovieMgr().BlocksDisplay(); }
  void StepAdvScript() override { ::StepAdvScript(); }
};

void SetCgSeen(int number, uint32_t bits) {
  for (int b = 0; b < 4; ++b) PlayRecordBlock.eventFlags[(number - 1) * 4 + b] = static_cast<uint8_t>(bits >> (8 * b));
}

// The text a button's first text child shows.
std::string TextOfButton(CVMenuBase* b) {
  auto* t = b ? dynamic_cast<CVMenuText*>(b->FindChild(kWidgetText, 0)) : nullptr;
  return t ? t->Text() : "<none>";
}

class OmakeRun : public ::testing::Test {
 protected:
  // The pixel tests draw on the real GL device of an offscreen window.
  virtual bool UseGl() const { return false; }

  void SetUp() override {
    const fs::path data = fs::path(V4_TEST_GAME_DIR) / "Data";
    ASSERT_TRUE(fs::exists(data / "layout" / "omake_cg.lay")) << "build the sample data first";
    ASSERT_TRUE(folder_.Ready()) << "no temporary game folder";
    LoadSystemData();
    ClearPlayRecord();
    InitSound();
    GetMovieMgr().Init();
    GetMovieMgr().SetWaitForDecoder(true);
    ResetTitlePorts();
    ResetAdvPorts();
    ResetOmakePorts();
    // The extras' music calls are recorded.
    OmakePorts& p = GetOmakePorts();
    p.playMusicUnrecorded = [this](const char* f, int, int) { calls_.push_back(std::string("play ") + f); };
    p.fadeOutMusic = [this] { calls_.push_back("fade"); };
    p.setMusicLevel = [this](int32_t l) { calls_.push_back("level " + std::to_string(l)); };
    p.applySoundConfig = [this] { calls_.push_back("apply"); };
    p.playVoice = [this](const char* f) { calls_.push_back(std::string("voice ") + f); };
    p.resetWorld = [this, reset = p.resetWorld] {
      calls_.push_back("world");
      reset();
    };
    ShowOpeningFlag = 0;
    dg_ = new CDGManager();
    graphics_ = std::make_unique<v4test::DeviceFrameGraphics>(dg_);
    driver_ = std::make_unique<FrameDriver>(&scenes_, &hooks_, graphics_.get());
    if (UseGl()) {
      haveGl_ = v4test::StartGlDevice(*driver_, dg_);
      if (!haveGl_) return;
    } else {
      v4test::StartNullDevice(dg_);
    }
    GetMenuMgr().Init(GetModuleDir());
    CVSceneMgr& mgr = GetSceneMgr();
    mgr.Reset();
    ASSERT_TRUE(InitSceneSystem());
    RegisterFrontScenes(mgr);
    RegisterScenarioScenes(mgr);
    RegisterOmakeScenes(mgr);
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
    ResetOmakePorts();
    GetAdvScript().ClearBacklog();
    ClearPlayRecord();
    OmakeSelection = 65535;
    ReturnToSlgFlag = 0;
    ShowOpeningFlag = 1;
    GameMode = 1;
  }

  void Click(int x, int y, bool right = false, int after = 4) { driver_->Click({x, y}, right, {2, 2, after}); }

  CVSceneOmake* Extras() { return dynamic_cast<CVSceneOmake*>(GetSceneById(7)); }

  // The title's menu, then its extras button and the extra `n` (1..5) of its sub-menu. Back from
  // the extras the title is still in its sub-menu.
  void EnterFromTitle(int n) {
    auto title = [] { return dynamic_cast<CVSceneTitle*>(GetSceneById(1)); };
    auto at = [&](int32_t phase) {
      CVSceneTitle* t = title();
      return t && GetSceneMgr().GetCurrentSceneId() == 1 && t->GetPhase() == phase && t->GetStepValue() == 2;
    };
    driver_->TicksUntil(400, [&] { return at(CVSceneTitle::kPhaseMenu) || at(CVSceneTitle::kPhaseExtras); });
    if (at(CVSceneTitle::kPhaseMenu)) Click(480 + 160, 320 + 70 * 3 + 32, false, 6);  // おまけ
    driver_->TicksUntil(100, [&] { return at(CVSceneTitle::kPhaseExtras); });
    Click(480 + 160, 290 + 64 * (n - 1) + 28, false, 6);
    driver_->TicksUntil(100, [] { return GetSceneMgr().GetCurrentSceneId() == 7; });
    driver_->Ticks(3);
  }

  // Clicks through a replay until the scenario scene has run and the extras are back.
  bool RunReplayBack() {
    bool sawScenario = false;
    for (int i = 0; i < 4000 && !(sawScenario && GetSceneMgr().GetCurrentSceneId() == 7); ++i) {
      auto* s = dynamic_cast<CVSceneADV*>(GetSceneById(2));
      if (GetSceneMgr().GetCurrentSceneId() == 2) sawScenario = true;
      CVMenuADV* w = s ? s->Window() : nullptr;
      if (w && GetSceneMgr().GetCurrentSceneId() == 2 && (s->WaitAdvance() || s->IsMoviePlaying())) {
        Click(640, 200, false, 2);
      } else {
        driver_->Tick();
      }
    }
    return sawScenario;
  }

  // The last drawn frame (RGBA, top row first); written to $V4_EXTRAS_DUMP_DIR/<name>.png when set.
  bool Grab(const char* name, std::vector<uint8_t>& px) {
    if (!dg_->Device()->ReadBackBuffer(plat::Rect{0, 0, 1280, 720}, &px)) return false;
    if (const char* dump = std::getenv("V4_EXTRAS_DUMP_DIR")) {
      plat::Canvas c(1280, 720);
      c.pixels() = px;
      plat::WriteCanvasPng(std::string(dump) + "/" + name + ".png", c, nullptr);
    }
    return true;
  }

  bool haveGl_ = false;
  std::vector<std::string> calls_;
  v4test::GameDataFolder folder_{"v4_omake"};
  CDGManager* dg_ = nullptr;
  SceneFrameAdapter scenes_;
  Hooks hooks_;
  std::unique_ptr<v4test::DeviceFrameGraphics> graphics_;
  std::unique_ptr<FrameDriver> driver_;
};

TEST_F(OmakeRun, MusicPlayerPlaysStopsPagesAndRestoresTheVolume) {
  SysConfigBlock[kCfgAdvMusicLevel] = 6;
  EnterFromTitle(5);
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 7);
  CVSceneOmake* x = Extras();
  ASSERT_NE(x, nullptr);
  EXPECT_EQ(x->GetPhase(), CVSceneOmake::kPhaseMusic);
  EXPECT_EQ(GameMode, game_mode::kFrontScreen);
  auto* bgm = dynamic_cast<CVMenuOmake_BGM*>(x->OpenMenu());
  ASSERT_NE(bgm, nullptr);
  ASSERT_FALSE(calls_.empty());
  EXPECT_EQ(calls_.back(), "fade") << "the player starts silent";
  EXPECT_EQ(bgm->VolumeLevel(), 6);
  // Page 1 holds the story's four tracks (buttons 4..19 hidden), page 2 the strategy game's six.
  EXPECT_TRUE(bgm->TrackButton(3)->TestFlag(kWfShown));
  EXPECT_FALSE(bgm->TrackButton(4)->TestFlag(kWfShown));

  calls_.clear();
  Click(90 + 150, 130 + 52 * 2 + 28);  // track 3 (record 2) by the pointer
  EXPECT_EQ(bgm->SelectedTrack(), 2);
  ASSERT_EQ(calls_.size(), 2u);
  EXPECT_EQ(calls_[0], "play Data\\bgm\\M07.voi");
  EXPECT_EQ(calls_[1], "level 6");
  calls_.clear();
  bgm->Decide(11002);  // the same track again: nothing
  EXPECT_TRUE(calls_.empty());
  bgm->Decide(10001);  // stop
  bgm->Decide(10001);  // a second stop does nothing
  EXPECT_EQ(calls_, std::vector<std::string>{"fade"});
  calls_.clear();
  bgm->Slider()->SetValue(3);  // moved while stopped: no call
  bgm->Decide(-1);
  EXPECT_TRUE(calls_.empty());
  bgm->Decide(10000);  // play: the new level applies now
  EXPECT_EQ(calls_, (std::vector<std::string>{"play Data\\bgm\\M07.voi", "level 3"}));
  bgm->SetPage(1);
  for (int k = 0; k < 20; ++k) EXPECT_EQ(bgm->TrackButton(k)->TestFlag(kWfShown), k < 6) << k;
  calls_.clear();
  bgm->Decide(11006);  // an empty record of page 2 plays nothing
  EXPECT_TRUE(calls_.empty());
  EXPECT_EQ(bgm->SelectedTrack(), 2);
  bgm->Decide(11005);  // page 2's sixth track
  EXPECT_EQ(bgm->SelectedTrack(), 25);
  EXPECT_EQ(calls_, (std::vector<std::string>{"play Data\\bgm\\M20.voi", "level 3"}));
  calls_.clear();

  // Back (cancel id 1): the player fades out, the settings' volume returns, the title comes back.
  Click(1060 + 80, 630 + 24, false, 8);
  EXPECT_EQ(calls_, (std::vector<std::string>{"fade", "apply"}));
  EXPECT_EQ(GetSceneMgr().GetCurrentSceneId(), 1);
}

TEST_F(OmakeRun, GalleryListsSeenPicturesStepsVariantsAndClampsTheDrag) {
  SetCgSeen(1, 0b101);  // base and "b" variant
  SetCgSeen(2, 1);
  EnterFromTitle(1);
  CVSceneOmake* x = Extras();
  ASSERT_NE(x, nullptr);
  ASSERT_EQ(x->GetPhase(), CVSceneOmake::kPhaseCg);
  EXPECT_EQ(calls_.front(), "play Data\\bgm\\M07.voi");
  auto* cg = dynamic_cast<CVMenuOmake_CG*>(x->OpenMenu());
  ASSERT_NE(cg, nullptr);
  EXPECT_EQ(cg->ListedCount(), 7u) << "the hidden record is not listed";
  // Place 0 and 1 unlocked (sepia), 2..5 locked (cover), 6.. empty.
  EXPECT_TRUE(cg->Thumb(0)->TestFlag(kWfShown));
  EXPECT_EQ(cg->Thumb(0)->Shaders().size(), 1u);
  EXPECT_TRUE(cg->Thumb(1)->TestFlag(kWfShown));
  EXPECT_FALSE(cg->Thumb(2)->TestFlag(kWfShown));
  EXPECT_TRUE(cg->Cover(2)->TestFlag(kWfShown));
  EXPECT_FALSE(cg->Thumb(5)->TestFlag(kWfShown));
  EXPECT_TRUE(cg->Cover(5)->TestFlag(kWfShown));
  EXPECT_FALSE(cg->Thumb(6)->TestFlag(kWfShown));
  EXPECT_FALSE(cg->Cover(6)->TestFlag(kWfShown));
  EXPECT_FALSE(cg->PageButton(0)->TestFlag(kWfShown)) << "one page needs no page buttons";
  // Re-showing the page keeps one sepia shader per thumbnail.
  cg->ShowPage();
  cg->ShowPage();
  EXPECT_EQ(cg->Thumb(0)->Shaders().size(), 1u);

  // Under the pointer a thumbnail is in colour.
  driver_->SetPointer(100 + 120, 130 + 67);
  driver_->Ticks(3);
  EXPECT_TRUE(cg->Thumb(0)->Shaders().empty());
  EXPECT_EQ(cg->Thumb(1)->Shaders().size(), 1u);
  driver_->SetPointer(20, 700);
  driver_->Ticks(3);
  EXPECT_EQ(cg->Thumb(0)->Shaders().size(), 1u);

  // Variants: base, then "b" (variant 2), then back to the thumbnails.
  Click(100 + 120, 130 + 67);
  EXPECT_EQ(cg->GetState(), CVMenuOmake_CG::kPicture);
  EXPECT_EQ(cg->ShownVariant(), 0);
  auto* view = dynamic_cast<CVMenuWindow*>(cg->View());
  ASSERT_NE(view, nullptr);
  EXPECT_NE(std::string(view->pictureName.CStr()).find("cg001.png"), std::string::npos);
  Click(640, 360);
  EXPECT_EQ(cg->ShownVariant(), 2);
  EXPECT_NE(std::string(view->pictureName.CStr()).find("cg001b.png"), std::string::npos);
  Click(640, 360);
  EXPECT_EQ(cg->GetState(), CVMenuOmake_CG::kThumbs);

  // The large picture drags within the screen; the release after a drag is no click.
  Click(370 + 120, 130 + 67);
  ASSERT_EQ(cg->GetState(), CVMenuOmake_CG::kPicture);
  EXPECT_FLOAT_EQ(view->size.x, 1920.0f);
  driver_->SetPointer(1200, 700);
  driver_->Ticks(2);
  driver_->SetButton(VK_LBUTTON, true);
  driver_->Ticks(2);
  driver_->SetPointer(-800, -900);
  driver_->Ticks(3);
  driver_->SetButton(VK_LBUTTON, false);
  driver_->Ticks(3);
  EXPECT_EQ(cg->GetState(), CVMenuOmake_CG::kPicture);
  EXPECT_FLOAT_EQ(view->position.x, -640.0f);
  EXPECT_FLOAT_EQ(view->position.y, -360.0f);
  // Right click: back to the thumbnails, not out of the extras.
  Click(640, 360, true);
  EXPECT_EQ(cg->GetState(), CVMenuOmake_CG::kThumbs);
  EXPECT_EQ(GetSceneMgr().GetCurrentSceneId(), 7);
  // Opening the same picture again keeps where it was dragged.
  Click(370 + 120, 130 + 67);
  EXPECT_FLOAT_EQ(view->position.x, -640.0f);

  // A locked thumbnail cannot be clicked.
  Click(640, 360, true);
  Click(640 + 120, 130 + 67);
  EXPECT_EQ(cg->GetState(), CVMenuOmake_CG::kThumbs);
}

TEST_F(OmakeRun, GalleryRulesOnAHandMadeTable) {
  EnterFromTitle(1);
  auto* cg = dynamic_cast<CVMenuOmake_CG*>(Extras()->OpenMenu());
  ASSERT_NE(cg, nullptr);
  // Keys: every in-range position has its own; out of range none.
  std::vector<int32_t> keys;
  for (int c = 0; c < 8; ++c)
    for (int p = 0; p < 24; ++p)
      for (int k = 0; k < 13; ++k) keys.push_back(CVMenuOmake_CG::MakePositionKey(c, p, k));
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(std::unique(keys.begin(), keys.end()), keys.end());
  EXPECT_EQ(CVMenuOmake_CG::MakePositionKey(8, 0, 0), -1);
  EXPECT_EQ(CVMenuOmake_CG::MakePositionKey(0, 24, 0), -1);
  EXPECT_EQ(CVMenuOmake_CG::MakePositionKey(0, 0, 13), -1);
  struct Name {
    const char* pattern;
    int variant;
    const char* out;
  } names[] = {{"Data\\Image\\omake\\cg%03d.png", 0, "Data\\Image\\omake\\cg%03d.png"},
               {"Data\\Image\\omake\\cg%03d.png", 1, "Data\\Image\\omake\\cg%03da.png"},
               {"Data\\Image\\omake\\cg%03d.png", 2, "Data\\Image\\omake\\cg%03db.png"},
               {"Data\\Image.v1\\cg%03d", 1, "Data\\Image.v1\\cg%03da"}};
  for (const Name& n : names) EXPECT_EQ(CVMenuOmake_CG::MakeVariantName(n.pattern, n.variant), n.out) << n.variant;

  // 13 pictures in one category (plus a duplicate position and a hidden one): two pages.
  std::vector<uint8_t> table(kOmakeCgRecords * kOmakeCgRecordBytes, 0);
  auto put = [&](int i, int number, int variants, int cat, int page, int place, int hidden) {
    uint16_t v[8] = {static_cast<uint16_t>(number), static_cast<uint16_t>(variants),
                     static_cast<uint16_t>(cat),    static_cast<uint16_t>(page),
                     static_cast<uint16_t>(place),  0,
                     static_cast<uint16_t>(hidden), 0};
    std::memcpy(&table[i * kOmakeCgRecordBytes], v, sizeof v);
  };
  for (int i = 0; i < 13; ++i) put(i, 10 + i, 1, 0, i / 12, i % 12, 0);
  put(13, 40, 1, 0, 0, 0, 0);  // same position as record 0: the first keeps it
  put(14, 41, 1, 0, 1, 5, 1);  // hidden
  put(15, 42, 3, 2, 0, 0, 0);
  cg->BuildCgList(table.data(), false);
  EXPECT_EQ(cg->ListedCount(), 14u);
  EXPECT_EQ(cg->CountInCategory(0), 13);
  EXPECT_EQ(cg->GetCgNumber(CVMenuOmake_CG::MakePositionKey(0, 0, 0)), 10);
  cg->BuildCgList(table.data(), true);
  EXPECT_EQ(cg->ListedCount(), 15u);
  cg->BuildCgList(table.data(), false);
  for (int n = 10; n <= 22; ++n) SetCgSeen(n, 1);
  cg->SelectCategory(0);
  EXPECT_TRUE(cg->PageButton(0)->TestFlag(kWfShown));
  EXPECT_TRUE(cg->PageButton(1)->TestFlag(kWfShown));
  EXPECT_FALSE(cg->PageButton(2)->TestFlag(kWfShown));
  cg->SetPage(1);
  EXPECT_TRUE(cg->Thumb(0)->TestFlag(kWfShown));
  for (int k = 1; k < 12; ++k) EXPECT_FALSE(cg->Thumb(k)->TestFlag(kWfShown)) << k;

  // Seen tests and the variant walk (count 3, bits 0 and 2).
  SetCgSeen(42, 0b101);
  const int32_t key = CVMenuOmake_CG::MakePositionKey(2, 0, 0);
  EXPECT_EQ(cg->NextSeenVariant(key, -1), 0);
  EXPECT_EQ(cg->NextSeenVariant(key, 0), 2);
  EXPECT_EQ(cg->NextSeenVariant(key, 2), -1);
  EXPECT_EQ(cg->NextSeenVariant(CVMenuOmake_CG::MakePositionKey(7, 0, 0), 1), 1) << "no record keeps current";
  SetCgSeen(511, 0x80000000u);
  EXPECT_FALSE(cg->IsCgSeen(0, -1));
  EXPECT_TRUE(cg->IsCgSeen(511, 31));
  EXPECT_TRUE(cg->IsCgSeen(511, 32));
  EXPECT_FALSE(cg->IsCgSeen(512, -1));
  // 13 seen of 13 in category 0 plus 2 of 3 in category 2: 15 of 16.
  EXPECT_EQ(cg->GetCompletionPercent(), 93);
}

// The sample story from the title to its hand-over, then the extras show what it unlocked and a
// seen scene replays and returns to the event gallery.
TEST_F(OmakeRun, StoryUnlocksPicturesAndScenesThenAReplayReturns) {
  for (int i = 0; i < 400; ++i) {
    auto* t = dynamic_cast<CVSceneTitle*>(GetSceneById(1));
    if (t && t->GetPhase() == CVSceneTitle::kPhaseMenu && t->GetStepValue() == 2) break;
    driver_->Tick();
  }
  Click(480 + 160, 320 + 32, false, 6);
  ASSERT_EQ(GameMode, 0);
  for (int i = 0; i < 8000 && GameMode == 0; ++i) {
    auto* s = dynamic_cast<CVSceneADV*>(GetSceneById(2));
    CVMenuADV* w = s ? s->Window() : nullptr;
    if (!w || GetSceneMgr().GetCurrentSceneId() != 2) {
      driver_->Tick();
      continue;
    }
    if (w->Bit(CVMenuADV::kWsChoice)) {
      const int n = w->ChoiceCount();
      driver_->Ticks(3);
      Click(640, 360 - n * 40 + 28, false, 2);
    } else if (s->WaitAdvance() || s->IsMoviePlaying()) {
      Click(640, 200, false, 2);
    } else {
      driver_->Tick();
    }
  }
  ASSERT_EQ(GameMode, game_mode::kSlg) << "the story reached its hand-over";
  // Scenes 0..2 and pictures 1 (base and the trusting variant), 2, 3 are unlocked.
  EXPECT_TRUE(PlayRecordBlock.sceneSeen[0] && PlayRecordBlock.sceneSeen[1] && PlayRecordBlock.sceneSeen[2]);
  EXPECT_FALSE(PlayRecordBlock.sceneSeen[3]);
  EXPECT_EQ(PlayRecordBlock.eventFlags[0], 0b011);
  EXPECT_EQ(PlayRecordBlock.eventFlags[4], 1);
  EXPECT_EQ(PlayRecordBlock.eventFlags[8], 1);
  EXPECT_EQ(PlayRecordBlock.eventFlags[12], 0);

  // Into the extras: the picture gallery shows three unlocked thumbnails.
  GameMode = 1;
  GetSceneMgr().ChangeScene(1, 0);
  driver_->Ticks(2);
  EnterFromTitle(1);
  CVSceneOmake* x = Extras();
  ASSERT_NE(x, nullptr);
  auto* cg = dynamic_cast<CVMenuOmake_CG*>(x->OpenMenu());
  ASSERT_NE(cg, nullptr);
  for (int k = 0; k < 5; ++k) EXPECT_EQ(cg->Thumb(k)->TestFlag(kWfShown), k < 3) << k;
  EXPECT_EQ(cg->GetCompletionPercent(), 4 * 100 / 9) << "2 of 3 variants and 2 single pictures of 9";

  // The event gallery (third extra): the council (place 2) replays in game mode 10.
  Click(1060 + 80, 630 + 24, false, 8);
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 1);
  EnterFromTitle(3);
  x = Extras();
  ASSERT_NE(x, nullptr);
  ASSERT_EQ(x->GetPhase(), CVSceneOmake::kPhaseEvents);
  cg = dynamic_cast<CVMenuOmake_CG*>(x->OpenMenu());
  ASSERT_EQ(cg->GetState(), CVMenuOmake_CG::kEvents);
  EXPECT_TRUE(cg->Thumb(1)->TestFlag(kWfShown));
  EXPECT_TRUE(cg->Cover(3)->TestFlag(kWfShown)) << "the siege was not seen";
  EXPECT_EQ(cg->GetCompletionPercent(), 3 * 100 / 7) << "3 of the 7 places (the second act's two unseen)";
  Click(370 + 120, 130 + 67, false, 2);
  EXPECT_EQ(GameMode, game_mode::kEventScript);
  EXPECT_TRUE(RunReplayBack());
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 7) << "the replay returned to the extras";
  EXPECT_EQ(Extras()->GetPhase(), CVSceneOmake::kPhaseEvents);
  EXPECT_EQ(cg->GetState(), CVMenuOmake_CG::kEvents);
  EXPECT_EQ(GameMode, game_mode::kFrontScreen);
  EXPECT_FALSE(PlayRecordBlock.sceneSeen[3]) << "a replay unlocks nothing new";

  // The scene replay (second extra): the story's scenes by category; one replays and the menu is
  // back on the same category.
  Click(1060 + 80, 630 + 24, false, 8);
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 1);
  EnterFromTitle(2);
  x = Extras();
  ASSERT_NE(x, nullptr);
  auto* replay = dynamic_cast<CVMenuOmake_Scene*>(x->OpenMenu());
  ASSERT_NE(replay, nullptr);
  EXPECT_EQ(TextOfButton(replay->ItemButton(0)), "霧の夜");
  EXPECT_EQ(TextOfButton(replay->ItemButton(1)), "評定");
  EXPECT_FALSE(replay->ItemButton(2)->TestFlag(kWfShown));
  EXPECT_EQ(replay->GetCompletion(), 3 * 100 / 13) << "3 of the 13 listed scenes";
  Click(1060 + 80, 130 + 54 + 24);  // category 1
  ASSERT_EQ(replay->Category(), 1);
  EXPECT_EQ(TextOfButton(replay->ItemButton(0)), "出陣");
  EXPECT_EQ(TextOfButton(replay->ItemButton(1)), "") << "the siege was not seen";
  EXPECT_TRUE(replay->ItemButton(1)->TestFlag(kWfNoHit));
  Click(90 + 150, 130 + 28, false, 2);
  EXPECT_EQ(GameMode, game_mode::kEventScript);
  EXPECT_TRUE(RunReplayBack());
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 7) << "the replay returned to the extras";
  EXPECT_EQ(Extras()->GetPhase(), CVSceneOmake::kPhaseReplay);
  EXPECT_EQ(Extras()->OpenMenu(), replay);
  EXPECT_EQ(replay->Category(), 1);
  EXPECT_EQ(replay->Tab(), 0);
  EXPECT_EQ(TextOfButton(replay->ItemButton(0)), "出陣");

  // The lines gallery (fourth extra): general 1's lines were met in the council, general 91's on
  // the march; general 2's not.
  Click(1060 + 80, 630 + 24, false, 8);
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 1);
  EnterFromTitle(4);
  x = Extras();
  ASSERT_NE(x, nullptr);
  auto* lines = dynamic_cast<CVMenuOmake_Ikki*>(x->OpenMenu());
  ASSERT_NE(lines, nullptr);
  EXPECT_EQ(lines->GetPageGeneral(0, 0), 1);
  EXPECT_EQ(lines->GetPageGeneral(1, 0), 91);
  const std::string name(BusyoTable[1].name, strnlen(BusyoTable[1].name, sizeof BusyoTable[1].name));
  EXPECT_FALSE(name.empty()) << "scenario 0's world names its generals";
  EXPECT_EQ(TextOfButton(lines->GridButton(0)), name);
  EXPECT_TRUE(lines->GridButton(0)->TestFlag(kWfEnabled));
  EXPECT_FALSE(lines->GridButton(1)->TestFlag(kWfEnabled)) << "general 2's lines were not met";
  EXPECT_EQ(lines->GetCompletion(), 16 * 100 / 34) << "16 of 34 lines (the strategy events' ten not yet heard)";
  Click(90 + 100, 150 + 55);
  ASSERT_EQ(lines->GetState(), CVMenuOmake_Ikki::kLines);
  EXPECT_EQ(lines->General(), 1);
  EXPECT_EQ(TextOfButton(lines->RowButton(0)), "1番槍は我が手に！者ども、") << "cut before a split character";
  calls_.clear();
  Click(120 + 230 + 150, 60 + 40 + 28);
  EXPECT_EQ(calls_, std::vector<std::string>{"voice Data\\voice\\omake\\sf_001.voi"});
  Click(640, 360, true);
  EXPECT_EQ(lines->GetState(), CVMenuOmake_Ikki::kGrid);
  EXPECT_EQ(GetSceneMgr().GetCurrentSceneId(), 7) << "a right click only closes the lines panel";
}

// The sample tables as the tool wrote them: numbers in place, texts Shift-JIS within their fields,
// labels found in record order.
TEST_F(OmakeRun, SampleTablesLoadWithTheirFields) {
  LoadOmakeTables();
  const uint8_t* cg = OmakeCgTable;
  EXPECT_EQ(cg[0] | cg[1] << 8, 1);
  EXPECT_EQ(cg[2] | cg[3] << 8, 3) << "three variants";
  const uint8_t* movie = OmakeCgTable + 5 * kOmakeCgRecordBytes;
  EXPECT_EQ(movie[10], 1);
  const uint8_t* hidden = OmakeCgTable + 6 * kOmakeCgRecordBytes;
  EXPECT_EQ(hidden[12], 1);
  EXPECT_EQ(OmakeCgTable[7 * kOmakeCgRecordBytes], 8) << "the second act's picture";
  EXPECT_EQ(OmakeCgTable[8 * kOmakeCgRecordBytes], 0) << "past the records all is clear";
  EXPECT_STREQ(reinterpret_cast<const char*>(OmakeBgmTable), "Data\\bgm\\M29.voi");
  EXPECT_STREQ(reinterpret_cast<const char*>(OmakeBgmTable + 32), "月影の城");
  const uint8_t* council = OmakeEventTable + kOmakeEventRecordBytes;
  EXPECT_STREQ(reinterpret_cast<const char*>(council + 2), "council");
  EXPECT_STREQ(reinterpret_cast<const char*>(council + 34), "評定");
  EXPECT_EQ(council[70], 2) << "event gallery place";
  int32_t scene = -1;
  EXPECT_TRUE(FindOmakeSceneByLabel("road_peace", &scene));
  EXPECT_EQ(scene, 4);
  EXPECT_FALSE(FindOmakeSceneByLabel("評定", &scene)) << "titles are not labels";
  // Lines: general, Shift-JIS text, voice, page; script lines with their category.
  const uint8_t* line = OmakeSoundTable + 14 * kOmakeSoundRecordBytes;
  EXPECT_EQ(line[0], 91);
  EXPECT_STREQ(reinterpret_cast<const char*>(line + 2), "我が名を覚えておけ");
  EXPECT_STREQ(reinterpret_cast<const char*>(line + 258), "Data\\voice\\omake\\sf_001.voi");
  EXPECT_EQ(line[290], 1);
  const uint8_t* page3 = OmakeSoundTable + 18 * kOmakeSoundRecordBytes;
  EXPECT_EQ(page3[0], 4) << "the strategy events' generals, one a page from page 3";
  EXPECT_EQ(page3[290], 2);
  EXPECT_EQ(OmakeSoundTable[28 * kOmakeSoundRecordBytes], 0) << "past the records all is clear";
  const uint8_t* scr = OmakeSoundScriptTable + 2 * kOmakeSoundScriptRecordBytes;
  EXPECT_STREQ(reinterpret_cast<const char*>(scr + 2), "出陣の支度を");
  EXPECT_EQ(scr[228], 2);
}

// The tool refuses texts that do not fit their fields with their terminator, and out-of-range words.
TEST_F(OmakeRun, ToolRefusesTextsAndNumbersThatDoNotFit) {
  const std::string tool = std::string(V4_TEST_BINARY_DIR) + "/bin/v4data";
  struct Case {
    const char* json;
    int exitCode;
  } cases[] = {
      {R"({"basic_words": [], "bgm": [{"file": "Data\\bgm\\M07.voi", "title": "ok"}]})", 0},
      {R"({"basic_words": [], "bgm": [{"file": "Data\\bgm\\M07.voi", "title": "一二三四五六七八九十一二三四五六"}]})",
       1},
      {R"({"basic_words": [], "cg": [{"number": 65536}]})", 1},
      {R"({"basic_words": [], "extras_scenes": [{"scene": 1, "label": "abcdefghijklmnopqrstuvwxyz012345", "title": "x"}]})",
       1},
      {R"({"basic_words": [], "lines": [{"general": 1, "text": "ok", "voice": "v.voi", "page": 6}]})", 0},
      {R"({"basic_words": [], "lines": [{"general": 1, "text": "ok", "voice": "v.voi", "page": 7}]})", 1},
      {R"({"basic_words": [], "lines": [{"general": 0, "text": "ok", "voice": "v.voi"}]})", 1},
      {R"({"basic_words": [], "lines": [{"general": 1, "text": "ok", "voice": "0123456789012345678901234567890.voi"}]})",
       1},
      {R"({"basic_words": [], "script_lines": [{"general": 1, "text": "ok", "voice": "v.voi", "category": 0}]})", 1},
      {R"({"basic_words": [], "script_lines": [{"general": 1, "text": "ok", "voice": "v.voi", "category": 5}]})", 0},
  };
  for (const Case& c : cases) {
    {
      std::ofstream src(fs::path(folder_.Path()) / "system.json");
      src << c.json;
    }
    const std::string cmd = tool + " system build " + folder_.Path() + " " + folder_.File("out") + " 2>/dev/null";
    const int status = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << c.json;
    EXPECT_EQ(WEXITSTATUS(status), c.exitCode) << c.json;
  }
}

// ev.bin records for the replay tests: scene, label, title, category, preview, highlight, hidden,
// always open.
struct EventRec {
  int scene;
  const char* label;
  const char* title;
  int category, picture, highlight, hidden, open;
};
std::vector<uint8_t> EventTable(const std::vector<EventRec>& recs) {
  std::vector<uint8_t> t(kOmakeEventRecords * kOmakeEventRecordBytes, 0);
  for (size_t i = 0; i < recs.size(); ++i) {
    uint8_t* r = &t[i * kOmakeEventRecordBytes];
    const EventRec& e = recs[i];
    r[0] = static_cast<uint8_t>(e.scene), r[1] = static_cast<uint8_t>(e.scene >> 8);
    std::strncpy(reinterpret_cast<char*>(r + 2), e.label, 32);
    std::strncpy(reinterpret_cast<char*>(r + 34), e.title, 32);
    const int words[6][2] = {{66, e.category}, {68, e.picture}, {72, e.highlight},
                             {74, e.hidden},   {76, e.open},    {70, 0}};
    for (const auto& w : words) r[w[0]] = static_cast<uint8_t>(w[1]), r[w[0] + 1] = static_cast<uint8_t>(w[1] >> 8);
  }
  return t;
}

// The scene replay on the sample layout with hand-made tables: listing, tabs, rows, completion,
// the preview beside the pointed title, and a failed label jump that stays.
TEST_F(OmakeRun, SceneReplayListsTabsRowsCompletionAndPreview) {
  EnterFromTitle(2);
  auto* m = dynamic_cast<CVMenuOmake_Scene*>(Extras()->OpenMenu());
  ASSERT_NE(m, nullptr);
  // Every widget of the contract is there.
  for (int id = 11000; id <= 11019; ++id) EXPECT_NE(m->FindButtonById(id), nullptr) << id;
  for (int id = 10000; id <= 10012; ++id) EXPECT_NE(m->FindButtonById(id), nullptr) << id;
  for (int id = 12000; id <= 12008; ++id) EXPECT_NE(m->FindButtonById(id), nullptr) << id;
  ASSERT_NE(m->PreviewFrame(), nullptr);
  EXPECT_NE(m->PreviewFrame()->FindChild(kWidgetSprite, 0), nullptr);
  EXPECT_EQ(m->PreviewFrame()->AnimeKeys().count(1), 1u) << "the preview moves by its animation 1";
  EXPECT_NE(dynamic_cast<CVMenuWindowGroup*>(m->Counter()), nullptr);

  // Category 0: 21 listed scenes (scene 100 + i), a record without a label, a hidden one.
  std::vector<EventRec> recs;
  for (int i = 0; i < 21; ++i) recs.push_back({100 + i, "lbl", "題", 0, i % 3, i == 2, 0, i == 3});
  recs.push_back({200, "", "no label", 0, 0, 0, 0, 0});
  recs.push_back({201, "hidden", "隠", 0, 0, 0, 1, 0});
  for (int i = 0; i < 45; ++i) recs.push_back({300 + i, "many", "多", 4, 0, 0, 0, 0});
  const std::vector<uint8_t> table = EventTable(recs);
  m->BuildCategoryLists(table.data(), true);
  EXPECT_EQ(m->GetCategorySize(0), 22) << "the hidden record with the unlock flag";
  m->BuildCategoryLists(table.data(), false);
  EXPECT_EQ(m->GetCategorySize(0), 21);
  EXPECT_EQ(m->GetCategorySize(1), 0);
  EXPECT_EQ(m->GetEntryAt(0, 21), nullptr);
  EXPECT_EQ(m->GetEntryAt(0, -1), nullptr);
  EXPECT_EQ(m->GetEntryAt(7, 0), nullptr);
  struct Index {
    int tab, item, out;
  } idx[] = {{0, 0, 0}, {1, 0, 20}, {13, 19, 279}, {14, 0, -1}, {0, 20, -1}, {-1, 0, -1}, {0, -1, -1}};
  for (const Index& c : idx) EXPECT_EQ(CVMenuOmake_Scene::EntryIndex(c.tab, c.item), c.out) << c.tab << "," << c.item;

  // Tabs: 21 scenes give two, 45 three.
  m->SelectCategory(0);
  EXPECT_TRUE(m->TabButton(0)->TestFlag(kWfShown));
  EXPECT_TRUE(m->TabButton(1)->TestFlag(kWfShown));
  EXPECT_FALSE(m->TabButton(2)->TestFlag(kWfShown));
  EXPECT_TRUE(m->CategoryButton(0)->TestFlag(kWfRest4));
  m->SelectCategory(4);
  EXPECT_TRUE(m->TabButton(2)->TestFlag(kWfShown));
  EXPECT_FALSE(m->TabButton(3)->TestFlag(kWfShown));
  EXPECT_FALSE(m->CategoryButton(0)->TestFlag(kWfRest4));
  m->SelectCategory(0);
  m->SelectTab(1);
  EXPECT_TRUE(m->ItemButton(0)->TestFlag(kWfShown));
  for (int k = 1; k < 20; ++k) {
    EXPECT_FALSE(m->ItemButton(k)->TestFlag(kWfShown)) << k;
    EXPECT_TRUE(m->ItemButton(k)->TestFlag(kWfNoHit)) << k;
  }

  // Rows: unseen is empty and cannot be hit; seen shows the title (pink when highlighted); always
  // open can be chosen unseen.
  PlayRecordBlock.sceneSeen[100] = 1;
  PlayRecordBlock.sceneSeen[102] = 1;
  m->SelectTab(0);
  struct Row {
    int item;
    bool hittable;
    const char* text;
    int red;
  } rows[] = {{0, true, "題", 190}, {1, false, "", -1}, {2, true, "題", 255}, {3, true, "題", 190}};
  for (const Row& r : rows) {
    CVMenuBase* b = m->ItemButton(r.item);
    EXPECT_TRUE(b->TestFlag(kWfShown)) << r.item;
    EXPECT_EQ(!b->TestFlag(kWfNoHit), r.hittable) << r.item;
    EXPECT_EQ(TextOfButton(b), r.text) << r.item;
    if (r.red >= 0) {
      Color c;
      b->FindChild(kWidgetText, 0)->GetColour(c);
      EXPECT_EQ(c.r, r.red) << r.item;
    }
  }

  // Completion: seen or always open over listed.
  struct Completion {
    std::vector<EventRec> recs;
    std::vector<int> seen;
    int percent;
  } cases[] = {
      {{{1, "a", "t", 0, 0, 0, 0, 0},
        {2, "b", "t", 0, 0, 0, 0, 0},
        {3, "c", "t", 1, 0, 0, 0, 0},
        {4, "d", "t", 1, 0, 0, 0, 0},
        {5, "e", "t", 2, 0, 0, 0, 0}},
       {1, 3},
       40},
      {{{1, "a", "t", 0, 0, 0, 0, 0}, {2, "b", "t", 0, 0, 0, 0, 1}, {3, "c", "t", 0, 0, 0, 0, 0}}, {1, 3}, 100},
      {{}, {}, 0},
      {{{1, "a", "t", 0, 0, 0, 0, 0}, {2, "b", "t", 0, 0, 0, 1, 0}, {3, "c", "t", 0, 0, 0, 0, 0}}, {1}, 50},
  };
  for (const Completion& c : cases) {
    std::memset(PlayRecordBlock.sceneSeen, 0, sizeof PlayRecordBlock.sceneSeen);
    for (int n : c.seen) PlayRecordBlock.sceneSeen[n] = 1;
    const std::vector<uint8_t> t = EventTable(c.recs);
    m->BuildCategoryLists(t.data(), false);
    EXPECT_EQ(m->GetCompletion(), c.percent) << c.recs.size();
  }

  // Preview: pointing at a title puts the frame at its right edge; a title without a preview hides
  // it.
  std::memset(PlayRecordBlock.sceneSeen, 0, sizeof PlayRecordBlock.sceneSeen);
  PlayRecordBlock.sceneSeen[101] = PlayRecordBlock.sceneSeen[103] = 1;
  m->BuildCategoryLists(table.data(), false);
  m->SelectCategory(0);
  driver_->SetPointer(90 + 150, 130 + 48 * 1 + 28);  // item 1: scene 101, preview 1
  driver_->Ticks(30);
  EXPECT_EQ(m->HoveredItem(), 1);
  CVMenuBase* frame = m->PreviewFrame();
  EXPECT_TRUE(frame->TestFlag(kWfShown));
  EXPECT_FLOAT_EQ(frame->position.x, 90.0f + 300.0f);
  EXPECT_FLOAT_EQ(frame->position.y, 130.0f + 48.0f);
  auto* pic = dynamic_cast<CVMenuWindow*>(frame->FindChild(kWidgetSprite, 0));
  ASSERT_NE(pic, nullptr);
  EXPECT_NE(std::string(pic->pictureName.CStr()).find("th001.png"), std::string::npos) << pic->pictureName.CStr();
  driver_->SetPointer(90 + 150, 130 + 48 * 3 + 28);  // item 3: preview 0
  driver_->Ticks(3);
  EXPECT_EQ(m->HoveredItem(), 3);
  EXPECT_FALSE(frame->TestFlag(kWfShown));
  driver_->SetPointer(700, 700);
  driver_->Ticks(3);
  EXPECT_EQ(m->HoveredItem(), -1);

  // A label the script set does not hold: no replay, the game mode stays, the extras stay.
  const int32_t mode = GameMode;
  Click(90 + 150, 130 + 48 * 1 + 28);
  driver_->Ticks(4);
  EXPECT_EQ(GameMode, mode);
  EXPECT_EQ(GetSceneMgr().GetCurrentSceneId(), 7);
  EXPECT_FALSE(m->StartReplay(nullptr));
}

// The replay routine both the event gallery and the scene replay use: only a found label changes
// the game mode and asks for the scenario scene over the extras; the label is read within its 32
// bytes even when it fills them.
TEST_F(OmakeRun, EventReplayLeavesOnlyOnAFoundLabel) {
  std::string asked;
  GetOmakePorts().gotoLabel = [&asked](const char* label) {
    asked = label;
    return asked != "missing";
  };
  const std::string full(32, 'x');
  struct Case {
    const char* label;
    bool started;
    std::string asked;
  } cases[] = {
      {"", false, ""}, {"missing", false, "missing"}, {"scene_a", true, "scene_a"}, {full.c_str(), true, full}};
  for (const Case& c : cases) {
    const std::vector<uint8_t> t = EventTable({{5, c.label, "t", 0, 0, 0, 0, 0}});
    std::vector<uint8_t> rec(t.begin(), t.begin() + kOmakeEventRecordBytes);
    rec.push_back('y');  // a byte past the record must not join a full label
    asked.clear();
    GameMode = game_mode::kFrontScreen;
    GetSceneMgr().RequestChange(0, -1);  // nothing pending
    EXPECT_EQ(StartEventReplay(rec.data()), c.started) << c.label;
    EXPECT_EQ(asked, c.asked) << c.label;
    EXPECT_EQ(GameMode, c.started ? game_mode::kEventScript : game_mode::kFrontScreen) << c.label;
    EXPECT_EQ(GetSceneMgr().GetRequest().target, c.started ? 2 : 0) << c.label;
    EXPECT_EQ(GetSceneMgr().GetRequest().push, c.started ? 1 : -1) << c.label;
  }
  EXPECT_FALSE(StartEventReplay(nullptr));
  GetSceneMgr().RequestChange(0, -1);
}

// sf.bin / sf_scr.dat records for the lines tests.
struct LineRec {
  int general;
  const char* text;
  const char* voice;
  int page, seen, hidden;
};
struct ScrRec {
  int general;
  const char* text;
  int category;
};
std::vector<uint8_t> LinesTable(const std::vector<LineRec>& recs) {
  std::vector<uint8_t> t(kOmakeSoundRecords * kOmakeSoundRecordBytes, 0);
  for (size_t i = 0; i < recs.size(); ++i) {
    uint8_t* r = &t[i * kOmakeSoundRecordBytes];
    const LineRec& e = recs[i];
    r[0] = static_cast<uint8_t>(e.general), r[1] = static_cast<uint8_t>(e.general >> 8);
    std::strncpy(reinterpret_cast<char*>(r + 2), e.text, 256);
    std::strncpy(reinterpret_cast<char*>(r + 258), e.voice, 32);
    r[290] = static_cast<uint8_t>(e.page), r[292] = static_cast<uint8_t>(e.seen),
    r[294] = static_cast<uint8_t>(e.hidden);
  }
  return t;
}
std::vector<uint8_t> ScriptLinesTable(const std::vector<ScrRec>& recs) {
  std::vector<uint8_t> t(kOmakeSoundScriptRecords * kOmakeSoundScriptRecordBytes, 0);
  for (size_t i = 0; i < recs.size(); ++i) {
    uint8_t* r = &t[i * kOmakeSoundScriptRecordBytes];
    r[0] = static_cast<uint8_t>(recs[i].general), r[1] = static_cast<uint8_t>(recs[i].general >> 8);
    std::strncpy(reinterpret_cast<char*>(r + 2), recs[i].text, 160);
    std::strncpy(reinterpret_cast<char*>(r + 162), "v.voi", 64);
    r[228] = static_cast<uint8_t>(recs[i].category);
  }
  return t;
}

// The lines gallery on the sample layout with hand-made tables: page lists, line index, scroll
// maxima, the cut on a character boundary, the seen rule, the lines panel and its depth bound.
TEST_F(OmakeRun, LinesGalleryPageListsLinesTruncationAndDepthBound) {
  EnterFromTitle(4);
  CVSceneOmake* x = Extras();
  ASSERT_NE(x, nullptr);
  EXPECT_EQ(x->GetPhase(), CVSceneOmake::kPhaseLines);
  ASSERT_FALSE(calls_.empty());
  EXPECT_NE(std::find(calls_.begin(), calls_.end(), "world"), calls_.end()) << "scenario 0's world is loaded";
  auto* m = dynamic_cast<CVMenuOmake_Ikki*>(x->OpenMenu());
  ASSERT_NE(m, nullptr);
  for (int id = 11000; id <= 11014; ++id) EXPECT_NE(m->FindButtonById(id), nullptr) << id;
  for (int id = 12000; id <= 12006; ++id) EXPECT_NE(m->FindButtonById(id), nullptr) << id;
  for (int id = 15000; id <= 15005; ++id) EXPECT_NE(m->FindButtonById(id), nullptr) << id;
  for (int id = 16000; id <= 16009; ++id) EXPECT_NE(m->FindButtonById(id), nullptr) << id;
  EXPECT_NE(m->FindButtonById(20000), nullptr);
  ASSERT_NE(m->GridBar(), nullptr);
  ASSERT_NE(m->LinesBar(), nullptr);
  ASSERT_NE(m->LinesPanel(), nullptr);
  EXPECT_GE(m->LinesPanel()->GetWorldZ(), 2000.0f) << "the lines panel takes input above the raised bound";
  EXPECT_LT(m->GridPanel()->GetWorldZ(), 2000.0f);

  // Page lists: runs of a general listed once each, hidden only with the unlock flag, general 0
  // skipped, pages past 6 and a 61st general on a page left out.
  std::vector<LineRec> recs = {{5, "a", "v1.voi", 0, 0, 0}, {5, "b", "v2.voi", 0, 0, 0}, {6, "c", "", 0, 0, 0},
                               {5, "d", "", 0, 0, 0},       {0, "e", "", 0, 0, 0},       {7, "f", "", 0, 0, 1},
                               {8, "g", "", 9, 0, 0}};
  for (int g = 0; g < 62; ++g) recs.push_back({100 + g, "h", "", 2, 0, 0});
  std::vector<uint8_t> lines = LinesTable(recs);
  std::vector<uint8_t> scr = ScriptLinesTable({{5, "script", 2}, {5, "zero", 0}, {5, "six", 6}, {5, "x", 1}});
  m->TakeTables(lines.data(), scr.data());
  m->BuildPageLists(false);
  EXPECT_EQ(m->PageCount(0), 3);
  EXPECT_EQ(m->GetPageGeneral(0, 0), 5);
  EXPECT_EQ(m->GetPageGeneral(0, 1), 6);
  EXPECT_EQ(m->GetPageGeneral(0, 2), 5);
  EXPECT_EQ(m->GetPageGeneral(0, 3), -1);
  EXPECT_EQ(m->PageCount(2), 60);
  EXPECT_EQ(m->GetPageGeneral(7, 0), -1);
  m->BuildPageLists(true);
  EXPECT_EQ(m->PageCount(0), 4) << "the hidden general with the unlock flag";

  struct Max {
    int count, grid, lines;
  } maxima[] = {{0, 0, 0}, {8, 0, 0}, {15, 0, 5}, {16, 1, 6}, {20, 1, 10}, {21, 2, 11}, {25, 2, 15}};
  for (const Max& c : maxima) {
    EXPECT_EQ(CVMenuOmake_Ikki::GridMaximum(c.count), c.grid) << c.count;
    EXPECT_EQ(CVMenuOmake_Ikki::LineMaximum(c.count), c.lines) << c.count;
  }

  // Line index: sf.bin lines in order in category 0; sf_scr.dat lines by their category 1..5,
  // categories 0 and 6 left out.
  const CVMenuOmake_Ikki::LineIndex index = m->BuildLineIndex(5);
  ASSERT_EQ(index.lines[0].size(), 3u);
  EXPECT_EQ(index.lines[0][2].record, 3);
  EXPECT_EQ(index.lines[0][2].item, 2);
  ASSERT_EQ(index.lines[2].size(), 1u);
  EXPECT_EQ(index.lines[2][0].record, 0);
  EXPECT_EQ(index.lines[1].size(), 1u);
  for (int c : {3, 4, 5}) EXPECT_TRUE(index.lines[c].empty()) << c;

  // The beginning of a line: 26 bytes, never half a double-byte character.
  const std::string kanji = "\x8c\x8e\x89\x65";  // two double-byte characters
  struct Cut {
    std::string text;
    size_t field, out;
  } cuts[] = {
      {std::string(40, 'a'), 256, 26},
      {"1" + kanji + kanji + kanji + kanji + kanji + kanji + kanji, 256, 25},  // a lead byte at 25
      {kanji + kanji + kanji + kanji + kanji + kanji + kanji + kanji, 256, 26},
      {"ab", 256, 2},
      {"a\x8c", 2, 1},    // a lead byte at the end of its field
      {"a\x8c", 256, 1},  // a lead byte before the terminator
  };
  for (const Cut& c : cuts) {
    std::vector<uint8_t> buf(c.field + 8, 0);
    std::memcpy(buf.data(), c.text.data(), std::min(c.text.size(), buf.size()));
    EXPECT_EQ(CVMenuOmake_Ikki::CutLine(buf.data(), c.field, 26).size(), c.out) << c.text;
  }

  // Seen: general 5's own lines (seen category 0) once unlocked; the grid shows him, not 6.
  UnlockGalleryCategory(5, 0);
  m->BuildPageLists(false);
  m->SelectPage(0);
  EXPECT_TRUE(m->HasLineSeen(5));
  EXPECT_FALSE(m->HasLineSeen(6));
  EXPECT_TRUE(m->GridButton(0)->TestFlag(kWfEnabled));
  EXPECT_FALSE(m->GridButton(1)->TestFlag(kWfEnabled));
  EXPECT_TRUE(m->GridButton(1)->TestFlag(kWfShown));
  EXPECT_FALSE(m->GridButton(3)->TestFlag(kWfShown));
  // General 5 (listed twice) has 5 lines, 3 of them met; general 6 and the 60 of page 2 have one
  // each, none met: 6 of 71.
  EXPECT_EQ(m->GetCompletion(), 6 * 100 / 71);

  // The lines panel: the depth bound is raised and restored to exactly its value.
  GetMenuMgr().SetDepthBound(7);
  m->SetState(CVMenuOmake_Ikki::kGrid, 1);
  m->Decide(11000, 0);
  EXPECT_EQ(m->GetState(), CVMenuOmake_Ikki::kLines);
  EXPECT_EQ(m->General(), 5);
  EXPECT_EQ(GetMenuMgr().GetDepthBound(), 2000);
  EXPECT_TRUE(m->CategoryButton(0)->TestFlag(kWfEnabled));
  EXPECT_TRUE(m->CategoryButton(2)->TestFlag(kWfEnabled));
  EXPECT_FALSE(m->CategoryButton(3)->TestFlag(kWfEnabled));
  EXPECT_TRUE(m->CategoryButton(3)->TestFlag(kWfNoHit));
  EXPECT_EQ(TextOfButton(m->RowButton(0)), "a");
  EXPECT_TRUE(m->RowButton(0)->TestFlag(kWfEnabled));
  EXPECT_FALSE(m->RowButton(3)->TestFlag(kWfEnabled)) << "no line there";
  calls_.clear();
  m->Decide(16001, 0);
  m->Decide(16005, 0);  // an empty row plays nothing
  EXPECT_EQ(calls_, std::vector<std::string>{"voice v2.voi"});
  m->Decide(15002, 0);  // the script lines of category 2: not met
  EXPECT_EQ(m->LineCategory(), 2);
  EXPECT_EQ(TextOfButton(m->RowButton(0)), "");
  EXPECT_FALSE(m->RowButton(0)->TestFlag(kWfEnabled));
  m->Decide(CVMenuOmake_Ikki::kCloseLines, 0);
  EXPECT_EQ(m->GetState(), CVMenuOmake_Ikki::kGrid);
  EXPECT_EQ(GetMenuMgr().GetDepthBound(), 7);
  // Leaving the extras with the panel up restores the bound too.
  m->Decide(11000, 0);
  EXPECT_EQ(GetMenuMgr().GetDepthBound(), 2000);
  x->SetPhase(CVSceneOmake::kPhaseTop, 1, 0);
  EXPECT_EQ(GetMenuMgr().GetDepthBound(), 7);
  // And so does tearing the scenes down with it up.
  m->SetState(CVMenuOmake_Ikki::kLines, 1);
  ASSERT_EQ(GetMenuMgr().GetDepthBound(), 2000);
  GetSceneMgr().Reset();
  EXPECT_EQ(GetMenuMgr().GetDepthBound(), 7);
  GetMenuMgr().SetDepthBound(0);
}

// Every extras layout, as the generator writes it, gives its menu each widget the menu looks up:
// the contract's ids, and the widgets found by kind and order are the ones the ids name.
TEST_F(OmakeRun, EveryExtrasLayoutHoldsItsContract) {
  struct Range {
    int first, last;
  };
  struct Layout {
    int extra;  // the title's extra (1..5); 0 the top menu
    int32_t phase;
    std::vector<Range> ids;
  } layouts[] = {
      {0, CVSceneOmake::kPhaseTop, {{1000, 1004}, {1, 1}}},
      {1, CVSceneOmake::kPhaseCg, {{11000, 11011}, {10000, 10005}, {12000, 12001}, {1, 1}}},
      {2, CVSceneOmake::kPhaseReplay, {{11000, 11019}, {10000, 10012}, {12000, 12008}, {1, 1}}},
      {3, CVSceneOmake::kPhaseEvents, {{11000, 11011}, {1, 1}}},
      {4, CVSceneOmake::kPhaseLines, {{11000, 11014}, {12000, 12006}, {15000, 15005}, {16000, 16009}, {20000, 20000}}},
      {5, CVSceneOmake::kPhaseMusic, {{11000, 11019}, {12000, 12001}, {10000, 10001}, {1, 1}}},
  };
  for (const Layout& l : layouts) {
    SCOPED_TRACE(l.phase);
    if (l.extra == 0) {
      EnterFromTitle(1);
      ASSERT_NE(Extras(), nullptr);
      Extras()->SetPhase(CVSceneOmake::kPhaseTop, 1, 0);
      driver_->Ticks(3);
    } else {
      EnterFromTitle(l.extra);
    }
    CVSceneOmake* x = Extras();
    ASSERT_NE(x, nullptr);
    ASSERT_EQ(x->GetPhase(), l.phase);
    CVMenuBase* m = x->OpenMenu();
    ASSERT_NE(m, nullptr);
    for (const Range& r : l.ids)
      for (int id = r.first; id <= r.last; ++id) EXPECT_NE(m->FindButtonById(id), nullptr) << id;
    auto button = [m](int id) { return static_cast<CVMenuBase*>(m->FindButtonById(id)); };
    if (auto* cg = dynamic_cast<CVMenuOmake_CG*>(m)) {
      EXPECT_NE(dynamic_cast<CVMenuWindow*>(cg->View()), nullptr);
      for (int k = 0; k < CVMenuOmake_CG::kPerPage; ++k) {
        EXPECT_EQ(cg->Thumb(k), button(11000 + k)) << k;
        ASSERT_NE(cg->Cover(k), nullptr) << k;
        EXPECT_EQ(cg->Cover(k)->position.x, cg->Thumb(k)->position.x) << "cover " << k << " lies on its thumbnail";
        EXPECT_EQ(cg->Cover(k)->position.y, cg->Thumb(k)->position.y) << k;
      }
      EXPECT_EQ(cg->Thumb(CVMenuOmake_CG::kPerPage), nullptr);
      if (l.phase == CVSceneOmake::kPhaseCg) {
        for (int k = 0; k < 6; ++k) EXPECT_EQ(cg->PageButton(k), button(10000 + k)) << k;
      }
    } else if (auto* bgm = dynamic_cast<CVMenuOmake_BGM*>(m)) {
      for (int k = 0; k < CVMenuOmake_BGM::kTracksPerPage; ++k) EXPECT_EQ(bgm->TrackButton(k), button(11000 + k));
      EXPECT_EQ(bgm->TrackButton(CVMenuOmake_BGM::kTracksPerPage), nullptr);
      ASSERT_NE(bgm->Slider(), nullptr);
    }
    Click(1060 + 80, 630 + 24, false, 8);  // back to the title
    ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 1);
  }
}

// The top menu opens every extra; the music rules hold between them; back from the top menu
// returns to the title.
TEST_F(OmakeRun, TopMenuOpensEveryExtraAndKeepsTheMusicRules) {
  EnterFromTitle(2);
  CVSceneOmake* x = Extras();
  ASSERT_NE(x, nullptr);
  EXPECT_EQ(x->GetPhase(), CVSceneOmake::kPhaseReplay);
  EXPECT_NE(dynamic_cast<CVMenuOmake_Scene*>(x->OpenMenu()), nullptr);
  x->SetPhase(CVSceneOmake::kPhaseTop, 1, 0);
  driver_->Ticks(3);
  ASSERT_NE(x->OpenMenu(), nullptr);
  Click(490 + 150, 160 + 80 * 3 + 28);  // 台詞集
  EXPECT_EQ(x->GetPhase(), CVSceneOmake::kPhaseLines);
  EXPECT_NE(dynamic_cast<CVMenuOmake_Ikki*>(x->OpenMenu()), nullptr);
  x->SetPhase(CVSceneOmake::kPhaseTop, 1, 0);
  driver_->Ticks(3);
  Click(490 + 150, 160 + 80 * 1 + 28);  // 場面回想
  EXPECT_EQ(x->GetPhase(), CVSceneOmake::kPhaseReplay);
  x->SetPhase(CVSceneOmake::kPhaseTop, 1, 0);
  driver_->Ticks(3);
  calls_.clear();
  Click(490 + 150, 160 + 80 * 4 + 28);  // 音楽鑑賞
  EXPECT_EQ(x->GetPhase(), CVSceneOmake::kPhaseMusic);
  EXPECT_EQ(calls_, std::vector<std::string>{"fade"});
  calls_.clear();
  x->SetPhase(CVSceneOmake::kPhaseEvents, 1, 0);  // leaving the player: the event gallery's music
  EXPECT_EQ(calls_.back(), "play Data\\bgm\\M11.voi");
  calls_.clear();
  x->SetPhase(CVSceneOmake::kPhaseCg, 1, 0);  // between galleries the music stays
  EXPECT_TRUE(calls_.empty());
  x->SetPhase(CVSceneOmake::kPhaseTop, 1, 0);
  Click(1060 + 80, 630 + 24, false, 8);
  EXPECT_EQ(GetSceneMgr().GetCurrentSceneId(), 1);
}

class OmakePixels : public OmakeRun {
 protected:
  bool UseGl() const override { return true; }
};

struct Rgb {
  int r, g, b;
};
Rgb At(const std::vector<uint8_t>& px, int x, int y) {
  const size_t i = (static_cast<size_t>(y) * 1280 + x) * 4;
  return {px[i], px[i + 1], px[i + 2]};
}

// How many different colours the rectangle shows (a flat fill or a stretched edge row shows few).
size_t ColoursIn(const std::vector<uint8_t>& px, int x0, int y0, int w, int h) {
  std::vector<uint32_t> seen;
  for (int y = y0; y < y0 + h; y += 3)
    for (int x = x0; x < x0 + w; x += 3) {
      const Rgb c = At(px, x, y);
      seen.push_back(static_cast<uint32_t>(c.r << 16 | c.g << 8 | c.b));
    }
  std::sort(seen.begin(), seen.end());
  return static_cast<size_t>(std::unique(seen.begin(), seen.end()) - seen.begin());
}

// Unlocked thumbnails are drawn in sepia, in colour under the pointer; locked ones show the cover.
// The sample picture 1 is a blue night sky with a pale moon at (168, 40) and dark hills.
TEST_F(OmakePixels, GalleryThumbnailsInSepiaColourUnderThePointerAndLockCovers) {
  if (!haveGl_) GTEST_SKIP() << "no GL 3.3 context";
  SetCgSeen(1, 1);
  EnterFromTitle(1);
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 7);
  constexpr int kX = 100, kY = 130;  // thumbnail 0
  driver_->SetPointer(20, 700);
  driver_->Ticks(40);
  std::vector<uint8_t> px;
  ASSERT_TRUE(Grab("gallery", px));
  const Rgb cover = At(px, 370 + 20, 130 + 20);
  EXPECT_LT(std::abs(cover.r - cover.b), 16) << "the grey lock cover";
  // The pointer rests on the thumbnail for several frames: its look is set again each frame.
  driver_->SetPointer(kX + 120, kY + 67);
  driver_->Ticks(10);
  std::vector<uint8_t> hover;
  ASSERT_TRUE(Grab("gallery_hover", hover));
  struct Look {
    const char* what;
    const std::vector<uint8_t>& px;
    bool sepia;
  } looks[] = {{"away", px, true}, {"under the pointer", hover, false}};
  for (const Look& l : looks) {
    const Rgb sky = At(l.px, kX + 20, kY + 20), moon = At(l.px, kX + 168, kY + 40);
    EXPECT_GT(ColoursIn(l.px, kX + 2, kY + 2, 236, 131), 40u) << l.what << ": the picture, not one flat colour";
    EXPECT_GT(moon.r + moon.g, sky.r + sky.g + 200) << l.what << ": the moon stands out of the sky";
    if (l.sepia) {
      EXPECT_GT(sky.r, sky.b) << l.what << ": sepia warms the night sky " << sky.r << "," << sky.g << "," << sky.b;
    } else {
      EXPECT_GT(sky.b, sky.r + 20) << l.what << ": the sky in its own blue " << sky.r << "," << sky.g << "," << sky.b;
    }
  }
  // Full size.
  Click(kX + 120, kY + 67, false, 10);
  ASSERT_TRUE(Grab("picture", px));
}

// The scene replay and the lines panel are drawn: a title row, and the lines panel over the grid.
TEST_F(OmakePixels, ReplayAndLinesPanelsAreDrawn) {
  if (!haveGl_) GTEST_SKIP() << "no GL 3.3 context";
  EnterFromTitle(2);
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 7);
  driver_->SetPointer(90 + 150, 130 + 28);  // the always-open prologue: its preview beside it
  driver_->Ticks(40);
  std::vector<uint8_t> px;
  ASSERT_TRUE(Grab("replay", px));
  const Rgb preview = At(px, 390 + 128, 130 + 75);  // the first picture is a blue night, in colour
  EXPECT_GT(preview.b, preview.r) << preview.r << "," << preview.g << "," << preview.b;
  Click(1060 + 80, 630 + 24, false, 8);
  UnlockGalleryCategory(1, 0);
  EnterFromTitle(4);
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 7);
  Click(90 + 100, 150 + 55, false, 30);
  ASSERT_TRUE(Grab("lines", px));
  // The lines panel's dark blue lies over the grid's cards, between its rows and the large face.
  const Rgb panel = At(px, 740, 260);
  EXPECT_LT(std::abs(panel.r - 0x14) + std::abs(panel.g - 0x1A) + std::abs(panel.b - 0x2C), 40)
      << panel.r << "," << panel.g << "," << panel.b;
}

TEST_F(OmakePixels, MusicPlayerShowsItsTracks) {
  if (!haveGl_) GTEST_SKIP() << "no GL 3.3 context";
  EnterFromTitle(5);
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 7);
  Click(90 + 150, 130 + 28, false, 30);
  std::vector<uint8_t> px;
  ASSERT_TRUE(Grab("music", px));
  // The chosen track's button rests in its selected look, unlike the next one.
  const Rgb chosen = At(px, 90 + 10, 130 + 28), other = At(px, 90 + 10, 130 + 52 + 28);
  EXPECT_NE(chosen.r * 65536 + chosen.g * 256 + chosen.b, other.r * 65536 + other.g * 256 + other.b);
}

}  // namespace
