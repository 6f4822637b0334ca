// The periodic timer: deadlines merge missed ticks; callbacks run on one thread, never overlap,
// and start/stop hooks bracket them.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/sdl/periodic_timer.h"

namespace {

TEST(NextTickDeadlineTest, MissedTicksMerge) {
  struct Case {
    int64_t due, now, period, next;
  };
  const Case cases[] = {
      {100, 100, 18, 118},                                  // on time: one period later
      {100, 117, 18, 118},                                  // a callback shorter than the period
      {100, 118, 18, 136},                                  // exactly one period late: the next boundary after now
      {100, 150, 18, 154},                                  // two ticks missed: merged, the schedule keeps its phase
      {100, 1000, 18, 1018}, {0, 0, 35, 35}, {0, 5, 0, 6},  // a period below 1 is taken as 1
  };
  for (const Case& c : cases) {
    EXPECT_EQ(plat::NextTickDeadline(c.due, c.now, c.period), c.next) << c.due << " " << c.now << " " << c.period;
    EXPECT_GT(plat::NextTickDeadline(c.due, c.now, c.period), c.now);
  }
}

TEST(PeriodicTimerTest, RunsOnOneThreadWithoutOverlapAndStops) {
  plat::PeriodicTimer timer;
  std::mutex m;
  std::condition_variable cv;
  std::atomic<int> ticks{0}, inside{0}, overlaps{0}, starts{0}, stops{0};
  std::thread::id startThread, tickThread, stopThread;
  uint32_t seenId = 0;
  uint32_t id = timer.Start(
      1,
      [&] {
        ++starts;
        startThread = std::this_thread::get_id();
      },
      [&](uint32_t tid) {
        if (inside.fetch_add(1) != 0) ++overlaps;
        tickThread = std::this_thread::get_id();
        seenId = tid;
        // Longer than the period: the missed ticks must merge, not pile up.
        plat::SleepMs(3);
        inside.fetch_sub(1);
        {
          std::lock_guard<std::mutex> lock(m);
          ++ticks;
        }
        cv.notify_all();
      },
      [&] {
        ++stops;
        stopThread = std::this_thread::get_id();
      });
  ASSERT_NE(id, 0u);
  EXPECT_EQ(timer.Start(1, nullptr, nullptr, nullptr), 0u);  // already running
  {
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [&] { return ticks.load() >= 5; });
  }
  timer.Stop();
  EXPECT_FALSE(timer.Running());
  int after = ticks.load();
  plat::SleepMs(10);
  EXPECT_EQ(ticks.load(), after);  // nothing after Stop
  EXPECT_EQ(overlaps.load(), 0);
  EXPECT_EQ(starts.load(), 1);
  EXPECT_EQ(stops.load(), 1);
  EXPECT_EQ(startThread, tickThread);
  EXPECT_EQ(stopThread, tickThread);
  EXPECT_NE(tickThread, std::this_thread::get_id());
  EXPECT_EQ(seenId, id);
  // A new start gets a new id.
  uint32_t id2 = timer.Start(50, nullptr, nullptr, nullptr);
  EXPECT_NE(id2, 0u);
  EXPECT_NE(id2, id);
  timer.Stop();
  EXPECT_EQ(plat::PeriodicTimer().Start(0, nullptr, nullptr, nullptr), 0u);
}

}  // namespace
