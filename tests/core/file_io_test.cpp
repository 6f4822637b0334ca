// Whole-file and block-list reading and writing through the game's file functions.
#include "core/file_io.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/game_file.h"
#include "tests/support/temp_module_dir.h"

namespace fs = std::filesystem;

namespace {

// First bytes of the stream for the common seed 271945638.
const uint8_t kStream[] = {0xA0, 0xCD, 0xB0, 0xB5, 0xC7, 0x9E, 0x9F, 0xFC};
constexpr uint32_t kSeed = 271945638u;

class FileIoTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.Installed()); }
  FixedPath Path(const char* rel) const {
    FixedPath p(GetModuleDir());
    p.Append(rel);
    return p;
  }
  std::vector<uint8_t> Disk(const char* rel) const { return dir_.Read(rel); }
  void PutDisk(const char* rel, const std::vector<uint8_t>& bytes) const { dir_.Write(rel, bytes); }

  v4test::TempModuleDir dir_{"v4io"};
  const std::string host_ = dir_.Path();
};

TEST_F(FileIoTest, WholeFileRoundTripTruncatesAndCreatesFolders) {
  for (FileWrite mode : {FileWrite::kTruncate, FileWrite::kAtomic}) {
    SCOPED_TRACE(static_cast<int>(mode));
    ASSERT_TRUE(WriteWholeFile(Path("SaveData\\d07\\slg.dat"), "0123456789", 10, mode));
    ASSERT_TRUE(WriteWholeFile(Path("SaveData\\d07\\slg.dat"), "xyz", 3, mode));
    EXPECT_EQ(Disk("SaveData/d07/slg.dat"), (std::vector<uint8_t>{'x', 'y', 'z'}));  // no stale tail
    uint8_t* buf = nullptr;
    ASSERT_EQ(ReadAllBytes(Path("SaveData\\d07\\slg.dat"), &buf), 3);
    EXPECT_EQ(std::memcmp(buf, "xyz", 3), 0);
    FreeFileBuffer(buf);
  }
  EXPECT_TRUE(WriteWholeFileAtomic(Path("SaveData\\sys\\sys.dat"), "s", 1));
  EXPECT_EQ(Disk("SaveData/sys/sys.dat"), (std::vector<uint8_t>{'s'}));
}

TEST_F(FileIoTest, FailedOperationsReportFailure) {
  PutDisk("blocker", {1});
  const std::string longName(600, 'a');
  FixedPath tooLong(GetModuleDir());
  tooLong.Append(longName.c_str());
  uint8_t* buf = reinterpret_cast<uint8_t*>(0x1);
  uint8_t small[4] = {9, 9, 9, 9};
  EXPECT_FALSE(WriteWholeFile(Path("blocker\\x.dat"), "a", 1));  // parent is a file
  EXPECT_FALSE(WriteWholeFile(tooLong, "a", 1));
  EXPECT_FALSE(WriteWholeFile(Path("ok.dat"), "a", -1));
  EXPECT_FALSE(WriteFileScrambled(Path("ok.dat"), nullptr, 4, kSeed));
  EXPECT_EQ(ReadAllBytes(tooLong, &buf), -1);
  EXPECT_EQ(ReadWholeFile((std::string(GetModuleDir()) + longName).c_str(), &buf), -1);
  EXPECT_EQ(ReadAllBytes(Path("missing.dat"), &buf), -1);
  EXPECT_EQ(buf, reinterpret_cast<uint8_t*>(0x1)) << "out is set only on success";
  EXPECT_EQ(ReadFileInto(Path("missing.dat"), small, 4), -1);
  EXPECT_EQ(ReadFileDescrambled(Path("missing.dat"), small, 4, kSeed), -1);
  EXPECT_EQ(small[0], 9);
  EXPECT_FALSE(fs::exists(fs::path(host_) / "ok.dat"));
}

TEST_F(FileIoTest, ScrambledFilesKnownAnswerAndBoundedReads) {
  const uint8_t zeros[8] = {};
  uint8_t caller[8] = {};
  ASSERT_TRUE(WriteFileScrambled(Path("Data\\sys\\t.dat"), caller, 8, kSeed));
  EXPECT_EQ(std::memcmp(caller, zeros, 8), 0) << "caller's buffer unchanged";
  EXPECT_EQ(Disk("Data/sys/t.dat"), std::vector<uint8_t>(kStream, kStream + 8));

  uint8_t* buf = nullptr;
  ASSERT_EQ(ReadAllBytesDescrambled(Path("Data\\sys\\t.dat"), &buf, kSeed), 8);
  EXPECT_EQ(std::memcmp(buf, zeros, 8), 0);
  FreeFileBuffer(buf);

  struct {
    int32_t maximum;
    int32_t copied;
  } const cases[] = {{3, 3}, {8, 8}, {20, 8}, {0, 0}};
  for (const auto& c : cases) {
    uint8_t plain[20];
    uint8_t clear[20];
    std::memset(plain, 0x55, sizeof plain);
    std::memset(clear, 0x55, sizeof clear);
    EXPECT_EQ(ReadFileInto(Path("Data\\sys\\t.dat"), plain, c.maximum), c.copied);
    EXPECT_EQ(ReadFileDescrambled(Path("Data\\sys\\t.dat"), clear, c.maximum, kSeed), c.copied);
    for (int i = 0; i < 20; ++i) {
      EXPECT_EQ(plain[i], i < c.copied ? kStream[i] : 0x55) << c.maximum << " @" << i;
      EXPECT_EQ(clear[i], i < c.copied ? 0 : 0x55) << c.maximum << " @" << i;
    }
  }
  uint8_t img[4] = {0xED, 0xE0, 0x54, 0xBE};  // image-seed stream: descrambles to zeros
  DescrambleFixed(img, 4);
  EXPECT_EQ(std::memcmp(img, zeros, 4), 0);
  ScrambleBytes(nullptr, 4, kSeed);
  DescrambleBytes(img, -1, kSeed);
}

TEST_F(FileIoTest, BlockFilesRestartTheStreamPerBlock) {
  uint8_t a[4] = {1, 2, 3, 4};
  uint8_t none[1] = {0x77};
  uint8_t b[3] = {5, 6, 7};
  uint8_t tail[2] = {8, 9};
  SaveBlockList list;
  list.Append(a, 4);
  list.Append(none, 0);
  list.Append(b, 3);
  list.Append(tail, 2);
  EXPECT_EQ(list.TotalSize(), 9);
  ASSERT_EQ(WriteBlockFile(Path("SaveData\\d00\\slg.dat"), &list, kSeed), 4);
  EXPECT_EQ(a[0], 1);
  EXPECT_EQ(b[2], 7) << "blocks in memory stay plain";
  const std::vector<uint8_t> expected = {uint8_t(1 + kStream[0]), uint8_t(2 + kStream[1]), uint8_t(3 + kStream[2]),
                                         uint8_t(4 + kStream[3]), uint8_t(5 + kStream[0]), uint8_t(6 + kStream[1]),
                                         uint8_t(7 + kStream[2]), uint8_t(8 + kStream[0]), uint8_t(9 + kStream[1])};
  EXPECT_EQ(Disk("SaveData/d00/slg.dat"), expected);

  // Read back with a list one block shorter: the last block comes back as the rest.
  uint8_t ra[4] = {}, rnone[1] = {0x66}, rb[3] = {};
  SaveBlockList back;
  back.Append(ra, 4);
  back.Append(rnone, 0);
  back.Append(rb, 3);
  uint8_t* rest = nullptr;
  int32_t restSize = 0;
  ASSERT_EQ(ReadBlockFile(Path("SaveData\\d00\\slg.dat"), &back, kSeed, &rest, &restSize), 3);
  EXPECT_EQ(std::memcmp(ra, a, 4), 0);
  EXPECT_EQ(std::memcmp(rb, b, 3), 0);
  EXPECT_EQ(rnone[0], 0x66);
  ASSERT_EQ(restSize, 2);
  ASSERT_NE(rest, nullptr);
  EXPECT_EQ(rest[0], 8);
  EXPECT_EQ(rest[1], 9);
  FreeFileBuffer(rest);

  // The plain list writer and reader: no scrambling, no rest when the list covers the file.
  ASSERT_EQ(WriteBlockList(Path("Data\\t\\plain.dat"), &list), 4);
  EXPECT_EQ(Disk("Data/t/plain.dat"), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
  uint8_t* noRest = reinterpret_cast<uint8_t*>(0x1);
  int32_t noRestSize = 5;
  EXPECT_EQ(ReadBlockList(Path("Data\\t\\plain.dat"), &list, &noRest, &noRestSize), 4);
  EXPECT_EQ(noRest, nullptr);
  EXPECT_EQ(noRestSize, 0);
}

TEST_F(FileIoTest, ShortBlockFileLeavesLaterBlocksUntouched) {
  // Five bytes on disk: block 1 full, block 2 gets one byte, block 3 nothing.
  uint8_t five[5] = {10, 11, 12, 13, 14};
  ASSERT_TRUE(WriteFileScrambled(Path("Data\\t\\short.dat"), five, 4, kSeed));
  {
    std::vector<uint8_t> disk = Disk("Data/t/short.dat");
    disk.push_back(static_cast<uint8_t>(14 + kStream[0]));  // a fifth byte starting a new stream
    PutDisk("Data/t/short.dat", disk);
  }
  struct {
    bool scrambled;
    int expectedCount;
  } const cases[] = {{true, 2}, {false, 2}};
  for (const auto& c : cases) {
    uint8_t b1[4], b2[4], b3[4];
    std::memset(b1, 0xEE, 4);
    std::memset(b2, 0xEE, 4);
    std::memset(b3, 0xEE, 4);
    SaveBlockList list;
    list.Append(b1, 4);
    list.Append(b2, 4);
    list.Append(b3, 4);
    const int n = c.scrambled ? ReadBlockFile(Path("Data\\t\\short.dat"), &list, kSeed)
                              : ReadBlockList(Path("Data\\t\\short.dat"), &list);
    EXPECT_EQ(n, c.expectedCount);
    if (c.scrambled) {
      EXPECT_EQ(std::memcmp(b1, five, 4), 0);
      EXPECT_EQ(b2[0], 14);
    } else {
      EXPECT_EQ(b1[0], uint8_t(10 + kStream[0]));
      EXPECT_EQ(b2[0], uint8_t(14 + kStream[0]));
    }
    EXPECT_EQ(b2[1], 0xEE);
    EXPECT_EQ(b2[3], 0xEE);
    for (uint8_t v : b3) EXPECT_EQ(v, 0xEE);
  }
  uint8_t x[2] = {0x42, 0x42};
  SaveBlockList missing;
  missing.Append(x, 2);
  EXPECT_EQ(ReadBlockFile(Path("Data\\t\\nothing.dat"), &missing, kSeed), -1);
  EXPECT_EQ(x[0], 0x42);
  EXPECT_EQ(ReadBlockList(Path("Data\\t\\short.dat"), nullptr), -1);
  // A block with a count but no memory: refused as a whole, so no later block gets its bytes.
  uint8_t after[2] = {0x42, 0x42};
  SaveBlockList holed;
  holed.Append(nullptr, 2);
  holed.Append(after, 2);
  EXPECT_EQ(ReadBlockList(Path("Data\\t\\short.dat"), &holed), -1);
  EXPECT_EQ(ReadBlockFile(Path("Data\\t\\short.dat"), &holed, kSeed), -1);
  EXPECT_EQ(after[0], 0x42);
  EXPECT_EQ(WriteBlockFile(Path("w.dat"), &holed, kSeed), -1);
  EXPECT_EQ(WriteBlockFile(Path("w.dat"), nullptr, kSeed), -1);
}

TEST_F(FileIoTest, FileExistsNeedsAReadableFile) {
  PutDisk("Data/marker.bin", {1});
  fs::create_directories(fs::path(host_) / "Folder");
  EXPECT_TRUE(FileExists(Path("Data\\marker.bin").CStr()));
  EXPECT_TRUE(FileExists(Path("data\\MARKER.bin").CStr()));
  EXPECT_FALSE(FileExists(Path("Folder").CStr()));
  EXPECT_FALSE(FileExists(Path("Data\\none.bin").CStr()));
  EXPECT_FALSE(FileExists(nullptr));
  EXPECT_FALSE(FileExists(""));
}

}  // namespace
