// Linked into every test program: real SDL video and audio run offscreen / on the dummy driver
// unless the caller chose otherwise. Done here because a test property can carry only one variable.
#include <cstdlib>

namespace {
struct TestEnvironment {
  TestEnvironment() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("ASAN_OPTIONS", "detect_leaks=0", 0);
  }
} g_testEnvironment;
}  // namespace
