// What a hand-fought battle hands its scene: every action with its kind and losses, the voices and
// the effects of each event.
#include <string>

#include "battle_fixture.h"

namespace {

// Records what the rules hand the scene.
class RecordingScreen : public BattleScreenPort {
 public:
  struct Action {
    int side, unit, kind, value, a, b, c;
  };
  void PlayAction(int side, int unit, int kind, int value, int a, int b, int c) override {
    actions.push_back({side, unit, kind, value, a, b, c});
  }
  void PlayVoice(int busyo, int line) override { voices.push_back({busyo, line}); }
  void PlaySoundEffect(int n) override { effects.push_back(n); }
  void ShowSkillLists(bool show) override { lists.push_back(show); }
  std::vector<Action> actions;
  std::vector<std::pair<int, int>> voices;  // general, line
  std::vector<int> effects;
  std::vector<bool> lists;
  bool Spoke(int busyo, int line) const {
    for (const auto& v : voices)
      if (v.first == busyo && v.second == line) return true;
    return false;
  }
};

// The lane an attack of the unit in lane 1 of side 0 strikes.
int TargetLaneOf(int order) { return 1 + (order - kOrderAttackFirst) % 3 - 1; }

struct ShownField {
  explicit ShownField(int lanes, int weather = 0) : f(lanes, weather) {
    g_Battle.mode = 2;
    SetBattleScreenPort(&screen);
  }
  ~ShownField() { SetBattleScreenPort(nullptr); }
  FieldBuilder f;
  RecordingScreen screen;
};

// Each attack, charge and volley reaches the scene with its kind (by the lane it strikes) and the
// losses it dealt; the acting unit's charge cost is the third value.
TEST(BattlePresentation, EveryActionReachesTheSceneWithItsLosses) {
  struct Case {
    int order, kind;
  };
  const Case cases[] = {{27, 5}, {28, 1}, {29, 4}, {30, 10}, {31, 8}, {32, 9}, {kOrderGuns, 7}};
  for (const Case& c : cases) {
    ShownField s(3);
    s.f.Unit(0, 1, 3, 10, 30, 10, 100);
    s.f.Unit(1, 0, 4, 20, 30, 0, 90);
    s.f.Unit(1, 1, 4, 21, 30, 0, 90);
    s.f.Unit(1, 2, 4, 22, 30, 0, 90);
    s.f.Start();
    const int lane = c.order == kOrderGuns ? 1 : TargetLaneOf(c.order);
    const BattleUnit before = g_Battle.sides[1].units[lane];
    const int ownMorale = g_Battle.sides[0].units[0].morale;
    ScriptedDraws draws({3, 20, 30});
    UnitAction(0, 0, c.order);
    ASSERT_EQ(s.screen.actions.size(), 1u) << c.order;
    const RecordingScreen::Action& a = s.screen.actions[0];
    const BattleUnit& after = g_Battle.sides[1].units[lane];
    EXPECT_EQ(a.side, 0);
    EXPECT_EQ(a.unit, 0);
    EXPECT_EQ(a.kind, c.kind) << c.order;
    EXPECT_EQ(a.a, after.morale - before.morale) << c.order;
    EXPECT_EQ(a.b, after.soldiers - before.soldiers) << c.order;
    EXPECT_LT(a.a, 0) << c.order;
    EXPECT_EQ(a.c, g_Battle.sides[0].units[0].morale - ownMorale) << c.order;
  }
}

// Without the battle animation an action sounds and waits instead of playing.
TEST(BattlePresentation, WithoutTheAnimationAnActionOnlySounds) {
  ShownField s(2);
  g_BattleConfig.animation = 0;
  s.f.Unit(0, 0, 3, 10, 30, 10, 100);
  s.f.Unit(1, 0, 4, 20, 30, 0, 90);
  s.f.Start();
  ScriptedDraws draws({});
  UnitAction(0, 0, kOrderGuns);
  UnitAction(0, 0, 28);
  EXPECT_TRUE(s.screen.actions.empty());
  EXPECT_EQ(s.screen.effects, (std::vector<int>{31, 17}));
}

// The voice of each event, spoken by the general the event belongs to.
TEST(BattlePresentation, EachEventAsksForItsVoiceLine) {
  // The detached force goes (1).
  {
    ShownField s(2);
    s.f.Unit(0, 0, 3, 10, 20, 0, 100).commander = 1;
    s.f.Unit(0, -1, 0, 12, 20, 0, 100);
    s.f.Unit(1, 0, 4, 20, 20, 0, 100);
    s.f.Start();
    ScriptedDraws draws({});
    UnitAction(0, 0, kOrderDetach);
    EXPECT_TRUE(s.screen.Spoke(12, 1));
  }
  // A skill fires: 21 in the field, 22 in the siege, with its cut-in (11) and effect (12).
  for (int field : {1, 0}) {
    ShownField s(2);
    BattleUnit& u = s.f.Unit(0, 0, 3, 10, 20, 0, 60);
    s.f.Unit(1, 0, 4, 20, 20, 0, 60);
    s.f.Start();
    g_Battle.fieldBattle = static_cast<uint8_t>(field);
    SkillRecord& r = SkillTable[40];
    std::memset(&r, 0, sizeof r);
    r.effects[0].kind = 1;                                      // anywhere
    r.effects[1].kind = 1;                                      // always
    r.effects[2].kind = 1;                                      // no chance
    r.effects[3].kind = 3;                                      // every round
    r.effects[4] = {2, 2};                                      // two rounds
    r.effects[5].kind = 2;                                      // itself
    r.effects[6] = {static_cast<uint16_t>(field ? 3 : 9), 10};  // attack up / storm rate
    u.skills[0] = 41;
    ScriptedDraws draws({});
    SkillPhase();
    EXPECT_TRUE(s.screen.Spoke(10, field ? 21 : 22)) << field;
    ASSERT_EQ(s.screen.actions.size(), 2u);
    EXPECT_EQ(s.screen.actions[0].kind, 11);
    EXPECT_EQ(s.screen.actions[0].value, 41);
    EXPECT_EQ(s.screen.actions[1].kind, 12);
  }
  // A side broke (17): its commander speaks.
  {
    ShownField s(2);
    s.f.Unit(0, 0, 3, 10, 20, 0, 100).commander = 1;
    s.f.Unit(1, 0, 4, 20, 20, 0, 100).commander = 1;
    s.f.Start();
    g_Battle.sides[1].status = 1;
    g_Battle.routFlag = 1;
    ScriptedDraws draws({});
    FinishBattleRounds();
    EXPECT_TRUE(s.screen.Spoke(20, 17));
    EXPECT_FALSE(s.screen.Spoke(10, 17));
  }
  // No voice outside the scene.
  {
    FieldBuilder f(2);
    RecordingScreen screen;
    SetBattleScreenPort(&screen);
    f.Unit(0, 0, 3, 10, 20, 0, 100).commander = 1;
    f.Unit(0, -1, 0, 12, 20, 0, 100);
    f.Unit(1, 0, 4, 20, 20, 0, 100);
    f.Start();
    g_Battle.mode = 1;
    ScriptedDraws draws({});
    UnitAction(0, 0, kOrderDetach);
    UnitAction(0, 0, 28);
    EXPECT_TRUE(screen.voices.empty());
    EXPECT_TRUE(screen.actions.empty());
    SetBattleScreenPort(nullptr);
  }
}

// The marker unit is the first of the side that attacked or charged (skills of timing 6 read it).
TEST(BattlePresentation, AChargeMakesTheSidesMarker) {
  FieldBuilder f(2);
  f.Unit(0, 0, 3, 10, 30, 0, 100);
  f.Unit(0, 1, 3, 11, 30, 0, 100);
  f.Unit(1, 0, 4, 20, 30, 0, 90);
  f.Unit(1, 1, 4, 21, 30, 0, 90);
  f.Start();
  ScriptedDraws draws({});
  EXPECT_EQ(g_Battle.sides[0].marker, 0xFFFF);
  UnitAction(0, 1, 31);
  EXPECT_EQ(g_Battle.sides[0].marker, 1);
  UnitAction(0, 0, 28);
  EXPECT_EQ(g_Battle.sides[0].marker, 1) << "the first stays";
}

// A volley with no enemy in the lane neither reloads nor marks the unit.
TEST(BattlePresentation, GunsWithNoEnemyInReachLeaveTheUnitReady) {
  FieldBuilder f(2);
  f.Unit(0, 0, 3, 10, 30, 10, 100);
  f.Unit(1, 1, 4, 20, 30, 0, 90);
  f.Start();
  ScriptedDraws draws({});
  UnitAction(0, 0, kOrderGuns);
  EXPECT_EQ(g_Battle.sides[0].units[0].reload, 0);
  EXPECT_EQ(g_Battle.sides[0].units[0].actionMarks & 4, 0);
  EXPECT_EQ(g_Battle.slots[0][0].display, 3) << "the order still shows";
}

}  // namespace
