// CVSceneTutorial (scene 12): the tutorial chapters. Buttons 10000..10008 load the tutorial script
// set, set script switch 0 to the chapter and push the scenario scene; the chapter's end pops back
// here. Widget contract (docs/layouts.md): panel = first window-with-sprite child of menu 0, blend
// widget = the panel's fourth window-with-sprite child.
#pragma once
#include <cstdint>

#include "ui/scenes/cv_scene.h"

class CVSceneTutorial : public CVScene {
 public:
  static constexpr int32_t kFirstChapter = 10000;
  static constexpr int32_t kChapterCount = 9;
  static constexpr int32_t kBack = 1;

  explicit CVSceneTutorial(int32_t sceneId = 12) : CVScene(-1, sceneId) {}

  bool OnStart() override;
  bool OnEnter() override;
  int32_t UpdateMainMenu(int32_t x, int32_t y, int32_t leftClick, int32_t lastHit) override;

  virtual void BuildBackdrop();
  // False when the tutorial set did not load (nothing changed then).
  virtual bool StartChapter(int32_t chapter);

  CVMenuBase* Panel() const { return panel_; }

 private:
  CVMenuBase* panel_ = nullptr;
};

CVScene* CreateTutorialScene(int32_t id);
