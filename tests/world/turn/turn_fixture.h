// Fixtures of the turn tests: recording scenario-engine, sound and battle ports, and a test base
// that installs them with the scripted scene and drives the real turn loop frame by frame.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/frame_wait.h"
#include "core/game_rand.h"
#include "core/step_machine.h"
#include "scripted_slg_scene.h"
#include "tests/support/temp_module_dir.h"
#include "tests/world/world_fixture.h"
#include "world/ai/ai_entry.h"
#include "world/placement.h"
#include "world/turn/save_register.h"
#include "world/turn/slg_sound_port.h"
#include "world/turn/turn_loop.h"
#include "world/turn/turn_ports.h"
#include "world/turn/turn_state.h"
#include "world/turn/war_phase.h"

struct RecordingAdv : AdvPort {
  std::vector<int> scripts, events, eventModes;
  int titleRequests = 0;
  int returns = 0;
  bool eventsTakeOver = false;  // an event hands the frame to the script (game mode 10)
  void StartAdvScript(int event) override { scripts.push_back(event); }
  void StartAdvEvent(int event, int mode, const char*, bool) override {
    events.push_back(event);
    eventModes.push_back(mode);
    if (eventsTakeOver) GameMode = game_mode::kEventScript;
  }
  bool ReturnToSlgScene() override {
    ++returns;
    return false;
  }
  void RequestTitleScene() override { ++titleRequests; }
};

struct RecordingSound : SlgSoundPort {
  std::vector<std::string> bgm;
  std::vector<int> effects;
  void PlaySlgBgm(const char* file, int) override { bgm.push_back(file); }
  void PlaySlgSe(int, int effect, int) override { effects.push_back(effect); }
};

// A battle that lasts a number of logic steps, records what it saw, and ends with every attacker
// back in his castle. Its statics (castle, steps fought) are registered like the real battle's.
struct ScriptedBattle : BattlePort {
  struct Fight {
    int castle;
    std::vector<int> attackers, defenders;
  };
  int steps = 3;
  std::vector<Fight> fights;
#pragma pack(push, 1)
  struct State {
    uint8_t mode = 0;
    uint16_t castle = 0xFFFF;
    uint8_t level = 0;
    uint8_t fought = 0;
    uint8_t b = 0, c = 0;
    uint8_t block[1032] = {};
    uint8_t block2[32] = {};
  } st;
#pragma pack(pop)

  int BattleRun(int castle) override {
    if (IsSaveRegistering()) {
      RegisterSaveField(&st.mode, 1);
      RegisterSaveField(&st.castle, 2);
      RegisterSaveField(&st.level, 1);
      RegisterSaveField(&st.fought, 1);
      RegisterSaveField(&st.b, 1);
      RegisterSaveField(&st.c, 1);
      RegisterSaveField(st.block, sizeof st.block);
      RegisterSaveField(st.block2, sizeof st.block2);
      return 0;
    }
    if (StepCheckDone()) return 0;
    if (StepBegin()) {
      st = State{};
      st.castle = static_cast<uint16_t>(castle);
      Fight f{castle, {}, {}};
      for (const SiroBusyoRef& r : SiroTable[castle].list2)
        if (r.slot != kNoSlot) f.attackers.push_back(GetForceSlotBusyo(r.force, r.slot));
      for (const SiroBusyoRef& r : SiroTable[castle].list1)
        if (r.slot != kNoSlot) f.defenders.push_back(GetForceSlotBusyo(r.force, r.slot));
      fights.push_back(f);
      return kStepRunning;
    }
    if (++st.fought < steps) return kStepRunning;
    // Everyone goes home.
    for (int guard = 0; guard < kSiroListLen && SiroTable[st.castle].list2[0].slot != kNoSlot; ++guard) {
      SiroBusyoRef r = SiroTable[st.castle].list2[0];
      uint16_t g = GetForceSlotBusyo(r.force, r.slot);
      MoveSiroBusyo(st.castle, BusyoTable[g].siro, r.force, r.slot, 2);
      CancelMarch(g);
    }
    StepFinish();
    return 0;
  }
  const char* BattleResolverName() const override { return "scripted"; }
};

class TurnTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    SetSlgScenePort(&scene);
    scene.whenIdle = 15;  // unless a test scripts the player, he ends each command phase at once
    SetAdvPort(&adv);
    SetSlgSoundPort(&sound);
    SetBattlePort(&battle);
    SetSlgRulesPort(&rules);
    InstallAiRules();
    ResetTurnWork();
    StepReset();
    GameMode = game_mode::kSlg;
    g_FrameWaitCounter.store(0);
    SetStepWaitPending(false);
    StoryEventBlockFlag = 1;
    FirstTurnFlag = 0;
    ActingSideFlag = 1;
    UnificationStage = 0;
    UnificationDeclared = 0;
    AutoRunLastTurn = 0;
    g_StepMachine.waitPending = 0;
  }
  void TearDown() override {
    SetAiTurnPort(nullptr);
    SetPlayerTurnPort(nullptr);
    SetAdvPort(nullptr);
    SetSlgSoundPort(nullptr);
    SetGameRandOverride(nullptr);
    g_FrameWaitCounter.store(0);
    SetStepWaitPending(false);
    StepReset();
    GameMode = 1;
    WorldTest::TearDown();
  }
  // One logic step as the frame runs it; waits pass at once unless holdWaits is set.
  void Frame() {
    if (!holdWaits) g_FrameWaitCounter.store(0);
    if (GameMode == game_mode::kSlg) RunTurnLoop();
  }
  // Frames until pred holds (bounded); true when it did.
  template <typename P>
  bool RunUntil(P pred, int maxFrames = 20000) {
    for (int i = 0; i < maxFrames; ++i) {
      if (pred()) return true;
      Frame();
    }
    return pred();
  }
  // The main step waits at step 3 of a running game (no reset, no new game).
  void StartAtTurn(uint8_t subPhase = 0) {
    StepReset();
    g_StepMachine.step[1] = kSlgStepTurn;
    g_StepMachine.state[1] = kStepStateRunning;
    g_StepMachine.subStep[1] = 0;
    TurnSubPhase = subPhase;
  }
  uint32_t MainStep() const { return g_StepMachine.step[1]; }

  // Two countries: the player's (castles 0 and 1) and the enemy's (castles 2 and 3, castle 3
  // independent), in a line 0 - 1 - 2 - 3.
  void BuildSmallWorld() {
    w = WorldBuilder();  // an empty world and fresh ids
    // Records the scenario does not use never come forward.
    for (BusyoRecord& b : BusyoTable) b.appearYear = 255;
    kuniA = w.Kuni("甲国");
    kuniB = w.Kuni("乙国");
    for (int s : {w.Siro(kuniA, "一", 0, 2), w.Siro(kuniA, "二", 0, 2)}) (void)s;
    w.Siro(kuniB, "三", 1, 2);
    w.Siro(kuniB, "四", kNoDaimyo, 1);
    w.Road(0, 1);
    w.Road(1, 2);
    w.Road(2, 3);
    player = w.Clan("自家");
    enemy = w.Clan("敵家");
    pHead = w.Busyo("当主", 0);
    pGen = w.Busyo("家臣", 1);
    eHead = w.Busyo("敵主", 2);
    eGen = w.Busyo("敵臣", 2);
    indep = w.Busyo("独立", 3);
    w.Head(player, pHead);
    w.Head(enemy, eHead);
    for (int k : {kuniA, kuniB}) {
      KuniTable[k].land = 500;
      KuniTable[k].landLimit = 1000;
      KuniTable[k].town = 300;
      KuniTable[k].townLimit = 600;
      KuniTable[k].mood = 50;
    }
    for (int c = 2; c < kDaimyoInPlay; ++c) DaimyoTable[c].head = kNoBusyo;
    DaimyoTable[player].homeKuni = static_cast<uint8_t>(kuniA);
    DaimyoTable[enemy].homeKuni = static_cast<uint8_t>(kuniB);
    DaimyoTable[player].successor = kNoDaimyo;
    DaimyoTable[enemy].successor = kNoDaimyo;
    w.Place();
    for (int i = 0; i < 64; ++i) ClanOrderList[i] = static_cast<uint8_t>(i);
    for (int i = 0; i < kDokuSlots; ++i) MarchOrderList[i] = static_cast<uint8_t>(i);
    PlayerDaimyoId = static_cast<uint8_t>(player);
    CurrentKuniId = static_cast<uint8_t>(kuniA);
    GameYear = 1560;
    SeasonIndex = 3;
    ExpectClean();
  }

 public:
  v4test::TempModuleDir dir{"v4turn"};  // files the rules write (the clear record) land here
  WorldBuilder w;
  int kuniA = -1, kuniB = -1, player = -1, enemy = -1;
  int pHead = -1, pGen = -1, eHead = -1, eGen = -1, indep = -1;
  ScriptedSlgScenePort scene;
  RecordingAdv adv;
  RecordingSound sound;
  ScriptedBattle battle;
  TurnRulesPort rules;
  bool holdWaits = false;
};
