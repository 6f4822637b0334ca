// The data tool's script command as outside checks use it: build writes the nine files and the
// set-name file, the program's script state accepts the set, and dump disassembles it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "formats/script/script_asm.h"
#include "formats/script/script_set_files.h"
#include "formats/script/script_set_layout.h"
#include "scenario_test_support.h"
#include "tests/support/run_command.h"

namespace {

using ScriptTool = ScriptStateTest;

std::string Tool() { return std::string(V4_TEST_BINARY_DIR) + "/bin/v4data"; }

std::string RunCommand(const std::string& cmd, int* status) {
  std::string out;
  *status = v4test::RunCommand(cmd, &out);
  return out;
}

TEST_F(ScriptTool, BuildWritesASetTheProgramLoadsAndDumpListsIt) {
  std::string src = HostPath("src.v4s");
  {
    std::ofstream f(src, std::ios::binary);
    f << "$hp@7 = 3\n*start\n#SwAdd $hp, 2\n>> \xE5\xAE\xB6\xE8\x87\xA3\nhi\n<<\n#End\n";
  }
  int status = 0;
  RunCommand("'" + Tool() + "' script build '" + src + "' '" + root_ + "' 'Data\\script\\t' --tutorial 2>&1", &status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(ReadHostFile("Data/sys/sin_tu.dat"),
            (std::vector<uint8_t>{'D', 'a', 't', 'a', '\\', 's', 'c', 'r', 'i', 'p', 't', '\\', 't', '\r', '\n'}));
  for (const auto& f : v4fmt::kScriptFiles)
    EXPECT_FALSE(ReadHostFile(std::string("Data/script/t") + f.extension).empty());
  EXPECT_TRUE(script_->LoadStartLabelList(1));
  ASSERT_TRUE(script_->LoadScriptFiles(1));
  EXPECT_EQ(script_->switches[7], 3);

  std::string listing = RunCommand("'" + Tool() + "' script dump '" + root_ + "' 'Data\\script\\t'", &status);
  ASSERT_EQ(status, 0);
  EXPECT_NE(listing.find("signature ok"), std::string::npos) << listing;
  EXPECT_NE(listing.find("#SwAdd $hp, 2"), std::string::npos) << listing;
  EXPECT_NE(listing.find("#TalkStart 1, 1, \"\xE5\xAE\xB6\xE8\x87\xA3\""), std::string::npos) << listing;

  // A source with errors is refused with its line, and writes nothing.
  {
    std::ofstream f(src, std::ios::binary | std::ios::trunc);
    f << "*a\n#Goto *missing\n#End\n";
  }
  std::string err = RunCommand("'" + Tool() + "' script build '" + src + "' '" + root_ + "/other' base 2>&1", &status);
  EXPECT_NE(status, 0);
  EXPECT_NE(err.find("src.v4s:2"), std::string::npos) << err;
  EXPECT_TRUE(ReadHostFile("other/base.sd").empty());
}

// `script run` on the built sample data: one line per message and choice, answers from --choose,
// and how the run stopped.
TEST_F(ScriptTool, RunPrintsTheStoryAndHowItStopped) {
  int status = 0;
  std::string out = RunCommand("'" + Tool() + "' script run '" V4_TEST_GAME_DIR "' --choose 2,2 2>&1", &status);
  EXPECT_EQ(status, 0) << out;
  // "choice: 影丸を信じる | まずは確かめさせる" in UTF-8.
  EXPECT_NE(out.find("choice: \xE5\xBD\xB1\xE4\xB8\xB8\xE3\x82\x92\xE4\xBF\xA1\xE3\x81\x98\xE3\x82\x8B | "),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("\n: "), std::string::npos);  // narration without a name
  EXPECT_NE(out.find("stopped: #End"), std::string::npos) << out;
  out = RunCommand("'" + Tool() + "' script run '" V4_TEST_GAME_DIR "' --switch 0=1 2>&1", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find("stopped: #SLGmode"), std::string::npos) << out;
  out = RunCommand("'" + Tool() + "' script run '" V4_TEST_GAME_DIR "' --set tutorial --switch 0=1 --choose 1 2>&1",
                   &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find("stopped: #End"), std::string::npos) << out;
  // Bad arguments are refused with the usage.
  out = RunCommand("'" + Tool() + "' script run '" V4_TEST_GAME_DIR "' --choose 0 2>&1", &status);
  EXPECT_NE(status, 0);
}

TEST_F(ScriptTool, RunReportsAMalformedSetAndExitsNonZero) {
  // A set whose bytecode stops in the middle of an instruction.
  v4fmt::CompiledScriptSet set;
  std::vector<std::string> errors;
  ASSERT_TRUE(v4fmt::AssembleScript("$x@7 = 0\n*s\n>> A\nhello\n<<\n#SwVar $x, 5\n#End\n", "t.v4s", set, errors));
  auto images = v4fmt::BuildScriptSetImages(set);
  images[v4fmt::kFileSd].resize(images[v4fmt::kFileSd].size() - 8);
  // Stamped as written so: the interpreter's own bounds are what is tried here, not the set's check.
  v4fmt::PutBytecodeCheck(images[v4fmt::kFileLbn].data(), images[v4fmt::kFileSd].data(), images[v4fmt::kFileSd].size());
  std::string err;
  ASSERT_TRUE(v4fmt::WriteScriptSetFiles(root_, "Data\\script\\bad", images, &err)) << err;
  ASSERT_TRUE(v4fmt::WriteScriptSetNameFile(root_, 0, "Data\\script\\bad", &err)) << err;
  int status = 0;
  std::string out = RunCommand("'" + Tool() + "' script run '" + root_ + "' 2>&1", &status);
  EXPECT_NE(status, 0) << out;
  EXPECT_NE(out.find("A: hello"), std::string::npos) << out;
  EXPECT_NE(out.find("error: SCRIPT ERROR"), std::string::npos) << out;
  EXPECT_NE(out.find("stopped: bytecode fault"), std::string::npos) << out;
  // No set at all.
  out = RunCommand("'" + Tool() + "' script run '" + root_ + "/nothing' 2>&1", &status);
  EXPECT_NE(status, 0);
  EXPECT_NE(out.find("stopped: no script set"), std::string::npos) << out;
}

}  // namespace
