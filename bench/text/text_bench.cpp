// A 400-character page of kana, kanji and ASCII laid out and drawn with the system font on the
// OpenGL device (offscreen): once with a cold glyph cache (every glyph rasterised and uploaded)
// and once warm (glyphs shared from the cache). Targets: cold under 20 ms, warm under 1 ms.
//   SDL_VIDEODRIVER=offscreen ./text_bench --benchmark_repetitions=5
#include <benchmark/benchmark.h>

#include "bench/support/bench_target.h"

#include <memory>
#include <string>

#include "platform/gl/gl_context.h"
#include "render/dg_manager.h"
#include "render/text/glyph_cache.h"
#include "render/text/text_renderer.h"

namespace {

// Twelve lines of game-like text (line feeds included), cut to exactly 400 characters.
const char* const kLines[] = {
    "天下統一を目指す大名たちは、Spring 1560年に一斉に動き出した。\n",
    "尾張の若き当主は兵を集め、城の守りを固めている。ABC 準備よし\n",
    "The castle of Kiyosu stands by the river; 川の流れは速い\n",
    "家臣団は評定を開き、次の戦略について議論を重ねた。123 石高\n",
    "今川の大軍が国境を越えたとの知らせが届く。Turn 12. 急げ\n",
    "兵糧は十分か、鉄砲の数は足りているか、確かめよ。OK 了解です\n",
    "桶狭間の谷に雨が降り、敵陣は油断しきっていた。Rain! 好機\n",
    "奇襲は成功し、東海の勢力図は大きく塗り替えられることとなった\n",
    "美濃への道が開け、新たな同盟の話が持ち上がった。456 使者を\n",
    "次の季節に備え、内政と軍備を整えよう。Save & Quit? はい\n",
    "甲斐の虎と越後の龍、北の国々にも戦雲が広がる。Battle 3/7\n",
    "商人は港に集い、茶の湯と鉄砲の取引で賑わっている。Gold+80\n",
};

constexpr size_t kPageChars = 400;

std::string Page() {
  std::string all;
  for (const char* l : kLines) all += l;
  std::string page;
  size_t chars = 0;
  for (size_t i = 0; i < all.size() && chars < kPageChars; ++chars) {
    const size_t n = SjisCharLength(all, i);
    page.append(all, i, n);
    i += n;
  }
  return page;
}

struct Scene {
  std::unique_ptr<plat::OffscreenGlContext> ctx;
  CDGManager* mgr = nullptr;
  CDGTextTextureManager cache;
  std::string page = Page();

  bool Init() {
    ctx = plat::OffscreenGlContext::Create(1280, 720);
    if (!ctx) return false;
    mgr = new CDGManager();
    if (!mgr->CreateDevice(nullptr, true, 1280, 720, 32)) return false;
    mgr->SetCameraByDistance(100000.0f, Vector3(0, 0, -1), Vector3(0, 0, 0), 0, 1, 200000, CDGManager::kOrthographic);
    return true;
  }
  CDGTextRenderer* NewRenderer() {
    auto* r = new CDGTextRenderer(mgr, 40, 40, 0.5f, "", "", 24, 6, 0, 1, 0xFFFFFFFF);
    r->SetGlyphCache(&cache);
    r->SetDrawMode(CDGTextRenderer::kScreen, false);
    r->SetAxes(Vector3(1, 0, 0), Vector3(0, 1, 0), false);
    return r;
  }
  void DrawFrame(CDGTextRenderer* r) {
    mgr->Device()->Clear(true, true, 0xFF000000u, 1.0f);
    r->Draw(false, false, false);
    mgr->Device()->Flush();
  }
};

Scene* TheScene(benchmark::State& state) {
  static Scene* scene = [] {
    auto* s = new Scene;
    return s->Init() ? s : nullptr;
  }();
  if (!scene) state.SkipWithError("no offscreen OpenGL context");
  return scene;
}

// Every iteration starts from an empty cache: all glyphs of the page are rasterised and uploaded.
void BM_TextPageColdCache(benchmark::State& state) {
  Scene* s = TheScene(state);
  if (!s) return;
  uint64_t glyphs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    s->cache.ReleaseAll();
    CDGTextRenderer* r = s->NewRenderer();
    const uint64_t before = s->cache.RasterizedCount();
    state.ResumeTiming();
    r->SetText(s->page, true);
    s->DrawFrame(r);
    state.PauseTiming();
    glyphs = s->cache.RasterizedCount() - before;
    r->Release();
    s->mgr->Device()->Finish();
    state.ResumeTiming();
  }
  state.counters["glyphs rasterised"] = static_cast<double>(glyphs);
}
BENCHMARK(BM_TextPageColdCache)->Unit(benchmark::kMillisecond);
V4_BENCH_TIME_TARGET(BM_TextPageColdCache, 20.0);

// The glyphs are cached (preloaded): a relayout of the whole page (glyph list and vertices) and its draw.
void BM_TextPageWarmCache(benchmark::State& state) {
  Scene* s = TheScene(state);
  if (!s) return;
  s->cache.ReleaseAll();
  s->cache.PreloadText(s->mgr, s->page, CDGTextRenderer::kDefaultFace, 24, 0, 0);
  CDGTextRenderer* r = s->NewRenderer();
  r->SetText(s->page, true);
  for (auto _ : state) {
    r->Relayout();
    s->DrawFrame(r);
  }
  r->Release();
}
BENCHMARK(BM_TextPageWarmCache)->Unit(benchmark::kMicrosecond);
V4_BENCH_TIME_TARGET(BM_TextPageWarmCache, 1.0);

// A frame of a page that is already laid out: only the draw.
void BM_TextPageFrame(benchmark::State& state) {
  Scene* s = TheScene(state);
  if (!s) return;
  CDGTextRenderer* r = s->NewRenderer();
  r->SetText(s->page, true);
  for (auto _ : state) {
    r->Update(16);
    s->DrawFrame(r);
  }
  r->Release();
}
BENCHMARK(BM_TextPageFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
