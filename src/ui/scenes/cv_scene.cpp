#include "ui/scenes/cv_scene.h"

#include "core/cv_input.h"
#include "ui/menus/menu_root.h"
#include "ui/scenes/scene_mgr.h"
#include "ui/widgets/widget_base.h"

CVScene::CVScene(int32_t listId, int32_t sceneId) : CVListBase(listId), sceneId_(sceneId) {}

CVScene::~CVScene() {
  for (SceneMenu& m : menus_) delete m.widget;
  menus_.clear();
  DeleteMainMenu();
}

bool CVScene::DrawMain() {
  if (mainMenu_) mainMenu_->Draw(1);
  return true;
}

int32_t CVScene::UpdateMainMenu(int32_t x, int32_t y, int32_t leftClick, int32_t lastHit) {
  if (mainMenu_) {
    mainMenu_->timeStep = frameTime_;
    mainMenu_->clickState = static_cast<uint32_t>(leftClick);
    if (mainMenu_->IsShown()) mainMenu_->Update(x, y, leftClick == 1 ? 1u : 0u);
  }
  return lastHit;
}

bool CVScene::OnLeave() {
  for (SceneMenu& m : menus_) m.widget->LatchButtonsTree();
  return true;
}

bool CVScene::OnEnter() {
  ResetHit();
  return true;
}

int32_t CVScene::ConfirmPhase() {
  requestedPhase_ = phase_;
  return phase_;
}

void CVScene::SetStepValue(int32_t value) {
  if (phase_ >= 0 && phase_ < kPhaseCount) stepValues_[phase_] = value;
}

int32_t CVScene::GetStepValue() const { return phase_ >= 0 && phase_ < kPhaseCount ? stepValues_[phase_] : 0; }

void CVScene::ApplyPhase() {
  OnPhaseLeave();
  const int32_t old = phase_;
  phase_ = requestedPhase_;
  changeDelay_ = 0;
  OnPhaseChange(old);
}

int32_t CVScene::SetPhase(int32_t phase, int32_t force, uint32_t delayMs) {
  if (requestedPhase_ == phase && force == 0) return 0;
  requestedPhase_ = phase;
  if (delayMs == 0) {
    OnPhaseLeave();
    const int32_t old = phase_;
    phase_ = requestedPhase_;
    changeDelay_ = 0;
    return OnPhaseChange(old) ? 1 : 0;
  }
  changeDelay_ = delayMs;
  return 1;
}

int32_t CVScene::Update(float dt) {
  const int32_t down = GetSceneMgr().GetMouseButton();
  clickState_ = down == 0 ? heldButton_ : 0;
  if (!flags_.Test(kSceneRunning) || flags_.Test(kSceneStopped)) return -1;
  frameTime_ += static_cast<float>(speed_ * dt);
  heldButton_ = down;
  const int32_t x = PublishedMouseX(), y = PublishedMouseY();
  const int32_t result = UpdateMainMenu(x, y, clickState_ == 1 ? 1 : 0, lastHit_);
  UpdateMenus(x, y, clickState_);
  // Truncation of a huge or negative scaled time must stay defined.
  const float t = frameTime_;
  const uint32_t ms = t <= 0.0f ? 0u : (t >= 4294967295.0f ? 0xFFFFFFFFu : static_cast<uint32_t>(t));
  changeDelay_ = ms < changeDelay_ ? changeDelay_ - ms : 0;
  if (phase_ != requestedPhase_ && changeDelay_ == 0) ApplyPhase();
  OnPostUpdate();
  frameTime_ = 0.0f;
  return result;
}

bool CVScene::Draw() {
  if (!flags_.Test(kSceneRunning) || flags_.Test(kSceneStopped)) return false;
  DrawMain();
  DrawMenus();
  return true;
}

bool CVScene::Start() {
  frameTime_ = 0.0f;
  changeDelay_ = 0;
  for (int bit = 0; bit <= 3; ++bit) flags_.Set(bit, 0);
  if (OnStart()) {
    for (SceneMenu& m : menus_) m.widget->Open(0, 0, 0);
  }
  flags_.Set(kSceneRunning, 1);
  Update(0.0f);
  return true;
}

bool CVScene::Stop() {
  flags_.Clear();
  if (OnStop()) {
    for (SceneMenu& m : menus_) m.widget->Close();
  }
  flags_.Set(kSceneRunning, 0);
  flags_.Set(kSceneStopped, 1);
  return true;
}

bool CVScene::AddMenu(CVMenuBase* menu, int32_t sceneMenuId) {
  if (!menu) return false;
  // One owner: the scene. The menu leaves the menu manager's root list.
  if (menu->owner) menu->owner->Remove(menu);
  menus_.push_back({menu, sceneMenuId});
  if (auto* root = dynamic_cast<CVMenuSceneRoot*>(menu)) {
    root->sceneMenuId = sceneMenuId;
    root->scene = this;
  }
  return true;
}

CVMenuBase* CVScene::FindMenu(int32_t sceneMenuId) const {
  for (const SceneMenu& m : menus_) {
    if (m.sceneMenuId == sceneMenuId) return m.widget;
  }
  return nullptr;
}

void CVScene::ResetHit() {
  lastHit_ = -1;
  clickState_ = 0;
  heldButton_ = 0;
}

void CVScene::SetMainMenu(CVMenuBase* menu) {
  if (menu == mainMenu_) return;
  DeleteMainMenu();
  if (menu && menu->owner) menu->owner->Remove(menu);
  mainMenu_ = menu;
}

void CVScene::DeleteMainMenu() {
  if (!mainMenu_) return;
  CVMenuBase* m = mainMenu_;
  mainMenu_ = nullptr;
  m->Close();
  delete m;
}

int32_t CVScene::UpdateMenus(int32_t x, int32_t y, int32_t click) {
  lastHit_ = -1;
  ClearOneShotInput();
  for (SceneMenu& m : menus_) {
    CVMenuBase* w = m.widget;
    w->timeStep = frameTime_;
    w->clickState = static_cast<uint32_t>(click);
    if (!w->IsShown()) continue;
    w->Update(x, y, click == 1 ? 1u : 0u);
    lastHit_ = w->decidedId;
    if (lastHit_ != -1) break;
  }
  return lastHit_;
}

void CVScene::DrawSceneBeneath() {
  if (CVScene* below = GetSceneMgr().GetStackTopScene(); below && below != this) below->Draw();
}

void CVScene::DrawMenus() {
  for (SceneMenu& m : menus_) {
    if (m.widget->IsShown()) m.widget->Draw(1);
  }
}

namespace {
void CollectTree(CVMenuBase* w, std::vector<CVMenuBase*>& out) {
  out.push_back(w);
  ForEachChild(w, [&](CVMenuBase* c) { CollectTree(c, out); });
}
}  // namespace

void CVScene::CollectWidgets(std::vector<CVMenuBase*>& out) const {
  for (const SceneMenu& m : menus_) CollectTree(m.widget, out);
}

void RequestSceneChange(int32_t id, int32_t push) { GetSceneMgr().RequestChange(id, push); }

bool ReturnToPreviousScene() { return GetSceneMgr().PopScene(); }
