// Parsing and building a 300-node layout (100 panels, each with a button and a text, with
// animation keys) on the null device. Target: under 5 ms for parse + build.
#include <benchmark/benchmark.h>

#include "bench/support/bench_target.h"

#include <memory>
#include <string>

#include "formats/scramble/scramble.h"
#include "platform/gl/null_device.h"
#include "platform/text/log.h"
#include "render/dg_manager.h"
#include "ui/layout/cv_script.h"
#include "ui/layout/layout_builder.h"
#include "ui/menus/menu_mgr.h"
#include "ui/menus/menu_root.h"

namespace {

std::string MakeLayout(int panels) {
  std::string t =
      "[SpriteLocal]\r\n{\r\n:#0 \"Data\\Image\\b\\panel.png\",200,100,1,1\r\n"
      ":#1 \"Data\\Image\\b\\btn_%02d.png\",100,200,1,5\r\n}\r\n";
  for (int i = 0; i < panels; ++i) {
    const std::string n = std::to_string(i);
    t += "[Window#" + n + "]\r\n{\r\n:pos " + std::to_string(i * 3) + ",10,0\r\n:sprite 0,0,0,-1\r\n";
    t += ":AnimeMove#0 1,0,20,0,300,0,2\r\n:AnimeColor#0 2,255,255,255,0,200\r\n:AnimeStart 1\r\n";
    t += "[Btn#0]\r\n{\r\n:pos 20,40,0\r\n:id " + n + ",-1\r\n:sprite 0,1,0," + std::to_string(i % 10) +
         "\r\n:state 0,1,2,3,4\r\n:SE -1,-1,-1,-1,-1\r\n:AnimeScale#0 3,120,120,100,100\r\n}\r\n";
    t += "[Text#0]\r\n{\r\n:pos 10,10,0\r\n:area 180,24\r\n:size 20,0,0\r\n:text \"label" + n +
         "\"\r\n:align 1,1\r\n}\r\n}\r\n";
  }
  return t;
}

void BM_ParseAndBuild300Nodes(benchmark::State& state) {
  plat::SetLogEnabled(false);
  auto* graphics = new CDGManager();
  graphics->CreateDeviceWith([](int w, int h) { return std::make_unique<plat::NullDevice>(w, h); }, true, 1280, 720);
  SetDGManager(graphics);
  const std::string text = MakeLayout(100);
  std::string scrambled = text;
  v4fmt::ScrambleInPlace(reinterpret_cast<uint8_t*>(scrambled.data()), scrambled.size(), v4fmt::kScrambleSeedCommon);
  CVMenuMgr& mgr = GetMenuMgr();
  for (auto _ : state) {
    std::string bytes = scrambled;
    v4fmt::DescrambleInPlace(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size(), v4fmt::kScrambleSeedCommon);
    CVScript script;
    script.Parse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    auto* root = new CVMenuSceneRoot();
    mgr.RegisterRoot(root);
    BuildLayoutTree(mgr, script, root);
    benchmark::DoNotOptimize(root->children.count);
    state.PauseTiming();
    mgr.DeleteAllRoots();
    state.ResumeTiming();
  }
  SetDGManager(nullptr);
  graphics->Release();
}
BENCHMARK(BM_ParseAndBuild300Nodes)->Unit(benchmark::kMillisecond);
V4_BENCH_TIME_TARGET(BM_ParseAndBuild300Nodes, 5.0);

}  // namespace
