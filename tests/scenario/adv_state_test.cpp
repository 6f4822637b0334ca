// The script state's operations: bounded jumps, the call stack, names, watch list, backlog and
// the error context.
#include <gtest/gtest.h>

#include <cstring>

#include "core/app_state.h"
#include "formats/script/script_set_layout.h"
#include "scenario_test_support.h"

using namespace v4fmt;

namespace {

using ScriptState = ScriptStateTest;

TEST_F(ScriptState, CallStackKeepsSixteenAndRefusesTheSeventeenth) {
  WriteSet(0, "Data/script/tiny", kTinySetSource);
  ASSERT_TRUE(script_->LoadScriptFiles(0));
  struct Step {
    const char* what;
    int push;         // offset to push, or -1 for a return
    bool pushOk;      // push accepted
    int64_t popped;   // expected return value
    uint32_t depth;   // depth afterwards
    const char* box;  // message expected, or null
  };
  std::vector<Step> steps;
  for (int i = 0; i < 16; ++i) steps.push_back({"push", 100 + i, true, 0, static_cast<uint32_t>(i + 1), nullptr});
  steps.push_back({"17th push refused", 999, false, 0, 16, "サブルーチンの深さが16を超えました"});
  for (int i = 15; i >= 0; --i) steps.push_back({"return", -1, true, 100 + i, static_cast<uint32_t>(i), nullptr});
  steps.push_back({"return at depth 0", -1, true, -1, 0, "サブルーチンの戻り位置が不明です"});
  for (const Step& s : steps) {
    boxes_.boxes.clear();
    if (s.push >= 0) {
      EXPECT_EQ(script_->ScriptGosub(static_cast<uint32_t>(s.push)), s.pushOk) << s.what;
    } else {
      EXPECT_EQ(script_->ScriptReturn(), s.popped) << s.what;
    }
    EXPECT_EQ(script_->callDepth, s.depth) << s.what;
    if (s.box) {
      ASSERT_EQ(boxes_.boxes.size(), 1u) << s.what;
      EXPECT_EQ(boxes_.boxes[0].text, s.box);
      EXPECT_EQ(boxes_.boxes[0].title, "ERROR");
    } else {
      EXPECT_TRUE(boxes_.boxes.empty()) << s.what;
    }
  }
}

TEST_F(ScriptState, JumpsStayInsideTheAreaAndTheLabels) {
  EXPECT_FALSE(script_->SetPc(0));  // no set loaded
  EXPECT_FALSE(script_->GotoLabelIndex(0));
  WriteSet(0, "Data/script/tiny", kTinySetSource);
  ASSERT_TRUE(script_->LoadScriptFiles(0));
  struct Case {
    uint32_t offset;
    bool ok;
  } pcs[] = {{0, true}, {15999999, true}, {16000000, false}, {0xFFFFFFFF, false}};
  for (const Case& c : pcs) {
    script_->pc = 7;
    EXPECT_EQ(script_->SetPc(c.offset), c.ok) << c.offset;
    EXPECT_EQ(script_->pc, c.ok ? c.offset : 7u) << c.offset;
  }
  script_->labelOffsets[4095] = 123;
  script_->labelOffsets[3] = 16000000;  // a damaged label table
  struct LabelCase {
    int32_t label;
    bool ok;
  } labels[] = {{-1, false}, {0, true}, {1, true}, {3, false}, {4095, true}, {4096, false}};
  for (const LabelCase& c : labels) {
    script_->pc = 7;
    EXPECT_EQ(script_->GotoLabelIndex(c.label), c.ok) << c.label;
    if (c.ok)
      EXPECT_EQ(script_->pc, script_->labelOffsets[c.label]);
    else
      EXPECT_EQ(script_->pc, 7u);
  }
}

TEST_F(ScriptState, EventJumpsUseTheBoundsAndReportMissingEvents) {
  CompiledScriptSet set = WriteSet(0, "Data/script/tiny", kTinySetSource);
  ASSERT_TRUE(script_->LoadScriptFiles(0));
  // Event 6 points past the bytecode area: refused like a missing one, pc untouched.
  le::Put32(&script_->events[6 * kEventRecordSize + 64], 16000000);
  struct Case {
    int32_t event;
    bool ok;
  } cases[] = {{5, true}, {4, false}, {6, false}, {-1, false}, {3840, false}};
  for (const Case& c : cases) {
    boxes_.boxes.clear();
    GameMode = 1;
    script_->pc = 3;
    EXPECT_EQ(script_->GotoEvent(c.event, 77), c.ok) << c.event;
    if (c.ok) {
      EXPECT_EQ(script_->pc, set.labelOffsets[2]);
      EXPECT_EQ(GameMode, 10);
      EXPECT_EQ(script_->eventArgument, 77);
      EXPECT_TRUE(boxes_.boxes.empty());
    } else {
      EXPECT_EQ(script_->pc, 3u) << c.event;
      EXPECT_EQ(GameMode, 1) << c.event;
      ASSERT_EQ(boxes_.boxes.size(), 1u) << c.event;
      EXPECT_EQ(boxes_.boxes[0].text, "ラベル[" + std::to_string(c.event) + "]がありません");
      EXPECT_EQ(boxes_.boxes[0].title, "EVENT ERR!");
    }
  }
  GameMode = 1;
}

TEST_F(ScriptState, LabelNamesAreComparedWithinTheirFields) {
  WriteSet(0, "Data/script/tiny", kTinySetSource);
  ASSERT_TRUE(script_->LoadScriptFiles(0));
  // A 64-byte name filling its field without a terminator, and one in the never-jumpable record.
  std::memset(&script_->labelNames[10 * 128], 'A', 64);
  std::memset(&script_->labelNames[10 * 128 + 64], 'B', 64);
  std::memcpy(&script_->labelNames[4096 * 128], "last", 5);
  struct Case {
    std::string name;
    int32_t found;
  } cases[] = {
      {"evlabel", 2},
      {"start", 0},
      {"", -1},
      {"nothing", -1},
      {std::string(64, 'A'), 10},
      {std::string(64, 'A') + "B", -1},
      {std::string(63, 'A'), -1},
      {"last", 4096},
  };
  for (const Case& c : cases) EXPECT_EQ(script_->FindLabelByName(c.name.c_str()), c.found) << c.name;
  EXPECT_EQ(script_->FindLabelByName(nullptr), -1);
  EXPECT_EQ(script_->LabelName(10), std::string(64, 'A'));
  EXPECT_EQ(script_->LabelName(4097), "");

  script_->pc = 9;
  EXPECT_FALSE(script_->GotoLabelName(""));      // an empty name names nothing
  EXPECT_FALSE(script_->GotoLabelName("last"));  // found, but label 4096 is no jump target
  EXPECT_EQ(script_->pc, 9u);
  ASSERT_EQ(boxes_.boxes.size(), 1u);
  EXPECT_EQ(boxes_.boxes[0].text, "ラベル[]がシナリオの中にありません");
  EXPECT_TRUE(script_->GotoLabelName("evlabel"));
  EXPECT_EQ(script_->pc, script_->labelOffsets[2]);
  // No name, or no set to look in: refused without the missing-label message.
  boxes_.boxes.clear();
  EXPECT_FALSE(script_->GotoLabelName(nullptr));
  AdvScript none;
  EXPECT_FALSE(none.GotoLabelName("evlabel"));
  EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(ScriptState, SwitchesByName) {
  int32_t v = 5;
  EXPECT_FALSE(script_->FindSwitchByName("hp", &v));  // no set
  EXPECT_EQ(v, 0);
  WriteSet(0, "Data/script/tiny", kTinySetSource);
  ASSERT_TRUE(script_->LoadScriptFiles(0));
  EXPECT_TRUE(script_->FindSwitchByName("hp", &v));
  EXPECT_EQ(v, 42);
  EXPECT_FALSE(script_->FindSwitchByName("", &v));
  EXPECT_FALSE(script_->FindSwitchByName("h", &v));
  EXPECT_EQ(v, 0);
}

TEST_F(ScriptState, WatchListAddsOnceFillsEightyAndClosesGaps) {
  script_->AddWatchSwitch(5);
  script_->AddWatchSwitch(5);
  EXPECT_EQ(script_->watchList[0], 5);
  EXPECT_EQ(script_->watchList[1], -1);
  EXPECT_TRUE(script_->IsSwitchWatched(5));
  for (int i = 100; i < 200; ++i) script_->AddWatchSwitch(i);  // only 79 more fit
  EXPECT_EQ(script_->watchList[79], 178);
  EXPECT_EQ(script_->watchList[80], -1);
  EXPECT_FALSE(script_->IsSwitchWatched(179));
  script_->AddWatchSwitch(-1);
  script_->AddWatchSwitch(8193);
  script_->RemoveWatchSwitch(120);
  EXPECT_FALSE(script_->IsSwitchWatched(120));
  EXPECT_EQ(script_->watchList[20], 119);
  EXPECT_EQ(script_->watchList[21], 121);
  EXPECT_EQ(script_->watchList[79], -1);
  EXPECT_EQ(script_->watchList[80], -1);
  // A set load keeps the list and marks its switches again.
  WriteSet(0, "Data/script/tiny", kTinySetSource);
  ASSERT_TRUE(script_->LoadScriptFiles(0));
  EXPECT_TRUE(script_->IsSwitchWatched(5));
  script_->ClearWatchList();
  EXPECT_FALSE(script_->IsSwitchWatched(5));
  EXPECT_EQ(script_->watchList[0], -1);
}

TEST_F(ScriptState, BacklogKeepsTwoHundredNewestFirstCutAtCharacters) {
  for (int i = 0; i < 201; ++i) script_->AddBacklogEntry("spk", std::to_string(i).c_str(), "", i, 0);
  EXPECT_EQ(script_->GetBacklogCount(), 200u);
  EXPECT_STREQ(script_->GetBacklogEntry(0)->text, "200");
  EXPECT_STREQ(script_->GetBacklogEntry(199)->text, "1");
  EXPECT_EQ(script_->GetBacklogEntry(200), nullptr);
  EXPECT_EQ(script_->GetBacklogEntry(-1), nullptr);
  // 1 ASCII byte then double-byte characters: 159 bytes would split one, so 158 are kept.
  std::string text = "a";
  for (int i = 0; i < 150; ++i) text += "\x82\xA0";
  std::string speaker;
  for (int i = 0; i < 15; ++i) speaker += "\x90\x4D";
  script_->AddBacklogEntry(speaker.c_str(), text.c_str(), std::string(100, 'v').c_str(), 1, 2);
  const AdvBacklogEntry* e = script_->GetBacklogEntry(0);
  EXPECT_EQ(std::strlen(e->text), 159u);
  EXPECT_EQ(std::strlen(e->speaker), 20u);
  EXPECT_EQ(std::strlen(e->voiceName), 63u);
  text = "";
  for (int i = 0; i < 150; ++i) text += "\x82\xA0";
  script_->AddBacklogEntry("", text.c_str(), "", 0, 0);
  EXPECT_EQ(std::strlen(script_->GetBacklogEntry(0)->text), 158u);
}

TEST_F(ScriptState, LastScriptContextNamesFileLineAndCommand) {
  WriteSet(0, "Data/script/tiny", kTinySetSource);
  ASSERT_TRUE(script_->LoadScriptFiles(0));
  script_->fileIndex = 0;
  script_->lineNumber = 12;
  script_->opcode = 8;
  char out[512];
  script_->FormatLastScript(out, sizeof out, "msg");
  EXPECT_STREQ(out, "msg\n直前に実行されたスクリプト\nファイル:test.v4s\n行番号:12\nスクリプト:#SwVar");
  // Out-of-range indices give empty names; a small buffer is cut at a character boundary.
  script_->fileIndex = 9999;
  script_->opcode = 250;
  script_->FormatLastScript(out, sizeof out, "m");
  EXPECT_STREQ(out, "m\n直前に実行されたスクリプト\nファイル:\n行番号:12\nスクリプト:");
  // A source file name filling its 64-byte field without a terminator is shown whole, no more.
  std::memset(&script_->sourceFileNames[64], 'F', 64);
  std::memset(&script_->sourceFileNames[128], 'G', 64);
  script_->fileIndex = 1;
  script_->FormatLastScript(out, sizeof out, "m");
  EXPECT_NE(std::string(out).find(":" + std::string(64, 'F') + "\n行番号"), std::string::npos) << out;
  char small[6];
  script_->FormatLastScript(small, sizeof small, "m");
  EXPECT_STREQ(small, "m\n\x92\xBC");  // "m", LF, then the first whole character
}

TEST_F(ScriptState, TheProgramsStateInstallsItsContextFormatter) {
  WriteSet(0, "Data/script/tiny", kTinySetSource);
  ASSERT_TRUE(LoadScriptFiles(0));
  GetAdvScript().lineNumber = 3;
  GetAdvScript().opcode = kOpGoto;
  GameMode = 0;
  ShowErrorBox("oops");
  GameMode = 1;
  ASSERT_EQ(boxes_.boxes.size(), 1u);
  EXPECT_NE(boxes_.boxes[0].text.find("スクリプト:#Goto"), std::string::npos);
  EXPECT_NE(boxes_.boxes[0].text.find("行番号:3"), std::string::npos);
}

}  // namespace
