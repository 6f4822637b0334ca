// The military menu's commands and the information commands end to end through the scripted scene.
#include <gtest/gtest.h>

#include "command_fixture.h"
#include "world/world_queries.h"

namespace {

class MilitaryTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    KuniTable[kuniA].recruitBase = 40;
    KuniTable[kuniA].playerShare = 100;
    KuniTable[kuniA].land = 1000;
    KuniTable[kuniA].landLimit = 1000;
    KuniTable[kuniA].mood = 60;
    RecalcDaimyoTotals(0);
    DaimyoTable[player].revenue = 2000;
    EnterPhase(1);
  }
  void Recruit(int general, int number) {
    Mark({general});
    ASSERT_EQ(cs.openDialog, 0);
    cs.dialogSlots[3] = {number};
    Answer(kResultConfirm, 10);
    cs.dialogSlots.clear();
  }
  ScopedGameRandOverride zeros{[] { return 0; }};
};

TEST_F(MilitaryTest, RecruitingTwiceInACountryAsksAndChargesCpOnce) {
  Answer(8);
  ASSERT_EQ(cs.dialogScenes, std::vector<int>{3});
  EXPECT_TRUE(cs.SaidSomething("この国で兵を募集しますか？"));
  cs.dialogSceneAnswers = {1};
  for (int i = 0; i < 6; ++i) Frame();
  EXPECT_EQ(DaimyoTable[player].cp, 19);
  EXPECT_EQ(KuniTable[kuniA].applicants, 40);
  EXPECT_TRUE(cs.MessageContains("応募兵は(40)"));
  const int before = BusyoTable[pGen].soldiers;
  Recruit(pGen, 10);
  EXPECT_EQ(BusyoTable[pGen].soldiers, before + 10);
  EXPECT_EQ(KuniTable[kuniA].applicants, 30);
  EXPECT_EQ(KuniTable[kuniA].mood, 59);  // 60 x 10 x 3 / 1000
  EXPECT_EQ(KuniTable[kuniA].land, 990);
  EXPECT_EQ(DaimyoTable[player].money, 990);
  // The second recruitment here asks nothing and costs no CP.
  EXPECT_TRUE(cs.MessageContains("残り応募兵は(30)"));
  EXPECT_EQ(cs.dialogScenes.size(), 1u);
  // A general with 48 soldiers can take 2.
  BusyoTable[pHead].soldiers = 48;
  Mark({pHead});
  EXPECT_TRUE(cs.SaidSomething("武将たちは兵(  50)を\n管理するので精一杯です"));
  ASSERT_EQ(cs.openDialog, 0);
  EXPECT_EQ(cs.given[3], 2);
  cs.dialogSlots[3] = {99};  // more than offered: kept to the offer
  Answer(kResultConfirm, 10);
  EXPECT_EQ(BusyoTable[pHead].soldiers, 50);
  EXPECT_EQ(DaimyoTable[player].cp, 19);
  Answer(2);
  Answer(15);
  EXPECT_TRUE(LeavesPhase(1));
}

TEST_F(MilitaryTest, RecruitingWithLittleMoneyOffersWhatTheMoneyPays) {
  DaimyoTable[player].money = 4;
  Answer(8);
  cs.dialogSceneAnswers = {1};
  for (int i = 0; i < 6; ++i) Frame();
  Mark({pGen});
  EXPECT_TRUE(cs.MessageContains("この予算で兵は( 4)で最大"));
  EXPECT_EQ(KuniTable[kuniA].applicants, 4);
  Answer(kResultConfirm, 10);
  EXPECT_EQ(DaimyoTable[player].money, 0);
  EXPECT_EQ(BusyoTable[pGen].soldiers, 14);
}

TEST_F(MilitaryTest, GunsAreBoughtAtThePriceAndNeverPastTheSoldiers) {
  BusyoTable[pGen].soldiers = 10;
  BusyoTable[pGen].guns = 7;
  Answer(11);
  cs.dialogSceneAnswers = {1};
  for (int i = 0; i < 6; ++i) Frame();
  EXPECT_EQ(DaimyoTable[player].cp, 15);  // the gun rate
  EXPECT_EQ(DaimyoTable[player].gunsLeft, 10);
  EXPECT_TRUE(cs.MessageContains("入手鉄砲数は(10)です"));
  Mark({pGen});
  EXPECT_TRUE(cs.SaidSomething("殆どの兵が鉄砲を持っています"));
  ASSERT_EQ(cs.openDialog, 3);
  EXPECT_EQ(cs.given[1], 10);
  EXPECT_EQ(cs.given[3], 3);
  Answer(kResultConfirm, 10);
  EXPECT_EQ(BusyoTable[pGen].guns, 10);
  EXPECT_EQ(DaimyoTable[player].money, 970);
  EXPECT_EQ(DaimyoTable[player].gunsLeft, 7);
}

TEST_F(MilitaryTest, RewardRaisesLoyaltyUpToSixteenAndRefusesBondedGenerals) {
  BusyoTable[pHead].kizuna = 1;
  ASSERT_TRUE(IsBusyoLoyaltyFixed(pHead));
  BusyoTable[pGen].loyalty = 15;
  Answer(10);
  Mark({pHead});
  EXPECT_TRUE(cs.SaidSomething("絆の武将には使用できません"));
  EXPECT_EQ(cs.openDialog, -1);
  Mark({pGen});
  ASSERT_EQ(cs.openDialog, 2);
  cs.dialogSlots[3] = {2};  // the large reward (the bar's chosen size)
  Answer(kResultConfirm, 10);
  EXPECT_EQ(BusyoTable[pGen].loyalty, 16);
  EXPECT_EQ(DaimyoTable[player].money, 985);
  EXPECT_EQ(BusyoTable[pGen].cmdFlags & 1, 1);
  EXPECT_EQ(BusyoTable[pHead].loyalty, 10);
  Answer(2);
  EXPECT_EQ(SlgCommandCode, 255);
}

TEST_F(MilitaryTest, TrainingChargesOneCpPerGeneralAndMarksTheClan) {
  Answer(9);
  ASSERT_EQ(cs.openDialog, 1);
  cs.dialogSlots[2] = {2};
  cs.dialogSlots[3] = {pHead};
  cs.dialogSlots[4] = {pGen};
  cs.dialogSlots[1] = {1, 1, -1};  // each stage read on, then the dialog closes
  Answer(kResultConfirm, 20);
  EXPECT_EQ(DaimyoTable[player].cp, 18);
  EXPECT_TRUE(DaimyoTable[player].turnFlags & 4);
  EXPECT_TRUE(IsCommandGreyed(kCmdTraining));
  EXPECT_EQ(SlgCommandCode, 255);
}

TEST_F(MilitaryTest, ClanInformationIsFreeTheSecondTimeThisTurn) {
  Answer(14);
  ASSERT_EQ(cs.openDialog, 22);
  cs.dialogSlots[0] = {enemy};
  for (int i = 0; i < 6; ++i) Frame();
  EXPECT_EQ(cs.given[3], 10);
  // The question's answer as the list took it from the dialog scene: yes.
  cs.dialogSlots.clear();
  cs.dialogSlots[1] = {1};
  for (int i = 0; i < 4; ++i) Frame();
  cs.dialogSlots.clear();
  Answer(1, 4);  // seen; back to the list
  EXPECT_EQ(DaimyoTable[player].money, 990);
  EXPECT_EQ(DaimyoTable[player].cp, 19);
  ASSERT_EQ(cs.openDialog, 22);
  cs.dialogSlots[0] = {enemy};
  for (int i = 0; i < 6; ++i) Frame();
  EXPECT_EQ(cs.given[3], 0);
  cs.dialogSlots.clear();
  cs.dialogSlots[1] = {1};
  for (int i = 0; i < 4; ++i) Frame();
  cs.dialogSlots.clear();
  Answer(1, 4);
  EXPECT_EQ(DaimyoTable[player].money, 990);
  EXPECT_EQ(DaimyoTable[player].cp, 19);
  Answer(kResultDialogBack);
  EXPECT_EQ(SlgCommandCode, 255);
}

TEST_F(MilitaryTest, UnpaidClanInformationIsRefusedInsteadOfWrapping) {
  DaimyoTable[player].money = 3;
  DaimyoTable[player].cp = 0;
  Answer(14);
  cs.dialogSlots[0] = {enemy};
  for (int i = 0; i < 6; ++i) Frame();
  cs.dialogSlots.clear();
  cs.dialogSlots[1] = {1};  // yes, were the question asked
  for (int i = 0; i < 4; ++i) Frame();
  cs.dialogSlots.clear();
  EXPECT_EQ(DaimyoTable[player].money, 3);
  EXPECT_EQ(DaimyoTable[player].cp, 0);
  EXPECT_FALSE(DaimyoTable[enemy].turnFlags & 2);
  Answer(kResultDialogBack);
}

TEST_F(MilitaryTest, CountryInformationCostsOnlyWhereThePlayerHasNoCastle) {
  Answer(13);
  cs.selectedKuni = kuniA;  // his own country: free
  for (int i = 0; i < 6; ++i) Frame();
  EXPECT_EQ(cs.openDialog, -1);
  cs.focused = false;
  for (int i = 0; i < 6; ++i) Frame();
  cs.selectedKuni = kuniB;
  for (int i = 0; i < 6; ++i) Frame();
  ASSERT_EQ(cs.openDialog, 7);
  Answer(kResultConfirm, 6);
  EXPECT_EQ(DaimyoTable[player].money, 990);
  EXPECT_EQ(DaimyoTable[player].cp, 19);
  EXPECT_TRUE(KuniTable[kuniB].doneFlags & 8);
  Answer(2);
  Answer(2);
  EXPECT_EQ(SlgCommandCode, 255);
}

TEST_F(MilitaryTest, DismissingAGeneralFromTheListAskedYes) {
  Answer(12);
  ASSERT_EQ(cs.openDialog, 21);
  cs.dialogSlots[4] = {pGen, -1};
  cs.dialogSceneAnswers = {1};
  for (int i = 0; i < 8; ++i) Frame();
  EXPECT_NE(GetBusyoDaimyo(pGen), player);
  // The head is never dismissed.
  cs.dialogSlots[4] = {pHead, -1};
  cs.dialogSceneAnswers = {1};
  for (int i = 0; i < 8; ++i) Frame();
  EXPECT_EQ(GetBusyoDaimyo(pHead), player);
  Answer(kResultDialogBack);
  EXPECT_EQ(SlgCommandCode, 255);
  ExpectClean();
}

TEST_F(MilitaryTest, GreyCommandsRefuseAndChangeNothing) {
  struct Case {
    const char* name;
    int code;
    void (*tweak)(int player);
  };
  const Case cases[] = {
      {"reward without money", 10, [](int p) { DaimyoTable[p].money = 4; }},
      {"training done this turn", 9, [](int p) { DaimyoTable[p].turnFlags |= 4; }},
      {"training without CP", 9, [](int p) { DaimyoTable[p].cp = 0; }},
      {"guns all handed out", 11, [](int p) { DaimyoTable[p].gunsLeft = 0; }},
      {"guns without CP for a purchase", 11, [](int p) { DaimyoTable[p].cp = 4; }},
      {"recruiting where nobody applies", 8, [](int) { KuniTable[CurrentKuniId].recruitBase = 0; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const DaimyoRecord saved = DaimyoTable[player];
    const uint8_t base = KuniTable[CurrentKuniId].recruitBase;
    c.tweak(player);
    const uint16_t money = DaimyoTable[player].money;
    const uint8_t cp = DaimyoTable[player].cp;
    RefreshCommandMenus(1);
    cs.messages.clear();
    Answer(c.code, 12);
    EXPECT_TRUE(cs.SaidSomething("これ以上はできません"));
    EXPECT_EQ(DaimyoTable[player].money, money);
    EXPECT_EQ(DaimyoTable[player].cp, cp);
    EXPECT_EQ(SlgCommandCode, 255);
    DaimyoTable[player] = saved;
    KuniTable[CurrentKuniId].recruitBase = base;
  }
  Answer(15);
  EXPECT_TRUE(LeavesPhase(1));
}

}  // namespace
