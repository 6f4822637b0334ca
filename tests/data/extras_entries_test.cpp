// The extras as the sample set fills them: every replay category, music page and lines page the
// screens offer holds entries, every picture-gallery category has pictures, and every scene and line
// the extras list is one the sample story or the strategy game unlocks.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/game_file.h"
#include "save/omake_tables.h"
#include "ui/layout/cv_script.h"

namespace {

uint16_t U16(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

class ExtrasEntries : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = GetModuleDir();
    ASSERT_TRUE(SetModuleDirFromHost(V4_TEST_GAME_DIR));
  }
  void TearDown() override { SetModuleDir(old_.c_str()); }

  static std::vector<uint8_t> Read(const std::string& relative) {
    const std::string path = std::string(GetModuleDir()) + relative;
    int32_t size = 0;
    uint8_t* data = LoadGameFile(path.c_str(), &size);
    if (!data) return {};
    std::vector<uint8_t> out(data, data + size);
    FreeGameFile(data);
    return out;
  }
  // How many buttons of a built layout have ids first, first + 1, ... (stopping at the first gap).
  static int ButtonRun(const char* layout, int first) {
    CVScript script;
    if (!script.Load((std::string(GetModuleDir()) + layout).c_str())) return -1;
    std::vector<bool> seen(64, false);
    for (const CVScriptElement& e : script.Elements()) {
      const std::string& n = e.GetName();
      if (n.size() < 3 || n.compare(n.size() - 3, 3, "/id") != 0) continue;
      const int k = static_cast<int>(e.GetParam(0, -1.0f)) - first;
      if (k >= 0 && k < 64) seen[static_cast<size_t>(k)] = true;
    }
    int n = 0;
    while (n < 64 && seen[static_cast<size_t>(n)]) ++n;
    return n;
  }

  std::string old_;
};

TEST_F(ExtrasEntries, EveryReplayCategoryHoldsScenesTheGameUnlocks) {
  const std::vector<uint8_t> ev = Read("Data\\sys\\ev.bin");
  ASSERT_GE(ev.size(), kOmakeEventRecordBytes);
  const int categories = ButtonRun("Data\\layout\\omake_scene.lay", 12000);
  ASSERT_GT(categories, 0);
  std::ifstream in(std::string(V4_TEST_SOURCE_DIR) + "/data/script/main.v4s", std::ios::binary);
  std::stringstream script;
  script << in.rdbuf();
  std::vector<int> listed(static_cast<size_t>(categories), 0);
  for (size_t at = 0; at + kOmakeEventRecordBytes <= ev.size(); at += kOmakeEventRecordBytes) {
    const std::string label(reinterpret_cast<const char*>(&ev[at + 2]),
                            strnlen(reinterpret_cast<const char*>(&ev[at + 2]), 32));
    if (label.empty()) continue;
    EXPECT_NE(script.str().find("#EventFlagOn *" + label + "\n"), std::string::npos)
        << label << " is listed but nothing unlocks it";
    const int category = U16(ev, at + 66);
    if (U16(ev, at + 74) == 0 && category < categories) ++listed[static_cast<size_t>(category)];
  }
  for (int c = 0; c < categories; ++c) EXPECT_GT(listed[static_cast<size_t>(c)], 0) << "replay category " << c + 1;
}

TEST_F(ExtrasEntries, EveryMusicPageHoldsTracks) {
  const std::vector<uint8_t> bgm = Read("Data\\sys\\bgm.bin");
  ASSERT_GE(bgm.size(), kOmakeBgmRecordBytes);
  const int pages = ButtonRun("Data\\layout\\omake_bgm.lay", 12000);
  ASSERT_GT(pages, 0);
  for (int page = 0; page < pages; ++page) {
    int tracks = 0;
    for (size_t r = static_cast<size_t>(page) * 20; r < static_cast<size_t>(page + 1) * 20; ++r) {
      const size_t at = r * kOmakeBgmRecordBytes;
      if (at + kOmakeBgmRecordBytes <= bgm.size() && bgm[at] != 0) {
        ++tracks;
        const std::string file(reinterpret_cast<const char*>(&bgm[at]),
                               strnlen(reinterpret_cast<const char*>(&bgm[at]), 32));
        EXPECT_GT(Read(file).size(), 1024u) << file;
      }
    }
    EXPECT_GT(tracks, 0) << "music page " << page + 1;
  }
}

TEST_F(ExtrasEntries, EveryPictureCategoryHoldsPictures) {
  const std::vector<uint8_t> cg = Read("Data\\sys\\cg.bin");
  ASSERT_GE(cg.size(), kOmakeCgRecordBytes);
  const int categories = ButtonRun("Data\\layout\\omake_cg.lay", 12000);
  ASSERT_GT(categories, 0);
  std::vector<int> shown(static_cast<size_t>(categories), 0);
  for (size_t at = 0; at + kOmakeCgRecordBytes <= cg.size(); at += kOmakeCgRecordBytes) {
    const int category = U16(cg, at + 4);
    if (U16(cg, at) != 0 && U16(cg, at + 12) == 0 && category < categories) ++shown[static_cast<size_t>(category)];
  }
  for (int c = 0; c < categories; ++c) EXPECT_GT(shown[static_cast<size_t>(c)], 0) << "picture category " << c + 1;
}

// Each page of the lines gallery lists generals with lines, and every listed line can be met: the
// story or a strategy event unlocks its general's seen category.
TEST_F(ExtrasEntries, EveryLinesPageHoldsLinesTheGameUnlocks) {
  const std::vector<uint8_t> sf = Read("Data\\sys\\sf.bin");
  ASSERT_GE(sf.size(), kOmakeSoundRecordBytes);
  const int pages = ButtonRun("Data\\layout\\omake_ikki.lay", 12000);
  ASSERT_GT(pages, 0);
  std::ifstream in(std::string(V4_TEST_SOURCE_DIR) + "/data/script/main.v4s", std::ios::binary);
  std::stringstream script;
  script << in.rdbuf();
  std::vector<int> lines(static_cast<size_t>(pages), 0);
  for (size_t at = 0; at + kOmakeSoundRecordBytes <= sf.size(); at += kOmakeSoundRecordBytes) {
    const int general = U16(sf, at), page = U16(sf, at + 290), seen = U16(sf, at + 292);
    if (general == 0 || U16(sf, at + 294) != 0) continue;
    if (page < pages) ++lines[static_cast<size_t>(page)];
    const std::string unlock = "#SerifFlagOn " + std::to_string(general) + ", " + std::to_string(seen) + "\n";
    EXPECT_NE(script.str().find(unlock), std::string::npos)
        << "general " << general << "'s lines: nothing unlocks them";
  }
  for (int p = 0; p < pages; ++p) EXPECT_GT(lines[static_cast<size_t>(p)], 0) << "lines page " << p + 1;
}

}  // namespace
