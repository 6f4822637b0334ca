// The frame-wait counter: scenario and strategy code ask the frame to hold the script for a number
// of timer ticks; the timer callback counts it down once per tick (also while paused).
#pragma once
#include <atomic>
#include <cstdint>

extern std::atomic<int32_t> g_FrameWaitCounter;

// Holds the scenario step for n × 3 / 2 ticks and marks the step machine's next finish as delayed.
void SetFrameWait(int32_t n);
// The same for n / 2 ticks.
void SetFrameWaitHalf(int32_t n);
// One timer tick: counter - 1 when at least 1, else 0.
void CountDownFrameWait();
