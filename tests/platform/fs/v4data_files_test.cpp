// v4data szs pack/list/extract and scramble/descramble, run as processes on temporary folders.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/game_file.h"
#include "formats/szs/szs.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

const char* U(const char8_t* s) { return reinterpret_cast<const char*>(s); }

class V4DataTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.Made()); }

  // Runs v4data with the arguments (each quoted); returns the exit status, stdout in *out.
  int Run(const std::vector<std::string>& args, std::string* out = nullptr) {
    std::string cmd = std::string("'") + V4DATA_EXE + "'";
    for (const std::string& a : args) cmd += " '" + a + "'";
    cmd += " 2>/dev/null";
    return v4test::RunCommand(cmd, out);
  }
  void Put(const std::string& rel, const std::string& content) {
    folder_.Write(rel, std::vector<uint8_t>(content.begin(), content.end()));
  }
  std::string Get(const std::string& rel) {
    const std::vector<uint8_t> bytes = folder_.Read(rel);
    return std::string(bytes.begin(), bytes.end());
  }
  std::string Path(const std::string& rel) const { return folder_.File(rel); }

  v4test::TempFolder folder_{"v4tool"};
};

TEST_F(V4DataTest, PackListExtractAndReadInTheGame) {
  Put("src/Bg/B01.png", "png-bytes");
  Put(U(u8"src/キャラ/表.tig"), "tig");
  Put("src/top.bin", "");
  ASSERT_EQ(Run({"szs", "pack", Path("src"), Path("game/Data/Image.SZS")}), 0);

  const std::string image = Get("game/Data/Image.SZS");
  ASSERT_GE(image.size(), 16u);
  EXPECT_EQ(image.substr(0, 12), std::string(12, '\0'));
  std::vector<v4fmt::SzsDirEntry> dir;
  ASSERT_TRUE(
      v4fmt::ParseSzsDirectory(reinterpret_cast<const uint8_t*>(image.data()), image.size(), image.size(), dir));
  ASSERT_EQ(dir.size(), 3u);
  std::vector<std::string> names;
  for (const auto& e : dir) names.push_back(e.name);
  EXPECT_NE(std::find(names.begin(), names.end(), "Bg\\B01.png"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "キャラ\\表.tig"), names.end());  // CP932 in the archive
  for (const auto& e : dir) {
    if (e.name != "Bg\\B01.png") continue;
    ASSERT_EQ(e.size, 9u);
    EXPECT_EQ(static_cast<uint8_t>(image[e.offset]), 'p' ^ 0xB7);
  }

  std::string listing;
  ASSERT_EQ(Run({"szs", "list", Path("game/Data/Image.SZS")}, &listing), 0);
  EXPECT_NE(listing.find("Bg\\B01.png\t9\n"), std::string::npos) << listing;
  EXPECT_NE(listing.find(std::string(U(u8"キャラ\\表.tig")) + "\t3\n"), std::string::npos) << listing;
  EXPECT_NE(listing.find("top.bin\t0\n"), std::string::npos) << listing;

  ASSERT_EQ(Run({"szs", "extract", Path("game/Data/Image.SZS"), Path("out")}), 0);
  EXPECT_EQ(Get("out/Bg/B01.png"), "png-bytes");
  EXPECT_EQ(Get(U(u8"out/キャラ/表.tig")), "tig");
  EXPECT_TRUE(fs::exists(Path("out/top.bin")));

  // The program reads the packed archive.
  const std::string saved = GetModuleDir();
  ASSERT_TRUE(SetModuleDirFromHost(Path("game")));
  std::string name = std::string(GetModuleDir()) + "Data\\Image\\キャラ\\表.tig";
  int32_t size = 0;
  uint8_t* data = LoadGameFile(name.c_str(), &size);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), static_cast<size_t>(size)), "tig");
  FreeGameFile(data);
  SetModuleDir(saved.c_str());
}

TEST_F(V4DataTest, BadArchivesAndArgumentsFailCleanly) {
  Put("junk.SZS", std::string(12, '\0') + "\xFF\xFF\xFF\x7F" + std::string(8, '\0'));  // count far too big
  std::vector<uint8_t> evil;
  ASSERT_TRUE(v4fmt::BuildSzsArchive({{"..\\evil.bin", {1}}}, evil));
  Put("evil.SZS", std::string(evil.begin(), evil.end()));
  struct {
    std::vector<std::string> args;
    int status;
  } const cases[] = {
      {{"szs", "list", Path("junk.SZS")}, 1},
      {{"szs", "list", Path("missing.SZS")}, 1},
      {{"szs", "extract", Path("junk.SZS"), Path("o1")}, 1},
      {{"szs", "extract", Path("evil.SZS"), Path("o2/inner")}, 1},
      {{"szs", "pack", Path("nofolder"), Path("x.SZS")}, 1},
      {{"szs", "frobnicate"}, 2},
      {{"scramble", "--seed", "-1", Path("junk.SZS"), Path("o.bin")}, 2},
      {{"scramble", "--seed", "0x1FFFFFFFF", Path("junk.SZS"), Path("o.bin")}, 2},
      {{"scramble", "--seed", "12ab", Path("junk.SZS"), Path("o.bin")}, 2},
      {{"descramble", "--seed", "1", Path("missing.bin"), Path("o.bin")}, 1},
  };
  for (const auto& c : cases) EXPECT_EQ(Run(c.args), c.status) << c.args[0] << " " << c.args[1] << " " << c.args[2];
  EXPECT_FALSE(fs::exists(Path("o2/evil.bin")));
}

TEST_F(V4DataTest, ScrambleCommandsUseTheStream) {
  struct {
    const char* seed;
    std::string stream;  // first bytes of the stream (scrambled zeros)
  } const cases[] = {
      {"271945638", "\xA0\xCD\xB0\xB5\xC7\x9E\x9F\xFC"},
      {"0x5C3A91E7", "\xED\xE0\x54\xBE\x1E\x56\x15\x53"},
  };
  Put("zeros.bin", std::string(8, '\0'));
  for (const auto& c : cases) {
    ASSERT_EQ(Run({"scramble", "--seed", c.seed, Path("zeros.bin"), Path("s.bin")}), 0);
    EXPECT_EQ(Get("s.bin"), c.stream) << c.seed;
    ASSERT_EQ(Run({"descramble", "--seed", c.seed, Path("s.bin"), Path("d.bin")}), 0);
    EXPECT_EQ(Get("d.bin"), std::string(8, '\0')) << c.seed;
  }
}

}  // namespace
