#include "core/app_state.h"
#include "core/game_file.h"
#include "core/step_machine.h"
#include "world/new_game.h"
#include "world/record_lists.h"
#include "world_fixture.h"
#include "scripted_scene.h"

namespace {

class NewGameTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    ASSERT_TRUE(SetModuleDirFromHost(V4_TEST_GAME_DIR));
    ASSERT_TRUE(LoadWorldSystemTable());
    SetSlgScenePort(&scene);
    ScenarioNumber = 0;
    PreferredStartDaimyo = -1;
    ASSERT_TRUE(StartNewGame());
    StepReset();
    GameMode = 11;
  }
  void TearDown() override {
    SetModuleDir("/");
    ScenarioNumber = 0;
    PreferredStartDaimyo = -1;
    WorldTest::TearDown();
  }
  // One frame of the routine as the main strategy step runs it.
  bool Frame() {
    g_StepMachine.depth = 0;
    StepPush();
    NewGameStart();
    return StepPop();
  }
  // Frames until the routine finishes (bounded).
  bool RunToEnd(int maxFrames = 20) {
    for (int i = 0; i < maxFrames; ++i)
      if (Frame()) return true;
    return false;
  }
  int OtherClanGeneral(int notClan) {
    for (int g = 0; g < NullBusyoId; ++g) {
      uint8_t c = GetBusyoDaimyo(g);
      if (c != kNoDaimyo && c != notClan && DaimyoTable[c].head != g) return g;
    }
    return -1;
  }
  ScriptedSlgScene scene;
};

TEST_F(NewGameTest, StoryStartWithBonusAndCarriedGenerals) {
  Frame();  // first frame: side panel open, story step
  EXPECT_TRUE(scene.sidePanel);
  EXPECT_EQ(GameYear, 1551);
  scene.hoverClan = 5;
  scene.hoverScenario = 0;
  Frame();
  EXPECT_EQ(PlayerDaimyoId, 5);  // the clan under the cursor is shown as the player's
  scene.chosenClan = 5;
  scene.startScenario = 0;
  Frame();  // -> confirm
  Frame();  // question shown
  ASSERT_EQ(scene.questions.size(), 1u);
  std::string expect =
      std::string(GetKuniName(GetDaimyoHomeKuni(5))) + "国の" + GetDaimyoName(5, true) + "で始めますか？";
  EXPECT_EQ(scene.questions[0], expect);
  scene.results = {0};
  Frame();  // yes -> options
  Frame();  // dialog 18 opened
  scene.results = {20};
  Frame();  // bonus on
  int carried = OtherClanGeneral(5);
  ASSERT_GE(carried, 0);
  scene.dialogListCount = 2;
  scene.handedOut = {carried, 0xFFFF};
  Frame();  // list form opened
  scene.results = {18};
  Frame();  // generals handed out
  EXPECT_EQ(scene.openedDialogs, (std::vector<int>{180, 181}));
  EXPECT_EQ(GetBusyoDaimyo(carried), 5);
  EXPECT_TRUE(boxes.Has("武将引継ぎエラー"));  // 0xFFFF could not be carried over
  DaimyoTable[5].allies[0] = 6;
  ASSERT_TRUE(RunToEnd());
  EXPECT_FALSE(scene.sidePanel);
  EXPECT_EQ(StoryEventBlockFlag, 0);
  EXPECT_EQ(GameYear, 1550);
  EXPECT_EQ(SeasonIndex, 3);
  EXPECT_EQ(DaimyoTable[5].money, 8000);  // system.dat start money
  EXPECT_EQ(GetItemStock(1), 1);
  EXPECT_EQ(CurrentKuniId, GetDaimyoHomeKuni(5));
  EXPECT_EQ(scene.currentDaimyo, 5);
  EXPECT_EQ(scene.selectedKuni, CurrentKuniId);
  for (int s = 0; s < kSiroCount; ++s) {
    if (!IsSiroInUse(s)) continue;
    EXPECT_EQ(SiroTable[s].allyMark, SiroTable[s].owner == 6 ? 1 : 0) << s;
  }
  ASSERT_FALSE(scene.messages.empty());
  EXPECT_NE(scene.messages.back().find("で始めます"), std::string::npos);
  ExpectClean();
}

TEST_F(NewGameTest, HoveringAClanOfAnotherScenarioLoadsIt) {
  Frame();
  scene.hoverClan = 2;
  scene.hoverScenario = 1;
  Frame();
  EXPECT_EQ(ScenarioNumber, 1);
  EXPECT_EQ(PreferredStartDaimyo, 2);
  EXPECT_EQ(PlayerDaimyoId, 2);
  ExpectClean();
  // Back to the title.
  scene.hoverClan = -1;
  scene.results = {2};
  Frame();
  EXPECT_EQ(GameMode, 1);
}

TEST_F(NewGameTest, FreeStartThroughTheStartClanDialog) {
  RebuildKuniDaimyoSets();
  int single = -1, several = -1;
  for (int k = 0; k < kKuniCount; ++k) {
    if (KuniDaimyoCount[k] == 1 && single < 0) single = k;
    if (KuniDaimyoCount[k] >= 2 && several < 0) several = k;
  }
  ASSERT_GE(single, 0);
  ASSERT_GE(several, 0);
  uint16_t moneyBefore;
  Frame();
  scene.startScenario = 0;
  scene.results = {16};
  Frame();  // -> free start
  Frame();  // set up
  scene.hoverRegion = single;
  Frame();
  EXPECT_EQ(PlayerDaimyoId, KuniDaimyoSet[single][0]);
  scene.chosenRegion = several;
  Frame();  // the start-clan dialog lists the country's clans
  ASSERT_EQ(scene.openDialog, 17);
  std::vector<int> clans;
  for (uint8_t c : KuniDaimyoSet[several])
    if (c != kNoDaimyo) clans.push_back(c);
  EXPECT_EQ(scene.dialogClans, clans);
  scene.dialogCursor = clans[1];
  Frame();
  EXPECT_EQ(PlayerDaimyoId, clans[1]);
  scene.dialogChosen = clans[1];
  Frame();  // -> confirm
  EXPECT_EQ(scene.openDialog, -1);
  scene.chosenRegion = -1;
  Frame();
  scene.results = {0};
  Frame();  // yes
  Frame();  // options dialog
  scene.results = {21};
  Frame();  // bonus off
  scene.dialogListCount = 0;
  moneyBefore = DaimyoTable[clans[1]].money;
  Frame();  // list form: nobody to carry over
  ASSERT_TRUE(RunToEnd());
  EXPECT_EQ(StoryEventBlockFlag, 1);  // free start blocks story events
  EXPECT_EQ(PlayerDaimyoId, clans[1]);
  EXPECT_EQ(DaimyoTable[clans[1]].money, moneyBefore);
  EXPECT_EQ(CurrentKuniId, GetDaimyoHomeKuni(clans[1]));
  ExpectClean();
}

TEST_F(NewGameTest, DecliningTheQuestionReturnsToTheStoryChoice) {
  Frame();
  scene.chosenClan = 7;
  scene.startScenario = 0;
  Frame();
  Frame();
  scene.chosenClan = -1;
  scene.results = {1};
  Frame();
  EXPECT_EQ(g_StepMachine.step[1], 2u);
  EXPECT_EQ(scene.questions.size(), 1u);
}

}  // namespace
