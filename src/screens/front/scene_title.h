// CVSceneTitle (scene 1): the first screen of a run and the one that endings return to. The first
// title of a run shows the logo (phase 1) and the opening movie (phase 0), every title then shows
// the menu (phase 2) with the title music; its buttons are the scene's result codes, which the
// scene table turns into the next scene. Phase 3 is the extras sub-menu.
//
// Widget contract (menu 0; docs/layouts.md): main panel = first window-with-sprite child of the
// menu; logo window = the widget after it; in the main panel: main picture = first
// window-with-sprite child, button area = first plain window, after-button widget = the widget
// after the button area, third window (extras) = third plain window. A missing widget disables
// what it is for (logged once) and never stops the title from reaching its menu.
#pragma once
#include <cstdint>

#include "save/omake_tables.h"  // OmakeSelection
#include "ui/scenes/cv_scene.h"

class CVMenuBase;

// 1 at program start: the first title of the run shows the logo and the movie, then clears it.
extern uint8_t ShowOpeningFlag;

class CVSceneTitle : public CVScene {
 public:
  // Result codes (button ids of the title menu).
  static constexpr int32_t kStory = 10000;
  static constexpr int32_t kStorySecond = 10001;
  static constexpr int32_t kStrategy = 10002;
  static constexpr int32_t kQuit = 10003;
  static constexpr int32_t kExtras = 10004;  // opens the extras sub-menu (phase 3)
  // Screens pushed over the title with its picture as their backdrop.
  static constexpr int32_t kTutorial = 10005;
  static constexpr int32_t kLoad = 10006;
  static constexpr int32_t kSettings = 10007;
  static constexpr int32_t kExtrasFirst = 10100;
  static constexpr int32_t kExtrasBack = 10105;

  static constexpr int32_t kPhaseMovie = 0;
  static constexpr int32_t kPhaseLogo = 1;
  static constexpr int32_t kPhaseMenu = 2;
  static constexpr int32_t kPhaseExtras = 3;

  explicit CVSceneTitle(int32_t sceneId = 1) : CVScene(-1, sceneId) {}

  bool OnStart() override;
  bool OnEnter() override;
  bool OnPhaseChange(int32_t oldPhase) override;
  int32_t UpdateMainMenu(int32_t x, int32_t y, int32_t leftClick, int32_t lastHit) override;

  // True when (x, y) is where the pointer was at the previous update, no mouse button was held
  // then, the window is active and neither coordinate is -1.
  virtual bool IsPointerIdle(int32_t x, int32_t y) const;
  // Sets the enabled bit on the extras buttons 10100..10105 of the main panel.
  virtual void EnableExtrasButtons();

  int32_t ExitQuestionPending() const { return exitQuestionPending_; }
  bool MusicStarted() const { return musicStarted_ != 0; }
  CVMenuBase* MainPanel() const { return mainPanel_; }
  CVMenuBase* LogoWindow() const { return logoWindow_; }
  CVMenuBase* MainPicture() const { return mainPicture_; }
  CVMenuBase* ButtonArea() const { return buttonArea_; }
  CVMenuBase* AfterButton() const { return afterButton_; }
  CVMenuBase* ThirdWindow() const { return thirdWindow_; }

 private:
  void FindWidgets();
  void StartTitleMusic();

  int32_t exitQuestionPending_ = -1;
  // The backdrop's wipe-in while the menu appears (shader key, -1 when none runs).
  int32_t backdropWipe_ = -1;
  void StartBackdropWipe();
  void EndBackdropWipe(bool always);
  CVMenuBase* logoWindow_ = nullptr;
  CVMenuBase* mainPanel_ = nullptr;
  CVMenuBase* mainPicture_ = nullptr;
  CVMenuBase* buttonArea_ = nullptr;
  CVMenuBase* afterButton_ = nullptr;
  CVMenuBase* thirdWindow_ = nullptr;
  int32_t lastX_ = -1;
  int32_t lastY_ = -1;
  int32_t lastButtons_ = 0;
  uint8_t musicStarted_ = 0;
};

// The scene factory entry for id 1.
CVScene* CreateTitleScene(int32_t id);
