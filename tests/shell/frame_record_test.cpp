// The frame record: pace and percentiles per scene, and what the frame routine adds to it.
#include <gtest/gtest.h>

#include <unistd.h>

#include "shell/app_main.h"
#include "shell/frame.h"
#include "shell/frame_record.h"
#include "tests/support/frame_driver.h"
#include "tests/support/placeholder_scene.h"

namespace {

TEST(FrameRecord, PercentilesAndPacePerSceneInTheOrderMet) {
  FrameRecord r;
  for (int ms = 100; ms >= 1; --ms) r.Add(3, ms % 10 == 0 ? 2 : 1, ms % 10 != 0, ms % 4 == 0, ms);
  r.Add(1, 1, true, true, 7.5);
  const std::vector<FrameRecordRow> rows = r.Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].scene, 3);
  EXPECT_EQ(rows[0].frames, 100u);
  EXPECT_EQ(rows[0].due, 110u);
  EXPECT_EQ(rows[0].run, 90u);
  EXPECT_EQ(rows[0].drawn, 25u);
  EXPECT_NEAR(rows[0].Pace(), 100.0 * 90 / 110, 1e-9);
  EXPECT_DOUBLE_EQ(rows[0].medianMs, 50);
  EXPECT_DOUBLE_EQ(rows[0].p95Ms, 95);
  EXPECT_DOUBLE_EQ(rows[0].p99Ms, 99);
  EXPECT_DOUBLE_EQ(rows[0].worstMs, 100);
  EXPECT_EQ(rows[1].scene, 1);
  EXPECT_DOUBLE_EQ(rows[1].p99Ms, 7.5);
  const std::vector<std::string> lines = r.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("frame record: map (3): pace 81.8 % (90 of 110 steps), frames 100 (drawn 25)", 0), 0u)
      << lines[0];
}

// The percentiles cover the latest frames only; the counts cover all of them.
TEST(FrameRecord, KeepsTheLatestSamples) {
  FrameRecord r;
  for (size_t i = 0; i < FrameRecord::kSamples; ++i) r.Add(2, 1, true, true, 100.0);
  for (size_t i = 0; i < FrameRecord::kSamples; ++i) r.Add(2, 1, true, true, 1.0);
  const FrameRecordRow row = r.Rows().at(0);
  EXPECT_EQ(row.frames, 2 * FrameRecord::kSamples);
  EXPECT_DOUBLE_EQ(row.p99Ms, 1.0);
  EXPECT_DOUBLE_EQ(row.worstMs, 100.0);
}

// Each frame the timer runs is recorded under the scene shown; paused ticks are not; ticks that
// merged behind a late callback count as due.
TEST(FrameRecord, TheFrameRecordsEachFrameItRuns) {
  PlaceholderSceneMgr scenes;
  RecordingGraphics graphics;
  FrameDriver d(FrameServices{&scenes, nullptr, &graphics});
  GetFrameRecord().Clear();
  d.Ticks(5);
  SetFramePause(true);
  d.Ticks(3);
  SetFramePause(false);
  g_FramePeriodMs = 18;
  d.Tick();
  usleep(60 * 1000);  // at least three periods pass before the next callback
  d.Tick();
  g_FramePeriodMs = 0;
  const std::vector<FrameRecordRow> rows = GetFrameRecord().Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].scene, -1) << "the test card has no scene number";
  EXPECT_EQ(rows[0].frames, 7u);
  EXPECT_EQ(rows[0].run, 7u);
  EXPECT_GE(rows[0].due, 7u + 2u);
  EXPECT_EQ(rows[0].drawn, 7u);
  GetFrameRecord().Clear();
}

}  // namespace
