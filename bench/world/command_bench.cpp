// The player's commands on the full sample world: each command run end to end (choose a general,
// confirm, carry out, back out) by a scene that answers at once. Target: no logic step of any
// command over 1 ms (the max_step_ms counter). Needs the built sample data.
#include <benchmark/benchmark.h>

#include "bench/support/bench_target.h"

#include <algorithm>
#include <time.h>

#include "core/app_state.h"
#include "core/error_box.h"
#include "core/frame_wait.h"
#include "core/game_file.h"
#include "core/game_rand.h"
#include "core/step_machine.h"
#include "world/ai/ai_entry.h"
#include "screens/strategy/commands/player_commands.h"
#include "screens/strategy/commands/player_turn.h"
#include "world/placement.h"
#include "world/scenario_tables.h"
#include "world/turn/auto_run_scene.h"
#include "world/turn/command_check.h"
#include "world/turn/turn_loop.h"
#include "world/turn/turn_state.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

struct SilentBoxes : ErrorBoxPresenter {
  bool ShowErrorDialog(const char*, const char*) override { return true; }
  int ShowMessageBox(const char*, const char*) override { return 1; }
};

// A player who marks one general, confirms the first dialog, says yes to every question, then
// backs out.
struct EagerScene : SlgScenePort {
  int busyo = 0xFFFF;
  uint16_t dest = 0xFFFF;
  int open = -1;
  bool confirmed = false;
  bool HasScene() const override { return true; }
  int idle = 0;
  int GetSceneResult() override {
    if (open != -1 && !confirmed) {
      confirmed = true;
      return 18;
    }
    // Backs out when nothing is offered for a while (a refused choice).
    return confirmed || ++idle > 20 ? 2 : -1;
  }
  int GetMarkedBusyo() const override { return confirmed ? 0xFFFF : busyo; }
  int CountMarkedBusyo() const override { return confirmed ? 0 : 1; }
  void GetMarkedBusyoList(std::vector<int32_t>& out) const override {
    out.clear();
    if (!confirmed) out.push_back(busyo);
  }
  uint16_t GetSelectedCastle() const override { return confirmed ? 0xFFFF : dest; }
  bool OpenDialog(int id, int, int, int) override {
    if (open != -1) return false;
    open = id;
    return true;
  }
  bool IsNoDialog() const override { return open == -1; }
  void FinishDialog() override { open = -1; }
  bool OpenDialogScene(int, int) override { return true; }
  int GetDialogSceneResult() override { return 1; }
};

SilentBoxes g_boxes;
AutoRunSlgScene g_start(0);
EagerScene g_scene;
TurnRulesPort g_rules;
uint8_t g_kuni = 255;

double NowMs() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

// A new free game on scenario 0; the player's general (not the head) and a castle of his clan he
// may move to.
bool StartSampleGame() {
  if (!SetModuleDirFromHost(V4_TEST_GAME_DIR) || !LoadWorldSystemTable()) return false;
  SetErrorBoxPresenter(&g_boxes);
  SetSlgScenePort(&g_start);
  SetSlgRulesPort(&g_rules);
  InstallAiRules();
  SetPlayerTurnPort(&PlayerCommandFlows());
  g_start = AutoRunSlgScene(0);
  ResetTurnWork();
  StepReset();
  GameMode = game_mode::kSlg;
  ScenarioNumber = 0;
  StartSlot = -1;
  RunTurnLoop();
  SetGameRandState(1);
  SetAutoRun(false);
  if (SiroTable[0].kuni == kNoKuni || PlayerDaimyoId >= kDaimyoInPlay) return false;
  const DaimyoRecord& p = DaimyoTable[PlayerDaimyoId];
  for (int i = 0; i < kVassalScan && g_scene.busyo == 0xFFFF; ++i) {
    const uint16_t g = p.vassals[i];
    if (g < kBusyoCount && g != p.head && BusyoTable[g].siro < kSiroCount) g_scene.busyo = g;
  }
  if (g_scene.busyo == 0xFFFF) return false;
  const uint16_t from = BusyoTable[g_scene.busyo].siro;
  for (int s = 0; s < kSiroCount && g_scene.dest == 0xFFFF; ++s)
    if (s != from && IsSiroInUse(s) && SiroTable[s].owner == PlayerDaimyoId && CountSiroBusyo(s) < 6 &&
        CanMoveBusyoTo(g_scene.busyo, s) == 0)
      g_scene.dest = static_cast<uint16_t>(s);
  // Without a castle in reach, any other castle of the clan (the move is then refused and timed so).
  for (int s = 0; s < kSiroCount && g_scene.dest == 0xFFFF; ++s)
    if (s != from && IsSiroInUse(s) && SiroTable[s].owner == PlayerDaimyoId) g_scene.dest = static_cast<uint16_t>(s);
  g_kuni = static_cast<uint8_t>(GetBusyoKuni(g_scene.busyo));
  SetSlgScenePort(&g_scene);
  return true;
}

// What a command spends or marks back to a fresh turn, so every iteration does the same work.
void FreshTurn(int menu, uint16_t home) {
  DaimyoRecord& p = DaimyoTable[PlayerDaimyoId];
  p.money = 5000;
  p.cp = 60;
  p.gunsLeft = 255;
  p.turnFlags = 0;
  CurrentKuniId = g_kuni;
  for (int k = 0; k < kKuniSlots; ++k) {
    KuniTable[k].doneFlags = 0;
    KuniTable[k].applicants = 255;
  }
  for (int s = 0; s < kSiroCount; ++s) SiroTable[s].turnFlags = 0;
  BusyoTable[g_scene.busyo].cmdFlags = 0;
  BusyoTable[g_scene.busyo].soldiers = 10;
  BusyoTable[g_scene.busyo].guns = 0;
  BusyoTable[g_scene.busyo].loyalty = 8;
  if (BusyoTable[g_scene.busyo].siro != home && home < kSiroCount) {
    const uint8_t c = GetBusyoDaimyo(g_scene.busyo);
    MoveSiroBusyo(BusyoTable[g_scene.busyo].siro, home, c, static_cast<uint8_t>(FindForceSlot(c, g_scene.busyo)), 0);
    BusyoTable[g_scene.busyo].siro = home;
  }
  KuniRecord& k = KuniTable[g_kuni];
  k.holder = PlayerDaimyoId;
  k.playerShare = 100;
  k.recruitBase = 100;
  k.land = static_cast<uint16_t>(std::max(k.landLimit / 2, 1));
  k.landLimit = std::max<uint16_t>(k.landLimit, 2);
  k.town = static_cast<uint16_t>(std::max(k.townLimit / 2, 10));
  k.townLimit = std::max<uint16_t>(k.townLimit, 1000);
  p.revenue = 5000;
  p.soldiers = 0;
  SiroRecord& c = SiroTable[home];
  c.level = 1;
  c.maxLevel = std::max<uint8_t>(c.maxLevel, 10);
  g_scene.confirmed = false;
  g_scene.open = -1;
  g_scene.idle = 0;
  RefreshCommandMenus(menu);
  StepReset();
}

void RunCommand(benchmark::State& state, int (*routine)(), int menu) {
  if (g_scene.busyo == 0xFFFF && !StartSampleGame()) {
    state.SkipWithError("sample scenario 0 did not load (build sample_data first)");
    return;
  }
  const uint16_t home = BusyoTable[g_scene.busyo].siro;
  double maxStep = 0;
  long steps = 0;
  for (auto _ : state) {
    state.PauseTiming();
    FreshTurn(menu, home);
    state.ResumeTiming();
    for (int guard = 0; guard < 1000; ++guard) {
      const double t0 = NowMs();
      g_FrameWaitCounter.store(0);
      StepSetDepth(0);
      StepPush();
      routine();
      const bool done = StepPop();
      maxStep = std::max(maxStep, NowMs() - t0);
      ++steps;
      if (done) break;
    }
    if (!g_scene.confirmed) {
      state.SkipWithError("the command was refused on the sample world");
      return;
    }
  }
  state.counters["max_step_ms"] = maxStep;
  state.counters["steps"] = benchmark::Counter(static_cast<double>(steps) / std::max<double>(state.iterations(), 1));
}

}  // namespace

static void BM_FloodControl(benchmark::State& s) { RunCommand(s, CmdFloodControl, 2); }
static void BM_FreeMarket(benchmark::State& s) { RunCommand(s, CmdFreeMarket, 2); }
static void BM_Levy(benchmark::State& s) { RunCommand(s, CmdLevy, 2); }
static void BM_CastleWorks(benchmark::State& s) { RunCommand(s, CmdExtendCastle, 2); }
static void BM_MoveBusyo(benchmark::State& s) { RunCommand(s, CmdMoveBusyo, 2); }
static void BM_Recruit(benchmark::State& s) { RunCommand(s, CmdRecruitSoldiers, 1); }
static void BM_Guns(benchmark::State& s) { RunCommand(s, CmdDistributeGuns, 1); }
static void BM_Reward(benchmark::State& s) { RunCommand(s, CmdReward, 1); }
static void BM_RefreshPoliticsMenu(benchmark::State& state) {
  if (g_scene.busyo == 0xFFFF && !StartSampleGame()) {
    state.SkipWithError("sample scenario 0 did not load (build sample_data first)");
    return;
  }
  for (auto _ : state) RefreshCommandMenus(2);
}
BENCHMARK(BM_FloodControl)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FreeMarket)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Levy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CastleWorks)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MoveBusyo)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Recruit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Guns)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Reward)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshPoliticsMenu)->Unit(benchmark::kMicrosecond);
V4_BENCH_COUNTER_TARGET(BM_FloodControl, "max_step_ms", 1.0);
V4_BENCH_COUNTER_TARGET(BM_FreeMarket, "max_step_ms", 1.0);
V4_BENCH_COUNTER_TARGET(BM_Levy, "max_step_ms", 1.0);
V4_BENCH_COUNTER_TARGET(BM_CastleWorks, "max_step_ms", 1.0);
V4_BENCH_COUNTER_TARGET(BM_MoveBusyo, "max_step_ms", 1.0);
V4_BENCH_COUNTER_TARGET(BM_Recruit, "max_step_ms", 1.0);
V4_BENCH_COUNTER_TARGET(BM_Guns, "max_step_ms", 1.0);
V4_BENCH_COUNTER_TARGET(BM_Reward, "max_step_ms", 1.0);
