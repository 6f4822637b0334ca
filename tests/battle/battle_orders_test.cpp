// The command enable table and the player's deployment and order questions, driven by scripted
// picks through a fake scene link.
#include <deque>
#include <string>

#include "battle/battle_orders.h"
#include "battle/battle_rules.h"
#include "battle/battle_screen_port.h"
#include "core/frame_wait.h"
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

int UnitOf(int side, uint16_t general) {
  for (int i = 0; i < kBattleUnits; ++i)
    if (g_Battle.sides[side].units[i].general == general) return i;
  return -1;
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

// The voices the deployment asks for: general, line.
struct VoiceScreen : BattleScreenPort {
  void PlayVoice(int busyo, int line) override { voices.emplace_back(busyo, line); }
  std::vector<std::pair<int, int>> voices;
};

class PlayerDeployTest : public ::testing::Test {
 protected:
  void TearDown() override {
    SetBattleScreenPort(nullptr);
    g_FrameWaitCounter.store(0);
  }
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
  VoiceScreen screen;
  SetBattleScreenPort(&screen);
  ASSERT_EQ(Poll([&] { return orders.Deploy() ? 1 : -1; }), 1);
  // The commander speaks when named (8), each unit when it takes its lane (9).
  EXPECT_EQ(screen.voices, (std::vector<std::pair<int, int>>{{11, 8}, {10, 9}, {11, 9}}));
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
  g_FrameWaitCounter.store(0);
  ASSERT_EQ(Poll([&] { return orders.Deploy() ? 1 : -1; }), -1);
  EXPECT_EQ(g_FrameWaitCounter.load(), 150) << "the message holds for a wait of 100";
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

// The beaten defender is asked to retreat or hold (phase 16); only those two answers count.
TEST(PlayerUnitOrder, TheBeatenDefenderChoosesRetreatOrHold) {
  FieldBuilder f(2);
  f.Unit(0, 0, 3, 10, 50, 0, 80).commander = 1;
  f.Start();
  ScriptedLink link;
  PlayerOrders orders(link);
  link.picks = {17, 41};
  EXPECT_EQ(Poll([&] { return orders.DefenderChoice(); }), 41);
  ASSERT_FALSE(link.messages.empty());
  EXPECT_EQ(link.messages.front(), "退却か篭城を選択して下さい");
  EXPECT_EQ(link.phases.front(), 16);
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
  for (const Case& c : {Case{{16, 28}, 28}, Case{{18, 28}, 31}, Case{{16, 1, 17}, 17}, Case{{24, 19}, 19},
                        Case{{15, 23}, 23}, Case{{300, 23}, 23}}) {  // a unit pick is no order
    orders.Reset();
    link.picks = c.picks;
    EXPECT_EQ(Poll([&] { return orders.UnitOrder(0, 0); }), c.want);
  }
  EXPECT_EQ(link.messages.front(), "どの命令をあたえますか？");
}

TEST(BattleCommandEnable, SwapAndDetachedNeedAWillingReserve) {
  FieldBuilder f(3);
  f.Unit(0, 1, 3, 10, 50, 0, 80).commander = 1;
  f.Unit(0, 0, 2, 11, 40, 0, 80);
  f.Unit(0, -1, 0, 12, 30, 0, 60);
  f.Unit(1, 1, 5, 20, 50, 0, 70);
  f.Start();
  BattleUnit& reserve = g_Battle.sides[0].units[UnitOf(0, 12)];
  struct Case {
    uint16_t actor;
    int code;
    int reserveMorale;
    uint8_t detachedDisplay;
    bool want;
  };
  for (Case c : {Case{11, 20, 60, 0, true},      // a unit off the edge, not the commander
                 Case{10, 20, 60, 0, false},     // the commander never swaps out
                 Case{11, 20, 0, 0, false},      // a routed reserve cannot come in
                 Case{10, 21, 60, 0, true},      // the commander sends the detached force
                 Case{11, 21, 60, 0, false},     // nobody else does
                 Case{10, 21, 0, 0, false},      // not without a reserve that can fight
                 Case{10, 21, 60, 1, false}}) {  // nor when the detached position is taken
    reserve.morale = static_cast<uint8_t>(c.reserveMorale);
    g_Battle.slots[0][g_Battle.laneCount].display = c.detachedDisplay;
    ActAsGeneral(0, c.actor);
    EXPECT_EQ(IsBattleCommandEnabled(c.code), c.want) << c.actor << " " << c.code << " " << c.reserveMorale;
  }
}

// The rules take the player's pick through the screen port, as the battle scene's port does.
struct PickPort : BattleScreenPort {
  PlayerOrders* orders = nullptr;
  int PlayerSwapPick(int side, int unit) override { return orders->TakeSwapPick(side, unit); }
  int PlayerDetachedPick(int side) override { return orders->TakeDetachedPick(side); }
};

class PlayerPickTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FieldBuilder f(3);
    f.Unit(0, 1, 3, 10, 50, 0, 80).commander = 1;
    f.Unit(0, 0, 3, 11, 40, 0, 70);
    f.Unit(0, -1, 0, 12, 30, 0, 80);  // the AI's choice: the first reserve unit above the lane's morale
    f.Unit(0, -1, 0, 13, 30, 0, 80);
    f.Unit(1, 1, 6, 20, 50, 0, 70);
    f.Start();
    g_Battle.sides[0].units[UnitOf(0, 12)].morale = 75;
    g_Battle.sides[0].units[UnitOf(0, 13)].morale = 30;  // below what the AI would take
    port.orders = &orders;
    SetBattleScreenPort(&port);
  }
  void TearDown() override { SetBattleScreenPort(nullptr); }
  ScriptedLink link;
  PlayerOrders orders{link};
  PickPort port;
};

TEST_F(PlayerPickTest, TheSwapBringsInThePlayersPick) {
  const int actor = UnitOf(0, 11), pick = UnitOf(0, 13);
  ActAs(0, actor);
  // Units in a lane, missing units and the actor himself are no picks; the reserve unit is.
  link.picks = {20, 300 + UnitOf(0, 10), 305, 300 + pick};
  ASSERT_EQ(Poll([&] { return orders.UnitOrder(0, actor); }), 20);
  EXPECT_EQ(link.phases.back(), 9);
  EXPECT_EQ(link.messages.back(), "どの部隊と交換しますか？");
  UnitAction(0, actor, 20);
  const int lane0 = UnitOf(0, 11);
  EXPECT_EQ(g_Battle.sides[0].units[lane0].lane, kNoLane);
  EXPECT_EQ(g_Battle.sides[0].units[UnitOf(0, 13)].lane, 0);
  EXPECT_EQ(g_Battle.slots[0][0].column, 2);  // the lane falls back one column
  // The pick is taken once: the next swap (the AI's) chooses by its own rule.
  EXPECT_EQ(orders.TakeSwapPick(0, actor), BattleScreenPort::kOrderByAi);
}

TEST_F(PlayerPickTest, BackFromTheSwapKeepsTheTurn) {
  const int actor = UnitOf(0, 11);
  ActAs(0, actor);
  link.picks = {20, 1};
  EXPECT_EQ(Poll([&] { return orders.UnitOrder(0, actor); }), -1);
  EXPECT_EQ(link.phases.back(), 12);
  EXPECT_EQ(orders.TakeSwapPick(0, actor), BattleScreenPort::kOrderByAi);
  link.picks = {23};
  EXPECT_EQ(Poll([&] { return orders.UnitOrder(0, actor); }), 23);
}

TEST_F(PlayerPickTest, TheDetachedForceIsThePlayersPickOrNone) {
  struct Case {
    std::deque<int> after;  // picks after "commander", "detached force"
    uint16_t sent;          // general sent, 0 none
  };
  for (const Case& c : {Case{{300 + UnitOf(0, 13)}, 13}, Case{{1}, 0}}) {
    SetUp();
    const int cmd = UnitOf(0, 10);
    ActAs(0, cmd);
    link.picks = {26, 21};
    link.picks.insert(link.picks.end(), c.after.begin(), c.after.end());
    ASSERT_EQ(Poll([&] { return orders.UnitOrder(0, cmd); }), 21);
    EXPECT_EQ(link.messages.back(), "誰を別動隊にしますか？");
    UnitAction(0, cmd, 21);
    const BattleFieldSlot& d = g_Battle.slots[0][g_Battle.laneCount];
    if (c.sent) {
      EXPECT_EQ(d.unit, UnitOf(0, c.sent));
      EXPECT_EQ(d.column, 0);
      EXPECT_EQ(g_Battle.sides[0].countdown, 2);
    } else {
      // Back ends the order with nothing sent; the force can still be sent later.
      EXPECT_EQ(d.unit, 255);
      EXPECT_EQ(g_Battle.sides[0].countdown, 0xFFFF);
    }
  }
}

// Puts castles 1 and 2 and the player's clan back as they were.
struct WorldGuard {
  SiroRecord one = SiroTable[1], two = SiroTable[2];
  uint8_t player = PlayerDaimyoId;
  ~WorldGuard() {
    SiroTable[1] = one;
    SiroTable[2] = two;
    PlayerDaimyoId = player;
  }
};

// The target castle 1 with neighbour 2; the player's clan 0.
void RetreatWorld(uint8_t neighbourOwner, uint8_t lastSlot) {
  PlayerDaimyoId = 0;
  g_Battle.targetSiro = 1;
  SiroRecord& t = SiroTable[1];
  std::fill(std::begin(t.neighbours), std::end(t.neighbours), 0xFFFF);
  t.neighbours[0] = 2;
  SiroRecord& n = SiroTable[2];
  n.kuni = 0;
  n.owner = neighbourOwner;
  n.list1[kSiroListLen - 1].slot = lastSlot;
}

TEST(BattleCommandEnable, RetreatNeedsAFreeNeighbourOfThePlayers) {
  FieldBuilder f(3);
  f.Unit(0, 0, 3, 10, 50, 0, 80);
  f.Start();
  WorldGuard guard;
  struct Case {
    uint8_t owner, lastSlot;
    bool want;
  };
  for (Case c : {Case{0, 255, true}, Case{0, 3, false}, Case{1, 255, false}}) {
    RetreatWorld(c.owner, c.lastSlot);
    EXPECT_EQ(IsBattleCommandEnabled(41), c.want) << int(c.owner) << " " << int(c.lastSlot);
  }
  g_Battle.targetSiro = 0xFFFF;  // no castle: nowhere to go
  EXPECT_FALSE(IsBattleCommandEnabled(41));
}

TEST(PlayerSiegeOrder, WithdrawingIsConfirmed) {
  FieldBuilder f(3);
  f.Unit(0, 0, 3, 10, 50, 0, 80);
  f.Start();
  WorldGuard guard;
  RetreatWorld(0, 255);
  ScriptedLink link;
  PlayerOrders orders(link);
  link.picks = {41};
  link.answers = {2};
  // Refused: back to the order menu, where storming is chosen.
  EXPECT_EQ(Poll([&] { return orders.SiegeOrder(); }), -1);
  EXPECT_EQ(link.questions.back(), "退却します。");
  EXPECT_EQ(link.phases.back(), 18);
  link.picks = {50};
  EXPECT_EQ(Poll([&] { return orders.SiegeOrder(); }), 50);
  link.picks = {41};
  link.answers = {1};
  EXPECT_EQ(Poll([&] { return orders.SiegeOrder(); }), 41);
}

TEST(KassenLists, SkillRowsAndTheOrderQueue) {
  FieldBuilder f(3);
  BattleUnit& a = f.Unit(0, 0, 3, 10, 50, 0, 80);
  a.skills[0] = 3, a.skillCount[0] = 5;
  a.skills[1] = 4, a.skillCount[1] = 0;    // spent: not listed
  a.skills[2] = 5, a.skillCount[2] = 120;  // lasting: no number
  BattleUnit& b = f.Unit(0, 1, 3, 11, 50, 0, 80);
  b.skills[0] = 6, b.skillCount[0] = 2;
  BattleUnit& c = f.Unit(0, 2, 3, 12, 50, 0, 80);
  c.skills[0] = 7, c.skillCount[0] = 1;
  c.morale = 0;  // routed: not listed
  f.Unit(1, 1, 5, 20, 50, 0, 70);
  f.Start();
  KassenSkillRow rows[kKassenSkillRows];
  ASSERT_EQ(KassenSkillList(0, rows, kKassenSkillRows), 3);
  EXPECT_EQ(rows[0].skill, 6);
  EXPECT_EQ(rows[0].value, 2);
  EXPECT_EQ(rows[1].skill, 3);
  EXPECT_EQ(rows[2].skill, 5);
  EXPECT_EQ(rows[2].value, -1);
  EXPECT_EQ(KassenSkillList(1, rows, kKassenSkillRows), 0);
  EXPECT_EQ(KassenSkillList(2, rows, kKassenSkillRows), 0);

  BuildBattleOrder();
  int queue[10];
  const int all = KassenOrderQueue(queue, 10);
  ASSERT_EQ(all, static_cast<int>(g_Battle.order.size()));
  // A unit that has acted leaves the queue; the rest keep their order.
  const BattleOrderEntry first = g_Battle.order[0];
  g_Battle.views[first.side][first.unit].acted = true;
  int after[10];
  ASSERT_EQ(KassenOrderQueue(after, 10), all - 1);
  for (int i = 0; i + 1 < all; ++i) EXPECT_EQ(after[i], queue[i + 1]) << i;
  EXPECT_EQ(KassenOrderQueue(after, 1), 1);
}
}  // namespace
