// The strategy map on the built sample data through the headless frame driver: from the title's
// strategy button through the clan choice to a map that takes input; the scripted map operations
// (select, focus, sort, command rows, submenu round trip, a message with continue); and, on real
// GL offscreen, the province highlight under the pointer and a castle icon at its table position.
// Set V4_SLG_DUMP_DIR to write the frames the pixel tests read as PNG files.
#include "tests/screens/strategy/slg_run_fixture.h"

#include "battle/battle_run.h"
#include "screens/strategy/slg_cmd_dialogs.h"
#include "screens/strategy/slg_general_table.h"
#include "screens/strategy/commands/player_commands.h"
#include "world/placement.h"

namespace {

TEST_F(SlgRun, StrategyButtonThroughClanChoiceToAMapThatTakesInput) {
  ASSERT_TRUE(StartNull());
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  EXPECT_EQ(PlayerDaimyoId, chosenClan_);
  EXPECT_EQ(&SlgScene(), static_cast<SlgScenePort*>(Scene()));
  CVMenuSLGMain* map = Map();
  EXPECT_EQ(map->MapState(), 0);
  EXPECT_EQ(TurnSubPhase, 1);
  EXPECT_TRUE(map->StateFlags() & CVMenuSLGMain::kCommandMenu);
  EXPECT_TRUE(boxes_.boxes.empty()) << (boxes_.boxes.empty() ? "" : boxes_.boxes.front().title);

  // A province of the player's: the first click selects it, the second focuses it.
  const int home = GetDaimyoHomeKuni(PlayerDaimyoId);
  map->ClearKuniFocus();
  Driver().Ticks(30);
  const Pt p = PointInKuni(home);
  ASSERT_GE(p.x, 0);
  map->SetSelectedKuniRaw(-1);
  Click(p);
  EXPECT_EQ(map->SelectedKuni(), home);
  EXPECT_EQ(CurrentKuniId, home);
  EXPECT_FALSE(map->IsKuniFocused());
  Click(p);
  ASSERT_TRUE(map->IsKuniFocused());
  // Castle icons stand where the position table puts them.
  int shown = 0;
  for (int i = 0; i < CVMenuSLGMain::kCastleIcons; ++i) {
    if (map->CastleIconValue(i) == 0xFFFF) continue;
    ++shown;
    EXPECT_EQ(static_cast<int>(map->CastleIcon(i)->position.x), map->CastleTable().GetShiroSlotX(home, i));
  }
  EXPECT_GT(shown, 0);
  // Contact icons for the roads that leave a province, at their slots (a province with such roads).
  int other = -1;
  for (int k = 0; k < 67 && other < 0; ++k)
    for (int slot = 0; slot < 8; ++slot) {
      const int c = map->CastleTable().GetShiroSlotId(k, slot);
      if (c < 0) continue;
      for (uint16_t n : SiroTable[c].neighbours)
        if (n < kSiroCount && SiroTable[n].kuni != kNoKuni && SiroTable[n].kuni != k) other = k;
    }
  ASSERT_GE(other, 0);
  Scene()->FocusKuni(other, 1);
  int roadsOut = 0, contacts = 0;
  for (int i = 0; i < CVMenuSLGMain::kCastleIcons; ++i) {
    const int c = map->CastleIconValue(i);
    if (c == 0xFFFF) continue;
    for (uint16_t n : SiroTable[c].neighbours) roadsOut += n < kSiroCount && SiroTable[n].kuni != other;
  }
  for (int i = 0; i < CVMenuSLGMain::kContactIcons; ++i) {
    const int n = map->ContactIconValue(i);
    if (n == 0xFFFF) continue;
    ++contacts;
    const int slot = map->CastleTable().FindContactSlot(other, n);
    ASSERT_GE(slot, 0);
    EXPECT_EQ(static_cast<int>(map->ContactIcon(i)->position.x), map->CastleTable().GetContactSlotX(other, slot));
  }
  EXPECT_GT(roadsOut, 0);
  EXPECT_GT(contacts, 0);
  Scene()->FocusKuni(home, 1);
  // Clicking a castle icon selects the castle and lists its generals.
  const Pt icon = ButtonCentre(map, 300);
  Click(icon);
  EXPECT_EQ(map->GetSelectedCastle(), map->CastleIconValue(0));
  EXPECT_EQ(Scene()->GetSelectedCastle(), map->CastleIconValue(0));
  // A command row comes back as its scene result; the phase end steps to politics once the other
  // clans have had their military phase.
  Click(ButtonCentre(map, 10014));
  for (int i = 0; i < 600 && TurnSubPhase != 2; ++i) Click({60, 580});
  EXPECT_EQ(TurnSubPhase, 2);
  // Back to the country map.
  Click(ButtonCentre(map, 750));
  Driver().Ticks(30);
  EXPECT_FALSE(map->IsKuniFocused());
}

TEST_F(SlgRun, ScriptedMapOperations) {
  ASSERT_TRUE(StartNull());
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  CVMenuSLGMain* map = Map();
  CVSceneSLG* scene = Scene();

  // Submenu round trip: 10010 opens the information table, whose 10011 answers 12 and whose
  // 10014 goes back without a result; on the main table 10014 ends the phase (result 15).
  Click(ButtonCentre(map, 10010));
  ASSERT_TRUE(map->StateFlags() & CVMenuSLGMain::kInfoMenu);
  EXPECT_EQ(map->CurrentTable(), 4);
  EXPECT_FALSE(map->FindButtonById(10000)->TestFlag(kWfShown));  // empty rows are hidden
  Click(ButtonCentre(map, 10014));
  EXPECT_FALSE(map->StateFlags() & CVMenuSLGMain::kInfoMenu);
  EXPECT_EQ(TurnSubPhase, 1) << "going back from a submenu does not end the phase";
  Click(ButtonCentre(map, 10010));
  map->SetCommandInProgress(-1);  // the rules end the information command: back to the main table
  EXPECT_EQ(map->CurrentTable(), 0);

  // A command row gives its scene result for exactly the step after its decision.
  Driver().SetPointer(ButtonCentre(map, 10005).x, ButtonCentre(map, 10005).y);
  Driver().Ticks(2);
  Driver().SetButton(VK_LBUTTON, true);
  Driver().Ticks(2);
  Driver().SetButton(VK_LBUTTON, false);
  int seen = -1;
  for (int i = 0; i < 6 && seen == -1; ++i) {
    Driver().Tick();
    seen = scene->GetSceneResult();
  }
  EXPECT_EQ(seen, 8);  // row 5 of the military table: command code 8
  // The command starts; the player cancels it (right click) and the map is free again.
  Driver().Ticks(4);
  for (int i = 0; i < 5; ++i) Click({60, 580}, true);
  Driver().Ticks(10);

  // The general list: sort by soldiers ascending, then descending; scroll bar from 7 generals.
  const int home = GetDaimyoHomeKuni(PlayerDaimyoId);
  scene->FocusKuni(home, 1);
  Driver().Ticks(10);
  scene->ClearBusyoList();
  std::vector<int> ids;
  for (int g = 0; g < NullBusyoId && ids.size() < 7; ++g)
    if (GetBusyoDaimyo(g) == PlayerDaimyoId) ids.push_back(g);
  ASSERT_EQ(ids.size(), 7u);
  for (int i = 0; i < 6; ++i) scene->AddBusyoToList(ids[i]);
  EXPECT_FALSE(map->ScrollBar()->TestFlag(kWfShown));
  scene->AddBusyoToList(ids[6]);
  EXPECT_TRUE(map->ScrollBar()->TestFlag(kWfShown));
  EXPECT_EQ(map->ScrollBar()->maximum, 1);
  Click(ButtonCentre(map, 703));
  EXPECT_EQ(map->SortButton(), 703);
  EXPECT_FALSE(map->SortDescending());
  const slgui::CTenkaList_Busyo& l = map->BusyoList();
  for (int i = 1; i < l.Count(); ++i) EXPECT_LE(GetBusyoSoldiers(l.At(i - 1)), GetBusyoSoldiers(l.At(i)));
  Click(ButtonCentre(map, 703));
  EXPECT_TRUE(map->SortDescending());
  for (int i = 1; i < l.Count(); ++i) EXPECT_GE(GetBusyoSoldiers(l.At(i - 1)), GetBusyoSoldiers(l.At(i)));

  // Marking through the list rows under selection mode 1 (one general).
  scene->SetSelMode(1);
  Click(ButtonCentre(map, 500));
  EXPECT_EQ(scene->CountMarkedBusyo(), 1);
  EXPECT_EQ(scene->GetMarkedBusyo(), map->RowValue(0));
  Click(ButtonCentre(map, 501));
  EXPECT_EQ(scene->CountMarkedBusyo(), 1) << "a single pick replaces the mark";
  EXPECT_EQ(scene->GetMarkedBusyo(), map->RowValue(1));
  scene->ClearMarkedBusyo();
  scene->SetSelMode(0);

  // A message that waits: the continue panel replaces the commands until answered.
  scene->ShowMessageMode2("続けますか", 7, true);
  Driver().Ticks(2);
  ASSERT_TRUE(map->StateFlags() & CVMenuSLGMain::kWaiting);
  EXPECT_FALSE(map->CommandPanel()->TestFlag(kWfShown));
  EXPECT_TRUE(map->ContinuePanel()->TestFlag(kWfShown));
  Driver().SetPointer(ButtonCentre(map, 3).x, ButtonCentre(map, 3).y);
  Driver().Ticks(2);
  Driver().SetButton(VK_LBUTTON, true);
  Driver().Ticks(2);
  Driver().SetButton(VK_LBUTTON, false);
  seen = -1;
  for (int i = 0; i < 6 && seen == -1; ++i) {
    Driver().Tick();
    seen = scene->GetSceneResult();
  }
  EXPECT_EQ(seen, 1);  // no
  scene->ShowMessage("了解", 0, true);
  EXPECT_FALSE(map->StateFlags() & CVMenuSLGMain::kWaiting);

  // The clan choice dialog lists only clans with a head.
  ASSERT_TRUE(scene->OpenDialog(17, 0, 0, 0));
  auto* sel = dynamic_cast<CVMenuSLG_SeiryokuSel*>(scene->DialogMenu());
  ASSERT_NE(sel, nullptr);
  const uint16_t head = DaimyoTable[1].head;
  DaimyoTable[1].head = 1999;
  scene->SetDialogValues(0, 0xFFFF);
  scene->SetDialogValues(1, 0);
  scene->SetDialogValues(1, 1);
  scene->SetDialogValues(2, 0);
  EXPECT_TRUE(sel->RowButton(0)->TestFlag(kWfShown));
  EXPECT_FALSE(sel->RowButton(1)->TestFlag(kWfShown));
  Click(ButtonCentre(sel, 3000));
  EXPECT_EQ(scene->GetDialogResult(3), 0);
  // A right click answers the cancel id: the scene's back result.
  Driver().SetPointer(640, 360);
  Driver().Ticks(2);
  Driver().SetButton(VK_RBUTTON, true);
  Driver().Ticks(2);
  Driver().SetButton(VK_RBUTTON, false);
  seen = -1;
  for (int i = 0; i < 6 && seen == -1; ++i) {
    Driver().Tick();
    seen = scene->GetSceneResult();
  }
  EXPECT_EQ(seen, 19);
  scene->FinishDialog();
  EXPECT_TRUE(scene->IsNoDialog());
  DaimyoTable[1].head = head;
  EXPECT_TRUE(boxes_.boxes.empty()) << (boxes_.boxes.empty() ? "" : boxes_.boxes.front().title);
}

TEST_F(SlgRun, FastForwardMarkersAndTheContactIconBox) {
  ASSERT_TRUE(StartNull());
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  CVMenuSLGMain* map = Map();
  CVSceneSLG* scene = Scene();
  // Ctrl speeds the scene up only in the season and war parts of the turn.
  Driver().SetKey(VK_CONTROL, true);
  TurnSubPhase = 2;
  Driver().Ticks(2);
  EXPECT_FALSE(scene->IsFastForward());
  EXPECT_FLOAT_EQ(scene->GetSpeed(), 1.0f);
  TurnSubPhase = 0;
  Driver().Ticks(2);
  EXPECT_TRUE(scene->IsFastForward());
  EXPECT_FLOAT_EQ(scene->GetSpeed(), 5.0f);
  scene->ShowMessage("早送りの文です", 0, false);
  EXPECT_EQ(map->MessageShown(), map->MessageText().size()) << "fast-forward shows messages whole";
  Driver().SetKey(VK_CONTROL, false);
  TurnSubPhase = 1;

  // A castle's marker plays and can be hidden.
  const int home = GetDaimyoHomeKuni(PlayerDaimyoId);
  scene->FocusKuni(home, 1);
  Driver().Ticks(4);
  const int castle = map->CastleIconValue(0);
  ASSERT_NE(castle, 0xFFFF);
  scene->ShowIconMarker(castle, 2);
  EXPECT_TRUE(scene->IsIconMarkerAnimating(castle));
  Driver().Ticks(60);
  EXPECT_FALSE(scene->IsIconMarkerAnimating(castle));
  scene->HideIconMarker(castle);
  EXPECT_FALSE(scene->IsIconMarkerAnimating(9999));

  // A road to a castle that no contact slot of the province names: the box, and that icon skipped.
  EXPECT_TRUE(boxes_.boxes.empty());
  int far = -1;
  for (int c = 0; c < kSiroCount && far < 0; ++c)
    if (SiroTable[c].kuni != kNoKuni && SiroTable[c].kuni != home && map->CastleTable().FindContactSlot(home, c) < 0)
      far = c;
  ASSERT_GE(far, 0);
  SiroRecord& s = SiroTable[castle];
  const uint16_t saved = s.neighbours[4];
  s.neighbours[4] = static_cast<uint16_t>(far);
  scene->ClearKuniFocus();
  Driver().Ticks(30);
  scene->FocusKuni(home, 1);
  EXPECT_TRUE(boxes_.Has("CVMenuSLGMain"));
  for (int i = 0; i < CVMenuSLGMain::kContactIcons; ++i) EXPECT_NE(map->ContactIconValue(i), far);
  s.neighbours[4] = saved;
}

TEST_F(SlgRun, FreeStartPicksAProvinceThenAClanInTheClanChoice) {
  ASSERT_TRUE(StartNull());
  ASSERT_NO_FATAL_FAILURE(StartScenes());
  for (int i = 0; i < 200 && !(GetSceneById(1) && GetSceneById(1)->GetStepValue() == 2); ++i) Driver().Tick();
  Click({640, 320 + 140 + 32});
  Driver().Ticks(3);
  ASSERT_NE(Map(), nullptr);
  Click(ButtonCentre(Map(), 12000));  // choose by province, scenario 0
  Driver().Ticks(4);
  // A province held by several clans opens the clan choice with those clans.
  int kuni = -1;
  for (int k = 0; k < kKuniCount && kuni < 0; ++k)
    if (KuniDaimyoCount[k] > 1 && PointInKuni(k).x >= 0) kuni = k;
  ASSERT_GE(kuni, 0);
  Click(PointInKuni(kuni));
  Driver().Ticks(4);
  auto* sel = dynamic_cast<CVMenuSLG_SeiryokuSel*>(Scene()->DialogMenu());
  ASSERT_NE(sel, nullptr);
  ASSERT_EQ(static_cast<int>(sel->Clans().size()), KuniDaimyoCount[kuni]);
  const int second = sel->Clans()[1];
  Hover(ButtonCentre(sel, 3001));
  EXPECT_EQ(Scene()->GetDialogResult(4), second);
  Click(ButtonCentre(sel, 3001));
  for (int i = 0; i < 100 && !(Map()->StateFlags() & CVMenuSLGMain::kWaiting); ++i) Driver().Tick();
  ASSERT_TRUE(Map()->StateFlags() & CVMenuSLGMain::kWaiting) << "the confirmation question";
  EXPECT_TRUE(Scene()->IsNoDialog());
  EXPECT_EQ(PlayerDaimyoId, second);
}

}  // namespace

namespace {

int Luma(const std::vector<uint8_t>& px, int x, int y) {
  const size_t o = (static_cast<size_t>(y) * 1280 + x) * 4;
  return px[o] * 3 + px[o + 1] * 6 + px[o + 2];
}

TEST_F(SlgRun, PixelsHighlightUnderThePointerAndCastleIconAtItsPosition) {
  if (kSkipSlowGlRuns) GTEST_SKIP() << "real-GL map runs are left to the plain build";
  if (!StartGl()) GTEST_SKIP() << "no GL 3.3 context offscreen";
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  CVMenuSLGMain* map = Map();
  map->ClearKuniFocus();
  Driver().Ticks(40);
  map->SelectKuni(-1);
  std::vector<uint8_t> before, after;
  const int home = GetDaimyoHomeKuni(PlayerDaimyoId);
  // A province the player does not hold: pointing at it changes nothing; his own lights up.
  const Pt p = PointInKuni(home);
  ASSERT_GE(p.x, 0);
  Hover({5, 700}, 20);
  ASSERT_TRUE(Grab("map", before));
  Hover(p, 20);
  ASSERT_EQ(map->HoveredKuni(), home);
  ASSERT_TRUE(Grab("map_hover", after));
  EXPECT_NE(Luma(before, p.x, p.y), Luma(after, p.x, p.y)) << "the province under the pointer is highlighted";
  // Outside every province (the sea in the map's corner) nothing changed.
  EXPECT_EQ(Luma(before, 60, 580), Luma(after, 60, 580));

  Click(p);
  Click(p);
  ASSERT_TRUE(map->IsKuniFocused());
  Hover({5, 700}, 30);
  std::vector<uint8_t> view;
  ASSERT_TRUE(Grab("province_view", view));
  // The first castle icon: its picture's centre differs from the province picture behind it.
  ASSERT_NE(map->CastleIconValue(0), 0xFFFF);
  const int x = map->CastleTable().GetShiroSlotX(home, 0), y = map->CastleTable().GetShiroSlotY(home, 0);
  map->CastleIcon(0)->SetFlagAll(kWfShown, false);
  Driver().Ticks(3);
  std::vector<uint8_t> without;
  ASSERT_TRUE(Grab("province_view_no_icon", without));
  int differing = 0;
  for (int dy = 8; dy < 40; dy += 4)
    for (int dx = 8; dx < 40; dx += 4) differing += Luma(view, x + dx, y + dy) != Luma(without, x + dx, y + dy);
  EXPECT_GT(differing, 10) << "the castle icon is drawn at its table position";
}

}  // namespace

namespace {

// Every command dialog over the real map: it draws over the map, takes the right click as its
// cancel id, and once it ends the map takes input again.
TEST_F(SlgRun, EveryCommandDialogDrawsOverTheMapAndGivesInputBack) {
  if (kSkipSlowGlRuns) GTEST_SKIP() << "real-GL map runs are left to the plain build";
  if (!StartGl()) GTEST_SKIP() << "no GL 3.3 context offscreen";
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  Hover({5, 700}, 20);
  std::vector<uint8_t> map, shot;
  ASSERT_TRUE(Grab("dialogs_map", map));
  const int32_t mapBound = GetMenuMgr().GetDepthBound();
  const uint8_t clan = PlayerDaimyoId;
  const int32_t lord = DaimyoTable[clan].head;
  const int32_t siro = GetBusyoSiro(static_cast<uint32_t>(lord));
  const struct {
    int id, a, b, c;
    const char* name;
  } cases[] = {{0, 0, 0, 0, "dlg_recruit"},      {2, 0, 0, 0, "dlg_reward"},          {5, 0, 0, 0, "dlg_flood"},
               {7, 2, 30, 400, "dlg_levy"},      {10, 60, 100, lord, "dlg_alliance"}, {11, clan, 0, 0, "dlg_poach"},
               {13, siro, siro, 0, "dlg_march"}, {8, 513, siro, 0, "dlg_move"},       {19, 1, 0, 0, "dlg_item"},
               {20, lord, 0, 0, "dlg_appeared"}, {22, clan, 0, 0, "dlg_clan_info"},   {23, 0, 0, 0, "dlg_ending"},
               {16, 0, 0, 0, "dlg_exp"},         {12, 0, 0, 0, "dlg_visit"},          {21, clan, 0, 0, "dlg_table"},
               {21, clan, 1, 3, "dlg_reserve"},  {1, clan, 0, 0, "dlg_training"}};
  // Generals for the list of the general list and for the visits.
  std::vector<int32_t> own;
  for (int32_t b = 0; b < 2000 && own.size() < 6; ++b)
    if (GetBusyoDaimyo(static_cast<uint32_t>(b)) == clan) own.push_back(b);
  for (size_t i = 0; i < own.size(); ++i) {
    Scene()->AddToListA(own[i]);
    RegisterSlgEvent(static_cast<uint32_t>(own[i]), "visit", i % 2 == 0, 0);
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(SlgScene().OpenDialog(c.id, c.a, c.b, c.c));
    if (c.id == 0 || c.id == 2) {
      SlgScene().SetDialogValues(2, c.id == 2 ? 2 : 20);
      SlgScene().SetDialogValues(3, c.id == 2 ? 1 : 10);
    }
    if (c.id == 5) {
      SlgScene().SetDialogValues(2, 100);
      SlgScene().SetDialogValues(4, 60);
    }
    if (c.id == 10) SlgScene().SetDialogValues(3, (clan + 1) % 8);
    if (c.id == 13 || c.id == 8) {
      SlgScene().SetDialogValues(2, lord);
      SlgScene().SetDialogValues(0, 12);
      SlgScene().SetDialogValues(3, 0);
    }
    Driver().Ticks(30);
    ASSERT_TRUE(Grab(c.name, shot));
    EXPECT_NE(Luma(map, 640, 360), Luma(shot, 640, 360)) << "the dialog covers the map's centre";
    EXPECT_GT(GetMenuMgr().GetDepthBound(), mapBound);
    SlgScene().FinishDialog();
    Driver().Ticks(10);
    EXPECT_TRUE(SlgScene().IsNoDialog());
    EXPECT_EQ(GetMenuMgr().GetDepthBound(), mapBound);
  }
  // The clan information dialog hid the map and brought it back: only what was shown before.
  ASSERT_NE(Map()->FindChild(kWidgetWindow, 5), nullptr);
  EXPECT_FALSE(Map()->FindChild(kWidgetWindow, 5)->TestFlag(kWfShown)) << "the start choice stays hidden";
  EXPECT_TRUE(Map()->IsShown());
  // The map takes input again: pointing at the player's home province highlights it.
  const Pt p = PointInKuni(GetDaimyoHomeKuni(PlayerDaimyoId));
  Hover(p, 20);
  EXPECT_EQ(Map()->HoveredKuni(), GetDaimyoHomeKuni(PlayerDaimyoId));
  EXPECT_TRUE(boxes_.boxes.empty()) << (boxes_.boxes.empty() ? "" : boxes_.boxes.front().title);
}

}  // namespace

namespace {

// A row of the general list opens the detail page over the map; the wheel steps to the next general,
// a right click returns to the map, whose list dialog and input are as they were.
TEST_F(SlgRun, GeneralListRowOpensTheDetailPageAndRightClickReturns) {
  if (kSkipSlowGlRuns) GTEST_SKIP() << "real-GL map runs are left to the plain build";
  if (!StartGl()) GTEST_SKIP() << "no GL 3.3 context offscreen";
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  const uint8_t clan = PlayerDaimyoId;
  std::vector<int32_t> own;
  for (int32_t b = 0; b < 2000 && own.size() < 5; ++b)
    if (GetBusyoDaimyo(static_cast<uint32_t>(b)) == clan) own.push_back(b);
  ASSERT_GE(own.size(), 2u);
  for (int32_t b : own) Scene()->AddToListA(b);
  const int32_t mapBound = GetMenuMgr().GetDepthBound();
  ASSERT_TRUE(SlgScene().OpenDialog(16, 0, 0, 0));
  Driver().Ticks(10);
  auto* list = dynamic_cast<CVMenuSLG_CmdBase*>(Scene()->DialogMenu());
  ASSERT_NE(list, nullptr);
  Click(ButtonCentre(list, 2100));
  Driver().Ticks(10);
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), CVSceneInfoDetail::kSceneId);
  auto* detail = dynamic_cast<CVSceneInfoDetail*>(GetSceneById(CVSceneInfoDetail::kSceneId));
  ASSERT_NE(detail, nullptr);
  ASSERT_NE(detail->Detail(), nullptr);
  const int32_t first = detail->Detail()->Busyo();
  EXPECT_EQ(detail->Index(), 0);
  EXPECT_FALSE(detail->Detail()->HasPrev());
  EXPECT_TRUE(detail->Detail()->HasNext());
  std::vector<uint8_t> px;
  ASSERT_TRUE(Grab("detail_page", px));
  Driver().Wheel(-1);  // towards the user: the next general
  Driver().Ticks(4);
  EXPECT_EQ(detail->Index(), 1);
  EXPECT_NE(detail->Detail()->Busyo(), first);
  Driver().Wheel(1);
  Driver().Ticks(4);
  Driver().Wheel(1);  // on the first general the wheel does nothing
  Driver().Ticks(4);
  EXPECT_EQ(detail->Index(), 0);
  Click({640, 360}, true);
  Driver().Ticks(10);
  EXPECT_EQ(GetSceneMgr().GetCurrentSceneId(), 3);
  EXPECT_EQ(Scene()->DialogMenu(), list) << "the list dialog is still there";
  SlgScene().FinishDialog();
  Driver().Ticks(5);
  EXPECT_EQ(GetMenuMgr().GetDepthBound(), mapBound);
  const Pt p = PointInKuni(GetDaimyoHomeKuni(PlayerDaimyoId));
  Hover(p, 20);
  EXPECT_EQ(Map()->HoveredKuni(), GetDaimyoHomeKuni(PlayerDaimyoId)) << "the map takes input again";
}

}  // namespace

namespace {

// Training through the map's command panel and the training dialog: the chosen general trains, the
// command points pay for it, and once the result page is closed the map is back and takes input.
TEST_F(SlgRun, TrainingThroughItsDialogTrainsTheChosenGeneral) {
  ASSERT_TRUE(StartNull());
  InstallBattleRules();  // the experience rules, as the program installs them
  struct Uninstall {
    ~Uninstall() { SetBattlePort(nullptr); }
  } uninstall;
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  const uint8_t clan = PlayerDaimyoId;
  const int cp = DaimyoTable[clan].cp;
  ASSERT_GT(cp, 0);
  const int32_t mapBound = GetMenuMgr().GetDepthBound();
  Click(ButtonCentre(Map(), 10006));
  Driver().Ticks(20);
  auto* d = dynamic_cast<CVMenuSLG_tanren*>(Scene()->DialogMenu());
  ASSERT_NE(d, nullptr) << "the training command opens the training dialog";
  EXPECT_FALSE(Map()->IsShown()) << "the training covers the map";
  ASSERT_GE(d->List().Count(), 1);
  const int32_t g = d->List().At(0);
  const int before = BusyoTable[g].stage * 1000 + BusyoTable[g].progress;
  Click(ButtonCentre(d, 3000));
  ASSERT_EQ(d->Members(), std::vector<int32_t>{g});
  Click(ButtonCentre(d, 1000));
  for (int i = 0; i < 400 && d->GetState() != 3; ++i) Driver().Tick();
  ASSERT_EQ(d->GetState(), 3) << "the result page";
  EXPECT_TRUE(d->Frame2()->IsShown());
  EXPECT_EQ(d->ResultRow(0)->IsShown(), true);
  Click(ButtonCentre(d, CVMenuSLG_tanren::kClosePageId));
  Driver().Ticks(10);
  EXPECT_TRUE(Scene()->IsNoDialog());
  EXPECT_GT(BusyoTable[g].stage * 1000 + BusyoTable[g].progress, before);
  EXPECT_EQ(DaimyoTable[clan].cp, cp - 1);
  EXPECT_TRUE(DaimyoTable[clan].turnFlags & 4);
  EXPECT_TRUE(Map()->IsShown());
  EXPECT_EQ(GetMenuMgr().GetDepthBound(), mapBound);
  const Pt p = PointInKuni(GetDaimyoHomeKuni(PlayerDaimyoId));
  Hover(p, 20);
  EXPECT_EQ(Map()->HoveredKuni(), GetDaimyoHomeKuni(PlayerDaimyoId)) << "the map takes input again";
  EXPECT_TRUE(boxes_.boxes.empty()) << (boxes_.boxes.empty() ? "" : boxes_.boxes.front().title);
}

}  // namespace

namespace {

// The information command's general table: a mark set by clicking a row's mark, a general picked
// and shown on the map, after which the table is gone and the map is focused on his country.
TEST_F(SlgRun, GeneralTableMarksAGeneralAndShowsOneOnTheMap) {
  ASSERT_TRUE(StartNull());
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  const int32_t mapBound = GetMenuMgr().GetDepthBound();
  Click(ButtonCentre(Map(), 10010));
  Click(ButtonCentre(Map(), 10011));
  Driver().Ticks(20);
  auto* table = dynamic_cast<CVMenuSLG_infoall*>(Scene()->DialogMenu());
  ASSERT_NE(table, nullptr) << "the information command opens the general table";
  EXPECT_EQ(table->Group(), 0);
  EXPECT_EQ(table->GetState(), 0);
  EXPECT_FALSE(Map()->IsShown()) << "the table covers the map";
  ASSERT_GE(table->List().Count(), 2);
  // The mark left of the first row.
  const int32_t first = table->List().At(0);
  const int16_t mark = BusyoTable[first].listValue;
  Click(ButtonCentre(table, 4000));
  EXPECT_EQ(BusyoTable[first].listValue, mark == 0 ? 1 : mark == 1 ? 2 : 0);
  // A general with a country of his own.
  int row = -1;
  for (int i = 0; i < CVMenuSLG_infoall::kRows && i < table->List().Count() && row < 0; ++i)
    if (GetBusyoKuni(static_cast<uint32_t>(table->List().At(i))) >= 0) row = i;
  ASSERT_GE(row, 0);
  const int32_t g = table->List().At(row);
  Click(ButtonCentre(table, 3000 + row));
  EXPECT_EQ(table->GetResult(0), g);
  ASSERT_TRUE(table->Button(1)->TestFlag(kWfEnabled));
  Click(ButtonCentre(table, 2500));
  Driver().Ticks(20);
  EXPECT_TRUE(Scene()->IsNoDialog());
  EXPECT_TRUE(Map()->IsShown());
  EXPECT_EQ(GetMenuMgr().GetDepthBound(), mapBound);
  EXPECT_EQ(CurrentKuniId, GetBusyoKuni(static_cast<uint32_t>(g)));
  EXPECT_TRUE(Map()->IsKuniFocused());
  EXPECT_EQ(Scene()->GetSelectedCastle(), BusyoTable[g].siro);
  EXPECT_TRUE(boxes_.boxes.empty()) << (boxes_.boxes.empty() ? "" : boxes_.boxes.front().title);
}

}  // namespace

namespace {

// The shown command button of a command id (-1 point when the panel does not show it).
Pt CommandButton(CVMenuSLGMain* map, int command) {
  for (int32_t id = 10000; id <= 10014; ++id) {
    CVMenuBtn* b = map->FindButtonById(id);
    if (b && b->TestFlag(kWfShown) && static_cast<int>(b->GetRefParam(2)) == command) {
      Vector3 p;
      b->GetParentWorldPos(p);
      return {static_cast<int>(p.x + b->position.x + b->size.x / 2),
              static_cast<int>(p.y + b->position.y + b->size.y / 2)};
    }
  }
  return {-1, -1};
}

// The province view's layer is gone once the map is back on the country view, whatever the turn
// does meanwhile.
void ExpectCountryView(CVMenuSLGMain* map, const char* when) {
  EXPECT_FALSE(map->StateFlags() & CVMenuSLGMain::kClosing) << when;
  EXPECT_FALSE(map->Layer(4)->TestFlag(kWfShown)) << when << ": the province view still drawn";
  EXPECT_TRUE(map->Layer(3)->TestFlag(kWfShown)) << when;
}

TEST_F(SlgRun, ProvinceViewLeavesWhenTheStrategyPhaseEndsAfterAnOrderIsCancelled) {
  ASSERT_TRUE(StartNull());
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  CVMenuSLGMain* map = Map();
  // Through the military and politics phases to the strategy phase.
  for (int phase = 1; phase <= 2; ++phase) {
    for (int i = 0; i < 200 && TurnSubPhase == phase; ++i) {
      const Pt end = CommandButton(map, 15);
      if (end.x >= 0 && (map->StateFlags() & CVMenuSLGMain::kCommandMenu))
        Click(end);
      else if (map->StateFlags() & CVMenuSLGMain::kWaiting)
        Click(ButtonCentre(map, 2));
      else
        Click({60, 580});
    }
  }
  for (int i = 0; i < 200 && !(TurnSubPhase == 3 && CommandButton(map, 13).x >= 0); ++i) Click({60, 580});
  ASSERT_EQ(TurnSubPhase, 3);
  // The order: its general picked in the province view, then two right clicks back to the map.
  Click(CommandButton(map, 13));
  for (int i = 0; i < 40 && !map->IsKuniFocused(); ++i) Driver().Tick();
  ASSERT_TRUE(map->IsKuniFocused());
  Driver().Ticks(20);
  Click(ButtonCentre(map, 500));
  Driver().Ticks(10);
  Click({60, 580}, true);
  Driver().Ticks(10);
  Click({60, 580}, true);
  Driver().Ticks(30);
  ExpectCountryView(map, "after the order was cancelled");
  // The phase ends; the other clans think and the season goes on.
  const Pt end = CommandButton(map, 15);
  ASSERT_GE(end.x, 0);
  Click(end);
  for (int i = 0; i < 60; ++i) {
    if (map->StateFlags() & CVMenuSLGMain::kWaiting) Click(ButtonCentre(map, 2));
    Driver().Tick();
    if (!map->IsKuniFocused()) ExpectCountryView(map, "while the other clans think");
    if (HasFailure()) break;
  }
}

}  // namespace

namespace {

// The item found in a taken castle: the dialog's only button (or a right click) gives the answer
// the battle's aftermath waits for, polled frame by frame as the aftermath does, and the map takes
// input again once the dialog is finished.
TEST_F(SlgRun, ItemDialogAnswersWhatTheBattleAftermathWaitsFor) {
  ASSERT_TRUE(StartNull());
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  const int32_t mapBound = GetMenuMgr().GetDepthBound();
  for (const bool right : {false, true}) {
    SCOPED_TRACE(right ? "right click" : "its button");
    ASSERT_TRUE(SlgScene().OpenDialog(19, 1, 0, 0));
    Driver().Ticks(20);
    auto* dialog = Scene()->DialogMenu();
    ASSERT_NE(dialog, nullptr);
    std::vector<int32_t> shown;
    for (int32_t id : {1000, 1001})
      if (CVMenuBtn* b = dialog->FindButtonById(id); b && b->IsShown()) shown.push_back(id);
    ASSERT_EQ(shown.size(), 1u) << "one button acknowledges the find";
    const Pt p = right ? Pt{640, 360} : ButtonCentre(dialog, shown[0]);
    const int vk = right ? VK_RBUTTON : VK_LBUTTON;
    Driver().SetPointer(p.x, p.y);
    bool answered = false;
    for (int i = 0; i < 12 && !answered; ++i) {
      Driver().SetButton(vk, i >= 2 && i < 4);
      Driver().Tick();
      answered = SlgScene().GetSceneResult() == 19;
    }
    Driver().SetButton(vk, false);
    EXPECT_TRUE(answered);
    SlgScene().FinishDialog();
    Driver().Ticks(10);
    EXPECT_TRUE(SlgScene().IsNoDialog());
    EXPECT_EQ(GetMenuMgr().GetDepthBound(), mapBound);
  }
}

}  // namespace

namespace {

// 情報 → 勢力情報 → a clan → はい: one question, the clan shown on the map, and the player's way
// back works: a right click returns to the clan list, いいえ keeps the list, 戻る leaves it.
TEST_F(SlgRun, ClanInformationAsksOnceShowsTheClanAndTheWayBackWorks) {
  ASSERT_TRUE(StartNull());
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  CVMenuSLGMain* map = Map();
  DaimyoTable[PlayerDaimyoId].money = 30000;
  DaimyoTable[PlayerDaimyoId].cp = 20;
  Click(CommandButton(map, 44));  // 情報
  Driver().Ticks(10);
  ASSERT_GE(CommandButton(map, 14).x, 0);
  Click(CommandButton(map, 14));  // 勢力情報
  CVMenuSLG_InfoSei* list = nullptr;
  auto listShown = [&] {
    list = dynamic_cast<CVMenuSLG_InfoSei*>(Scene()->DialogMenu());
    return list && !list->Closing() && list->GetState() == 0;
  };
  ASSERT_TRUE(Driver().TicksUntil(60, listShown));
  Driver().Ticks(30);
  int clan = -1;
  for (int i = 0; i < 64 && clan < 0; ++i)
    if (list->ClanButton(i) && list->ClanButton(i)->IsShown() && list->ClanButton(i)->TestFlag(kWfEnabled)) clan = i;
  ASSERT_GE(clan, 0);
  // Picks the clan and answers its question; false when no question came or a second one did.
  auto pickAndAnswer = [&](int32_t answer) {
    Click(ButtonCentre(list, 3000 + clan));
    if (!Driver().TicksUntil(30, [] { return GetSceneMgr().GetCurrentSceneId() == 10; })) return false;
    Driver().Ticks(20);
    Click(ButtonCentre(GetSceneById(10)->FindMenu(0), answer));
    if (!Driver().TicksUntil(30, [] { return GetSceneMgr().GetCurrentSceneId() == 3; })) return false;
    return !Driver().TicksUntil(30, [] { return GetSceneMgr().GetCurrentSceneId() == 10; });
  };
  ASSERT_TRUE(pickAndAnswer(1)) << "one question, answered yes";
  ASSERT_TRUE(Driver().TicksUntil(60, [&] { return Scene()->IsNoDialog(); })) << "the list made way for the map";
  EXPECT_TRUE(DaimyoTable[clan].turnFlags & 2) << "the information was bought";
  Driver().Ticks(20);
  Click({60, 580}, true);
  ASSERT_TRUE(Driver().TicksUntil(60, listShown)) << "a right click returns to the clan list";
  EXPECT_EQ(list->GetResult(0), -1) << "nothing picked";
  Driver().Ticks(30);
  ASSERT_TRUE(pickAndAnswer(2)) << "one question, answered no";
  EXPECT_TRUE(listShown()) << "no keeps the clan list";
  EXPECT_EQ(list->GetResult(0), -1);
  Click(ButtonCentre(list, 1001));  // 戻る
  ASSERT_TRUE(Driver().TicksUntil(60, [&] { return Scene()->IsNoDialog(); }));
  ASSERT_TRUE(Driver().TicksUntil(60, [&] { return SlgCommandCode == 255; })) << "the command ended";
  EXPECT_TRUE(map->StateFlags() & CVMenuSLGMain::kCommandMenu);
  EXPECT_TRUE(boxes_.boxes.empty()) << (boxes_.boxes.empty() ? "" : boxes_.boxes.front().title);
}

}  // namespace

namespace {

// The rules select no province (the season start selects the home province of a clan whose head
// fell, and such a clan has none) while the player looks at a province's view: the view closes
// rather than stay on no province, which raised the "selected province is invalid" box at this and
// every later selection.
TEST_F(SlgRun, SelectingNoProvinceClosesTheProvinceView) {
  ASSERT_TRUE(StartNull());
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  CVMenuSLGMain* map = Map();
  const int home = GetDaimyoHomeKuni(PlayerDaimyoId);
  const Pt p = PointInKuni(home);
  ASSERT_GE(p.x, 0);
  for (int i = 0; i < 3 && !map->IsKuniFocused(); ++i) Click(p);
  ASSERT_TRUE(map->IsKuniFocused());
  HandClanToActingHead(PlayerDaimyoId, DaimyoTable[PlayerDaimyoId].head, kNoDaimyo);
  ASSERT_GE(GetDaimyoHomeKuni(PlayerDaimyoId), kKuniCount) << "a headless clan has no home province";
  SelectSlgKuni(GetDaimyoHomeKuni(PlayerDaimyoId), true);
  Driver().Ticks(30);
  EXPECT_FALSE(map->IsKuniFocused());
  EXPECT_LT(map->SelectedKuni(), 0);
  SelectSlgKuni(-1, true);  // and the next selection of the season
  map->Refresh();
  Driver().Ticks(10);
  EXPECT_TRUE(boxes_.boxes.empty()) << boxes_.boxes.size()
                                    << " boxes: " << (boxes_.boxes.empty() ? "" : boxes_.boxes.front().title);
  // The map takes input: the home province is focused again by the player.
  for (int i = 0; i < 3 && !map->IsKuniFocused(); ++i) Click(p);
  EXPECT_TRUE(map->IsKuniFocused());
  EXPECT_EQ(map->SelectedKuni(), home);
}

}  // namespace
