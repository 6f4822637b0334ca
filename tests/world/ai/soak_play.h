// The soak's game runner, shared by the soak test and the longer soak benchmark: the full sample
// world played by the rules through the real turn loop (the player's clan on auto-run, battles
// through the battle port), with the world checked after every phase and the run's activity counted.
#pragma once
#include <algorithm>
#include <cstring>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/frame_wait.h"
#include "core/game_rand.h"
#include "core/step_machine.h"
#include "world/ai/ai_common.h"
#include "world/ai/ai_entry.h"
#include "world/scenario_tables.h"
#include "world/slg_util.h"
#include "world/turn/auto_run_scene.h"
#include "world/turn/save_register.h"
#include "world/turn/turn_loop.h"
#include "world/turn/turn_ports.h"
#include "world/turn/turn_state.h"
#include "world/world_check.h"
#include "world/world_ports.h"
#include "world/world_queries.h"

namespace soak {

// The auto-run scene, counting what the player would have been shown.
struct SoakScene : AutoRunSlgScene {
  SoakScene() : AutoRunSlgScene(0) {}
  int events = 0, appearances = 0, alliancesMade = 0, alliancesBroken = 0;
  void ShowPointer(int marker) override { events += marker >= 0; }
  void ShowMessage(const char* text, int kind, bool immediate) override {
    std::string t = text ? text : "";
    if (t.find("が登場しました") != std::string::npos) ++appearances;
    if (t.find("同盟を結びました") != std::string::npos) ++alliancesMade;
    if (t.find("同盟を破棄しました") != std::string::npos) ++alliancesBroken;
  }
};

// The interim battles, counted.
struct SoakBattles : BattlePort {
  int battles = 0;
  int BattleRun(int castle) override {
    int r = BattlePort::BattleRun(castle);
    if (r != kStepRunning && !IsSaveRegistering()) ++battles;
    return r;
  }
};

struct SoakResult {
  int turns = 0;
  int games = 0;
  bool ended = false;        // the last game ended (a clan unified the land, or the player's clan fell)
  double longestStepMs = 0;  // the longest logic step of the clans' three phases and the independents
  int successions = 0;
  std::set<int> destroyed;
  std::string broken;  // the first broken invariant
};

// Everything the soak demands of the world after a phase; "" when whole.
inline std::string BrokenInvariant() {
  for (const std::string& p : CollectWorldProblems()) {
    // A head who fell in battle is replaced by the season's succession; until then his clan has
    // none and sits out.
    if (p.find("is not among its vassals") != std::string::npos) continue;
    return p;
  }
  if (!CheckSiroData()) return "castle check";
  for (int c = 0; c < kDaimyoSlots; ++c)
    // Money is a 16-bit field (a wrap shows as a fall, which the clamped helpers prevent).
    if (DaimyoTable[c].cp > 200) return "clan " + std::to_string(c) + " treasury";
  for (int g = 0; g < kBusyoCount; ++g) {
    const BusyoRecord& b = BusyoTable[g];
    if (b.soldiers > 50 || b.guns > 50 || b.loyalty > 100)
      return "general " + std::to_string(g) + " soldiers/guns/loyalty out of bounds";
  }
  for (int s = 0; s < kSiroCount; ++s) {
    if (!IsSiroInUse(s)) continue;
    const SiroRecord& r = SiroTable[s];
    if (r.list1[0].slot != kNoSlot && r.list1[0].force != r.owner)
      return "castle " + std::to_string(s) + " holds a garrison of another force";
    if (r.list2[0].slot != kNoSlot) return "castle " + std::to_string(s) + " keeps marchers after the war";
  }
  return "";
}

inline int CastleCount(int clan) {
  int n = 0;
  for (int s = 0; s < kSiroCount; ++s) n += IsSiroInUse(s) && SiroTable[s].owner == clan;
  return n;
}

// The thread's processor time: a busy machine that preempts the run does not count against a step.
inline double NowMs() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

// Plays from a new game of scenario 0 (the game folder must be set); stops at the first broken
// invariant.
inline SoakResult PlayTurns(int turns, uint32_t seed, SoakScene& scene) {
  SoakResult r;
  static TurnRulesPort rules;  // the turn engine's totals, shares and revenues
  SetSlgRulesPort(&rules);
  InstallAiRules();
  // A game starts from a program state that earlier games or tests in this process may have left.
  ResetToEmptyWorld();
  std::memset(BusyoFlagTable, 0, sizeof BusyoFlagTable);
  ResetTurnWork();
  StepReset();
  SetStepWaitPending(false);
  GameMode = game_mode::kSlg;
  SetGameSpeedParams(true);
  ScenarioNumber = 0;
  PreferredStartDaimyo = -1;
  StartSlot = -1;
  g_FrameWaitCounter.store(0);  // a wait left over would hold the first step
  RunTurnLoop();                // resets the turn and loads the scenario (seeding from the clock)
  SetGameRandState(seed);
  SetAutoRun(true);
  AutoRunLastTurn = 0xFFFF;
  std::vector<uint16_t> heads(kDaimyoInPlay);
  std::vector<int> castles(kDaimyoInPlay);
  bool started = false;
  uint32_t lastStep = 0;
  uint8_t lastSub = 0;
  const uint32_t target = g_TurnWork.main.turnsCompleted + static_cast<uint32_t>(turns);
  for (long long frame = 0; g_TurnWork.main.turnsCompleted < target && frame < 400000LL * turns; ++frame) {
    if (GameMode != game_mode::kSlg) GameMode = game_mode::kSlg;  // no scripts here
    g_FrameWaitCounter.store(0);
    uint32_t before = g_TurnWork.main.turnsCompleted;
    const bool aiPhase = (g_StepMachine.step[1] == kSlgStepTurn && TurnSubPhase >= 1 && TurnSubPhase <= 3) ||
                         g_StepMachine.step[1] == kSlgStepIndependents;
    const double t0 = NowMs();
    RunTurnLoop();
    if (aiPhase) r.longestStepMs = std::max(r.longestStepMs, NowMs() - t0);
    if (IsGameEnded()) {
      r.ended = true;
      break;
    }
    const uint32_t step = g_StepMachine.step[1];
    if (step == kSlgStepNewGame || step <= kSlgStepReset) continue;
    if (!started) {
      started = true;
      for (int c = 0; c < kDaimyoInPlay; ++c) {
        heads[c] = DaimyoTable[c].head;
        castles[c] = CastleCount(c);
      }
    }
    if (step != lastStep || TurnSubPhase != lastSub) {
      r.broken = BrokenInvariant();
      if (!r.broken.empty()) {
        r.broken += " (turn " + std::to_string(TurnCounter) + ", step " + std::to_string(lastStep) + "." +
                    std::to_string(lastSub) + ")";
        SetSlgRulesPort(nullptr);
        SetAiTurnPort(nullptr);
        return r;
      }
      lastStep = step;
      lastSub = TurnSubPhase;
      for (int c = 0; c < kDaimyoInPlay; ++c) {
        // A head lost in battle leaves no head until the successor is named: a succession is a new
        // head after the last one, with or without that gap.
        uint16_t h = DaimyoTable[c].head;
        if (h != heads[c] && h < NullBusyoId && heads[c] < NullBusyoId) ++r.successions;
        if (h < NullBusyoId) heads[c] = h;
        if (castles[c] > 0 && CastleCount(c) == 0) r.destroyed.insert(c);
      }
    }
    if (g_TurnWork.main.turnsCompleted != before) ++r.turns;
  }
  SetSlgRulesPort(nullptr);
  SetAiTurnPort(nullptr);
  r.games = 1;
  return r;
}

// Games from consecutive seeds until the turns are played (a game that ends is followed by the
// next); the counts add up, the longest step is the longest of all.
inline SoakResult PlayGames(int turns, uint32_t seed, SoakScene& scene) {
  SoakResult total;
  for (uint32_t s = seed; total.turns < turns; ++s) {
    if (s != seed) {
      // A new game needs a scene with its start answers again; the counts go on.
      SoakScene fresh;
      fresh.events = scene.events;
      fresh.appearances = scene.appearances;
      fresh.alliancesMade = scene.alliancesMade;
      fresh.alliancesBroken = scene.alliancesBroken;
      scene = fresh;
    }
    SoakResult r = PlayTurns(turns - total.turns, s, scene);
    total.turns += r.turns;
    total.games += 1;
    total.successions += r.successions;
    total.longestStepMs = std::max(total.longestStepMs, r.longestStepMs);
    for (int c : r.destroyed) total.destroyed.insert(static_cast<int>(s - seed) * 100 + c);
    total.ended = r.ended;
    if (!r.broken.empty() || r.turns == 0) {
      total.broken = r.broken.empty() ? "a game played no turn" : r.broken;
      break;
    }
  }
  return total;
}

}  // namespace soak
