// The plain and game file loaders: scrambled images by extension, archives, empty files.
#include <gtest/gtest.h>

#include "formats/szs/szs.h"
#include "render/file_load.h"
#include "render/texture_holder.h"
#include "render_fixture.h"

namespace {

TEST(ImageScramble, ReferenceStreamStartsWithTheKnownBytes) {
  // The first stream bytes for seed 0x5C3A91E7, as published with the format.
  const std::vector<uint8_t> want = {0xED, 0xE0, 0x54, 0xBE, 0x1E, 0x56, 0x15, 0x53};
  EXPECT_EQ(ReferenceImageStream(8), want);
}

TEST(ImageScramble, OnlyTigAndTdsExtensionsAreDescrambled) {
  struct Case {
    const char* name;
    bool scrambled;
  };
  const Case cases[] = {{"a.tig", true},      {"A.TIG", true},  {"x.tds", true},  {"x.Tds", true},
                        {"a.tigx", false},    {"noext", false}, {"a.png", false}, {"dir.tig\\file", false},
                        {"a.tig.png", false}, {"a.", false},    {"tig", false},   {"d\\e.f.tds", true}};
  for (const Case& c : cases) EXPECT_EQ(IsScrambledImageName(c.name), c.scrambled) << c.name;
}

class FileLoadTest : public ::testing::Test {
 protected:
  std::string Path(const char* rel) { return std::string(GetModuleDir()) + rel; }
  v4test::TempModuleDir dir;
};

TEST_F(FileLoadTest, GameLoaderDescramblesLooseAndArchivedImages) {
  std::vector<uint8_t> plain(300);
  for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(i * 31 + 7);
  const std::vector<uint8_t> scrambled = ReferenceScramble(plain);
  dir.Write("Data/Test/loose.tig", scrambled);
  dir.Write("Data/Test/loose.TDS", scrambled);
  dir.Write("Data/Test/plain.tigx", scrambled);
  std::vector<uint8_t> archive;
  ASSERT_TRUE(v4fmt::BuildSzsArchive({{"packed.tig", scrambled}, {"raw.bin", plain}}, archive));
  dir.Write("Data/Pack.SZS", archive);

  struct Case {
    const char* rel;
    const std::vector<uint8_t>* want;
  };
  const Case cases[] = {{"Data\\Test\\loose.tig", &plain},
                        {"Data\\Test\\loose.TDS", &plain},
                        {"Data\\Test\\plain.tigx", &scrambled},
                        {"Data\\Pack\\packed.tig", &plain},
                        {"Data\\Pack\\raw.bin", &plain}};
  auto* loader = new CDGFileLoad_QZT();
  for (const Case& c : cases) {
    ASSERT_EQ(loader->Load(Path(c.rel).c_str()), static_cast<int32_t>(c.want->size())) << c.rel;
    EXPECT_EQ(std::vector<uint8_t>(loader->Data(), loader->Data() + loader->Size()), *c.want) << c.rel;
    EXPECT_EQ(loader->Path(), Path(c.rel));
  }
  EXPECT_EQ(loader->Load(Path("Data\\Test\\none.tig").c_str()), -1);
  EXPECT_EQ(loader->Data(), nullptr);
  EXPECT_EQ(loader->Size(), 0u);
  EXPECT_TRUE(loader->Path().empty());
  loader->Release();
}

TEST_F(FileLoadTest, EmptyFileGivesSizeZeroAndASecondLoadReplacesTheFirst) {
  dir.Write("Data/Test/empty.bin", {});
  dir.Write("Data/Test/four.bin", {1, 2, 3, 4});
  for (int kind = 0; kind < 2; ++kind) {
    CDGFileLoad* loader = kind ? new CDGFileLoad_QZT() : new CDGFileLoad();
    // Both take program paths; the plain one also host paths.
    const std::string four = kind ? Path("Data\\Test\\four.bin") : dir.Path() + "/Data/Test/four.bin";
    const std::string empty = kind ? Path("Data\\Test\\empty.bin") : dir.Path() + "/Data/Test/empty.bin";
    EXPECT_EQ(loader->Load(Path("Data\\test\\FOUR.bin").c_str()), 4) << kind;
    EXPECT_EQ(loader->Data()[3], 4) << kind;
    EXPECT_EQ(loader->Load(four.c_str()), 4);
    EXPECT_EQ(loader->Load(empty.c_str()), 0);  // the first buffer is freed (leak checker)
    EXPECT_EQ(loader->Size(), 0u);
    EXPECT_EQ(loader->Load(nullptr), -1);
    loader->Release();
  }
}

TEST_F(FileLoadTest, ScrambledImagesLoadAsTexturesFromAnArchive) {
  const std::vector<uint8_t> px = v4test::PixelsOf(8, 4, [](int x, int) { return x < 4 ? 0xFF0000FFu : 0x00FF0080u; });
  std::vector<uint8_t> archive;
  ASSERT_TRUE(v4fmt::BuildSzsArchive({{"sheet.tig", ReferenceScramble(v4test::EncodePng(8, 4, px))}}, archive));
  dir.Write("Data/Image.SZS", archive);
  v4test::NullDeviceManager nm;
  CVTextureMgr holders;
  CVTexture* h = holders.GetTexture(Path("Data\\Image\\sheet.tig").c_str(), false, false);
  ASSERT_NE(h, nullptr);
  ASSERT_NE(h->GetTexture(), nullptr);
  EXPECT_EQ(h->GetWidth(), 8);
  uint8_t alpha = 0;
  ASSERT_TRUE(h->GetTexture()->GetTexelAlpha(6, 1, &alpha));
  EXPECT_EQ(alpha, 0x80);
  // Damaged image data fails cleanly.
  std::vector<uint8_t> broken = v4test::EncodePng(8, 4, px);
  broken.resize(broken.size() / 2);
  dir.Write("Data/Test/broken.tig", ReferenceScramble(broken));
  EXPECT_EQ(holders.GetTexture(Path("Data\\Test\\broken.tig").c_str(), false, false), nullptr);
}

}  // namespace
