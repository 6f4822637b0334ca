// Fixtures for scene tests: scripted keys, a virtual clock, an in-memory scene table, logging
// scenes and stub menus that decide on a chosen update.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/cv_input.h"
#include "core/game_clock.h"
#include "tests/support/scripted_input.h"
#include "formats/scene/scene_table.h"
#include "ui/scenes/cv_scene.h"
#include "ui/scenes/scene_mgr.h"
#include "ui/widgets/widget_base.h"

namespace scene_test {

using Keys = ScriptedInput;

class Clock {
 public:
  Clock() { SetGameClockOverride(&Read, this); }
  ~Clock() { SetGameClockOverride(nullptr, nullptr); }
  uint32_t now = 1000;

 private:
  static uint32_t Read(void* self) { return static_cast<Clock*>(self)->now; }
};

inline std::vector<std::string>& Log() {
  static std::vector<std::string> log;
  return log;
}

// A scene that logs its life and returns scripted result codes.
class LoggingScene : public CVScene {
 public:
  explicit LoggingScene(int32_t id) : CVScene(-1, id), tag_(std::to_string(id)) { Log().push_back("new" + tag_); }
  ~LoggingScene() override { Log().push_back("delete" + tag_); }
  bool OnStart() override {
    Log().push_back("start" + tag_);
    return true;
  }
  bool OnStop() override {
    Log().push_back("stop" + tag_);
    return true;
  }
  bool OnEnter() override {
    Log().push_back("enter" + tag_);
    return CVScene::OnEnter();
  }
  bool OnLeave() override {
    Log().push_back("leave" + tag_);
    return CVScene::OnLeave();
  }
  int32_t Update(float dt) override {
    ++updates;
    if (dt > 0.0f) Log().push_back("update" + tag_);
    const int32_t base = CVScene::Update(dt);
    if (dt > 0.0f && onUpdate) onUpdate(this);
    if (dt > 0.0f) Log().push_back("updated" + tag_);  // reads this scene after its hook ran
    if (!results.empty() && dt > 0.0f) {
      const int32_t r = results.front();
      results.erase(results.begin());
      return r;
    }
    return base;
  }
  int updates = 0;
  std::vector<int32_t> results;
  void (*onUpdate)(LoggingScene*) = nullptr;

 private:
  std::string tag_;
};

inline CVScene* MakeLoggingScene(int32_t id) { return new LoggingScene(id); }

// A root that decides `id` on its n-th update (counting from 1), or never for 0.
class StubMenu : public CVMenuBase {
 public:
  explicit StubMenu(int32_t decideId = -1, int decideOn = 0) : decideId_(decideId), decideOn_(decideOn) {
    widgetType = kWidgetRoot;
    flags.Set(kWfEnabled, 1);
    flags.Set(kWfShown, 1);
  }
  void Update(int32_t x, int32_t y, uint32_t click) override {
    CVMenuBase::Update(x, y, click);
    ++updates;
    lastX = x;
    lastY = y;
    lastClick = click;
    lastClickState = clickState;
    if (updates == decideOn_) decidedId = decideId_;
  }
  int updates = 0;
  int32_t lastX = 0, lastY = 0;
  uint32_t lastClick = 0, lastClickState = 0;

 private:
  int32_t decideId_;
  int decideOn_;
};

inline CVMenuBase* MakeStubMenu(int32_t type, const char*) {
  return v4fmt::IsKnownSceneMenuType(type) ? new StubMenu() : nullptr;
}

struct SceneDef {
  int id;
  bool resident;
  std::vector<v4fmt::SceneTransitionSource> transitions;
  std::vector<v4fmt::SceneMenuSource> menus = {};
};

// The table as the game reads it: built, written to bytes and read back.
inline SceneFlowTable MakeTable(const std::vector<SceneDef>& defs) {
  std::vector<v4fmt::SceneSource> sources;
  for (const SceneDef& d : defs) {
    v4fmt::SceneSource s;
    s.id = d.id;
    s.resident = d.resident;
    s.transitions = d.transitions;
    s.menus = d.menus;
    sources.push_back(s);
  }
  SceneFlowTable table;
  std::string error;
  if (!v4fmt::BuildSceneTable(sources, table, error)) return SceneFlowTable{};
  const std::vector<uint8_t> bytes = v4fmt::WriteSceneTable(table);
  SceneFlowTable read;
  v4fmt::ReadSceneTable(bytes.data(), bytes.size(), read);
  return read;
}

// Resets the global manager with logging scenes for every id it can make.
inline void ResetManager(const std::vector<SceneDef>& defs) {
  CVSceneMgr& mgr = GetSceneMgr();
  mgr.Reset();
  mgr.SetSceneTable(MakeTable(defs));
  for (int id = 1; id <= 12; ++id) mgr.SetSceneFactory(id, &MakeLoggingScene);
  mgr.SetSceneFactory(100, &MakeLoggingScene);
  mgr.SetMenuFactory(&MakeStubMenu);
  Log().clear();
}

}  // namespace scene_test
