// Settings screen: CVSceneConfig (scene 6) with its menu CVMenuConfig (menu type 70). It edits a
// working copy of the settings words with on/off buttons, a three-way choice and nine sliders;
// button 1 copies it back, writes sys.dat and applies sound, window mode, render option and the
// message window's opacity at once; button 2 (also the right click) leaves everything as it was.
//
// Widget contract (docs/layouts.md): panel = first window-with-sprite child of the menu, blend
// widget = the panel's fourth, options panel = the panel's sixth; button box = the options panel's
// first plain window (buttons 10000..10014), slider box = the widget after it (nine scroll bars).
#pragma once
#include <cstdint>

#include "save/system_files.h"
#include "ui/menus/menu_root.h"
#include "ui/scenes/cv_scene.h"

class CVMenuSBar;

class CVMenuConfig : public CVMenuSceneRoot {
 public:
  static constexpr int32_t kApply = 1;
  static constexpr int32_t kCancel = 2;
  static constexpr int kSliderCount = 9;
  static constexpr int32_t kMaxLevel = 9;

  void Open(int32_t a, int32_t b, int32_t c) override;
  void Update(int32_t x, int32_t y, uint32_t click) override;

  virtual void BuildBackdrop();
  // Selected look on the buttons whose value the copy holds; sliders from the copy.
  virtual void Refresh();
  // The copy becomes the settings: sys.dat written, sound, window mode, render option and the
  // message window's opacity applied. False when sys.dat could not be written (the settings are
  // in effect all the same).
  virtual bool Apply();

  // A button's effect on the copy; false for an id that is no settings button (or is disabled).
  bool PressButton(int32_t id);
  // Slider i (0..8) at level: the level word (clamped to 0..9) and its on/off companion.
  void SetSliderLevel(int i, int32_t level);
  int32_t SliderLevel(int i) const;

  const uint32_t* Copy() const { return copy_; }
  uint32_t* Copy() { return copy_; }
  CVMenuBase* Panel() const { return panel_; }
  CVMenuBase* OptionsPanel() const { return options_; }
  CVMenuBase* ButtonBox() const { return buttonBox_; }
  CVMenuSBar* Slider(int i) const { return i >= 0 && i < kSliderCount ? sliders_[i] : nullptr; }

 private:
  void FindWidgets();

  uint32_t copy_[kSysConfigWords] = {};
  CVMenuBase* panel_ = nullptr;
  CVMenuBase* options_ = nullptr;
  CVMenuBase* buttonBox_ = nullptr;
  CVMenuBase* sliderBox_ = nullptr;
  CVMenuSBar* sliders_[kSliderCount] = {};
};

class CVSceneConfig : public CVScene {
 public:
  explicit CVSceneConfig(int32_t sceneId = 6) : CVScene(-1, sceneId) {}
  bool OnEnter() override;
  bool OnLeave() override;
  int32_t SavedGameMode() const { return savedGameMode_; }

 private:
  int32_t savedGameMode_ = 0;
};

CVScene* CreateConfigScene(int32_t id);
CVMenuSceneRoot* CreateConfigMenu(int32_t type);
