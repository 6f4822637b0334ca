// The executable: the game on the sample data beside it.
#include <string>
#include <vector>

#include "shell/app_main.h"
#include "shell/game_wiring.h"

// Sanitizer builds: SDL, fontconfig and the GL driver keep allocations of their own until exit.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  InstallGameSubsystems();
  return GameMain(args);
}
