// The general table (menu type 42) and training (menu type 44) on their built layouts (null device)
// and a small hand-made world: each opens through the strategy scene's OpenDialog for its dialog
// ids, answers the rules' selectors, and gives the depth bound back when it ends.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "screens/strategy/scene_slg.h"
#include "screens/strategy/slg_general_table.h"
#include "tests/screens/strategy/slg_layout_fixture.h"
#include "ui/menus/menu_mgr.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_list.h"
#include "ui/widgets/menu_text.h"
#include "ui/widgets/menu_window_group.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

class TableDialogs : public SlgLayoutTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(SlgLayoutTest::SetUp());
    for (auto [kind, file] : {std::pair{12, "Data\\layout\\slg_infoall.lay"}, {14, "Data\\layout\\slg_tanren.lay"}})
      ASSERT_NO_FATAL_FAILURE(AddClosedMenu(scene_, kind, file));
    BuildWorld();
  }
  template <class D>
  D* Open(int id, int a, int b, int c) {
    auto* d = OpenOn<D>(scene_, id, a, b, c);
    // The opening animation ends; the dialog takes input.
    if (d) {
      d->GetFrameWindow()->FinishAnime();
      d->Update(0, 0, 0);
    }
    return d;
  }
  void ExpectFinished(int id) { ExpectFinishedOn(scene_, id); }
  // A decided button id, as the dialog sees it on its next update.
  template <class D>
  void Decide(D* d, int32_t id) {
    d->decidedId = id;
    d->Update(0, 0, 0);
    d->decidedId = -1;
  }
  static std::string TextOf(CVMenuBase* t) {
    auto* text = dynamic_cast<CVMenuText*>(t);
    return text && text->Text() ? text->Text() : "";
  }

  void BuildWorld() {
    const int k0 = w_.Kuni("尾張");
    const int k1 = w_.Kuni("美濃");
    home_ = w_.Siro(k0, "清洲", 0);
    other_ = w_.Siro(k1, "稲葉山", 1);
    w_.Clan("織田");
    w_.Clan("斎藤");
    lord_ = w_.Busyo("織田 信長", home_);
    for (int i = 0; i < 4; ++i) vassals_.push_back(w_.Busyo("家臣", home_));
    rival_ = w_.Busyo("斎藤 道三", other_);
    for (int i = 0; i < 3; ++i) reserve_.push_back(w_.Busyo("控え", 0xFFFF));
    w_.Place();
    w_.Head(0, lord_);
    w_.Head(1, rival_);
    // Reserve generals: the player's vassals held at the fictional castle.
    int slot = 10;
    for (int g : reserve_) {
      DaimyoTable[0].vassals[slot++] = static_cast<uint16_t>(g);
      BusyoTable[g].siro = KakuuSiroId;
    }
    for (int g = 0; g <= reserve_.back(); ++g) {
      BusyoTable[g].kizuna = 0;  // all may be dismissed
      BusyoTable[g].cur.stat[0] = 30;
      BusyoTable[g].cur.stat[1] = 40;
      BusyoTable[g].cur.stat[2] = 50;
    }
    BusyoTable[lord_].kizuna = 1;  // the lord's bond
    DaimyoTable[0].cp = 4;
    PlayerDaimyoId = 0;
  }

  WorldBuilder w_;
  int home_ = 0, other_ = 0, lord_ = 0, rival_ = 0;
  std::vector<int> vassals_, reserve_;
  CVSceneSLG scene_;
};

TEST_F(TableDialogs, DialogIdsOpenTheirDialogsWhichHideTheMapAndGiveTheBoundBack) {
  const struct {
    int id, b, group, state;
  } cases[] = {{21, 0, 0, 0}, {21, 1, 1, 2}, {21, 2, 2, 3}, {9, 1, 1, 2}, {1, 0, 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id * 10 + c.b);
    auto* d = Open<CVMenuSLG_CmdBase>(c.id, 0, c.b, 3);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d, scene_.FindMenu(c.id == 1 ? 14 : 12));
    EXPECT_EQ(d->Group(), c.group) << "the table's group comes from b";
    EXPECT_EQ(d->GetState(), c.state);
    EXPECT_TRUE(d->EndsByFinish());
    ExpectFinished(c.id);
  }
  EXPECT_TRUE(boxes.boxes.empty()) << (boxes.boxes.empty() ? "" : boxes.boxes.front().title);
}

TEST_F(TableDialogs, GeneralTableButtonsFollowTheStateMatrix) {
  auto* d = Open<CVMenuSLG_infoall>(21, 0, 0, 0);
  ASSERT_NE(d, nullptr);
  ASSERT_TRUE(d->HasLayoutWidgets());
  // By state: buttons 1-6 shown / enabled / not hittable / resting in state 4, and button 0 enabled.
  struct Want {
    int state;
    int shown[6], enabled[6], noHit[6], rest[6];
    bool back;
  };
  // -1: not fixed by the state (left as it was).
  const Want wants[] = {
      {0, {1, 0, -1, -1, 1, 0}, {0, -1, 0, -1, 1, 1}, {0, -1, 0, 0, -1, -1}, {-1, -1, -1, 0, -1, -1}, true},
      {1, {-1, -1, -1, -1, 1, 0}, {0, 0, 0, -1, -1, -1}, {-1, -1, -1, -1, -1, -1}, {-1, -1, -1, 1, -1, -1}, true},
      {2, {0, 1, -1, -1, -1, -1}, {-1, 1, -1, 1, 0, 0}, {-1, 0, 0, 0, -1, -1}, {-1, -1, -1, 0, -1, -1}, true},
      {3, {-1, 0, -1, -1, 1, 0}, {-1, -1, -1, -1, -1, -1}, {1, 1, 1, 0, -1, -1}, {-1, -1, -1, 1, -1, -1}, false},
  };
  for (const Want& w : wants) {
    SCOPED_TRACE(w.state);
    scene_.SetDialogState(w.state);
    EXPECT_EQ(d->GetState(), w.state);
    for (int i = 0; i < 6; ++i) {
      CVMenuBtn* b = d->Button(i + 1);
      if (w.shown[i] >= 0) {
        EXPECT_EQ(b->TestFlag(kWfShown), w.shown[i] == 1) << "button " << i + 1;
      }
      if (w.enabled[i] >= 0) {
        EXPECT_EQ(b->TestFlag(kWfEnabled), w.enabled[i] == 1) << "button " << i + 1;
      }
      if (w.noHit[i] >= 0) {
        EXPECT_EQ(b->TestFlag(kWfNoHit), w.noHit[i] == 1) << "button " << i + 1;
      }
      if (w.rest[i] >= 0) {
        EXPECT_EQ(b->TestFlag(kWfRest4), w.rest[i] == 1) << "button " << i + 1;
      }
    }
    EXPECT_EQ(d->Button(0)->TestFlag(kWfEnabled), w.back);
    EXPECT_EQ(d->ShowAll(), w.state != 2);
  }
  ExpectFinished(21);
}

TEST_F(TableDialogs, GeneralTableListsSortsMarksAndShowsItemBonuses) {
  ItemTable[0].cls = 2;
  ItemTable[0].statKind = 1;
  ItemTable[0].bonus = 5;
  SetFieldString(ItemTable[0].name, sizeof ItemTable[0].name, "名刀");
  BusyoTable[vassals_[0]].items[0] = 1;
  auto* d = Open<CVMenuSLG_infoall>(21, 0, 0, 0);
  ASSERT_NE(d, nullptr);
  // State 0 of the information table lists every general of the clan, reserve included.
  EXPECT_EQ(d->List().Count(), 8);
  EXPECT_EQ(d->Counter(0)->shownValue, 8);
  EXPECT_EQ(d->Counter(1)->shownValue, 200);
  EXPECT_FALSE(d->Row(8)->IsShown()) << "eight generals, nine rows";
  // "+%d" only where a stat differs from the general's own: the item adds 5 to stat 1.
  ASSERT_EQ(d->List().At(1), vassals_[0]);
  CVMenuBase* inner = CVMenuSLG_infoall::RowInner(d->Row(1));
  EXPECT_TRUE(inner->FindChild(kWidgetText, 2)->IsShown());
  EXPECT_EQ(TextOf(inner->FindChild(kWidgetText, 2)), "+5");
  EXPECT_FALSE(inner->FindChild(kWidgetText, 3)->IsShown());
  EXPECT_TRUE(inner->FindChild(kWidgetText, 6)->IsShown()) << "the item's name";
  EXPECT_EQ(TextOf(inner->FindChild(kWidgetText, 6)), "名刀");
  CVMenuBase* plain = CVMenuSLG_infoall::RowInner(d->Row(2));
  EXPECT_FALSE(plain->FindChild(kWidgetText, 2)->IsShown());
  EXPECT_FALSE(plain->FindChild(kWidgetText, 6)->IsShown());
  // The mark cycles none, one, two, none; the mark column sorts by it.
  for (int want : {1, 2, 0, 1}) {
    const int g = d->List().At(1);
    Decide(d, 4001);
    EXPECT_EQ(BusyoTable[g].listValue, want);
  }
  const int marked = d->List().At(1);
  Decide(d, 2000);
  Decide(d, 2000);  // descending: the marked general first
  EXPECT_TRUE(d->Descending());
  EXPECT_EQ(d->List().At(0), marked);
  // A sort id outside the buttons sorts by column 0.
  EXPECT_EQ(CVMenuSLG_infoall::SortColumn(2013), 0);
  EXPECT_EQ(CVMenuSLG_infoall::SortColumn(2012), 16);
  ExpectFinished(21);
}

TEST_F(TableDialogs, GroupZeroHoldsOneChoiceAndShowsItOnTheMap) {
  auto* d = Open<CVMenuSLG_infoall>(21, 0, 0, 0);
  ASSERT_NE(d, nullptr);
  Decide(d, 3001);
  Decide(d, 3002);
  EXPECT_EQ(d->ChoiceCount(), 1) << "group 0 never holds two";
  EXPECT_EQ(scene_.GetDialogResult(0), d->List().At(2));
  EXPECT_EQ(scene_.GetDialogResult(3), 0xFFFF) << "nothing asked for the map yet";
  Decide(d, 2500);
  EXPECT_EQ(scene_.GetDialogResult(3), d->List().At(2));
  EXPECT_EQ(scene_.GetDialogResult(4), 0xFFFF);
  // A click past the list's end is ignored (no read past the list).
  d->List().Clear();
  Decide(d, 3008);
  Decide(d, 4008);
  EXPECT_EQ(scene_.GetDialogResult(0), 0xFFFF);
  ExpectFinished(21);
}

TEST_F(TableDialogs, ReserveGroupHandsThePickedGeneralsOverIntoListB) {
  scene_.ClearListB();
  // More places than the six there are: clamped.
  auto* d = Open<CVMenuSLG_infoall>(21, 0, 1, 9);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->Capacity(), 6);
  ExpectFinished(21);
  d = Open<CVMenuSLG_infoall>(21, 0, 1, 2);
  scene_.SetDialogValues(1, other_);
  EXPECT_EQ(d->GetState(), 2);
  ASSERT_EQ(d->List().Count(), 3) << "only the reserve";
  EXPECT_EQ(d->CapacityGroup()->shownValue, 2);
  Decide(d, 2505);
  EXPECT_FALSE(d->HandOverArmed()) << "nothing picked";
  EXPECT_EQ(scene_.GetDialogResult(3), 0xFFFF);
  const int a = d->List().At(0), b = d->List().At(1), c = d->List().At(2);
  Decide(d, 3000);
  Decide(d, 3001);
  Decide(d, 3002);  // beyond the capacity: refused
  EXPECT_EQ(d->PickedCount(), 2);
  EXPECT_FALSE(d->IsPicked(c));
  EXPECT_EQ(d->CountGroup()->shownValue, 2);
  // The picked rows show the target castle's country; a second click frees the place.
  EXPECT_EQ(TextOf(CVMenuSLG_infoall::RowInner(d->Row(0))->FindChild(kWidgetText, 1)), GetKuniName(1));
  Decide(d, 3000);
  EXPECT_EQ(d->PickedCount(), 1);
  EXPECT_EQ(TextOf(CVMenuSLG_infoall::RowInner(d->Row(0))->FindChild(kWidgetText, 1)), " --- ");
  Decide(d, 3002);
  EXPECT_TRUE(d->IsPicked(b));
  EXPECT_TRUE(d->IsPicked(c));
  EXPECT_FALSE(d->IsPicked(a));
  EXPECT_FALSE(scene_.IsListBNotEmpty());
  Decide(d, 2505);
  EXPECT_TRUE(d->HandOverArmed());
  EXPECT_EQ(scene_.GetDialogResult(3), 2);
  EXPECT_EQ(scene_.GetListB()->Items(), (std::vector<int32_t>{c, b})) << "in slot order";
  EXPECT_EQ(static_cast<SlgScenePort&>(scene_).GetListB(), (std::vector<int32_t>{c, b}));
  // Dismissal from the reserve: 2502 to state 1, a pick answers selector 4, 2502 back to state 2.
  Decide(d, 2502);
  EXPECT_EQ(d->GetState(), 1);
  EXPECT_FALSE(d->HandOverArmed());
  Decide(d, 3000);
  EXPECT_EQ(scene_.GetDialogResult(4), d->List().At(0));
  EXPECT_EQ(scene_.GetDialogResult(3), 0xFFFF);
  scene_.SetDialogValues(0, 0xFFFF);
  EXPECT_EQ(scene_.GetDialogResult(4), 0xFFFF);
  Decide(d, 2502);
  EXPECT_EQ(d->GetState(), 2);
  ExpectFinished(21);
}

TEST_F(TableDialogs, ForcedDismissalListsOnlyGeneralsWithoutABond) {
  auto* d = Open<CVMenuSLG_infoall>(21, 0, 2, 0);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->GetState(), 3);
  EXPECT_TRUE(d->Button(4)->TestFlag(kWfEnabled));
  EXPECT_FALSE(d->Button(0)->TestFlag(kWfEnabled)) << "no way back from a dismissal that must be made";
  for (int32_t g : d->List().Items()) EXPECT_NE(g, lord_);
  EXPECT_EQ(d->List().Count(), 7);
  EXPECT_EQ(scene_.GetDialogResult(4), 0xFFFF);
  Decide(d, 3003);
  EXPECT_EQ(scene_.GetDialogResult(4), d->List().At(3));
  EXPECT_EQ(scene_.GetDialogResult(3), 0xFFFF);
  Decide(d, 3008);  // past the list: no general
  EXPECT_EQ(scene_.GetDialogResult(4), 0xFFFF);
  ExpectFinished(21);
}

TEST_F(TableDialogs, TrainingPicksWithinTenAndTheCommandPoints) {
  auto* d = Open<CVMenuSLG_tanren>(1, 0, 0, 0);
  ASSERT_NE(d, nullptr);
  ASSERT_TRUE(d->HasLayoutWidgets());
  EXPECT_EQ(d->Capacity(), 4);
  EXPECT_EQ(d->List().Count(), 5) << "no reserve general";
  EXPECT_FALSE(d->Frame2()->IsShown());
  BusyoTable[vassals_[3]].stage = 3;
  d->Reload(0);
  EXPECT_EQ(d->List().Count(), 4) << "none at the last stage";
  BusyoTable[vassals_[3]].stage = 1;
  d->Reload(0);
  for (int id : {3000, 3001, 3002, 3003, 3004}) Decide(d, id);
  EXPECT_EQ(scene_.GetDialogResult(2), 4) << "the fifth is beyond the command points";
  DaimyoTable[0].cp = 40;
  d->Reload(0);
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(d->AddMember(d->List().At(i)));
  for (int g = 20; g < 25; ++g) EXPECT_TRUE(d->AddMember(g));
  EXPECT_FALSE(d->AddMember(25)) << "an eleventh member";
  EXPECT_EQ(scene_.GetDialogResult(12), 24);
  d->RemoveMember(24);
  EXPECT_EQ(scene_.GetDialogResult(12), 0xFFFF) << "past the count";
  EXPECT_EQ(scene_.GetDialogResult(2), 9);
  ExpectFinished(1);
}

TEST_F(TableDialogs, TrainingSortsMembersFirstAndMarksAnOddCount) {
  DaimyoTable[0].cp = 10;
  auto* d = Open<CVMenuSLG_tanren>(1, 0, 0, 0);
  ASSERT_NE(d, nullptr);
  const int second = d->List().At(3), first = d->List().At(1);
  Decide(d, 3000 + 3);
  Decide(d, 3000 + 1);
  Decide(d, 2003);
  EXPECT_EQ(d->List().At(0), second);
  EXPECT_EQ(d->List().At(1), first);
  // Odd and even member counts: only window n of the marker chain, or none.
  for (int n = 0; n <= 5; ++n) {
    SCOPED_TRACE(n);
    d->Reload(0);
    for (int i = 0; i < n; ++i) ASSERT_TRUE(d->AddMember(d->List().At(i)));
    int shown = 0, at = -1;
    for (int i = 0; i < d->ChainLength(3); ++i)
      if (d->ChainWindow(3, i)->IsShown()) ++shown, at = i;
    EXPECT_EQ(shown, n % 2);
    if (n % 2) {
      EXPECT_EQ(at, n);
    }
  }
  ExpectFinished(1);
}

TEST_F(TableDialogs, TrainingResultAnswersDoneOnlyAfterItsAnimations) {
  DaimyoTable[0].cp = 10;
  auto* d = Open<CVMenuSLG_tanren>(1, 0, 0, 0);
  ASSERT_NE(d, nullptr);
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(d->AddMember(d->List().At(i)));
  // The member slots fade their faces in.
  for (int f = 0; f < 3; ++f) {
    for (int i = 0; i < d->ChainLength(0); ++i) d->ChainWindow(0, i)->FinishAnime();
    d->Update(0, 0, 0);
  }
  for (int i = 0; i < 10; ++i) EXPECT_EQ(d->ChainWindow(0, i)->IsShown(), i < 5) << i;
  scene_.SetDialogValues(13, 2);
  EXPECT_EQ(d->ResultValue(0), 2);
  scene_.SetDialogState(1);
  int lit = 0;
  for (int i = 0; i < d->ChainLength(1); ++i) lit += d->ChainWindow(1, i)->IsShown();
  EXPECT_EQ(lit, 3) << "five members light three";
  d->Update(0, 0, 0);
  EXPECT_EQ(scene_.GetDialogResult(1), 0) << "animations still running";
  for (int k : {0, 1})
    for (int i = 0; i < d->ChainLength(k); ++i) d->ChainWindow(k, i)->FinishAnime();
  d->Update(0, 0, 0);
  EXPECT_EQ(scene_.GetDialogResult(1), 1);
  // The first member's growth is still pending; the others' was taken up.
  BusyoTable[d->Members()[0]].growthMark = 1;
  scene_.SetDialogState(2);
  scene_.SetDialogState(3);
  EXPECT_TRUE(d->Frame2()->IsShown());
  EXPECT_TRUE(d->ResultRow(3)->IsShown());
  EXPECT_FALSE(d->ResultRow(0)->FindChild(kWidgetSprite, 1)->IsShown());
  EXPECT_TRUE(d->ResultRow(1)->FindChild(kWidgetSprite, 1)->IsShown());
  EXPECT_EQ(scene_.GetDialogResult(-1), 3);
  // Closing the result page ends the dialog: the bound comes down and the command sees no dialog.
  Decide(d, CVMenuSLG_tanren::kClosePageId);
  EXPECT_TRUE(scene_.IsNoDialog());
  EXPECT_EQ(GetMenuMgr().GetDepthBound(), 2);
  EXPECT_EQ(scene_.GetDialogResult(1), -1);
}

}  // namespace
