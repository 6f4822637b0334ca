// The sample story end to end through the headless frame driver: the title's story button, the
// interpreter stepped by the frame in game mode 0, the real scenario scene and message window on
// the sample layout, pictures, voices, a movie and the choices, clicked through like a player
// until the story hands over to the strategy game.
#include <gtest/gtest.h>

#include <unistd.h>

#include <set>

#include <cstring>
#include <filesystem>
#include <functional>
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
#include "save/save_slot.h"
#include "screens/front/scene_save.h"
#include "screens/scenario/adv_window_state.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_text.h"
#include "ui/widgets/menu_window.h"
#include "ui/widgets/widget_movie_port.h"
#include "world/world_tables.h"
#include "render/effect/shader.h"

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

  CVSceneADV* Scene() const {
    return GetSceneMgr().GetCurrentSceneId() == 2 ? dynamic_cast<CVSceneADV*>(GetSceneById(2)) : nullptr;
  }
  // Plays on as a player does (a click on empty screen for every message and movie, the choices
  // taken from `answers` (0-based, then the first)) until stop() holds on a frame; every frame is
  // shown to watch() first. Whether stop() held.
  bool PlayUntil(const std::function<bool(CVSceneADV*, CVMenuADV*)>& stop, std::vector<int> answers = {},
                 const std::function<void(CVSceneADV*, CVMenuADV*)>& watch = nullptr, int budget = 8000) {
    size_t next = 0;
    bool choiceOpen = false;  // a list counts once, however many clicks it takes
    for (int i = 0; i < budget && GameMode == 0; ++i) {
      CVSceneADV* s = Scene();
      CVMenuADV* w = s ? s->Window() : nullptr;
      if (!w) {
        driver_->Tick();
        continue;
      }
      if (watch) watch(s, w);
      if (stop(s, w)) return true;
      if (!w->Bit(CVMenuADV::kWsChoice) && choiceOpen) {
        choiceOpen = false;
        ++next;
      }
      if (w->Bit(CVMenuADV::kWsChoice)) {
        choiceOpen = true;
        const int n = w->ChoiceCount();
        const int pick = next < answers.size() ? answers[next] : 0;
        driver_->Ticks(3);
        Click(640, 360 - n * 40 + pick * 80 + 28);
      } else if (s->WaitAdvance() || s->IsMoviePlaying()) {
        Click(640, 200);
      } else {
        driver_->Tick();
      }
    }
    return false;
  }
  static bool Waiting(CVSceneADV* s, CVMenuADV* w) { return s->WaitAdvance() && !w->IsMessageBusy(); }
  void PressKey(int vk, int held = 1) {
    driver_->SetKey(vk, true);
    driver_->Ticks(held);
    driver_->SetKey(vk, false);
    driver_->Ticks(3);
  }

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

// The dawn interlude: the light comes in through the movie transition and goes through the pattern
// wipe; the petal sprite shows one 64 x 64 cell of its four at a time and turns through them; it
// is gone when the interlude ends, so neither the next scenes nor their saves keep it.
TEST_F(StoryRun, TheDawnInterludeRunsItsTransitionsAndLeavesNoSpriteBehind) {
  InstallMovieWidgetPort();
  StartStory();
  ASSERT_EQ(GameMode, 0);
  bool movie = false, pattern = false, sprite = false, wholeSheet = false;
  std::set<int32_t> cells;
  auto watch = [&](CVSceneADV*, CVMenuADV* w) {
    movie = movie || w->LayerTransition(0) == CVMenuADV::TransitionKind::kMovie;
    pattern = pattern || w->LayerTransition(0) == CVMenuADV::TransitionKind::kPattern;
    if (CVMenuWindow* sp = w->Layer(adv::LayerKind::kSprite, 1)) {
      sprite = true;
      wholeSheet = wholeSheet || sp->size.x != 64.0f || sp->size.y != 64.0f;
      cells.insert(sp->GetState());
    }
  };
  // To the council's first message (the page flipped to the castle hall, 花 back in).
  auto council = [](CVSceneADV* s, CVMenuADV* w) {
    CVMenuWindow* page = w->Layer(adv::LayerKind::kPage, w->ShownPage());
    return Waiting(s, w) && page && std::string(page->pictureName.CStr()).find("bg_castle") != std::string::npos;
  };
  ASSERT_TRUE(PlayUntil(council, {}, watch));
  EXPECT_TRUE(movie) << "the dawn comes in through the movie transition";
  EXPECT_TRUE(pattern) << "and goes through the pattern wipe";
  EXPECT_TRUE(sprite);
  EXPECT_FALSE(wholeSheet) << "one cell of the sheet at a time";
  EXPECT_GE(cells.size(), 3u) << "the petal turns through its cells";
  CVMenuADV* w = Scene()->Window();
  EXPECT_EQ(w->Layer(adv::LayerKind::kSprite, 1), nullptr) << "the petal is gone after the interlude";
  EXPECT_EQ(w->LayerTransition(0), CVMenuADV::TransitionKind::kNone);
  adv::WindowStateData saved;
  const std::vector<uint8_t> bytes = w->SaveState();
  ASSERT_TRUE(adv::DecodeWindowState(bytes.data(), bytes.size(), saved, nullptr));
  for (const adv::LayerRecord& l : saved.layers) {
    EXPECT_NE(l.kind, adv::LayerKind::kSprite) << "a save keeps no sprite";
    if (l.kind == adv::LayerKind::kEffect) {
      EXPECT_EQ(l.visible, 0) << "nor the light that went out";
    }
  }
  SetShaderMoviePort(nullptr);
}

// The window breaks its lines off closing punctuation: the council's line whose 35th character is
// "。" keeps it on the first line rather than starting the second with it.
TEST_F(StoryRun, AFullStopNeverStartsALine) {
  StartStory();
  ASSERT_EQ(GameMode, 0);
  // Trusting 影丸 at the first choice leads to the line.
  const std::string line = "影丸の知らせが確かなら、敵が峠を越えるのは明日の昼。まだ時はあります。";
  ASSERT_TRUE(PlayUntil([&](CVSceneADV* s, CVMenuADV* w) { return Waiting(s, w) && w->PageText() == line; }));
  CVMenuADV* w = Scene()->Window();
  const std::string first = w->LineText(0)->Text();
  EXPECT_EQ(first, line) << "the stop stays on the line it ends";
  EXPECT_STREQ(w->LineText(1)->Text(), "");
}

// The backlog wraps a long page within its rows: none of its lines is longer than the row holds.
TEST_F(StoryRun, TheBacklogWrapsLongLines) {
  StartStory();
  ASSERT_EQ(GameMode, 0);
  // The first choice follows the page about 影丸's past (41 characters).
  ASSERT_TRUE(PlayUntil([](CVSceneADV*, CVMenuADV* w) { return w->Bit(CVMenuADV::kWsChoice); }));
  CVMenuADV* w = Scene()->Window();
  int x = 0, y = 0;
  ButtonCentre(w, CVMenuADV::kBtnBacklog, &x, &y);
  ASSERT_GE(x, 0);
  Click(x, y, 6);
  ASSERT_TRUE(w->Bit(CVMenuADV::kWsBacklog));
  CVMenuBase* panel = w->BacklogPanel();
  bool wrapped = false;
  for (int r = 0; r < CVMenuADV::kBacklogRows; ++r) {
    CVMenuBase* row = panel->FindButtonById(CVMenuADV::kBtnBacklogRow0 + r);
    auto* t = row ? dynamic_cast<CVMenuText*>(row->FindChild(kWidgetText, 1)) : nullptr;
    ASSERT_NE(t, nullptr);
    const std::string text = t->Text();
    wrapped = wrapped || text.find('\n') != std::string::npos;
    const size_t fits = static_cast<size_t>(t->size.x / static_cast<float>(t->fontSize));
    size_t from = 0;
    while (from <= text.size()) {
      size_t to = text.find('\n', from);
      if (to == std::string::npos) to = text.size();
      EXPECT_LE(adv::SjisCharCount(std::string_view(text).substr(from, to - from)), fits) << "row " << r;
      from = to + 1;
    }
  }
  EXPECT_TRUE(wrapped) << "the long page was wrapped";
  driver_->Click({640, 360}, true, {2, 2, 6});
  EXPECT_FALSE(w->Bit(CVMenuADV::kWsBacklog)) << "a right click closes it";
}

// With the default skip setting (read messages only), Ctrl or the skip button over an unread
// message being revealed does nothing: no skip mode is left on, and once the page is whole the
// first Return advances it.
TEST_F(StoryRun, SkipOverUnreadTextLeavesReturnToAdvance) {
  StartStory();
  ASSERT_EQ(GameMode, 0);
  std::fill(GetAdvScript().readMessages.begin(), GetAdvScript().readMessages.end(), 0);
  struct Case {
    const char* name;
    bool button;
  } cases[] = {{"ctrl", false}, {"skip button", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(PlayUntil([](CVSceneADV* s, CVMenuADV* w) { return s->WaitAdvance() && w->IsMessageBusy(); }));
    CVSceneADV* s = Scene();
    CVMenuADV* w = s->Window();
    ASSERT_FALSE(w->IsMessageRead());
    const int32_t readId = w->ReadId();
    if (c.button) {
      int x = 0, y = 0;
      ButtonCentre(w, CVMenuADV::kBtnSkip, &x, &y);
      ASSERT_GE(x, 0);
      Click(x, y, 6);  // the pointer stays on the button
    } else {
      PressKey(VK_CONTROL, 10);
    }
    EXPECT_EQ(w->ReadId(), readId) << "an unread message is not skipped";
    EXPECT_TRUE(s->WaitAdvance());
    EXPECT_FALSE(s->IsSkip());
    // The page reveals on at its speed; once it is whole the first Return advances it.
    for (int i = 0; i < 600 && w->IsMessageBusy(); ++i) driver_->Tick();
    ASSERT_FALSE(w->IsMessageBusy());
    EXPECT_EQ(w->ReadId(), readId);
    PressKey(VK_RETURN);
    for (int i = 0; i < 60 && w->ReadId() == readId; ++i) driver_->Tick();
    EXPECT_NE(w->ReadId(), readId) << "the first Return advances";
  }
}

// A save made in the story is labelled as a story save, never with the clan and koku of whatever
// strategy world the program holds (here one left from an earlier game).
TEST_F(StoryRun, AStorySaveIsLabelledAsTheStory) {
  const uint8_t oldPlayer = PlayerDaimyoId;
  const DaimyoRecord oldClan = DaimyoTable[3];
  PlayerDaimyoId = 3;
  std::memset(DaimyoTable[3].name, 0, sizeof DaimyoTable[3].name);
  std::memcpy(DaimyoTable[3].name, "梓島", std::strlen("梓島"));
  DaimyoTable[3].revenue = 756;
  StartStory();
  ASSERT_EQ(GameMode, 0);
  ASSERT_TRUE(PlayUntil(Waiting));
  int x = 0, y = 0;
  ButtonCentre(Scene()->Window(), CVMenuADV::kBtnSave, &x, &y);
  ASSERT_GE(x, 0);
  Click(x, y, 6);
  ASSERT_TRUE(driver_->TicksUntil(120, [] { return GetSceneMgr().GetCurrentSceneId() == 4; }));
  driver_->Ticks(30);
  auto* menu = dynamic_cast<CVMenuSAVE*>(GetSceneById(4)->FindMenu(0));
  ASSERT_NE(menu, nullptr);
  ButtonCentre(menu, CVMenuSAVE::kFirstRow, &x, &y);
  ASSERT_GE(x, 0);
  Click(x, y, 6);
  CVMenuBase* row = menu->FindButtonById(CVMenuSAVE::kFirstRow);
  auto text = [&](int i) {
    auto* t = dynamic_cast<CVMenuText*>(row->FindChild(kWidgetText, i));
    return std::string(t ? t->Text() : "?");
  };
  EXPECT_EQ(text(2), "物語");
  EXPECT_EQ(text(3), "") << "no koku for a story save";
  // A tutorial chapter's save is a story save too.
  SlotHeader h;
  BuildSlotHeader(h, game_mode::kOtherScript);
  EXPECT_EQ(h.subPhase, 255);
  PlayerDaimyoId = oldPlayer;
  DaimyoTable[3] = oldClan;
}

}  // namespace
