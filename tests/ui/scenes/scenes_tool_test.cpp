// v4data scenes build / dump as outside checks run them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "formats/scene/scene_table.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_folder.h"

namespace {

int RunTool(const std::string& args, std::string* out = nullptr) {
  return v4test::RunCommand(std::string(V4_TEST_V4DATA) + " " + args + " 2>&1", out);
}

class ScenesTool : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.Made()); }
  std::string Write(const std::string& name, const std::string& text) {
    folder_.Write(name, std::vector<uint8_t>(text.begin(), text.end()));
    return folder_.File(name);
  }
  v4test::TempFolder folder_{"v4scenes"};
  const std::string dir = folder_.Path();
};

TEST_F(ScenesTool, BuildWritesTheTableAndDumpPrintsItBack) {
  const std::string src = Write("s.json", R"({"scenes": [
    {"id": 10, "resident": true, "menus": [{"entry": 0, "type": 10, "layout": "Data\\layout\\dialog.lay"}],
     "transitions": [{"result": 1, "next": -1, "push": 0}, {"result": 2, "next": -1}]},
    {"id": 100, "menus": [{"entry": 3, "type": 10000, "layout": "Data\\layout\\viewer.lay"}]}
  ]})");
  ASSERT_EQ(RunTool("scenes build " + src + " " + dir + "/scene.bin"), 0);
  std::ifstream in(dir + "/scene.bin", std::ios::binary);
  std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
  ASSERT_EQ(bytes.size(), 151904u);
  v4fmt::SceneFlowTable t;
  v4fmt::ReadSceneTable(bytes.data(), bytes.size(), t);
  EXPECT_EQ(t[10].sceneId, 10);
  EXPECT_EQ(t[10].resident, 1);
  EXPECT_STREQ(t[10].menus[0].layoutName, "Data\\layout\\dialog.lay");
  EXPECT_EQ(t[10].transitions[1].result, 2);
  EXPECT_EQ(t[10].transitions[1].nextScene, -1);
  EXPECT_EQ(t[10].transitions[2].result, -1);
  EXPECT_EQ(t[100].menus[3].menuType, 10000);

  std::string out;
  ASSERT_EQ(RunTool("scenes dump " + dir + "/scene.bin", &out), 0);
  EXPECT_EQ(out,
            "size 151904 (records 101)\n"
            "slot 10 scene 10 resident 1\n"
            "  menu 0 type 10 layout Data\\layout\\dialog.lay\n"
            "  transition 0 result 1 next -1 push 0\n"
            "  transition 1 result 2 next -1 push 0\n"
            "slot 100 scene 100 resident 0\n"
            "  menu 3 type 10000 layout Data\\layout\\viewer.lay\n");
}

TEST_F(ScenesTool, BuildRefusesBadSources) {
  struct Case {
    const char* what;
    const char* json;
    const char* message;
  };
  const Case cases[] = {
      {"duplicate id", R"({"scenes": [{"id": 3}, {"id": 3}]})", "duplicate id"},
      {"unknown menu type", R"({"scenes": [{"id": 1, "menus": [{"entry": 0, "type": 85, "layout": "a.lay"}]}]})",
       "unknown menu type 85"},
      {"layout name of 64 bytes",
       R"({"scenes": [{"id": 1, "menus": [{"entry": 0, "type": 10, "layout": "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.lay"}]}]})",
       "1..63 bytes"},
      {"not JSON", "{", "scenes build"},
      {"id not a number", R"({"scenes": [{"id": "x"}]})", "must be an integer"},
  };
  for (const Case& c : cases) {
    const std::string src = Write("bad.json", c.json);
    std::string out;
    EXPECT_EQ(RunTool("scenes build " + src + " " + dir + "/bad.bin", &out), 1) << c.what;
    EXPECT_NE(out.find(c.message), std::string::npos) << c.what << ": " << out;
    EXPECT_FALSE(std::filesystem::exists(dir + "/bad.bin")) << c.what;
  }
  EXPECT_EQ(RunTool("scenes"), 2);
}

}  // namespace
