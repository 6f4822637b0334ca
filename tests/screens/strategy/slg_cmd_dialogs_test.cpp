// The command dialogs on their built layouts (null device) and a small hand-made world: each opens
// through the strategy scene's OpenDialog for its dialog ids, answers the rules' selectors, and
// gives the depth bound back when it ends.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "screens/strategy/scene_info_detail.h"
#include "screens/strategy/scene_slg.h"
#include "screens/strategy/slg_cmd_dialogs.h"
#include "tests/screens/strategy/slg_layout_fixture.h"
#include "ui/menus/menu_mgr.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_list.h"
#include "world/record_lists.h"
#include "ui/widgets/menu_pbar.h"
#include "ui/widgets/menu_text.h"
#include "ui/widgets/menu_window_group.h"

namespace {

struct Layout {
  int kind;
  const char* file;
};
constexpr Layout kLayouts[] = {{1, "Data\\layout\\slg_simple.lay"},   {2, "Data\\layout\\slg_chosyu.lay"},
                               {3, "Data\\layout\\slg_domei.lay"},    {4, "Data\\layout\\slg_hikinuki.lay"},
                               {5, "Data\\layout\\slg_idou.lay"},     {6, "Data\\layout\\slg_shutsujin.lay"},
                               {7, "Data\\layout\\slg_exp.lay"},      {15, "Data\\layout\\slg_event.lay"},
                               {10, "Data\\layout\\slg_item.lay"},    {11, "Data\\layout\\slg_sikan.lay"},
                               {13, "Data\\layout\\slg_infosei.lay"}, {16, "Data\\layout\\slg_ending.lay"}};

class CmdDialogs : public SlgLayoutTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(SlgLayoutTest::SetUp());
    for (const Layout& l : kLayouts) ASSERT_NO_FATAL_FAILURE(AddClosedMenu(scene_, l.kind, l.file));
    BuildWorld();
  }
  template <class D>
  D* Dialog(int kind) {
    return dynamic_cast<D*>(scene_.FindMenu(kind));
  }
  // Opens a dialog, checks the bound it raised, and returns it.
  template <class D>
  D* Open(int id, int a, int b, int c) {
    return OpenOn<D>(scene_, id, a, b, c);
  }
  void ExpectFinished(int id) { ExpectFinishedOn(scene_, id); }
  static std::string TextOf(CVMenuText* t) { return t && t->Text() ? t->Text() : ""; }

  void BuildWorld() {
    const int k0 = w_.Kuni("尾張");
    const int k1 = w_.Kuni("美濃");
    home_ = w_.Siro(k0, "清洲", 0);
    other_ = w_.Siro(k1, "稲葉山", 1);
    w_.Clan("織田");
    w_.Clan("斎藤");
    w_.Clan("空");
    lord_ = w_.Busyo("織田 信長", home_);
    for (int i = 0; i < 3; ++i) w_.Busyo("家臣", home_);
    rival_ = w_.Busyo("斎藤 道三", other_);
    w_.Busyo("斎藤 家臣", other_);
    w_.Head(0, lord_);
    w_.Head(1, rival_);
    const int lone = w_.Busyo("空 殿", 0xFFFF);
    w_.Place();
    // A clan whose head is known but who has no generals left.
    w_.Head(2, lone);
    DaimyoTable[0].money = 10;
    DaimyoTable[1].revenue = 12345;
    PlayerDaimyoId = 0;
  }

  WorldBuilder w_;
  int home_ = 0, other_ = 0, lord_ = 0, rival_ = 0;
  CVSceneSLG scene_;
};

TEST_F(CmdDialogs, EveryDialogIdOpensItsDialogAndGivesTheBoundBack) {
  // The dialog ids that have their dialog here, with the menu kind each must land on.
  const struct {
    int id, kind;
  } cases[] = {{0, 1},  {2, 1}, {3, 1},  {4, 1},  {5, 1},   {6, 1},   {7, 2},   {14, 2},  {15, 2}, {10, 3},
               {11, 4}, {8, 5}, {13, 6}, {16, 7}, {12, 15}, {19, 10}, {20, 11}, {22, 13}, {23, 16}};
  for (const auto& c : cases) {
    GetMenuMgr().SetDepthBound(2);
    ASSERT_TRUE(scene_.OpenDialog(c.id, home_, other_, 0)) << c.id;
    EXPECT_EQ(scene_.DialogMenu(), scene_.FindMenu(c.kind)) << c.id;
    EXPECT_EQ(scene_.DialogMenu()->GetDialogId(), c.id);
    EXPECT_GT(GetMenuMgr().GetDepthBound(), 8) << c.id;
    ExpectFinished(c.id);
  }
  EXPECT_TRUE(boxes.boxes.empty()) << (boxes.boxes.empty() ? "" : boxes.boxes.front().title);
}

TEST_F(CmdDialogs, RewardBarChecksTheCostAsTheValueSteps) {
  auto* d = Open<CVMenuSLG_simple>(2, 0, 0, 0);  // group 0
  ASSERT_NE(d, nullptr);
  scene_.SetDialogValues(0, 0);
  scene_.SetDialogValues(1, 5);
  scene_.SetDialogValues(2, 2);
  scene_.SetDialogValues(3, 1);
  scene_.SetDialogValues(6, 1);
  EXPECT_EQ(d->Number(1)->shownValue, 5);
  EXPECT_TRUE(d->Confirm()->TestFlag(kWfEnabled)) << "cost 5 is below the money 10";
  d->Bar()->value = 2;  // the player steps the bar up
  d->Update(0, 0, 0);
  EXPECT_EQ(scene_.GetDialogResult(3), 2);
  EXPECT_EQ(d->Number(1)->shownValue, 15);
  EXPECT_FALSE(d->Confirm()->TestFlag(kWfEnabled)) << "cost 15 is not below the money 10";
  d->Bar()->value = 7;  // never beyond the maximum
  d->Update(0, 0, 0);
  EXPECT_EQ(scene_.GetDialogResult(3), 2);
  scene_.SetDialogValues(5, 0);  // locked: the answer stays
  EXPECT_EQ(scene_.GetDialogResult(3), 2);
  EXPECT_EQ(scene_.GetDialogResult(0), 0);
  ExpectFinished(2);
}

TEST_F(CmdDialogs, RecruitBarLimitPinsOrFreesTheSteps) {
  auto* d = Open<CVMenuSLG_simple>(0, 0, 0, 0);  // group 3
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->Bar()->minimum, 1);
  EXPECT_TRUE(d->InnerPanel()->IsShown());
  scene_.SetDialogValues(2, 30);
  scene_.SetDialogValues(3, 10);
  EXPECT_EQ(d->Number(2)->shownValue, 10);
  scene_.SetDialogValues(7, 14);
  EXPECT_EQ(scene_.GetDialogResult(3), 1);
  EXPECT_EQ(d->Bar()->maximum, 1);
  EXPECT_FALSE(d->StepButton(0)->TestFlag(kWfEnabled));
  EXPECT_FALSE(d->StepButton(1)->TestFlag(kWfEnabled));
  scene_.SetDialogValues(2, 30);
  scene_.SetDialogValues(7, 15);
  EXPECT_EQ(scene_.GetDialogResult(3), 30);
  EXPECT_TRUE(d->StepButton(0)->TestFlag(kWfEnabled));
  ExpectFinished(0);
  // Flood control (group 1): the value is only watched, the steps are hidden and the bar glides.
  d = Open<CVMenuSLG_simple>(5, 0, 0, 0);
  EXPECT_FALSE(d->StepButton(0)->IsShown());
  scene_.SetDialogValues(2, 100);
  scene_.SetDialogValues(4, 40);
  EXPECT_TRUE(d->Bar()->IsGliding());
  EXPECT_EQ(d->Bar()->target, 40);
  ExpectFinished(5);
}

TEST_F(CmdDialogs, ConfirmationShowsItsThreeNumbers) {
  auto* d = Open<CVMenuSLG_chosyu>(7, 2, 30, 400);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->Number(0)->shownValue, 2);
  EXPECT_EQ(d->Number(1)->shownValue, 30);
  EXPECT_EQ(d->Number(2)->shownValue, 400);
  scene_.SetDialogValues(1, 31);
  EXPECT_EQ(d->Number(1)->shownValue, 31);
  EXPECT_EQ(scene_.GetDialogResult(3), 0);
  ExpectFinished(7);
}

TEST_F(CmdDialogs, AllianceShowsTheOtherClan) {
  auto* d = Open<CVMenuSLG_domei>(10, 60, 100, lord_);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(TextOf(d->Text(1)), "") << "clan 255 is no clan";
  scene_.SetDialogValues(3, 1);
  EXPECT_EQ(d->Number(2)->shownValue, 1234) << "12345 koku shows as 1234";
  EXPECT_EQ(TextOf(d->Text(1)), GetDaimyoName(1, true));
  EXPECT_EQ(TextOf(d->Text(3)), GetBusyoName(static_cast<uint32_t>(rival_)));
  EXPECT_EQ(TextOf(d->Text(0)), GetBusyoName(static_cast<uint32_t>(lord_)));
  EXPECT_EQ(scene_.GetDialogResult(0), -1);
  ExpectFinished(10);
}

TEST_F(CmdDialogs, PoachingListsSelectsAndPlaysItsProgressInOrder) {
  // Nobody to poach in the player's own country.
  auto* d = Open<CVMenuSLG_hikinuki>(11, 0, SiroTable[home_].kuni, 0);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(scene_.GetDialogResult(6), 0);
  EXPECT_EQ(scene_.GetDialogResult(7), 0xFFFF);
  d->Update(0, 0, 0);
  EXPECT_FALSE(d->Row(0)->IsShown()) << "no candidate, no row";
  ExpectFinished(11);
  d = Open<CVMenuSLG_hikinuki>(11, 0, SiroTable[other_].kuni, 0);
  const int n = scene_.GetDialogResult(6);
  ASSERT_GE(n, 1);
  EXPECT_TRUE(d->Row(0)->IsShown());
  EXPECT_EQ(d->Row(2)->IsShown(), n >= 3);
  d->decidedId = 2100;
  d->Update(0, 0, 0);
  EXPECT_EQ(scene_.GetDialogResult(7), d->List().At(0));
  d->decidedId = 2100;  // the same row again changes nothing
  d->Update(0, 0, 0);
  EXPECT_EQ(scene_.GetDialogResult(7), d->List().At(0));
  d->decidedId = -1;
  scene_.SetDialogValues(2, 100);
  for (int v : {30, 60, 100}) scene_.SetDialogValues(3, v);
  scene_.SetDialogValues(4, 0);
  std::vector<int> seen;
  for (int frame = 0; frame < 10 && scene_.GetDialogResult(8) == 0; ++frame) {
    d->Update(0, 0, 0);
    if (d->Bar()->IsGliding()) {
      seen.push_back(d->Bar()->target);
      d->Bar()->FinishGlide();
    }
  }
  EXPECT_EQ(seen, (std::vector<int>{30, 60, 100}));
  EXPECT_EQ(scene_.GetDialogResult(8), 1);
  EXPECT_EQ(d->Bar()->value, 100);
  ExpectFinished(11);
}

TEST_F(CmdDialogs, MarchAndMoveShowTheirSides) {
  auto* m = Open<CVMenuSLG_shutsujin>(13, home_, other_, 0);
  ASSERT_NE(m, nullptr);
  for (int b = 1; b <= 3; ++b) scene_.SetDialogValues(2, b);
  scene_.SetDialogValues(0, 25);
  scene_.SetDialogValues(3, 0);
  CVMenuBase* side = m->GetFrameWindow()->FindChild(kWidgetWindow, 1)->FindChild(kWidgetWindow, 0);
  CVMenuBase* faces = side->FindChild(kWidgetWindow, 0);
  int shown = 0, total = 0;
  for (int i = 0; CVMenuBase* f = faces->FindChild(kWidgetSprite, i); ++i, ++total) shown += f->IsShown();
  EXPECT_EQ(total, 8);
  EXPECT_EQ(shown, 3);
  EXPECT_EQ(TextOf(dynamic_cast<CVMenuText*>(side->FindChild(kWidgetText, 1))), GetSiroName(other_, true));
  ExpectFinished(13);
  // A target past the castle table leaves the widgets as they were.
  m = Open<CVMenuSLG_shutsujin>(13, home_, 512, 0);
  scene_.SetDialogValues(3, 0);
  EXPECT_EQ(TextOf(dynamic_cast<CVMenuText*>(side->FindChild(kWidgetText, 1))), GetSiroName(other_, true));
  ExpectFinished(13);
  // Moving from no castle yet: "---" and "居城"; the destination lists who is already there.
  auto* d = Open<CVMenuSLG_idou>(8, CVMenuSLG_shutsujin::kNoCastle, home_, 0);
  ASSERT_NE(d, nullptr);
  scene_.SetDialogValues(2, rival_);
  scene_.SetDialogValues(3, 0);
  CVMenuBase* sides = d->GetFrameWindow()->FindChild(kWidgetWindow, 1);
  CVMenuBase* src = sides->FindChild(kWidgetWindow, 0);
  CVMenuBase* dst = sides->FindChild(kWidgetWindow, 1);
  EXPECT_EQ(TextOf(dynamic_cast<CVMenuText*>(src->FindChild(kWidgetText, 0))), "---");
  EXPECT_EQ(TextOf(dynamic_cast<CVMenuText*>(src->FindChild(kWidgetText, 1))), "居城");
  EXPECT_EQ(d->Stationed().Count(), 4);
  int there = 0;
  for (int i = 0; CVMenuBase* f = dst->FindChild(kWidgetWindow, 0)->FindChild(kWidgetSprite, i); ++i)
    there += f->IsShown();
  EXPECT_EQ(there, 4);
  ExpectFinished(8);
}

TEST_F(CmdDialogs, ItemAndAppearedGeneralHideForIdsOutsideTheirTables) {
  SetFieldString(ItemTable[4].name, sizeof ItemTable[4].name, "名刀");
  ItemTable[4].cls = 2;
  for (int item : {0, 129, 5}) {
    auto* d = Open<CVMenuSLG_item>(19, item, 0, 0);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->ItemPanel()->IsShown(), item == 5) << item;
    ExpectFinished(19);
  }
  for (int busyo : {-1, 2000, lord_}) {
    auto* d = Open<CVMenuSLG_sikan>(20, busyo, 0, 0);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->Face()->IsShown(), busyo == lord_) << busyo;
    ExpectFinished(20);
  }
}

TEST_F(CmdDialogs, EndingPageTakesAtMostThreeClicks) {
  auto* d = Open<CVMenuSLG_ending>(23, 5, 0, 0);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->CurrentPage(), nullptr);
  d->Update(0, 0, 1);
  EXPECT_EQ(scene_.GetDialogResult(0), -1);
  ExpectFinished(23);
  d = Open<CVMenuSLG_ending>(23, 0, 0, 0);
  ASSERT_NE(d->CurrentPage(), nullptr);
  EXPECT_TRUE(d->CurrentPage()->IsShown());
  CVMenuBase* other = d->GetFrameWindow()->FindChild(kWidgetWindow, 1);
  ASSERT_NE(other, nullptr);
  d->Update(0, 0, 0);
  EXPECT_FALSE(other->IsShown()) << "one page at a time";
  EXPECT_FALSE(other->FindChild(kWidgetText, 0)->IsShown());
  int clicks = 0;
  while (scene_.GetDialogResult(0) != 1 && clicks < 5) {
    d->Update(0, 0, 1);
    ++clicks;
  }
  EXPECT_LE(clicks, 3);
  EXPECT_EQ(scene_.GetDialogResult(0), 1);
  ExpectFinished(23);
}

TEST_F(CmdDialogs, ClanInformationPicksOnlyOtherLivingClansAndClosesWhenItEnds) {
  auto* d = Open<CVMenuSLG_InfoSei>(22, 0, 0, 0);
  ASSERT_NE(d, nullptr);
  EXPECT_GE(d->ClanButton(1)->GetWorldZ(), GetMenuMgr().GetDepthBound()) << "its buttons take input";
  EXPECT_FALSE(d->ClanButton(0)->TestFlag(kWfEnabled)) << "the player's own clan";
  EXPECT_TRUE(d->ClanButton(1)->TestFlag(kWfEnabled));
  EXPECT_FALSE(d->ClanButton(2)->TestFlag(kWfEnabled)) << "a clan without generals";
  EXPECT_FALSE(d->ClanButton(3)->IsShown()) << "no clan in that slot";
  DaimyoTable[1].turnFlags |= 8;
  d->FillClanButtons();
  EXPECT_FALSE(d->ClanButton(1)->TestFlag(kWfEnabled));
  DaimyoTable[1].turnFlags &= ~8;
  d->FillClanButtons();
  d->Update(0, 0, 0);  // the opening (no animation here) ends and input opens
  d->decidedId = 3001;
  d->Update(0, 0, 0);
  d->decidedId = -1;
  EXPECT_EQ(scene_.GetDialogResult(0), 1);
  EXPECT_EQ(d->GetState(), 0) << "the pick alone asks nothing: the rules set the state that asks";
  scene_.SetDialogState(1);
  EXPECT_EQ(d->GetState(), 1);
  EXPECT_EQ(scene_.GetDialogResult(1), -1) << "no answer from the question yet";
  scene_.SetDialogValues(5, 0);
  EXPECT_EQ(d->GetState(), 0);
  EXPECT_EQ(scene_.GetDialogResult(0), -1);
  // Ending it brings the bound down once its closing animation is over.
  ExpectFinished(22);
  EXPECT_FALSE(d->IsOpen());
}

TEST_F(CmdDialogs, GeneralListPagesTheScenesListAndRightClickLeavesIt) {
  for (int b : {1, 2, 3}) scene_.AddToListA(b);
  auto* d = Open<CVMenuSLG_exp>(16, 0, 0, 0);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->List().Count(), 3);
  EXPECT_EQ(d->Scroll()->maximum, 0) << "three generals: no scrolling";
  EXPECT_TRUE(d->Row(2)->IsShown());
  EXPECT_FALSE(d->Row(3)->IsShown());
  EXPECT_EQ(d->cancelId, CVMenuSLG_exp::kBackId);
  d->decidedId = CVMenuSLG_exp::kBackId;  // what a right click answers
  d->Update(0, 0, 0);
  d->decidedId = -1;
  EXPECT_EQ(d->GetState(), 2);
  ExpectFinished(16);
  scene_.ClearListA();
}

TEST_F(CmdDialogs, VisitListSortsPicksAndDisablesUnavailableRows) {
  ClearSlgEventMap();
  RegisterSlgEvent(3, "三", 1, 0);
  RegisterSlgEvent(1, "一", 0, 0);  // not available for a visit
  RegisterSlgEvent(2, "二", 1, 0);
  auto* d = Open<CVMenuSLG_event>(12, 0, 0, 0);
  ASSERT_NE(d, nullptr);
  ASSERT_EQ(d->List().Count(), 3);
  EXPECT_EQ(d->GetState(), 0);
  EXPECT_EQ(scene_.GetDialogResult(0), 0xFFFF);
  // Rows follow general id order; the general without the availability bit is shown but disabled.
  EXPECT_EQ(d->List().At(0), 1);
  EXPECT_TRUE(d->Row(0)->IsShown());
  EXPECT_FALSE(d->Row(0)->TestFlag(kWfEnabled));
  EXPECT_TRUE(d->Row(1)->TestFlag(kWfEnabled));
  EXPECT_FALSE(d->Row(3)->IsShown());
  scene_.SetDialogValues(3, 1);  // every row selectable
  EXPECT_TRUE(d->Row(0)->TestFlag(kWfEnabled));
  // The same sort button twice sorts descending, a third time ascending again.
  for (bool want : {false, true, false}) {
    d->decidedId = 2000;
    d->Update(0, 0, 0);
    EXPECT_EQ(d->Descending(), want);
  }
  d->decidedId = 2101;
  d->Update(0, 0, 0);
  d->decidedId = -1;
  EXPECT_EQ(scene_.GetDialogResult(0), d->List().At(1));
  EXPECT_EQ(d->GetState(), 1);
  ExpectFinished(12);
  ClearSlgEventMap();
}

TEST_F(CmdDialogs, DetailPageStepsOnlyThroughThePlayersGenerals) {
  CVSceneInfoDetail scene;
  auto* page = dynamic_cast<CVMenuSLG_detail*>(CreateMenuScene(110, "Data\\layout\\slg_detail.lay"));
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(page->HasLayoutWidgets());
  scene.AddMenu(page, 0);
  page->scene = &scene;
  GetMenuMgr().SetDepthBound(7);
  scene.OnStart();
  EXPECT_EQ(GetMenuMgr().GetDepthBound(), 0);
  slgui::CTenkaList_Busyo list;
  for (int b : {lord_, rival_, 1, 2}) list.Add(b);
  scene.SetOwnClanFlag(true);
  scene.SetBusyoList(&list);
  EXPECT_EQ(scene.List().Count(), 3) << "the other clan's general is not stepped through";
  scene.ShowBusyoInList(lord_);
  EXPECT_EQ(page->Busyo(), lord_);
  EXPECT_FALSE(page->HasPrev());
  EXPECT_TRUE(page->HasNext());
  scene.ShowBusyoInList(rival_);  // filtered out: the page stays
  EXPECT_EQ(page->Busyo(), lord_);
  scene.ShowListIndex(-1);
  scene.ShowListIndex(3);
  EXPECT_EQ(scene.Index(), 0);
  scene.ShowListIndex(2);
  EXPECT_FALSE(page->HasNext());
  EXPECT_TRUE(scene.IsOwnClanBusyo(lord_));
  EXPECT_FALSE(scene.IsOwnClanBusyo(rival_));
  // One general alone: no stepping; one in the fictional castle shows "居城" and "---".
  const int lone = 20;
  BusyoTable[lone].siro = 513;
  scene.ShowBusyo(lone);
  EXPECT_EQ(scene.Index(), -1);
  EXPECT_FALSE(page->HasPrev());
  EXPECT_FALSE(page->HasNext());
  auto text = [&](int i) { return TextOf(dynamic_cast<CVMenuText*>(page->GeneralPanel()->FindChild(kWidgetText, i))); };
  EXPECT_EQ(text(1), "---");
  EXPECT_EQ(text(2), "居城");
  EXPECT_FALSE(page->ItemWindow()->IsShown()) << "no item";
  scene.OnStop();
  EXPECT_EQ(GetMenuMgr().GetDepthBound(), 7);
}

}  // namespace
