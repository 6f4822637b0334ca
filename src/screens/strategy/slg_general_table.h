// The two large command dialogs that cover the map while they are open and bring it back when they
// end (CVSceneSLG::FinishDialog ends them by Finish): the general table (menu type 42, dialog ids 9
// and 21) and training (menu type 44, dialog id 1). Both find their widgets by kind and position
// (docs/layouts.md, "Command dialogs") and answer the rules' selectors.
#pragma once
#include <cstdint>
#include <vector>

#include "screens/strategy/slg_dialogs.h"
#include "screens/strategy/tenka_list.h"

class CVMenuBtn;
class CVMenuSBar;
class CVMenuText;
class CVMenuWindowGroup;

// Menu type 42: a sortable table of clan a's generals. States: 0 pick one general (information),
// 1 pick one to dismiss, 2 pick up to c (at most six) reserve generals for a castle, 3 a dismissal
// that must be made. The group comes from b at Open: 0 information, 1 reserve, 2 forced dismissal.
class CVMenuSLG_infoall : public CVMenuSLG_CmdBase {
 public:
  static constexpr int kRows = 9;
  static constexpr int kButtons = 7;
  static constexpr int kMaxPicked = 6;
  static constexpr int32_t kNone = 0xFFFF;
  static constexpr int32_t kFixedCounter = 200;

  void Open(int32_t a, int32_t b, int32_t c) override;
  void Update(int32_t x, int32_t y, uint32_t click) override;
  int32_t SetState(int32_t state, int32_t force) override;
  void SetValue(int32_t selector, int32_t value) override;
  int32_t GetResult(int32_t selector) override;
  CVMenuBase* GetFrameWindow() override { return frame_; }
  void Finish() override;
  bool EndsByFinish() const override { return true; }

  // The list column a sort button id sorts by (0 for any id outside 2000-2012).
  static int32_t SortColumn(int32_t buttonId);
  void Reload(int32_t clan, int32_t column, bool descending);
  void FillRows(bool force);
  void FillRow(CVMenuBtn* row, int32_t busyo, bool chosen);
  // Empties the scene's list B and fills it with the picked generals; answers their count.
  int32_t HandOver();

  // Finds the widgets; true when every one the dialog looks up is there.
  bool HasLayoutWidgets();
  slgui::CTenkaList_Busyo& List() { return list_; }
  CVMenuBtn* Button(int i) const { return i >= 0 && i < kButtons ? buttons_[i] : nullptr; }
  CVMenuBtn* Row(int i) const { return i >= 0 && i < kRows ? rows_[i] : nullptr; }
  CVMenuSBar* Scroll() const { return scroll_; }
  CVMenuWindowGroup* CountGroup() const { return countGroup_; }
  CVMenuWindowGroup* CapacityGroup() const { return capacityGroup_; }
  CVMenuWindowGroup* Counter(int i) const { return i == 0 || i == 1 ? counters_[i] : nullptr; }
  // The inner panel of a row and its mark button.
  static CVMenuBase* RowInner(CVMenuBase* row);
  static CVMenuBtn* MarkButton(CVMenuBase* row);
  int32_t Capacity() const { return capacity_; }
  int32_t PickedCount() const { return count_; }
  int32_t PickedGeneral() const { return picked_; }
  bool ShowAll() const { return showAll_; }
  bool HandOverArmed() const { return handOver_; }
  bool Descending() const { return descending_; }
  int32_t ChoiceCount() const { return static_cast<int32_t>(choice_.size()); }
  bool IsPicked(int32_t busyo) const;

 private:
  void FindWidgets();
  void ApplyButtons(int32_t state);
  void WatchAnimations();
  void PickRow(int32_t id);
  void Sort(int32_t id);
  void ShowPickCounts();
  // The choice: list indices (group 0 holds one at most).
  void Choose(int32_t index);
  bool IsChosen(int32_t index) const;
  int32_t ChosenGeneral() const;
  int32_t LastSortColumn() const { return lastSortId_ < 0 ? -1 : SortColumn(lastSortId_); }
  bool GroupIsReserve() const { return group_ == 1; }

  uint16_t state_ = 0;  // bit 0 opening, bit 1 closing
  CVMenuBase* frame_ = nullptr;
  CVMenuSBar* scroll_ = nullptr;
  CVMenuBtn* buttons_[kButtons] = {};
  CVMenuBtn* rows_[kRows] = {};
  CVMenuBtn* sortButton_ = nullptr;
  CVMenuBase* list_panel_ = nullptr;
  CVMenuWindowGroup* capacityGroup_ = nullptr;
  CVMenuWindowGroup* countGroup_ = nullptr;
  CVMenuWindowGroup* counters_[2] = {};  // the list count, the fixed counter
  int32_t a_ = 0, b_ = 0, c_ = 0;
  int32_t picked_ = kNone;
  slgui::CTenkaList_Busyo list_;
  int32_t firstRow_ = -1;
  std::vector<int32_t> choice_;
  int32_t lastSortId_ = -1;
  bool descending_ = false;
  int32_t capacity_ = 0;
  int32_t count_ = 0;
  int32_t target_ = -1;
  int32_t pickedIds_[kMaxPicked] = {kNone, kNone, kNone, kNone, kNone, kNone};
  int32_t listCount_ = 0;
  bool showAll_ = true;
  bool handOver_ = false;
};

// Menu type 44: training. Up to ten of clan a's generals (not in reserve, below stage 3, no more than
// the clan's command points) are picked; then the result animation and a page of the outcome.
// States: 0 picking, 1 the result animation, 2 results ready, 3 the result page shown.
class CVMenuSLG_tanren : public CVMenuSLG_CmdBase {
 public:
  static constexpr int kCandidateRows = 7;
  static constexpr int kResultRows = 4;
  static constexpr int kMaxMembers = 10;
  static constexpr int kChains = 4;
  static constexpr int32_t kNone = 0xFFFF;
  static constexpr int32_t kClosePageId = 5000;

  void Open(int32_t a, int32_t b, int32_t c) override;
  void Update(int32_t x, int32_t y, uint32_t click) override;
  int32_t SetState(int32_t state, int32_t force) override;
  void SetValue(int32_t selector, int32_t value) override;
  int32_t GetResult(int32_t selector) override;
  CVMenuBase* GetFrameWindow() override { return frame1_; }
  void Finish() override;
  bool EndsByFinish() const override { return true; }

  static int32_t SortColumn(int32_t buttonId);
  bool AddMember(int32_t busyo);
  void RemoveMember(int32_t busyo);
  int32_t MemberIndex(int32_t busyo) const;
  void Reload(int32_t clan);
  void FillRows(bool force);

  bool HasLayoutWidgets();
  slgui::CTenkaList_Busyo& List() { return list_; }
  const std::vector<int32_t>& Members() const { return members_; }
  int32_t Capacity() const { return capacity_; }
  CVMenuBtn* CandidateRow(int i) const { return i >= 0 && i < kCandidateRows ? candRows_[i] : nullptr; }
  CVMenuBtn* ResultRow(int i) const { return i >= 0 && i < kResultRows ? resultRows_[i] : nullptr; }
  CVMenuBase* Frame2() const { return frame2_; }
  CVMenuSBar* CandidateScroll() const { return candScroll_; }
  int32_t ChainLength(int k) const { return k >= 0 && k < kChains ? static_cast<int32_t>(chains_[k].size()) : 0; }
  CVMenuBase* ChainWindow(int k, int i) const {
    return i >= 0 && i < ChainLength(k) ? chains_[k][static_cast<size_t>(i)] : nullptr;
  }
  int32_t ResultValue(int i) const { return i >= 0 && i < kMaxMembers ? results_[i] : 0; }
  bool Descending() const { return descending_; }

 private:
  void FindWidgets();
  void ClearMembers();
  void ShowNumbers();
  void FillCandidate(CVMenuBtn* row, int32_t busyo, bool member);
  void FillMemberSlots();
  void ChangeSlot(int i, int32_t busyo);
  void SetSlotNow(int i, int32_t busyo);
  void WatchMemberSlots();
  void PlayResult();
  void WatchResult();
  void WatchAnimations();
  void FillResultRows(int32_t first);
  void FillResultRow(CVMenuBtn* row, int32_t busyo, bool filled);
  void Sort(int32_t id);
  void WriteTrainingMarks();

  uint16_t state_ = 0;  // bit 0 opening, bit 1 closing, bit 2 a member slot changing, bit 3 result
  CVMenuBase* frame1_ = nullptr;
  CVMenuBase* memberPanel_ = nullptr;
  CVMenuWindowGroup* memberNumber_ = nullptr;
  CVMenuBtn* confirm_[2] = {};
  CVMenuSBar* candScroll_ = nullptr;
  CVMenuBtn* candRows_[kCandidateRows] = {};
  std::vector<CVMenuBase*> chains_[kChains];
  CVMenuBase* frame2_ = nullptr;
  CVMenuSBar* resultScroll_ = nullptr;
  CVMenuBtn* resultRows_[kResultRows] = {};
  CVMenuBtn* sortButton_ = nullptr;
  int32_t a_ = 0, b_ = 0, c_ = 0;
  slgui::CTenkaList_Busyo list_;
  int32_t firstRow_ = -1;
  std::vector<int32_t> members_;
  int32_t lastSortId_ = -1;
  bool descending_ = false;
  int32_t firstResultRow_ = 0;
  int32_t capacity_ = 0;
  int32_t results_[kMaxMembers] = {};
  // Per window of chains 1 and 3: the general shown; chain 1 also the general to show next.
  int32_t shown_[2][kMaxMembers] = {};
  int32_t next_[kMaxMembers] = {};
};

void RegisterGeneralTableTypes();
