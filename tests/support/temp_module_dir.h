// A fresh temporary folder installed as the program's module directory for the fixture's lifetime.
// The previous module directory and an empty archive-listing cache come back on destruction, and
// the folder is removed with everything written into it.
#pragma once
#include <string>

#include "tests/support/temp_folder.h"

namespace v4test {

class TempModuleDir : public TempFolder {
 public:
  explicit TempModuleDir(const char* prefix = "v4test");
  ~TempModuleDir();

  // Whether the folder was made and is the module directory now.
  bool Installed() const { return installed_; }
  // Program-style path of rel: the module directory + rel with '\' separators.
  std::string ProgramPath(const std::string& rel) const;

 private:
  std::string oldModuleDir_;
  bool installed_ = false;
};

}  // namespace v4test
