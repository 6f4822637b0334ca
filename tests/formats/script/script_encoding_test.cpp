// Bytecode encoding: golden bytes written by hand from the instruction format (independent of the
// encoder), decoding of the same bytes, and the bounds of the decoder.
#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "formats/script/script_asm.h"
#include "formats/script/script_builder.h"
#include "formats/script/script_code.h"
#include "formats/script/script_set_layout.h"

using namespace v4fmt;
using Bytes = std::vector<uint8_t>;

namespace {

// Assembles "*entry" + body + "#End" and returns the bytecode without the final #End.
Bytes AssembleBody(const std::string& body) {
  CompiledScriptSet set;
  std::vector<std::string> errors;
  std::string src = "*entry\n" + body + "\n#End\n";
  EXPECT_TRUE(AssembleScript(src, "t", set, errors)) << (errors.empty() ? "" : errors[0]);
  if (set.bytecode.size() < 5) return {};
  return Bytes(set.bytecode.begin(), set.bytecode.end() - 5);
}

std::string Hex(const Bytes& b) {
  std::string s;
  char buf[4];
  for (uint8_t c : b) {
    std::snprintf(buf, sizeof buf, "%02x ", c);
    s += buf;
  }
  return s;
}

struct Golden {
  const char* name;
  const char* source;  // assembled at line 2 of file 0 (line 1 is the entry label)
  Bytes bytes;
};

// Header: opcode, file u16, line u16 (= 02 00 here); operands as the format gives them.
const Golden kGolden[] = {
    {"SwVarImmediate",
     "#SwVar $7, 5",
     {0x08, 0x00, 0x00, 0x02, 0x00, 0x07, 0x00, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00}},
    {"SwAddFromSwitch",
     "#SwAdd $3, $9",
     {0x09, 0x00, 0x00, 0x02, 0x00, 0x03, 0x00, 0x00, 0x00, 0x01, 0x09, 0x00, 0x00, 0x00}},
    {"GotoLabelNumber", "#Goto 0", {0x02, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00}},
    {"WaitNegative", "#Wait -1", {0x06, 0x00, 0x00, 0x02, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}},
    {"FunctionCallValue",
     "#SwVar $1, {6:AB}",
     {0x08, 0x00, 0x00, 0x02, 0x00, 0x01, 0x00, 0x00, 0x00, 0x04, 0x06, 0x02, 'A', 'B', 0x00}},
    {"TalkStartOneRecord",
     "#TalkStart 1, 1, \"N\", (\"Hi\", \"\", 1, 2, 3, -1)",
     {0x0F, 0x00, 0x00, 0x02, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 'N',  0x00,
      0x01, 'H',  'i',  0x00, 0x00, 0x01, 0x02, 0x03, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}},
    {"SelectTwoChoices", "#Select 0, \"A\", 0, \"B\"", {0x14, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00,
                                                        0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                        0x00, 0x00, 'A',  0x00, 'B',  0x00}},
    {"SwGotoTwoLabels", "#SwGoto $0, 0, 0", {0x0B, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00,
                                             0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
    {"BreakSwByteCount",
     "#BreakSw $1, $2",
     {0x34, 0x00, 0x00, 0x02, 0x00, 0x02, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00}},
    // switch 5 > 3 AND switch 6 == 0, then the kind-2 terminator; the #Goto follows.
    {"IfThenGoto",
     "#If $5 > 3 && $6 == 0\n#Goto 0",
     {0x03, 0x00, 0x00, 0x02, 0x00,                                                              //
      0x01, 0x05, 0x00, 0x00, 0x00, 0x00, 0x13, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,  //
      0x00, 0x00, 0x00, 0x00, 0x00,                                                              // AND
      0x01, 0x06, 0x00, 0x00, 0x00, 0x00, 0x12, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  //
      0x02, 0x00, 0x00, 0x00, 0x00,                                                              // terminator
      0x02, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00}},
    {"NotBecomesEqualsZero",
     "#IfGoto !$4\n#Goto 0",
     {0x38, 0x00, 0x00, 0x02, 0x00, 0x01, 0x04, 0x00, 0x00, 0x00, 0x00, 0x12, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00}},
};

class GoldenBytes : public ::testing::TestWithParam<Golden> {};

TEST_P(GoldenBytes, AssemblerEmitsTheBytesOfTheFormat) {
  const Golden& g = GetParam();
  Bytes got = AssembleBody(g.source);
  EXPECT_EQ(Hex(got), Hex(g.bytes)) << DisassembleScript(got.data(), got.size());
}

TEST_P(GoldenBytes, DecoderReadsTheBytesBackWhole) {
  const Golden& g = GetParam();
  size_t pos = 0;
  while (pos < g.bytes.size()) {
    ScriptInstruction ins;
    size_t next = 0;
    ASSERT_TRUE(DecodeScriptInstruction(g.bytes.data(), g.bytes.size(), pos, ins, &next)) << g.name << " at " << pos;
    EXPECT_EQ(ins.line, 2 + (pos ? 1 : 0));
    Bytes again;
    ASSERT_TRUE(EncodeScriptInstruction(ins, again));
    EXPECT_EQ(Hex(again),
              Hex(Bytes(g.bytes.begin() + static_cast<long>(pos), g.bytes.begin() + static_cast<long>(next))));
    pos = next;
  }
  EXPECT_EQ(pos, g.bytes.size());
}

INSTANTIATE_TEST_SUITE_P(Script, GoldenBytes, ::testing::ValuesIn(kGolden),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ScriptDecode, FieldsOfTheSwVarExample) {
  // #SwVar switch 7 := immediate 5, file 0, line 1.
  const Bytes b = {0x08, 0x00, 0x00, 0x01, 0x00, 0x07, 0x00, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00};
  ScriptInstruction ins;
  size_t next = 0;
  ASSERT_TRUE(DecodeScriptInstruction(b.data(), b.size(), 0, ins, &next));
  EXPECT_EQ(ins.opcode, kOpSwVar);
  EXPECT_EQ(ins.file, 0);
  EXPECT_EQ(ins.line, 1);
  ASSERT_EQ(ins.ops.size(), 2u);
  EXPECT_EQ(ins.ops[0].num, 7u);
  EXPECT_EQ(ins.ops[1].val.kind, kValImm);
  EXPECT_EQ(ins.ops[1].val.imm, 5);
  EXPECT_EQ(next, b.size());
}

TEST(ScriptDecode, UnknownOpcodesAreBareHeadersAndOddKindsReadNothing) {
  const Bytes unknown = {200, 1, 0, 2, 0, 0, 0, 0, 0, 0};
  for (size_t at : {size_t{0}, size_t{5}}) {
    ScriptInstruction ins;
    size_t next = 0;
    ASSERT_TRUE(DecodeScriptInstruction(unknown.data(), unknown.size(), at, ins, &next));
    EXPECT_TRUE(ins.ops.empty());
    EXPECT_EQ(next, at + 5);
  }
  // #Wait with a value of kind 9: value -1, nothing more read.
  const Bytes odd = {0x06, 0, 0, 0, 0, 9};
  ScriptInstruction ins;
  size_t next = 0;
  ASSERT_TRUE(DecodeScriptInstruction(odd.data(), odd.size(), 0, ins, &next));
  EXPECT_EQ(ins.ops[0].val.imm, -1);
  EXPECT_EQ(next, odd.size());
}

TEST(ScriptDecode, TruncatedAndOverlongInstructionsAreRefused) {
  struct Case {
    const char* what;
    Bytes bytes;
  };
  Bytes longCond = {0x03, 0, 0, 0, 0};
  for (int i = 0; i < 257; ++i) longCond.insert(longCond.end(), {0x00, 0x01, 0x00, 0x00, 0x00});
  longCond.insert(longCond.end(), {0x02, 0, 0, 0, 0});
  const Case cases[] = {
      {"header cut", {0x08, 0x00, 0x00}},
      {"u32 cut", {0x08, 0, 0, 0, 0, 0x07, 0x00}},
      {"value cut", {0x08, 0, 0, 0, 0, 0x07, 0, 0, 0, 0x00, 0x05}},
      {"string without NUL", {0x29, 0, 0, 0, 0, 'a', 'b'}},
      {"call argument without its NUL", {0x06, 0, 0, 0, 0, 0x04, 0x01, 0x02, 'a', 'b', 'c'}},
      {"condition without terminator", {0x03, 0, 0, 0, 0, 0x00, 1, 0, 0, 0}},
      {"switch list count beyond the data", {0x0B, 0, 0, 0, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}},
      {"talk record cut", {0x0F, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 1, 'x', 0}},
      {"condition of 257 values", longCond},
  };
  for (const Case& c : cases) {
    ScriptInstruction ins;
    size_t next = 0;
    std::string err;
    EXPECT_FALSE(DecodeScriptInstruction(c.bytes.data(), c.bytes.size(), 0, ins, &next, &err)) << c.what;
    EXPECT_FALSE(err.empty()) << c.what;
  }
}

TEST(ScriptEncode, LimitsOfTheEncodingAreRefused) {
  auto wait = [](ScriptValue v) {
    ScriptInstruction ins;
    ins.opcode = kOpWait;
    ScriptOperand op;
    op.shape = 'v';
    op.val = std::move(v);
    ins.ops.push_back(op);
    return ins;
  };
  Bytes out;
  EXPECT_TRUE(EncodeScriptInstruction(wait(ScriptValue::Call(1, std::string(255, 'a'))), out));
  EXPECT_FALSE(EncodeScriptInstruction(wait(ScriptValue::Call(1, std::string(256, 'a'))), out));
  ScriptInstruction cond;
  cond.opcode = kOpIf;
  ScriptOperand c;
  c.shape = 'c';
  c.cond.assign(256, ScriptValue::Imm(1));
  cond.ops.push_back(c);
  EXPECT_TRUE(EncodeScriptInstruction(cond, out));
  cond.ops[0].cond.push_back(ScriptValue::Imm(1));
  EXPECT_FALSE(EncodeScriptInstruction(cond, out));
  ScriptInstruction wrong;
  wrong.opcode = kOpSwVar;  // needs two operands
  EXPECT_FALSE(EncodeScriptInstruction(wrong, out));
}

TEST(ScriptOpcodes, TableCoversEveryOpcodeOnce) {
  int named = 0;
  for (int op = 1; op <= kAdvOpcodeCount; ++op) {
    const AdvOpcodeInfo& info = GetAdvOpcodeInfo(static_cast<unsigned>(op));
    ASSERT_EQ(info.name[0], '#') << op;
    EXPECT_EQ(FindAdvOpcode(info.name), op) << info.name;
    ++named;
  }
  EXPECT_EQ(named, 132);
  EXPECT_STREQ(GetAdvOpcodeInfo(0).name, "");
  EXPECT_STREQ(GetAdvOpcodeInfo(133).name, "");
  EXPECT_STREQ(GetAdvOpcodeInfo(kOpSubEnd).name, "#SubEnd");
  EXPECT_STREQ(GetAdvOpcodeInfo(kOpWaitInputJump).operands, "vl");
}

}  // namespace

namespace {

// The assembler writes a check of the bytecode into the set; a changed, cut or longer bytecode fails
// it, a set made before the check existed passes as before.
TEST(ScriptSetCheck, TheBytecodeCheckCatchesChangedBytecode) {
  v4fmt::CompiledScriptSet set;
  std::vector<std::string> errors;
  ASSERT_TRUE(v4fmt::AssembleScript("*start\n>> a\nhello\n<<\n#End\n", "c.v4s", set, errors));
  auto images = v4fmt::BuildScriptSetImages(set);
  const std::vector<uint8_t> sd = images[v4fmt::kFileSd];
  ASSERT_FALSE(sd.empty());
  const uint8_t* lbn = images[v4fmt::kFileLbn].data();
  EXPECT_EQ(v4fmt::VerifyBytecodeCheck(lbn, sd.data(), sd.size()), 1);
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"one bit flipped", sd},
      {"cut short", std::vector<uint8_t>(sd.begin(), sd.end() - 1)},
      {"a byte more", sd},
      {"random bytes", std::vector<uint8_t>(sd.size(), 0x5A)},
  };
  cases[0].bytes[sd.size() / 2] ^= 0x10;
  cases[2].bytes.push_back(0);
  for (const Case& c : cases) {
    EXPECT_EQ(v4fmt::VerifyBytecodeCheck(lbn, c.bytes.data(), c.bytes.size()), -1) << c.what;
  }
  // The check sits where no label is: the record's name stays empty.
  EXPECT_EQ(lbn[v4fmt::kBytecodeCheckRecord * v4fmt::kLabelNameRecordSize], 0);
  std::vector<uint8_t> old = images[v4fmt::kFileLbn];
  std::fill(old.begin() + v4fmt::kBytecodeCheckRecord * v4fmt::kLabelNameRecordSize, old.end(), 0);
  EXPECT_EQ(v4fmt::VerifyBytecodeCheck(old.data(), cases[3].bytes.data(), cases[3].bytes.size()), 0);
}

}  // namespace
