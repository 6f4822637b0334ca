#include "scenario_test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/core/app_state.h"
#include "app/core/game_file.h"
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
  char tmpl[] = "/tmp/v4scenarioXXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  root_ = tmpl;
  ASSERT_TRUE(SetModuleDirFromHost(root_));
  SetErrorBoxPresenter(&boxes_);
  plat::SetLogEnabled(getenv("V4_TEST_LOG") != nullptr);
  GameMode = 1;
  script_ = std::make_unique<AdvScript>();
}

void ScriptStateTest::TearDown() {
  SetErrorBoxPresenter(nullptr);
  plat::SetLogEnabled(true);
  script_.reset();
  std::error_code ec;
  std::filesystem::remove_all(root_, ec);
}

v4fmt::CompiledScriptSet ScriptStateTest::WriteSet(int setNumber, const std::string& baseName, const std::string& source) {
  v4fmt::CompiledScriptSet set;
  std::vector<std::string> errors;
  EXPECT_TRUE(v4fmt::AssembleScript(source, "test.v4s", set, errors)) << (errors.empty() ? "" : errors[0]);
  std::string err;
  EXPECT_TRUE(v4fmt::WriteScriptSetFiles(root_, baseName, v4fmt::BuildScriptSetImages(set), &err)) << err;
  EXPECT_TRUE(v4fmt::WriteScriptSetNameFile(root_, setNumber, baseName, &err)) << err;
  return set;
}

std::string ScriptStateTest::HostPath(const std::string& relative) const {
  std::string r = relative;
  for (char& c : r)
    if (c == '\\') c = '/';
  return root_ + "/" + r;
}

std::string ScriptStateTest::ProgramPath(const std::string& relative) const {
  std::string r = relative;
  for (char& c : r)
    if (c == '/') c = '\\';
  return GetModuleDir() + r;
}

std::vector<uint8_t> ScriptStateTest::ReadHostFile(const std::string& relative) const {
  std::ifstream f(HostPath(relative), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void ScriptStateTest::WriteHostFile(const std::string& relative, const std::vector<uint8_t>& bytes) const {
  std::filesystem::path p(HostPath(relative));
  std::filesystem::create_directories(p.parent_path());
  std::ofstream f(p, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
