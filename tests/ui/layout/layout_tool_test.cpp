// v4data layout compile / dump as outside checks run them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "formats/layout/layout_compiler.h"
#include "layout_fixture.h"
#include "tests/support/run_command.h"

using namespace layout_test;

namespace {

std::string U8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

int RunTool(const std::string& args, std::string* out = nullptr) {
  return v4test::RunCommand(std::string(V4_TEST_V4DATA) + " " + args + " 2>&1", out);
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

TEST(LayoutTool, CompileWritesWhatTheCompilerMakesAndRefusesBadText) {
  v4test::TempModuleDir dir;
  const std::string src =
      U8(u8"[Window#0]\n{\n:pos 1,2,0\n:sprite 1,0\n[Text#0]\n{\n:pos 0,0,0\n:text \"見出し\"\n}\n}");
  WriteText(dir.Path() + "/in.txt", src);
  ASSERT_EQ(RunTool("layout compile " + dir.Path() + "/in.txt " + dir.Path() + "/out.lay"), 0);
  std::vector<uint8_t> expect;
  std::vector<std::string> errors;
  ASSERT_TRUE(v4fmt::CompileLayout(src, expect, errors));
  EXPECT_EQ(ReadAll(dir.Path() + "/out.lay"), expect);

  WriteText(dir.Path() + "/bad.txt", ":ok 1\n:pos\n:text \"a b\"\n");
  std::string out;
  EXPECT_EQ(RunTool("layout compile " + dir.Path() + "/bad.txt " + dir.Path() + "/bad.lay", &out), 1);
  EXPECT_NE(out.find("line 2"), std::string::npos) << out;
  EXPECT_NE(out.find("line 3"), std::string::npos) << out;
  EXPECT_TRUE(ReadAll(dir.Path() + "/bad.lay").empty());
  EXPECT_EQ(RunTool("layout compile"), 2);
}

TEST(LayoutTool, DumpListsTheBuiltTree) {
  v4test::TempModuleDir dir;
  dir.Write("Data/Image/g.png", v4test::SolidPng(64, 32, 0xFFFFFFFFu));
  const std::string src =
      U8(u8R"([SpriteGlobal]
{
:#0 "Data\Image\g.png",64,32,1,2
}
[Window#0]
{
:pos 10,20,0
:sprite 1,0,1,-1
[Btn#0]
{
:pos 1,1,0
:id 3,4
}
[Text#0]
{
:pos 0,0,0
:area 100,20
:text "ボタン"
}
}
:Copy#0 0,5,0,0
)");
  ASSERT_TRUE(WriteLayout(dir, "Data/layout/d.lay", src));
  std::string out;
  ASSERT_EQ(RunTool("layout dump " + dir.Path() + "/Data/layout/d.lay", &out), 0) << out;
  // The copy of Window#0 (a top-level copy comes from the root's children) shifts button ids by 1.
  const std::string expect =
      U8(u8R"(Root 0 t=1 pos=0,0,0 size=0,0 bits=--- st=0
Root 0/Win 0 t=2 pos=10,20,1 size=64,16 pic=Data\Image\g.png bits=--- st=1
Root 0/Win 0/Btn 0 t=3 id=3,4 pos=1,1,1 size=0,0 pic= bits=2-- st=0
Root 0/Win 0/Text 0 t=4 pos=0,0,1 size=100,20 text=ボタン bits=--- st=0
Root 0/Win 1 t=2 pos=15,20,1 size=64,16 pic=Data\Image\g.png bits=--- st=1
Root 0/Win 1/Btn 0 t=3 id=4,5 pos=1,1,1 size=0,0 pic= bits=2-- st=0
Root 0/Win 1/Text 0 t=4 pos=0,0,1 size=100,20 text=ボタン bits=--- st=0
)");
  EXPECT_EQ(out, expect);
  EXPECT_EQ(RunTool("layout dump " + dir.Path() + "/none.lay"), 1);
}

}  // namespace
