#include "ui/scenes/scene_dlg.h"

#include "core/app_state.h"
#include "platform/text/log.h"
#include "ui/menus/menu_mgr.h"
#include "ui/scenes/scene_mgr.h"
#include "ui/widgets/widget_base.h"

namespace {
constexpr int32_t kDialogSceneId = 10;
constexpr float kScreenW = 1280.0f, kScreenH = 720.0f;
}  // namespace

int CVSceneDlg::PanelOfKind(int32_t kind) {
  if (kind == 11 || kind == 12) return 1;
  if (kind == 13) return 2;
  return 0;
}

int32_t CVSceneDlg::CancelIdOfKind(int32_t kind) {
  if (kind == 11 || kind == 12) return 1;
  if (kind == 13) return -1;
  return 2;
}

void CVSceneDlg::SelectWidgets(int32_t kind) {
  kind_ = kind;
  panel_ = panels_[PanelOfKind(kind)];
  kindWindow_ = panel_ ? panel_->FindChild(kWidgetSprite, 0) : nullptr;
  extra_ = kindWindow_ ? kindWindow_->FindChild(kWidgetGroup, 0) : nullptr;
  extra2_ = extra_ ? extra_->NextSibling() : nullptr;
}

bool CVSceneDlg::OnStart() {
  CVMenuBase* menu = FindMenu(0);
  panels_[0] = menu ? menu->FindChild(kWidgetSprite, 0) : nullptr;
  panels_[1] = panels_[0] ? panels_[0]->NextSibling() : nullptr;
  panels_[2] = panels_[1] ? panels_[1]->NextSibling() : nullptr;
  if (!panels_[0]) plat::Log("scene", "dialog scene: menu 0 has no panel; questions show nothing");
  SelectWidgets(3);
  return true;
}

bool CVSceneDlg::OnEnter() {
  for (CVMenuBase* p : panels_) {
    if (p) p->SetFlagAll(kWfShown, false);
  }
  savedGameMode_ = GameMode;
  GameMode = game_mode::kDialog;
  entered_ = 1;
  open_ = 1;
  freezeBelow_ = 0;
  answer_ = -1;
  // The bound found now; the first update saves it again before raising it. A dialog left before
  // that update so gives back the bound it found instead of 0.
  savedDepthBound_ = GetMenuMgr().GetDepthBound();
  return CVScene::OnEnter();
}

bool CVSceneDlg::OnLeave() {
  // A mode set beneath while the question was open (a load, say) stands.
  if (GameMode == game_mode::kDialog) GameMode = savedGameMode_;
  open_ = 0;
  GetMenuMgr().SetDepthBound(savedDepthBound_);
  return CVScene::OnLeave();
}

int32_t CVSceneDlg::Update(float dt) {
  if ((freezeBelow_ & 1u) == 0) {
    CVScene* below = GetSceneMgr().GetStackTopScene();
    if (below && below != this) below->Update(dt);
  }
  return CVScene::Update(dt);
}

bool CVSceneDlg::Draw() {
  DrawSceneBeneath();
  return CVScene::Draw();
}

int32_t CVSceneDlg::UpdateMainMenu(int32_t x, int32_t y, int32_t leftClick, int32_t lastHit) {
  if (entered_) {
    CVMenuMgr& mgr = GetMenuMgr();
    savedDepthBound_ = mgr.GetDepthBound();
    if (panels_[0]) mgr.SetDepthBound(RoundNudged(panels_[0]->position.z));
    entered_ = 0;
  }
  if (phase_ == kPhaseClosing) return -1;
  if (phase_ == kPhaseClosed) return answer_;
  if (lastHit == -1) return CVScene::UpdateMainMenu(x, y, leftClick, lastHit);
  answer_ = lastHit;
  SetPhase(kPhaseClosing, 1, 0);
  return -1;
}

bool CVSceneDlg::OnPhaseChange(int32_t oldPhase) {
  // Closing and closed keep the widgets of the question being closed.
  if (phase_ == kPhaseClosed) return true;
  if (phase_ == kPhaseClosing) {
    if (panel_) panel_->SetFlagAll(kWfNoHit, true);
    SetPhase(kPhaseClosed, 1, kCloseDelayMs);
    return true;
  }
  if (phase_ < 0 || phase_ > 14) return true;
  SelectWidgets(phase_);
  if (panel_) {
    panel_->SetFlagAll(kWfShown, true);
    panel_->SetFlagAll(kWfScreen, true);
    panel_->SetFlagAll(kWfNoHit, false);
    panel_->SetPosXY((kScreenW - panel_->size.x) * 0.5f, (kScreenH - panel_->size.y) * 0.5f);
    panel_->UpdateTransform(true);
    panel_->cancelId = CancelIdOfKind(phase_);
  }
  const bool extras = phase_ == 12;
  if (extra_) extra_->SetFlagAll(kWfShown, extras);
  if (extra2_) extra2_->SetFlagAll(kWfShown, extras);
  if (kindWindow_) kindWindow_->SetState(phase_, 0);
  return true;
}

bool OpenDialogScene(int32_t kind, int32_t keepBelowRunning) {
  CVSceneMgr& mgr = GetSceneMgr();
  if (mgr.GetCurrentSceneId() == kDialogSceneId) {
    plat::Log("scene", "OpenDialogScene(%d): a question is already open; refused", kind);
    return false;
  }
  if (!mgr.ChangeScene(kDialogSceneId, 1)) {
    plat::Log("scene", "OpenDialogScene(%d): the dialog scene cannot be made (no scene 10 in the table?)", kind);
    return false;
  }
  auto* dlg = dynamic_cast<CVSceneDlg*>(mgr.GetScene(kDialogSceneId));
  if (!dlg) {
    plat::Log("scene", "OpenDialogScene(%d): scene 10 is not a dialog scene", kind);
    return false;
  }
  dlg->SetPhase(kind < 0 || kind > 14 ? 3 : kind, 1, 0);
  dlg->SetFreezeBelow((keepBelowRunning & 1) ? 0u : 1u);
  return true;
}

int32_t GetDialogResult() {
  auto* dlg = dynamic_cast<CVSceneDlg*>(GetSceneById(kDialogSceneId));
  if (!dlg || dlg->GetPhase() != CVSceneDlg::kPhaseClosed) return -1;
  return dlg->GetAnswer();
}

namespace {
CVSceneDlg* OpenDialog() {
  auto* dlg = dynamic_cast<CVSceneDlg*>(GetSceneById(kDialogSceneId));
  return dlg && dlg->IsOpen() ? dlg : nullptr;
}
}  // namespace

int32_t GameModeBeneathDialog() {
  const CVSceneDlg* dlg = OpenDialog();
  return dlg ? dlg->GetModeOnClose() : GameMode;
}

void SetGameModeBeneathDialog(int32_t mode) {
  if (CVSceneDlg* dlg = OpenDialog())
    dlg->SetModeOnClose(mode);
  else
    GameMode = mode;
}
