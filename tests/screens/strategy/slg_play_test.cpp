// A player's turn through the real screens on the built sample data, headless: recruit soldiers in
// the military phase (question, general pick, value dialog), march on a neighbour in the strategy
// phase (general pick, target castle, march dialog), fight the battle by hand in the battle scene
// the war phase opens, and play on to the next season. And the item panel of the detail page
// reached from the map by clicking: a castle's general list, his detail button, equip.
#include "tests/screens/strategy/slg_run_fixture.h"

#include "battle/battle_rules.h"
#include "battle/battle_run.h"
#include "battle/battle_state.h"
#include "screens/battle/scene_kassen.h"
#include "screens/strategy/slg_cmd_dialogs.h"
#include "world/commands/command_costs.h"
#include "world/commands/player_commands.h"
#include "world/turn/command_check.h"

namespace {

class SlgPlay : public SlgRun {
 protected:
  void TearDown() override {
    SetBattleScreenPort(nullptr);
    SetBattlePort(nullptr);
    SlgRun::TearDown();
  }

  // The game's own battle wiring: the rules' battle port and the battle scene's screen port.
  void StartBattles() {
    RegisterBattleScenes(GetSceneMgr());
    SetBattleScreenPort(&GetKassenScreenPort());
    InstallBattleRules();
  }

  // Clicks a shown, hittable button of the current scene's menus; false when there is none.
  bool ClickShown(CVMenuBase* root, int32_t id) {
    CVMenuBtn* b = root ? root->FindButtonById(id) : nullptr;
    if (!b || !b->IsShown() || b->TestFlag(kWfNoHit) || !b->TestFlag(kWfEnabled)) return false;
    Click(ButtonCentre(root, id));
    return true;
  }
  CVMenuBase* CurrentMenu() {
    CVScene* s = GetSceneMgr().GetCurrentScene();
    return s ? s->FindMenu(0) : nullptr;
  }

  // What a player does while the game waits on something other than the map: yes to a question,
  // the battle scene's choices, continue on a waiting message, else a click on the sea.
  void Answer() {
    const int scene = GetSceneMgr().GetCurrentSceneId();
    if (scene == 10) {
      if (!ClickShown(CurrentMenu(), 1)) Driver().Ticks(1);
    } else if (scene == 8) {
      PlayBattle();
    } else if (scene == 3 && (Map()->StateFlags() & CVMenuSLGMain::kWaiting)) {
      Click(ButtonCentre(Map(), 2));
    } else {
      Click({60, 580});
    }
  }

  // The battle scene: choose the formation, put the commander and then every unit on a lane, give
  // orders, and take whatever the end of the battle asks.
  void PlayBattle() {
    auto* scene = dynamic_cast<CVSceneKassen*>(GetSceneMgr().GetCurrentScene());
    if (!scene) return Driver().Ticks(1);
    battleSeen_ = true;
    auto command = [&](std::initializer_list<int> codes) {
      for (int code : codes)
        for (int i = 0; i < 8; ++i)
          if (scene->ResultOfHit(300 + i) == code && ClickShown(CurrentMenu(), 300 + i)) return true;
      for (int i = 0; i < 8; ++i)
        if (scene->ResultOfHit(300 + i) >= 10 && ClickShown(CurrentMenu(), 300 + i)) return true;
      return false;
    };
    const BattleSide& side = g_Battle.sides[0];
    auto unitPanel = [&](bool commanderFirst) {
      const int cmd = CommanderUnit(0);
      if (commanderFirst && cmd >= 0 && side.units[cmd].lane == kNoLane && ClickShown(CurrentMenu(), 2000 + cmd))
        return true;
      for (int i = 0; i < kBattleUnits; ++i)
        if (side.units[i].general != kNoUnitGeneral && side.units[i].lane == kNoLane && side.units[i].soldiers > 0 &&
            ClickShown(CurrentMenu(), 2000 + i))
          return true;
      return false;
    };
    bool acted = false;
    switch (scene->GetPhase()) {
      case 5:
        acted = command({10, 13, 14});
        break;
      case 7:
      case 8:
        acted = unitPanel(scene->GetPhase() == 7);
        break;
      case 12:
        acted = command({16, 24, 23});
        break;
      case 13:
        acted = command({28, 27, 29});
        break;
      case 14:
        acted = command({15, 19});
        break;
      case 16:
      case 18:
        acted = command({50, 51, 40, 41});
        break;
      default:
        break;
    }
    if (!acted) Driver().Ticks(1);
  }

  // Answers until the map waits for a command in the given phase.
  bool PlayUntilCommands(int phase, int limit = 3000) {
    for (int i = 0; i < limit; ++i) {
      if (TurnSubPhase == phase && GetSceneMgr().GetCurrentSceneId() == 3 &&
          (Map()->StateFlags() & CVMenuSLGMain::kCommandMenu) && !(Map()->StateFlags() & CVMenuSLGMain::kWaiting))
        return true;
      Answer();
    }
    return false;
  }

  // Shows the castle's generals in the map's list: its province focused, then its icon clicked.
  bool ListCastle(int siro) {
    CVMenuSLGMain* map = Map();
    const int kuni = GetSiroKuni(static_cast<uint32_t>(siro));
    if (!map->IsKuniFocused() || CurrentKuniId != kuni) {
      if (map->IsKuniFocused()) Click(ButtonCentre(map, 750));
      const Pt p = PointInKuni(kuni);
      if (p.x < 0) return false;
      for (int i = 0; i < 3 && !map->IsKuniFocused(); ++i) Click(p);
    }
    return ClickCastleIcon(siro);
  }
  bool ClickCastleIcon(int siro) {
    for (int i = 0; i < CVMenuSLGMain::kCastleIcons; ++i)
      if (Map()->CastleIconValue(i) == siro) {
        Click(ButtonCentre(Map(), 300 + i));
        return true;
      }
    return false;
  }
  bool ClickContactIcon(int siro) {
    for (int i = 0; i < CVMenuSLGMain::kContactIcons; ++i)
      if (Map()->ContactIconValue(i) == siro) {
        Click(ButtonCentre(Map(), 350 + i));
        return true;
      }
    return false;
  }
  // Whether the castle has an icon in its province's view (a province shows its first eight).
  bool OnMap(int siro) {
    const int kuni = GetSiroKuni(static_cast<uint32_t>(siro));
    for (int slot = 0; slot < CVMenuSLGMain::kCastleIcons; ++slot)
      if (Map()->CastleTable().GetShiroSlotId(kuni, slot) == siro) return true;
    return false;
  }
  // The list row that shows the general, -1 when he is not in the first rows.
  int RowOf(int busyo) {
    for (int i = 0; i < 6; ++i)
      if (Map()->RowValue(i) == busyo) return i;
    return -1;
  }

  bool battleSeen_ = false;
};

// Soldiers of every general in the castle.
int CastleSoldiers(int siro) {
  ::CTenkaList_Busyo ids;
  ListSiroBusyoAll(static_cast<uint32_t>(siro), ids);
  int n = 0;
  for (int32_t g : ids) n += BusyoTable[g].soldiers;
  return n;
}

// A castle of the player's with a general who may march on a neighbouring castle of another clan.
struct March {
  int source = -1, target = -1, busyo = -1;
};
template <class OnMapFn>
March FindMarch(uint8_t clan, OnMapFn onMap) {
  for (int s = 0; s < kSiroCount; ++s) {
    if (!IsSiroInUse(s) || SiroTable[s].owner != clan || !onMap(s)) continue;
    ::CTenkaList_Busyo ids;
    ListSiroBusyo(static_cast<uint32_t>(s), clan, ids);
    for (int i = 0; i < 5; ++i) {
      const uint16_t n = SiroTable[s].neighbours[i];
      if (n >= kSiroCount || !(SiroTable[s].links[i] & 1) || SiroTable[n].owner == clan) continue;
      if (SiroTable[n].kuni == SiroTable[s].kuni && !onMap(n)) continue;
      for (int32_t g : ids)
        if (CheckCommandAvailable(kCmdInvade, static_cast<uint16_t>(g), kNoSiro, clan, 0xFFFF) == 0 &&
            CheckCommandAvailable(kCmdInvade, static_cast<uint16_t>(g), n, clan, 0xFFFF) == 0)
          return {s, n, g};
    }
  }
  return {};
}

TEST_F(SlgPlay, RecruitMarchOnANeighbourFightAndEndTheTurn) {
  ASSERT_TRUE(StartNull());
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  StartBattles();
  const uint8_t clan = PlayerDaimyoId;
  const uint8_t season = SeasonIndex;
  const uint16_t year = GameYear;

  // ---- Military phase: recruit soldiers for a general of the home castle. ----
  const int home = GetDaimyoHomeKuni(clan);
  int castle = -1, recruit = -1;
  for (int s = 0; s < kSiroCount && recruit < 0; ++s) {
    if (!IsSiroInUse(s) || SiroTable[s].owner != clan || GetSiroKuni(s) != home || !OnMap(s)) continue;
    ::CTenkaList_Busyo ids;
    ListSiroBusyo(static_cast<uint32_t>(s), clan, ids);
    for (int32_t g : ids)
      if (BusyoTable[g].soldiers < 40) castle = s, recruit = g;
  }
  ASSERT_GE(recruit, 0) << "a general of the home province with room for soldiers";
  ASSERT_TRUE(ListCastle(castle));
  const int money = DaimyoTable[clan].money;
  const int soldiers = BusyoTable[recruit].soldiers;
  // Every clan of the sample world starts with more soldiers than its revenue supports, so none could
  // recruit in the first season: the player's clan is given the revenue for it.
  if (DaimyoTable[clan].soldiers + 100 > DaimyoTable[clan].revenue / 4) DaimyoTable[clan].revenue = 3000;
  RefreshCommandMenus(1);
  ASSERT_EQ(CheckCommandAvailable(kCmdRecruit, kNoBusyo, kNoSiro, clan, 0xFFFF), 0) << "the player's clan may recruit";
  Click(ButtonCentre(Map(), 10005));  // recruit
  // The question of the first recruitment in this province.
  for (int i = 0; i < 300 && KuniTable[home].applicants == 255; ++i) {
    if (GetSceneMgr().GetCurrentSceneId() == 10 || (Map()->StateFlags() & CVMenuSLGMain::kWaiting))
      Answer();
    else
      Driver().Ticks(1);
  }
  ASSERT_NE(KuniTable[home].applicants, 255) << "the question was answered";
  ASSERT_GT(KuniTable[home].applicants, 0) << "the province has applicants";
  Driver().Ticks(30);
  if (RowOf(recruit) < 0) {
    ASSERT_TRUE(ListCastle(castle));
  }
  ASSERT_GE(RowOf(recruit), 0);
  Click(ButtonCentre(Map(), 500 + RowOf(recruit)));
  CVMenuSLG_CmdBase* value = nullptr;
  for (int i = 0; i < 200 && !value; ++i) {
    value = dynamic_cast<CVMenuSLG_CmdBase*>(Scene()->DialogMenu());
    if (!value) Answer();
  }
  ASSERT_NE(value, nullptr) << "the value dialog opened";
  EXPECT_EQ(value->GetDialogId(), 0);
  const int offered = SlgScene().GetDialogResult(3);
  ASSERT_GT(offered, 0);
  Click(ButtonCentre(value, 1000));  // confirm the offered number
  Driver().Ticks(10);
  EXPECT_TRUE(SlgScene().IsNoDialog());
  EXPECT_EQ(BusyoTable[recruit].soldiers, soldiers + offered);
  EXPECT_EQ(DaimyoTable[clan].money, money - offered);
  // Out of the command (right clicks), then the phase ends; politics passes without a command.
  // A right click leaves the command, which waits for another general (the map has no back button).
  for (int i = 0; i < 10 && SlgCommandCode != 255; ++i) Click({60, 580}, true);
  EXPECT_EQ(SlgCommandCode, 255) << "the right click left the command";
  ASSERT_TRUE(PlayUntilCommands(1, 200));
  Click(ButtonCentre(Map(), 10014));
  ASSERT_TRUE(PlayUntilCommands(2)) << "politics phase";
  Click(ButtonCentre(Map(), 10014));
  ASSERT_TRUE(PlayUntilCommands(3)) << "strategy phase";

  // ---- Strategy phase: march on a neighbouring castle of another clan. ----
  const March m = FindMarch(clan, [&](int s) { return OnMap(s); });
  ASSERT_GE(m.target, 0) << "a castle of the player's next to another clan's";
  const uint8_t defender = SiroTable[m.target].owner;
  ASSERT_TRUE(ListCastle(m.source));
  const int moneyBefore = DaimyoTable[clan].money;
  Click(ButtonCentre(Map(), 10006));  // march
  Driver().Ticks(10);
  if (RowOf(m.busyo) < 0) {
    ASSERT_TRUE(ClickCastleIcon(m.source));
  }
  ASSERT_GE(RowOf(m.busyo), 0);
  Click(ButtonCentre(Map(), 500 + RowOf(m.busyo)));
  Driver().Ticks(10);
  // The target: its castle icon, or the road's contact icon when it lies in the next province.
  CVMenuSLG_CmdBase* march = nullptr;
  for (int i = 0; i < 6 && !march; ++i) {
    if (!ClickCastleIcon(m.target)) ClickContactIcon(m.target);
    for (int t = 0; t < 20 && !march; ++t) {
      march = dynamic_cast<CVMenuSLG_CmdBase*>(Scene()->DialogMenu());
      if (!march) Driver().Ticks(1);
    }
  }
  ASSERT_NE(march, nullptr) << "the march dialog opened";
  EXPECT_EQ(march->GetDialogId(), 13);
  Click(ButtonCentre(march, 1000));
  Driver().Ticks(10);
  EXPECT_EQ(BusyoTable[m.busyo].marchFlag, 1);
  EXPECT_EQ(BusyoTable[m.busyo].siro2, m.target);
  EXPECT_LT(DaimyoTable[clan].money, moneyBefore) << "the march is paid";
  for (int i = 0; i < 10 && SlgCommandCode != 255; ++i) Click({60, 580}, true);
  EXPECT_EQ(SlgCommandCode, 255) << "the right click left the command";
  ASSERT_TRUE(PlayUntilCommands(3, 200));
  const int attackers = BusyoTable[m.busyo].soldiers;
  const int garrison = CastleSoldiers(m.target);
  Click(ButtonCentre(Map(), 10014));

  // ---- The war phase fights the battle in the battle scene; the turn goes on to the next season. ----
  ASSERT_TRUE(PlayUntilCommands(1, 40000)) << "the next military phase; scene " << GetSceneMgr().GetCurrentSceneId();
  EXPECT_TRUE(battleSeen_) << "the battle was fought in the battle scene";
  EXPECT_TRUE(SeasonIndex != season || GameYear != year) << "the turn advanced";
  EXPECT_NE(BusyoTable[m.busyo].marchFlag, 1) << "the march is over";
  const bool taken = SiroTable[m.target].owner == clan;
  const bool fought = BusyoTable[m.busyo].soldiers != attackers || CastleSoldiers(m.target) != garrison ||
                      SiroTable[m.target].owner != defender;
  EXPECT_TRUE(taken || fought) << "the battle's result is in the world";
  EXPECT_TRUE(boxes_.boxes.empty()) << (boxes_.boxes.empty() ? "" : boxes_.boxes.front().title);
}

// From the map by clicking: a castle's generals, a general's detail button, equip an item of the
// clan's stock, take it off; then back to the map. The detail scene is never resident.
TEST_F(SlgPlay, DetailPageFromTheMapEquipsAnItem) {
  ASSERT_TRUE(StartNull());
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  const SceneFlowRecord* record = GetSceneMgr().FindRecord(CVSceneInfoDetail::kSceneId);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->resident, 0) << "a resident detail scene would never give the depth bound back";
  const uint8_t clan = PlayerDaimyoId;
  int lord = -1, castle = -1;
  for (int s = 0; s < kSiroCount && lord < 0; ++s) {
    if (!IsSiroInUse(s) || SiroTable[s].owner != clan || !OnMap(s)) continue;
    ::CTenkaList_Busyo ids;
    ListSiroBusyo(static_cast<uint32_t>(s), clan, ids);
    if (!ids.empty()) lord = ids.front(), castle = s;
  }
  ASSERT_GE(lord, 0) << "a general of the player's in a castle on the map";
  // An item of the stock he can use (the clan's treasure room of the sample world may be empty).
  int item = -1;
  for (int i = 1; i <= kItemCount && item < 0; ++i)
    if (GetItemRecord(i)->name[0] && CanBusyoUseItemClass(GetItemRecord(i)->cls, lord)) item = i;
  ASSERT_GT(item, 0);
  if (GetItemStock(item) == 0) AddItemStock(item, 1);
  UnequipBusyoItem(lord);
  const int stock = GetItemStock(item);

  ASSERT_TRUE(ListCastle(castle));
  ASSERT_GE(RowOf(lord), 0);
  Click(ButtonCentre(Map(), 600 + RowOf(lord)));
  Driver().Ticks(10);
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), CVSceneInfoDetail::kSceneId);
  auto* page = dynamic_cast<CVSceneInfoDetail*>(GetSceneById(CVSceneInfoDetail::kSceneId))->Detail();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->Busyo(), lord);
  ASSERT_TRUE(ClickShown(page, CVMenuSLG_detail::kEquip));
  ASSERT_EQ(page->GetState(), 1);
  const int kind = GetItemRecord(item)->cls - 1;
  if (page->SelectedKind() != kind) {
    ASSERT_TRUE(ClickShown(page, CVMenuSLG_detail::kKind0 + kind));
  }
  int row = -1;
  for (int i = 0; i < page->ShownList().Count() && i < CVMenuSLG_detail::kRows; ++i)
    if (page->ShownList().At(i).item == item) row = i;
  ASSERT_GE(row, 0) << "the item is listed under its kind";
  ASSERT_TRUE(ClickShown(page, CVMenuSLG_detail::kRow0 + row));
  EXPECT_EQ(page->GetState(), 0);
  EXPECT_EQ(BusyoTable[lord].items[0], item);
  EXPECT_EQ(GetItemStock(item), stock - 1);
  ASSERT_TRUE(ClickShown(page, CVMenuSLG_detail::kTakeOff));
  EXPECT_EQ(BusyoTable[lord].items[0], 0);
  EXPECT_EQ(GetItemStock(item), stock);
  // A right click in the item choice steps back; in the general's panel it returns to the map.
  ASSERT_TRUE(ClickShown(page, CVMenuSLG_detail::kEquip));
  Click({640, 360}, true);
  EXPECT_EQ(page->GetState(), 0);
  EXPECT_EQ(GetSceneMgr().GetCurrentSceneId(), CVSceneInfoDetail::kSceneId);
  Click({640, 360}, true);
  Driver().Ticks(10);
  EXPECT_EQ(GetSceneMgr().GetCurrentSceneId(), 3);
  EXPECT_TRUE(boxes_.boxes.empty()) << (boxes_.boxes.empty() ? "" : boxes_.boxes.front().title);
}

// A general of the player's who grew is listed at the next season's start; a right click dismisses
// the list and the season goes on to the military phase.
TEST_F(SlgPlay, GrowthListAtTheSeasonStartIsDismissedAndTheSeasonGoesOn) {
  ASSERT_TRUE(StartNull());
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  StartBattles();
  const uint8_t season = SeasonIndex;
  const uint16_t year = GameYear;
  int grown = -1;
  for (uint32_t g = 0; g < kBusyoCount && grown < 0; ++g)
    if (GetBusyoDaimyo(g) == PlayerDaimyoId) grown = static_cast<int>(g);
  ASSERT_GE(grown, 0);
  BusyoTable[grown].growthMark = 1;
  for (int phase = 1; phase <= 3; ++phase) {
    ASSERT_TRUE(PlayUntilCommands(phase)) << "phase " << phase;
    Click(ButtonCentre(Map(), 10014));
  }
  CVMenuSLG_exp* list = nullptr;
  for (int i = 0; i < 40000 && !list; ++i)
    if (!(list = dynamic_cast<CVMenuSLG_exp*>(Scene()->DialogMenu()))) Answer();
  ASSERT_NE(list, nullptr) << "the growth list opened at the season's start";
  bool listed = false;
  for (int i = 0; i < list->List().Count(); ++i) listed = listed || list->List().At(i) == grown;
  EXPECT_TRUE(listed);
  Driver().Ticks(10);
  Click({640, 360}, true);
  ASSERT_TRUE(PlayUntilCommands(1, 1000)) << "the season went on; dialog state " << SlgScene().GetDialogResult(2);
  EXPECT_TRUE(Scene()->IsNoDialog());
  EXPECT_TRUE(SeasonIndex != season || GameYear != year);
  EXPECT_TRUE(boxes_.boxes.empty()) << (boxes_.boxes.empty() ? "" : boxes_.boxes.front().title);
}

}  // namespace
