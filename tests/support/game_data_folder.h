// A fresh module directory with the built sample data linked in as its Data folder, for tests that
// run screens on the real data: the program reads the shared data and writes its saves and system
// files into the temporary folder, which goes (link and all) with the fixture. Header only: the
// data folder is the test program's V4_TEST_GAME_DIR.
#pragma once
#include <filesystem>
#include <string>

#include "tests/support/temp_module_dir.h"

namespace v4test {

class GameDataFolder : public TempModuleDir {
 public:
  explicit GameDataFolder(const char* prefix) : TempModuleDir(prefix) {
    std::error_code ec;
    std::filesystem::create_directory_symlink(std::filesystem::path(V4_TEST_GAME_DIR) / "Data",
                                              std::filesystem::path(Path()) / "Data", ec);
    ready_ = Installed() && !ec;
  }
  // Whether the folder is the module directory and its Data link was made.
  bool Ready() const { return ready_; }

 private:
  bool ready_ = false;
};

}  // namespace v4test
