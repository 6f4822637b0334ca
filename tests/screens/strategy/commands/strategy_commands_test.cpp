// The strategy phase and the diplomacy commands end to end through the scripted scene, and their
// rules as tables.
#include <gtest/gtest.h>

#include "command_fixture.h"
#include "world/commands/strategy_rules.h"
#include "world/world_queries.h"

namespace {

class StrategyRulesTest : public CommandTest {};

TEST_F(StrategyRulesTest, AttackCostFollowsThePlayersKoku) {
  struct Case {
    int koku, soldiers, cost;
  } cases[] = {{2999, 40, 50}, {999, 40, 20}, {999, 41, 21}, {1000, 40, 40}, {5000, 40, 80}, {9000, 40, 80}};
  for (const Case& c : cases) {
    DaimyoTable[player].revenue = static_cast<uint16_t>(c.koku);
    BusyoTable[pGen].soldiers = static_cast<uint8_t>(c.soldiers);
    EXPECT_EQ(InvadeCostPerBusyo(static_cast<uint16_t>(pGen)), c.cost) << c.koku;
  }
  DaimyoTable[player].revenue = 999;
  EXPECT_EQ(DaimyoTier(player), 4);
  DaimyoTable[player].revenue = 1999;
  EXPECT_EQ(DaimyoTier(player), 8);
  DaimyoTable[player].revenue = 2000;
  EXPECT_EQ(DaimyoTier(player), 10);
}

TEST_F(StrategyRulesTest, PlotLevelStaysWithinOneAndForty) {
  ScopedGameRandOverride draws{[] { return 9; }};  // 15 + 9 per cent off
  EXPECT_EQ(PlotNewLevel(10, 0), 7);               // 10 - 2.4
  EXPECT_EQ(PlotNewLevel(60, 0), 40);              // capped
  EXPECT_EQ(PlotNewLevel(1, 100), 0);              // the skill can bring it to 0: the castle falls
  EXPECT_EQ(PlotNewLevel(20, 50), 10);
}

TEST_F(StrategyRulesTest, AllianceSlotsKeepTheirCountersWhenOneEnds) {
  const int third = 5, fourth = 6;
  FormAlliance(player, enemy);
  FormAlliance(player, third);
  FormAlliance(player, fourth);
  EXPECT_TRUE(IsAllied(player, enemy) && IsAllied(enemy, player));
  EXPECT_EQ(SiroTable[2].allyMark, 1);  // the enemy's castle
  DaimyoTable[player].allyStanding[1] = 7;
  DaimyoTable[player].allyStanding[2] = 3;
  FormAlliance(player, 7);  // the list is full: nothing written on either side
  EXPECT_FALSE(IsAllied(7, player));
  BreakAlliance(enemy);
  EXPECT_FALSE(IsAllied(player, enemy));
  EXPECT_FALSE(IsAllied(enemy, player));
  EXPECT_EQ(SiroTable[2].allyMark, 0);
  EXPECT_EQ(DaimyoTable[player].allies[0], third);
  EXPECT_EQ(DaimyoTable[player].allyStanding[0], 7);
  EXPECT_EQ(DaimyoTable[player].allies[1], fourth);
  EXPECT_EQ(DaimyoTable[player].allyStanding[1], 3);
  EXPECT_EQ(DaimyoTable[player].allies[2], kNoDaimyo);
  EXPECT_EQ(DaimyoTable[player].allyStanding[2], 0);
}

TEST_F(StrategyRulesTest, AllianceIsNeverWonWithoutAnEdge) {
  DaimyoTable[player].revenue = DaimyoTable[enemy].revenue = 1000;
  DaimyoTable[player].prestige = DaimyoTable[enemy].prestige = 5;
  BusyoTable[pGen].cur.stat[1] = 0;
  for (int draw : {0, 1, 50, 99, 32767}) {
    ScopedGameRandOverride draws{[draw] { return draw; }};
    EXPECT_FALSE(DiplomacySucceeds(enemy, static_cast<uint16_t>(pGen))) << draw;
  }
  // A barring entry fails even a strong envoy.
  BusyoTable[pGen].cur.stat[1] = 99;
  DaimyoTable[player].prestige = 20;
  {
    ScopedGameRandOverride draws{[] { return 0; }};
    EXPECT_TRUE(DiplomacySucceeds(enemy, static_cast<uint16_t>(pGen)));
    DaimyoTable[enemy].clanSet[4] = static_cast<uint8_t>(player);
    EXPECT_FALSE(DiplomacySucceeds(enemy, static_cast<uint16_t>(pGen)));
  }
}

TEST_F(StrategyRulesTest, PoachingScoreTable) {
  BusyoTable[pGen].cur.stat[1] = 50;  // second stat / 5 = 10
  DaimyoTable[player].prestige = 6;   // A = 16
  DaimyoTable[enemy].prestige = 4;
  BusyoTable[eGen].loyalty = 4;  // B = 8
  struct Case {
    int pKoku, eKoku;
    double score;
  } cases[] = {{1000, 1000, 2.5}, {5000, 1000, 4.0}, {1000, 0, 4.0}, {400, 1000, 2.2}};
  for (const Case& c : cases) {
    DaimyoTable[player].revenue = static_cast<uint16_t>(c.pKoku);
    DaimyoTable[enemy].revenue = static_cast<uint16_t>(c.eKoku);
    EXPECT_DOUBLE_EQ(PoachScore(enemy, static_cast<uint16_t>(eGen), static_cast<uint16_t>(pGen)), c.score) << c.pKoku;
  }
  // An independent: loyalty 5 and prestige 5 (B = 10), ratio 1.
  EXPECT_DOUBLE_EQ(PoachScore(kNoDaimyo, static_cast<uint16_t>(indep), static_cast<uint16_t>(pGen)), 2.0);
  // Loyalty 0 with a clan of no prestige divides by 1.
  BusyoTable[eGen].loyalty = 0;
  DaimyoTable[enemy].prestige = 0;
  DaimyoTable[enemy].revenue = 1000;
  DaimyoTable[player].revenue = 1000;
  EXPECT_DOUBLE_EQ(PoachScore(enemy, static_cast<uint16_t>(eGen), static_cast<uint16_t>(pGen)), 16.5);
  // Scripted die: score 2.5 wins with 1 and 2, loses with 3.
  BusyoTable[eGen].loyalty = 4;
  DaimyoTable[enemy].prestige = 4;
  for (auto [die, won] : {std::pair{0, true}, {1, true}, {2, false}}) {
    ScopedGameRandOverride draws{[die] { return die; }};
    EXPECT_EQ(PoachSucceeds(enemy, static_cast<uint16_t>(eGen), static_cast<uint16_t>(pGen)), won) << die;
  }
  EXPECT_EQ(SetPoachGauge(100, 10, 5), 50);
  EXPECT_EQ(SetPoachGauge(100, 5, 10), 150);
  EXPECT_EQ(SetPoachGauge(77, 5, 5), 77);
}

TEST_F(StrategyRulesTest, SecretContactScoreNeverDividesByZero) {
  BusyoTable[pGen].cur.stat[1] = 50;
  DaimyoTable[player].prestige = 10;
  DaimyoTable[enemy].prestige = 0;
  BusyoTable[eGen].loyalty = 0;
  DaimyoTable[enemy].revenue = 0;
  DaimyoTable[player].revenue = 1000;
  EXPECT_EQ(SecretContactScore(static_cast<uint16_t>(pGen), static_cast<uint16_t>(eGen)), 20 + 2000);
  EXPECT_EQ(SecretContactScore(static_cast<uint16_t>(pGen), static_cast<uint16_t>(indep)), 3);
}

// ---- End to end ----

class StrategyPhaseTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    DaimyoTable[player].revenue = 999;
    EnterPhase(3);
  }
  ScopedGameRandOverride zeros{[] { return 0; }};
};

TEST_F(StrategyPhaseTest, AttackOrderChargesTheShownCostOnce) {
  BusyoTable[pGen].soldiers = 40;
  Answer(9);
  Mark({pGen});
  cs.selectedCastle = 2;
  for (int i = 0; i < 6; ++i) Frame();
  ASSERT_EQ(cs.openDialog, 13);
  EXPECT_EQ(cs.given[1], 20);
  EXPECT_TRUE(cs.SaidSomething("これでよろしいですか？"));
  Answer(kResultConfirm, 10);
  EXPECT_EQ(DaimyoTable[player].money, 1000 - 20);
  EXPECT_EQ(BusyoTable[pGen].marchFlag, 1);
  EXPECT_EQ(BusyoTable[pGen].siro2, 2);
  EXPECT_EQ(CountBusyoMarchingTo(2), 1);
  EXPECT_EQ(cs.openDialog, -1);
  // Back out and end the phase; the war phase takes the march.
  Answer(kResultBack);
  Answer(15);
  EXPECT_TRUE(LeavesPhase(3));
}

TEST_F(StrategyPhaseTest, AttackingAnAllyEndsTheAllianceAndCostsPrestigeAndLoyalty) {
  FormAlliance(player, enemy);
  DaimyoTable[player].prestige = 2;
  BusyoTable[pGen].soldiers = 10;
  Answer(9);
  Mark({pGen});
  cs.selectedCastle = 2;
  for (int i = 0; i < 6; ++i) Frame();
  EXPECT_TRUE(cs.SaidSomething("同盟が破棄されますがよろしいですか？"));
  Answer(kResultConfirm, 10);
  EXPECT_FALSE(IsAllied(player, enemy));
  EXPECT_EQ(DaimyoTable[player].prestige, 0);
  EXPECT_EQ(BusyoTable[pHead].loyalty, 9);  // draw 0: 1 lost
}

TEST_F(StrategyPhaseTest, DeclarationEndsTheGameAtTheNextTurn) {
  // Allowed once the player has put the question off (stage 1).
  UnificationStage = 1;
  UnificationDeclared = 1;
  RefreshCommandMenus(3);
  Answer(8, 10);
  EXPECT_EQ(UnificationStage, 2);
  EXPECT_TRUE(cs.SaidSomething("次ターンで天下統一を宣言します"));
  Answer(15);
  cs.dialogSlots[0] = {1};  // the ending dialog, once it opens, is read to its end
  EXPECT_TRUE(RunUntil([&] { return cs.SaidSomething("天下統一の条件を満たしました！"); }, 20000));
  EXPECT_TRUE(RunUntil([&] { return adv.titleRequests > 0 || GameMode != game_mode::kSlg; }, 20000));
}

TEST_F(StrategyPhaseTest, PlotLowersTheCastleAndChargesItsCost) {
  SiroTable[2].level = 10;
  BusyoTable[pGen].soldiers = 10;
  BusyoTable[pGen].guns = 10;
  Answer(10);
  Mark({pGen});
  cs.selectedCastle = 2;
  for (int i = 0; i < 6; ++i) Frame();
  ASSERT_EQ(cs.openDialog, 14);
  Answer(kResultConfirm, 20);
  EXPECT_TRUE(cs.SaidSomething("計略に成功しました"));
  EXPECT_EQ(SiroTable[2].level, 8);  // 10 - 15 %
  EXPECT_EQ(BusyoTable[pGen].soldiers, 9);
  EXPECT_EQ(BusyoTable[pGen].guns, 9);
  EXPECT_EQ(DaimyoTable[player].cp, 17);
  EXPECT_EQ(DaimyoTable[player].money, 1000 - 50);
  EXPECT_EQ(SiroTable[2].turnFlags & 1, 1);
}

class PoliticsDiplomacyTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    EnterPhase(2);
  }
};

TEST_F(PoliticsDiplomacyTest, FailedAllianceCostsOneCpAndHalfTheMoney) {
  ScopedGameRandOverride zeros{[] { return 0; }};
  DaimyoTable[player].revenue = DaimyoTable[enemy].revenue = 1000;
  BusyoTable[pGen].cur.stat[1] = 0;
  Answer(9);
  Mark({pGen});
  cs.selectedKuni = kuniB;
  for (int i = 0; i < 6; ++i) Frame();
  ASSERT_EQ(cs.openDialog, 10);
  EXPECT_EQ(cs.given[3], enemy);
  Answer(kResultConfirm, 10);
  EXPECT_TRUE(cs.SaidSomething("同盟交渉に失敗しました"));
  EXPECT_EQ(DaimyoTable[player].cp, 19);
  EXPECT_EQ(DaimyoTable[player].money, 980);
  EXPECT_EQ(DaimyoTable[enemy].turnFlags & 1, 1);
  EXPECT_FALSE(IsAllied(player, enemy));
}

TEST_F(PoliticsDiplomacyTest, AllianceIsRefusedWithoutMoneyOrWithOneself) {
  DaimyoTable[player].money = 39;
  RefreshCommandMenus(2);
  Answer(9, 10);
  EXPECT_TRUE(cs.SaidSomething("これ以上はできません"));
  EXPECT_EQ(DaimyoTable[player].money, 39);
  DaimyoTable[player].money = 1000;
  RefreshCommandMenus(2);
  Answer(9);
  Mark({pGen});
  cs.selectedKuni = kuniA;  // the player's own country
  for (int i = 0; i < 6; ++i) Frame();
  EXPECT_EQ(cs.openDialog, -1);
  EXPECT_EQ(DaimyoTable[player].cp, 20);
}

TEST_F(PoliticsDiplomacyTest, PoachingWinsTheGeneralOver) {
  ScopedGameRandOverride zeros{[] { return 0; }};
  BusyoTable[eGen].soldiers = 40;
  BusyoTable[eGen].guns = 9;
  BusyoTable[eGen].cur.stat[0] = 50;  // cut (50 - 30) % = 8
  BusyoTable[eGen].loyalty = 4;
  // The enemy's general stands in the player's country.
  BusyoTable[eGen].siro = 1;
  SiroTable[1].list1[1] = {static_cast<uint8_t>(enemy), 1};
  RefreshCommandMenus(2);
  Answer(10);
  Mark({pGen});
  ASSERT_EQ(cs.openDialog, 11);
  cs.dialogSlots[6] = {1};
  cs.dialogSlots[7] = {eGen};
  cs.dialogSlots[8] = {1};
  Answer(kResultConfirm, 12);
  EXPECT_TRUE(cs.SaidSomething("武将の引抜きに成功しました"));
  EXPECT_EQ(GetBusyoDaimyo(static_cast<uint32_t>(eGen)), player);
  EXPECT_EQ(BusyoTable[eGen].soldiers, 32);
  EXPECT_EQ(BusyoTable[eGen].guns, 4);
  EXPECT_EQ(BusyoTable[eGen].loyalty, 5);
  EXPECT_EQ(DaimyoTable[player].cp, 17);
  EXPECT_EQ(DaimyoTable[player].money, 950);
}

}  // namespace

namespace {

class SecretContactTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    DaimyoTable[player].revenue = 1000;
    DaimyoTable[enemy].revenue = 1000;
    DaimyoTable[player].prestige = 10;
    DaimyoTable[enemy].prestige = 0;
    BusyoTable[pGen].cur.stat[1] = 50;
    BusyoTable[eGen].loyalty = 4;  // score (10 + 10) / 4 + 2 = 7: every die wins
    EnterPhase(3);
  }
  ScopedGameRandOverride zeros{[] { return 0; }};
};

TEST_F(SecretContactTest, ContactWinsTheTargetUntilTheNextStrategyPhase) {
  Answer(11);
  Mark({pGen});
  cs.marked = {pGen, eHead};  // a clan head refuses
  for (int i = 0; i < 6; ++i) Frame();
  EXPECT_EQ(cs.openDialog, -1);
  cs.marked = {pGen, eGen};
  for (int i = 0; i < 6; ++i) Frame();
  ASSERT_EQ(cs.openDialog, 15);
  // The dialog shows the numbers it opens with; a value 3 would lock it against its confirmation.
  EXPECT_TRUE(cs.given.empty());
  Answer(kResultConfirm, 10);
  EXPECT_TRUE(cs.SaidSomething("良い感触を得ました"));
  EXPECT_EQ(BusyoTable[eGen].contactDaimyo, player);
  EXPECT_EQ(BusyoTable[eGen].cmdFlags & 8, 8);
  EXPECT_EQ(BusyoTable[pGen].cmdFlags & 1, 1);
  EXPECT_EQ(DaimyoTable[player].cp, 19);
  EXPECT_EQ(DaimyoTable[player].money, 980);
}

TEST_F(SecretContactTest, StrategyCommandsRefuseWhatTheClanCannotPay) {
  struct Case {
    int command, cp, money;
  } cases[] = {{11, 0, 1000}, {11, 20, 19}, {10, 2, 1000}, {10, 20, 49}};
  for (const Case& c : cases) {
    DaimyoTable[player].cp = static_cast<uint8_t>(c.cp);
    DaimyoTable[player].money = static_cast<uint16_t>(c.money);
    RefreshCommandMenus(3);
    cs.messages.clear();
    Answer(c.command, 10);
    EXPECT_TRUE(cs.SaidSomething("これ以上はできません")) << c.command << " " << c.cp << " " << c.money;
    EXPECT_EQ(DaimyoTable[player].cp, c.cp);
    EXPECT_EQ(DaimyoTable[player].money, c.money);
  }
}

TEST_F(SecretContactTest, AttackOrderTakesOnlyGeneralsTheMoneyAndCastleAllow) {
  BusyoTable[pGen].soldiers = 40;
  BusyoTable[pHead].soldiers = 40;
  Answer(9);
  const int each = InvadeCostPerBusyo(static_cast<uint16_t>(pGen));
  ASSERT_GT(each, 1);
  DaimyoTable[player].money = static_cast<uint16_t>(each - 1);
  Mark({pGen});
  EXPECT_TRUE(cs.marked.empty());  // refused: the money does not cover him
  DaimyoTable[player].money = 1000;
  Mark({pGen, pHead});  // the head stands in another castle
  cs.selectedCastle = 2;
  for (int i = 0; i < 6; ++i) Frame();
  ASSERT_EQ(cs.openDialog, 13);
  EXPECT_EQ(cs.given[1], each);
  EXPECT_EQ(cs.marked, std::vector<int32_t>{pGen});
  Answer(kResultConfirm, 10);
  EXPECT_EQ(DaimyoTable[player].money, 1000 - each);
  EXPECT_EQ(BusyoTable[pHead].marchFlag, 0);
}

}  // namespace
