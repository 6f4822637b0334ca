// Settings, play record, system tables, extras tables and the start-up routine.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "core/game_file.h"
#include "save/omake_tables.h"
#include "save/system_files.h"
#include "sound/sound.h"
#include "platform/fs/fs.h"
#include "platform/text/log.h"
#include "scenario/script/adv_script.h"
#include "save_fixture.h"
#include "tests/support/log_lines.h"
#include "world/world_queries.h"

namespace {

std::vector<uint8_t> Descrambled(std::vector<uint8_t> bytes) {
  DescrambleBytes(bytes.data(), static_cast<int32_t>(bytes.size()), kSaveSeed);
  return bytes;
}
std::vector<uint8_t> Scrambled(std::vector<uint8_t> bytes) {
  ScrambleBytes(bytes.data(), static_cast<int32_t>(bytes.size()), kSaveSeed);
  return bytes;
}
uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
std::vector<uint8_t> SysBytes(const uint32_t (&words)[kSysConfigWords]) {
  std::vector<uint8_t> out(kSysConfigBytes);
  for (int i = 0; i < kSysConfigWords; ++i)
    for (int b = 0; b < 4; ++b) out[i * 4 + b] = static_cast<uint8_t>(words[i] >> (8 * b));
  return out;
}

std::vector<uint8_t> PlcBytesOf(const PlcData& plc) {
  static uint8_t bytes[kPlcBytes];
  PlcToBytes(plc, bytes);
  return {bytes, bytes + kPlcBytes};
}

// The defaults as the settings table lists them (word 27 is kept, 0 in a fresh state).
constexpr uint32_t kDefaults[kSysConfigWords] = {4, 4, 7, 1, 1, 0, 1, 1, 4, 1, 4, 1, 1, 4,
                                                 1, 4, 1, 4, 0, 1, 4, 0, 1, 0, 0, 0, 0, 0};

using SystemFilesTest = SaveTest;

TEST_F(SystemFilesTest, FirstStartCreatesDefaultFilesAndTheNextStartReadsThem) {
  SysConfigBlock[27] = 0;
  LoadSystemData();
  ASSERT_EQ(HostSize("SaveData/sys/sys.dat"), 112);
  ASSERT_EQ(HostSize("SaveData/sys/plc.dat"), 306455);
  std::vector<uint8_t> sys = Descrambled(ReadHost("SaveData/sys/sys.dat"));
  for (int i = 0; i < kSysConfigWords; ++i) {
    EXPECT_EQ(Le32(sys, i * 4), kDefaults[i]) << "word " << i;
    EXPECT_EQ(SysConfigBlock[i], kDefaults[i]) << "word " << i;
  }
  std::vector<uint8_t> plc = Descrambled(ReadHost("SaveData/sys/plc.dat"));
  EXPECT_EQ(plc[0], 255);
  EXPECT_EQ(plc[1], 255);
  EXPECT_EQ(plc[2], 255);
  EXPECT_EQ(Le32(plc, 3), 1u);
  for (size_t i = 7; i < 6151; ++i) ASSERT_EQ(plc[i], 0) << i;
  for (int r = 0; r < kGalleryRecords; ++r) {
    EXPECT_EQ(plc[6151 + r * 2002], 0xFF);
    EXPECT_EQ(plc[6152 + r * 2002], 0xFF);
  }
  EXPECT_EQ(PlayRecordBlock.startCounter, 1);  // in memory; written at shutdown

  PlayRecordBlock.sceneSeen[12] = 1;
  SysConfigBlock[kCfgTextSpeed] = 9;
  SaveSysData();
  SaveSystemFiles();
  ClearPlayRecord();
  SetDefaultSysConfig();
  LoadSystemData();
  EXPECT_EQ(PlayRecordBlock.startCounter, 2);
  EXPECT_EQ(PlayRecordBlock.sceneSeen[12], 1);
  EXPECT_EQ(SysConfigBlock[kCfgTextSpeed], 9u);
}

TEST_F(SystemFilesTest, StartCounterSaturates) {
  struct Case {
    uint16_t stored, expected;
  } cases[] = {{0, 1}, {65534, 65535}, {65535, 65535}};
  for (const Case& c : cases) {
    ClearPlayRecord();
    PlayRecordBlock.startCounter = c.stored;
    ASSERT_TRUE(SavePlcData());
    LoadSystemData();
    EXPECT_EQ(PlayRecordBlock.startCounter, c.expected) << c.stored;
  }
}

TEST_F(SystemFilesTest, SettingsOutOfRangeTakeTheirDefaultsAndSpareWordsAreKept) {
  uint32_t words[kSysConfigWords];
  struct Case {
    int word;
    uint32_t stored, expected;
  } cases[] = {
      {kCfgTextSpeed, 9, 9},         {kCfgTextSpeed, 10, 4},     {kCfgAutoSpeed, 0xFFFFFFFF, 4},
      {kCfgWindowOpacity, 0, 0},     {kCfgAdvMusicLevel, 50, 4}, {kCfgSlgVoiceLevel, 9, 9},
      {kCfgWindowMode, 2, 0},        {kCfgWindowMode, 1, 1},     {kCfgBattleStart, 2, 2},
      {kCfgBattleStart, 3, 0},       {kCfgSkipMode, 7, 0},       {kCfgAdvMusicOn, 0, 0},
      {kCfgSpare27, 123456, 123456}, {kCfgSlgSpare, 77, 77},     {kCfgSpare22, 0xFFFFFFFF, 0xFFFFFFFF},
  };
  // Each case alone.
  for (const Case& c : cases) {
    std::memcpy(words, kDefaults, sizeof words);
    words[c.word] = c.stored;
    WriteHost("SaveData/sys/sys.dat", Scrambled(SysBytes(words)));
    LoadSystemData();
    EXPECT_EQ(SysConfigBlock[c.word], c.expected) << "word " << c.word << " stored " << c.stored;
  }
}

TEST_F(SystemFilesTest, ShortOrLongSystemFilesLoadWhatTheyHold) {
  uint32_t words[kSysConfigWords];
  std::memcpy(words, kDefaults, sizeof words);
  words[kCfgTextSpeed] = 9;
  words[kCfgSlgVoiceLevel] = 7;
  struct Case {
    size_t sysSize;
    uint32_t textSpeed, voiceLevel;
    size_t plcSize;
    uint8_t lastSlot;
    uint32_t options;
  } cases[] = {
      {0, 4, 4, 0, 255, 1},          // empty files: defaults
      {40, 9, 4, 3, 5, 1},           // cut: what is there, defaults after
      {112, 9, 7, 7, 5, 0x44},       // whole
      {200, 9, 7, 400000, 5, 0x44},  // longer: the rest is ignored
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> sys = SysBytes(words);
    sys.resize(c.sysSize, 0xEE);
    WriteHost("SaveData/sys/sys.dat", Scrambled(sys));
    std::vector<uint8_t> plc(kPlcBytes, 0);
    plc[0] = 5;
    plc[3] = 0x44;
    plc.resize(c.plcSize, 0xEE);
    WriteHost("SaveData/sys/plc.dat", Scrambled(plc));
    LoadSystemData();
    EXPECT_EQ(SysConfigBlock[kCfgTextSpeed], c.textSpeed) << c.sysSize;
    EXPECT_EQ(SysConfigBlock[kCfgSlgVoiceLevel], c.voiceLevel) << c.sysSize;
    EXPECT_EQ(PlayRecordBlock.lastSlot, c.lastSlot) << c.plcSize;
    EXPECT_EQ(PlayRecordBlock.optionFlags, c.options) << c.plcSize;
    EXPECT_EQ(PlayRecordBlock.gallery[0].general, c.plcSize >= kPlcBytes ? 0 : kGalleryFree) << c.plcSize;
  }
}

TEST_F(SystemFilesTest, PlayRecordSlotIndexesOutOfRangeReadAsNone) {
  struct Case {
    uint8_t slot, autoIndex, quick;
    uint8_t expSlot, expAuto, expQuick;
  } cases[] = {{0, 0, 0, 0, 0, 0}, {99, 9, 9, 99, 9, 9}, {100, 10, 10, 255, 255, 255}, {254, 200, 11, 255, 255, 255}};
  for (const Case& c : cases) {
    std::vector<uint8_t> plc(kPlcBytes, 0);
    plc[0] = c.slot;
    plc[1] = c.autoIndex;
    plc[2] = c.quick;
    plc[3] = 0x78;  // option flags, unaligned little-endian
    plc[4] = 0x56;
    plc[5] = 0x34;
    plc[6] = 0x12;
    WriteHost("SaveData/sys/plc.dat", Scrambled(plc));
    LoadSystemData();
    EXPECT_EQ(PlayRecordBlock.lastSlot, c.expSlot);
    EXPECT_EQ(PlayRecordBlock.lastAuto, c.expAuto);
    EXPECT_EQ(PlayRecordBlock.lastQuick, c.expQuick);
    EXPECT_EQ(PlayRecordBlock.optionFlags, 0x12345678u);
  }
}

TEST_F(SystemFilesTest, PlayRecordBytesRoundTripAtTheirOffsets) {
  ClearPlayRecord();
  PlayRecordBlock.lastSlot = 42;
  PlayRecordBlock.optionFlags = 0x80000019u;
  SetPlcWord(2, 0xA1B2C3D4u);
  PlayRecordBlock.eventFlags[2047] = 5;
  PlayRecordBlock.sceneSeen[3839] = 1;
  PlayRecordBlock.gallery[149].general = 1999;
  PlayRecordBlock.gallery[149].seen[9][199] = 1;
  PlayRecordBlock.startCounter = 0x0102;
  PlayRecordBlock.clearCount = 0x0304;
  ASSERT_TRUE(SavePlcData());
  std::vector<uint8_t> plc = Descrambled(ReadHost("SaveData/sys/plc.dat"));
  ASSERT_EQ(plc.size(), 306455u);
  EXPECT_EQ(plc[0], 42);
  EXPECT_EQ(Le32(plc, 3), 0x80000019u);
  EXPECT_EQ(Le32(plc, 7 + 8), 0xA1B2C3D4u);
  EXPECT_EQ(plc[263 + 2047], 5);
  EXPECT_EQ(plc[2311 + 3839], 1);
  EXPECT_EQ(plc[6151 + 149 * 2002], 0xCF);  // 1999
  EXPECT_EQ(plc[6151 + 149 * 2002 + 1], 0x07);
  EXPECT_EQ(plc[6151 + 149 * 2002 + 2 + 9 * 200 + 199], 1);
  EXPECT_EQ(plc[306451], 0x02);
  EXPECT_EQ(plc[306452], 0x01);
  EXPECT_EQ(plc[306453], 0x04);
  EXPECT_EQ(plc[306454], 0x03);
}

TEST_F(SystemFilesTest, ParameterTableTakesSystemDatWordsOrKeepsDefaults) {
  std::vector<uint8_t> sys(184, 0);
  for (int w = 13; w <= 24; ++w) sys[w * 4] = static_cast<uint8_t>(w);  // word w := w
  WriteHost("Data/sys/system.dat", sys);
  std::vector<uint8_t> basic(80);
  for (size_t i = 0; i < basic.size(); ++i) basic[i] = static_cast<uint8_t>(i + 1);
  WriteHost("Data/sys/basic.dat", basic);
  LoadSystemTables();
  const int targets[12] = {26, 29, 31, 34, 33, 27, 6, 9, 11, 14, 13, 7};
  int32_t expected[36];
  for (int i = 0; i < 36; ++i) expected[i] = (i < 16 || i >= 20) ? 100 : 0;
  for (int i = 0; i < 12; ++i) expected[targets[i]] = 13 + i;
  for (int i = 0; i < 36; ++i) EXPECT_EQ(SystemParamTable[i], expected[i]) << "word " << i;
  EXPECT_EQ(std::memcmp(BasicDataBlock, basic.data(), 80), 0);
  EXPECT_EQ(SystemTableWord(13 * 4), 13);  // the world reads the same table

  // Without system.dat the copied words keep 100.
  std::filesystem::remove(HostPath("Data/sys/system.dat"));
  plat::InvalidateDirectoryCache();
  LoadSystemTables();
  for (int i = 0; i < 36; ++i) EXPECT_EQ(SystemParamTable[i], (i < 16 || i >= 20) ? 100 : 0) << "word " << i;
}

TEST_F(SystemFilesTest, SoundSetsDriveTheChannels) {
  LoadSystemData();
  const int32_t table[10] = {0, 7600, 7900, 8200, 8500, 8800, 9100, 9400, 9700, 10000};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(SoundVolumeTable[i], table[i]);
  SysConfigBlock[kCfgAdvMusicOn] = 1;
  SysConfigBlock[kCfgAdvMusicLevel] = 9;
  SysConfigBlock[kCfgAdvEffectsOn] = 0;
  SysConfigBlock[kCfgAdvVoiceOn] = 1;
  SysConfigBlock[kCfgAdvVoiceLevel] = 0;
  SysConfigBlock[kCfgSlgMusicOn] = 1;
  SysConfigBlock[kCfgSlgMusicLevel] = 2;
  SysConfigBlock[kCfgSlgEffectsOn] = 1;
  SysConfigBlock[kCfgSlgEffectsLevel] = 5;
  SysConfigBlock[kCfgSlgVoiceOn] = 0;
  ApplySoundConfig();
  EXPECT_EQ(ChannelActiveFlags[0], 10000);
  for (int ch = 3; ch < 7; ++ch) EXPECT_EQ(ChannelActiveFlags[ch], 0) << ch;
  EXPECT_EQ(ChannelActiveFlags[2], 1);  // level 0: on but inaudible
  ApplySlgSoundConfig();
  EXPECT_EQ(ChannelActiveFlags[0], 7900);
  for (int ch = 3; ch < 7; ++ch) EXPECT_EQ(ChannelActiveFlags[ch], 8800) << ch;
  EXPECT_EQ(ChannelActiveFlags[2], 0);
  EXPECT_FALSE(GetSoundSettings().voicesOn);
}

class OmakeTableTest : public SaveTest {
 protected:
  void SetUp() override {
    SaveTest::SetUp();
    std::memset(OmakeEventTable, 0, sizeof OmakeEventTable);
  }
  static void Put(size_t index, uint16_t scene, const char* label) {
    ASSERT_TRUE(PutOmakeEventRecord(OmakeEventTable + index * kOmakeEventRecordBytes, scene, label));
  }
};

TEST_F(OmakeTableTest, FindSceneByLabel) {
  Put(0, 11, "");
  Put(1, 12, "alpha");
  Put(2, 13, "beta");
  Put(3, 14, "alpha");
  Put(4, 15, "alphabet");
  // A label that fills all 76 bytes of its field with no terminator.
  uint8_t* full = OmakeEventTable + 5 * kOmakeEventRecordBytes;
  full[0] = 16;
  std::memset(full + 2, 'x', kOmakeEventLabelBytes);
  std::memset(OmakeEventTable + 6 * kOmakeEventRecordBytes, 'y', kOmakeEventRecordBytes);  // next record
  const std::string x76(kOmakeEventLabelBytes, 'x');
  const std::string x77(kOmakeEventLabelBytes + 1, 'x');
  struct Case {
    const char* name;
    bool found;
    int32_t scene;
  } cases[] = {
      {nullptr, false, -1}, {"", false, -1},         {"alpha", true, 12},
      {"beta", true, 13},   {"alphabet", true, 15},  {"alph", false, -1},
      {"gamma", false, -1}, {x76.c_str(), true, 16}, {x77.c_str(), false, -1},
  };
  for (const Case& c : cases) {
    int32_t scene = -1;
    EXPECT_EQ(FindOmakeSceneByLabel(c.name, &scene), c.found) << (c.name ? c.name : "(null)");
    EXPECT_EQ(scene, c.scene) << (c.name ? c.name : "(null)");
  }
  EXPECT_TRUE(FindOmakeSceneByLabel("beta", nullptr));
}

TEST_F(OmakeTableTest, TablesLoadAsFarAsTheirFilesReach) {
  std::memset(OmakeCgTable, 0xEE, sizeof OmakeCgTable);
  std::memset(OmakeBgmTable, 0xEE, sizeof OmakeBgmTable);
  std::vector<uint8_t> ev(kOmakeEventRecordBytes * 2);
  ASSERT_TRUE(PutOmakeEventRecord(ev.data(), 7, "scene_a"));
  ASSERT_TRUE(PutOmakeEventRecord(ev.data() + kOmakeEventRecordBytes, 8, "scene_b"));
  WriteHost("Data/sys/ev.bin", ev);
  WriteHost("Data/sys/bgm.bin", std::vector<uint8_t>(kOmakeBgmRecords * kOmakeBgmRecordBytes + 100, 0x33));
  LoadOmakeTables();
  int32_t scene = -1;
  EXPECT_TRUE(FindOmakeSceneByLabel("scene_b", &scene));
  EXPECT_EQ(scene, 8);
  for (uint8_t b : OmakeCgTable) ASSERT_EQ(b, 0);      // missing file: cleared
  for (uint8_t b : OmakeBgmTable) ASSERT_EQ(b, 0x33);  // longer file: cut at the table's size
}

// Damaged tables are logged once each with the reason; the whole records before a cut still load.
TEST_F(OmakeTableTest, DamagedTablesAreLoggedOncePerFileWithTheReason) {
  std::vector<uint8_t> cg(kOmakeCgRecordBytes * 3 / 2, 0x44);
  WriteHost("Data/sys/cg.bin", cg);
  WriteHost("Data/sys/ev.bin", {});
  std::filesystem::create_directories(HostPath("Data/sys/bgm.bin"));
  plat::SetLogEnabled(true);
  testing::internal::CaptureStderr();
  LoadOmakeTables();
  LoadOmakeTables();
  const std::string log = testing::internal::GetCapturedStderr();
  plat::SetLogEnabled(std::getenv("V4_TEST_LOG") != nullptr);
  const struct {
    const char* file;
    const char* reason;
  } cases[] = {
      {"cg.bin", "ends inside record 1"},
      {"ev.bin", "is empty"},
      {"bgm.bin", "cannot be read"},
  };
  for (const auto& c : cases) {
    const std::string path = std::string(GetModuleDir()) + "Data\\sys\\" + c.file;
    const std::vector<std::string> lines = v4test::LogLinesNaming(log, path);
    ASSERT_EQ(lines.size(), 1u) << c.file << "\n" << log;
    EXPECT_NE(lines[0].find(c.reason), std::string::npos) << lines[0];
  }
  EXPECT_TRUE(v4test::LogLinesNaming(log, "sf.bin").empty()) << "a missing table is not damage";
  for (size_t i = 0; i < kOmakeCgRecordBytes; ++i) ASSERT_EQ(OmakeCgTable[i], 0x44);
  for (size_t i = kOmakeCgRecordBytes; i < sizeof OmakeCgTable; ++i) ASSERT_EQ(OmakeCgTable[i], 0);
}

TEST_F(OmakeTableTest, UnlockSceneByLabelMarksSeenAndIgnoresScenesPastTheTable) {
  int32_t one = GetAdvScript().FindLabelByName("extra_one");
  int32_t two = GetAdvScript().FindLabelByName("extra_two");
  int32_t start = GetAdvScript().FindLabelByName("start");
  ASSERT_GE(one, 0);
  ASSERT_GE(two, 0);
  ASSERT_GE(start, 0);
  Put(0, 3839, "extra_one");
  Put(1, 3840, "extra_two");  // past the seen table
  Put(2, 65535, "start");
  ClearPlayRecord();
  PlcData before = PlayRecordBlock;
  UnlockOmakeSceneByLabel(two);
  UnlockOmakeSceneByLabel(start);
  UnlockOmakeSceneByLabel(-1);
  UnlockOmakeSceneByLabel(3840);
  EXPECT_EQ(PlcBytesOf(before), PlcBytesOf(PlayRecordBlock));
  UnlockOmakeSceneByLabel(one);
  EXPECT_EQ(PlayRecordBlock.sceneSeen[3839], 1);
}

TEST_F(SystemFilesTest, GalleryUnlocksStayInBounds) {
  ClearPlayRecord();
  UnlockGalleryCategory(5, 2);
  EXPECT_TRUE(IsGalleryItemSeen(5, 2, 0));
  EXPECT_TRUE(IsGalleryItemSeen(5, 2, 199));
  EXPECT_FALSE(IsGalleryItemSeen(5, 3, 0));
  EXPECT_FALSE(IsGalleryItemSeen(5, 2, 200));
  EXPECT_FALSE(IsGalleryItemSeen(5, 2, -1));
  EXPECT_FALSE(IsGalleryItemSeen(6, 2, 0));
  UnlockGalleryCategory(5, 9);  // same general: same record
  EXPECT_EQ(PlayRecordBlock.gallery[0].general, 5);
  EXPECT_EQ(PlayRecordBlock.gallery[1].general, kGalleryFree);
  EXPECT_TRUE(IsGalleryItemSeen(5, 9, 100));

  PlcData before = PlayRecordBlock;
  for (auto [general, category] : {std::pair{2000, 0}, {-1, 0}, {5, 10}, {5, -1}}) {
    UnlockGalleryCategory(general, category);
  }
  EXPECT_EQ(PlcBytesOf(before), PlcBytesOf(PlayRecordBlock));

  // Fill every record, then one more general: nothing changes, plc.dat is still written.
  for (int g = 100; g < 100 + kGalleryRecords - 1; ++g) UnlockGalleryCategory(g, 0);
  EXPECT_EQ(PlayRecordBlock.gallery[kGalleryRecords - 1].general, 100 + kGalleryRecords - 2);
  std::filesystem::remove(HostPath("SaveData/sys/plc.dat"));
  plat::InvalidateDirectoryCache();
  before = PlayRecordBlock;
  UnlockGalleryCategory(1999, 4);
  EXPECT_EQ(PlcBytesOf(before), PlcBytesOf(PlayRecordBlock));
  EXPECT_FALSE(IsGalleryItemSeen(1999, 4, 0));
  EXPECT_EQ(HostSize("SaveData/sys/plc.dat"), 306455);
}

}  // namespace
