// The strategy map on the sample world: all 67 provinces with their highlights and tints, the
// province view of a province with its castle and contact icons, the general list, the command
// panel and the clan and turn panels. BM_MapLogicAndSubmit: one logic step of the scene manager
// (the map's update with the pointer moving over the map) plus the draw submission, on the null
// device; target under 3 ms. BM_MapWholeFrame: a whole frame through the program's frame routine
// on the real GL device offscreen (llvmpipe here); target under 8 ms. BM_MaskLookup: the hit
// test under the pointer, one table read.
#include <benchmark/benchmark.h>

#include "bench/support/bench_target.h"
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>

#include "core/app_state.h"
#include "core/frame_services.h"
#include "core/game_file.h"
#include "platform/gl/null_device.h"
#include "render/dg_manager.h"
#include "save/system_files.h"
#include "screens/strategy/kuni_pos.h"
#include "screens/strategy/menu_slg_main.h"
#include "screens/strategy/scene_slg.h"
#include "tests/support/frame_driver.h"
#include "ui/menus/menu_mgr.h"
#include "ui/scenes/scene_frame_adapter.h"
#include "ui/scenes/scene_mgr.h"
#include "world/scenario_tables.h"
#include "core/cv_input.h"
#include "world/world_misc.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace fs = std::filesystem;

namespace {

class Graphics : public FrameGraphics {
 public:
  CDGManager* mgr = nullptr;
  void UpdateRenderers() override { mgr->UpdateRenderers(); }
  void SwapRenderQueues() override { mgr->SwapRenderQueues(); }
  bool RenderFrame() override { return mgr->RenderFrame(); }
};

// The sample world and scene 3 with its map in normal play, a province focused or not.
CVSceneSLG* StartMap(bool focused) {
  SetModuleDirFromHost(V4_TEST_GAME_DIR);
  LoadSystemData();
  ScenarioNumber = 0;
  LoadWorldSystemTable();
  StartNewGame();
  PlayerDaimyoId = 0;
  TurnSubPhase = 1;
  GetMenuMgr().Init(GetModuleDir());
  CVSceneMgr& mgr = GetSceneMgr();
  mgr.Reset();
  InitSceneSystem();
  RegisterStrategyScenes(mgr, true);
  mgr.ChangeScene(3, 0);
  auto* scene = dynamic_cast<CVSceneSLG*>(mgr.GetScene(3));
  if (!scene) return nullptr;
  scene->SetCurrentDaimyo(0);
  scene->SetSelMode(0);
  scene->ShowInfoPanel();
  scene->ShowMessage("軍事の段です。", 0, true);
  if (focused) scene->FocusKuni(GetDaimyoHomeKuni(0), 1);
  return scene;
}

// What reached the device per frame since the counts were cleared: quads, mesh draws, texture
// uploads (and their bytes) and clears.
void DeviceCounters(benchmark::State& state, CDGManager* dg) {
  const plat::FrameHashDevice::Counts& c = dg->HashDevice()->GetCounts();
  const double n = static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
  state.counters["quads"] = static_cast<double>(c.quads) / n;
  state.counters["meshes"] = static_cast<double>(c.meshDraws) / n;
  state.counters["uploads"] = static_cast<double>(c.uploads) / n;
  state.counters["upload_kb"] = static_cast<double>(c.uploadBytes) / 1024.0 / n;
  state.counters["clears"] = static_cast<double>(c.clears) / n;
}

void StopMap() {
  GetSceneMgr().Reset();
  GetMenuMgr().DeleteAllRoots();
}

void BM_MapLogicAndSubmit(benchmark::State& state) {
  auto* dg = new CDGManager();
  dg->CreateDeviceWith([](int w, int h) { return std::make_unique<plat::NullDevice>(w, h); }, true, 1280, 720);
  SetDGManager(dg);
  const bool focused = state.range(0) != 0;
  if (!StartMap(focused)) {
    state.SkipWithError("the strategy scene did not start");
    return;
  }
  CVSceneMgr& mgr = GetSceneMgr();
  int x = 60;
  for (auto _ : state) {
    x = x >= 1200 ? 60 : x + 7;  // the pointer sweeps the map: hover, tooltip, recolouring
    MousePointerX = x;
    MousePointerY = 300;
    mgr.Update();
    mgr.Draw();
    dg->SwapRenderQueues();
  }
  StopMap();
  SetDGManager(nullptr);
  dg->Release();
}
BENCHMARK(BM_MapLogicAndSubmit)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
V4_BENCH_TIME_TARGET(BM_MapLogicAndSubmit, 3.0);

void BM_MapWholeFrame(benchmark::State& state) {
  SceneFrameAdapter scenes;
  Graphics graphics;
  FrameServices s;
  s.scenes = &scenes;
  s.graphics = &graphics;
  FrameDriver driver(s);
  if (!driver.CreateOffscreenGl(1280, 720)) {
    state.SkipWithError("no offscreen GL");
    return;
  }
  auto* dg = new CDGManager();
  graphics.mgr = dg;
  dg->CreateDevice(nullptr, true, 1280, 720, 32);
  dg->SetCameraByDistance(100000.0f, Vector3(0, 0, -1), Vector3(0, 0, 0), 0.0f, 1.0f, 200000.0f,
                          CDGManager::kOrthographic);
  SetDGManager(dg);
  if (!StartMap(state.range(0) != 0)) {
    state.SkipWithError("the strategy scene did not start");
    return;
  }
  GameMode = game_mode::kSlg;
  int x = 60;
  driver.Ticks(5);
  dg->HashDevice()->ClearCounts();
  for (auto _ : state) {
    x = x >= 1200 ? 60 : x + 7;
    driver.SetPointer(x, 300);
    driver.Tick();
  }
  DeviceCounters(state, dg);
  StopMap();
  SetDGManager(nullptr);
  dg->Release();
}
BENCHMARK(BM_MapWholeFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
V4_BENCH_TIME_TARGET(BM_MapWholeFrame, 8.0);

void BM_MaskLookup(benchmark::State& state) {
  SetModuleDirFromHost(V4_TEST_GAME_DIR);
  KuniPosTable t(KuniPosTable::kCountryMap);
  t.LoadKuniPos((std::string(GetModuleDir()) + "Data\\sys\\kunipos_z.bin").c_str());
  int32_t x = 55, y = 109, sum = 0;
  for (auto _ : state) {
    x = x >= 1226 ? 55 : x + 3;
    y = y >= 590 ? 109 : y + 1;
    sum += t.MaskLookup(x, y);
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_MaskLookup);

}  // namespace
