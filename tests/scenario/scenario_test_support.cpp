#include "scenario_test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/app_state.h"
#include "core/game_file.h"
#include "formats/script/script_asm.h"
#include "formats/script/script_set_files.h"
#include "platform/text/log.h"

const char* const kTinySetSource =
    "$hp@7 = 42\n"
    "$flag = 0\n"
    "*start \"entry\"\n"
    "#SwVar $flag, 1\n"
    ">> spk\n"
    "hello\n"
    "<<\n"
    "#Gosub *sub\n"
    "#End\n"
    "*sub\n"
    "#SubEnd\n"
    "*evlabel\n"
    ".event 5 five\n"
    ">> spk\n"
    "event text\n"
    "<<\n"
    "#End\n";

void ScriptStateTest::SetUp() {
  ASSERT_TRUE(dir_.Installed());
  root_ = dir_.Path();
  SetErrorBoxPresenter(&boxes_);
  plat::SetLogEnabled(getenv("V4_TEST_LOG") != nullptr);
  GameMode = 1;
  script_ = std::make_unique<AdvScript>();
}

void ScriptStateTest::TearDown() {
  SetErrorBoxPresenter(nullptr);
  plat::SetLogEnabled(true);
  script_.reset();
}

v4fmt::CompiledScriptSet ScriptStateTest::WriteSet(int setNumber, const std::string& baseName,
                                                   const std::string& source) {
  v4fmt::CompiledScriptSet set;
  std::vector<std::string> errors;
  EXPECT_TRUE(v4fmt::AssembleScript(source, "test.v4s", set, errors)) << (errors.empty() ? "" : errors[0]);
  std::string err;
  EXPECT_TRUE(v4fmt::WriteScriptSetFiles(root_, baseName, v4fmt::BuildScriptSetImages(set), &err)) << err;
  EXPECT_TRUE(v4fmt::WriteScriptSetNameFile(root_, setNumber, baseName, &err)) << err;
  return set;
}

namespace {
// A relative path in either form with '/' separators, as the host folder takes it.
std::string HostRelative(const std::string& relative) {
  std::string r = relative;
  for (char& c : r)
    if (c == '\\') c = '/';
  return r;
}
}  // namespace

std::string ScriptStateTest::HostPath(const std::string& relative) const { return dir_.File(HostRelative(relative)); }

std::string ScriptStateTest::ProgramPath(const std::string& relative) const { return dir_.ProgramPath(relative); }

std::vector<uint8_t> ScriptStateTest::ReadHostFile(const std::string& relative) const {
  return dir_.Read(HostRelative(relative));
}

void ScriptStateTest::WriteHostFile(const std::string& relative, const std::vector<uint8_t>& bytes) const {
  dir_.Write(HostRelative(relative), bytes);
}
