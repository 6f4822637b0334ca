// Program paths on the host file system: separators, CP932 names, ASCII case, the listing cache,
// and whole-file writes.
#include "platform/fs/fs.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/text/cp932.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

class FsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.Made());
    base_ = plat::Utf8ToCp932(host_) + "\\";
  }

  // Creates a host file (UTF-8 relative name, '/' separators).
  void Put(const std::string& rel, const std::string& content) {
    folder_.Write(rel, std::vector<uint8_t>(content.begin(), content.end()));
  }
  std::string Slurp(const std::string& rel) {
    const std::vector<uint8_t> bytes = folder_.Read(rel);
    return std::string(bytes.begin(), bytes.end());
  }
  // A program path (CP932) under the temporary folder.
  std::string P(const char* rel) const { return base_ + rel; }

  v4test::TempFolder folder_{"v4fs"};
  const std::string host_ = folder_.Path();
  std::string base_;
};

TEST(FsSplit, SeparatorsAreLeadByteAware) {
  struct {
    const char* path;
    std::vector<std::string> parts;
    bool absolute;
  } const cases[] = {
      {"Data\\Image\\a.png", {"Data", "Image", "a.png"}, false},
      {"/x//y\\", {"x", "y"}, true},
      {"データ\\表\\ソ.bin", {"データ", "表", "ソ.bin"}, false},  // 表 and ソ end in 0x5C
      {"", {}, false},
  };
  for (const auto& c : cases) {
    bool absolute = !c.absolute;
    EXPECT_EQ(plat::SplitProgramPath(c.path, &absolute), c.parts) << c.path;
    EXPECT_EQ(absolute, c.absolute) << c.path;
  }
}

TEST_F(FsTest, ResolvesCaseInsensitivelyAndThroughCp932Names) {
  Put("Data/Image/Bg/B01.png", "b01");
  Put(reinterpret_cast<const char*>(u8"データ/表示.bin"), "jp");
  struct {
    const char* rel;
    const char* content;  // null: must not exist
  } const cases[] = {
      {"Data\\Image\\Bg\\B01.png", "b01"},
      {"data\\image\\BG\\b01.PNG", "b01"},
      {"DATA/Image\\bg/B01.png", "b01"},
      {"データ\\表示.bin", "jp"},
      {"データ\\表示.BIN", "jp"},
      {"Data\\Image\\Bg\\B02.png", nullptr},
      {"Data\\Imagex\\Bg\\B01.png", nullptr},
      {"Data\\Image\\Bg", nullptr},  // a folder is not a readable file
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> bytes;
    const std::string path = P(c.rel);
    EXPECT_EQ(plat::FileExists(path), c.content != nullptr) << c.rel;
    ASSERT_EQ(plat::ReadWholeFile(path, bytes), c.content != nullptr) << c.rel;
    if (c.content) {
      EXPECT_EQ(std::string(bytes.begin(), bytes.end()), c.content) << c.rel;
    }
  }
  std::vector<uint8_t> bytes;
  EXPECT_FALSE(plat::ReadWholeFile("", bytes));
}

TEST_F(FsTest, RelativePathsStartAtTheWorkingFolder) {
  Put(reinterpret_cast<const char*>(u8"デバッグ/deb_str.bin"), "d");
  const fs::path before = fs::current_path();
  fs::current_path(host_);
  const bool found = plat::FileExists("デバッグ\\deb_str.bin");
  const bool foundCase = plat::FileExists("./デバッグ/DEB_STR.BIN");
  const bool missing = plat::FileExists("デバッグ\\none.bin");
  fs::current_path(before);
  EXPECT_TRUE(found);
  EXPECT_TRUE(foundCase);
  EXPECT_FALSE(missing);
}

TEST_F(FsTest, ListingCacheNoticesChanges) {
  Put("Data/old.bin", "x");
  // Age the folder so that its listing is trusted and cached.
  const auto past = fs::file_time_type::clock::now() - std::chrono::hours(1);
  fs::last_write_time(fs::path(host_) / "Data", past);
  EXPECT_TRUE(plat::FileExists(P("Data\\OLD.bin")));
  EXPECT_FALSE(plat::FileExists(P("Data\\NEW.bin")));
  Put("Data/new.bin", "y");  // changes the folder's modification time
  EXPECT_TRUE(plat::FileExists(P("Data\\NEW.bin")));
  fs::remove(fs::path(host_) / "Data/old.bin");
  EXPECT_FALSE(plat::FileExists(P("Data\\OLD.bin")));
}

TEST_F(FsTest, WritesTruncateAndCreateFolders) {
  for (plat::WriteMode mode : {plat::WriteMode::kTruncate, plat::WriteMode::kAtomic}) {
    SCOPED_TRACE(static_cast<int>(mode));
    fs::remove_all(fs::path(host_) / "Save");
    ASSERT_TRUE(plat::WriteWholeFile(P("Save\\d07\\slg.dat"), "0123456789", 10, mode));
    EXPECT_EQ(Slurp("Save/d07/slg.dat"), "0123456789");
    ASSERT_TRUE(plat::WriteWholeFile(P("save\\D07\\SLG.dat"), "abc", 3, mode));  // same file, other case
    EXPECT_EQ(Slurp("Save/d07/slg.dat"), "abc");
    ASSERT_TRUE(plat::WriteWholeFile(P("Save\\d07\\empty.dat"), nullptr, 0, mode));
    EXPECT_EQ(fs::file_size(fs::path(host_) / "Save/d07/empty.dat"), 0u);
    int entries = 0;
    for (auto& e : fs::directory_iterator(fs::path(host_) / "Save/d07")) {
      (void)e;
      ++entries;
    }
    EXPECT_EQ(entries, 2) << "no temporary files left behind";
  }
}

TEST_F(FsTest, WriteFailuresAreReported) {
  Put("file.bin", "x");
  fs::create_directories(fs::path(host_) / "folder");
  EXPECT_FALSE(plat::WriteWholeFile(P("file.bin\\inner.bin"), "a", 1));  // a file in the way
  EXPECT_FALSE(plat::WriteWholeFile(P("folder"), "a", 1));               // a folder in the way
  EXPECT_FALSE(plat::WriteWholeFile(P("folder"), "a", 1, plat::WriteMode::kAtomic));
  EXPECT_FALSE(plat::WriteWholeFile("", "a", 1));
  EXPECT_FALSE(plat::WriteWholeFile(P("x.bin"), nullptr, 4));
}

// The fault seam: a failed write, fsync or rename of an atomic write leaves the old content and
// no temporary file; a failed rename leaves both files as they were.
plat::FsStep g_failStep;
bool FailStep(plat::FsStep step) { return step == g_failStep; }

TEST_F(FsTest, FaultSeamFailsEachDurableStep) {
  Put("a.dat", "old");
  for (plat::FsStep step : {plat::FsStep::kWrite, plat::FsStep::kFsync, plat::FsStep::kRename}) {
    SCOPED_TRACE(static_cast<int>(step));
    g_failStep = step;
    plat::SetFsFaultHook(&FailStep);
    EXPECT_FALSE(plat::WriteWholeFile(P("a.dat"), "new", 3, plat::WriteMode::kAtomic));
    plat::SetFsFaultHook(nullptr);
    EXPECT_EQ(Slurp("a.dat"), "old");
    int entries = 0;
    for (auto& e : fs::directory_iterator(fs::path(host_))) {
      (void)e;
      ++entries;
    }
    EXPECT_EQ(entries, 1) << "no temporary files left behind";
  }
  Put("b.dat", "bee");
  g_failStep = plat::FsStep::kRename;
  plat::SetFsFaultHook(&FailStep);
  EXPECT_FALSE(plat::RenameFile(P("B.DAT"), P("a.dat")));
  plat::SetFsFaultHook(nullptr);
  EXPECT_EQ(Slurp("a.dat"), "old");
  EXPECT_EQ(Slurp("b.dat"), "bee");
  EXPECT_TRUE(plat::RenameFile(P("B.DAT"), P("a.dat")));  // case-insensitive source
  EXPECT_EQ(Slurp("a.dat"), "bee");
  EXPECT_FALSE(fs::exists(fs::path(host_) / "b.dat"));
  EXPECT_FALSE(plat::RenameFile(P("missing.dat"), P("a.dat")));
}

TEST_F(FsTest, ReadAtIsBounded) {
  Put("a.bin", "abcdef");
  plat::ReadFile f;
  ASSERT_TRUE(f.Open(P("A.BIN")));
  plat::FileInfo info;
  ASSERT_TRUE(f.Info(info));
  EXPECT_EQ(info.size, 6u);
  char buf[8] = {};
  EXPECT_TRUE(f.ReadAt(2, buf, 4));
  EXPECT_EQ(std::string(buf, 4), "cdef");
  EXPECT_FALSE(f.ReadAt(4, buf, 3));
  EXPECT_FALSE(f.ReadAt(~0ull, buf, 1));
  EXPECT_FALSE(f.Open(P("missing.bin")));
  EXPECT_FALSE(f.IsOpen());
}

TEST_F(FsTest, NamedPipesAreRefusedWithoutWaiting) {
  // Nobody ever opens the other end: an open that waited for it would never return.
  ASSERT_EQ(mkfifo((fs::path(host_) / "pipe").c_str(), 0666), 0);
  std::vector<uint8_t> bytes;
  plat::ReadFile f;
  EXPECT_FALSE(plat::FileExists(P("pipe")));
  EXPECT_FALSE(f.Open(P("PIPE")));
  EXPECT_FALSE(plat::ReadWholeFile(P("pipe"), bytes));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(plat::WriteWholeFile(P("pipe"), "a", 1));
  testing::internal::GetCapturedStderr();
  EXPECT_TRUE(fs::is_fifo(fs::path(host_) / "pipe"));
}

TEST(FsExe, ExecutableDirectoryHoldsTheTest) {
  std::string dir = plat::ExecutableDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  EXPECT_TRUE(fs::exists(fs::path(dir) / "platform_fs_tests"));
}

}  // namespace
