// CVScene: the base of every screen-level state. It owns the screen menus its scene-table record
// names and an optional main menu (the cover picture), runs a phase machine driven from outside
// with one step value per phase, scales time by a speed factor, turns the mouse buttons into a
// one-shot click, updates its menus in order (the first decision wins) and returns a result code
// to the scene manager every update.
#pragma once
#include <cstdint>
#include <vector>

#include "core/cv_flag.h"
#include "core/cv_list.h"

class CVMenuBase;

enum SceneFlag : int {
  kSceneRunning = 0,
  kSceneStopped = 1,
};

class CVScene : public CVListBase {
 public:
  static constexpr int kPhaseCount = 256;

  CVScene(int32_t listId = -1, int32_t sceneId = -1);
  // Deletes the menus, then closes and deletes the main menu.
  ~CVScene() override;

  // --- virtual operations ---
  virtual bool OnStart() { return true; }
  virtual bool DrawMain();
  virtual bool OnStop() { return true; }
  virtual int32_t UpdateMainMenu(int32_t x, int32_t y, int32_t leftClick, int32_t lastHit);
  virtual bool OnLeave();
  virtual bool OnEnter();
  virtual bool OnPhaseChange(int32_t oldPhase) { return true; }
  virtual int32_t GetPhase() const { return phase_; }
  virtual int32_t GetRequestedPhase() const { return requestedPhase_; }
  virtual bool IsPhaseChanging() const { return requestedPhase_ != phase_; }
  // Cancels a pending delayed change; returns the phase.
  virtual int32_t ConfirmPhase();
  virtual void OnPhaseLeave() {}
  // Step value of the current phase. A phase outside 0..255 has no step value: writes are ignored
  // and reads give 0.
  virtual void SetStepValue(int32_t value);
  virtual int32_t GetStepValue() const;
  // dt: real milliseconds of this step; returns the step's result code (-1 none).
  virtual int32_t Update(float dt);
  virtual bool Draw();
  virtual void OnDeviceReset() {}
  virtual void OnPostUpdate() {}

  // --- called by the scene manager ---
  bool Start();
  bool Stop();

  // Applies at once (delayMs 0) or after delayMs of scaled time; a repeat of the requested phase
  // does nothing unless forced. Returns OnPhaseChange's answer for an immediate change, else true.
  int32_t SetPhase(int32_t phase, int32_t force, uint32_t delayMs);
  // Takes ownership; the menu leaves any list it was in (the menu manager's root list).
  bool AddMenu(CVMenuBase* menu, int32_t sceneMenuId);
  CVMenuBase* FindMenu(int32_t sceneMenuId) const;
  // Menus in list order with their scene-menu ids.
  struct SceneMenu {
    CVMenuBase* widget;
    int32_t sceneMenuId;
  };
  const std::vector<SceneMenu>& Menus() const { return menus_; }
  void ResetHit();
  // Takes ownership of a widget tree drawn before the menus (the cover); null clears it.
  void SetMainMenu(CVMenuBase* menu);
  CVMenuBase* GetMainMenu() const { return mainMenu_; }
  void DeleteMainMenu();
  int32_t UpdateMenus(int32_t x, int32_t y, int32_t click);
  void DrawMenus();
  // Draws the scene on top of the stack (the one this scene was pushed over), for a scene that
  // lies over it: only the current scene is drawn by the frame.
  void DrawSceneBeneath();
  void CollectWidgets(std::vector<CVMenuBase*>& out) const;

  int32_t GetSceneId() const { return sceneId_; }
  float GetSpeed() const { return speed_; }
  void SetSpeed(float speed) { speed_ = speed; }
  int32_t GetLastHit() const { return lastHit_; }
  int32_t GetClickState() const { return clickState_; }
  const CVFlag& Flags() const { return flags_; }

 protected:
  int32_t sceneId_;
  int32_t phase_ = 0;
  int32_t requestedPhase_ = 0;
  uint32_t changeDelay_ = 0;
  int32_t stepValues_[kPhaseCount] = {};
  float speed_ = 1.0f;
  float frameTime_ = 0.0f;
  int32_t lastHit_ = -1;
  int32_t clickState_ = 0;
  int32_t heldButton_ = 0;
  std::vector<SceneMenu> menus_;
  CVMenuBase* mainMenu_ = nullptr;
  CVFlag flags_;

 private:
  void ApplyPhase();
};

// Posts a deferred change to the scene manager (carried out after the current scene's update).
void RequestSceneChange(int32_t id, int32_t push);
// Pops the scene stack at once.
bool ReturnToPreviousScene();
