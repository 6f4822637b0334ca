#include "platform/sdl/process.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <vector>

namespace plat {

namespace {
// A lock-free atomic is safe to write from a signal handler and to read from any thread.
std::atomic<int> g_terminate{0};
static_assert(std::atomic<int>::is_always_lock_free);

void OnSignal(int) { g_terminate.store(1); }
}  // namespace

std::string ExecutablePath() {
  std::vector<char> buf(4096);
  for (int tries = 0; tries < 4; ++tries) {
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return {};
    if (static_cast<size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<size_t>(n));
    buf.resize(buf.size() * 2);
  }
  return {};
}

void InstallTerminationHandlers() {
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
}

bool TerminationRequested() { return g_terminate.load() != 0; }
void ClearTerminationRequest() { g_terminate.store(0); }

}  // namespace plat
