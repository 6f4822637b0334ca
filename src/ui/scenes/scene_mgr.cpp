#include "ui/scenes/scene_mgr.h"

#include <cstring>

#include "core/file_io.h"
#include "core/game_clock.h"
#include "platform/text/log.h"
#include "ui/scenes/cv_scene.h"
#include "ui/widgets/widget_base.h"

namespace {
bool InRange(int32_t id) { return id >= 1 && id <= 100; }
}  // namespace

CVSceneMgr::CVSceneMgr() { Reset(); }

CVSceneMgr::~CVSceneMgr() { DeleteAllScenes(); }

void CVSceneMgr::Reset() {
  DeleteAllScenes();
  request_.Clear();
  table_ = SceneFlowTable{};
  currentId_ = -1;
  stack_.clear();
  lastFrameMs_ = 0xFFFFFFFFu;
  timerStarted_ = false;
  frameRatio_ = 1.0f;
  for (int32_t id = 0; id <= 100; ++id) factories_[id] = nullptr;
  for (int32_t id = 1; id <= 12; ++id) factories_[id] = &CreateDefaultScene;
  factories_[100] = &CreateDefaultScene;
  menuFactory_ = DefaultSceneMenuFactory();
  coverBuilder_ = DefaultCoverBuilder();
}

bool CVSceneMgr::LoadSceneTable(const char* path) {
  table_ = SceneFlowTable{};
  uint8_t* bytes = nullptr;
  const int32_t size = ReadAllBytes(FixedPath(path), &bytes);
  if (size < 0) {
    plat::Log("scene", "scene table %s not found: no scene can be created", path ? path : "(null)");
    return false;
  }
  std::string error;
  const bool ok = v4fmt::ReadSceneTable(bytes, static_cast<size_t>(size), table_, &error);
  FreeFileBuffer(bytes);
  if (!ok) plat::Log("scene", "scene table %s refused: %s", path, error.c_str());
  return ok;
}

const SceneFlowRecord* CVSceneMgr::FindRecord(int32_t id) const {
  if (!InRange(id)) return nullptr;
  for (const SceneFlowRecord& r : table_) {
    if (r.sceneId == id) return &r;
  }
  return nullptr;
}

void CVSceneMgr::SetSceneFactory(int32_t id, SceneFactory factory) {
  if (InRange(id) && (id <= 12 || id == 100)) factories_[id] = factory;
}

bool CVSceneMgr::CreateScene(int32_t id, CVMenuBase* mainMenu) {
  if (!InRange(id)) return false;
  if (scenes_[id]) return true;
  SceneFactory factory = factories_[id];
  if (!factory) return false;
  const SceneFlowRecord* record = FindRecord(id);
  if (!record) return false;
  CVScene* scene = factory(id);
  if (!scene) return false;
  for (int e = 0; e < v4fmt::kSceneMenuEntries; ++e) {
    const v4fmt::SceneMenuEntry& entry = record->menus[e];
    if (entry.menuType <= 0) continue;
    CVMenuBase* menu = menuFactory_ ? menuFactory_(entry.menuType, entry.layoutName) : nullptr;
    if (menu) {
      scene->AddMenu(menu, e);
    } else {
      plat::Log("scene", "scene %d: menu %d of type %d not made", id, e, entry.menuType);
    }
  }
  scenes_[id] = scene;
  scene->SetMainMenu(mainMenu);
  scene->Start();
  return true;
}

bool CVSceneMgr::DeleteScene(int32_t id) {
  if (!InRange(id)) return false;
  const SceneFlowRecord* record = FindRecord(id);
  if (!record || record->resident != 0 || !scenes_[id]) return false;
  CVScene* scene = scenes_[id];
  scenes_[id] = nullptr;
  if (updateDepth_ > 0) {
    // Its own update may still be running: stop and destroy it after the manager's update.
    graveyard_.push_back(scene);
  } else {
    scene->Stop();
    delete scene;
  }
  return true;
}

void CVSceneMgr::DrainGraveyard() {
  while (!graveyard_.empty()) {
    CVScene* scene = graveyard_.back();
    graveyard_.pop_back();
    scene->Stop();
    delete scene;
  }
}

bool CVSceneMgr::EnterScene(int32_t id, int32_t push) {
  if (CVScene* current = GetScene(currentId_)) current->OnLeave();
  if (CVScene* next = GetScene(id)) next->OnEnter();
  if (push == 1) {
    if (InRange(currentId_)) stack_.push_back(static_cast<uint16_t>(currentId_));
    currentId_ = id;
  } else {
    if (currentId_ != id) DeleteScene(currentId_);
    UnwindStack(id);
    currentId_ = id;
  }
  return true;
}

bool CVSceneMgr::ChangeScene(int32_t id, int32_t push) {
  if (id == -1) return PopScene();
  if (!CreateScene(id, nullptr)) return false;
  return EnterScene(id, push);
}

bool CVSceneMgr::ChangeSceneWithCover(int32_t id, int32_t push, float width, float height) {
  if (id == -1) return PopScene();
  if (!InRange(id)) return false;
  CVMenuBase* cover = nullptr;
  if (CVScene* current = GetScene(currentId_); current && coverBuilder_) {
    std::vector<CVMenuBase*> widgets;
    current->CollectWidgets(widgets);
    cover = coverBuilder_(widgets, width < 0.0f ? 1280.0f : width, height < 0.0f ? 720.0f : height);
  }
  const bool existed = scenes_[id] != nullptr;
  if (!CreateScene(id, existed ? nullptr : cover)) {
    delete cover;
    return false;
  }
  if (existed) delete cover;
  return EnterScene(id, push);
}

bool CVSceneMgr::PopScene() {
  if (stack_.empty()) return false;
  const int32_t popped = stack_.back();
  stack_.pop_back();
  if (CVScene* current = GetScene(currentId_)) current->OnLeave();
  if (CVScene* back = GetScene(popped)) back->OnEnter();
  if (currentId_ != popped) DeleteScene(currentId_);
  currentId_ = popped;
  return true;
}

void CVSceneMgr::UnwindStack(int32_t keepId) {
  while (!stack_.empty()) {
    const int32_t id = stack_.back();
    stack_.pop_back();
    if (id != keepId) DeleteScene(id);
  }
}

void CVSceneMgr::RequestChange(int32_t id, int32_t push) {
  request_.Clear();
  request_.mode = 0;
  request_.target = id;
  request_.push = push;
}

void CVSceneMgr::RequestChangeWithCover(int32_t id, int32_t push, float width, float height) {
  request_.Clear();
  request_.mode = 2;
  request_.target = id;
  request_.push = push;
  request_.coverWidth = width;
  request_.coverHeight = height;
}

bool CVSceneMgr::Update() {
  input_.Update();
  if (!InRange(static_cast<int16_t>(currentId_))) return false;
  ++updateDepth_;
  int32_t result = -1;
  if (request_.target == 0) {
    if (CVScene* scene = GetScene(currentId_)) result = scene->Update(frameRatio_ * kLogicStepMs);
  }
  if (request_.target != 0) {
    // Taken off before it runs: a request posted while it is carried out stays for the next step.
    const SceneChangeRequest r = request_;
    request_.Clear();
    const bool ok = r.mode == 2 ? ChangeSceneWithCover(r.target, r.push, r.coverWidth, r.coverHeight)
                                : ChangeScene(r.target, r.push);
    if (!ok) {
      // Nothing changes while the scene would wait for it, so a retry could never succeed.
      plat::Log("scene", "change request to scene %d (push %d) failed and was dropped; scene %d stays", r.target,
                r.push, currentId_);
    }
  }
  if (result != -1) {
    if (const SceneFlowRecord* record = FindRecord(currentId_)) {
      // A copy: a change may replace the table's owner scene but never the table itself.
      const auto transitions = record->transitions;
      for (const v4fmt::SceneTransition& t : transitions) {
        if (t.result == result && ChangeScene(t.nextScene, t.pushMode)) break;
      }
    }
  }
  if (--updateDepth_ == 0) DrainGraveyard();
  return true;
}

void CVSceneMgr::Draw() {
  if (CVScene* scene = GetScene(currentId_)) scene->Draw();
}

bool CVSceneMgr::UpdateFrameTimer() {
  const uint32_t now = GetGameTimeMs();
  float elapsed = 16.66667f;
  if (timerStarted_) elapsed = static_cast<float>(now - lastFrameMs_);  // unsigned: wraps correctly
  frameRatio_ = elapsed / kLogicStepMs;
  if (frameRatio_ < 1.0f) return false;
  lastFrameMs_ = now;
  timerStarted_ = true;
  return true;
}

void CVSceneMgr::BroadcastDeviceReset() {
  for (CVScene* scene : scenes_) {
    if (scene) scene->OnDeviceReset();
  }
}

void CVSceneMgr::DeleteAllScenes() {
  for (CVScene*& scene : scenes_) {
    delete scene;
    scene = nullptr;
  }
  for (CVScene* scene : graveyard_) delete scene;
  graveyard_.clear();
  UnwindStack(-1);
}

CVScene* CVSceneMgr::GetStackTopScene() const {
  if (stack_.empty()) return nullptr;
  return GetScene(stack_.back());
}

int32_t CVSceneMgr::GetMouseButton() const {
  if (input_.IsDown(VK_LBUTTON)) return 1;
  if (input_.IsDown(VK_RBUTTON)) return 2;
  return 0;
}

CVSceneMgr& GetSceneMgr() {
  static CVSceneMgr mgr;
  return mgr;
}

CVScene* GetSceneById(int32_t id) { return GetSceneMgr().GetScene(id); }

int32_t GetWheelDelta(bool clear) { return clear ? g_WheelWord.exchange(0) : g_WheelWord.load(); }
