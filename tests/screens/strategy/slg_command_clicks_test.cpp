// The politics and strategy commands that work on a country, a castle, the reserve or a visitor,
// completed by clicks on the real map and its dialogs on the built sample data, their effect read
// back from the world: flood control, free markets, the levy and castle works; stationing a
// reserve general after dismissing another; meeting a visitor; a plot that takes a castle, with the
// marker played on the castle's icon.
#include "tests/screens/strategy/slg_commands_fixture.h"

#include <algorithm>
#include <utility>

#include "world/placement.h"

namespace {

class SlgCommandClicks : public SlgCommands {
 protected:
  // The castles of the clan in the country that the province view shows.
  std::vector<int> ShownCastles(uint8_t clan, int kuni) {
    std::vector<int> out;
    for (int s = 0; s < kSiroCount; ++s)
      if (IsSiroInUse(s) && SiroTable[s].owner == clan && GetSiroKuni(static_cast<uint32_t>(s)) == kuni && OnMap(s))
        out.push_back(s);
    return out;
  }
  // Generals of the clan in the country's shown castles who have no order this turn, with their castle.
  std::vector<std::pair<int, int>> FreeGenerals(uint8_t clan, int kuni) {
    std::vector<std::pair<int, int>> out;
    for (int s : ShownCastles(clan, kuni)) {
      ::CTenkaList_Busyo ids;
      ListSiroBusyo(static_cast<uint32_t>(s), clan, ids);
      for (int32_t g : ids)
        if (!(BusyoTable[g].cmdFlags & 1)) out.emplace_back(s, g);
    }
    return out;
  }
};

// What a country command changed, read before and after.
struct Country {
  int money, cp, land, town, done;
};
Country Read(uint8_t clan, int kuni) {
  const KuniRecord& k = KuniTable[kuni];
  return {DaimyoTable[clan].money, DaimyoTable[clan].cp, k.land, k.town, k.doneFlags};
}

// 治水開墾, 楽市楽座 and 臨時徴収 in a country the clan holds outright, and 城の普請 on a general's
// castle: the command's button, a general of the country marked through his castle's list, the
// dialog confirmed; each is paid for, marks the general and does what it does to the country.
TEST_F(SlgCommandClicks, CountryCommandsAndCastleWorksCompleteByClicks) {
  ASSERT_TRUE(StartNull());
  InstallBattleRules();
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  ASSERT_TRUE(ToPhase(2)) << "politics phase";
  const uint8_t clan = PlayerDaimyoId;
  int kuni = -1;
  for (int k = 0; k < kKuniCount && kuni < 0; ++k)
    if (KuniTable[k].holder == clan && FreeGenerals(clan, k).size() >= 4 && PointInKuni(k).x >= 0) kuni = k;
  ASSERT_GE(kuni, 0) << "a country the player's clan holds outright, with four generals free";
  // One season's points pay for one or two of these; the four together need more.
  DaimyoTable[clan].cp = 20;
  DaimyoTable[clan].money = 3000;
  RefreshCommandMenus(2);
  const struct {
    const char* name;
    int command, dialog, doneBit, cp;
  } cases[] = {{"flood control", kCmdFloodControl, 5, 1, 2},
               {"free markets", kCmdFreeMarket, 6, 2, 1},
               {"levy", kCmdLevy, 7, 4, 2},
               {"castle works", kCmdCastleWorks, 0, 0, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto free = FreeGenerals(clan, kuni);
    if (c.command == kCmdCastleWorks)
      std::erase_if(free, [](const std::pair<int, int>& p) {
        return CheckCommandAvailable(kCmdCastleWorks, static_cast<uint16_t>(p.second), kNoSiro, PlayerDaimyoId,
                                     0xFFFF) != 0;
      });
    ASSERT_FALSE(free.empty()) << "a general free for the command";
    const auto [siro, g] = free.front();
    ASSERT_TRUE(ListCastle(siro));
    ASSERT_EQ(CurrentKuniId, kuni) << "the province view selects the country";
    const Country before = Read(clan, kuni);
    const int level = SiroTable[siro].level;
    const Pt at = CommandAt(c.command);
    ASSERT_GE(at.x, 0) << "the command is on the panel";
    Click(at);
    Driver().Ticks(10);
    ASSERT_TRUE(MarkThroughList(siro, g));
    CVMenuSLG_CmdBase* d = AwaitDialog(c.dialog, 800);
    ASSERT_NE(d, nullptr) << "the dialog opened for the marked general";
    const int levels = c.command == kCmdCastleWorks ? SlgScene().GetDialogResult(3) : 0;
    const int worksCost = c.command == kCmdCastleWorks ? SiroWorkCost(static_cast<uint16_t>(g), levels) : 0;
    Click(ButtonCentre(d, 1000));
    Driver().Ticks(10);
    const Country after = Read(clan, kuni);
    EXPECT_TRUE(BusyoTable[g].cmdFlags & 1) << "the general has his order for the turn";
    EXPECT_EQ(after.cp, before.cp - c.cp);
    switch (c.command) {
      case kCmdFloodControl:
        EXPECT_EQ(after.money, before.money - 100);
        EXPECT_GE(after.land, before.land);
        break;
      case kCmdFreeMarket:
        EXPECT_EQ(after.money, before.money - before.town / 10);
        EXPECT_GE(after.town, before.town);
        break;
      case kCmdLevy:
        EXPECT_GE(after.money, before.money) << "the levy brings money";
        EXPECT_LE(after.land, before.land) << "and costs the country's koku";
        EXPECT_LE(after.town, before.town);
        break;
      case kCmdCastleWorks:
        ASSERT_GE(levels, 1);
        EXPECT_EQ(SiroTable[siro].level, level + levels);
        EXPECT_EQ(after.money, before.money - worksCost);
        EXPECT_TRUE(SiroTable[siro].turnFlags & 1) << "the castle was built this turn";
        break;
    }
    if (c.doneBit) {
      EXPECT_EQ(after.done & c.doneBit, c.doneBit) << "the country is done for the turn";
    }
    Driver().Ticks(300);
    LeaveCommand();
  }
  EXPECT_TRUE(boxes_.boxes.empty()) << (boxes_.boxes.empty() ? "" : boxes_.boxes.front().title);
}

}  // namespace

namespace {

// 控え武将: a castle of the clan is picked on the province view, the reserve list opens; one reserve
// general is asked to be dismissed (no keeps him, yes lets him go), another is ticked and stationed
// in the castle after the confirmation.
TEST_F(SlgCommandClicks, ReserveDismissesOneGeneralAndStationsAnotherByClicks) {
  ASSERT_TRUE(StartNull());
  InstallBattleRules();
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  ASSERT_TRUE(ToPhase(2)) << "politics phase";
  const uint8_t clan = PlayerDaimyoId;
  const int reserve = CountDaimyoKakuuBusyo(clan);
  ASSERT_GE(reserve, 2) << "the clan starts with generals in reserve";
  int castle = -1;
  for (int s : ShownCastles(clan, CurrentKuniId))
    if (castle < 0 && CountSiroBusyo(static_cast<uint32_t>(s)) < kSiroListLen &&
        CheckCommandAvailable(kCmdReserve, kNoBusyo, static_cast<uint16_t>(s), clan, 0xFFFF) == 0)
      castle = s;
  ASSERT_GE(castle, 0) << "a castle of the selected country with room";
  const int stationed = CountSiroBusyo(static_cast<uint32_t>(castle));
  const int money = DaimyoTable[clan].money, cp = DaimyoTable[clan].cp;
  Click(CommandAt(kCmdReserve));
  Driver().Ticks(10);
  ASSERT_TRUE(ClickCastleIcon(castle));
  auto* table = dynamic_cast<CVMenuSLG_infoall*>(AwaitDialog(21));
  ASSERT_NE(table, nullptr) << "the reserve list opened for the castle";
  Driver().Ticks(30);  // the opening
  ASSERT_EQ(table->List().Count(), reserve) << "the list holds the reserve";
  EXPECT_EQ(table->Capacity(), kSiroListLen - stationed);
  const int32_t dismissed = table->List().At(0);
  // Asks to dismiss the general of the first row and answers the question.
  auto askDismissal = [&](int32_t answer) {
    if (table->GetState() != 1) Click(ButtonCentre(table, 2502));  // to the dismissal
    Driver().Ticks(4);
    if (table->GetState() != 1) return false;
    Click(ButtonCentre(table, 3000));
    if (!Driver().TicksUntil(60, [] { return GetSceneMgr().GetCurrentSceneId() == 10; })) return false;
    Driver().Ticks(20);
    Click(ButtonCentre(GetSceneById(10)->FindMenu(0), answer));
    return Driver().TicksUntil(60, [] { return GetSceneMgr().GetCurrentSceneId() == 3; });
  };
  ASSERT_TRUE(askDismissal(2)) << "the question, answered no";
  Driver().Ticks(10);
  EXPECT_EQ(GetBusyoDaimyo(static_cast<uint32_t>(dismissed)), clan) << "no keeps the general";
  EXPECT_EQ(CountDaimyoKakuuBusyo(clan), reserve);
  ASSERT_EQ(Scene()->DialogMenu(), table) << "the reserve list stays open";
  ASSERT_TRUE(askDismissal(1)) << "the question, answered yes";
  Driver().Ticks(10);
  EXPECT_NE(GetBusyoDaimyo(static_cast<uint32_t>(dismissed)), clan) << "yes lets the general go";
  EXPECT_EQ(CountDaimyoKakuuBusyo(clan), reserve - 1);
  ASSERT_EQ(Scene()->DialogMenu(), table);
  EXPECT_EQ(table->List().Count(), reserve - 1) << "the list shows the reserve that is left";
  // Back to picking: the first row's general is ticked and handed over.
  Click(ButtonCentre(table, 2502));
  Driver().Ticks(4);
  ASSERT_EQ(table->GetState(), 2);
  const int32_t chosen = table->List().At(0);
  ASSERT_NE(chosen, dismissed);
  Click(ButtonCentre(table, 3000));
  Driver().Ticks(2);
  EXPECT_TRUE(table->IsPicked(chosen));
  Click(ButtonCentre(table, 2505));
  CVMenuSLG_CmdBase* confirm = AwaitDialog(8, 120);
  ASSERT_NE(confirm, nullptr) << "the stationing is confirmed on the move dialog";
  Click(ButtonCentre(confirm, 1000));
  Driver().Ticks(10);
  EXPECT_EQ(BusyoTable[chosen].siro, castle) << "the general is stationed in the castle";
  EXPECT_EQ(CountSiroBusyo(static_cast<uint32_t>(castle)), stationed + 1);
  EXPECT_EQ(CountDaimyoKakuuBusyo(clan), reserve - 2);
  EXPECT_TRUE(BusyoTable[chosen].cmdFlags & 1);
  EXPECT_EQ(DaimyoTable[clan].money, money) << "stationing is free";
  EXPECT_EQ(DaimyoTable[clan].cp, cp);
  LeaveCommand();
  EXPECT_TRUE(boxes_.boxes.empty()) << (boxes_.boxes.empty() ? "" : boxes_.boxes.front().title);
}

// 武将に会う: the visit list holds the season's visitors by general; a row picks one, the
// confirmation plays the meeting's scene and the map comes back with the visitor met.
TEST_F(SlgCommandClicks, VisitMeetsAVisitorOfTheListByClicks) {
  ASSERT_TRUE(StartNull());
  InstallBattleRules();
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  ASSERT_TRUE(ToPhase(2)) << "politics phase";
  const uint8_t clan = PlayerDaimyoId;
  ASSERT_FALSE(SlgEventMap.empty()) << "the season's visitors are registered";
  const int cp = DaimyoTable[clan].cp;
  Click(CommandAt(kCmdVisit));
  auto* list = dynamic_cast<CVMenuSLG_event*>(AwaitDialog(12));
  ASSERT_NE(list, nullptr) << "the visit list opened";
  Driver().Ticks(30);
  ASSERT_EQ(list->List().Count(), static_cast<int>(SlgEventMap.size()));
  int row = -1;
  for (int i = 0; i < CVMenuSLG_event::kRows && row < 0; ++i)
    if (list->Row(i)->IsShown() && list->Row(i)->TestFlag(kWfEnabled)) row = i;
  ASSERT_GE(row, 0) << "a visitor who can be met";
  const int32_t visitor = list->List().At(row);
  ASSERT_TRUE(SlgEventMap.count(static_cast<uint32_t>(visitor))) << "the rows are keyed by the visitors' generals";
  const bool metBefore = SlgEventMap[static_cast<uint32_t>(visitor)].flags & 1;
  Click(ButtonCentre(list, 2100 + row));
  Driver().Ticks(4);
  EXPECT_EQ(SlgScene().GetDialogResult(0), visitor);
  Click(ButtonCentre(list, 1000));
  // The meeting's scene plays (a click ends each of its waits); then the visit list comes back for
  // another visitor.
  bool scene = false;
  CVMenuSLG_CmdBase* again = nullptr;
  for (int i = 0; i < 3000 && !again; ++i) {
    scene = scene || GameMode == game_mode::kEventScript || GameMode == game_mode::kMainScript ||
            GetSceneMgr().GetCurrentSceneId() != 3;
    if (scene && GetSceneMgr().GetCurrentSceneId() == 3 && GameMode == game_mode::kSlg) {
      auto* d = dynamic_cast<CVMenuSLG_CmdBase*>(Scene()->DialogMenu());
      if (d && d->GetDialogId() == 12) again = d;
    }
    if (!again) Answer();
  }
  EXPECT_TRUE(scene) << "the meeting's scene played";
  ASSERT_NE(again, nullptr) << "back on the map with the visit list";
  EXPECT_TRUE(SlgEventMap[static_cast<uint32_t>(visitor)].flags & 4) << "the visitor was met";
  EXPECT_EQ(DaimyoTable[clan].cp, cp - GetVisitCpCost(metBefore ? 1 : 0));
  Driver().Ticks(30);
  LeaveCommand();
  EXPECT_TRUE(boxes_.boxes.empty()) << (boxes_.boxes.empty() ? "" : boxes_.boxes.front().title);
}

// 計略 that takes a castle: the target's icon is picked on the province view, the plot succeeds
// (the debug menu's plot switch, so that no draw decides it) and the castle becomes the player's;
// the plot's marker then plays on that castle's icon while the map's buttons wait.
TEST_F(SlgCommandClicks, PlotTakesACastleAndPlaysTheMarkerOnItsIcon) {
  ASSERT_TRUE(StartNull());
  InstallBattleRules();
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  ASSERT_TRUE(ToPhase(3)) << "strategy phase";
  const uint8_t clan = PlayerDaimyoId;
  int source = -1, target = -1, busyo = -1;
  for (int s = 0; s < kSiroCount && target < 0; ++s) {
    if (!IsSiroInUse(s) || SiroTable[s].owner != clan || !OnMap(s)) continue;
    ::CTenkaList_Busyo ids;
    ListSiroBusyo(static_cast<uint32_t>(s), clan, ids);
    for (int i = 0; i < 5 && target < 0; ++i) {
      const uint16_t n = SiroTable[s].neighbours[i];
      // A castle of the same province, so that its icon is on the view the plot is given from.
      if (n >= kSiroCount || SiroTable[n].owner == clan || SiroTable[n].kuni != SiroTable[s].kuni || !OnMap(n))
        continue;
      for (int32_t g : ids)
        if (target < 0 && CheckCommandAvailable(kCmdPlot, static_cast<uint16_t>(g), kNoSiro, clan, 0xFFFF) == 0 &&
            CheckCommandAvailable(kCmdPlot, static_cast<uint16_t>(g), n, clan, 0xFFFF) == 0)
          source = s, target = n, busyo = g;
    }
  }
  ASSERT_GE(target, 0) << "a castle of another force in a province of the player's";
  DebugPlotSwitch = 1;
  ASSERT_TRUE(ListCastle(source));
  Click(CommandAt(kCmdPlot));
  Driver().Ticks(10);
  ASSERT_TRUE(MarkThroughList(source, busyo));
  Driver().Ticks(4);
  ASSERT_TRUE(ClickCastleIcon(target));
  CVMenuSLG_CmdBase* d = AwaitDialog(14);
  ASSERT_NE(d, nullptr) << "the plot dialog opened";
  Click(ButtonCentre(d, 1000));
  Driver().Ticks(4);
  DebugPlotSwitch = 0;
  EXPECT_EQ(SiroTable[target].owner, clan) << "the plot took the castle";
  EXPECT_EQ(SiroTable[target].level, 1);
  EXPECT_EQ(Map()->MessageText(), "計略に成功しました");
  // The marker on the taken castle's icon.
  int icon = -1;
  ASSERT_TRUE(Driver().TicksUntil(600, [&] { return Scene()->IsIconMarkerAnimating(target); }))
      << "the marker plays on the castle's icon";
  for (int i = 0; i < CVMenuSLGMain::kCastleIcons; ++i)
    if (Map()->CastleIconValue(i) == target) icon = i;
  ASSERT_GE(icon, 0);
  CVMenuBase* marker = Map()->CastleIcon(icon)->FindChild(kWidgetSprite, 0);
  ASSERT_NE(marker, nullptr);
  EXPECT_TRUE(marker->IsShown());
  EXPECT_TRUE(Map()->CastleIcon(icon)->TestFlag(kWfNoHit)) << "the map's buttons wait for the marker";
  ASSERT_TRUE(Driver().TicksUntil(600, [&] { return !Scene()->IsIconMarkerAnimating(target); }));
  Driver().Ticks(4);
  EXPECT_FALSE(marker->IsShown()) << "the marker is put away";
  EXPECT_FALSE(Map()->CastleIcon(icon)->TestFlag(kWfNoHit));
  LeaveCommand();
  EXPECT_TRUE(boxes_.boxes.empty()) << (boxes_.boxes.empty() ? "" : boxes_.boxes.front().title);
}

}  // namespace

namespace {

// 鉄砲購入 in the military phase: the season's purchase is asked once and answered yes, a general
// of the country with soldiers to arm is marked, the number dialog gives him the guns offered.
TEST_F(SlgCommandClicks, GunsAreBoughtAndGivenToAGeneralByClicks) {
  ASSERT_TRUE(StartNull());
  InstallBattleRules();
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  const uint8_t clan = PlayerDaimyoId;
  ASSERT_EQ(TurnSubPhase, 1) << "military phase";
  int castle = -1, busyo = -1;
  for (int s : ShownCastles(clan, CurrentKuniId)) {
    ::CTenkaList_Busyo ids;
    ListSiroBusyo(static_cast<uint32_t>(s), clan, ids);
    for (int32_t g : ids)
      if (busyo < 0 && BusyoTable[g].soldiers > BusyoTable[g].guns) castle = s, busyo = g;
  }
  ASSERT_GE(busyo, 0) << "a general of the selected country with soldiers to arm";
  ASSERT_TRUE(ListCastle(castle));
  const int money = DaimyoTable[clan].money, cp = DaimyoTable[clan].cp, guns = BusyoTable[busyo].guns;
  const int rate = DaimyoTable[clan].gunRate;
  Click(CommandAt(kCmdGuns));
  // The purchase of the season, asked in the dialog scene.
  ASSERT_TRUE(Driver().TicksUntil(60, [] { return GetSceneMgr().GetCurrentSceneId() == 10; })) << "the question";
  Driver().Ticks(20);
  Click(ButtonCentre(GetSceneById(10)->FindMenu(0), 1));
  ASSERT_TRUE(Driver().TicksUntil(60, [] { return GetSceneMgr().GetCurrentSceneId() == 3; }));
  Driver().Ticks(10);
  EXPECT_EQ(DaimyoTable[clan].cp, cp - rate) << "the purchase costs its command points";
  const int bought = DaimyoTable[clan].gunsLeft;
  ASSERT_GT(bought, 0);
  ASSERT_TRUE(MarkThroughList(castle, busyo));
  CVMenuSLG_CmdBase* d = AwaitDialog(3, 200);
  ASSERT_NE(d, nullptr) << "the number dialog opened";
  const int offered = SlgScene().GetDialogResult(3);
  ASSERT_GT(offered, 0);
  const int price = GetGunPrice(CurrentKuniId);
  Click(ButtonCentre(d, 1000));
  Driver().Ticks(10);
  EXPECT_EQ(BusyoTable[busyo].guns, guns + offered);
  EXPECT_EQ(DaimyoTable[clan].money, money - price * offered);
  EXPECT_EQ(DaimyoTable[clan].gunsLeft, bought - offered);
  Driver().Ticks(100);
  LeaveCommand();
  EXPECT_TRUE(boxes_.boxes.empty()) << (boxes_.boxes.empty() ? "" : boxes_.boxes.front().title);
}

// 引き抜き in a country of the clan's: a general of the clan is marked, the poaching list shows the
// other forces' generals there (an independent lord's too), a row and the confirmation try one; it
// is paid for either way and a success brings him over.
TEST_F(SlgCommandClicks, PoachingTriesAGeneralOfTheCountryByClicks) {
  ASSERT_TRUE(StartNull());
  InstallBattleRules();
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  ASSERT_TRUE(ToPhase(2)) << "politics phase";
  const uint8_t clan = PlayerDaimyoId;
  int kuni = -1;
  std::pair<int, int> poacher;
  for (int k = 0; k < kKuniCount && kuni < 0; ++k) {
    if (PointInKuni(k).x < 0) continue;
    for (const auto& p : FreeGenerals(clan, k))
      if (kuni < 0 && CheckCommandAvailable(kCmdPoach, static_cast<uint16_t>(p.second), kNoSiro, clan, 0xFFFF) == 0) {
        const uint8_t saved = CurrentKuniId;
        CurrentKuniId = static_cast<uint8_t>(k);
        if (CheckCommandAvailable(kCmdPoach, kNoBusyo, kNoSiro, clan, 0xFFFF) == 0) kuni = k, poacher = p;
        CurrentKuniId = saved;
      }
  }
  ASSERT_GE(kuni, 0) << "a country of the clan's with another force's generals";
  ASSERT_TRUE(ListCastle(poacher.first));
  ASSERT_EQ(CurrentKuniId, kuni);
  const int money = DaimyoTable[clan].money, cp = DaimyoTable[clan].cp;
  Click(CommandAt(kCmdPoach));
  Driver().Ticks(10);
  ASSERT_TRUE(MarkThroughList(poacher.first, poacher.second));
  auto* d = dynamic_cast<CVMenuSLG_hikinuki*>(AwaitDialog(11));
  ASSERT_NE(d, nullptr) << "the poaching list opened";
  Driver().Ticks(20);
  ASSERT_GT(d->List().Count(), 0) << "the other forces' generals of the country";
  ASSERT_TRUE(d->Row(0)->IsShown());
  const int32_t target = d->List().At(0);
  EXPECT_NE(GetBusyoDaimyo(static_cast<uint32_t>(target)), clan);
  Click(ButtonCentre(d, 2100));
  Driver().Ticks(4);
  EXPECT_EQ(SlgScene().GetDialogResult(7), target);
  Click(ButtonCentre(d, 1000));
  const bool told = Driver().TicksUntil(600, [&] {
    return Map()->MessageText() == "武将の引抜きに成功しました" || Map()->MessageText() == "武将の引抜きに失敗しました";
  });
  ASSERT_TRUE(told) << "the outcome is told; message: " << Map()->MessageText();
  EXPECT_EQ(DaimyoTable[clan].cp, cp - kPoachCp);
  EXPECT_TRUE(BusyoTable[poacher.second].cmdFlags & 1);
  EXPECT_TRUE(BusyoTable[target].cmdFlags & 1) << "the general was tried this turn";
  const bool won = Map()->MessageText() == "武将の引抜きに成功しました";
  EXPECT_EQ(GetBusyoDaimyo(static_cast<uint32_t>(target)) == clan, won);
  EXPECT_EQ(DaimyoTable[clan].money, money - kPoachCost);
  Driver().Ticks(300);
  LeaveCommand();
  EXPECT_TRUE(boxes_.boxes.empty()) << (boxes_.boxes.empty() ? "" : boxes_.boxes.front().title);
}

}  // namespace

namespace {

// An item found in a castle the player's march takes: the war phase's aftermath opens the item
// dialog over the map; its button answers it and the season goes on. The castle is left without a
// garrison and holds nothing but that item, so that the march takes it and the find is certain.
TEST_F(SlgCommandClicks, AnItemFoundInATakenCastleIsShownAndAnswered) {
  ASSERT_TRUE(StartNull());
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  StartBattles();
  ASSERT_TRUE(ToPhase(3)) << "strategy phase";
  const uint8_t clan = PlayerDaimyoId;
  int source = -1, target = -1, busyo = -1;
  for (int s = 0; s < kSiroCount && target < 0; ++s) {
    if (!IsSiroInUse(s) || SiroTable[s].owner != clan || !OnMap(s)) continue;
    ::CTenkaList_Busyo ids;
    ListSiroBusyo(static_cast<uint32_t>(s), clan, ids);
    for (int i = 0; i < 5 && target < 0; ++i) {
      const uint16_t n = SiroTable[s].neighbours[i];
      if (n >= kSiroCount || !(SiroTable[s].links[i] & 1) || SiroTable[n].owner == clan) continue;
      if (SiroTable[n].kuni == SiroTable[s].kuni && !OnMap(n)) continue;
      for (int32_t g : ids)
        if (target < 0 && CheckCommandAvailable(kCmdInvade, static_cast<uint16_t>(g), kNoSiro, clan, 0xFFFF) == 0 &&
            CheckCommandAvailable(kCmdInvade, static_cast<uint16_t>(g), n, clan, 0xFFFF) == 0)
          source = s, target = n, busyo = g;
    }
  }
  ASSERT_GE(target, 0) << "a castle of another force next to the player's";
  ::CTenkaList_Busyo garrison;
  ListSiroBusyoAll(static_cast<uint32_t>(target), garrison);
  for (int32_t g : garrison) RemoveBusyoFromCastle(g);
  SiroRecord& t = SiroTable[target];
  t.treasureChance = 100;
  std::fill(std::begin(t.treasure), std::end(t.treasure), uint16_t{1});
  const int stock = GetItemStock(1);
  ASSERT_TRUE(ListCastle(source));
  Click(CommandAt(kCmdInvade));
  Driver().Ticks(10);
  ASSERT_TRUE(MarkThroughList(source, busyo));
  Driver().Ticks(4);
  CVMenuSLG_CmdBase* march = nullptr;
  for (int i = 0; i < 6 && !march; ++i) {
    ASSERT_TRUE(ClickIcon(target));
    march = AwaitDialog(13, 20);
  }
  ASSERT_NE(march, nullptr) << "the march dialog opened";
  Click(ButtonCentre(march, 1000));
  Driver().Ticks(10);
  ASSERT_EQ(BusyoTable[busyo].siro2, target);
  LeaveCommand();
  ASSERT_TRUE(PlayUntilCommands(3, 200));
  Click(ButtonCentre(Map(), 10014));
  // The war phase: the battle, then the find.
  CVMenuSLG_item* found = nullptr;
  for (int i = 0; i < 40000 && !found; ++i) {
    if (GetSceneMgr().GetCurrentSceneId() == 3 && Scene()->DialogMenu())
      if ((found = dynamic_cast<CVMenuSLG_item*>(Scene()->DialogMenu()))) break;
    Answer();
  }
  ASSERT_NE(found, nullptr) << "the item dialog opened; castle owner " << int{SiroTable[target].owner};
  EXPECT_EQ(SiroTable[target].owner, clan) << "the march took the castle";
  EXPECT_EQ(GetItemStock(1), stock + 1) << "the item is in the stock";
  EXPECT_EQ(SiroTable[target].treasureChance, 0) << "the castle holds nothing more";
  Driver().Ticks(20);
  std::vector<int32_t> shown;
  for (int32_t id : {1000, 1001})
    if (CVMenuBtn* b = found->FindButtonById(id); b && b->IsShown()) shown.push_back(id);
  ASSERT_EQ(shown.size(), 1u) << "one button acknowledges the find";
  Click(ButtonCentre(found, shown[0]));
  ASSERT_TRUE(Driver().TicksUntil(60, [&] { return Scene()->IsNoDialog(); })) << "the answer closed the dialog";
  ASSERT_TRUE(PlayUntilCommands(1, 40000)) << "the season went on to the next military phase";
  EXPECT_TRUE(boxes_.boxes.empty()) << (boxes_.boxes.empty() ? "" : boxes_.boxes.front().title);
}

}  // namespace

namespace {

// 天下統一宣言: the row is offered only once the season found the realm ready (stage 1); its click
// says the declaration comes next turn, moves the stage on and takes the row away.
TEST_F(SlgCommandClicks, TheDeclarationOfUnificationIsGivenByItsRow) {
  ASSERT_TRUE(StartNull());
  InstallBattleRules();
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  EXPECT_NE(CheckCommandAvailable(kCmdDeclareUnification, kNoBusyo, kNoSiro, PlayerDaimyoId, kNoBusyo), 0)
      << "refused before the realm is ready";
  UnificationStage = 1;  // what the season sets when the clan's holdings and revenue meet the rule
  ASSERT_TRUE(ToPhase(3)) << "strategy phase";
  const Pt row = CommandAt(kCmdDeclareUnification);
  ASSERT_GE(row.x, 0) << "the row is on the command panel";
  Click(row);
  bool said = false;
  ASSERT_TRUE(Driver().TicksUntil(600,
                                  [&] {
                                    said = said || Map()->MessageText() == "次ターンで天下統一を宣言します";
                                    return SlgCommandCode == 255 && UnificationStage == 2;
                                  }))
      << "the command ended with the stage moved on: command " << int{SlgCommandCode} << " stage " << UnificationStage
      << " message " << Map()->MessageText();
  EXPECT_TRUE(said) << "the player is told the declaration comes next turn";
  EXPECT_NE(CheckCommandAvailable(kCmdDeclareUnification, kNoBusyo, kNoSiro, PlayerDaimyoId, kNoBusyo), 0)
      << "not offered twice";
  EXPECT_TRUE(boxes_.boxes.empty()) << (boxes_.boxes.empty() ? "" : boxes_.boxes.front().title);
}

}  // namespace
