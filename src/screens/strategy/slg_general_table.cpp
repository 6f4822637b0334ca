#include "screens/strategy/slg_general_table.h"
#include "screens/strategy/slg_widgets.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "screens/strategy/menu_slg_main.h"
#include "screens/strategy/scene_slg.h"
#include "sound/busyo_voice.h"
#include "ui/menus/menu_factory.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_list.h"
#include "ui/widgets/menu_text.h"
#include "ui/widgets/menu_window.h"
#include "ui/widgets/menu_window_group.h"
#include "world/record_lists.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

using namespace slgw;

// The widget and its following siblings of the same kind.
template <class T>
void Collect(CVMenuBase* first, T** out, int n) {
  for (int i = 0; i < n; ++i) out[i] = nullptr;
  int i = 0;
  for (CVMenuBase* w = first; w && i < n; w = w->NextSibling())
    if (w->widgetType == first->widgetType) out[i++] = dynamic_cast<T*>(w);
}

void CollectAll(CVMenuBase* first, std::vector<CVMenuBase*>& out) {
  out.clear();
  for (CVMenuBase* w = first; w; w = w->NextSibling())
    if (w->widgetType == first->widgetType) out.push_back(w);
}

// A sort button's look: 0 not sorting, 1 ascending, 2 descending (the button keeps its own look
// while it rests in state 4); its mark window shows the direction.
void MarkSortButton(CVMenuBtn* b, int32_t m) {
  if (!b) return;
  b->SetStateAnimes(m, m, m, m, 0);
  if (CVMenuBase* mark = Child(b, kWidgetSprite, 0)) mark->SetState(m, 1);
}

// A general's face, name, stage + 1 and progress on a row's inner panel.
void FillGeneralPanel(CVMenuBase* inner, int32_t busyo, int32_t progress) {
  const BusyoRecord& r = BusyoTable[busyo];
  ShowFacePicture(Child(inner, kWidgetSprite, 0), r.picture);
  SetText(TextOf(inner, 0), GetBusyoName(static_cast<uint32_t>(busyo)));
  SetNum(Num(inner, 0), r.stage + 1);
  SetNum(Num(inner, 1), progress);
}

std::string KuniName(int32_t kuni) {
  return kuni >= 0 && kuni < kKuniCount ? GetKuniName(static_cast<uint32_t>(kuni)) : " --- ";
}

template <class D>
CVMenuSceneRoot* Make(int32_t) {
  return new D();
}

}  // namespace

void RegisterGeneralTableTypes() {
  RegisterMenuType(42, &Make<CVMenuSLG_infoall>);
  RegisterMenuType(44, &Make<CVMenuSLG_tanren>);
}

// ==== the general table (42) ====

CVMenuBase* CVMenuSLG_infoall::RowInner(CVMenuBase* row) {
  return Child(Child(row, kWidgetWindow, 0), kWidgetWindow, 1);
}

CVMenuBtn* CVMenuSLG_infoall::MarkButton(CVMenuBase* row) {
  return dynamic_cast<CVMenuBtn*>(Child(RowInner(row), kWidgetBtn, 0));
}

void CVMenuSLG_infoall::FindWidgets() {
  frame_ = FindChild(kWidgetSprite, 0);
  CVMenuBase* panel = Child(frame_, kWidgetSprite, 1);
  Collect(Child(Child(panel, kWidgetWindow, 0), kWidgetBtn, 0), buttons_, kButtons);
  list_panel_ = Child(panel, kWidgetWindow, 2);
  scroll_ = dynamic_cast<CVMenuSBar*>(Child(list_panel_, kWidgetSBar, 0));
  Collect(Child(Child(list_panel_, kWidgetWindow, 0), kWidgetBtn, 0), rows_, kRows);
  capacityGroup_ = Num(buttons_[2], 0);
  countGroup_ = Num(buttons_[2], 1);
  CVMenuBase* counters = Child(frame_, kWidgetSprite, 2);
  counters_[0] = Num(counters, 1);
  counters_[1] = Num(counters, 0);
}

bool CVMenuSLG_infoall::HasLayoutWidgets() {
  FindWidgets();
  bool ok = frame_ && scroll_ && list_panel_ && capacityGroup_ && countGroup_ && counters_[0] && counters_[1];
  for (CVMenuBtn* b : buttons_) ok = ok && b;
  for (CVMenuBtn* r : rows_) ok = ok && r && RowInner(r) && MarkButton(r);
  for (int32_t id = 2000; id <= 2012; ++id) ok = ok && FindButtonById(id);
  return ok;
}

int32_t CVMenuSLG_infoall::SortColumn(int32_t id) {
  static const int32_t kColumns[13] = {1, 2, 3, 5, 6, 9, 10, 11, 12, 13, 7, 8, 16};
  return id >= 2000 && id <= 2012 ? kColumns[id - 2000] : 0;
}

void CVMenuSLG_infoall::Open(int32_t a, int32_t b, int32_t c) {
  state_ = 0;
  a_ = a, b_ = b, c_ = c;
  // The group comes with the arguments: the reserve command opens dialog 21 with b = 1 and the
  // forced dismissal with b = 2.
  group_ = b;
  // Six places at most: a larger count would pick past the places there are.
  capacity_ = std::clamp(c, 0, kMaxPicked);
  FindWidgets();
  if (frame_) frame_->SetFlag(kWfAnimRunning, true);
  choice_.clear();
  lastSortId_ = -1;
  descending_ = false;
  count_ = 0;
  showAll_ = true;
  std::fill(std::begin(pickedIds_), std::end(pickedIds_), kNone);
  picked_ = kNone;
  target_ = -1;
  if (sortButton_) MarkSortButton(sortButton_, 0);
  sortButton_ = nullptr;
  SetNum(capacityGroup_, capacity_);
  SetNum(countGroup_, 0);
  listCount_ = 0;
  SetNum(counters_[0], listCount_);
  SetNum(counters_[1], kFixedCounter);
  if (buttons_[1]) buttons_[1]->SetFlag(kWfNoHit, false);
  Enable(buttons_[4], false);
  CVMenuSLG_CmdBase::Open(a, b, c);
  // The opening: the frame locked until its animation is over (the watch then hides the map).
  if (frame_) {
    frame_->ClearAnimeQueue();
    frame_->PlayAnime(1);
  }
  state_ |= 1;
  LockInput(frame_, true);
  if (group_ == 2) {
    SetState(3, 1);
    Enable(buttons_[4], true);
  } else if (group_ == 1) {
    SetState(2, 1);
    showAll_ = false;
  } else {
    SetState(0, 1);
    showAll_ = true;
  }
  handOver_ = false;
}

namespace {
// What a state does to one command button: -1 leaves a flag, 0 clears it, 1 sets it.
struct ButtonFlags {
  int8_t shown, enabled, noHit, rest;
};
constexpr int8_t _ = -1;
// Buttons 1-6 by state (button 0, the way back, is enabled in states 0-2 only).
constexpr ButtonFlags kStateButtons[4][6] = {
    {{1, 0, 0, _}, {0, _, _, _}, {_, 0, 0, _}, {_, _, 0, 0}, {1, 1, _, _}, {0, 1, _, _}},
    {{_, 0, _, _}, {_, 0, _, _}, {_, 0, _, _}, {_, _, _, 1}, {1, _, _, _}, {0, _, _, _}},
    {{0, _, _, _}, {1, 1, 0, _}, {_, _, 0, _}, {_, 1, 0, 0}, {_, 0, _, _}, {_, 0, _, _}},
    {{_, _, 1, _}, {0, _, 1, _}, {_, _, 1, _}, {_, _, 0, 1}, {1, _, _, _}, {0, _, _, _}},
};
}  // namespace

void CVMenuSLG_infoall::ApplyButtons(int32_t state) {
  if (state < 0 || state > 3) return;
  for (int i = 1; i < kButtons; ++i) {
    CVMenuBtn* b = buttons_[i];
    if (!b) continue;
    const ButtonFlags& f = kStateButtons[state][i - 1];
    if (f.shown >= 0) Show(b, f.shown != 0);
    if (f.enabled >= 0) b->SetFlag(kWfEnabled, f.enabled != 0);
    if (f.noHit >= 0) b->SetFlag(kWfNoHit, f.noHit != 0);
    if (f.rest >= 0) b->SetFlag(kWfRest4, f.rest != 0);
  }
  // In the reserve group the dismissal state has no way to the map.
  if (state == 1 && GroupIsReserve()) Show(buttons_[1], false);
  Enable(buttons_[0], state != 3);
}

int32_t CVMenuSLG_infoall::SetState(int32_t state, int32_t force) {
  const bool changed = GetState() != state;
  const int32_t r = CVMenuSLG_CmdBase::SetState(state, force);
  if (!changed && !force) return r;
  ApplyButtons(state);
  if (state == 0 || state == 3) showAll_ = true;
  if (state == 1) showAll_ = !GroupIsReserve();
  if (state == 2) {
    showAll_ = false;
    ShowPickCounts();
  }
  Reload(a_, LastSortColumn(), descending_);
  handOver_ = false;
  return 1;
}

void CVMenuSLG_infoall::ShowPickCounts() {
  SetNum(capacityGroup_, capacity_);
  SetNum(countGroup_, count_);
}

void CVMenuSLG_infoall::SetValue(int32_t selector, int32_t value) {
  switch (selector) {
    case 0:
      picked_ = value;
      choice_.clear();
      FillRows(true);
      break;
    case 1:
      target_ = value;
      break;
    case 2:
      Reload(value, LastSortColumn(), descending_);
      break;
    default:
      break;
  }
}

int32_t CVMenuSLG_infoall::GetResult(int32_t selector) {
  const bool picking = GetState() == 1 || GetState() == 3;
  switch (selector) {
    case 0:
      return ChosenGeneral();
    case 3:
      if (GroupIsReserve()) return handOver_ ? HandOver() : kNone;
      return picking ? kNone : picked_;
    case 4:
      return picking ? picked_ : kNone;
    default:
      return 0;
  }
}

int32_t CVMenuSLG_infoall::HandOver() {
  if (!dialogScene_) return 0;
  dialogScene_->ClearListB();
  int32_t n = 0;
  for (int32_t g : pickedIds_)
    if (g != kNone) {
      dialogScene_->AddToListB(g);
      ++n;
    }
  return n;
}

bool CVMenuSLG_infoall::IsPicked(int32_t busyo) const {
  return std::find(std::begin(pickedIds_), std::end(pickedIds_), busyo) != std::end(pickedIds_);
}

void CVMenuSLG_infoall::Choose(int32_t index) {
  if (group_ == 0) choice_.clear();
  if (!IsChosen(index)) choice_.push_back(index);
}

bool CVMenuSLG_infoall::IsChosen(int32_t index) const {
  return std::find(choice_.begin(), choice_.end(), index) != choice_.end();
}

int32_t CVMenuSLG_infoall::ChosenGeneral() const {
  if (choice_.empty()) return kNone;
  const int32_t i = choice_.front();
  return i >= 0 && i < list_.Count() ? list_.At(i) : kNone;
}

void CVMenuSLG_infoall::Reload(int32_t clan, int32_t column, bool descending) {
  list_.Clear();
  choice_.clear();
  picked_ = kNone;
  ::CTenkaList_Busyo ids;
  if (clan >= 0) ListDaimyoBusyo(static_cast<uint32_t>(clan), ids);
  list_.Assign(ids);
  const int32_t state = GetState();
  if (state == 0 || state == 2) {
    if (!showAll_ || state == 2) list_.Filter(1, false);
  } else if (state == 1 || state == 3) {
    if (!showAll_) list_.Filter(1, false);
    list_.Filter(0, false);
  }
  listCount_ = list_.Count();
  if (scroll_) {
    scroll_->SetMax(std::max(0, list_.Count() - kRows));
    scroll_->SetValue(0);
  }
  firstRow_ = 0;
  if (column < 0)
    list_.StableSort(0, false);
  else
    list_.StableSort(column, descending);
  FillRows(true);
}

void CVMenuSLG_infoall::FillRows(bool force) {
  const int32_t first = scroll_ ? std::max(0, scroll_->value) : 0;
  if (first == firstRow_ && !force) return;
  SetNum(counters_[0], listCount_);
  SetNum(counters_[1], kFixedCounter);
  for (int i = 0; i < kRows; ++i) {
    const int32_t index = first + i;
    const int32_t g = index < list_.Count() ? list_.At(index) : -1;
    FillRow(rows_[i], g, GroupIsReserve() ? ValidBusyo(g) && IsPicked(g) : IsChosen(index));
  }
  firstRow_ = first;
}

void CVMenuSLG_infoall::FillRow(CVMenuBtn* row, int32_t busyo, bool chosen) {
  if (!row) return;
  if (!ValidBusyo(busyo)) {
    Show(row, false);
    return;
  }
  if (!row->TestFlag(kWfShown)) Show(row, true);
  const auto id = static_cast<uint32_t>(busyo);
  const BusyoRecord& r = BusyoTable[busyo];
  CVMenuBase* inner = RowInner(row);
  const int32_t m = r.listValue;
  if (CVMenuBtn* mark = MarkButton(row)) mark->SetStateAnimes(m, m + 3, m + 6, m, m);
  CVMenuBase* face = Child(inner, kWidgetSprite, 0);
  ShowFacePicture(face, r.picture);
  CVMenuBase* kind = Child(inner, kWidgetSprite, 1);
  if (kind) kind->SetState(std::max(0, GetKindCycleNext(r.kind) - 1), 1);
  SetText(TextOf(inner, 0), GetBusyoName(id));
  const int kuni = GetBusyoKuni(id);
  std::string country = " --- ";
  if (kuni >= 0 && !IsBusyoInKakuuSiro(id))
    country = KuniName(kuni);
  else if (chosen && target_ >= 0 && target_ < kSiroCount)
    country = KuniName(GetSiroKuni(static_cast<uint32_t>(target_)));
  SetText(TextOf(inner, 1), country);
  SetNum(Num(inner, 0), r.stage + 1);
  const int stats[3] = {GetBusyoStat1(id), GetBusyoStat2(id), GetBusyoStat3(id)};
  for (int i = 0; i < 3; ++i) {
    SetNum(Num(inner, 1 + i), stats[i]);
    // An item's bonus shows as the difference from the general's own stat.
    CVMenuText* plus = TextOf(inner, 2 + i);
    const int diff = stats[i] - r.cur.stat[i];
    if (diff != 0) {
      char buf[16];
      std::snprintf(buf, sizeof buf, "+%d", diff);
      SetText(plus, buf);
    }
    Show(plus, diff != 0);
  }
  const bool fixed = IsBusyoLoyaltyFixed(id);
  Show(Num(inner, 4), !fixed);
  if (!fixed) SetNum(Num(inner, 4), GetBusyoLoyalty(id));
  Show(TextOf(inner, 5), fixed);
  SetNum(Num(inner, 5), GetBusyoStat4(id));
  SetNum(Num(inner, 6), GetBusyoSoldiers(id) * 100);
  SetNum(Num(inner, 7), GetBusyoGuns(id) * 100);
  const ItemRecord* item = GetItemRecord(r.items[0]);
  CVMenuBase* icon = Child(inner, kWidgetSprite, 2);
  Show(icon, item != nullptr);
  Show(TextOf(inner, 6), item != nullptr);
  if (item) {
    if (icon) icon->SetState(std::max(0, item->cls - 1), 1);
    SetText(TextOf(inner, 6), FieldString(item->name, sizeof item->name));
  }
  const int32_t before = row->GetState();
  row->SetFlag(kWfRest4, chosen);
  if (chosen) row->ChangeStateAnime(before, 4);
}

void CVMenuSLG_infoall::Sort(int32_t id) {
  if (id == lastSortId_) {
    descending_ = !descending_;
    MarkSortButton(sortButton_, descending_ ? 2 : 1);
  } else {
    if (sortButton_) MarkSortButton(sortButton_, 0);
    sortButton_ = FindButtonById(id);
    MarkSortButton(sortButton_, 1);
    descending_ = false;
    lastSortId_ = id;
  }
  list_.StableSort(SortColumn(id), descending_);
}

void CVMenuSLG_infoall::PickRow(int32_t id) {
  const int32_t index = firstRow_ + (id - 3000);
  // A row past the list (a stale click while it shrank) is no pick.
  const bool inside = index >= 0 && index < list_.Count();
  const int32_t g = inside ? list_.At(index) : kNone;
  switch (GetState()) {
    case 0:
      if (!inside) return;
      Enable(buttons_[1], !IsBusyoInKakuuSiro(static_cast<uint32_t>(g)));
      Enable(buttons_[3], true);
      if (!IsChosen(index))
        Choose(index);
      else if (dialogScene_)
        dialogScene_->OpenInfoDetail(g, 1, &list_);
      break;
    case 1:
    case 3:
      if (inside) Choose(index);
      picked_ = g;
      break;
    case 2: {
      if (!inside) return;
      Enable(buttons_[2], true);
      Enable(buttons_[3], true);
      // The details button shows the general last clicked.
      choice_.assign(1, index);
      CVMenuText* country = TextOf(RowInner(rows_[id - 3000]), 1);
      int32_t* slot = std::find(std::begin(pickedIds_), std::end(pickedIds_), g);
      if (slot != std::end(pickedIds_)) {
        *slot = kNone;
        --count_;
        SetText(country, " --- ");
      } else if (count_ < capacity_) {
        int32_t* free = std::find(pickedIds_, pickedIds_ + capacity_, kNone);
        if (free != pickedIds_ + capacity_) {
          *free = g;
          ++count_;
          if (target_ >= 0 && target_ < kSiroCount)
            SetText(country, KuniName(GetSiroKuni(static_cast<uint32_t>(target_))));
        }
      }
      SetNum(countGroup_, count_);
      break;
    }
    default:
      break;
  }
}

void CVMenuSLG_infoall::Update(int32_t x, int32_t y, uint32_t click) {
  const int32_t id = decidedId;
  bool refill = false;
  const int32_t state = GetState();
  if (id >= 2000 && id <= 2012) {
    Sort(id);
    refill = true;
  } else if (id >= 3000 && id < 3000 + kRows) {
    PickRow(id);
    refill = state != 1 && state != 3;
  } else if (id >= 4000 && id < 4000 + kRows) {
    const int32_t index = firstRow_ + (id - 4000);
    if (group_ == 0 && state == 0 && index >= 0 && index < list_.Count()) {
      // The player's own mark on a general (saved with the world): none, one, two, none.
      const int32_t g = list_.At(index);
      if (ValidBusyo(g)) {
        int16_t& mark = BusyoTable[g].listValue;
        mark = static_cast<int16_t>(mark == 0 ? 1 : mark == 1 ? 2 : 0);
      }
      refill = true;
    }
  } else if (id == 2500) {
    if (state == 0 && !choice_.empty()) picked_ = ChosenGeneral();
  } else if (id == 2501) {
    const int32_t g = ChosenGeneral();
    if (ValidBusyo(g) && dialogScene_) dialogScene_->OpenInfoDetail(g, 1, &list_);
  } else if (id == 2502) {
    if (buttons_[4] && buttons_[4]->TestFlag(kWfRest4))
      SetState(GroupIsReserve() ? 2 : 0, 0);
    else
      SetState(1, 0);
    refill = true;
  } else if (id == 2503 || id == 2504) {
    showAll_ = id == 2504;
    Show(buttons_[5], showAll_);
    Show(buttons_[6], !showAll_);
    Enable(buttons_[1], false);
    Enable(buttons_[3], false);
    Reload(a_, LastSortColumn(), descending_);
    refill = true;
  } else if (id == 2505) {
    if (state == 2 && count_ > 0 && count_ <= capacity_) handOver_ = true;
  }
  FillRows(refill);
  const bool wasOpen = IsOpen();
  WatchAnimations();
  if (wasOpen && !IsOpen()) return;
  CVMenuSLG_CmdBase::Update(x, y, click);
}

void CVMenuSLG_infoall::WatchAnimations() {
  if ((state_ & 1) && frame_ && !frame_->IsAnimeQueued()) {
    if (dialogScene_) dialogScene_->ShowMapMenu(false);
    LockInput(frame_, false);
    // Unlocking the frame's tree also unlocked the buttons this state keeps locked.
    ApplyButtons(GetState());
    state_ &= static_cast<uint16_t>(~1u);
  }
  if ((state_ & 2) && frame_ && !frame_->IsAnimeQueued()) {
    state_ &= static_cast<uint16_t>(~2u);
    Close();
  }
}

void CVMenuSLG_infoall::Finish() {
  if (dialogScene_) dialogScene_->ShowMapMenu(true);
  LockInput(frame_, true);
  state_ &= static_cast<uint16_t>(~2u);
  Close();
}

// ==== training (44) ====

void CVMenuSLG_tanren::FindWidgets() {
  frame1_ = FindChild(kWidgetSprite, 0);
  frame2_ = FindChild(kWidgetSprite, 1);
  CVMenuBase* panel = Child(frame1_, kWidgetSprite, 1);
  CVMenuBtn* b = dynamic_cast<CVMenuBtn*>(Child(Child(panel, kWidgetWindow, 0), kWidgetBtn, 0));
  Collect(b, confirm_, 2);
  CVMenuBase* candidates = Child(panel, kWidgetWindow, 2);
  candScroll_ = dynamic_cast<CVMenuSBar*>(Child(candidates, kWidgetSBar, 0));
  Collect(Child(Child(candidates, kWidgetWindow, 0), kWidgetBtn, 0), candRows_, kCandidateRows);
  memberPanel_ = Child(Child(panel, kWidgetWindow, 3), kWidgetSprite, 0);
  memberNumber_ = Num(memberPanel_, 0);
  for (int k = 0; k < kChains; ++k)
    CollectAll(Child(Child(memberPanel_, kWidgetWindow, k), kWidgetSprite, 0), chains_[k]);
  CVMenuBase* results = Child(frame2_, kWidgetWindow, 1);
  resultScroll_ = dynamic_cast<CVMenuSBar*>(Child(results, kWidgetSBar, 0));
  Collect(Child(Child(results, kWidgetWindow, 0), kWidgetBtn, 0), resultRows_, kResultRows);
}

bool CVMenuSLG_tanren::HasLayoutWidgets() {
  FindWidgets();
  bool ok =
      frame1_ && frame2_ && memberPanel_ && memberNumber_ && confirm_[0] && confirm_[1] && candScroll_ && resultScroll_;
  for (CVMenuBtn* r : candRows_) ok = ok && r;
  for (CVMenuBtn* r : resultRows_) ok = ok && r;
  for (int k = 0; k < kChains; ++k) ok = ok && ChainLength(k) >= (k == 1 ? 6 : kMaxMembers);
  for (int32_t id = 2000; id <= 2003; ++id) ok = ok && FindButtonById(id);
  return ok;
}

int32_t CVMenuSLG_tanren::SortColumn(int32_t id) {
  switch (id) {
    case 2000:
      return 1;
    case 2001:
      return 2;
    case 2002:
      return 5;
    case 2003:
      return 18;
    default:
      return 0;
  }
}

void CVMenuSLG_tanren::Open(int32_t a, int32_t b, int32_t c) {
  state_ = 0;
  a_ = a, b_ = b, c_ = c;
  FindWidgets();
  CVMenuBase::SetState(0, 1);
  for (int k = 0; k < 2; ++k)
    for (int i = 0; i < kMaxMembers; ++i) shown_[k][i] = kNone;
  for (int32_t& n : next_) n = kNone;
  for (const auto& chain : chains_)
    for (CVMenuBase* w : chain) Show(w, false);
  std::fill(std::begin(results_), std::end(results_), 0);
  if (sortButton_) MarkSortButton(sortButton_, 0);
  sortButton_ = nullptr;
  lastSortId_ = -1;
  descending_ = false;
  Show(frame2_, false);
  if (frame2_) frame2_->SetFlagAll(kWfEnabled, false);
  if (frame1_) frame1_->SetFlagAll(kWfEnabled, true);
  CVMenuSLG_CmdBase::Open(a, b, c);
  if (frame1_) {
    frame1_->SetFlag(kWfAnimRunning, true);
    frame1_->ClearAnimeQueue();
    frame1_->PlayAnime(1);
  }
  state_ |= 1;
  LockInput(frame1_, true);
  Reload(a);
}

int32_t CVMenuSLG_tanren::SetState(int32_t state, int32_t force) {
  const bool changed = GetState() != state;
  const int32_t r = CVMenuSLG_CmdBase::SetState(state, force);
  if (!changed && !force) return r;
  switch (state) {
    case 0:
      if (frame1_) frame1_->SetFlagAll(kWfEnabled, true);
      Show(frame2_, false);
      if (frame2_) frame2_->SetFlagAll(kWfEnabled, false);
      break;
    case 1:
      PlayResult();
      break;
    case 2:
      if (resultScroll_) {
        resultScroll_->SetMax(std::max(0, static_cast<int32_t>(members_.size()) - kResultRows));
        resultScroll_->SetValue(0);
      }
      firstResultRow_ = 0;
      FillResultRows(0);
      break;
    case 3:
      if (frame1_) frame1_->SetFlagAll(kWfEnabled, false);
      Show(frame2_, true);
      if (frame2_) {
        frame2_->SetFlagAll(kWfEnabled, true);
        frame2_->SetFlagAll(kWfNoHit, false);
      }
      FillResultRows(firstResultRow_);
      break;
    default:
      break;
  }
  return r;
}

void CVMenuSLG_tanren::SetValue(int32_t selector, int32_t value) {
  if (selector == 0)
    SetNum(memberNumber_, value);
  else if (selector >= 13 && selector <= 22)
    results_[selector - 13] = value;
}

int32_t CVMenuSLG_tanren::GetResult(int32_t selector) {
  if (selector == -1) return GetState();
  if (selector == 1) return (state_ & 8) ? 0 : 1;
  if (selector == 2) return static_cast<int32_t>(members_.size());
  if (selector >= 3 && selector <= 12) {
    const size_t k = static_cast<size_t>(selector - 3);
    return k < members_.size() ? members_[k] : kNone;
  }
  return 0;
}

int32_t CVMenuSLG_tanren::MemberIndex(int32_t busyo) const {
  auto it = std::find(members_.begin(), members_.end(), busyo);
  return it == members_.end() ? -1 : static_cast<int32_t>(it - members_.begin());
}

bool CVMenuSLG_tanren::AddMember(int32_t busyo) {
  if (static_cast<int32_t>(members_.size()) >= kMaxMembers || static_cast<int32_t>(members_.size()) >= capacity_)
    return false;
  if (!ValidBusyo(busyo) || MemberIndex(busyo) >= 0) return false;
  members_.push_back(busyo);
  FillRows(true);
  ShowNumbers();
  FillMemberSlots();
  return true;
}

void CVMenuSLG_tanren::RemoveMember(int32_t busyo) {
  const int32_t i = MemberIndex(busyo);
  if (i < 0) return;
  members_.erase(members_.begin() + i);
  FillRows(true);
  ShowNumbers();
  FillMemberSlots();
}

void CVMenuSLG_tanren::ClearMembers() {
  members_.clear();
  ShowNumbers();
  FillMemberSlots();
}

void CVMenuSLG_tanren::Reload(int32_t clan) {
  list_.Clear();
  ::CTenkaList_Busyo ids;
  if (clan >= 0) ListDaimyoBusyo(static_cast<uint32_t>(clan), ids);
  list_.Assign(ids);
  // No reserve general and none who has reached the last stage.
  list_.Filter(2, false);
  list_.Filter(8, false);
  capacity_ = clan >= 0 && clan < kDaimyoSlots ? DaimyoTable[clan].cp : 0;
  ClearMembers();
  if (candScroll_) {
    candScroll_->SetMax(std::max(0, list_.Count() - kCandidateRows));
    candScroll_->SetValue(0);
  }
  firstRow_ = 0;
  list_.StableSort(0, false);
  FillRows(true);
  FillResultRows(0);
}

void CVMenuSLG_tanren::ShowNumbers() {
  if (a_ < 0 || a_ > 255) return;
  CVMenuWindowGroup* n = memberNumber_;
  n = n ? dynamic_cast<CVMenuWindowGroup*>(n->NextSibling()) : nullptr;
  SetNum(n, capacity_);
  n = n ? dynamic_cast<CVMenuWindowGroup*>(n->NextSibling()) : nullptr;
  SetNum(n, static_cast<int32_t>(members_.size()));
  n = n ? dynamic_cast<CVMenuWindowGroup*>(n->NextSibling()) : nullptr;
  SetNum(n, std::min(list_.Count(), kMaxMembers));
}

void CVMenuSLG_tanren::FillRows(bool force) {
  const int32_t state = GetState();
  if (state == 0) {
    const int32_t first = candScroll_ ? std::max(0, candScroll_->value) : 0;
    if (first != firstRow_ || force) {
      for (int i = 0; i < kCandidateRows; ++i) {
        const int32_t index = first + i;
        const int32_t g = index < list_.Count() ? list_.At(index) : -1;
        FillCandidate(candRows_[i], g, MemberIndex(g) >= 0);
      }
      firstRow_ = first;
    }
  } else if (state == 2 || state == 3) {
    const int32_t first = resultScroll_ ? std::max(0, resultScroll_->value) : 0;
    if (first != firstResultRow_) {
      FillResultRows(first);
      firstResultRow_ = first;
    }
  }
}

void CVMenuSLG_tanren::FillCandidate(CVMenuBtn* row, int32_t busyo, bool member) {
  if (!row) return;
  if (!ValidBusyo(busyo)) {
    Show(row, false);
    return;
  }
  Show(row, true);
  FillGeneralPanel(Child(row, kWidgetSprite, 0), busyo, BusyoTable[busyo].progress);
  Show(Child(row, kWidgetSprite, 1), false);
  row->SetFlag(kWfRest4, member);
}

void CVMenuSLG_tanren::FillMemberSlots() {
  const int32_t n = static_cast<int32_t>(members_.size());
  for (int i = 0; i < kMaxMembers; ++i) {
    const int32_t g = i < n ? members_[static_cast<size_t>(i)] : kNone;
    const int32_t target = next_[i] != kNone ? next_[i] : shown_[0][i];
    if (target != g) ChangeSlot(i, g);
    SetSlotNow(i, g);
  }
  // The marker of an odd count stands in the free place beside the last member.
  for (int i = 0; i < ChainLength(3); ++i) Show(ChainWindow(3, i), n % 2 == 1 && i == n);
}

void CVMenuSLG_tanren::ChangeSlot(int i, int32_t busyo) {
  CVMenuBase* w = ChainWindow(0, i);
  if (!w || i >= kMaxMembers) return;
  w->ClearAnimeQueue();
  if (shown_[0][i] != kNone) {
    w->PlayAnime(2);
    shown_[0][i] = kNone;
  }
  next_[i] = busyo;
  state_ |= 4;
}

void CVMenuSLG_tanren::SetSlotNow(int i, int32_t busyo) {
  CVMenuBase* w = ChainWindow(2, i);
  if (!w || i >= kMaxMembers) return;
  if (ValidBusyo(busyo)) {
    ShowFacePicture(w, BusyoTable[busyo].picture);
    Show(w, true);
  } else {
    Show(w, false);
  }
  shown_[1][i] = busyo;
}

void CVMenuSLG_tanren::WatchMemberSlots() {
  if (!(state_ & 4)) return;
  bool busy = false;
  for (int i = 0; i < kMaxMembers && i < ChainLength(0); ++i) {
    CVMenuBase* w = ChainWindow(0, i);
    if (w->IsAnimeQueued()) {
      busy = true;
      continue;
    }
    if (shown_[0][i] != kNone) continue;
    if (ValidBusyo(next_[i])) {
      shown_[0][i] = next_[i];
      next_[i] = kNone;
      Show(w, true);
      ShowFacePicture(w, BusyoTable[shown_[0][i]].picture);
      w->SetFlag(kWfAnimRunning, true);
      w->ClearAnimeQueue();
      w->PlayAnime(1);
      busy = busy || w->IsAnimeQueued();
    } else {
      next_[i] = kNone;
      Show(w, false);
    }
  }
  if (!busy) state_ &= static_cast<uint16_t>(~4u);
}

void CVMenuSLG_tanren::PlayResult() {
  for (CVMenuBase* w : chains_[0]) {
    w->SetFlag(kWfAnimRunning, true);
    w->PlayAnime(3);
  }
  const int32_t lit = static_cast<int32_t>(members_.size()) / 2 + 1;
  for (int i = 0; i < ChainLength(1); ++i) {
    CVMenuBase* w = ChainWindow(1, i);
    Show(w, i < lit);
    if (i < lit) {
      w->SetFlag(kWfAnimRunning, true);
      w->ClearAnimeQueue();
      w->PlayAnime(1);
    }
  }
  LockInput(frame1_, true);
  state_ |= 8;
}

void CVMenuSLG_tanren::WatchResult() {
  if (!(state_ & 8)) return;
  for (int k : {0, 1})
    for (CVMenuBase* w : chains_[k])
      if (w->IsShown() && w->IsAnimeQueued()) return;
  state_ &= static_cast<uint16_t>(~8u);
}

void CVMenuSLG_tanren::WatchAnimations() {
  if ((state_ & 1) && frame1_ && !frame1_->IsAnimeQueued()) {
    if (dialogScene_) dialogScene_->ShowMapMenu(false);
    LockInput(frame1_, false);
    state_ &= static_cast<uint16_t>(~1u);
  }
  if ((state_ & 2) && frame1_ && !frame1_->IsAnimeQueued()) {
    state_ &= static_cast<uint16_t>(~2u);
    Close();
  }
}

void CVMenuSLG_tanren::FillResultRows(int32_t first) {
  const int32_t n = static_cast<int32_t>(members_.size());
  for (int i = 0; i < kResultRows; ++i) {
    const int32_t k = first + i;
    const bool filled = k >= 0 && k < n;
    FillResultRow(resultRows_[i], filled ? members_[static_cast<size_t>(k)] : -1, filled);
  }
}

void CVMenuSLG_tanren::FillResultRow(CVMenuBtn* row, int32_t busyo, bool filled) {
  if (!row) return;
  row->SetFlag(kWfRest4, filled);
  Show(row, true);
  if (!ValidBusyo(busyo)) {
    Show(row, false);
    return;
  }
  const BusyoRecord& r = BusyoTable[busyo];
  FillGeneralPanel(Child(row, kWidgetSprite, 0), busyo, r.stage == 3 ? 0 : r.progress);
  // The mark of a general whose growth was taken up (his growth mark cleared).
  Show(Child(row, kWidgetSprite, 1), r.growthMark == 0);
}

void CVMenuSLG_tanren::WriteTrainingMarks() {
  for (int32_t g : list_.Items()) {
    if (!ValidBusyo(g)) continue;
    const int32_t i = MemberIndex(g);
    BusyoTable[g].trainingChoice = static_cast<uint16_t>(static_cast<int16_t>(i < 0 ? 10 : i));
  }
}

void CVMenuSLG_tanren::Sort(int32_t id) {
  if (id == lastSortId_) {
    descending_ = !descending_;
    MarkSortButton(sortButton_, descending_ ? 2 : 1);
  } else {
    if (sortButton_) MarkSortButton(sortButton_, 0);
    sortButton_ = FindButtonById(id);
    MarkSortButton(sortButton_, 1);
    descending_ = false;
    lastSortId_ = id;
  }
  // Column 18 orders by the members' places, written just before.
  if (id == 2003) WriteTrainingMarks();
  list_.StableSort(SortColumn(id), descending_);
}

void CVMenuSLG_tanren::Update(int32_t x, int32_t y, uint32_t click) {
  const int32_t id = decidedId;
  const int32_t state = GetState();
  bool refill = false;
  if (state == 0 && id >= 3000 && id < 3000 + kCandidateRows) {
    const int32_t index = firstRow_ + (id - 3000);
    // A row past the list (the list shrank under a stale click) is no pick.
    if (index >= 0 && index < list_.Count()) {
      const int32_t g = list_.At(index);
      if (MemberIndex(g) >= 0)
        RemoveMember(g);
      else
        AddMember(g);
      refill = true;
    }
  } else if (state == 0 && id >= 2000 && id <= 2003) {
    Sort(id);
    refill = true;
  } else if (id >= 6000 && id < 6000 + kResultRows) {
    const int32_t k = firstResultRow_ + (id - 6000);
    if (k >= 0 && k < static_cast<int32_t>(members_.size())) {
      const int32_t g = members_[static_cast<size_t>(k)];
      PlayGeneralVoice(0, BusyoTable[g].voice, 23);
      if (dialogScene_) dialogScene_->OpenInfoDetail(g, 0, nullptr);
    }
  } else if (state == 3 && (id == kClosePageId || id == kCancelId)) {
    // The result page closed: there is nothing left to do in the dialog, which ends so that the
    // map takes input again (the training command waits for that).
    Show(frame2_, false);
    if (frame2_) frame2_->SetFlagAll(kWfEnabled, false);
    Finish();
    return;
  } else if (id == kClosePageId) {
    Show(frame2_, false);
    if (frame2_) frame2_->SetFlagAll(kWfEnabled, false);
  }
  FillRows(refill);
  WatchMemberSlots();
  WatchResult();
  const bool wasOpen = IsOpen();
  WatchAnimations();
  if (wasOpen && !IsOpen()) return;
  CVMenuSLG_CmdBase::Update(x, y, click);
}

void CVMenuSLG_tanren::Finish() {
  if (dialogScene_) dialogScene_->ShowMapMenu(true);
  LockInput(frame1_, true);
  state_ |= 2;
  state_ &= static_cast<uint16_t>(~1u);
  WatchAnimations();
}
