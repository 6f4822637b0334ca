// Whole games of the sample world, every clan on the rules, battles through the battle port.
// BM_HundredTurns: 100 turns (target under 3 s in Release) and the longest logic step of the AI
// phases in processor time (target under 8 ms). BM_LongSoak: 1,000 turns from each of several
// seeds with the world checked after every phase; a game that ends is followed by a new one from the
// next seed; a broken invariant stops the run with an error. Not run by CI.
#include <benchmark/benchmark.h>

#include "bench/support/bench_target.h"

#include <cstdio>

#include "core/error_box.h"
#include "core/game_file.h"
#include "tests/world/ai/soak_play.h"

namespace {

struct SilentBoxes : ErrorBoxPresenter {
  int shown = 0;
  std::string first;
  bool ShowErrorDialog(const char* text, const char*) override {
    if (shown++ == 0) first = text ? text : "";
    return true;
  }
  int ShowMessageBox(const char* text, const char*) override {
    if (shown++ == 0) first = text ? text : "";
    return 1;
  }
};

bool Prepare(benchmark::State& state) {
  if (!SetModuleDirFromHost(V4_TEST_GAME_DIR) || !LoadWorldSystemTable()) {
    state.SkipWithError("no built game folder (build sample_data first)");
    return false;
  }
  return true;
}

void RunGames(benchmark::State& state, int turns) {
  if (!Prepare(state)) return;
  SilentBoxes boxes;
  SetErrorBoxPresenter(&boxes);
  double longest = 0;
  int battles = 0, destroyed = 0, played = 0, games = 0;
  for (auto _ : state) {
    soak::SoakScene scene;
    soak::SoakBattles port;
    SetSlgScenePort(&scene);
    SetBattlePort(&port);
    soak::SoakResult r = soak::PlayGames(turns, static_cast<uint32_t>(state.range(0)), scene);
    SetSlgScenePort(nullptr);
    SetBattlePort(nullptr);
    SetAutoRun(false);
    if (!r.broken.empty() || boxes.shown) {
      state.SkipWithError((r.broken.empty() ? boxes.first : r.broken).c_str());
      break;
    }
    longest = std::max(longest, r.longestStepMs);
    battles = port.battles;
    destroyed = static_cast<int>(r.destroyed.size());
    played = r.turns;
    games = r.games;
  }
  SetErrorBoxPresenter(nullptr);
  state.counters["longest_ai_step_ms"] = longest;
  state.counters["battles"] = battles;
  state.counters["clans_destroyed"] = destroyed;
  state.counters["turns"] = played;
  state.counters["games"] = games;
}

void BM_HundredTurns(benchmark::State& state) { RunGames(state, 100); }
BENCHMARK(BM_HundredTurns)->Arg(20261210)->Unit(benchmark::kMillisecond)->Iterations(3);
V4_BENCH_TIME_TARGET(BM_HundredTurns, 3000.0);
V4_BENCH_COUNTER_TARGET(BM_HundredTurns, "longest_ai_step_ms", 8.0);

void BM_LongSoak(benchmark::State& state) { RunGames(state, 1000); }
BENCHMARK(BM_LongSoak)->Arg(1)->Arg(7)->Arg(42)->Arg(20261210)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
