#include "core/game_clock.h"

#include <atomic>
#include <ctime>

namespace {
std::atomic<GameClockFn> g_fn{nullptr};
std::atomic<void*> g_user{nullptr};
}  // namespace

uint32_t GetGameTimeMs() {
  GameClockFn fn = g_fn.load(std::memory_order_acquire);
  if (fn) return fn(g_user.load(std::memory_order_acquire));
  // <chrono> does not compile under the CP932 execution charset; the POSIX clock does the same.
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}

void SetGameClockOverride(GameClockFn fn, void* user) {
  g_user.store(user, std::memory_order_release);
  g_fn.store(fn, std::memory_order_release);
}
