// The interpreter against a recording presenter and recording services: every opcode decodes and
// runs (one table), conditions, switch arithmetic, the wait rules on a virtual clock, messages and
// voices, and the faults a malformed set can hold.
#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <sstream>

#include "core/app_state.h"
#include "core/game_rand.h"
#include "formats/script/adv_opcodes.h"
#include "formats/script/script_code.h"
#include "interp_test_support.h"
#include "scenario/interp/adv_interp.h"
#include "scenario/script/adv_script.h"
#include "world/record_lists.h"
#include "world/world_tables.h"

namespace v4test {
namespace {

struct OpRow {
  std::string line;       // UTF-8 source of the instruction(s) under test
  std::string log;        // the calls expected, joined by "; "
  std::string end;        // label the run must end on: "after" or "target"
  std::string state;      // "" or the switch state expected: "a=.. b=.. c=.."
  std::string tail = {};  // extra source after the standard tail
};

const char* const kPreamble = "$a@7 = 5\n$b@8 = 3\n$c@9 = 1\n*start\n";
const char* const kTail = "\n*after\n#End\n*target\n#End\n";

std::string State() {
  const AdvScript& s = GetAdvScript();
  std::ostringstream o;
  o << "a=" << s.switches[7] << " b=" << s.switches[8] << " c=" << s.switches[9];
  return o.str();
}

std::vector<OpRow> OpcodeRows() {
  const std::string def = "a=5 b=3 c=1";
  return {
      {"#Gosub *target", "", "target", def},
      {"#Goto *target", "", "target", def},
      {"#If $a == 5\n#Goto *target", "", "after", def},
      {"#If $a == 4\n#Goto *target", "", "target", def},
      {"#ElseIf\n#EndIf\n#SwDef\n#Sub\n#Include\n#EventStart\n#Label", "", "after", def},
      {"#Wait 250", "", "after", def},
      {"#SwVar $a, 9", "", "after", "a=9 b=3 c=1"},
      {"#SwAdd $a, $b", "", "after", "a=8 b=3 c=1"},
      {"#SwDec $a, 7", "", "after", "a=-2 b=3 c=1"},
      {"#SwGoto $c, *after, *target", "", "target", def},
      {"#SwRand $a, 10", "", "after", "a=7 b=3 c=1"},
      {"#Gosub *sub", "", "after", def, "*sub\n#SubEnd\n"},
      {">> Hana\nhello\nworld\n<<", "SetMessage(1,Hana,helloworld,2,1); ClearFile(2)", "after", def},
      {">>+ Hana\nmore\n<<", "SetMessage(1,Hana,more,1,0); ClearFile(2)", "after", def},
      {"#ComJump_ *target", "", "target", def},
      {"#Select *after, \"yes\", *target, \"no\"\n#SelectEnd",
       "SetAuto(0); SetSkip(0); SetFastForward(0); SetChoices(1:yes,2:no)", "target", def},
      {"#SwCalcu $a, 0, 3", "", "after", "a=15 b=3 c=1"},
      {"#BgmStart 2, \"m.voi\", \"l.voi\", 1", "PlayMusic(m.voi,l.voi,1,2)", "after", def},
      {"#BgmStartLoop 3, \"m.voi\", \"\", 0", "PlayMusic(m.voi,,0,3)", "after", def},
      {"#BgmStop 1", "FadeOut(0,-2); ClearFile(0)", "after", def},
      {"#VoiceStart $c, \"v.voi\", 7\n>> Hana\nx\n<<",
       "SetMessage(1,Hana,x,1,1); VoiceVolume(1); PlayVoice(v.voi,7); SetBacklogVoice(v.voi,1,7); ClearFile(2)",
       "after", def},
      {"#VS_SL $b, \"w.voi\", 2\n>> Hana\nx\n<<",
       "SetMessage(1,Hana,x,1,1); VoiceVolume(3); PlayVoice(w.voi,2); SetBacklogVoice(w.voi,3,2); ClearFile(2)",
       "after", def},
      {"#VoiceStop 9", "FadeOut(2,-4)", "after", def},
      {"#SeStart 1, \"se.voi\", 3840, 2, 1", "PlayEffect(4,se.voi,1,3,10000)", "after", def},
      {"#SeStartLoop 0, \"se.voi\", 7680, 0, 1", "PlayEffect(3,se.voi,1,1,10000)", "after", def},
      {"#SeStop 2, 0", "FadeOut(5,-1)", "after", def},
      {"#MainMenu", "SetFastForward(0); StopAllSound()", "after", def},
      {"#EventEnd", "", "after", def},
      {"#EventFlagOn *target", "UnlockScene(2)", "after", def},
      {"#CgFlagOn 4, 33", "SetCgFlag(4,33)", "after", def},
      {"#SwMini $a, $a, $b, $c", "", "after", "a=2 b=3 c=1"},
      {"#SwMax $b, $a, $b, $c", "", "after", "a=5 b=0 c=1"},
      {"#SwMiniRnd $a, $c", "", "after", "a=0 b=3 c=1"},
      {"#SwMaxRnd $a, $b, $a", "", "after", "a=1 b=3 c=1"},
      {"#CharIn 1, 2, 3, 4, 5, 6", "ShowChar(1,2,3,4,5,6)", "after", def},
      {"#CharOut 1, 2, 3, 4", "HideChar(1,2,3,4)", "after", def},
      {"#CharMove 1, 2, 3, 4", "MoveChar(1,2,3,4)", "after", def},
      {"#PlayMovie \"Data\\media\\m.mdm\"", "SetAuto(0); SetSkip(0); SetFastForward(0); PlayMovie(Data\\media\\m.mdm)",
       "after", def},
      {"#AtFirst $a\n#AtFirst $b", "", "after", "a=1 b=0 c=1"},
      {"#GetSkipFlag $a", "", "after", "a=0 b=3 c=1"},
      {"#EXIT 1", "", "after", def},
      {"#CharLoad 2, \"hana\", 11", "LoadChar(2,hana,11)", "after", def},
      {"#SkipOff", "SetSkip(0); SetFastForward(0)", "after", def},
      {"#BGLoad \"bg.png\", 3, 1", "LoadLayerImage(3,bg.png,1)", "after", def},
      {"#BreakSw $a, $b", "", "after", def},
      {"#WatchSw $a", "", "after", def},
      {"#Flip 500, \"bg.png\"", "SwapBgPage(500,bg.png)", "after", def},
      {"#FlipRot 1, 2, 3", "SwapBgPageRot(1,2,3)", "after", def},
      {"#IfGoto $a > $b\n#Goto *target", "", "target", def},
      {"#IfGoto $a < $b\n#Goto *target", "", "after", def},
      {"#SLGmode", "SetFastForward(0); ApplySlgSoundConfig()", "after", def},
      {"#IfGotoOnce $c, $a == 5\n#Goto *target", "", "after", def},
      {"#IfGotoOnce $b, $a == 5\n#Goto *target", "", "target", "a=5 b=1 c=1"},
      {"#SetMeetSw 12, 300, \"name\", 1, 0, \"unused\"", "", "after", def},
      {"#GetPlayMode $a", "", "after", "a=1 b=3 c=1"},
      {"#SetEventFlg\n#SetSiroSihai\n#SetSiroSihaiAll\n#DelBusho\n#SetChusei\n#SetSiroLimit", "", "after", def},
      {"#ClearEVBattleList\n#AddEVBattleList\n#StartEVBattle\n#StartEVJoust\n#ExCommand_04\n#ExCommand_06\n"
       "#StartEVBattle2\n#GunyuuModeOpen\n#SetEVBattleName\n#SyuuOutDaimyo\n#BgVoiceStart\n#BgVoiceStop",
       "", "after", def},
      {"#SetToshu 5000", "", "after", def},
      {"#AddBusho 5000, 6, 1", "", "after", def},
      {"#SetShuuLimit 3, 0, 1, 1", "", "after", def},
      {"#SetHoryoFlg 5000, 1, 0", "", "after", def},
      {"#SetTjYear 5, 77", "", "after", def},
      {"#SerifFlagOn 5, 3", "UnlockGallery(5,3)", "after", def},
      {"#SetShareFlg 3, 9", "SetShareFlag(3,9)", "after", def},
      {"#GetShareFlg 4, $a", "", "after", "a=400 b=3 c=1"},
      {"#SetKizuna 5000, 1", "", "after", def},
      {"#SetKuniLimit 3, 1, 1", "", "after", def},
      {"#SetEnding", "", "after", def},
      {"#BlockLabel \"blk\"", "", "after", def},
      {"#SetScenarioRoute 4", "SetRoute(4)", "after", def},
      {"#SetScenarioHero 9, 6", "SetHero(6)", "after", def},
      {"#PairEnding", "SetFastForward(0)", "after", def},
      {"#SetSprite 1, 2", "SetSprite(1,2)", "after", def},
      {"#SetSpriteFlg \"AddBlend\", 1\n#SetSpriteFlg \"WaitCheck\", 0\n#SetSpriteFlg \"Other\", 1",
       "SetAddBlend(1); SetWaitCheck(0)", "after", def},
      {"#SpriteAnimeClear 1, 2", "SpriteAnimeClear(1,2)", "after", def},
      {"#SpriteAnimeMove 1, 2, 3, 4, 5, 6", "SpriteAnimeMove(1,2,3,4,5,6)", "after", def},
      {"#SpriteAnimeMoveD 1, 2, 3, 4, 5, 6", "SpriteAnimeMoveD(1,2,3,4,5,6)", "after", def},
      {"#SpriteAnimeMoveDA 1, 2, 3, 4, 5, 6", "SpriteAnimeMoveDA(1,2,3,4,5,6)", "after", def},
      {"#SpriteAnimeRot 1, 2, 3, 4, 5, 6, 7", "SpriteAnimeRot(1,2,3,4,5,6,7)", "after", def},
      {"#SpriteAnimeRotD 1, 2, 3, 4, 5, 6, 7", "SpriteAnimeRotD(1,2,3,4,5,6,7)", "after", def},
      {"#SpriteAnimeRotDA 1, 2, 3, 4, 5, 6, 7", "SpriteAnimeRotDA(1,2,3,4,5,6,7)", "after", def},
      {"#SpriteAnimeScale 1, 150, 50, 3, 4, 5", "SpriteAnimeScale(1,1.5,0.5,3,4,5)", "after", def},
      {"#SpriteAnimeScaleD 1, 150, 50, 3, 4, 5", "SpriteAnimeScaleD(1,1.5,0.5,3,4,5)", "after", def},
      {"#SpriteAnimeScaleDA 1, 150, 50, 3, 4, 5", "SpriteAnimeScaleDA(1,1.5,0.5,3,4,5)", "after", def},
      {"#SpriteAnimeColor 1, 10, 20, 30, 40, 50, 6, 7", "SpriteAnimeColor(1,20,30,40,10,50,6,7)", "after", def},
      {"#SpriteAnimeColorD 1, 10, 20, 30, 40, 50, 6, 7", "SpriteAnimeColorD(1,20,30,40,10,50,6,7)", "after", def},
      {"#SpriteAnimeColorDA 1, 10, 20, 30, 40, 50, 6, 7", "SpriteAnimeColorDA(1,20,30,40,10,50,6,7)", "after", def},
      {"#SpriteAnimeWait 1, 2, 3, 4", "SpriteAnimeWait(1,2,3,4)", "after", def},
      {"#SpriteAnimeParts 1, 2, 3, 4, 5", "SpriteAnimeParts(1,2,3,4,5)", "after", def},
      {"#SpriteCut 1, 2, 3, 4", "SpriteCut(1,2,3,4)", "after", def},
      {"#EffectLoad \"e.png\", 2, 1", "LoadEffectLayer(2,e.png,1)", "after", def},
      {"#EffectIn 2, 300, \"p.tig\"", "EffectIn(2,300,p.tig)", "after", def},
      {"#EffectOut 2, 300, \"p.tig\"", "EffectOut(2,300,p.tig)", "after", def},
      {"#LensFlare 1, 2, 3, 4, 5", "LensFlare(1,2,3,4,5)", "after", def},
      {"#Zoom 1, 2, 3, 4, 5", "Zoom(1,2,3,4,5)", "after", def},
      {"#MessageOFF", "ShowWindow(0)", "after", def},
      {"#URLOpen \"https://example.org/\"\n#URLOpen \"/bin/sh\"",
       "SetFastForward(0); OpenUrl(https://example.org/); SetFastForward(0)", "after", def},
      {"#WaitDraw", "", "after", def},
      {"#SetSpriteImg \"s.png\"", "SetSpriteImg(s.png)", "after", def},
      {"#WaitDrawAnime", "", "after", def},
      {"#SpriteAnimeStart 3", "SpriteAnimeStart(3)", "after", def},
      {"#TalkClear", "TalkClear()", "after", def},
      {"#SetNegaeri 5000, 2", "", "after", def},
      {"#SetDoumeiReject 1, 300", "", "after", def},
      {"#StartSpriteMovie 1", "StartSpriteMovie(1)", "after", def},
      {"#SetSiroRoot 600, 2, 1", "", "after", def},
      {"#Wait_InputJump 100, *target", "", "after", def},
      {"#OnlyNextCom 1", "SetOnlyNextCommand(1)", "after", def},
      {"#HideDaimyoInfo 300, 1", "", "after", def},
      {"#SetBusyoParam 5000, \"" + U8(u8"兵数") + "\", 20", "", "after", def},
      {"#SwVar $a, {10:x}", "", "after", "a=42 b=3 c=1"},
  };
}

TEST_F(InterpTest, EveryOpcodeDecodesAndRunsAgainstTheRecordingPresenter) {
  ScopedGameRandOverride rand([] { return 17; });
  presenter_.chosenLabel = 2;  // *target
  std::set<int> covered;
  for (const OpRow& row : OpcodeRows()) {
    SCOPED_TRACE(row.line);
    log_.clear();
    ResetScriptFirstRunFlag();
    GameMode = game_mode::kMainScript;
    TurnCounter = 42;
    v4fmt::CompiledScriptSet set = Load(kPreamble + row.line + kTail + row.tail);
    RunToEnd();
    EXPECT_EQ(Log(), row.log);
    // The run ends exactly on the #End of the expected label: every operand was read whole.
    EXPECT_EQ(GetAdvScript().pc, LabelOffset(set, row.end));
    EXPECT_TRUE(GetScriptFault().empty()) << GetScriptFault();
    if (!row.state.empty()) {
      EXPECT_EQ(State(), row.state);
    }
    std::istringstream lines(row.line);
    for (std::string l; std::getline(lines, l);) {
      if (!l.empty() && l[0] == '#') covered.insert(FindAdvOpcode(l.substr(0, l.find(' ')).c_str()));
      if (l.rfind(">>", 0) == 0) covered.insert(l[2] == '+' ? kOpTalkStartAdd : kOpTalkStart);
    }
  }
  covered.insert(kOpTalkEnd);  // every message closes with it
  covered.insert(kOpEnd);
  covered.insert(kOpSubEnd);
  for (int op = 1; op <= kAdvOpcodeCount; ++op) {
    if (GetAdvOpcodeInfo(op).name[0]) {
      EXPECT_TRUE(covered.count(op)) << "opcode " << op << " not in the table";
    }
  }
  // The rows that write the world and the strategy event map leave them as they were.
  BusyoTable[5].appearYear = 0;
  KuniTable[3].passFlags = 0;
  SlgEventMap.erase(300u);
}

TEST_F(InterpTest, OpcodeSideEffectsOnTheStateAndTheWorld) {
  Load(std::string(kPreamble) +
       "#WatchSw $a\n#BlockLabel \"blk\"\n#SetTjYear 5, 77\n#SetShuuLimit 3, 0, 1, 1\n"
       "#SetKuniLimit 4, 1, 1\n#SetKuniLimit 4, 0, 1\n#SetMeetSw 12, 300, \"name\", 1, 0, \"x\"\n#EXIT 0\n#End\n");
  KuniTable[3].passFlags = 0;
  KuniTable[4].passFlags = 0;
  RunToEnd();
  AdvScript& s = GetAdvScript();
  EXPECT_TRUE(s.IsSwitchWatched(7));
  EXPECT_STREQ(s.blockLabel, "blk");
  EXPECT_EQ(BusyoTable[5].appearYear, 77);
  EXPECT_EQ(KuniTable[3].passFlags, 0x0C);  // field 0 sits at bits 2..3: 1 + 2 * 1
  EXPECT_EQ(KuniTable[4].passFlags, 0x03);
  ASSERT_EQ(SlgEventMap.count(300u), 1u);
  EXPECT_EQ(SlgEventMap[300u].key, 12);
  EXPECT_EQ(SlgEventMap[300u].flags, 1);
  EXPECT_TRUE(g_QuitRequested.load());
  s.RemoveWatchSwitch(7);
  SlgEventMap.erase(300u);
  BusyoTable[5].appearYear = 0;
  KuniTable[3].passFlags = KuniTable[4].passFlags = 0;
}

// Bytes written from the encoding itself, not by the assembler, so that the two cannot drift
// together: header (opcode, u16 file, u16 line), then the operands in stream order.
TEST_F(InterpTest, HandWrittenBytecodeRuns) {
  std::vector<uint8_t> code = {
      0x08, 0,   0,   1, 0, 7, 0, 0, 0, 0x00, 5,  0,    0,    0,                          // #SwVar $7, 5
      0x0F, 0,   0,   2, 0, 1, 0, 0, 0, 1,    0,  0,    0,    'A',  0,                    // #TalkStart 1, 1, "A",
      1,    'h', 'i', 0, 0, 0, 0, 0, 0, 0,    0,  0xFF, 0xFF, 0xFF, 0xFF,                 //   ("hi", "", 0, 0, 0, -1)
      0x11, 0,   0,   3, 0,                                                               // #TalkEnd
      0x03, 0,   0,   4, 0, 1, 7, 0, 0, 0,    0,  0x12, 0,    0,    0,    0, 5, 0, 0, 0,  // #If $7 == 5
      2,    0,   0,   0, 0,                                                               //   (terminator)
      0x02, 0,   0,   5, 0, 1, 0, 0, 0,                                                   // #Goto label 1
      0x08, 0,   0,   6, 0, 8, 0, 0, 0, 4,    10, 1,    'x',  0,                          // #SwVar $8, {10:x}
      0x2D, 0,   0,   7, 0,                                                               // #End
      0x08, 0,   0,   8, 0, 9, 0, 0, 0, 0x00, 1,  0,    0,    0,                          // label 1: #SwVar $9, 1
      0x2D, 0,   0,   9, 0,                                                               // #End
  };
  LoadBytes(code);
  AdvScript& s = GetAdvScript();
  s.labelOffsets[1] = static_cast<uint32_t>(code.size() - 19);
  TurnCounter = 23;
  RunToEnd();
  EXPECT_EQ(Log(), "SetMessage(1,A,hi,1,1); ClearFile(2)");
  EXPECT_EQ(s.switches[7], 5);
  EXPECT_EQ(s.switches[8], 23);  // the true #If skipped exactly its #Goto
  EXPECT_EQ(s.switches[9], 0);
  EXPECT_EQ(s.lineNumber, 7u);
  EXPECT_EQ(s.pc, code.size() - 24);
}

// In debug mode the story (game mode 0) shows every change of a watched switch, and #BreakSw shows
// the switches it lists; outside debug mode neither shows anything.
TEST_F(InterpTest, DebugWatchAndBreakBoxes) {
  for (bool debug : {false, true}) {
    SCOPED_TRACE(debug);
    services_.debug = debug;
    boxes_.boxes.clear();
    log_.clear();
    Load("$hp@7 = 5\n*s\n#WatchSw $hp\n#SwVar $hp, 9\n#BreakSw $hp\n#End\n");
    GetAdvScript().SnapshotSwitches();
    RunToEnd();
    EXPECT_EQ(boxes_.Has("WatchSw 変数の変化"), debug);
    EXPECT_EQ(Log(), debug ? U8(u8"DebugBox(\nSW[hp]=9|BreakSw スイッチリスト)") : "");
    GetAdvScript().RemoveWatchSwitch(7);
  }
  services_.debug = false;
}

TEST_F(InterpTest, ModeChangingOpcodes) {
  struct Case {
    const char* line;
    int32_t mode;
  } cases[] = {
      {"#MainMenu", game_mode::kIdle}, {"#SLGmode", game_mode::kSlg}, {"#PairEnding", game_mode::kPairedEnding}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    GameMode = game_mode::kMainScript;
    Load(std::string(kPreamble) + c.line + kTail);
    clock_ += 10;
    EXPECT_TRUE(RunScript(GetAdvScript()));  // these yield
    EXPECT_EQ(GameMode, c.mode);
    EXPECT_EQ(GetAdvScript().savePointMessage, 0u);
  }
}

// ---------------------------------------------------------------------------------------------
// Conditions and switch arithmetic

TEST(InterpCondition, FoldsLeftToRightWithoutPrecedence) {
  struct Case {
    std::vector<int32_t> v;
    bool expect;
  } cases[] = {
      {{}, false},  // only the terminator
      {{0}, false},
      {{7}, true},
      {{5, kCondGt, 3, kCondAnd, 0, kCondEq, 0}, true},  // 5 > 3 AND 0 == 0
      {{5, kCondGt, 3, kCondAnd, 1, kCondEq, 0}, false},
      {{1, kCondOr, 0, kCondAnd, 0}, false},  // (1 OR 0) AND 0, not 1 OR (0 AND 0)
      {{0, kCondAnd, 0, kCondOr, 1}, true},   // (0 AND 0) OR 1
      {{3, kCondEq, 3}, true},
      {{3, kCondNe, 3}, false},
      {{2, kCondLt, 3}, true},
      {{3, kCondGe, 3}, true},
      {{4, kCondLe, 3}, false},
      {{3, 0x10, 3}, false},  // comparison codes 0 and 1 are false
      {{3, 0x11, 3}, false},
      {{-1, kCondLt, 0}, true},         // signed
      {{0, 0x08 | kCondAnd, 1}, true},  // negation bit: NOT 0 AND 1
      {{1, 0x08 | kCondOr, 0}, false},  // NOT 1 OR 0
      {{1, 0x05, 0}, true},             // an unknown joiner keeps the result
      {{1, kCondAnd}, true},            // a trailing joiner joins nothing
      {{5, kCondGt}, false},            // a comparison without its right side
  };
  for (const Case& c : cases) {
    std::string desc;
    for (int32_t x : c.v) desc += std::to_string(x) + " ";
    EXPECT_EQ(EvalScriptCondition(c.v.data(), c.v.size()), c.expect) << desc;
  }
}

TEST_F(InterpTest, SwitchArithmeticTable) {
  struct Case {
    int32_t start;
    int op;
    int32_t v;
    int32_t expect;
  } cases[] = {
      {6, 0, 7, 42},
      {7, 1, 2, 3},
      {7, 1, 0, 7},  // division by 0 divides by 1
      {-7, 1, 2, -3},
      {1, 2, 2, 3},
      {1, 3, 2, -1},
      {1, 4, 9, 9},
      {1, 5, 9, 1},                  // an unknown op changes nothing
      {INT32_MAX, 2, 1, INT32_MIN},  // wraps, never traps
      {INT32_MIN, 3, 1, INT32_MAX},
      {INT32_MIN, 1, -1, INT32_MIN},
      {0x10000, 0, 0x10000, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << " op " << c.op << " " << c.v);
    Load("$x@7 = 0\n*s\n#SwCalcu $x, " + std::to_string(c.op) + ", " + std::to_string(c.v) + "\n#End\n");
    GetAdvScript().switches[7] = c.start;
    RunToEnd();
    EXPECT_EQ(GetAdvScript().switches[7], c.expect);
  }
  // #SwAdd and #SwDec wrap the same way.
  Load("$x@7 = 2147483647\n$y@8 = -2147483648\n*s\n#SwAdd $x, 1\n#SwDec $y, 1\n#End\n");
  RunToEnd();
  EXPECT_EQ(GetAdvScript().switches[7], INT32_MIN);
  EXPECT_EQ(GetAdvScript().switches[8], INT32_MAX);
}

TEST_F(InterpTest, SmallestAndLargestWithTiesBrokenAtRandom) {
  const std::string src = "$d@5 = 9\n$p@7 = 3\n$q@8 = 1\n$r@9 = 1\n*s\n#SwMini $d, $p, $q, $r\n#End\n";
  Load(src);
  RunToEnd();
  EXPECT_EQ(GetAdvScript().switches[5], 1);  // the first of the equal smallest
  std::set<int32_t> seen;
  for (int draw = 0; draw < 4; ++draw) {
    ScopedGameRandOverride rand([draw] { return draw; });
    Load("$d@5 = 9\n$p@7 = 3\n$q@8 = 1\n$r@9 = 1\n*s\n#SwMiniRnd $d, $p, $q, $r\n#End\n");
    RunToEnd();
    seen.insert(GetAdvScript().switches[5]);
  }
  EXPECT_EQ(seen, (std::set<int32_t>{1, 2}));
  Load("$d@5 = 9\n$p@7 = 3\n$q@8 = 8\n$r@9 = 8\n*s\n#SwMax $d, $p, $q, $r\n#End\n");
  RunToEnd();
  EXPECT_EQ(GetAdvScript().switches[5], 1);
}

TEST_F(InterpTest, IfGotoOnceJumpsOnlyTheFirstTime) {
  auto set = Load(
      "$g@7 = 0\n$n@8 = 0\n*s\n*loop\n#SwAdd $n, 1\n#IfGotoOnce $g, $n > 1\n#Goto *hit\n"
      "#IfGoto $n < 5\n#Goto *loop\n#End\n*hit\n>> A\nhit\n<<\n#Goto *loop\n");
  RunToEnd();
  int hits = 0;
  for (const auto& l : log_) hits += l.rfind("SetMessage", 0) == 0;
  EXPECT_EQ(hits, 1);
  EXPECT_EQ(GetAdvScript().switches[8], 5);
}

// ---------------------------------------------------------------------------------------------
// Waits on the virtual clock

TEST_F(InterpTest, TimedWaitRunsOnTheSceneClock) {
  Load("*s\n#Wait 3000\n>> A\nafter\n<<\n#End\n");
  AdvScript& s = GetAdvScript();
  clock_ += 16;
  EXPECT_TRUE(RunScript(s));  // the wait starts
  clock_ += 2999;
  EXPECT_TRUE(RunScript(s));
  EXPECT_TRUE(log_.empty());
  clock_ += 1;
  EXPECT_FALSE(RunScript(s));  // 3000 ms passed: the script goes on to its end
  ASSERT_FALSE(log_.empty());
  EXPECT_EQ(log_[0], "SetMessage(1,A,after,1,1)");
}

TEST_F(InterpTest, WaitInputJumpEndsByTimeOrJumpsOnInput) {
  const std::string src = "*s\n#Wait_InputJump 3000, *jump\n>> A\nafter\n<<\n#End\n*jump\n>> A\njumped\n<<\n#End\n";
  Load(src);
  AdvScript& s = GetAdvScript();
  clock_ += 16;
  EXPECT_TRUE(RunScript(s));
  clock_ += 3000;
  EXPECT_FALSE(RunScript(s));
  EXPECT_EQ(log_.front(), "SetMessage(1,A,after,1,1)");
  EXPECT_EQ(s.waitJumpLabel, -1);

  log_.clear();
  Load(src);
  clock_ += 16;
  EXPECT_TRUE(RunScript(s));
  clock_ += 1000;
  presenter_.advanceInput = true;
  EXPECT_TRUE(RunScript(s));  // the jump is taken and still counts as a wait for this frame
  EXPECT_TRUE(log_.empty());
  presenter_.advanceInput = false;
  EXPECT_FALSE(RunScript(s));
  EXPECT_EQ(log_.front(), "SetMessage(2,A,jumped,1,1)");
}

TEST_F(InterpTest, DrawingWaitsFollowTheirConditions) {
  struct Case {
    const char* src;  // the instruction under test comes right before *e
    bool RecordingPresenter::*busy;
    bool waits;
  } cases[] = {
      {">> A\nx\n<<", &RecordingPresenter::messageBusy, true},
      {"#Select *e, \"a\"\n#SelectEnd", &RecordingPresenter::messageBusy, true},
      {"#BGLoad \"x\", 0, 1", &RecordingPresenter::pageSwapping, true},
      {"#BGLoad \"x\", 0, 1", &RecordingPresenter::charMoving, false},
      {"#WaitDraw", &RecordingPresenter::charMoving, true},
      {"#WaitDraw", &RecordingPresenter::transition, true},
      {"#WaitDraw", &RecordingPresenter::zoom, true},
      {"#WaitDraw", &RecordingPresenter::movie, true},
      {"#WaitDraw", &RecordingPresenter::spriteAnimating, false},
      {"#WaitDrawAnime", &RecordingPresenter::spriteAnimating, true},
      {"#WaitDrawAnime", &RecordingPresenter::pageSwapping, true},
      {"#SwVar $x, 1", &RecordingPresenter::messageBusy, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.src);
    const std::string src = std::string("$x@7 = 0\n*s\n#Label\n") + c.src + "\n*e\n#End\n";
    auto set = Load(src);
    AdvScript& s = GetAdvScript();
    presenter_.chosenLabel = 1;  // *e
    presenter_.*c.busy = true;
    clock_ += 16;
    RunScript(s);
    const uint32_t at = s.pc;
    clock_ += 16;
    bool more = RunScript(s);
    if (c.waits) {
      EXPECT_TRUE(more);
      EXPECT_EQ(s.pc, at);  // still before the waiting instruction
      EXPECT_LT(at, LabelOffset(set, "e"));
    }
    presenter_.*c.busy = false;
    RunToEnd();
    EXPECT_EQ(s.pc, LabelOffset(set, "e"));
    // Fast-forward never waits: the run ends within the yields of the instructions themselves
    // (a choice turns fast-forward off, so it is left out here).
    if (std::string(c.src).rfind("#Select", 0) == 0) continue;
    Load(src);
    presenter_.*c.busy = true;
    presenter_.fastForward = presenter_.keepFastForward = true;
    EXPECT_LE(RunToEnd(10), 3);
    EXPECT_EQ(s.pc, LabelOffset(set, "e"));
    presenter_.*c.busy = false;
    presenter_.fastForward = presenter_.keepFastForward = false;
  }
}

TEST_F(InterpTest, NoSceneMeansNoWait) {
  SetAdvPresenter(nullptr);
  Load("*s\n#Wait 5000\n#WaitDraw\n#End\n");
  EXPECT_EQ(RunToEnd(10, 1), 2);  // the two yields, then the end, without any time passing
  SetAdvPresenter(&presenter_);
}

// A message with nowhere to be shown (no scene, none could be made) is not spoken either; its
// voice is used up as with a shown message.
TEST_F(InterpTest, NoSceneMeansNoVoice) {
  SetAdvPresenter(nullptr);
  Load("$v@7 = 2\n*s\n#VoiceStart $v, \"v.voi\", 5\n>> Hana\none\n<<\n#End\n");
  RunToEnd();
  SetAdvPresenter(&presenter_);
  EXPECT_EQ(Log().find("PlayVoice"), std::string::npos) << Log();
  EXPECT_EQ(GetAdvScript().voicePending, 0);
  GetAdvScript().readMessages[1] = 0;
}

// ---------------------------------------------------------------------------------------------
// Messages and voices

TEST_F(InterpTest, MessagesMarkTheSavePointTheReadFlagAndTheBacklog) {
  auto set = Load(
      "$v@7 = 2\n*s\n#SwVar $v, 4\n#VoiceStart $v, \"Data\\voice\\a.voi\", 5\n>> Hana\none\n<<\n"
      ">> Hana\ntwo\n<<-\n#End\n");
  AdvScript& s = GetAdvScript();
  s.ClearBacklog();
  presenter_.skip = true;  // skip mode: the voice is handed on but not played
  RunToEnd();
  EXPECT_TRUE(s.IsMessageReadFlag(1));
  EXPECT_TRUE(s.IsMessageReadFlag(2));
  EXPECT_EQ(s.savePointMessage, 2u);
  EXPECT_EQ(s.savePointSwitches[7], 4);
  // Only the message that waited for the player reaches the backlog, with its voice.
  ASSERT_EQ(s.GetBacklogCount(), 1u);
  EXPECT_STREQ(s.GetBacklogEntry(0)->text, "one");
  EXPECT_STREQ(s.GetBacklogEntry(0)->voiceName, "Data\\voice\\a.voi");
  EXPECT_EQ(s.GetBacklogEntry(0)->voiceNumber, 4);
  EXPECT_EQ(s.voicePending, 0);
  EXPECT_EQ(Log(),
            "SetMessage(1,Hana,one,1,1); VoiceVolume(4); SetBacklogVoice(Data\\voice\\a.voi,4,5); ClearFile(2); "
            "SetMessage(2,Hana,two,1,1); ClearFile(2)");
  s.readMessages[1] = s.readMessages[2] = 0;
}

// ---------------------------------------------------------------------------------------------
// Faults of a malformed set

std::vector<uint8_t> Encode(std::vector<v4fmt::ScriptInstruction> list) {
  std::vector<uint8_t> out;
  for (const auto& ins : list) EXPECT_TRUE(v4fmt::EncodeScriptInstruction(ins, out));
  return out;
}
v4fmt::ScriptOperand Num(char shape, uint32_t n) {
  v4fmt::ScriptOperand o;
  o.shape = shape;
  o.num = n;
  return o;
}
v4fmt::ScriptOperand ImmOp(int32_t v) {
  v4fmt::ScriptOperand o;
  o.shape = 'v';
  o.val = v4fmt::ScriptValue::Imm(v);
  return o;
}
v4fmt::ScriptInstruction Ins(uint8_t op, std::vector<v4fmt::ScriptOperand> ops = {}) {
  v4fmt::ScriptInstruction i;
  i.opcode = op;
  i.ops = std::move(ops);
  return i;
}

TEST_F(InterpTest, ReadingPastTheBytecodeEndsTheScriptWithAnError) {
  struct Case {
    const char* what;
    std::vector<uint8_t> code;
  };
  std::vector<uint8_t> truncated = Encode({Ins(kOpSwVar, {Num('s', 7), ImmOp(1)})});
  truncated.resize(truncated.size() - 2);
  std::vector<uint8_t> noTerminator = {kOpPlayMovie, 0, 0, 1, 0, 'a', 'b'};
  std::vector<uint8_t> badCall = {kOpWait, 0, 0, 1, 0, kValCall, 10, 2, 'a', 'b', 'c'};  // no NUL after 2 bytes
  std::vector<uint8_t> longCond = {kOpIf, 0, 0, 1, 0};
  for (int i = 0; i < 257; ++i) longCond.insert(longCond.end(), {kValImm, 1, 0, 0, 0});
  longCond.insert(longCond.end(), {kValEnd, 0, 0, 0, 0});
  std::vector<uint8_t> hugeList = {kOpSwGoto, 0, 0, 1, 0, 7, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F};
  Case cases[] = {
      {"no #End", Encode({Ins(kOpSwVar, {Num('s', 7), ImmOp(1)})})},
      {"empty bytecode", {}},
      {"truncated operand", truncated},
      {"string without terminator", noTerminator},
      {"call argument without terminator", badCall},
      {"condition of 257 values", longCond},
      {"switch list longer than the bytecode", hugeList},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    boxes_.boxes.clear();
    ClearScriptFault();
    LoadBytes(c.code);
    if (c.code.empty()) GetAdvScript().bytecodeSize = 0;
    EXPECT_EQ(RunToEnd(5), 0);
    EXPECT_FALSE(GetScriptFault().empty());
    EXPECT_TRUE(boxes_.Has("SCRIPT ERROR"));
    EXPECT_LE(GetAdvScript().pc, GetAdvScript().bytecodeSize);
  }
}

TEST_F(InterpTest, OutOfRangeNumbersAreReportedAndSkipped) {
  struct Case {
    const char* what;
    std::vector<v4fmt::ScriptInstruction> code;
  } cases[] = {
      {"switch write", {Ins(kOpSwVar, {Num('s', 9000), ImmOp(1)})}},
      {"switch read", {Ins(kOpSwGoto, {Num('s', 70000), Num('G', 0)})}},
      {"label", {Ins(kOpGoto, {Num('l', 5000)})}},
      {"gosub offset", {Ins(kOpGosub, {Num('o', 16000000)})}},
      {"jump offset past the code", {Ins(kOpComJump, {Num('o', 100000)})}},
      {"wait jump label", {Ins(kOpWaitInputJump, {ImmOp(0), Num('l', 4096)})}},
      {"extras label", {Ins(kOpEventFlagOn, {Num('l', 4096)})}},
      {"effect slot",
       {Ins(kOpSeStart, {ImmOp(4),
                         [] {
                           v4fmt::ScriptOperand o;
                           o.shape = 'S';
                           o.str = "x";
                           return o;
                         }(),
                         ImmOp(0), Num('w', 0), Num('w', 0)})}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    boxes_.boxes.clear();
    ClearScriptFault();
    std::vector<v4fmt::ScriptInstruction> code = c.code;
    if (std::string(c.what) == "switch read") code[0].ops[1].list = {5000};
    code.push_back(Ins(kOpSwVar, {Num('s', 7), ImmOp(77)}));
    code.push_back(Ins(kOpEnd));
    LoadBytes(Encode(code));
    RunToEnd(5);
    EXPECT_TRUE(GetScriptFault().empty()) << GetScriptFault();
    EXPECT_FALSE(boxes_.boxes.empty());
    EXPECT_EQ(GetAdvScript().switches[7], 77);  // went on after the instruction
  }
}

TEST_F(InterpTest, SwGotoOutOfRangeShowsItsMessageAndGoesOn) {
  Load("$x@7 = 5\n*s\n#SwGoto $x, *s, *a\n>> A\non\n<<\n#End\n*a\n#End\n");
  RunToEnd();
  EXPECT_TRUE(boxes_.Has("SwGoto:パラメーターエラー"));
  EXPECT_EQ(log_.front(), "SetMessage(1,A,on,1,1)");
}

TEST_F(InterpTest, ALoopWithoutAWaitGivesTheFrameBack) {
  Load("$n@7 = 0\n*loop\n#SwAdd $n, 1\n#Goto *loop\n");
  uint32_t budget = 1000;
  EXPECT_TRUE(RunScript(GetAdvScript(), &budget));
  EXPECT_TRUE(ScriptBudgetExhausted());
  EXPECT_EQ(budget, 0u);
  EXPECT_EQ(GetAdvScript().switches[7], 500);  // two instructions per round
}

TEST_F(InterpTest, ReturnWithoutACallQuits) {
  Load("*s\n#SubEnd\n#End\n");
  clock_ += 10;
  EXPECT_TRUE(RunScript(GetAdvScript()));
  EXPECT_TRUE(g_QuitRequested.load());
  EXPECT_TRUE(boxes_.Has("ERROR"));
}

TEST_F(InterpTest, UnknownOpcodesAreFiveByteNoOps) {
  std::vector<uint8_t> code = {200, 0, 0, 1, 0, 0, 0, 0, 2, 0};
  std::vector<uint8_t> tail = Encode({Ins(kOpSwVar, {Num('s', 7), ImmOp(3)}), Ins(kOpEnd)});
  code.insert(code.end(), tail.begin(), tail.end());
  LoadBytes(code);
  RunToEnd();
  EXPECT_TRUE(GetScriptFault().empty());
  EXPECT_EQ(GetAdvScript().switches[7], 3);
}

}  // namespace
}  // namespace v4test
