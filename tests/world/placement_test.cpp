#include <algorithm>
#include <vector>

#include "core/game_rand.h"
#include "world/world_names.h"
#include "world_fixture.h"

namespace {

// Two clans in one country: clan 0 (the player) holds castles a and b, clan 1 holds castle c.
class PlacementTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    k = w.Kuni("尾張");
    a = w.Siro(k, "鷹山", 0);
    b = w.Siro(k, "鶴岡", 0);
    c = w.Siro(k, "亀森", 1);
    free = w.Siro(k, "梅原", kNoDaimyo);
    w.Road(a, b);
    w.Road(b, c);
    clan0 = w.Clan("霧島");
    clan1 = w.Clan("杉原");
    head0 = w.Busyo("霧島 信房", a);
    head1 = w.Busyo("杉原 義久", c);
    w.Head(clan0, head0);
    w.Head(clan1, head1);
    vassal0 = w.Busyo("千森 政長", b);
    vassal1 = w.Busyo("桐沢 景勝", c);
    loner = w.Busyo("萩原 元忠", free);
    unplaced = w.Busyo("星野 直重", kNoSiro);
    w.Place();
    PlayerDaimyoId = static_cast<uint8_t>(clan0);
    ExpectClean();
    ASSERT_TRUE(boxes.boxes.empty());
  }
  // Stations new vassals of the castle's owner until its first list is full.
  void Fill(int siro) {
    uint8_t owner = SiroTable[siro].owner;
    while (CountSiroBusyo(siro) < kSiroListLen) {
      int g = w.Busyo("雲井 広成", siro);
      int slot = 0;
      while (DaimyoTable[owner].vassals[slot] != kNoBusyo) ++slot;
      DaimyoTable[owner].vassals[slot] = static_cast<uint16_t>(g);
      SiroTable[siro].list1[kSiroListLen - 1] = {owner, static_cast<uint8_t>(slot)};
      SortSiroSlots(siro);
    }
    ExpectClean();
  }
  WorldBuilder w;
  int k, a, b, c, free, clan0, clan1, head0, head1, vassal0, vassal1, loner, unplaced;
};

TEST_F(PlacementTest, TransferringAHeadLeavesAnActingHead) {
  EXPECT_TRUE(TransferBusyoToDaimyo(head1, clan0));
  EXPECT_EQ(DaimyoTable[clan1].head, NullBusyoId);
  EXPECT_EQ(DaimyoTable[clan1].actingHead, head1);
  EXPECT_EQ(DaimyoTable[clan1].successor, kNoDaimyo);
  EXPECT_EQ(BusyoTable[head1].siro, KakuuSiroId);  // the player's fictional castle
  EXPECT_EQ(GetBusyoDaimyo(head1), clan0);
  EXPECT_STREQ(GetDaimyoName(clan1, true), "杉原家");
  ExpectClean();
}

TEST_F(PlacementTest, TransferCancelsAMarchAndTakesUnplacedGenerals) {
  BusyoTable[vassal1].siro2 = static_cast<uint16_t>(b);
  BusyoTable[vassal1].marchFlag = 1;
  ASSERT_EQ(MoveSiroBusyo(c, b, static_cast<uint8_t>(clan1), static_cast<uint8_t>(FindForceSlot(clan1, vassal1)), 1),
            0);
  EXPECT_TRUE(TransferBusyoToDaimyo(vassal1, clan0));
  EXPECT_EQ(BusyoTable[vassal1].siro2, kNoSiro);
  EXPECT_EQ(BusyoTable[vassal1].marchFlag, 0);
  ExpectClean();
  // An unplaced general joins as well and no longer comes forward by himself.
  EXPECT_TRUE(TransferBusyoToDaimyo(unplaced, clan0));
  EXPECT_NE(FindForceSlot(clan0, unplaced), 0xFFFF);
  EXPECT_EQ(BusyoTable[unplaced].appearYear, 255);
  ExpectClean();
}

// A vassal without a stationing entry resolves to no clan; a transfer still takes him out of the
// clan that holds him, so that he never serves two clans.
TEST_F(PlacementTest, TransferTakesAnUnstationedVassalOutOfHisClan) {
  struct Case {
    const char* what;
    bool placed;  // castle field set (a seventh general) or unplaced
    bool head;
  } cases[] = {{"seventh general", true, false}, {"unplaced vassal", false, false}, {"unplaced head", false, true}};
  for (const Case& tc : cases) {
    int g = w.Busyo("雲井 広成", tc.placed ? c : kNoSiro);
    int slot = 0;
    while (DaimyoTable[clan1].vassals[slot] != kNoBusyo) ++slot;
    DaimyoTable[clan1].vassals[slot] = static_cast<uint16_t>(g);
    uint16_t oldHead = DaimyoTable[clan1].head;
    if (tc.head) DaimyoTable[clan1].head = static_cast<uint16_t>(g);
    ASSERT_EQ(GetBusyoDaimyo(g), kNoDaimyo) << tc.what;
    EXPECT_TRUE(TransferBusyoToDaimyo(g, clan0)) << tc.what;
    EXPECT_EQ(FindForceSlot(clan1, g), 0xFFFF) << tc.what;
    EXPECT_NE(FindForceSlot(clan0, g), 0xFFFF) << tc.what;
    if (tc.head) {
      EXPECT_EQ(DaimyoTable[clan1].head, NullBusyoId);
      EXPECT_EQ(DaimyoTable[clan1].actingHead, g);
      DaimyoTable[clan1].head = oldHead;
    }
    ExpectClean();
  }
}

TEST_F(PlacementTest, RemovingThePlayersGeneralReturnsHisItem) {
  BusyoTable[vassal0].items[0] = 5;
  EXPECT_EQ(RemoveBusyoFromCastle(vassal0), 1);
  EXPECT_EQ(GetItemStock(5), 1);
  EXPECT_EQ(BusyoTable[vassal0].items[0], 0);
  EXPECT_EQ(BusyoTable[vassal0].siro, kNoSiro);
  EXPECT_EQ(FindForceSlot(clan0, vassal0), 0xFFFF);
  EXPECT_EQ(CountSiroBusyo(b), 0);
  ExpectClean();
  // Removing him again reports that he is not placed.
  EXPECT_EQ(RemoveBusyoFromCastle(vassal0), 0);
  EXPECT_TRUE(boxes.Has("武将削除エラー"));
}

TEST_F(PlacementTest, RemovingAGeneralOfAnotherForceFromATakenCastle) {
  SiroTable[c].owner = static_cast<uint8_t>(clan0);  // taken by a plot; the garrison stays clan 1's
  SiroTable[c].lord = static_cast<uint8_t>(clan0);
  EXPECT_EQ(RemoveBusyoFromCastle(vassal1), 1);
  EXPECT_EQ(FindForceSlot(clan1, vassal1), 0xFFFF);
  EXPECT_EQ(BusyoTable[vassal1].siro, kNoSiro);
  EXPECT_EQ(CountSiroBusyo(c), 1);
}

TEST_F(PlacementTest, ReplacingAHeadMakesTheNewGeneralHeadAndBonded) {
  // The new general still holds an unplaced vassal slot of clan 0 and its heir list.
  ASSERT_TRUE(TransferBusyoToDaimyo(unplaced, clan0));
  DaimyoTable[clan0].heirs[0] = static_cast<uint16_t>(unplaced);
  NoKakuuSiroFlag = 1;
  BusyoTable[unplaced].siro = kNoSiro;
  BusyoTable[head1].soldiers = 33;
  EXPECT_EQ(ChangeBusyoInCastle(head1, unplaced), 1);
  EXPECT_EQ(DaimyoTable[clan1].head, unplaced);
  EXPECT_EQ(BusyoTable[unplaced].kizuna, 1);
  EXPECT_EQ(BusyoTable[unplaced].siro, c);
  EXPECT_EQ(BusyoTable[unplaced].soldiers, 33);
  EXPECT_EQ(BusyoTable[head1].siro, kNoSiro);
  EXPECT_EQ(BusyoTable[head1].appearYear, 255);
  EXPECT_EQ(FindForceSlot(clan0, unplaced), 0xFFFF);  // no second slot left behind
  EXPECT_EQ(DaimyoTable[clan0].heirs[0], kNoBusyo);
  ExpectClean();
}

TEST_F(PlacementTest, ChangeRefusesBadPairs) {
  EXPECT_EQ(ChangeBusyoInCastle(unplaced, loner), 0);
  EXPECT_EQ(ChangeBusyoInCastle(head1, loner), 0);
  EXPECT_EQ(ChangeBusyoInCastle(-1, loner), 0);
  EXPECT_EQ(boxes.boxes.size(), 2u);
  EXPECT_TRUE(boxes.Has("武将変更エラー"));
  ExpectClean();
  // A damaged castle field naming no castle is reported as not placed, never used as an index.
  for (uint16_t bad : {uint16_t(kSiroSlots), uint16_t(600), uint16_t(0xFFFE)}) {
    boxes.boxes.clear();
    BusyoTable[vassal1].siro = bad;
    EXPECT_EQ(ChangeBusyoInCastle(vassal1, unplaced), 0) << bad;
    ASSERT_EQ(boxes.boxes.size(), 1u) << bad;
    EXPECT_EQ(boxes.boxes[0].title, "武将変更エラー");
    EXPECT_EQ(BusyoTable[unplaced].siro, kNoSiro);
  }
  BusyoTable[vassal1].siro = static_cast<uint16_t>(c);
  ExpectClean();
}

// A general leaving his clan goes to the end of its heir list: the heirs behind him close up and
// he takes the first empty entry.
TEST_F(PlacementTest, RemovedGeneralMovesToTheEndOfTheHeirList) {
  const uint16_t g = static_cast<uint16_t>(unplaced), x = 100, y = 101, z = 102, N = kNoBusyo;
  struct Case {
    std::vector<uint16_t> before, after;
  } cases[] = {
      {{x, g, y}, {x, y, g}}, {{g, x, y, z}, {x, y, z, g}},
      {{x, y, g}, {x, y, g}}, {{x, N, g, y}, {x, g, y}},  // a gap ahead of him is filled
      {{x, y}, {x, y}},                                   // not an heir: the list stays
  };
  const int spare = 200;  // an unplaced vassal in a slot of his own
  for (const Case& tc : cases) {
    uint16_t* heirs = DaimyoTable[clan0].heirs;
    std::fill(heirs, heirs + 16, N);
    std::copy(tc.before.begin(), tc.before.end(), heirs);
    DaimyoTable[clan0].vassals[spare] = g;
    RemoveBusyoFromDaimyo(clan0, spare, kNoSiro);
    std::vector<uint16_t> want = tc.after;
    want.resize(16, N);
    EXPECT_EQ(std::vector<uint16_t>(heirs, heirs + 16), want);
    EXPECT_EQ(DaimyoTable[clan0].vassals[spare], N);
  }
  // A full list with him first: he ends last.
  uint16_t* heirs = DaimyoTable[clan0].heirs;
  heirs[0] = g;
  for (int i = 1; i < 16; ++i) heirs[i] = static_cast<uint16_t>(300 + i);
  DaimyoTable[clan0].vassals[spare] = g;
  RemoveBusyoFromDaimyo(clan0, spare, kNoSiro);
  EXPECT_EQ(heirs[0], 301);
  EXPECT_EQ(heirs[14], 315);
  EXPECT_EQ(heirs[15], g);
  ExpectClean();
}

TEST_F(PlacementTest, AddingAPlacedGeneralChangesNothing) {
  EXPECT_EQ(AddBusyoToCastle(vassal0, clan0, true), 0);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].title, "武将追加エラー");
  EXPECT_EQ(BusyoTable[vassal0].siro, b);
  EXPECT_EQ(AddBusyoToCastle(0xFFFF, clan0, true), 0);
  ExpectClean();
}

TEST_F(PlacementTest, AddingGoesToTheFictionalCastleOrAFreeCastle) {
  EXPECT_EQ(AddBusyoToCastle(unplaced, -1, true), 1);
  EXPECT_EQ(BusyoTable[unplaced].siro, KakuuSiroId);
  ExpectClean();
  int g = w.Busyo("雲井 広成", kNoSiro);
  EXPECT_EQ(AddBusyoToCastle(g, clan1, true), 1);  // clan 1 has no fictional castle
  EXPECT_EQ(BusyoTable[g].siro, c);
  ExpectClean();
  // An unplaced vassal of another clan (a transfer into a clan without a fictional castle leaves
  // him so) leaves that clan when he is added to this one.
  ASSERT_TRUE(TransferBusyoToDaimyo(vassal0, clan1));
  ASSERT_EQ(BusyoTable[vassal0].siro, kNoSiro);
  ASSERT_NE(FindForceSlot(clan1, vassal0), 0xFFFF);
  EXPECT_EQ(AddBusyoToCastle(vassal0, clan0, true), 1);
  EXPECT_EQ(FindForceSlot(clan1, vassal0), 0xFFFF);
  EXPECT_EQ(GetBusyoDaimyo(vassal0), clan0);
  ExpectClean();
}

TEST_F(PlacementTest, MoveIntoAFullListLeavesTheSourceIntact) {
  Fill(a);
  uint8_t slot = static_cast<uint8_t>(FindForceSlot(clan0, vassal0));
  EXPECT_EQ(MoveSiroBusyo(b, a, static_cast<uint8_t>(clan0), slot, 0), -1);
  EXPECT_TRUE(boxes.Has("SLGデータエラー"));
  EXPECT_EQ(CountSiroBusyo(b), 1);
  ExpectClean();
  // A missing source pair is refused as well.
  EXPECT_EQ(MoveSiroBusyo(b, c, static_cast<uint8_t>(clan0), 77, 0), -1);
  ExpectClean();
  // Within one full list the cleared source entry is the room: the move succeeds in place.
  boxes.boxes.clear();
  uint8_t headSlot = static_cast<uint8_t>(FindForceSlot(clan0, head0));
  EXPECT_EQ(MoveSiroBusyo(a, a, static_cast<uint8_t>(clan0), headSlot, 0), 0);
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(CountSiroBusyo(a), kSiroListLen);
  EXPECT_EQ(BusyoTable[head0].siro, a);
  ExpectClean();
}

TEST_F(PlacementTest, MoveVassalChecksRoomAndLeavesHisOldCastle) {
  EXPECT_TRUE(MoveVassalToSiro(vassal0, clan0, a));
  EXPECT_EQ(BusyoTable[vassal0].siro, a);
  EXPECT_EQ(CountSiroBusyo(b), 0);
  EXPECT_EQ(CountSiroBusyo(a), 2);
  ExpectClean();
  Fill(b);
  EXPECT_FALSE(MoveVassalToSiro(vassal0, clan0, b));
  EXPECT_EQ(BusyoTable[vassal0].siro, a);
  EXPECT_FALSE(MoveVassalToSiro(vassal1, clan0, a));  // not his clan
  ExpectClean();
}

TEST_F(PlacementTest, CapturedGeneralIntoAFullCastleFindsRoomElsewhere) {
  NoKakuuSiroFlag = 1;  // no fictional castle: the given castle is the target
  Fill(a);
  ScopedGameRandOverride scripted([] { return 2; });
  uint8_t fromSlot = static_cast<uint8_t>(FindForceSlot(clan1, vassal1));
  int slot = AddBusyoToDaimyo(vassal1, static_cast<uint8_t>(clan1), fromSlot, c, clan0, a);
  ASSERT_GE(slot, 0);
  EXPECT_EQ(BusyoTable[vassal1].siro, b);     // a is full
  EXPECT_EQ(BusyoTable[vassal1].loyalty, 6);  // 2 + 4
  EXPECT_EQ(FindForceSlot(clan1, vassal1), 0xFFFF);
  ExpectClean();
  // An independent general taken into clan 1 leaves the independents' list.
  uint8_t dslot = static_cast<uint8_t>(FindForceSlot(kNoDaimyo, loner));
  ASSERT_GE(AddBusyoToDaimyo(loner, kNoDaimyo, dslot, free, clan1, c), 0);
  EXPECT_EQ(DokuBusyoList[dslot], kNoBusyo);
  EXPECT_EQ(BusyoTable[loner].siro, c);
  ExpectClean();
}

TEST_F(PlacementTest, SetAsideAndReAdd) {
  EXPECT_EQ(SetBusyoFlag(vassal0, true, false), 1);
  EXPECT_EQ(BusyoTable[vassal0].flagWord & 1, 1);
  EXPECT_EQ(BusyoTable[vassal0].siro, kNoSiro);
  ExpectClean();
  EXPECT_EQ(SetBusyoFlag(vassal0, false, true), 1);
  EXPECT_EQ(BusyoTable[vassal0].flagWord & 1, 0);
  EXPECT_EQ(BusyoTable[vassal0].siro, KakuuSiroId);
  ExpectClean();
  // Bond states 3 and 4 are set aside instead of joining.
  BusyoTable[unplaced].kizuna = 3;
  EXPECT_TRUE(RecruitBusyoToPlayer(unplaced));
  EXPECT_EQ(BusyoTable[unplaced].flagWord & 1, 1);
  EXPECT_EQ(FindForceSlot(clan0, unplaced), 0xFFFF);
  EXPECT_FALSE(RecruitBusyoToPlayer(-1));
  EXPECT_FALSE(RecruitBusyoToPlayer(0xFFFF));
  EXPECT_EQ(SetDaimyoLeader(vassal0), 1);
  EXPECT_EQ(SetDaimyoLeader(unplaced), 0);
}

struct RecordingBattle : BattlePort {
  int losses = 0, secondLosses = 0, rosterChanged = 0;
  void AddBattleLoss(bool second) override {
    ++losses;
    secondLosses += second;
  }
  void SetRosterChanged() override { ++rosterChanged; }
  bool IsBusyoInRosterA(int busyo) const override { return busyo == 4; }
};

TEST_F(PlacementTest, BattleStateSeesLossesAndRosterChanges) {
  RecordingBattle battle;
  SetBattlePort(&battle);
  BusyoTable[vassal0].charFlag = 1;
  RemoveBusyoFromCastle(vassal0);  // castle b's second list has room
  EXPECT_EQ(battle.losses, 1);
  EXPECT_EQ(battle.secondLosses, 1);
  RemoveBusyoFromCastle(vassal1);  // character flag 0: no loss
  EXPECT_EQ(battle.losses, 1);
  ChangeBusyoInCastle(head0, unplaced);  // the player's clan
  EXPECT_EQ(battle.rosterChanged, 1);
  EXPECT_TRUE(IsBusyoInBattleGroupA(4));
  EXPECT_FALSE(IsBusyoInBattleGroupB(4));
  ExpectClean();
}

}  // namespace
