// Fixture of the script state tests: a temporary module folder, a recording error-box presenter
// and a fresh script state; sets are written there by the same assembler the tools use.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/error_box.h"
#include "formats/script/script_builder.h"
#include "scenario/script/adv_script.h"
#include "tests/support/recording_boxes.h"
#include "tests/support/temp_module_dir.h"

class ScriptStateTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Assembles UTF-8 source and writes the set under the module folder with its set-name file.
  v4fmt::CompiledScriptSet WriteSet(int setNumber, const std::string& baseName, const std::string& source);
  std::string HostPath(const std::string& relative) const;  // under the module folder
  // The program's form of the same file: module folder + relative path with '\' separators.
  std::string ProgramPath(const std::string& relative) const;
  std::vector<uint8_t> ReadHostFile(const std::string& relative) const;
  void WriteHostFile(const std::string& relative, const std::vector<uint8_t>& bytes) const;

  v4test::TempModuleDir dir_{"v4scenario"};
  std::string root_;  // dir_'s host path
  v4test::RecordingBoxes boxes_;
  std::unique_ptr<AdvScript> script_;
};

// A small set with one of everything the loader fills.
extern const char* const kTinySetSource;
