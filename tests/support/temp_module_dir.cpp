#include "tests/support/temp_module_dir.h"

#include "core/game_file.h"

namespace v4test {

TempModuleDir::TempModuleDir(const char* prefix) : TempFolder(prefix), oldModuleDir_(GetModuleDir()) {
  installed_ = Made() && SetModuleDirFromHost(Path());
  ClearSzsDirectoryCache();
}

TempModuleDir::~TempModuleDir() {
  SetModuleDir(oldModuleDir_.c_str());
  ClearSzsDirectoryCache();
}

std::string TempModuleDir::ProgramPath(const std::string& rel) const {
  std::string r = rel;
  for (char& c : r)
    if (c == '/') c = '\\';
  return GetModuleDir() + r;
}

}  // namespace v4test
