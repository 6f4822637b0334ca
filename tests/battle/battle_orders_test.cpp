// The command enable table and the player's deployment and order questions, driven by scripted
// picks through a fake scene link.
#include <deque>
#include <string>

#include "battle/battle_orders.h"
#include "tests/battle/battle_fixture.h"

namespace {

struct ScriptedLink : KassenSceneLink {
  std::deque<int> picks;
  std::deque<int> answers;
  std::vector<int> phases;
  std::vector<std::string> messages;
  std::vector<std::string> questions;
  bool questionOpen = false;
  void SetPhase(int p) override { phases.push_back(p); }
  void ShowMessage(const char* t) override { messages.emplace_back(t); }
  int TakeResult() override {
    if (picks.empty()) return -1;
    int r = picks.front();
    picks.pop_front();
    return r;
  }
  void OpenQuestion(const char* t) override {
    questions.emplace_back(t);
    questionOpen = true;
  }
  int QuestionAnswer() override {
    if (!questionOpen || answers.empty()) return -1;
    questionOpen = false;
    int a = answers.front();
    answers.pop_front();
    return a;
  }
};

// Runs a polled question until it finishes or the frames run out.
template <class F>
int Poll(F f, int frames = 50) {
  for (int i = 0; i < frames; ++i) {
    int r = f();
    if (r != -1) return r;
  }
  return -1;
}

// The actor by general (placement re-sorts the units by lane).
void ActAsGeneral(int side, uint16_t general) {
  for (int i = 0; i < kBattleUnits; ++i)
    if (g_Battle.sides[side].units[i].general == general) {
      g_Battle.order = {{static_cast<uint8_t>(side), static_cast<uint8_t>(i), general, false}};
      g_Battle.currentActor = 0;
    }
}

void ActAs(int side, int unit) {
  g_Battle.order = {
      {static_cast<uint8_t>(side), static_cast<uint8_t>(unit), g_Battle.sides[side].units[unit].general, false}};
  g_Battle.currentActor = 0;
}

TEST(BattleCommandEnable, OrdersOfTheCurrentActor) {
  FieldBuilder f(3);
  f.Unit(0, 1, 3, 10, 50, 10, 80).commander = 1;  // unit 0, lane 1, col 3
  f.Unit(0, 0, 0, 11, 40, 0, 80);                 // unit 1, lane 0, col 0 (edge)
  f.Unit(0, -1, 0, 12, 30, 0, 60);                // unit 2, reserve
  f.Unit(1, 1, 4, 20, 50, 0, 70);                 // enemy right in front of unit 0
  f.Start();
  ActAsGeneral(0, 10);
  struct Case {
    int code;
    bool want;
  };
  for (Case c : {Case{15, false},
                 {16, true},
                 {17, true},
                 {18, true},
                 {19, true},
                 {20, false},
                 {21, true},
                 {22, false},
                 {23, true},
                 {24, true},
                 {26, true},
                 {28, true},
                 {31, true},
                 {27, false}})
    EXPECT_EQ(IsBattleCommandEnabled(c.code), c.want) << c.code;
  // Rain stops the guns; fog stops the detached unit.
  g_Battle.weather = 1;
  EXPECT_FALSE(IsBattleCommandEnabled(17));
  g_Battle.weather = 2;
  EXPECT_FALSE(IsBattleCommandEnabled(21));
  g_Battle.weather = 0;
  // Once sent, never again.
  g_Battle.sides[0].countdown = 2;
  EXPECT_FALSE(IsBattleCommandEnabled(21));
  // An enemy without morale draws no volley.
  g_Battle.sides[1].units[0].morale = 0;  // the only enemy
  EXPECT_FALSE(IsBattleCommandEnabled(17));
  // A unit at the edge column cannot fall back or swap, and moves only without an enemy near.
  ActAsGeneral(0, 11);
  EXPECT_FALSE(IsBattleCommandEnabled(19));
  EXPECT_FALSE(IsBattleCommandEnabled(20));
  EXPECT_TRUE(IsBattleCommandEnabled(24));
  EXPECT_FALSE(IsBattleCommandEnabled(26));
}

TEST(BattleCommandEnable, FormationsAndSideChoices) {
  FieldBuilder f(2);
  f.Unit(0, -1, 0, 10, 50, 0, 80);
  f.Start();
  EXPECT_TRUE(IsBattleCommandEnabled(10));
  EXPECT_FALSE(IsBattleCommandEnabled(11));  // two lanes: only formations 0, 3 and 4
  EXPECT_FALSE(IsBattleCommandEnabled(12));
  EXPECT_TRUE(IsBattleCommandEnabled(13));
  g_Battle.attackerSide = 0;
  EXPECT_TRUE(IsBattleCommandEnabled(50));
  EXPECT_FALSE(IsBattleCommandEnabled(40));
  g_Battle.attackerSide = 1;
  EXPECT_FALSE(IsBattleCommandEnabled(50));
  EXPECT_TRUE(IsBattleCommandEnabled(40));
  g_Battle.sides[0].soldiers = 1;
  EXPECT_FALSE(IsBattleCommandEnabled(10));
}

TEST(BattleCommandSets, BackOnlyAndLabels) {
  for (int i = 0; i < 7; ++i) EXPECT_EQ(KassenCommandSet(1, i).code, -1);
  EXPECT_EQ(KassenCommandSet(1, 7).code, 25);
  EXPECT_EQ(KassenCommandSet(4, 1).picture, 10);
  EXPECT_EQ(KassenCommandSet(11, 0).code, -1);
  EXPECT_STREQ(KassenCommandLabel(34), "正面＋別働隊攻撃");
  EXPECT_EQ(KassenCommandLabel(99), nullptr);
}

class PlayerDeployTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FieldBuilder f(2);
    f.Unit(0, -1, 0, 10, 50, 0, 80);
    f.Unit(0, -1, 0, 11, 40, 0, 80);
    f.Unit(0, -1, 0, 12, 30, 0, 80);
    f.Unit(1, 0, 7, 20, 50, 0, 70);
    f.Start();
    g_Battle.sides[0].clan = 255;  // no clan head: the player picks the commander
    for (BattleUnit& u : g_Battle.sides[0].units) u.clan = 255;
    orders.Reset();
  }
  ScriptedLink link;
  PlayerOrders orders{link};
};

TEST_F(PlayerDeployTest, PlacesCommanderAndLanesThenConfirms) {
  link.picks = {10, 301, 300, 301, 302};  // formation 0, commander unit 1, lanes: 0 then 1
  link.answers = {1};
  ASSERT_EQ(Poll([&] { return orders.Deploy() ? 1 : -1; }), 1);
  EXPECT_EQ(g_Battle.sides[0].units[1].commander, 1);
  EXPECT_EQ(g_Battle.slots[0][0].unit, 0);
  EXPECT_EQ(g_Battle.slots[0][1].unit, 1);
  EXPECT_EQ(g_Battle.sides[0].units[2].lane, kNoLane);
  EXPECT_EQ(link.questions.back(), "合戦を開始します。");
  // Morale as at set-up with the named commander (80 before): 3 x (stat1 + commander stat) / 5
  // + 50 for independents, the generals of this field having no stats.
  for (int i = 0; i < 3; ++i) EXPECT_EQ(g_Battle.sides[0].units[i].morale, 50) << i;
  EXPECT_EQ(g_Battle.sides[0].startMorale, g_Battle.sides[0].morale);
  EXPECT_EQ(link.phases.back(), 6);
}

TEST_F(PlayerDeployTest, WithoutTheCommanderInALaneItCannotBeConfirmed) {
  link.picks = {10, 302, 300, 301};  // commander unit 2 is left out
  ASSERT_EQ(Poll([&] { return orders.Deploy() ? 1 : -1; }), -1);
  EXPECT_TRUE(link.questions.empty());
  EXPECT_EQ(link.messages.back(), "弐の部隊は、誰にしますか？");
  EXPECT_NE(std::find(link.messages.begin(), link.messages.end(), "大将が配置されていません"), link.messages.end());
  EXPECT_EQ(orders.LaneCursor(), 1);  // the last lane was undone
}

TEST_F(PlayerDeployTest, BackAtTheFirstLaneReturnsToTheCommanderUnlessChosenForHim) {
  link.picks = {10, 300, 1};
  Poll([&] { return orders.Deploy() ? 1 : -1; });
  EXPECT_EQ(link.phases.back(), 8);
  // With the clan head in the army he is commander at once; back stays at the first lane.
  SetUp();
  g_Battle.sides[0].clan = 0;
  DaimyoTable[0].head = 11;
  link = ScriptedLink();
  link.picks = {10, 1};
  Poll([&] { return orders.Deploy() ? 1 : -1; });
  EXPECT_EQ(g_Battle.sides[0].units[1].commander, 1);
  EXPECT_EQ(link.phases.back(), 7);
}

TEST_F(PlayerDeployTest, HoldingTheCastleSkipsTheRest) {
  g_Battle.attackerSide = 1;
  g_Battle.sides[0].units[2].commander = 1;
  link.picks = {40};
  link.answers = {2, 1};
  link.picks.push_back(40);
  ASSERT_EQ(Poll([&] { return orders.Deploy() ? 1 : -1; }), 1);
  EXPECT_EQ(g_Battle.sides[0].status, 1);
  EXPECT_EQ(g_Battle.sides[0].units[2].commander, 1);  // the old commander mark comes back
  EXPECT_EQ(link.questions.size(), 2u);
}

TEST(PlayerUnitOrder, SubQuestionsTurnIntoOrders) {
  FieldBuilder f(3);
  f.Unit(0, 1, 3, 10, 50, 10, 80).commander = 1;
  f.Unit(1, 1, 4, 20, 50, 0, 70);
  f.Start();
  ActAs(0, 0);
  ScriptedLink link;
  PlayerOrders orders(link);
  struct Case {
    std::deque<int> picks;
    int want;
  };
  for (const Case& c :
       {Case{{16, 28}, 28}, Case{{18, 28}, 31}, Case{{16, 1, 17}, 17}, Case{{24, 19}, 19}, Case{{15, 23}, 23}}) {
    orders.Reset();
    link.picks = c.picks;
    EXPECT_EQ(Poll([&] { return orders.UnitOrder(0, 0); }), c.want);
  }
  EXPECT_EQ(link.messages.front(), "どの命令をあたえますか？");
}
}  // namespace
