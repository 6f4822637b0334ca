// The timed frame, driven headless: tick merging, frame waits, display-only frames, device loss,
// quit during a step, and the device-reset broadcast.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/frame_wait.h"
#include "core/step_machine.h"
#include "shell/device_state.h"
#include "shell/frame.h"
#include "tests/support/placeholder_scene.h"
#include "tests/support/frame_driver.h"

namespace {

// Records the order of everything the frame calls.
struct Trace {
  std::vector<std::string> calls;
  int Count(const std::string& name) const {
    int n = 0;
    for (const auto& c : calls) n += c == name;
    return n;
  }
  int IndexOf(const std::string& name) const {
    for (size_t i = 0; i < calls.size(); ++i)
      if (calls[i] == name) return static_cast<int>(i);
    return -1;
  }
};

class TracingScenes : public PlaceholderSceneMgr {
 public:
  explicit TracingScenes(Trace& t) : t_(t) {}
  void Update() override {
    t_.calls.push_back("Update");
    PlaceholderSceneMgr::Update();
  }
  void Draw() override {
    t_.calls.push_back("Draw");
    PlaceholderSceneMgr::Draw();
  }
  void BroadcastDeviceReset() override {
    t_.calls.push_back("BroadcastDeviceReset");
    PlaceholderSceneMgr::BroadcastDeviceReset();
  }

 private:
  Trace& t_;
};

class TracingGame : public FrameGameHooks {
 public:
  explicit TracingGame(Trace& t) : t_(t) {}
  void UpdateSoundFades() override { t_.calls.push_back("UpdateSoundFades"); }
  void StepAdvScript() override {
    t_.calls.push_back("StepAdvScript");
    if (onStep) onStep();
  }
  void RunTurnLoop() override { t_.calls.push_back("RunTurnLoop"); }
  void ApplyGameSpeedSetting() override { t_.calls.push_back("ApplyGameSpeedSetting"); }
  void UpdateMovies() override { t_.calls.push_back("UpdateMovies"); }
  void ResetPickState() override { t_.calls.push_back("ResetPickState"); }
  std::function<void()> onStep;

 private:
  Trace& t_;
};

class FrameTest : public ::testing::Test {
 protected:
  FrameServices Services() { return FrameServices{&scenes, &game, &graphics}; }
  Trace trace;
  TracingScenes scenes{trace};
  TracingGame game{trace};
  RecordingGraphics graphics;
};

TEST_F(FrameTest, TwoTicksBeforeOneFrameGiveOneLogicStep) {
  FrameDriver d(Services());
  // Paused: the ticks only mark tick-pending (a flag, not a count).
  SetFramePause(true);
  d.Tick();
  d.Tick();
  EXPECT_EQ(scenes.Steps(), 0u);
  SetFramePause(false);
  d.Tick();
  EXPECT_EQ(scenes.Steps(), 1u);
  EXPECT_EQ(graphics.presents, 1);
  // Every later 18 ms tick runs exactly one step.
  d.Ticks(10);
  EXPECT_EQ(scenes.Steps(), 11u);
}

TEST_F(FrameTest, ForeignTimerIdsAreIgnored) {
  FrameDriver d(Services());
  d.ForeignTick();
  d.ForeignTick();
  EXPECT_EQ(scenes.Steps(), 0u);
  EXPECT_FALSE(g_TickPending.load());
}

TEST_F(FrameTest, FrameWaitOfTenHoldsTheScriptForFifteenTicks) {
  FrameDriver d(Services());
  GameMode = 0;
  bool first = true;
  game.onStep = [&] {
    if (first) SetFrameWait(10);
    first = false;
  };
  std::vector<int> stepTicks;
  for (int tick = 1; tick <= 20; ++tick) {
    int before = trace.Count("StepAdvScript");
    d.Tick();
    if (trace.Count("StepAdvScript") > before) stepTicks.push_back(tick);
  }
  // Set on tick 1; held on ticks 2..15 (14 frames); the 15th tick after it steps again.
  ASSERT_GE(stepTicks.size(), 2u);
  EXPECT_EQ(stepTicks[0], 1);
  EXPECT_EQ(stepTicks[1], 16);
  // The scenes keep running while the script waits.
  EXPECT_EQ(scenes.Steps(), 20u);
  // The wait also marks the step machine's next finish as delayed.
  SetStepWaitPending(false);
}

TEST_F(FrameTest, FrameWaitCountsDownWhilePaused) {
  FrameDriver d(Services());
  SetFrameWait(4);  // 6 ticks
  SetStepWaitPending(false);
  SetFramePause(true);
  d.Ticks(5);
  EXPECT_EQ(g_FrameWaitCounter.load(), 1);
  d.Ticks(3);
  EXPECT_EQ(g_FrameWaitCounter.load(), 0);
}

TEST_F(FrameTest, DebugImageViewGivesDisplayOnlyFrames) {
  FrameDriver d(Services());
  g_ImageStateView = 3;
  d.Ticks(4);
  EXPECT_EQ(scenes.Steps(), 0u);
  EXPECT_EQ(trace.Count("StepAdvScript"), 0);
  EXPECT_EQ(trace.Count("UpdateSoundFades"), 4);  // fades still step per tick
  EXPECT_EQ(graphics.presents, 4);
  g_ImageStateView = 0;
  d.Tick();
  EXPECT_EQ(scenes.Steps(), 1u);
}

TEST_F(FrameTest, FailedPresentMarksDeviceLostAndNextFrameDrawsNothing) {
  FrameDriver d(Services());
  graphics.failNext = true;
  d.Tick();
  EXPECT_EQ(graphics.presents, 1);
  EXPECT_TRUE(g_DeviceLost.load());
  d.Tick();
  EXPECT_EQ(graphics.presents, 1);  // nothing drawn while lost
  EXPECT_EQ(scenes.Steps(), 2u);    // the logic goes on
}

TEST_F(FrameTest, QuitSetDuringTheStepSuppressesDisplayAndLaterFrames) {
  FrameDriver d(Services());
  GameMode = 0;
  game.onStep = [] { g_QuitRequested = true; };
  d.Tick();
  EXPECT_EQ(trace.Count("StepAdvScript"), 1);
  EXPECT_EQ(graphics.presents, 0);
  d.Tick();
  EXPECT_EQ(trace.Count("StepAdvScript"), 1);
  EXPECT_EQ(scenes.Steps(), 1u);
}

struct OkDevice : DeviceControl {
  bool HasDevice() override { return true; }
  DeviceCoop TestCooperativeLevel() override { return DeviceCoop::kOk; }
  bool ResetDevice() override { return true; }
  bool CreateDevice3D() override { return true; }
};

TEST_F(FrameTest, AfterResetTheFrameBroadcastsBeforeAnythingElseOnce) {
  FrameDriver d(Services());
  OkDevice device;
  SetDeviceControl(&device);
  graphics.failNext = true;
  d.Tick();
  ASSERT_TRUE(g_DeviceLost.load());
  ASSERT_TRUE(CheckDeviceState());  // the main thread resets
  EXPECT_TRUE(g_AfterReset.load());
  trace.calls.clear();
  d.Tick();
  ASSERT_FALSE(trace.calls.empty());
  EXPECT_EQ(trace.calls.front(), "BroadcastDeviceReset");
  EXPECT_EQ(graphics.presents, 2);  // drawing resumed
  d.Ticks(3);
  EXPECT_EQ(trace.Count("BroadcastDeviceReset"), 1);
  SetDeviceControl(nullptr);
}

TEST_F(FrameTest, StrategyModeRunsTheTurnLoopAndScriptHandOverRunsItAtOnce) {
  FrameDriver d(Services());
  GameMode = 11;
  d.Tick();
  EXPECT_EQ(trace.Count("RunTurnLoop"), 1);
  EXPECT_EQ(trace.Count("StepAdvScript"), 0);
  EXPECT_LT(trace.IndexOf("ApplyGameSpeedSetting"), trace.IndexOf("RunTurnLoop"));
  trace.calls.clear();
  GameMode = 7;
  game.onStep = [] { GameMode = 11; };
  d.Tick();
  EXPECT_EQ(trace.Count("StepAdvScript"), 1);
  EXPECT_EQ(trace.Count("RunTurnLoop"), 1);
}

TEST_F(FrameTest, WheelWordIsClearedAfterEachLogicStep) {
  FrameDriver d(Services());
  d.Wheel(-1);
  EXPECT_LT(g_WheelWord.load(), 0);
  d.Tick();
  EXPECT_EQ(g_WheelWord.load(), 0);
}

// The period decides how often a step is due (at least 16.667 ms since the last one).
struct PeriodCase {
  int periodMs;
  int ticks;
  uint32_t steps;
  float ratio;
};

class FramePeriodTest : public ::testing::TestWithParam<PeriodCase> {};

TEST_P(FramePeriodTest, StepsAndRatio) {
  const PeriodCase& c = GetParam();
  PlaceholderSceneMgr scenes;
  RecordingGraphics graphics;
  FrameDriver::Options o;
  o.periodMs = c.periodMs;
  FrameDriver d(FrameServices{&scenes, nullptr, &graphics}, o);
  d.Ticks(c.ticks);
  EXPECT_EQ(scenes.Steps(), c.steps);
  EXPECT_NEAR(scenes.Ratio(), c.ratio, 0.01f);
}

INSTANTIATE_TEST_SUITE_P(Periods, FramePeriodTest,
                         ::testing::Values(PeriodCase{18, 10, 10, 1.08f},  // every tick steps
                                           PeriodCase{35, 10, 10, 2.1f},   // "-f30"
                                           PeriodCase{68, 10, 10, 4.08f},  // "-f15"
                                           PeriodCase{10, 10, 5, 1.2f}),   // a faster timer: every other tick
                         [](const ::testing::TestParamInfo<PeriodCase>& i) {
                           return "period_" + std::to_string(i.param.periodMs) + "ms";
                         });

}  // namespace
