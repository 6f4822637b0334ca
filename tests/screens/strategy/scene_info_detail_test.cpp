// The information detail page on its built layout (null device) and a small hand-made world: the
// general's panel, the skill window, and the item panel's states (choose an item of the clan's stock,
// choose the general who holds it), with equip, take off and swap changing the stock.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "screens/strategy/scene_info_detail.h"
#include "screens/strategy/scene_slg.h"
#include "tests/screens/strategy/slg_layout_fixture.h"
#include "ui/menus/menu_factory.h"
#include "ui/menus/menu_mgr.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_list.h"
#include "ui/widgets/menu_text.h"
#include "ui/widgets/menu_window_group.h"

namespace {

class DetailPage : public SlgLayoutTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(SlgLayoutTest::SetUp());
    page_ = dynamic_cast<CVMenuSLG_detail*>(CreateMenuScene(110, "Data\\layout\\slg_detail.lay"));
    ASSERT_NE(page_, nullptr);
    ASSERT_TRUE(page_->HasLayoutWidgets());
    scene_.AddMenu(page_, 0);
    page_->scene = &scene_;
    BuildWorld();
  }
  void TearDown() override {
    scene_.OnStop();
    SlgLayoutTest::TearDown();
  }

  // Kind 1 generals use item classes 3 to 6, kind 2 classes 1 and 4 to 6.
  void BuildWorld() {
    const int k0 = w_.Kuni("尾張");
    const int k1 = w_.Kuni("美濃");
    const int home = w_.Siro(k0, "清洲", 0);
    const int other = w_.Siro(k1, "稲葉山", 1);
    w_.Clan("織田");
    w_.Clan("斎藤");
    lord_ = w_.Busyo("織田 信長", home, 1);
    vassal_ = w_.Busyo("柴田 勝家", home, 1);
    archer_ = w_.Busyo("丹羽 長秀", home, 2);
    rival_ = w_.Busyo("斎藤 道三", other, 1);
    w_.Head(0, lord_);
    w_.Head(1, rival_);
    w_.Place();
    PlayerDaimyoId = 0;
  }
  // An item of class cls with a bonus (the list is sorted by bonus, highest first).
  static void Item(int id, int cls, int bonus, int stock, const char* name) {
    ItemRecord& r = ItemTable[id - 1];
    SetFieldString(r.name, sizeof r.name, name);
    SetFieldString(r.text, sizeof r.text, "説明");
    r.cls = static_cast<uint16_t>(cls);
    r.bonus = static_cast<uint16_t>(bonus);
    ItemStock[id] = static_cast<uint8_t>(stock);
  }
  void Press(int32_t id) {
    page_->decidedId = id;
    page_->Update(0, 0, 0);
  }
  // The scene starts (and the page reads the clan's stock) once the world is set up.
  void Start() {
    if (!started_) scene_.OnStart();
    started_ = true;
  }
  void Show(int32_t busyo) {
    Start();
    scene_.SetOwnClanFlag(true);
    scene_.ShowBusyo(busyo);
  }
  static std::string TextOf(CVMenuBase* w, int i) {
    auto* t = dynamic_cast<CVMenuText*>(w ? w->FindChild(kWidgetText, i) : nullptr);
    return t && t->Text() ? t->Text() : "";
  }
  CVMenuBase* RowInner(int i) { return page_->Row(i)->FindChild(kWidgetSprite, 0); }
  int32_t RowNumber(int i, int n) {
    auto* g = dynamic_cast<CVMenuWindowGroup*>(RowInner(i)->FindChild(kWidgetWindow, 0)->FindChild(kWidgetGroup, n));
    return g ? g->value : -1;
  }

  WorldBuilder w_;
  int lord_ = 0, vassal_ = 0, archer_ = 0, rival_ = 0;
  CVSceneInfoDetail scene_;
  CVMenuSLG_detail* page_ = nullptr;
  bool started_ = false;
};

// 0 -> equip -> 1 -> an item with stock: equipped, back to 0; again -> an item with no stock -> 2
// -> its holder: the items are swapped, back to 0. Take off returns the item to the stock.
TEST_F(DetailPage, EquipAndSwapChangeTheStock) {
  Item(1, 4, 30, 1, "名刀");
  Item(2, 4, 50, 0, "茶器");
  Item(3, 1, 90, 2, "弓");  // class 1: not for a kind 1 general
  BusyoTable[vassal_].items[0] = 2;
  Show(lord_);
  EXPECT_EQ(page_->GetState(), 0);
  EXPECT_EQ(page_->cancelId, CVMenuSLG_detail::kClose);
  EXPECT_TRUE(page_->FindButtonById(CVMenuSLG_detail::kEquip)->TestFlag(kWfEnabled));
  EXPECT_FALSE(page_->FindButtonById(CVMenuSLG_detail::kTakeOff)->TestFlag(kWfEnabled)) << "nothing to take off";

  Press(CVMenuSLG_detail::kEquip);
  ASSERT_EQ(page_->GetState(), 1);
  EXPECT_EQ(page_->SelectedKind(), 3) << "the first kind he can use that has items";
  EXPECT_EQ(page_->cancelId, CVMenuSLG_detail::kBack);
  EXPECT_EQ(TextOf(page_->BackButton(), 0), "戻る");
  EXPECT_FALSE(page_->KindTab(0)->TestFlag(kWfEnabled)) << "class 1 is not for him";
  EXPECT_TRUE(page_->KindTab(3)->TestFlag(kWfEnabled));
  EXPECT_TRUE(page_->KindTab(3)->TestFlag(kWfRest4)) << "the selected kind is highlighted";
  // Sorted by bonus, highest first: the held piece, then the one in stock.
  ASSERT_EQ(page_->ShownList().Count(), 2);
  EXPECT_EQ(page_->ShownList().At(0).item, 2);
  EXPECT_EQ(TextOf(RowInner(1), 0), "名刀");
  EXPECT_EQ(RowNumber(1, 0), 1) << "stock";
  EXPECT_EQ(RowNumber(0, 1), 1) << "equipped";
  EXPECT_FALSE(page_->Row(2)->IsShown());

  Press(CVMenuSLG_detail::kRow0 + 1);  // in stock: equipped at once
  EXPECT_EQ(page_->GetState(), 0);
  EXPECT_EQ(BusyoTable[lord_].items[0], 1);
  EXPECT_EQ(ItemStock[1], 0);
  EXPECT_TRUE(page_->ItemWindow()->IsShown());
  EXPECT_EQ(TextOf(page_->ItemWindow(), 0), "名刀");
  EXPECT_TRUE(page_->FindButtonById(CVMenuSLG_detail::kTakeOff)->TestFlag(kWfEnabled));

  Press(CVMenuSLG_detail::kEquip);
  ASSERT_EQ(page_->GetState(), 1);
  ASSERT_EQ(page_->ShownList().Count(), 2);
  EXPECT_FALSE(page_->Row(1)->TestFlag(kWfEnabled)) << "his own item's row";
  Press(CVMenuSLG_detail::kRow0 + 1);
  EXPECT_EQ(page_->GetState(), 1) << "a disabled row picks nothing";
  Press(CVMenuSLG_detail::kRow0);  // no stock: choose who holds it
  ASSERT_EQ(page_->GetState(), 2);
  EXPECT_EQ(page_->ItemOfInterest(), 2);
  EXPECT_EQ(page_->cancelId, CVMenuSLG_detail::kBack);
  ASSERT_EQ(page_->ShownList().Count(), 1);
  EXPECT_EQ(TextOf(RowInner(0), 0), "柴田 勝家");
  for (int k = 0; k < CVMenuSLG_detail::kKinds; ++k) {
    EXPECT_TRUE(page_->KindTab(k)->TestFlag(kWfRest4)) << k;
    EXPECT_EQ(page_->KindTab(k)->TestFlag(kWfEnabled), k == 3) << k;
    EXPECT_TRUE(page_->KindTab(k)->TestFlag(kWfNoHit)) << k;
  }
  // A step back and in again, then the holder.
  Press(CVMenuSLG_detail::kBack);
  EXPECT_EQ(page_->GetState(), 1);
  Press(CVMenuSLG_detail::kRow0);
  ASSERT_EQ(page_->GetState(), 2);
  Press(CVMenuSLG_detail::kRow0);
  EXPECT_EQ(page_->GetState(), 0);
  EXPECT_EQ(BusyoTable[lord_].items[0], 2);
  EXPECT_EQ(BusyoTable[vassal_].items[0], 1);
  EXPECT_EQ(ItemStock[1] + ItemStock[2], 0) << "a swap leaves the stock as it was";

  Press(CVMenuSLG_detail::kTakeOff);
  EXPECT_EQ(BusyoTable[lord_].items[0], 0);
  EXPECT_EQ(ItemStock[2], 1);
  EXPECT_FALSE(page_->ItemWindow()->IsShown());
  EXPECT_EQ(page_->cancelId, CVMenuSLG_detail::kClose);
}

// Back in states 1 and 2 steps one state; the rows follow the scroll bar; eight items of a kind
// scroll by one; a general who can use no kind that has items gets an empty list.
TEST_F(DetailPage, KindsRowsAndScrolling) {
  for (int i = 1; i <= 8; ++i) Item(i, 5, 10 * i, 1, ("品" + std::to_string(i)).c_str());
  Show(lord_);
  Press(CVMenuSLG_detail::kEquip);
  ASSERT_EQ(page_->GetState(), 1);
  EXPECT_EQ(page_->SelectedKind(), 4);
  EXPECT_EQ(page_->Scroll()->maximum, 1);
  EXPECT_EQ(TextOf(RowInner(0), 0), "品8");
  page_->Scroll()->SetValue(1);
  page_->Update(0, 0, 0);
  EXPECT_EQ(TextOf(RowInner(0), 0), "品7");
  Press(CVMenuSLG_detail::kRow0 + 6);  // the eighth row of the list: the lowest bonus
  EXPECT_EQ(BusyoTable[lord_].items[0], 1);
  EXPECT_EQ(page_->GetState(), 0);

  // Only class 1 items left in stock: the equip button is off for a kind 1 general, and the
  // choice opened anyway has no kind and no rows.
  for (int i = 1; i <= 8; ++i) Item(i, 1, 10, 1, "弓");
  BusyoTable[lord_].items[0] = 0;
  page_->Open(0, 0, 0);  // the stock is read when the page opens
  scene_.ShowBusyo(vassal_);
  EXPECT_FALSE(page_->FindButtonById(CVMenuSLG_detail::kEquip)->TestFlag(kWfEnabled));
  page_->SetState(1, 0);
  EXPECT_EQ(page_->SelectedKind(), -1);
  EXPECT_EQ(page_->ShownList().Count(), 0);
  for (int i = 0; i < CVMenuSLG_detail::kRows; ++i) EXPECT_FALSE(page_->Row(i)->IsShown()) << i;
  Press(CVMenuSLG_detail::kRow0);
  EXPECT_EQ(page_->GetState(), 1);
  Press(CVMenuSLG_detail::kBack);
  EXPECT_EQ(page_->GetState(), 0);
  // A kind 2 general can use them.
  scene_.ShowBusyo(archer_);
  Press(CVMenuSLG_detail::kEquip);
  EXPECT_EQ(page_->SelectedKind(), 0);
  EXPECT_EQ(page_->ShownList().Count(), 8);
}

// Skill buttons follow the skill bytes; a skill shows its window; another general's page shows his
// own skill, or none.
TEST_F(DetailPage, SkillWindowFollowsTheGeneralOnShow) {
  SkillRecord& s = SkillTable[4];
  SetFieldString(s.name, sizeof s.name, "鬼謀");
  BusyoTable[lord_].cur.skill[0] = 5;
  BusyoTable[lord_].cur.skill[2] = 5;
  Show(lord_);
  EXPECT_TRUE(page_->SkillButton(0)->TestFlag(kWfEnabled));
  EXPECT_FALSE(page_->SkillButton(1)->TestFlag(kWfEnabled));
  EXPECT_TRUE(page_->SkillButton(2)->TestFlag(kWfEnabled));
  EXPECT_TRUE(page_->SkillWindow()->IsShown());
  EXPECT_EQ(TextOf(page_->SkillWindow(), 0), "鬼謀");
  Press(CVMenuSLG_detail::kSkill0 + 1);
  EXPECT_EQ(page_->ShownSkill(), 1);
  EXPECT_FALSE(page_->SkillWindow()->IsShown()) << "skill byte 1 is 0";
  Press(CVMenuSLG_detail::kSkill0 + 2);
  EXPECT_TRUE(page_->SkillWindow()->IsShown());
  scene_.ShowBusyo(vassal_);
  EXPECT_FALSE(page_->SkillWindow()->IsShown()) << "the next general has no skill 3";
  EXPECT_FALSE(page_->SkillButton(2)->TestFlag(kWfEnabled));
}

// Another clan's general, or a page opened without the own-clan flag, changes nothing.
TEST_F(DetailPage, OnlyThePlayersOwnGeneralsAreEquipped) {
  Item(1, 4, 30, 1, "名刀");
  const struct {
    int busyo;
    bool ownFlag;
  } cases[] = {{rival_, true}, {lord_, false}};
  Start();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.busyo);
    BusyoTable[c.busyo].items[0] = 0;
    scene_.SetOwnClanFlag(c.ownFlag);
    scene_.ShowBusyo(c.busyo);
    EXPECT_FALSE(page_->FindButtonById(CVMenuSLG_detail::kEquip)->TestFlag(kWfEnabled));
    Press(CVMenuSLG_detail::kEquip);
    EXPECT_EQ(page_->GetState(), 0);
    page_->SetState(1, 0);  // even forced into the choice, a pick changes nothing
    Press(CVMenuSLG_detail::kRow0);
    EXPECT_EQ(BusyoTable[c.busyo].items[0], 0);
    EXPECT_EQ(ItemStock[1], 1);
    page_->SetState(0, 0);
  }
}

// A general outside the list handed over (the map's detail button on an enemy general, or the
// general table of another clan) is shown alone on a fresh page; once a page is shown, stepping
// to a general not in the list leaves it as it is.
TEST_F(DetailPage, AGeneralOutsideTheListIsShownOnAFreshPage) {
  Start();
  slgui::CTenkaList_Busyo list;
  list.Add(rival_);
  scene_.SetOwnClanFlag(true);
  scene_.SetBusyoList(&list);
  EXPECT_EQ(scene_.List().Count(), 0);
  scene_.ShowBusyoInList(rival_);
  EXPECT_EQ(page_->Busyo(), rival_);
  EXPECT_EQ(TextOf(page_->GeneralPanel(), 0), "斎藤 道三");
  EXPECT_FALSE(page_->HasPrev());
  EXPECT_FALSE(page_->HasNext());
  list.Add(lord_);
  list.Add(vassal_);
  scene_.SetBusyoList(&list);
  scene_.ShowBusyoInList(vassal_);
  EXPECT_EQ(page_->Busyo(), vassal_);
  scene_.ShowBusyoInList(rival_);
  EXPECT_EQ(page_->Busyo(), vassal_);
  EXPECT_EQ(scene_.Index(), 1);
}

TEST_F(DetailPage, AGivenListKeepsItsFullListBehindTheShownOne) {
  Start();
  slgui::CTenkaList_Busyo list;
  for (int g : {lord_, rival_, vassal_}) list.Add(g);
  list.SetListMark(0);
  ASSERT_NE(list.Filter(6, false), 0);  // the map shows the own clan's generals only
  scene_.SetBusyoList(&list);
  EXPECT_EQ(scene_.List().Items(), (std::vector<int32_t>{lord_, vassal_}));
  EXPECT_EQ(scene_.List().Saved(), (std::vector<int32_t>{lord_, rival_, vassal_}));
}

}  // namespace
