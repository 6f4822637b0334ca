// The 3-D battle field with the built sample data (1280 x 720):
// - a frame on the OpenGL device (offscreen): sky and moat water through their shaders,
//   background, field, twelve unit figures (five lanes and the reserve place of each side) and
//   twelve unit panels over it, submitted, drawn and finished (target 10 ms on llvmpipe);
// - the battle side of a frame on the null device: the field following the board, its clocks,
//   an attack in progress, and the submission (target 3 ms).
//   SDL_VIDEODRIVER=offscreen ./battle_field_bench
#include <benchmark/benchmark.h>

#include "bench/support/bench_target.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_state.h"
#include "core/game_file.h"
#include "platform/gl/gl_context.h"
#include "platform/gl/null_device.h"
#include "render/board_renderer.h"
#include "render/dg_manager.h"
#include "screens/battle/kassen_field3d.h"

namespace {

// Both sides on a five-lane castle field, a sixth unit each in the reserve place.
void SetUpBoard() {
  g_Battle = BattleState();
  g_Battle.laneCount = 5;
  g_Battle.siroSize = 2;
  g_Battle.siroFlag = 1;
  for (int side = 0; side < 2; ++side)
    for (int i = 0; i < kBattleUnits; ++i) {
      BattleUnit& u = g_Battle.sides[side].units[i];
      ClearBattleUnit(u);
      u.general = static_cast<uint16_t>(side * 6 + i + 1);
      u.soldiers = 40;
      u.kind = static_cast<uint16_t>(1 + i % 3);
      u.lane = static_cast<uint8_t>(i);
      if (i < 5) g_Battle.slots[side][i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(side == 0 ? 3 : 4), 0, 0};
    }
}

struct Field {
  std::unique_ptr<plat::OffscreenGlContext> ctx;
  CDGManager* mgr = nullptr;
  std::unique_ptr<KassenField3D> field;
  std::vector<CDGBoardRenderer*> panels;
  CDGTexture* panelTexture = nullptr;

  bool Init(bool gl) {
    if (!SetModuleDirFromHost(std::string(V4_TEST_GAME_DIR))) return false;
    mgr = new CDGManager();
    if (gl) {
      ctx = plat::OffscreenGlContext::Create(1280, 720);
      if (!ctx || !mgr->CreateDevice(nullptr, true, 1280, 720, 32)) return false;
    } else if (!mgr->CreateDeviceWith([](int w, int h) { return std::make_unique<plat::NullDevice>(w, h); }, true, 1280,
                                      720)) {
      return false;
    }
    mgr->SetCameraByDistance(100000.0f, Vector3(0, 0, -1), Vector3(0, 0, 0), 0, 1, 200000, CDGManager::kOrthographic);
    SetDGManager(mgr);
    SetUpBoard();
    field = std::make_unique<KassenField3D>(mgr);
    field->Setup(1, g_Battle, 1);
    if (field->LoadedModels() < 14) return false;
    panelTexture = new CDGTexture(mgr);
    if (!panelTexture->CreateEmpty(64, 64)) return false;
    for (int i = 0; i < 12; ++i) {
      auto* b = new CDGBoardRenderer(mgr);
      b->SetMode(CDGBoardRenderer::kScreen);
      b->SetTexture(panelTexture);
      b->SetPosition(i < 6 ? 40.0f : 900.0f, 120.0f + static_cast<float>(i % 6) * 56.0f, 10.0f);
      b->SetAxes(Vector3(1, 0, 0), Vector3(0, 1, 0));
      b->SetSize(300, 48);
      b->SetColors(0xC0202830u, 0xC0202830u, 0xC0202830u, 0xC0202830u, true);
      panels.push_back(b);
    }
    return true;
  }
  void Frame(int n) {
    // A charge every second keeps an attack, its figures and a camera move in progress.
    if (n % 60 == 0) {
      g_Battle.sides[0].units[n / 60 % 5].actionMarks ^= 2;
      g_Battle.sides[1].units[n / 60 % 5].soldiers = static_cast<uint8_t>(10 + n / 60 % 30);
    }
    field->Sync(g_Battle);
    field->Update(16.667f, false);
    mgr->UpdateRenderers();
    field->Draw();
    for (CDGBoardRenderer* b : panels) b->Queue(true);
    mgr->SwapRenderQueues();
    mgr->RenderFrame();
  }
  ~Field() {
    field.reset();
    for (CDGBoardRenderer* b : panels) b->Release();
    if (panelTexture) panelTexture->Release();
    SetDGManager(nullptr);
    if (mgr) mgr->Release();
  }
};

void BM_BattleFieldFrame(benchmark::State& state) {
  Field f;
  if (!f.Init(true)) {
    state.SkipWithError("no GL context or sample data");
    return;
  }
  int n = 0;
  f.mgr->HashDevice()->ClearCounts();
  for (auto _ : state) {
    f.Frame(n++);
    f.mgr->Device()->Finish();
  }
  const plat::FrameHashDevice::Counts& c = f.mgr->HashDevice()->GetCounts();
  const double frames = static_cast<double>(std::max(n, 1));
  state.counters["quads"] = static_cast<double>(c.quads) / frames;
  state.counters["meshes"] = static_cast<double>(c.meshDraws) / frames;
  state.counters["uploads"] = static_cast<double>(c.uploads) / frames;
  state.counters["clears"] = static_cast<double>(c.clears) / frames;
}
BENCHMARK(BM_BattleFieldFrame)->Unit(benchmark::kMillisecond)->MinTime(2.0)->MeasureProcessCPUTime()->UseRealTime();
V4_BENCH_TIME_TARGET(BM_BattleFieldFrame, 10.0);

void BM_BattleFieldLogicAndSubmission(benchmark::State& state) {
  Field f;
  if (!f.Init(false)) {
    state.SkipWithError("no sample data");
    return;
  }
  int n = 0;
  for (auto _ : state) f.Frame(n++);
}
BENCHMARK(BM_BattleFieldLogicAndSubmission)->Unit(benchmark::kMicrosecond);
V4_BENCH_TIME_TARGET(BM_BattleFieldLogicAndSubmission, 3.0);

}  // namespace
