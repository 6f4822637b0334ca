// CVSceneOmake (scene 7): the extras. Menus by scene-menu id: 0 the top menu, 1 the picture
// gallery (phases 1 and 3: pictures, and event scenes), 2 the scene replay, 3 the lines gallery,
// 4 the music player. The title sets OmakeSelection (1..5) before the change; the scene enters
// that phase. Leaving any extra (its cancel id 1) returns to the title.
#pragma once
#include <cstdint>

#include "ui/scenes/cv_scene.h"

class CVMenuBase;

class CVSceneOmake : public CVScene {
 public:
  static constexpr int32_t kPhaseTop = 0;
  static constexpr int32_t kPhaseCg = 1;
  static constexpr int32_t kPhaseReplay = 2;
  static constexpr int32_t kPhaseEvents = 3;
  static constexpr int32_t kPhaseLines = 4;
  static constexpr int32_t kPhaseMusic = 5;
  static constexpr int32_t kBack = 1;
  static constexpr int32_t kChooseFirst = 1000;  // 1000..1004: phases 1..5

  explicit CVSceneOmake(int32_t sceneId = 7) : CVScene(-1, sceneId) {}

  bool OnStart() override;
  bool OnEnter() override;
  bool OnStop() override;
  bool OnPhaseChange(int32_t oldPhase) override;
  int32_t UpdateMainMenu(int32_t x, int32_t y, int32_t leftClick, int32_t lastHit) override;

  virtual const uint8_t* GetCgTable() const;
  virtual const uint8_t* GetEventTable() const;
  virtual const uint8_t* GetBgmTable() const;
  virtual const uint8_t* GetBattleTable() const;
  virtual const uint8_t* GetBattleScriptTable() const;

  CVMenuBase* OpenMenu() const { return openMenu_; }

 private:
  CVMenuBase* menus_[5] = {};
  CVMenuBase* openMenu_ = nullptr;
  int32_t savedGameMode_ = 0;
};

// The menu of each phase (scene-menu id), -1 for none.
int32_t OmakeMenuOfPhase(int32_t phase);
// The extras music of a phase: the event gallery has its own.
const char* OmakeMusicOfPhase(int32_t phase);

CVScene* CreateOmakeScene(int32_t id);
class CVSceneMgr;
// Scene 7 and the menu types of the extras.
void RegisterOmakeScenes(CVSceneMgr& mgr);
