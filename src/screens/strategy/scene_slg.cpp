#include "screens/strategy/scene_slg.h"

#include <cstdio>

#include "core/error_box.h"
#include "core/cv_input.h"
#include "platform/text/log.h"
#include "screens/strategy/menu_slg_main.h"
#include "screens/strategy/scene_info_detail.h"
#include "screens/strategy/slg_cmd_dialogs.h"
#include "screens/strategy/slg_dialogs.h"
#include "ui/menus/menu_factory.h"
#include "ui/scenes/scene_dlg.h"
#include "ui/scenes/scene_mgr.h"
#include "ui/widgets/menu_window.h"
#include "screens/strategy/commands/player_turn.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

constexpr int32_t kInfoDetailScene = 11;

struct DialogKindGroup {
  int32_t kind, group;
};
constexpr DialogKindGroup kDialogs[24] = {{1, 3}, {14, 0}, {1, 0}, {1, 4},  {1, 5},  {1, 1},  {1, 2},  {2, 0},
                                          {5, 0}, {12, 1}, {3, 0}, {4, 0},  {15, 0}, {6, 0},  {2, 0},  {2, 0},
                                          {7, 0}, {8, 0},  {9, 0}, {10, 0}, {11, 0}, {12, 0}, {13, 0}, {16, 0}};

bool g_installPort = false;

CVScene* CreateSlgScene(int32_t id) { return new CVSceneSLG(id); }
CVMenuSceneRoot* MakeMap(int32_t) { return new CVMenuSLGMain(); }
CVMenuSceneRoot* MakeSeiryoku(int32_t) { return new CVMenuSLG_SeiryokuSel(); }
CVMenuSceneRoot* MakeHikitsugi(int32_t) { return new CVMenuSLG_StartHikitsugi(); }

}  // namespace

void RegisterStrategyScenes(CVSceneMgr& mgr, bool installPort) {
  g_installPort = installPort;
  // The player's command flows run the player's phases of the turn.
  if (installPort) SetPlayerTurnPort(&PlayerCommandFlows());
  mgr.SetSceneFactory(3, &CreateSlgScene);
  RegisterMenuType(30, &MakeMap);
  RegisterMenuType(38, &MakeSeiryoku);
  RegisterMenuType(39, &MakeHikitsugi);
  RegisterCommandDialogTypes();
  RegisterInfoDetailScene(mgr);
}

CVSceneSLG::CVSceneSLG(int32_t sceneId) : CVScene(-1, sceneId) {
  if (g_installPort) SetSlgScenePort(this);
}

CVSceneSLG::~CVSceneSLG() {
  if (&::SlgScene() == this) SetSlgScenePort(nullptr);
}

// ---- tables ----

uint16_t CVSceneSLG::SelModeMask(int32_t mode, bool* valid) {
  static const uint16_t kCleared[10] = {380, 376, 368, 336, 304, 372, 316, 0, 44, 0};
  if (valid) *valid = mode >= 0 && mode <= 9;
  if (mode < 0 || mode > 9) return 0;
  if (mode == 7) return 0x0014;
  if (mode == 9) return 0;
  return static_cast<uint16_t>(0xFFFF & ~kCleared[mode]);
}

int32_t CVSceneSLG::GetDialogKind(int32_t id) {
  if (id < 0 || id > 23) {
    ShowErrorBox("不正なダイアログIDが指定されました。", "SceneSLG");
    return 1;
  }
  return kDialogs[id].kind;
}

int32_t CVSceneSLG::GetDialogGroup(int32_t id) { return id >= 0 && id <= 21 ? kDialogs[id].group : 0; }

int32_t CVSceneSLG::ResultOfHit(int32_t hit, uint16_t f) {
  if (hit >= 10000 && hit <= 10008) return hit - 9997;
  switch (hit) {
    case 1:
      return 2;
    case 2:
      return 0;
    case 3:
      return 1;
    case 1000:
      return 18;
    case 1001:
      return 19;
    case 1100:
      return 20;
    case 12000:
      return 16;
    case 12001:
      return 17;
    default:
      break;
  }
  if (hit >= 1101 && hit <= 1107) return hit - 1080;
  if (hit >= 10011 && hit <= 10013 && (f & CVMenuSLGMain::kInfoMenu)) return hit - 9999;
  if (hit == 10014 && !(f & (CVMenuSLGMain::kInfoMenu | CVMenuSLGMain::kSystemMenu))) return 15;
  return -1;
}

// ---- lifecycle ----

bool CVSceneSLG::OnStart() {
  map_ = dynamic_cast<CVMenuSLGMain*>(FindMenu(0));
  dialog_ = nullptr;
  if (map_) map_->Open(0, 0, 0);
  listA_.Clear();
  loadFlag_ = 0;
  return false;  // command menus open only as dialogs
}

int32_t CVSceneSLG::UpdateMainMenu(int32_t x, int32_t y, int32_t leftClick, int32_t lastHit) {
  SetSpeed(IsFastForward() ? 5.0f : 1.0f);
  return CVScene::UpdateMainMenu(x, y, leftClick, lastHit);
}

bool CVSceneSLG::OnEnter() {
  if (map_) map_->Refresh();
  return CVScene::OnEnter();
}

bool CVSceneSLG::OnPhaseChange(int32_t) {
  if (map_) map_->RefreshTurnIndicators();
  return true;
}

bool CVSceneSLG::IsFastForward() const {
  return GetSceneMgr().IsKeyDown(VK_CONTROL) && (TurnSubPhase == 0 || TurnSubPhase == 4);
}

int CVSceneSLG::Choice(int i) const { return map_ ? map_->ChoiceWord(i) : -1; }

// ---- map view ----

void CVSceneSLG::SetCurrentDaimyo(int clan) {
  currentDaimyo_ = clan;
  if (map_) map_->SetCurrentDaimyo(clan);
}

void CVSceneSLG::SetSelMode(int mode) {
  bool valid = false;
  const uint16_t mask = SelModeMask(mode, &valid);
  if (!valid) {
    ShowErrorBox("不正な選択状態が指定されました。", "CVSceneSLG::SetSelMode");
  } else if (map_) {
    map_->SetSelMask(mask);
  }
  if (map_) map_->Refresh();
}

void CVSceneSLG::SetSelectedKuni(int kuni) {
  if (!map_) return;
  // No province (a clan whose head fell has no home province until its succession): a province
  // view cannot stay open on nothing, so it closes first.
  if ((kuni < 0 || kuni >= kKuniCount) && map_->IsKuniFocused()) map_->ClearKuniFocus();
  map_->SelectKuni(kuni);
  map_->Refresh();
}

void CVSceneSLG::ResetMapMenu() { SetMapStateNormalMenu(); }

void CVSceneSLG::PlayCastleIconAnime(int icon, int anime, int restart) {
  // Only the 67 provinces have highlights.
  if (!map_ || icon < 0 || icon >= CVMenuSLGMain::kKuni) return;
  if (restart) {
    map_->PlayKuniAnime(icon, 1);
    return;
  }
  if (anime == 8 && IsKuniFlagSet(static_cast<uint32_t>(icon))) anime = 13;
  map_->PlayKuniAnime(icon, anime);
}

void CVSceneSLG::FocusKuni(int kuni, int flag) {
  if (map_) map_->FocusKuni(kuni, flag != 0);
}

void CVSceneSLG::ClearKuniFocus() {
  if (map_) map_->ClearKuniFocus();
}

void CVSceneSLG::RememberKuniFocus() {
  if (map_) map_->RememberKuniFocus();
}

void CVSceneSLG::RestoreKuniFocus() {
  if (map_) map_->RestoreKuniFocus();
}

bool CVSceneSLG::IsKuniFocused() const { return map_ && map_->IsKuniFocused(); }

void CVSceneSLG::RefreshMap() {
  if (map_) map_->Refresh();
}

void CVSceneSLG::ShowClanPanel(int32_t clan, bool animate) {
  if (map_) map_->ShowClanPanel(clan < 0 && clan == -1 ? currentDaimyo_ : clan, animate);
}

void CVSceneSLG::HideClanPanel() {
  // A negative clan is no clan: the panel hides (tested as such, not through an unsigned wrap).
  if (map_) map_->ShowClanPanel(-2, true);
}

void CVSceneSLG::ShowMapMenu(bool on) {
  if (!map_) return;
  // Only the map's own flag: showing the whole tree would also show the layers the map keeps hidden
  // (the start choice, the province view, tooltips) when the map comes back.
  map_->SetFlag(kWfShown, on);
  LockMapButtons(!on);
}

void CVSceneSLG::SetMapStateNormal() {
  if (map_) map_->SetState(0, 1);
}

void CVSceneSLG::SetMapStateClan(int32_t clan) {
  if (!map_) return;
  map_->SetCurrentDaimyo(clan);
  // During the start choice the clan under the cursor is shown without leaving the choice.
  if (map_->MapState() != 1) map_->SetState(2, 1);
  map_->RecolorKuni(map_->HoveredKuni());
  map_->ShowClanPanel(clan, false);
}

void CVSceneSLG::ResetMapToCurrent() {
  if (!map_) return;
  map_->SetCurrentDaimyo(currentDaimyo_);
  map_->SetState(0, 0);
  ShowInfoPanel();
  map_->Refresh();
}

void CVSceneSLG::SetMapStatePlayer() {
  if (!map_) return;
  map_->SetCurrentDaimyo(PlayerDaimyoId);
  map_->SetState(3, 1);
}

void CVSceneSLG::SetMapStateTarget() {
  if (map_) map_->SetState(4, 1);
}

void CVSceneSLG::SetMapStateNormalMenu() {
  if (!map_) return;
  map_->SetState(0, 1);
  ShowInfoPanel();
}

void CVSceneSLG::OpenSidePanel() {
  if (!map_) return;
  map_->SetState(1, 1);
  SetSelMode(1);
}

void CVSceneSLG::ShowSidePanelButton(bool on) {
  if (map_) map_->ShowSidePanelHint(on);
}

void CVSceneSLG::SetKuniColor(int kuni, int color) {
  if (map_) map_->SetKuniColor(kuni, color);
}

void CVSceneSLG::ResetKuniColors() {
  if (!map_) return;
  for (int k = 0; k < CVMenuSLGMain::kKuni; ++k) map_->SetKuniColor(k, 8);
}

void CVSceneSLG::LockMapButtons(bool on) {
  if (map_) map_->LockMapButtons(on);
}

// ---- messages and panel ----

void CVSceneSLG::ShowMessage(const char* text, int, bool immediate) {
  if (map_) map_->ShowMessage(text, immediate || IsFastForward() ? 1 : 0);
}

void CVSceneSLG::ShowMessageMode2(const char* text, int, bool immediate) {
  if (map_) map_->ShowMessage(text, immediate || IsFastForward() ? 3 : 2);
}

void CVSceneSLG::ShowPointer(int marker) {
  if (map_) map_->ShowPointer(marker);
}

void CVSceneSLG::SetPanelDaimyo(int value) {
  if (map_) map_->SetCommandInProgress(value);
}

void CVSceneSLG::ShowInfoPanel() {
  if (map_) map_->ShowCommandMenu();
}

void CVSceneSLG::HideInfoPanel() {
  if (map_) map_->HideCommandMenu();
}

int CVSceneSLG::GetSceneResult() { return map_ ? ResultOfHit(GetLastHit(), map_->StateFlags()) : -1; }

// ---- lists and marks ----

void CVSceneSLG::ClearBusyoList() {
  if (map_) map_->ClearBusyoList();
}

void CVSceneSLG::AddBusyoToList(int32_t busyo) {
  if (map_ && busyo >= 0 && busyo < kBusyoCount) map_->AddBusyoToList(busyo);
}

void CVSceneSLG::ClearMarkedBusyo() {
  if (map_) map_->ClearMarkedBusyo();
}

void CVSceneSLG::MarkBusyo(int busyo) {
  if (map_ && busyo >= 0 && busyo < kBusyoCount) map_->MarkBusyo(busyo);
}

int CVSceneSLG::GetMarkedBusyo() const { return map_ ? map_->GetMarkedBusyo() : 0xFFFF; }

int CVSceneSLG::CountMarkedBusyo() const { return map_ ? map_->CountMarkedBusyo() : 0; }

void CVSceneSLG::GetMarkedBusyoList(std::vector<int32_t>& out) const {
  out.clear();
  if (map_) map_->GetMarkedBusyoList(out);
}

uint16_t CVSceneSLG::GetSelectedCastle() const {
  return map_ ? static_cast<uint16_t>(map_->GetSelectedCastle()) : 0xFFFF;
}

void CVSceneSLG::SetSelectedCastle(uint16_t siro) {
  if (map_) map_->SelectCastle(siro == 0xFFFF ? -1 : siro);
}

int CVSceneSLG::GetSelectedKuni() const { return map_ ? map_->SelectedKuni() : -1; }

void CVSceneSLG::ClearSelectedKuni() {
  if (map_) map_->SetSelectedKuniRaw(-1);
}

// ---- dialogs ----

bool CVSceneSLG::OpenDialog(int id, int a, int b, int c) {
  if (dialog_) return false;
  const int32_t kind = GetDialogKind(id);
  auto* menu = dynamic_cast<CVMenuSLG_CmdBase*>(FindMenu(kind));
  if (!menu) {
    // Reporting success would leave the caller waiting for an answer that never comes.
    char msg[96];
    std::snprintf(msg, sizeof msg, "ダイアログ(種類%d)が見つかりません。", kind);
    ShowErrorBox(msg, "SceneSLG");
    return false;
  }
  dialog_ = menu;
  menu->SetDialogId(id);
  menu->SetGroup(GetDialogGroup(id));
  menu->Open(a, b, c);
  return true;
}

void CVSceneSLG::SetDialogState(int state) {
  if (dialog_) dialog_->SetState(state, 1);
}

void CVSceneSLG::FinishDialog() {
  if (!dialog_) return;
  // By class, not by dialog id: every dialog that hid the map brings it back when it ends.
  if (dialog_->EndsByFinish())
    dialog_->Finish();
  else
    dialog_->Close();
}

int CVSceneSLG::GetDialogResult(int slot) { return dialog_ ? dialog_->GetResult(slot) : -1; }

void CVSceneSLG::SetDialogValues(int slot, int value) {
  if (dialog_) dialog_->SetValue(slot, value);
}

void CVSceneSLG::SetDialogKey(const char* text) {
  if (dialog_) dialog_->SetMessage(text);
}

bool CVSceneSLG::OpenDialogScene(int kind, int flags) { return ::OpenDialogScene(kind, flags); }

int CVSceneSLG::GetDialogSceneResult() { return ::GetDialogResult(); }

// ---- scenes ----

void CVSceneSLG::OpenInfoDetail(int32_t busyo, int32_t ownClan, const slgui::CTenkaList_Busyo* list) {
  CVSceneMgr& mgr = GetSceneMgr();
  // Without a detail scene in the scene table there is nothing to open.
  if (!mgr.FindRecord(kInfoDetailScene)) {
    plat::Log("slgmap", "no information detail scene; general %d not shown", busyo);
    return;
  }
  if (!mgr.GetScene(kInfoDetailScene) && !mgr.CreateScene(kInfoDetailScene, nullptr)) return;
  auto* detail = dynamic_cast<CVSceneInfoDetail*>(mgr.GetScene(kInfoDetailScene));
  if (!detail) return;
  detail->SetOwnClanFlag(ownClan != 0);
  detail->SetBusyoList(list);
  if (list)
    detail->ShowBusyoInList(busyo);
  else
    detail->ShowBusyo(busyo);
  mgr.RequestChange(kInfoDetailScene, 1);
}

bool CVSceneSLG::IsBattleSceneReady(bool request, int32_t battleMode) {
  const int32_t id = battleMode == 2 ? 8 : 9;
  if (CVScene* s = GetSceneById(id)) {
    if (s->GetPhase() != 3) return false;
    ReturnToPreviousScene();
    return true;
  }
  if (request) GetSceneMgr().RequestChange(id, 1);
  return false;
}

void CVSceneSLG::ShowIconMarker(int32_t siro, int32_t mode) {
  if (map_) map_->ShowIconMarker(siro, mode);
}

void CVSceneSLG::HideIconMarker(int32_t siro) {
  if (map_) map_->HideIconMarker(siro);
}

bool CVSceneSLG::IsIconMarkerAnimating(int32_t siro) { return map_ && map_->IsIconMarkerAnimating(siro); }
