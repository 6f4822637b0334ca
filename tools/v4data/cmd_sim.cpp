// v4data sim: plays the strategy game headless on a built game folder. Every clan, the player's
// included (auto-run), is played by the rules through the real turn loop; the scene answers as
// auto-run does; waits are skipped. One line per turn, then the world hash; with --messages also
// every map message, one a line ("message: ..."; a line break in it reads "\n").
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "battle/battle_run.h"
#include "command.h"
#include "core/app_state.h"
#include "core/error_box.h"
#include "core/file_io.h"
#include "core/frame_wait.h"
#include "core/game_file.h"
#include "core/game_rand.h"
#include "core/step_machine.h"
#include "platform/text/cp932.h"
#include "save/save_slot.h"
#include "world/ai/ai_entry.h"
#include "world/scenario_tables.h"
#include "world/slg_util.h"
#include "world/turn/auto_run_scene.h"
#include "world/turn/turn_loop.h"
#include "world/turn/turn_state.h"
#include "world/turn/world_hash.h"
#include "world/world_check.h"
#include "world/world_ports.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

struct SimOptions {
  std::string gameDir;
  int scenario = 0;
  int turns = 10;
  uint32_t seed = 1;
  int saveSlot = -1;
  int loadSlot = -1;
  bool messages = false;
};

struct SimBoxes : ErrorBoxPresenter {
  std::vector<std::string> lines;
  bool ShowErrorDialog(const char* text, const char* title) override {
    lines.push_back(std::string(title) + ": " + text);
    return true;
  }
  int ShowMessageBox(const char* text, const char* title) override {
    lines.push_back(std::string(title) + ": " + text);
    return 1;
  }
};

// The turn rules plus the save slots.
struct SimRules : TurnRulesPort {
  bool LoadGameSlot(int slot) override { return ::LoadGameSlot(slot); }
  void RecordGameCleared() override { ::RecordGameCleared(); }
  bool HasQuickSave() override { return ::HasQuickSave(); }
};

std::string Utf8(const char* cp932) { return plat::Cp932ToUtf8(cp932 ? cp932 : ""); }

// The auto-run scene that also prints what the map would say.
class SimScene : public AutoRunSlgScene {
 public:
  SimScene(int clan, bool print) : AutoRunSlgScene(clan), print_(print) {}
  void ShowMessage(const char* text, int kind, bool immediate) override { Print(text); }
  void ShowMessageMode2(const char* text, int kind, bool immediate) override { Print(text); }

 private:
  void Print(const char* text) const {
    if (!print_ || !text || !*text) return;  // an empty text only clears the window
    std::string line = Utf8(text);
    for (size_t at = line.find('\n'); at != std::string::npos; at = line.find('\n', at + 2)) line.replace(at, 1, "\\n");
    std::printf("message: %s\n", line.c_str());
  }
  bool print_;
};

bool ParseInt(const std::string& s, long long lo, long long hi, long long& out) {
  char* end = nullptr;
  out = std::strtoll(s.c_str(), &end, 10);
  return !s.empty() && end && *end == '\0' && out >= lo && out <= hi;
}

bool ParseArgs(const std::vector<std::string>& args, SimOptions& o) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    long long v = 0;
    auto value = [&](long long lo, long long hi) { return i + 1 < args.size() && ParseInt(args[++i], lo, hi, v); };
    if (a == "--scenario") {
      if (!value(0, 9)) return false;
      o.scenario = static_cast<int>(v);
    } else if (a == "--turns") {
      if (!value(0, 100000)) return false;
      o.turns = static_cast<int>(v);
    } else if (a == "--seed") {
      if (!value(0, 0xFFFFFFFFll)) return false;
      o.seed = static_cast<uint32_t>(v);
    } else if (a == "--save-slot") {
      if (!value(0, kSaveSlotCount - 1)) return false;
      o.saveSlot = static_cast<int>(v);
    } else if (a == "--load-slot") {
      if (!value(0, kSaveSlotCount - 1)) return false;
      o.loadSlot = static_cast<int>(v);
    } else if (a == "--messages") {
      o.messages = true;
    } else if (!a.empty() && a[0] != '-' && o.gameDir.empty()) {
      o.gameDir = a;
    } else {
      return false;
    }
  }
  return !o.gameDir.empty();
}

int CastleCount(int clan) {
  int n = 0;
  for (int s = 0; s < kSiroSlots; ++s) n += IsSiroInUse(s) && SiroTable[s].owner == clan;
  return n;
}

void PrintTurn() {
  int living = 0, top = -1, topCastles = 0;
  for (int c = 0; c < kDaimyoInPlay; ++c) {
    int n = CastleCount(c);
    if (n == 0) continue;
    ++living;
    if (n > topCastles) {
      top = c;
      topCastles = n;
    }
  }
  std::string topName = top >= 0 ? Utf8(GetDaimyoName(static_cast<uint32_t>(top), false)) : "-";
  const int p = PlayerDaimyoId;
  std::printf("turn %d year %d season %d clans %d top %s castles %d player %s player-castles %d\n", TurnCounter,
              GameYear, SeasonIndex, living, topName.c_str(), topCastles,
              p < kDaimyoInPlay ? Utf8(GetDaimyoName(static_cast<uint32_t>(p), false)).c_str() : "-",
              p < kDaimyoInPlay ? CastleCount(p) : 0);
}

// The invariants after a phase; false (printed) when something broke.
bool WorldClean(const char* where) {
  std::vector<std::string> problems = CollectSiroDataProblems();
  for (const std::string& p : CollectWorldProblems()) {
    // A head who fell in battle leaves his clan headless until the season's succession names an
    // heir; the clan sits out meanwhile. That is the rules working, not a broken world.
    if (p.find("is not among its vassals") != std::string::npos) continue;
    problems.push_back(p);
  }
  if (problems.empty()) return true;
  std::printf("invariant broken after %s (turn %d year %d season %d):\n", where, TurnCounter, GameYear, SeasonIndex);
  for (const std::string& p : problems) std::printf("  %s\n", Utf8(p.c_str()).c_str());
  return false;
}

const char* PhaseName(uint32_t step, uint8_t sub) {
  switch (step) {
    case kSlgStepTurn: {
      static const char* const kSub[] = {"the season", "the military phase", "the politics phase", "the strategy phase",
                                         "the strategy phase"};
      return kSub[sub < 5 ? sub : 4];
    }
    case kSlgStepIndependents:
      return "the independent forces";
    case kSlgStepWar:
      return "the war phase";
    case kSlgStepGameOver:
      return "the game-over check";
    default:
      return "the new game";
  }
}

int RunSim(const std::vector<std::string>& args) {
  SimOptions o;
  if (!ParseArgs(args, o)) {
    std::fprintf(stderr,
                 "usage: v4data sim <game-dir> [--scenario N] [--turns T] [--seed S] [--save-slot K] [--load-slot K]\n"
                 "                  [--messages]\n");
    return 2;
  }
  // The battles are fought by the battle rules, as in the game (hidden battles: no screen).
  InstallBattleRules();
  InstallAiRules();
  std::printf("battles: %s\n", Battle().BattleResolverName());
  if (!SetModuleDirFromHost(o.gameDir) || !LoadWorldSystemTable()) {
    std::printf("sim: %s is not a built game folder (Data/sys/system.dat missing)\n", o.gameDir.c_str());
    return 2;
  }
  SimBoxes boxes;
  SetErrorBoxPresenter(&boxes);
  SimRules rules;
  SetSlgRulesPort(&rules);
  SimScene scene(0, o.messages);
  SetSlgScenePort(&scene);
  ResetTurnWork();
  StepReset();
  GameMode = game_mode::kSlg;
  SetGameSpeedParams(true);
  if (o.loadSlot >= 0) {
    if (!LoadGameSlot(o.loadSlot)) {
      std::printf("sim: slot %d could not be loaded: %s\n", o.loadSlot, LastSlotRefusal());
      return 1;
    }
    GameMode = game_mode::kSlg;
  } else {
    ScenarioNumber = o.scenario;
    PreferredStartDaimyo = -1;
    StartSlot = -1;
    if (!FileExists((ScenarioDirectory(o.scenario) + "\\kuni21.bin").c_str())) {
      std::printf("sim: scenario %d is not in %s\n", o.scenario, o.gameDir.c_str());
      return 2;
    }
    // The first step resets the turn (auto-run goes off there) and loads the scenario, which seeds
    // the generator from the clock; the run's seed replaces it.
    RunTurnLoop();
    SetGameRandState(o.seed);
  }
  SetAutoRun(true);
  AutoRunLastTurn = 0xFFFF;

  const uint32_t target = g_TurnWork.main.turnsCompleted + static_cast<uint32_t>(o.turns);
  const long long frameCap = 200000LL * (o.turns + 1);
  uint32_t lastStep = g_StepMachine.step[1];
  uint8_t lastSub = TurnSubPhase;
  int rc = 0;
  for (long long frame = 0; g_TurnWork.main.turnsCompleted < target; ++frame) {
    if (frame >= frameCap) {
      std::printf("sim: no turn ended within %lld logic steps\n", frameCap);
      rc = 1;
      break;
    }
    if (GameMode != game_mode::kSlg) {
      // No scenario engine here: a script handed over at once.
      GameMode = game_mode::kSlg;
    }
    g_FrameWaitCounter.store(0);
    const uint32_t turns = g_TurnWork.main.turnsCompleted;
    RunTurnLoop();
    const uint32_t step = g_StepMachine.step[1];
    if (step != lastStep || TurnSubPhase != lastSub) {
      if (!WorldClean(PhaseName(lastStep, lastSub))) {
        rc = 1;
        break;
      }
      lastStep = step;
      lastSub = TurnSubPhase;
    }
    if (g_TurnWork.main.turnsCompleted != turns) PrintTurn();
    if (!boxes.lines.empty()) {
      for (const std::string& l : boxes.lines) std::printf("error box: %s\n", Utf8(l.c_str()).c_str());
      rc = 1;
      break;
    }
    if (IsGameEnded()) {
      std::printf("game ended (turn %d year %d season %d)\n", TurnCounter, GameYear, SeasonIndex);
      break;
    }
  }
  if (rc == 0 && o.saveSlot >= 0 && !SaveGameSlot(o.saveSlot, game_mode::kSlg)) {
    std::printf("sim: the game could not be saved into slot %d\n", o.saveSlot);
    rc = 1;
  }
  std::printf("world-hash %016" PRIx64 "\n", WorldHash());
  SetErrorBoxPresenter(nullptr);
  SetSlgScenePort(nullptr);
  SetSlgRulesPort(nullptr);
  SetBattlePort(nullptr);
  return rc;
}

const V4Command kSim{
    "sim", "<game-dir> [--scenario N] [--turns T] [--seed S] [--save-slot K] [--load-slot K] [--messages]", &RunSim};

}  // namespace
