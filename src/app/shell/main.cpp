// The executable: the game on the sample data beside it.
#include <string>
#include <vector>

#include "app/shell/app_main.h"
#include "app/shell/game_wiring.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  InstallGameSubsystems();
  return GameMain(args);
}
