// The message window's frame: the scenario scene on the sample layout with a background, two
// standing pictures, a full backlog (200 entries) and a message being revealed, stepped and drawn:
// logic plus the draw submission on the recording null device (target: under 2 ms a frame), and
// the whole frame on the real GL device offscreen (target: under 6 ms).
// And the reveal of a 400-character page: allocations counted per frame after the first, for the
// reveal counter alone and for the whole window (which hands each changed line to its text widget).
#include <benchmark/benchmark.h>

#include "bench/support/bench_target.h"
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <new>
#include <string>

#include "core/app_state.h"
#include "core/game_clock.h"
#include "core/game_file.h"
#include "platform/gl/gl_context.h"
#include "platform/gl/null_device.h"
#include "render/dg_manager.h"
#include "scenario/script/adv_script.h"
#include "screens/scenario/adv_ports.h"
#include "screens/scenario/adv_rules.h"
#include "screens/scenario/scene_adv.h"
#include "ui/menus/menu_mgr.h"
#include "ui/scenes/scene_frame_adapter.h"
#include "ui/scenes/scene_mgr.h"

namespace fs = std::filesystem;

namespace {
std::atomic<long> g_allocs{0};
}  // namespace

// Out of line, so the compiler does not pair the inlined free with the replaced new and warn.
[[gnu::noinline]] void* operator new(size_t n) {
  g_allocs.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

uint32_t g_now = 5000;
uint32_t Clock(void*) { return g_now; }

struct Setup {
  fs::path dir;
  std::unique_ptr<plat::OffscreenGlContext> gl;
  CDGManager* dg = nullptr;
  bool ok = false;
  // withGl: the real GL device on an offscreen context, drawn and finished each frame.
  explicit Setup(bool withGl = false) {
    dir = fs::temp_directory_path() / ("v4_adv_bench_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::create_directory_symlink(fs::path(V4_TEST_GAME_DIR) / "Data", dir / "Data");
    SetModuleDirFromHost(dir.string());
    SetGameClockOverride(&Clock, nullptr);
    dg = new CDGManager();
    if (withGl) {
      gl = plat::OffscreenGlContext::Create(1280, 720);
      if (!gl || !dg->CreateDevice(nullptr, true, 1280, 720, 32)) return;
      dg->SetCameraByDistance(100000.0f, Vector3(0, 0, -1), Vector3(0, 0, 0), 0.0f, 1.0f, 200000.0f,
                              CDGManager::kOrthographic);
    } else {
      dg->CreateDeviceWith([](int w, int h) { return std::make_unique<plat::NullDevice>(w, h); }, true, 1280, 720);
    }
    SetDGManager(dg);
    ResetAdvPorts();
    AdvPorts& p = GetAdvPorts();
    p.setting = [](int i) { return i == 0 ? 8 : (i == 3 ? 1 : 5); };
    p.voicePlaying = [] { return false; };
    p.keyHeld = p.keyPressed = p.keyReleased = [](int) { return false; };
    p.wheel = [] { return 0; };
    GetMenuMgr().Init(GetModuleDir());
    GetSceneMgr().Reset();
    ok = InitSceneSystem();
    RegisterScenarioScenes(GetSceneMgr());
    GameMode = 0;
    ok = ok && GetSceneMgr().ChangeScene(2, 0);
  }
  ~Setup() {
    GetSceneMgr().Reset();
    GetMenuMgr().DeleteAllRoots();
    SetDGManager(nullptr);
    dg->Release();
    GetAdvScript().ClearBacklog();
    SetGameClockOverride(nullptr, nullptr);
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  CVSceneADV* Scene() const { return dynamic_cast<CVSceneADV*>(GetSceneById(2)); }
  void Frame() {
    g_now += 17;
    GetSceneMgr().UpdateFrameTimer();
    if (gl) dg->UpdateRenderers();
    GetSceneMgr().Update();
    GetSceneMgr().Draw();
    dg->SwapRenderQueues();
    if (gl) {
      dg->RenderFrame();
      dg->Device()->Finish();
    }
  }
};

AdvTextRecord Record(std::string text) {
  AdvTextRecord r;
  r.text = std::move(text);
  return r;
}

std::string Page(size_t chars) {
  std::string s;
  for (size_t i = 0; i < chars; ++i) s += (i % 34 == 33) ? "\n" : "\x82\xa0";  // "あ" and line feeds
  return s;
}

// Argument 0: logic and submission on the null device; 1: the whole frame on real GL.
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

// Argument 0: logic and submission on the null device; 1: the whole frame on real GL.
void BM_MessageWindowFrame(benchmark::State& state) {
  Setup setup(state.range(0) != 0);
  CVSceneADV* s = setup.Scene();
  if (!setup.ok || !s) {
    state.SkipWithError("no scenario scene on the sample data");
    return;
  }
  s->SwapBgPage(0, "Data\\Image\\adv\\bg_castle.png");
  s->LoadChar(0, "hana", 5);
  s->ShowChar(0, 280, 120, 280, 120, 0);
  s->LoadChar(1, "kage", 6);
  s->ShowChar(1, 600, 120, 600, 120, 0);
  for (int i = 0; i < 200; ++i) GetAdvScript().AddBacklogEntry("花", "これまでの台詞", "", 0, 0);
  const std::string page = Page(120);
  for (int i = 0; i < 5; ++i) setup.Frame();
  setup.dg->HashDevice()->ClearCounts();
  int frames = 0;
  for (auto _ : state) {
    // A new page every 60 frames keeps the reveal running.
    if (frames++ % 60 == 0) s->SetMessage(frames, "花", {Record(page)}, true);
    setup.Frame();
  }
  state.counters["backlog"] = static_cast<double>(GetAdvScript().GetBacklogCount());
  DeviceCounters(state, setup.dg);
}
BENCHMARK(BM_MessageWindowFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime()->UseRealTime();
V4_BENCH_TIME_TARGET_RUN("BM_MessageWindowFrame/0", 2.0);
V4_BENCH_TIME_TARGET_RUN("BM_MessageWindowFrame/1", 6.0);

void BM_RevealCounter400(benchmark::State& state) {
  adv::PageReveal reveal;
  const std::string page = Page(400);
  long after = 0, frames = 0;
  for (auto _ : state) {
    reveal.Clear();
    reveal.Append(page);
    reveal.Step(17.0f, 8, false);  // the first frame of the page
    const long before = g_allocs.load();
    while (!reveal.Complete()) {
      reveal.Step(17.0f, 8, false);
      ++frames;
    }
    after += g_allocs.load() - before;
  }
  state.counters["allocs_per_frame"] = frames ? static_cast<double>(after) / static_cast<double>(frames) : 0.0;
}
BENCHMARK(BM_RevealCounter400)->Unit(benchmark::kMicrosecond);

void BM_RevealWindow400(benchmark::State& state) {
  Setup setup;
  CVSceneADV* s = setup.Scene();
  if (!setup.ok || !s) {
    state.SkipWithError("no scenario scene on the sample data");
    return;
  }
  const std::string page = Page(400);
  long after = 0, frames = 0;
  for (auto _ : state) {
    s->SetMessage(1, "花", {Record(page)}, true);
    setup.Frame();
    const long before = g_allocs.load();
    while (s->Window()->IsMessageBusy()) {
      setup.Frame();
      ++frames;
    }
    after += g_allocs.load() - before;
  }
  state.counters["allocs_per_frame"] = frames ? static_cast<double>(after) / static_cast<double>(frames) : 0.0;
}
BENCHMARK(BM_RevealWindow400)->Unit(benchmark::kMillisecond);

}  // namespace
