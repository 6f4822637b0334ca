// The player's commands completed by clicks on the real map and its dialogs, on the built sample
// data: each command is chosen on the command panel, its general and its castle are picked on the
// province view, its dialog is confirmed, and what it did is read back from the world.
#include "tests/screens/strategy/slg_commands_fixture.h"

#include <cstring>
#include <functional>

namespace {

// Two castles of the clan in one province, both shown, and a general of the first who may go there.
struct Move {
  int source = -1, target = -1, busyo = -1;
};
Move FindMove(uint8_t clan, const std::function<bool(int)>& onMap) {
  for (int s = 0; s < kSiroCount; ++s) {
    if (!IsSiroInUse(s) || SiroTable[s].owner != clan || !onMap(s)) continue;
    ::CTenkaList_Busyo ids;
    ListSiroBusyo(static_cast<uint32_t>(s), clan, ids);
    for (int t = 0; t < kSiroCount; ++t) {
      if (t == s || !IsSiroInUse(t) || SiroTable[t].owner != clan || SiroTable[t].kuni != SiroTable[s].kuni ||
          !onMap(t) || CountSiroBusyo(t) >= 5)
        continue;
      for (int32_t g : ids)
        if (g != DaimyoTable[clan].head && CanMoveBusyoTo(static_cast<uint32_t>(g), static_cast<uint32_t>(t)) == 1)
          return {s, t, g};
    }
  }
  return {};
}

TEST_F(SlgCommands, MoveAGeneralToAnotherCastleByClicks) {
  ASSERT_TRUE(StartNull());
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  ASSERT_TRUE(ToPhase(2)) << "politics phase";
  const uint8_t clan = PlayerDaimyoId;
  const Move m = FindMove(clan, [&](int s) { return OnMap(s); });
  ASSERT_GE(m.busyo, 0) << "two castles of the player's clan in one province";
  ASSERT_TRUE(ListCastle(m.source));
  const int money = DaimyoTable[clan].money, cp = DaimyoTable[clan].cp;
  Click(CommandAt(kCmdMove));
  Driver().Ticks(10);
  ASSERT_TRUE(MarkThroughList(m.source, m.busyo));
  ASSERT_EQ(Scene()->GetMarkedBusyo(), m.busyo);
  Driver().Ticks(4);
  EXPECT_TRUE(IconEnabled(m.source)) << "the source castle stays open for marking its generals";
  ASSERT_TRUE(IconEnabled(m.target)) << "the destination castle can be picked";
  // The castle tooltip follows the pointer over the destination.
  for (int i = 0; i < CVMenuSLGMain::kCastleIcons; ++i)
    if (Map()->CastleIconValue(i) == m.target) Hover(ButtonCentre(Map(), 300 + i));
  EXPECT_TRUE(Map()->StateFlags() & CVMenuSLGMain::kCastleTip);
  ASSERT_TRUE(ClickIcon(m.target));
  CVMenuSLG_CmdBase* d = AwaitDialog(8);
  ASSERT_NE(d, nullptr) << "the move dialog opened";
  Click(ButtonCentre(d, 1000));
  Driver().Ticks(10);
  EXPECT_EQ(BusyoTable[m.busyo].siro, m.target);
  EXPECT_EQ(DaimyoTable[clan].money, money - MoveCostPerBusyo(DaimyoTable[clan].rank));
  EXPECT_EQ(DaimyoTable[clan].cp, cp - 1);
  EXPECT_TRUE(BusyoTable[m.busyo].cmdFlags & 1) << "the moved general has his order for the turn";
  LeaveCommand();
  EXPECT_TRUE(boxes_.boxes.empty()) << (boxes_.boxes.empty() ? "" : boxes_.boxes.front().title);
}

// A general of the clan next to a castle of another force that the command may target.
struct Target {
  int source = -1, target = -1, busyo = -1;
};
Target FindTarget(uint8_t clan, int command, const std::function<bool(int)>& onMap) {
  for (int s = 0; s < kSiroCount; ++s) {
    if (!IsSiroInUse(s) || SiroTable[s].owner != clan || !onMap(s)) continue;
    ::CTenkaList_Busyo ids;
    ListSiroBusyo(static_cast<uint32_t>(s), clan, ids);
    for (int i = 0; i < 5; ++i) {
      const uint16_t n = SiroTable[s].neighbours[i];
      if (n >= kSiroCount || SiroTable[n].owner == clan) continue;
      if (SiroTable[n].kuni == SiroTable[s].kuni && !onMap(n)) continue;
      if (command == kCmdSecretContact && CountSiroBusyo(n) == 0) continue;
      for (int32_t g : ids) {
        if (CheckCommandAvailable(command, static_cast<uint16_t>(g), kNoSiro, clan, 0xFFFF) == 0 &&
            CheckCommandAvailable(command, static_cast<uint16_t>(g), n, clan, 0xFFFF) == 0)
          return {s, n, g};
        if (std::getenv("PROBE"))
          std::printf("PROBE %d->%d g%d: %s\n", s, n, g, GetCommandReasonText() ? GetCommandReasonText() : "-");
      }
    }
  }
  return {};
}

TEST_F(SlgCommands, PlotAgainstANeighbourCastleByClicks) {
  ASSERT_TRUE(StartNull());
  InstallBattleRules();
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  ASSERT_TRUE(ToPhase(3)) << "strategy phase";
  const uint8_t clan = PlayerDaimyoId;
  const Target t = FindTarget(clan, kCmdPlot, [&](int s) { return OnMap(s); });
  ASSERT_GE(t.target, 0) << "a castle of another clan next to the player's";
  ASSERT_TRUE(ListCastle(t.source));
  const int cp = DaimyoTable[clan].cp, level = SiroTable[t.target].level;
  Click(CommandAt(kCmdPlot));
  Driver().Ticks(10);
  ASSERT_TRUE(MarkThroughList(t.source, t.busyo));
  Driver().Ticks(4);
  ASSERT_TRUE(IconEnabled(t.target)) << "the target castle can be picked";
  ASSERT_TRUE(ClickIcon(t.target));
  CVMenuSLG_CmdBase* d = AwaitDialog(14);
  ASSERT_NE(d, nullptr) << "the plot dialog opened";
  Click(ButtonCentre(d, 1000));
  Driver().Ticks(10);
  EXPECT_EQ(DaimyoTable[clan].cp, cp - 3);
  EXPECT_TRUE(BusyoTable[t.busyo].cmdFlags & 1);
  EXPECT_TRUE(SiroTable[t.target].turnFlags & 1) << "the castle is marked as plotted this turn";
  EXPECT_TRUE(SiroTable[t.target].level < level || SiroTable[t.target].level == level)
      << "a plot never raises the level";
  Driver().Ticks(300);
  LeaveCommand();
  EXPECT_TRUE(boxes_.boxes.empty()) << (boxes_.boxes.empty() ? "" : boxes_.boxes.front().title);
}

TEST_F(SlgCommands, SecretContactWithAGeneralOfANeighbourCastleByClicks) {
  ASSERT_TRUE(StartNull());
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  ASSERT_TRUE(ToPhase(3)) << "strategy phase";
  const uint8_t clan = PlayerDaimyoId;
  const Target t = FindTarget(clan, kCmdSecretContact, [&](int s) { return OnMap(s); });
  ASSERT_GE(t.target, 0) << "a castle of another clan next to the player's";
  ASSERT_TRUE(ListCastle(t.source));
  const int cp = DaimyoTable[clan].cp, money = DaimyoTable[clan].money;
  Click(CommandAt(kCmdSecretContact));
  Driver().Ticks(10);
  ASSERT_TRUE(MarkThroughList(t.source, t.busyo));
  Driver().Ticks(4);
  // The castle pick lists the generals of every clan there; a row of another clan's general picks him.
  ASSERT_TRUE(IconEnabled(t.target)) << "the castle of the target can be picked";
  ASSERT_TRUE(ClickIcon(t.target));
  Driver().Ticks(4);
  int row = -1;
  for (int i = 0; i < 6 && row < 0; ++i) {
    const int g = Map()->RowValue(i);
    if (g != 0xFFFF && GetBusyoDaimyo(static_cast<uint32_t>(g)) != clan && Map()->Row(i)->TestFlag(kWfEnabled)) row = i;
  }
  ASSERT_GE(row, 0) << "a general of the castle can be chosen";
  const int target = Map()->RowValue(row);
  Click(ButtonCentre(Map(), 500 + row));
  CVMenuSLG_CmdBase* d = AwaitDialog(15);
  ASSERT_NE(d, nullptr) << "the secret contact dialog opened";
  Click(ButtonCentre(d, 1000));
  Driver().Ticks(10);
  EXPECT_EQ(DaimyoTable[clan].cp, cp - 1);
  EXPECT_EQ(DaimyoTable[clan].money, money - 20);
  EXPECT_TRUE(BusyoTable[target].cmdFlags & 0x08) << "the target was contacted this turn";
  EXPECT_TRUE(BusyoTable[t.busyo].cmdFlags & 1);
  Driver().Ticks(300);
  LeaveCommand();
  EXPECT_TRUE(boxes_.boxes.empty()) << (boxes_.boxes.empty() ? "" : boxes_.boxes.front().title);
}

// A strategy game saved on the map and loaded from the title's load screen: the map comes back
// without the start choice's hint box.
TEST_F(SlgCommands, AGameLoadedFromTheTitleShowsNoStartChoiceHint) {
  ASSERT_TRUE(StartNull());
  struct Rules {
    Rules() {
      GetSlgCommandRules().quickSave = [] { return QuickSave(GameMode); };
      GetSlgCommandRules().quickLoad = [] { return QuickLoad(-1); };
    }
    ~Rules() {
      GetSlgCommandRules().quickSave = [] { return false; };
      GetSlgCommandRules().quickLoad = [] { return false; };
    }
  } rules;
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  EXPECT_FALSE(Map()->SidePanel()->IsShown()) << "the hint left with the start choice";
  auto yes = [&] {
    ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 10);
    Click(ButtonCentre(GetSceneById(10)->FindMenu(0), 1));
    Driver().Ticks(4);
  };
  Click(ButtonCentre(Map(), 10011));  // quick save
  ASSERT_NO_FATAL_FAILURE(yes());
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 3);
  Click(ButtonCentre(Map(), 10013));  // system, then to the title
  Click(ButtonCentre(Map(), 10013));
  ASSERT_NO_FATAL_FAILURE(yes());
  ASSERT_TRUE(Driver().TicksUntil(200, [] { return GetSceneMgr().GetCurrentSceneId() == 1; }));
  ASSERT_TRUE(Driver().TicksUntil(200, [] { return GetSceneById(1)->GetStepValue() == 2; }));
  Click(ButtonCentre(GetSceneById(1)->FindMenu(0), 10006));  // the title's load button
  ASSERT_TRUE(Driver().TicksUntil(60, [] { return GetSceneMgr().GetCurrentSceneId() == 5; }));
  auto* load = dynamic_cast<CVMenuSAVE*>(GetSceneMgr().GetCurrentScene()->FindMenu(0));
  ASSERT_NE(load, nullptr);
  Click(ButtonCentre(load, CVMenuSAVE::kFirstTab + CVMenuSAVE::kQuickPage));
  ASSERT_TRUE(load->IsSlotValid(kQuickSlotBase));
  const Pt row = ButtonCentre(load, CVMenuSAVE::kFirstRow);
  Driver().SetPointer(row.x, row.y);
  Driver().Ticks(2);
  Driver().SetButton(VK_LBUTTON, true);
  Driver().Ticks(2);
  Driver().SetButton(VK_LBUTTON, false);
  ASSERT_TRUE(Driver().TicksUntil(100, [] { return GetSceneMgr().GetCurrentSceneId() == 3; }));
  for (int i = 0; i < 600 && !(TurnSubPhase == 1 && (Map()->StateFlags() & CVMenuSLGMain::kCommandMenu)); ++i)
    Click({60, 580});
  ASSERT_EQ(TurnSubPhase, 1);
  EXPECT_EQ(Map()->MapState(), 0);
  EXPECT_FALSE(Map()->SidePanel()->IsShown()) << "大名か国を選んでください stays away after a load";
  EXPECT_TRUE(boxes_.boxes.empty()) << (boxes_.boxes.empty() ? "" : boxes_.boxes.front().title);
}

// The clans a player is likely to start with (the six of the start choice) can give every command
// of the command panel in their first season: each command is available in one of their countries
// (the map re-checks the commands for the country selected). A grey command says why.
TEST_F(SlgCommands, EveryCommandIsAvailableToEachStartClanInItsFirstSeason) {
  ASSERT_TRUE(StartNull());
  const struct {
    int phase;
    std::vector<int> commands;
  } phases[] = {{1, {kCmdRecruit, kCmdTraining, kCmdReward, kCmdGuns}},
                {2,
                 {kCmdCastleWorks, kCmdFloodControl, kCmdFreeMarket, kCmdLevy, kCmdMove, kCmdReserve, kCmdAlliance,
                  kCmdPoach, kCmdVisit}},
                {3, {kCmdInvade, kCmdPlot, kCmdSecretContact}}};
  for (int choice = 0; choice < 6; ++choice) {
    SCOPED_TRACE("start clan " + std::to_string(choice));
    if (choice > 0) {
      GetSceneMgr().Reset();
      GetMenuMgr().DeleteAllRoots();
      GameMode = 1;
      StepReset();
      g_FrameWaitCounter.store(0);
    }
    ASSERT_NO_FATAL_FAILURE(PlayToMap(choice));
    const uint8_t clan = PlayerDaimyoId;
    for (const auto& p : phases) {
      ASSERT_TRUE(ToPhase(p.phase)) << "phase " << p.phase;
      const uint8_t current = CurrentKuniId;
      for (int cmd : p.commands) {
        std::string why;
        bool any = false;
        for (int k = 0; k < kKuniCount && !any; ++k) {
          if (!DaimyoHasSiroInKuni(static_cast<uint32_t>(k), clan)) continue;
          CurrentKuniId = static_cast<uint8_t>(k);
          any = CheckCommandAvailable(cmd, kNoBusyo, kNoSiro, clan, kNoBusyo) == 0;
          if (!any && GetCommandReasonText()) why = GetCommandReasonText();
        }
        EXPECT_TRUE(any) << "command " << cmd << " for clan " << int{clan} << ": " << why;
      }
      CurrentKuniId = current;
      // A grey command of the panel, clicked, says why on the message line.
      for (int32_t id = 10000; id <= 10008; ++id) {
        CVMenuBtn* b = Map()->FindButtonById(id);
        if (!b || !b->TestFlag(kWfShown) || b->TestFlag(kWfEnabled)) continue;
        Click(ButtonCentre(Map(), id));
        EXPECT_FALSE(Map()->MessageText().empty()) << "the grey command " << id << " said nothing";
        EXPECT_EQ(Map()->MessageText(), Map()->RefusalOf(id));
        break;
      }
    }
  }
}

// Every text under a widget, in tree order (what a row shows).
std::string TextsOf(CVMenuBase* w) {
  std::string out;
  if (!w) return out;
  if (auto* t = dynamic_cast<CVMenuText*>(w)) out += std::string(t->Text() ? t->Text() : "") + "|";
  ForEachChild(w, [&](CVMenuBase* c) { out += TextsOf(c); });
  return out;
}

// 同盟: the clan holding the whole of the chosen country is asked; a country several clans share,
// and the player's own, are refused with a word; the proposal is paid for and the clan is marked.
TEST_F(SlgCommands, AllianceAsksTheClanHoldingTheChosenCountryAndSaysWhatItRefuses) {
  ASSERT_TRUE(StartNull());
  InstallBattleRules();
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  ASSERT_TRUE(ToPhase(2)) << "politics phase";
  const uint8_t clan = PlayerDaimyoId;
  int mixed = -1, other = -1;
  for (int k = 0; k < kKuniCount; ++k) {
    if (PointInKuni(k).x < 0) continue;
    if (KuniTable[k].holder == kNoDaimyo && mixed < 0) mixed = k;
    const uint8_t h = KuniTable[k].holder;
    if (h < kDaimyoInPlay && h != clan && other < 0 && DaimyoTable[h].head < NullBusyoId) other = k;
  }
  ASSERT_GE(mixed, 0) << "a country several forces share";
  ASSERT_GE(other, 0) << "a country another clan holds";
  const uint8_t t = KuniTable[other].holder;
  const int money = DaimyoTable[clan].money;
  Click(CommandAt(kCmdAlliance));
  Driver().Ticks(10);
  ASSERT_NE(Map()->RowValue(0), 0xFFFF) << "the clan's generals are listed";
  const int envoy = Map()->RowValue(0);
  Click(ButtonCentre(Map(), 500));
  Driver().Ticks(10);
  ASSERT_EQ(Map()->MapState(), 3) << "a country is picked next";
  const Pt home = PointInKuni(GetDaimyoHomeKuni(clan));
  const struct {
    Pt at;
    const char* said;
  } refused[] = {{PointInKuni(mixed), "大名国ではありません"}, {home, "敵大名ではありません"}};
  for (const auto& r : refused) {
    Click(r.at);
    Driver().Ticks(4);
    EXPECT_EQ(Map()->MessageText(), r.said);
    EXPECT_TRUE(Scene()->IsNoDialog());
  }
  Click(PointInKuni(other));
  CVMenuSLG_CmdBase* d = AwaitDialog(10);
  ASSERT_NE(d, nullptr) << "the alliance dialog opened for the clan holding the country";
  Click(ButtonCentre(d, 1000));
  Driver().Ticks(10);
  EXPECT_TRUE(DaimyoTable[t].turnFlags & 1) << "the clan was negotiated with";
  EXPECT_TRUE(BusyoTable[envoy].cmdFlags & 1);
  const bool allied = IsAllied(clan, t);
  EXPECT_EQ(DaimyoTable[clan].money, money - (allied ? 40 : 20));
  Driver().Ticks(300);
  LeaveCommand();
}

// A grey command, clicked, shows why on the message line for a while; then the line comes back.
TEST_F(SlgCommands, AGreyCommandClickedSaysWhy) {
  ASSERT_TRUE(StartNull());
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  DaimyoTable[PlayerDaimyoId].cp = 0;
  Map()->RebuildCommandMenu();
  Driver().Ticks(2);
  const Pt training = CommandAt(kCmdTraining);
  ASSERT_GE(training.x, 0);
  CVMenuBtn* b = nullptr;
  for (int32_t id = 10000; id <= 10008; ++id)
    if (ButtonCentre(Map(), id).x == training.x && ButtonCentre(Map(), id).y == training.y)
      b = Map()->FindButtonById(id);
  ASSERT_NE(b, nullptr);
  ASSERT_FALSE(b->TestFlag(kWfEnabled)) << "training needs a command point";
  Scene()->ShowMessage("前の文", 0, true);
  Click(training);
  EXPECT_EQ(Map()->MessageText(), "ＣＰが足りません");
  EXPECT_EQ(Map()->RefusalOf(b->firstId), "ＣＰが足りません");
  Driver().Ticks(200);  // past the help text's 2,000 ms
  EXPECT_EQ(Map()->MessageText(), "前の文");
}

// Lists that hold more rows than they show scroll with the wheel and with their scroll bar: the
// map's general list (6 rows), the general table (9) and the training candidates (7).
TEST_F(SlgCommands, LongListsScrollWithTheWheelAndTheirBar) {
  ASSERT_TRUE(StartNull());
  InstallBattleRules();
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  // The map's list: the generals of the home province.
  Scene()->FocusKuni(GetDaimyoHomeKuni(PlayerDaimyoId), 1);
  Driver().Ticks(20);
  ASSERT_GT(Map()->BusyoList().Count(), 6);
  Hover({640, 500});
  Driver().Wheel(-1);
  Driver().Ticks(2);
  EXPECT_EQ(Map()->ScrollBar()->value, 1);
  EXPECT_EQ(Map()->RowValue(0), Map()->BusyoList().At(1)) << "the rows follow the scroll bar";
  Click(ButtonCentre(Map(), 9991));
  EXPECT_EQ(Map()->ScrollBar()->value, 2) << "the bar's down button";
  Click(ButtonCentre(Map(), 750));
  Driver().Ticks(30);

  // The general table (information, generals).
  Click(ButtonCentre(Map(), 10010));
  Click(ButtonCentre(Map(), 10011));
  Driver().Ticks(20);
  auto* table = dynamic_cast<CVMenuSLG_infoall*>(Scene()->DialogMenu());
  ASSERT_NE(table, nullptr);
  ASSERT_GT(table->List().Count(), CVMenuSLG_infoall::kRows);
  const std::string first = TextsOf(table->Row(0));
  Hover({640, 360});
  Driver().Wheel(-1);
  Driver().Ticks(2);
  EXPECT_EQ(table->Scroll()->value, 1);
  EXPECT_NE(TextsOf(table->Row(0)), first) << "the first row shows the next general";
  Click(ButtonCentre(table, 9991));
  EXPECT_EQ(table->Scroll()->value, 2);
  Click({640, 360}, true);
  Driver().Ticks(20);
  ASSERT_TRUE(Scene()->IsNoDialog());
  if (Map()->CurrentTable() != 0) Click(ButtonCentre(Map(), 10014));  // back from the information menu
  Driver().Ticks(4);

  // Training's candidates.
  Click(CommandAt(kCmdTraining));
  Driver().Ticks(20);
  auto* training = dynamic_cast<CVMenuSLG_tanren*>(Scene()->DialogMenu());
  ASSERT_NE(training, nullptr);
  ASSERT_GT(training->List().Count(), CVMenuSLG_tanren::kCandidateRows);
  const std::string row = TextsOf(training->CandidateRow(0));
  Hover({640, 360});
  Driver().Wheel(-1);
  Driver().Ticks(2);
  EXPECT_EQ(training->CandidateScroll()->value, 1);
  EXPECT_NE(TextsOf(training->CandidateRow(0)), row);
  Click(ButtonCentre(training, 9991));
  EXPECT_EQ(training->CandidateScroll()->value, 2);
}

// The reward dialog shows what the reward costs, its steps change the size, and the size chosen is
// what is paid.
TEST_F(SlgCommands, RewardDialogStepsItsSizeAndChargesTheSizeChosen) {
  ASSERT_TRUE(StartNull());
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  const uint8_t clan = PlayerDaimyoId;
  Click(CommandAt(kCmdReward));
  Driver().Ticks(10);
  int row = -1;
  for (int i = 0; i < 6 && row < 0; ++i) {
    const int g = Map()->RowValue(i);
    if (g != 0xFFFF && !IsBusyoLoyaltyFixed(static_cast<uint32_t>(g)) && BusyoTable[g].loyalty < 16) row = i;
  }
  ASSERT_GE(row, 0);
  const int g = Map()->RowValue(row);
  const int money = DaimyoTable[clan].money, loyalty = BusyoTable[g].loyalty;
  Click(ButtonCentre(Map(), 500 + row));
  CVMenuSLG_CmdBase* base = AwaitDialog(2);
  auto* d = dynamic_cast<CVMenuSLG_simple*>(base);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->Number(0)->shownValue, 0) << "a reward costs no command point";
  EXPECT_EQ(d->Number(1)->shownValue, 15) << "the large reward is offered first";
  Click(ButtonCentre(d, 1200));  // －
  Driver().Ticks(2);
  EXPECT_EQ(SlgScene().GetDialogResult(3), 1);
  EXPECT_EQ(d->Number(1)->shownValue, 5);
  Click(ButtonCentre(d, 1201));  // ＋
  Driver().Ticks(2);
  EXPECT_EQ(d->Number(1)->shownValue, 15);
  Click(ButtonCentre(d, 1200));
  Driver().Ticks(2);
  Click(ButtonCentre(d, 1000));
  Driver().Ticks(10);
  EXPECT_EQ(DaimyoTable[clan].money, money - 5) << "the small reward costs 5";
  EXPECT_GT(BusyoTable[g].loyalty, loyalty);
}

// 凡例 shows the legend and a right click closes it; pointing at 領有 shows the clan's holdings
// (the clans' tints give way) with a legend for that view.
TEST_F(SlgCommands, LegendAndHoldingViewChangeTheMap) {
  ASSERT_TRUE(StartNull());
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  CVMenuSLGMain* map = Map();
  const int home = GetDaimyoHomeKuni(PlayerDaimyoId);
  if (map->Legend()->IsShown()) Click(ButtonCentre(map, 11000));
  ASSERT_FALSE(map->Legend()->IsShown());
  Click(ButtonCentre(map, 11000));
  EXPECT_TRUE(map->Legend()->IsShown());
  Click({60, 580}, true);
  Driver().Ticks(2);
  EXPECT_FALSE(map->Legend()->IsShown()) << "右クリック closes the legend";

  EXPECT_TRUE(map->Tint(home)->IsShown());
  Hover(ButtonCentre(map, 11001));
  EXPECT_TRUE(map->StateFlags() & CVMenuSLGMain::kHoverOwn);
  EXPECT_TRUE(map->Legend()->IsShown());
  EXPECT_NE(TextsOf(map->Legend()).find("領有"), std::string::npos);
  EXPECT_FALSE(map->Tint(home)->IsShown());
  EXPECT_TRUE(map->Highlight(home)->IsShown()) << "the home country is coloured as held";
  EXPECT_TRUE(map->Highlight(home)->IsAnimePlaying(4) || map->Highlight(home)->IsAnimePlaying(5));
  Hover({60, 580});
  EXPECT_FALSE(map->Legend()->IsShown());
  EXPECT_TRUE(map->Tint(home)->IsShown());
}

// The turn-start event speaks of the season of the turn (it drew one at random): spring in the
// first turn, summer in the next.
TEST_F(SlgCommands, TheTurnEventNamesTheSeasonOfTheTurn) {
  ASSERT_TRUE(StartNull());
  StartBattles();
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  for (int turn = 0; turn < 2; ++turn) {
    SCOPED_TRACE(turn);
    int32_t season = -1;
    ASSERT_TRUE(FindSwitchByName("season", &season));
    EXPECT_EQ(season, SeasonIndex);
    EXPECT_EQ(SeasonIndex, turn);  // 0 spring, 1 summer
    if (turn == 1) break;
    ASSERT_TRUE(ToPhase(3));
    Click(ButtonCentre(Map(), 10014));
    for (int i = 0; i < 40000 && TurnSubPhase != 0; ++i) Answer();
    ASSERT_TRUE(PlayUntilCommands(1, 40000)) << "the next turn's military phase";
  }
}

// The map's general list names its stat columns as the detail page and the general table do
// (武力 stat 1, 統率 stat 3, 知略 stat 2), each header sorts its own column, and the kind badge is
// the one the other screens show.
TEST_F(SlgCommands, GeneralListColumnsAndBadgesAgreeWithTheOtherScreens) {
  ASSERT_TRUE(StartNull());
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  Scene()->FocusKuni(GetDaimyoHomeKuni(PlayerDaimyoId), 1);
  Driver().Ticks(20);
  const struct {
    int id;
    const char* label;
    int (*stat)(uint32_t);
  } columns[] = {{700, "武力", &GetBusyoStat1}, {702, "統率", &GetBusyoStat3}, {701, "知略", &GetBusyoStat2}};
  for (const auto& c : columns) {
    SCOPED_TRACE(c.label);
    EXPECT_NE(TextsOf(Map()->FindButtonById(c.id)).find(c.label), std::string::npos);
    Click(ButtonCentre(Map(), c.id));
    if (!Map()->SortDescending()) Click(ButtonCentre(Map(), c.id));
    const slgui::CTenkaList_Busyo& l = Map()->BusyoList();
    for (int i = 1; i < l.Count(); ++i)
      EXPECT_GE(c.stat(static_cast<uint32_t>(l.At(i - 1))), c.stat(static_cast<uint32_t>(l.At(i))));
  }
  for (int i = 0; i < 6; ++i) {
    const int g = Map()->RowValue(i);
    if (g == 0xFFFF) continue;
    CVMenuBase* badge = Map()->Row(i)->FindChild(kWidgetSprite, 1);
    ASSERT_NE(badge, nullptr);
    EXPECT_EQ(badge->GetState(), std::max(0, GetKindCycleNext(BusyoTable[g].kind) - 1));
  }
}

// The detail page's skill buttons carry their skills' names (they read 技能1 to 技能4).
TEST_F(SlgCommands, DetailPageSkillButtonsNameTheirSkills) {
  ASSERT_TRUE(StartNull());
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  Scene()->FocusKuni(GetDaimyoHomeKuni(PlayerDaimyoId), 1);
  Driver().Ticks(20);
  const int g = Map()->RowValue(0);
  ASSERT_NE(g, 0xFFFF);
  Click(ButtonCentre(Map(), 600));
  Driver().Ticks(10);
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), CVSceneInfoDetail::kSceneId);
  auto* detail = dynamic_cast<CVSceneInfoDetail*>(GetSceneById(CVSceneInfoDetail::kSceneId));
  ASSERT_NE(detail, nullptr);
  ASSERT_NE(detail->Detail(), nullptr);
  const int shown = detail->Detail()->Busyo();
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const std::string texts = TextsOf(detail->Detail()->FindButtonById(2000 + i));
    EXPECT_EQ(texts.find("技能"), std::string::npos);
    const uint8_t skill = BusyoTable[shown].cur.skill[i];
    if (const SkillRecord* r = skill ? GetSkillRecord(skill) : nullptr)
      EXPECT_NE(texts.find(FieldString(r->name, sizeof r->name)), std::string::npos);
    else
      EXPECT_NE(texts.find("―"), std::string::npos);
  }
}

// The clan panel's numbers count up from 0 over 1,000 ms when it is shown with its animation.
TEST_F(SlgCommands, ClanPanelNumbersCountUpOverASecond) {
  ASSERT_TRUE(StartNull());
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  const uint8_t clan = PlayerDaimyoId;
  const int money = DaimyoTable[clan].money;
  ASSERT_GT(money, 100);
  auto shown = [&] {
    auto* t = dynamic_cast<CVMenuText*>(Map()->ClanPanel()->FindChild(kWidgetText, 1));
    int v = -1;
    if (t && t->Text()) std::sscanf(t->Text() + std::strlen("金 "), "%d", &v);
    return v;
  };
  Scene()->ShowClanPanel(clan, true);
  EXPECT_EQ(shown(), 0);
  Driver().Ticks(10);
  EXPECT_GT(shown(), 0);
  EXPECT_LT(shown(), money);
  Driver().Ticks(100);
  EXPECT_EQ(shown(), money);
  Scene()->ShowClanPanel(clan, false);
  EXPECT_EQ(shown(), money) << "without the animation at once";
}

// The province names of the country map: one label per province, and no two label boxes meet.
TEST_F(SlgCommands, CountryMapNamesDoNotOverlap) {
  ASSERT_TRUE(StartNull());
  ASSERT_NO_FATAL_FAILURE(StartScenes());
  Driver().TicksUntil(200, [] { return GetSceneById(1) && GetSceneById(1)->GetStepValue() == 2; });
  Click({640, 320 + 140 + 32});  // the strategy button: the map opens
  Driver().Ticks(3);
  ASSERT_NE(Map(), nullptr);
  std::vector<CVMenuText*> names;
  ForEachChild(Map()->Layer(3), [&](CVMenuBase* group) {
    std::vector<CVMenuText*> texts;
    ForEachChild(group, [&](CVMenuBase* c) {
      if (auto* t = dynamic_cast<CVMenuText*>(c)) texts.push_back(t);
    });
    if (texts.size() == static_cast<size_t>(kKuniCount)) names = texts;
  });
  ASSERT_EQ(names.size(), static_cast<size_t>(kKuniCount)) << "the names group";
  for (size_t i = 0; i < names.size(); ++i)
    for (size_t j = i + 1; j < names.size(); ++j) {
      const CVMenuText *a = names[i], *b = names[j];
      const bool meet = a->position.x < b->position.x + b->size.x && b->position.x < a->position.x + a->size.x &&
                        a->position.y < b->position.y + b->size.y && b->position.y < a->position.y + a->size.y;
      EXPECT_FALSE(meet) << (a->Text() ? a->Text() : "") << " / " << (b->Text() ? b->Text() : "");
    }
}

}  // namespace
