// Start-up to the title menu taking input, with no opening movie: the drawing device, settings and
// play record, sound, the scene table, the title and dialog layouts with their pictures and texts
// on the real GL device (offscreen), and the frames of the title until its buttons count. Frames
// run on a virtual clock, so the time measured is the work, not the authored animation lengths
// (the counters show those). Argument 0: a title that goes straight to its menu; 1: the first
// title of a run, whose logo plays whole (a first start) before the absent movie is skipped.
// The offscreen window and its GL context are made once, outside the timing. Target: under 1 s.
#include <benchmark/benchmark.h>

#include "bench/support/bench_target.h"
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>

#include "core/app_state.h"
#include "core/game_file.h"
#include "save/system_files.h"
#include "core/frame_services.h"
#include "sound/sound.h"
#include "screens/front/front_scenes.h"
#include "screens/front/scene_title.h"
#include "screens/front/title_ports.h"
#include "render/dg_manager.h"
#include "tests/support/frame_driver.h"
#include "ui/menus/menu_mgr.h"
#include "ui/scenes/scene_frame_adapter.h"
#include "ui/scenes/scene_mgr.h"

namespace fs = std::filesystem;

namespace {

class Graphics : public FrameGraphics {
 public:
  CDGManager* mgr = nullptr;
  void UpdateRenderers() override { mgr->UpdateRenderers(); }
  void SwapRenderQueues() override { mgr->SwapRenderQueues(); }
  bool RenderFrame() override { return mgr->RenderFrame(); }
  bool RenderMovieFrame() override { return true; }
};

void BM_StartupToTitleMenu(benchmark::State& state) {
  const fs::path dir = fs::temp_directory_path() / ("v4_title_bench_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::create_directory_symlink(fs::path(V4_TEST_GAME_DIR) / "Data", dir / "Data");
  const std::string oldDir = GetModuleDir();
  SetModuleDirFromHost(dir.string());
  int frames = 0;
  SceneFrameAdapter scenes;
  Graphics graphics;
  FrameDriver driver(FrameServices{&scenes, nullptr, &graphics});
  if (!driver.CreateOffscreenGl(1280, 720)) {
    state.SkipWithError("no GL 3.3 context");
    return;
  }
  for (auto _ : state) {
    graphics.mgr = new CDGManager();
    graphics.mgr->CreateDevice(nullptr, true, 1280, 720, 32);
    graphics.mgr->SetCameraByDistance(100000.0f, Vector3(0, 0, -1), Vector3(0, 0, 0), 0.0f, 1.0f, 200000.0f,
                                      CDGManager::kOrthographic);
    SetDGManager(graphics.mgr);
    LoadSystemData();
    PlayRecordBlock.startCounter = 1;
    InitSound();
    StartSoundStreams();
    GetMenuMgr().Init(GetModuleDir());
    CVSceneMgr& mgr = GetSceneMgr();
    mgr.Reset();
    InitSceneSystem();
    RegisterFrontScenes(mgr);
    GetTitlePorts().playFullScreenMovie = [](const char*) { return false; };  // no opening movie
    ShowOpeningFlag = static_cast<uint8_t>(state.range(0));
    GameMode = 1;  // idle, as start-up leaves it: the scene manager enters the title
    frames = 0;
    for (;;) {
      driver.Tick();
      ++frames;
      auto* title = dynamic_cast<CVSceneTitle*>(GetSceneById(1));
      if ((title && title->GetPhase() == CVSceneTitle::kPhaseMenu && title->GetStepValue() == 2) || frames > 2000)
        break;
    }
    if (frames > 2000) {
      state.SkipWithError("the title menu never took input");
      break;
    }
    state.PauseTiming();
    mgr.Reset();
    GetMenuMgr().DeleteAllRoots();
    SetDGManager(nullptr);
    graphics.mgr->Release();
    graphics.mgr = nullptr;
    StopSoundStreams();
    ShutdownSoundStreams();
    ReleaseSound();
    ResetTitlePorts();
    state.ResumeTiming();
  }
  state.counters["frames"] = frames;
  state.counters["virtual_ms"] = frames * 18.0;
  SetModuleDir(oldDir.c_str());
  fs::remove_all(dir);
}
BENCHMARK(BM_StartupToTitleMenu)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);
V4_BENCH_TIME_TARGET(BM_StartupToTitleMenu, 1000.0);

// A whole frame of the title with its menu up and the backdrop's wipe over, the pointer moving
// across the buttons (their hover looks change), through the program's frame routine on the real
// GL device offscreen, every frame drawn. Target: under 5 ms.
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

void BM_TitleFrame(benchmark::State& state) {
  const fs::path dir = fs::temp_directory_path() / ("v4_title_frame_bench_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::create_directory_symlink(fs::path(V4_TEST_GAME_DIR) / "Data", dir / "Data");
  const std::string oldDir = GetModuleDir();
  SetModuleDirFromHost(dir.string());
  SceneFrameAdapter scenes;
  Graphics graphics;
  FrameDriver driver(FrameServices{&scenes, nullptr, &graphics});
  if (!driver.CreateOffscreenGl(1280, 720)) {
    state.SkipWithError("no GL 3.3 context");
    return;
  }
  graphics.mgr = new CDGManager();
  graphics.mgr->CreateDevice(nullptr, true, 1280, 720, 32);
  graphics.mgr->SetCameraByDistance(100000.0f, Vector3(0, 0, -1), Vector3(0, 0, 0), 0.0f, 1.0f, 200000.0f,
                                    CDGManager::kOrthographic);
  SetDGManager(graphics.mgr);
  LoadSystemData();
  GetMenuMgr().Init(GetModuleDir());
  CVSceneMgr& mgr = GetSceneMgr();
  mgr.Reset();
  InitSceneSystem();
  RegisterFrontScenes(mgr);
  GetTitlePorts().playFullScreenMovie = [](const char*) { return false; };
  GetTitlePorts().playMusic = [](const char*, int) {};
  ShowOpeningFlag = 0;
  GameMode = 1;
  bool ready = false;
  for (int i = 0; i < 2000 && !ready; ++i) {
    driver.Tick();
    auto* title = dynamic_cast<CVSceneTitle*>(GetSceneById(1));
    ready = title && title->GetPhase() == CVSceneTitle::kPhaseMenu && title->GetStepValue() == 2;
  }
  driver.Ticks(90);  // the backdrop's wipe is over
  graphics.mgr->HashDevice()->ClearCounts();
  int y = 300;
  for (auto _ : state) {
    if (!ready) {
      state.SkipWithError("the title menu never took input");
      break;
    }
    y = y >= 700 ? 300 : y + 5;
    driver.SetPointer(640, y);
    driver.Tick();
    graphics.mgr->Device()->Finish();
  }
  DeviceCounters(state, graphics.mgr);
  mgr.Reset();
  GetMenuMgr().DeleteAllRoots();
  SetDGManager(nullptr);
  graphics.mgr->Release();
  ResetTitlePorts();
  SetModuleDir(oldDir.c_str());
  fs::remove_all(dir);
}
BENCHMARK(BM_TitleFrame)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
V4_BENCH_TIME_TARGET(BM_TitleFrame, 5.0);

}  // namespace
