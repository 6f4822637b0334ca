// The politics menu's commands end to end through the scripted scene: the effect on the world,
// the message, what was spent, and the menu state after; the refusals of the availability check.
#include <gtest/gtest.h>

#include "command_fixture.h"
#include "world/placement.h"
#include "world/record_lists.h"
#include "world/turn/world_hash.h"
#include "world/world_queries.h"

namespace {

class DomesticTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    EnterPhase(2);
  }
  // Chooses a menu code, marks a general when asked, and confirms the dialog that opens.
  void RunCountryCommand(int code, int general, int dialog) {
    Answer(code);
    ASSERT_TRUE(cs.SaidSomething("どの武将にしますか？"));
    Mark({general});
    ASSERT_EQ(cs.openDialog, dialog);
    Answer(kResultConfirm, 10);
  }
  ScopedGameRandOverride zeros{[] { return 0; }};  // every draw 0
};

TEST_F(DomesticTest, FloodControlRaisesKokuMoodAndPrestigeAndCostsTwoCpAndAHundred) {
  RunCountryCommand(4, pGen, 5);
  const KuniRecord& k = KuniTable[kuniA];
  EXPECT_EQ(k.land, 520);  // 2 x (50 / 5) x 1
  EXPECT_EQ(k.mood, 52);   // 20 x 100 / 1000
  EXPECT_EQ(DaimyoTable[player].prestige, 1);
  EXPECT_EQ(DaimyoTable[player].money, 900);
  EXPECT_EQ(DaimyoTable[player].cp, 18);
  EXPECT_TRUE(cs.SaidSomething("この国の石高が(20)千石上がりました"));
  EXPECT_EQ(BusyoTable[pGen].cmdFlags & 1, 1);
  EXPECT_EQ(BusyoTable[pGen].loyalty, 9);  // a draw of 1 in 100 costs one point of loyalty
  EXPECT_EQ(k.doneFlags & 1, 1);
  // Done for this country this turn: the entry is grey and the command ends by itself.
  EXPECT_TRUE(IsCommandGreyed(kCmdFloodControl));
  EXPECT_TRUE(cs.SaidSomething("これ以上はできません"));
  EXPECT_EQ(cs.panel, -1);
  EXPECT_EQ(SlgCommandCode, 255);
  ExpectClean();
}

TEST_F(DomesticTest, FloodControlStopsAtTheLimit) {
  KuniTable[kuniA].land = 995;
  RunCountryCommand(4, pGen, 5);
  EXPECT_EQ(KuniTable[kuniA].land, 1000);
  EXPECT_TRUE(cs.SaidSomething("この国の石高が( 5)千石上がりました"));
}

TEST_F(DomesticTest, FreeMarketsRaiseTheTownForATenthOfIt) {
  RunCountryCommand(5, pGen, 6);
  EXPECT_EQ(KuniTable[kuniA].town, 330);
  EXPECT_EQ(KuniTable[kuniA].mood, 51);
  EXPECT_EQ(DaimyoTable[player].money, 970);
  EXPECT_EQ(DaimyoTable[player].cp, 19);
  EXPECT_EQ(DaimyoTable[player].prestige, 0);
  EXPECT_TRUE(cs.SaidSomething("この国の町の規模が( 3.0)上がりました"));
  EXPECT_TRUE(IsCommandGreyed(kCmdFreeMarket));
}

TEST_F(DomesticTest, LevyPaysAndCostsLandTownAndMood) {
  RunCountryCommand(6, pGen, 7);
  EXPECT_EQ(DaimyoTable[player].money, 1077);  // (2500 + 600) x 0.25 x 100 / 1000
  EXPECT_EQ(DaimyoTable[player].cp, 18);
  EXPECT_EQ(KuniTable[kuniA].land, 450);
  EXPECT_EQ(KuniTable[kuniA].town, 270);
  EXPECT_EQ(KuniTable[kuniA].mood, 45);
  EXPECT_EQ(DaimyoTable[player].prestige, 0);  // never below 0
  EXPECT_TRUE(cs.SaidSomething("この国で(  77)徴税できました"));
  EXPECT_TRUE(IsCommandGreyed(kCmdLevy));
}

TEST_F(DomesticTest, ALargeLevySaturatesAndMoneyStopsAtItsTop) {
  KuniTable[kuniA].land = 60000;
  KuniTable[kuniA].landLimit = 60000;
  DaimyoTable[player].money = 65500;
  RunCountryCommand(6, pGen, 7);
  EXPECT_EQ(DaimyoTable[player].money, 65535);
  EXPECT_TRUE(cs.SaidSomething("この国で( 255)徴税できました"));
}

TEST_F(DomesticTest, CastleWorksOneBelowTheMaximumOfferOneLevel) {
  SiroTable[1].maxLevel = 3;
  Answer(3);
  Mark({pGen});
  EXPECT_TRUE(cs.SaidSomething("この城は( 3)より\n増築できません"));
  ASSERT_EQ(cs.openDialog, 0);
  EXPECT_EQ(cs.given[2], 1);
  EXPECT_EQ(cs.given[1], SiroWorkCost(pGen, 1));
  // A count beyond the offer read back from the dialog stays within it.
  cs.dialogSlots[3] = {5};
  Answer(kResultConfirm, 10);
  EXPECT_EQ(SiroTable[1].level, 3);
  EXPECT_EQ(SiroTable[1].turnFlags & 1, 1);
  EXPECT_EQ(DaimyoTable[player].money, 1000 - 8);
  EXPECT_EQ(DaimyoTable[player].cp, 19);
  EXPECT_EQ(BusyoTable[pGen].cmdFlags & 1, 1);
  Answer(2);  // back out of the next choice
  EXPECT_EQ(SlgCommandCode, 255);
}

TEST_F(DomesticTest, CastleWorksAreCappedByTheClanSize) {
  SiroTable[1].maxLevel = 40;
  SiroTable[1].level = 4;
  DaimyoTable[player].revenue = 9;  // sqrt 9 x 0.5 + 5 = 6.5
  Answer(3);
  Mark({pGen});
  EXPECT_TRUE(cs.SaidSomething("現在の我が家の規模での増築は\n( 6)までです"));
  EXPECT_EQ(cs.given[2], 2);
  DaimyoTable[player].revenue = 2000;
  DaimyoTable[player].money = 10;  // three levels cost 14, two 11, one 8
  Answer(kResultDialogBack);
  Mark({pGen});
  EXPECT_TRUE(cs.SaidSomething("この予算で普請可能レベルは\n( 1)で最大です"));
  EXPECT_EQ(cs.given[2], 1);
  Answer(kResultConfirm, 10);
  EXPECT_EQ(SiroTable[1].level, 5);
  EXPECT_EQ(DaimyoTable[player].money, 2);
}

TEST_F(DomesticTest, MovingThreeGeneralsAtRankTwoCostsNineAndOneCp) {
  const int g3 = w.Busyo("家臣二", 1);
  const int g4 = w.Busyo("家臣三", 1);
  w.Place();
  ExpectClean();
  Answer(7);
  Mark({pGen, g3, g4});
  cs.selectedCastle = 0;
  for (int i = 0; i < 6; ++i) Frame();
  ASSERT_EQ(cs.openDialog, 8);
  EXPECT_EQ(cs.given[1], 9);
  Answer(kResultConfirm, 10);
  for (int g : {pGen, g3, g4}) {
    EXPECT_EQ(BusyoTable[g].siro, 0);
    EXPECT_EQ(BusyoTable[g].cmdFlags & 1, 1);
  }
  EXPECT_EQ(CountSiroBusyo(0), 4);
  EXPECT_EQ(CountSiroBusyo(1), 0);
  EXPECT_EQ(DaimyoTable[player].money, 991);
  EXPECT_EQ(DaimyoTable[player].cp, 19);
  ExpectClean();
  cs.selectedCastle = 0xFFFF;
  Answer(2);
  EXPECT_EQ(SlgCommandCode, 255);
}

TEST_F(DomesticTest, MovingIntoTheSourceCastleIsIgnoredAndBackingOutCostsNothing) {
  Answer(7);
  Mark({pGen});
  cs.selectedCastle = 1;  // his own castle
  for (int i = 0; i < 6; ++i) Frame();
  EXPECT_EQ(cs.openDialog, -1);
  Answer(2);
  EXPECT_EQ(BusyoTable[pGen].siro, 1);
  EXPECT_EQ(DaimyoTable[player].money, 1000);
  EXPECT_EQ(DaimyoTable[player].cp, 20);
  EXPECT_EQ(SlgCommandCode, 255);
}

TEST_F(DomesticTest, StationingReserveGeneralsEndsWhenTheReserveIsEmpty) {
  const int g3 = w.Busyo("家臣二", 0);
  const int g4 = w.Busyo("家臣三", 0);
  const int g5 = w.Busyo("家臣四", 0);
  const int r1 = w.Busyo("控え一", 0xFFFF);
  const int r2 = w.Busyo("控え二", 0xFFFF);
  w.Place();
  ASSERT_TRUE(TransferBusyoToDaimyo(r1, player));
  ASSERT_TRUE(TransferBusyoToDaimyo(r2, player));
  ASSERT_EQ(CountDaimyoKakuuBusyo(player), 2);
  ASSERT_EQ(CountSiroBusyo(0), 4);
  RefreshCommandMenus(2);
  Answer(8);
  cs.selectedCastle = 0;
  for (int i = 0; i < 6; ++i) Frame();
  ASSERT_EQ(cs.openDialog, 21);
  EXPECT_EQ(cs.given[1], 0);
  // Dismissing one of them, answered no, changes nothing.
  cs.dialogSlots[4] = {r2, -1};
  cs.dialogSceneAnswers = {2};
  for (int i = 0; i < 8; ++i) Frame();
  EXPECT_EQ(cs.dialogScenes.back(), 9);
  EXPECT_EQ(GetBusyoDaimyo(r2), player);
  // Both ticked and confirmed: two places were free.
  cs.listB = {r1, r2};
  cs.dialogSlots[3] = {1};
  for (int i = 0; i < 6; ++i) Frame();
  ASSERT_EQ(cs.openDialog, 8);
  cs.dialogSlots.clear();
  Answer(kResultConfirm, 10);
  EXPECT_EQ(BusyoTable[r1].siro, 0);
  EXPECT_EQ(BusyoTable[r2].siro, 0);
  EXPECT_EQ(CountSiroBusyo(0), 6);
  EXPECT_EQ(CountDaimyoKakuuBusyo(player), 0);
  EXPECT_EQ(DaimyoTable[player].money, 1000);
  EXPECT_EQ(DaimyoTable[player].cp, 20);
  EXPECT_EQ(SlgCommandCode, 255);  // ended by itself
  (void)g3, (void)g4, (void)g5;
  ExpectClean();
}

TEST_F(DomesticTest, TheReserveDialogDismissesOnlyReserveGenerals) {
  const int stationed = w.Busyo("家臣二", 0);
  const int reserve = w.Busyo("控え一", 0xFFFF);
  w.Place();
  ASSERT_TRUE(TransferBusyoToDaimyo(reserve, player));
  RefreshCommandMenus(2);
  Answer(8);
  cs.selectedCastle = 0;
  for (int i = 0; i < 6; ++i) Frame();
  ASSERT_EQ(cs.openDialog, 21);
  // Answered yes, a general in a castle stays and a reserve general goes; the dialog stays open.
  for (const auto& [g, stays] : {std::pair{stationed, true}, {reserve, false}}) {
    cs.dialogSlots[4] = {g, -1};
    cs.dialogSceneAnswers = {1};
    for (int i = 0; i < 8; ++i) Frame();
    EXPECT_EQ(GetBusyoDaimyo(g) == player, stays) << g;
    EXPECT_EQ(cs.openDialog, 21) << g;
  }
  Answer(kResultDialogBack);
  EXPECT_EQ(SlgCommandCode, 255);
  ExpectClean();
}

TEST_F(DomesticTest, GreyCommandsRefuseAndChangeNothing) {
  struct Case {
    const char* name;
    int code;
    void (*tweak)(int player);
  };
  const Case cases[] = {
      {"flood control without CP", 4, [](int p) { DaimyoTable[p].cp = 1; }},
      {"flood control without money", 4, [](int p) { DaimyoTable[p].money = 99; }},
      {"free markets done", 5, [](int) { KuniTable[CurrentKuniId].doneFlags |= 2; }},
      {"levy without CP", 6, [](int p) { DaimyoTable[p].cp = 1; }},
      {"castle works without CP", 3, [](int p) { DaimyoTable[p].cp = 0; }},
      {"moving without CP", 7, [](int p) { DaimyoTable[p].cp = 0; }},
      {"stationing without reserve", 8, [](int) {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const uint16_t money = DaimyoTable[player].money;
    const uint8_t cp = DaimyoTable[player].cp;
    c.tweak(player);
    const uint64_t before = WorldHash();
    RefreshCommandMenus(2);
    cs.messages.clear();
    Answer(c.code, 12);
    EXPECT_TRUE(cs.SaidSomething("これ以上はできません"));
    EXPECT_EQ(WorldHash(), before);
    EXPECT_EQ(SlgCommandCode, 255);
    EXPECT_TRUE(cs.dialogs.empty() || cs.openDialog == -1);
    DaimyoTable[player].money = money;
    DaimyoTable[player].cp = cp;
    KuniTable[CurrentKuniId].doneFlags = 0;
  }
}

TEST_F(DomesticTest, AGeneralTheCheckRefusesIsUnmarkedWithItsReason) {
  BusyoTable[pGen].cmdFlags |= 1;  // ordered this turn
  Answer(4);
  Mark({pGen});
  EXPECT_TRUE(cs.SaidSomething(CommandRefusalReason(15)));
  EXPECT_EQ(cs.openDialog, -1);
  EXPECT_TRUE(cs.marked.empty());
  Answer(2);
  EXPECT_EQ(DaimyoTable[player].money, 1000);
}

TEST_F(DomesticTest, VisitingAGeneralStartsHisEventAndAFirstMeetingCostsOneCp) {
  SlgEventRecord e{};
  e.key = static_cast<uint16_t>(indep);
  SetFieldString(e.name, sizeof e.name, "visit_label");
  SlgEventMap[indep] = e;
  RefreshCommandMenus(2);
  Answer(11);
  ASSERT_EQ(cs.openDialog, 12);
  EXPECT_EQ(cs.given[3], 20);  // the CP shown
  cs.dialogSlots[0] = {indep};
  Answer(kResultConfirm, 8);
  EXPECT_EQ(adv.events, std::vector<int>{4});
  EXPECT_EQ(DaimyoTable[player].cp, 19);
  EXPECT_TRUE(SlgEventMap[indep].flags & 4);
  // Nobody left to visit: the command refuses and ends.
  EXPECT_TRUE(cs.SaidSomething("これ以上はできません"));
  EXPECT_EQ(SlgCommandCode, 255);
  EXPECT_EQ(BusyoFlagTable[indep] & 1, 1);
}

TEST_F(DomesticTest, AVisitWithoutCpIsRefusedInsteadOfWrapping) {
  SlgEventRecord e{};
  e.key = static_cast<uint16_t>(indep);
  SlgEventMap[indep] = e;
  DaimyoTable[player].cp = 0;
  RefreshCommandMenus(2);
  EXPECT_TRUE(IsCommandGreyed(kCmdVisit));
  Answer(11, 10);
  EXPECT_TRUE(cs.SaidSomething("これ以上はできません"));
  EXPECT_EQ(DaimyoTable[player].cp, 0);
  EXPECT_TRUE(adv.events.empty());
}

TEST_F(DomesticTest, TheMenuChoiceMadeOnACommandsLastFrameIsNotLost) {
  Answer(4);
  Mark({pGen});
  ASSERT_EQ(cs.openDialog, 5);
  Answer(kResultDialogBack);  // back to the choice of a general
  cs.sceneResults = {2, 15};  // back out, and at once "end phase"
  bool sawLeave = false;
  for (int i = 0; i < 20 && !sawLeave; ++i) {
    Frame();
    if (cs.panel == -1) {
      sawLeave = true;
      // The frame that ended the command already read the next menu choice.
      EXPECT_EQ(SlgCommandCode, 15);
    }
  }
  EXPECT_TRUE(sawLeave);
  EXPECT_TRUE(LeavesPhase(2));
  EXPECT_EQ(DaimyoTable[player].money, 1000);
}

TEST_F(DomesticTest, AFullCastleCannotTakeReserveGenerals) {
  for (const char* name : {"家臣二", "家臣三", "家臣四", "家臣五", "家臣六"}) w.Busyo(name, 0);
  const int r1 = w.Busyo("控え一", 0xFFFF);
  w.Place();
  ASSERT_TRUE(TransferBusyoToDaimyo(r1, player));
  ASSERT_EQ(CountSiroBusyo(0), 6);
  RefreshCommandMenus(2);
  Answer(8);
  cs.selectedCastle = 0;
  for (int i = 0; i < 6; ++i) Frame();
  EXPECT_EQ(cs.openDialog, -1);  // the choice is dropped; the player may choose another
  EXPECT_EQ(cs.selectedCastle, 0xFFFF);
  cs.selectedCastle = 1;
  for (int i = 0; i < 6; ++i) Frame();
  ASSERT_EQ(cs.openDialog, 21);
  cs.listB = {r1};
  cs.dialogSlots[3] = {1};
  for (int i = 0; i < 6; ++i) Frame();
  ASSERT_EQ(cs.openDialog, 8);
  cs.dialogSlots.clear();
  Answer(kResultConfirm, 10);
  EXPECT_EQ(BusyoTable[r1].siro, 1);
  EXPECT_EQ(CountSiroBusyo(0), 6);
  EXPECT_EQ(SlgCommandCode, 255);
  ExpectClean();
}

}  // namespace
