// A periodic timer on a dedicated thread: absolute deadlines (no drift), one callback at a time,
// and ticks missed while a callback ran merge into one.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

namespace plat {

class PeriodicTimer {
 public:
  PeriodicTimer() = default;
  ~PeriodicTimer() { Stop(); }
  PeriodicTimer(const PeriodicTimer&) = delete;
  PeriodicTimer& operator=(const PeriodicTimer&) = delete;

  // Starts the thread: onStart runs once on it, then tick every periodMs (first after one period),
  // then onStop once after Stop() was asked. Returns a non-zero id, 0 when already running or
  // periodMs < 1. Ids are unique within the process.
  uint32_t Start(int periodMs, std::function<void()> onStart, std::function<void(uint32_t id)> tick,
                 std::function<void()> onStop);
  // Stops and joins; returns after the running callback (if any) and onStop finished.
  // Must not be called from the timer thread itself.
  void Stop();
  bool Running() const { return thread_.joinable(); }
  uint32_t Id() const { return id_; }

 private:
  void Run(int periodMs);
  std::thread thread_;
  std::atomic<bool> stop_{false};
  uint32_t id_ = 0;
  std::function<void()> onStart_, onStop_;
  std::function<void(uint32_t)> tick_;
};

// The deadline after a tick that was due at `due`, with the clock now at `now` (any unit): one
// period later, or, when ticks were missed meanwhile, the first period boundary after now, so the
// missed ticks merge into the one just delivered.
int64_t NextTickDeadline(int64_t due, int64_t now, int64_t period);

// Monotonic milliseconds since an arbitrary start (wraps after 49 days like a u32 tick count).
uint32_t MonotonicMs();
void SleepMs(int ms);

}  // namespace plat
