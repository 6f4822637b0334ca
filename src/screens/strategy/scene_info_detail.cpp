#include "screens/strategy/scene_info_detail.h"

#include <algorithm>
#include <cstdio>

#include "screens/strategy/menu_slg_main.h"
#include "ui/menus/menu_factory.h"
#include "ui/menus/menu_mgr.h"
#include "ui/scenes/scene_mgr.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_list.h"
#include "ui/widgets/menu_text.h"
#include "ui/widgets/menu_window.h"
#include "ui/widgets/menu_window_group.h"
#include "ui/widgets/widget_services.h"
#include "world/record_lists.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

CVMenuBase* Child(CVMenuBase* w, uint32_t type, int index) {
  return w ? w->FindChild(static_cast<int32_t>(type), index) : nullptr;
}

void SetText(CVMenuBase* parent, int index, const char* s) {
  if (auto* t = dynamic_cast<CVMenuText*>(Child(parent, kWidgetText, index))) t->SetText(s ? s : "", true);
}

void SetNum(CVMenuBase* parent, int index, int32_t v) {
  if (auto* g = dynamic_cast<CVMenuWindowGroup*>(Child(parent, kWidgetGroup, index))) {
    g->SetValue(v, false);
    g->Display(v);
  }
}

CVScene* CreateDetailScene(int32_t id) { return new CVSceneInfoDetail(id); }
CVMenuSceneRoot* MakeDetail(int32_t) { return new CVMenuSLG_detail(); }

}  // namespace

void RegisterInfoDetailScene(CVSceneMgr& mgr) {
  mgr.SetSceneFactory(CVSceneInfoDetail::kSceneId, &CreateDetailScene);
  RegisterMenuType(110, &MakeDetail);
}

// ---- the page ----

namespace {

// The widget of the same kind after w among its siblings.
CVMenuBtn* NextButton(CVMenuBase* w) {
  for (CVMenuBase* n = w ? w->NextSibling() : nullptr; n; n = n->NextSibling())
    if (n->widgetType == kWidgetBtn) return dynamic_cast<CVMenuBtn*>(n);
  return nullptr;
}

// A run of sibling buttons from the first button under parent.
template <size_t N>
void FindButtons(CVMenuBase* parent, CVMenuBtn* (&out)[N]) {
  out[0] = dynamic_cast<CVMenuBtn*>(Child(parent, kWidgetBtn, 0));
  for (size_t i = 1; i < N; ++i) out[i] = NextButton(out[i - 1]);
}

void Show(CVMenuBase* w, bool on) {
  if (w) w->SetFlagAll(kWfShown, on);
}

void Enable(CVMenuBase* w, bool on) {
  if (w) w->SetFlag(kWfEnabled, on);
}

bool ValidBusyo(int32_t b) { return b >= 0 && b < kBusyoCount; }

int32_t FirstItem(int32_t busyo) { return ValidBusyo(busyo) ? BusyoTable[busyo].items[0] : 0; }

}  // namespace

void CVMenuSLG_detail::FindWidgets() {
  root_ = FindChild(kWidgetWindow, 0);
  panel_ = Child(root_, kWidgetSprite, 1);
  skillPanel_ = Child(root_, kWidgetSprite, 2);
  skillWin_ = Child(skillPanel_, kWidgetWindow, 1);
  listPanel_ = Child(root_, kWidgetSprite, 3);
  holdPanel_ = Child(root_, kWidgetSprite, 4);
  item_ = Child(holdPanel_, kWidgetSprite, 0);
  scroll_ = dynamic_cast<CVMenuSBar*>(Child(listPanel_, kWidgetSBar, 0));
  FindButtons(listPanel_, rows_);
  FindButtons(Child(listPanel_, kWidgetWindow, 0), kindTab_);
  FindButtons(Child(skillPanel_, kWidgetWindow, 0), skillBtn_);
  FindButtons(holdPanel_, holdBtn_);
  nextBtn_ = dynamic_cast<CVMenuBtn*>(Child(root_, kWidgetBtn, 0));
  backBtn_ = NextButton(nextBtn_);
}

bool CVMenuSLG_detail::HasLayoutWidgets() {
  FindWidgets();
  bool ok = panel_ && skillWin_ && listPanel_ && item_ && scroll_ && nextBtn_ && backBtn_;
  for (CVMenuBtn* b : rows_) ok = ok && b && Child(b, kWidgetSprite, 0);
  for (CVMenuBtn* b : kindTab_) ok = ok && b;
  for (CVMenuBtn* b : skillBtn_) ok = ok && b;
  for (CVMenuBtn* b : holdBtn_) ok = ok && b;
  return ok;
}

void CVMenuSLG_detail::Open(int32_t a, int32_t b, int32_t c) {
  owner_ = dynamic_cast<CVSceneInfoDetail*>(scene);
  FindWidgets();
  CVMenuSceneRoot::Open(a, b, c);
  RebuildItems(-1);
  // The page opens on the general's own panel, whatever it showed last.
  CVMenuBase::SetState(0, 1);
  EnterState();
}

bool CVMenuSLG_detail::MayEdit() {
  if (!owner_) owner_ = dynamic_cast<CVSceneInfoDetail*>(scene);
  return owner_ && owner_->IsOwnClanBusyo(busyo_);
}

void CVMenuSLG_detail::SetBusyo(int32_t busyo) {
  if (!root_) FindWidgets();
  const bool changed = busyo != busyo_;
  if (changed) {
    busyo_ = busyo;
    FillGeneral();
  }
  SetState(0, changed ? 1 : 0);
}

void CVMenuSLG_detail::SetOptions(bool prev, bool next) {
  prev_ = prev, next_ = next;
  UpdateButtons();
}

int32_t CVMenuSLG_detail::SetState(int32_t state, int32_t force) {
  if (!CVMenuBase::SetState(state, force)) return 0;
  EnterState();
  return 1;
}

void CVMenuSLG_detail::EnterState() {
  const int32_t state = GetState();
  if (state == 0) {
    Show(panel_, true);
    Show(listPanel_, false);
    FillGeneral();
    items_.ResetView();
    if (panel_) panel_->SetFlagAll(kWfNoHit, false);
    if (listPanel_) listPanel_->SetFlagAll(kWfNoHit, true);
  } else {
    Show(panel_, false);
    Show(listPanel_, true);
    if (state == 1) kind_ = FirstUsableKind();
    SelectKind(kind_);
    if (panel_) panel_->SetFlagAll(kWfNoHit, true);
    if (listPanel_) listPanel_->SetFlagAll(kWfNoHit, false);
  }
  UpdateButtons();
}

void CVMenuSLG_detail::FillGeneral() {
  if (!ValidBusyo(busyo_)) {
    FillItem(0);
    ShowSkill(busyo_, skill_);
    return;
  }
  const auto id = static_cast<uint32_t>(busyo_);
  const BusyoRecord& r = BusyoTable[busyo_];
  CVMenuBase* face = Child(panel_, kWidgetSprite, 0);
  ShowFacePicture(face, r.picture);
  CVMenuBase* kind = Child(panel_, kWidgetSprite, 1);
  if (kind) kind->SetState(std::max(0, GetKindCycleNext(r.kind) - 1), 1);
  SetText(panel_, 0, GetBusyoName(id));
  const uint16_t siro = GetBusyoSiro(id);
  const char* castle = "";
  const char* country = "---";
  if (siro == 513) {
    castle = "居城";
  } else if (siro < kSiroCount) {
    castle = GetSiroName(siro, true);
    const uint16_t kuni = GetSiroKuni(siro);
    if (kuni < kKuniSlots) country = GetKuniName(kuni);
  }
  SetText(panel_, 1, country);
  SetText(panel_, 2, castle);
  const int32_t stats[7] = {GetBusyoStat1(id),      GetBusyoStat2(id), GetBusyoStat3(id), GetBusyoSoldiers(id) * 100,
                            GetBusyoGuns(id) * 100, r.stage + 1,       r.progress};
  for (int i = 0; i < 7; ++i) SetNum(panel_, i, stats[i]);
  FillItem(r.items[0]);
  // The skill window follows the general on show (it would otherwise keep the last one's skill).
  ShowSkill(busyo_, skill_);
}

void CVMenuSLG_detail::FillItem(int32_t item) {
  const ItemRecord* rec = item >= 1 && item <= 128 ? GetItemRecord(static_cast<uint32_t>(item)) : nullptr;
  if (!item_) return;
  if (!rec) {
    item_->SetFlagAll(kWfShown, false);
    return;
  }
  item_->SetFlagAll(kWfShown, true);
  if (CVMenuBase* icon = Child(item_, kWidgetSprite, 0)) icon->SetState(std::max(0, rec->cls - 1), 1);
  SetText(item_, 0, FieldString(rec->name, sizeof rec->name).c_str());
  SetText(item_, 1, FieldString(rec->text, sizeof rec->text).c_str());
}

bool CVMenuSLG_detail::HasSkill(int32_t busyo, int i) {
  return ValidBusyo(busyo) && i >= 0 && i < kSkills && BusyoTable[busyo].cur.skill[i] != 0;
}

void CVMenuSLG_detail::ShowSkill(int32_t busyo, int i) {
  if (!skillWin_) return;
  const SkillRecord* rec = HasSkill(busyo, i) ? GetSkillRecord(BusyoTable[busyo].cur.skill[i]) : nullptr;
  if (!rec) {
    skillWin_->SetFlag(kWfShown, false);
    return;
  }
  skillWin_->SetFlag(kWfShown, true);
  const uint8_t skill = BusyoTable[busyo].cur.skill[i];
  SetText(skillWin_, 0, FieldString(rec->name, sizeof rec->name).c_str());
  for (int k = 0; k < 7; ++k) SetText(skillWin_, 1 + k, FormatSkillEffectText(skill, k).c_str());
}

bool CVMenuSLG_detail::IsKindUsable(int32_t kind) const {
  return kind >= 0 && kind < kKinds && kindHasItems_[kind] && ValidBusyo(busyo_) &&
         CanBusyoUseItemClass(kind + 1, static_cast<uint32_t>(busyo_));
}

int32_t CVMenuSLG_detail::FirstUsableKind() const {
  for (int32_t k = 0; k < kKinds; ++k)
    if (IsKindUsable(k)) return k;
  return -1;
}

void CVMenuSLG_detail::UpdateButtons() {
  const int32_t state = GetState();
  if (state == 0) {
    // Each skill button is labelled with its skill's name ("―" for an empty slot).
    for (int i = 0; i < kSkills; ++i) {
      Enable(skillBtn_[i], HasSkill(busyo_, i));
      const SkillRecord* rec = HasSkill(busyo_, i) ? GetSkillRecord(BusyoTable[busyo_].cur.skill[i]) : nullptr;
      SetText(skillBtn_[i], 0, rec ? FieldString(rec->name, sizeof rec->name).c_str() : "―");
    }
    const bool may = MayEdit();
    Enable(holdBtn_[0], may && FirstUsableKind() >= 0);
    Enable(holdBtn_[1], may && FirstItem(busyo_) != 0);
    Enable(holdBtn_[2], prev_);
    Enable(nextBtn_, next_);
    if (backBtn_) backBtn_->firstId = kClose;
  } else {
    for (int k = 0; k < kKinds; ++k) {
      CVMenuBtn* tab = kindTab_[k];
      if (!tab) continue;
      if (state == 1) {
        Enable(tab, IsKindUsable(k));
        tab->SetFlag(kWfNoHit, false);
      } else {
        tab->SetFlag(kWfRest4, true);
        Enable(tab, k == kind_);
        tab->SetFlag(kWfNoHit, true);
      }
    }
    for (CVMenuBtn* b : holdBtn_) Enable(b, false);
    Enable(nextBtn_, false);
    if (backBtn_) backBtn_->firstId = kBack;
  }
  SetText(backBtn_, 0, state == 0 ? "閉じる" : "戻る");
  // A right click answers what the back button does: close in state 0, a step back otherwise.
  cancelId = backBtn_ ? backBtn_->firstId : kClose;
}

void CVMenuSLG_detail::RebuildItems(int32_t kind) {
  if (kind != -1) {
    items_.Filter(kind, true);
    return;
  }
  std::vector<ItemListRecord> all;
  ListItemsForDetail(all);
  items_.Clear();
  for (const ItemListRecord& r : all) items_.Add(r);
  items_.StableSort(2, true);
  for (int k = 0; k < kKinds; ++k) {
    items_.Filter(k, true);
    kindHasItems_[k] = items_.Count() > 0;
  }
}

void CVMenuSLG_detail::RebuildHolders(int32_t item) {
  ::CTenkaList_Busyo ids;
  if (item > 0) ListBusyoWithItem(static_cast<uint32_t>(item), ids, busyo_);
  holders_.Clear();
  // The record's last word names the holder.
  for (uint16_t g : ids) holders_.Add({item, 0, 0, g});
}

void CVMenuSLG_detail::SelectKind(int32_t kind) {
  kind_ = kind;
  firstRow_ = 0;
  if (GetState() == 1) {
    // No usable kind shows no rows (see ShownList); the stock is not filtered by -1, which would
    // rebuild it unfiltered.
    if (kind >= 0 && kind < kKinds) RebuildItems(kind);
    for (int k = 0; k < kKinds; ++k)
      if (kindTab_[k]) kindTab_[k]->SetFlag(kWfRest4, k == kind);
  } else {
    RebuildHolders(interest_);
  }
  const slgui::CTenkaList_Item& list = ShownList();
  if (scroll_) {
    scroll_->SetMax(std::max(0, list.Count() - kRows));
    scroll_->SetValue(0);
  }
  FillRows(true);
}

void CVMenuSLG_detail::FillRows(bool force) {
  const int32_t first = scroll_ ? std::max(0, scroll_->value) : 0;
  if (first == firstRow_ && !force) return;
  firstRow_ = first;
  const slgui::CTenkaList_Item& list = ShownList();
  const int32_t own = FirstItem(busyo_);
  for (int i = 0; i < kRows; ++i) {
    const int32_t index = first + i;
    if (index >= list.Count()) {
      FillItemRow(rows_[i], nullptr, false);
      continue;
    }
    const ItemListRecord rec = list.At(index);
    FillItemRow(rows_[i], &rec, rec.item != own);
  }
}

void CVMenuSLG_detail::FillItemRow(CVMenuBtn* row, const ItemListRecord* rec, bool enabled) {
  if (!row) return;
  const ItemRecord* item = rec ? GetItemRecord(static_cast<uint32_t>(rec->item)) : nullptr;
  if (!item || rec->item < 1) {
    Show(row, false);
    return;
  }
  Show(row, true);
  CVMenuBase* inner = Child(row, kWidgetSprite, 0);
  CVMenuBase* itemPanel = Child(inner, kWidgetWindow, 0);
  CVMenuBase* holderPanel = Child(inner, kWidgetWindow, 1);
  SetText(inner, 1, FieldString(item->text, sizeof item->text).c_str());
  if (GetState() == 1) {
    Show(itemPanel, true);
    Show(holderPanel, false);
    SetText(inner, 0, FieldString(item->name, sizeof item->name).c_str());
    SetNum(itemPanel, 0, rec->stock);
    SetNum(itemPanel, 1, rec->equipped);
  } else {
    Show(itemPanel, false);
    const int32_t holder = rec->reserved;
    Show(holderPanel, ValidBusyo(holder));
    if (ValidBusyo(holder)) {
      ShowFacePicture(Child(holderPanel, kWidgetSprite, 0), BusyoTable[holder].picture);
      SetText(inner, 0, GetBusyoName(static_cast<uint32_t>(holder)));
    } else {
      SetText(inner, 0, "");
    }
  }
  row->SetFlag(kWfEnabled, enabled);
}

const slgui::CTenkaList_Item& CVMenuSLG_detail::ShownList() const {
  static const slgui::CTenkaList_Item kEmpty;
  if (RoundNudged(state) == 2) return holders_;
  return kind_ >= 0 && kind_ < kKinds ? items_ : kEmpty;
}

void CVMenuSLG_detail::AfterItemChange() {
  RebuildItems(-1);
  FillGeneral();
  UpdateButtons();
}

void CVMenuSLG_detail::PickRow(int32_t index) {
  const int32_t state = GetState();
  const slgui::CTenkaList_Item& list = ShownList();
  if (index < 0 || index >= list.Count() || !ValidBusyo(busyo_) || !MayEdit()) return;
  const ItemListRecord rec = list.At(index);
  if (rec.item == FirstItem(busyo_)) return;  // his own item's row is disabled
  if (state == 1) {
    if (rec.stock > 0) {
      EquipBusyoItem(static_cast<uint32_t>(busyo_), static_cast<uint32_t>(rec.item));
      AfterItemChange();
      SetState(0, 0);
    } else {
      interest_ = rec.item;
      SetState(2, 0);
    }
  } else if (ValidBusyo(rec.reserved)) {
    SwapBusyoItems(static_cast<uint32_t>(busyo_), static_cast<uint32_t>(rec.reserved));
    AfterItemChange();
    SetState(0, 0);
  }
}

void CVMenuSLG_detail::Update(int32_t x, int32_t y, uint32_t click) {
  const int32_t id = decidedId;
  const int32_t state = GetState();
  if (state == 0) {
    if (id == kEquip && MayEdit()) {
      SetState(1, 0);
    } else if (id == kTakeOff && MayEdit()) {
      UnequipBusyoItem(static_cast<uint32_t>(busyo_));
      AfterItemChange();
    } else if (id >= kSkill0 && id < kSkill0 + kSkills && id - kSkill0 != skill_) {
      skill_ = id - kSkill0;
      ShowSkill(busyo_, skill_);
    }
  } else {
    if (id == kBack) {
      SetState(state - 1, 0);
    } else if (id >= kKind0 && id < kKind0 + kKinds && id - kKind0 != kind_) {
      SelectKind(id - kKind0);
    } else if (id >= kRow0 && id < kRow0 + kRows) {
      PickRow(firstRow_ + id - kRow0);
    }
    // The scroll bar moves the rows.
    if (GetState() != 0) FillRows(false);
  }
  CVMenuSceneRoot::Update(x, y, click);
}

// ---- the scene ----

CVSceneInfoDetail::CVSceneInfoDetail(int32_t sceneId) : CVScene(-1, sceneId) {}

bool CVSceneInfoDetail::OnStart() {
  // The command menus below keep their answer: the bound is saved here and given back on stop.
  CVMenuMgr& mgr = GetMenuMgr();
  savedDepthBound_ = mgr.GetDepthBound();
  mgr.SetDepthBound(0);
  detail_ = dynamic_cast<CVMenuSLG_detail*>(FindMenu(0));
  if (detail_) detail_->Open(0, 0, 0);
  // A page filled before the scene started shows now.
  if (index_ >= 0)
    ShowListIndex(index_);
  else if (shown_ != CVMenuSLG_detail::kNone)
    ShowBusyo(shown_);
  return false;
}

bool CVSceneInfoDetail::OnStop() {
  GetMenuMgr().SetDepthBound(savedDepthBound_);
  return true;
}

void CVSceneInfoDetail::SetBusyoList(const slgui::CTenkaList_Busyo* list) {
  list_.Clear();
  if (!list) {
    index_ = -1;
    return;
  }
  // Both arrays: a list the map had narrowed keeps its full list behind the shown one.
  list_.CopyFrom(*list);
  list_.SetListMark(PlayerDaimyoId);
  // Only the player's own generals are stepped through.
  list_.Filter(6, false);
  index_ = 0;
}

void CVSceneInfoDetail::ShowBusyo(int32_t busyo) {
  list_.Clear();
  index_ = -1;
  shown_ = busyo;
  if (!detail_) return;
  detail_->SetOptions(false, false);
  detail_->SetBusyo(busyo);
}

void CVSceneInfoDetail::ShowListIndex(int32_t index) {
  if (index < 0 || index >= list_.Count()) return;
  index_ = index;
  shown_ = list_.At(index);
  if (!detail_) return;
  detail_->SetOptions(index != 0, index < list_.Count() - 1);
  detail_->SetBusyo(list_.At(index));
}

void CVSceneInfoDetail::ShowBusyoInList(int32_t busyo) {
  const int32_t index = list_.IndexOf(busyo);
  if (index >= list_.Count() && shown_ == CVMenuSLG_detail::kNone)
    ShowBusyo(busyo);
  else
    ShowListIndex(index);
}

void CVSceneInfoDetail::ShowGeneralAmong(const std::vector<int32_t>& generals, int32_t busyo) {
  ownClan_ = false;
  list_.Clear();
  for (int32_t id : generals)
    if (id >= 0 && id < kBusyoCount) list_.Add(id);
  shown_ = CVMenuSLG_detail::kNone;
  index_ = list_.Count() > 0 ? 0 : -1;
  ShowBusyoInList(busyo);
}

bool CVSceneInfoDetail::IsOwnClanBusyo(int32_t busyo) const {
  return ownClan_ && busyo >= 0 && busyo < kBusyoCount &&
         GetBusyoDaimyo(static_cast<uint32_t>(busyo)) == PlayerDaimyoId;
}

int32_t CVSceneInfoDetail::UpdateMainMenu(int32_t x, int32_t y, int32_t leftClick, int32_t lastHit) {
  int32_t hit = lastHit;
  if (detail_ && detail_->GetState() == 0) {
    const int32_t wheel = GetWidgetInput().GetWheelDelta();
    if (wheel > 0)
      hit = 1000;
    else if (wheel < 0)
      hit = 1001;
  }
  if (hit == 1)
    RequestSceneChange(-1, 0);
  else if (hit == 1000)
    ShowListIndex(index_ - 1);
  else if (hit == 1001)
    ShowListIndex(index_ + 1);
  return CVScene::UpdateMainMenu(x, y, leftClick, hit);
}

bool CVSceneInfoDetail::Draw() {
  // The page lies over the scene that pushed it (normally the map).
  DrawSceneBeneath();
  DrawMenus();
  return true;
}
