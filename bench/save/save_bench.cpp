// Saving and loading one slot of the full sample scenario (scenario 0 with the main script set).
// Target: under 30 ms each. Needs the built sample data; the slot goes to a temporary folder whose
// Data links to the game folder's, so the shared game folder is never written.
#include <benchmark/benchmark.h>

#include "bench/support/bench_target.h"
#include <unistd.h>

#include <filesystem>
#include <string>

#include "core/app_state.h"
#include "core/game_file.h"
#include "save/save_slot.h"
#include "save/system_files.h"
#include "scenario/script/adv_script.h"
#include "world/scenario_tables.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

// Removes the temporary folder at exit (the link, not the game folder it points to).
struct TempFolder {
  std::string path;
  ~TempFolder() {
    std::error_code ec;
    if (!path.empty()) std::filesystem::remove_all(path, ec);
  }
};
TempFolder g_folder;

// Sets up the sample game once; false when the sample data is missing.
bool PrepareSampleGame() {
  static int ready = -1;
  if (ready >= 0) return ready == 1;
  ready = 0;
  char tmpl[] = "/tmp/v4savebenchXXXXXX";
  if (!mkdtemp(tmpl)) return false;
  g_folder.path = tmpl;
  std::error_code ec;
  std::filesystem::create_directory_symlink(std::filesystem::path(V4_TEST_GAME_DIR) / "Data",
                                            std::filesystem::path(tmpl) / "Data", ec);
  if (ec || !SetModuleDirFromHost(tmpl)) return false;
  SiroCheckReported = 0;
  if (!LoadScenarioTables(ScenarioDirectory(0).c_str()) || !LoadCommonTables()) return false;
  if (!GetAdvScript().LoadScriptFiles(0)) return false;
  LoadSystemData();
  // The turn words of a game just begun: the scenario's tables carry none, and a load refuses
  // words out of range.
  GameYear = 1551;
  SeasonIndex = 0;
  TurnCounter = 1;
  TurnSubPhase = 0;
  PlayerDaimyoId = 0;
  FirstTurnFlag = 1;
  CurrentKuniId = kNoKuni;
  SlgPhaseIndex = 0;
  for (int i = 0; i < kDaimyoInPlay; ++i) ClanOrderList[i] = static_cast<uint8_t>(i);
  for (int i = 0; i < kDokuSlots; ++i) MarchOrderList[i] = static_cast<uint8_t>(i);
  GameMode = 11;
  ready = 1;
  return true;
}

void BM_SaveGameSlot(benchmark::State& state) {
  if (!PrepareSampleGame()) {
    state.SkipWithError("sample data missing (build sample_data first)");
    return;
  }
  for (auto _ : state) {
    if (!SaveGameSlot(0, GameMode)) {
      state.SkipWithError("save failed");
      return;
    }
  }
}
BENCHMARK(BM_SaveGameSlot)->Unit(benchmark::kMillisecond);
V4_BENCH_TIME_TARGET(BM_SaveGameSlot, 30.0);

void BM_LoadGameSlot(benchmark::State& state) {
  if (!PrepareSampleGame() || !SaveGameSlot(1, GameMode)) {
    state.SkipWithError("sample data missing (build sample_data first)");
    return;
  }
  for (auto _ : state) {
    if (!LoadGameSlot(1)) {
      state.SkipWithError(LastSlotRefusal());
      return;
    }
  }
}
BENCHMARK(BM_LoadGameSlot)->Unit(benchmark::kMillisecond);
V4_BENCH_TIME_TARGET(BM_LoadGameSlot, 30.0);

}  // namespace
