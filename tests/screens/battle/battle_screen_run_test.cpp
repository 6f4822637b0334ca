// A battle the player commands, through the headless frame driver on the built sample data: the
// battle scene opens when his clan attacks, a scripted player deploys (formation, commander,
// lanes, confirm) and gives every order by clicking the shown buttons, and the battle ends and
// returns from the scene. The scene's phases, command sets and picks are checked on the way.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <vector>
#include <memory>
#include <string>

#include "battle/battle_orders.h"
#include "core/app_state.h"
#include "core/debug_words.h"
#include "core/frame_services.h"
#include "core/game_file.h"
#include "core/step_machine.h"
#include "platform/gl/null_device.h"
#include "platform/image/png_file.h"
#include "render/dg_manager.h"
#include "screens/battle/field_view.h"
#include "screens/battle/kassen_field3d.h"
#include "screens/battle/scene_kassen.h"
#include "screens/strategy/scene_info_detail.h"
#include "sound/busyo_voice.h"
#include "sound/sound.h"
#include "sound/sound_pack.h"
#include "tests/battle/battle_fixture.h"
#include "tests/support/device_frame_graphics.h"
#include "tests/support/frame_driver.h"
#include "tests/support/game_data_folder.h"
#include "tests/support/screen_run.h"
#include "ui/menus/menu_mgr.h"
#include "ui/scenes/scene_dlg.h"
#include "ui/scenes/scene_frame_adapter.h"
#include "core/frame_wait.h"
#include "ui/scenes/scene_mgr.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_pbar.h"
#include "ui/widgets/menu_text.h"
#include "ui/widgets/widget_model.h"
#include "world/scenario_tables.h"
#include "world/world_queries.h"

namespace fs = std::filesystem;

namespace {

int g_target = -1;
bool g_battleDone = false;

// Game mode 11 runs the war phase's battle step as the turn loop would.
class BattleHooks : public FrameGameHooks {
 public:
  void RunTurnLoop() override {
    // The turn loop holds while a frame wait runs.
    if (g_battleDone || g_FrameWaitCounter.load() > 0) return;
    StepPush();
    Battle().BattleRun(g_target);
    g_battleDone = StepPop();
  }
};

class BattleScreenRun : public BattleWorldTest {
 protected:
  void SetUp() override {
    BattleWorldTest::SetUp();
    const fs::path data = fs::path(V4_TEST_GAME_DIR) / "Data";
    ASSERT_TRUE(fs::exists(data / "layout" / "kassen.lay")) << "build the sample data first";
    ASSERT_TRUE(folder_.Ready()) << "no temporary game folder";
  }
  // The device (null, or real GL offscreen), the scenes and the frame driver.
  bool Start(bool gl) {
    dg_ = new CDGManager();
    graphics_ = std::make_unique<v4test::DeviceFrameGraphics>(dg_);
    driver_ = std::make_unique<FrameDriver>(&scenes_, &hooks_, graphics_.get());
    if (!(gl ? v4test::StartGlDevice(*driver_, dg_) : v4test::StartNullDevice(dg_))) return false;
    InstallRenderMenuModels();
    GetMenuMgr().Init(GetModuleDir());
    GetSceneMgr().Reset();
    if (!InitSceneSystem()) return false;
    RegisterBattleScenes(GetSceneMgr());
    // A plain scene stands for the strategy map the battle is pushed over.
    GetSceneMgr().SetSceneFactory(1, [](int32_t id) -> CVScene* { return new CVScene(-1, id); });
    return GetSceneMgr().ChangeScene(1, 0);
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

  // Clicks a shown button of the current scene's first menu (real input through the frame).
  bool ClickButton(int id) {
    CVScene* scene = GetSceneMgr().GetCurrentScene();
    CVMenuBase* menu = scene ? scene->FindMenu(0) : nullptr;
    CVMenuBtn* b = menu ? menu->FindButtonById(id) : nullptr;
    if (!b || !b->TestFlag(kWfShown) || b->TestFlag(kWfNoHit)) return false;
    driver_->Click(v4test::ButtonCentre(menu, id), false, {1, 1, 2});
    ++clicks_;
    return true;
  }
  // The first shown, enabled command button whose code is in the list (in list order).
  bool ClickCommand(std::initializer_list<int> codes) {
    CVSceneKassen* scene = Scene();
    for (int code : codes)
      for (int i = 0; i < kKassenCommandButtons; ++i)
        if (scene->ResultOfHit(300 + i) == code && ClickButton(300 + i)) return true;
    for (int i = 0; i < kKassenCommandButtons; ++i)
      if (scene->ResultOfHit(300 + i) >= 10 && ClickButton(300 + i)) return true;
    return false;
  }

  // The player's clan attacks the target; the war phase's battle step runs in game mode 11.
  void BeginPlayerBattle() {
    PlayerDaimyoId = static_cast<uint8_t>(clanA);
    SetBattlePort(&rulesPort_);
    SetBattleScreenPort(&GetKassenScreenPort());
    SetGameRandState(5);
    StepReset();
    g_target = target;
    g_battleDone = false;
    GameMode = game_mode::kSlg;
  }

  bool ClickExactly(int code) {
    for (int i = 0; i < kKassenCommandButtons; ++i)
      if (Scene()->ResultOfHit(300 + i) == code && ClickButton(300 + i)) return true;
    return false;
  }
  // The first unit panel the phase lets the player pick.
  // Its general, read before the click (the rules may re-sort the units at once).
  int ClickPickablePanel() {
    for (int i = 0; i < kBattleUnits; ++i) {
      const uint16_t general = g_Battle.sides[0].units[i].general;
      if (Scene()->PanelSelectable(i) && ClickButton(2000 + i)) return general;
    }
    return -1;
  }

  // What a player does in each phase of the battle scene. With `tryAll` he also browses the units
  // once, swaps a unit and sends the detached force when he can.
  void Play() {
    const int sceneId = GetSceneMgr().GetCurrentSceneId();
    if (sceneId == 10) {
      if (!ClickButton(1)) driver_->Ticks(1);  // yes, once the question shows
      return;
    }
    CVSceneKassen* scene = Scene();
    if (!scene) {
      driver_->Ticks(1);
      return;
    }
    phasesSeen_.insert(scene->GetPhase());
    // The player watches what the field shows before he gives his next order (the rules wait for
    // it too; a pick made meanwhile would only be replaced by the next one).
    if (scene->IsActionPlaying()) {
      ++watched_;
      driver_->Ticks(1);
      return;
    }
    const BattleSide& side = g_Battle.sides[0];
    // The order menu offers what the enable table allows the unit being ordered, never what it
    // allowed the unit before.
    const bool playersTurn = g_Battle.currentActor >= 0 &&
                             g_Battle.currentActor < static_cast<int>(g_Battle.order.size()) &&
                             g_Battle.order[g_Battle.currentActor].side == 0;
    if (scene->GetPhase() == 12 && playersTurn)
      for (int i = 0; i < kKassenCommandButtons; ++i) {
        const KassenCommandEntry e = KassenCommandSet(CommandSetOf12(), i);
        if (e.code >= 10 && e.code != 25 && (scene->ResultOfHit(300 + i) == e.code) != IsBattleCommandEnabled(e.code))
          ++staleCommands_;
      }
    switch (scene->GetPhase()) {
      case 5:
        if (holdsCastle_ ? ClickExactly(40) : ClickCommand({10, 13, 14})) return;
        break;
      case 8:
        for (int i = 0; i < kBattleUnits; ++i)
          if (side.units[i].general != kNoUnitGeneral && ClickButton(2000 + i)) return;
        break;
      case 7: {
        int cmd = CommanderUnit(0);
        if (cmd >= 0 && side.units[cmd].lane == kNoLane && ClickButton(2000 + cmd)) return;
        for (int i = 0; i < kBattleUnits; ++i)
          if (side.units[i].general != kNoUnitGeneral && side.units[i].lane == kNoLane && side.units[i].soldiers > 0 &&
              ClickButton(2000 + i))
            return;
        break;
      }
      case 12:
        if (tryAll_ && !browsed_ && ClickButton(402)) return;
        if (tryAll_ && swapped_ < 0 && ClickExactly(20)) return;
        if (tryAll_ && detached_ < 0 && !detachTried_ && ClickExactly(26)) {
          detachTried_ = true;
          return;
        }
        // Waiting keeps the scene in the order menu's phase for the next unit.
        if (waits_ ? ClickCommand({23}) : ClickCommand({16, 24, 23})) {
          ++orders_;
          return;
        }
        break;
      case 13:
        if (ClickCommand({28, 27, 29})) return;
        break;
      case 14:
        if (ClickCommand({15, 19})) return;
        break;
      case 15:  // the commander's orders: the detached force, else back
        if (ClickExactly(21) || ClickButton(200)) return;
        break;
      case 9:
        if ((swapped_ = ClickPickablePanel()) >= 0) return;
        break;
      case 10:
        if ((detached_ = ClickPickablePanel()) >= 0) return;
        break;
      case 21:  // browsing: one unit's details, then back to the order
        if (!browsed_) {
          const uint16_t general = side.units[0].general;
          if (ClickButton(2000)) {
            browsed_ = true;
            browsedName_ = GetBusyoName(general);
            return;
          }
        }
        if (detail_.empty()) {
          driver_->Ticks(1);
          detail_ = scene->Message();
          return;
        }
        if (ClickButton(200)) return;
        break;
      case 16:
      case 18:
        if (ClickCommand({50, 51, 40, 41})) return;
        break;
      default:
        break;
    }
    driver_->Ticks(1);
  }

  RulesBattlePort rulesPort_;
  v4test::GameDataFolder folder_{"v4_kassen"};
  CDGManager* dg_ = nullptr;
  SceneFrameAdapter scenes_;
  BattleHooks hooks_;
  std::unique_ptr<v4test::DeviceFrameGraphics> graphics_;
  std::unique_ptr<FrameDriver> driver_;
  std::set<int> phasesSeen_;
  int clicks_ = 0;
  int orders_ = 0;
  int watched_ = 0;  // frames the player waited for the field
  bool tryAll_ = false;
  bool holdsCastle_ = false;
  int staleCommands_ = 0;
  bool waits_ =
      false;  // the player has every unit wait  // order-menu buttons whose state the enable table no longer gives
  // The command set of the order menu for the current actor (2 a unit, 3 or 4 the commander).
  static int CommandSetOf12() {
    const int a = g_Battle.currentActor;
    if (a < 0 || a >= static_cast<int>(g_Battle.order.size())) return 2;
    const BattleOrderEntry& e = g_Battle.order[a];
    if (!g_Battle.sides[e.side].units[e.unit].commander) return 2;
    return g_Battle.sides[e.side].countdown != 0 ? 3 : 4;
  }  // the defending player holds the castle from the formation question
  bool browsed_ = false;
  bool detachTried_ = false;
  int swapped_ = -1;
  int detached_ = -1;
  bool swapLanded_ = false;
  std::string detail_;
  std::string browsedName_;
};

TEST_F(BattleScreenRun, ThePlayerCommandsAWholeBattleAndItEnds) {
  ASSERT_TRUE(Start(false));
  Build({25, 25, 20}, {40, 40, 30});
  BeginPlayerBattle();
  bool opened = false;
  float fast = 0, slow = 0;
  for (int i = 0; i < 20000 && !g_battleDone; ++i) {
    Play();
    opened |= GetSceneMgr().GetCurrentSceneId() == 8;
    // Holding Ctrl runs the scene five times as fast; releasing it, at normal speed again.
    if (fast == 0 && Scene() && Scene()->GetPhase() == 12) {
      driver_->SetKey(VK_CONTROL, true);
      driver_->Ticks(1);
      fast = Scene() ? Scene()->GetSpeed() : -1;
      driver_->SetKey(VK_CONTROL, false);
      driver_->Ticks(1);
      slow = Scene() ? Scene()->GetSpeed() : -1;
    }
  }
  EXPECT_EQ(fast, 5.0f);
  EXPECT_EQ(slow, 1.0f);
  ASSERT_TRUE(g_battleDone) << "the battle ended; game mode " << GameMode << ", scene "
                            << GetSceneMgr().GetCurrentSceneId() << ", phase " << (Scene() ? Scene()->GetPhase() : -1)
                            << ", step " << g_StepMachine.step[0];
  EXPECT_TRUE(opened) << "the battle scene opened";
  EXPECT_EQ(GetSceneMgr().GetCurrentSceneId(), 1) << "the battle returned to the scene below";
  EXPECT_EQ(GetSceneById(8), nullptr);
  EXPECT_EQ(g_Battle.mode, 2);
  EXPECT_TRUE(phasesSeen_.count(5) && phasesSeen_.count(7)) << "the player deployed";
  EXPECT_TRUE(phasesSeen_.count(12)) << "the player gave orders";
  EXPECT_GT(clicks_, 5);
  EXPECT_GE(orders_, 3) << "orders in more than one turn";
  EXPECT_GT(watched_, 0) << "the field presented what the rules did, and the battle waited for it";
  EXPECT_NE(g_Battle.sides[0].status | g_Battle.sides[1].status, 0) << "one side was beaten or left";
  EXPECT_EQ(StationedCount(target, true), 0);
  ExpectClean();
}

// With reserve units the player also browses his units (and back), swaps a reserve unit of his
// choice into a lane and sends one as the detached force; the battle still ends.
TEST_F(BattleScreenRun, ThePlayerSwapsSendsTheDetachedForceAndBrowses) {
  ASSERT_TRUE(Start(false));
  Build({25, 25, 20, 20, 15, 15}, {40, 40, 30});
  BeginPlayerBattle();
  tryAll_ = true;
  uint16_t swappedIn = kNoUnitGeneral, sentOut = kNoUnitGeneral;
  bool detachedStood = false;
  for (int i = 0; i < 30000 && !g_battleDone; ++i) {
    Play();
    if (swapped_ >= 0) swappedIn = static_cast<uint16_t>(swapped_);
    if (detached_ >= 0) sentOut = static_cast<uint16_t>(detached_);
    if (sentOut != kNoUnitGeneral && g_Battle.laneCount < kBattleUnits) {
      const BattleFieldSlot& d = g_Battle.slots[0][g_Battle.laneCount];
      detachedStood |= d.unit < kBattleUnits && g_Battle.sides[0].units[d.unit].general == sentOut;
    }
    if (swappedIn != kNoUnitGeneral && !swapLanded_) {
      for (const BattleUnit& u : g_Battle.sides[0].units)
        swapLanded_ |= u.general == swappedIn && u.lane < g_Battle.laneCount;
    }
  }
  ASSERT_TRUE(g_battleDone) << "the battle ended; scene " << GetSceneMgr().GetCurrentSceneId() << ", phase "
                            << (Scene() ? Scene()->GetPhase() : -1);
  EXPECT_TRUE(browsed_ && phasesSeen_.count(21)) << "the player browsed his units";
  EXPECT_FALSE(browsedName_.empty());
  EXPECT_NE(detail_.find(browsedName_), std::string::npos) << "the unit's details: " << detail_;
  EXPECT_NE(swappedIn, kNoUnitGeneral) << "the player picked a unit to swap in";
  EXPECT_TRUE(swapLanded_) << "his pick came into the lane";
  EXPECT_NE(sentOut, kNoUnitGeneral) << "the player picked the detached force";
  EXPECT_TRUE(detachedStood) << "his pick stood in the detached position";
  EXPECT_EQ(GetSceneMgr().GetCurrentSceneId(), 1);
  ExpectClean();
}

// The defending player holds the castle from the formation question: the battle says so, goes on
// to the siege in its scene, shows every round's attack and how the siege ended, and the castle
// changes hands exactly as the outcome says.
TEST_F(BattleScreenRun, HoldingTheCastleAtDeploymentGoesOnToTheSiege) {
  ASSERT_TRUE(Start(false));
  Build({40, 40, 40, 30}, {10, 10});
  SiroTable[target].level = 20;
  BeginPlayerBattle();
  PlayerDaimyoId = static_cast<uint8_t>(clanD);  // the player defends
  holdsCastle_ = true;
  std::vector<std::string> messages;
  bool siegeShown = false;
  for (int i = 0; i < 20000 && !g_battleDone; ++i) {
    Play();
    if (CVSceneKassen* s = Scene()) {
      const std::string m = s->Message();
      if (!m.empty() && (messages.empty() || messages.back() != m)) messages.push_back(m);
      siegeShown |= s->DisplayMode() == 3;
    }
  }
  ASSERT_TRUE(g_battleDone);
  auto shown = [&](const std::string& part) {
    for (const std::string& m : messages)
      if (m.find(part) != std::string::npos) return true;
    return false;
  };
  std::string all;
  for (const std::string& m : messages) all += m + " / ";
  EXPECT_TRUE(shown("は、篭城しました")) << all;
  EXPECT_TRUE(siegeShown) << "the siege was shown in the battle scene";
  EXPECT_TRUE(shown("に強襲されました") || shown("に包囲されました")) << all;
  EXPECT_TRUE(shown("落城しました") || shown("城を守りました")) << all;
  EXPECT_EQ(SiroTable[target].owner == clanA, g_Battle.outcome == 1);
  ExpectClean();
}

// A battle in rain plays the rain's loop while the battle scene shows and not after it; in debug
// mode Space turns the field's free camera on and off through the scene's own input.
TEST_F(BattleScreenRun, RainLoopsWhileTheSceneShowsAndSpaceTogglesTheDebugCamera) {
  ASSERT_TRUE(Start(false));
  ASSERT_NE(InitSoundCapture(), nullptr);
  StartSoundStreams();
  for (int ch = 0; ch < kSoundChannelCount; ++ch) SetChannelVolumeLevel(ch, 4);
  SetSoundWindowActive(true);
  Build({25, 25, 20}, {40, 40, 30});
  BeginPlayerBattle();
  g_BattleConfig.debugWeather = 1;
  GetDebugWords().debugMode = 1;
  bool rainInScene = false, rainCut = false, rainyBattle = false, toggled = false, toggledOff = false;
  for (int i = 0; i < 20000 && !g_battleDone; ++i) {
    Play();
    if (Scene() && Scene()->Field()) {
      rainCut |= rainInScene && !IsChannelPlaying(4);
      rainInScene |= IsChannelPlaying(4);
      rainyBattle |= g_Battle.weather == 1;
      if (!toggled && Scene()->GetPhase() == 12) {
        driver_->SetKey(VK_SPACE, true);
        driver_->Ticks(1);
        driver_->SetKey(VK_SPACE, false);
        driver_->Ticks(1);
        toggled = Scene() && Scene()->Field()->FreeCameraOn();
        if (toggled) {
          driver_->SetKey(VK_SPACE, true);
          driver_->Ticks(1);
          driver_->SetKey(VK_SPACE, false);
          driver_->Ticks(1);
          toggledOff = Scene() && !Scene()->Field()->FreeCameraOn();
        }
      }
    }
  }
  GetDebugWords().debugMode = 0;
  g_BattleConfig.debugWeather = -1;
  ASSERT_TRUE(g_battleDone);
  EXPECT_TRUE(rainyBattle);
  EXPECT_TRUE(rainInScene) << "the rain played while the battle scene showed";
  EXPECT_FALSE(rainCut) << "no click sound or battle effect cut it off";
  EXPECT_FALSE(IsChannelPlaying(4)) << "and stopped when the battle left";
  EXPECT_TRUE(toggled) << "Space turned the free camera on";
  EXPECT_TRUE(toggledOff) << "and off again";
  ReleaseSound();
}

// The layout's contract with the scene (docs/layouts.md "Battle scene"), on the built layout.
TEST_F(BattleScreenRun, TheLayoutHoldsWhatTheSceneFinds) {
  ASSERT_TRUE(Start(false));
  ASSERT_TRUE(GetSceneMgr().ChangeScene(8, 1));
  CVSceneKassen* scene = Scene();
  ASSERT_NE(scene, nullptr);
  CVMenuBase* menu = scene->FindMenu(0);
  ASSERT_NE(menu, nullptr);
  CVMenuBase* frame = menu->FirstChild();
  ASSERT_NE(frame, nullptr);
  // Message line, side 1's six units, hint line, round counter.
  for (int i = 0; i < 9; ++i) EXPECT_NE(frame->FindChild(kWidgetText, i), nullptr) << "text " << i;
  for (int id : {200, 402, 300, 301, 302, 303, 304, 305, 306, 307, 2000, 2001, 2002, 2003, 2004, 2005}) {
    CVMenuBtn* b = menu->FindButtonById(id);
    ASSERT_NE(b, nullptr) << id;
    EXPECT_NE(b->FindChild(kWidgetText, 0), nullptr) << "label of " << id;
    if (id >= 300 && id <= 307) {
      EXPECT_NE(b->FindChild(kWidgetSprite, 0), nullptr) << "icon of " << id;
    }
    if (id >= 2000) {
      EXPECT_NE(b->FindChild(kWidgetSprite, 0), nullptr) << "face of " << id;
      EXPECT_NE(b->FindChild(kWidgetSprite, 1), nullptr) << "kind of " << id;
      CVMenuBase* gauge = b->FindChild(kWidgetSprite, 2);
      ASSERT_NE(gauge, nullptr) << "gauge of " << id;
      EXPECT_NE(gauge->FindChild(kWidgetSprite, 0), nullptr) << "gauge fill of " << id;
    }
  }
  // The order icons (number and name each) and the skill lists (five rows a side, with gauges).
  CVMenuBase* icons = frame->NextSibling() ? frame->NextSibling()->NextSibling() : nullptr;
  ASSERT_NE(icons, nullptr);
  for (int i = 0; i < 10; ++i) {
    CVMenuBase* icon = icons->FindChild(kWidgetSprite, i);
    ASSERT_NE(icon, nullptr) << "order icon " << i;
    EXPECT_NE(icon->FindChild(kWidgetText, 1), nullptr) << "order icon " << i;
  }
  CVMenuBase* skills = icons->NextSibling();
  ASSERT_NE(skills, nullptr);
  for (int i = 0; i < 10; ++i) {
    EXPECT_NE(skills->FindChild(kWidgetText, i), nullptr) << "skill row " << i;
    CVMenuBase* gauge = skills->FindChild(kWidgetSprite, i);
    ASSERT_NE(gauge, nullptr) << "skill gauge " << i;
    EXPECT_NE(gauge->FindChild(kWidgetSprite, 0), nullptr) << "skill gauge fill " << i;
  }
  // The duel panels (mark, kind, face; name, morale, soldiers, guns, strength; the gauge with its
  // bar; both entry animations) and the cover with its two animations.
  for (int k = 0; k < 2; ++k) {
    CVMenuBase* duel = scene->DuelPanel(k);
    ASSERT_NE(duel, nullptr) << "duel panel " << k;
    for (int i = 0; i < 3; ++i)
      EXPECT_NE(duel->FindChild(kWidgetSprite, i), nullptr) << "duel " << k << " window " << i;
    for (int i = 0; i < 5; ++i) EXPECT_NE(duel->FindChild(kWidgetText, i), nullptr) << "duel " << k << " text " << i;
    auto* bar = dynamic_cast<CVMenuPBar*>(duel->FindChild(kWidgetPBar, 0));
    ASSERT_NE(bar, nullptr) << "duel gauge " << k;
    EXPECT_NE(bar->FindChild(kWidgetSprite, 0), nullptr) << "duel gauge bar " << k;
    EXPECT_TRUE(duel->AnimeKeys().count(1) && duel->AnimeKeys().count(2)) << "entry animations of duel " << k;
  }
  CVMenuBase* cover = skills->NextSibling() ? skills->NextSibling()->NextSibling() : nullptr;
  ASSERT_NE(cover, nullptr) << "the cover";
  EXPECT_TRUE(cover->AnimeKeys().count(1) && cover->AnimeKeys().count(2)) << "the cover's animations";
  EXPECT_FALSE(cover->TestFlag(kWfShown)) << "hidden until a display mode changes";
  // The siege panels: name, strength and cost, the gauge with its bar; hidden until the siege.
  CVMenuBase* siege = scene->SiegePanel();
  ASSERT_NE(siege, nullptr);
  EXPECT_EQ(siege, cover->NextSibling());
  for (int i = 0; i < 3; ++i) EXPECT_NE(siege->FindChild(kWidgetText, i), nullptr) << "siege text " << i;
  auto* siegeBar = dynamic_cast<CVMenuPBar*>(siege->FindChild(kWidgetPBar, 0));
  ASSERT_NE(siegeBar, nullptr);
  EXPECT_NE(siegeBar->FindChild(kWidgetSprite, 0), nullptr) << "the siege gauge's bar";
  EXPECT_FALSE(siege->TestFlag(kWfShown));
  for (int side = 0; side < 2; ++side)
    for (int i = 0; i < kBattleUnits; ++i) EXPECT_NE(scene->FieldFigure(side, i), nullptr) << side << " " << i;
  EXPECT_EQ(scene->FieldFigure(2, 0), nullptr);
  // Command set 1 shows only back, in the eighth place; hits map to their codes by phase.
  scene->ShowCommandSet(1);
  for (int i = 0; i < 7; ++i) EXPECT_FALSE(menu->FindButtonById(300 + i)->TestFlag(kWfShown)) << i;
  EXPECT_TRUE(menu->FindButtonById(307)->TestFlag(kWfShown));
  EXPECT_EQ(scene->ResultOfHit(307), 1) << "back in a command set answers back";
  EXPECT_EQ(frame->cancelId, 307) << "the right click presses it";
  EXPECT_FALSE(menu->FindButtonById(200)->TestFlag(kWfShown));
  EXPECT_EQ(scene->ResultOfHit(200), 1);
  ResetBattle();
  g_Battle.sides[0].units[3].general = 1;  // a unit waiting to be placed
  g_Battle.sides[0].units[3].soldiers = 10;
  scene->SetPhase(7);
  EXPECT_EQ(scene->ResultOfHit(2003), 303);
  EXPECT_EQ(scene->ResultOfHit(2002), -1) << "no unit, no pick";
  // A pick is taken once: one click never places a unit in two lanes.
  scene->UpdateMainMenu(0, 0, 0, 2003);
  EXPECT_EQ(scene->TakeResult(), 303);
  EXPECT_EQ(scene->TakeResult(), -1);
  // Nor does a pick left untaken reach the next phase's question.
  scene->UpdateMainMenu(0, 0, 0, 2003);
  scene->SetPhase(8);
  EXPECT_EQ(scene->TakeResult(), -1);
  scene->SetPhase(12);
  EXPECT_EQ(scene->ResultOfHit(2003), -1);
  // Browsing: 402 opens it, nothing of it reaches the order questions, back returns to the order.
  EXPECT_TRUE(menu->FindButtonById(402)->TestFlag(kWfShown));
  scene->ShowMessage("どの命令をあたえますか？");
  scene->UpdateMainMenu(0, 0, 0, 402);
  EXPECT_EQ(scene->GetPhase(), 21);
  EXPECT_STREQ(scene->Message(), "右クリックで戻ります");
  EXPECT_TRUE(skills->TestFlag(kWfShown));
  EXPECT_TRUE(menu->FindButtonById(200)->TestFlag(kWfShown));
  EXPECT_EQ(scene->ResultOfHit(2000), -1);
  EXPECT_EQ(scene->ResultOfHit(200), -1);
  scene->UpdateMainMenu(0, 0, 0, 200);
  EXPECT_EQ(scene->GetPhase(), 12);
  EXPECT_STREQ(scene->Message(), "どの命令をあたえますか？");
  EXPECT_FALSE(skills->TestFlag(kWfShown));
  EXPECT_EQ(scene->TakeResult(), -1) << "browsing gave the questions nothing";
  // A toggle's click is refused while the display mode changes (the orders brought the battle's
  // mode in under the cover); then the screen settles.
  ASSERT_NE(scene->Field(), nullptr);
  ASSERT_TRUE(scene->DisplayModes().Pending());
  const bool presentation = scene->Field()->AttackPresentationOn();
  scene->UpdateMainMenu(0, 0, 0, 400);
  EXPECT_EQ(scene->Field()->AttackPresentationOn(), presentation);
  for (int i = 0; i < 200 && scene->IsActionPlaying(); ++i) scene->Update(16.7f);
  EXPECT_FALSE(scene->IsActionPlaying());
  EXPECT_EQ(scene->DisplayMode(), 1);
  // The view toggles: each click's look follows the field's toggle (on and off cells differ), and
  // the clicks are the field's, never a pick.
  ASSERT_NE(scene->Field(), nullptr);
  for (int id : {400, 401}) {
    CVMenuBtn* toggle = menu->FindButtonById(id);
    ASSERT_NE(toggle, nullptr) << id;
    EXPECT_TRUE(toggle->TestFlag(kWfShown)) << id;
    int looks[2] = {-1, -1};
    for (int click = 0; click < 2; ++click) {
      scene->UpdateMainMenu(0, 0, 0, id);
      const bool on = id == 400 ? scene->Field()->AttackPresentationOn() : scene->Field()->OverviewCameraOn();
      int normal = 0, lit = 0;
      KassenTogglePictures(id == 401, on, normal, lit);
      EXPECT_EQ(toggle->statePatterns[0], normal) << id;
      EXPECT_EQ(toggle->statePatterns[1], lit) << id;
      looks[click] = normal;
    }
    if (!scene->IsActionPlaying()) {
      EXPECT_NE(looks[0], looks[1]) << "two clicks flip the toggle twice: " << id;
    }
  }
  EXPECT_EQ(scene->TakeResult(), -1);
}

// A small hand-set field: the player (side 0) in lanes 0..2 with a reserve unit, the enemy in
// lanes 0..2; unit 1 of each side is its commander.
void HandField() {
  // The frames run the strategy game's mode with no battle step to take.
  GameMode = game_mode::kSlg;
  g_battleDone = true;
  FieldBuilder f(3);
  g_Battle.mode = 2;
  g_Battle.sides[0].clan = static_cast<uint8_t>(PlayerDaimyoId);
  g_Battle.sides[1].clan = static_cast<uint8_t>(PlayerDaimyoId + 1);
  for (int lane = 0; lane < 3; ++lane) {
    // The middle lane's enemy just ahead, the wings' beside: lane 1 can attack all three.
    f.Unit(0, lane, 3, static_cast<uint16_t>(1 + lane), 20 + lane, 3, 40);
    f.Unit(1, lane, lane == 1 ? 4 : 3, static_cast<uint16_t>(11 + lane), 30 + lane, 5, 50);
  }
  f.Unit(0, -1, 0, 4, 15, 0, 30);
  g_Battle.sides[0].units[1].commander = 1;
  g_Battle.sides[1].units[1].commander = 1;
  g_Battle.sides[1].units[2].kind = 2;
}

std::string TextIn(CVMenuBase* w, int i) {
  auto* t = w ? dynamic_cast<CVMenuText*>(w->FindChild(kWidgetText, i)) : nullptr;
  return t ? t->Text() : "";
}

// The duel panels: the player's unit first whoever acts, the panels' values, the hovered target's
// lane, generic faces, the siege's commanders; and the display mode changing under the cover.
TEST_F(BattleScreenRun, TheDuelPanelsFollowTheActorsAndTheModesChangeUnderTheCover) {
  ASSERT_TRUE(Start(false));
  PlayerDaimyoId = 3;
  HandField();
  ASSERT_TRUE(GetSceneMgr().ChangeScene(8, 1));
  CVSceneKassen* scene = Scene();
  ASSERT_NE(scene, nullptr);
  CVMenuBase* duelWindow = scene->DuelPanel(0)->GetParent();
  CVMenuBase* cover = scene->FindMenu(0)->FirstChild();
  for (int i = 0; i < 5 && cover; ++i) cover = cover->NextSibling();
  ASSERT_NE(cover, nullptr);
  EXPECT_EQ(scene->DisplayMode(), 0) << "the battle opens on the formation";
  EXPECT_FALSE(duelWindow->TestFlag(kWfShown));

  // The battle begins: the cover closes in, the battle's panels are built, it opens out; one stage
  // a frame at least, a click skips nothing, and the battle waits on it throughout.
  scene->SetPhase(6);
  EXPECT_EQ(scene->DisplayModes().Wanted(), 1);
  EXPECT_TRUE(scene->IsActionPlaying());
  EXPECT_TRUE(cover->TestFlag(kWfShown));
  driver_->SetButton(VK_LBUTTON, true);
  driver_->Ticks(1);
  driver_->SetButton(VK_LBUTTON, false);
  driver_->Ticks(1);
  EXPECT_TRUE(scene->DisplayModes().Pending()) << "a click does not skip the change";
  int frames = 2;
  while (scene->DisplayModes().Pending() && frames < 200) {
    EXPECT_TRUE(scene->IsActionPlaying());
    driver_->Ticks(1);
    ++frames;
  }
  EXPECT_EQ(scene->DisplayMode(), 1);
  EXPECT_GE(frames, 3) << "three stages, one check a frame";
  EXPECT_LT(frames, 200);
  EXPECT_FALSE(cover->TestFlag(kWfShown)) << "the cover has gone";

  // The enemy's unit in lane 2 acts: the player's unit facing it goes first, the direction reversed.
  scene->ShowDuel(6 + 2, CVSceneKassen::kFacingTarget);
  EXPECT_EQ(scene->Duel().first, 2);
  EXPECT_EQ(scene->Duel().second, 8);
  EXPECT_EQ(scene->Duel().direction, 1);
  CVMenuBase* p0 = scene->DuelPanel(0);
  CVMenuBase* p1 = scene->DuelPanel(1);
  EXPECT_TRUE(duelWindow->TestFlag(kWfShown));
  EXPECT_TRUE(p0->TestFlag(kWfShown) && p1->TestFlag(kWfShown));
  EXPECT_EQ(TextIn(p0, 0), GetBusyoName(3));
  EXPECT_EQ(TextIn(p1, 0), GetBusyoName(13));
  EXPECT_EQ(TextIn(p0, 1), "40");
  EXPECT_EQ(TextIn(p0, 2), "兵22");
  EXPECT_EQ(TextIn(p1, 3), "鉄砲5");
  EXPECT_EQ(TextIn(p1, 4), "戦力" + std::to_string(UnitStrength(1, 2)));
  EXPECT_TRUE(p1->IsAnimePlaying(1)) << "the actor's panel comes in from its edge";
  EXPECT_TRUE(p0->IsAnimePlaying(2)) << "the other's from below";
  EXPECT_EQ(p1->FindChild(kWidgetSprite, 1)->GetState(), GetKindCycleNext(2) - 1) << "kind in the cycle's order";
  EXPECT_FALSE(p0->FindChild(kWidgetSprite, 0)->TestFlag(kWfShown)) << "no commander mark";
  auto* bar = dynamic_cast<CVMenuPBar*>(p0->FindChild(kWidgetPBar, 0));
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->maximum, 40);
  EXPECT_TRUE(bar->IsGliding()) << "the gauge moves over 200 ms";

  // The player's commander acts on nothing: the missing panel is hidden.
  scene->ShowDuel(1, -1);
  EXPECT_EQ(scene->Duel().first, 1);
  EXPECT_EQ(scene->Duel().direction, 0);
  EXPECT_TRUE(p0->FindChild(kWidgetSprite, 0)->TestFlag(kWfShown)) << "the commander mark";
  EXPECT_FALSE(p1->TestFlag(kWfShown));
  // A unit without a general is no duel.
  scene->ShowDuelPanels(5, 7, 0);
  EXPECT_FALSE(p0->TestFlag(kWfShown));
  EXPECT_TRUE(p1->TestFlag(kWfShown));

  // Choosing the target: the hovered wing's lane shows the enemy there.
  g_Battle.order = {{0, 1, 2, false}, {0, 0, 1, false}};
  g_Battle.currentActor = 0;
  scene->SetPhase(13);
  CVMenuBase* menu = scene->FindMenu(0);
  struct Hover {
    int code, second;
  };
  for (Hover h : {Hover{27, 6 + 0}, Hover{28, 6 + 1}, Hover{29, 6 + 2}}) {
    int button = -1;
    for (int i = 0; i < kKassenCommandButtons; ++i)
      if (scene->ResultOfHit(300 + i) == h.code) button = 300 + i;
    ASSERT_GE(button, 0) << h.code;
    for (int i = 0; i < kKassenCommandButtons; ++i)
      menu->FindButtonById(300 + i)->SetFlag(kWfPointerOver, 300 + i == button);
    scene->UpdateMainMenu(0, 0, 0, -1);
    EXPECT_EQ(scene->Duel().first, 1) << h.code;
    EXPECT_EQ(scene->Duel().second, h.second) << h.code;
  }
  // A copy made to fill a lane shows the generic picture of its kind and model.
  g_Battle.sides[0].units[2].copyMark = 16;
  g_Battle.sides[1].units[2].copyMark = 16;
  const char* pattern = nullptr;
  int number = -1;
  CVSceneKassen::UnitFace(0, 2, pattern, number);
  EXPECT_STREQ(pattern, "Data\\Image\\kassen\\face%03d.png");
  EXPECT_EQ(number, KassenUnitModelId(1, false, false, true));
  CVSceneKassen::UnitFace(1, 2, pattern, number);
  EXPECT_EQ(number, KassenUnitModelId(2, false, false, false));
  CVSceneKassen::UnitFace(0, 0, pattern, number);
  EXPECT_STREQ(pattern, "Data\\Image\\face\\f%02d.png");

  // The siege: both sides' first commanders, under the cover into mode 3. The castle panel named
  // before shows only with the siege.
  scene->ShowSiegeCastle("躑躅城", 7, 10);
  EXPECT_FALSE(scene->SiegePanel()->TestFlag(kWfShown)) << "not in the battle's mode";
  scene->SetPhase(17);
  EXPECT_EQ(scene->Duel().first, 1);
  EXPECT_EQ(scene->Duel().second, 7);
  EXPECT_EQ(scene->DisplayModes().Wanted(), 3);
  for (int i = 0; i < 200 && scene->DisplayModes().Pending(); ++i) driver_->Ticks(1);
  EXPECT_EQ(scene->DisplayMode(), 3);
  EXPECT_TRUE(p0->TestFlag(kWfShown) && p1->TestFlag(kWfShown));
  EXPECT_TRUE(scene->SiegePanel()->TestFlag(kWfShown));
  EXPECT_EQ(TextIn(scene->SiegePanel(), 0), "躑躅城");
  EXPECT_EQ(TextIn(scene->SiegePanel(), 1), "7");
  // Back to the formation: at once, without the cover.
  scene->SetPhase(4);
  EXPECT_EQ(scene->DisplayMode(), 0);
  EXPECT_FALSE(scene->DisplayModes().Pending());
  EXPECT_FALSE(duelWindow->TestFlag(kWfShown));
  EXPECT_FALSE(scene->SiegePanel()->TestFlag(kWfShown));
}

// Browsing: a unit's information opens the information page (scene 11) with the side's own
// generals, generic copies left out, and closing it returns to the battle, still browsing.
TEST_F(BattleScreenRun, AUnitsInformationOpensThePageAndClosingReturnsToBrowsing) {
  ASSERT_TRUE(Start(false));
  RegisterInfoDetailScene(GetSceneMgr());
  Build({25, 25, 20}, {40, 40, 30});
  PlayerDaimyoId = 3;
  HandField();
  g_Battle.sides[0].units[2].copyMark = 16;  // a copy: left out of the list
  ASSERT_TRUE(GetSceneMgr().ChangeScene(8, 1));
  CVSceneKassen* scene = Scene();
  ASSERT_NE(scene, nullptr);
  scene->SetPhase(12);
  scene->UpdateMainMenu(0, 0, 0, 402);
  ASSERT_EQ(scene->GetPhase(), 21);
  scene->UpdateMainMenu(0, 0, 0, 2001);
  driver_->Ticks(2);
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 11) << "the information page is pushed";
  auto* page = dynamic_cast<CVSceneInfoDetail*>(GetSceneMgr().GetCurrentScene());
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->List().Items(), (std::vector<int32_t>{1, 2, 4}));
  EXPECT_EQ(page->Index(), 1) << "the chosen unit's general";
  ASSERT_NE(page->Detail(), nullptr);
  EXPECT_EQ(page->Detail()->Busyo(), 2);
  EXPECT_FALSE(page->Detail()->MayEdit()) << "a battle's general keeps his item";
  EXPECT_EQ(scene->TakeResult(), -1);
  page->UpdateMainMenu(0, 0, 0, CVMenuSLG_detail::kClose);
  driver_->Ticks(2);
  EXPECT_EQ(GetSceneMgr().GetCurrentSceneId(), 8) << "closing returns to the battle";
  EXPECT_EQ(Scene(), scene);
  EXPECT_EQ(scene->GetPhase(), 21) << "still browsing";
  EXPECT_STREQ(scene->Message(), "右クリックで戻ります");
  scene->UpdateMainMenu(0, 0, 0, 200);
  EXPECT_EQ(scene->GetPhase(), 12);
}

// The general speaks his line as his unit attacks (10), charges (13) or fires a volley (14): every
// voice number the sample world gives its generals (the world tool draws 0..9) has the three in
// its pack, and the volley's effect (31) is there too.
TEST_F(BattleScreenRun, TheSampleVoicesSpeakEveryBattleLine) {
  const std::string base = GetModuleDir();
  std::vector<uint8_t> image;
  for (int voice = 0; voice <= 9; ++voice)
    for (int line : {10, 13, 14}) {
      char path[64];
      FormatGeneralVoicePath(path, sizeof path, voice, line);
      EXPECT_GT(LoadSoundPack((base + path).c_str(), 2, image), 46) << path;
    }
  for (int effect : {17, 31}) {
    char path[64];
    FormatSlgSePath(path, sizeof path, effect);
    EXPECT_GT(LoadSoundPack((base + path).c_str(), 2, image), 46) << path;
  }
}

// On real GL offscreen: the deployment screen shows its message line, the formation buttons and the
// player's unit panels. Set V4_KASSEN_DUMP to a PNG path to keep the frame.
TEST_F(BattleScreenRun, TheDeploymentScreenDrawsOnRealGl) {
  if (!Start(true)) GTEST_SKIP() << "no GL 3.3 context offscreen";
  Build({25, 25, 20}, {40, 40, 30});
  BeginPlayerBattle();
  // The battle opens (phase 4, the weather announced) with the skill lists hidden.
  for (int i = 0; i < 3000 && !Scene(); ++i) driver_->Ticks(1);
  ASSERT_NE(Scene(), nullptr);
  CVMenuBase* skills = Scene()->FindMenu(0)->FirstChild()->NextSibling()->NextSibling()->NextSibling();
  ASSERT_NE(skills, nullptr);
  EXPECT_FALSE(skills->TestFlag(kWfShown)) << "the skill lists before the first phase change";
  for (int i = 0; i < 3000 && !(Scene() && Scene()->GetPhase() == 5); ++i) driver_->Ticks(1);
  ASSERT_TRUE(Scene() && Scene()->GetPhase() == 5);
  driver_->Ticks(30);
  EXPECT_STREQ(Scene()->Message(), "陣形を選択せよ");
  std::vector<uint8_t> px;
  ASSERT_TRUE(dg_->Device()->ReadBackBuffer(plat::Rect{0, 0, 1280, 720}, &px));
  if (const char* dump = std::getenv("V4_KASSEN_DUMP")) {
    plat::Canvas c(1280, 720);
    c.pixels() = px;
    plat::WriteCanvasPng(dump, c, nullptr);
  }
  // Something is drawn where the first command button and the first unit panel stand.
  auto inked = [&](int x0, int y0, int w, int h) {
    int n = 0;
    for (int y = y0; y < y0 + h; ++y)
      for (int x = x0; x < x0 + w; ++x) {
        const uint8_t* p = &px[(static_cast<size_t>(y) * 1280 + x) * 4];
        n += p[0] + p[1] + p[2] > 60;
      }
    return n;
  };
  EXPECT_GT(inked(40, 520, 160, 48), 200) << "the first formation button";
  EXPECT_GT(inked(40, 120, 160, 48), 200) << "the first unit panel";
  EXPECT_GT(inked(40, 20, 400, 48), 50) << "the message line";
  // The defenders stand on their lanes in the 3-D field: their side's colour shows above each
  // placed unit's cell, and none above the cells of the side's empty lanes.
  KassenField3D* field = Scene()->Field();
  ASSERT_NE(field, nullptr);
  constexpr float kTorso = 45.0f;  // the height of a figure's tinted torso
  auto sideColoured = [&](int side, int lane, int column, float up) {
    const FieldPoint p = KassenFieldPosition(g_Battle.siroSize, lane + 1, column, {});
    float fx = 0, fy = 0;
    if (!field->ProjectToScreen(p.along, up, p.across, fx, fy)) return -1;
    int n = 0;
    for (int y = static_cast<int>(fy) - 6; y <= static_cast<int>(fy) + 6; ++y)
      for (int x = static_cast<int>(fx) - 6; x <= static_cast<int>(fx) + 6; ++x) {
        if (x < 0 || y < 0 || x >= 1280 || y >= 720) continue;
        const uint8_t* q = &px[(static_cast<size_t>(y) * 1280 + x) * 4];
        n += side == 0 ? (q[2] > q[0] + 40 && q[2] >= q[1]) : (q[0] > q[2] + 40 && q[0] > q[1] + 40);
      }
    return n;
  };
  int figures = 0;
  for (int i = 0; i < kBattleUnits; ++i) {
    const BattleUnit& u = g_Battle.sides[1].units[i];
    if (u.general == kNoUnitGeneral || u.lane >= g_Battle.laneCount || g_Battle.slots[1][u.lane].unit != i) continue;
    EXPECT_GT(sideColoured(1, u.lane, g_Battle.slots[1][u.lane].column, kTorso), 20)
        << "unit " << i << " lane " << int(u.lane);
    ++figures;
  }
  EXPECT_GE(figures, 2);
  for (int lane = 0; lane < g_Battle.laneCount; ++lane) {
    if (g_Battle.slots[1][lane].unit != 255) continue;
    EXPECT_EQ(sideColoured(1, lane, 4, 10.0f), 0) << "empty lane " << lane;
  }
  // After the player's deployment his own units stand on their lanes too.
  for (int i = 0; i < 3000 && !(Scene() && Scene()->GetPhase() == 12); ++i) Play();
  ASSERT_TRUE(Scene() && Scene()->GetPhase() == 12) << "the first order is asked";
  // The battle's panels come in under the cover and the attacks so far are presented; the field's
  // overview shows once all that has played.
  for (int i = 0; i < 3000 && Scene()->IsActionPlaying(); ++i) driver_->Ticks(1);
  EXPECT_EQ(Scene()->DisplayMode(), 1);
  driver_->Ticks(4);
  ASSERT_TRUE(dg_->Device()->ReadBackBuffer(plat::Rect{0, 0, 1280, 720}, &px));
  if (const char* dump = std::getenv("V4_KASSEN_DUMP2")) {
    plat::Canvas c(1280, 720);
    c.pixels() = px;
    plat::WriteCanvasPng(dump, c, nullptr);
  }
  // The player's duel panel (dark blue) stands above the field while he gives his order.
  ASSERT_TRUE(Scene()->DuelPanel(0)->TestFlag(kWfShown));
  int panelBlue = 0;
  for (int y = 140; y < 220; ++y)
    for (int x = 300; x < 560; ++x) {
      const uint8_t* q = &px[(static_cast<size_t>(y) * 1280 + x) * 4];
      panelBlue += q[0] < 60 && q[2] > q[0] + 30;
    }
  EXPECT_GT(panelBlue, 4000) << "the duel panel is drawn";
  int own = 0;
  for (int i = 0; i < kBattleUnits; ++i) {
    const BattleUnit& u = g_Battle.sides[0].units[i];
    if (u.general == kNoUnitGeneral || u.lane >= g_Battle.laneCount || g_Battle.slots[0][u.lane].unit != i) continue;
    EXPECT_GT(sideColoured(0, u.lane, g_Battle.slots[0][u.lane].column, kTorso), 20) << "own unit " << i;
    ++own;
  }
  EXPECT_GE(own, 1);
}

// On real GL offscreen: the siege panels stay hidden through the field battle and show in the
// siege with the castle's name, its strength and gauge and the siege cost; the name is drawn (the
// frame differs where it stands once it is cleared), and a storm brings the gauge down.
TEST_F(BattleScreenRun, TheSiegePanelsShowTheCastleOnRealGl) {
  if (!Start(true)) GTEST_SKIP() << "no GL 3.3 context offscreen";
  Build({40, 40, 40}, {6});
  BeginPlayerBattle();
  bool shownEarly = false;
  auto siegeAsked = [&] {
    CVSceneKassen* s = Scene();
    return s && s->GetPhase() == 18 && !s->IsActionPlaying();
  };
  for (int i = 0; i < 20000 && !g_battleDone && !siegeAsked(); ++i) {
    if (CVSceneKassen* s = Scene(); s && s->DisplayModes().Wanted() != 3 && s->SiegePanel())
      shownEarly |= s->SiegePanel()->TestFlag(kWfShown);
    Play();
  }
  ASSERT_TRUE(siegeAsked()) << "the siege order is asked";
  EXPECT_FALSE(shownEarly) << "no siege panel before the siege";
  CVSceneKassen* scene = Scene();
  EXPECT_EQ(scene->DisplayMode(), 3);
  CVMenuBase* panel = scene->SiegePanel();
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(panel->TestFlag(kWfShown));
  const int start = g_Battle.siroLevel;
  EXPECT_EQ(TextIn(panel, 0), std::string(GetSiroName(target, false)) + "城");
  EXPECT_EQ(TextIn(panel, 1), std::to_string(start));
  EXPECT_EQ(TextIn(panel, 2),
            "包囲 費用（" + std::to_string(SiegeEndurance(0)) + "/" + std::to_string(SideClanMoney(0)) + "）");
  auto* bar = dynamic_cast<CVMenuPBar*>(panel->FindChild(kWidgetPBar, 0));
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->maximum, start);
  EXPECT_EQ(bar->value, start);

  // The name is drawn: clearing it changes the frame where it stands.
  std::vector<uint8_t> with, without;
  driver_->Ticks(2);
  ASSERT_TRUE(dg_->Device()->ReadBackBuffer(plat::Rect{0, 0, 1280, 720}, &with));
  if (const char* dump = std::getenv("V4_KASSEN_SIEGE_DUMP")) {
    plat::Canvas c(1280, 720);
    c.pixels() = with;
    plat::WriteCanvasPng(dump, c, nullptr);
  }
  const std::string name = TextIn(panel, 0);
  dynamic_cast<CVMenuText*>(panel->FindChild(kWidgetText, 0))->SetText("", true);
  driver_->Ticks(2);
  ASSERT_TRUE(dg_->Device()->ReadBackBuffer(plat::Rect{0, 0, 1280, 720}, &without));
  dynamic_cast<CVMenuText*>(panel->FindChild(kWidgetText, 0))->SetText(name.c_str(), true);
  Vector3 origin;
  panel->GetParentWorldPos(origin);
  const int x0 = static_cast<int>(origin.x + panel->position.x) + 16;
  const int y0 = static_cast<int>(origin.y + panel->position.y) + 8;
  ASSERT_TRUE(x0 >= 0 && y0 >= 0 && x0 + 270 <= 1280 && y0 + 36 <= 720) << "inside the screen";
  int changed = 0;
  for (int y = y0; y < y0 + 36; ++y)
    for (int x = x0; x < x0 + 270; ++x) {
      const size_t at = (static_cast<size_t>(y) * 1280 + x) * 4;
      changed += std::abs(with[at] - without[at]) + std::abs(with[at + 1] - without[at + 1]) > 60;
    }
  EXPECT_GT(changed, 80) << "the castle's name is drawn";
  // The panel stays clear of the command buttons.
  for (int i = 0; i < kKassenCommandButtons; ++i) {
    CVMenuBtn* b = scene->FindMenu(0)->FindButtonById(300 + i);
    Vector3 bp;
    b->GetParentWorldPos(bp);
    EXPECT_GE(bp.y + b->position.y, origin.y + panel->position.y + 136) << "button " << 300 + i;
  }

  // A storm wears the castle down; the gauge follows.
  ASSERT_TRUE(ClickExactly(kOrderStorm));
  for (int i = 0; i < 3000 && g_Battle.round == 1; ++i) driver_->Ticks(1);
  ASSERT_EQ(g_Battle.round, 2) << "the storm was fought";
  ASSERT_EQ(Scene(), scene);
  {
    EXPECT_LT(g_Battle.siroLevel, start);
    EXPECT_EQ(bar->IsGliding() ? bar->target : bar->value, g_Battle.siroLevel);
    EXPECT_EQ(TextIn(panel, 1), std::to_string(g_Battle.siroLevel));
    EXPECT_EQ(bar->maximum, start);
  }
}

// Every clan of the sample scenarios has its home castle fully manned, so an army marching from it
// has more units than the widest field has lanes: the player meets the reserve (swap, detached
// force) in his first battles.
TEST_F(BattleScreenRun, SampleArmiesMarchWithReserves) {
  const std::string old = GetModuleDir();
  ASSERT_TRUE(SetModuleDirFromHost(V4_TEST_GAME_DIR));
  for (int n : {0, 1}) {
    ASSERT_TRUE(LoadScenarioTables(ScenarioDirectory(n).c_str())) << n;
    int clans = 0;
    for (int c = 0; c < kDaimyoInPlay; ++c) {
      const uint16_t head = DaimyoTable[c].head;
      if (head >= NullBusyoId) continue;
      ++clans;
      EXPECT_EQ(CountSiroBusyo(BusyoTable[head].siro), kSiroListLen) << "scenario " << n << ", clan " << c;
    }
    EXPECT_GT(clans, 0);
  }
  SetModuleDir(old.c_str());
}

// The panels' texts stay inside their boxes: a unit panel's label (a long name, then soldiers,
// morale and lane) within its area, and every text of the duel panels within the panel (300 x 110).
TEST_F(BattleScreenRun, PanelTextsStayInsideTheirBoxes) {
  if (!Start(true)) GTEST_SKIP() << "no GL 3.3 context offscreen";
  Build({25, 25, 20}, {40, 40, 30});
  std::strcpy(BusyoTable[att[0]].name, "長宗我部 元親");
  BeginPlayerBattle();
  for (int i = 0; i < 3000 && !(Scene() && Scene()->GetPhase() == 12); ++i) Play();
  ASSERT_TRUE(Scene() && Scene()->GetPhase() == 12);
  for (int i = 0; i < 3000 && Scene()->IsActionPlaying(); ++i) driver_->Ticks(1);
  driver_->Ticks(2);
  CVMenuBase* menu = Scene()->FindMenu(0);
  int labels = 0;
  for (int i = 0; i < kBattleUnits; ++i) {
    CVMenuBtn* panel = menu->FindButtonById(2000 + i);
    if (!panel || !panel->TestFlag(kWfShown)) continue;
    auto* t = dynamic_cast<CVMenuText*>(panel->FindChild(kWidgetText, 0));
    ASSERT_NE(t, nullptr);
    Vector3 used;
    t->GetTextSize(used);
    EXPECT_GT(used.x, 0.0f) << t->Text();
    EXPECT_LE(used.x, t->size.x) << "unit panel " << i << ": " << t->Text();
    EXPECT_LE(used.y, t->size.y) << "unit panel " << i << ": " << t->Text();
    ++labels;
  }
  EXPECT_GE(labels, 3);
  for (int k = 0; k < 2; ++k) {
    CVMenuBase* duel = Scene()->DuelPanel(k);
    ASSERT_NE(duel, nullptr);
    for (int j = 0; j < 5; ++j) {
      auto* t = dynamic_cast<CVMenuText*>(duel->FindChild(kWidgetText, j));
      ASSERT_NE(t, nullptr);
      EXPECT_LE(t->position.x + t->size.x, 300.0f) << "duel " << k << " text " << j;
      EXPECT_LE(t->position.y + t->size.y, 110.0f) << "duel " << k << " text " << j;
      Vector3 used;
      t->GetTextSize(used);
      EXPECT_LE(used.x, t->size.x) << "duel " << k << " text " << j << ": " << t->Text();
    }
  }
}

// The close-up of a volley (the attack presentation, display mode 2) changes the screen under the
// cover, a veil that darkens it: no frame of the change is a whole black frame.
TEST_F(BattleScreenRun, AVolleysCloseUpNeverFlashesABlackFrame) {
  if (!Start(true)) GTEST_SKIP() << "no GL 3.3 context offscreen";
  Build({25, 25, 20}, {40, 40, 30});
  for (int g : att) BusyoTable[g].guns = 10;
  for (int g : def) BusyoTable[g].guns = 12;
  BeginPlayerBattle();
  std::vector<uint8_t> px;
  int watched = 0, volleys = 0;
  bool inVolley = false;
  for (int i = 0; i < 20000 && !g_battleDone && volleys < 2; ++i) {
    Play();
    CVSceneKassen* s = Scene();
    const bool volley = s && s->Field() && s->Field()->ActionStep() != 0 && s->Field()->CurrentAttack().gunVolley;
    if (inVolley && !volley) ++volleys;
    inVolley = volley;
    if (!volley && !(s && s->DisplayModes().Pending())) continue;
    ASSERT_TRUE(dg_->Device()->ReadBackBuffer(plat::Rect{0, 0, 1280, 720}, &px));
    int dark = 0;
    for (size_t k = 0; k < px.size(); k += 4) dark += px[k] + px[k + 1] + px[k + 2] < 30;
    const int percent = static_cast<int>(100L * dark / static_cast<long>(px.size() / 4));
    EXPECT_LT(percent, 95) << "frame " << i << ": a whole black frame";
    ++watched;
  }
  EXPECT_GT(volleys, 0) << "a volley was presented";
  EXPECT_GT(watched, 10);
}

// Two of the player's units in a row: the second one's order menu is built for him, so a unit
// without guns is never offered 鉄砲 because the unit before him had guns.
TEST_F(BattleScreenRun, EachUnitsOrderMenuIsItsOwn) {
  ASSERT_TRUE(Start(false));
  Build({25, 25, 20}, {40, 40, 30});
  BusyoTable[att[1]].guns = 0;
  BusyoTable[att[2]].guns = 0;
  BeginPlayerBattle();
  waits_ = true;
  for (int i = 0; i < 20000 && !g_battleDone; ++i) Play();
  ASSERT_TRUE(g_battleDone);
  EXPECT_GE(orders_, 3);
  EXPECT_EQ(staleCommands_, 0);
}

}  // namespace
