#include "screens/strategy/slg_cmd_dialogs.h"
#include "screens/strategy/slg_widgets.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "screens/strategy/menu_slg_main.h"
#include "screens/strategy/scene_slg.h"
#include "screens/strategy/slg_general_table.h"
#include "sound/busyo_voice.h"
#include "ui/menus/menu_factory.h"
#include "ui/scenes/scene_dlg.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_list.h"
#include "ui/widgets/menu_pbar.h"
#include "ui/widgets/menu_text.h"
#include "ui/widgets/menu_window.h"
#include "ui/widgets/menu_window_group.h"
#include "world/record_lists.h"
#include "world/world_ports.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

using namespace slgw;

// The widget of the same kind after w among its siblings.
template <class T>
T* NextOfKind(CVMenuBase* w) {
  for (CVMenuBase* n = w ? w->NextSibling() : nullptr; n; n = n->NextSibling())
    if (n->widgetType == w->widgetType) return dynamic_cast<T*>(n);
  return nullptr;
}

// A general's row (or face) is shown only while it holds a general: true when shown.
bool ShowIfGeneral(CVMenuBase* w, int32_t busyo) {
  if (!w) return false;
  const bool shown = ValidBusyo(busyo);
  Show(w, shown);
  return shown;
}

// A scrolled list panel: its scroll bar, and its rows (the first `rowKind` widget of the panel's
// first window and that widget's siblings of the same kind).
template <class Row, size_t N>
CVMenuSBar* FindScrolledRows(CVMenuBase* panel, int rowKind, Row* (&rows)[N]) {
  rows[0] = dynamic_cast<Row*>(Child(Child(panel, kWidgetWindow, 0), rowKind, 0));
  for (size_t i = 1; i < N; ++i) rows[i] = NextOfKind<Row>(rows[i - 1]);
  return dynamic_cast<CVMenuSBar*>(Child(panel, kWidgetSBar, 0));
}

// Fills the rows from the list entry the scroll bar points at: fill(row, busyo or -1 past the end,
// list index). Unless forced, nothing is redrawn while the bar stays where it was.
template <class Row, size_t N, class Fill>
void FillScrolledRows(Row* const (&rows)[N], const slgui::CTenkaList_Busyo& list, const CVMenuSBar* scroll,
                      int32_t& firstRow, bool force, Fill fill) {
  const int32_t first = scroll ? std::max(0, scroll->value) : 0;
  if (first == firstRow && !force) return;
  for (size_t i = 0; i < N; ++i) {
    const int32_t index = first + static_cast<int32_t>(i);
    fill(rows[i], index < list.Count() ? list.At(index) : -1, index);
  }
  firstRow = first;
}

std::string Fmt(const char* f, const char* s) {
  char buf[256];
  std::snprintf(buf, sizeof buf, f, s);
  return buf;
}

template <class D>
CVMenuSceneRoot* Make(int32_t) {
  return new D();
}

}  // namespace

void RegisterCommandDialogTypes() {
  RegisterMenuType(31, &Make<CVMenuSLG_simple>);
  RegisterMenuType(32, &Make<CVMenuSLG_chosyu>);
  RegisterMenuType(33, &Make<CVMenuSLG_domei>);
  RegisterMenuType(34, &Make<CVMenuSLG_hikinuki>);
  RegisterMenuType(35, &Make<CVMenuSLG_idou>);
  RegisterMenuType(36, &Make<CVMenuSLG_shutsujin>);
  RegisterMenuType(37, &Make<CVMenuSLG_exp>);
  RegisterMenuType(45, &Make<CVMenuSLG_event>);
  RegisterMenuType(40, &Make<CVMenuSLG_item>);
  RegisterMenuType(41, &Make<CVMenuSLG_sikan>);
  RegisterMenuType(43, &Make<CVMenuSLG_InfoSei>);
  RegisterMenuType(46, &Make<CVMenuSLG_ending>);
  RegisterGeneralTableTypes();
}

// ---- value on a bar (31) ----

void CVMenuSLG_simple::FindWidgets() {
  frame_ = FindChild(kWidgetSprite, 0);
  num_[0] = Num(frame_, 0);
  num_[1] = NextOfKind<CVMenuWindowGroup>(num_[0]);
  inner_ = Child(frame_, kWidgetSprite, 0);
  num_[2] = Num(inner_, 0);
  pics_[0] = Child(inner_, kWidgetSprite, 0);
  pics_[1] = NextOfKind<CVMenuBase>(pics_[0]);
  bar_ = dynamic_cast<CVMenuPBar*>(Child(frame_, kWidgetPBar, 0));
  step_[0] = dynamic_cast<CVMenuBtn*>(Child(bar_, kWidgetBtn, 0));
  step_[1] = NextOfKind<CVMenuBtn>(step_[0]);
  text_ = TextOf(frame_, 0);
  confirm_ = dynamic_cast<CVMenuBtn*>(Child(Child(frame_, kWidgetWindow, 0), kWidgetBtn, 0));
}

CVMenuBase* CVMenuSLG_simple::GetFrameWindow() { return frame_; }

void CVMenuSLG_simple::Open(int32_t a, int32_t b, int32_t c) {
  a_ = a, b_ = b, c_ = c;
  FindWidgets();
  CVMenuSLG_CmdBase::Open(a, b, c);
  LockInput(this, false);
  ApplyGroup();
}

void CVMenuSLG_simple::ApplyGroup() {
  const bool watch = group_ == 1 || group_ == 2;
  const bool amount = group_ >= 3 && group_ <= 5;
  Show(inner_, amount || watch);
  // The inner panel holds both the chosen number (amounts) and the two pictures (watched effects).
  Show(num_[2], amount);
  Show(pics_[0], watch);
  Show(pics_[1], watch);
  if (watch && pics_[0]) pics_[0]->SetState(group_, 1);
  Show(step_[0], !watch);
  Show(step_[1], !watch);
  if (amount && bar_) bar_->minimum = 1;
  Refresh();
}

bool CVMenuSLG_simple::CanConfirm() {
  const int32_t money = PlayerDaimyoId < kDaimyoSlots ? DaimyoTable[PlayerDaimyoId].money : 0;
  if (group_ == 0) {
    const int kind = static_cast<uint8_t>(chosen_ - 1);
    const int cost = kind == 0 ? 5 : kind == 1 ? 15 : 0;
    return cost < money;
  }
  if (group_ == 5) return SlgRules().IsSiroWorkCostAffordable(a_ & 0xFFFF, chosen_);
  return true;
}

void CVMenuSLG_simple::Refresh() {
  if (group_ == 0) {
    Enable(confirm_, CanConfirm());
    const bool top = bar_ && chosen_ == bar_->maximum && chosen_ == 2;
    SetNum(num_[1], top ? 15 : 5);
  } else if (group_ >= 3 && group_ <= 5) {
    SetNum(num_[2], chosen_);
    Enable(confirm_, CanConfirm());
  }
}

void CVMenuSLG_simple::SetValue(int32_t selector, int32_t value) {
  switch (selector) {
    case 0:
      SetNum(num_[0], value);
      break;
    case 1:
      SetNum(num_[1], value);
      break;
    case 2:
      if (bar_) bar_->maximum = value;
      break;
    case 3:
      if (bar_) bar_->value = value;
      chosen_ = value;
      break;
    case 4:
      if (bar_) bar_->SetTarget(value, 200.0f);
      break;
    case 5:
      LockInput(this, true);
      break;
    case 6:
      if (bar_) bar_->minimum = value;
      break;
    case 7:
      limit_ = value;
      if (value < 15) {
        if (bar_) bar_->value = bar_->maximum = bar_->minimum;
        if (bar_) chosen_ = bar_->minimum;
        Enable(step_[0], false);
        Enable(step_[1], false);
      } else {
        Enable(step_[0], true);
        Enable(step_[1], true);
        if (bar_) bar_->value = chosen_ = bar_->maximum;
      }
      break;
    default:
      break;
  }
  Refresh();
}

void CVMenuSLG_simple::Update(int32_t x, int32_t y, uint32_t click) {
  if (bar_ && bar_->value != chosen_ && !bar_->IsGliding()) {
    // The step buttons keep the bar inside its range; a value outside it never becomes the answer.
    bar_->value = std::clamp(bar_->value, bar_->minimum, std::max(bar_->minimum, bar_->maximum));
    chosen_ = bar_->value;
    Refresh();
  }
  CVMenuSLG_CmdBase::Update(x, y, click);
}

// ---- three numbers and a confirmation (32) ----

void CVMenuSLG_chosyu::FindWidgets() {
  frame_ = FindChild(kWidgetSprite, 0);
  num_[0] = Num(frame_, 0);
  num_[1] = NextOfKind<CVMenuWindowGroup>(num_[0]);
  inner_ = Child(frame_, kWidgetSprite, 0);
  num_[2] = Num(inner_, 0);
  text_ = TextOf(frame_, 0);
  confirm_ = dynamic_cast<CVMenuBtn*>(Child(Child(frame_, kWidgetWindow, 0), kWidgetBtn, 0));
}

CVMenuBase* CVMenuSLG_chosyu::GetFrameWindow() { return frame_; }

void CVMenuSLG_chosyu::Open(int32_t a, int32_t b, int32_t c) {
  a_ = a, b_ = b, c_ = c;
  FindWidgets();
  CVMenuSLG_CmdBase::Open(a, b, c);
  LockInput(this, false);
  SetNum(num_[0], a);
  SetNum(num_[1], b);
  SetNum(num_[2], c);
  // The third number sits on the inner panel, shown in groups 1 and 2 only.
  Show(inner_, group_ == 1 || group_ == 2);
  Refresh();
}

void CVMenuSLG_chosyu::Refresh() {
  if (group_ >= 0 && group_ <= 2) Enable(confirm_, true);
}

void CVMenuSLG_chosyu::SetValue(int32_t selector, int32_t value) {
  if (selector >= 0 && selector <= 2)
    SetNum(num_[selector], value);
  else if (selector == 3)
    LockInput(this, true);
}

// ---- alliance (33) ----

void CVMenuSLG_domei::FindWidgets() {
  frame_ = FindChild(kWidgetSprite, 0);
  faces_[0] = Child(frame_, kWidgetSprite, 0);
  faces_[1] = Child(frame_, kWidgetSprite, 1);
  for (int i = 0; i < 4; ++i) num_[i] = Num(frame_, i);
  for (int i = 0; i < 4; ++i) texts_[i] = TextOf(frame_, i);
  message_ = NextOfKind<CVMenuText>(texts_[3]);
}

CVMenuBase* CVMenuSLG_domei::GetFrameWindow() { return frame_; }

void CVMenuSLG_domei::Open(int32_t a, int32_t b, int32_t c) {
  FindWidgets();
  CVMenuSLG_CmdBase::Open(a, b, c);
  LockInput(this, false);
  value1_ = a, value2_ = b, envoy_ = c, clan_ = 255;
  Refresh();
}

void CVMenuSLG_domei::SetValue(int32_t selector, int32_t value) {
  if (selector == 0)
    value1_ = value;
  else if (selector == 1)
    value2_ = value;
  else if (selector == 2)
    envoy_ = value;
  else if (selector == 3)
    clan_ = value;
  Refresh();
}

void CVMenuSLG_domei::Refresh() {
  SetNum(num_[0], value1_);
  SetNum(num_[1], value2_);
  Show(faces_[0], ValidBusyo(envoy_));
  if (ValidBusyo(envoy_)) ShowFacePicture(faces_[0], BusyoTable[envoy_].picture);
  SetText(texts_[0], ValidBusyo(envoy_) ? GetBusyoName(static_cast<uint32_t>(envoy_)) : "");
  // Clan 255 is no clan yet: the other side stays empty.
  const bool clan = clan_ >= 0 && clan_ < kDaimyoSlots && clan_ != 255;
  const int32_t head = clan ? DaimyoTable[clan_].head : 0xFFFF;
  Show(faces_[1], ValidBusyo(head));
  if (ValidBusyo(head)) ShowFacePicture(faces_[1], BusyoTable[head].picture);
  SetText(texts_[3], ValidBusyo(head) ? GetBusyoName(static_cast<uint32_t>(head)) : "");
  SetText(texts_[1], clan ? GetDaimyoName(static_cast<uint32_t>(clan_), true) : "");
  SetText(texts_[2], clan ? GetDaimyoRankName(static_cast<uint32_t>(clan_)) : "");
  SetNum(num_[2], clan ? DaimyoTable[clan_].revenue / 10 : 0);
  SetNum(num_[3], clan ? CountDaimyoKuni(static_cast<uint32_t>(clan_)) : 0);
}

// ---- poaching (34) ----

void CVMenuSLG_hikinuki::FindWidgets() {
  frame_ = FindChild(kWidgetSprite, 0);
  scroll_ = FindScrolledRows(Child(frame_, kWidgetWindow, 1), kWidgetBtn, rows_);
  num_[0] = Num(frame_, 0);
  num_[1] = NextOfKind<CVMenuWindowGroup>(num_[0]);
  bar_ = dynamic_cast<CVMenuPBar*>(Child(frame_, kWidgetPBar, 0));
  text_ = TextOf(frame_, 0);
}

CVMenuBase* CVMenuSLG_hikinuki::GetFrameWindow() { return frame_; }

void CVMenuSLG_hikinuki::Open(int32_t a, int32_t b, int32_t c) {
  a_ = static_cast<uint8_t>(a), b_ = static_cast<uint8_t>(b), c_ = c;
  selected_ = -1;
  targets_.clear();
  state_ = 0;
  FindWidgets();
  CVMenuSLG_CmdBase::Open(a, b, c);
  if (bar_) bar_->value = 0;
  LockInput(this, false);
  Reload();
}

void CVMenuSLG_hikinuki::SetMessage(const char* text) { SetText(text_, text ? text : ""); }

void CVMenuSLG_hikinuki::Reload() {
  list_.Clear();
  CTenkaList_Busyo ids;
  ListPoachCandidates(static_cast<uint32_t>(a_), static_cast<uint32_t>(b_), ids);
  for (int32_t id : ids) list_.Add(id);
  if (scroll_) {
    scroll_->SetMax(std::max(0, list_.Count() - kRows));
    scroll_->SetValue(0);
  }
  firstRow_ = 0;
  list_.StableSort(15, false);
  FillRows(true);
}

void CVMenuSLG_hikinuki::FillRows(bool force) {
  FillScrolledRows(rows_, list_, scroll_, firstRow_, force,
                   [this](CVMenuBtn* row, int32_t busyo, int32_t index) { FillRow(row, busyo, index == selected_); });
}

void CVMenuSLG_hikinuki::FillRow(CVMenuBtn* row, int32_t busyo, bool selected) {
  if (!ShowIfGeneral(row, busyo)) return;
  const auto id = static_cast<uint32_t>(busyo);
  CVMenuBase* inner = Child(row, kWidgetSprite, 0);
  ShowFacePicture(Child(inner, kWidgetSprite, 0), BusyoTable[busyo].picture);
  CVMenuText* name = TextOf(inner, 0);
  SetText(name, GetBusyoName(id));
  CVMenuText* castle = NextOfKind<CVMenuText>(name);
  const uint16_t siro = GetBusyoSiro(id);
  SetText(castle, siro < kSiroCount ? GetSiroName(siro, false) : "");
  SetText(NextOfKind<CVMenuText>(castle), GetDaimyoName(GetBusyoDaimyo(id), true));
  CVMenuWindowGroup* soldiers = Num(inner, 0);
  SetNum(soldiers, GetBusyoSoldiers(id));
  SetNum(NextOfKind<CVMenuWindowGroup>(soldiers), GetBusyoGuns(id));
  row->SetFlag(kWfRest4, selected);
}

void CVMenuSLG_hikinuki::SetValue(int32_t selector, int32_t value) {
  switch (selector) {
    case 0:
      SetNum(num_[0], value);
      break;
    case 1:
      SetNum(num_[1], value);
      break;
    case 2:
      if (bar_) bar_->maximum = value;
      break;
    case 3:
      targets_.push_back(value);
      break;
    case 4:
      state_ |= 1;
      break;
    case 5:
      LockInput(this, true);
      break;
    default:
      break;
  }
}

int32_t CVMenuSLG_hikinuki::GetResult(int32_t selector) {
  switch (selector) {
    case 6:
      return list_.Count();
    case 7:
      return selected_ >= 0 && selected_ < list_.Count() ? list_.At(selected_) : 0xFFFF;
    case 8:
      return (state_ & 1) ? 0 : 1;
    default:
      return 0;
  }
}

void CVMenuSLG_hikinuki::RefreshProgress() {
  if (!(state_ & 1) || !bar_ || bar_->IsGliding()) return;
  if (targets_.empty()) {
    state_ &= static_cast<uint16_t>(~1u);
    return;
  }
  bar_->SetTarget(targets_.front(), 200.0f);
  targets_.pop_front();
}

void CVMenuSLG_hikinuki::Update(int32_t x, int32_t y, uint32_t click) {
  bool changed = false;
  if (decidedId >= 2100 && decidedId < 2100 + kRows) {
    const int32_t index = firstRow_ + (decidedId - 2100);
    if (index >= 0 && index < list_.Count() && index != selected_) {
      selected_ = index;
      changed = true;
    }
  }
  FillRows(changed);
  RefreshProgress();
  CVMenuSLG_CmdBase::Update(x, y, click);
}

// ---- march (36) and moving (35) ----

void CVMenuSLG_shutsujin::FindWidgets() {
  frame_ = FindChild(kWidgetSprite, 0);
  text_ = TextOf(frame_, 0);
}

bool CVMenuSLG_shutsujin::HasLayoutWidgets() {
  FindWidgets();
  CVMenuBase* panel = Child(frame_, kWidgetWindow, 1);
  return text_ && Num(frame_, 1) && Child(Child(Child(panel, kWidgetWindow, 0), kWidgetWindow, 0), kWidgetSprite, 0);
}

CVMenuBase* CVMenuSLG_shutsujin::GetFrameWindow() { return frame_; }

void CVMenuSLG_shutsujin::Open(int32_t a, int32_t b, int32_t c) {
  number0_ = number1_ = 0;
  chosen_.Clear();
  a_ = a, b_ = b, c_ = c;
  FindWidgets();
  CVMenuSLG_CmdBase::Open(a, b, c);
}

void CVMenuSLG_shutsujin::SetValue(int32_t selector, int32_t value) {
  if (selector == 0)
    number0_ = value;
  else if (selector == 1)
    number1_ = value;
  else if (selector == 2)
    chosen_.Add(value);
  else if (selector == 3)
    Refresh();
}

void CVMenuSLG_shutsujin::FillFaceRow(CVMenuBase* first, const slgui::CTenkaList_Busyo& list) {
  int32_t i = 0;
  for (CVMenuBase* w = first; w; w = NextOfKind<CVMenuBase>(w), ++i) {
    const int32_t b = i < list.Count() ? list.At(i) : -1;
    Show(w, ValidBusyo(b));
    if (ValidBusyo(b)) ShowFacePicture(w, BusyoTable[b].picture);
  }
}

namespace {
// One side of the march or move panel: country text, castle text, face row.
void FillSide(CVMenuBase* side, int32_t siro, const slgui::CTenkaList_Busyo& faces) {
  CVMenuText* country = TextOf(side, 0);
  CVMenuText* castle = NextOfKind<CVMenuText>(country);
  if (siro == CVMenuSLG_shutsujin::kNoCastle) {
    SetText(country, "---");
    SetText(castle, "居城");
  } else {
    const uint16_t kuni = GetSiroKuni(static_cast<uint32_t>(siro));
    SetText(country, kuni < kKuniSlots ? GetKuniName(kuni) : "---");
    SetText(castle, GetSiroName(static_cast<uint32_t>(siro), true));
  }
  CVMenuSLG_shutsujin::FillFaceRow(Child(Child(side, kWidgetWindow, 0), kWidgetSprite, 0), faces);
}
}  // namespace

void CVMenuSLG_shutsujin::Refresh() {
  // A target outside the castle table changes nothing: the widgets keep their last content.
  if (b_ < 0 || b_ >= kSiroCount) return;
  SetNum(Num(frame_, 0), number0_);
  SetNum(Num(frame_, 1), number1_);
  CVMenuBase* panel = Child(Child(frame_, kWidgetWindow, 1), kWidgetWindow, 0);
  FillSide(panel, b_, chosen_);
  // The target's standing: its level, how many go against it and how many hold it, and its owner.
  const SiroRecord& target = SiroTable[b_];
  CTenkaList_Busyo held;
  ListSiroBusyoAll(static_cast<uint32_t>(b_), held);
  CVMenuWindowGroup* level = Num(panel, 0);
  SetNum(level, target.level);
  CVMenuWindowGroup* going = NextOfKind<CVMenuWindowGroup>(level);
  SetNum(going, chosen_.Count());
  SetNum(NextOfKind<CVMenuWindowGroup>(going), static_cast<int32_t>(held.size()));
  CVMenuText* owner = NextOfKind<CVMenuText>(NextOfKind<CVMenuText>(TextOf(panel, 0)));
  SetText(owner, target.owner < kDaimyoSlots && target.owner != kNoDaimyo ? GetDaimyoName(target.owner, true) : "");
}

void CVMenuSLG_idou::Open(int32_t a, int32_t b, int32_t c) {
  CVMenuSLG_shutsujin::Open(a, b, c);
  stationed_.Clear();
  if (b >= 0 && b < kSiroCount) {
    CTenkaList_Busyo ids;
    ListSiroBusyoAll(static_cast<uint32_t>(b), ids);
    for (int32_t id : ids) stationed_.Add(id);
  }
}

bool CVMenuSLG_idou::HasLayoutWidgets() {
  if (!CVMenuSLG_shutsujin::HasLayoutWidgets()) return false;
  CVMenuBase* src = Child(Child(frame_, kWidgetWindow, 1), kWidgetWindow, 0);
  return NextOfKind<CVMenuBase>(src) != nullptr;
}

void CVMenuSLG_idou::Refresh() {
  const bool fromNone = a_ == kNoCastle && b_ >= 0 && b_ < kSiroCount;
  const bool both = a_ >= 0 && a_ < kSiroCount && b_ >= 0 && b_ < kSiroCount;
  if (!fromNone && !both) return;
  SetNum(Num(frame_, 0), number0_);
  SetNum(Num(frame_, 1), number1_);
  CVMenuBase* src = Child(Child(frame_, kWidgetWindow, 1), kWidgetWindow, 0);
  FillSide(src, a_, chosen_);
  FillSide(NextOfKind<CVMenuBase>(src), b_, stationed_);
}

// ---- the general who appeared (41) ----

void CVMenuSLG_sikan::Open(int32_t a, int32_t b, int32_t c) {
  a_ = a, b_ = b, c_ = c;
  face_ = dynamic_cast<CVMenuBtn*>(Child(GetFrameWindow(), kWidgetBtn, 0));
  CVMenuSLG_CmdBase::Open(a, b, c);
  Refresh(a);
}

void CVMenuSLG_sikan::Refresh(int32_t busyo) {
  if (!ShowIfGeneral(face_, busyo)) return;
  ShowFacePicture(Child(face_, kWidgetSprite, 0), BusyoTable[busyo].picture);
  SetText(TextOf(face_, 0), GetBusyoName(static_cast<uint32_t>(busyo)));
}

// ---- the item won (40) ----

void CVMenuSLG_item::Open(int32_t a, int32_t b, int32_t c) {
  a_ = a, b_ = b, c_ = c;
  panel_ = Child(GetFrameWindow(), kWidgetWindow, 1);
  CVMenuSLG_CmdBase::Open(a, b, c);
  Refresh(a);
}

void CVMenuSLG_item::Refresh(int32_t item) {
  const ItemRecord* r = item >= 1 && item <= 128 ? GetItemRecord(static_cast<uint32_t>(item)) : nullptr;
  if (!r) {
    Show(panel_, false);
    return;
  }
  Show(panel_, true);
  if (CVMenuBase* icon = Child(panel_, kWidgetSprite, 0)) icon->SetState(std::max(0, r->cls - 1), 1);
  SetText(TextOf(panel_, 0), FieldString(r->name, sizeof r->name));
}

// ---- ending pages (46) ----

void CVMenuSLG_ending::Open(int32_t a, int32_t b, int32_t c) {
  state_ = 0;
  finished_ = false;
  pages_ = FindChild(kWidgetWindow, 0);
  CVMenuSLG_CmdBase::Open(a, b, c);
  Refresh(a);
}

void CVMenuSLG_ending::Refresh(int32_t page) {
  for (int i = 0; CVMenuBase* p = Child(pages_, kWidgetWindow, i); ++i) Show(p, false);
  // The parent's own flag only: its whole tree would show every page again.
  if (pages_) pages_->SetFlag(kWfShown, true);
  page_ = nullptr;
  if (page < 0 || page > 4) return;
  page_ = Child(pages_, kWidgetWindow, page);
  if (!page_) return;
  page_->SetFlagAll(kWfAnimRunning, true);
  page_->SetFlagAll(kWfShown, true);
  page_->ClearAnimeQueueTree();
  page_->PlayAnimeTree(1);
  state_ |= 1;
}

void CVMenuSLG_ending::Update(int32_t x, int32_t y, uint32_t click) {
  const bool clicked = click != 0;
  if (page_) {
    if (state_ & 1) {
      if (clicked) page_->FinishAnimeTree();
      if (clicked || !page_->IsAnimeQueuedTree()) {
        page_->PlayAnimeTree(3);
        state_ &= static_cast<uint16_t>(~1u);
      }
    } else if (state_ & 2) {
      if (clicked) page_->FinishAnimeTree();
      if (clicked || !page_->IsAnimeQueuedTree()) {
        state_ &= static_cast<uint16_t>(~2u);
        finished_ = true;
      }
    } else if (clicked && !finished_) {
      page_->PlayAnimeTree(2);
      state_ |= 2;
    }
  }
  CVMenuSLG_CmdBase::Update(x, y, click);
}

// ---- clan information (43) ----

void CVMenuSLG_InfoSei::FindWidgets() {
  frame_ = FindChild(kWidgetSprite, 0);
  main_ = Child(frame_, kWidgetSprite, 1);
  CVMenuBtn* b = dynamic_cast<CVMenuBtn*>(Child(Child(main_, kWidgetWindow, 2), kWidgetBtn, 0));
  for (int i = 0; i < kClans; ++i) {
    buttons_[i] = b;
    b = NextOfKind<CVMenuBtn>(b);
  }
  numbers_ = Child(main_, kWidgetWindow, 1);
  message_ = TextOf(main_, 0);
}

void CVMenuSLG_InfoSei::Open(int32_t a, int32_t b, int32_t c) {
  state_ = 0;
  a_ = a, b_ = b, c_ = c;
  FindWidgets();
  if (frame_) frame_->SetFlag(kWfAnimRunning, true);
  selected_ = answer_ = -1;
  value2_ = value3_ = 0;
  switch_ = false;
  CVMenuSLG_CmdBase::Open(a, b, c);
  // The clan list covers the map: the map is hidden and its buttons locked until Finish.
  if (dialogScene_) dialogScene_->ShowMapMenu(false);
  if (main_) {
    main_->SetFlag(kWfAnimRunning, true);
    main_->ClearAnimeQueue();
    main_->PlayAnime(1);
  }
  if (frame_) {
    frame_->ClearAnimeQueue();
    frame_->PlayAnime(1);
  }
  state_ |= 1;
  LockInput(frame_, true);
  SetState(0, 1);
}

int32_t CVMenuSLG_InfoSei::SetState(int32_t state, int32_t force) {
  const bool changed = GetState() != state;
  const int32_t r = CVMenuSLG_CmdBase::SetState(state, force);
  if (!changed && !force) return r;
  if (state == 0) {
    SetText(message_, "勢力を選択してください。");
    selected_ = answer_ = -1;
    FillClanButtons();
    FillNumbers();
  } else if (state == 1) {
    SetText(message_, Fmt("%sの勢力情報を調べます。", GetDaimyoName(static_cast<uint32_t>(selected_), true)));
    answer_ = -1;
    FillClanButtons();
    FillNumbers();
    OpenDialogScene(3, 0);
  }
  return r;
}

void CVMenuSLG_InfoSei::SetValue(int32_t selector, int32_t value) {
  switch (selector) {
    case 2:
      value2_ = value;
      break;
    case 3:
      value3_ = value;
      break;
    case 4:
      FillNumbers();
      break;
    case 5:
      SetState(0, 1);
      selected_ = -1;
      break;
    case 6:
      switch_ = value != 0;
      break;
    default:
      break;
  }
}

int32_t CVMenuSLG_InfoSei::GetResult(int32_t selector) {
  if (selector == 0) return selected_;
  if (selector == 1) return answer_;
  return -1;
}

void CVMenuSLG_InfoSei::FillClanButtons() {
  for (int i = 0; i < kClans; ++i) FillClanButton(buttons_[i], i, i == selected_);
}

void CVMenuSLG_InfoSei::FillClanButton(CVMenuBtn* b, int32_t clan, bool selected) {
  if (!b || clan < 0 || clan > 255) return;
  Enable(b, false);
  b->SetFlag(kWfRest4, selected);
  const DaimyoRecord& d = DaimyoTable[clan];
  CVMenuBase* inner = Child(b, kWidgetSprite, 0);
  if (d.head >= kBusyoCount) {
    Show(b, false);
    return;
  }
  Show(b, true);
  CVMenuBase* face = Child(inner, kWidgetSprite, 0);
  ShowFacePicture(face, BusyoTable[d.head].picture);
  SetText(TextOf(inner, 0), GetDaimyoName(static_cast<uint32_t>(clan), true));
  const bool empty = CountDaimyoBusyo(static_cast<uint32_t>(clan)) == 0;
  CVMenuBase* mark = NextOfKind<CVMenuBase>(face);
  for (CVMenuBase* w : {face, mark}) {
    if (!w) continue;
    w->SetFlag(kWfAnimRunning, true);
    w->ClearAnimeQueue();
  }
  if (face) face->PlayAnime(empty ? 10 : 1);
  if (mark) {
    mark->PlayAnime(empty ? 10 : d.rank + 1);
    mark->SetState(std::min<int32_t>(d.rank, 4), 1);
  }
  Show(NextOfKind<CVMenuBase>(mark), empty);
  const bool own = clan == PlayerDaimyoId;
  const bool barred = (d.turnFlags & 8) != 0;
  Enable(b, !empty && !own && !barred);
}

void CVMenuSLG_InfoSei::FillNumbers() {
  CVMenuBase* first = Child(numbers_, kWidgetSprite, 1);
  CVMenuWindowGroup* n = Num(first, 0);
  SetNum(n, value2_);
  SetNum(NextOfKind<CVMenuWindowGroup>(n), a_ >= 0 && a_ < kDaimyoSlots ? DaimyoTable[a_].cp : 0);
  SetNum(Num(NextOfKind<CVMenuBase>(first), 0), value3_);
}

void CVMenuSLG_InfoSei::WatchAnimations() {
  if ((state_ & 1) && frame_ && !frame_->IsAnimeQueued()) {
    LockInput(frame_, false);
    state_ &= static_cast<uint16_t>(~1u);
  }
  if ((state_ & 2) && frame_ && !frame_->IsAnimeQueued()) {
    state_ &= static_cast<uint16_t>(~2u);
    // The closing animation has ended: the dialog closes, so the depth bound it raised comes down
    // and the map takes input again.
    Close();
  }
}

void CVMenuSLG_InfoSei::Update(int32_t x, int32_t y, uint32_t click) {
  if (GetState() == 0 && decidedId >= 3000 && decidedId < 3000 + kClans) {
    // Only the pick: the rules fill the cost and then set state 1, which asks the question (asked
    // here as well, it would come twice).
    selected_ = decidedId - 3000;
  } else if (GetState() == 1) {
    answer_ = ::GetDialogResult();
  }
  const bool wasOpen = IsOpen();
  WatchAnimations();
  if (wasOpen && !IsOpen()) return;
  CVMenuSLG_CmdBase::Update(x, y, click);
}

void CVMenuSLG_InfoSei::Finish() {
  if (dialogScene_) dialogScene_->ShowMapMenu(true);
  LockInput(frame_, true);
  if (frame_) frame_->PlayAnime(2);
  state_ |= 2;
  // Without a closing animation there is nothing to wait for.
  WatchAnimations();
}

// ---- the general list (37) ----

void CVMenuSLG_exp::FindWidgets() {
  frame_ = FindChild(kWidgetSprite, 0);
  scroll_ = FindScrolledRows(Child(frame_, kWidgetWindow, 1), kWidgetBtn, rows_);
}

void CVMenuSLG_exp::Open(int32_t a, int32_t b, int32_t c) {
  FindWidgets();
  CVMenuSLG_CmdBase::Open(a, b, c);
  // A right click leaves the list (state 2).
  cancelId = kBackId;
  Reload();
}

int32_t CVMenuSLG_exp::SetState(int32_t state, int32_t force) {
  const bool changed = GetState() != state;
  const int32_t r = CVMenuSLG_CmdBase::SetState(state, force);
  if (changed) Reload();
  return r;
}

void CVMenuSLG_exp::Reload() {
  list_.Clear();
  if (dialogScene_)
    for (int32_t id : dialogScene_->GetListA()->Items()) list_.Add(id);
  if (GetState() == 1) list_.Filter(3, false);
  if (scroll_) {
    scroll_->SetMax(std::max(0, list_.Count() - kRows));
    scroll_->SetValue(0);
  }
  list_.StableSort(0, false);
  firstRow_ = 0;
  FillRows(true);
}

void CVMenuSLG_exp::FillRows(bool force) {
  FillScrolledRows(rows_, list_, scroll_, firstRow_, force,
                   [this](CVMenuBtn* row, int32_t busyo, int32_t) { FillRow(row, busyo); });
}

void CVMenuSLG_exp::FillRow(CVMenuBtn* row, int32_t busyo) {
  if (!ShowIfGeneral(row, busyo)) return;
  const BusyoRecord& r = BusyoTable[busyo];
  CVMenuBase* inner = Child(row, kWidgetSprite, 0);
  ShowFacePicture(Child(inner, kWidgetSprite, 0), r.picture);
  SetText(TextOf(inner, 0), GetBusyoName(static_cast<uint32_t>(busyo)));
  SetNum(Num(inner, 0), r.stage + 1);
  SetNum(Num(inner, 1), r.progress);
  Show(Child(inner, kWidgetSprite, 1), r.grownWord != 0);
}

void CVMenuSLG_exp::Update(int32_t x, int32_t y, uint32_t click) {
  if (decidedId >= 2100 && decidedId < 2100 + kRows) {
    const int32_t index = firstRow_ + (decidedId - 2100);
    const int32_t busyo = index >= 0 && index < list_.Count() ? list_.At(index) : 0xFFFF;
    if (ValidBusyo(busyo)) {
      if (BusyoTable[busyo].grownWord != 0) PlayGeneralVoice(0, BusyoTable[busyo].voice, 23);
      if (dialogScene_) dialogScene_->OpenInfoDetail(busyo, 0, &list_);
    }
  } else if (decidedId == kBackId) {
    SetState(2, 0);
  }
  FillRows(false);
  CVMenuSLG_CmdBase::Update(x, y, click);
}

// ---- visits (45) ----

void CVMenuSLG_event::FindWidgets() {
  frame_ = FindChild(kWidgetSprite, 0);
  face_ = Child(frame_, kWidgetSprite, 0);
  confirm_ = dynamic_cast<CVMenuBtn*>(Child(Child(frame_, kWidgetWindow, 0), kWidgetBtn, 0));
  number_ = Num(frame_, 0);
  scroll_ = FindScrolledRows(Child(frame_, kWidgetWindow, 2), kWidgetWindow, rows_);
}

void CVMenuSLG_event::MarkSortButton(CVMenuBase* b, int32_t mark) {
  if (auto* btn = dynamic_cast<CVMenuBtn*>(b)) btn->SetStateAnimes(mark, mark, mark, mark, mark);
  if (CVMenuBase* m = Child(b, kWidgetSprite, 0)) m->SetState(mark, 1);
}

void CVMenuSLG_event::Open(int32_t a, int32_t b, int32_t c) {
  chosen_ = 0xFFFF;
  firstRow_ = 0;
  lastSortId_ = -1;
  descending_ = false;
  selectedRow_ = -1;
  FindWidgets();
  if (sortButton_) MarkSortButton(sortButton_, 0);
  sortButton_ = nullptr;
  CVMenuSLG_CmdBase::Open(a, b, c);
  SetState(0, 1);
  Reload(true);
}

int32_t CVMenuSLG_event::SetState(int32_t state, int32_t force) {
  const bool changed = GetState() != state;
  const int32_t r = CVMenuSLG_CmdBase::SetState(state, force);
  if (!changed && !force) return r;
  // Confirm only once a general is picked; his face shows then.
  Enable(confirm_, state == 1);
  Show(face_, state == 1);
  return r;
}

void CVMenuSLG_event::SetValue(int32_t selector, int32_t value) {
  if (selector == 1) {
    if (face_) face_->SetState(value != 0 ? 1 : 0, 1);
  } else if (selector == 2) {
    Reload(false);
  } else if (selector == 3) {
    selectableAll_ = value;
    Reload(false);
  }
}

void CVMenuSLG_event::Reload(bool reset) {
  list_.Clear();
  SetNum(number_, selectableAll_);
  std::vector<uint32_t> keys;
  ListSlgEventKeys(keys);
  for (uint32_t k : keys) list_.Add(static_cast<int32_t>(k));
  if (scroll_) scroll_->SetMax(std::max(0, list_.Count() - kRows));
  if (reset) {
    if (scroll_) scroll_->SetValue(0);
    list_.StableSort(0, false);
    firstRow_ = 0;
  } else {
    list_.StableSort(SortColumn(lastSortId_), descending_);
  }
  FillRows(true);
}

void CVMenuSLG_event::FillRows(bool force) {
  FillScrolledRows(rows_, list_, scroll_, firstRow_, force,
                   [this](CVMenuBase* row, int32_t busyo, int32_t) { FillRow(row, busyo); });
}

void CVMenuSLG_event::FillRow(CVMenuBase* row, int32_t busyo) {
  if (!ShowIfGeneral(row, busyo)) return;
  const BusyoRecord& r = BusyoTable[busyo];
  auto* pick = dynamic_cast<CVMenuBtn*>(Child(row, kWidgetBtn, 0));
  auto* kind = NextOfKind<CVMenuBtn>(pick);
  if (kind) {
    const int32_t v = r.listValue;
    kind->SetStateAnimes(v, v + 3, v + 6, v, v);
    kind->SetFlagAll(kWfNoHit, true);
  }
  CVMenuBase* face = Child(pick, kWidgetSprite, 0);
  ShowFacePicture(face, r.picture);
  SetText(TextOf(pick, 0), GetBusyoName(static_cast<uint32_t>(busyo)));
  Enable(row, true);
  const auto it = SlgEventMap.find(static_cast<uint32_t>(busyo));
  const bool available = it != SlgEventMap.end() && (it->second.flags & 1) != 0;
  CVMenuBase* marker = NextOfKind<CVMenuBase>(face);
  Show(marker, !IsBusyoMarked(static_cast<uint32_t>(busyo)));
  if (CVMenuBase* state = NextOfKind<CVMenuBase>(marker)) state->SetState(available ? 0 : 1, 1);
  const bool enabled = selectableAll_ != 0 || available;
  Enable(row, enabled);
  Enable(pick, enabled);
  if (pick) pick->SetFlag(kWfRest4, busyo == chosen_);
}

void CVMenuSLG_event::Update(int32_t x, int32_t y, uint32_t click) {
  bool refill = false;
  if (decidedId == 2000 || decidedId == 2001) {
    if (decidedId == lastSortId_) {
      descending_ = !descending_;
      MarkSortButton(sortButton_, descending_ ? 2 : 1);
    } else {
      if (sortButton_) MarkSortButton(sortButton_, 0);
      sortButton_ = FindButtonById(decidedId);
      MarkSortButton(sortButton_, 1);
      descending_ = false;
      lastSortId_ = decidedId;
    }
    list_.StableSort(SortColumn(decidedId), descending_);
    refill = true;
  } else if (decidedId >= 2100 && decidedId < 2100 + kRows) {
    const int32_t index = firstRow_ + (decidedId - 2100);
    const int32_t busyo = index >= 0 && index < list_.Count() ? list_.At(index) : -1;
    if (busyo != -1 && busyo != 0xFFFF) {
      chosen_ = busyo;
      SetState(1, 0);
      const auto it = SlgEventMap.find(static_cast<uint32_t>(busyo));
      if (it != SlgEventMap.end() && face_) face_->SetState(it->second.flags & 1, 1);
      selectedRow_ = index;
      refill = true;
    }
  }
  FillRows(refill);
  CVMenuSLG_CmdBase::Update(x, y, click);
}
