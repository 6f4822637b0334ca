// Fixtures for layout and scene tests that build real widget trees. The temporary program folder,
// generated pictures and the manager on the null device are the shared fixtures of tests/support;
// this adds compiled layouts.
#pragma once
#include <string>
#include <vector>

#include "tests/support/null_graphics.h"
#include "tests/support/temp_module_dir.h"
#include "tests/support/ui_graphics.h"

namespace layout_test {

// Compiles UTF-8 layout text with the layout compiler and stores it at rel ('/' separators) under
// dir; false (with the messages in *errors) when the compiler refuses it or the file is not written.
bool WriteLayout(const v4test::TempModuleDir& dir, const std::string& rel, const std::string& utf8,
                 std::vector<std::string>* errors = nullptr);

}  // namespace layout_test
