// Effects and models on the OpenGL device (offscreen), with the built sample data:
// - a frame of a full-screen (1280 x 720) picture blurred by the two-pass Gauss filter under
//   2,000 moving 32 x 32 sprites (submission, sort, both passes, draw, glFinish);
// - loading the five sample models (parse, meshes on the device, textures).
//   SDL_VIDEODRIVER=offscreen ./effect_bench --benchmark_repetitions=10
#include <benchmark/benchmark.h>

#include "bench/support/bench_target.h"

#include <memory>
#include <string>
#include <vector>

#include "core/game_file.h"
#include "platform/gl/gl_context.h"
#include "render/board_renderer.h"
#include "render/dg_manager.h"
#include "render/effect/shader.h"
#include "render/file_load.h"
#include "render/model/model_renderer.h"
#include "render/sprite.h"
#include "render/texture_holder.h"

namespace {

constexpr int kSprites = 2000;

class FixedOwner : public ShaderOwner {
 public:
  float ShaderTimeStep() const override { return 16; }
  CDGTexture* ShaderSourceTexture() const override { return texture; }
  void ShaderColor(float* r, float* g, float* b, float* a) const override { *r = *g = *b = *a = 255; }
  CDGTexture* texture = nullptr;
};

struct Scene {
  std::unique_ptr<plat::OffscreenGlContext> ctx;
  CDGManager* mgr = nullptr;
  CVTexture* atlas = nullptr;
  CDGTexture* backdrop = nullptr;
  CDGBoardRenderer* board = nullptr;
  CVShaderGaussFilter gauss;
  FixedOwner owner;
  std::vector<CVSprite*> sprites;
  int frame = 0;

  bool Init() {
    if (!SetModuleDirFromHost(std::string(V4_TEST_GAME_DIR))) return false;
    ctx = plat::OffscreenGlContext::Create(1280, 720);
    if (!ctx) return false;
    mgr = new CDGManager();
    if (!mgr->CreateDevice(nullptr, true, 1280, 720, 32)) return false;
    mgr->SetCameraByDistance(100000.0f, Vector3(0, 0, -1), Vector3(0, 0, 0), 0, 1, 200000, CDGManager::kOrthographic);
    SetDGManager(mgr);
    // The blurred backdrop: a 1280 x 720 picture of stripes.
    backdrop = new CDGTexture(mgr);
    if (!backdrop->CreateEmpty(1280, 720)) return false;
    std::vector<uint8_t> bgra(1280 * 720 * 4);
    for (size_t i = 0; i < bgra.size(); i += 4) {
      const size_t x = (i / 4) % 1280;
      bgra[i] = static_cast<uint8_t>((x / 16) % 2 ? 255 : 0), bgra[i + 1] = 80, bgra[i + 2] = 40, bgra[i + 3] = 255;
    }
    backdrop->UpdateFromMemory(bgra.data(), 1280 * 4, 1280, 720, nullptr, nullptr, kFmtA8R8G8B8);
    board = new CDGBoardRenderer(mgr);
    board->SetMode(CDGBoardRenderer::kScreen);
    board->SetTexture(backdrop);
    board->SetPosition(0, 0, 0);
    board->SetAxes(Vector3(1, 0, 0), Vector3(0, 1, 0));
    board->SetSize(1280, 720);
    board->SetColors(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, true);
    owner.texture = backdrop;
    gauss.SetUserData(&owner);
    gauss.Load();
    gauss.Enable();
    if (!gauss.GetEffect() || !gauss.GetEffect()->HasEffect()) return false;
    gauss.SetDispersion(0.02f);
    board->AttachResource(gauss.GetEffect(), false, false);

    atlas = GetTextureMgr()->CreateTexture();
    if (!atlas->CreateEmpty(256, 256)) return false;
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

  void Frame(int count, bool blur) {
    ++frame;
    gauss.SetParams();
    if (blur) board->Queue(true);
    for (int i = 0; i < count; ++i) {
      const float x = static_cast<float>((i * 37 + frame * 3) % 1248);
      const float y = static_cast<float>((i * 53 + frame) % 688);
      sprites[i]->SetMatrix(MakeTranslationMatrix(x, y, static_cast<float>(1 + i % 16)));
      sprites[i]->UpdateRenderer(false, false, true);
    }
    mgr->SwapRenderQueues();
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

// Target: under 12 ms a frame on llvmpipe.
void BM_GaussBlurWith2000Sprites(benchmark::State& state) {
  Scene& s = GetScene();
  if (!s.mgr) {
    state.SkipWithError("no OpenGL device or no built sample data");
    return;
  }
  for (auto _ : state) s.Frame(kSprites, true);
}
BENCHMARK(BM_GaussBlurWith2000Sprites)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
V4_BENCH_TIME_TARGET(BM_GaussBlurWith2000Sprites, 12.0);

// The two parts alone, to see where the time goes.
void BM_GaussBlurAlone(benchmark::State& state) {
  Scene& s = GetScene();
  if (!s.mgr) {
    state.SkipWithError("no OpenGL device or no built sample data");
    return;
  }
  for (auto _ : state) s.Frame(0, true);
}
BENCHMARK(BM_GaussBlurAlone)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_SpritesAlone(benchmark::State& state) {
  Scene& s = GetScene();
  if (!s.mgr) {
    state.SkipWithError("no OpenGL device or no built sample data");
    return;
  }
  for (auto _ : state) s.Frame(kSprites, false);
}
BENCHMARK(BM_SpritesAlone)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// Target: the five sample models together under 50 ms.
void BM_LoadSampleModels(benchmark::State& state) {
  Scene& s = GetScene();
  if (!s.mgr) {
    state.SkipWithError("no OpenGL device or no built sample data");
    return;
  }
  const char* files[] = {"board.x", "figure_walk.x", "figure_attack.x", "castle.x", "castle_burning.x"};
  for (auto _ : state) {
    for (const char* f : files) {
      auto* model = new CDGModelRenderer(s.mgr);
      auto* l = new CDGFileLoad_QZT((std::string(GetModuleDir()) + "Data\\Model\\" + f).c_str());
      model->LoadModel(l);
      l->Release();
      if (!model->HasModel()) state.SkipWithError("a sample model did not load");
      model->Release();
    }
    s.mgr->Device()->Finish();
  }
}
BENCHMARK(BM_LoadSampleModels)->Unit(benchmark::kMillisecond);
V4_BENCH_TIME_TARGET(BM_LoadSampleModels, 50.0);

}  // namespace
