#include "platform/sdl/periodic_timer.h"

#include <cerrno>
#include <ctime>

namespace plat {

namespace {
std::atomic<uint32_t> g_nextId{1};

int64_t NowNs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

void SleepUntilNs(int64_t deadline) {
  timespec ts;
  ts.tv_sec = static_cast<time_t>(deadline / 1000000000LL);
  ts.tv_nsec = static_cast<long>(deadline % 1000000000LL);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {}
}
}  // namespace

int64_t NextTickDeadline(int64_t due, int64_t now, int64_t period) {
  if (period < 1) period = 1;
  int64_t next = due + period;
  if (next <= now) next += ((now - next) / period + 1) * period;
  return next;
}

uint32_t MonotonicMs() { return static_cast<uint32_t>(NowNs() / 1000000LL); }

void SleepMs(int ms) {
  if (ms > 0) SleepUntilNs(NowNs() + static_cast<int64_t>(ms) * 1000000LL);
}

uint32_t PeriodicTimer::Start(int periodMs, std::function<void()> onStart, std::function<void(uint32_t)> tick,
                              std::function<void()> onStop) {
  if (thread_.joinable() || periodMs < 1) return 0;
  stop_ = false;
  onStart_ = std::move(onStart);
  tick_ = std::move(tick);
  onStop_ = std::move(onStop);
  id_ = g_nextId.fetch_add(1);
  if (id_ == 0) id_ = g_nextId.fetch_add(1);
  thread_ = std::thread([this, periodMs] { Run(periodMs); });
  return id_;
}

void PeriodicTimer::Run(int periodMs) {
  if (onStart_) onStart_();
  const int64_t period = static_cast<int64_t>(periodMs) * 1000000LL;
  int64_t next = NowNs() + period;
  // Short naps so Stop() is noticed within a few ms even for the 68 ms period.
  constexpr int64_t kNap = 5000000LL;
  while (!stop_.load(std::memory_order_acquire)) {
    int64_t now = NowNs();
    if (now < next) {
      SleepUntilNs(now + kNap < next ? now + kNap : next);
      continue;
    }
    if (tick_) tick_(id_);
    next = NextTickDeadline(next, NowNs(), period);
  }
  if (onStop_) onStop_();
}

void PeriodicTimer::Stop() {
  if (!thread_.joinable()) return;
  stop_.store(true, std::memory_order_release);
  thread_.join();
  id_ = 0;
}

}  // namespace plat
