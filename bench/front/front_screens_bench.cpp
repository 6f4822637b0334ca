// The screens opened over another one, on the real GL device (offscreen) and the sample layouts:
// - opening the load screen: its menu built from the layout and opened, which reads the ten headers
//   of the page of the last save (all ten valid) and shows them. Target: under 20 ms.
// - the cover backdrop: the title's picture (captured as the cover) read small, blurred, faded by
//   the pattern and tinted into the settings panel's picture (two passes and a readback), the
//   cover dropped, with the chain's render targets and effect kept from the backdrop before.
//   Target: under 4 ms.
// The offscreen window and its GL context are made once, outside the timing.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/support/bench_target.h"
#include "core/app_state.h"
#include "core/frame_services.h"
#include "core/game_file.h"
#include "render/dg_manager.h"
#include "save/save_slot.h"
#include "save/system_files.h"
#include "screens/front/cover_backdrop.h"
#include "screens/front/front_scenes.h"
#include "screens/front/scene_save.h"
#include "screens/front/scene_title.h"
#include "screens/front/title_ports.h"
#include "tests/support/frame_driver.h"
#include "ui/menus/menu_factory.h"
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

// A temporary program folder sharing the sample data, the GL device and the scene system.
class Setup {
 public:
  bool ok = false;
  Setup() : driver_(FrameServices{&scenes_, nullptr, &graphics_}) {
    dir_ = fs::temp_directory_path() / ("v4_front_bench_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::create_directory_symlink(fs::path(V4_TEST_GAME_DIR) / "Data", dir_ / "Data");
    oldDir_ = GetModuleDir();
    SetModuleDirFromHost(dir_.string());
    if (!driver_.CreateOffscreenGl(1280, 720)) return;
    graphics_.mgr = new CDGManager();
    graphics_.mgr->CreateDevice(nullptr, true, 1280, 720, 32);
    graphics_.mgr->SetCameraByDistance(100000.0f, Vector3(0, 0, -1), Vector3(0, 0, 0), 0.0f, 1.0f, 200000.0f,
                                       CDGManager::kOrthographic);
    SetDGManager(graphics_.mgr);
    SetDefaultSysConfig();
    ClearPlayRecord();
    GetMenuMgr().Init(GetModuleDir());
    GetSceneMgr().Reset();
    InitSceneSystem();
    RegisterFrontScenes(GetSceneMgr());
    ok = true;
  }
  ~Setup() {
    GetSceneMgr().Reset();
    GetMenuMgr().DeleteAllRoots();
    if (graphics_.mgr) {
      SetDGManager(nullptr);
      graphics_.mgr->Release();
    }
    ResetTitlePorts();
    SetModuleDir(oldDir_.c_str());
    fs::remove_all(dir_);
  }
  FrameDriver& Driver() { return driver_; }

 private:
  fs::path dir_;
  std::string oldDir_;
  SceneFrameAdapter scenes_;
  Graphics graphics_;
  FrameDriver driver_;
};

void BM_OpenLoadScreenPage(benchmark::State& state) {
  Setup s;
  if (!s.ok) {
    state.SkipWithError("no GL 3.3 context");
    return;
  }
  for (int slot = 30; slot < 40; ++slot) {
    SlotHeader h;
    h.valid = 1;
    std::memcpy(h.tag, kSaveVersionTag, sizeof h.tag);
    h.koku = static_cast<uint16_t>(slot);
    h.saveTime = 1700000000 + slot * 3600;
    std::strncpy(h.clanName, "clan", sizeof h.clanName - 1);
    WriteSlotHeader(slot, h);
  }
  PlayRecordBlock.lastSlot = 33;
  int valid = 0;
  for (auto _ : state) {
    CVSceneSAVE scene(5, 1);
    if (state.range(0) == 0) state.PauseTiming();
    auto* menu = dynamic_cast<CVMenuSAVE*>(CreateMenuScene(60, "Data\\layout\\save.lay"));
    if (state.range(0) == 0) state.ResumeTiming();
    if (!menu) {
      state.SkipWithError("no save layout");
      break;
    }
    scene.AddMenu(menu, 0);
    menu->Open(1, 0, 0);
    valid = 0;
    for (int slot = 30; slot < 40; ++slot) valid += menu->IsSlotValid(slot);
    state.PauseTiming();
    menu->Close();
    state.ResumeTiming();
  }
  state.counters["valid_rows"] = valid;
}
// Argument 0: the open alone (headers read, rows shown); 1: with the layout built (its pictures
// come from the texture cache after the first time).
BENCHMARK(BM_OpenLoadScreenPage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(20);
V4_BENCH_TIME_TARGET(BM_OpenLoadScreenPage, 20.0);

void BM_CoverBackdrop(benchmark::State& state) {
  Setup s;
  if (!s.ok) {
    state.SkipWithError("no GL 3.3 context");
    return;
  }
  ShowOpeningFlag = 0;
  GetTitlePorts().playMusic = [](const char*, int) {};
  GetSceneMgr().ChangeScene(1, 0);
  s.Driver().Ticks(60);  // the title's opening animation has ended
  CVScene* title = GetSceneMgr().GetCurrentScene();
  int made = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<CVMenuBase*> widgets;
    title->CollectWidgets(widgets);
    CVScene scene(-1, 6);
    scene.SetMainMenu(DefaultCoverBuilder()(widgets, 1280.0f, 720.0f));
    CVMenuSceneRoot* menu = CreateMenuScene(70, "Data\\layout\\config.lay");
    scene.AddMenu(menu, 0);
    CVMenuBase* panel = menu->FindChild(kWidgetSprite, 0);
    if (state.range(0) == 1) ReleaseCoverBackdropChain();
    state.ResumeTiming();
    made += BuildCoverBackdrop(scene, panel, panel ? panel->FindChild(kWidgetSprite, 3) : nullptr);
  }
  state.counters["made"] = made;
}
// Argument 0: the chain's render targets and effects kept from the backdrop before; 1: made
// afresh each time (the first backdrop, or one after the device manager changed).
BENCHMARK(BM_CoverBackdrop)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
V4_BENCH_TIME_TARGET_RUN("BM_CoverBackdrop/0", 4.0);

}  // namespace
