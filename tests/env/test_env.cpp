// Linked into every test program: real SDL video and audio run offscreen / on the dummy driver
// unless the caller chose otherwise. Done here because a test property can carry only one variable.
#include <cstdlib>

namespace {
struct TestEnvironment {
  TestEnvironment() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
  }
} g_testEnvironment;
}  // namespace

// The sanitizer reads its options before any static initialiser runs. GL and fontconfig keep
// allocations of their own until exit (some in driver modules unloaded by then), so leak checks
// would only report those.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }
