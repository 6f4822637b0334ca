#include "core/frame_wait.h"

#include "core/step_machine.h"

std::atomic<int32_t> g_FrameWaitCounter{0};

void SetFrameWait(int32_t n) {
  g_FrameWaitCounter.store(n * 3 / 2);
  SetStepWaitPending(true);
}

void SetFrameWaitHalf(int32_t n) {
  g_FrameWaitCounter.store(n / 2);
  SetStepWaitPending(true);
}

void CountDownFrameWait() {
  int32_t v = g_FrameWaitCounter.load();
  // Only the timer thread decrements; a concurrent SetFrameWait wins by the compare-exchange.
  while (!g_FrameWaitCounter.compare_exchange_weak(v, v >= 1 ? v - 1 : 0)) {}
}
