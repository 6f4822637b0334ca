// The settings, save/load and tutorial screens on their sample layouts (built by the program's own
// builder) with recording front ports, plus one real slot round trip in a temporary save folder.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/game_file.h"
#include "render/dg_manager.h"
#include "save/save_slot.h"
#include "save/system_files.h"
#include "screens/front/front_ports.h"
#include "screens/front/front_scenes.h"
#include "screens/front/scene_config.h"
#include "screens/front/scene_save.h"
#include "screens/front/scene_tutorial.h"
#include "tests/support/recording_boxes.h"
#include "tests/support/temp_folder.h"
#include "tests/support/ui_graphics.h"
#include "ui/layout/layout_builder.h"
#include "ui/menus/menu_factory.h"
#include "ui/menus/menu_mgr.h"
#include "ui/scenes/scene_mgr.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_list.h"
#include "ui/widgets/menu_text.h"
#include "ui/widgets/menu_window.h"
#include "world/turn/turn_loop.h"
#include "world/world_tables.h"

namespace fs = std::filesystem;

namespace {

struct Log {
  int sysSaves = 0, sound = 0, slgSound = 0, resets = 0, windowMode = 0, render = 0, alpha = 0;
  bool sysSaveOk = true;
  std::map<int, SlotHeader> slots;  // what readSlotHeader finds
  int headerReads = 0;
  std::vector<std::pair<int, int>> saves;  // slot, game mode
  bool saveOk = true;
  std::vector<std::string> loads;
  int loadedMode = game_mode::kMainScript;
  bool loadOk = true;
  int snapshots = 0, scriptLoads = 0;
  bool scriptsOk = true;
  std::vector<int32_t> switch0;
  bool musicOn = false;
  std::vector<std::string> music;
};

SlotHeader ValidHeader(uint16_t koku, int64_t t, const char* clan) {
  SlotHeader h;
  h.valid = 1;
  std::memcpy(h.tag, kSaveVersionTag, sizeof h.tag);
  h.koku = koku;
  h.saveTime = t;
  std::strncpy(h.clanName, clan, sizeof h.clanName - 1);
  return h;
}

class FrontScreens : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path data = fs::path(V4_TEST_GAME_DIR) / "Data";
    ASSERT_TRUE(fs::exists(data / "layout" / "config.lay")) << "build the sample data first";
    ASSERT_TRUE(temp_.Made());
    fs::create_directory_symlink(data, fs::path(temp_.Path()) / "Data");
    ASSERT_TRUE(ui_.Start(temp_.Path()));
    GetSceneMgr().Reset();
    RegisterFrontScenes(GetSceneMgr());
    SetDefaultSysConfig();
    ClearPlayRecord();
    GameMode = game_mode::kMainScript;
    Record();
  }
  void TearDown() override {
    GetSceneMgr().Reset();
    ui_.Stop();
    ResetFrontPorts();
    SetDefaultSysConfig();
    ClearPlayRecord();
    GameMode = 1;
  }

  void Record() {
    FrontPorts& p = GetFrontPorts();
    p.saveSysData = [this] {
      ++log_.sysSaves;
      return log_.sysSaveOk;
    };
    p.applySoundConfig = [this] { ++log_.sound; };
    p.applySlgSoundConfig = [this] { ++log_.slgSound; };
    p.resetChannelVolumes = [this] { ++log_.resets; };
    p.applyWindowMode = [this] { ++log_.windowMode; };
    p.applyRenderOption = [this] { ++log_.render; };
    p.applyWindowAlpha = [this] { ++log_.alpha; };
    p.readSlotHeader = [this](int slot, SlotHeader& out) {
      ++log_.headerReads;
      auto it = log_.slots.find(slot);
      if (it == log_.slots.end()) return false;
      out = it->second;
      return true;
    };
    p.buildSlotHeader = [](SlotHeader& out, int) {
      out = ValidHeader(12, 1700000000, "new");
      std::memset(out.comment, 'x', sizeof out.comment);  // the screen must clear it
    };
    p.saveGameSlot = [this](int slot, int mode, const SlotHeader& h) {
      log_.saves.emplace_back(slot, mode);
      EXPECT_EQ(h.comment[0], 0);
      if (log_.saveOk) log_.slots[slot] = h;
      return log_.saveOk;
    };
    p.loadGameSlot = [this](int slot) {
      log_.loads.push_back("slot " + std::to_string(slot));
      if (!log_.loadOk) return false;
      GameMode = log_.loadedMode;
      return true;
    };
    p.quickLoad = [this](int i) {
      log_.loads.push_back("quick " + std::to_string(i));
      GameMode = log_.loadedMode;
      return true;
    };
    p.autoLoad = [this](int i) {
      log_.loads.push_back("auto " + std::to_string(i));
      GameMode = log_.loadedMode;
      return true;
    };
    p.snapshotSwitches = [this] { ++log_.snapshots; };
    p.loadTutorialScripts = [this] {
      ++log_.scriptLoads;
      return log_.scriptsOk;
    };
    p.setSwitch0 = [this](int32_t v) { log_.switch0.push_back(v); };
    p.isMusicPlaying = [this](const char*) { return log_.musicOn; };
    p.playMusic = [this](const char* f, int fade) {
      log_.music.push_back(std::string(f) + "/" + std::to_string(fade));
    };
  }

  // A scene of the class with the sample menu added (not started).
  template <typename Menu>
  Menu* MakeMenu(CVScene& scene, int32_t type, const char* layout) {
    CVMenuSceneRoot* root = CreateMenuScene(type, layout);
    auto* menu = dynamic_cast<Menu*>(root);
    EXPECT_NE(menu, nullptr) << layout;
    scene.AddMenu(root, 0);
    return menu;
  }

  // Decides a button for the next menu update (what a click does) and runs it.
  static void Decide(CVMenuBase* menu, int32_t id) {
    menu->decidedId = id;
    menu->Update(-1, -1, 0);
  }

  v4test::TempFolder temp_{"v4_front"};
  v4test::NullLayoutUi ui_;
  Log log_;
};

// ---- settings ----

TEST_F(FrontScreens, SettingsButtonsWriteTheirWordAndShowOneSelectedPerGroup) {
  CVSceneConfig scene;
  auto* menu = MakeMenu<CVMenuConfig>(scene, 70, "Data\\layout\\config.lay");
  ASSERT_NE(menu, nullptr);
  menu->Open(0, 0, 0);
  ASSERT_NE(menu->ButtonBox(), nullptr);
  for (int i = 0; i < CVMenuConfig::kSliderCount; ++i) ASSERT_NE(menu->Slider(i), nullptr) << i;
  EXPECT_EQ(menu->cancelId, CVMenuConfig::kCancel);

  struct Case {
    std::vector<int32_t> presses;
    int word;
    uint32_t value;
    int32_t selected;  // the only button of the group in the selected look
    std::vector<int32_t> group;
  };
  const Case cases[] = {
      {{10000}, kCfgVoiceMode, 1, 10000, {10000, 10001}},
      {{10000, 10001}, kCfgVoiceMode, 0, 10001, {10000, 10001}},
      {{10003}, kCfgSkipMode, 1, 10003, {10002, 10003}},
      {{10005}, kCfgWindowOption, 0, 10005, {10004, 10005}},
      {{10007}, kCfgBattleAnimation, 0, 10007, {10006, 10007}},
      {{10008, 10010}, kCfgBattleStart, 1, 10010, {10008, 10009, 10010}},
      {{10009}, kCfgBattleStart, 0, 10009, {10008, 10009, 10010}},
      {{10014}, kCfgWindowMode, 1, 10014, {10013, 10014}},
      {{10014, 10013}, kCfgWindowMode, 0, 10013, {10013, 10014}},
  };
  for (const Case& c : cases) {
    for (int32_t id : c.presses) Decide(menu, id);
    EXPECT_EQ(menu->Copy()[c.word], c.value) << c.presses.back();
    for (int32_t id : c.group)
      EXPECT_EQ(menu->ButtonBox()->FindButtonById(id)->TestFlag(kWfRest4), id == c.selected) << id;
  }
  // The battle-results pair stays disabled and cannot change its word.
  const uint32_t before = menu->Copy()[kCfgBattleResults];
  for (int32_t id : {10011, 10012}) {
    EXPECT_FALSE(menu->ButtonBox()->FindButtonById(id)->TestFlag(kWfEnabled));
    EXPECT_FALSE(menu->PressButton(id));
  }
  EXPECT_EQ(menu->Copy()[kCfgBattleResults], before);
  // Nothing was applied by editing.
  EXPECT_EQ(log_.sysSaves, 0);
  EXPECT_EQ(SysConfigBlock[kCfgWindowMode], 0u);
}

TEST_F(FrontScreens, SlidersStoreTheirLevelClampedWithTheOnOffCompanion) {
  CVSceneConfig scene;
  auto* menu = MakeMenu<CVMenuConfig>(scene, 70, "Data\\layout\\config.lay");
  ASSERT_NE(menu, nullptr);
  menu->Open(0, 0, 0);
  struct Case {
    int slider;
    int32_t value;
    int level, onOff;
    uint32_t wantLevel, wantOn;
  };
  const Case cases[] = {
      {0, 0, kCfgAdvMusicLevel, kCfgAdvMusicOn, 0, 0},
      {0, 3, kCfgAdvMusicLevel, kCfgAdvMusicOn, 3, 1},
      {1, 9, kCfgAdvEffectsLevel, kCfgAdvEffectsOn, 9, 1},
      {2, 0, kCfgAdvVoiceLevel, kCfgAdvVoiceOn, 0, 0},
      {3, 5, kCfgAutoSpeed, -1, 5, 0},
      {4, 1, kCfgTextSpeed, -1, 1, 0},
      {5, 8, kCfgWindowOpacity, -1, 8, 0},
      {6, 2, kCfgSlgMusicLevel, kCfgSlgMusicOn, 2, 1},
      {7, 0, kCfgSlgEffectsLevel, kCfgSlgEffectsOn, 0, 0},
      {8, 7, kCfgSlgVoiceLevel, kCfgSlgVoiceOn, 7, 1},
      // A bar whose maximum lets it go past 9 stores 9, and the bar is set back to 9.
      {0, 14, kCfgAdvMusicLevel, kCfgAdvMusicOn, 9, 1},
      {4, 40, kCfgTextSpeed, -1, 9, 0},
  };
  for (const Case& c : cases) {
    menu->Slider(c.slider)->value = c.value;
    menu->Update(-1, -1, 0);
    EXPECT_EQ(menu->Copy()[c.level], c.wantLevel) << c.slider << " at " << c.value;
    if (c.onOff >= 0) {
      EXPECT_EQ(menu->Copy()[c.onOff], c.wantOn) << c.slider << " at " << c.value;
    }
    EXPECT_EQ(menu->Slider(c.slider)->value, static_cast<int32_t>(c.wantLevel));
  }
}

TEST_F(FrontScreens, ConfirmWritesAndAppliesAtOnceCancelChangesNothing) {
  GetSceneMgr().SetSceneTable(SceneFlowTable{});
  {
    CVSceneConfig scene;
    auto* menu = MakeMenu<CVMenuConfig>(scene, 70, "Data\\layout\\config.lay");
    menu->Open(0, 0, 0);
    Decide(menu, 10014);
    menu->Slider(0)->value = 0;
    menu->Update(-1, -1, 0);
    // Cancel: the scene's result is 2 and nothing reaches the settings.
    Decide(menu, CVMenuConfig::kCancel);
    EXPECT_EQ(log_.sysSaves, 0);
    EXPECT_EQ(SysConfigBlock[kCfgWindowMode], 0u);
    EXPECT_NE(SysConfigBlock[kCfgAdvMusicLevel], 0u);
  }
  {
    CVSceneConfig scene;
    auto* menu = MakeMenu<CVMenuConfig>(scene, 70, "Data\\layout\\config.lay");
    menu->Open(0, 0, 0);
    Decide(menu, 10014);
    menu->Slider(0)->value = 0;
    menu->Update(-1, -1, 0);
    Decide(menu, CVMenuConfig::kApply);
    EXPECT_EQ(SysConfigBlock[kCfgWindowMode], 1u);
    EXPECT_EQ(SysConfigBlock[kCfgAdvMusicLevel], 0u);
    EXPECT_EQ(SysConfigBlock[kCfgAdvMusicOn], 0u);
    EXPECT_EQ(log_.sysSaves, 1);
    EXPECT_EQ(log_.sound, 1);
    EXPECT_EQ(log_.windowMode, 1);
    EXPECT_EQ(log_.render, 1);
    EXPECT_EQ(log_.alpha, 0);  // no scenario scene
    // A failed write still leaves the settings in effect, and says so.
    log_.sysSaveOk = false;
    EXPECT_FALSE(menu->Apply());
    EXPECT_EQ(SysConfigBlock[kCfgWindowMode], 1u);
  }
}

TEST_F(FrontScreens, SettingsSceneRestoresTheGameModeAndItsSoundSetOnLeave) {
  for (int32_t mode : {game_mode::kSlg, game_mode::kMainScript}) {
    log_ = Log{};
    GameMode = mode;
    CVSceneConfig scene;
    scene.OnEnter();
    EXPECT_EQ(GameMode, game_mode::kFrontScreen);
    scene.OnLeave();
    EXPECT_EQ(GameMode, mode);
    EXPECT_EQ(log_.slgSound, mode == game_mode::kSlg ? 1 : 0);
    EXPECT_EQ(log_.sound, mode == game_mode::kSlg ? 0 : 1);
    EXPECT_EQ(log_.resets, 1);
  }
}

// ---- save and load ----

TEST_F(FrontScreens, PageAndSlotTables) {
  struct SlotCase {
    int32_t page, row, slot;
  };
  for (const SlotCase& c :
       {SlotCase{0, 0, 0}, SlotCase{3, 7, 37}, SlotCase{9, 9, 99}, SlotCase{10, 0, 100}, SlotCase{11, 9, 119},
        SlotCase{12, 0, -1}, SlotCase{0, 10, -1}, SlotCase{-1, 0, -1}, SlotCase{2, -1, -1}})
    EXPECT_EQ(CVMenuSAVE::SlotIndex(c.page, c.row), c.slot) << c.page << "," << c.row;
  struct KindCase {
    int32_t slot, index, page;
  };
  for (const KindCase& c : {KindCase{0, 0, 0}, KindCase{99, 99, 9}, KindCase{100, 0, 9}, KindCase{109, 9, 9},
                            KindCase{110, 0, 9}, KindCase{119, 9, 9}, KindCase{120, -1, 9}, KindCase{-1, -1, 0}}) {
    EXPECT_EQ(CVMenuSAVE::IndexInKind(c.slot), c.index) << c.slot;
    EXPECT_EQ(CVMenuSAVE::PageOfSlot(c.slot), c.page) << c.slot;
  }
  PlayRecordBlock.lastSlot = 37;
  EXPECT_EQ(CVMenuSAVE::PageOfLastSave(), 3);
  PlayRecordBlock.lastSlot = kPlcNone;
  EXPECT_EQ(CVMenuSAVE::PageOfLastSave(), 0);
  PlayRecordBlock.lastQuick = 4;
  EXPECT_TRUE(CVMenuSAVE::IsLastSaved(104));
  EXPECT_FALSE(CVMenuSAVE::IsLastSaved(114));
}

TEST_F(FrontScreens, HeadersAreReadOncePerPageAndOnlyThisVersionCounts) {
  SlotHeader other = ValidHeader(5, 1700000000, "other");
  other.tag[26] = '1';  // another version
  SlotHeader longer = ValidHeader(5, 1700000000, "long");
  longer.tag[27] = 'X';  // the tag runs on past its end
  SlotHeader cleared = ValidHeader(5, 1700000000, "cleared");
  cleared.valid = 0;
  log_.slots[30] = ValidHeader(5, 1700000000, "ok");
  log_.slots[30].picture = 21;
  log_.slots[31] = other;
  log_.slots[32] = longer;
  log_.slots[33] = cleared;
  PlayRecordBlock.lastSlot = 30;

  CVSceneSAVE scene(5, 1);
  auto* menu = MakeMenu<CVMenuSAVE>(scene, 60, "Data\\layout\\save.lay");
  ASSERT_NE(menu, nullptr);
  menu->Open(1, 0, 0);
  EXPECT_EQ(menu->CurrentPage(), 3);
  EXPECT_EQ(log_.headerReads, 10);
  EXPECT_TRUE(menu->IsSlotValid(30));
  for (int32_t s : {31, 32, 33, 34}) EXPECT_FALSE(menu->IsSlotValid(s)) << s;
  // The row shows the save; an invalid one shows as empty and cannot be loaded.
  auto* text = dynamic_cast<CVMenuText*>(menu->RowButton(0)->FindChild(kWidgetText, 2));
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::string(text->Text()), "ok");
  EXPECT_FALSE(menu->RowButton(1)->TestFlag(kWfEnabled));
  EXPECT_FALSE(menu->Load(3, 1));
  // The clan head's face (picture 21 is the sixth of the sixteen sample faces) in its copy drawn at
  // the row's 36 pixels, none on an empty row.
  auto* face = dynamic_cast<CVMenuWindow*>(menu->RowButton(0)->FindChild(kWidgetSprite, 0));
  ASSERT_NE(face, nullptr);
  EXPECT_EQ(std::string(face->pictureName.CStr()), "Data\\Image\\face\\f05_36x36.png");
  EXPECT_TRUE(face->TestFlag(kWfShown));
  EXPECT_FALSE(menu->RowButton(1)->FindChild(kWidgetSprite, 0)->TestFlag(kWfShown));

  Decide(menu, CVMenuSAVE::kFirstTab + 10);
  EXPECT_EQ(menu->CurrentPage(), 10);
  EXPECT_EQ(log_.headerReads, 20);
  Decide(menu, CVMenuSAVE::kFirstTab + 3);
  EXPECT_EQ(log_.headerReads, 20);
  // Out-of-range pages are refused.
  menu->SetPage(12);
  menu->SetPage(-1);
  EXPECT_EQ(menu->CurrentPage(), 3);
}

TEST_F(FrontScreens, SavingAnEmptyRowAtOnceAndAFailedSaveKeepsTheOldHeader) {
  GameMode = game_mode::kSlg;
  CVSceneSAVE scene(4, 0);
  auto* menu = MakeMenu<CVMenuSAVE>(scene, 60, "Data\\layout\\save.lay");
  scene.OnEnter();  // saves mode 11, the screen itself is mode 5
  menu->Open(0, 0, 0);
  // In save mode the auto ring's tab is hidden and its page cannot be chosen.
  EXPECT_FALSE(menu->FindButtonById(CVMenuSAVE::kFirstTab + 11)->TestFlag(kWfShown));
  Decide(menu, CVMenuSAVE::kFirstTab + 11);
  EXPECT_EQ(menu->CurrentPage(), 0);

  Decide(menu, CVMenuSAVE::kFirstRow + 3);
  ASSERT_EQ(log_.saves.size(), 1u);
  EXPECT_EQ(log_.saves[0], std::make_pair(3, game_mode::kSlg));
  EXPECT_TRUE(menu->IsSlotValid(3));
  EXPECT_FALSE(menu->QuestionPending());

  // The quick ring takes saves too.
  Decide(menu, CVMenuSAVE::kFirstTab + 10);
  Decide(menu, CVMenuSAVE::kFirstRow + 2);
  ASSERT_EQ(log_.saves.size(), 2u);
  EXPECT_EQ(log_.saves[1].first, 102);

  log_.saveOk = false;
  EXPECT_FALSE(menu->Save(0, 4));
  EXPECT_FALSE(menu->IsSlotValid(4));
  scene.OnLeave();
  EXPECT_EQ(GameMode, game_mode::kSlg);
}

TEST_F(FrontScreens, ALoadedRowIsNotLoadedAgainOnTheNextFrames) {
  log_.slots[3] = ValidHeader(5, 1700000000, "a");
  log_.slots[105] = ValidHeader(5, 1700000000, "q");
  log_.slots[117] = ValidHeader(5, 1700000000, "z");
  log_.loadedMode = game_mode::kSlg;
  CVSceneSAVE scene(5, 1);
  auto* menu = MakeMenu<CVMenuSAVE>(scene, 60, "Data\\layout\\save.lay");
  scene.OnEnter();
  menu->Open(1, 0, 0);
  Decide(menu, CVMenuSAVE::kFirstRow + 3);
  ASSERT_EQ(log_.loads, std::vector<std::string>{"slot 3"});
  // The row id is still this frame's decision (the scene's result code) ...
  EXPECT_EQ(menu->decidedId, CVMenuSAVE::kFirstRow + 3);
  // ... but the following frames do not load again.
  for (int i = 0; i < 3; ++i) menu->Update(-1, -1, 0);
  EXPECT_EQ(log_.loads.size(), 1u);
  EXPECT_EQ(scene.SavedGameMode(), game_mode::kSlg);

  Decide(menu, CVMenuSAVE::kFirstTab + 10);
  Decide(menu, CVMenuSAVE::kFirstRow + 5);
  menu->Update(-1, -1, 0);  // the frame after a load
  Decide(menu, CVMenuSAVE::kFirstTab + 11);
  Decide(menu, CVMenuSAVE::kFirstRow + 7);
  EXPECT_EQ(log_.loads, (std::vector<std::string>{"slot 3", "quick 5", "auto 7"}));
  scene.OnLeave();
  EXPECT_EQ(GameMode, game_mode::kSlg);
}

// A save that cannot be written and a slot that does not load are told to the player; the screen
// stays, the rows keep what they showed and no scene change is asked for.
TEST_F(FrontScreens, AFailedSaveOrLoadIsReportedAndChangesNothing) {
  v4test::RecordingBoxes boxes;
  SetErrorBoxPresenter(&boxes);
  log_.slots[2] = ValidHeader(5, 1700000000, "old");
  log_.saveOk = false;
  log_.loadOk = false;
  for (int32_t mode : {0, 1}) {
    boxes.boxes.clear();
    CVSceneSAVE scene(4 + mode, mode);
    auto* menu = MakeMenu<CVMenuSAVE>(scene, 60, "Data\\layout\\save.lay");
    scene.OnEnter();
    menu->Open(mode, 0, 0);
    const int32_t gameMode = GameMode;
    Decide(menu, CVMenuSAVE::kFirstRow + (mode == 0 ? 4 : 2));
    ASSERT_EQ(boxes.boxes.size(), 1u) << mode;
    EXPECT_EQ(boxes.boxes[0].title, mode == 0 ? "CVMenuSAVE::Save" : "CVMenuSAVE::Load");
    EXPECT_FALSE(menu->IsSlotValid(4)) << mode;
    EXPECT_TRUE(menu->IsSlotValid(2)) << mode;
    EXPECT_EQ(GameMode, gameMode) << mode;
    EXPECT_EQ(GetSceneMgr().GetRequest().target, 0) << mode;
    // The next frame does not try again by itself.
    menu->Update(-1, -1, 0);
    EXPECT_EQ(boxes.boxes.size(), 1u) << mode;
    scene.OnLeave();
  }
  EXPECT_EQ(log_.saves.size(), 1u);
  EXPECT_EQ(log_.loads, std::vector<std::string>{"slot 2"});
  SetErrorBoxPresenter(nullptr);
}

TEST_F(FrontScreens, RealSlotRoundTripThroughTheScreen) {
  ResetFrontPorts();
  GameMode = game_mode::kSlg;
  ResetSlgTurnState();  // a load checks the world words whole: a new game's world
  GameYear = 1551;
  {
    CVSceneSAVE scene(4, 0);
    auto* menu = MakeMenu<CVMenuSAVE>(scene, 60, "Data\\layout\\save.lay");
    scene.OnEnter();
    menu->Open(0, 0, 0);
    ASSERT_TRUE(menu->Save(0, 3));
    EXPECT_TRUE(menu->IsSlotValid(3));
    scene.OnLeave();
  }
  EXPECT_EQ(PlayRecordBlock.lastSlot, 3);
  CVSceneSAVE scene(5, 1);
  auto* menu = MakeMenu<CVMenuSAVE>(scene, 60, "Data\\layout\\save.lay");
  scene.OnEnter();
  menu->Open(1, 0, 0);
  EXPECT_EQ(menu->CurrentPage(), 0);
  EXPECT_TRUE(menu->IsSlotValid(3));
  EXPECT_TRUE(CVMenuSAVE::IsLastSaved(3));
  GameMode = game_mode::kMainScript;
  EXPECT_TRUE(menu->Load(0, 3));
  EXPECT_EQ(GameMode, game_mode::kSlg);
  scene.OnLeave();
}

// ---- tutorial ----

TEST_F(FrontScreens, TutorialChapterButtons) {
  struct Case {
    int32_t hit;
    bool scriptsOk;
    bool starts;
  };
  for (const Case& c : {Case{10003, true, true}, Case{10000, true, true}, Case{10008, true, true},
                        Case{10003, false, false}, Case{10009, true, false}, Case{9999, true, false}}) {
    log_ = Log{};
    log_.scriptsOk = c.scriptsOk;
    GameMode = game_mode::kScriptEnded;
    GetSceneMgr().Reset();
    CVSceneTutorial scene;
    scene.UpdateMainMenu(0, 0, 0, c.hit);
    EXPECT_EQ(GameMode, c.starts ? game_mode::kOtherScript : game_mode::kScriptEnded) << c.hit;
    EXPECT_EQ(log_.switch0, c.starts ? std::vector<int32_t>{c.hit - 10000} : std::vector<int32_t>{}) << c.hit;
    EXPECT_EQ(GetSceneMgr().GetRequest().target, c.starts ? 2 : 0) << c.hit;
    if (c.starts) {
      EXPECT_EQ(GetSceneMgr().GetRequest().push, 1);
    }
  }
  // The title music is started only when it is not already on.
  for (bool on : {true, false}) {
    log_ = Log{};
    log_.musicOn = on;
    CVSceneTutorial scene;
    scene.OnEnter();
    EXPECT_EQ(log_.music.size(), on ? 0u : 1u);
  }
}

TEST_F(FrontScreens, TutorialWithoutACoverHidesTheBlendMaskAndKeepsItsPanel) {
  CVSceneTutorial scene;
  CVMenuSceneRoot* root = CreateMenuScene(10, "Data\\layout\\tutorial.lay");
  ASSERT_NE(root, nullptr);
  scene.AddMenu(root, 0);
  scene.OnStart();
  ASSERT_NE(scene.Panel(), nullptr);
  CVMenuBase* blend = scene.Panel()->FindChild(kWidgetSprite, 3);
  ASSERT_NE(blend, nullptr);
  EXPECT_FALSE(blend->TestFlag(kWfShown));
  EXPECT_TRUE(scene.Panel()->TestFlag(kWfShown));
  EXPECT_EQ(root->cancelId, CVSceneTutorial::kBack);
  for (int32_t id = 10000; id <= 10008; ++id) EXPECT_NE(root->FindButtonById(id), nullptr) << id;
}

}  // namespace
