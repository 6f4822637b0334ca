// The data tool's contract: "v4data world build <source-dir> <out-root>" writes the tables,
// "v4data world check <out-root>" exits 0 on a clean world and non-zero with a list otherwise.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/run_command.h"
#include "world_fixture.h"

namespace {

struct ToolRun {
  int exitCode;
  std::string output;
};

ToolRun Tool(const std::string& args) {
  std::string cmd = std::string(V4_TEST_BINARY_DIR) + "/bin/v4data world " + args + " 2>&1";
  ToolRun r{-1, ""};
  r.exitCode = v4test::RunCommand(cmd, &r.output);
  return r;
}

TEST(WorldTool, BuildThenCheckAndReportDamage) {
  v4test::TempFolder out;
  std::string root = out.Path();
  ToolRun build = Tool("build " + std::string(V4_TEST_SOURCE_DIR) + "/data/world " + root);
  ASSERT_EQ(build.exitCode, 0) << build.output;
  for (const char* f : {"Data/scenario/0/kuni21.bin", "Data/scenario/0/siro21.bin", "Data/scenario/0/daimyo21.bin",
                        "Data/scenario/0/busyo2.bin", "Data/scenario/0/doku21.bin", "Data/scenario/0/hikitugi.bin",
                        "Data/scenario/1/busyo2.bin", "Data/scenario/common/skill.bin",
                        "Data/scenario/common/skillDoc.bin", "Data/scenario/common/item.bin", "Data/sys/system.dat"})
    EXPECT_TRUE(std::filesystem::exists(out.File(f))) << f;
  EXPECT_EQ(std::filesystem::file_size(out.File("Data/scenario/0/busyo2.bin")), 236000u);
  EXPECT_EQ(std::filesystem::file_size(out.File("Data/sys/system.dat")), 184u);
  ToolRun check = Tool("check " + root);
  EXPECT_EQ(check.exitCode, 0) << check.output;

  std::filesystem::resize_file(out.File("Data/scenario/1/daimyo21.bin"), 100);
  check = Tool("check " + root);
  EXPECT_EQ(check.exitCode, 1);
  EXPECT_NE(check.output.find("daimyo21.bin"), std::string::npos) << check.output;

  std::filesystem::remove(out.File("Data/scenario/0/kuni21.bin"));
  check = Tool("check " + root);
  EXPECT_EQ(check.exitCode, 1);
  EXPECT_NE(check.output.find("scenario 0"), std::string::npos) << check.output;

  EXPECT_NE(Tool("build /nonexistent " + root).exitCode, 0);
  EXPECT_EQ(Tool("frobnicate").exitCode, 2);
}

}  // namespace
