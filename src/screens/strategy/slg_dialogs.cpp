#include "screens/strategy/slg_dialogs.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "save/system_files.h"
#include "screens/strategy/menu_slg_main.h"
#include "screens/strategy/scene_slg.h"
#include "ui/menus/menu_mgr.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_list.h"
#include "ui/widgets/menu_text.h"
#include "ui/widgets/menu_window.h"
#include "world/record_lists.h"
#include "world/scenario_tables.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

CVMenuBase* Child(CVMenuBase* w, uint32_t type, int index) {
  return w ? w->FindChild(static_cast<int32_t>(type), index) : nullptr;
}

void Show(CVMenuBase* w, bool on) {
  if (w) w->SetFlagAll(kWfShown, on);
}

void SetText(CVMenuBase* parent, int index, const std::string& text) {
  if (auto* t = dynamic_cast<CVMenuText*>(Child(parent, kWidgetText, index))) t->SetText(text.c_str(), true);
}

// The button and its following buttons among its parent's children.
void CollectButtons(CVMenuBase* first, CVMenuBtn** out, int n) {
  int i = 0;
  for (CVMenuBase* w = first; w && i < n; w = w->NextSibling())
    if (auto* b = dynamic_cast<CVMenuBtn*>(w)) out[i++] = b;
}

}  // namespace

// ---- base ----

void CVMenuSLG_CmdBase::Update(int32_t x, int32_t y, uint32_t click) { CVMenuSceneRoot::Update(x, y, click); }

void CVMenuSLG_CmdBase::Open(int32_t a, int32_t b, int32_t c) {
  dialogScene_ = dynamic_cast<CVSceneSLG*>(scene);
  cancelId = kCancelId;
  CVMenuSceneRoot::Open(a, b, c);
  CVMenuBase* frame = GetFrameWindow();
  CenterOnScreen(frame);
  if (!open_) {
    // Only the first Open saves the bound, so a Close always restores the one from before it.
    open_ = true;
    CVMenuMgr& mgr = GetMenuMgr();
    savedDepthBound_ = mgr.GetDepthBound();
    Vector3 p(0, 0, 0);
    if (frame) frame->GetWorldPos(p);
    const float nudge = 1.1920928955078125e-07f;
    mgr.SetDepthBound(static_cast<int32_t>(p.z > 0 ? p.z + nudge : p.z - nudge));
  }
}

void CVMenuSLG_CmdBase::Close() {
  // A dialog that is not open leaves the bound alone (a second close, or the scene's shutdown).
  if (open_) {
    GetMenuMgr().SetDepthBound(savedDepthBound_);
    savedDepthBound_ = -1;
    open_ = false;
  }
  CVMenuSceneRoot::Close();
  // Forget only ourselves: a late close must not drop a newer dialog.
  if (dialogScene_) dialogScene_->ForgetDialogIf(this);
}

void CVMenuSLG_CmdBase::SetMessage(const char* text) {
  if (CVMenuText* t = GetMessageText()) t->SetText(text ? text : "", false);
}

CVMenuBase* CVMenuSLG_CmdBase::GetFrameWindow() { return FindChild(kWidgetSprite, 0); }

void CVMenuSLG_CmdBase::CenterOnScreen(CVMenuBase* w) {
  if (!w) return;
  w->SetPosXY((1280.0f - w->size.x) * 0.5f, (720.0f - w->size.y) * 0.5f);
  w->UpdateTransform(true);
}

// ---- clan choice ----

void CVMenuSLG_SeiryokuSel::FindWidgets() {
  frame_ = FindChild(kWidgetSprite, 0);
  CVMenuBase* panel = Child(frame_, kWidgetWindow, 1);
  scroll_ = dynamic_cast<CVMenuSBar*>(Child(panel, kWidgetSBar, 0));
  for (CVMenuBtn*& r : rows_) r = nullptr;
  CollectButtons(Child(Child(panel, kWidgetWindow, 0), kWidgetBtn, 0), rows_, kRows);
}

void CVMenuSLG_SeiryokuSel::Open(int32_t a, int32_t b, int32_t c) {
  a_ = a, b_ = b, c_ = c;
  FindWidgets();
  firstRow_ = 0;
  selectedIndex_ = focusedIndex_ = -1;
  selectedClan_ = focusedClan_ = -1;
  CVMenuSLG_CmdBase::Open(a, b, c);
  Refresh(true);
}

int32_t CVMenuSLG_SeiryokuSel::FirstRow() const { return scroll_ ? std::max(0, scroll_->value) : firstRow_; }

void CVMenuSLG_SeiryokuSel::SetValue(int32_t selector, int32_t value) {
  switch (selector) {
    case 0:
      clans_.clear();
      break;
    case 1:
      clans_.push_back(value);
      break;
    case 2:
      ApplyGroup();
      break;
    default:
      break;
  }
  // The rules fill the list after Open; the rows follow every change.
  if (selector == 0 || selector == 1) {
    if (scroll_) scroll_->SetMax(std::max(0, static_cast<int32_t>(clans_.size()) - kRows));
    Refresh(true);
  }
}

void CVMenuSLG_SeiryokuSel::ApplyGroup() {
  selectedIndex_ = focusedIndex_ = -1;
  firstRow_ = 0;
  if (scroll_) {
    scroll_->SetMax(std::max(0, static_cast<int32_t>(clans_.size()) - kRows));
    scroll_->SetValue(0);
  }
  Refresh(true);
}

int32_t CVMenuSLG_SeiryokuSel::GetResult(int32_t selector) {
  if (selector == 3) return selectedClan_;
  if (selector == 4) return focusedClan_;
  return -1;
}

void CVMenuSLG_SeiryokuSel::Refresh(bool force) {
  const int32_t first = FirstRow();
  if (!force && first == lastScroll_) return;
  lastScroll_ = first;
  for (int i = 0; i < kRows; ++i) {
    const int32_t index = first + i;
    const int32_t clan = index < static_cast<int32_t>(clans_.size()) ? clans_[index] : -1;
    FillRow(i, clan, index == selectedIndex_);
  }
}

void CVMenuSLG_SeiryokuSel::FillRow(int32_t row, int32_t clan, bool selected) {
  CVMenuBtn* b = RowButton(row);
  if (!b) return;
  // A clan without a head (an id of 1999 or more) is not listed.
  if (clan < 0 || clan > 255 || DaimyoTable[clan].head >= NullBusyoId) {
    Show(b, false);
    return;
  }
  Show(b, true);
  CVMenuBase* inner = Child(b, kWidgetSprite, 0);
  ShowFacePicture(Child(inner, kWidgetSprite, 0), BusyoTable[DaimyoTable[clan].head].picture);
  SetText(inner, 0, GetDaimyoName(static_cast<uint32_t>(clan), true));
  b->SetFlag(kWfRest4, selected);
}

void CVMenuSLG_SeiryokuSel::Update(int32_t x, int32_t y, uint32_t click) {
  CVMenuSLG_CmdBase::Update(x, y, click);
  const int32_t first = FirstRow();
  auto clanAt = [&](int32_t index) {
    return index >= 0 && index < static_cast<int32_t>(clans_.size()) ? clans_[index] : -1;
  };
  if (decidedId >= 3000 && decidedId <= 3002) {
    selectedIndex_ = first + (decidedId - 3000);
    selectedClan_ = clanAt(selectedIndex_);
    Refresh(true);
  }
  if (selectedId >= 3000 && selectedId <= 3002) {
    focusedIndex_ = first + (selectedId - 3000);
    focusedClan_ = clanAt(focusedIndex_);
  }
  Refresh(false);
}

// ---- start options and carried-over generals ----

void CVMenuSLG_StartHikitsugi::FindWidgets() {
  frame1_ = FindChild(kWidgetSprite, 0);
  frame2_ = frame1_ ? frame1_->NextSibling() : nullptr;
  points_ = Child(frame2_, kWidgetGroup, 0);
  pointsText_ = dynamic_cast<CVMenuText*>(Child(frame2_, kWidgetText, 1));
  CVMenuBase* listPanel = Child(frame2_, kWidgetWindow, 2);
  scroll_ = dynamic_cast<CVMenuSBar*>(Child(listPanel, kWidgetSBar, 0));
  for (CVMenuBtn*& r : rows_) r = nullptr;
  for (CVMenuBtn*& t : tabs_) t = nullptr;
  CollectButtons(Child(Child(listPanel, kWidgetWindow, 0), kWidgetBtn, 0), rows_, kRows);
  CollectButtons(Child(Child(frame2_, kWidgetWindow, 1), kWidgetBtn, 0), tabs_, kTabs);
}

CVMenuBase* CVMenuSLG_StartHikitsugi::GetFrameWindow() {
  switch (GetState()) {
    case 0:
      return frame1_;
    case 1:
      return frame2_;
    default:
      return nullptr;
  }
}

void CVMenuSLG_StartHikitsugi::Open(int32_t a, int32_t b, int32_t c) {
  FindWidgets();
  pointsLeft_ = 0;
  tab_ = 0;
  firstRow_ = 0;
  playerClan_ = static_cast<uint8_t>(b);
  CVMenuBase::SetState(a == 1 ? 1 : 0, 1);
  CVMenuSLG_CmdBase::Open(a, b, c);
  Show(frame1_, a != 1);
  Show(frame2_, a == 1);
  if (a == 1) {
    pointsLeft_ = GetHikitugiCapacity(PlayRecordBlock.clearCount);
    ShowPoints(pointsLeft_);
    Reload();
  }
}

void CVMenuSLG_StartHikitsugi::Close() {
  list_.Clear();
  candidates_.clear();
  chosen_.clear();
  CVMenuSLG_CmdBase::Close();
}

int32_t CVMenuSLG_StartHikitsugi::GetResult(int32_t selector) {
  switch (selector) {
    case 0:
      return CountChoosable();
    case 1:
      return static_cast<int32_t>(chosen_.size());
    case 2: {
      if (chosen_.empty()) return -1;
      const int32_t g = *chosen_.begin();
      chosen_.erase(chosen_.begin());
      return g;
    }
    default:
      return 0;
  }
}

void CVMenuSLG_StartHikitsugi::AddCost(int32_t busyo, bool chosen) {
  auto it = candidates_.find(busyo);
  if (it == candidates_.end()) return;
  pointsLeft_ += chosen ? -it->second.first : it->second.first;
  ShowPoints(pointsLeft_);
}

void CVMenuSLG_StartHikitsugi::ShowPoints(int32_t points) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "残り %d点", points);
  if (pointsText_) pointsText_->SetText(buf, true);
}

bool CVMenuSLG_StartHikitsugi::Toggle(int32_t busyo) {
  if (chosen_.erase(busyo)) return false;
  chosen_.insert(busyo);
  return true;
}

bool CVMenuSLG_StartHikitsugi::CanChoose(int32_t busyo, int32_t cost) const {
  return cost < pointsLeft_ && GetBusyoDaimyo(static_cast<uint32_t>(busyo)) != playerClan_;
}

int32_t CVMenuSLG_StartHikitsugi::CountChoosable() const {
  int32_t n = 0;
  for (const auto& [g, e] : candidates_) n += CanChoose(g, e.first) ? 1 : 0;
  return n;
}

void CVMenuSLG_StartHikitsugi::Reload() {
  list_.Clear();
  candidates_.clear();
  chosen_.clear();
  ::CTenkaList_Busyo ids;
  HikitugiList values;
  BuildHikitugiList(ids, values);
  for (int32_t g : ids) {
    if (g < 0 || g >= kBusyoCount) continue;
    auto it = values.find(g);
    const int32_t cost = it == values.end() ? 1 : std::max<int32_t>(1, HikitugiCost(it->second));
    // The page is the carry word that the tabs' filter matches against the tab.
    const int32_t page = it == values.end() ? 0 : HikitugiPage(it->second);
    candidates_[g] = {cost, page};
    list_.Add(g);
  }
  WriteCarryWords();
  SelectTab(tab_);
  FillRows(true);
}

void CVMenuSLG_StartHikitsugi::WriteCarryWords() {
  for (int g = 0; g < kBusyoCount; ++g) {
    auto it = candidates_.find(g);
    BusyoTable[g].carryWord = it == candidates_.end() ? 65535 : static_cast<uint16_t>(it->second.second);
  }
}

void CVMenuSLG_StartHikitsugi::SelectTab(int32_t tab) {
  list_.ResetView();
  list_.SetListMark(static_cast<uint16_t>(tab));
  list_.Filter(7, true);
  if (scroll_) {
    scroll_->SetMax(std::max(0, list_.Count() - kRows));
    scroll_->SetValue(0);
  }
  tab_ = tab;
  firstRow_ = 0;
  for (int i = 0; i < kTabs; ++i)
    if (tabs_[i]) tabs_[i]->SetFlag(kWfRest4, i == tab);
}

void CVMenuSLG_StartHikitsugi::FillRows(bool force) {
  const int32_t first = scroll_ ? std::max(0, scroll_->value) : firstRow_;
  if (!force && first == lastScroll_) return;
  lastScroll_ = first;
  firstRow_ = first;
  for (int i = 0; i < kRows; ++i) {
    const int32_t index = first + i;
    const int32_t g = index < list_.Count() ? list_.At(index) : 65535;
    FillRow(i, g, IsChosen(g));
  }
}

void CVMenuSLG_StartHikitsugi::FillRow(int32_t row, int32_t busyo, bool chosen) {
  CVMenuBtn* b = row >= 0 && row < kRows ? rows_[row] : nullptr;
  if (!b) return;
  auto it = candidates_.find(busyo);
  if (busyo < 0 || busyo >= kBusyoCount || it == candidates_.end()) {
    Show(b, false);
    return;
  }
  Show(b, true);
  ShowFacePicture(Child(b, kWidgetSprite, 0), BusyoTable[busyo].picture);
  SetText(b, 0, GetBusyoName(static_cast<uint32_t>(busyo)));
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d点", it->second.first);
  SetText(b, 1, buf);
  b->SetFlag(kWfRest4, chosen);
  b->SetFlag(kWfEnabled, chosen || CanChoose(busyo, it->second.first));
}

void CVMenuSLG_StartHikitsugi::Update(int32_t x, int32_t y, uint32_t click) {
  CVMenuSLG_CmdBase::Update(x, y, click);
  if (GetState() != 1) return;
  bool changed = false;
  if (decidedId >= 4000 && decidedId <= 4003) {
    const int32_t index = firstRow_ + (decidedId - 4000);
    const int32_t g = index < list_.Count() ? list_.At(index) : 65535;
    if (g != 65535) {
      auto it = candidates_.find(g);
      // Choosing needs points to spare; unchoosing always works.
      if (it != candidates_.end() && (IsChosen(g) || CanChoose(g, it->second.first))) {
        AddCost(g, Toggle(g));
        changed = true;
      }
    }
  } else if (decidedId >= 11000 && decidedId <= 11009 && decidedId - 11000 != tab_) {
    SelectTab(decidedId - 11000);
    changed = true;
  }
  FillRows(changed);
}
