// The data tool's script command as outside checks use it: build writes the nine files and the
// set-name file, the program's script state accepts the set, and dump disassembles it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

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
  EXPECT_EQ(ReadHostFile("Data/sys/sin_tu.dat"), (std::vector<uint8_t>{'D', 'a', 't', 'a', '\\', 's', 'c', 'r', 'i', 'p',
                                                                      't', '\\', 't', '\r', '\n'}));
  for (const auto& f : v4fmt::kScriptFiles) EXPECT_FALSE(ReadHostFile(std::string("Data/script/t") + f.extension).empty());
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

}  // namespace
