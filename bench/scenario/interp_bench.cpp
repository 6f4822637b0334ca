// The interpreter's speed. Targets: fast-forwarding through the whole sample main set costs under
// 2 ms per logic step; decoding and running 1,000,000 simple opcodes takes under 100 ms. The first
// needs the built sample data.
#include <benchmark/benchmark.h>

#include "bench/support/bench_target.h"

#include <utility>
#include <vector>

#include "core/app_state.h"
#include "core/error_box.h"
#include "core/game_file.h"
#include "formats/script/adv_opcodes.h"
#include "formats/script/script_code.h"
#include "scenario/adv_presenter.h"
#include "scenario/interp/adv_interp.h"
#include "scenario/interp/adv_step.h"
#include "scenario/interp/adv_text_run.h"
#include "scenario/script/adv_script.h"

namespace {

// A scene held in fast-forward: choices take their first option and nothing waits.
class SkippingPresenter : public AdvTextPresenter {
 public:
  explicit SkippingPresenter(std::vector<int> answers) : AdvTextPresenter(std::move(answers)) {
    KeepFastForward(true);
    recordLines = false;
  }
  void SetFastForward(bool) override {}
};

}  // namespace

static void BM_FastForwardSampleMainSet(benchmark::State& state) {
  if (!SetModuleDirFromHost(V4_TEST_GAME_DIR)) {
    state.SkipWithError("no game folder");
    return;
  }
  AdvScript& s = GetAdvScript();
  if (!s.LoadScriptFiles(0) || s.bytecodeSize == 0) {
    state.SkipWithError("the sample main set did not load (build sample_data first)");
    return;
  }
  // The council's answer picks the road: 1 marches out, 2 holds the castle, 3 seeks peace.
  const std::vector<int> answers = {1, static_cast<int>(state.range(0))};
  int64_t steps = 0;
  for (auto _ : state) {
    SkippingPresenter presenter(answers);
    SetAdvPresenter(&presenter);
    GameMode = game_mode::kMainScript;
    s.SetPc(0);
    s.switches[0] = 0;
    // One logic step after another until the story hands over or ends.
    while (GameMode == game_mode::kMainScript) {
      StepAdvScript();
      ++steps;
    }
  }
  SetAdvPresenter(nullptr);
  // The time shown is one run through the set; divided by steps_per_run it is the cost of a step.
  state.counters["steps_per_run"] = static_cast<double>(steps) / static_cast<double>(state.iterations());
  state.counters["ms_per_step"] = benchmark::Counter(static_cast<double>(steps) / 1000.0,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FastForwardSampleMainSet)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);
V4_BENCH_COUNTER_TARGET(BM_FastForwardSampleMainSet, "ms_per_step", 2.0);

static void BM_MillionSimpleOpcodes(benchmark::State& state) {
  constexpr uint32_t kCount = 1000000;
  std::vector<uint8_t> code;
  code.reserve(kCount * 14 + 5);
  v4fmt::ScriptInstruction add;
  add.opcode = kOpSwAdd;
  add.ops.resize(2);
  add.ops[0].shape = 's';
  add.ops[0].num = 7;
  add.ops[1].shape = 'v';
  add.ops[1].val = v4fmt::ScriptValue::Imm(1);
  std::vector<uint8_t> one;
  v4fmt::EncodeScriptInstruction(add, one);
  for (uint32_t i = 0; i + 1 < kCount; ++i) code.insert(code.end(), one.begin(), one.end());
  v4fmt::ScriptInstruction end;
  end.opcode = kOpEnd;
  v4fmt::EncodeScriptInstruction(end, code);

  AdvScript& s = GetAdvScript();
  s.Reset();
  std::copy(code.begin(), code.end(), s.bytecode.begin());
  s.bytecodeSize = static_cast<uint32_t>(code.size());
  s.loaded = 1;
  SetAdvPresenter(nullptr);
  GameMode = game_mode::kMainScript;
  for (auto _ : state) {
    s.pc = 0;
    s.switches[7] = 0;
    uint32_t budget = kCount + 1;
    bool more = RunScript(s, &budget);
    if (more || s.switches[7] != static_cast<int32_t>(kCount - 1)) {
      state.SkipWithError("the run did not execute every opcode");
      return;
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kCount);
}
BENCHMARK(BM_MillionSimpleOpcodes)->Unit(benchmark::kMillisecond);
V4_BENCH_TIME_TARGET(BM_MillionSimpleOpcodes, 100.0);
