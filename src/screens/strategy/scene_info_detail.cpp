#include "screens/strategy/scene_info_detail.h"

#include <algorithm>
#include <cstdio>

#include "screens/strategy/menu_slg_main.h"
#include "ui/menus/menu_factory.h"
#include "ui/menus/menu_mgr.h"
#include "ui/scenes/scene_mgr.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_text.h"
#include "ui/widgets/menu_window.h"
#include "ui/widgets/menu_window_group.h"
#include "ui/widgets/widget_services.h"
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

void CVMenuSLG_detail::FindWidgets() {
  root_ = FindChild(kWidgetWindow, 0);
  panel_ = Child(root_, kWidgetSprite, 1);
  item_ = Child(Child(root_, kWidgetSprite, 4), kWidgetSprite, 0);
  prevBtn_ = FindButtonById(1000);
  nextBtn_ = FindButtonById(1001);
}

void CVMenuSLG_detail::Open(int32_t a, int32_t b, int32_t c) {
  FindWidgets();
  CVMenuSceneRoot::Open(a, b, c);
  // A right click closes the page (hit id 1).
  cancelId = 1;
  FillGeneral();
  SetOptions(prev_, next_);
}

void CVMenuSLG_detail::SetBusyo(int32_t busyo) {
  if (busyo == busyo_) return;
  busyo_ = busyo;
  FillGeneral();
}

void CVMenuSLG_detail::SetOptions(bool prev, bool next) {
  prev_ = prev, next_ = next;
  if (prevBtn_) prevBtn_->SetFlag(kWfEnabled, prev);
  if (nextBtn_) nextBtn_->SetFlag(kWfEnabled, next);
}

void CVMenuSLG_detail::FillGeneral() {
  if (busyo_ < 0 || busyo_ >= kBusyoCount) {
    FillItem(0);
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
  for (int32_t id : list->Items()) list_.Add(id);
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
  if (CVScene* below = GetSceneMgr().GetStackTopScene(); below && below != this) below->Draw();
  DrawMenus();
  return true;
}
