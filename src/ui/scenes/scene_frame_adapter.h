// The scene manager as the application frame drives it (frame_services.h), and the start-up of the
// scene system: the layout builder installed, the scene table loaded and checked.
#pragma once
#include "core/frame_services.h"
#include "ui/scenes/scene_mgr.h"

class SceneFrameAdapter : public FrameSceneManager {
 public:
  // idleToTitle: in the idle game mode (1) the manager is sent to the title scene (scene 1, no
  // push) before its update, as the scenario step does; the title leaves the idle mode.
  explicit SceneFrameAdapter(CVSceneMgr& mgr = GetSceneMgr(), bool idleToTitle = true)
      : mgr_(mgr), idleToTitle_(idleToTitle) {}

  bool UpdateFrameTimer() override { return mgr_.UpdateFrameTimer(); }
  void Update() override;
  void Draw() override { mgr_.Draw(); }
  void BroadcastDeviceReset() override { mgr_.BroadcastDeviceReset(); }
  void DeleteAllScenes() override { mgr_.DeleteAllScenes(); }
  const CVInput& GetInput() const override { return mgr_.GetInput(); }
  int32_t CurrentSceneId() const override { return mgr_.GetCurrentSceneId(); }

 private:
  CVSceneMgr& mgr_;
  bool idleToTitle_;
};

// Installs the layout builder and loads "Data\sys\scene.bin" from the program folder. Logs (and
// returns false) when the table is missing or has no resident dialog scene (10) with a menu 0.
bool InitSceneSystem();
