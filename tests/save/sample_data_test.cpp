// The system files of the built sample data, read by the start-up routine: a game folder whose
// Data is the sample's (linked, so the shared folder is never written) and no SaveData yet.
#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/game_file.h"
#include "save/omake_tables.h"
#include "save/system_files.h"
#include "platform/fs/fs.h"
#include "world/world_queries.h"
#include "tests/support/temp_folder.h"

namespace {

TEST(SampleSystemData, FirstRunCreatesTheFilesAndTheNextRunReadsThem) {
  v4test::TempFolder temp("v4savesample");
  ASSERT_TRUE(temp.Made());
  const std::filesystem::path root = temp.Path();
  const std::filesystem::path data = std::filesystem::path(V4_TEST_GAME_DIR) / "Data";
  ASSERT_TRUE(std::filesystem::exists(data / "sys" / "basic.dat")) << "build sample_data first";
  std::filesystem::create_directory_symlink(data, root / "Data");
  ASSERT_TRUE(SetModuleDirFromHost(root.string()));

  ClearPlayRecord();
  LoadSystemData();
  EXPECT_EQ(std::filesystem::file_size(root / "SaveData/sys/sys.dat"), 112u);
  EXPECT_EQ(std::filesystem::file_size(root / "SaveData/sys/plc.dat"), 306455u);
  EXPECT_EQ(PlayRecordBlock.startCounter, 1);

  // The parameter words copied from the sample system.dat.
  std::ifstream in(data / "sys/system.dat", std::ios::binary);
  std::vector<uint8_t> sys{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ASSERT_EQ(sys.size(), 184u);
  int32_t word13;
  std::memcpy(&word13, &sys[13 * 4], 4);
  EXPECT_EQ(SystemParamTable[26], word13);
  EXPECT_EQ(SystemTableWord(13 * 4), word13);
  EXPECT_FALSE(FindOmakeSceneByLabel("nothing", nullptr));

  SaveSysData();
  SaveSystemFiles();
  ClearPlayRecord();
  LoadSystemData();
  EXPECT_EQ(PlayRecordBlock.startCounter, 2);

  plat::InvalidateDirectoryCache();
}

// The data tool's system command on a small source with one extras scene.
TEST(SampleSystemData, ToolBuildsBasicDatAndTheExtrasTables) {
  v4test::TempFolder temp("v4savetool");
  ASSERT_TRUE(temp.Made());
  const std::filesystem::path root = temp.Path();
  const std::string tool = std::string(V4_TEST_BINARY_DIR) + "/bin/v4data";
  struct Case {
    const char* json;
    int exitCode;
  } cases[] = {
      {R"({"basic_words": [1, 2, 65536], "extras_scenes": [{"scene": 7, "label": "ev_one"}, {"scene": 3839, "label": "ev_two"}]})",
       0},
      {R"({"basic_words": [1], "extras_scenes": [{"scene": 3840, "label": "x"}]})", 1},
      {R"({"basic_words": [0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0]})", 1},
      {R"({"extras_scenes": []})", 1},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(root / "out");
    {
      std::ofstream src(root / "system.json");
      src << c.json;
    }
    const std::string cmd = tool + " system build " + root.string() + " " + (root / "out").string() + " 2>/dev/null";
    const int status = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << c.json;
    EXPECT_EQ(WEXITSTATUS(status), c.exitCode) << c.json;
  }
  // The first source again, then read by the program.
  std::filesystem::remove_all(root / "out");
  {
    std::ofstream src(root / "system.json");
    src << cases[0].json;
  }
  ASSERT_EQ(std::system((tool + " system build " + root.string() + " " + (root / "out").string()).c_str()), 0);
  EXPECT_EQ(std::filesystem::file_size(root / "out/Data/sys/basic.dat"), 80u);
  EXPECT_EQ(std::filesystem::file_size(root / "out/Data/sys/ev.bin"), 2u * 78u);
  ASSERT_TRUE(SetModuleDirFromHost((root / "out").string()));
  plat::InvalidateDirectoryCache();
  LoadSystemData();
  const uint8_t basic[12] = {1, 0, 0, 0, 2, 0, 0, 0, 0, 0, 1, 0};
  EXPECT_EQ(std::memcmp(BasicDataBlock, basic, sizeof basic), 0);
  int32_t scene = -1;
  EXPECT_TRUE(FindOmakeSceneByLabel("ev_two", &scene));
  EXPECT_EQ(scene, 3839);
  EXPECT_TRUE(FindOmakeSceneByLabel("ev_one", &scene));
  EXPECT_EQ(scene, 7);
  plat::InvalidateDirectoryCache();
}

}  // namespace
