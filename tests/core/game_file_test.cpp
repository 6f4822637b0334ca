// LoadGameFile: where a name is found (loose files, archive parts, the folder rules), damaged
// archives, and the directory cache noticing changed archives.
#include "core/game_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "formats/szs/szs.h"
#include "platform/text/cp932.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

class GameFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = GetModuleDir();
    ASSERT_TRUE(temp_.Made());
    root_ = temp_.Path();
    // A '.' in the install folder must not count as the requested name's extension.
    host_ = root_ + "/game.v2";
    fs::create_directories(host_);
    ASSERT_TRUE(SetModuleDirFromHost(host_));
    ClearSzsDirectoryCache();
  }
  void TearDown() override {
    SetModuleDir(saved_.c_str());
    ClearSzsDirectoryCache();
  }

  // Writes an archive (host name in UTF-8; entry names CP932) and ages it so it is cacheable.
  void Archive(const std::string& rel, const std::vector<v4fmt::SzsSourceEntry>& entries, int agedMinutes = 10) {
    std::vector<uint8_t> image;
    ASSERT_TRUE(v4fmt::BuildSzsArchive(entries, image));
    PutRaw(rel, image, agedMinutes);
  }
  void PutRaw(const std::string& rel, const std::vector<uint8_t>& bytes, int agedMinutes = 10) {
    fs::path p = fs::path(host_) / fs::path(rel);
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (agedMinutes > 0) fs::last_write_time(p, fs::file_time_type::clock::now() - std::chrono::minutes(agedMinutes));
  }
  std::vector<uint8_t> Raw(const std::string& rel) {
    std::ifstream in(fs::path(host_) / fs::path(rel), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }

  // Reads GetModuleDir() + rel; "<null>" when nothing was found.
  std::string Load(const char* rel) {
    std::string name = std::string(GetModuleDir()) + rel;
    int32_t size = -7;
    uint8_t* data = LoadGameFile(name.c_str(), &size);
    if (!data) {
      EXPECT_EQ(size, -7) << "size is written only on success";
      return "<null>";
    }
    std::string s(reinterpret_cast<const char*>(data), static_cast<size_t>(size));
    FreeGameFile(data);
    return s;
  }

  void BuildStandardSet() {
    Archive("Data/Image.SZS", {{"zenkoku\\map.tig", Bytes("base-map")},
                               {"bg\\b01.png", Bytes("base-b01")},
                               {"dup.bin", Bytes("base-dup")},
                               {"Upper\\Case.BIN", Bytes("case")},
                               {"only_base.bin", Bytes("only-base")},
                               {"キャラ\\表.png", Bytes("hyou")},
                               {"ア.bin", Bytes("a")},
                               {"ヂ.bin", Bytes("di")},
                               {"empty.bin", Bytes("")}});
    Archive("Data/Image_1.SZS", {{"dup.bin", Bytes("part1-dup")}});
    Archive("Data/Image_2.SZS", {{"dup.bin", Bytes("part2-dup")}, {"dup.bin", Bytes("part2-second")}});
    PutRaw("Data/Image/zenkoku/map.tig", Bytes("loose-map"));
    Archive("Data/Image/ev.SZS", {{"a01.tig", Bytes("ev-a01")}});
    Archive("_Data/Image.SZS", {{"x.png", Bytes("underscore-two")}});
    Archive("image.szs", {{"Data\\foo.bin", Bytes("root-foo")}, {"top.bin", Bytes("no-folder")}});
    // Junk in the high word of a record's 64-bit offset: only the low word places the data.
    std::vector<uint8_t> high;
    ASSERT_TRUE(v4fmt::BuildSzsArchive({{"hi.bin", Bytes("high-word")}}, high));
    for (size_t i = 16 + 260; i < 16 + 264; ++i) high[i] = 0xA5;
    PutRaw("Data/High.SZS", high);
  }

  std::string saved_;
  v4test::TempFolder temp_{"v4gf"};
  std::string root_;
  std::string host_;
};

TEST_F(GameFileTest, WhereANameIsFound) {
  BuildStandardSet();
  struct {
    const char* rel;
    const char* expected;
  } const cases[] = {
      {"Data\\Image\\zenkoku\\map.tig", "loose-map"},  // a loose file beats every archive
      {"Data\\Image\\dup.bin", "part2-dup"},           // higher part first, first record within it
      {"Data\\Image\\only_base.bin", "only-base"},
      {"Data\\Image\\bg\\b01", "base-b01"},  // no extension: ".png"
      {"Data\\Image\\bg\\b01.png", "base-b01"},
      {"data/IMAGE/upper/case.bin", "case"},  // ASCII case and '/' do not matter
      {"Data\\Image\\BG/B01.PNG", "base-b01"},
      {"_Data\\Image\\ev\\a01.tig", "ev-a01"},    // leading '_': three folders name the archive
      {"_Data\\Image\\x.png", "underscore-two"},  // '_' with two folders only: plain rule
      {"Data\\foo.bin", "root-foo"},              // one separator: IMAGE.SZS
      {"top.bin", "no-folder"},
      {"Data\\Image\\キャラ\\表", "hyou"},  // trail byte 0x5C is no separator
      {"Data\\Image\\ア.bin", "a"},         // trail bytes are never lower-cased
      {"Data\\Image\\ヂ.bin", "di"},
      {"Data\\Image\\empty.bin", ""},
      {"Data\\High\\hi.bin", "high-word"},
      {"Data\\Image\\missing.bin", "<null>"},
      {"Data\\Other\\dup.bin", "<null>"},
  };
  for (const auto& c : cases) EXPECT_EQ(Load(c.rel), c.expected) << plat::Cp932ToUtf8(c.rel);

  // A name holding the module folder somewhere other than at its start is found nowhere.
  std::string odd = std::string("x") + GetModuleDir() + "Data\\Image\\dup.bin";
  EXPECT_EQ(LoadGameFile(odd.c_str(), nullptr), nullptr);
  EXPECT_EQ(LoadGameFile(nullptr, nullptr), nullptr);
  std::string tooLong = std::string(GetModuleDir()) + "Data\\Image\\" + std::string(600, 'a');
  EXPECT_EQ(LoadGameFile(tooLong.c_str(), nullptr), nullptr);
}

TEST_F(GameFileTest, ReaderSearchesArchivePartsInOrder) {
  BuildStandardSet();
  SzsReader r;
  r.OpenSzsArchive("Data\\Image.SZS");
  ASSERT_TRUE(r.FindSzsEntry("DUP.BIN"));
  EXPECT_EQ(r.current().name, "dup.bin");
  EXPECT_EQ(plat::Cp932ToUtf8(r.current().archivePath).find("Image_2.SZS") != std::string::npos, true);
  EXPECT_FALSE(r.FindSzsEntry("nope.bin"));
  ASSERT_TRUE(r.ReadSzsEntry("zenkoku/map.tig"));
  EXPECT_EQ(std::string(r.data().begin(), r.data().end()), "loose-map");
  char name[] = "Zen/Koku;MAP.tig";
  NormalizeSzsName(name);
  EXPECT_STREQ(name, "zen\\koku\\map.tig");
  SzsReader none;
  none.OpenSzsArchive("Data\\Nothing.SZS");
  EXPECT_FALSE(none.FindSzsEntry("dup.bin"));
}

TEST_F(GameFileTest, DamagedArchivesGiveNothingAndNeverHideIntactParts) {
  struct {
    const char* what;
    size_t at;
    std::vector<uint8_t> bytes;  // overwritten at `at`; empty with at = size: cut the file
    bool cut;
  } const damage[] = {
      {"huge count", 12, {0xFF, 0xFF, 0xFF, 0x7F}, false},
      {"offset past the end", 16 + 256, {0xFF, 0xFF, 0, 0, 0, 0, 0, 0}, false},
      {"size past the end", 16 + 264, {0, 0, 0, 0x10, 0, 0, 0, 0}, false},
      {"unterminated name", 16, std::vector<uint8_t>(256, 'q'), false},
      {"cut inside the directory", 100, {}, true},
      {"cut inside the header", 10, {}, true},
  };
  for (const auto& d : damage) {
    SCOPED_TRACE(d.what);
    ClearSzsDirectoryCache();
    fs::remove_all(fs::path(host_) / "Data");
    Archive("Data/Image.SZS", {{"e.bin", Bytes("intact-base")}});
    std::vector<uint8_t> image;
    ASSERT_TRUE(v4fmt::BuildSzsArchive({{"e.bin", Bytes("from-part-3")}, {"f.bin", Bytes("f")}}, image));
    if (d.cut) {
      image.resize(d.at);
    } else {
      std::copy(d.bytes.begin(), d.bytes.end(), image.begin() + static_cast<long>(d.at));
    }
    PutRaw("Data/Image_3.SZS", image);
    EXPECT_EQ(Load("Data\\Image\\e.bin"), "intact-base");
    EXPECT_EQ(Load("Data\\Image\\f.bin"), "<null>");
  }
}

TEST_F(GameFileTest, CachedDirectoriesNoticeChangedArchives) {
  BuildStandardSet();
  // A settled install: the folder's listing and the parts' places are cached as well.
  fs::last_write_time(fs::path(host_) / "Data", fs::file_time_type::clock::now() - std::chrono::minutes(10));
  ASSERT_EQ(Load("Data\\Image\\dup.bin"), "part2-dup");  // now cached
  // Same size, other content, other time: the cache must see it.
  Archive("Data/Image_2.SZS", {{"dup.bin", Bytes("PART2-DUP")}, {"dup.bin", Bytes("part2-second")}}, 5);
  EXPECT_EQ(Load("Data\\Image\\dup.bin"), "PART2-DUP");
  // Directory changes (a new entry) with a new size.
  Archive("Data/Image_2.SZS", {{"other.bin", Bytes("o")}}, 3);
  EXPECT_EQ(Load("Data\\Image\\dup.bin"), "part1-dup");
  EXPECT_EQ(Load("Data\\Image\\other.bin"), "o");
  // A part removed, a new higher part added, a fresh (not yet settled) rewrite.
  fs::remove(fs::path(host_) / "Data/Image_1.SZS");
  EXPECT_EQ(Load("Data\\Image\\dup.bin"), "base-dup");
  Archive("Data/Image_9.SZS", {{"dup.bin", Bytes("nine")}}, 0);
  EXPECT_EQ(Load("Data\\Image\\dup.bin"), "nine");
  Archive("Data/Image_9.SZS", {{"dup.bin", Bytes("NINE")}}, 0);
  EXPECT_EQ(Load("Data\\Image\\dup.bin"), "NINE");
  // A loose file appearing later wins at once.
  PutRaw("Data/Image/dup.bin", Bytes("loose-dup"), 0);
  EXPECT_EQ(Load("Data\\Image\\dup.bin"), "loose-dup");
}

TEST_F(GameFileTest, ConcurrentReadersSeeTheirOwnResults) {
  BuildStandardSet();
  std::vector<std::thread> threads;
  std::vector<int> wrong(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        const bool even = (i + t) % 2 == 0;
        std::string name = std::string(GetModuleDir()) + (even ? "Data\\Image\\dup.bin" : "Data\\Image\\bg\\b01");
        int32_t size = 0;
        uint8_t* p = LoadGameFile(name.c_str(), &size);
        std::string got = p ? std::string(reinterpret_cast<char*>(p), static_cast<size_t>(size)) : "";
        FreeGameFile(p);
        if (got != (even ? "part2-dup" : "base-b01")) ++wrong[t];
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int w : wrong) EXPECT_EQ(w, 0);
}

TEST(ModuleDir, DefaultsToTheExecutableFolderAndNormalises) {
  const std::string saved = GetModuleDir();
  ASSERT_FALSE(saved.empty());
  EXPECT_EQ(saved.back(), '\\');
  EXPECT_EQ(saved.find('/'), std::string::npos);
  EXPECT_TRUE(SetModuleDir("/opt/game"));
  EXPECT_STREQ(GetModuleDir(), "\\opt\\game\\");
  EXPECT_TRUE(SetModuleDir("C:\\ゲーム表"));  // ends in a trail byte 0x5C: still needs a separator
  EXPECT_STREQ(GetModuleDir(), "C:\\ゲーム表\\");
  EXPECT_FALSE(SetModuleDir(""));
  EXPECT_FALSE(SetModuleDir(std::string(600, 'a').c_str()));
  EXPECT_STREQ(GetModuleDir(), "C:\\ゲーム表\\");
  EXPECT_TRUE(SetModuleDir(saved.c_str()));
  EXPECT_STREQ(GetModuleDir(), saved.c_str());
}

}  // namespace
