// One frame of 2,000 moving 32 x 32 sprites from one atlas on the OpenGL device (offscreen):
// submission (sprite updates, board rebuilds, queueing) and the whole frame (submission, sort,
// draw, present, glFinish) are measured separately. Target: the whole frame under 8 ms.
//   SDL_VIDEODRIVER=offscreen ./render_bench --benchmark_repetitions=10
#include <benchmark/benchmark.h>

#include "bench/support/bench_target.h"

#include <ctime>
#include <memory>
#include <vector>

#include "platform/gl/gl_context.h"
#include "render/board_renderer.h"
#include "render/dg_manager.h"
#include "render/sprite.h"
#include "render/texture_holder.h"

namespace {

constexpr int kSprites = 2000;

struct Scene {
  std::unique_ptr<plat::OffscreenGlContext> ctx;
  CDGManager* mgr = nullptr;
  CVTexture* atlas = nullptr;
  std::vector<CVSprite*> sprites;
  int frame = 0;

  bool Init() {
    ctx = plat::OffscreenGlContext::Create(1280, 720);
    if (!ctx) return false;
    mgr = new CDGManager();
    if (!mgr->CreateDevice(nullptr, true, 1280, 720, 32)) return false;
    mgr->SetCameraByDistance(100000.0f, Vector3(0, 0, -1), Vector3(0, 0, 0), 0, 1, 200000, CDGManager::kOrthographic);
    SetDGManager(mgr);
    // A 256 x 256 atlas: 8 x 8 cells of 32 x 32.
    atlas = GetTextureMgr()->CreateTexture();
    if (!atlas->CreateEmpty(256, 256)) return false;
    std::vector<uint8_t> bgra(256 * 256 * 4);
    for (size_t i = 0; i < bgra.size(); i += 4) {
      bgra[i] = static_cast<uint8_t>(i * 7), bgra[i + 1] = static_cast<uint8_t>(i >> 8), bgra[i + 2] = 200;
      bgra[i + 3] = 255;
    }
    const DGRect all{0, 0, 256, 256};
    atlas->GetTexture()->UpdateFromMemory(bgra.data(), 256 * 4, 256, 256, nullptr, &all, kFmtA8R8G8B8);
    for (int i = 0; i < kSprites; ++i) {
      auto* s = new CVSprite();
      s->Setup("", Vector3(), Color(255, 255, 255, 255), 32, 32, 8, 8, 0, 0, 0, 0, 0, 256, 256, false, false, false);
      atlas->AddUser();
      s->SetTexture(atlas);
      s->SetCellGrid(8, 8, 256, 256);
      s->SetCell(i % 64);
      s->SetFlag(CVSprite::kFlagNoDepth, true);
      sprites.push_back(s);
    }
    return true;
  }

  // Every sprite moves every frame, so every board is rebuilt.
  void Submit() {
    ++frame;
    for (int i = 0; i < kSprites; ++i) {
      const float x = static_cast<float>((i * 37 + frame * 3) % 1248);
      const float y = static_cast<float>((i * 53 + frame) % 688);
      sprites[i]->SetMatrix(MakeTranslationMatrix(x, y, static_cast<float>(i % 16)));
      sprites[i]->UpdateRenderer(false, false, true);
    }
    mgr->SwapRenderQueues();
  }

  void Draw() {
    mgr->RenderFrame();
    mgr->Device()->Finish();
  }
};

Scene& GetScene() {
  static Scene* scene = [] {
    auto* s = new Scene();
    if (!s->Init()) s->mgr = nullptr;
    return s;
  }();
  return *scene;
}

double NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

void BM_SpriteSubmission(benchmark::State& state) {
  Scene& s = GetScene();
  if (!s.mgr) {
    state.SkipWithError("no OpenGL device");
    return;
  }
  for (auto _ : state) {
    s.Submit();
    state.PauseTiming();
    s.Draw();  // keeps the queues as in a real frame; not counted
    state.ResumeTiming();
  }
}
BENCHMARK(BM_SpriteSubmission)->Unit(benchmark::kMillisecond);

void BM_SpriteFrameTotal(benchmark::State& state) {
  Scene& s = GetScene();
  if (!s.mgr) {
    state.SkipWithError("no OpenGL device");
    return;
  }
  double submit = 0;
  for (auto _ : state) {
    const double t0 = NowMs();
    s.Submit();
    submit += NowMs() - t0;
    s.Draw();
  }
  state.counters["submit_ms"] = benchmark::Counter(submit, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_SpriteFrameTotal)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
V4_BENCH_TIME_TARGET(BM_SpriteFrameTotal, 8.0);

}  // namespace
