// adv.dat: the save point's state round trip, and refusal of damaged files.
#include <gtest/gtest.h>

#include <cstring>

#include "formats/scramble/scramble.h"
#include "formats/script/script_set_layout.h"
#include "scenario_test_support.h"

using namespace v4fmt;
using Bytes = std::vector<uint8_t>;

namespace {

// Block layout of adv.dat, written out from the file's description.
constexpr size_t kBlockSizes[7] = {4, 32772, 524352, 68, 68, 72, 4};
constexpr size_t kAtSet = 0, kAtSwitches = 4, kAtNames = 32776, kAtStack = 557128, kAtSavePoint = 557196,
                 kAtVoice = 557264, kAtStateSize = 557336, kFixed = 557340;

// Each block, and the rest, is scrambled by itself from the seed.
Bytes Descramble(Bytes file) {
  size_t at = 0;
  for (size_t n : kBlockSizes) {
    DescrambleInPlace(&file[at], n, kScriptSeed);
    at += n;
  }
  if (file.size() > at) DescrambleInPlace(&file[at], file.size() - at, kScriptSeed);
  return file;
}
Bytes Scramble(Bytes plain) {
  size_t at = 0;
  for (size_t n : kBlockSizes) {
    if (at + n > plain.size()) n = plain.size() - at;
    ScrambleInPlace(plain.data() + at, n, kScriptSeed);
    at += n;
    if (at >= plain.size()) return plain;
  }
  if (plain.size() > at) ScrambleInPlace(plain.data() + at, plain.size() - at, kScriptSeed);
  return plain;
}

class FakeScene : public AdvScenePort {
 public:
  bool SaveWindowState(std::vector<uint8_t>& out) override {
    out = state;
    return true;
  }
  Bytes state;
};

const char* const kTwoMessages =
    "$a@3 = 1\n"
    "*s\n"
    ">> x\none\n<<\n"
    ">> x\ntwo\n<<\n"
    "#Gosub *sub\n"
    "#End\n"
    "*sub\n"
    "#SubEnd\n";

class AdvData : public ScriptStateTest {
 protected:
  void SetUp() override {
    ScriptStateTest::SetUp();
    set_ = WriteSet(0, "Data/script/main", kTwoMessages);
    ASSERT_TRUE(script_->LoadScriptFiles(0));
    path_ = ProgramPath("SaveData/d01/adv.dat");
  }
  v4fmt::CompiledScriptSet set_;
  std::string path_;
};

TEST_F(AdvData, ResumesAtTheSavePointWithItsSwitchesVoiceAndCallStack) {
  // Reach message 2's #TalkStart with a pending voice, then go on past it.
  script_->switches[3] = 11;
  std::strcpy(script_->pendingVoice.fileName, "Data\\voice\\a.voi");
  script_->pendingVoice.number = 4;
  script_->pendingVoice.param = -2;
  script_->MarkSavePoint(2);
  script_->switches[3] = 99;               // changed after the save point
  ASSERT_TRUE(script_->ScriptGosub(500));  // a call after the save point
  script_->pendingVoice = AdvVoiceRecord{};
  FakeScene scene;
  scene.state = {1, 2, 3, 4, 5};
  script_->SetScene(&scene);
  ASSERT_TRUE(script_->SaveAdvData(path_.c_str()));
  EXPECT_EQ(ReadHostFile("SaveData/d01/adv.dat").size(), kFixed + 5);

  script_->SetScene(nullptr);
  script_->pc = 1234;
  script_->switches[3] = -5;
  script_->AddBacklogEntry("a", "b", "", 0, 0);
  ASSERT_TRUE(script_->LoadAdvData(path_.c_str()));
  EXPECT_EQ(script_->pc, set_.messageOffsets.at(2));
  EXPECT_EQ(script_->bytecode[script_->pc], kOpTalkStart);
  EXPECT_EQ(script_->switches[3], 11);
  EXPECT_EQ(script_->savePointSwitches[3], 11);
  EXPECT_EQ(script_->callDepth, 0u);  // the stack of the save point, not the live one
  EXPECT_EQ(script_->voicePending, 1);
  EXPECT_STREQ(script_->pendingVoice.fileName, "Data\\voice\\a.voi");
  EXPECT_EQ(script_->pendingVoice.number, 4);
  EXPECT_EQ(script_->pendingVoice.param, -2);
  EXPECT_EQ(script_->GetBacklogCount(), 0u);
  EXPECT_EQ(script_->SwitchName(3), "a");
  Bytes state;
  ASSERT_TRUE(script_->TakePendingWindowState(state));
  EXPECT_EQ(state, (Bytes{1, 2, 3, 4, 5}));
  EXPECT_FALSE(script_->HasPendingWindowState());
}

TEST_F(AdvData, SaveInsideASubroutineKeepsItsReturnPosition) {
  // A return position inside the set (one past it is refused on load).
  const uint32_t ret = script_->bytecodeSize - 1;
  ASSERT_GT(ret, 0u);
  ASSERT_TRUE(script_->ScriptGosub(ret));
  script_->MarkSavePoint(1);
  ASSERT_TRUE(script_->SaveAdvData(path_.c_str()));
  script_->ScriptReturn();
  ASSERT_TRUE(script_->LoadAdvData(path_.c_str()));
  EXPECT_EQ(script_->callDepth, 1u);
  EXPECT_EQ(script_->ScriptReturn(), static_cast<int64_t>(ret));
}

TEST_F(AdvData, ASmallerSaveOverALargerOneHandsOnExactlyItsState) {
  FakeScene scene;
  script_->SetScene(&scene);
  scene.state.assign(5000, 0xAB);
  script_->MarkSavePoint(1);
  ASSERT_TRUE(script_->SaveAdvData(path_.c_str()));
  scene.state = {9, 9, 9};
  ASSERT_TRUE(script_->SaveAdvData(path_.c_str()));
  script_->SetScene(nullptr);
  ASSERT_TRUE(script_->LoadAdvData(path_.c_str()));
  Bytes state;
  ASSERT_TRUE(script_->TakePendingWindowState(state));
  EXPECT_EQ(state, (Bytes{9, 9, 9}));
  // Without a scene there is no window state at all.
  ASSERT_TRUE(script_->SaveAdvData(path_.c_str()));
  ASSERT_TRUE(script_->LoadAdvData(path_.c_str()));
  EXPECT_FALSE(script_->HasPendingWindowState());
}

TEST_F(AdvData, ASaveOfTheOtherSetLoadsThatSet) {
  v4fmt::CompiledScriptSet tut = WriteSet(1, "Data/script/tut", "*t\n>> g\nx\n<<\n>> g\ny\n<<\n#End\n");
  ASSERT_TRUE(script_->LoadScriptFiles(1));
  script_->MarkSavePoint(2);
  ASSERT_TRUE(script_->SaveAdvData(path_.c_str()));
  ASSERT_TRUE(script_->LoadScriptFiles(0));
  ASSERT_TRUE(script_->LoadAdvData(path_.c_str()));
  EXPECT_EQ(script_->setNumber, 1);
  EXPECT_STREQ(script_->baseName, "Data\\script\\tut");
  EXPECT_EQ(script_->pc, tut.messageOffsets.at(2));
}

// The resume offset is checked in the saved set's own message table before that set replaces the
// loaded one: a refused file leaves the game's set as it was.
TEST_F(AdvData, ASaveOfTheOtherSetWithABadResumeOffsetKeepsTheLoadedSet) {
  WriteSet(1, "Data/script/tut", "*t\n>> g\nx\n<<\n>> g\ny\n<<\n#End\n");
  ASSERT_TRUE(script_->LoadScriptFiles(1));
  script_->MarkSavePoint(2);
  ASSERT_TRUE(script_->SaveAdvData(path_.c_str()));
  // Message 2 of the tutorial now points past the code area.
  Bytes table = ReadHostFile("Data/script/tut.tko");
  ASSERT_GE(table.size(), 12u);
  DescrambleInPlace(table.data(), table.size(), kScriptSeed);
  const uint8_t far[4] = {0xF0, 0xFF, 0xFF, 0xFF};
  std::memcpy(&table[8], far, 4);
  ScrambleInPlace(table.data(), table.size(), kScriptSeed);
  WriteHostFile("Data/script/tut.tko", table);

  ASSERT_TRUE(script_->LoadScriptFiles(0));
  script_->switches[3] = 55;
  const uint32_t pc = script_->pc;
  EXPECT_FALSE(script_->LoadAdvData(path_.c_str()));
  EXPECT_EQ(script_->setNumber, 0);
  EXPECT_EQ(script_->loaded, 1u);
  EXPECT_STREQ(script_->baseName, "Data\\script\\main");
  EXPECT_EQ(script_->switches[3], 55);
  EXPECT_EQ(script_->pc, pc);
}

TEST_F(AdvData, ASaveMadeBeforeAnySetWasLoadedLoadsWithNoSet) {
  // The strategy game started from the title runs without a script set; its saves say set -1.
  {
    AdvScript none;
    ASSERT_EQ(none.setNumber, -1);
    ASSERT_TRUE(none.SaveAdvData(path_.c_str()));
  }
  script_->SetMessageRead(2);
  script_->AddBacklogEntry("a", "b", "", 0, 0);
  ASSERT_TRUE(script_->LoadAdvData(path_.c_str()));
  EXPECT_EQ(script_->loaded, 0u);
  EXPECT_EQ(script_->setNumber, -1);
  EXPECT_EQ(script_->GetBacklogCount(), 0u);
  EXPECT_FALSE(script_->HasPendingWindowState());
  // The set that was left wrote its read messages, as any change of set does.
  Bytes flags = ReadHostFile("SaveData/sys/tksw00.dat");
  ASSERT_EQ(flags.size(), 160000u);
  EXPECT_EQ(flags[2], 1);
  // A save of the story still loads its set again afterwards.
  ASSERT_TRUE(script_->LoadScriptFiles(0));
  script_->MarkSavePoint(1);
  ASSERT_TRUE(script_->SaveAdvData(path_.c_str()));
  AdvScript fresh;
  ASSERT_TRUE(fresh.LoadAdvData(path_.c_str()));
  EXPECT_EQ(fresh.setNumber, 0);
  EXPECT_EQ(fresh.pc, set_.messageOffsets.at(1));
}

struct Damage {
  const char* what;
  size_t at;         // offset in the descrambled file, or SIZE_MAX to cut the file
  Bytes bytes;       // written there
  size_t cutTo = 0;  // new size when cutting
};

TEST_F(AdvData, DamagedFilesAreRefusedAndChangeNothing) {
  FakeScene scene;
  scene.state = {7, 7, 7, 7};
  script_->SetScene(&scene);
  script_->MarkSavePoint(1);
  ASSERT_TRUE(script_->SaveAdvData(path_.c_str()));
  script_->SetScene(nullptr);
  const Bytes good = Descramble(ReadHostFile("SaveData/d01/adv.dat"));
  ASSERT_EQ(good.size(), kFixed + 4);

  const Damage cases[] = {
      {"truncated in the fixed part", SIZE_MAX, {}, kFixed - 1},
      {"truncated to nothing", SIZE_MAX, {}, 0},
      {"set number 7", kAtSet, {7, 0, 0, 0}},
      {"set number 2", kAtSet, {2, 0, 0, 0}},
      {"set number -2", kAtSet, {0xFE, 0xFF, 0xFF, 0xFF}},
      {"call depth 99", kAtStack, {99, 0, 0, 0}},
      {"call depth 17", kAtStack, {17, 0, 0, 0}},
      {"return position past the area", kAtStack, {1, 0, 0, 0, 0x00, 0x24, 0xF4, 0x00}},  // 16,000,000
      {"return position past the set", kAtStack, {1, 0, 0, 0, 0x40, 0x42, 0x0F, 0x00}},   // 1,000,000
      {"message 200000", kAtSavePoint, {0x40, 0x0D, 0x03, 0x00}},
      {"message 160000", kAtSavePoint, {0x00, 0x71, 0x02, 0x00}},
      {"voice name without NUL", kAtVoice, Bytes(64, 'v')},
      {"window state longer than the file", kAtStateSize, {5, 0, 0, 0}},
      {"window state of 1e9 bytes", kAtStateSize, {0x00, 0xCA, 0x9A, 0x3B}},
      {"bytes appended after the window state", SIZE_MAX, {}, kFixed + 4 + 16},
  };
  for (const Damage& d : cases) {
    Bytes plain = good;
    if (d.at == SIZE_MAX) {
      plain.resize(d.cutTo);
    } else {
      std::memcpy(&plain[d.at], d.bytes.data(), d.bytes.size());
    }
    WriteHostFile("SaveData/d01/bad.dat", Scramble(plain));
    script_->pc = 4321;
    script_->switches[3] = 55;
    script_->callDepth = 2;
    script_->AddBacklogEntry("k", "keep", "", 0, 0);
    uint32_t backlog = script_->GetBacklogCount();
    EXPECT_FALSE(script_->LoadAdvData(ProgramPath("SaveData/d01/bad.dat").c_str())) << d.what;
    EXPECT_EQ(script_->pc, 4321u) << d.what;
    EXPECT_EQ(script_->switches[3], 55) << d.what;
    EXPECT_EQ(script_->callDepth, 2u) << d.what;
    EXPECT_EQ(script_->setNumber, 0) << d.what;
    EXPECT_EQ(script_->GetBacklogCount(), backlog) << d.what;
    EXPECT_FALSE(script_->HasPendingWindowState()) << d.what;
  }
  // The untouched file still loads, and a missing one is refused.
  WriteHostFile("SaveData/d01/bad.dat", Scramble(good));
  EXPECT_TRUE(script_->LoadAdvData(ProgramPath("SaveData/d01/bad.dat").c_str()));
  EXPECT_FALSE(script_->LoadAdvData(ProgramPath("SaveData/d01/none.dat").c_str()));
}

}  // namespace
