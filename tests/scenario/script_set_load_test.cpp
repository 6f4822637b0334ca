// Loading script sets into the script state from a temporary module folder, the read-message
// files, and the start-up signature check.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "formats/scramble/scramble.h"
#include "formats/script/script_asm.h"
#include "formats/script/script_set_layout.h"
#include "scenario_test_support.h"

using namespace v4fmt;

namespace {

using ScriptSetLoad = ScriptStateTest;

TEST_F(ScriptSetLoad, EveryAreaHoldsItsFile) {
  CompiledScriptSet set = WriteSet(0, "Data/script/tiny", kTinySetSource);
  ASSERT_TRUE(script_->LoadScriptFiles(0));
  EXPECT_EQ(script_->loaded, 1u);
  EXPECT_EQ(script_->setNumber, 0);
  EXPECT_STREQ(script_->baseName, "Data\\script\\tiny");
  EXPECT_EQ(script_->bytecodeSize, set.bytecode.size());
  EXPECT_EQ(std::memcmp(script_->bytecode.data(), set.bytecode.data(), set.bytecode.size()), 0);
  EXPECT_EQ(script_->bytecode[set.bytecode.size()], 0);  // the rest of the area stays zero
  EXPECT_EQ(script_->switches[7], 42);
  EXPECT_EQ(script_->watchSnapshot[7], 42);
  EXPECT_EQ(script_->SwitchName(7), "hp");
  EXPECT_EQ(script_->SwitchName(1), "flag");
  EXPECT_EQ(script_->labelOffsets[0], 0u);
  EXPECT_EQ(script_->labelOffsets[1], set.labelOffsets[1]);
  EXPECT_EQ(script_->LabelName(2), "evlabel");
  EXPECT_EQ(script_->messageOffsets[1], set.messageOffsets.at(1));
  EXPECT_EQ(script_->bytecode[script_->messageOffsets[1]], kOpTalkStart);
  EXPECT_EQ(script_->SourceFileName(0), "test.v4s");
  EXPECT_EQ(script_->EventOffset(5), set.labelOffsets[2]);
  EXPECT_EQ(script_->EventOffset(4), kNoEvent);
  EXPECT_EQ(std::memcmp(script_->blHeader, kScriptSignature.data(), kSignatureSize), 0);
  EXPECT_EQ(script_->pc, 0u);
  // The read-message file is created zeroed on first load.
  EXPECT_EQ(ReadHostFile("SaveData/sys/tksw00.dat"), std::vector<uint8_t>(kReadMessageFileSize, 0));
}

TEST_F(ScriptSetLoad, ShortFileFillsTheStartAndMissingFilesLeaveZeros) {
  WriteSet(0, "Data/script/tiny", kTinySetSource);
  // .sw holding only switches 0 and 1; .swn removed.
  std::vector<uint8_t> sw = {5, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF};
  ScrambleInPlace(sw.data(), sw.size(), kScriptSeed);
  WriteHostFile("Data/script/tiny.sw", sw);
  std::remove(HostPath("Data/script/tiny.swn").c_str());
  ASSERT_TRUE(script_->LoadScriptFiles(0));
  EXPECT_EQ(script_->switches[0], 5);
  EXPECT_EQ(script_->switches[1], -2);
  EXPECT_EQ(script_->switches[7], 0);
  EXPECT_EQ(script_->SwitchName(7), "");
  EXPECT_EQ(script_->loaded, 1u);
}

TEST_F(ScriptSetLoad, RefusedSetsChangeNothingAndAMissingNameFileLeavesNoSet) {
  WriteSet(0, "Data/script/tiny", kTinySetSource);
  ASSERT_TRUE(script_->LoadScriptFiles(0));
  script_->switches[7] = 99;
  for (int bad : {2, -1, 7}) {
    EXPECT_FALSE(script_->LoadScriptFiles(bad)) << bad;
    EXPECT_EQ(script_->setNumber, 0);
    EXPECT_EQ(script_->loaded, 1u);
    EXPECT_EQ(script_->switches[7], 99);
  }
  // Set 1 has no set-name file here.
  EXPECT_FALSE(script_->LoadScriptFiles(1));
  EXPECT_EQ(script_->setNumber, -1);
  EXPECT_EQ(script_->loaded, 0u);
  EXPECT_FALSE(script_->SetPc(0));
}

TEST_F(ScriptSetLoad, ChangingSetsWritesTheReadMessagesOfTheOldSetFirst) {
  WriteSet(0, "Data/script/main", kTinySetSource);
  WriteSet(1, "Data/script/tut", "*t\n#End\n");
  std::vector<uint8_t> tutRead(kReadMessageFileSize, 0);
  tutRead[9] = 1;
  WriteHostFile("SaveData/sys/tkswTU.dat", tutRead);
  ASSERT_TRUE(script_->LoadScriptFiles(0));
  script_->SetMessageRead(5);
  script_->SetMessageRead(159999);
  ASSERT_TRUE(script_->LoadScriptFiles(1));
  std::vector<uint8_t> main = ReadHostFile("SaveData/sys/tksw00.dat");
  ASSERT_EQ(main.size(), kReadMessageFileSize);
  EXPECT_EQ(main[5], 1);
  EXPECT_EQ(main[159999], 1);
  EXPECT_EQ(main[6], 0);
  EXPECT_TRUE(script_->IsMessageReadFlag(9));
  EXPECT_FALSE(script_->IsMessageReadFlag(5));
  EXPECT_FALSE(script_->IsMessageReadFlag(-1));
  EXPECT_FALSE(script_->IsMessageReadFlag(160000));
  // Back to set 0: its flags come back from its file.
  ASSERT_TRUE(script_->LoadScriptFiles(0));
  EXPECT_TRUE(script_->IsMessageReadFlag(5));
  EXPECT_EQ(ReadHostFile("SaveData/sys/tkswTU.dat")[9], 1);
}

TEST_F(ScriptSetLoad, SetNameWithoutTerminatorIsCutAt260Bytes) {
  // 300 bytes of name and no CR: the name is the first 260 bytes, and nothing overruns.
  std::string name(300, 'x');
  WriteHostFile("Data/sys/sin_01.dat", std::vector<uint8_t>(name.begin(), name.end()));
  EXPECT_FALSE(script_->LoadScriptFiles(0));  // its files are missing: refused
  EXPECT_EQ(std::strlen(script_->baseName), 260u);
  EXPECT_EQ(script_->loaded, 0u);
  EXPECT_EQ(script_->bytecodeSize, 0u);
}

// What the loader can see of a damaged set makes it refuse the set instead of running zeros.
TEST_F(ScriptSetLoad, DamagedSetsAreRefused) {
  struct Case {
    const char* what;
    const char* removed;  // file of the set deleted after writing, or null
    bool flipSignature;
    bool loads;
  } cases[] = {
      {"whole set", nullptr, false, true},
      {"no bytecode file", ".sd", false, false},
      {"no block-label file (no signature)", ".bl", false, false},
      {"another program's signature", nullptr, true, false},
  };
  for (const Case& c : cases) {
    WriteSet(0, "Data/script/main", kTinySetSource);
    if (c.removed) std::filesystem::remove(dir_.File(std::string("Data/script/main") + c.removed));
    if (c.flipSignature) {
      std::vector<uint8_t> bl = ReadHostFile("Data/script/main.bl");
      ASSERT_FALSE(bl.empty());
      bl[3] ^= 0x5A;  // scrambled byte: the descrambled signature changes too
      WriteHostFile("Data/script/main.bl", bl);
    }
    EXPECT_EQ(script_->LoadScriptFiles(0), c.loads) << c.what;
    EXPECT_EQ(script_->loaded != 0, c.loads) << c.what;
  }
}

struct SignatureCase {
  const char* what;
  int flipByte;   // -1: none
  uint32_t seed;  // scramble seed of the written .bl
  size_t size;    // bytes written
  bool expect;
};

class StartupCheck : public ScriptStateTest, public ::testing::WithParamInterface<SignatureCase> {};

TEST_P(StartupCheck, HeaderMustEqualTheSignature) {
  const SignatureCase& c = GetParam();
  WriteSet(0, "Data/script/main", "*a\n#End\n");
  std::vector<uint8_t> bl(kScriptFiles[kFileBl].areaSize, 0);
  std::memcpy(bl.data(), kScriptSignature.data(), kSignatureSize);
  if (c.flipByte >= 0) bl[static_cast<size_t>(c.flipByte)] ^= 0x01;
  bl.resize(c.size);
  ScrambleInPlace(bl.data(), bl.size(), c.seed);
  WriteHostFile("Data/script/main.bl", bl);
  EXPECT_EQ(script_->LoadStartLabelList(0), c.expect);
}

INSTANTIATE_TEST_SUITE_P(Script, StartupCheck,
                         ::testing::Values(SignatureCase{"exact", -1, kScriptSeed, 278656, true},
                                           SignatureCase{"header only", -1, kScriptSeed, 128, true},
                                           SignatureCase{"first byte off", 0, kScriptSeed, 278656, false},
                                           SignatureCase{"last byte off", 127, kScriptSeed, 278656, false},
                                           SignatureCase{"image seed", -1, kScrambleSeedImage, 278656, false},
                                           SignatureCase{"short header", -1, kScriptSeed, 100, false}),
                         [](const auto& info) {
                           std::string n = info.param.what;
                           for (char& ch : n)
                             if (ch == ' ') ch = '_';
                           return n;
                         });

TEST_F(ScriptSetLoad, StartupCheckFailsWithoutItsFiles) {
  EXPECT_FALSE(script_->LoadStartLabelList(0));  // no set-name file
  WriteSet(0, "Data/script/main", "*a\n#End\n");
  EXPECT_TRUE(script_->LoadStartLabelList(0));
  EXPECT_FALSE(script_->LoadStartLabelList(2));
  std::remove(HostPath("Data/script/main.bl").c_str());
  EXPECT_FALSE(script_->LoadStartLabelList(0));
}

TEST_F(ScriptSetLoad, SampleDataSetsPassTheStartupCheck) {
  // The sample sources assemble and their sets are accepted by the program.
  for (const char* src : {"main.v4s", "tutorial.v4s"}) {
    std::ifstream f(std::string(V4_TEST_SOURCE_DIR) + "/data/script/" + src, std::ios::binary);
    ASSERT_TRUE(f) << src;
    std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    bool tutorial = std::string(src) == "tutorial.v4s";
    WriteSet(tutorial ? 1 : 0, tutorial ? "Data/script/tutorial" : "Data/script/main", text);
  }
  EXPECT_TRUE(script_->LoadStartLabelList(0));
  EXPECT_TRUE(script_->LoadStartLabelList(1));
  ASSERT_TRUE(script_->LoadScriptFiles(0));
  EXPECT_NE(script_->EventOffset(1), kNoEvent);
  EXPECT_NE(script_->EventOffset(2), kNoEvent);
}

}  // namespace
