// Script start, the per-frame step by game mode, strategy events handing over to the strategy game
// and back, and the sample story run headless from its start to each of its ends.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/app_state.h"
#include "core/game_file.h"
#include "interp_test_support.h"
#include "scenario/interp/adv_interp.h"
#include "scenario/interp/adv_step.h"
#include "scenario/interp/adv_text_run.h"
#include "scenario/script/adv_script.h"
#include "core/step_machine.h"
#include "tests/support/game_data_folder.h"
#include "tests/world/world_fixture.h"
#include "world/turn/turn_state.h"
#include "world/turn/unification.h"
#include "world/world_ports.h"
#include "world/world_tables.h"

namespace v4test {
namespace {

// The strategy scene as the step sees it when the script hands back.
class RecordingSlgScene : public SlgScenePort {
 public:
  explicit RecordingSlgScene(std::vector<std::string>& log) : log_(log) {}
  void SetPhase(int phase) override { log_.push_back("SlgPhase(" + std::to_string(phase) + ")"); }
  void SetCurrentDaimyo(int clan) override { log_.push_back("SlgDaimyo(" + std::to_string(clan) + ")"); }
  void RefreshMapMenu() override { log_.push_back("SlgRefresh()"); }

 private:
  std::vector<std::string>& log_;
};

class StepTest : public InterpTest {
 protected:
  void SetUp() override {
    InterpTest::SetUp();
    SetSlgScenePort(&slg_);
    SetAdvPort(&GetScenarioAdvPort());
  }
  void TearDown() override {
    SetSlgScenePort(nullptr);
    SetAdvPort(nullptr);
    InterpTest::TearDown();
  }
  RecordingSlgScene slg_{log_};
};

TEST_F(StepTest, GameModeTransitions) {
  struct Case {
    int32_t mode;
    const char* body;  // script run from label 0 (null: none loaded is fine)
    int32_t expectMode;
    const char* expectLog;  // calls of the step, joined
  } cases[] = {
      {game_mode::kMainScript, "#End", game_mode::kIdle, "SetFastForward(0)"},
      {game_mode::kEventScript, "#End", game_mode::kScriptEnded, "SetFastForward(0); RequestScene(-1,0)"},
      {game_mode::kOtherScript, "#End", game_mode::kScriptEnded, "SetFastForward(0); RequestScene(-1,0)"},
      {game_mode::kMainScript, "#SLGmode", game_mode::kSlg, "SetFastForward(0); ApplySlgSoundConfig()"},
      {game_mode::kMainScript, "#MainMenu", game_mode::kIdle, "SetFastForward(0); StopAllSound()"},
      {game_mode::kEventScript, "#EventEnd\n#End", game_mode::kEventEnded,
       "SetFastForward(0); StopAllSound(); RequestScene(-1,0)"},
      {game_mode::kMainScript, "#EventEnd\n#End", game_mode::kIdle,
       "SetFastForward(0)"},  // #EventEnd acts only in mode 10
      {game_mode::kMainScript, "#PairEnding\n#End", game_mode::kPairedEnding, "SetFastForward(0)"},
      {game_mode::kPairedEnding, "#End", game_mode::kIdle, ""},
      {game_mode::kIdle, "#End", game_mode::kIdle, "ChangeScene(1,0)"},
      {game_mode::kStartSlg, "#End", game_mode::kSlg, "SlgStartRequest(7); ApplySlgSoundConfig(); ResetStepMachine()"},
      {game_mode::kLabelJump1, "#End", game_mode::kLabelJump2, ""},
      {game_mode::kLabelJump2, "#End", game_mode::kIdle, ""},
      {game_mode::kBackToTitle, "#End", game_mode::kScriptEnded, "ChangeScene(1,0); ForceTitleMenuPhase()"},
      {game_mode::kSlg, "#End", game_mode::kSlg, ""},
      {game_mode::kFrontScreen, "#End", game_mode::kFrontScreen, ""},
      {game_mode::kDialog, "#End", game_mode::kDialog, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << ": " << c.body);
    Load(std::string("$w@1 = 33\n*s\n") + c.body + "\n");
    log_.clear();
    services_.currentScene = 2;
    GameMode = c.mode;
    PlayerDaimyoId = 4;
    clock_ += 20;
    StepAdvScript();
    EXPECT_EQ(GameMode, c.expectMode);
    EXPECT_EQ(Log(), c.expectLog);
    if (c.mode == game_mode::kStartSlg) {
      EXPECT_EQ(PlayerDaimyoId, 255);
      EXPECT_EQ(ReturnToSlgFlag, 1);
    }
  }
}

// An event replayed with the debug jump's stay argument keeps the scenario scene at #EventEnd.
TEST_F(StepTest, EventEndWithStayKeepsTheScene) {
  Load("*s\n#EventEnd\n>> A\nstill here\n<<\n#End\n");
  GetAdvScript().eventArgument = 1;
  GameMode = game_mode::kEventScript;
  StepAdvScript();
  EXPECT_EQ(GameMode, game_mode::kEventScript);
  EXPECT_EQ(Log(), "SetFastForward(0); StopAllSound()");
  StepAdvScript();
  EXPECT_EQ(log_[2], "SetMessage(1,A,still here,1,1)");
  EXPECT_EQ(GameMode, game_mode::kScriptEnded);  // its #End then returns to the previous scene
}

TEST_F(StepTest, DebugRunContinuesAtItsLabel) {
  auto set = Load("*s\n#End\n*second\n>> A\nsecond part\n<<\n#End\n");
  AdvDebugLabel = 1;
  GameMode = game_mode::kLabelJump1;
  StepAdvScript();
  EXPECT_EQ(GameMode, game_mode::kLabelJump2);
  EXPECT_EQ(GetAdvScript().pc, LabelOffset(set, "second"));
  StepAdvScript();
  EXPECT_EQ(GameMode, game_mode::kIdle);
  EXPECT_EQ(log_.front(), "SetMessage(1,A,second part,1,1)");
  AdvDebugLabel = 0;
}

// A strategy event starts the script at label 0 with the event number in switch 0; the script
// hands over to the strategy game and the turn loop's ReturnToSlgScene brings the map back.
TEST_F(StepTest, StrategyEventStartsAScriptAndHandsBack) {
  Load(
      "$event@0 = 0\n$word@1 = 0\n*s\n#SwGoto $event, *story, *turn\n#End\n*story\n#End\n"
      "*turn\n#SwVar $word, 41\n>> A\nnew season\n<<\n#SLGmode\n");
  GameMode = game_mode::kSlg;
  services_.currentScene = 3;
  Adv().StartAdvEvent(1, 0, nullptr, false);
  EXPECT_EQ(GameMode, game_mode::kMainScript);
  EXPECT_EQ(GetAdvScript().switches[0], 1);
  EXPECT_EQ(AdvEventNumber, 1u);
  for (int frame = 0; frame < 10 && GameMode != game_mode::kSlg; ++frame) {
    clock_ += 17;
    StepAdvScript();
  }
  EXPECT_EQ(GameMode, game_mode::kSlg);
  EXPECT_EQ(ReturnToSlgFlag, 1);
  EXPECT_EQ(AdvSlgWord, 41u);  // event 1 hands switch 1 to the unification declaration
  EXPECT_EQ(ActingSideFlag, 1);
  EXPECT_NE(std::find(log_.begin(), log_.end(), "SetMessage(1,A,new season,1,1)"), log_.end());
  // The scenario scene became current for the message; the turn loop's call changes back once.
  services_.currentScene = 2;
  PlayerDaimyoId = 6;
  log_.clear();
  EXPECT_TRUE(Adv().ReturnToSlgScene());
  EXPECT_EQ(Log(), "ChangeScene(3,0); SlgDaimyo(6); SlgPhase(0); SlgRefresh()");
  EXPECT_EQ(ReturnToSlgFlag, 0);
  EXPECT_FALSE(Adv().ReturnToSlgScene());
  // A flag raised while the strategy scene is already current is cleared without a change.
  ReturnToSlgFlag = 1;
  log_.clear();
  EXPECT_FALSE(Adv().ReturnToSlgScene());
  EXPECT_EQ(ReturnToSlgFlag, 0);
  EXPECT_TRUE(log_.empty());
}

TEST_F(StepTest, EventsStartAtNamedLabelsAndRespectTheBlock) {
  auto set = Load("$event@0 = 0\n*s\n#End\n*visit\n#End\n");
  GameMode = game_mode::kSlg;
  StartAdvEvent(4, 0, "visit", true);
  EXPECT_EQ(GetAdvScript().pc, LabelOffset(set, "visit"));
  EXPECT_EQ(Log(), "ApplyStorySoundConfig(); ChangeScene(2,0)");
  EXPECT_EQ(GetAdvScript().switches[0], 4);
  // An unknown label shows the event error and leaves the start of the set.
  StartAdvEvent(4, 0, "nowhere", false);
  EXPECT_TRUE(boxes_.Has("EVENT ERR!"));
  EXPECT_EQ(GetAdvScript().pc, 0u);

  StoryEventBlockFlag = 1;
  log_.clear();
  GameMode = game_mode::kSlg;
  StartAdvEvent(1, 0, nullptr, true);
  StartAdvScript(3);
  EXPECT_EQ(GameMode, game_mode::kSlg);  // nothing at all happened
  EXPECT_TRUE(log_.empty());
  StoryEventBlockFlag = 0;
  StartAdvScript(3);  // keeps the loaded set
  EXPECT_EQ(GameMode, game_mode::kMainScript);
  EXPECT_EQ(GetAdvScript().switches[0], 3);
  EXPECT_EQ(GetAdvScript().pc, 0u);
}

TEST_F(StepTest, FastForwardRunsToTheNextRealStopWithinOneFrame) {
  Load(
      "*s\n>> A\none\n<<\n#Wait 9000\n>> A\ntwo\n<<\n#WaitDraw\n>> A\nthree\n<<\n"
      "#Select *s, \"again\", *e, \"end\"\n#SelectEnd\n*e\n#End\n");
  presenter_.fastForward = presenter_.keepFastForward = true;
  presenter_.messageBusy = true;
  GameMode = game_mode::kMainScript;
  StepAdvScript();
  // Every message of the way, then the choice turned fast-forward off and the frame ended there.
  int messages = 0;
  for (const auto& l : log_) messages += l.rfind("SetMessage", 0) == 0;
  EXPECT_EQ(messages, 3);
  EXPECT_EQ(log_.back(), "SetChoices(0:again,1:end)");
  EXPECT_EQ(GameMode, game_mode::kMainScript);
  // The wait passed over during fast-forward does not hold the choice once it is answered.
  presenter_.messageBusy = false;
  presenter_.chosenLabel = 1;
  for (int frame = 0; frame < 2; ++frame) {  // #SelectEnd jumps and yields; #End follows
    clock_ += 17;
    StepAdvScript();
  }
  EXPECT_EQ(GameMode, game_mode::kIdle);
}

TEST_F(StepTest, AnEndlessLoopDoesNotHangTheFrame) {
  Load("$n@7 = 0\n*loop\n#SwAdd $n, 1\n#Goto *loop\n");
  presenter_.fastForward = presenter_.keepFastForward = true;
  StepAdvScript();
  EXPECT_TRUE(ScriptBudgetExhausted());
  EXPECT_EQ(GameMode, game_mode::kMainScript);
  EXPECT_EQ(GetAdvScript().switches[7], static_cast<int32_t>(kAdvStepBudget / 2));
}

// ---------------------------------------------------------------------------------------------
// The sample story, built by the data step, through the headless runner

class SampleStory : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SetModuleDirFromHost(V4_TEST_GAME_DIR)); }
  void TearDown() override {
    GameMode = game_mode::kIdle;
    GetAdvScript().loaded = 0;
  }
  static bool Has(const TextRunResult& r, const std::string& line) {
    return std::find(r.lines.begin(), r.lines.end(), line) != r.lines.end();
  }
};

TEST_F(SampleStory, EveryRoadOfTheMainSetReachesItsEnd) {
  struct Case {
    std::vector<int> choose;
    TextRunStop stop;
    std::string lastLine;
  } cases[] = {
      {{1, 1},
       TextRunStop::kSlgMode,
       U8(u8": 狭い谷を知り尽くした里の兵は、大軍の足を止めるにはうってつけだった。"
          u8"ここから先は、殿の采配ひとつにかかっている。")},
      {{2, 2}, TextRunStop::kEnd, U8(u8": ―― 籠城の章・了 ――")},
      {{1, 3}, TextRunStop::kMainMenu, U8(u8": ―― 和議の章・了 ――")},
      {{}, TextRunStop::kSlgMode, ""},  // no answers: the first option every time
  };
  for (const Case& c : cases) {
    TextRunOptions o;
    o.choices = c.choose;
    TextRunResult r = RunScriptAsText(o);
    SCOPED_TRACE(testing::Message() << "choices " << c.choose.size() << " last "
                                    << (r.lines.empty() ? "" : r.lines.back()));
    EXPECT_EQ(r.stop, c.stop);
    EXPECT_TRUE(r.errors.empty()) << r.errors.front();
    EXPECT_EQ(r.choices, 2u);
    EXPECT_GE(r.messages, 30u);
    if (!c.lastLine.empty()) {
      EXPECT_EQ(r.lines.back(), c.lastLine);
    }
    // The opening narration has no speaker; the first choice is the 2-way one, the second 3-way.
    ASSERT_FALSE(r.lines.empty());
    EXPECT_EQ(r.lines.front().rfind(": ", 0), 0u);
    EXPECT_TRUE(Has(r, U8(u8"choice: 影丸を信じる | まずは確かめさせる")));
    EXPECT_TRUE(Has(r, U8(u8"choice: 打って出る | 城に籠もる | 和議を申し入れる")));
  }
  // The answers decide the branch lines.
  TextRunOptions trust;
  trust.choices = {1, 3};
  TextRunOptions doubt;
  doubt.choices = {2, 3};
  TextRunResult a = RunScriptAsText(trust), b = RunScriptAsText(doubt);
  EXPECT_TRUE(Has(a, U8(u8"影丸: ……ありがたき幸せ。この命、里のために。")));
  EXPECT_FALSE(Has(b, U8(u8"影丸: ……ありがたき幸せ。この命、里のために。")));
  EXPECT_TRUE(Has(b, U8(u8"源蔵: 書状は本物にございます。……殿が影丸を信じられたこと、正しゅうございましたな。")) ==
              false);
  EXPECT_TRUE(Has(a, U8(u8"源蔵: 書状は本物にございます。……殿が影丸を信じられたこと、正しゅうございましたな。")));
}

TEST_F(SampleStory, StrategyEventsOfTheMainSetHandBack) {
  // The strategy game's events come after its new-game event, which marks the realm begun ($realm);
  // without the mark, event 1 is the title's second act (below).
  ASSERT_TRUE(GetAdvScript().LoadScriptFiles(0));
  uint32_t realm = 0;
  for (uint32_t sw = 1; sw < GetAdvScript().switches.size() && !realm; ++sw)
    if (GetAdvScript().SwitchName(sw) == "realm") realm = sw;
  ASSERT_NE(realm, 0u) << "the main set names its realm mark";
  // Every event the strategy game starts hands back to it; the ending (8) returns to the title.
  for (int32_t event : {1, 2, 3, 4, 5, 6, 7, 8, 9, -1}) {
    TextRunOptions o;
    o.switches = {{0, event}, {realm, 1}};
    TextRunResult r = RunScriptAsText(o);
    EXPECT_EQ(r.stop, event == 8 ? TextRunStop::kEnd : TextRunStop::kSlgMode) << event;
    EXPECT_TRUE(r.errors.empty()) << event << ": " << r.errors.front();
    EXPECT_EQ(r.choices, 0u);
    if (event >= 1 && event <= 5) {
      EXPECT_GE(r.messages, 1u) << event;
    }
  }
  // The title's "第二幕から" (switch 0 = 1 on a freshly loaded set): the second act, with its
  // council's choice, into the strategy game.
  TextRunOptions act2;
  act2.switches = {{0, 1}};
  act2.choices = {1};
  const TextRunResult r = RunScriptAsText(act2);
  EXPECT_EQ(r.stop, TextRunStop::kSlgMode);
  EXPECT_EQ(r.choices, 1u);
  EXPECT_GE(r.messages, 12u);
}

TEST_F(SampleStory, EveryTutorialChapterEnds) {
  for (int32_t chapter = 0; chapter <= 8; ++chapter) {
    TextRunOptions o;
    o.set = 1;
    o.switches = {{0, chapter}};
    TextRunResult r = RunScriptAsText(o);
    EXPECT_EQ(r.stop, TextRunStop::kEnd) << chapter;
    EXPECT_GE(r.messages, 1u) << chapter;
    EXPECT_TRUE(r.errors.empty());
  }
}

TEST_F(SampleStory, FastForwardReachesTheSameEnds) {
  TextRunOptions o;
  o.choices = {1, 2};
  o.fastForward = true;
  TextRunResult r = RunScriptAsText(o);
  EXPECT_EQ(r.stop, TextRunStop::kEnd);
  EXPECT_TRUE(r.errors.empty());
}

// The sample story against the game's words: the war event branches on the last battle's result
// (script function 14), and the story's hand-over allows the story's ending, so a realm unified
// with story events on starts ending event 8, which ends the story and goes back to the title.
class StoryWords : public StepTest {
 protected:
  void SetUp() override {
    StepTest::SetUp();
    ASSERT_TRUE(folder_.Ready());
  }
  void TearDown() override {
    ResetToEmptyWorld();
    ResetTurnWork();
    StepReset();
    StoryFlagA = 0;
    StepTest::TearDown();
  }
  GameDataFolder folder_{"v4_story_words"};
};

TEST_F(StoryWords, TheWarEventBranchesOnTheLastBattlesResult) {
  struct Case {
    int32_t outcome;
    std::string line;
  } cases[] = {
      {0, U8(u8"花: 殿、出陣の支度は整っております。")},
      {1, U8(u8"花: 先の戦では城が落ちました。殿、勢いのあるうちに次の出陣を。")},
  };
  for (const Case& c : cases) {
    services_.battleWords[0] = c.outcome;
    TextRunOptions o;
    o.switches = {{0, 5}};
    TextRunResult r = RunScriptAsText(o);
    SCOPED_TRACE(c.outcome);
    EXPECT_EQ(r.stop, TextRunStop::kSlgMode);
    ASSERT_EQ(r.lines.size(), 1u);
    EXPECT_EQ(r.lines[0], c.line);
  }
  SetAdvPresenter(&presenter_);
}

TEST_F(StoryWords, AUnifiedRealmWithStoryEventsReachesTheStoryEndingAndTheTitle) {
  // The story to its hand-over: marching out at the council.
  StoryFlagA = 0;
  TextRunOptions o;
  o.choices = {1, 1};
  ASSERT_EQ(RunScriptAsText(o).stop, TextRunStop::kSlgMode);
  EXPECT_EQ(StoryFlagA, 1) << "#SetEnding allows the story's ending";
  SetAdvPresenter(&presenter_);

  // Every country held by the player's clan, story events on, the season's check.
  WorldBuilder w;
  for (int k = 0; k < kKuniCount; ++k) w.Kuni("kuni");
  const int clan = w.Clan("clan");
  for (int k = 0; k < kKuniCount; ++k) KuniTable[k].holder = static_cast<uint8_t>(clan);
  PlayerDaimyoId = static_cast<uint8_t>(clan);
  StoryEventBlockFlag = 0;
  GameMode = game_mode::kSlg;
  ResetTurnWork();
  StepReset();
  StepPush();
  EXPECT_EQ(RunUnificationDeclaration(), kUnifyEnded);
  EXPECT_TRUE(IsGameEnded());
  EXPECT_EQ(GameMode, game_mode::kMainScript) << "the ending event runs";
  EXPECT_EQ(AdvEventNumber, 8u);

  // The ending event's messages, then the title.
  log_.clear();
  for (int frame = 0; frame < 200 && GameMode != game_mode::kIdle; ++frame) {
    clock_ += 17;
    StepAdvScript();
  }
  EXPECT_EQ(GameMode, game_mode::kIdle) << Log();
  EXPECT_EQ(std::count_if(log_.begin(), log_.end(), [](const std::string& l) { return l.rfind("SetMessage", 0) == 0; }),
            3);
  services_.currentScene = 3;
  StepAdvScript();
  EXPECT_NE(std::find(log_.begin(), log_.end(), "ChangeScene(1,0)"), log_.end()) << Log();
}

// Without the story's leave (story flag A 0) the same realm goes on: the story events decide.
TEST_F(StoryWords, WithoutTheStoryFlagAUnifiedRealmGoesOn) {
  WorldBuilder w;
  for (int k = 0; k < kKuniCount; ++k) w.Kuni("kuni");
  const int clan = w.Clan("clan");
  for (int k = 0; k < kKuniCount; ++k) KuniTable[k].holder = static_cast<uint8_t>(clan);
  PlayerDaimyoId = static_cast<uint8_t>(clan);
  StoryFlagA = 0;
  StoryEventBlockFlag = 0;
  GameMode = game_mode::kSlg;
  ResetTurnWork();
  StepReset();
  StepPush();
  EXPECT_EQ(RunUnificationDeclaration(), kUnifyGoesOn);
  EXPECT_FALSE(IsGameEnded());
  EXPECT_EQ(GameMode, game_mode::kSlg);
}

}  // namespace
}  // namespace v4test
