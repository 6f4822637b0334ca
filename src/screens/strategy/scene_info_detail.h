// CVSceneInfoDetail (scene 11): the detail page of one general, pushed over the strategy scene. It
// steps through a list of generals with the wheel or the previous / next buttons and returns to the
// scene below on close (the scene below is popped back, not restarted). CVMenuSLG_detail (menu type
// 110) is its page: the general's face, names, castle, stats, skills and equipped item, where the
// player equips, takes off and swaps the items of his own generals.
#pragma once
#include <cstdint>

#include "screens/strategy/tenka_list.h"
#include "ui/menus/menu_root.h"
#include "ui/scenes/cv_scene.h"
#include "ui/scenes/general_info_page.h"

class CVMenuBtn;
class CVMenuSBar;
class CVSceneInfoDetail;

// The page has three states: 0 the general's own panel (skills, his item, equip and take off);
// 1 choosing an item of the clan's stock by kind; 2 choosing the general who holds an item with no
// stock left, whose item is swapped with this general's.
class CVMenuSLG_detail : public CVMenuSceneRoot {
 public:
  static constexpr int32_t kNone = 0xFFFF;
  static constexpr int kRows = 7;
  static constexpr int kKinds = 6;
  static constexpr int kSkills = 4;
  // Button ids of the layout.
  static constexpr int32_t kClose = 1, kBack = 2, kEquip = 1100, kTakeOff = 1101;
  static constexpr int32_t kSkill0 = 2000, kKind0 = 2100, kRow0 = 2200;

  void Open(int32_t a, int32_t b, int32_t c) override;
  void Update(int32_t x, int32_t y, uint32_t click) override;
  int32_t SetState(int32_t state, int32_t force) override;
  // The general on show; the panel refreshes when he changes and the page returns to state 0.
  void SetBusyo(int32_t busyo);
  // Whether a previous and a next general exist (their buttons).
  void SetOptions(bool prev, bool next);
  int32_t Busyo() const { return busyo_; }
  bool HasPrev() const { return prev_; }
  bool HasNext() const { return next_; }
  bool HasLayoutWidgets();
  CVMenuBase* GeneralPanel() const { return panel_; }
  CVMenuBase* ItemWindow() const { return item_; }
  CVMenuBase* SkillWindow() const { return skillWin_; }
  CVMenuBase* ListPanel() const { return listPanel_; }
  CVMenuBtn* SkillButton(int i) const { return skillBtn_[i]; }
  CVMenuBtn* KindTab(int i) const { return kindTab_[i]; }
  CVMenuBtn* Row(int i) const { return rows_[i]; }
  CVMenuBtn* BackButton() const { return backBtn_; }
  CVMenuSBar* Scroll() const { return scroll_; }
  int32_t SelectedKind() const { return kind_; }
  int32_t ShownSkill() const { return skill_; }
  int32_t ItemOfInterest() const { return interest_; }
  // The list the rows show: the clan's items in state 1, the holders of an item in state 2.
  const slgui::CTenkaList_Item& Items() const { return items_; }
  const slgui::CTenkaList_Item& Holders() const { return holders_; }
  // What the rows show now: no rows while no kind is selected.
  const slgui::CTenkaList_Item& ShownList() const;

  // Whether the page may change the general's item (his scene says he serves the player).
  bool MayEdit();
  // Whether item kind k (0-5) has items the general can use; the first such kind, -1 none.
  bool IsKindUsable(int32_t kind) const;
  int32_t FirstUsableKind() const;
  static bool HasSkill(int32_t busyo, int i);

 private:
  void FindWidgets();
  void EnterState();
  void FillGeneral();
  void FillItem(int32_t item);
  void ShowSkill(int32_t busyo, int i);
  void UpdateButtons();
  void FillRows(bool force);
  void SelectKind(int32_t kind);
  void FillItemRow(CVMenuBtn* row, const ItemListRecord* rec, bool enabled);
  void RebuildItems(int32_t kind);
  void RebuildHolders(int32_t item);
  void PickRow(int32_t index);
  void AfterItemChange();

  CVSceneInfoDetail* owner_ = nullptr;
  CVMenuBase* root_ = nullptr;
  CVMenuBase* panel_ = nullptr;
  CVMenuBase* skillPanel_ = nullptr;
  CVMenuBase* skillWin_ = nullptr;
  CVMenuBase* listPanel_ = nullptr;
  CVMenuBase* holdPanel_ = nullptr;
  CVMenuBase* item_ = nullptr;
  CVMenuSBar* scroll_ = nullptr;
  CVMenuBtn* rows_[kRows] = {};
  CVMenuBtn* kindTab_[kKinds] = {};
  CVMenuBtn* skillBtn_[kSkills] = {};
  CVMenuBtn* holdBtn_[3] = {};  // equip, take off, previous general
  CVMenuBtn* nextBtn_ = nullptr;
  CVMenuBtn* backBtn_ = nullptr;
  int32_t busyo_ = kNone;
  int32_t skill_ = 0;
  int32_t interest_ = 0;
  int32_t kind_ = -1;
  int32_t firstRow_ = 0;
  slgui::CTenkaList_Item items_;
  slgui::CTenkaList_Item holders_;
  bool kindHasItems_[kKinds] = {};
  bool prev_ = true, next_ = true;
};

class CVSceneInfoDetail : public CVScene, public GeneralInfoPage {
 public:
  static constexpr int32_t kSceneId = 11;
  explicit CVSceneInfoDetail(int32_t sceneId = kSceneId);

  bool OnStart() override;
  bool OnStop() override;
  int32_t UpdateMainMenu(int32_t x, int32_t y, int32_t leftClick, int32_t lastHit) override;
  bool Draw() override;

  void SetOwnClanFlag(bool on) { ownClan_ = on; }
  void SetBusyoList(const slgui::CTenkaList_Busyo* list);
  void ShowBusyo(int32_t busyo);
  void ShowListIndex(int32_t index);
  // A general not in the list leaves the page as it is, unless nothing is shown yet: then he is
  // shown alone (an enemy general, or a list with none of the player's generals).
  void ShowBusyoInList(int32_t busyo);
  bool IsOwnClanBusyo(int32_t busyo) const;
  // GeneralInfoPage: another screen's list as given (no clan filter), the items not editable.
  void ShowGeneralAmong(const std::vector<int32_t>& generals, int32_t busyo) override;

  int32_t Index() const { return index_; }
  const slgui::CTenkaList_Busyo& List() const { return list_; }
  CVMenuSLG_detail* Detail() const { return detail_; }

 private:
  CVMenuSLG_detail* detail_ = nullptr;
  slgui::CTenkaList_Busyo list_;
  int32_t index_ = -1;
  int32_t shown_ = CVMenuSLG_detail::kNone;
  bool ownClan_ = false;
  int32_t savedDepthBound_ = 0;
};

// Registers scene 11 and menu type 110.
class CVSceneMgr;
void RegisterInfoDetailScene(CVSceneMgr& mgr);
