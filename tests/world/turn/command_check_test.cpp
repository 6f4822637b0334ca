// Command availability: refusal reasons, greyed menu entries and labels.
#include <string>
#include <vector>

#include "turn_fixture.h"
#include "world/turn/command_check.h"

namespace {

class CommandCheckTest : public TurnTest {
 protected:
  void SetUp() override {
    TurnTest::SetUp();
    BuildSmallWorld();
    DaimyoRecord& d = DaimyoTable[player];
    d.cp = 10;
    d.money = 1000;
    d.revenue = 1000;
    d.rank = 1;
    d.gunRate = 3;
    d.gunsLeft = 255;
    SeasonIndex = 0;
    KuniTable[kuniA].holder = static_cast<uint8_t>(player);
    KuniTable[kuniA].playerShare = 100;
    KuniTable[kuniA].recruitBase = 10;
    KuniTable[kuniA].applicants = 255;
    for (int s : {0, 1}) SiroTable[s].maxLevel = 40;
  }
  std::string LastText() const {
    const char* t = GetCommandReasonText();
    return t ? t : "";
  }
};

struct Case {
  const char* name;
  void (*tweak)(CommandCheckTest&);
  int command;
  int general;  // -1 none; -2 the player's vassal pGen; -3 the head
  int castle;   // -1 none
  int refused;
  int greyed;
  int lastCode;  // -1: no code
};

TEST_F(CommandCheckTest, AvailabilityTable) {
  const Case cases[] = {
      {"recruit with three reasons shows the third",
       [](CommandCheckTest&) {
         DaimyoTable[0].cp = 0;
         DaimyoTable[0].money = 0;
         DaimyoTable[0].revenue = 0;
       },
       kCmdRecruit, -1, -1, 1, 1, 7},
      {"share x recruit base of 99 has no applicants",
       [](CommandCheckTest&) {
         KuniTable[0].playerShare = 99;
         KuniTable[0].recruitBase = 1;
       },
       kCmdRecruit, -1, -1, 1, 1, 6},
      {"recruit is open", [](CommandCheckTest&) {}, kCmdRecruit, -1, -1, 0, 0, -1},
      {"a general at 50 soldiers", [](CommandCheckTest&) { BusyoTable[1].soldiers = 50; }, kCmdRecruit, -2, -1, 1, 1,
       8},
      {"move from a castle to itself", [](CommandCheckTest& t) { t.scene.selectedCastle = 1; }, kCmdMove, -2, 1, 1, 1,
       59},
      {"move in a typhoon",
       [](CommandCheckTest&) {
         SeasonIndex = 1;
         KuniTable[0].eventState = 5;
       },
       kCmdMove, -1, -1, 1, 1, 13},
      {"move in snow",
       [](CommandCheckTest&) {
         SeasonIndex = 3;
         KuniTable[0].eventState = 5;
       },
       kCmdMove, -1, -1, 1, 1, 58},
      {"declaration before a refusal", [](CommandCheckTest&) { UnificationStage = 0; }, kCmdDeclareUnification, -1, -1,
       1, 1, 77},
      {"declaration after a refusal", [](CommandCheckTest&) { UnificationStage = 1; }, kCmdDeclareUnification, -1, -1,
       0, 0, -1},
      {"reward an ordered general", [](CommandCheckTest&) { BusyoTable[1].cmdFlags |= 1; }, kCmdReward, -2, -1, 1, 1,
       15},
      {"reward without money", [](CommandCheckTest&) { DaimyoTable[0].money = 4; }, kCmdReward, -1, -1, 1, 1, 5},
      {"flood control outside the held country", [](CommandCheckTest&) { KuniTable[0].holder = kNoDaimyo; },
       kCmdFloodControl, -1, -1, 1, 1, 17},
      {"flood control done this turn", [](CommandCheckTest&) { KuniTable[0].doneFlags = 1; }, kCmdFloodControl, -1, -1,
       1, 1, 18},
      {"alliance without command points", [](CommandCheckTest&) { DaimyoTable[0].cp = 0; }, kCmdAlliance, -1, -1, 1, 1,
       1},
      {"alliance without money", [](CommandCheckTest&) { DaimyoTable[0].money = 39; }, kCmdAlliance, -1, -1, 1, 1, 5},
      {"poaching below rank 2 where no enemy stands", [](CommandCheckTest&) {}, kCmdPoach, -1, -1, 1, 1, 39},
      {"poaching below rank 2",
       [](CommandCheckTest& t) {
         BusyoTable[t.eGen].siro = 1;  // only the stationing is read by the count below
         SiroTable[1].list1[1] = {static_cast<uint8_t>(t.enemy), 1};
       },
       kCmdPoach, -1, -1, 1, 1, 26},
      {"training done this turn", [](CommandCheckTest&) { DaimyoTable[0].turnFlags |= 4; }, kCmdTraining, -1, -1, 1, 1,
       77},
      {"quick load without a quick save", [](CommandCheckTest&) {}, kCmdQuickLoad, -1, -1, 1, 1, 84},
      {"invade the clan's own castle", [](CommandCheckTest&) {}, kCmdInvade, -2, 0, 1, 1, 45},
      {"invade a neighbour", [](CommandCheckTest&) { DaimyoTable[0].rank = 2; }, kCmdInvade, -2, 2, 0, 0, -1},
      {"invade outside the home country below rank 2", [](CommandCheckTest&) {}, kCmdInvade, -2, 2, 1, 1, 26},
      {"castle works at the maximum level", [](CommandCheckTest&) { SiroTable[1].maxLevel = 2; }, kCmdCastleWorks, -2,
       -1, 1, 1, 16},
      {"end phase has no rule", [](CommandCheckTest&) { DaimyoTable[0].money = 0; }, kCmdEndPhase, -1, -1, 0, 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TurnTest::TearDown();
    SetUp();
    ASSERT_EQ(player, 0);
    ASSERT_EQ(pGen, 1);
    c.tweak(*this);
    const uint16_t g = c.general == -2 ? static_cast<uint16_t>(pGen) : (c.general == -3 ? pHead : kNoBusyo);
    const uint16_t s = c.castle < 0 ? kNoSiro : static_cast<uint16_t>(c.castle);
    EXPECT_EQ(CheckCommandAvailable(c.command, g, s, kNoDaimyo, kNoBusyo), c.refused);
    EXPECT_EQ(CommandUnavailable, c.greyed);
    if (c.lastCode < 0)
      EXPECT_EQ(GetCommandReasonText(), nullptr);
    else
      EXPECT_EQ(LastText(), CommandRefusalReason(c.lastCode));
    EXPECT_EQ(CommandSelCount, scene.marked.size());  // restored on every exit
  }
}

TEST_F(CommandCheckTest, ReasonTextsAndLabels) {
  EXPECT_EQ(std::string(CommandRefusalReason(59)), "移動元城です");
  EXPECT_EQ(std::string(CommandRefusalReason(13)), "台風のため動けません");
  EXPECT_EQ(std::string(CommandRefusalReason(2)), "計略する城に向かわせる\n兵がいません");
  EXPECT_EQ(std::string(CommandRefusalReason(73)), "");
  EXPECT_EQ(std::string(CommandRefusalReason(85)), "国情報で未調査の為、見ることが出来ません");
  EXPECT_EQ(std::string(CommandRefusalReason(86)), "");
  char label[64];
  DaimyoTable[player].gunRate = 4;
  FormatCommandLabel(kCmdGuns, label, sizeof label);
  EXPECT_EQ(std::string(label), "鉄砲購入　：CP4");
  FormatCommandLabel(kCmdPlot, label, sizeof label);
  EXPECT_EQ(std::string(label), "計略　　　：CP3");
  FormatCommandLabel(kCmdSave, label, sizeof label);
  EXPECT_EQ(std::string(label), "保存");
  FormatCommandLabel(3, label, sizeof label);
  EXPECT_EQ(std::string(label), "");
  // One code set from a screen replaces the list; clearing empties it.
  CheckCommandAvailable(kCmdReward, kNoBusyo, kNoSiro, kNoDaimyo, kNoBusyo);
  SetCommandReason(50);
  EXPECT_EQ(std::string(GetCommandReasonText()), CommandRefusalReason(50));
  ClearCommandReasons();
  EXPECT_EQ(GetCommandReasonText(), nullptr);
}

TEST_F(CommandCheckTest, MenusGreyTheirUnavailableEntries) {
  KuniTable[kuniA].holder = kNoDaimyo;  // flood control, free markets and levy need the country
  DaimyoTable[player].cp = 1;           // castle works yes, flood control no
  RefreshCommandMenus(2);
  EXPECT_TRUE(IsCommandGreyed(kCmdFloodControl));
  EXPECT_TRUE(IsCommandGreyed(kCmdFreeMarket));
  EXPECT_TRUE(IsCommandGreyed(kCmdLevy));
  EXPECT_FALSE(IsCommandGreyed(kCmdAlliance));
  KuniTable[kuniA].holder = static_cast<uint8_t>(player);
  DaimyoTable[player].cp = 10;
  RefreshCommandMenus(2);
  EXPECT_FALSE(IsCommandGreyed(kCmdFloodControl));
  int count = 0;
  const uint8_t* list = CommandMenuList(3, count);
  ASSERT_EQ(count, 3);
  EXPECT_EQ((std::vector<uint8_t>(list, list + count)), (std::vector<uint8_t>{13, 9, 33}));
  // The reason list keeps its last code when it is full.
  DaimyoTable[player].money = 0;
  for (int i = 0; i < 40; ++i) CheckCommandAvailable(kCmdRecruit, kNoBusyo, kNoSiro, kNoDaimyo, kNoBusyo);
  EXPECT_LE(CommandReasonCount, kReasonListCapacity);
}

}  // namespace
