// The assembler and disassembler: every opcode survives build -> bytes -> decode -> source text
// -> assemble; conditions; the conventions the assembler enforces; the set's file images.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "formats/scramble/scramble.h"
#include "formats/script/script_asm.h"
#include "formats/script/script_set_files.h"
#include "formats/script/script_set_layout.h"
#include "tests/support/temp_folder.h"

using namespace v4fmt;
using Bytes = std::vector<uint8_t>;

namespace {

// One instruction of the opcode with distinct operand values derived from seed.
ScriptInstruction Sample(uint8_t opcode, uint32_t seed) {
  ScriptInstruction ins;
  ins.opcode = opcode;
  ins.file = 0;
  ins.line = 2;
  uint32_t k = seed * 7 + 1;
  auto next = [&] { return k++; };
  for (const char* p = GetAdvOpcodeInfo(opcode).operands; *p; ++p) {
    ScriptOperand op;
    op.shape = *p;
    switch (*p) {
      case 'w':
        op.num = opcode == kOpSelect ? 0 : next();
        if (opcode == kOpTalkStart || opcode == kOpTalkStartAdd) op.num = 100 + seed;
        break;
      case 's':
        op.num = next() % 8193;
        break;
      case 'l':
      case 'o':
        op.num = 0;  // label 0 / offset 0: the entry
        break;
      case 'S':
        op.str = "s" + std::to_string(next()) + " \x93\xFA\x96\x7B";  // "日本" in CP932
        break;
      case 'v': {
        uint32_t v = next();
        if (v % 3 == 0)
          op.val = ScriptValue::Imm(-static_cast<int32_t>(v));
        else if (v % 3 == 1)
          op.val = ScriptValue::Switch(v % 8193);
        else
          op.val = ScriptValue::Call(static_cast<uint8_t>(v % 256), "arg" + std::to_string(v));
        break;
      }
      case 'c':
        op.cond = {ScriptValue::Switch(next()), ScriptValue::Imm(kCondGe),
                   ScriptValue::Imm(static_cast<int32_t>(next())), ScriptValue::Imm(kCondOr),
                   ScriptValue::Call(3, "x")};
        break;
      case 'G':
        op.list = {0, 0, 0};
        break;
      case 'M':
      case 'W':
        op.list = {next() % 8193, next() % 8193};
        break;
      case 'T':
        op.records.push_back(ScriptTextRecord{"line \x82\xA0", "", 1, 2, next(), 0});
        op.records.push_back(ScriptTextRecord{"two", "ruby", 0, 0, 0, -1});
        break;
      case 'C':
        op.list = {0, 0};
        op.texts = {"yes", "no"};
        break;
    }
    ins.ops.push_back(std::move(op));
  }
  return ins;
}

bool IsIf(uint8_t op) { return op == kOpIf || op == kOpIfGoto || op == kOpIfGotoOnce; }

TEST(ScriptRoundTrip, EveryOpcodeSurvivesDecodeFormatAndAssemble) {
  for (int op = 1; op <= kAdvOpcodeCount; ++op) {
    SCOPED_TRACE(GetAdvOpcodeInfo(op).name);
    ScriptInstruction ins = Sample(static_cast<uint8_t>(op), static_cast<uint32_t>(op));
    Bytes bytes;
    ASSERT_TRUE(EncodeScriptInstruction(ins, bytes));

    ScriptInstruction back;
    size_t next = 0;
    ASSERT_TRUE(DecodeScriptInstruction(bytes.data(), bytes.size(), 0, back, &next));
    EXPECT_EQ(next, bytes.size());
    EXPECT_TRUE(back == ins) << FormatScriptInstruction(back);

    std::string text = FormatScriptInstruction(back);
    std::string src = "*entry\n" + text + (IsIf(static_cast<uint8_t>(op)) ? "\n#Goto *entry" : "") + "\n#End\n";
    CompiledScriptSet set;
    std::vector<std::string> errors;
    ASSERT_TRUE(AssembleScript(src, "t", set, errors)) << text << "\n" << (errors.empty() ? "" : errors[0]);
    ASSERT_GE(set.bytecode.size(), bytes.size());
    EXPECT_EQ(Bytes(set.bytecode.begin(), set.bytecode.begin() + static_cast<long>(bytes.size())), bytes) << text;
  }
}

TEST(ScriptRoundTrip, DisassemblyOfAnAssembledSetNamesItsSymbols) {
  const char* src =
      "$hp@7 = 10\n"
      "*top \"entry\"\n"
      ".event 1 turn\n"
      "#SwVar $hp, 5\n"
      "#Gosub *sub\n"
      "#End\n"
      "*sub\n"
      "#SubEnd\n";
  CompiledScriptSet set;
  std::vector<std::string> errors;
  ASSERT_TRUE(AssembleScript(src, "t", set, errors));
  std::string listing = DisassembleScript(set.bytecode.data(), set.bytecode.size(), &set);
  EXPECT_NE(listing.find("*top \"entry\""), std::string::npos) << listing;
  EXPECT_NE(listing.find(".event 1 turn"), std::string::npos) << listing;
  EXPECT_NE(listing.find("#SwVar $hp, 5"), std::string::npos) << listing;
  EXPECT_NE(listing.find("#Gosub *sub"), std::string::npos) << listing;
  // The images carry the same tables back.
  CompiledScriptSet back = ParseScriptSetImages(BuildScriptSetImages(set));
  EXPECT_EQ(back.bytecode, set.bytecode);
  EXPECT_EQ(back.labelOffsets, set.labelOffsets);
  EXPECT_EQ(back.labelNames, set.labelNames);
  EXPECT_EQ(back.switchNames[7], "hp");
  EXPECT_EQ(back.switchInit[7], 10);
  EXPECT_EQ(back.events, set.events);
}

struct CondCase {
  const char* text;
  std::vector<ScriptValue> values;
};

TEST(ScriptAssembler, ConditionsFoldLeftToRightWithoutTheNegationBit) {
  using V = ScriptValue;
  const CondCase cases[] = {
      {"$5 > 3 && $6 == 0",
       {V::Switch(5), V::Imm(0x13), V::Imm(3), V::Imm(0x00), V::Switch(6), V::Imm(0x12), V::Imm(0)}},
      {"$1 || $2 && $3", {V::Switch(1), V::Imm(0x01), V::Switch(2), V::Imm(0x00), V::Switch(3)}},
      {"!$2", {V::Switch(2), V::Imm(0x12), V::Imm(0)}},
      {"1 != 2 || 3 < 4", {V::Imm(1), V::Imm(0x17), V::Imm(2), V::Imm(0x01), V::Imm(3), V::Imm(0x14), V::Imm(4)}},
      {"$9 >= -1 && $9 <= 0x10",
       {V::Switch(9), V::Imm(0x15), V::Imm(-1), V::Imm(0x00), V::Switch(9), V::Imm(0x16), V::Imm(16)}},
      {"{6:\xE7\xB9\x94\xE7\x94\xB0} == 1", {V::Call(6, "\x90\x44\x93\x63"), V::Imm(0x12), V::Imm(1)}},
  };
  for (const CondCase& c : cases) {
    CompiledScriptSet set;
    std::vector<std::string> errors;
    std::string src = std::string("*a\n#IfGoto ") + c.text + "\n#Goto *a\n#End\n";
    ASSERT_TRUE(AssembleScript(src, "t", set, errors)) << c.text << ": " << (errors.empty() ? "" : errors[0]);
    ScriptInstruction ins;
    size_t next = 0;
    ASSERT_TRUE(DecodeScriptInstruction(set.bytecode.data(), set.bytecode.size(), 0, ins, &next));
    EXPECT_TRUE(ins.ops[0].cond == c.values) << c.text << " -> " << FormatScriptInstruction(ins);
  }
}

struct BadSource {
  const char* what;
  std::string source;
  const char* expect;  // part of the first error
};

std::string LongCondition(int terms) {
  std::string s = "$1";
  for (int i = 1; i < terms; ++i) s += " && $1";
  return s;
}

TEST(ScriptAssembler, ConventionsAndLimitsAreEnforced) {
  const BadSource cases[] = {
      {"no entry label", "#End\n", "must begin with a label"},
      {"If without Goto", "*a\n#If $1\n#End\n", "must be followed by #Goto"},
      {"If at the end", "*a\n#End\n#IfGoto $1\n", "without its #Goto"},
      {"label between If and Goto", "*a\n#If $1\n*b\n#Goto *a\n#End\n", "between a condition"},
      {"label twice", "*a\n*a\n#End\n", "defined twice"},
      {"undefined label", "*a\n#Goto *nowhere\n#End\n", "not defined"},
      {"undefined switch", "*a\n#SwVar $nope, 1\n#End\n", "not declared"},
      {"switch out of range", "*a\n#SwVar $8193, 1\n#End\n", "outside 0..8192"},
      {"switch index twice", "$a@3 = 1\n$b@3 = 2\n*a\n#End\n", "declared twice"},
      {"message 0 is reserved", "*a\n#TalkStart 0, 0, \"\", (\"x\", \"\", 0, 0, 0, -1)\n#End\n", "outside 1..159999"},
      {"message used twice",
       "*a\n#TalkStart 3, 3, \"\", (\"x\", \"\", 0, 0, 0, -1)\n#TalkStart 3, 3, \"\", (\"y\", \"\", 0, 0, 0, "
       "-1)\n#End\n",
       "used twice"},
      {"falls off the end", "*a\n#SwVar $1, 1\n", "falls off the end"},
      {"ends with a conditional jump", "*a\n#IfGoto $1\n#Goto *a\n", "falls off the end"},
      {"label name of 64 bytes", "*" + std::string(64, 'n') + "\n#End\n", "does not fit 63 bytes"},
      {"argument of 256 bytes", "*a\n#Wait {1:" + std::string(256, 'x') + "}\n#End\n", "longer than 255"},
      {"text Shift-JIS cannot hold", "*a\n#PlayMovie \"\xF0\x9F\x98\x80\"\n#End\n", "cannot encode"},
      {"event out of range", "*a\n.event 3840 late\n#End\n", "outside 0..3839"},
      {"unknown command", "*a\n#Frobnicate 1\n#End\n", "unknown command"},
      {"too many operands", "*a\n#Wait 1, 2\n#End\n", "too many operands"},
      {"too few operands", "*a\n#SwVar $1\n#End\n", "too few operands"},
      {"condition of 257 values", "*a\n#If " + LongCondition(129) + "\n#Goto *a\n#End\n", "longer than 256"},
      {"message not closed", "*a\n>> x\ntext\n", "closing <<"},
      {"label number out of range", "*a\n#Goto 4096\n#End\n", "outside 0..4095"},
      {"no-operand command given one", "*a\n#End 1\n", "too many operands"},
      // A quit question answered "no" goes on after #EXIT.
      {"ends with #EXIT", "*a\n#EXIT 1\n", "falls off the end"},
      {"switch jump to a label number out of range", "*a\n#SwGoto $1, *a, 4096\n#End\n", "outside 0..4095"},
      {"choice of a label number out of range", "*a\n#Select 4096, \"x\"\n#SelectEnd\n", "outside 0..4095"},
      {"event number past 32 bits", "*a\n.event 4294967297 wrapped\n#End\n", "outside 0..3839"},
  };
  for (const BadSource& c : cases) {
    CompiledScriptSet set;
    std::vector<std::string> errors;
    EXPECT_FALSE(AssembleScript(c.source, "t", set, errors)) << c.what;
    ASSERT_FALSE(errors.empty()) << c.what;
    EXPECT_NE(errors[0].find(c.expect), std::string::npos) << c.what << ": " << errors[0];
  }
  // 256 values is the limit itself.
  CompiledScriptSet set;
  std::vector<std::string> errors;
  EXPECT_TRUE(AssembleScript("*a\n#If " + LongCondition(128) + "\n#Goto *a\n#End\n", "t", set, errors))
      << (errors.empty() ? "" : errors[0]);
}

TEST(ScriptAssembler, MessagesBecomeTalkRecordsWithNumbersFromOne) {
  const char* src =
      "*a\n"
      ">> \xE4\xBF\xA1\xE9\x95\xB7\n"  // speaker "信長"
      "first line\n"
      "second line\n"
      "<<\n"
      ">>+\n"
      "no wait\n"
      "<<-\n"
      "#End\n";
  CompiledScriptSet set;
  std::vector<std::string> errors;
  ASSERT_TRUE(AssembleScript(src, "t", set, errors)) << errors[0];
  std::vector<ScriptInstruction> code;
  for (size_t pos = 0; pos < set.bytecode.size();) {
    ScriptInstruction ins;
    ASSERT_TRUE(DecodeScriptInstruction(set.bytecode.data(), set.bytecode.size(), pos, ins, &pos));
    code.push_back(ins);
  }
  ASSERT_EQ(code.size(), 5u);
  EXPECT_EQ(code[0].opcode, kOpTalkStart);
  EXPECT_EQ(code[0].ops[0].num, 1u);  // message number
  EXPECT_EQ(code[0].ops[1].num, 1u);  // read id
  EXPECT_EQ(code[0].ops[2].str, "\x90\x4D\x92\xB7");
  ASSERT_EQ(code[0].ops[3].records.size(), 2u);
  EXPECT_EQ(code[0].ops[3].records[0].text, "first line");
  EXPECT_EQ(code[0].ops[3].records[0].d, 0);
  EXPECT_EQ(code[0].ops[3].records[1].d, -1);  // the message waits
  EXPECT_EQ(code[1].opcode, kOpTalkEnd);
  EXPECT_EQ(code[2].opcode, kOpTalkStartAdd);
  EXPECT_EQ(code[2].ops[0].num, 2u);
  EXPECT_EQ(code[2].ops[3].records[0].d, 0);  // "<<-": no wait
  EXPECT_EQ(code[4].opcode, kOpEnd);
  // .tko points at the opcode byte of message 1's #TalkStart (offset 0, right at the label).
  EXPECT_EQ(set.messageOffsets.at(1), 0u);
  EXPECT_EQ(set.labelOffsets[0], 0u);
}

TEST(ScriptSetImages, TablesFollowTheSetLayout) {
  const char* src =
      "$v@4 = -3\n"
      "*start\n"
      "#SwVar $v, 1\n"
      "*ev\n"
      ".event 2 second\n"
      ".block chapter 7\n"
      ">> a\nb\n<<\n"
      "#End\n";
  CompiledScriptSet set;
  std::vector<std::string> errors;
  ASSERT_TRUE(AssembleScript(src, "main.v4s", set, errors)) << errors[0];
  auto f = BuildScriptSetImages(set);
  for (int i = kFileSw; i < kScriptFileCount; ++i) EXPECT_EQ(f[i].size(), kScriptFiles[i].areaSize) << i;
  EXPECT_EQ(f[kFileSd], set.bytecode);
  EXPECT_EQ(static_cast<int32_t>(le::Get32(&f[kFileSw][4 * 4])), -3);
  EXPECT_EQ(le::Get32(&f[kFileLb][0]), 0u);
  EXPECT_EQ(le::Get32(&f[kFileLb][4]), 14u);  // after one 14-byte #SwVar
  EXPECT_STREQ(reinterpret_cast<const char*>(&f[kFileLbn][128]), "ev");
  EXPECT_STREQ(reinterpret_cast<const char*>(&f[kFileSwn][4 * 64]), "v");
  EXPECT_STREQ(reinterpret_cast<const char*>(&f[kFileSfn][0]), "main.v4s");
  EXPECT_EQ(le::Get32(&f[kFileTko][1 * 4]), 14u);
  // Event 2 exists at label "ev"; every other record says "no such event".
  EXPECT_STREQ(reinterpret_cast<const char*>(&f[kFileEv][2 * 68]), "second");
  EXPECT_EQ(le::Get32(&f[kFileEv][2 * 68 + 64]), 14u);
  for (size_t e : {size_t{0}, size_t{1}, size_t{3}, size_t{3839}})
    EXPECT_EQ(le::Get32(&f[kFileEv][e * 68 + 64]), kNoEvent) << e;
  EXPECT_EQ(std::memcmp(f[kFileBl].data(), kScriptSignature.data(), kSignatureSize), 0);
  EXPECT_STREQ(reinterpret_cast<const char*>(&f[kFileBl][128]), "chapter");
  EXPECT_EQ(le::Get32(&f[kFileBl][128 + 64]), 7u);
}

TEST(ScriptSetImages, LongLabelCommentsAreCutBetweenCharacters) {
  // 62 single bytes and one two-byte character: the character does not fit the 63 bytes.
  const std::string comment = std::string(62, 'c') + "\xE7\xAB\xA0";  // "章"
  CompiledScriptSet set;
  std::vector<std::string> errors;
  ASSERT_TRUE(AssembleScript("*a \"" + comment + "\"\n#End\n", "t", set, errors)) << errors[0];
  auto f = BuildScriptSetImages(set);
  const char* field = reinterpret_cast<const char*>(&f[kFileLbn][64]);
  EXPECT_EQ(strnlen(field, 64), 62u);
  EXPECT_EQ(std::string(field), std::string(62, 'c'));
}

TEST(ScriptSetFiles, WrittenFilesAreScrambledFromTheSeedAndNamedByTheSetFile) {
  v4test::TempFolder folder("v4script");
  ASSERT_TRUE(folder.Made());
  const std::string root = folder.Path();
  CompiledScriptSet set;
  std::vector<std::string> errors;
  ASSERT_TRUE(AssembleScript("*a\n#End\n", "t", set, errors));
  std::string err;
  ASSERT_TRUE(WriteScriptSetFiles(root, "Data/script/demo", BuildScriptSetImages(set), &err)) << err;
  ASSERT_TRUE(WriteScriptSetNameFile(root, 1, "Data/script/demo", &err)) << err;
  // First stream bytes of seed 271945638: a0 cd b0 b5 c7 9e 9f fc.
  const uint8_t stream[8] = {0xa0, 0xcd, 0xb0, 0xb5, 0xc7, 0x9e, 0x9f, 0xfc};
  FILE* f = std::fopen((root + "/Data/script/demo.bl").c_str(), "rb");
  ASSERT_NE(f, nullptr);
  uint8_t head[8];
  ASSERT_EQ(std::fread(head, 1, 8, f), 8u);
  std::fclose(f);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(static_cast<uint8_t>(head[i] - stream[i]), kScriptSignature[i]) << i;
  f = std::fopen((root + "/Data/sys/sin_tu.dat").c_str(), "rb");
  ASSERT_NE(f, nullptr);
  char name[64] = {};
  size_t n = std::fread(name, 1, sizeof name - 1, f);
  std::fclose(f);
  EXPECT_EQ(std::string(name, n), "Data\\script\\demo\r\n");
  std::array<std::vector<uint8_t>, kScriptFileCount> images;
  ASSERT_TRUE(ReadScriptSetFiles(root, "Data\\script\\demo", images, &err));
  EXPECT_EQ(images[kFileSd], set.bytecode);
}

struct SetNameCase {
  const char* what;
  std::string bytes;
  std::string expect;
};

TEST(ScriptSetName, TheBaseNameEndsAtCrLfNulOr260Bytes) {
  const SetNameCase cases[] = {
      {"CRLF", "abc\r\nrest", "abc"},
      {"no CR", "Data\\x", "Data\\x"},
      {"NUL inside", std::string("ab\0cd", 5), "ab"},
      {"LF only", "abc\n", "abc"},
      {"262 bytes without CR", std::string(262, 'q'), std::string(260, 'q')},
      {"empty", "", ""},
  };
  for (const SetNameCase& c : cases) {
    char out[262];
    std::memset(out, 'Z', sizeof out);
    size_t n = ParseScriptSetName(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), out, sizeof out);
    EXPECT_EQ(std::string(out), c.expect) << c.what;
    EXPECT_EQ(n, c.expect.size()) << c.what;
  }
}

}  // namespace
